"""A thousand clients connected at once all get the greeting and a NOOP
reply, and the server stays responsive. The caps on connections waiting for
their login are switched off: this is about what the engine carries."""
import os
import selectors
import shutil
import socket
import tempfile
import time
import unittest

from ftpd import BaseFolder, Daemon, raise_open_files

CLIENTS = 1000


class ManyClients(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = BaseFolder({"MaxWait": 0, "MaxWaitPerIP": 0})
        cls.run_dir = tempfile.mkdtemp(prefix="vendrix-run-")
        os.chmod(cls.run_dir, 0o700)
        cls.daemon = Daemon("--base", cls.folder.path, env=dict(os.environ, XDG_RUNTIME_DIR=cls.run_dir))
        cls.port = cls.daemon.port

    @classmethod
    def tearDownClass(cls):
        code = cls.daemon.stop()
        cls.folder.remove()
        shutil.rmtree(cls.run_dir, ignore_errors=True)
        if code != 0:
            raise AssertionError("vendrix-ftpd exited with %s:\n%s" % (code, cls.daemon.output()))

    def test_thousand_clients_at_once(self):
        limit = raise_open_files(CLIENTS + 100)
        count = min(CLIENTS, limit - 100)
        self.assertEqual(count, CLIENTS, "the open-file limit allows only %d" % limit)
        sel = selectors.DefaultSelector()
        socks = []
        try:
            for _ in range(count):
                s = socket.socket()
                s.setblocking(False)
                s.connect_ex(("127.0.0.1", self.port))
                socks.append(s)
                sel.register(s, selectors.EVENT_READ, bytearray())
            # Everybody connected at once: now every client waits for its
            # greeting, then sends NOOP and waits for the reply.
            expect = {s: [b"220 Vendrix FTP Server 1.50 Alpha 2 ready...\r\n", b"200 NOOP Command okay.\r\n"] for s in socks}
            done = 0
            deadline = time.time() + 120
            while done < count and time.time() < deadline:
                for key, _ in sel.select(timeout=1):
                    s, buf = key.fileobj, key.data
                    chunk = s.recv(4096)
                    self.assertTrue(chunk, "connection closed early")
                    buf += chunk
                    while b"\r\n" in buf and expect[s]:
                        line, _, rest = bytes(buf).partition(b"\r\n")
                        buf[:] = rest
                        self.assertEqual(line + b"\r\n", expect[s].pop(0))
                        if expect[s]:
                            s.sendall(b"NOOP\r\n")
                        else:
                            done += 1
            self.assertEqual(done, count)
            # Still responsive for a newcomer while all of them are connected.
            with socket.create_connection(("127.0.0.1", self.port), timeout=10) as extra:
                f = extra.makefile("rb")
                self.assertEqual(f.readline(), b"220 Vendrix FTP Server 1.50 Alpha 2 ready...\r\n")
                f.close()
        finally:
            for s in socks:
                sel.unregister(s)
                s.close()
            sel.close()


if __name__ == "__main__":
    unittest.main()
