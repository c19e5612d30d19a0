#!/usr/bin/env python3
"""The settings window under faults: a reader that vanishes, a port held by
another program, garbage and slow answers, and a registry full of odd ports. After
each, the program still runs, shows the text it should, has closed every port,
and a Load right after succeeds."""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bed import (Bed, EGT, FREQUENCY, LOAD, MODE, NAME, PORT_LIST, READER, SAVE,  # noqa: E402
                 STATUS)

NORMAL = ("values 1 13 5 1 42", "name DOOR-A")
NOT_FOUND, READ_ERROR, READ_OK = "ERROR reader not found", "Error reading settings", "Read settings OK"
WRITE_ERROR, WRITE_OK = "Error writing settings", "Write settings OK"


class FaultTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bed = Bed()
        cls.bed.reader(*NORMAL)
        cls.bed.start(READER)

    @classmethod
    def tearDownClass(cls):
        cls.bed.close()

    def shown(self):
        return [self.bed.list(c)[0] for c in (MODE, FREQUENCY, EGT)] + [self.bed.do("text %d" % NAME)]

    def expect_recovery(self, since):
        """Still running, every port closed, and the next Load works."""
        self.assertIsNone(self.bed.program.poll(), "the program ended")
        opens, closes = self.bed.connections(since, 4.0)
        self.assertEqual(opens, closes, "a port was left open")
        self.bed.reader(*NORMAL)
        self.assertEqual(self.bed.click(LOAD), READ_OK)

    def run_case(self, reader, button, status, keeps_window=True):
        with self.subTest(reader=reader, button=button):
            self.bed.reader(*NORMAL)
            self.assertEqual(self.bed.click(LOAD), READ_OK)
            before = self.shown()
            self.bed.reader(*reader)
            since = time.time()
            self.assertEqual(self.bed.click(button), status)
            if keeps_window:
                self.assertEqual(self.shown(), before, "a failure leaves the window as it was")
            self.expect_recovery(since)

    def test_reader_vanishes_in_the_middle(self):
        self.run_case(["vanish-after 3"], LOAD, READ_ERROR)
        self.run_case(["vanish-after 3"], SAVE, WRITE_ERROR)

    def test_port_held_by_another_program(self):
        self.assertEqual(self.bed.do("hold-port COM5"), "ok")
        try:
            since = time.time()
            self.assertEqual(self.bed.click(LOAD), NOT_FOUND)
            self.assertEqual(self.bed.click(SAVE), WRITE_ERROR)
            time.sleep(0.1)
            self.assertEqual([e for e in self.bed.transcript(since) if e[1] == "request"], [])
        finally:
            self.bed.do("release-port")
        self.expect_recovery(time.time())

    def test_garbage_answers(self):
        for reader in (["garbage 3"], ["garbage 64"], ["garbage 100"], ["answer-length 64"],
                       ["answer-length 200"], ["version-override 0x80"], ["version-override 0xC3"],
                       ["version-override 0xFF"], ["wrong-ack 1"]):
            self.run_case(reader, LOAD, NOT_FOUND)
            self.run_case(reader, SAVE, WRITE_ERROR)

    def test_a_name_without_a_zero_byte(self):
        self.bed.reader("values 0 18 0 0 9", "name ABCDEFGH", "name-without-zero 1")
        self.assertEqual(self.bed.click(LOAD), READ_OK)
        self.assertEqual(self.bed.do("text %d" % NAME), "ABCDEFGH")

    def test_split_and_slow_answers(self):
        for reader in (["split-ms 20"], ["delay-attempts 9", "delay-config-only 1"]):
            self.bed.reader("values 1 16 -240 0 201", "name SLOW", *reader)
            self.assertEqual(self.bed.click(LOAD), READ_OK, reader)
            self.assertEqual(self.shown(), [1, 1, 201, "SLOW"], reader)
            self.assertEqual(self.bed.click(SAVE), WRITE_OK, reader)

    def test_odd_registries(self):
        since = time.time()
        many = ["\\Device\\Serial%03d=COM%d" % (i, 100 + i) for i in range(1, 200)]
        self.bed.do("ports \\Device\\Serial000=COM5 " + " ".join(many))
        self.assertEqual(self.bed.do("wait-text %d 4000 found new serial device" % STATUS), "ok")
        selection, entries = self.bed.list(PORT_LIST)
        self.assertEqual(len(entries), 128)
        self.assertEqual(selection, 127)
        self.bed.do("pick %d 0" % PORT_LIST)
        self.assertEqual(self.bed.click(LOAD), READ_OK)

        self.bed.do("ports %s=COM7 \\Device\\Long=%s \\Device\\X=CNCA0 \\Device\\Y=COM99999999999"
                    % ("N" * 45, "C" * 25))
        self.assertEqual(self.bed.do("wait-text %d 4000 " % STATUS), "ok")
        self.assertEqual(self.bed.list(PORT_LIST)[1], ["CNCA0", "COM99999999999"])
        for position in (0, 1):
            self.bed.do("pick %d %d" % (PORT_LIST, position))
            opened = time.time()
            self.assertEqual(self.bed.click(LOAD), NOT_FOUND)
            self.assertEqual(self.bed.click(SAVE), WRITE_ERROR)
            time.sleep(0.1)
            self.assertEqual([e for e in self.bed.transcript(opened) if e[1] == "open"], [])
        self.bed.do("ports " + READER)
        self.assertEqual(self.bed.do("wait-text %d 4000 " % STATUS), "ok")
        self.expect_recovery(since)


if __name__ == "__main__":
    unittest.main(verbosity=2)
