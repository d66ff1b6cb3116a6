#pragma once
// Text conversions at the program's edges: texts live as UTF-8 and go to the log as code page
// 932 (Shift_JIS) bytes.
#include <string>
#include <string_view>

namespace platform {

// Converts UTF-8 to code page 932. Characters that code page 932 lacks become "?".
std::string Utf8ToCp932(std::string_view utf8);

} // namespace platform
