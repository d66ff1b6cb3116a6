"""The harness's own tools: the probe against a Japanese message box, and the log parser."""

import datetime
import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402


class ProbeReadsAndAnswersBoxes(h.GermTestCase):
    @classmethod
    def setUpClass(cls):
        if not h.PROBE.exists():
            raise RuntimeError(f"{h.PROBE} is missing: build the Windows preset first")

    def open_box(self, text, flags):
        proc = subprocess.Popen(
            h.SIDE.command([h.PROBE, "msgbox", text.replace("\n", "\\n"), flags]),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL,
        )
        self.addCleanup(proc.stdout.close)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())

        def find():
            for w in h.probe("list", "--name", "probe.exe"):
                if h.is_box(w) and w["visible"] and h.box_text(w) == text:
                    return w
            return None

        return proc, h.wait_for(find, 30, "the probe's own box")

    def answer(self, proc, box, ident, real_click):
        """Presses until the box's program reports; a brand-new box may miss the first press."""
        for _ in range(10):
            if real_click:
                h.click(*h.button_centre(box, ident))
            else:
                h.probe("press", box["hwnd"], ident)
            try:
                return proc.communicate(timeout=3)[0].decode().strip()
            except subprocess.TimeoutExpired:
                pass
        self.fail("the box never took the press")

    def test_yes_no_box_read_and_answered_by_a_real_click(self):
        proc, box = self.open_box(h.QUESTION, 0x34)
        self.assertEqual(box["text"], h.CAPTION)
        self.assertEqual(h.box_buttons(box), [h.IDYES, h.IDNO])
        self.assertTrue(h.box_has_icon(box))
        self.assertEqual(self.answer(proc, box, h.IDNO, True), '{"result":7}')

    def test_ok_box_without_icon_answered_by_a_posted_press(self):
        proc, box = self.open_box(h.BUSY, 0)
        self.assertEqual(h.box_buttons(box), [h.IDOK])
        self.assertFalse(h.box_has_icon(box))
        self.assertEqual(self.answer(proc, box, h.IDOK, False), '{"result":1}')


class LogParser(unittest.TestCase):
    START, YES, NO = h.LOG_TEXTS["start"], h.LOG_TEXTS["yes"], h.LOG_TEXTS["no"]

    def test_entries_and_midnight(self):
        data = b"2024/1/5 9:03:07" + self.START + b"2024/12/31" + self.NO
        entries = h.parse_log(data)
        self.assertEqual([k for k, _, _ in entries], ["start", "no"])
        self.assertEqual(entries[0][2], datetime.datetime(2024, 1, 5, 9, 3, 7))
        self.assertEqual(entries[1][2], datetime.datetime(2024, 12, 31))

    def test_rejects_foreign_layouts_and_mixed_bytes(self):
        bad = [
            b"2024/01/05 9:03:07" + self.START,  # leading zeros: not the ja-JP short date
            b"2024/1/5 09:03:07" + self.START,  # ja-JP hours have no leading zero
            b"2024/1/5 0:00:00" + self.START,  # midnight is written as the date alone
            b"2024/1/5 9:03:07" + self.START[:-2],  # cut short
            b"2024/1/5 9:03:07" + self.START[:10] + b"2024/1/5 9:03:07" + self.YES,  # interleaved
            b"2024/1/5 9:03:07" + self.START + b"\r\n",  # trailing stray bytes
        ]
        for data in bad:
            with self.subTest(data=data):
                with self.assertRaises(AssertionError):
                    h.parse_log(data)


if __name__ == "__main__":
    h.main()
