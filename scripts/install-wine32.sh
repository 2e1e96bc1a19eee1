#!/usr/bin/env bash
# Tries to install wine32, Wine's 32-bit half, from the i386 architecture, for
# the 32-bit Windows suite. The i386 package index on the mirror is sometimes
# inconsistent, so this step never fails: on any failure it says why, takes
# the i386 architecture (and any i386 package half installed) away again, so
# that later apt-get updates keep working, and exits 0. It installs nothing
# when the kernel cannot run 32-bit programs. The 32-bit suite runs only when
# wine32 is installed and the kernel can run it (scripts/win32-runnable.sh).
set -u
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
installed() { dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "install ok installed"; }
if installed; then
  echo "install-wine32: wine32 is installed"
  exit 0
fi
# A kernel without ia32 emulation cannot run what wine32 brings: don't spend
# the download on it.
if ! why=$(bash "$(dirname "$0")/win32-runnable.sh" --kernel); then
  echo "install-wine32: not installed, $why; the 32-bit suite will not run"
  exit 0
fi

LOG=$(mktemp)
added=0
why=""
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if $SUDO dpkg --add-architecture i386; then
    added=1
  else
    why="dpkg --add-architecture i386 failed"
  fi
fi
if [ -z "$why" ] && ! $SUDO apt-get update >"$LOG" 2>&1; then
  why="apt-get update with i386 failed"
fi
if [ -z "$why" ] && ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y \
  --no-install-recommends wine32 >>"$LOG" 2>&1; then
  why="apt-get install wine32 failed"
fi
if [ -z "$why" ] && ! installed; then
  why="wine32 is not installed after apt-get install"
fi

if [ -n "$why" ]; then
  echo "install-wine32: $why; the 32-bit suite will not run. Last lines:"
  tail -n 8 "$LOG" | sed 's/^/  /'
  if [ "$added" = 1 ]; then
    # Packages of the architecture must go before the architecture can.
    leftovers=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' 2>/dev/null |
      awk '$1 ~ /:i386$/ && $NF != "not-installed" {print $1}')
    if [ -n "$leftovers" ]; then
      # shellcheck disable=SC2086
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y $leftovers >/dev/null 2>&1 ||
        $SUDO dpkg --purge --force-depends --force-remove-essential --force-remove-protected $leftovers >/dev/null 2>&1 || true
    fi
    if $SUDO dpkg --remove-architecture i386; then
      echo "install-wine32: the i386 architecture is removed again"
    else
      echo "install-wine32: could not remove the i386 architecture" >&2
    fi
    $SUDO apt-get update >/dev/null 2>&1 || true
  fi
else
  echo "install-wine32: wine32 installed"
fi
rm -f "$LOG"
exit 0
