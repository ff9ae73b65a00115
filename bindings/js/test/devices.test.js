// The serial and HID-POS hosts under Node, with stand-ins for a Web Serial port and a WebHID device that
// deliver recorded chunks and reports, each host feeding a link of the host kit.
import assert from "node:assert/strict";
import { test } from "node:test";

import { attachHidPos, attachSerial } from "../browser.js";
import { loadDorvik } from "../index.js";
import { SHAPES, collectionsOf, otherReportOf, reportsOf, scanner } from "./hid.js";

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

test("serial: opened with the profile's line settings, chunks fed as they come, errors and cut codes reported", async () => {
    const split = (text, ...at) => at.concat(text.length).map((end, i) => bytes(text.slice(at[i - 1] ?? 0, end)));
    const rows = [
        // [name, recording, scans' data, errors]
        ["a code in uneven chunks, then one closed only by time-out",
            [...split(`]d2${MARKING}\r4600000000008\r`, 7, 23, 24, 60), bytes("4607097291111")],
            [MARKING, "4600000000008", "4607097291111"], []],
        ["a parity error in the middle", [bytes(MARKING.slice(0, 30)), lineError("ParityError"), bytes(MARKING.slice(30) + "\r")],
            [MARKING], ["ParityError"]],
        ["the port is lost", [bytes("4600000000008\r"), lineError("NetworkError")], ["4600000000008"], ["NetworkError"]],
        ["the port is lost in the middle of a code: no shorter code comes of it, and onError says so",
            [bytes("4600000000008\r46070972911"), lineError("NetworkError")], ["4600000000008"],
            ["CodeCutError: dorvik-c: COM3: a code cut short (11 bytes) was dropped: its input stopped before its end", "NetworkError"]],
        ["a CR LF terminator split over two chunks", [bytes("4600000000008\r"), bytes("\n4607097291111\r\n")],
            ["4600000000008", "4607097291111"], [], "\r\n"],
    ];
    for (const [name, recording, expected, errors, terminator = "\r"] of rows) {
        const decoder = dvk.createDecoder();
        const link = dvk.createLink(decoder, "COM3");
        const port = new RecordedPort(recording);
        const scans = [];
        const seen = [];
        const profile = { baud: 115200, dataBits: 7, parity: "E", stopBits: 2, rtsCts: true, terminator };
        const host = await attachSerial(link, port, { profile, onScan: (s) => scans.push(s),
            onError: (e) => seen.push(e.name === "CodeCutError" ? `${e.name}: ${e.message}` : e.name) });
        assert.deepEqual(port.options, { baudRate: 115200, dataBits: 7, stopBits: 2, parity: "even", flowControl: "hardware" }, name);
        await sleep(recording.length * 5 + 300);
        assert.deepEqual(scans.map((s) => s.data), expected, name);
        assert.ok(scans.every((s) => s.deviceId === "COM3"), name);
        assert.deepEqual(seen, errors, name);
        link.tick(performance.now() + 1e6);
        assert.deepEqual(link.poll().frames, [], `${name}: nothing left to join the next code`);
        await host.close();
        assert.ok(port.closed, name);
        link.free();
        decoder.free();
    }
    // A bare decoder, as the hosts took before links, is linked by the host under options.deviceId.
    const decoder = dvk.createDecoder();
    const scans = [];
    const host = await attachSerial(decoder, new RecordedPort([bytes("4600000000008\r")]),
        { deviceId: "COM4", onScan: (s) => scans.push(s) });
    await sleep(50);
    assert.deepEqual(scans.map((s) => [s.data, s.deviceId]), [["4600000000008", "COM4"]]);
    await host.close();
    decoder.free();
    await assert.rejects(attachSerial({}, new RecordedPort([])), /link must be a link of dorvik-c/);
});

class RecordedHid extends EventTarget {
    constructor(collections) {
        super();
        this.collections = collections;
        this.opened = false;
    }
    async open() {
        this.opened = true;
    }
    async close() {
        this.opened = false;
    }
    play(recording) {
        for (const { id, data } of recording) {
            const event = new Event("inputreport");
            // WebHID: the report's id apart, its data as a DataView (here over a larger buffer, at an offset).
            const buffer = new Uint8Array(data.length + 5);
            buffer.set(data, 3);
            Object.assign(event, { reportId: id, data: new DataView(buffer.buffer, 3, data.length) });
            this.dispatchEvent(event);
        }
    }
}

const encode = (text) => new TextEncoder().encode(text);

test("HID-POS: the layout from the device's collections, AIM as the profile says, GS as it came", async () => {
    const standard = scanner(SHAPES.standard);
    const rows = [
        // [name, scanner, profile, reports, [raw, data, aimId] of each scan]
        ["a marking code over two reports", standard, {}, reportsOf(standard, "]d2", encode(MARKING)), [[`${MARKING}\r`, MARKING, ""]]],
        ["the same with AIM identifiers on", standard, { aimId: true }, reportsOf(standard, "]d2", encode(MARKING)),
            [[`]d2${MARKING}\r`, MARKING, "]d2"]]],
        ["a Tab terminator and an identifier without its flag", standard, { aimId: true, terminator: "\t" },
            reportsOf(standard, "]E0", encode("4600000000008"), { aimBytes: 2 }), [["]E04600000000008\t", "4600000000008", "]E0"]]],
        ["two codes, and a report of another id between them", standard, {},
            [...reportsOf(standard, "]E0", encode("4600000000008")), otherReportOf(standard), ...reportsOf(standard, "]C1", encode("0104607097291111"))],
            [["4600000000008\r", "4600000000008", ""], ["0104607097291111\r", "0104607097291111", ""]]],
        ["the AIM bytes declared by Usage Minimum/Maximum", scanner(SHAPES.aimRange), { aimId: true },
            reportsOf(scanner(SHAPES.aimRange), "]d2", encode(MARKING)), [[`]d2${MARKING}\r`, MARKING, "]d2"]]],
        ["a vendor's layout: flag, vendor bytes, 40 data bytes, AIM, count last, report id 7", scanner(SHAPES.vendorOrder),
            { aimId: true }, reportsOf(scanner(SHAPES.vendorOrder), "]d2", encode(MARKING)), [[`]d2${MARKING}\r`, MARKING, "]d2"]]],
        ["no byte count: the data ends at its zero padding", scanner(SHAPES.noCount), {},
            reportsOf(scanner(SHAPES.noCount), "]E0", encode("4600000000008")), [["4600000000008\r", "4600000000008", ""]]],
    ];
    for (const [name, device, profile, recording, expected] of rows) {
        const decoder = dvk.createDecoder();
        const link = dvk.createLink(decoder, "pos");
        link.useProfile(profile);
        const hid = new RecordedHid(collectionsOf(device));
        const scans = [];
        const frames = [];
        const errors = [];
        const host = await attachHidPos(link, hid, { onScan: (s) => scans.push(s), onFrame: (f) => frames.push(f), onError: (e) => errors.push(e) });
        assert.ok(hid.opened, name);
        hid.play(recording);
        assert.deepEqual(scans.map((s) => [s.raw, s.data, s.aimId]), expected, name);
        assert.ok(frames.every((f) => f.deviceId === "pos" && f.gapsMs.length === 0), name);
        assert.deepEqual(errors, [], name);
        await host.close();
        link.free();
        decoder.free();
    }
    // A keyboard-mode scanner (no page 0x8C) and a device whose descriptor has no scanned-data report.
    const keyboard = [{ usagePage: 1, usage: 6, type: 1, children: [], inputReports: [{ reportId: 1, items: [
        { reportSize: 8, reportCount: 8, usages: [0x70004], isRange: false, isArray: false, isBufferedBytes: false, isConstant: false }] }] }];
    await assert.rejects(attachHidPos(dvk.createLink(dvk.createDecoder(), "x"), new RecordedHid(keyboard)), /no HID-POS scanned-data report/);
    await assert.rejects(attachHidPos(dvk.createLink(dvk.createDecoder(), "x"), new RecordedHid([])), /no HID-POS scanned-data report/);
});

test("HID-POS: a code whose last report never comes is dropped, not read short, and onError says so", async () => {
    const standard = scanner(SHAPES.standard);
    const decoder = dvk.createDecoder();
    const link = dvk.createLink(decoder, "pos");
    const device = new RecordedHid(collectionsOf(standard));
    const scans = [];
    const errors = [];
    const host = await attachHidPos(link, device, { onScan: (s) => scans.push(s.data), onError: (e) => errors.push(e) });
    device.play(reportsOf(standard, "]d2", encode(MARKING)).slice(0, 1));
    await sleep(300); // the default profile's time-out is 140 ms: the link's timer has fired
    device.play(reportsOf(standard, "]E0", encode("4600000000008")));
    assert.deepEqual(scans, ["4600000000008"]);
    assert.equal(errors.length, 1);
    assert.equal(errors[0].name, "CodeCutError");
    assert.equal(errors[0].message, "dorvik-c: pos: a code cut short (56 bytes) was dropped: its input stopped before its end");
    assert.deepEqual({ ...errors[0].notice, tMs: 0 }, { notice: "cut", deviceId: "pos", tMs: 0, bytes: 56 });
    await host.close();
    link.free();
    decoder.free();
});

test("HID-POS: collections whose fields are getters (not own properties) are read the same", async () => {
    // Objects as an IDL interface would give them: every field an accessor on the prototype.
    const withGetters = (value) => {
        if (Array.isArray(value)) return value.map(withGetters);
        if (value === null || typeof value !== "object") return value;
        const proto = {};
        for (const [key, field] of Object.entries(value)) Object.defineProperty(proto, key, { get: () => withGetters(field), enumerable: false });
        return Object.create(proto);
    };
    const device = scanner(SHAPES.vendorOrder);
    const collections = withGetters(collectionsOf(device));
    assert.equal(JSON.stringify(collections), "[{}]", "JSON alone would lose them");
    const decoder = dvk.createDecoder();
    const link = dvk.createLink(decoder, "pos");
    const hid = new RecordedHid(collections);
    const scans = [];
    const host = await attachHidPos(link, hid, { onScan: (s) => scans.push(s.data) });
    hid.play(reportsOf(device, "]d2", encode(MARKING)));
    assert.deepEqual(scans, [MARKING]);
    await host.close();
    link.free();
    decoder.free();
});
