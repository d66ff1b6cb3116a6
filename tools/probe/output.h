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

// One JSON line on standard output, written through at once.
void Emit(const std::string& line);
// {"error": why, "code": GetLastError()}; returns the probe's failure exit code.
int Fail(const std::string& why);
