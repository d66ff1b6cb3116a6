#include "forms/screen.h"

#include <windows.h>

namespace forms {

// The primary monitor's size in physical pixels: the program is DPI aware (per monitor where the
// system knows it), so the system does not scale the metrics.
int TScreen::Width() const {
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

int TScreen::PixelsPerInch() const {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

} // namespace forms
