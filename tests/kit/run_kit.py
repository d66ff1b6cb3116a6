#!/usr/bin/env python3
"""Runs Germcatcher's test kit from its own folder: the Windows-side tests of the Win32 layers,
then the end-to-end suites on the Windows side (the probe gives the input and reads the screen).
Prints one summary line per suite and a last line "N passed, N failed"; the output of every
suite goes to logs/ and a screenshot of every failed end-to-end test to failures/, both beside
this file. Nothing is written elsewhere but the user's temporary folder.

    run_kit.py [--suites test_opening,test_show] [--wine]

--wine starts every Windows program through wine (to check the kit on Linux, inside the test
environment of tools/wine-env.sh).
"""

import argparse
import os
import re
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
SUITES = ["test_opening", "test_guard", "test_show"]
WIN32_TESTS = "germ_win32_tests.exe"


def gtest_counts(output):
    def count(pattern):
        m = re.search(pattern, output, re.M)
        return int(m.group(1)) if m else 0

    return (count(r"^\[  PASSED  \] (\d+) tests?"),
            count(r"^\[  FAILED  \] (\d+) tests?, listed below"),
            count(r"^\[  SKIPPED \] (\d+) tests?, listed below"))


def unittest_counts(output):
    ran = re.search(r"^Ran (\d+) tests?", output, re.M)
    bad = sum(int(n) for n in re.findall(r"(?:failures|errors)=(\d+)", output))
    skipped = sum(int(n) for n in re.findall(r"skipped=(\d+)", output))
    total = int(ran.group(1)) if ran else 0
    return total - bad - skipped, bad, skipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--suites", default=",".join(SUITES))
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    logs = HERE / "logs"
    logs.mkdir(exist_ok=True)
    env = dict(os.environ, GERM_E2E_SIDE="windows", GERM_WINDOWS_BUILD=str(HERE),
               GERM_E2E_SHOTS=str(HERE / "failures"), PYTHONIOENCODING="utf-8")
    prefix = ["wine"] if args.wine else []
    total_passed = total_failed = 0

    def report(name, passed, failed, skipped, output, code):
        nonlocal total_passed, total_failed
        (logs / f"{name}.txt").write_text(output, encoding="utf-8")
        if code != 0 and failed == 0:
            failed = 1  # it ended badly without saying which test: count it once
        total_passed += passed
        total_failed += failed
        extra = f", {skipped} skipped" if skipped else ""
        print(f"{name}: {passed} passed, {failed} failed{extra}", flush=True)

    r = subprocess.run(prefix + [str(HERE / WIN32_TESTS)], cwd=HERE, env=env,
                       stdin=subprocess.DEVNULL, capture_output=True, text=True,
                       encoding="utf-8", errors="replace", timeout=900)
    report("win32_tests", *gtest_counts(r.stdout), r.stdout + r.stderr, r.returncode)

    for suite in [s for s in args.suites.split(",") if s]:
        r = subprocess.run([sys.executable, str(HERE / "e2e" / f"{suite}.py")], cwd=HERE,
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                           encoding="utf-8", errors="replace", timeout=1800)
        passed, failed, skipped = unittest_counts(r.stderr)
        report(suite, passed, failed, skipped, r.stdout + r.stderr,
               0 if r.returncode in (0, 77) else r.returncode)

    print(f"{total_passed} passed, {total_failed} failed", flush=True)
    return 1 if total_failed else 0


if __name__ == "__main__":
    sys.exit(main())
