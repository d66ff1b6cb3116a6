#pragma once
// The activity log: a time-stamped Shift_JIS text file beside the executable that records every
// start of the program and the answer to the opening question. Logging never disturbs the show:
// every failure is swallowed.
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/locale.h"

// Full path of the log file (UTF-8), set by StartLog.
extern std::string LogFilePath;

// Sets LogFilePath from the executable's path, then appends the start entry (which may create
// the file). When the path cannot be told there is no log: LogFilePath is empty.
void StartLog() noexcept;
// Appends the entry for the opening question's answer: Yes for 6, No for anything else. Never
// creates the file.
void LogChoice(int answerCode) noexcept;
// Appends the time stamp and `text` (UTF-8) as code page 932 bytes in one write.
void AppendLogEntry(std::string_view text, bool mayCreate) noexcept;

// Re-reads the locale's date and time settings; called when the system announces a change.
void ReloadLogSettings() noexcept;

namespace activity_log {

// The executable's path with its extension replaced by ".txt". The extension starts at the last
// "." of the name provided no path separator or ":" follows it; without one ".txt" is appended.
std::string DeriveLogPath(std::string_view modulePath);

// The time stamp for `time` (UTF-8): the date in the short date pattern (rendered by the system
// when the user's calendar is not the Gregorian one), then, unless the hour,
// minute and second are all zero, a space and the time built from the locale's flags.
std::string FormatStamp(const platform::LocalTime& time, const platform::LocaleSettings& locale);

// The entry texts (UTF-8).
inline constexpr std::string_view kStartText = "\r\nGerm Catcher を起動しました。\r\n\r\n";
inline constexpr std::string_view kYesText = "\r\nウィルスの実行を選択しました。\r\n\r\n";
inline constexpr std::string_view kNoText = "\r\nメールの転送を選択しました。\r\n\r\n";

} // namespace activity_log
