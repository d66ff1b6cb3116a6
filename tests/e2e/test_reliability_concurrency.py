"""Eight copies of the program started at the same moment in one folder, each answered by
automation and each run to the end of its finale, three rounds over: the shared log gets exactly
two whole entries per copy, none torn or interleaved, and what was there before stays as it was."""

import datetime
import functools
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402

COPIES = 8
ROUNDS = 3


class Concurrency(h.GermTestCase):
    # Budget: none spent. Every copy plays its show to the end; the driver only answers boxes.
    def drive(self, progs, answers, limit=120):
        """Answers every box of the copies as it comes up: the question as planned for that copy,
        every finale box with OK; anything else fails. Returns the texts each copy showed."""
        pids = {p.pid for p in progs}
        shown = {pid: [] for pid in pids}
        known = set()
        deadline = time.monotonic() + limit
        while any(p.running() for p in progs):
            if time.monotonic() > deadline:
                raise AssertionError(f"copies still running after {limit} s: {shown}")
            presses = []
            for w in h.probe("list"):
                if w["pid"] not in pids or not w["visible"] or not h.is_box(w):
                    continue
                text = h.box_text(w)
                if text == h.QUESTION:
                    ident = answers[w["pid"]]
                elif text in h.YES_FINALE + h.NO_FINALE:
                    ident = h.IDOK
                else:
                    raise AssertionError(f"unexpected box {text!r} of copy {w['pid']}")
                if w["hwnd"] not in known:
                    known.add(w["hwnd"])
                    shown[w["pid"]].append(text)
                # A box that has only just come up may miss a press: it is pressed again at the
                # next poll while it is still there.
                presses.append((w["hwnd"], ident))
            h.together(*(functools.partial(h.probe, "press", hwnd, ident)
                         for hwnd, ident in presses))
            time.sleep(0.1)
        return shown

    def test_eight_copies_at_once_three_rounds(self):
        sb = self.sandbox()
        old = b""
        for rnd in range(ROUNDS):
            if rnd == 1:
                # Content the program did not write, without a line end, stays untouched too.
                with open(sb.log, "ab") as f:
                    f.write("他のプログラムの行".encode("cp932") + b"\x00\xff\x81")
            old = sb.log_bytes()
            before = datetime.datetime.now()
            progs = h.launch_together(self, sb.exe, COPIES)
            yes_count = 3 + rnd
            answers = {p.pid: (h.IDYES if i < yes_count else h.IDNO) for i, p in enumerate(progs)}
            shown = self.drive(progs, answers)
            after = datetime.datetime.now()

            for p in progs:
                self.assertEqual(p.wait_exit(30), 0, f"exit code of copy {p.pid}")
                self.assertEqual(shown[p.pid], [h.QUESTION] + h.FINALE[answers[p.pid]],
                                 f"copy {p.pid} showed its whole path")

            data = sb.log_bytes()
            self.assertEqual(data[: len(old)], old, f"round {rnd}: the earlier content is kept")
            entries = h.parse_log(data[len(old):])  # whole entries only, nothing in between
            kinds = [k for k, _ in entries]
            self.assertEqual(kinds.count("start"), COPIES, f"round {rnd}: {kinds}")
            self.assertEqual(kinds.count("yes"), yes_count, f"round {rnd}: {kinds}")
            self.assertEqual(kinds.count("no"), COPIES - yes_count, f"round {rnd}: {kinds}")
            # No copy records an answer before it has recorded its start.
            for n in range(1, len(kinds) + 1):
                head = kinds[:n]
                self.assertLessEqual(len(head) - head.count("start"), head.count("start"))
            h.assert_stamps_between(entries, before, after)
        self.assert_only_exe_and_log(sb)


if __name__ == "__main__":
    h.main()
