#!/usr/bin/env bash
# Runs the WMA save tests under Wine with MELLODECK_WMA_SAVES set, then reads every saved file with mutagen
# (check-saves.py against its .expect) and decodes it with ffmpeg, which must say nothing.
# usage: check-saves.sh SOURCE_DIR TEST_EXE OUT_DIR FIXTURE_DIR
set -euo pipefail
src="$1" exe="$2" out="$3" fixtures="$4"
rm -rf "$out"
mkdir -p "$out"
MELLODECK_WMA_SAVES="$out" WINEDEBUG=-all "$src/cmake/wine-run" "$exe" --gtest_filter='WmaTest.Save*:WmaTest.Several*' \
    </dev/null
count=0
for saved in "$out"/*.wma; do
    [ -e "$saved" ] || continue
    /usr/bin/python3 "$src/tests/win/wma/check-saves.py" "$saved" "${saved%.wma}.expect" "$fixtures"
    complaints="$(ffmpeg -nostdin -v error -i "$saved" -f null - 2>&1)"
    [ -z "$complaints" ] || { echo "ffmpeg: $saved: $complaints" >&2; exit 1; }
    count=$((count + 1))
done
[ "$count" -eq 3 ] || { echo "expected 3 saved files, found $count" >&2; exit 1; }
echo "$count saved files read back by mutagen and ffmpeg"
