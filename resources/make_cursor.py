#!/usr/bin/env python3
"""Writes HAND-M.CUR: the 32 x 32 hand pointer in the Windows cursor format, hotspot at the
fingertip. Run it after changing the drawing below; the build only copies the result."""
import struct
import sys
from pathlib import Path

# X outline, o fill, anything else transparent. The hotspot is the fingertip, marked by H.
HAND = """
.....XHX
....XoooX
....XoooX
....XoooX
....XoooX
....XoooXXX
....XoooXooXXX
....XoooXooXooXX
.XX.XoooXooXooXoX
XooXXoooooooooXooX
XoooXoooooooooooooX
.XooXoooooooooooooX
..XoXoooooooooooooX
..XooooooooooooooX
...XoooooooooooooX
...XooooooooooooX
....XoooooooooooX
....XooooooooooX
.....XoooooooooX
.....XoooooooooX
.....XXXXXXXXXXX
"""

SIZE = 32


def pixels():
    rows = [line for line in HAND.strip("\n").splitlines()]
    grid = [[None] * SIZE for _ in range(SIZE)]
    hotspot = (0, 0)
    for y, line in enumerate(rows):
        for x, ch in enumerate(line):
            if ch in "XH":
                grid[y][x] = (0, 0, 0, 255)
            elif ch == "o":
                grid[y][x] = (255, 255, 255, 255)
            if ch == "H":
                hotspot = (x, y)
    return grid, hotspot


def cursor_bytes():
    grid, (hx, hy) = pixels()
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        bits = 0
        for x in range(SIZE):
            px = grid[y][x]
            if px is None:
                colour += bytes((0, 0, 0, 0))
                bits |= 1 << (SIZE - 1 - x)
            else:
                r, g, b, a = px
                colour += bytes((b, g, r, a))
        mask += bits.to_bytes(SIZE // 8, "big")
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hx, hy, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("HAND-M.CUR")
    out.write_bytes(cursor_bytes())


if __name__ == "__main__":
    main()
