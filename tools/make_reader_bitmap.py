#!/usr/bin/env python3
"""Draws the picture of the reader shown at the top of the settings dialog:
a desktop smart-card reader with a card in its slot, 270 by 110 pixels, 24 bits."""
import struct
import sys

W, H = 270, 110
pixels = [[(0, 0, 0)] * W for _ in range(H)]


def put(x, y, c):
    if 0 <= x < W and 0 <= y < H:
        pixels[y][x] = c


def rect(x0, y0, x1, y1, c, radius=0):
    for y in range(y0, y1):
        for x in range(x0, x1):
            dx = max(x0 + radius - x, 0, x - (x1 - 1 - radius))
            dy = max(y0 + radius - y, 0, y - (y1 - 1 - radius))
            if dx * dx + dy * dy <= radius * radius:
                put(x, y, c)


def circle(cx, cy, r, c):
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                put(x, y, c)


def shade(c, f):
    return tuple(max(0, min(255, int(v * f))) for v in c)


# Background: a soft vertical gradient.
for y in range(H):
    for x in range(W):
        t = y / H
        pixels[y][x] = (int(236 - 30 * t), int(240 - 25 * t), int(246 - 10 * t))

# Shadow, body of the reader, and its lighter top face.
rect(34, 92, 214, 100, (170, 175, 185), 4)
body = (58, 62, 70)
rect(28, 50, 208, 94, body, 9)
rect(32, 52, 204, 66, shade(body, 1.45), 6)
# The slot that takes the card.
rect(56, 56, 180, 61, (20, 20, 24), 2)

# The card, standing in the slot: white-blue with a gold contact chip.
card = (226, 236, 250)
rect(64, 8, 172, 59, (120, 130, 150), 7)
rect(65, 9, 171, 58, card, 6)
rect(65, 9, 171, 20, (46, 110, 190), 6)
rect(65, 16, 171, 20, (46, 110, 190))
chip = (214, 176, 70)
rect(80, 27, 102, 44, shade(chip, 0.7), 3)
rect(81, 28, 101, 43, chip, 3)
for x in (87, 95):
    for y in range(28, 43):
        put(x, y, shade(chip, 0.6))
for y in (33, 38):
    for x in range(81, 101):
        put(x, y, shade(chip, 0.6))
for i, y in enumerate((30, 36, 42)):
    rect(112, y, 160 - 12 * i, y + 3, (150, 160, 180))

# Status light and the maker's badge on the front.
circle(190, 80, 4, (30, 40, 30))
circle(190, 80, 3, (60, 220, 90))
put(189, 79, (200, 255, 210))
rect(44, 76, 84, 84, shade(body, 1.6), 2)

# The cable to the computer, ending in a plug.
cable = (40, 42, 48)
for x in range(208, 246):
    y = 76 + int(((x - 208) / 38.0) ** 2 * 14)
    rect(x, y - 2, x + 1, y + 2, cable)
rect(244, 84, 262, 98, (150, 155, 165), 2)
rect(258, 87, 268, 95, (200, 204, 210), 1)


def write_bmp(path):
    row = W * 3
    pad = (4 - row % 4) % 4
    size = 54 + (row + pad) * H
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, (row + pad) * H, 2835, 2835, 0, 0))
        for y in range(H - 1, -1, -1):
            f.write(bytes(v for (r, g, b) in pixels[y] for v in (b, g, r)) + b"\0" * pad)


write_bmp(sys.argv[1] if len(sys.argv) > 1 else "reader.bmp")
