#!/usr/bin/env python3
"""The hardening check must notice when a protection is lost: builds small images with and
without each protection and runs the checker on them."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CXX = "x86_64-w64-mingw32-g++-posix"
SOURCE = "#include <windows.h>\nint main() { MessageBoxW(nullptr, L\"x\", L\"y\", 0); return 0; }\n"
MANIFEST = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">'
            '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>'
            '<requestedExecutionLevel level="{level}" uiAccess="false"/>'
            '</requestedPrivileges></security></trustInfo></assembly>\n')


class CheckPe(unittest.TestCase):
    def build(self, level="asInvoker", flags=()):
        d = self.enterContext(tempfile.TemporaryDirectory())
        with open(os.path.join(d, "m.manifest"), "w") as f:
            f.write(MANIFEST.format(level=level))
        with open(os.path.join(d, "r.rc"), "w") as f:
            f.write('1 24 "m.manifest"\n')
        with open(os.path.join(d, "s.cpp"), "w") as f:
            f.write(SOURCE)
        subprocess.run(["x86_64-w64-mingw32-windres", "r.rc", "-O", "coff", "-o", "r.o"],
                       cwd=d, check=True)
        exe = os.path.join(d, "s.exe")
        subprocess.run([CXX, "s.cpp", "r.o", "-static", "-s", "-o", exe, *flags], cwd=d, check=True)
        return exe

    def check(self, exe, *options):
        r = subprocess.run([sys.executable, os.path.join(HERE, "check_pe.py"), exe,
                            *(options or ("--imports", self.recorded))],
                           capture_output=True, text=True)
        return r.returncode, r.stdout

    HARDENED = "-Wl,--dynamicbase,--high-entropy-va,--nxcompat,--tsaware"

    def setUp(self):
        # The hardened image's imports, recorded as the program's are.
        self.recorded = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "list")
        rc, out = self.check(self.build(flags=[self.HARDENED]), "--record", self.recorded)
        self.assertEqual(rc, 0, out)

    def test_hardened_image_passes(self):
        rc, out = self.check(self.build(flags=[self.HARDENED]))
        self.assertEqual(rc, 0, out)

    def test_each_lost_protection_fails(self):
        # Each image lacks one protection, and the checker must name that one.
        cases = {
            "ASLR (dynamic base)": dict(flags=[self.HARDENED, "-Wl,--disable-dynamicbase"]),
            "high-entropy addresses": dict(flags=[self.HARDENED, "-Wl,--disable-high-entropy-va"]),
            "DEP (NX compatible)": dict(flags=[self.HARDENED, "-Wl,--disable-nxcompat"]),
            "terminal-server aware": dict(flags=["-Wl,--dynamicbase,--high-entropy-va,--nxcompat"]),
            "manifest asks for no elevation": dict(level="requireAdministrator",
                                                   flags=[self.HARDENED]),
            # Not a KnownDLL: a copy beside the program would be loaded in its place.
            "imports only Windows KnownDLLs": dict(
                flags=[self.HARDENED, "-Wl,-u,InitCommonControls", "-lcomctl32"]),
            # One import more than recorded, which Windows 7 would refuse to start with.
            "imports only reviewed functions that Windows 7 has": dict(
                flags=[self.HARDENED, "-Wl,-u,GetDpiForWindow", "-luser32"]),
        }
        for check, kw in cases.items():
            with self.subTest(check):
                rc, out = self.check(self.build(**kw))
                self.assertEqual(rc, 1, out)
                self.assertIn(f"FAIL {check}:", out)
        self.assertIn("not reviewed: user32.dll GetDpiForWindow (only from Windows 10 1607 on)", out)
        self.assertIn("new: user32.dll GetDpiForWindow (only from Windows 10 1607 on)", out)

    def test_another_toolchain_is_noticed(self):
        # The same imports, recorded by a compiler other than the one installed here.
        with open(self.recorded, encoding="utf-8") as f:
            text = f.read()
        with open(self.recorded, "w", encoding="utf-8") as f:
            f.write(re.sub(r"(g\+\+-mingw-w64-x86-64-posix=)\S+", r"\g<1>0.1", text))
        rc, out = self.check(self.build(flags=[self.HARDENED]))
        self.assertEqual(rc, 1, out)
        self.assertIn("ok   imports only reviewed functions that Windows 7 has", out)
        self.assertRegex(out, r"FAIL imports as recorded for this toolchain: no record for "
                         r"g\+\+-mingw-w64-x86-64-posix=(?!0\.1)")


if __name__ == "__main__":
    unittest.main()
