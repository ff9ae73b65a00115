/* dorvik_host — the rules every scanner host needs beyond dorvik_c's calls, written once.
 *
 * A host only moves bytes: it reads its device (a key stroke, a serial chunk, an HID-POS report), passes
 * what it read to a link with the time it arrived, ticks the link from its timer and polls it. The link
 * turns physical keys into the decoder's key strokes (modifiers, Alt codes), HID-POS reports into byte
 * chunks, frames a scanner's input while it is being set up, and decides what happens to a code whose input
 * stopped before its end. dvk, the browser hosts and the Windows host all go through it.
 *
 * Ownership follows dorvik_c: every `char*` result is a new NUL-terminated UTF-8 text released with
 * dvkh_free(); dvkh_set_up_profile() returns a constant. Null handles and texts are accepted everywhere; a
 * negative length means "up to the NUL". A link borrows its decoder: free the link first. Calls on one link
 * (and on its decoder) must not overlap. */
#ifndef DORVIK_HOST_H
#define DORVIK_HOST_H

#include <stdint.h>

#include "dorvik_c.h"

#if defined(DVK_STATIC)
#define DVKH_API
#elif defined(_WIN32)
#if defined(DORVIK_HOST_BUILDING)
#define DVKH_API __declspec(dllexport)
#else
#define DVKH_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define DVKH_API __attribute__((visibility("default")))
#else
#define DVKH_API
#endif

typedef struct dvkh_link dvkh_link;

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Physical keys ---- */

/* A key's set-1 scan code: the make code, with 0xE000 added for keys sent with the E0 prefix (right Ctrl
 * 0xE01D, right Alt 0xE038, keypad Enter 0xE01C, keypad / 0xE035). 0 for a key the decoder never hears
 * (cursor block, function keys, Meta). */

/* From a Linux input key code (linux/input-event-codes.h). */
DVKH_API int32_t DVK_CALL dvkh_scan_code_of_linux_key(int32_t code);
/* From a W3C KeyboardEvent.code value ("KeyA", "Digit1", "NumpadEnter", "ShiftLeft"). */
DVKH_API int32_t DVK_CALL dvkh_scan_code_of_key_code(const char* code);
/* Every KeyboardEvent.code the table knows, with its scan code: {"Digit1":2,...,"NumpadEnter":57372}. */
DVKH_API char* DVK_CALL dvkh_key_codes(void);

/* ---- Setting a scanner up ---- */

/* The profile a decoder frames with while a scanner is being set up: its terminator is what the set-up is
 * to learn, so frames close by time alone (a pause of 250 ms, or 500 ms after the last input). */
DVKH_API const char* DVK_CALL dvkh_set_up_profile(void);

/* ---- A link: one scanner's input into one decoder ---- */

/* Give a byte or HID-POS link a decoder of its own: dropping a cut code resets the decoder, and with it a
 * frame another link was assembling. Key links of several keyboards may share one. */

/* A link feeding `decoder` under `deviceId`. With `setUp` non-zero it gives the decoder the set-up profile
 * and frames as a set-up does until dvkh_link_use_profile. Null if out of memory. */
DVKH_API dvkh_link* DVK_CALL dvkh_link_new(dvk_decoder* decoder, const char* deviceId, int32_t setUp);
DVKH_API void DVK_CALL dvkh_link_free(dvkh_link* link);

/* Gives the decoder `profileJson` and ends the set-up framing: the learned profile takes over. 1 applied, 0
 * when the text is no profile (nothing changes). Give a linked decoder its profile only through here: the
 * link keeps the terminator, AIM and time-out it needs. */
DVKH_API int32_t DVK_CALL dvkh_link_use_profile(dvkh_link* link, const char* profileJson);

/* Key events. `action` 1 press, 0 release, 2 auto-repeat (never fed: a scanner does not hold keys).
 * Modifier keys are not fed; releasing the last Alt ends an Alt code as Windows does, fed as a stroke of
 * Alt's make code without Alt. Of the E0 keys only keypad Enter and keypad / type; the others share their
 * make codes with keypad digits and would pass for Alt-code digits. */

/* Modifiers kept by the link from the modifier keys it is given (evdev, Raw Input: one link per device). */
DVKH_API void DVK_CALL dvkh_link_key(dvkh_link* link, int32_t scanCode, int32_t action, uint64_t tMs);
/* Modifiers as the platform reports them with the event (a browser): bits 1 Shift, 2 Ctrl, 4 Alt, 8 Caps. */
DVKH_API void DVK_CALL dvkh_link_key_with(dvkh_link* link, int32_t scanCode, int32_t action,
                                          int32_t modifiers, uint64_t tMs);
/* Caps Lock as the platform knows it now (the LED of an evdev device, Windows' system-wide state). */
DVKH_API void DVK_CALL dvkh_link_set_caps_lock(dvkh_link* link, int32_t on);

/* A serial chunk as it arrived. */
DVKH_API void DVK_CALL dvkh_link_bytes(dvkh_link* link, const char* bytes, int32_t length, uint64_t tMs);

/* HID-POS. The scanned-data report's layout comes from what the platform gives; each returns 1 when the
 * device has a scanned-data report (usage page 0x8C, Decoded Data 0xFE), 0 when it has none (a keyboard
 * scanner, say), -1 when the description is corrupt. The link keeps its previous layout unless 1. */

/* From the raw report descriptor (Linux: HIDIOCGRDESC or sysfs). */
DVKH_API int32_t DVK_CALL dvkh_link_hid_pos_descriptor(dvkh_link* link, const char* bytes, int32_t length);
/* From WebHID's HIDDevice.collections as JSON (collections, inputReports, items). */
DVKH_API int32_t DVK_CALL dvkh_link_hid_pos_collections(dvkh_link* link, const char* json);
/* The id of the scanned-data report: 0 when the descriptor numbers no reports (a hidraw read then carries
 * no id byte), -1 without a layout. */
DVKH_API int32_t DVK_CALL dvkh_link_hid_pos_report_id(const dvkh_link* link);
/* One input report, its data without the id byte. 1 when it was the scanned-data report, 0 for another
 * report (ignored) or no layout. The first report of a code gets its AIM identifier in front when the
 * profile keeps identifiers (always while setting up); the report that says no more follow ends the code
 * with the profile's terminator (CR when it has none). */
DVKH_API int32_t DVK_CALL dvkh_link_hid_pos_report(dvkh_link* link, int32_t reportId, const char* data,
                                                   int32_t length, uint64_t tMs);
/* Reports as a hidraw node or a recording of it gives them: each report whole, its id byte first when the
 * descriptor numbers reports; a read may end inside a report (the rest is kept for the next). Bytes that
 * start no declared report are skipped up to the next declared report id, with a "skipped" notice. */
DVKH_API void DVK_CALL dvkh_link_hid_pos_stream(dvkh_link* link, const char* bytes, int32_t length,
                                                uint64_t tMs);

/* ---- Time, the end of input, results ---- */

/* Ticks the decoder. An HID-POS code whose last report has not come one frame time-out after its latest
 * is dropped with a "cut" notice, so that it cannot pass for a shorter code. */
DVKH_API void DVK_CALL dvkh_link_tick(dvkh_link* link, uint64_t nowMs);
/* The input has stopped for good (end of file, a lost port, an unplugged device). A code still waiting for
 * its terminator or its last report is dropped with a "cut" notice; while setting up, and for key input,
 * the frame in progress closes as it is. */
DVKH_API void DVK_CALL dvkh_link_end(dvkh_link* link, uint64_t nowMs);
/* When the host should tick next (its time stamp), or -1 when nothing waits for time. */
DVKH_API int64_t DVK_CALL dvkh_link_wake_at(const dvkh_link* link);
/* dvk_decoder_poll's text, of everything the decoder closed since the last poll. Poll a linked decoder
 * through its link: what it closed before a code was dropped is kept here. Null if out of memory. */
DVKH_API char* DVK_CALL dvkh_link_poll(dvkh_link* link);
/* What the link did that the host should tell its user, oldest first, and forgets them: a JSON array of
 * {"notice":"cut","deviceId":…,"tMs":…,"bytes":…} (a code whose input stopped before its end, dropped) and
 * {"notice":"skipped","deviceId":…,"tMs":…,"bytes":…} (bytes of an HID-POS stream that began no declared
 * report). "[]" when there are none. */
DVKH_API char* DVK_CALL dvkh_link_notices(dvkh_link* link);

DVKH_API void DVK_CALL dvkh_free(void* text);

#ifdef __cplusplus
}
#endif

#endif /* DORVIK_HOST_H */
