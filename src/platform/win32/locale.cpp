#include <windows.h>

#include "platform/locale.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// The user locale's value for `type`, or empty when the system has none.
std::string Info(LCTYPE type) {
    wchar_t buffer[128];
    const int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
    if (n > 1)
        return win32::Narrow(std::wstring_view(buffer, static_cast<size_t>(n - 1)));
    // Longer than any known value: ask for the size, then read it in full.
    if (n == 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        const int size = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
        if (size > 1) {
            std::wstring value(static_cast<size_t>(size), L'\0');
            const int got = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, value.data(), size);
            if (got > 1) {
                value.resize(static_cast<size_t>(got - 1));
                return win32::Narrow(value);
            }
        }
    }
    return {};
}

void Read(LCTYPE type, std::string& field) {
    std::string value = Info(type);
    if (!value.empty())
        field = std::move(value);
}

// The numeric flags come as decimal text ("0", "1"); any non-zero value sets the flag.
void ReadFlag(LCTYPE type, bool& flag) {
    const std::string value = Info(type);
    if (!value.empty())
        flag = value.find_first_not_of('0') != std::string::npos;
}

} // namespace

LocaleSettings ReadLocaleSettings() {
    LocaleSettings s;
    Read(LOCALE_SSHORTDATE, s.shortDate);
    Read(LOCALE_SDATE, s.dateSeparator);
    Read(LOCALE_STIME, s.timeSeparator);
    ReadFlag(LOCALE_ITLZERO, s.hourLeadingZero);
    ReadFlag(LOCALE_ITIME, s.twentyFourHour);
    ReadFlag(LOCALE_ITIMEMARKPOSN, s.designatorBeforeTime);
    Read(LOCALE_S1159, s.amDesignator);
    Read(LOCALE_S2359, s.pmDesignator);
    for (int i = 0; i < 12; ++i) {
        Read(LOCALE_SABBREVMONTHNAME1 + i, s.shortMonthNames[i]);
        Read(LOCALE_SMONTHNAME1 + i, s.longMonthNames[i]);
    }
    // Windows numbers the days from Monday (1) to Sunday (7); the arrays start on Sunday.
    for (int i = 0; i < 7; ++i) {
        Read(LOCALE_SABBREVDAYNAME1 + i, s.shortDayNames[(i + 1) % 7]);
        Read(LOCALE_SDAYNAME1 + i, s.longDayNames[(i + 1) % 7]);
    }
    return s;
}

} // namespace platform
