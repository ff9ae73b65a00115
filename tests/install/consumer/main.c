/* A host built against an installed dorvik_c. */
#include <stdio.h>
#include <string.h>

#include <dorvik_c.h>

int main(void) {
    char* scan = dvk_decode_frame(NULL, "4600000000008", -1, NULL);
    const int ok = scan != NULL && strstr(scan, "\"kindTitle\":\"EAN-13\"") != NULL &&
                   strcmp(dvk_version(), "0.3.2") == 0;
    printf("%s %s\n", dvk_version(), ok ? "ok" : "FAILED");
    dvk_free(scan);
    return ok ? 0 : 1;
}
