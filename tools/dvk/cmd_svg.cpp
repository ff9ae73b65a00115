// dvk svg: a barcode picture on standard output.
#include <cstdio>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "texts.h"

int runSvg(const Args& args) {
    std::string kind = "datamatrix";
    bool gs1 = false;
    int32_t scale = 4;
    int32_t quiet = 4;
    std::optional<std::string> payloadArg;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("svg.help"));
            return 0;
        }
        if (arg == "--gs1") {
            gs1 = true;
            continue;
        }
        if (arg == "--kind" || arg == "--scale" || arg == "--quiet") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            const std::string& value = args[++i];
            if (arg == "--kind") {
                // The library draws a DataMatrix for any name it does not know; a typo should not.
                if (value != "ean13" && value != "code128" && value != "datamatrix")
                    return fail(dvkhost::text("svg.kind", {value}));
                kind = value;
                continue;
            }
            const auto number = parseInt(value);
            if (!number) return fail(dvkhost::text("svg.wholeNumber", {arg}));
            (arg == "--scale" ? scale : quiet) = *number;
            continue;
        }
        if (isOption(arg)) return failArgument(arg, "svg");
        if (payloadArg) return fail(dvkhost::text("svg.onePayload"));
        payloadArg = arg;
    }
    if (!payloadArg) return fail(dvkhost::text("svg.needsPayload"));
    const auto payload = readTextArgument(*payloadArg);
    if (!payload) return fail(dvkhost::text("svg.badEscape"));
    char* svg = dvk_barcode_svg(kind.c_str(), payload->data(), static_cast<int32_t>(payload->size()), gs1,
                                scale, quiet);
    if (svg == nullptr) {
        // The library gives no reason; drawn small, the payload itself is tried.
        const std::string small = dvkhost::takeText(
            dvk_barcode_svg(kind.c_str(), payload->data(), static_cast<int32_t>(payload->size()), gs1, 1, 0));
        if (!small.empty())
            return fail(dvkhost::text("svg.tooLarge", {std::to_string(scale), std::to_string(quiet)}));
        return fail(dvkhost::text("svg.cannotDraw", {kind}));
    }
    printLine(svg);
    dvk_free(svg);
    return 0;
}
