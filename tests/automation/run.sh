#!/usr/bin/env bash
# The automation suite under Wine (README.md): tests/automation/run.sh DLL [DLL32]
# Every Wine call names its architecture (scripts/wine-arch.sh).
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] && [ -f "$1" ] || { echo "usage: $0 DLL [DLL32]" >&2; exit 2; }
abspath() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
dll=$(abspath "$1")
dll32=""
[ $# -ge 2 ] && dll32=$(abspath "$2")

base=${ORV_AUTOMATION_DIR:-$(dirname "$dll")/automation}
mkdir -p "$base"
base=$(cd "$base" && pwd)
export WINEPREFIX="$base/wineprefix" WINEARCH=win64 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY ORV_TVPDF

classes="ErrInfo FileUtility Funzioni NxInet RegistryUtility Reporting"
typelib='{50C305AB-F93B-447C-97B6-79C47370AFB7}'
interfaces=$(sed -n 's/^ *\[uuid(\([0-9a-f-]*\)), hidden\]$/\1/p' "$repo/src/orvcommon/server/orvcommon.idl")
[ -n "$interfaces" ] || { echo "no dispatch interface found in orvcommon.idl" >&2; exit 1; }
failures=0 total=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# shellcheck source=../../scripts/wine-arch.sh
. "$repo/scripts/wine-arch.sh"
wine_arch win64 >/dev/null
wreg() { "$WINE" "$SYS\\reg.exe" "$@" "$VIEW"; }
# Wine maps / to the drive Z: in every prefix.
winpath() { echo "Z:${1//\//\\}"; }

# The prefix has a 32-bit side only when wine32 was there when it was made:
# it is made again when that changed.
with32=no
bash "$repo/scripts/win32-runnable.sh" >/dev/null && with32=yes
if [ "$(cat "$WINEPREFIX/.orv-win32" 2>/dev/null)" != "$with32" ]; then
    rm -rf "$WINEPREFIX"
    echo "creating the Wine prefix $WINEPREFIX (32-bit side: $with32)"
    "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    wineserver -w
    echo "$with32" >"$WINEPREFIX/.orv-win32"
fi
run="$base/run"
rm -rf "$run"
mkdir -p "$run"

# One export of the class keys per check (a query per key would start Wine
# over a hundred times). Under Wine HKCR is HKLM\Software\Classes, without
# the user's classes merged in.
snapshot() {
    : >"$run/snap.txt"
    for root in 'HKEY_LOCAL_MACHINE\Software\Classes' 'HKEY_CURRENT_USER\Software\Classes'; do
        wreg export "$root" "$run/snap.reg" /y >/dev/null 2>&1 &&
            iconv -f UTF-16 -t UTF-8 "$run/snap.reg" | tr -d '\r' >>"$run/snap.txt"
    done
}
fullkey() {
    case "$1" in
    HKCR\\*) echo "HKEY_LOCAL_MACHINE\\Software\\Classes\\${1#HKCR\\}" ;;
    HKCU\\*) echo "HKEY_CURRENT_USER\\${1#HKCU\\}" ;;
    esac
}
# KEY [NAME]: a text value of the snapshot (the default value without NAME).
regvalue() {
    K=$(fullkey "$1") N=${2:+\"$2\"} awk '
        /^\[/ { inkey = (tolower($0) == "[" tolower(ENVIRON["K"]) "]"); next }
        inkey && index($0, (ENVIRON["N"] == "" ? "@" : ENVIRON["N"]) "=\"") == 1 {
            v = substr($0, index($0, "=") + 2)
            sub(/"$/, "", v)
            gsub(/\\\\/, "\\", v)
            print v
            exit
        }' "$run/snap.txt"
}
regexists() { grep -qixF "[$(fullkey "$1")]" "$run/snap.txt"; }
want() { # KEY NAME VALUE, compared without case
    local got
    got=$(regvalue "$1" "$2")
    [ "${got,,}" = "${3,,}" ] || fail "$1 ${2:-@} is '$got', not '$3'"
}

# Registration under CLASSES (HKCR, or HKCU\Software\Classes for the user):
# both ProgIDs naming one class id, the in-process server with apartment
# threading; the type library and its interfaces (Wine registers a type
# library for the user in the machine's keys, so always through HKCR).
clsids=""
check_registered() { # DLL BITS CLASSES
    local path clsid k=$3 c i
    path=$(winpath "$1")
    snapshot
    for c in $classes; do
        clsid=$(regvalue "$k\\orvcommon.$c\\CLSID")
        [ -n "$clsid" ] || { fail "$k\\orvcommon.$c has no CLSID"; continue; }
        clsids+=" $clsid"
        want "$k\\orvcommon.$c.1\\CLSID" "" "$clsid"
        want "$k\\orvcommon.$c\\CurVer" "" "orvcommon.$c.1"
        want "$k\\CLSID\\$clsid\\ProgID" "" "orvcommon.$c.1"
        want "$k\\CLSID\\$clsid\\InprocServer32" "" "$path"
        want "$k\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
    done
    want "HKCR\\TypeLib\\$typelib\\1.0\\0\\$2" "" "$path"
    for i in $interfaces; do
        regexists "HKCR\\Interface\\{$i}\\TypeLib" || fail "interface {$i} is not registered"
    done
}
check_unregistered() { # CLASSES
    local gone="HKCR\\TypeLib\\$typelib" c key
    snapshot
    for c in $classes; do gone+=" $1\\orvcommon.$c $1\\orvcommon.$c.1"; done
    for c in $clsids; do gone+=" $1\\CLSID\\$c"; done
    for c in $interfaces; do gone+=" HKCR\\Interface\\{$c}"; done
    for key in $gone; do
        regexists "$key" && fail "$key is still registered"
    done
    clsids=""
}

# NAME COMMAND...: a program that ends with "PASS n" and exits 0. Both are
# checked: the script host exits 0 without a word on a syntax error.
run_checked() {
    local name=$1 out rc last
    shift
    out=$("$@" 2>&1)
    rc=$?
    out=$(printf '%s\n' "$out" | tr -d '\r')
    last=$(printf '%s\n' "$out" | tail -n 1)
    if [ "$rc" -eq 0 ] && [[ $last =~ ^PASS\ [0-9]+$ ]]; then
        echo "$name: $last"
        total=$((total + ${last#PASS }))
    else
        printf '%s\n' "$out" | sed 's/^/    /'
        fail "$name: exit code $rc, last line '$last'"
    fi
}

run_suite() { # DLL BITS COMPILER
    local dll=$1 bits=$2 regsvr32="$SYS\\regsvr32.exe" client="$base/compiled_client_$2.exe" key mode
    echo "== $bits: $dll"
    if [ ! -f "$client" ] || [ "$here/compiled_client.cpp" -nt "$client" ]; then
        "$3" -std=c++20 -O1 -Wall -Wextra -Werror -static -o "$client" \
            "$here/compiled_client.cpp" -lole32 -loleaut32 -luuid ||
            fail "compiled_client.cpp does not build for $bits"
    fi
    # The same settings in this architecture's registry view every run, the
    # main log in a folder of its own.
    for key in VELN OrvAutomationTest; do
        wreg delete "HKLM\\SOFTWARE\\$key" /f >/dev/null 2>&1
    done
    mkdir -p "$run/$bits/log" "$run/$bits/work" "$run/$bits/client"
    export ORV_LOG
    ORV_LOG=$(winpath "$run/$bits/log")
    wreg add 'HKLM\SOFTWARE\VELN\LogSystem' /v Path /t REG_SZ /d "$ORV_LOG" /f >/dev/null ||
        fail "reg add $VIEW of the log folder"
    # Registration for the user writes HKCU only (which Wine does not merge
    # into HKCR, so nothing is created from it).
    for mode in machine user; do
        local flags=() k=HKCR
        [ $mode = user ] && flags=(/n /i:user) k='HKCU\Software\Classes'
        if ! "$WINE" "$regsvr32" /s "${flags[@]}" "$(winpath "$dll")"; then
            fail "regsvr32 ${flags[*]} $dll"
            continue
        fi
        check_registered "$dll" "$bits" "$k"
        if [ $mode = machine ]; then
            run_checked automation.vbs env ORV_WORK="$(winpath "$run/$bits/work")" \
                "$WINE" "$SYS\\cscript.exe" //nologo "$(winpath "$here/automation.vbs")"
            [ -f "$client" ] && run_checked compiled_client \
                env ORV_WORK="$(winpath "$run/$bits/client")" "$WINE" "$client"
        else
            regexists 'HKCR\orvcommon.ErrInfo' && fail "per-user registration wrote HKLM"
        fi
        "$WINE" "$regsvr32" /u /s "${flags[@]}" "$(winpath "$dll")" || fail "regsvr32 /u ${flags[*]} $dll"
        check_unregistered "$k"
    done
}

run_suite "$dll" win64 x86_64-w64-mingw32-g++-posix
if [ -n "$dll32" ]; then
    if ! why=$(bash "$repo/scripts/win32-runnable.sh"); then
        echo "== win32: skipped, $why"
    elif ! wine_arch win32 >/dev/null; then
        fail "no 32-bit Wine loader although wine32 is installed"
    elif "$WINE" "$SYS\\cmd.exe" /c exit 0 >/dev/null 2>&1; then
        run_suite "$dll32" win32 i686-w64-mingw32-g++-posix
    else
        fail "this Wine prefix cannot start its 32-bit cmd.exe"
    fi
fi

if [ "$failures" -eq 0 ]; then
    echo "automation: PASS $total checks"
else
    echo "automation: FAIL, $failures failing step(s), $total checks passed"
fi
exit $((failures > 0))
