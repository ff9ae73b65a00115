// The example page in headless Chromium: the set-up wizard taken through its five steps by a scanner's key
// events ends with the profile, findings and summary the native tuner gives for the same frames, and each
// step's reference code, photographed from the screen, reads back as its payload.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { chromium, launch } from "./cdp.js";
import { dispatch, keyEvents, native, serve, until } from "./keys.js";

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

function nativeTunerState(frames) {
    const texts = native((s) => {
        s.op(14).text("hid").text("");
        for (const f of frames) s.op(16).text(f.frame).text(f.deviceId).number(f.tMs, 8).text(f.gapsMs.join(","));
        s.op(15);
    });
    return JSON.parse(texts[texts.length - 1]);
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
            const [stored, arrived, summary, findings] = await page.evaluate(`[localStorage.getItem("dorvik-c-profile"),
                dorvikExample.arrived, document.getElementById("summary").textContent,
                [...document.querySelectorAll("#findings li")].map((li) => li.firstChild.textContent)]`);
            assert.equal(arrived.length, 5);
            const expected = nativeTunerState(arrived);
            assert.equal(expected.done, true);
            assert.deepEqual(JSON.parse(stored), expected.profile);
            assert.equal(summary, expected.summary);
            assert.deepEqual(findings, expected.findings.map((f) => f.title));
            assert.equal(summary.match(/\d+ из 5/)[0], "4 из 5", "the linear code came without GS");
            assert.equal(JSON.parse(stored).gsMissing, true, "the linear code's GS was lost");
            // 12 ms a key, give or take the millisecond the page's clock rounds to: three times the widest gap.
            assert.ok([36, 39].includes(JSON.parse(stored).burstGapMs), "a scanner at 12 ms a key");
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
