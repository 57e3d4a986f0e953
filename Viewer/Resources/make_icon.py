#!/usr/bin/env python3
"""Draws the viewer's icon, an RGB cube seen along its grey diagonal, and
writes it as mirabloc_logo_c.ico beside this script.

Every size is drawn from the geometry (not scaled from another size) and
stored as a 32-bit DIB with its AND mask, so any icon reader can parse it.
Standard library only; the output is byte-for-byte reproducible.

    python3 make_icon.py [output.ico]
"""

import math
import os
import struct
import sys

SIZES = (16, 24, 32, 48, 64, 72, 96, 128, 256)
EDGE_COLOUR = (24, 24, 28)


def _normalise(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


# Orthographic view from the white corner: right and up vectors of the screen.
RIGHT = _normalise((1.0, 0.0, -1.0))
UP = _normalise((-1.0, 2.0, -1.0))


def _project(p):
    q = (p[0] - 0.5, p[1] - 0.5, p[2] - 0.5)
    return (sum(a * b for a, b in zip(q, RIGHT)), sum(a * b for a, b in zip(q, UP)))


# The three visible faces: a function from face parameters (a, b) to the
# cube point, and a shade that gives the cube its light from above.
FACES = (
    (lambda a, b: (a, 1.0, b), 1.00),  # top: green, yellow, white, cyan
    (lambda a, b: (1.0, a, b), 0.80),  # right: red, yellow, white, magenta
    (lambda a, b: (a, b, 1.0), 0.90),  # left: blue, magenta, white, cyan
)


def _face_inverse(face):
    """Screen point -> (a, b) for one face, by inverting its affine map."""
    origin = _project(face(0.0, 0.0))
    ea = _project(face(1.0, 0.0))
    eb = _project(face(0.0, 1.0))
    ax, ay = ea[0] - origin[0], ea[1] - origin[1]
    bx, by = eb[0] - origin[0], eb[1] - origin[1]
    det = ax * by - bx * ay

    def inverse(x, y):
        dx, dy = x - origin[0], y - origin[1]
        return ((dx * by - bx * dy) / det, (ax * dy - dx * ay) / det)

    return inverse


INVERSES = [_face_inverse(face) for face, _ in FACES]
# Every edge projects to the same length; the hexagon's corners lie at that
# distance from the centre.
EDGE_LENGTH = math.dist(_project((0.0, 0.0, 0.0)), _project((1.0, 0.0, 0.0)))
SIN_EDGE_ANGLE = math.sqrt(3.0) / 2.0


def _sample(x, y, edge_width):
    """Colour (r, g, b) in 0..1 at screen point (x, y) in cube units, or None
    outside the cube."""
    for (face, shade), inverse in zip(FACES, INVERSES):
        a, b = inverse(x, y)
        if 0.0 <= a <= 1.0 and 0.0 <= b <= 1.0:
            # Distance to the face's nearest edge, in cube units on screen.
            edge = min(a, 1.0 - a, b, 1.0 - b) * EDGE_LENGTH * SIN_EDGE_ANGLE
            if edge < edge_width:
                return tuple(c / 255.0 for c in EDGE_COLOUR)
            return tuple(c * shade for c in face(a, b))
    return None


def render(size):
    """Rows of (r, g, b, a) bytes, top row first."""
    margin = max(0.5, size / 32.0)
    # The hexagon is EDGE_LENGTH * 2 tall and EDGE_LENGTH * sqrt(3) wide.
    scale = (size - 2.0 * margin) / (2.0 * EDGE_LENGTH)
    edge_width = max(0.6, size / 48.0) / scale
    grid = 4 if size <= 64 else 3
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0.0
            for sy in range(grid):
                for sx in range(grid):
                    x = (px + (sx + 0.5) / grid - size / 2.0) / scale
                    y = (size / 2.0 - (py + (sy + 0.5) / grid)) / scale
                    colour = _sample(x, y, edge_width)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        covered += 1.0
            if covered == 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(255 * r / covered), round(255 * g / covered),
                            round(255 * b / covered), round(255 * covered / (grid * grid))))
        rows.append(row)
    return rows


def dib_entry(size, rows):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom-up,
    then the 1-bit AND mask (1 = transparent), rows padded to 32 bits."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def build_ico(sizes=SIZES):
    images = [dib_entry(size, render(size)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        side = size if size < 256 else 0  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "mirabloc_logo_c.ico")
    data = build_ico()
    with open(target, "wb") as out:
        out.write(data)
    print(f"{target}: {len(data)} bytes, sizes {', '.join(str(s) for s in SIZES)}")


if __name__ == "__main__":
    main()
