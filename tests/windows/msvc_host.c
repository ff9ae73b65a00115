/* Linked by lld-link, the MSVC-compatible linker, against dorvik_c.lib alone: no C runtime, so the exit
 * code is the verdict. */
#include "dorvik_c.h"

int mainCRTStartup(void) {
    const char* version = dvk_version();
    const char* wanted = DVK_VERSION_STRING;
    char* scan = dvk_decode_frame(0, "4600000000008", -1, 0);
    int i = 0;
    while (version[i] != '\0' && version[i] == wanted[i])
        ++i;
    dvk_free(scan);
    return scan != 0 && version[i] == wanted[i] ? 0 : 1;
}
