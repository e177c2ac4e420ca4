#!/usr/bin/env python3
"""STOR throughput of kestov-a against vsftpd on the same machine (run by hand, not in CI).

Both servers serve a folder over loopback in passive mode, anonymous login, no logging.
curl uploads the same file (1 GiB by default) alternately to each; the script prints
the median MB/s of each server, their ratio, the servers' CPU seconds and their peak
resident memory (VmHWM of the largest process of each server, sampled during the uploads:
for vsftpd that is one session process). A short upload first shows kestov-a's memory before the large ones.

Usage: bench/stor_bench.py PATH-TO-kestov-a [--size-mib 1024] [--runs 5]
Needs curl and vsftpd (Debian: apt-get install curl vsftpd); run as root (vsftpd).
"""
import argparse
import os
import re
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, timeout=15):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def peak_rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            match = re.search(r"VmHWM:\s+(\d+) kB", f.read())
        return int(match.group(1)) if match else None
    except OSError:
        return None


def start_kestova(binary, work):
    folder = os.path.join(work, "kestova-root")
    proc = subprocess.Popen([binary, "--folder", folder, "--port", "0", "--capture", "none",
                             "--settings", os.path.join(work, "kestov-a.ini")],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    ready, _, _ = select.select([proc.stdout], [], [], 15)
    line = proc.stdout.readline().decode() if ready else ""
    match = re.search(r"on port (\d+)", line)
    if not match:
        proc.kill()
        sys.exit("kestov-a did not start: " + line)
    return proc, int(match.group(1)), folder, ""


def start_vsftpd(work):
    root = os.path.join(work, "vsftpd-root")
    upload = os.path.join(root, "up")
    empty = os.path.join(work, "vsftpd-empty")
    os.makedirs(upload)
    os.makedirs(empty)
    os.chmod(root, 0o755)
    os.chmod(upload, 0o777)
    port = free_port()
    config = os.path.join(work, "vsftpd.conf")
    with open(config, "w") as f:
        f.write("\n".join([
            "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1",
            "listen_port=%d" % port, "background=NO", "anonymous_enable=YES",
            "local_enable=NO", "write_enable=YES", "anon_upload_enable=YES",
            "anon_root=%s" % root, "no_anon_password=YES", "anon_umask=022",
            "xferlog_enable=NO", "dual_log_enable=NO", "syslog_enable=NO",
            "pasv_enable=YES", "port_enable=YES", "seccomp_sandbox=NO",
            "secure_chroot_dir=%s" % empty, "ftp_username=ftp", "use_sendfile=YES", ""]))
    proc = subprocess.Popen(["vsftpd", config], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    if not wait_for_port(port):
        proc.kill()
        sys.exit("vsftpd did not start")
    return proc, port, upload, "up/"


def descendants(pid):
    found = []
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/children" % (pid, task)) as f:
                for child in f.read().split():
                    found.append(int(child))
                    found.extend(descendants(int(child)))
    except OSError:
        pass
    return found


def cpu_ticks(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime + stime of every thread
    except (OSError, IndexError, ValueError):
        return None


def upload(port, remote, source, server_pid, peak, cpu):
    """Uploads with curl; returns MB/s. While the upload runs, the server process and
    its descendants are sampled: `peak[0]` is raised to the largest VmHWM seen, and
    `cpu` (pid -> CPU ticks) keeps the last CPU time seen of each."""
    curl = subprocess.Popen(["curl", "-sS", "-o", "/dev/null", "-w", "%{speed_upload}",
                             "-T", source, "ftp://127.0.0.1:%d/%s" % (port, remote)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    while curl.poll() is None:
        for pid in [server_pid] + descendants(server_pid):
            peak[0] = max(peak[0], peak_rss_kib(pid) or 0)
            ticks = cpu_ticks(pid)
            if ticks is not None:
                cpu[pid] = max(cpu.get(pid, 0), ticks)
        time.sleep(0.02)
    out, err = curl.communicate()
    if curl.returncode != 0:
        sys.exit("curl failed: " + err)
    return float(out) / 1e6


def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=60)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kestova")
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    for tool in ("curl", "vsftpd"):
        if shutil.which(tool) is None:
            sys.exit(tool + " is not installed")

    work = tempfile.mkdtemp(prefix="kestova-bench-")
    os.chmod(work, 0o755)
    try:
        source = os.path.join(work, "source.bin")
        with open(source, "wb") as f:
            for _ in range(args.size_mib):
                f.write(os.urandom(1 << 20))
        small = os.path.join(work, "small.bin")
        with open(small, "wb") as f:
            f.write(os.urandom(16 << 20))

        kestova, kport, kfolder, kprefix = start_kestova(os.path.abspath(args.kestova), work)
        vsftpd, vport, vfolder, vprefix = start_vsftpd(work)
        peaks = {"kestov-a": [0], "vsftpd": [0]}
        upload(kport, kprefix + "small.bin", small, kestova.pid, peaks["kestov-a"], {})
        rss_small = peaks["kestov-a"][0]
        cpu = {"kestov-a": {}, "vsftpd": {}}
        kestova_ticks_before = cpu_ticks(kestova.pid)

        speeds = {"kestov-a": [], "vsftpd": []}
        for run in range(args.runs):
            order = [("kestov-a", kestova.pid, kport, kprefix, kfolder),
                     ("vsftpd", vsftpd.pid, vport, vprefix, vfolder)]
            if run % 2:
                order.reverse()
            for name, pid, port, prefix, folder in order:
                speeds[name].append(upload(port, prefix + "bench.bin", source, pid, peaks[name],
                                           cpu[name]))
                if os.path.getsize(os.path.join(folder, "bench.bin")) != args.size_mib << 20:
                    sys.exit(name + " stored a file of the wrong size")
                os.remove(os.path.join(folder, "bench.bin"))
        stop(kestova)
        stop(vsftpd)
        hertz = os.sysconf("SC_CLK_TCK")
        # kestov-a: one process, so its last reading; vsftpd: the listener's last reading
        # plus every session process's.
        kcpu = (max(cpu["kestov-a"].values()) - kestova_ticks_before) / hertz
        vcpu = sum(cpu["vsftpd"].values()) / hertz

        kmed = statistics.median(speeds["kestov-a"])
        vmed = statistics.median(speeds["vsftpd"])
        total_gib = args.runs * args.size_mib / 1024
        print("STOR of %d MiB over loopback with curl, %d alternating runs each" %
              (args.size_mib, args.runs))
        print("  kestov-a: median %8.1f MB/s  (runs: %s)" %
              (kmed, ", ".join("%.0f" % s for s in speeds["kestov-a"])))
        print("  vsftpd:   median %8.1f MB/s  (runs: %s)" %
              (vmed, ", ".join("%.0f" % s for s in speeds["vsftpd"])))
        print("  ratio kestov-a / vsftpd: %.2f" % (kmed / vmed))
        print("  server CPU seconds during the large uploads (%.1f GiB each server): "
              "kestov-a %.2f, vsftpd %.2f" % (total_gib, kcpu, vcpu))
        print("  peak RSS: kestov-a %d KiB (%d KiB after the 16 MiB warm-up upload), "
              "vsftpd largest process %d KiB" %
              (peaks["kestov-a"][0], rss_small, peaks["vsftpd"][0]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
