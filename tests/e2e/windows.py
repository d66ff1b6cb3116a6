"""The program's windows as the probe reports them (JSON): boxes, their texts and buttons, the
dialog and its controls."""

from driver import SIDE, centre, click, probe
from oracle import BOX_TEXT_ID, SS_ICON, SS_TYPEMASK


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


def is_dialog(w):
    """Whether a window is the program's main window (the dialog, or the blue cover it becomes)."""
    return w["class"] == "TForm1"


def dialog_of(windows):
    """The main window among `windows`, or None."""
    return next(filter(is_dialog, windows), None)


def gesture(dlg, button=3):
    """Shift+Ctrl+click (right by default) on the dialog's bar: the hidden unlock gesture."""
    SIDE.gesture(*centre(bar_of(dlg)["rect"]), button)


def click_close_box(dlg):
    """A real click on the dialog's close box. Real input keeps its order after a gesture, where
    a posted WM_CLOSE would be handled before the gesture's pending input."""
    closebox = probe("closebox", dlg["hwnd"])[0]
    click(closebox["x"], closebox["y"])
