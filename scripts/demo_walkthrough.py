#!/usr/bin/env python3
"""The demo's walk-through with no display: Load, a change, Save, Load again,
through the dialog driver, as a user would click through the window."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from bed import Bed, EGT, LOAD, MODE, NAME, READER, SAVE, STATUS  # noqa: E402


def reader_settings():
    with open(os.environ["VARNEK_READER_STATE"]) as f:
        return " / ".join(line.strip() for line in f if line.strip())


def shown(bed):
    return "MODE %s, EGT %s, DEVICE NAME %r" % (
        bed.list(MODE)[1][bed.list(MODE)[0]], bed.list(EGT)[0], bed.do("text %d" % NAME))


def main():
    bed = Bed()
    try:
        bed.start(READER)
        print("reader before:", reader_settings() if os.path.exists(os.environ["VARNEK_READER_STATE"])
              else "as it came (values 0 18 0 0 12, name DESK-01)")
        print("Load Settings ->", bed.click(LOAD))
        print("  the window shows", shown(bed))
        egt = (bed.list(EGT)[0] + 5) % 255
        mode = 1 - bed.list(MODE)[0]
        name = "DEMO-%03d" % egt
        bed.do("pick %d %d" % (EGT, egt))
        bed.do("pick %d %d" % (MODE, mode))
        bed.do("set-text %d %s" % (NAME, name))
        print("changed: EGT %d, MODE %s, DEVICE NAME %s" % (egt, ["AUTO", "FIXED"][mode], name))
        print("Save Settings ->", bed.click(SAVE))
        print("Load Settings ->", bed.click(LOAD))
        print("  the window shows", shown(bed))
        print("reader after: ", reader_settings())
        print("screenshot:", os.path.abspath(bed.screenshot("demo.png")))
        return 0 if bed.do("text %d" % STATUS) == "Read settings OK" else 1
    finally:
        bed.close()


if __name__ == "__main__":
    sys.exit(main())
