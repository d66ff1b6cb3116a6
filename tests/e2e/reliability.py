"""Shared pieces of the reliability tests (test_reliability_*.py): a run of the program that is
answered, shown to work, and then ended quickly through the unlock gesture and No; file
protections that hold even for root; and the stamp a locale's settings call for."""

import contextlib
import datetime
import os
import subprocess

import harness as h

STATUS = {h.IDYES: h.ERASING, h.IDNO: h.SEARCHING}


def show_then_end(tc, prog, answer):
    """Answers the question, checks that the show runs (its dialog with the path's status line
    and a moving bar), then unlocks the window and leaves through the close query's No.
    Returns the exit code."""
    tc.answer_question(prog, answer, real_click=False)
    dlg = prog.wait_dialog(lambda w: h.label_of(w)["text"] == STATUS[answer])
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


def render_date(pattern, sep, when):
    """A Windows short date pattern (d, dd, M, MM, y, yy, yyyy, '...' literals, "/" the date
    separator) for `when`."""
    out, i = "", 0
    while i < len(pattern):
        c = pattern[i]
        if c == "'":
            end = pattern.find("'", i + 1)
            end = len(pattern) if end < 0 else end
            out += pattern[i + 1 : end] if end > i + 1 else "'"
            i = end + 1
            continue
        n = 1
        while i + n < len(pattern) and pattern[i + n] == c:
            n += 1
        if c == "d" and n <= 2:
            out += f"{when.day:0{n}d}"
        elif c == "M" and n <= 2:
            out += f"{when.month:0{n}d}"
        elif c == "y":
            out += f"{when.year % 100:0{n}d}" if n <= 2 else f"{when.year:04d}"
        elif c in "dMgh":
            raise AssertionError(f"the test cannot render {c * n!r} of {pattern!r}")
        else:
            out += (sep if c == "/" else c) * n
        i += n
    return out


def render_stamp(info, when):
    """The stamp for `when` from the locale values the probe read (localeinfo), as the log's
    code page 932 bytes."""
    stamp = render_date(info["SSHORTDATE"] or "M/d/yy", info["SDATE"] or "/", when)
    if (when.hour, when.minute, when.second) != (0, 0, 0):
        hour, mark = when.hour, None
        if info["ITIME"] == "0":
            mark = (info["S1159"] or "am") if hour < 12 else (info["S2359"] or "pm")
            hour = hour % 12 or 12
        sep = info["STIME"] or ":"
        time = (f"{hour:02d}" if info["ITLZERO"] != "0" else str(hour))
        time += f"{sep}{when.minute:02d}{sep}{when.second:02d}"
        if mark is not None:
            time = f"{mark} {time}" if info["ITIMEMARKPOSN"] != "0" else f"{time} {mark}"
        stamp += " " + time
    return stamp.encode("cp932", errors="replace")


def stamps_between(info, before, after):
    """Every stamp the locale gives for a whole second in [before - 1 s, after + 1 s]."""
    t = before.replace(microsecond=0) - datetime.timedelta(seconds=1)
    out = set()
    while t <= after + datetime.timedelta(seconds=1):
        out.add(render_stamp(info, t))
        t += datetime.timedelta(seconds=1)
    return out


def split_entries(data, kinds):
    """Splits log bytes that should hold exactly the entries `kinds` (in order) into their stamps;
    fails on anything else."""
    stamps, pos = [], 0
    for kind in kinds:
        text = h.LOG_TEXTS[kind]
        at = data.find(text, pos)
        if at < 0:
            raise AssertionError(f"no {kind} entry after byte {pos}: {data[pos:]!r}")
        stamps.append(data[pos:at])
        pos = at + len(text)
    if pos != len(data):
        raise AssertionError(f"stray bytes after the entries: {data[pos:]!r}")
    return stamps


