"""The small jobs of orvix.exe, driven as Plumo drives them: through
tools/fake-parent, against tools/fake-network, checking the replies and what
reached the wire."""
import base64
import json
import os
import re
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from fakenet import FakeNetwork  # noqa: E402
from winebench import (PeakMemory, bench_env, build_file, main_for, run_under_wine, run_with_fake_parent,  # noqa: E402
                       windows_path)

# The program under test: this tree's, or the file that ships (the release
# test names out/release/orvix.exe here).
ORVIX = os.environ.get("ORVIX_PROGRAM") or build_file("app/orvix.exe")
HELPER = build_file("tests/tasks/task-helper.exe")


def config():
    """The hosts and identifiers as the program has them."""
    path = os.path.join(os.environ["ORVIX_SOURCE_DIR"], "net", "service_hosts.h")
    with open(path, encoding="utf-8") as f:
        return dict(re.findall(r'inline constexpr char (k\w+)\[\] = "([^"]*)";', f.read()))


CFG = config()
ECHO_A = CFG["kIpEchoAutomationHost"]
ECHO_B = CFG["kIpEchoSecondHost"]
SITE = CFG["kMakerSiteHost"]


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def route(host, path, body, status=200, method="GET", **extra):
    response = {"status": status, "body": body, "encoding": "cp1254"}
    response.update(extra)
    return {"host": host, "method": method, "path": path, "response": response}


def ip_routes(a=None, b=None, c=None):
    routes = []
    if a is not None:
        routes.append(route(ECHO_A, "/n09230945.asp", a))
    if b is not None:
        routes.append(route(ECHO_B, "/", b))
    if c is not None:
        routes.append(route(SITE, "/getip.php?ref=plumo3-orvix", c))
    return {"routes": routes}


def ca_dir():
    return bench_env().get("ORVIX_CA_DIR")


def run_job(net, args, timeout=60):
    return run_with_fake_parent(ORVIX, args, timeout=timeout, env_extra=net.env())


def header(req, name):
    for k, v in req["headers"]:
        if k.lower() == name.lower():
            return v
    return None


def hosts(net):
    return [r["host"] for r in net.requests()]


# -getmyip

def test_getmyip_first_source_answers():
    with FakeNetwork(ip_routes(a="  81.214.7.9 \r\n"), ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getmyip", "{parent}", "anasayfa"])
        expect(run.status == 0, run.status)
        expect(run.copydata() == [(15, 0, b"81.214.7.9")], run.messages)
        expect(hosts(net) == [ECHO_A], hosts(net))
        req = net.requests()[0]
        expect(req["path"] == "/n09230945.asp" and req["port"] == 80, req)
        expect(header(req, "Referer") is None and header(req, "Connection") == "Keep-Alive", req["headers"])


def test_getmyip_moves_on_after_html_and_rejects_wrong_shapes():
    with FakeNetwork(ip_routes(a="<html><body>10.0.0.1</body></html>", b="88.1.2.3\n"), ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getmyip", "{parent}"])
        expect(run.copydata() == [(15, 0, b"88.1.2.3")], run.messages)
        expect(hosts(net) == [ECHO_A, ECHO_B], hosts(net))
    # Two and four dots are rejected; three dots alone and an octet above 255
    # pass unchanged.
    for a, b, want in (("1.2.3", "4.4.4.4", b"4.4.4.4"), ("1.2.3.4.5", "5.5.5.5", b"5.5.5.5"),
                       ("...", None, b"..."), ("300.1.2.3", None, b"300.1.2.3")):
        with FakeNetwork(ip_routes(a=a, b=b), ca_dir=ca_dir()) as net:
            run = run_job(net, ["-getmyip", "{parent}"])
            expect(run.copydata() == [(15, 0, want)], (a, run.messages))


def test_getmyip_last_source_sends_referrer_and_all_failing_replies_empty():
    xml = '<?xml version="1.0"?><data><ip>95.0.1.2</ip></data>'
    with FakeNetwork(ip_routes(c=xml), ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getmyip", "{parent}", "kota"])
        expect(run.copydata() == [(15, 0, b"95.0.1.2")], run.messages)
        reqs = net.requests()
        expect([r["host"] for r in reqs] == [ECHO_A, ECHO_B, SITE], reqs)
        expect(header(reqs[2], "Referer") == "/kota", reqs[2]["headers"])
        # Referer before Connection, and nothing else of ours.
        names = [k.lower() for k, _ in reqs[2]["headers"]]
        expect(names.index("referer") < names.index("connection"), names)
    with FakeNetwork({"routes": []}, ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getmyip", "{parent}"])
        expect(run.status == 0 and run.copydata() == [(15, 0, b"")], run.messages)
        expect(len(net.requests()) == 3, hosts(net))


def test_getmyip_parent_gone_or_not_a_window():
    # The window vanishes while source A is still answering: no reply can
    # reach it, and the job ends normally.
    # The helper destroys the window once source A has the request (however
    # long the program took to start), and A answers 2 s later.
    scenario = ip_routes(a="81.214.7.9")
    scenario["routes"][0]["response"]["delay"] = 2
    signal = build_file("tests/tasks/artifacts/vanish-now")
    os.makedirs(os.path.dirname(signal), exist_ok=True)
    if os.path.exists(signal):
        os.remove(signal)
    with FakeNetwork(scenario, ca_dir=ca_dir()) as net:
        done = {}
        runner = threading.Thread(target=lambda: done.update(proc=run_under_wine(
            HELPER, ["vanish", "@" + windows_path(signal), "Z:" + ORVIX.replace("/", "\\"), "-getmyip", "{parent}"],
            env_extra=net.env())))
        runner.start()
        deadline = time.monotonic() + 50
        while not hosts(net) and runner.is_alive() and time.monotonic() < deadline:
            time.sleep(0.05)
        open(signal, "w").close()
        runner.join()
        proc = done["proc"]
        expect(proc.returncode == 0, (proc.returncode, proc.stderr))
        expect(hosts(net) == [ECHO_A], hosts(net))
    # A second argument that is no window runs nothing at all.
    with FakeNetwork(ip_routes(a="81.214.7.9"), ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getmyip", "12345", "x"])
        expect(run.status == 0 and run.messages == [] and net.requests() == [], (run.messages, hosts(net)))


# -getversion

def version_routes(body):
    return {"routes": [route(SITE, "/plumo-orvix.xml", body)]}


def test_getversion_replies():
    cases = [
        ('<?xml version="1.0"?><data><version>3.1</version><whatsnew>Yeni kota ekran\u0131\r\nHata d\u00fczeltmeleri'
         '</whatsnew></data>', "3.1|Yeni kota ekran\u0131\nHata d\u00fczeltmeleri|".encode("cp1254")),
        ("<data><version>3.1</version></data>", b"3.1||"),
        ("<data><version>4.0</version><whatsnew>a|b</whatsnew></data>", b"4.0|a|b|"),
    ]
    for body, want in cases:
        with FakeNetwork(version_routes(body), ca_dir=ca_dir()) as net:
            run = run_job(net, ["-getversion", "{parent}", "surum"])
            got = run.copydata()
            expect(len(got) == 1 and got[0][0] == 16, run.messages)
            # The XML reader normalises CR LF line ends in the notes to LF.
            expect(got[0][2].replace(b"\r\n", b"\n") == want, (got, want))
            req = net.requests()[0]
            expect(header(req, "Referer") == "/surum" and req["path"] == "/plumo-orvix.xml", req)


def test_getversion_no_xml_sends_nothing():
    with FakeNetwork(version_routes("<html><p>Bak\u0131mday\u0131z"), ca_dir=ca_dir()) as net:
        run = run_job(net, ["-getversion", "{parent}"])
        expect(run.status == 0 and run.messages == [], run.messages)
        expect(len(net.requests()) == 1, hosts(net))


# -tracker, -sayyac, -newuser

def one_request(args):
    with FakeNetwork({"routes": []}, ca_dir=ca_dir()) as net:
        before = time.time()
        run = run_job(net, args)
        after = time.time()
        expect(run.status == 0 and run.messages == [], (args, run.messages))
        reqs = net.requests()
        expect(len(reqs) == 1, (args, reqs))
        return reqs[0], before, after


def test_tracker_and_page_counter():
    req, _, _ = one_request(["-tracker", "0"])
    expect(req["host"] == CFG["kWidgetHost"] and req["port"] == 80, req)
    expect(req["path"] == "/swidget/%s.gif" % CFG["kWidgetId"], req["path"])
    expect(header(req, "Referer") == "http://%s/plumo3-orvix-newuserid" % SITE, req["headers"])
    values = []
    for _ in range(2):
        req, _, _ = one_request(["-sayyac", "0"])
        expect(req["host"] == CFG["kPageCounterHost"], req)
        expect(header(req, "Referer") is None, req["headers"])
        path, _, query = req["path"].partition("?")
        expect(path == "/sa.gif", path)
        keys = [k for k, _ in urllib.parse.parse_qsl(query, keep_blank_values=True)]
        expect(keys == ["_salogin", "_sav", "_saje", "_sace", "_sacol", "_sares", "_saref", "_saa_u", "_say_u",
                        "_sam_u", "_saw_u", "_sad_u", "_sawd_u", "_sadh_u", "_sanv", "_sarnd"], keys)
        r = int(dict(urllib.parse.parse_qsl(query))["_sarnd"])
        expect(0 <= r < 2147483647, r)
        values.append(r)
    expect(values[0] != values[1], values)


def test_newuser_query():
    screen = run_under_wine(HELPER, ["screen"]).stdout.decode().strip()
    req, before, after = one_request(["-newuser", "0"])
    expect(req["host"] == SITE and header(req, "Referer") is None, req)
    path, _, query = req["path"].partition("?")
    expect(path == "/tracker/count.php", path)
    parts = [p.partition("=") for p in query.split("&")]
    expect([k for k, _, _ in parts] == ["sid", "p", "r", "t", "res"], parts)
    values = {k: v for k, _, v in parts}
    expect(values["sid"] == CFG["kTrackerSiteId"], values)
    expect(values["p"] == "L25ld3VzZXJpZA%3D%3D", values["p"])
    expect(values["r"] == "", values)
    t = int(values["t"])
    expect(before * 1000 - 1000 <= t <= after * 1000 + 1000, (before, t, after))
    expect(values["res"] == screen, (values["res"], screen))
    # A page name whose base64 text runs over one 76-character line.
    long_name = "kota-sorgulama-sayfasi-" * 3
    req, _, _ = one_request(["-newuser", "0", long_name])
    p = dict(x.partition("=")[::2] for x in req["path"].split("?")[1].split("&"))["p"]
    expect("%0D%0A" in p, p)
    decoded = base64.b64decode(urllib.parse.unquote(p).replace("\r\n", ""))
    expect(decoded == ("/" + long_name).encode(), decoded)


# -message

def message_box(args, caption):
    env = bench_env()
    orvix = subprocess.Popen([env["ORVIX_WINE"], ORVIX, *args], env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        found = run_under_wine(HELPER, ["msgbox", caption, "30"], timeout=60)
        expect(found.returncode == 0, ("no message box", args))
        orvix.wait(timeout=30)
        expect(orvix.returncode == 0, orvix.returncode)
        return json.loads(found.stdout.decode("utf-8"))
    finally:
        if orvix.poll() is None:
            orvix.kill()


def test_message_box_texts_and_types():
    box = message_box(["-message", "Kota Uyar\u0131s\u0131", "\u00c7ok \u015fi\u011fli \u0130\u00e7erik", "64"],
                      "Kota Uyar\u0131s\u0131")
    expect(box["text"] == "\u00c7ok \u015fi\u011fli \u0130\u00e7erik", box)
    expect(box["buttons"] == [1], box)
    box = message_box(["-message", "Soru", "Devam?", "4"], "Soru")
    expect(box["buttons"] == [6, 7], box)   # MB_YESNO
    box = message_box(["-message", "Bilgi", "Tamam"], "Bilgi")
    expect(box["buttons"] == [1], box)      # missing type: 0, OK only


# -geturl

def test_geturl():
    binary = bytes(range(256)) * 8
    scenario = {"routes": [
        route("files.example", "/a?b=1", "A"),
        {"host": "files.example", "method": "GET", "path": "/bin", "response": {
            "body_base64": base64.b64encode(binary).decode()}},
        {"host": "secure.example", "method": "GET", "path": "/s", "scheme": "https", "response": {
            "body": "g\u00fcvenli", "encoding": "cp1254"}},
        {"host": "evil.example", "method": "GET", "path": "/s", "response": {"body": "x"}},
    ], "untrusted_hosts": ["evil.example"]}
    with FakeNetwork(scenario, ca_dir=ca_dir()) as net:
        run = run_job(net, ["-geturl", "0", "http://files.example/a?b=1"])
        expect(run.status == 0 and run.messages == [], run.messages)
        expect([r["path"] for r in net.requests()] == ["/a?b=1"], net.requests())
        run = run_job(net, ["-geturl", "{parent}", "no url at all"])
        expect(run.copydata() == [(-1, 0, b"")], run.messages)
        run = run_job(net, ["-geturl", "{parent}", "http://files.example/bin"])
        expect(run.copydata() == [(0, 0, binary)], len(run.messages))
        net.clear_log()
        # A port written in the URL is not used: https goes to 443.
        run = run_job(net, ["-geturl", "{parent}", "https://secure.example:8443/s"])
        expect(run.copydata() == [(0, 0, "g\u00fcvenli".encode("cp1254"))], run.messages)
        connects = [r for r in net.requests(include_connect=True) if r["method"] == "CONNECT"]
        expect(connects and connects[0]["path"].endswith(":443"), connects)
        # A certificate from an unknown CA: the request fails, empty body.
        run = run_job(net, ["-geturl", "{parent}", "https://evil.example/s"])
        expect(run.copydata() == [(0, 0, b"")], run.messages)
        expect([r for r in net.requests() if r["host"] == "evil.example"] == [], "request reached evil.example")


def test_geturl_huge_and_endless_bodies_fail_in_bounded_memory():
    """A 300 MB answer and one that never ends: the fetch fails as a broken
    connection would (the empty tag-0 reply) instead of holding the body,
    and the process's peak memory stays near that of a tiny fetch."""
    scenario = {"routes": [
        {"host": "files.example", "method": "GET", "path": "/small", "response": {"body": "A"}},
        # Over HTTPS: on a plain connection Wine's WinInet, closing a request
        # whose announced body is not read to the end, reads on for as long
        # as the rest arrives without waiting (to reuse the connection),
        # which a local server feeds for the whole 300 MB.
        {"host": "files.example", "method": "GET", "path": "/huge", "scheme": "https",
         "response": {"body_size": 300 * 1000 * 1000}},
        {"host": "files.example", "method": "GET", "path": "/endless", "response": {"body_endless": True}},
    ]}
    peaks = {}
    with FakeNetwork(scenario, ca_dir=ca_dir()) as net:
        for path, want in (("/small", b"A"), ("/huge", b""), ("/endless", b"")):
            started = time.monotonic()
            scheme = "https" if path == "/huge" else "http"
            # The parent holds the reply a moment: the process is sampled
            # after its request, while it waits.
            with PeakMemory(ORVIX) as mem:
                run = run_with_fake_parent(ORVIX, ["-geturl", "{parent}", scheme + "://files.example" + path],
                                           env_extra=net.env(), hold_ms=300)
            peaks[path] = (mem.peak_kib(), round(time.monotonic() - started, 1))
            expect(run.status == 0 and run.copydata() == [(0, 0, want)], (path, run.status, run.messages))
    print("-geturl peak VmHWM KiB, seconds:", peaks)
    base = peaks["/small"][0]
    expect(base > 0, "no orvix.exe process was sampled")
    for path in ("/huge", "/endless"):
        expect(peaks[path][0] - base < 40 * 1024, (path, peaks))


if __name__ == "__main__":
    main_for([
        test_getmyip_first_source_answers,
        test_getmyip_moves_on_after_html_and_rejects_wrong_shapes,
        test_getmyip_last_source_sends_referrer_and_all_failing_replies_empty,
        test_getmyip_parent_gone_or_not_a_window,
        test_getversion_replies,
        test_getversion_no_xml_sends_nothing,
        test_tracker_and_page_counter,
        test_newuser_query,
        test_message_box_texts_and_types,
        test_geturl,
        test_geturl_huge_and_endless_bodies_fail_in_bounded_memory,
    ])
