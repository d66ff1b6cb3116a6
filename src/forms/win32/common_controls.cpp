#include "forms/win32/common_controls.h"

#include "forms/exception.h"
#include "platform/win32/system_dll.h"

namespace forms::win32 {

using platform::win32::DllFunction;

const CommonControls& CommonControlsLibrary() {
    static const CommonControls library = [] {
        CommonControls lib{};
        // By name: the manifest's assembly makes it version 6.
        if (HMODULE module = platform::win32::LoadAssemblyDll(L"comctl32.dll")) {
            lib.InitCommonControlsEx =
                DllFunction<decltype(lib.InitCommonControlsEx)>(module, "InitCommonControlsEx");
            lib.SetWindowSubclass =
                DllFunction<decltype(lib.SetWindowSubclass)>(module, "SetWindowSubclass");
            lib.RemoveWindowSubclass =
                DllFunction<decltype(lib.RemoveWindowSubclass)>(module, "RemoveWindowSubclass");
            lib.DefSubclassProc =
                DllFunction<decltype(lib.DefSubclassProc)>(module, "DefSubclassProc");
        }
        return lib;
    }();
    if (!library.InitCommonControlsEx || !library.SetWindowSubclass ||
        !library.RemoveWindowSubclass || !library.DefSubclassProc)
        throw Exception("Error loading comctl32.dll");
    return library;
}

} // namespace forms::win32
