// The exponent, logarithm and arc tangent runs: every stored float carries the
// bits of the double library result rounded to float, on every instruction-set
// path, into another array and in place, for every short run length, for
// random samples and where rounding, ranges and special values meet.
#include "fastmath.h"
#include "imageops_fixture.h"

using namespace opsfix;

namespace {

float fromBits(uint32_t b) {
    float v;
    return std::memcpy(&v, &b, 4), v;
}
void around(Floats &v, float centre, int k) {
    for (int d = -k; d <= k; ++d) v.push_back(fromBits(bits(centre) + uint32_t(d)));
}
// Any bit pattern, pixel values and specials: infinities, NaNs, subnormals,
// the ends of the float range.
Floats samples(unsigned seed) {
    std::mt19937 gen(seed);
    Floats v = {0.0f,  -0.0f,  kInf,      -kInf,       kNaN,      -kNaN,     fromBits(0x7f800001u), 1e30f, -1e-30f,
                3e38f, -3e38f, 0x1p-126f, -0x1p-126f,  0x1p-149f, -0x1p-149f, fromBits(0x007fffffu), 1.0f,  -1.0f,
                3.0f,  -0.25f, 255.0f,    300.0f,      fromBits(0x7fc12345u)};
    for (int i = 0; i < 400000; ++i) v.push_back(i % 2 ? fromBits(uint32_t(gen())) : int(gen() % 51200) / 100.f - 256);
    return v;
}

// run(n, in place, out) fills out from the first n samples, for n = 1..40 and
// all of them; every result must be want(i).
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
    // Besides the samples: powers of two, subnormals, the floats around 1 and
    // around the ends of the exponent's ranges, scaled to land there.
    const Floats small = noise(200000, 12, -120, 10);
    for (float scale : {kNaN, 1.0f, 50.0f, -3.0f, 33.3f, 0.01f, 1e-30f, 0.0f}) {  // NaN: the logarithm
        Floats in = samples(11);
        in.insert(in.end(), small.begin(), small.end());
        for (int e = -149; e <= 127; ++e) in.insert(in.end(), {std::ldexp(1.0f, e), -std::ldexp(1.0f, e)});
        for (uint32_t b = 1; b < 0x00800000u; b += 4099) in.push_back(fromBits(b));
        for (double p : {std::log(255.0), 6.0, -87.0, -87.33654475, -103.2789, -103.97208, -104.0, 0.0, -0.5, 1.0})
            around(in, float(p * (std::isnan(scale) ? 1 : scale)), 300);
        around(in, 1.0f, 4096);
        for (int level : {0, 1, 2})
            expectLibrary(
                "scale " + std::to_string(scale) + " level " + std::to_string(level), in.size(),
                [&](size_t n, bool inPlace, Floats &out) {
                    out.assign(in.begin(), in.begin() + n);
                    const float *src = inPlace ? out.data() : in.data();
                    std::isnan(scale) ? ops::lnFloats(src, out.data(), int64_t(n), level)
                                      : ops::expFloats(src, out.data(), int64_t(n), scale, level);
                },
                [&](size_t i) {
                    return std::isnan(scale) ? (in[i] > 0 ? float(std::log(double(in[i]))) : 0.0f)
                                             : std::min(float(std::exp(double(in[i] / scale))), 255.0f);
                });
    }
}

TEST(FastMath, ArcTangentOnEveryPath) {
    // Samples against others and the specials against each other, magnitudes a few powers of two
    // apart and far apart; ratios near 1 and near tan(pi/12), where the
    // reduction changes; pairs of subnormals.
    const Floats s = samples(21), p = noise(250000, 23, -256, 256), q = noise(250000, 24, -256, 256);
    Floats y, x;
    auto add = [&](float a, float b) { y.push_back(a), x.push_back(b); };
    for (size_t i = 0; i < s.size(); ++i) add(s[i], s[(i * 7 + 3) % s.size()]);
    for (int i = 0; i < 23 * 23; ++i) add(s[i % 23], s[i / 23]);
    for (int i = 0, e = 0; i < 250000; ++i, e = i % 300 - 150)
        add(std::ldexp(p[i], e / 2), std::ldexp(q[i], e / 2 + i % 7 - 3)), add(std::ldexp(p[i], e), q[i]),
            add(p[i], std::ldexp(q[i], e));
    Floats near;
    around(near, 1.0f, 2000);
    around(near, float(std::tan(M_PI / 12)), 2000);
    for (float m : {1.0f, -1.0f, 0x1p-100f, 0x1p100f})
        for (float v : near) add(v * m, m), add(-m, v * m), add(m, -v * m);
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
