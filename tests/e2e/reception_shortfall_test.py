"""A programme that ends short of its announced size is interrupted, never complete:
kestov-recorder dubs into kestov-a (status page and completion hook on), with the
announced size above, equal to or below what it sends, or none at all.
Usage: reception_shortfall_test.py PATH-TO-kestov-a PATH-TO-kestov-recorder"""
import json
import os
import signal
import subprocess
import sys
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, Scratch, wait_for  # noqa: E402

KESTOV_A = None
RECORDER = None

HOOK = """#!/bin/sh
env | grep '^KESTOVA_' | sort > "$HOOK_DIR/$KESTOVA_ID.tmp"
mv "$HOOK_DIR/$KESTOVA_ID.tmp" "$HOOK_DIR/$KESTOVA_ID.env"
"""



class ShortfallTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        self.folder = self.scratch.sub("rec")
        self.hooks = self.scratch.sub("hook")
        os.makedirs(self.hooks)
        hook = self.scratch.sub("hook.sh")
        with open(hook, "w") as script:
            script.write(HOOK)
        os.chmod(hook, 0o755)
        self.server = KestovA(KESTOV_A, self.folder, self.scratch.sub("kestov-a.ini"),
                              extra=["--status-port", "0", "--status-address", "127.0.0.1",
                                     "--on-complete", hook],
                              env=dict(os.environ, LC_ALL="C.UTF-8", HOOK_DIR=self.hooks))
        self.assertIsNotNone(self.server.port, self.server.first_line)
        page = self.server.wait_stderr(rb"status page on http://127\.0\.0\.1:(\d+)/")
        self.assertIsNotNone(page, self.server.err)
        self.page = int(page.group(1))

    def tearDown(self):
        self.server.stop(signal.SIGKILL, timeout=5)
        self.scratch.cleanup()

    def test_only_a_stream_short_of_its_announced_size_is_interrupted(self):
        # (title, bytes sent, recorder options, state, announced bytes or None)
        cases = [
            ("HALF", 1 << 20, ["--title-size", "1024"], "interrupted", 2 << 20),
            ("EXACT", 1 << 20, ["--title-size", "512"], "received", 1 << 20),
            ("MORE", (1 << 20) + 5000, ["--title-size", "512"], "received", 1 << 20),
            ("NONE", 300000, ["--no-dubbing-info"], "received", None),
            ("HUGE", 300000, ["--title-size", str(1 << 60)], "received", None),
        ]
        for number, (title, size, extra, state, announced) in enumerate(cases, start=1):
            with self.subTest(title=title):
                copy = self.scratch.sub("sent-" + title)
                result = subprocess.run(
                    [RECORDER, "--port", str(self.server.port), "--title", title,
                     "--size", str(size), "--copy-to", copy] + extra,
                    capture_output=True, timeout=120)
                # The recorder checks its replies (150, then 226) and fails on any other.
                self.assertEqual(result.returncode, 0, result.stderr.decode("utf-8", "replace"))
                with open(copy, "rb") as sent, open(os.path.join(self.folder, title + ".MPG"),
                                                      "rb") as saved:
                    self.assertTrue(sent.read() == saved.read(), "the file differs")
                env_file = os.path.join(self.hooks, "%d.env" % number)
                wait_for(lambda: os.path.exists(env_file), 10, "the hook")
                with open(env_file) as env:
                    variables = dict(line.rstrip("\n").split("=", 1) for line in env)
                self.assertEqual(variables["KESTOVA_STATE"], state)
                self.assertEqual(variables["KESTOVA_BYTES"], str(size))
                self.assertEqual(variables["KESTOVA_EXPECTED_BYTES"],
                                 "" if announced is None else str(announced))
                with urllib.request.urlopen("http://127.0.0.1:%d/api/receptions" % self.page,
                                            timeout=10) as reply:
                    record = json.load(reply)["receptions"][-1]
                self.assertEqual((record["id"], record["state"], record["receivedBytes"],
                                  record["announcedBytes"]), (number, state, size, announced))
        self.server.proc.send_signal(signal.SIGTERM)
        out, _ = self.server.proc.communicate(timeout=30)
        text = out.decode("utf-8", "replace")
        self.assertIn("#1 HALF.MPG: Reception interrupted (1/2 MB", text)
        self.assertIn("#2 EXACT.MPG: Reception complete (1/1 MB", text)
        self.assertIn("#5 HUGE.MPG: Reception complete (0/0 MB", text)


if __name__ == "__main__":
    KESTOV_A, RECORDER = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main()
