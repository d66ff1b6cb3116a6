#pragma once
// Pieces shared by the Win32 controls: text conversion, the application's
// hidden window, child window bookkeeping and safe event dispatch from window procedures.
#include <windows.h>
// The framework has its own MessageBox; the W function is always called by its full name.
#undef MessageBox

#include <string>
#include <string_view>

#include "forms/application.h"
#include "forms/control.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/wide.h"

namespace forms::win32 {

using platform::win32::Widen;

HINSTANCE Instance();

// The application's hidden top-level window: owner of the timers, receiver of the system's
// setting-change announcements. Created on first use.
HWND AppWindow();

// Posts a no-op message so a loop blocked in GetMessage looks at Terminated() again.
void WakeLoop();

// Runs an event handler from a window procedure: no exception may cross a Win32 callback.
template <class F> void RunHandler(F&& handler) noexcept {
    if (Application) {
        Application->Dispatch(handler);
        if (Application && Application->Terminated())
            WakeLoop();
        return;
    }
    try {
        handler();
    } catch (...) {
    }
}

// Every window the framework makes for a control or a form carries that object (as TControl*) in
// GWLP_USERDATA, cleared before the window is destroyed.
HWND CreateChild(TControl* control, const wchar_t* windowClass, const std::string& text,
                 DWORD style);
TControl* ControlOf(HWND window);

// The common controls' functions; throws Exception when the library or one of them is missing.
const platform::win32::Comctl32Functions& CommonControls();

// Whether the window is a form's own (not a control's, a box's or the application's).
bool IsFormWindow(HWND window);

// The font the form's controls share, made on first use: measuring text needs it, not a window.
HFONT FormFont(const TForm* form);

// Reports a window that could not be made: its class and the system's error code, so a report
// tells which of the program's windows failed and why.
[[noreturn]] void ThrowCreateError(std::string_view windowClass);

// Framework colour (0x00BBGGRR or a system colour) to a Windows colour.
COLORREF ToColorRef(TColor color);

// Delivers a WM_TIMER of the application window to its timer.
void DeliverTimer(UINT_PTR id);

// The call that shows an application-modal box (MessageBoxW). A test may put in its own to see
// what the box is handed at the moment of the call; nullptr puts MessageBoxW back. Returns the
// previous one.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags);
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

} // namespace forms::win32
