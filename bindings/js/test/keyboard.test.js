// The keyboard host in headless Chromium: trusted key events with code, key, modifiers and times, as a
// scanner and a person send them; the host's link gets the strokes the native key look-up gives, and the
// native kit fed the same link calls gives the same scans and frames.
import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { loadDorvik } from "../index.js";
import { chromium, launch } from "./cdp.js";
import { GS, dispatch, expectedStrokes, keyEvents, nativeLinkPoll, serve, until } from "./keys.js";

const skip = !chromium && "no chromium";
const dvk = await loadDorvik();
const MARKING = `0104607097291111` + `21AbC1234567${GS}91EE10${GS}92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=`;

const PAGE = `<!doctype html><form id="form"><input id="field" autocomplete="off"><button>ok</button></form>
<script type="module">
import { loadDorvik } from "/bindings/js/index.js";
import { attachKeyboard } from "/bindings/js/browser.js";
const dvk = await loadDorvik();
const dec = dvk.createDecoder();
const link = dvk.createLink(dec, "kbd");
const params = new URLSearchParams(location.search);
link.useProfile(params.get("profile") ?? "{}");
Object.assign(window, { fed: [], scans: [], frames: [], submits: 0, seen: [] });
// What the host gives its link: [scan code, action, modifier bits, time].
const keyWith = link.keyWith.bind(link);
link.keyWith = (code, action, mods, t) => { fed.push([code, action, mods, t]); keyWith(code, action, mods, t); };
form.addEventListener("submit", (e) => { e.preventDefault(); submits++; });
document.addEventListener("keydown", (e) => seen.push([e.key, e.ctrlKey, e.isTrusted]));
const host = { onScan: (s) => scans.push(s), onFrame: (f) => frames.push(f) };
if (params.get("capture")) host.capture = params.get("capture");
if (params.get("host") !== "off") window.kb = attachKeyboard(link, window, host);
document.body.dataset.ready = "yes";
</script>`;

let page;
let server;
before(async () => {
    if (skip) return;
    server = await serve({ "/kb.html": PAGE });
    page = await launch();
});
after(async () => {
    await page?.close();
    server?.close();
});

async function open(query = "") {
    await page.goto(`${server.url}/kb.html${query}`);
    await until(page, "document.body.dataset.ready");
    await page.evaluate("document.getElementById('field').focus()");
}

// A scan's key events, stamped from a little ahead of the page's clock on, as a scanner types: 4 ms a key.
async function scan(text, options = {}) {
    const [origin, now] = await page.evaluate("[performance.timeOrigin, performance.now()]");
    await dispatch(page, keyEvents(text, { t0: Math.ceil(now) + 30, gapMs: 4, ...options }), origin);
}

async function typeSlowly(text, layout) {
    for (const e of keyEvents(text, { t0: 0, layout })) {
        const { t, ...event } = e;
        await page.send("Input.dispatchKeyEvent", event);
        if (event.type === "keyUp" && !/Shift|Control/.test(event.code)) await new Promise((r) => setTimeout(r, 160));
    }
}

// The strokes the decoder hears: presses (repeats are given to the kit, which feeds none), and the Alt
// release, which the kit feeds as Alt's make code without Alt.
const strokesOf = (fed) => fed.filter(([, action]) => action !== 2).map(([code, , m]) => [code & 0xff, !!(m & 1), !!(m & 2), !!(m & 4)]);

test("a marking code arrives exactly, whatever the layout and however GS is typed", { skip }, async () => {
    for (const [layout, gs] of [["us", "ctrl"], ["ru", "ctrl"], ["us", "alt"], ["ru", "alt"]]) {
        await open();
        await scan(MARKING + "\r", { layout, gs });
        await until(page, "scans.length === 1");
        const [fed, scans, frames, field] = await page.evaluate("[fed, scans, frames, field.value]");
        const name = `${layout} layout, GS by ${gs}`;
        assert.deepEqual(strokesOf(fed), expectedStrokes(dvk, MARKING + "\r", gs), name);
        assert.equal(scans[0].data, MARKING, name);
        assert.equal(scans[0].serial, "AbC1234567", name);
        assert.equal(field, "", name);
        assert.deepEqual({ scans, frames }, nativeLinkPoll(fed, "kbd"), name);
    }
});

test("a person typing slowly keeps every character and makes no scan", { skip }, async () => {
    for (const [layout, typed, expected] of [["us", "Hello, 12", "Hello, 12"], ["ru", "Ghbdtn", "Привет"]]) {
        await open();
        await typeSlowly(typed, layout);
        await until(page, `field.value.length === ${expected.length}`);
        await new Promise((r) => setTimeout(r, 250));
        const [value, scans] = await page.evaluate("[field.value, scans.length]");
        assert.equal(value, expected, layout);
        assert.equal(scans, 0, layout);
    }
});

test("a scan into a focused field leaves it as it was, and its Enter and Ctrl keys do nothing", { skip }, async () => {
    // Control characters a scanner may send around a code (STX, ETX) and inside it: Ctrl+B, Ctrl+C, Ctrl+A,
    // Ctrl+Z, Ctrl+]. Unprevented, Ctrl+A would select the field's text and Ctrl+Z undo the person's typing.
    const profile = encodeURIComponent(JSON.stringify({ prefix: "\x02", suffix: "\x03" }));
    const code = `\x02${MARKING.replace("91EE10", "91EE10\x01\x1a")}\x03`;
    for (const query of [`?profile=${profile}`, `?profile=${profile}&capture=all`, `?profile=${profile}&host=off`]) {
        await open(query);
        await page.send("Input.insertText", { text: "abc" }); // typed before: undo would take it away
        await new Promise((r) => setTimeout(r, 100));
        await scan(code + "\r");
        await new Promise((r) => setTimeout(r, 300));
        const [value, selection, submits, scans, seen] =
            await page.evaluate("[field.value, [field.selectionStart, field.selectionEnd], submits, scans, seen.filter((s) => s[1] && s[0] !== 'Control')]");
        if (query.endsWith("off")) {
            // Without the host the same keys do harm: the checks above have teeth.
            assert.ok(value !== "abc" || selection[0] !== 3 || submits > 0, `no host: ${value} ${selection} ${submits}`);
            continue;
        }
        assert.equal(value, "abc", query);
        assert.deepEqual(selection, [3, 3], query);
        assert.equal(submits, 0, query);
        assert.deepEqual(seen, [], `${query}: the page saw the scanner's Ctrl keys`);
        assert.equal(scans.length, 1, query);
        assert.equal(scans[0].data, MARKING.replace("91EE10", "91EE10\x01\x1a"), query);
    }
});

test("a person's Enter submits, auto-repeat is not fed, and detach gives the keys back to the browser", { skip }, async () => {
    await open();
    for (let i = 0; i < 4; ++i)
        await page.send("Input.dispatchKeyEvent", { type: "keyDown", code: "KeyZ", key: "z", text: "z", autoRepeat: i > 0 });
    await page.send("Input.dispatchKeyEvent", { type: "keyUp", code: "KeyZ", key: "z" });
    await until(page, "field.value === 'zzzz'");
    assert.deepEqual(await page.evaluate("fed.map((f) => [f[0], f[1]])"), [[0x2c, 1], [0x2c, 2], [0x2c, 2], [0x2c, 2]]);
    await page.evaluate("field.value = ''");
    await typeSlowly("ok\r", "us");
    await until(page, "submits === 1");
    assert.equal(await page.evaluate("field.value"), "ok");
    // Quick enough to be held back with its Enter, too short for a scan: all of it given back, in order.
    await scan("xy\r", { gapMs: 30 });
    await until(page, "submits === 2");
    assert.deepEqual(await page.evaluate("[field.value, scans.length]"), ["okxy", 0]);
    await page.evaluate("kb.detach()");
    await scan("1234\r");
    await until(page, "submits === 3");
    assert.deepEqual(await page.evaluate("[field.value, scans.length]"), ["okxy1234", 0]);
});
