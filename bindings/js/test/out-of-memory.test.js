// Out of memory: the test build's heap is 1 MB and cannot grow. A call that cannot get its memory fails with
// an Error, its handle and the module stay usable, and nothing queued is lost.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";

import { loadDorvik } from "../index.js";

const dvk = await loadDorvik({ wasm: readFileSync(new URL("./dorvik_c_fixed_heap.wasm", import.meta.url)) });
const MARKING = "0104607097291111215Qbag!\x1d93Zjqw";

test("an argument that does not fit is refused before the call", () => {
    assert.throws(() => dvk.decodeFrame("7".repeat(2 << 20)), { constructor: RangeError, message: /out of WebAssembly memory/ });
    assert.equal(dvk.decodeFrame(MARKING).serial, "5Qbag!");
});

test("a result that does not fit: an Error, and the module goes on", () => {
    // 300 kB of control bytes in: their escapes in the scan event need six times that.
    assert.throws(() => dvk.decodeFrame("\x01".repeat(300_000)), { constructor: Error, message: /decodeFrame failed: out of WebAssembly memory/ });
    assert.equal(dvk.decodeFrame(MARKING).serial, "5Qbag!");
    assert.equal(dvk.barcodeSvg("datamatrix", MARKING, { gs1: true }).startsWith("<svg"), true);
});

test("a poll that cannot be written keeps the queues", () => {
    const dec = dvk.createDecoder();
    dec.setProfile({ terminator: "\r" });
    const big = "\x01".repeat(5_000);
    dec.feedBytes(big + "\r", "COM3", 1);
    // Ballast takes the rest of the heap, so that the poll cannot get the room for its text.
    const ballast = [];
    for (;;) {
        try {
            ballast.push(dvk.createTuner());
        } catch (error) {
            assert.match(error.message, /createTuner failed: out of WebAssembly memory/);
            break;
        }
    }
    assert.throws(() => dec.poll(), /poll failed: out of WebAssembly memory/);
    assert.throws(() => dvk.createDecoder(), /createDecoder failed: out of WebAssembly memory/);
    assert.throws(() => dvk.createLink(dec, "COM3"), /createLink failed: out of WebAssembly memory/);
    for (const tuner of ballast) tuner.free();
    const { scans, frames } = dec.poll();
    assert.equal(frames.length, 1);
    assert.equal(frames[0].frame, big + "\r");
    assert.equal(scans[0].raw, big + "\r");
    assert.equal(dec.poll({ json: true }), '{"scans":[],"frames":[]}');
    dec.free();
});
