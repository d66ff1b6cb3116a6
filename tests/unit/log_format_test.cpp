#include <gtest/gtest.h>

#include "log/activity_log.h"

using activity_log::DeriveLogPath;
using activity_log::FormatStamp;

TEST(LogPath, ReplacesOrAppendsTheExtension) {
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank.exe"), "C:\\Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank.backup.exe"), "C:\\Tools\\prank.backup.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank"), "C:\\Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\Tools\\prank."), "C:\\Tools\\prank.txt");
    // A dot in a folder name is not the file's extension, whichever separator follows it.
    EXPECT_EQ(DeriveLogPath("C:\\My.Tools\\prank"), "C:\\My.Tools\\prank.txt");
    EXPECT_EQ(DeriveLogPath("/opt/my.tools/prank"), "/opt/my.tools/prank.txt");
    EXPECT_EQ(DeriveLogPath("C:prank.exe"), "C:prank.txt");
    EXPECT_EQ(DeriveLogPath("\\\\?\\UNC\\server\\share.x\\prank.exe"),
              "\\\\?\\UNC\\server\\share.x\\prank.txt");
}

TEST(LogPath, JapaneseFolderNamesKeepTheirSeparators) {
    // In Shift_JIS the second byte of 表, ソ and 能 is 0x5C ("\"); in UTF-8 no byte of them is.
    EXPECT_EQ(DeriveLogPath("C:\\表\\ソ\\能\\prank.exe"), "C:\\表\\ソ\\能\\prank.txt");
    EXPECT_EQ(DeriveLogPath("C:\\表.d\\ソフト"), "C:\\表.d\\ソフト.txt");
}

TEST(LogPath, NoModulePathMeansNoLog) {
    EXPECT_EQ(DeriveLogPath(""), "");
}

namespace {

platform::LocalTime At(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return platform::LocalTime{year, month, day, 4, hour, minute, second, ms};
}

platform::LocaleSettings Japanese() {
    platform::LocaleSettings s;
    s.shortDate = "yyyy/M/d";
    s.twentyFourHour = true;
    s.amDesignator = "午前";
    s.pmDesignator = "午後";
    return s;
}

platform::LocaleSettings UnitedStates() {
    platform::LocaleSettings s;
    s.shortDate = "M/d/yyyy";
    s.amDesignator = "AM";
    s.pmDesignator = "PM";
    return s;
}

} // namespace

TEST(LogStamp, TwentyFourHourLocales) {
    const auto ja = Japanese();
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 15, 4, 5), ja), "2025/1/2 15:04:05");
    EXPECT_EQ(FormatStamp(At(2025, 11, 30, 9, 0, 7), ja), "2025/11/30 9:00:07");

    platform::LocaleSettings de = ja;
    de.shortDate = "dd/MM/yyyy"; // every "/" becomes the separator
    de.dateSeparator = ".";
    de.hourLeadingZero = true;
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 9, 4, 5), de), "02.01.2025 09:04:05");
    de.shortDate = "d.M.yy";
    de.timeSeparator = "h";
    EXPECT_EQ(FormatStamp(At(2009, 1, 2, 9, 4, 5), de), "2.1.09 09h04h05");
}

TEST(LogStamp, TwelveHourLocales) {
    const auto us = UnitedStates();
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 15, 4, 5), us), "1/2/2025 3:04:05 PM");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 9, 4, 5), us), "1/2/2025 9:04:05 AM");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 12, 0, 0), us), "1/2/2025 12:00:00 PM");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 30, 0), us), "1/2/2025 12:30:00 AM");

    platform::LocaleSettings zero = us;
    zero.hourLeadingZero = true;
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 15, 4, 5), zero), "1/2/2025 03:04:05 PM");

    // Korean style "tt h:mm:ss": the designator before the hour.
    platform::LocaleSettings ko;
    ko.shortDate = "yyyy-MM-dd";
    ko.amDesignator = "오전";
    ko.pmDesignator = "오후";
    ko.designatorBeforeTime = true;
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 15, 4, 5), ko), "2025-01-02 오후 3:04:05");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 1), ko), "2025-01-02 오전 12:00:01");
}

TEST(LogStamp, MidnightShowsTheDateAlone) {
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0), Japanese()), "2025/1/2");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0, 999), UnitedStates()), "1/2/2025");
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 1), Japanese()), "2025/1/2 0:00:01");
    // Milliseconds never show.
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 23, 59, 59, 999), Japanese()), "2025/1/2 23:59:59");
}

TEST(LogStamp, DatePatternTokens) {
    platform::LocaleSettings s; // defaults: "M/d/yy", 12-hour, am/pm
    EXPECT_EQ(FormatStamp(At(2007, 3, 4, 13, 5, 6), s), "3/4/07 1:05:06 pm");
    s.shortDate = "m/d/yy"; // a lowercase m in a date pattern is the month
    EXPECT_EQ(FormatStamp(At(2007, 3, 4, 0, 0, 0), s), "3/4/07");
    s.shortDate = "ddd, MMM d, yyyy";
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0), s), "Thu, Jan 2, 2025");
    s.shortDate = "dddd d MMMM y";
    EXPECT_EQ(FormatStamp(At(2005, 12, 31, 0, 0, 0), s), "Thursday 31 December 5");
    s.shortDate = "gg yyyy'年'M'月'd'日'";
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0), s), "2025年1月2日");
    s.shortDate = "'d/M' d/M ''yy";
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0), s), "d/M 2/1 '25");
    s.shortDate = "yyyy/MM/dd 'open";
    EXPECT_EQ(FormatStamp(At(2025, 1, 2, 0, 0, 0), s), "2025/01/02 open");
}
