#pragma once
// Builds the program's application object and main window on the headless backend in virtual
// time, the way the entry does, for the show's tests.
#include <gtest/gtest.h>

#include <memory>
#include <source_location>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../shared/test_support.h"
#include "forms/headless/harness.h"
#include "log/activity_log.h"
#include "platform/files.h"
#include "show/show.h"
#include "show/texts.h"
#include "ui/Unit1.h"

namespace show_test {

using forms::headless::BoxAnswer;
using forms::headless::BoxRecord;
namespace texts = show::texts;

inline constexpr int kTick = 125;
// The virtual clock starts at 2024-05-01 10:00:00; on the host the locale's defaults stand
// ("M/d/yy", 12-hour, "am" after the time).
inline const std::string kStartStamp = "5/1/24 10:00:00 am";

// A folder of the test's own for the program's log, removed with everything in it afterwards:
// the program runs as if it were <folder>/Germcatcher.exe and so logs to <folder>/Germcatcher.txt.
class LogFolder : public test_support::TempFolder {
public:
    LogFolder() {
        platform::SetModuleFileNameSource(
            [exe = (Path() / "Germcatcher.exe").string()] { return exe; });
    }
    ~LogFolder() {
        platform::SetModuleFileNameSource(nullptr);
        LogFilePath.clear();
    }
    std::string LogPath() const { return (Path() / "Germcatcher.txt").string(); }
    std::string Read() const { return test_support::ReadAll(LogPath()); }
};

// The boxes' texts and flags, in order; every box of the program bears its name as caption.
inline void ExpectBoxes(const std::vector<BoxRecord>& boxes,
                        const std::vector<std::pair<std::string_view, unsigned>>& expected,
                        std::source_location at = std::source_location::current()) {
    const ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "boxes");
    std::vector<std::tuple<std::string_view, std::string_view, unsigned>> seen, wanted;
    for (const BoxRecord& box : boxes)
        seen.emplace_back(box.text, box.caption, box.flags);
    for (const auto& [text, flags] : expected)
        wanted.emplace_back(text, "Germcatcher", flags);
    EXPECT_EQ(seen, wanted);
}

class ShowTest : public ::testing::Test {
protected:
    // Creates the application and Form1; the opening question gets `answer`.
    void Build(int answer, unsigned readingMs = 0) {
        h.Answer(answer, readingMs);
        app = std::make_unique<forms::TApplication>();
        app->SetTitle(std::string(texts::kProgramName));
        app->CreateForm(Form1);
    }
    // Builds and shows the window at virtual time 0, as the message loop does.
    void Start(int answer) {
        Build(answer);
        Form1->Show();
    }
    void TearDown() override { app.reset(); }

    // Every further box is answered with OK (or `result`) after `readingMs`.
    void AnswerAll(int result = forms::IDOK_, unsigned readingMs = 0) {
        h.SetBoxHandler([=](const BoxRecord&) { return BoxAnswer{result, readingMs}; });
    }
    // The boxes after the opening question.
    std::vector<BoxRecord> ShowBoxes() const {
        const auto& all = h.Boxes();
        return all.size() > 1 ? std::vector<BoxRecord>(all.begin() + 1, all.end())
                              : std::vector<BoxRecord>{};
    }
    int Position() const { return Form1->ProgressBar1->Position(); }

    LogFolder logFolder;
    forms::headless::Harness h; // first in, last out
    std::unique_ptr<forms::TApplication> app;
};

} // namespace show_test
