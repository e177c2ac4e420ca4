#!/usr/bin/env python3
"""Capture without the driver, end to end: the Windows capture client under wine64 in a
network namespace of its own answers NetBIOS name queries that a Linux socket in a second
namespace sends over a veth pair.

  wine_capture_test.py WINE_RUN CAPTURE_PROBE_EXE WINEPREFIX METHOD

METHOD socket: the probe must start the UDP-socket capture; a broadcast query for a "GR-" name
from port 137 must be answered with the 62-byte response, byte for byte, to port 137; a query for
another name and a "GR-" query from another port (which the driver's filter drops) must not be.
METHOD raw: Wine cannot create a raw IPv4 socket for every protocol (Linux raw sockets need
one), so the start must fail with result 2 or 3 and stop must return 0; should a later Wine start
it, the socket checks run for it as well.

Exit status 0 passed, 1 failed, 77 skipped (not root, no network namespaces).
"""
import os
import random
import shutil
import socket
import subprocess
import sys
import tempfile
import time

REC_ADDRESS = "10.214.0.1"
DST_ADDRESS = "10.214.0.2"
BROADCAST = "10.214.0.255"
PORT = 137
ANSWER_WAIT_S = 5.0
QUIET_WAIT_S = 1.5


def encode_name(name):
    padded = (name.encode("ascii") + b" " * 16)[:16]
    out = bytearray()
    for byte in padded:
        out.append(ord("A") + (byte >> 4))
        out.append(ord("A") + (byte & 0x0F))
    return bytes(out)


def name_query(transaction, name):
    header = transaction.to_bytes(2, "big") + bytes([0x01, 0x10, 0, 1, 0, 0, 0, 0, 0, 0])
    return header + bytes([0x20]) + encode_name(name) + bytes([0, 0x00, 0x20, 0x00, 0x01])


def expected_answer(transaction, address):
    """The response as the responder builds it, written down from its layout."""
    return (bytes([0x01, transaction & 0xFF, 0x85, 0x00, 0, 0, 0, 1, 0, 0, 0, 0, 0x20])
            + encode_name("KESTOV-A") + bytes([0, 0x00, 0x20, 0x00, 0x01, 0, 0, 0, 0, 0x00, 0x06,
                                              0x00, 0x00]) + socket.inet_aton(address))


def querier():
    """Runs inside the recorder's namespace: prints one line per check, exits 0 when all hold."""
    answers = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    answers.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    answers.bind((REC_ADDRESS, PORT))
    elsewhere = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    elsewhere.bind((REC_ADDRESS, 5137))
    elsewhere.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)

    def collect(seconds):
        got = []
        answers.settimeout(0.1)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            try:
                data, sender = answers.recvfrom(2048)
            except socket.timeout:
                continue
            if sender[0] != REC_ADDRESS:  # our own broadcasts come back: not answers
                got.append((data, sender))
        return got

    ok = True
    answers.sendto(name_query(0x1101, "WORKGROUP"), (BROADCAST, PORT))
    elsewhere.sendto(name_query(0x2202, "GR-E2E"), (BROADCAST, PORT))
    stray = collect(QUIET_WAIT_S)
    if stray:
        print(f"FAIL: answered what must be ignored: {stray!r}")
        ok = False
    answers.sendto(name_query(0x3303, "gr-e2e"), (BROADCAST, PORT))
    got = collect(ANSWER_WAIT_S)
    want = expected_answer(0x3303, DST_ADDRESS)
    if not got:
        print("FAIL: the GR- query was not answered")
        return 1
    data, sender = got[0]
    if sender != (DST_ADDRESS, sender[1]):
        print(f"FAIL: answer from {sender}, expected from {DST_ADDRESS}")
        ok = False
    if data != want:
        print(f"FAIL: answer {data.hex()} differs from {want.hex()}")
        ok = False
    if len(got) != 1:
        print(f"FAIL: {len(got)} answers to one query")
        ok = False
    if ok:
        print(f"answer ok: {len(data)} bytes from {sender[0]}:{sender[1]}")
    return 0 if ok else 1


def main():
    if len(sys.argv) == 2 and sys.argv[1] == "--query":
        return querier()
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    wine_run, probe, prefix, method = sys.argv[1:]
    if os.geteuid() != 0 or shutil.which("ip") is None:
        print("SKIP: needs root and iproute2 to create network namespaces")
        return 77
    tag = "kw%06x" % random.randrange(1 << 24)
    ns_rec, ns_dst = tag + "-rec", tag + "-dst"
    work = tempfile.mkdtemp()
    wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    env = dict(os.environ, WINEPREFIX=prefix)

    def ip(*args):
        subprocess.run(["ip", *args], check=True, capture_output=True, timeout=20)

    probe_process = None
    try:
        try:
            ip("netns", "add", ns_rec)
        except subprocess.CalledProcessError as error:
            print(f"SKIP: cannot create network namespaces: {error.stderr.decode().strip()}")
            return 77
        ip("netns", "add", ns_dst)
        ip("link", "add", tag + "r", "type", "veth", "peer", "name", tag + "d")
        ip("link", "set", tag + "r", "netns", ns_rec)
        ip("link", "set", tag + "d", "netns", ns_dst)
        ip("-n", ns_rec, "addr", "add", REC_ADDRESS + "/24", "brd", "+", "dev", tag + "r")
        ip("-n", ns_dst, "addr", "add", DST_ADDRESS + "/24", "brd", "+", "dev", tag + "d")
        for ns, link in ((ns_rec, tag + "r"), (ns_dst, tag + "d")):
            ip("-n", ns, "link", "set", "lo", "up")
            ip("-n", ns, "link", "set", link, "up")

        # Wine's sockets live in its wineserver: it must be started inside the namespace (the
        # probe's first run also creates the prefix there).
        subprocess.run([wineserver, "-k"], env=env, capture_output=True, timeout=30)
        probe_process = subprocess.Popen(
            ["ip", "netns", "exec", ns_dst, "timeout", "120", wine_run, probe, method],
            env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            text=True)
        started = probe_process.stdout.readline().split()
        print(f"probe ({method}): {' '.join(started)}")
        if len(started) < 2 or started[0] != "start":
            print("FAIL: the probe did not report its start")
            return 1
        result = int(started[1])
        if result != 0:
            stopped = probe_process.stdout.readline().split()
            probe_process.wait(timeout=30)
            if method == "raw" and result in (2, 3) and stopped == ["stop", "0"]:
                print("raw: Wine cannot open the raw socket; start reported "
                      f"{result}, stop 0 (the receive path is not reachable here)")
                return 0
            print(f"FAIL: start {result}, then {' '.join(stopped)}")
            return 1
        if started[2] != method:
            print(f"FAIL: {started[2]} runs instead of {method}")
            return 1
        query = subprocess.run(["ip", "netns", "exec", ns_rec, sys.executable, __file__,
                                "--query"], capture_output=True, text=True, timeout=60)
        print(query.stdout, end="")
        probe_process.stdin.close()
        stopped = probe_process.stdout.readline().split()
        probe_process.wait(timeout=30)
        if stopped != ["stop", "0"]:
            print(f"FAIL: stop reported {' '.join(stopped)}")
            return 1
        return query.returncode
    finally:
        if probe_process is not None and probe_process.poll() is None:
            probe_process.kill()
        subprocess.run([wineserver, "-k"], env=env, capture_output=True, timeout=30)
        for ns in (ns_rec, ns_dst):
            pids = subprocess.run(["ip", "netns", "pids", ns], capture_output=True, text=True)
            for pid in pids.stdout.split():
                try:
                    os.kill(int(pid), 9)
                except (ProcessLookupError, ValueError):
                    pass
            subprocess.run(["ip", "netns", "del", ns], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
