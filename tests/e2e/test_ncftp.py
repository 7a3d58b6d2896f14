"""ncftpget -R fetches the client tree from below the account root and
ncftpput -R sends it back; both exit 0 and the copies are byte-identical.
ncftpget first asks for the folder as a tar file, which the server refuses
with 550 before any transfer."""
import os
import unittest

from ftpd import ClientTreeTest, run_client, tree_hashes


class Ncftp(ClientTreeTest):
    def ncftp(self, program, *args):
        return run_client([program, "-P", str(self.port), "-u", "anonymous", "-p", "ncftp@", "-t", "30", "-R",
                           *args], timeout=300)

    def test_recursive_get_and_put(self):
        self.ncftp("ncftpget", "127.0.0.1", self.local, "/pub")
        self.assertSameTree(os.path.join(self.local, "pub"))
        os.mkdir(self.path("up"))
        self.ncftp("ncftpput", "127.0.0.1", "/up", os.path.join(self.local, "pub"))
        self.assertEqual(tree_hashes(self.path("up/pub")), self.original)


if __name__ == "__main__":
    unittest.main()
