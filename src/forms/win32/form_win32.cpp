// A form's members on Win32: its window made when first needed (until then every property is
// only stored, and making the window applies them), its frame and stacking, its place,
// visibility, window state and focus. Its GDI objects are in form_gdi.cpp, its window procedure
// in form_window.cpp.
#include <utility>

#include "forms/win32/form_data.h"
#include "forms/win32/resolution.h"

namespace forms {

using namespace win32;

namespace {

// The dialog keys walk the children in z-order, so it follows the tab order.
void ArrangeTabOrder(const TForm& form) {
    HWND after = HWND_TOP;
    for (TControl* control : form.TabOrdered()) {
        if (!control->HandleAllocated())
            continue;
        HWND child = static_cast<HWND>(control->Handle());
        SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child;
    }
}

// Placements are in work-area coordinates.
POINT WorkAreaOrigin() {
    RECT work{0, 0, 0, 0};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left, work.top};
}

constexpr UINT kQuietPos = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

} // namespace

namespace win32 {

DWORD StyleFor(TBorderStyle border) {
    if (border == TBorderStyle::bsNone)
        return WS_POPUP | WS_CLIPCHILDREN;
    // Fixed dialog frame with only the system menu: no minimise or maximise box, no sizing.
    return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
}

DWORD ExStyleFor(TBorderStyle border, TFormStyle formStyle) {
    DWORD ex = border == TBorderStyle::bsDialog ? WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE : 0;
    if (formStyle == TFormStyle::fsStayOnTop)
        ex |= WS_EX_TOPMOST;
    return ex;
}

HWND FocusTarget(const TForm& form, HWND window) {
    TControl* first = form.FirstTabStop();
    if (first && first->HandleAllocated()) {
        HWND child = static_cast<HWND>(first->Handle());
        if (IsWindowVisible(child) && IsWindowEnabled(child))
            return child;
    }
    return window;
}

RECT RestorePlace(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    const POINT origin = WorkAreaOrigin();
    const RECT& r = placement.rcNormalPosition;
    return RECT{r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
}

} // namespace win32

void TForm::CreateHandle() {
    const std::wstring wideClass = Widen(className_);
    RegisterFormClass(wideClass);
    // Made with the stored caption, frame, stacking and bounds; hidden until shown.
    HWND window = CreateWindowExW(ExStyleFor(borderStyle_, formStyle_), wideClass.c_str(),
                                  Widen(caption_).c_str(), StyleFor(borderStyle_), left_, top_,
                                  width_, height_, nullptr, nullptr, Instance(), nullptr);
    if (!window)
        ThrowCreateError(className_);
    SetBrush(*backend_, color_);
    // Like a control's, the window carries its object.
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(static_cast<TControl*>(this)));
    handle_ = window;
    // The controls' windows take their stored bounds, visibility, texts and values and the
    // form's font.
    for (TControl* control : controls_)
        control->HandleNeeded();
    ArrangeTabOrder(*this);
    // Laid out for the monitor the window is on where that differs from the system's resolution
    // (its scaling was changed since sign-in).
    if (const int dpi = WindowDpi(window); dpi > 0 && dpi != pixelsPerInch_)
        LayOutFor(dpi);
    // Windows leaves the class's icon out of the title bar of a window with a dialog frame
    // unless the window is given the icon itself.
    ResolutionApplied();
}

TForm::~TForm() {
    HWND window = static_cast<HWND>(handle_);
    handle_ = nullptr;
    if (window) {
        // No message reaches this object once its destruction has begun.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    // The font and the brush go with backend_, after the window.
}

int TForm::FrameWidthAt(int dpi) const {
    const RECT r =
        FrameAt(StyleFor(borderStyle_), ExStyleFor(borderStyle_, TFormStyle::fsNormal), dpi);
    return r.right - r.left;
}

int TForm::FrameHeightAt(int dpi) const {
    const RECT r =
        FrameAt(StyleFor(borderStyle_), ExStyleFor(borderStyle_, TFormStyle::fsNormal), dpi);
    return r.bottom - r.top;
}

void TForm::CaptionChanged() {
    if (handle_)
        SetWindowTextW(static_cast<HWND>(handle_), Widen(caption_).c_str());
}

void TForm::StyleChanged() {
    HWND window = static_cast<HWND>(handle_);
    if (!window)
        return;
    // Keep the state bits the window has (visible, disabled, minimised, maximised).
    constexpr LONG_PTR kStateBits = WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE;
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE,
                      static_cast<LONG_PTR>(StyleFor(borderStyle_)) | (style & kStateBits));
    SetWindowLongPtrW(window, GWL_EXSTYLE,
                      static_cast<LONG_PTR>(ExStyleFor(borderStyle_, TFormStyle::fsNormal)));
    SetWindowPos(window, formStyle_ == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0,
                 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TForm::ColorChanged() {
    // Without a window the brush is made with it.
    if (HWND window = static_cast<HWND>(handle_)) {
        SetBrush(*backend_, color_);
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void TForm::FontChanged() {
    // The font is made again when next needed; controls already on screen switch at once, and
    // only then is the old one released.
    HFONT old = std::exchange(backend_->font, nullptr);
    for (TControl* control : controls_)
        if (control->HandleAllocated())
            SendMessageW(static_cast<HWND>(control->Handle()), WM_SETFONT,
                         reinterpret_cast<WPARAM>(FormFont(this)), TRUE);
    if (old)
        DeleteObject(old);
}

void TForm::WindowStateChanged() {
    HWND window = static_cast<HWND>(handle_);
    if (!window || backend_->syncing || !IsWindowVisible(window))
        return;
    switch (windowState_) {
    case TWindowState::wsNormal:
        ShowWindow(window, SW_RESTORE);
        break;
    case TWindowState::wsMinimized:
        ShowWindow(window, SW_MINIMIZE);
        break;
    case TWindowState::wsMaximized:
        ShowWindow(window, SW_MAXIMIZE);
        break;
    }
}

void TForm::FocusNow() {
    HWND window = static_cast<HWND>(Handle());
    if (!window || !IsWindowVisible(window))
        return;
    SetForegroundWindow(window);
    ::SetFocus(FocusTarget(*this, window));
}

void TForm::TabOrderChanged() {
    if (handle_)
        ArrangeTabOrder(*this);
}

void TForm::ApplyBounds() {
    HWND window = static_cast<HWND>(handle_);
    if (!window || backend_->syncing)
        return;
    if (IsIconic(window) || IsZoomed(window)) {
        // The bounds are those of the normal state, which the window takes when restored (a
        // minimised start is centred while still iconic). Its state stays as it is, and so does
        // the active window: a box may be waiting for the user.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(window, &placement)) {
            const POINT o = WorkAreaOrigin();
            placement.rcNormalPosition =
                RECT{left_ - o.x, top_ - o.y, left_ - o.x + width_, top_ - o.y + height_};
            placement.flags = 0;
            placement.showCmd = IsWindowVisible(window) ? SW_SHOWNA : SW_HIDE;
            SetWindowPlacement(window, &placement);
            return;
        }
    }
    SetWindowPos(window, nullptr, left_, top_, width_, height_, kQuietPos);
}

void TForm::ApplyVisible() {
    if (!visible_) {
        // A window never made is hidden already.
        if (handle_)
            ShowWindow(static_cast<HWND>(handle_), SW_HIDE);
        return;
    }
    HWND window = static_cast<HWND>(Handle());
    if (!window)
        return;
    int command = SW_SHOWNORMAL;
    if (windowState_ == TWindowState::wsMaximized)
        command = SW_SHOWMAXIMIZED;
    else if (windowState_ == TWindowState::wsMinimized)
        command = SW_SHOWMINIMIZED;
    ShowWindow(window, command);
    // Painted at once: the show may block the thread right after a window appears.
    UpdateWindow(window);
}

void TForm::ApplyMinimizedPending() {
    if (HWND window = static_cast<HWND>(Handle()))
        ShowWindow(window, SW_SHOWMINNOACTIVE);
}

void TForm::ResolutionApplied() {
    // The title bar's and the taskbar's icons drawn for the resolution laid out (the window's
    // own where there is no layout).
    if (HWND window = static_cast<HWND>(handle_))
        SetProgramIcons(window, *backend_, pixelsPerInch_ > 0 ? pixelsPerInch_ : WindowDpi(window));
}

} // namespace forms
