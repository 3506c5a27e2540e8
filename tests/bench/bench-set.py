#!/usr/bin/env python3
"""Helpers of make-bench-set.sh, one process per step.

  bench-set.py slice <source.wav> <workdir> <count>   cuts <count> clips of 3-5 s (fixed seed) from the source
  bench-set.py tag <outdir> <workdir>                 writes nine text fields and a cover into every file of
                                                      <outdir>/files.txt, with mutagen
"""
import base64
import os
import random
import sys
import wave

from mutagen import id3
from mutagen.flac import FLAC, Picture
from mutagen.mp4 import MP4, MP4Cover
from mutagen.oggvorbis import OggVorbis

COVER_COUNT = 4
WALK_FILE = "walk/walk-30mb.mp3"


def cut_clips(source, work, count):
    rng = random.Random(8)
    with wave.open(source, "rb") as src:
        params = src.getparams()
        rate, frames = src.getframerate(), src.getnframes()
        for i in range(count):
            length = int(rate * rng.uniform(3.0, 5.0))
            start = rng.randrange(0, frames - length)
            src.setpos(start)
            data = src.readframes(length)
            with wave.open(os.path.join(work, "clip%02d.wav" % i), "wb") as out:
                out.setparams(params)
                out.writeframes(data)


# ---- texts -----------------------------------------------------------------------------------------
WORDS = ["Amber", "Harbour", "Quiet", "Lantern", "Meridian", "Velvet", "Northern", "Paper", "Signal",
         "Orchard", "Glass", "Winter", "Copper", "Tide", "Echo", "Salt", "Ember", "Hollow", "Atlas",
         "Canvas", "Drift", "Falcon", "Garden", "Horizon", "Island", "Juniper", "Kestrel", "Lumen"]
ACCENTED = ["Café", "Über", "Señor", "Ångström", "Crème", "Noël", "Øresund", "Zoë", "Façade", "Smørrebrød"]
WIDE = ["東京", "Ωmega", "Привет", "夜明け"]
GENRES = ["Rock", "Jazz", "Ambient", "Electronic", "Folk", "Classical", "Pop", "Soundtrack"]


def phrase(rng, words):
    pool = WORDS + ACCENTED if rng.random() < 0.3 else WORDS
    text = " ".join(rng.choice(pool) for _ in range(words))
    if rng.random() < 0.08:
        text += " " + rng.choice(WIDE)
    return text


def texts(index):
    rng = random.Random(1000 + index)
    album_rng = random.Random(index // 10)  # ten tracks an album
    return {
        "title": phrase(rng, rng.randint(1, 4)),
        "artist": phrase(album_rng, 2),
        "album": phrase(album_rng, 3),
        "albumartist": phrase(album_rng, 2),
        "genre": album_rng.choice(GENRES),
        "year": str(1970 + album_rng.randrange(50)),
        "track": index % 10 + 1,
        "tracks": 10,
        "comment": "Generated for the reading benchmark, file %d" % index,
        "composer": phrase(rng, 2),
    }


# ---- writers -----------------------------------------------------------------------------------------
def tag_mp3(path, t, cover, index):
    tags = id3.ID3()
    tags.add(id3.TIT2(encoding=3, text=t["title"]))
    tags.add(id3.TPE1(encoding=3, text=t["artist"]))
    tags.add(id3.TALB(encoding=3, text=t["album"]))
    tags.add(id3.TPE2(encoding=3, text=t["albumartist"]))
    tags.add(id3.TCON(encoding=3, text=t["genre"]))
    tags.add(id3.TDRC(encoding=3, text=t["year"]))
    tags.add(id3.TRCK(encoding=3, text="%d/%d" % (t["track"], t["tracks"])))
    tags.add(id3.COMM(encoding=3, lang="eng", desc="", text=t["comment"]))
    tags.add(id3.TCOM(encoding=3, text=t["composer"]))
    tags.add(id3.APIC(encoding=0, mime="image/jpeg", type=3, desc="", data=cover))
    # Half the files in ID3v2.3 with an ID3v1 tag behind the audio, half in ID3v2.4 alone.
    if index % 2 == 0:
        tags.save(path, v2_version=3, v1=2)
    else:
        tags.save(path, v2_version=4, v1=0)


def vorbis_fields(t):
    return {
        "TITLE": t["title"], "ARTIST": t["artist"], "ALBUM": t["album"], "ALBUMARTIST": t["albumartist"],
        "GENRE": t["genre"], "DATE": t["year"], "TRACKNUMBER": str(t["track"]), "COMMENT": t["comment"],
        "COMPOSER": t["composer"],
    }


def flac_picture(cover):
    pic = Picture()
    pic.type = 3
    pic.mime = "image/jpeg"
    pic.width, pic.height, pic.depth = 600, 600, 24
    pic.data = cover
    return pic


def tag_ogg(path, t, cover):
    f = OggVorbis(path)
    for key, value in vorbis_fields(t).items():
        f[key] = value
    f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(flac_picture(cover).write()).decode("ascii")]
    f.save()


def tag_flac(path, t, cover):
    f = FLAC(path)
    for key, value in vorbis_fields(t).items():
        f[key] = value
    f.add_picture(flac_picture(cover))
    f.save()


def tag_m4a(path, t, cover):
    f = MP4(path)
    f["\xa9nam"] = t["title"]
    f["\xa9ART"] = t["artist"]
    f["\xa9alb"] = t["album"]
    f["aART"] = t["albumartist"]
    f["\xa9gen"] = t["genre"]
    f["\xa9day"] = t["year"]
    f["trkn"] = [(t["track"], t["tracks"])]
    f["\xa9cmt"] = t["comment"]
    f["\xa9wrt"] = t["composer"]
    f["covr"] = [MP4Cover(cover, imageformat=MP4Cover.FORMAT_JPEG)]
    f.save()


def tag_all(out, work):
    covers = []
    for i in range(COVER_COUNT):
        with open(os.path.join(work, "cover%d.jpg" % i), "rb") as c:
            covers.append(c.read())
    with open(os.path.join(out, "files.txt"), encoding="utf-8") as listing:
        names = [line.strip() for line in listing if line.strip()]
    for index, name in enumerate(names):
        path = os.path.join(out, name)
        t = texts(index)
        cover = covers[index % COVER_COUNT]
        ext = os.path.splitext(name)[1]
        if ext == ".mp3":
            tag_mp3(path, t, cover, index)
        elif ext == ".ogg":
            tag_ogg(path, t, cover)
        elif ext == ".flac":
            tag_flac(path, t, cover)
        elif ext == ".m4a":
            tag_m4a(path, t, cover)
        else:
            raise SystemExit("unexpected file in the listing: " + name)
    # The long file for the frame walk carries the same kind of tag as the others.
    tag_mp3(os.path.join(out, WALK_FILE), texts(len(names)), covers[0], 1)


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "slice":
        cut_clips(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif len(sys.argv) == 4 and sys.argv[1] == "tag":
        tag_all(sys.argv[2], sys.argv[3])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()
