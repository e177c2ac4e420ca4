"""kestov-a's limits against a hostile LAN, on loopback and in network namespaces of its own:
the status page under Range requests, floods and slow drips, a full house of silent FTP
connections, a drip that never ends a line, a pile of receptions with a slow hook, stale rename
sources, names with line ends and a foreign Host. Every wait is bounded.

Usage: hostile_lan_limits_test.py PATH-TO-kestov-a PATH-TO-kestov-recorder"""
import http.client
import os
import re
import resource
import select
import socket
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from veth_namespaces import VethNamespaces  # noqa: E402
from ftp_e2e_support import RawControl, Scratch, wait_until  # noqa: E402

KESTOV_A = None
RECORDER = None



def peak_rss_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"^VmHWM:\s+(\d+)", status.read(), re.M).group(1))


def sanitized(binary):
    """An AddressSanitizer build keeps shadow memory and quarantine: its resident size says
    nothing of what the service itself holds."""
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


def descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class Service:
    """kestov-a with the status page; both outputs collected. `prefix` runs it (ip netns exec),
    `nofile` caps its descriptors."""

    def __init__(self, scratch, *extra, prefix=(), nofile=None, page_address="127.0.0.1"):
        self.folder = scratch.sub("rec")
        args = list(prefix) + [KESTOV_A, "--folder", self.folder, "--settings",
                               scratch.sub("kestov-a.ini"), "--active-port", "0",
                               "--status-port", "0", "--status-address", page_address]
        if not any(a == "--port" for a in extra):
            args += ["--port", "0", "--capture", "none"]
        limit = None if nofile is None else (lambda: resource.setrlimit(
            resource.RLIMIT_NOFILE, (nofile, nofile)))
        self.proc = subprocess.Popen(args + list(extra), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, preexec_fn=limit,
                                     env=dict(os.environ, LC_ALL="C.UTF-8"))
        self.lines = []
        for stream in (self.proc.stdout, self.proc.stderr):
            threading.Thread(target=self._drain, args=(stream,), daemon=True).start()
        self.ftp_port = int(self._find(r"on port (\d+)$"))
        self.page_port = int(self._find(r"status page on http://[^:]+:(\d+)/"))

    def _drain(self, stream):
        for line in iter(stream.readline, b""):
            self.lines.append(line.decode("utf-8", "replace").rstrip("\n"))

    def _find(self, pattern):
        found = []

        def seen():
            for line in list(self.lines):
                match = re.search(pattern, line)
                if match:
                    found.append(match.group(1))
                    return True
            return False
        if not wait_until(seen, 15):
            self.stop()
            raise AssertionError("no %r in %s" % (pattern, self.lines))
        return found[0]

    def log(self):
        return "\n".join(self.lines)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(timeout=10)


def page_get(port, target="/api/status", host="127.0.0.1", timeout=10, address="127.0.0.1"):
    connection = http.client.HTTPConnection(address, port, timeout=timeout)
    try:
        connection.request("GET", target, headers={"Host": host})
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


class HostileLanLimitsTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        self.services = []
        self.sockets = []

    def tearDown(self):
        for sock in self.sockets:
            sock.close()
        for service in self.services:
            service.stop()
        self.scratch.cleanup()

    def start(self, *extra):
        service = Service(self.scratch, *extra)
        self.services.append(service)
        return service

    def dub(self, service, title, *extra, timeout=60):
        copy = self.scratch.sub("sent-" + title)
        args = [RECORDER, "--port", str(service.ftp_port), "--title", title, "--copy-to", copy]
        result = subprocess.run(args + list(extra), capture_output=True, timeout=timeout)
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        with open(copy, "rb") as sent, open(os.path.join(service.folder, title + ".MPG"),
                                              "rb") as got:
            self.assertTrue(sent.read() == got.read(), "the programme differs from what was sent")

    def test_range_requests_of_2700_ranges_keep_memory_small_while_a_reception_runs(self):
        service = self.start()
        copy = self.scratch.sub("sent-RANGED")
        recorder = subprocess.Popen(
            [RECORDER, "--port", str(service.ftp_port), "--title", "RANGED", "--size", "8M",
             "--piece", "64K", "--piece-delay", "20", "--copy-to", copy],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        request = ("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: bytes=" +
                   ",".join(["0-"] * 2700) + "\r\nConnection: close\r\n\r\n").encode()
        answers = [b""] * 4

        def attack(i):
            sock = socket.create_connection(("127.0.0.1", service.page_port), timeout=30)
            with sock:
                sock.sendall(request)
                while len(answers[i]) < 64 * 1024 * 1024:
                    chunk = sock.recv(1 << 20)
                    if not chunk:
                        break
                    answers[i] += chunk
        try:
            self.assertTrue(wait_until(
                lambda: os.path.exists(os.path.join(service.folder, "RANGED.MPG")), 20))
            attackers = [threading.Thread(target=attack, args=(i,)) for i in range(4)]
            for thread in attackers:
                thread.start()
            for thread in attackers:
                thread.join(60)
            self.assertEqual(recorder.wait(timeout=90), 0, recorder.stderr.read())
        finally:
            if recorder.poll() is None:
                recorder.kill()
                recorder.wait()
            recorder.stderr.close()
        peak = peak_rss_kib(service.proc.pid)
        sys.stderr.write("peak RSS under the Range attack: %d KiB\n" % peak)
        for answer in answers:
            self.assertTrue(answer.startswith(b"HTTP/1.1 200 "), answer[:200])
            self.assertNotIn(b"multipart/byteranges", answer)
            self.assertLess(len(answer), 64 * 1024)
        if not sanitized(KESTOV_A):
            self.assertLess(peak, 32 * 1024)
        with open(copy, "rb") as sent, open(os.path.join(service.folder, "RANGED.MPG"),
                                              "rb") as got:
            self.assertTrue(sent.read() == got.read(), "the programme differs from what was sent")

    def test_slow_drips_on_the_page_do_not_hold_up_a_normal_request(self):
        service = self.start()
        drips = []
        for _ in range(8):
            sock = socket.create_connection(("127.0.0.1", service.page_port), timeout=10)
            self.sockets.append(sock)
            sock.sendall(b"GET /api/status HTTP/1.1\r\n")
            drips.append(sock)
        stop = threading.Event()

        def drip():
            while not stop.wait(0.5):
                for sock in drips:
                    try:
                        sock.send(b"X")
                    except OSError:
                        pass
        dripper = threading.Thread(target=drip)
        dripper.start()
        try:
            time.sleep(1)
            status, body = page_get(service.page_port, timeout=2)
            self.assertEqual(status, 200)
            self.assertIn(b'"receptions"', body)
        finally:
            stop.set()
            dripper.join()

    def test_a_foreign_host_is_refused_and_this_machines_names_are_answered(self):
        service = self.start()
        for host, expected in [("evil.example", 403), ("evil.example:%d" % service.page_port, 403),
                               ("127.0.0.1:%d" % service.page_port, 200), ("localhost", 200)]:
            self.assertEqual(page_get(service.page_port, host=host)[0], expected, host)

    def test_25_addresses_of_8_silent_connections_do_not_lock_the_recorder_out(self):
        service = self.start()
        silent = []
        for address in range(1, 26):
            for _ in range(8):
                sock = socket.socket()
                sock.settimeout(10)
                sock.bind(("127.0.1.%d" % address, 0))
                sock.connect(("127.0.0.1", service.ftp_port))
                self.sockets.append(sock)
                silent.append(sock)
        for sock in silent:
            greeting = b""
            while not greeting.endswith(b"\r\n"):
                chunk = sock.recv(1)
                self.assertTrue(chunk)
                greeting += chunk
            self.assertTrue(greeting.startswith(b"220 "))
        self.dub(service, "FULLHOUSE", "--size", "300K")
        # Room was made by closing a silent session, not by refusing the recorder.
        heard = []

        def one_was_closed():
            ready, _, _ = select.select(silent, [], [], 0.2)
            heard.extend(sock.recv(200) for sock in ready)
            return any(b"421 Closing the longest idle" in text for text in heard)
        self.assertTrue(wait_until(one_was_closed, 5), heard)

    def test_a_drip_without_a_line_end_is_closed_at_the_idle_time_out(self):
        service = self.start("--idle-timeout", "2")
        client = RawControl(service.ftp_port)
        self.sockets.append(client.sock)
        client.login()
        closed_by = None
        deadline = time.monotonic() + 10
        while closed_by is None and time.monotonic() < deadline:
            try:
                client.sock.send(b"N")
                closed_by = client.line(timeout=1)
            except socket.timeout:
                pass
            except OSError:
                closed_by = "closed"
        self.assertEqual(closed_by, "421 Idle time-out, closing the control connection.")

    def test_renames_forget_a_stale_source_and_names_with_line_ends_are_refused(self):
        service = self.start()
        os.makedirs(os.path.join(service.folder, "dirB"))
        for name in ("keep.txt", "a", "dirB/a"):
            with open(os.path.join(service.folder, name), "w") as f:
                f.write(name)
        client = RawControl(service.ftp_port)
        self.sockets.append(client.sock)
        client.login()
        self.assertTrue(client.command("RNFR keep.txt").startswith("350 "))
        self.assertTrue(client.command("RNFR missing.txt").startswith("550 "))
        self.assertTrue(client.command("RNTO x").startswith("550 "))
        self.assertTrue(client.command("RNFR a").startswith("350 "))
        self.assertTrue(client.command("CWD dirB").startswith("250 "))
        self.assertTrue(client.command("RNTO b").startswith("550 "))
        refused = "553 Requested action not taken. File name not allowed."
        for command in ("MKD forged\n-rw 1 x", "STOR a\rb", "APPE x\ny", "RNFR a", "RNTO c\rd"):
            reply = client.command(command)
            if command != "RNFR a":
                self.assertEqual(reply, refused, command)
        listing = sorted(os.path.relpath(os.path.join(d, n), service.folder)
                         for d, dirs, files in os.walk(service.folder) for n in dirs + files)
        self.assertEqual(listing, ["a", "dirB", "dirB/a", "keep.txt"])

    def test_300_receptions_with_a_slow_hook_run_two_hooks_at_most_and_every_one(self):
        runs = self.scratch.sub("runs")
        hook = self.scratch.sub("hook.sh")
        with open(hook, "w") as script:
            # The test's stand-in for a 10-s transcoder: long enough to pile up.
            script.write("#!/bin/sh\necho \"start $(date +%%s%%N) $KESTOVA_ID\" >> %s\n"
                         "sleep 0.1\necho \"end $(date +%%s%%N) $KESTOVA_ID\" >> %s\n"
                         % (runs, runs))
        os.chmod(hook, 0o755)
        service = self.start("--on-complete", hook, "--hook-limit", "2",
                             "--max-per-address", "0")
        for batch in range(30):
            recorders = [subprocess.Popen(
                [RECORDER, "--port", str(service.ftp_port), "--title", "T%03d" % (batch * 10 + i),
                 "--size", "2K", "--no-status"], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL) for i in range(10)]
            for recorder in recorders:
                self.assertEqual(recorder.wait(timeout=60), 0)

        def ended():
            if not os.path.exists(runs):
                return 0
            with open(runs) as f:
                return sum(line.startswith("end ") for line in f)
        self.assertTrue(wait_until(lambda: ended() >= 300, 150), "%d hooks ended" % ended())
        with open(runs) as f:
            events = sorted((int(t), kind == "start", ident)
                            for kind, t, ident in (line.split() for line in f))
        running = most = 0
        for _, starts, _ in sorted(events, key=lambda e: (e[0], e[1])):
            running += 1 if starts else -1
            most = max(most, running)
        self.assertLessEqual(most, 2)
        self.assertEqual(len({ident for _, starts, ident in events if starts}), 300)
        self.assertIn("waiting before it)", service.log())


class PageFloodTest(VethNamespaces, unittest.TestCase):
    """kestov-a in a namespace of its own with 1,024 descriptors; 1,100 idle page connections
    from the recorder's side; the recorder still finds it by name and dubs."""

    FLOOD = r"""
import resource, socket, sys, time
resource.setrlimit(resource.RLIMIT_NOFILE, (4096, 4096))
held, refused = [], 0
deadline = time.monotonic() + 30
for _ in range(1100):
    if time.monotonic() > deadline:
        break
    sock = socket.socket()
    sock.settimeout(2)
    try:
        sock.connect((sys.argv[1], int(sys.argv[2])))
    except OSError:
        refused += 1
        continue
    held.append(sock)
print("held %d refused %d" % (len(held), refused), flush=True)
sys.stdin.read()
"""

    TAG = "kl"
    SUBNET = 215

    def setUp(self):
        self.service = None
        super().setUp()

    def stop_programs(self):
        if self.service is not None:
            self.service.stop()

    def test_1100_idle_page_connections_leave_name_answering_and_dubbing_working(self):
        self.service = Service(self.scratch, "--port", "21", "--capture", "packet", "--interface",
                               self.veth_dst, prefix=("ip", "netns", "exec", self.ns_dst),
                               nofile=1024, page_address="0.0.0.0")
        flood = subprocess.Popen(["ip", "netns", "exec", self.ns_rec, sys.executable, "-c",
                                  self.FLOOD, "10.215.0.2", str(self.service.page_port)],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        try:
            reached = flood.stdout.readline().decode()
            self.assertTrue(reached.startswith("held "), reached)
            in_use = descriptors(self.service.proc.pid)
            sys.stderr.write("page flood (%s): kestov-a holds %d descriptors\n"
                             % (reached.strip(), in_use))
            self.assertLess(in_use, 100)
            copy = self.scratch.sub("sent")
            result = subprocess.run(
                ["ip", "netns", "exec", self.ns_rec, RECORDER, "--discover", "GR-FLOOD",
                 "--broadcast", self.broadcast, "--discover-timeout", "3000", "--title", "FLOOD",
                 "--size", "200K", "--copy-to", copy, "--verbose"],
                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
            output = result.stdout.decode("utf-8", "replace")
            self.assertEqual(result.returncode, 0, output)
            self.assertIn("GR-FLOOD answered from 10.215.0.2", output)
            with open(copy, "rb") as sent, open(os.path.join(self.service.folder, "FLOOD.MPG"),
                                                  "rb") as got:
                self.assertTrue(sent.read() == got.read())
        finally:
            flood.stdin.close()
            flood.wait(timeout=30)
            flood.stdout.close()
        self.assertNotIn("no address of this host is worth announcing", self.service.log())


if __name__ == "__main__":
    KESTOV_A, RECORDER = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
