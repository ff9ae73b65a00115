#include <array>

#include "analysis/check_digit.h"
#include "render/linear_codes.h"

namespace dorvik {

namespace {

// The odd-parity (L) set; the R set is its complement and the G set the R set reversed.
constexpr std::array<uint8_t, 10> kLPatterns = {0b0001101, 0b0011001, 0b0010011, 0b0111101, 0b0100011,
                                                0b0110001, 0b0101111, 0b0111011, 0b0110111, 0b0001011};
// Parity of digits 2..7 by the first digit, one bit per digit from the left: 1 = G set.
constexpr std::array<uint8_t, 10> kFirstDigitParity = {0b000000, 0b001011, 0b001101, 0b001110, 0b010011,
                                                       0b011001, 0b011100, 0b010101, 0b010110, 0b011010};

// The R set is the complement of the L set and the G set the R set reversed.
constexpr std::array<uint8_t, 10> kRPatterns = [] {
    std::array<uint8_t, 10> r{};
    for (size_t d = 0; d < 10; ++d)
        r[d] = static_cast<uint8_t>(~kLPatterns[d] & 0x7F);
    return r;
}();

constexpr std::array<uint8_t, 10> kGPatterns = [] {
    std::array<uint8_t, 10> g{};
    for (size_t d = 0; d < 10; ++d) {
        for (int i = 0; i < 7; ++i)
            g[d] = static_cast<uint8_t>(g[d] | (((kRPatterns[d] >> i) & 1) << (6 - i)));
    }
    return g;
}();

uint8_t* putBits(uint8_t* at, uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i)
        *at++ = static_cast<uint8_t>((bits >> i) & 1);
    return at;
}

} // namespace

ModuleMatrix encodeEan13(std::string_view payload) {
    // Thirteen digits at most, in a fixed array: appending to a string is a call per digit where the
    // standard library keeps its string out of line (libc++, WebAssembly).
    std::array<char, 13> digits{};
    size_t count = 0;
    for (const char c : payload) {
        if (c >= '0' && c <= '9') {
            if (count == digits.size()) return {};
            digits[count++] = c;
        }
    }
    if (count == 12) digits[count++] = gtinCheckDigit({digits.data(), 12});
    if (count != 13) return {};

    ModuleMatrix matrix{95, 1, std::vector<uint8_t>(95)};
    uint8_t* at = putBits(matrix.modules.data(), 0b101, 3);
    const uint8_t parity = kFirstDigitParity[static_cast<size_t>(digits[0] - '0')];
    for (int k = 0; k < 6; ++k) {
        const int digit = digits[static_cast<size_t>(k) + 1] - '0';
        const bool even = (parity >> (5 - k)) & 1;
        at = putBits(at, (even ? kGPatterns : kLPatterns)[static_cast<size_t>(digit)], 7);
    }
    at = putBits(at, 0b01010, 5);
    for (size_t k = 7; k < 13; ++k)
        at = putBits(at, kRPatterns[static_cast<size_t>(digits[k] - '0')], 7);
    putBits(at, 0b101, 3);
    return matrix;
}

} // namespace dorvik
