// The HID-POS host: WebHID scanned-data reports, one chunk each.
import { Ticker, deliver, options } from "./poll.js";

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
