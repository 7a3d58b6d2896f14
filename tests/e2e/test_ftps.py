"""Explicit FTPS against the real daemon: curl with --ssl-reqd and Python's
ftplib.FTP_TLS with PROT P, the self-signed certificate made once with an
owner-only key and its fingerprint in the log, and the required mode."""
import ftplib
import io
import os
import shutil
import ssl
import stat
import tempfile
import unittest

from ftpd import BaseFolder, Daemon, DaemonTest, run_client

FINGERPRINT = "TLS certificate SHA-256 fingerprint: "


def client_context():
    # The certificate is self-signed: these clients check the fingerprint
    # in the log, not a chain.
    ctx = ssl.create_default_context()
    ctx.check_hostname = False
    ctx.verify_mode = ssl.CERT_NONE
    return ctx


def fingerprints(output):
    return [line.split(FINGERPRINT, 1)[1].strip() for line in output.splitlines() if FINGERPRINT in line]


class ExplicitFtps(DaemonTest):
    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-ftps-")
        self.addCleanup(shutil.rmtree, self.local, True)
        self.data = os.urandom(300_001)

    def curl(self, *args):
        return run_client(["curl", "-sS", "-k", "--ssl-reqd", "--connect-timeout", "10", "--max-time", "60",
                           "-u", "anonymous:test@", *args], timeout=90)

    def url(self, path):
        return "ftp://127.0.0.1:%d/%s" % (self.port, path)

    def test_curl_upload_download_listing(self):
        src = os.path.join(self.local, "src.bin")
        with open(src, "wb") as f:
            f.write(self.data)
        self.curl("-T", src, self.url("curl.bin"))
        with open(self.path("curl.bin"), "rb") as f:
            self.assertEqual(f.read(), self.data)
        out = os.path.join(self.local, "down.bin")
        self.curl("-o", out, self.url("curl.bin"))
        with open(out, "rb") as f:
            self.assertEqual(f.read(), self.data)
        self.assertIn("curl.bin", self.curl("-l", self.url("")))

    def test_ftplib_prot_p(self):
        ftp = ftplib.FTP_TLS(context=client_context(), timeout=20)
        try:
            ftp.connect("127.0.0.1", self.port)
            ftp.login("anonymous", "test@")  # AUTH TLS first
            self.assertIn(" AUTH TLS\n PBSZ\n PROT\n", ftp.sendcmd("FEAT"))
            self.assertEqual(ftp.prot_p(), "200 Protection level set to Private.")
            ftp.storbinary("STOR py.bin", io.BytesIO(self.data))
            got = io.BytesIO()
            ftp.retrbinary("RETR py.bin", got.write)
            self.assertEqual(got.getvalue(), self.data)
            self.assertIn("py.bin", ftp.nlst())
            with self.assertRaises(ftplib.error_perm) as refused:
                ftp.sendcmd("CCC")
            self.assertEqual(str(refused.exception), "534 The control connection stays encrypted.")
        finally:
            ftp.close()
        self.assertEqual(len(fingerprints(self.daemon.output())), 1)


class RequiredFtps(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="vendrix-ftps-home-")
        self.folder = BaseFolder({"Log": 1},
                                 "[anonymous]\nHomePath=%s\nDir0=%s|D_______S__|\n" % (self.home, self.home))
        with open(self.folder.file("conf/config.ini"), "a") as f:
            f.write("[TLS]\nMode=required\n")
        self.env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(self.home, "run"))
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)

    def tearDown(self):
        self.folder.remove()
        shutil.rmtree(self.home, ignore_errors=True)

    def test_plain_login_and_clear_data_are_refused(self):
        seen = []
        for start in range(2):
            daemon = Daemon("--base", self.folder.path, env=self.env)
            try:
                plain = ftplib.FTP(timeout=20)
                plain.connect("127.0.0.1", daemon.port)
                with self.assertRaises(ftplib.error_perm) as refused:
                    plain.login("anonymous", "test@")
                self.assertEqual(str(refused.exception), "530 TLS is required on this server: use AUTH TLS first.")
                plain.close()

                ftp = ftplib.FTP_TLS(context=client_context(), timeout=20)
                ftp.connect("127.0.0.1", daemon.port)
                ftp.login("anonymous", "test@")
                ftp.prot_c()
                with self.assertRaises(ftplib.error_perm) as refused:
                    ftp.nlst()
                self.assertEqual(str(refused.exception), "521 Data connections must be encrypted: use PROT P first.")
                ftp.prot_p()
                self.assertIn("run", ftp.nlst())
                ftp.close()
            finally:
                daemon.stop()
            seen += fingerprints(daemon.output())
        # Made at the first start, reused at the second.
        self.assertEqual(len(seen), 2)
        self.assertEqual(seen[0], seen[1])
        key = os.stat(self.folder.file("conf/ftps-key.pem"))
        self.assertEqual(stat.S_IMODE(key.st_mode), 0o600)


if __name__ == "__main__":
    unittest.main()
