"""wget -m mirrors the client tree from below the account root, in passive
and in active mode, and the copy is byte-identical (wget's own .listing
files aside)."""
import os
import unittest

from ftpd import ClientTreeTest, run_client


class WgetMirror(ClientTreeTest):
    def test_mirror(self):
        for mode, extra in (("passive", []), ("active", ["--no-passive-ftp"])):
            with self.subTest(mode):
                out = os.path.join(self.local, mode)
                # -m recurses without a depth limit (the tree is deeper than
                # wget's default of 5) and keeps the listings it read.
                run_client(["wget", "-q", "-m", "-nH", "--cut-dirs=1", "-P", out, "--tries=1", "--timeout=10",
                            *extra, "ftp://127.0.0.1:%d/pub/" % self.port], timeout=300)
                for here, _, names in os.walk(out):
                    if ".listing" in names:
                        os.unlink(os.path.join(here, ".listing"))
                self.assertSameTree(out)


if __name__ == "__main__":
    unittest.main()
