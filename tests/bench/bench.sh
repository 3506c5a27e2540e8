#!/usr/bin/env bash
# ./run bench: builds the native Release preset, generates the benchmark set once (build/bench-set), and
# runs the reading benchmark. Arguments go to mellodeck-bench (e.g. --rounds 3). The output ends with the
# four figures for scripts: tags_only_ratio, panel_read_ms, walk_ratio, memory_ratio.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
JOBS="${JOBS:-$(nproc)}"

echo "== configure and build: linux-release" >&2
cmake --preset linux-release -Wno-dev >/dev/null
cmake --build --preset linux-release -j "$JOBS" --target mellodeck-bench mellodeck-bench-memory >&2

echo "== benchmark set" >&2
bash "$ROOT/tests/bench/make-bench-set.sh" "$ROOT/build/bench-set"

echo "== benchmark" >&2
exec "$ROOT/build/linux-release/tests/bench/mellodeck-bench" "$@" "$ROOT/build/bench-set"
