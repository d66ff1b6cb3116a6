"""Both paths of the show from the answer to the exit, driven by real clicks."""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402

SCREEN = [0, 0, *h.screen_size()]
BLUE = (0, 0, 255)
TICK_MS = 125
# From the dialog's appearance to the first finale box: the Yes bar's 50 steps and the tick that
# acts on the full bar; the No path's 16 + 1 ticks, its 0.8 s wait, 40 + 1 ticks and 0.4 s.
NOMINAL_MS = {"Yes": 51 * TICK_MS, "No": 17 * TICK_MS + 800 + 41 * TICK_MS + 400}
VERDICT_WAIT_MS = 2000


class Show(h.GermTestCase):
    # Budget: none spent. The scenarios only wait for the finale's boxes, which come when the
    # show brings them, and read the rest from the watcher's time line afterwards.
    def play_finale(self, prog, answer, check):
        """Each finale box, once the watcher has seen it (its time line is read afterwards), is
        an OK box captioned with the program's name and passes check(i, box); then the program
        ends with 0 and its log holds the run."""
        for i, text in enumerate(h.FINALE[answer]):
            box = prog.wait_box(text, timeout=60)
            prog.watch.wait_seen(box, text)
            self.assertEqual((box["text"], h.box_buttons(box), h.box_has_icon(box)),
                             (h.CAPTION, [h.IDOK], False))
            check(i, box)
            prog.answer(box, h.IDOK, real_click=True)
        self.assertEqual(prog.wait_exit(), 0)
        self.assert_log(prog, ["start", h.KIND[answer]])
        prog.watch.wait_end()

    def assert_phase(self, samples, status, maximum):
        """The bar of one phase starts empty, only moves forward and gets (nearly) full."""
        # Readings taken while the program was busy may pair the new text with the old bar.
        positions = [p for _, p, m, text in samples if text == status and m == maximum]
        self.assertTrue(positions, f"the phase {status!r} was seen")
        self.assertLess(positions[0], 5, "the bar starts empty")
        self.assertEqual(positions, sorted(positions), "the bar never moves back")
        self.assertGreater(len(set(positions)), maximum // 2, "the bar moves step by step")
        self.assertGreaterEqual(max(positions), maximum - 3)
        return positions

    def box_span(self, events, text):
        """The watcher's lines where the box with `text` was first seen up, and first seen gone."""
        up = next((e for e in events if e["ev"] == "win" and h.is_box(e["win"])
                   and e["win"]["visible"] and h.box_text(e["win"]) == text), None)
        self.assertIsNotNone(up, f"the watcher saw the box {text!r}")
        hwnd = up["win"]["hwnd"]
        gone = next(e for e in events if e["n"] > up["n"] and (
            (e["ev"] == "gone" and e["hwnd"] == hwnd)
            or (e["ev"] == "win" and e["win"]["hwnd"] == hwnd and not e["win"]["visible"])))
        return up, gone

    def assert_pace(self, watch, finale, path):
        """Lower bounds only, which a slow machine cannot break: the show takes at least 95 % of
        its nominal time to the first finale box, and the verdict wait at least 1.8 s. Each span
        is the longest the watcher's readings allow: from the poll before the one that saw it
        begin ("p") to the poll that saw it end."""
        events = watch.snapshot()
        shown = next(e for e in events if e["ev"] == "win" and h.is_dialog(e["win"])
                     and e["win"]["visible"])
        first_up, first_gone = self.box_span(events, finale[0])
        second_up, _ = self.box_span(events, finale[1])
        to_finale = first_up["t"] - shown["p"]
        verdict_wait = second_up["t"] - first_gone["p"]
        print(f"\n  {path} path: dialog to first finale box {to_finale:.0f} ms, verdict wait "
              f"{verdict_wait:.0f} ms", file=sys.stderr)
        self.assertGreaterEqual(to_finale, 0.95 * NOMINAL_MS[path], "the show keeps its pace")
        self.assertGreaterEqual(verdict_wait, 0.9 * VERDICT_WAIT_MS, "the wait before the second box")
        return events, first_up, second_up

    def test_yes_path_ends_on_the_blue_cover(self):
        prog = self.start(h.IDYES, watch=True, real_click=True)

        def check(i, box):
            cover = h.dialog_of(prog.windows())
            self.assertTrue(cover["visible"], "the cover stays up")
            self.assertEqual(cover["rect"], SCREEN)
            self.assertFalse(
                cover["style"] & (h.WS_CAPTION | h.WS_THICKFRAME | h.WS_DLGFRAME | h.WS_BORDER),
                "no frame",
            )
            self.assertFalse(any(c["visible"] for c in cover["children"]), "controls hidden")
            self.assertLess(box["z"], cover["z"], "the box lies above the cover")
            if i == 0:
                self.assert_blue_around(box)
                # A scaling change (a docking station, a remote session) while the cover is up:
                # it stays the screen's size, and the finale plays on.
                self.assertEqual(h.probe("dpichanged", cover["hwnd"], 192, *SCREEN),
                                 [{"sent": True}])
                self.assertEqual(prog.dialog()["rect"], SCREEN, "the cover after the change")

        self.play_finale(prog, h.IDYES, check)
        self.assert_phase(prog.watch.bar_samples(), h.ERASING, 50)
        events, first_up, second_up = self.assert_pace(prog.watch, h.YES_FINALE, "Yes")
        # While the first box is up the cover lies below it; in the wait that follows the
        # watcher, reading styles without a message, sees it on top of all again.
        topmost = [e["n"] for e in events if e["ev"] == "win" and h.is_dialog(e["win"])
                   and first_up["n"] < e["n"] < second_up["n"]
                   and e["win"]["exstyle"] & h.WS_EX_TOPMOST]
        self.assertTrue(topmost, "the cover is topmost again between the boxes")

    def assert_blue_around(self, box):
        shot = h.Shot()
        left, top, right, bottom = box["rect"]
        wrong = [
            (x, y, shot.pixel(x, y))
            for y in range(0, shot.height, 12)
            for x in range(0, shot.width, 12)
            if not (left - 2 <= x < right + 2 and top - 2 <= y < bottom + 2)
            and shot.pixel(x, y) != BLUE
        ]
        self.assertEqual(wrong[:10], [], f"{len(wrong)} sampled pixels are not blue")

    if h.SIDE.wine:  # on Windows itself, the tester's own screen would change: the checklist's

        def test_cover_follows_a_display_change_under_a_box(self):
            # Budget: none spent. The first finale box waits for its answer while the screen
            # shrinks and grows back (a smaller mode, a larger monitor docked).
            with h.virtual_desktop(*SCREEN[2:]) as desktop:
                prog = self.start(h.IDYES, desktop=desktop)
                try:
                    for i, text in enumerate(h.YES_FINALE):
                        box = prog.wait_box(text, timeout=60)
                        for size in ((800, 600), tuple(SCREEN[2:])) if i == 0 else ():
                            self.assertEqual(prog.probe("display", *size),
                                             [{"width": size[0], "height": size[1]}])
                            prog.wait_window(lambda w: h.is_dialog(w) and w["rect"] == [
                                0, 0, *size], f"the cover at {size}", before_finale=False)
                        prog.answer(box, h.IDOK)
                    self.assertEqual(prog.wait_exit(), 0)
                finally:
                    # While the desktop lives, Wine gives every program its mode, the default
                    # desktop's too: the next test must find the screen as it was.
                    h.probe("display", *SCREEN[2:], desktop=desktop)

    def test_no_path_sends_mail_and_ends_with_boxes_alone(self):
        prog = self.start(h.IDNO, watch=True, real_click=True)
        self.play_finale(prog, h.IDNO, lambda i, box: self.assertEqual(
            [w["hwnd"] for w in prog.visible()], [box["hwnd"]], "the box stands alone"))
        samples = prog.watch.bar_samples()
        searching = self.assert_phase(samples, h.SEARCHING, 16)
        self.assertEqual(searching[-1], 16, "the full bar stays while the program waits")
        self.assert_phase(samples, h.SENDING, 40)
        texts = [text for _, _, _, text in samples if text]
        self.assertEqual(texts.index(h.SENDING), texts.count(h.SEARCHING), "one change of text")
        self.assert_pace(prog.watch, h.NO_FINALE, "No")


if __name__ == "__main__":
    h.main()
