#!/usr/bin/env python3
"""dvk.exe reading one keyboard by its Raw Input device path, from a recording of RAWKEYBOARD records, against
the Linux dvk reading the same scanner's key events from an input-event recording. A person types on another
keyboard in the middle of the codes: those keys must make no difference. tune must learn the same profile
(but for the device's name), listen must print the same scans.
Usage: dvk_raw_input_test.py LINUX_DVK WINDOWS_DVK_EXE WINEPREFIX"""
import os, re, shutil, struct, subprocess, sys, tempfile

linux, windows, prefix = sys.argv[1:4]
SCANNER = r"\\?\HID#VID_0C2E&PID_0B61&MI_00#7&2a1f5b3c&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}"
PERSON = r"\\?\HID#VID_046D&PID_C31C&MI_00#7&1b2e4d1a&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}"
CODES = ["4600000000008", "0104607097291111\x1d3103000123",
         "010460709729111121ABCDEFG\x1d8005123456\x1d93Tq5x",
         "010460709729111121AbC1234567\x1d91EE10\x1d92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=",
         "010460709729111121aA0\x1d92!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"]
SHIFT, CTRL, ENTER = 0x2A, 0x1D, 0x1C
# Set-1 make codes of a US layout, which are also the Linux key codes of these keys: (plain, shifted) rows.
ROWS = [(0x02, "1234567890-=", "!@#$%^&*()_+"), (0x10, "qwertyuiop[]", "QWERTYUIOP{}"),
        (0x1E, "asdfghjkl;'`", "ASDFGHJKL:\"~"), (0x2B, "\\zxcvbnm,./", "|ZXCVBNM<>?")]
KEYS = {}
for first, plain, shifted in ROWS:
    for i, (p, s) in enumerate(zip(plain, shifted)):
        KEYS[p], KEYS[s] = (first + i, False), (first + i, True)


def strokes(text):
    """(make code, down) of typing `text` and Enter, as a scanner does: Shift for capitals, Ctrl+] for GS."""
    out = []
    for c in text:
        code, shift = (0x1B, False) if c == "\x1d" else KEYS[c]
        held = [CTRL] if c == "\x1d" else [SHIFT] if shift else []
        out += [(k, True) for k in held] + [(code, True), (code, False)] + [(k, False) for k in held]
    return out + [(ENTER, True), (ENTER, False)]


def recordings(codes, work):
    """The Linux input events of the scanner alone, and the Raw Input records of both keyboards."""
    events, records, t = b"", [], 1000
    for n, code in enumerate(codes):
        for i, (make, down) in enumerate(strokes(code)):
            events += struct.pack("<qqHHi", t // 1000, t % 1000 * 1000, 1, make, 1 if down else 0)
            records.append(f"{t} 0x{make:02x} {0 if down else 1} {SCANNER}")
            if i == 6 and n % 2 == 0:  # the person: x on the other keyboard, mid-code
                records += [f"{t + 1} 0x2d 0 {PERSON}", f"{t + 2} 0x2d 1 {PERSON}"]
            t += 4
        t += 900
    with open(os.path.join(work, "keys.bin"), "wb") as f:
        f.write(events)
    with open(os.path.join(work, "keys.txt"), "w") as f:
        f.write("# tMs make-code flags device\n" + "\n".join(records) + "\n")


def run(side, args, codes, profile=""):
    work = tempfile.mkdtemp(dir=os.path.dirname(windows))
    recordings(codes, work)
    if profile:
        with open(os.path.join(work, "p.json"), "w") as f:
            f.write(profile)
    if side == "linux":
        argv = [linux] + args + ["--evdev", "keys.bin", "--event-size", "24"]
    else:
        argv = ["/usr/lib/wine/wine64", windows] + args + ["--keyboard-device", SCANNER, "--raw-input-log", "keys.txt"]
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="C.UTF-8")
    done = subprocess.run(argv, cwd=work, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    path = os.path.join(work, "p.json")
    learned = open(path).read() if os.path.exists(path) else ""
    shutil.rmtree(work)
    return done.returncode, done.stdout.decode(), learned


failures = 0
status_l, out_l, profile_l = run("linux", ["tune", "-o", "p.json"], CODES)
status_w, out_w, profile_w = run("windows", ["tune", "-o", "p.json"], CODES)
name = re.compile(r'"device(Id|Name)": "[^"]*",?\s*|"exclusiveCapture": (true|false),?\s*')
if status_l != 0 or '"configured": true' not in profile_l:
    failures += 1
    print(f"FAILED: the Linux dvk tune --evdev exited {status_l}:\n{out_l}")
elif (status_w, name.sub("", profile_w)) != (0, name.sub("", profile_l)) or SCANNER.replace("\\", "\\\\") not in profile_w:
    failures += 1
    print(f"FAILED: dvk.exe tune --keyboard-device exited {status_w} with\n{profile_w}\nnot\n{profile_l}\n{out_w}")

listen = ["listen", "--json", "--profile", "p.json"]
_, out_l, _ = run("linux", listen, CODES[1:3], profile_l)
status_w, out_w, _ = run("windows", listen, CODES[1:3], profile_l)
strip = re.compile(r'"deviceId":"[^"]*"')
if status_w != 0 or len(out_w.splitlines()) != 2 or strip.sub("", out_w) != strip.sub("", out_l):
    failures += 1
    print(f"FAILED: dvk.exe listen --keyboard-device exited {status_w}, printed\n{out_w}\nnot\n{out_l}")
if failures:
    sys.exit(1)
print("dvk.exe: a keyboard by its Raw Input path, another keyboard's keys ignored: tune learns the profile "
      "and listen prints the scans the Linux dvk does from input events")
