// DataMatrix ECC 200: ASCII encodation, the square sizes 10x10 to 48x48.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/module_matrix.h"

namespace dorvik {

// Empty for an empty payload or one that needs more than 174 codewords.
ModuleMatrix encodeDataMatrix(std::string_view payload, bool gs1);

// The data codewords before padding (for tests against other encoders).
std::vector<uint8_t> dataMatrixCodewords(std::string_view payload, bool gs1);

// Data, padding and check codewords of the chosen size; empty when nothing fits.
std::vector<uint8_t> dataMatrixSymbolCodewords(std::string_view payload, bool gs1);

} // namespace dorvik
