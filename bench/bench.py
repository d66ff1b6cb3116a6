#!/usr/bin/env python3
"""Measures the Windows program under Wine and prints one line per figure.

Run inside a Wine environment (bench/run.sh starts one). Machine-dependent figures are ratios
against bench/baseline (a program that only shows the same question box), measured in the same
session with the runs of the two alternating. A figure that misses its target is reported as
"short"; the exit code is 0 all the same, since this is a measurement, not a test.

Environment: GERM_WINDOWS_BUILD (default build/windows) holds Germcatcher.exe and probe.exe;
BENCH_BASELINE names the baseline program; BENCH_STARTS (default 40) and BENCH_RUNS (default 2)
set the number of start-ups and of whole runs per path.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "tests" / "binary"))
import check_pe  # noqa: E402
import harness as h  # noqa: E402

BASELINE = Path(os.environ.get("BENCH_BASELINE", ROOT / "build" / "windows" / "baseline.exe"))
STARTS = int(os.environ.get("BENCH_STARTS", "40"))
RUNS = int(os.environ.get("BENCH_RUNS", "2"))

TICK_MS = 125
YES_NOMINAL_MS = 51 * TICK_MS
NO_NOMINAL_MS = (16 + 1) * TICK_MS + 800 + (40 + 1) * TICK_MS + 400
STEP_TOLERANCE_MS = 20
# The executable's size and its start-up against the baseline, whichever toolchain built both.
SIZE_KIB = 170
STARTUP_RATIO = 1.10
CLK_TCK = os.sysconf("SC_CLK_TCK")


# ---- reporting ------------------------------------------------------------------------------


class Report:
    def __init__(self):
        self.ok = 0
        self.short = 0

    def figure(self, name, value, unit, target, ok, note=""):
        self.ok += bool(ok)
        self.short += not ok
        line = f"{name:<22} {value:>12} {unit:<6} target {target:<16} {'ok' if ok else 'short'}"
        print(line + (f"  ({note})" if note else ""), flush=True)

    def summary(self):
        print(f"bench: {self.ok} ok, {self.short} short", flush=True)


# ---- the watched time line ------------------------------------------------------------------


def events_until(watch, predicate, timeout, what, start=0):
    """Waits until an event of the watch from index start on satisfies predicate; returns it."""

    def find():
        for ev in watch.snapshot()[start:]:
            if predicate(ev):
                return ev
        return None

    return h.wait_for(find, timeout, what, interval=0.02)


def is_visible_box(ev, text=None):
    w = ev.get("win")
    return (
        ev["ev"] == "win"
        and h.is_box(w)
        and w["visible"]
        and (text is None or h.box_text(w) == text)
    )


def press_and_wait_gone(watch, box, ident, pause=0.0):
    """Presses a button of a box seen by the watch; repeats while the box stays up, as a box
    that has only just appeared may miss the first press."""
    time.sleep(pause)
    hwnd = box["hwnd"]

    def gone(ev):
        return (
            (ev["ev"] == "gone" and ev["hwnd"] == hwnd)
            or (ev["ev"] == "win" and ev["win"]["hwnd"] == hwnd and not ev["win"]["visible"])
            or ev["ev"] == "exit"
        )

    for _ in range(10):
        seen = len(watch.snapshot())
        h.probe("press", hwnd, ident)
        try:
            events_until(watch, gone, 3, "the box to close", start=seen)
            return
        except AssertionError:
            pass
    raise AssertionError(f"the box {h.box_text(box)!r} did not take the press")


def play(exe, answer, finale, watch_ms, pause=0.0, on_pid=None):
    """One whole run: answers the question, waits for each finale box and presses OK.
    Returns the watch's events."""
    prog = h.Program(exe)
    watch = h.Watch(prog.pid, watch_ms)
    try:
        if on_pid:
            on_pid(prog)
        question = events_until(watch, lambda ev: is_visible_box(ev, h.QUESTION), 60, "question")
        press_and_wait_gone(watch, question["win"], answer, pause)
        for text in finale:
            box = events_until(watch, lambda ev: is_visible_box(ev, text), 60, repr(text))
            press_and_wait_gone(watch, box["win"], h.IDOK, pause)
        if prog.wait_exit(30) != 0:
            raise AssertionError(f"exit code {prog.exit_code}")
        watch.wait_end()
        return watch.snapshot()
    finally:
        watch.stop()
        prog.kill()


def path_duration(events, first_finale_text):
    """ms from the poll that first saw the dialog visible to the one that first saw the path's
    first finale box."""
    shown = next(e["t"] for e in events if e["ev"] == "win" and h.is_dialog(e["win"])
                 and e["win"]["visible"])
    box = next(e["t"] for e in events if is_visible_box(e, first_finale_text))
    return box - shown


def step_intervals(events):
    """Intervals in ms between single steps of the bar within one phase. A reading that skipped
    a step (the watch missed it) yields None, which counts as outside any tolerance."""
    out = []
    last = None  # (t, pos, maximum, label)
    for e in events:
        if e["ev"] != "win" or not h.is_dialog(e["win"]) or not e["win"]["visible"]:
            continue
        bar, label = h.bar_of(e["win"]), h.label_of(e["win"])
        if not bar or "pos" not in bar or not bar["visible"]:
            continue
        now = (e["t"], bar["pos"], bar["range"][1], label["text"] if label else None)
        if last and now[1:] != last[1:]:
            same_phase = now[2:] == last[2:]
            if same_phase and now[1] == last[1] + 1 and last[1] > 0:
                out.append(now[0] - last[0])
            elif same_phase and now[1] > last[1] + 1:
                out.append(None)
        if not last or now[1:] != last[1:]:
            last = now
    return out


# ---- the Linux process under Wine ------------------------------------------------------------


def linux_pid(exe, timeout=10):
    """The Linux process that runs exe: Wine gives it the Windows path as its command line."""
    want = h.winpath(exe).encode()

    def find():
        for d in Path("/proc").iterdir():
            if d.name.isdigit():
                try:
                    if (d / "cmdline").read_bytes().split(b"\0")[0] == want:
                        return int(d.name)
                except OSError:
                    pass
        return None

    return h.wait_for(find, timeout, f"the Linux process of {exe}", interval=0.01)


class ProcSampler:
    """Samples CPU time and peak resident memory of a Linux process until it ends; the last
    sample stands for the whole run."""

    def __init__(self, pid):
        self.pid = pid
        self.cpu_s = self.wall_s = 0.0
        self.hwm_kib = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _run(self):
        while not self._stop.is_set():
            try:
                stat = Path(f"/proc/{self.pid}/stat").read_text()
                status = Path(f"/proc/{self.pid}/status").read_text()
                uptime = float(Path("/proc/uptime").read_text().split()[0])
            except OSError:
                return
            fields = stat[stat.rindex(")") + 2 :].split()
            if fields[0] == "Z":
                return
            # Fields 14, 15 (utime, stime) and 22 (starttime), counted from 1 in proc(5).
            self.cpu_s = (int(fields[11]) + int(fields[12])) / CLK_TCK
            self.wall_s = uptime - int(fields[19]) / CLK_TCK
            for line in status.splitlines():
                if line.startswith("VmHWM:"):
                    self.hwm_kib = int(line.split()[1])
            self._stop.wait(0.05)

    def finish(self, timeout=30):
        self._thread.join(timeout)
        self._stop.set()


# ---- the figures ----------------------------------------------------------------------------


def sandbox_copy(src, folder):
    dst = Path(folder) / src.name
    dst.write_bytes(src.read_bytes())
    return dst


def binary_figures(report, work):
    stripped = Path(work) / "stripped.exe"
    subprocess.run(["x86_64-w64-mingw32-strip", "-o", str(stripped), str(h.EXE)], check=True)
    kib = stripped.stat().st_size / 1024
    report.figure("binary.size", f"{kib:.1f}", "KiB", f"<= {SIZE_KIB}", kib <= SIZE_KIB)
    dlls = check_pe.Pe(h.EXE.read_bytes()).imports()
    foreign = [d for d in dlls if d.lower() not in check_pe.KNOWN_DLLS]
    report.figure("binary.imports", str(len(dlls)), "DLLs", "KnownDLLs only", dlls and not foreign,
                  ", ".join(d.lower() for d in dlls))


def startup_ms(exe, attempts=3):
    # A start the probe could not time (Wine very rarely loses one) is tried again rather than
    # ending the whole benchmark.
    for _ in range(attempts):
        out = h.probe("startup", h.winpath(exe), "--ms", 2, timeout=60)
        if out and "box_ms" in out[0]:
            return out[0]["box_ms"]
    raise AssertionError(f"no start-up time for {exe} in {attempts} attempts: {out}")


def startup_figure(report, exe, baseline):
    startup_ms(exe), startup_ms(baseline)  # warm the file cache and Wine's own start-up
    ours, base = [], []
    for _ in range(STARTS):
        ours.append(startup_ms(exe))
        base.append(startup_ms(baseline))
    ratio = statistics.median(ours) / statistics.median(base)
    # The quartiles show how much the machine's load spread the starts.
    spread = [f"{q[0]:.0f}..{q[2]:.0f}" for q in (statistics.quantiles(ours),
                                                  statistics.quantiles(base))]
    report.figure("startup.ratio", f"{ratio:.2f}", "x", f"<= {STARTUP_RATIO:.2f}",
                  ratio <= STARTUP_RATIO,
                  f"median {statistics.median(ours):.0f} ms vs baseline "
                  f"{statistics.median(base):.0f} ms, {STARTS} starts each; quartiles "
                  f"{spread[0]} vs {spread[1]} ms")


def timing_figures(report, exe):
    durations = {"Yes": [], "No": []}
    intervals = []
    for _ in range(RUNS):
        for path, answer, finale in (("Yes", h.IDYES, h.YES_FINALE), ("No", h.IDNO, h.NO_FINALE)):
            events = play(exe, answer, finale, watch_ms=10)
            durations[path].append(path_duration(events, finale[0]))
            intervals += step_intervals(events)
    for path, nominal in (("Yes", YES_NOMINAL_MS), ("No", NO_NOMINAL_MS)):
        worst = max(durations[path], key=lambda d: abs(d - nominal))
        dev = 100 * (worst - nominal) / nominal
        report.figure(f"timing.{path.lower()}_path", f"{worst / 1000:.3f}", "s",
                      f"{nominal / 1000:.3f} ±3%", abs(dev) <= 3,
                      f"{dev:+.1f}%, worst of " + ", ".join(f"{d / 1000:.3f}"
                                                           for d in durations[path]))
    inside = [d for d in intervals if d is not None and abs(d - TICK_MS) <= STEP_TOLERANCE_MS]
    share = 100 * len(inside) / len(intervals) if intervals else 0
    known = [d for d in intervals if d is not None]
    note = f"{len(inside)}/{len(intervals)} steps"
    if known:
        note += f", median {statistics.median(known):.1f} ms, range {min(known):.0f}..{max(known):.0f}"
    report.figure("timing.bar_steps", f"{share:.1f}", "%", f">= 95 in {TICK_MS}±{STEP_TOLERANCE_MS}ms",
                  share >= 95, note)


def measured_run(exe, answer=None, finale=(), pause=1.0):
    """A whole run with its Linux process sampled. With no answer (the baseline) the question
    box is read for a moment and answered Yes."""
    holder = {}

    def attach(prog):
        holder["sampler"] = ProcSampler(linux_pid(exe))

    play(exe, answer or h.IDYES, finale, watch_ms=100, pause=pause, on_pid=attach)
    sampler = holder["sampler"]
    sampler.finish()
    return sampler


def resource_figures(report, exe, baseline):
    ours, base = [], []
    for _ in range(RUNS):
        base.append(measured_run(baseline))
        ours.append(measured_run(exe, h.IDYES, h.YES_FINALE))
    shares = [100 * s.cpu_s / s.wall_s for s in ours]
    share = statistics.median(shares)
    report.figure("cpu.yes_run", f"{share:.2f}", "%", "<= 3", share <= 3,
                  ", ".join(f"{s.cpu_s:.2f} s of {s.wall_s:.1f} s" for s in ours))
    our_mib = statistics.median(s.hwm_kib for s in ours) / 1024
    base_mib = statistics.median(s.hwm_kib for s in base) / 1024
    ratio = our_mib / base_mib
    report.figure("memory.ratio", f"{ratio:.2f}", "x", "<= 1.5", ratio <= 1.5,
                  f"peak working set {our_mib:.1f} MiB vs baseline {base_mib:.1f} MiB")


def main():
    for path in (h.EXE, h.PROBE, BASELINE):
        if not path.exists():
            sys.exit(f"bench: {path} is missing")
    report = Report()
    with tempfile.TemporaryDirectory(prefix="germ-bench-") as work:
        exe = sandbox_copy(h.EXE, Path(work))
        (Path(work) / "base").mkdir()
        baseline = sandbox_copy(BASELINE, Path(work) / "base")
        binary_figures(report, work)
        startup_figure(report, exe, baseline)
        timing_figures(report, exe)
        resource_figures(report, exe, baseline)
    report.summary()


if __name__ == "__main__":
    main()
