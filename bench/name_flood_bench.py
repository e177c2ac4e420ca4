#!/usr/bin/env python3
"""Name answering while the LAN is busy with other name traffic (run by hand, as root).

Two network namespaces joined by a veth pair: kestov-a answers names on one side with the
capture method given; on the other side a flooder broadcasts NetBIOS name queries for other
names (which kestov-a must look at and ignore) at --flood-rate per second, while a prober
broadcasts a "GR-" query from UDP port 137 every --probe-interval-ms and times the answer.
Prints per method: probes answered, p50/p99/max answer time in ms, the flood rate reached,
and kestov-a's CPU seconds per 10,000 queries it saw (probes and flood).

Usage: bench/name_flood_bench.py PATH-TO-kestov-a [--methods packet,socket]
       [--flood-rate 10000] [--probes 1000] [--probe-interval-ms 10]
Needs iproute2. Leaves nothing behind: the namespaces and the pair are removed at the end.
"""
import argparse
import os
import random
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from stor_bench import cpu_ticks  # noqa: E402

REC_ADDRESS, DST_ADDRESS, BROADCAST = "10.214.0.1", "10.214.0.2", "10.214.0.255"


def encode_name(name, suffix=0x20):
    """The first-level encoding of a NetBIOS name: 16 bytes (15 padded with spaces and the
    suffix), each as two letters 'A' + nibble, after a length byte of 32."""
    raw = name.upper().encode("ascii")[:15].ljust(15, b" ") + bytes([suffix])
    return b"\x20" + bytes(b for c in raw for b in (0x41 + (c >> 4), 0x41 + (c & 15))) + b"\0"


def name_query(transaction, name):
    """A broadcast NB name query (flags 0x0110: broadcast, recursion desired)."""
    return struct.pack(">HHHHHH", transaction, 0x0110, 1, 0, 0, 0) + encode_name(name) + \
        struct.pack(">HH", 0x0020, 0x0001)


def ns_exec(ns, *command):
    return ["ip", "netns", "exec", ns] + list(command)


def run(*command):
    subprocess.check_call(command, stdout=subprocess.DEVNULL)


class Namespaces:
    """The recorder side and the destination side, joined by a veth pair."""

    def __init__(self):
        tag = "kb%x" % random.randrange(1 << 24)
        self.rec, self.dst = tag + "-rec", tag + "-dst"
        self.veth_rec, self.veth_dst = tag + "r", tag + "d"

    def __enter__(self):
        run("ip", "netns", "add", self.rec)
        run("ip", "netns", "add", self.dst)
        run("ip", "link", "add", self.veth_rec, "type", "veth", "peer", "name", self.veth_dst)
        for ns, veth, address in ((self.rec, self.veth_rec, REC_ADDRESS),
                                  (self.dst, self.veth_dst, DST_ADDRESS)):
            run("ip", "link", "set", veth, "netns", ns)
            run("ip", "-n", ns, "addr", "add", address + "/24", "brd", "+", "dev", veth)
            run("ip", "-n", ns, "link", "set", "lo", "up")
            run("ip", "-n", ns, "link", "set", veth, "up")
        return self

    def __exit__(self, *_):
        for ns in (self.rec, self.dst):
            pids = subprocess.run(["ip", "netns", "pids", ns], capture_output=True,
                                  text=True).stdout.split()
            for pid in pids:
                try:
                    os.kill(int(pid), 9)
                except OSError:
                    pass
            subprocess.call(["ip", "netns", "del", ns], stderr=subprocess.DEVNULL)


FLOODER = r'''
import socket, struct, sys, time
rate, seconds, broadcast = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3]
exec(sys.argv[4])  # name_query and encode_name
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
packets = [name_query(i, "PC-%05d" % i) for i in range(1000)]
sent, start = 0, time.monotonic()
while True:
    now = time.monotonic() - start
    if now >= seconds:
        break
    due = int(now * rate)
    while sent < due:
        s.sendto(packets[sent % 1000], (broadcast, 137))
        sent += 1
    time.sleep(0.002)
print(sent, time.monotonic() - start)
'''


def probe(ns, count, interval_ms):
    """Runs the prober in the recorder namespace; returns the answer times in ms (None for
    a query not answered within a second)."""
    code = r'''
import socket, struct, sys, time
count, interval = int(sys.argv[1]), int(sys.argv[2]) / 1000.0
exec(sys.argv[4])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
# Bound to its own address, not 0.0.0.0: the flood's broadcasts, which this namespace also
# delivers to itself, must not queue up in front of the answers.
s.bind((sys.argv[5], 137))
for i in range(count):
    transaction = 0x8000 + i
    start = time.monotonic()
    s.sendto(name_query(transaction, "GR-BENCH"), (sys.argv[3], 137))
    answer = None
    while answer is None:
        left = start + 1.0 - time.monotonic()
        if left <= 0:
            break
        s.settimeout(left)
        try:
            data, _ = s.recvfrom(1500)
        except socket.timeout:
            break
        # The answer carries the query's second id byte (its first is 0x01).
        if len(data) >= 4 and data[1] == transaction & 0xFF and data[2] & 0x80:
            answer = (time.monotonic() - start) * 1000.0
    print(answer if answer is not None else "lost", flush=True)
    time.sleep(max(0.0, start + interval - time.monotonic()))
'''
    out = subprocess.run(ns_exec(ns, sys.executable, "-c", code, str(count), str(interval_ms),
                                 BROADCAST, HELPERS, REC_ADDRESS),
                         capture_output=True, text=True, timeout=count * 2 + 60).stdout
    return [None if line == "lost" else float(line) for line in out.split()]


HELPERS = "import struct\n" + "".join(
    __import__("inspect").getsource(f) for f in (encode_name, name_query))


def measure(kestova, method, args):
    with Namespaces() as ns, tempfile.TemporaryDirectory(prefix="kestova-names-") as work:
        extra = ["--interface", ns.veth_dst] if method == "socket" else []
        log_path = os.path.join(work, "kestov-a.log")
        log = open(log_path, "w")
        server = subprocess.Popen(ns_exec(ns.dst, kestova, "--folder", work + "/f", "--settings",
                                          work + "/k.ini", "--port", "2121", "--capture",
                                          method) + extra,
                                  stdout=log, stderr=subprocess.STDOUT)
        try:
            deadline = time.monotonic() + 15
            while "name answering" not in open(log_path).read():
                if time.monotonic() > deadline or server.poll() is not None:
                    sys.exit("kestov-a did not start name answering:\n" + open(log_path).read())
                time.sleep(0.1)
            pid = int(subprocess.run(["ip", "netns", "pids", ns.dst], capture_output=True,
                                     text=True).stdout.split()[0])
            seconds = args.probes * args.probe_interval_ms / 1000.0 + 2
            flooder = subprocess.Popen(ns_exec(ns.rec, sys.executable, "-c", FLOODER,
                                               str(args.flood_rate), str(seconds), BROADCAST,
                                               HELPERS), stdout=subprocess.PIPE, text=True)
            time.sleep(1)  # the flood runs before the first probe
            ticks_before = cpu_ticks(pid)
            times = probe(ns.rec, args.probes, args.probe_interval_ms)
            ticks_after = cpu_ticks(pid)
            flood_out = flooder.communicate(timeout=seconds + 30)[0].split()
        finally:
            server.kill()
            server.wait()
            log.close()
    flood_sent, flood_seconds = int(flood_out[0]), float(flood_out[1])
    answered = sorted(t for t in times if t is not None)
    cpu = (ticks_after - ticks_before) / os.sysconf("SC_CLK_TCK")
    window = args.probes * args.probe_interval_ms / 1000.0
    queries_seen = flood_sent / flood_seconds * window + len(times)
    return {
        "answered": "%d/%d" % (len(answered), len(times)),
        "p50": statistics.median(answered) if answered else float("nan"),
        "p99": answered[min(len(answered) - 1, int(len(answered) * 0.99))] if answered
        else float("nan"),
        "max": answered[-1] if answered else float("nan"),
        "flood": flood_sent / flood_seconds,
        "cpu10k": cpu / queries_seen * 10000 if queries_seen else float("nan"),
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kestova")
    parser.add_argument("--methods", default="packet,socket")
    parser.add_argument("--flood-rate", type=int, default=10000)
    parser.add_argument("--probes", type=int, default=1000)
    parser.add_argument("--probe-interval-ms", type=int, default=10)
    args = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("run as root: the benchmark creates network namespaces")
    kestova = os.path.abspath(args.kestova)
    print("GR- queries answered under a flood of %d other-name queries/s, %d probes" % (
        args.flood_rate, args.probes))
    print("  %-8s %10s %8s %8s %8s %10s %14s" % ("capture", "answered", "p50 ms", "p99 ms",
                                                 "max ms", "flood/s", "CPU s/10k q"))
    for method in args.methods.split(","):
        r = measure(kestova, method, args)
        print("  %-8s %10s %8.3f %8.3f %8.3f %10.0f %14.4f" % (
            method, r["answered"], r["p50"], r["p99"], r["max"], r["flood"], r["cpu10k"]))


if __name__ == "__main__":
    main()
