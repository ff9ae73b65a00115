// US-layout scan codes (set 1) shared by key decoding and the reverse key look-up. The order of the
// table decides reverse look-ups: the main block comes before the numeric keypad.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace dorvik {

struct KeyEntry {
    uint16_t scanCode;
    char plain;
    char shifted;
};

inline constexpr uint16_t kScanEnter = 0x1C;
inline constexpr uint16_t kScanTab = 0x0F;

std::span<const KeyEntry> keyTable();
const KeyEntry* findKey(uint16_t scanCode);

// Upper case in the C locale: only a-z change.
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The numeric-keypad keys of the digits 0 to 9, the keys an Alt code is typed on.
inline constexpr std::array<uint16_t, 10> kKeypadDigitScanCodes = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                                                   0x4C, 0x4D, 0x47, 0x48, 0x49};

// The digit a numeric-keypad key stands for in an Alt code.
std::optional<char> altCodeDigit(uint16_t scanCode);

} // namespace dorvik
