#!/usr/bin/env python3
"""Checks that the platform backends expose the same names and that only the
platform layer talks to the operating system.

    check-platform.py sources
        platform/posix and platform/win32 hold the same .cpp files (less the
        backend-private ones listed below), and no file of the library or of
        its command outside src/orvcommon/platform/ (and the Windows
        automation server in src/orvcommon/server/win32/) includes a Windows
        or POSIX header.
    check-platform.py symbols POSIX_BUILD WINDOWS_BUILD
        the objects of the two backends define the same functions of the
        OS-neutral platform headers (namespace orv::platform, not the
        backends' own namespaces), compared by qualified name.
"""
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PLATFORM = ROOT / "src" / "orvcommon" / "platform"
# The in-process automation server is Windows by nature: class factories,
# IDispatch and registration are the automation surface, not an OS service.
SERVER = ROOT / "src" / "orvcommon" / "server" / "win32"

# Files only one backend has, and why.
PRIVATE = {
    "posix": {
        "posix_io.hpp": "the POSIX system-call table and error mapping",
        "report_cairo.hpp": "the cairo drawing shared by the two cairo report targets",
    },
    "win32": {
        "win32_io.hpp": "the Win32 system-call table, error mapping and text conversions",
        "report_gdi.hpp": "the GDI drawing shared by the two GDI report targets",
    },
}

OS_HEADER = re.compile(
    r"^\s*#\s*include\s*<("
    r"windows\.h|win[a-z0-9]*\.h|ws2[a-z0-9]*\.h|shl[a-z]*\.h|ole[a-z0-9]*\.h|objbase\.h|"
    r"io\.h|direct\.h|process\.h|tchar\.h|"
    r"unistd\.h|fcntl\.h|sys/[a-z_/]+\.h|dirent\.h|dlfcn\.h|pthread\.h|syslog\.h|"
    r"langinfo\.h|poll\.h|signal\.h|spawn\.h|netinet/[a-z_]+\.h|arpa/[a-z_]+\.h|netdb\.h|"
    r"pwd\.h|grp\.h|termios\.h|curl/curl\.h|cairo[a-z-]*\.h|cups/[a-z]+\.h|X11/[A-Za-z]+\.h|"
    r"fontconfig/[a-z]+\.h)>")


def check_sources():
    problems = []
    files = {}
    for backend in ("posix", "win32"):
        names = {p.name for p in (PLATFORM / backend).iterdir() if p.suffix in (".cpp", ".hpp")}
        files[backend] = names - set(PRIVATE[backend])
        for private in PRIVATE[backend]:
            if private not in names:
                problems.append(f"{backend}/{private} is listed as private but does not exist")
    for a, b in (("posix", "win32"), ("win32", "posix")):
        for name in sorted(files[a] - files[b]):
            problems.append(f"{a}/{name} has no counterpart in {b}/")
    for folder in ("src", "tools"):
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cpp", ".hpp", ".h") or PLATFORM in path.parents:
                continue
            if SERVER in path.parents:
                continue
            for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                m = OS_HEADER.match(line)
                if m:
                    rel = path.relative_to(ROOT)
                    problems.append(f"{rel}:{n} includes <{m.group(1)}> outside the platform layer")
    same = len(files["posix"] & files["win32"])
    return problems, f"{same} platform files in both backends"


def defined_functions(nm, objects):
    """Qualified names of the functions of orv::platform the objects define."""
    names = set()
    out = subprocess.run([nm, "-C", "--defined-only", *map(str, objects)],
                         check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        parts = line.split(" ", 2)
        # Strong definitions only: inline members and template instances are
        # weak and come and go with the optimiser.
        if len(parts) < 3 or parts[1] != "T":
            continue
        symbol = parts[2]
        if not symbol.startswith("orv::platform::"):
            continue
        if "(anonymous namespace)" in symbol or symbol.startswith(
                ("orv::platform::posix::", "orv::platform::win32::")):
            continue
        # The name without its parameters: the integer types of the
        # signatures differ between the two ABIs (long against long long).
        depth = 0
        for i, c in enumerate(symbol):
            if c == "<":
                depth += 1
            elif c == ">":
                depth -= 1
            elif c == "(" and depth == 0:
                symbol = symbol[:i]
                break
        # Constructors and destructors the compiler writes for a header's
        # types are not the backend's functions.
        parts = symbol.split("::")
        if parts[-1].startswith("~") or (len(parts) > 1 and parts[-1] == parts[-2]):
            continue
        names.add(symbol)
    return names


def check_symbols(posix_build, windows_build):
    objects = "src/orvcommon/CMakeFiles/orvcommon_internal.dir/platform"
    posix = sorted((pathlib.Path(posix_build) / objects / "posix").glob("*.o"))
    win32 = sorted((pathlib.Path(windows_build) / objects / "win32").glob("*.obj"))
    if not posix or not win32:
        return [f"no backend objects in {posix_build} or {windows_build}"], ""
    # The neutral sources of platform/ are the same objects on both sides.
    a = defined_functions("nm", posix)
    b = defined_functions("x86_64-w64-mingw32-nm", win32)
    problems = [f"only POSIX defines {n}" for n in sorted(a - b)]
    problems += [f"only Windows defines {n}" for n in sorted(b - a)]
    return problems, f"{len(a & b)} platform functions defined by both backends"


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "sources":
        problems, summary = check_sources()
    elif len(sys.argv) == 4 and sys.argv[1] == "symbols":
        problems, summary = check_symbols(sys.argv[2], sys.argv[3])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for p in problems:
        print("check-platform:", p, file=sys.stderr)
    if problems:
        return 1
    print("check-platform:", summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
