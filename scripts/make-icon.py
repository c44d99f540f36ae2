#!/usr/bin/env python3
# scripts/make-icon.py - builds the Windows icon file ui/win32/tarvex.ico from the program's own
# picture ui/resources/tarvex.png: the sizes the window system asks for (16, 32, 48 and 64
# pixels), each a 32-bit image with its mask, scaled by area averaging.
#
#   python3 scripts/make-icon.py [ui/resources/tarvex.png [ui/win32/tarvex.ico]]
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64)


def read_png(path):
    """Width, height and rows of (r, g, b, a) tuples of an 8-bit RGBA, non-interlaced PNG."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        sys.exit(f"{path}: only 8-bit RGBA without interlacing is supported")
    raw = zlib.decompress(idat)
    stride, bpp = width * 4, 4
    rows, previous, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = previous[i]
            corner = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + pred) & 0xFF
        rows.append([tuple(line[x * 4:x * 4 + 4]) for x in range(width)])
        previous = line
    return width, height, rows


def scale(width, height, rows, size):
    """Area-averaged copy at size x size, averaged with premultiplied alpha (no dark fringes)."""
    out = []
    for y in range(size):
        y0, y1 = y * height / size, (y + 1) * height / size
        line = []
        for x in range(size):
            x0, x1 = x * width / size, (x + 1) * width / size
            acc = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            sy = int(y0)
            while sy < y1 and sy < height:
                wy = min(y1, sy + 1) - max(y0, sy)
                sx = int(x0)
                while sx < x1 and sx < width:
                    w = (min(x1, sx + 1) - max(x0, sx)) * wy
                    r, g, b, a = rows[sy][sx]
                    acc[0] += r * a * w
                    acc[1] += g * a * w
                    acc[2] += b * a * w
                    acc[3] += a * w
                    area += w
                    sx += 1
                sy += 1
            alpha = acc[3] / area
            if acc[3] > 0:
                pixel = tuple(min(255, round(c / acc[3])) for c in acc[:3])
            else:
                pixel = (0, 0, 0)
            line.append(pixel + (min(255, round(alpha)),))
        out.append(line)
    return out


def icon_image(rows, size):
    """One icon image: the header, the colours bottom-up as BGRA, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for line in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(line):
            colours += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colours) + bytes(mask)


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else "ui/resources/tarvex.png"
    target = sys.argv[2] if len(sys.argv) > 2 else "ui/win32/tarvex.ico"
    width, height, rows = read_png(source)
    images = [icon_image(scale(width, height, rows, s), s) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    open(target, "wb").write(bytes(out))


if __name__ == "__main__":
    main()
