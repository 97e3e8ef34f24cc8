// The operation dispatcher: the common road, the number dialogs, the
// operation behind each code, its messages, and the two-image road with the
// translation form, the shifted arithmetic and correlation.
#include <climits>
#include <cmath>
#include <complex>

#include "ZvekOp.h"
#include "gui_fixture.h"
#include "imageops.h"

namespace {
float pattern(int i) { return 60.0f + 40.0f * std::sin(0.37f * i) + float(i % 11); }
float first(int i) { return float((i * 13) % 50) + 1.0f; }
float second(int i) { return float((i * 7) % 9); }  // zero now and then
}  // namespace

TEST_F(GuiTest, UnaryCodesAskTheirNumberAndRunTheirOperation) {
    ZVekOp op(mw);
    ZVEKHDR *in = keep(makeFloat({2, 48, 40}, pattern)), *out = blank("float", {2, 48, 40}), *none = nullptr;
    for (int code = -2; code <= 38; ++code) EXPECT_FALSE(op.unary(code, none, out)) << code;
    EXPECT_EQ(ui.messages, std::vector<QString>(41, "Input empty"));
    // Codes without an operation, or no output: nothing is asked or written.
    for (int code : {0, 9, 22, 25, 26, 27, 28, 36, 37, -1, 1000}) EXPECT_FALSE(op.unary(code, in, out)) << code;
    for (int code : {1, 13, 15, 18, 33, 35}) EXPECT_FALSE(op.unary(code, in, none)) << code;
    EXPECT_EQ(ui.interactions(), 41u);
    EXPECT_TRUE(zero(out));
    struct Row { int code; const char *ask, *typed; std::function<int(ZVEKHDR *, ZVEKHDR *)> reference; int frames = 0; };
    const float s = float(1.7);
    const Row rows[] = {
        {1, "Dx|Sigma of blur|1|1..255|1", "1.7", [&](auto i, auto o) { return flDoG(i, o, 1, 0, s); }},
        {2, "Dxx|Sigma of blur|1|0..255|1", "1.7", [&](auto i, auto o) { return flDoG(i, o, 2, 0, s); }},
        {3, "Dy|Sigma of blur|1|0..255|1", "1.7", [&](auto i, auto o) { return flDoG(i, o, 1, 1, s); }},
        {4, "Dyy|Sigma of blur|1|0..255|1", "1.7", [&](auto i, auto o) { return flDoG(i, o, 2, 1, s); }},
        {5, "Dxy|Sigma of blur|1|0..255|1", "1.7", [&](auto i, auto o) { return flDoG(i, o, 2, 2, s); }},
        {6, "gDir|Sigma for all Gaussian derivatives:|1|0..255|1", "1.7", [&](auto i, auto o) { return flcurv(i, o, s); }},
        {7, "Harris|Sigma for all Gaussian derivatives:|1|0..255|1", "1.7", [&](auto i, auto o) { return flHarris(i, o, s); }},
        {8, "Exp|Scale for exp|50|0..1000|1", "33.3", [](auto i, auto o) { return flexp(i, o, float(33.3)); }},
        {10, nullptr, "", flinv},
        {11, "Laplacian|sigma (-neg. means squared)|1|-255..255|2", "-1.25", [](auto i, auto o) { return flLaplace(i, o, -1.25f); }},
        {12, "QuadVar|sigma|1|0..20|2", "1.25", [](auto i, auto o) { return flqvar(i, o, 1.25f); }},
        {14, nullptr, "", flabsolute},
        {16, "MarkMax|sigma of preblur.|0.5|-255..255|2", "0.75", [](auto i, auto o) { return flmarkmax(i, o, 0.75f); }, 3},
        {17, nullptr, "", flln},
        {19, "Blur|Sigma of blur|0|0..255|1", "2.3", [](auto i, auto o) { return flDoG(i, o, 0, 0, float(2.3)); }},
        {21, nullptr, "", HoGdescriptor, 9},
        {23, "gMag|Sigma of Gaussian derivative:|1|0..255|1", "1.7", [&](auto i, auto o) { return flgmag(i, o, s); }},
        {24, "gDir|Sigma of Gaussian derivative:|1|0..255|1", "1.7", [&](auto i, auto o) { return flgdir(i, o, s); }}};
    for (const Row &row : rows) {
        const std::vector<int32_t> dims = row.frames == 9 ? std::vector<int32_t>{3, 6, 5, 9} : std::vector<int32_t>{2 + !!row.frames, 48, 40, 3};
        ZVEKHDR *o = blank("float", dims), *ref = blank("float", dims);
        ui.asks.clear();
        ui.answers = {std::nullopt, QStringList{row.typed}};  // Cancel first where something is asked
        if (row.ask) { EXPECT_FALSE(op.unary(row.code, in, o)) << row.code; }
        EXPECT_EQ(bytes(o), bytes(ref)) << row.code;
        if (!row.ask) ui.answers.pop_front();
        EXPECT_TRUE(op.unary(row.code, in, o)) << row.code;
        ASSERT_EQ(row.reference(in, ref), 0);
        EXPECT_EQ(bytes(o), bytes(ref)) << row.code;
        EXPECT_EQ(ui.asks.size(), row.ask ? 2u : 0u) << row.code;
        for (const FakeUi::Ask &a : ui.asks) { EXPECT_TRUE(a.line == row.ask && a.parent == mw) << a.line.toStdString(); }
    }
    // Two against their formulas: max - v and |v|. The pixel copy of the
    // first plane into an output as large; a smaller one is left.
    ZVEKHDR *ramp = keep(makeFloat({2, 9, 7}, [](int i) { return float(i) * 3.5f - 80.0f; }));
    ZVEKHDR *inv = blank("float", {2, 9, 7}), *abs = blank("float", {2, 9, 7});
    EXPECT_TRUE(op.unary(10, ramp, inv) && op.unary(14, ramp, abs));
    for (int i = 0; i < 63; ++i)
        EXPECT_EQ(std::make_pair(pixels(inv)[i], pixels(abs)[i]), std::make_pair(137.0f - pixels(ramp)[i], std::fabs(pixels(ramp)[i])));
    ZVEKHDR *colour = keep(makeFloat({3, 7, 5, 3}, [](int i) { return float(i * i) * 0.25f; }));
    ZVEKHDR *copy = blank("float", {2, 7, 5}), *small = blank("float", {2, 6, 5});
    EXPECT_TRUE(op.unary(35, colour, copy));
    EXPECT_FALSE(op.unary(35, colour, small));
    EXPECT_EQ(bytes(copy) + bytes(small), bytes(colour).left(140) + QByteArray(120, 0));
    EXPECT_TRUE(ui.messages.size() == 41u && ui.notices.empty());
}

TEST_F(GuiTest, UnaryOperationMessages) {
    ZVekOp op(mw);
    ZVEKHDR *colour = keep(makeFloat({3, 6, 4, 3}, [](int i) { return float((i * 37) % 256); }));
    ZVEKHDR *gray = blank("float", {2, 6, 4}), *bytes8 = blank("u8bit", {2, 32, 32});
    EXPECT_TRUE(op.unary(20, colour, gray));
    const float *c = pixels(colour);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(pixels(gray)[i], float(0.21 * c[i] + 0.72 * c[i + 24] + 0.07 * c[i + 48])) << i;
    struct Row { int code; ZVEKHDR *in, *out; const char *message; };
    const Row rows[] = {
        {20, blank("float", {2, 6, 4}), gray, "Input image must be color."},
        {20, blank("float", {3, 6, 4, 2}), gray, "Input image must be color."},
        {20, colour, blank("float", {3, 6, 4, 3}), "Output image must be 2d."},
        {20, colour, blank("float", {2, 5, 4}), "Input and output images have different number cols."},
        {20, colour, blank("float", {2, 6, 5}), "Input and output images have different number rows."},
        {20, keep(Zvekcreate("struct", std::vector<int32_t>{3, 6, 4, 3}.data(), 11, 4)), gray, "Color to gray function input error."},
        {11, bytes8, blank("float", {2, 32, 32}), "Function returned an error code."},
        {12, bytes8, blank("float", {2, 32, 32}), "Function returned an error code."},
        {2, bytes8, blank("float", {2, 32, 32}), ""},  // other failures are not told here
        {29, gray, blank("float", {2, 6, 4}), "Error returned by Zvekc2mag"},
        {30, gray, blank("float", {2, 6, 4}), "Error returned by Zvekc2phase"},
        {31, gray, blank("float", {2, 6, 4}), "Error returned by Zvekc2real"},
        {32, gray, blank("float", {2, 6, 4}), "Error returned by Zvekc2imag"}};
    for (Row row : rows) {
        ui.messages.clear();
        ui.answers = {QStringList{"1"}};
        printed([&] { EXPECT_FALSE(op.unary(row.code, row.in, row.out)) << row.message; });
        EXPECT_EQ(ui.said(), row.message);
    }
    // A byte output held by a slot is replaced by a float gray image; the slot follows.
    put(5, Zvekcreate("u8bit", std::vector<int32_t>{2, 6, 4}.data(), 11, 0));
    ZVEKHDR *out = slot(5);
    EXPECT_TRUE(op.unary(20, colour, out));
    EXPECT_EQ(slot(5), out);
    EXPECT_EQ(shape(out) + bytes(out).toHex().toStdString(), shape(gray) + bytes(gray).toHex().toStdString());
}

TEST_F(GuiTest, FourierTransformsAndTheirRefusals) {
    ZVekOp op(mw);
    for (const auto &row : std::vector<std::pair<std::vector<int32_t>, QString>>{
             {{2, 100, 100}, "FFT:Image dimensions must be a power of 2"}, {{2, 128, 64}, "FFT:Image must be square"}}) {
        ZVEKHDR *in = keep(makeFloat(row.first, [](int i) { return float(i % 13); })), *out = blank("32cmp", row.first);
        EXPECT_FALSE(op.unary(33, in, out) || op.unary(34, in, out));
        EXPECT_EQ(ui.messages, std::vector<QString>(2, row.second));
        EXPECT_TRUE(zero(out));
        ui.messages.clear();
    }
    const int n = 16;
    auto value = [](int i) { return float((i * 37) % 23) - 7.5f; };
    ZVEKHDR *in = keep(makeFloat({2, n, n}, value)), *colour = keep(makeFloat({3, n, n, 3}, [&](int i) { return i < n * n ? value(i) : 99.0f; }));
    ZVEKHDR *spectrum = blank("32cmp", {2, n, n}), *back = blank("32cmp", {2, n, n}), *again = blank("32cmp", {2, n, n});
    ZVEKHDR *colourOut = blank("32cmp", {3, n, n, 3}), *flt = blank("float", {2, n, n});
    EXPECT_TRUE(op.unary(33, in, spectrum) && op.unary(34, spectrum, back) && op.unary(33, back, again));
    // Forward against the sum, in double, with sign -1; the inverse gives
    // the image back; a complex input is transformed as it stands.
    for (int k = 0; k < n * n; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n * n; ++i) sum += double(value(i)) * std::polar(1.0, -2 * M_PI * ((k / n * (i / n) + k % n * (i % n)) % n) / n);
        EXPECT_NEAR(pixels(spectrum)[2 * k], sum.real(), 1e-2) << k;
        EXPECT_NEAR(pixels(spectrum)[2 * k + 1], sum.imag(), 1e-2) << k;
        EXPECT_NEAR(pixels(back)[2 * k], value(k), 1e-4) << k;
        EXPECT_NEAR(pixels(back)[2 * k + 1], 0.0, 1e-4) << k;
        EXPECT_NEAR(pixels(again)[2 * k], pixels(spectrum)[2 * k], 1e-2) << k;
    }
    // A colour image: its first frame, into the first plane. An output that
    // is not complex keeps what it held.
    EXPECT_TRUE(op.unary(33, colour, colourOut));
    EXPECT_EQ(bytes(colourOut), bytes(spectrum) + QByteArray(16 * n * n, 0));
    EXPECT_FALSE(op.unary(33, in, flt));
    EXPECT_EQ(bytes(flt), QByteArray(4 * n * n, 0));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GuiTest, ShiftedArithmeticMakesAResultOfItsOwnSize) {
    ZVekOp op(mw);
    int rows = 11, cols = 12, status = 5;
    op.gettwonumbers(&rows, &cols, &status);  // Cancel
    EXPECT_EQ(std::vector<int>({rows, cols, status}), std::vector<int>({11, 12, -1}));
    EXPECT_EQ(ui.asks.at(0).line, "Translation of second image:|rows ,cols |0,0");
    EXPECT_EQ(ui.asks[0].parent, mw);
    for (const auto &t : std::vector<std::pair<QStringList, std::vector<int>>>{
             {{"2.9", "-2.9"}, {2, -2}}, {{"abc", ""}, {0, 0}}, {{" 7 ", "-0.5"}, {7, 0}}, {{"nan", "inf"}, {0, 0}},
             {{"1e10", "-1e12"}, {INT_MAX, INT_MIN}}}) {
        ui.answers = {t.first};
        op.gettwonumbers(&rows, &cols, &status);
        EXPECT_EQ(std::vector<int>({rows, cols, status}), std::vector<int>({t.second[0], t.second[1], 0})) << t.first.join(",").toStdString();
    }
    ZVEKHDR *none = nullptr, *img = keep(makeFloat({2, 4, 4})), *buf = blank("float", {2, 4, 4});
    for (int code : {9, 22, 24, 25, 99}) {
        ui.messages.clear();
        EXPECT_FALSE(op.binary(code, none, none, buf, 3) || op.binary(code, img, none, buf, 3));
        EXPECT_EQ(ui.said(), "Input1 empty|Input2 empty") << code;
    }
    ui.messages.clear();
    // Each operation and shift against the placement rule: a positive shift
    // moves Input 2, a negative one Input 1; the result covers both.
    ZVEKHDR *a = keep(makeFloat({3, 10, 8, 3}, first)), *b = keep(makeFloat({3, 10, 8, 3}, second));
    struct Shift { int code, dr, dc; float (*f)(float, float); };
    const Shift shifts[] = {{22, 0, 0, [](float x, float y) { return x + y; }}, {22, -5, 3, [](float x, float y) { return x + y; }},
                            {25, 4, -6, [](float x, float y) { return x - y; }}, {26, 2, 0, [](float x, float y) { return x * y; }},
                            {27, 0, 2, [](float x, float y) { return y != 0.0f ? x / y : 255.0f; }}};
    for (const Shift &t : shifts) {
        SCOPED_TRACE(testing::Message() << t.code << " shifted " << t.dr << "," << t.dc);
        ZVEKHDR *out = makeFloat({3, 10, 8, 3});  // released by the dispatcher
        ui.answers = {QStringList{QString::number(t.dr), QString::number(t.dc)}};
        ASSERT_TRUE(op.binary(t.code, a, b, out, -1));
        const int rr = 8 + std::abs(t.dr), rc = 10 + std::abs(t.dc);
        ASSERT_EQ(shape(keep(out)), "32flt 3:" + std::to_string(rc) + "x" + std::to_string(rr) + "x3");
        for (int i = 0; i < 3 * rr * rc; ++i) {
            const int f = i / (rr * rc), r = i / rc % rr, c = i % rc;
            const int ra = t.dr > 0 ? r : r + t.dr, ca = t.dc > 0 ? c : c + t.dc, rb = t.dr > 0 ? r - t.dr : r, cb = t.dc > 0 ? c - t.dc : c;
            const float x = ra >= 0 && ra < 8 && ca >= 0 && ca < 10 ? first((f * 8 + ra) * 10 + ca) : 0.0f;
            const float y = rb >= 0 && rb < 8 && cb >= 0 && cb < 10 ? second((f * 8 + rb) * 10 + cb) : 0.0f;
            ASSERT_EQ(pixels(out)[i], t.f(x, y)) << f << " " << r << "," << c;
        }
    }
    // A wide, flat Input 2 sets the columns. Into a slot's buffer the result
    // goes into the slot; a temporary is replaced through out alone; Cancel
    // leaves the temporary as given.
    ZVEKHDR *out = makeFloat({2, 50, 50}), *square = keep(makeFloat({2, 50, 50})), *flat = keep(makeFloat({2, 200, 10}));
    ui.answers = {QStringList{}};
    EXPECT_TRUE(op.binary(22, square, flat, out, -1) && shape(keep(out)) == "32flt 2:200x50");
    put(0, makeFloat({2, 10, 8}, first));
    put(4, makeFloat({2, 10, 8}));
    out = slot(4);
    ui.answers = {QStringList{"1", "1"}};
    EXPECT_TRUE(op.binary(22, controller->images[0], controller->images[0], out, 4));
    EXPECT_TRUE(slot(4) == out && shape(out) == "32flt 2:11x9");
    ZVEKHDR *temp = makeFloat({2, 10, 8}), *given = temp;
    ui.answers = {QStringList{"0", "2"}};
    EXPECT_TRUE(op.binary(25, controller->images[0], controller->images[0], temp, 0));
    EXPECT_TRUE(shape(keep(temp)) == "32flt 2:12x8" && temp != given && slot(0) != temp);
    temp = given = keep(makeFloat({2, 12, 8}, [](int) { return 4.0f; }));
    ui.answers = {std::nullopt};
    EXPECT_FALSE(op.binary(22, controller->images[0], controller->images[0], temp, 0));
    EXPECT_TRUE(temp == given && pixels(temp)[5] == 4.0f);
    EXPECT_TRUE(ui.messages.empty());

    // Refusals and failures leave the buffer as it was; complex inputs go to
    // the vector sum (for each of the four), which refuses a float buffer.
    ZVEKHDR *gray = keep(makeFloat({2, 6, 6}, first)), *colour = keep(makeFloat({3, 6, 6, 3}, second));
    ZVEKHDR *kept = blank("float", {2, 6, 6}), *c1 = blank("32cmp", {2, 6, 6}), *c2 = blank("32cmp", {2, 6, 6}), *csum = blank("32cmp", {2, 6, 6});
    for (int i = 0; i < 72; ++i) pixels(c1)[i] = float(i), pixels(c2)[i] = float(100 - 3 * i);
    struct Failure { int code; ZVEKHDR *x, *y; QStringList typed; const char *message, *printed; };
    const Failure failures[] = {
        {22, gray, colour, {}, "Function return error code-2", "both input images must be either both grayscale or both color\n"},
        {22, gray, gray, {"3e9"}, "Function return error code-9", ""},
        {22, c1, c2, {}, "Function return error code-1", ""},
        {27, c1, c2, {}, "Function return error code-1", ""}};
    for (Failure f : failures) {
        ui.messages.clear();
        ui.answers = {f.typed};
        ZVEKHDR *o = kept;
        EXPECT_EQ(printed([&] { EXPECT_FALSE(op.binary(f.code, f.x, f.y, o, -1)); }), f.printed);
        EXPECT_TRUE(ui.said() == f.message && zero(kept)) << f.message;
    }
    ui.answers.clear();
    ui.asks.clear();
    EXPECT_TRUE(op.binary(26, c1, c2, csum, -1));
    for (int i = 0; i < 72; ++i) EXPECT_EQ(pixels(csum)[i], float(i) + float(100 - 3 * i));
    // Codes without operation: 24 answers the buffer as it is.
    ZVEKHDR *o = kept;
    EXPECT_TRUE(op.binary(24, gray, gray, o, -1));
    EXPECT_FALSE(op.binary(28, gray, gray, o, -1) || op.binary(0, gray, gray, o, -1));
    EXPECT_TRUE(o == kept && ui.asks.empty());
}

TEST_F(GuiTest, CorrelationAndItsRefusals) {
    ZVekOp op(mw);
    ZVEKHDR *image = keep(makeFloat({2, 130, 130}, [](int i) { return float((i * 31 + i / 130) % 97); }));
    ZVEKHDR *tmpl = keep(makeFloat({2, 128, 128}, [](int i) { return float((i * 17) % 89); }));
    ZVEKHDR *out = blank("float", {2, 130, 130}), *ref = blank("float", {2, 130, 130});
    EXPECT_TRUE(op.binary(9, image, tmpl, out, -1));
    ASSERT_EQ(flcorrelate(image, tmpl, ref), 0);
    EXPECT_EQ(bytes(out), bytes(ref));
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text + QString::number(ui.notices[0].msec), "This may take a long time, please be patient.1000");
    struct Row { ZVEKHDR *a, *t; const char *message; size_t notices; };
    const Row rows[] = {
        {keep(makeFloat({3, 20, 20, 3})), keep(makeFloat({2, 5, 5})), "I can't correlate a gray scale image with a color image. Sorry.", 0},
        {image, keep(makeFloat({2, 145, 113})), "Image 2 needs to be small, like 64x64 or less. Sorry.", 0},  // 16385 pixels
        {blank("u8bit", {2, 20, 20}), blank("u8bit", {2, 4, 4}), "Input images must be float or complex %d", 1},
        {image, keep(makeFloat({2, 4, 4}, [](int) { return 2.0f; })), "Function return error code-3", 1}};
    ZVEKHDR *kept = blank("float", {2, 130, 130});
    for (Row row : rows) {
        ui.messages.clear();
        ui.notices.clear();
        printed([&] { EXPECT_FALSE(op.binary(9, row.a, row.t, kept, -1)) << row.message; });
        EXPECT_TRUE(ui.said() == row.message && ui.notices.size() == row.notices) << row.message;
    }
    EXPECT_TRUE(zero(kept));
}
