// The pixel accessors, whole-image type conversion and the parts of complex images.
#include "imagelib_fixture.h"

#include <cmath>
#include <iterator>
#include <limits>

using namespace zt;
using Access = LibTest;

namespace {
const double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

// The 23 types with pixels, by hand: channels (1 planar, 3 or 4 interleaved), kind of component (signed, unsigned,
// float, complex), bytes.
struct TypeInfo { const char *name; int channels; char kind; int bytes; };
const TypeInfo kTypes[] = {
    {"8bit", 1, 's', 1}, {"u8bit", 1, 'u', 1}, {"16bit", 1, 's', 2}, {"u16bit", 1, 'u', 2}, {"32bit", 1, 's', 4},
    {"32flt", 1, 'f', 4}, {"64flt", 1, 'f', 8}, {"32cmp", 1, 'c', 4}, {"64cmp", 1, 'c', 8}, {"Su8bit3", 3, 'u', 1},
    {"S8bit3", 3, 's', 1}, {"Su8bit4", 4, 'u', 1}, {"S8bit4", 4, 's', 1}, {"Su16bit3", 3, 'u', 2},
    {"S16bit3", 3, 's', 2}, {"Su16bit4", 4, 'u', 2}, {"S16bit4", 4, 's', 2}, {"S32bit3", 3, 's', 4},
    {"S32bit4", 4, 's', 4}, {"S32flt3", 3, 'f', 4}, {"S32flt4", 4, 'f', 4}, {"S64flt3", 3, 'f', 8},
    {"S64flt4", 4, 'f', 8},
};
const TypeInfo &info(const ZVEKHDR *h) {
    auto named = [h](const TypeInfo &t) { return std::strcmp(t.name, h->vekdt) == 0; };
    return *std::find_if(std::begin(kTypes), std::end(kTypes), named);
}

// Component i of h as a double.
double component(const ZVEKHDR *h, int64_t i) {
    const TypeInfo &t = info(h);
    uint64_t u = 0;
    std::memcpy(&u, static_cast<const unsigned char *>(h->vekptr) + i * t.bytes, t.bytes);
    const int shift = 64 - 8 * t.bytes;
    float f;
    double d;
    return t.kind == 's' ? double(static_cast<int64_t>(u << shift) >> shift) : t.kind == 'u' ? double(u)
           : t.bytes == 4 ? (std::memcpy(&f, &u, 4), f) : (std::memcpy(&d, &u, 8), d);
}

// Stores v into component i as a value of its type, integers wrapped to their width (non-finite values as 0).
void setComponent(ZVEKHDR *h, int64_t i, double v) {
    const TypeInfo &t = info(h);
    unsigned char *p = static_cast<unsigned char *>(h->vekptr) + i * t.bytes;
    const float f = static_cast<float>(v);
    double w = std::isfinite(v) ? std::fmod(v, 18446744073709551616.0) : 0.0;
    w += w >= 9223372036854775808.0 ? -18446744073709551616.0 : w < -9223372036854775808.0 ? 18446744073709551616.0 : 0;
    const int64_t u = static_cast<int64_t>(w);
    std::memcpy(p, t.kind == 'f' || t.kind == 'c' ? (t.bytes == 4 ? static_cast<const void *>(&f) : &v) : &u, t.bytes);
}

int64_t components(const ZVEKHDR *h) { return Zvekdimen(h, ZVEK_NBYTES) / info(h).bytes; }
bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }
}  // namespace

// Every type: each put lands on the documented component (planar: frame x rows x columns + row x columns + column;
// interleaved: (row x columns + column) x channels + frame; complex: the real part), and every member reads it back;
// the 2-D members address frame 0 of planar types.
TEST_F(Access, EveryTypeIsAddressedAsDocumented) {
    const int C = 5, R = 3;
    for (const TypeInfo &t : kTypes) {
        const int F = t.channels > 1 ? t.channels : 3, parts = t.kind == 'c' ? 2 : 1;
        Img h(t.name, {C, R, F});
        ASSERT_EQ(h->vekbpd, t.bytes * parts) << t.name;
        std::vector<double> want(static_cast<size_t>(C) * R * F * parts, 0.0), got;
        for (int f = 0; f < F; ++f)
            for (int r = 0; r < R; ++r)
                for (int c = 0; c < C; ++c) {
                    const int v = 1 + f * 20 + r * 6 + c;  // fits every type
                    ASSERT_EQ(Zvekfpp3d(h, f, r, c, v), -1) << t.name;
                    want[(t.channels > 1 ? (r * C + c) * t.channels + f : (f * R + r) * C + c) * parts] = v;
                }
        for (int i = 0; i < C * R * F; ++i) {
            const int f = i / (C * R), r = i / C % R, c = i % C, v = 1 + f * 20 + r * 6 + c;
            std::vector<double> got{Zvekfgp3d(h, f, r, c), double(Zvekigp3d(h, f, r, c))};
            if (t.channels == 1 && f == 0) got.insert(got.end(), {Zvekfgp(h, r, c), double(Zvekigp(h, r, c))});
            EXPECT_EQ(got, std::vector<double>(got.size(), v)) << t.name << " " << i;
        }
        for (size_t i = 0; i < want.size(); ++i) got.push_back(component(h, i));
        EXPECT_EQ(got, want) << t.name;
        ASSERT_EQ(Zvekipp3d(h, F - 1, R - 1, C - 1, 99), -1);
        EXPECT_EQ(component(h, static_cast<int64_t>(want.size()) - parts), 99.0) << t.name;
        if (t.channels == 1) {
            ASSERT_EQ(Zvekipp(h, 0, 1, 77), -1) << t.name;
            EXPECT_EQ(Zvekfgp3d(h, 0, 0, 1), 77) << t.name;
        }
    }
    EXPECT_EQ(Zvekerr, 0);
}

// Reads widen by the component's sign, the int members truncate toward zero and saturate (NaN 0), complex data read the
// real part. Stores keep the low bits of the value truncated toward zero (NaN 0, beyond 64 bits saturated first),
// floats are narrowed; the neighbours stay.
TEST_F(Access, ReadAndStoreRules) {
    const int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
    struct Read { const char *type; double raw, asDouble; int asInt; };
    const Read reads[] = {
        {"8bit", 255, -1, -1}, {"u8bit", 255, 255, 255}, {"u16bit", 65535, 65535, 65535},
        {"16bit", 40000, -25536, -25536}, {"float", -2.7, double(-2.7f), -2}, {"float", 2.7, double(2.7f), 2},
        {"float", -0.9, double(-0.9f), 0}, {"float", kNan, kNan, 0}, {"float", 1e10, double(1e10f), kMax},
        {"float", -1e10, double(-1e10f), kMin}, {"float", -kInf, -kInf, kMin}, {"64cmp", -7.5, -7.5, -7},
    };
    for (const Read &r : reads) {
        Img h(r.type, {2, 2});
        setComponent(h, h->dtype == DT_64CMP ? 6 : 3, r.raw);
        if (h->dtype == DT_64CMP) setComponent(h, 7, 100.0);
        EXPECT_TRUE(same(Zvekfgp(h, 1, 1), r.asDouble)) << r.type << " " << r.raw;
        EXPECT_EQ(Zvekigp(h, 1, 1), r.asInt) << r.type << " " << r.raw;
    }
    struct Store { const char *type; double v, stored; bool viaInt = false; };
    const Store stores[] = {
        {"u8bit", 300.7, 44}, {"u8bit", -1.0, 255}, {"u8bit", 65537, 1}, {"u8bit", -129.5, 127},
        {"u8bit", 1e10 + 5, 5}, {"u8bit", 0.99, 0}, {"u8bit", -0.99, 0}, {"u8bit", kNan, 0},
        {"u8bit", kInf, 255}, {"u8bit", -kInf, 0}, {"u8bit", 1e30, 255}, {"u8bit", -1e30, 0},
        {"8bit", 300.7, 44}, {"8bit", 200, -56}, {"8bit", -129.5, 127}, {"u16bit", -1, 65535},
        {"u16bit", 1e10 + 5, 58373}, {"u16bit", kInf, 65535}, {"16bit", 65537.9, 1},
        {"16bit", 40000, -25536}, {"16bit", 1e10 + 5, -7163}, {"32bit", 1e10 + 5, 1410065413},
        {"32bit", -1e10, -1410065408}, {"32bit", 3e9, -1294967296}, {"32bit", -2.5, -2},
        {"32bit", kInf, -1}, {"32bit", -kInf, 0}, {"32bit", kNan, 0}, {"32flt", 0.1, double(0.1f)},
        {"64flt", -1e300, -1e300}, {"u8bit", 300, 44, 1}, {"u8bit", -1, 255, 1}, {"8bit", 255, -1, 1},
        {"16bit", 70000, 4464, 1}, {"u16bit", -2, 65534, 1}, {"32bit", -123456789, -123456789, 1},
        {"32flt", 16777217, 16777216, 1}, {"64flt", 2147483647, 2147483647, 1},
    };
    for (const Store &r : stores) {
        Img h(r.type, {2, 2});
        EXPECT_EQ(r.viaInt ? Zvekipp(h, 1, 0, static_cast<int>(r.v)) : Zvekfpp(h, 1, 0, r.v), -1);
        const std::vector<double> got{component(h, 1), component(h, 2), component(h, 3)};
        EXPECT_EQ(got, (std::vector<double>{0, r.stored, 0})) << r.type << " <- " << r.v << (r.viaInt ? " (int)" : "");
    }
}

TEST_F(Access, RefusalsAnswerZeroWithTheirReport) {
    Img st("struct", {2, 2}, 4), bare("float", {4, 4}, 0, 0), bad("float", {2, 2}), odd("float", {2, 2});
    Img rgb("Su8bit3", {2, 2, 3});
    std::memcpy(bad->vekmagic, "XYZ", 4);
    odd->dtype = 517, st.data()[0] = 7, bad.data<float>()[0] = 4.5f;
    auto each = [](const std::string &what, std::string s = "") {
        for (std::string n : {"fgp", "fgp3d", "igp", "igp3d", "fpp", "fpp3d", "ipp", "ipp3d"})
            s += "Zvek" + n + ": " + what + "\n";
        return s;
    };
    // With the header check off a null header draws the size query's reports (two for the frame/row/column members) and
    // is never dereferenced.
    std::string unchecked = report("Zvekdimen: NULL passed as image header.", 8);
    for (int i = 0; i < 11; ++i) unchecked += "\nZvekdimen: NULL passed as image header.\n";
    const std::string type = "unrecognized or illegal data type.";
    struct Row { ZVEKHDR *h; int chk, level; std::string err; int code; };
    const Row rows[] = {
        {st, 1, 8, each(type), ZVEK_EDTYPE}, {odd, 1, 8, each(type), ZVEK_EDTYPE},
        {nullptr, 1, 8, each("Image header is NULL"), ZVEK_ENULL}, {nullptr, 1, 1, "", ZVEK_ENULL},
        {nullptr, 0, 8, unchecked, ZVEK_ENULL}, {bad, 1, 8, each("Invalid image header (bad magic no.)"), ZVEK_EBADHDR},
        {bare, 1, 8, each("image has no pixel data."), ZVEK_EBADHDR},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row &r = rows[i];
        auto all = [&] {
            ZVEKCHK = r.chk, ZVEKSLV = r.level;
            const std::vector<double> got{Zvekfgp(r.h, 0, 0), Zvekfgp3d(r.h, 0, 0, 0), double(Zvekigp(r.h, 0, 0)),
                                          double(Zvekigp3d(r.h, 0, 0, 0)), double(Zvekfpp(r.h, 0, 0, 1.0)),
                                          double(Zvekfpp3d(r.h, 0, 0, 0, 1.0)), double(Zvekipp(r.h, 0, 0, 1)),
                                          double(Zvekipp3d(r.h, 0, 0, 0, 1))};
            return got != std::vector<double>(8, 0.0);
        };
        EXPECT_EQ(run(all), (Outcome{0, "", r.err, r.code})) << "row " << i;
    }
    EXPECT_EQ(st.data()[0] * 10 + bad.data<float>()[0], 74.5) << "a refused put stores nothing";
    // The 2-D members handle the plain types only, even with the check off.
    EXPECT_EQ(run([&] { ZVEKCHK = 0; int v[] = {Zvekigp(rgb, 0, 0), Zvekfpp(rgb, 0, 0, 5.0)}; return v[0] | v[1]; }),
              (Outcome{0, "", "Zvekigp: " + type + "\nZvekfpp: " + type + "\n", ZVEK_EDTYPE}));
    std::memcpy(bad->vekmagic, "VEK", 4);  // a valid magic too
    EXPECT_EQ(Zvekfgp(bad, 0, 0), (odd->dtype = DT_32FLT, 4.5));
    // The frame/row/column members on a 1-D image: the rows query reports, and the pixel is still read and written in
    // place.
    Img line("16bit", {6});
    const std::string invalid = "Zvekdimen: Invalid dimension to get length of.";
    EXPECT_EQ(run([&] { return Zvekfpp3d(line, 0, 0, 4, -9.0), Zvekfgp3d(line, 0, 0, 4); }),
              (Outcome{-9, "", report(invalid, 8192) + "\n" + invalid + "\n", 8192}));
    EXPECT_EQ(line.data<int16_t>()[4], -9);
}

namespace {
const char *const kConvTypes[] = {"8bit", "u8bit", "16bit", "u16bit", "32bit", "32flt", "64flt",
                                  "S8bit3", "Su8bit3", "S16bit3", "Su16bit3", "S32bit3", "S32flt3", "S64flt3"};
// Fractions, the edges of each integer range, values beyond 2^24, 2^31 and 2^63, and the non-finite ones.
const std::vector<double> kProbes = {
    0.0, 1.0, -1.0, 0.5, -0.5, 2.7, -2.7, 127.0, 128.0, -128.0, -129.0, 255.0, 256.0, 300.7, -300.7, 32767.0, 32768.0,
    -32768.0, 65535.0, 65537.25, -65537.25, 16777217.0, -16777217.0, 2147483647.0, -2147483648.0, 2147483648.0, 3e9,
    -3e9, 1.5e10, -1.5e10, 9.3e18, -9.3e18, 1e30, -1e30, 123456789.0, 1e-3, kNan, kInf, -kInf, 3.4e38, 1e300};
}  // namespace

// Every pair of types on a small image of probe values, and every plain pair on a large one whose blocks are mostly
// inside the int32 range (the vector road) with a few far outside (the general road), against the per-pixel rule
// through the accessors (read as double, through a float, put back); the same in place.
TEST_F(Access, ConversionOfEveryPairMatchesThePerPixelRule) {
    std::vector<double> inside;
    for (double v : kProbes) if (std::fabs(v) < 2e9) inside.push_back(v);
    for (const char *src : kConvTypes)
        for (const char *dst : kConvTypes)
            for (int large = 0; large < 2; ++large) {
                if (large && (src[0] == 'S' || dst[0] == 'S')) continue;
                const int C = large ? 61 : 5, R = large ? 37 : 3, F = large ? 2 : 3;
                Img in(src, {C, R, F}), out(dst, {C, R, F}), ref(dst, {C, R, F});
                const int64_t n = components(in);
                const std::vector<double> &values = large ? inside : kProbes;
                for (int64_t i = 0; i < n; ++i) setComponent(in, i, values[i % values.size()]);
                // The first element of one 512-element block and the last of another lie outside.
                if (large && info(in).kind == 'f') setComponent(in, 512, -1e19), setComponent(in, 1535, kNan);
                if (large && in->dtype == DT_32BIT) setComponent(in, 512, 2147483647.0);  // 2^31 as a float
                ASSERT_EQ(Zvekany2any(in, out), 0);
                for (int f = 0; f < F; ++f)
                    for (int r = 0; r < R; ++r)
                        for (int c = 0; c < C; ++c) Zvekfpp3d(ref, f, r, c, static_cast<float>(Zvekfgp3d(in, f, r, c)));
                ASSERT_EQ(out.bytes(), ref.bytes()) << src << " -> " << dst << (large ? " large" : "");
                if (std::strcmp(src, dst) == 0) {
                    EXPECT_EQ((Zvekany2any(in, in), in.bytes()), out.bytes()) << src << " in place";
                }
            }
    // Single values against results worked out by hand.
    struct Row { const char *src; double v; const char *dst; double want; };
    const Row rows[] = {
        {"float", 65537.75, "16bit", 1}, {"float", 300, "u8bit", 44}, {"float", -1, "u8bit", 255},
        {"float", -2.9, "16bit", -2}, {"float", -2.9, "u8bit", 254}, {"16bit", -1, "u8bit", 255},
        {"16bit", 258, "u8bit", 2}, {"16bit", -32768, "float", -32768}, {"32bit", 16777217, "64flt", 16777216},
        {"32bit", -16777217, "64flt", -16777216}, {"32bit", 2147483647, "64flt", 2147483648.0},
        {"32bit", 2147483647, "32bit", -2147483648.0}, {"64flt", 0.1, "64flt", double(0.1f)},
        {"64flt", 1 + 1e-12, "64flt", 1}, {"float", kNan, "u8bit", 0}, {"float", kNan, "32bit", 0},
        {"float", kInf, "u8bit", 255}, {"float", kInf, "32bit", -1}, {"float", -kInf, "32bit", 0},
        {"float", 1e30, "u8bit", 255}, {"float", 4294967808.0, "32bit", 512},
    };
    for (const Row &r : rows) {
        Img in(r.src, {1}), out(r.dst, {1});
        setComponent(in, 0, r.v);
        ASSERT_EQ(Zvekany2any(in, out), 0);
        EXPECT_EQ(component(out, 0), r.want) << r.src << " " << r.v << " -> " << r.dst;
    }
}

TEST_F(Access, ConversionShapesAndRefusals) {
    using Lens = std::vector<int32_t>;
    struct Row { const char *a; Lens al; const char *b; Lens bl; int result; std::string err; int code; };
    const std::string type = "Zvekany2any: unrecognized or illegal data type.\n";
    const std::string null = "Zvekdimen: NULL passed as image header.";
    const Row rows[] = {
        {"u8bit", {1000}, "float", {1000}, 0, "", 0},  // 1-D: every element
        {"float", {1000}, "16bit", {1000, 1}, 0, "", 0},  // 1-D and one row
        {"float", {3, 2}, "16bit", {3, 2, 2}, 0, "", 0},  // into frame 0 of a 3-D image
        {"u8bit", {1000}, "16bit", {999}, -1, "", 0},
        {"16bit", {3, 2, 2}, "float", {3, 2}, -1, report("Zvekdimen: Invalid dimension to get length of.", 8192), 8192},
        {"32cmp", {2, 2}, "float", {2, 2}, -2, "", 0}, {"float", {2, 2}, "32cmp", {2, 2}, -2, "", 0},
        {"64cmp", {2, 2}, "float", {2, 2}, -2, "", 0}, {"float", {2, 2}, "64cmp", {2, 2}, -2, "", 0},
        {"32cmp", {2, 2}, "float", {3, 2}, -1, "", 0},  // sizes before types
        {"struct", {4, 4}, "float", {4, 4}, -3, type, ZVEK_EDTYPE},
        {"float", {4, 4}, "struct", {4, 4}, -3, type, ZVEK_EDTYPE},
        {"float", {4, 4}, "Su8bit3", {4, 4}, -3, type, ZVEK_EDTYPE},  // interleaved without its frames
        {"Su8bit3", {4, 4}, "float", {4, 4}, -3, type, ZVEK_EDTYPE},
        // Two pixels with one frame fewer than channels: the last channel would be one element past the data.
        {"S8bit4", {2, 1, 3}, "u8bit", {2, 1, 3}, -3, type, ZVEK_EDTYPE},
        {"float", {1, 2, 2}, "Su16bit3", {1, 2, 2}, -3, type, ZVEK_EDTYPE},
        {"bare", {4, 4}, "float", {4, 4}, -3, "Zvekany2any: image has no pixel data.\n", ZVEK_EBADHDR},
        {nullptr, {}, "float", {4, 4}, -1, report(null, 8), 8}, {"float", {4, 4}, nullptr, {}, -1, report(null, 8), 8},
        {"float", {4, 4}, "XYZ", {4, 4}, -1, report("Zvekdimen: Bad image header.", 24), 24},
    };
    auto make = [](const char *t, const Lens &l, int seed) {
        if (!t) return Img(nullptr);
        const bool bare = !std::strcmp(t, "bare");
        Img h(bare || !std::strcmp(t, "XYZ") ? "float" : t, l, 6, bare ? 0 : 11);
        for (int64_t i = 0; h.h && h->vekptr && h->dtype != DT_STRUCT && i < components(h); ++i)
            setComponent(h, i, i * seed + 3);
        return h;
    };
    for (const Row &r : rows) {
        Img a = make(r.a, r.al, 7), b = make(r.b, r.bl, 5);
        const Bytes before = b.h && b->vekptr ? b.bytes() : Bytes();
        const bool badB = r.b && !std::strcmp(r.b, "XYZ");
        if (badB) std::memcpy(b->vekmagic, "XYZ", 4);
        const std::string what = std::string(r.a ? r.a : "null") + " -> " + (r.b ? r.b : "null");
        EXPECT_EQ(run([&] { return Zvekany2any(a, b); }), (Outcome{r.result, "", r.err, r.code})) << what;
        if (badB) std::memcpy(b->vekmagic, "ZVE", 4);
        if (!b.h || !b->vekptr) continue;
        // Small integers, exact in both types, go over; the rest stays.
        const int64_t n = r.result ? 0 : components(a);
        for (int64_t i = 0; i < n; ++i) ASSERT_EQ(component(b, i), component(a, i)) << what << " " << i;
        const Bytes after = b.bytes();
        const long k = n * b->vekbpd;
        EXPECT_EQ(Bytes(after.begin() + k, after.end()), Bytes(before.begin() + k, before.end())) << what;
    }
}

TEST_F(Access, ComplexParts) {
    Img c("32cmp", {3, 2});
    const float v[12] = {300.5f, -2.0f, -4.0f, 17.9f, 12.7f, 40000.9f, float(kNan), 255.5f, 3.0f, 4.0f, 0.0f, 1.0f};
    std::memcpy(c.data(), v, sizeof v);
    auto mag = [](float re, float im) { return std::sqrt(double(re * re + im * im)); };  // the sum in float
    const double m0 = mag(300.5f, -2), m1 = mag(-4, 17.9f), m2 = mag(12.7f, 40000.9f);
    struct Row { int (*fn)(ZVEKHDR *, ZVEKHDR *); const char *type; std::vector<double> want; const char *out; };
    const Row rows[] = {
        {Zvekc2real, "u8bit", {255, 0, 12, 0, 3, 0}, ""},  // clamped to 0..255
        {Zvekc2imag, "u8bit", {0, 17, 255, 255, 4, 1}, ""}, {Zvekc2mag, "u8bit", {255, 18, 255, 0, 5, 1}, ""},
        {Zvekc2phase, "u8bit", {0, 1, 1, 0, 0, 1}, ""}, {Zvekc2imag, "16bit", {-2, 17, -25536, 255, 4, 1}, ""},
        {Zvekc2real, "float", {300.5, -4, 12.7f, kNan, 3, 0}, ""},
        {Zvekc2mag, "float", {float(m0), float(m1), float(m2), kNan, 5, 1}, "c2mag:incomplex outreal\n"},
        {Zvekc2mag, "64flt", {m0, m1, m2, kNan, 5, 1}, ""},
        {Zvekc2phase, "float",
         {float(std::atan2(-2.0, 300.5)), float(std::atan2(double(17.9f), -4.0)),
          float(std::atan2(double(40000.9f), double(12.7f))), kNan, float(std::atan2(4.0, 3.0)), float(M_PI / 2)}, ""},
        {Zvekc2imag, "32cmp", {-2, 9, 17.9f, 9, 40000.9f, 9, 255.5, 9, 4, 9, 1, 9}, ""},  // the real parts only
    };
    for (size_t k = 0; k < std::size(rows); ++k) {
        Img out(rows[k].type, {3, 2});
        for (int64_t i = 0; i < components(out); ++i) setComponent(out, i, 9);
        EXPECT_EQ(run([&] { return rows[k].fn(c, out); }), (Outcome{0, rows[k].out, "", 0})) << "row " << k;
        for (size_t i = 0; i < rows[k].want.size(); ++i)
            EXPECT_TRUE(same(component(out, i), rows[k].want[i])) << "row " << k << " " << i;
    }
    // The first frame of a 3-D image; a 1-D pair.
    Img c3("32cmp", {2, 1, 2}), f2("float", {2, 1}), c1("32cmp", {3}), f1("float", {3});
    const float v3[8] = {1, 10, 2, 20, 3, 30, 4, 40};
    std::memcpy(c3.data(), v3, sizeof v3), std::memcpy(c1.data(), v3, 6 * sizeof(float));
    EXPECT_EQ(run([&] { return Zvekc2imag(c3, f2) + Zvekc2real(c1, f1); }), (Outcome{0, "", "", 0}));
    EXPECT_EQ(std::make_tuple(component(f2, 0), component(f2, 1), component(f1, 2)), std::make_tuple(10.0, 20.0, 3.0));
    Img f("float", {3, 2}), wide("float", {4, 2}), z("64cmp", {3, 2}), st("struct", {3, 2}, 4), rgb("Su8bit3", {3, 2});
    const std::string notComplex = "Zvekc2mag: Input data type not complex\n";
    const std::string type = "unrecognized or illegal data type.\n";
    EXPECT_EQ(run([&] { return Zvekc2mag(c, wide) + Zvekc2real(z, f) + Zvekc2real(c, z); }), (Outcome{-5, "", "", 0}));
    EXPECT_EQ(run([&] { return Zvekc2real(f, f) + Zvekc2imag(f, f) + Zvekc2mag(f, f) + Zvekc2phase(f, f); }),
              (Outcome{-8, "", notComplex + notComplex + notComplex + notComplex, 0}));
    EXPECT_EQ(run([&] { return Zvekc2real(c, st); }), (Outcome{-3, "", "Zvekc2real: " + type, ZVEK_EDTYPE}));
    EXPECT_EQ(run([&] { return Zvekc2phase(c, rgb); }), (Outcome{-3, "", "Zvekc2phase: " + type, ZVEK_EDTYPE}));
}
