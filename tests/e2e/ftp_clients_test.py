"""kestov-a with the FTP clients people use: curl, Python's ftplib and lftp, each in
passive and active mode: list, upload, download, rename, delete, mkdir and rmdir.
Usage: ftp_clients_test.py PATH-TO-kestov-a"""
import ftplib
import os
import shutil
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import KestovA, Scratch  # noqa: E402

BINARY = None
PAYLOAD = os.urandom(1 << 20)


class ClientsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Scratch()
        cls.folder = cls.scratch.sub("rec")
        cls.server = KestovA(BINARY, cls.folder, cls.scratch.sub("kestov-a.ini"))
        if cls.server.port is None:
            raise RuntimeError("kestov-a did not start: " + cls.server.first_line)
        cls.url = "ftp://127.0.0.1:%d/" % cls.server.port
        cls.local = cls.scratch.sub("local")
        os.makedirs(cls.local)
        with open(os.path.join(cls.local, "payload.bin"), "wb") as f:
            f.write(PAYLOAD)

    @classmethod
    def tearDownClass(cls):
        status, err = cls.server.stop()
        cls.scratch.cleanup()
        if status != 0:
            raise RuntimeError("kestov-a ended with %r: %s" % (status, err))

    def served(self, *names):
        return os.path.join(self.folder, *names)

    def read_served(self, name):
        with open(self.served(name), "rb") as f:
            return f.read()

    # ---- curl ----------------------------------------------------------------------
    def run_curl(self, *args):
        result = subprocess.run(["curl", "-sS", "--max-time", "60", *args],
                                capture_output=True, timeout=90)
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        return result.stdout

    def curl_round(self, active):
        if shutil.which("curl") is None:
            self.skipTest("curl is not installed")
        mode = ["-P", "127.0.0.1"] if active else []  # passive: EPSV first, then PASV
        name = "curl_%s.bin" % ("active" if active else "passive")
        local = os.path.join(self.local, "payload.bin")
        self.run_curl(*mode, "-T", local, self.url + name)
        self.assertEqual(self.read_served(name), PAYLOAD)
        self.assertIn(name.encode(), self.run_curl(*mode, self.url))
        self.assertIn(name.encode(), self.run_curl(*mode, "--list-only", self.url))
        self.assertEqual(self.run_curl(*mode, self.url + name), PAYLOAD)
        folder = "curl_dir_%d" % active
        self.run_curl(*mode, "-Q", "MKD " + folder, self.url)
        self.assertTrue(os.path.isdir(self.served(folder)))
        self.run_curl(*mode, "-Q", "RMD " + folder, self.url)
        self.assertFalse(os.path.exists(self.served(folder)))
        self.run_curl(*mode, "-Q", "RNFR " + name, "-Q", "RNTO renamed_" + name, self.url)
        self.assertEqual(self.read_served("renamed_" + name), PAYLOAD)
        self.run_curl(*mode, "-Q", "DELE renamed_" + name, self.url)
        self.assertFalse(os.path.exists(self.served("renamed_" + name)))

    def test_curl_passive(self):
        self.curl_round(active=False)

    def test_curl_active(self):
        self.curl_round(active=True)

    # ---- Python's ftplib -----------------------------------------------------------
    def ftplib_round(self, active):
        name = "ftplib_%s.bin" % ("active" if active else "passive")
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", self.server.port, timeout=30)
        ftp.login("anonymous", "guest")
        ftp.set_pasv(not active)
        with open(os.path.join(self.local, "payload.bin"), "rb") as f:
            ftp.storbinary("STOR " + name, f)
        self.assertEqual(self.read_served(name), PAYLOAD)
        self.assertIn(name, ftp.nlst())
        lines = []
        ftp.retrlines("LIST", lines.append)
        self.assertTrue(any(line.startswith("-rw-rw-rw- 1 ftpuser ftpuser ")
                            and line.endswith(" " + name) for line in lines), lines)
        chunks = []
        ftp.retrbinary("RETR " + name, chunks.append)
        self.assertEqual(b"".join(chunks), PAYLOAD)
        folder = "ftplib_dir_%d" % active
        ftp.mkd(folder)
        ftp.cwd(folder)
        self.assertEqual(ftp.pwd(), "/%s/" % folder)
        ftp.cwd("/")
        ftp.rmd(folder)
        self.assertFalse(os.path.exists(self.served(folder)))
        ftp.rename(name, "renamed_" + name)
        self.assertEqual(self.read_served("renamed_" + name), PAYLOAD)
        ftp.delete("renamed_" + name)
        self.assertFalse(os.path.exists(self.served("renamed_" + name)))
        ftp.quit()

    def test_ftplib_passive(self):
        self.ftplib_round(active=False)

    def test_ftplib_active(self):
        self.ftplib_round(active=True)

    # ---- lftp ----------------------------------------------------------------------
    def run_lftp(self, active, script):
        settings = ("set net:max-retries 1; set net:timeout 20; set ftp:passive-mode %s; "
                    "open -u anonymous,guest %s; " % ("off" if active else "on", self.url))
        result = subprocess.run(["lftp", "-c", settings + script], capture_output=True,
                                timeout=120, cwd=self.local)
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        return result.stdout.decode(errors="replace")

    def lftp_round(self, active):
        if shutil.which("lftp") is None:
            self.skipTest("lftp is not installed")
        name = "lftp_%s.bin" % ("active" if active else "passive")
        back = "back_" + name
        self.run_lftp(active, "put payload.bin -o %s" % name)
        self.assertEqual(self.read_served(name), PAYLOAD)
        self.assertIn(name, self.run_lftp(active, "ls"))
        self.assertIn(name, self.run_lftp(active, "cls -1"))
        self.run_lftp(active, "get %s -o %s" % (name, back))
        with open(os.path.join(self.local, back), "rb") as f:
            self.assertEqual(f.read(), PAYLOAD)
        folder = "lftp_dir_%d" % active
        self.run_lftp(active, "mkdir %s" % folder)
        self.assertTrue(os.path.isdir(self.served(folder)))
        self.run_lftp(active, "rmdir %s" % folder)
        self.assertFalse(os.path.exists(self.served(folder)))
        self.run_lftp(active, "mv %s renamed_%s" % (name, name))
        self.assertEqual(self.read_served("renamed_" + name), PAYLOAD)
        self.run_lftp(active, "rm renamed_%s" % name)
        self.assertFalse(os.path.exists(self.served("renamed_" + name)))

    def test_lftp_passive(self):
        self.lftp_round(active=False)

    def test_lftp_active(self):
        self.lftp_round(active=True)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
