#!/usr/bin/env bash
# Makes the bundled portal's security-code picture and sound once:
#   scenarios/portal/jcaptcha.jpg   200 x 70 JPEG, the code on a noisy colour background
#   scenarios/portal/jcaptcha.wav   the code spoken letter by letter in Turkish,
#                                   11025 Hz, mono, 8-bit PCM
#   scenarios/portal/jcaptcha.txt   the code itself
# The files are committed; tests and the demo never run this. Needs
# ImageMagick (convert) and espeak-ng: apt-get install imagemagick espeak-ng.
set -euo pipefail
cd "$(dirname "$0")/scenarios/portal"

code=${1:-bkrmtz}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
colours=("#7a1f1f" "#1f3f7a" "#1f6a2a" "#6a1f6a" "#7a5a10" "#104a5a")
angles=(-14 9 -6 15 -11 7)

# Background: a fixed-seed plasma, blurred and speckled, with two stray arcs.
args=(-seed 20240315 -size 200x70 plasma:#d8e4f0-#f0d8c8 -blur 0x1.2 +noise Impulse
      -stroke "#8a8a9a" -strokewidth 2 -fill none -draw "bezier 0,52 60,10 130,66 200,20"
      -stroke "#9a7a7a" -strokewidth 1 -draw "bezier 0,18 70,60 140,4 200,48" -stroke none
      -font "$font" -pointsize 34)
x=14
for ((i = 0; i < ${#code}; i++)); do
  y=$((48 + (i % 2) * 6))
  args+=(-fill "${colours[i % 6]}" -annotate "${angles[i % 6]}x${angles[i % 6]}+${x}+${y}" "${code:i:1}")
  x=$((x + 29))
done
convert "${args[@]}" -wave 3,70 -gravity center -crop 200x70+0+0 +repage -strip -quality 82 jcaptcha.jpg

# Sound: the letters one by one, a pause between them, then resampled from
# espeak-ng's 22050 Hz 16-bit to 11025 Hz 8-bit (pairs of samples averaged).
spoken=$(echo "$code" | sed 's/./&, /g')
espeak-ng -v tr -s 110 -g 12 -w jcaptcha-22k.wav "$spoken"
python3 - jcaptcha-22k.wav jcaptcha.wav <<'PY'
import struct, sys, wave
with wave.open(sys.argv[1], "rb") as w:
    assert w.getnchannels() == 1 and w.getsampwidth() == 2 and w.getframerate() == 22050
    s = struct.unpack("<%dh" % w.getnframes(), w.readframes(w.getnframes()))
half = [(s[i] + s[i + 1]) // 2 for i in range(0, len(s) - 1, 2)]
with wave.open(sys.argv[2], "wb") as w:
    w.setnchannels(1); w.setsampwidth(1); w.setframerate(11025)
    w.writeframes(bytes((v >> 8) + 128 for v in half))
PY
rm jcaptcha-22k.wav
printf '%s\n' "$code" > jcaptcha.txt
ls -l jcaptcha.jpg jcaptcha.wav jcaptcha.txt
