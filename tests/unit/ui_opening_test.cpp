// The main window as built, the opening question with its log entries, the first phase, the
// start-up show requests, and scaling for the screen.
#include <array>
#include <ostream>

#include "platform/text.h"
#include "show_test_support.h"

namespace {

using namespace show_test;
using forms::TBorderStyle;
using forms::TWindowState;

// The virtual clock starts at 2024-05-01 10:00:00; on the host the locale's defaults stand
// ("M/d/yy", 12-hour, "am" after the time).
const std::string kStartStamp = "5/1/24 10:00:00 am";

struct PathCase {
    int answer;
    std::string_view status;
    int max;
    int phaseCount;
    const std::string* entry;
};

// Keeps test output readable (the default prints the struct's raw bytes).
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << "answer " << c.answer;
}

class OpeningPaths : public ShowTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(OpeningPaths, QuestionFirstThenBothEntriesThenTheFirstPhase) {
    const PathCase& c = GetParam();
    const std::string start = kStartStamp + log_bytes::kStart;
    const std::string choice = "5/1/24 10:00:03 am" + *c.entry;

    Build(c.answer, 3000); // the user reads the question for 3 s
    ASSERT_EQ(h.Boxes().size(), 1u);
    const BoxRecord& q = h.Boxes()[0];
    EXPECT_EQ(q.text, texts::kQuestionText);
    EXPECT_EQ(q.caption, "Germcatcher");
    EXPECT_EQ(q.flags, 0x34u);
    EXPECT_FALSE(q.mainFormVisible);
    EXPECT_EQ(AnswerCode, c.answer);
    EXPECT_FALSE(CloseUnlocked);
    EXPECT_FALSE(SequenceDone);

    EXPECT_EQ(logFolder.Read(), start + choice);
    EXPECT_EQ(LogFilePath, logFolder.LogPath());

    // Nothing of the phase is loaded, and nothing ticks, before the window is shown.
    EXPECT_FALSE(Form1->Visible());
    EXPECT_EQ(Form1->Label1->Caption(), "");
    EXPECT_EQ(Form1->ProgressBar1->Max(), 24);
    EXPECT_FALSE(h.TimerArmed(*Form1->Timer1));

    Form1->Show();
    EXPECT_EQ(Form1->Label1->Caption(), c.status);
    EXPECT_EQ(Form1->ProgressBar1->Max(), c.max);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(PhaseCount, c.phaseCount);
    EXPECT_TRUE(Form1->Timer1->Enabled());
    EXPECT_EQ(h.Record(*Form1).focusCount, 1);
    EXPECT_EQ(h.Focus(), Form1->btnCancel);
    const long long shownAt = h.NowMs();
    h.RunFor(kTick);
    ASSERT_EQ(h.TickCount(Form1->Timer1), 1);
    EXPECT_EQ(h.Ticks()[0].atMs, shownAt + kTick);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OpeningPaths,
    ::testing::Values(PathCase{forms::IDYES_, texts::kEraseStatus, 50, 1, &log_bytes::kYes},
                      PathCase{forms::IDNO_, texts::kAddressBookStatus, 16, 0, &log_bytes::kNo},
                      // A box that fails returns 0, which takes the No path.
                      PathCase{0, texts::kAddressBookStatus, 16, 0, &log_bytes::kNo}),
    [](const ::testing::TestParamInfo<PathCase>& info) -> std::string {
        return info.param.answer == forms::IDYES_  ? "Yes"
               : info.param.answer == forms::IDNO_ ? "No"
                                                   : "FailedBox";
    });

using Window = ShowTest;

TEST_F(Window, IsACentredAlwaysOnTopDialogOfTheDesignedClientSize) {
    h.SetScreenSize(1600, 900);
    Start(forms::IDNO_);
    EXPECT_EQ(Form1->Caption(), "Germcatcher");
    EXPECT_EQ(Form1->ClientWidth(), 296);
    EXPECT_EQ(Form1->ClientHeight(), 128);
    EXPECT_EQ(Form1->BorderStyle(), TBorderStyle::bsDialog);
    EXPECT_EQ(Form1->FormStyle(), forms::TFormStyle::fsStayOnTop);
    EXPECT_EQ(Form1->Font().name, texts::kFontName);
    EXPECT_EQ(Form1->Left(), (1600 - Form1->Width()) / 2);
    EXPECT_EQ(Form1->Top(), (900 - Form1->Height()) / 2);
    EXPECT_EQ(Form1->btnCancel->Caption(), texts::kCancelCaption);
}

TEST_F(Window, ScalesWithTheMeasuredTextHeightOnlyWhenTheResolutionDiffers) {
    h.SetPixelsPerInch(144);
    h.SetMeasuredTextHeight(24);
    Build(forms::IDNO_);
    EXPECT_EQ(Form1->Font().height, 24);
    EXPECT_EQ(Form1->ClientWidth(), 444);
    EXPECT_EQ(Form1->ClientHeight(), 192);
    const auto* bar = Form1->ProgressBar1;
    EXPECT_EQ((std::array{bar->Left(), bar->Top(), bar->Width(), bar->Height()}),
              (std::array{12, 96, 422, 26}));
    const auto* button = Form1->btnCancel;
    EXPECT_EQ((std::array{button->Left(), button->Top(), button->Width(), button->Height()}),
              (std::array{156, 144, 134, 38}));
    EXPECT_EQ(Form1->Label1->Top(), 24);
    EXPECT_EQ(Form1->Label1->Height(), 24);
    app.reset();

    // At the design resolution nothing is scaled, whatever the font measures.
    h.SetPixelsPerInch(96);
    h.SetMeasuredTextHeight(20);
    Build(forms::IDNO_);
    EXPECT_EQ(Form1->Font().height, 16);
    EXPECT_EQ(Form1->ClientWidth(), 296);
    EXPECT_EQ(Form1->ProgressBar1->Width(), 281);
}

} // namespace
