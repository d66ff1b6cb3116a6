#!/usr/bin/env python3
"""make dist: packs the built Windows program into a release zip with its guides and checksums.

    dist.py BUILD_DIR OUT_DIR

Writes OUT_DIR/Germcatcher-<version>-windows-x64.zip (Germcatcher.exe, README-en.txt,
README-ja.txt) and OUT_DIR/SHA256SUMS. The version is the CMake project's, read from the build
folder's cache. The zip is the same byte for byte whenever and wherever it is made: fixed entry
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
EXE = "Germcatcher.exe"
GUIDES = ("README-en.txt", "README-ja.txt")

SIGNATURE_TEXT = {
    "README-en.txt": {
        False: "This copy is not signed: it carries no digital signature, so Windows shows\n"
        "its publisher as unknown. The checksums below are the way to check it.",
        True: "This copy is signed (Authenticode). Right-click Germcatcher.exe, choose\n"
        "Properties and open Digital Signatures to see who signed it.",
    },
    "README-ja.txt": {
        False: "このコピーには電子署名がありません（発行元は「不明」と表示されます）。\n"
        "下のチェックサムで確かめてください。",
        True: "このコピーには電子署名（Authenticode）があります。Germcatcher.exe を\n"
        "右クリックし、［プロパティ］の［デジタル署名］タブで署名者を確認できます。",
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


def guide(name, version, zip_name, signed):
    """A guide as Notepad on any Windows reads it: UTF-8 with a byte order mark, CR LF."""
    text = (ROOT / "packaging" / f"{name}.in").read_text(encoding="utf-8")
    text = (text.replace("@VERSION@", version).replace("@ZIP@", zip_name)
            .replace("@SIGNATURE@", SIGNATURE_TEXT[name][signed]))
    if re.search(r"@[A-Z]+@", text):
        fail(f"{name}: a placeholder was left unfilled")
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


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
    for old in [*out.glob("Germcatcher-*-windows-x64.zip"), out / "SHA256SUMS"]:
        old.unlink(missing_ok=True)

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

    entries = [(EXE, data)] + [(g, guide(g, version, zip_name, signed)) for g in GUIDES]
    write_zip(out / zip_name, entries, when)
    sums = "".join(f"{hashlib.sha256(b).hexdigest()}  {n}\n"
                   for n, b in ((zip_name, (out / zip_name).read_bytes()), (EXE, data)))
    (out / "SHA256SUMS").write_text(sums)

    print(f"dist: {out / zip_name} ({(out / zip_name).stat().st_size / 1024:.1f} KiB), "
          f"version {version}, entries dated "
          f"{datetime.datetime.fromtimestamp(when, datetime.timezone.utc):%Y-%m-%d %H:%M:%S} UTC")
    if signed:
        print("dist: Germcatcher.exe is signed")
    else:
        print("dist: UNSIGNED release (set SIGN_PFX and SIGN_PASSWORD_FILE to sign)")
    print(f"dist: {out / 'SHA256SUMS'}:")
    print(sums, end="")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: dist.py BUILD_DIR OUT_DIR")
    sys.exit(main(sys.argv[1], sys.argv[2]))
