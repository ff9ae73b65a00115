// dvk simulate: a simulated scanner through the whole flow, from key strokes to decoded marking codes.
#include <cstdio>
#include <memory>

#include "cli.h"
#include "commands.h"
#include "report.h"
#include "scanner_sim.h"
#include "simulate.h"

namespace {

// Codes the same scanner then reads at the till: a retail barcode and both shapes of marking code.
const std::vector<std::pair<std::string, std::string>> kTillCodes = {
    {"4600000000008", "ean13"},
    {"010460709729111121XYZ9876\x1d"
     "8005054321\x1d"
     "93Ab1z",
     "datamatrix"},
    {"010460709729111121QwE9876543\x1d"
     "91EE10\x1d"
     "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=",
     "datamatrix"},
};

std::string joined(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        out += items[i];
    }
    return out + "]";
}

} // namespace

Simulation simulate(const dvksim::ScannerModel& model) {
    Simulation result;
    result.run = dvksim::runTuner(model, "usb-scanner");
    const std::unique_ptr<dvk_decoder, decltype(&dvk_decoder_free)> decoder(dvk_decoder_new(),
                                                                            &dvk_decoder_free);
    dvk_decoder_set_profile(decoder.get(), result.run.profile.c_str());
    uint64_t now = 10'000'000;
    for (const auto& [code, symbology] : kTillCodes) {
        const dvkhost::PollResult polled =
            dvksim::scanOnce(decoder.get(), model, code, symbology, "usb-scanner", now);
        result.scans.insert(result.scans.end(), polled.scans.begin(), polled.scans.end());
    }
    return result;
}

void printSimulation(const dvksim::ScannerModel& model, const std::string& description, const Simulation& s) {
    std::printf("Scanner «%s»%s%s\n", model.name.c_str(), description.empty() ? "" : ": ",
                description.c_str());
    std::printf("Set-up, five reference codes:\n");
    for (const dvkhost::FindingView& f : dvkhost::parseFindings(s.run.finalState))
        printFinding(f);
    std::printf("Summary: %s\n", dvkhost::jsonStringField(s.run.finalState, "summary").c_str());
    std::printf("Learned profile:\n");
    printProfileLine(s.run.profile);
    std::printf("Codes read at the till with that profile:\n");
    for (const std::string& scan : s.scans)
        printScan(scan);
}

int runSimulate(const Args& args) {
    std::string scanner = "good";
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::puts(
                "usage: dvk simulate [--scanner NAME|FILE.json] [--json]\n"
                "Runs a simulated scanner through set-up (key strokes -> decoder -> tuner) and then reads\n"
                "marking codes with the profile it learned. Built-in scanners:");
            for (const dvksim::NamedModel& m : dvksim::builtInModels())
                std::printf("  %-14s %s\n", m.model.name.c_str(), m.description);
            std::puts(
                "A FILE.json holds an object with any of: name, prefix, suffix, terminator, aimIds, gs\n"
                "(real|alt|substitute|dropped), gsSubstitute, bufferLimit, gapMs, capsLock, doubleSend,\n"
                "cyrillicLayout.");
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--scanner") {
            if (i + 1 >= args.size()) return fail("--scanner needs a name or a file");
            scanner = args[++i];
        } else {
            return fail((isOption(arg) ? "unknown option " : "unexpected argument ") + arg +
                        " (see dvk simulate --help)");
        }
    }
    const auto model = loadModel(scanner);
    if (!model) return 2;
    const Simulation s = simulate(*model);
    if (json) {
        std::printf("{\"scanner\":%s,\"findings\":%s,\"summary\":%s,\"profile\":%s,\"scans\":%s}\n",
                    jsonQuote(model->name).c_str(),
                    dvkhost::jsonCompoundField(s.run.finalState, "findings").c_str(),
                    jsonQuote(dvkhost::jsonStringField(s.run.finalState, "summary")).c_str(),
                    s.run.profile.c_str(), joined(s.scans).c_str());
        return 0;
    }
    std::string description;
    for (const dvksim::NamedModel& m : dvksim::builtInModels())
        if (m.model.name == model->name) description = m.description;
    printSimulation(*model, description, s);
    return 0;
}

std::optional<dvksim::ScannerModel> loadModel(const std::string& nameOrFile) {
    if (const dvksim::ScannerModel* builtIn = dvksim::findModel(nameOrFile)) return *builtIn;
    std::string why;
    const auto text = readFile(nameOrFile, &why);
    if (!text) {
        fail("no built-in scanner or readable file named " + nameOrFile + " (" + why +
             "; see dvk simulate --help)");
        return std::nullopt;
    }
    std::string error;
    auto model = dvksim::parseModel(*text, error);
    if (!model) fail(nameOrFile + ": " + error);
    return model;
}
