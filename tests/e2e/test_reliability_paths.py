"""Installation folders that trip up path handling: double-byte names whose Shift_JIS second
byte is 0x5C ("\\"), a dot in a folder name with a file that has no extension, and a path longer
than 260 characters. The log lands beside the executable under the right name each time."""

import datetime
import subprocess
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402
import reliability as r  # noqa: E402

# In Shift_JIS each of 表, ソ and 能 ends in the byte 0x5C.
assert all("表ソ能"[i].encode("cp932")[1] == 0x5C for i in range(3))


class DirectProgram(h.Program):
    """A run started by Wine's own loader from the program's folder: Wine's CreateProcess cannot
    start a program whose path is longer than 260 characters, its loader can."""

    def __init__(self, exe):
        self.started = datetime.datetime.now()
        self.pid = None
        self.exit_code = None
        self.ended = threading.Event()
        self._launcher = subprocess.Popen(["wine", "./" + exe.name], cwd=exe.parent,
                                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL)
        threading.Thread(target=self._wait, daemon=True).start()
        box = h.wait_for(lambda: next((w for w in h.probe("list") if h.is_box(w)), None), 60,
                         "the program's first box")
        self.pid = box["pid"]

    def _wait(self):
        self.exit_code = self._launcher.wait()
        self.ended.set()

    def kill(self):
        if self.running() and self.pid:
            h.probe("kill", self.pid)
        if self._launcher.poll() is None:
            self._launcher.kill()
        self._launcher.wait()


class Paths(h.GermTestCase):
    # Budget: each scenario's run is one show_then_end (about 1 s of its show).
    def run_in(self, sb, answer=h.IDNO, direct=False):
        if direct:
            prog = DirectProgram(sb.exe)
            prog.sandbox = sb
            self.addCleanup(prog.kill)
        else:
            prog = self.start(sb=sb)
        self.assertEqual(r.show_then_end(self, prog, answer), 0)
        self.assert_log(prog, ["start", h.KIND[answer]])
        self.assert_only_exe_and_log(sb)  # beside the executable and nowhere else

    def test_folders_with_0x5c_trail_bytes_a_dotted_one_and_no_extension(self):
        for name, subdir, log in (("能力.exe", "表示/ソフト/能", "能力.txt"),
                                  ("ソ能", "表.ソフト", "ソ能.txt")):
            with self.subTest(subdir):
                sb = self.sandbox(name=name, subdir=subdir)
                self.assertEqual(sb.log.name, log)
                self.run_in(sb)

    def test_installation_path_longer_than_260_characters(self):
        sb = self.sandbox(subdir="/".join(f"長い名前のフォルダ{i}" + "x" * 50 for i in range(4)))
        self.assertGreater(len(h.winpath(sb.exe)), 260)
        self.run_in(sb, direct=True)


if __name__ == "__main__":
    h.main()
