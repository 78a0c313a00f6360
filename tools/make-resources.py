#!/usr/bin/env python3
"""Draws the kiosk's bitmaps and icon into res/, reproducibly.

The buttons are 16 x 16, 24-bit, on black: a red-orange cross with a grey
(normal) or yellow-green (pressed) rim for close, a grey-blue bar with light
dashes (normal) or yellow-green (pressed) for minimize. Bitmap 139 is the
service's 271 x 32 title image; icon 128 is the application icon.
"""
import os
import struct
import sys

BLACK = (0, 0, 0)
GREY = (150, 150, 150)
YELLOW_GREEN = (170, 220, 40)
RED_ORANGE = (240, 80, 30)
GREY_BLUE = (110, 130, 170)
LIGHT = (225, 230, 240)


def canvas(w, h, colour=BLACK):
    return [[colour] * w for _ in range(h)]


def bmp_bytes(pixels):
    h, w = len(pixels), len(pixels[0])
    row_size = (w * 3 + 3) & ~3
    rows = b""
    for y in range(h - 1, -1, -1):  # bottom-up rows
        row = b"".join(struct.pack("BBB", b, g, r) for (r, g, b) in pixels[y])
        rows += row + b"\0" * (row_size - w * 3)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


def rim(p, colour):
    n = len(p)
    for i in range(1, n - 1):
        p[1][i] = p[n - 2][i] = p[i][1] = p[i][n - 2] = colour


def close_button(rim_colour):
    p = canvas(16, 16)
    rim(p, rim_colour)
    for i in range(4, 12):
        for d in (0, 1):
            if i + d < 12:
                p[i][i + d] = RED_ORANGE
                p[i][15 - i - d] = RED_ORANGE
    return p


def minimize_button(bar, dash):
    p = canvas(16, 16)
    rim(p, bar if bar == YELLOW_GREEN else GREY)
    for y in (10, 11):
        for x in range(4, 12):
            p[y][x] = bar
    for x in range(5, 11, 2):
        p[10][x] = dash
    return p


FONT = {  # 5 x 7 capitals for the title image
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "I": ["111", "010", "010", "010", "010", "010", "111"],
    "L": ["100", "100", "100", "100", "100", "100", "111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "-": ["000", "000", "000", "111", "000", "000", "000"],
    " ": ["00", "00", "00", "00", "00", "00", "00"],
}


def title_image():
    p = canvas(271, 32)
    x, scale = 8, 3
    for ch in "NILO-VOD":
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for sy in range(scale):
                        for sx in range(scale):
                            p[5 + gy * scale + sy][x + gx * scale + sx] = LIGHT
        x += (len(glyph[0]) + 1) * scale
    for xx in range(x + 4, 263):
        p[26][xx] = GREY_BLUE
    return p


def icon_bytes(size=32):
    """A 32-bit ICO: a play triangle on a grey-blue screen."""
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            inside = 3 <= x < size - 3 and 5 <= y < size - 5
            colour, alpha = (GREY_BLUE, 255) if inside else (BLACK, 0)
            cy, left = size // 2, 11
            if inside and x >= left and abs(y - cy) <= (x - left) * 0.6 and x <= 22:
                colour = LIGHT
            row.append((colour, alpha))
        px.append(row)
    data = b""
    for y in range(size - 1, -1, -1):
        for (r, g, b), a in px[y]:
            data += struct.pack("BBBB", b, g, r, a)
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(data) + len(mask), 0, 0, 0, 0)
    image = info + data + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return header + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    files = {
        "close.bmp": bmp_bytes(close_button(GREY)),
        "close_sel.bmp": bmp_bytes(close_button(YELLOW_GREEN)),
        "minimize.bmp": bmp_bytes(minimize_button(GREY_BLUE, LIGHT)),
        "minimize_sel.bmp": bmp_bytes(minimize_button(YELLOW_GREEN, LIGHT)),
        "title.bmp": bmp_bytes(title_image()),
        "MORAVEL_PLAYER.ico": icon_bytes(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
