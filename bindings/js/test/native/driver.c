/* The native side of the differential test: reads a script of calls on stdin, makes them on the native
 * library and its host kit and writes every result on stdout. Texts are a u32 length (0xFFFFFFFF for null)
 * and the bytes; numbers are little-endian. One decoder, one tuner and one link (on the current decoder) are
 * current at a time. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dorvik_c.h"
#include "dorvik_host.h"

static uint8_t* script;
static size_t scriptSize;
static size_t at;

static void fail(const char* what) {
    fprintf(stderr, "driver: %s at byte %zu\n", what, at);
    exit(2);
}

static uint64_t number(int bytes) {
    if (at + (size_t)bytes > scriptSize) fail("script ends inside a number");
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= (uint64_t)script[at++] << (8 * i);
    return value;
}

/* A text of the script, NUL-terminated in a copy of its own; null for the null text. */
static char* text(int32_t* length) {
    const uint32_t n = (uint32_t)number(4);
    if (n == 0xFFFFFFFFu) {
        if (length) *length = -1;
        return NULL;
    }
    if (at + n > scriptSize) fail("script ends inside a text");
    char* copy = malloc((size_t)n + 1);
    if (!copy) fail("out of memory");
    memcpy(copy, script + at, n);
    copy[n] = '\0';
    at += n;
    if (length) *length = (int32_t)n;
    return copy;
}

static void out(const char* result, size_t n) {
    const uint32_t length = result ? (uint32_t)n : 0xFFFFFFFFu;
    const uint8_t head[4] = {(uint8_t)length, (uint8_t)(length >> 8), (uint8_t)(length >> 16),
                             (uint8_t)(length >> 24)};
    fwrite(head, 1, 4, stdout);
    if (result) fwrite(result, 1, n, stdout);
}

static void outText(char* result) {
    out(result, result ? strlen(result) : 0);
    dvk_free(result);
}

static void outInt(int32_t value) { out(value ? "1" : "0", 1); }

static void outHostText(char* result) {
    out(result, result ? strlen(result) : 0);
    dvkh_free(result);
}

static void outNumber(long long value) {
    char digits[24];
    const int n = snprintf(digits, sizeof digits, "%lld", value);
    out(digits, (size_t)n);
}

int main(void) {
    size_t capacity = 1 << 20;
    script = malloc(capacity);
    for (size_t got; script && (got = fread(script + scriptSize, 1, capacity - scriptSize, stdin)) > 0;) {
        scriptSize += got;
        if (scriptSize == capacity) script = realloc(script, capacity *= 2);
    }
    if (!script) fail("out of memory");
    dvk_decoder* decoder = NULL;
    dvk_tuner* tuner = NULL;
    dvkh_link* link = NULL;
    while (at < scriptSize) {
        const int op = script[at++];
        int32_t n = 0;
        char *a = NULL, *b = NULL, *d = NULL;
        switch (op) {
        case 1:
            a = text(NULL);
            b = text(&n);
            d = text(NULL);
            outText(dvk_decode_frame(a, b, n, d));
            break;
        case 2: {
            a = text(NULL);
            b = text(&n);
            const int32_t gs1 = (int32_t)number(1), scale = (int32_t)number(4), quiet = (int32_t)number(4);
            outText(dvk_barcode_svg(a, b, n, gs1, scale, quiet));
            break;
        }
        case 3: outText(dvk_key_for_char((char)number(1))); break;
        case 4: decoder = dvk_decoder_new(); break;
        case 5:
            a = text(NULL);
            outInt(dvk_decoder_set_profile(decoder, a));
            break;
        case 6: outText(dvk_decoder_profile(decoder)); break;
        case 7:
            a = text(NULL);
            dvk_decoder_bind(decoder, a);
            break;
        case 8: {
            const uint16_t code = (uint16_t)number(2), aux = (uint16_t)number(2);
            const uint8_t flags = (uint8_t)number(1);
            const uint64_t t = number(8);
            a = text(NULL);
            /* The aux arguments carry noise here: the library must ignore them. */
            dvk_decoder_feed_key(decoder, code, aux, flags & 32, flags & 1, flags & 2, flags & 4, flags & 8,
                                 flags & 64, t, a);
            break;
        }
        case 9:
            a = text(&n);
            b = text(NULL);
            dvk_decoder_feed_bytes(decoder, a, n, b, number(8));
            break;
        case 10: dvk_decoder_tick(decoder, number(8)); break;
        case 11: outText(dvk_decoder_poll(decoder)); break;
        case 12: dvk_decoder_reset(decoder); break;
        case 13:
            dvk_decoder_free(decoder);
            decoder = NULL;
            break;
        case 14:
            a = text(NULL);
            b = text(NULL);
            tuner = dvk_tuner_new(a, b);
            break;
        case 15: outText(dvk_tuner_state(tuner)); break;
        case 16: {
            a = text(&n);
            b = text(NULL);
            const uint64_t t = number(8);
            d = text(NULL);
            outInt(dvk_tuner_feed(tuner, a, n, b, t, d));
            break;
        }
        case 17: dvk_tuner_skip(tuner); break;
        case 18:
            dvk_tuner_free(tuner);
            tuner = NULL;
            break;
        case 19: {
            const char* v = dvk_version();
            out(v, strlen(v));
            break;
        }
        /* The host kit. */
        case 20: {
            a = text(NULL);
            const int32_t setUp = (int32_t)number(1);
            link = dvkh_link_new(decoder, a, setUp);
            break;
        }
        case 21:
            dvkh_link_free(link);
            link = NULL;
            break;
        case 22:
            a = text(NULL);
            outInt(dvkh_link_use_profile(link, a));
            break;
        case 23: {
            const int32_t code = (int32_t)number(2), action = (int32_t)number(1);
            dvkh_link_key(link, code, action, number(8));
            break;
        }
        case 24: {
            const int32_t code = (int32_t)number(2), action = (int32_t)number(1), mods = (int32_t)number(1);
            dvkh_link_key_with(link, code, action, mods, number(8));
            break;
        }
        case 25: dvkh_link_set_caps_lock(link, (int32_t)number(1)); break;
        case 26:
            a = text(&n);
            dvkh_link_bytes(link, a, n, number(8));
            break;
        case 27:
            a = text(&n);
            outNumber(dvkh_link_hid_pos_descriptor(link, a, n));
            break;
        case 28:
            a = text(NULL);
            outNumber(dvkh_link_hid_pos_collections(link, a));
            break;
        case 29: {
            const int32_t id = (int32_t)number(1);
            a = text(&n);
            outInt(dvkh_link_hid_pos_report(link, id, a, n, number(8)));
            break;
        }
        case 30:
            a = text(&n);
            dvkh_link_hid_pos_stream(link, a, n, number(8));
            break;
        case 31: dvkh_link_tick(link, number(8)); break;
        case 32: dvkh_link_end(link, number(8)); break;
        case 33: outNumber((long long)dvkh_link_wake_at(link)); break;
        case 34: outHostText(dvkh_link_poll(link)); break;
        case 35: outHostText(dvkh_link_notices(link)); break;
        case 36: outHostText(dvkh_key_codes()); break;
        case 37:
            a = text(NULL);
            outNumber(dvkh_scan_code_of_key_code(a));
            break;
        case 38: outNumber(dvkh_scan_code_of_linux_key((int32_t)(uint32_t)number(4))); break;
        case 40: outNumber(dvkh_link_hid_pos_report_id(link)); break;
        case 39: {
            const char* p = dvkh_set_up_profile();
            out(p, strlen(p));
            break;
        }
        default: fail("unknown operation");
        }
        free(a);
        free(b);
        free(d);
    }
    dvkh_link_free(link);
    dvk_decoder_free(decoder);
    dvk_tuner_free(tuner);
    free(script);
    return fflush(stdout) == 0 ? 0 : 1;
}
