#include "forms/exception.h"

#include <cstring>

namespace forms {

std::string ErrorReportText(std::string_view message) {
    std::string text(message);
    if (text.empty())
        return text;
    // The last character starts at the last byte that is not a UTF-8 continuation byte.
    size_t start = text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
        --start;
    std::string_view last(text.data() + start, text.size() - start);
    // Byte by byte: the character is greater than "." when its first byte is, or when it is equal
    // and longer.
    const unsigned char first = static_cast<unsigned char>(last[0]);
    if (first > '.' || (first == '.' && last.size() > 1))
        text += '.';
    return text;
}

} // namespace forms
