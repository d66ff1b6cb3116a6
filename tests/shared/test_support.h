#pragma once
// Set-up that the host's tests (g++) and the Windows-side tests (mingw) share: the exact code
// page 932 bytes of the log's entry texts, a file's bytes, a folder of a test's own and a clock
// that stands still.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/clock.h"

namespace log_bytes {

// "\r\nGerm Catcher を起動しました。\r\n\r\n"
inline const std::string kStart =
    "\r\nGerm Catcher \x82\xf0\x8b\x4e\x93\xae\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n\r\n";
// "\r\nウィルスの実行を選択しました。\r\n\r\n"
inline const std::string kYes =
    "\r\n\x83\x45\x83\x42\x83\x8b\x83\x58\x82\xcc\x8e\xc0\x8d\x73\x82\xf0"
    "\x91\x49\x91\xf0\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n\r\n";
// "\r\nメールの転送を選択しました。\r\n\r\n"
inline const std::string kNo = "\r\n\x83\x81\x81\x5b\x83\x8b\x82\xcc\x93\x5d\x91\x97\x82\xf0"
                               "\x91\x49\x91\xf0\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\r\n\r\n";

} // namespace log_bytes

namespace test_support {

// A file's bytes; none when it cannot be read.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

#ifdef _WIN32
// The runtime's remove_all stops at MAX_PATH characters; the system's own calls, given the
// extended form of a path, go to any depth.
inline void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &found)) {
        const std::wstring name = found.cFileName, child = path + L"\\" + name;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            RemoveTree(child);
        else
            ::DeleteFileW(child.c_str());
    }
    if (find != INVALID_HANDLE_VALUE)
        ::FindClose(find);
    ::RemoveDirectoryW(path.c_str());
}
#endif

// A fresh folder under the temporary folder, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        do
            path_ = std::filesystem::temp_directory_path() / ("germ-" + std::to_string(random()));
        while (!std::filesystem::create_directory(path_));
    }
    ~TempFolder() {
#ifdef _WIN32
        RemoveTree(L"\\\\?\\" + path_.wstring());
#else
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
#endif
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const {
        return path_;
    }

private:
    std::filesystem::path path_;
};

// Stands at 2025-01-02 (a Thursday) 15:04:05.678; a wait moves it on by whole seconds.
class FixedClock final : public platform::Clock {
public:
    platform::LocalTime now{2025, 1, 2, 4, 15, 4, 5, 678};
    platform::LocalTime Now() override { return now; }
    void Sleep(unsigned milliseconds) override {
        now.second += static_cast<int>(milliseconds / 1000);
    }
};

} // namespace test_support
