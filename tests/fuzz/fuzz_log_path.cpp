// Fuzzes the derivation of the log's path from the executable's path: for any bytes the result
// is the input with at most its file name's extension cut off, followed by ".txt"; the folder
// part and everything before the last "." of the name are kept byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "log/activity_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy of exactly `size` bytes, so any read past the end is caught.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string path = activity_log::DeriveLogPath(input);
    if (input.empty()) {
        if (!path.empty())
            std::abort();
        return 0;
    }
    constexpr std::string_view ext = ".txt";
    if (path.size() < ext.size() || path.compare(path.size() - ext.size(), ext.size(), ext) != 0)
        std::abort();
    const std::string_view kept = std::string_view(path).substr(0, path.size() - ext.size());
    if (kept.size() > input.size() || input.compare(0, kept.size(), kept) != 0)
        std::abort();

    // What was cut is the extension: it starts at the last "." and holds no separator. Without
    // such a "." nothing is cut.
    const size_t dot = input.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && input.find_first_of("\\/:", dot) == std::string::npos;
    if (kept.size() != (hasExtension ? dot : input.size()))
        std::abort();
    // The folder part (up to the last separator) is always kept.
    const size_t sep = input.find_last_of("\\/:");
    if (sep != std::string::npos && kept.size() <= sep)
        std::abort();
    return 0;
}
