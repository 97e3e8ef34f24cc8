// Tests of the two-image dispatcher: empty inputs, the translation form,
// the shifted arithmetic with its result image and hand-over, complex
// inputs, correlation with its refusals, and the codes without operation.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <climits>
#include <cmath>

#include "zvekop_testui.h"

namespace {

using ZVekOpBinary = ZVekOpTest;

float first(int i) { return float((i * 13) % 50) + 1.0f; }
float second(int i) { return float((i * 7) % 9); }  // zero now and then

// The value b contributes at out(r, c), or that a does, by the placement
// rule: a positive shift moves b, a negative one moves a.
struct Placement {
    int dr, dc;
    bool aAt(int r, int c, int rows, int cols, int &ra, int &ca) const {
        ra = dr > 0 ? r : r + dr;
        ca = dc > 0 ? c : c + dc;
        return ra >= 0 && ra < rows && ca >= 0 && ca < cols;
    }
    bool bAt(int r, int c, int rows, int cols, int &rb, int &cb) const {
        rb = dr > 0 ? r - dr : r;
        cb = dc > 0 ? c - dc : c;
        return rb >= 0 && rb < rows && cb >= 0 && cb < cols;
    }
};

int32_t colsOf(ZVEKHDR *h) { return Zvekdimen(h, 0); }
int32_t rowsOf(ZVEKHDR *h) { return Zvekdimen(h, 1); }

TEST_F(ZVekOpBinary, EmptyInputs) {
    ZVEKHDR *img = floatImage({2, 4, 4});
    ZVEKHDR *out = floatImage({2, 4, 4});
    for (int code : {9, 22, 24, 25, 99}) {
        ZVEKHDR *none1 = nullptr, *none2 = nullptr;
        script.messages.clear();
        EXPECT_FALSE(op->binary(code, none1, none2, out, 3));
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_EQ(script.messages[0], "Input1 empty");
        script.messages.clear();
        EXPECT_FALSE(op->binary(code, img, none2, out, 3));
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_EQ(script.messages[0], "Input2 empty");
    }
    EXPECT_TRUE(script.forms.empty());
}

TEST_F(ZVekOpBinary, TranslationForm) {
    int rows = 11, cols = 12, status = 5;
    script.formAnswers.push_back(std::nullopt);
    op->gettwonumbers(&rows, &cols, &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(rows, 11);
    EXPECT_EQ(cols, 12);
    ASSERT_EQ(script.forms.size(), 1u);
    EXPECT_EQ(script.forms[0].parent, mw);
    EXPECT_EQ(script.forms[0].heading, "Translation of second image:");
    EXPECT_EQ(script.forms[0].labels, QStringList({"rows ", "cols "}));
    EXPECT_EQ(script.forms[0].values, QStringList({"0", "0"}));

    struct Typed {
        QString rows, cols;
        int wantRows, wantCols;
    };
    const std::vector<Typed> typed = {
        {"2.9", "-2.9", 2, -2}, {"abc", "", 0, 0},         {" 7 ", "-0.5", 7, 0},
        {"nan", "inf", 0, 0},   {"1e10", "-1e12", INT_MAX, INT_MIN},
    };
    for (const Typed &t : typed) {
        script.typeIntoForm({{0, t.rows}, {1, t.cols}});
        op->gettwonumbers(&rows, &cols, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(rows, t.wantRows) << t.rows.toStdString();
        EXPECT_EQ(cols, t.wantCols) << t.cols.toStdString();
    }
}

TEST_F(ZVekOpBinary, ShiftedSumSizeAndValues) {
    ZVEKHDR *a = floatImage({2, 100, 80}, first);
    ZVEKHDR *b = floatImage({2, 100, 80}, second);
    struct Case {
        int dr, dc, cols, rows;
    };
    for (const Case &k : {Case{0, 0, 100, 80}, Case{-5, 3, 103, 85}, Case{4, -6, 106, 84}}) {
        ZVEKHDR *out = floatImage({2, 100, 80});
        owned.pop_back();  // the dispatcher releases the buffer it replaces
        script.typeIntoForm({{0, QString::number(k.dr)}, {1, QString::number(k.dc)}});
        EXPECT_TRUE(op->binary(22, a, b, out, -1));
        keep(out);
        ASSERT_EQ(colsOf(out), k.cols);
        ASSERT_EQ(rowsOf(out), k.rows);
        EXPECT_EQ(out->dtype, DT_32FLT);
        EXPECT_EQ(out->vekndim, 2);
        const Placement p{k.dr, k.dc};
        for (int r = 0; r < k.rows; ++r)
            for (int c = 0; c < k.cols; ++c) {
                int ra, ca, rb, cb;
                const float av = p.aAt(r, c, 80, 100, ra, ca) ? first(ra * 100 + ca) : 0.0f;
                const float bv = p.bAt(r, c, 80, 100, rb, cb) ? second(rb * 100 + cb) : 0.0f;
                ASSERT_EQ(pixels(out)[r * k.cols + c], av + bv) << k.dr << "," << k.dc << " at " << r << "," << c;
            }
    }
    // A wide, flat second image sets the columns.
    ZVEKHDR *c1 = floatImage({2, 50, 50}, first), *c2 = floatImage({2, 200, 10}, second);
    ZVEKHDR *out = floatImage({2, 50, 50});
    owned.pop_back();
    script.typeIntoForm({});
    EXPECT_TRUE(op->binary(22, c1, c2, out, -1));
    keep(out);
    EXPECT_EQ(colsOf(out), 200);
    EXPECT_EQ(rowsOf(out), 50);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpBinary, DifferenceProductQuotient) {
    ZVEKHDR *a = floatImage({2, 5, 5}, first);
    ZVEKHDR *b = floatImage({2, 5, 5}, second);
    for (int code : {25, 26, 27}) {
        ZVEKHDR *out = floatImage({2, 5, 5});
        owned.pop_back();
        script.typeIntoForm({{0, "2"}});
        EXPECT_TRUE(op->binary(code, a, b, out, -1));
        keep(out);
        ASSERT_EQ(colsOf(out), 5);
        ASSERT_EQ(rowsOf(out), 7);
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c) {
                const float av = r < 5 ? first(r * 5 + c) : 0.0f;
                const float bv = r >= 2 ? second((r - 2) * 5 + c) : 0.0f;
                const float want = code == 25 ? av - bv : code == 26 ? av * bv : (bv != 0.0f ? av / bv : 255.0f);
                EXPECT_EQ(pixels(out)[r * 5 + c], want) << code << " at " << r << "," << c;
            }
    }
}

TEST_F(ZVekOpBinary, ColourResultHasThreeFramesOfInputOnesType) {
    ZVEKHDR *a = floatImage({3, 6, 4, 3}, first);
    ZVEKHDR *b = floatImage({3, 6, 4, 3}, second);
    ZVEKHDR *out = floatImage({3, 6, 4, 3});
    owned.pop_back();
    script.typeIntoForm({{1, "-1"}});
    EXPECT_TRUE(op->binary(26, a, b, out, -1));
    keep(out);
    EXPECT_EQ(out->vekndim, 3);
    EXPECT_EQ(colsOf(out), 7);
    EXPECT_EQ(rowsOf(out), 4);
    EXPECT_EQ(Zvekdimen(out, 2), 3);
    EXPECT_STREQ(out->vekdt, a->vekdt);
    // Column c of the product holds a's column c - 1 times b's column c.
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 7; ++c) {
                const float av = c >= 1 ? first(f * 24 + r * 6 + c - 1) : 0.0f;
                const float bv = c < 6 ? second(f * 24 + r * 6 + c) : 0.0f;
                EXPECT_EQ(pixels(out)[f * 28 + r * 7 + c], av * bv);
            }
}

// The result's way into the Output slot, with the caller's rule after the
// call: when the answer is true and the slot does not hold out, the slot's
// image is released and out is stored there.
TEST_F(ZVekOpBinary, HandOverToTheOutputSlot) {
    auto callerRule = [&](bool ok, ZVEKHDR *out, int slot, bool temporary) {
        if (ok && controller->images[slot] != out) {
            Zvekfree(controller->images[slot], 7);
            controller->images[slot] = out;
        } else if (!ok && temporary) {
            Zvekfree(out, 7);
        }
    };
    // Output is neither input: the buffer is the slot's image.
    controller->images[0] = makeFloat({2, 10, 8}, first);
    controller->images[1] = makeFloat({2, 10, 8}, second);
    controller->images[4] = makeFloat({2, 10, 8});
    ZVEKHDR *in1 = controller->images[0], *in2 = controller->images[1], *out = controller->images[4];
    script.typeIntoForm({{0, "1"}, {1, "1"}});
    bool ok = op->binary(22, in1, in2, out, 4);
    EXPECT_TRUE(ok);
    EXPECT_EQ(controller->images[4], out);
    EXPECT_EQ(colsOf(out), 11);
    EXPECT_EQ(rowsOf(out), 9);
    callerRule(ok, out, 4, false);
    EXPECT_EQ(controller->images[0], in1);
    EXPECT_EQ(controller->images[1], in2);

    // Output is Input 1: the buffer is a temporary; the input stays in the
    // slot until the caller replaces it.
    ZVEKHDR *temp = makeFloat({2, 10, 8});
    out = temp;
    script.typeIntoForm({{1, "2"}});
    ok = op->binary(25, in1, in2, out, 0);
    EXPECT_TRUE(ok);
    EXPECT_NE(out, temp);
    EXPECT_EQ(controller->images[0], in1);
    EXPECT_EQ(colsOf(out), 12);
    // in1's values are still readable here: the caller releases it next.
    EXPECT_EQ(pixels(out)[0], first(0) - 0.0f);
    callerRule(ok, out, 0, true);
    EXPECT_EQ(controller->images[0], out);

    // Cancel with a temporary: nothing made, the input stays.
    in1 = controller->images[0];
    temp = makeFloat({2, 12, 8}, [](int) { return 4.0f; });
    out = temp;
    script.formAnswers.push_back(std::nullopt);
    ok = op->binary(22, in1, in2, out, 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, temp);
    EXPECT_EQ(pixels(out)[5], 4.0f);
    callerRule(ok, out, 0, true);
    EXPECT_EQ(controller->images[0], in1);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpBinary, FailuresLeaveEverythingAsItWas) {
    ZVEKHDR *gray = floatImage({2, 6, 6}, first);
    ZVEKHDR *colour = floatImage({3, 6, 6, 3}, second);
    ZVEKHDR *out = floatImage({2, 6, 6}, [](int) { return 9.0f; });
    // Gray with colour: the operation's -2.
    script.typeIntoForm({});
    {
        StdoutCapture capture;
        EXPECT_FALSE(op->binary(22, gray, colour, out, -1));
        EXPECT_EQ(capture.text(), "both input images must be either both grayscale or both color\n");
    }
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Function return error code-2");
    // Shifts too large for any image: the result can't be made.
    script.messages.clear();
    script.typeIntoForm({{0, "3e9"}});
    EXPECT_FALSE(op->binary(22, gray, gray, out, -1));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Function return error code-9");
    for (int i = 0; i < 36; ++i) ASSERT_EQ(pixels(out)[i], 9.0f);
}

TEST_F(ZVekOpBinary, ComplexInputGoesToTheVectorSum) {
    ZVEKHDR *c1 = typedImage("32cmp", {2, 4, 4}), *c2 = typedImage("32cmp", {2, 4, 4});
    for (int i = 0; i < 32; ++i) {
        pixels(c1)[i] = float(i);
        pixels(c2)[i] = float(100 - 3 * i);
    }
    // The float buffer of the command slots is refused, for all four.
    ZVEKHDR *out = floatImage({2, 4, 4});
    for (int code : {22, 25, 26, 27}) {
        script.messages.clear();
        EXPECT_FALSE(op->binary(code, c1, c2, out, -1)) << code;
        ASSERT_EQ(script.messages.size(), 1u);
        EXPECT_EQ(script.messages[0], "Function return error code-1");
    }
    EXPECT_TRUE(script.forms.empty()) << "no translation is asked for complex images";
    // A complex buffer receives the sum, whichever of the four.
    ZVEKHDR *cout = typedImage("32cmp", {2, 4, 4});
    script.messages.clear();
    EXPECT_TRUE(op->binary(26, c1, c2, cout, -1));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(pixels(cout)[i], float(i) + float(100 - 3 * i));
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpBinary, Correlation) {
    ZVEKHDR *image = floatImage({2, 130, 130}, [](int i) { return float((i * 31 + i / 130) % 97); });
    ZVEKHDR *tmpl = floatImage({2, 128, 128}, [](int i) { return float((i * 17) % 89); });
    ZVEKHDR *out = floatImage({2, 130, 130});
    EXPECT_TRUE(op->binary(9, image, tmpl, out, -1));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "This may take a long time, please be patient.");
    EXPECT_EQ(script.notices[0].msec, 1000);
    EXPECT_TRUE(script.messages.empty());
    ZVEKHDR *ref = floatImage({2, 130, 130});
    ASSERT_EQ(flcorrelate(image, tmpl, ref), 0);
    EXPECT_TRUE(sameData(out, ref));

    struct Refusal {
        ZVEKHDR *a, *t;
        QString text;
        bool notice;
    };
    ZVEKHDR *colour = floatImage({3, 20, 20, 3}, first);
    ZVEKHDR *small = floatImage({2, 5, 5}, second);
    ZVEKHDR *tooBig = floatImage({2, 129, 128});
    ZVEKHDR *bytes = typedImage("u8bit", {2, 20, 20}), *byteT = typedImage("u8bit", {2, 4, 4});
    ZVEKHDR *flatT = floatImage({2, 4, 4}, [](int) { return 2.0f; });
    const std::vector<Refusal> refusals = {
        {colour, small, "I can't correlate a gray scale image with a color image. Sorry.", false},
        {image, tooBig, "Image 2 needs to be small, like 64x64 or less. Sorry.", false},
        {bytes, byteT, "Input images must be float or complex %d", true},
        {image, flatT, "Function return error code-3", true},
    };
    ZVEKHDR *out2 = floatImage({2, 130, 130}, [](int) { return 6.0f; });
    for (const Refusal &r : refusals) {
        script.messages.clear();
        script.notices.clear();
        ZVEKHDR *a = r.a, *t = r.t, *o = out2;
        EXPECT_FALSE(op->binary(9, a, t, o, -1)) << r.text.toStdString();
        ASSERT_EQ(script.messages.size(), 1u) << r.text.toStdString();
        EXPECT_EQ(script.messages[0], r.text);
        EXPECT_EQ(script.notices.size(), r.notice ? 1u : 0u) << r.text.toStdString();
    }
    for (int i = 0; i < 130 * 130; ++i) ASSERT_EQ(pixels(out2)[i], 6.0f);
}

TEST_F(ZVekOpBinary, CodesWithoutOperation) {
    ZVEKHDR *a = floatImage({2, 6, 6}, first), *b = floatImage({2, 6, 6}, second);
    ZVEKHDR *out = floatImage({2, 6, 6});
    ZVEKHDR *given = out;
    EXPECT_TRUE(op->binary(24, a, b, out, -1));  // N/A: the zero buffer is the result
    EXPECT_FALSE(op->binary(28, a, b, out, -1));
    EXPECT_FALSE(op->binary(0, a, b, out, -1));
    EXPECT_EQ(out, given);
    EXPECT_EQ(script.interactions(), 0u);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(pixels(out)[i], 0.0f);
}

// The toolkit's own translation form.
TEST_F(ZVekOpBinary, RealTranslationForm) {
    ZVekUi::install(nullptr);
    ZVEKHDR *a = floatImage({2, 20, 10}, first), *b = floatImage({2, 20, 10}, second);
    ZVEKHDR *out = floatImage({2, 20, 10});
    owned.pop_back();
    bool seen = false;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->parentWidget(), mw);
        auto *form = qobject_cast<QFormLayout *>(dialog->layout());
        ASSERT_NE(form, nullptr);
        ASSERT_EQ(form->rowCount(), 4);
        auto *heading = qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::SpanningRole)->widget());
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(heading->text(), "Translation of second image:");
        const char *labels[] = {"rows ", "cols "};
        const char *typed[] = {"3.7", "-2"};
        for (int row = 1; row <= 2; ++row) {
            auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            auto *edit = qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
            ASSERT_TRUE(label && edit);
            EXPECT_EQ(label->text(), labels[row - 1]);
            EXPECT_EQ(edit->text(), "0");
            edit->setText(typed[row - 1]);
        }
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    EXPECT_TRUE(op->binary(22, a, b, out, -1));
    keep(out);
    EXPECT_TRUE(seen);
    EXPECT_EQ(colsOf(out), 22);
    EXPECT_EQ(rowsOf(out), 13);

    // Cancel through the dialog's own button.
    ZVEKHDR *out2 = floatImage({2, 20, 10});
    ZVEKHDR *given = out2;
    whenModal([&](QWidget *w) {
        w->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_FALSE(op->binary(22, a, b, out2, -1));
    EXPECT_EQ(out2, given);
}

}  // namespace
