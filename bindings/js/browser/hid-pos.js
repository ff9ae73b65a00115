// The HID-POS host: WebHID input reports into a link, which reads them by the device's own descriptor.
import { Ticker, checkLink, deliver, options } from "./poll.js";

/**
 * The HID-POS host. The device's collections (its report descriptor as WebHID gives it) tell the link where
 * the scanned-data report keeps the code, its length, its AIM identifier and the "more follow" flag; every
 * input report goes to the link with its id and time. A code whose last report never comes is dropped when
 * its time-out passes, and onError says so.
 */
export async function attachHidPos(link, device, opts) {
    checkLink(link);
    const o = options(opts, "options");
    const status = link.hidPosCollections(Array.from(device.collections ?? []));
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
            await device.close?.();
        },
    };
}
