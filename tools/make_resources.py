"""Draws the window icon and the product picture and writes them as CVInstall.ico and Product.bmp.

Both are drawn from simple shapes (no fonts), so the build needs nothing but Python. The files
have fixed sizes that the windows rely on; the script checks them before it finishes. The program
carries the same pixels as Product.png, under a tenth of the bitmap's size.
"""
import math
import os
import struct
import sys
import zlib

PICTURE_WIDTH, PICTURE_HEIGHT = 394, 154
PICTURE_FILE_SIZE = 182390
ICON_SIZE = 16
ICON_FILE_SIZE = 894
PIXELS_PER_METRE = 3780  # 96 dots per inch


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smoothstep(e0, e1, x):
    t = max(0.0, min(1.0, (x - e0) / (e1 - e0)))
    return t * t * (3 - 2 * t)


def arc_covers(x, y, cx, cy, radius, thickness, start_deg, end_deg):
    """Whether (x, y) lies on a ring arc; angles in degrees, counter-clockwise, y pointing down."""
    dx, dy = x - cx, cy - y
    if abs(math.hypot(dx, dy) - radius) > thickness / 2:
        return False
    angle = math.degrees(math.atan2(dy, dx)) % 360
    start, end = start_deg % 360, end_deg % 360
    return start <= angle <= end if start <= end else angle >= start or angle <= end


def letter_c(x, y, cx, cy, size, stroke):
    return arc_covers(x, y, cx, cy, size / 2, stroke, 50, 310)


def letter_s(x, y, cx, cy, size, stroke):
    r = size / 4
    upper = arc_covers(x, y, cx, cy - r, r, stroke, 20, 270)
    lower = arc_covers(x, y, cx, cy + r, r, stroke, 200, 450)
    return upper or lower


def coverage(shape, x, y, samples=4):
    """Fraction of the pixel at (x, y) that the shape covers, for smooth edges."""
    hits = 0
    for i in range(samples):
        for j in range(samples):
            if shape(x + (i + 0.5) / samples, y + (j + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def draw_picture():
    w, h = PICTURE_WIDTH, PICTURE_HEIGHT
    top, bottom = (12, 28, 84), (38, 110, 180)
    white = (255, 255, 255)
    gold = (255, 206, 84)
    pixels = [[(0, 0, 0)] * w for _ in range(h)]
    for y in range(h):
        # The bottom of the picture fades to white: the window lays a white strip with the title
        # over it.
        sky = mix(top, bottom, y / (h - 1))
        fade = smoothstep(h - 62, h - 30, y)
        for x in range(w):
            glow = math.exp(-((x - 300) ** 2 + (y - 40) ** 2) / (2 * 70.0 ** 2)) * 0.35
            pixels[y][x] = mix(mix(sky, (120, 190, 240), glow), white, fade)

    # A few stars, placed by a fixed sequence so every build draws the same picture.
    seed = 7
    for _ in range(70):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        sx = seed % w
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        sy = seed % 90
        bright = 0.4 + (seed % 60) / 100
        pixels[sy][sx] = mix(pixels[sy][sx], white, bright)

    # An orbit with a planet, behind the emblem.
    ocx, ocy, orx, ory = 250, 58, 118, 30
    for y in range(h - 40):
        for x in range(130, w):
            d = abs(((x - ocx) / orx) ** 2 + ((y - ocy) / ory) ** 2 - 1)
            if d < 0.035:
                pixels[y][x] = mix(pixels[y][x], gold, 0.55 * (1 - d / 0.035))
    pcx, pcy, pr = 352, 72, 11
    for y in range(pcy - pr - 2, pcy + pr + 2):
        for x in range(pcx - pr - 2, pcx + pr + 2):
            c = coverage(lambda u, v: math.hypot(u - pcx, v - pcy) <= pr, x, y)
            if c:
                shade = mix(gold, (230, 120, 40), max(0.0, (x - pcx + y - pcy) / (2 * pr)))
                pixels[y][x] = mix(pixels[y][x], shade, c)

    # The emblem: a gold disc with the letters C and S.
    ecx, ecy, er = 62, 56, 42
    for y in range(ecy - er - 2, ecy + er + 3):
        for x in range(ecx - er - 2, ecx + er + 3):
            ring = coverage(lambda u, v: math.hypot(u - ecx, v - ecy) <= er, x, y)
            inner = coverage(lambda u, v: math.hypot(u - ecx, v - ecy) <= er - 4, x, y)
            if ring:
                pixels[y][x] = mix(pixels[y][x], gold, ring)
            if inner:
                pixels[y][x] = mix(pixels[y][x], (16, 40, 110), inner)
    for shape in (lambda u, v: letter_c(u, v, ecx - 16, ecy, 40, 8),
                  lambda u, v: letter_s(u, v, ecx + 17, ecy, 40, 7)):
        for y in range(ecy - 26, ecy + 27):
            for x in range(ecx - 40, ecx + 41):
                c = coverage(shape, x, y)
                if c:
                    pixels[y][x] = mix(pixels[y][x], white, c)

    # A thin gold rule under the artwork, ending before the white strip.
    for x in range(130, 372):
        t = smoothstep(130, 170, x) * (1 - smoothstep(330, 372, x))
        for y in (100, 101):
            pixels[y][x] = mix(pixels[y][x], gold, 0.8 * t)
    return pixels


def bmp_bytes(pixels):
    h, w = len(pixels), len(pixels[0])
    row_size = (w * 3 + 3) & ~3
    image_size = row_size * h
    header = struct.pack('<2sIHHI', b'BM', 54 + image_size, 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, image_size,
                       PIXELS_PER_METRE, PIXELS_PER_METRE, 0, 0)
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((clamp(b), clamp(g), clamp(r)))
        row += b'\0' * (row_size - len(row))
        rows.append(bytes(row))
    return header + info + b''.join(rows)


def png_bytes(pixels):
    """8-bit RGB, each row filtered by its left neighbour: the picture's colours change smoothly
    along a row, which leaves mostly small, repeating differences for deflate."""
    h, w = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        line = bytes(clamp(v) for pixel in row for v in pixel)
        raw.append(1)
        raw += bytes((line[i] - (line[i - 3] if i >= 3 else 0)) & 0xFF for i in range(len(line)))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body)))

    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) +
            chunk(b'pHYs', struct.pack('>IIB', PIXELS_PER_METRE, PIXELS_PER_METRE, 1)) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def draw_icon():
    n = ICON_SIZE
    gold, navy, white = (255, 206, 84), (16, 40, 110), (255, 255, 255)
    pixels = [[(0, 0, 0)] * n for _ in range(n)]
    mask = [[1] * n for _ in range(n)]
    c = (n - 1) / 2 + 0.5
    for y in range(n):
        for x in range(n):
            outer = coverage(lambda u, v: math.hypot(u - c, v - c) <= 7.9, x, y)
            inner = coverage(lambda u, v: math.hypot(u - c, v - c) <= 6.6, x, y)
            if outer > 0.3:
                mask[y][x] = 0
                colour = mix(white, gold, outer)
                pixels[y][x] = mix(colour, navy, inner)
    for shape in (lambda u, v: letter_c(u, v, 5.2, 8.0, 7.6, 1.9),
                  lambda u, v: letter_s(u, v, 10.9, 8.0, 7.6, 1.7)):
        for y in range(n):
            for x in range(n):
                cov = coverage(shape, x, y)
                if cov and not mask[y][x]:
                    pixels[y][x] = mix(pixels[y][x], white, cov)
    return pixels, mask


def ico_bytes(pixels, mask):
    n = len(pixels)
    xor = bytearray()
    for y in range(n - 1, -1, -1):
        for r, g, b in pixels[y]:
            xor += bytes((clamp(b), clamp(g), clamp(r)))
    and_row_size = ((n + 31) // 32) * 4
    andmask = bytearray()
    for y in range(n - 1, -1, -1):
        bits = 0
        for x in range(n):
            bits = (bits << 1) | mask[y][x]
        row = bits.to_bytes((n + 7) // 8, 'big')
        andmask += row + b'\0' * (and_row_size - len(row))
    info = struct.pack('<IiiHHIIiiII', 40, n, n * 2, 1, 24, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = info + bytes(xor) + bytes(andmask)
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', n, n, 0, 0, 1, 24, len(image), 6 + 16)
    return icondir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_resources.py OUTDIR')
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pixels = draw_picture()
    picture = bmp_bytes(pixels)
    icon = ico_bytes(*draw_icon())
    assert len(picture) == PICTURE_FILE_SIZE, len(picture)
    assert len(picture) - 54 == 182336
    assert len(icon) == ICON_FILE_SIZE, len(icon)
    with open(os.path.join(out, 'Product.bmp'), 'wb') as f:
        f.write(picture)
    with open(os.path.join(out, 'Product.png'), 'wb') as f:
        f.write(png_bytes(pixels))
    with open(os.path.join(out, 'CVInstall.ico'), 'wb') as f:
        f.write(icon)


if __name__ == '__main__':
    main()
