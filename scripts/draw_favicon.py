#!/usr/bin/env python3
# The site's icon: a white bowl with chopsticks on the navigation's red-orange, as 16 and 32 pixel PNGs in one .ico.
# Run once after changing it: site/favicon.ico is committed.  Usage: scripts/draw_favicon.py [OUT]
import math, struct, zlib
ORANGE, WHITE, CREAM = (0xC4, 0x46, 0x1A), (0xFF, 0xFF, 0xFF), (0xFB, 0xF4, 0xEA)

def colour_at(x, y):  # unit square coordinates, 0..1
    r = 0.19  # rounded corners
    cx, cy = min(max(x, r), 1 - r), min(max(y, r), 1 - r)
    if math.hypot(x - cx, y - cy) > r: return None
    # chopsticks: two thick lines rising to the right
    for (x0, y0, x1, y1) in ((0.44, 0.44, 0.70, 0.10), (0.56, 0.44, 0.86, 0.16)):
        dx, dy = x1 - x0, y1 - y0
        t = max(0, min(1, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        if math.hypot(x - x0 - t * dx, y - y0 - t * dy) < 0.045: return CREAM
    # bowl: lower half disc under the rim line, and its foot
    if y >= 0.47 and math.hypot(x - 0.5, y - 0.47) < 0.36: return WHITE
    if 0.36 < x < 0.64 and 0.84 < y < 0.9: return WHITE
    return ORANGE

def png(n, ss=4):
    rows = b''
    for j in range(n):
        row = b'\0'
        for i in range(n):
            acc = [0, 0, 0, 0]
            for a in range(ss):
                for b in range(ss):
                    c = colour_at((i + (a + 0.5) / ss) / n, (j + (b + 0.5) / ss) / n)
                    if c:
                        acc[0] += c[0]; acc[1] += c[1]; acc[2] += c[2]; acc[3] += 1
            k = acc[3]
            row += bytes([acc[0] // k, acc[1] // k, acc[2] // k, 255 * k // (ss * ss)] if k else [0, 0, 0, 0])
        rows += row
    def chunk(t, d): return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', n, n, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))

images = [png(16), png(32)]
out = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for n, data in zip((16, 32), images):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
import os, sys
open(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'site', 'favicon.ico'), 'wb').write(out + b''.join(images))
