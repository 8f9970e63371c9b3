#!/usr/bin/python3
"""Generate Vitrane's committed resources deterministically.

Writes into resources/ at the repository root (or --out DIR):

    WoodGrain1200x900.jpg          procedural photographed-looking table top
    SingleRadialMask80x80.png      radial erase brush (black centre, white rim)
    FakeHomeFinalBlueTileIcon.jpg  fake tablet home screen, 768 x 1024
    Dit Hit 2.aif                  short percussive tick
    BellTransitionTrimmed.aif      soft bell chime
    Squeak.aif                     short rubbery squeak
    PushPin48x48.png               the pivot marker
    web/icon-192.png, web/icon-512.png, web/icon-maskable-512.png,
    web/apple-touch-icon.png       the installable web app's icons
    icons/hicolor/NxN/apps/com.quillfen.Vitrane.png
                                   the desktop's menu icons (48 to 512)

Everything is seeded, so running the script again gives identical files.
Needs only Debian's python3-numpy and python3-pil.
"""

import argparse
import math
import os
import struct
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUT = os.path.join(REPO_ROOT, "resources")
FONT_DIR = "/usr/share/fonts/truetype/dejavu"


# ---------------------------------------------------------------------------
# Noise helpers
# ---------------------------------------------------------------------------

def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


class Perlin:
    """2-D gradient noise on a periodic lattice, sampled at arbitrary points."""

    def __init__(self, seed, period=256):
        rng = np.random.default_rng(seed)
        ang = rng.uniform(0.0, 2.0 * math.pi, (period, period))
        self.gx = np.cos(ang)
        self.gy = np.sin(ang)
        self.p = period

    def __call__(self, x, y):
        x0 = np.floor(x)
        y0 = np.floor(y)
        fx = x - x0
        fy = y - y0
        ix = x0.astype(np.int64) % self.p
        iy = y0.astype(np.int64) % self.p
        ix1 = (ix + 1) % self.p
        iy1 = (iy + 1) % self.p

        def corner(cy, cx, dx, dy):
            return self.gx[cy, cx] * dx + self.gy[cy, cx] * dy

        n00 = corner(iy, ix, fx, fy)
        n10 = corner(iy, ix1, fx - 1.0, fy)
        n01 = corner(iy1, ix, fx, fy - 1.0)
        n11 = corner(iy1, ix1, fx - 1.0, fy - 1.0)
        u = fx * fx * fx * (fx * (fx * 6.0 - 15.0) + 10.0)
        v = fy * fy * fy * (fy * (fy * 6.0 - 15.0) + 10.0)
        a = n00 + u * (n10 - n00)
        b = n01 + u * (n11 - n01)
        return (a + v * (b - a)) * 1.41


def fbm(seed, x, y, octaves=4, gain=0.5, lacunarity=2.0):
    total = np.zeros_like(x, dtype=np.float64)
    amp = 1.0
    norm = 0.0
    f = 1.0
    for i in range(octaves):
        total += amp * Perlin(seed * 31 + i)(x * f + 17.3 * i, y * f + 5.1 * i)
        norm += amp
        amp *= gain
        f *= lacunarity
    return total / norm


# ---------------------------------------------------------------------------
# Wood grain
# ---------------------------------------------------------------------------

WOOD_W, WOOD_H = 1200, 900

# Plank layout: top edge, height and the log each board was sawn from.
# axis_v: where the log's axis lies across the board (may be outside it),
# depth0/depth_slope/depth_x: distance from the board face down to the axis,
# which changes slowly along the board (cathedral figure where it is small).
PLANKS = [
    dict(top=0, height=292, seed=11, axis_v=175.0, depth0=60.0, depth_slope=0.085,
         depth_x=-140.0, ring=7.0, tone=1.00, hue=0.00, wave=1.0),
    dict(top=292, height=318, seed=23, axis_v=-420.0, depth0=150.0, depth_slope=0.03,
         depth_x=300.0, ring=6.5, tone=0.94, hue=0.025, wave=2.2),
    dict(top=610, height=290, seed=37, axis_v=110.0, depth0=45.0, depth_slope=0.075,
         depth_x=1380.0, ring=8.0, tone=1.04, hue=-0.015, wave=1.0),
]

# Knots: (x, y in image, radius x, radius y)
KNOTS = [
    (842.0, 200.0, 13.0, 9.0),
    (268.0, 800.0, 9.0, 6.5),
]

LIGHT_WOOD = np.array([192.0, 138.0, 88.0])
MID_WOOD = np.array([152.0, 98.0, 57.0])
DARK_WOOD = np.array([92.0, 52.0, 27.0])


def wood_plank(p, xs, vs):
    """Return (tone t in 0..1 where 1 is dark, latewood amount) for one plank."""
    s = p["seed"]
    h = p["height"]
    # Large gentle waviness of the whole board and smaller wobble of the grain.
    warp = (10.0 * p["wave"] * fbm(s + 1, xs / 700.0, vs / 300.0, octaves=3)
            + 5.0 * p["wave"] * fbm(s + 13, xs / 160.0, vs / 160.0, octaves=2)
            + 1.5 * fbm(s + 2, xs / 220.0, vs / 60.0, octaves=3)
            + 2.5 * np.sin(xs / 260.0 + s))

    # Grain flows around knots: lines are pushed away from each knot.
    for kx, ky, rx, ry in KNOTS:
        kv = ky - p["top"]
        if -4 * ry < kv < h + 4 * ry:
            dx = (xs - kx) / (rx * 5.0)
            dy = (vs - kv) / (ry * 3.0)
            bump = np.exp(-(dx * dx + dy * dy))
            warp = warp + 2.2 * ry * bump * np.tanh((vs - kv) / ry)
    v = vs - warp

    # Distance from the board face down to the log axis grows along the board
    # (the log was sawn at a slight angle to its axis): cathedral figure.
    d = (p["depth0"] + p["depth_slope"] * np.abs(xs - p["depth_x"])
         + 45.0 * fbm(s + 3, xs / 500.0, vs / 800.0, octaves=2))
    r = np.sqrt((v - p["axis_v"]) ** 2 + d ** 2)

    # Ring widths vary year to year.
    ring = p["ring"]
    phase = r / ring + 2.6 * fbm(s + 4, r / 28.0, np.zeros_like(r) + s + 0.5, octaves=3)
    phase = phase + 0.05 * fbm(s + 5, xs / 60.0, vs / 20.0, octaves=2)
    frac = phase - np.floor(phase)
    # Earlywood (light) gradually darkening into latewood, sharp boundary back.
    late = smoothstep(0.45, 0.90, frac) * (1.0 - smoothstep(0.93, 1.0, frac))
    line = np.exp(-((frac - 0.93) / 0.035) ** 2)
    # Ring contrast varies from year to year and along the board.
    yr = np.floor(phase)
    contrast = (0.25 + 0.30 * (0.5 + 0.5 * fbm(s + 6, yr * 0.41, np.zeros_like(r) + 3.5, octaves=2))) \
        * (0.8 + 0.4 * fbm(s + 10, xs / 400.0, vs / 400.0, octaves=2))
    t = 0.36 + contrast * (late - 0.3) + 0.08 * line
    # Some years are darker overall.
    t = t + 0.08 * fbm(s + 14, yr * 0.23, np.zeros_like(r) + 7.5, octaves=2)

    # Fine streaks along the fibres (which run along the board).
    fine = (0.6 * fbm(s + 7, xs / 300.0, v / 1.8, octaves=2)
            + 0.4 * fbm(s + 8, xs / 90.0, v / 0.9, octaves=2))
    t = t + 0.08 * fine

    # Pores: short dark dashes along the fibres, mostly in the earlywood.
    pn = Perlin(s + 12)(xs / 6.0, v / 0.9)
    pores = smoothstep(0.40, 0.75, pn) * (1.15 - late)
    t = t + 0.12 * pores

    # Broad colour drift (heartwood streaks), mottling and fibre texture.
    t = t + 0.10 * fbm(s + 9, xs / 500.0, v / 50.0, octaves=3)
    t = t + 0.05 * fbm(s + 15, xs / 120.0, v / 22.0, octaves=3)
    t = t + 0.04 * Perlin(s + 16)(xs / 22.0, v / 0.6)
    return t, late


def make_wood(path):
    H, W = WOOD_H, WOOD_W
    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64)
    tone = np.zeros((H, W))
    lateness = np.zeros((H, W))
    tint = np.zeros((H, W))
    hue = np.zeros((H, W))

    for p in PLANKS:
        a, b = p["top"], p["top"] + p["height"]
        t, late = wood_plank(p, xs[a:b], ys[a:b] - a)
        tone[a:b] = t
        lateness[a:b] = late
        tint[a:b] = p["tone"]
        hue[a:b] = p["hue"]

    # Knot bodies: dark, with their own tight concentric rings and a soft halo.
    rng = np.random.default_rng(4711)
    for kx, ky, rx, ry in KNOTS:
        dx = (xs - kx) / rx
        dy = (ys - ky) / ry
        wob = 0.12 * fbm(int(kx), xs / 6.0, ys / 6.0, octaves=2)
        rr = np.sqrt(dx * dx + dy * dy) + wob
        body = 1.0 - smoothstep(0.85, 1.1, rr)
        rings = 0.5 + 0.5 * np.cos(rr * 2.0 * math.pi * 3.2)
        halo = np.exp(-((rr - 1.0) ** 2) / 0.35) * (rr > 1.0)
        core = 0.80 + 0.12 * rings - 0.10 * (1.0 - smoothstep(0.0, 0.35, rr))
        tone = tone * (1.0 - body) + core * body + 0.22 * halo
        # A hairline check through the knot.
        ang = rng.uniform(-0.3, 0.3)
        along = (xs - kx) * math.cos(ang) + (ys - ky) * math.sin(ang)
        across = -(xs - kx) * math.sin(ang) + (ys - ky) * math.cos(ang)
        crack = np.exp(-(across / 0.9) ** 2) * (np.abs(along) < rx * 0.8)
        tone = tone + 0.25 * crack * body

    # Very fine sensor-like noise.
    tone = tone + 0.025 * (rng.random((H, W)) - 0.5)

    tone = np.clip(tone, 0.0, 1.0)

    # Colour ramp light -> mid -> dark.
    t3 = tone[..., None]
    lo = LIGHT_WOOD + (MID_WOOD - LIGHT_WOOD) * np.clip(t3 / 0.5, 0, 1)
    rgb = lo + (DARK_WOOD - MID_WOOD) * np.clip((t3 - 0.5) / 0.5, 0, 1)

    # Per-plank tone and slight hue shift (more red / more yellow).
    rgb = rgb * tint[..., None]
    rgb[..., 0] *= 1.0 + hue
    rgb[..., 2] *= 1.0 - 1.5 * hue

    # Plank seams: a thin dark groove with a faint highlight below it.
    for p in PLANKS[1:]:
        y0 = p["top"]
        dy = ys - y0 + 0.25 * np.sin(xs / 300.0)
        groove = np.exp(-(dy / 1.1) ** 2)
        lip = np.exp(-((dy - 2.5) / 1.3) ** 2)
        rgb = rgb * (1.0 - 0.62 * groove[..., None]) + 14.0 * lip[..., None]

    # Soft lighting: a broad window light from the upper left, a faint sheen
    # of varnish and a little vignetting.
    nx = xs / W - 0.5
    ny = ys / H - 0.5
    light = 1.0 + 0.06 * (-0.9 * nx - 0.6 * ny)
    light += 0.05 * np.exp(-((nx + 0.18) ** 2 / 0.05 + (ny + 0.2) ** 2 / 0.09))
    light -= 0.10 * (nx * nx + ny * ny)
    light += 0.02 * fbm(99, xs / 350.0, ys / 350.0, octaves=2)
    rgb = rgb * light[..., None]
    # Slightly desaturate towards luminance, like a real photo of oiled wood.
    lum = (rgb @ np.array([0.299, 0.587, 0.114]))[..., None]
    rgb = lum + (rgb - lum) * 0.92

    img = Image.fromarray(np.clip(np.round(rgb), 0, 255).astype(np.uint8), "RGB")
    img.save(path, "JPEG", quality=90, optimize=True)


# ---------------------------------------------------------------------------
# Radial mask
# ---------------------------------------------------------------------------

def make_mask(path):
    n = 80
    c = n / 2.0
    ys, xs = np.mgrid[0:n, 0:n].astype(np.float64) + 0.5
    r = np.sqrt((xs - c) ** 2 + (ys - c) ** 2)
    inner, outer = 12.0, 40.0
    v = smoothstep(inner, outer, r)
    Image.fromarray(np.round(v * 255.0).astype(np.uint8), "L").save(path, "PNG", optimize=True)


# ---------------------------------------------------------------------------
# Push pin: the pivot marker, a red pin head seen from above with its shadow
# ---------------------------------------------------------------------------

def make_pushpin(path):
    n, ss = 48, 4
    N = n * ss
    ys, xs = np.mgrid[0:N, 0:N].astype(np.float64) + 0.5
    xs /= ss
    ys /= ss
    c = n / 2.0
    # Soft shadow, offset down and to the right.
    rs = np.sqrt((xs - c - 3) ** 2 + (ys - c - 4) ** 2)
    shadow_a = (1.0 - smoothstep(10.0, 17.0, rs)) * 0.45
    # The head: a sphere lit from the upper left.
    r = np.sqrt((xs - c) ** 2 + (ys - c) ** 2)
    radius = 13.0
    inside = np.clip((radius - r) * 1.5, 0.0, 1.0)
    nz = np.sqrt(np.clip(1.0 - (r / radius) ** 2, 0.0, 1.0))
    nx, ny = (xs - c) / radius, (ys - c) / radius
    light = np.clip(-0.45 * nx - 0.55 * ny + 0.7 * nz, 0.0, 1.0)
    shine = np.clip(-0.45 * nx - 0.55 * ny + 0.7 * nz, 0.0, 1.0) ** 24
    red = np.stack([0.80 * light + 0.15, 0.10 * light + 0.02, 0.10 * light + 0.03], axis=-1)
    red = np.clip(red + shine[..., None] * 0.9, 0.0, 1.0)
    rgb = red * inside[..., None]
    alpha = inside + shadow_a * (1.0 - inside)
    rgb = np.where(alpha[..., None] > 0, rgb / np.maximum(alpha[..., None], 1e-6), 0.0)
    rgba = np.concatenate([rgb, alpha[..., None]], axis=-1)
    rgba = rgba.reshape(n, ss, n, ss, 4).mean(axis=(1, 3))
    img = Image.fromarray(np.round(np.clip(rgba, 0, 1) * 255.0).astype(np.uint8), "RGBA")
    img.save(path, "PNG", optimize=True)


# ---------------------------------------------------------------------------
# Fake home screen
# ---------------------------------------------------------------------------

SS = 2  # supersampling factor
HS_W, HS_H = 768, 1024


def font(name, size):
    path = os.path.join(FONT_DIR, name)
    if os.path.exists(path):
        return ImageFont.truetype(path, size)
    return None


def lerp_rgb(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def wallpaper():
    W, H = HS_W * SS, HS_H * SS
    ys, xs = np.mgrid[0:H, 0:W].astype(np.float64)
    nx, ny = xs / W, ys / H
    top = np.array([24.0, 62.0, 140.0])
    bottom = np.array([8.0, 22.0, 66.0])
    g = ny[..., None]
    rgb = top + (bottom - top) * g
    # A couple of soft light swells, like a default wallpaper.
    for cx, cy, rad, col, k in [(0.25, 0.30, 0.35, (70, 140, 230), 0.55),
                                (0.85, 0.65, 0.30, (40, 110, 210), 0.45),
                                (0.50, 0.95, 0.40, (20, 70, 160), 0.50)]:
        d2 = ((nx - cx) ** 2 + ((ny - cy) * 0.75) ** 2) / (rad * rad)
        w = np.exp(-d2 * 2.0)[..., None] * k
        rgb = rgb * (1 - w) + np.array(col, dtype=np.float64) * w
    # Gentle diagonal ribbons.
    band = 0.5 + 0.5 * np.sin((nx * 2.2 + ny * 3.1) * math.pi + 1.3 * np.sin(nx * 3.0))
    rgb = rgb + (band ** 6)[..., None] * np.array([16.0, 28.0, 40.0])
    rng = np.random.default_rng(2024)
    rgb = rgb + (rng.random((H, W, 1)) - 0.5) * 3.0
    return Image.fromarray(np.clip(np.round(rgb), 0, 255).astype(np.uint8), "RGB")


def rounded_mask(size, radius):
    m = Image.new("L", (size, size), 0)
    ImageDraw.Draw(m).rounded_rectangle((0, 0, size - 1, size - 1), radius=radius, fill=255)
    return m


def icon_base(size, c1, c2):
    """Rounded square with a vertical gradient and a soft gloss."""
    t = np.linspace(0.0, 1.0, size)[:, None, None]
    a = np.array(c1, dtype=np.float64)
    b = np.array(c2, dtype=np.float64)
    grad = a + (b - a) * t
    grad = np.repeat(grad, size, axis=1)
    img = Image.fromarray(np.clip(np.round(grad), 0, 255).astype(np.uint8), "RGB").convert("RGBA")
    return img


def gloss(size):
    g = Image.new("L", (size, size), 0)
    d = ImageDraw.Draw(g)
    d.ellipse((-size * 0.35, -size * 0.95, size * 1.35, size * 0.48), fill=70)
    return g.filter(ImageFilter.GaussianBlur(size * 0.01))


# Glyph painters: each gets (draw, size, fonts) and draws into the icon square.

def g_notes(d, s, f):
    d.rectangle((0, 0, s, s * 0.2), fill=(150, 98, 40))
    for i in range(5):
        y = s * (0.36 + i * 0.13)
        d.line((s * 0.14, y, s * 0.86, y), fill=(170, 150, 110), width=max(2, s // 40))
    d.line((s * 0.24, s * 0.22, s * 0.24, s), fill=(220, 120, 120), width=max(2, s // 50))


def g_clock(d, s, f):
    d.ellipse((s * 0.12, s * 0.12, s * 0.88, s * 0.88), fill=(250, 250, 250), outline=(40, 40, 40), width=s // 30)
    c = s / 2
    for k in range(12):
        a = k * math.pi / 6
        r0, r1 = s * 0.30, s * 0.34
        d.line((c + r0 * math.sin(a), c - r0 * math.cos(a), c + r1 * math.sin(a), c - r1 * math.cos(a)),
               fill=(30, 30, 30), width=max(2, s // 60))
    d.line((c, c, c + s * 0.16, c - s * 0.10), fill=(20, 20, 20), width=s // 24)
    d.line((c, c, c - s * 0.05, c - s * 0.27), fill=(20, 20, 20), width=s // 34)
    d.line((c, c, c - s * 0.2, c + s * 0.15), fill=(220, 60, 40), width=max(2, s // 80))
    d.ellipse((c - s * 0.03, c - s * 0.03, c + s * 0.03, c + s * 0.03), fill=(220, 60, 40))


def g_mail(d, s, f):
    box = (s * 0.16, s * 0.28, s * 0.84, s * 0.72)
    d.rectangle(box, fill=(245, 248, 252), outline=(150, 170, 200), width=s // 60)
    d.line((box[0], box[1], s * 0.5, s * 0.53, box[2], box[1]), fill=(150, 170, 200), width=s // 40)


def g_photos(d, s, f):
    d.rectangle((s * 0.14, s * 0.2, s * 0.86, s * 0.8), fill=(255, 255, 255))
    d.rectangle((s * 0.19, s * 0.25, s * 0.81, s * 0.75), fill=(120, 190, 245))
    d.ellipse((s * 0.58, s * 0.31, s * 0.72, s * 0.45), fill=(255, 220, 80))
    d.polygon([(s * 0.19, s * 0.75), (s * 0.40, s * 0.42), (s * 0.58, s * 0.66), (s * 0.66, s * 0.56),
               (s * 0.81, s * 0.75)], fill=(70, 150, 80))


def g_maps(d, s, f):
    d.rectangle((0, 0, s, s), fill=(226, 222, 208))
    d.polygon([(0, s * 0.55), (s * 0.45, s * 0.4), (s, s * 0.7), (s, s), (0, s)], fill=(170, 210, 150))
    d.line((0, s * 0.3, s, s * 0.8), fill=(250, 200, 70), width=s // 10)
    d.line((s * 0.65, 0, s * 0.35, s), fill=(255, 255, 255), width=s // 14)
    d.ellipse((s * 0.56, s * 0.18, s * 0.78, s * 0.40), fill=(220, 50, 50))
    d.polygon([(s * 0.58, s * 0.33), (s * 0.76, s * 0.33), (s * 0.67, s * 0.52)], fill=(220, 50, 50))
    d.ellipse((s * 0.635, s * 0.255, s * 0.705, s * 0.325), fill=(255, 255, 255))


def g_music(d, s, f):
    if f["glyph"]:
        fb = font("DejaVuSans-Bold.ttf", int(s * 0.62))
        d.text((s * 0.5, s * 0.54), "\u266b", font=fb, fill=(255, 255, 255), anchor="mm")
    else:
        d.ellipse((s * 0.25, s * 0.6, s * 0.45, s * 0.76), fill=(255, 255, 255))
        d.rectangle((s * 0.41, s * 0.22, s * 0.45, s * 0.68), fill=(255, 255, 255))


def g_weather(d, s, f):
    d.ellipse((s * 0.18, s * 0.16, s * 0.58, s * 0.56), fill=(255, 214, 60))
    for cx, cy, r in [(0.42, 0.62, 0.16), (0.60, 0.55, 0.20), (0.76, 0.64, 0.14)]:
        d.ellipse((s * (cx - r), s * (cy - r), s * (cx + r), s * (cy + r)), fill=(250, 252, 255))
    d.rectangle((s * 0.28, s * 0.62, s * 0.88, s * 0.78), fill=(250, 252, 255))


def g_calendar(d, s, f):
    d.rectangle((0, 0, s, s * 0.3), fill=(215, 45, 40))
    fb = f["bold"]
    if fb:
        d.text((s * 0.5, s * 0.155), "Wednesday", font=font("DejaVuSans-Bold.ttf", int(s * 0.12)),
               fill=(255, 255, 255), anchor="mm")
        d.text((s * 0.5, s * 0.66), "14", font=font("DejaVuSans.ttf", int(s * 0.5)),
               fill=(40, 40, 40), anchor="mm")
    else:
        for i in range(3):
            for j in range(4):
                x, y = s * (0.18 + j * 0.18), s * (0.42 + i * 0.16)
                d.rectangle((x, y, x + s * 0.1, y + s * 0.1), fill=(60, 60, 60))


def g_camera(d, s, f):
    d.rounded_rectangle((s * 0.14, s * 0.3, s * 0.86, s * 0.76), radius=s * 0.06, fill=(60, 62, 68))
    d.rectangle((s * 0.36, s * 0.22, s * 0.62, s * 0.32), fill=(60, 62, 68))
    d.ellipse((s * 0.32, s * 0.34, s * 0.68, s * 0.70), fill=(200, 205, 215))
    d.ellipse((s * 0.38, s * 0.40, s * 0.62, s * 0.64), fill=(30, 40, 70))
    d.ellipse((s * 0.44, s * 0.44, s * 0.51, s * 0.51), fill=(170, 190, 240))


def g_calculator(d, s, f):
    d.rectangle((s * 0.18, s * 0.12, s * 0.82, s * 0.28), fill=(190, 210, 180))
    for i in range(4):
        for j in range(4):
            x, y = s * (0.18 + j * 0.165), s * (0.34 + i * 0.14)
            col = (250, 150, 40) if j == 3 else (220, 222, 228)
            d.rounded_rectangle((x, y, x + s * 0.13, y + s * 0.1), radius=s * 0.02, fill=col)


def g_settings(d, s, f):
    c = s / 2
    pts = []
    teeth = 10
    for k in range(teeth * 4):
        a = k * 2 * math.pi / (teeth * 4)
        r = s * (0.36 if (k % 4) in (0, 1) else 0.28)
        pts.append((c + r * math.cos(a), c + r * math.sin(a)))
    d.polygon(pts, fill=(200, 203, 210))
    d.ellipse((c - s * 0.15, c - s * 0.15, c + s * 0.15, c + s * 0.15), fill=(110, 114, 122))
    d.ellipse((c - s * 0.07, c - s * 0.07, c + s * 0.07, c + s * 0.07), fill=(200, 203, 210))


def g_contacts(d, s, f):
    d.ellipse((s * 0.36, s * 0.18, s * 0.64, s * 0.46), fill=(245, 245, 245))
    d.chord((s * 0.2, s * 0.48, s * 0.8, s * 1.05), 180, 360, fill=(245, 245, 245))


def g_messages(d, s, f):
    d.rounded_rectangle((s * 0.30, s * 0.36, s * 0.86, s * 0.70), radius=s * 0.12, fill=(200, 240, 245))
    d.polygon([(s * 0.70, s * 0.66), (s * 0.80, s * 0.66), (s * 0.82, s * 0.80)], fill=(200, 240, 245))
    d.rounded_rectangle((s * 0.14, s * 0.20, s * 0.68, s * 0.54), radius=s * 0.12, fill=(255, 255, 255))
    d.polygon([(s * 0.22, s * 0.50), (s * 0.34, s * 0.50), (s * 0.18, s * 0.64)], fill=(255, 255, 255))
    for k in range(3):
        x = s * (0.29 + k * 0.12)
        d.ellipse((x - s * 0.035, s * 0.335, x + s * 0.035, s * 0.405), fill=(40, 170, 180))


def g_videos(d, s, f):
    d.rectangle((s * 0.14, s * 0.24, s * 0.86, s * 0.76), fill=(30, 30, 34))
    for i in range(6):
        x = s * (0.18 + i * 0.115)
        d.rectangle((x, s * 0.27, x + s * 0.06, s * 0.31), fill=(200, 200, 200))
        d.rectangle((x, s * 0.69, x + s * 0.06, s * 0.73), fill=(200, 200, 200))
    d.polygon([(s * 0.42, s * 0.38), (s * 0.42, s * 0.62), (s * 0.62, s * 0.5)], fill=(255, 255, 255))


def g_books(d, s, f):
    d.polygon([(s * 0.5, s * 0.28), (s * 0.16, s * 0.22), (s * 0.16, s * 0.74), (s * 0.5, s * 0.80)],
              fill=(255, 250, 240))
    d.polygon([(s * 0.5, s * 0.28), (s * 0.84, s * 0.22), (s * 0.84, s * 0.74), (s * 0.5, s * 0.80)],
              fill=(245, 238, 222))
    for i in range(4):
        y = s * (0.36 + i * 0.09)
        d.line((s * 0.22, y - s * 0.01, s * 0.44, y + s * 0.02), fill=(180, 170, 150), width=max(1, s // 70))
        d.line((s * 0.56, y + s * 0.02, s * 0.78, y - s * 0.01), fill=(180, 170, 150), width=max(1, s // 70))


def g_games(d, s, f):
    for (x0, y0, col) in [(0.16, 0.34, (240, 240, 240)), (0.44, 0.18, (255, 255, 255))]:
        x0, y0 = s * x0, s * y0
        w = s * 0.4
        d.rounded_rectangle((x0, y0, x0 + w, y0 + w), radius=s * 0.06, fill=col, outline=(120, 60, 160), width=s // 60)
        for px, py in [(0.25, 0.25), (0.75, 0.75), (0.5, 0.5), (0.75, 0.25), (0.25, 0.75)]:
            r = s * 0.035
            cx, cy = x0 + w * px, y0 + w * py
            d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=(60, 30, 90))


def g_stocks(d, s, f):
    for i in range(4):
        y = s * (0.25 + i * 0.17)
        d.line((s * 0.12, y, s * 0.88, y), fill=(80, 80, 90), width=max(1, s // 90))
    pts = [(0.12, 0.72), (0.26, 0.60), (0.38, 0.66), (0.52, 0.44), (0.64, 0.50), (0.76, 0.30), (0.88, 0.34)]
    d.line([(s * x, s * y) for x, y in pts], fill=(80, 220, 110), width=s // 22, joint="curve")


def g_voice(d, s, f):
    d.rounded_rectangle((s * 0.38, s * 0.14, s * 0.62, s * 0.58), radius=s * 0.12, fill=(235, 235, 240))
    d.arc((s * 0.28, s * 0.30, s * 0.72, s * 0.68), 0, 180, fill=(235, 235, 240), width=s // 24)
    d.line((s * 0.5, s * 0.68, s * 0.5, s * 0.80), fill=(235, 235, 240), width=s // 24)
    d.line((s * 0.36, s * 0.81, s * 0.64, s * 0.81), fill=(235, 235, 240), width=s // 24)


def g_web(d, s, f):
    c = s / 2
    r = s * 0.34
    w = max(2, s // 36)
    col = (255, 255, 255)
    d.ellipse((c - r, c - r, c + r, c + r), outline=col, width=w)
    for k in (0.45, 0.8):
        d.ellipse((c - r * k, c - r, c + r * k, c + r), outline=col, width=w)
    d.line((c, c - r, c, c + r), fill=col, width=w)
    d.line((c - r, c, c + r, c), fill=col, width=w)
    for yy in (-0.55, 0.55):
        half = r * math.sqrt(1 - yy * yy)
        d.line((c - half, c + r * yy, c + half, c + r * yy), fill=col, width=w)


def g_store(d, s, f):
    d.polygon([(s * 0.2, s * 0.36), (s * 0.8, s * 0.36), (s * 0.76, s * 0.82), (s * 0.24, s * 0.82)], fill=(255, 255, 255))
    d.arc((s * 0.34, s * 0.18, s * 0.66, s * 0.52), 180, 360, fill=(255, 255, 255), width=s // 22)
    d.ellipse((s * 0.44, s * 0.52, s * 0.56, s * 0.64), fill=(60, 130, 220))


def g_files(d, s, f):
    d.polygon([(s * 0.14, s * 0.26), (s * 0.40, s * 0.26), (s * 0.46, s * 0.34), (s * 0.86, s * 0.34),
               (s * 0.86, s * 0.76), (s * 0.14, s * 0.76)], fill=(255, 255, 255))
    d.rectangle((s * 0.14, s * 0.42, s * 0.86, s * 0.76), fill=(150, 200, 250))


def g_reminders(d, s, f):
    cols = [(240, 140, 40), (60, 140, 240), (220, 60, 60)]
    for i, col in enumerate(cols):
        y = s * (0.26 + i * 0.22)
        d.ellipse((s * 0.14, y - s * 0.07, s * 0.28, y + s * 0.07), outline=col, width=s // 30)
        d.line((s * 0.36, y, s * 0.84, y), fill=(150, 150, 150), width=s // 30)


def g_news(d, s, f):
    d.rectangle((s * 0.16, s * 0.16, s * 0.84, s * 0.84), fill=(255, 255, 255))
    d.rectangle((s * 0.22, s * 0.22, s * 0.78, s * 0.34), fill=(40, 40, 40))
    d.rectangle((s * 0.22, s * 0.40, s * 0.46, s * 0.62), fill=(210, 80, 70))
    for i in range(5):
        y = s * (0.42 + i * 0.075)
        d.line((s * 0.52, y, s * 0.78, y), fill=(120, 120, 120), width=max(1, s // 60))
    d.line((s * 0.22, s * 0.74, s * 0.78, s * 0.74), fill=(120, 120, 120), width=max(1, s // 60))


def g_radio(d, s, f):
    c = s / 2
    d.ellipse((c - s * 0.07, c - s * 0.07, c + s * 0.07, c + s * 0.07), fill=(255, 255, 255))
    for r in (0.18, 0.30):
        d.arc((c - s * r, c - s * r, c + s * r, c + s * r), -45, 45, fill=(255, 255, 255), width=s // 24)
        d.arc((c - s * r, c - s * r, c + s * r, c + s * r), 135, 225, fill=(255, 255, 255), width=s // 24)


def g_notebook_letter(letter):
    def paint(d, s, f):
        fb = f["bold"]
        if fb:
            d.text((s * 0.5, s * 0.52), letter, font=font("DejaVuSans-Bold.ttf", int(s * 0.56)),
                   fill=(255, 255, 255), anchor="mm")
        else:
            d.ellipse((s * 0.3, s * 0.3, s * 0.7, s * 0.7), outline=(255, 255, 255), width=s // 12)
    return paint


# (label, top colour, bottom colour, painter)
HOME_ICONS = [
    ("Messages", (90, 210, 210), (20, 150, 160), g_messages),
    ("Calendar", (255, 255, 255), (232, 232, 236), g_calendar),
    ("Photos", (255, 190, 90), (240, 130, 50), g_photos),
    ("Camera", (200, 204, 212), (140, 146, 156), g_camera),
    ("Videos", (90, 90, 100), (30, 30, 36), g_videos),
    ("Maps", (226, 222, 208), (200, 196, 180), g_maps),
    ("Weather", (90, 170, 245), (30, 100, 210), g_weather),
    ("Notes", (255, 236, 140), (246, 210, 90), g_notes),
    ("Reminders", (255, 255, 255), (236, 236, 240), g_reminders),
    ("Clock", (60, 60, 66), (20, 20, 24), g_clock),
    ("Stocks", (50, 50, 58), (16, 16, 20), g_stocks),
    ("Store", (90, 170, 250), (30, 100, 220), g_store),
    ("Books", (250, 160, 60), (230, 110, 30), g_books),
    ("Contacts", (170, 176, 186), (110, 116, 128), g_contacts),
    ("Calculator", (80, 82, 90), (36, 38, 44), g_calculator),
    ("Settings", (150, 154, 162), (90, 94, 102), g_settings),
    ("Voice Memo", (240, 80, 80), (190, 30, 40), g_voice),
    ("Games", (190, 120, 240), (120, 60, 190), g_games),
    ("Files", (110, 180, 250), (50, 120, 220), g_files),
    ("News", (250, 90, 100), (210, 40, 60), g_news),
]

DOCK_ICONS = [
    ("Web", (90, 200, 170), (30, 140, 120), g_web),
    ("Mail", (110, 180, 250), (40, 110, 230), g_mail),
    ("Music", (255, 170, 80), (235, 110, 30), g_music),
    ("Radio", (180, 110, 240), (120, 50, 200), g_radio),
]


def make_icon(size, c1, c2, painter, fonts):
    base = icon_base(size, c1, c2)
    layer = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    painter(d, size, fonts)
    base.alpha_composite(layer)
    white = Image.new("RGBA", (size, size), (255, 255, 255, 255))
    base = Image.composite(white, base, gloss(size)).convert("RGBA")
    base.putalpha(rounded_mask(size, int(size * 0.2)))
    return base


def paste_icon(canvas, icon, x, y):
    """Paste an icon with a soft drop shadow at (x, y) top-left."""
    s = icon.size[0]
    pad = s // 4
    shadow = Image.new("RGBA", (s + 2 * pad, s + 2 * pad), (0, 0, 0, 0))
    sm = Image.new("L", shadow.size, 0)
    sm.paste(icon.getchannel("A").point(lambda a: a * 110 // 255), (pad, pad))
    sm = sm.filter(ImageFilter.GaussianBlur(s * 0.05))
    shadow.putalpha(sm)
    canvas.alpha_composite(shadow, (x - pad, y - pad + s // 24))
    canvas.alpha_composite(icon, (x, y))


def draw_label(canvas, text, cx, y, fnt):
    if fnt is None:
        return
    shadow = Image.new("RGBA", canvas.size, (0, 0, 0, 0))
    ImageDraw.Draw(shadow).text((cx, y + SS), text, font=fnt, fill=(0, 0, 0, 200), anchor="mt")
    shadow = shadow.filter(ImageFilter.GaussianBlur(SS * 1.2))
    canvas.alpha_composite(shadow)
    ImageDraw.Draw(canvas).text((cx, y), text, font=fnt, fill=(255, 255, 255, 255), anchor="mt")


def make_home(path):
    W, H = HS_W * SS, HS_H * SS
    canvas = wallpaper().convert("RGBA")
    label_font = font("DejaVuSans-Bold.ttf", 11 * SS)
    status_font = font("DejaVuSans-Bold.ttf", 12 * SS)
    have_font = label_font is not None
    fonts = {"glyph": have_font, "bold": have_font}

    icon = 76 * SS
    col_x = [96, 288, 480, 672]
    row_y = [56, 212, 368, 524, 680]
    labels = []
    for i, (name, c1, c2, painter) in enumerate(HOME_ICONS):
        r, c = divmod(i, 4)
        x = col_x[c] * SS - icon // 2
        y = row_y[r] * SS
        paste_icon(canvas, make_icon(icon, c1, c2, painter, fonts), x, y)
        labels.append((name, col_x[c] * SS, y + icon + 7 * SS))

    # Page dots.
    ov = Image.new("RGBA", canvas.size, (0, 0, 0, 0))
    od = ImageDraw.Draw(ov)
    for k, a in enumerate((255, 110, 110)):
        cx = (HS_W // 2 + (k - 1) * 16) * SS
        cy = 845 * SS
        r = 3.5 * SS
        od.ellipse((cx - r, cy - r, cx + r, cy + r), fill=(255, 255, 255, a))

    # Dock: translucent strip with a bright top edge.
    dock_top = 870 * SS
    for yy in range(dock_top, H):
        a = int(round(90 - 30 * (yy - dock_top) / (H - dock_top)))
        od.line((0, yy, W, yy), fill=(200, 220, 255, a))
    od.line((0, dock_top, W, dock_top), fill=(255, 255, 255, 150), width=SS)
    canvas.alpha_composite(ov)

    dock_x = [96, 288, 480, 672]
    for k, (name, c1, c2, painter) in enumerate(DOCK_ICONS):
        x = dock_x[k] * SS - icon // 2
        y = dock_top + 24 * SS
        paste_icon(canvas, make_icon(icon, c1, c2, painter, fonts), x, y)
        labels.append((name, dock_x[k] * SS, y + icon + 7 * SS))

    for name, cx, y in labels:
        draw_label(canvas, name, cx, y, label_font)

    # Status bar: dark strip in the top 20 pixels.
    sb = Image.new("RGBA", canvas.size, (0, 0, 0, 0))
    sd = ImageDraw.Draw(sb)
    sd.rectangle((0, 0, W, 20 * SS - 1), fill=(0, 0, 0, 190))
    white = (255, 255, 255, 255)
    # Signal bars on the left.
    for k in range(4):
        x = (8 + k * 6) * SS
        hgt = (4 + k * 2) * SS
        sd.rectangle((x, 15 * SS - hgt, x + 4 * SS, 15 * SS), fill=white)
    # Battery on the right.
    bx = (W // SS - 36) * SS
    sd.rectangle((bx, 5 * SS, bx + 24 * SS, 15 * SS), outline=white, width=SS)
    sd.rectangle((bx + 2 * SS, 7 * SS, bx + 18 * SS, 13 * SS), fill=white)
    sd.rectangle((bx + 25 * SS, 8 * SS, bx + 27 * SS, 12 * SS), fill=white)
    if status_font is not None:
        sd.text((W // 2, 10 * SS), "9:41 AM", font=status_font, fill=white, anchor="mm")
        sd.text((bx - 6 * SS, 10 * SS), "80%", font=status_font, fill=white, anchor="rm")
    canvas.alpha_composite(sb)

    out = canvas.convert("RGB").resize((HS_W, HS_H), Image.LANCZOS)
    out.save(path, "JPEG", quality=90, optimize=True)


# ---------------------------------------------------------------------------
# Sounds
# ---------------------------------------------------------------------------

RATE = 44100


def ieee_extended(value):
    """80-bit IEEE 754 extended precision, big-endian, as used by AIFF."""
    if value == 0:
        return b"\x00" * 10
    sign = 0
    if value < 0:
        sign = 0x8000
        value = -value
    mant, exp = math.frexp(value)          # value = mant * 2**exp, 0.5 <= mant < 1
    exp += 16382                           # bias 16383, mantissa has explicit int bit
    hi = int(mant * (1 << 32))
    lo = int((mant * (1 << 32) - hi) * (1 << 32))
    return struct.pack(">HII", sign | exp, hi, lo)


def write_aiff(path, samples):
    """Write mono 16-bit big-endian PCM AIFF (not AIFF-C)."""
    pcm = np.clip(np.round(samples * 32767.0), -32768, 32767).astype(">i2").tobytes()
    frames = len(samples)
    comm = struct.pack(">hIh", 1, frames, 16) + ieee_extended(RATE)
    ssnd = struct.pack(">II", 0, 0) + pcm
    chunks = (b"COMM" + struct.pack(">I", len(comm)) + comm
              + b"SSND" + struct.pack(">I", len(ssnd)) + ssnd)
    if len(chunks) % 2:
        chunks += b"\x00"
    with open(path, "wb") as fh:
        fh.write(b"FORM" + struct.pack(">I", 4 + len(chunks)) + b"AIFF" + chunks)


def finish(x, fade_in=0.002, fade_out=0.01, peak_db=-3.0):
    x = x - np.mean(x)
    n = len(x)
    fi = max(1, int(fade_in * RATE))
    fo = max(1, int(fade_out * RATE))
    env = np.ones(n)
    env[:fi] = 0.5 - 0.5 * np.cos(np.linspace(0, math.pi, fi))
    env[n - fo:] = 0.5 + 0.5 * np.cos(np.linspace(0, math.pi, fo))
    x = x * env
    peak = np.max(np.abs(x))
    return x * (10 ** (peak_db / 20.0) / peak)


def one_pole_highpass(x, cutoff):
    a = math.exp(-2 * math.pi * cutoff / RATE)
    y = np.zeros_like(x)
    prev_x = 0.0
    prev_y = 0.0
    for i, v in enumerate(x):
        prev_y = a * (prev_y + v - prev_x)
        prev_x = v
        y[i] = prev_y
    return y


def make_tick(path):
    dur = 0.12
    n = int(dur * RATE)
    t = np.arange(n) / RATE
    rng = np.random.default_rng(1201)
    noise = one_pole_highpass(rng.standard_normal(n), 1800.0)
    click = noise * np.exp(-t / 0.004)
    ping = np.sin(2 * math.pi * 2350 * t) * np.exp(-t / 0.012)
    ping2 = np.sin(2 * math.pi * 3900 * t + 0.5) * np.exp(-t / 0.007)
    body = np.sin(2 * math.pi * 210 * t * (1 - 0.8 * t)) * np.exp(-t / 0.025)
    x = 0.9 * click + 0.6 * ping + 0.3 * ping2 + 0.45 * body
    write_aiff(path, finish(x, fade_in=0.0004, fade_out=0.02))


def make_bell(path):
    dur = 1.2
    n = int(dur * RATE)
    t = np.arange(n) / RATE
    f0 = 1046.5
    # (ratio, amplitude, decay seconds, detune Hz for a slow beat)
    partials = [
        (0.5, 0.35, 0.90, 0.6),
        (1.0, 1.00, 0.70, 1.1),
        (1.19, 0.45, 0.45, 0.0),
        (1.5, 0.35, 0.40, 0.8),
        (2.0, 0.30, 0.30, 0.0),
        (2.74, 0.18, 0.18, 0.0),
        (3.76, 0.10, 0.10, 0.0),
        (5.40, 0.05, 0.06, 0.0),
    ]
    x = np.zeros(n)
    for k, (ratio, amp, decay, beat) in enumerate(partials):
        f = f0 * ratio
        tone = np.sin(2 * math.pi * f * t + 0.7 * k)
        if beat:
            tone = 0.5 * tone + 0.5 * np.sin(2 * math.pi * (f + beat) * t + 1.3 * k)
        x += amp * tone * np.exp(-t / decay)
    attack = 1.0 - np.exp(-t / 0.003)
    x = x * attack
    write_aiff(path, finish(x, fade_in=0.001, fade_out=0.15))


def make_squeak(path):
    dur = 0.3
    n = int(dur * RATE)
    t = np.arange(n) / RATE
    u = t / dur
    # Pitch: a quick rise then a sag, with a fast rubbery vibrato.
    f = 820 + 760 * np.sin(math.pi * np.clip(u * 1.15, 0, 1)) ** 0.8 - 180 * u
    f = f * (1 + 0.045 * np.sin(2 * math.pi * 28 * t) + 0.015 * np.sin(2 * math.pi * 61 * t))
    phase = 2 * math.pi * np.cumsum(f) / RATE
    x = np.zeros(n)
    for h, a in [(1, 1.0), (2, 0.45), (3, 0.25), (4, 0.12), (5, 0.06)]:
        x += a * np.sin(h * phase + 0.3 * h)
    # Stick-slip roughness: amplitude flutter.
    rng = np.random.default_rng(303)
    flutter = np.repeat(rng.uniform(0.75, 1.0, n // 220 + 1), 220)[:n]
    kern = np.ones(64) / 64
    flutter = np.convolve(flutter, kern, mode="same")
    env = smoothstep(0.0, 0.06, u) * (1.0 - smoothstep(0.7, 1.0, u))
    x = x * env * flutter
    write_aiff(path, finish(x, fade_in=0.003, fade_out=0.02))


# ---------------------------------------------------------------------------
# Web app icons: a sheet of glass lying on wood, the wood's grain seen
# through it and its pale edge catching the light
# ---------------------------------------------------------------------------

ICON_MASTER = 1024                      # painted at this size, then reduced
GLASS_TINT = np.array([206.0, 232.0, 224.0])   # the green-white of a glass edge


def icon_wood(u, v, angle, tone=1.0):
    """Warm growth rings in arches across unit coordinates u, v (0..1)."""
    ca, sa = math.cos(angle), math.sin(angle)
    along = (u - 0.5) * ca + (v - 0.5) * sa
    across = -(u - 0.5) * sa + (v - 0.5) * ca
    warp = 0.030 * fbm(71, along * 2.2, across * 1.4, octaves=3) + 0.012 * np.sin(along * 6.0 + 1.0)
    # The log's axis lies below the board and dips towards one end, so the
    # rings cross the face as nested arches.
    depth = 0.10 + 0.30 * np.abs(along + 0.45)
    r = np.sqrt((across + warp - 0.62) ** 2 + depth ** 2)
    phase = r * 12.0 + 0.8 * fbm(72, r * 6.0, np.full_like(r, 0.5), octaves=2)
    frac = phase - np.floor(phase)
    late = smoothstep(0.45, 0.90, frac) * (1.0 - smoothstep(0.93, 0.98, frac))
    t = 0.26 + 0.50 * late
    t = t + 0.08 * fbm(73, along * 5.0, (across + warp) * 160.0, octaves=2)  # fibres
    t = t + 0.05 * fbm(74, along * 1.5, across * 1.5, octaves=2)             # colour drift
    t = np.clip(t, 0.0, 1.0)[..., None]
    lo = LIGHT_WOOD + (MID_WOOD - LIGHT_WOOD) * np.clip(t / 0.5, 0, 1)
    rgb = lo + (DARK_WOOD - MID_WOOD) * np.clip((t - 0.5) / 0.5, 0, 1)
    return rgb * tone


def rounded_box_distance(u, v, half, radius, angle):
    """Signed distance (unit coordinates) to a rounded square about the centre."""
    ca, sa = math.cos(angle), math.sin(angle)
    x = (u - 0.5) * ca + (v - 0.5) * sa
    y = -(u - 0.5) * sa + (v - 0.5) * ca
    qx = np.abs(x) - (half - radius)
    qy = np.abs(y) - (half - radius)
    outside = np.sqrt(np.maximum(qx, 0.0) ** 2 + np.maximum(qy, 0.0) ** 2)
    return outside + np.minimum(np.maximum(qx, qy), 0.0) - radius


def paint_web_icon(half, radius, angle, table):
    """RGBA master: a glass pane of the given half-width and corner radius,
    turned by angle. table: wood fills the whole square (the pane lies on
    it); otherwise the pane alone, with the grain turned inside it."""
    n = ICON_MASTER
    px = 1.0 / n
    v, u = (np.mgrid[0:n, 0:n].astype(np.float64) + 0.5) * px
    d = rounded_box_distance(u, v, half, radius, angle)
    # Outward normal of the pane's edge, and how far into the bevel a point is.
    gy, gx = np.gradient(d, px)
    norm = np.maximum(np.sqrt(gx * gx + gy * gy), 1e-9)
    nx, ny = gx / norm, gy / norm
    bevel = 0.05
    rim = np.clip(1.0 + d / bevel, 0.0, 1.0)            # 1 at the edge, 0 inside
    # Thick glass bends the light at its bevel: the wood under the edge is
    # seen pulled inwards.
    shift = 0.028 * rim ** 2
    wood_angle = 0.0 if table else -0.42
    under = icon_wood(u + nx * shift, v + ny * shift, wood_angle)
    under = under * 1.06 + 10.0                         # lit through the glass
    under = under + (GLASS_TINT - under) * (0.08 + 0.62 * rim[..., None] ** 2)
    # Light from the upper left on the bevel; a dark line where it meets the face.
    facing = np.clip(-0.6 * nx - 0.8 * ny, 0.0, 1.0)
    under = under + (255.0 - under) * (0.55 * (facing * rim ** 1.5)[..., None])
    under = under * (1.0 - 0.10 * np.exp(-((d + bevel) / 0.005) ** 2))[..., None]
    edge = np.exp(-((d + 0.004) / 0.004) ** 2)          # bright lip at the very edge
    under = under + (255.0 - under) * (0.65 * edge)[..., None]
    # A broad soft reflection across the face.
    ca, sa = math.cos(angle), math.sin(angle)
    diag = (u - 0.5) * (ca - sa) + (v - 0.5) * (sa + ca)
    sheen = 0.10 * smoothstep(-0.55, -0.25, diag) * (1.0 - smoothstep(-0.20, 0.05, diag))
    under = under + (255.0 - under) * sheen[..., None]
    cover = np.clip(0.5 - d / px, 0.0, 1.0)

    if table:
        rgb = icon_wood(u, v, wood_angle, tone=0.80)
        # The pane's soft shadow, thrown down and to the right.
        ds = rounded_box_distance(u - 0.012, v - 0.022, half, radius, angle)
        rgb = rgb * (1.0 - 0.45 * (1.0 - smoothstep(-0.01, 0.05, ds)))[..., None]
        rgb = rgb + (under - rgb) * cover[..., None]
        alpha = np.ones_like(cover)
    else:
        rgb, alpha = under, cover
    rgba = np.concatenate([np.clip(rgb, 0.0, 255.0), alpha[..., None] * 255.0], axis=-1)
    return Image.fromarray(np.round(rgba).astype(np.uint8), "RGBA")


def make_web_icon(path, size, kind):
    if kind == "any":           # the pane alone, nearly to the edges
        img = paint_web_icon(0.47, 0.19, 0.0, table=False)
    elif kind == "maskable":    # all of the pane within the central 80 % circle
        img = paint_web_icon(0.30, 0.10, 0.17, table=True)
    else:                       # iOS rounds the corners itself
        img = paint_web_icon(0.38, 0.12, 0.17, table=True)
    # Reduced with premultiplied alpha so the transparent corners do not
    # bleed dark into the edge.
    img = img.convert("RGBa").resize((size, size), Image.LANCZOS).convert("RGBA")
    if kind != "any":
        img = img.convert("RGB")
    img.save(path, "PNG", optimize=True)


# ---------------------------------------------------------------------------

def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=DEFAULT_OUT, help="output directory (default: resources/)")
    ap.add_argument("--only", metavar="PREFIX", help="write only the files whose names start so (e.g. icons/)")
    args = ap.parse_args(argv)
    out = args.out
    os.makedirs(out, exist_ok=True)

    jobs = [
        ("WoodGrain1200x900.jpg", make_wood),
        ("SingleRadialMask80x80.png", make_mask),
        ("FakeHomeFinalBlueTileIcon.jpg", make_home),
        ("Dit Hit 2.aif", make_tick),
        ("BellTransitionTrimmed.aif", make_bell),
        ("Squeak.aif", make_squeak),
        ("PushPin48x48.png", make_pushpin),
        ("web/icon-192.png", lambda p: make_web_icon(p, 192, "any")),
        ("web/icon-512.png", lambda p: make_web_icon(p, 512, "any")),
        ("web/icon-maskable-512.png", lambda p: make_web_icon(p, 512, "maskable")),
        ("web/apple-touch-icon.png", lambda p: make_web_icon(p, 180, "apple")),
    ]
    # The installed application's icon in the sizes menus and software
    # centres ask for; the same pane as the web app's.
    for size in (48, 64, 128, 256, 512):
        jobs.append(("icons/hicolor/%dx%d/apps/com.quillfen.Vitrane.png" % (size, size),
                     lambda p, size=size: make_web_icon(p, size, "any")))
    if args.only:
        jobs = [job for job in jobs if job[0].startswith(args.only)]
    for name, fn in jobs:
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        fn(path)
        print("wrote %s (%d bytes)" % (path, os.path.getsize(path)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
