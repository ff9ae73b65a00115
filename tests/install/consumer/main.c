/* A C host built against dorvik_c; C89, so that the oldest till software can include the header. */
#include <stdio.h>
#include <string.h>

#include <dorvik_c.h>

int main(int argc, char** argv) {
    dvk_decoder* decoder = dvk_decoder_new();
    char* scan = dvk_decode_frame(NULL, "4600000000008", -1, NULL);
    char* poll;
    int ok;
    dvk_decoder_feed_bytes(decoder, "4600000000008\r", -1, "COM1", 1);
    poll = dvk_decoder_poll(decoder);
    ok = scan != NULL && strstr(scan, "\"kindTitle\":\"EAN-13\"") != NULL && poll != NULL &&
         strstr(poll, "\"data\":\"4600000000008\",\"kind\":2") != NULL &&
         strcmp(dvk_version(), DVK_VERSION_STRING) == 0;
    printf("%s host, dorvik_c %s: %s\n", argc > 1 ? argv[1] : "C", dvk_version(), ok ? "ok" : "FAILED");
    dvk_free(poll);
    dvk_free(scan);
    dvk_decoder_free(decoder);
    return ok ? 0 : 1;
}
