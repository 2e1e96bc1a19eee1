#!/usr/bin/env bash
# Our PDF engine on Windows against the Linux one:
#   scripts/windows-pdf-test.sh WIN64_BUILD [LINUX_BUILD]
#
# orv.exe and Tvpdf.dll of the 64-bit build are put together in a folder of
# their own (as the Windows zip has them); createPdfFile, run by orv.exe
# under wine64 with no engine configured, must find Tvpdf.dll there and make
# a PDF that qpdf accepts, with its fonts embedded, whose text (pdftotext
# -layout, so the places of the words count) and document information
# (creation date left out) equal the Linux engine's for the same commands.
set -euo pipefail
BUILD=$(cd "${1:?64-bit build folder}" && pwd)
REPO=$(cd "$(dirname "$0")/.." && pwd)
LINUX=$(cd "${2:-$REPO/build}" && pwd)
WORK="$BUILD/pdf-test"
rm -rf "$WORK/bin" "$WORK/out"
mkdir -p "$WORK/bin" "$WORK/out"
cp "$BUILD/tools/orv.exe" "$BUILD/src/orvcommon/Tvpdf.dll" "$WORK/bin/"

# The prefix of the suite that calls this script when there is one (making
# a prefix takes half a minute), else one of its own.
export WINEPREFIX="${WINEPREFIX:-$WORK/wineprefix}" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY ORV_TVPDF
# shellcheck source=wine-arch.sh
. "$(dirname "$0")/wine-arch.sh"
wine_arch win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$WINE" wineboot --init >/dev/null 2>&1
  wineserver -w
fi

convert -size 40x20 xc:'#1F4E79' "$WORK/out/logo.png"
# Every command that draws, a UTF-8 file (its "à" and "€").
cat >"$WORK/out/doc.cmd" <<'CMD'
TITLE "Fattura 42 – città"
AUTHOR "Rossi S.p.A."
MARGINS 20 20 20 20
IMAGE 0 0 40 20 "logo.png"
IMAGE 50 0 20 20 "logo.png"
FONT "Arial" 18 BOLD
TEXT 170 12 "Invoice 42" RIGHT
FONT "Arial" 10
LINE 0 24 170 24 1 #1F4E79
RECT 0 30 170 8 0.5 #1F4E79 LIGHTGRAY
TEXT 2 35.5 "Item"
TEXT 168 35.5 "€ 1.200,00" RIGHT
FONT "Times New Roman" 11 ITALIC
TEXTBLOCK 0 50 80 "Payment within thirty days of the invoice date by bank transfer to the account below, città di Roma." JUSTIFY
FONT "Courier New" 9
TEXT 85 255 "Page {PAGE} of {PAGES}" CENTER
NEWPAGE
TEXT 0 10 "Second page"
CMD

ORV_TVPDF="$LINUX/src/orvcommon/libtvpdf.so" "$LINUX/tools/orv" call Funzioni.createPdfFile \
  "$WORK/out/doc.cmd" "$WORK/out/linux.pdf" >"$WORK/out/linux.txt" 2>&1 ||
  { cat "$WORK/out/linux.txt"; exit 1; }
win="Z:${WORK//\//\\}\\out" # Wine maps / to the drive Z:
(cd "$WORK/bin" && "$WINE" ./orv.exe call Funzioni.createPdfFile "$win\\doc.cmd" "$win\\windows.pdf") \
  >"$WORK/out/windows.txt" 2>&1 || { cat "$WORK/out/windows.txt"; exit 1; }
wineserver -w || true

fail=0
[ -f "$WORK/out/windows.pdf" ] || { echo "windows-pdf-test: no PDF made:"; cat "$WORK/out/windows.txt"; exit 1; }
qpdf --check "$WORK/out/windows.pdf" >"$WORK/out/qpdf.txt" 2>&1 && ! grep -q WARNING "$WORK/out/qpdf.txt" ||
  { echo "windows-pdf-test: qpdf --check fails:"; cat "$WORK/out/qpdf.txt"; fail=1; }
if pdffonts "$WORK/out/windows.pdf" | tail -n +3 | grep -v ' yes  *yes ' | grep -q .; then
  echo "windows-pdf-test: a font is not embedded as a subset:"
  pdffonts "$WORK/out/windows.pdf"
  fail=1
fi
for os in linux windows; do
  pdftotext -layout "$WORK/out/$os.pdf" "$WORK/out/$os-text.txt"
  pdfinfo "$WORK/out/$os.pdf" | grep -v '^CreationDate:' >"$WORK/out/$os-info.txt"
done
for part in text info; do
  if ! cmp -s "$WORK/out/linux-$part.txt" "$WORK/out/windows-$part.txt"; then
    echo "windows-pdf-test: the $part differs from the Linux engine's:"
    diff "$WORK/out/linux-$part.txt" "$WORK/out/windows-$part.txt" || true
    fail=1
  fi
done
[ $fail -eq 0 ] && echo "windows-pdf-test (win64): createPdfFile with Tvpdf.dll gives the Linux engine's text, $(wc -c <"$WORK/out/windows.pdf") bytes"
exit $fail
