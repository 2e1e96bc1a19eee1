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
check "${1:?64-bit build}" x86_64-w64-mingw32 '020b'
check "${2:?32-bit build}" i686-w64-mingw32 '010b'
exit $status
