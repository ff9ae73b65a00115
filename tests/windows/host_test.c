/* Loads dorvik_c.dll with LoadLibraryW and GetProcAddress, drives every export and compares the results
 * with the vectors the Linux suites use. Exit status 0 when everything matched. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "dorvik_c.h"
#include "test_vectors.h"

typedef dvk_decoder* (*DecoderNew)(void);
typedef void (*DecoderFree)(dvk_decoder*);
typedef int32_t (*DecoderSetProfile)(dvk_decoder*, const char*);
typedef char* (*DecoderProfile)(dvk_decoder*);
typedef void (*DecoderBind)(dvk_decoder*, const char*);
typedef void (*DecoderFeedKey)(dvk_decoder*, uint16_t, uint16_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                               int32_t, uint64_t, const char*);
typedef void (*DecoderFeedBytes)(dvk_decoder*, const char*, int32_t, const char*, uint64_t);
typedef void (*DecoderTick)(dvk_decoder*, uint64_t);
typedef char* (*DecoderPoll)(dvk_decoder*);
typedef void (*DecoderReset)(dvk_decoder*);
typedef char* (*DecodeFrame)(const char*, const char*, int32_t, const char*);
typedef char* (*KeyForChar)(char);
typedef const char* (*Version)(void);
typedef void (*Free)(void*);
typedef dvk_tuner* (*TunerNew)(const char*, const char*);
typedef void (*TunerFree)(dvk_tuner*);
typedef char* (*TunerState)(dvk_tuner*);
typedef void (*TunerSkip)(dvk_tuner*);
typedef int32_t (*TunerFeed)(dvk_tuner*, const char*, int32_t, const char*, uint64_t, const char*);
typedef char* (*BarcodeSvg)(const char*, const char*, int32_t, int32_t, int32_t, int32_t);

static struct {
    DecoderNew decoder_new;
    DecoderFree decoder_free;
    DecoderSetProfile decoder_set_profile;
    DecoderProfile decoder_profile;
    DecoderBind decoder_bind;
    DecoderFeedKey decoder_feed_key;
    DecoderFeedBytes decoder_feed_bytes;
    DecoderTick decoder_tick;
    DecoderPoll decoder_poll;
    DecoderReset decoder_reset;
    DecodeFrame decode_frame;
    KeyForChar key_for_char;
    Version version;
    Free free;
    TunerNew tuner_new;
    TunerFree tuner_free;
    TunerState tuner_state;
    TunerSkip tuner_skip;
    TunerFeed tuner_feed;
    BarcodeSvg barcode_svg;
} dvk;

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

/* Compares a result with its expected text (or a part of it) and frees it. */
static void expect(char* result, const char* expected, int whole, const char* what) {
    const int ok =
        result != NULL && (whole ? strcmp(result, expected) == 0 : strstr(result, expected) != NULL);
    if (!ok) fprintf(stderr, "got: %s\n", result ? result : "(null)");
    check(ok, what);
    dvk.free(result);
}

static FARPROC need(HMODULE module, const char* name) {
    FARPROC f = GetProcAddress(module, name);
    if (f == NULL) {
        fprintf(stderr, "missing export %s\n", name);
        ++failures;
    }
    return f;
}

#define LOAD(field, name) dvk.field = (void*)need(module, name)

static void nullArguments(void) {
    dvk_decoder* d;
    dvk.decoder_free(NULL);
    check(dvk.decoder_set_profile(NULL, "{}") == 0, "set_profile(NULL)");
    check(dvk.decoder_profile(NULL) == NULL, "profile(NULL)");
    dvk.decoder_bind(NULL, NULL);
    dvk.decoder_feed_key(NULL, 2, 0, 0, 0, 0, 0, 0, 0, 1, NULL);
    dvk.decoder_feed_bytes(NULL, NULL, -1, NULL, 1);
    dvk.decoder_tick(NULL, 1);
    check(dvk.decoder_poll(NULL) == NULL, "poll(NULL)");
    dvk.decoder_reset(NULL);
    dvk.free(NULL);
    dvk.tuner_free(NULL);
    check(dvk.tuner_state(NULL) == NULL, "tuner_state(NULL)");
    dvk.tuner_skip(NULL);
    check(dvk.tuner_feed(NULL, NULL, -1, NULL, 0, NULL) == 0, "tuner_feed(NULL)");
    check(dvk.barcode_svg(NULL, NULL, -1, 0, 0, 0) == NULL, "barcode_svg(NULL)");
    expect(dvk.decode_frame(NULL, NULL, -7, NULL), "\"kind\":0,\"kindTitle\":\"", 0, "decode_frame(NULL)");

    d = dvk.decoder_new();
    check(dvk.decoder_set_profile(d, NULL) == 0, "set_profile(d, NULL)");
    dvk.decoder_bind(d, NULL);
    dvk.decoder_feed_bytes(d, NULL, 5, NULL, 1);
    dvk.decoder_feed_bytes(d, "A\r", -1, NULL, 2);
    dvk.decoder_feed_key(d, 0x1C, 0, 0, 0, 0, 0, 0, 0, 3, NULL);
    expect(dvk.decoder_poll(d), "{\"frame\":\"A\\r\",\"deviceId\":\"\",\"tMs\":2,\"gapsMs\":[]}", 0,
           "poll after null texts");
    dvk.decoder_free(d);
}

static void decoder(void) {
    static const uint16_t keys[] = {0x05, 0x07, 0x0B, 0x0B, 0x0B, 0x0B, 0x0B,
                                    0x0B, 0x0B, 0x0B, 0x0B, 0x0B, 0x09, 0x1C};
    dvk_decoder* d = dvk.decoder_new();
    size_t i;
    expect(dvk.decoder_profile(d), DVK_VEC_DEFAULT_PROFILE, 1, "default profile");
    expect(dvk.decoder_poll(d), DVK_VEC_EMPTY_POLL, 1, "empty poll");
    check(dvk.decoder_set_profile(d, "{\"burstGapMs\": 60.9}") == 1, "set_profile");
    dvk.decoder_bind(d, "usb");
    for (i = 0; i < sizeof keys / sizeof keys[0]; ++i)
        dvk.decoder_feed_key(d, keys[i], 0, 0, 0, 0, 0, 0, 0, 100 + 10 * i, "usb");
    dvk.decoder_feed_bytes(d, "ABCD\r\n", -1, "usb", 18446744073709551615ULL);
    dvk.decoder_tick(d, 18446744073709551615ULL);
    expect(
        dvk.decoder_poll(d),
        "\"data\":\"4600000000008\",\"kind\":2,\"kindTitle\":\"EAN-13\",\"aimId\":\"\",\"deviceId\":\"usb\",\"tMs\":230,\"fromBoundDevice\":true",
        0, "typed scan");
    dvk.decoder_feed_key(d, 0x02, 0, 0, 0, 0, 0, 0, 0, 5, "usb");
    dvk.decoder_reset(d);
    dvk.decoder_tick(d, 100000);
    expect(dvk.decoder_poll(d), DVK_VEC_EMPTY_POLL, 1, "poll after reset");
    dvk.decoder_free(d);
}

static void services(void) {
    check(strcmp(dvk.version(), "0.3.2") == 0 && dvk.version() == dvk.version(), "version");
    expect(dvk.decode_frame(NULL, "4600000000008", -1, NULL), DVK_VEC_EAN13_SCAN, 1, "EAN-13 scan");
    expect(dvk.decode_frame(NULL, "2012345012349", -1, NULL), DVK_VEC_WEIGHT_SCAN, 1, "weight scan");
    expect(dvk.decode_frame("{\"gsMissing\":true}", DVK_VEC_REPAIRED_FRAME, -1, "usb"), DVK_VEC_REPAIRED_SCAN,
           1, "repaired marking code");
    expect(dvk.key_for_char('A'), DVK_VEC_KEY_A, 1, "key for A");
    expect(dvk.key_for_char('\x1d'), DVK_VEC_KEY_GS, 1, "key for GS");
    expect(dvk.key_for_char((char)0xD0), DVK_VEC_KEY_NONE, 1, "key for 0xD0");
    expect(dvk.barcode_svg("datamatrix", "A", 1, 0, 1, 0), DVK_VEC_SVG_A, 1, "DataMatrix SVG");
    expect(dvk.barcode_svg("ean13", "460000000000", -1, 0, 0, -1), "viewBox=\"0 0 380 240\"", 0,
           "EAN-13 SVG");
    expect(dvk.barcode_svg("code128",
                           "0104607097291111\x1d"
                           "3103000123",
                           27, 1, 2, 10),
           "<svg", 0, "Code 128 SVG");
    check(dvk.barcode_svg("code128", "\x01", 1, 0, 1, 1) == NULL, "Code 128 refuses control bytes");
}

static void tuner(void) {
    static const char* frames[] = {"4600000000008\r",
                                   "0104607097291111\x1d"
                                   "3103000123\r",
                                   "010460709729111121ABCDEFG\x1d"
                                   "8005123456\x1d"
                                   "93Tq5x\r",
                                   "010460709729111121AbC1234567\x1d"
                                   "91EE10\x1d"
                                   "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=\r",
                                   "010460709729111121aA0\x1d"
                                   "92!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~\r"};
    dvk_tuner* t = dvk.tuner_new("hid", NULL);
    size_t i;
    expect(dvk.tuner_state(t), DVK_VEC_NEW_TUNER_STATE, 1, "new tuner state");
    check(dvk.tuner_feed(t, frames[0], -1, "", 10, "[3,3]") == 0, "frame without device ignored");
    for (i = 0; i < 5; ++i)
        check(dvk.tuner_feed(t, frames[i], -1, "usb", 1000 * (i + 1), "[3,4,5]") == 1, "step fed");
    dvk.tuner_skip(t);
    check(dvk.tuner_feed(t, frames[0], -1, "usb", 9000, "") == 0, "done tuner ignores frames");
    expect(dvk.tuner_state(t), "\"summary\":\"Все проверки пройдены: 5 из 5 кодов, замечаний нет.\"", 0,
           "summary");
    dvk.tuner_free(t);

    t = dvk.tuner_new(NULL, NULL);
    dvk.tuner_skip(t);
    expect(dvk.tuner_state(t), DVK_VEC_SKIPPED_STEP0_FINDING, 0, "skipped step finding");
    dvk.tuner_free(t);
}

int main(void) {
    HMODULE module = LoadLibraryW(L"dorvik_c.dll");
    if (module == NULL) {
        fprintf(stderr, "cannot load dorvik_c.dll (error %lu)\n", GetLastError());
        return 1;
    }
    LOAD(decoder_new, "dvk_decoder_new");
    LOAD(decoder_free, "dvk_decoder_free");
    LOAD(decoder_set_profile, "dvk_decoder_set_profile");
    LOAD(decoder_profile, "dvk_decoder_profile");
    LOAD(decoder_bind, "dvk_decoder_bind");
    LOAD(decoder_feed_key, "dvk_decoder_feed_key");
    LOAD(decoder_feed_bytes, "dvk_decoder_feed_bytes");
    LOAD(decoder_tick, "dvk_decoder_tick");
    LOAD(decoder_poll, "dvk_decoder_poll");
    LOAD(decoder_reset, "dvk_decoder_reset");
    LOAD(decode_frame, "dvk_decode_frame");
    LOAD(key_for_char, "dvk_key_for_char");
    LOAD(version, "dvk_version");
    LOAD(free, "dvk_free");
    LOAD(tuner_new, "dvk_tuner_new");
    LOAD(tuner_free, "dvk_tuner_free");
    LOAD(tuner_state, "dvk_tuner_state");
    LOAD(tuner_skip, "dvk_tuner_skip");
    LOAD(tuner_feed, "dvk_tuner_feed");
    LOAD(barcode_svg, "dvk_barcode_svg");
    if (failures > 0) return 1;

    nullArguments();
    decoder();
    services();
    tuner();
    FreeLibrary(module);
    printf("%s\n", failures == 0 ? "all exports behave as on Linux" : "FAILURES");
    return failures == 0 ? 0 : 1;
}
