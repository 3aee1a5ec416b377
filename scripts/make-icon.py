#!/usr/bin/env python3
"""Render the program icon from its vector description into a Windows .ico file.

    make-icon.py SOURCE.json OUTPUT.ico

The description (platform/win32/res/program-icon.json) lists the image sizes and a few
filled shapes on a square canvas: rounded rectangles, circles, polygons and capsules (thick
line segments with round ends), each filled with a flat colour or a two-colour linear
gradient, with an optional opacity. Shapes are painted in order; a shape with "min_size"
is left out of the smaller images, where it would only be noise.

Edges are anti-aliased from each shape's signed distance: a pixel is covered by the part of
a one-pixel band around the outline that lies inside the shape. Images smaller than
"png_from" are written as 32-bpp icon images (BITMAPINFOHEADER with doubled height, bottom-up
BGRA pixels with straight alpha, then the 1-bpp AND mask), which every Windows version reads
and which the system decodes without help when a window needs its icon; the larger ones,
which only the shell and the about window show, are stored as PNG images (read by the
system since Windows Vista), a tenth of the size.

Standard library only: the build runs this on any host with Python 3.
"""

import json
import math
import os
import struct
import sys
import zlib


# ---------------------------------------------------------------------------------------
# Shapes as signed distance functions (negative inside), in canvas units.

def _length(x, y):
    return math.sqrt(x * x + y * y)


def roundrect_distance(shape):
    half_w = shape["w"] / 2.0
    half_h = shape["h"] / 2.0
    cx = shape["x"] + half_w
    cy = shape["y"] + half_h
    r = min(float(shape.get("radius", 0)), half_w, half_h)

    def distance(px, py):
        qx = abs(px - cx) - half_w + r
        qy = abs(py - cy) - half_h + r
        outside = _length(max(qx, 0.0), max(qy, 0.0))
        inside = min(max(qx, qy), 0.0)
        return outside + inside - r

    return distance


def circle_distance(shape):
    cx, cy, r = shape["cx"], shape["cy"], shape["r"]
    return lambda px, py: _length(px - cx, py - cy) - r


def _segment_distance(px, py, ax, ay, bx, by):
    ex, ey = bx - ax, by - ay
    wx, wy = px - ax, py - ay
    length2 = ex * ex + ey * ey
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, (wx * ex + wy * ey) / length2))
    return _length(wx - ex * t, wy - ey * t)


def capsule_distance(shape):
    (ax, ay), (bx, by) = shape["from"], shape["to"]
    radius = shape["width"] / 2.0
    return lambda px, py: _segment_distance(px, py, ax, ay, bx, by) - radius


def polygon_distance(shape):
    points = [(float(x), float(y)) for x, y in shape["points"]]
    if len(points) < 3:
        raise ValueError("a polygon needs at least three points")

    def distance(px, py):
        best = math.inf
        inside = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            best = min(best, _segment_distance(px, py, xi, yi, xj, yj))
            # Even-odd crossing test along a horizontal ray.
            if (yi > py) != (yj > py):
                x_cross = xi + (py - yi) * (xj - xi) / (yj - yi)
                if px < x_cross:
                    inside = not inside
            j = i
        return -best if inside else best

    return distance


SHAPES = {
    "roundrect": roundrect_distance,
    "circle": circle_distance,
    "capsule": capsule_distance,
    "polygon": polygon_distance,
}


# ---------------------------------------------------------------------------------------
# Paint

def parse_colour(text):
    text = text.strip()
    if len(text) != 7 or text[0] != "#":
        raise ValueError(f"colour must be #rrggbb: {text!r}")
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


def make_fill(paint):
    """Return a function (x, y) -> (r, g, b) in 0..1 for a flat colour or a gradient."""
    if isinstance(paint, str):
        colour = parse_colour(paint)
        return lambda px, py: colour
    (fx, fy), (tx, ty) = paint["from"], paint["to"]
    c0, c1 = (parse_colour(c) for c in paint["colors"])
    dx, dy = tx - fx, ty - fy
    length2 = dx * dx + dy * dy or 1.0

    def gradient(px, py):
        t = max(0.0, min(1.0, ((px - fx) * dx + (py - fy) * dy) / length2))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))

    return gradient


def render(description, size):
    """Render one square image; returns rows top to bottom of (r, g, b, a) bytes."""
    canvas = float(description["canvas"])
    units_per_pixel = canvas / size
    layers = []
    for shape in description["shapes"]:
        if size < shape.get("min_size", 0):
            continue
        kind = shape["kind"]
        if kind not in SHAPES:
            raise ValueError(f"unknown shape kind {kind!r}")
        layers.append((SHAPES[kind](shape), make_fill(shape["fill"]),
                       float(shape.get("opacity", 1.0))))

    rows = []
    for y in range(size):
        row = []
        cy = (y + 0.5) * units_per_pixel
        for x in range(size):
            cx = (x + 0.5) * units_per_pixel
            # Premultiplied accumulation, "source over".
            r = g = b = a = 0.0
            for distance, fill, opacity in layers:
                d_pixels = distance(cx, cy) / units_per_pixel
                coverage = max(0.0, min(1.0, 0.5 - d_pixels)) * opacity
                if coverage <= 0.0:
                    continue
                sr, sg, sb = fill(cx, cy)
                keep = 1.0 - coverage
                r = sr * coverage + r * keep
                g = sg * coverage + g * keep
                b = sb * coverage + b * keep
                a = coverage + a * keep
            if a > 0.0:
                row.append((round(r / a * 255), round(g / a * 255), round(b / a * 255),
                            round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------------------
# ICO container

def icon_image(rows):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, bottom-up AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def _png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filtered(row, previous):
    """The row under the PNG filter whose bytes sum smallest as signed values (the usual
    choice): filter type byte first."""
    best = None
    for kind in range(5):
        out = bytearray([kind])
        for i, x in enumerate(row):
            a = row[i - 4] if i >= 4 else 0
            b = previous[i]
            c = previous[i - 4] if i >= 4 else 0
            predictor = (0, a, b, (a + b) // 2, _paeth(a, b, c))[kind]
            out.append((x - predictor) & 0xFF)
        cost = sum(v if v < 128 else 256 - v for v in out[1:])
        if best is None or cost < best[0]:
            best = (cost, out)
    return best[1]


def png_image(rows):
    """One icon image as a PNG file: 8-bit RGBA, straight alpha, top-down."""
    size = len(rows)
    raw = bytearray()
    previous = bytes(size * 4)
    for row in rows:
        line = bytes(v for pixel in row for v in pixel)
        raw += _filtered(line, previous)
        previous = line
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _png_chunk(b"IHDR", header)
            + _png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _png_chunk(b"IEND", b""))


def ico_file(images):
    """images: list of (size, image bytes) in the order they go into the directory."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make-icon.py SOURCE.json OUTPUT.ico\n")
        return 2
    with open(argv[1], encoding="utf-8") as source:
        description = json.load(source)
    sizes = description["sizes"]
    if not sizes or any(not 1 <= s <= 256 for s in sizes):
        sys.stderr.write("make-icon.py: image sizes must lie between 1 and 256\n")
        return 1
    png_from = description.get("png_from", 257)
    images = [(size, (png_image if size >= png_from else icon_image)(render(description, size)))
              for size in sizes]
    data = ico_file(images)
    # Write to a temporary name first so that an interrupted build leaves no half icon.
    temporary = argv[2] + ".tmp"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
