// The two linear symbologies of the reference codes: one row of bars and spaces each.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "render/module_matrix.h"

namespace dorvik {

// Non-digits are dropped; 12 digits get their check digit, 13 are drawn as they are; else empty.
ModuleMatrix encodeEan13(std::string_view payload);

// Code sets B and C, GS as FNC1; empty for an empty payload or a byte outside 32..126 other than GS.
ModuleMatrix encodeCode128(std::string_view payload, bool gs1);

} // namespace dorvik
