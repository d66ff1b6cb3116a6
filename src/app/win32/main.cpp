// The Windows entry point: the whole program runs in RunApplication.
#include <windows.h>

#include "app/run_application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return RunApplication();
}
