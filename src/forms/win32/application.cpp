// The application's Win32 side: window classes, the hidden application window, the message loop
// and application-modal message boxes.
#include "forms/application.h"

#include <vector>

#include "forms/win32/backend.h"
#include "forms/win32/common_controls.h"

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
    CommonControlsLibrary().InitCommonControlsEx(&icc);
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

struct ModalState {
    std::vector<HWND> disabled;
    std::vector<HWND> topmost;
};

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<ModalState*>(param);
    if (IsWindowEnabled(window))
        state->disabled.push_back(window);
    if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST)
        state->topmost.push_back(window);
    return TRUE;
}

constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

} // namespace

int TApplication::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    HWND active = GetActiveWindow();
    HWND focus = GetFocus();

    ModalState state;
    EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindow, reinterpret_cast<LPARAM>(&state));
    // Application-modal: none of the program's windows takes input while the box is up.
    for (HWND window : state.disabled)
        EnableWindow(window, FALSE);
    // The box must come up above the program's always-on-top windows.
    for (HWND window : state.topmost)
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderOnly);

    const std::wstring wideText = Widen(text);
    const std::wstring wideCaption = Widen(caption);
    const int result = MessageBoxW(active, wideText.c_str(), wideCaption.c_str(), flags);

    for (auto it = state.disabled.rbegin(); it != state.disabled.rend(); ++it)
        if (IsWindow(*it))
            EnableWindow(*it, TRUE);
    for (HWND window : state.topmost)
        if (IsWindow(window))
            SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kZOrderOnly);
    if (active && IsWindow(active) && IsWindowVisible(active))
        SetActiveWindow(active);
    if (focus && IsWindow(focus) && IsWindowVisible(focus))
        SetFocus(focus);
    return result;
}

} // namespace forms
