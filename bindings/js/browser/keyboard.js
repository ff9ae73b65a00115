// The keyboard host: physical keys to set-1 make codes, and what a scan must not do to the page.
import { _kitKeys } from "../index.js";
import { Ticker, deliver, linkOf, options } from "./poll.js";

/**
 * KeyboardEvent.code → set-1 make code as the decoder hears it: every key of the host kit's table (the
 * decoder's key table, Enter and NumpadEnter, Tab, Backspace, the keypad, Alt) but Shift, Ctrl and Caps
 * Lock, whose state comes with each event. Derived from dvk.keyCodes when the first module is loaded
 * (loadDorvik): empty before.
 */
export const SET1 = _kitKeys.set1;

const ALT_KEYS = new Set(["AltLeft", "AltRight"]);
// Keys a person presses on their own to act (submit, move, activate, erase): they pass at once unless they
// come inside a burst.
const ACTION_KEYS = new Set(["Enter", "NumpadEnter", "Tab", "Space", "Backspace"]);

const CTRL_PUNCTUATION = { "[": "BracketLeft", "\\": "Backslash", "]": "BracketRight" };

// The key a scanner presses with Ctrl to send a control character (STX is Ctrl+B), or undefined.
function ctrlKeyCode(byte) {
    if (byte === undefined || byte < 0x01 || byte > 0x1d) return undefined;
    const c = String.fromCharCode(byte + 0x40);
    return CTRL_PUNCTUATION[c] ?? `Key${c}`;
}

function timings(decoder) {
    const p = decoder.profile();
    const prefix = typeof p.prefix === "string" ? p.prefix.charCodeAt(0) : p.prefix[0];
    return {
        burstGapMs: p.burstGapMs,
        frameTimeoutMs: p.frameTimeoutMs,
        minLength: p.minLength,
        prefixCtrlCode: ctrlKeyCode(Number.isNaN(prefix) ? undefined : prefix),
    };
}

function isTextField(element) {
    if (!element) return false;
    if (element.isContentEditable) return true;
    if (element.tagName === "TEXTAREA") return !element.readOnly && !element.disabled;
    if (element.tagName !== "INPUT" || element.readOnly || element.disabled) return false;
    return ["text", "search", "tel", "url", "email", "password", "number", ""].includes(element.type);
}

// A person's held-back text, typed where it was aimed. execCommand keeps the field's undo history and fires
// the input events frameworks listen to; a field no longer focused gets setRangeText instead.
function insertText(target, text) {
    const doc = target.ownerDocument;
    if (doc && doc.activeElement === target && doc.execCommand("insertText", false, text)) return;
    if (typeof target.setRangeText !== "function") return;
    try {
        target.setRangeText(text, target.selectionStart, target.selectionEnd, "end");
    } catch {
        return; // a field without a caret (number): nothing sensible to do
    }
    target.dispatchEvent(new InputEvent("input", { bubbles: true, inputType: "insertText", data: text }));
}

// Enter in a field submits its form when the form has a submit button or no other field to fill.
function submitImplicitly(input) {
    const form = input.form;
    if (!form) return;
    const submitter = form.querySelector("button:not([type]), button[type=submit], input[type=submit], input[type=image]");
    if (submitter?.disabled) return;
    const fields = Array.from(form.elements).filter((e) => e.tagName === "INPUT" && isTextField(e));
    if (submitter || fields.length === 1) form.requestSubmit();
}

// What the browser would have done with a key a person pressed, done late: the page's keydown listeners see
// it first and may cancel it, as they could have the real one.
function giveBack(stroke) {
    const target = stroke.target?.isConnected ? stroke.target : stroke.doc?.activeElement ?? stroke.target;
    if (!target) return;
    const view = target.ownerDocument?.defaultView ?? globalThis;
    const event = new view.KeyboardEvent("keydown", {
        key: stroke.key, code: stroke.code, shiftKey: stroke.shift, ctrlKey: stroke.ctrl, altKey: stroke.alt,
        location: stroke.location, bubbles: true, cancelable: true, composed: true,
    });
    if (!target.dispatchEvent(event) || stroke.ctrl || stroke.alt) return;
    if (!isTextField(target)) return;
    if (stroke.key.length === 1 || (stroke.key.length === 2 && stroke.key.codePointAt(0) > 0xffff)) {
        insertText(target, stroke.key);
    } else if (stroke.key === "Enter") {
        if (target.tagName === "INPUT") submitImplicitly(target);
        else insertText(target, "\n");
    } else if (stroke.key === "Backspace") {
        if (target.ownerDocument?.activeElement === target) target.ownerDocument.execCommand("delete");
    }
}

/**
 * The keyboard host, feeding a link (dvk.createLink). Keys are fed by their physical place (event.code),
 * with the modifiers the event reports, so the OS layout does not matter.
 * With capture "auto" (the default) a key that may begin a scan is held back: when the decoder makes a scan
 * of it, it is dropped; when not (a short run after a pause, or a frame without scan), it is given back.
 * Capture "all" takes every mapped key, for a page that only scans.
 */
export function attachKeyboard(source, target, opts) {
    const o = options(opts, "options");
    const { link, owned } = linkOf(source, o, "keyboard");
    const decoder = link.decoder;
    target = target ?? globalThis;
    const captureAll = o.capture === "all";
    if (o.capture !== undefined && o.capture !== "all" && o.capture !== "auto")
        throw new TypeError('options.capture must be "auto" or "all"');
    let settings = timings(decoder);
    // Runs of held keys not yet decided, oldest first; the last is still growing when `open`.
    let runs = [];

    function resolve(polled, keep) {
        const decided = runs.filter((run) => run !== keep);
        runs = keep && runs.includes(keep) ? [keep] : [];
        if (polled.scans.length === 0) for (const run of decided) run.strokes.forEach(giveBack);
        for (const run of decided) run.open = false;
    }

    function pump(keep) {
        const polled = link.poll();
        if (polled.frames.length > 0) resolve(polled, keep);
        deliver(link, o, polled);
    }

    // A run that cannot reach minLength once its burst is over is a person's: give it back without waiting
    // for the decoder's time-out.
    function settleShortRuns(now) {
        runs = runs.filter((run) => {
            if (now - run.lastT <= settings.burstGapMs || run.strokes.length >= settings.minLength) return true;
            run.strokes.forEach(giveBack);
            run.open = false;
            return false;
        });
    }

    // Besides the link's time-out: the end of the burst of a run too short for a scan, to give it back.
    const ticker = new Ticker(link, (now) => {
        pump(null);
        settleShortRuns(now);
    }, () => Math.min(...runs.map((run) => (run.strokes.length < settings.minLength ? run.lastT + settings.burstGapMs + 1 : Infinity))));

    // The stroke as the event reports it: the kit's scan code of the physical key, the modifiers with it.
    function feed(e, action) {
        const modifiers = (e.shiftKey ? 1 : 0) | (e.ctrlKey ? 2 : 0) | (e.altKey ? 4 : 0) | (e.getModifierState?.("CapsLock") ? 8 : 0);
        link.keyWith(_kitKeys.byCode[e.code], action, modifiers, Math.max(0, e.timeStamp));
    }

    function swallow(e) {
        e.preventDefault();
        e.stopImmediatePropagation();
    }

    function strokeOf(e) {
        return {
            key: e.key, code: e.code, shift: e.shiftKey, ctrl: e.ctrlKey, alt: e.altKey,
            location: e.location, target: e.target, doc: e.target?.ownerDocument,
        };
    }

    function onKeyDown(e) {
        if (!e.isTrusted || e.metaKey || e.isComposing || e.key === "Process") return;
        if (SET1[e.code] === undefined || ALT_KEYS.has(e.code)) return;
        if (e.repeat) {
            if (captureAll) swallow(e);
            feed(e, 2); // the kit feeds no repeat: a scanner does not hold keys
            return;
        }
        const t = e.timeStamp;
        settleShortRuns(t);
        let run = runs[runs.length - 1];
        const startsRun = !run || !run.open || t - run.lastT > settings.burstGapMs;
        if (startsRun || ticker.idle) settings = timings(decoder);
        // A scan begins with a plain key, or with the Ctrl key of its profile's control-character prefix.
        // A dead key begins a person's accented letter, which the browser alone can compose.
        const plain = !e.ctrlKey && !e.altKey && !ACTION_KEYS.has(e.code) && e.key !== "Dead";
        const prefixKey = e.ctrlKey && !e.altKey && e.code === settings.prefixCtrlCode;
        // A person's Enter, Space or Backspace after keys still undecided waits for them, to keep its place.
        let after = null;
        if (captureAll) {
            swallow(e);
        } else if (startsRun && !plain && !prefixKey) {
            run = null;
            if (runs.length > 0 && !e.ctrlKey && !e.altKey && e.code !== "Tab") {
                swallow(e);
                after = strokeOf(e);
            }
        } else {
            if (startsRun) {
                run = { strokes: [], lastT: t, open: true };
                runs.push(run);
            }
            swallow(e);
            run.lastT = t;
            run.strokes.push(strokeOf(e));
        }
        feed(e, 1);
        pump(run && startsRun ? run : null);
        if (after) {
            for (const waiting of runs) waiting.strokes.forEach(giveBack);
            runs = [];
            giveBack(after);
        }
        ticker.kick();
    }

    // Windows ends an Alt code when Alt is released: the kit makes the release of the last Alt the stroke
    // that ends it.
    function onKeyUp(e) {
        if (!e.isTrusted || !ALT_KEYS.has(e.code)) return;
        const run = runs[runs.length - 1];
        if (captureAll || (run?.open && e.timeStamp - run.lastT <= settings.burstGapMs)) swallow(e);
        feed(e, 0);
        pump(null);
        ticker.kick();
    }

    target.addEventListener("keydown", onKeyDown, true);
    target.addEventListener("keyup", onKeyUp, true);
    return {
        detach() {
            target.removeEventListener("keydown", onKeyDown, true);
            target.removeEventListener("keyup", onKeyUp, true);
            ticker.stop();
            // Nothing a person typed is lost to a detach.
            for (const run of runs) run.strokes.forEach(giveBack);
            runs = [];
            if (owned) link.free();
        },
    };
}

