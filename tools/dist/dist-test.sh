#!/usr/bin/env bash
# The test of the x64 release: the zip made from this build tree (no build), then its install/uninstall
# round trip in a fresh prefix (roundtrip.sh). Run by CTest in the mingw64 tree once mellodeck.dll is built.
# Usage: dist-test.sh <scratch folder> <standin-registrar.dll>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
scratch="${1:?usage: dist-test.sh <scratch folder> <standin-registrar.dll>}"
rm -rf "$scratch"
mkdir -p "$scratch"
bash "$here/dist.sh" --arch x64 --no-build --out "$scratch/dist"
zip="$(ls "$scratch"/dist/mellodeck-*-x64.zip)"
# The listing is taken whole first: grep -q stops at the first match, and under pipefail the listing's
# broken pipe would fail the check on a zip that does hold the file.
listing="$(unzip -l "$zip")"
grep -q '/mellodeck.dll$' <<<"$listing" || { echo "the zip holds no mellodeck.dll" >&2; exit 1; }
bash "$here/roundtrip.sh" "$zip" "${2:?usage}" "$scratch/roundtrip"
