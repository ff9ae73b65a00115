// What the render suites reach beyond the layer's headers, declared once (as SQLite declares its test
// hooks): the encoders define these and include this header too, so the two cannot drift. Nothing outside
// src/render and its tests includes it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace dorvik {

// The 107 Code 128 symbol patterns, values 0..106, each 11 modules ("1" dark).
const std::array<std::string_view, 107>& code128Patterns();

// Data, padding and check codewords of the DataMatrix size chosen; empty when nothing fits.
std::vector<uint8_t> dataMatrixSymbolCodewords(std::string_view payload, bool gs1);

} // namespace dorvik
