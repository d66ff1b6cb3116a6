#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_stamp: real locales' settings and clock readings, laid out the
way FuzzedDataProvider reads them (strings from the front, numbers from the back)."""

from pathlib import Path


class Seed:
    def __init__(self):
        self.front = b""
        self.back = []  # bytes in the order they are consumed (from the end of the data)

    def text(self, s):
        self.front += s.encode("utf-8").replace(b"\\", b"\\\\") + b"\\x"

    def byte(self, value):
        self.back.append(value & 0xFF)

    def flag(self, b):
        self.byte(1 if b else 0)

    def field(self, value):
        # Selector 2: a value in 0..12000, two bytes, most significant consumed first.
        self.byte(2)
        self.byte(value >> 8)
        self.byte(value)

    def data(self):
        return self.front + bytes(reversed(self.back))


LOCALES = {
    # name: date pattern, date sep, time sep, leading zero, 24 h, designator first, am, pm
    "ja": ("yyyy/M/d", "/", ":", False, True, False, "午前", "午後"),
    "en": ("M/d/yyyy", "/", ":", False, False, False, "AM", "PM"),
    "de": ("dd.MM.yyyy", ".", ":", True, True, False, "", ""),
    "ko": ("yyyy-MM-dd", "-", ":", False, False, True, "오전", "오후"),
    "quoted": ("yyyy'年'M'月'd'日' dddd MMMM ''yy", "/", ":", True, False, False, "am", "pm"),
    "era": ("gg y/M/d", "/", ".", False, True, False, "", ""),
}
TIMES = {
    "afternoon": (2025, 7, 14, 1, 15, 4, 5),
    "midnight": (2024, 2, 29, 4, 0, 0, 0),
    "noon": (1999, 12, 31, 5, 12, 0, 0),
}


def main():
    out = Path(__file__).resolve().parent / "corpus" / "fuzz_stamp"
    out.mkdir(parents=True, exist_ok=True)
    # Each locale once, at a time of day chosen in turn, and Japan at midnight as well.
    pairs = [(name, list(TIMES)[i % len(TIMES)]) for i, name in enumerate(LOCALES)]
    pairs.append(("ja", "midnight"))
    for lname, tname in pairs:
        pattern, dsep, tsep, lz, h24, first, am, pm = LOCALES[lname]
        y, mo, d, dow, h, mi, s = TIMES[tname]
        seed = Seed()
        for t in (pattern, dsep, tsep):
            seed.text(t)
        for f in (lz, h24, first):
            seed.flag(f)
        seed.text(am)
        seed.text(pm)
        seed.flag(False)  # keep the default names
        for v in (y, mo, d, dow, h, mi, s, 0):
            seed.field(v)
        (out / f"{lname}_{tname}").write_bytes(seed.data())

if __name__ == "__main__":
    main()
