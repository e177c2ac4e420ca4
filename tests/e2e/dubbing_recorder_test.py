"""Dubbing end to end: kestov-recorder dubs programmes into kestov-a over loopback, the
way a recorder does. Usage: dubbing_recorder_test.py PATH-TO-kestov-a PATH-TO-kestov-recorder"""
import os
import signal
import subprocess
import sys
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
        self.assertIn("#1 LONG.MPG: Reception complete", out.decode("utf-8", "replace"))


if __name__ == "__main__":
    KESTOV_A = os.path.abspath(sys.argv.pop(1))
    RECORDER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
