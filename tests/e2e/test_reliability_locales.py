"""Time stamps under real locales of Wine, each compared with what that locale's own settings
(read through the probe) call for, and a change of the regional settings made while the opening
question is up."""

import datetime
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402
import reliability as r  # noqa: E402

LOCALES = ["ja_JP.UTF-8", "en_US.UTF-8", "de_DE.UTF-8", "ko_KR.UTF-8"]


class Locales(h.GermTestCase):
    # Budget: each run needs only its opening and a moving bar before the gesture ends it,
    # about 1 s of its show.
    def run_logged(self, answer=h.IDNO, during_question=None):
        """One run ended through the gesture; returns its two entries and the time window they
        were written in."""
        prog = self.start()
        if during_question:
            prog.wait_box(h.QUESTION, timeout=60)
            during_question()
        self.assertEqual(r.show_then_end(self, prog, answer), 0)
        entries = h.parse_log(prog.sandbox.log_bytes())
        self.assertEqual([k for k, _ in entries], ["start", h.KIND[answer]])
        return entries, prog.started, datetime.datetime.now()

    def restore(self, original):
        h.probe("setlocale", "SSHORTDATE", original["SSHORTDATE"])
        if h.probe("localeinfo")[0]["SDATE"] != original["SDATE"]:
            h.probe("setlocale", "SDATE", original["SDATE"])
        self.assertEqual(h.probe("localeinfo")[0], original, "the prefix's settings are restored")

    def test_stamps_follow_each_locale(self):
        """Each run's stamps are what its locale's user settings give (the probe, started as
        that user, asks the system), and never what Japan's give."""
        original = h.probe("localeinfo")[0]
        for lang in LOCALES:
            with self.subTest(lang), r.locale_env(lang):
                info = h.probe("localeinfo")[0]
                if lang.startswith("ko"):
                    # 12-hour, with the designator before the hour.
                    self.assertEqual((info["ITIME"], info["ITIMEMARKPOSN"]), ("0", "1"))
                entries, before, after = self.run_logged()
                h.assert_stamps_between(entries, before, after)
            if not lang.startswith("ja"):
                with r.locale_env("ja_JP.UTF-8"):
                    japanese = h.expected_stamps(before, after)
                self.assertFalse({raw for _, raw in entries} & japanese,
                                 f"{lang}: the stamp does not fall back to Japan's format")
        # Each program's locale came from its environment; the prefix's settings are unchanged.
        self.assertEqual(h.probe("localeinfo")[0], original)

    def test_settings_changed_while_the_question_is_up(self):
        original = h.probe("localeinfo")[0]
        self.addCleanup(self.restore, original)
        changed_pattern = "yy-MM-dd"

        def change():
            self.assertEqual(h.probe("setlocale", "SSHORTDATE", changed_pattern), [{"set": True}])

        (start, choice), before, after = self.run_logged(during_question=change)
        changed = h.expected_stamps(before, after)
        self.restore(original)
        h.assert_stamps_in([start], h.expected_stamps(before, after), "the old format")
        h.assert_stamps_in([choice], changed, "the new format")


if __name__ == "__main__":
    h.main()
