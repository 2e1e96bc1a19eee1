#!/usr/bin/env python3
"""Compares the marks of two previews of the same report, not their fonts.

    preview_marks.py REFERENCE.png OTHER.png [--size WxH]

A mark is a straight rule (a run of at least 40 dark pixels along a row or a
column; a rule two pixels thick is one mark) or the top or bottom edge of the
red fill. Every mark of REFERENCE needs one of the same kind in OTHER within 2
pixels, and both need as many marks; exits 1 otherwise, or when OTHER is not
of the given size.
"""
import argparse
import itertools
import subprocess
import sys

MIN_RUN, TOLERANCE = 40, 2


def load_png(path):
    """(width, height, rows of (r, g, b) tuples) of a PNG, decoded by ImageMagick."""
    out = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True)
    if out.returncode != 0:
        raise ValueError(f"{path}: not a readable PNG file")
    _, width, height, _, data = out.stdout.split(maxsplit=4)
    width, height = int(width), int(height)
    rows = [[tuple(data[i:i + 3]) for i in range(y * width * 3, (y + 1) * width * 3, 3)]
            for y in range(height)]
    return width, height, rows


def runs(cells):
    """(start, end) of the runs of True at least MIN_RUN long (end inclusive)."""
    out, i = [], 0
    for dark, group in itertools.groupby(cells):
        n = len(list(group))
        if dark and n >= MIN_RUN:
            out.append((i, i + n - 1))
        i += n
    return out


def marks(path):
    width, height, rows = load_png(path)
    dark = [[max(p) < 128 for p in row] for row in rows]
    found = [("rule across", y, a, b) for y in range(height) for a, b in runs(dark[y])]
    found += [("rule down", x, a, b) for x in range(width)
              for a, b in runs(dark[y][x] for y in range(height))]
    merged = []  # [kind, at, start, end, last at]
    for kind, at, a, b in sorted(found):
        last = merged[-1] if merged else None
        if last and last[0] == kind and at - last[4] == 1 and abs(a - last[2]) <= 1 \
                and abs(b - last[3]) <= 1:
            last[4] = at
        else:
            merged.append([kind, at, a, b, at])
    result = [tuple(m[:4]) for m in merged]
    red = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
           if p[0] >= 0xC0 and p[1] < 0x40 and p[2] < 0x40]
    if red:
        xs, ys = [p[0] for p in red], [p[1] for p in red]
        result += [("red fill", min(ys), min(xs), max(xs)),
                   ("red fill bottom", max(ys), min(xs), max(xs))]
    return (width, height), result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("reference")
    ap.add_argument("other")
    ap.add_argument("--size")
    args = ap.parse_args()
    _, ref = marks(args.reference)
    (ow, oh), other = marks(args.other)
    ok = bool(ref) and len(other) == len(ref)
    if args.size and f"{ow}x{oh}" != args.size:
        print(f"preview-marks: {args.other} is {ow}x{oh}, not {args.size}")
        ok = False
    worst = 0
    for m in ref:
        offsets = [max(abs(o[i] - m[i]) for i in (1, 2, 3)) for o in other if o[0] == m[0]]
        best = min(offsets, default=None)
        if best is None or best > TOLERANCE:
            ok = False
            print(f"preview-marks: {m} has no counterpart (nearest at {best} px)")
        else:
            worst = max(worst, best)
    print(f"preview-marks: {len(ref)} marks in the reference, {len(other)} in the other,"
          f" largest offset {worst} px")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
