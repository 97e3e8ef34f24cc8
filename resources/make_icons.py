#!/usr/bin/env python3
"""Draws the toolbar icons of ZvekTool into icons/*.png (32 x 32, RGBA).

Run from this directory: python3 make_icons.py
Only the standard library is used; the pictures are made of a few filled
rectangles, discs, lines and triangles.
"""
import math
import struct
import zlib

SIZE = 32


class Canvas:
    def __init__(self):
        self.px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def put(self, x, y, color):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.px[y][x] = color

    def rect(self, x0, y0, x1, y1, color):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, color)

    def frame(self, x0, y0, x1, y1, color):
        for x in range(x0, x1 + 1):
            self.put(x, y0, color)
            self.put(x, y1, color)
        for y in range(y0, y1 + 1):
            self.put(x0, y, color)
            self.put(x1, y, color)

    def disc(self, cx, cy, r, color):
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, color)

    def ring(self, cx, cy, r0, r1, color, a0=0.0, a1=360.0):
        for y in range(SIZE):
            for x in range(SIZE):
                d2 = (x - cx) ** 2 + (y - cy) ** 2
                if r0 * r0 <= d2 <= r1 * r1:
                    a = math.degrees(math.atan2(cy - y, x - cx)) % 360.0
                    if a0 <= a <= a1:
                        self.put(x, y, color)

    def line(self, x0, y0, x1, y1, color, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0)) * 2 + 1
        for i in range(steps + 1):
            t = i / steps
            x = x0 + (x1 - x0) * t
            y = y0 + (y1 - y0) * t
            h = width / 2.0
            for yy in range(int(y - h + 0.5), int(y + h + 0.5)):
                for xx in range(int(x - h + 0.5), int(x + h + 0.5)):
                    self.put(xx, yy, color)

    def triangle(self, pts, color):
        (ax, ay), (bx, by), (cx, cy) = pts

        def side(px, py, qx, qy, rx, ry):
            return (qx - px) * (ry - py) - (qy - py) * (rx - px)

        for y in range(SIZE):
            for x in range(SIZE):
                s1 = side(ax, ay, bx, by, x + 0.5, y + 0.5)
                s2 = side(bx, by, cx, cy, x + 0.5, y + 0.5)
                s3 = side(cx, cy, ax, ay, x + 0.5, y + 0.5)
                if (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0):
                    self.put(x, y, color)

    def png(self):
        raw = b"".join(b"\x00" + b"".join(struct.pack("4B", *p) for p in row) for row in self.px)

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


INK = (40, 40, 48, 255)
PAPER = (250, 250, 245, 255)
YELLOW = (236, 190, 60, 255)
DARKYELLOW = (190, 140, 30, 255)
BLUE = (50, 100, 200, 255)
GREEN = (40, 160, 70, 255)
RED = (210, 50, 40, 255)
GREY = (150, 150, 160, 255)
BROWN = (150, 100, 50, 255)


def folder(c):
    c.rect(3, 8, 13, 11, DARKYELLOW)
    c.rect(3, 11, 28, 26, YELLOW)
    c.frame(3, 11, 28, 26, DARKYELLOW)


def page(c, x0, y0, x1, y1):
    c.rect(x0, y0, x1, y1, PAPER)
    c.frame(x0, y0, x1, y1, INK)
    for y in range(y0 + 4, y1 - 2, 3):
        c.line(x0 + 3, y, x1 - 3, y, GREY)


def folder_new():
    c = Canvas()
    folder(c)
    c.rect(22, 2, 24, 12, GREEN)
    c.rect(18, 6, 28, 8, GREEN)
    return c


def img_reopen():
    c = Canvas()
    folder(c)
    c.ring(16, 19, 4, 6, BLUE, 40, 320)
    c.triangle([(19, 11), (24, 15), (18, 17)], BLUE)
    return c


def save():
    c = Canvas()
    c.rect(4, 4, 27, 27, BLUE)
    c.rect(9, 4, 22, 12, PAPER)
    c.rect(18, 6, 20, 10, INK)
    c.rect(8, 17, 23, 27, GREY)
    c.frame(4, 4, 27, 27, INK)
    return c


def run():
    c = Canvas()
    c.triangle([(8, 4), (8, 28), (27, 16)], GREEN)
    return c


def cut():
    c = Canvas()
    c.line(10, 4, 20, 20, INK, 2)
    c.line(22, 4, 12, 20, INK, 2)
    c.ring(9, 24, 2, 4, RED)
    c.ring(23, 24, 2, 4, RED)
    return c


def copy():
    c = Canvas()
    page(c, 4, 3, 18, 21)
    page(c, 12, 10, 27, 29)
    return c


def paste():
    c = Canvas()
    c.rect(5, 5, 24, 28, BROWN)
    c.rect(10, 3, 19, 7, GREY)
    page(c, 13, 11, 28, 29)
    return c


def delete():
    c = Canvas()
    c.line(6, 6, 26, 26, RED, 4)
    c.line(26, 6, 6, 26, RED, 4)
    return c


def view():
    c = Canvas()
    for y in range(SIZE):
        for x in range(SIZE):
            if ((x - 16) / 13.0) ** 2 + ((y - 16) / 8.0) ** 2 <= 1.0:
                c.put(x, y, PAPER)
    c.disc(16, 16, 6, BLUE)
    c.disc(16, 16, 3, INK)
    c.ring(16, 16, 12.5, 13.5, INK, 20, 160)
    c.ring(16, 16, 12.5, 13.5, INK, 200, 340)
    return c


def rerun():
    c = Canvas()
    c.ring(16, 16, 8, 11, GREEN, 60, 360)
    c.triangle([(20, 2), (27, 9), (17, 11)], GREEN)
    return c


ICONS = {
    "folder_new": folder_new,
    "img_reopen": img_reopen,
    "save": save,
    "run": run,
    "cut": cut,
    "copy": copy,
    "paste": paste,
    "delete": delete,
    "view": view,
    "rerun": rerun,
}

if __name__ == "__main__":
    for name, draw in ICONS.items():
        with open("icons/%s.png" % name, "wb") as f:
            f.write(draw().png())
