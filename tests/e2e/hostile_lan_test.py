"""kestov-a against a hostile LAN client, on loopback and in network namespaces of its own:
connection floods, idle sessions, pipelined PASV, FTP bounce, a stolen passive connection,
links that lead outside, a programme deleted while it arrives, and a capture interface that is
deleted and created again. Every wait is bounded.

Usage: hostile_lan_test.py PATH-TO-kestov-a PATH-TO-kestov-recorder"""
import os
import re
import select
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from veth_namespaces import VethNamespaces, ip  # noqa: E402
from ftp_e2e_support import KestovA, RawControl, Scratch, wait_until  # noqa: E402

KESTOV_A = None
RECORDER = None
INTRUDER = "127.0.0.9"  # a second machine on the LAN, as far as kestov-a can tell



def connect_from(address, port, timeout=10):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.settimeout(timeout)
    sock.bind((address, 0))
    sock.connect(("127.0.0.1", port))
    return sock


def read_line(sock, timeout=10):
    sock.settimeout(timeout)
    data = b""
    try:
        while not data.endswith(b"\r\n"):
            chunk = sock.recv(1)
            if not chunk:
                break
            data += chunk
    except (socket.timeout, ConnectionResetError):
        pass
    return data.decode("latin-1").rstrip("\r\n")


def thread_count(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(re.search(r"^Threads:\s+(\d+)", status.read(), re.M).group(1))


def tree_snapshot(root):
    """Every name and file content below `root`."""
    snapshot = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                snapshot[os.path.relpath(path, root)] = f.read()
        snapshot[os.path.relpath(folder, root) + "/"] = None
    return snapshot


class HostileLanTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        self.folder = self.scratch.sub("rec")
        self.servers = []
        self.sockets = []

    def tearDown(self):
        for sock in self.sockets:
            sock.close()
        for server in self.servers:
            server.stop(signal.SIGKILL, timeout=5)
        self.scratch.cleanup()

    def start(self, *extra):
        server = KestovA(KESTOV_A, self.folder, self.scratch.sub("kestov-a.ini"), extra=extra,
                         env=dict(os.environ, LC_ALL="C.UTF-8"))
        self.servers.append(server)
        self.assertIsNotNone(server.port, server.first_line)
        return server

    def control(self, server):
        client = RawControl(server.port)
        self.sockets.append(client.sock)
        client.login()
        return client

    def dub(self, server, title, *extra, timeout=60):
        copy = self.scratch.sub("sent-" + title)
        args = [RECORDER, "--port", str(server.port), "--title", title, "--copy-to", copy]
        result = subprocess.run(args + list(extra), capture_output=True, timeout=timeout)
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        with open(copy, "rb") as sent, open(os.path.join(self.folder, title + ".MPG"), "rb") as got:
            self.assertTrue(sent.read() == got.read(), "the programme differs from what was sent")

    def test_an_idle_flood_from_one_address_does_not_lock_the_recorder_out(self):
        server = self.start()
        flood = []
        for _ in range(300):
            sock = connect_from(INTRUDER, server.port)
            flood.append(sock)
            self.sockets.append(sock)
        greetings = [read_line(sock, 5) for sock in flood]
        # Eight sessions per address; the ninth connection on gets 421 and is closed.
        self.assertTrue(all(g.startswith("220 ") for g in greetings[:8]), greetings[:8])
        self.assertEqual(set(greetings[8:]),
                         {"421 Too many connections from your address, try again later."})
        self.assertEqual(flood[8].recv(1), b"")
        self.dub(server, "AFTERFLOOD", "--size", "500K")
        self.assertLess(thread_count(server.proc.pid), 30)

    def test_an_idle_session_is_closed_after_the_time_out(self):
        server = self.start("--idle-timeout", "2")
        client = self.control(server)
        start = time.monotonic()
        self.assertEqual(client.line(timeout=6), "421 Idle time-out, closing the control connection.")
        self.assertGreaterEqual(time.monotonic() - start, 1.5)
        self.assertTrue(client.closed(timeout=5))

    def test_pipelined_pasv_then_sigterm_exits_within_two_seconds(self):
        server = self.start()
        client = self.control(server)
        client.sock.sendall(b"PASV\r\n" * 20)
        self.assertTrue(client.line().startswith("227 "))
        start = time.monotonic()
        server.proc.send_signal(signal.SIGTERM)
        try:
            server.proc.wait(timeout=2.5)
        except subprocess.TimeoutExpired:
            self.fail("kestov-a still runs 2.5 s after SIGTERM")
        self.assertLessEqual(time.monotonic() - start, 2.0)
        self.assertEqual(server.proc.returncode, 0)

    def test_a_client_that_sends_100_pasv_and_closes_leaves_no_thread_behind(self):
        server = self.start()
        idle = thread_count(server.proc.pid)
        client = self.control(server)
        client.sock.sendall(b"PASV\r\n" * 100)
        self.assertTrue(client.line().startswith("227 "))
        client.close()
        self.assertTrue(wait_until(lambda: thread_count(server.proc.pid) <= idle, 5),
                        "%d threads, %d when idle" % (thread_count(server.proc.pid), idle))

    def test_port_to_another_host_wrapped_fields_and_names_are_refused(self):
        server = self.start()
        bystander = socket.socket()
        bystander.bind(("127.0.0.3", 0))
        bystander.listen(5)
        self.sockets.append(bystander)
        port = bystander.getsockname()[1]
        os.makedirs(self.folder, exist_ok=True)
        with open(os.path.join(self.folder, "a.bin"), "wb") as f:
            f.write(b"x" * 1000)
        client = self.control(server)
        for argument, reply in [
                ("127,0,0,3,%d,%d" % (port // 256, port % 256), "500 Illegal PORT command."),
                ("127,0,0,4,300,300", "501 Syntax error in parameters or arguments."),
                ("www,example,com,,0,80", "501 Syntax error in parameters or arguments.")]:
            self.assertEqual(client.command("PORT " + argument), reply)
            # No PORT is in force: the transfer cannot open a data connection. Its replies
            # are read up to a NOOP's.
            client.sock.sendall(b"RETR a.bin\r\nNOOP\r\n")
            replies = []
            while not replies or replies[-1] != "200 OK":
                replies.append(client.line())
                self.assertIsNotNone(replies[-1])
            self.assertIn("425 Can't open data connection.", replies)
        ready, _, _ = select.select([bystander], [], [], 1.0)
        self.assertEqual(ready, [], "the server connected to a third host")

    def test_a_passive_port_reached_first_from_another_address_gives_it_nothing(self):
        server = self.start()
        os.makedirs(self.folder, exist_ok=True)
        content = os.urandom(200000)
        with open(os.path.join(self.folder, "a.bin"), "wb") as f:
            f.write(content)
        client = self.control(server)
        reply = client.command("PASV")
        numbers = [int(n) for n in re.search(r"\((.*)\)", reply).group(1).split(",")]
        data_port = numbers[4] * 256 + numbers[5]
        thief = connect_from(INTRUDER, data_port)
        self.sockets.append(thief)
        self.assertEqual(thief.recv(1), b"")  # closed at once, nothing sent
        data = socket.create_connection(("127.0.0.1", data_port), timeout=10)
        self.sockets.append(data)
        self.assertTrue(client.command("RETR a.bin").startswith("150 "))
        received = b""
        while True:
            chunk = data.recv(65536)
            if not chunk:
                break
            received += chunk
        self.assertEqual(client.line(), "226 Transfer complete")
        self.assertTrue(received == content)

    def test_nothing_outside_is_reached_through_a_link(self):
        outside = self.scratch.sub("outside")
        os.makedirs(os.path.join(outside, "deep"))
        with open(os.path.join(outside, "secret"), "wb") as f:
            f.write(b"secret")
        with open(os.path.join(outside, "deep", "keep"), "wb") as f:
            f.write(b"keep")
        os.makedirs(os.path.join(self.folder, "sub"))
        with open(os.path.join(self.folder, "sub", "inside"), "wb") as f:
            f.write(b"inside")
        os.symlink(outside, os.path.join(self.folder, "out"))
        os.symlink(os.path.join(outside, "secret"), os.path.join(self.folder, "secret"))
        os.symlink("sub", os.path.join(self.folder, "in"))
        before = tree_snapshot(outside)
        server = self.start()
        client = self.control(server)
        denied = "550 Permission denied."
        for command in ["RETR out/secret", "RETR secret", "STOR out/new", "STOR secret",
                        "STOR out/deep/keep", "DELE out/secret", "DELE out/deep/keep",
                        "CWD out", "MKD out/made", "RMD out/deep", "RNFR out/secret"]:
            self.assertEqual(client.command(command), denied, command)
        # A link that stays inside works as its target does.
        data = client.passive()
        self.sockets.append(data)
        self.assertTrue(client.command("RETR in/inside").startswith("150 "))
        self.assertEqual(data.recv(100), b"inside")
        self.assertEqual(client.line(), "226 Transfer complete")
        self.assertEqual(tree_snapshot(outside), before)

    def test_a_programme_cannot_be_deleted_or_renamed_while_it_arrives(self):
        server = self.start()
        recorder = subprocess.Popen(
            [RECORDER, "--port", str(server.port), "--title", "SLOW", "--size", "1M",
             "--piece", "32K", "--piece-delay", "100", "--copy-to", self.scratch.sub("sent")],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            path = os.path.join(self.folder, "SLOW.MPG")
            self.assertTrue(wait_until(lambda: os.path.exists(path), 10))
            client = self.control(server)
            for command in ["DELE SLOW.MPG", "RNFR SLOW.MPG", "DELE /SLOW.MPG"]:
                self.assertEqual(client.command(command),
                                 '550 "%s": in transfer, try again later.' % command[5:])
            self.assertEqual(recorder.wait(timeout=60), 0, recorder.stderr.read())
        finally:
            if recorder.poll() is None:
                recorder.kill()
                recorder.wait()
            recorder.stderr.close()
        with open(self.scratch.sub("sent"), "rb") as sent, open(path, "rb") as got:
            self.assertTrue(sent.read() == got.read(), "the programme is not complete")


class InterfaceReturnTest(VethNamespaces, unittest.TestCase):
    """kestov-a captures on one veth interface of its namespace; the interface is deleted and
    created again, and a recorder's name query is answered again."""

    TAG = "kh"
    SUBNET = 214

    def setUp(self):
        self.server = None
        super().setUp()

    def stop_programs(self):
        if self.server is not None and self.server.poll() is None:
            self.server.kill()
            self.server.wait()

    def discover(self):
        result = subprocess.run(
            ["ip", "netns", "exec", self.ns_rec, RECORDER, "--discover", "GR-HOSTILE",
             "--broadcast", self.broadcast, "--discover-timeout", "3000", "--no-status", "--no-dubbing-info", "--size", "10K", "--title", "BACK",
             "--verbose"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
        return result.stdout.decode("utf-8", "replace")

    def stderr_has(self, text, timeout):
        def seen():
            with open(self.err_path, encoding="utf-8", errors="replace") as err:
                return text in err.read()
        return wait_until(seen, timeout)

    def test_a_query_is_answered_again_after_the_interface_returns(self):
        self.err_path = self.scratch.sub("err.log")
        with open(self.err_path, "w") as err:
            self.server = subprocess.Popen(
                ["ip", "netns", "exec", self.ns_dst, "timeout", "90", KESTOV_A, "--folder",
                 self.scratch.sub("rec"), "--settings", self.scratch.sub("k.ini"), "--port", "21",
                 "--capture", "packet", "--interface", self.veth_dst],
                stdout=subprocess.DEVNULL, stderr=err)
        self.assertTrue(self.stderr_has("packet capture on " + self.veth_dst, 10))
        answered = "GR-HOSTILE answered from 10.214.0.2"
        self.assertIn(answered, self.discover())

        self.assertEqual(ip("-n", self.ns_dst, "link", "del", self.veth_dst), 0)
        self.assertTrue(self.stderr_has("interface %s is gone" % self.veth_dst, 5))
        self.assertTrue(self.make_link())
        self.assertTrue(self.stderr_has("interface %s is back" % self.veth_dst, 5))
        self.assertIn(answered, self.discover())
        self.server.send_signal(signal.SIGTERM)
        self.assertEqual(self.server.wait(timeout=10), 0)
        with open(self.err_path, encoding="utf-8", errors="replace") as err:
            self.assertNotIn("name answering has stopped", err.read())


if __name__ == "__main__":
    KESTOV_A, RECORDER = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
