#include "platform/win32/system_dll.h"

namespace platform::win32 {

namespace {

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

// Looked up rather than imported: an import the system lacks would keep the program from
// starting at all on a Windows 7 without the update.
SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesFunction() {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? DllFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories")
                  : nullptr;
}

} // namespace

bool RestrictDllSearch() {
    if (auto restrict = SetDefaultDllDirectoriesFunction())
        if (restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
            return true;
    ::SetDllDirectoryW(L"");
    return false;
}

HMODULE LoadAssemblyDll(const wchar_t* name) {
    // The search flags came with the same update as SetDefaultDllDirectories.
    if (SetDefaultDllDirectoriesFunction())
        return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without them, by name all the same: the manifest's activation context resolves the name to
    // the side-by-side assembly before any folder is searched. A full path would bypass that and
    // load the system folder's older version instead.
    return ::LoadLibraryW(name);
}

} // namespace platform::win32
