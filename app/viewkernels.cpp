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

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Vectors never cross a call (the single-precision loops are always inlined
// into the function built for their instruction set); the note about their
// argument-passing ABI does not concern us.
#pragma GCC diagnostic ignored "-Wpsabi"
// GCC 12 takes the undefined first operand of its own AVX-512 helpers for
// an uninitialised read.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif


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

template <int C>
ZVEK_INLINE uint32_t packPixel(const uint32_t *b) {
    if constexpr (C == 3)
        return 0xff000000u | b[0] << 16 | b[1] << 8 | b[2];
    else
        return 0xff000000u | b[0] * 0x010101u;
}

// ---- single-precision estimate, sixteen (AVX-512), eight (AVX2) or four lanes ----
#if ZVEK_HAVE_TARGETS
namespace isa2 {
ZVEK_REGION_AVX512
#define VIEW_ISA 2
#include "viewkernels_rows.h"
#undef VIEW_ISA
ZVEK_REGION_END
}  // namespace isa2
namespace isa1 {
ZVEK_REGION_AVX2
#define VIEW_ISA 1
#include "viewkernels_rows.h"
#undef VIEW_ISA
ZVEK_REGION_END
}  // namespace isa1
#endif
#if defined(__x86_64__)
namespace isa0 {
#define VIEW_ISA 0
#include "viewkernels_rows.h"
#undef VIEW_ISA
}  // namespace isa0
#endif

// ---- one sample at a time, divided as written: where the estimate cannot be
// made, and on processors without these operations ----

template <int C>
void plainRow(const float *const *planes, int n, const double *d, const Stretch &s, const Estimate &, QRgb *out) {
    for (int i = 0; i < n; ++i) {
        uint32_t b[C];
        for (int c = 0; c < C; ++c) b[c] = displayByte(planes[c][i], d[c], s);
        out[i] = packPixel<C>(b);
    }
}

typedef void (*RowKernel)(const float *const *, int, const double *, const Stretch &, const Estimate &, QRgb *);

template <int C>
void adjustedRow(const float *const *planes, int n, const double *d, Contrast c, QRgb *out) {
#if ZVEK_HAVE_TARGETS
    static constexpr RowKernel kernels[] = {isa0::estimatedRow<C>, isa1::estimatedRow<C>, isa2::estimatedRow<C>};
#elif defined(__x86_64__)
    static constexpr RowKernel kernels[] = {isa0::estimatedRow<C>, isa0::estimatedRow<C>, isa0::estimatedRow<C>};
#else
    static constexpr RowKernel kernels[] = {plainRow<C>, plainRow<C>, plainRow<C>};
#endif
    const Stretch s = makeStretch(c);
    const Estimate e = makeEstimate(s, d, C);
    if (!e.usable) return plainRow<C>(planes, n, d, s, e, out);
    kernels[zvek::vectorLevel()](planes, n, d, s, e, out);
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
