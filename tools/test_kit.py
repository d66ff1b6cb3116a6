#!/usr/bin/env python3
"""make test-kit: packs the tests for a Windows machine into one zip.

    test_kit.py BUILD_DIR OUT_DIR

Writes OUT_DIR/Germcatcher-<version>-windows-x64-tests.zip: the program, the probe and the
Windows-side tests from BUILD_DIR, the end-to-end suites that run on the Windows side,
run-tests.cmd with its Python entry, the licence, and the third-party notices of all three
programs, derived from their linker maps. Unpacked anywhere on Windows 10 or 11 with Python 3,
run-tests.cmd runs them all.
"""

import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
import dist  # noqa: E402
import notices  # noqa: E402

PROGRAMS = ("Germcatcher.exe", "probe.exe", "germ_win32_tests.exe")
# The end-to-end harness the suites import.
HARNESS = ("harness.py", "oracle.py", "driver.py", "windows.py", "logfile.py")
SUITE_LIST = ROOT / "tests" / "kit" / "suites.txt"


def suites():
    """The end-to-end suites the kit carries and runs, as suites.txt lists them."""
    return [line.strip() for line in SUITE_LIST.read_text(encoding="utf-8").splitlines()
            if line.strip() and not line.startswith("#")]


def kit_entries(build, version):
    entries, maps = [], []
    for name in PROGRAMS:
        link_map = build / (name[: -len(".exe")] + ".map")
        for path in (build / name, link_map):
            if not path.exists():
                dist.fail(f"{path} is missing: build the windows preset first")
        entries.append((name, (build / name).read_bytes()))
        maps.append((name, link_map.read_text(encoding="utf-8", errors="replace")))
    entries += [(f"e2e/{name}", (ROOT / "tests" / "e2e" / name).read_bytes())
                for name in [*HARNESS, *(f"{suite}.py" for suite in suites())]]
    kit = ROOT / "tests" / "kit"
    entries += [(name, (kit / name).read_bytes()) for name in ("suites.txt", "run_kit.py")]
    cmd = (kit / "run-tests.cmd").read_text(encoding="utf-8")
    entries.append(("run-tests.cmd", cmd.replace("\r\n", "\n").replace("\n", "\r\n").encode()))
    third_party, _ = notices.notices(maps, version,
                                     f"Third-party notices for the Germcatcher {version} test kit")
    return entries + dist.licence_entries(third_party)


def main(build, out):
    build, out = Path(build), Path(out)
    version = dist.project_version(build)
    out.mkdir(parents=True, exist_ok=True)
    path = out / f"Germcatcher-{version}-windows-x64-tests.zip"
    dist.write_zip(path, kit_entries(build, version), dist.source_time())
    print(f"test-kit: {path} ({path.stat().st_size / 1024:.1f} KiB)")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: test_kit.py BUILD_DIR OUT_DIR")
    sys.exit(main(sys.argv[1], sys.argv[2]))
