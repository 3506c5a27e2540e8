#!/usr/bin/env bash
# The release's install/uninstall round trip in a fresh Wine prefix, as a user meets it:
#   1. unpack the zip into the prefix's Program Files; the sidebar is installed (its stand-in registrar);
#   2. install.cmd: the control is registered (its ProgID leads to its class, whose server is the unpacked
#      mellodeck.dll) and announced to the sidebar;
#   3. uninstall.cmd: the classes root and the user's Marquill key are as they were before the install,
#      and the sidebar was told to withdraw the control;
#   4. with the sidebar refusing the control, install.cmd fails with its message and leaves nothing behind.
# Usage: roundtrip.sh <zip> <standin-registrar.dll> <work folder>
# Runs on $DISPLAY when set (a test run's Xvfb), else on an Xvfb of its own. Exit status 0 when every
# check held.
set -euo pipefail
ZIP="$(realpath "${1:?usage: roundtrip.sh <zip> <standin-registrar.dll> <work folder>}")"
REGISTRAR="$(realpath "${2:?usage}")"
WORK="${3:?usage}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
rm -rf "$WORK"
mkdir -p "$WORK"
WORK="$(realpath "$WORK")"
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb=
cleanup() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    dfile="$(mktemp)"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$dfile" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 100); do [ -s "$dfile" ] && break; sleep 0.1; done
    export DISPLAY=":$(tr -d '\n' <"$dfile")"
    rm -f "$dfile"
fi
failures=0
check() { # description, then the command that must succeed
    local what="$1"
    shift
    if "$@"; then
        echo "  ok    $what"
    else
        echo "  FAIL  $what"
        failures=$((failures + 1))
    fi
}
w() { "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }

echo "== a fresh prefix"
"$WINE" wineboot -i </dev/null >/dev/null 2>&1
w reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
w reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null
program="$WINEPREFIX/drive_c/Program Files/Mellodeck"
mkdir -p "$program" "$WORK/sidebar"
(cd "$WORK" && unzip -q "$ZIP")
folder="$(find "$WORK" -maxdepth 1 -type d -name 'mellodeck-*' | head -n 1)"
cp "$folder"/* "$program/"
cp "$REGISTRAR" "$WORK/sidebar/"
w regsvr32 /s "$(winpath "$WORK/sidebar/$(basename "$REGISTRAR")")"
w reg add 'HKCU\Software\Mellodeck Stand-ins\Registrar' /v Log /d "$(winpath "$WORK/sidebar.log")" /f >/dev/null

snapshot() { # name
    w reg export 'HKLM\Software\Classes' "$(winpath "$WORK/$1-classes.reg")" /y >/dev/null
    w reg export 'HKCU\Software\Marquill' "$(winpath "$WORK/$1-marquill.reg")" /y >/dev/null ||
        : >"$WORK/$1-marquill.reg"
    [ -f "$WORK/$1-marquill.reg" ] || : >"$WORK/$1-marquill.reg"
}
same() { # before after
    diff -q <(iconv -f UTF-16LE -t UTF-8 "$WORK/$1-classes.reg" 2>/dev/null) \
        <(iconv -f UTF-16LE -t UTF-8 "$WORK/$2-classes.reg" 2>/dev/null) >/dev/null &&
        cmp -s "$WORK/$1-marquill.reg" "$WORK/$2-marquill.reg"
}
run_cmd() { # script; prints its output, returns its exit status
    local status=0
    (cd "$program" && "$WINE" cmd /c "C:\\Program Files\\Mellodeck\\$1" </dev/null 2>/dev/null | tr -d '\r' |
        sed 's/^/        /') || status=$?
    return $status
}
# The class the control's ProgID names, and its server's path.
progid_class() { w reg query 'HKCR\Tracklight.GoogleSideBarX\Clsid' /ve | sed -n 's/.*REG_SZ *//p'; }
server_of() { w reg query "HKCR\\CLSID\\$1\\InprocServer32" /ve | sed -n 's/.*REG_SZ *//p'; }

echo "== install.cmd"
snapshot before
installed=0
run_cmd install.cmd && installed=1
check "install.cmd succeeds" test "$installed" = 1
clsid="$(progid_class)"
check "the control's ProgID names its class ($clsid)" test -n "$clsid"
server="$(server_of "$clsid")"
server_file="$([ -n "$server" ] && "$WINE" winepath -u "$server" </dev/null 2>/dev/null || true)"
check "the class's server is the unpacked mellodeck.dll ($server)" \
    test "$(realpath -m "$server_file")" = "$(realpath "$program/mellodeck.dll")"
check "the control was announced to the sidebar" grep -q '^AddDisplayPlugin ' "$WORK/sidebar.log"
if [ -f "$program/mellodeck-tageditor.exe" ]; then
    check "the tag editor is registered for the Edit button" \
        grep -qi 'mellodeck-tageditor.exe' <<<"$(w reg query 'HKCU\Software\Marquill' /v Executable)"
fi

echo "== uninstall.cmd"
uninstalled=0
run_cmd uninstall.cmd && uninstalled=1
check "uninstall.cmd succeeds" test "$uninstalled" = 1
snapshot after
check "nothing of the control is left in the registry" same before after
check "the control's ProgID is gone" test -z "$(progid_class)"

echo "== install.cmd when the sidebar refuses the control"
w reg add 'HKCU\Software\Mellodeck Stand-ins\Registrar' /v AddResult /t REG_DWORD /d 0x80004005 /f >/dev/null
output="$(run_cmd install.cmd)" && refused=0 || refused=$?
echo "$output"
check "install.cmd reports the failure (exit status $refused)" test "$refused" = 1
check "its message says the registration failed" grep -q 'could not be registered' <<<"$output"
snapshot refused
check "a refused installation leaves nothing behind" same before refused

echo "$failures failed"
[ "$failures" -eq 0 ]
