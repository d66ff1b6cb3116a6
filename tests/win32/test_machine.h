#pragma once
// What a Windows-side test may assume of the machine it runs on. The test environment under
// Wine runs in the ja-JP user locale and lets tests change its settings; a Windows machine
// running the test kit may have another locale, and its user's settings are left alone.
#include <windows.h>

#include <cwchar>

namespace test_machine {

inline bool UserLocaleIs(const wchar_t* name) {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    return GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) &&
           std::wcscmp(locale, name) == 0;
}

// Set by the test environment (tools/wine-env.sh), whose settings are its own.
inline bool MayChangeUserSettings() {
    return GetEnvironmentVariableW(L"GERM_MAY_CHANGE_SETTINGS", nullptr, 0) > 0;
}

} // namespace test_machine

#define GERM_NEEDS_JAPANESE_LOCALE()                                                               \
    if (!test_machine::UserLocaleIs(L"ja-JP"))                                                     \
    GTEST_SKIP() << "expects the ja-JP user locale's settings; this machine's user locale "        \
                    "differs"
