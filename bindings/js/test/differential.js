// The package against the native library: random calls of every export go through the package's API and,
// recorded as a script, through test/native/driver.c over the native library; every result must be the same
// bytes. `rounds` rounds call every export at least `rounds` times.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";

const GS = "\x1d";

export function random(seed) {
    let s = seed >>> 0 || 1;
    const next = () => {
        s ^= s << 13;
        s ^= s >>> 17;
        s ^= s << 5;
        return (s >>> 0) / 2 ** 32;
    };
    const r = {
        below: (n) => Math.floor(next() * n),
        chance: (p) => next() < p,
        pick: (list) => list[Math.floor(next() * list.length)],
        chars: (alphabet, n) => Array.from({ length: n }, () => r.pick(alphabet)).join(""),
        bytes: (n) => Uint8Array.from({ length: n }, () => r.below(256)),
    };
    return r;
}

const DIGITS = "0123456789";
const GS1_CHARS = "!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
const BASE64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
const AWKWARD = ["\"", "\\", "\n", "\r", "\t", "\0", "Ж", "й", "€", "\u{1F600}", "\x7f", "]C1", "]d2", "]e0"];

function markingCode(r) {
    const gs = r.chance(0.5) ? GS : r.pick(["", "", "~", "\\x1d", "\x1d\x1d"]);
    const parts = ["01" + r.chars(DIGITS, 14), "21" + r.chars(GS1_CHARS, r.pick([6, 7, 8, 13]))];
    if (r.chance(0.3)) parts.push("8005" + r.chars(DIGITS, 6));
    parts.push(r.chance(0.5) ? "91" + r.chars(BASE64, 4) : "93" + r.chars(BASE64, 4));
    if (r.chance(0.5)) parts.push("92" + r.chars(BASE64, 44));
    if (r.chance(0.2)) parts.push("3103" + r.chars(DIGITS, 6));
    return parts.join(gs);
}

function frameText(r) {
    switch (r.below(8)) {
        case 0:
        case 1:
            return markingCode(r);
        case 2:
            return r.chars(DIGITS, r.pick([8, 12, 13, 14, 5, 20]));
        case 3:
            return r.bytes(r.below(40));
        case 4:
            return r.chars(GS1_CHARS + GS, r.below(90));
        case 5:
            return r.pick(["]d2", "]C1", "]E0", "]Q3", ""]) + markingCode(r) + r.pick(["", "\r", "\r\n", "\t"]);
        case 6:
            return Array.from({ length: r.below(8) }, () => r.pick(AWKWARD)).join("") + markingCode(r);
        default:
            return r.chars(GS1_CHARS, r.below(3) === 0 ? 300 + r.below(2000) : r.below(30));
    }
}

const PROFILE_VALUES = {
    transport: () => ["hid", "serial", "sim", "usb", 3],
    deviceId: (r) => ["", "kbd", "COM3", r.chars(GS1_CHARS, 5), "Ж"],
    deviceName: () => ["", "Scanner \"X\"", "Сканер"],
    prefix: () => ["", "]", "\u0002", "AB"],
    suffix: () => ["", "\t", "9", "\u0003"],
    terminator: () => ["", "\r", "\r\n", "\n", "\t", "\u0000"],
    gsSubstitute: () => ["", "~", "|", "^]", "\u001d"],
    gsMissing: () => [true, false, "yes"],
    aimId: () => [true, false],
    configured: () => [true, false],
    exclusiveCapture: () => [true, false],
    rtsCts: () => [true, false, 1],
    burstGapMs: (r) => [0, 1, 60, -5, 2147483647, 2147483648, 1e20, 12.5, r.below(500), "60"],
    frameTimeoutMs: (r) => [0, -1, 140, r.below(2000), 99999999999],
    minLength: (r) => [0, 1, 4, r.below(50), -3],
    baud: () => [9600, 115200, 0, -1],
    dataBits: () => [7, 8, 5, 9],
    parity: () => ["N", "E", "O", "X", ""],
    stopBits: () => [1, 2, 0],
};

function profile(r) {
    switch (r.below(10)) {
        case 0:
            return null;
        case 1:
            return "";
        case 2:
            return r.pick(["{", "[]", "null", "{\"minLength\":", "{}}", "{\"a\":{\"b\":[1,2,{\"c\":3}]}}", "x"]);
        case 3:
            return r.chars("{}[]\":,0123456789tfnul ", r.below(40));
        default: {
            const keys = Object.keys(PROFILE_VALUES);
            const entries = Array.from({ length: r.below(8) }, () => {
                const key = r.chance(0.95) ? r.pick(keys) : "unknown" + r.below(3);
                const values = PROFILE_VALUES[key]?.(r) ?? [1, "x", null, [], {}];
                return `${JSON.stringify(key)}:${JSON.stringify(r.pick(values))}`;
            });
            const text = `{${entries.join(r.pick([",", ", ", ",\n"]))}}`;
            return r.chance(0.9) ? text : text.slice(0, r.below(text.length + 1));
        }
    }
}

const DEVICES = [undefined, "", "kbd", "scanner", "COM3", "Ж"];
// Set-1 make codes of the main block and the numeric pad; Alt with the pad's digits types Alt codes.
const NUMPAD_DIGITS = [0x52, 0x4f, 0x50, 0x51, 0x4b, 0x4c, 0x4d, 0x47, 0x48, 0x49];

// A writer of the driver's script.
export class Script {
    constructor() {
        this.buffer = new Uint8Array(1 << 16);
        this.size = 0;
        this.encoder = new TextEncoder();
    }
    room(n) {
        if (this.size + n <= this.buffer.length) return;
        let length = this.buffer.length * 2;
        while (length < this.size + n) length *= 2;
        const next = new Uint8Array(length);
        next.set(this.buffer.subarray(0, this.size));
        this.buffer = next;
    }
    number(value, bytes) {
        this.room(bytes);
        let v = BigInt(value);
        for (let i = 0; i < bytes; ++i, v >>= 8n) this.buffer[this.size++] = Number(v & 0xffn);
        return this;
    }
    op(code) {
        return this.number(code, 1);
    }
    text(value) {
        if (value === undefined || value === null) return this.number(0xffffffff, 4);
        const bytes = typeof value === "string" ? this.encoder.encode(value) : value;
        this.number(bytes.length, 4);
        this.room(bytes.length);
        this.buffer.set(bytes, this.size);
        this.size += bytes.length;
        return this;
    }
    bytes() {
        return this.buffer.subarray(0, this.size);
    }
}

// What an object result must be, read from its bytes without the package's fast path: the JSON parsed, and
// each string whose bytes are not UTF-8 kept as those bytes.
const strictUtf8 = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
function referenceObject(bytes) {
    return JSON.parse(String.fromCharCode(...bytes), (key, value) => {
        if (typeof value !== "string") return value;
        const raw = Uint8Array.from(value, (c) => c.charCodeAt(0));
        try {
            return strictUtf8.decode(raw);
        } catch {
            return raw;
        }
    });
}

function textBytes(result) {
    if (result === null) return null;
    return typeof result === "string" ? new TextEncoder().encode(result) : result;
}

// One round: a frame, a picture, a key look-up, a decoder session and a tuner session.
function round(dvk, r, script, results, calls) {
    const count = (name) => (calls[name] = (calls[name] ?? 0) + 1);
    const result = (value, constant = false) => {
        if (value !== null && !constant) count("free");
        results.push(textBytes(value));
    };
    const flag = (value) => results.push(new Uint8Array([value ? 0x31 : 0x30]));

    const frame = frameText(r);
    const prof = profile(r);
    const device = r.pick(DEVICES);
    script.op(1).text(prof).text(frame).text(device);
    const eventBytes = dvk.decodeFrame(frame, { profile: prof ?? undefined, deviceId: device, bytes: true });
    result(eventBytes);
    count("decode_frame");
    assert.deepEqual(dvk.decodeFrame(frame, { profile: prof ?? undefined, deviceId: device }), referenceObject(eventBytes));

    const kind = r.pick(["ean13", "code128", "datamatrix", "", "EAN13", "qr"]);
    const data =
        kind === "ean13" || r.chance(0.2)
            ? r.chars(DIGITS, r.pick([12, 13, 13, 11, 14, 0]))
            : r.chance(0.7)
              ? markingCode(r)
              : r.chance(0.5)
                ? r.bytes(r.below(r.chance(0.1) ? 3000 : 60))
                : r.chars(GS1_CHARS + GS, r.below(100));
    const gs1 = r.chance(0.5);
    const extreme = [2147483647, -2147483648, 1000000, 65536];
    const scale = r.chance(0.05) ? r.pick(extreme) : r.below(14) - 2;
    const quiet = r.chance(0.05) ? r.pick(extreme) : r.below(24) - 3;
    script.op(2).text(kind).text(data).number(gs1 ? 1 : 0, 1).number(scale >>> 0, 4).number(quiet >>> 0, 4);
    result(dvk.barcodeSvg(kind, data, { gs1, scale, quiet }));
    count("barcode_svg");

    const byte = r.below(256);
    script.op(3).number(byte, 1);
    result(dvk.keyForChar(byte, { bytes: true }));
    count("key_for_char");

    decoderSession(dvk, r, script, result, flag, count);
    tunerSession(dvk, r, script, result, flag, count);

    script.op(19);
    result(dvk.version, true);
    count("version");
}

function decoderSession(dvk, r, script, result, flag, count) {
    const dec = dvk.createDecoder();
    script.op(4);
    count("decoder_new");
    let t = r.chance(0.1) ? (1n << 64n) - 5000n : BigInt(r.below(1e9));
    const advance = () => {
        const step = r.chance(0.1) ? 100 + r.below(400) : r.below(40);
        t = r.chance(0.02) ? BigInt(r.below(1000)) : (t + BigInt(step)) & ((1n << 64n) - 1n);
        return t;
    };
    const mustDo = new Set(["set_profile", "profile", "bind", "feed_key", "feed_bytes", "tick", "poll", "reset"]);
    const steps = 6 + r.below(10);
    for (let i = 0; i < steps || mustDo.size > 0; ++i) {
        const choice = i < steps ? r.below(12) : null;
        const op = choice === null ? [...mustDo][0] : ["set_profile", "profile", "bind", "feed_key", "feed_key",
            "feed_key", "feed_bytes", "tick", "poll", "poll", "reset", "feed_key"][choice];
        mustDo.delete(op);
        count("decoder_" + op);
        switch (op) {
            case "set_profile": {
                const p = profile(r) ?? "{}";
                script.op(5).text(p);
                flag(dec.setProfile(p));
                break;
            }
            case "profile":
                script.op(6);
                result(dec.profile({ bytes: true }));
                break;
            case "bind": {
                const d = r.pick(DEVICES);
                script.op(7).text(d);
                dec.bind(d);
                break;
            }
            case "feed_key":
                typeKeys(dvk, dec, r, script, advance, count);
                break;
            case "feed_bytes": {
                const chunk = r.chance(0.5) ? frameText(r) + r.pick(["\r", "\r\n", "", "\n"]) : r.bytes(r.below(64));
                const d = r.pick(DEVICES);
                const when = advance();
                script.op(9).text(chunk).text(d).number(when, 8);
                dec.feedBytes(chunk, d, when);
                break;
            }
            case "tick": {
                const when = advance() + BigInt(r.below(300));
                const wrapped = when & ((1n << 64n) - 1n);
                script.op(10).number(wrapped, 8);
                dec.tick(wrapped);
                break;
            }
            case "poll":
                script.op(11);
                result(dec.poll({ bytes: true }));
                break;
            case "reset":
                script.op(12);
                dec.reset();
                break;
        }
    }
    script.op(11);
    result(dec.poll({ bytes: true }));
    script.op(13);
    dec.free();
    count("decoder_free");
}

const keyTables = new WeakMap();
function keyTable(dvk) {
    if (!keyTables.has(dvk)) keyTables.set(dvk, Array.from({ length: 128 }, (_, byte) => dvk.keyForChar(byte)));
    return keyTables.get(dvk);
}

// A burst of strokes typing a code: letters with Shift, GS as Ctrl+] or an Alt code on the pad, with noise.
function typeKeys(dvk, dec, r, script, advance, count) {
    const device = r.pick(DEVICES);
    const stroke = (code, mods) => {
        const when = advance();
        const aux = r.below(65536);
        const flags = (mods.shift ? 1 : 0) | (mods.ctrl ? 2 : 0) | (mods.alt ? 4 : 0) | (mods.capsLock ? 8 : 0) |
            (r.chance(0.5) ? 32 : 0) | (r.chance(0.5) ? 64 : 0);
        script.op(8).number(code, 2).number(aux, 2).number(flags, 1).number(when, 8).text(device);
        dec.feedKey(code, mods, when, device);
        count("decoder_feed_key_stroke");
    };
    if (r.chance(0.5)) {
        // A whole code as a scanner types it, GS as Ctrl+] or Alt 0029 or dropped, then Enter.
        const keys = keyTable(dvk);
        const gs = r.below(3);
        for (const ch of markingCode(r)) {
            if (ch === GS && gs === 0) stroke(0x1b, { ctrl: true });
            else if (ch === GS && gs === 1) for (const digit of "0029") stroke(NUMPAD_DIGITS[digit], { alt: true });
            else if (keys[ch.charCodeAt(0)]?.ok) stroke(keys[ch.charCodeAt(0)].scancode, keys[ch.charCodeAt(0)]);
        }
        if (r.chance(0.8)) stroke(0x1c, {});
        return;
    }
    const n = 1 + r.below(30);
    for (let i = 0; i < n; ++i) {
        const what = r.below(10);
        if (what === 0) {
            stroke(0x1b, { ctrl: true });
        } else if (what === 1) {
            for (const digit of r.pick(["0029", "029", "29", "0065", "1", "300", "0"])) stroke(NUMPAD_DIGITS[digit], { alt: true });
            if (r.chance(0.2)) stroke(0x38, {}); // Alt released as a key of its own
        } else if (what === 2) {
            stroke(r.below(0x10000), { shift: r.chance(0.5), ctrl: r.chance(0.2), alt: r.chance(0.2), capsLock: r.chance(0.2) });
        } else if (what === 3) {
            stroke(0x1c, {});
        } else {
            stroke(1 + r.below(0x58), { shift: r.chance(0.3), capsLock: r.chance(0.1) });
        }
    }
}

function tunerSession(dvk, r, script, result, flag, count) {
    const transport = r.pick([undefined, "hid", "serial", "sim", "HID", ""]);
    const device = r.pick([undefined, "", "usb", "kbd"]);
    script.op(14).text(transport).text(device);
    const tuner = dvk.createTuner(transport, device);
    count("tuner_new");
    let t = BigInt(r.below(1e6));
    const steps = 2 + r.below(8);
    let skipped = false;
    for (let i = 0; i < steps || !skipped; ++i) {
        const what = i < steps ? r.below(6) : 5;
        if (what <= 3) {
            const state = JSON.parse(new TextDecoder().decode(tuner.state({ bytes: true })));
            const reference = state.code?.payload ?? frameText(r);
            const text = variant(r, typeof reference === "string" ? reference : frameText(r));
            const gaps = r.chance(0.2) ? r.pick(["", "a", "18446744073709551616", "1 2 3"]) :
                Array.from({ length: r.below(20) }, () => r.below(r.chance(0.1) ? 500 : 40));
            const d = r.pick([undefined, "", "usb", "kbd"]);
            t += BigInt(r.below(5000));
            script.op(16).text(text).text(d).number(t, 8).text(typeof gaps === "string" ? gaps : gaps.join(","));
            flag(tuner.feed({ frame: text, deviceId: d, tMs: t, gapsMs: gaps }));
            count("tuner_feed");
        } else if (what === 4) {
            script.op(15);
            result(tuner.state({ bytes: true }));
            count("tuner_state");
        } else {
            script.op(17);
            tuner.skip();
            skipped = true;
            count("tuner_skip");
        }
    }
    script.op(15);
    result(tuner.state({ bytes: true }));
    count("tuner_state");
    script.op(18);
    tuner.free();
    count("tuner_free");
}

// What a scanner might make of a reference code: as it is, GS dropped or replaced, a suffix, a prefix, cut.
function variant(r, code) {
    if (typeof code !== "string") return code;
    switch (r.below(7)) {
        case 0:
            return code.replaceAll(GS, "");
        case 1:
            return code.replaceAll(GS, r.pick(["~", "^]", "029"]));
        case 2:
            return code + r.pick(["\r", "\r\n", "\t"]);
        case 3:
            return r.pick(["]d2", "]C1", "]E0"]) + code;
        case 4:
            return code.slice(0, r.below(code.length + 1));
        case 5:
            return frameText(r);
        default:
            return code;
    }
}

function equalBytes(a, b) {
    if (a === null || b === null) return a === b;
    if (a.length !== b.length) return false;
    for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
    return true;
}

function show(bytes) {
    return bytes === null ? "null" : JSON.stringify(new TextDecoder().decode(bytes.subarray(0, 400)));
}

/**
 * Runs `rounds` rounds in batches and returns how often each export was called; throws on the first
 * difference, naming the seed, the batch and the result.
 */
export function runDifferential(dvk, driver, { rounds, seed = 1, batch = 2000 }) {
    const calls = {};
    for (let done = 0, b = 0; done < rounds; done += batch, ++b) {
        const r = random(seed * 7919 + b);
        const script = new Script();
        const results = [];
        for (let i = 0; i < Math.min(batch, rounds - done); ++i) round(dvk, r, script, results, calls);
        const native = spawnSync(driver, { input: script.bytes(), maxBuffer: 1 << 30 });
        if (native.status !== 0) throw new Error(`native driver failed: ${native.stderr}`);
        const out = native.stdout;
        let at = 0;
        for (let i = 0; i < results.length; ++i) {
            if (at + 4 > out.length) throw new Error(`seed ${seed} batch ${b}: native gave ${i} results, the package ${results.length}`);
            const n = out.readUInt32LE(at);
            at += 4;
            const nativeResult = n === 0xffffffff ? null : new Uint8Array(out.buffer, out.byteOffset + at, n);
            if (nativeResult) at += n;
            if (!equalBytes(nativeResult, results[i]))
                throw new Error(`seed ${seed} batch ${b} result ${i}: native ${show(nativeResult)}, package ${show(results[i])}`);
        }
        if (at !== out.length) throw new Error(`seed ${seed} batch ${b}: native gave more results than the package`);
    }
    return calls;
}
