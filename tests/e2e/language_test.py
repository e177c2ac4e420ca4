"""kestov-a speaks one language per run: Japanese under a Japanese locale, English otherwise,
in --help, its errors and every log line (start, a login, the stop and its reason).
Usage: language_test.py PATH-TO-kestov-a"""
import os
import re
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, RawControl, Scratch  # noqa: E402

BINARY = None

# Texts only one language has: (locale, must appear, must not appear).
RUNS = [
    ("ja_JP.UTF-8",
     ["公開しています", "を開始しました（プロセス", "ログインしました", "停止しました：SIGTERM を受け取りました",
      "名前応答：オフ"],
     ["serving", "started", "logged in", "stopped", "name answering"]),
    ("C.UTF-8",
     ["serving", "started (process", "logged in", "stopped: SIGTERM received",
      "name answering: off"],
     ["公開", "開始", "ログイン", "停止", "名前応答"]),
]


def environment(locale):
    env = {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANGUAGE"}
    env["LANG"] = locale
    return env


class LanguageTest(unittest.TestCase):
    def test_help_and_errors_follow_the_locale(self):
        for locale, help_text, error_text in [
                ("ja_JP.UTF-8", "使い方: kestov-a [オプション]", "には 0 から 65535 の数を指定してください"),
                ("C.UTF-8", "Usage: kestov-a [options]", "needs a number from 0 to 65535")]:
            result = subprocess.run([BINARY, "--help"], capture_output=True, text=True, timeout=10,
                                    env=environment(locale))
            self.assertTrue(result.stdout.startswith(help_text), locale + ": " + result.stdout[:80])
            result = subprocess.run([BINARY, "--port", "x"], capture_output=True, text=True,
                                    timeout=10, env=environment(locale))
            self.assertIn(error_text, result.stderr, locale)

    def test_a_run_logs_in_one_language(self):
        for locale, present, absent in RUNS:
            with self.subTest(locale=locale):
                scratch = Scratch()
                try:
                    server = KestovA(BINARY, scratch.sub("rec"),
                                     scratch.sub("conf", "kestov-a.ini"), env=environment(locale))
                    port = re.search(r"(\d+)\D*$", server.first_line)
                    self.assertIsNotNone(port, server.first_line)
                    control = RawControl(int(port.group(1)))
                    control.login()
                    control.close()
                    server.proc.send_signal(signal.SIGTERM)
                    out, err = server.proc.communicate(timeout=30)
                    text = server.first_line + "\n" + (out + err).decode("utf-8", "replace")
                    for part in present:
                        self.assertIn(part, text, locale)
                    for part in absent:
                        self.assertNotIn(part, text, locale)
                finally:
                    scratch.cleanup()


if __name__ == "__main__":
    BINARY = sys.argv.pop(1)
    unittest.main()
