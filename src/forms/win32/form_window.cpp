// The forms' window procedure: one handler for each message a form answers, and the window class
// that carries it. Every handler runs the form's code through RunHandler, so no exception crosses
// back into the system.
#include <array>
#include <optional>

#include "forms/application.h"
#include "forms/button.h"
#include "forms/win32/form_data.h"

namespace forms::win32 {

namespace {

// One message to a form's window, with what its handler needs.
struct Message {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    TForm& form;
    FormData& data;
    // What the system does with the message; for a handler that only looks on.
    LRESULT Default() const { return DefWindowProcW(window, message, wParam, lParam); }
};

// WM_GETDPISCALEDSIZE (Windows 10 1703), beyond the Windows version the headers are set for.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// Every close request (close box, system menu, Alt+F4, taskbar) asks the form.
LRESULT OnClose(const Message& m) {
    RunHandler([&] { m.form.Close(); });
    return 0;
}

// The session ends only if the main form would close now.
LRESULT OnQueryEndSession(const Message& m) {
    if (!Application || Application->MainForm() != &m.form)
        return TRUE;
    bool allowed = true;
    RunHandler([&] { allowed = m.form.CloseQuery(); });
    return allowed ? TRUE : FALSE;
}

LRESULT OnEndSession(const Message& m) {
    if (m.wParam && Application && Application->MainForm() == &m.form) {
        Application->Terminate();
        WakeLoop();
    }
    return 0;
}

// A window shown minimised at start runs OnShow before it comes back, as for any other show.
LRESULT OnSysCommand(const Message& m) {
    if ((m.wParam & 0xFFF0) == SC_RESTORE && m.form.ShowPending()) {
        RunHandler([&] { m.form.RestoredFromPending(); });
        return 0;
    }
    return m.Default();
}

// The stored window state follows the window's (minimised, maximised, restored by the user).
LRESULT OnSize(const Message& m) {
    TForm& form = m.form;
    if (form.ShowPending()) {
        if (m.wParam == SIZE_RESTORED || m.wParam == SIZE_MAXIMIZED)
            RunHandler([&] { form.RestoredFromPending(); });
        return m.Default();
    }
    if (m.data.syncing || !form.Visible())
        return m.Default();
    TWindowState state = TWindowState::wsNormal;
    if (m.wParam == SIZE_MINIMIZED)
        state = TWindowState::wsMinimized;
    else if (m.wParam == SIZE_MAXIMIZED)
        state = TWindowState::wsMaximized;
    else if (m.wParam != SIZE_RESTORED)
        return m.Default();
    if (state != form.WindowState()) {
        const ScopedFlag syncing(m.data.syncing);
        RunHandler([&] { form.SetWindowState(state); });
    }
    return m.Default();
}

// Moved to a monitor at another resolution: the layout rule there, at the place the system
// suggests; the show goes on untouched. Minimised or maximised, the suggestion is not the normal
// place: the window keeps the place it returns to, in its new size.
LRESULT OnDpiChanged(const Message& m) {
    const int dpi = LOWORD(m.wParam);
    const RECT suggested = *reinterpret_cast<const RECT*>(m.lParam);
    const bool placed = !IsIconic(m.window) && !IsZoomed(m.window);
    const RECT place = placed ? suggested : RestorePlace(m.window);
    RunHandler([&] { m.form.ResolutionChanged(dpi, place.left, place.top); });
    return 0;
}

// Asked before a move to another resolution (while the window is dragged there): the size the
// layout rule gives, so the window keeps its place under the pointer. Without one, the system
// scales the window by itself.
LRESULT OnGetDpiScaledSize(const Message& m) {
    std::optional<TForm::Layout> layout;
    RunHandler([&] { layout = m.form.LayoutAt(static_cast<int>(m.wParam)); });
    if (!layout || layout->width <= 0 || layout->height <= 0)
        return FALSE;
    auto* answer = reinterpret_cast<SIZE*>(m.lParam);
    answer->cx = layout->width;
    answer->cy = layout->height;
    return TRUE;
}

// The screen changed its size.
LRESULT OnDisplayChange(const Message& m) {
    RunHandler([&] { m.form.DisplayChanged(); });
    return m.Default();
}

// The stored bounds follow the window's normal place when the user or the system moves it, and a
// window shown minimised at start that comes back by another way than its restore command runs
// OnShow.
LRESULT OnWindowPosChanged(const Message& m) {
    const LRESULT result = m.Default();
    TForm& form = m.form;
    if (form.ShowPending() && IsWindowVisible(m.window) && !IsIconic(m.window)) {
        RunHandler([&] { form.RestoredFromPending(); });
        return result;
    }
    RECT r;
    if (m.data.syncing || IsIconic(m.window) || IsZoomed(m.window) || !GetWindowRect(m.window, &r))
        return result;
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (r.left != form.Left() || r.top != form.Top() || width != form.Width() ||
        height != form.Height()) {
        const ScopedFlag syncing(m.data.syncing);
        RunHandler([&] { form.SetBounds(r.left, r.top, width, height); });
    }
    return result;
}

// Activation gives the window the focus; like a dialog it passes it on to a control.
LRESULT OnSetFocus(const Message& m) {
    if (HWND target = FocusTarget(m.form, m.window); target != m.window) {
        SetFocus(target);
        return 0;
    }
    return m.Default();
}

// The button a child window is, if it is one of the form's buttons.
TButton* ButtonOf(const Message& m, HWND child) {
    return child && GetParent(child) == m.window ? dynamic_cast<TButton*>(ControlOf(child))
                                                 : nullptr;
}

// There is no default button, but Enter presses a focused button, as in any dialog.
LRESULT OnGetDefId(const Message& m) {
    HWND focus = GetFocus();
    return ButtonOf(m, focus) ? MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID) : 0;
}

LRESULT OnEraseBackground(const Message& m) {
    RECT r;
    GetClientRect(m.window, &r);
    FillRect(reinterpret_cast<HDC>(m.wParam), &r, m.data.brush);
    return 1;
}

// The label draws in the form's text colour on the form's background.
LRESULT OnCtlColorStatic(const Message& m) {
    HDC dc = reinterpret_cast<HDC>(m.wParam);
    SetTextColor(dc, ToColorRef(m.form.Font().color));
    SetBkColor(dc, ToColorRef(m.form.Color()));
    return reinterpret_cast<LRESULT>(m.data.brush);
}

LRESULT OnCommand(const Message& m) {
    if (HIWORD(m.wParam) != BN_CLICKED || !m.lParam)
        return m.Default();
    if (TButton* button = ButtonOf(m, reinterpret_cast<HWND>(m.lParam)))
        RunHandler([button] { button->Click(); });
    return 0;
}

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TForm* form = FormOf(window);
    if (!form)
        return DefWindowProcW(window, message, wParam, lParam);
    const Message m{window, message, wParam, lParam, *form, *form->Backend()};
    switch (message) {
    case WM_CLOSE:
        return OnClose(m);
    case WM_QUERYENDSESSION:
        return OnQueryEndSession(m);
    case WM_ENDSESSION:
        return OnEndSession(m);
    case WM_SYSCOMMAND:
        return OnSysCommand(m);
    case WM_SIZE:
        return OnSize(m);
    case WM_DPICHANGED:
        return OnDpiChanged(m);
    case kGetDpiScaledSize:
        return OnGetDpiScaledSize(m);
    case WM_DISPLAYCHANGE:
        return OnDisplayChange(m);
    case WM_WINDOWPOSCHANGED:
        return OnWindowPosChanged(m);
    case WM_SETFOCUS:
        return OnSetFocus(m);
    case DM_GETDEFID:
        return OnGetDefId(m);
    case WM_ERASEBKGND:
        return OnEraseBackground(m);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(m);
    case WM_COMMAND:
        return OnCommand(m);
    default:
        return m.Default();
    }
}

} // namespace

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
    // The program's icon, large for Alt+Tab and the taskbar, small for the title bar, each at the
    // size the system draws it rather than scaled from the other.
    wc.hIcon = LoadProgramIcon(SM_CXICON, SM_CYICON, 0, LR_SHARED);
    wc.hIconSm = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON, 0, LR_SHARED);
    if (!wc.hIcon)
        wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc))
        throw Exception("Cannot register window class");
}

bool IsFormWindow(HWND window) {
    // Only the forms' windows have this procedure (the controls' are the system's classes).
    return window &&
           reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == FormWindowProc &&
           FormOf(window);
}

} // namespace forms::win32
