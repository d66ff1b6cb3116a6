// Reading other processes' windows without stalling on a busy one, and driving them with posted
// messages.
#include "commands.h"
#include "output.h"
#include "platform/win32/system_dll.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

HWND ParseHwnd(const wchar_t* s) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(s, nullptr, 0)));
}

namespace {

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
    HWND focus{}; // the keyboard focus in the window's thread, read without asking the target
    int dpi = 0;  // the window's resolution, 0 where the system cannot tell (before Windows 10)
    bool visible = false, iconic = false, zoomed = false, enabled = false;
    std::vector<Child> children;
};

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

int DpiOf(HWND h) {
    static const auto getDpi = platform::win32::DllFunction<UINT(WINAPI*)(HWND)>(
        GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    return getDpi ? static_cast<int>(getDpi(h)) : 0;
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
    // Visible first: a window is shown once it is set up (a box's caption and text are set
    // while it is hidden), so a window read as visible is read with its final texts.
    w.visible = IsWindowVisible(h) != FALSE;
    w.cls = ClassOf(h);
    w.text = TextOf(h, askText);
    w.style = GetWindowLongW(h, GWL_STYLE);
    w.exstyle = GetWindowLongW(h, GWL_EXSTYLE);
    GetWindowRect(h, &w.rect);
    GetClientRect(h, &w.client);
    ClientToScreen(h, &w.clientOrigin);
    w.owner = GetWindow(h, GW_OWNER);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &thread))
        w.focus = thread.hwndFocus;
    w.dpi = DpiOf(h);
    w.iconic = IsIconic(h) != FALSE;
    w.zoomed = IsZoomed(h) != FALSE;
    w.enabled = IsWindowEnabled(h) != FALSE;
    for (HWND c : ChildrenOf(h)) {
        Child ch;
        ch.hwnd = c;
        ch.cls = ClassOf(c);
        ch.id = GetDlgCtrlID(c);
        ch.visible = IsWindowVisible(c) != FALSE;
        ch.text = TextOf(c, askText);
        ch.style = GetWindowLongW(c, GWL_STYLE);
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
        ",\"focus\":" + Num(reinterpret_cast<INT_PTR>(w.focus)) + ",\"dpi\":" + Num(w.dpi) +
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

} // namespace

int List(int argc, wchar_t** argv) {
    Filter f;
    if (!ParseFilter(argc, argv, 2, f))
        return Usage(argv[1]);
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
            return Usage(argv[1]);
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
    // watcher can tell, whatever their order on the line. "p" is when the poll before began: a
    // change seen at "t" happened after "p", so the watcher's own gaps are measured, not guessed.
    long long poll = 0;
    double previous = 0;
    auto stamp = [&] {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%.1f,\"p\":%.1f,\"n\":%lld", elapsedMs(), previous, poll);
        return std::string(buf);
    };
    std::map<HWND, std::string> last;
    // The last known bar readings, kept while the target is too busy to answer.
    std::map<HWND, Child> bars;
    Emit("{\"t\":" + stamp() + ",\"ev\":\"start\"}");
    for (double began = 0;; previous = began) {
        began = elapsedMs();
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

// The top-level window under a screen point: what a click there would reach.
int At(int, wchar_t** argv) {
    const POINT p{static_cast<LONG>(std::wcstol(argv[2], nullptr, 0)),
                  static_cast<LONG>(std::wcstol(argv[3], nullptr, 0))};
    HWND hit = WindowFromPoint(p);
    Emit("{\"hwnd\":" + Num(reinterpret_cast<INT_PTR>(hit)) + ",\"root\":" +
         Num(reinterpret_cast<INT_PTR>(hit ? GetAncestor(hit, GA_ROOT) : nullptr)) + "}");
    return 0;
}

int MsgBox(int, wchar_t** argv) {
    std::wstring text = argv[2];
    // Command lines cannot carry a line break, so "\n" stands for one.
    for (size_t at; (at = text.find(L"\\n")) != std::wstring::npos;)
        text.replace(at, 2, L"\n");
    UINT flags = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
    int result = MessageBoxW(nullptr, text.c_str(), L"Germcatcher", flags);
    Emit("{\"result\":" + Num(result) + "}");
    return 0;
}

// WM_DPICHANGED as Windows sends it when a window meets another scaling, with the suggested
// rectangle in the target's own memory: a pointer is not carried from one process to another.
int DpiChanged(int, wchar_t** argv) {
    HWND h = ParseHwnd(argv[2]);
    const auto dpi = static_cast<WORD>(std::wcstoul(argv[3], nullptr, 0));
    const RECT suggested{std::wcstol(argv[4], nullptr, 0), std::wcstol(argv[5], nullptr, 0),
                         std::wcstol(argv[6], nullptr, 0), std::wcstol(argv[7], nullptr, 0)};
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE process =
        pid ? OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid) : nullptr;
    if (!process)
        return Fail("no such window's process");
    void* remote = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    DWORD_PTR result = 0;
    const bool sent =
        remote && WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr) &&
        SendMessageTimeoutW(h, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                            reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &result);
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!sent)
        return Fail("WM_DPICHANGED was not taken");
    Emit("{\"sent\":true}");
    return 0;
}
