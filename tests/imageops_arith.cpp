// Element-wise and shifted arithmetic against hand-worked values and the
// placement rule, the lines printed, in-place use.
#include "imageops_fixture.h"
#include "nan_rule.h"

using namespace opsfix;

namespace {

using Op = std::function<int(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *)>;
Op one(int (*fn)(ZVEKHDR *, ZVEKHDR *)) { return [=](ZVEKHDR *a, ZVEKHDR *, ZVEKHDR *o) { return fn(a, o); }; }
Op scalar(int (*fn)(ZVEKHDR *, ZVEKHDR *, float), float s) {
    return [=](ZVEKHDR *a, ZVEKHDR *, ZVEKHDR *o) { return fn(a, o, s); };
}
float angle(double y, double x) { return float(std::atan2(y, x)); }

}  // namespace

TEST(Elementwise, ValuesAndColourToGray) {
    // flinv scans backwards (a vector part and a tail; of +0 and -0 the first met
    // is the maximum); sqrt stops after its first chunk.
    Floats s1(70), s2(70), z17(100), z99(100), chunks(9000), roots(9000);
    for (int c = 0; c < 70; ++c) s1[c] = s2[c] = float((c * 37) % 70) - 20;
    for (int c = 0; c < 100; ++c) z17[c] = z99[c] = c % 2 ? -0.0f : 0.0f;
    for (int i = 0; i < 9000; ++i) chunks[i] = i == 5000 ? -2.0f : float(i) * 0.37f;
    for (int i = 0; i < 9000; ++i) roots[i] = i < 5000 ? float(std::sqrt(double(chunks[i]))) : 7.0f;
    s1[50] = s2[3] = 1000, s1[0] = s2[60] = -3000, z17[17] = z99[99] = -1;
    Floats m1 = s1, m2 = s2, m17 = z17, m99 = z99;  // what flinv makes of them
    for (int c = 0; c < 100; ++c) m1[c % 70] = 1000 - s1[c % 70], m2[c % 70] = 1000 - s2[c % 70];
    for (int c = 0; c < 100; ++c) m17[c] = -0.0f - z17[c], m99[c] = 0.0f - z99[c];
    const Floats a = {1, -6, 0.5f, 3}, b = {2, 3, 0, -3}, ca = {1, 2, 0.5f, -1}, cb = {3, 4, 2, 2};
    const std::string sq = "!! flsgrt error : Negative Value for Square Root !!\n", inv = "flinv: max = ";
    const std::string big = "1000.000000 min=-3000.000000\n";
    // NaNs of both signs in runs for vector loops: the NaN of b, then a; v, then s; the complex ones as named.
    const float P = nanOf(0x7fc00001), M = nanOf(0xffc00002);
    auto x13 = [](const Floats &v) {
        Floats r;
        for (int k = 0; k < 13; ++k) r.insert(r.end(), v.begin(), v.end());
        return r;
    };
    // name, operation, type, inputs, output, result, printed text, the output: 'o'
    // another image, 'a' or 'b' that input, 's' also both inputs
    const std::tuple<const char *, Op, const char *, Floats, Floats, Floats, int, std::string, char> rows[] = {
        {"abs", one(flabsolute), "float", {1.5f, -2, 0, -0.25f, -0.0f}, {}, {1.5f, 2, 0, 0.25f, 0}, 0, "", 'o'},
        {"abs in place", one(flabsolute), "float", {-1, 2, -3}, {}, {1, 2, 3}, 0, "", 'a'},
        {"adds", scalar(fladds, 0.25f), "float", {1.5f, -2, 0, -0.25f}, {}, {1.75f, -1.75f, 0.25f, 0}, 0, "", 'o'},
        {"adds in place", scalar(fladds, -1), "float", {1, 2, 3}, {}, {0, 1, 2}, 0, "", 'a'},
        {"mults", scalar(flmults, -2), "float", {1.5f, -2, 0, 1e30f}, {}, {-3, 4, -0.0f, -2e30f}, 0, "", 'o'},
        {"exp clamps at 255", scalar(flexp, 50), "float", {300, 0, 50, -50, 275}, {},
         {255, 1, float(std::exp(1.0)), float(std::exp(-1.0)), float(std::exp(5.5))}, 0, "", 'o'},
        {"ln 0 where not positive", one(flln), "float", {0, -3, 1, 10, 0.5f}, {},
         {0, 0, 0, float(std::log(10.0)), float(std::log(0.5))}, 0, "", 'o'},
        {"sqrt stops at a negative", one(flsqrt), "float", {4, -1, 9}, {}, {2, 7, 7}, 1, sq, 'o'},
        {"sqrt stops at NaN, not -0", one(flsqrt), "float", {4, -0.0f, kNaN, 16}, {}, {2, -0.0f, 7, 7}, 1, sq, 'o'},
        {"sqrt in place", one(flsqrt), "float", {0, 2.25f}, {}, {0, 1.5f}, 0, "", 'a'},
        {"sqrt over chunks", one(flsqrt), "float", chunks, {}, roots, 1, sq, 'o'},
        {"inv", one(flinv), "float", {10, 12, 20, 15}, {}, {10, 8, 0, 5}, 0, inv + "20.000000 min=10.000000\n", 'o'},
        {"inv below the seed", one(flinv), "float", {-2e7f, -3e7f}, {}, {1e7f, 2e7f}, 0,
         inv + "-10000000.000000 min=-30000000.000000\n", 'a'},
        {"inv max in the vector part", one(flinv), "float", s1, {}, m1, 0, inv + big, 'o'},
        {"inv max in the tail", one(flinv), "float", s2, {}, m2, 0, inv + big, 'o'},
        {"inv max -0", one(flinv), "float", z17, {}, m17, 0, inv + "-0.000000 min=-1.000000\n", 'o'},
        {"inv max +0", one(flinv), "float", z99, {}, m99, 0, inv + "0.000000 min=-1.000000\n", 'o'},
        {"add", fladdv, "float", a, b, {3, -3, 0.5f, 0}, 0, "", 'o'},
        {"mult", flmultv, "float", a, b, {2, -18, 0, -9}, 0, "", 'o'},
        {"div by 0 stands", fldivv, "float", a, b, {0.5f, -2, kInf, -1}, 0, "", 'o'},
        {"atan2", flatan2, "float", a, b, {angle(1, 2), angle(-6, 3), angle(0.5, 0), angle(3, -3)}, 0, "", 'o'},
        {"add into b", fladdv, "float", {1, 2}, {3, 4}, {4, 6}, 0, "", 'b'},
        {"square in place", flmultv, "float", {1, -2, 3}, {}, {1, 4, 9}, 0, "", 's'},
        {"copy", one(flcp), "float", a, {}, a, 0, "", 'o'},
        {"complex add", fladdv, "complex", ca, cb, {4, 6, 2.5f, 1}, 0, "", 'o'},
        {"complex mult", flmultv, "complex", ca, cb, {-5, 10, 3, -1}, 0, "", 'o'},
        {"complex div into a", fldivv, "complex", {-5, 10, 3, -1}, cb, ca, 0, "", 'a'},
        {"complex square in place", flmultv, "complex", {1, 2, 3, -1}, {}, {-3, 4, 8, -6}, 0, "", 's'},
        {"complex self quotient", fldivv, "complex", {1, 2}, {}, {1, 0}, 0, "", 's'},
        {"complex atan2 of both halves", flatan2, "complex", ca, cb,
         {angle(1, 3), angle(2, 4), angle(0.5, 2), angle(-1, 2)}, 0, "", 'o'},
        {"complex copy", one(flcp), "complex", ca, {}, ca, 0, "", 'o'},
        {"add, NaNs", fladdv, "float", x13({P, 1, P, M}), x13({M, M, 1, P}), x13({M, M, P, P}), 0, "", 'o'},
        {"mult, NaNs", flmultv, "float", x13({P, 1, P, M}), x13({M, M, 1, P}), x13({M, M, P, P}), 0, "", 'o'},
        {"adds a NaN", scalar(fladds, M), "float", x13({P, 1}), {}, x13({P, M}), 0, "", 'o'},
        {"mults by a NaN", scalar(flmults, M), "float", x13({P, 1}), {}, x13({P, M}), 0, "", 'o'},
        {"complex mult, NaNs: ar br - ai bi, ai br + ar bi", flmultv, "complex", x13({P, M, 1, 1, P, 1}),
         x13({1, 1, P, M, M, 1}), x13({P, M, P, P, P, M}), 0, "", 'o'},
        {"complex div, NaNs: (ai bi + ar br) / (br br + bi bi)", fldivv, "complex", x13({P, M, 1, 1}),
         x13({1, 1, P, M}), x13({M, M, M, P}), 0, "", 'o'},
    };
    for (const auto &[name, op, type, in1, in2, want, rc, text, outIs] : rows) {
        const int n = int(in1.size()) / (type[0] == 'c' ? 2 : 1);
        Img A = make(type, n, 1), B = make(type, n, 1), O = make(type, n, 1);
        std::copy(in1.begin(), in1.end(), px(A)), std::copy(in2.begin(), in2.end(), px(B));
        std::fill(px(O), px(O) + in1.size(), 7.0f);
        const Img &o = outIs == 'o' ? O : outIs == 'b' ? B : A;
        int result = -99;
        ZVEKHDR *second = outIs == 's' ? A.get() : B.get();
        EXPECT_EQ(said([&, &op = op] { result = op(A.get(), second, o.get()); }), text) << name;
        EXPECT_EQ(result, rc) << name;
        EXPECT_EQ(firstDiff(snap(o), want), -1) << name;
        EXPECT_TRUE(outIs != 'o' || firstDiff(snap(A), in1) + firstDiff(Floats(px(B), px(B) + in2.size()), in2) == -2)
            << name << ": input changed";
    }
    // Colour to gray: columns pure red, green and blue, row 1 all three; a byte
    // output is replaced by a float image.
    const float all = float(0.21 * 100.0 + 0.72 * 100.0 + 0.07 * 100.0);
    for (const char *type : {"float", "u8bit"}) {
        Img in = filled(type, 3, 2, 3, [](int f, int r, int c) { return (r == 1 || c == f) ? 100.0f : 0.0f; });
        ZVEKHDR *o = make(type, 3, 2).release();
        ASSERT_EQ(flcolor2gray(in.get(), &o), 0) << type;
        Img out(o);
        EXPECT_TRUE(out->dtype == DT_32FLT && out->vekndim == 2) << type;
        EXPECT_EQ(firstDiff(snap(out), {21, 72, float(0.07 * 100.0), all, all, all}), -1) << type;
    }
    const Floats rgb[3] = {{P, M, M}, {1, M, P}, {M, P, 1}};  // ((r + g) + b): the first NaN passes on
    Img in = filled("float", 39, 1, 3, [&](int f, int, int c) { return rgb[c % 3][f]; });
    ZVEKHDR *o = make("float", 39, 1).release();
    ASSERT_EQ(flcolor2gray(in.get(), &o), 0);
    EXPECT_EQ(firstDiff(snap(Img(o)), x13({P, M, M})), -1) << "colour to gray, NaNs";
}

TEST(Shifted, EveryPlacementAgainstTheRule) {
    // name, rows and columns of both images, frames, shift, types of both and the output
    using Types = const char *;
    const std::tuple<const char *, int, int, int, int, int, int, int, Types, Types, Types> rows[] = {
        {"rows down", 5, 5, 5, 5, 0, 2, 0, "float", "float", "float"},
        {"rows up, columns right", 5, 5, 5, 5, 0, -2, 3, "float", "float", "float"},
        {"wide, columns left", 6, 40, 3, 20, 0, 1, -7, "float", "float", "float"},
        {"second larger than the moved first", 3, 4, 10, 50, 0, -1, 2, "float", "float", "float"},
        {"colour", 4, 37, 4, 37, 3, 3, -5, "float", "float", "float"},
        {"beyond both images", 2, 3, 2, 3, 0, 0, -60, "float", "float", "float"},
        {"bytes and shorts into double", 3, 4, 3, 4, 0, -2, 1, "u8bit", "16bit", "double"},
        {"colour bytes into float", 4, 5, 3, 6, 3, 1, -2, "u8bit", "u8bit", "float"},
    };
    int (*const fns[])(ZVEKHDR *, ZVEKHDR *, ZVEKHDR *, int, int) = {fladdi, flsubi, flmuli, fldivi};
    // With d > 0 the second image moves by d, else the first by -d; samples
    // outside an image count as 0; a quotient by 0 is 255.
    auto sample = [](const Img &h, int f, int r, int c) {
        return r >= 0 && r < h->vekdims[1].dimlen && c >= 0 && c < h->vekdims[0].dimlen ? float(get(h, f, r, c)) : 0.f;
    };
    for (const auto &[name, ra, ca, rb, cb, frames, dr, dc, ta, tb, to] : rows) {
        Img a = filled(ta, ca, ra, frames, [](int f, int r, int c) { return 1.0f + f * 20 + r * 7 + c; });
        Img b = filled(tb, cb, rb, frames, [](int f, int r, int c) { return (r + c) % 3 ? 2.f + f * 9 + r + c : 0; });
        const int Ro = std::max(ra + std::abs(dr), rb), Co = std::max(ca + std::abs(dc), cb);
        for (int op = 0; op < 4; ++op) {
            Img out = make(to, Co, Ro, frames);
            ASSERT_EQ(fns[op](a.get(), b.get(), out.get(), dr, dc), 0) << name << " " << op;
            for (int f = 0; f < framesOf(a); ++f)
                for (int r = 0; r < Ro; ++r)
                    for (int c = 0; c < Co; ++c) {
                        const float va = sample(a, f, dr > 0 ? r : r + dr, dc > 0 ? c : c + dc);
                        const float vb = sample(b, f, dr > 0 ? r - dr : r, dc > 0 ? c - dc : c);
                        const float want[] = {va + vb, va - vb, va * vb, vb != 0.0f ? va / vb : 255.0f};
                        ASSERT_EQ(get(out, f, r, c), want[op]) << name << " " << op << " at " << f << r << "," << c;
                    }
        }
    }
    Img x = noisy(37, 5, 0, 9), y = noisy(37, 5, 0, 10);  // in place without a shift
    const Floats x0 = snap(x), y0 = snap(y);
    ASSERT_EQ(fldivi(x.get(), y.get(), x.get(), 0, 0), 0);
    for (size_t i = 0; i < x0.size(); ++i) EXPECT_EQ(px(x)[i], x0[i] / y0[i]) << "in place at " << i;
}
