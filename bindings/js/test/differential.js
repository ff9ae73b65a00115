// The package against the native library: random calls of every export go through the package's API and,
// recorded as a script, through test/native/driver.c over the native library; every result must be the same
// bytes. `rounds` rounds call every export at least `rounds` times.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";

import { SHAPES, collectionsOf, descriptorOf, otherReportOf, reportsOf, scanner, streamOf } from "./hid.js";

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
    result(svgOrNull(dvk, kind, data, { gs1, scale, quiet }));
    count("barcode_svg");

    const byte = r.below(256);
    script.op(3).number(byte, 1);
    result(dvk.keyForChar(byte, { bytes: true }));
    count("key_for_char");

    decoderSession(dvk, r, script, result, flag, count);
    tunerSession(dvk, r, script, result, flag, count);
    linkSession(dvk, r, script, results, count);
    linkSession(dvk, r, script, results, count);

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

// The picture, or null where the package throws its RangeError for what the C export gives null.
function svgOrNull(dvk, kind, data, options) {
    try {
        return dvk.barcodeSvg(kind, data, options);
    } catch (error) {
        if (!(error instanceof RangeError) || !/cannot be drawn/.test(error.message)) throw error;
        return null;
    }
}

const textOf = (value) => new TextEncoder().encode(String(value));

// One script's worth of link calls, made on the package and written for the native driver; `results`
// collects what the package gave, in order. Used by the random sessions and by the recordings.
export function linkCalls(dvk, script, results, count = () => {}) {
    const floor = (t) => (typeof t === "number" ? Math.floor(t) : t); // the package floors times as it takes them
    let link = null;
    let decoder = null;
    const result = (value) => results.push(value === null ? null : typeof value === "string" ? new TextEncoder().encode(value) : value);
    const flag = (value) => results.push(new Uint8Array([value ? 0x31 : 0x30]));
    return {
        open(deviceId, setUp, profile) {
            decoder = dvk.createDecoder();
            script.op(4);
            if (profile !== undefined) {
                script.op(5).text(profile);
                flag(decoder.setProfile(profile));
            }
            script.op(20).text(deviceId).number(setUp ? 1 : 0, 1);
            link = dvk.createLink(decoder, deviceId, { setUp });
            count("link_new");
        },
        close() {
            script.op(34);
            result(link.poll({ bytes: true }));
            script.op(35);
            result(link.notices({ bytes: true }));
            script.op(21).op(13);
            link.free();
            decoder.free();
            count("link_free");
        },
        useProfile(profile) {
            script.op(22).text(profile);
            flag(link.useProfile(profile));
            count("link_use_profile");
        },
        key(code, action, t) {
            script.op(23).number(code, 2).number(action, 1).number(floor(t), 8);
            link.key(code, action, t);
            count("link_key");
        },
        keyWith(code, action, mods, t) {
            script.op(24).number(code, 2).number(action, 1).number(mods, 1).number(floor(t), 8);
            link.keyWith(code, action, mods, t);
            count("link_key_with");
        },
        capsLock(on) {
            script.op(25).number(on ? 1 : 0, 1);
            link.setCapsLock(on);
            count("link_set_caps_lock");
        },
        bytes(chunk, t) {
            script.op(26).text(chunk).number(floor(t), 8);
            link.bytes(chunk, t);
            count("link_bytes");
        },
        descriptor(bytes) {
            script.op(27).text(bytes);
            result(textOf(link.hidPosDescriptor(bytes)));
            count("link_hid_pos_descriptor");
            script.op(40);
            result(textOf(link.hidPosReportId()));
            count("link_hid_pos_report_id");
        },
        collections(collections) {
            const json = typeof collections === "string" ? collections : JSON.stringify(collections);
            script.op(28).text(json);
            result(textOf(link.hidPosCollections(collections)));
            count("link_hid_pos_collections");
        },
        report(id, data, t) {
            script.op(29).number(id, 1).text(data).number(floor(t), 8);
            // WebHID gives a DataView over the report's bytes.
            flag(link.hidPosReport(id, new DataView(data.buffer, data.byteOffset, data.byteLength), t));
            count("link_hid_pos_report");
        },
        stream(bytes, t) {
            script.op(30).text(bytes).number(floor(t), 8);
            link.hidPosStream(bytes, t);
            count("link_hid_pos_stream");
        },
        tick(t) {
            script.op(31).number(floor(t), 8);
            link.tick(t);
            count("link_tick");
        },
        end(t) {
            script.op(32).number(floor(t), 8);
            link.end(t);
            count("link_end");
        },
        wakeAt() {
            script.op(33);
            result(textOf(link.wakeAt()));
            count("link_wake_at");
        },
        poll() {
            script.op(34);
            result(link.poll({ bytes: true }));
            count("link_poll");
        },
        notices() {
            script.op(35);
            result(link.notices({ bytes: true }));
            count("link_notices");
        },
    };
}

/**
 * Replays a recording through linkCalls: `input` as the set-up page keeps it (dorvikExample.input: [call,
 * …arguments], bytes as arrays), each input followed by a poll and the notices, then `finish` (a tick far
 * on and the end) and the link closed.
 */
export function replayRecording(calls, recording) {
    calls.open(recording.deviceId, recording.setUp, recording.profile);
    if (recording.descriptor) calls.descriptor(Uint8Array.from(recording.descriptor));
    if (recording.collections) calls.collections(recording.collections);
    let last = 0;
    for (const [name, ...args] of recording.input) {
        const bytes = (a) => Uint8Array.from(a);
        if (name === "keyWith") calls.keyWith(args[0], args[1], args[2], args[3]);
        else if (name === "key") calls.key(args[0], args[1], args[2]);
        else if (name === "bytes") calls.bytes(bytes(args[0]), args[1]);
        else if (name === "hidPosReport") calls.report(args[0], bytes(args[1]), args[2]);
        else if (name === "hidPosStream") calls.stream(bytes(args[0]), args[1]);
        else if (name === "tick") calls.tick(args[0]);
        else if (name === "end") calls.end(args[0]);
        else if (name === "useProfile") calls.useProfile(args[0]);
        else throw new Error(`a recording's call ${name}`);
        last = Math.max(last, typeof args[args.length - 1] === "number" ? args[args.length - 1] : 0);
        calls.poll();
        calls.notices();
    }
    if (recording.finish !== false) {
        calls.tick(last + 100000);
        calls.end(last + 100001);
    }
    calls.close();
}

const HID_SHAPES = Object.values(SHAPES);
const TERMINATORS = ["\r", "\r\n", "\t", "\n", ""];

// A link session: a scanner's input of one kind (keys as evdev or a browser gives them, serial chunks,
// HID-POS reports from a descriptor or WebHID collections, or a hidraw stream) with ticks, polls and an end.
function linkSession(dvk, r, script, results, count) {
    const calls = linkCalls(dvk, script, results, count);
    const setUp = r.chance(0.3);
    const prof = r.chance(0.7) ? JSON.stringify({ terminator: r.pick(TERMINATORS), aimId: r.chance(0.5),
        frameTimeoutMs: r.pick([140, 60, 500, 0]), burstGapMs: r.pick([30, 60, 250]) }) : profile(r) ?? undefined;
    calls.open(r.pick(["kbd", "COM3", "pos", "", "Ж"]), setUp, prof);
    let t = r.chance(0.05) ? 2 ** 52 : r.below(1e9); // wakeAt() is a number: exact below 2^53
    const later = (max = 40) => (t += r.chance(0.1) ? 100 + r.below(600) : r.below(max));
    const kind = r.below(4);
    let device = null;
    if (kind === 2 || kind === 3) {
        device = scanner(r.pick(HID_SHAPES));
        if (r.chance(0.05)) calls.descriptor(r.bytes(r.below(40)));
        else if (r.chance(0.5)) calls.descriptor(descriptorOf(device));
        else calls.collections(r.chance(0.05) ? r.pick(["[", "{}", "[{\"inputReports\":7}]", "null"]) : collectionsOf(device));
    }
    const steps = 4 + r.below(12);
    for (let i = 0; i < steps; ++i) {
        const what = r.below(10);
        if (what === 0) calls.tick(later(700));
        else if (what === 1) calls.poll();
        else if (what === 2) calls.wakeAt();
        else if (what === 3 && r.chance(0.2)) calls.useProfile(r.chance(0.8) ? JSON.stringify({ terminator: r.pick(TERMINATORS), aimId: r.chance(0.5) }) : profile(r) ?? "{}");
        else if (what === 4 && r.chance(0.1)) calls.end(later());
        else if (what === 5) calls.notices();
        else if (kind === 0) linkKeys(dvk, r, calls, later);
        else if (kind === 1) {
            const text = frameText(r);
            const whole = typeof text === "string" ? new TextEncoder().encode(text + r.pick(["\r", "\r\n", "\t", ""])) : text;
            for (let at = 0; at < whole.length || at === 0;) {
                const n = r.chance(0.3) ? whole.length : 1 + r.below(12);
                calls.bytes(whole.subarray(at, at + n), later(r.chance(0.1) ? 300 : 15));
                at += n;
                if (at >= whole.length) break;
            }
        } else {
            const text = frameText(r);
            const data = typeof text === "string" ? new TextEncoder().encode(text) : text;
            let reports = reportsOf(device, r.pick(["]d2", "]C1", "]E0", "]Q3", "\0\0\0"]), data, { aimBytes: r.chance(0.2) ? 2 : 3 });
            if (r.chance(0.15)) reports = reports.slice(0, Math.max(1, reports.length - 1)); // the last never comes
            if (device.otherReport !== null && r.chance(0.2)) reports.splice(r.below(reports.length + 1), 0, otherReportOf(device));
            if (kind === 2) {
                for (const rep of reports) calls.report(rep.id, r.chance(0.05) ? rep.data.subarray(0, r.below(rep.data.length)) : rep.data, later(10));
            } else {
                let bytes = streamOf(device, reports);
                if (r.chance(0.1)) bytes = Uint8Array.from([...r.bytes(1 + r.below(3)), ...bytes]); // junk first
                for (let at = 0; at < bytes.length;) {
                    const n = r.chance(0.5) ? bytes.length : 1 + r.below(70);
                    calls.stream(bytes.subarray(at, at + n), later(8));
                    at += n;
                }
            }
        }
    }
    if (r.chance(0.5)) calls.tick(later(2000));
    if (r.chance(0.5)) calls.end(later());
    calls.close();
}

// Keys of a code: through key() with modifier keys of their own (evdev, Raw Input), or through keyWith()
// with the modifiers each event carries (a browser), Alt codes ended by Alt's release, noise among them.
function linkKeys(dvk, r, calls, later) {
    const keys = keyTable(dvk);
    const withMods = r.chance(0.5);
    const caps = r.chance(0.1);
    if (!withMods && r.chance(0.1)) calls.capsLock(r.chance(0.5));
    const press = (code, shift, ctrl) => {
        if (withMods) {
            const mods = (shift ? 1 : 0) | (ctrl ? 2 : 0) | (caps ? 8 : 0);
            calls.keyWith(code, 1, mods, later(12));
            if (r.chance(0.3)) calls.keyWith(code, r.chance(0.1) ? 2 : 0, mods, later(3));
            return;
        }
        if (shift) calls.key(r.pick([0x2a, 0x36]), 1, later(3));
        if (ctrl) calls.key(r.pick([0x1d, 0xe01d]), 1, later(3));
        calls.key(code, 1, later(12));
        calls.key(code, 0, later(3));
        if (ctrl) calls.key(0x1d, 0, later(3)), calls.key(0xe01d, 0, later(1));
        if (shift) calls.key(0x2a, 0, later(3)), calls.key(0x36, 0, later(1));
    };
    const altCode = (digits) => {
        const alt = r.pick([0x38, 0xe038]);
        if (withMods) calls.keyWith(alt, 1, 4, later(3));
        else calls.key(alt, 1, later(3));
        for (const d of digits) {
            const code = NUMPAD_DIGITS[d];
            if (withMods) calls.keyWith(code, 1, 4, later(8)), calls.keyWith(code, 0, 4, later(3));
            else calls.key(code, 1, later(8)), calls.key(code, 0, later(3));
        }
        if (withMods) calls.keyWith(alt, 0, r.chance(0.1) ? 4 : 0, later(3));
        else calls.key(alt, 0, later(3));
    };
    const gs = r.below(3);
    for (const ch of r.chance(0.8) ? markingCode(r) : r.chars(GS1_CHARS, r.below(20))) {
        if (ch === GS && gs === 0) press(0x1b, false, true);
        else if (ch === GS && gs === 1) altCode(r.pick(["0029", "029", "29"]));
        else if (keys[ch.charCodeAt(0)]?.ok) press(keys[ch.charCodeAt(0)].scancode, keys[ch.charCodeAt(0)].shift, keys[ch.charCodeAt(0)].ctrl);
        if (r.chance(0.02)) press(r.below(0x10000), r.chance(0.5), r.chance(0.2)); // any scan code at all
        if (r.chance(0.01)) press(r.pick([0xe01c, 0xe035, 0xe048, 0x1c]), false, false);
    }
    const end = r.below(4);
    if (end === 0) press(0x1c, false, false);
    else if (end === 1) press(0xe01c, false, false);
    else if (end === 2) press(0x0f, false, false);
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
