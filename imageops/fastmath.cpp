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

// All ones in the lanes whose y may round to a float other than the true
// value's: the 29 low significand bits lie within kNear units below or
// kNear - 1 units above the midpoint pattern 2^28. Shifts and masks only,
// no comparisons, which some instruction sets would take lane by lane.
OPS_INLINE l8 nearMidpoint(const d8 &y) {
    const u8 g = ((u8)y + uint64_t(kNear - 0x10000000)) & 0x1FFFFFFFu;  // near: g < 2 kNear
    const u8 far = g >> 15;  // nonzero when not near
    return (l8)((far | -far) >> 63) - 1;
}

// All ones in the lanes where a < b, for a and b >= 0 (their bits order as
// the values do); an integer subtraction and shift, for the same reason.
OPS_INLINE l8 below(const d8 &a, const d8 &b) { return -(l8)(((u8)a - (u8)b) >> 63); }

// a where the mask m is all ones, else b; bit operations, as GCC takes a
// select of wide double vectors lane by lane on the narrower instruction
// sets.
OPS_INLINE d8 pick(const l8 &m, const d8 &a, const d8 &b) { return (d8)(((l8)a & m) | ((l8)b & ~m)); }

OPS_INLINE bool anyLane(const l8 &m) {
    typedef int64_t l4 __attribute__((vector_size(32)));
    typedef int64_t l2 __attribute__((vector_size(16)));
    const l4 a = __builtin_shufflevector(m, m, 0, 1, 2, 3) | __builtin_shufflevector(m, m, 4, 5, 6, 7);
    const l2 b = __builtin_shufflevector(a, a, 0, 1) | __builtin_shufflevector(a, a, 2, 3);
    return (b[0] | b[1]) != 0;
}
OPS_INLINE bool anyLane(const i8 &m) {
    typedef int64_t l4 __attribute__((vector_size(32)));
    typedef int64_t l2 __attribute__((vector_size(16)));
    const l4 a = (l4)m;
    const l2 b = __builtin_shufflevector(a, a, 0, 1) | __builtin_shufflevector(a, a, 2, 3);
    return (b[0] | b[1]) != 0;
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

// exp: x = k ln2 + r with k integer and |r| <= ln2/2 + 2^-40; k ln2 is
// taken off in two steps (k kLn2Hi is exact for |k| < 2^20 and the
// subtraction from x is exact), so r carries an error below 2^-54. exp(r)
// is its Taylor polynomial of degree 10 (remainder below
// 0.35^11/11! < 2^-41.5 relative to exp(r) >= 0.7), summed by Estrin's
// scheme (rounding error below 2^-48 relative); the power 2^k is exact.
//
// x below -104: exp(x) < 2^-150, which rounds to +0. x from -104 to -87:
// the result is at most a subnormal float; library call. x above 6: exp(x)
// > 255, so 255. NaN: library call.
OPS_INLINE void expBlock(const float *src, float scale, f8 &out, l8 &slow) {
    f8 v;
    loadV(v, src);
    const f8 q = v / scale;
    const i8 zero = q < -104.0f;
    const i8 inRange = q >= -87.0f;  // false for NaN
    const f8 qc = inRange ? (q < 6.0f ? q : f8{} + 6.0f) : f8{};
    const d8 x = __builtin_convertvector(qc, d8);
    const d8 t = x * splat(0x1.71547652b82fep0) + splat(kShifter);
    const d8 kd = t - splat(kShifter);
    const l8 ki = (l8)t - (l8)splat(kShifter);
    const d8 r = (x - kd * splat(kLn2Hi)) - kd * splat(kLn2Lo);
    // Estrin's scheme: pairs, then powers r^2, r^4, r^8 (short chains).
    const d8 r2 = r * r, r4 = r2 * r2, r8 = r4 * r4;
    const d8 a0 = splat(1.0) + r, a1 = splat(1.0 / 2) + splat(1.0 / 6) * r;
    const d8 a2 = splat(1.0 / 24) + splat(1.0 / 120) * r, a3 = splat(1.0 / 720) + splat(1.0 / 5040) * r;
    const d8 a4 = splat(1.0 / 40320) + splat(1.0 / 362880) * r;
    const d8 b0 = a0 + a1 * r2, b1 = a2 + a3 * r2, b2 = a4 + splat(1.0 / 3628800) * r2;
    const d8 p = (b0 + b1 * r4) + b2 * r8;
    const d8 y = p * (d8)((ki + 1023) << 52);
    f8 f = __builtin_convertvector(y, f8);
    f = f > 255.0f ? f8{} + 255.0f : f;
    out = zero ? f8{} : f;
    // Lanes off the polynomial's range compute exp(0) = 1, never near.
    slow = nearMidpoint(y) | __builtin_convertvector(~inRange & ~zero, l8);
}

// ln: a positive finite x is 2^e m with m in [sqrt(1/2), sqrt(2)] (exact
// steps); ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.1716, from the
// series up to s^15 (remainder below 2^-44 relative); s carries a relative
// error below 2^-52, the series its own rounding below 2^-50. With e != 0
// the result is e ln2 + ln m, larger than |ln m| and at least half of
// |e ln2|, e ln2 split as in exp; with e = 0 it is ln m alone. Everything
// stays below 2^-43 relative.
//
// x <= 0 or NaN: 0. +inf: library call.
OPS_INLINE void lnBlock(const float *src, f8 &out, l8 &slow) {
    f8 v;
    loadV(v, src);
    const i8 pos = v > 0.0f;  // false for NaN
    const i8 inf = v == HUGE_VALF;
    const f8 vs = (pos & ~inf) ? v : f8{} + 1.0f;
    const u8 bits = (u8)__builtin_convertvector(vs, d8);
    const u8 mant = bits & 0x000FFFFFFFFFFFFFu;
    const u8 big = (uint64_t(0x6A09E667F3BCDu) - mant) >> 63;  // 1 where the significand exceeds sqrt 2
    const l8 e = (l8)(bits >> 52) - 1023 + (l8)big;
    const d8 m = (d8)((mant | 0x3FF0000000000000u) - (big << 52));
    const d8 ed = (d8)(e + (l8)splat(kShifter)) - splat(kShifter);
    const d8 s = (m - splat(1.0)) / (m + splat(1.0));
    const d8 s2 = s * s;
    // Estrin's scheme in s^2: pairs, then powers z^2, z^4.
    const d8 z2 = s2 * s2, z4 = z2 * z2;
    const d8 a0 = splat(1.0) + splat(1.0 / 3) * s2, a1 = splat(1.0 / 5) + splat(1.0 / 7) * s2;
    const d8 a2 = splat(1.0 / 9) + splat(1.0 / 11) * s2, a3 = splat(1.0 / 13) + splat(1.0 / 15) * s2;
    const d8 p = (a0 + a1 * z2) + (a2 + a3 * z2) * z4;
    const d8 lnm = (s + s) * p;
    const d8 y = ed * splat(kLn2Hi) + (ed * splat(kLn2Lo) + lnm);
    f8 f = __builtin_convertvector(y, f8);
    out = pos ? f : f8{};
    // Lanes that are not positive compute ln 1 = 0, never near.
    slow = nearMidpoint(y) | __builtin_convertvector(inf, l8);
}

// atan2: both samples finite and nonzero (anything else takes the library
// call). With lo = min(|x|, |y|) and hi = max(|x|, |y|), atan(lo / hi) is
// taken as off + atan(t): t = lo / hi, off = 0 where lo <= tan(pi/12) hi,
// else t = (lo sqrt3 - hi) / (lo + hi sqrt3), off = pi/6 (one division
// either way), so |t| <= tan(pi/12) + 2^-50 < 0.268. In the first case t
// carries a relative error below 2^-52; in the second an absolute error
// below 2^-50 and off + atan(t) >= pi/12. atan(t) is its Taylor series up
// to t^21 (alternating, remainder below t^22 / 23 < 2^-46 relative),
// summed by Estrin's scheme in t^2 (rounding below 2^-49 relative). Then
// pi/2 - a where |y| > |x| (result >= pi/4), pi - a where x < 0 (result >=
// pi/2): each step adds an absolute error near 2^-52 to a result of at
// least pi/12, so every result is within 2^-44 relative of the true angle.
// The sign is y's. Results below the smallest normal float (tiny |y / x|)
// take the library call, as the float rounding there has fewer bits.
OPS_INLINE void atan2Block(const float *ys, const float *xs, f8 &out, l8 &slow) {
    f8 yv, xv;
    loadV(yv, ys);
    loadV(xv, xs);
    typedef uint32_t v8 __attribute__((vector_size(32)));
    const v8 yb = (v8)yv & 0x7FFFFFFFu, xb = (v8)xv & 0x7FFFFFFFu;
    // Finite and nonzero: the magnitude's bits lie in 1 .. 0x7F7FFFFF.
    const i8 ok = (i8)((yb - 1u) < 0x7F7FFFFFu) & (i8)((xb - 1u) < 0x7F7FFFFFu);
    const f8 one = f8{} + 1.0f;
    const d8 ady = __builtin_convertvector(ok ? (f8)yb : one, d8);
    const d8 adx = __builtin_convertvector(ok ? (f8)xb : one, d8);
    const l8 swap = __builtin_convertvector((f8)yb > (f8)xb, l8);
    const d8 lo = pick(swap, adx, ady), hi = pick(swap, ady, adx);
    const l8 big = below(hi * splat(0x1.126145e9ecd56p-2), lo);  // tan(pi/12)
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
    d8 a = pick(big, splat(0x1.0c152382d7365p-1) + at, at);  // pi/6
    a = pick(swap, splat(0x1.921fb54442d18p0) - a, a);  // pi/2
    const l8 xneg = __builtin_convertvector((i8)xv < 0, l8);
    a = pick(xneg, splat(0x1.921fb54442d18p1) - a, a);  // pi
    const u8 sign = (u8)__builtin_convertvector((i8)yv, l8) & 0x8000000000000000u;
    const d8 y = (d8)((u8)a | sign);
    out = __builtin_convertvector(y, f8);
    // Lanes off the fast road computed atan2(1, 1), never near a midpoint.
    slow = nearMidpoint(y) | __builtin_convertvector(~ok, l8) | below(a, splat(0x1p-126));
}

// Lambdas handed to run are inlined too: only then are they built for the
// caller's instruction set.
#define OPS_LAMBDA __attribute__((always_inline))

// Chunks of kChunk samples of nIn inputs (block fills a vector of results
// and the lanes for the library call, one(i) is the library road for
// sample i of the chunk). The inputs are copied first, so that the library
// call can still read them when the run is in place. The lanes for the
// library call are collected per block and taken up at the end of the
// chunk.
template <int nIn, typename Block, typename One>
OPS_INLINE void run(const float *const *src, float *dst, int64_t n, const Block &block, const One &one) {
    constexpr int kChunk = 256, kBlocks = kChunk / 8;
    float in[nIn][kChunk], out[kChunk];
    l8 slow[kBlocks];
    for (int64_t i = 0; i < n; i += kChunk) {
        const int len = int(std::min<int64_t>(kChunk, n - i));
        const int blocks = (len + 7) / 8;
        for (int k = 0; k < nIn; ++k) {
            std::memcpy(in[k], src[k] + i, size_t(len) * sizeof(float));
            std::memset(in[k] + len, 0, size_t(blocks * 8 - len) * sizeof(float));
        }
        float *to = len == kChunk ? dst + i : out;
        l8 any{};
        for (int b = 0; b < blocks; ++b) {
            f8 f;
            block(in, 8 * b, f, slow[b]);
            storeV(to + 8 * b, f);
            any |= slow[b];
        }
        if (to == out) std::memcpy(dst + i, out, size_t(len) * sizeof(float));
        if (anyLane(any))
            for (int b = 0; b < blocks; ++b)
                for (int l = 0; l < 8; ++l)
                    if (slow[b][l] && 8 * b + l < len) dst[i + 8 * b + l] = one(in, 8 * b + l);
    }
}

OPS_INLINE void runExp(const float *s, float *d, int64_t n, float scale) {
    typedef float In[256];
    run<1>(
        &s, d, n, [scale](const In *in, int j, f8 &f, l8 &slow) OPS_LAMBDA { expBlock(in[0] + j, scale, f, slow); },
        [scale](const In *in, int j) OPS_LAMBDA { return expOne(in[0][j], scale); });
}
OPS_INLINE void runLn(const float *s, float *d, int64_t n) {
    typedef float In[256];
    run<1>(
        &s, d, n, [](const In *in, int j, f8 &f, l8 &slow) OPS_LAMBDA { lnBlock(in[0] + j, f, slow); },
        [](const In *in, int j) OPS_LAMBDA { return lnOne(in[0][j]); });
}
OPS_INLINE void runAtan2(const float *y, const float *x, float *d, int64_t n) {
    typedef float In[256];
    const float *src[2] = {y, x};
    run<2>(
        src, d, n, [](const In *in, int j, f8 &f, l8 &slow) OPS_LAMBDA { atan2Block(in[0] + j, in[1] + j, f, slow); },
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
