#include "log/activity_log.h"

namespace activity_log {

std::string DeriveLogPath(std::string_view modulePath) {
    // Without the program's own path there is no place beside it: no log rather than a stray
    // ".txt" in whatever folder is current.
    if (modulePath.empty())
        return {};
    std::string path(modulePath);
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find_first_of("\\/:", dot) == std::string::npos)
        path.erase(dot);
    return path + ".txt";
}

} // namespace activity_log
