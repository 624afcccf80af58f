#!/usr/bin/env python3
"""Draws Pellvane's application icon (32x32 and 16x16) and writes it as an ICO
file: an adapter box with two network ports and a green link light, under a
chromatogram peak. Run: scripts/make-icon.py ui/resources/pellvane.ico"""
import struct
import sys

TRANSPARENT = None
BODY = (52, 96, 160)
EDGE = (24, 48, 92)
PORT = (30, 30, 36)
LED = (40, 210, 70)
TRACE = (250, 250, 250)
PEAK = (235, 120, 40)


def draw(size):
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, color):
        for y in range(int(y0 * s), max(int(y1 * s), int(y0 * s) + 1)):
            for x in range(int(x0 * s), max(int(x1 * s), int(x0 * s) + 1)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = color

    # Chromatogram: a baseline with one tall peak, drawn above the box.
    rect(2, 13, 30, 14, TRACE if size > 16 else PEAK)
    for x in range(4, 29):
        h = 11.0 * 2.718 ** (-((x - 16) / 3.0) ** 2)
        top = 13 - h
        rect(x, top, x + 1, 13, PEAK)
    # The adapter box.
    rect(2, 15, 30, 30, EDGE)
    rect(3, 16, 29, 29, BODY)
    # Two ports and a link light.
    rect(6, 20, 12, 26, PORT)
    rect(14, 20, 20, 26, PORT)
    rect(23, 21, 26, 24, LED)
    return px


def bmp_entry(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in reversed(range(size)):  # bottom-up rows
        for x in range(size):
            c = px[y][x]
            colour += bytes((0, 0, 0, 0)) if c is None else bytes((c[2], c[1], c[0], 255))
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(row_bytes)
        for x in range(size):
            if px[y][x] is None:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(colour) + bytes(mask)


def main(path):
    images = [bmp_entry(32), bmp_entry(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "pellvane.ico")
