#pragma once
// What a Windows-side test may assume of the machine it runs on: nothing of its locale (the
// expected values come from the system, see stamp_oracle.h), and its user's settings are left
// alone unless the run allows changing them.
#include <windows.h>

namespace test_machine {

// Set by the test environment (tools/wine-env.sh) and by run_kit.py --may-change-settings, as on
// a hosted runner whose settings are its own.
inline bool MayChangeUserSettings() {
    return GetEnvironmentVariableW(L"GERM_MAY_CHANGE_SETTINGS", nullptr, 0) > 0;
}

} // namespace test_machine
