// Types of dorvik-c/browser: the scanner hosts of a page. Each feeds a decoder and polls it; onScan and
// onFrame get what the poll gives.
import type { Decoder, Frame, Profile, ScanEvent, Text } from "./index.js";

/** KeyboardEvent.code → set-1 make code, for every key the decoder's key table knows, Enter, Tab, Backspace and Alt. */
export declare const SET1: Readonly<Record<string, number>>;

export interface HostOptions {
    /** The device id of every input; defaults: "keyboard", "serial", "hid-pos". */
    deviceId?: string;
    onScan?: (scan: ScanEvent) => void;
    onFrame?: (frame: Frame & { deviceId: string | Uint8Array; tMs: number; gapsMs: number[] }) => void;
}

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

/** Listens on target (default: window) in the capture phase. */
export function attachKeyboard(decoder: Decoder, target?: EventTarget | null, options?: KeyboardOptions): KeyboardHost;

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
    /** Line settings and decoding; given to the decoder. Default: the decoder's profile. */
    profile?: Text | Partial<Profile>;
    /** A line error (reading goes on) or the lost port (the host has ended). */
    onError?: (error: Error) => void;
}

export interface SerialHost {
    /** Settles when reading has ended: closed, or the port lost. */
    readonly closed: Promise<void>;
    close(): Promise<void>;
}

export function serialOptions(profile: Profile): SerialOpenOptions;
export function attachSerial(decoder: Decoder, port: SerialPortLike, options?: SerialOptions): Promise<SerialHost>;

/** Where a scanned-data report keeps its parts, counted in bytes after the report id. */
export interface HidPosLayout {
    reportId: number;
    lengthAt: number;
    aimAt: number;
    dataAt: number;
    dataBytes: number;
    /** The byte of the "more reports follow" flag; negative counts from the report's end. */
    moreAt: number;
    moreMask: number;
}

/** The layout of the USB HID POS usage tables: id 2, length, AIM identifier, 56 data bytes, flag last. */
export declare const HID_POS_STANDARD: Readonly<HidPosLayout>;

export interface HidPosReport {
    length: number;
    aim: string;
    data: Uint8Array;
    more: boolean;
}

export function readHidPosReport(reportId: number, data: DataView, layout?: HidPosLayout): HidPosReport | null;

/** The subset of WebHID's HIDDevice the host uses. */
export interface HidDeviceLike extends EventTarget {
    readonly opened: boolean;
    readonly collections?: readonly { usagePage?: number }[];
    open(): Promise<void>;
    close?(): Promise<void>;
}

export interface HidPosOptions extends HostOptions {
    layout?: Partial<HidPosLayout>;
    /** A code whose reports stopped before its last one: it was dropped. */
    onError?: (error: Error) => void;
}

export interface HidPosHost {
    close(): Promise<void>;
}

export function attachHidPos(decoder: Decoder, device: HidDeviceLike, options?: HidPosOptions): Promise<HidPosHost>;
