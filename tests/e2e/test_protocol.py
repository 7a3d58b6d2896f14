"""The protocol extensions with real clients: ftplib's mlsd(), HASH and FEAT
before login; curl and lftp over IPv6 on ::1 (EPSV and EPRT); lftp and
rclone keeping modification times with MFMT, rclone listing with MLSD."""
import calendar
import ftplib
import hashlib
import os
import shutil
import socket
import statistics
import subprocess
import tempfile
import threading
import time
import unittest

from ftpd import DaemonTest, run_client


def has_ipv6_loopback():
    try:
        with socket.socket(socket.AF_INET6) as s:
            s.bind(("::1", 0))
        return True
    except OSError:
        return False


OLD = calendar.timegm((2019, 6, 7, 8, 9, 10))


class Protocol(DaemonTest):
    # A second --listen: IPv6 beside the IPv4 address the helper gives.
    daemon_args = ("--listen", "::1")

    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-proto-")
        self.addCleanup(shutil.rmtree, self.local, True)

    def login(self, host="127.0.0.1"):
        ftp = ftplib.FTP()
        ftp.connect(host, self.port, timeout=10)
        self.addCleanup(ftp.close)
        ftp.login("anonymous", "test@")
        return ftp

    def write(self, name, data, mtime=None):
        path = self.path(name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        if mtime is not None:
            os.utime(path, (mtime, mtime))
        return path

    def test_feat_before_login_and_utf8(self):
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", self.port, timeout=10)
        self.addCleanup(ftp.close)
        feat = ftp.sendcmd("FEAT").split("\n")
        self.assertEqual([line.strip() for line in feat[1:-1]],
                         ["EPRT", "EPSV", "HASH SHA-256*;SHA-1;MD5", "MDTM", "MFMT",
                          "MLST type*;size*;modify*;perm*;unique*;", "PASV", "REST STREAM", "SIZE", "TVFS",
                          "UTF8", "AUTH TLS", "PBSZ", "PROT"])
        self.assertEqual(ftp.sendcmd("OPTS UTF8 ON"), "200 UTF8 set to on")
        ftp.login("anonymous", "test@")
        # Path bytes pass through unchanged.
        ftp.encoding = "utf-8"
        name = "d\u00e9j\u00e0 vu.txt"
        self.write("m/" + name, b"x")
        ftp.cwd("m")
        self.assertIn(name, ftp.nlst())
        self.assertEqual(ftp.size(name), 1)

    def test_mlsd_lists_facts_without_hidden_entries(self):
        self.write("ml/a.bin", b"12345", mtime=OLD)
        self.write("ml/.secret", b"s")
        os.makedirs(self.path("ml/sub"), exist_ok=True)
        ftp = self.login()
        entries = dict(ftp.mlsd("ml"))
        self.assertEqual(entries["a.bin"]["type"], "file")
        self.assertEqual(entries["a.bin"]["size"], "5")
        self.assertEqual(entries["a.bin"]["modify"], "20190607080910")
        self.assertIn("r", entries["a.bin"]["perm"])
        self.assertEqual(entries["sub"]["type"], "dir")
        self.assertEqual(entries["."]["type"], "cdir")
        self.assertNotIn(".secret", entries)
        mlst = ftp.sendcmd("MLST ml/a.bin")
        self.assertTrue(mlst.startswith("250-Listing "), mlst)
        self.assertIn("type=file;size=5;modify=20190607080910;", mlst)
        with self.assertRaises(ftplib.error_perm) as e:
            ftp.sendcmd("MLST ml/none")
        self.assertTrue(str(e.exception).startswith("501 "))

    def test_hash_and_mfmt(self):
        data = os.urandom(3 * 1024 * 1024 + 7)
        self.write("h/file.bin", data)
        ftp = self.login()
        reply = ftp.sendcmd("HASH h/file.bin").split(" ")
        self.assertEqual(reply[:3], ["213", "SHA-256", "0-%d" % (len(data) - 1)])
        self.assertEqual(reply[3], hashlib.sha256(data).hexdigest())
        ftp.sendcmd("OPTS HASH MD5")
        self.assertEqual(ftp.sendcmd("HASH h/file.bin").split(" ")[3], hashlib.md5(data).hexdigest())
        self.assertTrue(ftp.sendcmd("MFMT 20190607080910 h/file.bin").startswith("213 Modify=20190607080910; "))
        self.assertEqual(int(os.stat(self.path("h/file.bin")).st_mtime), OLD)
        self.assertEqual(ftp.sendcmd("MDTM h/file.bin"), "213 20190607080910.000")

    def test_hash_of_1_gib_keeps_other_sessions_answering(self):
        # A sparse file: the digest still reads every byte, the disk holds none.
        size = 1 << 30
        with open(self.path("big.bin"), "wb") as f:
            f.truncate(size)
        self.addCleanup(os.remove, self.path("big.bin"))
        hasher, other = self.login(), self.login()
        hasher.sock.settimeout(300)
        replies = []
        worker = threading.Thread(target=lambda: replies.append(hasher.sendcmd("HASH big.bin")))
        worker.start()
        latencies = []
        while worker.is_alive() and len(latencies) < 10000:
            started = time.monotonic()
            self.assertEqual(other.sendcmd("NOOP"), "200 NOOP Command okay.")
            latencies.append(time.monotonic() - started)
        worker.join(300)
        self.assertFalse(worker.is_alive())
        zeros, digest = bytes(1 << 20), hashlib.sha256()
        for _ in range(size >> 20):
            digest.update(zeros)
        self.assertEqual(replies[0].split(" ")[:4], ["213", "SHA-256", "0-%d" % (size - 1), digest.hexdigest()])
        # The digest took many NOOPs' time; the median one stayed quick. The
        # median, not the worst: a busy test machine may stall any process.
        self.assertGreaterEqual(len(latencies), 10)
        self.assertLess(statistics.median(latencies), 0.050)

    @unittest.skipUnless(has_ipv6_loopback(), "no IPv6 loopback")
    def test_curl_over_ipv6(self):
        data = os.urandom(200_001)
        src = os.path.join(self.local, "src.bin")
        with open(src, "wb") as f:
            f.write(data)
        base = "ftp://[::1]:%d/" % self.port
        for mode, extra in (("passive", []), ("active", ["-P", "::1"])):
            with self.subTest(mode):
                curl = ["curl", "-g", "-sS", "--connect-timeout", "10", "--max-time", "60",
                        "-u", "anonymous:test@", *extra]
                run_client(curl + ["--ftp-create-dirs", "-T", src, base + "v6" + mode + "/up.bin"])
                with open(self.path("v6" + mode + "/up.bin"), "rb") as f:
                    self.assertEqual(f.read(), data)
                out = os.path.join(self.local, mode + ".down")
                run_client(curl + ["-o", out, base + "v6" + mode + "/up.bin"])
                with open(out, "rb") as f:
                    self.assertEqual(f.read(), data)
                self.assertIn("up.bin", run_client(curl + [base + "v6" + mode + "/"]))

    @unittest.skipUnless(has_ipv6_loopback(), "no IPv6 loopback")
    def test_lftp_over_ipv6_keeps_dates(self):
        src = os.path.join(self.local, "tree")
        os.makedirs(os.path.join(src, "deep"))
        for name in ("one.txt", "deep/two.txt"):
            path = os.path.join(src, name)
            with open(path, "wb") as f:
                f.write(os.urandom(1000))
            os.utime(path, (OLD, OLD))
        script = ("set cmd:fail-exit yes; set net:max-retries 1; set net:timeout 10; set ftp:ssl-allow no; "
                  "open -u anonymous,test@ ftp://[::1]:%d; mirror -R %s lftp6; cls -l lftp6" % (self.port, src))
        out = run_client(["lftp", "-c", script])
        self.assertIn("deep", out)
        for name in ("one.txt", "deep/two.txt"):
            self.assertEqual(int(os.stat(self.path("lftp6/" + name)).st_mtime), OLD, name)

    @unittest.skipUnless(shutil.which("rclone"), "rclone is not installed")
    def test_rclone_sync_then_check_keeps_modification_times(self):
        src = os.path.join(self.local, "rsrc")
        os.makedirs(os.path.join(src, "deep"))
        for i, name in enumerate(("a.bin", "deep/b.bin", "deep/c.txt")):
            path = os.path.join(src, name)
            with open(path, "wb") as f:
                f.write(os.urandom(10_000 + i))
            os.utime(path, (OLD + i, OLD + i))
        password = run_client(["rclone", "obscure", "test@"]).strip()
        remote = ":ftp,host=127.0.0.1,port=%d,user=anonymous,pass=%s:rclone" % (self.port, password)
        env = dict(os.environ, RCLONE_CONFIG="/dev/null")
        run_client(["rclone", "sync", src, remote], env=env)
        run_client(["rclone", "check", src, remote], env=env)
        for i, name in enumerate(("a.bin", "deep/b.bin", "deep/c.txt")):
            self.assertEqual(int(os.stat(self.path("rclone/" + name)).st_mtime), OLD + i, name)
        # The listing rclone reads (MLSD) shows the times it set.
        listing = run_client(["rclone", "lsl", remote], env=env)
        self.assertIn("2019-06-07 08:09:10", listing)


if __name__ == "__main__":
    unittest.main()
