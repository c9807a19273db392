#!/usr/bin/env python3
"""The quota query of the demo: orvix.exe -query under tools/fake-parent, the
way Plumo starts it, against the bundled portal that scripts/demo.sh runs.

    demo_query.py --build out/win64 --inspect out/native/tools/orvix-inspect/orvix-inspect \
                  --proxy http://127.0.0.1:PORT --log requests.jsonl --out out/demo [--desktop] [--dpi N]

It makes the settings folder (account.ini with credentials made by
orvix-inspect, config.ini, two alert sounds), then
  * headless (default): runs on the bench's Xvfb display, types the code the
    picture shows, prints each status text, the report, the record Plumo
    received and every request that reached the portal, and saves a
    screenshot of each mode of the dialog under --out;
  * --dpi N: runs with the bench's prefix at that display scale (96 is
    100 %, 144 is 150 %) and puts the prefix's own back afterwards;
  * --desktop: shows the dialog on the person's own display and waits for
    them to read or hear the code and type it.
"""
import argparse
import base64
import json
import math
import os
import struct
import subprocess
import sys
import threading
import time
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from uidriver import UiDriver, bmp_to_png  # noqa: E402
from winebench import bench_env, display_dpi, user_profile, windows_path  # noqa: E402

TITLE = "Kota Sorgulama"
EDIT, LOGIN, PICTURE, LINK, STATUS, CLOSE = 1000, 1, 1001, 1002, 1003, 1006
HOST = "adslkota.orvix.example"


def tone(path, freqs, seconds=0.25, rate=11025):
    """A short alert sound: the given tones one after the other."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        frames = bytearray()
        for f in freqs:
            for i in range(int(rate * seconds)):
                frames += struct.pack("<h", int(8000 * math.sin(2 * math.pi * f * i / rate)))
        w.writeframes(bytes(frames))


def write_ini(path, sections):
    lines = []
    for name, values in sections.items():
        lines.append("[%s]" % name)
        lines += ["%s=%s" % kv for kv in values.items()]
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))


def make_settings(env, inspect):
    folder = os.path.join(user_profile(env), "AppData", "Roaming", "Dalvenor", "Plumo!")
    os.makedirs(folder, exist_ok=True)
    stored = subprocess.run([inspect, "encode-credentials", "ahmet.yilmaz@orvix", "Kota2024!"],
                            capture_output=True, text=True, check=True).stdout.strip()
    account = os.path.join(folder, "account.ini")
    if os.path.exists(account):
        os.remove(account)
    # As Plumo leaves it after last week's query: less than this month has now.
    for key, value in (("hash", stored),):
        subprocess.run([inspect, "ini-write", account, "account", key, value], check=True, capture_output=True)
    for key, value in (("download", "15032385536"), ("upload", "1073741824"), ("month", "Mart"), ("year", "2024")):
        subprocess.run([inspect, "ini-write", account, "update", key, value], check=True, capture_output=True)
    tone(os.path.join(folder, "receive.wav"), [660, 880])
    tone(os.path.join(folder, "error.wav"), [440, 220])
    # The INI store reads a backslash as the start of an escape: paths are
    # written with doubled ones.
    write_ini(os.path.join(folder, "config.ini"), {"alerts": {
        "query_sound": "1",
        "ok_file": windows_path(os.path.join(folder, "receive.wav")).replace("\\", "\\\\"),
        "fail_file": windows_path(os.path.join(folder, "error.wav")).replace("\\", "\\\\")}})
    return folder


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--inspect", required=True)
    ap.add_argument("--proxy", required=True)
    ap.add_argument("--log", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--code", required=True)
    ap.add_argument("--desktop", action="store_true")
    ap.add_argument("--dpi", type=int)
    ap.add_argument("--program", help="the orvix.exe to run (default: the --build tree's)")
    args = ap.parse_args()
    os.environ.setdefault("ORVIX_BINARY_DIR", os.path.abspath(args.build))
    if not args.dpi:
        return run(args)
    saved = display_dpi()
    display_dpi(args.dpi)
    print("   display scale: %d DPI (%d %%)" % (args.dpi, round(args.dpi * 100 / 96)))
    try:
        return run(args)
    finally:
        if saved is None:
            display_dpi(remove=True)
        else:
            display_dpi(saved)


def run(args):
    net = {"http_proxy": args.proxy, "https_proxy": args.proxy}
    extra = dict(net)
    if args.desktop:
        extra["DISPLAY"] = os.environ["DISPLAY"]
        # The person's own sound device, not the bench's recording one.
        extra["ALSA_CONFIG_PATH"] = os.environ.get("ALSA_CONFIG_PATH", "")
    env = bench_env(extra)
    folder = make_settings(env, args.inspect)
    print("   settings folder: %s (account.ini, config.ini, receive.wav, error.wav)" % folder)

    orvix = args.program or os.path.join(args.build, "app", "orvix.exe")
    fake_parent = os.path.join(args.build, "tools", "fake-parent", "fake-parent.exe")
    started = time.monotonic()
    proc = subprocess.Popen([env["ORVIX_WINE"], fake_parent, "--timeout", "600" if args.desktop else "120",
                             windows_path(orvix), "-query", "{parent}"],
                            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
    received = []
    reader = threading.Thread(target=lambda: received.extend(json.loads(l) for l in proc.stdout if l.strip()),
                              daemon=True)
    reader.start()

    if args.desktop:
        print("   The dialog is on your screen: type the code you read (or hear: the second link) and press Giriş.")
        proc.wait()
    else:
        os.makedirs(args.out, exist_ok=True)
        ui = UiDriver(env_extra=net)

        def shot(name):
            bmp = os.path.join(args.out, name + ".bmp")
            ui.screenshot(bmp)
            bmp_to_png(bmp, os.path.join(args.out, name + ".png"))
            os.remove(bmp)
            print("   screenshot %s" % os.path.join(args.out, name + ".png"))

        def status():
            return ui.get(STATUS)["text"]

        ui.wait_window(TITLE, 60000)
        last, shot_waiting = None, False
        while not ui.get(EDIT)["visible"]:
            text = status()
            if text != last:
                print("   status: %s" % text)
                last = text
            if not shot_waiting:
                shot("1-waiting")
                shot_waiting = True
            time.sleep(0.05)
        shot("2-entry-colour")
        for index, name in ((3, "3-entry-grey"), (4, "4-entry-black-white")):
            ui.link(LINK, index)
            time.sleep(0.5)
            shot(name)
        ui.link(LINK, 2)
        print("   typing the code the picture shows: %s" % args.code)
        ui.settext(EDIT, args.code)
        ui.click(LOGIN)
        while True:
            text = status()
            if text != last:
                print("   status: %s" % text.replace("\r\n", "\n      "))
                last = text
            if ui.get(CLOSE)["enabled"] and ui.get(1007)["enabled"]:
                break
            time.sleep(0.05)
        shot("5-report")
        ui.click(CLOSE)
        ui.close()
        proc.wait(timeout=60)
    reader.join(5)

    print("   what Plumo's window received:")
    for m in received:
        if m.get("msg") != "copydata":
            print("     message %d (wParam %d, lParam %d)" % (m["msg"], m["wparam"], m["lparam"]))
            continue
        data = base64.b64decode(m["data"])
        if m["tag"] == 0 and len(data) == 1576:
            down, up, count = struct.unpack_from("<ddi", data, 0)

            def text(offset, size):
                return data[offset:offset + size].decode("utf-16-le").split("\0")[0]
            print("     WM_COPYDATA tag 0, 1576 bytes: %s %s, download %.0f, upload %.0f, %d months, record time %s"
                  % (text(148, 64), text(84, 64), down, up, count, text(20, 64)))
        else:
            print("     WM_COPYDATA tag %d, %d bytes: %r" % (m["tag"], len(data), data.decode("utf-16-le", "replace")))
    print("   requests that reached the portal:")
    with open(args.log, encoding="utf-8") as f:
        for line in f:
            r = json.loads(line)
            if r.get("internal") or r["method"] == "CONNECT" or r["host"] not in (HOST, "sayac.pagecount.example"):
                continue
            cookie = [v for k, v in r["headers"] if k.lower() == "cookie"]
            print("     %-4s %s://%s%s%s" % (r["method"], r["scheme"], r["host"], r["path"][:70],
                                           ("  Cookie: " + cookie[0]) if cookie else ""))
    print("   (%.1f s, exit status %d)" % (time.monotonic() - started, proc.returncode))
    return 0 if proc.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
