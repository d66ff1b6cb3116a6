// Starting programs for the tests (their exit code reported), timing a start, ending a program
// left running, and holding a file open as another program would.
#include "commands.h"
#include "output.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {
std::wstring desktop; // where launched programs start; empty: the probe's own
} // namespace

// Under Wine, a desktop that the registry gives a size is a virtual desktop of that size, with
// display settings of its own (Xvfb's screen has one mode). Its name and size stay in the
// registry only until Wine's explorer has made it.
int JoinDesktop(const std::wstring& argument) {
    const size_t comma = argument.find(L',');
    if (comma == std::wstring::npos || comma == 0)
        return Fail("usage: --desktop NAME,WIDTHxHEIGHT");
    const std::wstring name = argument.substr(0, comma), size = argument.substr(comma + 1);
    constexpr const wchar_t* kDesktops = L"Software\\Wine\\Explorer\\Desktops";
    HKEY key{};
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktops, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return Fail("the desktop's size could not be written");
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                   static_cast<DWORD>((size.size() + 1) * sizeof(wchar_t)));
    HDESK made = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    const bool joined = made && SetThreadDesktop(made);
    // The desktop's window, which Wine's explorer makes from the registry's size.
    const bool shown = joined && GetDesktopWindow();
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    if (!shown)
        return Fail("the desktop could not be made");
    desktop = name;
    return 0;
}

int Launch(int argc, wchar_t** argv) {
    std::wstring path = argv[2];
    std::wstring cmdline = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.lpDesktop = desktop.empty() ? nullptr : desktop.data();
    if (argc > 3) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(std::wcstoul(argv[3], nullptr, 0));
    }
    std::wstring dir = path.substr(0, path.find_last_of(L"\\/") + 1);
    PROCESS_INFORMATION pi{};
    // The full path as the application name also starts a file that has no extension.
    if (!CreateProcessW(path.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return Fail("CreateProcess failed");
    CloseHandle(pi.hThread);
    Emit("{\"pid\":" + Num(pi.dwProcessId) + "}");
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    Emit("{\"exit\":" + Num(code) + "}");
    return 0;
}

// Times one start of PATH: from just before CreateProcess until a message box of the new
// process is visible. The process is then ended, so a start-up measurement never runs the rest.
int Startup(int argc, wchar_t** argv) {
    std::wstring path = argv[2];
    int ms = 2;
    double timeoutS = 30;
    for (int i = 3; i + 1 < argc; i += 2) {
        std::wstring a = argv[i];
        if (a == L"--ms")
            ms = static_cast<int>(std::wcstol(argv[i + 1], nullptr, 0));
        else if (a == L"--timeout")
            timeoutS = std::wcstod(argv[i + 1], nullptr);
    }
    std::wstring cmdline = L"\"" + path + L"\"";
    std::wstring dir = path.substr(0, path.find_last_of(L"\\/") + 1);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(path.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return Fail("CreateProcess failed");
    CloseHandle(pi.hThread);
    auto elapsedMs = [&] {
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
               static_cast<double>(freq.QuadPart);
    };
    struct Find {
        DWORD pid;
        bool found;
    } find{pi.dwProcessId, false};
    double boxMs = -1;
    while (elapsedMs() < timeoutS * 1000.0) {
        find.found = false;
        EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
                auto* f = reinterpret_cast<Find*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                if (pid == f->pid && IsWindowVisible(h) && ClassOf(h) == L"#32770") {
                    f->found = true;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&find));
        if (find.found) {
            boxMs = elapsedMs();
            break;
        }
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(ms)) == WAIT_OBJECT_0)
            break;
    }
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    if (boxMs < 0)
        return Fail("no box appeared");
    char buf[96];
    std::snprintf(buf, sizeof buf, "{\"pid\":%lu,\"box_ms\":%.2f}",
                  static_cast<unsigned long>(pi.dwProcessId), boxMs);
    Emit(buf);
    return 0;
}

int Kill(const wchar_t* arg) {
    DWORD pid = static_cast<DWORD>(std::wcstoul(arg, nullptr, 0));
    HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
    if (!p)
        return Fail("OpenProcess failed");
    BOOL ok = TerminateProcess(p, 1);
    CloseHandle(p);
    if (!ok)
        return Fail("TerminateProcess failed");
    Emit("{\"killed\":true}");
    return 0;
}

int LockFile(int, wchar_t** argv) {
    std::wstring share = argv[3];
    DWORD mode = 0;
    if (share == L"none")
        mode = 0;
    else if (share == L"r")
        mode = FILE_SHARE_READ;
    else if (share == L"w")
        mode = FILE_SHARE_WRITE;
    else if (share == L"rw")
        mode = FILE_SHARE_READ | FILE_SHARE_WRITE;
    else
        mode = static_cast<DWORD>(std::wcstoul(share.c_str(), nullptr, 0));
    HANDLE h = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, mode, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Fail("CreateFile failed");
    Emit("{\"locked\":true}");
    Sleep(static_cast<DWORD>(std::wcstod(argv[4], nullptr) * 1000.0));
    CloseHandle(h);
    Emit("{\"released\":true}");
    return 0;
}
