// The package in a page: headless Chromium and Firefox load index.js from a local server, and the module
// fetches the .wasm found next to it, with no other source. The page posts what it got back to the server.
// A browser that is not installed is skipped.
import assert from "node:assert/strict";
import { execFileSync, spawn } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { createServer } from "node:http";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

const here = new URL("..", import.meta.url).pathname;
const installed = (name) => {
    try {
        return execFileSync("sh", ["-c", `command -v ${name}`], { encoding: "utf8" }).trim();
    } catch {
        return "";
    }
};

const page = `<!doctype html><script type="module">
let got;
try {
    const { loadDorvik } = await import("/index.js");
    const dvk = await loadDorvik();
    const e = dvk.decodeFrame("0104607097291111" + "21ABCDEFG" + "\\x1d8005123456" + "\\x1d93Tq5x");
    const svg = dvk.barcodeSvg("datamatrix", "0104607097291111", { gs1: true });
    got = ["ok", dvk.version, e.kind, e.gtin, e.mrc, svg.startsWith("<svg")].join(" ");
} catch (err) {
    got = "error " + err;
}
fetch("/result", { method: "POST", body: got });
</script>`;

// Command lines that open a URL headless with a throw-away profile and reach nothing but the local server.
const browsers = {
    chromium: (binary, profile, url) => [binary, ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync", `--user-data-dir=${profile}`,
        url]],
    "firefox-esr": (binary, profile, url) => {
        writeFileSync(join(profile, "user.js"), ["app.update.enabled", "browser.shell.checkDefaultBrowser",
            "datareporting.policy.dataSubmissionEnabled", "toolkit.telemetry.enabled", "network.captive-portal-service.enabled",
            "extensions.update.enabled", "browser.safebrowsing.update.enabled"].map((p) => `user_pref("${p}", false);\n`).join(""));
        return [binary, ["--headless", "--no-remote", "--profile", profile, url]];
    },
};

for (const [name, command] of Object.entries(browsers)) {
    const binary = installed(name);
    test(`${name}: a page loads the package and its module from where index.js lies`, { skip: !binary && `no ${name}` }, async () => {
        const asked = [];
        const types = { js: "text/javascript", wasm: "application/wasm" };
        let answer;
        const answered = new Promise((resolve) => (answer = resolve));
        const server = createServer((request, response) => {
            asked.push(request.url);
            if (request.url === "/") return response.writeHead(200, { "content-type": "text/html" }).end(page);
            if (request.url === "/result") {
                let body = "";
                request.on("data", (chunk) => (body += chunk)).on("end", () => (response.end(), answer(body)));
                return;
            }
            const file = request.url.slice(1);
            if (!["index.js", "dorvik_c.wasm"].includes(file)) return response.writeHead(404).end();
            response.writeHead(200, { "content-type": types[file.split(".").pop()] }).end(readFileSync(join(here, file)));
        });
        await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
        const profile = mkdtempSync(join(tmpdir(), `dorvik-c-${name}-`));
        const [program, args] = command(binary, profile, `http://127.0.0.1:${server.address().port}/`);
        const browser = spawn(program, args, { stdio: "ignore" });
        let timer;
        try {
            const got = await Promise.race([answered, new Promise((_, reject) => {
                timer = setTimeout(() => reject(new Error(`${name} sent no result in 60 s`)), 60000);
            })]);
            const version = JSON.parse(readFileSync(join(here, "package.json"), "utf8")).version;
            assert.equal(got, `ok ${version} 8 04607097291111 123456 true`);
            assert.deepEqual(asked.filter((u) => u !== "/favicon.ico").sort(), ["/", "/dorvik_c.wasm", "/index.js", "/result"]);
        } finally {
            clearTimeout(timer);
            browser.kill();
            await new Promise((resolve) => (browser.exitCode !== null ? resolve() : browser.once("exit", resolve)));
            server.close();
            rmSync(profile, { recursive: true, force: true, maxRetries: 5, retryDelay: 100 }); // the browser may still be letting go of it
        }
    });
}
