"""orvix.exe and tools/fake-parent, driven as Plumo drives them."""
import os
import sys

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
from winebench import build_file, main_for, run_with_fake_parent  # noqa: E402

SEND = build_file("tests/app/send-copydata.exe")
ORVIX = build_file("app/orvix.exe")


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


if __name__ == "__main__":
    main_for([
        test_fake_parent_records_copydata,
        test_fake_parent_records_empty_payload_and_passes_exit_status,
        test_fake_parent_raw_tail_and_timeout,
        test_getmyip_without_a_window_number_does_nothing,
        test_single_argument_and_unknown_switches_run_nothing,
    ])
