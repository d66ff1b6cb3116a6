"""What the program leaves alone: it lets no DLL in from the folder it runs from, and its log
keeps its old bytes when the log's volume is full."""

import os
import re
import struct
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import harness as h  # noqa: E402
import reliability as r  # noqa: E402

# Wine's trace of every call across a DLL boundary, each line with process and thread ids:
#   0110:0114:Call KERNEL32.SetDefaultDllDirectories(00000800) ret=1400097d1
#   0110:0114:trace:loaddll:build_module Loaded L"C:\\windows\\...\\comctl32.dll" at ...: builtin
CALL = re.compile(rb"([0-9a-f]+):[0-9a-f]+:Call [\w.-]+\.(\w+)\((.*)\) ret=([0-9a-f]+)$")
LOADED = re.compile(rb'([0-9a-f]+):[0-9a-f]+:trace:loaddll:\w+ Loaded L"(.*)" at ([0-9A-Fa-f]+):')
LOAD_CALLS = {b"LoadLibraryA", b"LoadLibraryW", b"LoadLibraryExA", b"LoadLibraryExW",
              b"LoadPackagedLibrary", b"LdrLoadDll"}
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800


def image_size(path):
    """SizeOfImage from the executable's optional header."""
    data = Path(path).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<I", data, pe + 24 + 56)[0]


def dll_events(trace, pid, exe):
    """The DLL events of process `pid` in order: ("restrict", flags) for SetDefaultDllDirectories
    and ("load", call) for a load, each called from the program's own image; ("loaded", path)
    for every DLL the process maps, whoever asked for it."""
    me = b"%04x" % pid
    name = Path(exe).name.encode()
    base = end = None
    events = []
    with open(trace, "rb") as f:
        for line in f:
            line = line.rstrip(b"\r\n")
            m = LOADED.match(line)
            if m and m.group(1) == me:
                path = m.group(2).replace(b"\\\\", b"\\")
                if base is None and path.endswith(b"\\" + name):
                    base = int(m.group(3), 16)
                    end = base + image_size(exe)
                else:
                    events.append(("loaded", path.decode("utf-8", "replace")))
                continue
            m = CALL.match(line)
            if not m or m.group(1) != me or base is None or not base <= int(m.group(4), 16) < end:
                continue
            if m.group(2) == b"SetDefaultDllDirectories":
                events.append(("restrict", int(m.group(3), 16)))
            elif m.group(2) in LOAD_CALLS:
                events.append(("load", (m.group(2) + b"(" + m.group(3) + b")").decode()))
    if base is None:
        raise AssertionError(f"the trace shows no image of {name!r} in process {me!r}")
    return events


class Harmless(h.GermTestCase):
    def test_dll_search_is_restricted_before_any_load(self):
        # Every DLL the program itself loads, the common controls included, may be searched for
        # only after the search has been restricted to the system folder.
        sb = self.sandbox()
        trace = sb.dir / "relay.txt"
        env = dict(os.environ, WINEDEBUG="+pid,+relay,+loaddll")
        with open(trace, "wb") as f:
            prog = self.launch(sb.exe, env=env, stderr=f)
        self.assertEqual(r.show_then_end(self, prog, h.IDNO), 0)

        events = dll_events(trace, prog.pid, sb.exe)
        kinds = [k for k, _ in events]
        self.assertIn("restrict", kinds, "SetDefaultDllDirectories is called")
        first = kinds.index("restrict")
        self.assertEqual(events[first][1], LOAD_LIBRARY_SEARCH_SYSTEM32)
        early = [e for e in events[:first] if e[0] == "load" or "comctl32" in e[1].lower()]
        self.assertEqual(early, [], "nothing of ours is loaded before the search is restricted")
        self.assertIn("load", kinds[first:], "the common controls are loaded by the program")
        self.assertTrue(any(k == "loaded" and v.lower().endswith("\\comctl32.dll")
                            for k, v in events[first:]), "the common controls come after")


if __name__ == "__main__":
    h.main()
