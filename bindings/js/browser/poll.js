// What every host shares: polling the decoder after each input and ticking it while a frame may be open.

// Ticks while a frame may be open: often enough that a code without a terminator closes within a few ms of
// its time-out, rare enough to cost nothing.
const TICK_MS = 20;

export function options(value, name) {
    if (value !== undefined && (value === null || typeof value !== "object"))
        throw new TypeError(`${name} must be an object`);
    return value ?? {};
}

// Ticks the decoder until the time-out of its newest input has surely passed.
export class Ticker {
    constructor(decoder, afterTick, beforeTick = () => {}) {
        this.decoder = decoder;
        this.afterTick = afterTick;
        this.beforeTick = beforeTick;
        this.timer = null;
        this.until = 0;
    }

    kick(tMs, frameTimeoutMs) {
        this.until = Math.max(this.until, tMs + Math.max(0, frameTimeoutMs) + 2 * TICK_MS);
        if (this.timer === null) this.timer = setInterval(() => this.#tick(), TICK_MS);
    }

    #tick() {
        const now = performance.now();
        this.beforeTick(now);
        this.decoder.tick(now);
        this.afterTick(now);
        if (now > this.until) this.stop();
    }

    stop() {
        if (this.timer !== null) clearInterval(this.timer);
        this.timer = null;
    }
}

export function deliver(polled, onScan, onFrame) {
    if (onFrame) for (const frame of polled.frames) onFrame(frame);
    if (onScan) for (const scan of polled.scans) onScan(scan);
}

