#!/usr/bin/env python3
"""Draws the pictures of setup.exe and writes them as Windows resource files.

    make_pictures.py OUTDIR [--uncompressed]

writes into OUTDIR:
    side.bmp      bitmap 102, the side picture of the pages (installing)
    side_alt.bmp  bitmap 115, the side picture of the uninstaller's welcome page
    setup.ico     icon 111, 32x32 and 16x16 in 16 colours

The side pictures are 125 x 241 pixels with 256 colours (8 bits a pixel) and
are stored run-length encoded (BI_RLE8) unless --uncompressed is given. They
are drawn from horizontal colour bands and a few plain shapes so that most
rows are a handful of runs.

Only the Python standard library is used; everything is drawn here.
"""

import os
import struct
import sys

SIDE_WIDTH = 125
SIDE_HEIGHT = 241
BAND_HEIGHT = 5

BI_RGB = 0
BI_RLE8 = 1


# ---------------------------------------------------------------------------
# BI_RLE8
#
# Encoded mode:  count (1..255), index       -> count pixels of index
# Escapes:       0 0                         -> end of line
#                0 1                         -> end of bitmap
#                0 2 dx dy                   -> move right dx, up dy (not written)
#                0 n (3..255) n indexes [0]  -> absolute mode, padded to a
#                                               16-bit boundary
# ---------------------------------------------------------------------------

def _run_length(row, start):
    """Length of the run of equal bytes at row[start], at most 255."""
    value = row[start]
    end = start + 1
    limit = min(len(row), start + 255)
    while end < limit and row[end] == value:
        end += 1
    return end - start


def rle8_encode_row(row):
    """Encodes one row of 8-bit indexes, without the end-of-line escape."""
    out = bytearray()
    i = 0
    n = len(row)
    while i < n:
        run = _run_length(row, i)
        if run >= 3:
            out += bytes((run, row[i]))
            i += run
            continue
        # Collect bytes that are not worth a run of their own.
        j = i
        while j < n and j - i < 255:
            if _run_length(row, j) >= 3:
                break
            j += 1
        literal = row[i:j]
        if len(literal) >= 3:
            out += bytes((0, len(literal)))
            out += bytes(literal)
            if len(literal) & 1:
                out.append(0)  # absolute runs end on a 16-bit boundary
        else:
            # One or two bytes: an absolute run needs at least three.
            k = 0
            while k < len(literal):
                same = 2 if literal[k:k + 2] == bytes((literal[k],)) * 2 else 1
                out += bytes((same, literal[k]))
                k += same
        i = j
    return out


def rle8_encode(rows_bottom_up):
    """Encodes a whole bitmap, given its rows in storage order (bottom row
    first). Every row ends with an end-of-line escape, the data with an
    end-of-bitmap escape."""
    out = bytearray()
    for row in rows_bottom_up:
        out += rle8_encode_row(row)
        out += b"\x00\x00"
    out += b"\x00\x01"
    return bytes(out)


class RleError(ValueError):
    pass


def rle8_decode(data, width, height):
    """Decodes BI_RLE8 data strictly into rows in storage order (bottom row
    first). Pixels that the data skips stay 0. Raises RleError on data that
    a careful reader would refuse: writing past a row or past the last row,
    a missing end-of-bitmap escape, an absolute run that breaks the 16-bit
    alignment, or bytes after the end-of-bitmap escape."""
    rows = [bytearray(width) for _ in range(height)]
    x = y = 0
    pos = 0
    size = len(data)

    def put(count, values):
        nonlocal x
        if y >= height:
            raise RleError("pixels after the last row")
        if x + count > width:
            raise RleError("run past the end of row %d" % y)
        rows[y][x:x + count] = values
        x += count

    while True:
        if pos + 2 > size:
            raise RleError("data ends without end-of-bitmap")
        first, second = data[pos], data[pos + 1]
        pos += 2
        if first:
            put(first, bytes((second,)) * first)
        elif second == 0:
            x = 0
            y += 1
            if y > height:
                raise RleError("end of line past the last row")
        elif second == 1:
            if pos != size:
                raise RleError("%d bytes after end-of-bitmap" % (size - pos))
            break
        elif second == 2:
            if pos + 2 > size:
                raise RleError("truncated delta")
            x += data[pos]
            y += data[pos + 1]
            pos += 2
            if x > width or y > height:
                raise RleError("delta outside the bitmap")
        else:
            if pos + second > size:
                raise RleError("truncated absolute run")
            put(second, data[pos:pos + second])
            pos += second
            if second & 1:
                if pos >= size or data[pos] != 0:
                    raise RleError("absolute run without padding byte")
                pos += 1
            if pos & 1:
                raise RleError("absolute run off the 16-bit boundary")
    return [bytes(r) for r in rows]


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------

def _stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def bmp_bytes(width, height, palette, pixels_top_down, compress=True):
    """A .bmp file of 8-bit indexes with a palette of up to 256 colours."""
    palette = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    rows = [bytes(r) for r in reversed(pixels_top_down)]
    if compress:
        bits = rle8_encode(rows)
        compression = BI_RLE8
    else:
        pad = b"\x00" * (_stride(width, 8) - width)
        bits = b"".join(r + pad for r in rows)
        compression = BI_RGB
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, compression,
                       len(bits), 2835, 2835, 256, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + colours + bits


def parse_bmp(blob):
    """Reads back what bmp_bytes writes: (width, height, compression,
    palette, rows in storage order). For the tests and for checking."""
    magic, file_size, _, _, offset = struct.unpack_from("<2sIHHI", blob, 0)
    if magic != b"BM" or file_size != len(blob):
        raise ValueError("not a bitmap file of this size")
    (hsize, width, height, planes, bits, compression, image_size, _, _,
     used, _) = struct.unpack_from("<IiiHHIIiiII", blob, 14)
    if hsize != 40 or planes != 1 or bits != 8:
        raise ValueError("not an 8-bit bitmap")
    count = used or 256
    palette = [tuple(reversed(blob[54 + 4 * i:54 + 4 * i + 3])) for i in range(count)]
    data = blob[offset:]
    if image_size != len(data):
        raise ValueError("image size %d, data %d" % (image_size, len(data)))
    if compression == BI_RLE8:
        rows = rle8_decode(data, width, height)
    elif compression == BI_RGB:
        stride = _stride(width, 8)
        rows = [data[i * stride:i * stride + width] for i in range(height)]
    else:
        raise ValueError("compression %d" % compression)
    return width, height, compression, palette, rows


# The sixteen colours of the standard VGA palette.
VGA16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = -1


def ico_bytes(images):
    """An .ico file from 16-colour images: a list of square grids of VGA16
    indexes, CLEAR for a transparent pixel."""
    entries = []
    blobs = []
    for grid in images:
        size = len(grid)
        xor_rows = []
        and_rows = []
        for row in reversed(grid):
            xor = bytearray(_stride(size, 4))
            mask = bytearray(_stride(size, 1))
            for x, value in enumerate(row):
                colour = 0 if value == CLEAR else value
                if x & 1:
                    xor[x // 2] |= colour
                else:
                    xor[x // 2] |= colour << 4
                if value == CLEAR:
                    mask[x // 8] |= 0x80 >> (x % 8)
            xor_rows.append(bytes(xor))
            and_rows.append(bytes(mask))
        bits = b"".join(xor_rows) + b"".join(and_rows)
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, BI_RGB,
                           len(bits), 0, 0, 16, 0)
        colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in VGA16)
        blobs.append(info + colours + bits)
        entries.append(size)
    offset = 6 + 16 * len(images)
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    for size, blob in zip(entries, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


# ---------------------------------------------------------------------------
# Drawing
# ---------------------------------------------------------------------------

def _mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def _band_count():
    return (SIDE_HEIGHT + BAND_HEIGHT - 1) // BAND_HEIGHT


def _canvas(fill):
    return [[fill(y) for _ in range(SIDE_WIDTH)] for y in range(SIDE_HEIGHT)]


def _fill_rows(px, y0, y1, span, index):
    """Fills rows y0..y1-1; span(y) gives (x0, x1) or None, x1 exclusive;
    index is a palette index or a function of y."""
    for y in range(max(y0, 0), min(y1, SIDE_HEIGHT)):
        s = span(y)
        if not s:
            continue
        x0, x1 = max(int(s[0]), 0), min(int(s[1]), SIDE_WIDTH)
        value = index(y) if callable(index) else index
        for x in range(x0, x1):
            px[y][x] = value


def _disc_span(cx, cy, r):
    def span(y):
        d = r * r - (y - cy) * (y - cy)
        if d <= 0:
            return None
        w = int(d ** 0.5 + 0.5)
        return (cx - w, cx + w + 1)
    return span


def draw_install_picture():
    """Bitmap 102: evening blue bands, a pale halo, and an arrow that goes
    down into an open box."""
    bands = _band_count()
    palette = [(0, 0, 0)] * 256
    top, bottom = (14, 28, 92), (104, 176, 228)
    for b in range(bands):
        colour = _mix(top, bottom, b / (bands - 1))
        palette[b] = colour                                   # sky band
        palette[64 + b] = _mix(colour, (255, 255, 255), 0.22)  # halo band
    ARROW, ARROW_SHADE = 128, 129
    BOX_FRONT, BOX_SIDE, BOX_INSIDE, BOX_TAPE, BOX_EDGE = 130, 131, 132, 133, 134
    SHADOW = 135
    palette[ARROW] = (250, 252, 255)
    palette[ARROW_SHADE] = (196, 214, 236)
    palette[BOX_FRONT] = (222, 170, 96)
    palette[BOX_SIDE] = (168, 120, 58)
    palette[BOX_INSIDE] = (92, 60, 28)
    palette[BOX_TAPE] = (240, 214, 160)
    palette[BOX_EDGE] = (250, 226, 176)
    palette[SHADOW] = (40, 70, 120)

    px = _canvas(lambda y: y // BAND_HEIGHT)
    cx = 62

    # Halo: the same bands, lighter, inside a disc.
    halo = _disc_span(cx, 76, 50)
    _fill_rows(px, 0, SIDE_HEIGHT, halo, lambda y: 64 + y // BAND_HEIGHT)

    # Shadow under the box.
    _fill_rows(px, 204, 212, lambda y: (24 + (y - 204), 116 - (y - 204)), SHADOW)

    # Box: the opening and the right side face are slanted by 10 pixels
    # over 14 rows; then the front face with its upper edge and a tape.
    slant = 14 / 10.0
    _fill_rows(px, 134, 148, lambda y: (26 + (148 - y) / slant,
                                        98 + (148 - y) / slant), BOX_INSIDE)
    _fill_rows(px, 134, 136, lambda y: (26 + (148 - y) / slant,
                                        98 + (148 - y) / slant), BOX_EDGE)
    _fill_rows(px, 134, 206, lambda y: (98 + max(0, (148 - y) / slant),
                                        min(108, 98 + (206 - y) / slant) + 1),
               BOX_SIDE)
    _fill_rows(px, 148, 206, lambda y: (26, 98), BOX_FRONT)
    _fill_rows(px, 148, 150, lambda y: (26, 98), BOX_EDGE)
    _fill_rows(px, 170, 176, lambda y: (26, 98), BOX_TAPE)

    # Arrow: shaft and head, lit from the left; its point dips into the box.
    def arrow(y0, y1, span):
        for y in range(y0, y1):
            x0, x1 = span(y)
            for x in range(int(x0), int(x1)):
                px[y][x] = ARROW if x <= cx else ARROW_SHADE
    arrow(28, 100, lambda y: (cx - 10, cx + 11))
    arrow(100, 141, lambda y: (cx - 26 + (y - 100) * 26 / 41.0,
                               cx + 27 - (y - 100) * 26 / 41.0))
    return palette, px


def draw_uninstall_picture():
    """Bitmap 115: dusk bands from violet to orange, a striped setting sun,
    its reflection on dark water and a few stars."""
    bands = _band_count()
    palette = [(0, 0, 0)] * 256
    top, bottom = (34, 14, 70), (236, 128, 70)
    for b in range(bands):
        t = b / (bands - 1)
        palette[b] = _mix(top, bottom, t)                          # sky
        palette[64 + b] = _mix((255, 236, 110), (244, 86, 56), t)  # sun
        palette[128 + b] = _mix((52, 22, 74), (18, 8, 40), t)      # water
    STAR = 200
    palette[STAR] = (255, 250, 220)

    horizon = 196
    cx, cy, r = 62, 166, 50
    px = _canvas(lambda y: y // BAND_HEIGHT if y < horizon else 128 + y // BAND_HEIGHT)

    # Sun, cut by gaps that widen towards the horizon.
    sun = _disc_span(cx, cy, r)
    for y in range(cy - r, horizon):
        if y >= 150:
            step = y - 150
            if step % 9 >= 9 - (1 + step // 12):
                continue
        _fill_rows(px, y, y + 1, sun, 64 + y // BAND_HEIGHT)

    # Reflection: short bright strokes narrowing towards the viewer.
    for y in range(horizon + 3, SIDE_HEIGHT - 4, 5):
        half = 44 - (y - horizon) * 0.75
        if half < 4:
            break
        _fill_rows(px, y, y + 2, lambda _y: (cx - half, cx + half + 1),
                   64 + (SIDE_HEIGHT - 1) // BAND_HEIGHT)

    # Stars: small crosses in the dark upper sky.
    for sx, sy in ((18, 16), (96, 28), (52, 44), (110, 70), (30, 84), (80, 10)):
        px[sy][sx] = STAR
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            px[sy + dy][sx + dx] = STAR
    return palette, px


def _inside(poly, x, y):
    """Point-in-polygon test (even-odd rule)."""
    inside = False
    j = len(poly) - 1
    for i in range(len(poly)):
        (xi, yi), (xj, yj) = poly[i], poly[j]
        if (yi > y) != (yj > y) and x < xi + (y - yi) * (xj - xi) / (yj - yi):
            inside = not inside
        j = i
    return inside


def draw_icon(size):
    """Icon 111: a green arrow going down into an open yellow box, outlined
    in black on a transparent ground. The shapes are given on a 32-unit
    grid and sampled at the pixel centres, so that both sizes are drawn
    from the same description."""
    k = 32.0 / size
    # Later shapes cover earlier ones. (polygon, colour left of the middle,
    # colour right of the middle)
    shapes = [
        ([(4, 19), (24, 19), (24, 30), (4, 30)], YELLOW, YELLOW),        # front
        ([(9, 14), (29, 14), (24, 19), (4, 19)], MAROON, MAROON),       # opening
        ([(24, 19), (29, 14), (29, 25), (24, 30)], OLIVE, OLIVE),       # side
        ([(12.5, 2), (19.5, 2), (19.5, 12), (12.5, 12)], LIME, GREEN),  # shaft
        ([(7, 11), (25, 11), (16, 21)], LIME, GREEN),                   # head
    ]
    grid = [[CLEAR] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            ux, uy = (x + 0.5) * k, (y + 0.5) * k
            for poly, left, right in shapes:
                if _inside(poly, ux, uy):
                    grid[y][x] = left if ux < 16 else right

    # Black outline round everything that is drawn.
    outline = []
    for y in range(size):
        for x in range(size):
            if grid[y][x] != CLEAR:
                continue
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < size and 0 <= ny < size and grid[ny][nx] not in (CLEAR, BLACK):
                    outline.append((x, y))
                    break
    for x, y in outline:
        grid[y][x] = BLACK
    return grid


def write_all(outdir, compress=True):
    os.makedirs(outdir, exist_ok=True)
    outputs = {
        "side.bmp": bmp_bytes(SIDE_WIDTH, SIDE_HEIGHT, *draw_install_picture(), compress=compress),
        "side_alt.bmp": bmp_bytes(SIDE_WIDTH, SIDE_HEIGHT, *draw_uninstall_picture(), compress=compress),
        "setup.ico": ico_bytes([draw_icon(32), draw_icon(16)]),
    }
    for name, blob in outputs.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(blob)
    return outputs


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    flags = [a for a in argv[1:] if a.startswith("--")]
    if len(args) != 1 or any(f != "--uncompressed" for f in flags):
        sys.stderr.write("usage: make_pictures.py OUTDIR [--uncompressed]\n")
        return 2
    outputs = write_all(args[0], compress="--uncompressed" not in flags)
    # Every bitmap must read back to the picture that was drawn.
    for name, draw in (("side.bmp", draw_install_picture), ("side_alt.bmp", draw_uninstall_picture)):
        _, _, _, _, rows = parse_bmp(outputs[name])
        if rows != [bytes(r) for r in reversed(draw()[1])]:
            sys.stderr.write("make_pictures.py: %s does not read back\n" % name)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
