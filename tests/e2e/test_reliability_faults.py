"""A log that cannot be written: locked by another program, a folder in its place, a read-only
file, a folder the program cannot write to. Each time the show runs as usual, the program exits
with 0, and nothing that was there before changes."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402
import reliability as r  # noqa: E402

OLD = "前回までの記録\r\n".encode("cp932") + b"2001/2/3 4:05:06 no line end \x81"


class Faults(h.GermTestCase):
    # Budget: each scenario's run is one show_then_end (about 1 s of its show).
    def run_show(self, sb, answer=h.IDNO):
        self.assertEqual(r.show_then_end(self, self.start(sb=sb), answer), 0)

    def test_log_locked_by_another_program(self):
        sb = self.sandbox()
        sb.log.write_bytes(OLD)
        holder = self.hold_log(sb, "none", 120)  # open to read and write, shared with nobody
        self.assertFalse(r.opens_for_writing(sb.log), "the lock keeps others out")

        self.run_show(sb)
        self.assertIsNone(holder.poll(), "the lock was held for the whole run")
        self.assertEqual(sb.log_bytes(), OLD)

    def test_folder_bearing_the_log_name(self):
        sb = self.sandbox()
        sb.log.mkdir()
        (sb.log / "inside.txt").write_bytes(OLD)
        self.run_show(sb)
        self.assertEqual([(p.name, p.read_bytes()) for p in sb.log.iterdir()],  # still a folder
                         [("inside.txt", OLD)])
        self.assert_only_exe_and_log(sb)

    def test_read_only_log(self):
        sb = self.sandbox()
        sb.log.write_bytes(OLD)
        r.attrib(sb.log, "+r")
        self.addCleanup(r.attrib, sb.log, "-r")
        # Wine lets root write to a read-only file all the same; making it immutable as well
        # gives the refusal a read-only file meets on Windows.
        if r.opens_for_writing(sb.log):
            r.make_immutable(self, sb.log)
        self.assertFalse(r.opens_for_writing(sb.log), "the file really is read-only")
        self.run_show(sb)
        self.assertEqual(sb.log_bytes(), OLD)

    def test_folder_that_cannot_be_written(self):
        sb = self.sandbox()
        folder = sb.exe.parent
        # Root may create files in any folder whatever its mode; an immutable one refuses.
        r.make_immutable(self, folder)
        probe_file = folder / "probe.tmp"
        with self.assertRaises(OSError, msg="the folder refuses new files"):
            probe_file.write_bytes(b"")
        self.run_show(sb)
        self.assertEqual([p.name for p in folder.iterdir()], ["Germcatcher.exe"])


if __name__ == "__main__":
    h.main()
