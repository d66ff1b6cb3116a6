#pragma once
// DLLs from the system folder only. A downloaded program usually runs from a folder where anyone
// can drop a DLL, and Windows searches the program's folder first for every DLL that is not one
// of its KnownDLLs. So the program imports only KnownDLLs and loads everything else through here.
#include <windows.h>

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
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

} // namespace platform::win32
