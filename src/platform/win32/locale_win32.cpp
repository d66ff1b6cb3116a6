#include <windows.h>

#include "platform/locale.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// The user's regional settings as stored for the user. The system rewrites them when the user
// changes the settings and then announces the change, while a running process's cached locale
// data need not follow (Wine keeps what it read at start), so a re-read looks here first. They
// count only while they belong to the process's user locale. The key is opened and its locale
// checked once per read of the settings: each registry call is a round trip to the system, and
// the log's first entry is written before the program's first box.
class StoredSettings {
public:
    StoredSettings() {
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0, KEY_QUERY_VALUE,
                            &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        std::wstring storedLocale;
        wchar_t userLocale[LOCALE_NAME_MAX_LENGTH];
        if (!Read(L"LocaleName", storedLocale) ||
            ::GetUserDefaultLocaleName(userLocale, LOCALE_NAME_MAX_LENGTH) == 0 ||
            ::CompareStringOrdinal(storedLocale.c_str(), -1, userLocale, -1, TRUE) != CSTR_EQUAL)
            Close();
    }
    ~StoredSettings() { Close(); }
    StoredSettings(const StoredSettings&) = delete;
    StoredSettings& operator=(const StoredSettings&) = delete;

    std::string operator()(LCTYPE type) const {
        static constexpr struct {
            LCTYPE type;
            const wchar_t* name;
        } kNames[] = {
            {LOCALE_SSHORTDATE, L"sShortDate"},
            {LOCALE_SDATE, L"sDate"},
            {LOCALE_STIME, L"sTime"},
            {LOCALE_ITLZERO, L"iTLZero"},
            {LOCALE_ITIME, L"iTime"},
            {LOCALE_ITIMEMARKPOSN, L"iTimePrefix"},
            {LOCALE_S1159, L"s1159"},
            {LOCALE_S2359, L"s2359"},
            {LOCALE_ICALENDARTYPE, L"iCalendarType"},
        };
        std::wstring value;
        for (const auto& entry : kNames)
            if (entry.type == type && Read(entry.name, value))
                return win32::Narrow(value);
        return {};
    }

private:
    bool Read(const wchar_t* name, std::wstring& out) const {
        wchar_t buffer[128];
        DWORD size = sizeof buffer;
        if (!key_ || ::RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
                         ERROR_SUCCESS)
            return false;
        out.assign(buffer);
        return true;
    }
    void Close() {
        if (key_)
            ::RegCloseKey(key_);
        key_ = nullptr;
    }

    HKEY key_ = nullptr;
};

// The user locale's value for `type`, or empty when the system has none.
std::string Info(const StoredSettings& stored, LCTYPE type) {
    if (std::string value = stored(type); !value.empty())
        return value;
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

void Read(const StoredSettings& stored, LCTYPE type, std::string& field) {
    std::string value = Info(stored, type);
    if (!value.empty())
        field = std::move(value);
}

// The numeric flags come as decimal text ("0", "1"); any non-zero value sets the flag.
void ReadFlag(const StoredSettings& stored, LCTYPE type, bool& flag) {
    const std::string value = Info(stored, type);
    if (!value.empty())
        flag = value.find_first_not_of('0') != std::string::npos;
}

} // namespace

LocaleSettings ReadLocaleSettings() {
    const StoredSettings stored;
    LocaleSettings s;
    Read(stored, LOCALE_SSHORTDATE, s.shortDate);
    Read(stored, LOCALE_SDATE, s.dateSeparator);
    Read(stored, LOCALE_STIME, s.timeSeparator);
    ReadFlag(stored, LOCALE_ITLZERO, s.hourLeadingZero);
    ReadFlag(stored, LOCALE_ITIME, s.twentyFourHour);
    ReadFlag(stored, LOCALE_ITIMEMARKPOSN, s.designatorBeforeTime);
    // The calendars that count years as the Gregorian one: plain, US English, Middle East
    // French, Arabic and the two transliterated ones.
    const std::string calendar = Info(stored, LOCALE_ICALENDARTYPE);
    s.gregorian = calendar.empty() || calendar == "1" || calendar == "2" || calendar == "9" ||
                  calendar == "10" || calendar == "11" || calendar == "12";
    Read(stored, LOCALE_S1159, s.amDesignator);
    Read(stored, LOCALE_S2359, s.pmDesignator);
    for (int i = 0; i < 12; ++i) {
        Read(stored, LOCALE_SABBREVMONTHNAME1 + i, s.shortMonthNames[i]);
        Read(stored, LOCALE_SMONTHNAME1 + i, s.longMonthNames[i]);
    }
    // Windows numbers the days from Monday (1) to Sunday (7); the arrays start on Sunday.
    for (int i = 0; i < 7; ++i) {
        Read(stored, LOCALE_SABBREVDAYNAME1 + i, s.shortDayNames[(i + 1) % 7]);
        Read(stored, LOCALE_SDAYNAME1 + i, s.longDayNames[(i + 1) % 7]);
    }
    return s;
}

std::string FormatDateInUserCalendar(const LocalTime& time, const std::string& pattern) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.year);
    st.wMonth = static_cast<WORD>(time.month);
    st.wDay = static_cast<WORD>(time.day);
    st.wDayOfWeek = static_cast<WORD>(time.dayOfWeek);
    if (time.year < 1601 || time.year > 30827)
        return {};
    const std::wstring format = win32::Widen(pattern);
    wchar_t buffer[256];
    const int n =
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, format.c_str(), buffer, 256, nullptr);
    if (n <= 1)
        return {};
    return win32::Narrow(std::wstring_view(buffer, static_cast<size_t>(n - 1)));
}

} // namespace platform
