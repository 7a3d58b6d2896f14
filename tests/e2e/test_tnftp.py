"""tnftp, driven by a command script: mget * fetches the files of a folder
and leaves nothing for its subfolders (they are refused with 550, so no
empty stray files), get fetches a file by another name, reget finishes a
partial download, put sends a file back."""
import hashlib
import os
import subprocess
import unittest

from ftpd import ClientTreeTest

BIG = "docs/big file.bin"


class Tnftp(ClientTreeTest):
    def tnftp(self, *commands):
        script = "\n".join(["user anonymous tnftp@", "epsv4 off", "binary", "prompt off", *commands, "bye", ""])
        done = subprocess.run(["tnftp", "-n", "-v", "127.0.0.1", str(self.port)], input=script.encode(),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300, cwd=self.local)
        out = done.stdout.decode(errors="replace")
        self.assertEqual(done.returncode, 0, out)
        return out

    def digest(self, path):
        with open(path, "rb") as f:
            return hashlib.sha256(f.read()).hexdigest()

    def test_mget_get_reget_and_put(self):
        files, folders = self.original
        top = {name: digest for name, digest in files.items() if os.sep not in name}
        with open(self.path("pub/" + BIG), "rb") as f:
            head = f.read(3 << 20)
        with open(os.path.join(self.local, "partial.bin"), "wb") as f:
            f.write(head)
        out = self.tnftp("cd pub", "mget *", 'get "-dash start.txt" copy.txt', 'reget "%s" partial.bin' % BIG,
                         "put copy.txt sent.txt")
        # The folders were refused before any data connection.
        self.assertIn("550 Cannot RETR. Is a directory", out)
        got = set(os.listdir(self.local))
        self.assertEqual(got, set(top) | {"copy.txt", "partial.bin"}, out)
        for name, digest in top.items():
            self.assertEqual(self.digest(os.path.join(self.local, name)), digest, name)
        self.assertEqual(self.digest(os.path.join(self.local, "partial.bin")), files[os.path.normpath(BIG)], out)
        self.assertEqual(self.digest(self.path("pub/sent.txt")), top["-dash start.txt"])
        os.unlink(self.path("pub/sent.txt"))


if __name__ == "__main__":
    unittest.main()
