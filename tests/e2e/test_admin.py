"""The daemon's administration commands end to end: refused arguments, the
base folder it picks, "user" to manage accounts (a made-up account then logs
in with curl) and "check" reporting each kind of problem; the readiness
message to a service manager."""
import os
import shutil
import socket
import subprocess
import tempfile
import unittest

from ftpd import FTPD, BaseFolder, Daemon, free_port, md5_hex, run_client


def ftpd(*args, env=None, stdin=None):
    return subprocess.run([FTPD, *args], input=stdin, capture_output=True, text=True, timeout=60,
                          env=env, stdin=None if stdin is not None else subprocess.DEVNULL)


class RefusedArguments(unittest.TestCase):
    def test_bad_arguments_are_refused_at_once(self):
        cases = [
            (["--base", "/nonexistent"], "vendrix-ftpd: the base folder does not exist: /nonexistent\n"),
            (["--port", "99999"], "vendrix-ftpd: the port must be a number from 1 to 65535: 99999\n"),
            (["--frobnicate"], "vendrix-ftpd: unknown option: --frobnicate\n"),
            (["frobnicate"], "vendrix-ftpd: unknown command: frobnicate (commands: user, check)\n"),
            (["user", "add", "ann"], "vendrix-ftpd: user add: --home DIR is required\n"),
            (["user", "rename", "ann"], "vendrix-ftpd: user: unknown action: rename\n"),
        ]
        base = BaseFolder()
        self.addCleanup(base.remove)
        for args, err in cases:
            with self.subTest(args):
                done = ftpd("--base", base.path, *args) if args[0] in ("user", "frobnicate") else ftpd(*args)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (2, "", err))

    def test_first_start_makes_the_user_folder_and_help_names_it(self):
        home = tempfile.mkdtemp(prefix="vendrix-xdg-")
        self.addCleanup(shutil.rmtree, home, True)
        env = dict(os.environ, XDG_CONFIG_HOME=home)
        base = os.path.join(home, "vendrix-ftp") + "/"
        # The build tree's executable folder holds no conf/.
        self.assertFalse(os.path.isdir(os.path.join(os.path.dirname(FTPD), "conf")))
        done = ftpd("--help", env=env)
        self.assertIn("Base folder: %s (the user's configuration folder)" % base, done.stdout)
        self.assertFalse(os.path.exists(base))
        done = ftpd("user", "list", env=env)
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, "", ""))
        for sub in ("conf", "log"):
            self.assertTrue(os.path.isdir(base + sub), sub)
        with open(base + "conf/config.ini") as f:
            self.assertIn("LangFile=english", f.read())


class UserCommands(unittest.TestCase):
    def setUp(self):
        self.base = BaseFolder()
        self.addCleanup(self.base.remove)
        with open(self.base.file("home", "hello.txt"), "w") as f:
            f.write("hello from ann\n")

    def user(self, *args, stdin=None):
        return ftpd("--base", self.base.path, "user", *args, stdin=stdin)

    def users_ini(self):
        with open(self.base.file("conf", "users.ini")) as f:
            return f.read()

    def test_add_then_log_in_with_curl(self):
        done = self.user("add", "ann", "--home", self.base.home, "--rights", "dsu", "--password-stdin",
                         stdin="s3cret\n")
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, "Account ann added.\n", ""))
        self.assertEqual(self.users_ini(),
                         "[ann]\nHomePath=%s\nPassword=%s\nVirtualDir=0\nDir0=%s|DU______S__|\n"
                         % (self.base.home, md5_hex("s3cret"), self.base.home))
        daemon = Daemon("--base", self.base.path)
        try:
            url = "ftp://127.0.0.1:%d/hello.txt" % daemon.port
            out = run_client(["curl", "-sS", "--max-time", "30", "-u", "ann:s3cret", url])
            self.assertEqual(out, "hello from ann\n")
            # A new password counts from the next login of the running server.
            done = self.user("passwd", "ANN", "--password-stdin", stdin="other\n")
            self.assertEqual((done.returncode, done.stdout), (0, "Password of ann changed.\n"))
            out = run_client(["curl", "-sS", "--max-time", "30", "-u", "ann:other", url])
            self.assertEqual(out, "hello from ann\n")
            refused = subprocess.run(["curl", "-sS", "--max-time", "30", "-u", "ann:s3cret", url],
                                     capture_output=True, timeout=60)
            self.assertEqual(refused.returncode, 67)  # login denied
        finally:
            self.assertEqual(daemon.stop(), 0)

    def test_add_an_account_that_logs_in_only_over_tls(self):
        done = self.user("add", "cat", "--home", self.base.home, "--require-tls", "--password-stdin", stdin="pw\n")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        self.assertEqual(self.user("show", "cat").stdout,
                         "[cat]\nHomePath=%s\nPassword=(set)\nVirtualDir=0\nRequireTLS=1\nDir0=%s|D_______S__|\n"
                         % (self.base.home, self.base.home))

    def test_list_show_del_and_refusals(self):
        add = ["add", "--home", self.base.home, "--password-stdin"]
        self.assertEqual(self.user(*add, "ann", stdin="pw\n").returncode, 0)
        self.assertEqual(self.user("add", "anonymous", "--home", self.base.home, "--virtual").returncode, 0)
        self.assertEqual(self.user("list").stdout, "ann\nanonymous\n")
        self.assertEqual(self.user("show", "Ann").stdout,
                         "[ann]\nHomePath=%s\nPassword=(set)\nVirtualDir=0\nDir0=%s|D_______S__|\n"
                         % (self.base.home, self.base.home))
        cases = [
            (self.user(*add, "ANN", stdin="pw\n"), 1, "vendrix-ftpd: the account exists already: ann\n"),
            (self.user(*add, "a/b", stdin="pw\n"), 2,
             'vendrix-ftpd: invalid account name: a/b (empty, or holding one of \\ / : | * ? " < > [ ] or a '
             "control character)\n"),
            (self.user(*add, "bob", "--rights", "DL", stdin="pw\n"), 2,
             "vendrix-ftpd: unknown rights letters: DL (letters: DUAEMRYSV)\n"),
            (self.user("add", "bob", "--home", self.base.file("none"), stdin="pw\n"), 1,
             "vendrix-ftpd: the home folder does not exist: %s\n" % self.base.file("none")),
            (self.user(*add, "bob", stdin=""), 1,
             "vendrix-ftpd: no password given: type it on a terminal or use --password-stdin\n"),
            (self.user(*add, "bob", stdin="\n"), 1, "vendrix-ftpd: the password is empty\n"),
            (self.user("add", "bob", "--home", self.base.home), 1,
             "vendrix-ftpd: no password given: type it on a terminal or use --password-stdin\n"),
            (self.user("del", "carol"), 1, "vendrix-ftpd: no such account: carol\n"),
            (self.user("show"), 2, "vendrix-ftpd: user show: give one account name\n"),
        ]
        for done, code, err in cases:
            with self.subTest(err):
                self.assertEqual((done.returncode, done.stderr), (code, err))
        done = self.user("del", "ANONYMOUS")
        self.assertEqual((done.returncode, done.stdout), (0, "Account anonymous deleted.\n"))
        self.assertEqual(self.user("list").stdout, "ann\n")


class Check(unittest.TestCase):
    def setUp(self):
        self.base = BaseFolder()
        self.addCleanup(self.base.remove)

    def check(self):
        done = ftpd("--base", self.base.path, "check")
        return done.returncode, done.stdout

    def test_a_sound_folder_passes(self):
        port = free_port()
        self.base.write("conf/config.ini", "[Setup]\nPort=%d\n" % port)
        self.base.write("conf/users.ini", "[ann]\nPassword=%s\nHomePath=%s\nDir0=%s|D_______S__|\n"
                        % (md5_hex("pw"), self.base.home, self.base.home))
        self.assertEqual(self.check(), (0, "No problems found in %s/\n" % self.base.path))

    def test_each_kind_of_problem(self):
        conf = self.base.file("conf", "config.ini")
        users = self.base.file("conf", "users.ini")
        missing = self.base.file("missing")
        port = free_port()
        home = self.base.home
        with socket.socket() as taken:
            taken.bind(("0.0.0.0", port))
            taken.listen()
            self.base.write("conf/config.ini", "[Setup]\nPort=%d\nPorte=21\nLangFile=klingon\n[Extra]\nA=1\n"
                            "[IP Deny]\nIP0=10.0.0.1\n" % port)
            self.base.write("conf/users.ini",
                            "[ann]\nPassword=%s\nHomePath=%s\nDir0=%s|DX|\nDir1=%s|D_______S__|\nColour=red\n"
                            "[bob]\nPassword=%s\nHomePath=%s\n[anonymous]\nHomePath=%s\n"
                            % (md5_hex("pw").lower(), home, home, missing, md5_hex("pw"), missing, home))
            code, out = self.check()
        lng = os.path.join(self.base.path, "lng") + "/klingon.lng"
        self.assertEqual(code, 1)
        self.assertEqual(out.splitlines(), [
            conf + ": unknown key Porte in [Setup]",
            conf + ": unknown section [Extra]",
            conf + ": port %d is taken (by a running server or another program)" % port,
            conf + ": language file %s does not exist (the built-in English texts are used)" % lng,
            users + ": account ann: unknown key Colour",
            users + ": account ann: the password is not an upper-case MD5 digest: no password matches",
            users + ': account ann: malformed rights "DX" for %s (11 places, each one of DUAEMRYSV or _)' % home,
            users + ": account ann: the access entry's folder does not exist: " + missing,
            users + ": account bob: the home folder does not exist: " + missing,
        ])

    def test_missing_and_unreadable_files(self):
        os.remove(self.base.file("conf", "config.ini"))
        os.remove(self.base.file("conf", "users.ini"))
        os.mkdir(self.base.file("conf", "users.ini"))  # unreadable even for root
        code, out = self.check()
        self.assertEqual((code, out.splitlines()), (1, [
            self.base.file("conf", "config.ini") + ": missing (the server has no port to listen on)",
            self.base.file("conf", "users.ini") + ": cannot be read: not a file",
        ]))


class ServiceManager(unittest.TestCase):
    def test_ready_is_announced_on_the_notify_socket(self):
        folder = tempfile.mkdtemp(prefix="vendrix-notify-")
        self.addCleanup(shutil.rmtree, folder, True)
        path = os.path.join(folder, "notify")
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as manager:
            manager.bind(path)
            manager.settimeout(30)
            daemon = Daemon("--root", folder, env=dict(os.environ, NOTIFY_SOCKET=path))
            try:
                self.assertEqual(manager.recv(100), b"READY=1")
            finally:
                self.assertEqual(daemon.stop(), 0)
            self.assertEqual(manager.recv(100), b"STOPPING=1")


if __name__ == "__main__":
    unittest.main()
