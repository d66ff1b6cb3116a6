#pragma once
// The probe's commands, one group per file, each taking the whole command line (argv[1] is the
// command's name). Each returns the probe's exit code and writes its answer through output.h.
#include <windows.h>

#include <string>

// probe.cpp: a command's usage, from the table of commands, as the probe's failure
int Usage(const wchar_t* name);

// windows.cpp: reading and driving other processes' windows
int List(int argc, wchar_t** argv);
int Post(HWND h, UINT msg, WPARAM wp, LPARAM lp);
int Watch(int argc, wchar_t** argv);
int CloseBox(HWND h);
int At(int argc, wchar_t** argv);
int MsgBox(int argc, wchar_t** argv);
int DpiChanged(int argc, wchar_t** argv);
HWND ParseHwnd(const wchar_t* s);
std::wstring ClassOf(HWND h);

// process.cpp: starting, timing and ending programs; holding a file open
int JoinDesktop(const std::wstring& argument);
int Launch(int argc, wchar_t** argv);
int Startup(int argc, wchar_t** argv);
int Kill(const wchar_t* arg);
int LockFile(int argc, wchar_t** argv);

// locale.cpp: the user's regional settings and the stamps they give
int SetLocale(int argc, wchar_t** argv);
int LocaleInfo(int argc, wchar_t** argv);
int Stamps(int argc, wchar_t** argv);

// input.cpp: a person's hand and eyes, and the session's end
int Input(int argc, wchar_t** argv);
int Capture(int argc, wchar_t** argv);
int Screen();
int Display(int argc, wchar_t** argv);
int EndSession(int argc, wchar_t** argv);
