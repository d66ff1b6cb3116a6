#include "platform/files.h"

namespace platform {

namespace {
std::function<std::string()> g_moduleFileName;
}

std::string ModuleFileName() {
    return g_moduleFileName ? g_moduleFileName() : SystemModuleFileName();
}

void SetModuleFileNameSource(std::function<std::string()> source) {
    g_moduleFileName = std::move(source);
}

} // namespace platform
