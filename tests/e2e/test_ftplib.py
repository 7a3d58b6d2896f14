"""Python's ftplib against the real daemon: STOU, REST, ABOR during a
download, MDTM and SIZE, listings of a folder by its name, and the replies
that tell a client whether a transfer or an action really happened."""
import calendar
import ftplib
import io
import os
import re
import shutil
import socket
import stat
import time
import unittest

from ftpd import DaemonTest


class Ftplib(DaemonTest):
    def setUp(self):
        self.ftp = ftplib.FTP()
        self.ftp.connect("127.0.0.1", self.port, timeout=10)
        self.addCleanup(self.ftp.close)
        self.ftp.login("anonymous", "test@")
        self.ftp.sendcmd("TYPE I")

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def retr(self, name, rest=None):
        chunks = []
        reply = self.ftp.retrbinary("RETR " + name, chunks.append, rest=rest)
        self.assertEqual(reply, "226 Transfer complete.")
        return b"".join(chunks)

    def test_stou_creates_a_new_name(self):
        names = set()
        for data in (b"first upload", b"", b"third" * 10_000):
            # By hand rather than with transfercmd, which hides the 150 text.
            conn = socket.create_connection(self.ftp.makepasv(), timeout=10)
            with conn:
                started = self.ftp.sendcmd("STOU")
                conn.sendall(data)
            name = re.fullmatch(r"150 Opening data connection for (FTP\w+)\.", started).group(1)
            self.assertEqual(self.ftp.voidresp(), "250 '%s': file created." % name)
            self.assertEqual(self.read(name), data)
            names.add(name)
        self.assertEqual(len(names), 3)

    def test_rest_resumes_downloads_and_uploads(self):
        data = os.urandom(300_000)
        self.write("r.bin", data)
        for offset in (0, 1, 65_536, 299_999, 300_000):
            with self.subTest(offset=offset):
                self.assertEqual(self.retr("r.bin", rest=offset), data[offset:])
        # The offset is used once: the next RETR sends everything again.
        self.assertEqual(self.retr("r.bin"), data)
        self.assertEqual(self.ftp.sendcmd("REST -5"), "350 Restarting at 0.")
        self.assertEqual(self.ftp.sendcmd("REST 12"), "350 REST supported. Ready to resume at byte offset 12.")
        # STOR after REST keeps what lies before and after the new bytes.
        self.write("s.bin", b"0123456789abcdefghij")
        self.ftp.storbinary("STOR s.bin", io.BytesIO(b"XYZ"), rest=10)
        self.assertEqual(self.read("s.bin"), b"0123456789XYZdefghij")
        self.ftp.storbinary("STOR s.bin", io.BytesIO(b"new"))
        self.assertEqual(self.read("s.bin"), b"new")

    def test_abor_during_download_keeps_the_session(self):
        data = os.urandom(64 * 1024 * 1024)
        self.write("big.bin", data)
        conn = self.ftp.transfercmd("RETR big.bin")
        with conn:
            got = conn.recv(10_000)
            self.assertTrue(got and data.startswith(got))
            # Plain ABOR on the control line: the download's closing reply
            # comes first, then the ABOR reply.
            self.ftp.putcmd("ABOR")
            self.assertEqual(self.ftp.getline(), "426 Connection closed; transfer aborted.")
            self.assertEqual(self.ftp.getline(), "226 ABOR command successful.")
            # The server closed the data connection well before 64 MiB.
            received = len(got)
            try:
                while received < len(data):
                    chunk = conn.recv(1 << 20)
                    if not chunk:
                        break
                    received += len(chunk)
            except ConnectionResetError:
                pass
            self.assertLess(received, len(data))
        self.assertEqual(self.ftp.sendcmd("NOOP"), "200 NOOP Command okay.")
        self.assertEqual(self.retr("big.bin", rest=len(data) - 5), data[-5:])
        self.assertEqual(self.ftp.sendcmd("ABOR"), "225 ABOR command successful.")

    def test_abort_sent_as_urgent_data(self):
        # ftplib's abort() sends "ABOR\r\n" with MSG_OOB, which marks its last
        # byte urgent; the server must read it in line or the command never ends.
        self.write("big2.bin", bytes(32 * 1024 * 1024))
        self.ftp.sock.settimeout(3)
        conn = self.ftp.transfercmd("RETR big2.bin")
        with conn:
            conn.recv(10_000)
            # The transfer's 426 is what abort() reads; the ABOR reply follows.
            self.assertEqual(self.ftp.abort(), "426 Connection closed; transfer aborted.")
            self.assertEqual(self.ftp.getresp(), "226 ABOR command successful.")
        self.assertEqual(self.ftp.sendcmd("NOOP"), "200 NOOP Command okay.")

    def test_a_folder_lists_by_its_bare_name(self):
        os.makedirs(self.path("sub dir/inner"), exist_ok=True)
        self.addCleanup(shutil.rmtree, self.path("sub dir"), True)
        self.write("sub dir/a.txt", b"a")
        for name in ("sub dir", "sub dir/", "/sub dir"):
            with self.subTest(name):
                lines = []
                self.ftp.dir(name, lines.append)
                modes = {line.split(None, 8)[8]: line.split()[0] for line in lines}
                self.assertEqual(set(modes), {".", "..", "a.txt", "inner"})
                # The mode column is the real one, as ls shows it.
                self.assertEqual(modes["a.txt"], stat.filemode(os.stat(self.path("sub dir/a.txt")).st_mode))
                self.assertEqual(modes["inner"], stat.filemode(os.stat(self.path("sub dir/inner")).st_mode))
                self.assertEqual(sorted(self.ftp.nlst(name)), [".", "..", "a.txt", "inner"])

    def test_reply_rules(self):
        os.makedirs(self.path("folder"), exist_ok=True)
        self.addCleanup(shutil.rmtree, self.path("folder"), True)
        self.addCleanup(shutil.rmtree, self.path('say "hi"'), True)

        def reply(command):
            try:
                return self.ftp.sendcmd(command)
            except ftplib.Error as e:
                return str(e)

        cases = [
            # A file that cannot be opened is refused before any 150, with
            # no data connection: the reason, never a local path.
            ("RETR missing.bin", "550 Cannot RETR. No such file or directory"),
            ("RETR folder", "550 Cannot RETR. Is a directory"),
            ("STOR folder", "550 Cannot STOR. Is a directory"),
            ("APPE folder", "550 Cannot APPE. Is a directory"),
            ("STOR no/such/file", "550 Cannot STOR. No such file or directory"),
            # The created path in double quotes, a quote in it doubled.
            ('MKD say "hi"', '257 "/say ""hi""" directory created.'),
            ("ABOR", "225 ABOR command successful."),
            ("NOOP", "200 NOOP Command okay."),
        ]
        for command, expected in cases:
            self.assertEqual(reply(command), expected, command)
        self.assertFalse(os.path.exists(self.path("missing.bin")))

    def test_a_download_the_client_cuts_short_fails(self):
        size = 64 * 1024 * 1024
        self.write("cut.bin", bytes(size))
        conn = self.ftp.transfercmd("RETR cut.bin")
        with conn:
            self.assertTrue(conn.recv(10_000))
        with self.assertRaises(ftplib.error_temp) as raised:
            self.ftp.voidresp()
        self.assertEqual(str(raised.exception), "426 Connection closed; transfer aborted.")
        self.assertEqual(self.ftp.sendcmd("NOOP"), "200 NOOP Command okay.")
        # The session log tells a failed download and the bytes that left.
        deadline = time.time() + 10
        while "cut.bin" not in self.daemon.output() and time.time() < deadline:
            time.sleep(0.05)
        line = [l for l in self.daemon.output().splitlines() if "cut.bin" in l][-1]
        self.assertIn("did not finish downloading", line)
        sent = int(re.search(r"- ([\d,.' ]+) bytes\)", line).group(1).replace(",", "").replace(".", ""))
        self.assertLess(sent, size)

    def test_mdtm_and_size(self):
        self.write("t.txt", b"x" * 1234)
        when = calendar.timegm((2021, 3, 4, 5, 6, 7)) * 10**9 + 890_000_000
        os.utime(self.path("t.txt"), ns=(when, when))
        self.assertEqual(self.ftp.sendcmd("MDTM t.txt"), "213 20210304050607.890")
        # A fresh file: the reply is its modification time in UTC.
        self.write("now.txt", b"")
        stamp = self.ftp.sendcmd("MDTM now.txt")
        mtime = os.stat(self.path("now.txt")).st_mtime_ns
        self.assertEqual(stamp, "213 %s.%03d" % (time.strftime("%Y%m%d%H%M%S", time.gmtime(mtime // 10**9)),
                                                 mtime // 10**6 % 1000))
        self.assertEqual(self.ftp.size("t.txt"), 1234)
        self.assertEqual(self.ftp.size("now.txt"), 0)
        os.mkdir(self.path("d"))
        # The share shows paths below its folder as "/...".
        for command, reply in (("MDTM missing", "550 '/missing': no such file or directory."),
                               ("SIZE missing", "550 Command failed: File not found."),
                               ("SIZE d", "550 Command failed: File not found."),
                               ("SIZE", "501 Syntax error in parameter."),
                               ("MDTM", "501 Syntax error in MDTM parameter.")):
            with self.subTest(command):
                with self.assertRaises(ftplib.error_perm) as raised:
                    self.ftp.sendcmd(command)
                self.assertEqual(str(raised.exception), reply)

    def test_mdtm_and_size_need_a_login(self):
        self.write("t.txt", b"abc")
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s, s.makefile("rb") as f:
            f.readline()
            for command in (b"MDTM t.txt", b"SIZE t.txt"):
                s.sendall(command + b"\r\n")
                self.assertEqual(f.readline(), b"530 Please login with USER and PASS.\r\n")


if __name__ == "__main__":
    unittest.main()
