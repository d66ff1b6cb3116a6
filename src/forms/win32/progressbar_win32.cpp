#include "forms/progressbar.h"

#include "forms/form.h"
#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

namespace {

constexpr UINT_PTR kSubclassId = 1;

TShiftState ShiftOf(WPARAM keys) {
    TShiftState shift = 0;
    if (keys & MK_SHIFT)
        shift |= ssShift;
    if (keys & MK_CONTROL)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    if (keys & MK_LBUTTON)
        shift |= ssLeft;
    if (keys & MK_RBUTTON)
        shift |= ssRight;
    if (keys & MK_MBUTTON)
        shift |= ssMiddle;
    return shift;
}

// The native bar reports no mouse events, so its window procedure is subclassed for them.
LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                         DWORD_PTR) {
    switch (message) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (auto* bar = dynamic_cast<TProgressBar*>(ControlOf(window))) {
            const TMouseButton button = message == WM_LBUTTONUP   ? TMouseButton::mbLeft
                                        : message == WM_RBUTTONUP ? TMouseButton::mbRight
                                                                  : TMouseButton::mbMiddle;
            const TShiftState shift = ShiftOf(wParam);
            const int x = static_cast<short>(LOWORD(lParam));
            const int y = static_cast<short>(HIWORD(lParam));
            RunHandler([=] { bar->MouseUp(button, shift, x, y); });
        }
        break;
    case WM_NCDESTROY:
        CommonControls().RemoveWindowSubclass(window, BarProc, kSubclassId);
        break;
    default:
        break;
    }
    return CommonControls().DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void TProgressBar::CreateHandle() {
    HWND window = CreateChild(this, PROGRESS_CLASSW, "", 0);
    handle_ = window;
    CommonControls().SetWindowSubclass(window, BarProc, kSubclassId, 0);
    // The range and position set so far were only stored.
    RangeChanged();
}

void TProgressBar::RangeChanged() {
    if (handle_)
        SendMessageW(static_cast<HWND>(handle_), PBM_SETRANGE32, static_cast<WPARAM>(min_),
                     static_cast<LPARAM>(max_));
    PositionChanged();
}

void TProgressBar::PositionChanged() {
    if (!handle_)
        return;
    HWND bar = static_cast<HWND>(handle_);
    auto setPos = [bar](int position) {
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    };
    // With visual styles the bar animates a forward move on a timer of its own, which the show's
    // blocking waits stop, so the bar could stand short of full. A backward move is drawn at
    // once: step one past the target and back, for the last step within a range widened by one.
    const int shown = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (position_ <= shown) {
        setPos(position_);
    } else if (position_ < max_) {
        setPos(position_ + 1);
        setPos(position_);
    } else {
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_ + 1));
        setPos(position_ + 1);
        setPos(position_);
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    }
}

} // namespace forms
