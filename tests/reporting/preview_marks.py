#!/usr/bin/env python3
"""Compares the marks of two previews of the same report, not their fonts.

    preview_marks.py REFERENCE.png OTHER.png [--tolerance PX] [--size WxH]

A mark is a straight rule (a run of at least 40 dark pixels along a row or a
column: the frame, the header and footer rules, the edges of the boxes) or
the bounding box of the red fill. Every mark of REFERENCE must have a mark of
the same kind in OTHER whose ends lie within the tolerance (2 pixels), and
the two must have as many marks. Prints the marks matched and the largest
offset; exits 1 when a mark is missing or out of place, or when OTHER is not
of the given size.
"""
import argparse
import subprocess
import sys

MIN_RUN = 40


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
    out, start = [], None
    for i, v in enumerate(list(cells) + [False]):
        if v and start is None:
            start = i
        elif not v and start is not None:
            if i - start >= MIN_RUN:
                out.append((start, i - 1))
            start = None
    return out


def marks(path):
    width, height, rows = load_png(path)
    dark = [[max(p) < 128 for p in row] for row in rows]
    found = []
    for y in range(height):
        for a, b in runs(dark[y]):
            found.append(("rule across", y, a, b))
    for x in range(width):
        for a, b in runs(dark[y][x] for y in range(height)):
            found.append(("rule down", x, a, b))
    # A rule two pixels thick is one mark.
    merged = []
    for m in sorted(found):
        last = merged[-1] if merged else None
        if (last and last[0] == m[0] and m[1] - last[4] == 1 and abs(m[2] - last[2]) <= 1
                and abs(m[3] - last[3]) <= 1):
            last[4] = m[1]
        else:
            merged.append([m[0], m[1], m[2], m[3], m[1]])
    result = [(k, at, a, b) for k, at, a, b, _ in merged]
    red = [(x, y) for y, row in enumerate(rows) for x, p in enumerate(row)
           if p[0] >= 0xC0 and p[1] < 0x40 and p[2] < 0x40]
    if red:
        xs, ys = [p[0] for p in red], [p[1] for p in red]
        result.append(("red fill", min(ys), min(xs), max(xs)))
        result.append(("red fill bottom", max(ys), min(xs), max(xs)))
    return (width, height), result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("reference")
    ap.add_argument("other")
    ap.add_argument("--tolerance", type=int, default=2)
    ap.add_argument("--size")
    args = ap.parse_args()
    (rw, rh), ref = marks(args.reference)
    (ow, oh), other = marks(args.other)
    ok = True
    if args.size and f"{ow}x{oh}" != args.size:
        print(f"preview-marks: {args.other} is {ow}x{oh}, not {args.size}")
        ok = False
    matched, worst = 0, 0
    for m in ref:
        best = None
        for o in other:
            if o[0] != m[0]:
                continue
            off = max(abs(o[1] - m[1]), abs(o[2] - m[2]), abs(o[3] - m[3]))
            if best is None or off < best[0]:
                best = (off, o)
        if best and best[0] <= args.tolerance:
            matched += 1
            worst = max(worst, best[0])
        else:
            ok = False
            near = f", nearest {best[1]} at {best[0]} px" if best else ""
            print(f"preview-marks: {m} has no counterpart{near}")
    if len(other) != len(ref):
        ok = False
        extra = [o for o in other if not any(o[0] == m[0] and max(
            abs(o[1] - m[1]), abs(o[2] - m[2]), abs(o[3] - m[3])) <= args.tolerance for m in ref)]
        print(f"preview-marks: {len(ref)} marks in the reference, {len(other)} in the other;"
              f" extra: {extra}")
    print(f"preview-marks: {matched} of {len(ref)} marks matched, largest offset {worst} px"
          f" ({rw}x{rh} against {ow}x{oh})")
    return 0 if ok and ref else 1


if __name__ == "__main__":
    sys.exit(main())
