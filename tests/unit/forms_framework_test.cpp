// The form framework on the headless backend: timers, progress bar, error reports, how the loop
// treats exceptions from handlers, where a form's keyboard focus lands, and its layout for the
// screen's resolution.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>

#include "forms/backend.h"
#include "forms/forms.h"
#include "forms/headless/state.h"
#include "show_test_support.h"

namespace {

using forms::headless::Harness;
using show_test::ExpectBoxes;

struct TimerFixture : ::testing::Test {
    Harness h;
    forms::TApplication app;
    forms::TTimer timer{&app};
    int ticks = 0;
    void Arm(unsigned interval, bool enabled) {
        timer.SetEnabled(false);
        timer.SetInterval(interval);
        timer.SetOnTimer([this](forms::TObject*) { ++ticks; });
        timer.SetEnabled(enabled);
    }
};

TEST_F(TimerFixture, EnablingStartsAFreshIntervalAndRepeatingTheValueDoesNothing) {
    Arm(125, false);
    h.RunFor(1000);
    EXPECT_EQ(ticks, 0);

    timer.SetEnabled(true); // at 1000: ticks at 1125, 1250, ...
    h.RunFor(300);
    EXPECT_EQ(ticks, 2);
    timer.SetEnabled(true); // no change: the tick at 1375 stays
    h.RunFor(75);
    EXPECT_EQ(ticks, 3);

    h.RunFor(25); // 1400: off and on again restarts the interval
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    h.RunFor(124);
    EXPECT_EQ(ticks, 3);
    h.RunFor(1);
    EXPECT_EQ(ticks, 4);
    timer.SetInterval(50); // 1525: a new interval restarts it too
    h.RunFor(50);
    EXPECT_EQ(ticks, 5);

    timer.SetEnabled(false);
    h.RunFor(1000);
    EXPECT_EQ(ticks, 5);
    EXPECT_FALSE(h.TimerArmed(timer));
}

TEST_F(TimerFixture, AfterAWaitTheOverdueTickComesOnceAndTheGridIsKept) {
    Arm(125, true);
    timer.SetOnTimer([this](forms::TObject*) {
        if (++ticks == 1)
            platform::Sleep(800); // blocks from 125 to 925, as the switch to the mail phase
    });
    h.RunFor(1130);
    // 125, the one overdue tick at 925, then 1000 and 1125 on the old grid.
    ASSERT_EQ(ticks, 4);
    EXPECT_EQ(h.Ticks()[1].atMs, 925);
    EXPECT_EQ(h.Ticks()[2].atMs, 1000);
    EXPECT_EQ(h.Ticks()[3].atMs, 1125);
}

TEST_F(TimerFixture, ExceptionsFromHandlersAreReportedAndTheLoopGoesOn) {
    app.SetTitle("Germcatcher");
    Arm(100, true);
    timer.SetOnTimer([this](forms::TObject*) {
        switch (++ticks) {
        case 1:
            throw forms::Exception("Disk full");
        case 2:
            throw forms::EAbort("quiet");
        case 3:
            throw std::runtime_error("std");
        default:
            break;
        }
    });
    h.Answer(forms::IDOK_);
    h.Answer(forms::IDOK_);
    h.RunFor(450);
    EXPECT_EQ(ticks, 4);
    // Nothing for the EAbort; a standard exception in its own words.
    ExpectBoxes(h.Boxes(), {{"Disk full.", 0x10}, {"std.", 0x10}});
}

TEST(ErrorReport, FullStopOnlyAfterCharactersAboveFullStop) {
    for (const auto& [message, report] :
         {std::pair<std::string_view, std::string_view>{"Access denied", "Access denied."},
          {"Error 5", "Error 5."},
          {"ファイルがありません", "ファイルがありません."},
          {"Done.", "Done."},
          {"Stop!", "Stop!"},
          {"Trailing ", "Trailing "},
          {"", ""}})
        EXPECT_EQ(forms::ErrorReportText(message), report);
}

using Bounds = std::array<int, 4>;

Bounds Of(const forms::TControl* c) {
    return {c->Left(), c->Top(), c->Width(), c->Height()};
}

// A dialog as a test builds it: a label, a button and a bar, its font 16 pixels high, laid out
// for 96 dots per inch, where that font measures 16. Notes the window's bounds at each move.
struct Dialog : ::testing::Test {
    void SetUp() override {
        forms::TFont font;
        font.height = 16;
        form.SetFont(font);
        button->SetBounds(8, 40, 80, 24);
        bar->SetBounds(8, 72, 180, 16);
        form.SetClientSize(200, 100);
        form.ScaleForScreen(96, 16);
        label->SetCaption("abcd"); // 4 characters of half the font's height
        forms::headless::detail::GetState().moved = [this](forms::TForm& f) {
            moves.push_back(Of(&f));
            if (whileMoving)
                whileMoving();
        };
    }
    Harness h;
    forms::TForm form{nullptr, "TTest"};
    forms::TLabel* label = new forms::TLabel(&form);
    forms::TButton* button = new forms::TButton(&form);
    forms::TProgressBar* bar = new forms::TProgressBar(&form);
    std::vector<Bounds> moves;
    std::function<void()> whileMoving;
};

TEST_F(Dialog, ProgressBarPositionStaysWithinTheRange) {
    bar->SetMax(10);
    bar->SetPosition(12);
    EXPECT_EQ(bar->Position(), 10);
    bar->SetPosition(-3);
    EXPECT_EQ(bar->Position(), 0);
    bar->SetPosition(8);
    bar->SetMax(5);
    EXPECT_EQ(bar->Position(), 5);
    EXPECT_EQ(bar->Max(), 5);
}

TEST(Form, ControlsDieWithTheirFormAndCloseAsksFirst) {
    forms::BackendContract::Check(); // links only if the backend defines every member it must
    Harness h;
    forms::TApplication app;
    auto* form = new forms::TForm(&app, "TTest");
    int gone = 0;
    struct CountedLabel : forms::TLabel {
        CountedLabel(forms::TForm* parent, int& gone) : forms::TLabel(parent), gone_(gone) {}
        ~CountedLabel() override { ++gone_; }
        int& gone_;
    };
    new CountedLabel(form, gone);
    new CountedLabel(form, gone);
    bool allow = false;
    int asked = 0;
    form->OnCloseQuery = [&](forms::TObject*, bool& canClose) {
        ++asked;
        canClose = allow;
    };
    form->Show();
    EXPECT_FALSE(h.RequestClose(*form));
    EXPECT_TRUE(form->Visible());
    allow = true;
    EXPECT_TRUE(h.RequestClose(*form));
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(asked, 2);
    delete form;
    EXPECT_EQ(gone, 2); // its controls went with it
}

TEST_F(Dialog, FocusGoesToTheFirstVisibleTabStopInTabOrderElseToTheForm) {
    auto* first = new forms::TButton(&form);
    bar->SetTabOrder(0); // first in tab order, but takes no focus
    first->SetTabOrder(1);
    button->SetTabOrder(2);
    // The label has no order: it comes last, though placed first.
    EXPECT_EQ(form.TabOrdered(), (std::vector<forms::TControl*>{bar, first, button, label}));
    form.Show();
    for (forms::TControl* next : {first, button}) {
        form.SetFocus();
        EXPECT_EQ(h.Focus(), next);
        next->Hide();
    }
    form.SetFocus();
    EXPECT_EQ(h.Focus(), &form);
}

// A move to a monitor at another resolution lays the form out by the rule and moves it once; a
// change delivered during that move (the window tipped onto a third monitor) is followed by one
// more layout and move; one delivered during that second move is laid out where the window is.
TEST_F(Dialog, AChangeDuringTheMoveIsFollowedOnceAndNoMore) {
    EXPECT_EQ(label->Width(), 32); // a label's width follows its text
    auto* late = new forms::TButton(&form);
    late->SetBounds(1, 2, 3, 4);
    whileMoving = [this] {
        if (moves.size() < 3)
            form.ResolutionChanged(moves.size() == 1 ? 192 : 120, 50, 60);
    };
    form.ResolutionChanged(144, 10, 20);
    EXPECT_EQ(moves, (std::vector<Bounds>{{10, 20, 306, 175}, {50, 60, 406, 225}}));
    EXPECT_EQ(form.PixelsPerInch(), 120);
    EXPECT_EQ(h.Record(form).appliedDpi, 120);
    EXPECT_EQ(Of(&form), (Bounds{50, 60, 406, 225}));
    EXPECT_EQ(Of(late), (Bounds{1, 2, 3, 4})); // placed after the design: not the rule's
    EXPECT_EQ(Of(button), (Bounds{10, 50, 100, 30}));
    EXPECT_EQ(label->Width(), 40); // measured again in the new font

    // A change to the resolution just laid out moves the window no more.
    moves.clear();
    whileMoving = [this] { form.ResolutionChanged(96, 70, 80); };
    form.ResolutionChanged(96, 30, 40);
    EXPECT_EQ(moves, (std::vector<Bounds>{{30, 40, 206, 125}}));
    EXPECT_EQ((std::array{form.LayoutAt(144)->width, form.LayoutAt(144)->height}),
              (std::array{306, 175}));
}

TEST_F(Dialog, AFramelessFormIsPlacedAgainRatherThanReshaped) {
    int placed = 0;
    form.OnDisplayChange = [&](forms::TObject*) { ++placed; };
    form.SetBorderStyle(forms::TBorderStyle::bsNone);
    form.SetBounds(0, 0, 1280, 1024);
    moves.clear();
    form.ResolutionChanged(144, 10, 20);
    EXPECT_EQ(placed, 1);
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(Of(&form), (Bounds{0, 0, 1280, 1024}));
    EXPECT_EQ(form.PixelsPerInch(), 144);
    EXPECT_FALSE(form.LayoutAt(144));
}

// No resolution below one lays the form out or divides by it; at one the font measures no height
// and the layout keeps its design. Design values below one shape no form at all.
TEST_F(Dialog, ResolutionsOfZeroAndOneLeaveTheLayoutAsDesigned) {
    form.ResolutionChanged(0, 10, 20);
    EXPECT_FALSE(form.LayoutAt(0));
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(form.PixelsPerInch(), 96);
    EXPECT_EQ(form.Font().height, 16);
    form.ResolutionChanged(1, 10, 20);
    EXPECT_EQ(moves, (std::vector<Bounds>{{10, 20, 206, 125}}));
    EXPECT_EQ(Of(button), (Bounds{8, 40, 80, 24}));

    forms::TForm other(nullptr, "TTest");
    other.ScaleForScreen(0, 16);
    other.ScaleForScreen(96, 0);
    EXPECT_FALSE(other.LayoutAt(96));
    other.ScaleForScreen(1, 1); // the least design that shapes a form
    EXPECT_TRUE(other.LayoutAt(1));
}

} // namespace
