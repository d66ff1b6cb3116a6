"""Reaching the program's machine: the probe (probe.exe, JSON lines) that reads and drives
another process's windows, the input a person gives, the screen's pixels, and waits.

One seam, two sides, chosen by GERM_E2E_SIDE; no scenario knows which side runs it:
- "x" (the default on Linux): programs start through wine, input comes from xdotool and pixels
  from the X server. Run inside tools/wine-env.sh exec, which provides DISPLAY, WINEPREFIX and
  the Japanese locale.
- "windows" (the default on Windows): the probe gives the input (SendInput) and reads the pixels
  (GDI). On Windows programs start directly; elsewhere through wine, in the same environment.
"""

import atexit
import contextlib
import json
import os
import queue
import re
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("GERM_WINDOWS_BUILD", ROOT / "build" / "windows"))
if not BUILD.is_absolute():
    BUILD = ROOT / BUILD
EXE = BUILD / "Germcatcher.exe"
PROBE = Path(os.environ.get("GERM_PROBE", BUILD / "probe.exe"))

# Commands answered by one probe that keeps running (probe serve): a poll then costs a line on a
# pipe, not Wine's start of a process, which takes seconds on a busy machine and would eat the
# show a scenario drives. Commands that run long, or whose answer depends on the environment the
# probe starts in (the locale's), start a probe of their own.
SERVED = {"list", "at", "screen", "closebox", "press", "close", "restore", "sysclose", "input",
          "capture", "kill", "dpichanged", "display"}
# Commands that only read: asked again when the probe itself did not run.
PROBE_READS = {"list", "at", "screen", "closebox", "stamps", "localeinfo"}


# ---- the probe -------------------------------------------------------------------------------


class ProbeRun:
    """A probe that runs on (serving, launching, watching), its JSON lines handed to on_line as
    they come and then queued. Its errors go to a file, not a pipe: processes Wine starts on the
    way (its services) keep the descriptor open. `wrapper` runs it under another command (a
    tracer); `env` and `stderr` are its own and so a launched program's; `desktop` is the Wine
    virtual desktop it and what it starts run in (None: the default one)."""

    def __init__(self, args, stdin=subprocess.DEVNULL, wrapper=(), env=None, stderr=None,
                 desktop=None):
        self._err = tempfile.TemporaryFile() if stderr is None else None
        self.proc = subprocess.Popen([*wrapper, *SIDE.probe_command(args, desktop)], stdin=stdin,
                                     stdout=subprocess.PIPE, stderr=self._err or stderr, env=env)
        self.lines, self.wine_said = queue.Queue(), []
        self.ended = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            if not line.startswith(b"{"):
                # Wine's own words on the way, in the user's code page (Japanese or ASCII here),
                # such as why it could not start the probe at all.
                self.wine_said.append(line.decode("cp932", "replace").strip())
                continue
            msg = json.loads(line)
            self.on_line(msg)
            self.lines.put(msg)
        self.proc.wait()
        self.ended.set()
        self.lines.put(None)

    def on_line(self, msg):
        pass

    def said(self):
        if self._err:
            self._err.seek(0)
        return " ".join([self._err.read().decode("utf-8", "replace") if self._err else "",
                         *self.wine_said]).strip()[-600:]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.ended.wait(10):
            self.proc.stdout.close()
            if self._err:
                self._err.close()


class ProbeServer:
    """One running `probe serve` for a desktop, shared by the threads of a test process."""

    def __init__(self, desktop=None):
        self._lock = threading.Lock()
        self._run = None
        self.desktop = desktop

    def ask(self, args, timeout):
        """The command's JSON lines; None, with what the probe said, when it is gone."""
        with self._lock:
            if self._run is None or self._run.ended.is_set():
                self.stop()
                self._run = ProbeRun(["serve"], stdin=subprocess.PIPE, desktop=self.desktop)
            try:
                self._run.proc.stdin.write(("\t".join(map(str, args)) + "\n").encode("utf-8"))
                self._run.proc.stdin.flush()
            except OSError:
                return None, self._run.said()
            out, deadline = [], time.monotonic() + timeout
            while True:
                try:
                    msg = self._run.lines.get(timeout=max(0.0, deadline - time.monotonic()))
                except queue.Empty:
                    self._run.stop()
                    raise subprocess.TimeoutExpired(["probe", *map(str, args)], timeout)
                if msg is None:
                    return None, self._run.said()
                if "done" in msg:
                    return out, ""
                out.append(msg)

    def stop(self):
        if self._run is not None:
            self._run.proc.stdin.close()
            self._run.stop()


SERVERS = {None: ProbeServer()}  # one serving probe per desktop, kept while the tests run
atexit.register(lambda: [server.stop() for server in SERVERS.values()])


def probe(*args, timeout=30, desktop=None):
    """Runs one probe command (in `desktop`, a Wine virtual desktop's name, or the default one)
    and returns its JSON lines. A probe that fails says why on stdout; one that exits with an
    error and not a word did not run at all (the loader failed), which must not pass for "no
    windows": a reading is asked again once, anything else fails."""
    for attempt in (1, 2):
        if args[0] in SERVED:
            server = SERVERS.setdefault(desktop, ProbeServer(desktop))
            lines, said = server.ask(args, timeout)
            if lines is not None:
                return lines
            code = "before its answer"
        else:
            with tempfile.TemporaryFile() as err:
                r = subprocess.run(SIDE.probe_command(args, desktop), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE, stderr=err, timeout=timeout,
                                   check=False)
                lines = [json.loads(line) for line in r.stdout.splitlines()
                         if line.startswith(b"{")]
                if lines or r.returncode == 0:
                    return lines
                err.seek(0)
                said = err.read() + b" " + r.stdout  # with Wine's own words, as ProbeRun keeps
                code, said = r.returncode, said.decode("cp932", "replace").strip()[-600:]
        print(f"probe {args[0]}: exit {code} and no output; {said}", file=sys.stderr)
        if attempt == 2 or args[0] not in PROBE_READS:
            raise AssertionError(f"probe {' '.join(map(str, args))} did not run (exit "
                                 f"{code}): {said}")
    return []


@contextlib.contextmanager
def virtual_desktop(width, height):
    """A Wine virtual desktop of its own, of that size, for what a scenario starts in it (pass
    the name this yields as `desktop`): there the display settings can change the screen's size
    (Xvfb's screen has one mode only)."""
    name = f"germ{os.getpid()},{width}x{height}"
    try:
        yield name
    finally:
        if name in SERVERS:
            SERVERS.pop(name).stop()
        # Input goes to that desktop until Wine has closed it, a moment after its last program.
        wait_for(lambda: probe("screen")[0].get("input"), 30, "input back on the desktop")


# ---- the two sides ---------------------------------------------------------------------------


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=20)


def read_ppm(data):
    """(width, height, RGB bytes) of a binary PPM, its header's comments passed over."""
    gap = rb"(?:\s|#[^\n]*\n)+"
    m = re.match(rb"P6" + gap + rb"(\d+)" + gap + rb"(\d+)" + gap + rb"255\s", data)
    if not m:
        raise AssertionError(f"unexpected screenshot format {data[:32]!r}")
    return int(m[1]), int(m[2]), data[m.end():]


def read_bmp(data):
    """(width, height, RGB bytes) of a 24-bit bottom-up BMP, as the probe writes it."""
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if data[:2] != b"BM" or bits != 24 or height <= 0:
        raise AssertionError("unexpected screenshot format")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride : offset + y * stride + width * 3]
        rows.append(bytes(b for i in range(0, len(row), 3) for b in (row[i + 2], row[i + 1], row[i])))
    return width, height, b"".join(rows)


class Side:
    """How programs start and paths are named; each side adds how input is given and pixels
    are read (click, gesture, key, screen, save_screen, end_session)."""

    name = None
    wine = True

    def command(self, args):
        return (["wine"] if self.wine else []) + [str(a) for a in args]

    def probe_command(self, args, desktop=None):
        """The probe with `args`, in the Wine virtual desktop `desktop` when one is named."""
        return self.command([PROBE, *(["--desktop", desktop] if desktop else []), *args])

    def winpath(self, path):
        if not self.wine:
            return str(Path(path).resolve())
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class XSide(Side):
    """Wine in Xvfb: programs through wine, input from xdotool, pixels from the X server."""

    name = "x"

    def click(self, x, y, button=1):
        xdo("mousemove", x, y, "click", button)

    def gesture(self, x, y, button=3):
        xdo("mousemove", x, y, "keydown", "shift", "keydown", "ctrl", "click", button, "keyup",
            "ctrl", "keyup", "shift")

    def key(self, names, pid):
        del pid  # X gives the keys to the window that has the display's focus
        xdo("key", *names)

    def screen(self):
        return read_ppm(subprocess.run(
            ["import", "-display", os.environ["DISPLAY"], "-window", "root", "-depth", "8",
             "ppm:-"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True,
            timeout=30).stdout)

    def save_screen(self, path):
        subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root",
                        str(path)], stderr=subprocess.DEVNULL, timeout=30, check=False)
        return path

    def end_session(self, pid):
        """A sign-out, which asks every window; returns the running process."""
        del pid  # the session's end asks every program
        return subprocess.Popen(["wineboot", "--end-session"], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class WindowsSide(Side):
    """The probe gives the input (SendInput) and reads the pixels (GDI). On Windows programs
    start directly; elsewhere through wine."""

    name = "windows"

    def __init__(self):
        self.wine = os.name != "nt"

    def _input(self, *args):
        lines = probe("input", *args)
        if not any("sent" in line for line in lines):
            why = next((line["error"] for line in lines if "error" in line), "no answer")
            raise AssertionError(f"the probe could not give the input {args!r}: {why}")

    def click(self, x, y, button=1):
        self._input("click", x, y, button)

    def gesture(self, x, y, button=3):
        self._input("gesture", x, y, button)

    def key(self, names, pid):
        """Sent only while a window of `pid` is in front, where keys go."""
        self._input("key", "--pid", pid, *names)

    def save_screen(self, path):
        path = Path(path).with_suffix(".bmp")
        probe("capture", self.winpath(path))
        return path

    def screen(self):
        with tempfile.TemporaryDirectory(prefix="germ-shot-") as tmp:
            path = self.save_screen(Path(tmp) / "screen.bmp")
            if not path.exists():
                raise AssertionError("the probe could not read the screen")
            return read_bmp(path.read_bytes())

    def end_session(self, pid):
        return subprocess.Popen(self.probe_command(["endsession", pid]),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)


SIDE = WindowsSide() if os.environ.get("GERM_E2E_SIDE", "windows" if os.name == "nt" else "x") \
    == "windows" else XSide()


def winpath(path):
    """The Windows name of a host path (under Wine, / is drive Z:)."""
    return SIDE.winpath(path)


class Shot:
    """A screenshot of the whole screen as RGB bytes."""

    def __init__(self):
        self.width, self.height, self.pixels = SIDE.screen()

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i : i + 3])


# ---- input and waits -------------------------------------------------------------------------


def screen_size():
    """The screen's size as the display was started (GERM_SCREEN, "WxH", from the test
    environment), else as the probe reads it (on Windows)."""
    if os.environ.get("GERM_SCREEN"):
        width, height = os.environ["GERM_SCREEN"].split("x")
        return int(width), int(height)
    screen = probe("screen")[0]
    return screen["width"], screen["height"]


def centre(rect):
    left, top, right, bottom = rect
    return (left + right) // 2, (top + bottom) // 2


def click(x, y, button=1):
    SIDE.click(x, y, button)


def wait_for(predicate, timeout, what, interval=0.05):
    """Polls until predicate() returns something truthy and returns it."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = predicate()
        if last:
            return last
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def hold_for(seconds, predicate, what, interval=0.1):
    """Samples predicate() until `seconds` have passed and fails the first time it is false: a
    check that something does not happen. It ends at its deadline (with the sample taken then),
    so a hold spends no more of a show than it says."""
    deadline = time.monotonic() + seconds
    while True:
        if not predicate():
            raise AssertionError(f"not held for {seconds} s: {what}")
        left = deadline - time.monotonic()
        if left <= 0:
            return
        time.sleep(min(interval, left))
