#include "analysis/check_digit.h"

namespace dorvik {

bool isAllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (!isDigit(c)) return false;
    }
    return true;
}

bool gtinCheckOk(std::string_view text) {
    const size_t n = text.size();
    if (n != 8 && n != 12 && n != 13 && n != 14) return false;
    // Weights 3, 1, 3, ... from the digit before the check digit; one pass that also rejects non-digits.
    unsigned sum = 0;
    unsigned notDigit = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        notDigit |= digit > 9 ? 1u : 0u;
        sum += digit * ((n - i) % 2 == 0 ? 3u : 1u);
    }
    // The check digit itself counts once, so a valid number sums to a multiple of ten.
    return notDigit == 0 && sum % 10 == 0;
}

} // namespace dorvik
