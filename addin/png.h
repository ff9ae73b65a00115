// A PNG picture of a reference code, for a 1C picture field: drawn from the library's SVG text, whose marks
// are axis-aligned rectangles in whole pixels.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvka {

// The PNG bytes (black on white, one bit a pixel); nullopt when `svg` is not a picture the library drew.
std::optional<std::string> pngOfSvg(std::string_view svg);

} // namespace dvka
