// Test probe: reads and drives the windows of other processes for the end-to-end tests and
// prints one JSON object per line on stdout (UTF-8). Run with wine in the program's prefix.
//
//   probe list [--pid N | --name FILE | --all]   top-level windows with their children, each
//                                                with its thread's keyboard focus and its dpi
//   probe press HWND ID | close HWND | restore HWND | sysclose HWND
//   probe launch PATH [SHOWCMD]                  {"pid":N} at once, {"exit":CODE} at the end
//   probe watch --pid N [--ms 10] [--max-s 120]  a line whenever a window of N changes
//   probe at X Y                       the window under a screen point and its top-level window
//   probe input click X Y [B] | gesture X Y [B] | key [--pid N] NAME...   real input (SendInput)
//   probe capture FILE.bmp             the screen's pixels
//   probe endsession PID               a sign-out's questions to the windows of a process
//   probe setlocale LCTYPE VALUE | localeinfo [--again-after-ms N]
//   probe lockfile PATH SHARE SECONDS            SHARE: none, r, w, rw or a number
//   probe stamps YYYY-MM-DDTHH:MM:SS COUNT       the log's stamps for COUNT seconds from then
//   probe screen                                 screen size and foreground window
//   probe kill PID                               end a process left running by a failed test
//   probe closebox HWND                          screen point of the title bar's close box
//   probe msgbox TEXT FLAGS                      a box of the probe's own, for the harness's tests
//   probe dpichanged HWND DPI L T R B            WM_DPICHANGED with that suggested rectangle
//   probe display WIDTH HEIGHT                   the primary screen's mode (a Wine virtual
//                                                desktop changes up to its own size)
//   probe --desktop NAME,WxH COMMAND ...         the command in that desktop, and what it
//                                                launches; under Wine a virtual desktop
//   probe startup PATH [--ms 2] [--timeout 30]   ms from CreateProcess to its first visible box,
//                                                then ends that process
//   probe serve                        commands from standard input, one a line with its
//                                      arguments separated by tabs, each answered by its lines
//                                      and {"done":EXITCODE}; ends at the end of the input
#include "commands.h"
#include "output.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

namespace {

// Coordinates and captures in the screen's own pixels at any scaling: per-monitor aware where
// the system knows it (Windows 10 1703 and later), else system aware.
void DeclareDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = user32 ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(
                            GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                      : nullptr;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (!set || !set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
        SetProcessDPIAware();
}

int Run(int argc, wchar_t** argv);

// One process for many questions: a test that polls pays for Wine's start of a process once,
// not on every reading.
int Serve() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string line;
    char c = 0;
    DWORD got = 0;
    while (ReadFile(in, &c, 1, &got, nullptr) && got == 1) {
        if (c != '\n') {
            line += c;
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::wstring wide(line.size(), L'\0');
        wide.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                static_cast<int>(wide.size()))));
        line.clear();
        std::vector<std::wstring> args{L"probe"};
        for (size_t start = 0;;) {
            const size_t tab = wide.find(L'\t', start);
            args.push_back(wide.substr(start, tab - start));
            if (tab == std::wstring::npos)
                break;
            start = tab + 1;
        }
        std::vector<wchar_t*> argv;
        for (std::wstring& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        SetLastError(0);
        const int code = std::wstring(argv[1]) == L"serve"
                             ? Fail("serve does not nest")
                             : Run(static_cast<int>(args.size()), argv.data());
        Emit("{\"done\":" + Num(code) + "}");
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // A crash and an uncaught exception say so too; only an ending from outside (TerminateProcess,
    // the Wine server going away) leaves the probe without a word.
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* e) -> LONG {
        char why[96];
        std::snprintf(why, sizeof why, "crashed: exception 0x%08lX at %p",
                      e->ExceptionRecord->ExceptionCode, e->ExceptionRecord->ExceptionAddress);
        Say(why);
        return EXCEPTION_EXECUTE_HANDLER;
    });
    std::set_terminate([] {
        Say("ended by an uncaught C++ exception");
        std::abort();
    });
    DeclareDpiAwareness();
    if (argc >= 3 && std::wstring(argv[1]) == L"--desktop") {
        if (const int failed = JoinDesktop(argv[2]))
            return failed;
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"serve")
        return Serve();
    return Run(argc, argv);
}

namespace {

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Fail("usage: probe list|press|close|restore|sysclose|launch|watch|setlocale|"
                    "localeinfo|stamps|lockfile|screen ...");
    std::wstring cmd = argv[1];
    if (cmd == L"list")
        return List(argc, argv);
    if (cmd == L"press" && argc >= 4) {
        HWND h = ParseHwnd(argv[2]);
        int id = static_cast<int>(std::wcstol(argv[3], nullptr, 0));
        return Post(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(h, id)));
    }
    if (cmd == L"close" && argc >= 3)
        return Post(ParseHwnd(argv[2]), WM_CLOSE, 0, 0);
    if (cmd == L"restore" && argc >= 3)
        return Post(ParseHwnd(argv[2]), WM_SYSCOMMAND, SC_RESTORE, 0);
    if (cmd == L"sysclose" && argc >= 3)
        return Post(ParseHwnd(argv[2]), WM_SYSCOMMAND, SC_CLOSE, 0);
    if (cmd == L"launch")
        return Launch(argc, argv);
    if (cmd == L"watch")
        return Watch(argc, argv);
    if (cmd == L"setlocale")
        return SetLocale(argc, argv);
    if (cmd == L"stamps")
        return Stamps(argc, argv);
    if (cmd == L"localeinfo")
        return LocaleInfo(argc, argv);
    if (cmd == L"lockfile")
        return LockFile(argc, argv);
    if (cmd == L"screen")
        return Screen();
    if (cmd == L"display")
        return Display(argc, argv);
    if (cmd == L"kill" && argc >= 3)
        return Kill(argv[2]);
    if (cmd == L"closebox" && argc >= 3)
        return CloseBox(ParseHwnd(argv[2]));
    if (cmd == L"msgbox")
        return MsgBox(argc, argv);
    if (cmd == L"at")
        return At(argc, argv);
    if (cmd == L"input")
        return Input(argc, argv);
    if (cmd == L"capture")
        return Capture(argc, argv);
    if (cmd == L"endsession")
        return EndSession(argc, argv);
    if (cmd == L"startup")
        return Startup(argc, argv);
    if (cmd == L"dpichanged")
        return DpiChanged(argc, argv);
    return Fail("unknown command");
}

} // namespace
