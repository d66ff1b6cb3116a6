"""The activity log as other programs and the user's settings meet it."""

import datetime
import re
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402


class Log(h.GermTestCase):
    def test_two_copies_started_together_leave_four_whole_entries(self):
        sb = self.sandbox()
        before = datetime.datetime.now()
        progs = h.launch_together(self, sb.exe, 2)

        for prog, answer in zip(progs, (h.IDYES, h.IDNO)):
            self.answer_question(prog, answer, real_click=False)
        for prog in progs:
            prog.wait_dialog(lambda w: h.label_of(w)["text"] in (h.ERASING, h.SEARCHING))

        entries = h.parse_log(sb.log_bytes())
        kinds = [k for k, _, _ in entries]
        self.assertEqual(kinds[:2], ["start", "start"], "both starts come before the answers")
        self.assertEqual(sorted(kinds[2:]), ["no", "yes"])
        h.assert_stamps_between(entries, before, datetime.datetime.now())

    def test_existing_log_kept_and_shared_holder_tolerated(self):
        sb = self.sandbox()
        old = "以前の記録\r\n".encode("cp932") + b"no newline at the end \x00\xff\x81"
        sb.log.write_bytes(old)
        # Another program holds the log open, sharing reading and writing.
        holder = subprocess.Popen(
            ["wine", str(h.PROBE), "lockfile", h.winpath(sb.log), "rw", "60"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
        )
        self.addCleanup(holder.stdout.close)
        self.addCleanup(lambda: holder.poll() is None and (holder.kill(), holder.wait()))
        self.assertIn(b'"locked":true', holder.stdout.readline())

        before = datetime.datetime.now()
        prog = self.launch(sb.exe)
        self.answer_question(prog, h.IDNO, real_click=False)
        prog.wait_dialog(lambda w: h.label_of(w)["text"] == h.SEARCHING)
        data = sb.log_bytes()
        self.assertEqual(data[: len(old)], old, "the old content is unchanged")
        entries = h.parse_log(data[len(old):])
        self.assertEqual([k for k, _, _ in entries], ["start", "no"])
        h.assert_stamps_between(entries, before, datetime.datetime.now())

    def test_program_without_extension_logs_beside_itself(self):
        sb = self.sandbox(name="prank", subdir="v1.2")
        prog = self.launch(sb.exe)
        self.answer_question(prog, h.IDYES, real_click=False)
        prog.wait_dialog(lambda w: h.label_of(w)["text"] == h.ERASING)
        self.assertEqual(sb.log.name, "prank.txt")
        self.assertEqual([k for k, _, _ in h.parse_log(sb.log_bytes())], ["start", "yes"])
        self.assertEqual(sorted(p.name for p in sb.exe.parent.iterdir()), ["prank", "prank.txt"])
        self.assertEqual([p.name for p in sb.dir.iterdir()], ["v1.2"])

    def test_stamps_follow_the_user_date_format(self):
        # Wine keeps a running process's locale values cached, so the change is made before the
        # start; the program must read the format rather than assume Japan's.
        original = h.probe("localeinfo")[0]
        self.addCleanup(self.restore_locale, original)
        self.assertEqual(h.probe("setlocale", "SSHORTDATE", "dd-MM-yyyy"), [{"set": True}])
        sb = self.sandbox()
        prog = self.launch(sb.exe)
        self.answer_question(prog, h.IDNO, real_click=False)
        prog.wait_dialog(lambda w: h.label_of(w)["text"] == h.SEARCHING)
        stamp = rb"\d{2}-\d{2}-\d{4}( \d{1,2}:\d{2}:\d{2})?"
        self.assertRegex(sb.log_bytes(), rb"\A" + stamp + re.escape(h.LOG_TEXTS["start"]) + stamp
                         + re.escape(h.LOG_TEXTS["no"]) + rb"\Z")

    def restore_locale(self, original):
        h.probe("setlocale", "SSHORTDATE", original["SSHORTDATE"])
        if h.probe("localeinfo")[0]["SDATE"] != original["SDATE"]:
            h.probe("setlocale", "SDATE", original["SDATE"])
        self.assertEqual(h.probe("localeinfo")[0], original, "the prefix's settings are restored")


if __name__ == "__main__":
    h.main()
