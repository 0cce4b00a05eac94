"""A tiny vector rasteriser: shapes are signed distance functions, painted with analytic or
supersampled anti-aliasing into premultiplied RGBA layers, written out as PNG (stdlib only)."""
import math
import struct
import zlib

INF = float("inf")


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


# ----------------------------------------------------------------------------------- shapes
# Every shape offers sdf(x, y) (negative inside, in the units of its coordinates) and bbox
# (x0, y0, x1, y1), a box that holds every point with sdf < 1.


class Shape:
    def __or__(self, other):
        return Union(self, other)

    def __sub__(self, other):
        return Subtract(self, other)

    def __and__(self, other):
        return Intersect(self, other)


class Circle(Shape):
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r
        self.bbox = (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1)

    def sdf(self, x, y):
        return math.hypot(x - self.cx, y - self.cy) - self.r


class Ellipse(Shape):
    """Approximate distance; good enough for anti-aliasing when the axes are not too unequal."""

    def __init__(self, cx, cy, rx, ry):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.bbox = (cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1)

    def sdf(self, x, y):
        dx, dy = (x - self.cx) / self.rx, (y - self.cy) / self.ry
        k0 = math.hypot(dx, dy)
        if k0 == 0:
            return -min(self.rx, self.ry)
        k1 = math.hypot(dx / self.rx, dy / self.ry)
        return k0 * (k0 - 1.0) / k1


class Box(Shape):
    def __init__(self, x0, y0, x1, y1, radius=0.0):
        self.cx, self.cy = (x0 + x1) / 2, (y0 + y1) / 2
        self.hx, self.hy = abs(x1 - x0) / 2, abs(y1 - y0) / 2
        self.r = min(radius, self.hx, self.hy)
        self.bbox = (min(x0, x1) - 1, min(y0, y1) - 1, max(x0, x1) + 1, max(y0, y1) + 1)

    def sdf(self, x, y):
        qx = abs(x - self.cx) - self.hx + self.r
        qy = abs(y - self.cy) - self.hy + self.r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - self.r


class Segment(Shape):
    """A stroke between two points with round caps; w is the full stroke width."""

    def __init__(self, ax, ay, bx, by, w):
        self.ax, self.ay, self.bx, self.by, self.hw = ax, ay, bx, by, w / 2
        self.dx, self.dy = bx - ax, by - ay
        self.len2 = self.dx * self.dx + self.dy * self.dy
        m = self.hw + 1
        self.bbox = (min(ax, bx) - m, min(ay, by) - m, max(ax, bx) + m, max(ay, by) + m)

    def sdf(self, x, y):
        px, py = x - self.ax, y - self.ay
        h = 0.0 if self.len2 == 0 else clamp((px * self.dx + py * self.dy) / self.len2)
        return math.hypot(px - self.dx * h, py - self.dy * h) - self.hw


class Arc(Shape):
    """A stroke along a circular arc from angle a0 to a1 in degrees, measured as on paper (0 to
    the right, 90 straight up) although y grows downwards; round caps, full width w."""

    def __init__(self, cx, cy, r, a0, a1, w):
        self.cx, self.cy, self.r, self.hw = cx, cy, r, w / 2
        if a1 < a0:
            a0, a1 = a1, a0
        self.a0, self.span = math.radians(a0), math.radians(a1 - a0)
        self.ends = [(cx + r * math.cos(math.radians(a)), cy - r * math.sin(math.radians(a)))
                     for a in (a0, a1)]
        m = r + self.hw + 1
        self.bbox = (cx - m, cy - m, cx + m, cy + m)

    def sdf(self, x, y):
        dx, dy = x - self.cx, self.cy - y
        a = (math.atan2(dy, dx) - self.a0) % (2 * math.pi)
        if a <= self.span:
            return abs(math.hypot(dx, dy) - self.r) - self.hw
        return min(math.hypot(x - ex, y - ey) for ex, ey in self.ends) - self.hw


class Polygon(Shape):
    """Filled polygon (even-odd rule) with its exact distance."""

    def __init__(self, points):
        self.pts = list(points)
        xs = [p[0] for p in self.pts]
        ys = [p[1] for p in self.pts]
        self.bbox = (min(xs) - 1, min(ys) - 1, max(xs) + 1, max(ys) + 1)
        n = len(self.pts)
        self.edges = []
        for i in range(n):
            ax, ay = self.pts[i]
            bx, by = self.pts[(i + 1) % n]
            ex, ey = bx - ax, by - ay
            self.edges.append((ax, ay, bx, by, ex, ey, ex * ex + ey * ey or 1e-12))

    def sdf(self, x, y):
        d2 = INF
        inside = False
        for ax, ay, bx, by, ex, ey, l2 in self.edges:
            wx, wy = x - ax, y - ay
            h = clamp((wx * ex + wy * ey) / l2)
            qx, qy = wx - ex * h, wy - ey * h
            q2 = qx * qx + qy * qy
            if q2 < d2:
                d2 = q2
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / (by - ay):
                inside = not inside
        d = math.sqrt(d2)
        return -d if inside else d


class Polyline(Shape):
    """An open stroke through points (round joins and caps)."""

    def __init__(self, points, w):
        pts = list(points)
        self.parts = [Segment(*pts[i], *pts[i + 1], w) for i in range(len(pts) - 1)]
        self.bbox = _bbox_union(p.bbox for p in self.parts)

    def sdf(self, x, y):
        return min(p.sdf(x, y) for p in self.parts)


def _bbox_union(boxes):
    boxes = list(boxes)
    return (min(b[0] for b in boxes), min(b[1] for b in boxes),
            max(b[2] for b in boxes), max(b[3] for b in boxes))


class Union(Shape):
    def __init__(self, *shapes):
        self.shapes = [s for s in shapes if s is not None]
        self.bbox = _bbox_union(s.bbox for s in self.shapes)

    def sdf(self, x, y):
        d = INF
        for s in self.shapes:
            b = s.bbox
            # Outside its box a part is at least 1 away, so it cannot lower a distance of 1 or less.
            if d <= 1 and not (b[0] <= x <= b[2] and b[1] <= y <= b[3]):
                continue
            v = s.sdf(x, y)
            if v < d:
                d = v
        return d


class Subtract(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.bbox = a.bbox

    def sdf(self, x, y):
        return max(self.a.sdf(x, y), -self.b.sdf(x, y))


class Intersect(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        ba, bb = a.bbox, b.bbox
        self.bbox = (max(ba[0], bb[0]), max(ba[1], bb[1]), min(ba[2], bb[2]), min(ba[3], bb[3]))

    def sdf(self, x, y):
        return max(self.a.sdf(x, y), self.b.sdf(x, y))


class Offset(Shape):
    """Grows (d > 0) or shrinks (d < 0) a shape."""

    def __init__(self, shape, d):
        self.shape, self.d = shape, d
        b = shape.bbox
        g = max(d, 0)
        self.bbox = (b[0] - g, b[1] - g, b[2] + g, b[3] + g)

    def sdf(self, x, y):
        return self.shape.sdf(x, y) - self.d


class Outline(Shape):
    """The band of width w centred on a shape's edge."""

    def __init__(self, shape, w):
        self.shape, self.hw = shape, w / 2
        b = shape.bbox
        self.bbox = (b[0] - self.hw, b[1] - self.hw, b[2] + self.hw, b[3] + self.hw)

    def sdf(self, x, y):
        return abs(self.shape.sdf(x, y)) - self.hw


class Place(Shape):
    """A shape drawn in design units, rotated by `rotate` degrees (clockwise on screen) about
    the design point `origin`, scaled by `scale` and put with `origin` at `at`."""

    def __init__(self, shape, scale=1.0, rotate=0.0, origin=(0.0, 0.0), at=(0.0, 0.0)):
        self.shape, self.s = shape, scale
        self.ox, self.oy = origin
        self.tx, self.ty = at
        a = math.radians(rotate)
        self.c, self.si = math.cos(a), math.sin(a)
        b = shape.bbox
        corners = [self._fwd(px, py) for px in (b[0], b[2]) for py in (b[1], b[3])]
        self.bbox = (min(p[0] for p in corners) - 1, min(p[1] for p in corners) - 1,
                     max(p[0] for p in corners) + 1, max(p[1] for p in corners) + 1)

    def _fwd(self, x, y):
        x, y = (x - self.ox) * self.s, (y - self.oy) * self.s
        return (self.tx + x * self.c - y * self.si, self.ty + x * self.si + y * self.c)

    def sdf(self, x, y):
        x, y = x - self.tx, y - self.ty
        rx, ry = x * self.c + y * self.si, -x * self.si + y * self.c
        return self.shape.sdf(rx / self.s + self.ox, ry / self.s + self.oy) * self.s


# ------------------------------------------------------------------------------------ paths


def bezier_points(p0, p1, p2, p3=None, steps=16):
    """Points of a quadratic (three points) or cubic (four points) curve, p0 excluded."""
    out = []
    for i in range(1, steps + 1):
        t = i / steps
        u = 1 - t
        if p3 is None:
            out.append((u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0],
                        u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]))
        else:
            out.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                        u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return out


def path(*commands, steps=16):
    """Points from commands ('M', x, y), ('L', x, y), ('Q', x1, y1, x, y), ('C', x1, y1, x2, y2, x, y)."""
    pts = []
    for cmd in commands:
        op, v = cmd[0], cmd[1:]
        if op in "ML":
            pts.append((v[0], v[1]))
        elif op == "Q":
            pts += bezier_points(pts[-1], (v[0], v[1]), (v[2], v[3]), steps=steps)
        elif op == "C":
            pts += bezier_points(pts[-1], (v[0], v[1]), (v[2], v[3]), (v[4], v[5]), steps=steps)
        elif op == "Z":
            pass  # polygons close themselves
        else:
            raise ValueError(op)
    return pts


# ------------------------------------------------------------------------------------ paint


def rgb(hexstr):
    hexstr = hexstr.lstrip("#")
    return tuple(int(hexstr[i:i + 2], 16) for i in (0, 2, 4))


def mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def linear(x0, y0, c0, x1, y1, c1):
    """A linear gradient from c0 at (x0, y0) to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    l2 = dx * dx + dy * dy or 1e-12

    def paint(x, y):
        return mix(c0, c1, clamp(((x - x0) * dx + (y - y0) * dy) / l2))
    return paint


def radial(cx, cy, r, c0, c1):
    def paint(x, y):
        return mix(c0, c1, clamp(math.hypot(x - cx, y - cy) / r))
    return paint


# Pictures are drawn in design pixels (100 %); a layer made while SCALE is k has round(k * size)
# pixels, and its shapes, paints, offsets and blurs are scaled by k.
SCALE = 1.0


def scaled(v, k):
    """v * k rounded half up, as the program's MulDiv rounds window geometry."""
    return int(math.floor(v * k + 0.5))


class Layer:
    """Premultiplied RGBA, channels 0..1 (colours given as 0..255)."""

    def __init__(self, w, h, fill=None, k=None):
        self.k = SCALE if k is None else k
        w, h = scaled(w, self.k), scaled(h, self.k)
        self.w, self.h = w, h
        n = w * h
        if fill is None:
            self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(n)]
        else:
            a = fill[3] / 255 if len(fill) > 3 else 1.0
            self.px = [[fill[0] / 255 * a, fill[1] / 255 * a, fill[2] / 255 * a, a] for _ in range(n)]

    def blend(self, x, y, colour, cov):
        """Paints `colour` over pixel (x, y) with coverage `cov`."""
        if cov <= 0:
            return
        a = (colour[3] / 255 if len(colour) > 3 else 1.0) * cov
        p = self.px[y * self.w + x]
        k = 1 - a
        p[0] = colour[0] / 255 * a + p[0] * k
        p[1] = colour[1] / 255 * a + p[1] * k
        p[2] = colour[2] / 255 * a + p[2] * k
        p[3] = a + p[3] * k

    def fill(self, shape, paint, ss=1, opacity=1.0):
        """Fills a shape; `paint` is a colour or a function of the pixel centre giving one.
        ss > 1 supersamples ss x ss points a pixel, for shapes whose distance is inexact."""
        if self.k != 1:
            k = self.k
            shape = Place(shape, scale=k)
            if callable(paint):
                design_paint = paint
                paint = lambda x, y: design_paint(x / k, y / k)
        b = shape.bbox
        x0, y0 = max(0, int(math.floor(b[0]))), max(0, int(math.floor(b[1])))
        x1, y1 = min(self.w - 1, int(math.ceil(b[2]))), min(self.h - 1, int(math.ceil(b[3])))
        offs = [((i + 0.5) / ss, (j + 0.5) / ss) for j in range(ss) for i in range(ss)]
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                if ss == 1:
                    cov = clamp(0.5 - shape.sdf(x + 0.5, y + 0.5))
                else:
                    cov = sum(clamp(0.5 - shape.sdf(x + ox, y + oy) * ss) for ox, oy in offs) / len(offs)
                if cov > 0:
                    colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
                    self.blend(x, y, colour, cov * opacity)

    def coverage(self, shape, ss=1):
        """The anti-aliased coverage of a shape as a mask (list of floats)."""
        m = Layer(self.w, self.h, k=1)
        m.fill(Place(shape, scale=self.k) if self.k != 1 else shape, (255, 255, 255), ss=ss)
        return [p[3] for p in m.px]

    def draw(self, other, dx=0, dy=0, opacity=1.0):
        """Composites another layer over this one (offsets in design pixels)."""
        dx, dy = scaled(dx, self.k), scaled(dy, self.k)
        for y in range(other.h):
            ty = y + dy
            if not 0 <= ty < self.h:
                continue
            for x in range(other.w):
                tx = x + dx
                if not 0 <= tx < self.w:
                    continue
                s = other.px[y * other.w + x]
                a = s[3] * opacity
                if a <= 0:
                    continue
                d = self.px[ty * self.w + tx]
                k = 1 - a
                d[0] = s[0] * opacity + d[0] * k
                d[1] = s[1] * opacity + d[1] * k
                d[2] = s[2] * opacity + d[2] * k
                d[3] = a + d[3] * k

    def shadow(self, radius, colour=(0, 0, 0), strength=0.6):
        """A blurred silhouette of this layer in `colour` (box blur applied three times)."""
        alpha = [p[3] for p in self.px]
        w, h = self.w, self.h
        radius = max(1, scaled(radius, self.k))
        for _ in range(3):
            alpha = _box_blur(alpha, w, h, radius)
        out = Layer(w, h, k=1)
        out.k = self.k
        for i, a in enumerate(alpha):
            a *= strength
            out.px[i] = [colour[0] / 255 * a, colour[1] / 255 * a, colour[2] / 255 * a, a]
        return out

    def get(self, x, y):
        """Straight (not premultiplied) 0..255 RGBA of a pixel."""
        r, g, b, a = self.px[y * self.w + x]
        if a <= 0:
            return (0, 0, 0, 0)
        return tuple(int(round(clamp(v / a) * 255)) for v in (r, g, b)) + (int(round(a * 255)),)

    def rgba_rows(self):
        return [[self.get(x, y) for x in range(self.w)] for y in range(self.h)]

    def rgb_rows(self, background=(255, 255, 255)):
        """Flattened over a background colour."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                k = 1 - a
                row.append(tuple(int(round(clamp(c + bg / 255 * k) * 255))
                                 for c, bg in zip((r, g, b), background)))
            rows.append(row)
        return rows


def _box_blur(values, w, h, r):
    out = values[:]
    for y in range(h):  # horizontal
        row = values[y * w:(y + 1) * w]
        for x in range(w):
            lo, hi = max(0, x - r), min(w - 1, x + r)
            out[y * w + x] = sum(row[lo:hi + 1]) / (2 * r + 1)
    res = out[:]
    for x in range(w):  # vertical
        col = [out[y * w + x] for y in range(h)]
        for y in range(h):
            lo, hi = max(0, y - r), min(h - 1, y + r)
            res[y * w + x] = sum(col[lo:hi + 1]) / (2 * r + 1)
    return res


# -------------------------------------------------------------------------------------- PNG


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png_bytes(rows):
    """PNG file bytes of rows of (r, g, b) or (r, g, b, a) tuples: 8-bit RGB or RGBA."""
    h, w = len(rows), len(rows[0])
    channels = len(rows[0][0])
    colour_type = {3: 2, 4: 6}[channels]
    raw = bytearray()
    prev = bytes(w * channels)
    for row in rows:
        line = bytes(v for px in row for v in px)
        # Sub or Up filter, whichever gives the smaller sum: keeps the files small and stable.
        sub = bytes((line[i] - (line[i - channels] if i >= channels else 0)) & 0xFF for i in range(len(line)))
        up = bytes((line[i] - prev[i]) & 0xFF for i in range(len(line)))
        cost = lambda data: sum(v if v < 128 else 256 - v for v in data)
        best = min(((0, line), (1, sub), (2, up)), key=lambda f: cost(f[1]))
        raw.append(best[0])
        raw += best[1]
        prev = line
    ihdr = struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", ihdr) +
            _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def write_png(filename, rows):
    with open(filename, "wb") as f:
        f.write(png_bytes(rows))
