"""Pictures the printer application's tests send, made from Ghostscript's.

  picture_maker.py claim JPEG OUT SIZE PPI [progressive]
      the JPEG's frame header changed to claim SIZE x SIZE pixels at PPI
      pixels per inch (its data stays what it was), optionally marked as
      progressive
  picture_maker.py bare JPEG OUT
      the JPEG without its application segments (JFIF, Exif, ICC): the file
      starts FF D8 FF DB
  picture_maker.py uniform OUT WIDTH HEIGHT PPI RED GREEN BLUE
      a colour PNG of one colour, compressed row by row as it is made
"""
import struct
import sys
import zlib


def segments(jpeg):
    """(offset, marker) of each segment from the start-of-image marker to the first scan."""
    at = 2
    while jpeg[at + 1] != 0xDA:
        yield at, jpeg[at + 1]
        at += 2 + int.from_bytes(jpeg[at + 2:at + 4], "big")


def claim(source, out, size, ppi, progressive=None):
    jpeg = bytearray(open(source, "rb").read())
    for at, marker in segments(jpeg):
        if marker == 0xE0 and jpeg[at + 4:at + 9] == b"JFIF\0":
            jpeg[at + 11] = 1  # dots per inch
            jpeg[at + 12:at + 16] = struct.pack(">HH", ppi, ppi)
        if marker in (0xC0, 0xC1, 0xC2):
            jpeg[at + 5:at + 9] = struct.pack(">HH", size, size)
            if progressive:
                jpeg[at + 1] = 0xC2
    open(out, "wb").write(jpeg)


def bare(source, out):
    jpeg = open(source, "rb").read()
    kept = bytearray(jpeg[:2])
    end = 2
    for at, marker in segments(jpeg):
        end = at + 2 + int.from_bytes(jpeg[at + 2:at + 4], "big")
        if not 0xE0 <= marker <= 0xEF:
            kept += jpeg[at:end]
    open(out, "wb").write(kept + jpeg[end:])


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def uniform(out, width, height, ppi, red, green, blue):
    per_metre = round(ppi / 0.0254)
    packer = zlib.compressobj(9)
    row = b"\0" + bytes((red, green, blue)) * width
    data = b"".join(packer.compress(row) for _ in range(height)) + packer.flush()
    with open(out, "wb") as png:
        png.write(b"\x89PNG\r\n\x1a\n")
        png.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        png.write(chunk(b"pHYs", struct.pack(">IIB", per_metre, per_metre, 1)))
        png.write(chunk(b"IDAT", data))
        png.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    command, args = sys.argv[1], sys.argv[2:]
    if command == "claim":
        claim(args[0], args[1], int(args[2]), int(args[3]), *args[4:])
    elif command == "bare":
        bare(args[0], args[1])
    elif command == "uniform":
        uniform(args[0], *map(int, args[1:]))
    else:
        sys.exit(__doc__)
