// The HID-POS host: WebHID input reports into a link, which reads them by the device's own descriptor.
import { Ticker, deliver, linkOf, options } from "./poll.js";

const ITEM_FIELDS = ["reportSize", "reportCount", "isRange", "usageMinimum", "usageMaximum", "isConstant", "isArray",
    "isBufferedBytes"];

// HIDDevice.collections as plain data for JSON: what the kit reads of each collection, report and item,
// taken through property reads, so that it does not matter whether a browser gives dictionaries (own
// properties) or objects whose fields are getters (which JSON.stringify would leave out).
function plainCollections(collections) {
    const list = (value) => Array.from(value ?? []);
    const item = (i) => {
        const out = { usages: list(i.usages) };
        for (const field of ITEM_FIELDS) out[field] = i[field];
        return out;
    };
    const collection = (c) => ({
        usagePage: c.usagePage,
        usage: c.usage,
        inputReports: list(c.inputReports).map((r) => ({ reportId: r.reportId, items: list(r.items).map(item) })),
        children: list(c.children).map(collection),
    });
    return list(collections).map(collection);
}

/**
 * The HID-POS host. The device's collections (its report descriptor as WebHID gives it) tell the link where
 * the scanned-data report keeps the code, its length, its AIM identifier and the "more follow" flag; every
 * input report goes to the link with its id and time. A code whose last report never comes is dropped when
 * its time-out passes, and onError says so.
 */
export async function attachHidPos(target, device, opts) {
    const o = options(opts, "options");
    const { link, owned } = linkOf(target, o, "hid-pos");
    const status = link.hidPosCollections(plainCollections(device.collections));
    if (status === 0)
        throw new TypeError("device has no HID-POS scanned-data report (usage page 0x8C, Decoded Data 0xFE): not a HID-POS scanner, or one in keyboard mode");
    if (status !== 1) throw new TypeError("device's report descriptor (HIDDevice.collections) cannot be read");
    if (!device.opened) await device.open();
    const ticker = new Ticker(link, () => deliver(link, o));

    function onReport(event) {
        if (!link.hidPosReport(event.reportId, event.data, performance.now())) return;
        deliver(link, o);
        ticker.kick();
    }

    device.addEventListener("inputreport", onReport);
    return {
        async close() {
            device.removeEventListener("inputreport", onReport);
            ticker.stop();
            if (owned) link.free();
            await device.close?.();
        },
    };
}
