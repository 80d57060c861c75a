#!/usr/bin/env python3
"""Writes the program's pictures from their editable sources.

icon.txt   -> icon.ico   32 x 32, 16 colours: one character a pixel (legend below), '.' transparent
           -> icons/hexjpg-32.png, -64, -128, -256: the same design, each pixel a square of 1, 2,
              4 or 8 pixels, so that the pixel art stays sharp in the desktop's icon theme
icon16.txt -> icons/hexjpg-16.png, -48: a 16-pixel design that reads at that size, and it tripled
           -> brown.bmp  250 x 230, 24 bits per pixel, every pixel 804000

  python3 make_resources.py           writes them beside this script
  python3 make_resources.py --check   exits 1 when one differs from what it would write (for the
                                      PNG files: in its pixels, whatever the compressor made)
"""
import struct
import sys
import zlib
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


def design(text: str, size: int):
    rows = text.splitlines()
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f'an icon design must hold {size} lines of {size} characters')
    return rows


def icon(text: str) -> bytes:
    rows = design(text, SIZE)
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


def rgba(rows, scale: int) -> bytes:
    """The design's pixels, each a scale x scale square, as rows of RGBA."""
    colours = dict(PALETTE)
    out = bytearray()
    for row in rows:
        line = bytearray()
        for ch in row:
            pixel = bytes((0, 0, 0, 0)) if ch == '.' else bytes(colours[ch]) + b'\xff'
            line += pixel * scale
        out += (b'\x00' + bytes(line)) * scale  # each scan line behind PNG's filter byte (none)
    return bytes(out)


def png(rows, scale: int) -> bytes:
    size = len(rows) * scale

    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack('>I', len(data)) + kind + data + struct.pack(
            '>I', zlib.crc32(kind + data))

    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
            chunk(b'IDAT', zlib.compress(rgba(rows, scale), 9)) + chunk(b'IEND', b''))


def png_pixels(data: bytes):
    """What a PNG written by png() shows: its header and its decompressed scan lines."""
    if not data.startswith(b'\x89PNG\r\n\x1a\n'):
        return None
    pos, header, idat = 8, b'', b''
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        header = body if kind == b'IHDR' else header
        idat += body if kind == b'IDAT' else b''
        pos += 12 + length
    return header, zlib.decompress(idat)


def brown_bitmap(width=250, height=230, rgb=(0x80, 0x40, 0x00)) -> bytes:
    row = bytes((rgb[2], rgb[1], rgb[0])) * width
    row += bytes(-len(row) % 4)
    pixels = row * height
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return file_header + info + pixels


def main() -> int:
    large = design((HERE / 'icon.txt').read_text(), SIZE)
    small = design((HERE / 'icon16.txt').read_text(), 16)
    outputs = {
        HERE / 'icon.ico': icon((HERE / 'icon.txt').read_text()),
        HERE / 'brown.bmp': brown_bitmap(),
    }
    for rows, scale in ((small, 1), (small, 3), (large, 1), (large, 2), (large, 4), (large, 8)):
        outputs[HERE / 'icons' / f'hexjpg-{len(rows) * scale}.png'] = png(rows, scale)
    if '--check' in sys.argv:
        def same(path, data):
            if not path.exists():
                return False
            if path.suffix == '.png':
                return png_pixels(path.read_bytes()) == png_pixels(data)
            return path.read_bytes() == data
        stale = [p.name for p, data in outputs.items() if not same(p, data)]
        if stale:
            print('out of date: ' + ', '.join(stale) + ' (run make_resources.py)')
            return 1
        return 0
    for path, data in outputs.items():
        path.parent.mkdir(exist_ok=True)
        path.write_bytes(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
