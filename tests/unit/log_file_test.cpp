#include <stdexcept>

#include "platform/text.h"
#include "show_test_support.h"

namespace fs = std::filesystem;
using show_test::LogFolder;
using test_support::ReadAll;

namespace {

// A folder of its own for the log, a clock that stands still, and the system's clock afterwards.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        LogFilePath = logFolder.LogPath();
        platform::SetClock(&clock_);
    }
    void TearDown() override { platform::SetClock(nullptr); }
    LogFolder logFolder;
    test_support::FixedClock clock_;
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
    std::ofstream(LogFilePath, std::ios::binary) << old;
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
    LogFilePath = (logFolder.Path() / "missing" / "prank.txt").string();
    AppendLogEntry(activity_log::kStartText, true);
    EXPECT_FALSE(fs::exists(logFolder.Path() / "missing"));
    LogFilePath.clear();
    AppendLogEntry(activity_log::kStartText, true);
    // Nothing was made anywhere in the folder but the one folder the test put there.
    EXPECT_EQ(std::distance(fs::directory_iterator(logFolder.Path()), fs::directory_iterator{}), 1);
}

TEST_F(LogFile, StartLogWritesBesideTheExecutableAndNowhereWhenItsPathCannotBeTold) {
    // Where a test puts it.
    StartLog();
    EXPECT_EQ(LogFilePath, logFolder.LogPath());
    EXPECT_EQ(ReadAll(LogFilePath), kStamp + log_bytes::kStart);

    // The running executable's own, as the system tells it (its full path, of the file itself);
    // the file goes again unless it was there before. This test program has no extension, so
    // ".txt" is appended to its name.
    platform::SetModuleFileNameSource(nullptr);
    const std::string beside = fs::read_symlink("/proc/self/exe").string() + ".txt";
    const bool existed = fs::exists(beside);
    const std::string before = ReadAll(beside);
    StartLog();
    EXPECT_EQ(LogFilePath, beside);
    EXPECT_EQ(ReadAll(beside), before + kStamp + log_bytes::kStart);

    // A system that cannot tell: no path (the last one is not kept) and no entry anywhere.
    platform::SetModuleFileNameSource([]() -> std::string { throw std::runtime_error("none"); });
    StartLog();
    EXPECT_EQ(LogFilePath, "");
    EXPECT_EQ(ReadAll(beside), before + kStamp + log_bytes::kStart);
    if (!existed)
        fs::remove(beside);
}

TEST(PlatformText, Utf8ToCp932) {
    EXPECT_EQ(platform::Utf8ToCp932("abc\r\n"), "abc\r\n");
    EXPECT_EQ(platform::Utf8ToCp932("表ソ"), "\x95\x5c\x83\x5c");
    EXPECT_EQ(platform::Utf8ToCp932("午後"), "\x8c\xdf\x8c\xe3");
    // Not in code page 932, and not UTF-8 at all: one "?" each, the rest goes on.
    EXPECT_EQ(platform::Utf8ToCp932("a\xc3\xa9z"), "a?z");
    EXPECT_EQ(platform::Utf8ToCp932("a\xffz"), "a?z");
    EXPECT_EQ(platform::Utf8ToCp932("a\xe8\xa1"), "a?");
    EXPECT_EQ(platform::Utf8ToCp932(""), "");
}
