#pragma once
// Look-ups at a resolution (dots per inch). Windows 10 1607 and later give each monitor its own
// and know every resolution's frame and metrics; older systems have one resolution, the system's,
// and lack these functions (looked up at run time, so the program still starts there). A
// resolution of 0 stands for the system's.
#include <windows.h>

namespace forms::win32 {

// The frame a window of these styles has around its client area at `dpi`.
RECT FrameAt(DWORD style, DWORD exStyle, int dpi);

// A system metric (SM_...) at `dpi`.
int MetricAt(int index, int dpi);

// The resolution of the monitor the window is on, or 0 with no window or where the system has
// only its own.
int WindowDpi(HWND window);

} // namespace forms::win32
