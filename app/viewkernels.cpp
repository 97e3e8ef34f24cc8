// The pixel loops of viewing: the display arithmetic of the view window and
// the row loops of its redraws, the working-copy scaling and byte packing.
// The loops are built for several instruction sets and chosen at run time;
// every path gives the same results, so the pictures are the same on every
// machine.
#include "viewkernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// GCC 12's AVX-512 intrinsics start from a deliberately undefined register
// value, which its middle end reports as "may be used uninitialized".
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

// Loops built for several instruction sets, with the vectoriser weighing
// costs as at -O3. The per-element arithmetic is the written one.
#define ZVEK_VIEW_CLONES \
    __attribute__((target_clones("avx512f", "avx2", "default"), optimize("vect-cost-model=dynamic")))

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
inline uint32_t plainByte(float w) { return static_cast<uint32_t>(static_cast<int>(w)) & 0xffu; }

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
// of a redraw, and only the truncated quotient matters. The wide loops below
// first estimate the quotient with a multiplication by 255 / span, which lies
// within four units in the last place (2^-51 relative) of the divided value:
// when no whole number lies that close to the estimate, both truncate to the
// same byte. A group of samples holding one that close to a whole number is
// divided as written. So every byte is the one the division gives, on every
// instruction set.
struct Stretch {
    double lo;     // the level
    double span;   // hi - lo, formed in single precision
    double scale;  // 255 / span, the estimate's factor
};

// Estimates closer than this to a whole number are divided as written: the
// estimate lies within 2^-51 x 256 = 2^-43 of the divided value wherever the
// byte is still open (quotients 0 to 256).
constexpr double kNearWhole = 0x1p-42;

Stretch makeStretch(Contrast c) {
    const double span = static_cast<double>(c.hi - c.lo);
    return {static_cast<double>(c.lo), span, 255.0 / span};
}

inline uint32_t displayByte(float w, double d, const Stretch &s) {
    return static_cast<uint32_t>(static_cast<int>(stretch(static_cast<double>(w) + d, s.lo, s.span)));
}

// ---- AVX-512: eight samples per step ----

struct Wide512 {
    __m512d lo, span, scale, zero, c255, c256, tol;
};

__attribute__((target("avx512f"))) inline Wide512 wide512(const Stretch &s) {
    return {_mm512_set1_pd(s.lo),    _mm512_set1_pd(s.span),  _mm512_set1_pd(s.scale), _mm512_setzero_pd(),
            _mm512_set1_pd(255.0),   _mm512_set1_pd(256.0),   _mm512_set1_pd(kNearWhole)};
}

__attribute__((target("avx512f"), always_inline)) inline __m256i bytes512(const float *w, __m512d d,
                                                                          const Wide512 &k) {
    __m512d v = _mm512_add_pd(_mm512_cvtps_pd(_mm256_loadu_ps(w)), d);
    v = _mm512_min_pd(_mm512_max_pd(v, k.zero), k.c255);  // NaN gives 0
    const __m512d y = _mm512_sub_pd(v, k.lo);
    const __m512d q = _mm512_mul_pd(y, k.scale);
    // |q - nearest whole number| <= tol, for 0 < q < 256.
    const __m512d off = _mm512_sub_pd(q, _mm512_roundscale_pd(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
    const __m512d dist = _mm512_castsi512_pd(
        _mm512_and_epi64(_mm512_castpd_si512(off), _mm512_set1_epi64(0x7fffffffffffffffLL)));
    const __mmask8 inside = _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask(q, k.zero, _CMP_GT_OQ), q, k.c256, _CMP_LT_OQ);
    __m512d e = q;
    if (_mm512_mask_cmp_pd_mask(inside, dist, k.tol, _CMP_LE_OQ))
        e = _mm512_div_pd(_mm512_mul_pd(y, k.c255), k.span);
    // Quotients lie within +-1.4e9; bounds applied on the whole numbers.
    const __m256i b = _mm512_cvttpd_epi32(_mm512_min_pd(e, k.c256));
    return _mm256_min_epi32(_mm256_max_epi32(b, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

__attribute__((target("avx512f"))) void rgb512(const float *red, const float *green, const float *blue, int n,
                                               const double *d, const Stretch &s, QRgb *out) {
    const Wide512 k = wide512(s);
    const __m512d dr = _mm512_set1_pd(d[0]), dg = _mm512_set1_pd(d[1]), db = _mm512_set1_pd(d[2]);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i px = _mm256_or_si256(
            _mm256_or_si256(alpha, _mm256_slli_epi32(bytes512(red + i, dr, k), 16)),
            _mm256_or_si256(_mm256_slli_epi32(bytes512(green + i, dg, k), 8), bytes512(blue + i, db, k)));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), px);
    }
    for (; i < n; ++i)
        out[i] = 0xff000000u | displayByte(red[i], d[0], s) << 16 | displayByte(green[i], d[1], s) << 8 |
                 displayByte(blue[i], d[2], s);
}

__attribute__((target("avx512f"))) void grey512(const float *grey, int n, double d, const Stretch &s, QRgb *out) {
    const Wide512 k = wide512(s);
    const __m512d dd = _mm512_set1_pd(d);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
    const __m256i spread = _mm256_set1_epi32(0x010101);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i px = _mm256_or_si256(alpha, _mm256_mullo_epi32(bytes512(grey + i, dd, k), spread));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), px);
    }
    for (; i < n; ++i) out[i] = 0xff000000u | displayByte(grey[i], d, s) * 0x010101u;
}

// ---- AVX2: four samples per step ----

struct Wide256 {
    __m256d lo, span, scale, zero, c255, c256, tol, abs;
};

__attribute__((target("avx2"))) inline Wide256 wide256(const Stretch &s) {
    return {_mm256_set1_pd(s.lo),  _mm256_set1_pd(s.span),  _mm256_set1_pd(s.scale),
            _mm256_setzero_pd(),   _mm256_set1_pd(255.0),   _mm256_set1_pd(256.0),
            _mm256_set1_pd(kNearWhole), _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL))};
}

__attribute__((target("avx2"), always_inline)) inline __m128i bytes256(const float *w, __m256d d,
                                                                      const Wide256 &k) {
    __m256d v = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(w)), d);
    v = _mm256_min_pd(_mm256_max_pd(v, k.zero), k.c255);  // NaN gives 0
    const __m256d y = _mm256_sub_pd(v, k.lo);
    const __m256d q = _mm256_mul_pd(y, k.scale);
    const __m256d dist = _mm256_and_pd(_mm256_sub_pd(q, _mm256_round_pd(q, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC)), k.abs);
    const __m256d nearWhole =
        _mm256_and_pd(_mm256_cmp_pd(dist, k.tol, _CMP_LE_OQ),
                      _mm256_and_pd(_mm256_cmp_pd(q, k.zero, _CMP_GT_OQ), _mm256_cmp_pd(q, k.c256, _CMP_LT_OQ)));
    __m256d e = q;
    if (_mm256_movemask_pd(nearWhole)) e = _mm256_div_pd(_mm256_mul_pd(y, k.c255), k.span);
    const __m128i b = _mm256_cvttpd_epi32(_mm256_min_pd(e, k.c256));
    return _mm_min_epi32(_mm_max_epi32(b, _mm_setzero_si128()), _mm_set1_epi32(255));
}

__attribute__((target("avx2"))) void rgb256(const float *red, const float *green, const float *blue, int n,
                                            const double *d, const Stretch &s, QRgb *out) {
    const Wide256 k = wide256(s);
    const __m256d dr = _mm256_set1_pd(d[0]), dg = _mm256_set1_pd(d[1]), db = _mm256_set1_pd(d[2]);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i px = _mm_or_si128(_mm_or_si128(alpha, _mm_slli_epi32(bytes256(red + i, dr, k), 16)),
                                        _mm_or_si128(_mm_slli_epi32(bytes256(green + i, dg, k), 8),
                                                     bytes256(blue + i, db, k)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), px);
    }
    for (; i < n; ++i)
        out[i] = 0xff000000u | displayByte(red[i], d[0], s) << 16 | displayByte(green[i], d[1], s) << 8 |
                 displayByte(blue[i], d[2], s);
}

__attribute__((target("avx2"))) void grey256(const float *grey, int n, double d, const Stretch &s, QRgb *out) {
    const Wide256 k = wide256(s);
    const __m256d dd = _mm256_set1_pd(d);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    const __m128i spread = _mm_set1_epi32(0x010101);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i px = _mm_or_si128(alpha, _mm_mullo_epi32(bytes256(grey + i, dd, k), spread));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), px);
    }
    for (; i < n; ++i) out[i] = 0xff000000u | displayByte(grey[i], d, s) * 0x010101u;
}

// ---- any x86-64: one sample at a time, divided as written ----

void rgbPlain(const float *red, const float *green, const float *blue, int n, const double *d,
              const Stretch &s, QRgb *out) {
    for (int i = 0; i < n; ++i)
        out[i] = 0xff000000u | displayByte(red[i], d[0], s) << 16 | displayByte(green[i], d[1], s) << 8 |
                 displayByte(blue[i], d[2], s);
}

void greyPlain(const float *grey, int n, double d, const Stretch &s, QRgb *out) {
    for (int i = 0; i < n; ++i) out[i] = 0xff000000u | displayByte(grey[i], d, s) * 0x010101u;
}

enum class Isa { Plain = 0, Avx2 = 1, Avx512 = 2 };

Isa detectedIsa() {
    static const Isa detected = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return Isa::Avx512;
        if (__builtin_cpu_supports("avx2")) return Isa::Avx2;
        return Isa::Plain;
    }();
    return detected;
}

Isa isaLimit = Isa::Avx512;

Isa isa() { return std::min(detectedIsa(), isaLimit); }

}  // namespace

int limitInstructionSet(int level) {
    isaLimit = static_cast<Isa>(std::max(0, std::min(level, 2)));
    return static_cast<int>(isa());
}

void adjustedRowRGB(const float *red, const float *green, const float *blue, int n, int dR, int dG,
                    int dB, Contrast c, QRgb *out) {
    const Stretch s = makeStretch(c);
    const double d[3] = {static_cast<double>(dR), static_cast<double>(dG), static_cast<double>(dB)};
    switch (isa()) {
    case Isa::Avx512: rgb512(red, green, blue, n, d, s, out); break;
    case Isa::Avx2: rgb256(red, green, blue, n, d, s, out); break;
    case Isa::Plain: rgbPlain(red, green, blue, n, d, s, out); break;
    }
}

void adjustedRowGrey(const float *grey, int n, int d, Contrast c, QRgb *out) {
    const Stretch s = makeStretch(c);
    switch (isa()) {
    case Isa::Avx512: grey512(grey, n, d, s, out); break;
    case Isa::Avx2: grey256(grey, n, d, s, out); break;
    case Isa::Plain: greyPlain(grey, n, d, s, out); break;
    }
}

ZVEK_VIEW_CLONES void plainRowRGB(const float *red, const float *green, const float *blue, const float *overlay,
                                   int n, QRgb *out) {
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
}

ZVEK_VIEW_CLONES void plainRowGrey(const float *grey, int n, QRgb *out) {
    for (int i = 0; i < n; ++i) out[i] = 0xff000000u | plainByte(grey[i]) * 0x010101u;
}

// ---- working copy and conversion ----

ZVEK_VIEW_CLONES void mapLinear(const float *src, float *dst, int64_t n, float lo, float hi, float mn, float range) {
    const float scale = hi - lo;
    for (int64_t i = 0; i < n; ++i) dst[i] = lo + (scale * (src[i] - mn)) / range;
}

ZVEK_VIEW_CLONES void packBytes(const uint8_t *red, const uint8_t *green, const uint8_t *blue, int n, QRgb *out) {
    for (int i = 0; i < n; ++i)
        out[i] = 0xff000000u | static_cast<uint32_t>(red[i]) << 16 | static_cast<uint32_t>(green[i]) << 8 | blue[i];
}

}  // namespace zvekview
