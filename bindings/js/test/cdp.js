// Headless Chromium over the DevTools protocol on a pipe (--remote-debugging-pipe): no WebSocket, no
// dependency. One page per browser; `send` speaks to it, `browser` to the browser itself.
import { execFileSync, spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

export const chromium = (() => {
    try {
        return execFileSync("sh", ["-c", "command -v chromium"], { encoding: "utf8" }).trim();
    } catch {
        return "";
    }
})();

export async function launch() {
    const profile = mkdtempSync(join(tmpdir(), "dorvik-c-cdp-"));
    const child = spawn(chromium, ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync", "--hide-scrollbars",
        `--user-data-dir=${profile}`, "--remote-debugging-pipe", "about:blank"],
    { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });
    const [toBrowser, fromBrowser] = [child.stdio[3], child.stdio[4]];
    let nextId = 1;
    const waiting = new Map();
    const listeners = [];
    let pending = Buffer.alloc(0);
    fromBrowser.on("data", (chunk) => {
        pending = Buffer.concat([pending, chunk]);
        for (let end; (end = pending.indexOf(0)) >= 0; pending = pending.subarray(end + 1)) {
            const message = JSON.parse(pending.subarray(0, end).toString("utf8"));
            const call = waiting.get(message.id);
            if (call) {
                waiting.delete(message.id);
                if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
                else call.resolve(message.result);
            } else if (message.method) {
                for (const listener of listeners) listener(message);
            }
        }
    });
    const exited = new Promise((resolve) => child.on("exit", resolve));
    function raw(method, params = {}, sessionId) {
        const id = nextId++;
        toBrowser.write(JSON.stringify({ id, method, params, ...(sessionId ? { sessionId } : {}) }) + "\0");
        return new Promise((resolve, reject) => waiting.set(id, { resolve, reject, method }));
    }
    const { targetId } = await raw("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await raw("Target.attachToTarget", { targetId, flatten: true });
    const send = (method, params) => raw(method, params, sessionId);
    await send("Page.enable");
    await send("Runtime.enable");
    return {
        send,
        browser: raw,
        /** The value of an expression, awaited when it is a promise. */
        async evaluate(expression) {
            const r = await send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
            if (r.exceptionDetails) throw new Error(`in page: ${r.exceptionDetails.exception?.description ?? r.exceptionDetails.text}`);
            return r.result.value;
        },
        async goto(url) {
            const loaded = new Promise((resolve) => {
                const listener = (m) => m.method === "Page.loadEventFired" && m.sessionId === sessionId && resolve();
                listeners.push(listener);
            });
            await send("Page.navigate", { url });
            await loaded;
            listeners.length = 0;
        },
        async close() {
            // Browser.close lets the helper processes go before the profile folder is removed.
            const timer = setTimeout(() => child.kill(), 5000);
            await raw("Browser.close").catch(() => {});
            await exited;
            clearTimeout(timer);
            rmSync(profile, { recursive: true, force: true, maxRetries: 5, retryDelay: 100 });
        },
    };
}
