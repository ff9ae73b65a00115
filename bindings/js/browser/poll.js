// What every host shares: polling its link after each input, ticking it when the link says something waits
// for time, and telling the page of what the link dropped.

// A timer fires a little late rather than early; one millisecond more makes sure the time-out has passed
// when the link is ticked (times are floored to whole milliseconds).
const SLACK_MS = 1;

export function options(value, name) {
    if (value !== undefined && (value === null || typeof value !== "object"))
        throw new TypeError(`${name} must be an object`);
    return value ?? {};
}

/** The link a host feeds: a Link of dorvik-c (dvk.createLink). */
export function checkLink(link) {
    if (!link || typeof link.keyWith !== "function" || typeof link.wakeAt !== "function")
        throw new TypeError("link must be a link of dorvik-c: dvk.createLink(decoder, deviceId)");
    return link;
}

/**
 * The link a host feeds and whether the host owns it. A bare decoder, as hosts took before links existed,
 * gets a link of its own under options.deviceId (or the host's default id), freed when the host ends.
 */
export function linkOf(target, o, defaultDeviceId) {
    const create = target?.[Symbol.for("dorvik-c.createLink")];
    if (typeof create === "function" && typeof target.keyWith !== "function")
        return { link: create.call(target, o.deviceId ?? defaultDeviceId), owned: true };
    return { link: checkLink(target), owned: false };
}

/**
 * Ticks a link at the time it asks for (link.wakeAt()), or earlier when the host has a time of its own
 * (`hostWakeAt`, a time stamp or Infinity). Idle when nothing waits: no timer runs between scans.
 */
export class Ticker {
    constructor(link, afterTick, hostWakeAt = () => Infinity) {
        this.link = link;
        this.afterTick = afterTick;
        this.hostWakeAt = hostWakeAt;
        this.timer = null;
        this.at = Infinity;
    }

    get idle() {
        return this.timer === null;
    }

    /** After an input: (re)arms the timer for the earliest time anything waits for. */
    kick() {
        const linkAt = this.link.wakeAt();
        const at = Math.min(linkAt < 0 ? Infinity : linkAt, this.hostWakeAt());
        if (at === Infinity) return this.stop();
        if (this.timer !== null && this.at <= at) return;
        this.stop();
        this.at = at;
        this.timer = setTimeout(() => this.#tick(), Math.max(0, at - performance.now()) + SLACK_MS);
    }

    #tick() {
        this.timer = null;
        this.at = Infinity;
        const now = performance.now();
        this.link.tick(now);
        this.afterTick(now);
        this.kick();
    }

    stop() {
        if (this.timer !== null) clearTimeout(this.timer);
        this.timer = null;
        this.at = Infinity;
    }
}

function shown(bytes) {
    return bytes === 1 ? "1 byte" : `${bytes} bytes`;
}

/** A link's notice as the Error a host's onError gets: readable, with the notice itself in `notice`. */
export function noticeError(notice) {
    const device = typeof notice.deviceId === "string" ? notice.deviceId : new TextDecoder().decode(notice.deviceId);
    const error = notice.notice === "cut"
        ? new Error(`dorvik-c: ${device}: a code cut short (${shown(notice.bytes)}) was dropped: its input stopped before its end`)
        : new Error(`dorvik-c: ${device}: ${shown(notice.bytes)} that began no report were skipped`);
    error.name = notice.notice === "cut" ? "CodeCutError" : "BytesSkippedError";
    error.notice = notice;
    return error;
}

/** Everything the link has for the page (or what was just polled): frames, scans, its notices as errors. */
export function deliver(link, o, polled = link.poll()) {
    if (o.onFrame) for (const frame of polled.frames) o.onFrame(frame);
    if (o.onScan) for (const scan of polled.scans) o.onScan(scan);
    for (const notice of link.notices()) o.onError?.(noticeError(notice));
    return polled;
}
