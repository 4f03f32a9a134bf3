#!/usr/bin/env python3
"""Draws Kelvara Dictionary's icons and About picture and writes them as resource files.

The artwork is a blue speech bubble holding a white Latin "A" and a gold Persian beh, drawn from
signed distance functions so that every size is rendered sharp at its own resolution (no scaling
of a big picture down). Python standard library only; the output is the same on every run.

Writes into the output folder:
  AAA.ico            the run-time icon: 512 and 256 as PNG, 128, 48, 32, 24, 16 as 32-bit DIBs
  kelvara.ico        the program file's icon: 48, 32, 24, 16 at 4, 8 and 32 bits per pixel
  kelvara-icon-<id>.bin, kelvara-icon-group.bin, kelvara-icons.rc
                     the same twelve images as raw resources with fixed ids 30001-30012 and
                     their group directory; windres's ICON statement would number them itself
  about.gif          the About dialog's 55 x 55 picture

Usage: make_artwork.py OUTPUT_FOLDER
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------------------------
# Drawing

BUBBLE_TOP = (52, 120, 200)
BUBBLE_BOTTOM = (24, 76, 148)
BUBBLE_EDGE = (14, 48, 98)
LATIN = (255, 255, 255)
PERSIAN = (247, 196, 64)


def sd_round_rect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_segment(px, py, ax, ay, bx, by, half_width):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - half_width


def sd_convex(px, py, points):
    """Signed distance (exact enough for edge smoothing) to a clockwise convex polygon."""
    d = -1e9
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = math.hypot(ex, ey)
        # Outward normal of a clockwise polygon in y-down coordinates.
        d = max(d, ((px - ax) * ey - (py - ay) * ex) / length)
    return d


TAIL = [(0.20, 0.66), (0.44, 0.66), (0.15, 0.95)]


def sd_bubble(x, y):
    return min(sd_round_rect(x, y, 0.05, 0.07, 0.95, 0.76, 0.17), sd_convex(x, y, TAIL))


def sd_latin_a(x, y, w):
    return min(sd_segment(x, y, 0.16, 0.62, 0.305, 0.20, w),
               sd_segment(x, y, 0.305, 0.20, 0.45, 0.62, w),
               sd_segment(x, y, 0.215, 0.475, 0.395, 0.475, w * 0.8))


def beh_curve():
    # A boat-shaped bowl: flat along the bottom, rising steeply at both ends, the right end (where
    # the letter begins) a little higher than the left.
    points = []
    for k in range(17):
        t = k / 16.0
        x = 0.545 + 0.33 * t
        u = 2.0 * t - 1.0
        rise = (0.10 if u < 0 else 0.13) * u ** 4
        points.append((x, 0.53 - rise))
    return points


BEH = beh_curve()


def sd_beh(x, y, w):
    d = math.hypot(x - 0.71, y - 0.665) - max(w * 1.25, 0.045)  # the dot below
    for (ax, ay), (bx, by) in zip(BEH, BEH[1:]):
        d = min(d, sd_segment(x, y, ax, ay, bx, by, w))
    return d


def coverage(distance_px):
    return min(max(0.5 - distance_px, 0.0), 1.0)


def over(dst, colour, alpha):
    """Composites a straight-alpha colour over a straight-alpha pixel."""
    if alpha <= 0.0:
        return dst
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0.0:
        return (0.0, 0.0, 0.0, 0.0)
    k = a * (1 - alpha)
    return ((colour[0] * alpha + r * k) / out_a, (colour[1] * alpha + g * k) / out_a,
            (colour[2] * alpha + b * k) / out_a, out_a)


def render(size):
    """Returns size*size RGBA tuples (0-255), rows top to bottom."""
    s = float(size)
    edge = max(1.0, 0.028 * s)  # the outline stays at least a pixel wide
    # Strokes thicken a little at small sizes, where a thin line would vanish.
    stroke = max(0.045, 1.1 / s)
    pixels = []
    for j in range(size):
        y = (j + 0.5) / s
        shade = min(max((y - 0.07) / 0.69, 0.0), 1.0)
        fill = tuple(BUBBLE_TOP[k] + (BUBBLE_BOTTOM[k] - BUBBLE_TOP[k]) * shade for k in range(3))
        for i in range(size):
            x = (i + 0.5) / s
            d = sd_bubble(x, y) * s
            p = (0.0, 0.0, 0.0, 0.0)
            if d < 0.5:
                p = over(p, BUBBLE_EDGE, coverage(d))
                p = over(p, fill, coverage(d + edge))
                if 0.1 < x < 0.5 and 0.12 < y < 0.7:
                    p = over(p, LATIN, coverage(sd_latin_a(x, y, stroke) * s))
                elif 0.5 < x < 0.93 and 0.3 < y < 0.74:
                    p = over(p, PERSIAN, coverage(sd_beh(x, y, stroke) * s))
            pixels.append(tuple(int(round(c)) for c in p[:3]) + (int(round(p[3] * 255)),))
    return pixels


# ---------------------------------------------------------------------------------------------
# Palettes

# The sixteen colours every 4-bit Windows icon uses.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def popular_palette(pixels, count):
    """Up to `count` colours: the averages of the most used 4-bit-per-channel buckets."""
    buckets = {}
    for r, g, b, a in pixels:
        if a < 128:
            continue
        key = (r >> 4, g >> 4, b >> 4)
        n, sr, sg, sb = buckets.get(key, (0, 0, 0, 0))
        buckets[key] = (n + 1, sr + r, sg + g, sb + b)
    ranked = sorted(buckets.items(), key=lambda kv: (-kv[1][0], kv[0]))[:count]
    return [(sr // n, sg // n, sb // n) for _, (n, sr, sg, sb) in ranked] or [(0, 0, 0)]


def nearest(palette, colour, cache):
    hit = cache.get(colour)
    if hit is None:
        r, g, b = colour
        hit = min(range(len(palette)), key=lambda k: (palette[k][0] - r) ** 2 * 3 +
                  (palette[k][1] - g) ** 2 * 4 + (palette[k][2] - b) ** 2 * 2)
        cache[colour] = hit
    return hit


# ---------------------------------------------------------------------------------------------
# File formats

def png(size, pixels):
    raw = bytearray()
    for j in range(size):
        raw.append(0)  # no filter
        for p in pixels[j * size:(j + 1) * size]:
            raw.extend(p)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def dib(size, pixels, bits):
    """An icon image: BITMAPINFOHEADER, palette, colour bits and AND mask, rows bottom-up."""
    if bits == 32:
        palette = []
    elif bits == 8:
        palette = popular_palette(pixels, 256)
    else:
        palette = VGA16
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0" * (4 * (1 << bits) - len(table)) if bits < 32 else b""

    cache = {}
    colour = bytearray()
    mask = bytearray()
    colour_stride, mask_stride = row_bytes(size, bits), row_bytes(size, 1)
    for j in reversed(range(size)):
        row = pixels[j * size:(j + 1) * size]
        line = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                line.extend((b, g, r, a))
        else:
            indices = [nearest(palette, (r, g, b), cache) if a >= 128 else 0
                       for r, g, b, a in row]
            if bits == 8:
                line.extend(indices)
            else:
                for k in range(0, size, 2):
                    hi = indices[k]
                    lo = indices[k + 1] if k + 1 < size else 0
                    line.append((hi << 4) | lo)
        line.extend(b"\0" * (colour_stride - len(line)))
        colour.extend(line)
        bitsline = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a < 128:  # transparent where the AND mask is set
                bitsline[i // 8] |= 0x80 >> (i % 8)
        mask.extend(bitsline)

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + table + bytes(colour) + bytes(mask)


def directory_entry(size, bits, palette_colours):
    side = size if size < 256 else 0  # one byte: 256 and larger read 0
    return struct.pack("<BBBBHH", side, side, palette_colours, 0, 1, bits)


def ico(images):
    """images: list of (size, bits, data). An .ico file: header, entries, then the images."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = b""
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += directory_entry(size, bits, colours) + struct.pack("<II", len(data), offset)
        offset += len(data)
        blobs += data
    return out + blobs


def group_directory(images, first_id):
    """The RT_GROUP_ICON form of a directory: entries name resource ids, not file offsets."""
    out = struct.pack("<HHH", 0, 1, len(images))
    for n, (size, bits, data) in enumerate(images):
        colours = 16 if bits == 4 else 0
        out += directory_entry(size, bits, colours) + struct.pack("<IH", len(data), first_id + n)
    return out


def lzw_gif(indices, min_code_size):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bit_buffer = bit_count = 0

    def emit(code, width):
        nonlocal bit_buffer, bit_count
        bit_buffer |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bit_buffer & 0xFF)
            bit_buffer >>= 8
            bit_count -= 8

    table = {(k,): k for k in range(clear)}
    next_code, width = end + 1, min_code_size + 1
    emit(clear, width)
    prefix = ()
    for index in indices:
        candidate = prefix + (index,)
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], width)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear, width)
            table = {(k,): k for k in range(clear)}
            next_code, width = end + 1, min_code_size + 1
        prefix = (index,)
    if prefix:
        emit(table[prefix], width)
    emit(end, width)
    if bit_count:
        out.append(bit_buffer & 0xFF)
    blocks = bytearray([min_code_size])
    for k in range(0, len(out), 255):
        piece = out[k:k + 255]
        blocks.append(len(piece))
        blocks.extend(piece)
    blocks.append(0)
    return bytes(blocks)


def gif(size, pixels, background):
    """A GIF89a with a transparent index 0; partly covered pixels are blended on `background`."""
    solid = []
    for r, g, b, a in pixels:
        k = a / 255.0
        solid.append(tuple(int(round(c * k + bg * (1 - k))) for c, bg in zip((r, g, b), background))
                     + (255 if a >= 8 else 0,))
    palette = [(0, 0, 0)] + popular_palette(solid, 255)
    cache = {}
    indices = [nearest(palette[1:], p[:3], cache) + 1 if p[3] else 0 for p in solid]
    table = b"".join(bytes(c) for c in palette) + b"\0" * (3 * (256 - len(palette)))
    return (b"GIF89a" + struct.pack("<HHBBB", size, size, 0xF7, 0, 0) + table +
            b"\x21\xF9\x04\x01\x00\x00\x00\x00" +  # graphic control: index 0 is transparent
            b"\x2C" + struct.pack("<HHHHB", 0, 0, size, size, 0) + lzw_gif(indices, 8) + b"\x3B")


# ---------------------------------------------------------------------------------------------

PROGRAM_ICON_FIRST_ID = 30001


def write(folder, name, data):
    path = os.path.join(folder, name)
    # Unchanged files keep their time stamps, so the resource script is not rebuilt for nothing.
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_artwork.py OUTPUT_FOLDER\n")
        return 2
    folder = argv[1]
    os.makedirs(folder, exist_ok=True)

    drawn = {size: render(size) for size in (512, 256, 128, 55, 48, 32, 24, 16)}

    run_time = [(size, 32, png(size, drawn[size]) if size >= 256 else dib(size, drawn[size], 32))
                for size in (512, 256, 128, 48, 32, 24, 16)]
    write(folder, "AAA.ico", ico(run_time))

    program = [(size, bits, dib(size, drawn[size], bits))
               for bits in (4, 8, 32) for size in (48, 32, 24, 16)]
    write(folder, "kelvara.ico", ico(program))
    rc = ["// Written by make_artwork.py: the program file's icon, group 1, images 30001-30012."]
    for n, (size, bits, data) in enumerate(program):
        name = "kelvara-icon-%d.bin" % (PROGRAM_ICON_FIRST_ID + n)
        write(folder, name, data)
        rc.append('%d 3 "%s"  // RT_ICON %d x %d, %d bits' % (PROGRAM_ICON_FIRST_ID + n, name,
                                                             size, size, bits))
    write(folder, "kelvara-icon-group.bin", group_directory(program, PROGRAM_ICON_FIRST_ID))
    rc.append('1 14 "kelvara-icon-group.bin"  // RT_GROUP_ICON')
    write(folder, "kelvara-icons.rc", ("\n".join(rc) + "\n").encode("ascii"))

    write(folder, "about.gif", gif(55, drawn[55], (240, 240, 240)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
