#!/usr/bin/env python3
"""From dvk tune to the first scan dvk listen prints with the remembered profile, timed, in a Russian terminal
132 columns wide (tmux). The scanner types each reference code at 10 ms a key (GS as Ctrl+], Enter at the
end) once the wizard shows it; the person types only the two command lines. Prints the keys the person typed
and the seconds from the first key to the scan on the screen. A measurement, not a test: run it by hand.

usage: first_scan_in_tmux.py DVK"""
import os
import subprocess
import sys
import tempfile
import time

DVK = sys.argv[1]
WORK = tempfile.mkdtemp(prefix="dvk-first-scan-")
SERVER = ["tmux", "-L", "dvk-first-scan-%d" % os.getpid()]
GS = "\x1d"
REFERENCES = ["4600000000008", "0104607097291111" + GS + "3103000123",
              "010460709729111121ABCDEFG" + GS + "8005123456" + GS + "93Tq5x",
              "010460709729111121AbC1234567" + GS + "91EE10" + GS + "92Hq7mR2vXpL9sWc4ZbN8tYe1KdF6uJa3GxQ0oVi5Mrw8=",
              "0104607097291111" + "21aA0" + GS + "92" + "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"]


def tmux(*args):
    return subprocess.run(SERVER + list(args), capture_output=True, text=True).stdout


def screen():
    return tmux("capture-pane", "-p", "-J", "-S", "-", "-t", "dvk")


def wait_for(text, seconds=30):
    end = time.monotonic() + seconds
    while text not in screen():
        if time.monotonic() > end:
            sys.exit("never appeared: " + text + "\n" + screen())
        time.sleep(0.005)


def scanner_types(code):
    start = time.monotonic()
    for i, c in enumerate(code + "\r"):
        time.sleep(max(0.0, start + i * 0.010 - time.monotonic()))
        key = ["-H", "%02x" % ord(c)]  # as bytes: tmux would take a lone ";" for its own separator
        tmux("send-keys", "-t", "dvk", *key)


def person_types(line):
    tmux("send-keys", "-t", "dvk", "-l", line)
    tmux("send-keys", "-t", "dvk", "Enter")
    return len(line) + 1


env = "XDG_CONFIG_HOME='%s/config' LANG=ru_RU.UTF-8 PS1='$ '" % WORK
tmux("new-session", "-d", "-s", "dvk", "-x", "132", "-y", "50", "cd '%s' && %s dash -i" % (WORK, env))
try:
    time.sleep(0.5)
    began = time.monotonic()
    keys = person_types("'%s' tune" % DVK) - len("'%s' " % DVK) + len("dvk ")
    for step, code in enumerate(REFERENCES, 1):
        wait_for("== Шаг %d из 5" % step)
        scanner_types(code)
    wait_for("профиль записан в")
    keys += person_types("'%s' listen --keyboard" % DVK) - len("'%s' " % DVK) + len("dvk ")
    wait_for("слушаю терминал")
    scanner_types(REFERENCES[0])
    wait_for("EAN-13  4600000000008")
    seconds = time.monotonic() - began
    print(screen())
    print("keys the person typed: %d (\"dvk tune\" Enter, \"dvk listen --keyboard\" Enter); "
          "first scan %.1f s after the first" % (keys, seconds))
finally:
    tmux("kill-server")
