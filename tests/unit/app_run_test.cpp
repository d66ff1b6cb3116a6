// The entry: whole runs through the message loop, a start-up request to show minimised, the
// report of an exception that escapes start-up, and the reports of those from the program's own
// handlers while the show runs.
#include <functional>
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

// Each run makes an application and a window of its own, and both go when it ends; the show
// forgets the window's parts with it.
TEST_F(Entry, RunsTheWholeShowAndCanRunAgain) {
    std::vector<std::pair<std::string_view, unsigned>> boxes;
    for (const auto& [answer, first, verdict] :
         {std::tuple{forms::IDNO_, texts::kNoFinaleFirst, texts::kNoFinaleVerdict},
          std::tuple{forms::IDYES_, texts::kYesFinaleFirst, texts::kYesFinaleVerdict}}) {
        AnswerQuestion(answer);
        EXPECT_EQ(RunApplication(), 0);
        boxes.insert(
            boxes.end(),
            {{texts::kQuestionText, 0x34}, {first, 0}, {texts::kFinaleSecond, 0}, {verdict, 0}});
        ExpectBoxes(h.Boxes(), boxes);
        EXPECT_EQ(Form1, nullptr);
        EXPECT_EQ(forms::Application, nullptr);
        EXPECT_EQ(show::Parts().form, nullptr);
    }
    EXPECT_EQ(h.InitializeCount(), 2);
}

TEST_F(Entry, StartedMinimisedTheShowWaitsUntilRestored) {
    h.SetStartupShowCommand(7); // SW_SHOWMINNOACTIVE
    AnswerQuestion(forms::IDNO_);
    // Restored after 5 s; until then both entries are written, and nothing else happened.
    h.At(5000, [&] {
        EXPECT_EQ(logFolder.Read(), kStartStamp + log_bytes::kStart + kStartStamp + log_bytes::kNo);
        EXPECT_EQ(h.TickCount(), 0);
        EXPECT_FALSE(Form1->Visible());
        EXPECT_TRUE(Form1->ShowPending());
        EXPECT_EQ(Form1->Label1->Caption(), "");
        h.RestoreApplication();
        EXPECT_FALSE(Form1->ShowPending());
    });
    EXPECT_EQ(RunApplication(), 0);
    ASSERT_FALSE(h.Ticks().empty());
    EXPECT_EQ(h.Ticks()[0].atMs, 5000 + kTick);
    EXPECT_EQ(h.Boxes().back().text, texts::kNoFinaleVerdict);
}

// Reported in the framework's words, or, for anything else, with an empty text; the exit code is
// still 0, and nothing ticked.
TEST_F(Entry, AnExceptionEscapingStartUpIsReportedAndTheExitCodeIsStillZero) {
    std::vector<std::pair<std::string_view, unsigned>> boxes;
    for (const auto& [thrown, report] :
         {std::pair<std::function<void()>, std::string_view>{
              [] { throw forms::Exception("ウィンドウを作成できません"); },
              "ウィンドウを作成できません."},
          {[] { throw std::runtime_error("not ours"); }, ""}}) {
        h.SetBoxHandler([thrown](const BoxRecord& box) {
            if (box.text == texts::kQuestionText)
                thrown();
            return BoxAnswer{forms::IDOK_, 0};
        });
        EXPECT_EQ(RunApplication(), 0);
        boxes.insert(boxes.end(), {{texts::kQuestionText, 0x34}, {report, 0x10}});
        ExpectBoxes(h.Boxes(), boxes);
    }
    EXPECT_EQ(h.TickCount(), 0);
}

// While the show runs the loop reports what the program's handlers throw (an EAbort silently, a
// standard exception by its own text), and the show goes on to its end, its clock running again.
TEST_F(Entry, HandlerErrorsAreReportedAndTheShowStillRunsToItsEnd) {
    int cancelBoxes = 0;
    h.SetBoxHandler([&](const BoxRecord& box) -> BoxAnswer {
        if (box.text == texts::kQuestionText)
            return {forms::IDNO_, 0};
        if (box.text == texts::kCancelText) {
            switch (++cancelBoxes) {
            case 1:
                throw forms::Exception("ボックスを表示できません");
            case 2:
                throw forms::EAbort("dropped without a report");
            default:
                throw std::runtime_error("not a framework exception");
            }
        }
        return {forms::IDOK_, 0};
    });
    // 7 steps by 1000 ms; then each box restarts the clock for a full interval: 5 more by 1900.
    h.At(1000, [&] {
        EXPECT_EQ(Form1->ProgressBar1->Position(), 7);
        h.Click(*Form1->btnCancel);
    });
    h.At(1250, [&] { h.Click(*Form1->btnCancel); });
    h.At(1500, [&] { h.Click(*Form1->btnCancel); });
    h.At(1900, [&] { EXPECT_EQ(Form1->ProgressBar1->Position(), 12); });

    EXPECT_EQ(RunApplication(), 0);
    EXPECT_EQ(cancelBoxes, 3);
    ExpectBoxes(h.Boxes(), {{texts::kQuestionText, 0x34},
                            {texts::kCancelText, 0},
                            {"ボックスを表示できません.", 0x10},
                            {texts::kCancelText, 0},
                            {texts::kCancelText, 0},
                            {"not a framework exception.", 0x10},
                            {texts::kNoFinaleFirst, 0},
                            {texts::kFinaleSecond, 0},
                            {texts::kNoFinaleVerdict, 0}});
}

} // namespace
