// Shifted two-image arithmetic: the output size rule, the placement of the
// second image, the zero samples outside, the divide rule and the checks.
#include "ops_testutil.h"

#include <cmath>
#include <limits>

using namespace opstest;

namespace {

using ShiftFn = int (*)(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *, int, int);

// Reference value of out(r, c) written from the placement rule.
float expected(const Img &a, const Img &b, int f, int r, int c, int dr, int dc, char op) {
    const int Ra = a->vekdims[1].dimlen, Ca = a->vekdims[0].dimlen;
    const int Rb = b->vekdims[1].dimlen, Cb = b->vekdims[0].dimlen;
    int ra, rb, ca, cb;
    if (dr > 0) { ra = r; rb = r - dr; } else { rb = r; ra = r + dr; }
    if (dc > 0) { ca = c; cb = c - dc; } else { cb = c; ca = c + dc; }
    const float va = (ra >= 0 && ra < Ra && ca >= 0 && ca < Ca) ? at(a, f, ra, ca) : 0.0f;
    const float vb = (rb >= 0 && rb < Rb && cb >= 0 && cb < Cb) ? at(b, f, rb, cb) : 0.0f;
    switch (op) {
    case '+': return va + vb;
    case '-': return va - vb;
    case '*': return va * vb;
    default: return vb != 0.0f ? va / vb : 255.0f;
    }
}

void checkAll(int ra, int ca, int rb, int cb, int frames, int dr, int dc) {
    const struct { ShiftFn fn; char op; } ops[] = {{fladdi, '+'}, {flsubi, '-'}, {flmuli, '*'}, {fldivi, '/'}};
    Img a = makeF(ca, ra, frames), b = makeF(cb, rb, frames);
    fill(a, [](int f, int r, int c) { return float(1 + f * 100 + r * 10 + c); });
    fill(b, [](int f, int r, int c) { return (r + c) % 3 == 0 ? 0.0f : float(2 + f * 50 + r - c); });
    const int Ro = std::max(ra + std::abs(dr), rb), Co = std::max(ca + std::abs(dc), cb);
    for (const auto &o : ops) {
        SCOPED_TRACE(testing::Message() << "op " << o.op << " dr " << dr << " dc " << dc);
        Img out = makeF(Co, Ro, frames);
        ASSERT_EQ(o.fn(a.get(), b.get(), out.get(), dr, dc), 0);
        for (int f = 0; f < std::max(frames, 1); ++f)
            for (int r = 0; r < Ro; ++r)
                for (int c = 0; c < Co; ++c)
                    ASSERT_EQ(bits(at(out, f, r, c)), bits(expected(a, b, f, r, c, dr, dc, o.op)))
                        << f << "," << r << "," << c;
    }
}

}  // namespace

TEST(Shifted, NoShiftIsThePlainOperation) {
    Img a = makeF(4, 3), b = makeF(4, 3), out = makeF(4, 3);
    fill(a, [](int, int r, int c) { return float(r * 4 + c); });
    fill(b, [](int, int r, int c) { return float(c - r); });
    ASSERT_EQ(fladdi(a.get(), b.get(), out.get(), 0, 0), 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(at(out, 0, r, c), float(r * 4 + c + c - r));
    // Dividing an image by itself: 1, and 255 where the sample is 0.
    ASSERT_EQ(fldivi(a.get(), a.get(), out.get(), 0, 0), 0);
    EXPECT_EQ(at(out, 0, 0, 0), 255.0f);
    for (int i = 1; i < 12; ++i) EXPECT_EQ(px(out)[i], 1.0f);
}

TEST(Shifted, RowShiftsPlaceTheSecondImage) {
    // dr = 2 with 5 x 5 images: 7 rows; rows 0 and 1 only a, rows 5 and 6
    // only b; out row r takes a's row r and b's row r - 2.
    Img a = makeF(5, 5), b = makeF(5, 5);
    fill(a, [](int, int r, int c) { return float(10 * r + c); });
    fill(b, [](int, int r, int c) { return float(1000 * (r + 1) + c); });
    Img out = makeF(5, 7);
    ASSERT_EQ(fladdi(a.get(), b.get(), out.get(), 2, 0), 0);
    EXPECT_EQ(at(out, 0, 0, 3), 3.0f);
    EXPECT_EQ(at(out, 0, 1, 3), 13.0f);
    EXPECT_EQ(at(out, 0, 2, 3), 23.0f + 1003.0f);
    EXPECT_EQ(at(out, 0, 5, 3), 4003.0f);
    EXPECT_EQ(at(out, 0, 6, 3), 5003.0f);
    // dr = -2: out row r takes b's row r and a's row r - 2.
    ASSERT_EQ(fladdi(a.get(), b.get(), out.get(), -2, 0), 0);
    EXPECT_EQ(at(out, 0, 0, 1), 1001.0f);
    EXPECT_EQ(at(out, 0, 2, 1), 3001.0f + 1.0f);
    EXPECT_EQ(at(out, 0, 6, 1), 41.0f);
    // Outside b the product is 0 and the quotient 255.
    ASSERT_EQ(flmuli(a.get(), b.get(), out.get(), 2, 0), 0);
    EXPECT_EQ(at(out, 0, 1, 2), 0.0f);
    ASSERT_EQ(fldivi(a.get(), b.get(), out.get(), 2, 0), 0);
    EXPECT_EQ(at(out, 0, 1, 2), 255.0f);
    EXPECT_EQ(at(out, 0, 6, 2), 0.0f);
}

TEST(Shifted, EveryPlacementAgainstTheRule) {
    checkAll(5, 5, 5, 5, 0, 2, 0);
    checkAll(5, 5, 5, 5, 0, -2, 3);
    checkAll(6, 40, 3, 20, 0, 1, -7);
    checkAll(3, 4, 10, 50, 0, -1, 2);    // b larger than the moved a
    checkAll(4, 37, 4, 37, 3, 3, -5);     // colour: frames 0, 1, 2
    checkAll(2, 3, 2, 3, 0, 0, -60);      // shift beyond both images
}

TEST(Shifted, NonFloatImagesThroughTheAccessors) {
    Img a = make("u8bit", 4, 3), b = make("16bit", 4, 3), out = make("double", 5, 5);
    for (int i = 0; i < 12; ++i) {
        static_cast<uint8_t *>(a->vekptr)[i] = uint8_t(200 + i);
        static_cast<int16_t *>(b->vekptr)[i] = int16_t(i % 4 == 0 ? 0 : -i);
    }
    ASSERT_EQ(fldivi(a.get(), b.get(), out.get(), -2, 1), 0);
    const double *o = static_cast<double *>(out->vekptr);
    // Out (r, c): b at (r, c - 1), a at (r - 2, c).
    EXPECT_EQ(o[0 * 5 + 0], 255.0);                          // b outside
    EXPECT_EQ(o[0 * 5 + 2], double(0.0f / -1.0f));           // a outside
    EXPECT_EQ(o[2 * 5 + 2], double(202.0f / float(-9)));     // a(0,2), b(2,1)
    EXPECT_EQ(o[4 * 5 + 4], 255.0);                          // b outside
    EXPECT_EQ(o[3 * 5 + 1], 255.0);                          // b(3,0) would be outside
}

TEST(Shifted, Refusals) {
    Img gray = makeF(5, 5), color = makeF(5, 5, 3), out = makeF(5, 7);
    fillValue(out, 8.0f);
    int rc = 0;
    EXPECT_EQ(stdoutOf([&] { rc = fladdi(gray.get(), color.get(), out.get(), 0, 0); }),
              "both input images must be either both grayscale or both color\n");
    EXPECT_EQ(rc, -2);
    // The output must have exactly the size of the rule.
    Img tooBig = makeF(5, 8), tooNarrow = makeF(4, 7), exact = makeF(5, 7);
    EXPECT_EQ(stdoutOf([&] { rc = flsubi(gray.get(), gray.get(), tooBig.get(), 2, 0); }), "");
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(flmuli(gray.get(), gray.get(), tooNarrow.get(), 2, 0), -1);
    EXPECT_EQ(fldivi(gray.get(), gray.get(), out.get(), 0, 0), -1);
    for (float v : snapshot(tooBig)) ASSERT_EQ(v, 0.0f);
    for (float v : snapshot(out)) ASSERT_EQ(v, 8.0f);
    // Colour images need three frames everywhere.
    Img two = makeF(5, 5, 2), out3 = makeF(5, 5, 3), out2 = makeF(5, 5, 2);
    EXPECT_EQ(stdoutOf([&] { rc = fladdi(two.get(), color.get(), out3.get(), 0, 0); }),
              "color images must have three frames\n");
    EXPECT_EQ(rc, -3);
    EXPECT_EQ(fladdi(color.get(), color.get(), out2.get(), 0, 0), -1);
    for (float v : snapshot(out3)) ASSERT_EQ(v, 0.0f);
    // A 2-D image of a type the 2-D pixel accessors don't read (interleaved
    // colour) is refused without a library error report; nothing written.
    Img rgb = make("Su8bit3", 5, 5), outRgb = makeF(5, 5);
    fillValue(outRgb, 6.0f);
    Zvekerr = 0;
    std::string err = stderrOf([&] {
        EXPECT_EQ(fladdi(rgb.get(), gray.get(), outRgb.get(), 0, 0), -1);
        EXPECT_EQ(fladdi(gray.get(), gray.get(), rgb.get(), 0, 0), -1);
    });
    EXPECT_EQ(err, "");
    EXPECT_EQ(Zvekerr, 0);
    for (float v : snapshot(outRgb)) ASSERT_EQ(v, 6.0f);
    // Extreme shifts are refused by the size rule, not overflowed.
    EXPECT_EQ(fladdi(gray.get(), gray.get(), exact.get(), std::numeric_limits<int>::min(), 0), -1);
    EXPECT_EQ(fladdi(gray.get(), gray.get(), exact.get(), 0, std::numeric_limits<int>::max()), -1);
    // 1-D images: nothing is written, success.
    Img line = make("float", 5, 1);
    const int32_t d1[2] = {1, 5};
    Img one(Zvekcreate("float", d1, 11, 0)), oneOut(Zvekcreate("float", d1, 11, 0));
    EXPECT_EQ(fladdi(one.get(), one.get(), oneOut.get(), 0, 0), 0);
}
