#!/usr/bin/env bash
# Compiles the committed IDL into a type library with the 64-bit and the
# 32-bit IDL compiler, and checks that each library names every class and its
# dispatch interface. Usage: compile_type_library.sh IDL OUTDIR WIDL64 WIDL32 INCLUDE LIBDIR
set -euo pipefail
idl=$1 out=$2 widl64=$3 widl32=$4 inc=$5 lib=$6
mkdir -p "$out"
classes=$(sed -n 's/^    coclass \([A-Za-z]*\) {$/\1/p' "$idl")
[ -n "$classes" ] || { echo "no coclass in $idl"; exit 1; }
for arch in 64 32; do
  widl=$widl64; [ $arch = 32 ] && widl=$widl32
  tlb=$out/orvcommon$arch.tlb
  "$widl" -I"$inc" -L"$lib" -m$arch -t -o "$tlb" "$idl"
  # Names are stored once each in the library's name table.
  for c in $classes; do
    for name in "$c" "_$c"; do
      grep -qa -- "$name" "$tlb" || { echo "$tlb lacks $name"; exit 1; }
    done
  done
  echo "$tlb: $(stat -c %s "$tlb") bytes, $(echo $classes | wc -w) classes"
done
