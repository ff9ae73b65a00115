// The serial and HID-POS hosts under Node, with stand-ins for a Web Serial port and a WebHID device that
// deliver recorded chunks and reports.
import assert from "node:assert/strict";
import { test } from "node:test";

import { attachHidPos, attachSerial } from "../browser.js";
import { loadDorvik } from "../index.js";

const dvk = await loadDorvik();
const GS = "\x1d";
const MARKING = `010460709729111121AbC1234567${GS}91EE10${GS}92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=`;
const bytes = (text) => new TextEncoder().encode(text);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A port whose readable delivers the recording one item a millisecond: bytes, or an error that a line fault
// (a fresh readable follows) or a lost device (none follows) leaves.
class RecordedPort {
    constructor(recording) {
        this.rest = recording.slice();
        this.readable = this.#stream();
        this.closed = false;
    }
    #stream() {
        return new ReadableStream({
            pull: async (controller) => {
                await sleep(1);
                const item = this.rest.shift();
                if (item === undefined) return; // the line is quiet: the read waits
                if (!(item instanceof Error)) return controller.enqueue(item);
                this.readable = item.name === "NetworkError" ? null : this.#stream();
                controller.error(item);
            },
        });
    }
    async open(options) {
        this.options = options;
    }
    async close() {
        this.closed = true;
    }
}

const lineError = (name) => Object.assign(new Error(name), { name });

test("serial: opened with the profile's line settings, chunks fed as they come, errors reported", async () => {
    const split = (text, ...at) => at.concat(text.length).map((end, i) => bytes(text.slice(at[i - 1] ?? 0, end)));
    const rows = [
        // [name, recording, scans' data, errors]
        ["a code in uneven chunks, then one closed only by time-out",
            [...split(`]d2${MARKING}\r4600000000008\r`, 7, 23, 24, 60), bytes("4607097291111")],
            [MARKING, "4600000000008", "4607097291111"], []],
        ["a parity error in the middle", [bytes(MARKING.slice(0, 30)), lineError("ParityError"), bytes(MARKING.slice(30) + "\r")],
            [MARKING], ["ParityError"]],
        ["the port is lost", [bytes("4600000000008\r"), lineError("NetworkError")], ["4600000000008"], ["NetworkError"]],
        ["the port is lost in the middle of a code: no shorter code comes of it",
            [bytes("4600000000008\r46070972911"), lineError("NetworkError")], ["4600000000008"], ["NetworkError"]],
    ];
    for (const [name, recording, expected, errors] of rows) {
        const decoder = dvk.createDecoder();
        const port = new RecordedPort(recording);
        const scans = [];
        const seen = [];
        const profile = { baud: 115200, dataBits: 7, parity: "E", stopBits: 2, rtsCts: true };
        const host = await attachSerial(decoder, port, { deviceId: "COM3", profile, onScan: (s) => scans.push(s), onError: (e) => seen.push(e.name) });
        assert.deepEqual(port.options, { baudRate: 115200, dataBits: 7, stopBits: 2, parity: "even", flowControl: "hardware" }, name);
        await sleep(recording.length * 5 + 300);
        assert.deepEqual(scans.map((s) => s.data), expected, name);
        assert.ok(scans.every((s) => s.deviceId === "COM3"), name);
        assert.deepEqual(seen, errors, name);
        decoder.tick(performance.now() + 1e6);
        assert.deepEqual(decoder.poll().frames, [], `${name}: nothing left to join the next code`);
        await host.close();
        assert.ok(port.closed, name);
        decoder.free();
    }
});

// The scanned-data report of the HID POS usage tables, after its id: length, AIM identifier, 56 bytes of
// data, and a last byte whose bit 0 says that more reports follow.
function reports(aim, text, { size = 56, id = 2 } = {}) {
    const data = bytes(text);
    const out = [];
    for (let at = 0; at < data.length || out.length === 0; at += size) {
        const piece = data.subarray(at, at + size);
        const report = new Uint8Array(4 + size + 1);
        report[0] = piece.length;
        report.set(bytes(aim), 1);
        report.set(piece, 4);
        report[4 + size] = at + size < data.length ? 1 : 0;
        out.push({ id, report });
    }
    return out;
}

class RecordedHid extends EventTarget {
    constructor(usagePage = 0x8c) {
        super();
        this.collections = [{ usagePage }];
        this.opened = false;
    }
    async open() {
        this.opened = true;
    }
    async close() {
        this.opened = false;
    }
    play(recording) {
        for (const { id, report } of recording) {
            const event = new Event("inputreport");
            Object.assign(event, { reportId: id, data: new DataView(report.buffer) });
            this.dispatchEvent(event);
        }
    }
}

test("HID-POS: one chunk per report, the AIM identifier as the profile says, GS as it came", async () => {
    const rows = [
        // [name, profile, recording, [raw, data, aimId] of each scan]
        ["a marking code over two reports", {}, reports("]d2", MARKING), [[`${MARKING}\r`, MARKING, ""]]],
        ["the same with AIM identifiers on", { aimId: true }, reports("]d2", MARKING), [[`]d2${MARKING}\r`, MARKING, "]d2"]]],
        ["a Tab terminator and an identifier without its flag", { aimId: true, terminator: "\t" },
            reports("E0", "4600000000008"), [["]E04600000000008\t", "4600000000008", "]E0"]]],
        ["two codes, and a report of another id between them", {},
            [...reports("]E0", "4600000000008"), ...reports("]E0", "junk", { id: 4 }), ...reports("]C1", "0104607097291111")],
            [["4600000000008\r", "4600000000008", ""], ["0104607097291111\r", "0104607097291111", ""]]],
    ];
    for (const [name, profile, recording, expected] of rows) {
        const decoder = dvk.createDecoder();
        decoder.setProfile(profile);
        const device = new RecordedHid();
        const scans = [];
        const frames = [];
        const host = await attachHidPos(decoder, device, { deviceId: "pos", onScan: (s) => scans.push(s), onFrame: (f) => frames.push(f) });
        assert.ok(device.opened, name);
        device.play(recording);
        assert.deepEqual(scans.map((s) => [s.raw, s.data, s.aimId]), expected, name);
        assert.ok(frames.every((f) => f.deviceId === "pos" && f.gapsMs.length === 0), name);
        await host.close();
        decoder.free();
    }
    await assert.rejects(attachHidPos(dvk.createDecoder(), new RecordedHid(0x01)), /usage page 0x8C/);
});

test("HID-POS: a code whose last report never comes is dropped, not read short", async () => {
    const decoder = dvk.createDecoder();
    const device = new RecordedHid();
    const scans = [];
    const errors = [];
    const host = await attachHidPos(decoder, device, { onScan: (s) => scans.push(s.data), onError: (e) => errors.push(e.message) });
    device.play(reports("]d2", MARKING).slice(0, 1));
    await sleep(300);
    device.play(reports("]E0", "4600000000008"));
    assert.deepEqual(scans, ["4600000000008"]);
    assert.equal(errors.length, 1);
    await host.close();
});
