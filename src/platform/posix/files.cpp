#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

namespace platform {

std::string ModuleFileName() {
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
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (mayCreate ? O_CREAT : 0);
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return close(fd) == 0 && ok;
}

} // namespace platform
