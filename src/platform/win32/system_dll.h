#pragma once
// DLLs from the system folder only. A downloaded program usually runs from a folder where anyone
// can drop a DLL, and Windows searches the program's folder first for every DLL that is not one
// of its KnownDLLs. So the program imports only KnownDLLs and loads everything else through here.
//
// The functions the program looks up at run time rather than imports are listed here, one list
// per DLL: an import the system lacks would keep the program from starting at all, so each
// function newer than the oldest Windows the program runs on is looked up, and is null there.
#include <windows.h>

#include <commctrl.h>

namespace platform::win32 {

// Makes the system folder the only place this process's DLL loads search (the program's folder
// and the current folder are left out). The entry point calls it before anything else. Returns
// false where the system cannot do that (Windows 7 without update KB2533623); the current folder
// is then at least taken out of the search.
bool RestrictDllSearch();

// Loads a DLL that the program's manifest names as a side-by-side assembly (the common controls
// version 6), by its name, never one beside the program; nullptr when it cannot be loaded.
HMODULE LoadAssemblyDll(const wchar_t* name);

// A function of a loaded DLL as its own type; nullptr when the DLL has no such export.
template <class F> F DllFunction(HMODULE module, const char* name) {
    // Through void(*)(): the one function pointer type that converts to any other unwarned.
    return module
               ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
               : nullptr;
}

// kernel32: Windows 8, and 7 with update KB2533623.
struct Kernel32Functions {
    BOOL(WINAPI* SetDefaultDllDirectories)(DWORD flags);
};
const Kernel32Functions& Kernel32();

// user32: the per-monitor resolution of Windows 10 1607.
struct User32Functions {
    BOOL(WINAPI* AdjustWindowRectExForDpi)
    (RECT* rect, DWORD style, BOOL menu, DWORD exStyle, UINT dpi);
    UINT(WINAPI* GetDpiForWindow)(HWND window);
    int(WINAPI* GetSystemMetricsForDpi)(int index, UINT dpi);
};
const User32Functions& User32();

// comctl32, version 6 by the manifest: not a KnownDLL, so never imported; loaded on first use.
// Every Windows has these; they are null only when the library could not be loaded.
struct Comctl32Functions {
    BOOL(WINAPI* InitCommonControlsEx)(const INITCOMMONCONTROLSEX* init);
    BOOL(WINAPI* SetWindowSubclass)(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
    BOOL(WINAPI* RemoveWindowSubclass)(HWND window, SUBCLASSPROC proc, UINT_PTR id);
    LRESULT(WINAPI* DefSubclassProc)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
const Comctl32Functions& Comctl32();

} // namespace platform::win32
