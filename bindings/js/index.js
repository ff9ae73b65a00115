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
    return makeApi(c, () => heap, memory);
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

    // Writes a text with a NUL after it; returns its address and its length in bytes (null stays null).
    let lastLength = 0;
    function put(value) {
        lastLength = 0;
        if (value == null) return 0;
        const at = stage + used;
        const heap = heapView();
        if (typeof value === "string") {
            lastLength = value.length <= SHORT_TEXT ? putAscii(heap, value, at) : -1;
            if (lastLength < 0) lastLength = utf8.encodeInto(value, heap.subarray(at, at + value.length * 3)).written;
        } else {
            heap.set(value, at);
            lastLength = value.length;
        }
        heap[at + lastLength] = 0;
        used += lastLength + 1;
        return at;
    }

    // ---- results out ----
    // A result block of the library, as bytes.
    function textView(ptr) {
        return heapView().subarray(ptr, ptr + (c.js_text_length(ptr) >>> 0));
    }

    // Read in place, then released.
    function jsonResult(ptr, what, options) {
        if (ptr === 0) throw new Error(`dorvik-c: ${what} failed: out of WebAssembly memory`);
        const view = textView(ptr);
        try {
            if (options.bytes) return view.slice();
            if (options.json) return lenientUtf8.decode(view);
            return parseAscii(ptr, view.length) ?? parseJson(view);
        } finally {
            c.dvk_free(ptr);
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

    // A static text, not a block of the allocator: measured here, once.
    const version = (() => {
        const heap = heapView();
        const ptr = c.dvk_version();
        return lenientUtf8.decode(heap.subarray(ptr, heap.indexOf(0, ptr)));
    })();

    // ---- handles ----
    const decoders = new FinalizationRegistry((ptr) => c.dvk_decoder_free(ptr));
    const tuners = new FinalizationRegistry((ptr) => c.dvk_tuner_free(ptr));

    function modifierFlags(modifiers) {
        const m = checkOptions(modifiers, "modifiers");
        return [m.shift ? 1 : 0, m.ctrl ? 1 : 0, m.alt ? 1 : 0, m.capsLock ? 1 : 0];
    }

    class Decoder {
        #ptr;

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
                const at = put(bytes);
                const length = lastLength;
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
                const at = put(text);
                const length = lastLength;
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
                const at = put(text);
                const length = lastLength;
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
                const at = put(data);
                return c.dvk_barcode_svg(k, at, lastLength, o.gs1 ? 1 : 0, scale, quiet);
            });
            if (ptr === 0) return null;
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
    });
}
