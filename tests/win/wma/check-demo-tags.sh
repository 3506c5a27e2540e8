#!/usr/bin/env bash
# mellodeck-tags.exe under Wine, with the stand-in runtime beside it, reads the demo library's WMA tracks:
# the tags mutagen wrote and the JPEG cover.
# usage: check-demo-tags.sh SOURCE_DIR TAGS_EXE DEMO_LIBRARY
set -euo pipefail
src="$1" exe="$2" lib="$3"
[ -f "$(dirname "$exe")/wmvcore.dll" ] || { echo "no wmvcore.dll beside $exe" >&2; exit 1; }
mapfile -t files < <(find "$lib" -name '*.wma' | LC_ALL=C sort)
[ "${#files[@]}" -ge 2 ] || { echo "the demo library has no WMA tracks (run tests/fixtures/make-wma.sh)" >&2; exit 1; }
args=()
for f in "${files[@]}"; do
    args+=("Z:${f//\//\\}")
done
out="$(LC_ALL=C.UTF-8 WINEDEBUG=-all "$src/cmake/wine-run" "$exe" --json "${args[@]}" </dev/null | tr -d '\r')"
echo "$out"
/usr/bin/python3 - "$out" <<'PY'
import json, sys
rows = {r["path"].replace("\\", "/").rsplit("/", 1)[1]: r for r in map(json.loads, sys.argv[1].splitlines())}
lights = rows["01 Harbour Lights.wma"]
assert lights["ok"] and lights["format"] == "TWMAMediaFormat", lights
tags = lights["tags"]
assert (tags["Title"], tags["Artist"], tags["Album"], tags["Track"], tags["Year"], tags["Genre"]) == \
    ("Harbour Lights", "Night Signals", "Lantern Coast", "1", "2023", "Ambient"), tags
[cover] = lights["pictures"]
assert cover["mime"] == "image/jpeg" and cover["decoded"] and (cover["width"], cover["height"]) == (300, 300), cover
assert lights["duration"] == 4 and lights["bitrate"] == 128, lights
bus = rows["03 Night Bus.wma"]
assert bus["ok"] and bus["tags"]["Title"] == "Night Bus" and bus["tags"]["Artist"] == "Rain on Tin", bus
assert bus["pictures"] == [] and bus["bitrate"] == 96, bus
print("the demo's WMA tracks read as tagged")
PY
