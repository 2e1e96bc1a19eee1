#!/usr/bin/env bash
# The tour: runs examples/demo.jsonl with `orv run --narrate` in a folder of
# its own (BUILD_DIR/demo, emptied first) holding its settings store and
# logs, then shows the log files and says where everything is.
# Usage: examples/demo.sh [BUILD_DIR] [--json]   (default: build; --json
# prints the raw JSON lines of each call instead of the narrated text)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=build
format=text
for arg in "$@"; do
    case "$arg" in
        --json) format=json ;;
        *) build=$arg ;;
    esac
done
build=$(cd "$build" && pwd)
orv="$build/tools/orv"
[ -x "$orv" ] || { echo "demo: $orv not found; build first (make demo builds it)" >&2; exit 1; }

work="${ORV_DEMO_DIR:-$build/demo}"
rm -rf "$work"
mkdir -p "$work"
export ORV_REGISTRY="$work/registry.reg"
# createPdfStream leaves its command and PDF files in the temporary folder.
export TMPDIR="$work"

# Main log folder and trace level for named logs.
key='HKLM\SOFTWARE\VELN\LogSystem'
"$orv" reg add "$key" /v Path /d "$work" /f >/dev/null
"$orv" reg add "$key" /v Trace /d 4 /f >/dev/null

# Reports: the printed PDF and the preview PNG stay in the demo folder.
out="${ORV_DEMO_OUT:-$work}"
mkdir -p "$out"
export ORV_PRINTER="file:$out/report.pdf" ORV_PREVIEW_PNG="$out/report-preview.png"
unset DISPLAY

if [ "$format" = json ]; then
    (cd "$work" && "$orv" run --format json "$here/demo.jsonl")
    exit
fi

(cd "$work" && "$orv" run --format text --narrate "$here/demo.jsonl")

echo
echo "The log files"
echo "============="
echo "Each logged result is one line: date and time, process, class, location,"
echo "step, type, number and description, each in square brackets."
for log in "$work"/*.log; do
    echo
    echo "$(basename "$log"):"
    sed 's/^/  /' "$log"
done

echo
# The PDF of the PDF step, kept as demo.pdf beside the other files (and
# copied to DEMO_PDF when that names a file, to look at after the demo).
for pdf in "$work"/pdf.* "$work"/pdf0 "$work"/pdf1; do
    [ -f "$pdf" ] || continue
    cp "$pdf" "$work/demo.pdf"
    echo
    echo "demo.pdf ($(wc -c <"$work/demo.pdf") bytes): the PDF made by createPdfStream as $(basename "$pdf")"
    if [ -n "${DEMO_PDF:-}" ]; then
        cp "$work/demo.pdf" "$DEMO_PDF"
        echo "copied to $DEMO_PDF"
    fi
done

echo
echo "Where the files are"
echo "==================="
echo "Everything the tour wrote is in $work:"
(cd "$work" && ls -1 | sed 's/^/  /')
if [ "$out" != "$work" ]; then
    echo "The report it printed and its preview are in $out:"
    ls -1 "$out"/report* 2>/dev/null | sed 's/^/  /'
fi
echo "(raw JSON of every call: make demo DEMO_FORMAT=json, or examples/demo.sh $build --json)"
