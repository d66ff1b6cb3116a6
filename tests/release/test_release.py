#!/usr/bin/env python3
"""The release is what the sources say: a second build of the same sources, in another folder
and later, gives the same program and the same release zip byte for byte; the project's version
alone names the version everywhere a user sees one; the program carries its own icon.

Builds the Windows program again from a copy of the sources (about a minute), so it runs with
the other tests only after the Windows preset has been built (GERM_WINDOWS_BUILD names it).
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("GERM_WINDOWS_BUILD", ROOT / "build" / "windows"))
DIST = ROOT / "tools" / "dist.py"
LEFT_OUT = {"build", ".git", ".cache", "__pycache__", "compile_commands.json"}


def run(*args, cwd=None, env=None):
    r = subprocess.run([str(a) for a in args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                       capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError(f"{' '.join(map(str, args))} failed:\n{r.stdout}{r.stderr}")
    return r.stdout


def build_windows_program(src):
    # One job: the end-to-end tests running beside this one keep a core.
    run("cmake", "--preset", "windows", cwd=src)
    run("cmake", "--build", "--preset", "windows", "--target", "Germcatcher", "-j", "1", cwd=src)
    return src / "build" / "windows"


def file_version(exe):
    """The four numbers of the executable's fixed version information."""
    data = exe.read_bytes()
    at = data.index(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO's signature
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF


def first_difference(a, b):
    at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
    return f"sizes {len(a)} and {len(b)}, first difference at byte {at:#x}"


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not (BUILD / "Germcatcher.exe").exists():
            raise RuntimeError(f"{BUILD / 'Germcatcher.exe'} is missing: build the windows preset")

    def dist(self, tree, build, out, env=None):
        said = run(sys.executable, tree / "tools" / "dist.py", build, out, env=env)
        self.assertIn("UNSIGNED release", said, "an unsigned release says so")
        return next(out.glob("*.zip"))

    def assert_release_contents(self, release):
        """The zip holds the program, its guides, its licence and notices; the buildinfo names
        this machine's package versions and the files' sums, and SHA256SUMS covers it."""
        with zipfile.ZipFile(release) as z:
            self.assertEqual(z.namelist(), ["Germcatcher.exe", "README-en.txt", "README-ja.txt",
                                            "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"])
            notices = z.read("THIRD-PARTY-NOTICES.txt").decode("utf-8-sig")
            exe = z.read("Germcatcher.exe")
        for text in ("mingw-w64 runtime", "ZPL-2.1", "winpthreads", "GCC RUNTIME LIBRARY EXCEPTION",
                     " ISC", " BSD-2-clause-NetBSD"):
            self.assertIn(text, notices)
        # The profiling runtime (GPL) is linked only with -pg: the program holds none of it.
        self.assertNotIn("License: Cygwin", notices)
        info_path = release.with_suffix(".buildinfo")
        info = info_path.read_text()
        debian = re.search(r'^VERSION_ID="?(\d+)', Path("/etc/os-release").read_text(), re.M)
        self.assertIn(f"\nBuild-Release: Debian {debian.group(1)} (", info)
        versions = re.findall(r"^ (\S+) \(= (\S+)\),?$", info, re.M)
        self.assertIn("g++-mingw-w64-x86-64-posix", dict(versions))
        for package, version in versions:
            self.assertEqual(version, run("dpkg-query", "-W", "-f=${Version}", package), package)
        sums = dict((name, digest) for digest, _, name in
                    re.findall(r"^ ([0-9a-f]{64}) (\d+) (\S+)$", info, re.M))
        self.assertEqual(sums, {"Germcatcher.exe": hashlib.sha256(exe).hexdigest(),
                                release.name: hashlib.sha256(release.read_bytes()).hexdigest()})
        listed = (release.parent / "SHA256SUMS").read_bytes().decode("ascii")
        self.assertIn(f"{hashlib.sha256(info_path.read_bytes()).hexdigest()}  {info_path.name}"
                      "\r\n", listed)
        self.assertEqual(listed.count("\n"), listed.count("\r\n"), "CR LF for any Notepad")

    def test_notices_follow_the_link_and_the_copyright_files(self):
        """An archive the build folder holds is no more our own than one the toolchain holds:
        GoogleTest linked as lib/libgtest.a gets its notice. A stanza under two licences gets
        both texts, each once."""
        sys.path.insert(0, str(ROOT / "tools"))
        import notices
        made_up = ("Archive member included to satisfy reference by file (symbol)\n\n"
                   "lib/libgtest.a(gtest-all.cc.obj)\n"
                   "                              CMakeFiles/t.dir/t.cpp.obj (_ZN7testing4TestC2Ev)\n"
                   "libgerm_log.a(log.cpp.obj)\n\nMemory Configuration\n")
        text, _ = notices.notices([("t.exe", made_up)], "0")
        self.assertIn("GoogleTest", text)
        self.assertIn("Redistributions in binary form must reproduce", text)
        copyright_file = ("Files: *\nCopyright: someone\nLicense: A and B\n\n"
                          "License: A\n The text of A.\n\nLicense: B\n The text of B.\n")
        names, text = notices.stanza_notice(copyright_file, notices.everything, "p")
        self.assertEqual(names, ["A", "B"])
        self.assertEqual((text.count("The text of A."), text.count("The text of B.")), (1, 1))

    def test_notices_name_an_archive_that_has_none(self):
        """A scratch program linking one more runtime library (libquadmath) than ours: the
        notices check stops and names it; without it the same program passes."""
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-notices-")))
        (tmp / "q.c").write_text("#include <quadmath.h>\nint main(int c, char** v) {\n"
                                 "  return (int)sqrtq((__float128)c);\n}\n")
        (tmp / "p.c").write_text("int main(void) { return 0; }\n")
        own = tmp / "CMakeFiles" / "Germcatcher.dir"  # where the build puts the program's own
        own.mkdir(parents=True)
        for name, libs in (("q", ["-lquadmath"]), ("p", [])):
            run("x86_64-w64-mingw32-gcc-posix", "-c", f"{name}.c", "-o", own / f"{name}.c.obj",
                cwd=tmp)
            run("x86_64-w64-mingw32-gcc-posix", "-static", f"CMakeFiles/Germcatcher.dir/{name}.c.obj",
                *libs, "-o", f"{name}.exe", f"-Wl,-Map={name}.map", cwd=tmp)
        notices = ROOT / "tools" / "notices.py"
        r = subprocess.run([sys.executable, notices, tmp / "q.txt", f"q.exe={tmp / 'q.map'}"],
                           capture_output=True, text=True)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("libquadmath.a", r.stderr)
        run(sys.executable, notices, tmp / "p.txt", f"p.exe={tmp / 'p.map'}")

    def test_second_build_elsewhere_and_later_is_byte_identical(self):
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-repro-")))
        zip_here = self.dist(ROOT, BUILD, tmp / "dist-here")
        self.assert_release_contents(zip_here)
        # The same Python reached through another path (a virtual environment's) gives the same
        # sums and leaves its path out of the record.
        run(sys.executable, "-m", "venv", "--without-pip", tmp / "elsewhere")
        python = tmp / "elsewhere" / "bin" / "python3"
        run(python, ROOT / "tools" / "dist.py", BUILD, tmp / "dist-again")
        self.assertEqual((tmp / "dist-again" / "SHA256SUMS").read_bytes(),
                         (tmp / "dist-here" / "SHA256SUMS").read_bytes())
        self.assertNotIn(str(python.parent), next((tmp / "dist-again").glob("*.buildinfo")).read_text())

        copy = tmp / "another" / "checkout"
        shutil.copytree(ROOT, copy, ignore=lambda d, names: LEFT_OUT & set(names))
        # The copy has no history: give it the time the first packing took from the last commit.
        commit_time = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                                     capture_output=True, text=True).stdout.strip()
        env = dict(os.environ, SOURCE_DATE_EPOCH=os.environ.get("SOURCE_DATE_EPOCH", commit_time))
        build = build_windows_program(copy)

        a, b = (BUILD / "Germcatcher.exe").read_bytes(), (build / "Germcatcher.exe").read_bytes()
        self.assertTrue(a == b, f"Germcatcher.exe: {first_difference(a, b)}")
        zip_there = self.dist(copy, build, tmp / "dist-there", env)
        self.assertEqual(zip_here.name, zip_there.name)
        a, b = zip_here.read_bytes(), zip_there.read_bytes()
        self.assertTrue(a == b, f"{zip_here.name}: {first_difference(a, b)}")

        # One version, in one place: change it and every place a user reads it follows.
        cmake_lists = copy / "CMakeLists.txt"
        text, count = re.subn(r"(project\(Germcatcher VERSION )[\d.]+", r"\g<1>7.8.9",
                              cmake_lists.read_text())
        self.assertEqual(count, 1, "the project's version is set once")
        cmake_lists.write_text(text)
        exe = build_windows_program(copy) / "Germcatcher.exe"
        self.assertEqual(file_version(exe), (7, 8, 9, 0))
        strings = exe.read_bytes()
        self.assertIn("7.8.9.0".encode("utf-16-le"), strings, "the version's text")
        self.assertIn(b'name="Germcatcher" version="7.8.9.0"', strings, "the manifest's identity")
        release = self.dist(copy, build, tmp / "dist-7.8.9", env)
        self.assertEqual(release.name, "Germcatcher-7.8.9-windows-x64.zip")
        with zipfile.ZipFile(release) as z:
            for guide in ("README-en.txt", "README-ja.txt"):
                text = z.read(guide).decode("utf-8-sig")
                self.assertIn("Germcatcher 7.8.9", text, guide)
                self.assertIn("7.8.9.0", text, f"{guide}: the version Properties shows")

    def test_program_icon_comes_at_every_size_windows_draws(self):
        with tempfile.TemporaryDirectory(prefix="germ-icon-") as tmp:
            ico = Path(tmp) / "program.ico"
            run("wrestool", "-x", "--type=group_icon", "--name=1", "-o", ico,
                BUILD / "Germcatcher.exe")
            sizes = re.findall(r"--width=(\d+) --height=\1 ", run("icotool", "-l", ico))
        self.assertEqual(sorted(map(int, sizes)), [16, 24, 32, 48, 256])


if __name__ == "__main__":
    unittest.main(verbosity=2)
