#!/usr/bin/env bash
# The junk benchmark's file: 50 MPEG audio frames (LAME, 128 kbit/s constant rate, no header frame, no tag)
# followed by 150 MiB of zero bytes and 150 MiB of pseudo-random bytes (fixed seed), where the frame walk
# loses sync and has to scan some 300 MiB for headers. Made once into <outdir>/junk-300mb.mp3 (a build
# folder: it is far too large for the repository) and kept while the stamp matches this script.
# Usage: tests/bench/make-junk-file.sh <outdir>
set -euo pipefail
out="${1:?usage: make-junk-file.sh <outdir>}"
PY="${MELLODECK_PYTHON:-/usr/bin/python3}"
FRAMES=50
MIB=150
file="$out/junk-300mb.mp3"
stamp="$(sha256sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)"
if [ -s "$file" ] && [ -f "$out/.stamp" ] && [ "$(cat "$out/.stamp")" = "$stamp" ]; then
    exit 0
fi
echo "generating the junk benchmark file in $out (once)" >&2
rm -rf "$out"
mkdir -p "$out"
work="$out/.work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Two seconds of a tone, encoded without a header frame; ffmpeg then keeps exactly the first 50 frames as
# they are (no re-encoding, no Xing frame, no ID3 tag).
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" \
    -ac 2 -bitexact -fflags +bitexact -c:a pcm_s16le "$work/tone.wav"
lame --quiet --noreplaygain -q 7 -t -b 128 "$work/tone.wav" "$work/tone.mp3"
ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/tone.mp3" -c:a copy -frames:a "$FRAMES" \
    -write_xing 0 -id3v2_version 0 -map_metadata -1 -fflags +bitexact -f mp3 "$work/frames.mp3"

"$PY" - "$work/frames.mp3" "$file.part" "$MIB" <<'EOF'
import random
import sys

frames, target, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
rng = random.Random(50)
with open(target, "wb") as out:
    with open(frames, "rb") as f:
        out.write(f.read())
    zeros = bytes(1 << 20)
    for _ in range(mib):
        out.write(zeros)
    for _ in range(mib):
        out.write(rng.randbytes(1 << 20))
EOF
mv "$file.part" "$file"
{
    echo "lame: $(lame --version | head -n 1)"
    echo "ffmpeg: $(ffmpeg -version | head -n 1)"
    echo "python: $("$PY" --version 2>&1)"
} >"$out/TOOLS.txt"
echo "$stamp" >"$out/.stamp"
