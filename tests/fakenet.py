"""Starts tools/fake-network for a test and reads what reached it.

    with FakeNetwork({"routes": [...]}, ca_dir=os.environ.get("ORVIX_CA_DIR")) as net:
        run_under_wine(exe, args, env_extra=net.env())
        for r in net.requests():          # CONNECTs and CRL fetches left out
            ...

The scenario may be a dict (written to a temporary file) or a path. Routes
can be replaced between runs with set_scenario(); the proxy re-reads the file.
"""

import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from winebench import wait_bound

_HERE = os.path.dirname(os.path.abspath(__file__))
FAKE_NETWORK = os.path.join(_HERE, "..", "tools", "fake-network", "fake_network.py")


class FakeNetwork:
    def __init__(self, scenario=None, ca_dir=None, ca_out=None, startup_timeout=30):
        self.dir = tempfile.mkdtemp(prefix="fakenet-test-")
        self.scenario_path = os.path.join(self.dir, "scenario.json")
        self.log_path = os.path.join(self.dir, "requests.jsonl")
        self.port_file = os.path.join(self.dir, "port")
        if isinstance(scenario, str):
            self.scenario_path = scenario
        else:
            self.set_scenario(scenario or {"routes": []})
        args = [sys.executable, FAKE_NETWORK, "--scenario", self.scenario_path,
                "--port-file", self.port_file, "--log", self.log_path]
        if ca_dir:
            args += ["--ca-dir", ca_dir]
        if ca_out:
            args += ["--ca-out", ca_out]
        self.proc = subprocess.Popen(args)
        deadline = time.monotonic() + wait_bound(startup_timeout)  # stretched on a slow machine
        while not os.path.exists(self.port_file):
            if self.proc.poll() is not None:
                raise RuntimeError("fake-network exited with %d" % self.proc.returncode)
            if time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("fake-network did not start")
            time.sleep(0.05)
        with open(self.port_file) as f:
            self.port = int(f.read())

    @property
    def proxy_url(self):
        return "http://127.0.0.1:%d" % self.port

    def env(self):
        """Environment that points Wine's WinInet at the proxy."""
        return {"http_proxy": self.proxy_url, "https_proxy": self.proxy_url}

    def set_scenario(self, scenario):
        # Write to the side and rename, so the proxy never reads half a file;
        # bump the time stamp so a rewrite within one clock tick is seen too.
        tmp = self.scenario_path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump(scenario, f, ensure_ascii=False)
        os.replace(tmp, self.scenario_path)
        now = time.time_ns()
        os.utime(self.scenario_path, ns=(now, now))

    def log(self):
        """Every logged entry, in arrival order (read it before stop())."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def requests(self, include_connect=False, include_internal=False):
        """Requests to the scripted servers; body decoded to bytes in 'data'."""
        out = []
        for e in self.log():
            if e["method"] == "CONNECT" and not include_connect:
                continue
            if e.get("internal") and not include_internal:
                continue
            e["data"] = base64.b64decode(e["body"])
            out.append(e)
        return out

    def clear_log(self):
        open(self.log_path, "w").close()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False
