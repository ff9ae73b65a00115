/* dorvik_c — barcode scanner input for cash registers.
 *
 * Every function that returns `char*` hands the caller a new NUL-terminated UTF-8 text allocated by the
 * library; release it with dvk_free() and nothing else. The one exception is dvk_version(), whose text is
 * a constant owned by the library. A null handle is accepted everywhere: functions without a result do
 * nothing, functions with a result return null or 0. A null text counts as the empty text; where a length
 * is taken, a negative length means "up to the terminating NUL". Time stamps are milliseconds on any clock
 * the host chooses, the same clock for all calls on one handle.
 *
 * Calls on one handle must not overlap; different handles are independent. dvk_decode_frame,
 * dvk_key_for_char, dvk_barcode_svg, dvk_version and dvk_free may be called from any thread at any time. */
#ifndef DORVIK_C_H
#define DORVIK_C_H

#include <stdint.h>

#if defined(_WIN32)
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

#ifdef __cplusplus
namespace dorvik {
struct DecoderHandle;
class Tuner;
} // namespace dorvik
typedef dorvik::DecoderHandle dvk_decoder;
typedef dorvik::Tuner dvk_tuner;
extern "C" {
#else
typedef struct dvk_decoder dvk_decoder;
typedef struct dvk_tuner dvk_tuner;
#endif

/* ---- Decoder: key strokes and byte chunks in, scans and frames out ---- */

/* A new decoder with the default profile, no bound device and empty queues. Free with dvk_decoder_free. */
DVK_API dvk_decoder* dvk_decoder_new(void);

/* Destroys the decoder; frames and scans not yet polled are discarded. */
DVK_API void dvk_decoder_free(dvk_decoder* h);

/* Replaces the profile by the given profile JSON (absent keys take their defaults). Returns 1 when
 * applied, 0 when the text is not a profile (the previous profile stays). */
DVK_API int32_t dvk_decoder_set_profile(dvk_decoder* h, const char* json);

/* The current profile as indented JSON ending in "}". Caller frees with dvk_free. */
DVK_API char* dvk_decoder_profile(dvk_decoder* h);

/* Only frames from this device become scans; null or "" lets every device through. */
DVK_API void dvk_decoder_bind(dvk_decoder* h, const char* deviceId);

/* One key stroke: scan code (set 1 make code) with the modifier and lock states at the time of the stroke.
 * auxCode, auxFlag1 and auxFlag2 are accepted and ignored. */
DVK_API void dvk_decoder_feed_key(dvk_decoder* h, uint16_t scanCode, uint16_t auxCode, int32_t auxFlag1,
                                  int32_t shift, int32_t ctrl, int32_t alt, int32_t capsLock,
                                  int32_t auxFlag2, uint64_t tMs, const char* deviceId);

/* One chunk of bytes from a serial scanner; len < 0 reads up to the NUL. */
DVK_API void dvk_decoder_feed_bytes(dvk_decoder* h, const char* bytes, int32_t len, const char* deviceId,
                                    uint64_t tMs);

/* Closes a frame whose last input is older than the profile's frame time-out. Call it while idle. */
DVK_API void dvk_decoder_tick(dvk_decoder* h, uint64_t nowMs);

/* {"scans":[...],"frames":[...]} with everything queued since the last poll, then empties the queues.
 * Caller frees with dvk_free. Returns null (and keeps the queues) when the text cannot be allocated. */
DVK_API char* dvk_decoder_poll(dvk_decoder* h);

/* Discards the frame being assembled and both queues; the profile and the binding stay. */
DVK_API void dvk_decoder_reset(dvk_decoder* h);

/* ---- Stateless services ---- */

/* The scan event JSON of one frame text analysed under the given profile JSON (null, "" or an invalid
 * profile means the defaults). Caller frees with dvk_free. */
DVK_API char* dvk_decode_frame(const char* profileJson, const char* text, int32_t len, const char* deviceId);

/* {"ok":...,"scancode":...,"shift":...,"ctrl":...}: the key stroke that types byte c. Caller frees with
 * dvk_free. */
DVK_API char* dvk_key_for_char(char c);

/* The library version, "0.3.2". A constant: do not free. */
DVK_API const char* dvk_version(void);

/* Releases any text returned by this library (except dvk_version). Null does nothing. */
DVK_API void dvk_free(void* p);

/* ---- Tuner: the scanner set-up wizard ---- */

/* A new tuner for the transport ("hid", "serial", "sim"; anything else means "hid") and device id (null or
 * "" binds the first device that scans). Free with dvk_tuner_free. */
DVK_API dvk_tuner* dvk_tuner_new(const char* transport, const char* deviceId);

/* Destroys the tuner. */
DVK_API void dvk_tuner_free(dvk_tuner* t);

/* The tuner's whole state as JSON (step, reference code, findings, summary, profile). Caller frees with
 * dvk_free. */
DVK_API char* dvk_tuner_state(dvk_tuner* t);

/* Skips the current step. */
DVK_API void dvk_tuner_skip(dvk_tuner* t);

/* Feeds one frame as the decoder's poll reported it (gapsMs: decimal numbers). Returns 1 when the frame
 * was taken as the scan of the current step, 0 when it was ignored. */
DVK_API int32_t dvk_tuner_feed(dvk_tuner* t, const char* text, int32_t len, const char* deviceId,
                               uint64_t tMs, const char* gapsMs);

/* ---- Rendering ---- */

/* An SVG picture of the payload as "ean13", "code128" or "datamatrix"; gs1 != 0 makes a GS1 symbol.
 * Null when the payload cannot be encoded. Caller frees with dvk_free. */
DVK_API char* dvk_barcode_svg(const char* kind, const char* data, int32_t dataLen, int32_t gs1, int32_t scale,
                              int32_t quiet);

#ifdef __cplusplus
}
#endif

#endif
