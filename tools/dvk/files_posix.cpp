#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "platform.h"
#include "remembered_profile.h"

namespace platform {

std::filesystem::path pathOf(const std::string& utf8) { return utf8; }

std::string readProblem(const std::string& path) {
    // A directory opens as a stream on Linux and reads as nothing, which would pass for an empty file.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::strerror(errno);
    return S_ISDIR(info.st_mode) ? dvkhost::text("file.isDirectory") : "";
}

bool mayExist(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 || errno != ENOENT;
}

} // namespace platform

std::string writeProblem(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return dvkhost::text("file.isDirectory");
        return access(path.c_str(), W_OK) == 0 ? "" : std::strerror(errno);
    }
    if (errno != ENOENT) return std::strerror(errno);
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(folder.c_str(), &info) != 0) return dvkhost::text("file.noFolder", {folder});
    if (!S_ISDIR(info.st_mode)) return dvkhost::text("file.notFolder", {folder});
    return access(folder.c_str(), W_OK | X_OK) == 0 ? "" : folder + ": " + std::strerror(errno);
}

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
