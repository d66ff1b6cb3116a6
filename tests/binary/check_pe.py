#!/usr/bin/env python3
"""Checks the hardening of a Windows executable by reading its PE headers.

Fails (exit 1) unless the image has ASLR with high-entropy addresses, DEP, the terminal-server
awareness that Windows' own linker gives a GUI program, no section that is both writable and
executable, a manifest asking for no elevation, imports only from Windows' KnownDLLs, and
imports exactly the functions recorded in imports.txt beside this file (delay-loaded ones
included): a new import, which might be missing on Windows 7, fails with its name. Prints one
line per check and a closing 'N passed, N failed' line.

    check_pe.py FILE.exe [--imports LIST]   check (against another recorded list)
    check_pe.py FILE.exe --record LIST      write the image's imports as the recorded list

Recording is the deliberate, reviewed edit that changes what the program may import.
"""
import re
import struct
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


# Functions of those DLLs that Windows 7 does not export (or only with an update), with the
# Windows that has them: the program looks them up at run time where it uses them, so it still
# starts there. A new import named here gets the pointer in its failure.
NEWER_THAN_WINDOWS_7 = {
    "GetDpiForWindow": "Windows 10 1607", "GetDpiForSystem": "Windows 10 1607",
    "AdjustWindowRectExForDpi": "Windows 10 1607", "GetSystemMetricsForDpi": "Windows 10 1607",
    "SystemParametersInfoForDpi": "Windows 10 1607", "EnableNonClientDpiScaling": "Windows 10 1607",
    "SetThreadDpiAwarenessContext": "Windows 10 1607",
    "GetThreadDpiAwarenessContext": "Windows 10 1607",
    "SetProcessDpiAwarenessContext": "Windows 10 1703", "SetProcessDpiAwareness": "Windows 8.1",
    "GetSystemTimePreciseAsFileTime": "Windows 8", "WaitOnAddress": "Windows 8",
    "WakeByAddressSingle": "Windows 8", "WakeByAddressAll": "Windows 8",
    "CreateFile2": "Windows 8", "GetCurrentThreadStackLimits": "Windows 8",
    "SetThreadDescription": "Windows 10 1607",
    "SetDefaultDllDirectories": "Windows 8 (Windows 7 only with KB2533623)",
    "AddDllDirectory": "Windows 8 (Windows 7 only with KB2533623)",
    "RemoveDllDirectory": "Windows 8 (Windows 7 only with KB2533623)",
}
RECORDED = Path(__file__).resolve().parent / "imports.txt"


def read_list(path):
    return {tuple(line.split()) for line in Path(path).read_text(encoding="utf-8").splitlines()
            if line.strip() and not line.startswith("#")}


def write_list(path, imports):
    Path(path).write_text(
        "# What Germcatcher.exe imports, one DLL and function a line (check_pe.py --record).\n"
        "# A change here is deliberate: every function must exist on Windows 7, or be looked up\n"
        "# at run time instead of imported.\n" +
        "".join(f"{dll} {name}\n" for dll, name in sorted(imports)), encoding="utf-8")


def import_check(imports, recorded):
    new = sorted(imports - recorded)
    gone = sorted(recorded - imports)

    def named(item):
        newer = NEWER_THAN_WINDOWS_7.get(item[1])
        return f"{item[0]} {item[1]}" + (f" (only from {newer} on)" if newer else "")

    detail = (f"{len(imports)} functions as recorded" if not new and not gone else "; ".join(
        [f"new: {', '.join(map(named, new))}"] * bool(new) +
        [f"no longer imported: {', '.join(map(named, gone))}"] * bool(gone)) +
        " (record the list again only as a reviewed change)")
    return ("imports exactly the recorded functions", not new and not gone, detail)


def main(args):
    path, options = args[0], dict(zip(args[1::2], args[2::2]))
    pe = Pe(open(path, "rb").read())
    imports = set(pe.imported_functions())
    if "--record" in options:
        write_list(options["--record"], imports)
        print(f"recorded {len(imports)} imports in {options['--record']}")
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
    dlls = pe.imports()
    foreign = [d for d in dlls if d.lower() not in KNOWN_DLLS]
    checks.append(("imports only Windows KnownDLLs", dlls and not foreign,
                   ", ".join(dlls) + (f" (not known: {', '.join(foreign)})" if foreign else "")))
    checks.append(import_check(imports, read_list(options.get("--imports", RECORDED))))
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
