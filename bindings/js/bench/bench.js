// Benchmarks, not tests: the package against the native library, bwip-js and a JS GS1 parser, and the size
// a page loads. `npm run bench` (after npm run build); prints a table.
//
// The native library runs in this same process through a small Node-API addon over the shared library, and
// hands back what the package hands back (the event parsed from its JSON text, the SVG as a string): that is
// what a Node or Electron host would get from shipping the native library instead. The C calls alone, timed
// inside the addon, are shown beside it. Each pair is measured in alternating rounds, best of nine each, so
// that a busy machine slows both sides alike.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { cpus } from "node:os";
import { gzipSync } from "node:zlib";
import assert from "node:assert/strict";
import bwipjs from "bwip-js";
import gs1 from "gs1-barcode-parser-mod";

import { loadDorvik } from "../index.js";

const GS = "\x1d";
const MARKING = `010460709729111121${"5Ab!x7Qz-9K2m"}${GS}91EE10${GS}92Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr`;
const GS1_128 = `0104607097291111${GS}3103000123`;
const EAN13 = "4600000000008";
const NO_GS = MARKING.replaceAll(GS, "");
const GS_MISSING = '{"gsMissing":true}';
const ROUNDS = 9;
// DVK_BENCH_SCALE multiplies every count: the tests run the whole benchmark at a hundredth, to keep it working.
const SCALE = Number(process.env.DVK_BENCH_SCALE ?? 1);
const dvk = await loadDorvik();

// The native library (Release, as the differential test builds it) and the addon over it.
const here = new URL(".", import.meta.url).pathname;
const require = createRequire(import.meta.url);
const driver = execFileSync("sh", [`${here}../test/native/build-driver.sh`], { encoding: "utf8" }).trim();
const buildDir = driver.slice(0, driver.lastIndexOf("/"));
const root = `${here}../../..`;
const addonPath = `${buildDir}/dvk_js_native_bench.node`;
execFileSync("cc", ["-std=c99", "-O2", "-Wall", "-Wextra", "-Werror", "-shared", "-fPIC", `-I${root}/include`, `-I${buildDir}/include`,
    `-I${require.resolve("node-api-headers/package.json").replace(/package\.json$/, "include")}`,
    `${here}native_addon.c`, `-L${buildDir}`, "-ldorvik_c", `-Wl,-rpath,${buildDir}`, "-o", addonPath]);
const native = require(addonPath);

function nsPerCall(fn, count) {
    const n = Math.max(1, Math.round(count * SCALE));
    const start = process.hrtime.bigint();
    for (let i = 0; i < n; ++i) fn();
    return Number(process.hrtime.bigint() - start) / n;
}

// Best of ROUNDS for each function, their rounds taken in turn.
function compare(fns, n) {
    const best = fns.map(() => Infinity);
    for (let round = 0; round < ROUNDS; ++round)
        fns.forEach((fn, i) => { best[i] = Math.min(best[i], nsPerCall(fn, n)); });
    return best;
}

function bestOf(fn) {
    let best = Infinity;
    for (let round = 0; round < ROUNDS; ++round) best = Math.min(best, fn());
    return best;
}

const deviceId = "kbd";
const nativeRows = [
    {
        label: "decodeFrame, 82-byte marking code with GS",
        n: 200000,
        pkg: () => dvk.decodeFrame(MARKING, { deviceId }),
        native: () => JSON.parse(native.decodeFrame(MARKING, null, deviceId)),
        c: (n) => native.timeDecodeFrame(MARKING, null, deviceId, n),
    },
    {
        label: "decodeFrame, the same without GS (repair)",
        n: 200000,
        pkg: () => dvk.decodeFrame(NO_GS, { profile: GS_MISSING, deviceId }),
        native: () => JSON.parse(native.decodeFrame(NO_GS, GS_MISSING, deviceId)),
        c: (n) => native.timeDecodeFrame(NO_GS, GS_MISSING, deviceId, n),
    },
    {
        // Not a goal: the text form, to show what the parse costs on each side.
        label: "decodeFrame as JSON text ({ json: true })",
        goal: "—",
        n: 200000,
        pkg: () => dvk.decodeFrame(MARKING, { deviceId, json: true }),
        native: () => native.decodeFrame(MARKING, null, deviceId),
        c: (n) => native.timeDecodeFrame(MARKING, null, deviceId, n),
    },
    ...[["its GS1 DataMatrix", "datamatrix", MARKING, true, 20000], ["GS1-128", "code128", GS1_128, true, 100000],
        ["EAN-13", "ean13", EAN13, false, 100000]].map(([name, kind, data, gs1, n]) => ({
        label: `SVG, ${name}`,
        n,
        pkg: () => dvk.barcodeSvg(kind, data, { gs1 }),
        native: () => native.barcodeSvg(kind, data, gs1),
        c: (calls) => native.timeBarcodeSvg(kind, data, gs1, calls),
    })),
];
for (const row of nativeRows) assert.deepEqual(row.pkg(), row.native(), `${row.label}: the same result both ways`);

const bracketed = "(01)04607097291111(21)5Ab!x7Qz-9K2m(91)EE10(92)Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr";
const bwipRows = [
    ["GS1 DataMatrix", () => dvk.barcodeSvg("datamatrix", MARKING, { gs1: true }),
        () => bwipjs.toSVG({ bcid: "gs1datamatrix", text: bracketed })],
    ["GS1-128", () => dvk.barcodeSvg("code128", GS1_128, { gs1: true }),
        () => bwipjs.toSVG({ bcid: "gs1-128", text: "(01)04607097291111(3103)000123" })],
    ["EAN-13", () => dvk.barcodeSvg("ean13", EAN13), () => bwipjs.toSVG({ bcid: "ean13", text: EAN13 })],
];

const us = (ns) => `${(ns / 1000).toFixed(2)} µs`;
const ratio = (a, b) => `${(a / b).toFixed(2)}×`;
console.log(`${cpus()[0].model}, ${cpus().length} cores; Node ${process.version}; dorvik-c ${dvk.version}\n`);
console.log("| measured | package | native library, same result in JS | package / native | C call alone | goal |");
console.log("|---|---|---|---|---|---|");
for (const row of nativeRows) {
    const [pkg, nat] = compare([row.pkg, row.native], row.n);
    const c = bestOf(() => row.c(Math.max(1, Math.round(row.n * SCALE))));
    console.log(`| ${row.label} | ${us(pkg)} | ${us(nat)} | ${ratio(pkg, nat)} | ${us(c)} | ${row.goal ?? "≤ 2×"} |`);
}
console.log("\n| measured | package | peer | package is | goal |\n|---|---|---|---|---|");
for (const [name, pkgFn, bwipFn] of bwipRows) {
    const [pkg] = compare([pkgFn], 20000);
    const [bwip] = compare([bwipFn], 300);
    console.log(`| SVG ${name} vs bwip-js toSVG | ${us(pkg)} | ${us(bwip)} | ${ratio(bwip, pkg)} faster | ≥ 10× |`);
}
// decodeFrame's result is the parsed event: the parse of its JSON text is inside its time.
const [decode, parser] = compare([() => dvk.decodeFrame(MARKING), () => gs1.parseBarcode(MARKING)], 50000);
console.log(`| decodeFrame (the parsed event) vs gs1-barcode-parser-mod parseBarcode | ${us(decode)} | ${us(parser)} | ${ratio(parser, decode)} faster | ≥ 2× |`);

const wasm = readFileSync(new URL("../dorvik_c.wasm", import.meta.url));
const js = readFileSync(new URL("../index.js", import.meta.url));
const gz = (bytes) => gzipSync(bytes, { level: 9 }).length;
console.log(`\n| what a page loads | gzip -9 | raw | goal |\n|---|---|---|---|`);
console.log(`| dorvik_c.wasm + index.js | ${gz(wasm) + gz(js)} B (${gz(wasm)} + ${gz(js)}) | ${wasm.length + js.length} B (${wasm.length} + ${js.length}) | ≤ 150 kB |`);
