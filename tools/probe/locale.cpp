// The user's regional settings: read, changed as the Region settings change them, and the log's
// time stamps as the system itself renders them for those settings.
#include "commands.h"
#include "output.h"
#include "stamp_oracle.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct LcName {
    const wchar_t* name;
    LCTYPE type;
};
const LcName kLcTypes[] = {
    {L"SNAME", LOCALE_SNAME},
    {L"SSHORTDATE", LOCALE_SSHORTDATE},
    {L"SLONGDATE", LOCALE_SLONGDATE},
    {L"SDATE", LOCALE_SDATE},
    {L"STIME", LOCALE_STIME},
    {L"STIMEFORMAT", LOCALE_STIMEFORMAT},
    {L"ITIME", LOCALE_ITIME},
    {L"ITLZERO", LOCALE_ITLZERO},
    {L"ITIMEMARKPOSN", LOCALE_ITIMEMARKPOSN},
    {L"S1159", LOCALE_S1159},
    {L"S2359", LOCALE_S2359},
    {L"IDEFAULTANSICODEPAGE", LOCALE_IDEFAULTANSICODEPAGE},
};

std::string LocaleLine() {
    std::string s = "{";
    bool first = true;
    for (const LcName& lc : kLcTypes) {
        wchar_t buf[128] = {};
        GetLocaleInfoW(LOCALE_USER_DEFAULT, lc.type, buf, 128);
        s += (first ? "\"" : ",\"") + Utf8(lc.name) + "\":" + Quote(buf);
        first = false;
    }
    return s + ",\"ACP\":" + Num(GetACP()) + "}";
}

} // namespace

int SetLocale(int, wchar_t** argv) {
    std::wstring name = argv[2];
    if (name.rfind(L"LOCALE_", 0) == 0)
        name = name.substr(7);
    for (const LcName& lc : kLcTypes) {
        if (name != lc.name)
            continue;
        if (!SetLocaleInfoW(LOCALE_USER_DEFAULT, lc.type, argv[3]))
            return Fail("SetLocaleInfo failed");
        DWORD_PTR res = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"intl"),
                            SMTO_ABORTIFHUNG, 2000, &res);
        Emit("{\"set\":true}");
        return 0;
    }
    return Fail("unknown LCTYPE");
}

// With --again-after-ms the values are read a second time in the same process after the wait,
// which tells whether a running program sees a change made meanwhile by another one.
int LocaleInfo(int argc, wchar_t** argv) {
    Emit(LocaleLine());
    if (argc >= 4 && std::wstring(argv[2]) == L"--again-after-ms") {
        Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 0)));
        Emit(LocaleLine());
    }
    return 0;
}

// stamps YYYY-MM-DDTHH:MM:SS COUNT: the log's stamp for COUNT whole seconds from that local
// time, one {"stamp": ...} line each, as the system renders the user's settings.
int Stamps(int argc, wchar_t** argv) {
    SYSTEMTIME st{};
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (argc < 4 || std::swscanf(argv[2], L"%u-%u-%uT%u:%u:%u", &y, &mo, &d, &h, &mi, &s) != 6)
        return Usage(argv[1]);
    st.wYear = static_cast<WORD>(y), st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d), st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi), st.wSecond = static_cast<WORD>(s);
    FILETIME ft{};
    if (!SystemTimeToFileTime(&st, &ft))
        return Fail("no such time");
    ULARGE_INTEGER t{};
    t.LowPart = ft.dwLowDateTime, t.HighPart = ft.dwHighDateTime;
    const long count = std::wcstol(argv[3], nullptr, 0);
    for (long i = 0; i < count; ++i, t.QuadPart += 10000000ULL) {
        ft.dwLowDateTime = t.LowPart, ft.dwHighDateTime = t.HighPart;
        FileTimeToSystemTime(&ft, &st); // also gives the day of the week
        const std::wstring stamp = stamp_oracle::Stamp(st);
        if (stamp.empty())
            return Fail("the system could not render the stamp");
        Emit("{\"stamp\":" + Quote(stamp) + "}");
    }
    return 0;
}
