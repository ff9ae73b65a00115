// A till whose keyboard layout is Russian while a US-layout scanner types into it.
#pragma once

#include <string>

namespace dvksim {

// The text a Windows host with the Russian layout receives for key strokes meant as US characters.
std::string throughRussianLayout(const std::string& usText);

} // namespace dvksim
