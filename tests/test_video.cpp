// Video scaling to bytes and the colour maps.
#include "zvek.h"
#include "test_image_util.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

using imgtest::Img;

// Independent reference: one running scan, then the byte of each value.
template <typename T>
std::vector<uint8_t> referenceScale(const T *p, size_t n, size_t stride, float &mx, float &mn) {
    mx = -1e6f;
    mn = 1e6f;
    for (size_t i = 0; i < n; ++i) {
        float v = static_cast<float>(p[i * stride]);
        if (v > mx) mx = v;
        if (v < mn) mn = v;
    }
    std::vector<uint8_t> out(n);
    double s = 255.0 / (mx - mn);
    for (size_t i = 0; i < n; ++i) {
        float v = static_cast<float>(p[i * stride]);
        float q = static_cast<float>((v - mn) * s);
        out[i] = static_cast<uint8_t>(static_cast<long long>(q));
    }
    return out;
}

}  // namespace

TEST(Vidscale, FloatRangeAndRounding) {
    Img in("float", {2, 3, 1}), out("u8bit", {2, 3, 1});
    float vals[3] = {0.0f, 10.0f, 5.0f};
    std::memcpy(in.data<float>(), vals, sizeof vals);
    float mn = -7, mx = -7;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(out.bytes()[0], 0);
    EXPECT_EQ(out.bytes()[1], 255);
    EXPECT_EQ(out.bytes()[2], 127);
    EXPECT_EQ(mn, 0.0f);
    EXPECT_EQ(mx, 10.0f);
}

TEST(Vidscale, ConstantImageLeavesEverything) {
    Img in("float", {2, 4, 4}), out("u8bit", {2, 4, 4});
    for (int i = 0; i < 16; ++i) in.data<float>()[i] = 3.5f;
    std::memset(out.bytes(), 9, 16);
    float mn = -7, mx = -8;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot vidscale, all pixels are the same brightness\n");
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.bytes()[i], 9);
    EXPECT_EQ(mn, -7.0f);
    EXPECT_EQ(mx, -8.0f);
}

TEST(Vidscale, StartingRangeStaysWhenNoValueMovesIt) {
    // All values above 1e6: the minimum stays at the starting 1e6.
    Img in("float", {1, 3}), out("u8bit", {1, 3});
    float vals[3] = {2e6f, 3e6f, 2.5e6f};
    std::memcpy(in.data<float>(), vals, sizeof vals);
    float mn = 0, mx = 0;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mn, 1e6f);
    EXPECT_EQ(mx, 3e6f);
    EXPECT_EQ(out.bytes()[0], 127);  // 1e6 * 255 / 2e6 = 127.5
    EXPECT_EQ(out.bytes()[1], 255);
    EXPECT_EQ(out.bytes()[2], 191);  // 1.5e6 * 255 / 2e6 = 191.25
    // All values below -1e6: the maximum stays at -1e6.
    float neg[3] = {-2e6f, -3e6f, -4e6f};
    std::memcpy(in.data<float>(), neg, sizeof neg);
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mx, -1e6f);
    EXPECT_EQ(mn, -4e6f);
    EXPECT_EQ(out.bytes()[0], 170);  // 2e6 * 255 / 3e6
    EXPECT_EQ(out.bytes()[2], 0);
}

TEST(Vidscale, ComplexScalesRealParts) {
    Img in("complex", {2, 2, 2}), out("u8bit", {2, 2, 2});
    float *p = in.data<float>();
    const float re[4] = {1, 2, 3, 5};
    const float im[4] = {-1e9f, 1e9f, 77, 0};
    for (int i = 0; i < 4; ++i) {
        p[2 * i] = re[i];
        p[2 * i + 1] = im[i];
    }
    float mn, mx;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mn, 1.0f);
    EXPECT_EQ(mx, 5.0f);
    const uint8_t want[4] = {0, 63, 127, 255};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out.bytes()[i], want[i]) << i;
}

TEST(Vidscale, EveryTypeAgainstReferenceScan) {
    // A few thousand values, so that every lane and the tail are exercised.
    const int cols = 61, rows = 67;
    const size_t n = size_t(cols) * rows;
    auto fill = [&](auto *p, size_t stride, double lo, double hi) {
        unsigned x = 12345;
        for (size_t i = 0; i < n; ++i) {
            x = x * 1103515245u + 12345u;
            double t = (x >> 8) / double(1 << 24);
            p[i * stride] = static_cast<std::remove_reference_t<decltype(*p)>>(lo + t * (hi - lo));
        }
    };
    auto check = [&](const char *type, auto tag, size_t stride, double lo, double hi) {
        using T = decltype(tag);
        Img in(type, {2, cols, rows}), out("u8bit", {2, cols, rows});
        T *p = in.data<T>();
        fill(p, stride, lo, hi);
        float rmx, rmn, mx = 0, mn = 0;
        std::vector<uint8_t> want = referenceScale(p, n, stride, rmx, rmn);
        ASSERT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0) << type;
        EXPECT_EQ(mx, rmx) << type;
        EXPECT_EQ(mn, rmn) << type;
        EXPECT_EQ(std::memcmp(out.bytes(), want.data(), n), 0) << type;
    };
    check("8bit", int8_t{}, 1, -128, 127);
    check("u8bit", uint8_t{}, 1, 0, 255);
    check("16bit", int16_t{}, 1, -30000, 30000);
    check("u16bit", uint16_t{}, 1, 0, 65535);
    check("32bit", int32_t{}, 1, -3e6, 2e7);
    check("float", float{}, 1, -1.5, 2.25);
    check("double", double{}, 1, -1e7, 1e-3);
    check("complex", float{}, 2, 0.5, 0.75);
    check("64cmp", double{}, 2, -9, 9);
}

TEST(Vidscale, ZeroExtremeKeepsSignOfFirstZero) {
    // A running scan keeps the first zero that reached the extreme.
    Img in("float", {1, 20}), out("u8bit", {1, 20});
    float *p = in.data<float>();
    for (int i = 0; i < 20; ++i) p[i] = -1.0f - i;
    p[3] = -0.0f;
    p[11] = 0.0f;
    float mn, mx;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mx, 0.0f);
    EXPECT_TRUE(std::signbit(mx));
    p[3] = 0.0f;
    p[11] = -0.0f;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_FALSE(std::signbit(mx));
    for (int i = 0; i < 20; ++i) p[i] = 1.0f + i;
    p[9] = -0.0f;
    p[17] = 0.0f;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_TRUE(std::signbit(mn));
}

TEST(Vidscale, NanAndInfinityAreDefined) {
    // Long enough for the vector body and a tail.
    const int n = 37;
    Img in("float", {1, n}), out("u8bit", {1, n});
    float *p = in.data<float>();
    for (int i = 0; i < n; ++i) p[i] = float(i % 5);
    p[0] = p[20] = p[36] = std::numeric_limits<float>::quiet_NaN();
    float mn, mx;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mn, 0.0f);
    EXPECT_EQ(mx, 4.0f);
    for (int i = 0; i < n; ++i) {
        const int want = (i == 0 || i == 20 || i == 36) ? 0 : int(float(i % 5) * (255.0 / 4.0));
        EXPECT_EQ(out.bytes()[i], want) << i;
    }
    // An infinite maximum makes the scale zero: finite values give 0, the
    // infinite ones (infinity times zero) give 0 as well.
    p[7] = std::numeric_limits<float>::infinity();
    p[30] = -std::numeric_limits<float>::infinity();
    std::memset(out.bytes(), 99, n);
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_TRUE(std::isinf(mx));
    EXPECT_TRUE(std::isinf(mn));
    for (int i = 0; i < n; ++i) EXPECT_EQ(out.bytes()[i], 0) << i;
}

TEST(Vidscale, WholeThreeDimensionalAndOneDimensionalImages) {
    // Without the frame switch the range spans every frame.
    Img in("u16bit", {3, 2, 1, 2}), out("u8bit", {3, 2, 1, 2});
    const uint16_t v[4] = {100, 200, 300, 1100};
    std::memcpy(in.data<uint16_t>(), v, sizeof v);
    float mn, mx;
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 0), 0);
    EXPECT_EQ(mn, 100.0f);
    EXPECT_EQ(mx, 1100.0f);
    const uint8_t want[4] = {0, 25, 51, 255};  // 100, 200 and 1000 x 0.255
    EXPECT_EQ(std::memcmp(out.bytes(), want, 4), 0);
    Img line("8bit", {1, 3}), oline("u8bit", {1, 3});
    const int8_t l[3] = {-128, 0, 127};
    std::memcpy(line.data<int8_t>(), l, 3);
    EXPECT_EQ(Zvekvidscale(line.h, oline.h, &mn, &mx, 0), 0);
    EXPECT_EQ(oline.bytes()[0], 0);
    EXPECT_EQ(oline.bytes()[1], 128);  // 128 x 255 / 255
    EXPECT_EQ(oline.bytes()[2], 255);
}

TEST(Vidscale, FrameByFrame) {
    Img in("float", {3, 2, 1, 3}), out("u8bit", {3, 2, 1, 3});
    float vals[6] = {0, 4, 7, 7, 10, 20};
    std::memcpy(in.data<float>(), vals, sizeof vals);
    std::memset(out.bytes(), 5, 6);
    float mn, mx;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekvidscale(in.h, out.h, &mn, &mx, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Zvekvidscale: image is 3D float, frame-independent scaling\n"
              "Zvekvidscale frame 0\n"
              "Zvekvidscale frame 1\n"
              "Cannot vidscale frame 1, all pixels are the same brightness\n"
              "Zvekvidscale frame 2\n");
    const uint8_t want[6] = {0, 255, 5, 5, 0, 255};
    EXPECT_EQ(std::memcmp(out.bytes(), want, 6), 0);
    EXPECT_EQ(mn, 10.0f);
    EXPECT_EQ(mx, 20.0f);

    // Other types print only the constant-frame line.
    Img s("16bit", {3, 2, 1, 2}), o2("u8bit", {3, 2, 1, 2});
    int16_t sv[4] = {3, 3, -1, 1};
    std::memcpy(s.data<int16_t>(), sv, sizeof sv);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekvidscale(s.h, o2.h, &mn, &mx, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot vidscale frame 0, all pixels are the same brightness\n");
    EXPECT_EQ(o2.bytes()[2], 0);
    EXPECT_EQ(o2.bytes()[3], 255);

    // The range stored afterwards is the last frame's, even when that frame
    // is constant and left alone.
    int16_t sv2[4] = {-1, 1, 6, 6};
    std::memcpy(s.data<int16_t>(), sv2, sizeof sv2);
    std::memset(o2.bytes(), 9, 4);
    testing::internal::CaptureStdout();
    EXPECT_EQ(Zvekvidscale(s.h, o2.h, &mn, &mx, 1), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Cannot vidscale frame 1, all pixels are the same brightness\n");
    const uint8_t want2[4] = {0, 255, 9, 9};
    EXPECT_EQ(std::memcmp(o2.bytes(), want2, 4), 0);
    EXPECT_EQ(mn, 6.0f);
    EXPECT_EQ(mx, 6.0f);
}

TEST(Vidscale, RefusalsReturnFailureWithTheirLines) {
    Img in("float", {2, 3, 2}), out("u8bit", {2, 3, 2});
    Img out16("16bit", {2, 3, 2}), out1d("u8bit", {1, 6}), outBig("u8bit", {2, 3, 3});
    Img st("Su8bit3", {2, 3, 2});
    std::memset(outBig.bytes(), 7, 9);
    float mn = 1, mx = 2;
    auto run = [&](ZVEKHDR *i, ZVEKHDR *o, int pf) {
        testing::internal::CaptureStdout();
        int r = Zvekvidscale(i, o, &mn, &mx, pf);
        return std::make_pair(r, testing::internal::GetCapturedStdout());
    };
    using P = std::pair<int, std::string>;
    EXPECT_EQ(run(in.h, nullptr, 0), P(-1, "Zvekvidscale: output image must already exist\n"));
    EXPECT_EQ(run(in.h, out16.h, 0), P(-1, "Zvekvidscale: output image must be unsigned byte\n"));
    EXPECT_EQ(run(nullptr, out.h, 0), P(-1, "Zvekvidscale: input image is null\n"));
    EXPECT_EQ(run(in.h, out.h, 1), P(-1, "Zvekvidscale: 3d switch is set, but image is not 3d. Must exit\n"));
    EXPECT_EQ(run(in.h, out1d.h, 0), P(-1, "Zvekvidscale: input and output images have different dimensions.\n"));
    EXPECT_EQ(run(in.h, outBig.h, 0), P(-1, "Zvekvidscale: input and output images have different sizes.\n"));
    EXPECT_EQ(run(st.h, out.h, 0), P(-2, "Data type not recognized.\n"));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(outBig.bytes()[i], 7);
    EXPECT_EQ(mn, 1.0f);
    EXPECT_EQ(mx, 2.0f);
}

// ---- Colour maps ----

namespace {
struct Map {
    unsigned char m[768];
    explicit Map(int no) {
        std::memset(m, 0xAB, sizeof m);
        CreateColorMap(m, nullptr, no);
    }
    std::vector<int> at(int j) const { return {m[j], m[256 + j], m[512 + j]}; }
};
using RGB = std::vector<int>;
}  // namespace

TEST(ColorMap, GreyInverseAndLog) {
    Map g(0), inv(1), lg(5);
    for (int j = 0; j < 256; ++j) {
        EXPECT_EQ(g.at(j), RGB({j, j, j}));
        const int w = j == 0 ? 0 : 256 - j;
        EXPECT_EQ(inv.at(j), RGB({w, w, w})) << j;
    }
    EXPECT_EQ(inv.at(1), RGB({255, 255, 255}));
    EXPECT_EQ(inv.at(128), RGB({128, 128, 128}));
    EXPECT_EQ(inv.at(255), RGB({1, 1, 1}));
    // 255 log10(j + 1) / log10(256) = 255 log2(j + 1) / 8.
    EXPECT_EQ(lg.at(0), RGB({0, 0, 0}));
    EXPECT_EQ(lg.at(1), RGB({31, 31, 31}));    // 31.875
    EXPECT_EQ(lg.at(3), RGB({63, 63, 63}));    // 63.75
    EXPECT_EQ(lg.at(9), RGB({105, 105, 105}));  // 105.88
    EXPECT_EQ(lg.at(15), RGB({127, 127, 127}));  // 127.5
    EXPECT_EQ(lg.at(99), RGB({211, 211, 211}));
    EXPECT_EQ(lg.at(255), RGB({255, 255, 255}));
}

TEST(ColorMap, Bands) {
    Map b(2);
    EXPECT_EQ(b.at(0), RGB({0, 0, 0}));
    EXPECT_EQ(b.at(23), RGB({0, 0, 0}));
    EXPECT_EQ(b.at(24), RGB({160, 160, 160}));
    EXPECT_EQ(b.at(49), RGB({160, 160, 160}));
    EXPECT_EQ(b.at(50), RGB({150, 135, 0}));
    EXPECT_EQ(b.at(74), RGB({0, 0, 215}));
    EXPECT_EQ(b.at(100), RGB({0, 195, 0}));
    EXPECT_EQ(b.at(125), RGB({0, 240, 240}));
    EXPECT_EQ(b.at(150), RGB({240, 0, 240}));
    EXPECT_EQ(b.at(175), RGB({255, 175, 0}));
    EXPECT_EQ(b.at(223), RGB({255, 252, 0}));
    EXPECT_EQ(b.at(224), RGB({255, 255, 255}));
    EXPECT_EQ(b.at(255), RGB({255, 255, 255}));
}

TEST(ColorMap, HotMetalMatchesExactRamps) {
    // The ramps in exact integer arithmetic on the odd value i of each pair.
    Map h(3);
    for (int j = 0; j < 256; ++j) {
        const int i = 2 * (j / 2) + 1;
        const int r = i < 182 ? 255 * i / 182 : 255;
        const int g = i < 128 ? 0 : (i <= 218 ? 255 * (i - 128) / 91 : 255);
        const int b = i < 192 ? 0 : 255 * (i - 192) / 64;
        EXPECT_EQ(h.at(j), RGB({r, g, b})) << j;
    }
    EXPECT_EQ(h.at(0), RGB({1, 0, 0}));
    EXPECT_EQ(h.at(128), RGB({180, 2, 0}));
    EXPECT_EQ(h.at(200), RGB({255, 204, 35}));
    EXPECT_EQ(h.at(217), RGB({255, 249, 99}));
    EXPECT_EQ(h.at(218), RGB({255, 255, 107}));
    EXPECT_EQ(h.at(255), RGB({255, 255, 251}));
}

TEST(ColorMap, Rainbow) {
    Map r(4);
    EXPECT_EQ(r.at(0), RGB({0, 0, 0}));
    EXPECT_EQ(r.at(3), RGB({0, 0, 15}));
    EXPECT_EQ(r.at(35), RGB({0, 0, 255}));
    EXPECT_EQ(r.at(36), RGB({0, 0, 255}));
    EXPECT_EQ(r.at(40), RGB({0, 30, 255}));
    EXPECT_EQ(r.at(100), RGB({0, 255, 45}));
    EXPECT_EQ(r.at(120), RGB({90, 255, 0}));
    EXPECT_EQ(r.at(160), RGB({255, 135, 0}));
    EXPECT_EQ(r.at(200), RGB({255, 0, 150}));
    EXPECT_EQ(r.at(216), RGB({255, 0, 255}));
    EXPECT_EQ(r.at(230), RGB({255, 93, 255}));  // 13.42 x 7 = 93.9
    EXPECT_EQ(r.at(255), RGB({255, 255, 255}));
}

TEST(ColorMap, FixedTriplesAndUnknownNumbers) {
    Map f(6);
    EXPECT_EQ(f.at(0), RGB({27, 131, 124}));
    EXPECT_EQ(f.at(1), RGB({153, 94, 65}));
    EXPECT_EQ(f.at(127), RGB({192, 146, 106}));
    EXPECT_EQ(f.at(128), RGB({27, 131, 124}));
    EXPECT_EQ(f.at(129), RGB({153, 94, 65}));
    EXPECT_EQ(f.at(255), RGB({192, 146, 106}));
    Map u(7), n(-1);
    for (int i = 0; i < 768; ++i) {
        EXPECT_EQ(u.m[i], 0xAB);
        EXPECT_EQ(n.m[i], 0xAB);
    }
}

TEST(ColorMap, ColoursAnImageWithClamping) {
    Img in("float", {2, 3, 2}), out("u8bit", {3, 3, 2, 3});
    const float v[6] = {-5.0f, 300.0f, 10.7f, 128.0f, 255.0f, 0.0f};
    std::memcpy(in.data<float>(), v, sizeof v);
    EXPECT_EQ(Zvekcolormap(in.h, out.h, 3), 0);
    Map h(3);
    const int idx[6] = {0, 255, 10, 128, 255, 0};
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out.bytes()[6 * c + i], h.m[256 * c + idx[i]]) << i << " " << c;

    // A 16-bit input of the same values gives the same colours.
    Img s("16bit", {2, 3, 2});
    const int16_t sv[6] = {-5, 300, 10, 128, 255, 0};
    std::memcpy(s.data<int16_t>(), sv, sizeof sv);
    Img out2("u8bit", {3, 3, 2, 3});
    EXPECT_EQ(Zvekcolormap(s.h, out2.h, 3), 0);
    EXPECT_EQ(std::memcmp(out.bytes(), out2.bytes(), 18), 0);

    // An unknown map number colours black.
    std::memset(out.bytes(), 0xAA, 18);
    EXPECT_EQ(Zvekcolormap(in.h, out.h, 42), 0);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(out.bytes()[i], 0);
}

TEST(ColorMap, Refusals) {
    Img in("float", {2, 3, 2}), in3("float", {3, 3, 2, 3});
    Img o16("16bit", {3, 3, 2, 3}), o2d("u8bit", {2, 3, 2}), o2f("u8bit", {3, 3, 2, 2});
    Img oWrong("u8bit", {3, 2, 3, 3}), ok("u8bit", {3, 3, 2, 3});
    std::memset(o2f.bytes(), 7, 12);
    auto run = [&](ZVEKHDR *i, ZVEKHDR *o) {
        testing::internal::CaptureStdout();
        int r = Zvekcolormap(i, o, 0);
        return std::make_pair(r, testing::internal::GetCapturedStdout());
    };
    using P = std::pair<int, std::string>;
    EXPECT_EQ(run(in.h, o16.h), P(-1, "Zvekcolormap: output image must be U8IT\n"));
    EXPECT_EQ(run(in3.h, ok.h), P(-2, "input image needs to be 2D\n"));
    EXPECT_EQ(run(in.h, o2d.h), P(-3, "Zvekcolormap:output image must be 3D\n"));
    EXPECT_EQ(run(in.h, o2f.h), P(-3, "Zvekcolormap:output image must be 3D\n"));
    EXPECT_EQ(run(in.h, oWrong.h), P(-4, "Zvekcolormap: input and output images must be the same rows and cols\n"));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(o2f.bytes()[i], 7);
}
