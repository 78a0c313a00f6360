#!/usr/bin/env bash
# Writes plain placeholder pictures into OUTDIR for each icon or bitmap that
# res/ does not hold yet, so the resources compile. Never into res/ itself.
#   tools/win32-placeholders.sh RESDIR OUTDIR
set -euo pipefail
res=$1
out=$2
mkdir -p "$out"
python3 - "$res" "$out" <<'PY'
import os, struct, sys
res, out = sys.argv[1], sys.argv[2]

def dib(w, h, rgb):
    row = (w * 3 + 3) & ~3
    pixels = b"".join(bytes(rgb[::-1]) * w + b"\0" * (row - w * 3) for _ in range(h))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header, pixels

def bmp(w, h, rgb):
    header, pixels = dib(w, h, rgb)
    return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 54) + header + pixels

def ico(w, h, rgb):
    header, pixels = dib(w, h, rgb)
    header = header[:8] + struct.pack("<i", h * 2) + header[12:]  # XOR and AND masks stacked
    mask = b"\0" * (((w + 31) // 32) * 4 * h)
    image = header + pixels + mask
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 22) + image

pictures = {
    "close.bmp": lambda: bmp(16, 16, (200, 60, 30)),
    "close_sel.bmp": lambda: bmp(16, 16, (160, 200, 40)),
    "minimize.bmp": lambda: bmp(16, 16, (110, 130, 160)),
    "minimize_sel.bmp": lambda: bmp(16, 16, (160, 200, 40)),
    "title.bmp": lambda: bmp(271, 32, (20, 20, 60)),
    "MORAVEL_PLAYER.ico": lambda: ico(32, 32, (30, 90, 160)),
}
for name, make in pictures.items():
    if not os.path.exists(os.path.join(res, name)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(make())
PY
