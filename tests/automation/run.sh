#!/usr/bin/env bash
# Runs the automation suite under Wine against a built server DLL:
#
#   tests/automation/run.sh DLL [DLL32]
#
# Registers DLL with regsvr32 in a private Wine prefix, checks the registry
# keys it wrote, runs automation.vbs with the script host and the compiled
# client, unregisters and checks that every key is gone; then the same for a
# registration for the user only. DLL32, when given, goes through the same
# steps on the prefix's 32-bit side if Wine can run 32-bit programs
# (scripts/win32-runnable.sh), and is skipped with its reason otherwise.
#
# Every Wine call names its architecture (scripts/wine-arch.sh). The prefix
# and the compiled clients are cached in $ORV_AUTOMATION_DIR, by default a
# folder "automation" beside DLL (README.md).
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] && [ -f "$1" ] || { echo "usage: $0 DLL [DLL32]" >&2; exit 2; }
dll=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
dll32=""
if [ $# -ge 2 ]; then dll32=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); fi

base=${ORV_AUTOMATION_DIR:-$(dirname "$dll")/automation}
mkdir -p "$base"
base=$(cd "$base" && pwd)
export WINEPREFIX="$base/wineprefix" WINEARCH=win64 WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY ORV_TVPDF

classes="ErrInfo FileUtility Funzioni NxInet RegistryUtility Reporting"
typelib='{50C305AB-F93B-447C-97B6-79C47370AFB7}'
# The dispatch interfaces that the type library registers.
interfaces=$(sed -n 's/^ *\[uuid(\([0-9a-f-]*\)), hidden\]$/\1/p' "$repo/src/orvcommon/server/orvcommon.idl")
failures=0
total=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The loader, system folder and registry view of the suite that runs.
# shellcheck source=../../scripts/wine-arch.sh
. "$repo/scripts/wine-arch.sh"
use_arch() { wine_arch "$1" >/dev/null; }
use_arch win64
wreg() { "$WINE" "$SYS\\reg.exe" "$@" "$VIEW"; }
# Unix path to Windows path: Wine maps / to the drive Z: in every prefix.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# Registry checks read one snapshot of the class keys (a query per key would
# start Wine well over a hundred times). HKCR is HKLM\Software\Classes under
# Wine, which does not merge the user's classes into it.
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
    local name='@'
    [ $# -ge 2 ] && name="\"$2\""
    K=$(fullkey "$1") N=$name awk '
        /^\[/ { inkey = (tolower($0) == "[" tolower(ENVIRON["K"]) "]"); next }
        inkey && index($0, ENVIRON["N"] "=\"") == 1 {
            v = substr($0, length(ENVIRON["N"]) + 3)
            sub(/"$/, "", v)
            gsub(/\\\\/, "\\", v)
            print v
            exit
        }' "$run/snap.txt"
}
regexists() { grep -qixF "[$(fullkey "$1")]" "$run/snap.txt"; }

# The prefix has a 32-bit side only when wine32 was there when it was made:
# it is made again when that changed (the stamp names what it was made with).
with32=no
bash "$repo/scripts/win32-runnable.sh" >/dev/null && with32=yes
if [ "$(cat "$WINEPREFIX/.orv-win32" 2>/dev/null)" != "$with32" ]; then
    rm -rf "$WINEPREFIX"
    echo "creating the Wine prefix $WINEPREFIX (32-bit side: $with32)"
    "$WINE" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    wineserver -w
    echo "$with32" >"$WINEPREFIX/.orv-win32"
fi

# A fresh scratch folder per run.
run="$base/run"
rm -rf "$run"
mkdir -p "$run"
# Registration under CLASSES (HKCR, or HKCU\Software\Classes for a per-user
# registration): ProgIDs in both forms naming one class id, the in-process
# server with apartment threading, the type library and its interfaces.
check_registered() { # DLL BITS CLASSES
    local path clsid server tlb k=$3
    path=$(winpath "$1")
    snapshot
    for c in $classes; do
        clsid=$(regvalue "$k\\orvcommon.$c\\CLSID")
        [ -n "$clsid" ] || { fail "$k\\orvcommon.$c has no CLSID"; continue; }
        [ "$(regvalue "$k\\orvcommon.$c.1\\CLSID")" = "$clsid" ] ||
            fail "orvcommon.$c.1 does not name $clsid"
        [ "$(regvalue "$k\\orvcommon.$c\\CurVer")" = "orvcommon.$c.1" ] ||
            fail "orvcommon.$c\\CurVer is not orvcommon.$c.1"
        [ "$(regvalue "$k\\CLSID\\$clsid\\ProgID")" = "orvcommon.$c.1" ] ||
            fail "CLSID $clsid has no ProgID orvcommon.$c.1"
        server=$(regvalue "$k\\CLSID\\$clsid\\InprocServer32")
        [ "${server,,}" = "${path,,}" ] || fail "$c InprocServer32 is '$server', not '$path'"
        [ "$(regvalue "$k\\CLSID\\$clsid\\InprocServer32" ThreadingModel)" = Apartment ] ||
            fail "$c ThreadingModel is not Apartment"
        echo "$clsid" >>"$run/clsids"
    done
    # Wine registers a type library for the user in the machine's keys, so
    # the type library is looked up through HKCR in both modes.
    tlb=$(regvalue "HKCR\\TypeLib\\$typelib\\1.0\\0\\$2")
    [ "${tlb,,}" = "${path,,}" ] || fail "TypeLib $typelib 1.0 $2 is '$tlb', not '$path'"
    [ -n "$interfaces" ] || fail "no dispatch interface found in orvcommon.idl"
    for i in $interfaces; do
        regexists "HKCR\\Interface\\{$i}\\TypeLib" || fail "interface {$i} is not registered"
    done
}

check_unregistered() { # CLASSES
    local k=$1
    snapshot
    for c in $classes; do
        for p in "orvcommon.$c" "orvcommon.$c.1"; do
            regexists "$k\\$p" && fail "$k\\$p is still registered"
        done
    done
    sort -u "$run/clsids" | while read -r clsid; do
        regexists "$k\\CLSID\\$clsid" && echo "CLSID $clsid"
    done >"$run/left"
    while read -r left; do fail "$left is still registered"; done <"$run/left"
    regexists "HKCR\\TypeLib\\$typelib" && fail "TypeLib $typelib is still registered"
    for i in $interfaces; do
        regexists "HKCR\\Interface\\{$i}" && fail "interface {$i} is still registered"
    done
}

# NAME COMMAND...: runs one program that ends with "PASS n"/"FAIL n" and
# exits with its failure count. Both are checked: the script host exits 0
# without a word on a syntax error or a ProgID it cannot create.
run_checked() {
    local name=$1 out rc last
    shift
    out=$("$@" 2>&1)
    rc=$?
    out=$(printf '%s\n' "$out" | tr -d '\r')
    last=$(printf '%s\n' "$out" | tail -n 1)
    case "$last" in
    "PASS "[0-9]*)
        if [ "$rc" -eq 0 ]; then
            echo "$name: $last"
            total=$((total + ${last#PASS }))
            return
        fi ;;
    esac
    printf '%s\n' "$out" | sed 's/^/    /'
    fail "$name: exit code $rc, last line '$last'"
}

run_suite() { # DLL BITS CLIENT
    local dll=$1 bits=$2 client=$3
    local cscript="$SYS\\cscript.exe" regsvr32="$SYS\\regsvr32.exe"
    echo "== $bits: $dll"
    # Every run starts from the same settings in this architecture's
    # registry view, with the main log in a folder of its own.
    local key
    for key in VELN OrvAutomationTest; do
        wreg delete "HKLM\\SOFTWARE\\$key" /f >/dev/null 2>&1
    done
    mkdir -p "$run/$bits/log"
    export ORV_LOG
    ORV_LOG=$(winpath "$run/$bits/log")
    wreg add 'HKLM\SOFTWARE\VELN\LogSystem' /v Path /t REG_SZ /d "$ORV_LOG" /f >/dev/null ||
        fail "reg add $VIEW of the log folder"
    : >"$run/clsids"
    if ! "$WINE" "$regsvr32" /s "$(winpath "$dll")"; then
        fail "regsvr32 $dll"
        return
    fi
    check_registered "$dll" "$bits" HKCR
    mkdir -p "$run/$bits/work"
    run_checked automation.vbs env ORV_WORK="$(winpath "$run/$bits/work")" \
        "$WINE" "$cscript" //nologo "$(winpath "$here/automation.vbs")"
    if [ -f "$client" ]; then
        mkdir -p "$run/$bits/client"
        run_checked compiled_client env ORV_WORK="$(winpath "$run/$bits/client")" "$WINE" "$client"
    fi
    "$WINE" "$regsvr32" /u /s "$(winpath "$dll")" || fail "regsvr32 /u $dll"
    check_unregistered HKCR

    # Per-user registration writes the classes to HKCU only. Wine does not
    # merge HKCU\Software\Classes into HKCR, so nothing is created from them.
    local user='HKCU\Software\Classes'
    : >"$run/clsids"
    if "$WINE" "$regsvr32" /s /n /i:user "$(winpath "$dll")"; then
        check_registered "$dll" "$bits" "$user"
        regexists 'HKCR\orvcommon.ErrInfo' && fail "per-user registration wrote HKLM"
        echo "registration for the user: checked"
    else
        fail "regsvr32 /n /i:user $dll"
    fi
    "$WINE" "$regsvr32" /u /s /n /i:user "$(winpath "$dll")" || fail "regsvr32 /u /n /i:user $dll"
    check_unregistered "$user"
}

# The compiled client for each architecture, rebuilt when its source is
# newer: sets CLIENT.
build_client() { # BITS COMPILER
    CLIENT="$base/compiled_client_$1.exe"
    if [ ! -f "$CLIENT" ] || [ "$here/compiled_client.cpp" -nt "$CLIENT" ]; then
        "$2" -std=c++20 -O1 -Wall -Wextra -Werror -static \
            -o "$CLIENT" "$here/compiled_client.cpp" -lole32 -loleaut32 -luuid ||
            fail "compiled_client.cpp does not build for $1"
    fi
}

use_arch win64
build_client win64 x86_64-w64-mingw32-g++-posix
run_suite "$dll" win64 "$CLIENT"

if [ -n "$dll32" ]; then
    if ! why=$(bash "$repo/scripts/win32-runnable.sh"); then
        echo "== win32: skipped, $why"
    elif ! use_arch win32; then
        fail "no 32-bit Wine loader although wine32 is installed"
    elif "$WINE" "$SYS\\cmd.exe" /c exit 0 >/dev/null 2>&1; then
        build_client win32 i686-w64-mingw32-g++-posix
        run_suite "$dll32" win32 "$CLIENT"
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
