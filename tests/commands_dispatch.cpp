// The operation dispatcher: the common road, the number dialogs, the
// operation behind each code and its messages; labelling with its form,
// limits, areas file and the wait before a colour image (with the clicks
// it must ignore); equalisation, pseudo-colour and the random map; the
// two-image road with the translation form, shifted arithmetic and
// correlation.
#include <QFile>
#include <QMenuBar>
#include <QToolBar>
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
    // Code, number dialog (null: none), the operation with the typed 1.7, frames of the output.
    using Z = ZVEKHDR *;
    struct Row { int code; const char *ask; std::function<int(Z, Z)> reference; int frames = 0; };
    const float s = float(1.7);
    const Row rows[] = {
        {1, "Dx|Sigma of blur|1|1..255|1", [&](Z i, Z o) { return flDoG(i, o, 1, 0, s); }},
        {2, "Dxx|Sigma of blur|1|0..255|1", [&](Z i, Z o) { return flDoG(i, o, 2, 0, s); }},
        {3, "Dy|Sigma of blur|1|0..255|1", [&](Z i, Z o) { return flDoG(i, o, 1, 1, s); }},
        {4, "Dyy|Sigma of blur|1|0..255|1", [&](Z i, Z o) { return flDoG(i, o, 2, 1, s); }},
        {5, "Dxy|Sigma of blur|1|0..255|1", [&](Z i, Z o) { return flDoG(i, o, 2, 2, s); }},
        {6, "gDir|Sigma for all Gaussian derivatives:|1|0..255|1", [&](Z i, Z o) { return flcurv(i, o, s); }},
        {7, "Harris|Sigma for all Gaussian derivatives:|1|0..255|1", [&](Z i, Z o) { return flHarris(i, o, s); }},
        {8, "Exp|Scale for exp|50|0..1000|1", [&](Z i, Z o) { return flexp(i, o, s); }},
        {10, nullptr, flinv},
        {11, "Laplacian|sigma (-neg. means squared)|1|-255..255|2", [&](Z i, Z o) { return flLaplace(i, o, s); }},
        {12, "QuadVar|sigma|1|0..20|2", [&](Z i, Z o) { return flqvar(i, o, s); }},
        {14, nullptr, flabsolute},
        {16, "MarkMax|sigma of preblur.|0.5|-255..255|2", [&](Z i, Z o) { return flmarkmax(i, o, s); }, 3},
        {17, nullptr, flln},
        {19, "Blur|Sigma of blur|0|0..255|1", [&](Z i, Z o) { return flDoG(i, o, 0, 0, s); }},
        {21, nullptr, HoGdescriptor, 9},
        {23, "gMag|Sigma of Gaussian derivative:|1|0..255|1", [&](Z i, Z o) { return flgmag(i, o, s); }},
        {24, "gDir|Sigma of Gaussian derivative:|1|0..255|1", [&](Z i, Z o) { return flgdir(i, o, s); }}};
    for (const Row &row : rows) {
        std::vector<int32_t> dims = {2 + !!row.frames, 48, 40, 3};
        if (row.frames == 9) dims = {3, 6, 5, 9};
        ZVEKHDR *o = blank("float", dims), *ref = blank("float", dims);
        ui.asks.clear();
        ui.answers = {std::nullopt, QStringList{"1.7"}};  // Cancel first where something is asked
        if (row.ask) { EXPECT_FALSE(op.unary(row.code, in, o)) << row.code; }
        EXPECT_EQ(bytes(o), bytes(ref)) << row.code;
        if (!row.ask) ui.answers.pop_front();
        EXPECT_TRUE(op.unary(row.code, in, o)) << row.code;
        ASSERT_EQ(row.reference(in, ref), 0);
        EXPECT_EQ(bytes(o), bytes(ref)) << row.code;
        EXPECT_EQ(ui.asks.size(), row.ask ? 2u : 0u) << row.code;
        for (const FakeUi::Ask &a : ui.asks)
            EXPECT_TRUE(a.line == row.ask && a.parent == mw) << a.line.toStdString();
    }
    // The pixel copy of the first plane into an output as large; a smaller one is left.
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
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(pixels(gray)[i], float(0.21 * c[i] + 0.72 * c[i + 24] + 0.07 * c[i + 48])) << i;
    struct Row { int code; ZVEKHDR *in, *out; const char *message; };
    const Row rows[] = {
        {20, blank("float", {2, 6, 4}), gray, "Input image must be color."},
        {20, blank("float", {3, 6, 4, 2}), gray, "Input image must be color."},
        {20, colour, blank("float", {3, 6, 4, 3}), "Output image must be 2d."},
        {20, colour, blank("float", {2, 5, 4}), "Input and output images have different number cols."},
        {20, colour, blank("float", {2, 6, 5}), "Input and output images have different number rows."},
        {20, keep(Zvekcreate("struct", std::vector<int32_t>{3, 6, 4, 3}.data(), 11, 4)), gray,
         "Color to gray function input error."},
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
             {{2, 100, 100}, "FFT:Image dimensions must be a power of 2"},
             {{2, 128, 64}, "FFT:Image must be square"}}) {
        ZVEKHDR *in = keep(makeFloat(row.first, [](int i) { return float(i % 13); })), *out = blank("32cmp", row.first);
        EXPECT_FALSE(op.unary(33, in, out) || op.unary(34, in, out));
        EXPECT_EQ(ui.messages, std::vector<QString>(2, row.second));
        EXPECT_TRUE(zero(out));
        ui.messages.clear();
    }
    const int n = 16;
    auto value = [](int i) { return float((i * 37) % 23) - 7.5f; };
    ZVEKHDR *in = keep(makeFloat({2, n, n}, value));
    ZVEKHDR *colour = keep(makeFloat({3, n, n, 3}, [&](int i) { return i < n * n ? value(i) : 99.0f; }));
    ZVEKHDR *spectrum = blank("32cmp", {2, n, n}), *back = blank("32cmp", {2, n, n});
    ZVEKHDR *again = blank("32cmp", {2, n, n});
    ZVEKHDR *colourOut = blank("32cmp", {3, n, n, 3}), *flt = blank("float", {2, n, n});
    EXPECT_TRUE(op.unary(33, in, spectrum) && op.unary(34, spectrum, back) && op.unary(33, back, again));
    // Forward against the sum, in double, with sign -1; the inverse gives
    // the image back; a complex input is transformed as it stands.
    for (int k = 0; k < n * n; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n * n; ++i)
            sum += double(value(i)) * std::polar(1.0, -2 * M_PI * ((k / n * (i / n) + k % n * (i % n)) % n) / n);
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
        EXPECT_EQ(std::vector<int>({rows, cols, status}), std::vector<int>({t.second[0], t.second[1], 0}))
            << t.first.join(",").toStdString();
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
    const Shift shifts[] = {{22, 0, 0, [](float x, float y) { return x + y; }},
                            {22, -5, 3, [](float x, float y) { return x + y; }},
                            {25, 4, -6, [](float x, float y) { return x - y; }},
                            {26, 2, 0, [](float x, float y) { return x * y; }},
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
            const int ra = t.dr > 0 ? r : r + t.dr, ca = t.dc > 0 ? c : c + t.dc;
            const int rb = t.dr > 0 ? r - t.dr : r, cb = t.dc > 0 ? c - t.dc : c;
            const float x = ra >= 0 && ra < 8 && ca >= 0 && ca < 10 ? first((f * 8 + ra) * 10 + ca) : 0.0f;
            const float y = rb >= 0 && rb < 8 && cb >= 0 && cb < 10 ? second((f * 8 + rb) * 10 + cb) : 0.0f;
            ASSERT_EQ(pixels(out)[i], t.f(x, y)) << f << " " << r << "," << c;
        }
    }
    // A wide, flat Input 2 sets the columns.
    ZVEKHDR *out = makeFloat({2, 50, 50}), *square = keep(makeFloat({2, 50, 50}));
    ZVEKHDR *flat = keep(makeFloat({2, 200, 10}));
    ui.answers = {QStringList{}};
    // Without the application's slots the result comes back through out alone.
    gZVektool = nullptr;
    EXPECT_TRUE(op.binary(22, square, flat, out, -1) && shape(keep(out)) == "32flt 2:200x50");
    gZVektool = controller;
    // A buffer that is the Output slot's image is replaced there too.
    put(4, makeFloat({2, 10, 8}));
    ui.answers = {QStringList{"1", "1"}};
    ZVEKHDR *buffer = slot(4);
    EXPECT_TRUE(op.binary(22, a, b, buffer, 4) && slot(4) == buffer && shape(buffer) == "32flt 3:11x9x3");
    EXPECT_TRUE(ui.messages.empty());

    // Refusals and failures leave the buffer as it was; complex inputs go to
    // the vector sum (for each of the four), which refuses a float buffer.
    ZVEKHDR *gray = keep(makeFloat({2, 6, 6}, first)), *colour = keep(makeFloat({3, 6, 6, 3}, second));
    ZVEKHDR *kept = blank("float", {2, 6, 6}), *csum = blank("32cmp", {2, 6, 6});
    ZVEKHDR *c1 = blank("32cmp", {2, 6, 6}), *c2 = blank("32cmp", {2, 6, 6});
    for (int i = 0; i < 72; ++i) pixels(c1)[i] = float(i), pixels(c2)[i] = float(100 - 3 * i);
    struct Failure { int code; ZVEKHDR *x, *y; QStringList typed; const char *message, *printed; };
    const Failure failures[] = {
        {22, gray, colour, {}, "Function return error code-2",
         "both input images must be either both grayscale or both color\n"},
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
    EXPECT_EQ(ui.notified(), "This may take a long time, please be patient./1000");
    struct Row { ZVEKHDR *a, *t; const char *message; size_t notices; };
    const Row rows[] = {
        {keep(makeFloat({3, 20, 20, 3})), keep(makeFloat({2, 5, 5})),
         "I can't correlate a gray scale image with a color image. Sorry.", 0},
        // 16385 pixels
        {image, keep(makeFloat({2, 145, 113})), "Image 2 needs to be small, like 64x64 or less. Sorry.", 0},
        {blank("u8bit", {2, 20, 20}), blank("u8bit", {2, 4, 4}), "Input images must be float or complex %d", 1},
        {image, keep(makeFloat({2, 4, 4}, [](int) { return 2.0f; })), "Function return error code-3", 1}};
    ZVEKHDR *kept = blank("float", {2, 130, 130});
    for (Row row : rows) {
        ui.clear();
        printed([&] { EXPECT_FALSE(op.binary(9, row.a, row.t, kept, -1)) << row.message; });
        EXPECT_TRUE(ui.said() == row.message && ui.notices.size() == row.notices) << row.message;
    }
    EXPECT_TRUE(zero(kept));
}

// The toolkit's own shortcut dispatch for a key press.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false,
                                               ushort count = 1);

namespace {

// On a ground of 0.5: a block of 50 pixels at 100 and one of 128 at 255.5.
float blobs(int i) {
    const int r = i / 40, c = i % 40;
    if (r >= 5 && r < 10 && c >= 5 && c < 15) return 100.0f;
    if (r >= 18 && r < 26 && c >= 20 && c < 36) return 255.5f;
    return 0.5f;
}

// The random map's colours as the generator gives them one by one:
// entries 2 .. 3n - 1 of the table (label v, frame f at v + f n).
std::vector<float> drawTable(int n) {
    std::vector<float> table(size_t(3) * n, 0.0f);
    for (size_t k = 2; k < table.size(); ++k) table[k] = float(int(Zvekdrand48() * 255.0));
    return table;
}

// The 48-bit generator state (reading it sets it again).
uint64_t generatorState() {
    unsigned short probe[3] = {0, 0, 0};
    const unsigned short *was = Zvekseed48(probe);
    unsigned short keep[3] = {was[0], was[1], was[2]};
    Zvekseed48(keep);
    return uint64_t(keep[0]) | uint64_t(keep[1]) << 16 | uint64_t(keep[2]) << 32;
}

// The library's road for maps 0 to 5: bytes, colour map, conversion.
QByteArray libraryColours(ZVEKHDR *plane, int map) {
    const int32_t d2[3] = {2, Zvekdimen(plane, 0), Zvekdimen(plane, 1)}, d3[4] = {3, d2[1], d2[2], 3};
    ZVEKHDR *a = Zvekcreate("u8bit", d2, 11, 0), *b = Zvekcreate("u8bit", d3, 11, 0);
    ZVEKHDR *c = Zvekcreate("float", d3, 11, 0);
    float lo, hi;
    Zvekvidscale(plane, a, &lo, &hi, 0);
    Zvekcolormap(a, b, map);
    Zvekany2any(b, c);
    const QByteArray result(static_cast<const char *>(c->vekptr), Zvekdimen(c, ZVEK_NBYTES));
    for (ZVEKHDR *h : {a, b, c}) Zvekfree(h, 7);
    return result;
}

}  // namespace

TEST_F(GuiTest, LabellingFormLimitsAndAreasFile) {
    ZVekOp op(mw);
    ZVEKHDR *big = blank("float", {2, 1001, 1000}), *edge = blank("float", {2, 1000, 1000});
    EXPECT_FALSE(op.unary(13, big, big));
    EXPECT_FALSE(op.unary(13, edge, edge));  // a million pixels: the form, cancelled
    EXPECT_EQ(ui.notified(), "Sorry. This function cannot handle 1001000 pixels. Returning.../3000");
    EXPECT_EQ(ui.asks.at(0).line,
              "Parameters for CCL.|Thresh ,minval ,maxval ,EraseSmall ,EraseLarge ,filename of areas|"
              "2.0,10.0,255.0,1,0,");
    EXPECT_EQ(ui.asks[0].parent, mw);

    ZVEKHDR *in = keep(makeFloat({2, 40, 30}, blobs));
    const QString areas = home.path() + "/areas.txt", unused = home.path() + "/unused.txt";
    const QString longName = (home.path() + "/" + QString(256, 'a')).left(256);  // one byte too long
    // The typed fields; the library's arguments they stand for (max < min:
    // refused); the notice (with its time) or message, "" for the count.
    struct Row {
        QStringList typed;
        float thresh, min, max;
        int small, large;
        const char *told;
        int msec;
        QString printed;
    };
    const Row rows[] = {
        {{}, 2, 10, 255, 1, 0, "", 3000, ""},
        {{"0.5", "10", "255", "50", "0"}, 0.5f, 10, 255, 50, 0, "", 3000, ""},
        {{"2.0", "10.0", "256", "0", "127"}, 2, 10, 256, 0, 127, "", 3000, ""},
        {{"2.0", "0", "0.0"}, 2, 1, 256, 1, 0, "", 3000, ""},  // 0 or no number stands for 1 and 256
        {{"2.0", "abc", ""}, 2, 1, 256, 1, 0, "", 3000, ""},
        {{"2.0", "20", "10"}, 2, 1, 0, 0, 0, "Maxvalue and Minvalue don't make sense. Returning...", 2000, ""},
        {{"2.0", "10.0", "256", "1", "0", areas}, 2, 10, 256, 1, 0, "", 3000, "1: " + areas + "\n "},
        // Without an erase size no areas are counted or written.
        {{"2.0", "10.0", "255.0", "x", " 0 ", unused}, 2, 10, 255, 0, 0, "", 3000, "1: " + unused + "\n "},
        {{"2.0", "10.0", "255.0", "1", "0", areas + "/no/such/dir"}, 2, 1, 0, 0, 0,
         "Unable to access specifed list of areas file", 3000, "1: " + areas + "/no/such/dir\n "},
        {{"2.0", "10.0", "255.0", "1", "0", longName}, 2, 1, 0, 0, 0,
         "The filename of areas is longer than 255 bytes. Returning...", 0, ""}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.typed.join(",").toStdString());
        ZVEKHDR *out = blank("float", {2, 40, 30}), *ref = blank("float", {2, 40, 30});
        int count = -7;
        if (row.max > row.min) {
            ASSERT_EQ(cclC4_2(in, row.small, row.large, &count, "", ref, row.thresh, row.min, row.max), 0);
        }
        ui.notices.clear();
        ui.messages.clear();
        ui.answers = {row.typed};
        controller->maxLabel = -5;
        // The name is printed first; the library's own lines follow.
        const std::string out1 = printed([&] { EXPECT_EQ(op.unary(13, in, out), row.max > row.min); });
        const QString text = QString::fromStdString(out1);
        EXPECT_TRUE(text.startsWith(row.printed) && !text.mid(row.printed.size()).startsWith("1: ")) << out1;
        EXPECT_EQ(bytes(out), bytes(ref));
        if (row.max > row.min) { EXPECT_EQ(controller->maxLabel, count); }
        const QString told = row.told[0] ? QString(row.told) : QString("found %1 labels").arg(count);
        EXPECT_EQ(ui.notices.size() + ui.messages.size(), 1u);
        EXPECT_EQ(ui.notices.empty() ? ui.said() : ui.notified(),
                  row.msec ? told + "/" + QString::number(row.msec) : told);
    }
    // The areas file: one line per label 0 .. count; the blocks have 50 and 128 pixels.
    QFile file(areas);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.contains("1 50") && lines.contains("2 128")) << lines.join("|").toStdString();
    EXPECT_FALSE(QFile::exists(unused));

    // One label per pixel of a checkerboard is more than the labelling takes.
    auto checkers = [](int i) { return 10.0f + 20.0f * float(i / 1000 % 2 * 2 + i % 2); };
    ZVEKHDR *board = keep(makeFloat({2, 1000, 1000}, checkers));
    controller->maxLabel = 77;
    ui.notices.clear();
    ui.answers = {QStringList{"2.0", "10.0", "255.0", "0"}};
    EXPECT_FALSE(op.unary(13, board, edge));
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notified(), "Image too big for this program: 77 labels/5000");
}

TEST_F(GuiTest, ColourLabellingWaitsAndIgnoresThePanelMeanwhile) {
    // Something to paste and a picture to reopen: neither may replace the
    // images the command holds, nor may Read, Delete or the scripts.
    put(2, makeFloat({2, 5, 5}));
    select(2, 2, 2);
    mw->copyAct->trigger();
    QImage picture(4, 3, QImage::Format_Grayscale8);
    picture.fill(9);
    ASSERT_TRUE(picture.save(home.path() + "/other.png"));
    mw->handleFileByPath(home.path() + "/other.png", 6);  // for Reopen
    ui.notices.clear();

    ZVEKHDR *colour = makeFloat({3, 20, 20, 3}, [](int i) { return (i % 20) < 10 ? 50.0f : 150.0f; });
    put(0, colour);
    put(1, makeFloat({2, 7, 7}));
    select(0, 0, 1);
    mw->viewAct->trigger();
    QWidget *view = mw->childWindow(1);
    ASSERT_NE(view, nullptr);
    ZVEKHDR *const old = slot(1), *held = nullptr;
    bool checked = false;
    QTimer::singleShot(300, [&]() {
        checked = true;
        held = slot(1);
        EXPECT_FALSE(mw->menuBar()->isEnabled() || mw->centralWidget()->isEnabled());
        for (QToolBar *bar : mw->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
            EXPECT_FALSE(bar->isEnabled());
        EXPECT_TRUE(view->isEnabled()) << "the view window stays responsive";
        mw->input1Radios[3]->click();
        EXPECT_TRUE(mw->input1Radios[0]->isChecked());
        QApplication::setActiveWindow(mw);
        qt_sendShortcutOverrideEvent(mw, 0, Qt::Key_V, Qt::ControlModifier, "v");
        for (QAction *a : {mw->pasteAct, mw->openAct, mw->reopenAct, mw->deleteAct, mw->runScriptAct, mw->rerunAct})
            a->trigger();
        EXPECT_TRUE(ui.openCaptions.empty() && ui.messages.empty());
        EXPECT_EQ(slot(0), colour);
    });
    ui.answers = {QStringList{}};
    QElapsedTimer timer;
    timer.start();
    press(mw->cclButton);
    EXPECT_GE(timer.elapsed(), 2000);
    EXPECT_LT(timer.elapsed(), 3000);
    ASSERT_TRUE(checked) << "events are processed during the wait";
    EXPECT_EQ(ui.notified(), "CCL only works on grayscale images. Using it on a color image will produce strange "
                             "results./3000|found 2 labels/3000");
    EXPECT_TRUE(slot(0) == colour && held == old && slot(1) != old) << "the result is stored at the end";
    // Row 0 and column 0 unscanned (-1, the corner 0), the left half 1, the right half 2.
    EXPECT_EQ(shape(slot(1)), "32flt 3:20x20x3");
    EXPECT_EQ(std::vector<float>({pixels(slot(1))[0], pixels(slot(1))[5], pixels(slot(1))[103], pixels(slot(1))[115]}),
              std::vector<float>({0, -1, 1, 2}));
    // Afterwards the panel takes input again, and the Paste key pastes.
    EXPECT_TRUE(mw->menuBar()->isEnabled() && mw->centralWidget()->isEnabled() && mw->cclButton->isEnabled());
    QApplication::setActiveWindow(mw);
    EXPECT_TRUE(qt_sendShortcutOverrideEvent(mw, 0, Qt::Key_V, Qt::ControlModifier, "v"));
    EXPECT_EQ(shape(slot(1)), "32flt 2:5x5");
    ui.openAnswers = {home.path() + "/other.png"};
    mw->openAct->trigger();
    EXPECT_EQ(controller->imageNames[1], "other.png");
}

TEST_F(GuiTest, EqualisationAndPseudoColour) {
    ZVekOp op(mw);
    ZVEKHDR *in = keep(makeFloat({2, 50, 40}, [](int i) { return float((i * 7919) % 1000) * 0.1f; }));
    ZVEKHDR *out = blank("float", {2, 50, 40}), *ref = blank("float", {2, 50, 40});
    EXPECT_TRUE(op.unary(15, in, out));
    ASSERT_EQ(flHistogramEq(in, ref, 0), 0);
    EXPECT_EQ(bytes(out), bytes(ref));
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text + ui.notices[0].title + QString::number(ui.notices[0].msec),
              "This function takes a while on large images.\nmessage2000");

    // The map, and the frame of a three-dimensional input; Cancel at either.
    ZVEKHDR *ramp = keep(makeFloat({2, 16, 8}, [](int i) { return 10.0f + 2.0f * float(i); }));
    ZVEKHDR *colour = keep(makeFloat({3, 16, 8, 3}, [](int i) { return float((i * 31) % 211); }));
    ZVEKHDR *two = keep(makeFloat({3, 16, 8, 2}));
    ZVEKHDR *rgb = blank("float", {3, 16, 8, 3});
    ui.asks.clear();
    ui.answers = {std::nullopt, QStringList{"2"}, std::nullopt, QStringList{"0"}, QStringList{"2"}};
    EXPECT_FALSE(op.unary(18, ramp, rgb) || op.unary(18, colour, rgb) || op.unary(18, two, rgb));
    ASSERT_EQ(ui.asks.size(), 5u);
    EXPECT_EQ(ui.asks[0].line, "Pseudocolor|Color map number|0|0..6|1");
    EXPECT_EQ(ui.asks[2].line, "Pseudocolor|Input Frame No|0|0..2|1");
    EXPECT_EQ(ui.messages, std::vector<QString>{"Pseudocolor: frame 2 of the input image cannot be read."});
    EXPECT_EQ(bytes(rgb), QByteArray(bytes(rgb).size(), 0));

    // Maps 0 to 5 as the library draws them, of float, byte and complex
    // inputs (complex: the real parts) and of a chosen frame.
    ZVEKHDR *bytes8 = blank("u8bit", {2, 16, 8}), *cmp = blank("32cmp", {2, 16, 8});
    for (int i = 0; i < 128; ++i) {
        static_cast<unsigned char *>(bytes8->vekptr)[i] = uchar(i * 3 % 200);
        pixels(cmp)[2 * i] = float(i % 17);
        pixels(cmp)[2 * i + 1] = 1000.0f;
    }
    ZVEKHDR *bytesAsFloat = keep(makeFloat({2, 16, 8}, [](int i) { return float(i * 3 % 200); }));
    ZVEKHDR *realParts = keep(makeFloat({2, 16, 8}, [](int i) { return float(i % 17); }));
    ZVEKHDR *frame1 = keep(Zvekslice(colour, "f", 1));
    struct Row { ZVEKHDR *in, *plane; QStringList typed; };
    const Row rows[] = {{ramp, ramp, {"0"}}, {ramp, ramp, {"1"}}, {ramp, ramp, {"2"}}, {ramp, ramp, {"4"}},
                        {ramp, ramp, {"5"}},
                        {colour, frame1, {"3", "1"}}, {bytes8, bytesAsFloat, {"0"}}, {cmp, realParts, {"2"}}};
    for (const Row &row : rows) {
        SCOPED_TRACE(shape(row.in) + " map " + row.typed[0].toStdString());
        ZVEKHDR *o = blank("float", {3, 16, 8, 3});
        ui.answers.clear();
        for (const QString &t : row.typed) ui.answers.push_back(QStringList{t});
        EXPECT_TRUE(op.unary(18, const_cast<ZVEKHDR *&>(row.in), o));
        EXPECT_EQ(bytes(o), libraryColours(row.plane, row.typed[0].toInt()));
    }
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(GuiTest, RandomColourMapTakesTheLabelCount) {
    ZVekOp op(mw);
    // Labels 0 .. 6 and -1 across a 9 x 7 image; a count of 5 colours labels 2 .. 4.
    const int labelsAt[] = {0, 1, 2, 3, 4, 5, 6, -1};
    ZVEKHDR *labels = keep(makeFloat({2, 9, 7}, [&](int i) { return float(labelsAt[i % 8]); }));
    ZVEKHDR *out = keep(makeFloat({3, 9, 7, 3}, [](int) { return 7.0f; }));
    controller->maxLabel = 5;
    Zveksrand48(4242);
    const std::vector<float> table = drawTable(5);
    const double next = Zvekdrand48();
    Zveksrand48(4242);
    ui.answers = {QStringList{"6"}};
    EXPECT_EQ(printed([&] { EXPECT_TRUE(op.unary(18, labels, out)); }), "processing a random color map");
    EXPECT_EQ(Zvekdrand48(), next) << "the generator moved on by 3n - 2 values";
    for (int i = 0; i < 63; ++i)
        for (int f = 0; f < 3; ++f) {
            const int v = labelsAt[i % 8];
            const float want = i < 9 || i % 9 == 0 ? 7.0f : v >= 2 && v < 5 ? table[v + f * 5] : 0.0f;
            EXPECT_EQ(pixels(out)[f * 63 + i], want) << "pixel " << i << " label " << v << " frame " << f;
        }
    // No colour frames: nothing written. A smaller output: the part both cover.
    ZVEKHDR *flat = keep(makeFloat({2, 9, 7}));
    ZVEKHDR *small = keep(makeFloat({3, 4, 3, 3}, [](int) { return 7.0f; }));
    printed([&] {
        ZVekOp::colormap6(labels, flat, 5);
        ZVekOp::colormap6(labels, small, 1000);
    });
    EXPECT_EQ(bytes(flat), QByteArray(4 * 63, 0));
    EXPECT_EQ(std::vector<float>(pixels(small), pixels(small) + 5), std::vector<float>(5, 7.0f));
    EXPECT_NE(pixels(small)[5], 7.0f);

    // Two million labels: the table drawn entry by entry as the reference.
    const int n = 2000000;
    const int at[] = {0, 1, 2, 3, 1999999, 1000000, 777777, n, n + 5, -4, 3, 64, 130};
    ZVEKHDR *many = keep(makeFloat({2, 7, 5}, [&](int i) { return float(at[i % 13]); }));
    ZVEKHDR *manyOut = blank("float", {3, 7, 5, 3});
    Zveksrand48(12345);
    const std::vector<float> big = drawTable(n);
    const uint64_t after = generatorState();
    Zveksrand48(12345);
    printed([&] { ZVekOp::colormap6(many, manyOut, n); });
    EXPECT_EQ(generatorState(), after) << "the generator moves on by 3n - 2 values";
    // Labels from 2^22 on are found by sorting: label 2^30 of 2^30 + 1
    // colours takes the last value drawn (blue).
    ZVEKHDR *top = keep(makeFloat({2, 3, 3}, [](int i) { return i == 4 ? float(1 << 30) : 0.0f; }));
    ZVEKHDR *topOut = blank("float", {3, 3, 3, 3});
    printed([&] { ZVekOp::colormap6(top, topOut, (1 << 30) + 1); });
    for (int i = 8; i < 35; ++i)
        for (int f = 0; f < 3 && i % 7; ++f) {
            const int v = at[i % 13];
            EXPECT_EQ(pixels(manyOut)[f * 35 + i], v >= 2 && v < n ? big[size_t(v) + size_t(f) * n] : 0.0f) << v;
        }
    EXPECT_EQ(pixels(topOut)[18 + 4], float(int(double(generatorState()) / 281474976710656.0 * 255.0)));
    // Found by sorting too: a label met twice takes one colour and one turn of
    // the generator; a label equal to the count has none.
    const int m = (1 << 23) + 2;
    std::vector<float> colours[2];
    uint64_t states[2];
    for (int twice : {0, 1}) {
        ZVEKHDR *edge = keep(makeFloat({2, 3, 2}, [&](int i) { return i == 4 || (twice && i == 5) ? m - 1.0f : m; }));
        ZVEKHDR *edgeOut = blank("float", {3, 3, 2, 3});
        Zveksrand48(77);
        printed([&] { ZVekOp::colormap6(edge, edgeOut, m); });
        states[twice] = generatorState();
        colours[twice].assign(pixels(edgeOut), pixels(edgeOut) + 18);
    }
    EXPECT_EQ(states[1], states[0]);
    for (int f = 0; f < 3; ++f)
        EXPECT_TRUE(colours[0][f * 6 + 5] == 0.0f && colours[1][f * 6 + 5] == colours[0][f * 6 + 4] &&
                    colours[1][f * 6 + 4] == colours[0][f * 6 + 4]) << "frame " << f;
}
