"""Drives a dialog of a Windows program under the Wine bench through
tools/ui-driver, and turns its BMP captures into pictures.

    with UiDriver() as ui:
        ui.wait_window("Kota Sorgulama")
        ui.settext(1000, "abcde")
        ui.click(1)
        ui.wait_until(lambda: "Sisteme" in ui.get(1003)["text"])
        ui.screenshot("dialog.bmp"); bmp_to_png("dialog.bmp", "dialog.png")

Every method returns the driver's JSON reply as a dict; a reply with an
"error" key raises UiDriverError unless the call passes check=False.
"""
import contextlib
import json
import os
import queue
import struct
import subprocess
import threading
import time
import zlib

from winebench import bench_env, build_file, wait_bound, windows_path


class UiDriverError(RuntimeError):
    def __init__(self, command, reply):
        super().__init__(f"{command}: {reply.get('error')}")
        self.reply = reply


class UiDriver:
    def __init__(self, exe=None, env_extra=None, reply_timeout=60):
        exe = exe or build_file("tools/ui-driver/ui-driver.exe")
        env = bench_env(env_extra)
        self.reply_timeout = wait_bound(reply_timeout)
        self.proc = subprocess.Popen([env["ORVIX_WINE"], exe], env=env, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self._lines.put(line)
        self._lines.put(None)

    def call(self, *words, check=True):
        """Sends one command (words joined with spaces) and returns its reply."""
        command = " ".join(str(w) for w in words)
        self.proc.stdin.write(command.encode("utf-8") + b"\n")
        self.proc.stdin.flush()
        try:
            line = self._lines.get(timeout=self.reply_timeout)
        except queue.Empty:
            raise UiDriverError(command, {"error": "no reply"}) from None
        if line is None:
            raise UiDriverError(command, {"error": "ui-driver ended"})
        reply = json.loads(line.decode("utf-8"))
        if check and "error" in reply:
            raise UiDriverError(command, reply)
        return reply

    # The commands, one method each (see ui-driver --help).
    def wait_window(self, title, timeout_ms=20000, check=True):
        return self.call("wait-window", title, int(wait_bound(timeout_ms)), check=check)

    def gone(self, timeout_ms=10000, check=True):
        return self.call("gone", int(wait_bound(timeout_ms)), check=check)

    def get(self, control_id, check=True):
        return self.call("get", control_id, check=check)

    def get_window(self, check=True):
        return self.call("get-window", check=check)

    def settext(self, control_id, text, check=True):
        return self.call("settext", control_id, text, check=check)

    def click(self, control_id, check=True):
        return self.call("click", control_id, check=check)

    def command(self, control_id, check=True):
        return self.call("command", control_id, check=check)

    def key(self, control_id, vk, check=True):
        return self.call("key", control_id, vk, check=check)

    def enable(self, control_id, on=True, check=True):
        return self.call("enable", control_id, 1 if on else 0, check=check)

    def link(self, control_id, index, check=True):
        return self.call("link", control_id, index, check=check)

    def send(self, msg, wparam=0, lparam=0, check=True):
        return self.call("send", msg, wparam, lparam, check=check)

    def dpi_changed(self, old_dpi, new_dpi, check=True):
        return self.call("dpi-changed", old_dpi, new_dpi, check=check)

    def send_class(self, cls, name, msg, wparam=0, lparam=0, check=True):
        return self.call("send-class", cls, name, msg, wparam, lparam, check=check)

    def pixels(self, control_id, path, check=True):
        return self.call("pixels", control_id, windows_path(path), check=check)

    def screenshot(self, path, check=True):
        return self.call("screenshot", windows_path(path), check=check)

    def focus_window(self, check=True):
        return self.call("focus-window", check=check)

    # Real input (SendInput): the pointer's position picks the window.
    def point(self, control_id, dx, dy, check=True):
        return self.call("point", control_id, dx, dy, check=check)

    def link_point(self, control_id, index, check=True):
        return self.call("link-point", control_id, index, check=check)

    def mouse_move(self, x, y, check=True):
        return self.call("mouse-move", x, y, check=check)

    def mouse(self, action="mouse-click", check=True):
        """action: mouse-down, mouse-up, mouse-click or dblclick."""
        return self.call(action, check=check)

    def press(self, vk, action="keypress", check=True):
        """action: keydown (again for autorepeat), keyup or keypress."""
        return self.call(action, vk, check=check)

    def wait_until(self, predicate, timeout=20.0, interval=0.1):
        """Polls predicate() until it returns a true value, which is returned;
        AssertionError after timeout seconds."""
        deadline = time.monotonic() + wait_bound(timeout)
        while True:
            value = predicate()
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError("condition not met in %.1f s" % timeout)
            time.sleep(interval)

    def close(self):
        if self.proc is None:
            return
        try:
            if self.proc.poll() is None:
                self.call("exit", check=False)
            self.proc.wait(timeout=10)
        except (OSError, UiDriverError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.proc = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False


class Bitmap:
    """A BMP file's pixels as (r, g, b) tuples, rows top-down."""

    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows

    def pixel(self, x, y):
        return self.rows[y][x]

    def crop(self, x, y, w, h):
        return Bitmap(w, h, [row[x:x + w] for row in self.rows[y:y + h]])


def read_bmp(path):
    """Reads an uncompressed 24- or 32-bit BMP (as ui-driver writes them)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset, = struct.unpack_from("<I", data, 10)
    _, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if bits not in (24, 32) or compression != 0:
        raise ValueError(f"{path}: {bits}-bit BMP with compression {compression} not read")
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for r in range(abs(height)):
        start = offset + r * stride
        row = data[start:start + width * step]
        rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, width * step, step)])
    if height > 0:  # bottom-up
        rows.reverse()
    return Bitmap(width, abs(height), rows)


def write_png(bitmap, path):
    """Writes a Bitmap as an 8-bit RGB PNG."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in bitmap.rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", bitmap.width, bitmap.height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))


def bmp_to_png(bmp_path, png_path=None):
    """Converts a BMP file to PNG (beside it by default); returns the PNG path."""
    png_path = png_path or os.path.splitext(bmp_path)[0] + ".png"
    write_png(read_bmp(bmp_path), png_path)
    return png_path


@contextlib.contextmanager
def held_key(vk, env_extra=None, every=0.05):
    """A key held down in the foreground window as a person holds it: pressed
    again every `every` seconds, as the keyboard repeats it, until the block
    ends; then released. Its own driver, so the block may use another."""
    driver = UiDriver(env_extra=env_extra)
    stop = threading.Event()

    def repeat():
        while not stop.is_set():
            driver.press(vk, "keydown")
            stop.wait(every)

    repeater = threading.Thread(target=repeat, daemon=True)
    repeater.start()
    try:
        yield
    finally:
        stop.set()
        repeater.join()
        driver.press(vk, "keyup")
        driver.close()
