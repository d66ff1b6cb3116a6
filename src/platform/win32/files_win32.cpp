#include <windows.h>

#include <limits>
#include <new>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/win32/wide.h"

namespace platform {

std::string SystemModuleFileName() {
    // The path is read in full, however long the installation folder is.
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0)
            return {};
        if (n < size) {
            buffer.resize(n);
            return win32::Narrow(buffer);
        }
        if (buffer.size() >= 0x10000)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

bool StartsWith(std::wstring_view s, std::wstring_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Paths of MAX_PATH characters or more only open in their extended form (\\?\C:\... or
// \\?\UNC\server\share\...), which the system takes literally: make them full and canonical
// first.
std::wstring ForOpening(const std::string& path) {
    std::wstring wide = win32::Widen(path);
    if (wide.size() < MAX_PATH || StartsWith(wide, L"\\\\?\\") || StartsWith(wide, L"\\\\.\\"))
        return wide;
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    const DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size)
        return wide;
    full.resize(n);
    if (StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\"))
        return full;
    if (StartsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// By hand: the runtime's formatted printing would add some 30 KiB to the program.
void AppendHex(std::wstring& out, DWORD value) {
    for (int shift = 28; shift >= 0; shift -= 4)
        out += L"0123456789abcdef"[(value >> shift) & 0xFu];
}

// Some systems (Wine among them) carry out an append as "find the end, then write there", so two
// programs appending at the same moment can write over each other's entry. Appends to one file
// therefore take turns, under a mutex named after the file's identity, which holds however the
// path is spelt. The wait is bounded: a writer that hangs delays the others' entries a little,
// never the show, and after the wait the entry goes out anyway.
class AppendTurn {
public:
    explicit AppendTurn(const BY_HANDLE_FILE_INFORMATION& file) {
        std::wstring name = L"Local\\Germcatcher-append-";
        AppendHex(name, file.dwVolumeSerialNumber);
        name += L'-';
        AppendHex(name, file.nFileIndexHigh);
        AppendHex(name, file.nFileIndexLow);
        mutex_ = ::CreateMutexW(nullptr, FALSE, name.c_str());
        if (!mutex_)
            return;
        // An abandoned mutex (its holder ended meanwhile) is owned all the same.
        const DWORD wait = ::WaitForSingleObject(mutex_, kWaitMs);
        owned_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    ~AppendTurn() {
        if (owned_)
            ::ReleaseMutex(mutex_);
        if (mutex_)
            ::CloseHandle(mutex_);
    }
    AppendTurn(const AppendTurn&) = delete;
    AppendTurn& operator=(const AppendTurn&) = delete;

private:
    static constexpr DWORD kWaitMs = 500;
    HANDLE mutex_ = nullptr;
    bool owned_ = false;
};

} // namespace

bool AppendToFile(const std::string& path, std::string_view bytes, bool mayCreate) noexcept {
    try {
        if (path.empty() || bytes.size() > std::numeric_limits<DWORD>::max())
            return false;
        const std::wstring name = ForOpening(path);
        // Append-only access: every write lands at the end of the file as it is at that moment,
        // even when other programs append to it meanwhile. OPEN_ALWAYS never truncates.
        const HANDLE file = ::CreateFileW(
            name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            mayCreate ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        bool ok = ::GetFileType(file) == FILE_TYPE_DISK;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool known = ok && ::GetFileInformationByHandle(file, &info);
        if (known)
            ok = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (ok && !bytes.empty()) {
            std::optional<AppendTurn> turn;
            if (known)
                turn.emplace(info);
            // One write per entry, so entries of programs sharing the file never interleave.
            DWORD written = 0;
            ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                             nullptr) &&
                 written == bytes.size();
        }
        return ::CloseHandle(file) && ok;
    } catch (...) {
        return false;
    }
}

} // namespace platform
