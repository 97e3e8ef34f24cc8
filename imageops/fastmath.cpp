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
#include <type_traits>

#if OPS_HAVE_TARGETS
#include <immintrin.h>
#endif

// Vectors never cross a call boundary (the helpers are always inlined).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace ops {
namespace {

typedef double d8 __attribute__((vector_size(64)));
typedef int64_t l8 __attribute__((vector_size(64)));
typedef uint64_t u8 __attribute__((vector_size(64)));
typedef int32_t i8 __attribute__((vector_size(32)));
typedef uint32_t v8 __attribute__((vector_size(32)));

constexpr int64_t kNear = int64_t(1) << 14;
constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer
constexpr double kLn2Hi = 0x1.62e42feep-1;  // ln 2 to 32 bits: k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;  // ln 2 - kLn2Hi

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
#pragma GCC push_options
#pragma GCC target("avx512f")
#define FASTMATH_ISA 2
#include "fastmath_blocks.h"
#undef FASTMATH_ISA
#pragma GCC pop_options
}  // namespace isa2
namespace isa1 {
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#define FASTMATH_ISA 1
#include "fastmath_blocks.h"
#undef FASTMATH_ISA
#pragma GCC pop_options
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
    static const int best = [] {
        const int v = vectorLevel();
        if (v == 1 && !__builtin_cpu_supports("fma")) return 0;
        return v;
    }();
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
