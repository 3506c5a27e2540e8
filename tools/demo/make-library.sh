#!/usr/bin/env bash
# Generates the demo's small music library with real encoders and taggers (ffmpeg, lame, flac/metaflac,
# oggenc, mutagen, ImageMagick), deterministically (fixed tool arguments, fixed noise seeds, metadata
# stripped from the pictures):
#   Aurora Lane/Northern Lights/   01 First Light.mp3   ID3v2.3 + ID3v1, JPEG front cover (APIC)
#                                  02 Polar Night.mp3   ID3v2.4 in UTF-8, JPEG front cover (APIC)
#                                  03 Aurora.flac       Vorbis comments, picture block (metaflac)
#                                  04 Solstice.ogg      Vorbis comments, METADATA_BLOCK_PICTURE (mutagen)
#   Kōji & The Strings/桜 (Sakura)/ 01 花見.mp3           ID3v2.3 in UTF-16, PNG cover
#   Élodie Marchand/Café Lumière/  01 Pétales.m4a       iTunes-style atoms, covr JPEG (mutagen), a
#                                                       landscape picture
#   Rain on Tin/Field Notes/       01 Drizzle.ogg, 02 Downpour.mp3: tagged, no pictures; folder.jpg beside
#   Loose Ends/                    untagged.mp3 (no tags at all), old v1 tag.mp3 (only an ID3v1.1 tag)
# A WMA file joins when $WMA_SUPPORTED is 1 (the tag library reads WMA only where the Windows Media
# runtime is present).
# Usage: make-library.sh <folder>   (the folder is emptied first)
set -euo pipefail
LIB="${1:?usage: make-library.sh <folder>}"
PY="${MELLODECK_PYTHON:-/usr/bin/python3}"
[ -x "$PY" ] || PY=python3
mkdir -p "$LIB"
LIB="$(cd "$LIB" && pwd)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
find "$LIB" -mindepth 1 -delete

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

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
tone e 196 3

# Covers: gradients and patterns with the album's name where ImageMagick has a font for it (square ones,
# as most covers are, and landscape ones, as booklet scans and folder pictures often are).
# The font list is taken whole before grep -q: under pipefail, grep quitting at its match would leave
# convert writing into a closed pipe, and the test would then fail at random.
font=()
fonts="$(convert -list font 2>/dev/null || true)"
if grep -q 'Font: DejaVu-Sans$' <<<"$fonts"; then
    font=(-font DejaVu-Sans)
fi
cover() { # output size fill text [extra...]
    local out="$1" size="$2" fill="$3" text="$4"
    shift 4
    if [ ${#font[@]} -gt 0 ]; then
        convert -size "$size" "$fill" "$@" "${font[@]}" -gravity center -pointsize 34 -fill white \
            -annotate 0 "$text" -strip -quality 88 "$out"
    else
        convert -size "$size" "$fill" "$@" -strip -quality 88 "$out"
    fi
}
cover "$WORK/northern.jpg" 300x300 gradient:'#1b2a49-#f2a541' 'Northern\nLights'
convert -size 200x200 -depth 8 radial-gradient:'#ffd1dc-#7a1f3d' -strip -define png:exclude-chunks=date,time \
    "$WORK/sakura.png"
cover "$WORK/petals.jpg" 400x240 radial-gradient:'#fff0f5-#b03060' 'Café Lumière'
cover "$WORK/folder.jpg" 320x200 pattern:hexagons 'Field Notes' -fill '#2f6f8f' -colorize 65

northern="$LIB/Aurora Lane/Northern Lights"
sakura="$LIB/Kōji & The Strings/桜 (Sakura)"
cafe="$LIB/Élodie Marchand/Café Lumière"
rain="$LIB/Rain on Tin/Field Notes"
loose="$LIB/Loose Ends"
mkdir -p "$northern" "$sakura" "$cafe" "$rain" "$loose"
lame --quiet --noreplaygain -b 128 "$WORK/a.wav" "$northern/01 First Light.mp3"
lame --quiet --noreplaygain -V 2 "$WORK/b.wav" "$northern/02 Polar Night.mp3"
flac --silent -f -o "$northern/03 Aurora.flac" "$WORK/c.wav"
oggenc --quiet -q 3 --serial 42 -o "$northern/04 Solstice.ogg" "$WORK/d.wav"
lame --quiet --noreplaygain -b 160 "$WORK/c.wav" "$sakura/01 花見.mp3"
ff -i "$WORK/e.wav" -c:a aac -b:a 96k -bitexact -fflags +bitexact "$cafe/01 Pétales.m4a"
oggenc --quiet -q 2 --serial 43 -o "$rain/01 Drizzle.ogg" "$WORK/e.wav"
lame --quiet --noreplaygain -b 112 "$WORK/a.wav" "$rain/02 Downpour.mp3"
cp "$WORK/folder.jpg" "$rain/folder.jpg"
lame --quiet --noreplaygain -V 4 "$WORK/d.wav" "$loose/untagged.mp3"
lame --quiet --noreplaygain -b 96 -m m "$WORK/d.wav" "$loose/old v1 tag.mp3"

# FLAC's own tool for its comments and picture block.
metaflac --set-tag="TITLE=Aurora" --set-tag="ARTIST=Aurora Lane" --set-tag="ALBUM=Northern Lights" \
    --set-tag="TRACKNUMBER=3" --set-tag="DATE=2021" \
    --import-picture-from="3|image/jpeg|Front cover||$WORK/northern.jpg" "$northern/03 Aurora.flac"

"$PY" - "$northern" "$sakura" "$cafe" "$rain" "$loose" "$WORK" <<'EOF'
import base64, sys
from mutagen import id3
from mutagen.flac import Picture
from mutagen.mp4 import MP4, MP4Cover
from mutagen.oggvorbis import OggVorbis
northern, sakura, cafe, rain, loose, work = sys.argv[1:7]
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
    id3.TALB(encoding=0, text="Northern Lights"), id3.TRCK(encoding=0, text="1/4"),
    id3.TYER(encoding=0, text="2021"), id3.TCON(encoding=0, text="(52)"),
    id3.COMM(encoding=0, lang="eng", desc="", text="Recorded at dawn."),
    id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="Front cover", data=read("northern.jpg")),
], v1=2)
tag(northern + "/02 Polar Night.mp3", 4, [
    id3.TIT2(encoding=3, text="Polar Night"), id3.TPE1(encoding=3, text="Aurora Lane"),
    id3.TALB(encoding=3, text="Northern Lights"), id3.TRCK(encoding=3, text="2/4"),
    id3.TCON(encoding=3, text="Ambient"),
    id3.APIC(encoding=3, mime="image/jpeg", type=3, desc="", data=read("northern.jpg")),
])
# Ogg Vorbis carries its picture as a base64 FLAC picture block in a comment.
ogg = OggVorbis(northern + "/04 Solstice.ogg")
ogg["TITLE"], ogg["ARTIST"], ogg["ALBUM"], ogg["TRACKNUMBER"] = "Solstice", "Aurora Lane", "Northern Lights", "4"
pic = Picture()
pic.type, pic.mime, pic.desc, pic.data = 3, "image/jpeg", "Front cover", read("northern.jpg")
pic.width, pic.height, pic.depth = 300, 300, 24
ogg["METADATA_BLOCK_PICTURE"] = base64.b64encode(pic.write()).decode("ascii")
ogg.save()
tag(sakura + "/01 花見.mp3", 3, [
    id3.TIT2(encoding=1, text="花見 (Hanami)"), id3.TPE1(encoding=1, text="Kōji & The Strings"),
    id3.TALB(encoding=1, text="桜 (Sakura)"), id3.TRCK(encoding=0, text="1"),
    id3.APIC(encoding=1, mime="image/png", type=3, desc="Sakura", data=read("sakura.png")),
])
m4a = MP4(cafe + "/01 Pétales.m4a")
m4a["\xa9nam"], m4a["\xa9ART"], m4a["\xa9alb"] = ["Pétales"], ["Élodie Marchand"], ["Café Lumière"]
m4a["trkn"] = [(1, 1)]
m4a["covr"] = [MP4Cover(read("petals.jpg"), imageformat=MP4Cover.FORMAT_JPEG)]
m4a.save()
drizzle = OggVorbis(rain + "/01 Drizzle.ogg")
drizzle["TITLE"], drizzle["ARTIST"], drizzle["ALBUM"] = "Drizzle", "Rain on Tin", "Field Notes"
drizzle.save()
tag(rain + "/02 Downpour.mp3", 3, [
    id3.TIT2(encoding=0, text="Downpour"), id3.TPE1(encoding=0, text="Rain on Tin"),
    id3.TALB(encoding=0, text="Field Notes"), id3.TRCK(encoding=0, text="2"),
])
# Only an ID3v1.1 tag, as old players wrote them.
def field(text, width):
    raw = text.encode("latin-1")
    return raw + b"\0" * (width - len(raw))
block = (b"TAG" + field("Old Timer", 30) + field("Tape Deck", 30) + field("Cassette Days", 30) + b"1987"
         + field("Found in a drawer", 28) + b"\0\x04" + bytes([17]))
with open(loose + "/old v1 tag.mp3", "ab") as f:
    f.write(block)
EOF

if [ "${WMA_SUPPORTED:-0}" = 1 ]; then
    ff -i "$WORK/b.wav" -c:a wmav2 -b:a 96k -metadata title="Night Bus" -metadata artist="Rain on Tin" \
        -metadata album="Field Notes" -bitexact -fflags +bitexact "$rain/03 Night Bus.wma"
fi

# A WMA track as Windows Media Player tags one (mutagen): text attributes, the track number as a DWORD and
# a JPEG front cover in WM/Picture, where WMA is read.
if [ "${WMA_SUPPORTED:-0}" = 1 ]; then
    lantern="$LIB/Night Signals/Lantern Coast"
    mkdir -p "$lantern"
    cover "$WORK/lantern.jpg" 300x300 gradient:'#0b3954-#ff6663' 'Lantern\nCoast'
    ff -i "$WORK/c.wav" -c:a wmav2 -b:a 128k -map_metadata -1 -bitexact -fflags +bitexact \
        "$lantern/01 Harbour Lights.wma"
    "$PY" - "$lantern/01 Harbour Lights.wma" "$WORK/lantern.jpg" <<'EOF'
import struct, sys
from mutagen.asf import ASF, ASFByteArrayAttribute, ASFDWordAttribute
path, cover = sys.argv[1:3]
with open(cover, "rb") as f:
    data = f.read()
# WM/Picture: picture type, data length, MIME type and description (UTF-16, zero-terminated), data.
picture = (struct.pack("<BI", 3, len(data)) + "image/jpeg\0".encode("utf-16-le") +
           "Front cover\0".encode("utf-16-le") + data)
wma = ASF(path)
wma["Title"], wma["Author"], wma["WM/AlbumTitle"] = ["Harbour Lights"], ["Night Signals"], ["Lantern Coast"]
wma["WM/TrackNumber"] = [ASFDWordAttribute(1)]
wma["WM/Year"], wma["WM/Genre"] = ["2023"], ["Ambient"]
wma["WM/Picture"] = [ASFByteArrayAttribute(picture)]
wma.save()
EOF
fi
