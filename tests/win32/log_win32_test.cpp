#include <gtest/gtest.h>

#include <windows.h>

#include "../shared/test_support.h"
#include "log/activity_log.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "stamp_oracle.h"

namespace {

using test_support::ReadAll;

std::string Cp932(const std::wstring& text) {
    std::string out(text.size() * 2, '\0');
    out.resize(static_cast<size_t>(
        ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

} // namespace

// The two entries land at the end of the log beside this executable, with the stamps the user's
// settings give, and what the log held before stays as it was.
TEST(LogWin32, StartLogAndChoiceBesideTheExecutable) {
    // The system's own name of this program, its ".exe" replaced.
    wchar_t exe[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ASSERT_GT(n, 4u);
    const std::wstring log = std::wstring(exe, n - 4) + L".txt";
    const std::string before = ReadAll(log);

    test_support::FixedClock clock;
    platform::SetClock(&clock);
    ReloadLogSettings();
    StartLog();
    clock.now.second = 7;
    LogChoice(6);
    platform::SetClock(nullptr);

    EXPECT_EQ(LogFilePath, platform::win32::Narrow(log));
    EXPECT_TRUE(LogFilePath.ends_with("\\germ_win32_tests.txt")) << LogFilePath;
    const std::string start = Cp932(stamp_oracle::Stamp({2025, 1, 4, 2, 15, 4, 5, 0}));
    const std::string choice = Cp932(stamp_oracle::Stamp({2025, 1, 4, 2, 15, 4, 7, 0}));
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(ReadAll(platform::win32::Widen(LogFilePath)),
              before + start + log_bytes::kStart + choice + log_bytes::kYes);
}
