"""tools/ui-driver against tests/tools/ui-target: one dialog, driven through
every command, checking what the dialog itself saw (its JSON lines)."""
import json
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zlib

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from uidriver import UiDriver, UiDriverError, bmp_to_png, read_bmp  # noqa: E402
from winebench import bench_env, build_file, main_for, wait_bound  # noqa: E402

TITLE = "Sınama Penceresi"
EDIT, OK, PICTURE, LINK, PLAIN_LINK, RESTART = 1000, 1, 1001, 1002, 1005, 1007
SET_LINK_ENABLED, ADD = 0x8001, 0x8002
NM_CLICK, NM_RETURN = -2, -4


class Target:
    """ui-target.exe running, its stdout lines parsed as they come."""

    def __init__(self):
        env = bench_env()
        self.proc = subprocess.Popen([env["ORVIX_WINE"], build_file("tests/tools/ui-target.exe")], env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(json.loads(line.decode("utf-8")))

    def next(self, predicate, timeout=10):
        """The next line that satisfies predicate (earlier ones are dropped)."""
        deadline = time.monotonic() + wait_bound(timeout)
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise AssertionError("the dialog did not report it")
            try:
                line = self.lines.get(timeout=left)
            except queue.Empty:
                continue
            if predicate(line):
                return line

    def drain(self):
        out = []
        while not self.lines.empty():
            out.append(self.lines.get())
        return out


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def expect_error(call, text):
    try:
        reply = call()
    except UiDriverError as e:
        expect(text in e.reply["error"], e.reply)
    else:
        raise AssertionError(f"expected error {text!r}, got {reply}")


target = None
ui = None
workdir = tempfile.mkdtemp(prefix="ui-driver-test-")


def test_finds_the_dialog_and_reads_its_window():
    global target, ui
    target = Target()
    ui = UiDriver()
    found = ui.wait_window(TITLE)
    ready = target.next(lambda m: "ready" in m, timeout=30)
    expect(found["hwnd"] == ready["ready"], (found, ready))
    w = ui.get_window()
    expect(w["title"] == TITLE and w["visible"] and w["topmost"] and w["owner"] == 0, w)
    expect(w["rect"][:2] == [40, 40], w)
    expect(w["focus"] == EDIT, w)
    expect(ui.wait_window("Böyle bir pencere yok", 100, check=False) == {"error": "timeout"}, "no such window")


def test_control_states():
    edit = ui.get(EDIT)
    expect(edit["class"] == "Edit" and edit["text"] == "" and edit["enabled"] and edit["focused"], edit)
    ok = ui.get(OK)
    expect(ok["text"] == "&Giriş" and ok["enabled"] and not ok["focused"], ok)
    restart = ui.get(RESTART)
    expect(restart["visible"] and not restart["enabled"], restart)
    expect_error(lambda: ui.get(4242), "no control")


def test_settext_and_click_reach_the_dialog():
    ui.settext(EDIT, "abc çğİ  x")
    expect(ui.get(EDIT)["text"] == "abc çğİ  x", "text set")
    target.drain()
    ui.click(OK)
    seen = target.next(lambda m: m.get("command") == OK)
    expect(seen == {"command": OK, "code": 0, "edit": "abc çğİ  x"}, seen)
    expect(ui.get(OK)["focused"] and not ui.get(EDIT)["focused"], "a clicked button takes the focus")
    expect_error(lambda: ui.click(RESTART), "disabled")
    ui.settext(EDIT, "sonra")
    expect(not [m for m in target.drain() if m.get("command") == RESTART], "a disabled button was clicked")
    ui.settext(EDIT, "")
    expect(ui.get(EDIT)["text"] == "", "text emptied")


def test_links_by_index():
    for index in range(5):
        reply = ui.link(PLAIN_LINK, index)
        seen = target.next(lambda m: "link" in m)
        # A plain click: the control notifies NM_CLICK, and the press has
        # focused the clicked link (the notice's own index may count the
        # text between the links too).
        expect(seen["control"] == PLAIN_LINK and seen["from"] == 1 and seen["code"] == NM_CLICK
               and seen["focused"] == index and seen["focused_id"] == "", (index, reply, seen))
    expect_error(lambda: ui.link(PLAIN_LINK, 5), "no such link")
    # The dialog's own text: links with id attributes. Where the control
    # parses them the same holds; where it shows the markup as text (Wine
    # under code page 1254) the driver says so.
    for index in range(5):
        try:
            reply = ui.link(LINK, index)
        except UiDriverError as e:
            expect("markup" in e.reply["error"], e.reply)
            continue
        seen = target.next(lambda m: "link" in m)
        expect(seen["control"] == LINK and seen["code"] == NM_CLICK and seen["focused"] == index
               and seen["focused_id"] == f"idsyslink{index + 1}", (reply, seen))
    ui.send(SET_LINK_ENABLED, 0, 0)
    expect_error(lambda: ui.link(LINK, 0), "disabled")
    ui.send(SET_LINK_ENABLED, 1, 0)


def test_messages():
    expect(ui.send(ADD, 3, 4) == {"result": 3004}, "send")
    reply = ui.send_class("#32770", f'"{TITLE}"', ADD, 1, 2)
    expect(reply == {"hwnd": ui.get_window()["hwnd"], "result": 1002}, reply)
    expect_error(lambda: ui.send_class("-", "Böyle bir pencere yok", ADD, 0, 0), "no window")


def test_pixels_show_the_picture():
    path = os.path.join(workdir, "picture.bmp")
    reply = ui.pixels(PICTURE, path)
    rect = ui.get(PICTURE)["rect"]
    # The control's client area: its window less the 1-pixel sunken edge.
    expect(reply["width"] == rect[2] - 2 and reply["height"] == rect[3] - 2, (reply, rect))
    bmp = read_bmp(path)
    expect((bmp.width, bmp.height) == (reply["width"], reply["height"]), "file size")
    # Every pixel is a pixel of the 242 x 80 pattern (red x, green 3y,
    # blue x + y) from about the same place: the control may scale the
    # picture into its client area, but shows it whole and unmoved.
    for y in range(bmp.height):
        for x in range(bmp.width):
            r, g, b = bmp.pixel(x, y)
            sy = g // 3
            ok = g % 3 == 0 and b == (r + sy) & 0xFF and abs(r - x) <= 2 and abs(sy - y) <= 2
            expect(ok, f"pixel {x},{y} is {(r, g, b)}")
    expect(bmp.pixel(0, 0) == (0, 0, 0), "the picture's first pixel at the client area's corner")


def test_screenshot_of_the_window():
    path = os.path.join(workdir, "dialog.bmp")
    reply = ui.screenshot(path)
    w = ui.get_window()
    expect([reply["width"], reply["height"]] == w["rect"][2:], (reply, w))
    png = bmp_to_png(path)
    with open(png, "rb") as f:
        data = f.read()
    expect(data[:8] == b"\x89PNG\r\n\x1a\n", "PNG signature")
    # One filter byte and three bytes a pixel per row, in the IDAT chunk.
    idat = data.index(b"IDAT")
    length = int.from_bytes(data[idat - 4:idat], "big")
    raw = zlib.decompress(data[idat + 4:idat + 4 + length])
    expect(len(raw) == reply["height"] * (1 + 3 * reply["width"]), "PNG pixel data")


def test_close_box_ends_the_dialog():
    ui.command(2)
    ui.gone()
    expect(target.next(lambda m: "closed" in m) == {"closed": 2}, "closed with IDCANCEL")
    expect(target.proc.wait(timeout=10) == 0, "target exit status")
    expect_error(lambda: ui.get(EDIT), "no window")
    ui.close()


if __name__ == "__main__":
    try:
        main_for([test_finds_the_dialog_and_reads_its_window, test_control_states,
                  test_settext_and_click_reach_the_dialog, test_links_by_index, test_messages,
                  test_pixels_show_the_picture, test_screenshot_of_the_window, test_close_box_ends_the_dialog])
    finally:
        if ui:
            ui.close()
        if target and target.proc.poll() is None:
            target.proc.kill()
        shutil.rmtree(workdir, ignore_errors=True)
