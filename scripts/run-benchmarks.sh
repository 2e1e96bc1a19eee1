#!/usr/bin/env bash
# Runs every benchmark program of a benchmark build, one after the other.
# A program that fails does not stop the others; the run fails at the end
# and names them. With --smoke each benchmark runs once, briefly (a check
# that every benchmark still runs, not a measurement), and a benchmark that
# reports an error fails the run too.
# Usage: scripts/run-benchmarks.sh BENCH_BUILD [--smoke]
set -uo pipefail

build=${1:?usage: run-benchmarks.sh BENCH_BUILD [--smoke]}
smoke=${2:-}
args=()
[ "$smoke" = --smoke ] && args=(--benchmark_min_time=0.001 --benchmark_repetitions=1)
failed=()
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] && [ -f "$b" ] || continue
    name=$(basename "$b")
    echo "== $name"
    log=$(mktemp)
    "$b" "${args[@]}" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    if [ "$status" -ne 0 ]; then
        failed+=("$name (exit status $status)")
    elif [ "$smoke" = --smoke ] && grep -q 'ERROR OCCURRED' "$log"; then
        failed+=("$name ($(grep -c 'ERROR OCCURRED' "$log") benchmarks reported an error)")
    fi
    rm -f "$log"
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "benchmarks that failed:"
    printf '  %s\n' "${failed[@]}"
    exit 1
fi
