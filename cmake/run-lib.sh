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

# ctest_count <preset> [ctest args]: runs CTest and adds its counts to the totals.
ctest_count() {
    local preset="$1"
    shift
    local out rc=0
    out="$(mktemp)"
    log "tests: $preset"
    ctest --test-dir "$ROOT/build/$preset" --output-on-failure -j "$JOBS" "$@" </dev/null 2>&1 | tee "$out" || rc=$?
    local line total failed
    line="$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n 1 || true)"
    if [ -n "$line" ]; then
        failed="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")"
        total="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")"
        TOTAL_PASSED=$((TOTAL_PASSED + total - failed))
        TOTAL_FAILED=$((TOTAL_FAILED + failed))
    elif [ "$rc" -ne 0 ] || ! grep -q 'No tests were found' "$out"; then
        # CTest itself failed before counting: count the suite as one failure.
        TOTAL_FAILED=$((TOTAL_FAILED + 1))
    fi
    rm -f "$out"
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
    [ "$TOTAL_FAILED" -eq 0 ] || status=1
    echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed"
    return $status
}
