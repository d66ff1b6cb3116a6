#!/usr/bin/env python3
"""A signed release: make dist's signing with a throw-away certificate gives a program whose
signature verifies, that keeps its hardening and that still plays the opening under Wine, and
the certificate's password shows in no output.

Run inside the test environment (tools/wine-env.sh exec ...), like the end-to-end tests.
"""
import os
import secrets
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import harness as h  # noqa: E402


def run(*args, **kwargs):
    r = subprocess.run([str(a) for a in args], stdin=subprocess.DEVNULL, capture_output=True,
                       text=True, **kwargs)
    return r.returncode, r.stdout + r.stderr


class Signing(h.GermTestCase):
    def test_signed_program_verifies_stays_hardened_and_opens(self):
        tmp = Path(self.enterContext(tempfile.TemporaryDirectory(prefix="germ-sign-")))
        password = secrets.token_urlsafe(18)
        (tmp / "password").write_text(password + "\n")
        rc, out = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                      "-keyout", tmp / "key.pem", "-out", tmp / "cert.pem",
                      "-subj", "/CN=Germcatcher test signer",
                      "-addext", "extendedKeyUsage=codeSigning",
                      "-addext", "keyUsage=digitalSignature")
        self.assertEqual(rc, 0, out)
        rc, out = run("openssl", "pkcs12", "-export", "-inkey", tmp / "key.pem",
                      "-in", tmp / "cert.pem", "-out", tmp / "cert.pfx",
                      "-passout", f"file:{tmp / 'password'}")
        self.assertEqual(rc, 0, out)

        env = dict(os.environ, SIGN_PFX=str(tmp / "cert.pfx"),
                   SIGN_PASSWORD_FILE=str(tmp / "password"))
        rc, out = run(sys.executable, ROOT / "tools" / "dist.py", h.BUILD, tmp / "dist", env=env)
        self.assertEqual(rc, 0, out)
        self.assertIn("Germcatcher.exe is signed", out)
        self.assertNotIn(password, out)

        zip_path = next((tmp / "dist").glob("*.zip"))
        with zipfile.ZipFile(zip_path) as z:
            signed = z.read("Germcatcher.exe")
        self.assertNotEqual(signed, h.EXE.read_bytes(), "the packed program is the signed one")
        sb = self.sandbox()
        sb.exe.write_bytes(signed)

        rc, out = run("osslsigncode", "verify", "-CAfile", tmp / "cert.pem", "-in", sb.exe)
        self.assertEqual(rc, 0, out)
        self.assertIn("Subject: /CN=Germcatcher test signer", out)
        rc, out = run(sys.executable, ROOT / "tests" / "binary" / "check_pe.py", sb.exe)
        self.assertEqual(rc, 0, out)

        prog = self.start(h.IDYES, sb=sb)
        prog.wait_dialog(h.ERASING)
        self.assert_bar_advances(prog, "signed program")


if __name__ == "__main__":
    h.main()
