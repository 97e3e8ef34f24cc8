// Shifted two-image arithmetic: the second image is placed at a row and
// column offset from the first on a canvas that holds the first image
// moved by the offset; samples outside an image count as 0.
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#include <algorithm>
#include <cstdio>

const char *flshifted_version = "flshifted V 1.1    06 Dec 2026";

namespace {

struct OpAdd { float operator()(float a, float b) const { return a + b; } };
struct OpSub { float operator()(float a, float b) const { return a - b; } };
struct OpMul { float operator()(float a, float b) const { return a * b; } };
struct OpDiv { float operator()(float a, float b) const { return b != 0.0f ? a / b : 255.0f; } };

// Where an image lies on the canvas: canvas coordinate x holds the image's
// sample x - off, for 0 <= x - off < len.
struct Span {
    int64_t off, len;
    bool inside(int64_t x) const { return x - off >= 0 && x - off < len; }
};

// One canvas row of n samples from the rows a and b (null when that image
// has no row here), each placed at its column offset. The row is cut into
// runs in which each image is either inside or outside throughout, so the
// inner loops carry no tests.
template <typename Op>
void shiftedRow(float *o, int64_t n, const float *a, Span ca, const float *b, Span cb, Op op) {
    int64_t cuts[6] = {0, n, ca.off, ca.off + ca.len, cb.off, cb.off + cb.len};
    for (int64_t &x : cuts) x = std::clamp<int64_t>(x, 0, n);
    std::sort(cuts, cuts + 6);
    for (int k = 0; k + 1 < 6; ++k) {
        const int64_t x0 = cuts[k], x1 = cuts[k + 1];
        if (x0 >= x1) continue;
        const bool ina = a != nullptr && ca.inside(x0);
        const bool inb = b != nullptr && cb.inside(x0);
        const float *pa = ina ? a - ca.off : nullptr;
        const float *pb = inb ? b - cb.off : nullptr;
        if (ina && inb)
            for (int64_t x = x0; x < x1; ++x) o[x] = op(pa[x], pb[x]);
        else if (ina)
            for (int64_t x = x0; x < x1; ++x) o[x] = op(pa[x], 0.0f);
        else if (inb)
            for (int64_t x = x0; x < x1; ++x) o[x] = op(0.0f, pb[x]);
        else
            for (int64_t x = x0; x < x1; ++x) o[x] = op(0.0f, 0.0f);
    }
}

// The placement rule of one axis: with d > 0 the first image stays and the
// second moves by d; otherwise the second stays and the first moves by -d.
void place(int d, int64_t &offA, int64_t &offB) {
    offA = d > 0 ? 0 : -int64_t(d);
    offB = d > 0 ? int64_t(d) : 0;
}

template <typename Op>
int shifted(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc, Op op) {
    if (a == nullptr || b == nullptr || a->vekndim != b->vekndim) {
        std::printf("both input images must be either both grayscale or both color\n");
        std::fflush(stdout);
        return -2;
    }
    const ops::Shape sa = ops::shapeOf(a), sb = ops::shapeOf(b), so = ops::shapeOf(out);
    const int64_t wantRows = std::max<int64_t>(int64_t(sa.rows) + std::abs(int64_t(dr)), sb.rows);
    const int64_t wantCols = std::max<int64_t>(int64_t(sa.cols) + std::abs(int64_t(dc)), sb.cols);
    if (so.rows != wantRows || so.cols != wantCols || !ops::hasPixels(out)) return -1;
    const int nd = ops::ndimOf(a);
    if (nd != 2 && nd != 3) return 0;  // nothing is written
    const int frames = nd == 3 ? 3 : 1;
    if (nd == 3) {
        // Colour: three frames in each image.
        if (sa.frames < 3 || sb.frames < 3) {
            std::printf("color images must have three frames\n");
            std::fflush(stdout);
            return -3;
        }
        if (ops::ndimOf(out) != 3 || so.frames < 3) return -1;
    }
    // Every image must be one the pixel accessors handle: the 2-D ones only
    // the plain types, the 3-D ones the interleaved types as well, with a
    // frame per channel.
    for (ZVEKHDR *h : {a, b, out}) {
        const bool known = nd == 2 ? zvek::dispatchPlain(h->dtype, [](auto) {})
                                   : zvek::dispatchType(h->dtype, [](auto) {});
        if (h->vekptr == nullptr || !known || !zvek::layoutFits(h)) return -1;
    }

    int64_t ra0, rb0, ca0, cb0;
    place(dr, ra0, rb0);
    place(dc, ca0, cb0);
    const Span rowsA{ra0, sa.rows}, rowsB{rb0, sb.rows};
    const Span colsA{ca0, sa.cols}, colsB{cb0, sb.cols};

    if (ops::isFloat(a) && ops::isFloat(b) && ops::isFloat(out)) {
        for (int f = 0; f < frames; ++f) {
            const float *fa = ops::floatData(a) + f * sa.plane();
            const float *fb = ops::floatData(b) + f * sb.plane();
            float *fo = ops::floatData(out) + f * so.plane();
            for (int64_t r = 0; r < so.rows; ++r) {
                const float *rowA = rowsA.inside(r) ? fa + (r - rowsA.off) * sa.cols : nullptr;
                const float *rowB = rowsB.inside(r) ? fb + (r - rowsB.off) * sb.cols : nullptr;
                shiftedRow(fo + r * so.cols, so.cols, rowA, colsA, rowB, colsB, op);
            }
        }
        return 0;
    }
    // Any other numeric types, through the pixel accessors.
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < so.rows; ++r)
            for (int c = 0; c < so.cols; ++c) {
                float va = 0.0f, vb = 0.0f;
                if (rowsA.inside(r) && colsA.inside(c)) {
                    const int rr = int(r - rowsA.off), cc = int(c - colsA.off);
                    va = float(nd == 3 ? Zvekfgp3d(a, f, rr, cc) : Zvekfgp(a, rr, cc));
                }
                if (rowsB.inside(r) && colsB.inside(c)) {
                    const int rr = int(r - rowsB.off), cc = int(c - colsB.off);
                    vb = float(nd == 3 ? Zvekfgp3d(b, f, rr, cc) : Zvekfgp(b, rr, cc));
                }
                const float v = op(va, vb);
                if (nd == 3)
                    Zvekfpp3d(out, f, r, c, v);
                else
                    Zvekfpp(out, r, c, v);
            }
    return 0;
}

}  // namespace

int fladdi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc) { return shifted(a, b, out, dr, dc, OpAdd{}); }
int flsubi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc) { return shifted(a, b, out, dr, dc, OpSub{}); }
int flmuli(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc) { return shifted(a, b, out, dr, dc, OpMul{}); }
int fldivi(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, int dr, int dc) { return shifted(a, b, out, dr, dc, OpDiv{}); }
