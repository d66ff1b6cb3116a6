#include <cerrno>
#include <iconv.h>

#include "platform/text.h"

namespace platform {

std::string Utf8ToCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // No converter: ASCII is the same in code page 932; anything else cannot be written.
        std::string out;
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            if (c < 0x80)
                out += static_cast<char>(c);
            else if ((c & 0xC0) != 0x80)
                out += '?';
        }
        return out;
    }
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int err = errno;
        out.append(buffer, static_cast<size_t>(o - buffer));
        if (r == static_cast<size_t>(-1) && err != E2BIG) {
            if (inLeft == 0)
                break;
            // Not convertible (or not UTF-8): write "?" for this character and go on.
            out += '?';
            size_t skip = 1;
            while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80)
                ++skip;
            in += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace platform
