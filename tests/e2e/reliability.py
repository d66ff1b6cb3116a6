"""Shared pieces of the reliability tests (test_reliability_*.py): a run of the program that is
answered, shown to work, and then ended quickly through the unlock gesture and No; file
protections that hold even for root; and programs started as another locale's user."""

import contextlib
import os
import subprocess

import harness as h


def show_then_end(tc, prog, answer):
    """Answers the question, checks that the show runs (its dialog with the path's status line
    and a moving bar), then unlocks the window and leaves through the close query's No.
    Returns the exit code. Budget: a moving bar, a gesture and a close, about 1 s of either
    path's show (6.4 s or 8.2 s); the box that follows pauses it."""
    tc.answer_question(prog, answer, real_click=False)
    dlg = prog.wait_dialog(h.STATUS[answer])
    tc.assert_bar_advances(prog, "the show")
    h.gesture(dlg)
    h.click_close_box(dlg)
    box = prog.wait_box(h.BUSY)
    tc.assertEqual(h.box_buttons(box), [h.IDYES, h.IDNO], "the gesture unlocked the window")
    prog.answer(box, h.IDNO)
    return prog.wait_exit(30)


# ---- protections that hold for root too ------------------------------------------------------


def attrib(path, flags):
    """The Windows read-only attribute through Wine's own attrib."""
    subprocess.run(h.SIDE.command(["cmd", "/c", "attrib", flags, h.winpath(path)]),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60, check=False)


def opens_for_writing(path):
    """Whether a Windows program can open the file for writing right now."""
    out = h.probe("lockfile", h.winpath(path), "rw", "0")
    return bool(out) and out[0].get("locked") is True


def make_immutable(tc, path):
    """chattr +i: not even root may write to (or create files in) the path. Skips the test
    where the file system or the process's capabilities do not allow it."""
    res = subprocess.run(["chattr", "+i", str(path)], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, check=False)
    if res.returncode != 0:
        tc.skipTest(f"chattr +i is not available here: {res.stderr.decode().strip()}")
    tc.addCleanup(subprocess.run, ["chattr", "-i", str(path)], check=False)


# ---- locales ---------------------------------------------------------------------------------


@contextlib.contextmanager
def locale_env(lang):
    """Wine programs started inside take `lang` as their user locale (Wine follows LANG)."""
    saved = {k: os.environ.get(k) for k in ("LANG", "LC_ALL")}
    os.environ["LANG"] = os.environ["LC_ALL"] = lang
    try:
        yield
    finally:
        for k, v in saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v
