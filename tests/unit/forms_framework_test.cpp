// The form framework on the headless backend: timers, progress bar, error reports, how the loop
// treats exceptions from handlers, and where a form's keyboard focus lands.
#include <gtest/gtest.h>

#include <stdexcept>

#include "forms/backend.h"
#include "forms/forms.h"
#include "forms/headless/harness.h"

namespace {

using forms::headless::Harness;

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

    timer.SetEnabled(false);
    h.RunFor(1000);
    EXPECT_EQ(ticks, 4);
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
    ASSERT_EQ(h.Boxes().size(), 2u); // nothing for the EAbort
    EXPECT_EQ(h.Boxes()[0].text, "Disk full.");
    EXPECT_EQ(h.Boxes()[0].caption, "Germcatcher");
    EXPECT_EQ(h.Boxes()[0].flags, 0x10u);
    EXPECT_EQ(h.Boxes()[1].flags, 0x10u);
}

TEST(ErrorReport, FullStopOnlyAfterCharactersAboveFullStop) {
    EXPECT_EQ(forms::ErrorReportText("Access denied"), "Access denied.");
    EXPECT_EQ(forms::ErrorReportText("Error 5"), "Error 5.");
    EXPECT_EQ(forms::ErrorReportText("ファイルがありません"), "ファイルがありません.");
    EXPECT_EQ(forms::ErrorReportText("Done."), "Done.");
    EXPECT_EQ(forms::ErrorReportText("Stop!"), "Stop!");
    EXPECT_EQ(forms::ErrorReportText("Trailing "), "Trailing ");
    EXPECT_EQ(forms::ErrorReportText(""), "");
}

TEST(ProgressBar, PositionStaysWithinTheRange) {
    Harness h;
    forms::TForm form(nullptr, "TTest");
    auto* bar = new forms::TProgressBar(&form);
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

TEST(Form, FocusGoesToTheFirstVisibleTabStopInTabOrderElseToTheForm) {
    Harness h;
    forms::TForm form(nullptr, "TTest");
    auto* second = new forms::TButton(&form);
    auto* first = new forms::TButton(&form);
    auto* bar = new forms::TProgressBar(&form);
    new forms::TLabel(&form);
    bar->SetTabOrder(0); // first in tab order, but takes no focus
    first->SetTabOrder(1);
    second->SetTabOrder(2);
    form.Show();
    form.SetFocus();
    EXPECT_EQ(h.Focus(), first);
    first->Hide();
    form.SetFocus();
    EXPECT_EQ(h.Focus(), second);
    second->Hide();
    form.SetFocus();
    EXPECT_EQ(h.Focus(), &form);
}

} // namespace
