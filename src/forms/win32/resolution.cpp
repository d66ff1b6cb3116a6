#include "forms/win32/resolution.h"

#include "platform/win32/system_dll.h"

namespace forms::win32 {

using platform::win32::User32;

RECT FrameAt(DWORD style, DWORD exStyle, int dpi) {
    RECT r{0, 0, 0, 0};
    const auto adjust = User32().AdjustWindowRectExForDpi;
    if (!(dpi > 0 && adjust && adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return r;
}

int MetricAt(int index, int dpi) {
    const auto forDpi = User32().GetSystemMetricsForDpi;
    return dpi > 0 && forDpi ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

int WindowDpi(HWND window) {
    const auto getDpi = User32().GetDpiForWindow;
    return window && getDpi ? static_cast<int>(getDpi(window)) : 0;
}

} // namespace forms::win32
