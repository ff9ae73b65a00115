// The package's API: what each method gives, how arguments are checked, handles, and the heap.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";

import { CodeKind, loadDorvik } from "../index.js";
import { collectionsOf, reportsOf, scanner } from "./hid.js";

const dvk = await loadDorvik();
const GS = "\x1d";
const MARKING = `0104607097291111215Qbag!${GS}93Zjqw`;
const pkg = JSON.parse(readFileSync(new URL("../package.json", import.meta.url), "utf8"));

test("the version is the package's", () => {
    assert.equal(dvk.version, pkg.version);
});

test("loading: bytes, a URL, a compiled module; a bad source is refused", async () => {
    const url = new URL("../dorvik_c.wasm", import.meta.url);
    const bytes = readFileSync(url);
    for (const wasm of [url, url.href, bytes, new Uint8Array(bytes).buffer, new WebAssembly.Module(bytes)]) {
        const other = await loadDorvik({ wasm });
        assert.equal(other.decodeFrame(MARKING).gtin, "04607097291111");
    }
    await assert.rejects(loadDorvik({ wasm: 42 }), TypeError);
    await assert.rejects(loadDorvik("x"), /options must be an object/);
    await assert.rejects(loadDorvik({ wasm: new URL("./missing.wasm", import.meta.url) }), /ENOENT/);
});

test("decodeFrame: strings as UTF-8, bytes as they are, options as in C", () => {
    const rows = [
        // [text, options, field, expected]
        [MARKING, undefined, "serial", "5Qbag!"],
        [MARKING, { deviceId: "kbd" }, "deviceId", "kbd"],
        [MARKING.replace(GS, ""), { profile: { gsMissing: true } }, "gsRepaired", true],
        [MARKING.replace(GS, ""), { profile: '{"gsMissing":true}' }, "gsRepaired", true],
        [MARKING.replace(GS, ""), { profile: "not a profile" }, "gsRepaired", false],
        [MARKING.replace(GS, ""), { profile: '{"gsMissing":true}\0' }, "gsRepaired", false],
        [`~${MARKING.replace(GS, "~")}`, { profile: { gsSubstitute: "~", prefix: "~" } }, "serial", "5Qbag!"],
        ["Ж1", undefined, "raw", "Ж1"],
        [Uint8Array.of(0xd0, 0x96), undefined, "raw", "Ж"],
        [Uint8Array.of(0x34, 0xff), undefined, "raw", Uint8Array.of(0x34, 0xff)],
        ["a\0b", undefined, "raw", "a\0b"],
        ["", undefined, "raw", ""],
    ];
    for (const [text, options, field, expected] of rows)
        assert.deepEqual(dvk.decodeFrame(text, options)[field], expected, `${JSON.stringify(text)} ${field}`);
    const json = dvk.decodeFrame(MARKING, { json: true });
    assert.deepEqual(JSON.parse(json), dvk.decodeFrame(MARKING));
    assert.deepEqual(dvk.decodeFrame(MARKING, { bytes: true }), new TextEncoder().encode(json));
});

test("results beyond ASCII: every UTF-8 length and its edges read as text, anything else as bytes", () => {
    const utf8 = (...codePoints) => new TextEncoder().encode(String.fromCodePoint(...codePoints));
    const texts = [
        // Valid: the first and last character of each length, Cyrillic, a surrogate pair, U+FEFF and U+FFFD.
        utf8(0x80), utf8(0x7ff), utf8(0x800), utf8(0xd7ff), utf8(0xe000), utf8(0xffff), utf8(0x10000),
        utf8(0x10ffff), utf8(0x416, 0x451, 0x1f600), utf8(0xfeff, 0x41), utf8(0xfffd),
        // Not UTF-8: overlong, a surrogate, beyond U+10FFFF, a lead byte that never is one, cut short, a lone
        // continuation byte, and a valid character beside a bad byte.
        Uint8Array.of(0xc0, 0x80), Uint8Array.of(0xe0, 0x80, 0x80), Uint8Array.of(0xed, 0xa0, 0x80),
        Uint8Array.of(0xf0, 0x8f, 0xbf, 0xbf), Uint8Array.of(0xf4, 0x90, 0x80, 0x80), Uint8Array.of(0xf5, 0x80),
        Uint8Array.of(0xe2, 0x82), Uint8Array.of(0x80), Uint8Array.of(0xd0, 0x96, 0xff),
    ];
    const strict = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
    for (const tail of texts) {
        const text = Uint8Array.of(0x41, ...tail, 0x42);
        let expected;
        try {
            expected = `A${strict.decode(tail)}B`;
        } catch {
            expected = text;
        }
        const event = dvk.decodeFrame(text);
        assert.deepEqual(event.raw, expected, `raw of ${Array.from(text)}`);
        assert.deepEqual(event, JSON.parse(dvk.decodeFrame(text, { json: true }), (key, value) =>
            key === "raw" || key === "data" ? event[key] : value), `${Array.from(text)}`);
    }
    // Beside bytes that are not UTF-8, every other string is still read whole, an opening U+FEFF included.
    assert.equal(dvk.decodeFrame(Uint8Array.of(0xff), { deviceId: "\uFEFFkbd" }).deviceId, "\uFEFFkbd");
});

test("barcodeSvg: every kind, a RangeError when not encodable", () => {
    const rows = [
        ["ean13", "4600000000008", {}, true],
        ["ean13", "460000000000", {}, true],
        ["ean13", "46000000000x", {}, false],
        ["code128", `01${"0".repeat(14)}${GS}3103000123`, { gs1: true }, true],
        ["datamatrix", MARKING, { gs1: true, scale: 2, quiet: 1 }, true],
        ["anything", Uint8Array.of(0xff, 0), {}, true],
        ["datamatrix", "7".repeat(5000), {}, false],
    ];
    for (const [kind, data, options, drawn] of rows) {
        if (drawn) assert.ok(dvk.barcodeSvg(kind, data, options).startsWith("<svg xmlns="), `${kind} ${data.length}`);
        else assert.throws(() => dvk.barcodeSvg(kind, data, options), { constructor: RangeError, message: /cannot be drawn as (EAN-13|DataMatrix)/ }, `${kind} ${data.length}`);
    }
    const at = (options) => dvk.barcodeSvg("ean13", "4600000000008", options);
    assert.equal(at(), at({ scale: 4, quiet: 4 }), "defaults: scale 4, quiet 4");
    assert.equal(at({ scale: 0, quiet: 4 }), at({ scale: 4, quiet: 4 }), "scale below 1 is 4, as in C");
    assert.notEqual(at({ scale: 2 }), at());
});

test("keyForChar: characters and bytes", () => {
    const rows = [
        ["A", { ok: true, scancode: 0x1e, shift: true, ctrl: false }],
        ["a", { ok: true, scancode: 0x1e, shift: false, ctrl: false }],
        [0x1d, { ok: true, scancode: 0x1b, shift: false, ctrl: true }],
        ["\r", { ok: true, scancode: 0x1c, shift: false, ctrl: false }],
        [0xd0, { ok: false }],
    ];
    for (const [ch, expected] of rows) {
        const key = dvk.keyForChar(ch);
        for (const [field, value] of Object.entries(expected)) assert.equal(key[field], value, `${ch} ${field}`);
    }
    assert.equal(dvk.keyForChar("A", { json: true }), JSON.stringify(dvk.keyForChar("A")));
});

// Types a text as a keyboard scanner does, with the keys keyForChar finds.
function type(dec, text, t0, deviceId, gs = "ctrl") {
    let t = t0;
    for (const ch of text) {
        if (ch === GS && gs === "alt") {
            for (const code of [0x52, 0x52, 0x50, 0x49]) dec.feedKey(code, { alt: true }, t++, deviceId);
        } else if (ch === GS && gs === "ctrl") {
            dec.feedKey(0x1b, { ctrl: true }, t++, deviceId);
        } else {
            const key = dvk.keyForChar(ch);
            dec.feedKey(key.scancode, key, t++, deviceId);
        }
    }
    return t;
}

test("decoder: key strokes with GS as Ctrl+] or an Alt code, bytes, ticks, binding", () => {
    const dec = dvk.createDecoder();
    try {
        for (const gs of ["ctrl", "alt"]) {
            const t = type(dec, MARKING + "\r", 1000, "kbd", gs);
            const { scans, frames } = dec.poll();
            assert.equal(scans.length, 1, gs);
            assert.equal(scans[0].data, MARKING, gs);
            assert.ok(frames[0].gapsMs.length >= 29 && frames[0].gapsMs.every((gap) => gap === 1), "strokes 1 ms apart");
            assert.equal(frames[0].tMs, t - 1);
        }
        // Without a terminator the frame closes by a tick after the time-out; time stamps may be bigints.
        type(dec, "4600000000008", 5000, "kbd");
        dec.tick(5013n);
        assert.equal(dec.poll().scans.length, 0, "not yet timed out");
        dec.tick(1e6 + 0.75);
        assert.equal(dec.poll().scans[0].kindTitle, "EAN-13");
        assert.equal(CodeKind.Ean13, 2);
        // Bytes of a serial scanner, not UTF-8, come back as the same bytes.
        const cp1251 = Uint8Array.of(0xc6, 0x31, 0x32, 0x33, 0x34, 0x0d);
        dec.feedBytes(cp1251, "COM3", 2e6);
        const polled = dec.poll();
        assert.deepEqual(polled.frames[0].frame, cp1251);
        dec.bind("COM3");
        type(dec, "12345678\r", 3e6, "kbd");
        dec.feedBytes("87654321\r", "COM3", 4e6);
        const bound = dec.poll();
        assert.deepEqual(bound.scans.map((s) => s.deviceId), ["COM3"]);
        assert.equal(bound.frames.length, 2);
        type(dec, "1234", 5e6, "COM3");
        dec.reset();
        dec.feedBytes("5\r", "COM3", 5e6 + 5);
        assert.deepEqual(dec.poll().frames.map((f) => f.frame), ["5\r"], "reset dropped the half-typed frame");
    } finally {
        dec.free();
    }
});

test("decoder profile: objects, texts, the exact text back, false for what is not a profile", () => {
    const dec = dvk.createDecoder();
    const rows = [
        [{ terminator: "\t", minLength: 2 }, true],
        ['{"gsMissing":true}', true],
        [new TextEncoder().encode('{"prefix":"]"}'), true],
        ["{", false],
        ["[]", false],
        ['{"minLength":1}\0{"x":', false],
    ];
    for (const [profile, applied] of rows) {
        const before = dec.profile({ json: true });
        assert.equal(dec.setProfile(profile), applied, String(profile));
        if (!applied) assert.equal(dec.profile({ json: true }), before, "a rejected profile changes nothing");
    }
    const text = dec.profile({ json: true });
    assert.equal(dec.profile().prefix, "]");
    const other = dvk.createDecoder();
    assert.equal(other.setProfile(text), true);
    assert.equal(other.profile({ json: true }), text, "the stored text restores the same profile");
    assert.deepEqual(other.profile({ bytes: true }), new TextEncoder().encode(text));
    other.free();
    dec.free();
});

test("tuner: a session fed with the frames a decoder polls", () => {
    const dec = dvk.createDecoder();
    const tuner = dvk.createTuner("hid", "kbd");
    let t = 10_000;
    for (let step = 0; step < 5; ++step) {
        const { code, done } = tuner.state();
        assert.equal(done, false);
        t = type(dec, code.payload + "\r", t + 1000, "kbd") + 1;
        const { frames } = dec.poll();
        assert.equal(tuner.feed(frames[0]), true, `step ${step} took its frame`);
    }
    const state = tuner.state();
    assert.equal(state.done, true);
    assert.equal(state.profile.terminator, "\r");
    assert.equal(tuner.feed({ frame: "x", tMs: t }), false);
    const skipped = dvk.createTuner();
    skipped.skip();
    assert.equal(skipped.state().step, 1);
    assert.equal(skipped.feed({ frame: "4600000000008", deviceId: "", tMs: 5n, gapsMs: "10,12" }), false);
    skipped.free();
    tuner.free();
    dec.free();
});

test("handles: a freed handle throws, free() twice does nothing", () => {
    const dec = dvk.createDecoder();
    const tuner = dvk.createTuner();
    dec.free();
    tuner.free();
    dec.free();
    tuner.free();
    for (const call of [() => dec.poll(), () => dec.setProfile("{}"), () => dec.feedKey(1, {}, 1), () => dec.tick(1),
        () => dec.reset(), () => dec.bind("x"), () => dec.profile(), () => dec.feedBytes("x", "", 1)])
        assert.throws(call, { constructor: Error, message: /decoder was freed/ });
    for (const call of [() => tuner.state(), () => tuner.feed({ frame: "x", tMs: 1 }), () => tuner.skip()])
        assert.throws(call, { constructor: Error, message: /tuner was freed/ });
});

test("bad arguments: a TypeError or RangeError naming the argument", () => {
    const dec = dvk.createDecoder();
    const tuner = dvk.createTuner();
    const rows = [
        [() => dvk.decodeFrame(42), TypeError, /^text /],
        [() => dvk.decodeFrame("x", "kbd"), TypeError, /^options /],
        [() => dvk.decodeFrame("x", { profile: 1 }), TypeError, /^options\.profile /],
        [() => dvk.decodeFrame("x", { deviceId: 7 }), TypeError, /^options\.deviceId /],
        [() => dvk.decodeFrame("x", { deviceId: "a\0b" }), TypeError, /^options\.deviceId .*NUL/],
        [() => dvk.barcodeSvg(undefined, "1"), TypeError, /^kind /],
        [() => dvk.barcodeSvg("ean13", null), TypeError, /^data /],
        [() => dvk.barcodeSvg("ean13", "1", { scale: 1.5 }), RangeError, /^options\.scale /],
        [() => dvk.barcodeSvg("ean13", "1", { quiet: "4" }), TypeError, /^options\.quiet /],
        [() => dvk.keyForChar("ab"), TypeError, /^ch /],
        [() => dvk.keyForChar("Ж"), TypeError, /^ch /],
        [() => dvk.keyForChar(256), RangeError, /^ch /],
        [() => dvk.createTuner(1), TypeError, /^transport /],
        [() => dec.setProfile(null), TypeError, /^profile /],
        [() => dec.setProfile(5), TypeError, /^profile /],
        [() => dec.bind(5), TypeError, /^deviceId /],
        [() => dec.feedKey("30", {}, 1), TypeError, /^scanCode /],
        [() => dec.feedKey(0x10000, {}, 1), RangeError, /^scanCode /],
        [() => dec.feedKey(30, "shift", 1), TypeError, /^modifiers /],
        [() => dec.feedKey(30, {}, -1), RangeError, /^tMs /],
        [() => dec.feedKey(30, {}, 2n ** 64n), RangeError, /^tMs /],
        [() => dec.feedKey(30, {}, "1"), TypeError, /^tMs /],
        [() => dec.feedKey(30, {}, NaN), RangeError, /^tMs /],
        [() => dec.feedBytes([1, 2], "", 1), TypeError, /^bytes /],
        [() => dec.tick(), TypeError, /^tMs /],
        [() => tuner.feed("x"), TypeError, /^frame /],
        [() => tuner.feed({ frame: 1, tMs: 1 }), TypeError, /^frame\.frame /],
        [() => tuner.feed({ frame: "x" }), TypeError, /^frame\.tMs /],
        [() => tuner.feed({ frame: "x", tMs: 1, gapsMs: [1, -2] }), RangeError, /^frame\.gapsMs\[1\] /],
        [() => tuner.feed({ frame: "x", tMs: 1, gapsMs: {} }), TypeError, /^frame\.gapsMs /],
        [() => dvk.createLink({}, "x"), TypeError, /^decoder /],
        [() => dvk.createLink(dec, 5), TypeError, /^deviceId /],
        [() => dvk.createLink(dec, "x", 1), TypeError, /^options /],
        [() => dvk.createLink(dec).key(30, 3, 1), RangeError, /^action /],
        [() => dvk.createLink(dec).keyWith(30, 1, 16, 1), RangeError, /^modifiers /],
        [() => dvk.createLink(dec).keyWith(0x10000, 1, 0, 1), RangeError, /^scanCode /],
        [() => dvk.createLink(dec).bytes([1], 1), TypeError, /^bytes /],
        [() => dvk.createLink(dec).hidPosReport(256, new Uint8Array(1), 1), RangeError, /^reportId /],
        [() => dvk.createLink(dec).hidPosCollections({}), TypeError, /^collections /],
        [() => dvk.createLink(dec).tick(-1), RangeError, /^tMs /],
        [() => dvk.scanCodeOfKeyCode(30), TypeError, /^code /],
    ];
    for (const [call, type, message] of rows) assert.throws(call, (e) => e.constructor === type && message.test(e.message), String(call));
    // A refused call changed nothing.
    assert.equal(dec.poll({ json: true }), '{"scans":[],"frames":[]}');
    assert.equal(tuner.state().step, 0);
    dec.free();
    tuner.free();
});

test("a link: keys with their modifiers, Alt codes, serial chunks, HID-POS, set-up framing, cut codes", () => {
    const GS_MARKING = MARKING;
    const dec = dvk.createDecoder();
    const link = dvk.createLink(dec, "kbd");
    assert.equal(link.decoder, dec);
    assert.equal(link.wakeAt(), -1);
    // Ctrl+] and an Alt code typed as a browser reports them; the Alt release ends the Alt code.
    const ModifierBits = { Shift: 1, Ctrl: 2, Alt: 4 };
    let t = 10;
    for (const c of "0104607097291111") link.keyWith(dvk.keyCodes[`Digit${c}`], 1, 0, (t += 5));
    link.keyWith(dvk.keyCodes.KeyQ, 1, ModifierBits.Shift, (t += 5));
    link.keyWith(dvk.keyCodes.BracketRight, 1, ModifierBits.Ctrl, (t += 5));
    link.keyWith(dvk.keyCodes.AltLeft, 1, ModifierBits.Alt, (t += 5));
    for (const d of "0029") link.keyWith(dvk.keyCodes[`Numpad${d}`], 1, ModifierBits.Alt, (t += 5));
    link.keyWith(dvk.keyCodes.AltLeft, 0, 0, (t += 5));
    link.keyWith(dvk.keyCodes.NumpadEnter, 1, 0, (t += 5));
    assert.equal(link.wakeAt(), t + 141, "the default time-out, 140 ms, after the last stroke");
    const polled = link.poll();
    assert.equal(polled.frames[0].frame, "0104607097291111Q\x1d\x1d\r");
    assert.equal(dvk.keyCodes.NumpadEnter, 0xe01c);
    assert.equal(dvk.scanCodeOfKeyCode("AltRight"), 0xe038);
    assert.equal(dvk.scanCodeOfKeyCode("F1"), 0);
    assert.equal(dvk.scanCodeOfLinuxKey(30), 0x1e);
    assert.equal(Object.isFrozen(dvk.keyCodes), true);
    link.free();
    link.free();
    assert.throws(() => link.poll(), /this link was freed/);

    // Set-up: frames close by time alone, so a CR LF arrives whole; the learned profile then takes over.
    const serial = dvk.createLink(dec, "COM3", { setUp: true });
    assert.deepEqual(dec.profile().terminator, "\0");
    assert.equal(JSON.parse(dvk.setUpProfile).frameTimeoutMs, 500);
    serial.bytes("4600000000008\r", 100);
    serial.bytes(new TextEncoder().encode("\n"), 103);
    serial.tick(400);
    assert.deepEqual(serial.poll().frames, []);
    serial.tick(604);
    assert.equal(serial.poll().frames[0].frame, "4600000000008\r\n");
    assert.equal(serial.useProfile({ terminator: "\r\n" }), true);
    assert.equal(serial.useProfile("not a profile"), false);
    // A lost port in the middle of a code: dropped, and the link says so.
    serial.bytes("46070972", 1000);
    serial.end(1001);
    assert.deepEqual(serial.poll({ json: true }), '{"scans":[],"frames":[]}');
    assert.deepEqual(serial.notices(), [{ notice: "cut", deviceId: "COM3", tMs: 1001, bytes: 8 }]);
    assert.equal(serial.notices({ json: true }), "[]");
    // A freed decoder under a link: every call but free throws.
    const other = dvk.createDecoder();
    const orphan = dvk.createLink(other, "x");
    other.free();
    assert.throws(() => orphan.tick(1), /the decoder of this link was freed/);
    orphan.free();
    assert.throws(() => dvk.createLink(other, "x"), /this decoder was freed/);
    serial.free();
    dec.free();
    void GS_MARKING;
});

test("a forgotten handle is released by the garbage collector", { skip: typeof gc !== "function" && "run node with --expose-gc" }, async () => {
    const forget = () => {
        for (let i = 0; i < 2000; ++i) {
            const dec = dvk.createDecoder();
            dec.feedBytes("x".repeat(2000), "", 1);
            dvk.createTuner();
            dvk.createLink(dec, "x".repeat(100)).bytes("y".repeat(500), 1);
        }
    };
    forget();
    for (let i = 0; i < 5; ++i) {
        globalThis.gc();
        await new Promise((resolve) => setTimeout(resolve, 10));
    }
    const settled = dvk.memoryBytes;
    forget();
    for (let i = 0; i < 5; ++i) {
        globalThis.gc();
        await new Promise((resolve) => setTimeout(resolve, 10));
    }
    assert.equal(dvk.memoryBytes, settled, "forgotten handles gave their memory back");
});

// Each method called many times after a warm-up: the heap must not grow. A leak of one allocation per call
// would take every free byte of the 1 MB it starts with long before the count is reached.
test("the heap stays flat over many calls of every method", () => {
    const calls = Number(process.env.DVK_HEAP_CALLS ?? 50_000);
    const dec = dvk.createDecoder();
    const tuner = dvk.createTuner();
    const frame = { frame: MARKING, deviceId: "kbd", tMs: 5, gapsMs: [1, 2, 3] };
    const methods = {
        decodeFrame: () => dvk.decodeFrame(MARKING, { profile: { gsMissing: true }, deviceId: "kbd" }),
        barcodeSvg: () => dvk.barcodeSvg("datamatrix", MARKING, { gs1: true }),
        keyForChar: () => dvk.keyForChar("A"),
        "decoder.setProfile": () => dec.setProfile({ terminator: "\r" }),
        "decoder.profile": () => dec.profile(),
        "decoder.bind": () => dec.bind("kbd"),
        "decoder.feedKey+poll": (i) => {
            dec.feedKey(0x1e, { shift: true }, i, "kbd");
            dec.feedKey(0x1c, {}, i, "kbd");
            dec.poll();
        },
        "decoder.feedBytes+tick+poll": (i) => {
            dec.feedBytes("4600000000008", "kbd", i);
            dec.tick(i + 1000);
            dec.poll();
        },
        "decoder.reset": () => dec.reset(),
        "createDecoder+free": () => dvk.createDecoder().free(),
        "createTuner+feed+skip+state+free": () => {
            const t = dvk.createTuner("serial", "kbd");
            t.feed(frame);
            t.skip();
            t.state();
            t.free();
        },
        "tuner.feed": () => tuner.feed(frame),
        "tuner.state": () => tuner.state(),
        "createLink+bytes+end+poll+notices+free": (i) => {
            const link = dvk.createLink(dec, "COM3", { setUp: i % 2 === 0 });
            link.bytes("4600000000008", i);
            link.end(i + 1);
            link.poll();
            link.notices();
            link.free();
        },
        "link.keyWith+tick+poll": (i) => {
            linked.keyWith(0x1e, 1, 1, i);
            linked.keyWith(0x1c, 1, 0, i);
            linked.tick(i + 1000);
            linked.poll();
        },
        "link.hidPosReport+poll": (i) => {
            linked.hidPosReport(2, report, i);
            linked.poll();
        },
    };
    const linked = dvk.createLink(dvk.createDecoder(), "pos");
    linked.hidPosCollections(collectionsOf(scanner()));
    const report = reportsOf(scanner(), "]d2", new TextEncoder().encode(MARKING))[0].data;
    for (const [name, method] of Object.entries(methods)) {
        for (let i = 0; i < 2000; ++i) method(i);
        const before = dvk.memoryBytes;
        for (let i = 0; i < calls; ++i) method(i);
        assert.equal(dvk.memoryBytes, before, `${name}: the heap grew`);
    }
    dec.free();
    tuner.free();
});
