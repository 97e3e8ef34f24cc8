// Labelling, pseudo-colour and the random colour map driven through the
// control panel: colour images of any frame count, the wait of the
// labelling road, and random maps whose label count is very large.
#include <QApplication>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <climits>
#include <cstdint>

#include "gui_commands_fixture.h"

// The toolkit's own shortcut dispatch for a key press (what a key typed
// into the active window goes through first).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false,
                                               ushort count = 1);

namespace {

// The generator value of a table entry as a colour: truncated value x 255.
int colourOf(double value) { return int(value * 255.0); }

// The random map's colours, drawn one by one from the generator as it stood:
// entries 2 .. 3n - 1 of the table.
std::vector<unsigned char> drawTable(int n) {
    std::vector<unsigned char> table(size_t(3) * n, 0);
    for (size_t k = 2; k < table.size(); ++k) table[k] = static_cast<unsigned char>(colourOf(Zvekdrand48()));
    return table;
}

// The 48-bit generator state as one number (reading it sets it again).
uint64_t generatorState() {
    unsigned short probe[3] = {0, 0, 0};
    const unsigned short *was = Zvekseed48(probe);
    unsigned short keep[3] = {was[0], was[1], was[2]};
    Zvekseed48(keep);
    return uint64_t(keep[0]) | uint64_t(keep[1]) << 16 | uint64_t(keep[2]) << 32;
}

}  // namespace

TEST_F(CommandTest, PseudoColourOfImagesWithTwoOrFourFrames) {
    // Frame f holds f * 100 + a ramp.
    auto frames = [](int i) { return float((i / 30) * 100 + (i % 30) * 3); };
    for (int count : {2, 4}) {
        SCOPED_TRACE(count);
        put(0, makeFloat({3, 6, 5, count}, frames));
        select(0, 0, 1);
        user.intAnswers = {0, 1};  // gray map, frame 1
        press(mw->cmapButton);
        ASSERT_EQ(user.ints.size(), 2u);
        EXPECT_EQ(user.ints[1].label, "Input Frame No");
        ASSERT_NE(slot(1), nullptr);
        EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 6, 5, 3}));
        // The gray map of frame 1: its ramp 100 .. 187 scaled onto 0 .. 255,
        // the same in all three colour frames.
        for (int i = 0; i < 30; ++i) {
            const float byte = pixels(slot(1))[i];
            EXPECT_NEAR(byte, (i * 3) * 255.0 / 87.0, 1.0) << i;
            EXPECT_EQ(pixels(slot(1))[30 + i], byte);
            EXPECT_EQ(pixels(slot(1))[60 + i], byte);
        }
        EXPECT_TRUE(user.messages.empty());
        user.ints.clear();
    }

    // The random map on frame 0 of a two-frame label image, labels 0 .. 5.
    put(0, makeFloat({3, 6, 5, 2}, [](int i) { return float(i % 6); }));
    select(0, 0, 0);
    controller->maxLabel = 4;
    Zveksrand48(99);
    const std::vector<unsigned char> table = drawTable(4);
    Zveksrand48(99);
    user.intAnswers = {6, 0};
    press(mw->cmapButton);
    ASSERT_EQ(dimsOf(slot(0)), (std::vector<int32_t>{3, 6, 5, 3}));
    for (int r = 1; r < 5; ++r)
        for (int c = 1; c < 6; ++c) {
            const int v = (r * 6 + c) % 6;
            for (int f = 0; f < 3; ++f) {
                const float want = v >= 2 && v < 4 ? float(table[size_t(v + f * 4)]) : 0.0f;
                EXPECT_EQ(pixels(slot(0))[f * 30 + r * 6 + c], want) << r << "," << c << " frame " << f;
            }
        }
}

TEST_F(CommandTest, RandomColourMapOfAVeryLargeLabelCount) {
    // Two million labels: every entry drawn one by one as the reference.
    const int n = 2000000;
    const int labelsAt[] = {0, 1, 2, 3, 1999999, 1000000, 777777, n, n + 5, -4, 3, 64, 130};
    ZVEKHDR *labels = keep(makeFloat({2, 7, 5}, [&](int i) { return float(labelsAt[i % 13]); }));
    Zveksrand48(12345);
    const std::vector<unsigned char> table = drawTable(n);
    const uint64_t after = generatorState();
    Zveksrand48(12345);
    ZVEKHDR *out = blank("float", {3, 7, 5, 3});
    ZVekOp::colormap6(labels, out, n);
    EXPECT_EQ(generatorState(), after) << "the generator moves on by 3n - 2 values";
    for (int r = 1; r < 5; ++r)
        for (int c = 1; c < 7; ++c) {
            const int v = labelsAt[(r * 7 + c) % 13];
            for (int f = 0; f < 3; ++f) {
                const float want = v >= 2 && v < n ? float(table[size_t(v) + size_t(f) * n]) : 0.0f;
                ASSERT_EQ(pixels(out)[f * 35 + r * 7 + c], want) << "label " << v << " frame " << f;
            }
        }

    // The largest count there is: the last entry of the table is the last
    // value drawn, the first entries the first ones.
    const int big = INT_MAX;
    ZVEKHDR *few =
        keep(makeFloat({2, 3, 3}, [&](int i) { return i == 4 ? float(big - 1) : i == 8 ? 2.0f : 0.0f; }));
    ZVEKHDR *out2 = blank("float", {3, 3, 3, 3});
    Zveksrand48(7);
    const int red2 = colourOf(Zvekdrand48());
    Zveksrand48(7);
    ZVekOp::colormap6(few, out2, big);
    const uint64_t last = generatorState();
    EXPECT_EQ(pixels(out2)[8], float(red2));
    // Label big - 1 is stored as the float 2^31, which reads as the largest
    // int: no colour.
    EXPECT_EQ(pixels(out2)[4], 0.0f);
    ZVEKHDR *few2 = keep(makeFloat({2, 3, 3}, [&](int i) { return i == 4 ? float(1 << 30) : 0.0f; }));
    Zveksrand48(7);
    ZVekOp::colormap6(few2, out2, (1 << 30) + 1);
    EXPECT_EQ(pixels(out2)[18 + 4], float(colourOf(double(generatorState()) / 281474976710656.0)))
        << "blue of the highest label is the last value drawn";
    EXPECT_NE(generatorState(), last);
}

TEST_F(CommandTest, LabellingWaitTakesNoInputFromTheControlPanel) {
    // Something in the clipboard, so that Paste is on.
    put(2, makeFloat({2, 4, 4}, [](int) { return 9.0f; }));
    select(2, 2, 2);
    mw->copyAct->trigger();
    ASSERT_TRUE(mw->pasteAct->isEnabled());

    auto squares = [](int i) { return (i % 400) / 20 > 4 && (i % 20) > 4 ? 120.0f : 20.0f; };
    put(0, makeFloat({3, 20, 20, 3}, squares));
    select(0, 0, 1);
    put(1, makeFloat({2, 3, 3}));
    mw->updateAccessability();
    mw->viewAct->trigger();
    QWidget *view = mw->childWindow(1);
    ASSERT_NE(view, nullptr);
    QApplication::setActiveWindow(mw);

    bool checked = false;
    QTimer::singleShot(700, [&]() {
        checked = true;
        EXPECT_FALSE(mw->menuBar()->isEnabled());
        for (QToolBar *bar : mw->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
            EXPECT_FALSE(bar->isEnabled());
        EXPECT_TRUE(view->isEnabled()) << "the view window stays responsive";
        // A click on the slot rows and the Paste key do nothing now.
        mw->input1Radios[3]->click();
        EXPECT_TRUE(mw->input1Radios[0]->isChecked());
        EXPECT_FALSE(mw->cclButton->isEnabled());
        QApplication::setActiveWindow(mw);
        qt_sendShortcutOverrideEvent(mw, 0, Qt::Key_V, Qt::ControlModifier, "v");
        EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 3, 3}));
    });
    user.typeIntoForm({});
    press(mw->cclButton);
    EXPECT_TRUE(checked);
    ASSERT_EQ(user.notices.size(), 2u);
    EXPECT_EQ(user.notices[1].text, QString("found %1 labels").arg(controller->maxLabel));

    // The labels are the library's for the colour image.
    ZVEKHDR *source = keep(makeFloat({3, 20, 20, 3}, squares));
    ZVEKHDR *want = blank("float", {3, 20, 20, 3});
    int count = 0;
    ASSERT_EQ(cclC4_2(source, 1, 0, &count, "", want, 2.0f, 10.0f, 255.0f), 0);
    EXPECT_EQ(count, controller->maxLabel);
    EXPECT_TRUE(near(slot(1), want, 0.0));
    // Afterwards the panel takes input again.
    EXPECT_TRUE(mw->menuBar()->isEnabled());
    for (QToolBar *bar : mw->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(bar->isEnabled());
    EXPECT_TRUE(mw->cclButton->isEnabled());
    EXPECT_TRUE(mw->input1Radios[3]->isEnabled());
    // ...and the Paste key pastes.
    QApplication::setActiveWindow(mw);
    EXPECT_TRUE(qt_sendShortcutOverrideEvent(mw, 0, Qt::Key_V, Qt::ControlModifier, "v"));
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 4, 4}));
}

namespace {
void *noMemory(size_t, size_t) { return nullptr; }
}  // namespace

TEST_F(CommandTest, TwoImageResultThatCannotBeMadeIsTold) {
    put(0, makeFloat({2, 6, 6}, [](int i) { return float(i); }));
    put(1, makeFloat({2, 6, 6}, [](int i) { return float(2 * i); }));
    put(2, makeFloat({2, 3, 3}, [](int i) { return float(-i); }));
    const std::vector<ZVEKHDR *> before(controller->images, controller->images + 8);
    const std::vector<float> kept = snapshot(slot(2));
    auto *saved = Zvek_alcptr;
    testing::internal::CaptureStderr();
    Zvek_alcptr = noMemory;
    select(0, 1, 2);
    press(mw->addButton);
    select(0, 1, 0);
    press(mw->correlateButton);
    press(mw->gdirButton);
    Zvek_alcptr = saved;
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(user.messages.size(), 3u);
    for (const QString &m : user.messages) EXPECT_EQ(m, "Cannot make the result image.");
    EXPECT_TRUE(user.forms.empty()) << "no translation is asked";
    EXPECT_TRUE(user.notices.empty());
    EXPECT_EQ(std::vector<ZVEKHDR *>(controller->images, controller->images + 8), before);
    EXPECT_EQ(snapshot(slot(2)), kept);
    EXPECT_TRUE(mw->addButton->isEnabled());
}

TEST_F(CommandTest, RandomMapAfterLabellingUsesTheLabelCount) {
    // Four blocks of different grey on a ground too dark to be labelled.
    auto blocks = [](int i) {
        const int r = i / 24, c = i % 24;
        if (r >= 3 && r < 9 && c >= 3 && c < 9) return 60.0f;
        if (r >= 3 && r < 9 && c >= 14 && c < 20) return 120.0f;
        if (r >= 12 && r < 18 && c >= 5 && c < 11) return 200.0f;
        if (r >= 12 && r < 18 && c >= 14 && c < 20) return 160.0f;
        return 0.0f;
    };
    put(0, makeFloat({2, 24, 20}, blocks));
    select(0, 0, 1);
    user.typeIntoForm({});
    press(mw->cclButton);
    const int count = controller->maxLabel;
    ASSERT_EQ(user.notices.size(), 1u);
    EXPECT_EQ(user.notices[0].text, QString("found %1 labels").arg(count));
    ASSERT_EQ(count, 4) << "one label per block";

    // The label image through the random map: labels 2 .. count - 1 take
    // their colours from the table of count entries; 0, 1 and count have
    // none and stay black.
    select(1, 1, 2);
    Zveksrand48(2024);
    const std::vector<unsigned char> table = drawTable(count);
    Zveksrand48(2024);
    user.intAnswers = {6};
    press(mw->cmapButton);
    ASSERT_NE(slot(2), nullptr);
    ASSERT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{3, 24, 20, 3}));
    const float *labels = pixels(slot(1));
    const float *rgb = pixels(slot(2));
    for (int i = 0; i < 480; ++i) {
        const int r = i / 24, c = i % 24;
        if (r == 0 || c == 0) continue;
        const int v = int(labels[i]);
        for (int f = 0; f < 3; ++f) {
            const float want = v >= 2 && v < count ? float(table[size_t(v + f * count)]) : 0.0f;
            ASSERT_EQ(rgb[f * 480 + i], want) << r << "," << c << " label " << v << " frame " << f;
        }
    }
    // Inside each block all pixels share one label and so one colour.
    for (int at : {5 * 24 + 5, 5 * 24 + 16, 15 * 24 + 7, 15 * 24 + 16}) {
        const float v = labels[at];
        for (int d : {1, 24, 25}) EXPECT_EQ(labels[at + d], v);
    }
}
