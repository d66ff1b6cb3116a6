// Fuzzes the log's time stamp renderer with arbitrary locale settings and clock readings: it must
// never crash or hit undefined behaviour, its output stays within a bound set by its inputs, the
// date part never depends on the time of day, and valid UTF-8 in gives valid UTF-8 out (the
// stamp goes on to the code page 932 converter).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/activity_log.h"
#include "platform/text.h"

namespace {

bool ValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Short texts keep the fuzzer's effort on structure rather than on long strings.
std::string Text(FuzzedDataProvider& in, size_t max = 12) {
    return in.ConsumeRandomLengthString(max);
}

int Field(FuzzedDataProvider& in) {
    // Mostly plausible values, sometimes anything at all.
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegral<int>();
    case 1:
        return in.ConsumeIntegralInRange(-2, 100);
    default:
        return in.ConsumeIntegralInRange(0, 12000);
    }
}

// Every text of the settings that can reach the stamp.
std::vector<const std::string*> Texts(const platform::LocaleSettings& l) {
    std::vector<const std::string*> out{&l.shortDate, &l.dateSeparator, &l.timeSeparator,
                                        &l.amDesignator, &l.pmDesignator};
    for (const auto& name : l.shortMonthNames)
        out.push_back(&name);
    for (const auto& name : l.longMonthNames)
        out.push_back(&name);
    for (const auto& name : l.shortDayNames)
        out.push_back(&name);
    for (const auto& name : l.longDayNames)
        out.push_back(&name);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    platform::LocaleSettings locale;
    locale.shortDate = Text(in, 40);
    locale.dateSeparator = Text(in);
    locale.timeSeparator = Text(in);
    locale.hourLeadingZero = in.ConsumeBool();
    locale.twentyFourHour = in.ConsumeBool();
    locale.designatorBeforeTime = in.ConsumeBool();
    locale.amDesignator = Text(in);
    locale.pmDesignator = Text(in);
    if (in.ConsumeBool()) {
        for (auto& name : locale.shortMonthNames)
            name = Text(in);
        for (auto& name : locale.longDayNames)
            name = Text(in);
    }
    platform::LocalTime t;
    t.year = Field(in);
    t.month = Field(in);
    t.day = Field(in);
    t.dayOfWeek = Field(in);
    t.hour = Field(in);
    t.minute = Field(in);
    t.second = Field(in);
    t.milliseconds = Field(in);

    const std::string stamp = activity_log::FormatStamp(t, locale);

    // Every pattern character yields at most one number, one separator or one name; the time
    // adds at most a designator, two separators and three numbers.
    size_t widest = 11; // "-2147483648"
    for (const std::string* text : Texts(locale))
        widest = std::max(widest, text->size());
    const size_t bound = locale.shortDate.size() * widest + 1 + 6 * widest + 4;
    if (stamp.size() > bound)
        std::abort();

    // The date part is the same whatever the time of day; the time follows it after one space,
    // and only when the hour, minute and second are not all zero.
    platform::LocalTime midnight = t;
    midnight.hour = midnight.minute = midnight.second = 0;
    const std::string date = activity_log::FormatStamp(midnight, locale);
    const bool atMidnight = t.hour == 0 && t.minute == 0 && t.second == 0;
    if (atMidnight ? stamp != date
                   : stamp.size() <= date.size() || stamp.compare(0, date.size(), date) != 0 ||
                         stamp[date.size()] != ' ')
        std::abort();

    bool inputsValid = true;
    for (const std::string* text : Texts(locale))
        inputsValid = inputsValid && ValidUtf8(*text);
    if (inputsValid && !ValidUtf8(stamp))
        std::abort();

    // The converter takes whatever it is given; its output is never longer than two bytes per
    // input byte.
    if (platform::Utf8ToCp932(stamp).size() > 2 * stamp.size())
        std::abort();
    return 0;
}
