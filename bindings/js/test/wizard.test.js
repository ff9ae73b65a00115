// The example page in headless Chromium: the set-up wizard taken through its five steps by a scanner ends
// with the profile, findings and summary that the native tuner gives when the same timed input (the page's
// record of what its link was given, dorvikExample.input) goes through the native host kit in set-up mode,
// as `dvk tune` feeds it; the frames the page's tuner got are the native kit's, byte for byte. Scanners: a
// keyboard scanner with the usual faults (its reference codes photographed from the screen and read back), a
// serial scanner ending codes with CR LF (a Web Serial stand-in), a keyboard scanner ending them with Tab, a
// wireless one typing at 40 ms a key with stalls up to 200 ms inside a code, and one with no terminator.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { loadDorvik } from "../index.js";
import { chromium, launch } from "./cdp.js";
import { linkCalls, replayRecording } from "./differential.js";
import { collectionsOf, reportsOf, scanner } from "./hid.js";
import { dispatch, keyEvents, native, serve, until } from "./keys.js";

const dvk = await loadDorvik();

const zxing = (() => {
    try {
        return execFileSync("sh", ["-c", "command -v ZXingReader"], { encoding: "utf8" }).trim();
    } catch {
        return "";
    }
})();

// A scanner with the usual faults, step by step: it drops GS in the linear code, types GS as an Alt code in
// the long one, and the till's OS layout is Russian for the punctuation step.
const SCANNER = [
    (payload) => [payload, {}],
    (payload) => [payload.replaceAll("\x1d", ""), {}],
    (payload) => [payload, {}],
    (payload) => [payload, { gs: "alt" }],
    (payload) => [payload, { layout: "ru" }],
];

// Each step's reference payload, and the native tuner's state after the given frames.
function nativeSteps() {
    const states = native((s) => {
        s.op(14).text("hid").text("");
        for (let i = 0; i < 5; ++i) s.op(15).op(17);
    });
    return states.map((state) => JSON.parse(state).code);
}

function nativeTunerState(frames, transport = "hid") {
    const texts = native((s) => {
        s.op(14).text(transport).text("");
        for (const f of frames) s.op(16).text(f.frame).text(f.deviceId).number(f.tMs, 8).text(f.gapsMs.join(","));
        s.op(15);
    });
    return JSON.parse(texts[texts.length - 1]);
}

// The page's input through the native kit in set-up mode: the frames its polls give, in order (the package's
// answers along the way must be the same bytes).
function nativeFrames(input, deviceId, collections) {
    const results = [];
    const texts = native((s) => replayRecording(linkCalls(dvk, s, results), { deviceId, setUp: true, input, collections }));
    texts.forEach((text, i) => assert.equal(new TextDecoder().decode(results[i]), text, `the package's result ${i}`));
    return texts.filter((t) => t.startsWith('{"scans"')).flatMap((t) => JSON.parse(t).frames);
}

// What the page ended with against the reference; returns the learned profile.
async function expectNativeOutcome(page, deviceId, transport, collections) {
    const [stored, arrived, input, summary, findings] = await page.evaluate(`[localStorage.getItem("dorvik-c-profile"),
        dorvikExample.arrived, dorvikExample.input, document.getElementById("summary").textContent,
        [...document.querySelectorAll("#findings li")].map((li) => li.firstChild.textContent)]`);
    const frames = nativeFrames(input, deviceId, collections);
    assert.deepEqual(arrived, frames.slice(0, arrived.length), "the page's frames are the native kit's");
    const expected = nativeTunerState(frames, transport);
    assert.equal(expected.done, true);
    assert.deepEqual(JSON.parse(stored), expected.profile);
    assert.equal(summary, expected.summary);
    assert.deepEqual(findings, expected.findings.map((f) => f.title));
    return { profile: JSON.parse(stored), findings, summary, arrived };
}

async function photograph(page, folder, step) {
    const box = await page.evaluate(`(() => { const r = document.querySelector("#reference svg").getBoundingClientRect();
        return { x: r.x, y: r.y, width: r.width, height: r.height }; })()`);
    const { data } = await page.send("Page.captureScreenshot", { format: "png", clip: { ...box, scale: 1 } });
    const file = join(folder, `step${step}.png`);
    writeFileSync(file, Buffer.from(data, "base64"));
    return file;
}

test("the wizard page learns the native tuner's profile, and its codes read from the screen",
    { skip: (!chromium && "no chromium") || (!zxing && "no ZXingReader") }, async () => {
        const server = await serve();
        const page = await launch();
        const folder = mkdtempSync(join(tmpdir(), "dorvik-c-wizard-"));
        try {
            await page.send("Emulation.setDeviceMetricsOverride", { width: 1200, height: 1400, deviceScaleFactor: 1, mobile: false });
            await page.goto(`${server.url}/examples/web/`);
            await until(page, "document.body.dataset.ready");
            await page.evaluate("localStorage.clear()");
            const steps = nativeSteps();
            for (const [i, code] of steps.entries()) {
                assert.equal(await page.evaluate("document.getElementById('wizard').dataset.step"), String(i));
                const read = execFileSync(zxing, ["-bytes", await photograph(page, folder, i)]);
                assert.equal(read.toString("latin1"), code.payload, `step ${i}: the picture on the screen`);
                const [origin, now] = await page.evaluate("[performance.timeOrigin, performance.now()]");
                const [text, options] = SCANNER[i](code.payload);
                await dispatch(page, keyEvents(text + "\r", { t0: Math.ceil(now) + 30, gapMs: 12, ...options }), origin);
                await until(page, `document.getElementById('wizard').dataset.step === "${i + 1}"`);
            }
            const { profile, summary, arrived } = await expectNativeOutcome(page, "keyboard", "hid");
            assert.equal(arrived.length, 5);
            assert.equal(summary.match(/\d+ из 5/)[0], "4 из 5", "the linear code came without GS");
            assert.equal(profile.gsMissing, true, "the linear code's GS was lost");
            assert.equal(profile.terminator, "\r");
            // 12 ms a key, give or take the millisecond the page's clock rounds to: three times the widest gap.
            assert.ok([36, 39].includes(profile.burstGapMs), "a scanner at 12 ms a key");
            // The till decodes with what was learned: each scan's kind, GTIN, serial and warnings in a row.
            await page.evaluate("document.getElementById('show-till').click()");
            await until(page, "!document.getElementById('till').hidden");
            const [origin, now] = await page.evaluate("[performance.timeOrigin, performance.now()]");
            await dispatch(page, keyEvents(steps[2].payload + "\r", { t0: Math.ceil(now) + 30, gapMs: 12 }), origin);
            await until(page, "document.querySelectorAll('#scans tr').length === 1");
            const row = await page.evaluate("[...document.querySelectorAll('#scans td')].map((td) => td.textContent)");
            assert.deepEqual(row.slice(1), ["DataMatrix (маркировка)", "04607097291111", "ABCDEFG", ""]);
        } finally {
            rmSync(folder, { recursive: true, force: true });
            await page.close();
            server.close();
        }
    });

// A Web Serial stand-in: navigator.serial.requestPort() gives a port whose readable delivers what the test
// sends with window.serialSend([[delay ms, bytes], …]).
const SERIAL_STAND_IN = `(() => {
    let controller;
    const port = { readable: new ReadableStream({ start(c) { controller = c; } }),
        async open(options) { port.options = options; }, async close() {} };
    const serial = { async requestPort() { return port; }, addEventListener() {}, removeEventListener() {} };
    Object.defineProperty(Navigator.prototype, "serial", { get: () => serial, configurable: true });
    window.serialSend = (chunks) => chunks.reduce((done, [delay, bytes]) => done.then(() => new Promise((resolve) =>
        setTimeout(() => { controller.enqueue(new Uint8Array(bytes)); resolve(); }, delay))), Promise.resolve());
})();`;

// A WebHID stand-in: navigator.hid.requestDevice() gives a device with the given collections, and
// window.hidSend([[delay ms, reportId, bytes], …]) delivers its input reports.
const hidStandIn = (collections) => `(() => {
    const device = new EventTarget();
    Object.assign(device, { collections: ${JSON.stringify(collections)}, opened: false,
        async open() { device.opened = true; }, async close() { device.opened = false; } });
    const hid = { async requestDevice() { return [device]; }, addEventListener() {}, removeEventListener() {} };
    Object.defineProperty(Navigator.prototype, "hid", { get: () => hid, configurable: true });
    window.hidSend = (reports) => reports.reduce((done, [delay, reportId, bytes]) => done.then(() => new Promise((resolve) =>
        setTimeout(() => {
            const event = new Event("inputreport");
            Object.assign(event, { reportId, data: new DataView(new Uint8Array(bytes).buffer) });
            device.dispatchEvent(event);
            resolve();
        }, delay))), Promise.resolve());
})();`;

const FALSE_FINDINGS = ["Линейный код с разделителем: код обрезан", "Разный конец кода для разных символик"];

/** Takes the page through the wizard with `scan(page, payload, step)`; the learned profile and findings. */
async function wizardWith(source, scan, { stepTimeoutMs = 5000, collections } = {}) {
    const server = await serve();
    const page = await launch();
    try {
        await page.send("Page.addScriptToEvaluateOnNewDocument", { source: SERIAL_STAND_IN });
        if (collections) await page.send("Page.addScriptToEvaluateOnNewDocument", { source: hidStandIn(collections) });
        await page.goto(`${server.url}/examples/web/`);
        await until(page, "document.body.dataset.ready");
        await page.evaluate("localStorage.clear()");
        if (source === "serial") {
            await page.evaluate("document.getElementById('use-serial').click()");
            await until(page, "document.getElementById('source-name').textContent === 'COM-порт'");
        } else if (source === "hid") {
            await page.evaluate("document.getElementById('use-hid').click()");
            await until(page, "document.getElementById('source-name').textContent === 'HID-POS'");
        }
        for (const [i, code] of nativeSteps().entries()) {
            assert.equal(await page.evaluate("document.getElementById('wizard').dataset.step"), String(i));
            await scan(page, code.payload, i);
            await until(page, `document.getElementById('wizard').dataset.step === "${i + 1}"`, stepTimeoutMs);
        }
        const deviceId = { serial: "serial", hid: "hid-pos", keyboard: "keyboard" }[source];
        const outcome = await expectNativeOutcome(page, deviceId, source === "serial" ? "serial" : "hid", collections);
        console.log(`wizard, ${source}: terminator ${JSON.stringify(outcome.profile.terminator)}, burstGapMs ` +
            `${outcome.profile.burstGapMs}, frameTimeoutMs ${outcome.profile.frameTimeoutMs}, findings ${JSON.stringify(outcome.findings)}`);
        return outcome;
    } finally {
        await page.close();
        server.close();
    }
}

async function typeKeys(page, text, gapMs) {
    const [origin, now] = await page.evaluate("[performance.timeOrigin, performance.now()]");
    await dispatch(page, keyEvents(text, { t0: Math.ceil(now) + 30, gapMs }), origin);
}

const skip = !chromium && "no chromium";

test("a serial scanner ending codes with CR LF: the wizard learns CR LF, with no false finding", { skip }, async () => {
    const bytes = (text) => Array.from(new TextEncoder().encode(text));
    // Each code in uneven chunks as a UART's reads cut it, the LF alone in the last.
    const outcome = await wizardWith("serial", (page, payload) => {
        const all = bytes(payload + "\r\n");
        const cut = Math.min(20, all.length - 2);
        return page.evaluate(`serialSend(${JSON.stringify([[30, all.slice(0, cut)], [3, all.slice(cut, -1)], [2, all.slice(-1)]])})`);
    });
    assert.equal(outcome.profile.terminator, "\r\n");
    for (const finding of FALSE_FINDINGS) assert.ok(!outcome.findings.includes(finding), finding);
    assert.equal(outcome.arrived.length, 5);
    assert.ok(outcome.arrived.every((f) => f.frame.endsWith("\r\n")), "every code whole, its CR LF with it");
});

test("a keyboard scanner ending codes with Tab: the wizard learns Tab", { skip }, async () => {
    const outcome = await wizardWith("keyboard", (page, payload) => typeKeys(page, payload + "\t", 10));
    assert.equal(outcome.profile.terminator, "\t");
    for (const finding of FALSE_FINDINGS) assert.ok(!outcome.findings.includes(finding), finding);
});

test("a wireless keyboard scanner, 40 ms a key with stalls up to 200 ms: each code one frame", { skip }, async () => {
    const stalls = (i) => (i % 17 === 9 ? 200 : i % 11 === 4 ? 120 : 40);
    const outcome = await wizardWith("keyboard", (page, payload) => typeKeys(page, payload + "\r", stalls), { stepTimeoutMs: 15000 });
    assert.equal(outcome.profile.terminator, "\r");
    assert.equal(outcome.arrived.length, 5, "no code split at a stall");
    assert.ok(outcome.profile.burstGapMs > 200, `a burst gap above the longest stall: ${outcome.profile.burstGapMs}`);
});

test("a scanner with no terminator: frames close by time, and the wizard learns none", { skip }, async () => {
    const outcome = await wizardWith("keyboard", (page, payload) => typeKeys(page, payload, 10));
    assert.equal(outcome.profile.terminator, "");
    for (const finding of FALSE_FINDINGS) assert.ok(!outcome.findings.includes(finding), finding);
});

test("an HID-POS scanner (a vendor's report layout): the set-up keeps its AIM identifiers, codes over several reports", { skip }, async () => {
    const device = scanner({ order: ["more", "pad7", "vendor", "data", "aim", "count"], dataBytes: 40, reportId: 7 });
    const aims = nativeSteps().map((code) => code.expectedAim); // as a scanner that reads each symbology right
    const outcome = await wizardWith("hid", (page, payload, step) => {
        const reports = reportsOf(device, aims[step], new TextEncoder().encode(payload));
        return page.evaluate(`hidSend(${JSON.stringify(reports.map((r, i) => [i === 0 ? 30 : 4, r.id, Array.from(r.data)]))})`);
    }, { collections: collectionsOf(device) });
    assert.equal(outcome.arrived.length, 5);
    assert.deepEqual(outcome.arrived.map((f) => f.frame.slice(0, 3)), aims, "each code with its AIM identifier");
    assert.ok(outcome.arrived.every((f) => f.frame.endsWith("\r")), "the last report ends the code");
    for (const finding of FALSE_FINDINGS) assert.ok(!outcome.findings.includes(finding), finding);
});
