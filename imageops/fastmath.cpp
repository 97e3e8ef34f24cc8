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

#include <cmath>
#include <cstring>
#include <type_traits>

#if OPS_HAVE_TARGETS
#include <immintrin.h>
#endif

// Vectors never cross a call boundary (the helpers are always inlined).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace ops {
namespace {

constexpr int64_t kNear = int64_t(1) << 14;
constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer
constexpr double kLn2Hi = 0x1.62e42feep-1;  // ln 2 to 32 bits: k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;  // ln 2 - kLn2Hi

// Tables of the vector bodies.
// 2^(j/16), j = 0..15.
alignas(64) const double kExp2[16] = {
    0x1.0000000000000p+0, 0x1.0b5586cf9890fp+0, 0x1.172b83c7d517bp+0, 0x1.2387a6e756238p+0,
    0x1.306fe0a31b715p+0, 0x1.3dea64c123422p+0, 0x1.4bfdad5362a27p+0, 0x1.5ab07dd485429p+0,
    0x1.6a09e667f3bcdp+0, 0x1.7a11473eb0187p+0, 0x1.8ace5422aa0dbp+0, 0x1.9c49182a3f090p+0,
    0x1.ae89f995ad3adp+0, 0x1.c199bdd85529cp+0, 0x1.d5818dcfba487p+0, 0x1.ea4afa2a490dap+0};
// For the 16 intervals of the logarithm's reduction: c_j, the inverse of
// the interval's middle to 21 bits (1 for the interval holding 1), and
// -ln c_j.
alignas(64) const double kLnInverse[16] = {
    0x1.642c8p+0, 0x1.55555p+0, 0x1.47ae1p+0, 0x1.3b13bp+0, 0x1.2f685p+0, 0x1.24925p+0, 0x1.1a7b9p+0, 0x1.11111p+0,
    0x1.08421p+0, 1.0,          0x1.e1e1ep-1, 0x1.c71c7p-1, 0x1.af287p-1, 0x1.9999ap-1, 0x1.86186p-1, 0x1.745d1p-1};
alignas(64) const double kLnLog[16] = {
    -0x1.522ad0738a1d8p-2, -0x1.269611134d992p-2, -0x1.f991aacb3b069p-3, -0x1.a93ecbc8ad9a3p-3,
    -0x1.5bf422b543aa2p-3, -0x1.117918227db7cp-3, -0x1.93358dd593a69p-4, -0x1.08597b59e3987p-4,
    -0x1.0415c89e74404p-5, 0.0,                   0x1.f0a32c01163a6p-5,  0x1.e27086e2af366p-4,
    0x1.5ff2f30a79564p-3,  0x1.c8ff5c79a9e22p-3,  0x1.1675cebaba62ep-2,  0x1.4618d021c61e2p-2};
// The arc tangent's octants, index (|y| > |x|) + 2 (x < 0) + 4 (reduced by
// pi/6): K + S off, and S as the sign of a zero.
alignas(64) const double kAtanBase[8] = {0.0, 0x1.921fb54442d18p+0, 0x1.921fb54442d18p+1, 0x1.921fb54442d18p+0,
                                         0x1.0c152382d7366p-1, 0x1.0c152382d7366p+0, 0x1.4f1a6c638d03fp+1,
                                         0x1.0c152382d7366p+1};
alignas(64) const double kAtanNegate[8] = {0.0, -0.0, -0.0, 0.0, 0.0, -0.0, -0.0, 0.0};

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

// Lambdas handed to run are inlined too.
#define OPS_LAMBDA __attribute__((always_inline))

// The bodies, once per instruction set.
#if OPS_HAVE_TARGETS
namespace isa2 {
ZVEK_REGION_AVX512
#define FASTMATH_ISA 2
#include "fastmath_blocks.h"
#undef FASTMATH_ISA
ZVEK_REGION_END
}  // namespace isa2
namespace isa1 {
ZVEK_REGION_AVX2
#define FASTMATH_ISA 1
#include "fastmath_blocks.h"
#undef FASTMATH_ISA
ZVEK_REGION_END
}  // namespace isa1
#endif
namespace isa0 {
#define FASTMATH_ISA 0
#include "fastmath_blocks.h"
#undef FASTMATH_ISA
}  // namespace isa0

#if OPS_HAVE_TARGETS
// The best path the processor has, or the one asked for when it is there:
// 2 AVX-512, 1 AVX2 with FMA, 0 the baseline.
int pickLevel(int level) {
    const int v = vectorLevel();
    static const bool fma = __builtin_cpu_supports("fma");
    const int best = v == 1 && !fma ? 0 : v;
    return level < 0 || level > best ? best : level;
}
#endif

}  // namespace

void expFloats(const float *src, float *dst, int64_t n, float scale, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: isa2::expRun(src, dst, n, scale); return;
    case 1: isa1::expRun(src, dst, n, scale); return;
    }
#endif
    (void)level;
    isa0::expRun(src, dst, n, scale);
}

void lnFloats(const float *src, float *dst, int64_t n, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: isa2::lnRun(src, dst, n); return;
    case 1: isa1::lnRun(src, dst, n); return;
    }
#endif
    (void)level;
    isa0::lnRun(src, dst, n);
}

void atan2Floats(const float *y, const float *x, float *dst, int64_t n, int level) {
#if OPS_HAVE_TARGETS
    switch (pickLevel(level)) {
    case 2: isa2::atan2Run(y, x, dst, n); return;
    case 1: isa1::atan2Run(y, x, dst, n); return;
    }
#endif
    (void)level;
    isa0::atan2Run(y, x, dst, n);
}

}  // namespace ops
