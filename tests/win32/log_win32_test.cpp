#include <gtest/gtest.h>

#include <windows.h>

#include "../unit/log_entry_bytes.h"
#include "log/activity_log.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "stamp_oracle.h"

namespace {

class FixedClock final : public platform::Clock {
public:
    platform::LocalTime now{2025, 1, 2, 4, 15, 4, 5, 678};
    platform::LocalTime Now() override { return now; }
    void Sleep(unsigned) override {}
};

std::string ReadAll(const std::string& path) {
    const HANDLE h =
        ::CreateFileW(platform::win32::Widen(path).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string out(1 << 20, '\0');
    DWORD n = 0;
    ::ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &n, nullptr);
    ::CloseHandle(h);
    out.resize(n);
    return out;
}

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
    const std::string before = ReadAll(platform::win32::Narrow(log));

    FixedClock clock;
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
    EXPECT_EQ(ReadAll(LogFilePath), before + start + log_bytes::kStart + choice + log_bytes::kYes);
}
