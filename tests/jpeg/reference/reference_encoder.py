#!/usr/bin/env python3
"""A second, independent implementation of the encoder's arithmetic in plain Python, written
from T.81 and the encoder's stated rounding rules alone, sharing no code with jpeg/: float temporaries
emulated by rounding through struct, the exact halftone shrink of the platform, the pointer
form of the MCU walk, the bit-at-a-time writer. It reads a 24-bit BMP and writes the stream.
Slow (seconds for a small picture); it exists to cross-check the encoder byte for byte and to
compute the golden hashes of tests/jpeg/golden_stream_test.cpp (see make_golden.py).

    python3 reference_encoder.py [--quality Q] [--sampling 2x2,1x1,1x1 | --grey] IN.bmp OUT.jpg
"""
import struct, sys, math
from fractions import Fraction

def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]

def read_bmp(path):
    d = open(path, 'rb').read()
    off = struct.unpack_from('<I', d, 10)[0]
    w, h = struct.unpack_from('<ii', d, 18)
    bpp = struct.unpack_from('<H', d, 28)[0]
    assert bpp == 24
    stride = (3 * w + 3) // 4 * 4
    top_down = h < 0
    h = abs(h)
    px = []
    for y in range(h):
        my = y if top_down else h - 1 - y
        row = d[off + my * stride: off + my * stride + 3 * w]
        px.append([(row[3*x+2], row[3*x+1], row[3*x]) for x in range(w)])
    return w, h, px

def zigzag():
    t = [0]*64; u = v = 0; up = True
    for k in range(64):
        t[u + 8*v] = k
        if up:
            nu, nv = u+1, v-1
        else:
            nu, nv = u-1, v+1
        if nu > 7: v += 1; up = not up
        elif nv > 7: u += 1; up = not up
        elif nu < 0: v += 1; up = not up
        elif nv < 0: u += 1; up = not up
        else: u, v = nu, nv
    return t

K1 = [16,11,10,16,24,40,51,61, 12,12,14,19,26,58,60,55, 14,13,16,24,40,57,69,56, 14,17,22,29,51,87,80,62,
      18,22,37,56,68,109,103,77, 24,35,55,64,81,104,113,92, 49,64,78,87,103,121,120,101, 72,92,95,98,112,100,103,99]
K2 = [17,18,24,47,99,99,99,99, 18,21,26,66,99,99,99,99, 24,26,56,99,99,99,99,99, 47,66]+[99]*38
assert len(K2) == 64
AAN = [0.353553390593273, 0.25489778955208, 0.270598050073098, 0.300672443467523,
       0.353553390593273, 0.449988111568207, 0.653281482438186, 1.28145772387074]
ZZ = zigzag()

def qtables(q):
    S = round(5000 / q) if q < 50 else 200 - 2*q
    out = []
    for base in (K1, K2):
        Qk = [0]*64; F = [0.0]*64
        for i in range(64):
            Qk[ZZ[i]] = min(255, max(1, round((base[i]*S + 50) / 100)))
        for u in range(8):
            for v in range(8):
                k = ZZ[u+8*v]
                F[k] = f32(AAN[u]*AAN[v]/Qk[k])
        out.append((Qk, F))
    return out

C4, C6a, C2a, C6b = 0.707106781186548, 0.382683432365091, 0.541196100146196, 1.30656296487638
def dct1(d):
    d0,d1,d2,d3,d4,d5,d6,d7 = d
    t0=f32(d0+d7); t7=f32(d0-d7); t1=f32(d1+d6); t6=f32(d1-d6); t2=f32(d2+d5); t5=f32(d2-d5); t3=f32(d3+d4); t4=f32(d3-d4)
    a=f32(t5+t4)
    t13=f32(t0-t3); t10=f32(t0+t3); t11=f32(t2+t1)
    z1=f32(((t1-t2)+t13)*C4)
    b=f32(t6+t7)
    z3=f32((t5+t6)*C4)
    z5=f32((b-a)*C6a)
    z2=f32(a*C2a-z5)
    z4=f32(b*C6b-z5)
    z11=f32(z3+t7); z13=f32(t7-z3)
    o=[0.0]*8
    o[0]=f32(t10+t11); o[4]=f32(t10-t11); o[1]=f32(z11+z4); o[7]=f32(z11-z4)
    o[2]=f32(t13+z1); o[6]=f32(t13-z1); o[5]=f32(z2+z13); o[3]=f32(z13-z2)
    return o

def fdct(blk):
    for x in range(8):
        o = dct1([blk[x+8*y] for y in range(8)])
        for y in range(8): blk[x+8*y] = o[y]
    for y in range(8):
        o = dct1(blk[8*y:8*y+8])
        blk[8*y:8*y+8] = o
    return blk

COLOUR = [(f32(0.299), f32(0.587), f32(0.114), -128.0), (f32(-0.16874), f32(-0.33126), 0.5, 0.0),
          (0.5, f32(-0.41869), f32(-0.08131), 0.0)]

def halftone(px, w, h, dw, dh):
    # shrink or same size on both axes; exact overlap weights; rounded half up once
    def axis(s, d):
        res = []
        for o in range(d):
            lo, hi = o*s, (o+1)*s
            ws = []
            for i in range(s):
                ov = min((i+1)*d, hi) - max(i*d, lo)
                if ov > 0: ws.append((i, ov))
            res.append(ws)
        return res
    assert dw <= w and dh <= h
    ax, ay = axis(w, dw), axis(h, dh)
    out = []
    for oy in range(dh):
        row = []
        for ox in range(dw):
            tot = 0; acc = [0,0,0]
            for (iy, wy) in ay[oy]:
                for (ix, wx) in ax[ox]:
                    wgt = wx*wy; tot += wgt
                    p = px[iy][ix]
                    for c in range(3): acc[c] += wgt*p[c]
            row.append(tuple((2*acc[c] + tot) // (2*tot) for c in range(3)))
        out.append(row)
    return out

def encode(path, quality=75, sampling=((2,2),(1,1),(1,1)), grey=False, comment=b'', credit=b''):
    X, Y, px = read_bmp(path)
    if grey: comps = [[1,1,0]]
    else: comps = [[sampling[0][0], sampling[0][1], 0], [sampling[1][0], sampling[1][1], 1], [sampling[2][0], sampling[2][1], 1]]
    Hmax = max(c[0] for c in comps); Vmax = max(c[1] for c in comps)
    qt = qtables(quality)
    coefs = []; grids = []
    prev = None; img = None
    for ci, (H, V, Tq) in enumerate(comps):
        wc = -(-H*X // Hmax); hc = -(-V*Y // Vmax)
        wc8 = (wc+7)//8*8; hc8 = (hc+7)//8*8
        if (wc, hc) != prev:
            img = px if (wc == X and hc == Y) else halftone(px, X, Y, wc, hc)
            img = [list(r) + [r[-1]]*(wc8-wc) for r in img]
            img = img + [img[-1]]*(hc8-hc)
            prev = (wc, hc)
        kR, kG, kB, add = COLOUR[ci]
        F = qt[Tq][1]
        co = []
        for r in range(hc8//8):
            for b in range(wc8//8):
                blk = [0.0]*64
                for j in range(8):
                    for i in range(8):
                        R, G, B = img[8*r+j][8*b+i]
                        blk[i+8*j] = f32(((R*kR + G*kG) + B*kB) + add)
                fdct(blk)
                q = [0]*64
                for v in range(8):
                    for u in range(8):
                        k = ZZ[u+8*v]
                        q[k] = round(F[k]*blk[u+8*v])
                co.extend(q)
        coefs.append(co); grids.append((wc8//8, hc8//8))
    Nf = len(comps)
    tabid = [0 if i == 0 else 1 for i in range(Nf)]
    # scan plan
    scans = []; start = 0; i = 0; blocks = 0
    while start <= Nf-1:
        blocks += comps[i][0]*comps[i][1]; i += 1
        if blocks > 10:
            end = True
            if start < i-1: i -= 1
        else:
            end = i > Nf-1 or i-start == 3
        if end:
            scans.append(list(range(start, i))); start = i; blocks = 0
    # block walk: one pointer per block row of each component, dummy blocks past the grid
    def walk(scan):
        if len(scan) == 1:
            c = scan[0]; n = grids[c][0]*grids[c][1]
            for b in range(n): yield c, coefs[c][64*b:64*b+64]
            return
        mcuCols = (X + 8*Hmax - 1)//(8*Hmax); mcuRows = (Y + 8*Vmax - 1)//(8*Vmax)
        st = {}
        for c in scan:
            H, V = comps[c][0], comps[c][1]; bpr = grids[c][0]
            last = bpr % H or H
            st[c] = dict(ptr=[v*64*bpr for v in range(V)], adv=(V-1)*64*bpr, last=last)
        for mr in range(1, mcuRows+1):
            lastRow = mr == mcuRows
            for mc in range(1, mcuCols+1):
                lastCol = mc == mcuCols
                for c in scan:
                    H, V = comps[c][0], comps[c][1]; s = st[c]
                    for v in range(V):
                        for h in range(H):
                            if lastRow:
                                real = s['ptr'][v] < len(coefs[c]) and not (lastCol and h >= s['last'])
                            else:
                                real = not (lastCol and h >= s['last'])
                            if real:
                                p = s['ptr'][v]; yield c, coefs[c][p:p+64]; s['ptr'][v] += 64
                            else:
                                yield c, None
            if not lastRow:
                for c in scan:
                    st[c]['ptr'] = [p + st[c]['adv'] for p in st[c]['ptr']]
    def nbits(x): return abs(x).bit_length()
    def symbols(blk, pred):
        out = []
        if blk is None:
            return [('dc', 0, 0, 0), ('ac', 0, 0, 0)], pred
        diff = blk[0] - pred; pred = blk[0]
        s = nbits(diff); out.append(('dc', s, s, diff if diff > 0 else diff-1))
        r = 0
        for k in range(1, 64):
            if blk[k] == 0: r += 1; continue
            while r > 15: out.append(('ac', 0xF0, 0, 0)); r -= 16
            s = nbits(blk[k]); out.append(('ac', r*16+s, s, blk[k] if blk[k] > 0 else blk[k]-1)); r = 0
        if r > 0: out.append(('ac', 0, 0, 0))
        return out, pred
    dcc = {t: [0]*257 for t in range(4)}; acc = {t: [0]*257 for t in range(4)}
    for scan in scans:
        pred = {c: 0 for c in scan}
        for c, blk in walk(scan):
            syms, pred[c] = symbols(blk, pred[c])
            for kind, sym, _, _ in syms:
                (dcc if kind == 'dc' else acc)[tabid[c]][sym] += 1
    def optimize(counts):
        counts = counts[:]; counts[256] = 1
        others = [-1]*257; cs = [0]*257
        while True:
            c1 = -1
            for s in range(257):
                if counts[s] and (c1 < 0 or counts[s] <= counts[c1]): c1 = s
            c2 = -1
            for s in range(257):
                if counts[s] and s != c1 and (c2 < 0 or counts[s] <= counts[c2]): c2 = s
            if c2 < 0: break
            counts[c1] += counts[c2]; counts[c2] = 0
            cs[c1] += 1
            while others[c1] >= 0: c1 = others[c1]; cs[c1] += 1
            others[c1] = c2
            cs[c2] += 1
            while others[c2] >= 0: c2 = others[c2]; cs[c2] += 1
        bits = [0]*300; maxlen = 0
        for s in range(257):
            if cs[s]: bits[cs[s]] += 1; maxlen = max(maxlen, cs[s])
        for i in range(maxlen, 16, -1):
            while bits[i] > 0:
                j = i-2
                while j >= 1 and bits[j] == 0: j -= 1
                bits[i] -= 2; bits[i-1] += 1; bits[j+1] += 2; bits[j] -= 1
        bits[min(maxlen, 16)] -= 1
        BITS = bits[1:17]
        HUFFVAL = [s for n in range(1, maxlen+1) for s in range(256) if cs[s] == n]
        codes = {}; k = 0; code = 0
        for L in range(1, 17):
            for _ in range(BITS[L-1]):
                codes[HUFFVAL[k]] = (code, L); code += 1; k += 1
            assert code < (1 << L)
            code <<= 1
        return BITS, HUFFVAL, codes
    used = sorted(set(tabid))
    tables = {}
    for t in used:
        tables[('dc', t)] = optimize(dcc[t]); tables[('ac', t)] = optimize(acc[t])
    out = bytearray()
    def seg(marker, body): out.extend(bytes([0xFF, marker]) + struct.pack('>H', len(body)+2) + body)
    out += b'\xFF\xD8'
    seg(0xE0, b'JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00')
    if comment: seg(0xFE, comment)
    seg(0xFE, credit)
    seg(0xDB, bytes([0]) + bytes(qt[0][0]))
    if Nf > 1: seg(0xDB, bytes([1]) + bytes(qt[1][0]))
    sof = bytes([8]) + struct.pack('>HH', Y, X) + bytes([Nf])
    for i, (H, V, Tq) in enumerate(comps): sof += bytes([i+1, H*16+V, Tq])
    seg(0xC0, sof)
    for t in used:
        for cls, kind in ((0, 'dc'), (1, 'ac')):
            BITS, HUFFVAL, _ = tables[(kind, t)]
            seg(0xC4, bytes([cls*16+t]) + bytes(BITS) + bytes(HUFFVAL[:sum(BITS)]))
    for scan in scans:
        body = bytes([len(scan)])
        for c in scan: body += bytes([c+1, tabid[c]*16+tabid[c]])
        seg(0xDA, body + b'\x00\x3F\x00')
        acc_ = [0, 128]
        def wbits(w, val):
            b = w
            while b >= 1:
                if val & b: acc_[0] |= acc_[1]
                if acc_[1] == 1:
                    out.append(acc_[0])
                    if acc_[0] == 255: out.append(0)
                    acc_[0] = 0; acc_[1] = 128
                else:
                    acc_[1] //= 2
                b //= 2
        pred = {c: 0 for c in scan}
        for c, blk in walk(scan):
            syms, pred[c] = symbols(blk, pred[c])
            for kind, sym, s, extra in syms:
                code, L = tables[(kind, tabid[c])][2][sym]
                wbits(1 << (L-1), code)
                if s: wbits(1 << (s-1), extra)
        if acc_[1] != 128: wbits(acc_[1], -1)
    out += b'\xFF\xD9'
    return bytes(out)

if __name__ == '__main__':
    import argparse
    ap = argparse.ArgumentParser()
    ap.add_argument('bmp'); ap.add_argument('out')
    ap.add_argument('--quality', type=int, default=75)
    ap.add_argument('--sampling', default='2x2,1x1,1x1')
    ap.add_argument('--grey', action='store_true')
    ap.add_argument('--comment', default='')
    ap.add_argument('--credit', default='JPEG Encoder Class\r\nWritten for Tavrenix\r\nSource: the Tavrenix source tree, folder jpeg/')
    a = ap.parse_args()
    samp = tuple(tuple(int(n) for n in p.split('x')) for p in a.sampling.split(','))
    data = encode(a.bmp, a.quality, samp, a.grey, a.comment.encode('cp1252'), a.credit.encode('ascii'))
    open(a.out, 'wb').write(data)
