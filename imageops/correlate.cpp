// Template correlation: the template slides over the image and every
// position where it fits gets a score of the template against the image's
// locally mean-subtracted samples.
#include "imageops.h"
#include "opsint.h"
#include "zvekint.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

const char *flcorrelate_version = "flcorrelate V 1.3    06 Dec 2026";

namespace {

// The window of a template of m rows and n columns: offsets i from -hm to
// hm - 1 and j from -hn to hn - 1, so 2hm rows by 2hn columns; position
// (r, c) is valid for hm <= r < rows - hm and hn <= c < cols - hn.
struct Window {
    int m, n, hm, hn;
    Window(int m_, int n_) : m(m_), n(n_), hm(m_ / 2), hn(n_ / 2) {}
    int rows() const { return 2 * hm; }
    int cols() const { return 2 * hn; }
};

// Both window kernels sum finite values to finite values, or to the
// default NaN after an overflow to infinity and inf - inf, whatever order
// the compiler gave the operands; a position whose sum comes out NaN is
// summed again with the NaN rule of zvek::Arith, which gives a NaN the same
// bits on every path. S is the kernel, with sums<Exact>(c, acc) for the
// NV vectors of positions from c and sum<Exact>(c) for position c alone.
template <typename S>
struct Rechecked {
    template <typename V, int NV>
    OPS_INLINE void block(int c) const {
        const S &k = static_cast<const S &>(*this);
        V acc[NV];
        k.template sums<false>(c, acc);
        V any = acc[0];
        _Pragma("GCC unroll 16") for (int v = 1; v < NV; ++v) any = any + acc[v];
        if (__builtin_expect(zvek::anyNaN(any), 0)) k.template sums<true>(c, acc);
        _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) ops::storeV(k.o + c + ops::lanes<V>() * v, acc[v]);
    }
    OPS_INLINE void one(int c) const {
        const S &k = static_cast<const S &>(*this);
        const float acc = k.template sum<false>(c);
        k.o[c] = acc == acc ? acc : k.template sum<true>(c);
    }
};

// Sum of the window samples for consecutive positions of one row, rows of
// the window outer, columns inner, in single precision. p is the image
// sample under the window's top-left corner for position 0.
struct WindowSum : Rechecked<WindowSum> {
    const float *p;
    ptrdiff_t stride;
    int wr, wc;
    float *o;
    WindowSum(const float *p_, ptrdiff_t stride_, int wr_, int wc_, float *o_)
        : p(p_), stride(stride_), wr(wr_), wc(wc_), o(o_) {}

    template <bool Exact, typename V, int NV>
    OPS_INLINE void sums(int c, V (&acc)[NV]) const {
        using A = zvek::Arith<Exact>;
        _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) acc[v] = V{};
        const float *row = p + c;
        for (int i = 0; i < wr; ++i, row += stride)
            for (int j = 0; j < wc; ++j) {
                _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) {
                    V x;
                    ops::loadV(x, row + j + ops::lanes<V>() * v);
                    acc[v] = A::add(acc[v], x);
                }
            }
    }
    template <bool Exact>
    OPS_INLINE float sum(int c) const {
        using A = zvek::Arith<Exact>;
        float acc = 0.0f;
        const float *row = p + c;
        for (int i = 0; i < wr; ++i, row += stride)
            for (int j = 0; j < wc; ++j) acc = A::add(acc, row[j]);
        return acc;
    }
};

// Sum over the window of (A - mean) * tc for consecutive positions of one
// row, where mean is the position's local mean and tc the centred template.
struct WindowCorr : Rechecked<WindowCorr> {
    const float *p;
    ptrdiff_t stride;
    int wr, wc;
    const float *tc;    // wr x wc centred template samples
    const float *mean;  // local mean per position
    float *o;
    WindowCorr(const float *p_, ptrdiff_t stride_, int wr_, int wc_, const float *tc_, const float *mean_, float *o_)
        : p(p_), stride(stride_), wr(wr_), wc(wc_), tc(tc_), mean(mean_), o(o_) {}

    template <bool Exact, typename V, int NV>
    OPS_INLINE void sums(int c, V (&acc)[NV]) const {
        V mu[NV];
        _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) {
            acc[v] = V{};
            ops::loadV(mu[v], mean + c + ops::lanes<V>() * v);
        }
        const float *row = p + c;
        const float *t = tc;
        for (int i = 0; i < wr; ++i, row += stride)
            for (int j = 0; j < wc; ++j) {
                const float k = *t++;
                _Pragma("GCC unroll 16") for (int v = 0; v < NV; ++v) {
                    V x;
                    ops::loadV(x, row + j + ops::lanes<V>() * v);
                    if constexpr (Exact)
                        acc[v] = zvek::nanAdd(acc[v], zvek::nanMul(x - mu[v], zvek::splat<V>(k)));
                    else
                        acc[v] = acc[v] + (x - mu[v]) * k;
                }
            }
    }
    template <bool Exact>
    OPS_INLINE float sum(int c) const {
        using A = zvek::Arith<Exact>;
        float acc = 0.0f;
        const float *row = p + c;
        const float *t = tc;
        for (int i = 0; i < wr; ++i, row += stride)
            for (int j = 0; j < wc; ++j) acc = A::add(acc, A::mul(row[j] - mean[c], *t++));
        return acc;
    }
};

// One frame of the image: its samples and size.
struct Plane {
    const float *p;
    int rows, cols;
    const float *at(int r, int c) const { return p + int64_t(r) * cols + c; }
};

// Local means of every valid position of one row r: the window sum divided
// by N = m * n (not by the window's own size).
void localMeans(const Plane &A, const Window &w, int r, float N, float *mean, int count) {
    ops::runColumns(WindowSum{A.at(r - w.hm, 0), A.cols, w.rows(), w.cols(), mean}, count);
    for (int k = 0; k < count; ++k) mean[k] = mean[k] / N;
}

// Window products of one row r against the centred template.
void windowProducts(const Plane &A, const Window &w, int r, const std::vector<float> &tc, const float *mean,
                    float *S, int count) {
    ops::runColumns(WindowCorr{A.at(r - w.hm, 0), A.cols, w.rows(), w.cols(), tc.data(), mean, S}, count);
}

// The template's samples that take part in the window, minus meanT.
std::vector<float> centred(const Plane &T, const Window &w, float meanT) {
    std::vector<float> tc(size_t(w.rows()) * w.cols());
    for (int i = 0; i < w.rows(); ++i)
        for (int j = 0; j < w.cols(); ++j) tc[size_t(i) * w.cols() + j] = *T.at(i, j) - meanT;
    return tc;
}

// Sum of all template samples in single precision, row by row.
float templateSum(const Plane &T) {
    float s = 0.0f;
    for (int i = 0; i < T.rows; ++i)
        for (int j = 0; j < T.cols; ++j) s = zvek::nanAdd(s, *T.at(i, j));
    return s;
}

Plane planeOf(ZVEKHDR *h, int frame) {
    const ops::Shape s = ops::shapeOf(h);
    return Plane{ops::floatData(h) + int64_t(frame) * s.plane(), s.rows, s.cols};
}

bool regionEmpty(const Plane &A, const Window &w) { return A.rows - w.hm <= w.hm || A.cols - w.hn <= w.hn; }

// The image to read an input from: the input itself, or a copy (kept in
// hold) when its data are also the output's, so that scores written early
// do not feed later ones. Null when that copy can't be made.
ZVEKHDR *readable(ZVEKHDR *in, ZVEKHDR *out, ops::ImagePtr &hold) {
    if (in->vekptr != out->vekptr) return in;
    hold.reset(flcrcopy(in));
    return hold.get();
}

int refuseMemory() {
    std::printf("flcorrelate: not enough memory\n");
    std::fflush(stdout);
    return -6;
}

int refuseTypes() {
    std::printf("flcorrelate: image and template must be float\n");
    std::fflush(stdout);
    return -2;
}

int refuseOutput() {
    std::printf("flcorrelate: output image must be at least as large as the image\n");
    std::fflush(stdout);
    return -5;
}

bool outFits(ZVEKHDR *out, ZVEKHDR *A) {
    const ops::Shape so = ops::shapeOf(out), sa = ops::shapeOf(A);
    return out != nullptr && out->vekptr != nullptr && ops::hasPixels(out) && so.cols >= sa.cols &&
           so.rows >= sa.rows;
}

// The colour case: three frames, each scored against its own template
// frame and divided by that frame's sum of squared deviations.
int corrColour(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out) {
    const ops::Shape sa = ops::shapeOf(A), st = ops::shapeOf(T), so = ops::shapeOf(out);
    if (sa.frames < 3 || ops::ndimOf(T) != 3 || st.frames < 3) {
        std::printf("flcorrelate: color image and template need three frames\n");
        std::fflush(stdout);
        return -4;
    }
    if (!outFits(out, A) || !ops::isFloat(out) || ops::ndimOf(out) != 3 || so.frames < 3) return refuseOutput();
    const Window w(st.rows, st.cols);
    if (regionEmpty(planeOf(A, 0), w)) return 0;
    ops::ImagePtr holdA, holdT;
    A = readable(A, out, holdA);
    T = readable(T, out, holdT);
    if (A == nullptr || T == nullptr) return refuseMemory();
    const int vr = sa.rows - 2 * w.hm, vc = sa.cols - 2 * w.hn;
    const int mn = w.m * w.n;

    // Local means and the sums of squared deviations of all three frames
    // first: a constant frame refuses the call before anything is written.
    std::vector<float> Ahat[3], meanT(3), SA(3);
    for (int k = 0; k < 3; ++k) {
        const Plane Ak = planeOf(A, k);
        meanT[k] = templateSum(planeOf(T, k)) / mn;
        Ahat[k].resize(size_t(vr) * vc);
        float sa2 = 0.0f;
        for (int r = w.hm; r < sa.rows - w.hm; ++r) {
            float *mean = &Ahat[k][size_t(r - w.hm) * vc];
            localMeans(Ak, w, r, float(mn), mean, vc);
            const float *arow = Ak.at(r, w.hn);
            for (int c = 0; c < vc; ++c) {
                const float d = arow[c] - mean[c];
                sa2 = zvek::nanAdd(sa2, d * d);
            }
        }
        SA[k] = sa2;
        if (SA[k] == 0.0f) {
            std::printf("flcorrelate: image frame %d does not vary, cannot normalise\n", k);
            std::fflush(stdout);
            return -3;
        }
    }
    std::vector<float> S(static_cast<size_t>(vc));
    for (int k = 0; k < 3; ++k) {
        const Plane Ak = planeOf(A, k);
        const std::vector<float> tc = centred(planeOf(T, k), w, meanT[k]);
        float *ok = ops::floatData(out) + int64_t(k) * so.plane();
        for (int r = w.hm; r < sa.rows - w.hm; ++r) {
            windowProducts(Ak, w, r, tc, &Ahat[k][size_t(r - w.hm) * vc], S.data(), vc);
            float *orow = ok + int64_t(r) * so.cols + w.hn;
            for (int c = 0; c < vc; ++c) orow[c] = S[c] / SA[k];
        }
    }
    return 0;
}

int corrGray(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out) {
    if (!ops::isFloat(A) || !ops::isFloat(T)) return refuseTypes();
    if (!ops::hasPixels(A) || !ops::hasPixels(T)) return ops::refuseNoPixels("flcorrelate");
    if (!outFits(out, A) || !zvek::dispatchPlain(out->dtype, [](auto) {})) return refuseOutput();
    ops::ImagePtr holdA, holdT;
    A = readable(A, out, holdA);
    T = readable(T, out, holdT);
    if (A == nullptr || T == nullptr) return refuseMemory();
    const Plane a = planeOf(A, 0), t = planeOf(T, 0);
    const Window w(t.rows, t.cols);
    if (regionEmpty(a, w)) return 0;

    // Template statistics over the whole template.
    const float N = float(w.m * w.n);
    const float meanT = templateSum(t) / N;
    float ss = 0.0f;
    for (int i = 0; i < t.rows; ++i)
        for (int j = 0; j < t.cols; ++j) {
            const float d = *t.at(i, j) - meanT;
            ss = zvek::nanAdd(ss, d * d);
        }
    const float sdT = float(std::sqrt(double(ss / N)));
    if (sdT == 0.0f) {
        std::printf("flcorrelate: template does not vary, cannot normalise\n");
        std::fflush(stdout);
        return -3;
    }
    const std::vector<float> tc = centred(t, w, meanT);
    const float div = N * float(w.m);
    const int vc = a.cols - 2 * w.hn;
    std::vector<float> mean(static_cast<size_t>(vc)), S(static_cast<size_t>(vc));
    const bool outFloat = ops::isFloat(out);
    const ops::Shape so = ops::shapeOf(out);
    for (int r = w.hm; r < a.rows - w.hm; ++r) {
        localMeans(a, w, r, N, mean.data(), vc);
        windowProducts(a, w, r, tc, mean.data(), S.data(), vc);
        for (int c = 0; c < vc; ++c) S[c] = (S[c] / div) / sdT;
        if (outFloat) {
            float *orow = ops::floatData(out) + int64_t(r) * so.cols + w.hn;
            for (int c = 0; c < vc; ++c) orow[c] = S[c];
        } else {
            for (int c = 0; c < vc; ++c) Zvekfpp(out, r, c + w.hn, S[c]);
        }
    }
    return 0;
}

// Runs one case; scratch that can't be allocated ends it with -6 before
// anything is written.
template <typename F>
int guarded(F &&run) {
    try {
        return run();
    } catch (const std::bad_alloc &) {
        return refuseMemory();
    }
}

}  // namespace

int corr1frame(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out) {
    return guarded([&] { return corrGray(A, T, out); });
}

int flcorrelate(ZVEKHDR *A, ZVEKHDR *T, ZVEKHDR *out) {
    if (!ops::isFloat(A) || !ops::isFloat(T)) return refuseTypes();
    if (!ops::hasPixels(A) || !ops::hasPixels(T)) return ops::refuseNoPixels("flcorrelate");
    switch (ops::ndimOf(A)) {
    case 2: return corr1frame(A, T, out);
    case 3: return guarded([&] { return corrColour(A, T, out); });
    default: return 0;  // out untouched
    }
}
