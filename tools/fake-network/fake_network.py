#!/usr/bin/env python3
"""A scripted stand-in for the internet, for tests and the demo.

It is an HTTP proxy on 127.0.0.1. Programs under test reach it through
http_proxy/https_proxy, so the program itself never gets a test switch:

  * plain requests arrive in absolute form ("GET http://host/path HTTP/1.1");
  * "CONNECT host:443" is answered and the tunnel is terminated here with TLS,
    using a certificate for that host issued on the fly by a test CA. Each
    certificate names a CRL distribution point that this proxy serves itself
    (an empty CRL signed by the CA), so a client that checks revocation finds
    an answer instead of a time-out.

What the servers answer comes from a scenario file (JSON):

  {
    "routes": [
      {"host": "portal.example", "method": "GET", "path": "/login.jsp?x=1",
       "scheme": "https",                      # optional, else any
       "response": {
         "status": 200,                        # default 200
         "reason": "OK",                       # default from the status
         "headers": [["Set-Cookie", "a=1"], ["Set-Cookie", "b=2"]],
         "body": "Merhaba dünya", "encoding": "cp1254",   # text body
         # or "body_file": "page.html" (relative to the scenario file)
         # or "body_base64": "..."
         "delay": 0.5,                         # seconds before answering
         "drop": "before"                      # close without answering, or
                                               # "body": close halfway through the body
       }},
      {"host": "portal.example", "method": "POST", "path": "/login",
       "responses": [ {...}, {...} ]}          # one per repeated request; the last repeats
    ],
    "untrusted_hosts": ["evil.example"]        # certificates from a CA nobody trusts
  }

Anything no route matches gets a 404. Content-Length is added unless the
route gives Content-Length or Transfer-Encoding itself. The scenario file is
read again whenever it changes, so a test may rewrite it between requests.

Every request received is appended to a JSON-lines log, one object a line:
  {"scheme": "https", "host": "portal.example", "port": 443, "method": "POST",
   "path": "/login", "version": "HTTP/1.1",
   "headers": [["Host", "portal.example"], ...],      # order and case as received
   "body": "<base64>"}
CONNECT requests are logged too ("method": "CONNECT", "scheme": "proxy"), and
fetches of the proxy's own CRL carry "internal": true, so readers can leave
them out.

The test CA: with --ca-dir DIR the proxy uses DIR/ca.pem and DIR/ca.key (the
Wine bench's CA, which the bench trusts inside its prefix). Otherwise it
creates a fresh CA in its own temporary folder and writes the certificate to
--ca-out if asked. Keys never leave the temporary folder or DIR; the
temporary folder is removed on exit.

Needs only Python 3 and the openssl command.
"""

import argparse
import base64
import http
import json
import os
import shutil
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

CRL_HOST = "crl.fake-network.test"
CRL_PATH = "/ca.crl"
MAX_HEADER_LINE = 65536


class Certificates:
    """Issues per-host server certificates with the openssl command."""

    def __init__(self, workdir, ca_dir):
        self.workdir = workdir
        self.lock = threading.Lock()
        self.cache = {}
        self.serial = int(time.time()) * 1000
        if ca_dir:
            self.ca_cert = os.path.join(ca_dir, "ca.pem")
            self.ca_key = os.path.join(ca_dir, "ca.key")
            for path in (self.ca_cert, self.ca_key):
                if not os.path.isfile(path):
                    raise SystemExit(f"fake-network: {path} is missing")
        else:
            self.ca_cert, self.ca_key = self._make_ca("ca", "Orvix Fake Network Test CA")
        # A second CA that nobody trusts, for hosts the scenario marks untrusted.
        self.rogue_cert, self.rogue_key = self._make_ca("rogue", "Untrusted Test CA")
        self.crl_der = self._make_crl()

    def _run(self, *args):
        subprocess.run(["openssl", *args], check=True, cwd=self.workdir,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def _make_ca(self, name, common_name):
        cert = os.path.join(self.workdir, name + ".pem")
        key = os.path.join(self.workdir, name + ".key")
        self._run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
                  "-days", "30", "-keyout", key, "-out", cert,
                  "-subj", "/CN=" + common_name,
                  "-addext", "basicConstraints=critical,CA:TRUE",
                  "-addext", "keyUsage=critical,keyCertSign,cRLSign",
                  "-addext", "subjectKeyIdentifier=hash")
        return cert, key

    def _make_crl(self):
        # "openssl ca" needs a small database even for an empty CRL.
        cadir = os.path.join(self.workdir, "crl")
        os.makedirs(cadir, exist_ok=True)
        open(os.path.join(cadir, "index.txt"), "w").close()
        with open(os.path.join(cadir, "crlnumber"), "w") as f:
            f.write("01\n")
        config = os.path.join(cadir, "ca.cnf")
        with open(config, "w") as f:
            f.write("[ca]\ndefault_ca = test\n[test]\n"
                    f"database = {cadir}/index.txt\n"
                    f"crlnumber = {cadir}/crlnumber\n"
                    "default_md = sha256\ndefault_crl_days = 30\n")
        pem = os.path.join(cadir, "ca.crl.pem")
        der = os.path.join(cadir, "ca.crl")
        self._run("ca", "-gencrl", "-config", config, "-cert", self.ca_cert,
                  "-keyfile", self.ca_key, "-out", pem)
        self._run("crl", "-in", pem, "-outform", "DER", "-out", der)
        with open(der, "rb") as f:
            return f.read()

    def context_for(self, host, untrusted):
        """An SSL server context presenting a certificate for host."""
        key = (host.lower(), untrusted)
        with self.lock:
            if key not in self.cache:
                self.cache[key] = self._issue(host, untrusted)
            return self.cache[key]

    def _issue(self, host, untrusted):
        self.serial += 1
        stem = os.path.join(self.workdir, f"leaf{self.serial}")
        ca_cert, ca_key = (self.rogue_cert, self.rogue_key) if untrusted else (self.ca_cert, self.ca_key)
        ext = stem + ".ext"
        with open(ext, "w") as f:
            f.write("basicConstraints=critical,CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\n"
                    f"subjectAltName=DNS:{host}\n"
                    "authorityKeyIdentifier=keyid\n"
                    f"crlDistributionPoints=URI:http://{CRL_HOST}{CRL_PATH}\n")
        self._run("req", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256",
                  "-keyout", stem + ".key", "-out", stem + ".csr", "-subj", "/CN=" + host)
        self._run("x509", "-req", "-in", stem + ".csr", "-CA", ca_cert, "-CAkey", ca_key,
                  "-set_serial", str(self.serial), "-days", "30", "-sha256",
                  "-extfile", ext, "-out", stem + ".pem")
        # Send the chain's CA too, as real servers often do; the client must
        # still find the root in its own store.
        with open(stem + ".chain.pem", "w") as out:
            for part in (stem + ".pem", ca_cert):
                with open(part) as f:
                    out.write(f.read())
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(stem + ".chain.pem", stem + ".key")
        return context


class Scenario:
    """The routes, re-read whenever the file changes."""

    def __init__(self, path):
        self.path = os.path.abspath(path) if path else None
        self.lock = threading.Lock()
        self.mtime = None
        self.data = {"routes": []}
        self.counters = {}

    def _reload(self):
        if not self.path:
            return
        mtime = os.stat(self.path).st_mtime_ns
        if mtime != self.mtime:
            with open(self.path, encoding="utf-8") as f:
                self.data = json.load(f)
            self.mtime = mtime
            self.counters = {}

    def untrusted(self, host):
        with self.lock:
            self._reload()
            return host.lower() in [h.lower() for h in self.data.get("untrusted_hosts", [])]

    def answer_for(self, scheme, host, method, path):
        """The response object for a request, or None when no route matches."""
        with self.lock:
            self._reload()
            for index, route in enumerate(self.data.get("routes", [])):
                if route.get("host", "").lower() != host.lower():
                    continue
                if route.get("method", "GET").upper() != method.upper():
                    continue
                if route.get("path") != path:
                    continue
                if route.get("scheme") not in (None, scheme):
                    continue
                if "responses" in route:
                    answers = route["responses"]
                    n = self.counters.get(index, 0)
                    self.counters[index] = n + 1
                    return answers[min(n, len(answers) - 1)]
                return route.get("response", {})
            return None

    def body_of(self, answer):
        if "body_file" in answer:
            path = answer["body_file"]
            if self.path and not os.path.isabs(path):
                path = os.path.join(os.path.dirname(self.path), path)
            with open(path, "rb") as f:
                return f.read()
        if "body_base64" in answer:
            return base64.b64decode(answer["body_base64"])
        return answer.get("body", "").encode(answer.get("encoding", "utf-8"))


class RequestLog:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        if path:
            open(path, "a").close()

    def write(self, entry):
        if not self.path:
            return
        line = json.dumps(entry, ensure_ascii=False)
        with self.lock, open(self.path, "a", encoding="utf-8") as f:
            f.write(line + "\n")


class Dropped(Exception):
    """The scenario asked to cut the connection."""


def read_head(reader):
    """Reads a request line and its headers. None at a clean end of stream."""
    line = reader.readline(MAX_HEADER_LINE)
    while line in (b"\r\n", b"\n"):  # tolerate stray line ends between requests
        line = reader.readline(MAX_HEADER_LINE)
    if not line:
        return None
    parts = line.decode("latin-1").rstrip("\r\n").split(" ")
    if len(parts) != 3:
        raise ValueError("bad request line: %r" % line)
    headers = []
    while True:
        h = reader.readline(MAX_HEADER_LINE)
        if h in (b"\r\n", b"\n", b""):
            break
        name, _, value = h.decode("latin-1").rstrip("\r\n").partition(":")
        headers.append([name, value.strip()])
    return parts, headers


def header(headers, name):
    for n, v in headers:
        if n.lower() == name.lower():
            return v
    return None


def read_body(reader, headers):
    if (header(headers, "Transfer-Encoding") or "").lower() == "chunked":
        body = b""
        while True:
            size = int(reader.readline(MAX_HEADER_LINE).split(b";")[0].strip() or b"0", 16)
            if size == 0:
                while reader.readline(MAX_HEADER_LINE) not in (b"\r\n", b"\n", b""):
                    pass
                return body
            body += reader.read(size)
            reader.readline(MAX_HEADER_LINE)
    length = int(header(headers, "Content-Length") or "0")
    return reader.read(length) if length > 0 else b""


class ProxyHandler(socketserver.StreamRequestHandler):
    def handle(self):
        try:
            self.serve(self.rfile, self.request, scheme=None, tunnel=None)
        except (ConnectionError, ssl.SSLError, OSError, ValueError):
            pass

    def serve(self, reader, sock, scheme, tunnel):
        """Answers requests on one connection until it closes."""
        server = self.server
        while True:
            head = read_head(reader)
            if head is None:
                return
            (method, target, version), headers = head
            body = read_body(reader, headers)

            if method.upper() == "CONNECT" and tunnel is None:
                host, _, port = target.rpartition(":")
                server.log.write({"scheme": "proxy", "host": host, "port": int(port or 443),
                                  "method": "CONNECT", "path": target, "version": version,
                                  "headers": headers, "body": ""})
                sock.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                context = server.certs.context_for(host, server.scenario.untrusted(host))
                with context.wrap_socket(sock, server_side=True) as tls:
                    tls_reader = tls.makefile("rb")
                    self.serve(tls_reader, tls, "https", (host, int(port or 443)))
                return

            if tunnel is not None:
                host, port = tunnel
                path = target
            elif target.startswith("http://") or target.startswith("https://"):
                url = urllib.parse.urlsplit(target)
                scheme = url.scheme
                host = url.hostname or ""
                port = url.port or (443 if scheme == "https" else 80)
                path = urllib.parse.urlunsplit(("", "", url.path or "/", url.query, ""))
            else:  # origin form: someone talking to us directly
                scheme = scheme or "http"
                host_header = header(headers, "Host") or ""
                host, _, p = host_header.partition(":")
                port = int(p or 80)
                path = target

            internal = host.lower() == CRL_HOST and path == CRL_PATH
            entry = {"scheme": scheme, "host": host, "port": port, "method": method,
                     "path": path, "version": version, "headers": headers,
                     "body": base64.b64encode(body).decode("ascii")}
            if internal:
                entry["internal"] = True
            server.log.write(entry)

            try:
                keep = self.answer(sock, scheme, host, method, path, internal)
            except Dropped:
                return
            connection = (header(headers, "Connection") or "").lower()
            if not keep or connection == "close" or (version == "HTTP/1.0" and connection != "keep-alive"):
                return

    def answer(self, sock, scheme, host, method, path, internal):
        """Writes one answer. Returns False when the connection must close."""
        server = self.server
        if internal:
            answer = {"status": 200, "headers": [["Content-Type", "application/pkix-crl"]]}
            body = server.certs.crl_der
        else:
            answer = server.scenario.answer_for(scheme, host, method, path)
            if answer is None:
                answer = {"status": 404, "headers": [["Content-Type", "text/html"]]}
                body = b"<html><body>404 Not Found</body></html>"
            else:
                body = server.scenario.body_of(answer)
        if answer.get("delay"):
            time.sleep(float(answer["delay"]))
        drop = answer.get("drop")
        if drop is True or drop == "before":
            raise Dropped()
        status = int(answer.get("status", 200))
        try:
            reason = answer.get("reason", http.HTTPStatus(status).phrase)
        except ValueError:
            reason = "Unknown"
        lines = [f"HTTP/1.1 {status} {reason}"]
        headers = [list(h) for h in answer.get("headers", [])]
        names = {n.lower() for n, _ in headers}
        if "content-length" not in names and "transfer-encoding" not in names:
            headers.append(["Content-Length", str(len(body))])
        lines += [f"{n}: {v}" for n, v in headers]
        head = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")
        if method.upper() == "HEAD":
            body = b""
        if drop == "body":
            sock.sendall(head + body[: len(body) // 2])
            raise Dropped()
        sock.sendall(head + body)
        return True


class ProxyServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(
        description="Scripted HTTP/HTTPS proxy for tests: answers from a JSON scenario, "
                    "terminates CONNECT tunnels with certificates from a test CA, and "
                    "logs every request as JSON lines.",
        epilog="Scenario and log formats are described at the top of this file.")
    parser.add_argument("--scenario", help="JSON scenario file (no routes: every request gets 404)")
    parser.add_argument("--port-file", required=True,
                        help="file to write the listening port to once the proxy is ready")
    parser.add_argument("--log", help="JSON-lines request log to append to")
    parser.add_argument("--ca-dir", help="folder holding ca.pem and ca.key of the CA to issue from "
                                         "(default: a fresh CA for this run)")
    parser.add_argument("--ca-out", help="where to copy the fresh CA's certificate (PEM); "
                                         "ignored with --ca-dir")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (default: a free one)")
    args = parser.parse_args()

    workdir = tempfile.mkdtemp(prefix="fake-network-")
    try:
        # Let SIGTERM unwind through the finally clause so the keys go away.
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        certs = Certificates(workdir, args.ca_dir)
        if args.ca_out and not args.ca_dir:
            shutil.copyfile(certs.ca_cert, args.ca_out)
        server = ProxyServer(("127.0.0.1", args.port), ProxyHandler)
        server.certs = certs
        server.scenario = Scenario(args.scenario)
        server.log = RequestLog(args.log)
        port = server.server_address[1]
        # Write the port atomically: the caller polls for the file.
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, args.port_file)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
        finally:
            server.server_close()
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
