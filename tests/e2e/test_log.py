"""The activity log while another program holds it open. Several copies at once, faults, folder
names and locales are the reliability suites' (test_reliability_*.py)."""

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
        self.hold_log(sb, "rw", 60)  # another program, sharing reading and writing

        prog = self.start(h.IDNO, sb=sb)
        prog.wait_dialog(h.SEARCHING)
        self.assert_log(prog, ["start", "no"], old=old)


if __name__ == "__main__":
    h.main()
