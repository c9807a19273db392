"""orvix.exe -query under Wine, the way Plumo runs it: tools/fake-parent as the
parent window, tools/fake-network as the quota portal (the bundled scenario,
varied per test), tools/ui-driver as the user. Every test is a real run.

Screenshots of the dialog's modes are kept in <build>/tests/quota/artifacts.
"""
import base64
import contextlib
import copy
import json
import os
import random
import re
import struct
import tempfile
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from fakenet import FakeNetwork  # noqa: E402
from uidriver import UiDriver, bmp_to_png, held_key, read_bmp  # noqa: E402
from winebench import (PeakMemory, bench_env, build_file, display_dpi, main_for, user_profile, wait_bound,  # noqa: E402
                       windows_path)

SRC = os.environ["ORVIX_SOURCE_DIR"]
# The program under test: this tree's, or the file that ships (the release
# test names out/release/orvix.exe here).
ORVIX = os.environ.get("ORVIX_PROGRAM") or build_file("app/orvix.exe")
FAKE_PARENT = build_file("tools/fake-parent/fake-parent.exe")
HELPER = build_file("tests/tasks/task-helper.exe")
CLOSE_PROBE = build_file("tests/quota/quota-close-probe.exe")
FAULT_PROBE = build_file("tests/quota/quota-fault-probe.exe")
SCENARIOS = os.path.join(SRC, "tools", "fake-network", "scenarios")
PORTAL = os.path.join(SCENARIOS, "portal")
ARTIFACTS = build_file("tests/quota/artifacts")
HOST = "adslkota.orvix.example"
TITLE = "Kota Sorgulama"
CODE = open(os.path.join(PORTAL, "jcaptcha.txt"), encoding="utf-8").read().strip()
USER, PASSWORD = "ahmet.yilmaz@orvix", "gizli şifre&1"

WM_COMMAND = 0x111
VK_RETURN = 0x0D
# Control ids of dialog 101.
EDIT, LOGIN, PICTURE, LINK, STATUS, GROUP, CLOSE, RESTART, REFRESH = 1000, 1, 1001, 1002, 1003, 1004, 1006, 1007, 1008

P_LOGIN = "/adslkota/login_tr.jsp"
P_IMAGE = "/adslkota/jcaptcha"
P_SOUND = "/adslkota/sound"
P_FORM = "/adslkota/loginSelf.do"
P_AGREE = "/adslkota/confirmAgreement.do?dispatch=agree"
P_TRANSFER = "/adslkota/viewTransfer.do?dispatch=entry"
SESSION = "JSESSIONID=0A7F3C9E21B84D5C6E2F1A9B3C7D8E4F.kota02"
COOKIE = "usageConfirm=true; " + SESSION


def strings():
    """The program's texts, from the one source the resources are made of."""
    out = {}
    with open(os.path.join(SRC, "resources", "strings.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#") or "\t" not in line:
                continue
            key, text = line.split("\t", 1)
            text = text.replace("\\r", "\r").replace("\\n", "\n").replace('\\"', '"').replace("\\\\", "\\")
            out[int(key) if key.isdigit() else key] = text
    return out


S = strings()


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def scramble(plain):
    """The stored form of a credentials text, as the parent writes it."""
    with open(os.path.join(SRC, "store", "credentials_key.h"), encoding="utf-8") as f:
        key = bytes(int(x, 16) for x in re.findall(r"0x([0-9A-F]{2})", f.read()))
    return base64.b64encode(bytes(b ^ key[i % len(key)] for i, b in enumerate(plain))).decode()


def credentials_hash(user, password):
    return scramble((user + "\r\n" + password).encode("cp1254"))


def write_ini(path, sections):
    lines = []
    for name, values in sections.items():
        lines.append("[%s]" % name)
        lines += ["%s=%s" % kv for kv in values.items()]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))


def settings_folder():
    folder = os.path.join(user_profile(), "AppData", "Roaming", "Dalvenor", "Plumo!")
    os.makedirs(folder, exist_ok=True)
    return folder


def prepare_settings(download=0, upload=0, account=True, user=USER, password=PASSWORD, config=None):
    folder = settings_folder()
    for name in ("account.ini", "config.ini"):
        if os.path.exists(os.path.join(folder, name)):
            os.remove(os.path.join(folder, name))
    if account:
        write_ini(os.path.join(folder, "account.ini"), {
            "account": {"hash": credentials_hash(user, password) if user or password else ""},
            "update": {"download": repr(float(download)), "upload": repr(float(upload))}})
    write_ini(os.path.join(folder, "config.ini"), {"alerts": config or {"query_sound": "0"}})
    return folder


def portal(**changes):
    """The bundled portal scenario; changes replace a path's response
    (dict), or give a list of responses."""
    with open(os.path.join(SCENARIOS, "portal.json"), encoding="utf-8") as f:
        scenario = json.load(f)
    for route in scenario["routes"]:
        for answer in ("response", "without_cookies"):
            if "body_file" in route.get(answer, {}):
                route[answer]["body_file"] = os.path.join(SCENARIOS, route[answer]["body_file"])
    for path, change in changes.items():
        if path == "untrusted":
            scenario["untrusted_hosts"] = [HOST]
            continue
        for route in scenario["routes"]:
            if route["path"] == path:
                if isinstance(change, list):
                    route.pop("response", None)
                    route["responses"] = change
                else:
                    route["response"] = dict(route["response"], **change)
    return scenario


def page(name):
    return os.path.join(PORTAL, name)


def servlet_page(name):
    """A portal page as a servlet container serves one it was told nothing
    about: the portal's own Windows-1254 bytes, labelled ISO-8859-1."""
    return {"headers": [["Content-Type", "text/html;charset=ISO-8859-1"]], "body_file": page(name)}


def months_read(q):
    """The month names of the record sent to the parent, in Turkish."""
    replies = q.copydata()
    expect(len(replies) == 1 and replies[0][0] == 0, replies)
    names = [item[1] for item in decode_record(replies[0][2])["items"]]
    expect(len(names) == 12 and sorted(names) == sorted(MONTHS), names)


class Query:
    """One `orvix.exe -query` under fake-parent, with the portal and a driver."""

    def __init__(self, scenario, parent_args=("-query", "{parent}"), launcher=None, env_extra=None):
        env0 = bench_env()
        self.net = FakeNetwork(scenario, ca_dir=env0["ORVIX_CA_DIR"])
        self.env = bench_env({**self.net.env(), **(env_extra or {})})
        if launcher is None:
            cmd = [self.env["ORVIX_WINE"], FAKE_PARENT, "--timeout", "90", windows_path(ORVIX), *parent_args]
        else:
            cmd = [self.env["ORVIX_WINE"], *launcher]
        self.started = time.monotonic()
        self.proc = subprocess.Popen(cmd, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.out = []
        self.err = []  # Wine's messages (and its traces, when WINEDEBUG asks for some)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        threading.Thread(target=self._read_err, daemon=True).start()
        self.ui = UiDriver(env_extra=self.net.env())

    def _read(self):
        for line in self.proc.stdout:
            if line.strip():
                self.out.append(json.loads(line.decode("utf-8")))

    def _read_err(self):
        for line in self.proc.stderr:
            self.err.append(line.decode("utf-8", "replace"))

    def window(self, timeout_ms=30000):
        return self.ui.wait_window(TITLE, timeout_ms)

    def text(self, control):
        return self.ui.get(control)["text"].replace("\n", "\r\n").replace("\r\r\n", "\r\n")

    def state(self, control):
        return self.ui.get(control)

    def wait_status(self, predicate, timeout=30, seen=None):
        """Polls the status text until predicate(text); records every text seen."""
        deadline = time.monotonic() + wait_bound(timeout)
        last = None
        while time.monotonic() < deadline:
            text = self.text(STATUS)
            if seen is not None and text != last:
                seen.append(text)
            last = text
            if predicate(text):
                return text
            time.sleep(0.05)
        raise AssertionError("status never matched; last %r" % last)

    def wait_entry(self, timeout=30, seen=None):
        self.wait_status(lambda t: self.state(EDIT)["visible"], timeout, seen)

    def login(self, code=CODE):
        self.ui.settext(EDIT, code)
        self.ui.click(LOGIN)

    @contextlib.contextmanager
    def holding(self, vk):
        """The key held down in the dialog, brought to the front for it, for
        the block (see held_key)."""
        expect(self.ui.focus_window()["foreground"], "the dialog takes the keys")
        with held_key(vk, env_extra=self.net.env()):
            yield

    def login_holding_enter(self, code, predicate, seen=None):
        """Sends the code with Enter, held as a person may hold it until the
        status matches and a second more; returns that status."""
        self.ui.settext(EDIT, code)
        with self.holding(VK_RETURN):
            text = self.wait_status(predicate, seen=seen)
            time.sleep(1)
        return text

    def shot(self, name):
        os.makedirs(ARTIFACTS, exist_ok=True)
        bmp = os.path.join(ARTIFACTS, name + ".bmp")
        self.ui.screenshot(bmp)
        bmp_to_png(bmp, os.path.join(ARTIFACTS, name + ".png"))
        os.remove(bmp)

    def requests(self):
        return [r for r in self.net.requests() if r["host"] == HOST]

    def portal_paths(self):
        return [r["path"] for r in self.requests()]

    def finish(self, timeout=60):
        """Waits for the process; returns its exit status."""
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = "hung"
        self.reader.join(5)
        self.elapsed = time.monotonic() - self.started
        return status

    def close(self):
        try:
            self.ui.close()
        finally:
            if self.proc.poll() is None:
                # A failed test leaves its query running: end it the way
                # Plumo would, so the next test starts alone.
                subprocess.run([self.env["ORVIX_WINE"], ORVIX, "-exit", "0"], env=self.env, timeout=60,
                               capture_output=True)
                try:
                    self.proc.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
            self.net.stop()

    def copydata(self):
        return [(m["tag"], m["wparam"], base64.b64decode(m["data"])) for m in self.out if m.get("msg") == "copydata"]

    def messages(self, number):
        return [m for m in self.out if m.get("msg") == number]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def header(request, name):
    values = [v for k, v in request["headers"] if k.lower() == name.lower()]
    return values[0] if values else None


def cookies(request):
    """Every cookie of the request's Cookie headers, name -> values, however
    the client merged its own header with WinInet's stored cookies."""
    found = {}
    for name, value in request["headers"]:
        if name.lower() != "cookie":
            continue
        for part in value.split(";"):
            key, eq, val = part.strip().partition("=")
            if eq:
                found.setdefault(key, []).append(val)
    return found


def carries_the_session(request):
    """The one Cookie header of the program: the consent cookie, the session
    and the load balancer's cookie, each once."""
    return [v for k, v in request["headers"] if k.lower() == "cookie"] == [COOKIE + "; LBKOTA=kota02"]


def one_value_a_name(requests):
    """No request carries two values of one cookie name."""
    for r in requests:
        twice = {k: v for k, v in cookies(r).items() if len(v) > 1}
        expect(not twice, (r["path"], twice, r["headers"]))


def utf16(data, offset, size):
    return data[offset:offset + size].decode("utf-16-le").split("\0")[0]


def decode_record(data):
    last_down, last_up, count = struct.unpack_from("<ddi", data, 0)
    items = []
    for i in range(count):
        base = 808 + 64 * i
        items.append((utf16(data, base, 16), utf16(data, base + 16, 32), *struct.unpack_from("<dd", data, base + 48)))
    return {"download": last_down, "upload": last_up, "count": count, "record": utf16(data, 20, 64),
            "month": utf16(data, 84, 64), "year": utf16(data, 148, 64), "detail": utf16(data, 212, 64),
            "header": utf16(data, 276, 532), "items": items}


def report(headline, down, up, down_change, up_change):
    return S[headline] + (S[108].replace("%s", "{}").format(
        "2024", "Mart", down, up, "15.03.2024 09:42:17", down_change, up_change))


# ---------------------------------------------------------------------------


def test_full_query_reads_the_code_logs_in_and_reports():
    prepare_settings(download=0, upload=0)
    delay = {"delay": 0.6}
    scenario = portal(**{P_LOGIN: delay, P_IMAGE: delay, P_FORM: delay, P_AGREE: delay, P_TRANSFER: delay})
    with Query(scenario) as q:
        q.window()
        seen = []
        q.wait_entry(seen=seen)
        expect(seen[:2] == [S[202], S[203]] or seen[:1] == [S[203]], seen)
        win = q.ui.get_window()
        expect(win["title"] == TITLE and win["topmost"], win)
        expect(q.text(GROUP) == S[105], q.text(GROUP))
        for control, visible in ((EDIT, True), (LOGIN, True), (LINK, True), (PICTURE, True), (STATUS, False),
                                 (CLOSE, False), (RESTART, False), (REFRESH, False)):
            expect(q.state(control)["visible"] == visible, (control, q.state(control)))
        expect(q.state(EDIT)["focused"], "the code box has the focus")
        q.shot("entry-colour")

        # The code goes with Enter, held a while past the report as a person
        # may: its repeats press nothing that the report shows.
        seen = []
        text = q.login_holding_enter(CODE, lambda t: t.startswith(S[106]), seen=seen)
        expect([t for t in (S[207], S[208], S[209]) if t in seen] == [S[207], S[208], S[209]], seen)
        expect(text == report(106, "17,48 GB", "1,15 GB", "17,48 GB", "1,15 GB"), repr(text))
        expect(q.text(GROUP) == S[111], q.text(GROUP))
        expect(q.state(REFRESH)["enabled"] and q.state(RESTART)["enabled"] and q.state(CLOSE)["focused"],
               [q.state(i) for i in (REFRESH, RESTART, CLOSE)])
        q.shot("report")

        # What Plumo received: the record, from the dialog.
        replies = q.copydata()
        expect(len(replies) == 1 and replies[0][0] == 0 and len(replies[0][2]) == 1576, replies)
        expect(replies[0][1] == q.ui.get_window()["hwnd"], "wParam is the dialog")
        rec = decode_record(replies[0][2])
        expect((rec["download"], rec["upload"], rec["count"]) == (18765432109.0, 1234567890.0, 12), rec)
        expect((rec["year"], rec["month"], rec["record"]) == ("2024", "Mart", "15.03.2024 09:42:17"), rec)
        # A text longer than its field is cut, still ending with a zero.
        expect(rec["detail"] == "8012345678 / ADSL 16 Mbps Limit" and rec["header"] == "Sayın AHMET YILMAZ", rec)
        expect(rec["items"][0][:2] == ("2023", "Nisan") and rec["items"][-1] == ("2024", "Mart", 18765432109.0,
                                                                                 1234567890.0), rec["items"])
        opened = q.messages(6041)
        expect(len(opened) == 1 and opened[0]["wparam"] == 2 and opened[0]["lparam"] != 0, q.out)

        # Every request, in order, as the portal saw it.
        reqs = q.requests()
        expect([(r["method"], r["path"]) for r in reqs] == [
            ("GET", P_LOGIN), ("GET", P_IMAGE), ("POST", P_FORM), ("GET", P_AGREE), ("GET", P_TRANSFER)],
            [(r["method"], r["path"]) for r in reqs])
        for r in reqs:
            expect(r["scheme"] == "https" and header(r, "Connection") == "Keep-Alive", r)
            expect(header(r, "Accept") is None and header(r, "Referer") is None, r["headers"])
            expect(header(r, "Cookie") is None if r["path"] == P_LOGIN else carries_the_session(r), r["headers"])
        form = reqs[2]
        expect(header(form, "Content-Type") == "application/x-www-form-urlencoded", form["headers"])
        body = base64.b64decode(form["body"]).decode("ascii")
        expect(body == "dispatch=login&userName=ahmet.yilmaz@orvix&password=gizli+%FEifre%261&captchaResponse="
               + CODE + "&lang=tr", body)
        counter = [r for r in q.net.requests() if r["host"] == "sayac.pagecount.example"]
        expect(len(counter) == 1, "the page-view counter child")

        # "Yinele" fetches only the transfer page again, compared with the
        # totals read at start; "Tekrar" starts over without a cookie.
        q.ui.click(REFRESH)
        q.wait_status(lambda t: t.startswith(S[106]) and len(q.portal_paths()) == 6)
        expect(q.portal_paths()[5] == P_TRANSFER and carries_the_session(q.requests()[5]), q.portal_paths())
        q.ui.click(RESTART)
        q.wait_entry()
        reqs = q.requests()
        expect([r["path"] for r in reqs[6:]] == [P_LOGIN, P_IMAGE], [r["path"] for r in reqs])
        # A new login page goes without any cookie, the new picture with the
        # whole session again.
        expect(header(reqs[6], "Cookie") is None, reqs[6]["headers"])
        expect(carries_the_session(reqs[7]), reqs[7]["headers"])
        one_value_a_name(reqs)

        q.ui.command(2)  # the close box
        status = q.finish()
        expect(status == 0, status)
        expect(len(q.messages(6042)) == 1 and q.messages(6042)[0]["wparam"] == 2, q.out)


def test_security_code_renderings():
    """Links 2-4 redraw the saved image in colour, grey and black-white."""
    prepare_settings()
    with Query(portal()) as q:
        q.window()
        q.wait_entry()
        os.makedirs(ARTIFACTS, exist_ok=True)
        grabs = {}
        for index, name in ((3, "grey"), (4, "black-white"), (2, "colour")):
            q.ui.link(LINK, index)
            time.sleep(0.5)
            path = os.path.join(ARTIFACTS, "picture-%s.bmp" % name)
            reply = q.ui.pixels(PICTURE, path)
            grabs[name] = read_bmp(path)
            expect((reply["width"], reply["height"]) == (242, 80), reply)
            q.shot("entry-" + name)
        grey, bw, colour = grabs["grey"], grabs["black-white"], grabs["colour"]
        grey_px = [grey.pixel(x, y) for y in range(0, 80, 3) for x in range(0, 242, 3)]
        expect(all(p[0] == p[1] == p[2] for p in grey_px), "grey: three equal colour bytes")
        bw_px = [bw.pixel(x, y) for y in range(0, 80, 3) for x in range(0, 242, 3)]
        expect(all(p[:3] in ((0, 0, 0), (255, 255, 255)) for p in bw_px), "black-white: only black and white")
        expect(any(p[:3] == (0, 0, 0) for p in bw_px) and any(p[:3] == (255, 255, 255) for p in bw_px), "both")
        # Black where the grey tone is dark, white where it is light.
        split = [(g[0], b[0]) for g, b in zip(grey_px, bw_px) if abs(g[0] - 127.5) > 3]
        wrong = sum(1 for g, b in split if b != (255 if g >= 128 else 0))
        expect(wrong <= len(split) // 100, "black-white split off the grey tones at %d of %d" % (wrong, len(split)))
        # Grey tones follow the weights 77/151/28 on the bytes in memory order
        # (blue, green, red); the captures give (red, green, blue).
        col_px = [colour.pixel(x, y) for y in range(0, 80, 3) for x in range(0, 242, 3)]
        off = [abs(((77 * c[2] + 151 * c[1] + 28 * c[0]) >> 8) - g[0]) for c, g in zip(col_px, grey_px)]
        expect(sorted(off)[len(off) // 2] <= 2, "grey = weighted colour: median error %d" % sorted(off)[len(off) // 2])
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE], q.portal_paths())
        q.ui.click(LOGIN)  # an empty box: nothing is sent
        time.sleep(1)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE] and q.state(EDIT)["visible"], q.portal_paths())
        q.ui.command(2)
        expect(q.finish() == 0, "exit")


def picture_at(q, path, want):
    """The picture's pixels; its size must be want (within 2 px)."""
    reply = q.ui.pixels(PICTURE, path)
    size = (reply["width"], reply["height"])
    expect(abs(size[0] - want[0]) <= 2 and abs(size[1] - want[1]) <= 2, (path, size, want))
    picture = read_bmp(path)
    return size, [picture.pixel(x, y) for y in range(size[1]) for x in range(size[0])]


def only_black_and_white(px):
    impure = [p[:3] for p in px if p[:3] not in ((0, 0, 0), (255, 255, 255))]
    return not impure, (len(impure), impure[:5])


def scaled(value, dpi):
    """A 96-DPI pixel figure at a DPI, rounded as MulDiv rounds."""
    return (value * dpi + 48) // 96


CONTROLS = (GROUP, PICTURE, STATUS, EDIT, LOGIN, LINK, RESTART, CLOSE, REFRESH)


def layout(q):
    """The dialog's client size and every control's rectangle."""
    client = q.ui.get_window()["client"]
    return {"client": tuple(client[2:]), **{c: tuple(q.state(c)["rect"]) for c in CONTROLS}}


def same_layout(got, want):
    """Every figure within one pixel; the figures that are not."""
    return {k: (got[k], want[k]) for k in want if any(abs(a - b) > 1 for a, b in zip(got[k], want[k]))}


def moved_to(q, old, new):
    """WM_DPICHANGED as Windows sends it on a move from a monitor at old DPI
    to one at new; the window must take the suggested position."""
    suggested = q.ui.dpi_changed(old, new)["suggested"]
    time.sleep(0.5)
    rect = q.ui.get_window()["rect"]
    expect(rect[:2] == suggested[:2], ("moved to", new, "position", rect, suggested))


def test_dialog_at_display_scales():
    """At 144 and 192 DPI, as a laptop at 150 and 200 % runs it: the picture
    is the 96-DPI 242 x 80 scaled and the code is drawn over all of it in
    each rendering (black-white still only black and white); in the status
    layout the group box ends above the buttons by the 96-DPI gap (5 px)
    scaled. A dialog opened at 96 DPI and moved to monitors at 144, 192 and
    back to 96 is, at each, the dialog opened there."""
    saved = display_dpi()
    opened = {}
    try:
        for dpi in (144, 192, 96):
            display_dpi(dpi)
            prepare_settings()
            with Query(portal()) as q:
                q.window()
                q.wait_entry()
                opened[dpi] = layout(q)
                if dpi == 96:
                    for old, new in ((96, 144), (144, 192), (192, 96)):
                        moved_to(q, old, new)
                        off = same_layout(layout(q), opened[new])
                        expect(not off, ("moved from", old, "to", new, off))
                    q.ui.command(2)
                    expect(q.finish() == 0, "exit")
                    continue
                want = (scaled(242, dpi), scaled(80, dpi))
                for index, name in ((2, "colour"), (3, "grey"), (4, "black-white")):
                    if index != 2:
                        q.ui.link(LINK, index)
                        time.sleep(0.5)
                    path = os.path.join(ARTIFACTS, "picture-%d-%s.bmp" % (dpi, name))
                    os.makedirs(ARTIFACTS, exist_ok=True)
                    size, px = picture_at(q, path, want)
                    if name == "black-white":
                        pure, impure = only_black_and_white(px)
                        expect(pure, (dpi, "black-white not pure", impure))
                    # The letters run from the left to the right end: drawn
                    # at the new size, not 242 pixels wide in its corner.
                    dark = [i % size[0] for i, p in enumerate(px) if sum(p[:3]) < 3 * 90]
                    expect(dark and min(dark) < size[0] * 0.2 and max(dark) > size[0] * 0.8,
                           (dpi, name, dark and (min(dark), max(dark)), size[0]))
                    q.shot("entry-%d-%s" % (dpi, name))
                if dpi == 192:
                    # Moved to a monitor at 150 % and back: drawn again from
                    # the saved file at each size, still black-white. Wine
                    # sends no WM_DPICHANGED of its own; the test sends it.
                    for old, other in ((192, 144), (144, 192)):
                        moved_to(q, old, other)
                        _, px = picture_at(q, os.path.join(ARTIFACTS, "picture-192-moved-%d.bmp" % other),
                                           (scaled(242, other), scaled(80, other)))
                        pure, impure = only_black_and_white(px)
                        expect(pure, ("moved to", other, "black-white not pure", impure))
                q.ui.link(LINK, 2)
                q.login()
                q.wait_status(lambda t: t.startswith(S[106]))
                group, close = q.state(GROUP)["rect"], q.state(CLOSE)["rect"]
                gap = close[1] - (group[1] + group[3])
                expect(abs(gap - scaled(5, dpi)) <= 2, (dpi, "gap above the buttons", gap, group, close))
                q.shot("report-%d" % dpi)
                q.ui.click(CLOSE)
                expect(q.finish() == 0, "exit")
    finally:
        if saved is None:
            display_dpi(remove=True)
        else:
            display_dpi(saved)


def test_refused_login_stops_before_the_agreement():
    """The refusal and, after "Tekrar", the transfer page come labelled
    ISO-8859-1 over the portal's Turkish bytes: the refusal is still seen
    and the months still read. The first login page sets the session in a
    later pair of a Set-Cookie ("lang=tr; JSESSIONID=..."), the second a new
    session without a path: each later request carries the consent cookie,
    the session of its own login and the portal's other cookies, in one
    header, and the new login page none."""
    prepare_settings()
    login_page = {"headers": [["Content-Type", "text/html;charset=windows-1254"],
                              ["Set-Cookie", "lang=tr; JSESSIONID=S0UND; Path=/"],
                              ["Set-Cookie", "LBKOTA=kota02; Path=/"]],
                  "body_file": page("login_tr.html")}
    again = copy.deepcopy(login_page)
    again["headers"][1:] = [["Set-Cookie", "LBKOTA=kota03; Path=/"], ["Set-Cookie", "JSESSIONID=N3W"]]
    scenario = portal(**{P_LOGIN: [login_page, again],
                         P_FORM: [servlet_page("login_refused.html"), servlet_page("login_ok.html")],
                         P_TRANSFER: servlet_page("transfer.html")})
    with Query(scenario) as q:
        q.window()
        q.wait_entry()
        q.ui.link(LINK, 1)  # the spoken code: one more request of the first session
        q.ui.wait_until(lambda: P_SOUND in q.portal_paths())
        time.sleep(0.5)
        # Enter held past the refusal: its repeats do not press the "Tekrar"
        # that the refusal focuses.
        text = q.login_holding_enter("yanlis", lambda t: t.startswith(S[101]))
        expect(text == S[101] + "Güvenlik kodu hatalı girildi.", repr(text))
        expect(q.state(RESTART)["enabled"] and q.state(RESTART)["focused"] and not q.state(REFRESH)["enabled"],
               [q.state(RESTART), q.state(REFRESH)])
        time.sleep(0.5)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND, P_FORM], q.portal_paths())
        q.shot("refused")
        # The refusal freed its request: "Tekrar" starts over at once.
        q.ui.click(RESTART)
        q.wait_entry()
        expect(q.portal_paths()[4:] == [P_LOGIN, P_IMAGE], q.portal_paths())
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]))
        months_read(q)
        reqs = q.requests()
        expect([r["path"] for r in reqs] == [P_LOGIN, P_IMAGE, P_SOUND, P_FORM, P_LOGIN, P_IMAGE, P_FORM, P_AGREE,
                                             P_TRANSFER], [r["path"] for r in reqs])
        sent = [[v for k, v in r["headers"] if k.lower() == "cookie"] for r in reqs]
        first = ["usageConfirm=true; JSESSIONID=S0UND; lang=tr; LBKOTA=kota02"]
        second = ["usageConfirm=true; JSESSIONID=N3W; LBKOTA=kota03"]
        expect(sent == [[], first, first, first, [], second, second, second, second], sent)
        one_value_a_name(reqs)
        q.ui.command(2)
        expect(q.finish() == 0, q.out)


def test_failed_image_request_and_busy_steps():
    """A dropped image request: 216 and "Tekrar"; "T" held there presses
    "Tekrar" once, not again in the failure that query ends in; while a
    request runs no step starts; a failed sound request in code entry only
    beeps: the spoken code is a help, and the picture, the session and the
    code typed so far stay."""
    prepare_settings()
    # Cut halfway through the body (a connection cut before any answer makes
    # WinInet try again on a new one).
    image = {"body_file": page("jcaptcha.jpg"), "headers": [["Content-Type", "image/jpeg"]]}
    # Then a picture the graphics library cannot read: code entry with no
    # picture drawn, and "yineleyin" asks for a new one.
    damaged = {"body": "<html>bakım</html>", "headers": [["Content-Type", "image/jpeg"]]}
    scenario = portal(**{P_IMAGE: [dict(image, drop="body"), dict(image, drop="body"), damaged, image],
                         P_SOUND: {"drop": "body"},
                         P_FORM: {"delay": 3}})
    with Query(scenario) as q:
        q.window()
        text = q.wait_status(lambda t: t == S[216])
        expect(q.state(STATUS)["visible"] and not q.state(EDIT)["visible"], "status mode")
        expect(q.state(RESTART)["enabled"] and q.state(RESTART)["focused"] and not q.state(REFRESH)["enabled"],
               q.state(RESTART))
        q.shot("failed")
        # No picture was saved: the sound and picture links do nothing.
        for index in (1, 2, 3, 4):  # hidden now, so the driver may not reach them
            q.ui.link(LINK, index, check=False)
        time.sleep(1)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE] and q.text(STATUS) == S[216], q.portal_paths())
        # "&Tekrar": T held from here is one press. The query it starts fails
        # too, and the repeats that come after start nothing more.
        with q.holding(ord("T")):
            q.ui.wait_until(lambda: q.portal_paths().count(P_IMAGE) == 2)
            q.wait_status(lambda t: t == S[216])
            time.sleep(1)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE] * 2 and q.text(STATUS) == S[216], q.portal_paths())
        q.ui.click(RESTART)
        q.wait_entry()
        expect(q.proc.poll() is None and q.state(LINK)["enabled"], "alive with the damaged picture")
        q.ui.link(LINK, 0)
        q.ui.wait_until(lambda: q.portal_paths().count(P_IMAGE) == 4)
        q.wait_entry()
        # The sound request fails: the code entry stays as it was.
        q.ui.settext(EDIT, CODE[:3])
        picture = q.state(PICTURE)
        q.ui.link(LINK, 1)
        q.ui.wait_until(lambda: P_SOUND in q.portal_paths())
        time.sleep(1)
        expect(q.state(EDIT)["visible"] and q.state(EDIT)["text"] == CODE[:3] and not q.state(STATUS)["visible"],
               q.state(EDIT))
        expect(q.state(PICTURE)["visible"] and q.state(PICTURE)["rect"] == picture["rect"], q.state(PICTURE))
        expect(q.state(LINK)["visible"] and q.state(LINK)["enabled"], q.state(LINK))
        q.login()
        q.wait_status(lambda t: t == S[207])
        for control in (RESTART, REFRESH):  # enabled or not, nothing may start now
            q.ui.command(control)
        q.ui.command(LOGIN)
        time.sleep(1.5)
        paths = q.portal_paths()
        expect(paths == [P_LOGIN, P_IMAGE] * 4 + [P_SOUND, P_FORM], paths)
        q.ui.click(CLOSE) if q.state(CLOSE)["visible"] else q.ui.command(2)
        expect(q.finish() == 0, "exit")


def test_transfer_page_failures_reply_minus_one():
    """Refused, rejected and empty transfer pages: tag -1 and text 109."""
    cases = [
        ("transfer_error.html", S[101] + "Oturumunuzun süresi dolmuştur. Lütfen yeniden giriş yapınız."),
        ("transfer_maintenance.html", ""),
        ("transfer_no_months.html", ""),
    ]
    for name, message in cases:
        prepare_settings()
        with Query(portal(**{P_TRANSFER: {"body_file": page(name)}})) as q:
            q.window()
            q.wait_entry()
            q.login()
            text = q.wait_status(lambda t: t.endswith(S[109].strip()) or t.endswith(S[109]))
            expect(text == message + S[109], (name, repr(text)))
            replies = q.copydata()
            expect(replies == [(-1, q.ui.get_window()["hwnd"], message.encode("utf-16-le"))], (name, replies))
            expect(q.state(RESTART)["enabled"] and q.state(RESTART)["focused"] and q.state(REFRESH)["enabled"],
                   (name, q.state(RESTART)))
            q.ui.click(CLOSE)
            expect(q.finish() == 0, name)


def test_stored_totals_decide_the_headline_and_changes():
    cases = [
        # same totals as stored: nothing changed, and every later "Yinele" too
        ((18765432109, 1234567890), report(107, "17,48 GB", "1,15 GB", "0 B", "0 B")),
        # a new month: the new total is the change
        ((20 * 1024 ** 3, 1234567000), report(106, "17,48 GB", "1,15 GB", "17,48 GB", "890 B")),
    ]
    for (down, up), expected in cases:
        prepare_settings(download=down, upload=up)
        with Query(portal()) as q:
            q.window()
            q.wait_entry()
            q.login()
            text = q.wait_status(lambda t: t.startswith(S[106]) or t.startswith(S[107]))
            expect(text == expected, repr(text))
            if down == 18765432109:
                q.ui.click(REFRESH)
                q.wait_status(lambda t: len(q.portal_paths()) == 6 and t == expected)
            q.ui.click(CLOSE)
            expect(q.finish() == 0, "exit")


def test_parent_and_exit_control_a_running_query():
    prepare_settings()
    with Query(portal()) as q:
        q.window()
        q.wait_entry()
        # A second -query shows nothing and leaves this one alone.
        second = subprocess.run([q.env["ORVIX_WINE"], FAKE_PARENT, "--timeout", "40", windows_path(ORVIX),
                                 "-query", "{parent}"], env=q.env, capture_output=True, timeout=80)
        expect(second.returncode == 0 and b"6041" not in second.stdout, second.stdout)
        expect(q.state(EDIT)["visible"], "the first query still runs")
        # 5938 brings it to the front; 6040 closes it.
        expect(q.ui.send_class("inet30_unique_class_name", "inet30_unique_window_name", 5938)["result"] == 0, "5938")
        q.ui.send_class("inet30_unique_class_name", "inet30_unique_window_name", 6040)
        q.ui.gone(10000)
        expect(q.finish() == 0 and len(q.messages(6042)) == 1, q.out)

    prepare_settings()
    with Query(portal(**{P_FORM: {"delay": 4}})) as q:
        q.window()
        q.wait_entry()
        q.login()
        q.wait_status(lambda t: t == S[207])
        # -exit from another process while the login form is on its way.
        subprocess.run([q.env["ORVIX_WINE"], ORVIX, "-exit", "0"], env=q.env, timeout=60)
        status = q.finish()
        expect(status == 0 and len(q.messages(6042)) == 1, (status, q.out))
        expect(q.elapsed >= 3, "waited for the running request")


def test_close_while_the_dialog_announces_itself_starts_nothing():
    # The parent closes the hidden window while the dialog's 6041 is still
    # being sent: the dialog is gone, so no request may follow.
    prepare_settings()
    launcher = [FAKE_PARENT, "--timeout", "60", "--close-on-open", windows_path(ORVIX), "-query", "{parent}"]
    with Query(portal(), launcher=launcher) as q:
        status = q.finish(timeout=30)
        expect(status == 0 and q.elapsed < 10, (status, q.elapsed))
        expect(len(q.messages(6041)) == 1 and len(q.messages(6042)) == 1, q.out)
        expect(q.portal_paths() == [], q.portal_paths())


MONTHS = ["Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran", "Temmuz", "Ağustos", "Eylül", "Ekim", "Kasım",
          "Aralık"]


def user_environment(name, value=None):
    """Reads (value None) or sets a variable of the prefix user's Windows
    environment (HKCU\\Environment); new processes take it from there."""
    env = bench_env()
    if value is None:
        out = subprocess.run([env["ORVIX_WINE"], "reg", "query", r"HKCU\Environment", "/v", name], env=env,
                             capture_output=True, timeout=60).stdout.decode("utf-8", "replace")
        found = re.search(name + r"\s+REG_\w+\s+(.*)", out)
        return found.group(1).strip() if found else None
    subprocess.run([env["ORVIX_WINE"], "reg", "add", r"HKCU\Environment", "/v", name, "/t", "REG_EXPAND_SZ", "/d",
                    value, "/f"], env=env, capture_output=True, timeout=60, check=True)


def test_turkish_user_on_a_western_windows():
    """Windows in English (code page 1252, LC_ALL=en_US.UTF-8) and a user
    whose name that code page cannot write: the portal's pages, labelled
    ISO-8859-1 as a servlet container labels them, are still read as the
    portal's Turkish and the code's files saved under wide names, so the
    record, the report and a refusal are those of a Turkish system (only
    the number separators are the user's own)."""
    western = {"LC_ALL": "en_US.UTF-8"}
    home = os.path.join(bench_env()["WINEPREFIX"], "drive_c", "users", "Çağrı Işık", "Temp")
    os.makedirs(home, exist_ok=True)
    saved = {name: user_environment(name) for name in ("TEMP", "TMP")}
    try:
        for name in saved:
            user_environment(name, r"C:\users\Çağrı Işık\Temp")
        prepare_settings()
        with Query(portal(**{P_TRANSFER: servlet_page("transfer.html")}), env_extra=western) as q:
            q.window()
            q.wait_entry()
            expect(os.path.exists(os.path.join(home, "jcaptcha.jpg")), os.listdir(home))
            q.login()
            text = q.wait_status(lambda t: t.startswith(S[106]))
            expect(text == report(106, "17.48 GB", "1.15 GB", "17.48 GB", "1.15 GB"), repr(text))
            replies = q.copydata()
            expect(len(replies) == 1 and replies[0][0] == 0, replies)
            rec = decode_record(replies[0][2])
            expect((rec["year"], rec["month"], rec["record"], rec["download"]) ==
                   ("2024", "Mart", "15.03.2024 09:42:17", 18765432109.0), rec)
            expect(rec["header"] == "Sayın AHMET YILMAZ" and rec["detail"] == "8012345678 / ADSL 16 Mbps Limit", rec)
            months_read(q)
            q.ui.click(CLOSE)
            expect(q.finish() == 0, "exit")

        prepare_settings()
        with Query(portal(**{P_FORM: servlet_page("login_refused.html")}), env_extra=western) as q:
            q.window()
            q.wait_entry()
            q.login("yanlis")
            text = q.wait_status(lambda t: t.startswith(S[101]))
            expect(text == S[101] + "Güvenlik kodu hatalı girildi.", repr(text))
            expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_FORM], q.portal_paths())
            q.ui.click(CLOSE)
            expect(q.finish() == 0, "exit")
    finally:
        for name, value in saved.items():
            if value is not None:
                user_environment(name, value)


def test_close_while_a_handler_waits_for_its_worker():
    # The worker has posted the login page's completion but takes 6 s to
    # end (longer on a slow machine: -exit is a program start of its own);
    # -exit arrives while the handler waits for it. The window goes, its own
    # wait for the same worker returns, the handler starts nothing more, and
    # the process ends cleanly.
    with Query(portal(), launcher=[CLOSE_PROBE, str(int(wait_bound(6000)))]) as q:
        q.window()
        q.ui.wait_until(lambda: P_LOGIN in q.portal_paths())
        time.sleep(1.0)  # the answer is in; the worker is ending
        subprocess.run([q.env["ORVIX_WINE"], ORVIX, "-exit", "0"], env=q.env, timeout=60, capture_output=True)
        status = q.finish(timeout=60)
        expect(status == 0 and q.out and "result" in q.out[-1], (status, q.out))
        expect(q.portal_paths() == [P_LOGIN], q.portal_paths())


def test_faults_inside_a_step_end_it_as_a_failure():
    """The real dialog in quota-fault-probe, whose memory runs out at a
    chosen message, and in a temporary folder that does not exist: one
    failed allocation, or a picture that cannot be saved, ends the step as
    a failed request does (216, "Tekrar" focused), and the dialog still
    answers; when nothing at all can be allocated any more, the dialog ends
    itself. Either way the parent hears of the end and the process ends."""
    no_temp = r"C:\no\such\folder"
    cases = [
        # arm at, failures, temporary folder, what the user does first
        (1280, 1, None, None),             # the login page's completion
        (1281, 1, None, None),             # the picture's
        (WM_COMMAND, 1, None, "login"),    # "Giriş", before the form is sent
        (0, 0, no_temp, None),             # the picture cannot be saved
        (1281, 0, None, None),             # nothing from the picture on: not even 216
    ]
    for arm, count, temp, action in cases:
        name = (arm, count, temp)
        args = [windows_path(FAULT_PROBE), str(arm), str(count), "{parent}"] + ([temp] if temp else [])
        with Query(portal(), launcher=[FAKE_PARENT, "--timeout", "60", *args]) as q:
            q.window()
            if action == "login":
                q.wait_entry()
                q.ui.settext(EDIT, CODE)
                q.ui.command(LOGIN)  # posted, so the probe sees it arrive
            if arm and count == 0:
                q.ui.gone(30000)
            else:
                q.wait_status(lambda t: t == S[216])
                expect(q.state(RESTART)["enabled"] and q.state(RESTART)["focused"], (name, q.state(RESTART)))
                first = list(q.portal_paths())
                expect(P_FORM not in first, (name, first))
                if not temp:
                    q.ui.click(RESTART)
                    q.wait_entry()
                    expect(q.portal_paths()[len(first):] == [P_LOGIN, P_IMAGE], (name, q.portal_paths()))
                q.ui.command(2)
            status = q.finish(timeout=60)
            expect(status == 2, (name, status, q.err[-5:]))
            expect(len(q.messages(6041)) == 1 and len(q.messages(6042)) == 1, (name, q.out))


def test_steps_asked_for_while_a_finished_worker_is_waited_for_start_nothing():
    """A completion handler waits for its finished worker (the close probe
    makes threads slow to end), and WM_COMMANDs sent meanwhile are handled
    inside that wait: "Giriş" while the spoken code's handler waits, "Tekrar"
    and "Yinele" while the handler of a "Yinele" does. None may reach the
    portal: a worker being waited for still exists."""
    with Query(portal(), launcher=[CLOSE_PROBE, "3000"]) as q:
        q.window()
        q.wait_entry(timeout=40)
        q.ui.settext(EDIT, CODE)
        q.ui.link(LINK, 1)
        q.ui.wait_until(lambda: P_SOUND in q.portal_paths())
        time.sleep(1.0)  # the answer is in; the handler waits for the worker
        q.ui.send(WM_COMMAND, LOGIN, 0)
        time.sleep(3)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND], q.portal_paths())
        q.ui.wait_until(lambda: q.state(LOGIN)["enabled"] and q.state(LINK)["enabled"], timeout=30)
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]) or t.startswith(S[107]), timeout=40)
        q.ui.click(REFRESH)
        q.ui.wait_until(lambda: q.portal_paths().count(P_TRANSFER) == 2)
        time.sleep(1.0)
        for control in (RESTART, REFRESH):
            q.ui.send(WM_COMMAND, control, 0)
        time.sleep(3.5)
        q.wait_status(lambda t: t.startswith(S[106]) or t.startswith(S[107]), timeout=20)
        expect(q.portal_paths() == [P_LOGIN, P_IMAGE, P_SOUND, P_FORM, P_AGREE, P_TRANSFER, P_TRANSFER],
               q.portal_paths())
        # One "Tekrar" is one query, whatever arrives while it runs: clicks,
        # Enter and Space on the hidden links and the disabled buttons, and
        # commands of their own, inside the waits and between them.
        q.ui.click(RESTART)
        q.ui.wait_until(lambda: q.portal_paths().count(P_LOGIN) == 2)
        for pause in (1.0, 0.5, 2.0):
            time.sleep(pause)
            for control in (RESTART, REFRESH, LOGIN):
                q.ui.key(control, 13)
                q.ui.key(control, 32)
                q.ui.command(control)
                q.ui.send(WM_COMMAND, control, 0)
            q.ui.key(LINK, 13)
            q.ui.link(LINK, 0, check=False)
        q.wait_entry(timeout=30)
        q.ui.link(LINK, 2)  # a picture link in code entry: no query
        time.sleep(4)
        expect(q.portal_paths()[7:] == [P_LOGIN, P_IMAGE], q.portal_paths())
        # A person's mouse (real input): the system gives a press to the
        # window under the pointer when the dialog takes it from its queue.
        # Presses made while a handler waits are taken after the new layout
        # shows, on what is there then: they count for nothing. One click on
        # "yineleyin" is one query, not a second one from a click and a
        # double click on the status text where the link shows again.
        q.ui.focus_window()
        spot = q.ui.link_point(LINK, 0)["point"]
        q.ui.mouse_move(*spot)
        q.ui.mouse("mouse-click")
        q.ui.wait_until(lambda: q.portal_paths().count(P_IMAGE) == 3, timeout=30)
        time.sleep(1.0)  # the picture's handler waits for its worker
        q.ui.mouse("mouse-click")
        q.ui.mouse("dblclick")
        q.wait_entry(timeout=30)
        time.sleep(4)
        expect(q.portal_paths()[9:] == [P_LOGIN, P_IMAGE], q.portal_paths())
        # Nor does a click on "Tekrar" while it was disabled, taken once the
        # report has enabled it.
        q.login()
        q.ui.wait_until(lambda: q.portal_paths().count(P_TRANSFER) == 3, timeout=40)
        time.sleep(1.0)  # the transfer page's handler waits for its worker
        x, y, w, h = q.state(RESTART)["rect"]
        q.ui.mouse_move(*q.ui.point(RESTART, w // 2, h // 2)["point"])
        q.ui.mouse("mouse-click")
        q.wait_status(lambda t: t.startswith(S[106]) or t.startswith(S[107]), timeout=30)
        time.sleep(4)
        expect(q.portal_paths()[11:] == [P_FORM, P_AGREE, P_TRANSFER], q.portal_paths())
        q.ui.command(2)
        status = q.finish(timeout=60)
        expect(status == 0 and q.out and q.out[-1].get("result") == 2, (status, q.out))


def test_closing_during_a_slow_transfer_page_waits_and_ends():
    prepare_settings()
    with Query(portal(**{P_TRANSFER: {"delay": 5}})) as q:
        q.window()
        q.wait_entry()
        q.login()
        q.wait_status(lambda t: t == S[209])
        closed = time.monotonic()
        q.ui.command(CLOSE)
        status = q.finish(60)
        expect(status == 0, status)
        expect(time.monotonic() - closed >= 2, "the close waited for the request")
        expect(q.copydata() == [] and len(q.messages(6042)) == 1, q.out)


def test_parent_gone_mid_query_breaks_nothing():
    prepare_settings()
    launcher = [HELPER, "vanish", "4000", windows_path(ORVIX), "-query", "{parent}"]
    with Query(portal(), launcher=launcher) as q:
        q.window()
        q.wait_entry()
        time.sleep(4)  # the parent is gone now
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]))
        q.ui.click(CLOSE)
        expect(q.finish() == 0, "exit")


def test_broadcast_handle_as_parent_gets_nothing():
    """A parent argument of HWND_BROADCAST (65535) names no window: no
    6041, no record, no 6042 reaches any top-level window."""
    prepare_settings()
    with Query(portal(), parent_args=("-query", "65535")) as q:
        q.window()
        q.wait_entry()
        q.login()
        q.wait_status(lambda t: t.startswith(S[106]))
        q.ui.click(CLOSE)
        expect(q.finish() == 0 and q.out == [], q.out)


def test_untrusted_portal_certificate_sends_nothing():
    prepare_settings()
    with Query(portal(untrusted=True)) as q:
        q.window()
        q.wait_status(lambda t: t == S[216])
        posted = [r for r in q.net.requests() if r["method"] == "POST"]
        expect(posted == [] and P_FORM not in q.portal_paths(), q.portal_paths())
        q.ui.click(CLOSE)
        expect(q.finish() == 0, "exit")


def test_cacheable_answers_are_fetched_again():
    # Answers that call themselves fresh for an hour still go to the portal
    # every time: a new picture for "yineleyin", this month's totals for
    # "Yinele".
    prepare_settings(download=18765432109, upload=1234567890)
    fresh = [["Cache-Control", "public, max-age=3600"], ["Expires", "Fri, 31 Dec 2099 23:59:59 GMT"]]
    cached = {"headers": [["Content-Type", "image/jpeg"]] + fresh, "body_file": page("jcaptcha.jpg")}
    html = [["Content-Type", "text/html;charset=windows-1254"]] + fresh
    with open(page("transfer.html"), "rb") as f:
        transfer = f.read()
    grown = transfer.replace(b"18.765.432.109", b"18.865.432.109")
    expect(grown != transfer, "the newest download total is in the page")
    newer = os.path.join(tempfile.mkdtemp(prefix="orvix-transfer-"), "transfer_newer.html")
    with open(newer, "wb") as f:
        f.write(grown)
    transfers = [{"headers": html, "body_file": page("transfer.html")}, {"headers": html, "body_file": newer}]
    with Query(portal(**{P_IMAGE: cached, P_TRANSFER: transfers})) as q:
        q.window()
        q.wait_entry()
        q.ui.link(LINK, 0)  # "yineleyin": a new login, a new picture
        q.wait_status(lambda t: q.portal_paths().count(P_IMAGE) == 2 and q.state(EDIT)["visible"])
        q.login()
        q.wait_status(lambda t: t.startswith(S[107]))
        q.ui.click(REFRESH)
        text = q.wait_status(lambda t: t.startswith(S[106]))
        expect("Download değişimi: 95 MB" in text, repr(text))
        expect(q.portal_paths().count(P_TRANSFER) == 2, q.portal_paths())
        q.ui.command(2)
        expect(q.finish() == 0, "exit")


def test_no_credentials_no_dialog():
    for settings in ({"account": False}, {"user": "", "password": ""}, {"user": "ahmet", "password": ""}):
        prepare_settings(**settings)
        with Query(portal()) as q:
            status = q.finish(60)
            expect(status == 0 and q.out == [], (settings, status, q.out))
            expect(q.portal_paths() == [], (settings, q.portal_paths()))
            expect(q.ui.wait_window(TITLE, 500, check=False).get("error") == "timeout", "no dialog")


def test_huge_endless_and_stalled_transfer_pages_fail_the_step():
    """The transfer page as 300 MB, as a body without end, and as headers
    followed by silence: each fails the step (216, "Tekrar" enabled) instead
    of filling memory or waiting for ever; the peak memory of the process
    stays near what it was at code entry."""
    prepare_settings()
    with Query(portal(**{P_TRANSFER: {"body_size": 300 * 1000 * 1000}})) as q:
        with PeakMemory(ORVIX) as before:
            q.window()
            q.wait_entry()
        timings = {}
        with PeakMemory(ORVIX) as after:
            q.login()
            started = time.monotonic()
            q.wait_status(lambda t: t == S[216], timeout=60)
            timings["huge"] = round(time.monotonic() - started, 1)
            time.sleep(0.2)
        expect(q.state(RESTART)["enabled"] and q.state(RESTART)["focused"] and q.state(REFRESH)["enabled"],
               q.state(RESTART))
        expect(q.copydata() == [], q.copydata())
        print("-query peak VmHWM KiB: at code entry %d, after the 300 MB page %d"
              % (before.peak_kib(), after.peak_kib()))
        expect(0 < before.peak_kib() and after.peak_kib() - before.peak_kib() < 40 * 1024,
               (before.peak_kib(), after.peak_kib()))
        # "Yinele" asks again: a body without end, then silence after the
        # headers, which the receive time-out ends.
        for name, change, limit in (("endless", {"body_endless": True}, 30), ("stall", {"stall": 300}, 75)):
            q.net.set_scenario(portal(**{P_TRANSFER: change}))
            count = q.portal_paths().count(P_TRANSFER)
            started = time.monotonic()
            q.ui.click(REFRESH)
            q.wait_status(lambda t: t == S[216] and q.portal_paths().count(P_TRANSFER) == count + 1,
                          timeout=limit + 15)
            timings[name] = round(time.monotonic() - started, 1)
            expect(timings[name] <= limit and q.state(RESTART)["enabled"], (name, timings))
        print("-query seconds until the failure shows:", timings)
        expect(timings["stall"] >= 20, timings)
        q.ui.click(CLOSE)
        expect(q.finish() == 0 and q.copydata() == [], q.out)


def test_damaged_account_file_shows_nothing_and_stays_as_it_was():
    """account.ini cut short, a lone byte-order mark, random bytes and 10 MB
    of text whose credentials do not decode: no dialog, nothing to the
    parent, no portal request, and the file keeps its bytes and time."""
    good = b"\xff\xfe" + ("[account]\r\nhash=%s\r\n" % credentials_hash(USER, PASSWORD)).encode("utf-16-le")
    # Cut inside the user name's part of the hash, and inside a code unit.
    cut = good[:len(b"\xff\xfe" + "[account]\r\nhash=".encode("utf-16-le")) + 2 * 12 + 1]
    big = b"\xff\xfe" + ("[account]\r\nhash=%s\r\n[update]\r\n" % scramble(b"x" * (3 * 1024 * 1024))
                         ).encode("utf-16-le")
    big += ("download=%s\r\n" % ("1" * 1000)).encode("utf-16-le") * ((10 * 1024 * 1024 - len(big)) // 2030)
    cases = {"cut short": cut, "lone BOM": b"\xff\xfe", "random": random.Random(14).randbytes(4096),
             "10 MB": big}
    for name, data in cases.items():
        folder = prepare_settings(account=False)
        path = os.path.join(folder, "account.ini")
        with open(path, "wb") as f:
            f.write(data)
        old = os.stat(path).st_mtime_ns - 10 ** 9  # a second back, so any write shows
        os.utime(path, ns=(old, old))
        with Query(portal()) as q:
            status = q.finish(90)
            expect(status == 0 and q.out == [], (name, status, q.out))
            expect(q.portal_paths() == [], (name, q.portal_paths()))
            expect(q.ui.wait_window(TITLE, 500, check=False).get("error") == "timeout", (name, "no dialog"))
        with open(path, "rb") as f:
            expect(f.read() == data, (name, "file changed"))
        expect(os.stat(path).st_mtime_ns == old, (name, "file written"))


def test_unreadable_parent_argument_still_runs_the_query():
    """A parent argument of thousands of characters or in a foreign script
    is no window: the query runs and tells nobody."""
    for parent in ("7" * 5000, "Привет日本"):
        prepare_settings()
        with Query(portal(), parent_args=("-query", parent, "extra")) as q:
            q.window()
            q.wait_entry()
            q.ui.command(2)
            expect(q.finish() == 0 and q.out == [], q.out)


if __name__ == "__main__":
    main_for([
        test_full_query_reads_the_code_logs_in_and_reports,
        test_security_code_renderings,
        test_dialog_at_display_scales,
        test_refused_login_stops_before_the_agreement,
        test_failed_image_request_and_busy_steps,
        test_transfer_page_failures_reply_minus_one,
        test_stored_totals_decide_the_headline_and_changes,
        test_parent_and_exit_control_a_running_query,
        test_close_while_the_dialog_announces_itself_starts_nothing,
        test_close_while_a_handler_waits_for_its_worker,
        test_faults_inside_a_step_end_it_as_a_failure,
        test_steps_asked_for_while_a_finished_worker_is_waited_for_start_nothing,
        test_closing_during_a_slow_transfer_page_waits_and_ends,
        test_turkish_user_on_a_western_windows,
        test_parent_gone_mid_query_breaks_nothing,
        test_broadcast_handle_as_parent_gets_nothing,
        test_untrusted_portal_certificate_sends_nothing,
        test_cacheable_answers_are_fetched_again,
        test_no_credentials_no_dialog,
        test_huge_endless_and_stalled_transfer_pages_fail_the_step,
        test_damaged_account_file_shows_nothing_and_stays_as_it_was,
        test_unreadable_parent_argument_still_runs_the_query,
    ])
