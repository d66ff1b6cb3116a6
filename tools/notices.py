#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for the program from its link: the linker map names every
archive member and object file that went into the executable; each one that is not the
program's own is traced to the Debian package that installed it, and the notice its licence
asks to be reproduced is taken from that package's copyright file.

    notices.py MAP OUT [--version V]

Fails, naming the file, when a file that contributed code has no mapping to a component, no
package, or no notice. Windows' own import libraries carry no notice and are listed below.
"""

import os
import re
import subprocess
import sys
import textwrap
from pathlib import Path

# Windows' import libraries: they only name functions of Windows' own DLLs, so no code of
# theirs beyond a call stub reaches the program, and they carry no notice.
WINDOWS_IMPORT_LIBRARIES = {
    "libadvapi32.a", "libcomctl32.a", "libcomdlg32.a", "libgdi32.a", "libkernel32.a",
    "libole32.a", "liboleaut32.a", "libshell32.a", "libuser32.a", "libuuid.a", "libwinspool.a",
}


def mingw_crt(files):
    return any(f == "*" or f.startswith("mingw-w64-crt/") for f in files)


def winpthreads(files):
    return any(f.startswith("mingw-w64-libraries/winpthreads/") and "/tests_pthread/" not in f
               for f in files)


# Each component: its name, the files of the toolchain that belong to it, and how its notice is
# found in the package's copyright file (the stanzas of a machine-readable file that apply to
# the linked code, or the passages of a free-form one).
COMPONENTS = {
    "mingw-w64-crt": {
        "name": "mingw-w64 runtime (start-up code and C runtime support)",
        "files": {"crt2.o", "crt2u.o", "crt1.o", "crt1u.o", "libmingw32.a", "libmingwex.a",
                  "libmoldname.a", "libmsvcrt.a"},
        "stanzas": mingw_crt,
    },
    "winpthreads": {
        "name": "winpthreads (POSIX threads for Windows, of mingw-w64)",
        "files": {"libpthread.a", "libwinpthread.a"},
        "stanzas": winpthreads,
    },
    "gcc-runtime": {
        "name": "GCC runtime libraries (libgcc, libstdc++)",
        "files": {"crtbegin.o", "crtend.o", "libgcc.a", "libgcc_eh.a", "libstdc++.a",
                  "libsupc++.a"},
        "license": "GPL-3.0-or-later WITH GCC-exception-3.1",
        "passages": [
            ("The following runtime libraries are licensed", "The libbacktrace library"),
            ("GCC RUNTIME LIBRARY EXCEPTION", "libquadmath/"),
        ],
    },
}


def fail(message):
    sys.exit(f"notices: {message}")


def linked_files(map_text):
    """Every file outside the build that gave the link code: the archives whose members were
    pulled in, and the object files loaded directly."""
    files = set()
    section = map_text.split("Archive member included to satisfy reference by file (symbol)", 1)
    if len(section) == 2:
        body = re.split(r"^(?:Discarded input sections|Allocating common symbols|Memory "
                        r"Configuration)", section[1], maxsplit=1, flags=re.M)[0]
        files |= set(re.findall(r"^(\S+\.a)\(", body, re.M))
    files |= set(re.findall(r"^LOAD (\S+\.o)$", map_text, re.M))
    # The link-time optimiser's partitions of the program's own code, in a temporary folder.
    own = re.compile(r"\.ltrans\d*\.ltrans\.o$")
    return sorted({os.path.realpath(f) for f in files if os.path.isabs(f) and not own.search(f)})


def package_of(path):
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


def stanza_notice(text, select):
    """The stanzas whose files the selector takes, each followed by the text of its licence
    where the stanza only names it. Returns (licence names, notice)."""
    paras = paragraphs(text)
    licences = {f["License"].split("\n", 1)[0].strip(): raw for f, raw in paras
                if "License" in f and "Files" not in f and "\n" in f["License"]}
    names, parts = [], []
    for fields, raw in paras:
        if "Files" not in fields or not select(fields["Files"].split()):
            continue
        name = fields.get("License", "").split("\n", 1)[0].strip()
        names.append(name)
        parts.append(raw)
        if "\n" not in fields.get("License", "") and name in licences:
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
    if name in WINDOWS_IMPORT_LIBRARIES:
        return None
    for key, component in COMPONENTS.items():
        if name in component["files"]:
            return key
    fail(f"{path} contributed code, but no component or notice is known for it")


def notices(map_text, version):
    found = {}
    for path in linked_files(map_text):
        key = component_of(path)
        if key:
            found.setdefault(key, []).append(path)

    out = [f"Third-party notices for Germcatcher {version}", ""] + textwrap.wrap(
        "Germcatcher is under the MIT License (LICENSE.txt). Germcatcher.exe also holds code of "
        "the components below, linked into it by the mingw-w64 cross compiler of Debian. For "
        "each: the Debian package it came from, its licence, and the copyright notices and "
        "licence texts that licence asks a binary copy to carry, from that package's copyright "
        "file. Windows' own import libraries (" + ", ".join(sorted(WINDOWS_IMPORT_LIBRARIES)) +
        ") only name functions of Windows and carry no notice.", 78)
    for key, paths in found.items():
        component = COMPONENTS[key]
        packages = sorted({package_of(p) for p in paths})
        parts, licences = [], []
        for package in packages:
            text = copyright_text(package)
            if "stanzas" in component:
                names, notice = stanza_notice(text, component["stanzas"])
                for n in names:
                    if n not in licences:
                        licences.append(n)
            else:
                notice = passage_notice(text, component["passages"], package)
                if component["license"] not in licences:
                    licences.append(component["license"])
            if not notice:
                fail(f"no notice for {key} in the copyright file of {package}")
            if notice not in parts:  # packages may share one copyright file
                parts.append(notice)
        out += [
            "", "=" * 78, component["name"],
            "Package: " + ", ".join(f"{p} {version_of(p)}" for p in packages),
            "Linked from: " + ", ".join(sorted({os.path.basename(p) for p in paths})),
            "License: " + "; ".join(licences),
            "-" * 78, "",
        ] + parts
    return "\n".join(out) + "\n", {k: COMPONENTS[k]["name"] for k in found}


def main(argv):
    args = argv[1:]
    version = "?"
    if "--version" in args:
        i = args.index("--version")
        version = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2:
        sys.exit("usage: notices.py MAP OUT [--version V]")
    text, components = notices(Path(args[0]).read_text(encoding="utf-8", errors="replace"),
                               version)
    Path(args[1]).write_text(text, encoding="utf-8")
    for name in components.values():
        print(f"notices: {name}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
