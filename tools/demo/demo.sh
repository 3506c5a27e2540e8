#!/usr/bin/env bash
# The demo, for now: generates a small tagged music library with real encoders and taggers (lame, ffmpeg,
# mutagen, ImageMagick; FLAC, Ogg Vorbis and MPEG-4 files too once the tag library reads them), then
# shows what mellodeck-tags reads from it: the native build, and the Windows build under Wine when the
# MinGW compilers, the cross-built codec libraries and Wine are there. Builds what it needs itself.
# Usage: tools/demo/demo.sh            (./run demo calls it after ./run setup)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-2}"
PY="${MELLODECK_PYTHON:-/usr/bin/python3}"
LIB="$ROOT/build/demo/library"
WORK="$ROOT/build/demo/work"

say() { printf '\n== %s\n' "$*"; }
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

say "building mellodeck-tags (native)"
cmake --preset linux -Wno-dev >/dev/null
cmake --build --preset linux -j "$JOBS" --target mellodeck-tags
TAGS="$ROOT/build/linux/tools/tags/mellodeck-tags"
FORMATS="$("$TAGS" --list-formats)"
supports() { grep -qx "$1" <<<"$FORMATS"; }

say "generating the library in ${LIB#"$ROOT"/}"
rm -rf "$LIB" "$WORK"
mkdir -p "$WORK"
tone() { # name frequency seconds
    ff -f lavfi -i "sine=frequency=$2:sample_rate=44100:duration=$3" \
        -f lavfi -i "anoisesrc=color=pink:seed=11:amplitude=0.15:sample_rate=44100:duration=$3" \
        -filter_complex "[0][1]amix=inputs=2:normalize=0,pan=stereo|c0=c0|c1=0.9*c0" \
        -bitexact -fflags +bitexact -c:a pcm_s16le "$WORK/$1.wav"
}
tone a 330 4
tone b 440 4
tone c 523 4
tone d 262 3
convert -size 300x300 gradient:'#1b2a49-#f2a541' -gravity center -pointsize 40 -fill white \
    -annotate 0 'Northern\nLights' -strip -quality 85 "$WORK/northern.jpg" 2>/dev/null ||
    convert -size 300x300 gradient:'#1b2a49-#f2a541' -strip -quality 85 "$WORK/northern.jpg"
convert -size 200x200 -depth 8 radial-gradient:'#ffd1dc-#7a1f3d' -strip -define png:exclude-chunks=date,time \
    "$WORK/sakura.png"
convert -size 240x240 pattern:hexagons -fill '#2e7d32' -colorize 60 -strip -quality 85 "$WORK/folder.jpg"

northern="$LIB/Aurora Lane/Northern Lights"
sakura="$LIB/Kōji & The Strings/桜 (Sakura)"
loose="$LIB/Loose Ends"
mkdir -p "$northern" "$sakura" "$loose"
lame --quiet -b 128 "$WORK/a.wav" "$northern/01 First Light.mp3"
lame --quiet -V 2 "$WORK/b.wav" "$northern/02 Polar Night.mp3"
lame --quiet -b 160 "$WORK/c.wav" "$sakura/01 花見.mp3"
lame --quiet -V 4 "$WORK/d.wav" "$loose/untagged.mp3"
lame --quiet -b 96 -m m "$WORK/d.wav" "$loose/old v1 tag.mp3"
cp "$WORK/folder.jpg" "$sakura/folder.jpg"

"$PY" - "$northern" "$sakura" "$loose" "$WORK" <<'EOF'
import sys
from mutagen import id3
northern, sakura, loose, work = sys.argv[1:5]
def read(name):
    with open(work + "/" + name, "rb") as f:
        return f.read()
def tag(path, version, frames, v1=0):
    t = id3.ID3()
    for frame in frames:
        t.add(frame)
    t.save(path, v2_version=version, v1=v1)
tag(northern + "/01 First Light.mp3", 3, [
    id3.TIT2(encoding=0, text="First Light"), id3.TPE1(encoding=0, text="Aurora Lane"),
    id3.TALB(encoding=0, text="Northern Lights"), id3.TRCK(encoding=0, text="1/2"),
    id3.TYER(encoding=0, text="2021"), id3.TCON(encoding=0, text="(52)"),
    id3.COMM(encoding=0, lang="eng", desc="", text="Recorded at dawn.\nSecond take."),
    id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="Front cover", data=read("northern.jpg")),
], v1=2)
tag(northern + "/02 Polar Night.mp3", 4, [
    id3.TIT2(encoding=3, text="Polar Night"), id3.TPE1(encoding=3, text="Aurora Lane"),
    id3.TALB(encoding=3, text="Northern Lights"), id3.TRCK(encoding=3, text="2/2"),
    id3.TCON(encoding=3, text="Ambient"), id3.TMOO(encoding=3, text="Calm"),
    id3.APIC(encoding=3, mime="image/jpeg", type=3, desc="", data=read("northern.jpg")),
])
tag(sakura + "/01 花見.mp3", 3, [
    id3.TIT2(encoding=1, text="花見 (Hanami)"), id3.TPE1(encoding=1, text="Kōji & The Strings"),
    id3.TALB(encoding=1, text="桜 (Sakura)"), id3.TPE2(encoding=1, text="Kōji"), id3.TRCK(encoding=0, text="1"),
    id3.TPUB(encoding=0, text="Petal Records"),
    id3.WXXX(encoding=0, desc="", url="https://example.org/sakura"),
    id3.APIC(encoding=1, mime="image/png", type=3, desc="Sakura", data=read("sakura.png")),
])
# A file with only an ID3v1.1 tag, as old players wrote them.
def field(text, width):
    raw = text.encode("latin-1")
    return raw + b"\0" * (width - len(raw))
block = (b"TAG" + field("Old Timer", 30) + field("Tape Deck", 30) + field("Cassette Days", 30) + b"1987"
         + field("Found in a drawer", 28) + b"\0\x04" + bytes([17]))
with open(loose + "/old v1 tag.mp3", "ab") as f:
    f.write(block)
EOF

if supports .flac && command -v flac >/dev/null; then
    flac --silent -f -o "$northern/03 Aurora.flac" "$WORK/a.wav"
    metaflac --set-tag="TITLE=Aurora" --set-tag="ARTIST=Aurora Lane" --set-tag="ALBUM=Northern Lights" \
        --set-tag="TRACKNUMBER=3" --import-picture-from="3|image/jpeg|Front cover||$WORK/northern.jpg" \
        "$northern/03 Aurora.flac"
fi
if supports .ogg && command -v oggenc >/dev/null; then
    oggenc --quiet -q 3 --serial 42 -t "Solstice" -a "Aurora Lane" -l "Northern Lights" -N 4 \
        -o "$northern/04 Solstice.ogg" "$WORK/b.wav"
fi
if supports .m4a; then
    ff -i "$WORK/c.wav" -i "$WORK/folder.jpg" -map 0:a -map 1:v -c:a aac -b:a 96k -c:v copy \
        -disposition:v attached_pic -metadata title="Petals" -metadata artist="Kōji & The Strings" \
        -metadata album="桜 (Sakura)" -metadata track="2" -bitexact -fflags +bitexact "$sakura/02 Petals.m4a"
fi
rm -rf "$WORK"

mapfile -t FILES < <(find "$LIB" -type f ! -name 'folder.jpg' | LC_ALL=C sort)
say "the library"
(cd "$LIB" && find . -type f | LC_ALL=C sort | sed 's|^\./|  |')

say "what mellodeck-tags reads (native build)"
"$TAGS" "${FILES[@]}" || true
say "the same as JSON (mellodeck-tags --json)"
"$TAGS" --json "${FILES[@]}" || true

# ---- the Windows build under Wine ---------------------------------------------------------------------
triple=x86_64-w64-mingw32
deps="${MELLODECK_DEPS_PREFIX:-$ROOT/build/deps-$triple}"
if ! command -v "$triple-g++-posix" >/dev/null || [ ! -x /usr/lib/wine/wine64 ] || [ ! -f "$deps/include/jpeglib.h" ]; then
    say "Windows build skipped (needs the MinGW compilers, Wine and the codec libraries in ${deps#"$ROOT"/}; ./run setup)"
    exit 0
fi
say "building mellodeck-tags.exe (x86-64 Windows)"
cmake --preset mingw64 -Wno-dev -DMELLODECK_DEPS_PREFIX="$deps" >/dev/null
cmake --build --preset mingw64 -j "$JOBS" --target mellodeck-tags
source "$ROOT/cmake/run-lib.sh"
trap wine_down EXIT
wine_up
winpaths=()
for f in "${FILES[@]}"; do
    winpaths+=("Z:${f//\//\\}")
done
say "what mellodeck-tags.exe reads under Wine"
LC_ALL=C.UTF-8 "$WINE" "$ROOT/build/mingw64/tools/tags/mellodeck-tags.exe" "${winpaths[@]}" </dev/null || true
say "the same as JSON"
LC_ALL=C.UTF-8 "$WINE" "$ROOT/build/mingw64/tools/tags/mellodeck-tags.exe" --json "${winpaths[@]}" </dev/null || true
