#!/usr/bin/env python3
"""The reference host's serial path under Wine: a pseudo-terminal is COM5, and a scanner's bytes are written
into it in bursts, one code split over two writes; the host must print both scans with COM5 as device."""
import fcntl, os, subprocess, sys, termios, time, tty

prefix, host = sys.argv[1], sys.argv[2]
scanner, port = os.openpty()
tty.setraw(port)  # no CR to LF translation on the line
# The terminal belongs to a session of its own: wineserver, a session leader, would otherwise take it as its
# controlling terminal when it opens COM5, and the hang-up at the end would reach it.
holder = subprocess.Popen(["sleep", "300"], start_new_session=True, pass_fds=[port],
                          preexec_fn=lambda: fcntl.ioctl(port, termios.TIOCSCTTY, 0))
link = os.path.join(prefix, "dosdevices", "com5")
if os.path.lexists(link):
    os.remove(link)
os.symlink(os.ttyname(port), link)

env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all")
proc = subprocess.Popen(["/usr/lib/wine/wine64", os.path.basename(host), "--com", "COM5", "--scans", "2"],
                        cwd=os.path.dirname(host), env=env, stdout=subprocess.PIPE, text=True)
ready = proc.stdout.readline()
assert "reading COM5" in ready, ready
time.sleep(0.5)
for burst in (b"4600000000008\r", b"0104607097291111\x1d31030", b"00123\r"):
    os.write(scanner, burst)
    time.sleep(0.03 if burst.endswith(b"31030") else 0.4)
try:
    out, _ = proc.communicate(timeout=60)
except subprocess.TimeoutExpired:
    proc.kill()
    sys.exit("the host printed no two scans within a minute")
for wanted in ('"data":"4600000000008","kind":2', '"data":"0104607097291111\\u001d3103000123"', '"deviceId":"COM5"'):
    assert wanted in out, f"{wanted} not in:\n{out}"
assert proc.returncode == 0, proc.returncode
holder.kill()
print("windows-host: two scans read from COM5 (a pseudo-terminal) under Wine")
