#!/usr/bin/env python3
"""Renders an HTML page in headless Chromium and checks what a reader would see.

usage: check_page.py PAGE NAME...

Fails unless the screenshot has ink on it, every NAME is in the rendered DOM, and the console
shows no error. Exits 77 (skipped) with a clear message when no browser can be found.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def png_rows(path):
    """The PNG's pixel rows as bytes (8-bit RGB or RGBA, non-interlaced: what Chromium writes)."""
    data = open(path, "rb").read()
    pos, idat, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise SystemExit("unexpected PNG format")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - channels] if x >= channels else 0
            b, c = prev[x], prev[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return rows


def main():
    page, names = os.path.abspath(sys.argv[1]), sys.argv[2:]
    browser = shutil.which("chromium") or shutil.which("chromium-browser")
    if not browser:
        print("SKIPPED: no Chromium here (scripts/install-deps.sh installs it)")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        base = [browser] + FLAGS + ["--user-data-dir=" + os.path.join(tmp, "profile")]
        shot = os.path.join(tmp, "page.png")
        url = "file://" + page
        subprocess.run(base + ["--screenshot=" + shot, "--window-size=1000,1400", url],
                       capture_output=True, timeout=120, check=False)
        dom = subprocess.run(base + ["--enable-logging=stderr", "--v=0", "--dump-dom", url],
                             capture_output=True, text=True, timeout=120, check=False)
        failures = []
        if not os.path.exists(shot):
            failures.append("no screenshot")
        else:
            rows = png_rows(shot)
            if len(set(rows)) < 10 or len({v for r in rows[::20] for v in r}) < 3:
                failures.append("the screenshot is blank")
        failures += ["'%s' is not on the page" % n for n in names if n not in dom.stdout]
        failures += ["console: " + l for l in dom.stderr.splitlines()
                     if "CONSOLE" in l and ("rror" in l or "Uncaught" in l)]
    for f in failures:
        print("FAILED:", f)
    print("%d passed, %d failed" % (2 + len(names) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
