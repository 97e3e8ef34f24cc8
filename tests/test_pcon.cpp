// Piecewise-constant restoration: against the update written out from its
// formulas, the round count, the stopping cases and the refusals.
#include "imageops.h"
#include "opstest.h"

#include <cmath>
#include <random>

using namespace opstest;

namespace {

// The annealing written out plainly, one fresh temporary per quantity and
// round. Returns the number of rounds run.
int referenceRestore(std::vector<float> &f, std::vector<float> g, int Nr, int Nc, float sigma, float r, float b,
                     float t1, float t2, float dlt) {
    auto reflectBorder = [&](std::vector<float> &a) {
        auto A = [&](int y, int x) -> float & { return a[y * Nc + x]; };
        for (int y = 1; y <= Nr - 2; ++y) {
            A(y, 0) = A(y, 1);
            A(y, Nc - 1) = A(y, Nc - 2);
        }
        for (int x = 1; x <= Nc - 2; ++x) {
            A(0, x) = A(1, x);
            A(Nr - 1, x) = A(Nr - 2, x);
        }
        A(0, 0) = A(1, 1);
        A(Nr - 1, 0) = A(Nr - 2, 1);
        A(Nr - 1, Nc - 1) = A(Nr - 2, Nc - 2);
        A(0, Nc - 1) = A(1, Nc - 2);
    };
    reflectBorder(g);
    const int n = Nr * Nc;
    int rounds = 0;
    double T = t1;
    while (T >= t2) {
        const double V = 1.41 * T * 1.41 * sigma * sigma;
        reflectBorder(f);
        std::vector<float> D(n), d[4], P(n, 0.0f), G(n);
        for (int i = 0; i < n; ++i) D[i] = f[i] - g[i];
        for (auto &x : d) x.assign(n, 0.0f);
        const int dy[4] = {1, 1, 0, -1}, dx[4] = {0, 1, 1, 1};
        for (int y = 1; y < Nr - 1; ++y)
            for (int x = 1; x < Nc - 1; ++x)
                for (int k = 0; k < 4; ++k) {
                    const float diff = static_cast<float>(static_cast<double>(f[(y + dy[k]) * Nc + x + dx[k]]) -
                                                          static_cast<double>(f[y * Nc + x]));
                    const double q = diff;
                    d[k][y * Nc + x] = static_cast<float>(q / V * std::exp(-0.5 / V * q * q));
                }
        auto at = [&](int k, int y, int x) { return d[k][y * Nc + x]; };
        for (int y = 1; y < Nr - 1; ++y)
            for (int x = 1; x < Nc - 1; ++x) {
                const float s1 = at(0, y - 1, x) - at(0, y, x);
                const float s3 = at(2, y, x - 1) - at(2, y, x);
                const float s2 = at(1, y - 1, x - 1) - at(1, y, x);
                const float s4 = at(3, y + 1, x - 1) - at(3, y, x);
                P[y * Nc + x] = static_cast<float>(double(s1) + double(s3) + 0.7 * (double(s2) + double(s4)));
            }
        const double alpha = 1.0 / sigma / sigma, beta = b / std::sqrt(6.283185307179586 * T);
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            G[i] = static_cast<float>(alpha * D[i] + beta * P[i]);
            sum += double(G[i]) * G[i];
        }
        const double m = std::sqrt(sum / n);
        if (m == 0) break;
        const float rs = -r * sigma;
        const double step = rs / m * std::sqrt(T);
        for (int i = 0; i < n; ++i) f[i] = static_cast<float>(1.0 * f[i] + step * G[i]);
        T = dlt * T;
        ++rounds;
    }
    return rounds;
}

std::vector<float> noisyStep(int Nc, int Nr, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> noise(0.0f, 2.0f);
    std::vector<float> v(Nc * Nr);
    for (int y = 0; y < Nr; ++y)
        for (int x = 0; x < Nc; ++x) v[y * Nc + x] = (x < Nc / 2 ? 20.0f : 40.0f) + noise(gen);
    return v;
}

}  // namespace

TEST(Restoration, MatchesTheWrittenOutUpdateOverTheDefaultSchedule) {
    const int Nc = 11, Nr = 9;
    const std::vector<float> g = noisyStep(Nc, Nr, 3);
    std::vector<float> f0 = noisyStep(Nc, Nr, 4);
    Img F = floats(Nc, Nr, f0), Gi = floats(Nc, Nr, g);
    int rc = -1;
    const std::string said =
        stdoutOf([&] { rc = pconsub(F.get(), Gi.get(), 2.0f, .03f, 4.0f, 1.0f, .005f, .99f); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(said, "");
    std::vector<float> want = f0;
    EXPECT_EQ(referenceRestore(want, g, Nr, Nc, 2.0f, .03f, 4.0f, 1.0f, .005f, .99f), 528);
    for (int i = 0; i < Nc * Nr; ++i) ASSERT_TRUE(sameBits(px(F)[i], want[i])) << i;
    // The data image is not changed, not even on its border.
    EXPECT_EQ(values(Gi, Nc * Nr), g);
}

TEST(Restoration, OtherParametersFollowTheSameUpdate) {
    const int Nc = 8, Nr = 6;
    const std::vector<float> g = noisyStep(Nc, Nr, 9);
    std::vector<float> f0 = g;
    Img F = floats(Nc, Nr, f0), Gi = floats(Nc, Nr, g);
    ASSERT_EQ(pconsub(F.get(), Gi.get(), 3.0f, .05f, 2.5f, 2.0f, .1f, .9f), 0);
    std::vector<float> want = f0;
    EXPECT_EQ(referenceRestore(want, g, Nr, Nc, 3.0f, .05f, 2.5f, 2.0f, .1f, .9f), 29);
    for (int i = 0; i < Nc * Nr; ++i) ASSERT_TRUE(sameBits(px(F)[i], want[i])) << i;
}

TEST(Restoration, NoisyStepBecomesTwoFlatRegions) {
    const int Nc = 32, Nr = 24;
    const std::vector<float> g = noisyStep(Nc, Nr, 11);
    Img F = floats(Nc, Nr, g), Gi = floats(Nc, Nr, g);
    ASSERT_EQ(pconsub(F.get(), Gi.get(), 2.0f, .03f, 4.0f, 1.0f, .005f, .99f), 0);
    auto spread = [&](const float *v, int x0, int x1) {
        double s = 0, s2 = 0;
        int n = 0;
        for (int y = 2; y < Nr - 2; ++y)
            for (int x = x0; x < x1; ++x) {
                s += v[y * Nc + x];
                s2 += double(v[y * Nc + x]) * v[y * Nc + x];
                ++n;
            }
        return std::sqrt(s2 / n - (s / n) * (s / n));
    };
    const float *before = g.data(), *after = px(F);
    EXPECT_LT(spread(after, 2, Nc / 2 - 2), 0.5 * spread(before, 2, Nc / 2 - 2));
    EXPECT_LT(spread(after, Nc / 2 + 2, Nc - 2), 0.5 * spread(before, Nc / 2 + 2, Nc - 2));
    // The edge stays sharp: one column step of nearly the full height.
    for (int y = 2; y < Nr - 2; ++y) EXPECT_GT(after[y * Nc + Nc / 2] - after[y * Nc + Nc / 2 - 1], 15.0f) << y;
}

TEST(Restoration, ZeroGradientStopsAtTheFixedPoint) {
    Img F = floats(4, 3, std::vector<float>(12, 7.0f)), Gi = floats(4, 3, std::vector<float>(12, 7.0f));
    int rc = -1;
    const std::string said =
        stdoutOf([&] { rc = pconsub(F.get(), Gi.get(), 2.0f, .03f, 4.0f, 1.0f, .005f, .99f); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(said, "magf=0 exiting\n");
    EXPECT_EQ(values(F, 12), std::vector<float>(12, 7.0f));
}

TEST(Restoration, StartBelowTheEndRunsNoRound) {
    std::vector<float> g = noisyStep(5, 4, 1), f0 = noisyStep(5, 4, 2);
    Img F = floats(5, 4, f0), Gi = floats(5, 4, g);
    EXPECT_EQ(pconsub(F.get(), Gi.get(), 2.0f, .03f, 4.0f, .001f, .005f, 1.5f), 0);
    EXPECT_EQ(values(F, 20), f0);
    EXPECT_EQ(values(Gi, 20), g);
}

TEST(Restoration, SameImageAsEstimateAndData) {
    const std::vector<float> g = noisyStep(7, 6, 5);
    Img F = floats(7, 6, g);
    ASSERT_EQ(pconsub(F.get(), F.get(), 2.0f, .03f, 4.0f, 1.0f, .5f, .9f), 0);
    std::vector<float> want = g;
    referenceRestore(want, g, 6, 7, 2.0f, .03f, 4.0f, 1.0f, .5f, .9f);
    for (int i = 0; i < 42; ++i) ASSERT_TRUE(sameBits(px(F)[i], want[i])) << i;
}

TEST(Restoration, RefusalsChangeNothing) {
    const std::vector<float> g = noisyStep(5, 4, 1), f0 = noisyStep(5, 4, 2);
    Img F = floats(5, 4, f0), Gi = floats(5, 4, g);
    auto unchanged = [&] {
        EXPECT_EQ(values(F, 20), f0);
        EXPECT_EQ(values(Gi, 20), g);
    };
    int rc = 0;
    std::string said;

    Img bytes = make("u8bit", 5, 4), cmp = make("32cmp", 5, 4);
    said = stdoutOf([&] { rc = pconsub(bytes.get(), Gi.get(), 2, .03f, 4, 1, .005f, .99f); });
    EXPECT_EQ(rc, -12);
    EXPECT_EQ(said,
              "Pcon: this program will only work with Zvek float images, please convert your input image to float\n");
    said = stdoutOf([&] { rc = pconsub(F.get(), cmp.get(), 2, .03f, 4, 1, .005f, .99f); });
    EXPECT_EQ(rc, -12);

    Img other = floats(4, 5, std::vector<float>(20, 1.0f));
    said = stdoutOf([&] { rc = pconsub(F.get(), other.get(), 2, .03f, 4, 1, .005f, .99f); });
    EXPECT_EQ(rc, -13);
    EXPECT_EQ(said, "bug1");

    const std::string bad = "Pcon: annealing parameters would not let the schedule finish\n";
    const float nan = std::nanf("");
    struct Case {
        float sigma, t1, t2, dlt;
    } cases[] = {{2, 1, 0, .99f}, {2, 1, -1, .99f}, {0, 1, .005f, .99f}, {2, 1, .005f, 1.0f},
                 {2, 1, .005f, 2.0f}, {nan, 1, .005f, .99f}, {2, INFINITY, .005f, .99f}};
    for (const Case &c : cases) {
        said = stdoutOf([&] { rc = pconsub(F.get(), Gi.get(), c.sigma, .03f, 4, c.t1, c.t2, c.dlt); });
        EXPECT_EQ(rc, -14) << c.sigma << " " << c.t1 << " " << c.t2 << " " << c.dlt;
        EXPECT_EQ(said, bad);
    }
    said = stdoutOf([&] { rc = pconsub(F.get(), Gi.get(), 2, nan, 4, 1, .005f, .99f); });
    EXPECT_EQ(rc, -14);
    unchanged();

    Img thin = floats(5, 2, std::vector<float>(10, 1.0f)), thin2 = floats(5, 2, std::vector<float>(10, 2.0f));
    said = stdoutOf([&] { rc = pconsub(thin.get(), thin2.get(), 2, .03f, 4, 1, .005f, .99f); });
    EXPECT_EQ(rc, -15);
    EXPECT_EQ(said, "Pcon: image must have at least 3 rows and 3 columns\n");
    EXPECT_EQ(values(thin2, 10), std::vector<float>(10, 2.0f));
}

TEST(Restoration, ThreeByThreeIsTheSmallestImage) {
    // One interior pixel: its four differences weigh against a border that is
    // its own reflection, so only the data term and the border update act.
    const std::vector<float> g = {1, 2, 3, 4, 9, 6, 7, 8, 5}, f0 = {0, 0, 0, 0, 4, 0, 0, 0, 0};
    Img F = floats(3, 3, f0), Gi = floats(3, 3, g);
    ASSERT_EQ(pconsub(F.get(), Gi.get(), 2.0f, .03f, 4.0f, 1.0f, .5f, .9f), 0);
    std::vector<float> want = f0;
    EXPECT_EQ(referenceRestore(want, g, 3, 3, 2.0f, .03f, 4.0f, 1.0f, .5f, .9f), 7);
    for (int i = 0; i < 9; ++i) ASSERT_TRUE(sameBits(px(F)[i], want[i])) << i;
    EXPECT_EQ(values(Gi, 9), g);
    // Every pixel took the reflected data's value 9 as its target: the
    // centre moved up from 4, and so did the border.
    EXPECT_GT(px(F)[4], 4.0f);
    EXPECT_GT(px(F)[0], 4.0f);
}
