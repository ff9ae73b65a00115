#!/usr/bin/env python3
"""dvk listen and dvk tune on devices, with stand-ins: a pseudo-terminal pair for the serial port (scanner
output written into the master side, in split chunks and with pauses), files or FIFOs of Linux input_event
records for an evdev keyboard scanner (Shift, Ctrl+] and Alt-code GS, Caps Lock, both record sizes), files
and FIFOs of HID-POS input reports with their report descriptors, and the remembered scanner profile.

usage: listen_test.py DVK"""
import json
import os
import select
import struct
import subprocess
import sys
import signal
import tempfile
import time
import tty

DVK = sys.argv[1]
WORK = tempfile.mkdtemp(prefix="dvk-listen-")
# The remembered profile of this test, never the user's; English messages whatever the locale.
os.environ.update(XDG_CONFIG_HOME=os.path.join(WORK, "config"), LC_ALL="C.UTF-8")
GS = "\x1d"
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


# ---- Linux input events: struct input_event on x86-64 is two longs of timeval, u16 type, u16 code, s32 value.
EV_SYN, EV_KEY = 0, 1
KEY_ENTER, KEY_LEFTSHIFT, KEY_LEFTCTRL, KEY_LEFTALT, KEY_CAPSLOCK, KEY_RIGHTBRACE = 28, 42, 29, 56, 58, 27
KP = {"0": 82, "2": 80, "9": 73}
US_KEYS = {}  # character -> (key code, shift)
for first, plain, shifted in [(2, "1234567890-=", "!@#$%^&*()_+"), (16, "qwertyuiop[]", "QWERTYUIOP{}"),
                              (30, "asdfghjkl;'`", 'ASDFGHJKL:"~'), (43, "\\zxcvbnm,./", "|ZXCVBNM<>?")]:
    for i, (p, s) in enumerate(zip(plain, shifted)):
        US_KEYS[p], US_KEYS[s] = (first + i, False), (first + i, True)
US_KEYS[" "] = (57, False)


class Keyboard:
    """Key events of a keyboard scanner, with their own clock (ms); records of this machine ("llHHi"), of a
    64-bit till ("qqHHi") or of a 32-bit ARM till ("IIHHi")."""

    def __init__(self, t_ms=1_700_000_000_000, layout="llHHi"):
        self.t, self.records, self.layout = t_ms, b"", layout

    def event(self, code, value, type_=EV_KEY):
        self.records += struct.pack(self.layout, self.t // 1000, self.t % 1000 * 1000, type_, code, value)
        self.records += struct.pack(self.layout, self.t // 1000, self.t % 1000 * 1000, EV_SYN, 0, 0)

    def tap(self, code, gap=5):
        self.t += gap
        self.event(code, 1)
        self.event(code, 0)

    def type(self, text, gs="ctrl", caps=False, enter=True):
        """GS as Ctrl+] or as Alt + keypad 0 2 9; letters with Caps Lock on are typed with Shift inverted."""
        for c in text:
            if c == GS and gs == "ctrl":
                self.event(KEY_LEFTCTRL, 1)
                self.tap(KEY_RIGHTBRACE)
                self.event(KEY_LEFTCTRL, 0)
            elif c == GS:
                self.event(KEY_LEFTALT, 1)
                for digit in "029":
                    self.tap(KP[digit], 2)
                self.event(KEY_LEFTALT, 0)
            else:
                code, shift = US_KEYS[c]
                shift ^= caps and c.isalpha()
                if shift:
                    self.event(KEY_LEFTSHIFT, 1)
                self.tap(code)
                if shift:
                    self.event(KEY_LEFTSHIFT, 0)
        if enter:
            self.tap(KEY_ENTER)

    def pause(self, ms):
        self.t += ms


def run_dvk(args, stdin=None, timeout=20):
    done = subprocess.run([DVK] + args, input=stdin, capture_output=True, timeout=timeout)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def scans_of(stdout):
    return [json.loads(line) for line in stdout.splitlines() if line.strip()]


def read_line(stream, seconds):
    """One line of a running dvk's output, or None when none came in time."""
    ready, _, _ = select.select([stream], [], [], seconds)
    return stream.readline().decode() if ready else None


def write_file(name, content):
    path = os.path.join(WORK, name)
    with open(path, "wb" if isinstance(content, bytes) else "w") as f:
        f.write(content)
    return path


# ---- The codes a till meets.
EAN = "4600000000008"
MARK = "010460709729111121ABCDEFG" + GS + "8005123456" + GS + "93Tq5x"
LONG = "010460709729111121AbC1234567" + GS + "91EE10" + GS + "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8="
WEIGHT = "2012345012349"
REFERENCES = [EAN, "0104607097291111" + GS + "3103000123", MARK, LONG,
              "0104607097291111" + "21aA0" + GS + "92" + "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"]

# ---- evdev: one recording, read from a file and, in two writes that split a record, from a FIFO.
kb = Keyboard()
kb.type(EAN)                    # Enter ends it
first_code = len(kb.records)
kb.pause(1000)
kb.type(MARK)                   # Shift for capitals, GS as Ctrl+]
kb.pause(1000)
kb.type(MARK, gs="alt")         # GS as an Alt code: Alt held, keypad 0 2 9
kb.pause(1000)
kb.tap(KEY_CAPSLOCK)
kb.type(LONG, caps=True)        # Caps Lock on: the scanner's letters come with Shift inverted
kb.tap(KEY_CAPSLOCK)
kb.pause(1000)
kb.type(WEIGHT, enter=False)    # no terminator: closed by the time-out once the next key comes 1 s later
kb.pause(1000)
kb.type(EAN, enter=False)       # closed at the end of input
events = write_file("events.bin", kb.records)
expected_keys = [EAN, MARK, MARK, LONG, WEIGHT, EAN]

status, out, err = run_dvk(["listen", "--evdev", events, "--json"])
scans = scans_of(out)
check(status == 0 and [s["data"] for s in scans] == expected_keys,
      "evdev file: Shift, Ctrl+] GS, Alt-code GS, Caps Lock, time-out and end of input give six scans")
check(all(s["deviceId"] == events for s in scans), "evdev file: the path is the device id (no EVIOCGNAME)")
check(scans[0]["tMs"] == 1_700_000_000_000 + 5 * 14, "evdev file: the scan has the event's own time")
check(len(scans) > 3 and scans[1]["gtin"] == "04607097291111" and scans[3]["serial"] == "AbC1234567",
      "evdev file: marking codes parsed")

# A recording from a till of either word size reads the same, the time stamps included.
for layout, size in [("IIHHi", "16"), ("qqHHi", "24")]:
    other = Keyboard(layout=layout)
    other.type(EAN)
    other.pause(1000)
    other.type(MARK, gs="alt")
    status, out, err = run_dvk(["listen", "--evdev", write_file("events" + size, other.records), "--event-size",
                                size, "--json"])
    scans = scans_of(out)
    check(status == 0 and [(s["data"], s["tMs"]) for s in scans] == [(EAN, 1_700_000_000_070),
                                                                      (MARK, other.t)],
          "evdev file of %s-byte records: two scans with their own times" % size)

fifo = os.path.join(WORK, "events.fifo")
os.mkfifo(fifo)
proc = subprocess.Popen([DVK, "listen", "--evdev", fifo, "--json"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
cut = first_code + 7  # the first code and part of the next record (the writer pauses where the keys do)
with open(fifo, "wb", buffering=0) as writer:
    writer.write(kb.records[:cut])
    time.sleep(0.3)
    first = read_line(proc.stdout, 5)
    writer.write(kb.records[cut:])
out, err = proc.communicate(timeout=20)
check(first is not None and json.loads(first)["data"] == EAN, "evdev FIFO: the first scan is printed at once")
check(proc.returncode == 0 and [s["data"] for s in scans_of((first or "") + out.decode())] == expected_keys,
      "evdev FIFO: a record split between writes, the same six scans")

# ---- Serial: a pseudo-terminal; the test is the scanner on the master side.
def open_port():
    master, slave = os.openpty()
    tty.setraw(slave)
    return master, slave, os.ttyname(slave)


def start(args):
    proc = subprocess.Popen([DVK] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
    ready = read_line(proc.stderr, 10)  # "dvk: listening on ..." once the port is set up
    return proc, ready or ""


timing = write_file("timing.json", '{"frameTimeoutMs": 300}')
master, slave, port = open_port()
proc, ready = start(["listen", "--serial", port, "--profile", timing, "--baud", "19200", "--json"])
check("listening on " + port + ", 19200 8N1" in ready, "serial: port set up from --baud (" + ready.strip() + ")")
os.write(master, EAN[:5].encode())
time.sleep(0.05)                                   # a chunk boundary inside a code: still one frame
os.write(master, (EAN[5:] + "\r" + MARK[:20]).encode())
first = read_line(proc.stdout, 5)
time.sleep(0.05)
os.write(master, (MARK[20:] + "\r" + WEIGHT).encode())
time.sleep(0.8)                                    # no terminator: the idle tick closes it after 300 ms
second_third = [read_line(proc.stdout, 5), read_line(proc.stdout, 5)]
os.write(master, b"ABC12")                         # a code cut short by the hang-up is dropped, and said
time.sleep(0.05)
os.close(master)
out, err = proc.communicate(timeout=10)
os.close(slave)
scans = scans_of((first or "") + "".join(x or "" for x in second_third) + out.decode())
check(first is not None and json.loads(first)["data"] == EAN, "serial: the first scan is printed as it arrives")
check(proc.returncode == 0 and [s["data"] for s in scans] == [EAN, MARK, WEIGHT],
      "serial: split chunks, CR and idle time-out give three scans")
check(port + ": a code cut short was dropped (5 bytes" in err.decode(),
      "serial: the code open at hang-up is dropped with a notice on stderr")
check(all(s["deviceId"] == port and s["raw"] in (EAN + "\r", MARK + "\r", WEIGHT) for s in scans),
      "serial: the port path is the device id; raw texts as sent")

profile = write_file("serial.json", '{"transport": "serial", "baud": 38400, "parity": "E", "dataBits": 7, '
                                    '"stopBits": 2, "terminator": "\\r\\n"}')
master, slave, port = open_port()
proc, ready = start(["listen", "--serial", port, "--profile", profile, "--bind", port])
check("38400 7E2" in ready, "serial: line settings from the profile")
os.write(master, (MARK + "\r\n" + "12\r\n").encode())
time.sleep(0.3)
os.close(master)
out, err = proc.communicate(timeout=10)
os.close(slave)
lines = out.decode().splitlines()
check(proc.returncode == 0 and len(lines) == 2 and "04607097291111" in lines[0] and "ABCDEFG" in lines[0] and
      "⟨GS⟩" in lines[0] and "12" in lines[1] and "no scan" in lines[1],
      "serial: readable lines (GTIN, serial, ⟨GS⟩; a short frame named)")

# ---- HID-POS: report descriptors and recorded input reports.
def item(prefix, *data):
    return bytes([prefix]) + bytes(data)


# The layout of the usage tables as most makers fill it: report 2 holds Byte Count, the three symbology
# characters, 56 bytes of decoded data, two bytes of the maker's own, then the continued flag and padding.
# Report 4 is a status report of the same device.
COUNTED = b"".join([
    item(0x05, 0x8C), item(0x09, 0x02), item(0xA1, 0x01),
    item(0x09, 0x12), item(0xA1, 0x02), item(0x85, 0x02), item(0x15, 0x00), item(0x26, 0xFF, 0x00),
    item(0x75, 0x08), item(0x95, 0x01), item(0x05, 0x01), item(0x09, 0x3B), item(0x81, 0x02),
    item(0x95, 0x03), item(0x05, 0x8C), item(0x09, 0xFB), item(0x09, 0xFC), item(0x09, 0xFD), item(0x81, 0x02),
    item(0x95, 0x38), item(0x09, 0xFE), item(0x82, 0x02, 0x01),
    item(0x95, 0x02), item(0x06, 0x66, 0xFF), item(0x09, 0x01), item(0x09, 0x02), item(0x81, 0x02),
    item(0x75, 0x01), item(0x95, 0x01), item(0x25, 0x01), item(0x05, 0x8C), item(0x09, 0xFF), item(0x81, 0x02),
    item(0x75, 0x07), item(0x81, 0x03), item(0xC0),
    item(0x09, 0x15), item(0xA1, 0x02), item(0x85, 0x04), item(0x75, 0x08), item(0x95, 0x03), item(0x09, 0x15),
    item(0x81, 0x02), item(0xC0), item(0xC0)])
# No report ids: the decoded data first (32 bytes, zero padded, no Byte Count), the two identifier
# characters without "]", the continued flag as a byte.
PADDED = b"".join([
    item(0x05, 0x8C), item(0x09, 0x02), item(0xA1, 0x01), item(0x75, 0x08), item(0x95, 0x20), item(0x09, 0xFE),
    item(0x81, 0x02), item(0x95, 0x02), item(0x09, 0xFC), item(0x09, 0xFD), item(0x81, 0x02), item(0x95, 0x01),
    item(0x09, 0xFF), item(0x81, 0x02), item(0xC0)])
KEYBOARD = bytes.fromhex("05010906a101050719e029e7150025017501950881029501750881039506750815002565"
                         "0507190029658100c0")


def counted_reports(aim, code):
    out = b""
    for i in range(0, len(code), 56):
        part, more = code[i:i + 56].encode(), i + 56 < len(code)
        out += bytes([2, len(part)]) + aim.encode() + part.ljust(56, b"\0") + b"\x12\x34" + bytes([more])
    return out


def padded_reports(aim, code):
    out = b""
    for i in range(0, len(code), 32):
        out += code[i:i + 32].encode().ljust(32, b"\0") + aim[1:].encode() + bytes([i + 32 < len(code)])
    return out


counted = write_file("counted.desc", COUNTED)
padded = write_file("padded.desc", PADDED)
aim_profile = write_file("aim.json", '{"aimId": true}')
for name, descriptor, reports in [("usage-table layout", counted, counted_reports),
                                  ("padded layout", padded, padded_reports)]:
    recording = reports("]E0", EAN) + reports("]d2", LONG) + reports("]d2", MARK)
    if descriptor == counted:
        recording = bytes([4, 1, 2, 3]) + recording  # a status report is no scan
    path = write_file(name + ".bin", recording)
    for profile_args, aims in [([], ["", "", ""]), (["--profile", aim_profile], ["]E0", "]d2", "]d2"])]:
        status, out, err = run_dvk(["listen", "--hidraw", path, "--hid-descriptor", descriptor, "--json"] +
                                   profile_args)
        scans = scans_of(out)
        check(status == 0 and [(s["data"], s["aimId"], s["raw"][-1]) for s in scans] ==
              list(zip([EAN, LONG, MARK], aims, "\r\r\r")),
              "hidraw %s %s: codes over several reports, AIM identifiers as the profile says" %
              (name, " ".join(profile_args)))

# A recording of 201 reports through a FIFO, one of them of a report id the descriptor does not declare: its
# bytes are skipped (and said), not everything after it.
fifo = os.path.join(WORK, "skipped.fifo")
os.mkfifo(fifo)
recording = b""
for i in range(201):
    recording += bytes([9]) + bytes(9) if i == 100 else counted_reports("]E0", "ABC%06d" % i)
proc = subprocess.Popen([DVK, "listen", "--hidraw", fifo, "--hid-descriptor", counted, "--json"],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
with open(fifo, "wb", buffering=0) as writer:
    for at in range(0, len(recording), 1000):
        writer.write(recording[at:at + 1000])
out, err = proc.communicate(timeout=20)
scans = scans_of(out.decode())
check(proc.returncode == 0 and len(scans) in (200, 201) and scans[-1]["data"] == "ABC000200",
      "hidraw FIFO: 201 reports with one undeclared, %d scans" % len(scans))
check(fifo + ": 10 bytes skipped that began no report the descriptor declares" in err.decode(),
      "hidraw FIFO: the skipped bytes named on stderr")

# dvk tune on a HID-POS scanner: each reference in reports, a pause after each; the profile learns the AIM
# identifiers and the terminator that stands for the end of a code.
fifo = os.path.join(WORK, "hidpos.fifo")
os.mkfifo(fifo)
learned = os.path.join(WORK, "hidpos-profile.json")
proc = subprocess.Popen([DVK, "tune", "--hidraw", fifo, "--hid-descriptor", counted, "-o", learned],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
with open(fifo, "wb", buffering=0) as writer:
    for reference, aim in zip(REFERENCES, ["]E0", "]C1", "]d2", "]d2", "]d2"]):
        writer.write(counted_reports(aim, reference))
        time.sleep(0.8)  # the set-up ends a frame after 500 ms of silence
out, err = proc.communicate(timeout=20)
got = json.loads(open(learned).read()) if os.path.exists(learned) else {}
check(proc.returncode == 0 and got.get("configured") is True and got.get("deviceId") == fifo and
      got.get("aimId") is True and got.get("terminator") == "\r",
      "tune --hidraw: five steps from HID-POS reports, AIM identifiers and the end of a code learned")

keyboard_descriptor = write_file("keyboard.desc", KEYBOARD)
corrupt_descriptor = write_file("corrupt.desc", COUNTED[:-3] + bytes([0x27, 0x01]))
for args, message in [(["--hidraw", events, "--hid-descriptor", keyboard_descriptor], "no HID-POS scanned-data report"),
                      (["--hidraw", events, "--hid-descriptor", corrupt_descriptor], "the report descriptor is corrupt"),
                      (["--hidraw", events], "cannot read the report descriptor of " + events),
                      (["--hidraw", events, "--hid-descriptor", os.path.join(WORK, "none")], "cannot read the report descriptor"),
                      (["--evdev", events, "--event-size", "20"], "--event-size is 16 or 24"),
                      (["--keyboard", "--hid-descriptor", counted], "--hid-descriptor is for --hidraw")]:
    status, out, err = run_dvk(["listen"] + args)
    check(status == 2 and message in err and len(err.splitlines()) == 1, "listen %s: %s" % (args[0], message))

# ---- The remembered scanner: dvk tune without -o keeps it, dvk listen without --profile reads it.
remembered = os.path.join(WORK, "config", "dorvik", "scanner.json")
kb = Keyboard()
for reference in REFERENCES:
    kb.type(reference)
    kb.pause(1500)
status, out, err = run_dvk(["tune", "--evdev", write_file("tune-remember.bin", kb.records)])
check(status == 0 and json.load(open(remembered)).get("configured") is True and remembered in out,
      "tune without -o: the profile kept in $XDG_CONFIG_HOME/dorvik/scanner.json")
with open(remembered, "w") as f:
    f.write('{"prefix": "<", "configured": true}')
for env, args, data, said in [({}, [], EAN, "profile " + remembered),
                              ({}, ["--profile", aim_profile], "<" + EAN, "profile " + aim_profile),
                              ({"XDG_CONFIG_HOME": "relative", "HOME": os.path.join(WORK, "home")}, [], "<" + EAN,
                               "no scanner set up yet (" + os.path.join(WORK, "home", ".config", "dorvik",
                                                                        "scanner.json") + " is not there)")]:
    done = subprocess.run([DVK, "listen", "--keyboard", "--json"] + args, input=("<" + EAN + "\r").encode(),
                          capture_output=True, timeout=20, env=dict(os.environ, **env))
    scans = scans_of(done.stdout.decode())
    check(done.returncode == 0 and [s["data"] for s in scans] == [data] and said in done.stderr.decode(),
          "listen without a device profile %s: %s" % (" ".join(args), said))
for content, message in [("garbage", remembered + " is not a profile"), (None, "cannot read profile " + remembered)]:
    os.remove(remembered) if os.path.isfile(remembered) else None
    if content is None:
        os.mkdir(remembered)
    else:
        write_file(remembered, content)
    status, out, err = run_dvk(["listen", "--keyboard"], stdin=b"")
    check(status == 2 and message in err, "a remembered profile that is bad is an error: " + message)
os.rmdir(remembered)

# ---- Ctrl+\ (SIGQUIT) on the raw terminal: what is queued is printed, as for Ctrl+C.
for stop in (signal.SIGINT, signal.SIGQUIT):
    master, slave = os.openpty()
    proc = subprocess.Popen([DVK, "listen", "--keyboard", "--json", "--profile", write_file("slow.json",
                            '{"frameTimeoutMs": 60000}')], stdin=slave, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    read_line(proc.stderr, 10)
    os.write(master, EAN.encode())
    time.sleep(0.3)
    proc.send_signal(stop)
    out, err = proc.communicate(timeout=10)
    os.close(master)
    os.close(slave)
    check(proc.returncode == 0 and [s["data"] for s in scans_of(out.decode())] == [EAN],
          "listen --keyboard on a terminal: %s prints the code in flight" % stop.name)

# ---- The terminal (here a pipe on standard input).
status, out, err = run_dvk(["listen", "--keyboard", "--json"], stdin=(EAN + "\r" + MARK + "\r").encode())
check(status == 0 and [(s["data"], s["deviceId"]) for s in scans_of(out)] == [(EAN, "terminal"), (MARK, "terminal")],
      "keyboard: typed bytes as key strokes, GS included")

# ---- Bad usage: one line, exit 2.
master, slave, port = open_port()
for args, message in [(["listen", "--serial", port, "--baud", "12345"], "no baud rate 12345"),
                      (["listen", "--serial", WORK], "is a directory"),
                      (["listen", "--evdev", os.path.join(WORK, "missing")], "cannot open"),
                      (["listen"], "listen needs one of"),
                      (["listen", "--keyboard", "--baud", "9600"], "--baud is for --serial"),
                      (["listen", "--keyboard", "--profile", events], "is not a profile")]:
    status, out, err = run_dvk(args)
    check(status == 2 and message in err and len(err.splitlines()) == 1, " ".join(args[:3]) + ": " + message)
os.close(master)
os.close(slave)

# ---- dvk tune on the same devices, to a finished profile that records transport, device and port.
kb = Keyboard()
for reference in REFERENCES:
    kb.type(reference)
    kb.pause(1500)
events = write_file("tune.bin", kb.records)
capture = write_file("capture.json", '{"exclusiveCapture": true}')
learned = os.path.join(WORK, "evdev-profile.json")
status, out, err = run_dvk(["tune", "--evdev", events, "--profile", capture, "-o", learned])
text = open(learned).read() if os.path.exists(learned) else "{}"
got = json.loads(text)
check(status == 0 and got.get("configured") is True and got.get("transport") == "hid" and
      got.get("deviceId") == events and got.get("terminator") == "\r" and got.get("exclusiveCapture") is True,
      "tune --evdev: five steps read from an event file, profile records hid, the device and exclusive capture")

master, slave, port = open_port()
learned = os.path.join(WORK, "serial-profile.json")
screen = os.path.join(WORK, "tune-screen.txt")
proc = subprocess.Popen([DVK, "tune", "--serial", port, "--baud", "19200", "-o", learned],
                        stdout=open(screen, "w"), stderr=subprocess.PIPE)
for _ in range(100):  # "Reading <port>, 19200 8N1." once the port is set up
    if "Reading " + port in open(screen).read():
        break
    time.sleep(0.05)
for reference in REFERENCES:
    os.write(master, (reference[:10]).encode())
    time.sleep(0.02)
    os.write(master, (reference[10:] + "\r\n").encode())
    time.sleep(0.8)                                # the set-up ends a frame after 500 ms of silence
os.close(master)
out, err = proc.communicate(timeout=20)
os.close(slave)
got = json.loads(open(learned).read()) if os.path.exists(learned) else {}
check(proc.returncode == 0 and got.get("configured") is True and got.get("transport") == "serial" and
      got.get("deviceId") == port and got.get("baud") == 19200 and got.get("terminator") == "\r\n",
      "tune --serial: five steps over a pty, profile records serial, the port and 19200 baud")

if failures:
    print("%d failed" % len(failures))
    sys.exit(1)
print("dvk listen and tune on a pty and on input events: all passed")
