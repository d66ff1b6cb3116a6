// The close guard, the unlock gesture and the Cancel button.
#include <iterator>

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

enum Input { kClose, kSessionEnd, kCancel };

// A request while the bar runs, the box it brings up, that box's answer (0: the box failed) and
// whether the request is granted.
struct Request {
    const char* name;
    bool unlocked;
    Input input;
    int answer;
    std::string_view box;
    unsigned flags;
    bool granted;
};

const Request kRequests[] = {
    {"LockedClose", false, kClose, forms::IDOK_, texts::kBusyText, 0, false},
    {"LockedSessionEnd", false, kSessionEnd, forms::IDOK_, texts::kBusyText, 0, false},
    {"UnlockedCloseNo", true, kClose, forms::IDNO_, texts::kBusyText, 4, true},
    {"UnlockedCloseYes", true, kClose, forms::IDYES_, texts::kBusyText, 4, false},
    {"UnlockedCloseFailedBox", true, kClose, 0, texts::kBusyText, 4, false},
    {"UnlockedSessionEndNo", true, kSessionEnd, forms::IDNO_, texts::kBusyText, 4, true},
    {"CancelOnlyTeases", false, kCancel, forms::IDOK_, texts::kCancelText, 0, false},
};

// Over the rows by their index (a struct would print as its raw bytes).
class GuardedRequest : public Guard, public ::testing::WithParamInterface<size_t> {};

// The bar stands still while the box is up. A close that is granted ends the program at once,
// with no finale and no further log entry; otherwise the show goes on to its end.
TEST_P(GuardedRequest, AsksWhileTheBarStandsStillThenEndsOrGoesOn) {
    const Request& r = kRequests[GetParam()];
    Start(forms::IDNO_);
    h.RunFor(3 * kTick + 10);
    if (r.unlocked)
        Gesture();
    h.Answer(r.answer, 700);
    bool granted = false;
    if (r.input == kCancel)
        h.Click(*Form1->btnCancel);
    else
        granted = r.input == kClose ? h.RequestClose(*Form1) : h.QueryEndSession();
    EXPECT_EQ(granted, r.granted);
    ExpectBoxes(ShowBoxes(), {{r.box, r.flags}});
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_EQ(Position(), 3);
    EXPECT_EQ(CloseUnlocked, r.unlocked);
    EXPECT_FALSE(SequenceDone);
    const bool ends = granted && r.input == kClose;
    EXPECT_EQ(app->Terminated(), ends);
    EXPECT_EQ(Form1->Visible(), !ends);
    if (ends) {
        h.RunFor(20000);
        EXPECT_EQ(ShowBoxes().size(), 1u);
        EXPECT_EQ(h.TickCount(), 3);
        EXPECT_EQ(logFolder.Read(), kStartStamp + log_bytes::kStart + kStartStamp + log_bytes::kNo);
        return;
    }
    EXPECT_TRUE(Form1->Timer1->Enabled());
    h.RunFor(kTick);
    EXPECT_EQ(Position(), 4);
    AnswerAll();
    ASSERT_TRUE(h.RunUntilTerminated(60000));
    EXPECT_EQ(ShowBoxes().back().text, texts::kNoFinaleVerdict);
}

INSTANTIATE_TEST_SUITE_P(Rows, GuardedRequest, ::testing::Range<size_t>(0, std::size(kRequests)),
                         [](const auto& info) { return std::string(kRequests[info.param].name); });

TEST_F(Guard, OnlyRightButtonWithShiftAndCtrlFlipsTheLock) {
    Start(forms::IDYES_);
    // The button and keys, and whether the lock flips.
    for (const auto& [button, shift, flips] :
         {std::tuple{TMouseButton::mbRight, forms::ssShift | forms::ssCtrl, true},
          {TMouseButton::mbRight, forms::ssShift | forms::ssCtrl | forms::ssAlt, true},
          {TMouseButton::mbLeft, forms::ssShift | forms::ssCtrl, false},
          {TMouseButton::mbMiddle, forms::ssShift | forms::ssCtrl, false},
          {TMouseButton::mbRight, forms::ssShift, false},
          {TMouseButton::mbRight, forms::ssCtrl, false},
          {TMouseButton::mbRight, forms::ssCtrl | forms::ssAlt | forms::ssRight, false}}) {
        const bool before = CloseUnlocked;
        h.MouseUp(*Form1->ProgressBar1, button, shift);
        EXPECT_EQ(CloseUnlocked, flips ? !before : before);
    }
    EXPECT_FALSE(CloseUnlocked); // two gestures: locked again
    EXPECT_TRUE(ShowBoxes().empty());
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
    ExpectBoxes(
        ShowBoxes(),
        {{texts::kYesFinaleFirst, 0}, {texts::kFinaleSecond, 0}, {texts::kYesFinaleVerdict, 0}});
}

// A passing fault does not stall the show: each failed start is reported, and tried once more.
TEST_F(Guard, AClockThatCannotRestartAfterABoxIsReportedAndTriedTwice) {
    Start(forms::IDYES_);
    h.RunFor(4 * kTick + 10);
    int failures = 1;
    h.SetBoxHandler([&](const BoxRecord& box) {
        if (box.text == texts::kCancelText)
            h.FailTimerStarts(failures);
        return BoxAnswer{forms::IDOK_, 0};
    });
    h.Click(*Form1->btnCancel);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    h.RunFor(kTick);
    EXPECT_EQ(Position(), 5);

    failures = 3; // no third try: the clock stays off
    h.Click(*Form1->btnCancel);
    const std::string_view report = "Cannot start the timer.";
    ExpectBoxes(ShowBoxes(), {{texts::kCancelText, 0},
                              {report, 0x10},
                              {texts::kCancelText, 0},
                              {report, 0x10},
                              {report, 0x10}});
    EXPECT_FALSE(Form1->Timer1->Enabled());
    h.RunFor(kTick);
    EXPECT_EQ(Position(), 5);
}

} // namespace
