// The baseline of the start-up and memory figures: the least a Win32 program does to put the
// same question box on the screen. Built with the program's own flags and manifest, so the
// difference measured is the program's own work before its first box.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MessageBoxW(nullptr,
                L"ウィルスを発見しました！\n実行する場合は「はい」を、友達１０人に転送する場合は"
                L"「いいえ」を押してください。",
                L"Germcatcher", MB_YESNO | MB_ICONEXCLAMATION);
    return 0;
}
