#include "platform/win32/system_dll.h"

namespace platform::win32 {

const Kernel32Functions& Kernel32() {
    static const Kernel32Functions functions = [] {
        HMODULE dll = ::GetModuleHandleW(L"kernel32.dll");
        return Kernel32Functions{
            DllFunction<decltype(Kernel32Functions::SetDefaultDllDirectories)>(
                dll, "SetDefaultDllDirectories"),
        };
    }();
    return functions;
}

const User32Functions& User32() {
    static const User32Functions functions = [] {
        HMODULE dll = ::GetModuleHandleW(L"user32.dll");
        using F = User32Functions;
        return F{
            DllFunction<decltype(F::AdjustWindowRectExForDpi)>(dll, "AdjustWindowRectExForDpi"),
            DllFunction<decltype(F::GetDpiForWindow)>(dll, "GetDpiForWindow"),
            DllFunction<decltype(F::GetSystemMetricsForDpi)>(dll, "GetSystemMetricsForDpi"),
        };
    }();
    return functions;
}

const Comctl32Functions& Comctl32() {
    static const Comctl32Functions functions = [] {
        // By name: the manifest's assembly makes it version 6.
        HMODULE dll = LoadAssemblyDll(L"comctl32.dll");
        using F = Comctl32Functions;
        return F{
            DllFunction<decltype(F::InitCommonControlsEx)>(dll, "InitCommonControlsEx"),
            DllFunction<decltype(F::SetWindowSubclass)>(dll, "SetWindowSubclass"),
            DllFunction<decltype(F::RemoveWindowSubclass)>(dll, "RemoveWindowSubclass"),
            DllFunction<decltype(F::DefSubclassProc)>(dll, "DefSubclassProc"),
        };
    }();
    return functions;
}

bool RestrictDllSearch() {
    if (auto restrict = Kernel32().SetDefaultDllDirectories)
        if (restrict(LOAD_LIBRARY_SEARCH_SYSTEM32))
            return true;
    ::SetDllDirectoryW(L"");
    return false;
}

HMODULE LoadAssemblyDll(const wchar_t* name) {
    // The search flags came with the same update as SetDefaultDllDirectories.
    if (Kernel32().SetDefaultDllDirectories)
        return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without them, by name all the same: the manifest's activation context resolves the name to
    // the side-by-side assembly before any folder is searched. A full path would bypass that and
    // load the system folder's older version instead.
    return ::LoadLibraryW(name);
}

} // namespace platform::win32
