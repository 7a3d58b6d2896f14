"""wget downloads a nested tree recursively from the daemon, in passive and
in active mode, and the copy is byte-identical."""
import os
import shutil
import tempfile
import unittest

from ftpd import DaemonTest, make_tree, run_client, tree_hashes

FOLDERS = ["", "top level", "top level/second", "top level/second/third level", "x/y/z/w/v/u"]


class WgetRecursive(DaemonTest):
    def test_recursive_download(self):
        make_tree(self.root, 40, FOLDERS, seed=7)
        original = tree_hashes(self.root)
        for mode, extra in (("passive", []), ("active", ["--no-passive-ftp"])):
            with self.subTest(mode):
                out = tempfile.mkdtemp(prefix="vendrix-wget-")
                self.addCleanup(shutil.rmtree, out, True)
                # Deeper than wget's default recursion depth of 5.
                run_client(["wget", "-q", "-r", "-l", "inf", "-nH", "-P", out, "--tries=1", "--timeout=10",
                            *extra, "ftp://127.0.0.1:%d/" % self.port], timeout=120)
                self.assertEqual(tree_hashes(out), original)


if __name__ == "__main__":
    unittest.main()
