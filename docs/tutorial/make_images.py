#!/usr/bin/env python3
"""Draws the tutorial's two pictures with plain Python (no image library) and writes them into the images folder
of every step: a basket (32x16) and a fruit (16x16). Any paint program that saves PNG files will do as well."""
import math, os, struct, zlib

def png(path, w, h, pixel):
    rows = b''.join(b'\x00' + b''.join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))

def basket(x, y):
    # A bowl wider at the top: rows narrow by one pixel on each side every four rows.
    inset = y // 4
    if x < inset or x >= 32 - inset:
        return (0, 0, 0, 0)
    return (200, 140, 60, 255) if y % 4 else (150, 95, 35, 255)

def fruit(x, y):
    if math.hypot(x - 7.5, y - 9) <= 6.5:
        return (220, 40, 40, 255)
    if 7 <= x <= 8 and y <= 3:
        return (60, 170, 60, 255)
    return (0, 0, 0, 0)

here = os.path.dirname(os.path.abspath(__file__))
for step in sorted(d for d in os.listdir(here) if d.startswith('step')):
    folder = os.path.join(here, step, 'images')
    os.makedirs(folder, exist_ok=True)
    png(os.path.join(folder, 'basket.png'), 32, 16, basket)
    png(os.path.join(folder, 'fruit.png'), 16, 16, fruit)
