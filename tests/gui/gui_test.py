#!/usr/bin/env python3
"""The settings window as a user meets it: varnek.exe under Wine on an X display,
the virtual reader on COM5, the dialog driver for picks, clicks and texts, and
xdotool for real key presses. Run inside the Wine test bed (tests/support/winebed)."""
import os
import subprocess
import sys
import time
import unittest

TITLE = "Tolvane Settings Editor v1.0"
PORT_LIST, MODE, FREQUENCY, TMODE, EGT = 1000, 1014, 1015, 1017, 1018
LOAD, SAVE, NAME, STATUS = 1020, 1021, 1103, 1106
READER = "\\Device\\Serial4=COM5"
ARTIFACTS = os.path.join(os.environ.get("VARNEK_BUILD", "build"), "artifacts")


def hexof(data):
    return " ".join("%02X" % b for b in data)


def get(index):
    return hexof(b"CONFIG_GET\0" + bytes([index]))


def set_value(index, value):
    return hexof(b"CONFIG_SET\0" + bytes([index, (value >> 8) & 0xFF, value & 0xFF]))


class Bed:
    """The virtual reader, the program and the driver."""

    def __init__(self):
        self.env = dict(os.environ, LD_PRELOAD=os.environ["VARNEK_PRELOAD"])
        self.driver = subprocess.Popen(
            ["wine", os.environ["VARNEK_DRIVER"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            env=self.env, text=True, bufsize=1)
        self.program = None
        self.seq = 0

    def do(self, line):
        self.driver.stdin.write(line + "\n")
        self.driver.stdin.flush()
        return self.driver.stdout.readline().rstrip("\r\n")

    def reader(self, *lines):
        self.seq += 1
        with open(os.environ["VARNEK_UNIX_CONTROL"], "w") as f:
            f.write("seq %d\n%s\n" % (self.seq, "\n".join(lines)))

    def transcript(self, since=0.0):
        events = []
        try:
            with open(os.environ["VARNEK_UNIX_TRANSCRIPT"]) as f:
                for line in f:
                    parts = line.rstrip("\n").split(" ", 2)
                    if len(parts) >= 2 and float(parts[0]) >= since:
                        events.append((float(parts[0]), parts[1], parts[2] if len(parts) > 2 else ""))
        except FileNotFoundError:
            pass
        return sorted(events)

    def requests(self, since):
        return [e[2].split(" line=")[0] for e in self.transcript(since) if e[1] == "request"]

    def start(self, *ports):
        assert self.do("ports " + " ".join(ports)) == "ok"
        self.program = subprocess.Popen(["wine", os.environ["VARNEK_EXE"]], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert self.do("wait-window 20000") == "ok", "the window did not appear"

    def stop(self):
        if self.program and self.program.poll() is None:
            self.do("close-window")
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                self.program.kill()
                self.program.wait()
        self.program = None

    def list(self, control):
        parts = self.do("list %d" % control).split("|")
        return int(parts[0]), parts[2:]

    def click(self, button):
        assert self.do("click %d" % button) == "ok"
        return self.do("text %d" % STATUS)

    def x_window(self):
        out = subprocess.run(["xdotool", "search", "--name", TITLE], capture_output=True,
                             text=True).stdout.split()
        return out[-1] if out else None

    def key(self, name, focus_control=None):
        window = self.x_window()
        assert window, "no X window with the program's title"
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=False)
        if focus_control:
            x, y, w, h = map(int, self.do("rect %d" % focus_control).split())
            subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2),
                            "click", "1"], check=True)
        time.sleep(0.3)
        subprocess.run(["xdotool", "key", name], check=True)

    def screenshot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        x, y, w, h = map(int, self.do("rect 0").split())
        path = os.path.join(ARTIFACTS, name)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y),
                        path], check=True)
        return path

    def close(self):
        self.stop()
        self.driver.stdin.write("quit\n")
        self.driver.stdin.flush()
        self.driver.wait(10)


class SettingsWindowTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = Bed()

    @classmethod
    def tearDownClass(cls):
        cls.bed.close()

    def setUp(self):
        self.bed.reader("values 1 13 5 1 42", "name DOOR-A")
        self.bed.start(READER)
        self.t0 = time.time()

    def tearDown(self):
        self.bed.stop()

    def status(self):
        return self.bed.do("text %d" % STATUS)

    def assertAllClosed(self):
        for _ in range(100):
            events = self.bed.transcript(self.t0)
            opens = sum(1 for e in events if e[1] == "open")
            if opens == sum(1 for e in events if e[1] == "close"):
                return opens
            time.sleep(0.02)
        self.fail("a connection was left open")

    def test_start_shows_the_ports_and_the_lists(self):
        self.bed.stop()
        self.bed.start(READER, "\\Device\\Serial5=COM6")
        self.assertEqual(self.bed.do("text 0"), TITLE)
        self.assertEqual(self.bed.list(PORT_LIST), (0, ["COM5", "COM6"]))
        self.assertEqual(self.bed.list(MODE), (0, ["AUTO", "FIXED"]))
        self.assertEqual(self.bed.list(FREQUENCY), (0, ["3,69", "4,00", "4,36", "4,80", "5,33",
                                                        "6,00", "6,86", "8,00", "9,60"]))
        self.assertEqual(self.bed.list(TMODE), (0, ["T0", "T1"]))
        self.assertEqual(self.bed.list(EGT), (0, [str(n) for n in range(255)]))
        self.assertEqual(self.bed.do("text %d" % NAME), "")
        self.assertEqual(self.status(), "")

    def test_port_watch_selects_a_new_port_and_notices_one_unplugged(self):
        self.bed.do("pick %d 0" % PORT_LIST)
        plugged = time.time()
        self.assertEqual(self.bed.do("port-add \\Device\\Serial9 COM9"), "ok")
        self.assertEqual(self.bed.do("wait-text %d 4000 found new serial device" % STATUS), "ok")
        print("new port noticed after %.2f s" % (time.time() - plugged))
        self.assertEqual(self.bed.list(PORT_LIST), (1, ["COM5", "COM9"]))
        self.assertEqual(self.bed.do("port-remove \\Device\\Serial9"), "ok")
        self.assertEqual(self.bed.do("wait-text %d 4000 " % STATUS), "ok")
        self.assertEqual(self.bed.list(PORT_LIST), (0, ["COM5"]))
        # With no change the user's choice stays from tick to tick.
        self.bed.do("port-add \\Device\\Serial9 COM9")
        self.bed.do("wait-text %d 4000 found new serial device" % STATUS)
        self.bed.do("pick %d 0" % PORT_LIST)
        time.sleep(2.5)
        self.assertEqual(self.bed.list(PORT_LIST)[0], 0)

    def test_load_shows_every_setting(self):
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")
        self.assertEqual(self.bed.list(MODE)[0], 1)
        self.assertEqual(self.bed.list(FREQUENCY)[0], 3)  # 13 is "4,80"
        self.assertEqual(self.bed.list(TMODE)[0], 1)
        self.assertEqual(self.bed.list(EGT)[0], 42)
        self.assertEqual(self.bed.do("text %d" % NAME), "DOOR-A")
        self.assertEqual(self.assertAllClosed(), 2)
        print("screenshot:", self.bed.screenshot("gui-after-load.png"))

    def test_old_readers_get_the_version_text_and_no_request(self):
        for version, text in (("0x10", "ERROR version 1.0 is to old"),
                              ("0x0F", "ERROR version 0.15 is to old")):
            self.bed.reader("version " + version)
            since = time.time()
            self.assertEqual(self.bed.click(LOAD), text)
            self.assertEqual(self.bed.requests(since), [hexof(b"system"), hexof(b"version")])

    def test_a_reader_that_does_not_answer_is_not_found(self):
        self.bed.reader("silent-from 0")
        self.assertEqual(self.bed.click(LOAD), "ERROR reader not found")
        self.assertEqual(self.assertAllClosed(), 1)

    def test_load_with_the_name_unanswered_keeps_the_old_name(self):
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")
        self.bed.reader("values 0 18 0 0 7", "name OTHER", "mute get5")
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")
        self.assertEqual(self.bed.do("text %d" % NAME), "DOOR-A")
        self.assertEqual(self.bed.list(EGT)[0], 7)
        self.assertEqual(self.bed.list(MODE)[0], 0)

    def test_save_sends_the_first_eight_characters_of_the_name(self):
        self.assertEqual(self.bed.do("set-text %d ABCDEFGHIJKL" % NAME), "ok")
        since = time.time()
        self.assertEqual(self.bed.click(SAVE), "Write settings OK")
        self.assertEqual(self.bed.requests(since)[-1], hexof(b"CONFIG_SET\0\x05ABCDEFGH"))
        self.assertEqual(self.assertAllClosed(), 2)

    def test_save_to_version_one_zero_fails(self):
        self.bed.reader("version 0x10")
        self.assertEqual(self.bed.click(SAVE), "Error writing settings")

    def test_save_before_any_load_sends_what_the_lists_show(self):
        since = time.time()
        self.assertEqual(self.bed.click(SAVE), "Write settings OK")
        self.assertEqual(self.bed.requests(since)[2:7],
                         [set_value(0, 0), set_value(1, 18), set_value(2, 0), set_value(3, 0),
                          set_value(4, 0)])

    def test_picks_then_save_send_their_numbers(self):
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")  # hidden setting is 5
        for control, position in ((MODE, 1), (FREQUENCY, 1), (TMODE, 0), (EGT, 200)):
            self.assertEqual(self.bed.do("pick %d %d" % (control, position)), "ok")
        since = time.time()
        self.assertEqual(self.bed.click(SAVE), "Write settings OK")
        self.assertEqual(self.bed.requests(since)[2:7],
                         [set_value(0, 1), set_value(1, 17), set_value(2, 5), set_value(3, 0),
                          set_value(4, 200)])

    def test_a_frequency_without_an_entry_shows_no_selection_and_is_kept(self):
        self.bed.reader("values 0 17 0 0 0", "name X")
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")
        self.assertEqual(self.bed.list(FREQUENCY)[0], -1)
        since = time.time()
        self.assertEqual(self.bed.click(SAVE), "Write settings OK")
        self.assertEqual(self.bed.requests(since)[3], set_value(1, 17))

    def test_no_port_opens_nothing(self):
        self.bed.stop()
        self.bed.start()
        self.t0 = time.time()
        self.assertEqual(self.bed.list(PORT_LIST), (-1, []))
        self.assertEqual(self.bed.click(LOAD), "ERROR reader not found")
        self.assertEqual(self.bed.click(SAVE), "Error writing settings")
        time.sleep(0.2)
        self.assertEqual([e for e in self.bed.transcript(self.t0) if e[1] == "open"], [])

    def test_enter_in_the_name_box_does_nothing(self):
        self.bed.do("set-text %d KEEP" % NAME)
        since = time.time()
        self.bed.key("Return", focus_control=NAME)
        time.sleep(1.0)
        self.assertEqual(self.bed.do("exists"), "yes")
        self.assertIsNone(self.bed.program.poll())
        self.assertEqual(self.bed.requests(since), [])
        self.assertEqual(self.status(), "")

    def test_escape_ends_the_program(self):
        self.bed.key("Escape")
        self.bed.program.wait(10)
        self.assertEqual(self.bed.do("exists"), "no")


if __name__ == "__main__":
    unittest.main(verbosity=2)
