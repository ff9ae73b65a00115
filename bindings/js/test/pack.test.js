// What npm pack gives installs offline into a fresh folder and works there.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

const here = new URL("..", import.meta.url).pathname;

test("the tarball installs offline and decodes", () => {
    const folder = mkdtempSync(join(tmpdir(), "dorvik-c-pack-"));
    try {
        const packed = JSON.parse(execFileSync("npm", ["pack", "--json", "--pack-destination", folder], { cwd: here, encoding: "utf8" }));
        const files = packed[0].files.map((f) => f.path).sort();
        assert.deepEqual(files, ["LICENSE", "README.md", "browser.d.ts", "browser.js", "browser/hid-pos.js",
            "browser/keyboard.js", "browser/poll.js", "browser/serial.js", "dorvik_c.wasm", "index.d.ts", "index.js", "package.json"]);
        const app = join(folder, "app");
        execFileSync("mkdir", [app]);
        writeFileSync(join(app, "package.json"), '{"name":"app","private":true,"type":"module"}');
        execFileSync("npm", ["install", "--offline", "--no-audit", "--no-fund", join(folder, packed[0].filename)], { cwd: app });
        writeFileSync(join(app, "main.js"), `import { loadDorvik } from "dorvik-c";
import { SET1 } from "dorvik-c/browser";
const dvk = await loadDorvik();
process.stdout.write(dvk.decodeFrame("0104607097291111215Qbag!\\x1d93Zjqw").gtin + " " + dvk.version + " " + SET1.KeyA);`);
        const out = execFileSync("node", ["main.js"], { cwd: app, encoding: "utf8" });
        assert.equal(out, `04607097291111 ${packed[0].version} 30`);
        assert.ok(readdirSync(join(app, "node_modules", "dorvik-c")).includes("dorvik_c.wasm"));
    } finally {
        rmSync(folder, { recursive: true, force: true });
    }
});
