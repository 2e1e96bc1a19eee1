#!/usr/bin/env bash
# The Windows report targets under 64-bit Wine, against the Linux build:
#
#   scripts/windows-report-test.sh LINUX_BUILD WIN64_BUILD
#
# One report (frame, header and footer with their rules, page number, date,
# a red box, an empty box, a line of text) is drawn with `orv run` by both
# builds:
#   1. on the preview form, under a private Xvfb: the window is captured
#      with `import` while the report is open (window.png), and the PNG
#      saved at closeReport through ORV_PREVIEW_PNG must be 539 x 740 with
#      its marks where the Linux preview (drawn off screen) has them, within
#      2 pixels (tests/reporting/preview_marks.py);
#   2. with no printer (a CUPS server that does not answer): openReport
#      raises 482;
#   3. on a private CUPS server with a cups-pdf queue, which Wine lists as
#      its default printer: the PDF that cups-pdf writes holds the report's
#      texts (pdftotext); then ORV_PRINTER=file:PATH, where the driver of
#      that printer writes PostScript holding them (ps2ascii). Needs root and
#      cups-pdf; said and skipped otherwise.
# The Wine prefix is WIN64_BUILD/wineprefix-report (kept between runs); the
# images are left in WIN64_BUILD/report-test. Xvfb and cupsd are stopped by
# process id, the prefix's Wine processes with `wineserver -k`.
set -euo pipefail
LINUX=$(cd "${1:?Linux build folder}" && pwd)
BUILD=$(cd "${2:?64-bit Windows build folder}" && pwd)
REPO=$(cd "$(dirname "$0")/.." && pwd)
ORV="$LINUX/tools/orv"
ORV_EXE="$BUILD/tools/orv.exe"
for f in "$ORV" "$ORV_EXE"; do
  [ -f "$f" ] || { echo "windows-report-test: $f is not built" >&2; exit 1; }
done
# shellcheck source=wine-arch.sh
. "$(dirname "$0")/wine-arch.sh"
why=$(wine_arch win64) || { echo "windows-report-test: $why" >&2; exit 1; }
wine_arch win64
export WINEPREFIX="$BUILD/wineprefix-report" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY ORV_PRINTER ORV_PREVIEW_PNG CUPS_SERVER
OUT="$BUILD/report-test"
rm -rf "$OUT"
mkdir -p "$OUT"
SCRATCH=$(mktemp -d)
chmod 755 "$SCRATCH"
PIDS=()
cleanup() {
  wineserver -k 2>/dev/null || true
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
failures=0
fail() {
  echo "windows-report-test: FAIL $*"
  failures=$((failures + 1))
}
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "windows-report-test: making the Wine prefix $WINEPREFIX"
  "$WINE" wineboot --init >/dev/null 2>&1
  wineserver -w
fi

# The report, as `orv run` lines; the form's close comes separately.
report() { # MODE
  cat <<EOF
{"new":"Reporting","as":"r"}
{"set":"r.outputMode","value":$1}
{"call":"r.openReport"}
{"call":"r.prtLayoutPaginaBase","args":["Stock report","Shop",1,true]}
{"call":"r.prtBox","args":[6,6,10,8,255]}
{"call":"r.prtBox","args":[3,12,15,14,0]}
{"call":"r.prtTesto","args":[2,10,11,false,false,"Line of text"]}
EOF
}
CLOSE='{"call":"r.closeReport"}'

# --- 1. The form: Linux off screen, Windows in a window under Xvfb.
report 1 >"$SCRATCH/form.jsonl"
echo "$CLOSE" >>"$SCRATCH/form.jsonl"
ORV_PREVIEW_PNG="$OUT/linux.png" "$ORV" run --format json "$SCRATCH/form.jsonl" >"$OUT/linux.out" 2>&1 ||
  fail "the Linux preview: $(tail -n 3 "$OUT/linux.out")"

display=""
for n in $(seq 91 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1024x900x24 -dpi 96 -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
PIDS+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

# The script goes in line by line, so that the window can be captured
# while the report is open.
mkfifo "$SCRATCH/form.in"
(cd "$SCRATCH" && DISPLAY=$display ORV_PREVIEW_PNG=$(winpath "$OUT/windows.png") \
  "$WINE" "$ORV_EXE" run --format json - <"$SCRATCH/form.in" >"$OUT/windows.out" 2>&1) &
form=$!
exec {fd}>"$SCRATCH/form.in"
report 1 >&$fd
lines=$(report 1 | grep -c '"call"')
for _ in $(seq 600); do
  [ "$(grep -c '^{"result"' "$OUT/windows.out")" -ge "$lines" ] && break
  kill -0 $form 2>/dev/null || break
  sleep 0.1
done
sleep 1
echo '{"call":"r.newPage"}' >&$fd  # lets the form handle its pending messages
sleep 1
import -display "$display" -window root "$OUT/window.png" 2>/dev/null || fail "no screenshot of $display"
if xwininfo -display "$display" -root -tree 2>/dev/null | grep -qF '"Reporting Form"'; then
  echo "windows-report-test: the form is a window titled \"Reporting Form\" while the report is open"
else
  fail "no window titled \"Reporting Form\" on $display"
fi
echo "$CLOSE" >&$fd
exec {fd}>&-
wait $form || fail "orv.exe on the form: $(tail -n 3 "$OUT/windows.out")"
if [ -f "$OUT/windows.png" ]; then
  python3 "$REPO/tests/reporting/preview_marks.py" "$OUT/linux.png" "$OUT/windows.png" \
    --size 539x740 || fail "the preview's marks (above)"
else
  fail "no PNG at closeReport: $(tail -n 3 "$OUT/windows.out")"
fi
wineserver -k 2>/dev/null || true

# --- 2. No printer: 482 at openReport.
report 2 >"$SCRATCH/printer.jsonl"
echo "$CLOSE" >>"$SCRATCH/printer.jsonl"
out=$(CUPS_SERVER=127.0.0.1:9 "$WINE" "$ORV_EXE" run --format json "$SCRATCH/printer.jsonl" 2>&1 | tr -d "\r" || true)
# openReport is the first call that prints a line: its error comes first.
if head -n 1 <<<"$out" | grep -qF '{"error":{"number":482,"description":"Printer error"}}'; then
  echo "windows-report-test: no printer: 482 at openReport"
else
  fail "no printer: expected 482 at openReport, got: $out"
fi
wineserver -k 2>/dev/null || true

# --- 3. A printer Wine knows: a private CUPS server with a cups-pdf queue.
why=""
[ "$(id -u)" -eq 0 ] || why="printing through cups-pdf needs root"
for p in /usr/sbin/cupsd /usr/sbin/lpadmin /usr/bin/lpstat /usr/lib/cups/backend/cups-pdf \
  /usr/bin/pdftotext /usr/bin/ps2ascii; do
  [ -n "$why" ] || [ -x "$p" ] || why="$p is not installed"
done
if [ -n "$why" ]; then
  echo "windows-report-test: the printer: NOT RUN, $why"
else
  cups="$SCRATCH/cups"
  mkdir -p "$cups"/{root/ppd,spool/tmp,cache,state,log}
  chown root:lp "$cups/spool" "$cups/spool/tmp"
  chmod 710 "$cups/spool"
  chmod 1770 "$cups/spool/tmp"
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf 'Listen 127.0.0.1:%s\nLogLevel info\nWebInterface No\nBrowsing No\nDefaultAuthType None\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n' \
    "$port" >"$cups/cupsd.conf"
  printf 'ServerRoot %s/root\nRequestRoot %s/spool\nTempDir %s/spool/tmp\nCacheDir %s/cache\nStateDir %s/state\nErrorLog %s/log/error_log\nAccessLog %s/log/access_log\nPageLog %s/log/page_log\nSystemGroup root\nUser lp\nGroup lp\n' \
    "$cups" "$cups" "$cups" "$cups" "$cups" "$cups" "$cups" "$cups" >"$cups/cups-files.conf"
  /usr/sbin/cupsd -f -c "$cups/cupsd.conf" -s "$cups/cups-files.conf" >"$cups/log/cupsd.out" 2>&1 &
  PIDS+=($!)
  export CUPS_SERVER="127.0.0.1:$port"
  for _ in $(seq 100); do lpstat -r 2>&1 | grep -q "is running" && break; sleep 0.1; done
  queue=orvtest
  { lpadmin -p $queue -v cups-pdf:/ -E -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd && lpadmin -d $queue; } 2>"$cups/log/lpadmin.err" ||
    fail "lpadmin could not add the cups-pdf queue: $(cat "$cups/log/lpadmin.err")"

  # The default printer (ORV_PRINTER unset): a print job that cups-pdf
  # writes as PDF to the PDF folder in the home of the job's user.
  pdfdir="$HOME/PDF"
  mkdir -p "$pdfdir"
  touch "$SCRATCH/before"
  "$WINE" "$ORV_EXE" run --format json "$SCRATCH/printer.jsonl" >"$OUT/printer.out" 2>&1 ||
    fail "orv.exe on the default printer: $(tail -n 3 "$OUT/printer.out")"
  for _ in $(seq 600); do
    [ -n "$(lpstat -W completed -o $queue 2>/dev/null)" ] && break
    sleep 0.1
  done
  printed=$(find "$pdfdir" -maxdepth 1 -name '*.pdf' -newer "$SCRATCH/before" | head -n 1)
  if [ -n "$printed" ]; then
    cp "$printed" "$OUT/printed.pdf"
    rm -f "$printed"
    text=$(pdftotext -layout "$OUT/printed.pdf" - 2>/dev/null || true)
    missing=""
    for t in "Stock report" "Shop" "Pagina: 1" "Line of text"; do
      grep -qF "$t" <<<"$text" || missing="$missing '$t'"
    done
    if [ -z "$missing" ]; then
      echo "windows-report-test: the default printer (a CUPS queue): the printed PDF holds the report's texts"
    else
      fail "the printed PDF lacks$missing: $text"
    fi
  else
    fail "no PDF from cups-pdf: $(tail -n 5 "$cups/log/error_log")"
  fi

  # file:PATH, through the default printer's driver (PostScript here).
  ORV_PRINTER="file:$(winpath "$OUT/printed.ps")" \
    "$WINE" "$ORV_EXE" run --format json "$SCRATCH/printer.jsonl" >"$OUT/file.out" 2>&1 ||
    fail "orv.exe to file: $(tail -n 3 "$OUT/file.out")"
  # The spooler may still be copying the job into the file.
  for _ in $(seq 100); do
    [ -f "$OUT/printed.ps" ] && tail -c 200 "$OUT/printed.ps" | grep -q '%%EOF' && break
    sleep 0.1
  done
  if [ -f "$OUT/printed.ps" ]; then
    # ps2ascii may put no-break spaces between words.
    text=$(ps2ascii "$OUT/printed.ps" 2>/dev/null | sed 's/\xc2\xa0/ /g' | tr -d '\r' || true)
    missing=""
    for t in "Stock report" "Line of text"; do
      grep -qF "$t" <<<"$text" || missing="$missing '$t'"
    done
    if [ -z "$missing" ]; then
      echo "windows-report-test: file:PATH: the driver's PostScript holds the report's texts"
    else
      fail "the PostScript file lacks$missing: $text"
    fi
  else
    fail "ORV_PRINTER=file:PATH wrote no file: $(tail -n 3 "$OUT/file.out")"
  fi
  wineserver -k 2>/dev/null || true
fi

if [ "$failures" -eq 0 ]; then
  echo "windows-report-test: PASS (images in $OUT)"
else
  echo "windows-report-test: FAIL, $failures failing step(s)"
fi
exit $((failures > 0))
