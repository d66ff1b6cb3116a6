#include <gtest/gtest.h>

#include <windows.h>

#include "../unit/log_entry_bytes.h"
#include "log/activity_log.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "test_machine.h"

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
        return "<unreadable>";
    std::string out(1 << 20, '\0');
    DWORD n = 0;
    ::ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &n, nullptr);
    ::CloseHandle(h);
    out.resize(n);
    return out;
}

} // namespace

// Under the prefix's Japanese user locale the stamps come out as "yyyy/M/d H:mm:ss".
TEST(LogWin32, StartLogAndChoiceBesideTheExecutable) {
    GERM_NEEDS_JAPANESE_LOCALE();
    FixedClock clock;
    platform::SetClock(&clock);
    ReloadLogSettings();
    StartLog();
    clock.now.second = 7;
    LogChoice(6);
    platform::SetClock(nullptr);

    // The system's own name of this program, its ".exe" replaced.
    wchar_t exe[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ASSERT_GT(n, 4u);
    EXPECT_EQ(LogFilePath, platform::win32::Narrow(std::wstring(exe, n - 4) + L".txt"));
    EXPECT_TRUE(LogFilePath.ends_with("\\germ_win32_tests.txt")) << LogFilePath;
    const std::string run =
        "2025/1/2 15:04:05" + log_bytes::kStart + "2025/1/2 15:04:07" + log_bytes::kYes;
    const std::string log = ReadAll(LogFilePath);
    ASSERT_GE(log.size(), run.size());
    EXPECT_EQ(log.substr(log.size() - run.size()), run);
}
