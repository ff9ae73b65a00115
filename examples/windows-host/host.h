/* The reference Windows host: what a till needs to turn scanner input into dorvik_c calls. Everything the
 * library sees goes through the main thread, since calls on one decoder must not overlap. */
#ifndef WINDOWS_HOST_H
#define WINDOWS_HOST_H

#include <windows.h>

#include "dorvik_c.h"

/* Posted to the main thread by the serial reader: lParam is a struct SerialChunk the receiver frees. */
#define WM_APP_SERIAL (WM_APP + 1)

struct SerialChunk {
    ULONGLONG tMs;
    DWORD length;
    char bytes[1024];
};

/* Serial settings of a scanner profile, read from dvk_decoder_profile(). */
struct SerialSettings {
    DWORD baud;
    BYTE dataBits;
    char parity; /* N, E, O, M or S */
    BYTE stopBits;
    int rtsCts;
    DWORD burstGapMs;
    DWORD frameTimeoutMs;
};

/* keyboard.c: Raw Input from every keyboard into dvk_decoder_feed_key, with the device name as device id. */
int keyboardStart(HWND window);
void keyboardInput(dvk_decoder* decoder, HRAWINPUT input);

/* serial.c: opens the port with the profile's settings and starts a thread that posts what it reads. */
int serialStart(const char* port, const struct SerialSettings* settings, DWORD mainThread);

#endif
