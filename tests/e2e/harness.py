"""Drives the real Germcatcher.exe for the end-to-end tests, under Wine in Xvfb or on Windows:
the program under test, run in a sandbox of its own, and the test case the suites build on.

Windows are read through probe.exe (JSON lines); input is real input where the scenario is about
the user's hand, and posted messages where only an answer is needed. Waits poll with generous
timeouts; no test asserts how fast anything happens. The suites reach the whole harness through
this module (`import harness as h`), which gathers oracle.py (what the program must say, and the
Windows values), driver.py (the probe, the two sides, input, pixels, waits), windows.py (the
program's windows as the probe reports them) and logfile.py (the log and its stamps).

GERM_WINDOWS_BUILD names the folder holding Germcatcher.exe and probe.exe (default
build/windows). GERM_E2E_SHOTS names a folder for a screenshot of every failed test.
"""

import datetime
import functools
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

# Everything the modules define, for this module's own use and for the suites'.
from driver import *  # noqa: F401,F403
from logfile import *  # noqa: F401,F403
from oracle import *  # noqa: F401,F403
from windows import *  # noqa: F401,F403

class Sandbox:
    """A private folder holding a copy of the program, so each run has its own log."""

    def __init__(self, name="Germcatcher.exe", subdir="", folder=None):
        self.dir = Path(folder or tempfile.mkdtemp(prefix="germ-e2e-"))
        folder = self.dir / subdir
        folder.mkdir(parents=True, exist_ok=True)
        self.exe = folder / name
        shutil.copyfile(EXE, self.exe)
        self.log = self.exe.with_suffix(".txt") if "." in name else Path(str(self.exe) + ".txt")

    def log_bytes(self):
        return self.log.read_bytes() if self.log.exists() else b""

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class Program(ProbeRun):
    """One run of the program, started through the probe so its exit code is known; in a Wine
    virtual desktop (`desktop`, see virtual_desktop), where it is read and answered too."""

    desktop = None

    def __init__(self, exe, showcmd=None, wrapper=(), env=None, stderr=None, desktop=None):
        self.pid = self.exit_code = self.error = None
        self.desktop = desktop
        self._got_pid = threading.Event()
        self.started = datetime.datetime.now()
        super().__init__(["launch", winpath(exe), *([showcmd] if showcmd is not None else [])],
                         wrapper=wrapper, env=env, stderr=stderr, desktop=desktop)
        if not self._got_pid.wait(60) or self.pid is None:
            self.ended.wait(5)  # its own exit and last words, not those of the stop below
            said = self.said()  # before stop, which closes where it is kept
            self.stop()
            raise AssertionError(f"the probe did not start {exe}: {self.error or 'no answer'}"
                                 f" (exit {self.proc.returncode}) " + (said or "and not a word "
                                 "from it or Wine, though it says why it ends with a failure"))

    def on_line(self, msg):
        if "pid" in msg:
            self.pid = msg["pid"]
        self.exit_code = msg.get("exit", self.exit_code)
        self.error = msg if "error" in msg else self.error
        if "pid" in msg or "error" in msg:
            self._got_pid.set()

    def _read(self):
        super()._read()
        self._got_pid.set()

    def running(self):
        # The launcher's word that the program ended counts: its output may stay open after it
        # (a Wine virtual desktop's process holds it).
        return not self.ended.is_set() and self.exit_code is None

    def wait_exit(self, timeout=30):
        deadline = time.monotonic() + timeout
        while self.running():
            if time.monotonic() > deadline:
                raise AssertionError(f"the program did not end within {timeout} s")
            self.ended.wait(0.05)
        return self.exit_code

    def kill(self):
        if self.running() and self.pid:
            self.probe("kill", self.pid)
            self.ended.wait(30)
        self.stop()

    def probe(self, *args):
        """A probe command in the program's desktop."""
        return probe(*args, desktop=self.desktop)

    def windows(self):
        return self.probe("list", "--pid", self.pid)

    def visible(self):
        return [w for w in self.windows() if w["visible"]]

    def wait_window(self, predicate, what, timeout=30, before_finale=True):
        """The first visible window of the program that satisfies predicate. Unless what is
        awaited may come in the finale, a finale box ends the wait: the show ran out before the
        scenario's steps did, which is what the failure then says."""

        def find():
            windows = self.visible()
            for w in windows:
                if predicate(w):
                    return w
            if before_finale:
                self.assert_before_finale(what, windows)
            if not self.running():
                raise AssertionError(f"the program ended while waiting for {what}")
            return None

        return wait_for(find, timeout, what)

    def assert_before_finale(self, what, windows=None):
        for w in self.visible() if windows is None else windows:
            if is_box(w) and box_text(w) in FINALE_TEXTS:
                raise AssertionError(f"the show reached its finale before {what} (its box "
                                     f"{box_text(w)!r} is up): the scenario outran its show")

    def wait_box(self, text=None, timeout=30):
        what = f"a message box {text!r}" if text else "a message box"
        return self.wait_window(lambda w: is_box(w) and (text is None or box_text(w) == text), what,
                                timeout, before_finale=text is not None and text not in FINALE_TEXTS)

    def wait_dialog(self, status, predicate=lambda w: True, timeout=30):
        """The dialog once it shows the status line `status` (and satisfies predicate)."""
        return self.wait_window(lambda w: is_dialog(w) and label_of(w)["text"] == status
                                and predicate(w), f"the dialog showing {status!r}", timeout)

    def answer(self, box, ident, real_click=False):
        """Presses a button of a box once, then waits for the box to go. A real click waits first
        until the box is what lies under the button's centre, as a person sees it before they
        click."""

        def gone():
            return not self.running() or all(w["hwnd"] != box["hwnd"] for w in self.visible())

        if real_click:
            x, y = button_centre(box, ident)
            wait_for(lambda: gone() or self.probe("at", x, y)[0]["root"] == box["hwnd"], 10,
                     f"the box {box_text(box)!r} under the pointer")
            if gone():
                raise AssertionError(f"the box {box_text(box)!r} went before it was clicked")
            click(x, y)
        else:
            self.probe("press", box["hwnd"], ident)
        wait_for(gone, 30, f"the box {box_text(box)!r} to take the press of {ident}")

    def key(self, *names):
        """Keys as xdotool names them ("alt+F4", "shift+Tab", "Return", "space", "c"), for the
        program's window in front (a click on it brings it there)."""
        SIDE.key(names, self.pid)

    def dialog(self):
        return dialog_of(self.windows())

    def focus(self, what):
        """(the keyboard focus in the dialog's thread, whether a box is up), from one reading;
        a finale box fails the reading, as `what` can no longer be seen."""
        windows = self.visible()
        self.assert_before_finale(what, windows)
        dlg = dialog_of(windows)
        if dlg is None or not any(c["visible"] for c in dlg["children"]):
            # Hidden, or the blue cover: the finale has begun.
            raise AssertionError(f"the show reached its finale before {what} (the dialog is "
                                 "gone): the scenario outran its show")
        return dlg["focus"], any(is_box(w) for w in windows)

    def bar_position(self, timeout=10, what="a reading of the bar"):
        # The probe leaves the position out when the program is too busy to answer at once
        # (it may be inside a blocking wait), and a listing can miss a window for a moment;
        # ask again.
        deadline = time.monotonic() + timeout
        while True:
            windows = self.windows()
            self.assert_before_finale(what, [w for w in windows if w["visible"]])
            dlg = dialog_of(windows)
            bar = bar_of(dlg) if dlg else None
            if (bar and "pos" in bar) or time.monotonic() > deadline:
                if bar is None:
                    raise AssertionError(f"no dialog with a bar within {timeout} s")
                return bar["pos"]
            time.sleep(0.05)


class Watch(ProbeRun):
    """A probe watching one process, collecting a time line of its windows' changes."""

    def __init__(self, pid, ms=10, desktop=None):
        self.events = []
        self._lock = threading.Lock()
        super().__init__(["watch", "--pid", pid, "--ms", ms, "--max-s", 300], desktop=desktop)
        first = self.lines.get(timeout=60)
        if not first or first.get("ev") != "start":
            raise AssertionError(f"the watching probe did not start: {first} {self.said()}")

    def on_line(self, msg):
        with self._lock:
            self.events.append(msg)

    def snapshot(self):
        with self._lock:
            return list(self.events)

    def wait_end(self, timeout=30):
        if not self.ended.wait(timeout):
            self.stop()

    def wait_seen(self, window, what, timeout=30):
        """Waits until the watcher has seen `window`: a watcher started on a busy machine may
        begin its polls late, and a window answered before then would be missing from its
        time line."""
        wait_for(lambda: any(e["ev"] == "win" and e["win"]["hwnd"] == window["hwnd"]
                             for e in self.snapshot()), timeout, f"the watcher to see {what}")

    def window_events(self, predicate=lambda w: True):
        return [(e["t"], e["win"]) for e in self.snapshot() if e["ev"] == "win" and predicate(e["win"])]

    def bar_samples(self):
        """(t, position, maximum, label) of every change seen on the dialog."""
        out = []
        for t, w in self.window_events(is_dialog):
            bar, label = bar_of(w), label_of(w)
            if bar and "pos" in bar:
                out.append((t, bar["pos"], bar["range"][1], label["text"] if label else None))
        return out


def together(*calls):
    """Runs the calls each in a thread of its own, all at once, and waits for them."""
    threads = [threading.Thread(target=call) for call in calls]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def launch_together(tc, exe, count):
    """Starts `count` copies of exe as nearly at once as the launcher allows."""
    progs = [None] * count
    gate = threading.Barrier(count)

    def start(i):
        gate.wait()
        progs[i] = Program(exe)

    together(*(functools.partial(start, i) for i in range(count)))
    for p in progs:
        tc.assertIsNotNone(p, "every copy started")
        tc.addCleanup(p.kill)
    return progs


def screenshot_on_failure(test):
    """A failed test leaves a picture of the screen in GERM_E2E_SHOTS, taken as it fails, before
    its programs are ended (that is left to the cleanups)."""

    @functools.wraps(test)
    def run(self, *args, **kwargs):
        try:
            return test(self, *args, **kwargs)
        except unittest.SkipTest:
            raise
        except BaseException:
            folder = os.environ.get("GERM_E2E_SHOTS")
            if folder:
                Path(folder).mkdir(parents=True, exist_ok=True)
                try:
                    SIDE.save_screen(Path(folder) / f"{self.id()}.png")
                except Exception as e:  # a missing picture must not hide the failure itself
                    print(f"no screenshot: {e}", file=sys.stderr)
            raise

    return run


class GermTestCase(unittest.TestCase):
    """Base of the end-to-end tests: private copies of the program and cleanup on failure."""

    def __init_subclass__(cls, **kwargs):
        super().__init_subclass__(**kwargs)
        for name, member in list(vars(cls).items()):
            if name.startswith("test") and callable(member):
                setattr(cls, name, screenshot_on_failure(member))

    @classmethod
    def setUpClass(cls):
        if os.name != "nt":
            for var in ("DISPLAY", "WINEPREFIX"):
                if var not in os.environ:
                    raise RuntimeError(f"{var} is not set: run through tools/wine-env.sh exec")
        for path in (EXE, PROBE):
            if not path.exists():
                raise RuntimeError(f"{path} is missing: build the Windows preset first")

    def sandbox(self, **kwargs):
        box = Sandbox(**kwargs)
        if not os.environ.get("GERM_E2E_KEEP"):
            self.addCleanup(box.remove)
        return box

    def launch(self, exe, showcmd=None, **kwargs):
        prog = Program(exe, showcmd, **kwargs)
        self.addCleanup(prog.kill)
        return prog

    def start(self, answer=None, sb=None, showcmd=None, watch=False, real_click=False, **kwargs):
        """A run of the program in `sb` or a sandbox of its own, kept as prog.sandbox; with
        `watch`, a watcher on it (prog.watch); with `answer`, the question answered once the
        watcher has seen it (prog.question)."""
        sb = sb or self.sandbox()
        prog = self.launch(sb.exe, showcmd, **kwargs)
        prog.sandbox, prog.watch = sb, Watch(prog.pid, desktop=prog.desktop) if watch else None
        if watch:
            self.addCleanup(prog.watch.stop)
        if answer is not None:
            prog.question = self.answer_question(prog, answer, real_click, prog.watch)
        return prog

    def answer_question(self, prog, answer, real_click=True, watch=None):
        """Waits for the opening question (and for `watch` to have seen it) and answers it;
        returns the box as it was seen."""
        box = prog.wait_box(QUESTION, timeout=60)
        if watch:
            watch.wait_seen(box, "the question")
        prog.answer(box, answer, real_click)
        return box

    def press(self, prog, text, ident=IDOK, real_click=False):
        """Waits for the box with text and presses one of its buttons."""
        box = prog.wait_box(text)
        prog.answer(box, ident, real_click)
        return box

    def assert_bar_advances(self, prog, what):
        what = f"the bar to move ({what})"
        start = prog.bar_position(what=what)
        wait_for(lambda: prog.bar_position(what=what) != start, 30, what)

    def assert_log(self, prog, kinds, after=None, old=b""):
        """The log of prog's sandbox is `old` followed by entries of `kinds`, each stamped for a
        second from the program's start to `after` (now)."""
        data = prog.sandbox.log_bytes()
        self.assertEqual(data[: len(old)], old, "the old content is unchanged")
        entries = parse_log(data[len(old):])
        self.assertEqual([k for k, _ in entries], kinds)
        assert_stamps_between(entries, prog.started, after or datetime.datetime.now())
        return entries

    def assert_only_exe_and_log(self, sb, *others):
        """The sandbox holds the program and its log beside it (a folder bearing the log's name
        counts as the log), and `others` there, and nothing anywhere else."""
        found = [p for p in sb.dir.rglob("*")
                 if p == sb.log or (p.is_file() and sb.log not in p.parents)]
        expected = [sb.exe, sb.log, *(sb.exe.parent / name for name in others)]
        self.assertEqual(sorted(found), sorted(expected))

    def run_probe(self, *args):
        """A probe of its own running the command `args`, its output piped, ended with the test."""
        proc = subprocess.Popen(SIDE.probe_command(args), stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(proc.stdout.close)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        return proc

    def hold_log(self, sb, share, seconds):
        """Another program holding the log open (sharing "rw" or "none") for `seconds`."""
        holder = self.run_probe("lockfile", winpath(sb.log), share, seconds)
        self.assertIn(b'"locked":true', holder.stdout.readline())
        return holder


# CTest's SKIP_RETURN_CODE for these suites: a run with a skipped test shows as skipped, not
# passed.
SKIPPED = 77


def main():
    """Runs the suite. Exit code: 1 on a failure, SKIPPED when a test was skipped, else 0. Under
    CI=true a skip (a capability missing on the machine) is a failure."""
    result = unittest.main(verbosity=2, exit=False).result
    if not result.wasSuccessful() or not result.testsRun:
        sys.exit(1)
    if result.skipped:
        if os.environ.get("CI") == "true":
            print(f"{len(result.skipped)} skipped under CI=true, where every capability must be "
                  "there: failed", file=sys.stderr)
            sys.exit(1)
        sys.exit(SKIPPED)
    sys.exit(0)
