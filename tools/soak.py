#!/usr/bin/env python3
"""make soak N=10: the end-to-end suites on both sides and the two kit profiles, run N times
each as make test runs them (ctest -L e2e, in LANES environments side by side), then a table of
passes and failures per suite with the first failure's message of each, and the wall time. The
whole output of every failed run is kept in build/soak/ (ROUND-SUITE.txt).

    soak.py N [LANES]

Exit code 0 only when every suite passed every time.
"""

import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def output_of(case):
    return "".join(e.text or "" for e in case.iter() if e.tag in ("failure", "system-out"))


def first_failure(out):
    """The line that says what failed, from a failed run's output."""
    lines = [line.strip() for line in out.splitlines() if line.strip()]
    for pattern in (r"^\w*Error: ", r"^FAIL: ", r"\b[1-9]\d* failed", r"[Ff]ail|[Ee]rror"):
        said = [line for line in lines if re.search(pattern, line)]
        if said:
            return said[0][:200]
    return (lines or ["(no output)"])[-1][:200]


def main(rounds, lanes):
    start = time.monotonic()
    results = {}
    kept = ROOT / "build" / "soak"
    shutil.rmtree(kept, ignore_errors=True)
    kept.mkdir(parents=True)
    with tempfile.TemporaryDirectory(prefix="germ-soak-") as tmp:
        for n in range(1, rounds + 1):
            report = Path(tmp) / f"round{n}.xml"
            subprocess.run(["ctest", "--preset", "host", "-L", "e2e", "-j", str(lanes),
                            "--output-junit", str(report)], cwd=ROOT, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
            if not report.exists():
                sys.exit(f"soak: round {n} wrote no report")
            for case in ET.parse(report).getroot().iter("testcase"):
                name, status = case.get("name"), case.get("status")
                if name.endswith(("_env_start", "_env_stop")):
                    continue
                passed, failed, first = results.get(name, (0, 0, ""))
                if status == "run":
                    passed += 1
                else:
                    failed += 1
                    out = output_of(case)
                    (kept / f"{n}-{name}.txt").write_text(out, encoding="utf-8")
                    first = first or f"round {n}: {first_failure(out)}"
                results[name] = (passed, failed, first)
            bad = sum(1 for p, f, _ in results.values() if f)
            print(f"soak: round {n} of {rounds} done, {bad} suites with a failure so far",
                  flush=True)
    width = max(map(len, results), default=10)
    print(f"\n{'suite':<{width}}  passed  failed  first failure")
    for name in sorted(results):
        passed, failed, first = results[name]
        print(f"{name:<{width}}  {passed:>6}  {failed:>6}  {first}")
    minutes, seconds = divmod(int(time.monotonic() - start), 60)
    print(f"\nsoak: {rounds} rounds in {minutes} min {seconds} s")
    return 1 if any(f for _, f, _ in results.values()) else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: soak.py N [LANES]")
    sys.exit(main(int(sys.argv[1]), int(sys.argv[2]) if len(sys.argv) == 3 else 4))
