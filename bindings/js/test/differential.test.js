// The package and the native library, byte for byte. DVK_DIFF_ROUNDS sets the count (every export is called
// at least that often); the native library and its driver are built first (test/native/build-driver.sh).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { test } from "node:test";

import { loadDorvik } from "../index.js";
import { runDifferential } from "./differential.js";

test("the package gives the native library's bytes for random calls of every export", async () => {
    const driver = execFileSync("sh", [new URL("./native/build-driver.sh", import.meta.url).pathname], { encoding: "utf8" }).trim();
    const rounds = Number(process.env.DVK_DIFF_ROUNDS ?? 5000);
    const seed = Number(process.env.DVK_DIFF_SEED ?? 1);
    const calls = runDifferential(await loadDorvik(), driver, { rounds, seed });
    const exports = ["decode_frame", "barcode_svg", "key_for_char", "version", "free", "decoder_new", "decoder_free",
        "decoder_set_profile", "decoder_profile", "decoder_bind", "decoder_feed_key", "decoder_feed_bytes",
        "decoder_tick", "decoder_poll", "decoder_reset", "tuner_new", "tuner_free", "tuner_state", "tuner_skip",
        "tuner_feed"];
    for (const name of exports) assert.ok(calls[name] >= rounds, `dvk_${name}: ${calls[name]} calls`);
    console.log(`differential, seed ${seed}: ${JSON.stringify(calls)}`);
});
