#pragma once
// The probe's commands that stand in for a person and for the screen on the Windows side.

// input click X Y [BUTTON] | gesture X Y [BUTTON] | key NAME...  (xdotool's key names)
int Input(int argc, wchar_t** argv);
// capture FILE.bmp: the primary screen as a 24-bit BMP file
int Capture(int argc, wchar_t** argv);
// endsession PID: asks every window of the process whether the session may end, as a sign-out
int EndSession(int argc, wchar_t** argv);
