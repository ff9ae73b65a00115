// Writers shared by every JSON result: the string escaper, compact-style values and the indented style
// of the profile. Texts are bytes; nothing is validated or converted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dorvik {

void appendJsonString(std::string& out, std::string_view text);

// Room that any text of `length` bytes fits in as a JSON string: six bytes a byte at worst, and the quotes.
inline constexpr size_t jsonStringBound(size_t length) { return 6 * length + 2; }
// The escaped bytes of a text, without quotes, written sixteen at a time: the block written into must hold
// this much room beyond the bound of everything written into it. Returns the end.
inline constexpr size_t kJsonSlack = 16;
char* putJsonChars(char* at, std::string_view text);
// True when every byte stands for itself in a JSON string: no control byte, quote or backslash.
constexpr bool needsNoJsonEscape(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') return false;
    }
    return true;
}

void appendInt(std::string& out, int64_t value);
void appendUint(std::string& out, uint64_t value);
// "%.10g" with a full stop whatever the locale, into kDoubleRoom bytes; returns the end.
inline constexpr size_t kDoubleRoom = 40;
char* putDouble(char* at, double value);
inline void appendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// One entry of the indented style: four spaces, "key": value, then ",\n" or "\n" after the last.
void appendPrettyString(std::string& out, std::string_view key, std::string_view value, bool last);
void appendPrettyInt(std::string& out, std::string_view key, int32_t value, bool last);
void appendPrettyBool(std::string& out, std::string_view key, bool value, bool last);

} // namespace dorvik
