// Test probe: reads and drives the windows of other processes for the end-to-end tests, the
// bench and the demo, and prints one JSON object per line on stdout (UTF-8). Run with wine in the
// program's prefix. Its commands are the table kCommands below; `probe` alone prints them.
#include "commands.h"
#include "output.h"
#include "platform/win32/system_dll.h"

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
    const auto set = platform::win32::DllFunction<BOOL(WINAPI*)(HANDLE)>(
        GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext");
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

int PostCommand(wchar_t** argv, UINT message, WPARAM wParam) {
    return Post(ParseHwnd(argv[2]), message, wParam, 0);
}

// The probe's commands: name, arguments, what it answers, the least number of arguments, and the
// handler, which takes the whole command line (argv[1] is the name).
struct Command {
    const wchar_t* name;
    const char* arguments;
    const char* help;
    int leastArguments;
    int (*run)(int argc, wchar_t** argv);
};

constexpr Command kCommands[] = {
    {L"list", "[--pid N | --name FILE | --all]",
     "top-level windows with their children, each with its thread's focus and its dpi", 0, List},
    {L"at", "X Y", "the window under a screen point and its top-level window", 2, At},
    {L"closebox", "HWND", "the screen point of the title bar's close box", 1,
     [](int, wchar_t** argv) { return CloseBox(ParseHwnd(argv[2])); }},
    {L"screen", "", "the screen's size, its foreground window, whether input reaches it", 0,
     [](int, wchar_t**) { return Screen(); }},
    {L"watch", "--pid N [--ms 10] [--max-s 120]", "a line whenever a window of N changes", 0,
     Watch},
    {L"press", "HWND ID", "presses a button of a box or a dialog (WM_COMMAND)", 2,
     [](int, wchar_t** argv) {
         HWND h = ParseHwnd(argv[2]);
         const int id = static_cast<int>(std::wcstol(argv[3], nullptr, 0));
         return Post(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(h, id)));
     }},
    {L"close", "HWND", "posts WM_CLOSE", 1,
     [](int, wchar_t** argv) { return PostCommand(argv, WM_CLOSE, 0); }},
    {L"restore", "HWND", "posts the restore command (WM_SYSCOMMAND)", 1,
     [](int, wchar_t** argv) { return PostCommand(argv, WM_SYSCOMMAND, SC_RESTORE); }},
    {L"sysclose", "HWND", "posts the close command (WM_SYSCOMMAND)", 1,
     [](int, wchar_t** argv) { return PostCommand(argv, WM_SYSCOMMAND, SC_CLOSE); }},
    {L"input", "click X Y [B] | gesture X Y [B] | key [--pid N] NAME...",
     "real input (SendInput); a key only while a window of N is in front", 1, Input},
    {L"capture", "FILE.bmp", "the screen's pixels", 1, Capture},
    {L"endsession", "PID", "a sign-out's questions to the windows of a process", 1, EndSession},
    {L"launch", "PATH [SHOWCMD]", "{\"pid\":N} at once, {\"exit\":CODE} at the end", 1, Launch},
    {L"startup", "PATH [--ms 2] [--timeout 30]",
     "ms from CreateProcess to its first visible box, then ends that process", 1, Startup},
    {L"kill", "PID", "ends a process left running by a failed test", 1,
     [](int, wchar_t** argv) { return Kill(argv[2]); }},
    {L"lockfile", "PATH SHARE SECONDS", "holds a file open; SHARE: none, r, w, rw or a number", 3,
     LockFile},
    {L"setlocale", "LCTYPE VALUE", "changes a regional setting and announces it", 2, SetLocale},
    {L"localeinfo", "[--again-after-ms N]", "the user's regional settings", 0, LocaleInfo},
    {L"stamps", "YYYY-MM-DDTHH:MM:SS COUNT", "the log's stamps for COUNT seconds from then", 2,
     Stamps},
    {L"msgbox", "TEXT FLAGS", "a box of the probe's own, for the harness's tests", 2, MsgBox},
    {L"dpichanged", "HWND DPI LEFT TOP RIGHT BOTTOM", "WM_DPICHANGED with that suggested rectangle",
     6, DpiChanged},
    {L"display", "WIDTH HEIGHT",
     "the primary screen's mode (a Wine virtual desktop changes up to its own size)", 2, Display},
    {L"serve", "",
     "commands from standard input, one a line, arguments separated by tabs, each answered by "
     "its lines and {\"done\":CODE}; ends at the end of the input",
     0, nullptr},
};

const Command* Find(const std::wstring& name) {
    for (const Command& command : kCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

// The table on the error output, and the failure on the standard output.
int PrintUsage(const std::string& why) {
    std::string usage = "usage: probe [--desktop NAME,WxH] COMMAND ...   (the command, and what "
                        "it launches, in that desktop; under Wine a virtual desktop)\n";
    for (const Command& command : kCommands)
        usage += "  probe " + Utf8(command.name) + (*command.arguments ? " " : "") +
                 command.arguments + "\n      " + command.help + "\n";
    std::fputs(usage.c_str(), stderr);
    return Fail(why);
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return PrintUsage("no command");
    const Command* command = Find(argv[1]);
    if (!command || !command->run)
        return PrintUsage("unknown command: " + Utf8(argv[1]));
    if (argc - 2 < command->leastArguments)
        return Usage(argv[1]);
    return command->run(argc, argv);
}

} // namespace

int Usage(const wchar_t* name) {
    const Command* command = Find(name);
    return Fail("usage: probe " + Utf8(name) + " " + (command ? command->arguments : ""));
}
