// The probe's Windows side of the end-to-end tests: real input through SendInput, the screen's
// pixels through GDI, and the session's end as Windows announces it. The same on Windows and
// under Wine, so the tests need no X tools to give input or read pixels.
#include "commands.h"
#include "output.h"

#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

// Windows refuses input it cannot deliver (another desktop, a window of higher integrity, a
// locked screen) and says so only in the count it returns: anything short of all is a failure.
bool Send(std::vector<INPUT>& inputs) {
    const UINT asked = static_cast<UINT>(inputs.size());
    const UINT sent = asked ? SendInput(asked, inputs.data(), sizeof(INPUT)) : 0;
    inputs.clear();
    return sent == asked;
}

int Refused() {
    return Fail("SendInput refused the input (another desktop, a locked screen or a window of "
                "higher integrity in front)");
}

// Keys go to the window in front, whoever it is: they are sent only when the window in front
// belongs to the process expected, else the answer names the window that is in front.
bool InFront(DWORD pid, std::string& front) {
    HWND window = GetForegroundWindow();
    DWORD owner = 0;
    if (window)
        GetWindowThreadProcessId(window, &owner);
    if (owner == pid)
        return true;
    wchar_t title[256] = {};
    if (window)
        GetWindowTextW(window, title, 256);
    front = "the window in front is " +
            (window ? "\"" + Utf8(ClassOf(window)) + "\" \"" + Utf8(title) + "\" of process " +
                          Num(owner)
                    : std::string("none")) +
            ", not one of process " + Num(pid);
    return false;
}

void Key(std::vector<INPUT>& inputs, WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
}

// Absolute coordinates are 0..65535 over the primary screen.
void MoveTo(std::vector<INPUT>& inputs, int x, int y) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = static_cast<LONG>((x * 65535LL + w / 2) / (w > 1 ? w - 1 : 1));
    in.mi.dy = static_cast<LONG>((y * 65535LL + h / 2) / (h > 1 ? h - 1 : 1));
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs.push_back(in);
}

// Button 1 left, 2 middle, 3 right, as X numbers them.
bool Click(std::vector<INPUT>& inputs, int button) {
    static const DWORD kDown[] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_MIDDLEDOWN,
                                  MOUSEEVENTF_RIGHTDOWN};
    static const DWORD kUp[] = {MOUSEEVENTF_LEFTUP, MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_RIGHTUP};
    if (button < 1 || button > 3)
        return false;
    for (DWORD flag : {kDown[button - 1], kUp[button - 1]}) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flag;
        inputs.push_back(in);
    }
    return true;
}

// xdotool's key names: "Return", "space", "Escape", "Tab", "F4", a letter or digit.
WORD VirtualKey(const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        WORD vk;
    } kNames[] = {{L"Return", VK_RETURN}, {L"space", VK_SPACE},    {L"Escape", VK_ESCAPE},
                  {L"Tab", VK_TAB},       {L"BackSpace", VK_BACK}, {L"Up", VK_UP},
                  {L"Down", VK_DOWN},     {L"Left", VK_LEFT},      {L"Right", VK_RIGHT}};
    for (const auto& k : kNames)
        if (_wcsicmp(name.c_str(), k.name) == 0)
            return k.vk;
    if ((name[0] == L'F' || name[0] == L'f') && name.size() > 1) {
        const int n = static_cast<int>(std::wcstol(name.c_str() + 1, nullptr, 10));
        if (n >= 1 && n <= 12)
            return static_cast<WORD>(VK_F1 + n - 1);
    }
    if (name.size() == 1 && std::iswalnum(name[0]))
        return static_cast<WORD>(std::towupper(name[0]));
    return 0;
}

// One chord such as "alt+F4" or "shift+Tab": the modifiers held around the key.
bool Chord(std::vector<INPUT>& inputs, const std::wstring& chord) {
    std::vector<WORD> keys;
    size_t start = 0;
    while (start <= chord.size()) {
        const size_t plus = chord.find(L'+', start);
        const std::wstring part =
            chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        WORD vk = 0;
        if (_wcsicmp(part.c_str(), L"alt") == 0)
            vk = VK_MENU;
        else if (_wcsicmp(part.c_str(), L"ctrl") == 0)
            vk = VK_CONTROL;
        else if (_wcsicmp(part.c_str(), L"shift") == 0)
            vk = VK_SHIFT;
        else if (!part.empty())
            vk = VirtualKey(part);
        if (!vk)
            return false;
        keys.push_back(vk);
        if (plus == std::wstring::npos)
            break;
        start = plus + 1;
    }
    for (WORD vk : keys)
        Key(inputs, vk, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        Key(inputs, *it, true);
    return true;
}

int Number(const wchar_t* s) {
    return static_cast<int>(std::wcstol(s, nullptr, 0));
}

} // namespace

int Input(int argc, wchar_t** argv) {
    const std::wstring what = argv[2];
    std::vector<INPUT> inputs;
    if ((what == L"click" || what == L"gesture") && argc >= 5) {
        const int button = argc >= 6 ? Number(argv[5]) : (what == L"click" ? 1 : 3);
        MoveTo(inputs, Number(argv[3]), Number(argv[4]));
        if (!Send(inputs))
            return Refused();
        Sleep(20); // the move is seen before the press, as with a hand on the mouse
        if (what == L"gesture") {
            Key(inputs, VK_SHIFT, false);
            Key(inputs, VK_CONTROL, false);
        }
        if (!Click(inputs, button))
            return Fail("no such button");
        if (what == L"gesture") {
            Key(inputs, VK_CONTROL, true);
            Key(inputs, VK_SHIFT, true);
        }
        if (!Send(inputs))
            return Refused();
        Emit("{\"sent\":true}");
        return 0;
    }
    if (what == L"key" && argc >= 4) {
        int first = 3;
        DWORD pid = 0;
        if (std::wstring(argv[3]) == L"--pid" && argc >= 6) {
            pid = static_cast<DWORD>(Number(argv[4]));
            first = 5;
        }
        for (int i = first; i < argc; ++i) {
            if (!Chord(inputs, argv[i]))
                return Fail("unknown key");
            if (std::string front; pid && !InFront(pid, front))
                return Fail(front);
            if (!Send(inputs))
                return Refused();
            Sleep(20);
        }
        Emit("{\"sent\":true}");
        return 0;
    }
    return Usage(argv[1]);
}

int Capture(int, wchar_t** argv) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const BOOL copied = BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY | CAPTUREBLT);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h; // bottom-up, as a BMP file stores it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(h));
    const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied || lines != h)
        return Fail("the screen could not be read");
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(argv[2], L"wb");
    if (!out)
        return Fail("cannot write the file");
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info, sizeof info, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    std::fclose(out);
    Emit("{\"width\":" + std::to_string(w) + ",\"height\":" + std::to_string(h) + "}");
    return 0;
}

int EndSession(int, wchar_t** argv) {
    struct Search {
        DWORD pid;
        std::vector<HWND> windows;
    } search{static_cast<DWORD>(Number(argv[2])), {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == s->pid)
                s->windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    // As Windows does at a sign-out: every window is asked, and waited for (a handler may show
    // a box), then told whether the session ends.
    bool allowed = true;
    for (HWND window : search.windows) {
        DWORD_PTR answer = TRUE;
        if (SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                120000, &answer) &&
            !answer)
            allowed = false;
    }
    for (HWND window : search.windows)
        SendMessageTimeoutW(window, WM_ENDSESSION, allowed, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                            nullptr);
    Emit(std::string("{\"allowed\":") + (allowed ? "true" : "false") + "}");
    return 0;
}
// Changes the primary screen's size as the display settings do, and answers with the
// screen's size then. Under Wine this works in a virtual desktop, whose size it changes.
int Display(int, wchar_t** argv) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = std::wcstoul(argv[2], nullptr, 0);
    mode.dmPelsHeight = std::wcstoul(argv[3], nullptr, 0);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const LONG result = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL)
        return Fail("the display settings refused the change (" + Num(result) + ")");
    Emit("{\"width\":" + Num(GetSystemMetrics(SM_CXSCREEN)) +
         ",\"height\":" + Num(GetSystemMetrics(SM_CYSCREEN)) + "}");
    return 0;
}

namespace {
std::wstring NameOf(HDESK desktop) {
    wchar_t name[256]{};
    return desktop && GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, nullptr)
               ? name
               : L"";
}
} // namespace

// "input": whether input goes to the probe's desktop (it goes to another one while that is in
// front, and under Wine to a virtual desktop until a moment after its last program ended).
int Screen() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
    const bool own = input && NameOf(input) == NameOf(GetThreadDesktop(GetCurrentThreadId()));
    if (input)
        CloseDesktop(input);
    Emit("{\"width\":" + Num(GetSystemMetrics(SM_CXSCREEN)) +
         ",\"height\":" + Num(GetSystemMetrics(SM_CYSCREEN)) + ",\"work\":" + Rect(work) +
         ",\"foreground\":" + Num(reinterpret_cast<INT_PTR>(GetForegroundWindow())) +
         ",\"input\":" + (own ? "true" : "false") + "}");
    return 0;
}
