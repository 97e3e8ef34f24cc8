// Harris's per-pixel loop on every instruction-set path against the plain
// loop, bit for bit: random derivatives with signed zeros, huge, tiny, infinite
// and NaN values of both signs, sparse and dense, shapes with every remainder (odd sizes, a second tile, frames).
#include "harris.h"
#include "nan_rule.h"
#include "paths_note.h"
#include "zvekint.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

// Interior pixels as the operation is specified, a NaN the first met in each operation; the border keeps out's.
static double add(double a, double b) { return firstNaN(a + b, a, b); }
static double sub(double a, double b) { return firstNaN(a - b, a, b); }
static double mul(double a, double b) { return firstNaN(a * b, a, b); }
static void plainHarris(const float *lx, const float *ly, float *out, int cols, int rows, int frames) {
    for (int64_t f = 0, base = 0; f < frames; ++f, base += int64_t(cols) * rows)
        for (int r = 1; r < rows - 1; ++r)
            for (int c = 1; c < cols - 1; ++c) {
                double sxx = 0, syy = 0, sxy = 0;
                for (int i = -1; i <= 1; ++i)
                    for (int j = -1; j <= 1; ++j) {
                        const double a = lx[base + (r + i) * cols + c + j], b = ly[base + (r + i) * cols + c + j];
                        sxx = add(sxx, a * a), syy = add(syy, b * b), sxy = add(sxy, mul(a, b));
                    }
                sxx /= 9, syy /= 9, sxy /= 9;
                const double tr = add(sxx, syy);
                out[base + r * cols + c] = float(sub(sub(mul(syy, sxx), sxy * sxy), mul(0.07 * tr, tr)));
            }
}

TEST(HarrisPaths, LoopMatchesThePlainLoopOnEveryPath) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float special[] = {0.0f, -0.0f, 3e19f, -2e-23f, 1e-40f, inf, -inf, nan, -nan, nanOf(0xff800001)};
    const int shapes[][3] = {{3, 3, 1}, {4, 5, 1}, {19, 4, 1}, {70, 9, 2}, {2100, 6, 1}, {2, 7, 1}, {9, 2, 1}};
    for (int level = 2; level >= 0; --level) {
        const int ran = zvek::limitVectorLevel(level);
        for (const auto &s : shapes) for (unsigned every : {23u, 2u}) {
            SCOPED_TRACE(testing::Message() << "path " << ran << ", " << s[0] << " x " << s[1] << " x " << s[2]
                                            << ", 1 in " << every << " special");
            const size_t n = size_t(s[0]) * s[1] * s[2];
            std::vector<float> lx(n), ly(n), got(n, 5.5f), want(n, 5.5f);
            std::mt19937 g{unsigned(n)};
            std::uniform_real_distribution<float> u(-300.0f, 300.0f);
            for (size_t i = 0; i < n; ++i) {
                lx[i] = g() % every == 0 ? special[g() % 10] : u(g);
                ly[i] = g() % every == 0 ? special[g() % 10] : u(g);
            }
            ASSERT_EQ(ops::harrisLoop(lx.data(), ly.data(), got.data(), s[0], s[1], s[2]), 0);
            plainHarris(lx.data(), ly.data(), want.data(), s[0], s[1], s[2]);
            EXPECT_EQ(std::memcmp(got.data(), want.data(), n * sizeof(float)), 0);
        }
    }
    zvek::limitVectorLevel(2);
    notePaths();
}
