#include "key_tables.h"

#include <array>

namespace dorvik::host {

namespace {

// Linux numbers the keys of the original keyboard by their make codes, so only the E0 keys differ.
constexpr PhysicalKey kKeys[] = {
    {0x02, 2, "Digit1"},
    {0x03, 3, "Digit2"},
    {0x04, 4, "Digit3"},
    {0x05, 5, "Digit4"},
    {0x06, 6, "Digit5"},
    {0x07, 7, "Digit6"},
    {0x08, 8, "Digit7"},
    {0x09, 9, "Digit8"},
    {0x0A, 10, "Digit9"},
    {0x0B, 11, "Digit0"},
    {0x0C, 12, "Minus"},
    {0x0D, 13, "Equal"},
    {0x0E, 14, "Backspace"},
    {0x0F, 15, "Tab"},
    {0x10, 16, "KeyQ"},
    {0x11, 17, "KeyW"},
    {0x12, 18, "KeyE"},
    {0x13, 19, "KeyR"},
    {0x14, 20, "KeyT"},
    {0x15, 21, "KeyY"},
    {0x16, 22, "KeyU"},
    {0x17, 23, "KeyI"},
    {0x18, 24, "KeyO"},
    {0x19, 25, "KeyP"},
    {0x1A, 26, "BracketLeft"},
    {0x1B, 27, "BracketRight"},
    {0x1C, 28, "Enter"},
    {0x1D, 29, "ControlLeft"},
    {0x1E, 30, "KeyA"},
    {0x1F, 31, "KeyS"},
    {0x20, 32, "KeyD"},
    {0x21, 33, "KeyF"},
    {0x22, 34, "KeyG"},
    {0x23, 35, "KeyH"},
    {0x24, 36, "KeyJ"},
    {0x25, 37, "KeyK"},
    {0x26, 38, "KeyL"},
    {0x27, 39, "Semicolon"},
    {0x28, 40, "Quote"},
    {0x29, 41, "Backquote"},
    {0x2A, 42, "ShiftLeft"},
    {0x2B, 43, "Backslash"},
    {0x2C, 44, "KeyZ"},
    {0x2D, 45, "KeyX"},
    {0x2E, 46, "KeyC"},
    {0x2F, 47, "KeyV"},
    {0x30, 48, "KeyB"},
    {0x31, 49, "KeyN"},
    {0x32, 50, "KeyM"},
    {0x33, 51, "Comma"},
    {0x34, 52, "Period"},
    {0x35, 53, "Slash"},
    {0x36, 54, "ShiftRight"},
    {0x37, 55, "NumpadMultiply"},
    {0x38, 56, "AltLeft"},
    {0x39, 57, "Space"},
    {0x3A, 58, "CapsLock"},
    {0x47, 71, "Numpad7"},
    {0x48, 72, "Numpad8"},
    {0x49, 73, "Numpad9"},
    {0x4A, 74, "NumpadSubtract"},
    {0x4B, 75, "Numpad4"},
    {0x4C, 76, "Numpad5"},
    {0x4D, 77, "Numpad6"},
    {0x4E, 78, "NumpadAdd"},
    {0x4F, 79, "Numpad1"},
    {0x50, 80, "Numpad2"},
    {0x51, 81, "Numpad3"},
    {0x52, 82, "Numpad0"},
    {0x53, 83, "NumpadDecimal"},
    {kExtended | 0x1C, 96, "NumpadEnter"},
    {kExtended | 0x1D, 97, "ControlRight"},
    {kExtended | 0x35, 98, "NumpadDivide"},
    {kExtended | 0x38, 100, "AltRight"},
};

constexpr uint16_t kLinuxCodes = 101;

constexpr std::array<uint16_t, kLinuxCodes> kByLinuxCode = [] {
    std::array<uint16_t, kLinuxCodes> table{};
    for (const PhysicalKey& key : kKeys)
        table[key.linuxCode] = key.scanCode;
    return table;
}();

constexpr bool isModifier(uint16_t scanCode) {
    const uint16_t make = scanCode & 0xFF;
    return make == 0x1D || make == 0x2A || make == 0x36 || make == 0x38 || make == 0x3A;
}

// Of the E0 keys only keypad Enter and keypad / type; the cursor block shares its make codes with the keypad
// digits, which an Alt code would take for digits.
constexpr std::array<uint8_t, 256> kTypingPlain = [] {
    std::array<uint8_t, 256> table{};
    for (const PhysicalKey& key : kKeys)
        if (key.scanCode < 0x100 && !isModifier(key.scanCode))
            table[key.scanCode] = static_cast<uint8_t>(key.scanCode);
    return table;
}();

} // namespace

uint8_t typingMakeCode(uint16_t scanCode) {
    if (scanCode < 0x100) return kTypingPlain[scanCode];
    if (scanCode == (kExtended | 0x1C) || scanCode == (kExtended | 0x35)) return scanCode & 0xFF;
    return 0;
}

std::span<const PhysicalKey> physicalKeys() { return kKeys; }

uint16_t scanCodeOfLinuxKey(int32_t code) {
    return code >= 0 && code < kLinuxCodes ? kByLinuxCode[static_cast<size_t>(code)] : 0;
}

uint16_t scanCodeOfKeyCode(std::string_view code) {
    for (const PhysicalKey& key : kKeys)
        if (key.keyCode == code) return key.scanCode;
    return 0;
}

} // namespace dorvik::host
