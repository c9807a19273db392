"""The crash record under Wine: tests/app/crash-test installs orvix.exe's
quiet end and crashes on purpose; each crash must end the process with exit
code 0 and leave one line in crash.log in the prefix's settings folder that
names the job, the code, the module and offset (or the bare address) and the
thread.
"""
import datetime
import json
import os
import re
import shutil
import sys

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from winebench import build_file, main_for, pointer_digits, run_under_wine, user_profile  # noqa: E402

CRASH = build_file("tests/app/crash-test.exe")
SRC = os.environ["ORVIX_SOURCE_DIR"]
POINTER_DIGITS = pointer_digits(CRASH)  # as the program under test prints them

LINE = re.compile(
    r"^(?P<time>\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) job=(?P<job>\S+) code=(?P<code>\S+)"
    r" module=(?P<module>\S+)(?: offset=0x(?P<offset>[0-9a-f]+)| address=0x(?P<address>[0-9a-f]{%d}))?"
    r"(?: access=(?P<access>read|write|execute|other):0x(?P<touched>[0-9a-f]{%d}))?"
    r" thread=(?P<thread>\d+) version=(?P<version>\S+)$" % (POINTER_DIGITS, POINTER_DIGITS))


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def version():
    with open(os.path.join(SRC, "resources", "version.h"), encoding="utf-8") as f:
        parts = dict(re.findall(r"#define ORVIX_VERSION_(MAJOR|MINOR|PATCH|BUILD) (\d+)", f.read()))
    return ".".join(parts[k] for k in ("MAJOR", "MINOR", "PATCH", "BUILD"))


def settings_folder(create=True):
    folder = os.path.join(user_profile(), "AppData", "Roaming", "Dalvenor", "Plumo!")
    if create:
        os.makedirs(folder, exist_ok=True)
    return folder


def log_path():
    return os.path.join(settings_folder(), "crash.log")


def log_bytes():
    path = log_path()
    if not os.path.exists(path):
        return b""
    with open(path, "rb") as f:
        return f.read()


def log_lines():
    data = log_bytes()
    expect(data == b"" or data.endswith(b"\r\n"), "crash.log ends with CR LF: %r" % data[-40:])
    return data.decode("ascii").split("\r\n")[:-1] if data else []


def crash(mode):
    """Runs crash-test MODE; returns what it expected, checked for exit 0."""
    run = run_under_wine(CRASH, [mode], timeout=60)
    out = run.stdout.decode("utf-8", "replace").strip().splitlines()
    expect(run.returncode == 0, "%s: exit %r, stdout %r, stderr %s" % (mode, run.returncode, out,
                                                                      run.stderr.decode("utf-8", "replace")[-500:]))
    expect(out, "%s printed nothing" % mode)
    return json.loads(out[-1])


def fields(line):
    m = LINE.match(line)
    expect(m, "crash.log line %r" % line)
    return m.groupdict()


# ---------------------------------------------------------------------------


def test_each_kind_of_crash_leaves_one_line_and_exit_0():
    """Where each fault happened, read back from its line: a write fault on
    the main thread and on another one in the program (named by its file
    name: it has no export directory), one inside a DLL (named by its export
    directory), a thread resuming in a DLL that was unloaded under it (no
    module there any more: the bare address, inside the DLL's old range),
    std::terminate and abort (no address)."""
    failures = []
    for mode, code, access in (("main", "0xc0000005", "write"), ("thread", "0xc0000005", "write"),
                               ("dll", "0xc0000005", "write"), ("unloaded", "0xc0000005", "execute"),
                               ("terminate", "terminate", None), ("abort", "abort", None)):
        if os.path.exists(log_path()):
            os.remove(log_path())
        before = datetime.datetime.now().replace(microsecond=0)
        want = crash(mode)
        lines = log_lines()
        if len(lines) != 1:
            failures.append((mode, lines))
            continue
        got = fields(lines[0])
        problems = []
        when = datetime.datetime.strptime(got["time"], "%Y-%m-%d %H:%M:%S.%f")
        if not before - datetime.timedelta(seconds=2) <= when <= datetime.datetime.now() + datetime.timedelta(seconds=2):
            problems.append("time %s" % got["time"])
        if (got["job"], got["code"], got["module"], got["access"]) != (mode, code, want["module"], access):
            problems.append("job/code/module/access")
        if "offset" in want:
            # The faulting instruction is at the start of the small function.
            if got["offset"] is None or not 0 <= int(got["offset"], 16) - want["offset"] < 32:
                problems.append("offset, wanted just after 0x%x" % want["offset"])
        if "base" in want:
            if got["address"] is None or not 0 <= int(got["address"], 16) - want["base"] < want["size"]:
                problems.append("address, wanted in 0x%x + 0x%x" % (want["base"], want["size"]))
            if int(got["touched"], 16) != int(got["address"], 16):
                problems.append("the execute fault touched another address")
        if access == "write" and int(got["touched"], 16) != 16:
            problems.append("touched address")
        if "thread" in want and int(got["thread"]) != want["thread"]:
            problems.append("thread, wanted %d" % want["thread"])
        if got["version"] != version():
            problems.append("version")
        if problems:
            failures.append((mode, lines[0], problems))
    expect(not failures, failures)


def test_threads_crashing_together_leave_one_line():
    if os.path.exists(log_path()):
        os.remove(log_path())
    want = crash("threads")
    lines = log_lines()
    expect(len(lines) == 1, lines)
    got = fields(lines[0])
    expect(got["module"] == want["module"] and 0 <= int(got["offset"], 16) - want["offset"] < 32, lines)


def test_file_keeps_the_last_20_lines():
    """A long file (more than the tail that is read back), blank lines, an
    over-long line and no line end after the last: the record keeps the
    last 19 lines, the long one cut to 254 characters, and adds its own."""
    old = ["old %04d" % i for i in range(3000)]
    old[2990] = "x" * 1000
    text = "\r\n".join(old[:2995]) + "\r\n\r\n\n" + "\r\n".join(old[2995:])
    with open(log_path(), "wb") as f:
        f.write(text.encode("ascii"))
    crash("main")
    lines = log_lines()
    expect(len(lines) == 20, len(lines))
    expect(lines[:19] == old[2981:2990] + ["x" * 254] + old[2991:], lines[:19])
    expect(fields(lines[19])["job"] == "main", lines[19])
    crash("abort")
    lines2 = log_lines()
    expect(len(lines2) == 20 and lines2[:19] == lines[1:] and fields(lines2[19])["code"] == "abort", lines2)


def test_missing_settings_folder_is_left_missing():
    folder = settings_folder()
    aside = folder + ".aside"
    if os.path.exists(aside):
        shutil.rmtree(aside)
    os.rename(folder, aside)
    try:
        crash("main")
        expect(not os.path.exists(folder), "the settings folder was created")
    finally:
        if os.path.exists(folder):
            shutil.rmtree(folder)
        os.rename(aside, folder)


if __name__ == "__main__":
    main_for([
        test_each_kind_of_crash_leaves_one_line_and_exit_0,
        test_threads_crashing_together_leave_one_line,
        test_file_keeps_the_last_20_lines,
        test_missing_settings_folder_is_left_missing,
    ])
