"""Starts the real vendrix-ftpd for a test or a benchmark and stops it at the
end, and builds the base folders it runs on.

Only loopback addresses; every process is stopped and every socket closed
by the time a test class finishes. The daemon is $VENDRIX_FTPD, else the one
in build/dev.
"""
import hashlib
import os
import random
import resource
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FTPD = os.environ.get("VENDRIX_FTPD", os.path.join(REPO, "build", "dev", "app", "vendrix-ftpd"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connectable(port):
    """True when a server on 127.0.0.1:port greets with 220."""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            return s.recv(100).startswith(b"220 ")
    except OSError:
        return False


def wait_until(check, seconds=20):
    """Polls check() until it holds or the time is up; returns its last value."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        if check():
            return True
        time.sleep(0.05)
    return check()


def md5_hex(text):
    """A password as the account file keeps it."""
    return hashlib.md5(text.encode()).hexdigest().upper()


class Daemon:
    """The daemon writes its output to a file, never to a pipe nobody reads."""

    def __init__(self, *args, cwd=None, ready="Listening on port", env=None, port=None):
        self.port = port or free_port()
        self.args = [FTPD, "--listen", "127.0.0.1", "--port", str(self.port), *args]
        self.log = tempfile.NamedTemporaryFile(prefix="vendrix-ftpd-", suffix=".out", delete=False)
        self.proc = subprocess.Popen(self.args, stdout=self.log, stderr=subprocess.STDOUT, cwd=cwd, env=env)
        deadline = time.time() + 20
        while time.time() < deadline:
            if ready in self.output() or self.proc.poll() is not None:
                break
            time.sleep(0.05)
        if ready not in self.output():
            self.stop()
            raise RuntimeError("vendrix-ftpd did not start: " + self.output())

    def output(self):
        with open(self.log.name, errors="replace") as f:
            return f.read()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        return self.proc.returncode

    def __del__(self):
        try:
            os.unlink(self.log.name)
        except OSError:
            pass


class BaseFolder:
    """A program folder of its own under the temporary folder: conf/config.ini
    (section "Setup" with "Port" 21 and the `setup` keys), conf/users.ini
    (`users`), log/, the tree's language files in lng/, and home/ for accounts
    to share. remove() deletes it all."""

    def __init__(self, setup=None, users=""):
        self.path = tempfile.mkdtemp(prefix="vendrix-base-")
        self.home = self.file("home") + "/"
        for sub in ("conf", "log", "home"):
            os.makedirs(self.file(sub))
        shutil.copytree(os.path.join(REPO, "lng"), self.file("lng"))
        keys = {"Port": 21, **(setup or {})}
        self.write("conf/config.ini", "[Setup]\n" + "".join(f"{k}={v}\n" for k, v in keys.items()))
        self.write("conf/users.ini", users)

    def file(self, *parts):
        return os.path.join(self.path, *parts)

    def write(self, name, text):
        with open(self.file(name), "w") as f:
            f.write(text)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class DaemonTest(unittest.TestCase):
    """A daemon serving a scratch folder (self.root) for the whole class."""

    daemon_args = ()

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vendrix-e2e-")
        cls.daemon = Daemon("--root", cls.root, "--write", *cls.daemon_args)
        cls.port = cls.daemon.port

    @classmethod
    def tearDownClass(cls):
        code = cls.daemon.stop()
        shutil.rmtree(cls.root, ignore_errors=True)
        if code != 0:
            raise AssertionError("vendrix-ftpd exited with %s:\n%s" % (code, cls.daemon.output()))

    def path(self, name):
        return os.path.join(self.root, name)


def run_client(args, timeout=120, **kw):
    """Runs a client program to its end; a non-zero exit fails with its output."""
    done = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout, **kw)
    if done.returncode != 0:
        raise AssertionError("%s exited with %d:\n%s" % (args[0], done.returncode, done.stdout.decode(errors="replace")))
    return done.stdout.decode(errors="replace")


def make_tree(top, files, dirs, seed):
    """Writes `files` files of random bytes spread over the nested folders
    `dirs` (relative, "" is top itself). Sizes are mostly small, every 50th
    file is empty and every 40th is a few hundred KB."""
    rng = random.Random(seed)
    for d in dirs:
        os.makedirs(os.path.join(top, d), exist_ok=True)
    for i in range(files):
        if i % 50 == 0:
            size = 0
        elif i % 40 == 1:
            size = rng.randint(200_000, 400_000)
        else:
            size = rng.randint(1, 20_000)
        name = "file %03d.bin" % i if i % 3 else "f%03d" % i
        with open(os.path.join(top, dirs[i % len(dirs)], name), "wb") as f:
            f.write(rng.randbytes(size))


def tree_hashes(top):
    """{relative path: SHA-256} of every file under top, and the set of folders."""
    files, folders = {}, set()
    for here, subdirs, names in os.walk(top):
        rel = os.path.relpath(here, top)
        for d in subdirs:
            folders.add(os.path.normpath(os.path.join(rel, d)))
        for n in names:
            with open(os.path.join(here, n), "rb") as f:
                files[os.path.normpath(os.path.join(rel, n))] = hashlib.sha256(f.read()).hexdigest()
    return files, folders


def raise_open_files(want):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    target = min(max(soft, want), hard)
    resource.setrlimit(resource.RLIMIT_NOFILE, (target, hard))
    return target


# The folders of the tree every client workflow moves: blanks, UTF-8 and a
# leading "-" in names, and folders five levels deep.
CLIENT_FOLDERS = ["", "docs", "docs/old notes", "-lead dash", "Ünïcødé", "Ünïcødé/日本 語", "a/b/c/d"]
BIG_SIZE = 64 * 1024 * 1024


def make_client_tree(top, seed=11):
    """Writes the client tree under top: small random files over
    CLIENT_FOLDERS (the first one empty), a file whose name starts with "-",
    one with a UTF-8 name, and a 64 MiB file. Returns its tree_hashes."""
    make_tree(top, 28, CLIENT_FOLDERS, seed)
    rng = random.Random(seed)
    with open(os.path.join(top, "-dash start.txt"), "wb") as f:
        f.write(b"a name that looks like an option\n")
    with open(os.path.join(top, "Ünïcødé", "日本 語", "ファイル.txt"), "wb") as f:
        f.write("ünïcødé\n".encode())
    with open(os.path.join(top, "docs", "big file.bin"), "wb") as f:
        f.write(rng.randbytes(BIG_SIZE))
    return tree_hashes(top)


class ClientTreeTest(DaemonTest):
    """A daemon whose account root holds the client tree in "pub" (clients
    work below the account root), and a local scratch folder per test."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.original = make_client_tree(os.path.join(cls.root, "pub"))

    def setUp(self):
        self.local = tempfile.mkdtemp(prefix="vendrix-client-")
        self.addCleanup(shutil.rmtree, self.local, True)

    def assertSameTree(self, top, msg=None):
        self.assertEqual(tree_hashes(top), self.original, msg)
