// Application-modal message boxes: every window of the program is disabled and lies below the
// box while it is up; always-on-top placement, enabled state, activation and focus come back
// afterwards. A handler's exception comes up as the standard error report.
#include "forms_test_support.h"

#include <stdexcept>

#include "forms/win32/backend.h"
#include "show/show.h"

using namespace forms;
using namespace formstest;

namespace {

class FormsModal : public FormsTest {};

bool Topmost(HWND window) {
    return GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

TEST_F(FormsModal, BoxDisablesTheProgramAndLiesAboveItsTopmostWindowsUntilItCloses) {
    auto [form, bar, button, label] = NewDialog();
    auto* other = NewForm(100, 50);
    other->Show();
    form->Show();
    form->SetFocus();
    SetFocus(Hwnd(button));
    ASSERT_EQ(GetActiveWindow(), Hwnd(form));
    ASSERT_TRUE(Topmost(Hwnd(form)));

    struct {
        bool formEnabled = true, otherEnabled = true, formTopmost = true, boxTopmost = true;
        bool boxEnabled = false;
    } during;
    BoxPresser presser(IDNO, [&](HWND box) {
        during.formEnabled = IsWindowEnabled(Hwnd(form));
        during.otherEnabled = IsWindowEnabled(Hwnd(other));
        during.formTopmost = Topmost(Hwnd(form));
        during.boxTopmost = Topmost(box);
        during.boxEnabled = IsWindowEnabled(box);
    });
    const int result = app->MessageBox("閉じるのはまた後でね。", "Germcatcher", MB_YESNO_);
    presser.Stop();

    EXPECT_EQ(result, IDNO_);
    ASSERT_EQ(presser.Seen().size(), 1u);
    const BoxSeen& seen = presser.Seen()[0];
    EXPECT_EQ(seen.caption, L"Germcatcher");
    EXPECT_EQ(seen.text, L"閉じるのはまた後でね。");
    EXPECT_EQ(seen.owner, Hwnd(form)); // comes up over the window that was active
    EXPECT_FALSE(seen.hasIcon);        // the flags pass through unchanged
    EXPECT_EQ(seen.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(during.formEnabled);
    EXPECT_FALSE(during.otherEnabled);
    EXPECT_FALSE(during.formTopmost);
    EXPECT_FALSE(during.boxTopmost);
    EXPECT_TRUE(during.boxEnabled);

    EXPECT_TRUE(IsWindowEnabled(Hwnd(form)));
    EXPECT_TRUE(IsWindowEnabled(Hwnd(other)));
    EXPECT_TRUE(Topmost(Hwnd(form)));
    EXPECT_FALSE(Topmost(Hwnd(other)));
    EXPECT_EQ(GetActiveWindow(), Hwnd(form));
    EXPECT_EQ(GetFocus(), Hwnd(button));
}

// What the program hands to the box at the moment of the call. Windows' dialog code disables an
// enabled owner and re-enables it before the box goes; an owner still disabled then makes Windows
// hand activation to another program (Wine re-enables it whatever it found, so only this moment
// can be checked here).
struct HandedToBox {
    HWND owner = nullptr;
    UINT flags = 0;
    bool ownerEnabled = false;
    std::vector<HWND> othersEnabled;
    std::vector<HWND> threadWindows;
};
HandedToBox g_handed;

int WINAPI RecordingMessageBox(HWND owner, LPCWSTR, LPCWSTR, UINT flags) {
    g_handed.owner = owner;
    g_handed.flags = flags;
    g_handed.ownerEnabled = owner && IsWindowEnabled(owner);
    for (HWND window : g_handed.threadWindows)
        if (window != owner && IsWindowEnabled(window))
            g_handed.othersEnabled.push_back(window);
    return IDOK;
}

TEST_F(FormsModal, TheBoxGetsAnEnabledVisibleOwnerAndEveryOtherWindowIsDisabled) {
    TTestForm* form = NewDialog().form;
    auto* other = NewForm(100, 50);
    other->Show();
    form->Show();
    form->SetFocus();
    ASSERT_EQ(GetActiveWindow(), Hwnd(form));

    // A window of another thread (standing in for another program) takes activation.
    HWND foreign = nullptr;
    std::atomic<bool> foreignDone{false};
    std::thread thread([&] {
        HWND w = CreateWindowExW(0, L"STATIC", L"other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 300, 300, 200, 100, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(w);
        SetActiveWindow(w);
        foreign = w;
        PumpUntil([&] { return foreignDone.load(); }, 20000);
        DestroyWindow(w);
    });

    struct Case {
        const char* name;
        bool foreignActive;
    };
    for (const Case& c : {Case{"the form is active", false}, Case{"another program is", true}}) {
        SCOPED_TRACE(c.name);
        if (c.foreignActive) {
            ASSERT_TRUE(PumpUntil([&] { return foreign && !GetActiveWindow(); }));
        }
        g_handed = HandedToBox{};
        g_handed.threadWindows = {Hwnd(form), Hwnd(other), win32::AppWindow()};
        const auto previous = win32::SetMessageBoxFunction(RecordingMessageBox);
        const int result = app->MessageBox("テスト", "Germcatcher", MB_OK_);
        win32::SetMessageBoxFunction(previous);
        EXPECT_EQ(result, IDOK_);
        EXPECT_EQ(g_handed.owner, Hwnd(form));
        EXPECT_TRUE(g_handed.ownerEnabled);
        EXPECT_EQ(g_handed.othersEnabled, std::vector<HWND>{});
        EXPECT_EQ(g_handed.flags, 0u); // a visible owner: the caller's flags as they are
        EXPECT_TRUE(IsWindowEnabled(Hwnd(form)));
        EXPECT_TRUE(IsWindowEnabled(Hwnd(other)));
    }

    // A box is up, and the form it disabled is still the active window, or another program is
    // in front (End task, a sign-out): the second box goes on top of the first, which is
    // enabled, never on the form the first box disabled.
    HWND firstBox = CreateWindowExW(0, L"STATIC", L"first box", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                    50, 50, 200, 100, Hwnd(form), nullptr, nullptr, nullptr);
    SetForegroundWindow(Hwnd(form));
    EnableWindow(Hwnd(form), FALSE);
    EnableWindow(Hwnd(other), FALSE);
    for (const bool foreignActive : {false, true}) {
        SCOPED_TRACE(foreignActive ? "another program is active" : "the disabled form is");
        if (foreignActive) {
            SetForegroundWindow(foreign);
            ASSERT_TRUE(PumpUntil([&] { return !GetActiveWindow(); }));
        } else {
            ASSERT_EQ(GetActiveWindow(), Hwnd(form));
        }
        g_handed = HandedToBox{};
        g_handed.threadWindows = {Hwnd(form), Hwnd(other), firstBox};
        auto previousBox = win32::SetMessageBoxFunction(RecordingMessageBox);
        app->MessageBox("テスト", "Germcatcher", MB_OK_);
        win32::SetMessageBoxFunction(previousBox);
        EXPECT_EQ(g_handed.owner, firstBox);
        EXPECT_TRUE(g_handed.ownerEnabled);
        EXPECT_FALSE(IsWindowEnabled(Hwnd(form))) << "left as the first box keeps it";
    }
    EnableWindow(Hwnd(form), TRUE);
    EnableWindow(Hwnd(other), TRUE);
    DestroyWindow(firstBox);
    foreignDone = true;
    thread.join();

    // With no window of the program visible the box has no owner and asks for the foreground.
    form->Hide();
    other->Hide();
    g_handed = HandedToBox{};
    const auto previous = win32::SetMessageBoxFunction(RecordingMessageBox);
    app->MessageBox("テスト", "Germcatcher", MB_YESNO_);
    win32::SetMessageBoxFunction(previous);
    EXPECT_EQ(g_handed.owner, nullptr);
    EXPECT_EQ(g_handed.flags, static_cast<UINT>(MB_YESNO | MB_SETFOREGROUND));
}

// What waits in the queue when a box of the show is called: keys and clicks typed ahead while
// the show was frozen would go to the box's button on Windows; any other message stays.
std::vector<UINT> g_waiting;
int WINAPI QueueReadingMessageBox(HWND, LPCWSTR, LPCWSTR, UINT) {
    MSG msg;
    for (auto [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                               {WM_MOUSEFIRST, WM_MOUSELAST},
                               {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                               {WM_APP, WM_APP + 7}})
        while (PeekMessageW(&msg, nullptr, first, last, PM_REMOVE) && msg.message != WM_QUIT)
            g_waiting.push_back(msg.message);
    return IDOK;
}

TEST_F(FormsModal, KeysAndClicksTypedAheadNeverReachAPausedBox) {
    TTestForm* form = NewForm();
    form->Show();
    HWND w = Hwnd(form);
    for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_LBUTTONUP,
                         WM_RBUTTONDOWN, WM_NCLBUTTONDOWN, WM_APP + 7})
        PostMessageW(w, message, message == WM_CHAR ? VK_RETURN : 0, 0);
    g_waiting.clear();
    const auto previous = win32::SetMessageBoxFunction(QueueReadingMessageBox);
    ShowPausedMessage("テスト", MB_OK_);
    win32::SetMessageBoxFunction(previous);
    EXPECT_EQ(g_waiting, std::vector<UINT>{WM_APP + 7});
}

TEST_F(FormsModal, BoxWithoutAnActiveWindowHasNoOwnerAndLeavesHiddenWindowsHidden) {
    TTestForm* form = NewForm();
    form->SetFormStyle(TFormStyle::fsStayOnTop);
    ASSERT_FALSE(IsWindowVisible(Hwnd(form)));
    BoxPresser presser(IDOK);
    EXPECT_EQ(app->MessageBox("テスト", "Germcatcher", MB_OK_), IDOK_);
    presser.Stop();
    ASSERT_EQ(presser.Seen().size(), 1u);
    EXPECT_EQ(presser.Seen()[0].owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(Hwnd(form)));
    EXPECT_TRUE(IsWindowEnabled(Hwnd(form)));
    EXPECT_TRUE(Topmost(Hwnd(form)));
}

TEST_F(FormsModal, HandlerExceptionsAreReportedAndTheLoopGoesOn) {
    TTestForm* form = NewForm(200, 100);
    auto* button = new TButton(form);
    button->SetBounds(10, 10, 80, 25);
    int clicks = 0;
    button->OnClick = [&](TObject*) {
        switch (++clicks) {
        case 1:
            throw EAbort(); // silent
        case 2:
            throw Exception("ウィルスを発見しました");
        default:
            throw std::runtime_error("disk full");
        }
    };
    // Clicks queued before the loop starts; they are dispatched by it.
    for (int i = 0; i < 3; ++i)
        PostMessageW(Hwnd(button), BM_CLICK, 0, 0);

    BoxPresser presser(IDOK);
    // The loop still runs after the reports: it ends the test once both were answered.
    auto* finish = new TTimer(form);
    finish->SetInterval(50);
    finish->SetOnTimer([&](TObject*) {
        if (clicks == 3 && presser.Pressed() == 2)
            form->Close();
    });
    RunLoop();
    presser.Stop();

    EXPECT_EQ(clicks, 3);
    ASSERT_EQ(presser.Seen().size(), 2u);
    for (const BoxSeen& seen : presser.Seen()) {
        EXPECT_EQ(seen.caption, L"Germcatcher");
        EXPECT_TRUE(seen.hasIcon); // the stop icon
        EXPECT_EQ(seen.buttons, (std::vector<int>{IDOK}));
    }
    // The second report may come up inside the first one's loop, so in either order.
    std::set<std::wstring> texts{presser.Seen()[0].text, presser.Seen()[1].text};
    EXPECT_EQ(texts, (std::set<std::wstring>{L"ウィルスを発見しました.", L"disk full."}));
}

} // namespace
