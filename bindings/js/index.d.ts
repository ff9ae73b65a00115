// Types of dorvik-c. Texts in: a string goes in as its UTF-8 bytes, a Uint8Array as the bytes it holds.
// Texts out: a string, or a Uint8Array where the library's bytes are not UTF-8 (a serial scanner's frame).

/** A text argument. */
export type Text = string | Uint8Array;
/** Milliseconds on the host's clock: a number (floored) or a bigint, from 0 to 2^64 - 1. */
export type Millis = number | bigint;

/** Asks for the library's JSON text instead of the parsed object: `json` as a string, `bytes` byte for byte. */
export interface TextOptions {
    json?: boolean;
    bytes?: boolean;
}
type Result<T, O> = O extends { bytes: true } ? Uint8Array : O extends { json: true } ? string : T;

export interface LoadOptions {
    /** Where the .wasm is, or its bytes, or the compiled module. Default: dorvik_c.wasm next to index.js. */
    wasm?: URL | string | ArrayBuffer | Uint8Array | WebAssembly.Module;
}

/** A scanner profile; absent keys take their defaults. */
export interface Profile {
    transport: "hid" | "serial" | "sim";
    deviceId: string;
    deviceName: string;
    prefix: string;
    suffix: string;
    terminator: string;
    gsSubstitute: string;
    gsMissing: boolean;
    aimId: boolean;
    burstGapMs: number;
    frameTimeoutMs: number;
    minLength: number;
    baud: number;
    dataBits: number;
    parity: "N" | "E" | "O";
    stopBits: number;
    rtsCts: boolean;
    configured: boolean;
    exclusiveCapture: boolean;
}

/** What one frame was read as. */
export interface ScanEvent {
    raw: string | Uint8Array;
    data: string | Uint8Array;
    kind: number;
    kindTitle: string;
    aimId: string;
    deviceId: string | Uint8Array;
    /** Exact up to 2^53; the JSON text holds every digit. */
    tMs: number;
    fromBoundDevice: boolean;
    marked: boolean;
    gtin: string;
    serial: string | Uint8Array;
    mrc: string;
    cryptoTail: string | Uint8Array;
    weightKg: number;
    itemCode: string;
    gsRepaired: boolean;
    gsGuess: boolean;
    suspect: boolean;
    warnings: string[];
}

/** A frame as the decoder closed it; a tuner takes it as it is. */
export interface Frame {
    frame: string | Uint8Array;
    deviceId?: string | Uint8Array | null;
    tMs: Millis;
    /** Pauses between the frame's inputs: numbers, or decimal numbers in a text. */
    gapsMs?: Millis[] | string | null;
}

export interface PollResult {
    scans: ScanEvent[];
    frames: (Frame & { deviceId: string | Uint8Array; tMs: number; gapsMs: number[] })[];
}

export interface KeyForChar {
    ok: boolean;
    scancode: number;
    shift: boolean;
    ctrl: boolean;
}

export interface Modifiers {
    shift?: boolean;
    ctrl?: boolean;
    alt?: boolean;
    capsLock?: boolean;
}

/** The tuner's whole state: step, reference code, findings, summary and the profile it derived. */
export interface TunerState {
    step: number;
    total: number;
    done: boolean;
    prompt: string;
    hint: string;
    code: {
        key: string;
        title: string;
        hint: string;
        symbology: string;
        payload: string;
        payloadVisible: string;
        expectedAim: string;
        gs1: boolean;
        optional: boolean;
        length: number;
    } | null;
    findings: Record<string, unknown>[];
    summary: string;
    profile: Profile;
    [key: string]: unknown;
}

export interface Decoder {
    /** True when applied; false when the text is not a profile (the previous profile stays). */
    setProfile(profile: Text | Partial<Profile>): boolean;
    /** The current profile; `{ json: true }` gives the exact text a host stores and later passes back. */
    profile<O extends TextOptions = {}>(options?: O): Result<Profile, O>;
    /** Only frames from this device become scans; null, undefined or "" let every device through. */
    bind(deviceId?: Text | null): void;
    /** One key stroke: its set-1 make code and the modifier and lock states at the time of the stroke. */
    feedKey(scanCode: number, modifiers: Modifiers | undefined, tMs: Millis, deviceId?: Text | null): void;
    /** One chunk of bytes from a serial scanner. */
    feedBytes(bytes: Text, deviceId: Text | null | undefined, tMs: Millis): void;
    /** Closes a frame whose last input is older than the profile's frame time-out. Call it while idle. */
    tick(tMs: Millis): void;
    /** Everything queued since the last poll; the queues are then empty. */
    poll<O extends TextOptions = {}>(options?: O): Result<PollResult, O>;
    /** Discards the frame being assembled and both queues; the profile and the binding stay. */
    reset(): void;
    /** Releases the decoder; any later call but free() throws. */
    free(): void;
}

export interface Tuner {
    state<O extends TextOptions = {}>(options?: O): Result<TunerState, O>;
    /** True when the frame was taken as the scan of the current step. */
    feed(frame: Frame): boolean;
    /** Skips the current step; a finished tuner stays as it is. */
    skip(): void;
    /** Releases the tuner; any later call but free() throws. */
    free(): void;
}

export interface DecodeFrameOptions extends TextOptions {
    /** The profile to read the frame under; absent or invalid means the defaults. */
    profile?: Text | Partial<Profile> | null;
    deviceId?: Text | null;
}

export interface BarcodeSvgOptions {
    /** A GS1 symbol: FNC1 first, GS as FNC1. */
    gs1?: boolean;
    /** Pixels per module, default 4 (below 1 becomes 4). */
    scale?: number;
    /** Quiet zone in modules, default 4 (negative becomes 0). */
    quiet?: number;
}

export interface Dorvik {
    /** The library's version, the package's too. */
    readonly version: string;
    /** The size of the module's memory in bytes. */
    readonly memoryBytes: number;
    /** The scan event of one frame text. */
    decodeFrame<O extends DecodeFrameOptions = {}>(text: Text, options?: O): Result<ScanEvent, O>;
    /** An SVG picture: kind "ean13", "code128", anything else a DataMatrix. Null when the data cannot be encoded. */
    barcodeSvg(kind: Text, data: Text, options?: BarcodeSvgOptions): string | null;
    /** The key stroke that types a character (one of U+0000-U+007F) or a byte 0-255; ok is false when none does. */
    keyForChar<O extends TextOptions = {}>(ch: string | number, options?: O): Result<KeyForChar, O>;
    createDecoder(): Decoder;
    /** A set-up wizard for a transport ("hid", "serial", "sim"; anything else is "hid") and device. */
    createTuner(transport?: Text | null, deviceId?: Text | null): Tuner;
}

export function loadDorvik(options?: LoadOptions): Promise<Dorvik>;
