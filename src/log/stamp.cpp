#include "log/activity_log.h"

#include <cctype>

namespace activity_log {

namespace {

void AppendNumber(std::string& out, int value, int minDigits) {
    // Widened first: the magnitude of the most negative int does not fit an int.
    const long long wide = value;
    std::string digits = std::to_string(wide < 0 ? -wide : wide);
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
    out += digits;
}

// Bounds-checked name lookup: a clock that reports nonsense gets no name rather than a crash.
template <size_t N>
const std::string& Name(const std::array<std::string, N>& names, long long index) {
    static const std::string none;
    return index >= 0 && static_cast<size_t>(index) < N ? names[static_cast<size_t>(index)] : none;
}

// The short date pattern: d/dd/ddd/dddd day, M/MM/MMM/MMMM month (a lowercase m too, for the
// "m/d/yy" style), y/yy/yyyy year, g/gg era (left out), '...' literal, "/" the date separator.
// The pattern as the system reads it, each unquoted "/" replaced by the separator in quotes.
std::string WithQuotedSeparators(const std::string& pattern, const std::string& separator) {
    std::string quoted = "'";
    for (char c : separator)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    quoted += '\'';
    std::string out;
    bool inQuotes = false;
    for (char c : pattern) {
        if (c == '\'')
            inQuotes = !inQuotes;
        if (c == '/' && !inQuotes)
            out += quoted;
        else
            out += c;
    }
    return out;
}

void AppendDate(std::string& out, const platform::LocalTime& t,
                const platform::LocaleSettings& locale) {
    const std::string& pattern = locale.shortDate;
    // Another calendar counts its own years and eras: the system renders that date.
    if (!locale.gregorian) {
        const std::string date = platform::FormatDateInUserCalendar(
            t, WithQuotedSeparators(pattern, locale.dateSeparator));
        if (!date.empty()) {
            out += date;
            return;
        }
    }
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '\'') {
            // Quoted literal; '' stands for one quote, inside quotes or out.
            ++i;
            if (i < pattern.size() && pattern[i] == '\'') {
                out += '\'';
                ++i;
                continue;
            }
            while (i < pattern.size()) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern[i++];
            }
            continue;
        }
        if (lower == 'd' || lower == 'm' || lower == 'y' || lower == 'g') {
            size_t n = 1;
            while (i + n < pattern.size() &&
                   std::tolower(static_cast<unsigned char>(pattern[i + n])) == lower)
                ++n;
            i += n;
            switch (lower) {
            case 'd':
                if (n <= 2)
                    AppendNumber(out, t.day, static_cast<int>(n));
                else
                    out += Name(n == 3 ? locale.shortDayNames : locale.longDayNames, t.dayOfWeek);
                break;
            case 'm':
                if (n <= 2)
                    AppendNumber(out, t.month, static_cast<int>(n));
                else
                    out += Name(n == 3 ? locale.shortMonthNames : locale.longMonthNames,
                                t.month - 1LL);
                break;
            case 'y':
                if (n <= 2)
                    AppendNumber(out, t.year % 100, static_cast<int>(n));
                else
                    AppendNumber(out, t.year, 4);
                break;
            default: // era: not shown, nor the space that would set it apart
                if (i < pattern.size() && pattern[i] == ' ')
                    ++i;
                break;
            }
            continue;
        }
        if (c == '/')
            out += locale.dateSeparator;
        else
            out += c;
        ++i;
    }
}

void AppendTime(std::string& out, const platform::LocalTime& t,
                const platform::LocaleSettings& locale) {
    int hour = t.hour;
    const std::string* designator = nullptr;
    if (!locale.twentyFourHour) {
        designator = hour < 12 ? &locale.amDesignator : &locale.pmDesignator;
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    if (designator && locale.designatorBeforeTime)
        out += *designator + ' ';
    AppendNumber(out, hour, locale.hourLeadingZero ? 2 : 1);
    out += locale.timeSeparator;
    AppendNumber(out, t.minute, 2);
    out += locale.timeSeparator;
    AppendNumber(out, t.second, 2);
    if (designator && !locale.designatorBeforeTime)
        out += ' ' + *designator;
}

} // namespace

std::string FormatStamp(const platform::LocalTime& time, const platform::LocaleSettings& locale) {
    std::string out;
    AppendDate(out, time, locale);
    if (time.hour != 0 || time.minute != 0 || time.second != 0) {
        out += ' ';
        AppendTime(out, time, locale);
    }
    return out;
}

} // namespace activity_log
