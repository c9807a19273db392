#!/usr/bin/env bash
# The demo: installs what is missing, builds orvix.exe (the shipped 32-bit
# program and the 64-bit one that runs under Wine here) and runs it the way
# Plumo does, under the Wine bench, with tools/fake-parent as the parent
# window printing what the program sends back.
#
# The internet is played by tools/fake-network: the bundled quota portal
# (tools/fake-network/scenarios/portal.json, over HTTPS with certificates
# from the bench's test CA, each answer a second late so the dialog's steps
# can be watched) and the services of the small jobs (scenarios/demo.json).
#
# First the quota query (scripts/demo_query.py): on a desktop (an X display
# and a terminal, and ORVIX_DEMO_HEADLESS unset) the dialog opens on your
# screen and you type the code you read or hear; otherwise it runs on the
# bench's Xvfb display, types the code itself and saves a screenshot of each
# mode under out/demo/. Then the small jobs and the dispatcher's refusals.
# ORVIX_DEMO_DPI=144 runs the query with the bench's prefix at that display
# scale (150 %; 120, 192 the like) and puts the prefix's own back after.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$root/out/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

echo "== build: win32 (the shipped orvix.exe)"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake"
cmake --build "$root/out/win32" -j "$(nproc)" --target orvix
python3 scripts/check_pe.py "$root/out/win32/app/orvix.exe" --machine i386 --gui

echo "== build: win64 (runs under Wine)"
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"
cmake --build "$root/out/win64" -j "$(nproc)" --target orvix fake-parent ui-driver

echo "== build: native (orvix-inspect makes the stored credentials)"
configure native
cmake --build "$root/out/native" -j "$(nproc)" --target orvix-inspect

export ORVIX_WINE_DIR=$root/out/win64/wine
bash scripts/wine-bench.sh start "$ORVIX_WINE_DIR"
trap 'bash "$root/scripts/wine-bench.sh" stop "$ORVIX_WINE_DIR" >/dev/null' EXIT

# The fake network, trusted through the bench's CA; Wine's WinInet finds it
# through the proxy variables.
ca_dir=$(. "$ORVIX_WINE_DIR/env.sh" && echo "$ORVIX_CA_DIR")
net_dir=$(mktemp -d)
python3 - "$net_dir/scenario.json" <<'PY'
import json, os, sys
scenarios = os.path.join("tools", "fake-network", "scenarios")
routes = []
for name in ("portal.json", "demo.json"):
    with open(os.path.join(scenarios, name), encoding="utf-8") as f:
        for route in json.load(f)["routes"]:
            answer = route.get("response", {})
            for each in (answer, route.get("without_cookies", {})):
                if "body_file" in each:
                    each["body_file"] = os.path.abspath(os.path.join(scenarios, each["body_file"]))
            if route["host"].startswith("adslkota."):
                answer["delay"] = 1.0
            routes.append(route)
json.dump({"routes": routes}, open(sys.argv[1], "w", encoding="utf-8"), ensure_ascii=False)
PY
python3 tools/fake-network/fake_network.py --scenario "$net_dir/scenario.json" \
  --port-file "$net_dir/port" --log "$net_dir/requests.jsonl" --ca-dir "$ca_dir" &
net_pid=$!
trap 'kill $net_pid 2>/dev/null; rm -rf "$net_dir"; bash "$root/scripts/wine-bench.sh" stop "$ORVIX_WINE_DIR" >/dev/null' EXIT
for _ in $(seq 100); do [ -s "$net_dir/port" ] && break; sleep 0.1; done
export http_proxy=http://127.0.0.1:$(cat "$net_dir/port") https_proxy=http://127.0.0.1:$(cat "$net_dir/port")

# The program users get is the 32-bit one; it runs where this machine runs
# 32-bit Windows programs (Debian's wine32, a kernel that executes i386
# code). Elsewhere the demo shows its 64-bit twin and says so.
program=$root/out/win32/app/orvix.exe
if ! arch-test i386 >/dev/null 2>&1 || [ ! -f /usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll ]; then
  echo "== this machine cannot run 32-bit Windows programs: the demo runs the 64-bit orvix.exe"
  program=$root/out/win64/app/orvix.exe
fi
echo "== $program -query {parent}: the quota query"
desktop=()
if [ -n "${DISPLAY:-}" ] && [ -t 1 ] && [ -z "${ORVIX_DEMO_HEADLESS:-}" ] && [ -z "${CI:-}" ]; then
  desktop=(--desktop)
fi
python3 scripts/demo_query.py --build "$root/out/win64" --inspect "$root/out/native/tools/orvix-inspect/orvix-inspect" \
  --proxy "$http_proxy" --log "$net_dir/requests.jsonl" --out "$root/out/demo" \
  --code "$(cat tools/fake-network/scenarios/portal/jcaptcha.txt)" "${desktop[@]}" --program "$program" \
  ${ORVIX_DEMO_DPI:+--dpi "$ORVIX_DEMO_DPI"}
: >"$net_dir/requests.jsonl"

orvix="Z:${program//\//\\}"
run() {
  echo "== orvix.exe $*"
  local status=0
  bash scripts/wine-run.sh "$root/out/win64/tools/fake-parent/fake-parent.exe" --timeout 60 "$orvix" "$@" \
    >"$net_dir/messages" || status=$?
  # One line per message Plumo's window received, the payload shown as text.
  python3 - "$net_dir/messages" <<'PY'
import base64, json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    m = json.loads(line)
    if m.get("msg") == "copydata":
        text = base64.b64decode(m["data"]).decode("cp1254", "replace")
        print("   WM_COPYDATA tag %d, %d bytes: %r" % (m["tag"], m["bytes"], text))
    else:
        print("   message %s" % line.strip())
PY
  echo "   (exit status $status)"
}
run -getmyip '{parent}' anasayfa
run -getversion '{parent}' anasayfa
run -geturl '{parent}' https://portal.orvix.example/duyuru.txt
run -getmyip abc
run -exit
run -exit 0
echo "== what reached the network"
python3 - "$net_dir/requests.jsonl" <<'PY'
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    r = json.loads(line)
    if r.get("internal"):
        continue
    print("  %-7s %-5s %s%s" % (r["method"], r["scheme"], r["host"], "" if r["method"] == "CONNECT" else r["path"]))
PY
echo "demo done"
