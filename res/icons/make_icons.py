#!/usr/bin/env python3
"""Draw Norvale's three icons and write them as Windows .ico files.

  not_ready.ico  red octagonal stop sign with a white rim and "STOP"
  ready.ico      plain green disc
  norvale.ico    application icon: dark-grey handheld scanner with a
                 small screen and a barcode label

Each .ico holds a 32x32 and a 16x16 image, both 32-bit BGRA with an AND
mask, on a transparent background. Edges are anti-aliased by sampling
each pixel 4x4 times. Output is deterministic (same bytes every run).

Run:  python3 res/icons/make_icons.py [--preview DIR]
--preview also writes 8x enlarged PNG copies of every image into DIR.
Only the Python 3 standard library is used.
"""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIZES = (32, 16)
SS = 4  # supersampling: SS x SS samples per pixel

RED = (200, 20, 20)
WHITE = (255, 255, 255)
GREEN = (30, 170, 50)
BODY = (64, 66, 72)
BODY_EDGE = (36, 37, 41)
SCREEN = (120, 200, 220)
BAR = (20, 20, 20)
LASER = (230, 40, 40)

# 5-row bitmap font for "STOP" ('#' = ink, 2 px wide vertical strokes);
# one cell is one pixel of the 32x32 image.
FONT = {
    "S": [".####", "##...", ".###.", "...##", "####."],
    "T": ["####", ".##.", ".##.", ".##.", ".##."],
    "O": [".###.", "##.##", "##.##", "##.##", ".###."],
    "P": ["####.", "##.##", "####.", "##...", "##..."],
}


def text_cells(word, gap=1):
    """Return the set of (col, row) ink cells of word, and its width."""
    cells, x = set(), 0
    for ch in word:
        glyph = FONT[ch]
        for row, line in enumerate(glyph):
            for col, c in enumerate(line):
                if c == "#":
                    cells.add((x + col, row))
        x += len(glyph[0]) + gap
    return cells, x - gap


def in_octagon(x, y, apothem):
    """Regular octagon with flat top/bottom centred on the origin."""
    for k in range(8):
        a = k * math.pi / 4
        if x * math.cos(a) + y * math.sin(a) > apothem:
            return False
    return True


def in_round_rect(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def stop_sign(size):
    """Colour function for the stop sign in pixel units of a size x size image."""
    c = size / 2
    if size >= 32:
        cells, width = text_cells("STOP")
        tx, ty = int(c - width / 2), int(c - 2.5)
    else:
        cells = None

    def colour(x, y):
        dx, dy = x - c, y - c
        if not in_octagon(dx, dy, c - 0.5):
            return None
        if not in_octagon(dx, dy, c - 0.5 - size / 16):
            return WHITE
        if cells is not None:
            if (int(x) - tx, int(y) - ty) in cells:
                return WHITE
        elif abs(dy) <= size / 16 + 0.01 and abs(dx) <= size * 0.28:
            return WHITE  # 16x16: a white bar stands in for the text
        return RED
    return colour


def green_disc(size):
    c = size / 2
    r = c - 1

    def colour(x, y):
        return GREEN if (x - c) ** 2 + (y - c) ** 2 <= r * r else None
    return colour


# Barcode bar widths in 32-grid units, alternating bar / space, for each
# size; the 16x16 pattern uses 2-unit (one pixel) bars to stay crisp.
BARS = {32: [1, 1, 2, 1, 1, 1, 1, 1, 1], 16: [2, 2, 2, 2]}
# Lines of "codes" on the screen (y, x start, x end), 32x32 only.
SCREEN_LINES = [(7, 12, 20), (9, 12, 18), (11, 12, 19)]


def scanner(size):
    """Handheld scanner, laid out on a 32-unit grid and scaled to size."""
    k = size / 32
    bars = BARS[size]
    lines = SCREEN_LINES if size >= 32 else []

    def colour(x, y):
        x, y = x / k, y / k
        if not in_round_rect(x, y, 7, 1, 25, 31, 4):
            return None
        if y < 3.5 and 12 <= x <= 20:
            return LASER  # scan window on the top edge
        if not in_round_rect(x, y, 8, 2, 24, 30, 3):
            return BODY_EDGE
        if in_round_rect(x, y, 10, 5, 22, 14, 1):
            for ly, x0, x1 in lines:
                if ly <= y < ly + 1 and x0 <= x < x1:
                    return BODY_EDGE
            return SCREEN
        if 10 <= x < 22 and 17 <= y < 27:
            pos, ink = (11 if size >= 32 else 12), True
            for w in bars:
                if pos <= x < pos + w and 18 <= y < 26:
                    return BAR if ink else WHITE
                pos, ink = pos + w, not ink
            return WHITE
        return BODY
    return colour


def render(colour, size):
    """Supersample colour(x, y) into a list of size*size RGBA tuples."""
    pixels = []
    n = SS * SS
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SS):
                for sx in range(SS):
                    c = colour(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    if c is not None:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append((round(r / a), round(g / a), round(b / a),
                               round(255 * a / n)))
    return pixels


def dib(pixels, size):
    """32-bit BGRA DIB as stored inside an .ico: header, XOR rows, AND mask."""
    mask_stride = ((size + 31) // 32) * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = pixels[y * size:(y + 1) * size]
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            xor += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def ico(images):
    """images: list of (size, dib bytes). Returns the .ico file bytes."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def png(pixels, size, scale):
    """RGBA PNG of the image enlarged scale times (nearest neighbour)."""
    raw = bytearray()
    for y in range(size * scale):
        raw.append(0)
        row = pixels[(y // scale) * size:(y // scale + 1) * size]
        for p in row:
            raw += bytes(p) * scale

    def chunk(tag, data):
        return (struct.pack(">I", len(data)) + tag + data +
                struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))
    side = size * scale
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


ICONS = {
    "not_ready": stop_sign,
    "ready": green_disc,
    "norvale": scanner,
}


def main(argv):
    preview = None
    if len(argv) == 2 and argv[0] == "--preview":
        preview = argv[1]
        os.makedirs(preview, exist_ok=True)
    elif argv:
        sys.exit("usage: make_icons.py [--preview DIR]")
    for name, make in ICONS.items():
        images = []
        for size in SIZES:
            pixels = render(make(size), size)
            images.append((size, dib(pixels, size)))
            if preview:
                path = os.path.join(preview, "%s_%d.png" % (name, size))
                with open(path, "wb") as f:
                    f.write(png(pixels, size, 8))
        with open(os.path.join(HERE, name + ".ico"), "wb") as f:
            f.write(ico(images))


if __name__ == "__main__":
    main(sys.argv[1:])
