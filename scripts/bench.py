#!/usr/bin/env python3
"""Times Load and Save through the window against a reader paced at 4800 baud,
and the failures whose cost is set by the read time-outs."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from bed import Bed, LOAD, READER, SAVE  # noqa: E402

BYTE_TIME = 10.0 / 4800  # start bit, 8 data bits, stop bit
ANSWER_END = 0.010       # the silence that ends every answer


def timed(bed, button):
    since = time.time()
    t0 = time.perf_counter()
    status = bed.click(button)
    took = time.perf_counter() - t0
    time.sleep(0.05)
    return took, status, bed.transcript(since)


def line_time(events):
    """The least time the line needs for what crossed it: every byte at 10 bits,
    and the silence after every answer."""
    total = 0.0
    for _, kind, rest in events:
        if kind in ("request", "answer") and not rest.startswith("-"):
            total += len(rest.split(" line=")[0].split()) * BYTE_TIME
        if kind == "answer" and not rest.startswith("-"):
            total += ANSWER_END
    return total


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    bed = Bed()
    rows = []
    try:
        bed.reader("values 1 13 5 1 42", "name DESK-01")
        bed.start(READER)
        bed.click(LOAD)  # warm up
        for button, name, ok in ((LOAD, "Load", "Read settings OK"), (SAVE, "Save", "Write settings OK")):
            times, lines = [], []
            for _ in range(runs):
                took, status, events = timed(bed, button)
                assert status == ok, status
                times.append(took)
                lines.append(line_time(events))
            median, line = statistics.median(times), statistics.median(lines)
            rows.append((name, median, line, median / line))
        for reader, name, expected in ((["silent-from 0"], "Load, no reader", "ERROR reader not found"),
                                       (["silent-from 2"], "Load, silent after the version",
                                        "Error reading settings")):
            bed.reader(*reader)
            took, status, _ = timed(bed, LOAD)
            assert status == expected, status
            rows.append((name, took, None, None))
    finally:
        bed.close()
    print("%-32s %10s %10s %7s" % ("", "measured", "line", "ratio"))
    for name, took, line, ratio in rows:
        if line:
            print("%-32s %8.0f ms %8.0f ms %7.2f" % (name, took * 1e3, line * 1e3, ratio))
        else:
            print("%-32s %8.0f ms" % (name, took * 1e3))
    print("(median of %d runs; line = bytes at 10 bits each at 4800 baud + 10 ms per answer)" % runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
