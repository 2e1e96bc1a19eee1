#!/usr/bin/env bash
# Static check of the Windows DLLs: scripts/windows-check-dll.sh WIN64_BUILD WIN32_BUILD
# Each is a PE of its architecture (PE32+ for x86_64, PE32 for i686), exports
# the published classes, and imports only system DLLs (libgcc, libstdc++ and
# winpthreads are linked in statically).
set -euo pipefail
SYSTEM_DLLS='^((KERNEL32|ADVAPI32|WININET|USER32|GDI32|SHELL32|msvcrt|ole32|OLEAUT32)\.dll|WINSPOOL\.DRV)$'
# One exported member of each published class, the error helpers, and the
# automation server's entry points.
EXPORTS=(ErrInfo FileUtility RegistryUtility Funzioni Reporting NxInet RuntimeError
         DllGetClassObject DllCanUnloadNow DllRegisterServer DllUnregisterServer DllInstall)
status=0
check() {
  local build=$1 triple=$2 magic=$3 dll
  dll="$build/src/orvcommon/orvcommon.dll"
  if [ ! -f "$dll" ]; then
    echo "windows-check: $dll is missing" >&2
    status=1
    return
  fi
  local dump
  dump=$("$triple-objdump" -p "$dll")
  if ! grep -qE "^Magic[[:space:]]+$magic" <<<"$dump"; then
    echo "windows-check: $dll is not $magic" >&2
    status=1
  fi
  local imports bad
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | sort -u)
  bad=$(grep -viE "$SYSTEM_DLLS" <<<"$imports" || true)
  if [ -n "$bad" ]; then
    echo "windows-check: $dll imports non-system DLLs: $bad" >&2
    status=1
  fi
  local table count
  table=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump")
  count=$(grep -c '^\s*\[' <<<"$table" || true)
  for name in "${EXPORTS[@]}"; do
    if ! grep -q "$name" <<<"$table"; then
      echo "windows-check: $dll exports nothing of $name" >&2
      status=1
    fi
  done
  # The type library, resource TYPELIB 1, carrying the library's identifier.
  python3 "$(dirname "$0")/check-typelib-resource.py" "$dll" \
    "$(sed -n 's/^\[uuid(\([0-9a-f-]*\)), version.*/\1/p' "$(dirname "$0")/../src/orvcommon/server/orvcommon.idl")" \
    || status=1
  echo "windows-check: $dll: $(grep -E '^Magic' <<<"$dump" | awk '{print $3}'), $count exports, imports $(tr '\n' ' ' <<<"$imports")"
}
# Our PDF engine beside the DLL: Tvpdf.dll and tvpdf.exe of the same
# architecture, importing only system DLLs (GDI32 for the fonts; zlib is
# linked in), Tvpdfrun exported undecorated; on i686 the entry point is
# __stdcall: the first return of its code pops its 12 bytes of arguments.
check_engine() {
  local build=$1 triple=$2 magic=$3 dir dll dump
  dir="$build/src/orvcommon"
  dll="$dir/Tvpdf.dll"
  for f in "$dll" "$dir/tvpdf.exe"; do
    if [ ! -f "$f" ]; then
      echo "windows-check: $f is missing" >&2
      status=1
      return
    fi
    dump=$("$triple-objdump" -p "$f")
    grep -qE "^Magic[[:space:]]+$magic" <<<"$dump" || { echo "windows-check: $f is not $magic" >&2; status=1; }
    local bad
    bad=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | sort -u | grep -viE "$SYSTEM_DLLS|^GDI32\.dll$" || true)
    [ -z "$bad" ] || { echo "windows-check: $f imports non-system DLLs: $bad" >&2; status=1; }
  done
  dump=$("$triple-objdump" -p "$dll")
  local names
  names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
  if [ "$names" != "Tvpdfrun" ]; then
    echo "windows-check: $dll exports \"$names\", not Tvpdfrun alone and undecorated" >&2
    status=1
    return
  fi
  local pops="64-bit"
  if [ "$magic" = 010b ]; then
    local base rva start first
    base=$(awk '/^ImageBase/ {print $2}' <<<"$dump")
    rva=$(awk '/Export RVA/ {print $(NF-2); exit}' <<<"$dump")
    start=$(printf '0x%x' $((0x$base + 0x$rva)))
    first=$("$triple-objdump" -d --no-show-raw-insn --start-address="$start" \
      --stop-address=$((start + 4096)) "$dll" | grep -m1 -E '[[:space:]]ret[lq]?([[:space:]]|$)' || true)
    if ! grep -qE 'ret[lq]?[[:space:]]+\$?0xc\b' <<<"$first"; then
      echo "windows-check: $dll: Tvpdfrun returns with \"${first##*:}\", not ret \$0xc" >&2
      status=1
    fi
    pops="returns with${first##*:}"
  fi
  echo "windows-check: $dll: Tvpdfrun exported undecorated, $pops"
}
check "${1:?64-bit build}" x86_64-w64-mingw32 '020b'
check "${2:?32-bit build}" i686-w64-mingw32 '010b'
check_engine "$1" x86_64-w64-mingw32 '020b'
check_engine "$2" i686-w64-mingw32 '010b'
exit $status
