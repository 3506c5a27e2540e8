#!/usr/bin/env bash
# The reading benchmark's file set: 500 tagged files of 3-5 s with a 600x600 JPEG cover (about 60 KB) and
# nine text fields each, 100 of every kind:
#   mp3/           MP3 with a header frame: CBR (LAME's "Info" frame) and VBR with a Xing frame
#   mp3-noheader/  MP3 without any VBR header frame (lame -t), CBR and VBR
#   ogg/ flac/ m4a/
# plus walk/walk-30mb.mp3: about 30 MB of VBR MP3 without a Xing or VBRI frame, for the full frame walk.
# files.txt lists the 500 in reading order. Fixed seeds and fixed tool arguments; encoders run two at a
# time. Generated once: skipped while the stamp matches these scripts.
# Usage: tests/bench/make-bench-set.sh [outdir]     (default: build/bench-set of this checkout)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
out="${1:-$root/build/bench-set}"
# Debian's interpreter: it is the one python3-mutagen installs into.
PY="${MELLODECK_PYTHON:-/usr/bin/python3}"
PER_KIND=100
CLIPS=40

stamp="$(cat "$here/make-bench-set.sh" "$here/bench-set.py" | sha256sum | cut -d' ' -f1)"
if [ -f "$out/.stamp" ] && [ "$(cat "$out/.stamp")" = "$stamp" ]; then
    exit 0
fi
echo "generating the benchmark set in $out (once)" >&2
started=$SECONDS
rm -rf "$out"
mkdir -p "$out"/{mp3,mp3-noheader,ogg,flac,m4a,walk}
work="$out/.work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

# Source audio: a tone over white noise whose level swells and fades, so variable-rate encoders vary.
source_audio() { # seconds output ("-" for standard output)
    ffmpeg -hide_banner -loglevel error -nostdin -y \
        -f lavfi -i "anoisesrc=color=white:seed=11:amplitude=0.5:sample_rate=44100:duration=$1" \
        -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=$1" \
        -filter_complex "[0]volume='0.15+0.85*abs(sin(t/4))':eval=frame[n];[n][1]amix=inputs=2:normalize=0,pan=stereo|c0=c0|c1=0.7*c0" \
        -bitexact -fflags +bitexact -c:a pcm_s16le -f wav "$2"
}
source_audio 60 "$work/source.wav"
"$PY" "$here/bench-set.py" slice "$work/source.wav" "$work" "$CLIPS"

# Covers: 600x600 JPEGs of about 60 KB, without metadata.
for i in 0 1 2 3; do
    convert -seed $((i + 1)) -size 600x600 plasma:fractal -strip -sampling-factor 2x2 -quality 85 "$work/cover$i.jpg"
done

# One encode a line: kind index. Settings cycle with the index; the clip too.
encode_one() {
    local kind="$1" i="$2" work="$BENCH_WORK" out="$BENCH_OUT"
    local clip name
    clip="$work/clip$(printf %02d $((i % BENCH_CLIPS))).wav"
    name="$(printf '%03d' "$i")"
    local rates=(128 160 192 256 320) levels=(0 2 4 5 6)
    local mp3mode=(-b "${rates[$((i / 2 % 5))]}")
    [ $((i % 2)) -eq 1 ] && mp3mode=(-V "${levels[$((i / 2 % 5))]}")
    case "$kind" in
    mp3) lame --quiet --noreplaygain -q 7 "${mp3mode[@]}" "$clip" "$out/mp3/$name.mp3" ;;
    mp3-noheader) lame --quiet --noreplaygain -q 7 -t "${mp3mode[@]}" "$clip" "$out/mp3-noheader/$name.mp3" ;;
    ogg) oggenc --quiet -q 0 --serial $((1000 + i)) -o "$out/ogg/$name.ogg" "$clip" ;;
    flac) flac --silent -0 -o "$out/flac/$name.flac" "$clip" ;;
    m4a) ffmpeg -hide_banner -loglevel error -nostdin -y -i "$clip" -c:a aac -b:a 128k -movflags +faststart \
        -map_metadata -1 -bitexact -fflags +bitexact -flags:a +bitexact "$out/m4a/$name.m4a" ;;
    esac
}
export -f encode_one
export BENCH_WORK="$work" BENCH_OUT="$out" BENCH_CLIPS="$CLIPS"

kinds=(mp3 mp3-noheader ogg flac m4a)
: >"$out/files.txt"
for kind in "${kinds[@]}"; do
    ext="${kind%-noheader}"
    for ((i = 0; i < PER_KIND; i++)); do
        echo "$kind $i" >>"$work/jobs.txt"
        printf '%s/%03d.%s\n' "$kind" "$i" "$ext" >>"$out/files.txt"
    done
done
encode_walk() {
    # 1000 s at LAME's best variable rate: some 30 MB, no header frame.
    source_audio 1000 - | lame --quiet --noreplaygain -q 7 -V 0 -t - "$BENCH_OUT/walk/walk-30mb.mp3"
}
export -f source_audio encode_walk
# The long encode goes first so that it runs beside the many short ones.
{ echo "walk 0"; cat "$work/jobs.txt"; } |
    xargs -P 2 -L 1 bash -c 'if [ "$1" = walk ]; then encode_walk; else encode_one "$1" "$2"; fi' _

"$PY" "$here/bench-set.py" tag "$out" "$work"

missing=0
while read -r f; do
    [ -s "$out/$f" ] || { echo "missing: $f" >&2; missing=1; }
done <"$out/files.txt"
[ -s "$out/walk/walk-30mb.mp3" ] || missing=1
[ "$missing" -eq 0 ] || { echo "benchmark set incomplete" >&2; exit 1; }

{
    echo "lame: $(lame --version | head -n 1)"
    echo "oggenc: $(oggenc --version | head -n 1)"
    echo "flac: $(flac --version | head -n 1)"
    echo "ffmpeg: $(ffmpeg -version | head -n 1)"
    echo "mutagen: $("$PY" -c 'import mutagen; print(mutagen.version_string)')"
    echo "python: $("$PY" --version 2>&1)"
    echo "imagemagick: $(convert -version | head -n 1)"
} >"$out/TOOLS.txt"
echo "$stamp" >"$out/.stamp"
echo "benchmark set: $(wc -l <"$out/files.txt") files and the walk file ($(du -sh "$out" | cut -f1)) in $((SECONDS - started)) s" >&2
