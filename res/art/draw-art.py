#!/usr/bin/env python3
"""Draws the program icon (icon group 128) and the dialog banner (bitmap 129).

Run from anywhere: python3 res/art/draw-art.py
Needs ImageMagick's `convert` and the DejaVu fonts. The outputs are committed
beside this script, so the build does not depend on either.
"""
import math
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_OUT = os.path.join(HERE, "Corvantis.ico")
BANNER_OUT = os.path.join(HERE, "Banner.bmp")

ICON_SIZES = [16, 20, 24, 32, 40, 48, 56, 64, 72, 96, 128, 192, 256]
BANNER_SIZE = (422, 79)

BRAND_LIGHT = "#2F8FE8"
BRAND_DARK = "#14407F"
ACCENT = "#2EC4A6"
INK = "#13294B"
MUTED = "#5A6B82"

FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FONT_REGULAR = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def convert(*args):
    subprocess.run(["convert", *args], check=True)


def draw_mark(path, size=1024):
    """The logo mark: a rounded blue tile holding an open ring (a 'C') whose
    opening points at a green dot, the far end of a connection."""
    s = size / 256.0

    def p(v):
        return f"{v * s:.1f}"

    cx, cy, r, half = 122, 128, 58, 15
    ends = [(cx + r * math.cos(math.radians(a)), cy + r * math.sin(math.radians(a)))
            for a in (40, -40)]
    # The ring is its own layer: a disk, less its hole and a wedge on the
    # right, with round caps where the wedge cuts it.
    ring = ["(", "-size", f"{size}x{size}", "xc:white",
            "(", "-size", f"{size}x{size}", "xc:black", "-fill", "white",
            "-draw", f"circle {p(cx)},{p(cy)} {p(cx + r + half)},{p(cy)}",
            "-fill", "black",
            "-draw", f"circle {p(cx)},{p(cy)} {p(cx + r - half)},{p(cy)}",
            "-draw", "polygon " + " ".join(
                f"{p(x)},{p(y)}" for x, y in [(cx, cy), (cx + 140, cy + 117), (cx + 140, cy - 117)]),
            ")", "-alpha", "off", "-compose", "CopyOpacity", "-composite", "-compose", "Over"]
    for x, y in ends:
        ring += ["-fill", "white", "-draw", f"circle {p(x)},{p(y)} {p(x + half)},{p(y)}"]
    ring += [")"]
    convert(
        "-size", f"{size}x{size}", f"gradient:{BRAND_LIGHT}-{BRAND_DARK}",
        "(", "-size", f"{size}x{size}", "xc:none", "-fill", "white",
        "-draw", f"roundrectangle {p(6)},{p(6)} {p(249)},{p(249)} {p(56)},{p(56)}", ")",
        "-compose", "DstIn", "-composite", "-compose", "Over",
        *ring, "-composite",
        "-fill", ACCENT,
        "-draw", f"circle {p(186)},{p(128)} {p(186 + 19)},{p(128)}",
        f"PNG32:{path}")


def rgba_pixels(master, size):
    raw = subprocess.run(
        ["convert", master, "-filter", "Lanczos", "-resize", f"{size}x{size}",
         "-depth", "8", "RGBA:-"], check=True, capture_output=True).stdout
    assert len(raw) == size * size * 4
    return raw


def dib_entry(rgba, size):
    """A 32 bpp icon image: BITMAPINFOHEADER (double height), bottom-up BGRA
    rows, then the AND mask (set where the pixel is fully transparent)."""
    rows = []
    mask_stride = ((size + 31) // 32) * 4
    mask_rows = []
    for y in range(size):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        bgra = bytearray()
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            bgra += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(bgra))
        mask_rows.append(bytes(bits))
    pixels = b"".join(reversed(rows))
    mask = b"".join(reversed(mask_rows))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def png_entry(master, size, tmp):
    path = os.path.join(tmp, f"mark{size}.png")
    # No time stamps: the committed icon should only change when the art does.
    convert(master, "-filter", "Lanczos", "-resize", f"{size}x{size}", "-strip",
            "-define", "png:exclude-chunks=date,time", f"PNG32:{path}")
    with open(path, "rb") as f:
        return f.read()


def write_icon(master, tmp):
    images = []
    for size in ICON_SIZES:
        if size >= 256:
            images.append((size, png_entry(master, size, tmp)))
        else:
            images.append((size, dib_entry(rgba_pixels(master, size), size)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(ICON_OUT, "wb") as f:
        f.write(out)


def write_banner(master):
    w, h = BANNER_SIZE
    mark = 56
    top = (h - 3 - mark) // 2
    text_x = 14 + mark + 14
    convert(
        "-size", f"{w}x{h}", "gradient:white-#EAF2FB", "-rotate", "-90",
        "-resize", f"{w}x{h}!",
        "(", master, "-filter", "Lanczos", "-resize", f"{mark}x{mark}", ")",
        "-geometry", f"+14+{top}", "-composite",
        "-fill", INK, "-font", FONT_BOLD, "-pointsize", "25",
        "-annotate", f"+{text_x}+38", "Corvantis",
        "-fill", MUTED, "-font", FONT_REGULAR, "-pointsize", "14",
        "-annotate", f"+{text_x + 1}+60", "Client Downloader",
        "(", "-size", f"{w}x3", f"gradient:{BRAND_LIGHT}-{ACCENT}", "-rotate", "-90",
        "-resize", f"{w}x3!", ")",
        "-geometry", f"+0+{h - 3}", "-composite",
        "-alpha", "off", "-type", "TrueColor", f"BMP3:{BANNER_OUT}")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        master = os.path.join(tmp, "mark.png")
        draw_mark(master)
        write_icon(master, tmp)
        write_banner(master)


if __name__ == "__main__":
    main()
