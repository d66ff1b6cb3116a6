#!/usr/bin/env python3
"""Checks the hardening of a Windows executable by reading its PE headers.

Fails (exit 1) unless the image has ASLR with high-entropy addresses, DEP, the terminal-server
awareness that Windows' own linker gives a GUI program, no section that is both writable and
executable, a manifest asking for no elevation, and imports only from Windows' KnownDLLs. Prints
one line per check and a closing 'N passed, N failed' line.
"""
import re
import struct
import sys

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

    def imports(self):
        rva, size = self.dirs[1] if len(self.dirs) > 1 else (0, 0)
        names = []
        if not rva:
            return names
        off = self.offset(rva)
        while True:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", self.data, off)
            if not (lookup or name_rva or thunk):
                return names
            names.append(self.cstring(name_rva))
            off += 20

    def imported_functions(self):
        """The names of the functions imported by name, from every DLL."""
        rva, _ = self.dirs[1] if len(self.dirs) > 1 else (0, 0)
        names = []
        off = self.offset(rva) if rva else None
        while off is not None:
            lookup, _, _, name_rva, thunk = struct.unpack_from("<IIIII", self.data, off)
            if not (lookup or name_rva or thunk):
                break
            entry = self.offset(lookup or thunk)
            while True:
                value, = struct.unpack_from("<Q", self.data, entry)
                if not value:
                    break
                if not value >> 63:  # by name: a hint, then the name
                    names.append(self.cstring((value & 0x7FFFFFFF) + 2))
                entry += 8
            off += 20
        return names

    def manifests(self):
        # Manifests are plain XML inside the resource section.
        return re.findall(rb"<assembly.*?</assembly>", self.data, re.S)


# Functions of those DLLs that Windows 7 does not export (or only with an update): the program
# looks them up at run time where it uses them, so it still starts there.
NEWER_THAN_WINDOWS_7 = {
    "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi", "GetSystemMetricsForDpi",
    "SystemParametersInfoForDpi", "SetProcessDpiAwarenessContext", "SetThreadDpiAwarenessContext",
    "GetThreadDpiAwarenessContext", "EnableNonClientDpiScaling", "SetProcessDpiAwareness",
    "GetSystemTimePreciseAsFileTime", "SetDefaultDllDirectories", "AddDllDirectory",
    "RemoveDllDirectory", "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll",
    "CreateFile2", "GetCurrentThreadStackLimits", "SetThreadDescription",
}


def main(path):
    pe = Pe(open(path, "rb").read())
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
    newer = sorted(set(pe.imported_functions()) & NEWER_THAN_WINDOWS_7)
    checks.append(("imports only functions Windows 7 has", not newer,
                   ", ".join(newer) or f"{len(pe.imported_functions())} functions"))
    failed = 0
    for name, ok, detail in checks:
        failed += not ok
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {detail}")
    print(f"{len(checks) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: check_pe.py FILE.exe")
    sys.exit(main(sys.argv[1]))
