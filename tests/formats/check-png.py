#!/usr/bin/python3
# Test oracle: counts the pixels of a PNG (8-bit greyscale, RGB or RGBA, not
# interlaced, as chromium's screenshots are) that are not near white, and
# prints "pixels <total> drawn <count> colours <distinct drawn colours>".
import struct
import sys
import zlib

data = open(sys.argv[1], "rb").read()
if data[:8] != b"\x89PNG\r\n\x1a\n":
    print("not a png")
    sys.exit(2)
pos, idat = 8, b""
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
channels = {0: 1, 2: 3, 6: 4}.get(colour)
if depth != 8 or channels is None or interlace:
    print("unsupported png", depth, colour, interlace)
    sys.exit(2)
raw = zlib.decompress(idat)
stride = width * channels
rows, prev, at = [], bytearray(stride), 0
for _ in range(height):
    f, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
    at += 1 + stride
    for i in range(stride):
        a = line[i - channels] if i >= channels else 0
        b = prev[i]
        c = prev[i - channels] if i >= channels else 0
        if f == 1:
            line[i] = (line[i] + a) & 255
        elif f == 2:
            line[i] = (line[i] + b) & 255
        elif f == 3:
            line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(bytes(line))
    prev = line
drawn, colours = 0, set()
for line in rows:
    for x in range(width):
        px = line[x * channels:x * channels + min(channels, 3)]
        if min(px) < 200:
            drawn += 1
            colours.add(bytes(px))
print("pixels", width * height, "drawn", drawn, "colours", len(colours))
