#pragma once
// Shared pieces of the Win32 form framework tests: an application per test, a message pump with
// a deadline, and a helper thread that answers the message boxes of this process.
#include <gtest/gtest.h>

#include <windows.h>
#undef MessageBox

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "forms/forms.h"
#include "platform/win32/wide.h"

namespace formstest {

using platform::win32::Widen;

inline HWND Hwnd(forms::TControl* control) {
    return static_cast<HWND>(control->Handle());
}

class TTestForm : public forms::TForm {
public:
    explicit TTestForm(forms::TComponent* owner) : forms::TForm(owner, "TTestForm") {}
};

// A fresh application object for each test; its forms are destroyed with it.
class FormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<forms::TApplication>();
        app->Initialize();
        app->SetTitle("Germcatcher");
    }
    void TearDown() override { app.reset(); }

    // A form made as the application makes its forms (the first one made is the main form), of
    // that client size when one is given.
    TTestForm* NewForm(int clientWidth = 0, int clientHeight = 0) {
        TTestForm* form;
        app->CreateForm(form);
        if (clientWidth)
            form->SetClientSize(clientWidth, clientHeight);
        return form;
    }

    // A form in the main window's shape, with the values it is designed with: a stay-on-top
    // dialog in the Japanese font holding the bar, the Cancel button and the status label, made
    // in that order. Only stored: no window exists yet.
    struct Dialog {
        TTestForm* form;
        forms::TProgressBar* bar;
        forms::TButton* button;
        forms::TLabel* label;
    };
    Dialog NewDialog() {
        TTestForm* form = NewForm();
        form->SetCaption("Germcatcher");
        form->SetFormStyle(forms::TFormStyle::fsStayOnTop);
        form->SetClientSize(296, 128);
        form->SetFont({"ＭＳ Ｐゴシック", 16, 128, forms::clWindowText});
        Dialog d{form, new forms::TProgressBar(form), new forms::TButton(form),
                 new forms::TLabel(form)};
        d.bar->SetBounds(8, 64, 281, 17);
        d.button->SetBounds(104, 96, 89, 25);
        d.button->SetCaption("キャンセル");
        d.label->SetBounds(8, 16, 0, 16);
        return d;
    }

    // Runs the application's loop (which shows the main form) with a watchdog on another
    // thread, so a broken test fails instead of hanging, even when no timer ticks any more.
    void RunLoop(int limitMs = 20000) {
        const DWORD loopThread = GetCurrentThreadId();
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false, expired = false;
        std::thread watchdog([&] {
            std::unique_lock<std::mutex> lock(mutex);
            if (!finished.wait_for(lock, std::chrono::milliseconds(limitMs),
                                   [&] { return done; })) {
                expired = true;
                PostThreadMessageW(loopThread, WM_QUIT, 0, 0);
            }
        });
        app->Run();
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
        }
        finished.notify_one();
        watchdog.join();
        EXPECT_FALSE(expired) << "message loop still running after its time limit";
    }

    std::unique_ptr<forms::TApplication> app;
};

// Dispatches this thread's messages until `done` holds or `limitMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Dispatches whatever is queued now (posted messages reach their window procedures).
inline void PumpPending() {
    PumpUntil([] { return false; }, 100);
}

inline std::array<LONG, 4> Corners(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The font a window draws with (its WM_GETFONT), as GDI holds it; all zero when it has none.
inline LOGFONTW FontOf(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// The width of `text` in the font the control itself draws with, measured here with GDI.
inline int DrawnTextWidth(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The top-level windows of a thread, front to back.
inline std::vector<HWND> ThreadWindows(DWORD thread) {
    std::vector<HWND> windows;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetWindowThreadProcessId(w, nullptr) == thread)
            windows.push_back(w);
    return windows;
}

inline std::wstring TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// What a message box of this process looked like while it was up.
struct BoxSeen {
    std::wstring caption;
    std::wstring text;
    HWND owner = nullptr;
    bool hasIcon = false;
    std::vector<int> buttons; // ids of the push buttons
};

// On its own thread, waits for message boxes of this process; for each one it runs `inspect`
// (on that thread, while the box is up), records it, then presses `buttonId` (or the button
// `choose` picks for what the box shows), once: a box that does not take it is a failure the
// watchdog reports. A box under a nested one is disabled and waits until the nested one is
// answered. It is also the watchdog of
// the calls that show boxes: past its time limit it answers any box still up, so the blocked
// call returns, and the test fails saying so.
class BoxPresser {
public:
    explicit BoxPresser(int buttonId, std::function<void(HWND box)> inspect = {})
        : buttonId_(buttonId), inspect_(std::move(inspect)), thread_([this] { Run(); }) {}
    explicit BoxPresser(std::function<int(const BoxSeen&)> choose)
        : buttonId_(0), choose_(std::move(choose)), thread_([this] { Run(); }) {}
    ~BoxPresser() { Stop(); }

    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
            EXPECT_FALSE(expired_) << "a message box was still up after 30 s; the watchdog "
                                      "answered it";
        }
    }
    int Pressed() const { return pressed_; }
    // Valid after Stop().
    const std::vector<BoxSeen>& Seen() const { return seen_; }

private:
    static HWND FindBox(const std::set<HWND>& handled) {
        struct Search {
            const std::set<HWND>* handled;
            HWND found = nullptr;
        } search{&handled};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                wchar_t cls[64] = {};
                GetClassNameW(window, cls, 64);
                if (pid == GetCurrentProcessId() && std::wstring(cls) == L"#32770" &&
                    IsWindowVisible(window) && IsWindowEnabled(window) &&
                    !s->handled->count(window)) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static void Press(HWND box, int buttonId) {
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    }

    // Whether `done` came true within `limitMs`.
    static bool WaitFor(const std::function<bool()>& done, int limitMs) {
        for (int waited = 0; !done(); waited += 10) {
            if (waited >= limitMs)
                return false;
            Sleep(10);
        }
        return true;
    }

    void Run() {
        using Clock = std::chrono::steady_clock;
        std::set<HWND> handled;
        const auto end = Clock::now() + std::chrono::seconds(30);
        while (!stop_) {
            const auto now = Clock::now();
            if (now > end) {
                if (HWND box = FindBox({})) {
                    expired_ = true;
                    for (int id : {IDOK, IDNO, IDCANCEL})
                        Press(box, id);
                }
                Sleep(100);
                continue;
            }
            if (HWND box = FindBox(handled)) {
                handled.insert(box);
                // The box has come up once its text and a button are there.
                WaitFor(
                    [box] {
                        return GetDlgItem(box, 0xFFFF) &&
                               FindWindowExW(box, nullptr, L"Button", nullptr);
                    },
                    2000);
                BoxSeen seen = Inspect(box);
                if (inspect_)
                    inspect_(box);
                seen_.push_back(seen);
                const int buttonId = choose_ ? choose_(seen) : buttonId_;
                Press(box, buttonId);
                ++pressed_;
                continue;
            }
            Sleep(20);
        }
    }

    static BoxSeen Inspect(HWND box) {
        BoxSeen seen;
        seen.caption = TextOf(box);
        seen.text = TextOf(GetDlgItem(box, 0xFFFF));
        seen.owner = GetWindow(box, GW_OWNER);
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring cls = ClassOf(child);
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                SendMessageW(child, STM_GETICON, 0, 0))
                seen.hasIcon = true;
            if (_wcsicmp(cls.c_str(), L"Button") == 0)
                seen.buttons.push_back(GetDlgCtrlID(child));
        }
        return seen;
    }

    int buttonId_;
    std::function<int(const BoxSeen&)> choose_;
    std::function<void(HWND)> inspect_;
    std::vector<BoxSeen> seen_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> expired_{false};
    std::atomic<int> pressed_{0};
    std::thread thread_;
};

} // namespace formstest
