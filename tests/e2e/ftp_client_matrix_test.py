"""kestov-a's FTP extensions with the clients Debian ships, over IPv4 and IPv6: recursive
ncftpget (machine listings), mget with wildcards (tnftp, inetutils-ftp), rclone copy and
sync keeping modification times (MFMT), ftplib's mlsd()/MLST, lftp mirror, and curl with
EPSV and EPRT. Every download is checked byte for byte; every run is bounded in time, the
trees in depth (two levels) and the files in size (200 kB at most).
Usage: ftp_client_matrix_test.py PATH-TO-kestov-a"""
import ftplib
import os
import shutil
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import files_below, read, start_for_clients, stop_for_clients, write  # noqa: E402,E501

BINARY = None
TREE = {
    "番組/第1話.bin": os.urandom(150000),
    "番組/特集/予告.bin": os.urandom(70000),
    "番組/空.bin": b"",
    "top.bin": os.urandom(1000),
    "notes.txt": b"not a bin",
}
BINS = {name: data for name, data in TREE.items() if "/" not in name and name.endswith(".bin")}
CLIENT_TIMEOUT = 90
ENV = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")
OLD_TIME = 1262347200  # 2010-01-01 12:00:00 UTC: a time no copy made today can have


def has_ipv6_loopback():
    try:
        with socket.socket(socket.AF_INET6, socket.SOCK_STREAM) as probe:
            probe.bind(("::1", 0))
        return True
    except OSError:
        return False


class ClientMatrixTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        start_for_clients(cls, BINARY, ENV)
        cls.hosts = [("ipv4", "127.0.0.1", "127.0.0.1")]
        if has_ipv6_loopback():
            cls.hosts.append(("ipv6", "::1", "[::1]"))

    @classmethod
    def tearDownClass(cls):
        stop_for_clients(cls)

    def setUp(self):
        self.name = self.id().rsplit(".", 1)[-1]

    def folders(self, family):
        """A served folder holding TREE and an empty local folder, for one run."""
        served = os.path.join(self.folder, self.name, family)
        local = self.scratch.sub("local", self.name, family)
        for relative, data in TREE.items():
            write(os.path.join(served, relative), data)
        os.makedirs(local)
        return served, local

    def need(self, program):
        if shutil.which(program) is None:
            self.skipTest(program + " is not installed")

    def run_client(self, *args, stdin=None, cwd=None):
        result = subprocess.run(args, input=stdin, capture_output=True, timeout=CLIENT_TIMEOUT,
                                cwd=cwd, env=ENV)
        output = (result.stdout + result.stderr).decode(errors="replace")
        self.assertEqual(result.returncode, 0, "%s\n%s" % (" ".join(args), output[-3000:]))
        return output

    def assert_tree(self, folder, expected):
        self.assertEqual(sorted(files_below(folder)), sorted(expected))
        for relative, data in expected.items():
            self.assertEqual(read(os.path.join(folder, relative)), data, relative)

    def test_ncftpget_recursive(self):
        self.need("ncftpget")
        # ncftp resolves IPv4 names and addresses only ("::1: unknown host").
        for family, host, _ in self.hosts[:1]:
            with self.subTest(family):
                served, local = self.folders(family)
                self.run_client("ncftpget", "-R", "-V", "-t", "30", "-P", str(self.port),
                                "-u", "anonymous", "-p", "guest", host, local,
                                "/%s/%s/番組" % (self.name, family))
                self.assert_tree(local, {k: v for k, v in TREE.items() if k.startswith("番組/")})

    def test_mget_with_wildcards(self):
        clients = []
        if shutil.which("tnftp"):
            clients.append(("tnftp", lambda host: ["tnftp", "-n", "-V", host, str(self.port)]))
        if shutil.which("inetutils-ftp"):
            clients.append(("inetutils-ftp",
                            lambda host: ["inetutils-ftp", "-n", "-v", "-p", host,
                                          str(self.port)]))
        if not clients:
            self.skipTest("neither tnftp nor inetutils-ftp is installed")
        for client, command in clients:
            for family, host, _ in self.hosts:
                with self.subTest(client=client, family=family):
                    served, local = self.folders(client + "-" + family)
                    script = ("user anonymous guest\nbinary\nprompt\ncd %s/%s-%s\n"
                              "mget *.bin\nbye\n" % (self.name, client, family))
                    self.run_client(*command(host), stdin=script.encode(), cwd=local)
                    self.assert_tree(local, BINS)

    def test_rclone_copy_and_sync_keep_times(self):
        self.need("rclone")
        password = subprocess.run(["rclone", "obscure", "guest"], capture_output=True,
                                  timeout=30, check=True).stdout.decode().strip()
        rclone = ["rclone", "--config", "/dev/null", "--transfers", "2", "--checkers", "2",
                  "--retries", "1", "--low-level-retries", "1", "--timeout", "30s",
                  "--contimeout", "10s"]
        # Debian's rclone joins host and port without brackets: the bracketed form it is.
        for family, _, url_host in self.hosts:
            with self.subTest(family):
                served, local = self.folders(family)
                remote = (":ftp,host='%s',port=%d,user=anonymous,pass=%s:%s/%s/"
                          % (url_host, self.port, password, self.name, family))
                up = os.path.join(local, "up")
                for relative, data in TREE.items():
                    write(os.path.join(up, relative), data)
                    os.utime(os.path.join(up, relative), (OLD_TIME, OLD_TIME))
                output = self.run_client(*rclone, "copy", up, remote + "copied")
                output += self.run_client(*rclone, "sync", up, remote + "synced")
                self.assertNotIn("SetModTime", output)
                for target in ("copied", "synced"):
                    self.assert_tree(os.path.join(served, target), TREE)
                    for relative in TREE:
                        self.assertEqual(
                            int(os.path.getmtime(os.path.join(served, target, relative))),
                            OLD_TIME, relative)
                self.run_client(*rclone, "copy", remote + "copied", "down", cwd=local)
                self.assert_tree(os.path.join(local, "down"), TREE)

    def test_ftplib_machine_listings(self):
        for family, host, _ in self.hosts:
            with self.subTest(family):
                served, _ = self.folders(family)
                os.utime(os.path.join(served, "top.bin"), (OLD_TIME, OLD_TIME))
                ftp = ftplib.FTP()
                ftp.connect(host, self.port, timeout=30)
                ftp.login("anonymous", "guest")
                ftp.cwd("%s/%s" % (self.name, family))
                facts = dict(ftp.mlsd())
                self.assertEqual(sorted(facts), sorted(["番組", "top.bin", "notes.txt"]))
                self.assertEqual(facts["top.bin"]["type"], "file")
                self.assertEqual(facts["top.bin"]["size"], "1000")
                self.assertEqual(facts["top.bin"]["modify"], "20100101120000")
                self.assertEqual(facts["番組"]["type"], "dir")
                self.assertEqual(ftp.sendcmd("MDTM top.bin"), "213 20100101120000")
                lines = ftp.sendcmd("MLST top.bin").split("\n")  # ftplib joins with LF
                self.assertEqual(lines[0][:4], "250-")
                self.assertIn("size=1000;", lines[1])
                ftp.quit()

    def test_lftp_mirror(self):
        self.need("lftp")
        for family, _, url_host in self.hosts:
            with self.subTest(family):
                served, local = self.folders(family)
                script = ("set net:max-retries 1; set net:timeout 20; set ftp:charset utf-8; "
                          "set file:charset utf-8; open -u anonymous,guest ftp://%s:%d; "
                          "mirror %s/%s down" % (url_host, self.port, self.name, family))
                self.run_client("lftp", "-c", script, cwd=local)
                self.assert_tree(os.path.join(local, "down"), TREE)

    def test_ipv6_data_connections_only_with_the_client(self):
        if len(self.hosts) < 2:
            self.skipTest("no IPv6 loopback here")
        with socket.create_connection(("::1", self.port), timeout=10) as control:
            replies = control.makefile("rb")

            def command(text):
                control.sendall(text.encode() + b"\r\n")
                return replies.readline().decode().rstrip("\r\n")

            self.assertTrue(replies.readline().startswith(b"220 "))
            self.assertTrue(command("USER anonymous").startswith("331 "))
            self.assertTrue(command("PASS guest").startswith("230 "))
            cases = [
                ("EPRT |2|::2|4000|", "500 Illegal PORT command."),
                ("EPRT |1|127.0.0.1|4000|", "500 Illegal PORT command."),
                ("PORT 127,0,0,1,15,160", "500 Illegal PORT command."),
                ("EPSV 1", "522 Network protocol not supported, use (2)"),
                ("EPRT |2|::1|4000|", "200 EPRT command successful."),
            ]
            for line, expected in cases:
                self.assertEqual(command(line), expected, line)
            self.assertEqual(command("QUIT")[:4], "221 ")

    def test_curl_extended_passive_and_active(self):
        self.need("curl")
        for family, _, url_host in self.hosts:
            served, local = self.folders(family)
            url = "ftp://anonymous:guest@%s:%d/%s/%s/" % (url_host, self.port, self.name, family)
            for mode, options in (("EPSV", ["--ftp-pasv"]), ("EPRT", ["--ftp-port", "-"])):
                with self.subTest(family=family, mode=mode):
                    target = os.path.join(local, mode + ".bin")
                    output = self.run_client("curl", "-sS", "-v", "--max-time", "60", *options,
                                             "-o", target, url + "番組/第1話.bin")
                    self.assertIn("> " + mode, output)
                    self.assertEqual(read(target), TREE["番組/第1話.bin"])
                    listing = self.run_client("curl", "-sS", "--max-time", "60", "-l", *options,
                                              url)
                    self.assertIn("top.bin", listing)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
