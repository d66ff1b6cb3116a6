"""The opening: the question box alone, the answer, the dialog's first phase and the log."""

import datetime
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402

SCREEN_W, SCREEN_H = h.screen_size()


class Opening(h.GermTestCase):
    # Budget: each scenario looks at the first phase only, the first second or two of a show of
    # 6.4 s (Yes) or 8.2 s (No): the dialog, its layout, a moving bar, the icon (up to 15 s on a
    # slow machine, which a Yes show would outlast only there, saying so).
    def assert_dialog_layout(self, dlg):
        self.assertEqual(dlg["text"], h.CAPTION)
        self.assertTrue(dlg["exstyle"] & h.WS_EX_TOPMOST, "always on top")
        style = dlg["style"]
        self.assertEqual(style & (h.WS_CAPTION | h.WS_SYSMENU), h.WS_CAPTION | h.WS_SYSMENU)
        self.assertFalse(style & (h.WS_MINIMIZEBOX | h.WS_MAXIMIZEBOX | h.WS_THICKFRAME))
        self.assertFalse(dlg["zoomed"] or dlg["iconic"])
        left, top, right, bottom = dlg["rect"]
        self.assertLessEqual(abs((left + right) - SCREEN_W), 1, "centred horizontally")
        self.assertLessEqual(abs((top + bottom) - SCREEN_H), 1, "centred vertically")
        # Controls at their designed client positions, scaled as a whole by the text height the
        # font measures over 16: exactly the design at 96 dots per inch, the window's resolution
        # as the system reports it. At another scaling the height that gives the client width
        # must give every other bound too.
        ox, oy = dlg["client_origin"]

        def scale(v, m):
            return (v * m + 8) // 16  # MulDiv rounds half away from zero

        self.assertGreater(dlg["dpi"], 0, "the system reports the dialog's resolution")
        m = 16 if dlg["dpi"] == 96 else next(
            (m for m in range(8, 97) if scale(296, m) == dlg["client"][0]), None)
        self.assertIsNotNone(m, f"a client width the layout rule gives: {dlg['client']}")

        def at(c):
            x0, y0, x1, y1 = c["rect"]
            return [x0 - ox, y0 - oy, x1 - x0, y1 - y0]

        self.assertEqual(dlg["client"], [scale(296, m), scale(128, m)])
        self.assertEqual(at(h.bar_of(dlg)), [scale(v, m) for v in (8, 64, 281, 17)])
        self.assertEqual(at(h.child(dlg, "Button", h.CANCEL_CAPTION)),
                         [scale(v, m) for v in (104, 96, 89, 25)])
        label = at(h.label_of(dlg))
        self.assertEqual((label[0], label[1], label[3]), tuple(scale(v, m) for v in (8, 16, 16)))

    def assert_own_icon_in_title_bar(self, dlg):
        """The germ's green, which neither the frame nor a stock icon has, at the left of the
        title bar."""
        left, top, _, _ = dlg["rect"]
        ox, oy = dlg["client_origin"]

        def green_pixels():
            shot = h.Shot()
            return sum(
                1
                for y in range(top, oy)
                for x in range(left, ox + 28)
                if (lambda r, g, b: g > 150 and r < g - 40 and b < 110)(*shot.pixel(x, y))
            )

        h.wait_for(lambda: green_pixels() >= 20, 15, "the program's icon in the title bar", 0.5)

    def assert_first_phase_timeline(self, watch, question, status, maximum):
        """The dialog was never visible before the answer, nor without its phase loaded."""

        def seen():
            """The watcher's lines once they reach as far as the test has seen (its lines may
            lag behind a busy machine): the question gone and the dialog's bar read."""
            events = watch.snapshot()
            # The poll in which the question was first seen gone or hidden.
            box_gone = next((e["n"] for e in events
                             if (e["ev"] == "gone" and e["hwnd"] == question["hwnd"])
                             or (e["ev"] == "win" and e["win"]["hwnd"] == question["hwnd"]
                                 and not e["win"]["visible"])), None)
            shown = [(e["n"], e["win"]) for e in events if e["ev"] == "win"
                     and h.is_dialog(e["win"]) and e["win"]["visible"]]
            read = any("pos" in h.bar_of(w) for _, w in shown)
            return (box_gone, shown) if box_gone is not None and read else None

        box_gone, shown = h.wait_for(seen, 10, "the watcher to see the question go and the bar")
        first_n = shown[0][0]
        self.assertGreaterEqual(first_n, box_gone, "the dialog appears only after the answer")
        for _, w in shown:
            self.assertEqual(h.label_of(w)["text"], status)
            self.assertFalse(w["zoomed"], "never seen maximised")
        # The watcher keeps a bar's last reading, so once read every later line has one.
        readings = [h.bar_of(w) for _, w in shown if "pos" in h.bar_of(w)]
        for bar in readings:
            self.assertEqual(bar["range"], [0, maximum])
        # Empty at first; a little slack for a watcher that was itself held up.
        self.assertLess(readings[0]["pos"], 5, "the bar starts empty")

    def test_question_comes_alone_then_yes_opens_the_erase_phase(self):
        prog = self.start(watch=True)
        box = prog.wait_box(h.QUESTION, timeout=60)
        self.assertEqual([w["hwnd"] for w in prog.visible()], [box["hwnd"]], "the box stands alone")
        self.assertEqual((box["text"], h.box_buttons(box), h.box_has_icon(box)),
                         (h.CAPTION, [h.IDYES, h.IDNO], True), "with the exclamation icon")
        self.assert_log(prog, ["start"])

        prog.watch.wait_seen(box, "the question")
        prog.answer(box, h.IDYES, real_click=True)
        dlg = prog.wait_dialog(h.ERASING)
        after = datetime.datetime.now()
        self.assert_dialog_layout(dlg)
        self.assert_own_icon_in_title_bar(dlg)
        self.assert_log(prog, ["start", "yes"], after)
        self.assert_bar_advances(prog, "erase phase")
        self.assert_first_phase_timeline(prog.watch, box, h.ERASING, 50)

    def test_no_opens_the_address_book_phase(self):
        prog = self.start(h.IDNO, watch=True)
        dlg = prog.wait_dialog(h.SEARCHING)
        self.assert_log(prog, ["start", "no"])
        self.assert_dialog_layout(dlg)
        self.assert_first_phase_timeline(prog.watch, prog.question, h.SEARCHING, 16)

    def test_started_maximised_appears_at_normal_size(self):
        prog = self.start(h.IDYES, showcmd=h.SW_MAXIMIZE, watch=True)
        prog.wait_dialog(h.ERASING)
        self.assert_bar_advances(prog, "after a maximised start")
        self.assert_dialog_layout(prog.dialog())
        self.assert_first_phase_timeline(prog.watch, prog.question, h.ERASING, 50)

    def test_started_minimised_waits_for_restore(self):
        prog = self.start(h.IDNO, showcmd=h.SW_SHOWMINNOACTIVE, watch=True)
        h.wait_for(lambda: len(h.parse_log(prog.sandbox.log_bytes())) == 2, 30, "the choice entry")
        self.assert_log(prog, ["start", "no"])
        # Give a wrongly started show time to move the bar: two seconds are 16 ticks.
        time.sleep(2)
        dlg = prog.dialog()
        self.assertIsNotNone(dlg)
        self.assertTrue(dlg["iconic"] or not dlg["visible"], "not shown at normal size")
        self.assertEqual(prog.bar_position(), 0, "the show has not started")
        self.assertEqual(h.label_of(dlg)["text"], "", "FormShow has not run")

        h.probe("restore", dlg["hwnd"])
        dlg = prog.wait_dialog(h.SEARCHING, lambda w: not w["iconic"])
        self.assert_bar_advances(prog, "after the restore")
        self.assert_dialog_layout(prog.dialog())


if __name__ == "__main__":
    h.main()
