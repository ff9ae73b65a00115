// Digit tests shared by classification and the element-string rules.
#pragma once

#include <string_view>

namespace dorvik {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// False for the empty text.
bool isAllDigits(std::string_view text);

// The GS1 check digit of an EAN-8, UPC-A, EAN-13 or GTIN-14 (ITF-14) number.
bool gtinCheckOk(std::string_view text);

} // namespace dorvik
