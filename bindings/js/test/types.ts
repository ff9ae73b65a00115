// Compiled by tsc in npm test: the declarations accept the documented uses and refuse wrong ones.
import { loadDorvik, type Dorvik, type ScanEvent, type PollResult, type Profile } from "dorvik-c";

async function use(): Promise<void> {
    const dvk: Dorvik = await loadDorvik({ wasm: new URL("./dorvik_c.wasm", import.meta.url) });
    const version: string = dvk.version;
    const scan: ScanEvent = dvk.decodeFrame("0104607097291111215Qbag!", { profile: { gsMissing: true }, deviceId: "kbd" });
    const exact: string = dvk.decodeFrame(new Uint8Array([0x31]), { json: true });
    const svg: string | null = dvk.barcodeSvg("datamatrix", "x", { gs1: true, scale: 3, quiet: 2 });
    const ok: boolean = dvk.keyForChar("A").ok;
    const dec = dvk.createDecoder();
    const applied: boolean = dec.setProfile({ terminator: "\r" });
    const profile: Profile = dec.profile();
    const stored: string = dec.profile({ json: true });
    const bytes: Uint8Array = dec.profile({ bytes: true });
    dec.bind("kbd");
    dec.feedKey(0x1b, { ctrl: true }, performance.now(), "kbd");
    dec.feedBytes(new Uint8Array([0x31, 0x0d]), "COM3", 10n);
    dec.tick(Date.now());
    const polled: PollResult = dec.poll();
    dec.reset();
    const tuner = dvk.createTuner("hid", "kbd");
    const taken: boolean = tuner.feed(polled.frames[0]);
    const step: number = tuner.state().step;
    tuner.skip();
    tuner.free();
    dec.free();
    // @ts-expect-error a scan code is a number
    dec.feedKey("30", {}, 1);
    // @ts-expect-error the parsed profile is not a string
    const wrong: string = dec.profile();
    void [version, scan, exact, svg, ok, applied, profile, stored, bytes, taken, step, wrong];
}
void use;

import { attachHidPos, attachKeyboard, attachSerial, SET1, type SerialPortLike } from "dorvik-c/browser";

async function host(dvk: Dorvik, port: SerialPortLike, device: EventTarget & { opened: boolean; open(): Promise<void> }): Promise<void> {
    const dec = dvk.createDecoder();
    const kb = attachKeyboard(dec, undefined, { deviceId: "kbd", capture: "all", onScan: (s) => s.gtin });
    kb.detach();
    const s = await attachSerial(dec, port, { profile: { baud: 9600 }, onError: (e) => e.message });
    await s.close();
    const h = await attachHidPos(dec, device, { layout: { moreAt: 62 } });
    await h.close();
    const code: number | undefined = SET1["KeyA"];
    // @ts-expect-error capture is "auto" or "all"
    attachKeyboard(dec, window, { capture: "some" });
    void code;
}
void host;
