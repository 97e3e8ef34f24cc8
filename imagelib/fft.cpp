// Two-dimensional FFT of a square complex-float image, in place: radix-2
// decimation in time along every row and every column.
#include "zvek.h"
#include "zvekint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

[[maybe_unused]] const char *const fftVersion = "Zvekcfft2d V4.3\t\t06 Dec 2026";

// Rotation steps (cos(pi / m), -sin(pi / m)) for half-spans m = 4 .. 512,
// rounded to six decimals.
const float kTwiddle[8][2] = {
    {0.707107f, -0.707107f}, {0.923880f, -0.382683f}, {0.980785f, -0.195090f}, {0.995185f, -0.098017f},
    {0.998795f, -0.049068f}, {0.999699f, -0.024541f}, {0.999925f, -0.012272f}, {0.999981f, -0.006136f},
};

struct Cplx {
    float re, im;
};

// (a + ib)(c + id) = (ac - bd) + i(ad + cb), in float.
inline Cplx mul(Cplx u, Cplx x) {
    return {u.re * x.re - u.im * x.im, u.re * x.im + x.re * u.im};
}

// The rotation step of half-span m for direction dir.
Cplx stepOf(int m, int dir) {
    if (m == 1) return {-1.0f, 0.0f};
    if (m == 2) return {0.0f, static_cast<float>(dir)};
    int e = 0;
    while ((4 << e) < m) ++e;
    if (e < 8) return {kTwiddle[e][0], kTwiddle[e][1] * static_cast<float>(-dir)};
    // Half-spans beyond the table (sides above 1024): the step rounded to
    // single precision.
    const double a = M_PI / m;
    return {static_cast<float>(std::cos(a)), static_cast<float>(dir * std::sin(a))};
}

// The running factors of every stage of a transform of length n, one after
// the other (stage m starts at entry m - 1): u = 1, then u = u x step after
// each j. A transform applies the same factors to every row and column, so
// they are worked out once per call.
class Factors {
public:
    Factors(int n, int dir) {
        Cplx *f = n <= kInline ? fixed_.data() : (heap_.resize(n), heap_.data());
        for (int m = 1; m < n; m *= 2) {
            const Cplx w = stepOf(m, dir);
            Cplx u{1.0f, 0.0f};
            for (int j = 0; j < m; ++j) {
                f[m - 1 + j] = u;
                u = mul(u, w);
            }
        }
        data_ = f;
    }
    const Cplx *stage(int m) const { return data_ + m - 1; }

private:
    static constexpr int kInline = 1024;
    std::array<Cplx, kInline> fixed_;
    std::vector<Cplx> heap_;
    const Cplx *data_ = nullptr;
};

// The bit-reversal permutation of n elements: swap(i, j) for each pair.
template <typename Swap>
void bitReverse(int n, Swap &&swap) {
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) swap(i, j);
        int k = n / 2;
        while (k <= j) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
}

// The 1-D transform of n values spaced stride complex values apart.
void transform1d(float *x, int64_t stride, int n, int dir, const Factors &fac) {
    auto re = [&](int i) -> float & { return x[2 * stride * i]; };
    auto im = [&](int i) -> float & { return x[2 * stride * i + 1]; };
    bitReverse(n, [&](int i, int j) {
        std::swap(re(i), re(j));
        std::swap(im(i), im(j));
    });
    for (int m = 1; m < n; m *= 2) {
        const Cplx *u = fac.stage(m);
        for (int jj = 0; jj < m; ++jj)
            for (int i = jj; i < n; i += 2 * m) {
                const int k = i + m;
                const Cplx t = mul(u[jj], {re(k), im(k)});
                re(k) = re(i) - t.re;
                im(k) = im(i) - t.im;
                re(i) = re(i) + t.re;
                im(i) = im(i) + t.im;
            }
    }
    if (dir == 1) {
        const float fn = static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            re(i) = re(i) / fn;
            im(i) = im(i) / fn;
        }
    }
}

// Transforms the n columns of the n x n image side by side, in strips of
// 8 V neighbouring columns: each butterfly works on whole strip rows, whose
// values share their factor. Per value the arithmetic is exactly that of
// transform1d.
template <int V>
ZVEK_VECTOR_CLONES void columnStrips(float *data, int n, int dir, const Factors &fac) {
    using zvek::v16sf;
    v16sf sign;
    for (int l = 0; l < 16; ++l) sign[l] = (l % 2 == 0) ? -1.0f : 1.0f;
    const int64_t rowFloats = 2 * static_cast<int64_t>(n);
    constexpr int W = 8 * V;  // complex values per strip row
    for (int c0 = 0; c0 < n; c0 += W) {
        float *strip = data + 2 * static_cast<int64_t>(c0);
        auto row = [&](int r) { return strip + r * rowFloats; };
        bitReverse(n, [&](int i, int j) { std::swap_ranges(row(i), row(i) + 2 * W, row(j)); });
        for (int m = 1; m < n; m *= 2) {
            const Cplx *u = fac.stage(m);
            for (int jj = 0; jj < m; ++jj) {
                const float ur = u[jj].re, ui = u[jj].im;
                for (int i = jj; i < n; i += 2 * m) {
                    float *pi = row(i), *pk = row(i + m);
                    for (int v = 0; v < V; ++v) {
                        v16sf xi, xk;
                        std::memcpy(&xi, pi + 16 * v, 64);
                        std::memcpy(&xk, pk + 16 * v, 64);
                        // t = u x xk: (ur xr - ui xi, ur xi + ui xr) lane by lane.
                        const v16sf t = ur * xk + (ui * __builtin_shufflevector(xk, xk, 1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14)) * sign;
                        const v16sf nk = xi - t, ni = xi + t;
                        std::memcpy(pk + 16 * v, &nk, 64);
                        std::memcpy(pi + 16 * v, &ni, 64);
                    }
                }
            }
        }
        if (dir == 1) {
            const float fn = static_cast<float>(n);
            for (int r = 0; r < n; ++r) {
                float *p = row(r);
                for (int q = 0; q < 2 * W; ++q) p[q] = p[q] / fn;
            }
        }
    }
}

// Transposes the n x n complex image in place, tile by tile.
void transpose(float *data, int n) {
    auto *d = reinterpret_cast<Cplx *>(data);
    constexpr int B = 16;
    const int64_t N = n;
    for (int64_t bi = 0; bi < N; bi += B)
        for (int64_t bj = bi; bj < N; bj += B)
            for (int64_t i = bi; i < bi + B && i < N; ++i)
                for (int64_t j = (bi == bj ? i + 1 : bj); j < bj + B && j < N; ++j) std::swap(d[i * N + j], d[j * N + i]);
}

// Every column of the image; or, with rows set, every row (transposed into
// columns and back).
void passAll(float *data, int n, int dir, const Factors &fac, bool rows) {
    constexpr int V = 2;
    if (n % (8 * V) != 0) {
        for (int i = 0; i < n; ++i)
            rows ? transform1d(data + 2 * static_cast<int64_t>(i) * n, 1, n, dir, fac)
                 : transform1d(data + 2 * static_cast<int64_t>(i), n, n, dir, fac);
        return;
    }
    if (rows) transpose(data, n);
    columnStrips<V>(data, n, dir, fac);
    if (rows) transpose(data, n);
}

}  // namespace

int Zvekcfft2d(ZVEKHDR *h, int dir) {
    if (h == nullptr || h->dtype != DT_32CMP || h->vekptr == nullptr) {
        std::fprintf(stderr, "cfft2d:image is not floating point complex! BYE!\n");
        return -3;
    }
    const int n = Zveknr(h);
    if (n != Zveknc(h)) {
        std::fprintf(stderr, "cff2d:image must be square\n");
        return -1;
    }
    int k = n;
    while (k % 2 == 0 && k >= 2) k /= 2;
    if (k >= 2) {
        std::fprintf(stderr, "cff2d:image dimension must be  a power of 2! BYE!\n");
        return -2;
    }
    if (n < 2 || (dir != -1 && dir != 1)) return 0;
    auto *data = static_cast<float *>(h->vekptr);
    const Factors fac(n, dir);
    if (dir == -1) {
        passAll(data, n, dir, fac, true);
        passAll(data, n, dir, fac, false);
    } else {
        passAll(data, n, dir, fac, false);
        passAll(data, n, dir, fac, true);
    }
    return 0;
}
