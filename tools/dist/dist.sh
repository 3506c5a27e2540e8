#!/usr/bin/env bash
# ./run dist: the release for Windows users, one folder and one zip per architecture in build/dist/:
#   mellodeck-<version>-x64/ and .zip (from the mingw64 build), mellodeck-<version>-x86/ and .zip (mingw32)
# holding the artifacts that the build makes (mellodeck.dll, gen_Pelorix.dll, mellodeck-tageditor.exe,
# mellodeck-tags.exe), install.cmd, uninstall.cmd and README.txt. The version is the project's (project()
# in CMakeLists.txt); every version block of our own files must carry it, or the release is refused.
# Usage: dist.sh [--arch x64|x86] [--no-build] [--out DIR]   (default: both, built first, into build/dist)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-2}"
HERE="$ROOT/tools/dist"
DIST="$ROOT/build/dist"
pairs=(x64:mingw64 x86:mingw32)
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --arch) [ "${2:-}" = x86 ] && pairs=(x86:mingw32) || pairs=(x64:mingw64); shift 2 ;;
        --no-build) build=0; shift ;;
        --out) DIST="$2"; shift 2 ;;
        *) echo "usage: dist.sh [--arch x64|x86] [--no-build] [--out DIR]" >&2; exit 2 ;;
    esac
done
VERSION="$(sed -nE 's/^project\(Mellodeck VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' CMakeLists.txt)"
[ -n "$VERSION" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
say() { printf '\n== %s\n' "$*"; }

mkdir -p "$DIST"
status=0
for pair in "${pairs[@]}"; do
    arch="${pair%%:*}"
    preset="${pair#*:}"
    if [ "$build" = 1 ]; then
        say "building $arch ($preset)"
        cmake --preset "$preset" -Wno-dev >/dev/null
        available="$(cmake --build --preset "$preset" --target help 2>/dev/null || true)"
        targets=()
        for t in mellodeck gen_Pelorix mellodeck-tageditor mellodeck-tags; do
            grep -q "^$t:" <<<"$available" && targets+=("$t")
        done
        cmake --build --preset "$preset" -j "$JOBS" --target "${targets[@]}"
    fi

    name="mellodeck-$VERSION-$arch"
    folder="$DIST/$name"
    rm -rf "$folder" "$DIST/$name.zip"
    mkdir -p "$folder"
    bin="$ROOT/build/$preset/bin"
    for f in "$bin/mellodeck.dll" "$bin/gen_Pelorix.dll" "$ROOT/build/$preset/tools/tageditor/mellodeck-tageditor.exe" \
        "$ROOT/build/$preset/tools/tags/mellodeck-tags.exe"; do
        [ -f "$f" ] && cp "$f" "$folder/"
    done
    # A tag editor built elsewhere in the tree still ships when it is the product's one.
    if [ ! -f "$folder/mellodeck-tageditor.exe" ] && [ -f "$bin/mellodeck-tageditor.exe" ]; then
        cp "$bin/mellodeck-tageditor.exe" "$folder/"
    fi
    # The build trees carry debug information; users get the code alone.
    strip_tool="$([ "$arch" = x64 ] && echo x86_64 || echo i686)-w64-mingw32-strip"
    for f in "$folder"/*.dll "$folder"/*.exe; do
        [ -f "$f" ] && "$strip_tool" --strip-debug "$f"
    done
    # Windows line ends for the scripts and the text a user opens in Notepad.
    for f in install.cmd uninstall.cmd; do
        sed 's/\r*$/\r/' "$HERE/$f" >"$folder/$f"
    done
    sed -e "s/@VERSION@/$VERSION/" -e "s/@ARCH@/$arch/" "$HERE/README.txt" | sed 's/\r*$/\r/' >"$folder/README.txt"

    # Every version block of the release's own files carries the project's version. The tag editor keeps
    # its own numbering: the panel asks for a minimum editor version, not Mellodeck's.
    while read -r file fixed text; do
        base="$(basename "$file")"
        [ "$base" = mellodeck-tageditor.exe ] && continue
        if [ "$fixed" = none ]; then
            echo "  $base has no version block" >&2
            status=1
        elif [ "$fixed" != "fixed=$VERSION.0" ] || [ "${text#text=}" != "$VERSION.0" ]; then
            echo "  $base carries $fixed $text, the project is $VERSION" >&2
            status=1
        fi
    done < <(python3 "$HERE/pe-version.py" "$folder"/*.dll "$folder"/*.exe 2>/dev/null)

    (cd "$DIST" && python3 - "$name" <<'PY'
import os, sys, zipfile
name = sys.argv[1]
with zipfile.ZipFile(name + ".zip", "w", zipfile.ZIP_DEFLATED) as z:
    for f in sorted(os.listdir(name)):
        info = zipfile.ZipInfo(name + "/" + f, date_time=(2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(name, f), "rb") as src:
            z.writestr(info, src.read())
PY
    )
    say "$name.zip"
    (cd "$folder" && ls -l | sed 1d | awk '{printf "  %-26s %9d bytes\n", $9, $5}')
    missing=()
    for f in mellodeck.dll gen_Pelorix.dll mellodeck-tageditor.exe mellodeck-tags.exe; do
        [ -f "$folder/$f" ] || missing+=("$f")
    done
    [ ${#missing[@]} -eq 0 ] || echo "  not built yet, so not included: ${missing[*]}"
done
say "release folders and zips in ${DIST#"$ROOT"/}"
ls -1 "$DIST"/*.zip | sed 's/^/  /'
exit $status
