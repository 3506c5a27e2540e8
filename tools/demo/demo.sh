#!/usr/bin/env bash
# The demo: the product as its users meet it. Builds the Windows targets, generates a small tagged music
# library (tools/demo/make-library.sh), prepares the Wine prefix, registers mellodeck.dll with regsvr32 (the
# sidebar's stand-in registrar first, as an installed sidebar would have it), and runs
# mellodeck-demo-driver.exe, which installs the stand-in player with the helper plug-in and the player's
# file-type registration, creates the control by its class in the stand-in sidebar and walks it through its
# states, the About box and the options page, writing a PNG per state and build/demo/index.md.
# Also shows what mellodeck-tags reads from the library.
# Usage: tools/demo/demo.sh [--interactive] [--docs]   (./run demo calls it after ./run setup)
#   --interactive  with a real display ($DISPLAY), run on it and leave the panel's window open afterwards
#   --docs         copy a few of the pictures into docs/ for the README
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-2}"
OUT="$ROOT/build/demo"
LIB="$OUT/library"
interactive=0
docs=0
for arg in "$@"; do
    case "$arg" in
        --interactive) interactive=1 ;;
        --docs) docs=1 ;;
        *) echo "usage: ./run demo [--interactive] [--docs]" >&2; exit 2 ;;
    esac
done
REAL_DISPLAY="${DISPLAY:-}"
if [ "$interactive" = 1 ] && [ -z "$REAL_DISPLAY" ]; then
    echo "--interactive needs a display (\$DISPLAY is empty); running the walk on a virtual one" >&2
    interactive=0
fi

say() { printf '\n== %s\n' "$*"; }
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

triple=x86_64-w64-mingw32
deps="${MELLODECK_DEPS_PREFIX:-$ROOT/build/deps-$triple}"
if ! command -v "$triple-g++-posix" >/dev/null || [ ! -x /usr/lib/wine/wine64 ] || [ ! -f "$deps/include/jpeglib.h" ]; then
    echo "the demo needs the MinGW compilers, Wine and the codec libraries in ${deps#"$ROOT"/}: ./run setup" >&2
    exit 1
fi

say "building the Windows targets (x86-64)"
cmake --preset mingw64 -Wno-dev -DMELLODECK_DEPS_PREFIX="$deps" >/dev/null
targets=(mellodeck-demo-driver standin-player gen_Pelorix mellodeck-tags mellodeck standin-registrar
    mellodeck-tageditor)
cmake --build --preset mingw64 -j "$JOBS" --target "${targets[@]}"
BIN="$ROOT/build/mingw64/bin"
TAGS_EXE="$ROOT/build/mingw64/tools/tags/mellodeck-tags.exe"

source "$ROOT/cmake/run-lib.sh"
# The COM server is unregistered again however the demo ends, so the prefix is left as it was found.
cleanup() {
    "$WINE" regsvr32 /s /u "$(winpath "$BIN/mellodeck.dll")" >/dev/null 2>&1 || true
    "$WINE" regsvr32 /s /u "$(winpath "$BIN/standin-registrar.dll")" >/dev/null 2>&1 || true
    wine_down
}
trap cleanup EXIT
wine_up

# WMA joins the library only when the tag library reads it here (it needs the Windows Media runtime).
wma=0
# The list is taken whole first: under pipefail, grep -q leaving early could break the pipe and hide a match.
formats="$(LC_ALL=C.UTF-8 "$WINE" "$TAGS_EXE" --list-formats </dev/null 2>/dev/null | tr -d '\r' || true)"
if grep -qx '.wma' <<<"$formats"; then
    wma=1
fi
say "generating the library in ${LIB#"$ROOT"/}$([ "$wma" = 1 ] || echo ' (no WMA: the tag library reads it only with the Windows Media runtime)')"
mkdir -p "$OUT"
WMA_SUPPORTED="$wma" bash "$ROOT/tools/demo/make-library.sh" "$LIB"
(cd "$LIB" && find . -type f | LC_ALL=C sort | sed 's|^\./|  |')
mapfile -t FILES < <(find "$LIB" -type f ! -name 'folder.jpg' | LC_ALL=C sort)
winfiles=()
for f in "${FILES[@]}"; do
    winfiles+=("$(winpath "$f")")
done
say "what mellodeck-tags.exe reads from it under Wine"
LC_ALL=C.UTF-8 "$WINE" "$TAGS_EXE" "${winfiles[@]}" </dev/null | tr -d '\r' || true

# The tag editor, where it is built, is registered the way its installer does.
if [ -f "$BIN/mellodeck-tageditor.exe" ]; then
    wine_reg add 'HKCU\Software\Marquill' /v Executable /d "$(winpath "$BIN/mellodeck-tageditor.exe")"
fi

say "registering the control: regsvr32 mellodeck.dll"
"$WINE" regsvr32 /s "$(winpath "$BIN/standin-registrar.dll")" </dev/null
if ! "$WINE" regsvr32 /s "$(winpath "$BIN/mellodeck.dll")" </dev/null; then
    echo "  regsvr32 mellodeck.dll failed" >&2
    exit 1
fi
clsid="$("$WINE" reg query 'HKCR\Tracklight.GoogleSideBarX\Clsid' /ve </dev/null 2>/dev/null | tr -d '\r' | grep -o '{[^}]*}' || true)"
echo "  the control's class: ${clsid:-not found}"

rm -f "$OUT"/*.png "$OUT/index.md"
driver=("$BIN/mellodeck-demo-driver.exe" --out "$(winpath "$OUT")" --library "$(winpath "$LIB")"
    --standin "$(winpath "$BIN/standin-player.exe")" --helper "$(winpath "$BIN/gen_Pelorix.dll")" --hosted)
status=0
if [ "$interactive" = 1 ]; then
    # The prefix exists now; the walk runs on the person's display and the window stays open.
    wine_down
    say "the walk on $REAL_DISPLAY; close the sidebar's window to end"
    DISPLAY="$REAL_DISPLAY" LC_ALL=C.UTF-8 "$WINE" "${driver[@]}" --interactive </dev/null | tr -d '\r' || status=$?
    "$WINESERVER" -k 2>/dev/null || true
else
    say "the walk through the panel's states"
    LC_ALL=C.UTF-8 "$WINE" "${driver[@]}" </dev/null | tr -d '\r' || status=$?
fi

if [ "$docs" = 1 ] && [ -f "$OUT/index.md" ]; then
    mkdir -p "$ROOT/docs"
    for shot in 02-not-running 05-next 08-no-tags 11-wide 12-about; do
        cp "$OUT/$shot.png" "$ROOT/docs/demo-$shot.png"
    done
    say "copied five pictures into docs/"
fi

say "the pictures and their index"
if [ -f "$OUT/index.md" ]; then
    echo "  $OUT/index.md"
else
    echo "  no index: the panel could not be hosted" >&2
fi
if [ "$status" != 0 ]; then
    echo "  some states did not look as they should (see above and the index)" >&2
    exit 1
fi
