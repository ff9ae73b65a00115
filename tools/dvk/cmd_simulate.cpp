// dvk simulate: a simulated scanner through the whole flow, from key strokes to decoded marking codes.
#include <cstdio>
#include <memory>

#include "cli.h"
#include "commands.h"
#include "report.h"
#include "scanner_sim.h"
#include "simulate.h"
#include "texts.h"

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
    say(dvkhost::text(description.empty() ? "simulate.scanner" : "simulate.scannerDescribed",
                      {model.name, description}));
    say(dvkhost::text("simulate.setUp"));
    for (const dvkhost::FindingView& f : dvkhost::parseFindings(s.run.finalState))
        printFinding(f);
    say(dvkhost::text("simulate.summary", {dvkhost::jsonStringField(s.run.finalState, "summary")}));
    say(dvkhost::text("simulate.profile"));
    printProfileLine(s.run.profile);
    say(dvkhost::text("simulate.till"));
    for (const std::string& scan : s.scans)
        printScan(scan, "  ");
}

int runSimulate(const Args& args) {
    std::string scanner = "good";
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            say(dvkhost::text("simulate.help"));
            for (const dvksim::NamedModel& m : dvksim::builtInModels()) {
                std::string name = "  " + m.model.name;
                name.resize(17, ' ');
                say(name + dvkhost::text(m.descriptionKey), 17);
            }
            say(dvkhost::text("simulate.helpFile"));
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--scanner") {
            if (i + 1 >= args.size()) return failNoValue(arg);
            scanner = args[++i];
        } else {
            return failArgument(arg, "simulate");
        }
    }
    const auto model = loadModel(scanner);
    if (!model) return 2;
    const Simulation s = simulate(*model);
    if (json) {
        printLine("{\"scanner\":" + jsonQuote(model->name) +
                  ",\"findings\":" + dvkhost::jsonCompoundField(s.run.finalState, "findings") +
                  ",\"summary\":" + jsonQuote(dvkhost::jsonStringField(s.run.finalState, "summary")) +
                  ",\"profile\":" + s.run.profile + ",\"scans\":" + joined(s.scans) + "}");
        return 0;
    }
    printSimulation(*model, describeModel(model->name), s);
    return 0;
}

std::optional<dvksim::ScannerModel> loadModel(const std::string& nameOrFile) {
    if (const dvksim::ScannerModel* builtIn = dvksim::findModel(nameOrFile)) return *builtIn;
    std::string why;
    const auto text = readFile(nameOrFile, &why);
    if (!text) {
        fail(dvkhost::text("simulate.noModel", {nameOrFile, why}));
        return std::nullopt;
    }
    std::string error;
    auto model = dvksim::parseModel(*text, error);
    if (!model) fail(nameOrFile + ": " + error);
    return model;
}

std::string describeModel(const std::string& name) {
    for (const dvksim::NamedModel& m : dvksim::builtInModels())
        if (m.model.name == name) return dvkhost::text(m.descriptionKey);
    return "";
}
