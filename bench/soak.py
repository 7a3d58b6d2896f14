"""Soak: many idle logged-in sessions while busy clients loop login, LIST,
RETR, STOR and QUIT, then a check that the daemon's handles, memory and the
account totals are what they should be. Meant for an ASan build:

    VENDRIX_FTPD=build/asan/app/vendrix-ftpd python3 bench/soak.py --duration 600

Defaults: 1,000 idle sessions, 100 busy clients, 10 minutes. Not part of the
test run; it prints its figures and exits non-zero when a check fails.
"""
import argparse
import ftplib
import io
import os
import re
import socket
import sys
import threading
import time

from ftpd_bench import BaseFolder, Daemon, md5_hex
from ftpd import raise_open_files

RETR_BYTES = 300 * 1024
STOR_BYTES = 200 * 1024


def fd_count(pid):
    return len(os.listdir(f"/proc/{pid}/fd"))


def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def idle_session(port):
    """A logged-in session that then says nothing."""
    s = socket.create_connection(("127.0.0.1", port), timeout=30)
    f = s.makefile("rb")

    def reply():
        line = f.readline()
        while len(line) >= 4 and line[3:4] == b"-":
            line = f.readline()
        return line

    reply()
    s.sendall(b"USER idle\r\n")
    reply()
    s.sendall(b"PASS secret\r\n")
    if not reply().startswith(b"230 "):
        raise RuntimeError("idle login refused")
    return s, f


class Busy(threading.Thread):
    """Loops login, LIST, RETR, STOR, QUIT from an address of its own (the
    caps on connections waiting for login are per address)."""

    def __init__(self, port, index, until):
        super().__init__(daemon=True)
        self.port, self.index, self.until = port, index, until
        self.loops = 0
        self.errors = []

    def run(self):
        source = ("127.0.%d.%d" % (1 + self.index // 250, 2 + self.index % 250), 0)
        payload = bytes(STOR_BYTES)
        while time.time() < self.until:
            try:
                with ftplib.FTP(timeout=60, source_address=source) as ftp:
                    ftp.connect("127.0.0.1", self.port)
                    ftp.login("busy", "secret")
                    ftp.retrlines("LIST", lambda _line: None)
                    got = bytearray()
                    ftp.retrbinary("RETR big.bin", got.extend)
                    if len(got) != RETR_BYTES:
                        raise RuntimeError("RETR gave %d bytes" % len(got))
                    ftp.storbinary("STOR up-%d.bin" % self.index, io.BytesIO(payload))
                    ftp.quit()
                self.loops += 1
            except Exception as e:  # noqa: BLE001 - every failure is reported
                self.errors.append(repr(e))
                if len(self.errors) > 5:
                    return


def totals(base):
    with open(base.file("conf", "users.ini")) as f:
        text = f.read()
    section = text[text.lower().index("[busy]"):]
    down = re.search(r"^TotalDownload=(\d+)", section, re.M | re.I)
    up = re.search(r"^TotalUpload=(\d+)", section, re.M | re.I)
    return int(down.group(1)) if down else 0, int(up.group(1)) if up else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--duration", type=float, default=600, help="seconds of busy load (default 600)")
    ap.add_argument("--idle", type=int, default=1000, help="idle logged-in sessions (default 1000)")
    ap.add_argument("--busy", type=int, default=100, help="looping clients (default 100)")
    args = ap.parse_args()
    raise_open_files(args.idle + 4 * args.busy + 200)

    rights = "DUEMRY__S__"
    base = BaseFolder({}, {"idle": {}, "busy": {}})
    with open(base.file("conf", "users.ini"), "w") as f:
        for name in ("idle", "busy"):
            f.write(f"[{name}]\nPassword={md5_hex('secret')}\nHomePath={base.home}\n"
                    f"Dir0={base.home}|{rights}|\n")
    with open(os.path.join(base.home, "big.bin"), "wb") as f:
        f.write(os.urandom(RETR_BYTES))
    daemon = Daemon("--base", base.path)
    failures = []
    idle = []
    try:
        pid = daemon.proc.pid
        fds_start, rss_start = fd_count(pid), rss_kb(pid)
        for _ in range(args.idle):
            idle.append(idle_session(daemon.port))
        fds_idle = fd_count(pid)
        print(f"idle sessions: {len(idle)}, daemon fds {fds_start} -> {fds_idle}, rss {rss_start} -> "
              f"{rss_kb(pid)} KB")

        until = time.time() + args.duration
        workers = [Busy(daemon.port, i, until) for i in range(args.busy)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        loops = sum(w.loops for w in workers)
        errors = [e for w in workers for e in w.errors]
        rss_busy = rss_kb(pid)
        print(f"busy loops: {loops} in {args.duration:.0f} s, errors: {len(errors)}")
        for e in errors[:10]:
            print("  ", e)
        if errors:
            failures.append("client errors")

        # Every busy session has ended: the handles are those of the idle ones.
        deadline = time.time() + 20
        while fd_count(pid) > fds_idle and time.time() < deadline:
            time.sleep(0.2)
        fds_after = fd_count(pid)
        print(f"daemon fds after the load: {fds_after} (with the idle sessions: {fds_idle})")
        if fds_after > fds_idle:
            failures.append("handles left open")

        # Totals are written as each session ends; each transfer counts its
        # own whole kilobytes.
        down, up = totals(base)
        want_down, want_up = loops * (RETR_BYTES // 1024), loops * (STOR_BYTES // 1024)
        print(f"busy totals: download {down} KB (want >= {want_down}), upload {up} KB (want >= {want_up})")
        # A loop cut short by the end of the run may have moved a file too.
        slack_down, slack_up = args.busy * (RETR_BYTES // 1024), args.busy * (STOR_BYTES // 1024)
        if not (want_down <= down <= want_down + slack_down and want_up <= up <= want_up + slack_up):
            failures.append("account totals")

        for s, f in idle:
            f.close()
            s.close()
        idle = []
        deadline = time.time() + 30
        while fd_count(pid) > fds_start and time.time() < deadline:
            time.sleep(0.2)
        fds_end, rss_end = fd_count(pid), rss_kb(pid)
        print(f"daemon fds at the end: {fds_end} (at the start: {fds_start}); rss {rss_busy} KB under load, "
              f"{rss_end} KB at the end")
        if fds_end > fds_start:
            failures.append("handles left open after the idle sessions")
    finally:
        for s, f in idle:
            f.close()
            s.close()
        code = daemon.stop()
        base.remove()
    print(f"daemon exit code: {code}")
    if code != 0:
        print(daemon.output()[-4000:])
        failures.append("daemon exit code (ASan report above)")
    print("FAILED: " + ", ".join(failures) if failures else "OK")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
