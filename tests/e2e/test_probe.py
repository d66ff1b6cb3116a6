"""The harness's own tools: the probe against a Japanese message box, and the log parser."""

import sys
import unittest
from pathlib import Path
from unittest import mock

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402


class ProbeReadsAndAnswersBoxes(h.GermTestCase):
    @classmethod
    def setUpClass(cls):
        if not h.PROBE.exists():
            raise RuntimeError(f"{h.PROBE} is missing: build the Windows preset first")

    def open_box(self, text, flags):
        proc = self.run_probe("msgbox", text.replace("\n", "\\n"), flags)

        def find():
            for w in h.probe("list", "--name", "probe.exe"):
                if h.is_box(w) and w["visible"] and h.box_text(w) == text:
                    return w
            return None

        return proc, h.wait_for(find, 30, "the probe's own box")

    def answer(self, proc, box, ident, real_click):
        """Presses once and waits for the box's program to report."""
        if real_click:
            h.click(*h.button_centre(box, ident))
        else:
            h.probe("press", box["hwnd"], ident)
        return proc.communicate(timeout=30)[0].decode().strip()

    def test_yes_no_box_read_and_answered_by_a_real_click(self):
        proc, box = self.open_box(h.QUESTION, 0x34)
        self.assertEqual((box["text"], h.box_buttons(box), h.box_has_icon(box)),
                         (h.CAPTION, [h.IDYES, h.IDNO], True))
        self.assertEqual(self.answer(proc, box, h.IDNO, True), '{"result":7}')

    def test_ok_box_without_icon_answered_by_a_posted_press(self):
        proc, box = self.open_box(h.BUSY, 0)
        self.assertEqual((h.box_buttons(box), h.box_has_icon(box)), ([h.IDOK], False))
        self.assertEqual(self.answer(proc, box, h.IDOK, False), '{"result":1}')

    def test_a_probe_that_fails_says_why_with_its_own_exit_code(self):
        # The probe's own words, and Wine's (on standard output) when it cannot load the probe.
        for probe, said in ((h.PROBE, r"\(exit 2\) probe: CreateProcess failed"),
                            (h.ROOT / "LICENSE", r"\(exit 1\) \S")):
            with self.subTest(said), mock.patch("driver.PROBE", probe):
                self.assertRaisesRegex(AssertionError, said, h.Program, h.BUILD / "missing.exe")


class LogParser(unittest.TestCase):
    START, YES, NO = h.LOG_TEXTS["start"], h.LOG_TEXTS["yes"], h.LOG_TEXTS["no"]

    def test_entries_and_midnight(self):
        data = b"2024/1/5 9:03:07" + self.START + b"2024/12/31" + self.NO
        entries = h.parse_log(data)
        self.assertEqual(entries, [("start", b"2024/1/5 9:03:07"), ("no", b"2024/12/31")])
        h.assert_stamps_in(entries, {b"2024/1/5 9:03:07", b"2024/12/31"})
        with self.assertRaises(AssertionError):  # a stamp the settings do not give
            h.assert_stamps_in(entries, {b"2024/01/05 9:03:07", b"2024/12/31"})

    def test_rejects_broken_entries_and_mixed_bytes(self):
        bad = [
            self.START,  # no stamp
            b"2024/1/5 9:03:07" + self.START[:-2],  # cut short
            b"2024/1/5 9:03:07" + self.START[:10] + b"2024/1/5 9:03:07" + self.YES,  # interleaved
            b"2024/1/5 9:03:07" + self.START + b"\r\n",  # trailing stray bytes
        ]
        for data in bad:
            with self.subTest(data=data):
                with self.assertRaises(AssertionError):
                    h.parse_log(data)

    def test_the_probes_stamps_follow_the_users_settings(self):
        """Set first, then asked: the oracle renders what the settings say, not a default."""
        original = h.probe("localeinfo")[0]
        self.addCleanup(lambda: [h.probe("setlocale", k, original[k])
                                 for k in ("STIMEFORMAT", "SSHORTDATE", "SDATE")])
        self.assertEqual(h.probe("setlocale", "SSHORTDATE", "dd.MM.yyyy"), [{"set": True}])
        self.assertEqual(h.probe("setlocale", "STIMEFORMAT", "hh:mm:ss tt"), [{"set": True}])
        info = h.probe("localeinfo")[0]
        stamps = [line["stamp"] for line in h.probe("stamps", "2026-12-08T23:59:59", 2)]
        self.assertEqual(stamps, [f"08.12.2026 11:59:59 {info['S2359']}", "09.12.2026"])


if __name__ == "__main__":
    h.main()
