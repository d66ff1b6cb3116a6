#!/usr/bin/env python3
"""Plays both paths of the program unattended and photographs every stage.

Run inside a Wine environment (tools/demo.sh starts one). Boxes are answered by real clicks
after a pause of about a second, so a viewer of the animation can read them. Writes into
build/demo/: one PNG per stage (full screen, plus a copy cropped to the windows that matter)
and one animated GIF per path.
"""

import os
import random
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness as h  # noqa: E402

OUT = ROOT / "build" / "demo"
MARGIN = 24
GIF_SCALE = "50%"
GIF_BOX = (192, 144, 832, 624)  # the middle of the 1024x768 screen, where every window lies


def screenshot(path):
    subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root", str(path)],
                   check=True, timeout=30, stderr=subprocess.DEVNULL)


def crop(src, dst, rect):
    left, top, right, bottom = rect
    left, top = max(0, left - MARGIN), max(0, top - MARGIN)
    right, bottom = min(1024, right + MARGIN), min(768, bottom + MARGIN)
    subprocess.run(["convert", str(src), "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", str(dst)], check=True, timeout=30)


class Film:
    """Frames of one path, each kept with the moment it was taken."""

    def __init__(self, name):
        self.name = name
        self.dir = OUT / f"frames-{name}"
        shutil.rmtree(self.dir, ignore_errors=True)
        self.dir.mkdir(parents=True)
        self.frames = []
        self.stages = 0

    def frame(self):
        path = self.dir / f"{len(self.frames):03d}.png"
        screenshot(path)
        self.frames.append((time.monotonic(), path))
        return path

    def stage(self, name, rect=None):
        """A frame that is also kept as a picture of its own, numbered in the order of the show."""
        self.stages += 1
        name = f"{self.name}-{self.stages}-{name}"
        path = self.frame()
        shutil.copyfile(path, OUT / f"{name}.png")
        if rect:
            crop(path, OUT / f"{name}.crop.png", rect)
        print(f"demo: {name}.png", flush=True)

    def gif(self):
        """Each frame shown for as long as it stood on the screen, cropped and scaled down."""
        args = ["convert", "-loop", "0"]
        times = [t for t, _ in self.frames]
        for i, (t, path) in enumerate(self.frames):
            delay = (times[i + 1] - t) if i + 1 < len(times) else 2.0
            args += ["-delay", str(max(2, round(delay * 100))), str(path)]
        left, top, right, bottom = GIF_BOX
        args += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                 "-resize", GIF_SCALE, "+dither", "-colors", "16", "-layers", "Optimize",
                 str(OUT / f"{self.name}.gif")]
        subprocess.run(args, check=True, timeout=300)
        print(f"demo: {self.name}.gif ({len(self.frames)} frames)", flush=True)


def pause(film, seconds):
    """A reader's pause, with a frame or two taken meanwhile."""
    end = time.monotonic() + seconds
    while time.monotonic() < end - 0.5:
        film.frame()
        time.sleep(0.3)
    time.sleep(max(0.0, end - time.monotonic()))


def human():
    return random.uniform(1.0, 1.5)


def read_and_answer(prog, film, text, ident, stage, settle=0.3):
    box = prog.wait_box(text, timeout=60)
    time.sleep(settle)  # let it paint
    film.stage(stage, box["rect"])
    pause(film, human())
    prog.answer(box, ident, real_click=True)
    return box


def run_phase(prog, film, status, maximum, stage):
    """Films the dialog while its bar fills; the stage picture is taken near the middle."""
    dialog = prog.wait_dialog(status)
    taken = False
    while True:
        windows = prog.visible()
        if any(h.is_box(w) for w in windows):
            return
        dialog = h.dialog_of(windows)
        if dialog is None or h.label_of(dialog)["text"] != status:
            return
        bar = h.bar_of(dialog)
        if not taken and bar.get("pos", 0) >= maximum // 2:
            film.stage(stage, dialog["rect"])
            taken = True
        else:
            film.frame()
        if bar.get("pos", 0) >= maximum:
            return


def play(path):
    sandbox = h.Sandbox()
    prog = h.Program(sandbox.exe)
    film = Film(path)
    try:
        answer = h.IDYES if path == "yes" else h.IDNO
        read_and_answer(prog, film, h.QUESTION, answer, "question")
        if path == "yes":
            run_phase(prog, film, h.ERASING, 50, "erasing")
            finale = h.YES_FINALE
        else:
            run_phase(prog, film, h.SEARCHING, 16, "searching")
            run_phase(prog, film, h.SENDING, 40, "sending")
            finale = h.NO_FINALE
        for i, text in enumerate(finale):
            read_and_answer(prog, film, text, h.IDOK, f"finale-{i + 1}")
        if prog.wait_exit(30) != 0:
            raise SystemExit(f"demo: the {path} run ended with {prog.exit_code}")
        film.frame()
        film.gif()
        shutil.copyfile(sandbox.log, OUT / f"{path}-log.txt")
    finally:
        prog.kill()
        sandbox.remove()


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for path in sys.argv[1:] or ["yes", "no"]:
        play(path)


if __name__ == "__main__":
    main()
