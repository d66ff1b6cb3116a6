// The main window as built, the opening question with its log entries, the first phase, the
// start-up show requests, and scaling for the screen.
#include <array>
#include <iterator>

#include "platform/text.h"
#include "show_test_support.h"

namespace {

using namespace show_test;
using forms::TBorderStyle;
using forms::TWindowState;

struct PathCase {
    const char* name;
    int answer;
    std::string_view status;
    int max;
    int phaseCount;
    const std::string* entry;
};

const PathCase kPaths[] = {
    {"Yes", forms::IDYES_, texts::kEraseStatus, 50, 1, &log_bytes::kYes},
    {"No", forms::IDNO_, texts::kAddressBookStatus, 16, 0, &log_bytes::kNo},
    // A box that fails returns 0, which takes the No path.
    {"FailedBox", 0, texts::kAddressBookStatus, 16, 0, &log_bytes::kNo},
};

// Over the rows by their index (a struct would print as its raw bytes).
class OpeningPaths : public ShowTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(OpeningPaths, QuestionFirstThenBothEntriesThenTheFirstPhase) {
    const PathCase& c = kPaths[GetParam()];
    const std::string start = kStartStamp + log_bytes::kStart;
    const std::string choice = "5/1/24 10:00:03 am" + *c.entry;

    CloseUnlocked = SequenceDone = true; // as another window's show may have left them
    Build(c.answer, 3000);               // the user reads the question for 3 s
    ASSERT_EQ(h.Boxes().size(), 1u);
    ExpectBoxes(h.Boxes(), {{texts::kQuestionText, 0x34}});
    EXPECT_FALSE(h.Boxes()[0].mainFormVisible);
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
    EXPECT_EQ(Form1->Label1->Width(), 16 * 16); // sixteen full-width characters
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

INSTANTIATE_TEST_SUITE_P(Answers, OpeningPaths, ::testing::Range<size_t>(0, std::size(kPaths)),
                         [](const auto& info) { return std::string(kPaths[info.param].name); });

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
    EXPECT_EQ(Form1->Font().charset, 128); // Shift_JIS
    EXPECT_EQ(Form1->Left(), (1600 - Form1->Width()) / 2);
    EXPECT_EQ(Form1->Top(), (900 - Form1->Height()) / 2);
    EXPECT_EQ(Form1->btnCancel->Caption(), texts::kCancelCaption);
    // Windows' button face and window text colours (COLOR_BTNFACE, COLOR_WINDOWTEXT).
    EXPECT_EQ((std::array{Form1->Color(), Form1->Font().color}),
              (std::array{0xFF00000Fu, 0xFF000008u}));
    EXPECT_EQ(Form1->TabOrdered(), (std::vector<forms::TControl*>{
                                       Form1->ProgressBar1, Form1->btnCancel, Form1->Label1}));

    // Centred at the first show only: moved, hidden and shown again, it keeps its place.
    Form1->SetBounds(5, 6, Form1->Width(), Form1->Height());
    Form1->Hide();
    Form1->Show();
    EXPECT_EQ((std::array{Form1->Left(), Form1->Top()}), (std::array{5, 6}));

    // A change of the settings announced to the application reaches the window's handler.
    int reached = 0;
    ASSERT_TRUE(app->OnSettingChange);
    app->OnSettingChange = [&, handler = app->OnSettingChange](forms::TObject* sender) {
        ++reached;
        handler(sender);
    };
    h.AnnounceSettingChange();
    EXPECT_EQ(reached, 1);
}

// Started maximised, the window reaches FormShow maximised, and FormShow restores it before it
// appears.
TEST_F(Window, AMaximisedStartIsRestoredByFormShow) {
    h.SetStartupShowCommand(3); // SW_SHOWMAXIMIZED
    h.SetLoopLimit(0);
    Build(forms::IDYES_);
    std::vector<TWindowState> seen;
    Form1->OnShow = [&, formShow = Form1->OnShow](forms::TObject* sender) {
        seen.push_back(Form1->WindowState());
        formShow(sender);
        seen.push_back(Form1->WindowState());
    };
    app->Run();
    EXPECT_EQ(seen, (std::vector{TWindowState::wsMaximized, TWindowState::wsNormal}));
    EXPECT_TRUE(Form1->Visible());
}

// At the design resolution nothing is scaled, whatever the font measures.
TEST_F(Window, ScalesWithTheMeasuredTextHeightOnlyWhenTheResolutionDiffers) {
    // The font's height; the client size; the bar's and the button's left, top, width and
    // height; the label's left, top and height.
    for (const auto& [ppi, measured, font, layout] :
         {std::tuple{144, 24, 24,
                     std::array{444, 192, 12, 96, 422, 26, 156, 144, 134, 38, 12, 24, 24}},
          std::tuple{96, 20, 16,
                     std::array{296, 128, 8, 64, 281, 17, 104, 96, 89, 25, 8, 16, 16}}}) {
        h.SetPixelsPerInch(ppi);
        h.SetMeasuredTextHeight(measured);
        Build(forms::IDNO_);
        const forms::TControl *bar = Form1->ProgressBar1, *button = Form1->btnCancel;
        EXPECT_EQ(Form1->Font().height, font);
        EXPECT_EQ((std::array{Form1->ClientWidth(), Form1->ClientHeight(), bar->Left(), bar->Top(),
                              bar->Width(), bar->Height(), button->Left(), button->Top(),
                              button->Width(), button->Height(), Form1->Label1->Left(),
                              Form1->Label1->Top(), Form1->Label1->Height()}),
                  layout);
        app.reset();
    }
}

} // namespace
