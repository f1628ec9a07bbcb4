#!/usr/bin/env python3
"""Writes the icon files the fixture executables are built from.

Every image is one solid colour whose top-left quarter is transparent (mask
bit 1, colour black, alpha 0), so a test can tell by a pixel which image was
chosen and whether the mask came along."""
import struct
import zlib


def dib(size, bpp, colour, palette=None):
    """A DIB icon image: 40-byte header, colour table, colour rows, mask rows."""
    w = h = size
    r, g, b = colour
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bpp, 0, 0, 0, 0, 0, 0)
    table = b''
    if bpp <= 8:
        entries = [(0, 0, 0)] * (1 << bpp)
        entries[1] = (r, g, b)
        table = b''.join(struct.pack('<BBBB', eb, eg, er, 0) for er, eg, eb in entries)
    stride = (w * bpp + 31) // 32 * 4
    mstride = (w + 31) // 32 * 4
    rows = b''
    mask = b''
    for row in range(h):  # bottom row first
        y = h - 1 - row
        bits = []
        mbits = []
        for x in range(w):
            clear = x < w // 2 and y < h // 2
            mbits.append(1 if clear else 0)
            bits.append(None if clear else True)
        line = bytearray(stride)
        for x, opaque in enumerate(bits):
            if bpp == 32:
                if opaque:
                    line[4 * x:4 * x + 4] = bytes((b, g, r, 255))
            elif bpp == 24:
                if opaque:
                    line[3 * x:3 * x + 3] = bytes((b, g, r))
            elif bpp == 8:
                line[x] = 1 if opaque else 0
            elif bpp == 4:
                if opaque:
                    line[x // 2] |= (1 << 4) if x % 2 == 0 else 1
            elif bpp == 1:
                if opaque:
                    line[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(line)
        mline = bytearray(mstride)
        for x, m in enumerate(mbits):
            if m:
                mline[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(mline)
    return header + table + rows + mask


def png(size, colour):
    """An RGBA PNG image, top-left quarter fully transparent."""
    r, g, b = colour
    raw = b''
    for y in range(size):
        raw += b'\0'
        for x in range(size):
            if x < size // 2 and y < size // 2:
                raw += b'\0\0\0\0'
            else:
                raw += bytes((r, g, b, 255))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack(
            '>I', zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico(path, images):
    """images: (size, bpp, colour_count, data)"""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b''
    for size, bpp, colours, data in images:
        out += struct.pack('<BBBBHHII', size & 0xFF, size & 0xFF, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
        body += data
    with open(path, 'wb') as f:
        f.write(out + body)


YELLOW, RED, GREEN, BLUE, MAGENTA = (255, 255, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 0, 255)
CYAN, ORANGE, NAVY = (0, 255, 255), (255, 128, 0), (0, 0, 128)

# Five images: the 16-colour one first, so the screen depth changes the choice.
ico('multi.ico', [(32, 4, 16, dib(32, 4, YELLOW)), (16, 32, 0, dib(16, 32, RED)),
                  (32, 32, 0, dib(32, 32, GREEN)), (48, 32, 0, dib(48, 32, BLUE)),
                  (256, 32, 0, png(256, MAGENTA))])
ico('png256.ico', [(256, 32, 0, png(256, MAGENTA))])
ico('cyan48.ico', [(48, 24, 0, dib(48, 24, CYAN))])
ico('pair.ico', [(16, 4, 16, dib(16, 4, NAVY)), (32, 8, 0, dib(32, 8, ORANGE))])
