// Histogram equalisation: whole image, three-frame images, windows, refusals.
#include "imageops.h"
#include "opstest.h"

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

using namespace opstest;

TEST(HistEq, FourLevelsSpreadLinearly) {
    // Values 0, 1, 2, 3 equally often: bins 0, 85, 170, 255 each hold a
    // quarter, so the levels become 255/4, 255/2, 3*255/4 and 255.
    Img in = floats(4, 2, {0, 1, 2, 3, 3, 2, 1, 0});
    Img out = make("float", 4, 2);
    int rc = 1;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 0); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(said, "");
    EXPECT_EQ(values(out, 8), (std::vector<float>{63.75f, 127.5f, 191.25f, 255, 255, 191.25f, 127.5f, 63.75f}));
    // The input is read only.
    EXPECT_EQ(values(in, 8), (std::vector<float>{0, 1, 2, 3, 3, 2, 1, 0}));
}

TEST(HistEq, BinsAreTakenFromTheRangeWithoutSubtractingTheFirstBin) {
    // 0, 10, 10, 40: bins trunc(255 v / 40) = 0, 63, 63, 255. The first bin's
    // share is not subtracted, so the minimum maps to 255/4, not to 0.
    Img in = floats(2, 2, {0, 10, 10, 40});
    Img out = make("float", 2, 2);
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0);
    EXPECT_EQ(values(out, 4), (std::vector<float>{63.75f, 191.25f, 191.25f, 255}));
}

TEST(HistEq, OutputOfAnotherTypeIsWrittenByThePixelRule) {
    Img in = floats(4, 1, {0, 1, 2, 3});
    Img out = make("u8bit", 4, 1);
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0);
    const auto *b = static_cast<unsigned char *>(out->vekptr);
    EXPECT_EQ(b[0], 63);  // 63.75 truncated
    EXPECT_EQ(b[1], 127);
    EXPECT_EQ(b[2], 191);
    EXPECT_EQ(b[3], 255);
}

TEST(HistEq, ConstantImageIsRefused) {
    Img in = floats(3, 2, {7, 7, 7, 7, 7, 7});
    Img out = make("float", 3, 2);
    px(out)[0] = 42;
    int rc = 0;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 0); });
    EXPECT_EQ(rc, -2);
    EXPECT_EQ(said, "maximum = minimum. Somethings is wrong with this image\n");
    EXPECT_EQ(px(out)[0], 42);
}

TEST(HistEq, TooSmallForTheNeighbourhood) {
    Img in = make("float", 5, 7);
    Img out = make("float", 5, 7);
    int rc = 0;
    std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 5); });
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(said, "Hist0.0:Cannot equalize histogram of an image (7 x 5 )smaller than the neighborhood(5)\n");
    // Larger than N but without room for a whole window of 2N + 1: refused too.
    Img in2 = make("float", 10, 4);
    Img out2 = make("float", 10, 4);
    said = stdoutOf([&] { rc = flHistogramEq(in2.get(), out2.get(), 2); });
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(said, "Hist0.0:Cannot equalize histogram of an image (4 x 10 )smaller than the neighborhood(2)\n");
}

TEST(HistEq, NegativeBorderSamplesAreReportedAndProcessingGoesOn) {
    // 3 x 3 with -1 at (0, 1), -2 at (1, 2), -5 in the centre (not border).
    Img in = floats(3, 3, {0, -1, 3, 4, -5, -2, 6, 7, 8});
    Img out = make("float", 3, 3);
    int rc = 1;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 0); });
    EXPECT_EQ(rc, 0);
    // Top row, bottom row, left column, right column, in that order.
    EXPECT_EQ(said, "row 0 col 1\nrow 1 col 2\n");
    // Nine distinct values: each holds 1/9, the minimum maps to 255/9.
    EXPECT_FLOAT_EQ(px(out)[4], 255.0f / 9.0f);
    EXPECT_EQ(px(out)[8], 255.0f);
}

TEST(HistEq, ThreeFramesShareOneHistogramAndPrintIt) {
    // 2 x 1 x 3: values 0, 1, 2, 3, 4, 5 over the three frames.
    Img in = floats(2, 1, {0, 1, 2, 3, 4, 5}, 3);
    Img out = make("float", 2, 1, 3);
    int rc = 1;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 0); });
    ASSERT_EQ(rc, 0);
    // Bins trunc(255 v / 5) = 0, 51, 102, 153, 204, 255, each 1/6 of the samples.
    std::ostringstream want;
    char line[64];
    const int filled[] = {0, 51, 102, 153, 204, 255};
    for (int k = 0; k < 256; ++k) {
        const bool full = std::find(std::begin(filled), std::end(filled), k) != std::end(filled);
        std::snprintf(line, sizeof line, "h[%d]= %f\n", k, full ? 1.0 : 0.0);
        want << line;
    }
    float run = 0;
    for (int k = 0; k < 256; ++k) {
        if (std::find(std::begin(filled), std::end(filled), k) != std::end(filled)) run += 1.0f / 6.0f;
        std::snprintf(line, sizeof line, "p[%d]= %f\n", k, static_cast<double>(run));
        want << line;
    }
    EXPECT_EQ(said, want.str());
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(px(out)[i], 255.0 * (i + 1) / 6.0, 1e-4) << i;
}

TEST(HistEq, TwoFrameImageUsesItsFirstFrameOnly) {
    Img in = floats(2, 2, {0, 1, 2, 3, -100, 100, 1000, 5}, 2);
    Img out = make("float", 2, 2, 2);
    for (int i = 0; i < 8; ++i) px(out)[i] = -7;
    int rc = 1;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 0); });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(said, "");  // no histogram lines, and frame 1's -100 is not looked at
    EXPECT_EQ(values(out, 8), (std::vector<float>{63.75f, 127.5f, 191.25f, 255, -7, -7, -7, -7}));
}

TEST(HistEq, NotANumberAndInfinitiesStayInsideTheBins) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Img in = floats(3, 2, {0, 1, nan, inf, -inf, 2});
    Img out = make("float", 3, 2);
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0);
    // Range from the finite samples 0..2; the NaN is not counted (total stays
    // the pixel count 6); +inf counts in the top bin, -inf in the bottom one.
    const float sixth = static_cast<float>(1.0 / 6.0);
    const float bottom = sixth + sixth;                 // 0 and -inf
    const float middle = bottom + sixth;                 // 1 in bin 127
    const float top = middle + static_cast<float>(2.0 / 6.0);  // 2 and +inf
    EXPECT_FLOAT_EQ(px(out)[0], bottom * 255.0f);
    EXPECT_FLOAT_EQ(px(out)[1], middle * 255.0f);
    EXPECT_TRUE(std::isnan(px(out)[2]));
    EXPECT_FLOAT_EQ(px(out)[3], top * 255.0f);
    EXPECT_FLOAT_EQ(px(out)[4], bottom * 255.0f);
    EXPECT_FLOAT_EQ(px(out)[5], top * 255.0f);
}

TEST(HistEq, CountsStayExactBeyondTwoToTheTwentyFour) {
    // 2^24 + 2 pixels, all 0 but one 1: bin 0 holds 2^24 + 1, which a
    // single-precision counter cannot hold (it stalls at 2^24).
    const int cols = 4096, rows = 4097;  // 16781312 pixels
    Img in = make("float", cols, rows);
    Img out = make("float", cols, rows);
    px(in)[5] = 1.0f;
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0);
    const double n = static_cast<double>(cols) * rows;
    const float p0 = static_cast<float>((n - 1) / n);
    EXPECT_EQ(px(out)[0], static_cast<float>(static_cast<double>(p0) * 255.0));
    const float stalled = static_cast<float>(16777216.0 / n);
    EXPECT_NE(px(out)[0], static_cast<float>(static_cast<double>(stalled) * 255.0));
}

TEST(HistEq, WindowMappingWorkedByHand) {
    // 3 x 3 with values 0..8, N = 1: every window is the whole image. Window
    // bins trunc(v / 8 * 256) = 32 v, the maximum's bin 256 not counted
    // (total 8). The centre bin floor(255 v / 8) reaches the cdf value
    // max(v, 1) / 8, mapped to cdf * 8 / 256 + 0.
    std::vector<float> v(9);
    for (int i = 0; i < 9; ++i) v[i] = static_cast<float>(i);
    Img in = floats(3, 3, v);
    Img out = make("float", 3, 3);
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 1), 0);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(px(out)[i], std::max(i, 1) / 256.0f) << i;
}

TEST(HistEq, WindowResultOutOfRangeIsAFailureNotAnExit) {
    std::vector<float> v(9);
    for (int i = 0; i < 9; ++i) v[i] = -10.0f + i;
    Img in = floats(3, 3, v);
    Img out = make("float", 3, 3);
    for (int i = 0; i < 9; ++i) px(out)[i] = 99;
    int rc = 0;
    const std::string said = stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), 1); });
    EXPECT_EQ(rc, -3);
    EXPECT_EQ(said,
              "row 0 col 0\nrow 0 col 1\nrow 0 col 2\n"
              "row 2 col 0\nrow 2 col 1\nrow 2 col 2\n"
              "row 0 col 0\nrow 1 col 0\nrow 2 col 0\n"
              "row 0 col 2\nrow 1 col 2\nrow 2 col 2\n"
              "!! -9.996094  0  0 \n");
    for (int i = 0; i < 9; ++i) EXPECT_EQ(px(out)[i], 99) << "output must stay untouched";
}

TEST(HistEq, WindowsNearTheEdgeShiftInside) {
    // 5 x 1 rows would be too small; use 5 x 3 with N = 1 and a reference loop.
    std::vector<float> v = {10, 20, 30, 40, 50, 15, 25, 35, 45, 55, 12, 22, 32, 42, 52};
    Img in = floats(5, 3, v);
    Img out = make("float", 5, 3);
    ASSERT_EQ(flHistogramEq(in.get(), out.get(), 1), 0);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c) {
            const int c0 = c == 0 ? 0 : (c == 4 ? 2 : c - 1);
            float mn = 1e9f, mx = -1e9f;
            for (int rr = 0; rr < 3; ++rr)
                for (int cc = c0; cc < c0 + 3; ++cc) {
                    mn = std::min(mn, v[rr * 5 + cc]);
                    mx = std::max(mx, v[rr * 5 + cc]);
                }
            // Count window samples whose bin is not above the centre's bin.
            const float x = v[r * 5 + c];
            const int kc = static_cast<int>(std::floor(255.0f * (x - mn) / (mx - mn)));
            int below = 0, total = 0;
            for (int rr = 0; rr < 3; ++rr)
                for (int cc = c0; cc < c0 + 3; ++cc) {
                    const int k = static_cast<int>(static_cast<double>((v[rr * 5 + cc] - mn) / (mx - mn)) * 256.0);
                    if (k < 256) ++total;
                    if (k <= kc && k < 256) ++below;
                }
            const double want = static_cast<double>(below) / total * (mx - mn) / 256.0 + mn;
            EXPECT_NEAR(px(out)[r * 5 + c], want, 1e-4) << r << "," << c;
        }
    }
}

TEST(HistEq, MismatchedOrUnsuitableImagesAreRefused) {
    Img in = floats(2, 2, {0, 1, 2, 3});
    Img small = make("float", 2, 1);
    Img bytes = make("u8bit", 3, 3);
    Img bytesOut = make("u8bit", 3, 3);
    std::string said = stdoutOf([&] { EXPECT_EQ(flHistogramEq(in.get(), small.get(), 0), -4); });
    EXPECT_EQ(said, "flHistogramEq: output image does not match the input image\n");
    said = stdoutOf([&] { EXPECT_EQ(flHistogramEq(bytes.get(), bytesOut.get(), 1), -4); });
    EXPECT_EQ(said, "flHistogramEq: neighborhood equalization needs float images\n");
    // A three-frame input needs three output frames.
    Img colour = floats(2, 1, {0, 1, 2, 3, 4, 5}, 3);
    Img flat = make("float", 2, 1);
    stdoutOf([&] { EXPECT_EQ(flHistogramEq(colour.get(), flat.get(), 0), -4); });
    stdoutOf([&] { EXPECT_EQ(flHistogramEq(nullptr, flat.get(), 0), -4); });
}

TEST(HistEq, OutputMayBeTheInput) {
    Img img = floats(4, 2, {0, 1, 2, 3, 3, 2, 1, 0});
    ASSERT_EQ(flHistogramEq(img.get(), img.get(), 0), 0);
    EXPECT_EQ(values(img, 8), (std::vector<float>{63.75f, 127.5f, 191.25f, 255, 255, 191.25f, 127.5f, 63.75f}));
}

namespace {

// The whole-image equalisation written out plainly: finite extremes, the bin
// formula in double, integer counts, the running single-precision sum of the
// shares, and cdf x 255 per sample (NaN stays NaN).
std::vector<float> referenceEqualise(const std::vector<float> &v, double total) {
    float mx = -1.0e6f, mn = 1.0e6f;
    for (float x : v)
        if (std::isfinite(x)) {
            mx = std::max(mx, x);
            mn = std::min(mn, x);
        }
    auto bin = [&](float x) {
        const double q = 255.0 * static_cast<double>(x - mn) / static_cast<double>(mx - mn);
        return q >= 255.0 ? 255 : (q > 0.0 ? static_cast<int>(q) : 0);
    };
    std::vector<double> count(256, 0.0);
    for (float x : v)
        if (!std::isnan(x)) count[bin(x)] += 1.0;
    std::vector<float> cdf(256);
    float run = 0;
    for (int k = 0; k < 256; ++k) {
        run = k == 0 ? static_cast<float>(count[0] / total) : run + static_cast<float>(count[k] / total);
        cdf[k] = run;
    }
    std::vector<float> out;
    for (float x : v) out.push_back(std::isnan(x) ? x : static_cast<float>(static_cast<double>(cdf[bin(x)]) * 255.0));
    return out;
}

}  // namespace

TEST(HistEq, AgreesWithTheWrittenOutFormulaOnLargerImages) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> real(-3.0f, 700.0f);
    std::uniform_int_distribution<int> whole(0, 255);
    const int cols = 61, rows = 47, n = cols * rows;
    for (int trial = 0; trial < 4; ++trial) {
        std::vector<float> v(n);
        for (auto &x : v) x = trial % 2 ? real(gen) : static_cast<float>(whole(gen));
        if (trial >= 2) {
            v[100] = std::nanf("");
            v[1001] = std::numeric_limits<float>::infinity();
            v[2000] = -std::numeric_limits<float>::infinity();
            v[2001] = std::nanf("");
        }
        Img in = floats(cols, rows, v);
        Img out = make("float", cols, rows);
        stdoutOf([&] { ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0); });
        const std::vector<float> want = referenceEqualise(v, n);
        for (int i = 0; i < n; ++i) ASSERT_TRUE(sameBits(px(out)[i], want[i])) << trial << " " << i;
    }
    // Three frames share the histogram; a 16-bit input goes through the
    // typed road.
    std::vector<float> v(3 * n);
    for (auto &x : v) x = static_cast<float>(whole(gen));
    Img in = floats(cols, rows, v, 3);
    Img out = make("float", cols, rows, 3);
    stdoutOf([&] { ASSERT_EQ(flHistogramEq(in.get(), out.get(), 0), 0); });
    std::vector<float> want = referenceEqualise(v, 3.0 * n);
    for (int i = 0; i < 3 * n; ++i) ASSERT_TRUE(sameBits(px(out)[i], want[i])) << i;
    Img shorts = make("u16bit", cols, rows);
    for (int i = 0; i < n; ++i) static_cast<uint16_t *>(shorts->vekptr)[i] = static_cast<uint16_t>(v[i] * 100);
    Img out2 = make("float", cols, rows);
    ASSERT_EQ(flHistogramEq(shorts.get(), out2.get(), 0), 0);
    std::vector<float> scaled(v.begin(), v.begin() + n);
    for (auto &x : scaled) x = static_cast<float>(static_cast<uint16_t>(x * 100));
    want = referenceEqualise(scaled, n);
    for (int i = 0; i < n; ++i) ASSERT_TRUE(sameBits(px(out2)[i], want[i])) << i;
}

namespace {

// The window mode written out step by step: window placed inside the image,
// its extremes, 258 counted bins with the quotient in single precision and
// the product in double, shares over bins 0..255, the centre's bin from the
// single-precision floor, and the mapping back into the window's range.
std::vector<float> referenceWindows(const std::vector<float> &v, int Nc, int Nr, int frames, int N) {
    std::vector<float> out(v.size());
    // Centred where it fits, else against the near edge (the image has at
    // least 2N + 1 rows and columns).
    auto place = [N](int x, int len, int &lo, int &hi) {
        lo = std::min(std::max(x - N, 0), len - 1 - 2 * N);
        hi = lo + 2 * N;
    };
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < Nr; ++r)
            for (int c = 0; c < Nc; ++c) {
                auto at = [&](int y, int x) { return v[(static_cast<size_t>(f) * Nr + y) * Nc + x]; };
                int r0, r1, c0, c1;
                place(r, Nr, r0, r1);
                place(c, Nc, c0, c1);
                float mx = -1.0e6f, mn = 1.0e6f;
                for (int y = r0; y <= r1; ++y)
                    for (int x = c0; x <= c1; ++x) {
                        if (at(y, x) > mx) mx = at(y, x);
                        if (at(y, x) < mn) mn = at(y, x);
                    }
                float bin[258] = {};
                for (int y = r0; y <= r1; ++y)
                    for (int x = c0; x <= c1; ++x) {
                        int k = 0;
                        if (mx != mn) {
                            const float q = (at(y, x) - mn) / (mx - mn);
                            k = static_cast<int>(static_cast<double>(q) * 256.0);
                        }
                        bin[k] += 1.0f;
                    }
                float total = 0;
                for (int k = 0; k < 256; ++k) total += bin[k];
                float cdf[256];
                cdf[0] = bin[0] / total;
                for (int k = 1; k < 256; ++k) cdf[k] = cdf[k - 1] + bin[k] / total;
                const float x = at(r, c);
                int k = 0;
                if (mx - mn >= 0.5f) {
                    const float scaled = 255.0f * (x - mn);
                    k = std::min(255, static_cast<int>(std::floor(scaled / (mx - mn))));
                }
                float e = cdf[k];
                if (mx != mn) {
                    const float prod = e * (mx - mn);
                    e = static_cast<float>(static_cast<double>(prod) / 256.0 + static_cast<double>(mn));
                } else {
                    e = 0;
                }
                out[(static_cast<size_t>(f) * Nr + r) * Nc + c] = e;
            }
    return out;
}

}  // namespace

TEST(HistEq, WindowModeAgreesBitForBitWithTheWrittenOutSteps) {
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> real(0.0f, 255.0f);
    std::uniform_int_distribution<int> whole(0, 9);
    struct Case {
        int cols, rows, frames, N;
        bool integers;
    } cases[] = {{13, 11, 0, 2, false}, {9, 7, 3, 3, false}, {12, 10, 0, 1, true}, {5, 5, 0, 2, true}};
    for (const Case &k : cases) {
        const int frames = k.frames > 0 ? k.frames : 1;
        std::vector<float> v(static_cast<size_t>(k.cols) * k.rows * frames);
        for (auto &x : v) x = k.integers ? static_cast<float>(100 + whole(gen)) : real(gen);
        // A flat patch: windows whose range is below 0.5 or zero.
        if (k.integers)
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) v[r * k.cols + c] = 100;
        Img in = floats(k.cols, k.rows, v, k.frames);
        Img out = make("float", k.cols, k.rows, k.frames);
        int rc = 1;
        stdoutOf([&] { rc = flHistogramEq(in.get(), out.get(), k.N); });
        ASSERT_EQ(rc, 0) << k.cols << "x" << k.rows;
        const std::vector<float> want = referenceWindows(v, k.cols, k.rows, frames, k.N);
        for (size_t i = 0; i < v.size(); ++i)
            ASSERT_TRUE(sameBits(px(out)[i], want[i])) << k.cols << "x" << k.rows << " at " << i << ": " << px(out)[i]
                                                       << " vs " << want[i];
    }
}
