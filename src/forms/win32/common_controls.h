#pragma once
// The few functions of the common-controls library that the controls use. The program does not
// import the library: it is not one of Windows' KnownDLLs, so an import would be searched for in
// the program's folder first. It is loaded from the system folder when first needed.
#include <windows.h>

#include <commctrl.h>

namespace forms::win32 {

struct CommonControls {
    BOOL(WINAPI* InitCommonControlsEx)(const INITCOMMONCONTROLSEX*);
    BOOL(WINAPI* SetWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    BOOL(WINAPI* RemoveWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR);
    LRESULT(WINAPI* DefSubclassProc)(HWND, UINT, WPARAM, LPARAM);
};

// Loads the library on first use; throws Exception when it or one of the functions is missing.
const CommonControls& CommonControlsLibrary();

} // namespace forms::win32
