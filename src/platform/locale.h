#pragma once
// The user's date and time settings that the activity log's time stamp is rendered with.
// Texts are UTF-8. Fields the system leaves empty keep the defaults below.
#include <array>
#include <string>

#include "platform/clock.h"

namespace platform {

struct LocaleSettings {
    std::string shortDate = "M/d/yy"; // Windows short date pattern (d, M, y, '...' quoting)
    std::string dateSeparator = "/";  // replaces each "/" of the pattern
    std::string timeSeparator = ":";
    bool hourLeadingZero = false;
    bool twentyFourHour = false;
    bool designatorBeforeTime = false;
    // Whether the user's calendar counts years as the Gregorian one does. Another (the Japanese
    // era calendar, the Thai Buddhist, the Hijri) is for the system to render.
    bool gregorian = true;
    std::string amDesignator = "am";
    std::string pmDesignator = "pm";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// Reads the user locale's current settings (Win32: GetLocaleInfoW; POSIX: the defaults).
LocaleSettings ReadLocaleSettings();

// The date of `time` in the user's calendar, rendered by the system with the Windows date
// `pattern` taken literally (no "/" rule); empty where the system cannot (POSIX: always).
std::string FormatDateInUserCalendar(const LocalTime& time, const std::string& pattern);

} // namespace platform
