"""The activity log while another program holds it open. Several copies at once, faults, folder
names and locales are the reliability suites' (test_reliability_*.py)."""

import datetime
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402


class Log(h.GermTestCase):
    # Budget: the dialog's first appearance, well inside the No path's 8.2 s.
    def test_existing_log_kept_and_shared_holder_tolerated(self):
        sb = self.sandbox()
        old = "以前の記録\r\n".encode("cp932") + b"no newline at the end \x00\xff\x81"
        sb.log.write_bytes(old)
        # Another program holds the log open, sharing reading and writing.
        holder = subprocess.Popen(
            h.SIDE.command([h.PROBE, "lockfile", h.winpath(sb.log), "rw", "60"]),
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
        self.assertEqual([k for k, _ in entries], ["start", "no"])
        h.assert_stamps_between(entries, before, datetime.datetime.now())


if __name__ == "__main__":
    h.main()
