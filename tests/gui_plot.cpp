// Plot window: form, placement, the three curves of a profile or a
// histogram, axis ranges and labels, and drag, zoom and selection driven by
// real mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cstdlib>
#include <qcustomplot.h>

#include "plotMainWindow.h"

namespace {

QVector<double> keysOf(QCPGraph *g) {
    QVector<double> k;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) k << it->key;
    return k;
}
QVector<double> valuesOf(QCPGraph *g) {
    QVector<double> v;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) v << it->value;
    return v;
}

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent ev(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

// Shows the window and lays its plot out so that pixel positions are valid.
void showLaidOut(MainWindow &w) {
    w.show();
    QApplication::processEvents();
    w.plotWidget()->replot();
    QApplication::processEvents();
}

} // namespace

TEST(PlotWindow, FormTitleAndPlacement) {
    QWidget viewWindow;
    MainWindow w(&viewWindow);
    EXPECT_EQ(w.objectName(), "MainWindow");
    EXPECT_EQ(w.windowTitle(), "QCustomPlot plot examples");
    EXPECT_EQ(w.geometry(), QRect(400, 250, 542, 390));
    EXPECT_EQ(w.parentWidget(), &viewWindow);
    EXPECT_TRUE(w.isWindow()) << "a plot window is a top-level window of its own";
    EXPECT_FALSE(w.testAttribute(Qt::WA_DeleteOnClose));

    QWidget *central = w.centralWidget();
    ASSERT_NE(central, nullptr);
    EXPECT_EQ(central->objectName(), "centralWidget");
    auto *layout = qobject_cast<QVBoxLayout *>(central->layout());
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->objectName(), "verticalLayout");
    EXPECT_EQ(layout->spacing(), 6);
    EXPECT_EQ(layout->contentsMargins(), QMargins(11, 11, 11, 11));
    ASSERT_EQ(layout->count(), 1);
    auto *customPlot = qobject_cast<QCustomPlot *>(layout->itemAt(0)->widget());
    ASSERT_NE(customPlot, nullptr);
    EXPECT_EQ(customPlot->objectName(), "customPlot");
    EXPECT_EQ(customPlot, w.plotWidget()) << "plotData draws into the form's plot widget";
    ASSERT_NE(w.statusBar(), nullptr);
    EXPECT_EQ(w.statusBar()->objectName(), "statusBar");

    // Nothing is drawn until plotData is called.
    EXPECT_EQ(customPlot->graphCount(), 0);
    EXPECT_EQ(customPlot->interactions(), QCP::Interactions());
}

TEST(PlotWindow, ProfileCurvesRangesAndLabels) {
    MainWindow w;
    w.plotData({0, 10, 20}, {5, 5, 5}, {30, 0, 0}, PROFILE);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 3);

    const QColor pens[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};
    const QVector<double> values[3] = {{0, 10, 20}, {5, 5, 5}, {30, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        QCPGraph *g = p->graph(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(g->keyAxis(), p->xAxis);
        EXPECT_EQ(g->valueAxis(), p->yAxis);
        EXPECT_EQ(g->pen().color(), pens[i]);
        EXPECT_EQ(g->pen().style(), Qt::SolidLine);
        QColor fill = pens[i];
        fill.setAlpha(20);
        EXPECT_EQ(g->brush().color(), fill);
        EXPECT_EQ(g->brush().style(), Qt::SolidPattern);
        EXPECT_EQ(keysOf(g), QVector<double>({0, 1, 2}));
        EXPECT_EQ(valuesOf(g), values[i]);
    }

    // After rescaling the axes span exactly the keys and the values of all three curves.
    EXPECT_DOUBLE_EQ(p->xAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(p->xAxis->range().upper, 2);
    EXPECT_DOUBLE_EQ(p->yAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(p->yAxis->range().upper, 30);

    EXPECT_EQ(p->xAxis->label(), "Data points");
    EXPECT_EQ(p->yAxis->label(), "RGB");
    EXPECT_TRUE(p->xAxis2->visible());
    EXPECT_TRUE(p->yAxis2->visible());
    EXPECT_FALSE(p->xAxis2->tickLabels());
    EXPECT_FALSE(p->yAxis2->tickLabels());
    EXPECT_TRUE(p->xAxis->tickLabels());
    EXPECT_EQ(p->xAxis2->range(), p->xAxis->range()) << "top axis follows the bottom one after rescaling";
    EXPECT_EQ(p->yAxis2->range(), p->yAxis->range());

    EXPECT_EQ(p->interactions(), QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    EXPECT_EQ(int(p->interactions()), 1 | 2 | 8);
    EXPECT_EQ(w.windowTitle(), "QCustomPlot plot examples") << "plotting leaves the title alone";
}

TEST(PlotWindow, HistogramAndOtherLabels) {
    MainWindow hist;
    QVector<double> r(52, 0), g(52, 0), b(52, 0);
    r[0] = 7; r[51] = 3; g[10] = 10; b[25] = 4;
    hist.plotData(r, g, b, HISTOGRAM);
    QCustomPlot *p = hist.plotWidget();
    EXPECT_EQ(p->xAxis->label(), "Histogram Bins");
    EXPECT_EQ(p->yAxis->label(), "Repititions");
    EXPECT_DOUBLE_EQ(p->xAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(p->xAxis->range().upper, 51);
    EXPECT_DOUBLE_EQ(p->yAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(p->yAxis->range().upper, 10);
    EXPECT_EQ(p->graph(0)->data()->size(), 52);
    EXPECT_EQ(hist.windowTitle(), "QCustomPlot plot examples");

    MainWindow other;
    other.plotData({1, 2}, {3, 4}, {5, 6}, static_cast<_PLOT_TYPE>(2));
    EXPECT_EQ(other.plotWidget()->xAxis->label(), "");
    EXPECT_EQ(other.plotWidget()->yAxis->label(), "");
    EXPECT_EQ(other.plotWidget()->graphCount(), 3);
}

TEST(PlotWindow, RangesFollowTheDataNotTheFixedDefaults) {
    // Values above 255 widen the value axis; values in a narrow band shrink it.
    MainWindow wide;
    wide.plotData({-4, 300}, {0, 0}, {1000, 2}, PROFILE);
    EXPECT_DOUBLE_EQ(wide.plotWidget()->yAxis->range().lower, -4);
    EXPECT_DOUBLE_EQ(wide.plotWidget()->yAxis->range().upper, 1000);
    EXPECT_DOUBLE_EQ(wide.plotWidget()->xAxis->range().upper, 1);

    MainWindow narrow;
    narrow.plotData({100, 101, 102, 103}, {101, 101, 101, 101}, {100.5, 102.5, 100, 100}, PROFILE);
    EXPECT_DOUBLE_EQ(narrow.plotWidget()->yAxis->range().lower, 100);
    EXPECT_DOUBLE_EQ(narrow.plotWidget()->yAxis->range().upper, 103);
    EXPECT_DOUBLE_EQ(narrow.plotWidget()->xAxis->range().upper, 3);

    // An empty capture keeps the window usable.
    MainWindow empty;
    empty.plotData({}, {}, {}, HISTOGRAM);
    EXPECT_EQ(empty.plotWidget()->graphCount(), 3);
    EXPECT_EQ(empty.plotWidget()->graph(0)->data()->size(), 0);
    empty.plotWidget()->replot();
}

TEST(PlotWindow, TopAndRightAxesFollowEveryRangeChange) {
    MainWindow w;
    w.plotData({0, 10, 20}, {5, 5, 5}, {30, 0, 0}, PROFILE);
    QCustomPlot *p = w.plotWidget();
    p->xAxis->setRange(-3, 7);
    p->yAxis->setRange(12, 99);
    EXPECT_EQ(p->xAxis2->range(), QCPRange(-3, 7));
    EXPECT_EQ(p->yAxis2->range(), QCPRange(12, 99));
    // Only one way: moving the top axis does not move the bottom one.
    p->xAxis2->setRange(0, 1);
    EXPECT_EQ(p->xAxis->range(), QCPRange(-3, 7));
}

TEST(PlotWindow, MouseDragPansAndWheelZooms) {
    MainWindow w;
    QVector<double> r, g, b;
    for (int i = 0; i < 100; ++i) { r << i; g << 2 * i; b << 100; }
    w.plotData(r, g, b, PROFILE);
    showLaidOut(w);
    QCustomPlot *p = w.plotWidget();
    const QRect area = p->axisRect()->rect();
    ASSERT_GT(area.width(), 100);
    ASSERT_GT(area.height(), 100);

    const QCPRange x0 = p->xAxis->range(), y0 = p->yAxis->range();
    const QPoint start = area.center();
    const QPoint end = start + QPoint(40, -30);
    // The key and value moved by the drag, from the axes' own pixel scales.
    const double dx = p->xAxis->pixelToCoord(start.x()) - p->xAxis->pixelToCoord(end.x());
    const double dy = p->yAxis->pixelToCoord(start.y()) - p->yAxis->pixelToCoord(end.y());

    sendMouse(p, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(p, QEvent::MouseMove, start + QPoint(20, -15), Qt::NoButton, Qt::LeftButton);
    sendMouse(p, QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
    sendMouse(p, QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton);

    EXPECT_NEAR(p->xAxis->range().lower, x0.lower + dx, 1e-9);
    EXPECT_NEAR(p->xAxis->range().upper, x0.upper + dx, 1e-9);
    EXPECT_NEAR(p->yAxis->range().lower, y0.lower + dy, 1e-9);
    EXPECT_NEAR(p->yAxis->range().upper, y0.upper + dy, 1e-9);
    EXPECT_LT(dx, 0) << "dragging to the right shows smaller keys";
    EXPECT_EQ(p->xAxis2->range(), p->xAxis->range());
    EXPECT_EQ(p->yAxis2->range(), p->yAxis->range());
    EXPECT_EQ(p->selectedGraphs().size(), 0) << "a drag selects nothing";

    // One wheel step forward zooms in about the pointer on both axes.
    const QCPRange x1 = p->xAxis->range(), y1 = p->yAxis->range();
    const QPoint at = area.center();
    QWheelEvent wheel(QPointF(at), QPointF(p->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(p, &wheel);
    EXPECT_LT(p->xAxis->range().size(), x1.size());
    EXPECT_LT(p->yAxis->range().size(), y1.size());
    const double keyAt = p->xAxis->pixelToCoord(at.x());
    EXPECT_GT(keyAt, p->xAxis->range().lower);
    EXPECT_LT(keyAt, p->xAxis->range().upper);
    EXPECT_EQ(p->xAxis2->range(), p->xAxis->range()) << "top axis follows the zoom";
    EXPECT_EQ(p->yAxis2->range(), p->yAxis->range()) << "right axis follows the zoom";
}

TEST(PlotWindow, ClickSelectsOneCurve) {
    MainWindow w;
    QVector<double> r(20, 200), g(20, 120), b(20, 40);
    w.plotData(r, g, b, PROFILE);
    // Give the curves room so that a click on one is far from the others.
    w.plotWidget()->yAxis->setRange(0, 255);
    showLaidOut(w);
    QCustomPlot *p = w.plotWidget();

    auto clickAt = [&](double key, double value) {
        const QPoint pos(qRound(p->xAxis->coordToPixel(key)), qRound(p->yAxis->coordToPixel(value)));
        sendMouse(p, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
        sendMouse(p, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    };
    clickAt(9.5, 120);
    EXPECT_FALSE(p->graph(0)->selected());
    EXPECT_TRUE(p->graph(1)->selected()) << "the green curve lies under the click";
    EXPECT_FALSE(p->graph(2)->selected());

    clickAt(4, 200);
    EXPECT_TRUE(p->graph(0)->selected());
    EXPECT_FALSE(p->graph(1)->selected()) << "a new click replaces the selection";
    EXPECT_EQ(p->selectedGraphs().size(), 1);
}

TEST(PlotWindow, ClosingHidesAndTheViewWindowDestroysIt) {
    auto *viewWindow = new QWidget;
    viewWindow->setAttribute(Qt::WA_DeleteOnClose);
    viewWindow->show();
    QPointer<MainWindow> w = new MainWindow(viewWindow);
    w->plotData({1, 2, 3}, {1, 2, 3}, {1, 2, 3}, HISTOGRAM);
    w->show();
    QApplication::processEvents();
    EXPECT_TRUE(w->isVisible());

    EXPECT_TRUE(w->close());
    QApplication::processEvents();
    ASSERT_FALSE(w.isNull()) << "closing only hides a plot window";
    EXPECT_FALSE(w->isVisible());

    QPointer<QWidget> view = viewWindow;
    viewWindow->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(w.isNull()) << "the plot window dies with its view window";
}

// Saves a picture of a filled plot window when ZVEK_PLOT_SHOT names a file
// (used to look at the window under a real X server).
TEST(PlotWindow, PictureOfAFilledWindow) {
    MainWindow w;
    QVector<double> r, g, b;
    for (int i = 0; i < 120; ++i) {
        r << 128 + 100 * std::sin(i / 10.0);
        g << 128 + 60 * std::cos(i / 14.0);
        b << 40 + i;
    }
    w.plotData(r, g, b, PROFILE);
    showLaidOut(w);
    const QImage picture = w.grab().toImage();
    ASSERT_EQ(picture.size(), QSize(542, 390));
    // The red curve is drawn: some pixel is pure red or close to it.
    int reddish = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++reddish;
        }
    }
    EXPECT_GT(reddish, 50);
    if (const char *path = std::getenv("ZVEK_PLOT_SHOT")) {
        EXPECT_TRUE(picture.save(path));
    }
}
