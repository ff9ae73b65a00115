// dvk: the library's command-line host. It uses the public header and the shared library only.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "platform.h"
#include "texts.h"

int main(int argc, char** argv) {
    const Args all = platform::startUp(argc, argv);
    // The language first, so that even a bad --lang is reported in the user's.
    dvkhost::useLanguage(platform::userLanguage());
    Args rest;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != "--lang") {
            rest.push_back(all[i]);
            continue;
        }
        dvkhost::Language language{};
        if (i + 1 >= all.size() || !dvkhost::languageNamed(all[i + 1], language))
            return fail(dvkhost::text("lang.bad"));
        dvkhost::useLanguage(language);
        ++i;
    }
    if (rest.empty()) {
        platform::writeError(wrapped(dvkhost::text("main.usage")));
        return 2;
    }
    const std::string command = rest[0];
    const Args args(rest.begin() + 1, rest.end());
    if (command == "--help" || command == "-h" || command == "help") {
        say(dvkhost::text("main.usage"));
        return 0;
    }
    if (command == "version" || command == "--version") {
        if (!args.empty() && args[0] != "--help") return fail(dvkhost::text("version.args"));
        printLine(dvk_version());
        return 0;
    }
    if (command == "decode") return runDecode(args);
    if (command == "svg") return runSvg(args);
    if (command == "demo") return runDemo(args);
    if (command == "tune") return runTune(args);
    if (command == "listen") return runListen(args);
    if (command == "sheet") return runSheet(args);
    if (command == "simulate") return runSimulate(args);
    if (command == "replay") return runReplay(args);
    return fail(dvkhost::text("main.unknown", {command}));
}
