// The dvk subcommands, one per file, each given the arguments after its name; each returns the exit status.
#pragma once

#include <string>
#include <vector>

using Args = std::vector<std::string>;

int runDecode(const Args& args);
int runSvg(const Args& args);
int runDemo(const Args& args);
int runSimulate(const Args& args);
int runSheet(const Args& args);
int runReplay(const Args& args);
int runTune(const Args& args);
int runListen(const Args& args);
