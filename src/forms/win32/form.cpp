// Top-level form windows: one window class per form class, frame styles, background colour,
// the shared font, visibility, window state and close requests. A form's window is made when
// first needed; until then every property is only stored, and making the window applies them.
#include "forms/form.h"

#include "forms/application.h"
#include "forms/button.h"
#include "forms/win32/backend.h"

#include <array>
#include <optional>
#include <utility>

namespace forms {

using namespace win32;

// The backend's state of one form, held by the form from its construction on; its window (once
// made) carries it in GWLP_USERDATA.
struct TForm::BackendData {
    TForm* form = nullptr;
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    bool ownBrush = false;
    // The title bar's and the taskbar's icons at the window's resolution.
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    // While the window itself reports a move, size or state change, the stored values follow
    // it without being applied back to the window.
    bool syncing = false;
    // Inside the handling of a resolution change: one sent meanwhile is nested in it.
    bool resolutionChanging = false;
};

namespace {

using FormData = TForm::BackendData;

FormData* DataOf(HWND window) {
    return window ? reinterpret_cast<FormData*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

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

// The frame at a resolution (0: the system's). Windows 10 1607 and later size a per-monitor
// aware window's frame for its monitor; older systems have one resolution, and lack the function,
// which is looked up at run time so the program still starts there.
RECT FrameOf(TBorderStyle border, int pixelsPerInch) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT r{0, 0, 0, 0};
    const DWORD style = StyleFor(border), exStyle = ExStyleFor(border, TFormStyle::fsNormal);
    if (!(pixelsPerInch > 0 && adjustForDpi &&
          adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(pixelsPerInch))))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return r;
}

// The resolution of the monitor the window is on, or 0 with no window or where the system has
// only its own (before Windows 10 1607).
int WindowPixelsPerInch(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return window && getDpi ? static_cast<int>(getDpi(window)) : 0;
}

void SetBrush(FormData& data, TColor color) {
    if (data.ownBrush && data.brush)
        DeleteObject(data.brush);
    if (color & 0xFF000000u) {
        data.brush = GetSysColorBrush(static_cast<int>(color & 0xFFu));
        data.ownBrush = false;
    } else {
        data.brush = CreateSolidBrush(ToColorRef(color));
        data.ownBrush = true;
    }
}

HFONT MakeFont(const TFont& font) {
    return CreateFontW(-font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(font.name).c_str());
}

void FreeIcons(FormData& data) {
    for (HICON* icon : {&data.smallIcon, &data.bigIcon}) {
        if (*icon)
            DestroyIcon(*icon);
        *icon = nullptr;
    }
}

void FreeData(FormData& data) {
    FreeIcons(data);
    if (data.ownBrush && data.brush)
        DeleteObject(data.brush);
    data.brush = nullptr;
    data.ownBrush = false;
    if (data.font)
        DeleteObject(data.font);
    data.font = nullptr;
}

// A system metric at a resolution (0: the system's). Windows 10 1607 and later know every
// resolution's metrics; older systems have one, and lack the function, which is looked up at run
// time so the program still starts there.
int MetricAt(int index, int pixelsPerInch) {
    using ForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return pixelsPerInch > 0 && forDpi ? forDpi(index, static_cast<UINT>(pixelsPerInch))
                                       : GetSystemMetrics(index);
}

// The program's icon (the lowest id) at the size the system draws it, by the metrics given, at a
// resolution (0: the system's), rather than scaled from another size. LR_SHARED for one the
// system keeps (a window class's).
HICON LoadProgramIcon(int widthMetric, int heightMetric, int pixelsPerInch, UINT flags) {
    return static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                         MetricAt(widthMetric, pixelsPerInch),
                                         MetricAt(heightMetric, pixelsPerInch), flags));
}

// The window's icons for the title bar and for Alt+Tab and the taskbar at its resolution. Where
// the icon cannot be loaded the window keeps the ones it has.
void SetProgramIcons(HWND window, FormData& data, int pixelsPerInch) {
    HICON smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON, pixelsPerInch, 0);
    HICON bigIcon = LoadProgramIcon(SM_CXICON, SM_CYICON, pixelsPerInch, 0);
    if (!smallIcon || !bigIcon) {
        for (HICON icon : {smallIcon, bigIcon})
            if (icon)
                DestroyIcon(icon);
        return;
    }
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    FreeIcons(data);
    data.smallIcon = smallIcon;
    data.bigIcon = bigIcon;
}

void HandleWindowPosChanged(HWND window, FormData& data) {
    TForm* form = data.form;
    if (data.syncing || IsIconic(window) || IsZoomed(window))
        return;
    RECT r;
    if (!GetWindowRect(window, &r))
        return;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (r.left == form->Left() && r.top == form->Top() && width == form->Width() &&
        height == form->Height())
        return;
    data.syncing = true;
    RunHandler([&] { form->SetBounds(r.left, r.top, width, height); });
    data.syncing = false;
}

// Where a focus given to the form lands: its first control in tab order that takes the focus,
// or the window itself when none can.
HWND FocusTarget(const TForm& form, HWND window) {
    TControl* first = form.FirstTabStop();
    if (first && first->HandleAllocated()) {
        HWND child = static_cast<HWND>(first->Handle());
        if (IsWindowVisible(child) && IsWindowEnabled(child))
            return child;
    }
    return window;
}

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

void HandleSize(FormData& data, WPARAM kind) {
    TForm* form = data.form;
    if (form->ShowPending()) {
        if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED)
            RunHandler([form] { form->RestoredFromPending(); });
        return;
    }
    if (data.syncing || !form->Visible())
        return;
    TWindowState state = TWindowState::wsNormal;
    if (kind == SIZE_MINIMIZED)
        state = TWindowState::wsMinimized;
    else if (kind == SIZE_MAXIMIZED)
        state = TWindowState::wsMaximized;
    else if (kind != SIZE_RESTORED)
        return;
    if (state == form->WindowState())
        return;
    data.syncing = true;
    RunHandler([form, state] { form->SetWindowState(state); });
    data.syncing = false;
}

// WM_GETDPISCALEDSIZE (Windows 10 1703), beyond the Windows version the headers are set for.
constexpr UINT kGetDpiScaledSize = 0x02E4;

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    FormData* data = DataOf(window);
    if (!data)
        return DefWindowProcW(window, message, wParam, lParam);
    TForm* form = data->form;
    switch (message) {
    case WM_CLOSE:
        // Every close request (close box, system menu, Alt+F4, taskbar) asks the form.
        RunHandler([form] { form->Close(); });
        return 0;
    case WM_QUERYENDSESSION:
        if (Application && Application->MainForm() == form) {
            bool allowed = true;
            RunHandler([&] { allowed = form->CloseQuery(); });
            return allowed ? TRUE : FALSE;
        }
        return TRUE;
    case WM_ENDSESSION:
        if (wParam && Application && Application->MainForm() == form) {
            Application->Terminate();
            WakeLoop();
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_RESTORE && form->ShowPending()) {
            // OnShow runs before the window comes back, as for any other show.
            RunHandler([form] { form->RestoredFromPending(); });
            return 0;
        }
        break;
    case WM_SIZE:
        HandleSize(*data, wParam);
        break;
    case WM_DPICHANGED: {
        // Moved to a monitor at another scaling: the layout rule at the new resolution, at the
        // place the system suggests, in one move; the show goes on untouched. Minimised or
        // maximised, the suggestion is not the normal place, and the window keeps the one it has
        // to come back to, in its new size.
        const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
        const bool placed = !IsIconic(window) && !IsZoomed(window);
        const int left = placed ? suggested.left : form->Left();
        const int top = placed ? suggested.top : form->Top();
        const bool nested = std::exchange(data->resolutionChanging, true);
        RunHandler([&] { form->ResolutionChanged(LOWORD(wParam), left, top); });
        data->resolutionChanging = nested;
        // Once, for the resolution the changes ended at.
        if (!nested)
            SetProgramIcons(window, *data, form->PixelsPerInch());
        return 0;
    }
    case WM_DISPLAYCHANGE:
        RunHandler([form] { form->DisplayChanged(); });
        break;
    case kGetDpiScaledSize: {
        // Asked before a move to another scaling (while the window is dragged there): the size
        // the layout rule gives, so the window keeps its place under the pointer. Without one,
        // the system scales the window by itself.
        std::optional<std::array<int, 2>> size;
        RunHandler([&] { size = form->SizeForResolution(static_cast<int>(wParam)); });
        if (!size || (*size)[0] <= 0 || (*size)[1] <= 0)
            return FALSE;
        auto* answer = reinterpret_cast<SIZE*>(lParam);
        answer->cx = (*size)[0];
        answer->cy = (*size)[1];
        return TRUE;
    }
    case WM_WINDOWPOSCHANGED: {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        if (form->ShowPending() && IsWindowVisible(window) && !IsIconic(window))
            RunHandler([form] { form->RestoredFromPending(); });
        else
            HandleWindowPosChanged(window, *data);
        return result;
    }
    case WM_SETFOCUS:
        // Activation gives the window the focus; like a dialog it passes it on to a control.
        if (HWND target = FocusTarget(*form, window); target != window) {
            SetFocus(target);
            return 0;
        }
        break;
    case DM_GETDEFID: {
        // There is no default button, but Enter presses a focused button, as in any dialog.
        HWND focus = GetFocus();
        if (focus && GetParent(focus) == window && dynamic_cast<TButton*>(ControlOf(focus)))
            return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, data->brush);
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, ToColorRef(form->Font().color));
        SetBkColor(dc, ToColorRef(form->Color()));
        return reinterpret_cast<LRESULT>(data->brush);
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam) {
            HWND child = reinterpret_cast<HWND>(lParam);
            if (GetParent(child) == window) {
                if (auto* button = dynamic_cast<TButton*>(ControlOf(child)))
                    RunHandler([button] { button->Click(); });
            }
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterFormClass(const std::wstring& name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(Instance(), name.c_str(), &wc))
        return;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FormWindowProc;
    wc.hInstance = Instance();
    // The program's icon (the lowest id), large for Alt+Tab and the taskbar, small for the title
    // bar, each at the size the system draws it rather than scaled from the other.
    wc.hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON, 0, LR_SHARED);
    wc.hIconSm = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON, 0, LR_SHARED);
    if (!wc.hIcon)
        wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc))
        throw Exception("Cannot register window class");
}

constexpr UINT kQuietPos = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

} // namespace

namespace win32 {
bool IsFormWindow(HWND window) {
    // Controls keep their own pointer in GWLP_USERDATA: only a window of the forms' window
    // procedure carries form data there.
    return window &&
           reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == FormWindowProc &&
           DataOf(window);
}

HFONT FormFont(const TForm* form) {
    FormData* data = form ? form->Backend() : nullptr;
    if (!data)
        return nullptr;
    if (!data->font)
        data->font = MakeFont(form->Font());
    return data->font;
}
} // namespace win32

TForm::BackendData* TForm::NewBackendData() {
    auto* data = new BackendData;
    data->form = this;
    return data;
}

void TForm::BackendDeleter::operator()(BackendData* data) const {
    FreeData(*data);
    delete data;
}

void TForm::CreateHandle() {
    FormData* data = backend_.get();
    const std::wstring wideClass = Widen(className_);
    RegisterFormClass(wideClass);
    // Made with the stored caption, frame, stacking and bounds; hidden until shown.
    HWND window = CreateWindowExW(ExStyleFor(borderStyle_, formStyle_), wideClass.c_str(),
                                  Widen(caption_).c_str(), StyleFor(borderStyle_), left_, top_,
                                  width_, height_, nullptr, nullptr, Instance(), nullptr);
    if (!window)
        ThrowCreateError(className_);
    SetBrush(*data, color_);
    // Windows leaves the class's icon out of the title bar of a window with a dialog frame
    // unless the window is given the icon itself.
    SetProgramIcons(window, *data, WindowPixelsPerInch(window));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
    handle_ = window;
    // The controls' windows take their stored bounds, visibility, texts and values and the
    // form's font.
    for (TControl* control : controls_)
        control->HandleNeeded();
    ArrangeTabOrder(*this);
    // Laid out for the monitor the window is on where that differs from the system's resolution
    // (its scaling was changed since sign-in).
    if (const int ppi = WindowPixelsPerInch(window); ppi > 0 && ppi != pixelsPerInch_)
        ScaleForResolution(ppi);
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

int TForm::FrameWidthAt(int pixelsPerInch) const {
    const RECT r = FrameOf(borderStyle_, pixelsPerInch);
    return r.right - r.left;
}

int TForm::FrameHeightAt(int pixelsPerInch) const {
    const RECT r = FrameOf(borderStyle_, pixelsPerInch);
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
    HWND window = static_cast<HWND>(handle_);
    if (FormData* data = DataOf(window)) {
        SetBrush(*data, color_);
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void TForm::FontChanged() {
    FormData* data = backend_.get();
    // The font is made again when next needed; controls already on screen switch at once, and
    // only then is the old one released.
    HFONT old = data->font;
    data->font = nullptr;
    for (TControl* control : controls_)
        if (control->HandleAllocated())
            SendMessageW(static_cast<HWND>(control->Handle()), WM_SETFONT,
                         reinterpret_cast<WPARAM>(FormFont(this)), TRUE);
    if (old)
        DeleteObject(old);
}

void TForm::WindowStateChanged() {
    HWND window = static_cast<HWND>(handle_);
    FormData* data = DataOf(window);
    if (!data || data->syncing || !IsWindowVisible(window))
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
    FormData* data = DataOf(window);
    if (!data || data->syncing)
        return;
    if (IsIconic(window) || IsZoomed(window)) {
        // The bounds are those of the normal state, which the window takes when restored (a
        // minimised start is centred while still iconic). Placements are in work-area
        // coordinates.
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (GetWindowPlacement(window, &placement)) {
            RECT work{0, 0, 0, 0};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            placement.rcNormalPosition =
                RECT{left_ - work.left, top_ - work.top, left_ - work.left + width_,
                     top_ - work.top + height_};
            placement.flags = 0;
            placement.showCmd = IsIconic(window) ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
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

int TForm::MeasureFontHeight(const TFont& font) const {
    const bool own =
        font.name == font_.name && font.height == font_.height && font.charset == font_.charset;
    HFONT measured = own ? FormFont(this) : MakeFont(font);
    HDC dc = GetDC(nullptr);
    int height = 0;
    if (dc) {
        HGDIOBJ old = SelectObject(dc, measured);
        TEXTMETRICW metrics{};
        height = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    if (!own)
        DeleteObject(measured);
    return height;
}

int TForm::MeasureTextWidth(const std::string& text) const {
    const std::wstring wide = Widen(text);
    if (wide.empty())
        return 0;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, FormFont(this));
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

} // namespace forms
