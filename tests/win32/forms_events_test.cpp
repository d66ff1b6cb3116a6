// Events of the form framework through the real message loop: mouse-up over the progress bar,
// button clicks, the keyboard focus and dialog keys, timer ticks, close requests, session end and
// setting changes.
#include "forms_test_support.h"

using namespace forms;
using namespace formstest;

namespace {

class FormsEvents : public FormsTest {};

TEST_F(FormsEvents, MouseUpOverTheBarCarriesTheButtonAndTheModifierKeys) {
    auto [form, bar, button, label] = NewDialog();
    form->Show();
    struct Up {
        TMouseButton button;
        TShiftState shift;
        int x, y;
    };
    std::vector<Up> ups;
    bar->OnMouseUp = [&](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        EXPECT_EQ(sender, bar);
        ups.push_back({button, shift, x, y});
    };

    HWND window = Hwnd(bar);
    PostMessageW(window, WM_RBUTTONUP, MK_SHIFT | MK_CONTROL, MAKELPARAM(5, 6));
    PostMessageW(window, WM_LBUTTONUP, MK_SHIFT, MAKELPARAM(1, 2));
    PostMessageW(window, WM_MBUTTONUP, MK_CONTROL, MAKELPARAM(3, 4));
    PostMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(7, 8));
    EXPECT_TRUE(PumpUntil([&] { return ups.size() == 4; }));
    ASSERT_EQ(ups.size(), 4u);

    constexpr TShiftState keys = ssShift | ssAlt | ssCtrl;
    EXPECT_EQ(ups[0].button, TMouseButton::mbRight);
    EXPECT_EQ(ups[0].shift & keys, ssShift | ssCtrl);
    EXPECT_EQ(ups[0].x, 5);
    EXPECT_EQ(ups[0].y, 6);
    EXPECT_EQ(ups[1].button, TMouseButton::mbLeft);
    EXPECT_EQ(ups[1].shift & keys, ssShift);
    EXPECT_EQ(ups[2].button, TMouseButton::mbMiddle);
    EXPECT_EQ(ups[2].shift & keys, ssCtrl);
    EXPECT_EQ(ups[3].button, TMouseButton::mbRight);
    EXPECT_EQ(ups[3].shift & keys, 0u);
}

TEST_F(FormsEvents, ButtonClickReachesOnClickAndDialogKeysDoNot) {
    auto [form, bar, button, label] = NewDialog();
    form->Show();
    int clicks = 0;
    button->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, button);
        ++clicks;
    };

    SendMessageW(Hwnd(button), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 1);
    // The button is neither the default nor the cancel button of its form.
    EXPECT_FALSE(GetWindowLongW(Hwnd(button), GWL_STYLE) & BS_DEFPUSHBUTTON);
    SendMessageW(Hwnd(form), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageW(Hwnd(form), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(IsWindowVisible(Hwnd(form)));
}

TEST_F(FormsEvents, FocusLandsOnTheFirstTabStopAndTheLoopGivesTheDialogKeys) {
    TTestForm* form = NewForm(296, 128);
    // Placed in another order than the tab order; the bar takes no focus.
    auto* second = new TButton(form);
    auto* first = new TButton(form);
    auto* bar = new TProgressBar(form);
    second->SetBounds(150, 96, 89, 25);
    first->SetBounds(50, 96, 89, 25);
    bar->SetBounds(8, 64, 281, 17);
    bar->SetTabOrder(0);
    first->SetTabOrder(1);
    second->SetTabOrder(2);
    std::vector<TObject*> clicks;
    first->OnClick = second->OnClick = [&](TObject* sender) { clicks.push_back(sender); };

    // Posted keys reach the loop as typed ones would; each step looks where the focus is.
    std::vector<HWND> focus;
    auto* step = new TTimer(form);
    step->SetInterval(60);
    step->SetOnTimer([&](TObject*) {
        HWND now = GetFocus();
        focus.push_back(now);
        switch (focus.size()) {
        case 1:
            PostMessageW(now, WM_KEYDOWN, VK_RETURN, 0);
            PostMessageW(now, WM_KEYDOWN, VK_TAB, 0);
            break;
        case 2:
            PostMessageW(now, WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        default:
            form->Close();
        }
    });
    RunLoop();

    // The windows' z-order, which the dialog keys walk, is the tab order.
    std::vector<HWND> zOrder;
    for (HWND c = GetWindow(Hwnd(form), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        zOrder.push_back(c);
    EXPECT_EQ(zOrder, (std::vector<HWND>{Hwnd(bar), Hwnd(first), Hwnd(second)}));
    EXPECT_FALSE(GetWindowLongW(Hwnd(bar), GWL_STYLE) & WS_TABSTOP);
    // Shown: on the first button, which Enter pressed; Tab: the next one; Escape did nothing.
    EXPECT_EQ(focus, (std::vector<HWND>{Hwnd(first), Hwnd(second), Hwnd(second)}));
    EXPECT_EQ(clicks, (std::vector<TObject*>{first}));
}

TEST_F(FormsEvents, TimerTicksArriveThroughTheLoopAndStopWhenDisabled) {
    TTestForm* form = NewForm();
    auto* ticker = new TTimer(form);
    ticker->SetEnabled(false);
    ticker->SetInterval(20);
    int ticks = 0;
    ticker->SetOnTimer([&](TObject*) {
        if (++ticks == 5)
            ticker->SetEnabled(false);
    });
    // Switched on when the form shows, as the show does.
    form->OnShow = [&](TObject*) { ticker->SetEnabled(true); };
    // Ends the loop well after the ticker should have stopped.
    auto* finish = new TTimer(form);
    finish->SetInterval(400);
    finish->SetOnTimer([&](TObject*) {
        if (ticks >= 5)
            form->Close();
    });
    RunLoop();
    EXPECT_EQ(ticks, 5);
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(IsWindowVisible(Hwnd(form)));
}

TEST_F(FormsEvents, NoTickIsDispatchedAfterTheMainFormClosed) {
    TTestForm* form = NewForm();
    bool closed = false;
    int ticksAfterClose = 0;
    for (int i = 0; i < 4; ++i) {
        auto* timer = new TTimer(form);
        timer->SetInterval(15);
        timer->SetOnTimer([&](TObject*) {
            if (closed) {
                ++ticksAfterClose;
                return;
            }
            // Give the other timers time to fall due, then close from this tick.
            Sleep(60);
            closed = form->Close();
        });
    }
    RunLoop();
    EXPECT_TRUE(closed);
    EXPECT_EQ(ticksAfterClose, 0);
}

TEST_F(FormsEvents, CloseRequestsAskTheCloseQueryAndARefusalKeepsTheWindow) {
    TTestForm* form = NewForm();
    int queries = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++queries >= 3; };
    // Each step runs from the loop: a close request, then a look at its outcome.
    int step = 0;
    bool visibleAfterRefusals = false;
    auto* driver = new TTimer(form);
    driver->SetInterval(50);
    driver->SetOnTimer([&](TObject*) {
        HWND window = Hwnd(form);
        switch (++step) {
        case 1:
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        case 2:
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); // system menu, Alt+F4
            break;
        case 3:
            visibleAfterRefusals = IsWindowVisible(window) && !app->Terminated();
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
    });
    RunLoop();
    EXPECT_TRUE(visibleAfterRefusals);
    EXPECT_EQ(queries, 3);
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(IsWindowVisible(Hwnd(form)));
}

// A close request to every window of the program, as a task manager sends it: the refusing main
// form stays, and so do the timers.
TEST_F(FormsEvents, CloseRequestsToEveryWindowLeaveTheTimersRunning) {
    TTestForm* form = NewForm();
    form->OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
    int ticks = 0;
    auto* timer = new TTimer(form);
    timer->SetInterval(20);
    timer->SetOnTimer([&](TObject*) {
        if (++ticks == 1) {
            for (HWND window : ThreadWindows(GetCurrentThreadId()))
                PostMessageW(window, WM_CLOSE, 0, 0);
        } else if (ticks == 10) {
            form->OnCloseQuery = nullptr;
            form->Close();
        }
    });
    RunLoop();
    EXPECT_EQ(ticks, 10);
}

TEST_F(FormsEvents, SessionEndQueryReturnsTheCloseQueryAnswerAndTheEndTerminates) {
    TTestForm* form = NewForm();
    form->Show();
    bool allow = false;
    int queries = 0;
    form->OnCloseQuery = [&](TObject*, bool& canClose) {
        ++queries;
        canClose = allow;
    };
    HWND window = Hwnd(form);
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
    allow = true;
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(queries, 2);
    // Only a query: the window stays.
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(app->Terminated());

    SendMessageW(window, WM_ENDSESSION, FALSE, 0); // the session goes on
    EXPECT_FALSE(app->Terminated());
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_TRUE(app->Terminated());
}

TEST_F(FormsEvents, SettingChangeBroadcastsReachTheApplication) {
    int changes = 0;
    app->OnSettingChange = [&](TObject*) { ++changes; };
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                        SMTO_ABORTIFHUNG, 2000, &result);
    EXPECT_EQ(changes, 1);
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                        SMTO_ABORTIFHUNG, 2000, &result);
    EXPECT_EQ(changes, 2);
}

} // namespace
