// Features built on the derivative-of-Gaussian filter: isophote curvature,
// gradient magnitude and direction, Laplacian, quadratic variation, the
// Harris corner response and the marking of local maxima.
//
// The arithmetic between the derivative images goes through the
// element-wise operations in a fixed order: it decides the float rounding.
#include "imageops.h"
#include "harris.h"
#include "opsint.h"
#include "zvekint.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

const char *flfeatures_version = "flfeatures V 1.2    06 Dec 2026";

using ops::ImagePtr;

namespace {

// The checks every feature starts with: both float (-1), both with pixels
// (kNoPixels, with its line), sizes agree (-2).
int checkFeature(ZVEKHDR *in, ZVEKHDR *out, const char *name) {
    if (!ops::isFloat(in) || !ops::isFloat(out)) return -1;
    if (!ops::hasPixels(in) || !ops::hasPixels(out)) return ops::refuseNoPixels(name);
    if (!ops::sizesAgree(in, out)) return -2;
    return 0;
}

// A float temporary of like's shape.
ImagePtr temp(ZVEKHDR *like) { return ops::makeLike("float", like); }

// One frame of a float image seen as a 2-D image of columns x rows; the
// data stay the image's own and are not released with the view.
class FrameView {
public:
    FrameView(ZVEKHDR *img, int frame) {
        const ops::Shape s = ops::shapeOf(img);
        const int32_t dims[3] = {2, s.cols, s.rows};
        h_ = Zvekcreate("float", dims, 0, 0);
        if (h_ != nullptr) h_->vekptr = ops::floatData(img) + int64_t(frame) * s.plane();
    }
    ~FrameView() {
        if (h_ != nullptr) {
            h_->vekptr = nullptr;
            Zvekfree(h_, 7);
        }
    }
    FrameView(const FrameView &) = delete;
    FrameView &operator=(const FrameView &) = delete;
    ZVEKHDR *get() const { return h_; }

private:
    ZVEKHDR *h_ = nullptr;
};

// Kernel orders and directions of the derivatives.
struct Deriv { int order, dir; };
constexpr Deriv kLx{1, 0}, kLy{1, 1}, kLxx{2, 0}, kLyy{2, 1}, kLxy{2, 2};

int dog(ZVEKHDR *in, ZVEKHDR *out, Deriv d, float sigma) { return flDoG(in, out, d.order, d.dir, sigma); }

// Lx and Ly of the input, over all frames, into two new temporaries.
int firstDerivatives(ZVEKHDR *in, float sigma, ImagePtr &X, ImagePtr &Y) {
    X = temp(in);
    Y = temp(in);
    if (!X || !Y) return -1;
    if (int rc = dog(in, X.get(), kLx, sigma)) return rc;
    return dog(in, Y.get(), kLy, sigma);
}

// Curvature of one 2-D frame into the 2-D frame out. Six temporaries are
// reused for the intermediate products; each step is one element-wise
// operation, in place where its input is not needed again.
int curvFrame(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    ImagePtr Ly = temp(in), Lxx = temp(in), Ly2 = temp(in), Lx = temp(in), Lxy = temp(in), Lyy = temp(in);
    if (!Ly || !Lxx || !Ly2 || !Lx || !Lxy || !Lyy) return -1;
    // Ly and Lxx; Ly2 = Ly * Ly; Q1 = Lxx * Ly2 (in Lxx).
    if (int rc = dog(in, Ly.get(), kLy, sigma)) return rc;
    if (int rc = dog(in, Lxx.get(), kLxx, sigma)) return rc;
    flmultv(Ly.get(), Ly.get(), Ly2.get());
    flmultv(Lxx.get(), Ly2.get(), Lxx.get());
    // Lx and Lxy; Q2 = (Lxy * Ly) * Lx; Q3 = -2 * Q2 (in Lxy).
    if (int rc = dog(in, Lx.get(), kLx, sigma)) return rc;
    if (int rc = dog(in, Lxy.get(), kLxy, sigma)) return rc;
    flmultv(Lxy.get(), Ly.get(), Lxy.get());
    flmultv(Lxy.get(), Lx.get(), Lxy.get());
    flmults(Lxy.get(), Lxy.get(), -2.0f);
    // Lyy; Lx2 = Lx * Lx (in Lx); Q4 = Lyy * Lx2 (in Lyy).
    if (int rc = dog(in, Lyy.get(), kLyy, sigma)) return rc;
    flmultv(Lx.get(), Lx.get(), Lx.get());
    flmultv(Lyy.get(), Lx.get(), Lyy.get());
    // Q5 = Q1 + Q3; num = Q5 + Q4 (in Lxx); den = Lx2 + Ly2 (in Ly2).
    fladdv(Lxx.get(), Lxy.get(), Lxx.get());
    fladdv(Lxx.get(), Lyy.get(), Lxx.get());
    fladdv(Lx.get(), Ly2.get(), Ly2.get());
    ZVEKHDR *num = Lxx.get(), *den = Ly2.get();
    if (ifneg(den)) std::printf("temp is negative\n");
    // s = sqrt(den) into a zeroed temporary (a stopped square root leaves
    // the rest zero); t = den * s + 0.01; out = num / t.
    ZVEKHDR *sq = Ly.get(), *t = Lxy.get();
    std::memset(sq->vekptr, 0, size_t(ops::elementCount(sq)) * sizeof(float));
    flsqrt(den, sq);
    flmultv(den, sq, t);
    fladds(t, t, 0.01f);
    fldivv(num, t, out);
    return 0;
}

// ---- The Harris response ----
//
// Per interior pixel, the sums of Lx * Lx, Ly * Ly and Lx * Ly over its
// 3 x 3 neighbourhood in double (neighbour rows outer, columns inner, from
// 0), each divided by 9; then det - (0.07 tr) tr. The image is done in
// tiles of columns, each walked down its rows. The products of a row are
// formed once, into a ring of rows that stays in the cache (a product is
// the same double wherever it is formed); two output rows are summed at
// once from the four product rows they cover, and neighbouring pixels side
// by side, one per lane, every lane in the order above.

// Columns of one tile; the length of a row of products (the tile's columns
// and one on either side, rounded up to whole cache lines); the ring's rows;
// how many rows beyond the next products the derivatives are fetched.
constexpr int kHarrisTile = 2048;
constexpr int kHarrisSpan = kHarrisTile + 8;
constexpr int kHarrisRing = 4;
constexpr int kHarrisAhead = 8;

// Vectors of half as many doubles as V has floats (one register of V's
// width), and of that many floats.
template <typename V>
struct HalvesOf {
    typedef double d __attribute__((vector_size(sizeof(V))));
    typedef float f __attribute__((vector_size(sizeof(V) / 2)));
};

// Products of one row: xx = a a, yy = b b, xy = a b, with a and b the
// derivatives widened to double; xx at p, yy at p + kHarrisSpan, xy at
// p + 2 kHarrisSpan. Two NaNs meet only in xy, which takes the NaN rule.
struct HarrisProducts {
    const float *a, *b;
    double *p;

    template <typename V, int NV>
    OPS_INLINE void block(int c) const {
        using D = typename HalvesOf<V>::d;
        using F = typename HalvesOf<V>::f;
        constexpr int H = ops::lanes<V>() / 2;
        // Locals, not members: the stores below may alias anything.
        const float *sa = a + c, *sb = b + c;
        double *d = p + c;
        for (int h = 0; h < 2 * NV; ++h) {
            F fa, fb;
            __builtin_memcpy(&fa, sa + H * h, sizeof fa);
            __builtin_memcpy(&fb, sb + H * h, sizeof fb);
            const D da = __builtin_convertvector(fa, D), db = __builtin_convertvector(fb, D);
            const D pxx = da * da, pyy = db * db, pxy = zvek::nanMul(da, db);
            __builtin_memcpy(d + H * h, &pxx, sizeof pxx);
            __builtin_memcpy(d + kHarrisSpan + H * h, &pyy, sizeof pyy);
            __builtin_memcpy(d + 2 * kHarrisSpan + H * h, &pxy, sizeof pxy);
        }
    }

    OPS_INLINE void one(int c) const {
        const double da = a[c], db = b[c];
        p[c] = da * da;
        p[kHarrisSpan + c] = db * db;
        p[2 * kHarrisSpan + c] = zvek::nanMul(da, db);
    }
};

// The response from the three sums, in place of the first.
template <bool Exact, typename D>
OPS_INLINE void harrisResponse(D &sxx, const D &sumYy, const D &sumXy) {
    using A = zvek::Arith<Exact>;
    sxx = sxx / 9.0;
    const D syy = sumYy / 9.0, sxy = sumXy / 9.0;
    const D det = A::sub(A::mul(syy, sxx), A::mul(sxy, sxy));
    const D tr = A::add(sxx, syy);
    sxx = A::sub(det, A::mul(0.07 * tr, tr));
}

// Responses of R consecutive rows (1 or 2) of a tile: position c is the
// pixel whose neighbourhood covers columns c .. c + 2 of product rows
// t .. t + 2 for output row t; row[0] is the row above the first output row.
// Finite derivatives give finite products, sums and responses; a block
// whose responses hold a NaN is worked out again one position at a time
// with the NaN rule of zvek::Arith, so that a NaN (or an infinity) among
// the derivatives gives the same bits on every path, whatever order the
// compiler gave the operands.
template <int R>
struct HarrisRows {
    const double *row[R + 2];
    float *o[R];  // response of position c of output row t at o[t][c]
    // Derivative rows (lx and ly of two rows) that a later step turns into
    // products, fetched into the cache a little per block while this step
    // divides; none when null.
    const float *ahead[4] = {};

    // The responses of the 2 H positions from q[.] + at into r.
    template <typename D, int H>
    static OPS_INLINE void responses(const double *const *q, int at, D (&r)[2][R]) {
        // Both halves of a V at once: more independent sums in flight.
        D s[2][R][3] = {};
        _Pragma("GCC unroll 4") for (int k = 0; k < R + 2; ++k)
            _Pragma("GCC unroll 3") for (int j = 0; j < 3; ++j)
                _Pragma("GCC unroll 3") for (int w = 0; w < 3; ++w)
                    _Pragma("GCC unroll 2") for (int h = 0; h < 2; ++h) {
                        D x;
                        __builtin_memcpy(&x, q[k] + w * kHarrisSpan + at + H * h + j, sizeof x);
                        _Pragma("GCC unroll 2") for (int t = 0; t < R; ++t)
                            if (k >= t && k <= t + 2) s[h][t][w] = s[h][t][w] + x;
                    }
        _Pragma("GCC unroll 2") for (int h = 0; h < 2; ++h)
            _Pragma("GCC unroll 2") for (int t = 0; t < R; ++t) {
                harrisResponse<false>(s[h][t][0], s[h][t][1], s[h][t][2]);
                r[h][t] = s[h][t][0];
            }
    }

    template <typename V, int NV>
    OPS_INLINE void block(int c) const {
        using D = typename HalvesOf<V>::d;
        using F = typename HalvesOf<V>::f;
        constexpr int H = ops::lanes<V>() / 2;
        // Locals, not members: the stores below may alias anything.
        const double *q[R + 2];
        float *out[R];
        for (int k = 0; k < R + 2; ++k) q[k] = row[k] + c;
        if (ahead[0] != nullptr)
            for (int k = 0; k < 4; ++k)
                for (int i = 0; i < NV * ops::lanes<V>(); i += 16) __builtin_prefetch(ahead[k] + c + i);
        for (int t = 0; t < R; ++t) out[t] = o[t] + c;
        D any = {};  // NaN in some lane once some response is NaN
        for (int v = 0; v < NV; ++v) {
            const int at = 2 * H * v;
            D r[2][R];
            responses<D, H>(q, at, r);
            _Pragma("GCC unroll 2") for (int h = 0; h < 2; ++h)
                _Pragma("GCC unroll 2") for (int t = 0; t < R; ++t) {
                    any = any + r[h][t];
                    const F f = __builtin_convertvector(r[h][t], F);
                    __builtin_memcpy(out[t] + at + H * h, &f, sizeof f);
                }
        }
        // Rare: the block again, one position at a time.
        if (__builtin_expect(zvek::anyNaN(any), 0))
            for (int t = 0; t < R; ++t)
                for (int l = 0; l < NV * 2 * H; ++l) out[t][l] = static_cast<float>(response<true>(t, c + l));
    }

    template <bool Exact>
    OPS_INLINE double response(int t, int c) const {
        using A = zvek::Arith<Exact>;
        double s[3] = {0, 0, 0};
        for (int k = t; k < t + 3; ++k)
            for (int j = 0; j < 3; ++j)
                for (int w = 0; w < 3; ++w) s[w] = A::add(s[w], row[k][w * kHarrisSpan + c + j]);
        harrisResponse<Exact>(s[0], s[1], s[2]);
        return s[0];
    }

    OPS_INLINE void one(int c) const {
        for (int t = 0; t < R; ++t) {
            double r = response<false>(t, c);
            if (r != r) r = response<true>(t, c);
            o[t][c] = static_cast<float>(r);
        }
    }
};

}  // namespace

int ifneg(ZVEKHDR *image) {
    if (!ops::isFloat(image)) return 0;
    const ops::Shape s = ops::shapeOf(image);
    const int64_t n = ops::ndimOf(image) == 2 ? s.plane() : s.count();
    const float *p = ops::floatData(image);
    for (int64_t i = 0; i < n; ++i)
        if (p[i] < 0.0f) return 1;
    return 0;
}

int flcurv(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flcurv")) return rc;
    const int frames = ops::shapeOf(in).frames;
    for (int f = 0; f < frames; ++f) {
        FrameView vin(in, f), vout(out, f);
        if (vin.get() == nullptr || vout.get() == nullptr) return -1;
        if (int rc = curvFrame(vin.get(), vout.get(), sigma)) return rc;
    }
    return 0;
}

int flgmag(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flgmag")) return rc;
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    flmultv(X.get(), X.get(), X.get());
    flmultv(Y.get(), Y.get(), Y.get());
    fladdv(X.get(), Y.get(), Y.get());
    flsqrt(Y.get(), out);
    return 0;
}

int flgdir(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flgdir")) return rc;
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    flatan2(Y.get(), X.get(), out);
    return 0;
}

int flLaplace(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flLaplace")) return rc;
    ImagePtr T = temp(in);
    if (!T) return -1;
    if (!(sigma >= 0.0f)) {
        // Sum of the squared second derivatives at -sigma.
        if (int rc = dog(in, T.get(), kLxx, -sigma)) return rc;
        flmultv(T.get(), T.get(), T.get());
        if (int rc = dog(in, out, kLyy, -sigma)) return rc;
        flmultv(out, out, out);
    } else {
        if (int rc = dog(in, T.get(), kLxx, sigma)) return rc;
        if (int rc = dog(in, out, kLyy, sigma)) return rc;
    }
    fladdv(T.get(), out, out);
    return 0;
}

int flqvar(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flqvar")) return rc;
    // Lyy goes straight into out, and Lxy is taken after it: an output that
    // is the input gets its derivatives from a copy.
    ImagePtr copy;
    if (out->vekptr == in->vekptr) {
        copy.reset(flcrcopy(in));
        if (!copy) return -1;
        in = copy.get();
    }
    ImagePtr T = temp(in);
    if (!T) return -1;
    int rc = dog(in, T.get(), kLxx, sigma);
    if (rc != 0) std::printf("non zero value returned from flDoG2,0\n");
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(T.get(), T.get(), T.get());

    rc = dog(in, out, kLyy, sigma);
    if (rc != 0) std::printf("non zero value returned from flDoG2,1\n");
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(out, out, out);
    fladdv(T.get(), out, out);

    rc = dog(in, T.get(), kLxy, sigma);
    if (rc != 0) std::printf("value %d returned from flDoG2,2\n", rc);
    std::fflush(stdout);
    if (rc != 0) return rc;
    flmultv(T.get(), T.get(), T.get());
    fladdv(out, T.get(), out);

    flmults(out, out, sigma * sigma);
    return 0;
}

int ops::harrisLoop(const float *lx, const float *ly, float *out, int cols, int rows, int frames) {
    if (cols < 3 || rows < 3) return 0;
    const int64_t plane = int64_t(cols) * rows;
    // The ring, from a cache-line boundary: row r of products at slot(r).
    std::vector<double> ringRows;
    try {
        ringRows.resize(size_t(kHarrisRing) * 3 * kHarrisSpan + 8);
    } catch (const std::bad_alloc &) {
        return -1;
    }
    double *ring = ringRows.data() + (-reinterpret_cast<uintptr_t>(ringRows.data()) & 63) / sizeof(double);
    for (int f = 0; f < frames; ++f) {
        const float *fx = lx + f * plane, *fy = ly + f * plane;
        float *fo = out + f * plane;
        for (int c0 = 1; c0 < cols - 1; c0 += kHarrisTile) {
            const int width = std::min(kHarrisTile, cols - 1 - c0);
            auto slot = [&](int r) { return ring + (r % kHarrisRing) * 3 * kHarrisSpan; };
            auto outRow = [&](int r) { return fo + int64_t(r) * cols + c0; };
            auto products = [&](int r) {
                const int64_t at = int64_t(r) * cols + c0 - 1;
                ops::runColumns(HarrisProducts{fx + at, fy + at, slot(r)}, width + 2);
            };
            products(0);
            products(1);
            int r = 1;
            for (; r + 1 < rows - 1; r += 2) {
                products(r + 1);
                products(r + 2);
                HarrisRows<2> k{{slot(r - 1), slot(r), slot(r + 1), slot(r + 2)}, {outRow(r), outRow(r + 1)}};
                if (r + kHarrisAhead + 3 < rows) {
                    const int64_t a0 = int64_t(r + kHarrisAhead + 2) * cols + c0 - 1, a1 = a0 + cols;
                    k.ahead[0] = fx + a0, k.ahead[1] = fy + a0, k.ahead[2] = fx + a1, k.ahead[3] = fy + a1;
                }
                ops::runColumns(k, width);
            }
            if (r < rows - 1) {
                products(r + 1);
                ops::runColumns(HarrisRows<1>{{slot(r - 1), slot(r), slot(r + 1)}, {outRow(r)}}, width);
            }
        }
    }
    return 0;
}

int flHarris(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    if (int rc = checkFeature(in, out, "flHarris")) return rc;
    const ops::Shape s = ops::shapeOf(in);
    ImagePtr X, Y;
    if (int rc = firstDerivatives(in, sigma, X, Y)) return rc;
    return ops::harrisLoop(ops::floatData(X.get()), ops::floatData(Y.get()), ops::floatData(out), s.cols, s.rows,
                           s.frames);
}

int flmarkmax(ZVEKHDR *in, ZVEKHDR *out, float sigma) {
    // A float gray image, or a float colour image of three frames or more;
    // out a float image of three frames or more with the input's columns
    // and rows.
    if (!ops::isFloat(in) || !ops::isFloat(out)) return -1;
    if (!ops::hasPixels(in) || !ops::hasPixels(out)) return ops::refuseNoPixels("flmarkmax");
    const ops::Shape si = ops::shapeOf(in), so = ops::shapeOf(out);
    const int nd = ops::ndimOf(in);
    if ((nd != 2 && nd != 3) || (nd == 3 && si.frames < 3)) return -2;
    if (ops::ndimOf(out) != 3 || so.cols != si.cols || so.rows != si.rows || so.frames < 3) return -2;

    // The input (or its blur) scaled to bytes over the whole image.
    ImagePtr B = ops::makeLike("u8bit", in);
    if (!B) return -1;
    float mn = 0.0f, mx = 0.0f;
    if (sigma != 0.0f) {
        ImagePtr blur = temp(in);
        if (!blur) return -1;
        if (int rc = flDoG(in, blur.get(), 0, 0, sigma)) return rc;
        Zvekvidscale(blur.get(), B.get(), &mn, &mx, 0);
    } else {
        Zvekvidscale(in, B.get(), &mn, &mx, 0);
    }
    if (nd == 2) {
        std::printf("starting..\n");
        std::fflush(stdout);
    }

    // Strict local maxima of each frame of B in red; every other interior
    // pixel takes B's frames 0, 1 and 2 (a gray B its one frame). The last
    // frame's pass decides the result.
    const uint8_t *b = static_cast<const uint8_t *>(B->vekptr);
    const int64_t plane = si.plane();
    const int cols = si.cols;
    float *o0 = ops::floatData(out), *o1 = o0 + so.plane(), *o2 = o1 + so.plane();
    const uint8_t *g0 = b, *g1 = nd == 3 ? b + plane : b, *g2 = nd == 3 ? b + 2 * plane : b;
    for (int f = 0; f < si.frames; ++f) {
        const uint8_t *bf = b + int64_t(f) * plane;
        for (int r = 1; r < si.rows - 1; ++r)
            for (int c = 1; c < cols - 1; ++c) {
                const int64_t k = int64_t(r) * cols + c;
                const int v = bf[k];
                bool isMax = true;
                for (int i = -1; i <= 1 && isMax; ++i)
                    for (int j = -1; j <= 1; ++j)
                        if ((i != 0 || j != 0) && bf[k + int64_t(i) * cols + j] >= v) {
                            isMax = false;
                            break;
                        }
                if (isMax) {
                    o0[k] = 255.0f;
                    o1[k] = 0.0f;
                    o2[k] = 0.0f;
                } else {
                    o0[k] = g0[k];
                    o1[k] = g1[k];
                    o2[k] = g2[k];
                }
            }
    }
    return 0;
}
