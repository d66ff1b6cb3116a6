#include <windows.h>

#include "platform/text.h"
#include "platform/win32/wide.h"

namespace platform {

std::string Utf8ToCp932(std::string_view utf8) {
    const std::wstring wide = win32::Widen(utf8);
    if (wide.empty())
        return {};
    // No best-fit guesses: a character code page 932 lacks becomes "?", as on every platform.
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                        "?", nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, "?",
                          nullptr);
    return out;
}

} // namespace platform
