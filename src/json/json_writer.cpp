#include "json/json_writer.h"

#include <array>
#include <charconv>

namespace dorvik {

namespace {

// Bytes below 0x20, the quote and the backslash; everything else is copied as it is.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (size_t b = 0; b < 0x20; ++b)
        table[b] = true;
    table['"'] = table['\\'] = true;
    return table;
}();

} // namespace

void appendJsonString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kNeedsEscape[byte]) continue;
        out.append(text.data() + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (byte) {
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        default:
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
    out += '"';
}

std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

void appendInt(std::string& out, int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendUint(std::string& out, uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendDouble(std::string& out, double value) {
    // Only weights read from six digits come here, so the value is always finite.
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    out.append(buffer, result.ptr);
}

static void appendPrettyKey(std::string& out, std::string_view key) {
    out += "    \"";
    out += key;
    out += "\": ";
}

static void appendPrettyEnd(std::string& out, bool last) { out += last ? "\n" : ",\n"; }

void appendPrettyString(std::string& out, std::string_view key, std::string_view value, bool last) {
    appendPrettyKey(out, key);
    appendJsonString(out, value);
    appendPrettyEnd(out, last);
}

void appendPrettyInt(std::string& out, std::string_view key, int32_t value, bool last) {
    appendPrettyKey(out, key);
    appendInt(out, value);
    appendPrettyEnd(out, last);
}

void appendPrettyBool(std::string& out, std::string_view key, bool value, bool last) {
    appendPrettyKey(out, key);
    appendBool(out, value);
    appendPrettyEnd(out, last);
}

} // namespace dorvik
