#!/usr/bin/env python3
"""The test kit holds everything it needs: packed, unpacked into a folder of its own, and run
from there (with the Windows side's programs started through wine, in the Wine environment it is
run in), its entry runs the Windows-side tests and every end-to-end suite and reports them, with
nothing failed and nothing skipped. Run in the environments that stand for other users' machines,
this is what catches a test that takes Wine's defaults for the truth.

    test_kit.py [--expect-locale=NAME] [--expect-stamp=WHEN=STAMP] [Kit | Verdict]

The --expect options go to the kit's entry, which checks the machine's settings with them first.
Verdict, which needs no Wine, checks the entry's verdict on suites that misreport."""

import importlib.util
import os
import re
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("GERM_WINDOWS_BUILD", ROOT / "build" / "windows"))
# The list as the kit's packer reads it (tools/test_kit.py, a namesake of this file).
_spec = importlib.util.spec_from_file_location("kit_packer", ROOT / "tools" / "test_kit.py")
_packer = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_packer)
SUITES = _packer.suites()
EXPECT = [a for a in sys.argv[1:] if a.startswith("--expect-")]


class Kit(unittest.TestCase):
    def test_kit_unpacked_elsewhere_runs_and_reports(self):
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-kit-")))
        subprocess.run([sys.executable, ROOT / "tools" / "test_kit.py", BUILD, tmp / "out"],
                       check=True, capture_output=True)
        kit = next((tmp / "out").glob("Germcatcher-*-windows-x64-tests.zip"))
        with zipfile.ZipFile(kit) as z:
            self.assertEqual(sorted(z.namelist()), sorted([
                "Germcatcher.exe", "probe.exe", "germ_win32_tests.exe", "e2e/harness.py",
                *(f"e2e/{name}.py" for name in SUITES), "suites.txt", "run_kit.py",
                "run-tests.cmd", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]))
            # The Windows-side tests link GoogleTest: its notice travels with them.
            notices = z.read("THIRD-PARTY-NOTICES.txt").decode("utf-8-sig")
            self.assertIn("GoogleTest", notices)
            self.assertIn("In: germ_win32_tests.exe\r\n", notices)
            cmd = z.read("run-tests.cmd")
            self.assertIn(b"\r\n    py -3 ", cmd)
            self.assertIn(b"\r\n    python ", cmd)
            z.extractall(tmp / "kit")
        r = subprocess.run([sys.executable, tmp / "kit" / "run_kit.py", "--wine",
                            "--may-change-settings", *EXPECT], cwd=tmp, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=1800)
        print(r.stdout, file=sys.stderr)
        lines = r.stdout.strip().splitlines()
        if r.returncode != 0:  # the failed suites' own output goes with the verdict
            failed = [line.split(":")[0] for line in lines if re.search(r": .*[1-9]\d* failed", line)]
            self.fail(r.stdout + r.stderr + "".join(
                f"\n--- logs/{name}.txt\n" + (tmp / "kit" / "logs" / f"{name}.txt").read_text(
                    encoding="utf-8", errors="replace") for name in failed
                if (tmp / "kit" / "logs" / f"{name}.txt").exists()))
        if EXPECT:
            self.assertEqual(lines.pop(0), "settings: as asked")
        self.assertEqual([line.split(":")[0] for line in lines[:-1]], ["win32_tests", *SUITES],
                         "one line per suite, and no skipped test listed")
        for line in lines[:-1]:
            self.assertRegex(line, r"^\w+: [1-9]\d* passed, 0 failed$")
        self.assertRegex(lines[-1], r"^[1-9]\d* passed, 0 failed, 0 skipped$")
        # Its own folder gets the logs; no failure left a screenshot.
        self.assertTrue((tmp / "kit" / "logs" / "test_opening.txt").exists())
        self.assertFalse((tmp / "kit" / "failures").exists())
        # The count is the sum of what each suite's own runner says it ran.
        ran = [re.search(r"^\[=+\] (\d+) tests? from .* ran|^Ran (\d+) tests? in", (
            tmp / "kit" / "logs" / f"{name}.txt").read_text(encoding="utf-8"), re.M).groups()
            for name in ["win32_tests", *SUITES]]
        self.assertEqual(int(re.match(r"(\d+)", lines[-1]).group(1)),
                         sum(int(a or b) for a, b in ran))


class Verdict(unittest.TestCase):
    """The entry's verdict, with stand-ins for the programs and one suite: a suite that exits
    with the skip code shows its skip or has failed, and a machine whose settings are not the
    ones asked for runs nothing."""

    def run_kit(self, suite_code, suite_output, *options):
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-verdict-")))
        (tmp / "e2e").mkdir()
        (tmp / "run_kit.py").write_bytes((ROOT / "tests" / "kit" / "run_kit.py").read_bytes())
        (tmp / "suites.txt").write_text("test_one\n")
        (tmp / "e2e" / "test_one.py").write_text(
            f"import sys\nsys.stderr.write({suite_output!r})\nsys.exit({suite_code})\n")
        stand_ins = {
            "germ_win32_tests.exe": "echo '[  PASSED  ] 1 test.'",
            "probe.exe": """case $1 in
localeinfo) echo '{"SNAME":"en-US"}' ;;
stamps) echo '{"stamp":"1/4/2026 9:03:07 AM"}' ;;
esac""",
        }
        for name, body in stand_ins.items():
            (tmp / name).write_text(f"#!/bin/sh\n{body}\n")
            (tmp / name).chmod(stat.S_IRWXU)
        r = subprocess.run([sys.executable, tmp / "run_kit.py", *options], cwd=tmp,
                           capture_output=True, text=True, timeout=60,
                           env={k: v for k, v in os.environ.items() if k != "CI"})
        return r.returncode, r.stdout.strip().splitlines()

    def test_a_skip_code_needs_a_skip(self):
        ran = "test_a (__main__.T.test_a) ... ok\n\nRan 2 tests in 0.1s\n\nOK\n"
        skip = "test_b (__main__.T.test_b) ... skipped \"the user's settings\"\n"
        self.assertEqual(self.run_kit(77, ran), (1, [
            "win32_tests: 1 passed, 0 failed", "test_one: 2 passed, 1 failed",
            "3 passed, 1 failed, 0 skipped"]))
        self.assertEqual(self.run_kit(77, skip + ran), (0, [
            "win32_tests: 1 passed, 0 failed", "test_one: 1 passed, 0 failed, 1 skipped",
            "  skipped test_b: the user's settings", "2 passed, 0 failed, 1 skipped"]))

    def test_settings_not_as_asked_run_nothing(self):
        ran = "Ran 1 test in 0.1s\n\nOK\n"
        self.assertEqual(self.run_kit(0, ran, "--expect-locale", "en-US", "--expect-stamp",
                                      "2026-01-04T09:03:07=1/4/2026 9:03:07 AM")[0], 0)
        code, lines = self.run_kit(0, ran, "--expect-locale", "ja-JP", "--expect-stamp",
                                   "2026-01-04T09:03:07=2026/01/04 9:03:07")
        self.assertEqual(code, 1)
        self.assertEqual(lines, [
            "settings: not as asked: the locale ja-JP was asked for and en-US is there; "
            "2026-01-04T09:03:07 was to be stamped '2026/01/04 9:03:07' and the settings give "
            "'1/4/2026 9:03:07 AM'", "0 passed, 1 failed, 0 skipped"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], *(a for a in sys.argv[1:] if a not in EXPECT)],
                  verbosity=2)
