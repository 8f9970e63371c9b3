#!/usr/bin/python3
"""Generate the example photo library under examples/library/.

Three albums of painted postcards (sea, hills, night sky, flowers, town,
fruit bowl) for trying the wandering photos without a photo collection of
your own: `vitrane --library examples/library`, or `library library` in a
scenario under examples/. Seeded, so the output is the same every run.
Needs only Debian's python3-numpy and python3-pil.
"""

import math
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(REPO_ROOT, "examples", "library")
W, H = 1024, 768


def vertical_gradient(top, bottom, height=H, width=W):
    t = np.linspace(0.0, 1.0, height)[:, None, None]
    rows = (1 - t) * np.array(top, float) + t * np.array(bottom, float)
    return Image.fromarray(np.repeat(rows, width, axis=1).astype(np.uint8), "RGB")


def sea(rng):
    img = vertical_gradient((250, 170, 110), (255, 225, 170))
    d = ImageDraw.Draw(img)
    d.ellipse((600, 250, 760, 410), fill=(255, 245, 200))
    sea_img = vertical_gradient((40, 90, 140), (10, 40, 80), height=H - 420)
    img.paste(sea_img, (0, 420))
    for _ in range(140):
        x, y = rng.integers(0, W), rng.integers(430, H)
        w = rng.integers(20, 90)
        d.line((x, y, x + w, y), fill=(230, 200, 150), width=2)
    return img


def hills(rng):
    img = vertical_gradient((120, 180, 240), (210, 235, 250))
    d = ImageDraw.Draw(img)
    for layer, colour in enumerate([(90, 140, 80), (60, 120, 60), (40, 95, 45)]):
        base = 420 + layer * 110
        phase = rng.uniform(0, 6.28)
        pts = [(x, base + 60 * math.sin(x / (170 + 40 * layer) + phase)) for x in range(0, W + 8, 8)]
        d.polygon(pts + [(W, H), (0, H)], fill=colour)
    for _ in range(5):
        cx, cy = rng.integers(60, W - 60), rng.integers(60, 260)
        for k in range(4):
            r = rng.integers(25, 45)
            d.ellipse((cx + k * 30 - r, cy - r, cx + k * 30 + r, cy + r), fill=(255, 255, 255))
    return img.filter(ImageFilter.SMOOTH)


def night(rng):
    img = vertical_gradient((8, 12, 40), (40, 30, 80))
    d = ImageDraw.Draw(img)
    for _ in range(400):
        x, y = rng.integers(0, W), rng.integers(0, H - 150)
        b = int(rng.integers(140, 256))
        r = rng.choice([0, 0, 0, 1])
        d.ellipse((x - r, y - r, x + r, y + r), fill=(b, b, min(255, b + 20)))
    d.ellipse((160, 110, 280, 230), fill=(245, 240, 215))
    d.ellipse((195, 100, 305, 210), fill=(14, 18, 52))
    d.polygon([(0, H), (0, 640), (200, 600), (420, 650), (700, 590), (W, 640), (W, H)], fill=(5, 5, 15))
    return img


def flowers(rng):
    img = vertical_gradient((70, 130, 60), (30, 80, 30))
    d = ImageDraw.Draw(img)
    for _ in range(60):
        cx, cy = int(rng.integers(0, W)), int(rng.integers(0, H))
        petal = [(230, 60, 80), (250, 200, 50), (240, 240, 245), (200, 90, 220)][int(rng.integers(0, 4))]
        r = int(rng.integers(14, 30))
        for k in range(6):
            a = k * math.pi / 3
            px, py = cx + r * math.cos(a), cy + r * math.sin(a)
            d.ellipse((px - r * 0.6, py - r * 0.6, px + r * 0.6, py + r * 0.6), fill=petal)
        d.ellipse((cx - r * 0.45, cy - r * 0.45, cx + r * 0.45, cy + r * 0.45), fill=(250, 190, 40))
    return img


def town(rng):
    img = vertical_gradient((150, 200, 235), (230, 240, 250))
    d = ImageDraw.Draw(img)
    x = 0
    while x < W:
        w = int(rng.integers(70, 150))
        h = int(rng.integers(200, 420))
        colour = tuple(int(c) for c in rng.integers(120, 240, 3))
        d.rectangle((x, H - h, x + w, H), fill=colour)
        d.polygon([(x - 6, H - h), (x + w // 2, H - h - 60), (x + w + 6, H - h)], fill=(150, 60, 50))
        for wy in range(H - h + 30, H - 40, 60):
            for wx in range(x + 14, x + w - 24, 34):
                d.rectangle((wx, wy, wx + 18, wy + 28), fill=(60, 80, 110))
        x += w + 4
    return img


def fruit(rng):
    img = vertical_gradient((235, 220, 195), (200, 180, 150))
    d = ImageDraw.Draw(img)
    d.ellipse((212, 440, 812, 540), fill=(90, 50, 30))  # the bowl's far rim, seen inside
    for cx, cy, r, c in [(380, 470, 80, (220, 40, 40)), (520, 450, 90, (250, 150, 30)),
                         (650, 480, 75, (120, 180, 50)), (460, 400, 70, (230, 200, 40))]:
        d.ellipse((cx - r, cy - r, cx + r, cy + r), fill=c)
        d.ellipse((cx - r * 0.5, cy - r * 0.7, cx - r * 0.1, cy - r * 0.3), fill=tuple(min(255, v + 50) for v in c))
    d.pieslice((212, 290, 812, 690), 0, 180, fill=(140, 85, 50))  # the front of the bowl
    return img


ALBUMS = {
    "1 Summer": [("Sea at dusk", sea), ("Hills", hills)],
    "2 Garden": [("Flowers", flowers), ("Fruit bowl", fruit)],
    "3 Travels": [("Night sky", night), ("Old town", town)],
}


def main():
    rng = np.random.default_rng(20261208)
    for album, photos in ALBUMS.items():
        folder = os.path.join(OUT, album)
        os.makedirs(folder, exist_ok=True)
        for name, painter in photos:
            painter(rng).save(os.path.join(folder, name + ".jpg"), quality=82)
    return 0


if __name__ == "__main__":
    sys.exit(main())
