#!/usr/bin/env bash
# Runs examples/demo.jsonl with `orv run` in a temporary folder holding its
# own settings store and logs, then prints the main and the named log file.
# Usage: examples/demo.sh [BUILD_DIR]   (default: build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
orv="$build/tools/orv"
[ -x "$orv" ] || { echo "demo: $orv not found; build first (make build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/orvdemo-XXXXXX")
trap 'rm -rf "$work"' EXIT
export ORV_REGISTRY="$work/registry.reg"
# createPdfStream leaves its command and PDF files in the temporary folder.
export TMPDIR="$work"

# Main log folder and trace level for named logs.
key='HKLM\SOFTWARE\VELN\LogSystem'
if "$orv" --help 2>/dev/null | grep -qw reg; then
    "$orv" reg add "$key" /v Path /d "$work" /f >/dev/null
    "$orv" reg add "$key" /v Trace /d 4 /f >/dev/null
else
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem]\r\n"Path"="%s"\r\n"Trace"="4"\r\n' \
        "$(printf '%s' "$work" | sed 's/\\/\\\\/g; s/"/\\"/g')" >"$ORV_REGISTRY"
fi

# Reports: the printed PDF and the preview PNG stay in the demo folder.
out="${ORV_DEMO_OUT:-$build/demo}"
mkdir -p "$out"
export ORV_PRINTER="file:$out/report.pdf" ORV_PREVIEW_PNG="$out/report-preview.png"
unset DISPLAY

echo "== orv run examples/demo.jsonl (in $work)"
(cd "$work" && "$orv" run "$here/demo.jsonl")

# The main log (named after the module) first, then the demo's own log.
for log in "$work"/*.log; do
    [ "$(basename "$log")" = demo-named.log ] && continue
    echo
    echo "== main log $(basename "$log")"
    cat "$log"
done
echo
echo "== named log demo-named.log"
cat "$work/demo-named.log" 2>/dev/null || echo "(not written)"
echo
echo "== report: $out/report.pdf (printed), $out/report-preview.png (preview)"

# The PDF of the last step, kept as demo.pdf beside the other files (and
# copied to DEMO_PDF when that names a file, to look at after the demo).
for pdf in "$work"/pdf.* "$work"/pdf0 "$work"/pdf1; do
    [ -f "$pdf" ] || continue
    cp "$pdf" "$work/demo.pdf"
    echo
    echo "== demo.pdf ($(wc -c <"$work/demo.pdf") bytes, made by createPdfStream as $(basename "$pdf"))"
    if [ -n "${DEMO_PDF:-}" ]; then
        cp "$work/demo.pdf" "$DEMO_PDF"
        echo "copied to $DEMO_PDF"
    fi
done
