#pragma once
// The probe's output, shared by every command group: one JSON object per line on standard
// output, in UTF-8, and the small pieces those lines are made of.
#include <windows.h>

#include <string>

std::string Utf8(const std::wstring& w);
// A JSON string of the text.
std::string Quote(const std::wstring& w);
std::string Num(long long v);
std::string Bool(bool b);
// [left, top, right, bottom]
std::string Rect(const RECT& r);

// One JSON line on standard output, written through at once; a line the output refuses ends the
// probe (exit code 3), saying so on standard error.
void Emit(const std::string& line);
// {"error": why, "code": GetLastError()}, and why on standard error; returns the probe's failure
// exit code (2).
int Fail(const std::string& why);
// One line on standard error, "probe: " and why: every exit with another code than 0 says one,
// so that an exit without a word can only be an ending from outside.
void Say(const std::string& why);
