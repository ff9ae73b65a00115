// The physical keys a scanner types, by their set-1 scan codes, and the names platforms give them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dorvik::host {

// E0-prefixed keys carry the prefix in the high byte: right Ctrl is 0xE01D.
inline constexpr uint16_t kExtended = 0xE000;

struct PhysicalKey {
    uint16_t scanCode;
    uint16_t linuxCode;
    std::string_view keyCode; // W3C KeyboardEvent.code
};

std::span<const PhysicalKey> physicalKeys();

// 0 for a key no scanner types.
uint16_t scanCodeOfLinuxKey(int32_t code);
uint16_t scanCodeOfKeyCode(std::string_view code);
// The make code a decoder hears for a key that types (a modifier does not); 0 for none.
uint8_t typingMakeCode(uint16_t scanCode);

} // namespace dorvik::host
