"""Our own monoline geometric letters, drawn as round-capped strokes.

Design units: the cap height is 1, y grows downwards from the cap line (0) to the baseline (1);
the x-height line is at XT, descenders reach about 1.36. Each glyph is (advance width, strokes)
with strokes ('L', points...) for a polyline, ('A', cx, cy, r, a0, a1) for an arc in degrees as
on paper, ('D', x, y) for a round dot.
"""
from raster import Arc, Circle, Polyline, Union

XT = 0.30          # x-height line
XR = (1 - XT) / 2  # radius of the round lower-case bowls

GLYPHS = {
    "A": (0.78, [("L", (0, 1), (0.39, 0), (0.78, 1)), ("L", (0.15, 0.64), (0.63, 0.64))]),
    "C": (0.86, [("A", 0.5, 0.5, 0.5, 48, 312)]),
    "D": (0.74, [("L", (0.24, 0), (0, 0), (0, 1), (0.24, 1)), ("A", 0.24, 0.5, 0.5, -90, 90)]),
    "E": (0.56, [("L", (0.56, 0), (0, 0), (0, 1), (0.56, 1)), ("L", (0, 0.5), (0.46, 0.5))]),
    "G": (1.0, [("A", 0.5, 0.5, 0.5, 42, 360), ("L", (1.0, 0.5), (0.56, 0.5))]),
    "I": (0.0, [("L", (0, 0), (0, 1))]),
    "L": (0.52, [("L", (0, 0), (0, 1), (0.52, 1))]),
    "M": (0.88, [("L", (0, 1), (0, 0), (0.44, 0.78), (0.88, 0), (0.88, 1))]),
    "N": (0.72, [("L", (0, 1), (0, 0), (0.72, 1), (0.72, 0))]),
    "O": (1.0, [("A", 0.5, 0.5, 0.5, 0, 360)]),
    "P": (0.58, [("L", (0.29, 0), (0, 0), (0, 1)), ("L", (0, 0.56), (0.29, 0.56)),
                 ("A", 0.29, 0.28, 0.28, -90, 90)]),
    "R": (0.62, [("L", (0.29, 0), (0, 0), (0, 1)), ("L", (0, 0.56), (0.29, 0.56)),
                 ("A", 0.29, 0.28, 0.28, -90, 90), ("L", (0.30, 0.56), (0.62, 1))]),
    "S": (0.58, [("A", 0.29, 0.25, 0.25, 25, 270), ("L", (0.29, 0.5), (0.30, 0.5)),
                 ("A", 0.30, 0.75, 0.25, -155, 90)]),
    "T": (0.64, [("L", (0, 0), (0.64, 0)), ("L", (0.32, 0), (0.32, 1))]),
    "a": (2 * XR, [("A", XR, 1 - XR, XR, 0, 360), ("L", (2 * XR, XT), (2 * XR, 1))]),
    "f": (0.46, [("L", (0.14, 1), (0.14, 0.26)), ("A", 0.40, 0.26, 0.26, 90, 180),
                 ("L", (0.40, 0), (0.46, 0)), ("L", (0, XT), (0.40, XT))]),
    "g": (2 * XR, [("A", XR, 1 - XR, XR, 0, 360), ("L", (2 * XR, XT), (2 * XR, 1.02)),
                   ("A", XR, 1.02, XR, 200, 360)]),
    "h": (0.62, [("L", (0, 0), (0, 1)), ("A", 0.31, XT + 0.31, 0.31, 0, 180),
                 ("L", (0.62, XT + 0.31), (0.62, 1))]),
    "i": (0.0, [("L", (0, XT), (0, 1)), ("D", 0, 0.06)]),
    "l": (0.0, [("L", (0, 0), (0, 1))]),
    "r": (0.42, [("L", (0, XT), (0, 1)), ("A", 0.36, XT + 0.36, 0.36, 90, 180),
                 ("L", (0.36, XT), (0.42, XT))]),
    "t": (0.40, [("L", (0.14, 0.04), (0.14, 1)), ("L", (0, XT), (0.40, XT))]),
    "w": (0.92, [("L", (0, XT), (0.23, 1), (0.46, XT), (0.69, 1), (0.92, XT))]),
    " ": (0.30, []),
}


def text_width(text, size, stroke, tracking=0.0):
    """Width in pixels of the inked run of `text` (from the first stroke edge to the last)."""
    advance = sum(GLYPHS[ch][0] * size + stroke + tracking for ch in text)
    return advance - tracking


def text_shape(text, x, y, size, stroke, tracking=0.0):
    """The letters of `text` as one shape: (x, y) is the top-left of the first letter's ink at
    the cap line, `size` the cap height in pixels from the centre of the top stroke to the
    centre of the baseline stroke, `stroke` the stroke width, `tracking` extra letter spacing."""
    parts = []
    pen = x + stroke / 2
    for ch in text:
        width, strokes = GLYPHS[ch]
        for s in strokes:
            kind = s[0]
            if kind == "L":
                parts.append(Polyline([(pen + px * size, y + py * size) for px, py in s[1:]], stroke))
            elif kind == "A":
                _, cx, cy, r, a0, a1 = s
                parts.append(Arc(pen + cx * size, y + cy * size, r * size, a0, a1, stroke))
            elif kind == "D":
                parts.append(Circle(pen + s[1] * size, y + s[2] * size, stroke * 0.62))
        pen += width * size + stroke + tracking
    return Union(*parts)
