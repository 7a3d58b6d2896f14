"""curl against the real daemon, in passive and in active mode: upload,
download, resume both ways, append, listings and the commands sent with -Q."""
import os
import shutil
import stat
import tempfile
import unittest

from ftpd import DaemonTest, run_client

MODES = [("passive", []), ("active", ["-P", "127.0.0.1"])]


class Curl(DaemonTest):
    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-curl-")
        self.addCleanup(shutil.rmtree, self.local, True)
        # Sizes that are not multiples of any block size.
        self.data = os.urandom(300_001)
        self.src = self.write_local("src.bin", self.data)

    def write_local(self, name, data):
        path = os.path.join(self.local, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, path):
        with open(path, "rb") as f:
            return f.read()

    def curl(self, extra, *args):
        return run_client(["curl", "-sS", "--connect-timeout", "10", "--max-time", "60",
                           "-u", "anonymous:test@", *extra, *args], timeout=90)

    def url(self, path):
        return "ftp://127.0.0.1:%d/%s" % (self.port, path)

    def test_transfers_and_commands(self):
        for mode, extra in MODES:
            with self.subTest(mode):
                d = mode  # every mode works in its own server folder
                self.curl(extra, "-Q", "MKD " + d, self.url(""))
                self.assertTrue(os.path.isdir(self.path(d)))

                # Upload and download, byte for byte.
                self.curl(extra, "-T", self.src, self.url(d + "/up.bin"))
                self.assertEqual(self.read(self.path(d + "/up.bin")), self.data)
                out = os.path.join(self.local, mode + ".down")
                self.curl(extra, "-o", out, self.url(d + "/up.bin"))
                self.assertEqual(self.read(out), self.data)

                # Resumed download (REST + RETR) completes a local third.
                part = self.write_local(mode + ".part", self.data[:100_000])
                self.curl(extra, "-C", "-", "-o", part, self.url(d + "/up.bin"))
                self.assertEqual(self.read(part), self.data)

                # Resumed upload (SIZE + APPE) completes a server-side part.
                with open(self.path(d + "/resumed.bin"), "wb") as f:
                    f.write(self.data[:123_457])
                self.curl(extra, "-C", "-", "-T", self.src, self.url(d + "/resumed.bin"))
                self.assertEqual(self.read(self.path(d + "/resumed.bin")), self.data)

                # Append to an existing file and to a missing one.
                with open(self.path(d + "/log.txt"), "wb") as f:
                    f.write(b"first line\n")
                tail = self.write_local("tail.txt", b"second line\n")
                self.curl(extra, "--append", "-T", tail, self.url(d + "/log.txt"))
                self.curl(extra, "--append", "-T", tail, self.url(d + "/new.txt"))
                self.assertEqual(self.read(self.path(d + "/log.txt")), b"first line\nsecond line\n")
                self.assertEqual(self.read(self.path(d + "/new.txt")), b"second line\n")

                # Detailed and name listings of the folder.
                listing = self.curl(extra, self.url(d + "/"))
                lines = {line.split(None, 8)[8]: line.split() for line in listing.splitlines()}
                self.assertEqual(set(lines), {".", "..", "up.bin", "resumed.bin", "log.txt", "new.txt"})
                # The mode column is the entry's real mode, as ls shows it.
                up_mode = stat.filemode(os.stat(self.path(d + "/up.bin")).st_mode)
                self.assertEqual(lines["up.bin"][:5], [up_mode, "1", "ftp", "ftp", "300001"])
                self.assertEqual(lines["."][0], stat.filemode(os.stat(self.path(d)).st_mode))
                names = self.curl(extra, "--list-only", self.url(d + "/")).splitlines()
                self.assertEqual(sorted(names), [".", "..", "log.txt", "new.txt", "resumed.bin", "up.bin"])

                # Folder and file commands, sent right after the login (so
                # relative to the home folder), then a listing.
                quote = ["MKD %s/sub", "MKD %s/gone", "RMD %s/gone",
                         "RNFR %s/up.bin", "RNTO %s/sub/moved.bin",
                         "RNFR %s/resumed.bin", "RNTO %s/renamed.bin", "DELE %s/log.txt"]
                self.curl(extra, "-o", os.devnull, *[a for q in quote for a in ("-Q", q % d)], self.url(d + "/"))
                self.assertEqual(sorted(os.listdir(self.path(d))), ["new.txt", "renamed.bin", "sub"])
                self.assertEqual(os.listdir(self.path(d + "/sub")), ["moved.bin"])
                self.assertEqual(self.read(self.path(d + "/sub/moved.bin")), self.data)

    def test_refused_command_fails_curl(self):
        # A -Q command the server refuses stops curl with its quote error.
        with self.assertRaisesRegex(AssertionError, "QUOT command failed with 550"):
            self.curl([], "-Q", "DELE no-such-file", self.url(""))


if __name__ == "__main__":
    unittest.main()
