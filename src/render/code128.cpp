#include <array>
#include <cstdint>
#include <cstring>

#include "bytes/ascii.h"
#include "render/linear_codes.h"
#include "render/render_internal.h"

namespace dorvik {

namespace {

constexpr int kStartB = 104;
constexpr int kStartC = 105;
constexpr int kCodeB = 100;
constexpr int kCodeC = 99;
constexpr int kFnc1 = 102;
constexpr int kStop = 106;

// Bar and space widths of every symbol value, bar first.
constexpr std::array<std::string_view, 107> kWidths = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "233111"};

using PatternText = std::array<char, 11>;

constexpr std::array<PatternText, 107> kPatternTexts = [] {
    std::array<PatternText, 107> patterns{};
    for (size_t v = 0; v < kWidths.size(); ++v) {
        size_t at = 0;
        for (size_t i = 0; i < 6; ++i) {
            for (int w = 0; w < kWidths[v][i] - '0'; ++w)
                patterns[v][at++] = i % 2 == 0 ? '1' : '0';
        }
    }
    return patterns;
}();

const std::array<std::string_view, 107> kPatterns = [] {
    std::array<std::string_view, 107> views{};
    for (size_t v = 0; v < views.size(); ++v)
        views[v] = std::string_view(kPatternTexts[v].data(), 11);
    return views;
}();

// The same patterns as module bytes, copied into the row whole.
using PatternModules = std::array<uint8_t, 11>;

constexpr std::array<PatternModules, 107> kPatternModules = [] {
    std::array<PatternModules, 107> patterns{};
    for (size_t v = 0; v < patterns.size(); ++v) {
        for (size_t i = 0; i < 11; ++i)
            patterns[v][i] = kPatternTexts[v][i] == '1';
    }
    return patterns;
}();

// Whether at least `n` digits follow from `from`: looks no further, so long digit runs stay linear.
bool digitsAhead(std::string_view text, size_t from, size_t n) {
    if (text.size() - from < n) return false;
    for (size_t k = 0; k < n; ++k) {
        if (!isDigit(text[from + k])) return false;
    }
    return true;
}

// The symbol values after the start symbol, in order; false for a byte no code set here can hold.
template <typename Emit> bool symbolValues(std::string_view payload, bool gs1, bool setC, Emit&& emit) {
    if (gs1) emit(kFnc1);
    for (size_t i = 0; i < payload.size();) {
        const char c = payload[i];
        if (c == kGs) {
            emit(kFnc1);
            ++i;
        } else if (setC) {
            if (digitsAhead(payload, i, 2)) {
                emit((payload[i] - '0') * 10 + (payload[i + 1] - '0'));
                i += 2;
            } else {
                emit(kCodeB);
                setC = false;
            }
        } else if (digitsAhead(payload, i, 6)) {
            emit(kCodeC);
            setC = true;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 32 || byte > 126) return false;
            emit(byte - 32);
            ++i;
        }
    }
    return true;
}

} // namespace

// For the tests (render_internal.h), which read symbol values back from the bars.
const std::array<std::string_view, 107>& code128Patterns() { return kPatterns; }

ModuleMatrix encodeCode128(std::string_view payload, bool gs1) {
    // Every symbol takes 11 modules and holds at most two bytes: a payload whose row could not fit 32 bits
    // is refused before anything is encoded.
    if (payload.empty() || payload.size() / 2 > (static_cast<size_t>(INT32_MAX) - 2) / 11) return {};
    const bool setC = digitsAhead(payload, 0, 4);
    const int start = setC ? kStartC : kStartB;
    // Counted and checked first, so that the row is sized once and then drawn without a list of values.
    // The check sum weighs each value by its position. Positions are kept modulo 103 as they go and the sum
    // is reduced once at the end, since a division per symbol is slow in WebAssembly; the sum stays below
    // 2^41 for the longest row.
    size_t count = 1;
    uint64_t sum = static_cast<uint64_t>(start);
    uint64_t weight = 1;
    const bool encodable = symbolValues(payload, gs1, setC, [&](int value) {
        sum += weight * static_cast<uint64_t>(value);
        weight = weight == 102 ? 0 : weight + 1;
        ++count;
    });
    if (!encodable) return {};
    const int checksum = static_cast<int>(sum % 103);
    count += 2; // check symbol and stop
    if (count > (static_cast<size_t>(INT32_MAX) - 2) / 11) return {};

    ModuleMatrix matrix;
    matrix.width = static_cast<int32_t>(11 * count + 2);
    matrix.height = 1;
    matrix.modules.resize(static_cast<size_t>(matrix.width));
    uint8_t* at = matrix.modules.data();
    auto draw = [&](int value) {
        std::memcpy(at, kPatternModules[static_cast<size_t>(value)].data(), 11);
        at += 11;
    };
    draw(start);
    symbolValues(payload, gs1, setC, draw);
    draw(checksum);
    draw(kStop);
    at[0] = at[1] = 1;
    return matrix;
}

} // namespace dorvik
