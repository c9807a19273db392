#!/usr/bin/env python3
"""The fake network itself: routing, sequences, drops, TLS and the log.

Every Wine network test trusts what this proxy logs and answers, so its
own behaviour is checked here with Python's HTTP client (no Wine needed).
"""

import http.client
import os
import socket
import ssl
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from fakenet import FakeNetwork  # noqa: E402

HOST = "portal.example"


class FakeNetworkTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.ca = os.path.join(cls.tmp.name, "ca.pem")
        with open(os.path.join(cls.tmp.name, "page.bin"), "wb") as f:
            f.write(bytes(range(256)) * 10)
        scenario = {
            "routes": [
                {"host": HOST, "path": "/tr?q=1", "response": {
                    "headers": [["Set-Cookie", "a=1"], ["X-Order", "2"], ["Set-Cookie", "b=2"]],
                    "body": "İşlem hatası", "encoding": "cp1254"}},
                {"host": HOST, "method": "POST", "path": "/seq", "responses": [
                    {"status": 500, "body": "first"}, {"status": 200, "body": "then"}]},
                {"host": HOST, "method": "POST", "path": "/form", "response": {"body": "ok"}},
                {"host": HOST, "path": "/file", "response": {"body_file": os.path.join(cls.tmp.name, "page.bin")}},
                {"host": HOST, "path": "/drop", "response": {"drop": True}},
                {"host": HOST, "path": "/half", "response": {"drop": "body", "body": "x" * 1000}},
                {"host": HOST, "path": "/secure-only", "scheme": "https", "response": {"body": "tls"}},
                {"host": HOST, "path": "/sized", "response": {"body_size": 200000}},
                {"host": HOST, "path": "/endless", "response": {"body_endless": True}},
                {"host": HOST, "path": "/stall", "response": {"stall": 1.5, "body_size": 10}},
            ],
            "untrusted_hosts": ["impostor.example"],
        }
        cls.net = FakeNetwork(scenario, ca_out=cls.ca)

    @classmethod
    def tearDownClass(cls):
        cls.net.stop()
        cls.tmp.cleanup()

    def setUp(self):
        self.net.clear_log()

    def plain(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.net.port, timeout=10)
        conn.request(method, "http://%s%s" % (HOST, path), body=body, headers=headers or {})
        resp = conn.getresponse()
        data = resp.read()
        conn.close()
        return resp, data

    def secure(self, path, host=HOST):
        context = ssl.create_default_context(cafile=self.ca)
        conn = http.client.HTTPSConnection("127.0.0.1", self.net.port, timeout=10, context=context)
        conn.set_tunnel(host, 443)
        conn.request("GET", path)
        resp = conn.getresponse()
        data = resp.read()
        conn.close()
        return resp, data

    def test_route_headers_in_order_and_encoded_body(self):
        resp, data = self.plain("GET", "/tr?q=1")
        self.assertEqual(resp.status, 200)
        self.assertEqual(data, "İşlem hatası".encode("cp1254"))
        self.assertEqual([(n, v) for n, v in resp.getheaders() if n != "Content-Length"],
                         [("Set-Cookie", "a=1"), ("X-Order", "2"), ("Set-Cookie", "b=2")])

    def test_unknown_request_gets_404_and_query_is_part_of_the_path(self):
        self.assertEqual(self.plain("GET", "/tr?q=2")[0].status, 404)
        self.assertEqual(self.plain("POST", "/tr?q=1", body=b"")[0].status, 404)
        # Scheme-bound route: plain HTTP does not reach it.
        self.assertEqual(self.plain("GET", "/secure-only")[0].status, 404)

    def test_sequence_repeats_its_last_answer(self):
        got = [self.plain("POST", "/seq", body=b"k=v")[1] for _ in range(3)]
        self.assertEqual(got, [b"first", b"then", b"then"])

    def test_body_from_file(self):
        self.assertEqual(self.plain("GET", "/file")[1], bytes(range(256)) * 10)

    def test_dropped_connections(self):
        with self.assertRaises((http.client.HTTPException, ConnectionError)):
            self.plain("GET", "/drop")
        with self.assertRaises((http.client.IncompleteRead, ConnectionError)):
            self.plain("GET", "/half")

    def test_generated_bodies_and_a_stall_after_the_headers(self):
        resp, data = self.plain("GET", "/sized")
        self.assertEqual((resp.getheader("Content-Length"), len(data), data[:3]), ("200000", 200000, b" !\""))
        # No length: the body runs until the client stops reading.
        conn = http.client.HTTPConnection("127.0.0.1", self.net.port, timeout=10)
        conn.request("GET", "http://%s/endless" % HOST)
        resp = conn.getresponse()
        self.assertIsNone(resp.getheader("Content-Length"))
        self.assertEqual(len(resp.read(3 * 1024 * 1024)), 3 * 1024 * 1024)
        conn.close()
        # The headers arrive, then nothing until the stall ends the connection.
        conn = http.client.HTTPConnection("127.0.0.1", self.net.port, timeout=10)
        conn.request("GET", "http://%s/stall" % HOST)
        resp = conn.getresponse()
        self.assertEqual(resp.getheader("Content-Length"), "10")
        started = time.monotonic()
        with self.assertRaises(http.client.IncompleteRead):
            resp.read()
        self.assertGreater(time.monotonic() - started, 1.0)
        conn.close()

    def test_log_keeps_header_order_case_and_body(self):
        body = bytes([0, 1, 2, 255]) + b"a=b"
        self.plain("POST", "/form", body=body, headers={"X-Second": "2", "cookie": "c=3"})
        (entry,) = self.net.requests()
        self.assertEqual((entry["scheme"], entry["host"], entry["port"], entry["method"], entry["path"]),
                         ("http", HOST, 80, "POST", "/form"))
        names = [n for n, _ in entry["headers"]]
        self.assertLess(names.index("X-Second"), names.index("cookie"))
        self.assertEqual(entry["data"], body)

    def test_tls_tunnel_with_the_run_ca_and_its_crl(self):
        resp, data = self.secure("/secure-only")
        self.assertEqual(data, b"tls")
        entries = self.net.requests(include_connect=True)
        self.assertEqual([(e["method"], e["scheme"], e["port"]) for e in entries],
                         [("CONNECT", "proxy", 443), ("GET", "https", 443)])
        # The CRL the certificates point at is served, and left out of requests().
        conn = http.client.HTTPConnection("127.0.0.1", self.net.port, timeout=10)
        conn.request("GET", "http://crl.fake-network.test/ca.crl")
        r = conn.getresponse()
        self.assertEqual((r.status, r.getheader("Content-Type")), (200, "application/pkix-crl"))
        self.assertEqual(r.read()[:1], b"\x30")  # DER sequence
        conn.close()
        self.assertEqual(len(self.net.requests()), 1)

    def test_untrusted_host_certificate_is_rejected(self):
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.secure("/secure-only", host="impostor.example")
        self.assertEqual(self.net.requests(), [])

    def test_scenario_can_be_replaced_between_requests(self):
        net = FakeNetwork({"routes": []})
        try:
            conn = http.client.HTTPConnection("127.0.0.1", net.port, timeout=10)
            conn.request("GET", "http://h.example/")
            self.assertEqual(conn.getresponse().status, 404)
            conn.close()
            net.set_scenario({"routes": [{"host": "h.example", "path": "/", "response": {"body": "new"}}]})
            conn = http.client.HTTPConnection("127.0.0.1", net.port, timeout=10)
            conn.request("GET", "http://h.example/")
            self.assertEqual(conn.getresponse().read(), b"new")
            conn.close()
        finally:
            net.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
