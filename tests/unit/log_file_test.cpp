#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "log/activity_log.h"
#include "log_entry_bytes.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

class FakeClock final : public platform::Clock {
public:
    platform::LocalTime now{2025, 1, 2, 4, 15, 4, 5, 678};
    platform::LocalTime Now() override { return now; }
    void Sleep(unsigned milliseconds) override {
        now.second += static_cast<int>(milliseconds / 1000);
    }
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh folder for the log, the fake clock installed, and LogFilePath put back afterwards.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("germ-log-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
        saved_ = LogFilePath;
        LogFilePath = (dir_ / "prank.txt").string();
        platform::SetClock(&clock_);
    }
    void TearDown() override {
        platform::SetClock(nullptr);
        SetLogModulePath("");
        LogFilePath = saved_;
        fs::remove_all(dir_);
    }
    fs::path dir_;
    FakeClock clock_;
    std::string saved_;
};

// On the host the locale's defaults stand: "M/d/yy", 12-hour, "am"/"pm" after the time.
const std::string kStamp = "1/2/25 3:04:05 pm";

} // namespace

TEST_F(LogFile, EntriesAreStampAndTextInCodePage932) {
    AppendLogEntry(activity_log::kStartText, true);
    LogChoice(6);
    LogChoice(7);
    LogChoice(0); // anything but Yes counts as No
    EXPECT_EQ(ReadAll(LogFilePath), kStamp + log_bytes::kStart + kStamp + log_bytes::kYes + kStamp +
                                        log_bytes::kNo + kStamp + log_bytes::kNo);
}

TEST_F(LogFile, ExistingContentIsKeptAndTheRunAppendedInOrder) {
    const std::string old("old \x82\xa0 content\r\n\x00\xff end", 22);
    WriteAll(LogFilePath, old);
    AppendLogEntry(activity_log::kStartText, true);
    clock_.Sleep(2000);
    LogChoice(7);
    EXPECT_EQ(ReadAll(LogFilePath),
              old + kStamp + log_bytes::kStart + "1/2/25 3:04:07 pm" + log_bytes::kNo);
}

TEST_F(LogFile, FailuresAreSilent) {
    // The choice entry never creates the file.
    LogChoice(6);
    EXPECT_FALSE(fs::exists(LogFilePath));

    // A folder bearing the log file's name: nothing is written, nothing thrown.
    fs::create_directory(LogFilePath);
    AppendLogEntry(activity_log::kStartText, true);
    LogChoice(6);
    EXPECT_TRUE(fs::is_directory(LogFilePath));
    EXPECT_TRUE(fs::is_empty(LogFilePath));

    // A missing folder, and no path at all.
    LogFilePath = (dir_ / "missing" / "prank.txt").string();
    AppendLogEntry(activity_log::kStartText, true);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    LogFilePath.clear();
    AppendLogEntry(activity_log::kStartText, true);
    // Nothing was made anywhere in the folder but the one folder the test put there.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator{}), 1);
}

TEST_F(LogFile, StartLogWritesBesideTheExecutable) {
    // Where a test puts it.
    SetLogModulePath((dir_ / "prank.exe").string());
    StartLog();
    SetLogModulePath("");
    EXPECT_EQ(LogFilePath, (dir_ / "prank.txt").string());
    EXPECT_EQ(ReadAll(LogFilePath), kStamp + log_bytes::kStart);

    // The running executable's own; the file goes again unless it was there before.
    // This test program has no extension, so ".txt" is appended to its name.
    const std::string beside = fs::read_symlink("/proc/self/exe").string() + ".txt";
    const bool existed = fs::exists(beside);
    const std::string before = existed ? ReadAll(beside) : std::string();
    StartLog();
    EXPECT_EQ(LogFilePath, beside);
    EXPECT_EQ(ReadAll(beside), before + kStamp + log_bytes::kStart);
    if (!existed)
        fs::remove(beside);
}
