"""Dubbing end to end: kestov-recorder dubs programmes into kestov-a over loopback, the
way a recorder does. Usage: dubbing_recorder_test.py PATH-TO-kestov-a PATH-TO-kestov-recorder"""
import fcntl
import os
import re
import pty
import select
import signal
import struct
import subprocess
import sys
import termios
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, Scratch  # noqa: E402

KESTOV_A = None
RECORDER = None


class DubbingTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        self.folder = self.scratch.sub("rec")
        self.server = KestovA(KESTOV_A, self.folder, self.scratch.sub("kestov-a.ini"),
                              env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
        self.assertIsNotNone(self.server.port, self.server.first_line)

    def tearDown(self):
        self.server.stop(signal.SIGKILL, timeout=5)
        self.scratch.cleanup()

    def dub(self, title, size, *extra, timeout=120):
        copy = self.scratch.sub("sent-%d" % len(os.listdir(self.scratch.path)))
        args = [RECORDER, "--port", str(self.server.port), "--title", title, "--size", str(size),
                "--copy-to", copy] + list(extra)
        result = subprocess.run(args, capture_output=True, timeout=timeout,
                                env=dict(os.environ, LC_ALL="C.UTF-8"))
        return result, copy

    def assertSameFile(self, expected, actual):
        self.assertTrue(os.path.isfile(actual), "%s missing; folder has %s"
                        % (actual, os.listdir(self.folder)))
        with open(expected, "rb") as a, open(actual, "rb") as b:
            while True:
                left, right = a.read(1 << 20), b.read(1 << 20)
                self.assertEqual(left, right, "%s differs from what was sent" % actual)
                if not left:
                    break

    def test_three_programmes_arrive_byte_for_byte(self):
        programmes = [
            ("ニュース:夜のまとめ/特集", 3 * 1024 * 1024 + 77, ["--piece", "100K"],
             "ニュース：夜のまとめ／特集.MPG"),
            ("MOVIE", 5 * 1024 * 1024, ["--mode", "port", "--piece", "64K"], "MOVIE.MPG"),
            ("MOVIE", 300000, ["--mode", "psw", "--piece", "100"], "MOVIE_1.MPG"),
        ]
        for title, size, extra, name in programmes:
            result, copy = self.dub(title, size, *extra)
            self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
            self.assertEqual(os.path.getsize(copy), size)
            self.assertSameFile(copy, os.path.join(self.folder, name))
        status, err = self.server.stop()
        self.assertEqual(status, 0, err)

    def test_receive_list_prints_plain_lines_when_not_a_terminal(self):
        result, _ = self.dub("NEWS", 200000)
        self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
        self.server.proc.send_signal(signal.SIGTERM)
        out, err = self.server.proc.communicate(timeout=30)
        text = out.decode("utf-8", "replace")
        self.assertIn("#1 NEWS.MPG: Receiving", text)
        self.assertIn("#1 NEWS.MPG: Reception complete (0/0 MB", text)
        self.assertNotIn("\x1b[", text)

    def test_unexpected_reply_makes_the_recorder_fail(self):
        # Storing into a file that stands where the folder should be cannot work.
        os.rmdir(self.folder)
        with open(self.folder, "w") as blocker:
            blocker.write("not a folder")
        result, _ = self.dub("LOST", 5000)
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"expected 226", result.stderr)
        self.assertIn(b"426", result.stderr)

    def test_terminate_during_a_reception_keeps_every_byte(self):
        # About 1 MB every 0.1 s: the reception is still running when the signal comes.
        copy = self.scratch.sub("sent-slow")
        recorder = subprocess.Popen(
            [RECORDER, "--port", str(self.server.port), "--title", "LONG", "--size", "400M",
             "--piece", "1M", "--piece-delay", "100", "--copy-to", copy],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        target = os.path.join(self.folder, "LONG.MPG")
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and (
                not os.path.exists(target) or os.path.getsize(target) < 3 * 1024 * 1024):
            time.sleep(0.05)
        self.assertTrue(os.path.exists(target), "the reception did not start")
        started = time.monotonic()
        self.server.proc.send_signal(signal.SIGTERM)
        out, err = self.server.proc.communicate(timeout=30)
        took = time.monotonic() - started
        print("kestov-a ended %.1f s after SIGTERM" % took, file=sys.stderr)
        self.assertEqual(self.server.proc.returncode, 0, err)
        # One receive wait (5 s) and the shutdown: well below this hang bound.
        self.assertLess(took, 12)
        recorder.communicate(timeout=60)
        self.assertNotEqual(recorder.returncode, 0)
        saved = os.path.getsize(target)
        sent = os.path.getsize(copy)
        self.assertGreater(saved, 0)
        self.assertLessEqual(saved, sent)
        with open(copy, "rb") as a, open(target, "rb") as b:
            self.assertEqual(a.read(saved), b.read(), "the saved bytes differ from those sent")
        self.assertIn("#1 LONG.MPG: Reception interrupted", out.decode("utf-8", "replace"))

    def test_terminate_while_the_recorder_is_quiet(self):
        # One piece, then a long pause: the reception waits in a receive when the signal
        # comes, and the stop flag is seen at the end of that wait (at most 5 s).
        recorder = subprocess.Popen(
            [RECORDER, "--port", str(self.server.port), "--title", "PAUSED", "--size", "2M",
             "--piece", "1M", "--piece-delay", "20000", "--timeout", "60000"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        target = os.path.join(self.folder, "PAUSED.MPG")
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline and (
                not os.path.exists(target) or os.path.getsize(target) < 1024 * 1024):
            time.sleep(0.05)
        self.assertEqual(os.path.getsize(target), 1024 * 1024)
        started = time.monotonic()
        self.server.proc.send_signal(signal.SIGTERM)
        out, err = self.server.proc.communicate(timeout=30)
        took = time.monotonic() - started
        print("kestov-a ended %.1f s after SIGTERM" % took, file=sys.stderr)
        self.assertEqual(self.server.proc.returncode, 0, err)
        self.assertLess(took, 12)  # a hang bound, not a speed requirement
        self.assertEqual(os.path.getsize(target), 1024 * 1024)
        self.assertIn("#1 PAUSED.MPG: Reception interrupted", out.decode("utf-8", "replace"))
        recorder.kill()
        recorder.wait(timeout=10)


class TerminalListTest(unittest.TestCase):
    """On a terminal the receive list is drawn in place, in the locale's language."""

    def run_on_terminal(self, language, columns=None):
        scratch = Scratch()
        self.addCleanup(scratch.cleanup)
        master, slave = pty.openpty()
        if columns is not None:
            fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 30, columns, 0, 0))
        env = dict(os.environ, TERM="xterm", LANG=language, LC_ALL=language)
        proc = subprocess.Popen(
            [KESTOV_A, "--port", "0", "--capture", "none", "--folder", scratch.sub("rec"),
             "--settings", scratch.sub("k.ini")],
            stdout=slave, stderr=subprocess.DEVNULL, env=env)
        os.close(slave)
        output = b""

        def read_for(seconds, until=None):
            nonlocal output
            deadline = time.monotonic() + seconds
            while time.monotonic() < deadline and (until is None or until not in output):
                ready, _, _ = select.select([master], [], [], 0.1)
                if ready:
                    try:
                        output += os.read(master, 65536)
                    except OSError:
                        break
        try:
            read_for(15, b"\n")  # the first line ends with the port, in either language
            port = int(re.search(rb"(\d+)[^\d\n]*\r?\n", output).group(1))
            result = subprocess.run([RECORDER, "--port", str(port), "--title", "番組",
                                     "--size", "3M"], capture_output=True, timeout=60,
                                    env=dict(os.environ, LC_ALL="C.UTF-8"))
            self.assertEqual(result.returncode, 0, result.stderr)
            read_for(2)  # the next drawing (at most twice a second)
            proc.send_signal(signal.SIGTERM)
            proc.wait(timeout=30)
            read_for(1)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            os.close(master)
        return output.decode("utf-8", "replace")

    def test_english_live_list(self):
        text = self.run_on_terminal("C.UTF-8")  # a terminal that does not tell its size
        self.assertIn("\x1b[2K", text)
        self.assertRegex(text, r"#\s+(File name|Name)\s")  # long or short headers
        self.assertIn("番組.MPG", text)
        self.assertIn("Reception complete", text)

    def test_japanese_live_list(self):
        text = self.run_on_terminal("ja_JP.UTF-8", columns=150)
        self.assertIn("ファイル名", text)
        self.assertIn("受信完了しました", text)


if __name__ == "__main__":
    KESTOV_A = os.path.abspath(sys.argv.pop(1))
    RECORDER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
