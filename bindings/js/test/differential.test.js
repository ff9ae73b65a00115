// The package and the native library, byte for byte. DVK_DIFF_ROUNDS sets the count (every export is called
// at least that often); the native library and its driver are built first (test/native/build-driver.sh).
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync, readdirSync } from "node:fs";
import { test } from "node:test";

import { loadDorvik } from "../index.js";
import { linkCalls, replayRecording, runDifferential } from "./differential.js";
import { native } from "./keys.js";

test("the package gives the native library's and host kit's bytes for random calls of every export", async () => {
    const driver = execFileSync("sh", [new URL("./native/build-driver.sh", import.meta.url).pathname], { encoding: "utf8" }).trim();
    const rounds = Number(process.env.DVK_DIFF_ROUNDS ?? 5000);
    const seed = Number(process.env.DVK_DIFF_SEED ?? 1);
    const calls = runDifferential(await loadDorvik(), driver, { rounds, seed });
    const exports = ["decode_frame", "barcode_svg", "key_for_char", "version", "free", "decoder_new", "decoder_free",
        "decoder_set_profile", "decoder_profile", "decoder_bind", "decoder_feed_key", "decoder_feed_bytes",
        "decoder_tick", "decoder_poll", "decoder_reset", "tuner_new", "tuner_free", "tuner_state", "tuner_skip",
        "tuner_feed"];
    // The host kit's link: every call at least a tenth as often (a session makes some of each kind).
    const linkExports = ["link_new", "link_free", "link_key", "link_key_with", "link_bytes", "link_hid_pos_descriptor",
        "link_hid_pos_collections", "link_hid_pos_report", "link_hid_pos_stream", "link_tick", "link_end",
        "link_hid_pos_report_id", "link_wake_at", "link_poll", "link_notices", "link_use_profile", "link_set_caps_lock"];
    for (const name of linkExports) assert.ok(calls[name] >= rounds / 10, `dvkh_${name}: ${calls[name]} calls`);
    for (const name of exports) assert.ok(calls[name] >= rounds, `dvk_${name}: ${calls[name]} calls`);
    console.log(`differential, seed ${seed}: ${JSON.stringify(calls)}`);
});

test("every committed recording gives the native kit's bytes through the package", async () => {
    const dvk = await loadDorvik();
    const folder = new URL("./recordings/", import.meta.url);
    const files = readdirSync(folder).filter((f) => f.endsWith(".json")).sort();
    assert.ok(files.length >= 10, `${files.length} recordings`);
    for (const file of files) {
        const recording = JSON.parse(readFileSync(new URL(file, folder), "utf8"));
        const results = [];
        const texts = native((script) => replayRecording(linkCalls(dvk, script, results), recording));
        assert.equal(texts.length, results.length, file);
        for (const [i, text] of texts.entries()) assert.equal(new TextDecoder().decode(results[i]), text, `${file}, result ${i}`);
        // Each recording shows what it was made for: scans, or a notice of what was dropped.
        const shown = texts.join("");
        assert.ok(/"scans":\[\{|"frames":\[\{|"notice":/.test(shown), `${file}: nothing came of it`);
    }
});
