"""The served folder setting of kestov-a: remembered only once usable, "~" and relative
folders made absolute at start, a file refused at start and at SIGHUP, a read-only
folder warned about and uploads into it refused with 550.
Usage: served_folder_test.py PATH-TO-kestov-a"""
import json
import os
import re
import signal
import subprocess
import sys
import unittest
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, RawControl, Scratch  # noqa: E402

KESTOV_A = None


class FolderSettingTest(unittest.TestCase):
    def setUp(self):
        self.scratch = Scratch()
        os.chmod(self.scratch.path, 0o755)  # the read-only test runs the service as nobody
        self.settings = self.scratch.sub("kestov-a.ini")
        self.blocker = self.scratch.sub("a-file")
        with open(self.blocker, "w") as blocker:
            blocker.write("not a folder")

    def tearDown(self):
        self.scratch.cleanup()

    def write_settings(self, folder):
        with open(self.settings, "w") as ini:
            ini.write("[PageReceive]\nFolder=%s\n" % folder)

    def test_a_folder_that_cannot_be_served_ends_the_start_and_is_not_remembered(self):
        self.write_settings(self.scratch.sub("good"))
        with open(self.settings, "rb") as ini:
            before = ini.read()
        cases = [(os.path.join(self.blocker, "x"), "cannot create the receiving folder "),
                 (self.blocker, "cannot serve %s: it exists and is not a folder" % self.blocker)]
        for folder, message in cases:
            with self.subTest(folder=folder):
                result = subprocess.run(
                    [KESTOV_A, "--port", "0", "--capture", "none", "--settings", self.settings,
                     "--folder", folder], capture_output=True, timeout=30)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr.decode("utf-8", "replace"))
                with open(self.settings, "rb") as ini:
                    self.assertEqual(ini.read(), before)

    def test_home_and_relative_folders_are_made_absolute_at_start(self):
        home = self.scratch.sub("home")
        env = dict(os.environ, HOME=home)
        # (Folder= in the settings file, --folder, the folder served)
        cases = [("~/x", None, os.path.join(home, "x")),
                 ("~", None, home),
                 ("", "~/y", os.path.join(home, "y")),
                 ("", "relative", self.scratch.sub("relative"))]
        for setting, option, served in cases:
            with self.subTest(setting=setting, option=option):
                self.write_settings(setting)
                server = KestovA(KESTOV_A, option, self.settings, env=env, cwd=self.scratch.path)
                try:
                    self.assertEqual(server.first_line, "kestov-a: serving %s on port %d"
                                     % (served, server.port or 0))
                    self.assertTrue(os.path.isdir(served))
                finally:
                    server.stop(signal.SIGKILL, timeout=5)
                if option is not None:
                    with open(self.settings) as ini:
                        self.assertIn("Folder=%s\n" % served, ini.read())

    def test_sighup_to_a_file_keeps_the_old_folder(self):
        first = self.scratch.sub("first")
        self.write_settings(first)
        server = KestovA(KESTOV_A, None, self.settings)
        self.assertIsNotNone(server.port, server.first_line)
        self.write_settings(self.blocker)
        server.proc.send_signal(signal.SIGHUP)
        expected = ("SIGHUP: cannot serve %s: it exists and is not a folder; the folder stays %s"
                    % (self.blocker, first))
        lines = []
        while not any(expected in line for line in lines):
            line = server._read_stdout_line(10)
            self.assertTrue(line, "no log line; got %s" % lines)
            lines.append(line)
        status, err = server.stop()
        self.assertEqual(status, 0, err)

    def test_a_read_only_folder_is_warned_about_and_uploads_get_550(self):
        folder = self.scratch.sub("read-only")
        os.mkdir(folder, 0o555)
        os.chmod(folder, 0o555)
        self.write_settings(folder)
        # Root may write anywhere: the service then runs as nobody.
        wrapper = (["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
                   if os.geteuid() == 0 else [])
        if wrapper and subprocess.run(wrapper + ["test", "-x", KESTOV_A]).returncode != 0:
            self.skipTest("user nobody cannot run %s here" % KESTOV_A)
        server = KestovA(KESTOV_A, None, self.settings, wrapper=wrapper,
                         extra=["--status-port", "0", "--status-address", "127.0.0.1"],
                         env=dict(os.environ, HOME=self.scratch.path))
        try:
            self.assertIsNotNone(server.port, server.first_line)
            warning = ("warning: the service cannot write into the receiving folder %s"
                       % folder).encode()
            self.assertIsNotNone(server.wait_stderr(re.escape(warning)), server.err)
            page = server.wait_stderr(rb"status page on http://127\.0\.0\.1:(\d+)/")
            self.assertIsNotNone(page, server.err)
            with urllib.request.urlopen("http://127.0.0.1:%d/api/status" % int(page.group(1)),
                                        timeout=10) as reply:
                self.assertFalse(json.load(reply)["service"]["folderWritable"])
            control = RawControl(server.port)
            control.login()
            data = control.passive()
            self.assertEqual(control.command("STOR new.bin"), "550 Permission denied.")
            data.close()
            control.close()
            self.assertEqual(os.listdir(folder), [])
        finally:
            server.stop(signal.SIGKILL, timeout=5)


if __name__ == "__main__":
    KESTOV_A = sys.argv[1]
    del sys.argv[1:2]
    unittest.main()
