#!/usr/bin/env python3
"""What TRequest puts on the wire and how it reads answers, under Wine.

Runs net_probe.exe (one request per run) through the fake network and
checks the request log. Needs a running Wine bench (ORVIX_WINE_DIR).

    wire_test.py PATH/TO/net_probe.exe
"""

import base64
import json
import os
import random
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from fakenet import FakeNetwork  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run.sh")
PROBE = None
HOST = "portal.example"
BAD_CA_HOST = "impostor.example"
BIG = random.Random(1254).randbytes(1024 * 1024)
LIMIT = 8 * 1024 * 1024  # the largest body a request keeps


def bench_ca_dir():
    """ORVIX_CA_DIR of the running bench, the CA its prefix trusts."""
    env_sh = os.path.join(os.environ["ORVIX_WINE_DIR"], "env.sh")
    out = subprocess.run(["bash", "-c", '. "$1" && printf %s "$ORVIX_CA_DIR"', "-", env_sh],
                         check=True, capture_output=True, text=True)
    return out.stdout


def route(path, method="GET", **response):
    return {"host": HOST, "method": method, "path": path, "response": response}


class Wire(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        big_file = os.path.join(cls.tmp.name, "big.bin")
        with open(big_file, "wb") as f:
            f.write(BIG)
        cls.big_file = big_file
        scenario = {
            "routes": [
                route("/page?a=1&b=2", body="Merhaba İşlem", encoding="cp1254",
                      headers=[["Content-Type", "text/html; charset=windows-1254"]]),
                route("/page?a=1&b=2", method="POST", body="posted"),
                route("/error", status=500, body="<h1>Hata</h1>"),
                route("/cookies", headers=[["Set-Cookie", "JSESSIONID=ABC; Path=/adslkota"],
                                           ["Set-Cookie", "second=2"]], body="ok"),
                # 1023 bytes and its terminator fill the buffer; one more does not fit.
                route("/cookie-fits", headers=[["Set-Cookie", "c=" + "x" * 1021]], body="fits"),
                route("/cookie-long", headers=[["Set-Cookie", "c=" + "x" * 1022]], body="long"),
                route("/cookie-long-between", headers=[["Set-Cookie", "a=1"], ["Set-Cookie", "c=" + "x" * 1022],
                                                       ["Set-Cookie", "b=2"]], body="long"),
                route("/moved", status=302, headers=[["Location", "http://%s/target" % HOST]]),
                route("/target", body="arrived"),
                route("/big", body_file=big_file),
                route("/upload", method="POST", body="stored"),
                route("/cut", body="x" * 5000, drop="body"),
                route("/at-limit", body_size=LIMIT),
                route("/over-limit", body_size=LIMIT + 1),
                route("/endless", body_endless=True),
                route("/header-64k", headers=[["Set-Cookie", "c=" + "x" * 65536], ["X-Pad", "y" * 65536]],
                      body="tail"),
            ],
            "untrusted_hosts": [BAD_CA_HOST],
        }
        for r in list(scenario["routes"]):
            s = dict(r, scheme="https")
            scenario["routes"].append(s)
        # A redirect inside HTTPS stays on HTTPS.
        scenario["routes"].append({"host": HOST, "method": "GET", "path": "/moved-secure", "scheme": "https",
                                   "response": {"status": 301,
                                                "headers": [["Location", "https://%s/target" % HOST]]}})
        cls.net = FakeNetwork(scenario, ca_dir=bench_ca_dir())

    @classmethod
    def tearDownClass(cls):
        cls.net.stop()
        cls.tmp.cleanup()

    def setUp(self):
        self.net.clear_log()

    def probe(self, *args, env=None):
        run_env = dict(os.environ, **self.net.env())
        run_env.update(env or {})
        out = subprocess.run([WINE_RUN, PROBE, *args], env=run_env, capture_output=True, timeout=120)
        self.assertEqual(out.returncode, 0, out.stderr.decode(errors="replace"))
        lines = out.stdout.decode().strip().splitlines()
        result = json.loads(lines[-1])
        for key in ("setcookie", "contenttype", "raw_headers", "body"):
            if key in result:
                result[key] = base64.b64decode(result[key])
        if "setcookies" in result:
            result["setcookies"] = [base64.b64decode(v) for v in result["setcookies"]]
        if "bad_get" in result:
            self.assertEqual(result["bad_get"], 0, "slot -1 or 12 reported text")
            self.assertEqual(result["bad_set"], 0, "a response slot other than 4 and 5 was filled")
        return result

    def request(self, path, *args):
        return self.probe("--slot", "0", HOST, "--slot", "1", path, *args)

    def only_request(self):
        reqs = self.net.requests()
        self.assertEqual(len(reqs), 1, reqs)
        return reqs[0]

    def test_header_order_and_formats(self):
        r = self.request("/page?a=1&b=2", "--secure",
                         "--slot", "6", "text/html, */*",
                         "--slot", "3", "usageConfirm=true; JSESSIONID=ABC",
                         "--slot", "9", "https://portal.example/start",
                         "--slot", "7", "Keep-Alive",
                         "--slot", "4", "text/plain",
                         "--slot", "5", "unused", "--slot", "10", "unused", "--slot", "11", "unused")
        self.assertEqual(r["result"], 0)
        self.assertEqual(r["body"], "Merhaba İşlem".encode("cp1254"))
        # The body's charset goes to the portal steps in response slot 5.
        self.assertEqual(r["contenttype"], b"text/html; charset=windows-1254")
        req = self.only_request()
        self.assertEqual((req["scheme"], req["port"], req["method"], req["path"], req["version"]),
                         ("https", 443, "GET", "/page?a=1&b=2", "HTTP/1.1"))
        self.assertEqual([h for h in req["headers"] if h[0] != "Host"], [
            ["Accept", "text/html, */*"],
            ["Cookie", "usageConfirm=true; JSESSIONID=ABC"],
            ["Referer", "https://portal.example/start"],
            ["Connection", "Keep-Alive"],
            ["Content-Type", "text/plain"],
        ])
        self.assertTrue(r["raw_headers"].startswith(b"HTTP/1.1 200 OK\r\n"))
        self.assertIn(b"Content-Type: text/html; charset=windows-1254\r\n", r["raw_headers"])

    def test_empty_slots_send_no_extra_lines_and_no_body(self):
        r = self.request("/page?a=1&b=2")
        self.assertEqual(r["result"], 0)
        req = self.only_request()
        self.assertEqual((req["scheme"], req["port"]), ("http", 80))
        self.assertEqual([h[0] for h in req["headers"]], ["Host"])
        self.assertEqual(req["data"], b"")

    def test_method_and_version_slots(self):
        r = self.request("/page?a=1&b=2", "--slot", "8", "HTTP/1.0")
        self.assertEqual(r["result"], 0)
        self.assertEqual(self.only_request()["version"], "HTTP/1.0")

    def test_post_body_and_content_type(self):
        body = "dispatch=login&userName=ay%FEe&password=p%26q&captchaResponse=x7K&lang=tr"
        r = self.request("/page?a=1&b=2", "--secure", "--slot", "2", "POST",
                         "--slot", "4", "application/x-www-form-urlencoded", "--body", body)
        self.assertEqual(r["result"], 0)
        self.assertEqual(r["body"], b"posted")
        req = self.only_request()
        self.assertEqual(req["method"], "POST")
        self.assertEqual(req["data"], body.encode())
        headers = dict((n.lower(), v) for n, v in req["headers"])
        self.assertEqual(headers["content-type"], "application/x-www-form-urlencoded")
        self.assertEqual(headers["content-length"], str(len(body)))

    def test_error_answers_are_read_like_any_other(self):
        for path, page in (("/error", b"<h1>Hata</h1>"), ("/nowhere", b"404 Not Found")):
            for secure in ((), ("--secure",)):
                r = self.request(path, *secure)
                self.assertEqual(r["result"], 0, path)
                self.assertIn(page, r["body"])

    def test_set_cookie_slot(self):
        # Slot 4 holds the first value; the list every value, in order.
        r = self.request("/cookies", "--secure")
        self.assertEqual(r["setcookie"], b"JSESSIONID=ABC; Path=/adslkota")
        self.assertEqual(r["setcookies"], [b"JSESSIONID=ABC; Path=/adslkota", b"second=2"])
        r = self.request("/cookie-fits")
        self.assertEqual((r["result"], r["setcookie"]), (0, b"c=" + b"x" * 1021))
        # Too long: the slot stays empty, and so do the raw headers, which
        # hold the value too; the body is still read. The list leaves out
        # only that value.
        r = self.request("/cookie-long")
        self.assertEqual((r["result"], r["setcookie"], r["raw_headers"], r["body"]), (0, b"", b"", b"long"))
        r = self.request("/cookie-long-between")
        self.assertEqual((r["result"], r["setcookies"]), (0, [b"a=1", b"b=2"]))
        r = self.request("/page?a=1&b=2")
        self.assertEqual((r["setcookie"], r["setcookies"]), (b"", []))

    def test_port_follows_secure_flag(self):
        self.request("/page?a=1&b=2", "--secure")
        connects = [e for e in self.net.requests(include_connect=True) if e["method"] == "CONNECT"]
        self.assertEqual([(c["host"], c["port"]) for c in connects], [(HOST, 443)])
        self.net.clear_log()
        self.request("/page?a=1&b=2")
        self.assertEqual([(e["scheme"], e["port"]) for e in self.net.requests(include_connect=True)],
                         [("http", 80)])

    def test_closed_internet_handle_reaches_nothing(self):
        for how in ("--closed", "--stale"):
            r = self.request("/page?a=1&b=2", "--secure", how, "--slot", "2", "POST", "--body", "x=1")
            self.assertEqual((r["result"], r["body"], r["raw_headers"]), (-1, b"", b""), how)
        self.assertEqual(self.net.log(), [])

    def test_certificate_from_unknown_ca_fails_before_the_body(self):
        r = self.probe("--slot", "0", BAD_CA_HOST, "--slot", "1", "/login", "--secure",
                       "--slot", "2", "POST", "--body", "password=secret")
        self.assertEqual(r["result"], -1)
        self.assertEqual(r["body"], b"")
        # The tunnel was asked for, but no request came through it.
        self.assertEqual(self.net.requests(), [])
        for entry in self.net.log():
            self.assertNotIn(b"secret", base64.b64decode(entry["body"]))

    def test_redirects(self):
        r = self.request("/moved")
        self.assertEqual((r["result"], r["body"]), (0, b"arrived"))
        self.assertEqual([e["path"] for e in self.net.requests()], ["/moved", "/target"])
        self.net.clear_log()
        r = self.request("/moved-secure", "--secure")
        self.assertEqual((r["result"], r["body"]), (0, b"arrived"))
        self.assertEqual([(e["scheme"], e["path"]) for e in self.net.requests()],
                         [("https", "/moved-secure"), ("https", "/target")])
        self.net.clear_log()
        r = self.request("/moved", "--no-redirect")
        self.assertEqual(r["result"], 0)
        self.assertTrue(r["raw_headers"].startswith(b"HTTP/1.1 302"))
        self.assertIn(b"Location: http://portal.example/target", r["raw_headers"])
        self.assertEqual([e["path"] for e in self.net.requests()], ["/moved"])

    def test_one_megabyte_both_ways(self):
        for secure in ((), ("--secure",)):
            r = self.request("/big", *secure)
            self.assertEqual((r["result"], r["body_len"]), (0, len(BIG)))
            self.assertTrue(r["body"] == BIG, "body differs")
        self.net.clear_log()
        r = self.request("/upload", "--secure", "--slot", "2", "POST", "--body-file", self.big_file)
        self.assertEqual((r["result"], r["body"]), (0, b"stored"))
        self.assertTrue(self.only_request()["data"] == BIG, "upload differs")

    def test_body_limit_and_endless_body(self):
        # Up to the limit the body is kept; one byte more, or a body that
        # never ends, fails like a broken connection and keeps nothing.
        for secure in ((), ("--secure",)):
            r = self.request("/at-limit", *secure)
            self.assertEqual((r["result"], r["body_len"]), (0, LIMIT), secure)
            for path in ("/over-limit", "/endless"):
                r = self.request(path, *secure)
                self.assertEqual((r["result"], r["body_len"]), (-1, 0), (path, secure))

    def test_answer_cut_before_its_length_fails_and_keeps_what_came(self):
        for secure in ((), ("--secure",)):
            r = self.request("/cut", *secure)
            self.assertEqual((r["result"], r["body"]), (-1, b"x" * 2500), secure)

    def test_headers_far_longer_than_the_buffer(self):
        r = self.request("/header-64k")
        self.assertEqual((r["result"], r["setcookie"], r["raw_headers"], r["body"]), (0, b"", b"", b"tail"))

    def test_unix_time_is_the_same_in_every_zone(self):
        biases = set()
        for zone in ("Asia/Tokyo", "America/New_York", "Europe/Istanbul", "UTC"):
            before = int(time.time() * 1000)
            r = self.probe("--unixtime", env={"TZ": zone})
            after = int(time.time() * 1000)
            self.assertGreaterEqual(r["unix_ms"], before - 1000, zone)
            self.assertLessEqual(r["unix_ms"], after + 1000, zone)
            biases.add(r["bias"])
        # Otherwise Wine ignored TZ and the test proved nothing.
        self.assertGreater(len(biases), 1)


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main(verbosity=2)
