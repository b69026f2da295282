#!/usr/bin/env python3
"""Draws the demo's images (plain Python, no image library): a ball, a ship and a backdrop tile."""
import math, struct, zlib, os

def png(path, w, h, pixel):
    rows = b''.join(b'\x00' + b''.join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))

def ball(x, y):
    dx, dy = x - 7.5, y - 7.5
    d = math.hypot(dx, dy)
    if d > 7.5:
        return (0, 0, 0, 0)
    light = max(0.0, 1.0 - math.hypot(dx + 3, dy + 3) / 10)
    return (int(230 * (0.6 + 0.4 * light)), int(90 + 120 * light), int(40 + 60 * light), 255)

def ship(x, y):
    # A wedge pointing right, 32x32, with a cockpit.
    cx, cy = x - 16, y - 16
    inside = cx > -12 and abs(cy) < (12 - cx) * 0.5 + 2 and cx < 14
    if not inside:
        return (0, 0, 0, 0)
    if math.hypot(cx - 2, cy) < 4:
        return (180, 230, 255, 255)
    shade = 140 + int(60 * (1 - abs(cy) / 14))
    return (60, shade, 120, 255)

def tile(x, y):
    base = 28 + ((x // 16 + y // 16) % 2) * 10
    star = (x * 7 + y * 13) % 97 == 0
    return (255, 255, 220, 255) if star else (base, base, base + 24, 255)

here = os.path.dirname(os.path.abspath(__file__))
png(os.path.join(here, 'ball.png'), 16, 16, ball)
png(os.path.join(here, 'ship.png'), 32, 32, ship)
png(os.path.join(here, 'backdrop.png'), 64, 64, tile)
