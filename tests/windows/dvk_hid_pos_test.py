#!/usr/bin/env python3
"""dvk.exe reading a recording of a HID-POS scanner's input reports with its report descriptor, against the
Linux dvk reading the same files from --hidraw: listen must print the same scans (a code over two reports, a
status report between codes), with and without AIM identifiers. A device path that names no device must fail
as a device that cannot be opened, and listing the HID-POS scanners of a system without any must list none.
Usage: dvk_hid_pos_test.py LINUX_DVK WINDOWS_DVK_EXE WINEPREFIX"""
import os, re, shutil, subprocess, sys, tempfile

linux, windows, prefix = sys.argv[1:4]
# Report 2: Byte Count, the identifier, 56 bytes of data, two of the maker's, the continued flag; report 4 a
# status report.
DESCRIPTOR = bytes.fromhex(
    "05 8C 09 02 A1 01 09 12 A1 02 85 02 15 00 26 FF 00 75 08 95 01 05 01 09 3B 81 02 95 03 05 8C 09 FB 09 FC"
    "09 FD 81 02 95 38 09 FE 82 02 01 95 02 06 66 FF 09 01 09 02 81 02 75 01 95 01 25 01 05 8C 09 FF 81 02 75"
    "07 81 03 C0 09 15 A1 02 85 04 75 08 95 03 09 15 81 02 C0 C0")
CODES = [("]E0", "4600000000008"), ("]d2", "010460709729111121" + "A" * 60 + "\x1d91EE10"),
         ("]Q1", "010460709729111121aA0\x1d92!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~")]


def reports(aim, code):
    out = b""
    for i in range(0, len(code), 56):
        part, more = code[i:i + 56].encode(), i + 56 < len(code)
        out += bytes([2, len(part)]) + aim.encode() + part.ljust(56, b"\0") + b"\x12\x34" + bytes([more])
    return out


def run(side, args):
    work = tempfile.mkdtemp(dir=os.path.dirname(windows))
    with open(os.path.join(work, "scanner.desc"), "wb") as f:
        f.write(DESCRIPTOR)
    with open(os.path.join(work, "reports.bin"), "wb") as f:
        f.write(reports(*CODES[0]) + bytes([4, 1, 2, 3]) + reports(*CODES[1]) + reports(*CODES[2]))
    with open(os.path.join(work, "aim.json"), "w") as f:
        f.write('{"aimId": true}')
    with open(os.path.join(work, "plain.json"), "w") as f:
        f.write('{"aimId": false}')
    argv = ([linux] if side == "linux" else ["/usr/lib/wine/wine64", windows]) + args
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="C.UTF-8")
    done = subprocess.run(argv, cwd=work, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    shutil.rmtree(work)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


failures = []
arrival = re.compile(r'"tMs":\d+')  # read times, on each system's clock
for profile in ["aim.json", "plain.json"]:
    args = ["listen", "--json", "--profile", profile, "--hidraw", "reports.bin", "--hid-descriptor", "scanner.desc"]
    status_l, out_l, err_l = run("linux", args)
    status_w, out_w, err_w = run("windows", args)
    if status_l != 0 or len(out_l.splitlines()) != len(CODES):
        failures.append(f"the Linux dvk {' '.join(args)} exited {status_l}:\n{out_l}{err_l}")
    elif (status_w, arrival.sub("", out_w)) != (0, arrival.sub("", out_l)):
        failures.append(f"dvk.exe {' '.join(args)} exited {status_w}, printed\n{out_w}{err_w}\nnot\n{out_l}")

missing = r"\\?\HID#VID_0000&PID_0000#0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}"
status, out, err = run("windows", ["listen", "--hid-device", missing])
if status == 0 or "cannot open " + missing not in err:
    failures.append(f"dvk.exe listen --hid-device on no device exited {status}:\n{out}{err}")
status, out, err = run("windows", ["listen", "--hid-scanners"])
if status != 0 or out.strip() != "HID-POS scanners (give one to --hid-device):":
    failures.append(f"dvk.exe listen --hid-scanners exited {status}:\n{out}{err}")

for failure in failures:
    print("FAILED: " + failure)
if failures:
    sys.exit(1)
print("dvk.exe: a HID-POS recording with its descriptor prints the scans the Linux dvk does; a missing device "
      "path fails as one; no scanners listed where there are none")
