// Exponent, logarithm and arc tangent runs give float(libm) to the bit on every
// instruction-set path, into another array and in place, for every run length.
#include "fastmath.h"
#include "imageops_fixture.h"

using namespace opsfix;

namespace {
float fromBits(uint32_t b) {
    float v;
    return std::memcpy(&v, &b, 4), v;
}
// Specials, then any bit pattern and pixel values, then k floats each side of around.
Floats samples(unsigned seed, int n, std::initializer_list<float> around = {}, int k = 0) {
    std::mt19937 gen(seed);
    Floats v = {0.0f,  -0.0f,  kInf,      -kInf,      kNaN,      -kNaN,      fromBits(0x7f800001u), 1e30f, -1e-30f,
                3e38f, -3e38f, 0x1p-126f, -0x1p-126f, 0x1p-149f, -0x1p-149f, fromBits(0x007fffffu), 1.0f,  -1.0f,
                3.0f,  -0.25f, 255.0f,    300.0f,     fromBits(0x7fc12345u)};
    for (int i = 0; i < n; ++i) v.push_back(i % 2 ? fromBits(uint32_t(gen())) : int(gen() % 51200) / 100.f - 256);
    for (float a : around)
        for (int d = -k; d <= k; ++d) v.push_back(fromBits(bits(a) + uint32_t(d)));
    return v;
}
// run(n, in place, out) takes the first n samples (1..40, all); out[i] must be want(i).
void expectLibrary(const std::string &what, size_t size, const std::function<void(size_t, bool, Floats &)> &run,
                   const std::function<float(size_t)> &want) {
    for (size_t n = 1; n <= 41; ++n)
        for (bool inPlace : {false, true}) {
            Floats got;
            run(n == 41 ? size : n, inPlace, got);
            for (size_t i = 0, bad = 0; i < got.size(); ++i)
                if (bits(got[i]) != bits(want(i)) && ++bad < 4)
                    ADD_FAILURE() << what << (inPlace ? " in place" : "") << ", run of " << got.size() << ": sample "
                                  << i << " gave " << std::hexfloat << got[i] << ", library " << want(i);
        }
}

}  // namespace

TEST(FastMath, ExponentAndLogarithmOnEveryPath) {
    // Also exponents -120..10, powers of two, and around the ends of the ranges.
    for (float s : {kNaN, 1.0f, 50.0f, -3.0f, 33.3f, 0.01f, 1e-30f, 0.0f}) {  // NaN: the logarithm
        const float t = std::isnan(s) || s == 0 ? 1 : s;
        Floats in = samples(11, 400000, {std::log(255.0f) * t, 6 * t, -87 * t, -87.33654f * t, -103.2789f * t,
                                         -103.97208f * t, -104 * t, -0.5f * t, t, 1.0f}, 300);
        const Floats small = noise(200000, 12, -120, 10);
        in.insert(in.end(), small.begin(), small.end());
        for (int e = -149; e <= 127; ++e) in.insert(in.end(), {std::ldexp(1.0f, e), -std::ldexp(1.0f, e)});
        for (int level : {0, 1, 2})
            expectLibrary(
                "scale " + std::to_string(s) + " level " + std::to_string(level), in.size(),
                [&](size_t n, bool inPlace, Floats &out) {
                    out.assign(in.begin(), in.begin() + n);
                    const float *src = inPlace ? out.data() : in.data();
                    std::isnan(s) ? ops::lnFloats(src, out.data(), int64_t(n), level)
                                  : ops::expFloats(src, out.data(), int64_t(n), s, level);
                },
                [&](size_t i) {
                    return std::isnan(s) ? (in[i] > 0 ? float(std::log(double(in[i]))) : 0.0f)
                                         : std::min(float(std::exp(double(in[i] / s))), 255.0f);
                });
    }
}

TEST(FastMath, ArcTangentOnEveryPath) {
    // Also magnitudes near and far apart, ratios near 1 and tan(pi/12) (where the
    // reduction changes) and pairs of subnormals.
    const Floats s = samples(21, 500000), near = samples(22, 0, {1.0f, float(std::tan(M_PI / 12))}, 2000);
    Floats y, x;
    auto add = [&](float a, float b) { y.push_back(a), x.push_back(b); };
    for (size_t i = 0; i < s.size(); ++i) add(s[i], s[(i * 7 + 3) % s.size()]);
    for (int i = 0; i < 23 * 23; ++i) add(s[i % 23], s[i / 23]);
    for (int i = 0, e = 0; i < 250000; ++i, e = i % 300 - 150)
        add(std::ldexp(s[2 * i + 23], e / 2), std::ldexp(s[2 * i + 25], e / 2 + i % 7 - 3)),
            add(std::ldexp(s[2 * i + 23], e), s[2 * i + 25]);
    for (float m : {1.0f, -1.0f, 0x1p-100f, 0x1p100f})
        for (size_t i = 23; i < near.size(); ++i) add(near[i] * m, m), add(-m, near[i] * m), add(m, -near[i] * m);
    for (uint32_t a = 1; a <= 40; ++a)
        for (uint32_t b = 1; b <= 40; ++b) add(fromBits(a), fromBits(b)), add(-fromBits(a), -fromBits(b << 10));
    for (int level : {0, 1, 2})
        for (bool overX : {false, true})  // in place over y or over x
            expectLibrary(
                (overX ? "over x, level " : "over y, level ") + std::to_string(level), y.size(),
                [&](size_t n, bool inPlace, Floats &out) {
                    out.assign(overX ? x.begin() : y.begin(), (overX ? x.begin() : y.begin()) + n);
                    float *o = out.data();
                    const float *ys = inPlace && !overX ? o : y.data(), *xs = inPlace && overX ? o : x.data();
                    ops::atan2Floats(ys, xs, o, int64_t(n), level);
                },
                [&](size_t i) { return float(std::atan2(double(y[i]), double(x[i]))); });
}
