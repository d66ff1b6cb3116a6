// The application's Win32 side: window classes, the hidden application window, the message loop
// and application-modal message boxes.
#include "forms/application.h"

#include <vector>

#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

namespace {

constexpr wchar_t kAppWindowClass[] = L"TApplication";

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        DeliverTimer(wParam);
        return 0;
    case WM_CLOSE:
        // A close request to every window of the process (as a task manager sends) is for the
        // forms to answer; the timers' window stays.
        return 0;
    case WM_SETTINGCHANGE: // also WM_WININICHANGE
        if (Application)
            RunHandler([] { Application->SettingChange(); });
        break;
    default:
        if (message != 0 && message == TaskbarCreatedMessage()) {
            if (Application)
                RunHandler([] { Application->SettingChange(); });
            return 0;
        }
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND g_appWindow = nullptr;

} // namespace

namespace win32 {

HWND AppWindow() {
    if (g_appWindow && IsWindow(g_appWindow))
        return g_appWindow;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExW(Instance(), kAppWindowClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = AppWindowProc;
        wc.hInstance = Instance();
        wc.lpszClassName = kAppWindowClass;
        if (!RegisterClassExW(&wc))
            return nullptr;
    }
    TaskbarCreatedMessage();
    // A hidden top-level window, not a message-only one: broadcasts of setting changes and of
    // the taskbar's re-creation reach only top-level windows.
    g_appWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kAppWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, Instance(), nullptr);
    return g_appWindow;
}

void WakeLoop() {
    if (HWND window = AppWindow())
        PostMessageW(window, WM_NULL, 0, 0);
}

} // namespace win32

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    CommonControls().InitCommonControlsEx(&icc);
    if (!AppWindow())
        ThrowCreateError("TApplication");
}

void TApplication::RunLoop() {
    MSG msg;
    // Terminated() is looked at after every dispatch: once the main form has closed, no further
    // message (a timer tick in particular) is dispatched.
    while (!Terminated()) {
        const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0) { // WM_QUIT
            Terminate();
            break;
        }
        if (result == -1)
            break;
        // The active form takes the dialog keys: Tab and Shift+Tab move between its tab stops
        // and Enter presses a focused button; Escape finds no cancel button and does nothing.
        if (HWND active = GetActiveWindow(); IsFormWindow(active) && IsDialogMessageW(active, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int TApplication::StartupShowCommand() const {
    STARTUPINFOW info{};
    info.cb = sizeof info;
    GetStartupInfoW(&info);
    if (info.dwFlags & STARTF_USESHOWWINDOW)
        return info.wShowWindow;
    return SW_SHOWNORMAL;
}

namespace {

MessageBoxFunction g_messageBox = ::MessageBoxW;

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM param);

// The box's owner: the active window, or when the program is not in the foreground (another
// program was clicked, or a finale has just hidden the active window) its visible main form. An
// owned window always lies above its owner, so the box cannot open behind the blue cover. Never a
// hidden or disabled window, the active one included: a box re-enables its owner only if it found
// it enabled, so Windows would hand activation to another program when it closes. A box already
// up has disabled the form, so the new one goes on top of that box (the form's last active
// popup), or else of any window of the program that is still enabled.
HWND BoxOwner() {
    auto usable = [](HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); };
    if (HWND active = GetActiveWindow(); active && usable(active))
        return active;
    if (!Application || !Application->MainForm() || !Application->MainForm()->HandleAllocated())
        return nullptr;
    HWND main = static_cast<HWND>(Application->MainForm()->Handle());
    if (!IsWindowVisible(main))
        return nullptr;
    if (IsWindowEnabled(main))
        return main;
    if (HWND popup = GetLastActivePopup(main); popup && usable(popup))
        return popup;
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindow,
                      reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (usable(window))
            return window;
    return nullptr;
}

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM param) {
    try {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
        return TRUE;
    } catch (...) {
        return FALSE; // no exception may cross the callback; the rest stay as they are
    }
}

constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

// Makes the program application-modal for the time it lives, and puts everything back however
// the box ends. The owner is left to the box: its dialog code disables the owner and re-enables
// it before the box is destroyed only if it found it enabled, and Windows hands activation to
// another program if the owner is still disabled at that moment.
class ModalScope {
public:
    ModalScope(HWND owner, HWND active, HWND focus) : active_(active), focus_(focus) {
        std::vector<HWND> windows;
        EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindow,
                          reinterpret_cast<LPARAM>(&windows));
        disabled_.reserve(windows.size());
        topmost_.reserve(windows.size());
        for (HWND window : windows) {
            if (window != owner && IsWindowEnabled(window)) {
                EnableWindow(window, FALSE);
                disabled_.push_back(window);
            }
            // The box must come up above the program's always-on-top windows.
            if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) {
                SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);
                topmost_.push_back(window);
            }
        }
    }
    ~ModalScope() {
        for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it)
            if (IsWindow(*it))
                EnableWindow(*it, TRUE);
        for (HWND window : topmost_)
            if (IsWindow(window))
                SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
        if (active_ && IsWindow(active_) && IsWindowVisible(active_))
            SetActiveWindow(active_);
        if (focus_ && IsWindow(focus_) && IsWindowVisible(focus_))
            SetFocus(focus_);
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    HWND active_;
    HWND focus_;
    std::vector<HWND> disabled_;
    std::vector<HWND> topmost_;
};

} // namespace

namespace win32 {

MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function) {
    MessageBoxFunction previous = g_messageBox;
    g_messageBox = function ? function : ::MessageBoxW;
    return previous;
}

} // namespace win32

void TApplication::DiscardPendingInput() {
    // Keys (down, up, characters, system keys) and the buttons and wheel of the mouse, on the
    // client area and on the frame; moves, timers, paints, posted messages and quit stay.
    static constexpr struct {
        UINT first, last;
    } kInput[] = {{WM_KEYFIRST, WM_KEYLAST},
                  {WM_LBUTTONDOWN, WM_MOUSELAST},
                  {WM_NCLBUTTONDOWN, WM_NCXBUTTONDBLCLK}};
    MSG msg;
    for (const auto& range : kInput)
        while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE | PM_NOYIELD))
            if (msg.message == WM_QUIT) { // not input, but PeekMessage may hand it out here
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
}

int TApplication::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    // Converted before any window changes, so a failure here leaves the program as it was.
    const std::wstring wideText = Widen(text);
    const std::wstring wideCaption = Widen(caption);
    HWND active = GetActiveWindow();
    HWND focus = GetFocus();
    HWND owner = BoxOwner();
    // With no window of the program on the screen (the No finale), the box asks for the
    // foreground; Windows grants it only under its foreground rules, so nothing is stolen.
    if (!owner)
        flags |= MB_SETFOREGROUND;

    ModalScope modal(owner, active, focus);
    return g_messageBox(owner, wideText.c_str(), wideCaption.c_str(), flags);
}

} // namespace forms
