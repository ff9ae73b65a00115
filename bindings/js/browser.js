// dorvik-c/browser: the till's scanner hosts in a page. They only read their device and feed a link of the
// host kit (dvk.createLink), as a native host does: the keyboard by physical keys, a serial scanner over
// Web Serial, an HID-POS scanner over WebHID. The link holds the rules (key tables, Alt codes, set-up
// framing, the HID-POS layout from the device's descriptor, codes cut short); a host keeps the timers, the
// focus and the default actions. Each one polls its link after every input and when the link asks to be
// ticked, so the caller owns no loop; onScan and onFrame get what the poll gives, onError the link's
// notices. The library keeps no clock: times are the page's, event.timeStamp and performance.now(), which
// share one origin.

export { SET1, attachKeyboard } from "./browser/keyboard.js";
export { attachSerial, serialOptions } from "./browser/serial.js";
export { attachHidPos } from "./browser/hid-pos.js";
export { noticeError } from "./browser/poll.js";
