#pragma once
// Builds the program's application object and main window on the headless backend in virtual
// time, the way the entry does, for the show's tests.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "forms/headless/harness.h"
#include "log/activity_log.h"
#include "show/show.h"
#include "show/texts.h"
#include "ui/Unit1.h"

namespace show_test {

using forms::headless::BoxAnswer;
using forms::headless::BoxRecord;
namespace texts = show::texts;

inline constexpr int kTick = 125;

// A folder of the test's own for the program's log, removed with everything in it afterwards:
// the program runs as if it were <folder>/Germcatcher.exe and so logs to <folder>/Germcatcher.txt.
class LogFolder {
public:
    LogFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "germ-unit-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder for the log");
        dir_ = pattern;
        SetLogModulePath((dir_ / "Germcatcher.exe").string());
    }
    ~LogFolder() {
        SetLogModulePath("");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

    std::string Path() const { return (dir_ / "Germcatcher.txt").string(); }
    std::string Read() const {
        std::ifstream in(Path(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path dir_;
};

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

// The log with each entry's time stamp left out: the entry texts, in order, byte for byte.
inline std::string WithoutStamps(const std::string& log) {
    std::string out;
    size_t at = 0;
    while (at < log.size()) {
        const size_t text = log.find("\r\n", at);
        const size_t end = text == std::string::npos ? text : log.find("\r\n\r\n", text + 2);
        if (end == std::string::npos)
            return out + log.substr(at); // a torn tail stays for the comparison to show
        out += log.substr(text, end + 4 - text);
        at = end + 4;
    }
    return out;
}

} // namespace show_test
