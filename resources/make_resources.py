#!/usr/bin/env python3
"""Writes the program's two pictures from their editable sources.

icon.txt  -> icon.ico   32 x 32, 16 colours: one character a pixel (legend below), '.' transparent
             -> brown.bmp  250 x 230, 24 bits per pixel, every pixel 804000

  python3 make_resources.py           writes icon.ico and brown.bmp beside this script
  python3 make_resources.py --check   exits 1 when either file differs from what it would write
"""
import struct
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent

# The standard 16-colour palette; the character that stands for each colour in icon.txt.
PALETTE = [
    ('K', (0x00, 0x00, 0x00)), ('R', (0x80, 0x00, 0x00)), ('G', (0x00, 0x80, 0x00)),
    ('O', (0x80, 0x80, 0x00)), ('N', (0x00, 0x00, 0x80)), ('P', (0x80, 0x00, 0x80)),
    ('T', (0x00, 0x80, 0x80)), ('S', (0xC0, 0xC0, 0xC0)), ('D', (0x80, 0x80, 0x80)),
    ('r', (0xFF, 0x00, 0x00)), ('g', (0x00, 0xFF, 0x00)), ('y', (0xFF, 0xFF, 0x00)),
    ('b', (0x00, 0x00, 0xFF)), ('m', (0xFF, 0x00, 0xFF)), ('c', (0x00, 0xFF, 0xFF)),
    ('W', (0xFF, 0xFF, 0xFF)),
]
INDEX = {ch: i for i, (ch, _) in enumerate(PALETTE)}
SIZE = 32


def icon(text: str) -> bytes:
    rows = text.splitlines()
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        raise SystemExit('icon.txt must hold 32 lines of 32 characters')
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up, as bitmaps are stored
        indices = [INDEX.get(ch, 0) for ch in row]
        xor += bytes(indices[i] << 4 | indices[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for ch in row:
            bits = bits << 1 | (ch == '.')
        mask += bits.to_bytes(4, 'big')
    palette = b''.join(bytes((b, g, r, 0)) for _, (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack(
        '<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


def brown_bitmap(width=250, height=230, rgb=(0x80, 0x40, 0x00)) -> bytes:
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += bytes(-len(row) % 4)
    pixels = row * height
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return file_header + info + pixels


def main() -> int:
    outputs = {
        HERE / 'icon.ico': icon((HERE / 'icon.txt').read_text()),
        HERE / 'brown.bmp': brown_bitmap(),
    }
    if '--check' in sys.argv:
        stale = [p.name for p, data in outputs.items() if not p.exists() or p.read_bytes() != data]
        if stale:
            print('out of date: ' + ', '.join(stale) + ' (run make_resources.py)')
            return 1
        return 0
    for path, data in outputs.items():
        path.write_bytes(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
