#!/usr/bin/env bash
# The panel benchmark's files: 21 MP3 files of 2 s tone (lame), each with ID3v2.3 artist, album and title
# and a front cover of its own, a 600 x 600 JPEG (ImageMagick), embedded with mutagen. Remade only when this
# script changes.
# Usage: make-panel-set.sh <outdir>
set -euo pipefail
out="$(mkdir -p "${1:?usage: make-panel-set.sh <outdir>}" && cd "$1" && pwd)"
stamp="$out/.stamp"
hash="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$hash" ]; then
    exit 0
fi
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
rm -f "$out"/*.mp3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ffmpeg -v error -nostdin -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -fflags +bitexact \
    -flags:a +bitexact -ac 2 "$work/tone.wav"
for i in $(seq -w 0 20); do
    lame --quiet --noreplaygain -b 128 "$work/tone.wav" "$out/track$i.mp3"
    hue=$(( (10#$i * 17) % 360 ))
    convert -size 600x600 -define gradient:angle=$(( 10#$i * 30 )) "gradient:hsl($hue,70%,35%)-hsl($(( (hue + 120) % 360 )),70%,70%)" \
        -seed "$((10#$i + 1))" -attenuate 0.3 +noise Gaussian -strip -quality 90 "$work/cover$i.jpg"
done
"$PY" - "$out" "$work" <<'PY'
import sys
from mutagen import id3
out, work = sys.argv[1:3]
for i in range(21):
    t = id3.ID3()
    t.add(id3.TIT2(encoding=0, text=f"Track {i}"))
    t.add(id3.TPE1(encoding=0, text="Bench Artist"))
    t.add(id3.TALB(encoding=0, text=f"Bench Album {i}"))
    with open(f"{work}/cover{i:02d}.jpg", "rb") as f:
        t.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=f.read()))
    t.save(f"{out}/track{i:02d}.mp3", v2_version=3)
PY
echo "$hash" >"$stamp"
