// Element-wise operations: scalar and two-image arithmetic on float and
// complex images, copies and colour to gray.
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const char *flelementwise_version = "flelementwise V 1.1    06 Dec 2026";

using ops::elementCount;
using ops::floatData;
using ops::isComplex;
using ops::isFloat;
using ops::sizesAgree;

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

// Number of floats the element loops of a float or complex image cover.
int64_t floatCount(ZVEKHDR *h) { return elementCount(h) * (isComplex(h) ? 2 : 1); }

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
    mapFloats<false>(floatData(in), floatData(out), elementCount(in), [s](float v) { return v + s; });
    return 0;
}

int flmults(ZVEKHDR *in, ZVEKHDR *out, float s) {
    if (int rc = checkFloatPair(in, out)) return rc;
    mapFloats<false>(floatData(in), floatData(out), elementCount(in), [s](float v) { return v * s; });
    return 0;
}

int flexp(ZVEKHDR *in, ZVEKHDR *out, float scale) {
    if (int rc = checkFloatPair(in, out)) return rc;
    mapFloats<true>(floatData(in), floatData(out), elementCount(in), [scale](float v) {
        const float q = v / scale;
        const float e = static_cast<float>(std::exp(static_cast<double>(q)));
        return e > 255.0f ? 255.0f : e;
    });
    return 0;
}

int flinv(ZVEKHDR *in, ZVEKHDR *out) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const float *src = floatData(in);
    const int64_t n = elementCount(in);
    float mx = -1.0e7f, mn = 1.0e8f;
    for (int64_t i = n - 1; i >= 0; --i) {
        const float v = src[i];
        if (v > mx) mx = v;
        if (v < mn) mn = v;
    }
    std::printf("flinv: max = %f min=%f\n", static_cast<double>(mx), static_cast<double>(mn));
    mapFloats<false>(src, floatData(out), n, [mx](float v) { return mx - v; });
    return 0;
}

int flln(ZVEKHDR *in, ZVEKHDR *out) {
    if (!isFloat(in) || !isFloat(out)) return -1;
    if (!sizesAgree(in, out)) return -2;
    mapFloats<true>(floatData(in), floatData(out), elementCount(in), [](float v) {
        return v > 0.0f ? static_cast<float>(std::log(static_cast<double>(v))) : 0.0f;
    });
    // A completed run is a success, whatever the samples were.
    return 0;
}

int flsqrt(ZVEKHDR *in, ZVEKHDR *out) {
    if (int rc = checkFloatPair(in, out)) return rc;
    const float *src = floatData(in);
    const int64_t n = elementCount(in);
    // The run stops at the first sample that is not >= 0 (negative or NaN).
    int64_t stop = 0;
    while (stop < n && src[stop] >= 0.0f) ++stop;
    mapFloats<true>(src, floatData(out), stop, [](float v) {
        return static_cast<float>(std::sqrt(static_cast<double>(v)));
    });
    if (stop < n) {
        std::fputs("!! flsgrt error : Negative Value for Square Root !!\n", stderr);
        return 1;
    }
    return 0;
}

int fladdv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    if (!sizes3(a, b, out)) return -2;
    if (!sameKind3(a, b, out)) return -1;
    zipFloats(floatData(a), floatData(b), floatData(out), floatCount(a), [](float x, float y) { return x + y; });
    return 0;
}

int flmultv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    if (!sameKind3(a, b, out)) return -1;
    if (!sizes3(a, b, out)) return -2;
    const float *pa = floatData(a);
    const float *pb = floatData(b);
    float *po = floatData(out);
    const int64_t n = elementCount(a);
    if (isFloat(a)) {
        zipFloats(pa, pb, po, n, [](float x, float y) { return x * y; });
        return 0;
    }
    for (int64_t i = n - 1; i >= 0; --i) {
        const float ar = pa[2 * i], ai = pa[2 * i + 1];
        const float br = pb[2 * i], bi = pb[2 * i + 1];
        const float re = ar * br - ai * bi;
        const float im = ar * bi + ai * br;
        po[2 * i] = re;
        po[2 * i + 1] = im;
    }
    return 0;
}

int fldivv(ZVEKHDR *a, ZVEKHDR *b, ZVEKHDR *out) {
    if (!sameKind3(a, b, out)) return -1;
    if (!sizes3(a, b, out)) return -2;
    const float *pa = floatData(a);
    const float *pb = floatData(b);
    float *po = floatData(out);
    const int64_t n = elementCount(a);
    if (isFloat(a)) {
        zipFloats(pa, pb, po, n, [](float x, float y) { return x / y; });
        return 0;
    }
    for (int64_t i = n - 1; i >= 0; --i) {
        const float ar = pa[2 * i], ai = pa[2 * i + 1];
        const float br = pb[2 * i], bi = pb[2 * i + 1];
        const float d = br * br + bi * bi;
        const float re = (ar * br + ai * bi) / d;
        const float im = (ai * br - ar * bi) / d;
        po[2 * i] = re;
        po[2 * i + 1] = im;
    }
    return 0;
}

int flatan2(ZVEKHDR *y, ZVEKHDR *x, ZVEKHDR *out) {
    if (!sameKind3(y, x, out)) return -1;
    if (!sizes3(y, x, out)) return -2;
    zipFloats(floatData(y), floatData(x), floatData(out), floatCount(y), [](float yv, float xv) {
        return static_cast<float>(std::atan2(static_cast<double>(yv), static_cast<double>(xv)));
    });
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
    // Only types the pixel accessors read can be converted.
    bool readable = in->vekptr != nullptr && zvek::dispatchType(in->dtype, [](auto) {});
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
            dst[i] = static_cast<float>(0.21 * r[i] + 0.72 * g[i] + 0.07 * b[i]);
        return 0;
    }
    for (int row = 0; row < si.rows; ++row)
        for (int col = 0; col < si.cols; ++col) {
            const float R = static_cast<float>(Zvekfgp3d(in, 0, row, col));
            const float G = static_cast<float>(Zvekfgp3d(in, 1, row, col));
            const float B = static_cast<float>(Zvekfgp3d(in, 2, row, col));
            dst[int64_t(row) * si.cols + col] = static_cast<float>(0.21 * R + 0.72 * G + 0.07 * B);
        }
    return 0;
}
