#!/usr/bin/env python3
"""The test kit holds everything it needs: packed, unpacked into a folder of its own, and run
from there (with the Windows side's programs started through wine, in the Wine environment it is
run in), its entry runs the Windows-side tests and the end-to-end suites and reports them, with
nothing failed and nothing skipped.

GERM_KIT_SUITES names the suites (default test_opening; "all" for the kit's own default, every
suite). Run in the environments that stand for other users' machines, this is what catches a
test that takes Wine's defaults for the truth."""

import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("GERM_WINDOWS_BUILD", ROOT / "build" / "windows"))


class Kit(unittest.TestCase):
    def test_kit_unpacked_elsewhere_runs_and_reports(self):
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-kit-")))
        subprocess.run([sys.executable, ROOT / "tools" / "test_kit.py", BUILD, tmp / "out"],
                       check=True, capture_output=True)
        kit = next((tmp / "out").glob("Germcatcher-*-windows-x64-tests.zip"))
        with zipfile.ZipFile(kit) as z:
            self.assertEqual(sorted(z.namelist()), sorted([
                "Germcatcher.exe", "probe.exe", "germ_win32_tests.exe", "e2e/harness.py",
                "e2e/test_opening.py", "e2e/test_guard.py", "e2e/test_show.py", "run_kit.py",
                "run-tests.cmd", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]))
            # The Windows-side tests link GoogleTest: its notice travels with them.
            notices = z.read("THIRD-PARTY-NOTICES.txt").decode("utf-8-sig")
            self.assertIn("GoogleTest", notices)
            self.assertIn("In: germ_win32_tests.exe\r\n", notices)
            cmd = z.read("run-tests.cmd")
            self.assertIn(b"\r\n    py -3 ", cmd)
            self.assertIn(b"\r\n    python ", cmd)
            z.extractall(tmp / "kit")
        suites = os.environ.get("GERM_KIT_SUITES", "test_opening")
        args = [] if suites == "all" else ["--suites", suites]
        r = subprocess.run([sys.executable, tmp / "kit" / "run_kit.py", "--wine",
                            "--may-change-settings", *args], cwd=tmp, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=1800)
        print(r.stdout, file=sys.stderr)
        lines = r.stdout.strip().splitlines()
        if r.returncode != 0:  # the failed suites' own output goes with the verdict
            failed = [line.split(":")[0] for line in lines if re.search(r": .*[1-9]\d* failed", line)]
            self.fail(r.stdout + r.stderr + "".join(
                f"\n--- logs/{name}.txt\n" + (tmp / "kit" / "logs" / f"{name}.txt").read_text(
                    encoding="utf-8", errors="replace") for name in failed
                if (tmp / "kit" / "logs" / f"{name}.txt").exists()))
        expected = ["win32_tests", *(suites.split(",") if suites != "all" else
                                     ["test_opening", "test_guard", "test_show"])]
        self.assertEqual([line.split(":")[0] for line in lines[:-1]], expected,
                         "one line per suite, and no skipped test listed")
        for line in lines[:-1]:
            self.assertRegex(line, r"^\w+: [1-9]\d* passed, 0 failed$")
        self.assertRegex(lines[-1], r"^[1-9]\d* passed, 0 failed, 0 skipped$")
        # Its own folder gets the logs; no failure left a screenshot.
        self.assertTrue((tmp / "kit" / "logs" / "test_opening.txt").exists())
        self.assertFalse((tmp / "kit" / "failures").exists())
        m = re.match(r"(\d+)", lines[-1])
        self.assertGreater(int(m.group(1)), 10)


if __name__ == "__main__":
    unittest.main(verbosity=2)
