// A barcode as a black-on-white SVG picture.
#pragma once

#include <cstdint>
#include <string_view>

#include "render/module_matrix.h"

namespace dorvik {

// "ean13", "code128", anything else DataMatrix, in one std::malloc'd block with a NUL after the text, for
// a caller that hands the block on (it frees it with std::free). Null when the payload cannot be drawn or
// the picture would not fit 32-bit sizes. A scale below 1 means 4, a negative quiet zone means none; linear
// codes are 60 modules tall. Throws std::bad_alloc.
char* barcodeSvgBlock(std::string_view kind, std::string_view payload, bool gs1, int32_t scale,
                      int32_t quiet);
// The same for a matrix already encoded.
char* matrixSvgBlock(const ModuleMatrix& matrix, int32_t scale, int32_t quiet);

} // namespace dorvik
