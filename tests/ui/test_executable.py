"""vendrix-ftp as another program sees it (offscreen platform): a second
start for the same base folder hands over to the first and ends, and --send
stops, starts and closes the running window; bad arguments are refused at
once and --help names the base folder."""
import os
import shutil
import subprocess
import tempfile
import unittest

from ftpd import BaseFolder, connectable, free_port, wait_until

GUI = os.environ["VENDRIX_FTP"]


class Executable(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vendrix-gui-")
        self.port = free_port()
        self.folder = BaseFolder({"Port": self.port, "DisableExitMessage": 1}, "[anonymous]\nHomePath=%s\n" % self.tmp)
        self.base = self.folder.path
        runtime = os.path.join(self.tmp, "run")
        os.makedirs(runtime, mode=0o700)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="offscreen")
        self.out = open(os.path.join(self.tmp, "gui.log"), "w")
        self.gui = subprocess.Popen([GUI, "--base", self.base, "--listen", "127.0.0.1"], env=self.env,
                                    stdout=self.out, stderr=subprocess.STDOUT)
        self.assertTrue(wait_until(lambda: connectable(self.port)), self.log())

    def tearDown(self):
        if self.gui.poll() is None:
            self.gui.kill()
        self.gui.wait()
        self.out.close()
        self.folder.remove()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def log(self):
        with open(os.path.join(self.tmp, "gui.log")) as f:
            return f.read()

    def run_gui(self, *args):
        return subprocess.run([GUI, "--base", self.base, *args], env=self.env, capture_output=True, text=True,
                              timeout=60)

    def test_second_start_hands_over(self):
        second = self.run_gui()
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertIsNone(self.gui.poll())
        self.assertTrue(connectable(self.port))

    def test_send_stop_start_close(self):
        for text, listening in (("/stop", False), ("/start", True)):
            done = self.run_gui("--send", text)
            self.assertEqual((done.returncode, done.stdout), (0, "OK\n"), done.stderr)
            self.assertTrue(wait_until(lambda: connectable(self.port) == listening), text)
        done = self.run_gui("--send", "/close")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(self.gui.wait(timeout=60), 0, self.log())
        self.assertFalse(connectable(self.port))


class Arguments(unittest.TestCase):
    """Refused at once, before any window; --help names the base folder,
    chosen as the daemon chooses it."""

    def test_refused_and_help(self):
        home = tempfile.mkdtemp(prefix="vendrix-gui-xdg-")
        self.addCleanup(shutil.rmtree, home, True)
        env = dict(os.environ, XDG_CONFIG_HOME=home, QT_QPA_PLATFORM="offscreen")
        cases = [
            (["--base", "/nonexistent"], "vendrix-ftp: the base folder does not exist: /nonexistent\n"),
            (["--port", "99999"], "vendrix-ftp: the port must be a number from 1 to 65535: 99999\n"),
            (["user", "list"], "vendrix-ftp: unknown argument: user (the user and check commands belong to "
                               "vendrix-ftpd)\n"),
        ]
        for args, err in cases:
            with self.subTest(args):
                done = subprocess.run([GUI, *args], env=env, capture_output=True, text=True, timeout=60)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (2, "", err))
        done = subprocess.run([GUI, "--help"], env=env, capture_output=True, text=True, timeout=60)
        self.assertIn("Base folder: %s/vendrix-ftp/ (the user's configuration folder)" % home, done.stdout)


if __name__ == "__main__":
    unittest.main()
