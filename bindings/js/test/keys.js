// What the Chromium tests share: a static server over the repository, the key events a scanner or a person
// sends for a text (US or Russian OS layout), the strokes the native decoder takes for the same text, and the
// native library's answers through the differential test's driver.
import { execFileSync, spawnSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createServer } from "node:http";
import { extname, join, normalize } from "node:path";

import { Script } from "./differential.js";

export const ROOT = new URL("../../..", import.meta.url).pathname;
export const GS = "\x1d";

const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css" };

/** Serves the repository's files and the given pages; resolves to its base URL and a close function. */
export async function serve(pages = {}) {
    const server = createServer((request, response) => {
        const path = decodeURIComponent(new URL(request.url, "http://x").pathname);
        if (pages[path]) return response.writeHead(200, { "content-type": "text/html" }).end(pages[path]);
        const file = normalize(join(ROOT, path.endsWith("/") ? path + "index.html" : path));
        try {
            const body = readFileSync(file);
            response.writeHead(200, { "content-type": TYPES[extname(file)] ?? "application/octet-stream" }).end(body);
        } catch {
            response.writeHead(404).end();
        }
    });
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    return { url: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// The US layout's keys, by character: [code, shift].
const US = {};
for (const c of "abcdefghijklmnopqrstuvwxyz") {
    US[c] = [`Key${c.toUpperCase()}`, false];
    US[c.toUpperCase()] = [`Key${c.toUpperCase()}`, true];
}
for (const [code, plain, shifted] of [["Digit1", "1", "!"], ["Digit2", "2", "@"], ["Digit3", "3", "#"],
    ["Digit4", "4", "$"], ["Digit5", "5", "%"], ["Digit6", "6", "^"], ["Digit7", "7", "&"], ["Digit8", "8", "*"],
    ["Digit9", "9", "("], ["Digit0", "0", ")"], ["Minus", "-", "_"], ["Equal", "=", "+"], ["BracketLeft", "[", "{"],
    ["BracketRight", "]", "}"], ["Semicolon", ";", ":"], ["Quote", "'", '"'], ["Backquote", "`", "~"],
    ["Backslash", "\\", "|"], ["Comma", ",", "<"], ["Period", ".", ">"], ["Slash", "/", "?"], ["Space", " ", " "]]) {
    US[plain] = [code, false];
    if (shifted !== plain) US[shifted] = [code, true];
}
// What the same keys give under the Russian layout (ЙЦУКЕН): the key value a page sees.
const RU_LETTERS = { KeyQ: "й", KeyW: "ц", KeyE: "у", KeyR: "к", KeyT: "е", KeyY: "н", KeyU: "г", KeyI: "ш",
    KeyO: "щ", KeyP: "з", BracketLeft: "х", BracketRight: "ъ", KeyA: "ф", KeyS: "ы", KeyD: "в", KeyF: "а",
    KeyG: "п", KeyH: "р", KeyJ: "о", KeyK: "л", KeyL: "д", Semicolon: "ж", Quote: "э", KeyZ: "я", KeyX: "ч",
    KeyC: "с", KeyV: "м", KeyB: "и", KeyN: "т", KeyM: "ь", Comma: "б", Period: "ю", Backquote: "ё" };
const RU_SHIFTED = { Digit2: '"', Digit3: "№", Digit4: ";", Digit6: ":", Digit7: "?", Slash: ",", Backslash: "/" };

const SHIFT = 8;
const CTRL = 2;
const ALT = 1;

function key(type, code, keyValue, modifiers, extra = {}) {
    return { type, code, key: keyValue, modifiers, ...extra };
}

function keyValue(c, code, shift, layout) {
    if (layout !== "ru") return c;
    if (RU_LETTERS[code]) return shift ? RU_LETTERS[code].toUpperCase() : RU_LETTERS[code];
    return (shift && RU_SHIFTED[code]) || (code === "Slash" && !shift ? "." : c);
}

/**
 * The key events of a text, one character per `gapMs` from `t0` (ms on the page's clock; `gapMs` may be a
 * function of the character's index): Shift for capitals, Tab for a tab, Ctrl with the key for another
 * control character (Ctrl+] for GS), or Alt+0029 for GS when gs is "alt".
 */
export function keyEvents(text, { t0, gapMs = 5, layout = "us", gs = "ctrl" }) {
    const events = [];
    let t = t0;
    let i = 0;
    for (const c of text) {
        const at = (e) => events.push({ ...e, t });
        if (c === "\t") {
            at(key("keyDown", "Tab", "Tab", 0, { windowsVirtualKeyCode: 9 }));
            at(key("keyUp", "Tab", "Tab", 0, { windowsVirtualKeyCode: 9 }));
        } else if (c === "\r") {
            at(key("keyDown", "Enter", "Enter", 0, { text: "\r", windowsVirtualKeyCode: 13 }));
            at(key("keyUp", "Enter", "Enter", 0, { windowsVirtualKeyCode: 13 }));
        } else if (c === GS && gs === "alt") {
            at(key("rawKeyDown", "AltLeft", "Alt", ALT, { windowsVirtualKeyCode: 18, location: 1 }));
            for (const d of "0029") {
                at(key("rawKeyDown", `Numpad${d}`, d, ALT, { windowsVirtualKeyCode: 96 + Number(d), location: 3 }));
                at(key("keyUp", `Numpad${d}`, d, ALT, { windowsVirtualKeyCode: 96 + Number(d), location: 3 }));
            }
            at(key("keyUp", "AltLeft", "Alt", 0, { windowsVirtualKeyCode: 18, location: 1 }));
        } else if (c.charCodeAt(0) < 0x20) {
            const [code] = US[String.fromCharCode(c.charCodeAt(0) + 0x40).toLowerCase()];
            const value = String.fromCharCode(c.charCodeAt(0) + 0x40).toLowerCase();
            at(key("rawKeyDown", "ControlLeft", "Control", CTRL, { windowsVirtualKeyCode: 17, location: 1 }));
            at(key("rawKeyDown", code, value, CTRL, { windowsVirtualKeyCode: value.toUpperCase().charCodeAt(0) }));
            at(key("keyUp", code, value, CTRL));
            at(key("keyUp", "ControlLeft", "Control", 0, { windowsVirtualKeyCode: 17, location: 1 }));
        } else {
            const [code, shift] = US[c];
            const value = keyValue(c, code, shift, layout);
            const vk = /^Key|^Digit/.test(code) ? code.slice(-1).charCodeAt(0) : 0;
            if (shift) at(key("rawKeyDown", "ShiftLeft", "Shift", SHIFT, { windowsVirtualKeyCode: 16, location: 1 }));
            at(key("keyDown", code, value, shift ? SHIFT : 0, { text: value, windowsVirtualKeyCode: vk }));
            at(key("keyUp", code, value, shift ? SHIFT : 0, { windowsVirtualKeyCode: vk }));
            if (shift) at(key("keyUp", "ShiftLeft", "Shift", 0, { windowsVirtualKeyCode: 16, location: 1 }));
        }
        t += typeof gapMs === "function" ? gapMs(i) : gapMs;
        ++i;
    }
    return events;
}

/**
 * Dispatches key events stamped with their times (the page sees each as event.timeStamp), all at once: the
 * stamps then stay ahead of the page's clock however busy the machine, as a scanner's keys would.
 */
export async function dispatch(page, events, timeOrigin) {
    await Promise.all(events.map(({ t, ...e }) => page.send("Input.dispatchKeyEvent", { ...e, timestamp: (timeOrigin + t) / 1000 })));
}

/** The strokes the decoder must get for a text: [scan code, shift, ctrl, alt], from the native key look-up. */
export function expectedStrokes(dvk, text, gs = "ctrl") {
    const strokes = [];
    for (const c of text) {
        if (c === GS && gs === "alt") {
            strokes.push(...[0x52, 0x52, 0x50, 0x49].map((code) => [code, false, false, true]), [0x38, false, false, false]);
            continue;
        }
        const k = dvk.keyForChar(c);
        strokes.push([k.scancode, k.shift, k.ctrl, false]);
    }
    return strokes;
}

let driverPath = null;
/** Runs a script on the native library and returns its results as texts. */
export function native(build) {
    driverPath ??= execFileSync("sh", [new URL("./native/build-driver.sh", import.meta.url).pathname], { encoding: "utf8" }).trim();
    const script = new Script();
    build(script);
    const run = spawnSync(driverPath, { input: script.bytes(), maxBuffer: 1 << 26 });
    if (run.status !== 0) throw new Error(`native driver failed: ${run.stderr}`);
    const texts = [];
    for (let at = 0; at < run.stdout.length;) {
        const n = run.stdout.readUInt32LE(at);
        texts.push(run.stdout.subarray(at + 4, at + 4 + n).toString("utf8"));
        at += 4 + n;
    }
    return texts;
}

/**
 * The native kit's scans and frames for the link calls a page's host made ([scan code, action, modifier
 * bits, time] of keyWith), on a link under `deviceId` with the default profile, ticked far on at the end.
 */
export function nativeLinkPoll(calls, deviceId, profile = "{}") {
    const texts = native((s) => {
        s.op(4);
        s.op(5).text(profile);
        s.op(20).text(deviceId).number(0, 1);
        let last = 0;
        for (const [code, action, mods, t] of calls) {
            s.op(24).number(code, 2).number(action, 1).number(mods, 1).number(Math.floor(t), 8);
            last = Math.max(last, Math.floor(t));
        }
        s.op(31).number(last + 100000, 8);
        s.op(34);
    });
    return JSON.parse(texts[texts.length - 1]);
}

/** Polls an expression in the page until it is truthy; its value. */
export async function until(page, expression, timeoutMs = 5000) {
    const end = Date.now() + timeoutMs;
    for (;;) {
        const value = await page.evaluate(expression);
        if (value) return value;
        if (Date.now() > end) throw new Error(`timed out waiting for ${expression}`);
        await new Promise((resolve) => setTimeout(resolve, 20));
    }
}
