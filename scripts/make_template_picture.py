#!/usr/bin/env python3
"""Draws the side picture of the new-project template: a disc dropping into an
open box on a stepped blue sky, in flat colours with smooth edges, 128 x 320 pixels, written as an uncompressed
8-bit Windows bitmap with a 256-colour palette (42,038 bytes, bottom-up).

    python3 scripts/make_template_picture.py [OUTPUT]   (default: src/res/templates/picture.bmp)
    python3 scripts/make_template_picture.py --png FILE  (also writes a PNG preview)

Only the standard library is used. The result is deterministic.
"""
import math
import os
import struct
import sys
import zlib

W, H = 128, 320
SS = 3  # supersampling per axis, for smooth edges


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


TOP = (14, 34, 86)
MID = (28, 86, 150)
BOTTOM = (70, 160, 196)

DISC_C = (64.0, 146.0)
DISC_R = 44.0
HOLE_R = 8.0
HUB_R = 17.0

BOX_BACK = [(18, 180), (32, 164), (122, 164), (108, 180)]
BOX_FRONT = [(18, 180), (108, 180), (108, 264), (18, 264)]
BOX_SIDE = [(108, 180), (122, 164), (122, 248), (108, 264)]
FLAP_LEFT = [(18, 180), (32, 164), (14, 150), (2, 168)]
FLAP_RIGHT = [(108, 180), (122, 164), (127, 186), (114, 200)]


BANDS = 16  # the sky is drawn in flat steps, which also packs well


def background(x, y):
    t = math.floor(y / H * BANDS) / (BANDS - 1)
    c = mix(TOP, MID, t / 0.55) if t < 0.55 else mix(MID, BOTTOM, (t - 0.55) / 0.45)
    # a few soft glows in the sky, drawn as flat discs
    for gx, gy, gr, ga in ((24, 40, 26, 0.07), (102, 78, 18, 0.06), (58, 14, 11, 0.05)):
        if math.hypot(x - gx, y - gy) < gr:
            c = mix(c, (200, 225, 255), ga)
    # the shadow under the box
    if ((x - 68) / 62.0) ** 2 + ((y - 270) / 8.0) ** 2 < 1.0:
        c = mix(c, (8, 20, 40), 0.35)
    return c


def disc(x, y):
    dx, dy = x - DISC_C[0], y - DISC_C[1]
    d = math.hypot(dx, dy)
    if d > DISC_R or d < HOLE_R:
        return None
    if d > DISC_R - 1.2 or d < HOLE_R + 1.0:
        return (70, 80, 100)  # rims
    if d < HUB_R:
        return (226, 230, 236) if d > HUB_R - 1.5 or d < HOLE_R + 4 else (212, 217, 226)
    # the light falls on the disc in four flat sectors, each with a faint tint
    a = math.atan2(dy, dx)
    level = int((0.5 + 0.5 * math.cos(2.0 * (a - 0.7))) * 3.999)
    tones = ((150, 158, 178), (176, 184, 200), (204, 208, 220), (232, 234, 240))
    tints = ((120, 140, 220), (150, 200, 210), (230, 200, 150), (255, 255, 255))
    return mix(tones[level], tints[level], 0.15)


def shade(color, f):
    return tuple(clamp(v * f / 255.0) * 255.0 for v in color)


AMBER = (232, 170, 80)


def sample(x, y):
    c = background(x, y)
    if inside_polygon(x, y, FLAP_LEFT):
        c = shade(AMBER, 0.9)
    if inside_polygon(x, y, FLAP_RIGHT):
        c = shade(AMBER, 0.78)
    if inside_polygon(x, y, BOX_BACK):
        c = shade(AMBER, 0.5)
    dc = disc(x, y)
    if dc is not None:
        c = dc
    if inside_polygon(x, y, BOX_FRONT):
        c = AMBER
        # a strip of tape and an arrow printed on the box
        if abs(x - 63) < 7:
            c = (246, 214, 150)
        if 206 <= y <= 238 and abs(x - 63) < 2.5:
            c = (170, 104, 40)
        if 236 <= y <= 252 and abs(x - 63) <= (252 - y) * 0.75:
            c = (170, 104, 40)
    if inside_polygon(x, y, BOX_SIDE):
        c = shade(AMBER, 0.72)
    return c


def render():
    img = []
    for py in range(H):
        row = []
        for px in range(W):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    c = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    for i in range(3):
                        acc[i] += c[i]
            row.append(tuple(int(round(v / (SS * SS))) for v in acc))
        img.append(row)
    return img


def quantise(pixels, count):
    """The count most frequent colours become the palette; every other colour
    (the mixed pixels along edges) takes the nearest palette colour."""
    weight = {}
    for p in pixels:
        weight[p] = weight.get(p, 0) + 1
    palette = sorted(weight, key=lambda c: (-weight[c], c))[:count]
    index = {c: i for i, c in enumerate(palette)}
    for c in weight:
        if c not in index:
            index[c] = min(range(len(palette)),
                           key=lambda i: sum((palette[i][k] - c[k]) ** 2 for k in range(3)))
    while len(palette) < count:
        palette.append((0, 0, 0))
    return palette, index


def bitmap_bytes(img):
    pixels = [p for row in img for p in row]
    palette, index = quantise(pixels, 256)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    rows = b"".join(bytes(index[p] for p in img[y]) for y in range(H - 1, -1, -1))
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    data = head + info + pal + rows
    assert len(data) == 42038
    return data, palette, index


def write_png(path, img):
    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in img)

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main():
    args = sys.argv[1:]
    png = None
    if len(args) >= 2 and args[0] == "--png":
        png = args[1]
        args = args[2:]
    here = os.path.dirname(os.path.abspath(__file__))
    out = args[0] if args else os.path.join(here, "..", "src", "res", "templates", "picture.bmp")
    img = render()
    data, palette, index = bitmap_bytes(img)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes" % (out, len(data)))
    if png:
        # preview of the quantised picture, as the program will show it
        write_png(png, [[palette[index[p]] for p in row] for row in img])


if __name__ == "__main__":
    main()
