#!/usr/bin/env python3
"""The settings window as a user meets it: varnek.exe under Wine on an X display,
the virtual reader on COM5, the dialog driver for picks, clicks and texts, and
xdotool for real key presses. Run inside the Wine test bed (tests/support/winebed)."""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bed import (Bed, EGT, FREQUENCY, LOAD, MODE, NAME, PORT_LIST, READER, SAVE, STATUS,  # noqa: E402
                 TITLE, TMODE, hexof, set_value)


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

    def saved_numbers(self):
        """Clicks Save, which must succeed, and returns the requests that set the
        five numbers (after "system" and "version")."""
        since = time.time()
        self.assertEqual(self.bed.click(SAVE), "Write settings OK")
        return self.bed.requests(since)[2:7]

    def assertAllClosed(self):
        opens, closes = self.bed.connections(self.t0, 2.0)
        self.assertEqual(opens, closes, "a connection was left open")
        return opens

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
        self.assertEqual(self.saved_numbers(),
                         [set_value(0, 0), set_value(1, 18), set_value(2, 0), set_value(3, 0),
                          set_value(4, 0)])

    def test_picks_then_save_send_their_numbers(self):
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")  # hidden setting is 5
        for control, position in ((MODE, 1), (FREQUENCY, 1), (TMODE, 0), (EGT, 200)):
            self.assertEqual(self.bed.do("pick %d %d" % (control, position)), "ok")
        self.assertEqual(self.saved_numbers(),
                         [set_value(0, 1), set_value(1, 17), set_value(2, 5), set_value(3, 0),
                          set_value(4, 200)])

    def test_a_frequency_without_an_entry_shows_no_selection_and_is_kept(self):
        self.bed.reader("values 0 17 0 0 0", "name X")
        self.assertEqual(self.bed.click(LOAD), "Read settings OK")
        self.assertEqual(self.bed.list(FREQUENCY)[0], -1)
        self.assertEqual(self.saved_numbers()[1], set_value(1, 17))

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

    def test_typing_into_the_mode_box_changes_nothing(self):
        self.bed.keyboard(["type", "--delay", "50", "X1"], focus_control=MODE)
        self.bed.wait_for(lambda: "X1" in self.bed.do("text %d" % MODE), 3.0)
        self.assertIn("X1", self.bed.do("text %d" % MODE))
        self.assertEqual(self.saved_numbers()[0], set_value(0, 0))

    def test_escape_ends_the_program(self):
        self.bed.key("Escape", focus_control=NAME)
        self.bed.program.wait(10)
        self.assertEqual(self.bed.do("exists"), "no")


if __name__ == "__main__":
    unittest.main(verbosity=2)
