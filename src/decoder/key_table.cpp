#include "decoder/key_table.h"

#include <array>

namespace dorvik {

namespace {

constexpr std::array<KeyEntry, 62> kKeyTable{{
    {0x02, '1', '!'},  {0x03, '2', '@'}, {0x04, '3', '#'}, {0x05, '4', '$'}, {0x06, '5', '%'},
    {0x07, '6', '^'},  {0x08, '7', '&'}, {0x09, '8', '*'}, {0x0A, '9', '('}, {0x0B, '0', ')'},
    {0x0C, '-', '_'},  {0x0D, '=', '+'},

    {0x10, 'q', 'Q'},  {0x11, 'w', 'W'}, {0x12, 'e', 'E'}, {0x13, 'r', 'R'}, {0x14, 't', 'T'},
    {0x15, 'y', 'Y'},  {0x16, 'u', 'U'}, {0x17, 'i', 'I'}, {0x18, 'o', 'O'}, {0x19, 'p', 'P'},
    {0x1A, '[', '{'},  {0x1B, ']', '}'},

    {0x1E, 'a', 'A'},  {0x1F, 's', 'S'}, {0x20, 'd', 'D'}, {0x21, 'f', 'F'}, {0x22, 'g', 'G'},
    {0x23, 'h', 'H'},  {0x24, 'j', 'J'}, {0x25, 'k', 'K'}, {0x26, 'l', 'L'}, {0x27, ';', ':'},
    {0x28, '\'', '"'}, {0x29, '`', '~'},

    {0x2B, '\\', '|'}, {0x2C, 'z', 'Z'}, {0x2D, 'x', 'X'}, {0x2E, 'c', 'C'}, {0x2F, 'v', 'V'},
    {0x30, 'b', 'B'},  {0x31, 'n', 'N'}, {0x32, 'm', 'M'}, {0x33, ',', '<'}, {0x34, '.', '>'},
    {0x35, '/', '?'},

    {0x39, ' ', ' '},

    {0x37, '*', '*'},  {0x4A, '-', '-'}, {0x4E, '+', '+'}, {0x53, '.', '.'}, {0x47, '7', '7'},
    {0x48, '8', '8'},  {0x49, '9', '9'}, {0x4B, '4', '4'}, {0x4C, '5', '5'}, {0x4D, '6', '6'},
    {0x4F, '1', '1'},  {0x50, '2', '2'}, {0x51, '3', '3'}, {0x52, '0', '0'},
}};

// Indexed by scan code; built at compile time so that decoding a key is one look-up.
constexpr std::array<int8_t, 256> kIndexByScanCode = [] {
    std::array<int8_t, 256> index{};
    index.fill(-1);
    for (size_t i = 0; i < kKeyTable.size(); ++i)
        index[kKeyTable[i].scanCode] = static_cast<int8_t>(i);
    return index;
}();

} // namespace

std::span<const KeyEntry> keyTable() { return kKeyTable; }

const KeyEntry* findKey(uint16_t scanCode) {
    if (scanCode >= kIndexByScanCode.size()) return nullptr;
    const int8_t index = kIndexByScanCode[scanCode];
    return index < 0 ? nullptr : &kKeyTable[static_cast<size_t>(index)];
}

std::optional<char> altCodeDigit(uint16_t scanCode) {
    for (size_t digit = 0; digit < kKeypadDigitScanCodes.size(); ++digit) {
        if (kKeypadDigitScanCodes[digit] == scanCode) return static_cast<char>('0' + digit);
    }
    return std::nullopt;
}

} // namespace dorvik
