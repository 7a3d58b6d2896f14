"""Data connections the daemon refuses: PORT naming another host or a
privileged port, and a passive connection from another local address. The
session stays usable after each."""
import ftplib
import re
import socket
import unittest

from ftpd import DaemonTest


class Refusals(DaemonTest):
    def setUp(self):
        with open(self.path("f.txt"), "wb") as f:
            f.write(b"the file\n" * 1000)
        self.ftp = ftplib.FTP()
        self.ftp.connect("127.0.0.1", self.port, timeout=10)
        self.addCleanup(self.ftp.close)
        self.ftp.login("anonymous", "test@")
        self.ftp.sendcmd("TYPE I")

    def retr(self):
        chunks = []
        self.assertEqual(self.ftp.retrbinary("RETR f.txt", chunks.append), "226 Transfer complete.")
        self.assertEqual(b"".join(chunks), b"the file\n" * 1000)

    def test_port_refusals(self):
        for params in ("10,1,2,3,4,1",      # another host
                       "127,0,0,2,4,1",     # another loopback address than the client's
                       "127,0,0,1,0,80",    # a privileged port
                       "127,0,0,1,3,255",   # 1023, the last privileged port
                       "127,0,0,1,300,1",   # numbers beyond a byte
                       "127,0,0,1,4,x"):
            with self.subTest(params):
                with self.assertRaises(ftplib.error_perm) as raised:
                    self.ftp.sendcmd("PORT " + params)
                self.assertEqual(str(raised.exception), "501 Invalid PORT command.")
        self.assertEqual(self.ftp.sendcmd("PORT 127,0,0,1,4,0"), "200 Port command successful.")
        # Still usable, in passive and in active mode.
        self.retr()
        self.ftp.set_pasv(False)
        self.retr()

    def test_passive_connection_from_another_address(self):
        reply = self.ftp.sendcmd("PASV")
        numbers = [int(n) for n in re.search(r"\((.*)\)", reply).group(1).split(",")]
        address = ("127.0.0.1", numbers[4] * 256 + numbers[5])
        self.assertEqual(self.ftp.sendcmd("RETR f.txt"), "150 Opening data connection for f.txt.")
        # The download waits for its connection; one from 127.0.0.2 is closed without data.
        with socket.socket() as thief:
            thief.settimeout(10)
            thief.bind(("127.0.0.2", 0))
            thief.connect(address)
            try:
                self.assertEqual(thief.recv(100), b"")
            except ConnectionResetError:
                pass
        # The client's own connection still gets the file.
        with socket.create_connection(address, timeout=10) as own:
            data = b""
            for _ in range(1000):
                chunk = own.recv(65536)
                if not chunk:
                    break
                data += chunk
        self.assertEqual(data, b"the file\n" * 1000)
        self.assertEqual(self.ftp.voidresp(), "226 Transfer complete.")
        self.retr()


if __name__ == "__main__":
    unittest.main()
