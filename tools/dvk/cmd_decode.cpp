// dvk decode: one frame text through frame normalisation and code analysis.
#include <cstdio>
#include <memory>

#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "remembered_profile.h"
#include "texts.h"

int runDecode(const Args& args) {
    std::string profile;
    std::string device;
    std::optional<std::string> textArg;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("decode.help"));
            return 0;
        }
        if (arg == "--profile" || arg == "--device") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            const std::string& value = args[++i];
            if (arg == "--device") {
                device = value;
                continue;
            }
            // dvk_decode_frame would take anything for a profile and fall back to the defaults.
            std::string error;
            const auto content = readProfileFile(value, error);
            if (!content) return fail(error);
            profile = *content;
            continue;
        }
        if (isOption(arg)) return failArgument(arg, "decode");
        if (textArg) return fail(dvkhost::text("decode.oneText"));
        textArg = arg;
    }
    if (!textArg) return fail(dvkhost::text("decode.needsText"));
    const auto text = readTextArgument(*textArg);
    if (!text) return fail(dvkhost::text("decode.badEscape"));
    char* json =
        dvk_decode_frame(profile.c_str(), text->data(), static_cast<int32_t>(text->size()), device.c_str());
    if (json == nullptr) return fail(dvkhost::text("outOfMemory"));
    printLine(json);
    dvk_free(json);
    return 0;
}
