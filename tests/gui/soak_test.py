#!/usr/bin/env python3
"""Loads and Saves in a row against the virtual reader: every one succeeds, every
connection is closed, and the program's open descriptors do not grow.

Under Wine, GetProcessHandleCount answers 0, so the measure is the descriptors
under /proc of the program's Wine process and of the prefix's Wine server, which
holds one for every open file or device handle.

    soak_test.py [ROUNDS]     (default 50 Loads and 50 Saves)"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bed import Bed, LOAD, READER, SAVE  # noqa: E402


def descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def wine_server_pid():
    prefix = os.environ["WINEPREFIX"].encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if b"wineserver" not in f.read().split(b"\0")[0]:
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if b"WINEPREFIX=" + prefix in f.read().split(b"\0"):
                    return int(entry)
        except OSError:
            pass
    return None


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    bed = Bed()
    failures = []
    try:
        bed.reader("values 1 13 5 1 42", "name SOAK")
        bed.start(READER)
        server = wine_server_pid()
        for _ in range(3):  # warm up: the first runs load what Wine keeps
            bed.click(LOAD)
            bed.click(SAVE)
        since = time.time()
        start = (descriptors(bed.program.pid), descriptors(server) if server else 0)
        t0 = time.time()
        for i in range(rounds):
            for button, ok in ((LOAD, "Read settings OK"), (SAVE, "Write settings OK")):
                status = bed.click(button)
                if status != ok:
                    failures.append("round %d: %s" % (i, status))
        took = time.time() - t0
        end = (descriptors(bed.program.pid), descriptors(server) if server else 0)
        opens, closes = bed.connections(since, 5.0)
    finally:
        bed.close()
    print("%d Loads and %d Saves in %.1f s; opens %d, closes %d" % (rounds, rounds, took, opens, closes))
    print("descriptors: program %d -> %d, Wine server %d -> %d" % (start[0], end[0], start[1], end[1]))
    if failures:
        print("failed:", failures[:10])
    ok = (not failures and opens == closes == 4 * rounds and end[0] <= start[0] + 2
          and end[1] <= start[1] + 2)
    print("soak:", "passed" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
