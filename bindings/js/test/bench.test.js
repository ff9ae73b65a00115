// The benchmark still runs: its native addon builds, both sides of every pair give the same result, and the
// table comes out. No time is checked here.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { test } from "node:test";

test("the benchmark runs at a hundredth of its counts", () => {
    const out = execFileSync("node", [new URL("../bench/bench.js", import.meta.url).pathname], {
        encoding: "utf8",
        env: { ...process.env, DVK_BENCH_SCALE: "0.01" },
    });
    for (const row of ["decodeFrame, 82-byte marking code with GS", "SVG, EAN-13", "vs bwip-js toSVG",
        "gs1-barcode-parser-mod", "dorvik_c.wasm + index.js"])
        assert.ok(out.includes(row), row);
});
