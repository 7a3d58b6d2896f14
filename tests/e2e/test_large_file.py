"""A 5 GiB sparse file: its size, listing line, downloads resumed past 4 GiB
and uploads that resume or append past 4 GiB, all with 64-bit offsets."""
import ftplib
import io
import os
import socket
import unittest

from ftpd import DaemonTest

GIB = 1024**3
SIZE = 5 * GIB
# Marked places: a wrong (32-bit) offset would read zeros there instead.
MARKS = {4831838208: b"<4.5 GiB>", SIZE - 2**20: b"<last MiB>", SIZE - 2**19: b"<last half MiB>", SIZE - 5: b"<end>"}


class LargeFile(DaemonTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        with open(os.path.join(cls.root, "huge.bin"), "wb") as f:
            f.truncate(SIZE)
            for offset, mark in MARKS.items():
                f.seek(offset)
                f.write(mark)

    def setUp(self):
        self.ftp = ftplib.FTP()
        self.ftp.connect("127.0.0.1", self.port, timeout=30)
        self.addCleanup(self.ftp.close)
        self.ftp.login("anonymous", "test@")
        self.ftp.sendcmd("TYPE I")

    def expected(self, start, end):
        data = bytearray(end - start)
        for offset, mark in MARKS.items():
            if start <= offset < end:
                data[offset - start:offset - start + len(mark)] = mark
        return bytes(data)

    def test_size_listing_and_resumed_download(self):
        self.assertEqual(self.ftp.sendcmd("SIZE huge.bin"), "213 %d" % SIZE)
        lines = []
        self.ftp.retrlines("LIST huge.bin", lines.append)
        self.assertEqual(len(lines), 1)
        self.assertEqual(lines[0].split()[4], str(SIZE))
        # The last MiB, exactly.
        chunks = []
        self.assertEqual(self.ftp.retrbinary("RETR huge.bin", chunks.append, rest=SIZE - 2**20),
                         "226 Transfer complete.")
        self.assertEqual(b"".join(chunks), self.expected(SIZE - 2**20, SIZE))
        # From 4.5 GiB: the first bytes are right, then the download is cut short.
        conn = self.ftp.transfercmd("RETR huge.bin", rest=4831838208)
        with conn:
            head = b""
            while len(head) < 4096:
                chunk = conn.recv(4096 - len(head))
                self.assertTrue(chunk, "data connection closed early")
                head += chunk
            self.assertEqual(head, self.expected(4831838208, 4831838208 + 4096))
            self.ftp.putcmd("ABOR")
            self.assertEqual(self.ftp.getline(), "426 Connection closed; transfer aborted.")
            self.assertEqual(self.ftp.getline(), "226 ABOR command successful.")

    def test_uploads_past_4_gib(self):
        # A copy, so the download test sees the original whatever the order.
        path = self.path("up.bin")
        with open(path, "wb") as f:
            f.truncate(SIZE)
        self.addCleanup(os.unlink, path)
        # STOR after REST writes in place, keeping the size.
        self.assertEqual(self.ftp.storbinary("STOR up.bin", io.BytesIO(b"middle"), rest=4 * GIB + 10),
                         "226 File received complete")
        self.assertEqual(os.path.getsize(path), SIZE)
        # APPE announces the 64-bit offset and writes there.
        conn = socket.create_connection(self.ftp.makepasv(), timeout=30)
        with conn:
            self.assertEqual(self.ftp.sendcmd("APPE up.bin"),
                             '150 APPE supported.  Ready to append file "up.bin" at offset %d.' % SIZE)
            conn.sendall(b"tail")
        self.assertEqual(self.ftp.voidresp(), "226 File received ok")
        self.assertEqual(self.ftp.sendcmd("SIZE up.bin"), "213 %d" % (SIZE + 4))
        with open(path, "rb") as f:
            f.seek(4 * GIB)
            self.assertEqual(f.read(16), bytes(10) + b"middle")
            f.seek(SIZE - 4)
            self.assertEqual(f.read(), bytes(4) + b"tail")


if __name__ == "__main__":
    unittest.main()
