#pragma once
// The probe's commands that stand in for a person and for the screen on the Windows side, and
// the output they share with the rest of the probe.
#include <string>

// One JSON line on standard output, written through at once.
void Emit(const std::string& line);
// {"error": why, "code": GetLastError()}; returns the probe's failure exit code.
int Fail(const std::string& why);

// input click X Y [BUTTON] | gesture X Y [BUTTON] | key NAME...  (xdotool's key names)
int Input(int argc, wchar_t** argv);
// capture FILE.bmp: the primary screen as a 24-bit BMP file
int Capture(int argc, wchar_t** argv);
// endsession PID: asks every window of the process whether the session may end, as a sign-out
int EndSession(int argc, wchar_t** argv);
