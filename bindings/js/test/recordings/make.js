// Writes the recordings the differential test replays through the native kit and the package: what hosts
// read from scanners (serial chunks with their arrival times, key events as evdev and as a browser gives
// them, HID-POS reports with the device's descriptor or WebHID collections), with ticks and ends.
// `node test/recordings/make.js --write` rewrites them (node --test loads this file too, and then writes
// nothing); they are committed, so a change here shows in review.
import { writeFileSync } from "node:fs";

import { SHAPES, collectionsOf, descriptorOf, otherReportOf, reportsOf, scanner, streamOf } from "../hid.js";

const GS = "\x1d";
const MARKING = `010460709729111121AbC1234567${GS}91EE10${GS}92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=`;
const bytes = (text) => Array.from(new TextEncoder().encode(text));
const here = new URL(".", import.meta.url);
const write = (name, recording) => process.argv.includes("--write") && writeFileSync(new URL(`${name}.json`, here), JSON.stringify({ name, ...recording }) + "\n");

// Serial: chunks cut where a UART's reads would cut them.
function chunks(text, t, cuts) {
    const all = bytes(text);
    const out = [];
    let at = 0;
    for (const [size, gap] of cuts) {
        if (at >= all.length) break;
        out.push(["bytes", all.slice(at, at + size), (t += gap)]);
        at += size;
    }
    if (at < all.length) out.push(["bytes", all.slice(at), (t += 2)]);
    return out;
}

write("serial-crlf-set-up", {
    deviceId: "serial", setUp: true,
    input: [
        ...chunks(`]d2${MARKING}\r\n`, 1000, [[16, 0], [16, 2], [16, 2], [40, 3], [1, 1]]),
        ["tick", 1600],
        ...chunks("]E04600000000008\r\n", 3000, [[17, 0], [1, 4]]),
        ["tick", 3600],
        ...chunks("]C10104607097291111\r\n", 5000, [[8, 0], [13, 1]]),
    ],
});
write("serial-lost-port", {
    deviceId: "COM3", setUp: false, profile: JSON.stringify({ terminator: "\r\n", aimId: true }),
    input: [...chunks(`]d2${MARKING}\r\n`, 100, [[30, 0], [60, 3]]), ...chunks("]E046070972911", 900, [[7, 0]]), ["end", 950]],
    finish: false,
});
write("serial-line-split-terminator", {
    deviceId: "COM3", setUp: false, profile: JSON.stringify({ terminator: "\r\n" }),
    input: [["bytes", bytes("4600000000008\r"), 10], ["bytes", bytes("\n46070972"), 12], ["bytes", bytes("91111\r\n"), 15], ["tick", 400]],
});

// Keys as a browser reports them: the scan code, the action, the modifiers with the event.
function browserKeys(text, t, gap, { terminator = "\t", gs = "ctrl" } = {}) {
    const out = [];
    const US = "1234567890-=qwertyuiop[]asdfghjkl;'`\\zxcvbnm,./";
    const CODES = [2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 30, 31, 32, 33,
        34, 35, 36, 37, 38, 40, 41, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53];
    const SHIFTED = "!@#$%^&*()_+QWERTYUIOP{}ASDFGHJKL:\"~|ZXCVBNM<>?";
    const stroke = (code, mods) => {
        out.push(["keyWith", code, 1, mods, (t += gap)]);
        out.push(["keyWith", code, 0, mods, t + 1]);
    };
    for (const c of text + terminator) {
        if (c === GS && gs === "alt") {
            out.push(["keyWith", 0x38, 1, 4, (t += gap)]);
            for (const d of "0029") stroke([0x52, 0x4f, 0x50, 0x51, 0x4b, 0x4c, 0x4d, 0x47, 0x48, 0x49][d], 4);
            out.push(["keyWith", 0x38, 0, 0, (t += 2)]);
        } else if (c === GS) stroke(0x1b, 2);
        else if (c === "\t") stroke(0x0f, 0);
        else if (c === "\r") stroke(0x1c, 0);
        else if (US.includes(c)) stroke(CODES[US.indexOf(c)], 0);
        else if (SHIFTED.includes(c)) stroke(CODES[SHIFTED.indexOf(c)], 1);
    }
    return out;
}
write("keyboard-tab-set-up", { deviceId: "keyboard", setUp: true, input: [...browserKeys(MARKING, 100, 12), ["tick", 2600],
    ...browserKeys("4600000000008", 3000, 12)] });
write("keyboard-alt-codes", { deviceId: "kbd", setUp: false, profile: JSON.stringify({ terminator: "\r" }),
    input: [...browserKeys(MARKING, 100, 5, { terminator: "\r", gs: "alt" })] });
// Keys as evdev gives them: modifier keys of their own.
const evdev = [];
{
    let t = 50;
    const press = (code) => evdev.push(["key", code, 1, (t += 6)], ["key", code, 0, (t += 2)]);
    for (const c of "0104607097291111215Qbag!") {
        if (c === "Q" || c === "!") evdev.push(["key", 0x2a, 1, (t += 1)]);
        press({ 0: 11, 1: 2, 2: 3, 4: 5, 5: 6, 6: 7, 7: 8, 9: 10, Q: 16, b: 48, a: 30, g: 34, "!": 2 }[c]);
        if (c === "Q" || c === "!") evdev.push(["key", 0x2a, 0, (t += 1)]);
    }
    evdev.push(["key", 0xe038, 1, (t += 3)]);
    for (const code of [0x52, 0x52, 0x50, 0x49]) press(code);
    evdev.push(["key", 0xe038, 0, (t += 3)]);
    for (const code of [0x2b, 0x27, 0x30, 0x27]) press(code); // 93 as "\\;b;" keys: noise in the code
    press(0xe01c);
}
write("keyboard-evdev-alt-right", { deviceId: "event3", setUp: false, input: evdev });

// HID-POS.
const standard = scanner(SHAPES.standard);
const report = (r, t) => ["hidPosReport", r.id, Array.from(r.data), t];
write("hid-pos-two-reports", {
    deviceId: "pos", setUp: false, profile: JSON.stringify({ aimId: true }), descriptor: Array.from(descriptorOf(standard)),
    input: [...reportsOf(standard, "]d2", new TextEncoder().encode(MARKING)).map((r, i) => report(r, 100 + i * 8)),
        report(otherReportOf(standard), 130), ...reportsOf(standard, "]E0", new TextEncoder().encode("4600000000008"), { aimBytes: 2 }).map((r) => report(r, 300))],
});
write("hid-pos-last-report-never-comes", {
    deviceId: "pos", setUp: false, descriptor: Array.from(descriptorOf(standard)),
    input: [report(reportsOf(standard, "]d2", new TextEncoder().encode(MARKING))[0], 100), ["tick", 200], ["tick", 260],
        ...reportsOf(standard, "]E0", new TextEncoder().encode("4600000000008")).map((r) => report(r, 400))],
});
const vendor = scanner(SHAPES.vendorOrder);
write("hid-pos-vendor-collections", {
    deviceId: "pos", setUp: true, collections: collectionsOf(vendor),
    input: reportsOf(vendor, "]d2", new TextEncoder().encode(MARKING)).map((r, i) => report(r, 100 + i * 4)),
});
const ranged = scanner(SHAPES.aimRange);
write("hid-pos-aim-range-collections", {
    deviceId: "pos", setUp: false, profile: JSON.stringify({ aimId: true, terminator: "\t" }), collections: collectionsOf(ranged),
    input: reportsOf(ranged, "]C1", new TextEncoder().encode("0104607097291111")).map((r) => report(r, 50)),
});
const unnumbered = scanner(SHAPES.unnumbered);
write("hidraw-stream-unnumbered", {
    deviceId: "hidraw0", setUp: false, profile: JSON.stringify({ aimId: true }), descriptor: Array.from(descriptorOf(unnumbered)),
    input: (() => {
        const stream = Array.from(streamOf(unnumbered, reportsOf(unnumbered, "]d2", new TextEncoder().encode(MARKING))));
        return [["hidPosStream", stream.slice(0, 20), 10], ["hidPosStream", stream.slice(20, 70), 12], ["hidPosStream", stream.slice(70), 14]];
    })(),
});
const noCount = scanner(SHAPES.noCount);
write("hidraw-stream-junk", {
    deviceId: "hidraw1", setUp: false, descriptor: Array.from(descriptorOf(noCount)),
    input: [["hidPosStream", [9, 9, ...streamOf(noCount, reportsOf(noCount, "]E0", new TextEncoder().encode("4600000000008")))], 10],
        ["hidPosStream", [3, 1, 2], 20], ["end", 30]],
    finish: false,
});
