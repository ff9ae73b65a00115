#!/usr/bin/env python3
"""dvk listen --evdev on a recording in the platform's own struct input_event, with no --event-size: the
record size and the time words dvk was built for (16 bytes with 32-bit words on armhf, 24 on 64-bit Linux).
dvk may be run through an emulator: the command is every argument before the layout.

usage: evdev_layout_test.py [EMULATOR...] DVK LAYOUT   (LAYOUT a struct format: IIHHi, qqHHi, llHHi)"""
import json
import os
import struct
import subprocess
import sys
import tempfile

*COMMAND, LAYOUT = sys.argv[1:]
EV_SYN, EV_KEY = 0, 1
ENTER, SHIFT, CTRL, ALT, RIGHTBRACE = 28, 42, 29, 56, 27
KEYPAD = {"0": 82, "2": 80, "9": 73}
KEYS = {}  # character -> (key code, shift)
for first, plain, shifted in [(2, "1234567890", "!@#$%^&*()"), (16, "qwertyuiop", "QWERTYUIOP"),
                              (30, "asdfghjkl", "ASDFGHJKL"), (44, "zxcvbnm", "ZXCVBNM")]:
    for i, (p, s) in enumerate(zip(plain, shifted)):
        KEYS[p], KEYS[s] = (first + i, False), (first + i, True)

GS = "\x1d"
T0 = 1_700_000_000_000
records, t = b"", T0


def event(code, value):
    global records
    for type_, c, v in ((EV_KEY, code, value), (EV_SYN, 0, 0)):
        records += struct.pack("=" + LAYOUT, t // 1000, t % 1000 * 1000, type_, c, v)


def tap(code, gap=5):
    global t
    t += gap
    event(code, 1)
    event(code, 0)


def type_code(text, gs):
    for c in text:
        if c == GS and gs == "ctrl":
            event(CTRL, 1)
            tap(RIGHTBRACE)
            event(CTRL, 0)
        elif c == GS:
            event(ALT, 1)
            for digit in "029":
                tap(KEYPAD[digit], 2)
            event(ALT, 0)
        else:
            code, shift = KEYS[c]
            if shift:
                event(SHIFT, 1)
            tap(code)
            if shift:
                event(SHIFT, 0)
    tap(ENTER)


# Each code with how the scanner sends GS; the time each scan must carry is that of its Enter key.
CODES = [("4600000000008", "ctrl"),
         ("010460709729111121ABCDEFG" + GS + "8005123456" + GS + "93Tq5x", "ctrl"),
         ("010460709729111121ABCDEFG" + GS + "8005123456" + GS + "93Tq5x", "alt"),
         ("0104607097291111" + GS + "3103000123", "alt")]
expected = []
for text, gs in CODES:
    type_code(text, gs)
    expected.append((text, t))
    t += 1000

with tempfile.TemporaryDirectory(prefix="dvk-evdev-") as work:
    path = os.path.join(work, "events.bin")
    with open(path, "wb") as f:
        f.write(records)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), LC_ALL="C.UTF-8")
    done = subprocess.run(COMMAND + ["listen", "--evdev", path, "--json"], capture_output=True, env=env,
                          timeout=120)
    scans = [json.loads(line) for line in done.stdout.decode().splitlines() if line.strip()]
    got = [(s["data"], s["tMs"]) for s in scans]
    if done.returncode != 0 or got != expected:
        print("dvk listen --evdev, %d-byte records: got %r\nwanted %r\n%s" %
              (struct.calcsize("=" + LAYOUT), got, expected, done.stderr.decode()), file=sys.stderr)
        sys.exit(1)
    print("dvk listen --evdev: %d scans with their own times from %d-byte records of this platform" %
          (len(scans), struct.calcsize("=" + LAYOUT)))
