#include "remembered_profile.h"

#include <memory>

#include "answers.h"
#include "cli.h"
#include "dorvik_c.h"
#include "texts.h"

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
