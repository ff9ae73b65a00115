#include "json/json_writer.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bytes/short_load.h"

namespace dorvik {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the escape scan reads bytes as little-endian words");

// The bytes of eight (little-endian) that need an escape, as the high bit of each; exact per byte, with no
// carry from one byte into the next.
uint64_t escapeMask(uint64_t eight) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
    constexpr uint64_t kHigh = 0x8080808080808080;
    constexpr uint64_t kOnes = 0x0101010101010101;
    const auto zeroBytes = [](uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
    const uint64_t control = ~(((eight & kLow7) + kOnes * (0x80 - 0x20)) | eight) & kHigh;
    return control | zeroBytes(eight ^ (kOnes * '"')) | zeroBytes(eight ^ (kOnes * '\\'));
}

#if defined(__SSE2__)
// The bytes of sixteen that need an escape, as the bits of a mask.
uint32_t escapeHits(__m128i v) {
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v);
    const __m128i quoteOrBackslash =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(control, quoteOrBackslash)));
}
#endif

// Calls visit(i) for the position of every byte of the text that needs an escape, in order, looking at
// eight bytes at a time; escapes are rare in scanned codes, so most words cost one test.
template <typename Visit> void forEachEscape(std::string_view text, Visit&& visit) {
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen at a time where the processor has the vector compares (every x86-64 does).
    for (; text.size() - i >= 16; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        for (uint32_t mask = escapeHits(v); mask != 0; mask &= mask - 1)
            visit(i + static_cast<size_t>(std::countr_zero(mask)));
    }
#endif
    for (; i < text.size(); i += 8) {
        uint64_t eight = 0;
        const size_t rest = text.size() - i;
        if (rest >= 8) {
            std::memcpy(&eight, text.data() + i, 8);
        } else {
            // The tail, taken from the text's last eight bytes when there are that many (a short copy
            // into a word would stall the load that follows), and padded with bytes that need no escape.
            if (text.size() >= 8) {
                std::memcpy(&eight, text.data() + text.size() - 8, 8);
                eight >>= 8 * (8 - rest);
            } else {
                for (size_t k = rest; k-- > 0;)
                    eight = (eight << 8) | static_cast<unsigned char>(text[i + k]);
            }
            eight |= 0x4141414141414141 << (8 * rest);
        }
        for (uint64_t mask = escapeMask(eight); mask != 0; mask &= mask - 1)
            visit(i + static_cast<size_t>(std::countr_zero(mask)) / 8);
    }
}

// The escape sequence of a byte that needs one: two bytes, or six for \u00XX.
size_t escapeSize(unsigned char byte) {
    switch (byte) {
    case '\b':
    case '\t':
    case '\n':
    case '\f':
    case '\r':
    case '"':
    case '\\': return 2;
    default: return 6;
    }
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

size_t jsonStringSize(std::string_view text) {
    size_t size = text.size() + 2;
    forEachEscape(text, [&](size_t i) { size += escapeSize(static_cast<unsigned char>(text[i])) - 1; });
    return size;
}

char* putJsonChars(char* at, std::string_view text) {
    size_t plainFrom = 0;
    forEachEscape(text, [&](size_t i) {
        std::memcpy(at, text.data() + plainFrom, i - plainFrom);
        at = putEscape(at + (i - plainFrom), static_cast<unsigned char>(text[i]));
        plainFrom = i + 1;
    });
    std::memcpy(at, text.data() + plainFrom, text.size() - plainFrom);
    return at + (text.size() - plainFrom);
}

char* putJsonCharsWithSlack(char* at, std::string_view text) {
#if defined(__SSE2__)
    // Each block of sixteen is stored whole and the output advanced only past its plain bytes, so a run
    // of plain bytes costs no copy call; the bytes stored beyond an escape are written over next.
    const char* from = text.data();
    const char* const end = from + text.size();
    while (end - from >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
        const uint32_t mask = escapeHits(v);
        if (mask == 0) {
            from += 16;
            at += 16;
            continue;
        }
        const auto plain = static_cast<size_t>(std::countr_zero(mask));
        at = putEscape(at + plain, static_cast<unsigned char>(from[plain]));
        from += plain + 1;
    }
    // The last bytes (all of a short string) as one more block, padded with plain bytes.
    const auto rest = static_cast<size_t>(end - from);
    if (rest == 0) return at;
    const __m128i v = loadShort(from, rest, 'A');
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    if (escapeHits(v) == 0) return at + rest;
    for (; from < end; ++from) {
        const auto byte = static_cast<unsigned char>(*from);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
            at = putEscape(at, byte);
        } else {
            *at++ = static_cast<char>(byte);
        }
    }
    return at;
#else
    return putJsonChars(at, text);
#endif
}

char* putJsonString(char* at, std::string_view text) {
    *at++ = '"';
    at = putJsonChars(at, text);
    *at++ = '"';
    return at;
}

void appendJsonString(std::string& out, std::string_view text) {
    // Measured first, then written into the string grown once, runs of plain bytes copied whole.
    const size_t start = out.size();
    out.resize(start + jsonStringSize(text));
    putJsonString(out.data() + start, text);
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

char* putDouble(char* at, double value) {
    // Most scans carry no weight: the answer to_chars would give, without its cost.
    if (value == 0.0 && !std::signbit(value)) {
        *at = '0';
        return at + 1;
    }
    return std::to_chars(at, at + kDoubleRoom, value, std::chars_format::general, 10).ptr;
}

void appendDouble(std::string& out, double value) {
    // Only weights read from six digits come here, so the value is always finite.
    char buffer[kDoubleRoom];
    out.append(buffer, putDouble(buffer, value));
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
