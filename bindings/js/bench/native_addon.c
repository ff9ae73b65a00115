/* The native library inside the benchmark's Node process, as a Node host of the shared library would call
 * it: each call hands its text to JavaScript as a string. The timed loops measure the C calls alone. */
#define _POSIX_C_SOURCE 199309L
#include <stdbool.h>
#include <time.h>

#include <node_api.h>

#include "dorvik_c.h"

/* The benchmark's texts are short; a longer one would be cut, and the benchmark checks the results. */
enum { TEXT_ROOM = 4096 };

typedef struct {
    char bytes[TEXT_ROOM];
    int32_t length;
} Text;

/* A JS string as UTF-8; null for anything else. */
static const char* text(napi_env env, napi_value value, Text* room) {
    napi_valuetype type;
    size_t n = 0;
    if (napi_typeof(env, value, &type) != napi_ok || type != napi_string) return NULL;
    napi_get_value_string_utf8(env, value, room->bytes, TEXT_ROOM, &n);
    room->length = (int32_t)n;
    return room->bytes;
}

static napi_value takeText(napi_env env, char* result) {
    napi_value value;
    if (result == NULL) {
        napi_get_null(env, &value);
        return value;
    }
    napi_create_string_utf8(env, result, NAPI_AUTO_LENGTH, &value);
    dvk_free(result);
    return value;
}

static double nowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

/* Arguments: the call's own, then for the timed forms the number of calls. */
typedef struct {
    Text a, b, c;
    const char *first, *second, *third;
    bool flag;
    uint32_t calls;
} Args;

static void readArgs(napi_env env, napi_callback_info info, Args* args) {
    size_t argc = 4;
    napi_value argv[4];
    napi_get_cb_info(env, info, &argc, argv, NULL, NULL);
    args->first = argc > 0 ? text(env, argv[0], &args->a) : NULL;
    args->second = argc > 1 ? text(env, argv[1], &args->b) : NULL;
    args->third = argc > 2 ? text(env, argv[2], &args->c) : NULL;
    args->flag = false;
    if (argc > 2) napi_get_value_bool(env, argv[2], &args->flag);
    args->calls = 0;
    if (argc > 3) napi_get_value_uint32(env, argv[3], &args->calls);
}

static napi_value number(napi_env env, double value) {
    napi_value result;
    napi_create_double(env, value, &result);
    return result;
}

/* decodeFrame(text, profile | null, deviceId) → the event's JSON text */
static napi_value decodeFrame(napi_env env, napi_callback_info info) {
    static Args args;
    readArgs(env, info, &args);
    return takeText(env, dvk_decode_frame(args.second, args.first, args.a.length, args.third));
}

/* barcodeSvg(kind, data, gs1) → the SVG text, or null */
static napi_value barcodeSvg(napi_env env, napi_callback_info info) {
    static Args args;
    readArgs(env, info, &args);
    return takeText(env, dvk_barcode_svg(args.first, args.second, args.b.length, args.flag, 4, 4));
}

/* timeDecodeFrame(text, profile | null, deviceId, calls) → nanoseconds a call */
static napi_value timeDecodeFrame(napi_env env, napi_callback_info info) {
    static Args args;
    readArgs(env, info, &args);
    const double start = nowNs();
    for (uint32_t i = 0; i < args.calls; ++i)
        dvk_free(dvk_decode_frame(args.second, args.first, args.a.length, args.third));
    return number(env, (nowNs() - start) / args.calls);
}

/* timeBarcodeSvg(kind, data, gs1, calls) → nanoseconds a call */
static napi_value timeBarcodeSvg(napi_env env, napi_callback_info info) {
    static Args args;
    readArgs(env, info, &args);
    const double start = nowNs();
    for (uint32_t i = 0; i < args.calls; ++i)
        dvk_free(dvk_barcode_svg(args.first, args.second, args.b.length, args.flag, 4, 4));
    return number(env, (nowNs() - start) / args.calls);
}

NAPI_MODULE_INIT() {
    const napi_property_descriptor functions[] = {
        {"decodeFrame", NULL, decodeFrame, NULL, NULL, NULL, napi_default, NULL},
        {"barcodeSvg", NULL, barcodeSvg, NULL, NULL, NULL, napi_default, NULL},
        {"timeDecodeFrame", NULL, timeDecodeFrame, NULL, NULL, NULL, napi_default, NULL},
        {"timeBarcodeSvg", NULL, timeBarcodeSvg, NULL, NULL, NULL, napi_default, NULL},
    };
    napi_define_properties(env, exports, sizeof functions / sizeof functions[0], functions);
    return exports;
}
