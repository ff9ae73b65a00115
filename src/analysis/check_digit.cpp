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
    if ((n != 8 && n != 12 && n != 13 && n != 14) || !isAllDigits(text)) return false;
    int sum = 0;
    int weight = 3;
    for (size_t i = n - 1; i-- > 0;) {
        sum += (text[i] - '0') * weight;
        weight = 4 - weight;
    }
    return (10 - sum % 10) % 10 == text[n - 1] - '0';
}

} // namespace dorvik
