"""Greeting, login and session commands with Python's ftplib and raw
sockets against the real daemon."""
import ftplib
import socket
import unittest

from ftpd import DaemonTest


class SessionCommands(DaemonTest):
    def test_login_and_session_commands(self):
        with ftplib.FTP() as ftp:
            greeting = ftp.connect("127.0.0.1", self.port, timeout=10)
            self.assertEqual(greeting, "220 Vendrix FTP Server 1.50 Alpha 2 ready...")
            self.assertEqual(ftp.login("anonymous", "anna@"), "230 User anonymous logged in.")
            self.assertEqual(ftp.sendcmd("FEAT"),
                             "211-Extensions supported:\n EPRT\n EPSV\n HASH SHA-256*;SHA-1;MD5\n MDTM\n MFMT\n"
                             " MLST type*;size*;modify*;perm*;unique*;\n PASV\n REST STREAM\n SIZE\n TVFS\n"
                             " UTF8\n AUTH TLS\n PBSZ\n PROT\n211 END")
            self.assertEqual(ftp.sendcmd("SYST"), "215 UNIX Type: L8")
            self.assertEqual(ftp.sendcmd("TYPE I"), "200 Type set to I.")
            self.assertEqual(ftp.sendcmd("noop"), "200 NOOP Command okay.")
            self.assertEqual(ftp.sendcmd("nOoP"), "200 NOOP Command okay.")
            self.assertEqual(ftp.quit(), "221 Goodbye!")

    def test_two_commands_in_one_packet(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            f = s.makefile("rb")
            self.assertEqual(f.readline(), b"220 Vendrix FTP Server 1.50 Alpha 2 ready...\r\n")
            s.sendall(b"NOOP\r\nSTRU F\r\n")
            self.assertEqual(f.readline(), b"200 NOOP Command okay.\r\n")
            self.assertEqual(f.readline(), b"200 Ok. STRU parameter 'F' ignored.\r\n")
            s.sendall(b"QUIT\r\n")
            self.assertEqual(f.readline(), b"221 Goodbye!\r\n")
            self.assertEqual(f.readline(), b"")
            f.close()

    def test_overlong_line_is_refused_and_closed(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            f = s.makefile("rb")
            f.readline()
            s.sendall(b"A" * 3000)
            self.assertEqual(f.readline(), b"500 Command too long\r\n")
            self.assertEqual(f.readline(), b"")
            f.close()


if __name__ == "__main__":
    unittest.main()
