#include "render/svg.h"

#include <charconv>
#include <limits>

#include "render/datamatrix.h"
#include "render/linear_codes.h"

namespace dorvik {

namespace {

constexpr int64_t kLinearHeightModules = 60;

void appendInt(std::string& out, int64_t value) {
    char buffer[24];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

void appendRect(std::string& out, int64_t x, int64_t y, int64_t w, int64_t h) {
    out += 'M';
    appendInt(out, x);
    out += ' ';
    appendInt(out, y);
    out += 'h';
    appendInt(out, w);
    out += 'v';
    appendInt(out, h);
    out += "h-";
    appendInt(out, w);
    out += 'z';
}

} // namespace

std::optional<std::string> matrixToSvg(const ModuleMatrix& matrix, int32_t scale, int32_t quiet) {
    if (matrix.empty()) return std::nullopt;
    const int64_t s = scale < 1 ? 4 : scale;
    const int64_t q = quiet < 0 ? 0 : quiet;
    const bool linear = matrix.height == 1;
    // The module counts fit 64 bits with any quiet zone; each is bounded before the multiply so the
    // picture size cannot wrap, and every coordinate then fits 32 bits.
    constexpr int64_t kMaxPixels = std::numeric_limits<int32_t>::max();
    const int64_t widthModules = matrix.width + 2 * q;
    const int64_t heightModules = linear ? kLinearHeightModules : matrix.height + 2 * q;
    if (widthModules > kMaxPixels / s || heightModules > kMaxPixels / s) return std::nullopt;
    const int64_t width = widthModules * s;
    const int64_t height = heightModules * s;

    std::string out;
    out.reserve(256 + matrix.modules.size() * 6);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
    appendInt(out, width);
    out += ' ';
    appendInt(out, height);
    out += "\" width=\"";
    appendInt(out, width);
    out += "\" height=\"";
    appendInt(out, height);
    out +=
        "\" shape-rendering=\"crispEdges\"><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/><path fill=\"#000\" d=\"";
    for (int32_t row = 0; row < matrix.height; ++row) {
        for (int32_t column = 0; column < matrix.width;) {
            if (!matrix.at(row, column)) {
                ++column;
                continue;
            }
            int32_t run = 0;
            while (column + run < matrix.width && matrix.at(row, column + run))
                ++run;
            const int64_t x = (q + column) * s;
            if (linear) {
                appendRect(out, x, 0, run * s, height);
            } else {
                appendRect(out, x, (q + row) * s, run * s, s);
            }
            column += run;
        }
    }
    out += "\"/></svg>";
    return out;
}

std::optional<std::string> barcodeSvg(std::string_view kind, std::string_view payload, bool gs1,
                                      int32_t scale, int32_t quiet) {
    ModuleMatrix matrix;
    if (kind == "ean13") {
        matrix = encodeEan13(payload);
    } else if (kind == "code128") {
        matrix = encodeCode128(payload, gs1);
    } else {
        matrix = encodeDataMatrix(payload, gs1);
    }
    return matrixToSvg(matrix, scale, quiet);
}

} // namespace dorvik
