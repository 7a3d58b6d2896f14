"""FTPS against the real daemon: curl (explicit with --ssl-reqd, implicit
with ftps://), lftp, rclone and Python's ftplib.FTP_TLS with PROT P; a data
connection that does not resume the control connection's TLS session is
refused with 425 unless RequireReuse is off; the required mode and an
account's RequireTLS refuse plain logins; stalled and garbled handshakes
hold up no other session; the self-signed certificate is made once with an
owner-only key and its fingerprint is in the log."""
import ftplib
import io
import os
import shutil
import socket
import ssl
import stat
import statistics
import subprocess
import tempfile
import time
import unittest

from ftpd import FTPD, BaseFolder, Daemon, DaemonTest, free_port, md5_hex, run_client

FINGERPRINT = "TLS certificate SHA-256 fingerprint: "
NOT_RESUMED = "425 Data connection refused: it must resume the control connection's TLS session."


def client_context():
    # The certificate is self-signed: these clients check the fingerprint
    # in the log, not a chain.
    ctx = ssl.create_default_context()
    ctx.check_hostname = False
    ctx.verify_mode = ssl.CERT_NONE
    return ctx


class ResumingFTP_TLS(ftplib.FTP_TLS):
    """FTP_TLS as the common clients behave: each data connection resumes
    the control connection's TLS session (the stock class starts a new one)."""

    def ntransfercmd(self, cmd, rest=None):
        conn, size = ftplib.FTP.ntransfercmd(self, cmd, rest)
        if self._prot_p:
            conn = self.context.wrap_socket(conn, server_hostname=self.host, session=self.sock.session)
        return conn, size


def tls_login(port, cls=ResumingFTP_TLS, user="anonymous", password="test@"):
    ftp = cls(context=client_context(), timeout=20)
    ftp.connect("127.0.0.1", port)
    ftp.login(user, password)  # AUTH TLS first
    return ftp


def fingerprints(output):
    return [line.split(FINGERPRINT, 1)[1].strip() for line in output.splitlines() if FINGERPRINT in line]


def curl(*args):
    return run_client(["curl", "-sS", "-k", "--connect-timeout", "10", "--max-time", "60", "-u", "anonymous:test@",
                       *args], timeout=90)


class ExplicitFtps(DaemonTest):
    """The default settings: TLS allowed, data connections must resume."""

    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-ftps-")
        self.addCleanup(shutil.rmtree, self.local, True)
        self.data = os.urandom(300_001)
        self.src = os.path.join(self.local, "src.bin")
        with open(self.src, "wb") as f:
            f.write(self.data)

    def url(self, path):
        return "ftp://127.0.0.1:%d/%s" % (self.port, path)

    def assertFile(self, path, name):
        with open(path, "rb") as f:
            self.assertEqual(f.read(), self.data, name)

    def test_curl_upload_download_listing(self):
        curl("--ssl-reqd", "-T", self.src, self.url("curl.bin"))
        self.assertFile(self.path("curl.bin"), "uploaded")
        out = os.path.join(self.local, "down.bin")
        curl("--ssl-reqd", "-o", out, self.url("curl.bin"))
        self.assertFile(out, "downloaded")
        self.assertIn("curl.bin", curl("--ssl-reqd", "-l", self.url("")))

    def test_lftp_upload_download_listing(self):
        out = os.path.join(self.local, "down.bin")
        script = ("set ftp:ssl-force true; set ftp:ssl-protect-data true; set ssl:verify-certificate no; "
                  "set net:max-retries 1; set net:timeout 10; set cmd:fail-exit yes; set xfer:log no; "
                  "open -u anonymous,test@ ftp://127.0.0.1:%d; put %s -o lftp.bin; get lftp.bin -o %s; cls -1"
                  % (self.port, self.src, out))
        listing = run_client(["lftp", "-c", script], timeout=120)
        self.assertFile(self.path("lftp.bin"), "uploaded")
        self.assertFile(out, "downloaded")
        self.assertIn("lftp.bin", listing)

    def test_rclone_copy_and_lsf(self):
        obscured = subprocess.run(["rclone", "obscure", "test@"], stdout=subprocess.PIPE, check=True,
                                  timeout=30).stdout.decode().strip()
        env = dict(os.environ, RCLONE_CONFIG=os.devnull, RCLONE_CONFIG_VX_TYPE="ftp",
                   RCLONE_CONFIG_VX_HOST="127.0.0.1", RCLONE_CONFIG_VX_PORT=str(self.port),
                   RCLONE_CONFIG_VX_USER="anonymous", RCLONE_CONFIG_VX_PASS=obscured,
                   RCLONE_CONFIG_VX_EXPLICIT_TLS="true", RCLONE_CONFIG_VX_NO_CHECK_CERTIFICATE="true",
                   RCLONE_CONFIG_VX_DISABLE_EPSV="true", RCLONE_CONFIG_VX_DISABLE_MLSD="true")

        def rclone(*args):
            return run_client(["rclone", *args, "--retries", "1", "--low-level-retries", "1", "--timeout", "30s"],
                              timeout=180, env=env)

        rclone("copy", self.local, "vx:rclone")
        self.assertFile(self.path("rclone/src.bin"), "uploaded")
        down = os.path.join(self.local, "down")
        rclone("copy", "vx:rclone", down)
        self.assertFile(os.path.join(down, "src.bin"), "downloaded")
        self.assertEqual(rclone("lsf", "vx:rclone"), "src.bin\n")

    def test_ftplib_prot_p(self):
        ftp = tls_login(self.port)
        try:
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

    def test_an_upload_closed_without_reading_loses_nothing(self):
        # The client writes and closes without reading: a byte the server sent
        # after the handshake (a TLS 1.3 session ticket) would sit unread, and
        # its system would reset the connection and lose the upload's end.
        ftp = tls_login(self.port)
        try:
            ftp.prot_p()
            for i in range(3):
                conn = ftp.transfercmd("STOR closed%d.bin" % i)
                conn.sendall(self.data)
                time.sleep(0.1)  # whatever the server sends arrives meanwhile
                conn.close()
                self.assertEqual(ftp.voidresp(), "226 File received complete")
                self.assertFile(self.path("closed%d.bin" % i), "uploaded")
        finally:
            ftp.close()

    def test_a_data_connection_that_does_not_resume_is_refused(self):
        with open(self.path("f.bin"), "wb") as f:
            f.write(self.data)
        ftp = tls_login(self.port, ftplib.FTP_TLS)
        try:
            ftp.prot_p()
            for command in ("RETR f.bin", "STOR stolen.bin", "NLST"):
                with self.subTest(command):
                    received = b""
                    try:
                        conn = ftp.transfercmd(command)  # after its 150
                        try:
                            if command.startswith("STOR"):
                                conn.sendall(self.data)
                            while True:
                                chunk = conn.recv(65536)
                                if not chunk:
                                    break
                                received += chunk
                        except OSError:
                            pass
                        conn.close()
                    except OSError:
                        pass
                    with self.assertRaises(ftplib.error_temp) as refused:
                        ftp.voidresp()
                    self.assertEqual(str(refused.exception), NOT_RESUMED)
                    self.assertEqual(received, b"")
            self.assertEqual(ftp.voidcmd("NOOP"), "200 NOOP Command okay.")
        finally:
            ftp.close()
        self.assertIn("Data connection refused: it did not resume the control connection's TLS session",
                      self.daemon.output())

    def test_stalled_and_garbled_handshakes_hold_up_no_other_session(self):
        ftp = ftplib.FTP(timeout=20)
        ftp.connect("127.0.0.1", self.port)
        ftp.login("anonymous", "test@")
        others = []
        try:
            # One stalls after AUTH TLS, one sends random bytes after it, one
            # sends them in the same packet as AUTH TLS.
            for after, same_packet in ((b"", False), (os.urandom(8192), False), (os.urandom(8192), True)):
                s = socket.create_connection(("127.0.0.1", self.port), timeout=20)
                others.append(s)
                s.recv(200)
                s.sendall(b"AUTH TLS\r\n" + (after if same_packet else b""))
                self.assertEqual(s.recv(200), b"234 AUTH TLS successful.\r\n")
                if after and not same_packet:
                    s.sendall(after)
            times = []
            for _ in range(20):
                start = time.perf_counter()
                self.assertEqual(ftp.voidcmd("NOOP"), "200 NOOP Command okay.")
                times.append(time.perf_counter() - start)
            self.assertLess(statistics.median(times), 0.05, times)
            # The garbled ones are closed; the stalled one waits for its
            # handshake's time limit.
            for s in others[1:]:
                s.settimeout(20)
                try:
                    while s.recv(4096):
                        pass
                except ConnectionResetError:
                    pass
            others[0].setblocking(False)
            with self.assertRaises(BlockingIOError):
                others[0].recv(1)
            # Each failed handshake is in the log with its reason.
            self.assertGreaterEqual(self.daemon.output().count("TLS handshake failed: "), 2)
        finally:
            ftp.close()
            for s in others:
                s.close()


class FtpsSettings(unittest.TestCase):
    """A base folder with an implicit FTPS port, RequireReuse off, and an
    account that requires TLS beside the anonymous one that does not."""

    @classmethod
    def setUpClass(cls):
        cls.home = tempfile.mkdtemp(prefix="vendrix-ftps-home-")
        rights = "%s|DU______S__|\n" % cls.home
        users = ("[anonymous]\nHomePath=%s\nDir0=%s[bob]\nPassword=%s\nHomePath=%s\nRequireTLS=1\nDir0=%s"
                 "[slow]\nPassword=%s\nHomePath=%s\nMaxSpeed=400\nDir0=%s"
                 % (cls.home, rights, md5_hex("pw"), cls.home, rights, md5_hex("pw"), cls.home, rights))
        cls.folder = BaseFolder({"Log": 1}, users)
        cls.implicit = free_port()
        with open(cls.folder.file("conf/config.ini"), "a") as f:
            f.write("[TLS]\nImplicitPort=%d\nRequireReuse=0\n" % cls.implicit)
        cls.daemon = Daemon("--base", cls.folder.path, ready="Implicit FTPS port")
        cls.port = cls.daemon.port

    @classmethod
    def tearDownClass(cls):
        code = cls.daemon.stop()
        cls.folder.remove()
        shutil.rmtree(cls.home, ignore_errors=True)
        if code != 0:
            raise AssertionError("vendrix-ftpd exited with %s:\n%s" % (code, cls.daemon.output()))

    def test_curl_implicit_upload_download_listing(self):
        local = tempfile.mkdtemp(prefix="vendrix-ftps-")
        self.addCleanup(shutil.rmtree, local, True)
        data = os.urandom(200_003)
        src = os.path.join(local, "src.bin")
        with open(src, "wb") as f:
            f.write(data)
        url = "ftps://127.0.0.1:%d/" % self.implicit
        curl("-T", src, url + "implicit.bin")
        with open(os.path.join(self.home, "implicit.bin"), "rb") as f:
            self.assertEqual(f.read(), data)
        out = os.path.join(local, "down.bin")
        curl("-o", out, url + "implicit.bin")
        with open(out, "rb") as f:
            self.assertEqual(f.read(), data)
        self.assertIn("implicit.bin", curl("-l", url))
        self.assertIn("Implicit TLS done: TLSv1.3", self.daemon.output())

    def test_a_data_connection_that_does_not_resume_is_accepted_when_reuse_is_not_required(self):
        ftp = tls_login(self.port, ftplib.FTP_TLS)
        try:
            ftp.prot_p()
            ftp.storbinary("STOR fresh.bin", io.BytesIO(b"fresh session\n"))
            got = io.BytesIO()
            self.assertEqual(ftp.retrbinary("RETR fresh.bin", got.write), "226 Transfer complete.")
            self.assertEqual(got.getvalue(), b"fresh session\n")
        finally:
            ftp.close()

    def test_a_capped_download_ends_with_every_byte_and_the_tls_close(self):
        # retrbinary unwraps the data connection: it fails unless the last
        # bytes and the server's close_notify arrive before the close.
        data = os.urandom(700_001)
        with open(os.path.join(self.home, "capped.bin"), "wb") as f:
            f.write(data)
        ftp = tls_login(self.port, user="slow", password="pw")
        try:
            ftp.prot_p()
            for command in ("RETR capped.bin", "LIST"):
                got = io.BytesIO()
                self.assertEqual(ftp.retrbinary(command, got.write), "226 Transfer complete.")
                if command.startswith("RETR"):
                    self.assertEqual(got.getvalue(), data)
        finally:
            ftp.close()

    def test_an_account_that_requires_tls(self):
        plain = ftplib.FTP(timeout=20)
        plain.connect("127.0.0.1", self.port)
        try:
            with self.assertRaises(ftplib.error_perm) as refused:
                plain.login("bob", "pw")
            self.assertEqual(str(refused.exception), "530 TLS is required for this account: use AUTH TLS first.")
            # The anonymous account's own switch is off: it stays plain.
            self.assertTrue(plain.login("anonymous", "test@").startswith("230"))
        finally:
            plain.close()
        ftp = tls_login(self.port, user="bob", password="pw")
        try:
            ftp.prot_c()
            with self.assertRaises(ftplib.error_perm) as refused:
                ftp.nlst()
            self.assertEqual(str(refused.exception), "521 Data connections must be encrypted: use PROT P first.")
            ftp.prot_p()
            ftp.nlst()
        finally:
            ftp.close()
        # The login line says the session is encrypted.
        self.assertIn("BOB logged in from 127.0.0.1 [TLSv1.3]", self.daemon.output())


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

                ftp = tls_login(daemon.port)
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

    def test_an_implicit_port_with_tls_off_is_a_start_error(self):
        self.folder.write("conf/config.ini", "[Setup]\nPort=21\n[TLS]\nMode=off\nImplicitPort=%d\n" % free_port())
        done = subprocess.run([FTPD, "--base", self.folder.path, "--listen", "127.0.0.1", "--port", str(free_port())],
                              capture_output=True, text=True, timeout=60, env=self.env)
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("The implicit FTPS port is set but the TLS mode is off", done.stdout + done.stderr)


if __name__ == "__main__":
    unittest.main()
