// Every committed fuzz corpus, replayed in the module's own runtime by the C++ harnesses themselves: the
// native replay driver (fuzz/replay_main.cpp) and the harnesses of fuzz/, with the library and the host kit,
// built by emscripten as a Node program (the target dvk_fuzz_replay_wasm of ../CMakeLists.txt). No harness is
// written twice: a property added in C++ holds here as soon as the corpus is replayed. (The ZXing read-back of
// DataMatrix pictures stays with the native replay.)
//
// The program is built in the tree that `npm run build` configured (BUILD_DIR, default build-wasm at the
// repository's root), brought up to date here first; DVK_FUZZ_REPLAY names a program built elsewhere.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { existsSync, readdirSync, statSync } from "node:fs";
import { test } from "node:test";
import { fileURLToPath } from "node:url";

const ROOT = fileURLToPath(new URL("../../../", import.meta.url));
const CORPUS = `${ROOT}fuzz/corpus`;
const BUILD_DIR = process.env.BUILD_DIR ?? `${ROOT}build-wasm`;
let program = process.env.DVK_FUZZ_REPLAY;

if (!program) {
    assert.ok(existsSync(`${BUILD_DIR}/CMakeCache.txt`),
              `${BUILD_DIR} is not configured: run npm run build first (or set BUILD_DIR)`);
    // Debian's emcc runs its JS tools with the `node` first on the PATH; they need Debian's modules.
    const built = spawnSync("cmake", ["--build", BUILD_DIR, "--target", "dvk_fuzz_replay_wasm"], {
        env: { ...process.env, NODE_PATH: process.env.NODE_PATH ?? "/usr/share/nodejs" },
        encoding: "utf8",
    });
    assert.equal(built.status, 0, `building the replay program failed:\n${built.stdout}\n${built.stderr}`);
    program = `${BUILD_DIR}/dvk_fuzz_replay.js`;
}

const harnesses = readdirSync(CORPUS).filter((name) => statSync(`${CORPUS}/${name}`).isDirectory()).sort();

test("every corpus has a harness here", () => {
    assert.ok(harnesses.length >= 7, harnesses.join(" "));
    assert.ok(harnesses.includes("hid_pos"));
});

for (const harness of harnesses) {
    test(`fuzz corpus ${harness}, replayed by the C++ harness in WebAssembly`, () => {
        const inputs = readdirSync(`${CORPUS}/${harness}`).length;
        const run = spawnSync(process.execPath, [program, harness, `${CORPUS}/${harness}`], {
            encoding: "utf8",
            maxBuffer: 64 * 1024 * 1024,
        });
        // The driver names each input before it runs: the last name is the input that failed.
        const names = run.stdout.trimEnd().split("\n");
        assert.equal(run.status, 0, `${harness} failed after ${names.at(-2) ?? "no input"}:\n${run.stderr}`);
        assert.match(names.at(-1), new RegExp(`^${harness}: ${inputs} inputs, \\d+ bytes replayed$`));
    });
}
