#!/usr/bin/env python3
"""The hardening check must notice when a protection is lost: builds small images with and
without each protection and runs the checker on them."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
CXX = "x86_64-w64-mingw32-g++-posix"
# Started as the program is (wmain, kernel32 first), it imports a part of what the program does.
SOURCE = "#include <windows.h>\nint wmain() { MessageBoxW(0, L\"x\", L\"y\", 0); return 0; }\n"
MANIFEST = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">'
            '<dependency><dependentAssembly><assemblyIdentity type="win32" version="6.0.0.0" '
            'name="Microsoft.Windows.Common-Controls" processorArchitecture="*"{token}/>'
            '</dependentAssembly></dependency>'
            '<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges>'
            '<requestedExecutionLevel level="{level}" uiAccess="false"/>'
            '</requestedPrivileges></security></trustInfo></assembly>\n')
TOKEN = ' publicKeyToken="6595b64144ccf1df"'  # without it, a private assembly of that name


class CheckPe(unittest.TestCase):
    def build(self, level="asInvoker", flags=(), token=TOKEN):
        d = self.enterContext(tempfile.TemporaryDirectory())
        for name, text in (("m.manifest", MANIFEST.format(level=level, token=token)),
                           ("r.rc", '1 24 "m.manifest"\n'), ("s.cpp", SOURCE)):
            Path(d, name).write_text(text, encoding="utf-8")
        subprocess.run(["x86_64-w64-mingw32-windres", "r.rc", "-O", "coff", "-o", "r.o"],
                       cwd=d, check=True)
        exe = os.path.join(d, "s.exe")
        subprocess.run([CXX, "s.cpp", "r.o", "-municode", "-static", "-s", "-o", exe,
                        self.HARDENED, *flags, "-lkernel32"], cwd=d, check=True)
        return exe

    def check(self, exe, *options):
        r = subprocess.run([sys.executable, os.path.join(HERE, "check_pe.py"), exe,
                            *(options or ("--imports", self.recorded))],
                           capture_output=True, text=True)
        return r.returncode, r.stdout + r.stderr

    HARDENED = "-Wl,--dynamicbase,--high-entropy-va,--nxcompat,--tsaware"

    def setUp(self):
        # The hardened image's imports recorded on the program's list, with the Windows of each,
        # and one function more, reviewed as Windows 10's.
        self.recorded = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "list")
        shutil.copyfile(os.path.join(HERE, "imports.txt"), self.recorded)
        rc, out = self.check(self.build(), "--record", self.recorded)
        self.assertEqual(rc, 0, out)
        with open(self.recorded, "a", encoding="utf-8") as f:
            f.write("user32.dll GetDpiForWindow 10\n")

    def test_hardened_image_passes(self):
        rc, out = self.check(self.build())
        self.assertEqual(rc, 0, out)

    def test_each_lost_protection_fails(self):
        # Each image lacks one protection, and the checker must name that one and why.
        reviewed = "imports only reviewed functions that Windows 7 has: "
        lib = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "user32.a")
        subprocess.run(["x86_64-w64-mingw32-dlltool", "-d", "/dev/stdin", "-l", lib], check=True,
                       input=b"LIBRARY user32.dll\nEXPORTS\nMessageBoxW @2000 NONAME\n")
        cases = [
            (dict(flags=["-Wl,--disable-dynamicbase"]), "ASLR (dynamic base): "),
            (dict(flags=["-Wl,--disable-high-entropy-va"]), "high-entropy addresses: "),
            (dict(flags=["-Wl,--disable-nxcompat"]), "DEP (NX compatible): "),
            (dict(flags=["-Wl,--disable-tsaware"]), "terminal-server aware: "),
            (dict(level="requireAdministrator"), "manifest asks for no elevation: "),
            # Common Controls 6 in name only, a private assembly from the program's folder.
            (dict(token=""), "manifest depends only on Common Controls 6: "
             "Microsoft.Windows.Common-Controls 6.0.0.0 (private) (refused)"),
            # Not a KnownDLL: a copy beside the program would be loaded in its place.
            (dict(flags=["-Wl,-u,InitCommonControls", "-lcomctl32"]),
             "imports only Windows KnownDLLs: ",
             reviewed + "not reviewed with its Windows: comctl32.dll InitCommonControls"),
            # Reviewed, but Windows 7 would refuse to start the program.
            (dict(flags=["-Wl,-u,GetDpiForWindow", "-luser32"]),
             reviewed + "newer than Windows 7: user32.dll GetDpiForWindow (Windows 10)",
             "imports as recorded for this toolchain: new: user32.dll GetDpiForWindow"),
            # By ordinal: another build of the DLL may put another function at that number.
            (dict(flags=[lib]), reviewed + "imported by ordinal: user32.dll #2000"),
        ]
        for kw, *fails in cases:
            with self.subTest(fails[0]):
                exe = self.build(**kw)
                rc, out = self.check(exe)
                self.assertEqual(rc, 1, out)
                for fail in fails:
                    self.assertIn(f"FAIL {fail}", out)
                # What the check refuses, recording refuses too, by name.
                for refusal in [f[len(reviewed):] for f in fails if f.startswith(reviewed)]:
                    self.assertIn(f"not recorded, {refusal}",
                                  self.check(exe, "--record", self.recorded)[1])

    def test_another_toolchain_is_noticed(self):
        # The same imports, recorded by a compiler other than the one installed here.
        with open(self.recorded, encoding="utf-8") as f:
            text = f.read()
        with open(self.recorded, "w", encoding="utf-8") as f:
            f.write(re.sub(r"(g\+\+-mingw-w64-x86-64-posix=)\S+", r"\g<1>0.1", text))
        rc, out = self.check(self.build())
        self.assertEqual(rc, 1, out)
        self.assertIn("ok   imports only reviewed functions that Windows 7 has", out)
        self.assertRegex(out, r"FAIL imports as recorded for this toolchain: no record for "
                         r"g\+\+-mingw-w64-x86-64-posix=(?!0\.1)")


if __name__ == "__main__":
    unittest.main()
