// Compiled by tsc in npm test: the declarations accept the documented uses and refuse wrong ones.
import { CodeKind, KeyAction, ModifierBits, loadDorvik, type Dorvik, type Link, type LinkNotice, type ScanEvent, type PollResult, type Profile } from "dorvik-c";

async function use(): Promise<void> {
    const dvk: Dorvik = await loadDorvik({ wasm: new URL("./dorvik_c.wasm", import.meta.url) });
    const version: string = dvk.version;
    const scan: ScanEvent = dvk.decodeFrame("0104607097291111215Qbag!", { profile: { gsMissing: true }, deviceId: "kbd" });
    const exact: string = dvk.decodeFrame(new Uint8Array([0x31]), { json: true });
    const svg: string = dvk.barcodeSvg("datamatrix", "x", { gs1: true, scale: 3, quiet: 2 });
    const kind: CodeKind = scan.kind;
    const isMarking: boolean = scan.kind === CodeKind.DataMatrix;
    // @ts-expect-error a kind is one of CodeKind's numbers
    const noKind: CodeKind = 13;
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
    const link: Link = dvk.createLink(dec, "COM3", { setUp: true });
    link.keyWith(dvk.keyCodes["KeyA"] ?? 0, KeyAction.Press, ModifierBits.Shift | ModifierBits.CapsLock, 1);
    link.keyWith(0x38, KeyAction.Release, { alt: false }, 2);
    link.key(0x2a, 1, 3n);
    link.bytes(new Uint8Array([0x31, 0x0d]), 4);
    const layout: 1 | 0 | -1 = link.hidPosCollections([]);
    const report: boolean = link.hidPosReport(2, new DataView(new ArrayBuffer(61)), performance.now());
    link.tick(5);
    link.end(6);
    const wake: number = link.wakeAt();
    const notices: LinkNotice[] = link.notices();
    const taken2: boolean = link.useProfile(dec.profile({ json: true }));
    const linkPoll: PollResult = link.poll();
    // @ts-expect-error an action is 0, 1 or 2
    link.key(30, 3, 1);
    link.free();
    dec.free();
    // @ts-expect-error a scan code is a number
    dec.feedKey("30", {}, 1);
    // @ts-expect-error the parsed profile is not a string
    const wrong: string = dec.profile();
    void [version, scan, exact, svg, ok, applied, profile, stored, bytes, taken, step, wrong, kind, isMarking, noKind,
        layout, report, wake, notices, taken2, linkPoll];
}
void use;

import { attachHidPos, attachKeyboard, attachSerial, SET1, type NoticeError, type SerialPortLike } from "dorvik-c/browser";

async function host(dvk: Dorvik, port: SerialPortLike, device: EventTarget & { opened: boolean; open(): Promise<void> }): Promise<void> {
    const dec = dvk.createDecoder();
    const link = dvk.createLink(dec, "kbd");
    const kb = attachKeyboard(link, undefined, { capture: "all", onScan: (s) => s.gtin, onError: (e) => e.message });
    kb.detach();
    const s = await attachSerial(link, port, { profile: { baud: 9600 }, onError: (e) => e.message });
    await s.close();
    const h = await attachHidPos(link, device, { onError: (e) => (isNotice(e) ? e.notice.bytes : 0) });
    await h.close();
    const code: number | undefined = SET1["KeyA"];
    // @ts-expect-error capture is "auto" or "all"
    attachKeyboard(link, window, { capture: "some" });
    // A bare decoder is linked by the host itself.
    attachKeyboard(dec, window, { deviceId: "kbd" }).detach();
    // @ts-expect-error the layout comes from the device's descriptor
    await attachHidPos(link, device, { layout: { moreAt: 62 } });
    void code;
}
function isNotice(e: Error): e is NoticeError {
    return e.name === "CodeCutError" || e.name === "BytesSkippedError";
}
void host;
