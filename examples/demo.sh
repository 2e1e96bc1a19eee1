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

# Main log folder and trace level for named logs.
key='HKLM\SOFTWARE\VELN\LogSystem'
"$orv" reg add "$key" /v Path /d "$work" /f >/dev/null
"$orv" reg add "$key" /v Trace /d 4 /f >/dev/null

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
echo "Where the files are"
echo "==================="
echo "Everything the tour wrote is in $work:"
(cd "$work" && ls -1 | sed 's/^/  /')
echo "(raw JSON of every call: make demo DEMO_FORMAT=json, or examples/demo.sh $build --json)"
