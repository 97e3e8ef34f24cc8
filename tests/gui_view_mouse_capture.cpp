// Tests of profile and histogram capture in the view window: the path drawn
// with the mouse, its red marks, and the curves of the plot windows that a
// release opens, against display values worked out by hand.
#include <QAction>
#include <qcustomplot.h>

#include "plotMainWindow.h"
#include "view_mouse_fixture.h"

namespace {

// Colour image of 4 x 2 pixels, 3 frames, values 2 v + 10 for the table v
// below: the data range is 10..520 (span 510) and the working copy holds v.
ZVEKHDR *spanImage() {
    static const float v[3][8] = {{0, 50, 100, 150, 200, 250, 255, 10},
                                  {20, 40, 60, 80, 100, 120, 140, 160},
                                  {255, 200, 128, 64, 32, 16, 8, 0}};
    return ViewMouseTest::makeFloat({3, 4, 2, 3}, [](int i) { return 2.0f * v[i / 8][i % 8] + 10.0f; });
}

QVector<double> curve(MainWindow *plot, int k) {
    QVector<double> v;
    QCPGraph *g = plot->plotWidget()->graph(k);
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) v << it->value;
    return v;
}

QVector<double> keys(MainWindow *plot) {
    QVector<double> v;
    QCPGraph *g = plot->plotWidget()->graph(0);
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) v << it->key;
    return v;
}

// 52 bins with the given counts.
QVector<double> bins(std::initializer_list<std::pair<int, double>> counts) {
    QVector<double> v(52, 0.0);
    for (auto c : counts) v[c.first] = c.second;
    return v;
}

QString xLabel(MainWindow *plot) { return plot->plotWidget()->xAxis->label(); }

}  // namespace

class CaptureTest : public ViewMouseTest {
protected:
    // The plot windows the view window has opened, oldest first.
    static QList<MainWindow *> plots(ZVektoolChildWindow *w) {
        return w->findChildren<MainWindow *>(QString(), Qt::FindDirectChildrenOnly);
    }

    // Offsets and contrast of the tests below: red offset -30, level 20,
    // window 200 (display value (w + offset - 20) x 255 / 200, bounded).
    static void adjust(ZVektoolChildWindow *w) {
        w->resetAct->trigger();
        w->windowSlider->setValue(200);
        w->levelSlider->setValue(20);
        w->redSlider->setValue(-30);
        ASSERT_EQ(w->levelSlider->value(), 20);
    }

    // A stroke over (1, 0), (2, 1) and (2, 1) again, released at (2, 1).
    static void stroke(ZVektoolChildWindow *w) {
        press(w, QPoint(0, 0));
        move(w, QPoint(1, 0));
        move(w, QPoint(2, 1));
        move(w, QPoint(2, 1));
        move(w, QPoint(9, 9));  // outside: not collected
        release(w, QPoint(2, 1));
    }
};

TEST_F(CaptureTest, ProfileGivesDisplayValuesInDataUnitsFromTheMinimum) {
    ZVektoolChildWindow *w = view(spanImage());
    ASSERT_NE(w, nullptr);
    adjust(w);
    w->profileAct->trigger();
    markClicks();
    markConsole();
    stroke(w);

    EXPECT_EQ(w->pathCols, QVector<int>({1, 2, 2}));
    EXPECT_EQ(w->pathRows, QVector<int>({0, 1, 1}));
    // The marks stay on the picture until the next redraw.
    const QImage shown = w->imageLabel->pixmap(Qt::ReturnByValue).toImage();
    EXPECT_EQ(shown.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_NE(shown.pixel(0, 0), qRgb(255, 0, 0));

    // The release moves the click positions but writes no read-out.
    expectClicks(-8, -8, 2, 1);
    EXPECT_EQ(newConsole(), QString());

    const QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 1);
    EXPECT_TRUE(p[0]->isVisible());
    EXPECT_EQ(xLabel(p[0]), "Data points");
    EXPECT_EQ(keys(p[0]), QVector<double>({0, 1, 2}));
    // Display values (span 510 doubles them, the minimum 10 is not added):
    // red 50 - 30 -> 0, 255 - 30 -> 261.375 -> 255; green 40 -> 25.5,
    // 140 -> 153; blue 200 -> 229.5, 8 -> 0.
    EXPECT_EQ(curve(p[0], 0), QVector<double>({0, 510, 510}));
    EXPECT_EQ(curve(p[0], 1), QVector<double>({51, 306, 306}));
    EXPECT_EQ(curve(p[0], 2), QVector<double>({459, 0, 0}));

    // A redraw removes the marks.
    w->level();
    EXPECT_NE(w->imageLabel->pixmap(Qt::ReturnByValue).toImage().pixel(1, 0), qRgb(255, 0, 0));
}

TEST_F(CaptureTest, HistogramCountsDisplayValuesInBinsOfFive) {
    ZVektoolChildWindow *w = view(spanImage());
    ASSERT_NE(w, nullptr);
    adjust(w);
    w->histogramAct->trigger();
    stroke(w);

    QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 1);
    EXPECT_EQ(xLabel(p[0]), "Histogram Bins");
    EXPECT_EQ(keys(p[0]).size(), 52);
    // red 0, 255, 255; green 25.5, 153, 153; blue 229.5, 0, 0.
    EXPECT_EQ(curve(p[0], 0), bins({{0, 1}, {51, 2}}));
    EXPECT_EQ(curve(p[0], 1), bins({{5, 1}, {30, 2}}));
    EXPECT_EQ(curve(p[0], 2), bins({{45, 1}, {0, 2}}));

    // Histogram capture alone: the press keeps the path, so a second stroke
    // adds to it: (0, 0) gives red 0, green 0 and blue 255 (299.625 bounded).
    press(w, QPoint(0, 0));
    move(w, QPoint(0, 0));
    release(w, QPoint(0, 0));
    p = plots(w);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(curve(p[1], 0), bins({{0, 2}, {51, 2}}));
    EXPECT_EQ(curve(p[1], 1), bins({{0, 1}, {5, 1}, {30, 2}}));
    EXPECT_EQ(curve(p[1], 2), bins({{45, 1}, {0, 2}, {51, 1}}));
}

TEST_F(CaptureTest, BothModesOpenProfileThenHistogram) {
    ZVektoolChildWindow *w = view(spanImage());
    ASSERT_NE(w, nullptr);
    adjust(w);
    w->profileAct->trigger();
    w->histogramAct->trigger();
    stroke(w);
    const QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(xLabel(p[0]), "Data points");
    EXPECT_EQ(xLabel(p[1]), "Histogram Bins");
    for (int k = 0; k < 3; ++k) {
        double sum = 0;
        for (double c : curve(p[1], k)) sum += c;
        EXPECT_EQ(sum, 3.0) << "channel " << k;
        EXPECT_EQ(curve(p[0], k).size(), 3);
    }

    // A click without movement: the press empties the path, the release
    // writes the read-out and opens nothing.
    markConsole();
    click(w, QPoint(3, 1));
    EXPECT_TRUE(w->pathCols.isEmpty());
    EXPECT_TRUE(newConsole().startsWith("\nModified: [1 , 3]")) << newConsole().toStdString();
    EXPECT_EQ(plots(w).size(), 2);

    // Switching both modes off: a stroke draws nothing and collects nothing.
    w->profileAct->trigger();
    w->histogramAct->trigger();
    move(w, QPoint(1, 1));
    EXPECT_TRUE(w->pathCols.isEmpty());
}

TEST_F(CaptureTest, GreyImageGivesThreeEqualChannels) {
    // Values 0..255 on 8 x 4: the working copy holds them. Bright +10 moves
    // the red offset to 10; level 0, window 128 as opened: the value 17 at
    // (1, 2) shows as 27 x 255 / 128 = 53.7890625, in a span of 255.
    ZVektoolChildWindow *w = view(makeFloat({2, 8, 4}, [](int i) {
        if (i == 10) return 17.0f;
        return i == 31 ? 255.0f : 0.0f;
    }));
    ASSERT_NE(w, nullptr);
    w->brightSlider->setValue(10);
    ASSERT_EQ(w->redSlider->value(), 10);
    w->profileAct->trigger();
    w->histogramAct->trigger();
    press(w, QPoint(2, 1));
    move(w, QPoint(2, 1));
    move(w, QPoint(7, 3));
    release(w, QPoint(7, 3));
    const QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 2);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(curve(p[0], k), QVector<double>({53.7890625, 255})) << k;
        EXPECT_EQ(curve(p[1], k), bins({{10, 1}, {51, 1}})) << k;
    }
}

TEST_F(CaptureTest, PlotsCloseWithTheirViewWindow) {
    ZVektoolChildWindow *w = view(spanImage());
    ASSERT_NE(w, nullptr);
    w->profileAct->trigger();
    stroke(w);
    ASSERT_EQ(plots(w).size(), 1);
    QPointer<MainWindow> plot = plots(w)[0];
    plot->close();
    EXPECT_FALSE(plot.isNull());  // closing only hides it
    w->close();
    pumpEvents(50);
    EXPECT_TRUE(plot.isNull());
}

TEST_F(CaptureTest, OnePixelPaths) {
    // Colour 1 x 1 of 10, 20, 30 (working copy 0, 127.5, 255, span 20) at
    // level 0, window 255: the profile is 0, 10 and 20, the histogram counts
    // bins 0, 25 and 51.
    ZVektoolChildWindow *w = view(makeFloat({3, 1, 1, 3}, [](int i) { return 10.0f * (i + 1); }));
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    w->profileAct->trigger();
    w->histogramAct->trigger();
    press(w, QPoint(0, 0));
    move(w, QPoint(0, 0));
    move(w, QPoint(2, 0));  // beside the image, in the picture's padding
    release(w, QPoint(0, 0));
    QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 2);
    EXPECT_EQ(curve(p[0], 0), QVector<double>({0}));
    EXPECT_EQ(curve(p[0], 1), QVector<double>({10}));
    EXPECT_EQ(curve(p[0], 2), QVector<double>({20}));
    EXPECT_EQ(curve(p[1], 0), bins({{0, 1}}));
    EXPECT_EQ(curve(p[1], 1), bins({{25, 1}}));
    EXPECT_EQ(curve(p[1], 2), bins({{51, 1}}));

    // A released stroke that ends beside the image opens nothing and keeps
    // the path for the next release.
    press(w, QPoint(0, 0));
    move(w, QPoint(0, 0));
    release(w, QPoint(1, 0));
    EXPECT_EQ(plots(w).size(), 2);
    EXPECT_EQ(w->pathCols, QVector<int>({0}));
}

TEST_F(CaptureTest, ThreeDimensionalImagesOfOneAndTwoFrames) {
    // Too few frames for colour: every channel is frame 0 with the red
    // offset, never a frame the image lacks. Values 0..255 (the working copy
    // holds them); pixel (1, 1) of frame 0 is 30.
    for (int frames : {1, 2}) {
        SCOPED_TRACE(frames);
        ZVektoolChildWindow *w = view(
            makeFloat({3, 2, 2, frames}, [](int i) { return i == 1 ? 255.0f : static_cast<float>(i * 10); }),
            frames);
        ASSERT_NE(w, nullptr);
        w->resetAct->trigger();
        w->profileAct->trigger();
        press(w, QPoint(1, 1));
        move(w, QPoint(1, 1));
        release(w, QPoint(1, 1));
        const QList<MainWindow *> p = plots(w);
        ASSERT_EQ(p.size(), 1);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(curve(p[0], k), QVector<double>({30})) << k;
        w->saveAct->trigger();
        EXPECT_EQ(static_cast<const float *>(controller->images[frames]->vekptr)[3], 30.0f);
    }
}

TEST_F(CaptureTest, OneDimensionalImageIsOneRow) {
    // A 1-D image of 6 values 0..255 is one grey row: read-out, capture and
    // write-back stay inside it.
    static const float v[6] = {0, 51, 102, 153, 204, 255};
    ZVektoolChildWindow *w = view(makeFloat({1, 6}, [](int i) { return v[i]; }));
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    markConsole();
    click(w, QPoint(2, 0));
    click(w, QPoint(2, 1));  // row 1 lies outside
    EXPECT_EQ(newConsole(), "\nModified: [0 , 2] \t  [Bright = 102]\nOriginal: [0 , 2] \t  [Bright = 102]");
    w->histogramAct->trigger();
    press(w, QPoint(0, 0));
    for (int x = 0; x < 8; ++x) move(w, QPoint(x, 0));
    release(w, QPoint(5, 0));
    const QList<MainWindow *> p = plots(w);
    ASSERT_EQ(p.size(), 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(curve(p[0], k), bins({{0, 1}, {10, 1}, {20, 1}, {30, 1}, {40, 1}, {51, 1}}));
    w->brightSlider->setValue(-51);
    w->saveAct->trigger();
    const float *data = static_cast<const float *>(controller->images[0]->vekptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data[i], std::max(0.0f, v[i] - 51.0f)) << i;
}
