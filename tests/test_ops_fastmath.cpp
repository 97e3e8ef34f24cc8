// The exponent and logarithm runs against the library functions: every
// stored float must carry the bits of the double std::exp / std::log result
// rounded to float, on every instruction-set path, for random samples and
// for the samples where rounding, ranges and special values meet.
#include "fastmath.h"
#include "ops_testutil.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace opstest;

namespace {

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}
float fromBits(uint32_t b) {
    float v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

float expRef(float v, float scale) {
    const float q = v / scale;
    const double e = std::exp(static_cast<double>(q));
    const float f = static_cast<float>(e);
    return f > 255.0f ? 255.0f : f;
}
float lnRef(float v) { return v > 0.0f ? static_cast<float>(std::log(static_cast<double>(v))) : 0.0f; }

// Indices where two runs differ in their bits (at most a few reported).
template <typename Ref>
void expectBits(const std::vector<float> &in, const std::vector<float> &out, Ref ref, const char *what) {
    int bad = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        const float want = ref(in[i]);
        if (bitsOf(out[i]) != bitsOf(want) && ++bad <= 5)
            ADD_FAILURE() << what << ": input " << std::hexfloat << in[i] << " gave " << out[i] << ", library "
                          << want;
    }
    EXPECT_EQ(bad, 0) << what;
}

// Floats around v: v itself and its neighbours up to k steps on each side.
void around(std::vector<float> &v, float centre, int k) {
    const uint32_t b = bitsOf(centre);
    for (int d = -k; d <= k; ++d) v.push_back(fromBits(b + uint32_t(d)));
}

// Samples where the rules change: special values, subnormals, powers of two,
// the ends of the exponent's ranges, ln 255 and the floats near 1.
std::vector<float> edgeSamples(float scale) {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(), fromBits(0x7f800001u), fromBits(0x7fc12345u),
                            std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
                            -std::numeric_limits<float>::denorm_min(), fromBits(0x007fffffu), 255.0f, 300.0f};
    for (int e = -149; e <= 127; ++e) {
        v.push_back(std::ldexp(1.0f, e));
        v.push_back(-std::ldexp(1.0f, e));
    }
    for (uint32_t b = 1; b < 0x00800000u; b += 4099) v.push_back(fromBits(b));  // subnormals
    // Scaled so that the quotient lands near each point.
    const double points[] = {std::log(255.0), 6.0, -87.0, -87.33654475, -103.2789, -103.97208, -104.0, 0.0,
                             -0.5, 0.34657359, 88.72283, 1.0};
    for (double p : points) around(v, static_cast<float>(p * scale), 300);
    around(v, 1.0f, 4096);
    around(v, 255.0f, 300);
    return v;
}

std::vector<float> randomSamples(size_t n, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<float> small(-120.0f, 10.0f), pixel(0.0f, 256.0f);
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i) {
        switch (i % 3) {
        case 0: v[i] = fromBits(uint32_t(gen())); break;  // any bit pattern
        case 1: v[i] = small(gen); break;
        default: v[i] = pixel(gen); break;
        }
    }
    return v;
}

constexpr int kLevels[] = {0, 1, 2};

}  // namespace

TEST(FastMath, ExponentMatchesLibraryOnRandomSamples) {
    const std::vector<float> in = randomSamples(3000000, 11);
    std::vector<float> out(in.size());
    for (int level : kLevels) {
        ops::expFloats(in.data(), out.data(), int64_t(in.size()), 1.0f, level);
        expectBits(in, out, [](float v) { return expRef(v, 1.0f); }, "exp scale 1");
    }
    const std::vector<float> few(in.begin(), in.begin() + 300000);
    out.resize(few.size());
    for (float scale : {50.0f, 33.3f, -2.5f, 0.01f, 1e-30f, 0.0f}) {
        for (int level : kLevels) {
            ops::expFloats(few.data(), out.data(), int64_t(few.size()), scale, level);
            expectBits(few, out, [scale](float v) { return expRef(v, scale); }, "exp scaled");
        }
    }
}

TEST(FastMath, ExponentMatchesLibraryAtEdges) {
    for (float scale : {1.0f, 50.0f, -3.0f}) {
        const std::vector<float> in = edgeSamples(scale);
        std::vector<float> out(in.size());
        for (int level : kLevels) {
            ops::expFloats(in.data(), out.data(), int64_t(in.size()), scale, level);
            expectBits(in, out, [scale](float v) { return expRef(v, scale); }, "exp edges");
        }
    }
    // Values that are known by hand.
    const std::vector<float> in = {0.0f, -std::numeric_limits<float>::infinity(), 1000.0f, -1000.0f, 6.0f};
    std::vector<float> out(in.size());
    ops::expFloats(in.data(), out.data(), int64_t(in.size()), 1.0f);
    EXPECT_EQ(out, (std::vector<float>{1.0f, 0.0f, 255.0f, 0.0f, 255.0f}));
    EXPECT_FALSE(std::signbit(out[3]));
}

TEST(FastMath, LogarithmMatchesLibraryOnRandomSamples) {
    std::vector<float> in = randomSamples(3000000, 12);
    // Positive samples are the interesting ones: take the magnitude of most.
    for (size_t i = 0; i < in.size(); i += 4) in[i] = std::fabs(in[i]);
    std::vector<float> out(in.size());
    for (int level : kLevels) {
        ops::lnFloats(in.data(), out.data(), int64_t(in.size()), level);
        expectBits(in, out, lnRef, "ln");
    }
}

TEST(FastMath, LogarithmMatchesLibraryAtEdges) {
    const std::vector<float> in = edgeSamples(1.0f);
    std::vector<float> out(in.size());
    for (int level : kLevels) {
        ops::lnFloats(in.data(), out.data(), int64_t(in.size()), level);
        expectBits(in, out, lnRef, "ln edges");
    }
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> known = {1.0f, 0.0f, -0.0f, -1.0f, inf, -inf, std::nanf(""), 2.0f};
    out.resize(known.size());
    ops::lnFloats(known.data(), out.data(), int64_t(known.size()));
    EXPECT_EQ(out, (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f, inf, 0.0f, 0.0f, float(0.6931471805599453)}));
}

// Every run length up to a few blocks, in place and into another image,
// through the operations themselves.
TEST(FastMath, OperationsCoverEveryRunLengthInPlace) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> d(-20.0f, 300.0f);
    for (int n = 1; n <= 40; ++n) {
        Img in = makeF(n, 1), out = makeF(n, 1);
        for (int i = 0; i < n; ++i) px(in)[i] = d(gen);
        const std::vector<float> orig = snapshot(in);
        std::vector<float> wantExp(orig.size()), wantLn(orig.size());
        for (int i = 0; i < n; ++i) {
            wantExp[i] = expRef(orig[i], 40.0f);
            wantLn[i] = lnRef(orig[i]);
        }
        ASSERT_EQ(flexp(in.get(), out.get(), 40.0f), 0);
        EXPECT_TRUE(sameBits(out, wantExp)) << n;
        EXPECT_TRUE(sameBits(in, orig)) << n;
        ASSERT_EQ(flln(in.get(), out.get()), 0);
        EXPECT_TRUE(sameBits(out, wantLn)) << n;
        ASSERT_EQ(flln(in.get(), in.get()), 0);
        EXPECT_TRUE(sameBits(in, wantLn)) << n;
        for (int i = 0; i < n; ++i) px(in)[i] = orig[i];
        ASSERT_EQ(flexp(in.get(), in.get(), 40.0f), 0);
        EXPECT_TRUE(sameBits(in, wantExp)) << n;
    }
}

namespace {

float atan2Ref(float y, float x) { return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x))); }

void expectAtan2Bits(const std::vector<float> &y, const std::vector<float> &x, const std::vector<float> &out,
                     const char *what) {
    int bad = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        const float want = atan2Ref(y[i], x[i]);
        if (bitsOf(out[i]) != bitsOf(want) && ++bad <= 5)
            ADD_FAILURE() << what << ": atan2(" << std::hexfloat << y[i] << ", " << x[i] << ") gave " << out[i]
                          << ", library " << want;
    }
    EXPECT_EQ(bad, 0) << what;
}

void checkAtan2(const std::vector<float> &y, const std::vector<float> &x, const char *what) {
    std::vector<float> out(y.size());
    for (int level : kLevels) {
        ops::atan2Floats(y.data(), x.data(), out.data(), int64_t(y.size()), level);
        expectAtan2Bits(y, x, out, what);
    }
}

}  // namespace

TEST(FastMath, ArcTangentMatchesLibraryOnRandomPairs) {
    std::mt19937_64 gen(21);
    std::uniform_real_distribution<float> pixel(-256.0f, 256.0f);
    const size_t n = 3000000;
    std::vector<float> y(n), x(n);
    for (size_t i = 0; i < n; ++i) {
        switch (i % 4) {
        case 0:  // any bit patterns
            y[i] = fromBits(uint32_t(gen()));
            x[i] = fromBits(uint32_t(gen()));
            break;
        case 1:  // pixel values
            y[i] = pixel(gen);
            x[i] = pixel(gen);
            break;
        case 2: {  // magnitudes within a few powers of two of each other
            const int e = int(gen() % 250) - 125;
            y[i] = std::ldexp(pixel(gen), e);
            x[i] = std::ldexp(pixel(gen), e + int(gen() % 7) - 3);
            break;
        }
        default:  // far apart magnitudes: the angle is tiny or near a multiple of pi/2
            y[i] = std::ldexp(pixel(gen), int(gen() % 300) - 150);
            x[i] = pixel(gen);
            if (i & 4) std::swap(y[i], x[i]);
        }
    }
    checkAtan2(y, x, "atan2 random");
}

TEST(FastMath, ArcTangentMatchesLibraryAtEdges) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    // Special values, the smallest and largest floats, ratios of one and of
    // tan(pi/12) (where the reduction changes), and ratios so small that
    // the angle is a subnormal float or zero.
    std::vector<float> special = {0.0f, -0.0f, inf, -inf, nan, -nan, fromBits(0x7f800001u), 1.0f, -1.0f,
                                  std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                  std::numeric_limits<float>::min(), -std::numeric_limits<float>::min(),
                                  std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                                  fromBits(0x007fffffu), 3.0f, -0.25f, 1e30f, -1e-30f};
    std::vector<float> y, x;
    for (float a : special)
        for (float b : special) {
            y.push_back(a);
            x.push_back(b);
        }
    std::vector<float> near1, nearTan;
    around(near1, 1.0f, 2000);
    around(nearTan, float(std::tan(M_PI / 12)), 2000);
    for (float s : {1.0f, -1.0f, 0x1p-100f, 0x1p100f}) {
        for (float v : near1) {
            y.push_back(v * s);
            x.push_back(s);
            y.push_back(-s);
            x.push_back(v * s);
        }
        for (float v : nearTan) {
            y.push_back(v * s);
            x.push_back(s);
            y.push_back(s);
            x.push_back(-v * s);
        }
    }
    for (int e = -149; e <= 127; ++e)
        for (float xv : {1.0f, -1.0f, 0x1p-20f, 0x1p20f, 7.5f}) {
            y.push_back(std::ldexp(1.0f, e));
            x.push_back(xv);
            y.push_back(-std::ldexp(1.5f, e));
            x.push_back(xv);
            x.push_back(std::ldexp(1.0f, e));
            y.push_back(xv);
        }
    // The smallest samples against larger ones near the point where the
    // angle leaves the normal floats (a ratio of 2^-126).
    for (int e = -30; e <= -18; ++e)
        for (uint32_t lo : {1u, 2u, 3u, 5u, 0x3fffffu, 0x7fffffu, 0x800000u, 0x800001u})
            for (float m : {1.0f, 1.25f, 1.9999999f}) {
                y.push_back(fromBits(lo));
                x.push_back(std::ldexp(m, e));
                y.push_back(-std::ldexp(m, e));
                x.push_back(-fromBits(lo));
            }
    // Pairs of subnormals: every ratio from 1/40 to 40.
    for (uint32_t a = 1; a <= 40; ++a)
        for (uint32_t b = 1; b <= 40; ++b) {
            y.push_back(fromBits(a));
            x.push_back(fromBits(b));
            y.push_back(-fromBits(a));
            x.push_back(-fromBits(b << 10));
        }
    checkAtan2(y, x, "atan2 edges");
    // Values known by hand.
    const std::vector<float> ky = {0.0f, -0.0f, 0.0f, -0.0f, 1.0f, inf, -inf, 1.0f, 1.0f, 0x1p-140f};
    const std::vector<float> kx = {1.0f, 1.0f, -1.0f, -1.0f, 0.0f, inf, -1.0f, 1.0f, -1.0f, 1.0f};
    std::vector<float> out(ky.size());
    ops::atan2Floats(ky.data(), kx.data(), out.data(), int64_t(ky.size()));
    const float pi = float(M_PI);
    EXPECT_EQ(out, (std::vector<float>{0.0f, -0.0f, pi, -pi, float(M_PI / 2), float(M_PI / 4), -float(M_PI / 2),
                                       float(M_PI / 4), float(3 * M_PI / 4), 0x1p-140f}));
    EXPECT_TRUE(std::signbit(out[1]));
    EXPECT_FALSE(std::signbit(out[0]));
}

// Every run length up to a few blocks, into another image and in place over
// either input, float and complex.
TEST(FastMath, ArcTangentCoversEveryRunLengthInPlace) {
    std::mt19937 gen(9);
    std::uniform_real_distribution<float> d(-50.0f, 50.0f);
    for (int n = 1; n <= 40; ++n) {
        for (const char *type : {"float", "complex"}) {
            Img a = make(type, n, 1), b = make(type, n, 1), out = make(type, n, 1);
            for (int64_t i = 0; i < count(a); ++i) {
                px(a)[i] = d(gen);
                px(b)[i] = d(gen);
            }
            const std::vector<float> ya = snapshot(a), xb = snapshot(b);
            std::vector<float> want(ya.size());
            for (size_t i = 0; i < want.size(); ++i) want[i] = atan2Ref(ya[i], xb[i]);
            ASSERT_EQ(flatan2(a.get(), b.get(), out.get()), 0);
            EXPECT_TRUE(sameBits(out, want)) << type << " " << n;
            EXPECT_TRUE(sameBits(a, ya) && sameBits(b, xb)) << type << " " << n;
            ASSERT_EQ(flatan2(a.get(), b.get(), a.get()), 0);
            EXPECT_TRUE(sameBits(a, want)) << type << " " << n;
            for (size_t i = 0; i < ya.size(); ++i) px(a)[i] = ya[i];
            ASSERT_EQ(flatan2(a.get(), b.get(), b.get()), 0);
            EXPECT_TRUE(sameBits(b, want)) << type << " " << n;
        }
    }
}

// Runs in place whose samples often need the library call (specials,
// subnormals, rounding boundaries): the call must still see the input, on
// every path and at every place in a vector.
TEST(FastMath, InPlaceRunsKeepTheInputForTheLibraryCall) {
    std::vector<float> base = edgeSamples(1.0f);
    const std::vector<float> extra = randomSamples(5000, 77);
    base.insert(base.end(), extra.begin(), extra.end());
    for (int level : kLevels) {
        std::vector<float> v = base;
        ops::expFloats(v.data(), v.data(), int64_t(v.size()), 1.0f, level);
        expectBits(base, v, [](float a) { return expRef(a, 1.0f); }, "exp in place");
        v = base;
        ops::lnFloats(v.data(), v.data(), int64_t(v.size()), level);
        expectBits(base, v, lnRef, "ln in place");
        // atan2 over y, then over x; x is the same samples turned around.
        std::vector<float> x(base.rbegin(), base.rend());
        v = base;
        ops::atan2Floats(v.data(), x.data(), v.data(), int64_t(v.size()), level);
        expectAtan2Bits(base, x, v, "atan2 in place over y");
        std::vector<float> xs = x;
        ops::atan2Floats(base.data(), xs.data(), xs.data(), int64_t(xs.size()), level);
        expectAtan2Bits(base, x, xs, "atan2 in place over x");
    }
}
