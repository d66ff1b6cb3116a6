// Parts of the C++ runtime that the program brings itself, to stay small. Linked into the
// program only; the tests use the library's own.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

// The standard library's helpers that throw its errors. libstdc++ keeps all of them in one
// archive member, and the logic and runtime errors it throws hold the reference-counted string
// of the old ABI: with them come that string's whole instantiation, random_device and, with
// GCC 14, system_error (about 40 KB). These throw the same errors with the same what(): the
// allocation and cast errors as themselves, the others as one type of ours. Nothing in the
// program tells them apart, as every handler catches std::exception at most and reports what();
// a handler for std::out_of_range, say, would not see them.
namespace {

class LibraryError : public std::exception {
public:
    const char* what() const noexcept override { return text_; }

    void Append(char c) {
        if (length_ + 1 < sizeof text_)
            text_[length_++] = c;
        text_[length_] = '\0';
    }
    void Append(const char* s) {
        while (*s)
            Append(*s++);
    }

private:
    // The library's messages are short (under 120 characters, formatted ones too); a longer one
    // would be cut short here.
    char text_[512] = {};
    std::size_t length_ = 0;
};

[[noreturn]] void Throw(const char* message) {
    LibraryError error;
    error.Append(message);
    throw error;
}

} // namespace

namespace std {

void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_logic_error(const char* message) {
    Throw(message);
}
void __throw_domain_error(const char* message) {
    Throw(message);
}
void __throw_invalid_argument(const char* message) {
    Throw(message);
}
void __throw_length_error(const char* message) {
    Throw(message);
}
void __throw_out_of_range(const char* message) {
    Throw(message);
}
void __throw_runtime_error(const char* message) {
    Throw(message);
}
void __throw_range_error(const char* message) {
    Throw(message);
}
void __throw_overflow_error(const char* message) {
    Throw(message);
}
void __throw_underflow_error(const char* message) {
    Throw(message);
}

// The library's formats use %s, %zu and %% only, which is all its own formatter reads; any
// other % is copied as it stands, as there.
void __throw_out_of_range_fmt(const char* format, ...) {
    LibraryError error;
    va_list args;
    va_start(args, format);
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            error.Append(va_arg(args, const char*));
            ++p;
        } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            char digits[24];
            int count = 0;
            for (std::size_t value = va_arg(args, std::size_t); count == 0 || value; value /= 10)
                digits[count++] = static_cast<char>('0' + value % 10);
            while (count)
                error.Append(digits[--count]);
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            error.Append('%');
            ++p;
        } else {
            error.Append(*p);
        }
    }
    va_end(args);
    throw error;
}

} // namespace std

// GCC 14's library instantiates std::string's and std::wstring's rarely taken path of replace()
// (source and target overlap) for C++20 too, and the headers defer to it: each brought the whole
// instantiation of its string (some 30 KB together). Instantiated here from the same headers.
#if _GLIBCXX_RELEASE >= 14
template void std::string::_M_replace_cold(char*, size_type, const char*, const size_type,
                                           const size_type);
template void std::wstring::_M_replace_cold(wchar_t*, size_type, const wchar_t*, const size_type,
                                            const size_type);
#endif
