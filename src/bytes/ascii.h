// The bytes and byte classes every layer agrees on; header only, so that even render may use it.
#pragma once

namespace dorvik {

// GS, the GS1 field separator a scanner sends after a variable-length element.
inline constexpr char kGs = '\x1d';

inline constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace dorvik
