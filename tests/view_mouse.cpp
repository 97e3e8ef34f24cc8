// The view window's mouse: image positions under zoom and scrolling, the
// controller's click positions, the console read-out, clicks that must do
// nothing, and the profile and histogram plots of a drawn path.
#include <QAction>
#include <QDockWidget>
#include <QScrollBar>
#include <qcustomplot.h>

#include "plotMainWindow.h"
#include "view_fixture.h"

namespace {

QString greyLines(int row, int col, const QString &modified, const QString &original) {
    return QString("\nModified: [%1 , %2] \t  [Bright = %3]\nOriginal: [%1 , %2] \t  [Bright = %4]").arg(row).arg(col).arg(modified,
                                                                                                                        original);
}
QString colourLine(const char *what, const char *rest) { return QString("\n%1: [1 , 2] \t  [Bright = %2").arg(what, rest); }

// Grey whose value tells the position: (3 column + 7 row) mod 256, 255 at 0.
ZVEKHDR *positionImage(int cols, int rows) {
    return ViewTest::makeFloat({2, cols, rows}, [cols](int i) { return i ? float((3 * (i % cols) + 7 * (i / cols)) % 256) : 255.0f; });
}
QVector<double> curve(MainWindow *plot, int k, bool keys = false) {
    QVector<double> v;
    for (auto it = plot->plotWidget()->graph(k)->data()->constBegin(); it != plot->plotWidget()->graph(k)->data()->constEnd(); ++it)
        v << (keys ? it->key : it->value);
    return v;
}
QVector<double> bins(std::initializer_list<std::pair<int, double>> counts) {  // 52 bins
    QVector<double> v(52, 0.0);
    for (auto c : counts) v[c.first] += c.second;
    return v;
}
QList<MainWindow *> plots(ZVektoolChildWindow *w) { return w->findChildren<MainWindow *>(QString(), Qt::FindDirectChildrenOnly); }

}  // namespace

TEST_F(ViewTest, GreyReadOutAndClickPositions) {
    // 100 x 10 of (c + r) % 100, but 17 at row 9 column 41, 64 at row 4 column 20, 255 at row 9 column 99 (the working copy).
    ZVektoolChildWindow *w = view(makeFloat({2, 100, 10}, [](int i) {
        const int r = i / 100, c = i % 100;
        return r == 9 && c == 41 ? 17.0f : r == 4 && c == 20 ? 64.0f : r == 9 && c == 99 ? 255.0f : float((c + r) % 100);
    }), 0, true);
    markClicks();
    // A control, the clicks, their read-out and the click positions after them (previous column, row, last column, row).
    struct Row { const char *name; std::function<void()> act; std::vector<QPoint> clicks; QString console; std::vector<int> positions; };
    const Row rows[] = {
        // Level 0, window 128 as opened: 17 shows as 17 x 255 / 128.
        {"as opened", [] {}, {{41, 9}}, greyLines(9, 41, "33.8672", "17"), {-8, -8, 41, 9}},
        {"scale 2", [&] { w->zoomSlider->setValue(20); }, {{41, 9}}, greyLines(4, 20, "127.5", "64"), {41, 9, 20, 4}},
        {"x -1 at scale 2 is column 0", [] {}, {{-1, 0}}, greyLines(0, 0, "0", "0"), {20, 4, 0, 0}},
        {"outside", [&] { w->zoomSlider->setValue(0); }, {{-1, 0}, {100, 3}, {5, 10}}, "", {20, 4, 0, 0}},
        {"last column", [] {}, {{99, 0}}, greyLines(0, 99, "197.227", "99"), {0, 0, 99, 0}},
        {"window 255", [&] { w->resetAct->trigger(); }, {{41, 9}}, greyLines(9, 41, "17", "17"), {99, 0, 41, 9}},
        {"bright 10", [&] { w->brightSlider->setValue(10); }, {{41, 9}}, greyLines(9, 41, "27", "17"), {41, 9, 41, 9}},
        {"window 0 at level 17", [&] { w->brightSlider->setValue(0), w->windowSlider->setValue(0), w->levelSlider->setValue(17); },
         {{41, 9}, {20, 4}, {16, 1}}, greyLines(9, 41, "0", "17") + greyLines(4, 20, "255", "64") + greyLines(1, 16, "0", "17"),
         {20, 4, 16, 1}},
        {"zoom -100: no area", [&] { w->zoomSlider->setValue(-100); }, {{0, 0}, {5, 5}}, "", {20, 4, 16, 1}},
        {"not registered", [&] { w->zoomSlider->setValue(0), mw->updateChildPtr(w, REMOVE_CHILD); }, {{41, 9}}, "", {20, 4, 16, 1}},
    };
    for (const Row &r : rows) {
        r.act(), markConsole();
        for (QPoint p : r.clicks) click(w, p);
        EXPECT_TRUE(newConsole() == r.console && clicks() == r.positions) << r.name << ": " << newConsole().toStdString();
    }
}

TEST_F(ViewTest, ReadOutOfOtherImages) {
    // Clicks after a reset and a control; unless given, the click positions are those of the first click.
    struct Row { const char *name; ZVEKHDR *image; std::vector<QPoint> clicks; QString console;
                 std::function<void(ZVektoolChildWindow *)> act = nullptr; std::vector<int> positions = {}; };
    // 10..265 in 3 or 4 frames, (row 1, column 2) 265, 150, 18: at window 255 the data come back; bright: root mean square.
    const QString original = colourLine("Original", "176.115]\t  [R = 265.00 , G = 150.00 , B =  18.00]");
    const QString plain = colourLine("Modified", "176.115]\t  [R = 265.00 , G = 150.00 , B =  18.00]") + original;
    // Red -100: 165; level 100, window 100: 140 -> 102, 8 -> 0, plus the 10.
    const QString red = colourLine("Modified", "129.163]\t  [R = 165.00 , G = 150.00 , B =  18.00]") + original;
    const QString contrast = colourLine("Modified", "166.202]\t  [R = 265.00 , G = 112.00 , B =  10.00]") + original;
    const Row rows[] = {
        {"3 frames", colourImage(3, 1, 10), {{2, 1}}, plain},
        {"red -100", colourImage(3, 1, 10), {{2, 1}}, red, [](auto *w) { w->redSlider->setValue(-100); }},
        {"level 100", colourImage(4, 1, 10), {{2, 1}}, contrast,
         [](auto *w) { w->windowSlider->setValue(100), w->levelSlider->setValue(100); }},
        // Other frame counts read grey from frame 0.
        {"2 frames", makeFloat({3, 4, 2, 2}, [](int i) { return float(i); }), {{2, 1}}, greyLines(1, 2, "6", "6")},
        {"5 frames", makeFloat({3, 4, 2, 5}, [](int i) { return float(i); }), {{2, 1}}, greyLines(1, 2, "6", "6")},
        // Six significant digits, general form.
        {"general form", makeFloat({2, 2, 2}, [](int i) { return i == 1 ? -0.000123f : 1234567.0f; }), {{0, 0}, {1, 0}},
         greyLines(0, 0, "1.23457e+06", "1.23457e+06") + greyLines(0, 1, "-0.000123", "-0.000123"), nullptr, {0, 0, 1, 0}},
        // The span of the extremes overflows a float: still numbers.
        {"float limits", makeFloat({2, 4, 1}, [](int i) { return std::vector<float>{-3e38f, 3e38f, 0, 1.5e38f}[i]; }),
         {{0, 0}, {2, 0}}, greyLines(0, 0, "-3e+38", "-3e+38") + greyLines(0, 2, "0", "0"), nullptr, {0, 0, 2, 0}},
        // One pixel, in a picture 4 wide: only column 0 is a pixel.
        {"grey 1 x 1", makeFloat({2, 1, 1}, [](int) { return 5.0f; }), {{0, 0}, {1, 0}, {0, 1}}, greyLines(0, 0, "5", "5")},
        {"1-D", makeFloat({1, 6}, [](int i) { return 51.0f * i; }), {{2, 0}, {2, 1}}, greyLines(0, 2, "102", "102")},
        // No working copy: the position is taken, nothing is read out.
        {"int", Zvekcreate("int", std::vector<int32_t>{2, 8, 4}.data(), 11, 0), {{3, 2}}, ""},
    };
    int slot = 0;
    for (const Row &r : rows) {
        ZVektoolChildWindow *w = view(r.image, slot++ % 8, true);
        w->resetAct->trigger(), markClicks(), markConsole();
        if (r.act) r.act(w);
        for (QPoint p : r.clicks) click(w, p);
        EXPECT_EQ(newConsole(), r.console) << r.name;
        EXPECT_EQ(clicks(), r.positions.empty() ? std::vector<int>({-8, -8, r.clicks[0].x(), r.clicks[0].y()}) : r.positions) << r.name;
    }
}

TEST_F(ViewTest, PositionsThroughScrollingAndBesideThePicture) {
    ZVektoolChildWindow *w = view(positionImage(2000, 1200));  // a window showing a part of it
    w->resetAct->trigger(), settle();
    // A press and release where a pointing device would deliver them: to the widget under the window position p.
    auto clickAt = [w](QPoint p) {
        QWidget *target = w->childAt(p) ? w->childAt(p) : w;
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, target->mapFrom(w, p), w->mapToGlobal(p), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(target, &e);
        }
    };
    // At scale 2 scrolled by (101, 61), viewport point (11, 7) is column (101 + 11) / 2 = 56, row (61 + 7) / 2 = 34: 406 mod 256.
    QScrollBar *h = w->scrollArea->horizontalScrollBar(), *v = w->scrollArea->verticalScrollBar();
    w->zoomSlider->setValue(20), settle(), h->setValue(101), v->setValue(61);
    ASSERT_TRUE(h->value() == 101 && v->value() == 61);
    markClicks(), markConsole(), clickAt(w->scrollArea->viewport()->mapTo(w, QPoint(11, 7)));
    EXPECT_EQ(newConsole(), greyLines(34, 56, "150", "150"));
    EXPECT_EQ(clicks(), std::vector<int>({-8, -8, 56, 34}));
    // Columns beyond the viewport lie behind the dock: a click on the dock, a caption or the toolbar is on no hidden pixel.
    h->setValue(0), v->setValue(0), w->zoomSlider->setValue(0);
    const QRect area = w->scrollArea->geometry();
    ASSERT_LT(w->imageLabel->mapFrom(w, QPoint(area.right() + 12, 0)).x(), 2000) << "the picture must reach under the dock";
    markClicks(), markConsole(), clickAt(QPoint(area.right() + 12, area.top() + 40));  // the dock's margin
    clickAt(w->brightLabel->mapTo(w, QPoint(3, 3)));
    clickAt(w->operationsDock->mapTo(w, QPoint(10, 5)));  // the dock's title
    w->zoomSlider->setValue(40);                           // scale 3: the toolbar lies above row 0
    clickAt(QPoint(area.left() + 20, area.top() - 4));
    EXPECT_TRUE(newConsole().isEmpty() && clicks() == std::vector<int>({-7, -7, -8, -8}));
    w->zoomSlider->setValue(0);
    const QPoint over(area.left() + 20, area.top() + 10), at = w->imageLabel->mapFrom(w, over);
    clickAt(over);  // over the picture they count
    EXPECT_EQ(clicks(), std::vector<int>({-8, -8, at.x(), at.y()}));
}

TEST_F(ViewTest, CapturePlots) {
    // Data 2 v + 10 (span 510), working copy v. Red offset -30, level 20, window 200: display (w + offset - 20) 255 / 200.
    auto adjust = [](auto *w) {
        w->resetAct->trigger(), w->windowSlider->setValue(200), w->levelSlider->setValue(20), w->redSlider->setValue(-30);
    };
    auto profile = [](auto *w) { w->resetAct->trigger(), w->profileAct->trigger(); };
    auto both = [](auto *w) { w->resetAct->trigger(), w->profileAct->trigger(), w->histogramAct->trigger(); };
    auto equal = [](QVector<double> v) { return std::vector<QVector<double>>{v, v, v}; };
    // Red 50 - 30 -> 0, 255 - 30 -> 255; green 40 -> 25.5, 140 -> 153; blue 200 -> 229.5, 8 -> 0: the profile doubles them
    // (span 510) without adding the minimum; bins of 5.
    const std::vector<QVector<double>> spanProfile = {{0, 510, 510}, {51, 306, 306}, {459, 0, 0}},
                                       spanBins = {bins({{0, 1}, {51, 2}}), bins({{5, 1}, {30, 2}}), bins({{45, 1}, {0, 2}})};
    struct Plot { const char *label; std::vector<QVector<double>> curves; };
    struct Row { const char *name; ZVEKHDR *image; std::function<void(ZVektoolChildWindow *)> setup; QPoint down; std::vector<QPoint> moves;
                 QPoint up; std::vector<Plot> plots; };
    const std::vector<QPoint> path = {{1, 0}, {2, 1}, {2, 1}, {9, 9}};  // the last one outside
    const Row rows[] = {
        {"both", colourImage(3, 2, 10), [&](auto *w) { adjust(w), w->profileAct->trigger(), w->histogramAct->trigger(); },
         {0, 0}, path, {2, 1}, {{"Data points", spanProfile}, {"Histogram Bins", spanBins}}},
        // Grey: three equal channels from frame 0 with the red offset: 17 + 10 at window 128 shows as 53.79 in a span of 255.
        {"grey", makeFloat({2, 8, 4}, [](int i) { return i == 10 ? 17.0f : i == 31 ? 255.0f : 0.0f; }),
         [](auto *w) { w->brightSlider->setValue(10), w->profileAct->trigger(), w->histogramAct->trigger(); }, {2, 1},
         {{2, 1}, {7, 3}}, {7, 3}, {{"Data points", equal({53.7890625, 255})}, {"Histogram Bins", equal(bins({{10, 1}, {51, 1}}))}}},
        // Colour 1 x 1 of 10, 20, 30 (span 20); a move beside it is not collected.
        {"1 x 1", makeFloat({3, 1, 1, 3}, [](int i) { return 10.0f * (i + 1); }), both, {0, 0}, {{0, 0}, {2, 0}}, {0, 0},
         {{"Data points", {{0}, {10}, {20}}}, {"Histogram Bins", {bins({{0, 1}}), bins({{25, 1}}), bins({{51, 1}})}}}},
        // Too few frames for colour: frame 0 in every channel.
        {"3-D one frame", makeFloat({3, 2, 2, 1}, [](int i) { return i == 1 ? 255.0f : i * 10.0f; }), profile, {1, 1}, {{1, 1}}, {1, 1},
         {{"Data points", equal({30})}}},
        {"1-D", makeFloat({1, 6}, [](int i) { return 51.0f * i; }), [](auto *w) { w->resetAct->trigger(), w->histogramAct->trigger(); },
         {0, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}}, {5, 0},
         {{"Histogram Bins", equal(bins({{0, 1}, {10, 1}, {20, 1}, {30, 1}, {40, 1}, {51, 1}}))}}},
    };
    int slot = 0;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ZVektoolChildWindow *w = view(r.image, slot++ % 8, true);
        r.setup(w), markConsole(), stroke(w, r.down, r.moves, r.up);
        const QList<MainWindow *> p = plots(w);
        ASSERT_TRUE(p.size() == int(r.plots.size()) && newConsole().isEmpty());  // a release that captures writes no read-out
        for (int i = 0; i < p.size(); ++i) {
            EXPECT_TRUE(p[i]->isVisible() && p[i]->plotWidget()->xAxis->label() == r.plots[i].label) << i;
            for (int k = 0; k < 3; ++k) EXPECT_EQ(curve(p[i], k), r.plots[i].curves[k]) << r.plots[i].label << " " << k;
            for (int k = 0; k < curve(p[i], 0).size(); ++k) EXPECT_EQ(curve(p[i], 0, true)[k], k);
        }
    }
}

TEST_F(ViewTest, CapturePathMarksAndStrokes) {
    ZVektoolChildWindow *w = view(colourImage(3, 2, 10), 0, true);
    w->resetAct->trigger(), w->profileAct->trigger(), markClicks();
    stroke(w, {0, 0}, {{1, 0}, {2, 1}, {2, 1}, {9, 9}}, {2, 1});
    EXPECT_TRUE(w->pathCols == QVector<int>({1, 2, 2}) && w->pathRows == QVector<int>({0, 1, 1}));
    EXPECT_EQ(clicks(), std::vector<int>({-8, -8, 2, 1}));
    // The red marks stay until the next redraw.
    EXPECT_TRUE(shown(w).pixel(1, 0) == qRgb(255, 0, 0) && shown(w).pixel(2, 1) == qRgb(255, 0, 0) && shown(w).pixel(0, 0) != qRgb(255, 0, 0));
    w->level();
    EXPECT_NE(shown(w).pixel(1, 0), qRgb(255, 0, 0));
    // With profile capture the press empties the path: a click without a move writes the read-out and opens no plot.
    w->histogramAct->trigger(), markConsole(), click(w, {3, 1});
    EXPECT_TRUE(w->pathCols.isEmpty() && plots(w).size() == 1);
    EXPECT_TRUE(newConsole().startsWith("\nModified: [1 , 3]")) << newConsole().toStdString();
    // Histogram capture alone keeps the path: a stroke adds to it; a release beside the image opens nothing, keeps the path.
    w->profileAct->trigger();
    stroke(w, {0, 0}, {{0, 0}}, {5, 0}), stroke(w, {0, 0}, {{1, 0}}, {1, 0});
    EXPECT_TRUE(plots(w).size() == 2 && w->pathCols == QVector<int>({0, 1}));
    EXPECT_EQ(curve(plots(w)[1], 0), bins({{0, 1}, {10, 1}}));  // 0 and 50 at window 255
    // Both modes off: moves collect nothing.
    w->histogramAct->trigger(), mouse(w, QEvent::MouseMove, {3, 1});
    EXPECT_EQ(w->pathCols.size(), 2);
    // Closing a plot only hides it; it goes with its view window, which leaves the register.
    QPointer<MainWindow> plot = plots(w)[0];
    EXPECT_TRUE(plot->close() && !plot.isNull());
    w->close(), pumpEvents(50);
    EXPECT_TRUE(plot.isNull() && mw->childWindow(0) == nullptr && mw->getIndexFromChildPtr(w) == -1);
}

TEST_F(ViewTest, ReplacedSlotImageIsNeverReadOutsideEitherImage) {
    ZVektoolChildWindow *w = view(positionImage(100, 10), 0, true);
    // A command puts a larger image into the slot: positions are taken in it, but nothing is read out or collected.
    Zvekfree(controller->images[0], 7);
    controller->images[0] = makeFloat({2, 200, 20}, [](int i) { return float(i % 50); });
    w->resize(w->size() + QSize(100, 20)), settle(), markClicks(), markConsole();
    click(w, {150, 15}), click(w, {41, 9});
    EXPECT_EQ(clicks(), std::vector<int>({150, 15, 41, 9}));
    w->profile(), stroke(w, {1, 1}, {{150, 15}, {2, 2}}, {2, 2});
    EXPECT_TRUE(w->pathCols.isEmpty() && plots(w).isEmpty() && newConsole().isEmpty());
}
