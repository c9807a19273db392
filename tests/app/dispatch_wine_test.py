"""orvix.exe and tools/fake-parent, driven as Plumo drives them."""
import glob
import os
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from fakenet import FakeNetwork  # noqa: E402
from winebench import bench_env, build_file, main_for, run_under_wine, run_with_fake_parent  # noqa: E402

SEND = build_file("tests/app/send-copydata.exe")
ORVIX = build_file("app/orvix.exe")
HELPER = build_file("tests/tasks/task-helper.exe")


def expect(cond, what):
    if not cond:
        raise AssertionError(what)


def test_fake_parent_records_copydata():
    run = run_with_fake_parent(SEND, ["{parent}", "4660", "-1", "00ff417a"])
    expect(run.status == 0, f"status {run.status}: {run.stderr}")
    expect(run.copydata() == [(-1, 4660, b"\x00\xffAz")], run.messages)
    expect(run.messages[0]["bytes"] == 4, run.messages)


def test_fake_parent_records_empty_payload_and_passes_exit_status():
    run = run_with_fake_parent(SEND, ["{parent}", "0", "15", "-"])
    expect(run.copydata() == [(15, 0, b"")], run.messages)
    # A window that is not there: the helper exits 1, fake-parent passes it on.
    run = run_with_fake_parent(SEND, ["0", "0", "15", "41"])
    expect(run.status == 1 and run.messages == [], (run.status, run.messages))


def test_fake_parent_raw_tail_and_timeout():
    run = run_with_fake_parent(SEND, "{parent} 1 16 \"7c\"", raw=True)
    expect(run.copydata() == [(16, 1, b"|")], run.messages)
    run = run_with_fake_parent(SEND, ["--sleep", "60000"], timeout=2)
    expect(run.status == 124, run.status)


def test_getmyip_without_a_window_number_does_nothing():
    for args in (["-getmyip", "abc"], ["-getmyip", "abc", "page"], ["-getmyip", "0"], ["-getversion", "abc"]):
        run = run_with_fake_parent(ORVIX, args, timeout=30)
        expect(run.status == 0 and run.messages == [], (args, run.status, run.messages))


def test_single_argument_and_unknown_switches_run_nothing():
    for args in (["-getmyip"], ["{parent}"], ["-GETMYIP", "{parent}"], []):
        run = run_with_fake_parent(ORVIX, args, timeout=30)
        expect(run.status == 0 and run.messages == [], (args, run.status, run.messages))


def hosts_of_the_program():
    path = os.path.join(os.environ["ORVIX_SOURCE_DIR"], "net", "service_hosts.h")
    with open(path, encoding="utf-8") as f:
        return dict(re.findall(r'inline constexpr char (k\w+)\[\] = "([^"]*)";', f.read()))


H = hosts_of_the_program()
WIDGET, COUNTER, SITE = H["kWidgetHost"], H["kPageCounterHost"], H["kMakerSiteHost"]
HUGE = "9" * 6000                                 # thousands of characters
LONG_TEXT = "kota-" * 1200
FOREIGN = "Привет мир 日本語 😀 Ωμέγα"             # nothing of it is in code page 1254
BOX = "box"                                       # a message box must appear


def remove_account():
    """-query must not find credentials here: the table is about the
    dispatcher, not the dialog."""
    prefix = bench_env()["WINEPREFIX"]
    for path in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming", "Dalvenor",
                                       "Plumo!", "account.ini")):
        os.remove(path)


def run_case(net, args, raw, box):
    """One real process under fake-parent; with box, a helper waits for the
    message box with that caption and closes it."""
    found = {}
    closer = None
    if box:
        def close_box():
            found["run"] = run_under_wine(HELPER, ["msgbox", box, "30"], timeout=60)
        closer = threading.Thread(target=close_box)
        closer.start()
    run = run_with_fake_parent(ORVIX, args, timeout=40, env_extra=net.env(), raw=raw)
    if closer:
        closer.join()
    return run, found.get("run")


def test_bad_command_lines_neither_crash_nor_reach_out():
    """Missing, extra, empty, non-numeric, huge and foreign-script arguments
    and unknown switches, each a real process: it ends with status 0 (a
    crash would end it otherwise, or leave it hanging on a crash dialog),
    sends only the requests its switch always sends, and replies or shows a
    box only where its switch does."""
    remove_account()
    nothing, empty_reply, split_failed = [], [(0, 0, b"")], [(-1, 0, b"")]
    # (arguments, raw command-line tail?, hosts reached, replies, message box caption)
    cases = [
        ([], False, [], nothing, None),
        # One word runs nothing, whatever the switch.
        *[([switch], False, [], nothing, None) for switch in (
            "-getmyip", "-tracker", "-sayyac", "-newuser", "-getversion", "-geturl", "-message", "-query", "-exit")],
        # Unknown, miscased, empty and over-long switches.
        (["-unknown", "{parent}"], False, [], nothing, None),
        (["-GETURL", "{parent}", "http://files.example/a"], False, [], nothing, None),
        (["", "{parent}", "x"], False, [], nothing, None),
        (["-" + "q" * 6000, "{parent}"], False, [], nothing, None),
        (["-getmyip" + FOREIGN, "{parent}"], False, [], nothing, None),
        ('"-geturl {parent} http://files.example/a', True, [], nothing, None),
        # The two lookups answer only an existing window.
        (["-getmyip", ""], False, [], nothing, None),
        (["-getmyip", "12ab", "anasayfa"], False, [], nothing, None),
        (["-getmyip", HUGE], False, [], nothing, None),
        (["-getmyip", "4294967296"], False, [], nothing, None),
        (["-getmyip", "-1", "x"], False, [], nothing, None),
        (["-getmyip", FOREIGN, FOREIGN], False, [], nothing, None),
        (["-getversion", "", ""], False, [], nothing, None),
        (["-getversion", HUGE, LONG_TEXT], False, [], nothing, None),
        # (the 404 page is a document without the two nodes: "||")
        (["-getversion", "{parent}", LONG_TEXT + FOREIGN], False, [SITE], [(16, 0, b"||")], None),
        # The counters count whatever follows them; none replies.
        (["-tracker", ""], False, [WIDGET], nothing, None),
        (["-tracker", HUGE, LONG_TEXT + FOREIGN, "extra", "words"], False, [WIDGET], nothing, None),
        (["-sayyac", "x", "y", "z", HUGE], False, [COUNTER], nothing, None),
        (["-sayyac", ""], False, [COUNTER], nothing, None),
        (["-newuser", "abc", LONG_TEXT], False, [SITE], nothing, None),
        (["-newuser", "", FOREIGN], False, [SITE], nothing, None),
        # The URL fetch: no URL, an unsplittable one, a host too long for the
        # splitter, a real one for a parent that is no window.
        (["-geturl", "{parent}"], False, [], empty_reply, None),
        (["-geturl", "{parent}", ""], False, [], empty_reply, None),
        (["-geturl", "{parent}", HUGE], False, [], split_failed, None),
        (["-geturl", "{parent}", FOREIGN], False, [], split_failed, None),
        (["-geturl", "{parent}", "http://" + "h" * 6000 + "/"], False, [], split_failed, None),
        (["-geturl", "abc", "http://files.example/a", "extra"], False, ["files.example"], nothing, None),
        # The message box shows whatever it was given (text the code page
        # cannot hold as question marks); an unreadable type is 0.
        (["-message", "Uyarı"], False, [], nothing, "Uyarı"),
        (["-message", "Uyarı", LONG_TEXT, "notanumber"], False, [], nothing, "Uyarı"),
        (["-message", FOREIGN, FOREIGN, HUGE], False, [], nothing, FOREIGN),
        # Closing a query that is not running does nothing.
        (["-exit", HUGE], False, [], nothing, None),
        # Without credentials the query shows nothing; its page-view counter
        # child has been started by then.
        (["-query", HUGE, FOREIGN], False, [COUNTER], nothing, None),
        (["-query", ""], False, [COUNTER], nothing, None),
    ]
    failures = []
    with FakeNetwork({"routes": [{"host": "files.example", "path": "/a", "response": {"body": "A"}}]},
                     ca_dir=bench_env().get("ORVIX_CA_DIR")) as net:
        for args, raw, hosts, replies, box in cases:
            net.clear_log()
            started = time.monotonic()
            run, closed = run_case(net, args, raw, box)
            label = (args if raw else [a[:40] for a in args])
            took = time.monotonic() - started
            if took > 10:
                print("  slow: %s took %.1f s" % (label, took), flush=True)
            got_hosts = sorted(r["host"] for r in net.requests())
            problems = []
            if run.status != 0:
                problems.append("status %r %s" % (run.status, run.stderr[-300:]))
            if got_hosts != sorted(hosts):
                problems.append("requests to %s" % got_hosts)
            if run.copydata() != replies or [m for m in run.messages if m.get("msg") != "copydata"]:
                problems.append("messages %s" % run.messages)
            if box and (closed is None or closed.returncode != 0):
                problems.append("no message box")
            if problems:
                failures.append((label, problems))
    expect(not failures, failures)


if __name__ == "__main__":
    main_for([
        test_fake_parent_records_copydata,
        test_fake_parent_records_empty_payload_and_passes_exit_status,
        test_fake_parent_raw_tail_and_timeout,
        test_getmyip_without_a_window_number_does_nothing,
        test_single_argument_and_unknown_switches_run_nothing,
        test_bad_command_lines_neither_crash_nor_reach_out,
    ])
