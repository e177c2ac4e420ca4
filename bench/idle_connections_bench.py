#!/usr/bin/env python3
"""Threads and resident memory of kestov-a holding idle control connections (run by hand,
not in CI).

For each configuration the script starts kestov-a on a free loopback port, opens the given
number of connections that send nothing (from one source address, or spread over many
127.0.0.x addresses), waits until the server has settled, and prints the process's thread count
(Threads) and resident memory (VmRSS) from /proc, together with how many connections were
greeted with 220 and how many refused with 421.

Usage: bench/idle_connections_bench.py PATH-TO-kestov-a [--connections 1000] [--plain]
"""
import argparse
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time


def start(binary, folder, extra):
    proc = subprocess.Popen(
        [binary, "--port", "0", "--capture", "none", "--folder", folder, "--settings",
         os.path.join(folder, "..", "k.ini")] + extra,
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    line = b""
    deadline = time.monotonic() + 15
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        if select.select([proc.stdout], [], [], 0.2)[0]:
            line += os.read(proc.stdout.fileno(), 1)
    port = int(re.search(rb"on port (\d+)", line).group(1))
    return proc, port


def proc_figures(pid):
    with open("/proc/%d/status" % pid) as status:
        text = status.read()
    threads = int(re.search(r"^Threads:\s+(\d+)", text, re.M).group(1))
    rss_kib = int(re.search(r"^VmRSS:\s+(\d+) kB", text, re.M).group(1))
    return threads, rss_kib


def first_reply(sock):
    sock.settimeout(5)
    try:
        return sock.recv(64)[:3].decode("latin-1")
    except (socket.timeout, ConnectionResetError):
        return "---"


def measure(binary, count, spread, extra):
    work = tempfile.mkdtemp(prefix="kestova-bench-")
    folder = os.path.join(work, "rec")
    proc, port = start(binary, folder, extra)
    sockets = []
    try:
        idle_threads, idle_rss = proc_figures(proc.pid)
        for i in range(count):
            sock = socket.socket()
            source = "127.0.%d.%d" % (1 + i % spread // 250, 2 + i % spread % 250) if spread > 1 \
                else "127.0.0.9"
            sock.bind((source, 0))
            sock.connect(("127.0.0.1", port))
            sockets.append(sock)
        replies = [first_reply(sock) for sock in sockets]
        time.sleep(2)
        threads, rss = proc_figures(proc.pid)
        return idle_threads, idle_rss, threads, rss, replies.count("220"), replies.count("421")
    finally:
        for sock in sockets:
            sock.close()
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=30)
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--connections", type=int, default=1000)
    parser.add_argument("--plain", action="store_true",
                        help="one run without limit options (a kestov-a from before them)")
    args = parser.parse_args()
    no_limits = ["--max-sessions", "0", "--max-per-address", "0", "--idle-timeout", "0"]
    configurations = [
        ("no limits (as before the limits), one address", 1, no_limits),
        ("default limits, one address", 1, []),
        ("default limits, 250 addresses", 250, []),
    ]
    if args.plain:
        configurations = [("as built, one address", 1, [])]
    print("%-48s %8s %10s %8s %10s %6s %6s" % ("configuration", "threads", "RSS KiB",
                                               "idle thr", "idle KiB", "220", "421"))
    for name, spread, extra in configurations:
        idle_threads, idle_rss, threads, rss, greeted, refused = measure(
            args.binary, args.connections, spread, extra)
        print("%-48s %8d %10d %8d %10d %6d %6d" % (name, threads, rss, idle_threads, idle_rss,
                                                   greeted, refused))


if __name__ == "__main__":
    main()
