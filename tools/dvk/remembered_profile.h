// The scanner a till was set up with, kept for dvk listen: dvk tune writes its profile where dvk listen
// looks when no profile is named.
#pragma once

#include <optional>
#include <string>

// $XDG_CONFIG_HOME/dorvik/scanner.json, or ~/.config/dorvik/scanner.json when that is not set (or not an
// absolute path, which the convention says to ignore); "" when HOME is not set either.
std::string rememberedProfilePath();

// Makes the folders above `path` that are missing; "" when they are there, else why not.
std::string makeFoldersFor(const std::string& path);

// The profile in the file at `path` as its text, when the library takes it for a profile; nullopt with
// `error` set (one line) when it cannot be read or is no profile: a silent fall back to the defaults would
// read codes with the wrong terminator, prefix or GS and look like a scanner fault.
std::optional<std::string> readProfileFile(const std::string& path, std::string& error);
