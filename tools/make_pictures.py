#!/usr/bin/env python3
"""Draws the program's pictures: the icon, the window background, the proxy
selector's two images, the toolbar strips and the hand cursor.

The background, the selector images and the toolbar strips are drawn at
each scale in SCALES (percent of their size at 96 dots per inch): the
window picks the set that fits its monitor, as bitmaps that Windows
stretched would blur. A set other than 100 % goes to NAME_<percent>.bmp.

Python 3 standard library only. The build runs it into its own folder
(build/windows/src/app/pictures), where windres finds the files; nothing it
draws is kept in the source tree. By hand:  tools/make_pictures.py OUTPUT-FOLDER
"""
import math
import os
import struct
import sys

MAGENTA = (255, 0, 255)

# Keep in step with ui::PictureScales (src/ui/bitmap_layout.h).
SCALES = (100, 150, 200)


def scaled(pixels, percent):
    """pixels at percent, rounded half up as the window's MulDiv does."""
    return (pixels * percent + 50) // 100

# The program's palette: calm blues that sit well on the dialog colour
# RGB(214, 224, 238) and the main window's RGB(172, 193, 220).
NAVY = (28, 58, 104)
BLUE = (52, 100, 168)
SKY = (120, 162, 214)
PALE = (226, 235, 247)
WHITE = (255, 255, 255)
GREEN = (52, 150, 92)
AMBER = (214, 150, 40)
INK = (36, 48, 66)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    """RGBA pixels, top row first; shapes are anti-aliased by supersampling."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.px = [[tuple(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, color, alpha):
        if not (0 <= x < self.width and 0 <= y < self.height) or alpha <= 0:
            return
        r, g, b, a = self.px[y][x]
        alpha = min(1.0, alpha)
        out_a = alpha + a / 255.0 * (1 - alpha)
        if out_a <= 0:
            return
        def ch(src, dst):
            return int(round((src * alpha + dst * (a / 255.0) * (1 - alpha)) / out_a))
        self.px[y][x] = (ch(color[0], r), ch(color[1], g), ch(color[2], b),
                         int(round(out_a * 255)))

    def shape(self, inside, color_at, box=None, samples=4):
        """Paints every pixel by the share of its subsamples inside(x, y)."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        step = 1.0 / samples
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    self.blend(x, y, color_at(x + 0.5, y + 0.5), hits / (samples * samples))

    def rect(self, x0, y0, x1, y1, color):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.px[y][x] = tuple(color) + (255,)

    def paste(self, other, ox, oy):
        for y in range(other.height):
            for x in range(other.width):
                r, g, b, a = other.px[y][x]
                if a:
                    self.blend(ox + x, oy + y, (r, g, b), a / 255.0)

    def flatten(self, background):
        flat = Canvas(self.width, self.height, tuple(background) + (255,))
        flat.paste(self, 0, 0)
        return flat


# --- shapes -------------------------------------------------------------

def shield(cx, top, w, h):
    """A shield: shoulders rising slightly to the corners, sides curving
    from halfway down to a point."""
    def inside(x, y):
        v = (y - top) / h
        u = (x - cx) / (w / 2)
        if v < 0 or v > 1:
            return False
        if v < 0.45:
            half = 1.0
        else:
            half = math.cos((v - 0.45) / 0.55 * math.pi / 2) ** 0.8
        return abs(u) <= half and v >= 0.06 * (1 - abs(u))
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_box(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def gate(cx, top, w, h):
    """An arched gateway: the product's mark inside the shield."""
    r = w / 2
    return union(box(cx - r, top + r, cx + r, top + h), circle(cx, top + r, r))


def polygon(points):
    def inside(x, y):
        result = False
        n = len(points)
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def thick_line(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy or 1.0
    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


def vertical(top_color, bottom_color, y0, y1):
    return lambda x, y: mix(top_color, bottom_color, (y - y0) / max(1.0, y1 - y0))


def solid(color):
    return lambda x, y: color


# --- a small pixel font for the toolbar captions ------------------------

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'C': ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'G': ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["111", "010", "010", "010", "010", "010", "111"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'W': ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
}


def text_width(text):
    return sum(len(FONT[c][0]) + 1 for c in text) - 1


def draw_text(canvas, text, x, y, color, k=1.0):
    """The pixel font with each of its dots k pixels wide."""
    for c in text:
        glyph = FONT[c]
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == '1':
                    if k == 1.0:
                        canvas.blend(int(x) + col, int(y) + row, color, 1.0)
                    else:
                        x0, y0 = x + col * k, y + row * k
                        canvas.shape(box(x0, y0, x0 + k, y0 + k), solid(color),
                                     box=(int(x0), int(y0), int(x0 + k) + 1, int(y0 + k) + 1))
        x += (len(glyph[0]) + 1) * k


# --- the pictures -------------------------------------------------------

def draw_mark(size):
    """The program's mark at one icon size: a blue shield with a pale gate."""
    c = Canvas(size, size)
    s = size / 32.0
    body = shield(16 * s, 1.5 * s, 27 * s, 29.5 * s)
    c.shape(body, vertical(BLUE, NAVY, 1.5 * s, 31 * s))
    inner = shield(16 * s, 3.5 * s, 23 * s, 25 * s)
    c.shape(minus(body, inner), solid(SKY))
    g = gate(16 * s, 8 * s, 10 * s, 13 * s)
    c.shape(g, vertical(WHITE, PALE, 8 * s, 21 * s))
    c.shape(box(16 * s - 0.9 * s, 12 * s, 16 * s + 0.9 * s, 21 * s), solid(NAVY))
    return c


def write_ico(path, canvases):
    images = []
    for c in canvases:
        w, h = c.width, c.height
        header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = c.px[y][x]
                xor += bytes((b, g, r, a))
        row_bytes = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(row_bytes)
            for x in range(w):
                if c.px[y][x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        images.append((w, h, header + bytes(xor) + bytes(mask)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def write_bmp(path, canvas):
    """24-bit bottom-up BMP."""
    w, h = canvas.width, canvas.height
    row_bytes = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b, _ = canvas.px[y][x]
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        pixels += row
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + pixels)


def background(percent=100):
    k = percent / 100.0
    w, h = scaled(600, percent), scaled(304, percent)
    c = Canvas(w, h)
    top, bottom = (164, 187, 217), (206, 219, 237)
    for y in range(h):
        col = mix(top, bottom, y / (h - 1))
        for x in range(w):
            # A faint diagonal sheen, brighter towards the upper right.
            t = 0.06 * max(0.0, 1 - abs((x - 1.6 * y) / k - 300) / 260.0)
            c.px[y][x] = mix(col, WHITE, t) + (255,)
    # A large, very light watermark of the mark in the lower right corner.
    mark = Canvas(w, h)
    mark.shape(shield(521 * k, 136 * k, 130 * k, 150 * k), solid((232, 239, 248)),
               box=(scaled(449, percent), scaled(130, percent), w, scaled(300, percent)))
    for y in range(h):
        for x in range(w):
            a = mark.px[y][x][3]
            if a:
                c.blend(x, y, mark.px[y][x][:3], 0.35 * a / 255.0)
    # A thin highlight under the toolbar and a soft edge at the bottom.
    for x in range(w):
        c.blend(x, 0, WHITE, 0.5)
        c.blend(x, h - 1, NAVY, 0.25)
    return c


def selector_images(percent=100):
    """Two 21 x 12 images side by side (43 x 12, the last column unused), at
    100 %; each dimension scaled at the other scales."""
    k = percent / 100.0
    iw, ih = scaled(21, percent), scaled(12, percent)
    c = Canvas(2 * iw + 1, ih, MAGENTA + (255,))
    for index in range(2):
        ox = index * iw
        img = Canvas(iw, ih)
        # A small globe: a proxy somewhere on the network.
        img.shape(circle(7.5 * k, 6 * k, 5 * k), vertical(SKY, BLUE, 1 * k, 11 * k))
        img.shape(union(thick_line(2.5 * k, 6 * k, 12.5 * k, 6 * k, 0.9 * k),
                        thick_line(7.5 * k, 1 * k, 7.5 * k, 11 * k, 0.9 * k)), solid(PALE))
        img.shape(minus(circle(7.5 * k, 6 * k, 5.2 * k), circle(7.5 * k, 6 * k, 4.4 * k)),
                  solid(NAVY))
        if index == 1:
            # A green up-arrow badge: this proxy takes POST requests.
            arrow = [(16.5, 1.5), (20.5, 6), (18, 6), (18, 10.5), (15, 10.5), (15, 6), (12.5, 6)]
            img.shape(polygon([(x * k, y * k) for x, y in arrow]), solid(GREEN))
        for y in range(ih):
            for x in range(iw):
                r, g, b, a = img.px[y][x]
                if a >= 128:
                    c.px[y][ox + x] = (r, g, b, 255)
    return c


def gear(cx, cy, r):
    teeth = []
    for i in range(8):
        a = i * math.pi / 4
        teeth.append(thick_line(cx + math.cos(a) * r * 0.5, cy + math.sin(a) * r * 0.5,
                                cx + math.cos(a) * r, cy + math.sin(a) * r, r * 0.42))
    return minus(union(circle(cx, cy, r * 0.78), *teeth), circle(cx, cy, r * 0.33))


def globe(cx, cy, r):
    k = r / 9.5  # the strokes grow with the picture
    lines = union(ring(cx, cy, r, r - 1.3 * k),
                  thick_line(cx - r, cy, cx + r, cy, 1.1 * k),
                  thick_line(cx, cy - r, cx, cy + r, 1.1 * k),
                  lambda x, y: abs(((x - cx) / (r * 0.5)) ** 2 + ((y - cy) / r) ** 2 - 1) < 0.18
                  and (x - cx) ** 2 + (y - cy) ** 2 <= r * r)
    return lines


def question(cx, cy, r):
    k = r / 9.5
    hook = minus(ring(cx, cy - r * 0.35, r * 0.55, r * 0.55 - 2.2 * k),
                 box(cx - r, cy - r * 0.35, cx - 0.01, cy + r))
    stem = thick_line(cx + 0.2 * k, cy + 0.15 * r, cx + 0.2 * k, cy + 0.45 * r, 2.2 * k)
    link = thick_line(cx + r * 0.5, cy - r * 0.3, cx + 0.2 * k, cy + 0.2 * r, 2.2 * k)
    dot = circle(cx + 0.2 * k, cy + r * 0.78, 1.4 * k)
    return union(hook, stem, link, dot)


TOOLBAR_BUTTONS = [
    # (caption, drawing of the symbol at scale k)
    ("SETTINGS", lambda k: gear(16 * k, 15 * k, 9.5 * k)),
    ("PRIVACY", lambda k: minus(shield(16 * k, 5.5 * k, 17 * k, 19 * k),
                                gate(16 * k, 10 * k, 6 * k, 9 * k))),
    ("BROWSERS", lambda k: globe(16 * k, 15 * k, 9.5 * k)),
    ("HELP", lambda k: question(16 * k, 15 * k, 9.5 * k)),
]


def toolbar_strip(hot, percent=100):
    """Four 97 x 30 buttons at 100 %; magenta is transparent."""
    k = percent / 100.0
    w, h = scaled(97, percent), scaled(30, percent)
    strip = Canvas(w * 4, h, MAGENTA + (255,))
    symbol_color = BLUE if hot else NAVY
    for i, (caption, symbol) in enumerate(TOOLBAR_BUTTONS):
        tile = Canvas(w, h)
        if hot:
            # Pointed at: a pale rounded plate behind symbol and caption.
            tile.shape(rounded_box(1.5 * k, 1.5 * k, w - 1.5 * k, h - 1.5 * k, 5 * k),
                       vertical(WHITE, PALE, 1, h), samples=3)
            tile.shape(minus(rounded_box(1 * k, 1 * k, w - 1 * k, h - 1 * k, 5.5 * k),
                             rounded_box(2 * k, 2 * k, w - 2 * k, h - 2 * k, 4.5 * k)),
                       solid(SKY), samples=3)
        tile.shape(symbol(k), vertical(symbol_color, NAVY, 4 * k, 26 * k) if not hot
                   else vertical(SKY, BLUE, 4 * k, 26 * k))
        x = 32 * k + (w - 36 * k - text_width(caption) * k) / 2
        draw_text(tile, caption, int(x) if k == 1.0 else x, 12 * k, BLUE if hot else INK, k)
        for y in range(h):
            for x in range(w):
                r, g, b, a = tile.px[y][x]
                if a >= 110:
                    # Edges are blended over the toolbar's own grey-blue, so
                    # that no magenta fringe shows once magenta is masked out.
                    strip.px[y][i * w + x] = mix((200, 212, 230), (r, g, b), a / 255.0) + (255,)
    return strip


def write_hand_cursor(path):
    """32 x 32 monochrome pointing hand, hot spot at the fingertip."""
    art = [
        "......XX........",
        ".....X..X.......",
        ".....X..X.......",
        ".....X..X.......",
        ".....X..X.......",
        ".....X..XXX.....",
        ".....X..X..XXX..",
        ".....X..X..X..XX",
        ".XX..X..X..X..X.X",
        "X..X.X........X..X",
        "X...XX...........X",
        ".X...X...........X",
        "..X..............X",
        "..X.............X.",
        "...X............X.",
        "...X...........X..",
        "....X..........X..",
        "....X.........X...",
        ".....X........X...",
        ".....XXXXXXXXXX...",
    ]
    size = 32
    # Fill the inside of the outline: rows are scanned between the first and
    # last outline pixel, and the shape is convex enough row by row.
    outline = [[False] * size for _ in range(size)]
    for y, row in enumerate(art):
        for x, ch in enumerate(row):
            if ch == 'X':
                outline[y + 2][x + 6] = True
    filled = [[False] * size for _ in range(size)]
    for y in range(size):
        xs = [x for x in range(size) if outline[y][x]]
        if xs:
            for x in range(xs[0], xs[-1] + 1):
                filled[y][x] = True
    # XOR bit 1 = white over the AND-mask-cleared area, 0 = black.
    and_rows, xor_rows = [], []
    for y in range(size - 1, -1, -1):
        and_row = bytearray(4)
        xor_row = bytearray(4)
        for x in range(size):
            if not filled[y][x]:
                and_row[x // 8] |= 0x80 >> (x % 8)
            elif not outline[y][x]:
                xor_row[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(and_row)
        xor_rows.append(xor_row)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    data = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    hotspot = (6 + 6, 2 + 0)
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', size, size, 2, 0, hotspot[0], hotspot[1], len(data), 22)
    with open(path, 'wb') as f:
        f.write(out + data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'app', 'res')
    os.makedirs(out, exist_ok=True)
    write_ico(os.path.join(out, 'veilgate.ico'), [draw_mark(s) for s in (16, 32, 48)])
    for percent in SCALES:
        suffix = '' if percent == 100 else '_%d' % percent
        def name(base):
            return os.path.join(out, base + suffix + '.bmp')
        write_bmp(name('background'), background(percent))
        write_bmp(name('selector'), selector_images(percent))
        write_bmp(name('toolbar'), toolbar_strip(False, percent))
        write_bmp(name('toolbar_hot'), toolbar_strip(True, percent))
    write_hand_cursor(os.path.join(out, 'hand.cur'))


if __name__ == '__main__':
    main()
