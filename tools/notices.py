#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for programs from their links: the linker map names every
archive member and object file that went into each executable; each one that is not the
project's own is traced to the Debian package it came from, and the notice its licence asks
to be reproduced is taken from that package's copyright file.

    notices.py OUT [--version V] [--title T] PROGRAM=MAP...

Fails, naming the file, when a file that contributed code has no mapping to a component, no
package, or no notice; when a licence a stanza names has no text; when a component's licences
are fewer than recorded; and when a member holding third-party code of other licences is
linked. Archive members that are only calls into Windows' own DLLs carry no notice.
"""

import functools
import os
import re
import subprocess
import sys
import textwrap
from pathlib import Path

# The project's own code, named explicitly: its layer libraries at the top of the build folder,
# the objects of its own programs, and the link-time optimiser's partitions of that code.
OWN_LIBRARIES = {"libgerm_app.a", "libgerm_ui.a", "libgerm_show.a", "libgerm_log.a",
                 "libgerm_forms.a", "libgerm_platform.a"}
OWN_TARGETS = ("Germcatcher", "probe", "germ_win32_tests")
# (The partitions lie in the temporary folder, /tmp unless TMPDIR says otherwise.)
LTO_PARTITION = re.compile(r"/cc\w+\.ltrans\d+\.ltrans\.o$")

# The package of mingw-w64's import libraries for Windows' own DLLs.
WINDOWS_IMPORTS_PACKAGE = "mingw-w64-x86-64-dev"

# Members of toolchain archives that hold third-party code under licences of their own, which
# the notices below do not carry (GCC 12: fast_float and Ryu inside libstdc++).
FOREIGN_MEMBERS = {
    "libstdc++.a": {"floating_from_chars.o": "fast_float", "floating_to_chars.o": "Ryu"},
}


def mingw_crt(files):
    # The profiling runtime (profile/: gcrt0.o, libgmon.a) is linked only with -pg; its files are
    # no component below, so a link that pulls it in stops.
    return any(f == "*" or (f.startswith("mingw-w64-crt/")
                            and not f.startswith("mingw-w64-crt/profile/")) for f in files)


def winpthreads(files):
    return any(f.startswith("mingw-w64-libraries/winpthreads/") and "/tests_pthread/" not in f
               for f in files)


def everything(files):
    return "*" in files


# Each component: its name, the files that belong to it, how its notice is found in the
# package's copyright file (the stanzas of a machine-readable file that apply to the linked
# code, or the passages of a free-form one), and the licences recorded for it: fewer after a
# toolchain update means a notice went missing.
COMPONENTS = {
    "mingw-w64-crt": {
        "name": "mingw-w64 runtime (start-up code and C runtime support)",
        # Windows' import libraries also hold a few compiled helpers of this runtime.
        "files": {"crt2.o", "crt2u.o", "crt1.o", "crt1u.o", "libmingw32.a", "libmingwex.a",
                  "libmoldname.a", "libmsvcrt.a", "libadvapi32.a", "libcomctl32.a",
                  "libcomdlg32.a", "libgdi32.a", "libkernel32.a", "libole32.a",
                  "liboleaut32.a", "libshell32.a", "libuser32.a", "libuuid.a", "libwinspool.a"},
        "stanzas": mingw_crt,
        "licences": {"ZPL-2.1", "public-domain", "Lucent", "David-Gay", "Permissive-Sun",
                     "Keith-Marshall", "BSD-2-clause-NetBSD", "ISC", "BSD-3-clause"},
    },
    "winpthreads": {
        "name": "winpthreads (POSIX threads for Windows, of mingw-w64)",
        "files": {"libpthread.a", "libwinpthread.a"},
        "stanzas": winpthreads,
        "licences": {"expat", "BSD-3-clause-Lockless", "public-domain", "BSD-3-clause"},
    },
    "gcc-runtime": {
        "name": "GCC runtime libraries (libgcc, libstdc++)",
        "files": {"crtbegin.o", "crtend.o", "libgcc.a", "libgcc_eh.a", "libstdc++.a",
                  "libsupc++.a"},
        "license": "GPL-3.0-or-later WITH GCC-exception-3.1",
        "note": "The GCC Runtime Library Exception asks for no notice in copies of a program "
                "compiled with GCC; it is reproduced here as a courtesy.",
        "passages": [
            ("The following runtime libraries are licensed", "The libbacktrace library"),
            ("GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/"),
        ],
        "licences": {"GPL-3.0-or-later WITH GCC-exception-3.1"},
    },
    "googletest": {
        "name": "GoogleTest (Google C++ Testing Framework)",
        "files": {"libgtest.a", "libgtest_main.a"},
        # Built in the build folder from the sources this package installs.
        "package": "googletest",
        "stanzas": everything,
        "licences": {"BSD-C3"},
    },
}


def fail(message):
    sys.exit(f"notices: {message}")


def linked_files(map_text):
    """Every input that gave the link code: each archive with the members pulled from it, and
    each object file loaded whole (members None)."""
    files = {}
    section = map_text.split("Archive member included to satisfy reference by file (symbol)", 1)
    if len(section) == 2:
        body = re.split(r"^(?:Discarded input sections|Allocating common symbols|Memory "
                        r"Configuration)", section[1], maxsplit=1, flags=re.M)[0]
        for archive, member in re.findall(r"^(\S+?\.a)\(([^)\s]+)\)", body, re.M):
            files.setdefault(archive, set()).add(member)
    for obj in re.findall(r"^LOAD (\S+\.o(?:bj)?)$", map_text, re.M):
        files.setdefault(obj, None)
    return files


def is_own(path):
    if os.path.isabs(path):
        return bool(LTO_PARTITION.search(path))
    path = os.path.normpath(path)
    return path in OWN_LIBRARIES or any(path.startswith(f"CMakeFiles/{t}.dir/")
                                        for t in OWN_TARGETS)


@functools.cache
def member_sections(archive):
    """{member: {section: size}} of an archive, from the cross binutils."""
    # objdump's own words are translated: read them in the C locale.
    r = subprocess.run(["x86_64-w64-mingw32-objdump", "-h", archive], capture_output=True,
                       text=True, env=dict(os.environ, LC_ALL="C"))
    if r.returncode != 0:
        fail(f"{archive} gave code, but objdump cannot read it:\n{r.stderr.strip()}")
    found, member = {}, None
    for line in r.stdout.splitlines():
        m = re.match(r"^(\S+):\s+file format ", line)
        if m:
            member = found.setdefault(m.group(1), {})
            continue
        m = re.match(r"^\s*\d+\s+(\S+)\s+([0-9a-f]+)\s", line)
        if m and member is not None:
            member[m.group(1)] = int(m.group(2), 16)
    return found


def is_import_stub(sections):
    """A member that only calls into a DLL: import tables, and at most a jump to the import."""
    return any(s.startswith(".idata$") for s in sections) and all(
        s.startswith(".idata$") or size == 0 or (s == ".text" and size <= 8)
        for s, size in sections.items())


def code_members(path, members):
    """The members of an archive that are code or data of their own (not import stubs); None
    for an object file, which is code."""
    if members is None:
        return None
    sections = member_sections(path) if os.path.exists(path) else {}
    return {m for m in members if m not in sections or not is_import_stub(sections[m])}


@functools.cache
def package_of(path):
    path = os.path.realpath(path)
    r = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True)
    if r.returncode != 0 or ":" not in r.stdout:
        fail(f"{path} contributed code, but no Debian package installed it")
    return r.stdout.split(":", 1)[0].strip()


def version_of(package):
    r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True,
                       text=True)
    if r.returncode != 0 or not r.stdout:
        fail(f"no version of the package {package}")
    return r.stdout


def copyright_text(package):
    path = Path("/usr/share/doc") / package / "copyright"
    if not path.is_file():
        fail(f"{package} has no copyright file at {path}")
    return path.read_text(encoding="utf-8")


def paragraphs(text):
    """The paragraphs of a machine-readable copyright file as (fields, raw text)."""
    out = []
    for raw in re.split(r"\n\s*\n(?=\S)", text.strip()):
        fields, key = {}, None
        for line in raw.splitlines():
            if line[:1] in (" ", "\t") and key:
                fields[key] += "\n" + line
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        out.append((fields, raw.strip()))
    return out


def licence_names(expression):
    """The licences of a stanza's expression: "A and B", "A or B" name two."""
    return [n for n in re.split(r"\s+(?:and|or)\s+", expression.strip()) if n]


def stanza_notice(text, select, package):
    """The stanzas whose files the selector takes, each followed by the text of every licence
    it names only, each text once. Returns (licence names, notice)."""
    paras = paragraphs(text)
    licences = {f["License"].split("\n", 1)[0].strip(): raw for f, raw in paras
                if "License" in f and "Files" not in f and "\n" in f["License"]}
    names, parts = [], []
    for fields, raw in paras:
        if "Files" not in fields or not select(fields["Files"].split()):
            continue
        licence = fields.get("License", "")
        expression = licence.split("\n", 1)[0].strip()
        parts.append(raw)
        for name in licence_names(expression):
            if name not in names:
                names.append(name)
            if "\n" in licence and expression == name:
                continue  # the stanza carries its licence's text itself
            if name not in licences:
                fail(f"the copyright file of {package} names the licence {name!r} for "
                     f"{fields['Files'].split()[0]} but holds no text of it")
            if licences[name] not in parts:
                parts.append(licences[name])
    return names, "\n\n".join(parts)


def passage_notice(text, passages, package):
    parts = []
    for start, end in passages:
        a = text.find(start)
        b = text.find(end, a + 1)
        if a < 0 or b < 0:
            fail(f"the copyright file of {package} lacks the passage {start!r}")
        parts.append(text[a:b].strip())
    return "\n\n".join(parts)


def component_of(path):
    name = os.path.basename(path)
    for key, component in COMPONENTS.items():
        if name in component["files"]:
            return key
    fail(f"{path} contributed code, but no component or notice is known for it")


def components_of(maps):
    """{component: {file: [programs]}} for the code the maps show linked, and the archives that
    only gave calls into Windows' DLLs."""
    found, imports = {}, set()
    for program, map_text in maps:
        for path, members in linked_files(map_text).items():
            if is_own(path):
                continue
            code = code_members(path, members)
            name = os.path.basename(path)
            if code is not None and not code and package_of(path) == WINDOWS_IMPORTS_PACKAGE:
                imports.add(name)
                continue
            for member, third_party in FOREIGN_MEMBERS.get(name, {}).items():
                if member in (code or ()):
                    fail(f"{path}({member}) holds {third_party} code under a licence of its "
                         f"own, which these notices do not carry")
            shown = os.path.realpath(path) if os.path.isabs(path) else os.path.normpath(path)
            found.setdefault(component_of(shown), {}).setdefault(shown, []).append(program)
    return found, imports


def notices(maps, version, title=None):
    """The notices for the programs of maps, a list of (program name, map text)."""
    found, imports = components_of(maps)
    programs = [p for p, _ in maps]
    listed = (programs[0] if len(programs) == 1 else
              ", ".join(programs[:-1]) + " and " + programs[-1])
    out = [title or f"Third-party notices for Germcatcher {version}", ""] + textwrap.wrap(
        f"Germcatcher is under the MIT License (LICENSE.txt). {listed} also "
        f"{'holds' if len(programs) == 1 else 'hold'} code of the components below, linked in "
        "statically by the mingw-w64 cross compiler of Debian. Whoever passes on a copy of "
        f"{'it' if len(programs) == 1 else 'them'} passes on this file with it. For each "
        "component: the Debian package it came from, its licences, and the copyright notices "
        "and licence texts those licences ask a binary copy to carry, from that package's "
        "copyright file." + (" The members taken from Windows' import libraries (" +
                             ", ".join(sorted(imports)) + ") only call functions of Windows' "
                             "own DLLs and carry no notice." if imports else ""), 78)
    for key in (k for k in COMPONENTS if k in found):
        component, files = COMPONENTS[key], found[key]
        packages = sorted({component.get("package") or package_of(p) for p in files})
        parts, licences = [], []
        for package in packages:
            text = copyright_text(package)
            if "stanzas" in component:
                names, notice = stanza_notice(text, component["stanzas"], package)
            else:
                names = [component["license"]]
                notice = passage_notice(text, component["passages"], package)
            licences += [n for n in names if n not in licences]
            if not notice:
                fail(f"no notice for {key} in the copyright file of {package}")
            if notice not in parts:  # packages may share one copyright file
                parts.append(notice)
        missing = component["licences"] - set(licences)
        if missing:
            fail(f"the notice of {key} lacks the licences {', '.join(sorted(missing))} it had: "
                 "check the copyright files of " + ", ".join(packages))
        new = set(licences) - component["licences"]
        if new:
            print(f"notices: {key} now also names {', '.join(sorted(new))}", file=sys.stderr)
        out += [
            "", "=" * 78, component["name"],
            "Package: " + ", ".join(f"{p} {version_of(p)}" for p in packages),
            "Linked from: " + ", ".join(sorted({os.path.basename(p) for p in files})),
        ] + (["In: " + ", ".join(p for p in programs
                                 if any(p in progs for progs in files.values()))]
             if len(programs) > 1 else []) + [
        ] + textwrap.wrap("License: " + "; ".join(licences), 78, subsequent_indent="  ",
                          break_on_hyphens=False) + textwrap.wrap(component.get("note", ""), 78) + ["-" * 78, ""] + parts
    return "\n".join(out) + "\n", {k: COMPONENTS[k]["name"] for k in found}


def main(argv):
    args = argv[1:]
    options = {"--version": "?", "--title": None}
    for option in options:
        if option in args:
            i = args.index(option)
            options[option] = args[i + 1]
            del args[i:i + 2]
    if len(args) < 2 or any("=" not in a for a in args[1:]):
        sys.exit("usage: notices.py OUT [--version V] [--title T] PROGRAM=MAP...")
    maps = [(a.split("=", 1)[0], Path(a.split("=", 1)[1]).read_text(encoding="utf-8",
                                                                     errors="replace"))
            for a in args[1:]]
    text, components = notices(maps, options["--version"], options["--title"])
    Path(args[0]).write_text(text, encoding="utf-8")
    for name in components.values():
        print(f"notices: {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
