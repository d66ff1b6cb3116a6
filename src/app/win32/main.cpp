// The Windows entry point: the whole program runs in RunApplication.
#include <windows.h>

#include <cstdlib>

#include "app/run_application.h"
#include "platform/win32/system_dll.h"

// The C++ runtime's default handler for an uncaught exception prints the demangled type name to
// standard error, which a window program does not have; it only adds the runtime's demangler
// (about 70 KB) to the executable. RunApplication catches everything anyway, so ending at once
// changes nothing a user can see.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before any DLL is loaded: none may come from the folder the program was started from.
    platform::win32::RestrictDllSearch();
    return RunApplication();
}
