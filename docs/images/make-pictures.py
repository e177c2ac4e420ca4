"""Makes the README's pictures from a realistic dubbing: kestov-a under a Japanese locale
receives three programmes with ordinary titles from kestov-recorder (two complete, one still
arriving), then headless Chromium photographs the status page (desktop and phone) and the
live receive list's last drawing on a 100-column terminal is rendered as a terminal picture.

Usage: python3 docs/images/make-pictures.py BUILD_DIR [OUT_DIR]
       (BUILD_DIR: a native build with kestov-a and kestov-recorder; OUT_DIR: docs/images)
Needs chromium, ImageMagick and fonts-noto-cjk."""
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unicodedata

TITLES = [  # (title, size, bytes per piece, pause between pieces in ms)
    ("ＮＨＫスペシャル　深海の巨大生物", "48M", "256K", 0),
    ("ドキュメント７２時間　冬の駅で　前編", "32M", "256K", 0),
    ("連続テレビ小説　おむすび　第５０回", "96M", "64K", 60),  # still arriving
]
COLUMNS, LINES = 100, 8


def read_until(fd, pattern, seconds, buffer):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        match = re.search(pattern, buffer[0])
        if match:
            return match
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                buffer[0] += os.read(fd, 65536)
            except OSError:
                break
    sys.exit("not seen: %r" % pattern)


def pump(fd, seconds, buffer):
    """Reads the terminal for `seconds` (a full terminal would stall the program)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                buffer[0] += os.read(fd, 65536)
            except OSError:
                return


def last_drawing(output, rows):
    """The lines of the list's last drawing (header and `rows` rows), escapes removed."""
    text = output.decode("utf-8", "replace")
    drawing = text[text.rfind("\x1b[2K#"):].split("\n")[:rows + 1]
    return [re.sub(r"\x1b\[[0-9;]*[A-Za-z]", "", line).strip("\r") for line in drawing]


def draw_terminal(lines, png):
    """Draws `lines` as a terminal shows them: every character in its own cell (two for
    East Asian wide ones), so that the columns line up whatever the font's spacing."""
    cell, height, border, size = 8, 22, 14, 16  # a half-width glyph of Noto Mono is 0.5 em
    draws = []
    columns = 0
    for row, line in enumerate(lines):
        column = 0
        for ch in line:
            if ch != " ":
                text = ch.replace("\\", "\\\\").replace('"', '\\"')
                draws += ["-draw", 'text %d,%d "%s"' % (border + column * cell,
                                                        border + (row + 1) * height - 6, text)]
            column += 2 if unicodedata.east_asian_width(ch) in "WF" else 1
        columns = max(columns, column)
    subprocess.run(["convert", "-size", "%dx%d" % (2 * border + columns * cell,
                                                   2 * border + len(lines) * height),
                    "xc:#1e1e1e", "-fill", "#dcdcdc", "-font", "Noto-Sans-Mono-CJK-JP",
                    "-pointsize", str(size)] + draws + [png], check=True, timeout=120)


def main():
    build = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else os.path.dirname(__file__))
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    work = tempfile.mkdtemp(prefix="kestova-pictures-")
    folder = os.path.join(work, "録画")
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", LINES, COLUMNS, 0, 0))
    env = dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8", TERM="xterm")
    errors = open(os.path.join(work, "stderr.log"), "wb")
    # Name answering as a service has it where the rights allow (the page shows its card);
    # the recorders are given the address.
    capture = ["--capture", "packet" if os.geteuid() == 0 else "none"]
    service = subprocess.Popen(
        [os.path.join(build, "linux", "kestov-a"), "--port", "0"] + capture + [
         "--status-port", "0", "--folder", folder, "--settings", os.path.join(work, "k.ini")],
        stdout=slave, stderr=errors, env=env)
    os.close(slave)
    output = [b""]
    recorders = []
    try:
        port = int(read_until(master, rb"(\d+)[^\d\n]*\r?\n", 15, output).group(1))
        with open(os.path.join(work, "stderr.log"), "rb") as f:
            for _ in range(50):
                page = re.search(rb"http://[^:]+:(\d+)/", f.read())
                if page:
                    break
                time.sleep(0.1)
                f.seek(0)
        url = "http://127.0.0.1:%s/" % page.group(1).decode()
        recorder = os.path.join(build, "tools", "kestov-recorder")
        for title, size, piece, delay in TITLES:
            proc = subprocess.Popen([recorder, "--port", str(port), "--title", title, "--size", size,
                                     "--piece", piece, "--piece-delay", str(delay),
                                     "--timeout", "60000"],
                                    env=dict(os.environ, LC_ALL="C.UTF-8"),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            recorders.append(proc)
            while delay == 0 and proc.poll() is None:
                pump(master, 0.2, output)
        pump(master, 12, output)  # the third reception well under way
        for name, size in (("desktop", "1280,560"), ("phone", "390,844")):
            subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                            "--hide-scrollbars", "--virtual-time-budget=3000",
                            "--accept-lang=ja-JP,ja", "--window-size=" + size,
                            "--screenshot=" + os.path.join(out, "status-page-%s.png" % name), url],
                           capture_output=True, timeout=120, check=True)
        lines = ["$ LANG=ja_JP.UTF-8 kestov-a"] + last_drawing(output[0], len(TITLES))
        draw_terminal(lines, os.path.join(out, "receive-list-terminal.png"))
    finally:
        for proc in recorders:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        service.send_signal(signal.SIGTERM)
        try:
            service.wait(timeout=30)
        except subprocess.TimeoutExpired:
            service.kill()
        os.close(master)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
