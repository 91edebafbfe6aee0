"""The face's control rectangles, and the section frames and captions printed around them.

The parameter controls, the images' frame counts and the keyboard's size are read from the editor's
own face layout (editor/face/FaceLayout.cpp and .h), so the printing follows a control that moves:
its slot, scale and caption are placed from its rectangle. The generator checks that no caption
touches a control. The release number is read from the build's own header.
"""

import os
import re

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def header_value(header, pattern):
    """The first group of pattern in a header under the project root; an error when it is missing."""
    with open(os.path.join(ROOT, header), encoding="utf-8") as f:
        match = re.search(pattern, f.read(), re.MULTILINE)
    if not match:
        raise SystemExit("%s: no match for %s" % (header, pattern))
    return match.group(1)


def face_constant(name):
    """An integer constant of the editor's face layout header."""
    return int(header_value("editor/face/FaceLayout.h", r"^constexpr int %s = (\d+);" % name))


def face_size():
    """(width, height) of the face, from the editor's face layout."""
    return face_constant("kFaceWidth"), face_constant("kFaceHeight")


def face_version_text():
    """The release as the face shows it ("1.0.4.N"), from resources/Version.h."""
    numbers = [header_value("resources/Version.h", r"^#define SARN_VERSION_%s (\d+)$" % part)
               for part in ("MAJOR", "MINOR", "FIX")]
    return ".".join(numbers) + header_value("resources/Version.h", r'^#define SARN_FACE_VERSION_MARK "([^"]*)"$')


def face_table():
    """The editor's image list and parameter controls, read from its table source.

    Returns ({image symbol: (file name, frames)}, [(kind, parameter, left, top, image symbol)]), the
    controls in list order; kind is the table's Knob, Lamp or Button."""
    with open(os.path.join(ROOT, "editor", "face", "FaceLayout.cpp"), encoding="utf-8") as f:
        source = f.read()
    images = {symbol: (name, int(frames)) for symbol, name, frames in
              re.findall(r'^\s*\{(k\w+), "img/(\w+)\.png", (\d+)\},', source, re.MULTILINE)}
    table = source[source.index("kParameterControls[] = {"):]
    table = table[:table.index("\n};")]
    rows = [(kind, int(param), int(left), int(top), symbol) for kind, param, left, top, symbol in
            re.findall(r"^\s*\{(Knob|Lamp|Button), (\d+), (\d+), (\d+), (k\w+), [VH], [\d.]+\},", table,
                       re.MULTILINE)]
    if len(images) != 20 or not rows:
        raise SystemExit("editor/face/FaceLayout.cpp: its image list or control table was not understood")
    return images, rows


FACE_W, FACE_H = face_size()
_IMAGE_SYMBOLS, _TABLE = face_table()

# Image name -> (frame width, frame height, frame count); the counts are the editor's.
_FRAME_SIZES = {
    "back": (FACE_W, FACE_H),
    "button_gray": (32, 32),
    "button_orange": (32, 32),
    "button_small": (24, 24),
    "button_white": (32, 32),
    "key_black_bass": (10, 40),
    "key_black_top": (10, 40),
    "key_white_bass": (19, 64),
    "key_white_top": (19, 64),
    "knob": (32, 32),
    "learn": (50, 22),
    "led_red": (8, 8),
    "led_green": (8, 8),
    "next": (22, 22),
    "prev": (22, 22),
    "slider_red_v": (10, 96),
    "slider_red_h": (96, 10),
    "slider_white_v": (10, 96),
    "slider_white_h": (96, 10),
    "unlearn": (50, 22),
}
IMAGES = {name: _FRAME_SIZES[name] + (frames,) for name, frames in _IMAGE_SYMBOLS.values()}

# One row per control in list order: (kind, parameter or None, left, top, image or size).
# kind: back, preset, kick, menu, text, learn, slider, knob, lamp, button, key.
_HEADER = [
    ("back", None, 0, 0, "back"),
    ("preset", None, 399, 24, (242, 16)),
    ("kick", -62, 375, 21, "prev"),
    ("kick", -63, 425, 21, "next"),
    ("menu", None, 645, 22, (48, 20)),
    ("text", None, 300, 24, (16, 16)),
    ("learn", None, 697, 21, "learn"),
]


def _kind(table_kind, image):
    """The printing a control needs: a knob-table entry with a slider image is a slider."""
    if table_kind == "Knob":
        return "slider" if image.startswith("slider") else "knob"
    return table_kind.lower()


_PARAMS = [(_kind(kind, _IMAGE_SYMBOLS[symbol][0]), param, left, top, _IMAGE_SYMBOLS[symbol][0])
           for kind, param, left, top, symbol in _TABLE]

FIRST_NOTE, KEY_COUNT, BASS_KEYS = (face_constant(name) for name in ("kFirstKeyNote", "kKeyCount",
                                                                     "kFirstUpperKey"))
KEYS_LEFT, KEYS_TOP = 40, 512


def _keys():
    whites, blacks = [], []
    j, x_black = 0, 54
    for k in range(KEY_COUNT):
        rng = "bass" if k < BASS_KEYS else "top"
        m = k % 12
        if m in (0, 2, 4, 5, 7, 9, 11):
            whites.append(("key", FIRST_NOTE + k, KEYS_LEFT + 19 * j, KEYS_TOP, "key_white_" + rng))
            j += 1
        else:
            blacks.append(("key", FIRST_NOTE + k, x_black, KEYS_TOP, "key_black_" + rng))
            x_black += 19 if m in (1, 6, 8) else 38
    return whites + blacks


def controls():
    """All 123 controls as dicts with kind, param (note for keys), rect (l, t, r, b), image."""
    out = []
    for kind, param, left, top, img in _HEADER + _PARAMS + _keys():
        if isinstance(img, tuple):
            w, h = img
            img = None
        else:
            w, h = IMAGES[img][0], IMAGES[img][1]
        out.append({"kind": kind, "param": param, "rect": (left, top, left + w, top + h), "image": img})
    return out


# Section frames: (name, left, top, right, bottom). Frames of one row share edges with a divider.
SECTIONS = [
    ("STRINGS", 22, 66, 604, 148),
    ("MASTER", 22, 156, 604, 208),
    ("BASS", 22, 224, 176, 332),
    ("SYNTHESIZER", 176, 224, 604, 332),
    ("TUNE", 22, 340, 121, 492),
    ("VCF", 121, 340, 392, 492),
    ("ENVELOPE", 392, 340, 604, 492),
    ("PAN", 616, 66, 760, 212),
    ("PHASER", 616, 224, 760, 386),
    ("DELAY", 616, 392, 760, 618),
]

# Printed captions: (text, parameter, dx, dy), centred on the centre of the parameter's slider, knob or
# button moved by dx, with the top of the capitals dy below the control's top (above when negative).
# Rows are kept on common baselines; two-line captions stack downwards.
_CAPTIONS = [
    # strings
    ("ATTACK", 3, 0, 34), ("RELEASE", 4, 0, 34), ("TONE", 2, 0, 38),
    ("BASS", 5, 0, 38), ("CELLO", 6, 0, 38), ("VIOLA", 7, 0, 38), ("VIOLIN", 8, 0, 38),
    # master row
    ("VOLUME", 0, 0, 24), ("LFO SPEED", 9, 0, 24), ("MIX STRING/SYNTH", 10, 0, 24),
    ("BASS VOLUME", 11, 0, 24),
    # bass and synthesizer switches
    ("STACCATO", 12, 0, 37), ("16'", 13, 0, 37), ("8'", 14, 0, 37),
    ("8'", 15, 0, 37), ("4'", 16, 0, 37),
    ("CHORUS\nSLOW", 44, 0, 37), ("ADSR\nTO VCA", 45, 0, 37),
    ("CHORUS", 17, 0, 37), ("HOLLOW", 18, 0, 37), ("SINGLE\nTRIG", 19, 0, 37),
    # tune, filter, envelope
    ("CENTS", 1, 0, -14),
    ("WHEEL", 20, 0, -14), ("LFO", 21, 0, -14), ("ADSR", 22, 0, -14),
    ("CUTOFF", 23, 0, -14), ("RES", 24, 0, -14),
    ("A", 25, 0, -14), ("D", 26, 0, -14), ("S", 27, 0, -14), ("R", 28, 0, -14),
    # pan
    ("STRING", 29, 0, 42), ("SYNTH", 30, 0, 42), ("BASS", 31, 0, 42),
    # phaser: the switches' captions centre under the button and its lamp
    ("SPEED", 32, 0, -20), ("FEED\nBACK", 33, 0, -31),
    ("STRING", 34, 6, 27), ("SYNTH", 35, 6, 27), ("BASS", 36, 6, 27),
    # delay
    ("TIME", 37, 0, -12), ("FEED\nBACK", 38, 0, -23), ("MIX", 39, 0, -12),
    ("X2", 40, 6, 28), ("SYNC", 41, 6, 28), ("VIBE", 42, 6, 28), ("PING-PONG", 43, 6, 28),
]

# Figures beside the tune slider's scale: (text, parameter, dx from its left, dy of the figure's middle
# from its top), at the cap centre of the top, middle and bottom of the travel.
_SCALE_FIGURES = [("+50", 1, 20, 8), ("0", 1, 20, 48), ("-50", 1, 20, 88)]


def _control_of(parameter):
    """The rectangle of the slider, knob or button of a parameter (not its lamp)."""
    for ctl in controls():
        if ctl["param"] == parameter and ctl["kind"] in ("slider", "knob", "button"):
            return ctl["rect"]
    raise SystemExit("no control for parameter %d" % parameter)


def captions():
    """The printed captions as (text, anchor x, top of capitals)."""
    out = []
    for text, parameter, dx, dy in _CAPTIONS:
        l, t, r, _ = _control_of(parameter)
        out.append((text, (l + r) // 2 + dx, t + dy))
    return out


def scale_figures():
    """The tune scale's figures as (text, left, middle y)."""
    out = []
    for text, parameter, dx, dy in _SCALE_FIGURES:
        l, t, _, _ = _control_of(parameter)
        out.append((text, l + dx, t + dy))
    return out


# Fainter rules that group the switches of one section: (x, top, bottom).
DIVIDERS = [(293, 246, 322), (431, 246, 322), (276, 360, 486)]
