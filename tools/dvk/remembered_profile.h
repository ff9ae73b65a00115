// The scanner a till was set up with, kept for dvk listen: dvk tune writes its profile where dvk listen
// looks when no profile is named.
#pragma once

#include <string>

// $XDG_CONFIG_HOME/dorvik/scanner.json, or ~/.config/dorvik/scanner.json when that is not set (or not an
// absolute path, which the convention says to ignore); "" when HOME is not set either.
std::string rememberedProfilePath();

// Makes the folders above `path` that are missing; "" when they are there, else why not.
std::string makeFoldersFor(const std::string& path);
