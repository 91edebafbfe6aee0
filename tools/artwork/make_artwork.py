#!/usr/bin/python3
"""Draws the instrument's twenty face images into resources/img/ and writes captions.txt.

Each image is drawn at 100 % into the folder itself and at 150 % and 200 % into its subfolders 150/
and 200/, from the same vectors: a frame of W x H face pixels is ceil(W * s) x ceil(H * s) pixels at
scale s, text is set at the scaled size, and the panel texture keeps its grain per face row.

Needs Debian's python3-cairo and the fonts of fonts-dejavu-core and fonts-liberation2
(apt-get install -y python3-cairo fonts-dejavu-core fonts-liberation2); run with /usr/bin/python3.
Output is deterministic: the panel texture comes from a seeded generator.

    /usr/bin/python3 tools/artwork/make_artwork.py [output folder]
"""

import io
import math
import os
import random
import struct
import subprocess
import sys
import zlib

import cairo

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

CAPTION_FONT = ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 10.0)
CAPTION_TRACKING = 0
LEGEND_FONT = ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 11.0)
FONT_FILES = {  # family, bold -> file that fontconfig must resolve it to
    ("Liberation Sans", True): "LiberationSans-Bold.ttf",
    ("Liberation Sans", False): "LiberationSans-Regular.ttf",
    ("DejaVu Sans", True): "DejaVuSans-Bold.ttf",
    ("DejaVu Serif", True): "DejaVuSerif-Bold.ttf",
}

INK = (0.91, 0.88, 0.80)        # printed lettering: warm cream
INK_DIM = (0.60, 0.58, 0.53)    # scale figures and secondary print
FRAME = (0.47, 0.45, 0.41)      # section frame rules
PANEL_TOP = (0.165, 0.168, 0.176)
PANEL_BOTTOM = (0.118, 0.120, 0.127)
SCALES = (1, 1.5, 2)            # 100 % into the output folder, the others into folders named 150, 200


# ---------------------------------------------------------------- helpers

def check_fonts():
    """The toy font API falls back silently; make sure each family is the packaged face."""
    for (family, bold), wanted in FONT_FILES.items():
        pattern = family + (":bold" if bold else "")
        try:
            got = subprocess.run(["fc-match", "-f", "%{file}", pattern], capture_output=True,
                                 text=True, check=True).stdout
        except (OSError, subprocess.CalledProcessError):
            sys.exit("fc-match failed; install fontconfig")
        if os.path.basename(got) != wanted:
            sys.exit(f"font {pattern!r} resolves to {got!r}, not {wanted}: "
                     "install fonts-dejavu-core and fonts-liberation2")


def new_surface(w, h, fmt=cairo.FORMAT_ARGB32):
    s = cairo.ImageSurface(fmt, w, h)
    c = cairo.Context(s)
    return s, c


def scaled(length, scale):
    """Pixels a length of face units takes at scale: whole pixels, rounded up."""
    return math.ceil(length * scale)


def snap(c, v):
    """A face coordinate moved onto the nearest pixel edge of the current scale (a whole number at 100 %)."""
    s = c.get_matrix().xx
    return round(v) if s == 1 else round(v * s) / s


def control_offset(c, l, t):
    """How far to shift print that belongs to a control with its corner at (l, t): the editor puts the
    control's image on the pixel floor(v * scale + 0.5), which lies up to half a pixel off the exact place."""
    s = c.get_matrix().xx
    return tuple((math.floor(v * s + 0.5) - v * s) / s for v in (l, t))


def set_font(c, font, size=None):
    family, weight, default_size = font
    c.select_font_face(family, cairo.FONT_SLANT_NORMAL, weight)
    c.set_font_size(size or default_size)
    o = cairo.FontOptions()
    o.set_antialias(cairo.ANTIALIAS_GRAY)
    o.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    o.set_hint_metrics(cairo.HINT_METRICS_ON)
    c.set_font_options(o)


def rounded_rect(c, x, y, w, h, r):
    c.new_sub_path()
    c.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    c.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    c.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    c.arc(x + r, y + r, r, math.pi, 1.5 * math.pi)
    c.close_path()


def lin(x0, y0, x1, y1, *stops):
    g = cairo.LinearGradient(x0, y0, x1, y1)
    for off, col in stops:
        g.add_color_stop_rgba(off, *col) if len(col) == 4 else g.add_color_stop_rgb(off, *col)
    return g


def rad(cx0, cy0, r0, cx1, cy1, r1, *stops):
    g = cairo.RadialGradient(cx0, cy0, r0, cx1, cy1, r1)
    for off, col in stops:
        g.add_color_stop_rgba(off, *col) if len(col) == 4 else g.add_color_stop_rgb(off, *col)
    return g


def shade(col, f):
    """Scales a colour towards black (f < 1) or white (f > 1)."""
    if f <= 1:
        return tuple(v * f for v in col)
    return tuple(v + (1 - v) * (f - 1) for v in col)


def strip(frames, fw, fh, draw, scale=1):
    """An image of `frames` frames stacked top to bottom; draw(c, i) paints frame i at the origin in face
    units. Each frame is clipped to its whole pixels, which at 150 % may reach past fw or fh."""
    pw, ph = scaled(fw, scale), scaled(fh, scale)
    s, c = new_surface(pw, ph * frames)
    for i in range(frames):
        c.save()
        c.translate(0, ph * i)
        c.rectangle(0, 0, pw, ph)
        c.clip()
        c.scale(scale, scale)
        draw(c, i)
        c.restore()
    return s


def text_ink(c, text):
    e = c.text_extents(text)
    return e.x_bearing, e.y_bearing, e.width, e.height, e.x_advance


def spaced_width(c, text, tracking):
    return sum(c.text_extents(ch).x_advance for ch in text) + tracking * (len(text) - 1)


def spaced_ink(c, text, tracking):
    """Ink box (x, y, w, h) of `text` set with extra `tracking`, relative to the origin."""
    whole = c.text_extents(text)
    first, last = c.text_extents(text[0]), c.text_extents(text[-1])
    right = spaced_width(c, text, tracking) - last.x_advance + last.x_bearing + last.width
    return first.x_bearing, whole.y_bearing, right - first.x_bearing, whole.height


def show_spaced(c, x, y, text, tracking):
    for ch in text:
        c.move_to(x, y)
        c.show_text(ch)
        x += c.text_extents(ch).x_advance + tracking


# ---------------------------------------------------------------- small images

def knob_frame(c, i):
    cx = cy = 16.0
    angle = math.radians(-135 + 270 * i / 64)   # 0 = straight up, clockwise
    # contact shadow, offset down-right as from a light at the upper left
    c.set_source(rad(cx + 0.8, cy + 1.6, 9, cx + 0.8, cy + 1.6, 16,
                     (0, (0, 0, 0, 0.75)), (1, (0, 0, 0, 0))))
    c.paint()
    # skirt with fine knurling that turns with the knob
    c.arc(cx, cy, 14.2, 0, 2 * math.pi)
    c.set_source(lin(0, 2, 0, 30, (0, (0.25, 0.25, 0.26)), (1, (0.05, 0.05, 0.055))))
    c.fill()
    c.set_line_width(0.8)
    for n in range(40):
        a = angle + n * 2 * math.pi / 40
        sx, sy = math.sin(a), -math.cos(a)
        lit = 0.5 + 0.5 * math.cos(a + math.radians(45))  # brighter facing the light
        c.set_source_rgba(1, 1, 1, 0.05 + 0.12 * lit)
        c.move_to(cx + sx * 11.8, cy + sy * 11.8)
        c.line_to(cx + sx * 13.9, cy + sy * 13.9)
        c.stroke()
    c.arc(cx, cy, 14.2, 0, 2 * math.pi)
    c.set_source_rgba(0, 0, 0, 0.9)
    c.set_line_width(0.8)
    c.stroke()
    # cap: satin black dome with a soft highlight to the upper left
    c.arc(cx, cy, 10.6, 0, 2 * math.pi)
    c.set_source(rad(cx - 3.5, cy - 4.5, 0.5, cx, cy, 11,
                     (0, (0.42, 0.42, 0.43)), (0.55, (0.17, 0.17, 0.18)), (1, (0.08, 0.08, 0.085))))
    c.fill_preserve()
    c.set_source(lin(0, 5, 0, 27, (0, (1, 1, 1, 0.28)), (0.5, (1, 1, 1, 0)), (1, (0, 0, 0, 0.3))))
    c.set_line_width(1.0)
    c.stroke()
    # pointer: a cream line from the centre area over the skirt
    sx, sy = math.sin(angle), -math.cos(angle)
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    c.set_line_width(2.0)
    c.set_source_rgba(0, 0, 0, 0.5)
    c.move_to(cx + sx * 4.5 + 0.4, cy + sy * 4.5 + 0.6)
    c.line_to(cx + sx * 13.2 + 0.4, cy + sy * 13.2 + 0.6)
    c.stroke()
    c.set_source_rgb(0.96, 0.93, 0.84)
    c.move_to(cx + sx * 4.5, cy + sy * 4.5)
    c.line_to(cx + sx * 13.2, cy + sy * 13.2)
    c.stroke()


SLIDER_CAP = 16  # cap length along the travel; the cap travels the full 96 px


def slider_cap(c, x, y, w, h, colour, vertical):
    """A cap of a fader: a moulded block with a line across its middle."""
    light = colour == "white"
    base = (0.86, 0.85, 0.82) if light else (0.80, 0.14, 0.10)
    # shadow falling away from the light (down, or to the right for horizontal caps)
    c.set_source_rgba(0, 0, 0, 0.55)
    if vertical:
        rounded_rect(c, x + 0.5, y + 1.5, w - 1, h, 2)
    else:
        rounded_rect(c, x + 1.5, y + 0.5, w, h - 1, 2)
    c.fill()
    rounded_rect(c, x, y, w, h, 2)
    if vertical:  # rounded across its width: bright ridge left of centre
        c.set_source(lin(x, 0, x + w, 0, (0, shade(base, 0.55)), (0.35, shade(base, 1.12)),
                         (0.6, base), (1, shade(base, 0.5))))
    else:
        c.set_source(lin(0, y, 0, y + h, (0, shade(base, 1.15)), (0.4, base),
                         (1, shade(base, 0.5))))
    c.fill()
    # the two faces of the grip either side of the index line
    if vertical:
        c.set_source(lin(0, y, 0, y + h, (0, (1, 1, 1, 0.22)), (0.45, (1, 1, 1, 0)),
                         (0.55, (0, 0, 0, 0.15)), (1, (0, 0, 0, 0.35))))
    else:
        c.set_source(lin(x, 0, x + w, 0, (0, (1, 1, 1, 0.18)), (0.45, (1, 1, 1, 0)),
                         (0.55, (0, 0, 0, 0.12)), (1, (0, 0, 0, 0.3))))
    rounded_rect(c, x, y, w, h, 2)
    c.fill()
    index = (0.12, 0.12, 0.12) if light else (1.0, 0.93, 0.85)
    c.set_source_rgb(*index)
    if vertical:
        c.rectangle(x + 1, y + h / 2 - 0.5, w - 2, 1.2)
    else:
        c.rectangle(x + w / 2 - 0.5, y + 1, 1.2, h - 2)
    c.fill()
    rounded_rect(c, x + 0.5, y + 0.5, w - 1, h - 1, 1.6)
    c.set_source_rgba(0, 0, 0, 0.6)
    c.set_line_width(1)
    c.stroke()


def slider_frame(colour, vertical):
    travel = 96 - SLIDER_CAP

    def draw(c, i):
        if vertical:
            top = round(travel * (64 - i) / 64)
            slider_cap(c, 0, top, 10, SLIDER_CAP, colour, True)
        else:
            left = round(travel * i / 64)
            slider_cap(c, left, 0, SLIDER_CAP, 10, colour, False)
    return draw


def lamp(colour):
    hue = {"red": (1.0, 0.16, 0.10), "green": (0.25, 1.0, 0.30)}[colour]

    def draw(c, i):
        cx = cy = 4.0
        if i == 0:   # unlit: a dark tinted lens with a small reflection
            c.arc(cx, cy, 3.6, 0, 2 * math.pi)
            c.set_source(rad(cx - 1, cy - 1, 0.3, cx, cy, 3.6, (0, shade(hue, 0.42)),
                             (1, shade(hue, 0.14))))
            c.fill()
        else:        # lit: a hot core, the coloured lens and a halo to the socket edge
            c.arc(cx, cy, 4.0, 0, 2 * math.pi)
            c.set_source(rad(cx, cy, 2.8, cx, cy, 4.0, (0, hue + (0.55,)), (1, hue + (0.0,))))
            c.fill()
            c.arc(cx, cy, 3.2, 0, 2 * math.pi)
            c.set_source(rad(cx - 0.4, cy - 0.4, 0.2, cx, cy, 3.2, (0, (1, 1, 0.92)),
                             (0.35, shade(hue, 1.35)), (1, hue)))
            c.fill()
        c.arc(cx - 1.2, cy - 1.3, 0.9, 0, 2 * math.pi)
        c.set_source_rgba(1, 1, 1, 0.55 if i else 0.35)
        c.fill()
    return draw


BUTTON_COLOURS = {
    "gray": (0.56, 0.56, 0.55),
    "orange": (0.93, 0.47, 0.10),
    "white": (0.90, 0.89, 0.86),
}


def button(colour, size):
    base = BUTTON_COLOURS[colour]

    def draw(c, i):
        pressed = i == 1
        s = float(size)
        body = shade(base, 0.82) if pressed else base
        dy = 1.0 if pressed else 0.0
        r = 3.0 if size > 24 else 2.5
        # seat: the dark gap of the panel cut-out around the cap
        rounded_rect(c, 0, 0, s, s, r + 1)
        c.set_source_rgb(0.03, 0.03, 0.035)
        c.fill()
        # cap side (the visible skirt below the top face when up)
        rounded_rect(c, 1.5, 1.5 + dy, s - 3, s - 3 - dy, r)
        c.set_source_rgb(*shade(base, 0.45 if not pressed else 0.4))
        c.fill()
        # top face
        h = s - (5.0 if not pressed else 4.0)
        rounded_rect(c, 1.5, 1.5 + dy, s - 3, h - dy, r)
        c.set_source(lin(0, 1.5 + dy, 0, h, (0, shade(body, 1.22 if not pressed else 1.0)),
                         (0.5, body), (1, shade(body, 0.86))))
        c.fill()
        # edge light on the top and left, none when pressed in
        rounded_rect(c, 2, 2 + dy, s - 4, h - 1 - dy, r - 0.5)
        if pressed:
            c.set_source(lin(0, 2, 0, 8, (0, (0, 0, 0, 0.35)), (1, (0, 0, 0, 0))))
        else:
            c.set_source(lin(0, 2, 0, h, (0, (1, 1, 1, 0.55)), (0.15, (1, 1, 1, 0.08)),
                             (1, (0, 0, 0, 0.1))))
        c.set_line_width(1)
        c.stroke()
    return draw


def triangle_button(direction):
    def draw(c, i):
        pressed = i == 1
        dy = 1 if pressed else 0
        rounded_rect(c, 0, 0, 22, 22, 3.5)
        c.set_source_rgb(0.03, 0.03, 0.035)
        c.fill()
        rounded_rect(c, 1, 1 + dy, 20, 20 - dy, 3)
        top, bot = ((0.30, 0.30, 0.31), (0.17, 0.17, 0.18)) if not pressed else \
                   ((0.16, 0.16, 0.17), (0.21, 0.21, 0.22))
        c.set_source(lin(0, 1, 0, 21, (0, top), (1, bot)))
        c.fill()
        if not pressed:
            rounded_rect(c, 1.5, 1.5, 19, 19, 2.5)
            c.set_source(lin(0, 1, 0, 21, (0, (1, 1, 1, 0.25)), (0.3, (1, 1, 1, 0.03)),
                             (1, (0, 0, 0, 0.2))))
            c.set_line_width(1)
            c.stroke()
        cx, cy = 11 + (0.5 if direction > 0 else -0.5), 11 + dy
        c.move_to(cx + 4 * direction, cy)
        c.line_to(cx - 3 * direction, cy - 4.5)
        c.line_to(cx - 3 * direction, cy + 4.5)
        c.close_path()
        c.set_source_rgb(*(INK if not pressed else shade(INK, 0.8)))
        c.fill()
    return draw


def glow_shifts(scale):
    """Offsets of a glow's copies in face units: every whole pixel around the origin out to one face
    pixel (rounded up), so the glow stays a soft blur rather than an outline at larger scales."""
    reach = math.ceil(scale)
    ring = [(-1, 0), (1, 0), (0, -1), (0, 1), (-1, -1), (1, 1), (-1, 1), (1, -1)]
    farther = [(dx, dy) for dy in range(-reach, reach + 1) for dx in range(-reach, reach + 1)
               if max(abs(dx), abs(dy)) > 1]
    return [(dx / scale, dy / scale) for dx, dy in ring + farther]


def word_switch(word, lit_colour):
    def draw(c, i):
        raised_plate(c, 0, 0, 50, 22)
        # the largest size up to 10.5 px that leaves a margin inside the plate
        size, tracking = 10.5, 1
        while True:
            set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, size))
            w = spaced_width(c, word, tracking)
            if w <= 42 or size <= 9:
                break
            size, tracking = size - 0.25, 0
        cap_h = -c.text_extents("L").y_bearing
        x, y = snap(c, 25 - w / 2), snap(c, 11 + cap_h / 2)
        if i == 0:
            c.set_source_rgb(*shade(lit_colour, 0.45))
            show_spaced(c, x, y, word, tracking)
            return
        # glow: the word blurred by repeated offset drawing, then the bright word
        shifts = glow_shifts(c.get_matrix().xx)
        alpha = 1 - 0.84 ** (8 / len(shifts))   # as dense where all copies overlap as eight at 0.16
        for dx, dy in shifts:
            c.set_source_rgba(*lit_colour, alpha)
            show_spaced(c, x + dx, y + dy, word, tracking)
        c.set_source_rgb(*shade(lit_colour, 1.3))
        show_spaced(c, x, y, word, tracking)
    return draw


WHITE_KEY = {"bass": (0.78, 0.78, 0.76), "top": (0.97, 0.96, 0.93)}
HELD = {"bass": (0.30, 0.78, 0.34), "top": (0.90, 0.22, 0.17)}


def white_key(rng):
    def draw(c, i):
        col = HELD[rng] if i else WHITE_KEY[rng]
        c.set_source_rgb(0.05, 0.05, 0.05)   # the gap between keys and the well floor, to the frame's edge
        c.paint()
        w = 18
        # body: shaded under the felt rail at the back, brightest towards the front
        c.move_to(0, 0)
        c.line_to(w, 0)
        c.line_to(w, 61)
        c.arc(w - 2, 61, 2, 0, math.pi / 2)
        c.arc(2, 61, 2, math.pi / 2, math.pi)
        c.close_path()
        c.set_source(lin(0, 0, 0, 64, (0, shade(col, 0.55)), (0.12, shade(col, 0.93)),
                         (0.9, col), (1, shade(col, 0.8))))
        c.fill()
        # front lip
        c.rectangle(0.5, 58.5, w - 1, 1)
        c.set_source_rgba(0, 0, 0, 0.18)
        c.fill()
        c.rectangle(0.5, 59.5, w - 1, 1)
        c.set_source_rgba(1, 1, 1, 0.35)
        c.fill()
        # left edge catches the light, right edge in shadow
        c.rectangle(0, 2, 1, 58)
        c.set_source_rgba(1, 1, 1, 0.35)
        c.fill()
        c.rectangle(w - 1, 2, 1, 58)
        c.set_source_rgba(0, 0, 0, 0.22)
        c.fill()
    return draw


BLACK_HELD = {"bass": (0.15, 0.62, 0.20), "top": (0.78, 0.13, 0.09)}


def black_key(rng):
    def draw(c, i):
        col = BLACK_HELD[rng] if i else (0.07, 0.07, 0.075)
        # sides of the key
        c.move_to(0, 0)
        c.line_to(10, 0)
        c.line_to(10, 39)
        c.arc(8.5, 38.5, 1.5, 0, math.pi / 2)
        c.arc(1.5, 38.5, 1.5, math.pi / 2, math.pi)
        c.close_path()
        c.set_source_rgb(*shade(col, 0.55))
        c.fill()
        # top face, set in from the sides and stopping short of the front bevel
        rounded_rect(c, 1.5, -2, 7, 36, 1.2)
        c.set_source(lin(0, 0, 0, 34, (0, shade(col, 0.75)), (0.8, shade(col, 1.15)),
                         (1, shade(col, 1.4))))
        c.fill()
        # front bevel sloping towards the player, lit from above
        c.move_to(1.5, 34)
        c.line_to(8.5, 34)
        c.line_to(9.5, 39)
        c.line_to(0.5, 39)
        c.close_path()
        c.set_source(lin(0, 34, 0, 39, (0, shade(col, 2.6 if not i else 1.6)), (1, shade(col, 1.1))))
        c.fill()
        # gloss streak
        c.rectangle(2.5, 3, 1, 28)
        c.set_source(lin(0, 3, 0, 31, (0, (1, 1, 1, 0.0)), (0.6, (1, 1, 1, 0.22)), (1, (1, 1, 1, 0.05))))
        c.fill()
    return draw


# ---------------------------------------------------------------- the panel

def brush_rows(noise, cols, pixel_rows, scale, shift=0):
    """An A8 surface with one row of noise per pixel row: each pixel row takes the noise row of the face row
    it lies in (`shift` rows on, wrapping), so the brushing keeps its grain at every scale instead of
    blurring between rows."""
    surf, _ = new_surface(cols, pixel_rows, cairo.FORMAT_A8)
    stride, data = surf.get_stride(), surf.get_data()
    for y in range(pixel_rows):
        face_row = min(int((y + 0.5) / scale), len(noise) - 1)
        data[y * stride:y * stride + cols] = noise[(face_row + shift) % len(noise)]
    surf.mark_dirty()
    return surf


def panel_texture(c):
    """Dark anodised panel: a soft vertical gradient with fine horizontal brushing."""
    w, h = layout.FACE_W, layout.FACE_H
    scale = c.get_matrix().xx
    c.set_source(lin(0, 0, 0, h, (0, PANEL_TOP), (1, PANEL_BOTTOM)))
    c.paint()
    rng = random.Random(1977)
    cols = 97  # noise columns, stretched 8x horizontally into brush marks
    noise = [bytes(rng.randrange(256) for _ in range(cols)) for _ in range(h)]
    # The dark copy is shifted 37 columns and 211 face rows, so its streaks don't mirror the light ones.
    # The pattern moves an even number of those rows, a whole number of pixel rows at every scale, and
    # the odd one is taken when its rows are built; each pixel row then still holds one face row.
    dark_moved = 211 // 2 * 2
    for alpha, colour, baked in ((0.045, (1, 1, 1), 0), (0.06, (0, 0, 0), 211 - dark_moved)):
        c.save()
        c.identity_matrix()   # pattern rows are pixel rows; columns stretch across the face
        c.scale(w * scale / (cols - 1), 1)
        pat = cairo.SurfacePattern(brush_rows(noise, cols, scaled(h, scale), scale, baked))
        pat.set_filter(cairo.FILTER_BILINEAR)
        if colour == (0, 0, 0):
            m = cairo.Matrix()
            m.translate(37, round(dark_moved * scale))
            pat.set_matrix(m)
            pat.set_extend(cairo.EXTEND_REPEAT)
        c.set_source_rgba(*colour, alpha)
        c.mask(pat)
        c.restore()


def screw(c, x, y, turn):
    c.arc(x + 0.5, y + 0.8, 4.2, 0, 2 * math.pi)
    c.set_source_rgba(0, 0, 0, 0.6)
    c.fill()
    c.arc(x, y, 3.8, 0, 2 * math.pi)
    c.set_source(rad(x - 1.5, y - 1.5, 0.5, x, y, 4, (0, (0.62, 0.62, 0.6)), (1, (0.22, 0.22, 0.22))))
    c.fill()
    c.set_line_width(1.1)
    c.set_source_rgb(0.1, 0.1, 0.1)
    a = math.radians(turn)
    c.move_to(x - 2.8 * math.cos(a), y - 2.8 * math.sin(a))
    c.line_to(x + 2.8 * math.cos(a), y + 2.8 * math.sin(a))
    c.stroke()


def recessed_window(c, l, t, r, b):
    """A dark display window sunk into the panel."""
    c.rectangle(l - 1, t - 1, r - l + 2, b - t + 2)
    c.set_source(lin(0, t - 1, 0, b + 1, (0, (0, 0, 0, 0.7)), (1, (1, 1, 1, 0.16))))
    c.fill()
    c.rectangle(l, t, r - l, b - t)
    c.set_source_rgb(0.025, 0.027, 0.03)
    c.fill()
    c.rectangle(l, t, r - l, 3)
    c.set_source(lin(0, t, 0, t + 3, (0, (0, 0, 0, 0.8)), (1, (0, 0, 0, 0))))
    c.fill()


def header(c):
    w = layout.FACE_W
    c.rectangle(0, 0, w, 60)
    c.set_source(lin(0, 0, 0, 60, (0, (0.085, 0.087, 0.092)), (1, (0.06, 0.062, 0.066))))
    c.fill()
    c.rectangle(0, 60, w, 1)
    c.set_source_rgba(0, 0, 0, 0.8)
    c.fill()
    c.rectangle(0, 61, w, 1)
    c.set_source_rgba(1, 1, 1, 0.09)
    c.fill()
    # product wordmark
    c.select_font_face("DejaVu Serif", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    c.set_font_size(30)
    c.move_to(28, 42)
    c.text_path("Sarn")
    c.set_source(lin(0, 18, 0, 42, (0, (0.98, 0.96, 0.90)), (1, (0.80, 0.76, 0.66))))
    c.fill()
    ext = c.text_extents("Sarn")
    x = snap(c, 28 + ext.x_advance + 10)
    c.rectangle(x, 21, 1, 22)
    c.set_source_rgb(*shade(INK, 0.45))
    c.fill()
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 9.5))
    c.set_source_rgb(*INK_DIM)
    show_spaced(c, x + 10, 30, "PARAPHONIC", 2)
    show_spaced(c, x + 10, 42, "STRING ENSEMBLE", 2)
    # program displays between the step buttons, and the printed menu button
    recessed_window(c, 399, 24, 423, 40)
    recessed_window(c, 449, 24, 641, 40)
    menu_button(c)
    # x = 250..316 stays plain: the editor prints the version there, right-aligned at 316
    for sx, sy in ((10, 10), (762, 10)):
        screw(c, sx, sy, 30 if sx < 100 else 110)


def raised_plate(c, l, t, r, b):
    """The dark raised key of the header: menu button and learn switch."""
    rounded_rect(c, l, t, r - l, b - t, 3.5)
    c.set_source_rgb(0.02, 0.02, 0.025)
    c.fill()
    rounded_rect(c, l + 1, t + 1, r - l - 2, b - t - 2, 3)
    c.set_source(lin(0, t, 0, b, (0, (0.27, 0.27, 0.28)), (1, (0.15, 0.15, 0.16))))
    c.fill()
    rounded_rect(c, l + 1.5, t + 1.5, r - l - 3, b - t - 3, 2.5)
    c.set_source(lin(0, t, 0, b, (0, (1, 1, 1, 0.25)), (0.3, (1, 1, 1, 0.03)), (1, (0, 0, 0, 0.2))))
    c.set_line_width(1)
    c.stroke()


def menu_button(c):
    l, t, r, b = 645, 22, 693, 42
    raised_plate(c, l, t, r, b)
    # the triangle and the word, centred together on the button
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 10))
    x_b, y_b, w, h, _ = text_ink(c, "MENU")
    tri, gap = 7, 4
    x0 = snap(c, (l + r - (tri + gap + w)) / 2)
    base = snap(c, (t + b) / 2 + h / 2)
    c.move_to(x0, base - h + 1.5)
    c.line_to(x0 + tri, base - h + 1.5)
    c.line_to(x0 + tri / 2, base - 0.5)
    c.close_path()
    c.set_source_rgb(*INK)
    c.fill()
    c.move_to(x0 + tri + gap - x_b, base)
    c.show_text("MENU")


def section_frames(c, sections_out, legend_inks):
    """Frames around each row of sections, vertical rules between neighbours, legends on top."""
    rows = {}
    for name, l, t, r, b in layout.SECTIONS:
        rows.setdefault((t, b), []).append((name, l, r))
    set_font(c, LEGEND_FONT)
    tracking = 2
    for (t, b), secs in rows.items():
        secs.sort(key=lambda s: s[1])
        left, right = secs[0][1], secs[-1][2]
        line_y = t + 4.5       # the rule runs through the middle of the legend capitals
        gaps = []
        for name, l, r in secs:
            w = spaced_width(c, name, tracking)
            x = snap(c, l + 12)
            x_b, y_b, ink_w, ink_h, _ = text_ink(c, name)
            base = snap(c, line_y + ink_h / 2)
            c.set_source_rgb(*INK)
            show_spaced(c, x, base, name, tracking)
            gaps.append((x - 5, x + w + 5))
            sections_out.append((name, l, t, r, b))
            x_b, y_b, ink_w, _ = spaced_ink(c, name, tracking)
            legend_inks.append(((math.floor(x + x_b), math.floor(base + y_b),
                                 math.ceil(x + x_b + ink_w), math.ceil(base + y_b + ink_h)), name))
        # faint inner fill
        rounded_rect(c, left + 0.5, line_y, right - left - 1, b - line_y - 0.5, 5)
        c.set_source_rgba(0, 0, 0, 0.16)
        c.fill()
        # frame outline, broken where the legends sit
        c.set_source_rgb(*FRAME)
        c.set_line_width(1)
        rr = 5
        lx, rx, by = left + 0.5, right - 0.5, b - 0.5
        c.move_to(lx + rr, line_y)
        for g0, g1 in gaps:
            c.line_to(g0, line_y)
            c.move_to(g1, line_y)
        c.line_to(rx - rr, line_y)
        c.arc(rx - rr, line_y + rr, rr, -math.pi / 2, 0)
        c.line_to(rx, by - rr)
        c.arc(rx - rr, by - rr, rr, 0, math.pi / 2)
        c.line_to(lx + rr, by)
        c.arc(lx + rr, by - rr, rr, math.pi / 2, math.pi)
        c.line_to(lx, line_y + rr)
        c.arc(lx + rr, line_y + rr, rr, math.pi, 1.5 * math.pi)
        c.stroke()
        # rules between neighbouring sections of the row
        for name, l, r in secs[1:]:
            c.rectangle(l, line_y + 6, 1, b - line_y - 12)
            c.set_source_rgb(*FRAME)
            c.fill()


def dividers(c):
    for x, top, bottom in layout.DIVIDERS:
        c.rectangle(x, top, 1, bottom - top)
        c.set_source(lin(0, top, 0, bottom, (0, FRAME + (0.0,)), (0.2, FRAME + (0.55,)),
                         (0.8, FRAME + (0.55,)), (1, FRAME + (0.0,))))
        c.fill()


def slider_slot(c, ctl):
    l, t, r, b = ctl["rect"]
    vertical = b - t > r - l
    half = SLIDER_CAP / 2
    c.set_line_width(1)
    if vertical:
        x = l + 5
        # ticks either side at the cap centre of every tenth of the range
        for n in range(11):
            y = round(t + half + (96 - SLIDER_CAP) * (1 - n / 10)) + 0.5
            major = n in (0, 5, 10)
            c.set_source_rgb(*(INK_DIM if major else shade(INK_DIM, 0.7)))
            ln = 5 if major else 3
            c.move_to(l - 2 - ln, y)
            c.line_to(l - 2, y)
            c.move_to(r + 2, y)
            c.line_to(r + 2 + ln, y)
            c.stroke()
        slot = (x - 2, t + 3, 4, 96 - 6)
    else:
        y = t + 5
        for n in range(11):
            xx = round(l + half + (96 - SLIDER_CAP) * n / 10) + 0.5
            major = n in (0, 5, 10)
            c.set_source_rgb(*(INK_DIM if major else shade(INK_DIM, 0.7)))
            ln = 5 if major else 3
            c.move_to(xx, b + 2)
            c.line_to(xx, b + 2 + ln)
            c.stroke()
        slot = (l + 3, y - 2, 96 - 6, 4)
    sx, sy, sw, sh = slot
    rounded_rect(c, sx - 1, sy - 1, sw + 2, sh + 2, 2.5)
    c.set_source_rgba(1, 1, 1, 0.10)
    c.fill()
    rounded_rect(c, sx - 1, sy - 1, sw + 1, sh + 1, 2.5)
    c.set_source_rgba(0, 0, 0, 0.6)
    c.fill()
    rounded_rect(c, sx, sy, sw, sh, 2)
    c.set_source_rgb(0.015, 0.015, 0.018)
    c.fill()


def knob_scale(c, ctl):
    l, t, r, b = ctl["rect"]
    cx, cy = (l + r) / 2, (t + b) / 2
    c.set_line_cap(cairo.LINE_CAP_ROUND)
    for n in range(11):
        a = math.radians(-135 + 27 * n)
        major = n in (0, 5, 10)
        r0, r1 = 18.5, (22.5 if major else 20.5)
        c.set_line_width(1.2 if major else 1.0)
        c.set_source_rgb(*(INK_DIM if major else shade(INK_DIM, 0.7)))
        c.move_to(cx + r0 * math.sin(a), cy - r0 * math.cos(a))
        c.line_to(cx + r1 * math.sin(a), cy - r1 * math.cos(a))
        c.stroke()
    c.set_line_cap(cairo.LINE_CAP_BUTT)


def lamp_socket(c, ctl):
    l, t, _, _ = ctl["rect"]
    cx, cy = l + 4, t + 4
    c.arc(cx, cy + 0.5, 6, 0, 2 * math.pi)
    c.set_source_rgba(1, 1, 1, 0.10)
    c.fill()
    c.arc(cx, cy, 5.8, 0, 2 * math.pi)
    c.set_source(lin(0, cy - 6, 0, cy + 6, (0, (0.55, 0.55, 0.54)), (1, (0.16, 0.16, 0.17))))
    c.fill()
    c.arc(cx, cy, 4.5, 0, 2 * math.pi)
    c.set_source_rgb(0.02, 0.02, 0.02)
    c.fill()


def button_seat(c, ctl):
    l, t, r, b = ctl["rect"]
    rounded_rect(c, l - 1.5, t - 1.5, r - l + 3, b - t + 3, 5)
    c.set_source(lin(0, t - 2, 0, b + 2, (0, (0, 0, 0, 0.55)), (1, (1, 1, 1, 0.10))))
    c.fill()


def keyboard_well(c):
    l, t, r, b = 30, 500, 601, 588
    rounded_rect(c, l, t, r - l, b - t, 4)
    c.set_source_rgb(0.03, 0.03, 0.032)
    c.fill()
    rounded_rect(c, l + 0.5, t + 0.5, r - l - 1, b - t - 1, 4)
    c.set_source(lin(0, t, 0, b, (0, (0, 0, 0, 0.8)), (1, (1, 1, 1, 0.14))))
    c.set_line_width(1)
    c.stroke()
    # felt strip at the back of the keys
    c.rectangle(38, 505, 555, 7)
    c.set_source(lin(0, 505, 0, 512, (0, (0.36, 0.05, 0.05)), (1, (0.20, 0.02, 0.02))))
    c.fill()
    # key bed seen under the keys' front lips
    c.rectangle(40, 512, 551, 66)
    c.set_source_rgb(0.015, 0.015, 0.015)
    c.fill()
    # end blocks either side
    for x0, x1 in ((32, 40), (591, 599)):
        rounded_rect(c, x0, 503, x1 - x0, 82, 1.5)
        c.set_source(lin(0, 503, 0, 585, (0, (0.20, 0.20, 0.21)), (1, (0.08, 0.08, 0.085))))
        c.fill()
        c.rectangle(x0 + 1, 504, x1 - x0 - 2, 1)
        c.set_source_rgba(1, 1, 1, 0.18)
        c.fill()


def maker_logo(c):
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 12))
    bold = "KELMOR"
    w1 = spaced_width(c, bold, 2)
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_NORMAL, 12))
    light = "MUSIC"
    w2 = spaced_width(c, light, 2)
    x = snap(c, 601 - (w1 + 8 + w2))
    y = 609
    c.set_source_rgb(*INK)
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 12))
    show_spaced(c, x, y, bold, 2)
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_NORMAL, 12))
    c.set_source_rgb(*INK_DIM)
    show_spaced(c, x + w1 + 8, y, light, 2)
    # a small mark before the name: three stacked bars, like strings seen end-on
    for n in range(3):
        c.rectangle(x - 16 + n * 4, y - 9 + (2 - n) * 2, 2, 9 - (2 - n) * 2)
    c.set_source_rgb(0.93, 0.47, 0.10)
    c.fill()


def captions(c, out):
    set_font(c, CAPTION_FONT)
    for text, ax, cap_top in layout.captions():
        for n, line in enumerate(text.split("\n")):
            x_b, y_b, w, h = spaced_ink(c, line, CAPTION_TRACKING)
            cap_h = -c.text_extents("H").y_bearing
            base = snap(c, cap_top + cap_h + n * 11)
            x = snap(c, ax - (x_b + w / 2))
            c.set_source_rgb(*INK)
            show_spaced(c, x, base, line, CAPTION_TRACKING)
            ink = (math.floor(x + x_b), math.floor(base + y_b),
                   math.ceil(x + x_b + w), math.ceil(base + y_b + h))
            out.append((ink, line))


def scale_labels(c, out):
    """Figures beside the tune scale: its top, centre and bottom in cents."""
    set_font(c, ("Liberation Sans", cairo.FONT_WEIGHT_BOLD, 9))
    for text, x, y_mid in layout.scale_figures():   # right of the ticks, left-aligned
        x_b, y_b, w, h, adv = text_ink(c, text)
        px = snap(c, x)
        base = snap(c, y_mid - (y_b + h / 2))
        c.move_to(px, base)
        c.set_source_rgb(*INK_DIM)
        c.show_text(text)
        out.append(((math.floor(px + x_b), math.floor(base + y_b),
                     math.ceil(px + x_b + w), math.ceil(base + y_b + h)), text))


def back_image(scale=1):
    s, c = new_surface(scaled(layout.FACE_W, scale), scaled(layout.FACE_H, scale), cairo.FORMAT_RGB24)
    c.scale(scale, scale)
    panel_texture(c)
    header(c)
    sections, legends, caps = [], [], []
    section_frames(c, sections, legends)
    dividers(c)
    printing = {"slider": slider_slot, "knob": knob_scale, "lamp": lamp_socket, "button": button_seat}
    for ctl in layout.controls():
        if ctl["kind"] in printing:
            c.save()
            c.translate(*control_offset(c, *ctl["rect"][:2]))
            printing[ctl["kind"]](c, ctl)
            c.restore()
    keyboard_well(c)
    maker_logo(c)
    captions(c, caps)
    scale_labels(c, caps)
    return s, sections, legends, caps


# ---------------------------------------------------------------- checks and output

def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def check_layout(sections, legends, caps):
    """Every caption inside a section, no printed word under a control, no two captions touching."""
    problems = []
    rects = [(ctl["rect"], ctl) for ctl in layout.controls() if ctl["kind"] != "back"]
    for ink, text in legends:
        for rect, ctl in rects:
            if overlaps(ink, rect):
                problems.append(f"legend {text!r} {ink} covers control {ctl['kind']} {rect}")
    for ink, text in caps:
        if not any(l <= ink[0] and t <= ink[1] and ink[2] <= r and ink[3] <= b
                   for _, l, t, r, b in sections):
            problems.append(f"caption {text!r} {ink} lies in no section")
        for rect, ctl in rects:
            if overlaps(ink, rect):
                problems.append(f"caption {text!r} {ink} covers control {ctl['kind']} {rect}")
    for n, (a, ta) in enumerate(caps):
        for b, tb in caps[n + 1:]:
            grown = (a[0] - 2, a[1] - 1, a[2] + 2, a[3] + 1)
            if overlaps(grown, b):
                problems.append(f"captions {ta!r} {a} and {tb!r} {b} touch")
    return problems


def control_images(scale):
    """Every image but the background, by name, drawn at scale."""
    images = {}
    for colour in ("gray", "orange", "white"):
        images["button_" + colour] = strip(2, 32, 32, button(colour, 32), scale)
    images["button_small"] = strip(2, 24, 24, button("orange", 24), scale)
    for rng in ("bass", "top"):
        images["key_black_" + rng] = strip(2, 10, 40, black_key(rng), scale)
        images["key_white_" + rng] = strip(2, 19, 64, white_key(rng), scale)
    images["knob"] = strip(65, 32, 32, knob_frame, scale)
    images["learn"] = strip(2, 50, 22, word_switch("LEARN", (0.30, 1.0, 0.35)), scale)
    images["unlearn"] = strip(2, 50, 22, word_switch("UNLEARN", (1.0, 0.25, 0.18)), scale)
    images["led_red"] = strip(2, 8, 8, lamp("red"), scale)
    images["led_green"] = strip(2, 8, 8, lamp("green"), scale)
    images["next"] = strip(2, 22, 22, triangle_button(+1), scale)
    images["prev"] = strip(2, 22, 22, triangle_button(-1), scale)
    for colour in ("red", "white"):
        images[f"slider_{colour}_v"] = strip(65, 10, 96, slider_frame(colour, True), scale)
        images[f"slider_{colour}_h"] = strip(65, 96, 10, slider_frame(colour, False), scale)
    return images


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def unfiltered_rows(stream, width, bpp):
    """The pixel rows of a PNG's inflated image data (8-bit samples, not interlaced), their filters undone."""
    size = width * bpp
    rows, prev = [], bytearray(size)
    for y in range(len(stream) // (size + 1)):
        kind = stream[y * (size + 1)]
        line = bytearray(stream[y * (size + 1) + 1:(y + 1) * (size + 1)])
        if kind == 1:
            for i in range(bpp, size):
                line[i] = (line[i] + line[i - bpp]) & 255
        elif kind == 2:
            line = bytearray((x + b) & 255 for x, b in zip(line, prev))
        elif kind == 3:
            for i in range(size):
                line[i] = (line[i] + ((line[i - bpp] if i >= bpp else 0) + prev[i]) // 2) & 255
        elif kind == 4:
            for i in range(size):
                a, b, c = (line[i - bpp], prev[i], prev[i - bpp]) if i >= bpp else (0, prev[i], 0)
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return rows


def opaque_rows(surf):
    """The pixel rows of an opaque (RGB24) surface as a PNG holds them, red, green and blue: the quick way
    to the unfiltered rows of the large background (cairo keeps a pixel as a native-endian 0x00RRGGBB)."""
    w, stride, data = surf.get_width(), surf.get_stride(), bytes(surf.get_data())
    order = (2, 1, 0) if sys.byteorder == "little" else (1, 2, 3)
    rows = []
    for y in range(surf.get_height()):
        pixels = data[y * stride:y * stride + 4 * w]
        row = bytearray(3 * w)
        for channel, offset in enumerate(order):
            row[channel::3] = pixels[offset::4]
        rows.append(bytes(row))
    return rows


def compact_png(png, rows=None):
    """The same PNG with its image data deflated again at zlib's highest level, from the filtered rows as
    cairo wrote them or from the rows left unfiltered (the panel's noise packs better so), whichever is
    smaller. The pixels stay exactly as they were. rows, if given, are the unfiltered rows."""
    pos, chunks, idat = 8, [], b""
    while pos < len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        data = png[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IDAT":
            if not idat:
                chunks.append((b"IDAT", None))
            idat += data
        else:
            chunks.append((kind, data))
    width, _, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", dict(chunks)[b"IHDR"])
    assert depth == 8 and colour_type in (2, 6) and not interlace
    filtered = zlib.decompress(idat)
    rows = rows or unfiltered_rows(filtered, width, 3 if colour_type == 2 else 4)
    plain = b"".join(b"\0" + row for row in rows)
    best = min((zlib.compress(stream, 9) for stream in (filtered, plain)), key=len)
    return png[:8] + b"".join(png_chunk(kind, best if data is None else data) for kind, data in chunks)


def write_image(surf, path, compact):
    if not compact:   # the 100 % images stay as cairo writes them
        surf.write_to_png(path)
        return
    buffer = io.BytesIO()
    surf.write_to_png(buffer)
    packed = compact_png(buffer.getvalue(), opaque_rows(surf) if surf.get_format() == cairo.FORMAT_RGB24 else None)
    pixels = [bytes(cairo.ImageSurface.create_from_png(io.BytesIO(png)).get_data())
              for png in (buffer.getvalue(), packed)]
    assert pixels[0] == pixels[1], path
    with open(path, "wb") as f:
        f.write(packed)


def main():
    check_fonts()
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources", "img")
    os.makedirs(out_dir, exist_ok=True)

    for scale in SCALES:
        back, sections, legends, caps = back_image(scale)
        if scale == 1:   # the checks and the captions file speak of the face at 100 %
            problems = check_layout(sections, legends, caps)
            if problems:
                print("layout problems:\n  " + "\n  ".join(problems))
                if not os.environ.get("ART_DRAFT"):
                    sys.exit(1)
            face_sections, face_caps = sections, caps
        images = dict(back=back, **control_images(scale))
        folder = out_dir if scale == 1 else os.path.join(out_dir, str(round(scale * 100)))
        os.makedirs(folder, exist_ok=True)
        for name, (fw, fh, frames) in layout.IMAGES.items():
            surf = images[name]
            size = (scaled(fw, scale), scaled(fh, scale) * frames)
            assert (surf.get_width(), surf.get_height()) == size, (name, scale)
            write_image(surf, os.path.join(folder, name + ".png"), compact=scale != 1)

    with open(os.path.join(out_dir, "captions.txt"), "w") as f:
        for name, l, t, r, b in face_sections:
            f.write(f"section {name} {l} {t} {r} {b}\n")
        for (l, t, r, b), text in face_caps:
            f.write(f"caption {l} {t} {r} {b} {text}\n")
    print(f"wrote {len(images)} images at {len(SCALES)} scales, {len(face_sections)} sections, "
          f"{len(face_caps)} captions to {out_dir}")


if __name__ == "__main__":
    main()
