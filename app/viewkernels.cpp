// The pixel loops of viewing: the display arithmetic of the view window and
// the row loops of its redraws, the working-copy scaling and byte packing.
// The loops are built for several instruction sets and chosen at run time;
// every path gives the same results, so the pictures are the same on every
// machine.
#include "viewkernels.h"
#include "zvekint.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Vectors never cross a call (the single-precision loops are always inlined
// into the function built for their instruction set); the note about their
// argument-passing ABI does not concern us.
#pragma GCC diagnostic ignored "-Wpsabi"


namespace zvekview {

namespace {

// The display value of one sample. The first bound sends NaN to 0, so the
// truncation below is defined for every input; for every other value it is
// the bound 0..255 of the design.
inline double stretchUnbounded(double v, double lo, double span) {
    v = v > 0.0 ? v : 0.0;
    v = v > 255.0 ? 255.0 : v;
    return (v - lo) * 255.0 / span;
}

inline double stretch(double v, double lo, double span) {
    v = stretchUnbounded(v, lo, span);
    v = v > 0.0 ? v : 0.0;
    return v > 255.0 ? 255.0 : v;
}

// Truncated working-copy value, low 8 bits, as qRgb keeps them. The working
// copy holds finite values in 0..255.
ZVEK_INLINE uint32_t plainByte(float w) { return static_cast<uint32_t>(static_cast<int>(w)) & 0xffu; }

}  // namespace

Contrast contrastBounds(int level, int window) {
    Contrast c;
    c.lo = static_cast<float>(level);
    c.hi = static_cast<float>(level + window);
    if (c.hi - c.lo == 0.0f) c.hi = static_cast<float>(static_cast<double>(c.hi) + 0.0001);
    return c;
}

double displayValue(double w, int offset, Contrast c) {
    return stretch(w + offset, c.lo, static_cast<double>(c.hi - c.lo));
}

namespace {

// The stretch divides by the contrast span; that division is the costly step
// of a redraw, and only the truncated quotient Q matters. So Q is first
// estimated with a multiplication by 255 / span and divided as written only
// where the estimate leaves the byte open: every byte is the one the division
// gives, on every instruction set.
// - The wide loops estimate in single precision, eight or sixteen samples a
//   step, and settle every sample whose estimate lies clear of a whole
//   number, and every exact one (see makeEstimate); the others go on to the
//   double-precision estimate.
// - In double precision the estimate lies within four units in the last
//   place (2^-51 relative) of Q. Near a whole number k, (v - lo) * 255 >=
//   k * span (the product is exact) shows that Q reaches k; only a quotient
//   just below a whole number is divided.
struct Stretch {
    double lo;     // the level
    double span;   // hi - lo, formed in single precision
    double scale;  // 255 / span, the estimate's factor
};

// Double-precision estimates closer than this to a whole number are checked:
// the estimate lies within 2^-51 x 256 = 2^-43 of the divided value wherever
// the byte is still open (quotients 0 to 256).
constexpr double kNearWhole = 0x1p-42;

Stretch makeStretch(Contrast c) {
    const double span = static_cast<double>(c.hi - c.lo);
    return {static_cast<double>(c.lo), span, 255.0 / span};
}

inline uint32_t displayByte(float w, double d, const Stretch &s) {
    return static_cast<uint32_t>(static_cast<int>(stretch(static_cast<double>(w) + d, s.lo, s.span)));
}

// displayByte, divided only where the double-precision estimate leaves the
// byte open. For spans above 0.
inline uint32_t settledByte(float w, double d, const Stretch &s) {
    double v = static_cast<double>(w) + d;
    v = v > 0.0 ? v : 0.0;  // NaN gives 0
    v = v > 255.0 ? 255.0 : v;
    const double y = v - s.lo;
    const double q = y * s.scale;
    if (!(q > 0.0)) return 0;
    if (q >= 256.0) return 255;
    const double k = std::nearbyint(q);
    if (std::fabs(q - k) > kNearWhole) return std::min(255u, static_cast<uint32_t>(q));
    if (y * 255.0 >= k * s.span) return std::min(255u, static_cast<uint32_t>(k));
    return displayByte(w, d, s);
}

// ---- single-precision estimate, eight (AVX2) or sixteen (AVX-512) lanes ----

// The constants of a redraw's single-precision estimate.
struct Estimate {
    bool usable = false;
    float scale = 0.0f;            // 255 / span
    float lift = 0.0f, open = 0.0f;  // 2 tol and 4 tol
    float whole = 0.0f;            // 1.5 x 2^23 when exact samples settle, else NaN
    float yLo = 0.0f;              // -lo
    float qLo = 0.0f, qHi = 0.0f;  // the bytes of v = 0 and v = 255, plus one half
};

// Offsets and levels up to this size keep the sums below exact in single
// precision.
constexpr double kExactBound = 4096.0;

// The estimate of a sample is q = fl(fl(w + (d - lo)) * fl(255 / span)).
// Where it lies between the bytes of the bounds: w + d - lo is rounded once
// (2^-24 relative), the factor and the product add 2^-23, so q lies within
// 3 x 2^-24 x 256 < 2^-14.4 of (w + d - lo) * 255 / span, and the
// double-precision steps of Q move that by at most 2^-44 (scale + 1): tol
// bounds |q - Q|. Bounded samples need no bound on v: rounding is monotone,
// so their estimate stays beyond the estimate at the bound, and the bytes of
// the bounds are known: q is held between qLo and qHi. Then q + 2 tol
// (rounded: 2^-17) lies above Q by tol to 3 tol + 2^-17: it truncates like Q
// unless it lies within 4 tol above a whole number (open).
// Exact samples (w a whole number, and a whole-number span) have whole
// numbers v - lo and (v - lo) * 255, so Q is a whole number or lies at least
// 1 / span from one: while 3 tol + 2^-16 stays below 1 / span, q + 2 tol
// truncates like Q for them, open or not.
Estimate makeEstimate(const Stretch &s, const double *d, int channels) {
    Estimate e;
    for (int c = 0; c < channels; ++c)
        if (!(std::fabs(d[c]) <= kExactBound)) return e;
    if (!(std::fabs(s.lo) <= kExactBound) || !(s.span > 0.0)) return e;
    const double tol = 0x1p-14 + s.scale * 0x1p-40;
    if (!(tol <= 0x1p-4)) return e;
    const float tolf = std::nextafter(static_cast<float>(tol), 1.0f);
    e.usable = true;
    e.scale = static_cast<float>(s.scale);
    e.lift = 2.0f * tolf;
    e.open = 4.0f * tolf;
    const bool settle = s.span == std::floor(s.span) && 3.0 * tolf + 0x1p-16 < 1.0 / s.span;
    e.whole = settle ? 0x1.8p23f : std::numeric_limits<float>::quiet_NaN();
    e.yLo = static_cast<float>(-s.lo);
    e.qLo = static_cast<float>(static_cast<int>(stretch(0.0, s.lo, s.span))) + 0.5f;
    e.qHi = static_cast<float>(static_cast<int>(stretch(255.0, s.lo, s.span))) + 0.5f;
    return e;
}

using zvek::f16;
using zvek::f8;
typedef int32_t i8 __attribute__((vector_size(32)));
typedef int32_t i16 __attribute__((vector_size(64)));
template <class F>
struct IntLanes;
template <>
struct IntLanes<f8> {
    typedef i8 type;
};
template <>
struct IntLanes<f16> {
    typedef i16 type;
};

// Everything below is inlined into the functions built for one instruction
// set, so that no vector crosses a call.

template <class F>
struct EstimateLanes {
    F scale, lift, open, whole, qLo, qHi;
    ZVEK_INLINE explicit EstimateLanes(const Estimate &e)
        : scale(F{} + e.scale), lift(F{} + e.lift), open(F{} + e.open), whole(F{} + e.whole), qLo(F{} + e.qLo),
          qHi(F{} + e.qHi) {}
};

template <class I>
ZVEK_INLINE bool anyLane(const I &m) {
    uint64_t parts[sizeof(I) / 8];
    std::memcpy(parts, &m, sizeof m);
    uint64_t a = 0;
    for (uint64_t p : parts) a |= p;
    return a != 0;
}

// The bytes of one step of samples, w + d - lo being dl; lanes whose byte is
// left open are set in open. The bounds on the estimate send NaN to the byte
// of 0. w is a whole number where (w + 1.5 x 2^23) - 1.5 x 2^23 gives w back;
// such bytes are never open.
template <class F, class I = typename IntLanes<F>::type>
ZVEK_INLINE I estimatedBytes(const float *w, const F &dl, const EstimateLanes<F> &k, I &open) {
    F v;
    std::memcpy(&v, w, sizeof v);
    F q = (v + dl) * k.scale;
    q = q > k.qLo ? q : k.qLo;
    q = q < k.qHi ? q : k.qHi;
    q += k.lift;
    const I bytes = __builtin_convertvector(q, I);
    const F reach = (v + k.whole) - k.whole == v ? F{} : k.open;
    open |= q - __builtin_convertvector(bytes, F) < reach;
    return bytes;
}

template <int C, class I>
ZVEK_INLINE I packPixels(const I *b) {
    if constexpr (C == 3)
        return static_cast<int32_t>(0xff000000u) | b[0] << 16 | b[1] << 8 | b[2];
    else
        return static_cast<int32_t>(0xff000000u) | b[0] * 0x010101;
}

// C planes (1 grey, 3 red, green, blue) of n pixels into out. Steps are
// estimated in blocks; the open bytes of a block are then made again one by
// one.
template <class F, int C>
ZVEK_INLINE void estimatedRow(const float *const *planes, int n, const double *d, const Stretch &s,
                              const Estimate &e, QRgb *out) {
    typedef typename IntLanes<F>::type I;
    constexpr int L = zvek::lanes<F>();
    constexpr int kSteps = 8;
    const EstimateLanes<F> k(e);
    F dl[C];
    for (int c = 0; c < C; ++c) dl[c] = F{} + (static_cast<float>(d[c]) + e.yLo);
    int i = 0;
    while (i + L <= n) {
        const int start = i;
        I open = I{};
        for (int step = 0; step < kSteps && i + L <= n; ++step, i += L) {
            I b[C];
            for (int c = 0; c < C; ++c) b[c] = estimatedBytes(planes[c] + i, dl[c], k, open);
            const I px = packPixels<C>(b);
            std::memcpy(out + i, &px, sizeof px);
        }
        if (!anyLane(open)) continue;
        for (int j = start; j < i; j += L) {
            for (int c = 0; c < C; ++c) {
                I lanes = I{};
                estimatedBytes(planes[c] + j, dl[c], k, lanes);
                if (!anyLane(lanes)) continue;
                int32_t flags[L];
                std::memcpy(flags, &lanes, sizeof flags);
                for (int l = 0; l < L; ++l) {
                    if (flags[l] == 0) continue;
                    const int shift = C == 3 ? 16 - 8 * c : 0;
                    const uint32_t b = settledByte(planes[c][j + l], d[c], s);
                    out[j + l] = (out[j + l] & ~((C == 3 ? 0xffu : 0xffffffu) << shift)) |
                                 (C == 3 ? b : b * 0x010101u) << shift;
                }
            }
        }
    }
    for (; i < n; ++i) {
        uint32_t b[C];
        for (int c = 0; c < C; ++c) b[c] = settledByte(planes[c][i], d[c], s);
        out[i] = packPixels<C>(b);
    }
}

template <int C>
ZVEK_TARGET("avx512f") void row512(const float *const *planes, int n, const double *d, const Stretch &s,
                                               const Estimate &e, QRgb *out) {
    estimatedRow<f16, C>(planes, n, d, s, e, out);
}

template <int C>
ZVEK_TARGET("avx2") void row256(const float *const *planes, int n, const double *d, const Stretch &s,
                                            const Estimate &e, QRgb *out) {
    estimatedRow<f8, C>(planes, n, d, s, e, out);
}

// ---- any x86-64: one sample at a time, divided as written ----

template <int C>
void plainRow(const float *const *planes, int n, const double *d, const Stretch &s, const Estimate &, QRgb *out) {
    for (int i = 0; i < n; ++i) {
        uint32_t b[C];
        for (int c = 0; c < C; ++c) b[c] = displayByte(planes[c][i], d[c], s);
        out[i] = packPixels<C>(b);
    }
}

typedef void (*RowKernel)(const float *const *, int, const double *, const Stretch &, const Estimate &, QRgb *);

template <int C>
void adjustedRow(const float *const *planes, int n, const double *d, Contrast c, QRgb *out) {
    static constexpr RowKernel kernels[] = {plainRow<C>, row256<C>, row512<C>};
    const Stretch s = makeStretch(c);
    const Estimate e = makeEstimate(s, d, C);
    kernels[e.usable ? zvek::vectorLevel() : 0](planes, n, d, s, e, out);
}

}  // namespace

void adjustedRowRGB(const float *red, const float *green, const float *blue, int n, int dR, int dG,
                    int dB, Contrast c, QRgb *out) {
    const float *planes[3] = {red, green, blue};
    const double d[3] = {static_cast<double>(dR), static_cast<double>(dG), static_cast<double>(dB)};
    adjustedRow<3>(planes, n, d, c, out);
}

void adjustedRowGrey(const float *grey, int n, int d, Contrast c, QRgb *out) {
    const double dd = static_cast<double>(d);
    adjustedRow<1>(&grey, n, &dd, c, out);
}

void plainRowRGB(const float *red, const float *green, const float *blue, const float *overlay, int n, QRgb *out) {
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA {
        // Two loops, so that no load from a missing overlay is ever formed.
        if (overlay == nullptr) {
            for (int i = 0; i < n; ++i)
                out[i] = 0xff000000u | plainByte(red[i]) << 16 | plainByte(green[i]) << 8 | plainByte(blue[i]);
            return;
        }
        for (int i = 0; i < n; ++i) {
            const uint32_t r = (plainByte(red[i]) ^ static_cast<uint32_t>(static_cast<int>(overlay[i]))) & 0xffu;
            out[i] = 0xff000000u | r << 16 | plainByte(green[i]) << 8 | plainByte(blue[i]);
        }
    });
}

void plainRowGrey(const float *grey, int n, QRgb *out) {
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA {
        for (int i = 0; i < n; ++i) out[i] = 0xff000000u | plainByte(grey[i]) * 0x010101u;
    });
}

// ---- working copy and conversion ----

void mapLinear(const float *src, float *dst, int64_t n, float lo, float hi, float mn, float range) {
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA {
        const float scale = hi - lo;
        for (int64_t i = 0; i < n; ++i) dst[i] = lo + (scale * (src[i] - mn)) / range;
    });
}

void packBytes(const uint8_t *red, const uint8_t *green, const uint8_t *blue, int n, QRgb *out) {
    zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA {
        for (int i = 0; i < n; ++i)
            out[i] =
                0xff000000u | static_cast<uint32_t>(red[i]) << 16 | static_cast<uint32_t>(green[i]) << 8 | blue[i];
    });
}

}  // namespace zvekview
