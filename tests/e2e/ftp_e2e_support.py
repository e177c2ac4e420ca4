"""Helpers for the whole-program FTP tests: start the built kestov-a on a free port,
talk to it over a raw control connection, and stop it with a signal."""
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time


class KestovA:
    """One kestov-a process serving `folder`; the port is read from its first line.
    `wrapper` is put before the program (e.g. setpriv to run it as another user)."""

    def __init__(self, binary, folder, settings, extra=(), env=None, port="0", cwd=None,
                 wrapper=()):
        args = list(wrapper) + [binary, "--port", port, "--capture", "none", "--active-port", "0"]
        if folder is not None:
            args += ["--folder", folder]
        if settings is not None:
            args += ["--settings", settings]
        args += list(extra)
        if env is None:  # the texts read below are the English ones, whatever the locale
            env = dict(os.environ, LC_ALL="C.UTF-8")
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=env, cwd=cwd)
        self.port = None
        self.err = b""
        self.first_line = self._read_stdout_line(15)
        match = re.match(r"kestov-a: serving (.*) on port (\d+)$", self.first_line)
        if match:
            self.served = match.group(1)
            self.port = int(match.group(2))

    def _read_stdout_line(self, timeout):
        deadline = time.monotonic() + timeout
        data = b""
        while not data.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([self.proc.stdout], [], [], 0.2)
            if ready:
                chunk = os.read(self.proc.stdout.fileno(), 1)
                if not chunk:
                    break
                data += chunk
        return data.decode("utf-8", "replace").rstrip("\n")

    def wait_stderr(self, pattern, timeout=15):
        """The first match of the bytes regex `pattern` in standard error so far, read until
        it appears (None after `timeout` seconds or at the end of the output)."""
        deadline = time.monotonic() + timeout
        while True:
            match = re.search(pattern, self.err)
            if match or time.monotonic() >= deadline:
                return match
            if select.select([self.proc.stderr], [], [], 0.2)[0]:
                chunk = os.read(self.proc.stderr.fileno(), 4096)
                if not chunk:
                    return re.search(pattern, self.err)
                self.err += chunk

    def stop(self, sig=signal.SIGTERM, timeout=30):
        """Signals the process and returns (exit status, stderr text)."""
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            _, err = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            _, err = self.proc.communicate()
            return None, (self.err + err).decode("utf-8", "replace")
        return self.proc.returncode, (self.err + err).decode("utf-8", "replace")


class RawControl:
    """A raw control connection that reads CR LF terminated reply lines."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.pending = b""

    def line(self, timeout=10):
        self.sock.settimeout(timeout)
        while b"\r\n" not in self.pending:
            chunk = self.sock.recv(4096)
            if not chunk:
                return None
            self.pending += chunk
        line, self.pending = self.pending.split(b"\r\n", 1)
        return line.decode("latin-1")

    def command(self, text):
        self.sock.sendall(text.encode("latin-1") + b"\r\n")
        return self.line()

    def login(self):
        assert self.line().startswith("220 ")
        assert self.command("USER anonymous").startswith("331 ")
        assert self.command("PASS x").startswith("230 ")

    def passive(self):
        reply = self.command("PASV")
        numbers = [int(n) for n in re.search(r"\((.*)\)", reply).group(1).split(",")]
        return socket.create_connection((".".join(map(str, numbers[:4])),
                                         numbers[4] * 256 + numbers[5]), timeout=10)

    def closed(self, timeout=10):
        self.sock.settimeout(timeout)
        try:
            return self.sock.recv(4096) == b""
        except (ConnectionResetError, socket.timeout):
            return False

    def close(self):
        self.sock.close()


class Scratch:
    """A temporary folder removed at exit."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="kestova-e2e-")

    def sub(self, *names):
        return os.path.join(self.path, *names)

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files_below(folder):
    """Relative path -> bytes of every file below `folder`, four levels deep at most."""
    found = {}
    for top, dirs, names in os.walk(folder):
        dirs[:] = [d for d in dirs if top.count(os.sep) - folder.count(os.sep) < 4]
        for name in names:
            path = os.path.join(top, name)
            found[os.path.relpath(path, folder)] = read(path)
    return found


def start_for_clients(case, binary, client_env):
    """For a test class's setUpClass: one kestov-a serving scratch/rec, and a home of their own
    in `client_env` where the FTP clients keep their settings and bookmarks."""
    case.scratch = Scratch()
    case.folder = case.scratch.sub("rec")
    os.makedirs(case.folder)
    case.server = KestovA(binary, case.folder, case.scratch.sub("kestov-a.ini"))
    if case.server.port is None:
        raise RuntimeError("kestov-a did not start: " + case.server.first_line)
    case.port = case.server.port
    client_env["HOME"] = case.scratch.sub("home")
    os.makedirs(client_env["HOME"])


def stop_for_clients(case):
    """For tearDownClass: stops the server started by start_for_clients; it must end cleanly."""
    status, err = case.server.stop()
    case.scratch.cleanup()
    if status != 0:
        raise RuntimeError("kestov-a ended with %r: %s" % (status, err))


def wait_until(condition, timeout, interval=0.05):
    """Calls `condition` until it returns a true value or `timeout` seconds have passed; its
    last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def wait_for(condition, timeout, what):
    """As wait_until, but a timeout fails the test, naming `what` was awaited."""
    value = wait_until(condition, timeout, 0.1)
    if not value:
        raise AssertionError("timed out waiting for " + what)
    return value
