// Digit tests shared by classification and the element-string rules.
#pragma once

#include <string_view>

#include "bytes/ascii.h"

namespace dorvik {

// False for the empty text.
bool isAllDigits(std::string_view text);

// The GS1 check digit of an EAN-8, UPC-A, EAN-13 or GTIN-14 (ITF-14) number.
bool gtinCheckOk(std::string_view text);

} // namespace dorvik
