#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "../shared/test_support.h"
#include "log/activity_log.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "platform/win32/wide.h"
#include "stamp_oracle.h"
#include "test_machine.h"

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

std::wstring Extended(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(Extended(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

using test_support::ReadAll;
using test_support::TempFolder;

// A file in the folder, by its UTF-8 path.
std::string File(const TempFolder& dir, const wchar_t* name) {
    return Narrow((dir.Path() / name).wstring());
}

// Starts `program`, a copy of this one, running only the disabled child test `test` (which
// reads its orders from the environment). Returns its process, null when it could not start.
HANDLE StartChild(const std::wstring& program, const std::wstring& test) {
    std::wstring command = L"\"" + program + L"\" --gtest_also_run_disabled_tests " +
                           L"--gtest_filter=PlatformWin32Child.DISABLED_" + test;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                          CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Entry `i` of the writer `writer` in the test of several appending programs; the lengths vary
// so that an entry written over another leaves a torn one.
std::string AppendEntry(const std::string& writer, int i) {
    return writer + " entry " + std::to_string(i) + std::string(static_cast<size_t>(i % 7), '.') +
           "\r\n";
}

} // namespace

TEST(PlatformWin32, ModuleFileNameIsThisExecutable) {
    const std::string path = platform::ModuleFileName();
    const std::wstring wide = Widen(path);
    ASSERT_GT(wide.size(), 3u);
    EXPECT_EQ(wide.substr(1, 2), L":\\");
    EXPECT_EQ(std::filesystem::path(wide).filename(), L"germ_win32_tests.exe");
    EXPECT_TRUE(Exists(wide));
}

// Run by the test below inside a copy of this program (disabled, so a plain run leaves it out):
// reports what the copy sees as its own
// file name.
TEST(PlatformWin32Child, DISABLED_ReportModuleFileName) {
    const char* report = std::getenv("GERM_MODULE_REPORT");
    ASSERT_TRUE(report) << "run by ModuleFileNameOfAJapanesePathIsReadInFull";
    platform::AppendToFile(report, platform::ModuleFileName(), true);
}

// Wine starts no program from a path beyond MAX_PATH characters; a path of Japanese folders
// within it still takes far more than 261 bytes in any multi-byte encoding.
TEST(PlatformWin32, ModuleFileNameOfAJapanesePathIsReadInFull) {
    TempFolder dir;
    std::wstring deep = dir.Path().wstring();
    while (deep.size() < 200) {
        deep += L"\\表ソ能の長いフォルダ名";
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr));
    }
    const std::wstring copy = deep + L"\\ゲーム.exe";
    ASSERT_GT(platform::Utf8ToCp932(Narrow(copy)).size(), 300u);
    ASSERT_TRUE(::CopyFileW(Widen(platform::ModuleFileName()).c_str(), copy.c_str(), FALSE));
    const std::string report = File(dir, L"report.txt");
    ASSERT_TRUE(::SetEnvironmentVariableW(L"GERM_MODULE_REPORT", Widen(report).c_str()));
    const HANDLE child = StartChild(copy, L"ReportModuleFileName");
    ::SetEnvironmentVariableW(L"GERM_MODULE_REPORT", nullptr);
    ASSERT_TRUE(child) << ::GetLastError();
    ::WaitForSingleObject(child, 60000);
    ::CloseHandle(child);
    const std::string seen = ReadAll(Widen(report));
    EXPECT_EQ(seen, Narrow(copy));
    EXPECT_EQ(activity_log::DeriveLogPath(seen), Narrow(deep + L"\\ゲーム.txt"));
}

// What the program reads is what the system answers for the user's current settings, whatever
// the locale; the days come Monday first from the system and Sunday first in the settings.
TEST(PlatformWin32, LocaleSettingsAreTheUsersOwn) {
    using stamp_oracle::UserInfo;
    const platform::LocaleSettings s = platform::ReadLocaleSettings();
    EXPECT_EQ(s.shortDate, Narrow(UserInfo(LOCALE_SSHORTDATE)));
    EXPECT_EQ(s.dateSeparator, Narrow(UserInfo(LOCALE_SDATE)));
    EXPECT_EQ(s.timeSeparator, Narrow(UserInfo(LOCALE_STIME)));
    EXPECT_EQ(s.twentyFourHour, UserInfo(LOCALE_ITIME) != L"0");
    EXPECT_EQ(s.hourLeadingZero, UserInfo(LOCALE_ITLZERO) != L"0");
    EXPECT_EQ(s.designatorBeforeTime, UserInfo(LOCALE_ITIMEMARKPOSN) != L"0");
    EXPECT_EQ(s.amDesignator, Narrow(UserInfo(LOCALE_S1159)));
    EXPECT_EQ(s.pmDesignator, Narrow(UserInfo(LOCALE_S2359)));
    EXPECT_EQ(s.longMonthNames[0], Narrow(UserInfo(LOCALE_SMONTHNAME1)));
    EXPECT_EQ(s.longMonthNames[11], Narrow(UserInfo(LOCALE_SMONTHNAME12)));
    EXPECT_EQ(s.longDayNames[0], Narrow(UserInfo(LOCALE_SDAYNAME7)));
    EXPECT_EQ(s.longDayNames[1], Narrow(UserInfo(LOCALE_SDAYNAME1)));
    EXPECT_EQ(s.shortDayNames[6], Narrow(UserInfo(LOCALE_SABBREVDAYNAME6)));

    // And the stamps written with them are the system's own rendering: morning, afternoon, noon
    // and midnight (the date alone).
    for (SYSTEMTIME t :
         {SYSTEMTIME{2026, 12, 2, 8, 9, 3, 7, 0}, SYSTEMTIME{2026, 1, 4, 1, 15, 4, 5, 0},
          SYSTEMTIME{2026, 12, 2, 8, 12, 0, 0, 0}, SYSTEMTIME{2026, 12, 2, 8, 0, 0, 0, 0}}) {
        const platform::LocalTime local{t.wYear, t.wMonth,  t.wDay,    t.wDayOfWeek,
                                        t.wHour, t.wMinute, t.wSecond, 0};
        EXPECT_EQ(activity_log::FormatStamp(local, s), Narrow(stamp_oracle::Stamp(t)))
            << t.wHour << ":" << t.wMinute;
    }
}

// Each calendar the user's locale offers, as a user picks it in the regional settings (the
// Japanese era calendar under ja-JP): the stamp's date is the system's own rendering in it.
TEST(PlatformWin32, StampInEachCalendarOfTheUserLocaleIsTheSystemsOwnDate) {
    if (!test_machine::MayChangeUserSettings())
        GTEST_SKIP() << "changes the user's calendar for a moment: allowed with "
                        "GERM_MAY_CHANGE_SETTINGS (run_kit.py --may-change-settings)";
    std::vector<std::wstring> calendars;
    ::EnumCalendarInfoExEx(
        [](LPWSTR info, CALID, LPWSTR, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(info);
            return TRUE;
        },
        LOCALE_NAME_USER_DEFAULT, ENUM_ALL_CALENDARS, nullptr, CAL_ICALINTVALUE,
        reinterpret_cast<LPARAM>(&calendars));
    ASSERT_FALSE(calendars.empty());
    // Put back afterwards, whatever happens.
    struct Setting {
        LCTYPE type;
        std::wstring old;
    } saved[] = {{LOCALE_ICALENDARTYPE, {}}, {LOCALE_SSHORTDATE, {}}};
    for (Setting& setting : saved)
        setting.old = stamp_oracle::UserInfo(setting.type);
    struct PutBack {
        Setting* saved;
        ~PutBack() {
            for (int i = 0; i < 2; ++i)
                ::SetLocaleInfoW(LOCALE_USER_DEFAULT, saved[i].type, saved[i].old.c_str());
        }
    } putBack{saved};

    const SYSTEMTIME date{2026, 12, 2, 8, 14, 5, 9, 0};
    const platform::LocalTime later{2026, 12, 8, 2, 14, 5, 9, 0};
    for (const std::wstring& calendar : calendars) {
        SCOPED_TRACE(Narrow(calendar));
        const int id = std::stoi(calendar);
        // The calendars that count years as the Gregorian one does.
        const bool gregorian = id == 1 || id == 2 || (id >= 9 && id <= 12);
        ASSERT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICALENDARTYPE, calendar.c_str()));
        // Another calendar's date with its era, as a 和暦 user writes it.
        ASSERT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE,
                                     gregorian ? saved[1].old.c_str() : L"gg y/M/d"));
        const platform::LocaleSettings s = platform::ReadLocaleSettings();
        EXPECT_EQ(s.gregorian, gregorian);
        EXPECT_EQ(activity_log::FormatStamp(later, s), Narrow(stamp_oracle::Stamp(date)));
    }
}

TEST(PlatformWin32, Utf8ToCp932) {
    EXPECT_EQ(platform::Utf8ToCp932(activity_log::kStartText), log_bytes::kStart);
    EXPECT_EQ(platform::Utf8ToCp932(activity_log::kYesText), log_bytes::kYes);
    EXPECT_EQ(platform::Utf8ToCp932(activity_log::kNoText), log_bytes::kNo);
    EXPECT_EQ(platform::Utf8ToCp932("表ソ能"), "\x95\x5c\x83\x5c\x94\x5c");
    // Characters code page 932 lacks become "?", without best-fit guesses.
    EXPECT_EQ(platform::Utf8ToCp932("a\xc3\xa9z"), "a?z");
    EXPECT_EQ(platform::Utf8ToCp932(""), "");
}

TEST(PlatformWin32, AppendToFileCreatesOnlyWhenAllowedAndNeverTruncates) {
    TempFolder dir;
    const std::string file = File(dir, L"log.txt");
    EXPECT_FALSE(platform::AppendToFile(file, "a", false));
    EXPECT_FALSE(Exists(Widen(file)));
    EXPECT_TRUE(platform::AppendToFile(file, "ab", true));
    EXPECT_TRUE(platform::AppendToFile(file, "cd", true));
    EXPECT_TRUE(platform::AppendToFile(file, "ef", false));
    EXPECT_EQ(ReadAll(Widen(file)), "abcdef");

    // A folder bearing the name is no file to append to.
    const std::string folder = File(dir, L"folder.txt");
    ASSERT_TRUE(::CreateDirectoryW(Widen(folder).c_str(), nullptr));
    EXPECT_FALSE(platform::AppendToFile(folder, "a", true));
    EXPECT_FALSE(platform::AppendToFile(folder, "a", false));
    EXPECT_FALSE(platform::AppendToFile("", "a", true));
}

TEST(PlatformWin32, AppendToFileAlongsideOtherHandles) {
    TempFolder dir;
    const std::string file = File(dir, L"log.txt");
    ASSERT_TRUE(platform::AppendToFile(file, "old", true));

    // Locked by a handle that shares nothing: the append fails and the bytes stay as they were.
    HANDLE h = ::CreateFileW(Widen(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::AppendToFile(file, "new", false));
    EXPECT_FALSE(platform::AppendToFile(file, "new", true));
    ::CloseHandle(h);
    EXPECT_EQ(ReadAll(Widen(file)), "old");

    // Held open for reading and writing with both shared: the append goes on, at the very end,
    // after what that other handle wrote.
    h = ::CreateFileW(Widen(file).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ::SetFilePointer(h, 0, nullptr, FILE_END);
    DWORD n = 0;
    ::WriteFile(h, "XY", 2, &n, nullptr);
    EXPECT_TRUE(platform::AppendToFile(file, "gh", false));
    ::CloseHandle(h);
    EXPECT_EQ(ReadAll(Widen(file)).substr(0, 7), "oldXYgh");
}

// Run by the test below inside copies of this program (disabled, so a plain run leaves it out):
// once every copy is ready, appends its
// numbered entries, of varying lengths, one call each.
TEST(PlatformWin32Child, DISABLED_AppendEntries) {
    const char* file = std::getenv("GERM_APPEND_FILE");
    const char* gate = std::getenv("GERM_APPEND_GATE");
    const char* writer = std::getenv("GERM_APPEND_WRITER");
    ASSERT_TRUE(file && gate && writer) << "run by AppendToFileFromSeveralProgramsAtOnce...";
    const HANDLE ready = ::OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, Widen(gate).c_str());
    const HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, Widen(std::string(gate) + "-go").c_str());
    ASSERT_TRUE(ready && go);
    ::ReleaseSemaphore(ready, 1, nullptr);
    ::WaitForSingleObject(go, 60000);
    for (int i = 0; i < 250; ++i)
        platform::AppendToFile(file, AppendEntry(writer, i), false);
    ::CloseHandle(go);
    ::CloseHandle(ready);
}

// Several programs appending to one file at the same moment: no entry is lost or torn.
TEST(PlatformWin32, AppendToFileFromSeveralProgramsAtOnceKeepsEveryEntry) {
    constexpr int kWriters = 4;
    TempFolder dir;
    const std::string file = File(dir, L"log.txt");
    ASSERT_TRUE(platform::AppendToFile(file, "", true));
    const std::wstring gate = L"Local\\germ-append-" + std::to_wstring(::GetCurrentProcessId());
    const HANDLE ready = ::CreateSemaphoreW(nullptr, 0, kWriters, gate.c_str());
    const HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, (gate + L"-go").c_str());
    ASSERT_TRUE(ready && go);
    ::SetEnvironmentVariableW(L"GERM_APPEND_FILE", Widen(file).c_str());
    ::SetEnvironmentVariableW(L"GERM_APPEND_GATE", gate.c_str());
    const std::wstring self = Widen(platform::ModuleFileName());
    std::vector<HANDLE> children;
    std::vector<std::string> expected;
    for (int w = 0; w < kWriters; ++w) {
        const std::string writer = "w" + std::to_string(w);
        for (int i = 0; i < 250; ++i)
            expected.push_back(AppendEntry(writer, i));
        ::SetEnvironmentVariableW(L"GERM_APPEND_WRITER", Widen(writer).c_str());
        if (const HANDLE child = StartChild(self, L"AppendEntries"))
            children.push_back(child);
    }
    for (const wchar_t* name : {L"GERM_APPEND_FILE", L"GERM_APPEND_GATE", L"GERM_APPEND_WRITER"})
        ::SetEnvironmentVariableW(name, nullptr);
    for (size_t i = 0; i < children.size(); ++i)
        ::WaitForSingleObject(ready, 60000);
    ::SetEvent(go);
    for (HANDLE child : children) {
        ::WaitForSingleObject(child, 60000);
        ::CloseHandle(child);
    }
    ::CloseHandle(go);
    ::CloseHandle(ready);
    ASSERT_EQ(children.size(), static_cast<size_t>(kWriters));

    std::string data = ReadAll(Widen(file));
    std::vector<std::string> entries;
    for (size_t pos = 0, end; pos < data.size(); pos = end + 2) {
        end = data.find("\r\n", pos);
        end = end == std::string::npos ? data.size() : end;
        entries.push_back(data.substr(pos, end + 2 - pos));
    }
    std::sort(entries.begin(), entries.end());
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> lost, stray;
    std::set_difference(expected.begin(), expected.end(), entries.begin(), entries.end(),
                        std::back_inserter(lost));
    std::set_difference(entries.begin(), entries.end(), expected.begin(), expected.end(),
                        std::back_inserter(stray));
    EXPECT_TRUE(lost.empty() && stray.empty())
        << lost.size() << " lost (first: " << (lost.empty() ? "" : lost[0]) << "), " << stray.size()
        << " torn or doubled (first: " << (stray.empty() ? "" : stray[0]) << ")";
}

TEST(PlatformWin32, AppendToFileAtPathsLongerThanMaxPath) {
    TempFolder dir;
    const std::wstring top = dir.Path().wstring();
    std::wstring deep = top;
    while (deep.size() < 280) {
        deep += L"\\a-rather-long-folder-name";
        ASSERT_TRUE(::CreateDirectoryW(Extended(deep).c_str(), nullptr));
    }
    const std::wstring file = deep + L"\\prank.txt";
    ASSERT_GT(file.size(), MAX_PATH);
    EXPECT_TRUE(platform::AppendToFile(Narrow(file), "one", true));
    // Forward slashes and "." and ".." still name the same file.
    std::wstring odd = top + L"/./" + deep.substr(top.size() + 1) + L"/../" +
                       std::filesystem::path(deep).filename().wstring() + L"/prank.txt";
    EXPECT_TRUE(platform::AppendToFile(Narrow(odd), "two", false));
    EXPECT_EQ(ReadAll(Extended(file)), "onetwo");
}
