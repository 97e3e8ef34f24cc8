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

// Two vectors worked on side by side: every operation is done on the first
// and then on the second, so that the processor always has a second,
// independent chain of work while one waits for its results.
template <typename V>
struct Two {
    V a, b;
};
#define FASTMATH_BINARY(op)                                                                \
    template <typename V>                                                                  \
    OPS_INLINE auto operator op(const Two<V> &x, const Two<V> &y)->Two<decltype(x.a op y.a)> { \
        return {x.a op y.a, x.b op y.b};                                                   \
    }                                                                                      \
    template <typename V, typename S, typename = std::enable_if_t<std::is_arithmetic<S>::value>> \
    OPS_INLINE auto operator op(const Two<V> &x, S s)->Two<decltype(x.a op s)> {           \
        return {x.a op s, x.b op s};                                                       \
    }
FASTMATH_BINARY(+)
FASTMATH_BINARY(-)
FASTMATH_BINARY(*)
FASTMATH_BINARY(/)
FASTMATH_BINARY(&)
FASTMATH_BINARY(|)
FASTMATH_BINARY(^)
FASTMATH_BINARY(<<)
FASTMATH_BINARY(>>)
FASTMATH_BINARY(<)
FASTMATH_BINARY(>)
FASTMATH_BINARY(>=)
#undef FASTMATH_BINARY
template <typename V>
OPS_INLINE Two<V> operator-(const Two<V> &x) { return {-x.a, -x.b}; }
template <typename V>
OPS_INLINE Two<V> operator~(const Two<V> &x) { return {~x.a, ~x.b}; }

// The same bits seen as another vector type.
template <typename T, typename V>
OPS_INLINE Two<T> as(const Two<V> &x) { return {(T)x.a, (T)x.b}; }
// m ? x : y lane by lane (m a mask of all ones or zero per lane).
template <typename M, typename V>
OPS_INLINE Two<V> sel(const Two<M> &m, const Two<V> &x, const Two<V> &y) { return {m.a ? x.a : y.a, m.b ? x.b : y.b}; }
template <typename V, typename S>
OPS_INLINE Two<V> all(S s) { return {V{} + s, V{} + s}; }

typedef Two<f8> F;  // 16 floats
typedef Two<v8> U;  // their bits
typedef Two<i8> I;  // 16 signed 32-bit integers or single-precision masks
typedef Two<d8> D;  // 16 doubles
typedef Two<l8> L;  // 16 signed 64-bit integers or double-precision masks
typedef Two<u8> UL;

constexpr int64_t kNear = int64_t(1) << 14;
constexpr double kShifter = 0x1.8p52;  // adding it rounds to an integer
constexpr double kLn2Hi = 0x1.62e42feep-1;  // ln 2 to 32 bits: k * kLn2Hi is exact
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;  // ln 2 - kLn2Hi

OPS_INLINE D splat(double v) { return all<d8>(v); }

// Lanes are flagged by the sign bit of a 64-bit mask: negative means the
// lane's value may round to another float than the true value and is
// recomputed by the library call. Flags combine with |.

// Flags the lanes whose 29 low significand bits lie within kNear units
// below or kNear - 1 units above the midpoint pattern 2^28.
OPS_INLINE L nearMidpoint(const D &y) {
    return as<l8>((as<u8>(y) + uint64_t(kNear - 0x10000000)) & 0x1FFFFFFFu) - 2 * kNear;
}

// x where the mask m is all ones, else y; bit operations, as GCC takes a
// select of wide double vectors lane by lane on the narrower instruction
// sets.
OPS_INLINE D pick(const L &m, const D &x, const D &y) { return as<d8>((as<l8>(x) & m) | (as<l8>(y) & ~m)); }

// Table lookups by lane: t[i[l]] for an 8-entry table, t[i[l]] with the
// first 8 entries in lo and the next 8 in hi for a 16-entry one.
// Only the low 3 or 4 bits of an index count.
#if defined(__GNUC__) && !defined(__clang__)
template <typename V>
OPS_INLINE V lookup8(const V &t, const l8 &i) { return __builtin_shuffle(t, i); }
OPS_INLINE d8 lookup16(const d8 &lo, const d8 &hi, const l8 &i) { return __builtin_shuffle(lo, hi, i); }
#else
template <typename V>
OPS_INLINE V lookup8(const V &t, const l8 &i) {
    V r;
    for (int l = 0; l < 8; ++l) r[l] = t[i[l] & 7];
    return r;
}
OPS_INLINE d8 lookup16(const d8 &lo, const d8 &hi, const l8 &i) {
    d8 r;
    for (int l = 0; l < 8; ++l) r[l] = (i[l] & 8) ? hi[i[l] & 7] : lo[i[l] & 7];
    return r;
}
#endif
OPS_INLINE D lookup8(const d8 &t, const L &i) { return {lookup8(t, i.a), lookup8(t, i.b)}; }
OPS_INLINE L lookup8(const l8 &t, const L &i) { return {lookup8(t, i.a), lookup8(t, i.b)}; }
OPS_INLINE D lookup16(const d8 &lo, const d8 &hi, const L &i) { return {lookup16(lo, hi, i.a), lookup16(lo, hi, i.b)}; }

OPS_INLINE bool anyFlagged(const L &m) {
    typedef int64_t l4 __attribute__((vector_size(32)));
    typedef int64_t l2 __attribute__((vector_size(16)));
    const l8 o = m.a | m.b;
    const l4 x = __builtin_shufflevector(o, o, 0, 1, 2, 3) | __builtin_shufflevector(o, o, 4, 5, 6, 7);
    const l2 y = __builtin_shufflevector(x, x, 0, 1) | __builtin_shufflevector(x, x, 2, 3);
    return (y[0] | y[1]) < 0;
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
