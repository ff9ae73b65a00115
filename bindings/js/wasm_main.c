/* The module has no entry point: its exports are the library's, listed in CMakeLists.txt, and the two
 * helpers below, which only the JS glue calls, on result blocks of the library. */
#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

/* The length of a text the library returned, eight bytes at a time: twice as fast as strlen, whose words
 * are four bytes here. Every byte up to the block's usable size belongs to the block, so whole words may
 * be read up to there; the NUL is inside it. */
size_t js_text_length(const char* text) {
    const size_t room = malloc_usable_size((void*)text);
    size_t i = 0;
    for (; i + 8 <= room; i += 8) {
        uint64_t word;
        memcpy(&word, text + i, 8);
        /* Non-zero exactly when one of the eight bytes is zero. */
        if ((word - 0x0101010101010101u) & ~word & 0x8080808080808080u) break;
    }
    while (text[i] != '\0')
        ++i;
    return i;
}

/* Bytes of the UTF-8 sequence that `lead` begins, 0 when no valid one can start with it. */
static size_t sequenceSize(const uint8_t* at, size_t left, uint32_t* codePoint) {
    const uint8_t lead = at[0];
    size_t size;
    uint8_t low = 0x80, high = 0xBF; /* the range of the second byte, narrowed as the decoder's tables do */
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        *codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        *codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;  /* overlong */
        if (lead == 0xED) high = 0x9F; /* surrogates */
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        *codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;  /* overlong */
        if (lead == 0xF4) high = 0x8F; /* beyond U+10FFFF */
    } else {
        return 0;
    }
    if (left < size || at[1] < low || at[1] > high) return 0;
    for (size_t i = 1; i < size; ++i) {
        if ((at[i] & 0xC0) != 0x80) return 0;
        *codePoint = *codePoint << 6 | (at[i] & 0x3F);
    }
    return size;
}

static char* putEscape(char* out, uint32_t unit) {
    static const char hex[] = "0123456789abcdef";
    out[0] = '\\';
    out[1] = 'u';
    for (int i = 0; i < 4; ++i)
        out[2 + i] = hex[(unit >> (12 - 4 * i)) & 0xF];
    return out + 6;
}

/* Bytes from the start that are ASCII, eight at a time while there are eight. */
static size_t asciiRun(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        memcpy(&word, bytes + i, 8);
        if (word & 0x8080808080808080u) break;
    }
    while (i < length && bytes[i] < 0x80)
        ++i;
    return i;
}

/* A library JSON text of `length` bytes with every character beyond ASCII written as a \u escape, which
 * means the same inside a JSON string (and nothing but strings holds such characters). JavaScript decodes
 * an ASCII text to a one-byte string without conversion and parses that faster: a scan event with a Russian
 * title crosses in two thirds of the time. Returns `text` itself when it is ASCII already, a new block
 * (released with free) otherwise, with its length in *escapedLength; null when the text is not UTF-8 or
 * memory runs out, and the glue then reads the text as it is. */
char* js_ascii_json(const char* text, size_t length, size_t* escapedLength) {
    const uint8_t* bytes = (const uint8_t*)text;
    size_t i = asciiRun(bytes, length);
    *escapedLength = length;
    if (i == length) return (char*)text;
    /* Two to four bytes become one or two escapes of six: never more than three times as many. */
    if (length > (SIZE_MAX - 1) / 3) return NULL;
    char* escaped = malloc(3 * length + 1);
    if (escaped == NULL) return NULL;
    memcpy(escaped, text, i);
    char* out = escaped + i;
    while (i < length) {
        uint32_t codePoint = 0;
        const size_t n = sequenceSize(bytes + i, length - i, &codePoint);
        if (n == 0) {
            free(escaped);
            return NULL;
        }
        i += n;
        if (codePoint > 0xFFFF) {
            codePoint -= 0x10000;
            out = putEscape(out, 0xD800 | codePoint >> 10);
            out = putEscape(out, 0xDC00 | (codePoint & 0x3FF));
        } else {
            out = putEscape(out, codePoint);
        }
        const size_t run = asciiRun(bytes + i, length - i);
        memcpy(out, bytes + i, run);
        out += run;
        i += run;
    }
    *out = '\0';
    *escapedLength = (size_t)(out - escaped);
    return escaped;
}
