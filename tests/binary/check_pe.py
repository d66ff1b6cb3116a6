#!/usr/bin/env python3
"""Checks the hardening of a Windows executable by reading its PE headers.

Fails (exit 1) unless the image has ASLR with high-entropy addresses, DEP, the terminal-server
awareness that Windows' own linker gives a GUI program, no section that is both writable and
executable, a manifest asking for no elevation and for no assembly but the system's Common
Controls 6, imports only from Windows' KnownDLLs, imports by name only reviewed functions that
Windows 7 has (the list in imports.txt beside this file gives each one's oldest Windows;
delay-loaded imports included), and imports exactly what that file records for the toolchain that
built it (the mingw-w64 compiler and runtime packages installed here). A refused import fails with
its name and why; a toolchain that was never recorded, or one whose imports changed, fails with
what differs. Prints one line per check and a closing 'N passed, N failed' line.

    check_pe.py FILE.exe [--imports LIST]   check (against another recorded list)
    check_pe.py FILE.exe --record LIST      record the image's imports as this toolchain's

Recording is the deliberate, reviewed edit that changes what the program may import; it refuses
what the check refuses, by name, and a new function needs its line with its Windows first.
"""
import re
import struct
import subprocess
import sys
from pathlib import Path

# Windows takes these from the system folder whatever folder the program runs from: the
# KnownDLLs that Windows 7 to 11 all list (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs), and ntdll, which the system maps into every process itself. Any other
# import (comctl32, uxtheme, version, ...) is searched for in the program's folder first, where a
# planted copy would be loaded before the program's first instruction.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll",
    "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll",
    "ntdll.dll", "ole32.dll", "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll",
    "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT, TERMINAL_SERVER_AWARE = 0x0040, 0x0020, 0x0100, 0x8000
SCN_EXECUTE, SCN_WRITE = 0x20000000, 0x80000000


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        nsections, = struct.unpack_from("<H", data, pe + 6)
        opt_size, = struct.unpack_from("<H", data, pe + 20)
        opt = pe + 24
        self.magic, = struct.unpack_from("<H", data, opt)
        if self.magic != 0x20B:
            raise ValueError("not a PE32+ (x86_64) image")
        self.dll_characteristics, = struct.unpack_from("<H", data, opt + 70)
        ndirs, = struct.unpack_from("<I", data, opt + 108)
        self.dirs = [struct.unpack_from("<II", data, opt + 112 + 8 * i) for i in range(ndirs)]
        self.sections = []
        for i in range(nsections):
            off = opt + opt_size + 40 * i
            name = data[off:off + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, off + 8)
            chars, = struct.unpack_from("<I", data, off + 36)
            self.sections.append((name, va, max(vsize, rawsize), rawptr, chars))

    def offset(self, rva):
        for _, va, size, rawptr, _ in self.sections:
            if va <= rva < va + size:
                return rva - va + rawptr
        raise ValueError(f"RVA {rva:#x} outside every section")

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii", "replace")

    def descriptors(self):
        """(DLL name, name table RVA) of each import, the delay-loaded ones included."""
        out = []
        for index, size, name_at, table_at in ((1, 20, 12, 0), (13, 32, 4, 16)):
            rva = self.dirs[index][0] if len(self.dirs) > index else 0
            off = self.offset(rva) if rva else None
            while off is not None:
                fields = struct.unpack_from(f"<{size // 4}I", self.data, off)
                if not any(fields):
                    break
                name_rva = fields[name_at // 4]
                table = fields[table_at // 4] or (fields[4] if index == 1 else 0)
                out.append((self.cstring(name_rva), table))
                off += size
        return out

    def imports(self):
        return [dll for dll, _ in self.descriptors()]

    def imported_functions(self):
        """(dll, function) of every import: "#N" for one by ordinal."""
        out = []
        for dll, table in self.descriptors():
            entry = self.offset(table)
            while True:
                value, = struct.unpack_from("<Q", self.data, entry)
                if not value:
                    break
                if value >> 63:
                    out.append((dll.lower(), f"#{value & 0xFFFF}"))
                else:  # by name: a hint, then the name
                    out.append((dll.lower(), self.cstring((value & 0x7FFFFFFF) + 2)))
                entry += 8
        return out

    def manifests(self):
        # Manifests are plain XML inside the resource section.
        return re.findall(rb"<assembly.*?</assembly>", self.data, re.S)


# Windows releases, oldest first, as imports.txt names the oldest that exports each function: the
# "Minimum supported client" of Microsoft's page for it (the first one it names). The program
# looks a newer function up at run time where it uses it, so it still starts on Windows 7.
WINDOWS = ("NT4", "2000", "XP", "Vista", "7", "8", "8.1", "10", "11")
# Common Controls 6 comes from the system's side-by-side store; the token makes it Microsoft's.
CC6 = {"name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
       "publicKeyToken": "6595b64144ccf1df"}
RECORDED = Path(__file__).resolve().parent / "imports.txt"
# What decides the imports: the compiler (with its C++ runtime) and the Windows runtime.
TOOLCHAIN_PACKAGES = ("g++-mingw-w64-x86-64-posix", "mingw-w64-x86-64-dev")


def this_toolchain():
    """(name, versions): the name is the Debian release's, the versions the packages'."""
    release = re.search(r'^VERSION_ID="?(\w+)', Path("/etc/os-release").read_text(), re.M)
    versions = []
    for package in TOOLCHAIN_PACKAGES:
        r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True,
                           text=True)
        versions.append(f"{package}={r.stdout.strip() or 'not-installed'}")
    return f"debian{release.group(1) if release else 'unknown'}", tuple(versions)


def read_list(path):
    """({name: versions} of the toolchains, {(dll, function): [Windows, {toolchain names}]})."""
    toolchains, functions = {}, {}
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        words = line.split()
        if not words or line.startswith("#"):
            continue
        if words[0] == "toolchain":
            toolchains[words[1]] = tuple(words[2:])
        else:
            functions[(words[0], words[1])] = [(words + [""])[2], set(words[3:])]
    return toolchains, functions


def write_list(path, toolchains, functions):
    Path(path).write_text(
        "# What Germcatcher.exe may import: one DLL and function a line, reviewed, then the oldest\n"
        "# Windows that exports it (Microsoft's \"Minimum supported client\"; msvcrt.dll's exports\n"
        "# and the x64 unwinding name none: XP x64, whose DLLs export them all), then the\n"
        "# toolchains that import it, declared below by their compiler and runtime packages. A\n"
        "# build imports exactly what its toolchain's marks say; check_pe.py FILE.exe --record\n"
        "# writes the installed toolchain's marks; a new function needs its line first.\n" +
        "".join(f"toolchain {name} {' '.join(v)}\n" for name, v in sorted(toolchains.items())) +
        "".join(f"{dll} {name} {windows} {' '.join(sorted(marks))}\n"
                for (dll, name), (windows, marks) in sorted(functions.items()) if marks),
        encoding="utf-8")


def refused(imports, functions):
    """Why imports fail the review, each reason with the imports it names; empty if none does."""
    why = {}
    for dll, name in sorted(imports):
        windows = functions.get((dll, name), [""])[0]
        reason = ("imported by ordinal" if name.startswith("#") else
                  "not reviewed with its Windows" if windows not in WINDOWS else
                  "newer than Windows 7" if WINDOWS.index(windows) > WINDOWS.index("7") else "")
        why.setdefault(reason, []).append(f"{dll} {name}" + f" (Windows {windows})" * (
            reason.startswith("newer")))
    return "; ".join(f"{reason}: {', '.join(items)}" for reason, items in why.items() if reason)


def record(path, imports):
    toolchains, functions = read_list(path) if Path(path).exists() else ({}, {})
    refusal = refused(imports, functions)
    if refusal:
        sys.exit(f"check_pe: not recorded, {refusal} (a new function needs its line first)")
    name, versions = this_toolchain()
    toolchains[name] = versions
    for item, (_, marks) in functions.items():
        (marks.add if item in imports else marks.discard)(name)
    write_list(path, toolchains, functions)
    return f"recorded {len(imports)} imports of {name} ({', '.join(versions)}) in {path}"


def import_checks(imports, path):
    toolchains, functions = read_list(path)
    refusal = refused(imports, functions)
    reviewed = ("imports only reviewed functions that Windows 7 has", not refusal,
                refusal or f"{len(imports)} functions, by name")
    name, versions = this_toolchain()
    mine = [n for n, v in toolchains.items() if v == versions]
    if not mine:
        return [reviewed, ("imports as recorded for this toolchain", False,
                           f"no record for {', '.join(versions)} (recorded: " +
                           "; ".join(f"{n} {' '.join(v)}" for n, v in sorted(toolchains.items())) +
                           "); review its imports and record them")]
    recorded = {item for item, (_, marks) in functions.items() if mine[0] in marks}
    new, gone = sorted(imports - recorded), sorted(recorded - imports)
    detail = (f"{len(imports)} functions as recorded for {mine[0]}" if not new and not gone else
              "; ".join([f"new: {', '.join(map(' '.join, new))}"] * bool(new) +
                        [f"no longer imported: {', '.join(map(' '.join, gone))}"] * bool(gone)) +
              " (record the list again only as a reviewed change)")
    return [reviewed, ("imports as recorded for this toolchain", not new and not gone, detail)]


def main(args):
    path, options = args[0], dict(zip(args[1::2], args[2::2]))
    pe = Pe(open(path, "rb").read())
    imports = set(pe.imported_functions())
    if "--record" in options:
        print(record(options["--record"], imports))
        return 0
    checks = []
    dc = pe.dll_characteristics
    checks.append(("ASLR (dynamic base)", dc & DYNAMIC_BASE, f"DllCharacteristics {dc:#06x}"))
    checks.append(("high-entropy addresses", dc & HIGH_ENTROPY_VA, f"DllCharacteristics {dc:#06x}"))
    checks.append(("DEP (NX compatible)", dc & NX_COMPAT, f"DllCharacteristics {dc:#06x}"))
    checks.append(("terminal-server aware", dc & TERMINAL_SERVER_AWARE, f"DllCharacteristics {dc:#06x}"))
    wx = [s[0] for s in pe.sections if s[4] & SCN_EXECUTE and s[4] & SCN_WRITE]
    checks.append(("no writable and executable section", not wx, ", ".join(wx) or "none"))
    manifests = pe.manifests()
    levels = [m for ms in manifests for m in re.findall(rb'requestedExecutionLevel[^>]*level="(\w+)"', ms)]
    checks.append(("manifest asks for no elevation", levels == [b"asInvoker"],
                   ", ".join(l.decode() for l in levels) or "no requestedExecutionLevel"))
    assemblies = [dict(re.findall(r'(\w+)\s*=\s*["\']([^"\']*)', a)) for a in re.findall(
        r"<dependentAssembly>\s*<assemblyIdentity([^>]*)>", b"".join(manifests).decode("utf-8"))]
    others = [a for a in assemblies if {k: a.get(k) for k in CC6} != CC6]
    checks.append(("manifest depends only on Common Controls 6", not others, ", ".join(
        f"{a.get('name')} {a.get('version')}" + " (private)" * ("publicKeyToken" not in a) +
        " (refused)" * (a in others) for a in assemblies) or "no dependency"))
    dlls = pe.imports()
    foreign = [d for d in dlls if d.lower() not in KNOWN_DLLS]
    checks.append(("imports only Windows KnownDLLs", dlls and not foreign,
                   ", ".join(dlls) + (f" (not known: {', '.join(foreign)})" if foreign else "")))
    checks += import_checks(imports, options.get("--imports", RECORDED))
    failed = 0
    for name, ok, detail in checks:
        failed += not ok
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {detail}")
    print(f"{len(checks) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) not in (2, 4) or (len(sys.argv) == 4 and sys.argv[2] not in ("--imports",
                                                                                 "--record")):
        sys.exit("usage: check_pe.py FILE.exe [--imports LIST | --record LIST]")
    sys.exit(main(sys.argv[1:]))
