// Types of dorvik-c/browser: the scanner hosts of a page. Each reads its device into a link of the host kit
// (dvk.createLink) and polls it; onScan and onFrame get what the poll gives, onError the link's notices.
import type { Decoder, Frame, Link, LinkNotice, Profile, ScanEvent, Text } from "./index.js";

/**
 * KeyboardEvent.code → set-1 make code as the decoder hears it, for every key the decoder's key table knows,
 * Enter and NumpadEnter, Tab, Backspace, the keypad and Alt: the host kit's table (dvk.keyCodes) without
 * Shift, Ctrl and Caps Lock, E0 prefixes dropped. Filled when the first module is loaded (loadDorvik).
 */
export declare const SET1: Readonly<Record<string, number>>;

/** An Error for a link's notice: name "CodeCutError" (a code cut short, dropped) or "BytesSkippedError". */
export interface NoticeError extends Error {
    name: "CodeCutError" | "BytesSkippedError";
    notice: LinkNotice;
}

/** The Error a host's onError gets for a link's notice, naming the device and how many bytes were dropped. */
export function noticeError(notice: LinkNotice): NoticeError;

export interface HostOptions {
    onScan?: (scan: ScanEvent) => void;
    onFrame?: (frame: Frame & { deviceId: string | Uint8Array; tMs: number; gapsMs: number[] }) => void;
    /** A code the link dropped (NoticeError), and for serial a line error or the lost port. */
    onError?: (error: Error) => void;
    /**
     * Given a bare decoder instead of a link, the host makes a link of its own under this device id (default
     * "keyboard", "serial", "hid-pos") and frees it when it ends.
     */
    deviceId?: string;
}

/** What a host feeds: a link, or a decoder that the host then links itself. */
export type LinkOrDecoder = Link | Decoder;

export interface KeyboardOptions extends HostOptions {
    /**
     * "auto" (default): keys that may begin a scan are held back until the decoder decides, and a person's
     * are given back. "all": every mapped key goes to the decoder only, for a page that only scans.
     */
    capture?: "auto" | "all";
}

export interface KeyboardHost {
    /** Stops listening; keys still held back are given back. */
    detach(): void;
}

/** Listens on target (default: window) in the capture phase and feeds the link with each key's modifiers. */
export function attachKeyboard(link: LinkOrDecoder, target?: EventTarget | null, options?: KeyboardOptions): KeyboardHost;

/** The subset of Web Serial's SerialPort the host uses. */
export interface SerialPortLike {
    open(options: SerialOpenOptions): Promise<void>;
    close(): Promise<void>;
    readonly readable: ReadableStream<Uint8Array> | null;
}

export interface SerialOpenOptions {
    baudRate: number;
    dataBits: number;
    stopBits: number;
    parity: "none" | "even" | "odd";
    flowControl: "none" | "hardware";
}

export interface SerialOptions extends HostOptions {
    /** Line settings and decoding; given to the link (useProfile). Default: the link's decoder's profile. */
    profile?: Text | Partial<Profile>;
}

export interface SerialHost {
    /** Settles when reading has ended: closed, or the port lost. */
    readonly closed: Promise<void>;
    close(): Promise<void>;
}

export function serialOptions(profile: Profile): SerialOpenOptions;
export function attachSerial(link: LinkOrDecoder, port: SerialPortLike, options?: SerialOptions): Promise<SerialHost>;

/** The subset of WebHID's HIDDevice the host uses. */
export interface HidDeviceLike extends EventTarget {
    readonly opened: boolean;
    /** HIDDevice.collections: the report descriptor as WebHID parses it. */
    readonly collections?: readonly object[];
    open(): Promise<void>;
    close?(): Promise<void>;
}

export type HidPosOptions = HostOptions;

export interface HidPosHost {
    close(): Promise<void>;
}

/** Rejects with a TypeError when the device's collections describe no scanned-data report. */
export function attachHidPos(link: LinkOrDecoder, device: HidDeviceLike, options?: HidPosOptions): Promise<HidPosHost>;
