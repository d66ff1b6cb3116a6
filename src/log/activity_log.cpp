#include "log/activity_log.h"

#include <optional>

#include "platform/files.h"
#include "platform/text.h"

std::string LogFilePath;

namespace {

// The locale's date and time settings, read once and again whenever the system announces a
// change.
std::optional<platform::LocaleSettings> g_settings;

const platform::LocaleSettings& Settings() {
    if (!g_settings)
        g_settings = platform::ReadLocaleSettings();
    return *g_settings;
}

} // namespace

void ReloadLogSettings() noexcept {
    try {
        g_settings = platform::ReadLocaleSettings();
    } catch (...) {
        // Keep what was read before; the stamp is no reason to disturb the show.
    }
}

void AppendLogEntry(std::string_view text, bool mayCreate) noexcept {
    try {
        if (LogFilePath.empty())
            return;
        const platform::LocalTime now = platform::GetLocalTime();
        std::string entry = activity_log::FormatStamp(now, Settings());
        entry += text;
        // Stamp and text go out in one write, so a shared log never gets a torn entry.
        platform::AppendToFile(LogFilePath, platform::Utf8ToCp932(entry), mayCreate);
    } catch (...) {
        // Logging never disturbs the show.
    }
}

void StartLog() noexcept {
    try {
        LogFilePath = activity_log::DeriveLogPath(platform::ModuleFileName());
        Settings();
    } catch (...) {
        LogFilePath.clear();
        return;
    }
    AppendLogEntry(activity_log::kStartText, true);
}

void LogChoice(int answerCode) noexcept {
    AppendLogEntry(answerCode == 6 ? activity_log::kYesText : activity_log::kNoText, false);
}
