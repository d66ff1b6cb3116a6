"""Both paths of the show from the answer to the exit, driven by real clicks."""

import datetime
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402

SCREEN = [0, 0, 1024, 768]
BLUE = (0, 0, 255)


class Show(h.GermTestCase):
    def assert_finale_box(self, box):
        self.assertEqual(box["text"], h.CAPTION)
        self.assertEqual(h.box_buttons(box), [h.IDOK])
        self.assertFalse(h.box_has_icon(box))

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

    def report_duration(self, watch, first_text, path):
        shown = watch.window_events(lambda w: w["class"] == "TForm1" and w["visible"])
        box = watch.window_events(lambda w: h.is_box(w) and h.box_text(w) == first_text)
        if shown and box:
            print(f"\n  {path} path: dialog to first finale box {box[0][0] - shown[0][0]:.0f} ms",
                  file=sys.stderr)

    def test_yes_path_ends_on_the_blue_cover(self):
        sb = self.sandbox()
        before = datetime.datetime.now()
        prog = self.launch(sb.exe)
        watch = self.watch(prog)
        self.answer_question(prog, h.IDYES, real_click=True)

        for i, text in enumerate(h.YES_FINALE):
            box = prog.wait_box(text, timeout=60)
            windows = {w["hwnd"]: w for w in prog.windows()}
            cover = next(w for w in windows.values() if w["class"] == "TForm1")
            self.assert_finale_box(box)
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
            prog.answer(box, h.IDOK, real_click=True)
            if i == 0:
                # Two seconds pass before the next box: the cover is on top of all again.
                now = prog.windows()
                if not any(h.is_box(w) and w["visible"] for w in now):
                    cover = next(w for w in now if w["class"] == "TForm1")
                    self.assertTrue(cover["exstyle"] & h.WS_EX_TOPMOST, "topmost between boxes")
                else:
                    print("\n  (the next box came too soon to see the cover alone)", file=sys.stderr)

        self.assertEqual(prog.wait_exit(), 0)
        self.assert_log(sb, ["start", "yes"], before, datetime.datetime.now())
        watch.wait_end()
        self.assert_phase(watch.bar_samples(), h.ERASING, 50)
        self.report_duration(watch, h.YES_FINALE[0], "Yes")

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

    def test_no_path_sends_mail_and_ends_with_boxes_alone(self):
        sb = self.sandbox()
        before = datetime.datetime.now()
        prog = self.launch(sb.exe)
        watch = self.watch(prog)
        self.answer_question(prog, h.IDNO, real_click=True)

        for text in h.NO_FINALE:
            box = prog.wait_box(text, timeout=60)
            self.assert_finale_box(box)
            self.assertEqual([w["hwnd"] for w in prog.visible()], [box["hwnd"]],
                             "the box stands alone, the dialog hidden")
            prog.answer(box, h.IDOK, real_click=True)

        self.assertEqual(prog.wait_exit(), 0)
        self.assert_log(sb, ["start", "no"], before, datetime.datetime.now())
        watch.wait_end()
        samples = watch.bar_samples()
        searching = self.assert_phase(samples, h.SEARCHING, 16)
        self.assertEqual(searching[-1], 16, "the full bar stays while the program waits")
        self.assert_phase(samples, h.SENDING, 40)
        texts = [text for _, _, _, text in samples if text]
        self.assertEqual(texts.index(h.SENDING), texts.count(h.SEARCHING), "one change of text")
        self.report_duration(watch, h.NO_FINALE[0], "No")


if __name__ == "__main__":
    h.main()
