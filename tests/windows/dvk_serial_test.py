#!/usr/bin/env python3
"""dvk.exe on a COM port under Wine against the Linux dvk on the same kind of line: a pseudo-terminal (COM7
through Wine's dosdevices for dvk.exe) where a serial scanner writes the five reference codes, each in two
bursts with its CR. `dvk tune --com` must learn the profile `dvk tune --serial` learns, but for the port's
name, and keep it where `dvk listen --com` finds it; that must print the scans `dvk listen --serial` prints.
Usage: dvk_serial_test.py LINUX_DVK WINDOWS_DVK_EXE WINEPREFIX"""
import fcntl, os, re, shutil, subprocess, sys, tempfile, termios, time, tty

linux, windows, prefix = sys.argv[1:4]
CODES = [b"4600000000008", b"0104607097291111\x1d3103000123",
         b"010460709729111121ABCDEFG\x1d8005123456\x1d93Tq5x",
         b"010460709729111121AbC1234567\x1d91EE10\x1d92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=",
         b"010460709729111121aA0\x1d92!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"]


def line():
    scanner, port = os.openpty()
    tty.setraw(port)
    # A session of its own: wineserver would otherwise take the terminal as its controlling one.
    holder = subprocess.Popen(["sleep", "120"], start_new_session=True, pass_fds=[port],
                              preexec_fn=lambda: fcntl.ioctl(port, termios.TIOCSCTTY, 0))
    return scanner, port, holder


def run(side, command, codes, profile=""):
    """Starts the command on a fresh line (with `profile` as p.json), gives it time to open the port, writes
    the codes; its exit status, stdout and p.json."""
    scanner, port, holder = line()
    work = tempfile.mkdtemp(dir=os.path.dirname(windows))
    if profile:
        with open(os.path.join(work, "p.json"), "w") as f:
            f.write(profile)
    if side == "windows":
        link = os.path.join(prefix, "dosdevices", "com7")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.ttyname(port), link)
        argv = ["/usr/lib/wine/wine64", windows] + [a.replace("PORT", "COM7") for a in command]
    else:
        argv = [linux] + [a.replace("PORT", os.ttyname(port)) for a in command]
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="C.UTF-8")
    proc = subprocess.Popen(argv, cwd=work, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    os.set_blocking(proc.stderr.fileno(), False)
    time.sleep(3 if side == "windows" else 1)
    for code in codes:
        os.write(scanner, code[:9])
        time.sleep(0.02)
        os.write(scanner, code[9:] + b"\r")
        time.sleep(0.7)
    try:
        out, _ = proc.communicate(timeout=5)
    except subprocess.TimeoutExpired:  # listen reads on: what it printed so far
        proc.kill()
        out, _ = proc.communicate()
    holder.kill()
    os.close(scanner)
    os.close(port)
    profile = os.path.join(work, "p.json")
    if side == "windows" and "-o" not in command:  # the remembered profile
        profile = remembered()
    learned = open(profile).read() if os.path.exists(profile) else ""
    shutil.rmtree(work)
    return proc.returncode, out.decode(), learned


def remembered():
    users = os.path.join(prefix, "drive_c", "users")
    for user in os.listdir(users):
        path = os.path.join(users, user, "AppData", "Roaming", "dorvik", "scanner.json")
        if os.path.isdir(os.path.dirname(os.path.dirname(path))):
            return path
    return ""


failures = 0
status_l, out_l, profile_l = run("linux", ["tune", "--serial", "PORT", "-o", "p.json"], CODES)
# dvk.exe writes what it learned where listen looks: %APPDATA%\dorvik, made for it.
if os.path.exists(remembered()):
    os.remove(remembered())
    os.rmdir(os.path.dirname(remembered()))
status_w, out_w, profile_w = run("windows", ["tune", "--com", "PORT"], CODES)
name = re.compile(r'"deviceName": "[^"]*"|/dev/pts/[0-9]+|COM7')
if status_l != 0 or not profile_l:
    failures += 1
    print(f"FAILED: the Linux dvk tune --serial exited {status_l}:\n{out_l}")
elif (status_w, name.sub("PORT", profile_w)) != (0, name.sub("PORT", profile_l)):
    failures += 1
    print(f"FAILED: dvk.exe tune --com exited {status_w} with\n{profile_w}\nnot\n{profile_l}\n{out_w}")

listen = ["--json", "--profile", "p.json"]
status_l, out_l, _ = run("linux", ["listen", "--serial", "PORT"] + listen, CODES[:2], profile_l)
status_w, out_w, _ = run("windows", ["listen", "--com", "PORT", "--json"], CODES[:2])
strip = re.compile(r'"tMs":[0-9]+|"deviceId":"[^"]*"')
if len(out_w.splitlines()) != 2 or strip.sub("", out_w) != strip.sub("", out_l):
    failures += 1
    print(f"FAILED: dvk.exe listen --com printed\n{out_w}\nnot\n{out_l}")
if failures:
    sys.exit(1)
print("dvk.exe: tune --com learns the profile tune --serial learns, listen --com prints the same scans")
