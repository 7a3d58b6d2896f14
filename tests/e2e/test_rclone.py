"""rclone copies the client tree down and up below the account root, syncs
a changed copy back and checks both ways; every run exits 0 and the trees
are byte-identical.

rclone's FTP remote comes from environment variables. It is kept off EPSV
and MLSD, which the server does not offer, and retries nothing: a retry
would hide a fault that a single run shows."""
import os
import shutil
import subprocess
import unittest

from ftpd import ClientTreeTest, run_client, tree_hashes


class Rclone(ClientTreeTest):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        obscured = subprocess.run(["rclone", "obscure", "rclone@"], stdout=subprocess.PIPE, check=True,
                                  timeout=30).stdout.decode().strip()
        cls.env = dict(os.environ, RCLONE_CONFIG=os.devnull, RCLONE_CONFIG_VX_TYPE="ftp",
                       RCLONE_CONFIG_VX_HOST="127.0.0.1", RCLONE_CONFIG_VX_PORT=str(cls.port),
                       RCLONE_CONFIG_VX_USER="anonymous", RCLONE_CONFIG_VX_PASS=obscured,
                       RCLONE_CONFIG_VX_DISABLE_EPSV="true", RCLONE_CONFIG_VX_DISABLE_MLSD="true")

    def rclone(self, *args):
        return run_client(["rclone", *args, "--retries", "1", "--low-level-retries", "1", "--timeout", "30s"],
                          timeout=300, env=self.env)

    def test_copy_sync_and_check_below_the_account_root(self):
        down = os.path.join(self.local, "down")
        self.rclone("copy", "vx:pub", down)
        self.assertSameTree(down)
        self.rclone("check", "vx:pub", down)

        self.rclone("copy", down, "vx:up")
        self.assertEqual(tree_hashes(self.path("up")), self.original)
        self.rclone("check", down, "vx:up")

        # A changed local copy: one file new, one gone, one rewritten.
        with open(os.path.join(down, "docs", "new note.txt"), "wb") as f:
            f.write(b"new\n")
        os.unlink(os.path.join(down, "-dash start.txt"))
        with open(os.path.join(down, "Ünïcødé", "日本 語", "ファイル.txt"), "wb") as f:
            f.write(b"rewritten, and longer than before\n")
        self.rclone("sync", down, "vx:up")
        self.assertEqual(tree_hashes(self.path("up")), tree_hashes(down))
        self.rclone("check", down, "vx:up")
        self.rclone("check", "vx:up", down)
        shutil.rmtree(self.path("up"))


if __name__ == "__main__":
    unittest.main()
