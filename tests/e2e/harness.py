"""Drives the real Germcatcher.exe for the end-to-end tests, under Wine in Xvfb or on Windows.

Windows are read through probe.exe (JSON lines); input is real input where the scenario is about
the user's hand, and posted messages where only an answer is needed. Waits poll with generous
timeouts; no test asserts how fast anything happens.

One seam, two sides, chosen by GERM_E2E_SIDE; no scenario knows which side runs it:
- "x" (the default on Linux): programs start through wine, input comes from xdotool and pixels
  from the X server. Run inside tools/wine-env.sh exec, which provides DISPLAY, WINEPREFIX and
  the Japanese locale.
- "windows" (the default on Windows): the probe gives the input (SendInput) and reads the pixels
  (GDI). On Windows programs start directly; elsewhere through wine, in the same environment.

GERM_WINDOWS_BUILD names the folder holding Germcatcher.exe and probe.exe (default
build/windows). GERM_E2E_SHOTS names a folder for a screenshot of every failed test.
"""

import atexit
import contextlib
import datetime
import json
import os
import queue
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("GERM_WINDOWS_BUILD", ROOT / "build" / "windows"))
if not BUILD.is_absolute():
    BUILD = ROOT / BUILD
EXE = BUILD / "Germcatcher.exe"
PROBE = Path(os.environ.get("GERM_PROBE", BUILD / "probe.exe"))

# ---- the program's texts --------------------------------------------------------------------

CAPTION = "Germcatcher"
QUESTION = "ウィルスを発見しました！\n実行する場合は「はい」を、友達１０人に転送する場合は「いいえ」を押してください。"
ERASING = "ハードディスクの消去中です．．．"
SEARCHING = "アドレス帳を検索しています．．．"
SENDING = "ウィルスメールを送信しています．．．"
CANCEL_CAPTION = "キャンセル"
YES_FINALE = [
    "ハードディスクの内容が消去されました。\nこのコンピュータは二度と使用できません。",
    "・・・んなわけないって。",
    "あなたは、他人のために自分を犠牲にしているかのようにパフォーマンスする、偽善者であることが証明されました。",
]
NO_FINALE = [
    "ウィルスメールの送信を完了しました。",
    "・・・んなわけないって。",
    "あなたは、友人にウィルスを送りつける、極悪非道な人であることが証明されました。",
]
FINALE_TEXTS = set(YES_FINALE + NO_FINALE)
BUSY = "今忙しいから。。。閉じるのはまた後でね。"
CANCEL_TEXT = "人生、後戻りは許されませんよね^^"

LOG_TEXTS = {
    "start": "\r\nGerm Catcher を起動しました。\r\n\r\n".encode("cp932"),
    "yes": "\r\nウィルスの実行を選択しました。\r\n\r\n".encode("cp932"),
    "no": "\r\nメールの転送を選択しました。\r\n\r\n".encode("cp932"),
}

# ---- Windows values -------------------------------------------------------------------------

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
SW_MAXIMIZE, SW_SHOWMINNOACTIVE = 3, 7
WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_BORDER = 0x00800000
WS_DLGFRAME = 0x00400000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_EX_TOPMOST = 0x00000008
SS_TYPEMASK, SS_ICON = 0x1F, 0x03
MENU_CLASS = "#32768"  # a popup menu's window, the system menu's among them
BOX_TEXT_ID = 0xFFFF

# ---- probe and input ------------------------------------------------------------------------


# Commands answered by one probe that keeps running (probe serve): a poll then costs a line on a
# pipe, not Wine's start of a process, which takes seconds on a busy machine and would eat the
# show a scenario drives. Commands that run long, or whose answer depends on the environment the
# probe starts in (the locale's), start a probe of their own.
SERVED = {"list", "at", "screen", "closebox", "press", "close", "restore", "sysclose", "input",
          "capture", "kill", "dpichanged", "display"}
# Commands that only read: asked again when the probe itself did not run.
PROBE_READS = {"list", "at", "screen", "closebox", "stamps", "localeinfo"}


class ProbeRun:
    """A probe that runs on (serving, launching, watching), its JSON lines handed to on_line as
    they come and then queued. Its errors go to a file, not a pipe: processes Wine starts on the
    way (its services) keep the descriptor open. `wrapper` runs it under another command (a
    tracer); `env` and `stderr` are its own and so a launched program's."""

    def __init__(self, args, stdin=subprocess.DEVNULL, wrapper=(), env=None, stderr=None):
        self._err = tempfile.TemporaryFile() if stderr is None else None
        self.proc = subprocess.Popen([*wrapper, *SIDE.command([PROBE, *args])], stdin=stdin,
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
    """One running `probe serve`, shared by the threads of a test process."""

    def __init__(self):
        self._lock = threading.Lock()
        self._run = None

    def ask(self, args, timeout):
        """The command's JSON lines; None, with what the probe said, when it is gone."""
        with self._lock:
            if self._run is None or self._run.ended.is_set():
                self.stop()
                self._run = ProbeRun(["serve"], stdin=subprocess.PIPE)
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


SERVER = ProbeServer()
atexit.register(SERVER.stop)


def probe(*args, timeout=30):
    """Runs one probe command and returns its JSON lines. A probe that fails says why on stdout;
    one that exits with an error and not a word did not run at all (the loader failed), which
    must not pass for "no windows": a reading is asked again once, anything else fails."""
    for attempt in (1, 2):
        if args[0] in SERVED:
            lines, said = SERVER.ask(args, timeout)
            if lines is not None:
                return lines
            code = "before its answer"
        else:
            with tempfile.TemporaryFile() as err:
                r = subprocess.run(SIDE.command([PROBE, *args]), stdin=subprocess.DEVNULL,
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


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=20)


def read_ppm(data):
    """(width, height, RGB bytes) of a binary PPM."""
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval
        while data[pos : pos + 1].isspace():
            pos += 1
        if data[pos : pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end : end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise AssertionError(f"unexpected screenshot format {fields!r}")
    return int(fields[1]), int(fields[2]), data[pos + 1 :]


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


class XSide:
    """Wine in Xvfb: programs through wine, input from xdotool, pixels from the X server."""

    name = "x"
    wine = True
    desktop = None  # "NAME,WxH": the probe and what it starts run in a desktop of that size

    def command(self, args):
        args = [str(a) for a in args]
        if self.desktop and args[:1] == [str(PROBE)]:
            args[1:1] = ["--desktop", self.desktop]
        return (["wine"] if self.wine else []) + args

    def winpath(self, path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

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


class WindowsSide(XSide):
    """The probe gives the input (SendInput) and reads the pixels (GDI). On Windows programs
    start directly; elsewhere through wine."""

    name = "windows"

    def __init__(self):
        self.wine = os.name != "nt"

    def winpath(self, path):
        return super().winpath(path) if self.wine else str(Path(path).resolve())

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
        return subprocess.Popen(self.command([PROBE, "endsession", pid]),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)


SIDE = WindowsSide() if os.environ.get("GERM_E2E_SIDE", "windows" if os.name == "nt" else "x") \
    == "windows" else XSide()


def winpath(path):
    """The Windows name of a host path (under Wine, / is drive Z:)."""
    return SIDE.winpath(path)


@contextlib.contextmanager
def virtual_desktop(width, height):
    """What starts inside runs in a Wine virtual desktop of its own, of that size, where the
    display settings can change the screen's resolution (Xvfb's screen has one mode only);
    the serving probe is started again on the way in and out, so it reads that desktop."""
    SERVER.stop()
    SIDE.desktop = f"germ{os.getpid()},{width}x{height}"
    try:
        yield
    finally:
        SERVER.stop()
        SIDE.desktop = None
        # Input goes to that desktop until Wine has closed it, a moment after its last program.
        wait_for(lambda: probe("screen")[0].get("input"), 30, "input back on the desktop")


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


def gesture(dlg, button=3):
    """Shift+Ctrl+click (right by default) on the dialog's bar: the hidden unlock gesture."""
    SIDE.gesture(*centre(bar_of(dlg)["rect"]), button)


def click_close_box(dlg):
    """A real click on the dialog's close box. Real input keeps its order after a gesture, where
    a posted WM_CLOSE would be handled before the gesture's pending input."""
    closebox = probe("closebox", dlg["hwnd"])[0]
    click(closebox["x"], closebox["y"])


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


# ---- windows as the probe reports them -------------------------------------------------------


def is_box(w):
    return w["class"] == "#32770"


def box_text(box):
    for c in box["children"]:
        if c["id"] == BOX_TEXT_ID:
            return c["text"]
    return None


def box_buttons(box):
    return sorted(
        c["id"]
        for c in box["children"]
        if c["class"].lower() == "button" and c["visible"] and c["id"] in range(1, 12)
    )


def box_has_icon(box):
    return any(
        c["class"].lower() == "static"
        and c["visible"]
        and (c["style"] & SS_TYPEMASK) == SS_ICON
        and c.get("icon", 0) != 0
        for c in box["children"]
    )


def child(window, cls, text=None):
    for c in window["children"]:
        if c["class"].lower() == cls.lower() and (text is None or c["text"] == text):
            return c
    return None


def bar_of(window):
    return child(window, "msctls_progress32")


def label_of(window):
    return child(window, "Static")


def button_centre(window, ident):
    for c in window["children"]:
        if c["id"] == ident:
            return centre(c["rect"])
    raise AssertionError(f"no button {ident} in {window['class']} {window['text']!r}")


# ---- screenshots ----------------------------------------------------------------------------


class Shot:
    """A screenshot of the whole screen as RGB bytes."""

    def __init__(self):
        self.width, self.height, self.pixels = SIDE.screen()

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i : i + 3])


# ---- the activity log -----------------------------------------------------------------------


def parse_log(data):
    """Splits log bytes into entries [(kind, stamp bytes)] by the entries' own texts; fails on a
    missing or broken stamp and on any stray byte. Whether a stamp is right is for
    assert_stamps_between, which asks the machine."""
    entries = []
    pos = 0
    while pos < len(data):
        found = [(at, kind) for kind, text in LOG_TEXTS.items()
                 if (at := data.find(text, pos)) >= 0]
        if not found:
            raise AssertionError(f"no entry text after byte {pos}: {data[pos:pos + 48]!r}")
        at, kind = min(found)
        stamp = data[pos:at]
        if not stamp or b"\r" in stamp or b"\n" in stamp:
            raise AssertionError(f"no time stamp at byte {pos}: {data[pos:pos + 48]!r}")
        entries.append((kind, stamp))
        pos = at + len(LOG_TEXTS[kind])
    return entries


def expected_stamps(before, after):
    """Every stamp the machine's user settings give for a whole second in [before - 1 s,
    after + 1 s], as the log's code page 932 bytes: the system renders each (the probe's
    stamps), so no format is assumed here."""
    start = before.replace(microsecond=0) - datetime.timedelta(seconds=1)
    count = int((after - start).total_seconds()) + 2
    lines = probe("stamps", start.strftime("%Y-%m-%dT%H:%M:%S"), count)
    if len(lines) != count or any("stamp" not in line for line in lines):
        raise AssertionError(f"the probe could not render the stamps: {lines[-1:]}")
    return {line["stamp"].encode("cp932", errors="replace") for line in lines}


def assert_stamps_in(entries, allowed, what="the run's time"):
    for kind, raw in entries:
        if raw not in allowed:
            raise AssertionError(f"{kind} stamp {raw!r} is not one the user's settings give for "
                                 f"{what} (e.g. {sorted(allowed)[:2]})")


def assert_stamps_between(entries, before, after):
    """Every stamp is exactly what the user's settings give for a second in [before, after]
    (stamps are cut to whole seconds)."""
    assert_stamps_in(entries, expected_stamps(before, after), f"{before} .. {after}")


# ---- the program under test -----------------------------------------------------------------


class Sandbox:
    """A private folder holding a copy of the program, so each run has its own log."""

    def __init__(self, name="Germcatcher.exe", subdir=""):
        self.dir = Path(tempfile.mkdtemp(prefix="germ-e2e-"))
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
    """One run of the program, started through the probe so its exit code is known."""

    def __init__(self, exe, showcmd=None, wrapper=(), env=None, stderr=None):
        self.pid = self.exit_code = self.error = None
        self._got_pid = threading.Event()
        self.started = datetime.datetime.now()
        super().__init__(["launch", winpath(exe), *([showcmd] if showcmd is not None else [])],
                         wrapper=wrapper, env=env, stderr=stderr)
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
            probe("kill", self.pid)
            self.ended.wait(30)
        self.stop()

    def windows(self):
        return probe("list", "--pid", self.pid)

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

    def wait_dialog(self, predicate=lambda w: True, what="the dialog", timeout=30):
        return self.wait_window(lambda w: w["class"] == "TForm1" and predicate(w), what, timeout)

    def answer(self, box, ident, real_click=False):
        """Presses a button of a box once, then waits for the box to go. A real click waits first
        until the box is what lies under the button's centre, as a person sees it before they
        click."""

        def gone():
            return not self.running() or all(w["hwnd"] != box["hwnd"] for w in self.visible())

        if real_click:
            x, y = button_centre(box, ident)
            wait_for(lambda: gone() or probe("at", x, y)[0]["root"] == box["hwnd"], 10,
                     f"the box {box_text(box)!r} under the pointer")
            if gone():
                raise AssertionError(f"the box {box_text(box)!r} went before it was clicked")
            click(x, y)
        else:
            probe("press", box["hwnd"], ident)
        wait_for(gone, 30, f"the box {box_text(box)!r} to take the press of {ident}")

    def key(self, *names):
        """Keys as xdotool names them ("alt+F4", "shift+Tab", "Return", "space", "c"), for the
        program's window in front (a click on it brings it there)."""
        SIDE.key(names, self.pid)

    def dialog(self):
        for w in self.windows():
            if w["class"] == "TForm1":
                return w
        return None

    def focus(self, what):
        """(the keyboard focus in the dialog's thread, whether a box is up), from one reading;
        a finale box fails the reading, as `what` can no longer be seen."""
        windows = self.visible()
        self.assert_before_finale(what, windows)
        dlg = next((w for w in windows if w["class"] == "TForm1"), None)
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
            dlg = next((w for w in windows if w["class"] == "TForm1"), None)
            bar = bar_of(dlg) if dlg else None
            if (bar and "pos" in bar) or time.monotonic() > deadline:
                if bar is None:
                    raise AssertionError(f"no dialog with a bar within {timeout} s")
                return bar["pos"]
            time.sleep(0.05)


class Watch(ProbeRun):
    """A probe watching one process, collecting a time line of its windows' changes."""

    def __init__(self, pid, ms=10):
        self.events = []
        self._lock = threading.Lock()
        super().__init__(["watch", "--pid", pid, "--ms", ms, "--max-s", 300])
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
        for t, w in self.window_events(lambda w: w["class"] == "TForm1"):
            bar, label = bar_of(w), label_of(w)
            if bar and "pos" in bar:
                out.append((t, bar["pos"], bar["range"][1], label["text"] if label else None))
        return out


class GermTestCase(unittest.TestCase):
    """Base of the end-to-end tests: private copies of the program and cleanup on failure."""

    @classmethod
    def setUpClass(cls):
        if os.name != "nt":
            for var in ("DISPLAY", "WINEPREFIX"):
                if var not in os.environ:
                    raise RuntimeError(f"{var} is not set: run through tools/wine-env.sh exec")
        for path in (EXE, PROBE):
            if not path.exists():
                raise RuntimeError(f"{path} is missing: build the Windows preset first")

    def tearDown(self):
        """A failed test leaves a picture of the screen in GERM_E2E_SHOTS, taken before its
        programs are ended (that is left to the cleanups, which come after)."""
        folder = os.environ.get("GERM_E2E_SHOTS")
        result = self._outcome.result
        if not folder or not any(t is self for t, _ in result.failures + result.errors):
            return
        Path(folder).mkdir(parents=True, exist_ok=True)
        try:
            SIDE.save_screen(Path(folder) / f"{self.id()}.png")
        except Exception as e:  # a missing picture must not hide the failure itself
            print(f"no screenshot: {e}", file=sys.stderr)

    def sandbox(self, **kwargs):
        box = Sandbox(**kwargs)
        if not os.environ.get("GERM_E2E_KEEP"):
            self.addCleanup(box.remove)
        return box

    def launch(self, exe, showcmd=None, **kwargs):
        prog = Program(exe, showcmd, **kwargs)
        self.addCleanup(prog.kill)
        return prog

    def watch(self, prog, ms=10):
        w = Watch(prog.pid, ms)
        self.addCleanup(w.stop)
        return w

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

    def assert_log(self, sandbox, kinds, before, after):
        entries = parse_log(sandbox.log_bytes())
        self.assertEqual([k for k, _ in entries], kinds)
        assert_stamps_between(entries, before, after)
        return entries


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


def launch_together(tc, exe, count):
    """Starts `count` copies of exe as nearly at once as the launcher allows."""
    progs = [None] * count
    gate = threading.Barrier(count)

    def start(i):
        gate.wait()
        progs[i] = Program(exe)

    threads = [threading.Thread(target=start, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for p in progs:
        tc.assertIsNotNone(p, "every copy started")
        tc.addCleanup(p.kill)
    return progs
