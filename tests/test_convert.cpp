// Whole-image type conversion and the parts of complex images.
#include "zvek.h"
#include "zvektest.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;
using zvektest::codeLine;

namespace {

struct Freer {
    void operator()(ZVEKHDR *h) const { Zvekfree(h, 7); }
};
using Image = std::unique_ptr<ZVEKHDR, Freer>;

Image make(const char *type, std::vector<int32_t> dims, int structSize = 0) {
    Image h(Zvekcreate(type, dims.data(), 11, structSize));
    EXPECT_NE(h, nullptr) << type;
    return h;
}

template <typename T>
T *data(const Image &h) {
    return static_cast<T *>(h->vekptr);
}

int64_t bytesOf(const Image &h) { return Zvekdimen(h.get(), ZVEK_NBYTES); }

std::vector<unsigned char> bytes(const Image &h) {
    const auto *p = static_cast<const unsigned char *>(h->vekptr);
    return std::vector<unsigned char>(p, p + bytesOf(h));
}

// Fills every component of an image with values cycled from a list of
// doubles, each stored as the type's own value (through the store rule of
// the pixel puts for the integers, where that is defined; NaN and the
// infinities only for the float types).
void fillComponents(const Image &h, const std::vector<double> &vals) {
    const int64_t n = bytesOf(h) / h->vekbpd;
    for (int64_t i = 0; i < n; ++i) {
        const double v = vals[i % vals.size()];
        unsigned char *p = static_cast<unsigned char *>(h->vekptr) + i * h->vekbpd;
        switch (h->dtype) {
        case DT_8BIT: case DT_S8BIT3: { int8_t x = static_cast<int8_t>(static_cast<int64_t>(std::fmod(v, 256.0))); std::memcpy(p, &x, 1); break; }
        case DT_U8BIT: case DT_SU8BIT3: { uint8_t x = static_cast<uint8_t>(static_cast<int64_t>(std::fmod(std::fabs(v), 256.0))); std::memcpy(p, &x, 1); break; }
        case DT_16BIT: case DT_S16BIT3: { int16_t x = static_cast<int16_t>(static_cast<int64_t>(std::fmod(v, 65536.0))); std::memcpy(p, &x, 2); break; }
        case DT_U16BIT: case DT_SU16BIT3: { uint16_t x = static_cast<uint16_t>(static_cast<int64_t>(std::fmod(std::fabs(v), 65536.0))); std::memcpy(p, &x, 2); break; }
        case DT_32BIT: case DT_S32BIT3: { int32_t x = static_cast<int32_t>(static_cast<int64_t>(std::fmod(v, 4294967296.0))); std::memcpy(p, &x, 4); break; }
        case DT_32FLT: case DT_S32FLT3: { float x = static_cast<float>(v); std::memcpy(p, &x, 4); break; }
        case DT_64FLT: case DT_S64FLT3: { double x = v; std::memcpy(p, &x, 8); break; }
        default: FAIL() << "no fill for type " << h->dtype;
        }
    }
}

// Values that probe every conversion: fractions, negatives, the edges of
// each integer range, values beyond 2^24, 2^31 and 2^63, and (dropped for
// the integer sources by the finite filter) NaN and the infinities.
std::vector<double> probeValues(bool floating) {
    std::vector<double> v = {0.0, 1.0, -1.0, 0.5, -0.5, 2.7, -2.7, 127.0, 128.0, -128.0, -129.0, 255.0, 256.0,
                             300.7, -300.7, 32767.0, 32768.0, -32768.0, 65535.0, 65537.25, -65537.25,
                             16777217.0, -16777217.0, 2147483647.0, -2147483648.0, 2147483648.0, 3e9, -3e9,
                             1.5e10, -1.5e10, 9.3e18, -9.3e18, 1e30, -1e30, 123456789.0, 1e-3};
    if (floating) {
        v.push_back(std::numeric_limits<double>::quiet_NaN());
        v.push_back(std::numeric_limits<double>::infinity());
        v.push_back(-std::numeric_limits<double>::infinity());
        v.push_back(3.4e38);
        v.push_back(1e300);
    }
    return v;
}

bool isFloating(int code) {
    return code == DT_32FLT || code == DT_64FLT || code == DT_S32FLT3 || code == DT_S64FLT3;
}

// The per-pixel rule, written with the public accessors: frame, row,
// column in order, each value read as double, passed through a float and
// put back as a pixel put stores it.
void referenceConvert(ZVEKHDR *in, ZVEKHDR *out) {
    const int32_t *s = Zveksiz(in);
    const int nd = s[0];
    const int cols = s[1], rows = nd >= 2 ? s[2] : 1, frames = nd >= 3 ? s[3] : 1;
    std::free(const_cast<int32_t *>(s));
    for (int f = 0; f < frames; ++f)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const float v = static_cast<float>(Zvekfgp3d(in, f, r, c));
                Zvekfpp3d(out, f, r, c, static_cast<double>(v));
            }
}

const char *const kPlainTypes[] = {"8bit", "u8bit", "16bit", "u16bit", "32bit", "32flt", "64flt"};

class Convert : public zvektest::ZvekTest {};

}  // namespace

TEST_F(Convert, U8ToFloatKeepsValuesAndRefusesOtherShapes) {
    Image in = make("u8bit", {2, 2, 3});
    Image out = make("float", {2, 2, 3});
    Image other = make("float", {2, 3, 2});
    for (int i = 0; i < 6; ++i) data<uint8_t>(in)[i] = static_cast<uint8_t>(40 * i + 3);
    EXPECT_EQ(Zvekany2any(in.get(), out.get()), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data<float>(out)[i], 40.0f * i + 3) << i;

    data<float>(other)[0] = 7.0f;
    const auto before = bytes(other);
    EXPECT_EQ(Zvekany2any(in.get(), other.get()), -1);
    EXPECT_EQ(bytes(other), before);
}

TEST_F(Convert, DirectRoadsTruncateAndKeepLowBits) {
    Image f = make("float", {2, 4, 1});
    Image s = make("16bit", {2, 4, 1});
    Image b = make("u8bit", {2, 4, 1});
    const float fv[4] = {65537.75f, 300.0f, -1.0f, -2.9f};
    std::memcpy(f->vekptr, fv, sizeof fv);
    ASSERT_EQ(Zvekany2any(f.get(), s.get()), 0);
    EXPECT_EQ(data<int16_t>(s)[0], 1);     // 65537 keeps its low 16 bits
    EXPECT_EQ(data<int16_t>(s)[1], 300);
    EXPECT_EQ(data<int16_t>(s)[2], -1);
    EXPECT_EQ(data<int16_t>(s)[3], -2);    // toward zero
    ASSERT_EQ(Zvekany2any(f.get(), b.get()), 0);
    EXPECT_EQ(data<uint8_t>(b)[0], 1);
    EXPECT_EQ(data<uint8_t>(b)[1], 44);    // no clamping
    EXPECT_EQ(data<uint8_t>(b)[2], 255);
    EXPECT_EQ(data<uint8_t>(b)[3], 254);

    const int16_t sv[4] = {-1, 258, -32768, 32767};
    std::memcpy(s->vekptr, sv, sizeof sv);
    ASSERT_EQ(Zvekany2any(s.get(), f.get()), 0);
    EXPECT_EQ(data<float>(f)[0], -1.0f);
    EXPECT_EQ(data<float>(f)[2], -32768.0f);
    ASSERT_EQ(Zvekany2any(s.get(), b.get()), 0);
    EXPECT_EQ(data<uint8_t>(b)[0], 255);
    EXPECT_EQ(data<uint8_t>(b)[1], 2);     // 258 keeps its low 8 bits
    EXPECT_EQ(data<uint8_t>(b)[2], 0);
    EXPECT_EQ(data<uint8_t>(b)[3], 255);
}

TEST_F(Convert, WideValuesPassThroughAFloat) {
    Image i = make("32bit", {1, 3});
    Image d = make("64flt", {1, 3});
    const int32_t iv[3] = {16777217, -16777217, 2147483647};
    std::memcpy(i->vekptr, iv, sizeof iv);
    ASSERT_EQ(Zvekany2any(i.get(), d.get()), 0);
    EXPECT_EQ(data<double>(d)[0], 16777216.0);
    EXPECT_EQ(data<double>(d)[1], -16777216.0);
    EXPECT_EQ(data<double>(d)[2], 2147483648.0);

    // Even a double into a double loses what a float cannot hold.
    Image d2 = make("64flt", {1, 3});
    const double dv[3] = {0.1, 1.0 + 1e-12, 16777217.0};
    std::memcpy(d->vekptr, dv, sizeof dv);
    ASSERT_EQ(Zvekany2any(d.get(), d2.get()), 0);
    EXPECT_EQ(data<double>(d2)[0], static_cast<double>(0.1f));
    EXPECT_EQ(data<double>(d2)[1], 1.0);
    EXPECT_EQ(data<double>(d2)[2], 16777216.0);

    // A 32-bit value beyond the int32 range after float rounding wraps to
    // its low bits: 2147483647 becomes 2^31 in float, stored as INT32_MIN.
    Image i2 = make("32bit", {1, 3});
    ASSERT_EQ(Zvekany2any(i.get(), i2.get()), 0);
    EXPECT_EQ(data<int32_t>(i2)[0], 16777216);
    EXPECT_EQ(data<int32_t>(i2)[2], std::numeric_limits<int32_t>::min());
}

TEST_F(Convert, NonFiniteAndHugeFloatsHaveDefinedResults) {
    // NaN stores 0; values beyond the 64-bit range saturate before their low
    // bits are kept (so +inf keeps the low bits of INT64_MAX, -inf those of
    // INT64_MIN).
    Image f = make("float", {1, 5});
    const float fv[5] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), 1e30f, 4294967296.0f + 512.0f};
    std::memcpy(f->vekptr, fv, sizeof fv);
    Image b = make("u8bit", {1, 5});
    Image i = make("32bit", {1, 5});
    ASSERT_EQ(Zvekany2any(f.get(), b.get()), 0);
    ASSERT_EQ(Zvekany2any(f.get(), i.get()), 0);
    EXPECT_EQ(data<uint8_t>(b)[0], 0);
    EXPECT_EQ(data<uint8_t>(b)[1], 255);
    EXPECT_EQ(data<uint8_t>(b)[2], 0);
    EXPECT_EQ(data<uint8_t>(b)[3], 255);
    EXPECT_EQ(data<int32_t>(i)[0], 0);
    EXPECT_EQ(data<int32_t>(i)[1], -1);
    EXPECT_EQ(data<int32_t>(i)[2], 0);
    EXPECT_EQ(data<int32_t>(i)[4], 512);  // 2^32 + 512 keeps 512
}

TEST_F(Convert, EveryPairMatchesThePerPixelRule) {
    // Planar 3-D images of every plain non-complex type, both directions,
    // against the accessors' own read and store.
    for (const char *src : kPlainTypes) {
        for (const char *dst : kPlainTypes) {
            SCOPED_TRACE(std::string(src) + " -> " + dst);
            Image in = make(src, {3, 7, 5, 2});
            fillComponents(in, probeValues(isFloating(in->dtype)));
            Image out = make(dst, {3, 7, 5, 2});
            Image ref = make(dst, {3, 7, 5, 2});
            ASSERT_EQ(Zvekany2any(in.get(), out.get()), 0);
            referenceConvert(in.get(), ref.get());
            EXPECT_EQ(bytes(out), bytes(ref));
        }
    }
}

TEST_F(Convert, LargeImagesWithRareOutOfRangeValuesMatchThePerPixelRule) {
    // Thousands of values inside the int32 range with a few far outside it
    // (and NaN for the float sources) in the middle of the image only.
    std::vector<double> inside;
    for (double v : probeValues(false))
        if (std::fabs(v) < 2e9) inside.push_back(v);
    for (const char *src : kPlainTypes) {
        for (const char *dst : kPlainTypes) {
            SCOPED_TRACE(std::string(src) + " -> " + dst);
            Image in = make(src, {3, 61, 37, 2});
            fillComponents(in, inside);
            const int64_t n = 61 * 37 * 2;
            if (in->dtype == DT_32FLT) {
                data<float>(in)[n / 2] = 1e30f;
                data<float>(in)[n / 2 + 3] = std::numeric_limits<float>::quiet_NaN();
            } else if (in->dtype == DT_64FLT) {
                data<double>(in)[n / 2] = -1e19;
                data<double>(in)[n / 2 + 3] = std::numeric_limits<double>::infinity();
            } else if (in->dtype == DT_32BIT) {
                data<int32_t>(in)[n / 2] = std::numeric_limits<int32_t>::max();  // 2^31 in float
            }
            Image out = make(dst, {3, 61, 37, 2});
            Image ref = make(dst, {3, 61, 37, 2});
            ASSERT_EQ(Zvekany2any(in.get(), out.get()), 0);
            referenceConvert(in.get(), ref.get());
            EXPECT_EQ(bytes(out), bytes(ref));
        }
    }
}

TEST_F(Convert, ConversionInPlace) {
    Image h = make("32bit", {2, 40, 40});
    for (int i = 0; i < 1600; ++i) data<int32_t>(h)[i] = (i % 2 ? 1 : -1) * (16777216 + i);
    std::vector<int32_t> expected(1600);
    for (int i = 0; i < 1600; ++i) expected[i] = static_cast<int32_t>(static_cast<float>(data<int32_t>(h)[i]));
    data<int32_t>(h)[700] = std::numeric_limits<int32_t>::max();
    expected[700] = std::numeric_limits<int32_t>::min();
    ASSERT_EQ(Zvekany2any(h.get(), h.get()), 0);
    for (int i = 0; i < 1600; ++i) ASSERT_EQ(data<int32_t>(h)[i], expected[i]) << i;
}

TEST_F(Convert, InterleavedImagesFollowTheAccessorAddressing) {
    // Channels of an interleaved image become planes of a planar one and
    // back; every pair of the interleaved and plain types agrees with the
    // per-pixel rule.
    Image rgb = make("Su8bit3", {3, 4, 2, 3});
    for (int i = 0; i < 24; ++i) data<uint8_t>(rgb)[i] = static_cast<uint8_t>(i);
    Image planes = make("float", {3, 4, 2, 3});
    ASSERT_EQ(Zvekany2any(rgb.get(), planes.get()), 0);
    for (int f = 0; f < 3; ++f)
        for (int p = 0; p < 8; ++p) EXPECT_EQ(data<float>(planes)[f * 8 + p], p * 3 + f) << f << "," << p;
    Image back = make("Su8bit3", {3, 4, 2, 3});
    ASSERT_EQ(Zvekany2any(planes.get(), back.get()), 0);
    EXPECT_EQ(bytes(back), bytes(rgb));

    const char *const interleaved[] = {"S8bit3", "Su8bit3", "S16bit3", "Su16bit3", "S32bit3", "S32flt3", "S64flt3"};
    for (const char *a : interleaved) {
        for (const char *b : kPlainTypes) {
            for (int dir = 0; dir < 2; ++dir) {
                const char *src = dir ? b : a, *dst = dir ? a : b;
                SCOPED_TRACE(std::string(src) + " -> " + dst);
                Image in = make(src, {3, 5, 3, 3});
                fillComponents(in, probeValues(isFloating(in->dtype)));
                Image out = make(dst, {3, 5, 3, 3});
                Image ref = make(dst, {3, 5, 3, 3});
                ASSERT_EQ(Zvekany2any(in.get(), out.get()), 0);
                referenceConvert(in.get(), ref.get());
                EXPECT_EQ(bytes(out), bytes(ref));
            }
        }
    }
}

TEST_F(Convert, OneDimensionalImagesConvertEveryElement) {
    Image in = make("u8bit", {1, 1000});
    for (int i = 0; i < 1000; ++i) data<uint8_t>(in)[i] = static_cast<uint8_t>(i * 7);
    Image out = make("float", {1, 1000});
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(in.get(), out.get()), 0);
    EXPECT_EQ(GetCapturedStderr(), "") << "a 1-D image draws no dimension report";
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(data<float>(out)[i], static_cast<float>(static_cast<uint8_t>(i * 7))) << i;

    // A 1-D image and a one-row 2-D image of the same length match.
    Image row = make("16bit", {2, 1000, 1});
    EXPECT_EQ(Zvekany2any(out.get(), row.get()), 0);
    EXPECT_EQ(data<int16_t>(row)[999], static_cast<uint8_t>(999 * 7));
    Image shorter = make("16bit", {1, 999});
    EXPECT_EQ(Zvekany2any(in.get(), shorter.get()), -1);
}

TEST_F(Convert, TwoDimensionalSourceWritesFrameZeroOfA3DTarget) {
    Image in = make("float", {2, 3, 2});
    for (int i = 0; i < 6; ++i) data<float>(in)[i] = i + 0.5f;
    Image out = make("16bit", {3, 3, 2, 2});
    for (int i = 0; i < 12; ++i) data<int16_t>(out)[i] = -7;
    ASSERT_EQ(Zvekany2any(in.get(), out.get()), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data<int16_t>(out)[i], i);
    for (int i = 6; i < 12; ++i) EXPECT_EQ(data<int16_t>(out)[i], -7) << "frame 1 untouched";

    // The other way round (3-D source, 2-D target) the frame counts differ.
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(out.get(), in.get()), -1);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: Invalid dimension to get length of.\n" + codeLine(8192));
}

TEST_F(Convert, ComplexImagesAreRefused) {
    Image c = make("complex", {2, 2, 2});
    Image f = make("float", {2, 2, 2});
    Image z = make("64cmp", {2, 2, 2});
    EXPECT_EQ(Zvekany2any(c.get(), f.get()), -2);
    EXPECT_EQ(Zvekany2any(f.get(), c.get()), -2);
    EXPECT_EQ(Zvekany2any(z.get(), f.get()), -2);
    EXPECT_EQ(Zvekany2any(f.get(), z.get()), -2);
    // Sizes are checked first.
    Image g = make("float", {2, 3, 2});
    EXPECT_EQ(Zvekany2any(c.get(), g.get()), -1);
}

TEST_F(Convert, UnconvertibleDataIsRefusedWithOneReport) {
    Image st = make("struct", {2, 4, 4}, 6);
    Image f = make("float", {2, 4, 4});
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(st.get(), f.get()), -3);
    EXPECT_EQ(GetCapturedStderr(), "Zvekany2any: unrecognized or illegal data type.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EDTYPE);
    EXPECT_EQ(Zvekany2any(f.get(), st.get()), -3);

    // An interleaved image with fewer frames than channels: its data block
    // is too small for the interleaved addressing.
    Image flat = make("Su8bit3", {2, 4, 4});
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(f.get(), flat.get()), -3);
    EXPECT_EQ(Zvekany2any(flat.get(), f.get()), -3);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekany2any: unrecognized or illegal data type.\n"
              "Zvekany2any: unrecognized or illegal data type.\n");

    // A header without pixel data.
    const int32_t dims[] = {2, 4, 4};
    ZVEKHDR *bare = Zvekcreate("float", dims, 0, 0);
    ASSERT_NE(bare, nullptr);
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(bare, f.get()), -3);
    EXPECT_EQ(GetCapturedStderr(), "Zvekany2any: image has no pixel data.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EBADHDR);
    Zvekfree(bare, 7);
}

TEST_F(Convert, NullOrDamagedHeadersAreSizeMismatches) {
    Image f = make("float", {2, 4, 4});
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(nullptr, f.get()), -1);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: NULL passed as image header.\n" + codeLine(8));
    EXPECT_EQ(Zvekany2any(f.get(), nullptr), -1);
    Image g = make("float", {2, 4, 4});
    std::memcpy(g->vekmagic, "XYZ", 4);
    CaptureStderr();
    EXPECT_EQ(Zvekany2any(f.get(), g.get()), -1);
    EXPECT_EQ(GetCapturedStderr(), "\nZvekdimen: Bad image header.\n" + codeLine(24));
    std::memcpy(g->vekmagic, "ZVE", 4);
}

// ---- Complex parts ----

namespace {

Image complexImage(std::vector<int32_t> dims, const std::vector<std::pair<float, float>> &vals) {
    Image c = make("32cmp", dims);
    float *p = data<float>(c);
    for (size_t i = 0; i < vals.size(); ++i) {
        p[2 * i] = vals[i].first;
        p[2 * i + 1] = vals[i].second;
    }
    return c;
}

}  // namespace

TEST_F(Convert, ComplexPartsIntoBytesAreClamped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Image c = complexImage({2, 3, 2}, {{300.5f, -2.0f}, {-4.0f, 17.9f}, {12.7f, 0.0f}, {nan, 255.5f}, {3.0f, 4.0f}, {0.0f, 1.0f}});
    Image b = make("u8bit", {2, 3, 2});
    ASSERT_EQ(Zvekc2real(c.get(), b.get()), 0);
    EXPECT_EQ(bytes(b), (std::vector<unsigned char>{255, 0, 12, 0, 3, 0}));
    ASSERT_EQ(Zvekc2imag(c.get(), b.get()), 0);
    EXPECT_EQ(bytes(b), (std::vector<unsigned char>{0, 17, 0, 255, 4, 1}));
    ASSERT_EQ(Zvekc2mag(c.get(), b.get()), 0);
    EXPECT_EQ(data<uint8_t>(b)[4], 5);
    EXPECT_EQ(data<uint8_t>(b)[3], 0) << "NaN magnitude stores 0";
    ASSERT_EQ(Zvekc2phase(c.get(), b.get()), 0);
    EXPECT_EQ(data<uint8_t>(b)[1], 1);  // atan2(17.9, -4) is about 1.79
}

TEST_F(Convert, ComplexPartsIntoFloat) {
    Image c = complexImage({2, 2, 2}, {{3.0f, 4.0f}, {0.0f, 1.0f}, {-1.0f, 0.0f}, {1e-3f, 3e-3f}});
    Image f = make("float", {2, 2, 2});
    ASSERT_EQ(Zvekc2phase(c.get(), f.get()), 0);
    EXPECT_EQ(data<float>(f)[0], static_cast<float>(std::atan2(4.0, 3.0)));
    EXPECT_EQ(data<float>(f)[1], static_cast<float>(M_PI / 2));
    EXPECT_EQ(data<float>(f)[2], static_cast<float>(M_PI));

    CaptureStdout();
    ASSERT_EQ(Zvekc2mag(c.get(), f.get()), 0);
    EXPECT_EQ(GetCapturedStdout(), "c2mag:incomplex outreal\n");
    EXPECT_EQ(data<float>(f)[0], 5.0f);
    EXPECT_EQ(data<float>(f)[1], 1.0f);
    // Products and sum in float, the root in double.
    const float re = 1e-3f, im = 3e-3f;
    const float sum = re * re + im * im;
    EXPECT_EQ(data<float>(f)[3], static_cast<float>(std::sqrt(static_cast<double>(sum))));

    // Only the magnitude into a float target prints that line.
    CaptureStdout();
    ASSERT_EQ(Zvekc2real(c.get(), f.get()), 0);
    Image d = make("64flt", {2, 2, 2});
    ASSERT_EQ(Zvekc2mag(c.get(), d.get()), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(data<float>(f)[2], -1.0f);
    EXPECT_EQ(data<double>(d)[3], std::sqrt(static_cast<double>(sum)));
}

TEST_F(Convert, ComplexPartsIntoOtherTypes) {
    Image c = complexImage({2, 2, 2}, {{1.5f, -2.7f}, {2.0f, 40000.9f}, {3.0f, -1.0f}, {4.0f, 0.2f}});
    Image s = make("16bit", {2, 2, 2});
    ASSERT_EQ(Zvekc2imag(c.get(), s.get()), 0);
    // Each pixel's own imaginary part, truncated, low 16 bits kept.
    EXPECT_EQ(data<int16_t>(s)[0], -2);
    EXPECT_EQ(data<int16_t>(s)[1], static_cast<int16_t>(40000 - 65536));
    EXPECT_EQ(data<int16_t>(s)[2], -1);
    EXPECT_EQ(data<int16_t>(s)[3], 0);

    // Into a complex target: the real part only.
    Image t = complexImage({2, 2, 2}, {{9, 9}, {9, 9}, {9, 9}, {9, 9}});
    ASSERT_EQ(Zvekc2imag(c.get(), t.get()), 0);
    EXPECT_EQ(data<float>(t)[0], -2.7f);
    EXPECT_EQ(data<float>(t)[1], 9.0f);
    EXPECT_EQ(data<float>(t)[2], 40000.9f);
    EXPECT_EQ(data<float>(t)[3], 9.0f);

    // Every plain target agrees with a pixel put of the value.
    for (const char *type : kPlainTypes) {
        SCOPED_TRACE(type);
        Image out = make(type, {2, 2, 2});
        Image ref = make(type, {2, 2, 2});
        ASSERT_EQ(Zvekc2real(c.get(), out.get()), 0);
        for (int r = 0; r < 2; ++r)
            for (int col = 0; col < 2; ++col)
                Zvekfpp(ref.get(), r, col, static_cast<double>(data<float>(c)[2 * (r * 2 + col)]));
        EXPECT_EQ(bytes(out), bytes(ref));
    }
}

TEST_F(Convert, ComplexPartsTakeTheFirstFrameOnly) {
    Image c = make("32cmp", {3, 2, 1, 2});
    const float v[8] = {1, 10, 2, 20, 3, 30, 4, 40};
    std::memcpy(c->vekptr, v, sizeof v);
    Image f = make("float", {2, 2, 1});
    ASSERT_EQ(Zvekc2imag(c.get(), f.get()), 0);
    EXPECT_EQ(data<float>(f)[0], 10.0f);
    EXPECT_EQ(data<float>(f)[1], 20.0f);
    // A 1-D pair works too.
    Image c1 = complexImage({1, 3}, {{1, 2}, {3, 4}, {5, 6}});
    Image f1 = make("float", {1, 3});
    CaptureStderr();
    ASSERT_EQ(Zvekc2real(c1.get(), f1.get()), 0);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_EQ(data<float>(f1)[2], 5.0f);
}

TEST_F(Convert, ComplexPartsRefuseWrongTypesAndSizes) {
    Image c = make("32cmp", {2, 2, 2});
    Image f = make("float", {2, 2, 2});
    Image z = make("64cmp", {2, 2, 2});
    Image wide = make("float", {2, 3, 2});
    EXPECT_EQ(Zvekc2mag(c.get(), wide.get()), -1);
    CaptureStderr();
    EXPECT_EQ(Zvekc2real(f.get(), f.get()), -2);
    EXPECT_EQ(Zvekc2imag(f.get(), f.get()), -2);
    EXPECT_EQ(Zvekc2mag(f.get(), f.get()), -2);
    EXPECT_EQ(Zvekc2phase(f.get(), f.get()), -2);
    EXPECT_EQ(Zvekc2real(z.get(), f.get()), -2);  // no line for complex double
    EXPECT_EQ(Zvekc2real(c.get(), z.get()), -2);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekc2mag: Input data type not complex\n"
              "Zvekc2mag: Input data type not complex\n"
              "Zvekc2mag: Input data type not complex\n"
              "Zvekc2mag: Input data type not complex\n");

    Image st = make("struct", {2, 2, 2}, 4);
    Image rgb = make("Su8bit3", {2, 2, 2});
    CaptureStderr();
    EXPECT_EQ(Zvekc2real(c.get(), st.get()), -3);
    EXPECT_EQ(Zvekc2phase(c.get(), rgb.get()), -3);
    EXPECT_EQ(GetCapturedStderr(),
              "Zvekc2real: unrecognized or illegal data type.\n"
              "Zvekc2phase: unrecognized or illegal data type.\n");
    EXPECT_EQ(Zvekerr, ZVEK_EDTYPE);
}
