#!/usr/bin/env python3
"""Draws the demo's images (plain Python, no image library): a ball, a ship, a backdrop tile, a tile sheet and the
splash picture shown at the start."""
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

# ---- the tile sheet: 160x64, cells of 32x32 (frame pieces are 32x16, 16x32 and 16x16) ----
#   (0,0) stone block   (32,0) grassy stone   (64,0) cyan crystals   (96,0) rose crystals   (128,0) dark rock
#   (0,32) frame brick 32x16   (32,32) frame brick 16x32   (48,32) frame corner 16x16
#   (64,32) flower bush   (96,32) lantern glow   (128,32) mossy dark rock

def noise(x, y, seed=0):
    n = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xffffffff
    n = ((n ^ (n >> 13)) * 1274126177) & 0xffffffff
    return ((n ^ (n >> 16)) & 0xff) / 255.0

def clamp(v):
    return max(0, min(255, int(v)))

def shade(rgb, f, a=255):
    return (clamp(rgb[0] * f), clamp(rgb[1] * f), clamp(rgb[2] * f), a)

def bevel(x, y, w, h, rgb, seed):
    # A block with a light top-left rim, a dark bottom-right rim and a grainy face.
    f = 0.88 + 0.2 * noise(x, y, seed)
    if x == 0 or y == 0:
        f = 1.35
    elif x == w - 1 or y == h - 1:
        f = 0.5
    elif x == 1 or y == 1:
        f = 1.15
    elif x == w - 2 or y == h - 2:
        f = 0.7
    return shade(rgb, f)

def bricks(x, y, rgb, seed):
    # Two courses of 16-high bricks, the second offset by half a brick.
    row = y // 16
    bx = (x + (8 if row % 2 else 0)) % 16
    return bevel(bx, y % 16, 16, 16, rgb, seed + row)

STONE = (118, 122, 140)
DARK = (70, 66, 92)
FRAME = (176, 134, 84)

def grass_height(x):
    return 5 + int(5 * noise(x, 0, 7)) + (3 if x % 7 == 3 else 0)

def crystal(x, y, colour, seed):
    # Three upright hexagonal crystals, lit from the left.
    for cx, top, half, bottom in ((10, 4, 5, 30), (21, 9, 4, 30), (16, 14, 4, 31)):
        if top <= y <= bottom:
            widen = min(half, (y - top) * 0.8 + 1)
            dx = x - cx
            if abs(dx) <= widen:
                face = 1.45 if dx < -widen / 3 else (1.0 if dx < widen / 3 else 0.6)
                glint = 1.3 if (y - top) < 3 and dx <= 0 else 1.0
                return shade(colour, face * glint * (0.92 + 0.16 * noise(x, y, seed)))
    return (0, 0, 0, 0)

def bush(x, y):
    cx, cy = x - 16, y - 20
    if (cx / 15.0) ** 2 + (cy / 11.0) ** 2 > 1 or y > 31:
        return (0, 0, 0, 0)
    for fx, fy, c in ((9, 14, (250, 220, 90)), (20, 12, (250, 120, 160)), (14, 22, (250, 250, 250)),
                      (24, 21, (250, 220, 90))):
        if (x - fx) ** 2 + (y - fy) ** 2 <= 2:
            return c + (255,)
    light = 1.2 - 0.5 * (cy + 11) / 22 + 0.25 * noise(x, y, 11)
    return shade((60, 150, 70), light)

def lantern(x, y):
    d = math.hypot(x - 15.5, y - 15.5)
    if d > 15.5:
        return (0, 0, 0, 0)
    if d < 4:
        return (255, 250, 220, 255)
    glow = (1 - d / 15.5) ** 1.6
    return (255, 210, 110, clamp(255 * glow))

def sheet(x, y):
    if y < 32:
        cell, lx = x // 32, x % 32
        if cell == 0:
            return bricks(lx, y, STONE, 1)
        if cell == 1:
            top = grass_height(lx)
            if y < 12 - top:
                return (0, 0, 0, 0)
            if y < 12:
                return shade((80, 170, 70), 0.8 + 0.5 * (12 - y) / 12 + 0.15 * noise(lx, y, 3))
            return bricks(lx, y, (126, 110, 96), 2)
        if cell == 2:
            return crystal(lx, y, (90, 200, 235), 4)
        if cell == 3:
            return crystal(lx, y, (235, 110, 170), 5)
        return bevel(lx, y, 32, 32, DARK, 6)
    ly = y - 32
    if x < 32:
        return bevel(x, ly, 32, 16, FRAME, 8) if ly < 16 else (0, 0, 0, 0)
    if x < 48:
        return bevel(x - 32, ly, 16, 32, FRAME, 9)
    if x < 64:
        if ly >= 16:
            return (0, 0, 0, 0)
        p = bevel(x - 48, ly, 16, 16, FRAME, 10)
        if (x - 55.5) ** 2 + (ly - 7.5) ** 2 <= 6:
            return (240, 215, 150, 255)
        return p
    if x < 96:
        return bush(x - 64, ly)
    if x < 128:
        return lantern(x - 96, ly)
    base = bevel(x - 128, ly, 32, 32, DARK, 12)
    moss = ly < 6 + 4 * noise(x, 0, 13)
    return shade((70, 120, 60), 0.9 + 0.3 * noise(x, ly, 14)) if moss and ly > 0 else base

def splash(x, y, w=320, h=160):
    # Night sky over a hill, a big ball rising behind it and the ship passing in front.
    sky = (int(20 + 30 * y / h), int(24 + 40 * y / h), int(60 + 90 * y / h))
    if noise(x, y, 21) > 0.985 and y < 100:
        return (255, 255, 230, 255)
    hill = 120 + 14 * math.sin(x / 37.0) + 6 * math.sin(x / 11.0)
    bx, by = x - 210, y - 92
    if math.hypot(bx, by) < 38:
        light = max(0.0, 1.0 - math.hypot(bx + 14, by + 14) / 50)
        ball_rgb = (int(230 * (0.6 + 0.4 * light)), int(90 + 120 * light), int(40 + 60 * light), 255)
    else:
        ball_rgb = None
    if y > hill:
        return shade((50, 120, 60), 0.7 + 0.3 * noise(x, y, 22))
    sx, sy = (x - 110) / 2.0, (y - 70) / 2.0
    s = ship(int(sx + 16), int(sy + 16)) if -16 <= sx < 16 and -16 <= sy < 16 else (0, 0, 0, 0)
    if s[3]:
        return s
    if ball_rgb:
        return ball_rgb
    return sky + (255,)

here = os.path.dirname(os.path.abspath(__file__))
png(os.path.join(here, 'ball.png'), 16, 16, ball)
png(os.path.join(here, 'ship.png'), 32, 32, ship)
png(os.path.join(here, 'backdrop.png'), 64, 64, tile)
png(os.path.join(here, 'tiles.png'), 160, 64, sheet)
png(os.path.join(here, 'splash.png'), 320, 160, splash)
