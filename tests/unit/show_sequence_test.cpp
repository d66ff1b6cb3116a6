// The phase machine and its finales, and the paused message box they rely on.
#include <array>
#include <functional>

#include "show_test_support.h"

namespace {

using namespace show_test;

// What the window looked like when a box came up.
struct Snapshot {
    bool visible;
    forms::TBorderStyle border;
    int left, top, width, height;
    forms::TColor color;
    forms::TFormStyle style;
    bool controlsVisible;
    int position;
};

class Sequence : public ShowTest {
protected:
    // Answers every box with OK after `readingMs`, noting the window's state at each.
    void WatchBoxes(unsigned readingMs) {
        h.SetBoxHandler([this, readingMs](const BoxRecord&) {
            const auto& f = *Form1;
            snaps.push_back(
                {f.Visible(), f.BorderStyle(), f.Left(), f.Top(), f.Width(), f.Height(), f.Color(),
                 f.FormStyle(),
                 f.Label1->Visible() || f.ProgressBar1->Visible() || f.btnCancel->Visible(),
                 f.ProgressBar1->Position()});
            if (whileFirstBox && snaps.size() == 1)
                whileFirstBox();
            return BoxAnswer{forms::IDOK_, readingMs};
        });
    }
    std::vector<Snapshot> snaps;
    std::function<void()> whileFirstBox;
};

TEST_F(Sequence, YesPathEndsOnThe51stTickUnderTheBlueCover) {
    h.SetScreenSize(1600, 900);
    Start(forms::IDYES_);
    WatchBoxes(1000);
    // A larger monitor docked while the first box waits: the cover follows the screen.
    whileFirstBox = [this] {
        h.SetScreenSize(1920, 1200);
        h.AnnounceDisplayChange();
    };
    h.RunFor(50 * kTick);
    EXPECT_EQ(Position(), 50);
    EXPECT_EQ(h.Boxes().size(), 1u);

    ASSERT_TRUE(h.RunUntilTerminated(60000));
    EXPECT_EQ(h.TickCount(Form1->Timer1), 51);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_TRUE(SequenceDone);

    const auto boxes = ShowBoxes();
    ExpectBoxes(
        boxes,
        {{texts::kYesFinaleFirst, 0}, {texts::kFinaleSecond, 0}, {texts::kYesFinaleVerdict, 0}});
    ASSERT_EQ(boxes.size(), 3u);
    for (const auto& b : boxes)
        EXPECT_FALSE(b.timerRunning);
    EXPECT_EQ(boxes[0].atMs, 51 * kTick);
    EXPECT_EQ(boxes[1].atMs, boxes[0].atMs + 1000 + 2000); // reading, then the 2 s wait
    EXPECT_EQ(boxes[2].atMs, boxes[1].atMs + 1000);

    // The cover is up before the first box and stays to the end, the screen's size throughout.
    ASSERT_EQ(snaps.size(), 3u);
    for (const Snapshot& s : snaps) {
        EXPECT_TRUE(s.visible);
        EXPECT_EQ(s.border, forms::TBorderStyle::bsNone);
        EXPECT_EQ((std::array{s.left, s.top, s.width, s.height}),
                  (&s == &snaps[0] ? std::array{0, 0, 1600, 900} : std::array{0, 0, 1920, 1200}));
        EXPECT_EQ(s.color, 0xFF0000u);
        EXPECT_EQ(s.style, forms::TFormStyle::fsStayOnTop);
        EXPECT_FALSE(s.controlsVisible);
        EXPECT_EQ(s.position, 50);
    }
    // Showing the cover ran FormShow again, which switched the clock back on; still no tick
    // reached the phase machine, and the close ended the loop.
    EXPECT_EQ(h.Record(*Form1).showCount, 2);
    EXPECT_EQ(h.Record(*Form1).focusCount, 3); // at each show, and the cover's own
    EXPECT_TRUE(app->Terminated());
    EXPECT_FALSE(Form1->Visible());
    EXPECT_EQ(Position(), 0);
}

TEST_F(Sequence, NoPathSwitchesOnThe17thTickAndEndsOnThe41stMailTick) {
    Start(forms::IDNO_);
    WatchBoxes(500);
    h.RunFor(16 * kTick);
    EXPECT_EQ(Position(), 16);
    EXPECT_EQ(Form1->Label1->Caption(), texts::kAddressBookStatus);

    h.RunFor(kTick); // the 17th tick waits 0.8 s, then loads the mail phase
    EXPECT_EQ(h.NowMs(), 17 * kTick + 800);
    EXPECT_EQ(Form1->Label1->Caption(), texts::kMailStatus);
    EXPECT_EQ(Form1->ProgressBar1->Max(), 40);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(PhaseCount, 1);

    ASSERT_TRUE(h.RunUntilTerminated(60000));
    EXPECT_EQ(h.TickCount(Form1->Timer1), 17 + 41);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);

    const auto boxes = ShowBoxes();
    ExpectBoxes(
        boxes,
        {{texts::kNoFinaleFirst, 0}, {texts::kFinaleSecond, 0}, {texts::kNoFinaleVerdict, 0}});
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].atMs, h.Record(*Form1).lastHideMs + 400);
    EXPECT_EQ(boxes[1].atMs, boxes[0].atMs + 500 + 2000);
    for (const auto& b : boxes)
        EXPECT_FALSE(b.mainFormVisible);
    EXPECT_EQ(snaps[0].position, 40);
    EXPECT_EQ(h.Record(*Form1).showCount, 1); // never shown again
    EXPECT_TRUE(app->Terminated());
}

using PausedMessage = ShowTest;

TEST_F(PausedMessage, StopsTheClockWhileUpAndLeavesItAsFound) {
    Start(forms::IDNO_);
    h.RunFor(3 * kTick + 10);
    ASSERT_EQ(Position(), 3);

    h.Answer(forms::IDYES_, 1000);
    EXPECT_EQ(ShowPausedMessage("質問", forms::MB_YESNO_), forms::IDYES_);
    ExpectBoxes(ShowBoxes(), {{"質問", 4}});
    EXPECT_FALSE(h.Boxes().back().timerRunning);
    EXPECT_EQ(h.TicksDuringBoxes(), 0);
    EXPECT_EQ(Position(), 3);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    // A fresh full interval after the box.
    h.RunFor(kTick - 1);
    EXPECT_EQ(Position(), 3);
    h.RunFor(1);
    EXPECT_EQ(Position(), 4);

    Form1->Timer1->SetEnabled(false);
    h.Answer(forms::IDNO_, 1000);
    EXPECT_EQ(ShowPausedMessage("x", forms::MB_YESNO_), forms::IDNO_);
    EXPECT_FALSE(Form1->Timer1->Enabled());
    EXPECT_FALSE(h.TimerArmed(*Form1->Timer1));

    EXPECT_EQ(ShowPausedMessage("unanswered", forms::MB_OK_), 0); // a failed box
}

} // namespace
