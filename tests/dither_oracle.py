#!/usr/bin/env python3
"""The published dithering methods, written from their definitions, as the
oracle kpl's --dither output is checked against (scripts/cli-e2e); METHOD
"threshold" is a plain threshold.

  dither_oracle.py METHOD THRESHOLD PGM   prints the screen's 480 bytes

PGM: a binary 120 x 32 grey picture (ImageMagick's). Error diffusion runs
left to right, top to bottom, the shares rounded toward zero; Bayer's 8 x 8
matrix is built by its recursion and its 64 levels, 4 apart, are centred
on the threshold."""
import sys

WIDTH, HEIGHT = 120, 32
SHARES = {  # (dx, dy, weight), divisor
    "floyd-steinberg": ([(1, 0, 7), (-1, 1, 3), (0, 1, 5), (1, 1, 1)], 16),
    "atkinson": ([(1, 0, 1), (2, 0, 1), (-1, 1, 1), (0, 1, 1), (1, 1, 1), (0, 2, 1)], 8),
}


def read_pgm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    assert fields == [b"P5", b"120", b"32", b"255"], fields
    pixels = data[at + 1:]
    return [list(pixels[y * WIDTH:(y + 1) * WIDTH]) for y in range(HEIGHT)]


def bayer(size):
    if size == 1:
        return [[0]]
    half = bayer(size // 2)
    n = size // 2
    return [[4 * half[y % n][x % n] + [[0, 2], [3, 1]][y // n][x // n] for x in range(size)]
            for y in range(size)]


def dark_pixels(method, threshold, grey):
    if method == "threshold":
        return [[value < threshold for value in row] for row in grey]
    if method == "bayer":
        matrix = bayer(8)
        return [[grey[y][x] < threshold - 126 + 4 * matrix[y % 8][x % 8] for x in range(WIDTH)]
                for y in range(HEIGHT)]
    shares, divisor = SHARES[method]
    level = [row[:] for row in grey]
    dark = [[False] * WIDTH for _ in range(HEIGHT)]
    for y in range(HEIGHT):
        for x in range(WIDTH):
            dark[y][x] = level[y][x] < threshold
            error = level[y][x] - (0 if dark[y][x] else 255)
            for dx, dy, weight in shares:
                if 0 <= x + dx < WIDTH and y + dy < HEIGHT:
                    share = abs(error) * weight // divisor
                    level[y + dy][x + dx] += share if error >= 0 else -share
    return dark


def main():
    method, threshold, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    dark = dark_pixels(method, threshold, read_pgm(path))
    screen = bytearray(480)
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if dark[y][x]:
                screen[(y // 8) * WIDTH + x] |= 1 << (y % 8)
    sys.stdout.buffer.write(bytes(screen))


main()
