// Features built on the derivative filter, checked against the formulas
// evaluated here from the derivative images, on images with known answers,
// and on refusals.
#include "ops_testutil.h"

#include <cmath>
#include <random>

using namespace opstest;

namespace {

Img blobs(int cols, int rows, int frames, unsigned seed) {
    Img img = makeF(cols, rows, frames);
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> d(0.0f, 1.0f);
    const float a = d(gen) * 0.3f + 0.1f, b = d(gen) * 0.2f + 0.05f;
    fill(img, [&](int f, int r, int c) {
        return 100.0f * std::sin(a * c + f) * std::cos(b * r) + 20.0f * d(gen);
    });
    return img;
}

// One derivative image of in.
Img deriv(const Img &in, int order, int dir, float sigma) {
    Img out = makeF(in->vekdims[0].dimlen, in->vekdims[1].dimlen, in->vekndim > 2 ? in->vekdims[2].dimlen : 0);
    EXPECT_EQ(flDoG(in.get(), out.get(), order, dir, sigma), 0);
    return out;
}

}  // namespace

TEST(Features, CurvatureFollowsTheFormulaInItsOrder) {
    Img in = blobs(40, 30, 0, 3);
    Img out = makeF(40, 30);
    ASSERT_EQ(flcurv(in.get(), out.get(), 1.5f), 0);
    Img Lx = deriv(in, 1, 0, 1.5f), Ly = deriv(in, 1, 1, 1.5f);
    Img Lxx = deriv(in, 2, 0, 1.5f), Lyy = deriv(in, 2, 1, 1.5f), Lxy = deriv(in, 2, 2, 1.5f);
    for (int64_t i = 0; i < count(in); ++i) {
        const float lx = px(Lx)[i], ly = px(Ly)[i];
        const float lx2 = lx * lx, ly2 = ly * ly;
        const float num = (px(Lxx)[i] * ly2 + -2.0f * ((px(Lxy)[i] * ly) * lx)) + px(Lyy)[i] * lx2;
        const float den = lx2 + ly2;
        const float t = den * float(std::sqrt(double(den))) + 0.01f;
        ASSERT_EQ(bits(px(out)[i]), bits(num / t)) << i;
    }
}

TEST(Features, CurvatureOfColumnOnlyVariationIsZero) {
    Img in = makeF(50, 30), out = makeF(50, 30);
    fill(in, [](int, int, int c) { return 50.0f * std::sin(0.2f * c); });
    ASSERT_EQ(flcurv(in.get(), out.get(), 1.0f), 0);
    for (int64_t i = 0; i < count(out); ++i) ASSERT_NEAR(px(out)[i], 0.0f, 1e-2) << i;
}

TEST(Features, CurvatureFrameByFrameLeavesTheInput) {
    Img in = blobs(33, 25, 3, 8);
    const std::vector<float> before = snapshot(in);
    const int32_t inDims[4] = {3, 33, 25, 3};
    Img out = makeF(33, 25, 3);
    ASSERT_EQ(flcurv(in.get(), out.get(), 1.0f), 0);
    EXPECT_TRUE(sameBits(in, before));
    EXPECT_EQ(in->vekndim, inDims[0]);
    EXPECT_EQ(in->vekdims[2].dimlen, 3);
    for (int f = 0; f < 3; ++f) {
        Img plane = makeF(33, 25), po = makeF(33, 25);
        fill(plane, [&](int, int r, int c) { return at(in, f, r, c); });
        ASSERT_EQ(flcurv(plane.get(), po.get(), 1.0f), 0);
        for (int r = 0; r < 25; ++r)
            for (int c = 0; c < 33; ++c) ASSERT_EQ(bits(at(out, f, r, c)), bits(at(po, 0, r, c)));
    }
}

TEST(Features, GradientOfARamp) {
    Img in = makeF(40, 30), mag = makeF(40, 30), dir = makeF(40, 30);
    fill(in, [](int, int, int c) { return float(c); });
    ASSERT_EQ(flgmag(in.get(), mag.get(), 1.0f), 0);
    ASSERT_EQ(flgdir(in.get(), dir.get(), 1.0f), 0);
    for (int r = 0; r < 30; ++r)
        for (int c = 6; c < 34; ++c) {
            ASSERT_NEAR(at(mag, 0, r, c), 1.0, 0.01);
            ASSERT_NEAR(std::fabs(at(dir, 0, r, c)), M_PI, 1e-3);  // first derivatives carry the opposite sign
        }
    // Against the formulas from the derivative images.
    Img b = blobs(30, 30, 2, 4), m2 = makeF(30, 30, 2), d2 = makeF(30, 30, 2);
    ASSERT_EQ(flgmag(b.get(), m2.get(), 2.0f), 0);
    ASSERT_EQ(flgdir(b.get(), d2.get(), 2.0f), 0);
    Img Lx = deriv(b, 1, 0, 2.0f), Ly = deriv(b, 1, 1, 2.0f);
    for (int64_t i = 0; i < count(b); ++i) {
        const float x2 = px(Lx)[i] * px(Lx)[i], y2 = px(Ly)[i] * px(Ly)[i];
        ASSERT_EQ(px(m2)[i], float(std::sqrt(double(x2 + y2))));
        ASSERT_EQ(px(d2)[i], float(std::atan2(double(px(Ly)[i]), double(px(Lx)[i]))));
    }
}

TEST(Features, LaplacianAndQuadraticVariation) {
    Img in = blobs(30, 31, 0, 5), out = makeF(30, 31);
    Img Lxx = deriv(in, 2, 0, 2.0f), Lyy = deriv(in, 2, 1, 2.0f), Lxy = deriv(in, 2, 2, 2.0f);
    ASSERT_EQ(flLaplace(in.get(), out.get(), 2.0f), 0);
    for (int64_t i = 0; i < count(in); ++i) ASSERT_EQ(px(out)[i], px(Lxx)[i] + px(Lyy)[i]);
    // Negative sigma: the sum of squares at -sigma, never negative.
    ASSERT_EQ(flLaplace(in.get(), out.get(), -2.0f), 0);
    for (int64_t i = 0; i < count(in); ++i) {
        ASSERT_EQ(px(out)[i], px(Lxx)[i] * px(Lxx)[i] + px(Lyy)[i] * px(Lyy)[i]);
        ASSERT_GE(px(out)[i], 0.0f);
    }
    // sigma 2 multiplies by 4.
    ASSERT_EQ(flqvar(in.get(), out.get(), 2.0f), 0);
    for (int64_t i = 0; i < count(in); ++i) {
        const float sum = (px(Lxx)[i] * px(Lxx)[i] + px(Lyy)[i] * px(Lyy)[i]) + px(Lxy)[i] * px(Lxy)[i];
        ASSERT_EQ(px(out)[i], sum * 4.0f);
    }
}

TEST(Features, HarrisInteriorOnly) {
    Img in = blobs(20, 19, 2, 6), out = makeF(20, 19, 2);
    fillValue(out, 0.0f);
    ASSERT_EQ(flHarris(in.get(), out.get(), 1.0f), 0);
    Img Lx = deriv(in, 1, 0, 1.0f), Ly = deriv(in, 1, 1, 1.0f);
    for (int f = 0; f < 2; ++f)
        for (int r = 0; r < 19; ++r)
            for (int c = 0; c < 20; ++c) {
                if (r == 0 || c == 0 || r == 18 || c == 19) {
                    ASSERT_EQ(at(out, f, r, c), 0.0f);
                    continue;
                }
                double sxx = 0, syy = 0, sxy = 0;
                for (int i = -1; i <= 1; ++i)
                    for (int j = -1; j <= 1; ++j) {
                        const double a = at(Lx, f, r + i, c + j), b = at(Ly, f, r + i, c + j);
                        sxx += a * a;
                        syy += b * b;
                        sxy += a * b;
                    }
                sxx /= 9, syy /= 9, sxy /= 9;
                const double R = (sxx * syy - sxy * sxy) - 0.07 * (sxx + syy) * (sxx + syy);
                ASSERT_EQ(bits(at(out, f, r, c)), bits(float(R))) << f << "," << r << "," << c;
            }
}

TEST(Features, ChecksAndInnerFilterFailures) {
    Img in = makeF(30, 20), out = makeF(30, 20), u8 = make("u8bit", 30, 20), small = makeF(30, 19);
    using Fn = int (*)(ZVEKHDR *, ZVEKHDR *, float);
    const Fn fns[] = {flcurv, flgmag, flgdir, flLaplace, flqvar, flHarris};
    for (Fn fn : fns) {
        EXPECT_EQ(fn(u8.get(), out.get(), 1.0f), -1);
        EXPECT_EQ(fn(in.get(), u8.get(), 1.0f), -1);
        EXPECT_EQ(fn(in.get(), small.get(), 1.0f), -2);
        EXPECT_EQ(fn(nullptr, out.get(), 1.0f), -1);
        // Too few rows for the kernel of sigma 3 (21 x 21): the filter's
        // failure is returned, with its message.
        int rc = 0;
        const std::string msg = stdoutOf([&] { rc = fn(in.get(), out.get(), 3.0f); });
        EXPECT_EQ(rc, -5);
        EXPECT_EQ(msg.rfind("flDoG:kernel is 21 x 21, but image is only 20 x 30. Exiting\n", 0), 0u) << msg;
        EXPECT_EQ(stdoutOf([&] { rc = fn(in.get(), out.get(), 0.0f); }).substr(0, 6), "flDoG:");
        EXPECT_EQ(rc, -7);
    }
    for (float v : snapshot(out)) ASSERT_EQ(v, 0.0f);
    int rc = 0;
    EXPECT_EQ(stdoutOf([&] { rc = flqvar(in.get(), out.get(), 3.0f); }),
              "flDoG:kernel is 21 x 21, but image is only 20 x 30. Exiting\n"
              "non zero value returned from flDoG2,0\n");
}

TEST(Features, Ifneg) {
    Img a = makeF(3, 2, 2);
    EXPECT_EQ(ifneg(a.get()), 0);
    at(a, 1, 0, 0) = -1.0f;  // beyond the first plane: still counted for 3-D
    EXPECT_EQ(ifneg(a.get()), 1);
    Img b = makeF(3, 2);
    at(b, 0, 1, 2) = -0.5f;
    EXPECT_EQ(ifneg(b.get()), 1);
    at(b, 0, 1, 2) = -0.0f;
    EXPECT_EQ(ifneg(b.get()), 0);
}

TEST(MarkMax, SingleBrightPixelAndPlateau) {
    Img in = makeF(8, 7), out = makeF(8, 7, 3);
    // Background 0..51 rising along the columns, one bright pixel.
    fill(in, [](int, int, int c) { return float(c); });
    at(in, 0, 3, 4) = 255.0f;
    fillValue(out, -1.0f);
    int rc = 1;
    EXPECT_EQ(stdoutOf([&] { rc = flmarkmax(in.get(), out.get(), 0.0f); }), "starting..\n");
    EXPECT_EQ(rc, 0);
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 8; ++c) {
            const bool border = r == 0 || c == 0 || r == 6 || c == 7;
            for (int f = 0; f < 3; ++f) {
                float want;
                if (border)
                    want = -1.0f;
                else if (r == 3 && c == 4)
                    want = f == 0 ? 255.0f : 0.0f;
                else
                    want = float(c);  // scaled 0..255 is the identity here
                ASSERT_EQ(at(out, f, r, c), want) << f << "," << r << "," << c;
            }
        }
    // A plateau of two equal bright pixels marks neither.
    at(in, 0, 3, 5) = 255.0f;
    ASSERT_EQ(flmarkmax(in.get(), out.get(), 0.0f), 0);
    EXPECT_EQ(at(out, 1, 3, 4), 255.0f);
    EXPECT_EQ(at(out, 1, 3, 5), 255.0f);
}

TEST(MarkMax, ConstantInputHasNoMaxima) {
    Img in = makeF(6, 5), out = makeF(6, 5, 3);
    fillValue(in, 4.0f);
    fillValue(out, 9.0f);
    EXPECT_EQ(stdoutOf([&] { EXPECT_EQ(flmarkmax(in.get(), out.get(), 0.0f), 0); }),
              "Cannot vidscale, all pixels are the same brightness\nstarting..\n");
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 6; ++c)
                ASSERT_EQ(at(out, f, r, c), (r == 0 || c == 0 || r == 4 || c == 5) ? 9.0f : 0.0f);
}

TEST(MarkMax, ColourInputLastFrameDecides) {
    Img in = makeF(7, 6, 3), out = makeF(7, 6, 3);
    fill(in, [](int f, int r, int c) { return float(10 * f + r + c); });
    at(in, 0, 2, 2) = 100.0f;  // a maximum of frame 0 only
    at(in, 2, 3, 4) = 100.0f;  // a maximum of frame 2
    int rc = 1;
    EXPECT_EQ(stdoutOf([&] { rc = flmarkmax(in.get(), out.get(), 0.0f); }), "");
    EXPECT_EQ(rc, 0);
    // One range for the whole image: min 0, max 100.
    auto scaled = [&](int f, int r, int c) { return float(int(float((at(in, f, r, c) - 0.0f) * (255.0 / 100.0)))); };
    EXPECT_EQ(at(out, 0, 3, 4), 255.0f);
    EXPECT_EQ(at(out, 1, 3, 4), 0.0f);
    EXPECT_EQ(at(out, 2, 3, 4), 0.0f);
    for (int f = 0; f < 3; ++f) EXPECT_EQ(at(out, f, 2, 2), scaled(f, 2, 2)) << f;
    EXPECT_EQ(at(out, 0, 2, 2), 255.0f);  // its own scaled value, not a mark
    EXPECT_EQ(at(out, 1, 2, 2), scaled(1, 2, 2));
}

TEST(MarkMax, BlurFirstWhenSigmaIsSet) {
    std::mt19937 gen(3);
    Img in = makeF(40, 36), blurred = makeF(40, 36);
    fill(in, [&](int, int, int) { return float(gen() % 1000); });
    ASSERT_EQ(flDoG(in.get(), blurred.get(), 0, 0, 1.5f), 0);
    Img a = makeF(40, 36, 3), b = makeF(40, 36, 3);
    stdoutOf([&] {
        EXPECT_EQ(flmarkmax(in.get(), a.get(), 1.5f), 0);
        EXPECT_EQ(flmarkmax(blurred.get(), b.get(), 0.0f), 0);
    });
    EXPECT_TRUE(sameBits(a, snapshot(b)));
    int marks = 0;
    for (int64_t i = 0; i < 40 * 36; ++i) marks += px(a)[i] == 255.0f && px(a)[40 * 36 + i] == 0.0f;
    EXPECT_GT(marks, 0);
}

TEST(MarkMax, Refusals) {
    Img in = makeF(20, 20), out = makeF(20, 20, 3);
    fillValue(out, 2.0f);
    EXPECT_EQ(flmarkmax(make("u8bit", 20, 20).get(), out.get(), 0.0f), -1);
    EXPECT_EQ(flmarkmax(in.get(), make("u8bit", 20, 20, 3).get(), 0.0f), -1);
    EXPECT_EQ(flmarkmax(makeF(20, 20, 2).get(), out.get(), 0.0f), -2);  // colour needs three frames
    EXPECT_EQ(flmarkmax(in.get(), makeF(20, 20).get(), 0.0f), -2);
    EXPECT_EQ(flmarkmax(in.get(), makeF(20, 20, 2).get(), 0.0f), -2);
    EXPECT_EQ(flmarkmax(in.get(), makeF(21, 20, 3).get(), 0.0f), -2);
    EXPECT_EQ(flmarkmax(in.get(), makeF(20, 19, 3).get(), 0.0f), -2);
    int rc = 0;
    stdoutOf([&] { rc = flmarkmax(in.get(), out.get(), 4.0f); });  // 27 x 27 kernel
    EXPECT_EQ(rc, -5);
    stdoutOf([&] { rc = flmarkmax(in.get(), out.get(), std::nanf("")); });
    EXPECT_EQ(rc, -7);
    for (float v : snapshot(out)) ASSERT_EQ(v, 2.0f);
}
