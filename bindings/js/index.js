// dorvik-c: the dorvik_c library as a WebAssembly module. One call of this API is one call of a C export;
// arguments are copied into the module's memory, JSON results are copied out, parsed, and released at once.

const utf8 = new TextEncoder();
// A U+FEFF that opens a string is a character of it, not a byte order mark to drop.
const strictUtf8 = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
const lenientUtf8 = new TextDecoder("utf-8", { ignoreBOM: true });

const U64_LIMIT = 1n << 64n;
const INT32_MIN = -(2 ** 31);
const INT32_MAX = 2 ** 31 - 1;
// Arguments are staged in one block; a block grown for a long argument is let go after its call.
const STAGE_KEPT_BYTES = 16384;
// Texts up to this many characters are copied by hand: cheaper than the view encodeInto needs.
const SHORT_TEXT = 32;

/** What a scan was read as: a scan event's `kind`, whose `kindTitle` names it for a person. */
export const CodeKind = Object.freeze({
    Unknown: 0,
    Ean8: 1,
    Ean13: 2,
    UpcA: 3,
    Itf14: 4,
    Code39: 5,
    Code128: 6,
    Gs1_128: 7,
    DataMatrix: 8,
    Qr: 9,
    Weight: 10,
    Loyalty: 11,
    Excise: 12,
});

/** How a link is told of a key: dvkh_link_key's `action`. */
export const KeyAction = Object.freeze({ Release: 0, Press: 1, Repeat: 2 });

/** The modifier bits of Link.keyWith, as a platform reports them with a key event. */
export const ModifierBits = Object.freeze({ Shift: 1, Ctrl: 2, Alt: 4, CapsLock: 8 });

// The host kit's key table, from the first module loaded, for dorvik-c/browser: `byCode` KeyboardEvent.code →
// the kit's scan code (0xE0.. for E0 keys), `set1` (browser's SET1) → the make code the decoder hears, for
// every key but Shift, Ctrl and Caps Lock (the modifiers come with each event). Not part of the API.
export const _kitKeys = { byCode: null, set1: {} };
const MODIFIER_MAKES = new Set([0x1d, 0x2a, 0x36, 0x3a]);

function keepKitKeys(keyCodes) {
    if (_kitKeys.byCode !== null) return;
    _kitKeys.byCode = keyCodes;
    for (const [code, scan] of Object.entries(keyCodes)) if (!MODIFIER_MAKES.has(scan & 0xff)) _kitKeys.set1[code] = scan & 0xff;
    Object.freeze(_kitKeys.set1);
}

// The symbology barcodeSvg draws for a kind, as the C export chooses it.
function symbologyName(kind) {
    const k = typeof kind === "string" ? kind : lenientUtf8.decode(kind);
    return k === "ean13" ? "EAN-13" : k === "code128" ? "Code 128" : "DataMatrix";
}

function typeName(value) {
    if (value === null) return "null";
    if (Array.isArray(value)) return "an array";
    return typeof value === "object" ? `a ${value.constructor?.name ?? "object"}` : `a ${typeof value}`;
}

function isText(value) {
    return typeof value === "string" || value instanceof Uint8Array;
}

function checkText(value, name) {
    if (!isText(value)) throw new TypeError(`${name} must be a string or a Uint8Array, not ${typeName(value)}`);
}

function checkOptionalText(value, name) {
    if (value !== undefined && value !== null) checkText(value, name);
}

function hasNul(value) {
    return typeof value === "string" ? value.includes("\0") : value.includes(0);
}

// A C string cannot hold a NUL: cutting the text there would silently lose the rest.
function checkCText(value, name) {
    checkOptionalText(value, name);
    if (value != null && hasNul(value)) throw new TypeError(`${name} must not contain a NUL character`);
}

// Milliseconds: a number (floored, since performance.now() and event time stamps have fractions) or a bigint,
// from 0 to 2^64 - 1 as the C side takes them.
function toU64(value, name) {
    if (typeof value === "bigint") {
        if (value < 0n || value >= U64_LIMIT) throw new RangeError(`${name} must be from 0 to 2^64 - 1`);
        return value;
    }
    if (typeof value !== "number") throw new TypeError(`${name} must be a number or a bigint, not ${typeName(value)}`);
    if (!(value >= 0) || value >= 2 ** 64) throw new RangeError(`${name} must be from 0 to 2^64 - 1, not ${value}`);
    return BigInt(Math.floor(value));
}

function toInt(value, name, min, max, fallback) {
    if (value === undefined) return fallback;
    if (typeof value !== "number") throw new TypeError(`${name} must be a number, not ${typeName(value)}`);
    if (!Number.isInteger(value) || value < min || value > max)
        throw new RangeError(`${name} must be a whole number from ${min} to ${max}, not ${value}`);
    return value;
}

function checkOptions(value, name) {
    if (value !== undefined && (value === null || typeof value !== "object"))
        throw new TypeError(`${name} must be an object, not ${typeName(value)}`);
    return value ?? {};
}

function profileText(profile, name) {
    if (isText(profile)) return profile;
    if (profile !== null && typeof profile === "object" && !Array.isArray(profile)) return JSON.stringify(profile);
    throw new TypeError(`${name} must be a JSON text, a Uint8Array or an object, not ${typeName(profile)}`);
}

// Its length in bytes, or -1 at the first character beyond ASCII.
function putAscii(heap, text, at) {
    for (let i = 0; i < text.length; ++i) {
        const code = text.charCodeAt(i);
        if (code >= 0x80) return -1;
        heap[at + i] = code;
    }
    return text.length;
}

function binaryString(bytes) {
    let text = "";
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return text;
}

// A text of the library holds the bytes it was given. Valid UTF-8 reads as strings; otherwise each string
// of the JSON is read byte for byte and stays a Uint8Array where it is not UTF-8, so that nothing is lost
// (a frame of a serial scanner in cp1251 can be fed to a tuner as it came).
function parseJson(bytes) {
    let text;
    try {
        text = strictUtf8.decode(bytes);
    } catch {
        return JSON.parse(binaryString(bytes), (key, value) => {
            if (typeof value !== "string") return value;
            const raw = Uint8Array.from(value, (c) => c.charCodeAt(0));
            try {
                return strictUtf8.decode(raw);
            } catch {
                return raw;
            }
        });
    }
    return JSON.parse(text);
}

async function wasmSource(wasm) {
    if (wasm instanceof WebAssembly.Module) return wasm;
    if (wasm instanceof ArrayBuffer || ArrayBuffer.isView(wasm)) return wasm;
    if (wasm !== undefined && typeof wasm !== "string" && !(wasm instanceof URL))
        throw new TypeError(`options.wasm must be a URL, a string, an ArrayBuffer, a Uint8Array or a WebAssembly.Module, not ${typeName(wasm)}`);
    const url = wasm === undefined ? new URL("./dorvik_c.wasm", import.meta.url) : new URL(wasm, import.meta.url);
    if (url.protocol === "file:") {
        // Node, Electron's main process and renderers with Node: read the file. Elsewhere fall through to fetch.
        let readFile;
        try {
            ({ readFile } = await import(/* webpackIgnore: true */ "node:fs/promises"));
        } catch {
            readFile = undefined;
        }
        if (readFile) return readFile(url);
    }
    const response = await fetch(url);
    if (!response.ok) throw new Error(`dorvik-c: cannot load ${url}: HTTP ${response.status}`);
    return response.arrayBuffer();
}

/**
 * Loads the module. Without options.wasm the .wasm next to this file is read (Node) or fetched from its local
 * URL (browsers); options.wasm may give its URL, its bytes or a compiled WebAssembly.Module instead.
 */
export async function loadDorvik(options) {
    const { wasm } = checkOptions(options, "options");
    const source = await wasmSource(wasm);
    let memory;
    let heap;
    const imports = {
        wasi_snapshot_preview1: {
            proc_exit(code) {
                throw new WebAssembly.RuntimeError(`dorvik-c: the module aborted (${code})`);
            },
        },
        env: {
            emscripten_notify_memory_growth() {
                heap = new Uint8Array(memory.buffer);
            },
        },
    };
    const instance =
        source instanceof WebAssembly.Module
            ? await WebAssembly.instantiate(source, imports)
            : (await WebAssembly.instantiate(source, imports)).instance;
    const c = instance.exports;
    memory = c.memory;
    heap = new Uint8Array(memory.buffer);
    c._initialize();
    const api = makeApi(c, () => heap, memory);
    keepKitKeys(api.keyCodes);
    return api;
}

function makeApi(c, heapView, memory) {
    // ---- arguments in ----
    let stage = 0;
    let stageSize = 0;
    let used = 0;

    function reserve(bytes) {
        if (used + bytes <= stageSize) return;
        let size = Math.max(1024, stageSize);
        while (size < used + bytes) size *= 2;
        if (size > STAGE_KEPT_BYTES) size = used + bytes; // let go after the call: exactly what it needs
        const block = c.malloc(size);
        if (block === 0) throw new RangeError("dorvik-c: out of WebAssembly memory for the arguments");
        if (used > 0) heapView().copyWithin(block, stage, stage + used);
        c.free(stage);
        stage = block;
        stageSize = size;
    }

    function begin(total) {
        used = 0;
        reserve(total);
    }

    function end() {
        if (stageSize > STAGE_KEPT_BYTES) {
            c.free(stage);
            stage = 0;
            stageSize = 0;
        }
    }

    // A long string is encoded first, so that its room is its size rather than three bytes a character.
    function exact(value) {
        return typeof value === "string" && value.length > 1024 ? utf8.encode(value) : value;
    }

    // Room a text may take, NUL included.
    function room(value) {
        if (value == null) return 0;
        return (typeof value === "string" ? value.length * 3 : value.length) + 1;
    }

    // Writes a text with a NUL after it; returns its address and its length in bytes (null: address 0).
    function putSized(value) {
        if (value == null) return { at: 0, length: 0 };
        const at = stage + used;
        const heap = heapView();
        let length;
        if (typeof value === "string") {
            length = value.length <= SHORT_TEXT ? putAscii(heap, value, at) : -1;
            if (length < 0) length = utf8.encodeInto(value, heap.subarray(at, at + value.length * 3)).written;
        } else {
            heap.set(value, at);
            length = value.length;
        }
        heap[at + length] = 0;
        used += length + 1;
        return { at, length };
    }

    // A C string: its address, 0 for null.
    function put(value) {
        return value == null ? 0 : putSized(value).at;
    }

    // ---- results out ----
    // A result block of the library, as bytes.
    function textView(ptr) {
        return heapView().subarray(ptr, ptr + (c.js_text_length(ptr) >>> 0));
    }

    // Read in place, then released (by the host kit's dvkh_free for its results).
    function jsonResult(ptr, what, options, release = c.dvk_free) {
        if (ptr === 0) throw new Error(`dorvik-c: ${what} failed: out of WebAssembly memory`);
        const view = textView(ptr);
        try {
            if (options.bytes) return view.slice();
            if (options.json) return lenientUtf8.decode(view);
            return parseAscii(ptr, view.length) ?? parseJson(view);
        } finally {
            release(ptr);
        }
    }

    // The text with its characters beyond ASCII escaped, parsed; null when it is not UTF-8 (or no memory
    // was left to escape it), for parseJson to read byte by byte.
    let lengthSlot = 0;
    function parseAscii(ptr, length) {
        if (lengthSlot === 0 && (lengthSlot = c.malloc(4)) === 0) return null;
        const ascii = c.js_ascii_json(ptr, length, lengthSlot);
        if (ascii === 0) return null;
        try {
            const heap = heapView();
            const at = lengthSlot;
            const size = (heap[at] | (heap[at + 1] << 8) | (heap[at + 2] << 16) | (heap[at + 3] << 24)) >>> 0;
            return JSON.parse(lenientUtf8.decode(heap.subarray(ascii, ascii + size)));
        } finally {
            if (ascii !== ptr) c.free(ascii);
        }
    }

    function call(total, body) {
        begin(total);
        try {
            return body();
        } finally {
            end();
        }
    }

    // Static texts, not blocks of the allocator: measured here, once.
    const staticText = (ptr) => {
        const heap = heapView();
        return lenientUtf8.decode(heap.subarray(ptr, heap.indexOf(0, ptr)));
    };
    const version = staticText(c.dvk_version());
    const setUpProfile = staticText(c.dvkh_set_up_profile());

    // ---- handles ----
    const decoders = new FinalizationRegistry((ptr) => c.dvk_decoder_free(ptr));
    const tuners = new FinalizationRegistry((ptr) => c.dvk_tuner_free(ptr));
    const links = new FinalizationRegistry((ptr) => c.dvkh_link_free(ptr));
    // A decoder's handle for the link that borrows it: 0 once freed, undefined for anything but a decoder.
    let decoderHandle;

    function modifierFlags(modifiers) {
        const m = checkOptions(modifiers, "modifiers");
        return [m.shift ? 1 : 0, m.ctrl ? 1 : 0, m.alt ? 1 : 0, m.capsLock ? 1 : 0];
    }

    class Decoder {
        #ptr;

        static {
            decoderHandle = (value) => (value !== null && typeof value === "object" && #ptr in value ? value.#ptr : undefined);
        }

        constructor() {
            const ptr = c.dvk_decoder_new();
            if (ptr === 0) throw new Error("dorvik-c: createDecoder failed: out of WebAssembly memory");
            this.#ptr = ptr;
            decoders.register(this, ptr, this);
        }

        #handle() {
            if (this.#ptr === 0) throw new Error("dorvik-c: this decoder was freed");
            return this.#ptr;
        }

        // For the browser hosts, which also take a bare decoder as before links existed: a link of its own.
        [Symbol.for("dorvik-c.createLink")](deviceId) {
            return new Link(this, deviceId);
        }

        setProfile(profile) {
            const h = this.#handle();
            const text = exact(profileText(profile, "profile"));
            if (hasNul(text)) return false; // a NUL ends no JSON text
            return call(room(text), () => c.dvk_decoder_set_profile(h, put(text)) === 1);
        }

        profile(options) {
            const h = this.#handle();
            return jsonResult(c.dvk_decoder_profile(h), "profile", checkOptions(options, "options"));
        }

        bind(deviceId) {
            const h = this.#handle();
            checkCText(deviceId, "deviceId");
            call(room(deviceId), () => c.dvk_decoder_bind(h, put(deviceId)));
        }

        feedKey(scanCode, modifiers, tMs, deviceId) {
            const h = this.#handle();
            const code = toInt(scanCode, "scanCode", 0, 0xffff, NaN);
            if (Number.isNaN(code)) throw new TypeError("scanCode must be a number, not undefined");
            const [shift, ctrl, alt, capsLock] = modifierFlags(modifiers);
            const t = toU64(tMs, "tMs");
            checkCText(deviceId, "deviceId");
            call(room(deviceId), () => c.dvk_decoder_feed_key(h, code, 0, 0, shift, ctrl, alt, capsLock, 0, t, put(deviceId)));
        }

        feedBytes(bytes, deviceId, tMs) {
            const h = this.#handle();
            checkText(bytes, "bytes");
            checkCText(deviceId, "deviceId");
            const t = toU64(tMs, "tMs");
            bytes = exact(bytes);
            call(room(bytes) + room(deviceId), () => {
                const { at, length } = putSized(bytes);
                c.dvk_decoder_feed_bytes(h, at, length, put(deviceId), t);
            });
        }

        tick(tMs) {
            const h = this.#handle();
            c.dvk_decoder_tick(h, toU64(tMs, "tMs"));
        }

        poll(options) {
            const h = this.#handle();
            return jsonResult(c.dvk_decoder_poll(h), "poll", checkOptions(options, "options"));
        }

        reset() {
            c.dvk_decoder_reset(this.#handle());
        }

        free() {
            if (this.#ptr === 0) return;
            decoders.unregister(this);
            c.dvk_decoder_free(this.#ptr);
            this.#ptr = 0;
        }
    }

    class Tuner {
        #ptr;

        constructor(transport, deviceId) {
            checkCText(transport, "transport");
            checkCText(deviceId, "deviceId");
            const ptr = call(room(transport) + room(deviceId), () => c.dvk_tuner_new(put(transport), put(deviceId)));
            if (ptr === 0) throw new Error("dorvik-c: createTuner failed: out of WebAssembly memory");
            this.#ptr = ptr;
            tuners.register(this, ptr, this);
        }

        #handle() {
            if (this.#ptr === 0) throw new Error("dorvik-c: this tuner was freed");
            return this.#ptr;
        }

        state(options) {
            const h = this.#handle();
            return jsonResult(c.dvk_tuner_state(h), "state", checkOptions(options, "options"));
        }

        feed(frame) {
            const h = this.#handle();
            if (frame === null || typeof frame !== "object") throw new TypeError(`frame must be an object as poll() gives it, not ${typeName(frame)}`);
            checkText(frame.frame, "frame.frame");
            checkCText(frame.deviceId, "frame.deviceId");
            const t = toU64(frame.tMs, "frame.tMs");
            const gaps = exact(gapsText(frame.gapsMs));
            const text = exact(frame.frame);
            return call(room(text) + room(frame.deviceId) + room(gaps), () => {
                const { at, length } = putSized(text);
                return c.dvk_tuner_feed(h, at, length, put(frame.deviceId), t, put(gaps)) === 1;
            });
        }

        skip() {
            c.dvk_tuner_skip(this.#handle());
        }

        free() {
            if (this.#ptr === 0) return;
            tuners.unregister(this);
            c.dvk_tuner_free(this.#ptr);
            this.#ptr = 0;
        }
    }


    // The bits of a key event's modifiers: a number of ModifierBits, or { shift, ctrl, alt, capsLock }.
    function modifierBits(modifiers) {
        if (typeof modifiers === "number") return toInt(modifiers, "modifiers", 0, 15, 0);
        const [shift, ctrl, alt, capsLock] = modifierFlags(modifiers);
        return shift | (ctrl << 1) | (alt << 2) | (capsLock << 3);
    }

    function scanCodeArg(scanCode) {
        const code = toInt(scanCode, "scanCode", 0, 0xffff, NaN);
        if (Number.isNaN(code)) throw new TypeError("scanCode must be a number, not undefined");
        return code;
    }

    function bytesArg(value, name) {
        if (value instanceof DataView || (ArrayBuffer.isView(value) && !(value instanceof Uint8Array)))
            return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
        if (value instanceof ArrayBuffer) return new Uint8Array(value);
        if (!isText(value)) throw new TypeError(`${name} must be a Uint8Array, a DataView, an ArrayBuffer or a string, not ${typeName(value)}`);
        return exact(value);
    }

    class Link {
        #ptr;
        #decoder; // kept alive, and checked, while the link borrows it

        constructor(decoder, deviceId, options) {
            const d = decoderHandle(decoder);
            if (d === undefined) throw new TypeError(`decoder must be a decoder of this module, not ${typeName(decoder)}`);
            if (d === 0) throw new Error("dorvik-c: this decoder was freed");
            checkCText(deviceId, "deviceId");
            const o = checkOptions(options, "options");
            const ptr = call(room(deviceId), () => c.dvkh_link_new(d, put(deviceId), o.setUp ? 1 : 0));
            if (ptr === 0) throw new Error("dorvik-c: createLink failed: out of WebAssembly memory");
            this.#ptr = ptr;
            this.#decoder = decoder;
            links.register(this, ptr, this);
        }

        #handle() {
            if (this.#ptr === 0) throw new Error("dorvik-c: this link was freed");
            if (decoderHandle(this.#decoder) === 0) throw new Error("dorvik-c: the decoder of this link was freed");
            return this.#ptr;
        }

        get decoder() {
            return this.#decoder;
        }

        useProfile(profile) {
            const h = this.#handle();
            const text = exact(profileText(profile, "profile"));
            if (hasNul(text)) return false;
            return call(room(text), () => c.dvkh_link_use_profile(h, put(text)) === 1);
        }

        key(scanCode, action, tMs) {
            const h = this.#handle();
            const code = scanCodeArg(scanCode);
            const a = toInt(action, "action", 0, 2, NaN);
            if (Number.isNaN(a)) throw new TypeError("action must be a number, not undefined");
            c.dvkh_link_key(h, code, a, toU64(tMs, "tMs"));
        }

        keyWith(scanCode, action, modifiers, tMs) {
            const h = this.#handle();
            const code = scanCodeArg(scanCode);
            const a = toInt(action, "action", 0, 2, NaN);
            if (Number.isNaN(a)) throw new TypeError("action must be a number, not undefined");
            c.dvkh_link_key_with(h, code, a, modifierBits(modifiers), toU64(tMs, "tMs"));
        }

        setCapsLock(on) {
            c.dvkh_link_set_caps_lock(this.#handle(), on ? 1 : 0);
        }

        bytes(chunk, tMs) {
            const h = this.#handle();
            const b = bytesArg(chunk, "bytes");
            const t = toU64(tMs, "tMs");
            call(room(b), () => {
                const { at, length } = putSized(b);
                c.dvkh_link_bytes(h, at, length, t);
            });
        }

        hidPosDescriptor(descriptor) {
            const h = this.#handle();
            const b = bytesArg(descriptor, "descriptor");
            return call(room(b), () => {
                const { at, length } = putSized(b);
                return c.dvkh_link_hid_pos_descriptor(h, at, length);
            });
        }

        hidPosCollections(collections) {
            const h = this.#handle();
            let json = collections;
            if (typeof json !== "string") {
                if (!Array.isArray(json)) throw new TypeError(`collections must be an array (HIDDevice.collections) or its JSON text, not ${typeName(json)}`);
                json = JSON.stringify(json);
            }
            if (hasNul(json)) return -1; // no JSON text holds one
            json = exact(json);
            return call(room(json), () => c.dvkh_link_hid_pos_collections(h, put(json)));
        }

        /** The scanned-data report's id: 0 when the device numbers no reports, -1 without a layout. */
        hidPosReportId() {
            return c.dvkh_link_hid_pos_report_id(this.#handle());
        }

        hidPosReport(reportId, data, tMs) {
            const h = this.#handle();
            const id = toInt(reportId, "reportId", 0, 255, NaN);
            if (Number.isNaN(id)) throw new TypeError("reportId must be a number, not undefined");
            const b = bytesArg(data, "data");
            const t = toU64(tMs, "tMs");
            return call(room(b), () => {
                const { at, length } = putSized(b);
                return c.dvkh_link_hid_pos_report(h, id, at, length, t) === 1;
            });
        }

        hidPosStream(bytes, tMs) {
            const h = this.#handle();
            const b = bytesArg(bytes, "bytes");
            const t = toU64(tMs, "tMs");
            call(room(b), () => {
                const { at, length } = putSized(b);
                c.dvkh_link_hid_pos_stream(h, at, length, t);
            });
        }

        tick(tMs) {
            const h = this.#handle();
            c.dvkh_link_tick(h, toU64(tMs, "tMs"));
        }

        end(tMs) {
            const h = this.#handle();
            c.dvkh_link_end(h, toU64(tMs, "tMs"));
        }

        wakeAt() {
            return Number(c.dvkh_link_wake_at(this.#handle()));
        }

        poll(options) {
            const h = this.#handle();
            return jsonResult(c.dvkh_link_poll(h), "poll", checkOptions(options, "options"), c.dvkh_free);
        }

        notices(options) {
            const h = this.#handle();
            return jsonResult(c.dvkh_link_notices(h), "notices", checkOptions(options, "options"), c.dvkh_free);
        }

        free() {
            if (this.#ptr === 0) return;
            links.unregister(this);
            c.dvkh_link_free(this.#ptr);
            this.#ptr = 0;
        }
    }

    let keyCodes = null;
    function scanCodeText(code, name) {
        if (typeof code !== "string") throw new TypeError(`${name} must be a string, not ${typeName(code)}`);
        return code;
    }

    function gapsText(gaps) {
        if (gaps === undefined || gaps === null) return null;
        if (typeof gaps === "string") {
            checkCText(gaps, "frame.gapsMs");
            return gaps;
        }
        if (!Array.isArray(gaps)) throw new TypeError(`frame.gapsMs must be an array of numbers, not ${typeName(gaps)}`);
        return gaps.map((gap, i) => toU64(gap, `frame.gapsMs[${i}]`).toString()).join(",");
    }

    function keyByte(ch) {
        if (typeof ch === "number") return toInt(ch, "ch", 0, 255, 0);
        if (typeof ch === "string" && ch.length === 1 && ch.charCodeAt(0) < 0x80) return ch.charCodeAt(0);
        if (typeof ch === "string")
            throw new TypeError("ch must be one character of one UTF-8 byte (U+0000 to U+007F), or a byte 0-255");
        throw new TypeError(`ch must be a one-character string or a byte 0-255, not ${typeName(ch)}`);
    }

    return Object.freeze({
        version,

        /** The size of the module's memory in bytes: it grows only while the live state needs more. */
        get memoryBytes() {
            return memory.buffer.byteLength;
        },

        decodeFrame(text, options) {
            checkText(text, "text");
            text = exact(text);
            const o = checkOptions(options, "options");
            let profile = o.profile == null ? null : exact(profileText(o.profile, "options.profile"));
            if (profile !== null && hasNul(profile)) profile = null; // not a profile: the defaults, as in C
            checkCText(o.deviceId, "options.deviceId");
            const ptr = call(room(profile) + room(text) + room(o.deviceId), () => {
                const p = put(profile);
                const { at, length } = putSized(text);
                return c.dvk_decode_frame(p, at, length, put(o.deviceId));
            });
            return jsonResult(ptr, "decodeFrame", o);
        },

        barcodeSvg(kind, data, options) {
            checkCText(kind, "kind");
            if (kind == null) throw new TypeError("kind must be a string or a Uint8Array, not " + typeName(kind));
            checkText(data, "data");
            data = exact(data);
            const o = checkOptions(options, "options");
            const scale = toInt(o.scale, "options.scale", INT32_MIN, INT32_MAX, 4);
            const quiet = toInt(o.quiet, "options.quiet", INT32_MIN, INT32_MAX, 4);
            const ptr = call(room(kind) + room(data), () => {
                const k = put(kind);
                const { at, length } = putSized(data);
                return c.dvk_barcode_svg(k, at, length, o.gs1 ? 1 : 0, scale, quiet);
            });
            // The library has no picture for data its symbology cannot hold (letters in an EAN-13, a
            // DataMatrix beyond its largest size), nor when memory runs out.
            if (ptr === 0) throw new RangeError(`dorvik-c: barcodeSvg: data cannot be drawn as ${symbologyName(kind)}` +
                " (characters or a length the symbology does not take), or WebAssembly memory ran out");
            try {
                return lenientUtf8.decode(textView(ptr));
            } finally {
                c.dvk_free(ptr);
            }
        },

        keyForChar(ch, options) {
            const byte = keyByte(ch);
            return jsonResult(c.dvk_key_for_char(byte << 24 >> 24), "keyForChar", checkOptions(options, "options"));
        },

        createDecoder() {
            return new Decoder();
        },

        createTuner(transport, deviceId) {
            return new Tuner(transport, deviceId);
        },

        /** The profile a decoder frames with while a scanner is being set up (what `setUp` links give it). */
        setUpProfile,

        /** KeyboardEvent.code → set-1 scan code of every key the host kit knows (0xE0.. for E0 keys). */
        get keyCodes() {
            if (keyCodes === null) keyCodes = Object.freeze(jsonResult(c.dvkh_key_codes(), "keyCodes", {}, c.dvkh_free));
            return keyCodes;
        },

        scanCodeOfKeyCode(code) {
            const text = scanCodeText(code, "code");
            if (text.includes("\0")) return 0;
            return call(room(text), () => c.dvkh_scan_code_of_key_code(put(text)));
        },

        scanCodeOfLinuxKey(code) {
            return c.dvkh_scan_code_of_linux_key(toInt(code, "code", INT32_MIN, INT32_MAX, 0));
        },

        createLink(decoder, deviceId, options) {
            return new Link(decoder, deviceId, options);
        },
    });
}
