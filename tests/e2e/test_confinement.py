"""A share confined to one folder, attacked with every command that takes a
path: nothing outside the folder may be read, listed, probed, written,
renamed or removed."""
import ftplib
import hashlib
import io
import os
import shutil
import tempfile
import unittest

from ftpd import Daemon


def snapshot(folder):
    """Every path below folder with the hash of its content."""
    result = {}
    for dirpath, dirnames, filenames in os.walk(folder):
        for name in dirnames:
            result[os.path.join(dirpath, name)] = "dir"
        for name in filenames:
            path = os.path.join(dirpath, name)
            with open(path, "rb") as f:
                result[path] = hashlib.sha256(f.read()).hexdigest()
    return result


class Confinement(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="vendrix-confine-")
        cls.share = os.path.join(cls.tmp, "srv", "ftp")
        cls.sibling = os.path.join(cls.tmp, "srv", "ftp2")  # its name extends the share's
        os.makedirs(os.path.join(cls.share, "sub"))
        os.makedirs(cls.sibling)
        with open(os.path.join(cls.share, "a.txt"), "w") as f:
            f.write("inside")
        with open(os.path.join(cls.sibling, "secret.txt"), "w") as f:
            f.write("SIBLING-SECRET")
        with open(os.path.join(cls.tmp, "srv", "outside.txt"), "w") as f:
            f.write("OUTSIDE-SECRET")
        # A link inside the share that points out of it.
        os.symlink(cls.sibling, os.path.join(cls.share, "escape"))
        cls.daemon = Daemon("--root", cls.share, "--write")

    @classmethod
    def tearDownClass(cls):
        cls.daemon.stop()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.outside_before = {p: h for p, h in snapshot(os.path.join(self.tmp, "srv")).items()
                               if not p.startswith(self.share + os.sep)}
        self.ftp = ftplib.FTP()
        self.ftp.connect("127.0.0.1", self.daemon.port, timeout=10)
        self.ftp.login("anonymous", "guest@")

    def tearDown(self):
        self.ftp.close()
        after = {p: h for p, h in snapshot(os.path.join(self.tmp, "srv")).items()
                 if not p.startswith(self.share + os.sep)}
        self.assertEqual(after, self.outside_before, "something outside the share changed")

    def escapes(self):
        real = os.path.join(self.tmp, "srv")
        return ["../outside.txt", "/../outside.txt", "/etc/passwd", "//etc/passwd", "/./etc/passwd",
                "sub/../../outside.txt", "../ftp2/secret.txt", real + "/outside.txt",
                real + "/ftp2/secret.txt", real.upper() + "/FTP2/secret.txt", "escape/secret.txt",
                "escape/../outside.txt", "sub/..", "/..", "..//outside.txt"]

    def refused(self, command):
        try:
            reply = self.ftp.sendcmd(command)
        except ftplib.error_perm as e:
            return str(e)
        except ftplib.error_temp as e:
            return str(e)
        self.fail("%s was accepted: %s" % (command, reply))

    def test_reading_probing_and_listing(self):
        for path in self.escapes():
            with self.subTest(path=path):
                for command in ("SIZE", "MDTM"):
                    self.refused("%s %s" % (command, path))
                data = []
                try:
                    self.ftp.retrbinary("RETR " + path, data.append)
                    self.fail("RETR %s was served" % path)
                except ftplib.all_errors:
                    pass
                self.assertNotIn(b"SECRET", b"".join(data))
                for command in ("LIST", "NLST"):
                    lines = []
                    try:
                        self.ftp.retrlines("%s %s" % (command, path), lines.append)
                    except ftplib.all_errors:
                        pass
                    text = "\n".join(lines)
                    self.assertNotIn("secret", text)
                    self.assertNotIn("outside", text.replace(" not found", ""))
                    self.assertNotIn("passwd", text.replace(" not found", ""))
        self.assertEqual(self.ftp.size("a.txt"), 6)

    def test_changing_directory(self):
        for path in ["..", "../ftp2", "/etc", "//etc", "/..", "sub/..", "escape", "escape/..",
                     os.path.join(self.tmp, "srv"), self.sibling]:
            with self.subTest(path=path):
                try:
                    self.ftp.cwd(path)
                except ftplib.error_perm:
                    pass
                self.assertEqual(self.ftp.pwd(), "/")
                self.assertNotIn("outside.txt", self.ftp.nlst())
        self.ftp.cwd("sub")
        self.ftp.sendcmd("CDUP")
        self.ftp.sendcmd("CDUP")
        self.assertEqual(self.ftp.pwd(), "/")

    def test_writing_renaming_and_removing(self):
        # Inside the share a path like "../x" may legitimately name "/x" of
        # the share (the share's root is the client's root): what counts is
        # that nothing outside it is created, changed, moved or removed.
        outside = os.path.join(self.tmp, "srv")
        for path in self.escapes() + ["../new.txt", "../ftp2/new.txt", "/tmp/new-vendrix.txt"]:
            with self.subTest(path=path):
                ftp = ftplib.FTP()
                ftp.connect("127.0.0.1", self.daemon.port, timeout=10)
                ftp.login("anonymous", "guest@")
                attempts = [lambda: ftp.storbinary("STOR " + path, io.BytesIO(b"evil")),
                            lambda: ftp.storbinary("APPE " + path, io.BytesIO(b"evil")),
                            lambda: ftp.sendcmd("DELE " + path),
                            lambda: ftp.sendcmd("MKD " + path + "dir"),
                            lambda: ftp.sendcmd("RMD " + path),
                            lambda: ftp.sendcmd("RNFR " + path) and ftp.sendcmd("RNTO b.txt"),
                            lambda: ftp.sendcmd("RNFR a.txt") and ftp.sendcmd("RNTO " + path)]
                for attempt in attempts:
                    try:
                        attempt()
                    except ftplib.all_errors:
                        pass
                ftp.close()
                now = {p: h for p, h in snapshot(outside).items() if not p.startswith(self.share + os.sep)}
                self.assertEqual(now, self.outside_before)
                self.assertFalse(os.path.exists("/tmp/new-vendrix.txt"))
                # Put the share back as it was for the next attempt.
                shutil.rmtree(self.share)
                os.makedirs(os.path.join(self.share, "sub"))
                with open(os.path.join(self.share, "a.txt"), "w") as f:
                    f.write("inside")
                os.symlink(self.sibling, os.path.join(self.share, "escape"))

if __name__ == "__main__":
    unittest.main()
