"""The daemon on a base folder of its own, driven through its control
channel with --send: stop, start, restart and close, and a failed start."""
import os
import shutil
import socket
import subprocess
import tempfile
import unittest

from ftpd import FTPD, BaseFolder, Daemon, connectable, free_port, wait_until


class Control(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vendrix-control-")
        self.folder = BaseFolder({"Log": 1}, "[anonymous]\nHomePath=%s\nDir0=%s|D_______S__|\n" % (self.tmp, self.tmp))
        self.base = self.folder.path
        self.env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"))
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700)

    def tearDown(self):
        self.folder.remove()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def send(self, text):
        return subprocess.run([FTPD, "--base", self.base, "--send", text], env=self.env, capture_output=True,
                              text=True, timeout=20)

    def wait_for(self, daemon, text, count=1):
        return wait_until(lambda: daemon.output().count(text) >= count, 10)

    def test_stop_start_restart_close(self):
        daemon = Daemon("--base", self.base, env=self.env)
        try:
            self.assertTrue(connectable(daemon.port))
            done = self.send("/stop")
            self.assertEqual((done.returncode, done.stdout), (0, "OK\n"))
            self.assertTrue(self.wait_for(daemon, "Server stopped."))
            self.assertFalse(connectable(daemon.port))
            self.send("/start")
            self.assertTrue(self.wait_for(daemon, "Server started.", 2))
            self.assertTrue(connectable(daemon.port))
            self.send("/restart")
            self.assertTrue(self.wait_for(daemon, "Server started.", 3))
            self.assertEqual(daemon.output().count("Server stopped."), 2)
            self.assertEqual(self.send("/unknown").stdout, "OK\n")  # ignored
            self.assertTrue(connectable(daemon.port))
            self.assertEqual(self.send("/close").returncode, 0)
            self.assertEqual(daemon.proc.wait(timeout=20), 0)
            self.assertIn("Server shutting down.", daemon.output())
        finally:
            daemon.stop()
        # The log file of the day holds the same lines without colours.
        logs = os.listdir(os.path.join(self.base, "log"))
        self.assertEqual(len(logs), 1)
        with open(os.path.join(self.base, "log", logs[0]), newline="") as f:
            text = f.read()
        self.assertIn("] - Server started.\r\n", text)
        self.assertNotIn("#", text)

    def test_send_without_an_instance(self):
        done = self.send("/stop")
        self.assertEqual(done.returncode, 1)
        self.assertIn("no instance running for", done.stderr)

    def test_first_start_on_a_busy_port_fails(self):
        with socket.socket() as busy:
            busy.bind(("127.0.0.1", 0))
            busy.listen(1)
            port = busy.getsockname()[1]
            done = subprocess.run([FTPD, "--base", self.base, "--listen", "127.0.0.1", "--port", str(port)],
                                  env=self.env, capture_output=True, text=True, timeout=20)
        self.assertEqual(done.returncode, 1)
        self.assertIn("Cannot listen on port %d." % port, done.stdout)
        self.assertIn("The server is not running.", done.stdout)

    def test_second_instance_for_the_same_base_is_refused(self):
        daemon = Daemon("--base", self.base, env=self.env)
        try:
            done = subprocess.run([FTPD, "--base", self.base, "--listen", "127.0.0.1", "--port", str(free_port())],
                                  env=self.env, capture_output=True, text=True, timeout=20)
            self.assertEqual(done.returncode, 1)
            self.assertIn("already running", done.stderr)
        finally:
            daemon.stop()

    def test_a_quick_share_is_found_by_send_and_shared_once(self):
        share = os.path.join(self.tmp, "share")
        os.makedirs(share)
        daemon = Daemon("--root", share, env=self.env)
        try:
            second = subprocess.run([FTPD, "--root", share, "--listen", "127.0.0.1", "--port", str(free_port())],
                                    env=self.env, capture_output=True, text=True, timeout=20)
            self.assertEqual(second.returncode, 1)
            self.assertIn("already sharing", second.stderr)
            done = subprocess.run([FTPD, "--root", share, "--send", "/close"], env=self.env, capture_output=True,
                                  text=True, timeout=20)
            self.assertEqual((done.returncode, done.stdout), (0, "OK\n"))
            self.assertEqual(daemon.proc.wait(timeout=20), 0)
        finally:
            daemon.stop()
        self.assertEqual([n for n in os.listdir(self.env["XDG_RUNTIME_DIR"]) if n.startswith("vendrix-share")], [])


if __name__ == "__main__":
    unittest.main()
