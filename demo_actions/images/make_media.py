#!/usr/bin/env python3
"""Draws the action maze's 16x16 images and writes its two short sounds (plain Python, no libraries)."""
import math, os, struct, wave, zlib

here = os.path.dirname(os.path.abspath(__file__))

def png(name, pixel, w=16, h=16):
    rows = b''.join(b'\x00' + b''.join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    with open(os.path.join(here, name), 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))

def disc(colour, radius):
    def pixel(x, y):
        return colour + (255,) if math.hypot(x - 7.5, y - 7.5) <= radius else (0, 0, 0, 0)
    return pixel

png('wall.png', lambda x, y: (90, 90, 110, 255) if (x + 1) % 8 and (y + 1) % 8 else (50, 50, 60, 255))
png('player.png', disc((60, 170, 250), 7))
png('coin.png', disc((250, 210, 40), 4))
png('enemy.png', lambda x, y: (220, 50, 50, 255) if abs(x - 7.5) + abs(y - 7.5) <= 8 else (0, 0, 0, 0))

def wav(name, freq, ms):
    rate = 22050
    frames = b''.join(struct.pack('<h', int(8000 * math.sin(2 * math.pi * freq * i / rate)))
                      for i in range(rate * ms // 1000))
    with wave.open(os.path.join(here, '..', 'sounds', name), 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)

wav('coin.wav', 1320, 80)
wav('hurt.wav', 220, 150)
