#!/usr/bin/env bash
# One zip per architecture of what the Windows builds made and tested:
#   scripts/windows-dist.sh WIN64_BUILD WIN32_BUILD
# dist/orvcommon-VERSION-win64.zip and -win32.zip, each with orvcommon.dll,
# Tvpdf.dll, tvpdf.exe, orv.exe, the IDL and README-Windows.txt.
set -euo pipefail
REPO=$(cd "$(dirname "$0")/.." && pwd)
VERSION=$(sed -n 's/^project(orvcommon VERSION \([0-9.]*\).*/\1/p' "$REPO/CMakeLists.txt")
mkdir -p "$REPO/dist"
pack() {
  local build=$1 arch=$2 name stage
  name="orvcommon-$VERSION-$arch"
  stage=$(mktemp -d)
  mkdir "$stage/$name"
  for f in src/orvcommon/orvcommon.dll src/orvcommon/Tvpdf.dll src/orvcommon/tvpdf.exe tools/orv.exe; do
    [ -f "$build/$f" ] || { echo "windows-dist: $build/$f is not built" >&2; rm -rf "$stage"; exit 1; }
    cp "$build/$f" "$stage/$name/"
  done
  cp "$REPO/src/orvcommon/server/orvcommon.idl" "$stage/$name/"
  sed 's/$/\r/' "$REPO/scripts/README-Windows.txt" >"$stage/$name/README-Windows.txt"
  rm -f "$REPO/dist/$name.zip"
  (cd "$stage" && zip -qr "$REPO/dist/$name.zip" "$name")
  rm -rf "$stage"
  echo "windows-dist: dist/$name.zip ($(unzip -Z1 "$REPO/dist/$name.zip" | grep -vc '/$') files)"
}
pack "${1:?64-bit build}" win64
pack "${2:?32-bit build}" win32
