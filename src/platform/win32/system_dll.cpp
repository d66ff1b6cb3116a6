#include "platform/win32/system_dll.h"

#include <string>

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

HMODULE LoadSystemDll(const wchar_t* name) {
    // The search flags came with the same update as SetDefaultDllDirectories.
    if (SetDefaultDllDirectoriesFunction())
        return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without them: the file in the system folder by its full path, and its own dependencies
    // searched from there (the altered search path) instead of from the program's folder.
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, n) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace platform::win32
