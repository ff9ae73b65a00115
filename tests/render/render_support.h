// What the render tests read beside the pictures: the encoders' own tables and codewords (render_internal.h),
// and pictures as strings.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "render/module_matrix.h"
#include "render/render_internal.h"
#include "render/svg.h"

namespace dorvik::test {

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

} // namespace dorvik::test
