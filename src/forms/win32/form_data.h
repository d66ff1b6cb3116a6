#pragma once
// The Win32 side of a form, shared by its members (form_win32.cpp) and its window procedure
// (form_window.cpp).
#include <string>

#include "forms/form.h"
#include "forms/win32/backend.h"

namespace forms {

// The backend's state of one form, held by the form from its construction on.
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
};

} // namespace forms

namespace forms::win32 {

using FormData = TForm::BackendData;

// The form of a window of the forms' class; null once the form's destruction has begun.
inline TForm* FormOf(HWND window) {
    return static_cast<TForm*>(ControlOf(window));
}

// Fixed dialog frame with only the system menu, or no frame at all; always on top or not.
DWORD StyleFor(TBorderStyle border);
DWORD ExStyleFor(TBorderStyle border, TFormStyle formStyle);

// Registers the window class of a form class once, with the forms' window procedure.
void RegisterFormClass(const std::wstring& name);

// The background brush for a colour (a system colour's is the system's own).
void SetBrush(FormData& data, TColor color);
// The brush, the font and the icons released.
void FreeData(FormData& data);

// The window's icons for the title bar and for Alt+Tab and the taskbar at a resolution. Where the
// icon cannot be loaded the window keeps the ones it has.
void SetProgramIcons(HWND window, FormData& data, int dpi);

// The program's icon (the lowest id) at the size the system draws it, by the metrics given, at a
// resolution (0: the system's), rather than scaled from another size. LR_SHARED for one the
// system keeps (a window class's).
HICON LoadProgramIcon(int widthMetric, int heightMetric, int dpi, UINT flags);

// Where a focus given to the form lands: its first control in tab order that takes the focus,
// or the window itself when none can.
HWND FocusTarget(const TForm& form, HWND window);

// The place, in screen coordinates, that a minimised or maximised window returns to.
RECT RestorePlace(HWND window);

} // namespace forms::win32
