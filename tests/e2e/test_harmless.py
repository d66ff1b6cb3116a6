"""What the program leaves alone: it lets no DLL in from the folder it runs from; a run changes
nothing in the Wine prefix or the home folder beyond what a program that only shows a message box
changes, and leaves nothing beside the program but its log; no process of a run opens an internet
socket; and on a full volume the log keeps its old bytes."""

import errno
import os
import re
import shutil
import struct
import subprocess
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
INTERNET = re.compile(rb"\b[AP]F_(INET6?|PACKET)\b")
NET_CALLS = "socket,connect,bind,sendto,sendmsg"
REG_VALUE = re.compile(r'("(?:[^"\\]|\\.)*"|@)=(.*)')


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


def quiet(*args, timeout=120):
    subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=timeout, check=False)


def stop_wine():
    """Ends every program of the prefix and the server, which writes the registry to its files."""
    quiet("wineserver", "-k")
    quiet("wineserver", "-w")


def start_wine(server_trace=None):
    """The server and Wine's own helper processes (the desktop among them) as tools/wine-env.sh
    leaves them, so none of them is started by a run under test. With server_trace, the server
    runs under strace: it is the server that opens a program's sockets, not the program's own
    process. Returns the tracer, which ends with the server."""
    tracer = None
    if server_trace is None:
        quiet("wineserver", "-p")
    else:
        tracer = subprocess.Popen(
            ["strace", "-f", "--seccomp-bpf", "-e", "trace=listen," + NET_CALLS, "-o",
             str(server_trace), "wineserver", "-f", "-p"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        h.wait_for(lambda: server_trace.exists() and b"listen(" in server_trace.read_bytes(), 60,
                   "the traced server to take connections")
    quiet("wine", "cmd", "/c", "exit")
    quiet("wine", str(h.PROBE), "list")
    return tracer


def read_registry(path):
    """{key: {value name: data}} of a registry file as Wine writes it, without its time stamps."""
    keys, values, pending = {}, None, ""
    for line in path.read_text("utf-8", "replace").splitlines():
        if pending or line.endswith("\\"):  # data continued on the next line
            pending += line.strip()
            if pending.endswith("\\"):
                pending = pending[:-1]
                continue
            line, pending = pending, ""
        if line.startswith("["):
            values = keys.setdefault(line[: line.rindex("]") + 1], {})
        elif values is not None and (m := REG_VALUE.match(line)):
            values[m.group(1)] = m.group(2)
    return keys


def snapshot(prefix, home):
    """Every file, folder and link under the prefix's drive_c and under home, with size and time
    of last change; every key and value of the prefix's registry."""
    state = {}
    for top in (prefix / "drive_c", home):
        for folder, dirs, files in os.walk(top):
            for name in dirs + files:
                p = Path(folder, name)
                st = p.lstat()
                state[("file", str(p))] = (st.st_mode, st.st_size, st.st_mtime_ns,
                                           os.readlink(p) if p.is_symlink() else None)
    for reg in ("system.reg", "user.reg", "userdef.reg"):
        for key, values in read_registry(prefix / reg).items():
            state[("key", reg, key)] = None
            for name, data in values.items():
                state[("value", reg, key, name)] = data
    return state


def changes(before, after):
    return {k for k in before.keys() | after.keys() if before.get(k, ()) != after.get(k, ())}


# Budget: the runs either play their show to its end, answering the boxes it brings, or end it
# through show_then_end (about 1 s of its show).
class Harmless(h.GermTestCase):
    def run_to_end(self, prog, answer):
        """Answers the question and every box of the finale; returns the exit code."""
        self.answer_question(prog, answer, real_click=False)
        for text in h.FINALE[answer]:
            self.press(prog, text)
        return prog.wait_exit()

    def full_volume(self):
        """A small volume of its own, filled up: no file on it can grow by a single byte."""
        if os.geteuid() != 0:
            self.skipTest("mounting a volume needs root (the CI runs as root)")
        mount = Path(tempfile.mkdtemp(prefix="germ-full-"))
        self.addCleanup(os.rmdir, mount)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1M", "tmpfs", str(mount)], check=True)
        # Wine lets go of a program's folder a moment after the program has ended (later still
        # on a busy machine): the volume is unmounted once nothing holds it.
        self.addCleanup(h.wait_for, lambda: subprocess.run(
            ["umount", str(mount)], stderr=subprocess.DEVNULL).returncode == 0, 30,
            "the full volume to be let go of")
        return mount

    def fill(self, mount):
        fd = os.open(mount / "filler", os.O_WRONLY | os.O_CREAT)
        try:
            while True:
                os.write(fd, b"\0" * 4096)
        except OSError as e:
            self.assertEqual(e.errno, errno.ENOSPC)
        finally:
            os.close(fd)

    def test_runs_change_nothing_but_the_log_and_open_no_internet_socket(self):
        prefix = Path(os.environ["WINEPREFIX"])
        work = Path(tempfile.mkdtemp(prefix="germ-harmless-"))
        self.addCleanup(shutil.rmtree, work, True)
        home = work / "home"
        home.mkdir()
        # A program that only shows the question box, built like the program (bench/baseline).
        reference = Path(shutil.copy(h.BUILD / "baseline.exe", work))

        def settled_snapshot():
            stop_wine()
            state = snapshot(prefix, home)
            start_wine()
            return state

        # A home of its own, so nothing else on the machine writes there meanwhile; the
        # environment gets its own back at the end.
        self.addCleanup(start_wine)
        self.addCleanup(stop_wine)
        self.addCleanup(os.environ.__setitem__, "HOME", os.environ["HOME"])
        os.environ["HOME"] = str(home)
        settled_snapshot()

        s0 = settled_snapshot()
        prog = self.launch(reference)
        prog.answer(prog.wait_box(h.QUESTION, timeout=60), h.IDNO)
        self.assertEqual(prog.wait_exit(), 0)
        stop_wine()
        s1 = snapshot(prefix, home)
        traces = [work / "strace-server.txt"]
        server = start_wine(traces[0])
        self.addCleanup(lambda: server.poll() is None and (server.kill(), server.wait()))

        sb = self.sandbox()
        for answer, run in ((h.IDYES, self.run_to_end), (h.IDNO, self.run_to_end),
                            (h.IDNO, lambda prog, answer: r.show_then_end(self, prog, answer))):
            traces.append(work / f"strace-{len(traces)}.txt")
            tracer = ["strace", "-f", "--seccomp-bpf", "-s", "256", "-e",
                      "trace=execve," + NET_CALLS, "-o", str(traces[-1])]
            prog = self.start(sb=sb, wrapper=tracer)
            self.assertEqual(run(prog, answer), 0)
        s2 = settled_snapshot()
        server.wait(60)

        self.assert_only_exe_and_log(sb)
        self.assertEqual([k for k, _ in h.parse_log(sb.log_bytes())],
                         ["start", "yes", "start", "no", "start", "no"])
        self.assertEqual(sorted(changes(s1, s2) - changes(s0, s1)), [],
                         "changes beyond those of a program that only shows a box")
        for trace in traces:
            data = trace.read_bytes()
            if trace != traces[0]:
                self.assertIn(b'Germcatcher.exe"], ', data, "the program's process is traced")
            self.assertEqual([line for line in data.splitlines() if INTERNET.search(line)], [],
                             f"internet sockets in {trace.name}")

    def test_full_volume_show_runs_to_its_end_and_log_keeps_its_bytes(self):
        sb = h.Sandbox(folder=self.full_volume())  # gone with the volume
        # A whole number of 4 KiB pages: the file cannot grow without one more page.
        old = ("以前の記録です。\r\n".encode("cp932") * 1024)[:8192]
        sb.log.write_bytes(old)
        self.fill(sb.dir)
        with self.assertRaises(OSError, msg="the log cannot grow"):
            with open(sb.log, "ab", buffering=0) as f:
                f.write(b"x")

        self.assertEqual(self.run_to_end(self.start(sb=sb), h.IDYES), 0)
        self.assertEqual(sb.log.read_bytes(), old)
        self.assert_only_exe_and_log(sb, "filler")

    def test_dll_search_is_restricted_before_any_load(self):
        # Every DLL the program itself loads, the common controls included, may be searched for
        # only after the search has been restricted to the system folder.
        sb = self.sandbox()
        trace = sb.dir / "relay.txt"
        env = dict(os.environ, WINEDEBUG="+pid,+relay,+loaddll")
        with open(trace, "wb") as f:
            prog = self.start(sb=sb, env=env, stderr=f)
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
