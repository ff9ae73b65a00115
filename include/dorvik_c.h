/* dorvik_c — barcode scanner input for cash registers.
 *
 * Ownership, as for every export below: every `char*` result is a new NUL-terminated UTF-8 text allocated
 * by the library, owned by the caller and released with dvk_free() and nothing else; dvk_version() alone
 * returns a constant. Input texts are only read during the call (the library keeps its own copies). A null
 * handle is accepted everywhere: functions without a result do nothing, the others return null or 0. A null
 * text counts as the empty text; where a length is taken, a negative length means "up to the NUL", and
 * otherwise exactly that many bytes are read, NUL included. Time stamps are milliseconds on any clock the
 * host chooses, the same clock for all calls on one handle.
 *
 * Calls on one handle must not overlap; different handles are independent. dvk_decode_frame,
 * dvk_key_for_char, dvk_barcode_svg, dvk_version and dvk_free may be called from any thread at any time.
 * Every export, here and in dorvik_host.h, uses the C calling convention (cdecl), whatever a host compiler's
 * default: DVK_CALL says so on 32-bit Windows, the one platform with a choice. */
#ifndef DORVIK_C_H
#define DORVIK_C_H

#include <stdint.h>

#include "dorvik_c_version.h"

/* DVK_STATIC: the static library, linked without import or export decoration. */
#if defined(DVK_STATIC)
#define DVK_API
#elif defined(_WIN32)
#if defined(DORVIK_C_BUILDING)
#define DVK_API __declspec(dllexport)
#else
#define DVK_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define DVK_API __attribute__((visibility("default")))
#else
#define DVK_API
#endif

/* cdecl even for a 32-bit Windows host built with another default (MSVC /Gz or /Gr); names undecorated. */
#if defined(_WIN32) && !defined(_WIN64)
#define DVK_CALL __cdecl
#else
#define DVK_CALL
#endif

/* Opaque in C and C++ alike: a host may forward-declare `struct dvk_decoder;`. */
typedef struct dvk_decoder dvk_decoder;
typedef struct dvk_tuner dvk_tuner;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Decoder: key strokes and byte chunks in, scans and frames out ---- */

/* A new decoder with the default profile, no bound device and empty queues; null if out of memory. Free it
 * with dvk_decoder_free. */
DVK_API dvk_decoder* DVK_CALL dvk_decoder_new(void);

/* Destroys the decoder; frames and scans not yet polled are discarded. Null does nothing. */
DVK_API void DVK_CALL dvk_decoder_free(dvk_decoder* h);

/* Replaces the profile by the given profile JSON (absent keys take their defaults). Returns 1 when applied,
 * 0 when the text is not a profile (the previous profile stays), for a null text and for a null handle. */
DVK_API int32_t DVK_CALL dvk_decoder_set_profile(dvk_decoder* h, const char* json);

/* The current profile as indented JSON ending in "}"; null for a null handle. Caller frees with dvk_free. */
DVK_API char* DVK_CALL dvk_decoder_profile(dvk_decoder* h);

/* Only frames from this device become scans; null or "" lets every device through. The id is copied. */
DVK_API void DVK_CALL dvk_decoder_bind(dvk_decoder* h, const char* deviceId);

/* One key stroke: scan code (set 1 make code) with the modifier and lock states at the time of the stroke;
 * flags are true when non-zero. auxCode, auxFlag1 and auxFlag2 are accepted and ignored. A null device id
 * is the empty id. */
DVK_API void DVK_CALL dvk_decoder_feed_key(dvk_decoder* h, uint16_t scanCode, uint16_t auxCode,
                                           int32_t auxFlag1, int32_t shift, int32_t ctrl, int32_t alt,
                                           int32_t capsLock, int32_t auxFlag2, uint64_t tMs,
                                           const char* deviceId);

/* One chunk of bytes from a serial scanner, copied; len < 0 reads up to the NUL. Null bytes or a zero length
 * do nothing. */
DVK_API void DVK_CALL dvk_decoder_feed_bytes(dvk_decoder* h, const char* bytes, int32_t len,
                                             const char* deviceId, uint64_t tMs);

/* Closes a frame whose last input is older than the profile's frame time-out. Call it while idle. */
DVK_API void DVK_CALL dvk_decoder_tick(dvk_decoder* h, uint64_t nowMs);

/* {"scans":[...],"frames":[...]} with everything queued since the last poll, then empties the queues. Null
 * for a null handle, and (keeping the queues) when the text cannot be allocated. Caller frees with dvk_free.
 */
DVK_API char* DVK_CALL dvk_decoder_poll(dvk_decoder* h);

/* Discards the frame being assembled and both queues; the profile and the binding stay. */
DVK_API void DVK_CALL dvk_decoder_reset(dvk_decoder* h);

/* ---- Stateless services ---- */

/* The scan event JSON of one frame text analysed under the given profile JSON (null, "" or an invalid
 * profile means the defaults; a null text is the empty frame). Caller frees with dvk_free. */
DVK_API char* DVK_CALL dvk_decode_frame(const char* profileJson, const char* text, int32_t len,
                                        const char* deviceId);

/* {"ok":...,"scancode":...,"shift":...,"ctrl":...}: the key stroke that types byte c ("ok":false when none
 * does). Caller frees with dvk_free. */
DVK_API char* DVK_CALL dvk_key_for_char(char c);

/* The library version, DVK_VERSION_STRING of the header it was built with. A constant: do not free. */
DVK_API const char* DVK_CALL dvk_version(void);

/* Releases any text returned by this library (except dvk_version). Null does nothing. */
DVK_API void DVK_CALL dvk_free(void* p);

/* ---- Tuner: the scanner set-up wizard ---- */

/* A new tuner for the transport ("hid", "serial", "sim"; null or anything else means "hid") and device id
 * (null or "" binds the first device that scans); both are copied. Null if out of memory. Free it with
 * dvk_tuner_free. */
DVK_API dvk_tuner* DVK_CALL dvk_tuner_new(const char* transport, const char* deviceId);

/* Destroys the tuner. Null does nothing. */
DVK_API void DVK_CALL dvk_tuner_free(dvk_tuner* t);

/* The tuner's whole state as JSON (step, reference code, findings, summary, profile); null for a null
 * handle. Caller frees with dvk_free. */
DVK_API char* DVK_CALL dvk_tuner_state(dvk_tuner* t);

/* Skips the current step; a finished tuner stays as it is. */
DVK_API void DVK_CALL dvk_tuner_skip(dvk_tuner* t);

/* Feeds one frame as the decoder's poll reported it (gapsMs: decimal numbers, null for none). Returns 1 when
 * the frame was taken as the scan of the current step, 0 when it was ignored or the handle is null. */
DVK_API int32_t DVK_CALL dvk_tuner_feed(dvk_tuner* t, const char* text, int32_t len, const char* deviceId,
                                        uint64_t tMs, const char* gapsMs);

/* ---- Rendering ---- */

/* An SVG picture of the payload: kind "ean13" or "code128" (case-sensitive); any other kind, null included,
 * draws a DataMatrix. gs1 != 0 makes a GS1 symbol. scale is pixels per module (below 1 becomes 4), quiet
 * the quiet zone in modules (negative becomes 0). Null when the payload cannot be encoded. Caller frees
 * with dvk_free. */
DVK_API char* DVK_CALL dvk_barcode_svg(const char* kind, const char* data, int32_t dataLen, int32_t gs1,
                                       int32_t scale, int32_t quiet);

#ifdef __cplusplus
}
#endif

#endif
