// Template correlation against a plain reference loop written from the
// formulas, the valid region, colour frames and the refusals.
#include "ops_testutil.h"

#include <cmath>
#include <random>

using namespace opstest;

namespace {

constexpr float kUnset = -999.0f;

// Gray reference: statistics of the whole template, window of 2hm x 2hn,
// local mean divided by m * n, score S / (N m) / sdT.
Img referenceGray(const Img &A, const Img &T) {
    const int Nc = A->vekdims[0].dimlen, Nr = A->vekdims[1].dimlen;
    const int n = T->vekdims[0].dimlen, m = T->vekdims[1].dimlen, hm = m / 2, hn = n / 2;
    Img out = makeF(Nc, Nr);
    fillValue(out, kUnset);
    const float N = float(m * n);
    float sum = 0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) sum = sum + at(T, 0, i, j);
    const float meanT = sum / N;
    float ss = 0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) ss = ss + (at(T, 0, i, j) - meanT) * (at(T, 0, i, j) - meanT);
    const float sdT = float(std::sqrt(double(ss / N)));
    for (int r = hm; r < Nr - hm; ++r)
        for (int c = hn; c < Nc - hn; ++c) {
            float w = 0;
            for (int i = -hm; i < hm; ++i)
                for (int j = -hn; j < hn; ++j) w = w + at(A, 0, r + i, c + j);
            const float ahat = w / N;
            float S = 0;
            for (int i = -hm; i < hm; ++i)
                for (int j = -hn; j < hn; ++j)
                    S = S + (at(A, 0, r + i, c + j) - ahat) * (at(T, 0, i + hm, j + hn) - meanT);
            at(out, 0, r, c) = (S / (N * float(m))) / sdT;
        }
    return out;
}

// Colour reference: per frame, scores divided by the frame's sum of squared
// deviations from the local means over the valid region.
Img referenceColour(const Img &A, const Img &T) {
    const int Nc = A->vekdims[0].dimlen, Nr = A->vekdims[1].dimlen;
    const int n = T->vekdims[0].dimlen, m = T->vekdims[1].dimlen, hm = m / 2, hn = n / 2;
    Img out = makeF(Nc, Nr, 3);
    fillValue(out, kUnset);
    for (int k = 0; k < 3; ++k) {
        float sum = 0;
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) sum = sum + at(T, k, i, j);
        const float meanT = sum / float(m * n);
        std::vector<float> ahat(size_t(Nr) * Nc);
        float SA = 0;
        for (int r = hm; r < Nr - hm; ++r)
            for (int c = hn; c < Nc - hn; ++c) {
                float w = 0;
                for (int i = -hm; i < hm; ++i)
                    for (int j = -hn; j < hn; ++j) w = w + at(A, k, r + i, c + j);
                ahat[r * Nc + c] = w / float(m * n);
                const float d = at(A, k, r, c) - ahat[r * Nc + c];
                SA = SA + d * d;
            }
        for (int r = hm; r < Nr - hm; ++r)
            for (int c = hn; c < Nc - hn; ++c) {
                float S = 0;
                for (int i = -hm; i < hm; ++i)
                    for (int j = -hn; j < hn; ++j)
                        S = S + (at(A, k, r + i, c + j) - ahat[r * Nc + c]) * (at(T, k, i + hm, j + hn) - meanT);
                at(out, k, r, c) = S / SA;
            }
    }
    return out;
}

}  // namespace

TEST(Correlate, GrayValidRegionAndValues) {
    // 4 x 4 and 5 x 5 templates over 10 x 10 write rows and columns 2..7.
    for (int size : {4, 5}) {
        SCOPED_TRACE(size);
        Img A = randomImage(10, 10, 0, 1), T = randomImage(size, size, 0, 2), out = makeF(10, 10);
        fillValue(out, kUnset);
        ASSERT_EQ(flcorrelate(A.get(), T.get(), out.get()), 0);
        Img ref = referenceGray(A, T);
        for (int r = 0; r < 10; ++r)
            for (int c = 0; c < 10; ++c) {
                const bool inside = r >= 2 && r <= 7 && c >= 2 && c <= 7;
                ASSERT_EQ(at(out, 0, r, c) != kUnset, inside) << r << "," << c;
                ASSERT_EQ(bits(at(out, 0, r, c)), bits(at(ref, 0, r, c))) << r << "," << c;
            }
    }
}

TEST(Correlate, OddTemplateWindowSkipsItsLastRowAndColumn) {
    // Changing the last row and column of a 5 x 5 template only moves its
    // mean and spread: with those kept, the scores stay.
    Img A = randomImage(12, 11, 0, 3), T = randomImage(5, 5, 0, 4), T2 = makeF(5, 5);
    fill(T2, [&](int, int r, int c) { return at(T, 0, r, c); });
    // Swap two samples of the last row: mean and spread stay the same.
    std::swap(at(T2, 0, 4, 0), at(T2, 0, 4, 3));
    std::swap(at(T2, 0, 1, 4), at(T2, 0, 3, 4));
    Img o1 = makeF(12, 11), o2 = makeF(12, 11);
    ASSERT_EQ(flcorrelate(A.get(), T.get(), o1.get()), 0);
    ASSERT_EQ(flcorrelate(A.get(), T2.get(), o2.get()), 0);
    for (int64_t i = 0; i < count(o1); ++i) ASSERT_NEAR(px(o1)[i], px(o2)[i], 1e-5f * (1 + std::fabs(px(o1)[i])));
}

TEST(Correlate, WideImagesAgreeBitForBitWithTheReference) {
    Img A = randomImage(150, 40, 0, 5), T = randomImage(8, 6, 0, 6), out = makeF(150, 40);
    fillValue(out, kUnset);
    ASSERT_EQ(corr1frame(A.get(), T.get(), out.get()), 0);
    EXPECT_TRUE(sameBits(out, snapshot(referenceGray(A, T))));
    Img T7 = randomImage(7, 9, 0, 7);
    fillValue(out, kUnset);
    ASSERT_EQ(flcorrelate(A.get(), T7.get(), out.get()), 0);
    EXPECT_TRUE(sameBits(out, snapshot(referenceGray(A, T7))));
}

TEST(Correlate, FindsThePatchItWasCutFrom) {
    Img A = randomImage(60, 50, 0, 8), T = makeF(8, 8);
    fill(T, [&](int, int r, int c) { return at(A, 0, 20 + r, 33 + c); });
    Img out = makeF(60, 50);
    ASSERT_EQ(flcorrelate(A.get(), T.get(), out.get()), 0);
    int best = 0;
    for (int64_t i = 1; i < count(out); ++i)
        if (px(out)[i] > px(out)[best]) best = int(i);
    EXPECT_EQ(best, 24 * 60 + 37);  // window centre: patch corner + (hm, hn)
}

TEST(Correlate, ColourFrameByFrame) {
    Img A = randomImage(37, 21, 3, 9), T = randomImage(6, 4, 3, 10), out = makeF(37, 21, 3);
    fillValue(out, kUnset);
    ASSERT_EQ(flcorrelate(A.get(), T.get(), out.get()), 0);
    EXPECT_TRUE(sameBits(out, snapshot(referenceColour(A, T))));
}

TEST(Correlate, NonFloatOutputForGray) {
    Img A = randomImage(20, 20, 0, 11), T = randomImage(4, 4, 0, 12);
    Img f = makeF(20, 20), d = make("double", 20, 20);
    ASSERT_EQ(flcorrelate(A.get(), T.get(), f.get()), 0);
    ASSERT_EQ(flcorrelate(A.get(), T.get(), d.get()), 0);
    const double *pd = static_cast<double *>(d->vekptr);
    for (int i = 0; i < 400; ++i) ASSERT_EQ(pd[i], double(px(f)[i]));
}

TEST(Correlate, Refusals) {
    Img A = randomImage(20, 20, 0, 13), T = randomImage(4, 4, 0, 14), out = makeF(20, 20);
    fillValue(out, kUnset);
    const std::vector<float> before = snapshot(out);
    int rc = 0;
    Img u8 = make("u8bit", 20, 20), flat = makeF(4, 4);
    EXPECT_EQ(stdoutOf([&] { rc = flcorrelate(u8.get(), T.get(), out.get()); }),
              "flcorrelate: image and template must be float\n");
    EXPECT_EQ(rc, -2);
    EXPECT_EQ(flcorrelate(A.get(), make("u8bit", 4, 4).get(), out.get()), -2);
    EXPECT_EQ(flcorrelate(nullptr, T.get(), out.get()), -2);
    // A constant template has no spread to divide by.
    fillValue(flat, 3.0f);
    EXPECT_EQ(stdoutOf([&] { rc = flcorrelate(A.get(), flat.get(), out.get()); }),
              "flcorrelate: template does not vary, cannot normalise\n");
    EXPECT_EQ(rc, -3);
    // Output too small or missing.
    Img small = makeF(19, 20);
    EXPECT_EQ(stdoutOf([&] { rc = flcorrelate(A.get(), T.get(), small.get()); }),
              "flcorrelate: output image must be at least as large as the image\n");
    EXPECT_EQ(rc, -5);
    EXPECT_EQ(flcorrelate(A.get(), T.get(), nullptr), -5);
    EXPECT_TRUE(sameBits(out, before));

    // Colour: three frames in image and template, a float three-frame
    // output, and no constant frame.
    Img A3 = randomImage(20, 20, 3, 15), T3 = randomImage(4, 4, 3, 16), out3 = makeF(20, 20, 3);
    Img A2 = randomImage(20, 20, 2, 17), T2 = randomImage(4, 4, 2, 18);
    const std::string need = "flcorrelate: color image and template need three frames\n";
    EXPECT_EQ(stdoutOf([&] { rc = flcorrelate(A2.get(), T3.get(), out3.get()); }), need);
    EXPECT_EQ(rc, -4);
    EXPECT_EQ(flcorrelate(A3.get(), T2.get(), out3.get()), -4);
    EXPECT_EQ(flcorrelate(A3.get(), T.get(), out3.get()), -4);
    EXPECT_EQ(flcorrelate(A3.get(), T3.get(), make("double", 20, 20, 3).get()), -5);
    EXPECT_EQ(flcorrelate(A3.get(), T3.get(), makeF(20, 20, 2).get()), -5);
    fill(A3, [](int f, int r, int c) { return f == 1 ? 7.0f : float(r * c); });
    EXPECT_EQ(stdoutOf([&] { rc = flcorrelate(A3.get(), T3.get(), out3.get()); }),
              "flcorrelate: image frame 1 does not vary, cannot normalise\n");
    EXPECT_EQ(rc, -3);
    for (float v : snapshot(out3)) ASSERT_EQ(v, 0.0f);

    // Nothing fits, or an image that is neither gray nor colour: success,
    // nothing written.
    Img big = randomImage(20, 20, 0, 19);
    EXPECT_EQ(flcorrelate(A.get(), big.get(), out.get()), 0);
    const int32_t d1[2] = {1, 20};
    Img line(Zvekcreate("float", d1, 11, 0));
    EXPECT_EQ(flcorrelate(line.get(), T.get(), out.get()), 0);
    EXPECT_TRUE(sameBits(out, before));
}

TEST(Correlate, OutputMayBeTheImageItself) {
    for (int frames : {0, 3}) {
        Img A = randomImage(40, 30, frames, 31), T = randomImage(6, 6, frames, 32);
        Img out = makeF(40, 30, frames);
        fill(out, [&](int f, int r, int c) { return at(A, f, r, c); });
        ASSERT_EQ(flcorrelate(A.get(), T.get(), out.get()), 0);
        ASSERT_EQ(flcorrelate(A.get(), T.get(), A.get()), 0);
        EXPECT_TRUE(sameBits(A, snapshot(out))) << frames;
    }
}
