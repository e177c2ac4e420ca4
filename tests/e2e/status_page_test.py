"""The status page end to end: kestov-a with --status-page and --on-complete receives two
programmes from kestov-recorder (one interrupted by the test), and headless Chromium renders
the page. Usage: status_page_test.py KESTOV-A KESTOV-RECORDER SCREENSHOT-FOLDER
Skips (77) when chromium is missing."""
import glob
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import threading
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import Scratch, wait_for  # noqa: E402

KESTOV_A = RECORDER = SHOTS = CHROMIUM = None
JAPANESE_TITLE = "ニュース:夜のまとめ"
JAPANESE_FILE = "ニュース：夜のまとめ.MPG"
EVIL_TITLE = "MOVIE '; rm -rf pwned $(touch pwned) `touch pwned`"

HOOK = """#!/bin/sh
# Records the reception it is told about; for the Japanese title it then hangs.
env | grep '^KESTOVA_' | sort > "$HOOK_DIR/$KESTOVA_ID.tmp"
mv "$HOOK_DIR/$KESTOVA_ID.tmp" "$HOOK_DIR/$KESTOVA_ID.env"
case "$KESTOVA_NAME" in
  ニュース*) echo $$ > "$HOOK_DIR/hanging.pid"; exec sleep 120 ;;
esac
"""



class Service:
    """kestov-a with the status page on 127.0.0.1 and the hook; collects both outputs."""

    def __init__(self, scratch, hook, folder_option=True, program=None, page_expected=True):
        self.folder = scratch.sub("rec")
        args = [program or KESTOV_A, "--port", "0", "--capture", "none", "--active-port", "0",
                "--settings", scratch.sub("kestov-a.ini"), "--status-port", "0",
                "--status-address", "127.0.0.1", "--on-complete", hook]
        if folder_option:
            args += ["--folder", self.folder]
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", HOOK_DIR=scratch.sub("hook"))
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        self.out, self.err = [], []
        self.threads = [threading.Thread(target=self._drain, args=(s, l), daemon=True)
                        for s, l in ((self.proc.stdout, self.out), (self.proc.stderr, self.err))]
        for thread in self.threads:
            thread.start()
        self.ftp_port = int(wait_for(lambda: self._find(self.out, r"on port (\d+)$"), 15,
                                     "the FTP listener"))
        if not page_expected:
            return
        self.page_port = int(wait_for(lambda: self._find(self.err, r"status page on "
                                                         r"http://127\.0\.0\.1:(\d+)/"), 15,
                                      "the status page"))
        self.url = "http://127.0.0.1:%d/" % self.page_port

    @staticmethod
    def _drain(stream, lines):
        for line in iter(stream.readline, b""):
            lines.append(line.decode("utf-8", "replace").rstrip("\n"))

    @staticmethod
    def _find(lines, pattern):
        for line in list(lines):
            match = re.search(pattern, line)
            if match:
                return match.group(1)
        return None

    def api(self, name):
        with urllib.request.urlopen(self.url + "api/" + name, timeout=5) as reply:
            return json.loads(reply.read().decode("utf-8"))

    def receptions(self):
        return self.api("receptions")["receptions"]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for thread in self.threads:
            thread.join(timeout=5)
        for thread, stream in zip(self.threads, (self.proc.stdout, self.proc.stderr)):
            if not thread.is_alive():  # a reading thread holds its stream
                stream.close()


def chromium(url, *extra, budget=3000):
    args = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
            "--virtual-time-budget=%d" % budget] + list(extra)
    if not any(arg.startswith("--screenshot") for arg in extra):
        args.append("--dump-dom")
    args.append(url)
    result = subprocess.run(args, capture_output=True, timeout=120)
    return result.stdout.decode("utf-8", "replace")


def rows(dom):
    """(data-state, file name, state text) of every rendered row, newest first."""
    found = []
    for row in re.findall(r"<tr data-id=\"\d+\" data-state=\"([a-z-]+)\">(.*?)</tr>", dom, re.S):
        cells = re.findall(r"<td[^>]*>(.*?)</td>", row[1], re.S)
        found.append((row[0], cells[1], cells[-1]))
    return found


def unescape(text):
    return (text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"')
            .replace("&#39;", "'").replace("&amp;", "&"))


class StatusPageTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        os.makedirs(self.scratch.sub("hook"))
        hook = self.scratch.sub("hook.sh")
        with open(hook, "w") as script:
            script.write(HOOK)
        os.chmod(hook, 0o755)
        self.service = Service(self.scratch, hook + " --from-kestov-a")

    def tearDown(self):
        # The hanging hook first: it holds the service's output open.
        pid_file = self.scratch.sub("hook", "hanging.pid")
        if os.path.exists(pid_file):
            try:
                with open(pid_file) as pid:
                    os.kill(int(pid.read()), signal.SIGKILL)
            except (ProcessLookupError, ValueError):
                pass
        self.service.stop()
        self.scratch.cleanup()

    def recorder(self, title, size, delay_ms):
        return subprocess.Popen([RECORDER, "--port", str(self.service.ftp_port), "--title", title,
                                 "--size", str(size), "--piece", "64K", "--piece-delay",
                                 str(delay_ms)], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=dict(os.environ, LC_ALL="C.UTF-8"))

    def row_in_state(self, name_start, state):
        def check():
            for r in self.service.receptions():
                if r["fileName"].startswith(name_start) and r["state"] == state:
                    return r
            return None
        return check

    def test_two_receptions_on_the_page_live_with_hook_and_logs(self):
        service = self.service
        # 1: the Japanese title at about 1 MB/s; the page is loaded while it arrives.
        first = self.recorder(JAPANESE_TITLE, 6 * 1024 * 1024, 60)
        wait_for(self.row_in_state("ニュース", "receiving"), 20, "the first reception")
        live = chromium(service.url, "--accept-lang=ja-JP,ja", budget=5000)
        self.assertIn('<html lang="ja">', live)
        live_rows = rows(live)
        self.assertEqual(len(live_rows), 1, live)
        self.assertEqual(live_rows[0][:2], ("receiving", JAPANESE_FILE))
        self.assertEqual(live_rows[0][2], "受信中")
        refreshes = int(re.search(r'data-refreshes="(\d+)"', live).group(1))
        self.assertGreaterEqual(refreshes, 2, "the page refreshes itself")
        self.assertEqual(first.wait(timeout=60), 0)
        wait_for(self.row_in_state("ニュース", "received"), 20, "the first reception's end")

        # 2: a title with shell syntax, stopped half-way: more than 10 s without data.
        second = self.recorder(EVIL_TITLE, 8 * 1024 * 1024, 20)
        try:
            wait_for(lambda: any(r["state"] == "receiving" and r["receivedBytes"] > 256 * 1024
                                 for r in service.receptions()), 20, "the second reception")
            second.send_signal(signal.SIGSTOP)
            wait_for(self.row_in_state("MOVIE", "interrupted"), 40, "the interruption")
        finally:
            second.kill()
            second.wait()

        # The page in Japanese and in English, as a phone and as a desktop shows it.
        pages = {}
        for lang, accept in (("ja", "ja-JP,ja"), ("en", "en-US,en")):
            pages[lang] = chromium(service.url, "--accept-lang=" + accept)
            for name, size in (("phone", "390,844"), ("desktop", "1280,720")):
                shot = os.path.join(SHOTS, "status-page-%s-%s.png" % (lang, name))
                if os.path.exists(shot):
                    os.remove(shot)
                chromium(service.url, "--accept-lang=" + accept, "--window-size=" + size,
                         "--screenshot=" + shot)
                self.assertTrue(os.path.getsize(shot) > 1000, shot)
        expected = {"ja": ["受信が中断されました", "受信完了しました"],
                    "en": ["Reception interrupted", "Reception complete"]}
        for lang, dom in pages.items():
            final = rows(dom)
            self.assertEqual([r[0] for r in final], ["interrupted", "received"], dom)
            self.assertTrue(unescape(final[0][1]).startswith("MOVIE '; rm -rf pwned $(touch"))
            self.assertEqual(final[1][1], JAPANESE_FILE)
            self.assertEqual([r[2] for r in final], expected[lang])
            self.assertIn('<html lang="%s">' % lang, dom)
            self.assertIn(service.folder, dom)

        # The JSON matches the page and the files; the hook ran once per reception.
        listed = service.receptions()
        self.assertEqual([r["state"] for r in listed], ["received", "interrupted"])
        for r in listed:
            self.assertEqual(os.path.dirname(r["path"]), service.folder)
            self.assertEqual(os.path.getsize(r["path"]), r["receivedBytes"])
            env_file = self.scratch.sub("hook", "%d.env" % r["id"])
            wait_for(lambda: os.path.exists(env_file), 10, "the hook of " + r["fileName"])
            with open(env_file) as variables:
                env = dict(line.split("=", 1) for line in variables.read().splitlines())
            self.assertEqual(env["KESTOVA_FILE"], r["path"])
            self.assertEqual(env["KESTOVA_STATE"], r["state"])
            self.assertEqual(int(env["KESTOVA_BYTES"]), r["receivedBytes"])
            self.assertGreaterEqual(int(env["KESTOVA_SECONDS"]), 0)
        self.assertEqual(len(os.listdir(self.scratch.sub("hook"))), 3)  # 2 runs + hanging.pid
        for where in (self.scratch.path, service.folder, os.getcwd()):
            self.assertFalse(os.path.exists(os.path.join(where, "pwned")), where)
        self.assertEqual(len(os.listdir(service.folder)), 2)

        # The plain log: the recorder's logins.
        self.assertTrue(any(re.search(r'ftp 127\.0\.0\.1:\d+ user "recorder": logged in', line)
                            for line in service.out), "\n".join(service.out))


class HangupTest(unittest.TestCase):
    def test_sighup_rereads_the_folder_and_does_not_end_the_service(self):
        scratch = Scratch()
        try:
            settings = scratch.sub("kestov-a.ini")
            with open(settings, "w") as ini:
                ini.write("[PageReceive]\nFolder=%s\n" % scratch.sub("first"))
            service = Service(scratch, "", folder_option=False)
            try:
                self.assertEqual(service.api("status")["service"]["folder"], scratch.sub("first"))
                with open(settings, "w") as ini:
                    ini.write("[PageReceive]\nFolder=%s\n" % scratch.sub("second"))
                service.proc.send_signal(signal.SIGHUP)
                wait_for(lambda: service.api("status")["service"]["folder"]
                         == scratch.sub("second"), 10, "the new folder")
                self.assertIsNone(service.proc.poll())
                self.assertTrue(os.path.isdir(scratch.sub("second")))
                wait_for(lambda: any("SIGHUP: new connections are served from" in line
                                     for line in service.out), 10, "the log line")
            finally:
                service.stop()
            self.assertEqual(service.proc.returncode, 0)
        finally:
            scratch.cleanup()


class MissingModuleTest(unittest.TestCase):
    def test_without_its_http_module_the_service_warns_and_serves_on(self):
        installed = [p for prefix in ("/usr", "/usr/local") for pattern in ("lib", "lib/*")
                     for p in glob.glob(prefix + "/" + pattern + "/kestov-a/kestov-a-http.so")]
        if installed:
            self.skipTest("an installed module would be found: " + installed[0])
        scratch = Scratch()
        try:
            program = shutil.copy(KESTOV_A, scratch.sub("kestov-a"))  # no module beside it
            service = Service(scratch, "", program=program, page_expected=False)
            try:
                with socket.create_connection(("127.0.0.1", service.ftp_port), timeout=5) as ftp:
                    self.assertTrue(ftp.recv(100).startswith(b"220 "))
                warning = wait_for(lambda: Service._find(
                    service.err, r"(warning: the status page is not available: .*)"), 10,
                    "the warning")
                self.assertIn("kestov-a-http.so", warning)
                self.assertIn("the status port is ignored", warning)
                self.assertIsNone(Service._find(service.err, r"(status page on http)"))
            finally:
                service.stop()
            self.assertEqual(service.proc.returncode, 0)
        finally:
            scratch.cleanup()


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    KESTOV_A, RECORDER, SHOTS = sys.argv[1], sys.argv[2], sys.argv[3]
    CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
    if CHROMIUM is None:
        print("SKIP: chromium is not installed")
        sys.exit(77)
    os.makedirs(SHOTS, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
