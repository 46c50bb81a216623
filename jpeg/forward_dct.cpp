// Forward DCT, AAN algorithm (Y. Arai, T. Agui, M. Nakajima, "A fast DCT-SQ scheme for
// images", Trans. IEICE E-71(11), 1988; the flow graph of Pennebaker & Mitchell, JPEG Still
// Image Data Compression Standard, figure 4-8): 5 multiplications and 29 additions per
// eight points, the remaining output scale folded into quantization.
//
// Every byte of the output depends on how each step rounds, so the rounding is fixed here:
// every named temporary is a float, the arithmetic inside one assignment is carried out in
// double and rounded to float once when it is stored. For a single sum or product of two
// floats this is the same as float arithmetic (a double holds the exact result), so only
// the compound steps below spell the double arithmetic out. Building with FMA contraction
// would fuse the products of z2 and z4 and change the results (-ffp-contract=off is global).
#include "jpeg/forward_dct.h"

#include "platform/vector_clones.h"

namespace tav {

namespace {

// cos(4 pi / 16), cos(6 pi / 16), cos(2 pi / 16) - cos(6 pi / 16), cos(2 pi / 16) + cos(6 pi / 16),
// to the precision the encoder has always used.
constexpr double kC4 = 0.707106781186548;
constexpr double kC6a = 0.382683432365091;
constexpr double kC2a = 0.541196100146196;
constexpr double kC6b = 1.30656296487638;

// One eight-point pass over the values at p[0], p[step], ... p[7 * step].
inline void transform8(float* p, int step)
{
    const float d0 = p[0];
    const float d1 = p[step];
    const float d2 = p[2 * step];
    const float d3 = p[3 * step];
    const float d4 = p[4 * step];
    const float d5 = p[5 * step];
    const float d6 = p[6 * step];
    const float d7 = p[7 * step];

    const float t0 = d0 + d7;
    const float t7 = d0 - d7;
    const float t1 = d1 + d6;
    const float t6 = d1 - d6;
    const float t2 = d2 + d5;
    const float t5 = d2 - d5;
    const float t3 = d3 + d4;
    const float t4 = d3 - d4;

    const float a = t5 + t4;
    const float t13 = t0 - t3;
    const float t10 = t0 + t3;
    const float t11 = t2 + t1;

    // Even part. (t1 - t2) + t13 is not rounded on its own.
    const float z1 = float(((double(t1) - double(t2)) + double(t13)) * kC4);
    const float b = t6 + t7;
    // Odd part. The rotation shares z5 between z2 and z4; each product-minus-z5 is one
    // assignment, rounded once.
    const float z3 = float((double(t5) + double(t6)) * kC4);
    const float z5 = float((double(b) - double(a)) * kC6a);
    const float z2 = float(double(a) * kC2a - double(z5));
    const float z4 = float(double(b) * kC6b - double(z5));
    const float z11 = z3 + t7;
    const float z13 = t7 - z3;

    p[0] = t10 + t11;
    p[4 * step] = t10 - t11;
    p[step] = z11 + z4;
    p[7 * step] = z11 - z4;
    p[2 * step] = t13 + z1;
    p[6 * step] = t13 - z1;
    p[5 * step] = z2 + z13;
    p[3 * step] = z13 - z2;
}

// transform8 on eight lanes: d[i][lane] is value i of lane `lane`; the outputs replace them.
// Every statement is the scalar one applied to each lane, so each lane rounds exactly as
// transform8 does; the loops over lanes are what the compiler turns into vector instructions.
inline void transform8Lanes(float (&d)[8][8])
{
    float t0[8], t1[8], t2[8], t3[8], t4[8], t5[8], t6[8], t7[8];
    for (int l = 0; l < 8; ++l) {
        t0[l] = d[0][l] + d[7][l];
        t7[l] = d[0][l] - d[7][l];
        t1[l] = d[1][l] + d[6][l];
        t6[l] = d[1][l] - d[6][l];
        t2[l] = d[2][l] + d[5][l];
        t5[l] = d[2][l] - d[5][l];
        t3[l] = d[3][l] + d[4][l];
        t4[l] = d[3][l] - d[4][l];
    }
    float a[8], b[8], t10[8], t11[8], t13[8];
    for (int l = 0; l < 8; ++l) {
        a[l] = t5[l] + t4[l];
        t13[l] = t0[l] - t3[l];
        t10[l] = t0[l] + t3[l];
        t11[l] = t2[l] + t1[l];
        b[l] = t6[l] + t7[l];
    }
    float z1[8], z3[8], z5[8];
    for (int l = 0; l < 8; ++l) {
        z1[l] = float(((double(t1[l]) - double(t2[l])) + double(t13[l])) * kC4);
        z3[l] = float((double(t5[l]) + double(t6[l])) * kC4);
        z5[l] = float((double(b[l]) - double(a[l])) * kC6a);
    }
    float z2[8], z4[8];
    for (int l = 0; l < 8; ++l) {
        z2[l] = float(double(a[l]) * kC2a - double(z5[l]));
        z4[l] = float(double(b[l]) * kC6b - double(z5[l]));
    }
    for (int l = 0; l < 8; ++l) {
        const float z11 = z3[l] + t7[l];
        const float z13 = t7[l] - z3[l];
        d[0][l] = t10[l] + t11[l];
        d[4][l] = t10[l] - t11[l];
        d[1][l] = z11 + z4[l];
        d[7][l] = z11 - z4[l];
        d[2][l] = t13[l] + z1[l];
        d[6][l] = t13[l] - z1[l];
        d[5][l] = z2[l] + z13;
        d[3][l] = z13 - z2[l];
    }
}

}  // namespace

TAV_VECTOR_CLONES void ForwardDCTLanes(SampleBlock& block)
{
    // Columns: value y of lane x is sample (x, y), the block as it is stored.
    float lanes[8][8];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            lanes[y][x] = block[std::size_t(x + 8 * y)];
    transform8Lanes(lanes);
    // Rows: value x of lane v is the column pass's (x, v), so transpose.
    float rows[8][8];
    for (int x = 0; x < 8; ++x)
        for (int v = 0; v < 8; ++v)
            rows[x][v] = lanes[v][x];
    transform8Lanes(rows);
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            block[std::size_t(u + 8 * v)] = rows[u][v];
}

void ForwardDCT(SampleBlock& block)
{
    // Columns before rows: the other order gives the same values in exact arithmetic but not
    // always in float, and a single last-bit difference can move a quantized coefficient.
    for (int x = 0; x < 8; ++x)
        transform8(block.data() + x, 8);
    for (int y = 0; y < 8; ++y)
        transform8(block.data() + 8 * y, 1);
}

}  // namespace tav
