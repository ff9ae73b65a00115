#include "analysis/check_digit.h"

#include <cstdint>
#include <cstring>

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

bool gtinCheckOk(std::string_view text) {
    const size_t n = text.size();
    if (n != 8 && n != 12 && n != 13 && n != 14) return false;
    // Weight 1 on the check digit, then 3, 1, 3, ... leftwards: a valid number sums to a multiple of ten.
    // One pass over pairs from the right, which also rejects any byte that is not a digit.
    unsigned sum = 0;
    unsigned notDigit = 0;
    size_t i = n;
    for (; i >= 2; i -= 2) {
        const unsigned ones = static_cast<unsigned char>(text[i - 1]) - unsigned{'0'};
        const unsigned threes = static_cast<unsigned char>(text[i - 2]) - unsigned{'0'};
        notDigit |= (ones > 9) | (threes > 9);
        sum += ones + 3 * threes;
    }
    if (i == 1) {
        const unsigned ones = static_cast<unsigned char>(text[0]) - unsigned{'0'};
        notDigit |= ones > 9;
        sum += ones;
    }
    return notDigit == 0 && sum % 10 == 0;
}

} // namespace dorvik
