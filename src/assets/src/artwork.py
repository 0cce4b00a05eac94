#!/usr/bin/env python3
"""Draws every picture of the program and writes the PNG files and Callwright.ico into the
assets folder (the parent of this script's folder), the 100 % pictures at the top and those for
125, 150 and 200 % display scale in folders of those names. Python 3 standard library only.

    python3 artwork.py [output folder]
"""
import math
import os
import struct
import sys

sys.dont_write_bytecode = True  # keep the source folder clean

import raster
from raster import (Arc, Box, Circle, Ellipse, Layer, Offset, Place, Polygon, Polyline, Segment,
                    Union, linear, mix, path, png_bytes, radial, rgb, write_png)
from strokefont import text_shape, text_width

MAGENTA = (255, 0, 255)
# Button glyphs are keyed on magenta, so their soft edges are mixed with a light neutral grey
# close to the faces they are drawn on, never with the key colour.
GLYPH_EDGE = (232, 232, 232)
ABOUT_BACKGROUND = (34, 41, 54)


# ------------------------------------------------------------------------ building blocks


def outlined(layer, shape, fill, outline, width=0.9, ss=1):
    """A shape with a darker rim of `width` pixels around it."""
    layer.fill(Offset(shape, width), outline, ss=ss)
    layer.fill(shape, fill, ss=ss)


def vertical(y0, c0, y1, c1):
    return linear(0, y0, rgb(c0) if isinstance(c0, str) else c0, 0, y1,
                  rgb(c1) if isinstance(c1, str) else c1)


def keyed_rows(layer):
    """24-bit rows with magenta wherever the drawing is less than half opaque."""
    rows = []
    for y in range(layer.h):
        row = []
        for x in range(layer.w):
            r, g, b, a = layer.px[y * layer.w + x]
            if a < 0.5:
                row.append(MAGENTA)
                continue
            k = 1 - a
            px = tuple(int(round(min(1.0, c + e / 255 * k) * 255)) for c, e in zip((r, g, b), GLYPH_EDGE))
            if px == MAGENTA:
                raise ValueError("a drawn pixel has the key colour")
            row.append(px)
        rows.append(row)
    if rows[-1][0] != MAGENTA:
        raise ValueError("the bottom-left pixel must be the key colour")
    return rows


def gradient_rows(levels):
    """A grey strip one design pixel wide from a list of levels, at the current scale:
    each pixel the mean of the design rows it covers, so that a 1-pixel line stays a line."""
    k = raster.SCALE
    if k == 1:
        return [[(v, v, v)] for v in levels]
    rows = []
    for y in range(raster.scaled(len(levels), k)):
        top, bottom = y / k, min(len(levels), (y + 1) / k)
        total = 0.0
        for i in range(int(math.floor(top)), int(math.ceil(bottom))):
            total += levels[min(i, len(levels) - 1)] * (min(bottom, i + 1) - max(top, i))
        v = int(round(total / (bottom - top)))
        rows.append([(v, v, v)] * raster.scaled(1, k))
    return rows


def ramp(a, b, n):
    """n evenly spaced levels from a to b, both included, rounded."""
    if n == 1:
        return [a]
    return [int(round(a + (b - a) * i / (n - 1))) for i in range(n)]


# ------------------------------------------------------------------------- button glyphs


def glyph_open():
    g = Layer(16, 16)
    tri = Offset(Polygon([(5.4, 3.5), (12.4, 8.0), (5.4, 12.5)]), 0.9)
    outlined(g, tri, vertical(3, "#9BE070", 13, "#2E9A2A"), rgb("#1D6A1F"), ss=4)
    return g


def cross_shape():
    return Union(Segment(4.3, 4.3, 11.7, 11.7, 2.6), Segment(11.7, 4.3, 4.3, 11.7, 2.6))


def glyph_delete():
    g = Layer(16, 16)
    outlined(g, cross_shape(), vertical(3, "#FF6450", 13, "#C8120E"), rgb("#7E0A0A"), width=1.0, ss=4)
    return g


def glyph_refresh():
    g = Layer(16, 16)
    cx, cy, r = 7.8, 8.4, 4.4
    head_angle = 78
    a = math.radians(head_angle)
    hx, hy = cx + r * math.cos(a), cy - r * math.sin(a)
    # Clockwise on screen at the head: the tangent (sin a, cos a) in screen coordinates.
    tx, ty = math.sin(a), math.cos(a)
    nx, ny = -ty, tx
    head = Polygon([(hx + tx * 3.4, hy + ty * 3.4),
                    (hx - tx * 0.3 + nx * 3.1, hy - ty * 0.3 + ny * 3.1),
                    (hx - tx * 0.3 - nx * 3.1, hy - ty * 0.3 - ny * 3.1)])
    arrow = Union(Arc(cx, cy, r, head_angle + 2, 338, 2.2), Offset(head, 0.2))
    outlined(g, arrow, vertical(2, "#7DB9F5", 14, "#1F63C0"), rgb("#173F80"), width=0.9, ss=4)
    return g


def folder_shapes(x0, y0, x1, y1):
    """Back (with its tab) and front flap of a folder in the box (x0, y0)-(x1, y1)."""
    h = y1 - y0
    back = Union(Box(x0, y0 + h * 0.12, x1 - 0.4, y1, 0.8),
                 Box(x0, y0, x0 + (x1 - x0) * 0.42, y0 + h * 0.4, 0.8))
    front = Polygon([(x0 + 1.8, y0 + h * 0.36), (x1 + 0.6, y0 + h * 0.36),
                     (x1 - 1.2, y1), (x0, y1)])
    return back, front


def draw_folder(g, x0, y0, x1, y1):
    back, front = folder_shapes(x0, y0, x1, y1)
    rim = rgb("#8A5A00")
    outlined(g, back, vertical(y0, "#F2C14E", y1, "#D79A1C"), rim, width=0.9, ss=4)
    outlined(g, front, vertical(y0 + (y1 - y0) * 0.36, "#FFE48A", y1, "#F2B631"), rim, width=0.9, ss=4)


def glyph_browse():
    g = Layer(16, 16)
    # The sheet behind, with a blue note on it.
    sheet = Polygon([(5.4, 0.9), (11.8, 0.9), (14.6, 3.7), (14.6, 11.0), (5.4, 11.0)])
    outlined(g, sheet, (255, 255, 255), rgb("#7A7F88"), width=0.9, ss=4)
    g.fill(Polygon([(11.8, 0.9), (11.8, 3.7), (14.6, 3.7)]), rgb("#C9CDD3"), ss=4)
    note = rgb("#1F5FCC")
    g.fill(Place(Ellipse(0, 0, 1.8, 1.3), rotate=-22, at=(9.0, 7.7)), note, ss=4)
    g.fill(Segment(10.55, 7.3, 10.55, 2.6, 1.1), note, ss=4)
    g.fill(Polyline([(10.55, 2.6), (12.6, 3.8), (12.8, 5.6)], 1.1), note, ss=4)
    draw_folder(g, 1.3, 8.3, 11.3, 14.7)
    return g


def glyph_about():
    g = Layer(16, 16)
    outlined(g, Circle(8, 8, 6.2), linear(4, 3, rgb("#8CC4FF"), 12, 14, rgb("#1B5FC6")),
             rgb("#163F86"), width=0.9)
    white = (255, 255, 255)
    q = Union(Arc(8.0, 6.0, 2.1, -62, 168, 1.8), Segment(8.99, 7.85, 8.0, 9.0, 1.8),
              Segment(8.0, 9.0, 8.0, 9.3, 1.8))
    g.fill(q, white, ss=4)
    g.fill(Circle(8.0, 11.9, 1.05), white, ss=4)
    return g


def cog_shape(cx, cy, r_body, r_teeth, tooth_w, hole, teeth=8):
    parts = [Circle(cx, cy, r_body)]
    for k in range(teeth):
        tooth = Box(-tooth_w / 2, -r_teeth, tooth_w / 2, -r_body + 0.5, 0.35)
        parts.append(Place(tooth, rotate=k * 360 / teeth + 22.5, at=(cx, cy)))
    return Union(*parts) - Circle(cx, cy, hole)


def glyph_settings():
    g = Layer(16, 16)
    cog = cog_shape(8, 8, 4.6, 6.3, 2.4, 1.9)
    outlined(g, cog, linear(4, 3, rgb("#E3E6EA"), 12, 14, rgb("#7C838D")), rgb("#454B54"),
             width=0.9, ss=4)
    return g


def glyph_folder():
    g = Layer(16, 16)
    draw_folder(g, 1.4, 2.6, 14.4, 13.6)
    return g


def tick_shape():
    return Polyline([(3.6, 8.4), (6.6, 11.4), (12.4, 4.6)], 2.5)


def glyph_ok():
    g = Layer(16, 16)
    outlined(g, tick_shape(), vertical(4, "#8EE06A", 12, "#2C962B"), rgb("#1B641C"), width=0.9, ss=4)
    return g


def about_ok():
    g = Layer(16, 16)
    outlined(g, tick_shape(), vertical(4, "#8EE06A", 12, "#2C962B"), rgb("#1B641C"), width=0.9, ss=4)
    return g


# ---------------------------------------------------------------------------- list icons


def list_icon(light, dark, rim):
    g = Layer(16, 16)
    g.fill(Box(0.5, 0.5, 15.5, 15.5, 3.6), rgb(rim))
    g.fill(Box(1.4, 1.4, 14.6, 14.6, 2.8), vertical(1, light, 15, dark))
    g.fill(Arc(8, 8, 3.7, 0, 360, 1.9), (255, 255, 255))
    return g


# ----------------------------------------------------------------------------- the mark


def handset(cx=0.70, cy=0.5, r=0.46, span=62, body=0.17, pad_len=0.40, pad_th=0.28,
            inset=0.08, along=-0.04):
    """A telephone handset in a unit box: ear at the top, mouth at the bottom, back to the left."""
    parts = [Arc(cx, cy, r, 180 - span, 180 + span, body)]
    for sign in (1, -1):
        a = math.radians(180 - span * sign)
        ex, ey = cx + r * math.cos(a), cy - r * math.sin(a)
        rx, ry = (cx - ex) / r, (cy - ey) / r
        tx, ty = -ry * sign, rx * sign
        px, py = ex + rx * inset + tx * along, ey + ry * inset + ty * along
        pad = Box(-pad_len / 2, -pad_th / 2, pad_len / 2, pad_th / 2, pad_th * 0.42)
        parts.append(Place(pad, rotate=math.degrees(math.atan2(ty, tx)), at=(px, py)))
    return Union(*parts)


def mark(layer, x, y, size, waves=2, handset_paint=(255, 255, 255), wave_paint=rgb("#7CC6FF"),
         dot_paint=rgb("#F0443A"), ss=1):
    """Our mark in the square (x, y, size): a handset, sound waves and a recording dot."""
    s = size
    layer.fill(Place(handset(), scale=s * 0.84, rotate=-45, origin=(0.5, 0.5),
                     at=(x + s * 0.40, y + s * 0.60)), handset_paint, ss=ss)
    wx, wy = x + s * 0.47, y + s * 0.53
    for i in range(waves):
        rr = s * (0.21 + 0.155 * i)
        layer.fill(Arc(wx, wy, rr, 10, 80, s * 0.08), wave_paint, ss=ss)
    if dot_paint is not None:
        layer.fill(Circle(x + s * 0.85, y + s * 0.15, s * 0.125), dot_paint, ss=ss)


# ---------------------------------------------------------------------------- headers


def settings_header():
    w, h = 343, 90
    img = Layer(w, h, (0, 0, 0))
    # The background darkens along x only: its rows repeat, which packs the picture far smaller
    # than a slanted ramp does, and looks the same behind the tools and the words.
    img.fill(Box(-2, -2, w + 2, h + 2), linear(0, 0, rgb("#14646A"), 120, 0, rgb("#0A3A40")))
    # A soft light behind the tools.
    img.fill(Circle(52, 46, 70), lambda px, py: rgb("#2A8A90") + (int(90 * max(0.0, 1 - math.hypot(px - 52, py - 46) / 70) ** 2),))
    img.fill(Box(-2, h - 1, w + 2, h + 2), rgb("#062A2E"))

    tools = Layer(w, h)
    centre = (54, 45)
    # Wrench: open jaw at one end, ring at the other, drawn lying along x and turned.
    jaw_head = Circle(-27, 0, 9.5) - Union(Box(-40, -3.8, -27, 3.8, 0.6), Circle(-27, 0, 3.8))
    ring_head = Circle(27, 0, 7.2) - Circle(27, 0, 3.6)
    wrench = Union(jaw_head, Box(-26, -3.6, 26, 3.6, 3.0), ring_head)
    wrench_at = Place(wrench, scale=1.12, rotate=45, at=centre)
    tools.fill(Offset(wrench_at, 1.0), rgb("#25363A"), ss=3)
    tools.fill(wrench_at, linear(centre[0] + 20, centre[1] - 20, rgb("#F4F7F8"),
                                 centre[0] - 14, centre[1] + 14, rgb("#8E9CA3")), ss=3)
    tools.fill(Place(Box(-18, -1.0, 18, 1.0, 1.0), scale=1.12, rotate=45, at=centre), rgb("#B9C4C9"), ss=3)

    # Screwdriver: blade to the lower right, amber handle to the upper left.
    angle = -45
    blade = Union(Box(-30, -1.9, 4, 1.9, 0.8),
                  Polygon([(-30, -1.9), (-36, -0.9), (-36, 0.9), (-30, 1.9)]))
    ferrule = Box(2, -4.2, 8, 4.2, 1.2)
    grip = Box(7, -6.4, 36, 6.4, 5.4)
    flip = 180
    place = lambda s: Place(s, scale=1.12, rotate=angle + flip, at=centre)
    tools.fill(Offset(place(Union(blade, ferrule, grip)), 1.0), rgb("#25363A"), ss=3)
    tools.fill(place(blade), linear(centre[0] - 10, centre[1] - 10, rgb("#EEF2F3"),
                                    centre[0] + 2, centre[1] + 2, rgb("#8796A0")), ss=3)
    tools.fill(place(ferrule), rgb("#A7B3BA"), ss=3)
    tools.fill(place(grip), linear(centre[0] - 26, centre[1] + 2, rgb("#FFC564"),
                                   centre[0] - 14, centre[1] + 18, rgb("#C9650F")), ss=3)
    for gx in (14, 20, 26, 32):
        tools.fill(place(Segment(gx, -3.6, gx, 3.6, 1.3)), rgb("#A24F0A"), ss=3)

    img.draw(tools.shadow(2, colour=(0, 20, 24), strength=0.7), 2, 3)
    img.draw(tools)

    ink = rgb("#E9F5F4")
    tx = 114
    img.fill(text_shape("PROGRAM", tx, 21, 19, 2.4, 2.6), rgb("#A6DCDA"), ss=2)
    img.fill(text_shape("SETTINGS", tx, 50, 19, 3.0, 2.2), ink, ss=2)
    img.fill(Box(tx, 78, tx + 150, 79.2), linear(tx, 0, rgb("#3FA9A8"), tx + 150, 0, rgb("#0E4A50")))
    return img


def about_header():
    w, h = 332, 71
    img = Layer(w, h, ABOUT_BACKGROUND)
    # A faint sound wave behind the wordmark gives the ripples something to bend.
    wave = []
    for i in range(0, 241):
        x = 84 + i
        env = math.sin(math.pi * i / 240) ** 1.5
        wave.append((x, 36 + 13 * env * math.sin(i / 5.3) * math.cos(i / 23.0)))
    img.fill(Polyline(wave, 1.6), rgb("#2E3A4D"))

    mark_size = 58
    # The window shows the picture from its fifth column on.
    mark(img, 14, 6, mark_size, ss=2)

    tx = 88
    img.fill(text_shape("Callwright", tx, 11, 30, 4.8, 1.4), (255, 255, 255), ss=2)
    img.fill(text_shape("CALL RECORDER", tx + 1, 57, 7, 1.3, 3.0), rgb("#8FA6C4"), ss=3)
    return img


# ------------------------------------------------------------------------ About links


def link_tile(colour_light, colour_dark):
    g = Layer(24, 24)
    g.fill(Circle(12, 12, 11.5), mix(rgb(colour_dark), (0, 0, 0), 0.25))
    g.fill(Circle(12, 12, 10.6), vertical(3, rgb(colour_light), 22, rgb(colour_dark)))
    return g


def link_play():
    g = link_tile("#FF6B5E", "#C81E1E")
    g.fill(Offset(Polygon([(10.0, 8.4), (15.6, 12.0), (10.0, 15.6)]), 1.0), (255, 255, 255), ss=3)
    return g


def link_bird():
    g = link_tile("#6CC6FF", "#1C7CC8")
    white = (255, 255, 255)
    # A small songbird facing right, wing raised.
    head = Circle(15.4, 9.6, 2.5)
    body = Place(Ellipse(0, 0, 5.0, 3.1), rotate=-18, at=(11.6, 13.2))
    beak = Polygon([(17.4, 8.7), (20.0, 9.6), (17.5, 10.6)])
    tail = Polygon([(8.0, 13.0), (3.8, 12.4), (5.6, 14.6), (4.6, 16.8), (8.8, 15.6)])
    wing = Polygon(path(("M", 8.6, 12.4), ("Q", 7.8, 7.4, 4.8, 5.8), ("Q", 10.8, 6.0, 13.2, 11.2),
                        ("Z",)))
    g.fill(Union(head, body, beak, tail, wing), white, ss=3)
    g.fill(Polyline(path(("M", 8.9, 12.6), ("Q", 10.6, 12.9, 12.6, 11.6), steps=6), 0.8),
           rgb("#5DB3F0"), ss=3)
    g.fill(Circle(16.0, 9.2, 0.62), rgb("#1C5F9C"), ss=3)
    return g


def link_letter(ch, light, dark, size, x_nudge=0.0, y=5.0):
    g = link_tile(light, dark)
    stroke = 2.3
    x = 12 - text_width(ch, size, stroke) / 2 + x_nudge
    g.fill(text_shape(ch, x, y, size, stroke), (255, 255, 255), ss=3)
    return g


def link_mail():
    g = link_tile("#FFC25A", "#D67A06")
    white = (255, 255, 255)
    g.fill(Box(5.5, 7.5, 18.5, 16.5, 1.2), white, ss=3)
    g.fill(Polyline([(6.3, 8.6), (12, 12.8), (17.7, 8.6)], 1.2), rgb("#D98A1C"), ss=3)
    return g


# --------------------------------------------------------------------------- program icon


def program_icon(size):
    g = Layer(size, size)
    s = size
    radius = s * 0.22
    if s <= 16:
        g.fill(Box(0, 0, 16, 16, 3.2), rgb("#1B2230"))
        g.fill(Box(0.8, 0.8, 15.2, 15.2, 2.6), linear(0, 0, rgb("#3A4A66"), 0, 16, ABOUT_BACKGROUND))
        g.fill(Place(handset(body=0.2, pad_th=0.32), scale=13.5, rotate=-45, origin=(0.5, 0.5),
                     at=(6.6, 9.2)), (255, 255, 255), ss=4)
        g.fill(Circle(12.3, 3.7, 2.3), rgb("#F0443A"), ss=4)
        return g
    inset = max(1.0, s / 64)
    g.fill(Box(0, 0, s, s, radius), rgb("#151A24"))
    g.fill(Box(inset, inset, s - inset, s - inset, radius - inset),
           vertical(0, rgb("#43557A"), s, ABOUT_BACKGROUND))
    pad = s * 0.12
    mark(g, pad, pad, s - 2 * pad, waves=2 if s >= 32 else 1, ss=2 if s <= 48 else 1)
    return g


# ------------------------------------------------------------- notification-area icon


TRAY_STATES = ("waiting", "linked", "recording")


def tray_icon(size, state):
    """The program icon's tile and handset, told apart by the state: waiting for the client in
    greys with an empty ring where the dot sits, linked with a green dot, recording with the red
    dot of the program icon in a white ring (and the sound waves where there is room)."""
    s = size
    g = Layer(s, s)
    waiting = state == "waiting"
    rim = rgb("#2A2E35") if waiting else rgb("#151A24" if s > 16 else "#1B2230")
    top, bottom = ((rgb("#646A74"), rgb("#3B3F46")) if waiting else
                   (rgb("#43557A" if s > 16 else "#3A4A66"), ABOUT_BACKGROUND))
    handset_paint = rgb("#BEC3CB") if waiting else (255, 255, 255)
    radius = 3.2 if s <= 16 else s * 0.22
    inset = 0.8 if s <= 16 else max(1.0, s / 64)
    g.fill(Box(0, 0, s, s, radius), rim)
    g.fill(Box(inset, inset, s - inset, s - inset, radius - inset),
           vertical(0, top, s, bottom))
    if s <= 16:
        g.fill(Place(handset(body=0.2, pad_th=0.32), scale=13.5, rotate=-45, origin=(0.5, 0.5),
                     at=(6.6, 9.2)), handset_paint, ss=4)
        dot_x, dot_y, dot_r = 12.3, 3.7, 2.5
    else:
        pad = s * 0.12
        waves = 2 if state == "recording" else 0
        mark(g, pad, pad, s - 2 * pad, waves=waves, handset_paint=handset_paint, dot_paint=None, ss=2)
        dot_x, dot_y, dot_r = pad + (s - 2 * pad) * 0.85, pad + (s - 2 * pad) * 0.15, s * 0.15
    if waiting:
        g.fill(Arc(dot_x, dot_y, dot_r * 0.72, 0, 360, dot_r * 0.5), rgb("#C9CED6"), ss=4)
    elif state == "linked":
        outlined(g, Circle(dot_x, dot_y, dot_r * 0.85), linear(dot_x, dot_y - dot_r, rgb("#8BEA7E"),
                                                               dot_x, dot_y + dot_r, rgb("#2E9E3C")),
                 rgb("#14521C"), width=0.8 if s <= 16 else 1.2, ss=4)
    else:
        g.fill(Circle(dot_x, dot_y, dot_r + (0.7 if s <= 16 else 1.2)), (255, 255, 255), ss=4)
        g.fill(Circle(dot_x, dot_y, dot_r), linear(dot_x, dot_y - dot_r, rgb("#FF7A6E"),
                                                   dot_x, dot_y + dot_r, rgb("#D3201A")), ss=4)
    return g


def ico_bytes(images):
    """An .ico file of PNG entries: Windows reads them at every size since Vista, at a fraction of
    the bytes of 32-bit bitmaps with their masks."""
    entries = [(layer.w, png_bytes(layer.rgba_rows())) for layer in images]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for s, data in entries:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in entries:
        out += data
    return out


# ------------------------------------------------------------------------------- output


def main_background():
    top = ramp(225, 245, 9)                  # rows 0..8
    plateau = [245] * (56 - 9)               # rows 9..55
    fall = ramp(245, 215, 237 - 55)[1:]      # rows 56..236, evenly down to 215
    return gradient_rows(top + plateau + fall)


def bar_strip():
    return gradient_rows([180, 255] + ramp(240, 216, 41))


def about_bottom():
    return gradient_rows([206, 252] + ramp(246, 222, 41))


KEYED = {
    "glyph-open.png": glyph_open,
    "glyph-delete.png": glyph_delete,
    "glyph-refresh.png": glyph_refresh,
    "glyph-browse.png": glyph_browse,
    "glyph-about.png": glyph_about,
    "glyph-settings.png": glyph_settings,
    "glyph-folder.png": glyph_folder,
    "glyph-ok.png": glyph_ok,
}
ALPHA = {
    "list-blue.png": lambda: list_icon("#7CBCF7", "#1D5FBE", "#16467F"),
    "list-green.png": lambda: list_icon("#8FE08A", "#2A9134", "#1D6123"),
    "link-play.png": link_play,
    "link-bird.png": link_bird,
    "link-f.png": lambda: link_letter("f", "#7D8FE0", "#2D3C9A", 13, x_nudge=0.6, y=5.5),
    "link-g.png": lambda: link_letter("g", "#5CD68E", "#1C8A48", 11, y=3.6),
    "link-mail.png": link_mail,
    "about-ok.png": about_ok,
}
OPAQUE = {
    "settings-header.png": settings_header,
    "about-header.png": about_header,
}
STRIPS = {
    "main-background.png": main_background,
    "bar.png": bar_strip,
    "about-bottom.png": about_bottom,
}


SCALES = (100, 125, 150, 200)


def write_pictures(out):
    """Every picture resource at the current scale."""
    os.makedirs(out, exist_ok=True)
    for name, draw in KEYED.items():
        write_png(os.path.join(out, name), keyed_rows(draw()))
    for name, draw in ALPHA.items():
        write_png(os.path.join(out, name), draw().rgba_rows())
    for name, draw in OPAQUE.items():
        write_png(os.path.join(out, name), draw().rgb_rows((0, 0, 0)))
    for name, draw in STRIPS.items():
        write_png(os.path.join(out, name), draw())


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(here)
    for scale in SCALES:
        raster.SCALE = scale / 100
        write_pictures(out if scale == 100 else os.path.join(out, str(scale)))
    raster.SCALE = 1.0
    # Icons hold a drawing for each size the system asks for: small and large at every scale.
    with open(os.path.join(out, "Callwright.ico"), "wb") as f:
        f.write(ico_bytes([program_icon(s) for s in (16, 20, 24, 32, 40, 48, 64, 256)]))
    # The notification-area icon: a PNG of each state and size to look at, and the .ico that the
    # program embeds (the small icon at 100, 125, 150 and 200 %), built from the same drawings.
    for state in TRAY_STATES:
        layers = [tray_icon(s, state) for s in (16, 20, 24, 32)]
        for layer in layers:
            write_png(os.path.join(out, "tray-%s-%d.png" % (state, layer.w)), layer.rgba_rows())
        with open(os.path.join(out, "tray-%s.ico" % state), "wb") as f:
            f.write(ico_bytes(layers))


if __name__ == "__main__":
    main()
