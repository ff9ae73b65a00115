#include "remembered_profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

std::string rememberedProfilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/dorvik/scanner.json";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return "";
    return std::string(home) + "/.config/dorvik/scanner.json";
}

std::string makeFoldersFor(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return folder + ": " + std::strerror(errno);
    }
    return "";
}
