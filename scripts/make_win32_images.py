#!/usr/bin/env python3
"""Draws the Windows viewer's tool cursors, toolbar strip and icon as resource files.

The shapes are computed, so the files can be made again after a change here:
    python3 scripts/make_win32_images.py resources/win32
"""
import math
import struct
import sys
from pathlib import Path


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def inside_polygon(px, py, points):
    inside = False
    for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
        if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
            inside = not inside
    return inside


def arrow_head(tip, direction, length, width):
    ux, uy = direction
    norm = math.hypot(ux, uy)
    ux, uy = ux / norm, uy / norm
    bx, by = tip[0] - ux * length, tip[1] - uy * length
    return [tip, (bx - uy * width, by + ux * width), (bx + uy * width, by - ux * width)]


# Each shape answers whether the pixel centre (x, y) of a square of `side` is covered.
def rotation(x, y, side):
    s = side / 32
    cx = cy = 15.5 * s
    r = 9.5 * s
    d = math.hypot(x - cx, y - cy)
    angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
    on_arc = abs(d - r) <= 1.2 * s and (200 <= angle <= 340 or 20 <= angle <= 160)
    heads = [arrow_head((cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a))),
                        (-math.sin(math.radians(a)) * turn, math.cos(math.radians(a)) * turn),
                        6 * s, 4.5 * s) for a, turn in ((340, 1), (160, 1))]
    return on_arc or any(inside_polygon(x, y, h) for h in heads)


def zoom(x, y, side):
    s = side / 32
    cx, cy, r = 12.5 * s, 13.5 * s, 8 * s
    ring = abs(math.hypot(x - cx, y - cy) - r) <= 1.3 * s
    handle = segment_distance(x, y, cx + 6 * s, cy + 6 * s, 27 * s, 28 * s) <= 2 * s
    plus = (abs(x - cx) <= 0.9 * s and abs(y - cy) <= 4.5 * s) or (
        abs(y - cy) <= 0.9 * s and abs(x - cx) <= 4.5 * s)
    return ring or handle or plus


def pan(x, y, side):
    s = side / 32
    c = 15.5 * s
    shaft = (abs(x - c) <= 1 * s and 5 * s <= y <= 26 * s) or (
        abs(y - c) <= 1 * s and 5 * s <= x <= 26 * s)
    tips = [((c, 1 * s), (0, -1)), ((c, 30 * s), (0, 1)), ((1 * s, c), (-1, 0)),
            ((30 * s, c), (1, 0))]
    return shaft or any(inside_polygon(x, y, arrow_head(t, d, 6 * s, 4.5 * s)) for t, d in tips)


def default_view(x, y, side):
    s = side / 32
    frame = (3 * s <= x <= 28 * s and 3 * s <= y <= 28 * s) and not (
        6 * s <= x <= 25 * s and 6 * s <= y <= 25 * s)
    return frame or math.hypot(x - 15.5 * s, y - 15.5 * s) <= 4 * s


def raster(shape, side):
    return [[shape(x + 0.5, y + 0.5, side) for x in range(side)] for y in range(side)]


def outline(cover):
    side = len(cover)
    near = lambda x, y: any(cover[j][i] for j in range(max(0, y - 1), min(side, y + 2))
                            for i in range(max(0, x - 1), min(side, x + 2)))
    return [[not cover[y][x] and near(x, y) for x in range(side)] for y in range(side)]


def mono_rows(bits):
    """1-bit rows, bottom row first, each padded to 4 bytes."""
    rows = []
    for row in reversed(bits):
        value = bytearray((len(row) + 31) // 32 * 4)
        for x, bit in enumerate(row):
            if bit:
                value[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(value))
    return b"".join(rows)


def cursor_file(shape, hot):
    side = 32
    cover = raster(shape, side)
    border = outline(cover)
    # White shape with a black border; everything else lets the screen through.
    xor = mono_rows(cover)
    and_mask = mono_rows([[not (c or b) for c, b in zip(cr, br)] for cr, br in zip(cover, border)])
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    image = header + struct.pack("<II", 0x000000, 0xFFFFFF) + xor + and_mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", side, side, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


def icon_file():
    side = 32
    faces = [  # a cube seen from above and to the right, lit from the upper left
        ([(16, 3), (29, 9), (16, 15), (3, 9)], (230, 150, 60)),
        ([(3, 9), (16, 15), (16, 29), (3, 23)], (170, 90, 30)),
        ([(16, 15), (29, 9), (29, 23), (16, 29)], (110, 50, 15)),
    ]
    pixels, covered = [], []
    for y in reversed(range(side)):
        for x in range(side):
            colour = next((c for p, c in faces if inside_polygon(x + 0.5, y + 0.5, p)), None)
            pixels.append(struct.pack("<BBBB", *(colour[::-1] if colour else (0, 0, 0)),
                                      255 if colour else 0))
    for y in range(side):
        covered.append([not any(inside_polygon(x + 0.5, y + 0.5, p) for p, _ in faces)
                        for x in range(side)])
    header = struct.pack("<IiiHHIIiiII", 40, side, side * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + b"".join(pixels) + mono_rows(covered)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def toolbar_file(shapes, side=17):
    width = side * len(shapes)
    covers = [raster(shape, side) for shape in shapes]
    rows = []
    for y in reversed(range(side)):
        row = bytearray()
        for x in range(width):
            dark = covers[x // side][y][x % side]
            row += bytes((0, 0, 0) if dark else (192, 192, 192))
        row += bytes((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    data = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, side, 1, 24, 0, len(data), 0, 0, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40) + info + data


def main(folder):
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    (out / "examine.cur").write_bytes(cursor_file(rotation, (15, 15)))
    (out / "zoom.cur").write_bytes(cursor_file(zoom, (13, 14)))
    (out / "pan.cur").write_bytes(cursor_file(pan, (15, 15)))
    (out / "tessaro.ico").write_bytes(icon_file())
    # Button order: Examine, Pan, Zoom In, Default View.
    (out / "toolbar.bmp").write_bytes(toolbar_file([rotation, pan, zoom, default_view]))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/win32")
