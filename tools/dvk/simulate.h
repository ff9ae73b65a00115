// A simulated scanner's whole story, shared by dvk simulate and dvk demo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scanner_sim.h"

struct Simulation {
    dvksim::TunerRun run;
    std::vector<std::string> scans; // scan events of codes read with the learned profile
};

Simulation simulate(const dvksim::ScannerModel& model);
void printSimulation(const dvksim::ScannerModel& model, const std::string& description, const Simulation& s);

// What a built-in scanner does, for people; "" for another.
std::string describeModel(const std::string& name);
// A built-in scanner by name, or one described in a JSON file; reports on stderr when neither.
std::optional<dvksim::ScannerModel> loadModel(const std::string& nameOrFile);
