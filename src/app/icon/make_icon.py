# Draws the Tarnlog Entity Updater icon (a globe with a flag): PNGs for Qt and the desktop, and a
# .ico with 48, 32 and 16 px images at 4, 24 and 32 bits. Usage: python3 make_icon.py OUTPUT_DIR
import math, struct, zlib, sys, os

OUT = sys.argv[1]

def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))

def over(dst, src):
    sa = src[3]
    if sa <= 0: return dst
    da = dst[3]
    oa = sa + da * (1 - sa)
    if oa <= 0: return (0, 0, 0, 0)
    rgb = tuple((src[i] * sa + dst[i] * da * (1 - sa)) / oa for i in range(3))
    return rgb + (oa,)

def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)

CX, CY, R = 0.42, 0.57, 0.37
NAVY = (0.05, 0.15, 0.35)
def sample(x, y):
    c = (0, 0, 0, 0)
    d = math.hypot(x - CX, y - CY)
    if d <= R:
        # shaded sphere: light from upper left
        t = min(1.0, math.hypot(x - (CX - 0.15), y - (CY - 0.15)) / (R * 1.5))
        base = mix((0.45, 0.75, 1.0), (0.08, 0.30, 0.70), t) + (1.0,)
        c = over(c, base)
        u, v = (x - CX) / R, (y - CY) / R
        # land: two blobs in green
        for (lx, ly, lr) in ((-0.35, -0.25, 0.35), (0.25, 0.35, 0.3), (0.45, -0.35, 0.18)):
            if math.hypot(u - lx, (v - ly) * 1.2) < lr:
                c = over(c, (0.20, 0.62, 0.25, 1.0))
        # grid: equator, latitudes, meridians
        w = 0.045
        lines = [abs(v), abs(v - 0.5), abs(v + 0.5)]
        for k in (0.0, 0.55):
            s = math.sqrt(max(1e-9, 1 - v * v))
            lines.append(abs(abs(u) - k * s))
        if min(lines) < w:
            c = over(c, (1, 1, 1, 0.55))
    if R - 0.035 < d <= R + 0.01:
        c = over(c, NAVY + (1.0,))
    # flag pole and flag
    if seg_dist(x, y, 0.74, 0.06, 0.74, 0.66) < 0.035:
        c = over(c, (0.25, 0.25, 0.25, 1.0))
    fx, fy = x - 0.74, y - 0.08
    if 0 <= fx <= 0.23 and 0 <= fy <= 0.26 and fy >= fx * 0.3 and fy <= 0.26 - fx * 0.3:
        c = over(c, (0.9, 0.1, 0.1, 1.0))
        if abs(fy - 0.13) < 0.035:
            c = over(c, (1.0, 0.85, 0.1, 1.0))
    return c

def render(size, ss=4):
    px = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(ss):
                for si in range(ss):
                    r, g, b, a = sample((i + (si + 0.5) / ss) / size, (j + (sj + 0.5) / ss) / size)
                    acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
            n = ss * ss
            a = acc[3] / n
            if a > 0:
                rgb = [min(255, round(acc[k] / acc[3] * 255)) for k in range(3)]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(a * 255)))
        px.append(row)
    return px

def png(px):
    h, w = len(px), len(px[0])
    raw = b''.join(b'\0' + bytes(v for p in row for v in p) for row in px)
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

VGA = [(0,0,0),(128,0,0),(0,128,0),(128,128,0),(0,0,128),(128,0,128),(0,128,128),(192,192,192),
       (128,128,128),(255,0,0),(0,255,0),(255,255,0),(0,0,255),(255,0,255),(0,255,255),(255,255,255)]

def ycc(c):
    y = 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]
    return (y, (c[2] - y) * 0.564, (c[0] - y) * 0.713)

def dither16(px):
    # Nearest of the 16 standard colours, with colour differences weighted above brightness so that
    # the blues stay blue instead of turning grey.
    pal = [ycc(c) for c in VGA]
    out = []
    for row in px:
        r = []
        for p in row:
            if p[3] < 128:
                r.append(0); continue
            q = ycc(p)
            r.append(min(range(16), key=lambda k: (pal[k][0] - q[0]) ** 2 + 9 * ((pal[k][1] - q[1]) ** 2 + (pal[k][2] - q[2]) ** 2)))
        out.append(r)
    return out

def pad4(b):
    return b + b'\0' * ((-len(b)) % 4)

def dib(px, bpp):
    h, w = len(px), len(px[0])
    rows = []
    mask_rows = []
    quant = dither16(px)[::-1] if bpp == 4 else None
    for row in reversed(px):
        mbits = 0; mbytes = bytearray()
        for i, p in enumerate(row):
            mbits = (mbits << 1) | (1 if p[3] < 128 else 0)
            if i % 8 == 7:
                mbytes.append(mbits); mbits = 0
        if w % 8:
            mbytes.append(mbits << (8 - w % 8))
        mask_rows.append(pad4(bytes(mbytes)))
        if bpp == 32:
            rows.append(bytes(v for p in row for v in (p[2], p[1], p[0], p[3])))
        elif bpp == 24:
            rows.append(pad4(bytes(v for p in row for v in ((p[2], p[1], p[0]) if p[3] >= 128 else (0, 0, 0)))))
        else:
            idx = quant[len(rows)]
            rows.append(pad4(bytes((idx[i] << 4) | idx[i + 1] for i in range(0, w, 2))))
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, bpp, 0, 0, 0, 0, 16 if bpp == 4 else 0, 0)
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in VGA) if bpp == 4 else b''
    return header + palette + b''.join(rows) + b''.join(mask_rows)

images = {s: render(s) for s in (16, 32, 48, 64, 128, 256)}
os.makedirs(OUT, exist_ok=True)
for s, px in images.items():
    open(os.path.join(OUT, 'tarnlog-entity-updater-%d.png' % s), 'wb').write(png(px))
entries = []
for bpp in (4, 24, 32):
    for s in (48, 32, 16):
        entries.append((s, bpp, dib(images[s], bpp)))
head = struct.pack('<HHH', 0, 1, len(entries))
offset = 6 + 16 * len(entries)
dirs = b''; data = b''
for s, bpp, d in entries:
    dirs += struct.pack('<BBBBHHII', s, s, 16 if bpp == 4 else 0, 0, 1, bpp, len(d), offset + len(data))
    data += d
open(os.path.join(OUT, 'tarnlog-entity-updater.ico'), 'wb').write(head + dirs + data)
