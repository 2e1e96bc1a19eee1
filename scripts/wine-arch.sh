# Sourced by the scripts that run Windows programs under Wine:
#   wine_arch win64|win32
# sets WINE (the loader of that architecture), SYS (the folder its system
# tools come from) and VIEW (the registry view they read and write), or
# prints why that architecture cannot run and returns 1.
#
# Every Wine call names its architecture. Once wine32 is installed, the plain
# `wine` is the 32-bit loader: a system tool started through it by bare name
# (reg, regsvr32, cscript) is the 32-bit one, which sees syswow64 as its
# system folder and the 32-bit registry view. So 64-bit programs go through
# the 64-bit loader with system32 and /reg:64, and 32-bit ones through the
# 32-bit loader with syswow64 and /reg:32 (in a 64-bit prefix the 32-bit
# registrations and settings live under Wow6432Node).
wine_arch() {
  case $1 in
  win64)
    # Debian keeps the 64-bit loader out of PATH; other packagings put wine64 there.
    WINE=$(command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)
    SYS='C:\windows\system32' VIEW=/reg:64
    # What the plain `wine` sets when it picks the 64-bit loader: the loader
    # that Wine starts again for new processes.
    export WINELOADER=$WINE
    ;;
  win32)
    WINE=/usr/lib/wine/wine
    SYS='C:\windows\syswow64' VIEW=/reg:32
    unset WINELOADER
    ;;
  *)
    echo "wine_arch: architecture '$1' is neither win64 nor win32"
    return 1
    ;;
  esac
  [ -x "$WINE" ] || { echo "the $1 Wine loader $WINE is not installed"; return 1; }
}
