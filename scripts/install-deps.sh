#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need,
# only when some are missing. Every later component adds its packages here.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build clang clang-format
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  locales python3
  libcurl4-openssl-dev openssl curl
  libcsv-dev libfccp-dev
  # Drawing: cairo and fontconfig (the PDF engine, printed reports, the preview
  # form on X11), CUPS printing, the metric-compatible fonts.
  pkg-config libcairo2-dev libfontconfig-dev libx11-dev libcups2-dev fonts-liberation
  # What the tests render, print and read PDFs with.
  cups cups-client printer-driver-cups-pdf qpdf poppler-utils xvfb imagemagick
  # The Windows report test: window titles (xwininfo), PostScript as text.
  x11-utils ghostscript
  # Windows: the mingw-w64 cross compilers (the -posix thread model, for
  # std::thread) and Wine to run the cross-built suite. Wine's 32-bit half
  # needs the i386 architecture: scripts/install-wine32.sh tries it apart.
  # The type library: mingw's IDL compiler (mingw-w64-tools) with Wine's IDL
  # headers and stdole2.tlb (libwine-dev).
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine wine64 libwine-dev
  # The PDF engine compresses with zlib: Debian's on Linux, a static one in
  # Tvpdf.dll; windows-dist zips the Windows files.
  zlib1g-dev libz-mingw-w64-dev zip
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Italian and English locales: one test loads a real installed locale.
if command -v locale >/dev/null && ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  for l in it_IT.UTF-8 en_US.UTF-8; do
    $SUDO sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen 2>/dev/null || true
    grep -q "^${l} UTF-8" /etc/locale.gen 2>/dev/null || echo "${l} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
