// The 2-D FFT against independently computed DFTs and against the radix-2
// scheme written out plainly.
#include "zvek.h"

#include <cmath>
#include <complex>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using cd = std::complex<double>;

struct Cimg {
    ZVEKHDR *h;
    int n;
    Cimg(int rows, int cols, const char *type = "complex") : n(cols) {
        const int32_t dims[] = {2, cols, rows};
        h = Zvekcreate(type, dims, 11, 0);
    }
    ~Cimg() { Zvekfree(h, 7); }
    float *f() { return static_cast<float *>(h->vekptr); }
    cd at(int r, int c) { return cd(f()[2 * (r * n + c)], f()[2 * (r * n + c) + 1]); }
    void set(int r, int c, cd v) {
        f()[2 * (r * n + c)] = float(v.real());
        f()[2 * (r * n + c) + 1] = float(v.imag());
    }
};

// Deterministic test values in [-1, 1).
std::vector<cd> values(int n, unsigned seed) {
    std::vector<cd> v(size_t(n) * n);
    unsigned x = seed;
    auto next = [&] {
        x = x * 1664525u + 1013904223u;
        return (x >> 8) / double(1 << 23) - 1.0;
    };
    for (auto &e : v) {
        double re = next();
        e = cd(re, next());
    }
    return v;
}

// The 2-D DFT in double, straight from its sum; sign -1 forward.
std::vector<cd> naiveDft(const std::vector<cd> &x, int n, int sign) {
    std::vector<cd> out(x.size());
    for (int u = 0; u < n; ++u)
        for (int v = 0; v < n; ++v) {
            cd s = 0;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    double a = sign * 2.0 * M_PI * double((u * r + v * c) % n) / n;
                    s += x[size_t(r) * n + c] * cd(std::cos(a), std::sin(a));
                }
            out[size_t(u) * n + v] = s;
        }
    return out;
}

// The rotation step of half-span m: cos(pi / m) and -sin(pi / m) rounded
// to six decimals up to m = 512, in single precision beyond.
float sixDecimals(double v, int m) {
    return m <= 512 ? float(std::round(v * 1e6) / 1e6) : float(v);
}
float stepCos(int m) { return sixDecimals(std::cos(M_PI / m), m); }
float stepMinusSin(int m) { return sixDecimals(-std::sin(M_PI / m), m); }

// The radix-2 scheme as written: bit reversal, half-spans with the
// six-decimal steps, the running factor updated after each j, float
// arithmetic, division by n for the inverse.
void plain1d(float *re, float *im, long stride, int n, int dir) {
    int j = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < j) {
            std::swap(re[i * stride], re[j * stride]);
            std::swap(im[i * stride], im[j * stride]);
        }
        int k = n / 2;
        while (k <= j) j -= k, k /= 2;
        j += k;
    }
    for (int m = 1; m < n; m *= 2) {
        float wr, wi;
        if (m == 1) {
            wr = -1;
            wi = 0;
        } else if (m == 2) {
            wr = 0;
            wi = float(dir);
        } else {
            wr = stepCos(m);
            wi = stepMinusSin(m) * float(-dir);
        }
        float ur = 1, ui = 0;
        for (int jj = 0; jj < m; ++jj) {
            for (int i = jj; i < n; i += 2 * m) {
                int k = i + m;
                float a = ur, b = ui, c = re[k * stride], d = im[k * stride];
                float tr = a * c - b * d, ti = a * d + c * b;
                re[k * stride] = re[i * stride] - tr;
                im[k * stride] = im[i * stride] - ti;
                re[i * stride] = re[i * stride] + tr;
                im[i * stride] = im[i * stride] + ti;
            }
            float a = ur, b = ui;
            ur = a * wr - b * wi;
            ui = a * wi + wr * b;
        }
    }
    if (dir == 1)
        for (int i = 0; i < n; ++i) {
            re[i * stride] /= n;
            im[i * stride] /= n;
        }
}

void plain2d(float *d, int n, int dir) {
    auto rows = [&] {
        for (int r = 0; r < n; ++r) plain1d(d + 2L * r * n, d + 2L * r * n + 1, 2, n, dir);
    };
    auto cols = [&] {
        for (int c = 0; c < n; ++c) plain1d(d + 2L * c, d + 2L * c + 1, 2L * n, n, dir);
    };
    if (dir == -1) {
        rows();
        cols();
    } else {
        cols();
        rows();
    }
}

std::string run(ZVEKHDR *h, int dir, int *result) {
    testing::internal::CaptureStderr();
    *result = Zvekcfft2d(h, dir);
    return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(Fft, MatchesNaiveDftBothWays) {
    for (int n : {2, 4, 8, 16, 32}) {
        for (int dir : {-1, 1}) {
            Cimg img(n, n);
            auto x = values(n, 7u + n + dir);
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) img.set(r, c, x[size_t(r) * n + c]);
            // The input as stored (in float).
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) x[size_t(r) * n + c] = img.at(r, c);
            auto want = naiveDft(x, n, dir == -1 ? -1 : 1);
            if (dir == 1)
                for (auto &w : want) w /= double(n) * n;
            ASSERT_EQ(Zvekcfft2d(img.h, dir), 0);
            double scale = dir == -1 ? n : 1.0 / n;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    const cd got = img.at(r, c), w = want[size_t(r) * n + c];
                    ASSERT_NEAR(got.real(), w.real(), 2e-5 * scale * std::log2(2 * n)) << n << " " << dir << " " << r << " " << c;
                    ASSERT_NEAR(got.imag(), w.imag(), 2e-5 * scale * std::log2(2 * n)) << n << " " << dir << " " << r << " " << c;
                }
        }
    }
}

TEST(Fft, BitForBitTheSpecifiedScheme) {
    // The transform walks several columns side by side; each value must see
    // exactly the arithmetic of the plain scheme.
    // 1024 uses every table step; 2048 the computed ones beyond the table.
    for (int n : {4, 16, 64, 256, 1024, 2048}) {
        for (int dir : {-1, 1}) {
            if (n == 2048 && dir == 1) continue;  // the inverse is checked by the round trip below
            Cimg img(n, n);
            auto x = values(n, 99u + n);
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) img.set(r, c, x[size_t(r) * n + c] * 100.0);
            std::vector<float> ref(img.f(), img.f() + 2 * n * n);
            plain2d(ref.data(), n, dir);
            ASSERT_EQ(Zvekcfft2d(img.h, dir), 0);
            ASSERT_EQ(std::memcmp(img.f(), ref.data(), ref.size() * sizeof(float)), 0) << n << " " << dir;
        }
    }
}

TEST(Fft, ImpulseAndRoundTrip) {
    Cimg img(4, 4);
    img.set(0, 0, 1.0);
    ASSERT_EQ(Zvekcfft2d(img.h, -1), 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(img.at(r, c), cd(1.0, 0.0)) << r << " " << c;
        }
    ASSERT_EQ(Zvekcfft2d(img.h, 1), 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(img.at(r, c), (r == 0 && c == 0) ? cd(1, 0) : cd(0, 0));

    const int n = 128;
    Cimg big(n, n);
    auto x = values(n, 5);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) big.set(r, c, x[size_t(r) * n + c]);
    std::vector<float> before(big.f(), big.f() + 2 * n * n);
    ASSERT_EQ(Zvekcfft2d(big.h, -1), 0);
    ASSERT_EQ(Zvekcfft2d(big.h, 1), 0);
    for (size_t i = 0; i < before.size(); ++i) ASSERT_NEAR(big.f()[i], before[i], 1e-4) << i;  // six-decimal steps
}

TEST(Fft, SidesBeyondTheTable) {
    // A plane wave exp(2 pi i (3 r + 5 c) / n) transforms into n^2 at (3, 5)
    // and (near) zero elsewhere; the half-spans 1024 and up use computed
    // steps instead of reading past the table.
    const int n = 2048;
    Cimg img(n, n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            double a = 2.0 * M_PI * double((3 * r + 5 * c) % n) / n;
            img.set(r, c, cd(std::cos(a), std::sin(a)));
        }
    std::vector<float> before(img.f(), img.f() + 2L * n * n);
    ASSERT_EQ(Zvekcfft2d(img.h, -1), 0);
    const double nn = double(n) * n;
    EXPECT_NEAR(img.at(3, 5).real(), nn, nn * 1e-3);
    EXPECT_NEAR(img.at(3, 5).imag(), 0.0, nn * 1e-3);
    double worst = 0;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            if (r != 3 || c != 5) worst = std::max(worst, std::abs(img.at(r, c)));
    EXPECT_LT(worst, nn * 1e-3);
    ASSERT_EQ(Zvekcfft2d(img.h, 1), 0);
    double err = 0;
    for (size_t i = 0; i < before.size(); ++i) err = std::max(err, double(std::fabs(img.f()[i] - before[i])));
    EXPECT_LT(err, 1e-3);
}

TEST(Fft, RefusalsAndNoOps) {
    int r;
    Cimg one(1, 1);
    one.set(0, 0, cd(2.5, -1));
    EXPECT_EQ(run(one.h, -1, &r), "");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Zvekcfft2d(one.h, 1), 0);
    EXPECT_EQ(one.at(0, 0), cd(2.5, -1));

    Cimg rect(4, 8);
    EXPECT_EQ(run(rect.h, -1, &r), "cff2d:image must be square\n");
    EXPECT_EQ(r, -1);
    Cimg six(6, 6);
    EXPECT_EQ(run(six.h, -1, &r), "cff2d:image dimension must be  a power of 2! BYE!\n");
    EXPECT_EQ(r, -2);
    Cimg flt(4, 4, "32flt");
    EXPECT_EQ(run(flt.h, -1, &r), "cfft2d:image is not floating point complex! BYE!\n");
    EXPECT_EQ(r, -3);
    Cimg dbl(4, 4, "64cmp");
    EXPECT_EQ(run(dbl.h, -1, &r), "cfft2d:image is not floating point complex! BYE!\n");
    EXPECT_EQ(r, -3);
    EXPECT_EQ(run(nullptr, -1, &r), "cfft2d:image is not floating point complex! BYE!\n");
    EXPECT_EQ(r, -3);

    Cimg img(8, 8);
    auto x = values(8, 3);
    for (int i = 0; i < 64; ++i) img.set(i / 8, i % 8, x[i]);
    std::vector<float> before(img.f(), img.f() + 128);
    for (int dir : {0, 2, -2}) {
        EXPECT_EQ(run(img.h, dir, &r), "");
        EXPECT_EQ(r, 0);
        EXPECT_EQ(std::memcmp(img.f(), before.data(), 128 * sizeof(float)), 0);
    }
}

TEST(Fft, OnlyTheFirstFrameOfA3DImage) {
    const int32_t dims[] = {3, 4, 4, 2};
    ZVEKHDR *h = Zvekcreate("complex", dims, 11, 0);
    auto *f = static_cast<float *>(h->vekptr);
    f[0] = 1;
    f[32] = 7;  // frame 1, pixel (0, 0)
    EXPECT_EQ(Zvekcfft2d(h, -1), 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(f[2 * i], 1.0f);
    EXPECT_EQ(f[32], 7.0f);
    EXPECT_EQ(f[34], 0.0f);
    Zvekfree(h, 7);
}
