// Element-wise operations: scalar and two-image arithmetic on float and
// complex images, copies and colour to gray.
#include "fastmath.h"
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#if OPS_HAVE_TARGETS
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const char *flelementwise_version = "flelementwise V 1.1    06 Dec 2026";

using ops::elementCount;
using ops::floatData;
using ops::isComplex;
using ops::isFloat;
using ops::sizesAgree;

using zvek::nanAdd;
using zvek::nanMul;
using zvek::nanSub;

// Where two NaNs can meet in a + or a *, the loops take the NaN rule of
// zvek::nanAdd and nanMul: the loops are vectorised in some builds and not
// in others, and the compiler's order of the operands must not show. The
// operands of a sum or a product are written in the order whose NaN is
// passed on (for numbers the order does not change the result).

namespace {

// out[i] = f(in[i]) for every i, from the last element to the first (first
// to last when forward is set). in and out are the same array or disjoint;
// each element is read before it is written.
template <bool forward, typename F>
void mapFloats(const float *in, float *out, int64_t n, F f) {
    if (in == out) {
        if (forward)
            for (int64_t i = 0; i < n; ++i) out[i] = f(out[i]);
        else
            for (int64_t i = n - 1; i >= 0; --i) out[i] = f(out[i]);
    } else {
        const float *__restrict src = in;
        float *__restrict dst = out;
        if (forward)
            for (int64_t i = 0; i < n; ++i) dst[i] = f(src[i]);
        else
            for (int64_t i = n - 1; i >= 0; --i) dst[i] = f(src[i]);
    }
}

// out[i] = f(a[i], b[i]) from the last element to the first. Any two of the
// arrays are the same array or disjoint.
template <typename F>
void zipFloats(const float *a, const float *b, float *out, int64_t n, F f) {
    if (out != a && out != b) {
        const float *__restrict pa = a;
        const float *__restrict pb = b;
        float *__restrict po = out;
        for (int64_t i = n - 1; i >= 0; --i) po[i] = f(pa[i], pb[i]);
    } else {
        for (int64_t i = n - 1; i >= 0; --i) out[i] = f(a[i], b[i]);
    }
}

// out[i] = f(a[i], b[i]) (zipRun) or f(in[i]) (mapRun) from the last
// element to the first, eight at a time on the widest path. f takes floats
// and vectors of floats alike, with the same arithmetic per element, and is
// marked ZVEK_INLINE_LAMBDA. The arrays are the same array or disjoint: a
// step reads its elements before it writes them.
// A scalar operand, alone and in every lane of a vector, made once.
struct Operand {
    float one;
    zvek::f4 four;
    zvek::f8 eight;
    explicit Operand(float s) : one(s), four(zvek::splat<zvek::f4>(s)), eight(zvek::splat<zvek::f8>(s)) {}
};

// The operand as a value of v's type.
template <typename V>
ZVEK_INLINE const V &like(const V &, const Operand &s) {
    if constexpr (std::is_same_v<V, float>)
        return s.one;
    else if constexpr (std::is_same_v<V, zvek::f4>)
        return s.four;
    else
        return s.eight;
}

// Steps over n elements from the last to the first, a vector V at a time:
// step(i, (V *)0) does elements i .. i + lanes - 1, step(i, (float *)0)
// element i.
template <typename V, typename S>
ZVEK_INLINE void backwards(int64_t n, const S &step) {
    constexpr int L = zvek::lanes<V>();
    int64_t i = n;
    for (; i >= L; i -= L) step(i - L, static_cast<V *>(nullptr));
    for (; i > 0; --i) step(i - 1, static_cast<float *>(nullptr));
}

// Eight lanes where AVX2 or AVX-512 is there, else the baseline's four.
template <typename S>
void onEveryPath(const S &step, int64_t n) {
    if (zvek::vectorLevel() > 0)
        zvek::onWidestPath([&]() ZVEK_INLINE_LAMBDA { backwards<zvek::f8>(n, step); });
    else
        zvek::onBaseline([&]() ZVEK_INLINE_LAMBDA { backwards<zvek::f4>(n, step); });
}

template <typename F>
void zipRun(const float *a, const float *b, float *out, int64_t n, const F &f) {
    onEveryPath(
        [&](int64_t i, auto kind) ZVEK_INLINE_LAMBDA {
            using V = std::remove_pointer_t<decltype(kind)>;
            V va, vb;
            __builtin_memcpy(&va, a + i, sizeof va);
            __builtin_memcpy(&vb, b + i, sizeof vb);
            const V r = f(va, vb);
            __builtin_memcpy(out + i, &r, sizeof r);
        },
        n);
}

template <typename F>
void mapRun(const float *in, float *out, int64_t n, const F &f) {
    onEveryPath(
        [&](int64_t i, auto kind) ZVEK_INLINE_LAMBDA {
            using V = std::remove_pointer_t<decltype(kind)>;
            V v;
            __builtin_memcpy(&v, in + i, sizeof v);
            const V r = f(v);
            __builtin_memcpy(out + i, &r, sizeof r);
        },
        n);
}

// The shared start of the one-image float operations: both float (-1, the
// input tested first), then sizes agree (-2).
int checkFloatPair(ZVEKHDR *in, ZVEKHDR *out) {
    if (!isFloat(in)) return -1;
    if (!isFloat(out)) return -1;
    if (!sizesAgree(in, out)) return -2;
    return 0;
}

// Type test of the two-image operations: all float or all complex.
bool sameKind3(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *c) {
    return (isFloat(a) && isFloat(b) && isFloat(c)) || (isComplex(a) && isComplex(b) && isComplex(c));
}

// Size test of the two-image operations: a with b, then a with out.
bool sizes3(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) { return sizesAgree(a, b) && sizesAgree(a, out); }

// The range scan of flinv: from the last sample to the first, max moves
// only when a sample exceeds it and min only when one lies below it.
// Sixteen lanes scan interleaved samples with the same rule; their results agree
// with the sequential scan in value, and in sign too unless the result is
// a zero (+0 and -0 compare equal, so the first one met wins): then the
// sequential scan decides.
void scanRange(const float *p, int64_t n, float &mx, float &mn) {
    const float mx0 = mx, mn0 = mn;
    typedef float f4v __attribute__((vector_size(16)));
    f4v vmx[4], vmn[4];
    for (int k = 0; k < 4; ++k) {
        vmx[k] = f4v{} + mx0;
        vmn[k] = f4v{} + mn0;
    }
    int64_t i = n;
    for (; i >= 16; i -= 16) {
        for (int k = 0; k < 4; ++k) {
            f4v v;
            std::memcpy(&v, p + i - 16 + 4 * k, sizeof v);
            vmx[k] = v > vmx[k] ? v : vmx[k];
            vmn[k] = v < vmn[k] ? v : vmn[k];
        }
    }
    for (int k = 0; k < 4; ++k)
        for (int l = 0; l < 4; ++l) {
            if (vmx[k][l] > mx) mx = vmx[k][l];
            if (vmn[k][l] < mn) mn = vmn[k][l];
        }
    for (int64_t j = i - 1; j >= 0; --j) {
        if (p[j] > mx) mx = p[j];
        if (p[j] < mn) mn = p[j];
    }
    if (mx == 0.0f || mn == 0.0f) {
        mx = mx0;
        mn = mn0;
        for (int64_t j = n - 1; j >= 0; --j) {
            if (p[j] > mx) mx = p[j];
            if (p[j] < mn) mn = p[j];
        }
    }
}

// True when no sample of the run is negative or NaN.
bool allNonNegative(const float *p, int64_t n) {
    bool bad = false;
    for (int64_t i = 0; i < n; ++i) bad |= !(p[i] >= 0.0f);
    return !bad;
}

// Square root in double stored as float. For float samples this equals the
// correctly rounded single-precision root (double holds more than twice the
// float precision, so the double rounding is exact), which the vector
// square-root instructions compute.
inline float sqrtOne(float v) { return static_cast<float>(std::sqrt(static_cast<double>(v))); }

// dst[i] = sqrt(src[i]) over a run of samples that are all >= 0, with the
// widest square-root instruction the processor has.
#if OPS_HAVE_TARGETS
OPS_TARGET("avx512f") void sqrtRunAvx512(const float *src, float *dst, int64_t n) {
    int64_t i = 0;
    for (; i + 16 <= n; i += 16) _mm512_storeu_ps(dst + i, _mm512_maskz_sqrt_ps(0xFFFF, _mm512_loadu_ps(src + i)));
    for (; i < n; ++i) dst[i] = sqrtOne(src[i]);
}
OPS_TARGET("avx2") void sqrtRunAvx2(const float *src, float *dst, int64_t n) {
    int64_t i = 0;
    for (; i + 8 <= n; i += 8) _mm256_storeu_ps(dst + i, _mm256_sqrt_ps(_mm256_loadu_ps(src + i)));
    for (; i < n; ++i) dst[i] = sqrtOne(src[i]);
}
void sqrtRunBase(const float *src, float *dst, int64_t n) {
    int64_t i = 0;
    for (; i + 4 <= n; i += 4) _mm_storeu_ps(dst + i, _mm_sqrt_ps(_mm_loadu_ps(src + i)));
    for (; i < n; ++i) dst[i] = sqrtOne(src[i]);
}
#endif

void sqrtRun(const float *src, float *dst, int64_t n) {
#if OPS_HAVE_TARGETS
    switch (ops::vectorLevel()) {
    case 2: sqrtRunAvx512(src, dst, n); return;
    case 1: sqrtRunAvx2(src, dst, n); return;
    default: sqrtRunBase(src, dst, n); return;
    }
#else
    for (int64_t i = 0; i < n; ++i) dst[i] = sqrtOne(src[i]);
#endif
}


// Number of floats the element loops of a float or complex image cover.
int64_t floatCount(ZVEKHDR *h) { return elementCount(h) * (isComplex(h) ? 2 : 1); }

// The shared road of the product and the quotient: types (-1), then sizes
// (-2); float images element by element with real, complex images with
// cplx(ar, ai, br, bi, re, im), both halves read before either is written.
template <typename Real, typename Cplx>
int productOrQuotient(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out, Real real, Cplx cplx) {
    if (!sameKind3(a, b, out)) return -1;
    if (!sizes3(a, b, out)) return -2;
    const float *pa = floatData(a);
    const float *pb = floatData(b);
    float *po = floatData(out);
    const int64_t n = elementCount(a);
    if (isFloat(a)) {
        zipRun(pa, pb, po, n, real);
        return 0;
    }
    for (int64_t i = n - 1; i >= 0; --i) {
        float re, im;
        cplx(pa[2 * i], pa[2 * i + 1], pb[2 * i], pb[2 * i + 1], re, im);
        po[2 * i] = re;
        po[2 * i + 1] = im;
    }
    return 0;
}

}  // namespace

int samefldtype3(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *c) { return sameKind3(a, b, c) ? 1 : 0; }

int samefldtype2(ZVEKHDR *a, ZVEKHDR *b) {
    return ((isFloat(a) && isFloat(b)) || (isComplex(a) && isComplex(b))) ? 1 : 0;
}

int flabsolute(ZVEKHDR *in, ZVEKHDR *out) {
    if (int rc = checkFloatPair(in, out)) return rc;
    mapFloats<true>(floatData(in), floatData(out), elementCount(in), [](float v) { return std::fabs(v); });
    return 0;
}

int fladds(ZVEKHDR *in, ZVEKHDR *out, float s) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const Operand o(s);
    mapRun(floatData(in), floatData(out), elementCount(in),
           [&o](const auto &v) ZVEK_INLINE_LAMBDA { return nanAdd(v, like(v, o)); });
    return 0;
}

int flmults(ZVEKHDR *in, ZVEKHDR *out, float s) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const Operand o(s);
    mapRun(floatData(in), floatData(out), elementCount(in),
           [&o](const auto &v) ZVEK_INLINE_LAMBDA { return nanMul(v, like(v, o)); });
    return 0;
}

int flexp(ZVEKHDR *in, ZVEKHDR *out, float scale) {
    if (int rc = checkFloatPair(in, out)) return rc;
    ops::expFloats(floatData(in), floatData(out), elementCount(in), scale);
    return 0;
}

int flinv(ZVEKHDR *in, ZVEKHDR *out) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const float *src = floatData(in);
    const int64_t n = elementCount(in);
    float mx = -1.0e7f, mn = 1.0e8f;
    scanRange(src, n, mx, mn);
    std::printf("flinv: max = %f min=%f\n", static_cast<double>(mx), static_cast<double>(mn));
    mapFloats<false>(src, floatData(out), n, [mx](float v) { return mx - v; });
    return 0;
}

int flln(ZVEKHDR *in, ZVEKHDR *out) {
    if (!isFloat(in) || !isFloat(out)) return -1;
    if (!sizesAgree(in, out)) return -2;
    ops::lnFloats(floatData(in), floatData(out), elementCount(in));
    // A completed run is a success, whatever the samples were.
    return 0;
}

int flsqrt(ZVEKHDR *in, ZVEKHDR *out) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const float *src = floatData(in);
    float *dst = floatData(out);
    const int64_t n = elementCount(in);
    // The run stops at the first sample that is not >= 0 (negative or NaN).
    // Chunks that hold no such sample are done in one vector pass each.
    constexpr int64_t kChunk = 4096;
    int64_t i = 0;
    while (i < n) {
        const int64_t len = std::min(kChunk, n - i);
        if (!allNonNegative(src + i, len)) break;
        sqrtRun(src + i, dst + i, len);
        i += len;
    }
    while (i < n && src[i] >= 0.0f) {
        dst[i] = sqrtOne(src[i]);
        ++i;
    }
    if (i < n) {
        std::fputs("!! flsgrt error : Negative Value for Square Root !!\n", stderr);
        return 1;
    }
    return 0;
}

int fladdv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    if (!sizes3(a, b, out)) return -2;
    if (!sameKind3(a, b, out)) return -1;
    zipRun(floatData(a), floatData(b), floatData(out), floatCount(a),
           [](const auto &x, const auto &y) ZVEK_INLINE_LAMBDA { return nanAdd(y, x); });
    return 0;
}

int flmultv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    return productOrQuotient(
        a, b, out, [](const auto &x, const auto &y) ZVEK_INLINE_LAMBDA { return nanMul(y, x); },
        [](float ar, float ai, float br, float bi, float &re, float &im) {
            re = nanSub(nanMul(ar, br), nanMul(ai, bi));
            im = nanAdd(nanMul(ai, br), nanMul(ar, bi));
        });
}

int fldivv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    // No test for a zero divisor: the floating-point quotient stands.
    return productOrQuotient(
        a, b, out, [](const auto &x, const auto &y) ZVEK_INLINE_LAMBDA { return x / y; },
        [](float ar, float ai, float br, float bi, float &re, float &im) {
            const float d = nanAdd(br * br, bi * bi);
            re = nanAdd(nanMul(ai, bi), nanMul(ar, br)) / d;
            im = nanSub(nanMul(ai, br), nanMul(ar, bi)) / d;
        });
}

int flatan2(ZVEKHDR *y, ZVEKHDR *x, ZVEKHDR *out) {
    if (!sameKind3(y, x, out)) return -1;
    if (!sizes3(y, x, out)) return -2;
    ops::atan2Floats(floatData(y), floatData(x), floatData(out), floatCount(y));
    return 0;
}

int flcp(ZVEKHDR *in, ZVEKHDR *out) {
    if (!samefldtype2(in, out)) return -1;
    if (!sizesAgree(in, out)) return -2;
    if (in != out)
        std::memmove(out->vekptr, in->vekptr, static_cast<size_t>(floatCount(in)) * sizeof(float));
    return 0;
}

ZVEKHDR *flcrcopy(ZVEKHDR *in) {
    if (!isFloat(in)) {
        std::printf("flcrcopy: input image must be float\n");
        std::fflush(stdout);
        return nullptr;
    }
    ops::ImagePtr copy = ops::makeLike("float", in);
    if (!copy) return nullptr;
    std::memcpy(copy->vekptr, in->vekptr, static_cast<size_t>(elementCount(in)) * sizeof(float));
    return copy.release();
}

int flcolor2gray(ZVEKHDR *in, ZVEKHDR **out) {
    if (in == nullptr || out == nullptr || *out == nullptr) return -1;
    // Three dimensions with at least the three colour frames.
    if (ops::ndimOf(in) != 3 || ops::dimLen(in, 3) < 3) return -2;
    if (ops::ndimOf(*out) != 2) return -4;
    const ops::Shape si = ops::shapeOf(in);
    const ops::Shape so = ops::shapeOf(*out);
    if (si.cols != so.cols) return -5;
    if (si.rows != so.rows) return -6;
    // Only types the pixel accessors read can be converted, interleaved ones
    // with a frame per channel.
    bool readable = in->vekptr != nullptr && zvek::layoutFits(in) && zvek::dispatchType(in->dtype, [](auto) {});
    if (!readable) return -1;

    if ((*out)->dtype != DT_32FLT || (*out)->vekptr == nullptr) {
        ops::ImagePtr fresh = ops::makeLike("float", *out);
        if (!fresh) return -1;
        Zvekfree(*out, 7);
        *out = fresh.release();
    }
    float *dst = floatData(*out);
    const int64_t plane = si.plane();
    if (in->dtype == DT_32FLT) {
        const float *r = floatData(in), *g = r + plane, *b = g + plane;
        for (int64_t i = 0; i < plane; ++i)
            dst[i] = static_cast<float>(nanAdd(nanAdd(0.21 * r[i], 0.72 * g[i]), 0.07 * b[i]));
        return 0;
    }
    for (int row = 0; row < si.rows; ++row)
        for (int col = 0; col < si.cols; ++col) {
            const float R = static_cast<float>(Zvekfgp3d(in, 0, row, col));
            const float G = static_cast<float>(Zvekfgp3d(in, 1, row, col));
            const float B = static_cast<float>(Zvekfgp3d(in, 2, row, col));
            dst[int64_t(row) * si.cols + col] = static_cast<float>(nanAdd(nanAdd(0.21 * R, 0.72 * G), 0.07 * B));
        }
    return 0;
}
