// Two-dimensional FFT of a square complex-float image, in place: radix-2
// decimation in time along every row and every column, 16 transforms at a
// time in a strip buffer.
#include "zvek.h"
#include "zvekint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

[[maybe_unused]] const char *const fftVersion = "Zvekcfft2d V4.3\t\t06 Dec 2026";

// Rotation steps (cos(pi / m), -sin(pi / m)) for half-spans m = 4 .. 512,
// rounded to six decimals.
const float kTwiddle[8][2] = {
    {0.707107f, -0.707107f}, {0.923880f, -0.382683f}, {0.980785f, -0.195090f}, {0.995185f, -0.098017f},
    {0.998795f, -0.049068f}, {0.999699f, -0.024541f}, {0.999925f, -0.012272f}, {0.999981f, -0.006136f},
};

struct Cplx {
    float re, im;
};

// (a + ib)(c + id) = (ac - bd) + i(ad + cb), in float; with Exact, a NaN
// result is the one x86 gives for the operations in the order written.
template <bool Exact = false>
inline Cplx mul(Cplx u, Cplx x) {
    using A = zvek::Arith<Exact>;
    return {A::sub(u.re * x.re, u.im * x.im), A::add(u.re * x.im, x.re * u.im)};
}

// The rotation step of half-span m for direction dir.
Cplx stepOf(int m, int dir) {
    if (m == 1) return {-1.0f, 0.0f};
    if (m == 2) return {0.0f, static_cast<float>(dir)};
    int e = 0;
    while ((4 << e) < m) ++e;
    if (e < 8) return {kTwiddle[e][0], kTwiddle[e][1] * static_cast<float>(-dir)};
    // Half-spans beyond the table (sides above 1024): the step rounded to
    // single precision.
    const double a = M_PI / m;
    return {static_cast<float>(std::cos(a)), static_cast<float>(dir * std::sin(a))};
}

// The running factors of every stage of a transform of length n, one after
// the other (stage m starts at entry m - 1): u = 1, then u = u x step after
// each j. A transform applies the same factors to every row and column, so
// they are worked out once per call.
class Factors {
public:
    Factors(int n, int dir) {
        Cplx *f = n <= kInline ? fixed_.data() : (heap_.resize(n), heap_.data());
        for (int m = 1; m < n; m *= 2) {
            const Cplx w = stepOf(m, dir);
            Cplx u{1.0f, 0.0f};
            for (int j = 0; j < m; ++j) {
                f[m - 1 + j] = u;
                u = mul(u, w);
            }
        }
        data_ = f;
    }
    const Cplx *stage(int m) const { return data_ + m - 1; }

private:
    static constexpr int kInline = 1024;
    std::array<Cplx, kInline> fixed_;
    std::vector<Cplx> heap_;
    const Cplx *data_ = nullptr;
};

// The bit-reversal permutation of n elements: swap(i, j) for each pair.
template <typename Swap>
void bitReverse(int n, Swap &&swap) {
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) swap(i, j);
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

// The 1-D transform of n values spaced stride complex values apart. Two
// NaNs meet in its sums, where it keeps to the order written (the factors
// are finite, so a product never holds two).
void transform1d(float *x, int64_t stride, int n, int dir, const Factors &fac) {
    auto re = [&](int i) -> float & { return x[2 * stride * i]; };
    auto im = [&](int i) -> float & { return x[2 * stride * i + 1]; };
    bitReverse(n, [&](int i, int j) {
        std::swap(re(i), re(j));
        std::swap(im(i), im(j));
    });
    for (int m = 1; m < n; m *= 2) {
        const Cplx *u = fac.stage(m);
        for (int jj = 0; jj < m; ++jj)
            for (int i = jj; i < n; i += 2 * m) {
                const int k = i + m;
                const Cplx t = mul<true>(u[jj], {re(k), im(k)});
                re(k) = zvek::nanSub(re(i), t.re);
                im(k) = zvek::nanSub(im(i), t.im);
                re(i) = zvek::nanAdd(re(i), t.re);
                im(i) = zvek::nanAdd(im(i), t.im);
            }
    }
    if (dir == 1) {
        const float fn = static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            re(i) = re(i) / fn;
            im(i) = im(i) / fn;
        }
    }
}

// ---- Strips of 16 transforms side by side ----
//
// A pass transforms the n columns (or the n rows) of the image 16 at a time.
// The 16 sequences of a strip are copied into a buffer of n rows of 16
// values, real and imaginary parts in separate planes, already in
// bit-reversed order; for a strip of rows the copy is a blocked transpose.
// Each butterfly then works on whole buffer rows, whose values share their
// factor, and two stages are done per sweep over the buffer. Per value the
// arithmetic and its order are exactly those of transform1d. The plain
// operations run first; a NaN never leaves a sum or a product, so where no
// result of the strip is NaN none arose on the way and the order of the
// operands cannot show. A strip with a NaN result is done again with the
// NaN rule of zvek::Arith.

constexpr int kStrip = 16;

using zvek::f16;
using zvek::f4;
using zvek::f8;
using zvek::lanes;  // a buffer row of one plane is kStrip / lanes<V>() vectors

// A vector loaded from p (see zvek::loadV).
template <typename V>
ZVEK_INLINE V ld(const float *p) {
    V v;
    zvek::loadV(v, p);
    return v;
}
using zvek::storeV;

// x[i], x[k] = x[i] + u x[k], x[i] - u x[k] on one vector of rows i and k.
template <bool Exact, typename V>
ZVEK_INLINE void butterfly(V &ir, V &ii, V &kr, V &ki, float ur, float ui) {
    using A = zvek::Arith<Exact>;
    const V tr = A::sub(ur * kr, ui * ki);
    const V ti = A::add(ur * ki, kr * ui);
    kr = A::sub(ir, tr);
    ki = A::sub(ii, ti);
    ir = A::add(ir, tr);
    ii = A::add(ii, ti);
}

// Stage m alone over the buffer.
template <bool Exact, typename V>
ZVEK_INLINE void stage1(float *re, float *im, int n, const Cplx *u, int m) {
    for (int g = 0; g < n; g += 2 * m)
        for (int j = 0; j < m; ++j) {
            const int64_t i = int64_t(g + j) * kStrip, k = i + int64_t(m) * kStrip;
            for (int q = 0; q < kStrip; q += lanes<V>()) {
                V ir = ld<V>(re + i + q), ii = ld<V>(im + i + q), kr = ld<V>(re + k + q), ki = ld<V>(im + k + q);
                butterfly<Exact>(ir, ii, kr, ki, u[j].re, u[j].im);
                storeV(re + i + q, ir), storeV(im + i + q, ii), storeV(re + k + q, kr), storeV(im + k + q, ki);
            }
        }
}

// Stages m and 2m in one sweep: rows j, j + m, j + 2m, j + 3m of each group
// of 4m rows go through their stage-m butterflies and then through their
// stage-2m ones.
template <bool Exact, typename V>
ZVEK_INLINE void stage2(float *re, float *im, int n, const Cplx *u1, const Cplx *u2, int m) {
    const int64_t s = int64_t(m) * kStrip;
    for (int g = 0; g < n; g += 4 * m)
        for (int j = 0; j < m; ++j) {
            const int64_t a = int64_t(g + j) * kStrip;
            const Cplx w1 = u1[j], w2 = u2[j], w3 = u2[j + m];
            for (int q = 0; q < kStrip; q += lanes<V>()) {
                float *r0 = re + a + q, *i0 = im + a + q;
                V ar = ld<V>(r0), ai = ld<V>(i0), br = ld<V>(r0 + s), bi = ld<V>(i0 + s);
                V cr = ld<V>(r0 + 2 * s), ci = ld<V>(i0 + 2 * s), dr = ld<V>(r0 + 3 * s), di = ld<V>(i0 + 3 * s);
                butterfly<Exact>(ar, ai, br, bi, w1.re, w1.im);
                butterfly<Exact>(cr, ci, dr, di, w1.re, w1.im);
                butterfly<Exact>(ar, ai, cr, ci, w2.re, w2.im);
                butterfly<Exact>(br, bi, dr, di, w3.re, w3.im);
                storeV(r0, ar), storeV(i0, ai), storeV(r0 + s, br), storeV(i0 + s, bi);
                storeV(r0 + 2 * s, cr), storeV(i0 + 2 * s, ci), storeV(r0 + 3 * s, dr), storeV(i0 + 3 * s, di);
            }
        }
}

// Every stage of the transform over a strip held in the buffer.
template <bool Exact, typename V>
ZVEK_INLINE void stages(float *re, float *im, int n, const Factors &fac) {
    int m = 1;
    for (; 4 * m <= n; m *= 4) stage2<Exact, V>(re, im, n, fac.stage(m), fac.stage(2 * m), m);
    if (m < n) stage1<Exact, V>(re, im, n, fac.stage(m), m);
}

// ---- Moving strips between the image and the buffer ----
//
// In f4 units: two complex values (re, im, re, im), or four real or four
// imaginary parts.

ZVEK_INLINE f4 evens(f4 a, f4 b) { return __builtin_shufflevector(a, b, 0, 2, 4, 6); }
ZVEK_INLINE f4 odds(f4 a, f4 b) { return __builtin_shufflevector(a, b, 1, 3, 5, 7); }
ZVEK_INLINE f4 lows(f4 a, f4 b) { return __builtin_shufflevector(a, b, 0, 4, 1, 5); }
ZVEK_INLINE f4 highs(f4 a, f4 b) { return __builtin_shufflevector(a, b, 2, 6, 3, 7); }

// The inverse's division by n, on the four parts at p.
ZVEK_INLINE void scale4(float *p, float fn) { storeV(p, ld<f4>(p) / fn); }

// Rows s0 .. s0 + 15 of the image into the buffer: buffer row rev[i] lane w
// is element i of image row s0 + w. Done in blocks of 4 x 4 values.
ZVEK_INLINE void gatherRows(const float *data, int64_t N, int s0, const int *rev, float *re, float *im) {
    const float *src = data + 2 * s0 * N;
    for (int64_t i = 0; i < N; i += 4)
        for (int w = 0; w < kStrip; w += 4) {
            const float *p = src + 2 * (w * N + i);
            // Rows a, b, c, d of the block; x[h]: real (x[h][0]) or
            // imaginary parts of values 2h and 2h + 1 of the rows x and y.
            f4 ab[2][2], cd[2][2];
            for (int h = 0; h < 2; ++h) {
                const f4 a = ld<f4>(p + 4 * h), b = ld<f4>(p + 2 * N + 4 * h);
                const f4 c = ld<f4>(p + 4 * N + 4 * h), d = ld<f4>(p + 6 * N + 4 * h);
                ab[h][0] = evens(a, b), ab[h][1] = odds(a, b);
                cd[h][0] = evens(c, d), cd[h][1] = odds(c, d);
            }
            for (int k = 0; k < 4; ++k) {
                const int h = k / 2;
                const int64_t at = int64_t(rev[i + k]) * kStrip + w;
                storeV(re + at, k % 2 ? odds(ab[h][0], cd[h][0]) : evens(ab[h][0], cd[h][0]));
                storeV(im + at, k % 2 ? odds(ab[h][1], cd[h][1]) : evens(ab[h][1], cd[h][1]));
            }
        }
}

// The buffer back into rows s0 .. s0 + 15, divided by n for the inverse.
ZVEK_INLINE void scatterRows(float *data, int64_t N, int s0, int dir, float *re, float *im) {
    const float fn = static_cast<float>(N);
    float *dst = data + 2 * s0 * N;
    for (int64_t i = 0; i < N; i += 4)
        for (int w = 0; w < kStrip; w += 4) {
            float *p = dst + 2 * (w * N + i);
            for (int h = 0; h < 2; ++h) {
                // Values 2h and 2h + 1 of the block's four rows.
                const int64_t at0 = (i + 2 * h) * kStrip + w, at1 = at0 + kStrip;
                if (dir == 1) scale4(re + at0, fn), scale4(im + at0, fn), scale4(re + at1, fn), scale4(im + at1, fn);
                const f4 r0 = ld<f4>(re + at0), r1 = ld<f4>(re + at1), i0 = ld<f4>(im + at0), i1 = ld<f4>(im + at1);
                const f4 xr = lows(r0, r1), yr = highs(r0, r1), xi = lows(i0, i1), yi = highs(i0, i1);
                storeV(p + 4 * h, lows(xr, xi));
                storeV(p + 2 * N + 4 * h, highs(xr, xi));
                storeV(p + 4 * N + 4 * h, lows(yr, yi));
                storeV(p + 6 * N + 4 * h, highs(yr, yi));
            }
        }
}

// Columns s0 .. s0 + 15 of the image into the buffer: buffer row rev[i]
// holds them from image row i.
ZVEK_INLINE void gatherColumns(const float *data, int64_t N, int s0, const int *rev, float *re, float *im) {
    constexpr int kAhead = 8;  // rows fetched ahead: the reads are a row apart
    for (int64_t i = 0; i < N; ++i) {
        const float *p = data + 2 * (i * N + s0);
        if (i + kAhead < N) {
            __builtin_prefetch(p + 2 * kAhead * N);
            __builtin_prefetch(p + 2 * kAhead * N + 16);
        }
        const int64_t at = int64_t(rev[i]) * kStrip;
        for (int w = 0; w < kStrip; w += 4) {
            const f4 a = ld<f4>(p + 2 * w), b = ld<f4>(p + 2 * w + 4);
            storeV(re + at + w, evens(a, b));
            storeV(im + at + w, odds(a, b));
        }
    }
}

// The buffer back into columns s0 .. s0 + 15, divided by n for the inverse.
ZVEK_INLINE void scatterColumns(float *data, int64_t N, int s0, int dir, float *re, float *im) {
    const float fn = static_cast<float>(N);
    for (int64_t i = 0; i < N; ++i) {
        float *p = data + 2 * (i * N + s0);
        const int64_t at = i * kStrip;
        for (int w = 0; w < kStrip; w += 4) {
            if (dir == 1) scale4(re + at + w, fn), scale4(im + at + w, fn);
            const f4 r = ld<f4>(re + at + w), m = ld<f4>(im + at + w);
            storeV(p + 2 * w, lows(r, m));
            storeV(p + 2 * w + 4, highs(r, m));
        }
    }
}

// The buffer's two planes and the bit-reversal permutation as a table;
// both empty when the side is not a multiple of 16 or the memory is not
// there.
struct StripBuffer {
    std::vector<float> planes;
    std::vector<int> rev;
    explicit StripBuffer(int n) {
        if (n % kStrip != 0) return;
        try {
            planes.resize(2 * size_t(n) * kStrip);
            rev.resize(size_t(n));
        } catch (const std::bad_alloc &) {
            planes.clear();
            return;
        }
        for (int i = 0; i < n; ++i) rev[i] = i;
        bitReverse(n, [&](int i, int j) { std::swap(rev[i], rev[j]); });
    }
    float *re() { return planes.data(); }
    float *im() { return planes.data() + planes.size() / 2; }
};

// The stages with the NaN rule, apart from the plain ones' loop.
#if ZVEK_HAVE_TARGETS
ZVEK_TARGET("avx512f") __attribute__((noinline)) void exactAvx512(float *re, float *im, int n, const Factors &fac) {
    stages<true, f16>(re, im, n, fac);
}
ZVEK_TARGET("avx2") __attribute__((noinline)) void exactAvx2(float *re, float *im, int n, const Factors &fac) {
    stages<true, f8>(re, im, n, fac);
}
#endif
__attribute__((noinline)) void exactBase(float *re, float *im, int n, const Factors &fac) {
    stages<true, f4>(re, im, n, fac);
}
template <typename V>
ZVEK_INLINE void exactStages(float *re, float *im, int n, const Factors &fac) {
#if ZVEK_HAVE_TARGETS
    if constexpr (lanes<V>() == 16) return exactAvx512(re, im, n, fac);
    if constexpr (lanes<V>() == 8) return exactAvx2(re, im, n, fac);
#endif
    exactBase(re, im, n, fac);
}

// True when one of the count floats from p is NaN.
template <typename V>
ZVEK_INLINE bool holdsNaN(const float *p, int64_t count) {
    typedef decltype(V{} != V{}) M;
    M m = {};
    for (int64_t i = 0; i < count; i += lanes<V>()) {
        const V v = ld<V>(p + i);
        m |= v != v;
    }
    return zvek::anyLane(m);
}

// All columns (rows false) or all rows of the image, strip by strip.
template <typename V>
ZVEK_INLINE void pass(float *data, int n, int dir, const Factors &fac, bool rows, StripBuffer &sb) {
    float *re = sb.re(), *im = sb.im();
    const int *rev = sb.rev.data();
    for (int s0 = 0; s0 < n; s0 += kStrip) {
        rows ? gatherRows(data, n, s0, rev, re, im) : gatherColumns(data, n, s0, rev, re, im);
        stages<false, V>(re, im, n, fac);
        // No NaN in the results: none arose on the way, and the order of
        // the operands could not show. Else the strip, still in the image,
        // is done again with the NaN rule.
        if (__builtin_expect(holdsNaN<V>(re, 2 * int64_t(n) * kStrip), 0)) {
            rows ? gatherRows(data, n, s0, rev, re, im) : gatherColumns(data, n, s0, rev, re, im);
            exactStages<V>(re, im, n, fac);
        }
        rows ? scatterRows(data, n, s0, dir, re, im) : scatterColumns(data, n, s0, dir, re, im);
    }
}

#if ZVEK_HAVE_TARGETS
ZVEK_TARGET("avx512f")
void passAvx512(float *data, int n, int dir, const Factors &fac, bool rows, StripBuffer &sb) {
    pass<f16>(data, n, dir, fac, rows, sb);
}
ZVEK_TARGET("avx2")
void passAvx2(float *data, int n, int dir, const Factors &fac, bool rows, StripBuffer &sb) {
    pass<f8>(data, n, dir, fac, rows, sb);
}
#endif
void passBase(float *data, int n, int dir, const Factors &fac, bool rows, StripBuffer &sb) {
    pass<f4>(data, n, dir, fac, rows, sb);
}

// Every column of the image; or, with rows set, every row.
void passAll(float *data, int n, int dir, const Factors &fac, bool rows, StripBuffer &sb) {
    if (sb.planes.empty()) {
        for (int i = 0; i < n; ++i)
            rows ? transform1d(data + 2 * static_cast<int64_t>(i) * n, 1, n, dir, fac)
                 : transform1d(data + 2 * static_cast<int64_t>(i), n, n, dir, fac);
        return;
    }
#if ZVEK_HAVE_TARGETS
    switch (zvek::vectorLevel()) {
    case 2: passAvx512(data, n, dir, fac, rows, sb); return;
    case 1: passAvx2(data, n, dir, fac, rows, sb); return;
    }
#endif
    passBase(data, n, dir, fac, rows, sb);
}

}  // namespace

int Zvekcfft2d(ZVEKHDR *h, int dir) {
    if (h == nullptr || h->dtype != DT_32CMP || h->vekptr == nullptr) {
        std::fprintf(stderr, "cfft2d:image is not floating point complex! BYE!\n");
        return -3;
    }
    const int n = Zveknr(h);
    if (n != Zveknc(h)) {
        std::fprintf(stderr, "cff2d:image must be square\n");
        return -1;
    }
    int k = n;
    while (k % 2 == 0 && k >= 2) k /= 2;
    if (k >= 2) {
        std::fprintf(stderr, "cff2d:image dimension must be  a power of 2! BYE!\n");
        return -2;
    }
    if (n < 2 || (dir != -1 && dir != 1)) return 0;
    auto *data = static_cast<float *>(h->vekptr);
    const Factors fac(n, dir);
    // Without the strip buffer the transforms go one by one in place.
    StripBuffer sb(n);
    if (dir == -1) {
        passAll(data, n, dir, fac, true, sb);
        passAll(data, n, dir, fac, false, sb);
    } else {
        passAll(data, n, dir, fac, false, sb);
        passAll(data, n, dir, fac, true, sb);
    }
    return 0;
}
