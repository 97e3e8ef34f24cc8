// Piecewise-constant restoration by mean-field annealing.
#include "imageops.h"
#include "opsint.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

[[maybe_unused]] static const char *const pconVersion = "pconsub V 3.1\t06 Dec 2026";

namespace {

// Failure codes beyond the documented -12 (images not float).
constexpr int kSizesDiffer = -13;  // the process used to end here ("bug1")
constexpr int kBadSchedule = -14;  // parameters that would never finish, divide by zero, or take
                                   // more than kMaxRounds rounds
constexpr int kTooSmall = -15;     // fewer than 3 rows or columns, or no pixels
constexpr int kNoMemory = -16;     // the temporaries could not be allocated

// Longest schedule run; the application's defaults take 528 rounds.
constexpr long long kMaxRounds = 100000;

}  // namespace

long long pconRounds(float t1, float t2, float dlt) {
    if (!std::isfinite(t1) || !std::isfinite(t2) || !std::isfinite(dlt) || t2 <= 0.0f || (dlt >= 1.0f && t1 >= t2))
        return -1;
    const double end = t2;
    double T = t1;
    long long n = 0;
    for (; T >= end && n < 100000000; ++n) T = static_cast<double>(dlt) * T;
    if (T < end) return n;
    return n + static_cast<long long>(std::floor(std::log(end / T) / std::log(static_cast<double>(dlt)))) + 1;
}

namespace {

// One plane of Nr x Nc single-precision samples, row-major.
struct Plane {
    int Nr = 0, Nc = 0;
    float *p = nullptr;
    float *row(int r) const { return p + static_cast<ptrdiff_t>(r) * Nc; }
    ptrdiff_t size() const { return static_cast<ptrdiff_t>(Nr) * Nc; }
};

// Copies into every border pixel the nearest interior pixel, word for word.
void reflect(const Plane &a) {
    const int Nr = a.Nr, Nc = a.Nc;
    for (int r = 1; r <= Nr - 2; ++r) {
        float *row = a.row(r);
        row[0] = row[1];
        row[Nc - 1] = row[Nc - 2];
    }
    float *top = a.row(0), *second = a.row(1), *last = a.row(Nr - 1), *above = a.row(Nr - 2);
    for (int c = 1; c <= Nc - 2; ++c) {
        top[c] = second[c];
        last[c] = above[c];
    }
    top[0] = second[1];
    last[0] = above[1];
    last[Nc - 1] = above[Nc - 2];
    top[Nc - 1] = second[Nc - 2];
}

// out = a - b, single precision.
void sub(const float *a, const float *b, float *out, ptrdiff_t n) {
    for (ptrdiff_t i = 0; i < n; ++i) out[i] = a[i] - b[i];
}

// The edge-preserving weight of one forward difference, in double:
// (d / V) exp((-0.5 / V) d d).
inline float weigh(float d, double V, double negHalfOverV) {
    const double dd = d;
    return static_cast<float>((dd / V) * std::exp(negHalfOverV * dd * dd));
}

// The forward differences of f towards the four neighbours below, below-right,
// right and above-right of every interior pixel (in double, stored as
// float), each then weighed as above. Border pixels are not written.
void forwWeighed(const Plane &f, const Plane &d1, const Plane &d2, const Plane &d3, const Plane &d4, double V) {
    const double negHalfOverV = -0.5 / V;
    for (int r = 1; r <= f.Nr - 2; ++r) {
        const float *fu = f.row(r - 1), *fr = f.row(r), *fd = f.row(r + 1);
        float *o1 = d1.row(r), *o2 = d2.row(r), *o3 = d3.row(r), *o4 = d4.row(r);
        for (int c = 1; c <= f.Nc - 2; ++c) {
            const double v = fr[c];
            o1[c] = weigh(static_cast<float>(fd[c] - v), V, negHalfOverV);
            o2[c] = weigh(static_cast<float>(fd[c + 1] - v), V, negHalfOverV);
            o3[c] = weigh(static_cast<float>(fr[c + 1] - v), V, negHalfOverV);
            o4[c] = weigh(static_cast<float>(fu[c + 1] - v), V, negHalfOverV);
        }
    }
}

// The smoothness force: backward differences of the weighed differences,
// single-precision differences summed in double, the diagonals weighted 0.7.
void back(const Plane &d1, const Plane &d2, const Plane &d3, const Plane &d4, const Plane &P) {
    for (int r = 1; r <= P.Nr - 2; ++r) {
        const float *d1u = d1.row(r - 1), *d1r = d1.row(r);
        const float *d2u = d2.row(r - 1), *d2r = d2.row(r);
        const float *d3r = d3.row(r);
        const float *d4d = d4.row(r + 1), *d4r = d4.row(r);
        float *out = P.row(r);
        for (int c = 1; c <= P.Nc - 2; ++c) {
            const float a = d1u[c] - d1r[c];
            const float b = d3r[c - 1] - d3r[c];
            const float e = d2u[c - 1] - d2r[c];
            const float h = d4d[c - 1] - d4r[c];
            out[c] = static_cast<float>(static_cast<double>(a) + static_cast<double>(b) +
                                        0.7 * (static_cast<double>(e) + static_cast<double>(h)));
        }
    }
}

// out = alpha a + beta b, in double, stored as float.
void comb(const float *a, const float *b, float *out, ptrdiff_t n, double alpha, double beta) {
    for (ptrdiff_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(alpha * static_cast<double>(a[i]) + beta * static_cast<double>(b[i]));
}

// Root mean square of the samples, the sum in double in storage order.
double mlength(const float *a, ptrdiff_t n) {
    double sum = 0.0;
    for (ptrdiff_t i = 0; i < n; ++i) sum += static_cast<double>(a[i]) * static_cast<double>(a[i]);
    return std::sqrt(sum / static_cast<double>(n));
}

}  // namespace

static int restore(ZVEKHDR *f, ZVEKHDR *g, float sigma, float r, float b, float t1, float t2, float dlt) {
    if (!ops::isFloat(g) || !ops::isFloat(f) || ops::ndimOf(f) < 2 || ops::ndimOf(g) < 2) {
        std::printf("Pcon: this program will only work with Zvek float images, please convert your input image to "
                    "float\n");
        return -12;
    }
    const ops::Shape sf = ops::shapeOf(f), sg = ops::shapeOf(g);
    if (sf.rows != sg.rows || sf.cols != sg.cols) {
        std::printf("bug1");
        std::fflush(stdout);
        return kSizesDiffer;
    }
    if (!ops::hasPixels(f) || !ops::hasPixels(g)) {
        std::printf("Pcon: image has no pixels\n");
        return kTooSmall;
    }
    if (sf.rows < 3 || sf.cols < 3) {
        std::printf("Pcon: image must have at least 3 rows and 3 columns\n");
        return kTooSmall;
    }
    const bool finite = std::isfinite(sigma) && std::isfinite(r) && std::isfinite(b) && std::isfinite(t1) &&
                        std::isfinite(t2) && std::isfinite(dlt);
    if (!finite || t2 <= 0.0f || sigma == 0.0f || (dlt >= 1.0f && t1 >= t2)) {
        std::printf("Pcon: annealing parameters would not let the schedule finish\n");
        return kBadSchedule;
    }
    const long long rounds = pconRounds(t1, t2, dlt);
    if (rounds > kMaxRounds) {
        std::printf("Pcon: the annealing schedule takes %lld rounds, more than the %lld allowed\n", rounds, kMaxRounds);
        return kBadSchedule;
    }

    const int Nr = sf.rows, Nc = sf.cols;
    const ptrdiff_t n = static_cast<ptrdiff_t>(Nr) * Nc;
    // The data g, with its border reflected, in a private copy: the caller's
    // image is never changed (and may even be f itself).
    std::vector<float> gcopy(ops::floatData(g), ops::floatData(g) + n);
    // Seven temporaries of f's size; borders of d1..d4 and P stay zero.
    std::vector<float> store(static_cast<size_t>(7 * n), 0.0f);
    auto plane = [&](int k) { return Plane{Nr, Nc, store.data() + k * n}; };
    const Plane F{Nr, Nc, ops::floatData(f)}, Gd{Nr, Nc, gcopy.data()};
    const Plane D = plane(0), d1 = plane(1), d2 = plane(2), d3 = plane(3), d4 = plane(4), P = plane(5), G = plane(6);
    reflect(Gd);

    const double twoPi = 6.283185307179586;
    const double alpha = 1.0 / static_cast<double>(sigma) / static_cast<double>(sigma);
    const float rs = -r * sigma;
    double T = t1;
    while (T >= static_cast<double>(t2)) {
        const double V = ((1.41 * T) * 1.41) * static_cast<double>(sigma) * static_cast<double>(sigma);
        reflect(F);
        sub(F.p, Gd.p, D.p, n);
        forwWeighed(F, d1, d2, d3, d4, V);
        back(d1, d2, d3, d4, P);
        comb(D.p, P.p, G.p, n, alpha, static_cast<double>(b) / std::sqrt(twoPi * T));
        const double m = mlength(G.p, n);
        if (m == 0.0) {
            // f satisfies the equations exactly: it is the fixed point.
            std::printf("magf=0 exiting\n");
            break;
        }
        const double step = static_cast<double>(rs) / m * std::sqrt(T);
        comb(F.p, G.p, F.p, n, 1.0, step);
        T = static_cast<double>(dlt) * T;
    }
    return 0;
}

int pconsub(ZVEKHDR *f, ZVEKHDR *g, float sigma, float r, float b, float t1, float t2, float dlt) {
    try {
        return restore(f, g, sigma, r, b, t1, t2, dlt);
    } catch (const std::bad_alloc &) {
        std::printf("Pcon: can't allocate storage\n");
        return kNoMemory;
    }
}
