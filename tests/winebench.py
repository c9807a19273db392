"""Helpers for tests that drive Windows programs under the Wine bench.

The bench (scripts/wine-bench.sh, CTest fixture wine_bench) writes
$ORVIX_WINE_DIR/env.sh; everything here runs Wine with that environment.

    from winebench import bench_env, run_under_wine, run_with_fake_parent, build_file
"""
import base64
import json
import os
import pwd
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


# Every wait of the drivers is a bound for a hung program, not a measurement:
# on an emulated machine (scripts/wine32-vm.sh) CTest sets ORVIX_TIME_SCALE
# and each bound is that many times longer.
TIME_SCALE = max(1.0, float(os.environ.get("ORVIX_TIME_SCALE", "1") or 1))


def wait_bound(seconds):
    """A wait bound in seconds, stretched for a slow machine."""
    return seconds * TIME_SCALE


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


def user_profile(env=None):
    """The prefix user's profile folder, drive_c/users/<the Unix user>, which
    Wine made and where the programs keep their settings. Not the first
    folder there: tests make others (a user whose name the code page cannot
    write), and the order of a folder's entries is the file system's."""
    env = env or bench_env()
    users = os.path.join(env["WINEPREFIX"], "drive_c", "users")
    for name in (pwd.getpwuid(os.getuid()).pw_name, env.get("USER")):
        if name and os.path.isdir(os.path.join(users, name)):
            return os.path.join(users, name)
    raise RuntimeError("no profile folder of this user in %s: %s" % (users, sorted(os.listdir(users))))


def run_under_wine(exe, args=(), env_extra=None, timeout=60):
    """Runs a Windows program; returns subprocess.CompletedProcess (bytes)."""
    env = bench_env(env_extra)
    return subprocess.run([env["ORVIX_WINE"], exe, *args], env=env, capture_output=True, timeout=wait_bound(timeout),
                          stdin=subprocess.DEVNULL)


def pointer_digits(exe):
    """Hex digits of a pointer in the Windows program `exe`: 8 for a 32-bit
    (PE32) image, 16 for a 64-bit (PE32+) one, read from its own header."""
    import struct
    with open(exe, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s is not a PE image" % exe)
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    return {0x10B: 8, 0x20B: 16}[magic]


DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def display_dpi(value=None, remove=False):
    """The prefix's display scale: LogPixels of the user's desktop settings,
    which Wine gives every program it starts afterwards (96 is 100 %).
    Without arguments returns the value (None when unset); value sets it,
    remove=True deletes it. Whoever sets it puts the old value back."""
    env = bench_env()
    reg = [env["ORVIX_WINE"], "reg"]
    if remove:
        subprocess.run(reg + ["delete", DESKTOP_KEY, "/v", "LogPixels", "/f"], env=env, capture_output=True,
                       timeout=60)
        return None
    if value is None:
        out = subprocess.run(reg + ["query", DESKTOP_KEY, "/v", "LogPixels"], env=env, capture_output=True,
                             timeout=60).stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            words = line.split()
            if len(words) >= 3 and words[0] == "LogPixels" and words[1] == "REG_DWORD":
                return int(words[2], 0)
        return None
    subprocess.run(reg + ["add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(int(value)), "/f"],
                   env=env, capture_output=True, timeout=60, check=True)
    return int(value)


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


def program_of(pid):
    """The host path of the program Wine process `pid` runs (raises OSError
    when it is gone). A program started from the host shows the path it was
    given; one started by a Windows program, its Windows path (drive Z: is
    the host root); Wine's own programs keep their Windows names."""
    with open("/proc/%s/cmdline" % pid, "rb") as f:
        name = f.read().split(b"\0")[0].decode("utf-8", "replace").strip('"')
    if name[:3].upper() == "Z:\\":
        return name[2:].replace("\\", "/")
    if name[1:3] == ":\\":
        return name
    return os.path.normpath(os.path.join(os.readlink("/proc/%s/cwd" % pid), name))


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
        self.path = os.path.abspath(program).lower()
        self.interval = interval
        self.peaks = {}
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def _matches(self, pid):
        try:
            return program_of(pid).lower() == self.path
        except OSError:
            return False

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


# The programs of this build tree that the scripted Wine tests start. Each
# script runs alone on the bench's desktop, so one of these still running
# when a script starts or ends was left behind by a test.
OUR_PROGRAMS = ("orvix.exe", "fake-parent.exe", "ui-driver.exe", "task-helper.exe", "send-copydata.exe")


def _bench_processes():
    """The Wine processes of this bench's prefix, wineserver included:
    {pid: (program_of(pid), CPU seconds)}."""
    prefix = "WINEPREFIX=" + bench_env()["WINEPREFIX"]
    tick = os.sysconf("SC_CLK_TCK")
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if prefix.encode() not in f.read().split(b"\0"):
                    continue
            name = program_of(pid)
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            found[int(pid)] = (name, (int(fields[11]) + int(fields[12])) / tick)
        except (OSError, IndexError, ValueError):
            continue
    return found


def _ours(processes):
    build = os.path.abspath(binary_dir()).lower() + "/"
    return {pid: p for pid, p in processes.items()
            if p[0].lower().startswith(build) and os.path.basename(p[0]).lower() in OUR_PROGRAMS}


def _server_cpu(processes):
    return sum(cpu for name, cpu in processes.values() if "wineserver" in name)


def _end_leftovers(when, grace=0.0):
    """Waits up to grace seconds for this tree's programs to end, then kills
    and names those still running. Returns their descriptions."""
    deadline = time.monotonic() + grace
    left = _ours(_bench_processes())
    while left and time.monotonic() < deadline:
        time.sleep(0.5)
        left = _ours(_bench_processes())
    described = ["%s (pid %d, %.1f s CPU)" % (name, pid, cpu) for pid, (name, cpu) in sorted(left.items())]
    for pid in left:
        try:
            os.kill(pid, 9)
        except OSError:
            pass
    if described:
        print("%s, still running and now killed: %s" % (when, "; ".join(described)), flush=True)
    return described


def main_for(tests):
    """Runs test functions in order; prints one line each (with its time and
    the wineserver's CPU time meanwhile) and the closing 'N passed, N failed'
    line; exits 1 when any failed. A program of this tree that a test leaves
    running fails the script: later tests would share the bench with it."""
    passed = failed = 0
    program = os.environ.get("ORVIX_PROGRAM")
    if program and not os.path.isfile(program):
        print(f"FAIL: the program under test, {program}, is missing (scripts/release.sh builds it)", flush=True)
        print("0 passed, 1 failed", flush=True)
        sys.exit(1)
    # By hand: name parts on the command line run only the matching tests.
    wanted = sys.argv[1:]
    tests = [t for t in tests if not wanted or any(w in t.__name__ for w in wanted)]
    _end_leftovers("before the first test")
    for test in tests:
        started, server = time.monotonic(), _server_cpu(_bench_processes())
        try:
            test()
        except Exception as e:  # noqa: BLE001 - a failing test of any kind
            failed += 1
            outcome = f"FAIL {test.__name__}: {type(e).__name__}: {e}"
        else:
            passed += 1
            outcome = f"ok   {test.__name__}"
        print("%s (%.1f s, wineserver %.1f s)" % (outcome, time.monotonic() - started,
                                                  _server_cpu(_bench_processes()) - server), flush=True)
    # A program's own network time-outs are 30 s.
    if _end_leftovers("after the last test", grace=40):
        failed += 1
    print(f"{passed} passed, {failed} failed", flush=True)
    sys.exit(1 if failed else 0)
