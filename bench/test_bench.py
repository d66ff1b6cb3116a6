#!/usr/bin/env python3
"""The benchmark's own arithmetic: figures read from a watched time line and from /proc."""

import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import bench  # noqa: E402

SEARCHING, SENDING = bench.h.SEARCHING, bench.h.SENDING


def dialog(t, pos, maximum, label, visible=True, bar_visible=True):
    bar = {"class": "msctls_progress32", "visible": bar_visible, "pos": pos, "range": [0, maximum]}
    return {"t": t, "ev": "win", "win": {"class": "TForm1", "visible": visible, "children": [
        {"class": "Static", "text": label}, bar]}}


def box(t, text, visible=True):
    return {"t": t, "ev": "win", "win": {"class": "#32770", "visible": visible, "children": [
        {"class": "Static", "id": bench.h.BOX_TEXT_ID, "text": text}]}}


class StepIntervals(unittest.TestCase):
    def test_single_steps_within_a_phase(self):
        events = [
            dialog(0, 0, 16, SEARCHING),
            dialog(130, 1, 16, SEARCHING),  # the first step counts from the show, not a step
            dialog(250, 2, 16, SEARCHING),
            dialog(260, 2, 16, SEARCHING),  # another change of the window, same reading
            dialog(380, 3, 16, SEARCHING),
            dialog(640, 5, 16, SEARCHING),  # a step the watch missed
            dialog(760, 6, 16, SEARCHING, bar_visible=False),  # the cover hides the bar
            dialog(1700, 6, 40, SEARCHING),  # a new maximum: a new phase
            dialog(1705, 0, 40, SENDING),
            dialog(1720, 1, 40, SENDING),
            dialog(1845, 2, 40, SENDING),
        ]
        self.assertEqual(bench.step_intervals(events), [120, 130, None, 125])

    def test_hidden_dialog_and_other_windows_are_ignored(self):
        events = [
            dialog(0, 1, 50, SEARCHING),
            box(60, "x"),
            dialog(100, 1, 50, SEARCHING, visible=False),
            dialog(125, 2, 50, SEARCHING),
        ]
        self.assertEqual(bench.step_intervals(events), [125])


class PathDuration(unittest.TestCase):
    def test_from_the_dialog_shown_to_the_first_finale_box(self):
        events = [
            box(0, bench.h.QUESTION),
            dialog(50, 0, 50, SEARCHING, visible=False),
            dialog(80, 0, 50, SEARCHING),
            box(3000, bench.h.CANCEL_TEXT),
            box(6400, "first", visible=False),
            box(6455, "first"),
        ]
        self.assertEqual(bench.path_duration(events, "first"), 6375)


class ProcSampling(unittest.TestCase):
    def test_cpu_and_peak_memory_of_a_process_that_ends(self):
        child = subprocess.Popen([sys.executable, "-c",
                                  "import time; b = bytearray(64 << 20); sum(range(3000000));"
                                  "time.sleep(0.3)"])
        sampler = bench.ProcSampler(child.pid)
        child.wait()
        sampler.finish()
        self.assertGreater(sampler.cpu_s, 0)
        self.assertGreaterEqual(sampler.wall_s, sampler.cpu_s / 2)
        self.assertGreaterEqual(sampler.hwm_kib, 64 << 10)


if __name__ == "__main__":
    unittest.main()
