#pragma once
// The activity log's time stamp as the system itself renders the user's current settings: the
// short date (GetDateFormatEx), and unless the time is midnight a space and the time of day
// (GetTimeFormatEx), whose hour follows the user's 12/24-hour and leading-zero flags, with two
// digits of minutes and seconds, the user's separator and the designator before or after the
// time as the user's flag says. Shared by the Windows-side tests and the probe, so neither takes
// a format for granted.
#include <windows.h>

#include <string>

namespace stamp_oracle {

inline std::wstring UserInfo(LCTYPE type) {
    wchar_t buf[128] = {};
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, 128);
    return buf;
}

inline std::wstring TimeFormat() {
    const bool twelve = UserInfo(LOCALE_ITIME) == L"0";
    std::wstring separator = L"'";
    for (wchar_t c : UserInfo(LOCALE_STIME))
        separator += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
    separator += L"'";
    std::wstring hour = twelve ? L"h" : L"H";
    if (UserInfo(LOCALE_ITLZERO) != L"0")
        hour += hour;
    std::wstring format = hour + separator + L"mm" + separator + L"ss";
    if (twelve)
        format = UserInfo(LOCALE_ITIMEMARKPOSN) != L"0" ? L"tt " + format : format + L" tt";
    return format;
}

// Empty when the system cannot render the date.
inline std::wstring Stamp(const SYSTEMTIME& t) {
    wchar_t date[128] = {}, time[128] = {};
    if (!::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, date, 128,
                           nullptr))
        return {};
    std::wstring stamp = date;
    if (t.wHour || t.wMinute || t.wSecond) {
        if (!::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, TimeFormat().c_str(), time, 128))
            return {};
        stamp += L" ";
        stamp += time;
    }
    return stamp;
}

} // namespace stamp_oracle
