#!/usr/bin/env bash
# The Windows test bench: a private Wine world for the tests of one build
# directory.
#
#   wine-bench.sh start DIR   prepare DIR (normally <build>/wine) and write DIR/env.sh
#   wine-bench.sh stop DIR    end what start started
#
# start:
#   - DIR/prefix: a private WINEPREFIX, made once with wineboot (Mono and
#     Gecko installers disabled) and reused by later runs;
#   - an Xvfb display on a free number (Xvfb picks it itself with -displayfd,
#     so parallel benches of other build trees never collide);
#   - a persistent wineserver for the prefix, so the many short Wine runs of
#     a test session do not each pay for a server start;
#   - DIR/run/ca/: a fresh test CA for this run (ca.pem, ca.key, ca.der),
#     trusted inside this prefix only through the current user's Root store
#     in the registry. The key never leaves that folder;
#   - sound without a sound card: Wine's ALSA driver (chosen in the prefix's
#     registry) plays to an ALSA default device that writes every stream it
#     gets to DIR/run/audio/played.wav and discards it (ALSA's file plugin
#     over its null device; DIR/run/asound.conf, named by ALSA_CONFIG_PATH);
#     each new stream overwrites the file;
#   - the desktop held open by tools/desktop-keeper of the build tree (when
#     built): Wine closes its desktop when the last program using it ends and
#     starts it again for the next, which tests of many short runs would pay
#     for each time; a real session's desktop never goes away;
#   - DIR/env.sh with everything a Wine run needs (sourced by wine-run.sh and
#     tests/winebench.py).
# stop kills only the processes start recorded, by id, and asks this prefix's
# wineserver to end the Wine processes of this prefix. Nothing else is touched.
set -euo pipefail

WINE=/usr/lib/wine/wine64
WINESERVER_BIN=/usr/lib/wine/wineserver
[ -x "$WINESERVER_BIN" ] || WINESERVER_BIN=/usr/lib/wine/wineserver64

usage() {
  echo "usage: wine-bench.sh start|stop DIR" >&2
  exit 2
}

[ $# -eq 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
run=$dir/run
prefix=$dir/prefix

export WINEPREFIX=$prefix
export WINESERVER=$WINESERVER_BIN
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=tr_TR.UTF-8
export WINEARCH=win64

# True when pid is alive and its command line contains the given word:
# guards against killing a process that reused a recorded id.
is_ours() {  # pid, word
  local pid=$1 word=$2
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] && tr '\0' ' ' <"/proc/$pid/cmdline" | grep -q -- "$word"
}

kill_recorded() {  # pidfile, word
  local file=$1 word=$2 pid
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  if is_ours "$pid" "$word"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      is_ours "$pid" "$word" || break
      sleep 0.1
    done
    is_ours "$pid" "$word" && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}

stop_bench() {
  if [ -f "$run/wineserver.pid" ] && is_ours "$(cat "$run/wineserver.pid")" wineserver; then
    # Ends the Wine processes of this prefix and its server, nothing else.
    "$WINESERVER_BIN" -k 2>/dev/null || true
  fi
  kill_recorded "$run/desktop-keeper.pid" desktop-keeper
  kill_recorded "$run/wineserver.pid" wineserver
  kill_recorded "$run/xvfb.pid" Xvfb
  rm -f "$dir/env.sh"
}

start_xvfb() {
  local fifo=$run/displayfd
  rm -f "$fifo" "$run/display"
  # -displayfd: Xvfb chooses the first free display number and writes it.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$run/display" >"$run/xvfb.log" 2>&1 9>&- &
  echo $! >"$run/xvfb.pid"
  for _ in $(seq 100); do
    if [ -s "$run/display" ] && grep -q '[0-9]' "$run/display"; then
      display=":$(tr -dc '0-9' <"$run/display")"
      return 0
    fi
    is_ours "$(cat "$run/xvfb.pid")" Xvfb || break
    sleep 0.1
  done
  echo "wine-bench: Xvfb did not start (see $run/xvfb.log)" >&2
  return 1
}

start_wineserver() {
  mkdir -p "$prefix"
  # A server left over from a transient wineboot run would refuse ours.
  "$WINESERVER_BIN" -k 2>/dev/null || true
  "$WINESERVER_BIN" -w 2>/dev/null || true
  "$WINESERVER_BIN" -f -p >"$run/wineserver.log" 2>&1 9>&- &
  echo $! >"$run/wineserver.pid"
  sleep 0.2
  is_ours "$(cat "$run/wineserver.pid")" wineserver || {
    echo "wine-bench: wineserver did not start (see $run/wineserver.log)" >&2
    return 1
  }
}

init_prefix() {
  if [ -f "$prefix/system.reg" ] && [ -f "$prefix/.orvix-ready" ]; then
    return 0
  fi
  echo "wine-bench: creating the Wine prefix in $prefix (once)"
  DISPLAY=$display "$WINE" wineboot -i >"$run/wineboot.log" 2>&1 9>&- || {
    echo "wine-bench: wineboot failed (see $run/wineboot.log)" >&2
    return 1
  }
  touch "$prefix/.orvix-ready"
  # wineboot in a new prefix leaves a second set of system processes
  # (services, plug and play, device hosts) in the server. Start the tests
  # from a clean server, as on every later run.
  start_wineserver
}

# Serialized certificate store element as the registry holds it: property
# 32 (the certificate itself), encoding 1 (X.509 ASN), little-endian byte
# count, then the DER bytes; printed as .reg hex.
reg_blob() {  # der file
  python3 - "$1" <<'EOF'
import struct, sys
der = open(sys.argv[1], "rb").read()
blob = struct.pack("<III", 32, 1, len(der)) + der
print(",".join("%02x" % b for b in blob))
EOF
}

make_ca() {
  local ca=$run/ca
  rm -rf "$ca"
  mkdir -p "$ca"
  chmod 700 "$ca"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 7 \
    -subj "/O=Orvix test bench/CN=Orvix Test CA $(date +%s)-$$" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
  chmod 600 "$ca/ca.key"
  openssl x509 -in "$ca/ca.pem" -outform DER -out "$ca/ca.der"
  local thumb
  thumb=$(openssl x509 -in "$ca/ca.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr 'a-f' 'A-F')
  local key='HKEY_CURRENT_USER\Software\Microsoft\SystemCertificates\Root\Certificates'
  {
    echo "REGEDIT4"
    echo
    # Drop the CA of the previous run: the prefix trusts one test CA at a time.
    if [ -f "$dir/trusted-ca.txt" ]; then
      local old
      old=$(cat "$dir/trusted-ca.txt")
      [ -n "$old" ] && [ "$old" != "$thumb" ] && { echo "[-$key\\$old]"; echo; }
    fi
    echo "[$key\\$thumb]"
    echo "\"Blob\"=hex:$(reg_blob "$ca/ca.der")"
    echo
  } >"$run/trust-ca.reg"
  DISPLAY=$display "$WINE" regedit /S "$(winepath_of "$run/trust-ca.reg")" >>"$run/regedit.log" 2>&1 9>&-
  echo "$thumb" >"$dir/trusted-ca.txt"
}

# Sound for a machine without a sound card. The file plugin records what
# Wine plays, as it was handed over (format and rate included), so a test can
# compare it with the wave file the program played. The null device below it
# takes everything at once, so only Wine's own period timer paces the
# playback: a sound ends about four times sooner than on a speaker.
setup_audio() {
  mkdir -p "$run/audio"
  rm -f "$run/audio/played.wav"
  cat >"$run/asound.conf" <<EOF
pcm.!default {
  type file
  slave.pcm "null"
  file "$run/audio/played.wav"
  format "wav"
}
EOF
  local key='HKEY_CURRENT_USER\Software\Wine\Drivers'
  printf 'REGEDIT4\n\n[%s]\n"Audio"="alsa"\n\n' "$key" >"$run/audio.reg"
  DISPLAY=$display "$WINE" regedit /S "$(winepath_of "$run/audio.reg")" >>"$run/regedit.log" 2>&1 9>&-
}

# Wine maps the host root to drive Z:.
winepath_of() {
  printf 'Z:%s' "${1//\//\\}"
}

start_desktop_keeper() {
  local keeper=$dir/../tools/desktop-keeper/desktop-keeper.exe
  if [ ! -f "$keeper" ]; then
    echo "wine-bench: no desktop keeper built; the desktop comes and goes" >&2
    return 0
  fi
  DISPLAY=$display "$WINE" "$keeper" </dev/null >"$run/desktop-keeper.log" 2>&1 9>&- &
  echo $! >"$run/desktop-keeper.pid"
}

write_env() {
  local tmp=$dir/env.sh.tmp
  cat >"$tmp" <<EOF
# Written by scripts/wine-bench.sh start; valid while that bench runs.
export WINEPREFIX='$prefix'
export WINESERVER='$WINESERVER_BIN'
export WINEARCH=win64
export DISPLAY='$display'
export LC_ALL=tr_TR.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
export ORVIX_WINE='$WINE'
export ORVIX_CA_DIR='$run/ca'
export ALSA_CONFIG_PATH='/usr/share/alsa/alsa.conf:$run/asound.conf'
export ORVIX_AUDIO_OUT='$run/audio/played.wav'
EOF
  mv "$tmp" "$dir/env.sh"
}

case $action in
  start)
    mkdir -p "$run"
    exec 9>"$dir/lock"
    flock 9
    stop_bench   # whatever a killed earlier run left behind
    mkdir -p "$run"
    display=
    start_xvfb
    start_wineserver
    init_prefix
    make_ca
    setup_audio
    start_desktop_keeper
    write_env
    echo "wine-bench: ready (DISPLAY=$display, prefix $prefix)"
    ;;
  stop)
    exec 9>"$dir/lock"
    flock 9
    stop_bench
    echo "wine-bench: stopped"
    ;;
  *) usage ;;
esac
