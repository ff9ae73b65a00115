// The tuner as the host's set-up screen reads it.
#pragma once

#include <string>

#include "tuner/tuner.h"

namespace dorvik {

std::string tunerPrompt(const Tuner& tuner);
std::string tunerHint(const Tuner& tuner);
std::string tunerStateJson(const Tuner& tuner);

} // namespace dorvik
