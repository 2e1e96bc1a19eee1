#!/usr/bin/env bash
# Runs the cross-compiled suite under Wine: scripts/windows-test.sh BUILD [win64|win32]
#
# The Wine prefix lives in BUILD/wineprefix and is kept between runs (making
# one takes about 10 s). No display: WINEDEBUG=-all, DISPLAY unset. The
# loopback servers of the internet tests run here on the Linux side (Wine
# programs reach 127.0.0.1 like any other); their ports go to the suite in
# ORV_LOOPBACK_ORIGIN_PORT, ORV_LOOPBACK_PROXY_PORT and
# ORV_LOOPBACK_REFUSED_PORT. Prints the test count and exits non-zero when a
# test fails. Then runs orv.exe once, with text outside the ANSI code page.
set -euo pipefail
BUILD=${1:?build folder}
ARCH=${2:-win64}
shift $(($# < 2 ? $# : 2))  # the rest goes to the test program
BUILD=$(cd "$BUILD" && pwd)
EXE="$BUILD/tests/orv_tests.exe"
[ -f "$EXE" ] || { echo "windows-test: $EXE is not built" >&2; exit 1; }

export WINEPREFIX="$BUILD/wineprefix"
export WINEARCH="$ARCH"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
# The loader names the architecture (scripts/wine-arch.sh). The 32-bit suite
# runs in a 32-bit prefix of its own, the 64-bit one in a 64-bit prefix.
# shellcheck source=wine-arch.sh
. "$(dirname "$0")/wine-arch.sh"
why=$(wine_arch "$ARCH") || { echo "windows-test: $why" >&2; exit 2; }
wine_arch "$ARCH"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows-test: making the Wine prefix $WINEPREFIX"
  "$WINE" wineboot --init >/dev/null 2>&1
  wineserver -w
fi

SCRATCH=$(mktemp -d)
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$SCRATCH"
}
trap cleanup EXIT

# Starts a loopback server and sets PORT from its "PORT n" line.
PYTHON=$(command -v python3 || true)
SERVERS="$(cd "$(dirname "$0")/.." && pwd)/tests/support/loopback_servers.py"
start_server() {
  local name=$1 out="$SCRATCH/$1.out"
  shift
  # The server also stops by itself when this script ends.
  "$PYTHON" -u "$SERVERS" "$@" </dev/null >"$out" 2>/dev/null &
  PIDS+=($!)
  PORT=""
  for _ in $(seq 300); do
    PORT=$(sed -n 's/^PORT //p' "$out" 2>/dev/null)
    [ -n "$PORT" ] && return 0
    sleep 0.1
  done
  echo "windows-test: the $name server did not start" >&2
}
if [ -n "$PYTHON" ]; then
  start_server origin origin && export ORV_LOOPBACK_ORIGIN_PORT="$PORT"
  start_server proxy proxy "$ORV_LOOPBACK_ORIGIN_PORT" && export ORV_LOOPBACK_PROXY_PORT="$PORT"
  ORV_LOOPBACK_REFUSED_PORT=$("$PYTHON" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  export ORV_LOOPBACK_REFUSED_PORT
fi

LOG="$BUILD/windows-test.log"
set +e
(cd "$BUILD/tests" && "$WINE" "$EXE" --gtest_color=no "$@" >"$LOG" 2>&1)
rc=$?
set -e
wineserver -w || true
grep -E '^\[  (FAILED|SKIPPED) +\] [A-Za-z]' "$LOG" | sort -u || true
summary=$(grep -E '^\[==========\] [0-9]+ tests? from' "$LOG" | tail -n 1 || true)
passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$LOG" | tail -n 1)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?.*/\1/p' "$LOG" | tail -n 1)
failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?.*/\1/p' "$LOG" | tail -n 1)
echo "windows-test ($ARCH): ${summary#\[==========\] }"
echo "windows-test ($ARCH): ${passed:-0} passed, ${skipped:-0} skipped, ${failed:-0} failed (log: $LOG)"
if [ $rc -ne 0 ]; then
  tail -n 30 "$LOG"
  exit 1
fi

# orv.exe itself (the suite tests the tool's parts, not the program): text
# outside the ANSI code page goes in through the command line and comes out
# in UTF-8, unchanged.
ORV="$BUILD/tools/orv.exe"
if [ -f "$ORV" ]; then
  word="città € ŝ"
  out=$("$WINE" "$ORV" call --format json Funzioni.normStringNoCRLF "$word" :empty 2>&1 | tr -d '\r')
  if ! grep -qF "\"args\":[{\"type\":\"String\",\"value\":\"$word\"}" <<<"$out"; then
    echo "windows-test ($ARCH): orv.exe did not keep '$word' through the command line:" >&2
    echo "$out" >&2
    exit 1
  fi
  echo "windows-test ($ARCH): orv.exe keeps non-ASCII arguments"
fi

# Our PDF engine, Tvpdf.dll, through createPdfFile against the Linux engine
# (64-bit: wine64).
if [ "$ARCH" = win64 ]; then
  bash "$(dirname "$0")/windows-pdf-test.sh" "$BUILD"
fi
