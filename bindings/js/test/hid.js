// HID-POS scanners for the tests: report descriptors of the scanned-data report in the makers' shapes (the
// usage tables' own, ranges for the AIM bytes, vendor orders, no byte count, unnumbered reports), the same
// device as WebHID's HIDDevice.collections, and the reports such a scanner sends for a code.

const PAGE = 0x8c;
const DECODED_DATA = (PAGE << 16) | 0xfe;
const CONTINUED = (PAGE << 16) | 0xff;
const SYMBOLOGY = [(PAGE << 16) | 0xfb, (PAGE << 16) | 0xfc, (PAGE << 16) | 0xfd];
const BYTE_COUNT = (0x01 << 16) | 0x3b;
const VENDOR = 0xff000001;

// A field: what it holds and how it is declared. `usages` (single) or `range` [min, max]; bits each, count.
const FIELDS = {
    count: () => ({ role: "count", size: 8, count: 1, usages: [BYTE_COUNT] }),
    aim: (range) => (range ? { role: "aim", size: 8, count: 3, range: [SYMBOLOGY[0], SYMBOLOGY[2]] }
        : { role: "aim", size: 8, count: 3, usages: SYMBOLOGY }),
    data: (bytes) => ({ role: "data", size: 8, count: bytes, usages: [DECODED_DATA], buffered: true }),
    more: () => ({ role: "more", size: 1, count: 1, usages: [CONTINUED] }),
    pad: (bits) => ({ role: "pad", size: bits, count: 1, constant: true, usages: [] }),
    vendor: () => ({ role: "vendor", size: 8, count: 2, usages: [VENDOR, VENDOR + 1] }),
};

/**
 * A scanner's scanned-data report. `order` lists its fields; the data field holds `dataBytes`; `range`
 * declares the AIM bytes by Usage Minimum/Maximum; `reportId` 0 numbers no reports. `otherReport` adds an
 * input report of another id (a foreign report, 8 bytes).
 */
export function scanner({ reportId = 2, order = ["count", "aim", "data", "more", "pad7"], dataBytes = 56, range = false, otherReport = 4 } = {}) {
    const fields = order.map((name) => {
        if (name === "data") return FIELDS.data(dataBytes);
        if (name === "aim") return FIELDS.aim(range);
        if (name.startsWith("pad")) return FIELDS.pad(Number(name.slice(3)));
        return FIELDS[name]();
    });
    let bit = 0;
    for (const f of fields) {
        f.bitOffset = bit;
        bit += f.size * f.count;
    }
    if (bit % 8 !== 0) throw new Error("the report must end on a byte");
    return { reportId, fields, bytes: bit / 8, otherReport: reportId === 0 ? null : otherReport };
}

function item(out, prefix, value) {
    // Four bytes of data, as WebHID's items keep them: usages carry their page.
    out.push(prefix | 3, value & 0xff, (value >>> 8) & 0xff, (value >>> 16) & 0xff, (value >>> 24) & 0xff);
}

function shortItem(out, prefix, value) {
    if (value < 0x100) out.push(prefix | 1, value);
    else out.push(prefix | 2, value & 0xff, value >> 8);
}

/** The raw report descriptor: an application collection of page 0x8C holding the reports. */
export function descriptorOf(device) {
    const out = [0x05, PAGE, 0x09, 0x02, 0xa1, 0x01]; // Usage Page (0x8C), Usage (Bar Code Scanner), Collection (Application)
    const report = (id, fields) => {
        if (id !== 0) out.push(0x85, id);
        for (const f of fields) {
            out.push(0x15, 0x00); // Logical Minimum 0
            shortItem(out, 0x24, f.size >= 8 ? 0xff : (1 << f.size) - 1); // Logical Maximum
            shortItem(out, 0x74, f.size); // Report Size
            shortItem(out, 0x94, f.count); // Report Count
            if (f.range) {
                item(out, 0x18, f.range[0]);
                item(out, 0x28, f.range[1]);
            } else {
                for (const u of f.usages) item(out, 0x08, u);
            }
            shortItem(out, 0x80, (f.constant ? 1 : 0) | 2 | (f.buffered ? 0x100 : 0)); // Input (Data|Const, Var, Buffered)
        }
    };
    report(device.reportId, device.fields);
    if (device.otherReport !== null) report(device.otherReport, [{ size: 8, count: 8, usages: [VENDOR] }]);
    out.push(0xc0);
    return Uint8Array.from(out);
}

function webHidItem(f) {
    return {
        isAbsolute: true, isArray: false, isBufferedBytes: !!f.buffered, isConstant: !!f.constant, isLinear: true,
        isRange: !!f.range, isVolatile: false, hasNull: false, hasPreferredState: true, wrap: false,
        usages: f.range ? [] : f.usages.slice(), usageMinimum: f.range ? f.range[0] : 0, usageMaximum: f.range ? f.range[1] : 0,
        reportSize: f.size, reportCount: f.count, unitExponent: 0, unitSystem: "none", unitFactorLengthExponent: 0,
        unitFactorMassExponent: 0, unitFactorTimeExponent: 0, unitFactorTemperatureExponent: 0,
        unitFactorCurrentExponent: 0, unitFactorLuminousIntensityExponent: 0, logicalMinimum: 0,
        logicalMaximum: f.size >= 8 ? 255 : (1 << f.size) - 1, physicalMinimum: 0, physicalMaximum: 0, strings: [],
    };
}

/** The same device as HIDDevice.collections: parsed items, as a page gets them. */
export function collectionsOf(device) {
    const inputReports = [{ reportId: device.reportId, items: device.fields.map(webHidItem) }];
    if (device.otherReport !== null) inputReports.push({ reportId: device.otherReport, items: [webHidItem({ size: 8, count: 8, usages: [VENDOR] })] });
    return [{ usagePage: PAGE, usage: 2, type: 1, children: [], inputReports, outputReports: [], featureReports: [] }];
}

function putBits(report, bitOffset, bits, value) {
    for (let i = 0; i < bits; ++i) if ((value >> i) & 1) report[(bitOffset + i) >> 3] |= 1 << ((bitOffset + i) & 7);
}

/**
 * The reports of one code: `data` in pieces of the data field, the AIM identifier (its three bytes, or two
 * without the flag) in each, the count, and "more follow" on all but the last. Each { id, data } without
 * the id byte.
 */
export function reportsOf(device, aim, data, { aimBytes = 3 } = {}) {
    const field = (role) => device.fields.find((f) => f.role === role);
    const room = field("data").count;
    const out = [];
    for (let at = 0; at < data.length || out.length === 0; at += room) {
        const piece = data.subarray(at, at + room);
        const report = new Uint8Array(device.bytes);
        report.set(piece, field("data").bitOffset / 8);
        if (field("count")) putBits(report, field("count").bitOffset, 8, piece.length);
        const aimField = field("aim");
        if (aimField) {
            const chars = aimBytes === 2 ? aim.slice(1) : aim;
            for (let i = 0; i < chars.length && i < 3; ++i) putBits(report, aimField.bitOffset + 8 * i, 8, chars.charCodeAt(i));
        }
        if (field("more") && at + room < data.length) putBits(report, field("more").bitOffset, 1, 1);
        out.push({ id: device.reportId, data: report });
    }
    return out;
}

/** A foreign report (the device's other input report). */
export function otherReportOf(device) {
    return { id: device.otherReport, data: Uint8Array.from([1, 2, 3, 4, 5, 6, 7, 8]) };
}

/** Reports as a hidraw node gives them: the id byte first when the device numbers its reports. */
export function streamOf(device, reports) {
    const parts = reports.map(({ id, data }) => (device.reportId === 0 ? data : Uint8Array.from([id, ...data])));
    const out = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const p of parts) {
        out.set(p, at);
        at += p.length;
    }
    return out;
}

/** The makers' shapes the tests use. */
export const SHAPES = {
    standard: {},
    aimRange: { range: true },
    vendorOrder: { order: ["more", "pad7", "vendor", "data", "aim", "count"], dataBytes: 40, reportId: 7 },
    noCount: { order: ["aim", "data", "more", "pad7"], dataBytes: 24, reportId: 3 },
    unnumbered: { reportId: 0, dataBytes: 30 },
    noAim: { order: ["count", "data", "pad7", "more"], dataBytes: 62, reportId: 2 },
};
