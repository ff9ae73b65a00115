/* The C host suite, one source for Linux and Windows: it loads the library at run time by name (dlopen, or
 * LoadLibraryW under Wine), as a cash-register application does, and drives every export through a function
 * table generated from the header's list of exports. Exit status 0 when everything matched. */
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "dorvik_c.h"
#include "dvk_export_list.h"
#include "test_vectors.h"

#define FIELD(name) __typeof__(&dvk_##name) name;
static struct { DVK_EXPORT_LIST(FIELD) } dvk;

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

/* Compares a result with its expected text (whole, or a part of it) and frees it. */
static void expect(char* result, const char* expected, int whole, const char* what) {
    const int ok =
        result != NULL && (whole ? strcmp(result, expected) == 0 : strstr(result, expected) != NULL);
    if (!ok) fprintf(stderr, "got: %s\n", result ? result : "(null)");
    check(ok, what);
    dvk.free(result);
}

static int has(const char* text, const char* part) { return text != NULL && strstr(text, part) != NULL; }

#ifdef _WIN32
static HMODULE library;
#define OPEN(path) LoadLibraryA(path)
#define SYMBOL(name) ((void (*)(void))GetProcAddress(library, name))
#define CLOSE() FreeLibrary(library)
#else
static void* library;
#define OPEN(path) dlopen(path, RTLD_NOW | RTLD_LOCAL)
#define SYMBOL(name) symbol(name)
#define CLOSE() dlclose(library)

static void (*symbol(const char* name))(void) {
    void* address = dlsym(library, name);
    void (*function)(void);
    memcpy(&function, &address, sizeof function); /* POSIX guarantees the sizes agree */
    return function;
}
#endif

static int load(const char* path) {
    library = OPEN(path);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s\n", path);
        return 0;
    }
#define LOAD(name) \
    dvk.name = (__typeof__(dvk.name))SYMBOL("dvk_" #name); \
    check(dvk.name != NULL, "export dvk_" #name);
    DVK_EXPORT_LIST(LOAD)
    return failures == 0;
}

static void nullArguments(void) {
    dvk_decoder* d;
    dvk.decoder_free(NULL);
    dvk.decoder_bind(NULL, "x");
    dvk.decoder_feed_key(NULL, 2, 0, 0, 0, 0, 0, 0, 0, 1, "x");
    dvk.decoder_feed_bytes(NULL, "x", 1, "x", 1);
    dvk.decoder_tick(NULL, 1);
    dvk.decoder_reset(NULL);
    dvk.free(NULL);
    dvk.tuner_free(NULL);
    dvk.tuner_skip(NULL);
    check(dvk.decoder_set_profile(NULL, "{}") == 0 && dvk.decoder_profile(NULL) == NULL &&
              dvk.decoder_poll(NULL) == NULL && dvk.tuner_state(NULL) == NULL &&
              dvk.tuner_feed(NULL, "x", 1, "x", 0, "1") == 0 &&
              dvk.barcode_svg(NULL, NULL, -1, 0, 0, 0) == NULL,
          "null handles");
    expect(dvk.decode_frame(NULL, NULL, -7, NULL), "\"kind\":0,\"kindTitle\":\"неизвестный\"", 0,
           "decode_frame(NULL)");
    d = dvk.decoder_new();
    check(dvk.decoder_set_profile(d, NULL) == 0 && dvk.decoder_set_profile(d, "") == 0,
          "set_profile(d, NULL)");
    dvk.decoder_bind(d, NULL);
    dvk.decoder_feed_bytes(d, NULL, 5, NULL, 1);
    dvk.decoder_feed_bytes(d, "1234\r", 0, NULL, 1);
    dvk.decoder_feed_key(d, 0x1C, 0, 0, 0, 0, 0, 0, 0, 1, NULL);
    expect(dvk.decoder_poll(d),
           "{\"scans\":[],\"frames\":[{\"frame\":\"\\r\",\"deviceId\":\"\",\"tMs\":1,\"gapsMs\":[]}]}", 1,
           "poll after null texts");
    dvk.decoder_free(d);
}

static void goldenTexts(void) {
    dvk_decoder* d = dvk.decoder_new();
    check(strcmp(dvk.version(), DVK_VERSION_STRING) == 0, "version agrees with the header");
    expect(dvk.decoder_profile(d), DVK_VEC_DEFAULT_PROFILE, 1, "default profile");
    expect(dvk.decoder_poll(d), DVK_VEC_EMPTY_POLL, 1, "empty poll");
    dvk.decoder_free(d);
    expect(dvk.decode_frame("not json", "4600000000008", -1, NULL), DVK_VEC_EAN13_SCAN, 1,
           "EAN-13 scan, bad profile ignored");
    expect(dvk.decode_frame(NULL, "2012345012349", -1, NULL), DVK_VEC_WEIGHT_SCAN, 1, "weight scan");
    expect(dvk.decode_frame("{\"gsMissing\":true}", DVK_VEC_REPAIRED_FRAME, -1, "usb"), DVK_VEC_REPAIRED_SCAN,
           1, "repaired marking code");
    expect(dvk.key_for_char('A'), DVK_VEC_KEY_A, 1, "key for A");
    expect(dvk.key_for_char('\x1d'), DVK_VEC_KEY_GS, 1, "key for GS");
    expect(dvk.key_for_char((char)0xD0), DVK_VEC_KEY_NONE, 1, "key for 0xD0");
}

static void decoder(void) {
    static const uint16_t keys[] = {0x05, 0x07, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B,
                                    0x0B, 0x0B, 0x0B, 0x0B, 0x09, 0x02, 0x1C};
    dvk_decoder* d = dvk.decoder_new();
    char* profile;
    size_t i;
    /* A profile is taken whole or not at all, and absent keys take their defaults. */
    check(dvk.decoder_set_profile(d, "{\"terminator\":\"\\r\\n\",\"minLength\":2}") == 1, "profile applied");
    check(dvk.decoder_set_profile(d, "{\"terminator\":\"\\r\\n\"") == 0, "truncated profile refused");
    check(dvk.decoder_set_profile(d, "{\"minLength\":3, \"prefix\": \"bad\\q\"}") == 0, "bad escape refused");
    profile = dvk.decoder_profile(d);
    check(has(profile, "\"terminator\": \"\\r\\n\"") && has(profile, "\"minLength\": 2"),
          "refused profiles change nothing");
    dvk.free(profile);
    check(dvk.decoder_set_profile(d, "{\"gsMissing\": true}") == 1, "second profile applied");
    /* Typed on the bound scanner: a pause over the burst gap closes the EAN-13 frame, Enter the next; the
     * same keys from another device make frames but no scans. */
    dvk.decoder_bind(d, "scanner");
    for (i = 0; i < 30; ++i)
        dvk.decoder_feed_key(d, keys[i % 15], 0, 0, 0, 0, 0, 0, 0,
                             1000 + 5 * i + (i % 15 >= 13) * 100 + (i >= 15) * 200,
                             i < 15 ? "scanner" : "keyboard");
    expect(
        dvk.decoder_poll(d),
        "{\"scans\":[{\"raw\":\"4600000000008\",\"data\":\"4600000000008\",\"kind\":2,\"kindTitle\":\"EAN-13\",\"aimId\":\"\",\"deviceId\":\"scanner\",\"tMs\":1060,\"fromBoundDevice\":true,\"marked\":false,\"gtin\":\"\",\"serial\":\"\",\"mrc\":\"\",\"cryptoTail\":\"\",\"weightKg\":0,\"itemCode\":\"\",\"gsRepaired\":false,\"gsGuess\":false,\"suspect\":false,\"warnings\":[]}],"
        "\"frames\":[{\"frame\":\"4600000000008\",\"deviceId\":\"scanner\",\"tMs\":1060,\"gapsMs\":[5,5,5,5,5,5,5,5,5,5,5,5]},{\"frame\":\"1\\r\",\"deviceId\":\"scanner\",\"tMs\":1170,\"gapsMs\":[5]},"
        "{\"frame\":\"4600000000008\",\"deviceId\":\"keyboard\",\"tMs\":1335,\"gapsMs\":[5,5,5,5,5,5,5,5,5,5,5,5]},{\"frame\":\"1\\r\",\"deviceId\":\"keyboard\",\"tMs\":1445,\"gapsMs\":[5]}]}",
        1, "typed frames and the bound scanner's scans");
    dvk.decoder_feed_bytes(d, "010460709729111121ABCDEFG800512345693Ab1z\r", -1, "scanner", 2000);
    expect(dvk.decoder_poll(d), "\"serial\":\"ABCDEFG\",\"mrc\":\"123456\"", 0, "GS repaired by the decoder");
    dvk.decoder_feed_bytes(d, "AB\0CD", 3, "scanner", 5);
    dvk.decoder_tick(d, 1000);
    expect(dvk.decoder_poll(d), "\"frame\":\"AB\\u0000\"", 0, "explicit length takes the NUL");
    dvk.decoder_feed_bytes(d, "ABCD\r\n", -1, "scanner", 18446744073709551615ULL);
    dvk.decoder_tick(d, 18446744073709551615ULL);
    expect(dvk.decoder_poll(d), "\"tMs\":18446744073709551615,\"fromBoundDevice\":true", 0,
           "time stamps at the end of the clock");
    dvk.decoder_feed_key(d, 0x02, 0, 0, 0, 0, 0, 0, 0, 3000, "scanner");
    dvk.decoder_reset(d);
    dvk.decoder_tick(d, 9000);
    expect(dvk.decoder_poll(d), DVK_VEC_EMPTY_POLL, 1, "reset discards the open frame");
    dvk.decoder_free(d);
}

static void commaDecimalLocale(void) {
    static const char* names[] = {"ru_RU.UTF-8", "Russian_Russia.1251"};
    dvk_decoder* d;
    size_t i;
    for (i = 0; i < 2 && setlocale(LC_ALL, names[i]) == NULL; ++i) {
    }
    if (i == 2) {
        printf("skipped: no Russian locale installed\n");
        check(getenv("DVK_REQUIRE_LOCALE") == NULL, "DVK_REQUIRE_LOCALE: Russian locale");
        return;
    }
    expect(dvk.decode_frame(NULL, "2012345012349", -1, NULL), "\"weightKg\":1.234,", 0,
           "weight under a comma locale");
    d = dvk.decoder_new();
    check(dvk.decoder_set_profile(d, "{\"burstGapMs\":60.9,\"minLength\":2.5e0}") == 1, "fractions read");
    expect(dvk.decoder_profile(d), "\"burstGapMs\": 60,", 0, "fractions cut");
    dvk.decoder_free(d);
    setlocale(LC_ALL, "C");
}

static void tuner(void) {
    const size_t hugeLength = 4u << 20;
    char* huge = (char*)malloc(hugeLength + 1);
    char *done, *profile;
    dvk_tuner* t = dvk.tuner_new("hid", NULL);
    dvk_decoder* d = dvk.decoder_new();
    size_t i;
    expect(dvk.tuner_state(t), DVK_VEC_NEW_TUNER_STATE, 1, "new tuner state");
    dvk.tuner_skip(t);
    expect(dvk.tuner_state(t), DVK_VEC_SKIPPED_STEP0_FINDING, 0, "skipped step finding");
    dvk.tuner_free(t);

    t = dvk.tuner_new("nonsense", NULL);
    check(dvk.tuner_feed(t, "4600000000008\r", -1, "", 10, "[3,3]") == 0, "frame without device ignored");
    check(dvk.tuner_feed(t, NULL, -1, NULL, 0, NULL) == 0, "empty frame ignored");
    memset(huge, '7', hugeLength);
    huge[hugeLength] = '\0';
    check(dvk.tuner_feed(t, huge, -1, "usb", 1, huge + hugeLength - 100000) == 0, "4 MiB frame ignored");
    check(dvk.tuner_feed(t, "4600000000008\r\0tail", -1, "usb", 2, "[3,4]") == 1, "frame runs to the NUL");
    check(dvk.tuner_feed(t, "", 0, "usb", 1, "99999999999999999999999999") == 1, "time going back");
    for (i = 0; i < 10; ++i)
        dvk.tuner_skip(t);
    done = dvk.tuner_state(t);
    check(has(done, "\"done\":true") && dvk.tuner_feed(t, "4600000000008\r", -1, "usb", 3, "") == 0,
          "finished tuner ignores frames");
    expect(dvk.tuner_state(t), done ? done : "", 1, "finished tuner stays as it is");
    /* A finished tuner's profile is what a decoder accepts and writes back unchanged. */
    profile = done ? strstr(done, "\"profile\":") : NULL;
    if (profile != NULL) {
        profile += strlen("\"profile\":");
        profile[strlen(profile) - 1] = '\0';
        check(dvk.decoder_set_profile(d, profile) == 1, "finished profile accepted");
        expect(dvk.decoder_profile(d), profile, 1, "finished profile round trip");
    }
    dvk.decoder_free(d);
    dvk.free(done);
    dvk.tuner_free(t);
    free(huge);
}

static void barcodeSvg(void) {
    const size_t bigLength = 1u << 22;
    char* big = (char*)malloc(bigLength + 1);
    memset(big, 'x', bigLength);
    big[bigLength] = '\0';
    check(dvk.barcode_svg("ean13", "", 0, 0, 4, 4) == NULL, "empty payload");
    check(dvk.barcode_svg("code128", "ab\0cd", 5, 0, 4, 4) == NULL, "NUL is no Code 128 character");
    check(dvk.barcode_svg("datamatrix", big, -1, 1, 4, 4) == NULL, "payload over the largest DataMatrix");
    free(big);
    expect(dvk.barcode_svg("datamatrix", "A", 1, 0, 1, 0), DVK_VEC_SVG_A, 1, "DataMatrix SVG");
    expect(dvk.barcode_svg(NULL, "A", 1, 0, 1, 1), "viewBox=\"0 0 12 12\"", 0,
           "any other kind is a DataMatrix");
    expect(dvk.barcode_svg("ean13", "460000000000", -1, 1, 0, -5),
           "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 380 240\"", 0,
           "scale 0 is 4, quiet -5 is 0");
    expect(dvk.barcode_svg("code128", "0104607097291111\0353103000123", 27, 1, 2, 10), "<svg", 0,
           "GS1 Code 128 with GS");
}

/* The build names the library it made; on Windows it lies beside the host, as it is shipped. */
#ifndef DVK_LIBRARY_PATH
#define DVK_LIBRARY_PATH "dorvik_c.dll"
#endif

int main(void) {
    if (!load(DVK_LIBRARY_PATH)) return 1;
    nullArguments();
    goldenTexts();
    decoder();
    commaDecimalLocale();
    tuner();
    barcodeSvg();
    CLOSE();
    printf("%s\n", failures == 0 ? "all exports behave as promised" : "FAILURES");
    return failures == 0 ? 0 : 1;
}
