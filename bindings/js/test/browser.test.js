// The package in a page: headless Chromium loads index.js from a local server, and the module fetches the
// .wasm found next to it, with no other source. Skipped where no Chromium is installed.
import assert from "node:assert/strict";
import { execFile, execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

const here = new URL("..", import.meta.url).pathname;
const chromium = (() => {
    try {
        return execFileSync("sh", ["-c", "command -v chromium"], { encoding: "utf8" }).trim();
    } catch {
        return "";
    }
})();

const page = `<!doctype html><pre id="out">loading</pre><script type="module">
import { loadDorvik } from "/index.js";
const out = document.getElementById("out");
try {
    const dvk = await loadDorvik();
    const e = dvk.decodeFrame("0104607097291111" + "21ABCDEFG" + "\\x1d8005123456" + "\\x1d93Tq5x");
    const svg = dvk.barcodeSvg("datamatrix", "0104607097291111", { gs1: true });
    out.textContent = ["ok", dvk.version, e.kind, e.gtin, e.mrc, svg.startsWith("<svg")].join(" ");
} catch (err) {
    out.textContent = "error " + err;
}
</script>`;

test("a page loads the package and its module from where index.js lies", { skip: !chromium && "no chromium" }, async () => {
    const asked = [];
    const types = { js: "text/javascript", wasm: "application/wasm" };
    const server = createServer((request, response) => {
        asked.push(request.url);
        if (request.url === "/") return response.writeHead(200, { "content-type": "text/html" }).end(page);
        const name = request.url.slice(1);
        if (!["index.js", "dorvik_c.wasm"].includes(name)) return response.writeHead(404).end();
        response.writeHead(200, { "content-type": types[name.split(".").pop()] }).end(readFileSync(join(here, name)));
    });
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    const profile = mkdtempSync(join(tmpdir(), "dorvik-c-chromium-"));
    try {
        const url = `http://127.0.0.1:${server.address().port}/`;
        const dom = await new Promise((resolve, reject) =>
            execFile(chromium, ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", `--user-data-dir=${profile}`, "--virtual-time-budget=10000",
                "--dump-dom", url], { timeout: 60000 }, (error, stdout) => (error ? reject(error) : resolve(stdout))));
        const version = JSON.parse(readFileSync(join(here, "package.json"), "utf8")).version;
        assert.match(dom, new RegExp(`<pre id="out">ok ${version.replaceAll(".", "\\.")} 8 04607097291111 123456 true</pre>`));
        assert.deepEqual(asked.filter((u) => u !== "/favicon.ico").sort(), ["/", "/dorvik_c.wasm", "/index.js"]);
    } finally {
        server.close();
        rmSync(profile, { recursive: true, force: true });
    }
});
