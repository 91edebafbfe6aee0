"""The face's control rectangles, and the section frames and captions printed around them.

The control table mirrors the editor's face list (same order, same rectangles); the generator
draws slots, bezels and captions from it, and checks that no caption touches a control.
The face size and the release number are read from the editor's and the build's own headers.
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


def face_size():
    """(width, height) of the face, from the editor's face layout."""
    return tuple(int(header_value("editor/face/FaceLayout.h", r"^constexpr int %s = (\d+);$" % name))
                 for name in ("kFaceWidth", "kFaceHeight"))


def face_version_text():
    """The release as the face shows it ("1.0.4.N"), from resources/Version.h."""
    numbers = [header_value("resources/Version.h", r"^#define SARN_VERSION_%s (\d+)$" % part)
               for part in ("MAJOR", "MINOR", "FIX")]
    return ".".join(numbers) + header_value("resources/Version.h", r'^#define SARN_FACE_VERSION_MARK "([^"]*)"$')


FACE_W, FACE_H = face_size()

# Image name -> (frame width, frame height, frame count).
IMAGES = {
    "back": (FACE_W, FACE_H, 1),
    "button_gray": (32, 32, 2),
    "button_orange": (32, 32, 2),
    "button_small": (24, 24, 2),
    "button_white": (32, 32, 2),
    "key_black_bass": (10, 40, 2),
    "key_black_top": (10, 40, 2),
    "key_white_bass": (19, 64, 2),
    "key_white_top": (19, 64, 2),
    "knob": (32, 32, 65),
    "learn": (50, 22, 2),
    "led_red": (8, 8, 2),
    "led_green": (8, 8, 2),
    "next": (22, 22, 2),
    "prev": (22, 22, 2),
    "slider_red_v": (10, 96, 65),
    "slider_red_h": (96, 10, 65),
    "slider_white_v": (10, 96, 65),
    "slider_white_h": (96, 10, 65),
    "unlearn": (50, 22, 2),
}

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

_PARAMS = [
    ("slider", 3, 44, 100, "slider_white_h"),
    ("slider", 4, 192, 100, "slider_white_h"),
    ("knob", 2, 336, 96, "knob"),
    ("lamp", 5, 424, 80, "led_green"), ("button", 5, 412, 96, "button_orange"),
    ("lamp", 6, 472, 80, "led_green"), ("button", 6, 460, 96, "button_orange"),
    ("lamp", 7, 520, 80, "led_green"), ("button", 7, 508, 96, "button_orange"),
    ("lamp", 8, 568, 80, "led_green"), ("button", 8, 556, 96, "button_orange"),
    ("slider", 0, 44, 168, "slider_red_h"),
    ("slider", 9, 192, 168, "slider_red_h"),
    ("slider", 10, 340, 168, "slider_red_h"),
    ("slider", 11, 488, 168, "slider_red_h"),
    ("lamp", 12, 52, 256, "led_red"), ("button", 12, 40, 272, "button_orange"),
    ("lamp", 13, 100, 256, "led_red"), ("button", 13, 88, 272, "button_orange"),
    ("lamp", 14, 148, 256, "led_red"), ("button", 14, 136, 272, "button_orange"),
    ("lamp", 15, 196, 256, "led_red"), ("button", 15, 184, 272, "button_white"),
    ("lamp", 16, 244, 256, "led_red"), ("button", 16, 232, 272, "button_white"),
    ("lamp", 44, 334, 256, "led_red"), ("button", 44, 322, 272, "button_gray"),
    ("lamp", 45, 382, 256, "led_red"), ("button", 45, 370, 272, "button_gray"),
    ("lamp", 17, 472, 256, "led_red"), ("button", 17, 460, 272, "button_orange"),
    ("lamp", 18, 520, 256, "led_red"), ("button", 18, 508, 272, "button_orange"),
    ("lamp", 19, 568, 256, "led_green"), ("button", 19, 556, 272, "button_orange"),
    ("slider", 1, 75, 384, "slider_red_v"),
    ("slider", 20, 157, 384, "slider_white_v"),
    ("slider", 21, 197, 384, "slider_white_v"),
    ("slider", 22, 237, 384, "slider_white_v"),
    ("slider", 23, 305, 384, "slider_red_v"),
    ("slider", 24, 345, 384, "slider_red_v"),
    ("slider", 25, 427, 384, "slider_white_v"),
    ("slider", 26, 467, 384, "slider_white_v"),
    ("slider", 27, 507, 384, "slider_white_v"),
    ("slider", 28, 547, 384, "slider_white_v"),
    ("knob", 29, 640, 96, "knob"),
    ("knob", 30, 692, 96, "knob"),
    ("knob", 31, 668, 157, "knob"),
    ("slider", 32, 637, 276, "slider_red_v"),
    ("slider", 33, 677, 276, "slider_white_v"),
    ("lamp", 34, 738, 276, "led_red"), ("button", 34, 710, 268, "button_small"),
    ("lamp", 35, 738, 316, "led_red"), ("button", 35, 710, 308, "button_small"),
    ("lamp", 36, 738, 356, "led_red"), ("button", 36, 710, 348, "button_small"),
    ("slider", 37, 637, 428, "slider_red_v"),
    ("slider", 38, 677, 428, "slider_white_v"),
    ("slider", 39, 717, 428, "slider_white_v"),
    ("lamp", 40, 666, 548, "led_green"), ("button", 40, 638, 540, "button_small"),
    ("lamp", 41, 722, 548, "led_green"), ("button", 41, 694, 540, "button_small"),
    ("lamp", 42, 666, 588, "led_green"), ("button", 42, 638, 580, "button_small"),
    ("lamp", 43, 722, 588, "led_green"), ("button", 43, 694, 580, "button_small"),
]

FIRST_NOTE, KEY_COUNT, BASS_KEYS = 36, 49, 20
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

# Printed captions: (text, anchor x, top of capitals, lines). Centred on the anchor.
# Rows are kept on common baselines; two-line captions stack downwards.
CAPTIONS = [
    # strings
    ("ATTACK", 92, 134), ("RELEASE", 240, 134), ("TONE", 352, 134),
    ("BASS", 428, 134), ("CELLO", 476, 134), ("VIOLA", 524, 134), ("VIOLIN", 572, 134),
    # master row
    ("VOLUME", 92, 192), ("LFO SPEED", 240, 192), ("MIX STRING/SYNTH", 388, 192),
    ("BASS VOLUME", 536, 192),
    # bass and synthesizer switches
    ("STACCATO", 56, 309), ("16'", 104, 309), ("8'", 152, 309),
    ("8'", 200, 309), ("4'", 248, 309),
    ("CHORUS\nSLOW", 338, 309), ("ADSR\nTO VCA", 386, 309),
    ("CHORUS", 476, 309), ("HOLLOW", 524, 309), ("SINGLE\nTRIG", 572, 309),
    # tune, filter, envelope
    ("CENTS", 80, 370),
    ("WHEEL", 162, 370), ("LFO", 202, 370), ("ADSR", 242, 370),
    ("CUTOFF", 310, 370), ("RES", 350, 370),
    ("A", 432, 370), ("D", 472, 370), ("S", 512, 370), ("R", 552, 370),
    # pan
    ("STRING", 656, 138), ("SYNTH", 708, 138), ("BASS", 684, 199),
    # phaser
    ("SPEED", 642, 256), ("FEED\nBACK", 682, 245),
    ("STRING", 728, 295), ("SYNTH", 728, 335), ("BASS", 728, 375),
    # delay
    ("TIME", 642, 416), ("FEED\nBACK", 682, 405), ("MIX", 722, 416),
    ("X2", 656, 568), ("SYNC", 712, 568), ("VIBE", 656, 608), ("PING-PONG", 712, 608),
]

# Fainter rules that group the switches of one section: (x, top, bottom).
DIVIDERS = [(293, 246, 322), (431, 246, 322), (276, 360, 486)]
