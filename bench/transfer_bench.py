#!/usr/bin/env python3
"""Transfers of kestov-a against vsftpd and against the raw limit (run by hand, not in CI).

Each round runs, in an order that alternates from round to round, every server on:
  (a) one STOR of SIZE (1 GiB)            (b) 4 concurrent STORs of SIZE/4
  (c) one RETR of SIZE                    (d) one programme dubbing of SIZE by kestov-recorder
Servers: kestov-a (kernel moves), kestov-a with KESTOVA_PLAIN_TRANSFERS=1 (buffered moves),
vsftpd, and raw baselines from bench/raw_ftp_baseline.c (recv+write of 64 KiB blocks, splice
through a 64 KiB pipe and through a 1 MiB pipe for uploads, read+send and sendfile for
downloads). curl is the client of (a)-(c) (with --client sendfile, bench/sendfile_stor.c
uploads in (a) and (b)); (d) is kestov-a only, run right after the same server's (a), the
recorder sending a stream prepared once with --write-stream whole with sendfile() (its own CPU
is reported apart). Prints medians in MB/s, ratios to vsftpd and to
the baselines (medians of the per-round ratios), server CPU seconds per GiB and peak RSS.

The clients' own CPU (curl's, the sendfile client's, the recorder's) is printed under each
table: on loopback the sender's copies run on the same cores, so no server can move bytes
faster than the client can produce them.

Usage: bench/transfer_bench.py PATH-TO-kestov-a PATH-TO-kestov-recorder [--size-mib 1024]
       [--rounds 5] [--only abcd] [--work-dir DIR] [--client curl|sendfile]
Needs curl, vsftpd and cc; run as root (vsftpd). Folders are under $TMPDIR (page cache)
unless --work-dir says otherwise. Before each upload as much memory as it writes is
touched and freed, so that on a virtual machine every server writes into pages its host
has backed (see warm_memory). A guest whose kernel reports free pages to the host
(virtio-balloon free page reporting) hands the freed pages back within seconds and must
fault them in again; the script leaves the machine's settings as they are: its figures are
those of the machine as it is, read through rounds and paired ratios.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from stor_bench import (cpu_ticks, descendants, peak_rss_kib, start_kestova,  # noqa: E402
                        start_vsftpd, stop)

HERE = os.path.dirname(os.path.abspath(__file__))


class Server:
    def __init__(self, name, proc, port, folder, prefix):
        self.name, self.proc, self.port, self.folder, self.prefix = (name, proc, port, folder,
                                                                     prefix)
        self.peak_kib = 0


def start_raw(binary, mode, work):
    folder = os.path.join(work, "raw-" + mode)
    os.makedirs(folder)
    proc = subprocess.Popen([binary, mode, folder], stdout=subprocess.PIPE)
    port = int(proc.stdout.readline().split()[1])
    return Server("raw " + mode, proc, port, folder, "")


def warm_memory(size):
    """Touches and frees `size` bytes plus a margin. A virtual machine whose host takes
    back free memory (virtio-balloon free page reporting) must fault fresh pages in from
    the host; an upload into the page cache takes that many fresh pages, so without this
    its figures depend on how much memory the host had taken back since the last round."""
    block = bytearray(b"\x01") * (size + (size >> 3))
    del block


def run_clients(server, commands, warm=0):
    """Runs the client commands at once; returns (seconds, server CPU seconds, the
    clients' CPU seconds). Samples the server's processes meanwhile for CPU and peak RSS.
    Earlier writes are flushed first, so their writeback does not fall into this
    measurement; `warm` bytes of memory are touched and freed just before it (see
    warm_memory)."""
    os.sync()
    if warm:
        warm_memory(warm)
    pids = [server.proc.pid] + descendants(server.proc.pid)
    before = os.times()
    first = {pid: cpu_ticks(pid) or 0 for pid in pids}
    last = dict(first)
    start = time.monotonic()
    clients = [subprocess.Popen(c, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
               for c in commands]
    while any(c.poll() is None for c in clients):
        for pid in [server.proc.pid] + descendants(server.proc.pid):
            server.peak_kib = max(server.peak_kib, peak_rss_kib(pid) or 0)
            ticks = cpu_ticks(pid)
            if ticks is not None:
                first.setdefault(pid, 0)  # a new session process starts from nothing
                last[pid] = max(last.get(pid, 0), ticks)
        time.sleep(0.01)
    seconds = time.monotonic() - start
    after = os.times()
    for c in clients:
        if c.returncode != 0:
            sys.exit("%s: client failed: %s" % (server.name, c.stderr.read().decode()))
    hertz = os.sysconf("SC_CLK_TCK")
    clients_cpu = (after.children_user + after.children_system -
                   before.children_user - before.children_system)
    return seconds, sum(last[p] - first[p] for p in last) / hertz, clients_cpu


def stor_command(uploader, server, source, name):
    """The upload client: curl, or the sendfile client when `uploader` is its path."""
    if uploader:
        return [uploader, str(server.port), source, server.prefix + name]
    return ["curl", "-sS", "-o", "/dev/null", "-T", source,
            "ftp://127.0.0.1:%d/%s%s" % (server.port, server.prefix, name)]


def curl_retr(server, name):
    return ["curl", "-sS", "-o", "/dev/null",
            "ftp://127.0.0.1:%d/%s%s" % (server.port, server.prefix, name)]


def remove(server, name, size):
    path = os.path.join(server.folder, name)
    if os.path.getsize(path) != size:
        sys.exit("%s stored %s with the wrong size" % (server.name, name))
    os.remove(path)


def make_file(path, mib):
    with open(path, "wb") as f:
        for _ in range(mib):
            f.write(os.urandom(1 << 20))


def paired_ratio(rates, reference_rates):
    """The median of the per-round ratios: servers measured in the same round share the
    machine's state then, so a slow phase of the host cancels out."""
    return statistics.median(r / q for r, q in zip(rates, reference_rates))


def print_per_round(label, runs, reference_runs):
    """Prints the ratios of `runs` to `reference_runs` (lists of (seconds, server cpu,
    clients' cpu)) round by round, MB/s and server CPU, with their medians."""
    speeds = [rs / s for (s, _, _), (rs, _, _) in zip(runs, reference_runs)]
    cpus = [c / rc for (_, c, _), (_, rc, _) in zip(runs, reference_runs)]
    print("  %s, per round: %.2f x the MB/s, %.2f x the server CPU (medians; rounds: MB/s %s;"
          " CPU %s)" % (label, statistics.median(speeds), statistics.median(cpus),
                        " ".join("%.2f" % r for r in speeds), " ".join("%.2f" % r for r in cpus)))


def median_line(label, results, size_bytes):
    """results: name -> list of (seconds, server cpu, clients' cpu). Returns
    name -> (median MB/s, median server cpu s/GiB, every run's MB/s)."""
    table = {}
    for name, runs in results.items():
        rates = [size_bytes / s / 1e6 for s, _, _ in runs]
        cpus = [c / (size_bytes / (1 << 30)) for _, c, _ in runs]
        table[name] = (statistics.median(rates), statistics.median(cpus), rates)
    return table


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kestova")
    parser.add_argument("recorder")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only", default="abcd", help="the transfers to run, e.g. ab")
    parser.add_argument("--work-dir", default=None,
                        help="where the servers' folders go (default: the temporary folder); "
                             "/dev/shm keeps the disk's writeback out of the upload figures")
    parser.add_argument("--client", choices=("curl", "sendfile"), default="curl",
                        help="the upload client of (a) and (b): curl, or bench/sendfile_stor.c, "
                             "which sends with sendfile() and so costs less CPU than curl")
    args = parser.parse_args()
    for tool in ("curl", "vsftpd", "cc"):
        if shutil.which(tool) is None:
            sys.exit(tool + " is not installed")
    size = args.size_mib << 20
    work = tempfile.mkdtemp(prefix="kestova-bench-", dir=args.work_dir)
    os.chmod(work, 0o755)
    run(args, size, work)


def run(args, size, work):
    """Starts the servers in `work`, runs the rounds, prints the tables; removes `work`."""
    servers = []
    try:
        raw_binary = os.path.join(work, "raw_ftp_baseline")
        subprocess.check_call(["cc", "-O2", "-o", raw_binary,
                               os.path.join(HERE, "raw_ftp_baseline.c")])
        uploader = None
        if args.client == "sendfile":
            uploader = os.path.join(work, "sendfile_stor")
            subprocess.check_call(["cc", "-O2", "-o", uploader,
                                   os.path.join(HERE, "sendfile_stor.c")])
        source = os.path.join(work, "source.bin")
        # The programme of (d), prepared once: kestov-recorder then sends it whole with
        # sendfile(), so that the sender costs little and the service sets the pace.
        programme = os.path.join(work, "programme.dat")
        if "d" in args.only:
            subprocess.check_call([args.recorder, "--title", "BENCH", "--size",
                                   "%dM" % args.size_mib, "--write-stream", programme])
        make_file(source, args.size_mib)
        quarter = os.path.join(work, "quarter.bin")
        make_file(quarter, args.size_mib // 4)

        kestova = Server("kestov-a", *start_kestova(os.path.abspath(args.kestova), work))
        os.environ["KESTOVA_PLAIN_TRANSFERS"] = "1"
        plain_work = os.path.join(work, "plain")
        os.makedirs(plain_work)
        plain = Server("kestov-a plain", *start_kestova(os.path.abspath(args.kestova),
                                                        plain_work))
        del os.environ["KESTOVA_PLAIN_TRANSFERS"]
        vsftpd = Server("vsftpd", *start_vsftpd(work))
        raws = {m: start_raw(raw_binary, m, work)
                for m in ("recv", "splice", "splice1m", "send", "sendfile")}
        servers = [kestova, plain, vsftpd] + list(raws.values())
        # kestov-a's memory after a small upload, before the large ones.
        small = os.path.join(work, "small.bin")
        make_file(small, 16)
        run_clients(kestova, [stor_command(uploader, kestova, small, "small.bin")])
        small_peak = kestova.peak_kib

        # The file every download reads, in each server's folder.
        for s in (kestova, plain, vsftpd, raws["send"], raws["sendfile"]):
            shutil.copyfile(source, os.path.join(s.folder, "down.bin"))
            os.chmod(os.path.join(s.folder, "down.bin"), 0o644)

        uploaders = [kestova, plain, vsftpd, raws["recv"], raws["splice"], raws["splice1m"]]
        downloaders = [kestova, plain, vsftpd, raws["send"], raws["sendfile"]]
        results = {k: {} for k in "abcd"}
        for round_ in range(args.rounds):
            flip = (lambda xs: xs) if round_ % 2 == 0 else (lambda xs: list(reversed(xs)))
            for s in flip(uploaders) if "a" in args.only or "d" in args.only else []:
                results["a"].setdefault(s.name, []).append(
                    run_clients(s, [stor_command(uploader, s, source, "one.bin")], warm=size))
                remove(s, "one.bin", size)
                # The dubbing right after the same server's STOR: the pair shares the
                # machine's state, which drifts within a round.
                if "d" in args.only and s in (kestova, plain):
                    results["d"].setdefault(s.name, []).append(run_clients(s, [[
                        args.recorder, "--host", "127.0.0.1", "--port", str(s.port),
                        "--raw", programme]], warm=size))
                    for entry in os.listdir(s.folder):
                        if entry.endswith(".MPG"):
                            os.remove(os.path.join(s.folder, entry))
            for s in flip(uploaders) if "b" in args.only else []:
                names = ["four%d.bin" % i for i in range(4)]
                results["b"].setdefault(s.name, []).append(
                    run_clients(s, [stor_command(uploader, s, quarter, n)
                                    for n in names], warm=size))
                for n in names:
                    remove(s, n, size // 4 // (1 << 20) << 20)
            for s in flip(downloaders) if "c" in args.only else []:
                results["c"].setdefault(s.name, []).append(
                    run_clients(s, [curl_retr(s, "down.bin")]))
        for s in servers:
            stop(s.proc) if s.proc.poll() is None else None

        titles = {"a": "(a) one STOR of %d MiB" % args.size_mib,
                  "b": "(b) 4 concurrent STORs of %d MiB" % (args.size_mib // 4),
                  "c": "(c) one RETR of %d MiB" % args.size_mib,
                  "d": "(d) programme dubbing of %d MiB with kestov-recorder" % args.size_mib}
        print("%d rounds, order alternating per round; MB/s medians (10^6 bytes/s); ratios "
              "are medians of the per-round ratios" % args.rounds)
        for key in args.only:
            table = median_line(titles[key], results[key], size)
            print("\n" + titles[key])
            print("  %-16s %9s %8s %8s %8s %10s  %s" % ("server", "MB/s", "/vsftpd",
                                                       "/copying", "/kernel", "CPU s/GiB",
                                                       "runs"))
            copying = table.get("raw recv", table.get("raw send"))
            kernel = table.get("raw splice", table.get("raw sendfile"))
            vs = table.get("vsftpd")
            if key == "d":  # against the single STORs of the same rounds
                stor = median_line("", results["a"], size)
                copying, kernel, vs = (stor.get("raw recv"), stor.get("raw splice"),
                                       stor.get("vsftpd"))
            for name, (rate, cpu, rates) in table.items():
                ratios = ["%8.2f" % paired_ratio(rates, ref[2]) if ref else "%8s" % "-"
                          for ref in (vs, copying, kernel)]
                print("  %-16s %9.0f %s %10.2f  %s" % (
                    name, rate, " ".join(ratios), cpu, " ".join("%.0f" % r for r in rates)))
            client_cpu = statistics.median(c for runs in results[key].values()
                                           for _, _, c in runs) / (size / (1 << 30))
            print("  the client's own CPU (%s): %.2f s/GiB (median over every run)%s" % (
                "kestov-recorder" if key == "d" else "curl" if key == "c" else args.client,
                client_cpu,
                "; ratios to the (a) STOR figures" if key == "d" else ""))
            if key == "d" and "kestov-a" in results["a"] and "kestov-a" in results["d"]:
                # The dubbing against the plain upload of the same rounds.
                print_per_round("kestov-a dubbing / kestov-a STOR", results["d"]["kestov-a"],
                                results["a"]["kestov-a"])
            if key == "c" and "kestov-a plain" in results["c"]:
                # sendfile against read()+send() of the same rounds.
                print_per_round("kestov-a (sendfile) / kestov-a plain (read+send)",
                                results["c"]["kestov-a"], results["c"]["kestov-a plain"])
        print("\npeak RSS (KiB): " + ", ".join("%s %d" % (s.name, s.peak_kib) for s in servers))
        print("kestov-a peak RSS after a 16 MiB upload only: %d KiB" % small_peak)
    finally:
        for s in servers:
            if s.proc.poll() is None:
                s.proc.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
