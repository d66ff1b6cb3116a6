#pragma once
// The program's entry: builds the application and its main window, runs the message loop until
// the window closes, and reports anything that escapes. Always returns 0.
int RunApplication();
