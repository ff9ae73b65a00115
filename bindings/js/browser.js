// dorvik-c/browser: the till's scanner hosts in a page. They only feed a decoder, as a native host does: the
// keyboard by physical keys, a serial scanner over Web Serial, an HID-POS scanner over WebHID. Each one polls
// the decoder after every input and on its own timer, so the caller owns no loop; onScan and onFrame get
// what the poll gives. The library keeps no clock: times are the page's, event.timeStamp and
// performance.now(), which share one origin.

// Ticks while a frame may be open: often enough that a code without a terminator closes within a few ms of
// its time-out, rare enough to cost nothing.
const TICK_MS = 20;

/** KeyboardEvent.code → set-1 make code: every key of the decoder's key table, Enter, Tab, Backspace, Alt. */
export const SET1 = Object.freeze({
    Digit1: 0x02, Digit2: 0x03, Digit3: 0x04, Digit4: 0x05, Digit5: 0x06,
    Digit6: 0x07, Digit7: 0x08, Digit8: 0x09, Digit9: 0x0a, Digit0: 0x0b,
    Minus: 0x0c, Equal: 0x0d, Backspace: 0x0e, Tab: 0x0f,
    KeyQ: 0x10, KeyW: 0x11, KeyE: 0x12, KeyR: 0x13, KeyT: 0x14,
    KeyY: 0x15, KeyU: 0x16, KeyI: 0x17, KeyO: 0x18, KeyP: 0x19,
    BracketLeft: 0x1a, BracketRight: 0x1b, Enter: 0x1c, NumpadEnter: 0x1c,
    KeyA: 0x1e, KeyS: 0x1f, KeyD: 0x20, KeyF: 0x21, KeyG: 0x22,
    KeyH: 0x23, KeyJ: 0x24, KeyK: 0x25, KeyL: 0x26,
    Semicolon: 0x27, Quote: 0x28, Backquote: 0x29, Backslash: 0x2b,
    KeyZ: 0x2c, KeyX: 0x2d, KeyC: 0x2e, KeyV: 0x2f, KeyB: 0x30, KeyN: 0x31, KeyM: 0x32,
    Comma: 0x33, Period: 0x34, Slash: 0x35, NumpadDivide: 0x35, NumpadMultiply: 0x37,
    AltLeft: 0x38, AltRight: 0x38, Space: 0x39,
    Numpad7: 0x47, Numpad8: 0x48, Numpad9: 0x49, NumpadSubtract: 0x4a,
    Numpad4: 0x4b, Numpad5: 0x4c, Numpad6: 0x4d, NumpadAdd: 0x4e,
    Numpad1: 0x4f, Numpad2: 0x50, Numpad3: 0x51, Numpad0: 0x52, NumpadDecimal: 0x53,
});

const ALT_KEYS = new Set(["AltLeft", "AltRight"]);
// Keys a person presses on their own to act (submit, move, activate, erase): they pass at once unless they
// come inside a burst.
const ACTION_KEYS = new Set(["Enter", "NumpadEnter", "Tab", "Space", "Backspace"]);

function options(value, name) {
    if (value !== undefined && (value === null || typeof value !== "object"))
        throw new TypeError(`${name} must be an object`);
    return value ?? {};
}

const CTRL_PUNCTUATION = { "[": "BracketLeft", "\\": "Backslash", "]": "BracketRight" };

// The key a scanner presses with Ctrl to send a control character (STX is Ctrl+B), or undefined.
function ctrlKeyCode(byte) {
    if (byte === undefined || byte < 0x01 || byte > 0x1d) return undefined;
    const c = String.fromCharCode(byte + 0x40);
    return CTRL_PUNCTUATION[c] ?? `Key${c}`;
}

function timings(decoder) {
    const p = decoder.profile();
    const prefix = typeof p.prefix === "string" ? p.prefix.charCodeAt(0) : p.prefix[0];
    return {
        burstGapMs: p.burstGapMs,
        frameTimeoutMs: p.frameTimeoutMs,
        minLength: p.minLength,
        prefixCtrlCode: ctrlKeyCode(Number.isNaN(prefix) ? undefined : prefix),
    };
}

// Ticks the decoder until the time-out of its newest input has surely passed.
class Ticker {
    constructor(decoder, afterTick, beforeTick = () => {}) {
        this.decoder = decoder;
        this.afterTick = afterTick;
        this.beforeTick = beforeTick;
        this.timer = null;
        this.until = 0;
    }

    kick(tMs, frameTimeoutMs) {
        this.until = Math.max(this.until, tMs + Math.max(0, frameTimeoutMs) + 2 * TICK_MS);
        if (this.timer === null) this.timer = setInterval(() => this.#tick(), TICK_MS);
    }

    #tick() {
        const now = performance.now();
        this.beforeTick(now);
        this.decoder.tick(now);
        this.afterTick(now);
        if (now > this.until) this.stop();
    }

    stop() {
        if (this.timer !== null) clearInterval(this.timer);
        this.timer = null;
    }
}

function deliver(polled, onScan, onFrame) {
    if (onFrame) for (const frame of polled.frames) onFrame(frame);
    if (onScan) for (const scan of polled.scans) onScan(scan);
}

// ---- keyboard ----

function isTextField(element) {
    if (!element) return false;
    if (element.isContentEditable) return true;
    if (element.tagName === "TEXTAREA") return !element.readOnly && !element.disabled;
    if (element.tagName !== "INPUT" || element.readOnly || element.disabled) return false;
    return ["text", "search", "tel", "url", "email", "password", "number", ""].includes(element.type);
}

// A person's held-back text, typed where it was aimed. execCommand keeps the field's undo history and fires
// the input events frameworks listen to; a field no longer focused gets setRangeText instead.
function insertText(target, text) {
    const doc = target.ownerDocument;
    if (doc && doc.activeElement === target && doc.execCommand("insertText", false, text)) return;
    if (typeof target.setRangeText !== "function") return;
    try {
        target.setRangeText(text, target.selectionStart, target.selectionEnd, "end");
    } catch {
        return; // a field without a caret (number): nothing sensible to do
    }
    target.dispatchEvent(new InputEvent("input", { bubbles: true, inputType: "insertText", data: text }));
}

// Enter in a field submits its form when the form has a submit button or no other field to fill.
function submitImplicitly(input) {
    const form = input.form;
    if (!form) return;
    const submitter = form.querySelector("button:not([type]), button[type=submit], input[type=submit], input[type=image]");
    if (submitter?.disabled) return;
    const fields = Array.from(form.elements).filter((e) => e.tagName === "INPUT" && isTextField(e));
    if (submitter || fields.length === 1) form.requestSubmit();
}

// What the browser would have done with a key a person pressed, done late: the page's keydown listeners see
// it first and may cancel it, as they could have the real one.
function giveBack(stroke) {
    const target = stroke.target?.isConnected ? stroke.target : stroke.doc?.activeElement ?? stroke.target;
    if (!target) return;
    const view = target.ownerDocument?.defaultView ?? globalThis;
    const event = new view.KeyboardEvent("keydown", {
        key: stroke.key, code: stroke.code, shiftKey: stroke.shift, ctrlKey: stroke.ctrl, altKey: stroke.alt,
        location: stroke.location, bubbles: true, cancelable: true, composed: true,
    });
    if (!target.dispatchEvent(event) || stroke.ctrl || stroke.alt) return;
    if (!isTextField(target)) return;
    if (stroke.key.length === 1 || (stroke.key.length === 2 && stroke.key.codePointAt(0) > 0xffff)) {
        insertText(target, stroke.key);
    } else if (stroke.key === "Enter") {
        if (target.tagName === "INPUT") submitImplicitly(target);
        else insertText(target, "\n");
    } else if (stroke.key === "Backspace") {
        if (target.ownerDocument?.activeElement === target) target.ownerDocument.execCommand("delete");
    }
}

/**
 * The keyboard host. Keys are fed by their physical place (event.code), so the OS layout does not matter.
 * With capture "auto" (the default) a key that may begin a scan is held back: when the decoder makes a scan
 * of it, it is dropped; when not (a short run after a pause, or a frame without scan), it is given back.
 * Capture "all" takes every mapped key, for a page that only scans.
 */
export function attachKeyboard(decoder, target, opts) {
    if (!decoder || typeof decoder.feedKey !== "function") throw new TypeError("decoder must be a decoder of dorvik-c");
    target = target ?? globalThis;
    const o = options(opts, "options");
    const deviceId = o.deviceId ?? "keyboard";
    const captureAll = o.capture === "all";
    if (o.capture !== undefined && o.capture !== "all" && o.capture !== "auto")
        throw new TypeError('options.capture must be "auto" or "all"');
    let settings = timings(decoder);
    // Runs of held keys not yet decided, oldest first; the last is still growing when `open`.
    let runs = [];
    let lastT = -Infinity; // the newest key fed

    function resolve(polled, keep) {
        const decided = runs.filter((run) => run !== keep);
        runs = keep && runs.includes(keep) ? [keep] : [];
        if (polled.scans.length === 0) for (const run of decided) run.strokes.forEach(giveBack);
        for (const run of decided) run.open = false;
    }

    function pump(keep) {
        const polled = decoder.poll();
        if (polled.frames.length > 0) resolve(polled, keep);
        deliver(polled, o.onScan, o.onFrame);
    }

    // A run that cannot reach minLength once its burst is over is a person's: give it back without waiting
    // for the decoder's time-out.
    function settleShortRuns(now) {
        runs = runs.filter((run) => {
            if (now - run.lastT <= settings.burstGapMs || run.strokes.length >= settings.minLength) return true;
            run.strokes.forEach(giveBack);
            run.open = false;
            return false;
        });
    }

    const ticker = new Ticker(decoder, (now) => {
        pump(null);
        settleShortRuns(now);
    });

    function feed(code, e, alt) {
        const mods = { shift: e.shiftKey, ctrl: e.ctrlKey, alt, capsLock: !!e.getModifierState?.("CapsLock") };
        decoder.feedKey(code, mods, Math.max(0, e.timeStamp), deviceId);
    }

    function swallow(e) {
        e.preventDefault();
        e.stopImmediatePropagation();
    }

    function strokeOf(e) {
        return {
            key: e.key, code: e.code, shift: e.shiftKey, ctrl: e.ctrlKey, alt: e.altKey,
            location: e.location, target: e.target, doc: e.target?.ownerDocument,
        };
    }

    function onKeyDown(e) {
        if (!e.isTrusted || e.metaKey || e.isComposing || e.key === "Process") return;
        const code = SET1[e.code];
        if (code === undefined || ALT_KEYS.has(e.code)) return;
        if (e.repeat) {
            if (captureAll) swallow(e);
            return;
        }
        const t = e.timeStamp;
        settleShortRuns(t);
        let run = runs[runs.length - 1];
        const startsRun = !run || !run.open || t - run.lastT > settings.burstGapMs;
        if (startsRun || ticker.timer === null) settings = timings(decoder);
        // A scan begins with a plain key, or with the Ctrl key of its profile's control-character prefix.
        // A dead key begins a person's accented letter, which the browser alone can compose.
        const plain = !e.ctrlKey && !e.altKey && !ACTION_KEYS.has(e.code) && e.key !== "Dead";
        const prefixKey = e.ctrlKey && !e.altKey && e.code === settings.prefixCtrlCode;
        // A person's Enter, Space or Backspace after keys still undecided waits for them, to keep its place.
        let after = null;
        if (captureAll) {
            swallow(e);
        } else if (startsRun && !plain && !prefixKey) {
            run = null;
            if (runs.length > 0 && !e.ctrlKey && !e.altKey && e.code !== "Tab") {
                swallow(e);
                after = strokeOf(e);
            }
        } else {
            if (startsRun) {
                run = { strokes: [], lastT: t, open: true };
                runs.push(run);
            }
            swallow(e);
            run.lastT = t;
            run.strokes.push(strokeOf(e));
        }
        lastT = t;
        feed(code, e, e.altKey);
        pump(run && startsRun ? run : null);
        if (after) {
            for (const waiting of runs) waiting.strokes.forEach(giveBack);
            runs = [];
            giveBack(after);
        }
        ticker.kick(t, settings.frameTimeoutMs);
    }

    // Windows ends an Alt code when Alt is released; the decoder ends it at the next stroke without Alt.
    function onKeyUp(e) {
        if (!e.isTrusted || !ALT_KEYS.has(e.code)) return;
        const run = runs[runs.length - 1];
        if (captureAll || (run?.open && e.timeStamp - run.lastT <= settings.burstGapMs)) swallow(e);
        feed(SET1[e.code], e, false);
        pump(null);
        ticker.kick(Math.max(lastT, e.timeStamp), settings.frameTimeoutMs);
    }

    target.addEventListener("keydown", onKeyDown, true);
    target.addEventListener("keyup", onKeyUp, true);
    return {
        detach() {
            target.removeEventListener("keydown", onKeyDown, true);
            target.removeEventListener("keyup", onKeyUp, true);
            ticker.stop();
            // Nothing a person typed is lost to a detach.
            for (const run of runs) run.strokes.forEach(giveBack);
            runs = [];
        },
    };
}

// ---- serial ----

function endsWith(bytes, tail) {
    if (typeof tail === "string") tail = new TextEncoder().encode(tail);
    if (tail.length > bytes.length) return false;
    return tail.every((b, i) => bytes[bytes.length - tail.length + i] === b);
}

const PARITY = { N: "none", E: "even", O: "odd" };

/** The Web Serial open options of a profile's line settings. */
export function serialOptions(profile) {
    return {
        baudRate: profile.baud,
        dataBits: profile.dataBits,
        stopBits: profile.stopBits,
        parity: PARITY[profile.parity] ?? "none",
        flowControl: profile.rtsCts ? "hardware" : "none",
    };
}

/**
 * The serial host: opens the port with the profile's line settings (the decoder's profile, or options.profile,
 * which is then given to the decoder) and feeds every chunk as it arrives. A lost port ends the host and
 * calls onError; parity, framing and overrun errors are reported and reading goes on.
 */
export async function attachSerial(decoder, port, opts) {
    if (!decoder || typeof decoder.feedBytes !== "function") throw new TypeError("decoder must be a decoder of dorvik-c");
    const o = options(opts, "options");
    const deviceId = o.deviceId ?? "serial";
    if (o.profile !== undefined && !decoder.setProfile(o.profile)) throw new TypeError("options.profile is not a profile");
    const profile = decoder.profile();
    await port.open(serialOptions(profile));
    let reader = null;
    let stopped = false;
    // Bytes fed since the last code closed: a code the loss of the port cut short.
    let unfinished = false;
    const ticker = new Ticker(decoder, () => {
        const polled = decoder.poll();
        if (polled.frames.length > 0) unfinished = false;
        deliver(polled, o.onScan, o.onFrame);
    });

    async function read() {
        let lastError = null;
        while (!stopped && port.readable) {
            reader = port.readable.getReader();
            try {
                for (;;) {
                    const { value, done } = await reader.read();
                    if (done) return;
                    if (!value || value.length === 0) continue;
                    const t = performance.now();
                    const { terminator, frameTimeoutMs } = decoder.profile();
                    decoder.feedBytes(value, deviceId, t);
                    unfinished = !endsWith(value, terminator || "\r");
                    deliver(decoder.poll(), o.onScan, o.onFrame);
                    ticker.kick(t, frameTimeoutMs);
                }
            } catch (error) {
                // A line error (parity, framing, overrun) leaves a fresh readable behind; a lost port none.
                lastError = error;
                if (!stopped && port.readable) o.onError?.(error);
            } finally {
                reader.releaseLock();
                reader = null;
            }
        }
        if (!stopped) {
            stopped = true;
            // A cut code must not close by its time-out and pass for a shorter one.
            if (unfinished) {
                ticker.stop();
                decoder.reset();
            }
            o.onError?.(lastError ?? new Error("dorvik-c: the serial port was lost"));
        }
    }

    const closed = read();
    return {
        closed,
        async close() {
            stopped = true;
            await reader?.cancel().catch(() => {});
            await closed;
            ticker.stop();
            await port.close().catch(() => {});
        },
    };
}

// ---- HID-POS ----

/**
 * The scanned-data report of the USB HID POS usage tables (usage page 0x8C): after the report id, one byte of
 * data length, three bytes of AIM symbology identifier, 56 bytes of data; bit 0 of the report's last byte is
 * set when more reports of the same code follow (a negative moreAt counts from the end). Other makers'
 * layouts are described the same way.
 */
export const HID_POS_STANDARD = Object.freeze({
    reportId: 0x02,
    lengthAt: 0,
    aimAt: 1,
    dataAt: 4,
    dataBytes: 56,
    moreAt: -1,
    moreMask: 0x01,
});

function aimText(bytes) {
    let text = "";
    for (const b of bytes) if (b !== 0) text += String.fromCharCode(b);
    if (text.length === 2) text = "]" + text; // some scanners leave the flag character out
    return /^\][\x21-\x7e]{2}$/.test(text) ? text : "";
}

/** One scanned-data report read by a layout: { length, aim, data, more }, or null when it is none. */
export function readHidPosReport(reportId, view, layout = HID_POS_STANDARD) {
    if (reportId !== layout.reportId) return null;
    const bytes = new Uint8Array(view.buffer, view.byteOffset, view.byteLength);
    if (bytes.length <= layout.lengthAt || bytes.length < layout.dataAt) return null;
    const room = Math.max(0, Math.min(layout.dataBytes, bytes.length - layout.dataAt));
    const length = Math.min(bytes[layout.lengthAt], room);
    const moreAt = layout.moreAt < 0 ? bytes.length + layout.moreAt : layout.moreAt;
    return {
        length,
        aim: aimText(bytes.subarray(layout.aimAt, layout.aimAt + 3)),
        data: bytes.slice(layout.dataAt, layout.dataAt + length),
        more: moreAt < bytes.length && (bytes[moreAt] & layout.moreMask) !== 0,
    };
}

function concat(...parts) {
    const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const p of parts) {
        out.set(p, at);
        at += p.length;
    }
    return out;
}

/**
 * The HID-POS host: every scanned-data report's data is one chunk for feedBytes. The AIM identifier goes in
 * front of a code's first chunk when the profile says the scanner sends one; the report that says no more
 * follow ends the code with the profile's terminator (CR when it has none), which the decoder strips.
 */
export async function attachHidPos(decoder, device, opts) {
    if (!decoder || typeof decoder.feedBytes !== "function") throw new TypeError("decoder must be a decoder of dorvik-c");
    const o = options(opts, "options");
    const deviceId = o.deviceId ?? "hid-pos";
    const layout = { ...HID_POS_STANDARD, ...options(o.layout, "options.layout") };
    const pages = (device.collections ?? []).map((c) => c.usagePage);
    if (pages.length > 0 && !pages.includes(0x8c)) throw new TypeError("device is not an HID-POS scanner (usage page 0x8C)");
    if (!device.opened) await device.open();
    const encoder = new TextEncoder();
    let first = true;
    let cutAfter = Infinity; // while a code's last report is awaited: when to give up on it
    // A code whose reports stop before its last is dropped, not closed by its time-out as a shorter code.
    const ticker = new Ticker(decoder, () => deliver(decoder.poll(), o.onScan, o.onFrame), (now) => {
        if (now <= cutAfter) return;
        cutAfter = Infinity;
        first = true;
        decoder.reset();
        o.onError?.(new Error("dorvik-c: an HID-POS code stopped before its last report"));
    });

    function onReport(event) {
        const report = readHidPosReport(event.reportId, event.data, layout);
        if (!report) return;
        const profile = decoder.profile();
        const head = first && profile.aimId ? encoder.encode(report.aim) : new Uint8Array(0);
        const tail = report.more ? new Uint8Array(0) : encoder.encode(profile.terminator || "\r");
        first = !report.more;
        const t = performance.now();
        cutAfter = report.more ? t + Math.max(0, profile.frameTimeoutMs) : Infinity;
        decoder.feedBytes(concat(head, report.data, tail), deviceId, t);
        deliver(decoder.poll(), o.onScan, o.onFrame);
        ticker.kick(t, profile.frameTimeoutMs);
    }

    device.addEventListener("inputreport", onReport);
    return {
        async close() {
            device.removeEventListener("inputreport", onReport);
            ticker.stop();
            await device.close?.();
        },
    };
}
