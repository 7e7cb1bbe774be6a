#!/usr/bin/env python3
"""Draws the intro's images and writes them into assets/.

    python3 tools/make_assets.py [--out DIR] [--preview DIR]

Everything is drawn from shapes and a seeded generator, so every run writes the
same bytes. Only the standard library is used: the GIF, BMP, ICO and PNG
encoders are the small ones below, which keeps the palette and the byte layout
of each file under our control (the program and its tests rely on both).

Files written:
  window.gif               320 x 130 window picture (brushed plate, chrome logo)
  zenora.ico               16, 32 and 48 px emblem, 8-bit entries with masks
  icons/zenora-intro-N.png the same emblems for desktop icon folders
  close_normal.bmp         9 x 9 close glyph, white square
  close_hover.bmp          9 x 9 close glyph, light grey square
  star_grey.bmp            1 x 1 RLE8 star pixel, palette entry 0 #A5A5A5
  star_white.bmp           1 x 1 RLE8 star pixel, palette entry 0 #FFFFFF
"""

import argparse
import math
import pathlib
import random
import struct
import zlib

WIDTH, HEIGHT = 320, 130

# The program draws its black wireframe logo over this box, so it stays a
# plain light grey with this mean.
LOGO_BOX = (240, 25, 305, 75)  # x0, y0, x1, y1 inclusive
LOGO_BOX_MEAN = 170.0

# ---------------------------------------------------------------------------
# Small raster helpers. Images are lists of rows; colours are float triples.


def new_plane(w, h, value=0.0):
    return [[value] * w for _ in range(h)]


def clamp(v, lo=0.0, hi=255.0):
    return lo if v < lo else hi if v > hi else v


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return tuple(lerp(a, b, t) for a, b in zip(c0, c1))


def box_blur_1d(values, radius, wrap=False):
    n = len(values)
    if radius <= 0:
        return list(values)
    out = [0.0] * n
    size = 2 * radius + 1
    if wrap:
        acc = sum(values[i % n] for i in range(-radius, radius + 1))
        for i in range(n):
            out[i] = acc / size
            acc += values[(i + radius + 1) % n] - values[(i - radius) % n]
        return out
    for i in range(n):
        lo, hi = max(0, i - radius), min(n - 1, i + radius)
        out[i] = sum(values[lo:hi + 1]) / size
    return out


def blur(plane, radius, passes=1):
    h, w = len(plane), len(plane[0])
    for _ in range(passes):
        plane = [box_blur_1d(row, radius) for row in plane]
        cols = [box_blur_1d([plane[y][x] for y in range(h)], radius) for x in range(w)]
        plane = [[cols[x][y] for x in range(w)] for y in range(h)]
    return plane


def dilate(plane, radius):
    """Largest value within a disc of the given radius (in pixels)."""
    h, w = len(plane), len(plane[0])
    offsets = [(dx, dy) for dy in range(-int(radius), int(radius) + 1)
               for dx in range(-int(radius), int(radius) + 1) if dx * dx + dy * dy <= radius * radius]
    out = new_plane(w, h)
    for y in range(h):
        for x in range(w):
            best = 0.0
            for dx, dy in offsets:
                xx, yy = x + dx, y + dy
                if 0 <= xx < w and 0 <= yy < h and plane[yy][xx] > best:
                    best = plane[yy][xx]
            out[y][x] = best
    return out


def shift(plane, dx, dy):
    h, w = len(plane), len(plane[0])
    out = new_plane(w, h)
    for y in range(h):
        sy = y - dy
        if 0 <= sy < h:
            for x in range(w):
                sx = x - dx
                if 0 <= sx < w:
                    out[y][x] = plane[sy][sx]
    return out


# ---------------------------------------------------------------------------
# Polygon coverage: shapes are filled on a 4 x 4 supersampled grid, in order,
# each either adding to or cutting out of what is there, then averaged down.

SUPER = 4


def coverage(shapes, w, h):
    sw, sh = w * SUPER, h * SUPER
    grid = [bytearray(sw) for _ in range(sh)]
    for points, solid in shapes:
        value = 1 if solid else 0
        pts = [(x * SUPER, y * SUPER) for x, y in points]
        edges = list(zip(pts, pts[1:] + pts[:1]))
        ys = [p[1] for p in pts]
        for sy in range(max(0, int(min(ys))), min(sh, int(math.ceil(max(ys))) + 1)):
            cy = sy + 0.5
            xs = []
            for (x0, y0), (x1, y1) in edges:
                if (y0 <= cy < y1) or (y1 <= cy < y0):
                    xs.append(x0 + (cy - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            row = grid[sy]
            for a, b in zip(xs[0::2], xs[1::2]):
                lo = max(0, int(math.ceil(a - 0.5)))
                hi = min(sw, int(math.ceil(b - 0.5)))
                if hi > lo:
                    row[lo:hi] = bytes([value]) * (hi - lo)
    out = new_plane(w, h)
    area = SUPER * SUPER
    for y in range(h):
        rows = grid[y * SUPER:(y + 1) * SUPER]
        out_row = out[y]
        for x in range(w):
            s = x * SUPER
            out_row[x] = sum(sum(r[s:s + SUPER]) for r in rows) / area
    return out


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def octagon(x0, y0, x1, y1, c):
    return [(x0 + c, y0), (x1 - c, y0), (x1, y0 + c), (x1, y1 - c),
            (x1 - c, y1), (x0 + c, y1), (x0, y1 - c), (x0, y0 + c)]


# ---------------------------------------------------------------------------
# The logo: "ZENOrA" in chamfered block letters, slanted, chrome filled.

CAP_TOP, BASELINE = 21.0, 88.0
CAP = BASELINE - CAP_TOP
STROKE = 12.0
SLANT = 0.16  # x shift per pixel of height above the baseline
LETTER_GAP = 5.0


def letter_shapes(ch, w):
    """Shapes of one letter in local coordinates (0, 0 = top left of the cap box)."""
    h, t, c = CAP, STROKE, 5.0
    if ch == "Z":
        d = 1.45 * t
        return [([(0, c), (c, 0), (w, 0), (w, t), (d, h - t), (w, h - t), (w, h - c), (w - c, h),
                  (0, h), (0, h - t), (w - d, t), (0, t)], True)]
    if ch == "E":
        mid = (h - t) / 2
        return [([(0, c), (c, 0), (w, 0), (w, t), (t, t), (t, mid), (w - 5, mid), (w - 5, mid + t),
                  (t, mid + t), (t, h - t), (w, h - t), (w, h), (c, h), (0, h - c)], True)]
    if ch == "N":
        d = 1.2 * t
        return [([(0, c), (c, 0), (t, 0), (t, h), (0, h)], True),
                ([(w - t, 0), (w, 0), (w, h - c), (w - c, h), (w - t, h)], True),
                ([(0, 0), (d, 0), (w, h), (w - d, h)], True)]
    if ch == "O":
        return [(octagon(0, 0, w, h, 10), True),
                (octagon(t, t, w - t, h - t, 3), False)]
    if ch == "r":
        top = h - 0.66 * h
        return [(rect(0, top, t, h), True),
                ([(0, top), (w - c, top), (w, top + c), (w, top + t + 7), (w - t + 2, top + t + 7),
                  (w - t + 2, top + t), (0, top + t)], True)]
    if ch == "A":
        bar = h * 0.50
        return [([(0, h), (0, 10), (10, 0), (w - 10, 0), (w, 10), (w, h)], True),
                (octagon(t, t, w - t, bar, 2), False),
                (rect(t, bar + 0.8 * t, w - t, h + 1), False)]
    raise ValueError(ch)


LOGO_LETTERS = [("Z", 32), ("E", 28), ("N", 34), ("O", 36), ("r", 25), ("A", 34)]
LOGO_LEFT = 8.0


def logo_shapes():
    shapes = []
    x = LOGO_LEFT
    for ch, w in LOGO_LETTERS:
        for points, solid in letter_shapes(ch, w):
            placed = []
            for px, py in points:
                gy = CAP_TOP + py
                placed.append((x + px + (BASELINE - gy) * SLANT, gy))
            shapes.append((placed, solid))
        x += w + LETTER_GAP
    return shapes


# Chrome: a bright sky fading down to a dark horizon just below the middle,
# then warm ground light coming up again towards the bottom.
CHROME_STOPS = [
    (0.00, (118, 134, 170)),
    (0.18, (196, 208, 232)),
    (0.47, (252, 253, 255)),
    (0.50, (58, 52, 62)),
    (0.60, (104, 88, 80)),
    (0.82, (196, 176, 150)),
    (1.00, (246, 236, 214)),
]


def chrome(t):
    t = clamp(t, 0.0, 1.0)
    for (t0, c0), (t1, c1) in zip(CHROME_STOPS, CHROME_STOPS[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 1.0)
    return CHROME_STOPS[-1][1]


def shade_chrome(image, cover, top, bottom, light=(-0.6, -0.8), outline=1.6,
                 shadow=(3, 4), shadow_strength=0.55, bevel=80.0):
    """Puts a chrome-filled shape with outline, bevel and drop shadow on image."""
    h, w = len(cover), len(cover[0])
    height = blur(cover, 1, passes=2)
    rim = dilate(cover, outline)
    drop = blur(shift(rim, *shadow), 1, passes=2)
    lx, ly = light
    for y in range(h):
        t = (y + 0.5 - top) / (bottom - top)
        base = chrome(t)
        for x in range(w):
            px = image[y][x]
            if drop[y][x] > 0:
                k = 1.0 - shadow_strength * drop[y][x]
                px = tuple(v * k for v in px)
            if rim[y][x] > 0:
                px = mix(px, (16, 18, 26), rim[y][x])
            a = cover[y][x]
            if a > 0:
                gx = height[y][min(w - 1, x + 1)] - height[y][max(0, x - 1)]
                gy = height[min(h - 1, y + 1)][x] - height[max(0, y - 1)][x]
                lit = -(gx * lx + gy * ly) * bevel * 2.0
                col = tuple(clamp(v + lit) for v in base)
                px = mix(px, col, a)
            image[y][x] = px


def sparkle(image, cx, cy, size, strength=1.0):
    """A four-pointed glint, added to what is there."""
    h, w = len(image), len(image[0])
    for y in range(int(cy - size) - 1, int(cy + size) + 2):
        for x in range(int(cx - size) - 1, int(cx + size) + 2):
            if not (0 <= x < w and 0 <= y < h):
                continue
            dx, dy = abs(x - cx), abs(y - cy)
            arm = max(0.0, 1.0 - dx / size) * max(0.0, 1.0 - dy / 0.9) \
                + max(0.0, 1.0 - dy / size) * max(0.0, 1.0 - dx / 0.9)
            diag = max(0.0, 1.0 - (dx + dy) / (size * 0.55)) * 0.6
            k = clamp((arm + diag) * strength, 0.0, 1.0)
            if k > 0:
                image[y][x] = mix(image[y][x], (255, 255, 255), k)


# ---------------------------------------------------------------------------
# Engraved small capitals for the tagline: 5 x 7, one pixel strokes.

TAG_FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "C": [".####", "#....", "#....", "#....", "#....", "#....", ".####"],
    "D": ["####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "F": ["#####", "#....", "#....", "####.", "#....", "#....", "#...."],
    "I": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "M": ["#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"],
    "N": ["#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
}

TAGLINE = "OLD SKOOL SPIRIT"
TAG_PITCH = 9  # a letter and four pixels of air
TAG_WORD = 8   # extra air between words


def tagline_mask(text, w, h, right, top):
    mask = new_plane(w, h)
    width = sum(TAG_WORD if ch == " " else TAG_PITCH for ch in text) - (TAG_PITCH - 5)
    x = right - width
    start = x
    for ch in text:
        if ch == " ":
            x += TAG_WORD
            continue
        for r, line in enumerate(TAG_FONT[ch]):
            for c, bit in enumerate(line):
                if bit == "#":
                    mask[top + r][x + c] = 1.0
        x += TAG_PITCH
    return mask, start


def engrave(image, mask, dark=(78, 80, 88), light=(226, 228, 232), depth=0.85):
    """Cut into the plate: dark where the mask is, a lit lip below-right of it."""
    h, w = len(image), len(image[0])
    for y in range(h):
        for x in range(w):
            m = mask[y][x]
            if m > 0:
                image[y][x] = mix(image[y][x], dark, m * depth)
            elif x > 0 and y > 0 and mask[y - 1][x - 1] > 0:
                image[y][x] = mix(image[y][x], light, mask[y - 1][x - 1] * 0.8)


# ---------------------------------------------------------------------------
# The window picture.


def brushed_plate(w, h, rng, base=172.0):
    """Light grey metal with fine horizontal brushing, slightly lighter at the top."""
    plane = new_plane(w, h)
    streak_prev = [0.0] * w
    for y in range(h):
        noise = [rng.gauss(0.0, 1.0) for _ in range(w)]
        streak = box_blur_1d(box_blur_1d(noise, 14, wrap=True), 9, wrap=True)
        # neighbouring rows share some of their streaks, as a real brush does
        streak = [0.55 * a + 0.45 * b for a, b in zip(streak, streak_prev)]
        streak_prev = streak
        glow = 7.0 * (1.0 - y / (h - 1)) - 3.0
        for x in range(w):
            plane[y][x] = base + glow + 26.0 * streak[x] + 1.6 * rng.gauss(0.0, 1.0)
    return plane


def window_picture():
    rng = random.Random(0x2E0A)
    plate = brushed_plate(WIDTH, HEIGHT, rng)

    # Settle the plain box the wireframe is drawn over at the wanted mean.
    x0, y0, x1, y1 = LOGO_BOX
    box = [plate[y][x] for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)]
    offset = LOGO_BOX_MEAN - sum(box) / len(box)
    image = [[(v + offset, v + offset, v + offset + 3.0) for v in row] for row in plate]

    # Bevelled rim of the plate: lit top and left, shaded bottom and right.
    for y in range(HEIGHT):
        for x in range(WIDTH):
            edge = min(x, y, WIDTH - 1 - x, HEIGHT - 1 - y)
            if edge > 1:
                continue
            lit = (x <= 1 or y <= 1) and not (WIDTH - 1 - x <= 1 or HEIGHT - 1 - y <= 1)
            target = (236, 238, 242) if lit else (92, 94, 102)
            image[y][x] = mix(image[y][x], target, 0.85 if edge == 0 else 0.45)

    # A groove under the logo, running into the tagline.
    tag, tag_left = tagline_mask(TAGLINE, WIDTH, HEIGHT, right=WIDTH - 8, top=113)
    groove = new_plane(WIDTH, HEIGHT)
    for x in range(10, tag_left - 7):
        fade = min(1.0, (x - 10) / 60.0)
        groove[116][x] = fade
    engrave(image, groove, depth=0.55)
    engrave(image, tag)

    cover = logo_shapes()
    cov = coverage(cover, WIDTH, HEIGHT)
    shade_chrome(image, cov, CAP_TOP, BASELINE)

    # Glints on two corners of the chrome.
    sparkle(image, LOGO_LEFT + 2 + CAP * SLANT, CAP_TOP + 1.5, 7.0)
    a_left = LOGO_LEFT + sum(w + LETTER_GAP for _, w in LOGO_LETTERS[:5])
    sparkle(image, a_left + 30 + (CAP - 10) * SLANT, CAP_TOP + 10, 5.0, 0.9)

    return [[tuple(int(round(clamp(v))) for v in px) for px in row] for row in image]


# ---------------------------------------------------------------------------
# The emblem: a chrome "Z" on a small bevelled metal tile.


SMALL_Z = [
    "##########",
    "##########",
    ".......###",
    "......###.",
    "....###...",
    "...###....",
    ".###......",
    "###.......",
    "##########",
    "##########",
]


def emblem(size):
    """RGBA rows of the icon at the given size."""
    s = float(size)
    corner = max(2.0, s * 0.16)
    tile = coverage([(octagon(0.5, 0.5, s - 0.5, s - 0.5, corner), True)], size, size)
    rng = random.Random(size)
    image = []
    for y in range(size):
        row = []
        for x in range(size):
            g = 182.0 + 26.0 * (1.0 - (x + y) / (2.0 * s)) - 10.0 + rng.gauss(0.0, 1.5)
            row.append((g, g, g + 3.0))
        image.append(row)
    # Dark rim around the tile, lit inner edge at the top left.
    inner = coverage([(octagon(s * 0.07 + 0.5, s * 0.07 + 0.5, s * 0.93 - 0.5, s * 0.93 - 0.5,
                               corner * 0.8), True)], size, size)
    for y in range(size):
        for x in range(size):
            ring = tile[y][x] - inner[y][x]
            if ring > 0:
                lit = (x + y) < s
                image[y][x] = mix(image[y][x], (230, 232, 236) if lit else (70, 72, 80), ring * 0.9)
    # The Z, a little slanted as in the logo. The smallest size is drawn
    # pixel by pixel: smoothing and an outline would fill a 10-pixel letter.
    small = size < 32
    if small:
        top, bottom = 3, 13
        zc = new_plane(size, size)
        for r, line in enumerate(SMALL_Z):
            for col, bit in enumerate(line):
                zc[top + r][3 + col] = 1.0 if bit == "#" else 0.0
    else:
        m = s * 0.18
        top, bottom = m, s - m
        zw = s - 2 * m
        t = s * 0.17
        c = s * 0.06
        d = 1.5 * t
        h = bottom - top
        slant = 0.10
        pts = [(0, c), (c, 0), (zw, 0), (zw, t), (d, h - t), (zw, h - t), (zw, h - c), (zw - c, h),
               (0, h), (0, h - t), (zw - d, t), (0, t)]
        placed = [(m + px + (h - py) * slant - h * slant / 2, top + py) for px, py in pts]
        zc = coverage([(placed, True)], size, size)
    shade_chrome(image, zc, top, bottom, outline=1.0 if small else 1.5,
                 shadow=(1, 1) if small else (2, 2), shadow_strength=0.35 if small else 0.5,
                 bevel=0.0 if small else 38.0)
    rgba = []
    for y in range(size):
        row = []
        for x in range(size):
            a = tile[y][x]
            r, g, b = (int(round(clamp(v))) for v in image[y][x])
            row.append((r, g, b, 255 if a >= 0.5 else 0))
        rgba.append(row)
    return rgba


# ---------------------------------------------------------------------------
# Palette reduction: median cut over the colours in use, nearest entry after.


def median_cut(colours, count):
    """Up to `count` palette entries for a {colour: frequency} map."""
    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        best, best_score = None, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spread = max(max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3))
            score = spread * sum(n for _, n in box) ** 0.5
            if score > best_score:
                best, best_score = i, score
        if best is None:
            break
        box = boxes.pop(best)
        ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
        axis = ranges.index(max(ranges))
        box.sort(key=lambda item: (item[0][axis], item[0]))
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for j, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = min(max(1, j + 1), len(box) - 1)
                break
        boxes[best:best] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[k] * n for c, n in box) / total)) for k in range(3)))
    return palette


def quantise(rgb_rows, count=256, fixed=()):
    """Palette (exactly 256 entries) and index rows for an RGB image."""
    colours = {}
    for row in rgb_rows:
        for px in row:
            colours[px] = colours.get(px, 0) + 1
    palette = list(fixed)
    if len(colours) <= count - len(palette):
        palette += sorted(c for c in colours if c not in palette)
    else:
        palette += median_cut(colours, count - len(palette))
    lookup = {}
    for colour in colours:
        lookup[colour] = min(range(len(palette)),
                             key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))
    palette += [(0, 0, 0)] * (256 - len(palette))
    return palette, [[lookup[px] for px in row] for row in rgb_rows]


# ---------------------------------------------------------------------------
# Encoders.


def lzw_gif(indices, min_code_size=8):
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    bits = nbits = 0

    def emit(code, size):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, size = reset()
    emit(clear, size)
    prefix = b""
    for index in indices:
        candidate = prefix + bytes([index])
        if candidate in table:
            prefix = candidate
            continue
        emit(table[prefix], size)
        if next_code < 4096:
            table[candidate] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear, size)
            table, next_code, size = reset()
        prefix = bytes([index])
    if prefix:
        emit(table[prefix], size)
    emit(end, size)
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif_bytes(palette, rows):
    h, w = len(rows), len(rows[0])
    data = bytearray(b"GIF89a")
    data += struct.pack("<HHBBB", w, h, 0xF7, 0, 0)  # global table of 256 entries
    for r, g, b in palette:
        data += bytes((r, g, b))
    data += b"\x2C" + struct.pack("<HHHHB", 0, 0, w, h, 0)
    data.append(8)
    stream = lzw_gif([i for row in rows for i in row])
    for i in range(0, len(stream), 255):
        chunk = stream[i:i + 255]
        data.append(len(chunk))
        data += chunk
    data += b"\x00\x3B"
    return bytes(data)


def bmp_palette(palette):
    return b"".join(bytes((b, g, r, 0)) for r, g, b in palette)


def bmp_8bit(palette, rows):
    """An uncompressed 8-bit bitmap with a 256-entry palette."""
    h, w = len(rows), len(rows[0])
    stride = (w + 3) & ~3
    pixels = b"".join(bytes(row) + b"\0" * (stride - w) for row in reversed(rows))
    return bmp_file(palette, w, h, 0, pixels)


def bmp_file(palette, w, h, compression, pixels):
    offset = 14 + 40 + 256 * 4
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, compression, len(pixels), 3780, 3780, 256, 0)
    return header + info + bmp_palette(palette) + pixels


def star_bmp(colour):
    # One run of one pixel of entry 0, then the end-of-bitmap code.
    palette = [colour] + [(255, 255, 255)] * 255
    return bmp_file(palette, 1, 1, 1, bytes((0x01, 0x00, 0x00, 0x01)))


def close_glyph(square):
    palette = [(0, 0, 0), square] + [(0, 0, 0)] * 254
    rows = []
    for y in range(9):
        row = []
        for x in range(9):
            i, j = x - 1, y - 1
            margin = x in (0, 8) or y in (0, 8)
            cross = i == j or i == 6 - j
            row.append(0 if margin or cross else 1)
        rows.append(row)
    return bmp_8bit(palette, rows)


def indexed_emblem(rgba):
    """Palette, index rows and transparency of an emblem, as the icon file holds it.

    Entry 0 is black, the colour the transparent pixels carry under the mask."""
    rgb = [[px[:3] if px[3] else (0, 0, 0) for px in row] for row in rgba]
    palette, rows = quantise(rgb, fixed=[(0, 0, 0)])
    clear = [[px[3] == 0 for px in row] for row in rgba]
    return palette, rows, clear


def emblem_rgba(palette, rows, clear):
    return [[palette[i] + ((0,) if hidden else (255,)) for i, hidden in zip(row, mask)]
            for row, mask in zip(rows, clear)]


def ico_bytes(emblems):
    """One icon file of 8-bit entries: header, palette, XOR pixels, AND mask."""
    entries = []
    for palette, rows, clear in emblems:
        size = len(rows)
        stride = (size + 3) & ~3
        xor = b"".join(bytes(row) + b"\0" * (stride - size) for row in reversed(rows))
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray()
        for row in reversed(clear):
            line = bytearray(mask_stride)
            for x, hidden in enumerate(row):
                if hidden:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask += line
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
        entries.append((size, info + bmp_palette(palette) + xor + bytes(mask)))
    data = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, blob in entries:
        data += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    for _, blob in entries:
        data += blob
    return bytes(data)


def png_bytes(rows, alpha):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for px in row for v in (px if alpha else px[:3])) for row in rows)

    def chunk(kind, payload):
        body = kind + payload
        return struct.pack(">I", len(payload)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    colour_type = 6 if alpha else 2
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------


def build():
    """Every asset file, by its path under the assets folder."""
    files = {}
    picture = window_picture()
    palette, rows = quantise(picture)
    files["window.gif"] = gif_bytes(palette, rows)

    emblems = [indexed_emblem(emblem(size)) for size in (16, 32, 48)]
    files["zenora.ico"] = ico_bytes(emblems)
    for indexed in emblems:
        files[f"icons/zenora-intro-{len(indexed[1])}.png"] = png_bytes(emblem_rgba(*indexed), alpha=True)

    files["close_normal.bmp"] = close_glyph((255, 255, 255))
    files["close_hover.bmp"] = close_glyph((0xC6, 0xC6, 0xC6))
    files["star_grey.bmp"] = star_bmp((0xA5, 0xA5, 0xA5))
    files["star_white.bmp"] = star_bmp((0xFF, 0xFF, 0xFF))
    preview = png_bytes([[palette[i] for i in row] for row in rows], alpha=False)
    return files, preview


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    root = pathlib.Path(__file__).resolve().parent.parent
    parser.add_argument("--out", type=pathlib.Path, default=root / "assets")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; fail if a file in --out differs from what would be written")
    parser.add_argument("--preview", type=pathlib.Path,
                        help="also write the window picture as PNG into this folder")
    args = parser.parse_args()

    files, preview = build()
    if args.check:
        stale = [name for name, data in files.items()
                 if not (args.out / name).is_file() or (args.out / name).read_bytes() != data]
        for name in stale:
            print(f"make_assets: {args.out / name} is not what the script draws; run tools/make_assets.py")
        return 1 if stale else 0

    for name, data in files.items():
        path = args.out / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    if args.preview:
        args.preview.mkdir(parents=True, exist_ok=True)
        (args.preview / "window.png").write_bytes(preview)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
