// Benchmarks, not tests: the package against the native library, bwip-js and a JS GS1 parser, and the size
// a page loads. `npm run bench` (after npm run build); prints a table of the best of five runs of each.
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { cpus } from "node:os";
import { gzipSync } from "node:zlib";
import bwipjs from "bwip-js";
import gs1 from "gs1-barcode-parser-mod";

import { loadDorvik } from "../index.js";

const GS = "\x1d";
const MARKING = `010460709729111121${"5Ab!x7Qz-9K2m"}${GS}91EE10${GS}92Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr`;
const GS1_128 = `0104607097291111${GS}3103000123`;
const EAN13 = "4600000000008";
const NO_GS = MARKING.replaceAll(GS, "");
const dvk = await loadDorvik();

function nsPerCall(fn, n) {
    let best = Infinity;
    for (let round = 0; round < 5; ++round) {
        const start = process.hrtime.bigint();
        for (let i = 0; i < n; ++i) fn();
        best = Math.min(best, Number(process.hrtime.bigint() - start) / n);
    }
    return best;
}

// The native library through a small C program over the shared library, built as the differential test builds it.
const here = new URL(".", import.meta.url).pathname;
const driver = execFileSync("sh", [`${here}../test/native/build-driver.sh`], { encoding: "utf8" }).trim();
const buildDir = driver.slice(0, driver.lastIndexOf("/"));
const root = `${here}../../..`;
execFileSync("cc", ["-std=c99", "-O2", `-I${root}/include`, `-I${buildDir}/include`, `${here}native_bench.c`, `-L${buildDir}`,
    "-ldorvik_c", `-Wl,-rpath,${buildDir}`, "-o", `${buildDir}/dvk_js_native_bench`]);
const nativeRows = [
    ["decode_with_gs", "frame", MARKING],
    ["decode_without_gs", "frame-gs-missing", NO_GS],
    ["datamatrix_gs1", "datamatrix", MARKING],
    ["code128_gs1", "code128", GS1_128],
    ["ean13", "ean13", EAN13],
];
const native = Object.fromEntries(
    execFileSync(`${buildDir}/dvk_js_native_bench`, nativeRows.flat(), { encoding: "utf8" })
        .trim().split("\n").map((line) => line.split(" ")).map(([name, ns]) => [name, Number(ns)]));

const gsMissing = { gsMissing: true };
const pkg = {
    decode_with_gs: nsPerCall(() => dvk.decodeFrame(MARKING, { deviceId: "kbd" }), 200000),
    decode_with_gs_text: nsPerCall(() => dvk.decodeFrame(MARKING, { deviceId: "kbd", json: true }), 200000),
    decode_without_gs: nsPerCall(() => dvk.decodeFrame(NO_GS, { profile: gsMissing, deviceId: "kbd" }), 200000),
    datamatrix_gs1: nsPerCall(() => dvk.barcodeSvg("datamatrix", MARKING, { gs1: true }), 20000),
    code128_gs1: nsPerCall(() => dvk.barcodeSvg("code128", GS1_128, { gs1: true }), 20000),
    ean13: nsPerCall(() => dvk.barcodeSvg("ean13", EAN13), 20000),
};

const bracketed = "(01)04607097291111(21)5Ab!x7Qz-9K2m(91)EE10(92)Lm0pQ8rStUvWxYz1A2b3C4d5E6f7G8h9I0j+K/lMnOpQr";
const bwip = {
    datamatrix_gs1: nsPerCall(() => bwipjs.toSVG({ bcid: "gs1datamatrix", text: bracketed }), 500),
    code128_gs1: nsPerCall(() => bwipjs.toSVG({ bcid: "gs1-128", text: "(01)04607097291111(3103)000123" }), 500),
    ean13: nsPerCall(() => bwipjs.toSVG({ bcid: "ean13", text: EAN13 }), 500),
};
const parser = nsPerCall(() => gs1.parseBarcode(MARKING), 20000);
const decodeAndParse = nsPerCall(() => JSON.parse(dvk.decodeFrame(MARKING, { json: true })), 200000);

const wasm = readFileSync(new URL("../dorvik_c.wasm", import.meta.url));
const js = readFileSync(new URL("../index.js", import.meta.url));
const gz = (bytes) => gzipSync(bytes, { level: 9 }).length;

const us = (ns) => `${(ns / 1000).toFixed(2)} µs`;
const ratio = (a, b) => `${(a / b).toFixed(2)}×`;
console.log(`${cpus()[0].model}, ${cpus().length} cores; Node ${process.version}; dorvik-c ${dvk.version}\n`);
console.log("| measured | package | peer | ratio | goal |\n|---|---|---|---|---|");
for (const [name, label] of [["decode_with_gs", "decodeFrame, 82-byte marking code with GS"],
    ["decode_without_gs", "decodeFrame, the same without GS (repair)"], ["datamatrix_gs1", "SVG, its GS1 DataMatrix"],
    ["code128_gs1", "SVG, GS1-128"], ["ean13", "SVG, EAN-13"]])
    console.log(`| ${label} vs native | ${us(pkg[name])} | ${us(native[name])} | ${ratio(pkg[name], native[name])} of native | ≤ 2× |`);
console.log(`| decodeFrame as JSON text ({ json: true }) vs native | ${us(pkg.decode_with_gs_text)} | ${us(native.decode_with_gs)} | ${ratio(pkg.decode_with_gs_text, native.decode_with_gs)} of native | ≤ 2× |`);
for (const [name, label] of [["datamatrix_gs1", "GS1 DataMatrix"], ["code128_gs1", "GS1-128"], ["ean13", "EAN-13"]])
    console.log(`| SVG ${label} vs bwip-js toSVG | ${us(pkg[name])} | ${us(bwip[name])} | ${ratio(bwip[name], pkg[name])} faster | ≥ 10× |`);
console.log(`| decodeFrame + JSON.parse vs gs1-barcode-parser-mod parseBarcode | ${us(decodeAndParse)} | ${us(parser)} | ${ratio(parser, decodeAndParse)} faster | ≥ 2× |`);
console.log(`| what a page loads: dorvik_c.wasm + index.js | ${gz(wasm) + gz(js)} B gzip -9 (${gz(wasm)} + ${gz(js)}) | raw ${wasm.length + js.length} B (${wasm.length} + ${js.length}) | | ≤ 150 kB |`);
