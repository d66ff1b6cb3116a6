// Exceptions from the program's own event handlers while the real show runs: the loop reports
// them with the standard report and the show goes on to its end, with its clock running again.
#include <stdexcept>

#include "app/run_application.h"
#include "show_test_support.h"

namespace {

using namespace show_test;

TEST(HandlerErrors, AreReportedAndTheShowStillRunsToItsEnd) {
    LogFolder logFolder;
    forms::headless::Harness h;
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
    int positionAtFirst = -1, positionLater = -1;
    h.At(1000, [&] {
        positionAtFirst = Form1->ProgressBar1->Position();
        h.Click(*Form1->btnCancel);
    });
    h.At(1250, [&] { h.Click(*Form1->btnCancel); });
    h.At(1500, [&] { h.Click(*Form1->btnCancel); });
    h.At(1900, [&] { positionLater = Form1->ProgressBar1->Position(); });

    EXPECT_EQ(RunApplication(), 0);

    std::vector<std::string> reports;
    for (const BoxRecord& box : h.Boxes()) {
        if (box.flags == 0x10u) {
            EXPECT_EQ(box.caption, "Germcatcher");
            reports.push_back(box.text);
        }
    }
    // The EAbort goes unreported; the foreign exception is reported too (in words of the loop's
    // own choosing).
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], "ボックスを表示できません.");
    EXPECT_EQ(cancelBoxes, 3);
    // The box that threw left the clock running: the bar kept filling and the show ended with
    // the No path's verdict.
    EXPECT_GT(positionLater, positionAtFirst);
    EXPECT_EQ(h.Boxes().back().text, texts::kNoFinaleVerdict);
}

} // namespace
