#!/usr/bin/python3
"""Composes the face from resources/img/ as the editor would show it, to out/preview.png.

Pastes one frame of each control image at its place over back.png, with a spread of values:
some lamps lit, sliders and knobs at various positions, a few keys held, LEARN armed. At 150 or
200 (percent) it takes the images of that folder and places them as the editor does at that scale:
a face rectangle [l, r) covers the pixels [floor(l * s + 0.5), floor(r * s + 0.5)).

    /usr/bin/python3 tools/artwork/preview.py [image folder] [output file] [100|150|200]
"""

import math
import os
import sys

import cairo

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")

LIT = {5, 7, 13, 15, 19, 34, 41, 42, 45}            # parameters whose lamps are on
HELD = {36, 43, 46, 48, 60, 63, 67, 70, 75}        # notes shown as held


def value_of(ctl):
    """A frame index for the preview: a spread of positions that exercises every image."""
    kind, p = ctl["kind"], ctl["param"]
    frames = layout.IMAGES[ctl["image"]][2] if ctl["image"] else 1
    if kind in ("slider", "knob"):
        return (p * 23 + 7) % frames if p not in (0, 1, 10, 29, 30, 31) else frames // 2
    if kind == "lamp":
        return 1 if p in LIT else 0
    if kind == "key":
        return 1 if p in HELD else 0
    if kind == "learn":   # armed
        return 1
    if (kind, p) in (("kick", -63), ("button", 15)):   # next-program and Synth 8' held down
        return 1
    return 0


def main():
    img_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "resources", "img")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "out", "preview.png")
    percent = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    if percent != 100:
        img_dir = os.path.join(img_dir, str(percent))
    s = percent / 100

    def pixel(v):
        return math.floor(v * s + 0.5)

    surf = cairo.ImageSurface(cairo.FORMAT_RGB24, math.ceil(layout.FACE_W * s), math.ceil(layout.FACE_H * s))
    c = cairo.Context(surf)
    strips = {}
    for ctl in layout.controls():
        if not ctl["image"]:
            continue
        name = ctl["image"]
        if name not in strips:
            strips[name] = cairo.ImageSurface.create_from_png(os.path.join(img_dir, name + ".png"))
        _, fh, frames = layout.IMAGES[name]
        frame = min(value_of(ctl), frames - 1)
        l, t, r, b = ctl["rect"]
        c.save()
        c.rectangle(pixel(l), pixel(t), pixel(r) - pixel(l), pixel(b) - pixel(t))
        c.clip()
        c.set_source_surface(strips[name], pixel(l), pixel(t) - frame * math.ceil(fh * s))
        c.paint()
        c.restore()
    c.scale(s, s)
    # the editor's own text: version, program number and name (white at alpha 192)
    c.select_font_face("Liberation Sans")
    c.set_source_rgba(1, 1, 1, 192 / 255)
    for text, (l, t, r, b), size, align in ((layout.face_version_text(), (300, 24, 316, 40), 12, "r"),
                                             ("07", (399, 24, 423, 40), 15, "c"),
                                             ("Big Strings", (449, 24, 641, 40), 15, "c")):
        c.set_font_size(size)
        e = c.text_extents(text)
        x = r - e.x_advance if align == "r" else (l + r - e.x_advance) / 2
        c.move_to(round(x), round((t + b) / 2 + size * 0.35))
        c.show_text(text)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    surf.write_to_png(out)
    print("wrote", out)


if __name__ == "__main__":
    main()
