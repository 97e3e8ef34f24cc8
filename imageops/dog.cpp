// The derivative-of-Gaussian filter and the edge-replicated padding it
// reads.
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#include <algorithm>
#include <climits>
#include <new>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

const char *fldog_version = "flDoG V 2.1    06 Dec 2026";

namespace {

// Kernel codes: order + 4 * direction.
enum : unsigned {
    kGauss = 0, kDx = 1, kDxx = 2, kDxxx = 3,
    kGaussY = 4, kDy = 5, kDyy = 6, kDyyy = 7,
    kDxy = 10, kLoG = 12,
};

// One kernel value, computed in double.
double kernelValue(unsigned code, int xi, int yi, double S2, bool negativeSigma) {
    const double T = 6.283185307179586;
    const double S4 = S2 * S2, S6 = S4 * S2, S8 = S6 * S2;
    const double x = xi, y = yi;
    const double E = std::exp((x * x + y * y) / (S2 * -2.0));
    switch (code) {
    case kGauss: return E / (T * S2);
    case kDx: return -x * E / (T * S4);
    case kDxx: return (x * x / (T * S6) - 1.0 / (T * S4)) * E;
    case kDxxx: return (3.0 * x / (T * S6) - x * x * x / (T * S8)) * E;
    case kGaussY: return E;
    case kDy: return -y * E / (T * S4);
    case kDyy: return (y * y / (T * S6) - 1.0 / (T * S4)) * E;
    case kDyyy: return (3.0 * y / (T * S6) - y * y * y / (T * S8)) * E;
    case kDxy: return x * y * E / (T * S6);
    default: {  // kLoG
        const double v = ((y * y / (T * S6) - 1.0 / (T * S4)) + (x * x / (T * S6) - 1.0 / (T * S4))) * E;
        return negativeSigma ? v * v : v;
    }
    }
}

// ---- Edge-replicated padding ----

// Padded rows [first, first + count) of one frame (rows x cols samples at
// src) padded by pad rows and pad columns on every side, written to dst
// with a row stride of cols + 2 * pad. Every coordinate is clamped to the
// nearest edge sample.
void fillPadded(const float *src, int rows, int cols, int padR, int padC, int64_t first, int64_t count, float *dst) {
    const int64_t pw = int64_t(cols) + 2 * int64_t(padC);
    for (int64_t k = 0; k < count; ++k) {
        int64_t r = first + k - padR;
        r = r < 0 ? 0 : (r >= rows ? rows - 1 : r);
        const float *srow = src + r * cols;
        float *drow = dst + k * pw;
        for (int c = 0; c < padC; ++c) drow[c] = srow[0];
        std::memcpy(drow + padC, srow, size_t(cols) * sizeof(float));
        for (int64_t c = int64_t(cols) + padC; c < pw; ++c) drow[c] = srow[cols - 1];
    }
}

// ---- The correlation of one output row ----
//
// out[c] = sum over kernel rows i (outer) and columns j (inner) of
// K[i][j] * P[i][c + j], accumulated in single precision in exactly that
// order. Neighbouring columns are worked on at once, each in its own lane,
// so every column sees the same sequence of roundings as a plain loop.
// Finite samples and weights make no NaN but the default one (an overflow
// to infinity and then inf - inf), so the order of the operands cannot
// show; a column whose sum comes out NaN is summed again with the NaN rule
// of zvek::Arith, which gives a NaN the same bits on every path.

struct DogRow {
    const float *K;    // kernel, (2h + 1)^2 values, row by row
    int side;          // 2h + 1
    const float *p;    // padded row of kernel row 0 for output row r
    ptrdiff_t stride;  // padded row length
    float *o;          // output row

    template <bool Exact, typename V, int NV>
    OPS_INLINE void sums(int c, V (&acc)[NV]) const {
        _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) acc[v] = V{};
        const float *kp = K;
        const float *row = p + c;
        for (int i = 0; i < side; ++i, row += stride) {
            for (int j = 0; j < side; ++j) {
                const float k = *kp++;
                _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) {
                    V x;
                    ops::loadV(x, row + j + ops::lanes<V>() * v);
                    if constexpr (Exact)
                        acc[v] = zvek::nanAdd(acc[v], zvek::nanMul(zvek::splat<V>(k), x));
                    else
                        acc[v] = acc[v] + k * x;
                }
            }
        }
    }

    template <typename V, int NV>
    OPS_INLINE void block(int c) const {
        V acc[NV];
        sums<false>(c, acc);
        V any = acc[0];
        _Pragma("GCC unroll 16") for (int v = 1; v < NV; ++v) any = any + acc[v];
        if (__builtin_expect(zvek::anyNaN(any), 0)) sums<true>(c, acc);
        _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) ops::storeV(o + c + ops::lanes<V>() * v, acc[v]);
    }

    template <bool Exact>
    OPS_INLINE float sum(int c) const {
        using A = zvek::Arith<Exact>;
        float acc = 0.0f;
        const float *kp = K;
        const float *row = p + c;
        for (int i = 0; i < side; ++i, row += stride)
            for (int j = 0; j < side; ++j) acc = A::add(acc, A::mul(*kp++, row[j]));
        return acc;
    }

    OPS_INLINE void one(int c) const {
        const float acc = sum<false>(c);
        o[c] = acc == acc ? acc : sum<true>(c);
    }
};

// Output rows filtered per strip: the padded rows of one strip stay in the
// cache while the kernel walks over them.
constexpr int kStripRows = 32;

// Largest kernel side the filter accepts.
constexpr int kMaxSide = 4095;

}  // namespace

ZVEKHDR *padme1(ZVEKHDR *in, int padRows, int padCols, int frame) {
    const ops::Shape s = ops::shapeOf(in);
    if (!ops::isFloat(in) || padRows < 0 || padCols < 0 || frame < 0 || frame >= s.frames || s.cols < 1 ||
        s.rows < 1) {
        std::printf("padme1: needs a float image, the frame to pad and padding of 0 or more\n");
        std::fflush(stdout);
        return nullptr;
    }
    const int64_t pw = int64_t(s.cols) + 2 * int64_t(padCols);
    const int64_t ph = int64_t(s.rows) + 2 * int64_t(padRows);
    // Each side below 2^31 first, so that their product stays inside 64 bits.
    if (pw > INT32_MAX || ph > INT32_MAX || pw * ph * int64_t(sizeof(float)) > INT32_MAX) {
        std::printf("padme1: padded frame of %lld x %lld is too large\n", static_cast<long long>(pw),
                    static_cast<long long>(ph));
        std::fflush(stdout);
        return nullptr;
    }
    ops::ImagePtr P = ops::makeImage("float", static_cast<int>(pw), static_cast<int>(ph));
    if (!P) return nullptr;
    fillPadded(ops::floatData(in) + int64_t(frame) * s.plane(), s.rows, s.cols, padRows, padCols, 0, ph,
            ops::floatData(P.get()));
    return P.release();
}

int flDoG(ZVEKHDR *in, ZVEKHDR *out, int order, int dir, float sigma) {
    if (order > 3) {
        std::printf("flDoG: cannot take derivatives higher than third order. Sorry.\n");
        return -1;
    }
    // The kernel code. A negative order or a direction outside 0..3 is an
    // invalid code of its own, never an alias of a valid one.
    const unsigned code = static_cast<unsigned>(order) + 4u * static_cast<unsigned>(dir);
    const bool codeOk = order >= 0 && dir >= 0 && dir <= 3;
    if (codeOk && (code == 8 || code == 9)) {
        std::printf("flDoG: cannot compute first deriv wrt x and y. Exiting.\n");
        return -2;
    }
    if (codeOk && code == 11) {
        std::printf("flDoG: cannot compute third deriv wrt xy. Exiting.\n");
        return -3;
    }
    if (!codeOk || code > 12) {
        std::printf("Something wrong with arguments to function flDoG. Exiting.\n");
        return -4;
    }
    // A zero sigma has no Gaussian (the kernel would be all NaN), nor has a
    // NaN or infinite one, nor one so small that its square is 0 in single
    // precision (the same all-NaN kernel).
    const float s = std::fabs(sigma);
    if (!(s * s > 0.0f) || !std::isfinite(s)) {
        std::printf("flDoG: sigma must be a non-zero number. Sorry.\n");
        return -7;
    }
    // Half-width in double: a huge sigma fails the size test below instead
    // of overflowing.
    const double hd = std::trunc(3.0 * static_cast<double>(s)) + 1.0;
    const double sided = 2.0 * hd + 1.0;

    if (!ops::hasPixels(in)) return ops::refuseNoPixels("flDoG");
    const int cols = Zvekdimen(in, 0);
    const int rows = Zvekdimen(in, 1);
    if (static_cast<double>(rows) < 2.0 * sided) {
        const int side = sided > INT_MAX ? INT_MAX : static_cast<int>(sided);
        std::printf("flDoG:kernel is %d x %d, but image is only %d x %d. Exiting\n", side, side, rows, cols);
        return -5;
    }
    if (in->dtype != DT_32FLT || in->vekptr == nullptr) {
        std::printf("flDoG: Data type of input image MUST be float. Exiting\n");
        return -6;
    }
    const ops::Shape si = ops::shapeOf(in);
    const ops::Shape so = ops::shapeOf(out);
    const bool outWritable = out != nullptr && out->vekptr != nullptr && zvek::dispatchType(out->dtype, [](auto) {});
    if (!outWritable || so.cols < si.cols || so.rows < si.rows || so.frames < si.frames) {
        std::printf("flDoG: output image must be at least as large as the input image. Sorry.\n");
        return -8;
    }
    if (!zvek::layoutFits(out)) {
        std::printf("flDoG: output image of an interleaved type needs a frame per channel. Sorry.\n");
        return -8;
    }
    // rows >= 2 * side keeps h below 2^29. The padded frame must fit the
    // 32-bit data model, and the kernel stays below kMaxSide samples a side
    // (sigma below about 1365), so no absurd kernel is ever allocated.
    const int h = static_cast<int>(hd);
    const int side = 2 * h + 1;
    const int64_t pw = int64_t(si.cols) + 2 * h;
    if (side > kMaxSide || pw * (int64_t(si.rows) + 2 * h) * int64_t(sizeof(float)) > INT32_MAX) {
        std::printf("flDoG:kernel is %d x %d, but image is only %d x %d. Exiting\n", side, side, rows, cols);
        return -5;
    }

    // The padded frame is made strip by strip: a strip of output rows reads
    // its rows plus 2h more of the padded frame. Filtering an image into
    // itself reads each frame from a copy, since its rows are overwritten
    // while later rows still need them.
    const bool outFloat = out->dtype == DT_32FLT;
    const bool inPlace = out->vekptr == in->vekptr;
    const int64_t stripRows = std::min<int64_t>(kStripRows, si.rows);
    std::vector<float> K, strip, rowBuf, frameCopy;
    try {
        K.resize(size_t(side) * side);
        strip.resize(size_t((stripRows + 2 * h) * pw));
        rowBuf.resize(outFloat ? 0 : size_t(si.cols));
        frameCopy.resize(inPlace ? size_t(si.plane()) : 0);
    } catch (const std::bad_alloc &) {
        std::printf("flDoG: can't allocate the padded rows\n");
        return -9;
    }
    const double S2 = static_cast<double>(s * s);
    for (int y = -h, k = 0; y <= h; ++y)
        for (int x = -h; x <= h; ++x)
            K[k++] = static_cast<float>(kernelValue(code, x, y, S2, sigma < 0.0f));

    for (int f = 0; f < si.frames; ++f) {
        const float *src = ops::floatData(in) + int64_t(f) * si.plane();
        if (inPlace) {
            std::copy(src, src + si.plane(), frameCopy.begin());
            src = frameCopy.data();
        }
        for (int r0 = 0; r0 < si.rows; r0 += int(stripRows)) {
            const int nr = int(std::min<int64_t>(stripRows, si.rows - r0));
            fillPadded(src, si.rows, si.cols, h, h, r0, nr + 2 * h, strip.data());
            for (int k = 0; k < nr; ++k) {
                const int r = r0 + k;
                float *o = outFloat ? ops::floatData(out) + int64_t(f) * so.plane() + int64_t(r) * so.cols
                                    : rowBuf.data();
                ops::runColumns(DogRow{K.data(), side, strip.data() + int64_t(k) * pw, pw, o}, si.cols);
                if (!outFloat)
                    for (int c = 0; c < si.cols; ++c) Zvekfpp3d(out, f, r, c, rowBuf[c]);
            }
        }
    }
    return 0;
}
