// The derivative-of-Gaussian filter: kernel values against the formulas,
// the filtering order against a plain reference loop, edges, the checks in
// their order with their messages, and the padding.
#include "ops_testutil.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

using namespace opstest;

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Kernel value k(x, y) evaluated from the formulas of the filter's table.
double formula(int order, int dir, double sigma, int x, int y) {
    const double s = std::fabs(sigma);
    const double S2 = double(float(s) * float(s));
    const double E = std::exp(-(x * x + y * y) / (2.0 * S2));
    const double g4 = 1.0 / (kTwoPi * S2 * S2), g6 = g4 / S2, g8 = g6 / S2;
    switch (order + 4 * dir) {
    case 0: return E / (kTwoPi * S2);
    case 1: return -x * E * g4;
    case 2: return (x * x * g6 - g4) * E;
    case 3: return (3 * x * g6 - double(x) * x * x * g8) * E;
    case 4: return E;
    case 5: return -y * E * g4;
    case 6: return (y * y * g6 - g4) * E;
    case 7: return (3 * y * g6 - double(y) * y * y * g8) * E;
    case 10: return x * y * E * g6;
    case 12: {
        const double v = (x * x * g6 - g4 + y * y * g6 - g4) * E;
        return sigma < 0 ? v * v : v;
    }
    }
    ADD_FAILURE() << "no formula for " << order << "," << dir;
    return 0;
}

int halfWidth(double sigma) { return int(3.0 * std::fabs(sigma)) + 1; }

// The kernel the filter uses, read back from its response to a unit
// impulse: out(r0 - y, c0 - x) = K(x, y) exactly.
std::vector<float> kernelFromImpulse(int order, int dir, float sigma) {
    const int h = halfWidth(sigma), n = 4 * h + 4, c0 = n / 2;
    Img in = makeF(n, n), out = makeF(n, n);
    at(in, 0, c0, c0) = 1.0f;
    EXPECT_EQ(flDoG(in.get(), out.get(), order, dir, sigma), 0);
    const int side = 2 * h + 1;
    std::vector<float> K(size_t(side) * side);
    for (int y = -h; y <= h; ++y)
        for (int x = -h; x <= h; ++x) K[(y + h) * side + x + h] = at(out, 0, c0 - y, c0 - x);
    return K;
}

// Plain reference: one float accumulator per sample, kernel row outer,
// kernel column inner, coordinates clamped to the frame.
Img referenceFilter(const Img &in, const std::vector<float> &K, int h) {
    const int cols = in->vekdims[0].dimlen, rows = in->vekdims[1].dimlen;
    const int frames = in->vekndim > 2 ? in->vekdims[2].dimlen : 0;
    Img out = makeF(cols, rows, frames);
    const int side = 2 * h + 1;
    for (int f = 0; f < std::max(frames, 1); ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                float acc = 0.0f;
                for (int i = 0; i < side; ++i)
                    for (int j = 0; j < side; ++j) {
                        const int rr = std::clamp(r + i - h, 0, rows - 1);
                        const int cc = std::clamp(c + j - h, 0, cols - 1);
                        acc = acc + K[i * side + j] * at(in, f, rr, cc);
                    }
                at(out, f, r, c) = acc;
            }
    return out;
}

}  // namespace

TEST(FlDoG, KernelReadBackMatchesTheFormulas) {
    struct Case { int order, dir; float sigma; };
    const Case cases[] = {{0, 0, 1.0f}, {1, 0, 1.0f}, {2, 0, 1.5f}, {3, 0, 1.0f}, {0, 1, 0.5f}, {1, 1, 2.0f},
                          {2, 1, 1.0f}, {3, 1, 1.0f}, {2, 2, 1.0f}, {0, 3, 1.0f}, {0, 3, -1.0f}, {1, 0, -2.0f}};
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "order " << k.order << " dir " << k.dir << " sigma " << k.sigma);
        const int h = halfWidth(k.sigma), side = 2 * h + 1;
        const std::vector<float> K = kernelFromImpulse(k.order, k.dir, k.sigma);
        ASSERT_EQ(K.size(), size_t(side) * side);
        for (int y = -h; y <= h; ++y)
            for (int x = -h; x <= h; ++x) {
                const float want = float(formula(k.order, k.dir, k.sigma, x, y));
                const float got = K[(y + h) * side + x + h];
                if (want == 0.0f)
                    EXPECT_EQ(got, 0.0f) << x << "," << y;
                else
                    EXPECT_FLOAT_EQ(got, want) << x << "," << y;
            }
    }
}

TEST(FlDoG, KernelValuesExactToSinglePrecision) {
    // Every value is the table's expression evaluated in double, with
    // S2 = s * s rounded to single precision first, stored as float. For
    // sigma 1.1 and 0.7 a square taken in double gives other kernels.
    constexpr double T = kTwoPi;
    for (float sigma : {1.1f, 0.7f, -1.1f}) {
        const double S2 = double(std::fabs(sigma) * std::fabs(sigma));
        const double S4 = S2 * S2, S6 = S4 * S2, S8 = S6 * S2;
        const double S2wide = double(std::fabs(sigma)) * double(std::fabs(sigma));
        ASSERT_NE(S2, S2wide) << sigma;
        const int h = halfWidth(sigma);
        for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 10, 12}) {
            SCOPED_TRACE(testing::Message() << "sigma " << sigma << " code " << code);
            const std::vector<float> K = kernelFromImpulse(code % 4, code / 4, sigma);
            for (int y = -h; y <= h; ++y)
                for (int x = -h; x <= h; ++x) {
                    const double E = std::exp(double(x * x + y * y) / (S2 * -2.0));
                    const double dx = x, dy = y;
                    double v = 0;
                    switch (code) {
                    case 0: v = E / (T * S2); break;
                    case 1: v = -dx * E / (T * S4); break;
                    case 2: v = (dx * dx / (T * S6) - 1.0 / (T * S4)) * E; break;
                    case 3: v = (3.0 * dx / (T * S6) - dx * dx * dx / (T * S8)) * E; break;
                    case 4: v = E; break;
                    case 5: v = -dy * E / (T * S4); break;
                    case 6: v = (dy * dy / (T * S6) - 1.0 / (T * S4)) * E; break;
                    case 7: v = (3.0 * dy / (T * S6) - dy * dy * dy / (T * S8)) * E; break;
                    case 10: v = dx * dy * E / (T * S6); break;
                    case 12:
                        v = ((dy * dy / (T * S6) - 1.0 / (T * S4)) + (dx * dx / (T * S6) - 1.0 / (T * S4))) * E;
                        if (sigma < 0) v = v * v;
                        break;
                    }
                    // The impulse response adds zeros to K * 1: a -0 kernel
                    // value reads back as +0.
                    const float want = float(v) == 0.0f ? 0.0f : float(v);
                    ASSERT_EQ(bits(K[(y + h) * (2 * h + 1) + x + h]), bits(want)) << x << "," << y;
                }
        }
    }
}

TEST(FlDoG, HalfWidthAndKernelSide) {
    // sigma 1 gives 9 x 9, sigma 0.5 gives 5 x 5: the response of an
    // impulse reaches exactly h samples out.
    for (float sigma : {1.0f, 0.5f, 2.0f}) {
        const int h = halfWidth(sigma);
        Img in = makeF(41, 41), out = makeF(41, 41);
        at(in, 0, 20, 20) = 1.0f;
        ASSERT_EQ(flDoG(in.get(), out.get(), 0, 0, sigma), 0);
        EXPECT_NE(at(out, 0, 20, 20 + h), 0.0f) << sigma;
        EXPECT_EQ(at(out, 0, 20, 20 + h + 1), 0.0f) << sigma;
        EXPECT_NE(at(out, 0, 20 - h, 20), 0.0f) << sigma;
        EXPECT_EQ(at(out, 0, 20 - h - 1, 20), 0.0f) << sigma;
    }
}

TEST(FlDoG, AgreesBitForBitWithThePlainLoop) {
    // Widths that exercise wide blocks, narrow blocks and single columns;
    // several frames, each padded from its own edges.
    struct Case { int cols, rows, frames, order, dir; float sigma; };
    const Case cases[] = {{300, 23, 0, 1, 0, 1.0f}, {77, 40, 3, 0, 0, 2.0f}, {1, 20, 0, 2, 1, 1.0f},
                          {17, 18, 2, 2, 2, 1.0f}, {129, 30, 0, 0, 3, -1.0f}, {64, 24, 0, 3, 1, 1.0f}};
    unsigned seed = 1;
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.cols << "x" << k.rows << "x" << k.frames << " order " << k.order
                                        << " dir " << k.dir);
        Img in = randomImage(k.cols, k.rows, k.frames, seed++, -50.0f, 200.0f);
        Img out = makeF(k.cols, k.rows, k.frames);
        ASSERT_EQ(flDoG(in.get(), out.get(), k.order, k.dir, k.sigma), 0);
        Img ref = referenceFilter(in, kernelFromImpulse(k.order, k.dir, k.sigma), halfWidth(k.sigma));
        ASSERT_TRUE(sameBits(out, snapshot(ref)));
    }
}

TEST(FlDoG, ConstantImage) {
    Img in = makeF(40, 30), out = makeF(40, 30);
    fillValue(in, 10.0f);
    // Blur: the constant times the kernel's sum (close to but not exactly 1).
    ASSERT_EQ(flDoG(in.get(), out.get(), 0, 0, 1.0f), 0);
    double sum = 0;
    for (int y = -4; y <= 4; ++y)
        for (int x = -4; x <= 4; ++x) sum += formula(0, 0, 1.0, x, y);
    EXPECT_NE(sum, 1.0);
    for (int64_t i = 0; i < count(out); ++i) ASSERT_NEAR(px(out)[i], 10.0 * sum, 1e-4);
    // DX and DY vanish everywhere, borders included.
    for (int dir : {0, 1}) {
        ASSERT_EQ(flDoG(in.get(), out.get(), 1, dir, 1.0f), 0);
        for (int64_t i = 0; i < count(out); ++i) ASSERT_NEAR(px(out)[i], 0.0, 1e-5) << dir << " " << i;
    }
}

TEST(FlDoG, RampGivesNegativeDerivative) {
    // A correlation, not a convolution: a ramp rising along the columns has
    // DX of about -1 and DY of 0; the same ramp along the rows has DY -1.
    Img in = makeF(60, 40), out = makeF(60, 40);
    fill(in, [](int, int, int c) { return float(c); });
    ASSERT_EQ(flDoG(in.get(), out.get(), 1, 0, 1.0f), 0);
    for (int r = 0; r < 40; ++r)
        for (int c = 6; c < 54; ++c) ASSERT_NEAR(at(out, 0, r, c), -1.0, 0.01) << r << "," << c;
    ASSERT_EQ(flDoG(in.get(), out.get(), 1, 1, 1.0f), 0);
    for (int64_t i = 0; i < count(out); ++i) ASSERT_NEAR(px(out)[i], 0.0, 1e-4);
    fill(in, [](int, int r, int) { return float(r); });
    ASSERT_EQ(flDoG(in.get(), out.get(), 1, 1, 2.0f), 0);
    for (int r = 8; r < 32; ++r) ASSERT_NEAR(at(out, 0, r, 30), -1.0, 0.01) << r;
}

TEST(FlDoG, NegativeSigmaFiltersAsPositiveExceptLaplacian) {
    Img in = randomImage(50, 40, 0, 9, -50.0f, 200.0f);
    Img a = makeF(50, 40), b = makeF(50, 40);
    for (int order : {0, 1, 2}) {
        ASSERT_EQ(flDoG(in.get(), a.get(), order, 0, 2.0f), 0);
        ASSERT_EQ(flDoG(in.get(), b.get(), order, 0, -2.0f), 0);
        EXPECT_TRUE(sameBits(a, snapshot(b))) << order;
    }
    ASSERT_EQ(flDoG(in.get(), a.get(), 0, 3, 2.0f), 0);
    ASSERT_EQ(flDoG(in.get(), b.get(), 0, 3, -2.0f), 0);
    EXPECT_FALSE(sameBits(a, snapshot(b)));
}

TEST(FlDoG, RefusalsInOrderWithTheirMessages) {
    Img in = makeF(300, 17), out = makeF(300, 17);
    Img small = makeF(5, 5), u8 = make("u8bit", 300, 40);
    fillValue(out, 3.5f);
    const std::vector<float> before = snapshot(out);
    int rc = 0;

    // Order first, even for a non-float image.
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(u8.get(), out.get(), 4, 0, 1.0f); }),
              "flDoG: cannot take derivatives higher than third order. Sorry.\n");
    EXPECT_EQ(rc, -1);
    // Codes 8 and 9 before the image is looked at.
    for (int order : {0, 1}) {
        EXPECT_EQ(stdoutOf([&] { rc = flDoG(small.get(), out.get(), order, 2, 1.0f); }),
                  "flDoG: cannot compute first deriv wrt x and y. Exiting.\n");
        EXPECT_EQ(rc, -2);
        EXPECT_EQ(stdoutOf([&] { rc = flDoG(u8.get(), out.get(), order, 2, 1.0f); }),
                  "flDoG: cannot compute first deriv wrt x and y. Exiting.\n");
        EXPECT_EQ(rc, -2);
    }
    // Code 11 returns instead of ending the process.
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(small.get(), out.get(), 3, 2, 1.0f); }),
              "flDoG: cannot compute third deriv wrt xy. Exiting.\n");
    EXPECT_EQ(rc, -3);
    // Every other invalid code: the Laplacian with a derivative, a direction
    // above 3, negative orders and directions (never aliases of valid codes).
    const int bad[][2] = {{1, 3}, {3, 3}, {0, 4}, {-1, 1}, {-4, 2}, {0, -1}, {2, -1}, {0, 1000}};
    for (const auto &b : bad) {
        EXPECT_EQ(stdoutOf([&] { rc = flDoG(small.get(), out.get(), b[0], b[1], 1.0f); }),
                  "Something wrong with arguments to function flDoG. Exiting.\n")
            << b[0] << "," << b[1];
        EXPECT_EQ(rc, -4) << b[0] << "," << b[1];
    }
    // A zero or non-finite sigma, or one whose single-precision square is 0
    // (its kernel would be all NaN as well).
    for (float s : {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    1e-30f, -1e-23f}) {
        EXPECT_EQ(stdoutOf([&] { rc = flDoG(in.get(), out.get(), 0, 0, s); }),
                  "flDoG: sigma must be a non-zero number. Sorry.\n");
        EXPECT_EQ(rc, -7) << s;
    }
    // Too few rows: kernel side twice, then rows, then columns.
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in.get(), out.get(), 1, 0, 1.0f); }),
              "flDoG:kernel is 9 x 9, but image is only 17 x 300. Exiting\n");
    EXPECT_EQ(rc, -5);
    // A huge sigma fails the same test without overflowing.
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in.get(), out.get(), 0, 0, 1e30f); }),
              "flDoG:kernel is 2147483647 x 2147483647, but image is only 17 x 300. Exiting\n");
    EXPECT_EQ(rc, -5);
    // A kernel wider than 4095 samples is refused even where the image has
    // the rows for it.
    Img column = makeF(1, 17000), columnOut = makeF(1, 17000);
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(column.get(), columnOut.get(), 0, 0, 1400.0f); }),
              "flDoG:kernel is 8403 x 8403, but image is only 17000 x 1. Exiting\n");
    EXPECT_EQ(rc, -5);
    // Type of the input after the size.
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(u8.get(), out.get(), 1, 0, 1.0f); }),
              "flDoG: Data type of input image MUST be float. Exiting\n");
    EXPECT_EQ(rc, -6);
    EXPECT_TRUE(sameBits(out, before));

    // Output smaller than the input in any dimension, or missing.
    Img in18 = makeF(300, 18);
    Img narrow = makeF(299, 18), shortOut = makeF(300, 17), fewFrames = makeF(300, 18, 1);
    Img in18x2 = makeF(300, 18, 2);
    const std::string msg = "flDoG: output image must be at least as large as the input image. Sorry.\n";
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in18.get(), narrow.get(), 1, 0, 1.0f); }), msg);
    EXPECT_EQ(rc, -8);
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in18.get(), shortOut.get(), 1, 0, 1.0f); }), msg);
    EXPECT_EQ(rc, -8);
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in18x2.get(), fewFrames.get(), 1, 0, 1.0f); }), msg);
    EXPECT_EQ(rc, -8);
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in18.get(), nullptr, 1, 0, 1.0f); }), msg);
    EXPECT_EQ(rc, -8);
    for (int64_t i = 0; i < count(narrow); ++i) ASSERT_EQ(px(narrow)[i], 0.0f);

    // 18 rows are enough for the 9 x 9 kernel.
    Img out18 = makeF(300, 18);
    EXPECT_EQ(stdoutOf([&] { rc = flDoG(in18.get(), out18.get(), 1, 0, 1.0f); }), "");
    EXPECT_EQ(rc, 0);
}

TEST(FlDoG, LargerAndNonFloatOutputs) {
    Img in = randomImage(30, 20, 2, 5, -50.0f, 200.0f);
    Img exact = makeF(30, 20, 2);
    ASSERT_EQ(flDoG(in.get(), exact.get(), 2, 0, 1.0f), 0);
    // A larger float output gets the result at the same (frame, row, column)
    // and keeps the rest.
    Img big = makeF(33, 22, 3);
    fillValue(big, -7.0f);
    ASSERT_EQ(flDoG(in.get(), big.get(), 2, 0, 1.0f), 0);
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 22; ++r)
            for (int c = 0; c < 33; ++c) {
                const float want = (f < 2 && r < 20 && c < 30) ? at(exact, f, r, c) : -7.0f;
                ASSERT_EQ(bits(at(big, f, r, c)), bits(want)) << f << "," << r << "," << c;
            }
    // A double output holds the same single-precision values.
    Img dbl = make("double", 30, 20, 2);
    ASSERT_EQ(flDoG(in.get(), dbl.get(), 2, 0, 1.0f), 0);
    const double *d = static_cast<double *>(dbl->vekptr);
    for (int64_t i = 0; i < count(exact); ++i) ASSERT_EQ(d[i], double(px(exact)[i])) << i;
}

TEST(Padme1, ReplicatesEdgesAndCorners) {
    Img in = makeF(3, 2, 2);
    fill(in, [](int f, int r, int c) { return float(100 * f + 10 * r + c); });
    for (int frame : {0, 1}) {
        Img P(padme1(in.get(), 2, 3, frame));
        ASSERT_TRUE(P);
        ASSERT_EQ(P->vekndim, 2);
        ASSERT_EQ(P->dtype, DT_32FLT);
        ASSERT_EQ(P->vekdims[0].dimlen, 9);
        ASSERT_EQ(P->vekdims[1].dimlen, 6);
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 9; ++c) {
                const int rr = std::clamp(r - 2, 0, 1), cc = std::clamp(c - 3, 0, 2);
                ASSERT_EQ(at(P, 0, r, c), 100.0f * frame + 10 * rr + cc) << r << "," << c;
            }
    }
    // No padding is a plain copy of the frame.
    Img Q(padme1(in.get(), 0, 0, 1));
    ASSERT_TRUE(Q);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(px(Q)[i], px(in)[6 + i]);
}

TEST(Padme1, RefusesBadArguments) {
    Img in = makeF(3, 2, 2), u8 = make("u8bit", 3, 2);
    std::string out = stdoutOf([&] {
        EXPECT_EQ(padme1(in.get(), 1, 1, 2), nullptr);
        EXPECT_EQ(padme1(in.get(), 1, 1, -1), nullptr);
        EXPECT_EQ(padme1(in.get(), -1, 1, 0), nullptr);
        EXPECT_EQ(padme1(u8.get(), 1, 1, 0), nullptr);
        EXPECT_EQ(padme1(nullptr, 1, 1, 0), nullptr);
        EXPECT_EQ(padme1(in.get(), 1 << 30, 1, 0), nullptr);
    });
    EXPECT_NE(out.find("padme1: needs a float image"), std::string::npos);
    EXPECT_NE(out.find("padme1: padded frame of"), std::string::npos);
}

TEST(FlDoG, FiltersAnImageIntoItself) {
    Img in = randomImage(70, 45, 2, 21, -50.0f, 200.0f);
    Img out = makeF(70, 45, 2);
    ASSERT_EQ(flDoG(in.get(), out.get(), 2, 1, 2.0f), 0);
    ASSERT_EQ(flDoG(in.get(), in.get(), 2, 1, 2.0f), 0);
    EXPECT_TRUE(sameBits(in, snapshot(out)));
}
