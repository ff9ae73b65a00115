/* Raw Input: key strokes of every keyboard, scanners included, even while another window has the focus. */
#include <stdio.h>
#include <string.h>

#include "host.h"

/* A scanner and the cashier's keyboard hold their own modifiers (a scanner's Shift must not capitalise what
 * the cashier types): one link per device keeps them. Caps Lock is one state for the whole system. */
struct Device {
    HANDLE handle;
    char name[256];
    dvkh_link* link;
    unsigned char down[512 / 8]; /* the keys held, by scan code: Raw Input repeats a held key as presses */
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

static struct Device* deviceOf(dvk_decoder* decoder, HANDLE handle) {
    size_t i;
    UINT size = sizeof devices[0].name;
    for (i = 0; i < sizeof devices / sizeof devices[0] && devices[i].handle != NULL; ++i)
        if (devices[i].handle == handle) return &devices[i];
    if (i == sizeof devices / sizeof devices[0]) i = 0; /* more keyboards than slots: reuse the first */
    dvkh_link_free(devices[i].link);
    memset(&devices[i], 0, sizeof devices[i]);
    devices[i].handle = handle;
    /* The device path (\\?\HID#VID_...) is stable across reboots: the id to bind a decoder to. */
    if (GetRawInputDeviceInfoA(handle, RIDI_DEVICENAME, devices[i].name, &size) == (UINT)-1)
        devices[i].name[0] = '\0';
    devices[i].link = dvkh_link_new(decoder, devices[i].name, 0);
    return &devices[i];
}

dvkh_link* keyboardLink(int i) {
    return i >= 0 && i < (int)(sizeof devices / sizeof devices[0]) ? devices[i].link : NULL;
}

void keyboardInput(dvk_decoder* decoder, HRAWINPUT input) {
    RAWINPUT raw;
    UINT size = sizeof raw;
    const RAWKEYBOARD* key = &raw.data.keyboard;
    struct Device* device;
    int scanCode, down, held, action;
    unsigned bit;
    if (GetRawInputData(input, RID_INPUT, &raw, &size, sizeof(RAWINPUTHEADER)) == (UINT)-1 ||
        raw.header.dwType != RIM_TYPEKEYBOARD || key->MakeCode == 0 ||
        key->MakeCode == KEYBOARD_OVERRUN_MAKE_CODE || (key->Flags & RI_KEY_E1) != 0 /* Pause */)
        return;
    if (raw.header.hDevice == NULL) return; /* injected by software, not a device */
    device = deviceOf(decoder, raw.header.hDevice);
    scanCode = (key->MakeCode & 0xFF) | ((key->Flags & RI_KEY_E0) ? 0xE000 : 0);
    down = (key->Flags & RI_KEY_BREAK) == 0;
    bit = (scanCode > 0xFF ? 256u : 0u) | (unsigned)(scanCode & 0xFF);
    held = device->down[bit / 8] >> (bit % 8) & 1;
    if (down)
        device->down[bit / 8] |= (unsigned char)(1u << (bit % 8));
    else
        device->down[bit / 8] &= (unsigned char)~(1u << (bit % 8));
    action = !down ? 0 : held ? 2 : 1;
    /* Caps Lock is the system's: whichever keyboard pressed it last, every link types with its state. */
    dvkh_link_set_caps_lock(device->link, capsLock);
    if (scanCode == 0x3A && action == 1) capsLock = !capsLock;
    dvkh_link_key(device->link, scanCode, action, GetTickCount64());
}
