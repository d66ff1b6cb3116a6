// The probe's output: one JSON object per line on standard output, in UTF-8.
#include "output.h"

#include <cstdio>

std::string Utf8(const std::wstring& w) {
    if (w.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::string Quote(const std::wstring& w) {
    std::string out = "\"";
    for (unsigned char c : Utf8(w)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string Num(long long v) {
    return std::to_string(v);
}
std::string Bool(bool b) {
    return b ? "true" : "false";
}
std::string Rect(const RECT& r) {
    return "[" + Num(r.left) + "," + Num(r.top) + "," + Num(r.right) + "," + Num(r.bottom) + "]";
}

// Writes straight to the handle: no CRT buffering or newline translation, so a reader on a pipe
// sees each line as soon as it is complete.
void Emit(const std::string& line) {
    std::string s = line + "\n";
    DWORD written = 0;
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()),
                   &written, nullptr) ||
        written != s.size()) {
        Say("standard output refused a line (error " + Num(GetLastError()) + ")");
        ExitProcess(3);
    }
}

void Say(const std::string& why) {
    const std::string s = "probe: " + why + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written,
              nullptr);
}

int Fail(const std::string& why) {
    const DWORD code = GetLastError();
    std::wstring wide(why.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, why.data(),
                                                        static_cast<int>(why.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    Emit("{\"error\":" + Quote(wide) + ",\"code\":" + Num(code) + "}");
    Say(why + " (error " + Num(code) + ")");
    return 2;
}
