// Tests of the one-image dispatcher: the common road, the number dialogs of
// every code, the operations each code runs and the messages about their
// results; a few through the real toolkit dialogs.
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <cmath>

#include "zvekop_testui.h"

namespace {

// A smooth, non-constant test pattern.
float pattern(int i) { return 60.0f + 40.0f * std::sin(0.37f * i) + float(i % 11); }

struct ExpectedDialog {
    int code;
    const char *title, *label;
    double value, min, max;
    int decimals;
};

// Every number dialog, as the command table gives it.
const ExpectedDialog kDialogs[] = {
    {1, "Dx", "Sigma of blur", 1.0, 1.0, 255.0, 1},
    {2, "Dxx", "Sigma of blur", 1.0, 0.0, 255.0, 1},
    {3, "Dy", "Sigma of blur", 1.0, 0.0, 255.0, 1},
    {4, "Dyy", "Sigma of blur", 1.0, 0.0, 255.0, 1},
    {5, "Dxy", "Sigma of blur", 1.0, 0.0, 255.0, 1},
    {6, "gDir", "Sigma for all Gaussian derivatives:", 1.0, 0.0, 255.0, 1},
    {7, "Harris", "Sigma for all Gaussian derivatives:", 1.0, 0.0, 255.0, 1},
    {8, "Exp", "Scale for exp", 50.0, 0.0, 1000.0, 1},
    {11, "Laplacian", "sigma (-neg. means squared)", 1.0, -255.0, 255.0, 2},
    {12, "QuadVar", "sigma", 1.0, 0.0, 20.0, 2},
    {16, "MarkMax", "sigma of preblur.", 0.5, -255.0, 255.0, 2},
    {19, "Blur", "Sigma of blur", 0.0, 0.0, 255.0, 1},
    {23, "gMag", "Sigma of Gaussian derivative:", 1.0, 0.0, 255.0, 1},
    {24, "gDir", "Sigma of Gaussian derivative:", 1.0, 0.0, 255.0, 1},
};

using ZVekOpUnary = ZVekOpTest;

TEST_F(ZVekOpUnary, EmptyInputIsReportedForEveryCode) {
    ZVEKHDR *out = floatImage({2, 8, 8});
    for (int code = -2; code <= 38; ++code) {
        ZVEKHDR *in = nullptr;
        script.messages.clear();
        EXPECT_FALSE(op->unary(code, in, out)) << "code " << code;
        ASSERT_EQ(script.messages.size(), 1u) << "code " << code;
        EXPECT_EQ(script.messages[0], "Input empty");
    }
    EXPECT_TRUE(script.doubles.empty() && script.ints.empty() && script.forms.empty() && script.notices.empty());
}

TEST_F(ZVekOpUnary, CodesWithoutOperationDoNothing) {
    ZVEKHDR *in = floatImage({2, 16, 16}, pattern);
    ZVEKHDR *out = floatImage({2, 16, 16}, [](int i) { return float(-i); });
    const std::vector<float> before = snapshot(out);
    for (int code : {0, 9, 22, 25, 26, 27, 28, 36, 37, -1, 1000}) {
        ZVEKHDR *o = out;
        EXPECT_FALSE(op->unary(code, in, o)) << "code " << code;
        EXPECT_EQ(o, out);
    }
    EXPECT_EQ(script.interactions(), 0u);
    EXPECT_EQ(snapshot(out), before);
}

TEST_F(ZVekOpUnary, NoOutputBufferAsksNothing) {
    ZVEKHDR *in = floatImage({2, 16, 16}, pattern);
    for (int code : {1, 13, 15, 18, 33, 35}) {
        ZVEKHDR *out = nullptr;
        EXPECT_FALSE(op->unary(code, in, out)) << "code " << code;
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(script.interactions(), 0u);
}

TEST_F(ZVekOpUnary, NumberDialogsAndCancel) {
    ZVEKHDR *in = floatImage({2, 40, 40}, pattern);
    ZVEKHDR *out = floatImage({2, 40, 40}, [](int i) { return float(i); });
    const std::vector<float> before = snapshot(out);
    for (const ExpectedDialog &d : kDialogs) {
        script.doubles.clear();
        script.doubleAnswers = {std::nullopt};  // Cancel
        EXPECT_FALSE(op->unary(d.code, in, out)) << "code " << d.code;
        ASSERT_EQ(script.doubles.size(), 1u) << "code " << d.code;
        const ScriptUi::DoubleAsk &a = script.doubles[0];
        EXPECT_EQ(a.parent, mw);
        EXPECT_EQ(a.title, d.title) << "code " << d.code;
        EXPECT_EQ(a.label, d.label) << "code " << d.code;
        EXPECT_EQ(a.value, d.value) << "code " << d.code;
        EXPECT_EQ(a.min, d.min) << "code " << d.code;
        EXPECT_EQ(a.max, d.max) << "code " << d.code;
        EXPECT_EQ(a.decimals, d.decimals) << "code " << d.code;
    }
    // Cancel is silent and leaves the output as it was.
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(script.notices.empty());
    EXPECT_EQ(snapshot(out), before);
    // Codes without a number dialog ask none.
    script.doubles.clear();
    ZVEKHDR *o = out;
    for (int code : {10, 14, 17, 35}) op->unary(code, in, o);
    EXPECT_TRUE(script.doubles.empty());
}

// Each code calls its operation with the typed value as a 32-bit float:
// the output equals a direct call with the arguments the command table
// names (order and direction of the derivative filter included).
TEST_F(ZVekOpUnary, EachCodeRunsItsOperation) {
    ZVEKHDR *in = floatImage({2, 48, 40}, pattern);
    struct Case {
        int code;
        double typed;
        std::function<int(ZVEKHDR *, ZVEKHDR *)> reference;
    };
    const double s = 1.7;
    const float fs = float(s);
    const std::vector<Case> cases = {
        {1, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 1, 0, fs); }},
        {2, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 2, 0, fs); }},
        {3, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 1, 1, fs); }},
        {4, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 2, 1, fs); }},
        {5, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 2, 2, fs); }},
        {6, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flcurv(i, o, fs); }},
        {7, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flHarris(i, o, fs); }},
        {8, 33.3, [&](ZVEKHDR *i, ZVEKHDR *o) { return flexp(i, o, float(33.3)); }},
        {10, 0, [&](ZVEKHDR *i, ZVEKHDR *o) { return flinv(i, o); }},
        {11, -1.25, [&](ZVEKHDR *i, ZVEKHDR *o) { return flLaplace(i, o, -1.25f); }},
        {12, 1.25, [&](ZVEKHDR *i, ZVEKHDR *o) { return flqvar(i, o, 1.25f); }},
        {14, 0, [&](ZVEKHDR *i, ZVEKHDR *o) { return flabsolute(i, o); }},
        {17, 0, [&](ZVEKHDR *i, ZVEKHDR *o) { return flln(i, o); }},
        {19, 2.3, [&](ZVEKHDR *i, ZVEKHDR *o) { return flDoG(i, o, 0, 0, float(2.3)); }},
        {23, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flgmag(i, o, fs); }},
        {24, s, [&](ZVEKHDR *i, ZVEKHDR *o) { return flgdir(i, o, fs); }},
    };
    for (const Case &c : cases) {
        ZVEKHDR *out = floatImage({2, 48, 40});
        ZVEKHDR *ref = floatImage({2, 48, 40});
        script.doubleAnswers = {c.typed};
        EXPECT_TRUE(op->unary(c.code, in, out)) << "code " << c.code;
        ASSERT_EQ(c.reference(in, ref), 0) << "code " << c.code;
        EXPECT_TRUE(sameData(out, ref)) << "code " << c.code;
    }
    EXPECT_TRUE(script.messages.empty());

    // Mark-maxima into a three-frame buffer, gradient histograms into nine
    // frames of 8 x 8 cells.
    ZVEKHDR *marks = floatImage({3, 48, 40, 3}), *marksRef = floatImage({3, 48, 40, 3});
    script.doubleAnswers = {0.75};
    EXPECT_TRUE(op->unary(16, in, marks));
    ASSERT_EQ(flmarkmax(in, marksRef, 0.75f), 0);
    EXPECT_TRUE(sameData(marks, marksRef));
    ZVEKHDR *hog = floatImage({3, 6, 5, 9}), *hogRef = floatImage({3, 6, 5, 9});
    EXPECT_TRUE(op->unary(21, in, hog));
    ASSERT_EQ(HoGdescriptor(in, hogRef), 0);
    EXPECT_TRUE(sameData(hog, hogRef));
}

// Values worked out from the formulas in the test itself.
TEST_F(ZVekOpUnary, ElementwiseResultsFromTheFormulas) {
    ZVEKHDR *in = floatImage({2, 9, 7}, [](int i) { return float(i) * 3.5f - 80.0f; });
    const int n = 63;
    ZVEKHDR *inv = floatImage({2, 9, 7}), *absv = floatImage({2, 9, 7}), *lnv = floatImage({2, 9, 7}),
            *expv = floatImage({2, 9, 7});
    EXPECT_TRUE(op->unary(10, in, inv));
    EXPECT_TRUE(op->unary(14, in, absv));
    EXPECT_TRUE(op->unary(17, in, lnv));
    script.doubleAnswers = {20.0};
    EXPECT_TRUE(op->unary(8, in, expv));
    const float max = 62 * 3.5f - 80.0f;
    for (int i = 0; i < n; ++i) {
        const float v = pixels(in)[i];
        EXPECT_EQ(pixels(inv)[i], max - v) << i;
        EXPECT_EQ(pixels(absv)[i], std::fabs(v)) << i;
        EXPECT_NEAR(pixels(lnv)[i], v > 0 ? std::log(double(v)) : 0.0, 1e-5) << i;
        EXPECT_NEAR(pixels(expv)[i], std::min(std::exp(double(v) / 20.0), 255.0), 1e-4 * pixels(expv)[i]) << i;
    }

    // The derivative codes take their direction from the table: on a ramp
    // along the columns the x derivative is the same non-zero value
    // everywhere inside, the y derivative is zero.
    ZVEKHDR *ramp = floatImage({2, 40, 40}, [](int i) { return 2.0f * float(i % 40); });
    ZVEKHDR *dx = floatImage({2, 40, 40}), *dy = floatImage({2, 40, 40});
    script.doubleAnswers = {1.0, 1.0};
    EXPECT_TRUE(op->unary(1, ramp, dx));
    EXPECT_TRUE(op->unary(3, ramp, dy));
    const float inside = pixels(dx)[20 * 40 + 20];
    EXPECT_GT(std::fabs(inside), 0.5f);
    for (int r = 10; r < 30; ++r)
        for (int c = 10; c < 30; ++c) {
            EXPECT_NEAR(pixels(dx)[r * 40 + c], inside, 1e-3f * std::fabs(inside));
            EXPECT_NEAR(pixels(dy)[r * 40 + c], 0.0f, 1e-4f);
        }
}

TEST_F(ZVekOpUnary, PixelCopyOfTheFirstPlane) {
    ZVEKHDR *in = floatImage({3, 7, 5, 3}, [](int i) { return float(i * i) * 0.25f; });
    ZVEKHDR *out = floatImage({2, 7, 5});
    EXPECT_TRUE(op->unary(35, in, out));
    for (int i = 0; i < 35; ++i) EXPECT_EQ(pixels(out)[i], float(i * i) * 0.25f) << i;
    EXPECT_EQ(script.interactions(), 0u);
    // An output smaller than the input is not written.
    ZVEKHDR *small = floatImage({2, 6, 5}, [](int) { return 9.0f; });
    EXPECT_FALSE(op->unary(35, in, small));
    for (int i = 0; i < 30; ++i) EXPECT_EQ(pixels(small)[i], 9.0f);
}

TEST_F(ZVekOpUnary, ColourToGrayAndItsMessages) {
    ZVEKHDR *colour = floatImage({3, 6, 4, 3}, [](int i) { return float((i * 37) % 256); });
    ZVEKHDR *gray = floatImage({2, 6, 4});
    EXPECT_TRUE(op->unary(20, colour, gray));
    EXPECT_TRUE(script.messages.empty());
    for (int i = 0; i < 24; ++i) {
        const double r = (i * 37) % 256, g = ((i + 24) * 37) % 256, b = ((i + 48) * 37) % 256;
        EXPECT_EQ(pixels(gray)[i], float(0.21 * r + 0.72 * g + 0.07 * b)) << i;
    }

    struct Refusal {
        ZVEKHDR *in, *out;
        const char *text;
    };
    ZVEKHDR *flat = floatImage({2, 6, 4});
    ZVEKHDR *twoFrames = floatImage({3, 6, 4, 2});
    const int32_t structDims[4] = {3, 6, 4, 3};
    ZVEKHDR *structs = keep(Zvekcreate("struct", structDims, 11, 4));
    const std::vector<Refusal> refusals = {
        {flat, gray, "Input image must be color."},
        {twoFrames, gray, "Input image must be color."},
        {colour, floatImage({3, 6, 4, 3}), "Output image must be 2d."},
        {colour, floatImage({2, 5, 4}), "Input and output images have different number cols."},
        {colour, floatImage({2, 6, 5}), "Input and output images have different number rows."},
    };
    for (const Refusal &r : refusals) {
        script.messages.clear();
        ZVEKHDR *in = r.in, *out = r.out;
        EXPECT_FALSE(op->unary(20, in, out));
        ASSERT_EQ(script.messages.size(), 1u) << r.text;
        EXPECT_EQ(script.messages[0], r.text);
    }
    ASSERT_NE(structs, nullptr);
    {
        script.messages.clear();
        ZVEKHDR *in = structs, *out = gray;
        EXPECT_FALSE(op->unary(20, in, out));
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_EQ(script.messages[0], "Color to gray function input error.");
    }

    // A byte output held by a slot is replaced by a float one; the slot
    // follows.
    script.messages.clear();
    controller->images[5] = Zvekcreate("u8bit", std::vector<int32_t>{2, 6, 4}.data(), 11, 0);
    ZVEKHDR *out = controller->images[5];
    EXPECT_TRUE(op->unary(20, colour, out));
    EXPECT_EQ(controller->images[5], out);
    EXPECT_EQ(out->dtype, DT_32FLT);
    EXPECT_TRUE(sameData(out, gray));
}

TEST_F(ZVekOpUnary, LaplacianAndQuadVarReportErrors) {
    ZVEKHDR *bytes = typedImage("u8bit", {2, 32, 32});
    ZVEKHDR *out = floatImage({2, 32, 32});
    for (int code : {11, 12}) {
        script.messages.clear();
        script.doubleAnswers = {1.0};
        EXPECT_FALSE(op->unary(code, bytes, out));
        ASSERT_EQ(script.messages.size(), 1u) << code;
        EXPECT_EQ(script.messages[0], "Function returned an error code.");
    }
    // Other failures are not reported by the dispatcher.
    script.messages.clear();
    script.doubleAnswers = {1.0};
    EXPECT_FALSE(op->unary(2, bytes, out));
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpUnary, ComplexParts) {
    ZVEKHDR *c = typedImage("32cmp", {2, 4, 3});
    float *d = pixels(c);
    for (int i = 0; i < 12; ++i) {
        d[2 * i] = float(i) - 5.5f;
        d[2 * i + 1] = float(i * i % 7) - 3.0f;
    }
    ZVEKHDR *mag = floatImage({2, 4, 3}), *phase = floatImage({2, 4, 3}), *re = floatImage({2, 4, 3}),
            *im = floatImage({2, 4, 3});
    EXPECT_TRUE(op->unary(29, c, mag));
    EXPECT_TRUE(op->unary(30, c, phase));
    EXPECT_TRUE(op->unary(31, c, re));
    EXPECT_TRUE(op->unary(32, c, im));
    EXPECT_TRUE(script.messages.empty());
    for (int i = 0; i < 12; ++i) {
        const double x = float(i) - 5.5f, y = float(i * i % 7) - 3.0f;
        EXPECT_NEAR(pixels(mag)[i], std::hypot(x, y), 1e-5) << i;
        EXPECT_NEAR(pixels(phase)[i], std::atan2(y, x), 1e-6) << i;
        EXPECT_EQ(pixels(re)[i], float(x)) << i;
        EXPECT_EQ(pixels(im)[i], float(y)) << i;
    }
    // A float input is refused, each code naming its function.
    ZVEKHDR *flt = floatImage({2, 4, 3});
    const char *names[] = {"Zvekc2mag", "Zvekc2phase", "Zvekc2real", "Zvekc2imag"};
    for (int code = 29; code <= 32; ++code) {
        script.messages.clear();
        ZVEKHDR *out = mag;
        EXPECT_FALSE(op->unary(code, flt, out));
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_EQ(script.messages[0], QString("Error returned by ") + names[code - 29]);
    }
}

// The toolkit's own number dialog, answered through the widget.
TEST_F(ZVekOpUnary, RealNumberDialog) {
    ZVekUi::install(nullptr);
    ZVEKHDR *in = floatImage({2, 40, 40}, pattern);
    ZVEKHDR *out = floatImage({2, 40, 40});
    ZVEKHDR *ref = floatImage({2, 40, 40});

    bool seen = false;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->parentWidget(), mw);
        EXPECT_EQ(dialog->windowTitle(), "Dx");
        EXPECT_EQ(dialog->labelText(), "Sigma of blur");
        EXPECT_EQ(dialog->doubleValue(), 1.0);
        EXPECT_EQ(dialog->doubleMinimum(), 1.0);
        EXPECT_EQ(dialog->doubleMaximum(), 255.0);
        EXPECT_EQ(dialog->doubleDecimals(), 1);
        // Below the minimum the dialog holds 1.0.
        auto *spin = dialog->findChild<QDoubleSpinBox *>();
        ASSERT_NE(spin, nullptr);
        spin->setValue(0.4);
        EXPECT_EQ(spin->value(), 1.0);
        spin->setValue(2.46);
        dialog->accept();
    });
    EXPECT_TRUE(op->unary(1, in, out));
    EXPECT_TRUE(seen);
    ASSERT_EQ(flDoG(in, ref, 1, 0, 2.5f), 0);
    EXPECT_TRUE(sameData(out, ref));

    // Cancel in the Laplacian's dialog: nothing runs.
    seen = false;
    const std::vector<float> before = snapshot(out);
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), "Laplacian");
        EXPECT_EQ(dialog->labelText(), "sigma (-neg. means squared)");
        EXPECT_EQ(dialog->doubleMinimum(), -255.0);
        EXPECT_EQ(dialog->doubleDecimals(), 2);
        dialog->reject();
    });
    EXPECT_FALSE(op->unary(11, in, out));
    EXPECT_TRUE(seen);
    EXPECT_EQ(snapshot(out), before);
}

}  // namespace
