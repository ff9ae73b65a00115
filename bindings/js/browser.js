// dorvik-c/browser: the till's scanner hosts in a page. They only feed a decoder, as a native host does: the
// keyboard by physical keys, a serial scanner over Web Serial, an HID-POS scanner over WebHID. Each one polls
// the decoder after every input and on its own timer, so the caller owns no loop; onScan and onFrame get
// what the poll gives. The library keeps no clock: times are the page's, event.timeStamp and
// performance.now(), which share one origin.

export { SET1, attachKeyboard } from "./browser/keyboard.js";
export { attachSerial, serialOptions } from "./browser/serial.js";
export { HID_POS_STANDARD, attachHidPos, readHidPosReport } from "./browser/hid-pos.js";
