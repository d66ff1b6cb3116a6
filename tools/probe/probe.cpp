// Test probe: reads and drives the windows of other processes for the end-to-end tests and
// prints one JSON object per line on stdout (UTF-8). Run with wine in the program's prefix.
//
//   probe list [--pid N | --name FILE | --all]   top-level windows with their children
//   probe press HWND ID | close HWND | restore HWND | sysclose HWND
//   probe launch PATH [SHOWCMD]                  {"pid":N} at once, {"exit":CODE} at the end
//   probe watch --pid N [--ms 10] [--max-s 120]  a line whenever a window of N changes
//   probe at X Y                       the window under a screen point and its top-level window
//   probe input click X Y [B] | gesture X Y [B] | key NAME...   real input through SendInput
//   probe capture FILE.bmp             the screen's pixels
//   probe endsession PID               a sign-out's questions to the windows of a process
//   probe setlocale LCTYPE VALUE | localeinfo [--again-after-ms N]
//   probe lockfile PATH SHARE SECONDS            SHARE: none, r, w, rw or a number
//   probe screen                                 screen size and foreground window
//   probe kill PID                               end a process left running by a failed test
//   probe closebox HWND                          screen point of the title bar's close box
//   probe focus HWND                             keyboard focus and active window of its thread
//   probe msgbox TEXT FLAGS                      a box of the probe's own, for the harness's tests
//   probe startup PATH [--ms 2] [--timeout 30]   ms from CreateProcess to its first visible box,
//                                                then ends that process
#include <windows.h>
#include <commctrl.h>

#include "input.h"

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

// ---- output -------------------------------------------------------------------------------

std::string Utf8(const std::wstring& w) {
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::string Quote(const std::wstring& w) {
    std::string out = "\"";
    for (unsigned char c : Utf8(w)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string Num(long long v) {
    return std::to_string(v);
}
std::string Bool(bool b) {
    return b ? "true" : "false";
}
std::string Rect(const RECT& r) {
    return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right) + "," + Num(r.bottom) + "]";
}

} // namespace

// Writes straight to the handle: no CRT buffering or newline translation, so a reader on a pipe
// sees each line as soon as it is complete.
void Emit(const std::string& line) {
    std::string s = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
              nullptr);
}

int Fail(const std::string& why) {
    Emit("{\"error\":" + Quote(std::wstring(why.begin(), why.end())) +
         ",\"code\":" + Num(GetLastError()) + "}");
    return 2;
}

namespace {

// ---- reading windows ----------------------------------------------------------------------

struct Child {
    HWND hwnd{};
    std::wstring cls;
    int id = 0;
    std::wstring text;
    LONG style = 0;
    bool visible = false;
    RECT rect{};
    bool bar = false;
    bool barKnown = false;
    bool iconKnown = false;
    int icon = 0; // STM_GETICON of an SS_ICON static: zero when the box shows no icon
    int pos = 0, lo = 0, hi = 0;
};

struct Window {
    HWND hwnd{};
    DWORD pid = 0;
    int z = 0; // index in the system's top-to-bottom order of all top-level windows
    std::wstring cls, text;
    LONG style = 0, exstyle = 0;
    RECT rect{}, client{};
    POINT clientOrigin{};
    HWND owner{};
    bool visible = false, iconic = false, zoomed = false, enabled = false;
    std::vector<Child> children;
};

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

// Reads the stored window text without sending a message, so a target that is blocked (for
// instance in a long Sleep) never stalls the probe.
std::wstring TextOf(HWND h, bool askIfEmpty) {
    wchar_t buf[2048] = {};
    InternalGetWindowText(h, buf, 2048);
    std::wstring text = buf;
    if (text.empty() && askIfEmpty) {
        DWORD_PTR n = 0;
        if (SendMessageTimeoutW(h, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf),
                                SMTO_ABORTIFHUNG, 200, &n))
            text.assign(buf, n);
    }
    return text;
}

bool AskInt(HWND h, UINT msg, WPARAM wp, int timeoutMs, int& out) {
    DWORD_PTR res = 0;
    if (!SendMessageTimeoutW(h, msg, wp, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &res))
        return false;
    out = static_cast<int>(res);
    return true;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> out;
    EnumChildWindows(
        parent,
        [](HWND h, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

Window Read(HWND h, DWORD pid, int z, bool askText, int barTimeoutMs) {
    Window w;
    w.hwnd = h;
    w.pid = pid;
    w.z = z;
    w.cls = ClassOf(h);
    w.text = TextOf(h, askText);
    w.style = GetWindowLongW(h, GWL_STYLE);
    w.exstyle = GetWindowLongW(h, GWL_EXSTYLE);
    GetWindowRect(h, &w.rect);
    GetClientRect(h, &w.client);
    ClientToScreen(h, &w.clientOrigin);
    w.owner = GetWindow(h, GW_OWNER);
    w.visible = IsWindowVisible(h) != FALSE;
    w.iconic = IsIconic(h) != FALSE;
    w.zoomed = IsZoomed(h) != FALSE;
    w.enabled = IsWindowEnabled(h) != FALSE;
    for (HWND c : ChildrenOf(h)) {
        Child ch;
        ch.hwnd = c;
        ch.cls = ClassOf(c);
        ch.id = GetDlgCtrlID(c);
        ch.text = TextOf(c, askText);
        ch.style = GetWindowLongW(c, GWL_STYLE);
        ch.visible = IsWindowVisible(c) != FALSE;
        GetWindowRect(c, &ch.rect);
        ch.bar = _wcsicmp(ch.cls.c_str(), PROGRESS_CLASSW) == 0;
        if (ch.bar)
            ch.barKnown = AskInt(c, PBM_GETPOS, 0, barTimeoutMs, ch.pos) &&
                          AskInt(c, PBM_GETRANGE, TRUE, barTimeoutMs, ch.lo) &&
                          AskInt(c, PBM_GETRANGE, FALSE, barTimeoutMs, ch.hi);
        // Wine keeps the icon static in every box; only its icon tells whether one is shown.
        if (askText && (ch.style & SS_TYPEMASK) == SS_ICON &&
            _wcsicmp(ch.cls.c_str(), L"Static") == 0)
            ch.iconKnown = AskInt(c, STM_GETICON, 0, 500, ch.icon);
        w.children.push_back(std::move(ch));
    }
    return w;
}

std::string Json(const Window& w) {
    std::string s =
        "{\"hwnd\":" + Num(reinterpret_cast<INT_PTR>(w.hwnd)) + ",\"pid\":" + Num(w.pid) +
        ",\"z\":" + Num(w.z) + ",\"class\":" + Quote(w.cls) + ",\"text\":" + Quote(w.text) +
        ",\"style\":" + Num(static_cast<DWORD>(w.style)) +
        ",\"exstyle\":" + Num(static_cast<DWORD>(w.exstyle)) + ",\"rect\":" + Rect(w.rect) +
        ",\"client\":[" + Num(w.client.right) + "," + Num(w.client.bottom) +
        "],\"client_origin\":[" + Num(w.clientOrigin.x) + "," + Num(w.clientOrigin.y) +
        "],\"owner\":" + Num(reinterpret_cast<INT_PTR>(w.owner)) +
        ",\"visible\":" + Bool(w.visible) + ",\"iconic\":" + Bool(w.iconic) +
        ",\"zoomed\":" + Bool(w.zoomed) + ",\"topmost\":" + Bool((w.exstyle & WS_EX_TOPMOST) != 0) +
        ",\"enabled\":" + Bool(w.enabled) + ",\"children\":[";
    bool first = true;
    for (const Child& c : w.children) {
        if (!first)
            s += ",";
        first = false;
        s += "{\"hwnd\":" + Num(reinterpret_cast<INT_PTR>(c.hwnd)) + ",\"class\":" + Quote(c.cls) +
             ",\"id\":" + Num(c.id) + ",\"text\":" + Quote(c.text) +
             ",\"style\":" + Num(static_cast<DWORD>(c.style)) + ",\"visible\":" + Bool(c.visible) +
             ",\"rect\":" + Rect(c.rect);
        if (c.bar && c.barKnown)
            s += ",\"pos\":" + Num(c.pos) + ",\"range\":[" + Num(c.lo) + "," + Num(c.hi) + "]";
        if (c.iconKnown)
            s += ",\"icon\":" + Num(c.icon);
        s += "}";
    }
    return s + "]}";
}

std::wstring ImageName(DWORD pid) {
    static std::map<DWORD, std::wstring> cache;
    auto it = cache.find(pid);
    if (it != cache.end())
        return it->second;
    std::wstring name;
    if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
        wchar_t buf[MAX_PATH * 4] = {};
        DWORD n = MAX_PATH * 4;
        if (QueryFullProcessImageNameW(p, 0, buf, &n))
            name.assign(buf, n);
        CloseHandle(p);
    }
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name = name.substr(slash + 1);
    cache[pid] = name;
    return name;
}

struct Filter {
    DWORD pid = 0;
    std::wstring name = L"Germcatcher.exe";
    bool all = false;
    bool Matches(DWORD p) const {
        if (all)
            return true;
        if (pid)
            return p == pid;
        return _wcsicmp(ImageName(p).c_str(), name.c_str()) == 0;
    }
};

std::vector<HWND> TopLevel() {
    std::vector<HWND> out;
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

std::vector<Window> Collect(const Filter& f, bool askText, int barTimeoutMs) {
    std::vector<Window> out;
    int z = 0;
    for (HWND h : TopLevel()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (f.Matches(pid))
            out.push_back(Read(h, pid, z, askText, barTimeoutMs));
        ++z;
    }
    return out;
}

// ---- commands -----------------------------------------------------------------------------

HWND ParseHwnd(const wchar_t* s) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(s, nullptr, 0)));
}

bool ParseFilter(int argc, wchar_t** argv, int from, Filter& f) {
    for (int i = from; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--pid" && i + 1 < argc)
            f.pid = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 0));
        else if (a == L"--name" && i + 1 < argc)
            f.name = argv[++i];
        else if (a == L"--all")
            f.all = true;
        else
            return false;
    }
    return true;
}

int List(int argc, wchar_t** argv) {
    Filter f;
    if (!ParseFilter(argc, argv, 2, f))
        return Fail("usage: list [--pid N | --name FILE | --all]");
    for (const Window& w : Collect(f, true, 500))
        Emit(Json(w));
    return 0;
}

int Post(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!IsWindow(h))
        return Fail("no such window");
    if (!PostMessageW(h, msg, wp, lp))
        return Fail("PostMessage failed");
    Emit("{\"posted\":true}");
    return 0;
}

int Launch(int argc, wchar_t** argv) {
    if (argc < 3)
        return Fail("usage: launch PATH [SHOWCMD]");
    std::wstring path = argv[2];
    std::wstring cmdline = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
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

// A light poll: window enumeration and stored texts need no message to the target; only the
// progress bar's position and range are asked, with a short timeout.
int Watch(int argc, wchar_t** argv) {
    Filter f;
    int ms = 10;
    double maxSeconds = 120;
    for (int i = 2; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--pid" && i + 1 < argc)
            f.pid = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 0));
        else if (a == L"--ms" && i + 1 < argc)
            ms = static_cast<int>(std::wcstol(argv[++i], nullptr, 0));
        else if (a == L"--max-s" && i + 1 < argc)
            maxSeconds = std::wcstod(argv[++i], nullptr);
        else
            return Fail("usage: watch --pid N [--ms 10] [--max-s 120]");
    }
    if (!f.pid)
        return Fail("watch needs --pid");
    HANDLE proc = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, f.pid);
    if (!proc)
        return Fail("OpenProcess failed");
    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    auto elapsedMs = [&] {
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
               static_cast<double>(freq.QuadPart);
    };
    // "n" numbers the polls: changes seen in the same poll happened together as far as the
    // watcher can tell, whatever their order on the line.
    long long poll = 0;
    auto stamp = [&] {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.1f,\"n\":%lld", elapsedMs(), poll);
        return std::string(buf);
    };
    std::map<HWND, std::string> last;
    // The last known bar readings, kept while the target is too busy to answer.
    std::map<HWND, Child> bars;
    Emit("{\"t\":" + stamp() + ",\"ev\":\"start\"}");
    for (;;) {
        std::map<HWND, std::string> seen;
        for (Window& w : Collect(f, false, 30)) {
            for (Child& c : w.children) {
                if (!c.bar)
                    continue;
                if (c.barKnown)
                    bars[c.hwnd] = c;
                else if (bars.count(c.hwnd)) {
                    const Child& k = bars[c.hwnd];
                    c.pos = k.pos, c.lo = k.lo, c.hi = k.hi, c.barKnown = true;
                }
            }
            std::string j = Json(w);
            // z changes with every other window's movement; it is reported but not compared.
            std::string key = j.substr(j.find(",\"class\""));
            seen[w.hwnd] = key;
            auto it = last.find(w.hwnd);
            if (it == last.end() || it->second != key)
                Emit("{\"t\":" + stamp() + ",\"ev\":\"win\",\"win\":" + j + "}");
        }
        for (const auto& [h, key] : last)
            if (!seen.count(h))
                Emit("{\"t\":" + stamp() +
                     ",\"ev\":\"gone\",\"hwnd\":" + Num(reinterpret_cast<INT_PTR>(h)) + "}");
        last.swap(seen);
        ++poll;
        if (WaitForSingleObject(proc, static_cast<DWORD>(ms)) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(proc, &code);
            Emit("{\"t\":" + stamp() + ",\"ev\":\"exit\",\"code\":" + Num(code) + "}");
            break;
        }
        if (elapsedMs() > maxSeconds * 1000.0) {
            Emit("{\"t\":" + stamp() + ",\"ev\":\"timeout\"}");
            break;
        }
    }
    CloseHandle(proc);
    return 0;
}

struct LcName {
    const wchar_t* name;
    LCTYPE type;
};
const LcName kLcTypes[] = {
    {L"SSHORTDATE", LOCALE_SSHORTDATE},
    {L"SLONGDATE", LOCALE_SLONGDATE},
    {L"SDATE", LOCALE_SDATE},
    {L"STIME", LOCALE_STIME},
    {L"STIMEFORMAT", LOCALE_STIMEFORMAT},
    {L"ITIME", LOCALE_ITIME},
    {L"ITLZERO", LOCALE_ITLZERO},
    {L"ITIMEMARKPOSN", LOCALE_ITIMEMARKPOSN},
    {L"S1159", LOCALE_S1159},
    {L"S2359", LOCALE_S2359},
    {L"IDEFAULTANSICODEPAGE", LOCALE_IDEFAULTANSICODEPAGE},
};

int SetLocale(int argc, wchar_t** argv) {
    if (argc < 4)
        return Fail("usage: setlocale LCTYPE VALUE");
    std::wstring name = argv[2];
    if (name.rfind(L"LOCALE_", 0) == 0)
        name = name.substr(7);
    for (const LcName& lc : kLcTypes) {
        if (name != lc.name)
            continue;
        if (!SetLocaleInfoW(LOCALE_USER_DEFAULT, lc.type, argv[3]))
            return Fail("SetLocaleInfo failed");
        DWORD_PTR res = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                            SMTO_ABORTIFHUNG, 2000, &res);
        Emit("{\"set\":true}");
        return 0;
    }
    return Fail("unknown LCTYPE");
}

std::string LocaleLine() {
    std::string s = "{";
    bool first = true;
    for (const LcName& lc : kLcTypes) {
        wchar_t buf[128] = {};
        GetLocaleInfoW(LOCALE_USER_DEFAULT, lc.type, buf, 128);
        s += (first ? "\"" : ",\"") + Utf8(lc.name) + "\":" + Quote(buf);
        first = false;
    }
    return s + ",\"ACP\":" + Num(GetACP()) + "}";
}

// With --again-after-ms the values are read a second time in the same process after the wait,
// which tells whether a running program sees a change made meanwhile by another one.
int LocaleInfo(int argc, wchar_t** argv) {
    Emit(LocaleLine());
    if (argc >= 4 && std::wstring(argv[2]) == L"--again-after-ms") {
        Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 0)));
        Emit(LocaleLine());
    }
    return 0;
}

int LockFile(int argc, wchar_t** argv) {
    if (argc < 5)
        return Fail("usage: lockfile PATH SHARE SECONDS");
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

int Screen() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Emit("{\"width\":" + Num(GetSystemMetrics(SM_CXSCREEN)) +
         ",\"height\":" + Num(GetSystemMetrics(SM_CYSCREEN)) + ",\"work\":" + Rect(work) +
         ",\"foreground\":" + Num(reinterpret_cast<INT_PTR>(GetForegroundWindow())) + "}");
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

// Finds the close box by asking the window itself what lies under points of its title bar, so
// the test clicks where the frame really draws it.
int CloseBox(HWND h) {
    RECT r{};
    POINT origin{};
    if (!GetWindowRect(h, &r) || !ClientToScreen(h, &origin))
        return Fail("no such window");
    auto hit = [&](int x, int y) {
        DWORD_PTR res = HTNOWHERE;
        SendMessageTimeoutW(h, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 500, &res);
        return static_cast<int>(res);
    };
    int y = (r.top + origin.y) / 2;
    int right = -1, left = -1;
    for (int x = r.right - 1; x > r.right - 80 && x > r.left; --x) {
        if (hit(x, y) == HTCLOSE) {
            if (right < 0)
                right = x;
            left = x;
        } else if (right >= 0) {
            break;
        }
    }
    if (right < 0)
        return Fail("no close box found");
    int x = (left + right) / 2;
    int top = y, bottom = y;
    while (top > r.top && hit(x, top - 1) == HTCLOSE)
        --top;
    while (bottom < origin.y && hit(x, bottom + 1) == HTCLOSE)
        ++bottom;
    Emit("{\"x\":" + Num(x) + ",\"y\":" + Num((top + bottom) / 2) + "}");
    return 0;
}

// The keyboard focus of another process's thread, read from the system's input state, so the
// target is not asked anything and may be busy.
int Focus(HWND h) {
    const DWORD thread = GetWindowThreadProcessId(h, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!thread || !GetGUIThreadInfo(thread, &info))
        return Fail("GetGUIThreadInfo failed");
    Emit("{\"focus\":" + Num(reinterpret_cast<INT_PTR>(info.hwndFocus)) +
         ",\"active\":" + Num(reinterpret_cast<INT_PTR>(info.hwndActive)) + "}");
    return 0;
}

// The top-level window under a screen point: what a click there would reach.
int At(int argc, wchar_t** argv) {
    if (argc < 4)
        return Fail("usage: at X Y");
    const POINT p{static_cast<LONG>(std::wcstol(argv[2], nullptr, 0)),
                  static_cast<LONG>(std::wcstol(argv[3], nullptr, 0))};
    HWND hit = WindowFromPoint(p);
    Emit("{\"hwnd\":" + Num(reinterpret_cast<INT_PTR>(hit)) + ",\"root\":" +
         Num(reinterpret_cast<INT_PTR>(hit ? GetAncestor(hit, GA_ROOT) : nullptr)) + "}");
    return 0;
}

int MsgBox(int argc, wchar_t** argv) {
    if (argc < 4)
        return Fail("usage: msgbox TEXT FLAGS");
    std::wstring text = argv[2];
    // Command lines cannot carry a line break, so "\n" stands for one.
    for (size_t at; (at = text.find(L"\\n")) != std::wstring::npos;)
        text.replace(at, 2, L"\n");
    UINT flags = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
    int result = MessageBoxW(nullptr, text.c_str(), L"Germcatcher", flags);
    Emit("{\"result\":" + Num(result) + "}");
    return 0;
}

// Times one start of PATH: from just before CreateProcess until a message box of the new
// process is visible. The process is then ended, so a start-up measurement never runs the rest.
int Startup(int argc, wchar_t** argv) {
    if (argc < 3)
        return Fail("usage: startup PATH [--ms 2] [--timeout 30]");
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

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return Fail("usage: probe list|press|close|restore|sysclose|launch|watch|setlocale|"
                    "localeinfo|lockfile|screen ...");
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
    if (cmd == L"localeinfo")
        return LocaleInfo(argc, argv);
    if (cmd == L"lockfile")
        return LockFile(argc, argv);
    if (cmd == L"screen")
        return Screen();
    if (cmd == L"kill" && argc >= 3)
        return Kill(argv[2]);
    if (cmd == L"closebox" && argc >= 3)
        return CloseBox(ParseHwnd(argv[2]));
    if (cmd == L"focus" && argc >= 3)
        return Focus(ParseHwnd(argv[2]));
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
    return Fail("unknown command");
}
