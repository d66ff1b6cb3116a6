// The entry: whole runs through the message loop, start-up show requests, and the report of an
// exception that escapes start-up.
#include <stdexcept>

#include "app/run_application.h"
#include "show_test_support.h"

namespace {

using namespace show_test;

class Entry : public ::testing::Test {
protected:
    // The question gets `answer`, every later box OK.
    void AnswerQuestion(int answer) {
        h.SetBoxHandler([answer](const BoxRecord& box) {
            return BoxAnswer{box.text == texts::kQuestionText ? answer : forms::IDOK_, 0};
        });
    }
    LogFolder logFolder;
    forms::headless::Harness h;
};

TEST_F(Entry, RunsTheWholeShowAndCanRunAgain) {
    AnswerQuestion(forms::IDNO_);
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(h.InitializeCount(), 1);
    ASSERT_EQ(h.Boxes().size(), 4u);
    EXPECT_EQ(h.Boxes()[3].text, texts::kNoFinaleVerdict);
    EXPECT_EQ(Form1, nullptr); // destroyed with its application
    EXPECT_EQ(forms::Application, nullptr);

    AnswerQuestion(forms::IDYES_);
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_EQ(h.Boxes().size(), 8u);
    EXPECT_EQ(h.Boxes()[7].text, texts::kYesFinaleVerdict);
}

TEST_F(Entry, StartedMaximisedTheDialogStillShowsNormal) {
    h.SetStartupShowCommand(forms::kShowMaximized);
    AnswerQuestion(forms::IDYES_);
    forms::TWindowState state = forms::TWindowState::wsMaximized;
    bool visible = false;
    h.At(10, [&] {
        state = Form1->WindowState();
        visible = Form1->Visible();
    });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_TRUE(visible);
    EXPECT_EQ(state, forms::TWindowState::wsNormal);
}

TEST_F(Entry, StartedMinimisedTheShowWaitsUntilRestored) {
    h.SetStartupShowCommand(forms::kShowMinNoActive);
    AnswerQuestion(forms::IDNO_);
    std::string entries = "?";
    int ticks = -1;
    bool visible = true, pending = false;
    std::string label = "?";
    h.At(5000, [&] {
        entries = WithoutStamps(logFolder.Read());
        ticks = h.TickCount();
        visible = Form1->Visible();
        pending = Form1->ShowPending();
        label = Form1->Label1->Caption();
        h.RestoreApplication();
    });
    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(entries, log_bytes::kStart + log_bytes::kNo);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(visible);
    EXPECT_TRUE(pending);
    EXPECT_EQ(label, "");
    ASSERT_FALSE(h.Ticks().empty());
    EXPECT_EQ(h.Ticks()[0].atMs, 5000 + kTick);
    EXPECT_EQ(h.Boxes().back().text, texts::kNoFinaleVerdict);
}

TEST_F(Entry, AnExceptionEscapingStartUpIsReportedAndTheExitCodeIsStillZero) {
    h.SetBoxHandler([](const BoxRecord& box) -> BoxAnswer {
        if (box.text == texts::kQuestionText)
            throw forms::Exception("ウィンドウを作成できません");
        return {forms::IDOK_, 0};
    });
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_EQ(h.Boxes().size(), 2u);
    EXPECT_EQ(h.Boxes()[1].text, "ウィンドウを作成できません.");
    EXPECT_EQ(h.Boxes()[1].caption, "Germcatcher");
    EXPECT_EQ(h.Boxes()[1].flags, 0x10u);
    EXPECT_EQ(h.TickCount(), 0);

    // Anything else is reported as an exception with an empty message.
    h.SetBoxHandler([](const BoxRecord& box) -> BoxAnswer {
        if (box.text == texts::kQuestionText)
            throw std::runtime_error("not a framework exception");
        return {forms::IDOK_, 0};
    });
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_EQ(h.Boxes().size(), 4u);
    EXPECT_EQ(h.Boxes()[3].text, "");
    EXPECT_EQ(h.Boxes()[3].flags, 0x10u);
}

} // namespace
