"""Allocation failure at every allocation of a run, under Wine: the query to
the record with one "Yinele", a refused login followed by "Tekrar", and
-getmyip, each in one tests/quota/quota-alloc-probe.exe process that runs the
job once for every N with the N-th allocation failing (see the probe's
header for what each run must do). The fake portal answers; the probe's
settings live in a temporary folder.

ORVIX_ALLOC_STRIDE (default 25) takes every k-th N, so that the test command
stays within minutes; scripts/alloc-failure-wine.sh runs every N.
"""
import json
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.environ["ORVIX_SOURCE_DIR"], "tests"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fakenet import FakeNetwork  # noqa: E402
from winebench import bench_env, build_file, main_for, run_under_wine, windows_path  # noqa: E402
from quota_wine_test import (CODE, P_FORM, PASSWORD, USER, credentials_hash, expect, page,  # noqa: E402
                             portal, write_ini)

PROBE = build_file("tests/quota/quota-alloc-probe.exe")
STRIDE = int(os.environ.get("ORVIX_ALLOC_STRIDE", "25"))


def ip_scenario():
    with open(os.path.join(os.environ["ORVIX_SOURCE_DIR"], "net", "service_hosts.h"), encoding="utf-8") as f:
        text = f.read()
    host = text.split('kIpEchoAutomationHost[] = "', 1)[1].split('"', 1)[0]
    return {"routes": [{"host": host, "method": "GET", "path": "/n09230945.asp",
                        "response": {"body": "  81.214.7.9 \r\n", "encoding": "cp1254"}}]}


def run_probe(mode, scenario, timeout):
    appdata = tempfile.mkdtemp(prefix="orvix-alloc-")
    try:
        folder = os.path.join(appdata, "Dalvenor", "Plumo!")
        os.makedirs(folder)
        write_ini(os.path.join(folder, "account.ini"), {
            "account": {"hash": credentials_hash(USER, PASSWORD)},
            "update": {"download": "1000.0", "upload": "2000.0"}})
        write_ini(os.path.join(folder, "config.ini"), {"alerts": {"query_sound": "0"}})
        with open(os.path.join(folder, "account.ini"), "rb") as f:
            account = f.read()
        with FakeNetwork(scenario, ca_dir=bench_env().get("ORVIX_CA_DIR")) as net:
            run = run_under_wine(PROBE, [mode, windows_path(appdata), windows_path(net.scenario_path), CODE,
                                         "1", "0", str(STRIDE)], env_extra=net.env(), timeout=timeout)
            if b'"fault":0,' in run.stdout:
                # The undisturbed run went wrong: what the portal was asked, in order.
                print("    the portal's requests:", [r["path"].rsplit("/", 1)[-1] for r in net.requests()], flush=True)
        out = run.stdout.decode("utf-8", "replace").splitlines()
        for line in out:
            print("   ", line, flush=True)
        expect(run.returncode == 0 and out, (run.returncode, run.stderr.decode("utf-8", "replace")[-2000:]))
        summary = json.loads(out[-1])
        expect(summary.get("mode") == mode, out[-1])
        expect(summary["faults"] == 0, [line for line in out if '"fault"' in line])
        expect(summary["runs"] > 0 and summary["allocations"] > 0, summary)
        with open(os.path.join(folder, "account.ini"), "rb") as f:
            expect(f.read() == account, "account.ini changed")
        expect(not os.path.exists(os.path.join(folder, "crash.log")), "crash.log written")
        return summary
    finally:
        shutil.rmtree(appdata, ignore_errors=True)


def test_every_allocation_of_a_query_with_yinele():
    run_probe("query", portal(), timeout=3000)


def test_every_allocation_of_a_refused_login_and_tekrar():
    refused = {"body_file": page("login_refused.html"), "headers": [["Content-Type", "text/html;charset=windows-1254"]]}
    ok = {"body_file": page("login_ok.html"), "headers": [["Content-Type", "text/html;charset=windows-1254"]]}
    run_probe("refused", portal(**{P_FORM: [refused, ok]}), timeout=3000)


def test_every_allocation_of_getmyip():
    run_probe("getmyip", ip_scenario(), timeout=3000)


if __name__ == "__main__":
    main_for([
        test_every_allocation_of_a_query_with_yinele,
        test_every_allocation_of_a_refused_login_and_tekrar,
        test_every_allocation_of_getmyip,
    ])
