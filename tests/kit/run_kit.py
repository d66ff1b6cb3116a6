#!/usr/bin/env python3
"""Runs Germcatcher's test kit from its own folder: the Windows-side tests of the Win32 layers,
then the end-to-end suites on the Windows side (the probe gives the input and reads the screen).
Prints one summary line per suite, each skipped test with its reason, and a last line
"N passed, N failed, N skipped"; the output of every suite goes to logs/ and a screenshot of
every failed end-to-end test to failures/, both beside this file. The Windows-side tests write
their log, germ_win32_tests.txt, beside themselves; nothing else is written but the user's
temporary folder, and the user's regional settings only with --may-change-settings.

    run_kit.py [--suites test_opening,test_show] [--may-change-settings] [--wine]
               [--expect-locale ja-JP] [--expect-stamp 2026-01-04T09:03:07=2026/01/04 9:03:07]

--may-change-settings lets the tests change the user's regional settings for a moment and put
them back (a hosted runner's user; not your own unless you agree). --wine starts every Windows
program through wine (to check the kit on Linux, inside the test environment of
tools/wine-env.sh). --expect-locale and --expect-stamp make sure the machine is the user it is
meant to be before anything runs: the user's locale name, and the log's stamp the user's
settings give for a moment, as the system renders it.

Exit code 0 only when every test passed and at least one ran in every suite. Each suite applies
its own rule to skips (under CI=true, where every capability must be there, a skip fails it);
a suite that says it skipped a test (exit code 77) without a skip to show for it has failed.
"""

import argparse
import json
import os
import re
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
SUITES = [line.strip() for line in (HERE / "suites.txt").read_text(encoding="utf-8").splitlines()
          if line.strip() and not line.startswith("#")]
WIN32_TESTS = "germ_win32_tests.exe"
SKIPPED_CODE = 77  # the suites' own code for "passed, but something was skipped"


def gtest_results(output):
    """(passed, failed, [(test, reason)] skipped) from GoogleTest's output."""
    def count(pattern):
        m = re.search(pattern, output, re.M)
        return int(m.group(1)) if m else 0

    skipped = [(m.group(1), " ".join(m.group(2).split()) or "no reason given")
               for m in re.finditer(r"^\[ RUN      \] (\S+)\n(?:.*\): Skipped\n)?(.*?)"
                                    r"^\[  SKIPPED \] \1 \(", output, re.M | re.S)]
    return (count(r"^\[  PASSED  \] (\d+) tests?"),
            count(r"^\[  FAILED  \] (\d+) tests?, listed below"), skipped)


def unittest_results(output):
    """(passed, failed, [(test, reason)] skipped) from unittest's verbose output."""
    ran = re.search(r"^Ran (\d+) tests?", output, re.M)
    bad = sum(int(n) for n in re.findall(r"(?:failures|errors)=(\d+)", output))
    # The reason is printed as Python's repr: in double quotes when it holds a single quote.
    skipped = [(test, reason[1:-1]) for test, reason in re.findall(
        r"^(\w+) \([\w.]+\)(?:\n[^\n]*?)? \.\.\. skipped ('.*'|\".*\")$", output, re.M)]
    total = int(ran.group(1)) if ran else 0
    return total - bad - len(skipped), bad, skipped


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--suites", default=",".join(SUITES))
    parser.add_argument("--may-change-settings", action="store_true")
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--expect-locale")
    parser.add_argument("--expect-stamp", metavar="WHEN=STAMP")
    args = parser.parse_args()
    logs = HERE / "logs"
    logs.mkdir(exist_ok=True)
    env = dict(os.environ, GERM_E2E_SIDE="windows", GERM_WINDOWS_BUILD=str(HERE),
               GERM_E2E_SHOTS=str(HERE / "failures"), PYTHONIOENCODING="utf-8")
    if args.may_change_settings:
        env["GERM_MAY_CHANGE_SETTINGS"] = "1"
    if not args.wine:
        # Only a run through wine is in the test environment that provides these.
        for name in ("GERM_SCREEN", "DISPLAY", "WINEPREFIX"):
            env.pop(name, None)
    prefix = ["wine"] if args.wine else []
    totals = {"passed": 0, "failed": 0, "skipped": 0}

    def probe(*words):
        r = subprocess.run(prefix + [str(HERE / "probe.exe"), *words], cwd=HERE, env=env,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        lines = [json.loads(line) for line in r.stdout.decode("utf-8").splitlines() if line]
        return lines[0] if lines else {"error": r.stderr.decode("utf-8", "replace")[-300:]}

    wrong = []
    if args.expect_locale:
        got = probe("localeinfo").get("SNAME")
        if got != args.expect_locale:
            wrong.append(f"the locale {args.expect_locale} was asked for and {got} is there")
    if args.expect_stamp:
        when, stamp = args.expect_stamp.split("=", 1)
        got = probe("stamps", when, "1").get("stamp")
        if got != stamp:
            wrong.append(f"{when} was to be stamped {stamp!r} and the settings give {got!r}")
    if wrong:
        print("settings: not as asked: " + "; ".join(wrong), flush=True)
        print("0 passed, 1 failed, 0 skipped", flush=True)
        return 1
    if args.expect_locale or args.expect_stamp:
        print("settings: as asked", flush=True)

    def report(name, passed, failed, skipped, output, code):
        (logs / f"{name}.txt").write_text(output, encoding="utf-8")
        if failed == 0 and (code not in (0, SKIPPED_CODE) or (code == SKIPPED_CODE and not skipped)):
            failed = 1  # it ended badly, or said it skipped what cannot be found: count it once
        if passed + failed + len(skipped) == 0:
            failed = 1  # a suite that ran nothing proves nothing
            print(f"{name}: ran no test", flush=True)
        totals["passed"] += passed
        totals["failed"] += failed
        totals["skipped"] += len(skipped)
        extra = f", {len(skipped)} skipped" if skipped else ""
        print(f"{name}: {passed} passed, {failed} failed{extra}", flush=True)
        for test, reason in skipped:
            print(f"  skipped {test}: {reason}", flush=True)

    r = subprocess.run(prefix + [str(HERE / WIN32_TESTS)], cwd=HERE, env=env,
                       stdin=subprocess.DEVNULL, capture_output=True, text=True,
                       encoding="utf-8", errors="replace", timeout=900)
    report("win32_tests", *gtest_results(r.stdout), r.stdout + r.stderr, r.returncode)

    for suite in [s for s in args.suites.split(",") if s]:
        r = subprocess.run([sys.executable, str(HERE / "e2e" / f"{suite}.py")], cwd=HERE,
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                           encoding="utf-8", errors="replace", timeout=1800)
        report(suite, *unittest_results(r.stderr), r.stdout + r.stderr, r.returncode)

    print(f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped",
          flush=True)
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main())
