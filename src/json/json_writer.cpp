#include "json/json_writer.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bytes/bytes16.h"

namespace dorvik {

namespace {

Mask16 escapeMask(Bytes16 bytes) {
    return mask(inRange(bytes, 0, 0x1F) | equal(bytes, '"') | equal(bytes, '\\'));
}

char* putEscape(char* at, unsigned char byte) {
    static constexpr char hex[] = "0123456789abcdef";
    at[0] = '\\';
    switch (byte) {
    case '\b': at[1] = 'b'; return at + 2;
    case '\t': at[1] = 't'; return at + 2;
    case '\n': at[1] = 'n'; return at + 2;
    case '\f': at[1] = 'f'; return at + 2;
    case '\r': at[1] = 'r'; return at + 2;
    case '"': at[1] = '"'; return at + 2;
    case '\\': at[1] = '\\'; return at + 2;
    default:
        std::memcpy(at + 1, "u00", 3);
        at[4] = hex[byte >> 4];
        at[5] = hex[byte & 0xF];
        return at + 6;
    }
}

} // namespace

char* putJsonChars(char* at, std::string_view text) {
    // Each block of sixteen is stored whole and the output advanced only past its plain bytes, so a run of
    // plain bytes costs no copy call; the bytes stored beyond an escape are written over next.
    const char* from = text.data();
    const char* const end = from + text.size();
    while (end - from >= 16) {
        const Bytes16 block = load16(from);
        store16(at, block);
        const Mask16 escapes = escapeMask(block);
        if (escapes == 0) {
            from += 16;
            at += 16;
            continue;
        }
        const auto plain = static_cast<size_t>(std::countr_zero(escapes));
        at = putEscape(at + plain, static_cast<unsigned char>(from[plain]));
        from += plain + 1;
    }
    // The last bytes (all of a short string) as one more block, padded with plain bytes.
    const auto rest = static_cast<size_t>(end - from);
    if (rest == 0) return at;
    const Bytes16 block = loadShort(from, rest, 'A');
    store16(at, block);
    if (escapeMask(block) == 0) return at + rest;
    for (; from < end; ++from) {
        const auto byte = static_cast<unsigned char>(*from);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
            at = putEscape(at, byte);
        } else {
            *at++ = static_cast<char>(byte);
        }
    }
    return at;
}

void appendJsonString(std::string& out, std::string_view text) {
    // Sized exactly first, so that the string is grown once and keeps no spare room.
    size_t size = text.size() + 2;
    auto count = [&](const char* block, Mask16 escapes) {
        for (; escapes != 0; escapes &= escapes - 1) {
            const auto byte = static_cast<unsigned char>(block[std::countr_zero(escapes)]);
            size +=
                byte < 0x20 && byte != '\b' && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r'
                    ? 5
                    : 1;
        }
    };
    size_t i = 0;
    for (; text.size() - i >= 16; i += 16)
        count(text.data() + i, escapeMask(load16(text.data() + i)));
    if (i < text.size()) count(text.data() + i, escapeMask(loadShort(text.data() + i, text.size() - i, 'A')));
    const size_t start = out.size();
    out.resize(start + size + kJsonSlack);
    char* const at = out.data() + start;
    *at = '"';
    *putJsonChars(at + 1, text) = '"';
    out.resize(start + size);
}

void appendUint(std::string& out, uint64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

char* putDouble(char* at, double value) {
    // Most scans carry no weight.
    if (value == 0.0 && !std::signbit(value)) {
        *at = '0';
        return at + 1;
    }
    // printf's own "%.10g", with the C library's decimal point, whatever the locale, spelt as a full stop.
    char text[kDoubleRoom];
    const int written = std::snprintf(text, sizeof text, "%.10g", value);
    const std::string_view point = std::localeconv()->decimal_point;
    const std::string_view number(
        text, static_cast<size_t>(std::clamp(written, 0, static_cast<int>(kDoubleRoom) - 1)));
    for (size_t i = 0; i < number.size();) {
        if (!point.empty() && number.substr(i).starts_with(point)) {
            *at++ = '.';
            i += point.size();
        } else {
            *at++ = number[i++];
        }
    }
    return at;
}

} // namespace dorvik
