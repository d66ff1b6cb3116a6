"""The close guard, the Cancel button by mouse and keyboard, and the unlock gesture, driven by real
input."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402


class Guard(h.GermTestCase):
    def start_show(self):
        prog = self.start(h.IDNO)
        return prog, prog.wait_dialog(h.SEARCHING)

    def expect_paused_box(self, prog, text, buttons=(h.IDOK,), answer=h.IDOK, goes_on=None):
        """The box comes up without icon, the bar stands still under it, and after the answer the
        show goes on, the dialog open, when `goes_on` says after what it must."""
        box = prog.wait_box(text)
        self.assertEqual((box["text"], h.box_buttons(box), h.box_has_icon(box)),
                         (h.CAPTION, list(buttons), False))
        # A second is eight of the show's ticks: a show that runs on under the box moves the bar.
        held = prog.bar_position()
        h.hold_for(1, lambda: prog.bar_position() == held, "the bar stands still while the box "
                   "is up")
        prog.answer(box, answer, real_click=True)
        if goes_on:
            self.assertTrue(prog.dialog()["visible"], f"the dialog is still open after {goes_on}")
            self.assert_bar_advances(prog, f"after {goes_on}")

    # Each scenario drives the No path, whose show lasts about 8.2 s from the dialog's appearance
    # to its finale; a box pauses the show, so only the steps outside boxes spend it. Each budget
    # counts those steps: a probe reading or a key costs milliseconds (the probe keeps running),
    # a bar that must be seen to move about 0.3 s, a hold what it says. A scenario that outruns
    # its show fails saying so.

    # Budget: three closes and three moves of the bar, about 2 s.
    def test_locked_window_refuses_closes_from_the_frame(self):
        prog, dlg = self.start_show()

        h.click_close_box(dlg)
        self.expect_paused_box(prog, h.BUSY, goes_on="the close box")

        h.click(*h.centre(h.label_of(dlg)["rect"]))  # focus the dialog for the keyboard
        prog.key("alt+F4")
        self.expect_paused_box(prog, h.BUSY, goes_on="Alt+F4")

        h.probe("close", dlg["hwnd"])
        self.expect_paused_box(prog, h.BUSY, goes_on="WM_CLOSE")
        self.assert_log(prog, ["start", "no"])

    # Budget: the system menu's opening, a click, the start of a sign-out (a process of its own,
    # up to a few seconds on a busy machine) and three moves of the bar: about 4 s.
    def test_locked_window_refuses_menu_and_session_end_and_cancel_only_teases(self):
        prog, dlg = self.start_show()

        # Close on the system menu, opened and chosen from the keyboard.
        h.click(*h.centre(h.label_of(dlg)["rect"]))
        prog.key("alt+space")
        prog.wait_window(lambda w: w["class"] == h.MENU_CLASS, "the system menu")
        prog.key("c")
        self.expect_paused_box(prog, h.BUSY, goes_on="Close on the system menu")

        h.click(*h.centre(h.child(dlg, "Button", h.CANCEL_CAPTION)["rect"]))
        self.expect_paused_box(prog, h.CANCEL_TEXT, goes_on="Cancel")

        # Logging off asks the window too; the refusal keeps the program running.
        session = h.SIDE.end_session(prog.pid)
        self.addCleanup(lambda: session.poll() is None and session.kill())
        self.expect_paused_box(prog, h.BUSY)
        session.wait(30)
        dlg = prog.dialog()
        self.assertEqual((dlg["text"], dlg["visible"]), (h.CAPTION, True), "the dialog stays")
        self.assert_bar_advances(prog, "after the end of the session")
        self.assert_log(prog, ["start", "no"])

    def on_cancel(self, prog, dlg, what):
        button = h.child(dlg, "Button", h.CANCEL_CAPTION)["hwnd"]
        h.wait_for(lambda: prog.focus(f"the focus on Cancel {what}")[0] == button, 10,
                   f"the focus on Cancel {what}")
        return button

    # Budget: a click, three keys and two holds of 2 s: about 4.5 s.
    def test_tab_and_escape_leave_the_focus_on_cancel(self):
        prog, dlg = self.start_show()
        button = self.on_cancel(prog, dlg, "when the dialog appears")
        h.click(*h.centre(h.label_of(dlg)["rect"]))  # the display's keyboard to the dialog
        # The bar is no tab stop, so Tab and Shift+Tab keep the focus on the button; it is not
        # the dialog's cancel button, so Escape does nothing.
        for keys in (["Tab"], ["shift+Tab", "Escape"]):
            prog.key(*keys)
            what = f"the focus on Cancel and no box after {keys}"
            h.hold_for(2, lambda: prog.focus(what) == (button, False), what)
        self.assert_log(prog, ["start", "no"])

    # Budget: two keys, each answered by a box, and the focus read after each: about 1 s.
    def test_space_and_return_press_cancel_and_the_show_plays_on(self):
        prog, dlg = self.start_show()
        self.on_cancel(prog, dlg, "when the dialog appears")
        h.click(*h.centre(h.label_of(dlg)["rect"]))
        for key in ("space", "Return"):
            prog.key(key)
            self.expect_paused_box(prog, h.CANCEL_TEXT)
            self.on_cancel(prog, dlg, f"after the box that {key} brought")
        # Nothing stopped the show: it plays to its end.
        self.press(prog, h.NO_FINALE[0])
        self.assert_log(prog, ["start", "no"])

    # Budget: four gestures, four closes, one move of the bar: about 2 s.
    def test_unlock_gesture_offers_the_way_out(self):
        prog, dlg = self.start_show()

        # The left button, or a double gesture, leaves the window locked. The closes are real
        # clicks, so they come after the gestures.
        h.gesture(dlg, button=1)
        h.click_close_box(dlg)
        self.expect_paused_box(prog, h.BUSY)
        h.gesture(dlg)
        h.gesture(dlg)
        h.click_close_box(dlg)
        self.expect_paused_box(prog, h.BUSY)

        # Unlocked: the close box asks; Yes stays, No leaves.
        h.gesture(dlg)
        h.click_close_box(dlg)
        self.expect_paused_box(prog, h.BUSY, [h.IDYES, h.IDNO], h.IDYES, "answering Yes")

        h.probe("close", dlg["hwnd"])
        self.expect_paused_box(prog, h.BUSY, [h.IDYES, h.IDNO], answer=h.IDNO)
        self.assertEqual(prog.wait_exit(), 0)
        self.assert_log(prog, ["start", "no"])


if __name__ == "__main__":
    h.main()
