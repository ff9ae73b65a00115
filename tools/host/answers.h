// The library's answers as a host takes them: the text handed over (and released), and the answers the
// tools act on read into plain structs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dvkhost {

// A text the library returned, copied; the library's block is released. Empty for null.
std::string takeText(char* text);

// The key that types a character on a US keyboard (dvk_key_for_char); nullopt when no key does.
struct TypingKey {
    uint16_t scanCode = 0;
    bool shift = false;
    bool ctrl = false;
};
std::optional<TypingKey> keyFor(char c);

// Keypad 0 to 9, the keys of Alt codes.
inline constexpr uint16_t kKeypadDigitScanCodes[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                                       0x4C, 0x4D, 0x47, 0x48, 0x49};

struct PolledFrame {
    std::string text;
    std::string deviceId;
    uint64_t tMs = 0;
    std::string gapsJson; // the "gapsMs" array as the poll wrote it
};

struct PollResult {
    std::vector<std::string> scans; // each scan event's JSON object
    std::vector<PolledFrame> frames;
};

PollResult parsePoll(const std::string& json);

struct FindingView {
    std::string level; // "ok", "warn", "fail"
    std::string title;
    std::string detail;
    std::string advice;
};

// The "findings" of a tuner state.
std::vector<FindingView> parseFindings(const std::string& state);

} // namespace dvkhost
