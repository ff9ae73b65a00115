// Digit tests shared by classification and the element-string rules.
#pragma once

#include <string_view>

#include "bytes/ascii.h"

namespace dorvik {

// False for the empty text.
bool isAllDigits(std::string_view text);

// The GS1 check digit ('0'..'9') that follows `digits` (1 to 15 of them: 7 for an EAN-8, 11 for a UPC-A,
// 12 for an EAN-13, 13 for a GTIN-14); '\0' when they are not all digits or not of such a length. The one
// written form of the rule: classification checks with it, the EAN-13 encoder completes 12 digits with it.
char gtinCheckDigit(std::string_view digits);

// The GS1 check digit of an EAN-8, UPC-A, EAN-13 or GTIN-14 (ITF-14) number.
bool gtinCheckOk(std::string_view text);

} // namespace dorvik
