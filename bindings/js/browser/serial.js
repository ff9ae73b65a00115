// The serial host: Web Serial chunks as they arrive.
import { Ticker, deliver, options } from "./poll.js";

function endsWith(bytes, tail) {
    if (typeof tail === "string") tail = new TextEncoder().encode(tail);
    if (tail.length > bytes.length) return false;
    return tail.every((b, i) => bytes[bytes.length - tail.length + i] === b);
}

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
 * The serial host: opens the port with the profile's line settings (the decoder's profile, or options.profile,
 * which is then given to the decoder) and feeds every chunk as it arrives. A lost port ends the host and
 * calls onError; parity, framing and overrun errors are reported and reading goes on.
 */
export async function attachSerial(decoder, port, opts) {
    if (!decoder || typeof decoder.feedBytes !== "function") throw new TypeError("decoder must be a decoder of dorvik-c");
    const o = options(opts, "options");
    const deviceId = o.deviceId ?? "serial";
    if (o.profile !== undefined && !decoder.setProfile(o.profile)) throw new TypeError("options.profile is not a profile");
    const profile = decoder.profile();
    await port.open(serialOptions(profile));
    let reader = null;
    let stopped = false;
    // Bytes fed since the last code closed: a code the loss of the port cut short.
    let unfinished = false;
    const ticker = new Ticker(decoder, () => {
        const polled = decoder.poll();
        if (polled.frames.length > 0) unfinished = false;
        deliver(polled, o.onScan, o.onFrame);
    });

    async function read() {
        let lastError = null;
        while (!stopped && port.readable) {
            reader = port.readable.getReader();
            try {
                for (;;) {
                    const { value, done } = await reader.read();
                    if (done) return;
                    if (!value || value.length === 0) continue;
                    const t = performance.now();
                    const { terminator, frameTimeoutMs } = decoder.profile();
                    decoder.feedBytes(value, deviceId, t);
                    unfinished = !endsWith(value, terminator || "\r");
                    deliver(decoder.poll(), o.onScan, o.onFrame);
                    ticker.kick(t, frameTimeoutMs);
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
            // A cut code must not close by its time-out and pass for a shorter one.
            if (unfinished) {
                ticker.stop();
                decoder.reset();
            }
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
            await port.close().catch(() => {});
        },
    };
}

