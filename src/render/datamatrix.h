// DataMatrix ECC 200: ASCII encodation, the square sizes 10x10 to 48x48.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "render/module_matrix.h"

namespace dorvik {

// Empty for an empty payload or one that needs more than 174 codewords.
ModuleMatrix encodeDataMatrix(std::string_view payload, bool gs1);

} // namespace dorvik
