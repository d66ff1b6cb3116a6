#!/usr/bin/env python3
"""make mutate: how many one-line faults in the portable layers the host unit tests catch.

Each mutant is one line of a copy of the sources (build/mutate/tree) changed: a comparison, &&
and ||, true and false, a dropped !, + and -, ++ and --, an integer constant by one, or a call
statement dropped. It is built into the unit tests (build/mutate/build), which run with a time
limit: a failure or a time-out kills it. One that does not build is invalid. One whose objects
are all byte-identical to the original's is equivalent and not run, as is one listed in
tools/mutate-equivalent.txt; a header's line that only the Windows build compiles comes out
identical too (like win32/, it is beyond the host tests, and the Windows-side tests guard it).
The sample is the N mutants whose hash with the seed is lowest, so that an edit elsewhere does
not reshuffle it. --files takes paths, folders or globs; --base COMMIT the lines changed since
COMMIT, all of their mutants unless --n is given.
"""

import argparse
import fnmatch
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
TREE, BUILD = ROOT / "build/mutate/tree", ROOT / "build/mutate/build"
EQUIVALENT = ROOT / "tools/mutate-equivalent.txt"
# The portable layers. Their backends are left out: win32/ is not built for the host, and
# neither posix/ (the host's stand-in for win32/) nor headless/ (the tests' own window system)
# is shipped. FILES= may still name a backend file that the host builds.
LAYERS = ("src/show", "src/log", "src/ui", "src/forms", "src/platform")
DEFAULT_N, JOBS = 200, str(os.cpu_count() or 2)

SWAP = {"==": "!=", "!=": "==", "<": "<=", "<=": "<", ">": ">=", ">=": ">", "&&": "||",
        "||": "&&", "+": "-", "-": "+", "+=": "-=", "-=": "+=", "++": "--", "--": "++",
        "true": "false", "false": "true", "!": ""}
# Binary operators only with a space either side, as clang-format writes them: that leaves out
# template brackets, ->, <<, unary minus and references.
OPERATOR = re.compile(r"(?<= )(==|!=|[<>]=?|&&|\|\||[-+]=?)(?= )|\+\+|--|\b(true|false)\b|!(?!=)")
# An integer literal, not part of a name or a floating one, nor the 0 of a pure virtual function.
NUMBER = re.compile(r"(?<![\w.])(?<!\) = )(0[xX][0-9a-fA-F]+|\d+)(?=[uUlL]*(?![\w.]))")
ATOM = r"[A-Za-z_][\w:]*(?:\(\)|\[\w+\])?"  # a name, a call without arguments, an element
CALL = re.compile(rf"(?!(static_assert|sizeof|decltype)\()(?:{ATOM}(?:\.|->))*[\w:]+\(.*\);")
LITERAL = re.compile(r"//[^\n]*|/\*.*?\*/|\"(\\.|[^\"\\\n])*\"|'(\\.|[^'\\\n])*'", re.S)
PREPROCESSOR = re.compile(r"^[ \t]*#([^\n]*\\\n)*[^\n]*", re.M)


def code_lines(text):
    """The lines with comments and literals blanked (NUL) and preprocessor lines emptied."""
    text = LITERAL.sub(lambda m: re.sub(r"[^\n]", "\0", m.group()), text)
    return PREPROCESSOR.sub(lambda m: "\n" * m.group().count("\n"), text).split("\n")


def mutants(path, text):
    """(path, line number, line, mutated line) for each mutant of a file."""
    lines, before = text.split("\n"), ""
    for number, code in enumerate(code_lines(text), 1):
        line, new = lines[number - 1], []
        for m in OPERATOR.finditer(code):
            new.append(line[: m.start()] + SWAP[m.group()] + line[m.end() :])
        for m in NUMBER.finditer(code):  # an octal or hexadecimal one stays so
            digits = m.group(1)
            hexadecimal, octal = digits[1:2] in ("x", "X"), digits[0] == "0" < digits
            value = int(digits, 16 if hexadecimal else 8 if octal else 10)
            for v in (value + 1, value - 1) if value else (1,):
                moved = f"{digits[:2]}{v:0{len(digits) - 2}X}" if hexadecimal else (
                    f"0{v:o}" if octal else str(v))
                new.append(line[: m.start()] + moved + line[m.end() :])
        bare = code.rstrip(" \t\0").lstrip()
        # A call statement alone on its line, after the end of another or a branch's head; not a
        # declaration, which names types (a constructor's, in a class after public: or a member).
        if (CALL.fullmatch(bare) and bare.count("(") == bare.count(")")
                and ("](" in bare or not re.search(r"\w[*&]* +\w", bare[bare.index("(") :]))
                and (before.endswith((";", "{", "}", ")", ":")) or before in ("else", "do"))
                and before not in ("public:", "protected:", "private:")):
            new.append(line[: len(line) - len(line.lstrip())] + "{}")
        before = bare or before
        yield from ((path, number, line, n) for n in dict.fromkeys(new) if n != line)


def key(m):
    """A mutant's name, without its line number so that edits elsewhere keep it."""
    return f"{m[0]} | {m[2].strip()} | {m[3].strip()}"


def run(cmd, timeout=None, cwd=None):
    """The exit status, or "time-out". However this ends, what the command started ends too (make
    then deletes the object it was writing), so that no mutant's object outlives its turn."""
    with subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          start_new_session=True) as p:
        try:
            return p.wait(timeout)
        except subprocess.TimeoutExpired:
            return "time-out"
        finally:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGTERM)


def sync_tree():
    """The copy takes the work tree's files as they are now; unchanged ones keep their times."""
    listed = subprocess.check_output(["git", "ls-files", "-coz", "--exclude-standard", "--",
                                      "CMakeLists.txt", "CMakePresets.json", "cmake", "src",
                                      "tests"], cwd=ROOT, text=True)
    wanted = {p for p in listed.split("\0") if p and (ROOT / p).is_file()}
    for p in wanted:
        if not (TREE / p).is_file() or (TREE / p).read_bytes() != (ROOT / p).read_bytes():
            (TREE / p).parent.mkdir(parents=True, exist_ok=True)
            (TREE / p).write_bytes((ROOT / p).read_bytes())
    for p in TREE.rglob("*"):
        if p.is_file() and str(p.relative_to(TREE)) not in wanted:
            p.unlink()


def changed_lines(base, files):
    """(path, line number) of each line that differs from the commit `base` in the work tree."""
    lines, path = set(), None
    diff = ["git", "diff", "-U0", "--no-color", "--no-ext-diff", base, "--", *files]
    for line in subprocess.check_output(diff, cwd=ROOT, text=True).split("\n"):
        if line.startswith("+++ "):
            path = line[6:] if line.startswith("+++ b/") else None
        elif (hunk := re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)) and path:
            lines |= {(path, int(hunk[1]) + k) for k in range(int(hunk[2] or 1))}
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for option, default in (("--n", None), ("--seed", "1"), ("--files", ""), ("--base", None)):
        parser.add_argument(option, default=default, type=int if option == "--n" else str)
    opts = parser.parse_args()
    for stop in (signal.SIGINT, signal.SIGTERM):  # the copy's source is put back all the same
        signal.signal(stop, lambda *_: sys.exit("mutate: stopped"))
    start = time.monotonic()
    sync_tree()
    # Without debug information, which holds the columns that most mutants move, the objects of
    # a mutant that changes no code are byte-identical to the original's.
    presets = json.loads((ROOT / "CMakePresets.json").read_text())["configurePresets"]
    host = next(p for p in presets if p["name"] == "host")["cacheVariables"]
    if run(["cmake", "-S", TREE, "-B", BUILD, *(f"-D{k}={v}" for k, v in host.items()),
            "-DCMAKE_CXX_FLAGS_DEBUG=", "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]):
        sys.exit(f"mutate: cmake cannot configure {BUILD}")
    build = ["cmake", "--build", BUILD, "--target", "germ_unit_tests", "-j", JOBS]
    tests = [BUILD / "germ_unit_tests", "--gtest_brief=1"]
    if run(build):
        sys.exit(f"mutate: the unit tests do not build without a mutant ({BUILD})")
    t0 = time.monotonic()
    if run(tests, 600, BUILD):
        sys.exit("mutate: the unit tests fail without a mutant")
    limit = max(10.0, 10 * (time.monotonic() - t0))
    objects = {o: o.read_bytes() for o in BUILD.glob("CMakeFiles/*/**/*.o")}
    compiled = set()  # what the host build reads, as paths in the copy
    for d in BUILD.glob("CMakeFiles/*/**/*.o.d"):
        deps = map(os.path.realpath, d.read_text().replace("\\\n", " ").split(":", 1)[1].split())
        compiled |= {os.path.relpath(p, TREE) for p in deps if p.startswith(f"{TREE}/src/")}
    wanted = [w.rstrip("/") for w in re.split(r"[\s,]+", opts.files) if w]
    files = sorted(f for f in compiled if (any(fnmatch.fnmatch(f, w) or fnmatch.fnmatch(
        f, w + "/*") for w in wanted) if wanted else f.rsplit("/", 1)[0] in LAYERS))
    if not files:
        sys.exit(f"mutate: FILES={opts.files} names no source that the host build compiles")
    population, seen = [m for f in files for m in mutants(f, (TREE / f).read_text())], {}
    if opts.base:
        changed = changed_lines(opts.base, files)
        population = [m for m in population if m[:2] in changed]
    for i, m in enumerate(population):  # the same change on identical lines: told apart
        seen[key(m)] = seen.get(key(m), 0) + 1
        population[i] = (*m, seen[key(m)])
    n = opts.n if opts.n is not None else len(population) if opts.base else DEFAULT_N
    rank = lambda m: hashlib.sha256(f"{opts.seed}|{key(m)}|{m[4]}".encode()).digest()
    sample = sorted(sorted(population, key=rank)[:n], key=lambda m: m[:2])
    listed = dict(line.rsplit(" | ", 1) for line in EQUIVALENT.read_text().split("\n")
                  if line.strip() and not line.startswith("#"))
    if not wanted and not opts.base:
        for stale in set(listed) - set(seen):
            print(f"mutate: {EQUIVALENT.name} lists a mutant that no longer exists: {stale}")
    # A source compiled again must give the same bytes, or no mutant could be found identical.
    os.utime(TREE / next((f for f in files if f.endswith(".cpp")), files[0]))
    if run(build) or any(o.read_bytes() != data for o, data in objects.items()):
        sys.exit("mutate: the same sources compiled again give other objects")
    since = f" on the lines changed since {opts.base}" if opts.base else ""
    print(f"mutate: {len(sample)} of {len(population)} mutants{since} in {len(files)} files, "
          f"seed {opts.seed}, the tests limited to {limit:.0f} s", flush=True)
    results = {v: [] for v in ("killed", "survived", "identical", "listed", "invalid")}
    for i, m in enumerate(sample, 1):
        source, verdict = TREE / m[0], "listed"
        original = source.read_text()
        if key(m) not in listed:
            try:
                lines = original.split("\n")
                source.write_text("\n".join(lines[: m[1] - 1] + [m[3]] + lines[m[1] :]))
                if run(build, 1800):
                    verdict = "invalid"
                elif all(o.read_bytes() == data for o, data in objects.items()):
                    verdict = "identical"
                else:
                    verdict = "survived" if run(tests, limit, BUILD) == 0 else "killed"
            finally:
                source.write_text(original)
        results[verdict].append(m)
        print(f"[{i}/{len(sample)}] {verdict:9} {m[0]}:{m[1]}: {m[3].strip()}", flush=True)
    killed, survived, same, listed, invalid = (len(results[v]) for v in results)
    score = f"{100 * killed / (killed + survived):.1f} %" if killed + survived else "n/a"
    print(f"\nkilled {killed}, survived {survived}, equivalent {same + listed} ({same} identical "
          f"objects, {listed} listed), invalid {invalid}\nscore {score} ({killed} of "
          f"{killed + survived}), {(time.monotonic() - start) / 60:.1f} min")
    for path, number, old, new, _ in results["survived"]:
        print(f"survived {path}:{number}: {old.strip()}  =>  {new.strip()}")


if __name__ == "__main__":
    main()
