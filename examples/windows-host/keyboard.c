/* Raw Input: key strokes of every keyboard, scanners included, even while another window has the focus. */
#include <stdio.h>
#include <string.h>

#include "host.h"

/* A scanner and the cashier's keyboard hold their own modifiers: a scanner's Shift must not capitalise
 * what the cashier types. Caps Lock is one state for the whole system. */
struct Device {
    HANDLE handle;
    char name[256];
    int shift, ctrl, alt;
};

static struct Device devices[16];
static int capsLock;

int keyboardStart(HWND window) {
    RAWINPUTDEVICE keyboards;
    keyboards.usUsagePage = 0x01; /* generic desktop */
    keyboards.usUsage = 0x06;     /* keyboard */
    keyboards.dwFlags = RIDEV_INPUTSINK;
    keyboards.hwndTarget = window;
    capsLock = (GetKeyState(VK_CAPITAL) & 1) != 0;
    return RegisterRawInputDevices(&keyboards, 1, sizeof keyboards) != 0;
}

static struct Device* deviceOf(HANDLE handle) {
    size_t i;
    UINT size = sizeof devices[0].name;
    for (i = 0; i < sizeof devices / sizeof devices[0] && devices[i].handle != NULL; ++i)
        if (devices[i].handle == handle) return &devices[i];
    if (i == sizeof devices / sizeof devices[0]) i = 0; /* more keyboards than slots: reuse the first */
    memset(&devices[i], 0, sizeof devices[i]);
    devices[i].handle = handle;
    /* The device path (\\?\HID#VID_...) is stable across reboots: the id to bind a decoder to. */
    if (GetRawInputDeviceInfoA(handle, RIDI_DEVICENAME, devices[i].name, &size) == (UINT)-1)
        devices[i].name[0] = '\0';
    return &devices[i];
}

void keyboardInput(dvk_decoder* decoder, HRAWINPUT input) {
    RAWINPUT raw;
    UINT size = sizeof raw;
    const RAWKEYBOARD* key = &raw.data.keyboard;
    struct Device* device;
    int down, extended;
    if (GetRawInputData(input, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER)) == (UINT)-1 ||
        raw.header.dwType != RIM_TYPEKEYBOARD || key->MakeCode == 0 ||
        key->MakeCode == KEYBOARD_OVERRUN_MAKE_CODE)
        return;
    if (raw.header.hDevice == NULL) return; /* injected by software, not a device */
    device = deviceOf(raw.header.hDevice);
    down = (key->Flags & RI_KEY_BREAK) == 0;
    extended = (key->Flags & RI_KEY_E0) != 0;
    if (key->Flags & RI_KEY_E1) return; /* Pause */
    switch (key->MakeCode) {
    case 0x2A:
    case 0x36:
        if (!extended) device->shift = down; /* E0 2A is the fake Shift around Print Screen */
        return;
    case 0x1D: device->ctrl = down; return;
    case 0x38: device->alt = down; return;
    case 0x3A:
        if (down) capsLock = !capsLock;
        return;
    default: break;
    }
    /* Of the E0 keys only keypad Enter and keypad / type a character; the others (cursor block, Insert,
     * Delete) share their make codes with keypad digits and would become Alt-code digits. */
    if (!down || (extended && key->MakeCode != 0x1C && key->MakeCode != 0x35)) return;
    dvk_decoder_feed_key(decoder, key->MakeCode, 0, 0, device->shift, device->ctrl, device->alt, capsLock, 0,
                         GetTickCount64(), device->name);
}
