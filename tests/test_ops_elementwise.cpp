// Element-wise operations: the checks in their order, the element rules,
// complex arithmetic, in-place use, copies and colour to gray.
#include "ops_testutil.h"

#include <cmath>
#include <limits>

using namespace opstest;

namespace {

Img floats(std::initializer_list<float> v) {
    Img img = makeF(int(v.size()), 1);
    int i = 0;
    for (float x : v) px(img)[i++] = x;
    return img;
}

// A 1 x n complex image from (re, im) pairs.
Img complexes(std::initializer_list<float> reIm) {
    Img img = make("complex", int(reIm.size() / 2), 1);
    int i = 0;
    for (float x : reIm) px(img)[i++] = x;
    return img;
}

}  // namespace

TEST(Elementwise, TypeAndSizeChecksInTheirOrder) {
    Img f = makeF(4, 3), g = makeF(4, 3), c = make("complex", 4, 3), f2 = makeF(4, 2), u8 = make("u8bit", 4, 3);
    // One-image operations: both float, then sizes.
    EXPECT_EQ(flabsolute(u8.get(), f2.get()), -1);
    EXPECT_EQ(flabsolute(f.get(), u8.get()), -1);
    EXPECT_EQ(flabsolute(f.get(), f2.get()), -2);
    EXPECT_EQ(fladds(f.get(), c.get(), 1.0f), -1);
    EXPECT_EQ(flmults(f2.get(), f.get(), 1.0f), -2);
    EXPECT_EQ(flexp(c.get(), f.get(), 1.0f), -1);
    EXPECT_EQ(flinv(f.get(), f2.get()), -2);
    EXPECT_EQ(flln(u8.get(), f.get()), -1);
    EXPECT_EQ(flln(f.get(), f2.get()), -2);
    EXPECT_EQ(flsqrt(f.get(), u8.get()), -1);
    EXPECT_EQ(flabsolute(nullptr, f.get()), -1);
    // fladdv tests sizes first; the others the types first.
    EXPECT_EQ(fladdv(f.get(), c.get(), g.get()), -1);
    EXPECT_EQ(fladdv(f.get(), f2.get(), c.get()), -2);
    EXPECT_EQ(fladdv(f.get(), g.get(), f2.get()), -2);
    EXPECT_EQ(flmultv(f.get(), f2.get(), c.get()), -1);
    EXPECT_EQ(flmultv(f.get(), f2.get(), g.get()), -2);
    EXPECT_EQ(fldivv(c.get(), f.get(), f2.get()), -1);
    EXPECT_EQ(flatan2(f.get(), f2.get(), c.get()), -1);
    EXPECT_EQ(flatan2(f.get(), g.get(), f2.get()), -2);
    EXPECT_EQ(flcp(f.get(), c.get()), -1);
    EXPECT_EQ(flcp(f.get(), f2.get()), -2);
    EXPECT_EQ(samefldtype3(f.get(), g.get(), f2.get()), 1);
    EXPECT_EQ(samefldtype3(c.get(), c.get(), c.get()), 1);
    EXPECT_EQ(samefldtype3(c.get(), f.get(), c.get()), 0);
    EXPECT_EQ(samefldtype2(u8.get(), u8.get()), 0);
    EXPECT_EQ(samefldtype2(nullptr, f.get()), 0);
}

TEST(Elementwise, SizesComparedDimensionByDimensionOfTheFirst) {
    // A 2-D first image agrees with a 3-D second of the same plane; the
    // element count comes from the first, so only the first plane changes.
    Img a = makeF(3, 2), out = makeF(3, 2, 2);
    fill(a, [](int, int r, int c) { return float(r * 3 + c); });
    fillValue(out, -1.0f);
    ASSERT_EQ(fladds(a.get(), out.get(), 10.0f), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(px(out)[i], 10.0f + i);
    for (int i = 6; i < 12; ++i) EXPECT_EQ(px(out)[i], -1.0f);
    // The other way round the second image lacks a dimension.
    EXPECT_EQ(fladds(out.get(), a.get(), 1.0f), -2);
}

TEST(Elementwise, ScalarOperations) {
    Img in = floats({1.5f, -2.0f, 0.0f, -0.25f, 1e30f});
    Img out = makeF(5, 1);
    ASSERT_EQ(flabsolute(in.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{1.5f, 2.0f, 0.0f, 0.25f, 1e30f}));
    ASSERT_EQ(fladds(in.get(), out.get(), 0.25f), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{1.75f, -1.75f, 0.25f, 0.0f, 1e30f}));
    ASSERT_EQ(flmults(in.get(), out.get(), -2.0f), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{-3.0f, 4.0f, -0.0f, 0.5f, -2e30f}));
    // Single precision: 1e30 * 1e10 overflows to infinity.
    ASSERT_EQ(flmults(in.get(), out.get(), 1e10f), 0);
    EXPECT_TRUE(std::isinf(px(out)[4]));
}

TEST(Elementwise, ExponentClampsAt255) {
    Img in = floats({300.0f, 0.0f, 50.0f, -50.0f, 275.0f});
    Img out = makeF(5, 1);
    ASSERT_EQ(flexp(in.get(), out.get(), 50.0f), 0);
    EXPECT_EQ(px(out)[0], 255.0f);                  // e^6 = 403 > 255
    EXPECT_EQ(px(out)[1], 1.0f);
    EXPECT_EQ(px(out)[2], float(2.718281828459045));
    EXPECT_EQ(px(out)[3], float(0.36787944117144233));
    EXPECT_EQ(px(out)[4], float(244.69193226422038));  // e^5.5 stays
}

TEST(Elementwise, LogarithmZeroForNonPositiveAndSucceeds) {
    Img in = floats({0.0f, -3.0f, 1.0f, 10.0f, 0.5f});
    Img out = makeF(5, 1);
    fillValue(out, 99.0f);
    EXPECT_EQ(flln(in.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{0.0f, 0.0f, 0.0f, float(2.302585092994046), float(-0.6931471805599453)}));
    Img pos = floats({2.0f, 4.0f});
    Img out2 = makeF(2, 1);
    EXPECT_EQ(flln(pos.get(), out2.get()), 0);
}

TEST(Elementwise, SquareRootStopsAtTheFirstBadSample) {
    Img in = floats({4.0f, -1.0f, 9.0f});
    Img out = makeF(3, 1);
    fillValue(out, 7.0f);
    int rc = 0;
    EXPECT_EQ(stderrOf([&] { rc = flsqrt(in.get(), out.get()); }),
              "!! flsgrt error : Negative Value for Square Root !!\n");
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(snapshot(out), (std::vector<float>{2.0f, 7.0f, 7.0f}));
    // NaN stops the run as well; -0 does not.
    Img nan = floats({2.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), 16.0f});
    Img out2 = makeF(4, 1);
    EXPECT_NE(stderrOf([&] { rc = flsqrt(nan.get(), out2.get()); }), "");
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(px(out2)[0], float(1.4142135623730951));
    EXPECT_EQ(px(out2)[1], 0.0f);
    EXPECT_EQ(px(out2)[3], 0.0f);
    Img good = floats({0.0f, 2.25f});
    EXPECT_EQ(stderrOf([&] { rc = flsqrt(good.get(), good.get()); }), "");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(px(good)[1], 1.5f);
}

TEST(Elementwise, InversionAgainstTheMaximum) {
    Img in = makeF(4, 3);
    fill(in, [](int, int r, int c) { return 10.0f + float(r * 4 + c) * 10.0f / 11.0f; });
    Img out = makeF(4, 3);
    int rc = 1;
    EXPECT_EQ(stdoutOf([&] { rc = flinv(in.get(), out.get()); }), "flinv: max = 20.000000 min=10.000000\n");
    EXPECT_EQ(rc, 0);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(px(out)[i], 20.0f - px(in)[i]);
    // Samples at or below the seed -1e7 invert against -1e7.
    Img low = floats({-2e7f, -3e7f});
    EXPECT_EQ(stdoutOf([&] { flinv(low.get(), low.get()); }),
              "flinv: max = -10000000.000000 min=-30000000.000000\n");
    EXPECT_EQ(snapshot(low), (std::vector<float>{1e7f, 2e7f}));
    // The scan runs from the last sample to the first: of -0 and +0 the
    // last one seen first becomes the maximum.
    Img zeros = floats({-0.0f, 0.0f});
    Img zo = makeF(2, 1);
    stdoutOf([&] { flinv(zeros.get(), zo.get()); });
    EXPECT_EQ(bits(px(zo)[0]), bits(0.0f));
    EXPECT_EQ(bits(px(zo)[1]), bits(0.0f));
}

TEST(Elementwise, TwoImageFloatOperations) {
    Img a = floats({1.0f, -6.0f, 0.5f, 3.0f}), b = floats({2.0f, 3.0f, 0.0f, -3.0f}), out = makeF(4, 1);
    ASSERT_EQ(fladdv(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{3.0f, -3.0f, 0.5f, 0.0f}));
    ASSERT_EQ(flmultv(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{2.0f, -18.0f, 0.0f, -9.0f}));
    ASSERT_EQ(fldivv(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(px(out)[0], 0.5f);
    EXPECT_EQ(px(out)[1], -2.0f);
    EXPECT_TRUE(std::isinf(px(out)[2]));  // no test for a zero divisor
    EXPECT_EQ(px(out)[3], -1.0f);
    ASSERT_EQ(flatan2(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(px(out)[0], float(0.4636476090008061));
    EXPECT_EQ(px(out)[1], float(-1.1071487177940904));
    EXPECT_EQ(px(out)[2], float(1.5707963267948966));
    EXPECT_EQ(px(out)[3], float(2.356194490192345));
}

TEST(Elementwise, ComplexArithmetic) {
    Img a = complexes({1, 2, 0.5f, -1}), b = complexes({3, 4, 2, 2}), out = make("complex", 2, 1);
    ASSERT_EQ(flmultv(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{-5, 10, 3, -1}));
    Img q = make("complex", 2, 1);
    ASSERT_EQ(fldivv(out.get(), b.get(), q.get()), 0);
    EXPECT_EQ(snapshot(q), (std::vector<float>{1, 2, 0.5f, -1}));
    ASSERT_EQ(fladdv(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(snapshot(out), (std::vector<float>{4, 6, 2.5f, 1}));
    // atan2 runs over both halves of every element.
    ASSERT_EQ(flatan2(a.get(), b.get(), out.get()), 0);
    EXPECT_EQ(px(out)[1], float(std::atan2(2.0, 4.0)));
    EXPECT_EQ(px(out)[3], float(std::atan2(-1.0, 2.0)));
    // Copies cover 2n floats.
    Img cp = make("complex", 2, 1);
    ASSERT_EQ(flcp(a.get(), cp.get()), 0);
    EXPECT_EQ(snapshot(cp), snapshot(a));
}

TEST(Elementwise, SameImageAsInputAndOutput) {
    Img a = floats({1, -2, 3});
    ASSERT_EQ(flmultv(a.get(), a.get(), a.get()), 0);
    EXPECT_EQ(snapshot(a), (std::vector<float>{1, 4, 9}));
    Img c = complexes({1, 2, 3, -1});
    ASSERT_EQ(flmultv(c.get(), c.get(), c.get()), 0);  // both halves read first
    EXPECT_EQ(snapshot(c), (std::vector<float>{-3, 4, 8, -6}));
    Img d = complexes({1, 2});
    ASSERT_EQ(fldivv(d.get(), d.get(), d.get()), 0);
    EXPECT_EQ(snapshot(d), (std::vector<float>{1, 0}));
    // Large in-place runs, through the vector loops.
    Img big = makeF(1000, 3);
    fill(big, [](int, int r, int c) { return float(r * 1000 + c) - 1500.0f; });
    const std::vector<float> orig = snapshot(big);
    ASSERT_EQ(flabsolute(big.get(), big.get()), 0);
    ASSERT_EQ(fladds(big.get(), big.get(), 1.0f), 0);
    for (size_t i = 0; i < orig.size(); ++i) ASSERT_EQ(px(big)[i], std::fabs(orig[i]) + 1.0f) << i;
}

TEST(Elementwise, Copies) {
    Img a = makeF(5, 4, 2);
    fill(a, [](int f, int r, int c) { return float(f * 100 + r * 10 + c); });
    Img b = makeF(5, 4, 2);
    ASSERT_EQ(flcp(a.get(), b.get()), 0);
    EXPECT_EQ(snapshot(b), snapshot(a));
    Img c(flcrcopy(a.get()));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->dtype, DT_32FLT);
    EXPECT_EQ(c->vekndim, 3);
    EXPECT_EQ(c->vekdims[2].dimlen, 2);
    EXPECT_EQ(c->vekcompress, 1);
    EXPECT_NE(c->vekptr, a->vekptr);
    EXPECT_EQ(snapshot(c), snapshot(a));
    Img u8 = make("u8bit", 5, 4);
    ZVEKHDR *none = nullptr;
    EXPECT_EQ(stdoutOf([&] { none = flcrcopy(u8.get()); }), "flcrcopy: input image must be float\n");
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(flcrcopy(nullptr), nullptr);
}

TEST(ColorToGray, WeightsAndReplacement) {
    Img in = makeF(3, 2, 3);
    // Column 0 pure red, column 1 pure green, column 2 pure blue, row 1 all.
    fill(in, [](int f, int r, int c) { return (r == 1 || c == f) ? 100.0f : 0.0f; });
    Img out = makeF(3, 2);
    ZVEKHDR *o = out.get();
    ASSERT_EQ(flcolor2gray(in.get(), &o), 0);
    EXPECT_EQ(o, out.get());
    EXPECT_EQ(at(out, 0, 0, 0), float(21.0));
    EXPECT_EQ(at(out, 0, 0, 1), float(72.0));
    EXPECT_EQ(at(out, 0, 0, 2), float(0.07 * 100.0));
    EXPECT_EQ(at(out, 0, 1, 0), float(0.21 * 100.0 + 0.72 * 100.0 + 0.07 * 100.0));

    // A byte output is replaced by a float image of its size; a byte input
    // goes through the pixel accessors with the same result.
    Img in8 = make("u8bit", 3, 2, 3);
    for (int i = 0; i < 18; ++i) static_cast<uint8_t *>(in8->vekptr)[i] = uint8_t(px(in)[i]);
    ZVEKHDR *o8 = make("u8bit", 3, 2).release();
    ASSERT_EQ(flcolor2gray(in8.get(), &o8), 0);
    Img replaced(o8);
    EXPECT_EQ(replaced->dtype, DT_32FLT);
    EXPECT_EQ(replaced->vekndim, 2);
    EXPECT_EQ(snapshot(replaced), snapshot(out));
}

TEST(ColorToGray, Refusals) {
    Img gray = makeF(3, 2), twoFrames = makeF(3, 2, 2), color = makeF(3, 2, 3);
    Img out3d = makeF(3, 2, 1), wide = makeF(4, 2), tall = makeF(3, 3);
    Img keep = make("u8bit", 3, 2, 3);
    ZVEKHDR *o = nullptr;
    EXPECT_EQ(flcolor2gray(color.get(), &o), -1);
    EXPECT_EQ(flcolor2gray(color.get(), nullptr), -1);
    o = out3d.get();
    EXPECT_EQ(flcolor2gray(gray.get(), &o), -2);
    EXPECT_EQ(flcolor2gray(twoFrames.get(), &o), -2);  // fewer than three frames
    EXPECT_EQ(flcolor2gray(color.get(), &o), -4);
    o = wide.get();
    EXPECT_EQ(flcolor2gray(color.get(), &o), -5);
    o = tall.get();
    EXPECT_EQ(flcolor2gray(color.get(), &o), -6);
    EXPECT_EQ(o, tall.get());
    // Nothing was written or replaced.
    for (float v : snapshot(tall)) EXPECT_EQ(v, 0.0f);
}

TEST(Elementwise, LongRunsMatchTheSequentialRules) {
    // Square root over more than one chunk, stopping at sample 5000.
    Img in = makeF(100, 90), out = makeF(100, 90);
    fill(in, [](int, int r, int c) { return float(r * 100 + c) * 0.37f; });
    at(in, 0, 50, 0) = -2.0f;
    fillValue(out, -5.0f);
    int rc = 0;
    stderrOf([&] { rc = flsqrt(in.get(), out.get()); });
    EXPECT_EQ(rc, 1);
    for (int i = 0; i < 9000; ++i)
        ASSERT_EQ(px(out)[i], i < 5000 ? float(std::sqrt(double(px(in)[i]))) : -5.0f) << i;
    // The range scan: sign of a zero extreme from the sequential order, and
    // samples only in the vector part or only in the tail.
    for (int where : {0, 3, 17, 40, 99}) {
        Img z = makeF(100, 1), zo = makeF(100, 1);
        fill(z, [](int, int, int c) { return c % 2 ? -0.0f : 0.0f; });
        px(z)[where] = -1.0f;
        // Scanned from the last sample (index 99, -0) backwards: -0 is met
        // first unless sample 99 is the -1.
        const float firstZero = where == 99 ? 0.0f : -0.0f;
        std::string msg = stdoutOf([&] { flinv(z.get(), zo.get()); });
        EXPECT_EQ(msg, where == 99 ? "flinv: max = 0.000000 min=-1.000000\n" : "flinv: max = -0.000000 min=-1.000000\n");
        EXPECT_EQ(bits(px(zo)[where]), bits(firstZero - -1.0f)) << where;
        EXPECT_EQ(bits(px(zo)[where == 0 ? 1 : 0]), bits(firstZero - (where == 0 ? -0.0f : 0.0f))) << where;
    }
    Img v = makeF(70, 1), vo = makeF(70, 1);
    fill(v, [](int, int, int c) { return float((c * 37) % 70) - 20.0f; });
    EXPECT_EQ(stdoutOf([&] { flinv(v.get(), vo.get()); }), "flinv: max = 49.000000 min=-20.000000\n");
    px(v)[69] = 1000.0f;  // in the scalar tail of the backward scan
    px(v)[0] = -3000.0f;
    EXPECT_EQ(stdoutOf([&] { flinv(v.get(), vo.get()); }), "flinv: max = 1000.000000 min=-3000.000000\n");
}
