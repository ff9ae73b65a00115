// The set-up wizard and a till view in one page, over the package and its browser hosts. Nothing leaves the
// page: the learned profile is kept in localStorage and offered as a file. Each view feeds its own decoder
// through a link of the host kit: the wizard's frames as a set-up does (by time alone, so that the
// scanner's own terminator arrives whole for the tuner to learn), the till's with the learned profile.
import { loadDorvik } from "dorvik-c";
import { attachHidPos, attachKeyboard, attachSerial } from "dorvik-c/browser";

const PROFILE_KEY = "dorvik-c-profile";
const $ = (id) => document.getElementById(id);
const dvk = await loadDorvik();

const SOURCES = {
    keyboard: { name: "клавиатурный", transport: "hid", deviceId: "keyboard" },
    serial: { name: "COM-порт", transport: "serial", deviceId: "serial" },
    hid: { name: "HID-POS", transport: "hid", deviceId: "hid-pos" },
};
let source = { kind: "keyboard", port: null, device: null };
let view = "wizard";
let host = null;

const wizard = { decoder: dvk.createDecoder(), link: null, tuner: null, arrived: [], input: [] };
const till = { decoder: dvk.createDecoder(), link: null };

// A fresh link for the view's decoder under the source's device id: the wizard's in set-up mode, the till's
// with the stored profile.
function linkFor(which) {
    const side = which === "wizard" ? wizard : till;
    side.link?.free();
    side.link = dvk.createLink(side.decoder, SOURCES[source.kind].deviceId, { setUp: which === "wizard" });
    if (which === "till") side.link.useProfile(localStorage.getItem(PROFILE_KEY) ?? "{}");
    return which === "wizard" ? recording(side.link, wizard.input) : side.link;
}

// The wizard's link as its host sees it, keeping every input with its time: what the scanner sent, for a
// support engineer to replay through the kit (dorvikExample.input).
const INPUTS = new Set(["keyWith", "key", "bytes", "hidPosReport", "hidPosStream", "tick", "end"]);
function recording(link, log) {
    const bytes = (value) => Array.from(ArrayBuffer.isView(value) ? new Uint8Array(value.buffer, value.byteOffset, value.byteLength) : new TextEncoder().encode(value));
    return new Proxy(link, {
        get(target, name) {
            const value = Reflect.get(target, name, target);
            if (typeof value !== "function") return value;
            if (!INPUTS.has(name)) return value.bind(target);
            return (...args) => {
                log.push([name, ...args.map((a) => (ArrayBuffer.isView(a) || typeof a === "string" ? bytes(a) : a))]);
                return value.apply(target, args);
            };
        },
    });
}

// Control characters as the tuner's findings spell them, so that what arrived reads the same way.
const CONTROL_NAMES = { 0x1d: "GS", 0x1e: "RS", 0x0d: "CR", 0x0a: "LF", 0x09: "TAB" };
function visible(text) {
    const chars = typeof text === "string" ? Array.from(text) : Array.from(text, (b) => String.fromCharCode(b));
    return chars.map((c) => {
        const code = c.codePointAt(0);
        return code < 0x20 ? `⟨${CONTROL_NAMES[code] ?? code}⟩` : c;
    }).join("");
}

function showError(error) {
    $("error").hidden = !error;
    $("error").textContent = error ? `Ошибка: ${error.message ?? error}` : "";
}

// ---- input ----

async function attach() {
    await detach();
    const link = linkFor(view);
    const handlers = { onFrame, onScan, onError: (e) => showError(e) };
    if (source.kind === "serial") host = await attachSerial(link, source.port, handlers);
    else if (source.kind === "hid") host = await attachHidPos(link, source.device, handlers);
    // The wizard page only scans; the till keeps its search field for a person.
    else host = attachKeyboard(link, window, { ...handlers, capture: view === "wizard" ? "all" : "auto" });
}

async function detach() {
    const old = host;
    host = null;
    await (old?.detach?.() ?? old?.close?.());
}

function onFrame(frame) {
    if (view !== "wizard" || !wizard.tuner) return;
    wizard.arrived.push(frame);
    wizard.tuner.feed(frame);
    renderWizard();
}

function onScan(scan) {
    if (view === "till") addScanRow(scan);
}

async function useSource(kind) {
    showError(null);
    try {
        if (kind === "serial") source = { kind, port: await navigator.serial.requestPort() };
        else if (kind === "hid") {
            const [device] = await navigator.hid.requestDevice({ filters: [{ usagePage: 0x8c }] });
            if (!device) return;
            source = { kind, device };
        } else source = { kind };
    } catch (error) {
        return showError(error);
    }
    $("source-name").textContent = SOURCES[kind].name;
    startWizard();
    await attach().catch(showError);
}

// ---- wizard ----

function startWizard() {
    wizard.tuner?.free();
    wizard.tuner = dvk.createTuner(SOURCES[source.kind].transport, "");
    wizard.decoder.reset(); // what came before the restart is no scan of its first step
    wizard.arrived = [];
    wizard.input.length = 0;
    renderWizard();
}

function referencePicture(code) {
    // Large enough to scan from a screen: 8 px a module for DataMatrix, 4 px a bar module for linear codes.
    const scale = code.symbology === "datamatrix" ? 8 : 4;
    try {
        return dvk.barcodeSvg(code.symbology, code.payload, { gs1: code.gs1, scale });
    } catch (error) {
        showError(error);
        return "";
    }
}

function renderWizard() {
    const s = wizard.tuner.state();
    $("wizard").dataset.step = String(s.step);
    $("counter").textContent = s.done ? "Готово" : `Шаг ${s.step + 1} из ${s.total}`;
    $("prompt").textContent = s.prompt;
    $("hint").textContent = s.hint;
    $("reference").innerHTML = s.code ? referencePicture(s.code) : "";
    if (s.code) {
        const caption = document.createElement("figcaption");
        caption.textContent = s.code.payloadVisible;
        $("reference").append(caption);
    }
    const last = wizard.arrived[wizard.arrived.length - 1];
    $("arrived-box").hidden = !last;
    if (last) {
        const gaps = last.gapsMs.length ? `, паузы до ${Math.max(...last.gapsMs)} мс` : "";
        $("arrived").textContent = `${visible(last.frame)}\n(${last.deviceId}${gaps})`;
    }
    $("findings").replaceChildren(...s.findings.map((f) => {
        const item = document.createElement("li");
        item.className = f.level;
        item.append(f.title);
        for (const part of ["detail", "advice"]) {
            if (!f[part]) continue;
            const line = document.createElement("span");
            line.className = part;
            line.textContent = f[part];
            item.append(line);
        }
        return item;
    }));
    $("summary").textContent = s.summary;
    $("skip").disabled = s.done;
    $("result").hidden = !s.done;
    if (s.done) keepProfile(s.profile);
}

// The profile as the library writes it: the text a decoder takes back.
function keepProfile(profile) {
    const scratch = dvk.createDecoder();
    scratch.setProfile(profile);
    const text = scratch.profile({ json: true });
    scratch.free();
    localStorage.setItem(PROFILE_KEY, text);
    till.link?.useProfile(text); // the till's next link takes it from the store
    $("profile").textContent = text;
    const link = $("download");
    if (link.href) URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(new Blob([text + "\n"], { type: "application/json" }));
}

// ---- till ----

function addScanRow(scan) {
    const row = document.createElement("tr");
    const serial = typeof scan.serial === "string" ? scan.serial : visible(scan.serial);
    for (const [text, name] of [[new Date().toLocaleTimeString("ru-RU"), ""], [scan.kindTitle, "kind"],
        [scan.gtin, "gtin"], [serial, "serial"], [scan.warnings.join("; "), "warnings"]]) {
        const cell = document.createElement("td");
        cell.className = name;
        cell.textContent = text;
        row.append(cell);
    }
    $("scans").prepend(row);
}

function renderTill() {
    const stored = localStorage.getItem(PROFILE_KEY);
    $("till-profile").textContent = stored
        ? "Профиль сканера настроен."
        : "Сканер не настроен: пройдите «Настройку сканера», пока действуют настройки по умолчанию.";
}

async function show(next) {
    view = next;
    $("wizard").hidden = view !== "wizard";
    $("till").hidden = view !== "till";
    $("show-wizard").setAttribute("aria-pressed", String(view === "wizard"));
    $("show-till").setAttribute("aria-pressed", String(view === "till"));
    if (view === "till") renderTill();
    await attach().catch(showError);
}

$("show-wizard").onclick = () => show("wizard");
$("show-till").onclick = () => show("till");
$("use-keyboard").onclick = () => useSource("keyboard");
$("use-serial").onclick = () => useSource("serial");
$("use-hid").onclick = () => useSource("hid");
$("use-serial").hidden = !navigator.serial;
$("use-hid").hidden = !navigator.hid;
$("skip").onclick = () => {
    wizard.tuner.skip();
    renderWizard();
};
$("restart").onclick = startWizard;

// For a support engineer at the console: the frames the wizard received, as the tuner got them, and the
// input its link was given ([call, …arguments], bytes as arrays, times in ms of the page's clock).
window.dorvikExample = {
    get arrived() {
        return wizard.arrived.slice();
    },
    get input() {
        return wizard.input.slice();
    },
};

startWizard();
await show(location.hash === "#till" ? "till" : "wizard");
document.body.dataset.ready = "true";
