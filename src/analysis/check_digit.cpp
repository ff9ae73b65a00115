#include "analysis/check_digit.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "bytes/bytes16.h"

namespace dorvik {

// Eight bytes at a time (a GTIN, a fixed value of a cut): a byte is a digit when neither it minus '0' nor it
// plus 0x46 sets its top bit. A borrow or carry between bytes only happens beside a byte that fails itself.
bool isAllDigits(std::string_view text) {
    const size_t n = text.size();
    if (n == 0) return false;
    if (n >= 8) {
        auto failing = [](const char* eight) {
            uint64_t word;
            std::memcpy(&word, eight, 8);
            return ((word - 0x3030303030303030) | (word + 0x4646464646464646)) & 0x8080808080808080;
        };
        uint64_t fails = 0;
        for (size_t i = 0; i + 8 < n; i += 8)
            fails |= failing(text.data() + i);
        return (fails | failing(text.data() + n - 8)) == 0;
    }
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

char gtinCheckDigit(std::string_view digits) {
    const size_t n = digits.size();
    if (n == 0 || n > 15) return '\0';
    // Weight 3 on the digit beside the check digit, then 1, 3, 1, ... leftwards; the check digit brings the
    // sum up to a multiple of ten. The digits in one block padded with zeros, which weigh nothing; the weight
    // of the first byte depends on whether there are even or odd many. Sixteen '0' weigh 16 * 2 * '0'.
    static constexpr std::array<uint8_t, 16> kOddCount{3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1};
    static constexpr std::array<uint8_t, 16> kEvenCount{1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3, 1, 3};
    const Bytes16 block = loadShort(digits.data(), n, '0');
    if (mask(inRange(block, '0', '9')) != kAll16) return '\0';
    const uint32_t sum = weightedSum(block, n % 2 == 1 ? kOddCount : kEvenCount) - 16 * 2 * '0';
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool gtinCheckOk(std::string_view text) {
    const size_t n = text.size();
    if (n != 8 && n != 12 && n != 13 && n != 14) return false;
    const char check = gtinCheckDigit(text.substr(0, n - 1));
    return check != '\0' && check == text[n - 1];
}

} // namespace dorvik
