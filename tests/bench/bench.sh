#!/usr/bin/env bash
# ./run bench: builds the native Release preset, generates the benchmark set once (build/bench-set), and
# runs the reading benchmark; then the panel's figures under Wine (mellodeck-panel-bench from the
# mingw64-release preset, against the stand-in player). Arguments go to mellodeck-bench (e.g. --rounds 3).
# The output ends with the figures for scripts: tags_only_ratio, panel_read_ms, walk_ratio, memory_ratio,
# track_change_ms, idle_cpu_percent.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-$(nproc)}"

echo "== configure and build: linux-release" >&2
cmake --preset linux-release -Wno-dev >/dev/null
cmake --build --preset linux-release -j "$JOBS" --target mellodeck-bench mellodeck-bench-memory >&2

echo "== benchmark set" >&2
bash "$ROOT/tests/bench/make-bench-set.sh" "$ROOT/build/bench-set"

echo "== configure and build: mingw64-release (the panel under Wine)" >&2
cmake --preset mingw64-release -Wno-dev >/dev/null
cmake --build --preset mingw64-release -j "$JOBS" --target mellodeck-panel-bench standin-player gen_Pelorix >&2
bash "$ROOT/tests/bench/make-panel-set.sh" "$ROOT/build/bench-panel-set"

echo "== benchmark" >&2
"$ROOT/build/linux-release/tests/bench/mellodeck-bench" "$@" "$ROOT/build/bench-set" >"$ROOT/build/bench-output.txt"
# The four figures come last in the reader's output; the panel's two are printed after them.
head -n -4 "$ROOT/build/bench-output.txt"

source "$ROOT/cmake/run-lib.sh"
trap wine_down EXIT
wine_up >&2
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }
bin="$ROOT/build/mingw64-release/bin"
"$WINE" "$bin/mellodeck-panel-bench.exe" --set "$(winpath "$ROOT/build/bench-panel-set")" \
    --standin "$(winpath "$bin/standin-player.exe")" --helper "$(winpath "$bin/gen_Pelorix.dll")" \
    --work "$(winpath "$ROOT/build/bench-panel")" </dev/null | tr -d '\r' >"$ROOT/build/bench-panel-output.txt" || true
grep -v -e '^track_change_ms:' -e '^idle_cpu_percent:' "$ROOT/build/bench-panel-output.txt" || true
tail -n 4 "$ROOT/build/bench-output.txt"
grep -e '^track_change_ms:' -e '^idle_cpu_percent:' "$ROOT/build/bench-panel-output.txt" ||
    { echo "the panel benchmark printed no figures" >&2; exit 1; }
