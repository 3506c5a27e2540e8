#!/usr/bin/env bash
# Bounded libFuzzer runs of every fuzz target: builds the `fuzz` preset, then runs each fuzz_* executable
# for FUZZ_SECONDS (default 60) with its corpus in build/fuzz-corpus/<name>, seeded from the generated
# fixtures that match the target. Crash inputs go to build/fuzz-artifacts/<name>/. Exits non-zero when any
# target finds something (crash, sanitizer report, timeout, memory blow-up).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
FUZZ_SECONDS="${FUZZ_SECONDS:-60}"

# Seeds: the fixture generators are idempotent and cheap once run; a missing tool only costs seeds.
mkdir -p build/fixtures
for g in tests/fixtures/make-*.sh; do
    [ -e "$g" ] || continue
    bash "$g" build/fixtures >/dev/null 2>&1 || echo "fuzz: $g failed; its targets run without seeds" >&2
done

cmake --preset fuzz -Wno-dev >/dev/null
cmake --build --preset fuzz -j2

# Fixture folders whose files seed a target (the loss fixtures add the layouts common taggers leave).
seed_folders() {
    case "$1" in
    fuzz_picture) echo build/fixtures/images ;;
    fuzz_flac) echo build/fixtures/flacogg build/fixtures/losses/seeds-flac ;;
    fuzz_ogg) echo build/fixtures/flacogg build/fixtures/losses/seeds-ogg ;;
    *) echo "build/fixtures/${1#fuzz_} build/fixtures/losses/seeds-${1#fuzz_}" ;;
    esac
}

mapfile -t targets < <(find build/fuzz -type f -name 'fuzz_*' -perm -u+x ! -name '*.*' | sort)
if [ "${#targets[@]}" -eq 0 ]; then
    echo "fuzz: no fuzz targets were built" >&2
    exit 1
fi

status=0
for exe in "${targets[@]}"; do
    name="$(basename "$exe")"
    corpus="build/fuzz-corpus/$name"
    artifacts="build/fuzz-artifacts/$name"
    log="build/fuzz-artifacts/$name.log"
    mkdir -p "$corpus" "$artifacts"
    dirs=("$corpus")
    seeds=""
    for folder in $(seed_folders "$name"); do
        [ -d "$folder" ] && dirs+=("$folder") && seeds="$seeds $folder"
    done
    echo "== $name: ${FUZZ_SECONDS}s, corpus $corpus${seeds:+, seeds $seeds}"
    if "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "${dirs[@]}" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -n 2 || true
    else
        status=1
        echo "fuzz: $name found a problem (log $log, inputs in $artifacts/):" >&2
        grep -E -A 25 '^==[0-9]+==ERROR|runtime error|ERROR: libFuzzer' "$log" | head -n 60 >&2 || tail -n 40 "$log" >&2
    fi
done
exit $status
