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

/**
 * What a scan was read as; `kindTitle` names it for a person ("EAN-13", "DataMatrix (маркировка)", …).
 * `scan.kind === CodeKind.DataMatrix`.
 */
export declare const CodeKind: Readonly<{
    Unknown: 0;
    Ean8: 1;
    Ean13: 2;
    UpcA: 3;
    Itf14: 4;
    Code39: 5;
    Code128: 6;
    Gs1_128: 7;
    DataMatrix: 8;
    Qr: 9;
    Weight: 10;
    Loyalty: 11;
    Excise: 12;
}>;
export type CodeKind = (typeof CodeKind)[keyof typeof CodeKind];

/** The symbology barcodeSvg draws: "ean13", "code128" (case-sensitive), anything else a DataMatrix. */
export type BarcodeKind = "ean13" | "code128" | "datamatrix" | (string & {}) | Uint8Array;

/** What one frame was read as. */
export interface ScanEvent {
    raw: string | Uint8Array;
    data: string | Uint8Array;
    kind: CodeKind;
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

/** A key event's action for a link: 1 press, 0 release, 2 auto-repeat (never fed). */
export declare const KeyAction: Readonly<{ Release: 0; Press: 1; Repeat: 2 }>;
export type KeyAction = (typeof KeyAction)[keyof typeof KeyAction];

/** Modifier bits of Link.keyWith: Shift 1, Ctrl 2, Alt 4, Caps Lock 8. */
export declare const ModifierBits: Readonly<{ Shift: 1; Ctrl: 2; Alt: 4; CapsLock: 8 }>;

/** A report descriptor's or WebHID collections' answer: 1 a scanned-data report, 0 none, -1 corrupt. */
export type HidPosLayoutStatus = 1 | 0 | -1;

/** What a link did that its host should tell the user; `notices()` gives each once, oldest first. */
export interface LinkNotice {
    /** "cut": a code whose input stopped before its end, dropped. "skipped": stream bytes that began no report. */
    notice: "cut" | "skipped";
    deviceId: string | Uint8Array;
    tMs: number;
    /** How many bytes of the code (or of the stream) were dropped. */
    bytes: number;
}

export interface LinkOptions {
    /**
     * While a scanner is being set up: the decoder gets the set-up profile (frames close by time alone,
     * HID-POS codes keep their AIM identifiers) until useProfile() gives it the learned one.
     */
    setUp?: boolean;
}

/**
 * One scanner's input into one decoder (the host kit, dorvik_host): physical keys, serial chunks and
 * HID-POS reports with their times in, the decoder's poll and the link's notices out. A link borrows its
 * decoder: poll through the link, give profiles through useProfile, and free the link before the decoder.
 */
export interface Link {
    /** The decoder the link feeds. */
    readonly decoder: Decoder;
    /** Gives the decoder the profile and ends the set-up framing; false when it is not a profile. */
    useProfile(profile: Text | Partial<Profile>): boolean;
    /** A key by its set-1 scan code (0xE0.. for E0 keys); the link keeps the modifiers from modifier keys. */
    key(scanCode: number, action: KeyAction, tMs: Millis): void;
    /**
     * A key with the modifiers the platform reports with it (a browser): ModifierBits or an object. Alt's
     * release without Alt ends an Alt code; modifier keys themselves are not fed.
     */
    keyWith(scanCode: number, action: KeyAction, modifiers: number | Modifiers, tMs: Millis): void;
    /** Caps Lock as the platform knows it now. */
    setCapsLock(on: boolean): void;
    /** A serial chunk as it arrived. */
    bytes(chunk: Text | DataView | ArrayBuffer, tMs: Millis): void;
    /** The scanned-data report's layout from a raw report descriptor. */
    hidPosDescriptor(descriptor: Uint8Array | DataView | ArrayBuffer): HidPosLayoutStatus;
    /** The same from WebHID's HIDDevice.collections (or their JSON text). */
    hidPosCollections(collections: readonly unknown[] | string): HidPosLayoutStatus;
    /** The scanned-data report's id: 0 when the device numbers no reports (reads carry no id byte), -1 without a layout. */
    hidPosReportId(): number;
    /** One input report, its data without the id byte (WebHID's event.reportId and event.data); true when it was the scanned-data report. */
    hidPosReport(reportId: number, data: DataView | Uint8Array | ArrayBuffer, tMs: Millis): boolean;
    /** Reports as a hidraw node gives them, id byte first when the device numbers its reports. */
    hidPosStream(bytes: Uint8Array | DataView | ArrayBuffer, tMs: Millis): void;
    /** Ticks the decoder; an HID-POS code whose last report is overdue is dropped with a "cut" notice. */
    tick(tMs: Millis): void;
    /** The input has stopped for good (a lost port): a code cut short is dropped with a "cut" notice. */
    end(tMs: Millis): void;
    /** When to tick next (a time stamp), or -1 when nothing waits for time. */
    wakeAt(): number;
    /** The decoder's poll, with what the link kept of a poll taken before it dropped a code. */
    poll<O extends TextOptions = {}>(options?: O): Result<PollResult, O>;
    /** The notices since the last call, oldest first. */
    notices<O extends TextOptions = {}>(options?: O): Result<LinkNotice[], O>;
    /** Releases the link (not its decoder); any later call but free() throws. */
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
    /**
     * An SVG picture: kind "ean13", "code128", anything else a DataMatrix. Throws a RangeError when the data
     * cannot be drawn in that symbology (or WebAssembly memory ran out).
     */
    barcodeSvg(kind: BarcodeKind, data: Text, options?: BarcodeSvgOptions): string;
    /** The key stroke that types a character (one of U+0000-U+007F) or a byte 0-255; ok is false when none does. */
    keyForChar<O extends TextOptions = {}>(ch: string | number, options?: O): Result<KeyForChar, O>;
    createDecoder(): Decoder;
    /** A set-up wizard for a transport ("hid", "serial", "sim"; anything else is "hid") and device. */
    createTuner(transport?: Text | null, deviceId?: Text | null): Tuner;
    /** A link feeding `decoder` under `deviceId`; `{ setUp: true }` while a scanner is being set up. */
    createLink(decoder: Decoder, deviceId?: Text | null, options?: LinkOptions): Link;
    /** The set-up profile's JSON text. */
    readonly setUpProfile: string;
    /** KeyboardEvent.code → set-1 scan code of every key the host kit knows: {"KeyA":30,…,"NumpadEnter":57372}. */
    readonly keyCodes: Readonly<Record<string, number>>;
    /** A KeyboardEvent.code's set-1 scan code; 0 for a key the decoder never hears. */
    scanCodeOfKeyCode(code: string): number;
    /** A Linux input key code's set-1 scan code; 0 for a key the decoder never hears. */
    scanCodeOfLinuxKey(code: number): number;
}

export function loadDorvik(options?: LoadOptions): Promise<Dorvik>;
