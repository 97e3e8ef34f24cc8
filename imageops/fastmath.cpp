// Exponent, natural logarithm and two-argument arc tangent of float runs
// (see fastmath.h).
//
// How the result is kept identical to the library call: the double value y
// of the polynomial method differs from the true value by less than 2^-41
// relative (bounds below). A double rounds to the same float as the true
// value unless a float rounding boundary (the midpoint between two adjacent
// floats) lies between them. In the double's bits such a midpoint has its
// 29 low significand bits equal to 2^28; a relative error of 2^-41 is less
// than 2^12 units in the last place of y, and the library's own result is
// within 1 unit of the true value. Any y whose low bits lie within
// kNear = 2^14 units of a midpoint (room for a relative error of 2^-40,
// with a margin of two) is recomputed with the library call; every other y
// rounds to the float the library call rounds to. Samples outside the
// polynomial's range (NaN, infinities, results near or below the smallest
// normal float) also take the library call, or get the value it is known
// to give. A check of all 2^32 float inputs found no difference on any
// instruction-set path; fewer than one finite sample in 10000 takes the
// library call.
#include "fastmath.h"

#include "opsint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Vectors never cross a call boundary (the helpers are always inlined).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace ops {
namespace {

typedef double d8 __attribute__((vector_size(64)));
typedef int64_t l8 __attribute__((vector_size(64)));
typedef uint64_t u8 __attribute__((vector_size(64)));
typedef int32_t i8 __attribute__((vector_size(32)));

constexpr int64_t kNear = int64_t(1) << 14;
constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer
constexpr double kLn2Hi = 0x1.62e42feep-1;  // ln 2 to 32 bits: k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;  // ln 2 - kLn2Hi

OPS_INLINE d8 splat(double v) { return d8{} + v; }

// Lanes are flagged by the sign bit of a 64-bit mask: negative means the
// lane's value may round to another float than the true value and is
// recomputed by the library call. Flags combine with |.

// Flags the lanes whose 29 low significand bits lie within kNear units
// below or kNear - 1 units above the midpoint pattern 2^28.
OPS_INLINE l8 nearMidpoint(const d8 &y) {
    return (l8)(((u8)y + uint64_t(kNear - 0x10000000)) & 0x1FFFFFFFu) - 2 * kNear;
}

// 8 single-precision masks (all ones or zero) widened to 64-bit lanes.
OPS_INLINE l8 widen(const i8 &m) { return __builtin_convertvector(m, l8); }

// a where the mask m is all ones, else b; bit operations, as GCC takes a
// select of wide double vectors lane by lane on the narrower instruction
// sets.
OPS_INLINE d8 pick(const l8 &m, const d8 &a, const d8 &b) { return (d8)(((l8)a & m) | ((l8)b & ~m)); }

// Table lookups by lane: t[i[l]] for an 8-entry table, t[i[l]] with the
// first 8 entries in lo and the next 8 in hi for a 16-entry one.
OPS_INLINE d8 lookup8(const d8 &t, const l8 &i) { return __builtin_shuffle(t, i); }
OPS_INLINE d8 lookup16(const d8 &lo, const d8 &hi, const l8 &i) { return __builtin_shuffle(lo, hi, i); }

OPS_INLINE bool anyFlagged(const l8 &m) {
    typedef int64_t l4 __attribute__((vector_size(32)));
    typedef int64_t l2 __attribute__((vector_size(16)));
    const l4 a = __builtin_shufflevector(m, m, 0, 1, 2, 3) | __builtin_shufflevector(m, m, 4, 5, 6, 7);
    const l2 b = __builtin_shufflevector(a, a, 0, 1) | __builtin_shufflevector(a, a, 2, 3);
    return (b[0] | b[1]) < 0;
}

// The library roads, one sample each.
inline float expOne(float v, float scale) {
    const float q = v / scale;
    const float e = static_cast<float>(std::exp(static_cast<double>(q)));
    return e > 255.0f ? 255.0f : e;
}
inline float lnOne(float v) { return v > 0.0f ? static_cast<float>(std::log(static_cast<double>(v))) : 0.0f; }
inline float atan2One(float y, float x) {
    return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// exp: x = (16 k + j) ln2/16 + r with k, j integer, 0 <= j < 16 and |r| <=
// ln2/32 + 2^-40; (16 k + j) ln2/16 is taken off in two steps (the first
// product is exact and so is its subtraction from the float x), so r
// carries an error below 2^-58. exp(x) = 2^k 2^(j/16) exp(r): 2^(j/16)
// from a table (rounded, 2^-53 relative), exp(r) its Taylor polynomial of
// degree 5 (remainder below 0.0217^6 / 6! < 2^-42.6 relative), summed by
// Estrin's scheme (rounding below 2^-51 relative); the power 2^k is
// exact. In all below 2^-42.5 relative.
//
// x below -104: exp(x) < 2^-150, which rounds to +0. x from -104 to -87:
// the result is at most a subnormal float; library call. x above 6: exp(x)
// > 255, so 255. NaN: library call.
OPS_INLINE void expBlock(const f8 &v, float scale, f8 &out, l8 &slow) {
    const d8 tabLo = {0x1.0000000000000p+0, 0x1.0b5586cf9890fp+0, 0x1.172b83c7d517bp+0, 0x1.2387a6e756238p+0,
                      0x1.306fe0a31b715p+0, 0x1.3dea64c123422p+0, 0x1.4bfdad5362a27p+0, 0x1.5ab07dd485429p+0};
    const d8 tabHi = {0x1.6a09e667f3bcdp+0, 0x1.7a11473eb0187p+0, 0x1.8ace5422aa0dbp+0, 0x1.9c49182a3f090p+0,
                      0x1.ae89f995ad3adp+0, 0x1.c199bdd85529cp+0, 0x1.d5818dcfba487p+0, 0x1.ea4afa2a490dap+0};
    const f8 q = v / scale;
    const i8 zero = q < -104.0f;
    const i8 inRange = q >= -87.0f;  // false for NaN
    const f8 qc = inRange ? (q < 6.0f ? q : f8{} + 6.0f) : f8{};
    const d8 x = __builtin_convertvector(qc, d8);
    const d8 t = x * splat(0x1.71547652b82fep+4) + splat(kShifter);  // 16 / ln2
    const d8 kd = t - splat(kShifter);
    const l8 ki = (l8)t - (l8)splat(kShifter);
    const d8 r = (x - kd * splat(0x1.62e42ffp-5)) - kd * splat(-0x1.718432a1b0e26p-39);  // ln2/16 in two parts
    const d8 r2 = r * r, r4 = r2 * r2;
    const d8 a0 = splat(1.0) + r, a1 = splat(1.0 / 2) + splat(1.0 / 6) * r;
    const d8 a2 = splat(1.0 / 24) + splat(1.0 / 120) * r;
    const d8 p = (a0 + a1 * r2) + a2 * r4;
    const d8 scaled = (d8)((l8)lookup16(tabLo, tabHi, ki & 15) + ((ki >> 4) << 52));
    const d8 y = p * scaled;
    f8 f = __builtin_convertvector(y, f8);
    f = f > 255.0f ? f8{} + 255.0f : f;
    out = zero ? f8{} : f;
    // Lanes off the polynomial's range compute exp(0) = 1, never near.
    slow = nearMidpoint(y) | widen(~inRange & ~zero);
}

// ln: a positive normal float x is 2^k z with z in [0.703125, 1.40625)
// (bit operations on the float), and z lies in one of 16 intervals j,
// below 1 of width 1/32, above 1 of width 1/16, the one holding 1 reaching
// from 1 - 1/64 to 1 + 1/32. With c_j near the inverse of its interval's
// middle (21 bits, exactly 1 for the interval holding 1), r = z c_j - 1 is
// exact and |r| <= 2^-5, and ln x = k ln2 - ln c_j + ln(1 + r): -ln c_j
// from a table (rounded), ln(1 + r) its Taylor polynomial of degree 8
// (remainder below |r|^9 / 9). With k = 0 and the interval holding 1 the
// result is ln(1 + r) alone, within |r|^8 / 9 < 2^-43 relative; in the
// other intervals |ln z| >= 0.0157 and the remainder stays below 2^-48.5;
// with k != 0, |ln x| > 0.34. Rounding adds less than 2^-47, so every
// result is within 2^-42.5 relative.
//
// x <= 0 or NaN: 0. Subnormal x and +inf: library call.
OPS_INLINE void lnBlock(const f8 &v, f8 &out, l8 &slow) {
    typedef uint32_t v8 __attribute__((vector_size(32)));
    const d8 invLo = {0x1.642c8p+0, 0x1.55555p+0, 0x1.47ae1p+0, 0x1.3b13bp+0,
                      0x1.2f685p+0, 0x1.24925p+0, 0x1.1a7b9p+0, 0x1.11111p+0};
    const d8 invHi = {0x1.08421p+0, 1.0, 0x1.e1e1ep-1, 0x1.c71c7p-1, 0x1.af287p-1, 0x1.9999ap-1, 0x1.86186p-1, 0x1.745d1p-1};
    const d8 lnLo = {-0x1.522ad0738a1d8p-2, -0x1.269611134d992p-2, -0x1.f991aacb3b069p-3, -0x1.a93ecbc8ad9a3p-3,
                     -0x1.5bf422b543aa2p-3, -0x1.117918227db7cp-3, -0x1.93358dd593a69p-4, -0x1.08597b59e3987p-4};
    const d8 lnHi = {-0x1.0415c89e74404p-5, 0.0, 0x1.f0a32c01163a6p-5, 0x1.e27086e2af366p-4,
                     0x1.5ff2f30a79564p-3, 0x1.c8ff5c79a9e22p-3, 0x1.1675cebaba62ep-2, 0x1.4618d021c61e2p-2};
    const v8 bits = (v8)v;
    const i8 pos = v > 0.0f;  // false for NaN
    // Normal and finite: the bits lie in 0x00800000 .. 0x7F7FFFFF.
    const i8 normal = (i8)((bits - 0x00800000u) < 0x7F000000u);
    const v8 ub = normal ? bits : (v8{} + 0x3F800000u);  // 1.0 elsewhere
    const i8 tmp = (i8)(ub - 0x3F340000u);  // 0.703125
    const l8 j = widen((tmp >> 19) & 15);
    const d8 kd = __builtin_convertvector(tmp >> 23, d8);
    const f8 zf = (f8)(ub - ((v8)tmp & 0xFF800000u));
    const d8 z = __builtin_convertvector(zf, d8);
    const d8 r = z * lookup16(invLo, invHi, j) - splat(1.0);
    const d8 r2 = r * r, r4 = r2 * r2;
    const d8 a1 = splat(-1.0 / 2) + splat(1.0 / 3) * r, a2 = splat(-1.0 / 4) + splat(1.0 / 5) * r;
    const d8 a3 = splat(-1.0 / 6) + splat(1.0 / 7) * r;
    const d8 p = (r + a1 * r2) + ((a2 + a3 * r2) + splat(-1.0 / 8) * r4) * r4;
    const d8 y = (kd * splat(kLn2Hi) + lookup16(lnLo, lnHi, j)) + (kd * splat(kLn2Lo) + p);
    f8 f = __builtin_convertvector(y, f8);
    out = pos ? f : f8{};
    // Lanes that are not positive normal compute ln 1 = 0, never near.
    slow = nearMidpoint(y) | widen(pos & ~normal);
}

// atan2: both samples finite and nonzero (anything else takes the library
// call). With lo = min(|x|, |y|) and hi = max(|x|, |y|), atan(lo / hi) is
// taken as off + atan(t): t = lo / hi, off = 0 where lo <= tan(pi/12) hi
// (decided in single precision, which moves the bound by a relative 2^-22
// at most), else t = (lo sqrt3 - hi) / (lo + hi sqrt3), off = pi/6 (one
// division either way), so |t| <= tan(pi/12) + 2^-20 < 0.268. In the first
// case t carries a relative error below 2^-52; in the second an absolute
// error below 2^-50 and off + atan(t) >= pi/12. atan(t) is its Taylor
// series up to t^21 (alternating, remainder below t^22 / 23 < 2^-46
// relative), summed by Estrin's scheme in t^2 (rounding below 2^-49
// relative). The angle is then K + S (off + atan(t)) with S = +-1 and K
// one of 0, pi/2 (|y| > |x|) and pi (x < 0): the table holds K + S off
// rounded and S, so one addition of an error near 2^-52 remains, to a
// result of at least pi/12; every result is within 2^-44 relative of the
// true angle. The sign is y's. Results at or below the smallest normal
// float (tiny |y / x|) take the library call, as the float rounding there
// has fewer bits.
OPS_INLINE void atan2Block(const f8 &yv, const f8 &xv, f8 &out, l8 &slow) {
    typedef uint32_t v8 __attribute__((vector_size(32)));
    const d8 base = {0.0, 0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1, 0x1.921fb54442d18p+0,
                     0x1.0c152382d7366p-1, 0x1.0c152382d7366p+0, 0x1.4f1a6c638d03fp+1, 0x1.0c152382d7366p+1};
    const l8 negate = {0, INT64_MIN, INT64_MIN, 0, 0, INT64_MIN, INT64_MIN, 0};
    const v8 yb = (v8)yv & 0x7FFFFFFFu, xb = (v8)xv & 0x7FFFFFFFu;
    // Finite and nonzero: the magnitude's bits lie in 1 .. 0x7F7FFFFF.
    const i8 ok = (i8)((yb - 1u) < 0x7F7FFFFFu) & (i8)((xb - 1u) < 0x7F7FFFFFu);
    const f8 one = f8{} + 1.0f;
    const f8 ay = ok ? (f8)yb : one, ax = ok ? (f8)xb : one;
    const i8 swap = ay > ax;
    const f8 lof = swap ? ax : ay, hif = swap ? ay : ax;
    const i8 bigf = lof > hif * 0x1.126146p-2f;  // tan(pi/12)
    const i8 idx = (swap & 1) | (((i8)xv < 0) & 2) | (bigf & 4);
    const l8 k = widen(idx), big = -((k >> 2) & 1);
    const d8 lo = __builtin_convertvector(lof, d8), hi = __builtin_convertvector(hif, d8);
    const d8 num = pick(big, lo * splat(0x1.bb67ae8584caap0) - hi, lo);
    const d8 den = pick(big, lo + hi * splat(0x1.bb67ae8584caap0), hi);
    const d8 t = num / den;
    const d8 s = t * t, s2 = s * s, s4 = s2 * s2, s8 = s4 * s4;
    const d8 a0 = splat(1.0) - splat(1.0 / 3) * s, a1 = splat(1.0 / 5) - splat(1.0 / 7) * s;
    const d8 a2 = splat(1.0 / 9) - splat(1.0 / 11) * s, a3 = splat(1.0 / 13) - splat(1.0 / 15) * s;
    const d8 a4 = splat(1.0 / 17) - splat(1.0 / 19) * s;
    const d8 b0 = a0 + a1 * s2, b1 = a2 + a3 * s2, b2 = a4 + splat(1.0 / 21) * s2;
    const d8 p = (b0 + b1 * s4) + b2 * s8;
    const d8 at = t * p;
    const d8 y = lookup8(base, k) + (d8)((l8)at ^ __builtin_shuffle(negate, k));
    const f8 f = __builtin_convertvector(y, f8);
    out = (f8)((v8)f | ((v8)yv & 0x80000000u));
    // Lanes off the fast road computed atan2(1, 1), never near a midpoint.
    slow = nearMidpoint(y) | widen(~ok | (i8)((v8)f <= 0x00800000u));
}

// Lambdas handed to run are inlined too: only then are they built for the
// caller's instruction set.
#define OPS_LAMBDA __attribute__((always_inline))

// Chunks of kChunk samples of nIn inputs: block computes a vector of
// results from a vector of each input and flags the lanes for the library
// call, one(i) is the library road for sample i of the chunk. The inputs
// are kept, so that the library call can still read them when the run is
// in place; the flagged lanes are taken up at the end of the chunk.
template <int nIn, typename Block, typename One>
OPS_INLINE void run(const float *const *src, float *dst, int64_t n, const Block &block, const One &one) {
    constexpr int kChunk = 256, kBlocks = kChunk / 8;
    float in[nIn][kChunk];
    l8 slow[kBlocks];
    for (int64_t i = 0; i < n; i += kChunk) {
        const int len = int(std::min<int64_t>(kChunk, n - i));
        const int full = len / 8;
        l8 any{};
        for (int b = 0; b < full; ++b) {
            f8 v[nIn], f;
            for (int k = 0; k < nIn; ++k) {
                loadV(v[k], src[k] + i + 8 * b);
                storeV(in[k] + 8 * b, v[k]);
            }
            block(v, f, slow[b]);
            storeV(dst + i + 8 * b, f);
            any |= slow[b];
        }
        const int rest = len - 8 * full;
        if (rest > 0) {
            f8 v[nIn], f;
            for (int k = 0; k < nIn; ++k) {
                v[k] = f8{};
                std::memcpy(&v[k], src[k] + i + 8 * full, size_t(rest) * sizeof(float));
                storeV(in[k] + 8 * full, v[k]);
            }
            block(v, f, slow[full]);
            std::memcpy(dst + i + 8 * full, &f, size_t(rest) * sizeof(float));
            any |= slow[full];
        }
        if (anyFlagged(any))
            for (int j = 0; j < len; ++j)
                if (slow[j / 8][j % 8] < 0) dst[i + j] = one(in, j);
    }
}

OPS_INLINE void runExp(const float *s, float *d, int64_t n, float scale) {
    typedef float In[256];
    run<1>(
        &s, d, n, [scale](const f8 *v, f8 &f, l8 &slow) OPS_LAMBDA { expBlock(v[0], scale, f, slow); },
        [scale](const In *in, int j) OPS_LAMBDA { return expOne(in[0][j], scale); });
}
OPS_INLINE void runLn(const float *s, float *d, int64_t n) {
    typedef float In[256];
    run<1>(
        &s, d, n, [](const f8 *v, f8 &f, l8 &slow) OPS_LAMBDA { lnBlock(v[0], f, slow); },
        [](const In *in, int j) OPS_LAMBDA { return lnOne(in[0][j]); });
}
OPS_INLINE void runAtan2(const float *y, const float *x, float *d, int64_t n) {
    typedef float In[256];
    const float *src[2] = {y, x};
    run<2>(
        src, d, n, [](const f8 *v, f8 &f, l8 &slow) OPS_LAMBDA { atan2Block(v[0], v[1], f, slow); },
        [](const In *in, int j) OPS_LAMBDA { return atan2One(in[0][j], in[1][j]); });
}

#if OPS_HAVE_TARGETS
OPS_TARGET("avx512f") void expAvx512(const float *s, float *d, int64_t n, float scale) { runExp(s, d, n, scale); }
OPS_TARGET("avx2") void expAvx2(const float *s, float *d, int64_t n, float scale) { runExp(s, d, n, scale); }
OPS_TARGET("avx512f") void lnAvx512(const float *s, float *d, int64_t n) { runLn(s, d, n); }
OPS_TARGET("avx2") void lnAvx2(const float *s, float *d, int64_t n) { runLn(s, d, n); }
OPS_TARGET("avx512f") void atan2Avx512(const float *y, const float *x, float *d, int64_t n) { runAtan2(y, x, d, n); }
OPS_TARGET("avx2") void atan2Avx2(const float *y, const float *x, float *d, int64_t n) { runAtan2(y, x, d, n); }
#endif
void expBase(const float *s, float *d, int64_t n, float scale) { runExp(s, d, n, scale); }
void lnBase(const float *s, float *d, int64_t n) { runLn(s, d, n); }
void atan2Base(const float *y, const float *x, float *d, int64_t n) { runAtan2(y, x, d, n); }

int pickLevel(int level) {
    const int best = vectorLevel();
    return level < 0 || level > best ? best : level;
}

}  // namespace

void expFloats(const float *src, float *dst, int64_t n, float scale, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: expAvx512(src, dst, n, scale); return;
    case 1: expAvx2(src, dst, n, scale); return;
    }
#endif
    (void)level;
    expBase(src, dst, n, scale);
}

void lnFloats(const float *src, float *dst, int64_t n, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: lnAvx512(src, dst, n); return;
    case 1: lnAvx2(src, dst, n); return;
    }
#endif
    (void)level;
    lnBase(src, dst, n);
}

void atan2Floats(const float *y, const float *x, float *dst, int64_t n, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: atan2Avx512(y, x, dst, n); return;
    case 1: atan2Avx2(y, x, dst, n); return;
    }
#endif
    (void)level;
    atan2Base(y, x, dst, n);
}

}  // namespace ops
