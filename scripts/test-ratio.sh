#!/usr/bin/env bash
# Prints the size of the tests against the size of the code, in non-blank
# lines of the files git tracks, every language counted:
#   code  = src/ engines/ tools/
#   tests = tests/ fuzz/
# Binary and image files are left out. Aim: about a third (36 % or less).
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files -- "$@" | grep -vE '\.(png|pdf|bin|dat|ico|bmp|jpg|ttf|zip)$' |
    tr '\n' '\0' | xargs -0 -r cat | grep -c -v -E '^\s*$' || true
}
code=$(count src engines tools)
tests=$(count tests fuzz)
echo "test-ratio: tests ${tests} / code ${code} non-blank lines = $((100 * tests / code)) % (aim: 36 % or less)"
