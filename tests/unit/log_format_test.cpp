#include <gtest/gtest.h>

#include "log/activity_log.h"

using activity_log::DeriveLogPath;
using activity_log::FormatStamp;
using platform::LocaleSettings;

TEST(LogPath, ReplacesOrAppendsTheExtension) {
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank.exe"), "C:\\Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank.backup.exe"), "C:\\Tools\\prank.backup.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank"), "C:\\Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank."), "C:\\Tools\\prank.txt");
    // A dot in a folder name is not the file's extension, whichever separator follows it; nor
    // is one that a ":" follows.
    EXPECT_EQ(DeriveLogPath("C:\\My.Tools\\prank"), "C:\\My.Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("/opt/my.tools/prank"), "/opt/my.tools/prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank.exe:alt"), "C:\\Tools\\prank.exe:alt.txt");
    EXPECT_EQ(DeriveLogPath("C:prank.exe"), "C:prank.txt");
    EXPECT_EQ(DeriveLogPath("\\\\?\\UNC\\server\\share.x\\prank.exe"),
              "\\\\?\\UNC\\server\\share.x\\prank.txt");
    // In Shift_JIS the second byte of 表, ソ and 能 is 0x5C ("\"); in UTF-8 no byte of them is.
    EXPECT_EQ(DeriveLogPath("C:\\表\\ソ\\能\\prank.exe"), "C:\\表\\ソ\\能\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\表.d\\ソフト"), "C:\\表.d\\ソフト.txt");
    // Without the module's path there is no log.
    EXPECT_EQ(DeriveLogPath(""), "");
}

namespace {

platform::LocalTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return platform::LocalTime{year, month, day, 4, hour, minute, second, ms};
}

// Settings in order: short date, date and time separators, hour with a leading zero, 24-hour,
// designator before the time, Gregorian calendar, morning and afternoon designators.
const LocaleSettings kJa{"yyyy/M/d", "/", ":", false, true, false, true, "午前", "午後"};
const LocaleSettings kUs{"M/d/yyyy", "/", ":", false, false, false, true, "AM", "PM"};
const LocaleSettings kKo{"yyyy-MM-dd", "/", ":", false, false, true, true, "오전", "오후"};

struct StampCase {
    LocaleSettings locale;
    platform::LocalTime time;
    std::string_view stamp;
};

const StampCase kStamps[] = {
    // 24-hour locales; every "/" of the pattern becomes the date separator.
    {kJa, At(2025, 1, 2, 15, 4, 5), "2025/1/2 15:04:05"},
    {kJa, At(2025, 11, 30, 9, 0, 7), "2025/11/30 9:00:07"},
    {{"dd/MM/yyyy", ".", ":", true, true}, At(2025, 1, 2, 9, 4, 5), "02.01.2025 09:04:05"},
    {{"d.M.yy", ".", "h", true, true}, At(2009, 1, 2, 9, 4, 5), "2.1.09 09h04h05"},
    // 12-hour ones, the designator after the time or (Korean "tt h:mm:ss") before it.
    {kUs, At(2025, 1, 2, 15, 4, 5), "1/2/2025 3:04:05 PM"},
    {kUs, At(2025, 1, 2, 9, 4, 5), "1/2/2025 9:04:05 AM"},
    {kUs, At(2025, 1, 2, 12, 0, 0), "1/2/2025 12:00:00 PM"},
    {kUs, At(2025, 1, 2, 0, 30, 0), "1/2/2025 12:30:00 AM"},
    {{"M/d/yyyy", "/", ":", true}, At(2025, 1, 2, 15, 4, 5), "1/2/2025 03:04:05 pm"},
    {kKo, At(2025, 1, 2, 15, 4, 5), "2025-01-02 오후 3:04:05"},
    {kKo, At(2025, 1, 2, 0, 0, 1), "2025-01-02 오전 12:00:01"},
    // Midnight shows the date alone; milliseconds never show.
    {kJa, At(2025, 1, 2, 0, 0, 0), "2025/1/2"},
    {kUs, At(2025, 1, 2, 0, 0, 0, 999), "1/2/2025"},
    {kJa, At(2025, 1, 2, 0, 0, 1), "2025/1/2 0:00:01"},
    {kJa, At(2025, 1, 2, 23, 59, 59, 999), "2025/1/2 23:59:59"},
    // The pattern's tokens, with the defaults ("M/d/yy", 12-hour, am/pm) for the rest; a lowercase
    // m in a date pattern is the month.
    {{}, At(2007, 3, 4, 13, 5, 6), "3/4/07 1:05:06 pm"},
    {{"m/d/yy"}, At(2007, 3, 4, 0, 0, 0), "3/4/07"},
    {{"ddd, MMM d, yyyy"}, At(2025, 1, 2, 0, 0, 0), "Thu, Jan 2, 2025"},
    {{"dddd d MMMM y yyy"}, At(2005, 12, 31, 0, 0, 0), "Thursday 31 December 5 2005"},
    {{"gg yyyy'年'M'月'd'日'"}, At(2025, 1, 2, 0, 0, 0), "2025年1月2日"},
    // '' is one quote, inside quoted text or out; an open quote runs to the end.
    {{"'d/M' d/M ''yy 'it''s'"}, At(2025, 1, 2, 0, 0, 0), "d/M 2/1 '25 it's"},
    {{"yyyy/MM/dd 'open"}, At(2025, 1, 2, 0, 0, 0), "2025/01/02 open"},
    // A day of the week or a month beyond the names has none.
    {{"[ddd|dddd|MMM|MMMM]"}, {2025, 13, 2, 7, 0, 0, 0, 0}, "[|||]"},
};

} // namespace

TEST(LogStamp, EachLocaleAndPattern) {
    for (const StampCase& c : kStamps)
        EXPECT_EQ(FormatStamp(c.time, c.locale), c.stamp) << c.locale.shortDate;
}
