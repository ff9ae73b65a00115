#!/usr/bin/env python3
"""Ctrl+C ends dvk listen on Windows as on Linux: what is in flight is printed first and the status is 0. Wine
turns SIGINT into the console's Ctrl+C event. A code typed without its Enter is in flight.
Usage: dvk_stop_test.py LINUX_DVK WINDOWS_DVK_EXE WINEPREFIX"""
import os, re, shutil, signal, subprocess, sys, tempfile, time

linux, windows, prefix = sys.argv[1:4]


def stopped(argv, settle):
    work = tempfile.mkdtemp(dir=os.path.dirname(windows))
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LANG="C.UTF-8")
    proc = subprocess.Popen(argv + ["listen", "--keyboard", "--json"], cwd=work, env=env, stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    time.sleep(settle)
    if proc.poll() is not None:
        sys.exit(f"FAILED: {argv[-1]} ended early: {proc.stderr.read()}")
    proc.stdin.write(b"0104607097291111\x1d3103000123")  # GS typed as Ctrl+]
    proc.stdin.flush()
    time.sleep(0.3)
    proc.send_signal(signal.SIGINT)
    try:
        out, err = proc.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        out, _ = proc.communicate()
    shutil.rmtree(work)
    return proc.returncode, re.sub(rb'"tMs":[0-9]+', b"", out)


want = stopped([linux], 0.5)
got = stopped(["/usr/lib/wine/wine64", windows], 3)
if want[0] != 0 or b'"data":"0104607097291111\\u001d3103000123"' not in want[1] or got != want:
    sys.exit(f"FAILED: Ctrl+C: dvk.exe gave {got}, the Linux dvk {want}")
print("dvk.exe: Ctrl+C ends listen after printing the code in flight, as on Linux")
