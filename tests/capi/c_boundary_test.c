/* The header as a C host sees it: one decoder scenario through plain C. */
#include <stdio.h>
#include <string.h>

#include "dorvik_c.h"

static int failures = 0;

static void expectContains(const char* text, const char* part) {
    if (text == NULL || strstr(text, part) == NULL) {
        fprintf(stderr, "expected %s in %s\n", part, text ? text : "(null)");
        ++failures;
    }
}

int main(void) {
    static const uint16_t keys[] = {0x05, 0x07, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B,
                                    0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x09, 0x1C};
    dvk_decoder* decoder = dvk_decoder_new();
    char* result;
    uint64_t t = 100;
    size_t i;

    if (dvk_decoder_set_profile(decoder, "{\"minLength\": 8}") != 1) ++failures;
    dvk_decoder_bind(decoder, "usb-1");
    for (i = 0; i < sizeof keys / sizeof keys[0]; ++i) {
        dvk_decoder_feed_key(decoder, keys[i], 0, 0, 0, 0, 0, 0, 0, t, "usb-1");
        t += 12;
    }
    dvk_decoder_tick(decoder, t + 500);
    result = dvk_decoder_poll(decoder);
    expectContains(result, "\"data\":\"4600000000008\",\"kind\":2,\"kindTitle\":\"EAN-13\"");
    expectContains(result, "\"frames\":[{\"frame\":\"4600000000008\\r\",\"deviceId\":\"usb-1\",\"tMs\":256");
    dvk_free(result);
    dvk_decoder_free(decoder);
    return failures == 0 ? 0 : 1;
}
