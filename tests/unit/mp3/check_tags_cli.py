#!/usr/bin/env python3
"""Runs mellodeck-tags as a user would and checks its output against the JSON contract and against what
mutagen, ffprobe and ImageMagick recorded for the fixtures (expected.txt).

Usage: check_tags_cli.py [--windows] [--runner PROGRAM] EXE FIXTURE_DIR SCRATCH_DIR
With --windows the program is a Windows executable: it runs through RUNNER (the Wine runner) and gets
paths in Wine's Z: form.
"""
import json
import os
import shutil
import subprocess
import sys

args = sys.argv[1:]
windows = False
runner = []
while args and args[0].startswith("--"):
    if args[0] == "--windows":
        windows = True
        args = args[1:]
    elif args[0] == "--runner":
        runner = [args[1]] if args[1] else []
        args = args[2:]
EXE, FIXTURES, SCRATCH = args
MP3 = os.path.join(FIXTURES, "mp3")

KEYS = ["path", "ok", "error", "format", "tags", "pictures", "duration", "bitrate", "samplerate", "channels",
        "vbr", "encoder"]
MP3_KEYS = KEYS + ["id3v1", "tags_found"]
SLOTS = ["Artist", "Title", "Album", "Mood", "Genre", "Track", "Comment", "Composer", "Year", "Lyrics", "Lyricist",
         "Conductor", "InvolvedPeople", "OriginalAlbum", "OriginalArtist", "OriginalLyricist", "OriginalYear", "BPM",
         "ISRC", "Publisher", "URL", "EncodedBy", "Copyright", "AlbumArtist", "Compilation"]
PICTURE_KEYS = ["mime", "type", "description", "bytes", "decoded", "width", "height"]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def expected():
    facts = {}
    with open(os.path.join(MP3, "expected.txt"), encoding="utf-8") as f:
        for line in f:
            name, key, value = line.rstrip("\n").split("\t", 2)
            for a, b in (("\\n", "\n"), ("\\r", "\r"), ("\\t", "\t"), ("\\0", "\0"), ("\\\\", "\\")):
                value = value.replace(a, b)
            facts.setdefault(name, {})[key] = value
    return facts


def native(path):
    if not windows:
        return path
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(*arguments):
    env = dict(os.environ, LC_ALL="C.UTF-8")
    result = subprocess.run(runner + [EXE] + list(arguments), capture_output=True, env=env, timeout=300)
    return result.returncode, result.stdout


FACTS = expected()
os.makedirs(SCRATCH, exist_ok=True)
unusual = os.path.join(SCRATCH, "Ärger – 東京 & 'ß'.mp3")
shutil.copy(os.path.join(MP3, "v23-full.mp3"), unusual)
files = ["v23-full.mp3", "json-escape.mp3", "v22.mp3", "vbr-xing.mp3", "id3v1-only.mp3"]
paths = [native(os.path.join(MP3, f)) for f in files] + [native(unusual), native(os.path.join(MP3, "missing.mp3"))]

status, out = run("--json", *paths)
check(status == 1, "exit status %d with a missing file (expected 1)" % status)
lines = out.decode("utf-8").splitlines()  # strict: the output must be UTF-8
check(len(lines) == len(paths), "%d lines for %d files" % (len(lines), len(paths)))
reports = [json.loads(line) for line in lines]

for path, report in zip(paths, reports):
    name = os.path.basename(path.replace("\\", "/"))
    check(report["path"] == path, "path %r != %r" % (report["path"], path))
    check(list(report.keys()) == MP3_KEYS, "keys of %s: %s" % (name, list(report.keys())))
    check(list(report["tags"].keys()) == SLOTS, "tag names of %s" % name)
    check(all(isinstance(v, str) for v in report["tags"].values()), "tag values are strings")
    check(isinstance(report["duration"], (int, float)), "duration is a number")
    for key in ("error", "bitrate", "samplerate", "channels"):
        check(isinstance(report[key], int), "%s of %s is an integer" % (key, name))
    check(isinstance(report["vbr"], bool) and isinstance(report["ok"], bool), "booleans")
    for picture in report["pictures"]:
        check(list(picture.keys()) == PICTURE_KEYS, "picture keys %s" % list(picture.keys()))
    check(sorted(report["id3v1"].keys()) == sorted(["title", "artist", "album", "year", "comment", "track", "genre"]),
          "id3v1 keys")
    if name == "missing.mp3":
        check(not report["ok"] and report["error"] == 2, "missing file: ok false, error 2 (%r)" % report["error"])
        continue
    check(report["ok"] and report["error"] == 0, "%s opened" % name)
    check(report["format"] == "TMP3MediaFormat", "format of %s" % name)
    fixture = "v23-full.mp3" if name.startswith("Ärger") else name
    facts = FACTS[fixture]
    for slot in ("Title", "Artist", "Album", "Year", "Composer", "AlbumArtist", "Publisher", "URL"):
        if "tag." + slot in facts:
            check(report["tags"][slot] == facts["tag." + slot], "%s %s: %r" % (name, slot, report["tags"][slot]))
    check(len(report["pictures"]) == int(facts.get("pictures", "0")), "picture count of %s" % name)
    for i, picture in enumerate(report["pictures"]):
        for key in ("bytes", "width", "height"):
            check(picture[key] == int(facts["picture.%d.%s" % (i, key)]), "%s picture %d %s" % (name, i, key))
        check(picture["decoded"] is True and picture["type"] == int(facts["picture.%d.type" % i]), "picture type")
    check(report["samplerate"] == int(facts["audio.sample_rate"]), "sample rate of %s" % name)
    check(report["channels"] == int(facts["audio.channels"]), "channels of %s" % name)
    check(abs(report["duration"] - float(facts["ffprobe.duration"])) < 0.04, "duration of %s" % name)
    check(report["vbr"] == (facts["audio.mode"] == "VBR"), "vbr of %s" % name)
    found = ["ID3v1"] if facts["id3v1"] == "yes" else []
    found += ["ID3v2"] if facts["id3v2"] == "yes" else []
    check(report["tags_found"] == found, "tags_found of %s: %s" % (name, report["tags_found"]))
    if facts["id3v1"] == "yes":
        check(report["id3v1"]["title"] == facts["v1.title"], "ID3v1 title of %s" % name)
        check(report["id3v1"]["genre"] == int(facts["v1.genre"] or 255), "ID3v1 genre of %s" % name)

status, out = run(native(os.path.join(MP3, "v23-full.mp3")))
check(status == 0, "readable output: exit status %d" % status)
check("Title:" in out.decode("utf-8") and "Grüße" in out.decode("utf-8"), "readable output shows the title")
status, out = run("--list-formats")
check(status == 0 and ".mp3" in out.decode().split(), "--list-formats lists .mp3")
status, _ = run()
check(status == 2, "no files: usage error (%d)" % status)

# --set: edits saved through the library, covers of FLAC and Ogg kept as they were, errors reported.
LOSSES = os.path.join(FIXTURES, "losses")
if os.path.isdir(LOSSES):
    edited = {}
    for name in ("cover.flac", "cover.ogg", "comments.mp3"):
        edited[name] = os.path.join(SCRATCH, "edit " + name)
        shutil.copy(os.path.join(LOSSES, name), edited[name])
    before = {}
    for name, path in edited.items():
        status, out = run("--json", native(path))
        before[name] = json.loads(out.decode("utf-8"))
        check(status == 0 and len(before[name]["pictures"]) == (2 if name != "comments.mp3" else 0),
              "%s read before editing" % name)
        if name != "comments.mp3":
            check([(p["decoded"], p["width"], p["height"]) for p in before[name]["pictures"]] ==
                  [(True, 96, 64), (True, 40, 30)], "covers of %s decoded: %s" % (name, before[name]["pictures"]))
    status, out = run("--set", "Title=Neu ✓", "--set", "artist=", *[native(p) for p in edited.values()])
    lines = out.decode("utf-8").splitlines()
    check(status == 0 and len(lines) == 3 and all(line.endswith(": saved") for line in lines),
          "--set saves every file: %d %r" % (status, lines))
    for name, path in edited.items():
        status, out = run("--json", native(path))
        after = json.loads(out.decode("utf-8"))
        expected = dict(before[name]["tags"], Title="Neu ✓", Artist="")
        check(after["tags"] == expected, "%s after --set: %r" % (name, after["tags"]))
        check(after["pictures"] == before[name]["pictures"], "%s keeps its pictures" % name)
        check(abs(after["duration"] - before[name]["duration"]) < 1e-6, "%s keeps its audio" % name)
    status, out = run("--set", "Album=Mit JSON", "--remove-pictures", "--json", native(edited["cover.ogg"]))
    report = json.loads(out.decode("utf-8"))
    check(status == 0 and report["tags"]["Album"] == "Mit JSON" and report["pictures"] == [],
          "--json prints the file as read back: %r" % report)
    missing = os.path.join(SCRATCH, "missing.flac")
    status, out = run("--set", "Title=x", native(edited["cover.flac"]), native(missing))
    check(status == 1 and out.decode("utf-8").splitlines() == [native(edited["cover.flac"]) + ": saved"],
          "a failed save: exit status 1, the saved file listed (%d %r)" % (status, out))
    status, _ = run("--set", "Nonsense=1", native(edited["cover.flac"]))
    check(status == 2, "an unknown slot is a usage error (%d)" % status)
    for path in edited.values():
        os.remove(path)

os.remove(unusual)
for failure in failures:
    print("FAIL:", failure)
print("%d reports checked, %d failures" % (len(reports), len(failures)))
sys.exit(1 if failures else 0)
