// Every committed fuzz corpus input, read as the C++ harnesses in fuzz/ read it, through the package's API,
// with the harnesses' properties (the ZXing read-back of DataMatrix pictures stays with the native replay).
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { test } from "node:test";

import { loadDorvik } from "../index.js";

const CORPUS = new URL("../../../fuzz/corpus/", import.meta.url);
const dvk = await loadDorvik();
const decoderText = new TextDecoder();

// fuzz/fuzz_input.h, byte for byte.
class FuzzInput {
    constructor(data) {
        this.data = data;
        this.pos = 0;
    }
    empty() {
        return this.pos >= this.data.length;
    }
    byte() {
        return this.pos < this.data.length ? this.data[this.pos++] : 0;
    }
    u64() {
        let value = 0n;
        for (let i = 0; i < 8; ++i) value = (value << 8n) | BigInt(this.byte());
        return value;
    }
    slice(max = 255) {
        const want = this.byte() % (max + 1);
        const start = Math.min(this.pos, this.data.length);
        const n = Math.min(want, this.data.length - start);
        this.pos += n;
        return this.data.subarray(start, start + n);
    }
    rest() {
        const out = this.data.subarray(Math.min(this.pos, this.data.length));
        this.pos = this.data.length;
        return out;
    }
}

const u64 = (value) => value & ((1n << 64n) - 1n);
const asCString = (bytes) => {
    const nul = bytes.indexOf(0);
    return nul < 0 ? bytes : bytes.subarray(0, nul);
};

const harnesses = {
    decode_frame(data) {
        const input = new FuzzInput(data);
        const mode = input.byte();
        let profile;
        if (mode & 1) {
            profile = asCString(input.slice(200)); // the harness passes it as a C string
        } else {
            profile = JSON.stringify({
                gsMissing: Boolean(mode & 2),
                terminator: mode & 4 ? "\r\n" : "",
                prefix: mode & 8 ? "]" : "",
                suffix: mode & 16 ? "9" : "",
                gsSubstitute: mode & 32 ? "~" : "",
            });
        }
        const json = dvk.decodeFrame(input.rest(), { profile, deviceId: "dev", json: true });
        assert.ok(json.startsWith('{"raw":"') && json.endsWith("]}"), "scan event JSON shape");
    },

    profile(data) {
        const dec = dvk.createDecoder();
        try {
            if (dec.setProfile(asCString(data))) {
                const first = dec.profile({ bytes: true });
                assert.equal(dec.setProfile(first), true, "written profile is read back");
                assert.deepEqual(dec.profile({ bytes: true }), first, "profile round trip");
            } else {
                assert.equal(dec.profile().minLength, 4, "a rejected profile leaves the defaults");
            }
        } finally {
            dec.free();
        }
    },

    decoder(data) {
        const devices = ["", "kbd", "scanner", "COM3"];
        const profiles = [
            "{}",
            '{"terminator":"\\r\\n","minLength":0}',
            '{"gsMissing":true,"burstGapMs":-5}',
            '{"prefix":"]","suffix":"\\t","gsSubstitute":"|","frameTimeoutMs":0}',
            '{"terminator":"\\t","burstGapMs":2147483647,"frameTimeoutMs":-1}',
        ];
        const input = new FuzzInput(data);
        const dec = dvk.createDecoder();
        let bound = "";
        const checkPoll = () => {
            const result = dec.poll();
            for (const scan of result.scans) {
                assert.equal(scan.fromBoundDevice, true, "every scan is from the bound device");
                if (bound) assert.equal(scan.deviceId, bound, "scan device is the bound one");
            }
        };
        let now = input.u64() % 4n === 0n ? u64(-1001n) : 1000n;
        while (!input.empty()) {
            const op = input.byte();
            switch (op % 8) {
                case 0: {
                    const code = input.byte();
                    const mods = input.byte();
                    now = u64(now + (input.byte() % 2 ? BigInt(input.byte()) : -BigInt(input.byte() % 16)));
                    const modifiers = { shift: mods & 2, ctrl: mods & 4, alt: mods & 8, capsLock: mods & 16 };
                    dec.feedKey(code, modifiers, now, devices[(mods >> 6) & 3]);
                    break;
                }
                case 1:
                    dec.feedBytes(input.slice(64), devices[op >> 6], now);
                    break;
                case 2:
                    now = u64(now + BigInt(input.byte() * 4));
                    dec.tick(now);
                    break;
                case 3:
                    checkPoll();
                    break;
                case 4:
                    dec.reset();
                    break;
                case 5:
                    checkPoll();
                    bound = devices[op >> 6];
                    dec.bind(bound);
                    break;
                case 6:
                    dec.setProfile(profiles[(op >> 3) % 5]);
                    break;
                default:
                    now = input.u64();
            }
        }
        checkPoll();
        dec.free();
    },

    tuner(data) {
        const transports = ["hid", "serial", "sim", "HID", "", "none"];
        const devices = ["", "usb", "kbd"];
        const input = new FuzzInput(data);
        const setup = input.byte();
        const tuner = dvk.createTuner(transports[setup % 6], devices[(setup >> 3) % 3]);
        let taken = 0;
        while (!input.empty()) {
            const op = input.byte();
            if (op % 4 <= 1) {
                const frame = input.slice(120);
                const gapsMs = decoderText.decode(asCString(input.slice(24))).replaceAll("\0", "");
                const deviceId = devices[(op >> 2) % 3];
                if (tuner.feed({ frame, deviceId, tMs: input.u64(), gapsMs: latin1Digits(gapsMs) })) ++taken;
            } else if (op % 4 === 2) {
                tuner.skip();
            } else {
                const state = tuner.state({ json: true });
                assert.ok(state.startsWith('{"step":') && state.endsWith("}}"), "state shape");
            }
        }
        assert.ok(taken <= 5, "at most five frames are taken");
        tuner.free();
    },

    barcode_svg(data) {
        const kinds = ["ean13", "code128", "datamatrix", "", "EAN13"];
        const input = new FuzzInput(data);
        const flags = input.byte();
        const huge = flags & 16;
        const int32 = (value) => Number(BigInt.asIntN(32, value));
        const scale = huge ? int32(input.u64()) : (input.byte() % 8) - 1;
        const quiet = huge ? int32(input.u64()) : (input.byte() % 8) - 2;
        const svg = dvk.barcodeSvg(kinds[flags % 5], input.rest(), { gs1: Boolean(flags & 8), scale, quiet });
        if (svg !== null) assert.ok(svg.startsWith("<svg xmlns="), "SVG text");
    },

    key_for_char(data) {
        for (const byte of data) {
            const key = dvk.keyForChar(byte);
            if (!key.ok) continue;
            // The found key types the character back through a decoder.
            const dec = dvk.createDecoder();
            dec.setProfile({ terminator: "\0" });
            dec.feedKey(key.scancode, key, 1, "k");
            dec.tick(10000);
            const { frames } = dec.poll();
            dec.free();
            const typed = typeof frames[0]?.frame === "string" ? new TextEncoder().encode(frames[0].frame) : frames[0]?.frame;
            assert.deepEqual(typed, Uint8Array.of(byte), `the key found for byte ${byte} types it`);
        }
    },
};

// The gaps text the C harness passes is bytes; only its digits and separators matter to the parser.
function latin1Digits(text) {
    return text.replace(/[^0-9]/g, ",");
}

for (const [name, run] of Object.entries(harnesses)) {
    test(`fuzz corpus ${name}`, () => {
        const folder = new URL(`${name}/`, CORPUS);
        const files = readdirSync(folder).sort();
        assert.ok(files.length > 0, `no corpus in ${folder}`);
        const before = dvk.memoryBytes;
        for (const file of files) {
            try {
                run(new Uint8Array(readFileSync(new URL(file, folder))));
            } catch (error) {
                error.message = `${name}/${file}: ${error.message}`;
                throw error;
            }
        }
        assert.ok(dvk.memoryBytes <= Math.max(before, 4 << 20), "the heap stays small");
    });
}
