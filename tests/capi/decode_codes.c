/* Real codes through the library as a host links it: for every code of a TSV of codes (the third column, GS
 * written <GS>), the scan event as a scanner sends it and as one that drops GS sends it (under "gsMissing"),
 * and the code drawn as a GS1 DataMatrix; then dvk_key_for_char of every byte. Builds for other machines
 * (32-bit Windows under Wine, ARM under qemu) must print the same bytes as the x86-64 build.
 *
 * usage: dvk_decode_codes CODES.tsv > OUT */
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "dorvik_c.h"

static void put(char* text) {
    fputs(text != NULL ? text : "<null>", stdout);
    fputc('\n', stdout);
    dvk_free(text);
}

/* The third tab-separated field with each <GS> made a GS byte, and a copy without them; 0 if none. */
static int codeOf(const char* line, char* code, char* bare, size_t room) {
    size_t n = 0, m = 0;
    int tabs = 0;
    for (; *line != '\0' && tabs < 2; ++line)
        tabs += *line == '\t';
    for (; *line != '\0' && *line != '\t' && *line != '\n' && *line != '\r' && n + 1 < room; ++line) {
        if (strncmp(line, "<GS>", 4) == 0) {
            code[n++] = '\x1d';
            line += 3;
        } else {
            code[n++] = *line;
            bare[m++] = *line;
        }
    }
    code[n] = '\0';
    bare[m] = '\0';
    return tabs == 2 && n > 0;
}

int main(int argc, char** argv) {
    static char line[8192], code[8192], bare[8192];
    FILE* in = argc == 2 ? fopen(argv[1], "rb") : NULL;
    int c;
    if (in == NULL) {
        fprintf(stderr, "usage: dvk_decode_codes CODES.tsv\n");
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); /* the bytes as written, no CR before each LF */
#endif
    while (fgets(line, sizeof line, in) != NULL) {
        if (line[0] == '#' || !codeOf(line, code, bare, sizeof code)) continue;
        put(dvk_decode_frame(NULL, code, -1, "COM3"));
        put(dvk_decode_frame("{\"gsMissing\": true}", bare, -1, "COM3"));
        put(dvk_barcode_svg("datamatrix", code, -1, 1, 2, 2));
    }
    fclose(in);
    for (c = 0; c < 256; ++c)
        put(dvk_key_for_char((char)c));
    return 0;
}
