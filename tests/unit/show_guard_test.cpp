// The close guard, the unlock gesture and the Cancel button.
#include "platform/text.h"
#include "show_test_support.h"

namespace {

using namespace show_test;
using forms::TMouseButton;

class Guard : public ShowTest {
protected:
    void Gesture() {
        h.MouseUp(*Form1->ProgressBar1, TMouseButton::mbRight, forms::ssShift | forms::ssCtrl);
    }
};

TEST_F(Guard, LockedCloseIsRefusedWhileTheBarStandsStill) {
    Start(forms::IDNO_);
    h.RunFor(5 * kTick + 10);
    h.Answer(forms::IDOK_, 1000);
    EXPECT_FALSE(h.RequestClose(*Form1));
    ASSERT_EQ(ShowBoxes().size(), 1u);
    EXPECT_EQ(ShowBoxes()[0].text, texts::kBusyText);
    EXPECT_EQ(ShowBoxes()[0].caption, "Germcatcher");
    EXPECT_EQ(ShowBoxes()[0].flags, 0u);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_EQ(Position(), 5);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_FALSE(app->Terminated());

    // The session-end query is refused the same way.
    h.Answer(forms::IDOK_, 0);
    EXPECT_FALSE(h.QueryEndSession());
    EXPECT_EQ(ShowBoxes().size(), 2u);

    h.RunFor(kTick);
    EXPECT_EQ(Position(), 6);
}

TEST_F(Guard, OnlyRightButtonWithShiftAndCtrlFlipsTheLock) {
    Start(forms::IDYES_);
    struct Case {
        TMouseButton button;
        forms::TShiftState shift;
        bool flips;
    };
    const Case cases[] = {
        {TMouseButton::mbRight, forms::ssShift | forms::ssCtrl, true},
        {TMouseButton::mbRight, forms::ssShift | forms::ssCtrl | forms::ssAlt, true},
        {TMouseButton::mbLeft, forms::ssShift | forms::ssCtrl, false},
        {TMouseButton::mbMiddle, forms::ssShift | forms::ssCtrl, false},
        {TMouseButton::mbRight, forms::ssShift, false},
        {TMouseButton::mbRight, forms::ssCtrl, false},
        {TMouseButton::mbRight, forms::ssCtrl | forms::ssAlt | forms::ssRight, false},
    };
    for (const Case& c : cases) {
        const bool before = CloseUnlocked;
        h.MouseUp(*Form1->ProgressBar1, c.button, c.shift);
        EXPECT_EQ(CloseUnlocked, c.flips ? !before : before);
    }
    EXPECT_FALSE(CloseUnlocked); // two gestures: locked again
    EXPECT_TRUE(ShowBoxes().empty());
}

TEST_F(Guard, UnlockedNoEndsTheProgramWithoutFinaleOrFurtherLogEntry) {
    Start(forms::IDNO_);
    h.RunFor(3 * kTick + 10);
    Gesture();
    h.Answer(forms::IDNO_, 300);
    EXPECT_TRUE(h.RequestClose(*Form1));
    ASSERT_EQ(ShowBoxes().size(), 1u);
    EXPECT_EQ(ShowBoxes()[0].text, texts::kBusyText);
    EXPECT_EQ(ShowBoxes()[0].flags, 4u);
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(Form1->Visible());
    EXPECT_FALSE(SequenceDone);
    h.RunFor(20000);
    EXPECT_EQ(ShowBoxes().size(), 1u);
    EXPECT_EQ(h.TickCount(), 3);
    EXPECT_EQ(WithoutStamps(logFolder.Read()), log_bytes::kStart + log_bytes::kNo);
}

TEST_F(Guard, UnlockedYesKeepsTheShowGoing) {
    Start(forms::IDNO_);
    h.RunFor(3 * kTick + 10);
    Gesture();
    h.Answer(forms::IDYES_, 300);
    EXPECT_FALSE(h.RequestClose(*Form1));
    EXPECT_EQ(ShowBoxes().back().flags, 4u);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_EQ(Position(), 3);
    EXPECT_TRUE(CloseUnlocked);

    h.Answer(forms::IDNO_, 0); // the session may end now
    EXPECT_TRUE(h.QueryEndSession());

    h.SetBoxHandler([](const BoxRecord&) { return BoxAnswer{forms::IDOK_, 0}; });
    ASSERT_TRUE(h.RunUntilTerminated(60000));
    EXPECT_EQ(ShowBoxes().back().text, texts::kNoFinaleVerdict);
}

TEST_F(Guard, DuringAFinaleEveryCloseIsGrantedWithoutABox) {
    Start(forms::IDYES_);
    Gesture(); // unlocked or not makes no difference
    int finaleBoxes = 0;
    bool closeAllowed = false, sessionAllowed = false;
    h.SetBoxHandler([&](const BoxRecord&) {
        if (++finaleBoxes == 1) {
            closeAllowed = Form1->CloseQuery();
            sessionAllowed = h.QueryEndSession();
        }
        return BoxAnswer{forms::IDOK_, 0};
    });
    ASSERT_TRUE(h.RunUntilTerminated(60000));
    EXPECT_TRUE(closeAllowed);
    EXPECT_TRUE(sessionAllowed);
    EXPECT_EQ(finaleBoxes, 3);
    for (const auto& b : ShowBoxes())
        EXPECT_NE(b.text, texts::kBusyText);
}

TEST_F(Guard, CancelOnlyTeases) {
    Start(forms::IDYES_);
    h.RunFor(4 * kTick + 10);
    h.Answer(forms::IDOK_, 700);
    h.Click(*Form1->btnCancel);
    ASSERT_EQ(ShowBoxes().size(), 1u);
    EXPECT_EQ(ShowBoxes()[0].text, texts::kCancelText);
    EXPECT_EQ(ShowBoxes()[0].caption, "Germcatcher");
    EXPECT_EQ(ShowBoxes()[0].flags, 0u);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_EQ(Position(), 4);
    EXPECT_FALSE(CloseUnlocked);
    EXPECT_FALSE(SequenceDone);
    EXPECT_TRUE(Form1->Visible());
    EXPECT_TRUE(Form1->Timer1->Enabled());
    h.RunFor(kTick);
    EXPECT_EQ(Position(), 5);
}

TEST_F(Guard, AClockThatCannotRestartAfterABoxIsReportedAndRunsAgain) {
    Start(forms::IDYES_);
    h.RunFor(4 * kTick + 10);
    h.SetBoxHandler([&](const BoxRecord& box) {
        if (box.text == texts::kCancelText)
            h.FailTimerStarts(1);
        return BoxAnswer{forms::IDOK_, 0};
    });
    h.Click(*Form1->btnCancel);
    ASSERT_EQ(ShowBoxes().size(), 2u);
    EXPECT_EQ(ShowBoxes()[1].text, "Cannot start the timer.");
    EXPECT_EQ(ShowBoxes()[1].flags, forms::MB_OK_ | forms::MB_ICONSTOP_);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    h.RunFor(kTick);
    EXPECT_EQ(Position(), 5);
}

} // namespace
