#include "remembered_profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "answers.h"
#include "cli.h"
#include "dorvik_c.h"
#include "texts.h"

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

std::optional<std::string> readProfileFile(const std::string& path, std::string& error) {
    std::string why;
    auto content = readFile(path, &why);
    if (!content) {
        error = dvkhost::text("profile.cannotRead", {path, why});
        return std::nullopt;
    }
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> check(dvk_decoder_new(),
                                                                          &dvk_decoder_free);
    if (dvk_decoder_set_profile(check.get(), content->c_str()) != 1) {
        error = dvkhost::text("profile.notProfile", {path});
        return std::nullopt;
    }
    return content;
}
