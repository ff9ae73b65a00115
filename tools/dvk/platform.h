// What dvk asks of the operating system beyond standard C++, one file per platform and concern:
// console_*.cpp (the command line, the standard streams, the terminal, the user's language), files_*.cpp
// (file checks and where the remembered profile lives) and process_*.cpp (stop requests, the clock). The
// same concerns declared elsewhere (writeProblem, rememberedProfilePath, monotonicMs, ...) live there too.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "texts.h"

namespace platform {

// The arguments after the program's name, as UTF-8; the standard streams set to carry bytes unchanged.
std::vector<std::string> startUp(int argc, char** argv);
// The language of the user's interface (the locale's on Linux).
dvkhost::Language userLanguage();

// UTF-8 text to standard output or error: the bytes to a pipe or a file, the characters to a console.
void writeOut(std::string_view text);
void writeError(std::string_view text);
// False when the output could not be delivered (the reader went away).
bool flushOut();
bool inputIsTerminal();
// What the help of listen and tune adds on this system ("" on Linux).
std::string helpNote();

// A path given as UTF-8, for the standard library's streams.
std::filesystem::path pathOf(const std::string& utf8);
// Why the file at `path` cannot be read as a file ("is a directory", the system's reason), or "".
std::string readProblem(const std::string& path);
// False only when nothing is at `path` for certain.
bool mayExist(const std::string& path);

// Windows: the system's text for an error code (GetLastError), in the user's language, as UTF-8.
std::string systemError(unsigned long code);

} // namespace platform
