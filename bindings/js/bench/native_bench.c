/* The native side of bench.js: the same payloads through the native library, nanoseconds per call. */
#define _POSIX_C_SOURCE 199309L
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "dorvik_c.h"

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

/* argv: NAME KIND PAYLOAD; KIND "frame", "frame-gs-missing" or a picture kind ("ean13", "code128",
 * "datamatrix") drawn as GS1 when NAME ends in "gs1". */
int main(int argc, char** argv) {
    for (int i = 1; i + 2 < argc; i += 3) {
        const char *name = argv[i], *kind = argv[i + 1], *payload = argv[i + 2];
        const int32_t len = (int32_t)strlen(payload);
        const int gs1 = strstr(name, "gs1") != NULL;
        const char* profile = strcmp(kind, "frame-gs-missing") == 0 ? "{\"gsMissing\":true}" : NULL;
        const int frame = strncmp(kind, "frame", 5) == 0;
        double best = 1e300;
        for (int round = 0; round < 5; ++round) {
            const int n = frame ? 200000 : 20000;
            const double start = now();
            for (int k = 0; k < n; ++k)
                dvk_free(frame ? dvk_decode_frame(profile, payload, len, "kbd")
                               : dvk_barcode_svg(kind, payload, len, gs1, 4, 4));
            const double each = (now() - start) / n;
            if (each < best) best = each;
        }
        printf("%s %.1f\n", name, best);
    }
    return 0;
}
