#!/usr/bin/env python3
"""make dist: packs the built Windows program into a release zip with its guides and checksums.

    dist.py BUILD_DIR OUT_DIR

Writes OUT_DIR/Germcatcher-<version>-windows-x64.zip (Germcatcher.exe, README-en.txt,
README-ja.txt, LICENSE.txt, THIRD-PARTY-NOTICES.txt), OUT_DIR/Germcatcher-<version>-windows-x64
.buildinfo (the source commit, SOURCE_DATE_EPOCH, the versions of the Debian packages whose output
reaches the bytes, and the sums) and OUT_DIR/SHA256SUMS. The version is the CMake project's, read
from the build folder's cache. The third-party notices come from the program's linker map (see
notices.py). The zip is the same byte for byte whenever and wherever it is made: fixed entry
order, attributes and times, the time being SOURCE_DATE_EPOCH or else the last commit's.

Signing (optional): SIGN_PFX names a PKCS#12 file and SIGN_PASSWORD_FILE a file holding its
password; osslsigncode signs a copy of the program before it is packed, reading the password
from that file, so it appears on no command line and in no output. SIGN_TIMESTAMP_URL adds an
RFC 3161 time stamp from that server.
"""

import datetime
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tools"))
import notices  # noqa: E402

EXE = "Germcatcher.exe"
GUIDES = ("README-en.txt", "README-ja.txt")
# The Debian packages whose output reaches the release's bytes: the cross compiler and its
# runtime, the binutils, the Windows headers and runtime, the build and packing tools (zlib
# decides the zip's compressed bytes), and the icon's renderers. osslsigncode is added when the release is signed.
BUILD_PACKAGES = (
    "g++-mingw-w64-x86-64-posix", "gcc-mingw-w64-x86-64-posix",
    "gcc-mingw-w64-x86-64-posix-runtime", "binutils-mingw-w64-x86-64", "mingw-w64-x86-64-dev",
    "mingw-w64-common", "cmake", "python3", "zlib1g", "librsvg2-bin", "pngquant", "icoutils",
)

SIGNATURE_TEXT = {
    "README-en.txt": {
        False: "This copy is not signed: it carries no digital signature, so Windows shows\n"
        "its publisher as \"Unknown Publisher\". Check it as below.",
        True: "This copy is signed (Authenticode). Right-click Germcatcher.exe, choose\n"
        "Properties and open the Digital Signatures tab to see who signed it.",
    },
    "README-ja.txt": {
        False: "このコピーには電子署名がないため、発行元は「不明な発行元」と表示されます。\n"
        "下の方法でダウンロードを確かめてください。",
        True: "このコピーには電子署名（Authenticode）があります。Germcatcher.exe を\n"
        "右クリックして［プロパティ］を選び、［デジタル署名］タブで署名者を確認\n"
        "できます。",
    },
}


def fail(message):
    sys.exit(f"dist: {message}")


def project_version(build):
    cache = build / "CMakeCache.txt"
    if not cache.exists():
        fail(f"{cache} is missing: configure and build the windows preset first")
    m = re.search(r"^CMAKE_PROJECT_VERSION:\w+=(\S+)$", cache.read_text(), re.M)
    if not m:
        fail(f"no project version in {cache}")
    return m.group(1)


def source_time():
    """Seconds since 1970 that every entry of the zip carries."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    r = subprocess.run(["git", "-C", str(ROOT), "log", "-1", "--format=%ct"],
                       capture_output=True, text=True, check=False)
    if r.returncode != 0 or not r.stdout.strip():
        fail("no commit to take the time from: set SOURCE_DATE_EPOCH")
    return int(r.stdout)


def notepad_text(text):
    """Text as Notepad on any Windows reads it: UTF-8 with a byte order mark, CR LF."""
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def licence_entries(third_party):
    """The licence and the third-party notices, as every zip we hand out carries them."""
    return [
        ("LICENSE.txt", notepad_text((ROOT / "LICENSE").read_text(encoding="utf-8"))),
        ("THIRD-PARTY-NOTICES.txt", notepad_text(third_party)),
    ]


def guide(name, version, zip_name, signed):
    text = (ROOT / "packaging" / f"{name}.in").read_text(encoding="utf-8")
    # The four numbers Properties shows for the file: the version, padded with zeros.
    file_version = ".".join((version.split(".") + ["0"] * 4)[:4])
    text = (text.replace("@VERSION@", version).replace("@FILEVERSION@", file_version)
            .replace("@ZIP@", zip_name)
            .replace("@SIGNATURE@", SIGNATURE_TEXT[name][signed]))
    if re.search(r"@[A-Z]+@", text):
        fail(f"{name}: a placeholder was left unfilled")
    return notepad_text(text)


def source_commit():
    r = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "HEAD"], capture_output=True,
                       text=True, check=False)
    if r.returncode != 0:
        return "unknown (not a git checkout)"
    dirty = subprocess.run(["git", "-C", str(ROOT), "status", "--porcelain"],
                           capture_output=True, text=True, check=False).stdout.strip()
    return r.stdout.strip() + (" (with uncommitted changes)" if dirty else "")


def debian_release():
    """The release the packages below belong to, e.g. 'Debian 13 (trixie)'."""
    fields = dict(line.split("=", 1) for line in
                  Path("/etc/os-release").read_text().splitlines() if "=" in line)
    get = lambda key: fields.get(key, "").strip('"')  # noqa: E731
    return f"Debian {get('VERSION_ID') or 'unknown'} ({get('VERSION_CODENAME') or 'unknown'})"


def buildinfo(version, when, signed, files):
    """A short record of what to rebuild from and with, in a format of our own that borrows the
    field names of Debian's .buildinfo. It names nothing of the machine that wrote it (no path,
    no host name), so two machines with the same packages write the same record."""
    packages = BUILD_PACKAGES + (("osslsigncode",) if signed else ())
    lines = [
        "Format: Germcatcher build record 1",
        "Source: Germcatcher",
        f"Version: {version}",
        f"Source-Commit: {source_commit()}",
        f"Source-Date-Epoch: {when}",
        "Build-Origin: Debian",
        f"Build-Release: {debian_release()}",
        "Build-Architecture: amd64",
        "Host-Architecture: windows-x64",
        f"Signed: {'yes' if signed else 'no'}",
        "Installed-Build-Depends:",
    ]
    lines += [f" {p} (= {notices.version_of(p)})" + ("," if i < len(packages) - 1 else "")
              for i, p in enumerate(packages)]
    lines.append("Checksums-Sha256:")
    lines += [f" {hashlib.sha256(data).hexdigest()} {len(data)} {name}" for name, data in files]
    return "\n".join(lines) + "\n"


def sign(exe, work):
    """Signs exe in place with osslsigncode; returns False when no certificate was given."""
    pfx = os.environ.get("SIGN_PFX")
    if not pfx:
        return False
    password = os.environ.get("SIGN_PASSWORD_FILE")
    if not password:
        fail("SIGN_PFX needs SIGN_PASSWORD_FILE, a file holding the certificate's password")
    for path in (pfx, password):
        if not Path(path).is_file():
            fail(f"{path}: no such file")
    signed = work / "signed.exe"
    args = ["osslsigncode", "sign", "-pkcs12", pfx, "-readpass", password, "-h", "sha256",
            "-n", "Germcatcher"]
    if os.environ.get("SIGN_TIMESTAMP_URL"):
        args += ["-ts", os.environ["SIGN_TIMESTAMP_URL"]]
    args += ["-in", str(exe), "-out", str(signed)]
    r = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if r.returncode != 0:
        # osslsigncode's own messages name files and errors, never the password.
        fail("signing failed:\n" + (r.stdout + r.stderr).strip())
    os.replace(signed, exe)
    return True


def write_zip(path, entries, when):
    """Entries in the given order, with the same time, attributes and compression every time."""
    stamp = datetime.datetime.fromtimestamp(max(when, 315532800), datetime.timezone.utc)
    with zipfile.ZipFile(path, "w") as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp.timetuple()[:6])
            info.create_system = 0  # MS-DOS attributes: what a Windows user's tools expect
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)


def main(build, out):
    build, out = Path(build), Path(out)
    version = project_version(build)
    exe = build / EXE
    if not exe.exists():
        fail(f"{exe} is missing: build the windows preset first")
    zip_name = f"Germcatcher-{version}-windows-x64.zip"
    when = source_time()
    # A failed run leaves no earlier release behind to be taken for its result.
    out.mkdir(parents=True, exist_ok=True)
    for old in [*out.glob("Germcatcher-*-windows-x64.zip"),
                *out.glob("Germcatcher-*-windows-x64.buildinfo"), out / "SHA256SUMS"]:
        old.unlink(missing_ok=True)
    link_map = build / "Germcatcher.map"
    if not link_map.exists():
        fail(f"{link_map} is missing: the linker writes it with the program; build again")
    third_party, components = notices.notices(
        [(EXE, link_map.read_text(encoding="utf-8", errors="replace"))], version)

    with tempfile.TemporaryDirectory(prefix="germ-dist-") as tmp:
        work = Path(tmp)
        program = work / EXE
        shutil.copyfile(exe, program)
        signed = sign(program, work)
        check = subprocess.run([sys.executable, str(ROOT / "tests" / "binary" / "check_pe.py"),
                                str(program)], capture_output=True, text=True)
        if check.returncode != 0:
            fail("the program fails its hardening check:\n" + check.stdout)
        data = program.read_bytes()

    entries = ([(EXE, data)] + [(g, guide(g, version, zip_name, signed)) for g in GUIDES] +
               licence_entries(third_party))
    write_zip(out / zip_name, entries, when)
    zip_data = (out / zip_name).read_bytes()
    info_name = zip_name[: -len(".zip")] + ".buildinfo"
    info = buildinfo(version, when, signed, [(EXE, data), (zip_name, zip_data)]).encode()
    (out / info_name).write_bytes(info)
    # CR LF, so that any Notepad shows three lines; sha256sum -c reads it as well.
    sums = "".join(f"{hashlib.sha256(b).hexdigest()}  {n}\r\n"
                   for n, b in ((zip_name, zip_data), (EXE, data), (info_name, info)))
    (out / "SHA256SUMS").write_bytes(sums.encode("ascii"))

    print(f"dist: {out / zip_name} ({(out / zip_name).stat().st_size / 1024:.1f} KiB), "
          f"version {version}, entries dated "
          f"{datetime.datetime.fromtimestamp(when, datetime.timezone.utc):%Y-%m-%d %H:%M:%S} UTC")
    print("dist: third-party notices for " + "; ".join(components.values()))
    print(f"dist: {out / info_name}")
    if signed:
        print("dist: Germcatcher.exe is signed")
    else:
        print("dist: UNSIGNED release (set SIGN_PFX and SIGN_PASSWORD_FILE to sign)")
    print(f"dist: {out / 'SHA256SUMS'}:")
    print(sums.replace("\r\n", "\n"), end="")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: dist.py BUILD_DIR OUT_DIR")
    sys.exit(main(sys.argv[1], sys.argv[2]))
