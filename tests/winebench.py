"""Helpers for tests that drive Windows programs under the Wine bench.

The bench (scripts/wine-bench.sh, CTest fixture wine_bench) writes
$ORVIX_WINE_DIR/env.sh; everything here runs Wine with that environment.

    from winebench import bench_env, run_under_wine, run_with_fake_parent, build_file
"""
import base64
import json
import os
import subprocess
import sys
import threading
import time


def source_dir():
    return os.environ.get("ORVIX_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def binary_dir():
    d = os.environ.get("ORVIX_BINARY_DIR")
    if not d:
        raise RuntimeError("ORVIX_BINARY_DIR is not set (run through ctest)")
    return d


def build_file(relative):
    """A file of the build tree, e.g. build_file('app/orvix.exe')."""
    return os.path.join(binary_dir(), relative)


def windows_path(path):
    """The path Windows programs under Wine use for a host file (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def bench_env(env_extra=None):
    """os.environ plus the bench's exports, plus env_extra."""
    wine_dir = os.environ.get("ORVIX_WINE_DIR")
    if not wine_dir or not os.path.exists(os.path.join(wine_dir, "env.sh")):
        raise RuntimeError("no running Wine bench: ORVIX_WINE_DIR/env.sh is missing")
    env = dict(os.environ)
    with open(os.path.join(wine_dir, "env.sh"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line.startswith("export "):
                continue
            name, _, value = line[len("export "):].partition("=")
            if len(value) >= 2 and value[0] == value[-1] and value[0] in "'\"":
                value = value[1:-1]
            env[name] = value
    if env_extra:
        env.update(env_extra)
    return env


def run_under_wine(exe, args=(), env_extra=None, timeout=60):
    """Runs a Windows program; returns subprocess.CompletedProcess (bytes)."""
    env = bench_env(env_extra)
    return subprocess.run([env["ORVIX_WINE"], exe, *args], env=env, capture_output=True, timeout=timeout,
                          stdin=subprocess.DEVNULL)


class FakeParentRun:
    def __init__(self, status, messages, stderr):
        self.status = status          # the child's exit status (124: timeout)
        self.messages = messages      # parsed JSON lines, in order
        self.stderr = stderr

    def copydata(self):
        """The WM_COPYDATA records: (tag, wparam, payload bytes)."""
        return [(m["tag"], m["wparam"], base64.b64decode(m["data"]))
                for m in self.messages if m.get("msg") == "copydata"]


def run_with_fake_parent(program, args, timeout=60, env_extra=None, raw=False, hold_ms=0):
    """Runs program (host path) under tools/fake-parent; '{parent}' in args
    becomes the parent window's handle. With raw=True, args is one string:
    the command-line tail as it is. hold_ms keeps the sender of each
    WM_COPYDATA waiting that long."""
    fake_parent = build_file("tools/fake-parent/fake-parent.exe")
    tail = [args] if raw else list(args)
    cmd = ["--timeout", str(timeout)] + (["--raw"] if raw else []) + (["--hold", str(hold_ms)] if hold_ms else [])
    cmd += [windows_path(program)] + tail
    proc = run_under_wine(fake_parent, cmd, env_extra, timeout + 30)
    messages = [json.loads(line) for line in proc.stdout.decode("utf-8").splitlines() if line.strip()]
    return FakeParentRun(proc.returncode, messages, proc.stderr.decode("utf-8", "replace"))


class PeakMemory:
    """Samples the peak resident memory (VmHWM, in KiB) of every Wine process
    running the program at host path `program`, while the block runs:

        with PeakMemory(build_file("app/orvix.exe")) as mem:
            ...
        mem.peak_kib()        # the largest peak of one such process

    A process's peak can only grow, so the last sample before it ends is its
    peak up to then; sampling every few milliseconds keeps the gap small.
    """

    def __init__(self, program, interval=0.005):
        # Wine shows a process's command line as Windows gives it.
        self.name = windows_path(program).lower()
        self.interval = interval
        self.peaks = {}
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def _matches(self, pid):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            return False
        return argv0.strip('"').lower() == self.name

    def _sample(self, known):
        now = time.monotonic()
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            # A starting Wine process shows the loader's name first: look
            # again at one that did not match, now and then.
            match, seen = known.get(pid, (False, 0.0))
            if not match and now - seen > 0.05:
                match = self._matches(pid)
                known[pid] = (match, now)
            if not match:
                continue
            try:
                with open("/proc/%s/status" % pid) as f:
                    for line in f:
                        if line.startswith("VmHWM:"):
                            kib = int(line.split()[1])
                            self.peaks[pid] = max(self.peaks.get(pid, 0), kib)
            except OSError:
                pass

    def _run(self):
        known = {}
        while not self._stop.is_set():
            self._sample(known)
            time.sleep(self.interval)

    def peak_kib(self):
        return max(self.peaks.values(), default=0)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()
        return False


def main_for(tests):
    """Runs test functions in order; prints one line each and the closing
    'N passed, N failed' line; exits 1 when any failed."""
    passed = failed = 0
    # By hand: name parts on the command line run only the matching tests.
    wanted = sys.argv[1:]
    tests = [t for t in tests if not wanted or any(w in t.__name__ for w in wanted)]
    for test in tests:
        try:
            test()
        except Exception as e:  # noqa: BLE001 - a failing test of any kind
            failed += 1
            print(f"FAIL {test.__name__}: {type(e).__name__}: {e}")
        else:
            passed += 1
            print(f"ok   {test.__name__}")
    print(f"{passed} passed, {failed} failed")
    sys.exit(1 if failed else 0)
