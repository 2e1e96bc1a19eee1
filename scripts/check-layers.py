#!/usr/bin/env python3
"""Checks that the library's layers include only downward.

    check-layers.py

The folders of src/orvcommon/ and tools/ are layers, lowest first:

    base < formats < platform < core < results < operations
         < {files, registry, functions, reporting, inet} < server < tools

A file may include headers of its own folder and of the layers below it. It
may not include a header of a higher layer, nor one of a sibling class
folder (the classes stand side by side on operations/ and below: what two
classes share goes down into operations/). The headers
at the top of src/orvcommon/ (export.hpp, the generated version.hpp) belong
to every layer, except orv_tool_internal.hpp (below).

operations/ holds the work that two classes share: the CSV line split, the
text cleaning and the whole-file steps (and the regional decimal separator
that Funzioni keeps and the file readers read as it does). Each piece is one
public operation's work and returns that operation's result object, so the
layer stands on results/; it is not part of results/, which knows the
result object, the log and the trap but no file or text format of a class.

The `orv` command (tools/orv/) carries the library inside it, but it
includes only the published headers (ORV_PUBLIC_HEADERS in
src/orvcommon/CMakeLists.txt) and its own internal interface,
orvcommon/orv_tool_internal.hpp, which no library file includes.

Prints each include that breaks the order and exits 1 when
there is one that is not in KNOWN below.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
LIBRARY = ROOT / "src" / "orvcommon"

RANK = {
    "base": 0,
    "formats": 1,
    "platform": 2,
    "core": 3,
    "results": 4,
    "operations": 5,
    "files": 6,
    "registry": 6,
    "functions": 6,
    "reporting": 6,
    "inet": 6,
    "server": 7,
    "tools": 8,
}

# Includes that break the order today. Each is a debt to pay, not a rule:
# pay it by removing the line here together with the include. A new
# violation is not added here; it is fixed.
KNOWN = set()

INCLUDE = re.compile(r'^\s*#\s*include\s*"orvcommon/([^"]+)"')

TOOL = ROOT / "tools" / "orv"
TOOL_INTERFACE = "orv_tool_internal.hpp"


def published_headers():
    """The headers installed for clients, as the library's CMakeLists lists them."""
    cmake = (LIBRARY / "CMakeLists.txt").read_text()
    block = re.search(r"set\(ORV_PUBLIC_HEADERS\s+([^)]*)\)", cmake)
    return set(block.group(1).split()) | {"version.hpp"}


def layer_of(rel):
    """The layer of a path relative to ROOT, or None outside the layers."""
    parts = rel.parts
    if parts[0] == "tools":
        return "tools"
    if parts[:2] == ("src", "orvcommon") and len(parts) > 3:
        return parts[2]
    return None


def included_layer(target):
    """The layer of an included "orvcommon/..." header; None for the top."""
    parts = target.split("/")
    return parts[0] if len(parts) > 1 else None


def violations():
    found = []
    published = published_headers()
    for folder in (LIBRARY, ROOT / "tools"):
        for path in sorted(folder.rglob("*")):
            if path.suffix not in (".cpp", ".hpp", ".h"):
                continue
            rel = path.relative_to(ROOT)
            layer = layer_of(rel)
            if layer is None:
                continue
            if layer not in RANK:
                found.append((str(rel), 0, "", f"{layer}/ is not a known layer"))
                continue
            for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1)
                if target == TOOL_INTERFACE and layer != "tools":
                    found.append((str(rel), n, target, "the tool's interface is for tools/orv only"))
                    continue
                if TOOL in path.parents and target not in published | {TOOL_INTERFACE}:
                    found.append((str(rel), n, target,
                                  f"tools/orv includes published headers and {TOOL_INTERFACE} only"))
                    continue
                other = included_layer(target)
                if other is None or other == layer:
                    continue
                if other not in RANK:
                    found.append((str(rel), n, target, f"{other}/ is not a known layer"))
                elif RANK[other] > RANK[layer]:
                    found.append((str(rel), n, target, f"{layer}/ is below {other}/"))
                elif RANK[other] == RANK[layer]:
                    found.append((str(rel), n, target, f"{layer}/ and {other}/ are siblings"))
    return found


def main():
    found = violations()
    new = [v for v in found if (v[0], v[2]) not in KNOWN]
    known = [v for v in found if (v[0], v[2]) in KNOWN]
    seen = {(v[0], v[2]) for v in found}
    paid = sorted(k for k in KNOWN if k not in seen)
    for rel, n, target, why in new:
        print(f"{rel}:{n} includes orvcommon/{target}: {why}")
    for rel, n, target, why in known:
        print(f"{rel}:{n} includes orvcommon/{target}: {why} (known debt)")
    for rel, target in paid:
        print(f"{rel} no longer includes orvcommon/{target}: remove it from KNOWN")
    print(f"check-layers: {len(new)} new, {len(known)} known (allowed), {len(paid)} paid but listed")
    return 1 if new or paid else 0


if __name__ == "__main__":
    sys.exit(main())
