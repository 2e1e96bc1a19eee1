#!/usr/bin/env bash
# The package as a user gets it: installs the build into a temporary prefix,
# checks that the shared library publishes only the ORV_API symbols, builds
# the outside client in examples/client with find_package and with
# pkg-config, and runs both.
# Usage: scripts/package-test.sh [BUILD_DIR]   (default: build)
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orvpkg-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
export ORV_REGISTRY="$work/registry.reg"  # the client never touches the machine's store

cmake --build "$build" --target orvcommon orv tvpdf tvpdf_command >/dev/null
cmake --install "$build" --prefix "$prefix" >/dev/null
echo "installed into $prefix"

# Only the published surface installs: no private header, no member tables.
for f in platform/settings.hpp server/member_table.hpp results/trap.hpp; do
    [ ! -e "$prefix/include/orvcommon/$f" ] || { echo "FAIL: private header $f installed"; exit 1; }
done
"$prefix/bin/orv" --version
[ -f "$prefix/share/man/man1/orv.1" ] || { echo "FAIL: man page not installed"; exit 1; }
[ -f "$prefix/share/doc/orvcommon/tvpdf-commands.md" ] || { echo "FAIL: PDF command language not installed"; exit 1; }

lib=$(find "$prefix" -name 'liborvcommon.so.*.*' | head -n 1)

# The PDF engine sits beside the library, where the library looks first, and
# the installed command draws a page with it.
[ -f "$(dirname "$lib")/libtvpdf.so" ] || { echo "FAIL: libtvpdf.so not beside $lib"; exit 1; }
printf 'TEXT 0 10 "installed engine"\r\n' >"$work/page.txt"
"$prefix/bin/tvpdf" "$work/page.txt" "$work/page.pdf"
head -c 5 "$work/page.pdf" | grep -q '^%PDF-' || { echo "FAIL: tvpdf wrote no PDF"; exit 1; }
# The installed `orv` carries the library inside it and finds the engine in
# the installation's library folder with nothing set.
(cd "$work" && env -u ORV_TVPDF TMPDIR="$work" "$prefix/bin/orv" call --format json \
    Funzioni.createPdfStream 'TEXT 0 10 "installed orv"' :empty) >"$work/orv-pdf.out"
grep -q '"numberInfo":0,' "$work/orv-pdf.out" && grep -q '"hex":"255044462d' "$work/orv-pdf.out" \
    || { echo "FAIL: the installed orv did not find its PDF engine"; head -c 400 "$work/orv-pdf.out"; exit 1; }
echo "PDF engine installed: ok"
total=$(nm -D --defined-only "$lib" | grep -vc ' A ' || true)
foreign=$(nm -DC --defined-only "$lib" | grep -v ' A ' | grep -vc ' orv::\| for orv::' || true)
echo "exported symbols: $total ($foreign outside namespace orv)"
[ "$foreign" -eq 0 ] || { nm -DC --defined-only "$lib" | grep -v ' orv::\| for orv::'; exit 1; }

# Every installed header compiles on its own.
for h in $(cd "$prefix/include" && find orvcommon -name '*.hpp'); do
    echo "#include <$h>" | c++ -std=c++20 -fsyntax-only -I"$prefix/include" -x c++ - \
        || { echo "FAIL: $h does not compile on its own"; exit 1; }
done

run_client() {
    local how=$1 exe=$2
    (cd "$work" && rm -f prices.csv && LD_LIBRARY_PATH="$(dirname "$lib")" "$exe" prices.csv) \
        >"$work/$how.out"
    cat "$work/$how.out"
    grep -q '^write: numberInfo=0 descriptionInfo="Operazione eseguita correttamente"' "$work/$how.out"
    grep -q '^  Pear; Williams | 7$' "$work/$how.out"
    echo "client built with $how: ok"
}

# 1. find_package
cmake -S "$src/examples/client" -B "$work/cmake-client" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/cmake-client" >/dev/null
run_client find_package "$work/cmake-client/client"

# 2. pkg-config
pcdir=$(dirname "$(find "$prefix" -name orvcommon.pc | head -n 1)")
flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs orvcommon)
c++ -std=c++20 -Wall -Wextra -Werror "$src/examples/client/main.cpp" $flags -o "$work/pc-client"
run_client pkg-config "$work/pc-client"
# As the README says: with the library folder as run path it starts on its own.
c++ -std=c++20 "$src/examples/client/main.cpp" $flags \
    -Wl,-rpath,"$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir orvcommon)" -o "$work/rpath-client"
(cd "$work" && rm -f prices.csv && "$work/rpath-client" prices.csv) | grep -q '^  Pear; Williams | 7$'
echo "client built with pkg-config and its run path: ok"
