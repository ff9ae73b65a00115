// The serial host: Web Serial chunks as they arrive, into a link.
import { Ticker, deliver, linkOf, options } from "./poll.js";

const PARITY = { N: "none", E: "even", O: "odd" };

/** The Web Serial open options of a profile's line settings. */
export function serialOptions(profile) {
    return {
        baudRate: profile.baud,
        dataBits: profile.dataBits,
        stopBits: profile.stopBits,
        parity: PARITY[profile.parity] ?? "none",
        flowControl: profile.rtsCts ? "hardware" : "none",
    };
}

/**
 * The serial host: opens the port with the profile's line settings (the link's decoder's profile, or
 * options.profile, which the link then applies) and feeds every chunk as it arrives. A lost port ends the
 * host and the link's input (a code it cut short is dropped, and onError says so) and calls onError;
 * parity, framing and overrun errors are reported and reading goes on.
 */
export async function attachSerial(target, port, opts) {
    const o = options(opts, "options");
    const { link, owned } = linkOf(target, o, "serial");
    if (o.profile !== undefined && !link.useProfile(o.profile)) throw new TypeError("options.profile is not a profile");
    await port.open(serialOptions(link.decoder.profile()));
    let reader = null;
    let stopped = false;
    const ticker = new Ticker(link, () => deliver(link, o));

    async function read() {
        let lastError = null;
        while (!stopped && port.readable) {
            reader = port.readable.getReader();
            try {
                for (;;) {
                    const { value, done } = await reader.read();
                    if (done) return;
                    if (!value || value.length === 0) continue;
                    link.bytes(value, performance.now());
                    deliver(link, o);
                    ticker.kick();
                }
            } catch (error) {
                // A line error (parity, framing, overrun) leaves a fresh readable behind; a lost port none.
                lastError = error;
                if (!stopped && port.readable) o.onError?.(error);
            } finally {
                reader.releaseLock();
                reader = null;
            }
        }
        if (!stopped) {
            stopped = true;
            ticker.stop();
            // Nothing more comes: a code cut short is dropped (a "cut" notice), not closed as a shorter one.
            link.end(performance.now());
            deliver(link, o);
            o.onError?.(lastError ?? new Error("dorvik-c: the serial port was lost"));
        }
    }

    const closed = read();
    return {
        closed,
        async close() {
            stopped = true;
            await reader?.cancel().catch(() => {});
            await closed;
            ticker.stop();
            if (owned) link.free();
            await port.close().catch(() => {});
        },
    };
}
