#!/usr/bin/env bash
# Says whether this machine can run the 32-bit Windows suite: exits 0 when it
# can, or prints the reason on one line and exits 1.
#   --kernel   only asks whether the kernel runs 32-bit x86 programs at all
#              (some kernels are built with ia32 emulation off; then wine32
#              installs but every 32-bit program fails with "Exec format
#              error", so installing it is wasted time)
# The kernel is asked by running a 100-byte 32-bit program that only exits.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
python3 - "$probe" <<'PY'
import struct, sys
base = 0x08048000
code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80: exit(0)
size = 52 + 32 + len(code)
header = b"\x7fELF\x01\x01\x01" + b"\0" * 9 + struct.pack(
    "<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
open(sys.argv[1], "wb").write(header + segment + code)
PY
chmod +x "$probe"
if ! "$probe" 2>/dev/null; then
  echo "the kernel does not run 32-bit x86 programs (ia32 emulation is off)"
  exit 1
fi
[ "${1:-}" = --kernel ] && exit 0
if ! dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; then
  echo "wine32 is not installed (scripts/install-wine32.sh)"
  exit 1
fi
exit 0
