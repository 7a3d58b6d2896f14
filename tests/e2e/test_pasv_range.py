"""Python's ftplib against a daemon whose passive range has a port held by
another program: PASV goes on to the next free port, a range with every
port held answers 425, and the replies stay in step throughout."""
import ftplib
import os
import shutil
import socket
import tempfile
import unittest

from ftpd import BaseFolder, Daemon


def hold(port):
    """A listener of another program on the port (connections of an earlier
    transfer may still linger there in TIME_WAIT)."""
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        s.bind(("127.0.0.1", port))
        s.listen(1)
    except OSError:
        s.close()
        raise
    return s


def free_pair():
    """Two neighbouring free ports on 127.0.0.1."""
    for _ in range(50):
        with socket.socket() as a:
            a.bind(("127.0.0.1", 0))
            low = a.getsockname()[1]
            if low >= 65535:
                continue
            try:
                with socket.socket() as b:
                    b.bind(("127.0.0.1", low + 1))
                    return low
            except OSError:
                continue
    raise RuntimeError("no two neighbouring free ports")


class PasvRange(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vendrix-pasv-")
        with open(os.path.join(self.tmp, "a.txt"), "w") as f:
            f.write("hello\n")
        self.low = free_pair()
        # Both ends of the range are ports of it.
        setup = {"LowPASV": self.low, "HighPASV": self.low + 1}
        users = "[anonymous]\nHomePath=%s\nDir0=%s|D_______S__|\n" % (self.tmp, self.tmp)
        self.folder = BaseFolder(setup, users)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"))
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)
        self.daemon = Daemon("--base", self.folder.path, env=self.env)
        self.held = [hold(self.low)]  # another program on the first port

    def tearDown(self):
        for s in self.held:
            s.close()
        code = self.daemon.stop()
        self.folder.remove()
        shutil.rmtree(self.tmp, ignore_errors=True)
        self.assertEqual(code, 0, self.daemon.output())

    def test_busy_port_is_skipped_and_a_busy_range_answers_425(self):
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", self.daemon.port, timeout=10)
        try:
            ftp.login("anonymous", "test@")
            self.assertEqual(ftp.makepasv(), ("127.0.0.1", self.low + 1))
            self.assertIn("a.txt", ftp.nlst())
            lines = []
            ftp.retrbinary("RETR a.txt", lines.append)
            self.assertEqual(b"".join(lines), b"hello\n")
            # Every port held elsewhere: one 425 line, and the next reply is
            # the next command's.
            self.held.append(hold(self.low + 1))
            with self.assertRaises(ftplib.error_temp) as refused:
                ftp.makepasv()
            self.assertEqual(str(refused.exception), "425 No available PASV Ports.")
            self.assertEqual(ftp.voidcmd("NOOP"), "200 NOOP Command okay.")
            self.held.pop().close()
            self.assertIn("a.txt", ftp.nlst())
        finally:
            ftp.close()


if __name__ == "__main__":
    unittest.main()
