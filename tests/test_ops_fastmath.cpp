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
