# Functions behind ./run. Sourced; expects ROOT and JOBS.

APT_PACKAGES=(
    ccache ninja-build cmake g++ pkg-config dpkg-dev
    mingw-w64 mingw-w64-tools g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev
    wine64 wine libwine-dev xvfb xauth
    libjpeg-dev libpng-dev libgif-dev libtiff-dev zlib1g-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev libtag1-dev
    clang libclang-rt-14-dev
    lame flac vorbis-tools ffmpeg python3-mutagen imagemagick libjpeg-turbo-progs
    valgrind linux-perf
    autoconf automake libtool make nasm
)

log() { printf '\n== %s\n' "$*" >&2; }

apt_missing() {
    local p missing=()
    for p in "${APT_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    printf '%s\n' "${missing[@]}"
}

setup_all() {
    local missing
    missing="$(apt_missing)"
    if [ -n "$missing" ]; then
        log "installing packages: $(echo $missing)"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        # shellcheck disable=SC2086
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    fi
    local triple
    for triple in x86_64-w64-mingw32 i686-w64-mingw32; do
        bash "$ROOT/cmake/build-mingw-deps.sh" "$triple" "$ROOT/build/deps-$triple"
    done
}

generate_fixtures() {
    # Each generator is idempotent and writes below build/fixtures/.
    local g
    mkdir -p "$ROOT/build/fixtures"
    for g in "$ROOT"/tests/fixtures/make-*.sh; do
        [ -e "$g" ] || continue
        bash "$g" "$ROOT/build/fixtures" || { echo "fixture generator failed: $g" >&2; return 1; }
    done
}

configure_build() {
    local preset="$1"
    log "configure and build: $preset"
    cmake --preset "$preset" -Wno-dev >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}

# ---- Wine session: one Xvfb, one prefix, one persistent wineserver for a whole run --------------
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

wine_up() {
    export MELLODECK_WINEPREFIX="$ROOT/build/mingw64/wineprefix"
    export WINEPREFIX="$MELLODECK_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local dfile
    dfile="$(mktemp)"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$dfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$dfile" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(tr -d '\n' <"$dfile")"
    rm -f "$dfile"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating Wine prefix"
        mkdir -p "$WINEPREFIX"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        wine_reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
        wine_reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
        wine_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
        wine_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d ''
        "$WINESERVER" -w
    fi
    "$WINESERVER" -p
    # Warm the server: the services Wine starts inherit stdio and would otherwise hold CTest's pipe.
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_reg() { "$WINE" reg "$@" /f </dev/null >/dev/null 2>&1; }

wine_down() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

# ---- tests ---------------------------------------------------------------------------------------
TOTAL_PASSED=0
TOTAL_FAILED=0
TOTAL_SKIPPED=0

# junit_counts <file>: "passed failed skipped" from CTest's JUnit report. A test that ran and passed is
# "run"; "fail" failed; "notrun" (a GTEST_SKIP, a missing executable, a failed requirement) and "disabled"
# were skipped. A report that cannot be read prints nothing.
junit_counts() {
    python3 - "$1" <<'PY' 2>/dev/null
import sys
import xml.etree.ElementTree as ET
counts = {"passed": 0, "failed": 0, "skipped": 0}
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status", "")
    if status == "run" and case.find("failure") is None and case.find("skipped") is None:
        counts["passed"] += 1
    elif status in ("notrun", "disabled") or (status == "run" and case.find("skipped") is not None):
        counts["skipped"] += 1
    else:
        counts["failed"] += 1
print(counts["passed"], counts["failed"], counts["skipped"])
PY
}

# ctest_count <preset> [ctest args]: runs CTest and adds the counts of its JUnit report to the totals.
ctest_count() {
    local preset="$1"
    shift
    local junit rc=0 counts
    junit="$(mktemp --suffix=.xml)"
    log "tests: $preset"
    ctest --test-dir "$ROOT/build/$preset" --output-on-failure --output-junit "$junit" -j "$JOBS" "$@" </dev/null ||
        rc=$?
    counts="$(junit_counts "$junit")"
    rm -f "$junit"
    if [ -z "$counts" ]; then
        # CTest failed before it could report: the suite counts as one failure.
        echo "no test report from CTest for $preset (exit status $rc)" >&2
        TOTAL_FAILED=$((TOTAL_FAILED + 1))
        return
    fi
    local passed failed skipped
    read -r passed failed skipped <<<"$counts"
    if [ $((passed + failed + skipped)) -eq 0 ]; then
        echo "no tests found in $preset" >&2
        TOTAL_FAILED=$((TOTAL_FAILED + 1))
        return
    fi
    if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ] && [ "$skipped" -eq 0 ]; then
        # CTest failed although every listed test passed (e.g. a discovery step): never read that as green.
        echo "CTest exited with status $rc for $preset" >&2
        failed=1
    fi
    echo "$preset: $passed passed, $failed failed, $skipped skipped" >&2
    TOTAL_PASSED=$((TOTAL_PASSED + passed))
    TOTAL_FAILED=$((TOTAL_FAILED + failed))
    TOTAL_SKIPPED=$((TOTAL_SKIPPED + skipped))
}

run_tests() {
    setup_all
    generate_fixtures
    local status=0 preset
    for preset in linux linux-asan; do
        if configure_build "$preset"; then
            ASAN_OPTIONS=detect_leaks=1 ctest_count "$preset"
        else
            TOTAL_FAILED=$((TOTAL_FAILED + 1)); status=1
        fi
    done
    if configure_build mingw64; then
        trap wine_down EXIT
        wine_up
        ctest_count mingw64
        wine_down
        trap - EXIT
    else
        TOTAL_FAILED=$((TOTAL_FAILED + 1)); status=1
    fi
    if ! configure_build mingw32; then
        log "mingw32 build failed"
        TOTAL_FAILED=$((TOTAL_FAILED + 1)); status=1
    fi
    # A skipped test is a failure of the run: a missing fixture must never read as a pass.
    [ "$TOTAL_FAILED" -eq 0 ] && [ "$TOTAL_SKIPPED" -eq 0 ] || status=1
    echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed, $TOTAL_SKIPPED skipped"
    return $status
}
