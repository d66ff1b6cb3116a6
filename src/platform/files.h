#pragma once
// File and module-path services. Paths are UTF-8.
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The running executable's full path, read in full however long it is: the system's answer
// (SystemModuleFileName) unless a test put another source in its place, as it may the clock.
std::string ModuleFileName();
std::string SystemModuleFileName();
// Null: the system's. A source may throw, as a system that cannot tell would.
void SetModuleFileNameSource(std::function<std::string()> source);

// Appends `bytes` at the end of the file at `path` in a single write on a handle opened for
// appending and shared for reading and writing with other processes. With `mayCreate` the file
// is created when no file of that name exists (an existing one is never truncated); without it,
// a missing file makes the call fail. Returns false on any failure; throws nothing.
bool AppendToFile(const std::string& path, std::string_view bytes, bool mayCreate) noexcept;

} // namespace platform
