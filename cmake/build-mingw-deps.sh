#!/usr/bin/env bash
# Cross-builds the image codec libraries (libjpeg-turbo, libpng, giflib, libtiff) as static MinGW-w64
# libraries from Debian's source packages and exposes them under a per-triple prefix.
#
#   bash cmake/build-mingw-deps.sh <triple> <prefix>
#     <triple>  x86_64-w64-mingw32 | i686-w64-mingw32
#     <prefix>  e.g. build/deps-x86_64-w64-mingw32 (becomes a symlink into the cache below)
#
# zlib is not built: every library is pointed at the static libz.a from libz-mingw-w64-dev.
#
# The installed tree lives outside the source tree, in
#   ${MELLODECK_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mellodeck}/deps-<triple>-<script hash>
# so fresh clones on the same machine reuse it. A tree counts as complete only once its stamp file
# (script hash, triple, source package versions) is written, which happens last. When the stamp is
# there, the script only (re)points <prefix> at the tree and never touches apt or the network.
set -euo pipefail

usage() { echo "usage: $0 <x86_64-w64-mingw32|i686-w64-mingw32> <prefix>" >&2; exit 2; }
die() { echo "build-mingw-deps: $*" >&2; exit 1; }

[ $# -eq 2 ] || usage
triple="$1"
prefix="$2"
case "$triple" in
    x86_64-w64-mingw32) cpu=x86_64 ;;
    i686-w64-mingw32) cpu=x86 ;;
    *) usage ;;
esac
[ -n "$prefix" ] || usage

readonly kStampName=.mellodeck-deps.stamp
# Debian source package names, in build order (libtiff links against the libjpeg built before it).
readonly kSourcePackages=(libjpeg-turbo libpng1.6 giflib tiff)

scriptHash="$(sha256sum "${BASH_SOURCE[0]}" | cut -c1-16)"
cacheRoot="${MELLODECK_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/mellodeck}"
store="$cacheRoot/deps-$triple-$scriptHash"

stamp_is_current() { # <dir>
    [ -f "$1/$kStampName" ] && [ "$(head -n 1 "$1/$kStampName")" = "script $scriptHash $triple" ]
}

# Points <prefix> at the store. A real directory at <prefix> is replaced only if it is one of ours
# (carries a stamp) or empty; anything else is left alone and reported.
link_prefix() {
    local storeAbs
    storeAbs="$(cd "$store" && pwd -P)"
    if [ -L "$prefix" ]; then
        [ "$(readlink "$prefix")" = "$storeAbs" ] && return 0
        rm -f "$prefix"
    elif [ -d "$prefix" ]; then
        if [ -f "$prefix/$kStampName" ] || [ -z "$(ls -A "$prefix")" ]; then
            rm -rf "$prefix"
        else
            die "$prefix exists and was not made by this script; remove it and rerun"
        fi
    elif [ -e "$prefix" ]; then
        die "$prefix exists and is not a directory"
    fi
    mkdir -p "$(dirname "$prefix")"
    ln -s "$storeAbs" "$prefix"
}

# ---- fast path: nothing to build ---------------------------------------------------------------
if stamp_is_current "$prefix"; then
    exit 0
fi
if stamp_is_current "$store"; then
    link_prefix
    exit 0
fi

# ---- slow path ---------------------------------------------------------------------------------
# Host flags must not leak into a cross build.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CC CXX AR RANLIB

mkdir -p "$cacheRoot" || die "cannot create cache directory $cacheRoot"
cacheRoot="$(cd "$cacheRoot" && pwd -P)"
store="$cacheRoot/deps-$triple-$scriptHash"
# One builder at a time on this machine (the apt configuration and the source cache are shared,
# and the cores are too).
exec 9>"$cacheRoot/.build.lock"
if ! flock -n 9; then
    echo "build-mingw-deps: waiting for another build of the codec libraries" >&2
    flock 9
fi
if stamp_is_current "$store"; then # finished by whoever held the lock
    link_prefix
    exit 0
fi

srcCache="$cacheRoot/src"
work="$cacheRoot/build/$triple-$scriptHash"
logs="$work/logs"
# Under the lock nobody else is building, so a tree without a stamp is what a failed or interrupted
# build left behind; so are leftover object trees.
for stale in "$cacheRoot"/deps-*; do
    if [ -d "$stale" ] && [ ! -L "$stale" ] && [ ! -f "$stale/$kStampName" ]; then rm -rf "$stale"; fi
done
rm -rf "$cacheRoot/build"
mkdir -p "$srcCache" "$logs" "$store"

# Prints the tail of a failed step's log and exits.
fail_with_log() { # <what> <log>
    echo "build-mingw-deps: $1 failed; last lines of $2:" >&2
    tail -n 40 "$2" >&2 || true
    exit 1
}

run_logged() { # <log> <command...>
    local log="$1"
    shift
    printf '+ %s\n' "$*" >>"$log"
    "$@" >>"$log" 2>&1
}

# -- build tools ----------------------------------------------------------------------------------
cc="$triple-gcc-posix"
for tool in "$cc" "$triple-ar" "$triple-ranlib" "$triple-windres" cmake ninja dpkg-source apt-get flock; do
    command -v "$tool" >/dev/null || die "$tool not found (./run setup installs the build tools)"
done
if [ ! -f "/usr/$triple/lib/libz.a" ] || [ ! -f "/usr/$triple/include/zlib.h" ]; then
    die "/usr/$triple/lib/libz.a missing: install libz-mingw-w64-dev"
fi
launcher=""
command -v ccache >/dev/null && launcher=ccache

aptLog="$logs/apt.log"
if ! command -v nasm >/dev/null; then
    # libjpeg-turbo's SIMD code is assembled with nasm; without it JPEG coding is several times slower.
    [ "$(id -u)" = 0 ] || die "nasm not found (apt-get install nasm)"
    run_logged "$aptLog" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q -o DPkg::Lock::Timeout=300 --no-install-recommends nasm || fail_with_log "installing nasm" "$aptLog"
fi

# -- source packages ------------------------------------------------------------------------------
has_deb_src() {
    local f
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        if grep -Eq '^[[:space:]]*deb-src[[:space:]]|^Types:.*(^|[[:space:]])deb-src([[:space:]]|$)' "$f"; then
            return 0
        fi
    done
    return 1
}

# Writes deb-src twins of the distribution's own binary entries (same URIs, suites, components
# and keyring) to stdout in deb822 form.
derive_deb_src() {
    local f=/etc/apt/sources.list.d/debian.sources
    if [ -f "$f" ]; then
        awk '
            function reset() { types = ""; uris = ""; suites = ""; comps = ""; signedBy = ""; enabled = ""; last = "" }
            function flush() {
                if (uris != "" && suites != "" && types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no") {
                    print "Types: deb-src"
                    print "URIs: " uris
                    print "Suites: " suites
                    if (comps != "") print "Components: " comps
                    if (signedBy != "") print "Signed-By: " signedBy
                    print ""
                }
                reset()
            }
            BEGIN { reset() }
            /^#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^[ \t]/ {
                if (last == "signed-by") signedBy = signedBy "\n" $0
                else if (last == "uris") uris = uris " " $1
                else if (last == "suites") suites = suites " " $1
                else if (last == "components") comps = comps " " $1
                next
            }
            {
                i = index($0, ":"); if (i == 0) next
                key = tolower(substr($0, 1, i - 1)); val = substr($0, i + 1); sub(/^[ \t]+/, "", val); sub(/[ \t]+$/, "", val)
                last = key
                if (key == "types") types = val
                else if (key == "uris") uris = val
                else if (key == "suites") suites = val
                else if (key == "components") comps = val
                else if (key == "signed-by") signedBy = val
                else if (key == "enabled") enabled = val
            }
            END { flush() }
        ' "$f"
    fi
    # One-line format: "deb [options] uri suite components..."
    if [ -f /etc/apt/sources.list ]; then
        awk '$1 == "deb" {
                opts = ""; i = 2
                if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
                if (i + 1 > NF) next
                uri = $i; suite = $(i + 1); comps = ""
                for (j = i + 2; j <= NF; j++) comps = comps (comps == "" ? "" : " ") $j
                signed = ""
                if (match(opts, /signed-by=[^] ]+/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
                print "Types: deb-src"; print "URIs: " uri; print "Suites: " suite
                if (comps != "") print "Components: " comps
                if (signed != "") print "Signed-By: " signed
                print ""
            }' /etc/apt/sources.list
    fi
}

aptUpdated=0
apt_update() {
    [ "$aptUpdated" = 1 ] && return 0
    aptUpdated=1
    # A suite without source indices (the security archive may lack them) makes apt-get update
    # fail although the other indices were fetched; the per-package checks below decide.
    run_logged "$aptLog" apt-get update -q -o DPkg::Lock::Timeout=300 || true
}

ensure_deb_src() {
    has_deb_src && return 0
    [ "$(id -u)" = 0 ] || die "no deb-src entry in the apt configuration, and not root to add one"
    local entries
    entries="$(derive_deb_src)"
    [ -n "$entries" ] || die "no Debian entries in the apt configuration to derive a deb-src entry from"
    printf '%s\n' "# Source package entries for cross-building Mellodeck's codec libraries." "$entries" \
        >/etc/apt/sources.list.d/mellodeck-src.sources
    apt_update
}

# Source versions apt knows for a package, newest first.
source_versions() { # <package>
    local v sorted=() i
    while read -r v; do
        [ -n "$v" ] || continue
        i=${#sorted[@]}
        sorted+=("$v")
        while [ "$i" -gt 0 ] && dpkg --compare-versions "${sorted[i - 1]}" lt "$v"; do
            sorted[i]="${sorted[i - 1]}"
            i=$((i - 1))
        done
        sorted[i]="$v"
    done < <(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ { print $2 }' | sort -u)
    [ ${#sorted[@]} -eq 0 ] || printf '%s\n' "${sorted[@]}"
}

# Downloads and unpacks <package>=<version> into the source cache unless it is there already;
# succeeds if the unpacked tree is available afterwards.
fetch_source() { # <package> <version>
    local dir="$srcCache/$1_${2//:/%3a}"
    [ -f "$dir/.complete" ] && return 0
    rm -rf "$dir" "$dir.part"
    mkdir -p "$dir.part"
    if (cd "$dir.part" && run_logged "$aptLog" apt-get source -q --only-source "$1=$2"); then
        local tree
        tree="$(find "$dir.part" -mindepth 1 -maxdepth 1 -type d)"
        if [ -n "$tree" ] && [ "$(printf '%s\n' "$tree" | wc -l)" = 1 ]; then
            mv "$tree" "$dir.part/tree"
            touch "$dir.part/.complete"
            mv "$dir.part" "$dir"
            return 0
        fi
    fi
    rm -rf "$dir.part"
    return 1
}

# Sets srcDir and srcVersion for <package>: the newest listed version that is cached or downloads.
select_source() { # <package>
    local pkg="$1" v versions
    while :; do
        versions="$(source_versions "$pkg")"
        if [ -z "$versions" ] && [ "$aptUpdated" = 0 ]; then
            apt_update
            continue
        fi
        for v in $versions; do
            if fetch_source "$pkg" "$v"; then
                srcVersion="$v"
                srcDir="$srcCache/${pkg}_${v//:/%3a}/tree"
                return 0
            fi
        done
        # Stale indices can list files the archive no longer has: refresh once and retry.
        [ "$aptUpdated" = 0 ] || break
        apt_update
    done
    fail_with_log "getting the source of $pkg" "$aptLog"
}

ensure_deb_src

# -- builds ---------------------------------------------------------------------------------------
toolchain="$work/toolchain.cmake"
cat >"$toolchain" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $cpu)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_AR $(command -v "$triple-ar") CACHE FILEPATH "")
set(CMAKE_RANLIB $(command -v "$triple-ranlib") CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH "$store;/usr/$triple")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

zlibArgs=(-DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DZLIB_INCLUDE_DIR="/usr/$triple/include")

# Configures and builds a CMake project: the listed targets only, or everything followed by the
# project's own install step if none are listed.
cmake_build() { # <name> <log> <source> <targets> <cmake args...>
    local name="$1" log="$2" src="$3" targets="$4"
    shift 4
    local bdir="$work/$name" t
    run_logged "$log" cmake -S "$src" -B "$bdir" -G Ninja --toolchain "$toolchain" -Wno-dev \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$store" -DCMAKE_INSTALL_LIBDIR=lib \
        ${launcher:+-DCMAKE_C_COMPILER_LAUNCHER=$launcher} -DBUILD_SHARED_LIBS=OFF "$@" ||
        fail_with_log "configuring $name" "$log"
    local targetArgs=()
    for t in $targets; do targetArgs+=(--target "$t"); done
    run_logged "$log" cmake --build "$bdir" -j 2 "${targetArgs[@]}" || fail_with_log "building $name" "$log"
    if [ -z "$targets" ]; then
        run_logged "$log" cmake --install "$bdir" || fail_with_log "installing $name" "$log"
    fi
}

build_libjpeg_turbo() { # <source> <log>
    # jpeg62 API like Debian's libjpeg62-turbo; SIMD is required so a missing assembler is an error.
    # Only the library is built (the project's install step would want its command-line tools too),
    # so it and the four public headers are installed here, as the project's install rules do.
    local src="$1" log="$2" bdir="$work/libjpeg-turbo" f
    cmake_build libjpeg-turbo "$log" "$src" jpeg-static \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
        -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_ARITH_DEC=ON -DWITH_ARITH_ENC=ON
    install -D -m 644 "$bdir/libjpeg.a" "$store/lib/libjpeg.a"
    for f in "$bdir/jconfig.h" "$src/jerror.h" "$src/jmorecfg.h" "$src/jpeglib.h"; do
        install -D -m 644 "$f" "$store/include/${f##*/}"
    done
}

build_libpng() { # <source> <log>
    cmake_build libpng "$2" "$1" "" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF \
        -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_FILES=ON "${zlibArgs[@]}"
}

build_giflib() { # <source> <log>
    # giflib ships only a GNU makefile aimed at the host; the library is a handful of C files,
    # compiled here as listed in that makefile's SOURCES.
    local src="$1" log="$2" bdir="$work/giflib" sources f objs=()
    sources="$(awk '/\\$/ { sub(/\\$/, ""); line = line $0; next }
                    { line = line $0; if (sub(/^SOURCES[ \t]*=[ \t]*/, "", line)) print line; line = "" }' \
        "$src/Makefile")"
    [ -n "$sources" ] || { echo "no SOURCES in $src/Makefile" >>"$log"; fail_with_log "building giflib" "$log"; }
    mkdir -p "$bdir"
    for f in $sources; do
        run_logged "$log" $launcher "$cc" -std=gnu99 -O2 -Wall -DNDEBUG -I"$src" -c "$src/$f" \
            -o "$bdir/${f%.c}.o" || fail_with_log "building giflib" "$log"
        objs+=("$bdir/${f%.c}.o")
    done
    rm -f "$bdir/libgif.a"
    run_logged "$log" "$triple-ar" rcs "$bdir/libgif.a" "${objs[@]}" || fail_with_log "building giflib" "$log"
    install -D -m 644 "$bdir/libgif.a" "$store/lib/libgif.a"
    install -D -m 644 "$src/gif_lib.h" "$store/include/gif_lib.h"
}

build_tiff() { # <source> <log>
    cmake_build tiff "$2" "$1" "" \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-deprecated=OFF \
        -Dcxx=OFF -Dzlib=ON -Dpixarlog=ON -Djpeg=ON -Dold-jpeg=ON -Djpeg12=OFF -Dlzma=OFF -Dzstd=OFF \
        -Dwebp=OFF -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF \
        -DJPEG_INCLUDE_DIR="$store/include" -DJPEG_LIBRARY="$store/lib/libjpeg.a" "${zlibArgs[@]}" \
        -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON
}

versions=()
for pkg in "${kSourcePackages[@]}"; do
    select_source "$pkg"
    log="$logs/$pkg.log"
    start=$SECONDS
    case "$pkg" in
        libjpeg-turbo) build_libjpeg_turbo "$srcDir" "$log" ;;
        libpng1.6) build_libpng "$srcDir" "$log" ;;
        giflib) build_giflib "$srcDir" "$log" ;;
        tiff) build_tiff "$srcDir" "$log" ;;
    esac
    echo "build-mingw-deps: $triple: $pkg $srcVersion built in $((SECONDS - start)) s"
    versions+=("$pkg $srcVersion")
done

for f in include/jpeglib.h include/png.h include/gif_lib.h include/tiffio.h \
    lib/libjpeg.a lib/libpng16.a lib/libgif.a lib/libtiff.a; do
    [ -f "$store/$f" ] || die "$store/$f missing after the build (see $logs)"
done

{
    echo "script $scriptHash $triple"
    printf '%s\n' "${versions[@]}"
} >"$store/$kStampName.part"
mv "$store/$kStampName.part" "$store/$kStampName"
# Keep the logs, drop the object trees.
find "$work" -mindepth 1 -maxdepth 1 ! -name logs -exec rm -rf {} +
link_prefix
