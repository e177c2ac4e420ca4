"""KESTOV-A.exe end to end under wine64 + Xvfb, in network namespaces of its own.

A recorder side and a destination side are joined by a veth pair; this process enters the
destination namespace, where Xvfb, a fresh Wine prefix (LANG=ja_JP.UTF-8) and the program
run; kestov-recorder runs on the recorder side and finds the program by a NetBIOS name
query. The program's windows are read from outside with win_probe (list rows through
LVM_GETITEMTEXTA, message box texts, window rectangles); screenshots are kept in the work
folder.

Usage: windows_program_test.py --program KESTOV-A.exe --probe win_probe.exe
                               --recorder kestov-recorder --work FOLDER --driver KESTOVA.SYS
                               [--wine32]   (an i686 program: 32-bit Wine, win32 prefix)
Exit status: 0 passed, 1 failed, 77 skipped (not root, no namespaces, no recorder).
"""
import argparse
import ctypes
import ftplib
import glob
import io
import os
import re
import shutil
import socket
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_e2e_support import wait_until  # noqa: E402

ARGS = None
WINE = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine64"

RECORDER_ADDRESS = "10.213.1.1"
DESTINATION_ADDRESS = "10.213.1.2"
BROADCAST = "10.213.1.255"

# Texts of the program's string table. The main window's caption names the method that
# answers names; the tests' programs run with Method=socket unless they say otherwise.
MAIN_CAPTION = "KESTOV-A - 名前応答：UDPソケット"
ANY_MAIN_CAPTION = "KESTOV-A - 名前応答：*"
CONFIRM_CAPTION = "KESTOV-A"
CLOSE_WHILE_RECEIVING = "受信中の番組があります。終了しますか？"
RECEIVED = "受信完了しました"
RECEIVING = "受信中"
INTERRUPTED = "受信が中断されました"
ERROR_CAPTION = "エラー"
DRIVER_MISSING = "KESTOVA.SYSファイルが見つからないため検索できません。"
SERVER_ERROR_CAPTION = "サーバ起動エラー"
SERVER_ERROR = "FTPサーバーが起動できませんでした。他のFTPサーバーを終了してください。"
BROWSE_TITLE = "保存フォルダを選択してください"
VERSION_ERROR_CAPTION = "Windowsバージョンエラー"
VERSION_ERROR = "Windows95/98/Meでは使用できません。"


class Skip(Exception):
    pass


class PrivateNetwork:
    """Two namespaces joined by a veth pair; this process moves into the destination one."""

    def __init__(self):
        tag = "kw%x" % (os.getpid() & 0xFFFFFF)
        self.recorder_ns = tag + "-rec"
        self.destination_ns = tag + "-dst"
        self.created = []

    def ip(self, *args):
        subprocess.run(["ip"] + list(args), check=True, timeout=30, capture_output=True)

    def create(self):
        tag = self.recorder_ns[:-4]
        try:
            self.ip("netns", "add", self.recorder_ns)
        except (subprocess.CalledProcessError, FileNotFoundError) as error:
            raise Skip("cannot create network namespaces: %s" % error)
        self.created.append(self.recorder_ns)
        self.ip("netns", "add", self.destination_ns)
        self.created.append(self.destination_ns)
        self.ip("link", "add", tag + "r", "type", "veth", "peer", "name", tag + "d")
        self.ip("link", "set", tag + "r", "netns", self.recorder_ns)
        self.ip("link", "set", tag + "d", "netns", self.destination_ns)
        self.ip("-n", self.recorder_ns, "addr", "add", RECORDER_ADDRESS + "/24", "brd", "+",
                "dev", tag + "r")
        self.ip("-n", self.destination_ns, "addr", "add", DESTINATION_ADDRESS + "/24", "brd",
                "+", "dev", tag + "d")
        for ns, link in ((self.recorder_ns, tag + "r"), (self.destination_ns, tag + "d")):
            self.ip("-n", ns, "link", "set", "lo", "up")
            self.ip("-n", ns, "link", "set", link, "up")
        # Everything this process starts from now on runs on the destination side.
        libc = ctypes.CDLL(None, use_errno=True)
        fd = os.open("/run/netns/" + self.destination_ns, os.O_RDONLY)
        try:
            if libc.setns(fd, 0x40000000) != 0:  # CLONE_NEWNET
                raise Skip("setns failed: errno %d" % ctypes.get_errno())
        finally:
            os.close(fd)

    def on_recorder_side(self, args):
        return ["ip", "netns", "exec", self.recorder_ns] + list(args)

    def destroy(self):
        for ns in self.created:
            subprocess.run(["ip", "netns", "del", ns], timeout=30, capture_output=True)


class Display:
    """A private Xvfb server."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            raise Skip("Xvfb did not start")
        self.name = ":" + number

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", path], timeout=60,
                       check=True)

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class Wine:
    """A fresh Wine prefix with the Japanese locale, on the private display."""

    def __init__(self, work, display):
        self.prefix = os.path.join(work, "wineprefix")
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.env = dict(os.environ)
        # Wine links the user's documents folder (the program's default save folder) to
        # $HOME: a home of the test's own keeps it inside the work folder and fresh.
        home = os.path.join(work, "home")
        os.makedirs(home, exist_ok=True)
        self.env.update(HOME=home, WINEPREFIX=self.prefix, WINEDEBUG="-all", LANG="ja_JP.UTF-8",
                        LC_ALL="ja_JP.UTF-8", WINEDLLOVERRIDES="mscoree,mshtml=",
                        DISPLAY=display.name)
        subprocess.run([WINE, "wineboot", "-i"], env=self.env, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def start(self, exe, *args, extra_env=None):
        return subprocess.Popen([WINE, exe] + list(args), env=dict(self.env, **(extra_env or {})),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, exe, *args, timeout=60):
        return subprocess.run([WINE, exe] + list(args), env=self.env, timeout=timeout,
                              capture_output=True)

    def stop(self):
        subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver") if os.path.isabs(WINE) else "wineserver", "-k"], env=self.env, timeout=60,
                       capture_output=True)


def windows_named(display, caption):
    """X window ids whose title is exactly `caption` (begins with it when it ends in '*')."""
    pattern = ("^%s" % re.escape(caption[:-1]) if caption.endswith("*")
               else "^%s$" % re.escape(caption))
    result = subprocess.run(["xdotool", "search", "--name", pattern],
                            env=dict(os.environ, DISPLAY=display.name), capture_output=True,
                            text=True, timeout=30)
    return result.stdout.split()


def listening_on_21():
    result = subprocess.run(["ss", "-Hltn", "sport = :21"], capture_output=True, text=True,
                            timeout=30)
    return bool(result.stdout.strip())


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class Program:
    """KESTOV-A.exe copied into a folder of its own, with its settings file beside it
    (none when `method` is None: the program's defaults)."""

    def __init__(self, test, name, method, received, exe_name="KESTOV-A.exe", driver=False):
        self.test = test
        self.folder = os.path.join(ARGS.work, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.exe = os.path.join(self.folder, exe_name)
        shutil.copy(ARGS.program, self.exe)
        if driver:
            shutil.copy(ARGS.driver, os.path.join(self.folder, "KESTOVA.SYS"))
        self.settings = os.path.join(self.folder, exe_name[:-3] + "ini")
        self.received = received
        self.caption = MAIN_CAPTION if method == "socket" else ANY_MAIN_CAPTION
        if method is not None:
            os.makedirs(received, exist_ok=True)  # shared by the second start
            # The settings file is read in the ANSI code page (932).
            with open(self.settings, "wb") as out:
                out.write(("[Capture]\r\nMethod=%s\r\n[PageReceive]\r\nFolder=%s\r\n"
                           % (method, windows_path(received))).encode("cp932"))
        self.proc = None

    def start(self, extra_env=None):
        self.proc = self.test.wine.start(self.exe, extra_env=extra_env)
        return self.proc

    def probe(self, *args):
        result = self.test.wine.run(ARGS.probe, *args, timeout=60)
        if result.returncode != 0:
            return None
        return result.stdout.decode("utf-8").splitlines()

    def rows(self):
        lines = self.probe("rows", self.caption)
        return None if lines is None else [line.split("\t") for line in lines]

    def rects(self):
        lines = self.probe("rects", self.caption)
        if lines is None:
            return None
        rects = {}
        for line in lines:
            name, *numbers = line.split()
            rects[name] = tuple(int(n) for n in numbers)
        return rects

    def wait_ready(self):
        self.test.assertTrue(wait_until(lambda: windows_named(self.test.display, self.caption), 60),
                             "the main window did not appear")
        self.test.assertTrue(wait_until(listening_on_21, 60), "nothing listens on port 21")

    def close(self, confirm=False):
        """Closes the window as a user does (WM_CLOSE), answering 「はい」 to the question
        asked while a programme is received when `confirm`; the seconds until the process
        ended (from the answer when there was a question)."""
        start = time.monotonic()
        self.test.wine.run("taskkill", "/IM", os.path.basename(self.exe), timeout=60)
        if confirm:
            self.answer_close_question(6)  # IDYES
            start = time.monotonic()
        self.proc.wait(timeout=60)
        return time.monotonic() - start

    def answer_close_question(self, button):
        """Waits for 「受信中の番組があります。終了しますか？」 and presses `button`."""
        self.test.assertTrue(wait_until(lambda: windows_named(self.test.display, CONFIRM_CAPTION),
                                      30), "no question before closing")
        self.test.assertEqual(self.probe("text", CONFIRM_CAPTION),
                              [CONFIRM_CAPTION, CLOSE_WHILE_RECEIVING])
        self.probe("press", CONFIRM_CAPTION, str(button))

    def kill(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait(timeout=30)

    def saved_folder(self):
        with open(self.settings, "rb") as settings:
            text = settings.read().decode("cp932")
        match = re.search(r"^Folder=(.*?)\r?$", text, re.M)
        return match.group(1) if match else None


def recorder_dubbing(test, title, size, copy_to):
    """kestov-recorder, on the recorder side, discovers the destination and dubs one
    programme; returns its output."""
    command = test.network.on_recorder_side([
        ARGS.recorder, "--discover", "GR-E2EWINDOWS", "--broadcast", BROADCAST,
        "--discover-timeout", "20000", "--title", title, "--size", size, "--timeout", "20000",
        "--copy-to", copy_to, "--verbose"])
    result = subprocess.run(command, capture_output=True, text=True, timeout=120)
    test.assertEqual(result.returncode, 0, "the recorder could not dub:\n" + result.stderr)
    test.assertIn("answered from %s" % DESTINATION_ADDRESS, result.stderr + result.stdout)
    return result


class SlowStream:
    """A recorder-like FTP client on loopback that sends a programme slowly until the
    server ends the transfer, and keeps its control connection open afterwards."""

    def __init__(self, title_shift_jis):
        self.control = socket.create_connection(("127.0.0.1", 21), timeout=20)
        self.pending = b""
        assert self.line().startswith("220")
        for command, code in (("USER recorder", "331"), ("PASS recorder", "230"),
                              ("TYPE I", "200")):
            reply = self.command(command)
            assert reply.startswith(code), reply
        reply = self.command("PASV")
        numbers = [int(n) for n in re.search(r"\((\d+(?:,\d+){5})\)", reply).group(1).split(",")]
        self.data = socket.create_connection(("127.0.0.1", numbers[4] * 256 + numbers[5]),
                                             timeout=20)
        reply = self.command("STOR $netdubbing$dev0.dat")
        assert reply.startswith("150"), reply
        header = bytearray(2048)
        header[0:4] = b"KSTV"
        header[132:132 + len(title_shift_jis)] = title_shift_jis
        self.sent = bytearray(header)
        self.data.sendall(header)
        self.stopped = threading.Event()
        self.sender = threading.Thread(target=self._send, daemon=True)
        self.sender.start()

    def line(self):
        while b"\r\n" not in self.pending:
            chunk = self.control.recv(4096)
            if not chunk:
                return ""
            self.pending += chunk
        line, self.pending = self.pending.split(b"\r\n", 1)
        return line.decode("latin-1")

    def command(self, text):
        self.control.sendall(text.encode("latin-1") + b"\r\n")
        return self.line()

    def _send(self):
        piece = 0
        while not self.stopped.is_set() and len(self.sent) < 200 * 1024 * 1024:
            block = bytes((piece * 7 + i) & 0xFF for i in range(256)) * 64  # 16 KiB
            try:
                self.data.sendall(block)
            except OSError:
                return
            self.sent += block
            piece += 1
            time.sleep(0.05)

    def stop(self):
        self.stopped.set()
        self.sender.join(timeout=30)
        self.data.close()
        self.control.close()


class WindowsProgramTest(unittest.TestCase):
    network = None
    display = None
    wine = None

    def setUp(self):
        self.programs = []

    def tearDown(self):
        for program in self.programs:
            program.kill()

    def program(self, name, method="socket", received=None, driver=False):
        program = Program(self, name, method,
                          received or os.path.join(ARGS.work, name + "-受信"), driver=driver)
        self.programs.append(program)
        return program

    def test_two_programmes_are_received_listed_and_laid_out(self):
        program = self.program("dubbing")
        program.start()
        program.wait_ready()

        # Two dubbings, as a recorder does them: discovery by name, then FTP.
        dubbings = [("E2E-ONE", "700K"), ("日本語の番組", "1300K")]
        for index, (title, size) in enumerate(dubbings):
            sent = os.path.join(ARGS.work, "sent-%d.bin" % index)
            recorder_dubbing(self, title, size, sent)
            received = os.path.join(program.received, title + ".MPG")
            self.assertTrue(os.path.exists(received), "missing " + received)
            with open(sent, "rb") as a, open(received, "rb") as b:
                self.assertEqual(a.read(), b.read(), title + ": the file differs from the stream")

        rows = wait_until(lambda: (lambda r: r if r and len(r) == 2 and
                                 all(row[6] == RECEIVED for row in r) else None)(program.rows()),
                        30)
        self.assertIsNotNone(rows, "rows read back: %r" % program.rows())
        self.assertEqual([row[0] for row in rows], [t + ".MPG" for t, _ in dubbings])
        for row in rows:
            self.assertEqual(len(row), 7)
            self.assertEqual(row[3], "100.00")  # the announced size was reached
        self.display.screenshot(os.path.join(ARGS.work, "receive-page.png"))

        self.check_layout(program)
        self.check_second_start_ends_at_once(program)

        # 参照 opens the shell's folder browser with the page's title and no help button;
        # cancelling it changes nothing (the saved folder is checked below).
        program.probe("click", MAIN_CAPTION, "1043")
        browser = wait_until(lambda: program.probe("owned", MAIN_CAPTION), 30)
        self.assertIsNotNone(browser, "no folder browser")
        self.assertIn(BROWSE_TITLE, browser[2:])
        self.assertEqual(browser[1], "contexthelp 0")
        self.display.screenshot(os.path.join(ARGS.work, "folder-browser.png"))
        program.probe("owned", MAIN_CAPTION, "2")
        self.assertTrue(wait_until(lambda: program.probe("owned", MAIN_CAPTION) is None, 20))

        # Enter (the OK command, as from the folder edit) does not end the program.
        program.probe("press", MAIN_CAPTION, "1")
        time.sleep(1)
        self.assertIsNone(program.proc.poll(), "the OK command ended the program")
        self.assertTrue(listening_on_21())

        elapsed = program.close()
        self.assertLess(elapsed, 10, "closing took %.1f s" % elapsed)
        self.assertEqual(program.saved_folder(), windows_path(program.received))

    def check_layout(self, program):
        before = program.rects()
        self.assertIsNotNone(before)
        self.assertEqual(program.probe("resize", MAIN_CAPTION, "100", "50"), [])
        after = wait_until(lambda: (lambda r: r if r and r["client"] != before["client"] else None)(
            program.rects()), 10)
        self.assertIsNotNone(after, "the window did not grow")

        def size(rect):
            return rect[2] - rect[0], rect[3] - rect[1]

        def grown(name):
            return tuple(a - b for a, b in zip(size(after[name]), size(before[name])))

        self.assertEqual(grown("window"), (100, 50))
        self.assertEqual(grown("tab"), (100, 50))
        self.assertEqual(grown("page"), (100, 50))
        self.assertEqual(grown("list"), (100, 50))
        self.assertEqual(grown("edit"), (100, 0))
        self.assertEqual(after["edit"][0], before["edit"][0])
        self.assertEqual(grown("button"), (0, 0))
        self.assertEqual(after["button"][0] - before["button"][0], 100)
        self.display.screenshot(os.path.join(ARGS.work, "receive-page-enlarged.png"))

        # Shrinking below the first size is refused: the window keeps its first size.
        program.probe("resize", MAIN_CAPTION, "-150", "-100")
        shrunk = wait_until(lambda: (lambda r: r if r and r["client"] != after["client"] else None)(
            program.rects()), 10)
        self.assertIsNotNone(shrunk)
        self.assertEqual(size(shrunk["window"]), size(before["window"]))
        for name in ("tab", "page", "list", "edit", "button"):
            self.assertEqual(shrunk[name], before[name], name)

        # Minimising and restoring keeps the layout.
        program.probe("show", MAIN_CAPTION, "6")
        time.sleep(1)
        program.probe("show", MAIN_CAPTION, "9")
        restored = wait_until(lambda: (lambda r: r if r and r["client"] == before["client"] else None)(
            program.rects()), 10)
        self.assertIsNotNone(restored, "rects after restore: %r" % program.rects())
        for name in ("tab", "page", "list", "edit", "button"):
            self.assertEqual(size(restored[name]), size(before[name]), name)

        # Wide enough for every column of the list (Wine without a window manager does not
        # draw a maximised window in full, so the window is widened instead).
        program.probe("resize", MAIN_CAPTION, str(1020 - size(before["window"])[0]), "0")
        wait_until(lambda: (lambda r: r and size(r["window"])[0] == 1020)(program.rects()), 10)
        time.sleep(0.5)
        self.display.screenshot(os.path.join(ARGS.work, "receive-page-wide.png"))

    def check_second_start_ends_at_once(self, first):
        second = Program(self, "second-start", "socket", first.received)
        self.programs.append(second)
        proc = second.start()
        proc.wait(timeout=30)
        self.assertEqual(len(windows_named(self.display, ANY_MAIN_CAPTION)), 1)
        self.assertIsNone(first.proc.poll(), "the first instance ended")
        self.assertTrue(listening_on_21())
        self.assertEqual(len(first.rows()), 2)

    def test_missing_driver_is_reported_once_and_ends_the_program(self):
        program = self.program("no-driver", method="driver")
        proc = program.start()
        self.assertTrue(wait_until(lambda: windows_named(self.display, ERROR_CAPTION), 60),
                        "no message box")
        self.assertEqual(program.probe("text", ERROR_CAPTION), [ERROR_CAPTION, DRIVER_MISSING])
        self.display.screenshot(os.path.join(ARGS.work, "driver-missing-message.png"))
        self.assertFalse(listening_on_21())
        self.assertEqual(program.probe("press", ERROR_CAPTION, "1"), [])
        # No second message follows, and the program ends without ever listening.
        deadline = time.monotonic() + 20
        while proc.poll() is None and time.monotonic() < deadline:
            self.assertEqual(windows_named(self.display, ERROR_CAPTION)[1:], [])
            self.assertFalse(listening_on_21())
            time.sleep(0.2)
        self.assertIsNotNone(proc.poll(), "the program did not end")
        self.assertEqual(windows_named(self.display, ANY_MAIN_CAPTION), [])

    def test_windows_9x_is_refused(self):
        # Wine reports Windows 98 to the program when told so for its executable name.
        key = "HKCU\\Software\\Wine\\AppDefaults\\KESTOV-A.exe"
        self.wine.run("reg", "add", key, "/v", "Version", "/d", "win98", "/f")
        try:
            program = self.program("windows-98")
            proc = program.start()
            self.assertTrue(wait_until(lambda: windows_named(self.display, VERSION_ERROR_CAPTION),
                                     60), "no message box")
            self.assertEqual(program.probe("text", VERSION_ERROR_CAPTION),
                             [VERSION_ERROR_CAPTION, VERSION_ERROR])
            self.assertEqual(windows_named(self.display, ANY_MAIN_CAPTION), [])
            program.probe("press", VERSION_ERROR_CAPTION, "1")
            proc.wait(timeout=20)
            self.assertEqual(windows_named(self.display, ANY_MAIN_CAPTION), [])
            self.assertFalse(listening_on_21())
        finally:
            self.wine.run("reg", "delete", key, "/f")

    def test_port_held_by_another_server_is_reported(self):
        holder = socket.socket()
        holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        holder.bind(("0.0.0.0", 21))
        holder.listen(1)
        try:
            program = self.program("port-held")
            program.start()
            self.assertTrue(wait_until(lambda: windows_named(self.display, SERVER_ERROR_CAPTION),
                                     60), "no message box")
            # The described text exactly, then a blank line and the system's reason.
            lines = program.probe("text", SERVER_ERROR_CAPTION)
            self.assertEqual(lines[:3], [SERVER_ERROR_CAPTION, SERVER_ERROR, ""])
            self.assertEqual(len(lines), 4, lines)
            self.assertTrue(lines[3].strip(), lines)
            self.display.screenshot(os.path.join(ARGS.work, "port-held-message.png"))
            program.probe("press", SERVER_ERROR_CAPTION, "1")
            # The window stays; the service stays down.
            self.assertTrue(wait_until(lambda: not windows_named(self.display,
                                                               SERVER_ERROR_CAPTION), 20))
            self.assertTrue(windows_named(self.display, MAIN_CAPTION))
            self.assertLess(program.close(), 10)
        finally:
            holder.close()

    def test_closing_during_a_reception_keeps_the_bytes_and_shows_interrupted(self):
        program = self.program("interrupted")
        # The page writes its last rows there as it goes (the window is gone afterwards).
        rows_at_exit = os.path.join(program.folder, "rows-at-exit.txt")
        program.start(extra_env={"KESTOVA_TEST_ROWS_FILE": windows_path(rows_at_exit)})
        program.wait_ready()
        stream = SlowStream("中断番組".encode("cp932"))
        try:
            self.assertTrue(wait_until(lambda: (lambda r: r and r[0][6] == RECEIVING)(
                program.rows()), 30), "no reception row: %r" % program.rows())
            # 「いいえ」 keeps receiving: the window stays and bytes keep arriving.
            self.wine.run("taskkill", "/IM", "KESTOV-A.exe", timeout=60)
            program.answer_close_question(7)  # IDNO
            self.display.screenshot(os.path.join(ARGS.work, "close-while-receiving.png"))
            self.assertTrue(wait_until(lambda: not windows_named(self.display, CONFIRM_CAPTION), 20))
            written = os.path.getsize(os.path.join(program.received, "中断番組.MPG"))
            self.assertTrue(wait_until(lambda: os.path.getsize(
                os.path.join(program.received, "中断番組.MPG")) > written, 20),
                "the reception stopped after 「いいえ」")
            self.assertIsNone(program.proc.poll())
            self.assertEqual(program.rows()[0][6], RECEIVING)
            time.sleep(1.5)
            settled = len(stream.sent)  # arrived long before the close
            elapsed = program.close(confirm=True)
        finally:
            stream.stop()
        self.assertLess(elapsed, 10, "closing during a reception took %.1f s" % elapsed)
        with open(rows_at_exit, "rb") as rows:
            last_rows = [line.split("\t") for line in rows.read().decode("cp932").splitlines()]
        self.assertEqual(len(last_rows), 1, last_rows)
        self.assertEqual(last_rows[0][0], "中断番組.MPG")
        self.assertEqual(last_rows[0][6], INTERRUPTED)
        with open(os.path.join(program.received, "中断番組.MPG"), "rb") as received:
            data = received.read()
        self.assertGreaterEqual(len(data), settled)
        self.assertEqual(data, bytes(stream.sent[:len(data)]))

    def snapshot(self, folder):
        """Every file of `folder` (not below it) with its bytes."""
        files = {}
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                with open(path, "rb") as data:
                    files[name] = data.read()
        return files

    def ftp(self):
        client = ftplib.FTP()
        client.connect("127.0.0.1", 21, timeout=20)
        client.login("anonymous", "e2e@")
        return client

    def replies(self, client, commands):
        """The reply to each command; a STOR sends a few bytes when it is allowed."""
        replies = []
        for command in commands:
            try:
                if command.startswith("STOR "):
                    replies.append(client.storbinary(command, io.BytesIO(b"planted")))
                else:
                    replies.append(client.sendcmd(command))
            except ftplib.error_perm as refused:
                replies.append(str(refused))
        return replies

    def test_serving_the_program_folder_changes_none_of_its_files(self):
        program = self.program("own-folder", driver=True)
        program.received = program.folder
        with open(program.settings, "wb") as out:
            out.write(("[Capture]\r\nMethod=socket\r\n[PageReceive]\r\nFolder=%s\r\n"
                       % windows_path(program.folder)).encode("cp932"))
        before = self.snapshot(program.folder)
        program.start()
        program.wait_ready()
        client = self.ftp()
        attacks = ["STOR KESTOVA.SYS", "STOR UxTheme.Dll", "RNFR KESTOV-A.exe",
                   "DELE KESTOV-A.ini", "STOR kestov~1.exe", "RETR KESTOV-A.ini"]
        self.assertEqual(self.replies(client, attacks),
                         ["550 Permission denied."] * len(attacks))
        client.quit()
        self.assertEqual(self.snapshot(program.folder), before)
        self.assertLess(program.close(), 10)

    def test_defaults_keep_the_program_folder_out_of_reach(self):
        program = self.program("defaults", method=None, driver=True)
        with open(program.exe, "rb") as exe:
            self.assertIn(b'level="requireAdministrator"', exe.read())
        before = self.snapshot(program.folder)
        self.assertEqual(sorted(before), ["KESTOV-A.exe", "KESTOVA.SYS"])
        program.start()
        program.wait_ready()

        # The client's names land in the default folder, never beside the executable.
        client = self.ftp()
        replies = self.replies(client, ["STOR KESTOVA.SYS", "STOR UxTheme.Dll",
                                        "RNFR KESTOV-A.exe", "DELE KESTOV-A.ini"])
        client.quit()
        self.assertEqual([reply[:3] for reply in replies], ["226", "226", "550", "550"])
        self.assertEqual(self.snapshot(program.folder), before)

        # A dubbing lands in the default folder: KESTOV-A in the user's documents.
        recorder_dubbing(self, "既定の保存先", "300K", os.path.join(ARGS.work, "sent-default.bin"))
        # (Wine links several of a user's folders to one place: count each file once.)
        default = sorted({os.path.realpath(path) for path in glob.glob(os.path.join(
            self.wine.prefix, "drive_c", "users", "*", "*", "KESTOV-A", "既定の保存先.MPG"))})
        self.assertEqual(len(default), 1, "not in the documents folder")
        with open(default[0], "rb") as got, open(os.path.join(ARGS.work, "sent-default.bin"),
                                                 "rb") as sent:
            self.assertEqual(got.read(), sent.read())
        self.assertEqual(self.snapshot(program.folder), before)
        self.display.screenshot(os.path.join(ARGS.work, "defaults.png"))

        # A renamed copy elsewhere is a second instance too: it ends at once.
        renamed = Program(self, "renamed-copy", None, None, exe_name="KESTOV-B.exe")
        self.programs.append(renamed)
        renamed.start().wait(timeout=30)
        self.assertEqual(len(windows_named(self.display, ANY_MAIN_CAPTION)), 1)
        self.assertIsNone(program.proc.poll())

        # Esc (the Cancel command) leaves the window open and the service running.
        program.probe("press", program.caption, "2")
        time.sleep(1)
        self.assertIsNone(program.proc.poll(), "Esc ended the program")
        self.assertTrue(listening_on_21())

        # Logoff: WM_ENDSESSION does what closing does before it returns.
        self.assertEqual(program.probe("send", program.caption, "22", "1"), [])
        self.assertFalse(listening_on_21(), "the FTP service still runs after WM_ENDSESSION")
        # Under Wine the driver cannot start, so auto removed it at start and answers by
        # socket; the service manager must soon know no KESTOVA service. (Wine's service
        # manager forgets a deleted service only once the driver host that tried to load it
        # has let go, and drops its registry key only when the prefix's wineserver ends.)
        self.assertTrue(wait_until(lambda: self.wine.run("sc", "query", "KESTOVA").returncode != 0,
                                 45, interval=1), "the driver service is still registered")
        self.assertTrue(program.saved_folder().endswith("\\KESTOV-A\\"), program.saved_folder())
        self.assertLess(program.close(), 10)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--driver", required=True, help="the KESTOVA.SYS built with the program")
    parser.add_argument("--wine32", action="store_true",
                        help="an i686 program: the 32-bit Wine in a win32 prefix (Windows XP)")
    ARGS, rest = parser.parse_known_args()
    global WINE
    if ARGS.wine32:
        WINE = "/usr/lib/wine/wine"
        os.environ["WINEARCH"] = "win32"
    # Wine runs the programs from folders of their own: relative paths would not reach them.
    for name in ("program", "probe", "recorder", "work", "driver"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    if os.geteuid() != 0:
        print("SKIP: needs root for network namespaces")
        return 77
    for tool in ("Xvfb", "xdotool", "import", "ss", "ip"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed" % tool)
            return 77
    if not os.access(ARGS.recorder, os.X_OK):
        print("SKIP: build the native preset first (kestov-recorder: %s)" % ARGS.recorder)
        return 77
    # Nothing of an earlier run stays: programmes, settings, screenshots, the prefix.
    shutil.rmtree(ARGS.work, ignore_errors=True)
    os.makedirs(ARGS.work)
    network = PrivateNetwork()
    display = wine = None
    try:
        network.create()
        display = Display()
        wine = Wine(ARGS.work, display)
        WindowsProgramTest.network = network
        WindowsProgramTest.display = display
        WindowsProgramTest.wine = wine
        result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
        return 0 if result.wasSuccessful() else 1
    except Skip as skip:
        print("SKIP: %s" % skip)
        return 77
    finally:
        # Each step of the clean-up runs even when one before it fails.
        for stop in (wine and wine.stop, display and display.stop, network.destroy):
            if stop:
                try:
                    stop()
                except (OSError, subprocess.SubprocessError) as error:
                    print("clean-up: %s" % error)

if __name__ == "__main__":
    sys.exit(main())
