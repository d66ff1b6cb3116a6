#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

namespace platform {

std::string SystemModuleFileName() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool mayCreate) noexcept {
    if (path.empty())
        return false;
    // O_APPEND without O_TRUNC: an existing file keeps its content, and each write lands at the
    // end as it is at that moment, even when other programs append to it meanwhile.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (mayCreate ? O_CREAT : 0);
    int fd;
    do
        fd = open(path.c_str(), flags, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    // One write per entry, so entries of programs sharing the file never interleave; a short
    // write is not continued (its rest could land after someone else's entry).
    bool ok = true;
    if (!bytes.empty()) {
        ssize_t n;
        do
            n = write(fd, bytes.data(), bytes.size());
        while (n < 0 && errno == EINTR);
        ok = n == static_cast<ssize_t>(bytes.size());
    }
    return close(fd) == 0 && ok;
}

} // namespace platform
