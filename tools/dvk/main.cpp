// dvk: the library's command-line host.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "demo.h"
#include "dorvik_c.h"
#include "text_escapes.h"

namespace {

constexpr const char* kUsage =
    "usage: dvk <command> [options]\n"
    "  version                                   print the library version\n"
    "  decode [--profile FILE] [--device ID] TEXT  analyse one frame (C escapes; \"-\" reads stdin)\n"
    "  demo                                      type a few codes through a decoder and poll\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "dvk: %s\n", message.c_str());
    return 2;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

int runDecode(const std::vector<std::string>& args) {
    std::string profile;
    std::string device;
    std::optional<std::string> textArg;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs("usage: dvk decode [--profile FILE] [--device ID] TEXT\n"
                       "TEXT may hold \\r \\n \\t \\\\ \\0 \\e \\xHH; \"-\" reads the text from stdin.\n",
                       stdout);
            return 0;
        }
        if (arg == "--profile" || arg == "--device") {
            if (i + 1 >= args.size()) return fail(arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--device") {
                device = value;
                continue;
            }
            const auto content = readFile(value);
            if (!content) return fail("cannot read profile " + value);
            profile = *content;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-' && arg != "-") return fail("unknown option " + arg);
        if (textArg) return fail("decode takes one text");
        textArg = arg;
    }
    if (!textArg) return fail("decode needs a text (see dvk decode --help)");
    std::string text;
    if (*textArg == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        const auto unescaped = unescapeText(*textArg);
        if (!unescaped) return fail("bad escape in text");
        text = *unescaped;
    }
    if (text.size() > 0x7FFFFFFF) return fail("text too long");
    char* json =
        dvk_decode_frame(profile.c_str(), text.data(), static_cast<int32_t>(text.size()), device.c_str());
    if (json == nullptr) return fail("out of memory");
    std::printf("%s\n", json);
    dvk_free(json);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 1 ? 2 : argc), argv + argc);
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    if (command == "version") {
        std::printf("%s\n", dvk_version());
        return 0;
    }
    if (command == "decode") return runDecode(args);
    if (command == "demo") {
        if (!args.empty()) {
            if (args[0] == "--help") {
                std::fputs("usage: dvk demo\n", stdout);
                return 0;
            }
            return fail("demo takes no arguments");
        }
        return runDemo();
    }
    return fail("unknown command " + command + " (see dvk --help)");
}
