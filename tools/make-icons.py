#!/usr/bin/env python3
"""Draws Marrowlake's own icons: the toolbar images (48 x 48, keyed by command
id), the program icon and the drag pointer (drag.ico). Run it from the
repository root; it rewrites the files under data/."""
import struct
import zlib


class Canvas:
    # Drawn in the coordinates of a design size (48 unless told), scaled to
    # the canvas's own size, so that every icon size is drawn crisp.
    def __init__(self, size, design=None):
        self.size = size
        self.scale = size / (design or size)
        self.px = [[(0, 0, 0, 0)] * size for _ in range(size)]

    def _at(self, v):
        return int(round(v * self.scale))

    def rect(self, x0, y0, x1, y1, colour):
        x0, y0, x1, y1 = self._at(x0), self._at(y0), self._at(x1), self._at(y1)
        for y in range(max(0, y0), min(self.size, y1)):
            for x in range(max(0, x0), min(self.size, x1)):
                self.px[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, width=2):
        # At least one pixel wide at any size.
        w = max(width, 1 / self.scale)
        self.rect(x0, y0, x1, y0 + w, colour)
        self.rect(x0, y1 - w, x1, y1, colour)
        self.rect(x0, y0, x0 + w, y1, colour)
        self.rect(x1 - w, y0, x1, y1, colour)

    def plus(self, cx, cy, r, colour):
        self.rect(cx - r, cy - 2, cx + r, cy + 2, colour)
        self.rect(cx - 2, cy - r, cx + 2, cy + r, colour)

    def cross(self, cx, cy, r, colour):
        for d in range(-r, r):
            for w in range(-2, 2):
                for x, y in ((cx + d + w, cy + d), (cx + d + w, cy - d)):
                    if 0 <= x < self.size and 0 <= y < self.size:
                        self.px[y][x] = colour

    def png(self):
        raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in self.px)
        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data +
                    struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
        return (b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", self.size, self.size, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))

    def dib(self):
        # A 32-bit image in the classic bottom-up DIB form, with its mask.
        s = self.size
        header = struct.pack("<IiiHHIIiiII", 40, s, s * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(self.px) for p in row)
        mask_row = ((s + 31) // 32) * 4
        mask = b"".join(
            bytes(sum((1 << (7 - b)) for b in range(8) if x * 8 + b < s and row[x * 8 + b][3] == 0)
                  for x in range(mask_row)) for row in reversed(self.px))
        return header + pixels + mask

    def ico(self):
        return ico([self])


def ico(canvases):
    # Several sizes in one file: DIBs, and PNG for 256 as Windows expects.
    images = [c.png() if c.size >= 256 else c.dib() for c in canvases]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for canvas, image in zip(canvases, images):
        s = canvas.size
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


PAPER = (250, 250, 245, 255)
INK = (60, 70, 90, 255)
BLUE = (40, 110, 200, 255)
GREEN = (40, 150, 70, 255)
RED = (200, 50, 50, 255)
FOLDER = (230, 180, 60, 255)


def document(c, x0=10, y0=4):
    c.rect(x0, y0, x0 + 26, y0 + 36, PAPER)
    c.frame(x0, y0, x0 + 26, y0 + 36, INK)
    for i in range(4):
        c.rect(x0 + 5, y0 + 8 + i * 6, x0 + 21, y0 + 10 + i * 6, BLUE)


def add_files():
    c = Canvas(48)
    document(c)
    c.plus(36, 36, 9, GREEN)
    return c


def add_folder():
    c = Canvas(48)
    c.rect(4, 10, 20, 16, FOLDER)
    c.rect(4, 14, 42, 38, FOLDER)
    c.frame(4, 14, 42, 38, INK)
    c.plus(36, 36, 9, GREEN)
    return c


def start_printing():
    c = Canvas(48)
    c.rect(14, 4, 34, 18, PAPER)
    c.frame(14, 4, 34, 18, INK)
    c.rect(4, 18, 44, 36, (120, 130, 150, 255))
    c.frame(4, 18, 44, 36, INK)
    c.rect(12, 30, 36, 46, PAPER)
    c.frame(12, 30, 36, 46, INK)
    c.rect(36, 22, 40, 26, GREEN)
    return c


def clear_list():
    c = Canvas(48)
    c.rect(6, 6, 34, 42, PAPER)
    c.frame(6, 6, 34, 42, INK)
    for i in range(5):
        c.rect(10, 11 + i * 6, 30, 13 + i * 6, BLUE)
    c.cross(36, 34, 9, RED)
    return c


def program_icon(size=48):
    c = Canvas(size, 48)
    document(c, 4, 2)
    document(c, 12, 8)
    c.rect(26, 30, 46, 46, (120, 130, 150, 255))
    c.frame(26, 30, 46, 46, INK)
    return c


def drag_pointer():
    c = Canvas(32)
    c.rect(8, 2, 24, 24, PAPER)
    c.frame(8, 2, 24, 24, INK)
    c.rect(14, 24, 18, 30, INK)
    c.rect(10, 26, 22, 28, INK)
    return c


if __name__ == "__main__":
    for name, canvas in (("1000", add_files()), ("1001", add_folder()),
                         ("1002", start_printing()), ("1003", clear_list()),
                         ("marrowlake", program_icon())):
        with open(f"data/icons/{name}.png", "wb") as f:
            f.write(canvas.png())
    with open("data/drag.ico", "wb") as f:
        f.write(drag_pointer().ico())
    # The program's icon for Windows (Explorer, the taskbar, installed apps).
    # Every size Explorer and the taskbar ask for, so none is scaled.
    with open("data/icons/marrowlake.ico", "wb") as f:
        f.write(ico([program_icon(s) for s in (16, 24, 32, 48, 256)]))
