#include "forms/win32/backend.h"

#include "forms/form.h"

namespace forms::win32 {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

namespace {
// Ids above the dialog command ids (IDOK, IDCANCEL, ...), so no key press is mistaken for a
// control's notification.
UINT_PTR g_nextChildId = 100;
} // namespace

HWND CreateChild(TControl* control, const wchar_t* windowClass, const std::string& text,
                 DWORD style) {
    TForm* parent = control->Parent();
    // Made from the form's own window creation, or for a control added to a form that has one.
    HWND parentWindow =
        parent && parent->HandleAllocated() ? static_cast<HWND>(parent->Handle()) : nullptr;
    if (!parentWindow)
        throw Exception("Control has no parent window");
    if (control->Visible())
        style |= WS_VISIBLE;
    HWND window =
        CreateWindowExW(0, windowClass, Widen(text).c_str(), WS_CHILD | style, control->Left(),
                        control->Top(), control->Width(), control->Height(), parentWindow,
                        reinterpret_cast<HMENU>(g_nextChildId++), Instance(), nullptr);
    if (!window)
        ThrowCreateError(platform::win32::Narrow(windowClass));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    if (HFONT font = FormFont(parent))
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window;
}

TControl* ControlOf(HWND window) {
    return reinterpret_cast<TControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

const platform::win32::Comctl32Functions& CommonControls() {
    const auto& library = platform::win32::Comctl32();
    if (!library.InitCommonControlsEx || !library.SetWindowSubclass ||
        !library.RemoveWindowSubclass || !library.DefSubclassProc)
        throw Exception("Error loading comctl32.dll");
    return library;
}

void ThrowCreateError(std::string_view windowClass) {
    const DWORD error = GetLastError();
    throw Exception("Error creating window " + std::string(windowClass) + ", system error " +
                    std::to_string(error));
}

COLORREF ToColorRef(TColor color) {
    if (color & 0xFF000000u)
        return GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

} // namespace forms::win32

namespace forms {

using namespace win32;

void TControl::BoundsChanged() {
    if (handle_)
        SetWindowPos(static_cast<HWND>(handle_), nullptr, left_, top_, width_, height_,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::VisibleChanged() {
    if (handle_)
        ShowWindow(static_cast<HWND>(handle_), visible_ ? SW_SHOWNA : SW_HIDE);
}

void TControl::HandleNeeded() {
    if (handle_)
        return;
    // A control's window lives in its form's: the form makes its own first, and then every one
    // of its controls' in the order they were placed (which is also their z-order).
    if (parent_ && !parent_->HandleAllocated()) {
        parent_->HandleNeeded();
        if (handle_)
            return;
    }
    CreateHandle();
}

// A bare control has no window of its own.
void TControl::CreateHandle() {}

void TControl::DestroyHandle() {
    HWND window = static_cast<HWND>(handle_);
    handle_ = nullptr;
    // A form destroys its children's windows with its own; a stale handle is left alone.
    if (window && IsWindow(window) && ControlOf(window) == this) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

} // namespace forms
