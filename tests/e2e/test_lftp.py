"""lftp mirrors a tree of 200 files in nested folders down from the daemon
and back up with mirror -R, in passive and in active mode; both copies are
byte-identical to the original. Modes are mirrored too (no --no-perms), and
every mirrored folder can be entered: the listing shows real modes."""
import os
import stat
import shutil
import tempfile
import unittest

from ftpd import DaemonTest, make_tree, run_client, tree_hashes

FOLDERS = ["", "docs", "docs/old notes", "docs/old notes/2019", "media", "media/raw shots",
           "media/raw shots/day 1", "two words", "a/b/c/d", "-lead dash", "Ünïcødé/日本 語"]


class LftpMirror(DaemonTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        make_tree(os.path.join(cls.root, "tree"), 200, FOLDERS, seed=3)
        cls.original = tree_hashes(os.path.join(cls.root, "tree"))

    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-lftp-")
        self.addCleanup(shutil.rmtree, self.local, True)

    def lftp(self, passive, command):
        script = ("set ftp:passive-mode %s; set net:max-retries 1; set net:timeout 10; "
                  "set net:reconnect-interval-base 1; set cmd:fail-exit yes; set ftp:ssl-allow no; "
                  "set xfer:log no; set cmd:save-cwd-history no; "
                  "open -u anonymous,test@ ftp://127.0.0.1:%d; %s" % ("on" if passive else "off", self.port, command))
        run_client(["lftp", "-c", script], timeout=180)

    def test_mirror_down_and_up(self):
        self.assertEqual(len(self.original[0]), 200)
        for mode, passive in (("passive", True), ("active", False)):
            with self.subTest(mode):
                down = os.path.join(self.local, mode)
                self.lftp(passive, 'mirror --parallel=4 tree "%s"' % down)
                self.assertEqual(tree_hashes(down), self.original)
                self.assertEnterable(down)
                self.lftp(passive, 'mirror -R --parallel=4 "%s" "up %s"' % (down, mode))
                self.assertEqual(tree_hashes(self.path("up " + mode)), self.original)
                self.assertEnterable(self.path("up " + mode))

    def assertEnterable(self, top):
        # The tests run as root, who enters any folder: the bits tell.
        for here, _, _ in os.walk(top):
            mode = os.stat(here).st_mode
            self.assertEqual(mode & (stat.S_IRUSR | stat.S_IXUSR), stat.S_IRUSR | stat.S_IXUSR,
                             "%s is %s" % (here, stat.filemode(mode)))


if __name__ == "__main__":
    unittest.main()
