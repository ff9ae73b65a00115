// dvk sheet: the reference codes of the set-up on paper.
#include <charconv>
#include <cstdio>
#include <memory>

#include "answers.h"
#include "cli.h"
#include "commands.h"
#include "dorvik_c.h"
#include "json_reader.h"
#include "platform.h"
#include "sheet.h"
#include "texts.h"

namespace {

// Printed module sizes: comfortably above what hand-held imagers resolve on paper.
constexpr double kLinearModuleMm = 0.4;
constexpr double kMatrixModuleMm = 0.6;
constexpr int kQuietModules = 10;

// The library draws one pixel per module; the sheet gives the picture its printed size in millimetres.
std::optional<std::string> printableSvg(const std::string& state) {
    const std::string symbology = dvkhost::jsonStringField(state, "symbology");
    const std::string payload = dvkhost::jsonStringField(state, "payload");
    const bool gs1 = dvkhost::jsonScalarField(state, "gs1") == "true";
    std::string svg = dvkhost::takeText(dvk_barcode_svg(
        symbology.c_str(), payload.data(), static_cast<int>(payload.size()), gs1, 1, kQuietModules));
    if (svg.empty()) return std::nullopt;
    const double module = symbology == "datamatrix" ? kMatrixModuleMm : kLinearModuleMm;
    const size_t w = svg.find(" width=\"");
    const size_t h = svg.find(" height=\"", w);
    if (w == std::string::npos || h == std::string::npos) return std::nullopt;
    const size_t end = svg.find('"', h + 9);
    int width = 0, height = 0;
    std::from_chars(svg.data() + w + 8, svg.data() + svg.size(), width);
    std::from_chars(svg.data() + h + 9, svg.data() + svg.size(), height);
    if (end == std::string::npos || width <= 0 || height <= 0) return std::nullopt;
    char size[96];
    std::snprintf(size, sizeof size, " width=\"%.1fmm\" height=\"%.1fmm\"", width * module, height * module);
    return svg.replace(w, end + 1 - w, size);
}

} // namespace

std::optional<std::string> setupSheetHtml() {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Настройка сканера: эталонные коды</title>\n<style>\n"
        "@page { size: A4; margin: 12mm; }\n"
        "body { font-family: sans-serif; color: #000; background: #fff; margin: 0 auto; max-width: 186mm; }\n"
        "h1 { font-size: 16pt; margin: 0 0 4mm; }\n"
        "section { break-inside: avoid; page-break-inside: avoid; margin: 0 0 6mm; }\n"
        "h2 { font-size: 12pt; margin: 0 0 1mm; }\n"
        "p { font-size: 9pt; margin: 0 0 2mm; }\n"
        ".code svg { display: block; }\n"
        ".payload { font-family: monospace; font-size: 8pt; word-break: break-all; }\n"
        "@media print { section:nth-of-type(3) { break-before: page; } }\n"
        "</style>\n</head>\n<body>\n<h1>Настройка сканера: эталонные коды</h1>\n"
        "<p>Отсканируйте коды по порядку, когда касса попросит. Печатайте в масштабе 100 %.</p>\n";
    const std::unique_ptr<dvk_tuner, decltype(&dvk_tuner_free)> tuner(dvk_tuner_new("hid", "sheet"),
                                                                      &dvk_tuner_free);
    for (int step = 0;; ++step) {
        const std::string state = dvkhost::takeText(dvk_tuner_state(tuner.get()));
        if (state.empty()) return std::nullopt;
        if (dvkhost::jsonScalarField(state, "done") == "true") break;
        const std::string code = dvkhost::jsonCompoundField(state, "code");
        const auto svg = printableSvg(code);
        if (!svg) return std::nullopt;
        html += "<section>\n<h2>Шаг " + std::to_string(step + 1) + ". " +
                htmlEscape(dvkhost::jsonStringField(code, "title")) + "</h2>\n<p>" +
                htmlEscape(dvkhost::jsonStringField(code, "hint")) + "</p>\n<div class=\"code\">" + *svg +
                "</div>\n<p class=\"payload\">" +
                htmlEscape(dvkhost::jsonStringField(code, "payloadVisible")) + "</p>\n</section>\n";
        dvk_tuner_skip(tuner.get());
    }
    return html + "</body>\n</html>\n";
}

int runSheet(const Args& args) {
    std::string output = "setup.html";
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("sheet.help"));
            return 0;
        }
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            output = args[++i];
        } else {
            return failArgument(arg, "sheet");
        }
    }
    if (output != "-") {
        const std::string problem = writeProblem(output);
        if (!problem.empty()) return fail(dvkhost::text("tune.cannotWriteWhy", {output, problem}));
    }
    const auto html = setupSheetHtml();
    if (!html) return fail(dvkhost::text("sheet.notDrawn"));
    if (output == "-") {
        platform::writeOut(*html);
        return 0;
    }
    if (!writeFile(output, *html)) return fail(dvkhost::text("tune.cannotWrite", {output}));
    say(dvkhost::text("sheet.wrote", {output}));
    return 0;
}
