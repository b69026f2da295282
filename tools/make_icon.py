#!/usr/bin/env python3
"""Draws the runner's 128 x 128 PNG icon (plain Python, no image library) with the shapes of
dist/icons/korvane-runner.svg: a slate tile with a light rim, a bar and an orange play mark. Each pixel averages
4 x 4 samples, so the edges are smooth. Writes dist/icons/korvane-runner-128.png. Run from the repository root."""
import os, struct, zlib

SIZE = 128
SAMPLES = 4

def png_bytes(w, h, rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    raw = b''.join(b'\x00' + bytes(row) for row in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))

def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))

def in_round_rect(x, y, left, top, right, bottom, r):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + r), right - r)
    cy = min(max(y, top + r), bottom - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)

RIM = hex_colour('#7890c0')
TILE_TOP, TILE_BOTTOM = hex_colour('#3a4f7a'), hex_colour('#18203a')
MARK_TOP, MARK_BOTTOM = hex_colour('#ffb347'), hex_colour('#f07818')
BAR = hex_colour('#dfe6f4')

def sample(x, y):
    """Colour and coverage of one point, painted in the SVG's order (later shapes on top)."""
    colour, alpha = (0, 0, 0), 0.0
    # The tile: a 112 x 112 rounded square at 8, 8 (radius 22) with a 4-pixel rim centred on its outline.
    if in_round_rect(x, y, 6, 6, 122, 122, 24):
        colour, alpha = RIM, 1.0
        if in_round_rect(x, y, 10, 10, 118, 118, 20):
            colour = mix(TILE_TOP, TILE_BOTTOM, (y - 8) / 112)
    if in_round_rect(x, y, 26, 34, 36, 94, 3):
        colour, alpha = BAR, 1.0
    if in_triangle(x, y, (46, 34), (46, 94), (98, 64)):
        colour, alpha = mix(MARK_TOP, MARK_BOTTOM, (y - 34) / 60), 1.0
    return colour, alpha

def pixel(px, py):
    r = g = b = a = 0.0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            (cr, cg, cb), ca = sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
    if a == 0:
        return (0, 0, 0, 0)
    # Colours are averaged weighted by coverage (straight alpha), so edges do not darken.
    return (round(r / a), round(g / a), round(b / a), round(255 * a / (SAMPLES * SAMPLES)))

def main():
    rows = [[c for x in range(SIZE) for c in pixel(x, y)] for y in range(SIZE)]
    out = os.path.join('dist', 'icons', 'korvane-runner-128.png')
    with open(out, 'wb') as f:
        f.write(png_bytes(SIZE, SIZE, rows))
    print('wrote', out)

if __name__ == '__main__':
    main()
