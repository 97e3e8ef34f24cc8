// Tests of the longer one-image roads: labelling, histogram equalisation,
// pseudo-colour with the random map, the Fourier transforms and the wait.
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <complex>
#include <cmath>

#include "zvekop_testui.h"

namespace {

class ZVekOpRoads : public ZVekOpTest {
protected:
    // out and the label count are what the library gives for the form's
    // other defaults (EraseSmall 1, minval 10, maxval 255) at thresh.
    void expectLibraryLabels(ZVEKHDR *in, ZVEKHDR *out, float thresh) {
        ZVEKHDR *ref = floatImage({2, Zvekdimen(in, 0), Zvekdimen(in, 1)});
        int count = 0;
        ASSERT_EQ(cclC4_2(in, 1, 0, &count, "", ref, thresh, 10.0f, 255.0f), 0);
        EXPECT_EQ(count, controller->maxLabel);
        EXPECT_TRUE(sameData(out, ref));
    }
};
using cd = std::complex<double>;

const QStringList kCclLabels = {"Thresh ", "minval ", "maxval ", "EraseSmall ", "EraseLarge ",
                                "filename of areas"};
const QStringList kCclDefaults = {"2.0", "10.0", "255.0", "1", "0", ""};

// Two blobs on a zero background: value 100 at rows 5..10, columns 5..12 and
// value 200 at rows 18..25, columns 20..35 of a 40 x 30 image.
float blobs(int i) {
    const int r = i / 40, c = i % 40;
    if (r >= 5 && r <= 10 && c >= 5 && c <= 12) return 100.0f;
    if (r >= 18 && r <= 25 && c >= 20 && c <= 35) return 200.0f;
    return 0.0f;
}

TEST_F(ZVekOpRoads, LabellingPixelLimit) {
    ZVEKHDR *big = floatImage({2, 1001, 1000});
    ZVEKHDR *out = floatImage({2, 1001, 1000});
    EXPECT_FALSE(op->unary(13, big, out));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "Sorry. This function cannot handle 1001000 pixels. Returning...");
    EXPECT_EQ(script.notices[0].msec, 3000);
    EXPECT_TRUE(script.forms.empty());

    // Exactly a million pixels go on to the form (cancelled here).
    script.notices.clear();
    ZVEKHDR *edge = floatImage({2, 1000, 1000});
    ZVEKHDR *out2 = floatImage({2, 1000, 1000});
    EXPECT_FALSE(op->unary(13, edge, out2));
    EXPECT_TRUE(script.notices.empty());
    ASSERT_EQ(script.forms.size(), 1u);
    EXPECT_EQ(script.forms[0].parent, mw);
    EXPECT_EQ(script.forms[0].heading, "Parameters for CCL.");
    EXPECT_EQ(script.forms[0].labels, kCclLabels);
    EXPECT_EQ(script.forms[0].values, kCclDefaults);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpRoads, LabellingTwoBlobs) {
    ZVEKHDR *in = floatImage({2, 40, 30}, blobs);
    ZVEKHDR *out = floatImage({2, 40, 30});
    controller->maxLabel = -5;
    script.typeIntoForm({});
    StdoutCapture capture;
    EXPECT_TRUE(op->unary(13, in, out));
    const std::string printed = capture.text();
    EXPECT_EQ(printed.find("1: "), std::string::npos) << "no areas file was named";
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, QString("found %1 labels").arg(controller->maxLabel));
    EXPECT_EQ(script.notices[0].msec, 3000);
    EXPECT_GE(controller->maxLabel, 2);

    // One label per blob, different from each other and from the
    // background.
    const float a = pixels(out)[7 * 40 + 8], b = pixels(out)[20 * 40 + 25];
    EXPECT_GT(a, 0.0f);
    EXPECT_GT(b, 0.0f);
    EXPECT_NE(a, b);
    for (int i = 0; i < 1200; ++i) {
        const int r = i / 40, c = i % 40;
        if (r == 0 || c == 0) continue;
        const float v = blobs(i);
        EXPECT_EQ(pixels(out)[i], v == 100.0f ? a : v == 200.0f ? b : 0.0f) << r << "," << c;
    }
    // The same as the library with the form's defaults.
    expectLibraryLabels(in, out, 2.0f);
}

TEST_F(ZVekOpRoads, LabellingRangeRules) {
    // 0.5 lies below 1.0; 255.5 lies inside 1.0 .. 256.0 but above 255.
    ZVEKHDR *in = floatImage({2, 30, 20}, [](int i) {
        const int r = i / 30, c = i % 30;
        return c < 10 ? 0.5f : (r < 10 ? 255.5f : 50.0f);
    });
    ZVEKHDR *out = floatImage({2, 30, 20});
    script.typeIntoForm({{1, "0"}, {2, "0.0"}});
    EXPECT_TRUE(op->unary(13, in, out));
    ZVEKHDR *ref = floatImage({2, 30, 20}), *narrow = floatImage({2, 30, 20});
    int count = 0;
    ASSERT_EQ(cclC4_2(in, 1, 0, &count, "", ref, 2.0f, 1.0f, 256.0f), 0);
    EXPECT_TRUE(sameData(out, ref));
    ASSERT_EQ(cclC4_2(in, 1, 0, &count, "", narrow, 2.0f, 10.0f, 255.0f), 0);
    EXPECT_FALSE(sameData(out, narrow));

    // Letters read as 0 as well.
    ZVEKHDR *out2 = floatImage({2, 30, 20});
    script.typeIntoForm({{1, "abc"}, {2, ""}});
    EXPECT_TRUE(op->unary(13, in, out2));
    EXPECT_TRUE(sameData(out2, ref));

    // A minimum above the maximum is refused with its notice.
    script.notices.clear();
    ZVEKHDR *out3 = floatImage({2, 30, 20}, [](int i) { return float(i); });
    const std::vector<float> before = snapshot(out3);
    script.typeIntoForm({{1, "20"}, {2, "10"}});
    EXPECT_FALSE(op->unary(13, in, out3));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "Maxvalue and Minvalue don't make sense. Returning...");
    EXPECT_EQ(script.notices[0].msec, 2000);
    EXPECT_EQ(snapshot(out3), before);
}

TEST_F(ZVekOpRoads, LabellingAreasFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + "/areas.txt";
    ZVEKHDR *in = floatImage({2, 40, 30}, blobs);
    ZVEKHDR *out = floatImage({2, 40, 30});
    script.typeIntoForm({{5, path}});
    {
        StdoutCapture capture;
        EXPECT_TRUE(op->unary(13, in, out));
        const std::string printed = capture.text();
        EXPECT_NE(printed.find("1: " + path.toStdString() + "\n "), std::string::npos) << printed;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    // One line per label 0 .. count; the two blobs have 48 and 128 pixels.
    EXPECT_EQ(lines.size(), controller->maxLabel + 1);
    EXPECT_TRUE(lines.contains(QString("%1 48").arg(int(pixels(out)[7 * 40 + 8]))));
    EXPECT_TRUE(lines.contains(QString("%1 128").arg(int(pixels(out)[20 * 40 + 25]))));

    // A file that cannot be written.
    script.notices.clear();
    ZVEKHDR *out2 = floatImage({2, 40, 30});
    script.typeIntoForm({{5, dir.path() + "/no/such/dir/areas.txt"}});
    EXPECT_FALSE(op->unary(13, in, out2));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "Unable to access specifed list of areas file");
    EXPECT_EQ(script.notices[0].msec, 3000);

    // A name longer than 255 bytes is refused before anything runs.
    script.notices.clear();
    ZVEKHDR *out3 = floatImage({2, 40, 30}, [](int) { return 3.0f; });
    script.typeIntoForm({{5, dir.path() + "/" + QString(300, 'a')}});
    StdoutCapture capture;
    EXPECT_FALSE(op->unary(13, in, out3));
    EXPECT_EQ(capture.text().find("1: "), std::string::npos);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "The filename of areas is longer than 255 bytes. Returning...");
    EXPECT_TRUE(script.notices.empty());
    for (int i = 0; i < 1200; ++i) ASSERT_EQ(pixels(out3)[i], 3.0f);
}

TEST_F(ZVekOpRoads, LabellingTooManyLabels) {
    // Every pixel differs from its upper, left and upper-left neighbours by
    // more than the threshold: one label per pixel, far beyond the limit.
    ZVEKHDR *in = floatImage({2, 1000, 1000}, [](int i) {
        const int r = i / 1000, c = i % 1000;
        return 10.0f + float((r % 2) * 2 + (c % 2)) * 20.0f;
    });
    ZVEKHDR *out = floatImage({2, 1000, 1000});
    controller->maxLabel = 77;
    script.typeIntoForm({{3, "0"}});
    EXPECT_FALSE(op->unary(13, in, out));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "Image too big for this program: 77 labels");
    EXPECT_EQ(script.notices[0].msec, 5000);
}

TEST_F(ZVekOpRoads, LabellingColourWarnsAndWaits) {
    ZVEKHDR *in = floatImage({3, 20, 20, 3}, [](int i) { return float(i % 50); });
    ZVEKHDR *out = floatImage({3, 20, 20, 3});
    QElapsedTimer timer;
    timer.start();
    qint64 formShownAt = -1;
    script.formAnswers.push_back(std::nullopt);
    bool timerFired = false;
    QTimer::singleShot(200, [&]() { timerFired = true; });
    EXPECT_FALSE(op->unary(13, in, out));
    formShownAt = timer.elapsed();
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text,
              "CCL only works on grayscale images. Using it on a color image will produce strange results.");
    EXPECT_EQ(script.notices[0].msec, 3000);
    ASSERT_EQ(script.forms.size(), 1u);
    EXPECT_GE(formShownAt, 2000);
    EXPECT_LT(formShownAt, 4000);
    EXPECT_TRUE(timerFired) << "events are processed during the wait";
}

// The toolkit's own form, filled in through its line edits.
TEST_F(ZVekOpRoads, LabellingRealForm) {
    ZVekUi::install(nullptr);
    ZVEKHDR *in = floatImage({2, 40, 30}, blobs);
    ZVEKHDR *out = floatImage({2, 40, 30});
    bool seen = false;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        auto *form = qobject_cast<QFormLayout *>(dialog->layout());
        ASSERT_NE(form, nullptr);
        ASSERT_EQ(form->rowCount(), 8);
        auto *heading = qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::SpanningRole)->widget());
        ASSERT_NE(heading, nullptr);
        EXPECT_EQ(heading->text(), "Parameters for CCL.");
        std::vector<QLineEdit *> edits;
        for (int row = 1; row <= 6; ++row) {
            auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            auto *edit = qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
            ASSERT_TRUE(label && edit);
            EXPECT_EQ(label->text(), kCclLabels[row - 1]);
            EXPECT_EQ(edit->text(), kCclDefaults[row - 1]);
            edits.push_back(edit);
        }
        edits[0]->setText("0.5");
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        ASSERT_NE(buttons, nullptr);
        buttons->button(QDialogButtonBox::Ok)->click();
    });
    op->unary(13, in, out);
    EXPECT_TRUE(seen);
    expectLibraryLabels(in, out, 0.5f);
}

TEST_F(ZVekOpRoads, HistogramEqualisation) {
    ZVEKHDR *in = floatImage({2, 50, 40}, [](int i) { return float((i * 7919) % 1000) * 0.1f; });
    ZVEKHDR *out = floatImage({2, 50, 40});
    EXPECT_TRUE(op->unary(15, in, out));
    ASSERT_EQ(script.notices.size(), 1u);
    EXPECT_EQ(script.notices[0].text, "This function takes a while on large images.\n");
    EXPECT_EQ(script.notices[0].title, "message");
    EXPECT_EQ(script.notices[0].msec, 2000);
    EXPECT_TRUE(script.messages.empty());
    ZVEKHDR *ref = floatImage({2, 50, 40});
    ASSERT_EQ(flHistogramEq(in, ref, 0), 0);
    EXPECT_TRUE(sameData(out, ref));
    // Equalised onto 0..255: the smallest value lands lowest, the largest
    // near 255, and the order of values is kept.
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < 2000; ++i) {
        lo = std::min(lo, pixels(out)[i]);
        hi = std::max(hi, pixels(out)[i]);
    }
    EXPECT_GE(lo, 0.0f);
    EXPECT_NEAR(hi, 255.0f, 0.5f);
    for (int i = 1; i < 2000; ++i) {
        if (pixels(in)[i] > pixels(in)[0]) {
            EXPECT_GE(pixels(out)[i], pixels(out)[0]);
        }
    }
}

// A pseudo-colour dialog: title, label, default 0, range 0 .. max, step 1.
void expectIntDialog(const ScriptUi::IntAsk &a, const char *label, int max) {
    EXPECT_EQ(a.title, "Pseudocolor");
    EXPECT_EQ(a.label, label);
    EXPECT_EQ(a.value, 0);
    EXPECT_EQ(a.min, 0);
    EXPECT_EQ(a.max, max);
    EXPECT_EQ(a.step, 1);
}

TEST_F(ZVekOpRoads, PseudoColourDialogs) {
    ZVEKHDR *flat = floatImage({2, 16, 8}, [](int i) { return float(i); });
    ZVEKHDR *colour = floatImage({3, 16, 8, 3}, [](int i) { return float(i % 97); });
    ZVEKHDR *out = floatImage({3, 16, 8, 3}, [](int) { return 5.0f; });
    const std::vector<float> before = snapshot(out);

    script.intAnswers = {std::nullopt};
    EXPECT_FALSE(op->unary(18, flat, out));
    ASSERT_EQ(script.ints.size(), 1u);
    EXPECT_EQ(script.ints[0].parent, mw);
    expectIntDialog(script.ints[0], "Color map number", 6);

    script.ints.clear();
    script.intAnswers = {2, std::nullopt};
    EXPECT_FALSE(op->unary(18, colour, out));
    ASSERT_EQ(script.ints.size(), 2u);
    expectIntDialog(script.ints[1], "Input Frame No", 2);
    EXPECT_EQ(snapshot(out), before);
    EXPECT_TRUE(script.messages.empty());

    // A frame the image does not have is refused with a message.
    ZVEKHDR *twoFrames = floatImage({3, 16, 8, 2});
    script.intAnswers = {0, 2};
    EXPECT_FALSE(op->unary(18, twoFrames, out));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0], "Pseudocolor: frame 2 of the input image cannot be read.");
    EXPECT_EQ(snapshot(out), before);
}

// The library's road for maps 0 to 5: bytes, colour map, conversion.
ZVEKHDR *libraryColours(ZVEKHDR *plane, int map) {
    const int32_t cols = Zvekdimen(plane, 0), rows = Zvekdimen(plane, 1);
    const int32_t d2[3] = {2, cols, rows}, d3[4] = {3, cols, rows, 3};
    ZVEKHDR *a = Zvekcreate("u8bit", d2, 11, 0), *b = Zvekcreate("u8bit", d3, 11, 0);
    ZVEKHDR *out = Zvekcreate("float", d3, 11, 0);
    float mn, mx;
    Zvekvidscale(plane, a, &mn, &mx, 0);
    Zvekcolormap(a, b, map);
    Zvekany2any(b, out);
    Zvekfree(a, 7);
    Zvekfree(b, 7);
    return out;
}

TEST_F(ZVekOpRoads, PseudoColourLibraryMaps) {
    // Gray map on a ramp: the three frames agree, from 0 to 255.
    ZVEKHDR *ramp = floatImage({2, 16, 8}, [](int i) { return 10.0f + 2.0f * float(i); });
    ZVEKHDR *out = floatImage({3, 16, 8, 3});
    script.intAnswers = {0};
    EXPECT_TRUE(op->unary(18, ramp, out));
    const float *p = pixels(out);
    EXPECT_EQ(p[0], 0.0f);
    EXPECT_EQ(p[127], 255.0f);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(p[i], p[128 + i]);
        EXPECT_EQ(p[i], p[256 + i]);
        if (i > 0) {
            EXPECT_GE(p[i], p[i - 1]);
        }
    }
    ZVEKHDR *ref = keep(libraryColours(ramp, 0));
    EXPECT_TRUE(sameData(out, ref));

    // Map 3 on frame 1 of a colour image: the frame as the library slices it.
    ZVEKHDR *colour = floatImage({3, 16, 8, 3}, [](int i) { return float((i * 31) % 211); });
    ZVEKHDR *out2 = floatImage({3, 16, 8, 3});
    script.intAnswers = {3, 1};
    EXPECT_TRUE(op->unary(18, colour, out2));
    ZVEKHDR *slice = keep(Zvekslice(colour, "f", 1));
    ASSERT_NE(slice, nullptr);
    ZVEKHDR *ref2 = keep(libraryColours(slice, 3));
    EXPECT_TRUE(sameData(out2, ref2));
    EXPECT_FALSE(sameData(out2, keep(libraryColours(slice, 2))));
}

// The toolkit's own integer dialog: a two-dimensional input asks for the
// map only.
TEST_F(ZVekOpRoads, PseudoColourRealDialog) {
    ZVekUi::install(nullptr);
    ZVEKHDR *ramp = floatImage({2, 16, 8}, [](int i) { return float(i); });
    ZVEKHDR *out = floatImage({3, 16, 8, 3});
    int dialogs = 0;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        ++dialogs;
        EXPECT_EQ(dialog->parentWidget(), mw);
        EXPECT_EQ(dialog->windowTitle(), "Pseudocolor");
        EXPECT_EQ(dialog->labelText(), "Color map number");
        EXPECT_EQ(dialog->intValue(), 0);
        EXPECT_EQ(dialog->intMinimum(), 0);
        EXPECT_EQ(dialog->intMaximum(), 6);
        EXPECT_EQ(dialog->intStep(), 1);
        dialog->setIntValue(9);  // beyond the range: held at 6
        EXPECT_EQ(dialog->intValue(), 6);
        dialog->setIntValue(1);
        dialog->accept();
    });
    EXPECT_TRUE(op->unary(18, ramp, out));
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(sameData(out, keep(libraryColours(ramp, 1))));
}

TEST_F(ZVekOpRoads, RandomColourMap) {
    // Labels 0 .. 6 and -1 across a 9 x 7 image; n = 5 colours labels 2..4.
    const int labelsAt[] = {0, 1, 2, 3, 4, 5, 6, -1};
    ZVEKHDR *labels = floatImage({2, 9, 7}, [&](int i) { return float(labelsAt[i % 8]); });
    ZVEKHDR *out = floatImage({3, 9, 7, 3}, [](int) { return 7.0f; });
    controller->maxLabel = 5;

    // The expected table, drawn from the same generator state.
    Zveksrand48(4242);
    const int n = 5;
    std::vector<int> table(3 * n, -1);
    for (int k = 2; k < 3 * n; ++k) table[k] = int(Zvekdrand48() * 255.0);
    const double next = Zvekdrand48();

    Zveksrand48(4242);
    script.intAnswers = {6};
    StdoutCapture capture;
    EXPECT_TRUE(op->unary(18, labels, out));
    EXPECT_EQ(capture.text(), "processing a random color map");
    EXPECT_EQ(Zvekdrand48(), next) << "the generator moved on by 3n - 2 values";

    const float *p = pixels(out);
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 9; ++c) {
            const int i = r * 9 + c;
            const int v = labelsAt[i % 8];
            for (int f = 0; f < 3; ++f) {
                float want;
                if (r == 0 || c == 0)
                    want = 7.0f;  // never written
                else if (v >= 2 && v < n)
                    want = float(table[v + f * n]);
                else
                    want = 0.0f;
                EXPECT_EQ(p[f * 63 + i], want) << "r " << r << " c " << c << " f " << f << " label " << v;
            }
        }

    // Without a count every label is black; an output without the colour
    // frames is not written.
    ZVEKHDR *out2 = floatImage({3, 9, 7, 3}, [](int) { return 7.0f; });
    ZVekOp::colormap6(labels, out2, 0);
    for (int r = 1; r < 7; ++r)
        for (int c = 1; c < 9; ++c)
            for (int f = 0; f < 3; ++f) EXPECT_EQ(pixels(out2)[f * 63 + r * 9 + c], 0.0f);
    ZVEKHDR *flat = floatImage({2, 9, 7}, [](int) { return 7.0f; });
    ZVekOp::colormap6(labels, flat, 5);
    for (int i = 0; i < 63; ++i) EXPECT_EQ(pixels(flat)[i], 7.0f);
    // A smaller output gets the part both cover.
    ZVEKHDR *small = floatImage({3, 4, 3, 3}, [](int) { return 7.0f; });
    ZVekOp::colormap6(labels, small, 1000);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(pixels(small)[c], 7.0f);
    EXPECT_NE(pixels(small)[1 * 4 + 1], 7.0f);
}

// The 2-D DFT in double, straight from its sum; sign -1 forward.
std::vector<cd> dft(const std::vector<cd> &x, int n, int sign) {
    std::vector<cd> y(size_t(n) * n);
    for (int u = 0; u < n; ++u)
        for (int v = 0; v < n; ++v) {
            cd s = 0;
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c) {
                    const double a = sign * 2.0 * M_PI * double((u * r + v * c) % n) / n;
                    s += x[size_t(r) * n + c] * cd(std::cos(a), std::sin(a));
                }
            y[size_t(u) * n + v] = s;
        }
    return y;
}

TEST_F(ZVekOpRoads, FourierRefusals) {
    struct Case {
        std::vector<int32_t> dims;
        const char *text;
    };
    const std::vector<Case> cases = {
        {{2, 100, 100}, "FFT:Image dimensions must be a power of 2"},
        {{2, 128, 64}, "FFT:Image must be square"},
    };
    for (const Case &c : cases) {
        ZVEKHDR *in = floatImage(c.dims, [](int i) { return float(i % 13); });
        ZVEKHDR *out = typedImage("32cmp", c.dims);
        pixels(out)[0] = 42.0f;
        const std::vector<float> before = snapshot(out);
        for (int code : {33, 34}) {
            script.messages.clear();
            EXPECT_FALSE(op->unary(code, in, out));
            ASSERT_EQ(script.messages.size(), 1u);
            EXPECT_EQ(script.messages[0], c.text);
            EXPECT_EQ(snapshot(out), before);
        }
    }
}

TEST_F(ZVekOpRoads, FourierTransforms) {
    const int n = 16;
    auto value = [](int i) { return float((i * 37) % 23) - 7.5f; };
    ZVEKHDR *in = floatImage({2, n, n}, value);
    ZVEKHDR *spectrum = typedImage("32cmp", {2, n, n});
    EXPECT_TRUE(op->unary(33, in, spectrum));
    EXPECT_TRUE(script.messages.empty());
    std::vector<cd> x(n * n);
    for (int i = 0; i < n * n; ++i) x[i] = value(i);
    const std::vector<cd> want = dft(x, n, -1);
    for (int i = 0; i < n * n; ++i) {
        EXPECT_NEAR(pixels(spectrum)[2 * i], want[i].real(), 1e-2) << i;
        EXPECT_NEAR(pixels(spectrum)[2 * i + 1], want[i].imag(), 1e-2) << i;
    }
    // The inverse brings the image back.
    ZVEKHDR *back = typedImage("32cmp", {2, n, n});
    EXPECT_TRUE(op->unary(34, spectrum, back));
    for (int i = 0; i < n * n; ++i) {
        EXPECT_NEAR(pixels(back)[2 * i], value(i), 1e-4) << i;
        EXPECT_NEAR(pixels(back)[2 * i + 1], 0.0, 1e-4) << i;
    }
    // A complex input is transformed as it stands.
    ZVEKHDR *again = typedImage("32cmp", {2, n, n});
    EXPECT_TRUE(op->unary(33, back, again));
    for (int i = 0; i < 2 * n * n; ++i) EXPECT_NEAR(pixels(again)[i], pixels(spectrum)[i], 1e-2) << i;

    // A colour image: the first frame's transform in the first plane.
    ZVEKHDR *colour = floatImage({3, n, n, 3}, [&](int i) { return i < n * n ? value(i) : 99.0f; });
    ZVEKHDR *colourOut = typedImage("32cmp", {3, n, n, 3});
    EXPECT_TRUE(op->unary(33, colour, colourOut));
    for (int i = 0; i < 2 * n * n; ++i) EXPECT_EQ(pixels(colourOut)[i], pixels(spectrum)[i]) << i;
    for (int i = 2 * n * n; i < 6 * n * n; ++i) ASSERT_EQ(pixels(colourOut)[i], 0.0f) << i;

    // An output that is not complex keeps what it held.
    ZVEKHDR *flt = floatImage({2, n, n}, [](int) { return 3.0f; });
    EXPECT_FALSE(op->unary(33, in, flt));
    for (int i = 0; i < n * n; ++i) ASSERT_EQ(pixels(flt)[i], 3.0f);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(ZVekOpRoads, DelayWaitsTwoSecondsProcessingEvents) {
    int fired = 0;
    QTimer::singleShot(100, [&]() { ++fired; });
    QTimer::singleShot(1500, [&]() { ++fired; });
    QElapsedTimer timer;
    timer.start();
    ZVekOp::delay();
    const qint64 took = timer.elapsed();
    EXPECT_GE(took, 2000);
    EXPECT_LT(took, 2500);
    EXPECT_EQ(fired, 2);
}

}  // namespace
