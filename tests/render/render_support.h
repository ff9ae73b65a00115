// What the render tests read beside the pictures: the encoders' own tables and codewords, and pictures as
// strings.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/module_matrix.h"
#include "render/svg.h"

namespace dorvik {

// The 107 Code 128 symbol patterns, values 0..106, each 11 modules ("1" dark).
const std::array<std::string_view, 107>& code128Patterns();
// Data, padding and check codewords of the DataMatrix size chosen; empty when nothing fits.
std::vector<uint8_t> dataMatrixSymbolCodewords(std::string_view payload, bool gs1);

namespace test {

inline std::optional<std::string> owned(char* block) {
    if (block == nullptr) return std::nullopt;
    std::string text(block);
    std::free(block);
    return text;
}
inline std::optional<std::string> matrixToSvg(const ModuleMatrix& matrix, int32_t scale, int32_t quiet) {
    return owned(matrixSvgBlock(matrix, scale, quiet));
}
inline std::optional<std::string> barcodeSvg(std::string_view kind, std::string_view payload, bool gs1,
                                             int32_t scale, int32_t quiet) {
    return owned(barcodeSvgBlock(kind, payload, gs1, scale, quiet));
}

} // namespace test
} // namespace dorvik
