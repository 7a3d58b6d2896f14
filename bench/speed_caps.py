#!/usr/bin/env python3
"""Speed caps end to end against the real daemon: a 2 MiB download under the
account's "MaxSpeed" 100 should take 19 to 23 s; two downloads sharing the
server's "GlobalMaxKS" 100 should take about twice that. Prints the figures;
asserts nothing about time (run by hand, not by the test suite)."""
import os
import sys
import time

from ftpd_bench import BaseFolder, Daemon, curl_get

SIZE = 2 * 1024 * 1024


def timed_downloads(setup, accounts, users):
    base = BaseFolder(setup, accounts)
    with open(os.path.join(base.home, "two.bin"), "wb") as f:
        f.write(os.urandom(SIZE))
    daemon = Daemon("--base", base.path)
    try:
        start = time.monotonic()
        procs = [curl_get(daemon.port, user, "two.bin") for user in users]
        results = []
        for p in procs:
            out, err = p.communicate()
            results.append((time.monotonic() - start, out.strip(), err.strip()))
        return results
    finally:
        daemon.stop()
        base.remove()


def report(title, results, low, high):
    ok = True
    for seconds, size, err in results:
        good = size == str(SIZE) and low <= seconds <= high
        ok &= good
        print(f"{title}: {seconds:6.2f} s for {size or 0} bytes"
              f" ({SIZE / 1024 / seconds:6.1f} K/s) expected {low}-{high} s {'ok' if good else 'OUT OF RANGE'}"
              + (f" [{err}]" if err else ""))
    return ok


def main():
    ok = report("MaxSpeed 100, one session", timed_downloads({}, {"capped": {"MaxSpeed": 100}}, ["capped"]), 19, 23)
    ok &= report("GlobalMaxKS 100, two sessions",
                 timed_downloads({"GlobalMaxKS": 100}, {"a": {}, "b": {}}, ["a", "b"]), 38, 46)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
