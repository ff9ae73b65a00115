#include "terminal_codes.h"

#include <charconv>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "answers.h"
#include "dorvik_c.h"

namespace {

constexpr int kLinearQuietModules = 10;
constexpr int kMatrixQuietModules = 2;
constexpr int kLinearLines = 8;
constexpr const char* kBlackOnWhite = "\x1b[30;107m";
constexpr const char* kPlain = "\x1b[0m";

using Modules = std::vector<std::vector<bool>>;

// Reads the numbers of the library's SVG in order; any surprise ends the reading.
class SvgCursor {
  public:
    explicit SvgCursor(const std::string& svg) : at_(svg.data()), end_(svg.data() + svg.size()) {}
    bool skipPast(std::string_view token) {
        const std::string_view rest(at_, static_cast<size_t>(end_ - at_));
        const size_t found = rest.find(token);
        if (found == std::string_view::npos) return false;
        at_ += found + token.size();
        return true;
    }
    bool literal(std::string_view token) {
        if (static_cast<size_t>(end_ - at_) < token.size() || std::string_view(at_, token.size()) != token)
            return false;
        at_ += token.size();
        return true;
    }
    std::optional<int> number() {
        int value = 0;
        const auto [next, ec] = std::from_chars(at_, end_, value);
        if (ec != std::errc() || value < 0) return std::nullopt;
        at_ = next;
        return value;
    }

  private:
    const char* at_;
    const char* end_;
};

// The modules of a code from its SVG drawn at one pixel per module without quiet zone: one row for a linear
// code, the grid for a matrix.
std::optional<Modules> modulesOf(const std::string& svg, bool linear) {
    SvgCursor in(svg);
    if (!in.skipPast("viewBox=\"0 0 ")) return std::nullopt;
    const auto width = in.number();
    if (!width || !in.literal(" ")) return std::nullopt;
    const auto height = in.number();
    if (!height || *width == 0 || (!linear && *height == 0) || !in.skipPast(" d=\"")) return std::nullopt;
    Modules grid(linear ? 1 : static_cast<size_t>(*height), std::vector<bool>(static_cast<size_t>(*width)));
    while (in.literal("M")) {
        const auto x = in.number();
        const bool space = in.literal(" ");
        const auto y = in.number();
        const bool across = in.literal("h");
        const auto w = in.number();
        if (!x || !space || !y || !across || !w || *x + *w > *width) return std::nullopt;
        if (!linear && static_cast<size_t>(*y) >= grid.size()) return std::nullopt;
        if (!in.skipPast("z")) return std::nullopt;
        for (int c = *x; c < *x + *w; ++c)
            grid[linear ? 0 : static_cast<size_t>(*y)][static_cast<size_t>(c)] = true;
    }
    return grid;
}

// Two module rows per line: upper and lower half of each character cell.
std::vector<std::string> matrixLines(const Modules& grid) {
    std::vector<std::string> lines;
    const std::vector<bool> light(grid[0].size(), false);
    for (size_t r = 0; r < grid.size(); r += 2) {
        const std::vector<bool>& upper = grid[r];
        const std::vector<bool>& lower = r + 1 < grid.size() ? grid[r + 1] : light;
        std::string line = kBlackOnWhite;
        for (size_t c = 0; c < upper.size(); ++c)
            line += upper[c] ? (lower[c] ? "█" : "▀") : (lower[c] ? "▄" : " ");
        lines.push_back(line + kPlain);
    }
    return lines;
}

// Full-height bars, one or two modules per column (left and right half of each character cell).
std::vector<std::string> linearLines(const std::vector<bool>& bars, int modulesPerColumn) {
    std::string line = kBlackOnWhite;
    for (size_t c = 0; c < bars.size(); c += static_cast<size_t>(modulesPerColumn)) {
        const bool left = bars[c];
        const bool right = modulesPerColumn == 1 ? left : c + 1 < bars.size() && bars[c + 1];
        line += left ? (right ? "█" : "▌") : (right ? "▐" : " ");
    }
    return std::vector<std::string>(kLinearLines, line + kPlain);
}

} // namespace

TerminalDrawing drawForTerminal(const std::string& symbology, const std::string& payload, bool gs1,
                                int columns) {
    const bool linear = symbology == "ean13" || symbology == "code128";
    const auto modules =
        modulesOf(dvkhost::takeText(dvk_barcode_svg(symbology.c_str(), payload.data(),
                                                    static_cast<int>(payload.size()), gs1, 1, 0)),
                  linear);
    if (!modules) return {};
    TerminalDrawing drawing;
    if (!linear) {
        const size_t quiet = kMatrixQuietModules;
        Modules grid(modules->size() + 2 * quiet, std::vector<bool>((*modules)[0].size() + 2 * quiet));
        for (size_t r = 0; r < modules->size(); ++r)
            for (size_t c = 0; c < (*modules)[r].size(); ++c)
                grid[r + quiet][c + quiet] = (*modules)[r][c];
        drawing.columns = static_cast<int>(grid[0].size());
        if (drawing.columns <= columns) drawing.lines = matrixLines(grid);
        return drawing;
    }
    std::vector<bool> bars(kLinearQuietModules, false);
    bars.insert(bars.end(), (*modules)[0].begin(), (*modules)[0].end());
    bars.insert(bars.end(), kLinearQuietModules, false);
    const int full = static_cast<int>(bars.size());
    const int half = (full + 1) / 2;
    drawing.columns = full <= columns ? full : half;
    if (drawing.columns <= columns) drawing.lines = linearLines(bars, full <= columns ? 1 : 2);
    return drawing;
}
