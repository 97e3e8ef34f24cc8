// Video scaling onto bytes and the colour maps.
#include "imagelib_fixture.h"

#include <cmath>
#include <limits>

using namespace zt;
using Video = LibTest;

namespace {
// One running scan from -1e6 / 1e6, then the low byte of (v - min) x 255 / (max - min), the difference in float, the
// product in double kept as a float.
template <typename T>
Bytes referenceScale(const T *p, size_t n, size_t stride, float &mx, float &mn) {
    mx = -1e6f, mn = 1e6f;
    for (size_t i = 0; i < n; ++i) mx = std::max(mx, float(p[i * stride])), mn = std::min(mn, float(p[i * stride]));
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = uint8_t(static_cast<long long>(float((float(p[i * stride]) - mn) * (255.0 / (mx - mn)))));
    return out;
}
}  // namespace

TEST_F(Video, ScaleValuesLinesAndRefusals) {
    // in: the components; want: the output bytes, empty when left alone (all 5); mn, mx: -7, -8 when left alone;
    // outLens: empty for the input's.
    using Lens = std::vector<int>;
    struct Row { const char *what, *type; Lens lens; std::vector<double> in; const char *outType; int perFrame, result;
                 std::string out; std::vector<int> want{}; float mn = -7, mx = -8; Lens outLens{}; };
    const std::string same = "all pixels are the same brightness\n", vs = "Zvekvidscale: ";
    const Row rows[] = {
        {"float", "float", {3, 1}, {0, 10, 5}, "u8bit", 0, 0, "", {0, 255, 127}, 0, 10},
        {"constant", "float", {2, 2}, {3.5, 3.5, 3.5, 3.5}, "u8bit", 0, 0, "Cannot vidscale, " + same},
        {"minimum never moved", "float", {3}, {2e6, 3e6, 2.5e6}, "u8bit", 0, 0, "", {127, 255, 191}, 1e6, 3e6},
        {"maximum never moved", "float", {3}, {-2e6, -3e6, -4e6}, "u8bit", 0, 0, "", {170, 85, 0}, -4e6, -1e6},
        {"3-D as a whole", "16bit", {2, 1, 2}, {100, 200, 300, 1100}, "u8bit", 0, 0, "", {0, 25, 51, 255}, 100, 1100},
        {"by frame, float", "float", {2, 1, 3}, {0, 4, 7, 7, 10, 20}, "u8bit", 1, 0,
         vs + "image is 3D float, frame-independent scaling\nZvekvidscale frame 0\nZvekvidscale frame 1\n"
              "Cannot vidscale frame 1, " + same + "Zvekvidscale frame 2\n", {0, 255, 5, 5, 0, 255}, 10, 20},
        {"by frame", "16bit", {2, 1, 2}, {3, 3, -1, 1}, "u8bit", 1, 0, "Cannot vidscale frame 0, " + same,
         {5, 5, 0, 255}, -1, 1},
        {"last frame constant", "16bit", {2, 1, 2}, {-1, 1, 6, 6}, "u8bit", 1, 0, "Cannot vidscale frame 1, " + same,
         {0, 255, 5, 5}, 6, 6},
        {"no output", "float", {3, 2}, {}, nullptr, 0, -1, vs + "output image must already exist\n"},
        {"output not bytes", "float", {3, 2}, {}, "16bit", 0, -1, vs + "output image must be unsigned byte\n"},
        {"no input", nullptr, {}, {}, "u8bit", 0, -1, vs + "input image is null\n", {}, -7, -8, {3, 2}},
        {"frames of 2-D", "float", {3, 2}, {}, "u8bit", 1, -1,
         vs + "3d switch is set, but image is not 3d. Must exit\n"},
        {"dimensions", "float", {3, 2}, {}, "u8bit", 0, -1, vs + "input and output images have different dimensions.\n",
         {}, -7, -8, {6}},
        {"sizes", "float", {3, 2}, {}, "u8bit", 0, -1, vs + "input and output images have different sizes.\n",
         {}, -7, -8, {3, 3}},
        {"type", "Su8bit3", {3, 2}, {}, "u8bit", 0, -2, "Data type not recognized.\n"},
    };
    for (const Row &r : rows) {
        Img in = r.type ? Img(r.type, r.lens) : Img(nullptr);
        Img out = r.outType ? Img(r.outType, r.outLens.empty() ? r.lens : r.outLens) : Img(nullptr);
        for (size_t i = 0; i < r.in.size(); ++i) {
            if (in->dtype == DT_32FLT) in.data<float>()[i] = static_cast<float>(r.in[i]);
            else in.data<int16_t>()[i] = int16_t(r.in[i]);
        }
        if (out.h && out->vekptr) std::memset(out.data(), 5, Zvekdimen(out, ZVEK_NBYTES));
        float mn = -7, mx = -8;
        EXPECT_EQ(run([&] { return Zvekvidscale(in, out, &mn, &mx, r.perFrame); }), (Outcome{r.result, r.out, "", 0}))
            << r.what;
        const Bytes got = out.h && out->dtype == DT_U8BIT ? out.bytes() : Bytes();
        EXPECT_EQ(std::make_tuple(mn, mx, std::vector<int>(got.begin(), got.end())),
                  std::make_tuple(r.mn, r.mx, r.want.empty() ? std::vector<int>(got.size(), 5) : r.want)) << r.what;
    }
}

// A few thousand values of every type (every vector lane and the tail) against one running scan, bit for bit; zeros,
// NaN and infinities.
TEST_F(Video, ScaleMatchesTheRunningScan) {
    const int cols = 61, rows = 67;
    const size_t n = size_t(cols) * rows;
    auto check = [&](const char *type, auto tag, double lo, double hi) {
        using T = decltype(tag);
        Img in(type, {cols, rows}), out("u8bit", {cols, rows});
        const size_t stride = in->vekbpd / sizeof(T);  // 2 for the complex types
        T *p = in.data<T>();
        unsigned x = 12345;
        for (size_t i = 0; i < n; ++i)
            p[i * stride] = static_cast<T>(lo + ((x = x * 1103515245u + 12345u) >> 8) / double(1 << 24) * (hi - lo));
        float rmx, rmn, mx = 0, mn = 0;
        const Bytes want = referenceScale(p, n, stride, rmx, rmn);
        ASSERT_EQ(Zvekvidscale(in, out, &mn, &mx, 0), 0) << type;
        EXPECT_EQ(std::make_tuple(mx, mn, out.bytes()), std::make_tuple(rmx, rmn, want)) << type;
    };
    check("8bit", int8_t{}, -128, 127), check("u8bit", uint8_t{}, 0, 255), check("16bit", int16_t{}, -30000, 30000);
    check("u16bit", uint16_t{}, 0, 65535), check("32bit", int32_t{}, -3e6, 2e7), check("float", float{}, -1.5, 2.25);
    check("double", double{}, -1e7, 1e-3), check("complex", float{}, 0.5, 0.75), check("64cmp", double{}, -9, 9);
    // A running scan keeps the sign of the first zero that reached an extreme.
    Img in("float", {20}), out("u8bit", {20});
    float *p = in.data<float>(), mn, mx;
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 20; ++i) p[i] = k < 2 ? -1.0f - i : 1.0f + i;
        p[k < 2 ? 3 : 9] = k == 0 || k == 2 ? -0.0f : 0.0f;
        p[k < 2 ? 11 : 17] = k == 0 || k == 2 ? 0.0f : -0.0f;
        ASSERT_EQ(Zvekvidscale(in, out, &mn, &mx, 0), 0);
        EXPECT_EQ(std::make_pair(k < 2 ? mx : mn, std::signbit(k < 2 ? mx : mn)), std::make_pair(0.0f, k != 1)) << k;
    }
    // NaN moves neither end and gives 0; an infinite range makes the scale zero, and every value 0.
    Img nan("float", {37}), o37("u8bit", {37});
    for (int i = 0; i < 37; ++i) nan.data<float>()[i] = (i == 0 || i == 20 || i == 36) ? NAN : float(i % 5);
    ASSERT_EQ(Zvekvidscale(nan, o37, &mn, &mx, 0), 0);
    EXPECT_EQ(std::make_pair(mn, mx), std::make_pair(0.0f, 4.0f));
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(o37.data()[i], std::isnan(nan.data<float>()[i]) ? 0 : int(float(i % 5) * (255.0 / 4.0))) << i;
    nan.data<float>()[7] = INFINITY, nan.data<float>()[30] = -INFINITY;
    ASSERT_EQ(Zvekvidscale(nan, o37, &mn, &mx, 0), 0);
    EXPECT_TRUE(std::isinf(mx) && std::isinf(mn));
    EXPECT_EQ(o37.bytes(), Bytes(37, 0));
}

namespace {
std::vector<int> rgb(const unsigned char *m, int j) { return {m[j], m[256 + j], m[512 + j]}; }
}  // namespace

TEST_F(Video, ColourMaps) {
    unsigned char maps[7][768];
    for (int no = 0; no < 7; ++no) CreateColorMap(maps[no], nullptr, no);
    struct Row { int map, j, r, g, b; };  // entry j of a map: red, green, blue
    const Row rows[] = {
        {1, 0, 0, 0, 0}, {1, 1, 255, 255, 255}, {1, 128, 128, 128, 128}, {1, 255, 1, 1, 1}, {5, 0, 0, 0, 0},
        {5, 1, 31, 31, 31}, {5, 3, 63, 63, 63}, {5, 9, 105, 105, 105}, {5, 15, 127, 127, 127}, {5, 99, 211, 211, 211},
        {5, 255, 255, 255, 255}, {2, 0, 0, 0, 0}, {2, 23, 0, 0, 0}, {2, 24, 160, 160, 160}, {2, 49, 160, 160, 160},
        {2, 50, 150, 135, 0}, {2, 74, 0, 0, 215}, {2, 100, 0, 195, 0}, {2, 125, 0, 240, 240}, {2, 150, 240, 0, 240},
        {2, 175, 255, 175, 0}, {2, 223, 255, 252, 0}, {2, 224, 255, 255, 255}, {2, 255, 255, 255, 255}, {4, 0, 0, 0, 0},
        {4, 3, 0, 0, 15}, {4, 35, 0, 0, 255}, {4, 36, 0, 0, 255}, {4, 40, 0, 30, 255}, {4, 100, 0, 255, 45},
        {4, 120, 90, 255, 0}, {4, 160, 255, 135, 0}, {4, 200, 255, 0, 150}, {4, 216, 255, 0, 255},
        {4, 230, 255, 93, 255}, {4, 255, 255, 255, 255}, {6, 0, 27, 131, 124}, {6, 1, 153, 94, 65},
        {6, 127, 192, 146, 106}, {6, 128, 27, 131, 124}, {6, 255, 192, 146, 106},
    };
    for (const Row &e : rows)
        EXPECT_EQ(rgb(maps[e.map], e.j), std::vector<int>({e.r, e.g, e.b})) << "map " << e.map << " entry " << e.j;
    for (int j = 0; j < 256; ++j) {
        EXPECT_EQ(rgb(maps[0], j), std::vector<int>(3, j)) << j;
        EXPECT_EQ(rgb(maps[1], j), std::vector<int>(3, (256 - j) % 256)) << j;
        // Hot metal: the ramps in exact integers on the odd value of each pair.
        const int i = 2 * (j / 2) + 1;
        EXPECT_EQ(rgb(maps[3], j), (std::vector<int>{i < 182 ? 255 * i / 182 : 255,
                                                     i < 128 ? 0 : i <= 218 ? 255 * (i - 128) / 91 : 255,
                                                     i < 192 ? 0 : 255 * (i - 192) / 64})) << j;
        EXPECT_EQ(rgb(maps[6], j), rgb(maps[6], j % 128)) << j;
    }
    // Map 6 beyond its three given colours: the table as shipped.
    uint64_t sum = 0;
    for (int i = 0; i < 768; ++i) sum += static_cast<uint64_t>(i + 1) * maps[6][i];
    EXPECT_EQ(sum, 41395240u);
    for (int no = -1; no <= 7; ++no) {  // nothing written beyond the 768 bytes; unknown numbers write nothing
        Bytes buf(1024, 0xAB);
        CreateColorMap(buf.data(), nullptr, no);
        const long written = no < 0 || no > 6 ? 0 : 768;
        EXPECT_EQ(Bytes(buf.begin() + written, buf.end()), Bytes(1024 - written, 0xAB)) << no;
    }
    // Colouring an image: values clamped to 0..255, each plane from its map; an unknown map colours black; the refusals
    // with their lines.
    Img in("float", {3, 2}), s("16bit", {3, 2}), out("u8bit", {3, 2, 3}), out2("u8bit", {3, 2, 3});
    const float v[6] = {-5.0f, 300.0f, 10.7f, 128.0f, 255.0f, 0.0f};
    const int idx[6] = {0, 255, 10, 128, 255, 0};
    for (int i = 0; i < 6; ++i) in.data<float>()[i] = v[i], s.data<int16_t>()[i] = static_cast<int16_t>(v[i]);
    unsigned char map[768];
    CreateColorMap(map, nullptr, 3);
    ASSERT_EQ(Zvekcolormap(in, out, 3) + Zvekcolormap(s, out2, 3), 0);
    for (int i = 0; i < 6; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out.data()[6 * c + i], map[256 * c + idx[i]]) << i << " " << c;
    EXPECT_EQ(out2.bytes(), out.bytes());
    ASSERT_EQ(Zvekcolormap(in, out, 42), 0);
    EXPECT_EQ(out.bytes(), Bytes(18, 0));
    // A type the accessors refuse: every pixel of every row is reported and takes entry 0, (27, 131, 124) in map 6.
    for (const char *type : {"Su8bit3", "struct"}) {
        Img odd(type, {3, 2}, 6);
        std::string lines;
        for (int i = 0; i < 6; ++i) lines += "Zvekigp: unrecognized or illegal data type.\n";
        std::memset(out.data(), 9, 18);
        EXPECT_EQ(run([&] { return Zvekcolormap(odd, out, 6); }), (Outcome{0, "", lines, ZVEK_EDTYPE})) << type;
        Bytes want;
        for (int v : {27, 131, 124}) want.insert(want.end(), 6, uint8_t(v));
        EXPECT_EQ(out.bytes(), want) << type;
    }
    Img in3("float", {3, 2, 3}), o16("16bit", {3, 2, 3}), o2d("u8bit", {3, 2}), o2f("u8bit", {3, 2, 2});
    Img oWrong("u8bit", {2, 3, 3});
    std::memset(o2f.data(), 7, 12);
    struct Refusal { ZVEKHDR *in, *out; int result; const char *printed; };
    const char *u8 = "Zvekcolormap: output image must be U8IT\n", *in2 = "input image needs to be 2D\n";
    const char *out3 = "Zvekcolormap:output image must be 3D\n";
    const Refusal refusals[] = {
        {in, o16, -1, u8}, {in, nullptr, -1, u8}, {in3, out, -2, in2}, {nullptr, out, -2, in2}, {in, o2d, -3, out3},
        {in, o2f, -3, out3},
        {in, oWrong, -4, "Zvekcolormap: input and output images must be the same rows and cols\n"},
    };
    for (const Refusal &r : refusals)
        EXPECT_EQ(run([&] { return Zvekcolormap(r.in, r.out, 0); }), (Outcome{r.result, r.printed, "", 0}));
    EXPECT_EQ(o2f.bytes(), Bytes(12, 7));
}
