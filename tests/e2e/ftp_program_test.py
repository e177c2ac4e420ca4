"""kestov-a as a program: options, the saved folder, a port that cannot be bound, and
the orderly shutdown on SIGINT/SIGTERM. Usage: ftp_program_test.py PATH-TO-kestov-a"""
import os
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, RawControl, Scratch  # noqa: E402

BINARY = None


class ProgramTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        self.folder = self.scratch.sub("rec")
        self.settings = self.scratch.sub("conf", "kestov-a.ini")
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop(signal.SIGKILL, timeout=5)
        self.scratch.cleanup()

    def start(self, *args, **kwargs):
        server = KestovA(BINARY, *args, **kwargs)
        self.servers.append(server)
        return server

    def test_help_and_invalid_options(self):
        result = subprocess.run([BINARY, "--help"], capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, 0)
        self.assertIn("--folder DIR", result.stdout)
        result = subprocess.run([BINARY, "--port", "70000"], capture_output=True, text=True,
                                timeout=10)
        self.assertEqual(result.returncode, 2)
        self.assertIn("--port", result.stderr)
        result = subprocess.run([BINARY, "--capture", "pcap"], capture_output=True, text=True,
                                timeout=10)
        self.assertEqual(result.returncode, 2)

    def test_port_in_use_is_reported_and_ends_the_program(self):
        holder = socket.socket()
        holder.bind(("0.0.0.0", 0))
        holder.listen(1)
        port = holder.getsockname()[1]
        try:
            server = self.start(self.folder, self.settings, port=str(port))
            self.assertIsNone(server.port)
            status, err = server.stop(timeout=15)
            self.assertEqual(status, 1)
            self.assertIn("could not start on port %d" % port, err)
        finally:
            holder.close()

    def test_terminate_ends_idle_sessions_and_exits_zero(self):
        server = self.start(self.folder, self.settings)
        self.assertIsNotNone(server.port, server.first_line)
        self.assertEqual(server.served, os.path.abspath(self.folder))
        control = RawControl(server.port)
        control.login()
        status, err = server.stop(signal.SIGTERM)
        self.assertEqual(status, 0, err)
        self.assertTrue(control.closed())
        control.close()

    def test_interrupt_during_upload_keeps_what_was_received(self):
        server = self.start(self.folder, self.settings)
        control = RawControl(server.port)
        control.login()
        data = control.passive()
        self.assertTrue(control.command("STOR part.bin").startswith("150 "))
        data.sendall(b"x" * 100000)
        target = os.path.join(self.folder, "part.bin")
        deadline = time.monotonic() + 10
        while os.path.getsize(target) < 100000 and time.monotonic() < deadline:
            time.sleep(0.05)  # the server has written it all before the stop
        status, err = server.stop(signal.SIGINT)
        self.assertEqual(status, 0, err)
        # The upload was cut short by the stop: kept, but not reported as complete.
        self.assertEqual(control.line(), "426 Connection closed; transfer aborted.")
        with open(os.path.join(self.folder, "part.bin"), "rb") as f:
            self.assertEqual(f.read(), b"x" * 100000)
        data.close()
        control.close()

    def test_folder_given_is_saved_and_used_next_time(self):
        server = self.start(self.folder, self.settings)
        self.assertEqual(server.stop()[0], 0)
        with open(self.settings, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("[PageReceive]", text)
        self.assertIn("Folder=" + os.path.abspath(self.folder), text)
        again = self.start(None, self.settings)
        self.assertEqual(again.served, os.path.abspath(self.folder))
        self.assertEqual(again.stop()[0], 0)

    def test_defaults_come_from_home(self):
        home = self.scratch.sub("home")
        os.makedirs(home)
        env = dict(os.environ, HOME=home)
        env.pop("XDG_CONFIG_HOME", None)
        server = self.start(None, None, env=env)
        self.assertEqual(server.served, os.path.join(home, "KESTOV-A"))
        self.assertTrue(os.path.isdir(os.path.join(home, "KESTOV-A")))
        self.assertEqual(server.stop()[0], 0)
        other = self.scratch.sub("other")
        server = self.start(other, None, env=env)
        self.assertEqual(server.stop()[0], 0)
        with open(os.path.join(home, ".config", "kestov-a", "kestov-a.ini"),
                  encoding="utf-8") as f:
            self.assertIn("Folder=" + other, f.read())


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
