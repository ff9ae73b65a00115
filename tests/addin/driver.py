#!/usr/bin/env python3
"""Drives the test host (host.cpp) through the add-in's life in the platform: the checks that need no device,
then a serial scanner simulated on a pseudo-terminal (under Wine a COM port of the prefix's dosdevices): the
set-up wizard on the connected scanner, scans as external events with the learned profile, a burst of 100
scans in a second while the platform delivers nothing, disconnecting, the cable pulled, and connecting again.
Usage: driver.py HOST COMPONENT LIBRARY CORPUS [WINE WINEPREFIX]"""
import fcntl, json, os, subprocess, sys, termios, time, tty

host_exe, component, library, corpus = sys.argv[1:5]
wine, prefix = (sys.argv[5], sys.argv[6]) if len(sys.argv) > 6 else (None, None)
WAIT_MS = "60000"  # only a guard against a hang: every wait ends as soon as its events came
CODES = ["4600000000008", "0104607097291111\x1d3103000123", "010460709729111121ABCDEFG\x1d8005123456\x1d93Tq5x"]
problems = []


def check(ok, what):
    if not ok:
        problems.append(what)
        print("FAILED:", what, flush=True)


def ean13(body):
    total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(body))
    return body + str((10 - total % 10) % 10)


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"n": "\n", "r": "\r", "t": "\t"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\") if wine else path


class Host:
    def __init__(self):
        argv = [wine, host_exe] if wine else [host_exe]
        env = dict(os.environ, WINEPREFIX=prefix or "", WINEDEBUG="-all")
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)

    def send(self, *fields):
        """The host's answer (head, value) and the events it delivered on the way."""
        self.proc.stdin.write(("\t".join(escape(f) for f in fields) + "\n").encode())
        self.proc.stdin.flush()
        events = []
        while True:
            raw = self.proc.stdout.readline()
            if not raw:
                sys.exit(f"the host ended during {fields[:2]} (exit status {self.proc.wait()})\n" +
                         "\n".join(problems))
            line = raw.decode().rstrip("\n")
            head, _, rest = line.partition(" ")
            if head == "FAIL":
                check(False, f"host, during {fields[:2]}: {unescape(rest)}")
            elif head in ("event", "member"):
                events.append([unescape(f) for f in rest.split("\t")] if head == "event" else
                              unescape(rest).split("\t"))
            elif head in ("ok", "fail", "waited", "checked", "bye"):
                return head, unescape(rest), events

    def call(self, method, *args, proc=False):
        head, value, _ = self.send("proc" if proc else "call", method, *args)
        check(head == "ok", f"{method}{args}: {value}")
        return value

    def prop(self, name):
        return self.send("prop", name)[1]

    def wait(self, message, count):
        """The events of `message` that came until `count` of them had come, and how many the buffer lost."""
        _, value, events = self.send("wait", message, str(count), WAIT_MS)
        for source, _, _ in events:
            check(source == "DorvikScanner", f"event source {source}")
        kept, lost = map(int, value.split())
        check(lost == 0, f"{lost} {message} events lost in the platform's buffer")
        return [data for _, name, data in events if name == message]


class Line:
    """A serial line: the scanner's end here, the device's end for the component."""
    count = 0

    def __init__(self):
        self.scanner, port = os.openpty()
        tty.setraw(port)
        # A session of its own: wineserver would otherwise take the terminal as its controlling one.
        self.holder = subprocess.Popen(["sleep", "600"], start_new_session=True, pass_fds=[port],
                                       preexec_fn=lambda: fcntl.ioctl(port, termios.TIOCSCTTY, 0))
        self.device = os.ttyname(port)
        os.close(port)
        if wine:
            Line.count += 1
            link = os.path.join(prefix, "dosdevices", f"com{20 + Line.count}")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(self.device, link)
            self.device = f"COM{20 + Line.count}"

    def write(self, text):
        os.write(self.scanner, text.encode())

    def unplug(self):
        os.close(self.scanner)
        self.holder.kill()


host = Host()
head, value, _ = host.send("load", windows_path(component), windows_path(library))
if head != "ok":
    sys.exit("the component did not load:\n" + "\n".join(problems))

# Every member by both its names, upper- and lower-cased too; read-only properties; documented defaults.
_, _, members = host.send("members")
props, methods = [m for m in members if m[0] == "prop"], [m for m in members if m[0] == "method"]
check((len(props), len(methods)) == (3, 16), f"{len(props)} properties, {len(methods)} methods")
for kind, index, en, ru, *rest in members:
    for name in (en, ru, en.upper(), ru.upper(), en.lower(), ru.lower()):
        found = host.send("find", name)[1].split()[0 if kind == "prop" else 1]
        check(found == index, f"{name} found as {found}, not {index}")
    if kind == "prop":
        check(rest[1:] == ["1", "0"], f"{en} is not read-only: {rest}")
version = host.send("lib", "version")[1]
check([p[4] for p in props] == [version, "b false", "b false"], f"properties: {props}")
defaults = {m[2]: m[6:] for m in methods}
for method, wanted in {"Decode": ["-", "s "], "BarcodePng": ["-", "-", "b false", "n 4", "n 4"],
                       "Connect": ["-", "-", "s "], "StartSetup": ["s ", "s "]}.items():
    check(defaults.get(method) == wanted, f"defaults of {method}: {defaults.get(method)}")
check(host.send("find", "NoSuchMember")[1] == "-1 -1", "an unknown name was found")

# Arguments of a wrong type, and values the component cannot use: false, an error text, AddError.
for method, *args in [("Decode", "n:5"), ("РазобратьКод", "s:4600000000008", "b:1"), ("DecodeTyped", "d:1.5"),
                      ("KeyForChar", "b:1"), ("KeyForChar", "s:"), ("BarcodeSvg", "s:ean13", "s:1", "s:yes"),
                      ("ШтрихкодSVG", "s:ean13", "s:4600000000008", "b:0", "s:4"),
                      ("BarcodeSvg", "s:ean13", "s:not digits"), ("BarcodePng", "n:1", "s:4600000000008"),
                      ("Connect", "n:1", "s:COM1"), ("Подключить", "s:no such transport", "s:COM1"),
                      ("DeviceTest", "s:serial", "b:1"), ("ТестУстройства", "s:serial", "s:/no/such/port"),
                      ("StartSetup", "n:1"), ("FeedSetup", "n:1"), ("SetupState",), ("LearnedProfile",),
                      ("Decode",)]:
    head, value, _ = host.send("call", method, *args)
    check(head == "fail" and value, f"{method}{tuple(args)} gave {head} {value}")

# Error texts in the language of the locale the platform sets (Windows' platform says rus_RUS).
for locale, russian in [("ru_RU", True), ("en_US", False), ("rus_RUS", True), ("eng_USA", False)]:
    host.send("locale", locale)
    error = host.send("call", "Decode", "n:1")[1]
    check(any("а" <= c.lower() <= "я" for c in error) == russian and error.isascii() != russian,
          f"error text under {locale}: {error}")
host.send("locale", "ru_RU")

# The services by both names, as functions and as procedures, against the library's own answers.
GS1 = "0104607097291111\x1d3103000123"
for en, ru, args, wanted in [
        ("GetVersion", "ПолучитьНомерВерсии", [], ("lib", "version")),
        ("Decode", "РазобратьКод", ["s:" + GS1], ("lib", "decode", "", GS1)),
        ("KeyForChar", "КлавишаСимвола", ["s:A"], ("lib", "key", "A")),
        ("BarcodeSvg", "ШтрихкодSVG", ["s:ean13", "s:4600000000008"], ("lib", "svg", "ean13", "4600000000008", "0", "4", "4")),
        ("BarcodeSvg", "ШтрихкодSVG", ["s:code128", "s:ABC-123", "b:1", "d:2.0"], ("lib", "svg", "code128", "ABC-123", "1", "2", "4")),
        ("BarcodePng", "ШтрихкодPNG", ["s:datamatrix", "s:" + GS1, "b:1"], None)]:
    results = {host.send("call", name, *args)[1] for name in (en, ru)}
    expected = host.send(*wanted)[1] if wanted else "blob"
    check(len(results) == 1 and results.pop().startswith(expected), f"{en}{tuple(args)}: {results} not {expected[:60]}")
    check(host.send("proc", en, *args)[0] == "ok", f"{en} as a procedure")
check(host.call("BarcodePng", "s:ean13", "s:4600000000008").split()[2].startswith("89504e470d0a1a0a"), "no PNG")
check(host.call("BarcodeSvg", "s:ean13", "s:4600000000008").startswith("s <svg"), "no SVG")

# The real codes through Decode and DecodeTyped, byte for byte the library's dvk_decode_frame.
codes = [l.split("\t")[2] for l in open(corpus, encoding="utf-8") if not l.startswith("#") and l.count("\t") >= 2]
missing = '{"gsMissing": true}'
for code in (c.replace("<GS>", "\x1d") for c in codes):
    bare = code.replace("\x1d", "")
    for method, text, profile, library_profile in [("Decode", code, None, ""), ("Decode", bare, missing, missing),
                                                   ("DecodeTyped", bare, None, missing),
                                                   ("РазобратьНабранное", bare, '{"terminator": "\\r"}', missing)]:
        got = host.send("call", method, "s:" + text, *(["s:" + profile] if profile else []))[1]
        want = host.send("lib", "decode", library_profile, text)[1]
        check(got == want, f"{method} {text!r}:\n got {got}\nwant {want}")
print(f"{len(codes)} real codes decoded through the add-in; {len(problems)} problems so far", flush=True)

# The set-up of a keyboard scanner typing into a form field: each step's code handed over by FeedSetup.
state = json.loads(host.call("StartSetup")[2:])
for step in range(5):
    check(host.call("ПередатьНастройке", "s:" + state["code"]["payload"]) == "b true", f"FeedSetup, step {step}")
    state = json.loads(host.call("SetupState")[2:])
check(state["done"] and json.loads(host.call("LearnedProfile")[2:]).get("configured"), "the typed set-up")

# The set-up wizard on a connected scanner: each step's reference code scanned as the state asks.
line = Line()
test = host.call("DeviceTest", "s:serial", "s:" + line.device)
check(line.device in test and "9600" in test, f"DeviceTest says {test}")
check(host.call("Connect", "s:serial", "s:" + line.device) == "b true", "Connect")
check(host.prop("Connected") == "b true", "Connected after Connect")
state = json.loads(host.call("StartSetup", "s:", "s:")[2:])
check(host.prop("InSetup") == "b true", "InSetup after StartSetup")
steps = 0
while not state["done"] and steps < 10:
    line.write(state["code"]["payload"] + "\r")
    setup = host.wait("Setup", 1)
    check(len(setup) == 1, f"step {state['step']}: {len(setup)} Setup events")
    if not setup:
        break
    state = json.loads(setup[-1])
    steps += 1
check(state["done"] and steps == 5, f"the set-up took {steps} scans and ended with done={state['done']}")
if not state["done"]:
    sys.exit("\n".join(problems))
learned = host.call("LearnedProfile")[2:]
profile = json.loads(learned)
check(profile.get("transport") == "serial" and profile.get("terminator") == "\r", f"learned {learned}")
host.call("StopSetup", proc=True)
check(host.prop("InSetup") == "b false", "InSetup after StopSetup")

# Scans with the learned profile, each an external event; a second Connect replaces the first.
check(host.call("Connect", "s:serial", "s:" + line.device, "s:" + learned) == "b true", "Connect with the profile")
for code in CODES:
    line.write(code + "\r")
    scans = [json.loads(data) for data in host.wait("Scan", 1)]
    check([s.get("data") for s in scans] == [code], f"scan of {code!r}: {scans}")

# 100 scans within a second while the platform is busy: all must wait in its buffer.
burst = [ean13(f"46{i:010d}") for i in range(100)]
for code in burst:
    line.write(code + "\r")
    time.sleep(0.008)
scans = [json.loads(data).get("data") for data in host.wait("Scan", 100)]
check(scans == burst, f"the burst: {len(scans)} scans, first differing at " +
      str(next((i for i, (a, b) in enumerate(zip(scans, burst)) if a != b), min(len(scans), 100))))

host.call("Disconnect", proc=True)
check(host.prop("Connected") == "b false", "Connected after Disconnect")

# The cable pulled, then plugged into another port.
check(host.call("Подключить", "s:serial", "s:" + line.device, "s:" + learned) == "b true", "Connect again")
line.unplug()
gone = host.wait("Disconnected", 1)
check(len(gone) == 1, f"Disconnected events when the cable was pulled: {gone}")
check(host.prop("Connected") == "b false", "Connected after the cable was pulled")
line = Line()
check(host.call("Connect", "s:serial", "s:" + line.device, "s:" + learned) == "b true", "Connect after unplug")
line.write(CODES[1] + "\r")
scans = [json.loads(data).get("data") for data in host.wait("Scan", 1)]
check(scans == [CODES[1]], f"scan after reconnecting: {scans}")

# Done with the reader running: it must be joined there, and everything handed over freed.
head, value, _ = host.send("quit")
print("host:", value, flush=True)
check(head == "bye" and host.proc.wait() == 0, f"the host ended with {value}")
line.unplug()
if problems:
    sys.exit(f"{len(problems)} problems")
print("the add-in in the test host: checks, set-up, scans, a burst of 100, unplug and reconnect all pass")
