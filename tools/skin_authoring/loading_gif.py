# Writes the loading animation: a ring of eight dots, one lit, going round (an uncompressed GIF:
# 8-bit codes with a clear code before the code table would widen them).
import math, struct, sys
W = H = 40
FRAMES = 8
palette = [(255, 255, 255), (208, 215, 226), (60, 141, 222)] + [(0, 0, 0)] * 125
def frame(k):
    px = [0] * (W * H)
    for d in range(8):
        a = 2 * math.pi * d / 8
        cx, cy = 20 + 13 * math.cos(a), 20 + 13 * math.sin(a)
        c = 2 if d == k else 1
        for y in range(H):
            for x in range(W):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= 3.6 ** 2: px[y * W + x] = c
    return px
def lzw(px):
    codes, run = [128], 0
    for p in px:
        codes.append(p); run += 1
        if run == 125: codes.append(128); run = 0
    codes.append(129)
    data = bytes(codes)
    return b''.join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255)) + b'\0'
out = bytearray(b'GIF89a' + struct.pack('<HHBBB', W, H, 0xF6, 0, 0))
for c in palette: out += bytes(c)
out += b'\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00'
for k in range(FRAMES):
    out += b'\x21\xF9\x04\x09' + struct.pack('<H', 10) + b'\x00\x00'  # 100 ms, transparent index 0
    out += b'\x2C' + struct.pack('<HHHHB', 0, 0, W, H, 0) + b'\x07' + lzw(frame(k))
out += b'\x3B'
open(sys.argv[1], 'wb').write(out)
