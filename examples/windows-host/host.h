/* The reference Windows host: what a till needs to turn scanner input into dorvik_c calls. The host kit
 * (dorvik_host.h) holds the rules: each device feeds the decoder through a link of its own. Everything the
 * libraries see goes through the main thread, since calls on one decoder and its links must not overlap. */
#ifndef WINDOWS_HOST_H
#define WINDOWS_HOST_H

#include <windows.h>

#include "dorvik_c.h"
#include "dorvik_host.h"

/* Posted to the main thread by the serial reader: lParam is a struct SerialChunk the receiver frees. */
#define WM_APP_SERIAL (WM_APP + 1)
/* Posted by the serial reader when the port is lost: its input has ended. */
#define WM_APP_SERIAL_END (WM_APP + 2)

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

/* keyboard.c: Raw Input from every keyboard, each through a link of its own with the device name as device
 * id; keyboardLink(i) is the i-th keyboard's link (null past the last), for the timer and the end. */
int keyboardStart(HWND window);
void keyboardInput(dvk_decoder* decoder, HRAWINPUT input);
dvkh_link* keyboardLink(int i);

/* serial.c: opens the port with the profile's settings and starts a thread that posts what it reads. */
int serialStart(const char* port, const struct SerialSettings* settings, DWORD mainThread);

#endif
