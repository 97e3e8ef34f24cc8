// The plot window: its form and the three curves of a profile or a
// histogram; and its chart gallery: each chart's title, contents and data
// against their formulas, the framing axes, the two animation steps, and
// charts on a cleared layout.
#include <gtest/gtest.h>

#include <QDir>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

#include "plotMainWindow.h"

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // the charts draw from the toolkit's qsrand/qrand

namespace {

// Key and value of point i of plottable k (a graph, curve or bar series).
std::pair<double, double> point(QCustomPlot *p, int k, int i) {
    if (auto *g = qobject_cast<QCPGraph *>(p->plottable(k))) return {g->data()->at(i)->key, g->data()->at(i)->value};
    if (auto *c = qobject_cast<QCPCurve *>(p->plottable(k))) return {c->data()->at(i)->key, c->data()->at(i)->value};
    if (auto *b = qobject_cast<QCPBars *>(p->plottable(k))) return {b->data()->at(i)->key, b->data()->at(i)->value};
    return {NAN, NAN};
}

template <class T> T *plottable(QCustomPlot *p, int k) { return qobject_cast<T *>(p->plottable(k)); }

QStringList legend(QCustomPlot *p) {
    QStringList names;
    for (int i = 0; i < p->legend->itemCount(); ++i)
        if (auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i))) names << item->plottable()->name();
    return names;
}

// Ticks and sub-ticks an axis's ticker places inside range.
std::pair<QVector<double>, QVector<double>> ticksIn(QCPAxis *axis, QCPRange range) {
    QVector<double> ticks, subTicks;
    QVector<QString> labels;
    axis->ticker()->generate(range, axis->parentPlot()->locale(), 'g', 6, ticks, &subTicks, &labels);
    for (QVector<double> *v : {&ticks, &subTicks})
        v->erase(std::remove_if(v->begin(), v->end(), [&](double x) { return !range.contains(x); }), v->end());
    return {ticks, subTicks};
}

}  // namespace

TEST(PlotWindow, Form) {
    QWidget viewWindow;
    MainWindow w(&viewWindow);
    auto *layout = qobject_cast<QVBoxLayout *>(w.centralWidget()->layout());
    ASSERT_TRUE(layout && layout->count() == 1 && layout->itemAt(0)->widget() == w.plotWidget());
    EXPECT_EQ(QStringList({w.objectName(), w.windowTitle(), w.centralWidget()->objectName(), layout->objectName(),
                           w.plotWidget()->objectName(), w.statusBar()->objectName()}),
              QStringList({"MainWindow", "QCustomPlot plot examples", "centralWidget", "verticalLayout", "customPlot", "statusBar"}));
    EXPECT_TRUE(w.geometry() == QRect(400, 250, 542, 390) && layout->spacing() == 6 && layout->contentsMargins() == QMargins(11, 11, 11, 11));
    EXPECT_TRUE(w.parentWidget() == &viewWindow && w.isWindow() && !w.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(w.plotWidget()->graphCount() == 0 && w.plotWidget()->interactions() == QCP::Interactions());
}

TEST(PlotWindow, CurvesRangesAndLabels) {
    QVector<double> r(52, 0), g(52, 0), b(52, 0);
    r[0] = 7, r[51] = 3, g[10] = 10, b[25] = 4;
    // The curves, the labels of the bottom and left axes, and the ranges after plotting: every key and value.
    struct Row { const char *name; QVector<double> r, g, b; int type; const char *x, *y; QCPRange keys, values; };
    const Row rows[] = {
        {"profile", {0, 10, 20}, {5, 5, 5}, {30, 0, 0}, PROFILE, "Data points", "RGB", {0, 2}, {0, 30}},
        {"histogram", r, g, b, HISTOGRAM, "Histogram Bins", "Repititions", {0, 51}, {0, 10}},
        {"other type", {1, 2}, {3, 4}, {5, 6}, 2, "", "", {0, 1}, {1, 6}},
        {"beyond 255", {-4, 300}, {0, 0}, {1000, 2}, PROFILE, "Data points", "RGB", {0, 1}, {-4, 1000}},
        {"narrow", {100, 101, 102, 103}, {101, 101, 101, 101}, {100.5, 102.5, 100, 100}, PROFILE, "Data points", "RGB", {0, 3}, {100, 103}},
    };
    const QColor pens[3] = {Qt::red, Qt::green, Qt::blue};
    auto data = [](QCPGraph *g, bool keys = false) {
        QVector<double> v;
        for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) v << (keys ? it->key : it->value);
        return v;
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MainWindow w;
        w.plotData(row.r, row.g, row.b, static_cast<_PLOT_TYPE>(row.type));
        QCustomPlot *p = w.plotWidget();
        ASSERT_EQ(p->graphCount(), 3);
        QVector<double> keys;
        for (int i = 0; i < row.r.size(); ++i) keys << i;
        for (int k = 0; k < 3; ++k) {
            QCPGraph *graph = p->graph(k);
            EXPECT_TRUE(graph->keyAxis() == p->xAxis && graph->valueAxis() == p->yAxis) << k;
            EXPECT_TRUE(graph->pen() == QPen(pens[k]) && graph->brush() == QBrush(QColor(pens[k].red(), pens[k].green(), pens[k].blue(), 20)))
                << k;
            EXPECT_TRUE(data(graph, true) == keys && data(graph) == (std::vector<QVector<double>>{row.r, row.g, row.b}[k])) << k;
        }
        EXPECT_TRUE(p->xAxis->label() == row.x && p->yAxis->label() == row.y);
        EXPECT_TRUE(p->xAxis->range() == row.keys && p->yAxis->range() == row.values) << p->yAxis->range().upper;
        // The top and right axes frame the plot without labels and follow every range change, one way.
        EXPECT_TRUE(p->xAxis2->visible() && p->yAxis2->visible() && !p->xAxis2->tickLabels() && !p->yAxis2->tickLabels());
        EXPECT_TRUE(p->xAxis2->range() == p->xAxis->range() && p->yAxis2->range() == p->yAxis->range());
        p->xAxis->setRange(-3, 7), p->yAxis->setRange(12, 99), p->xAxis2->setRange(0, 1);
        EXPECT_TRUE(p->xAxis->range() == QCPRange(-3, 7) && p->yAxis2->range() == QCPRange(12, 99));
        EXPECT_EQ(p->interactions(), QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
        EXPECT_EQ(w.windowTitle(), "QCustomPlot plot examples");
    }
    MainWindow empty;  // an empty capture keeps the window usable
    empty.plotData({}, {}, {}, HISTOGRAM);
    EXPECT_TRUE(empty.plotWidget()->graphCount() == 3 && empty.plotWidget()->graph(0)->data()->isEmpty());
    empty.plotWidget()->replot();
}

// Every chart, each in a window of its own, without animation.
class PlotGallery : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 20; ++i) charts[i].statusBar()->showMessage("old"), charts[i].setupDemo(i), charts[i].demoTimer().disconnect();
    }
    QCustomPlot *P(int i) { return charts[i].plotWidget(); }
    MainWindow charts[20];
};

TEST_F(PlotGallery, EveryChart) {
    EXPECT_EQ(MainWindow::screenShotPath("Real Time Data Demo"), "./screenshots/realtimedatademo.png");
    // Title; graphs, plottables, items; legend entries (when checked).
    struct Row { const char *title; int graphs, plottables, items; QStringList legend; };
    const Row rows[20] = {
        {"Quadratic Demo", 1, 1, 0, {}}, {"Simple Demo", 2, 2, 0, {}},
        {"Sinc Scatter Demo", 4, 5, 0, {"Confidence Band 68%", "Theory Curve", "Measurement"}},
        {"Scatter Style Demo", 15, 15, 0, {}}, {"Scatter Pixmap Demo", 1, 1, 0, {"Data from Photovoltaic\nenergy barometer 2011"}},
        {"Line Style Demo", 6, 6, 0, {"lsNone", "lsLine", "lsStepLeft", "lsStepRight", "lsStepCenter", "lsImpulse"}},
        {"Date Demo", 5, 5, 0, {}}, {"Texture Brush Demo", 2, 2, 0, {}}, {"Multi Axis Demo", 5, 6, 0, {}},
        {"Logarithmic Demo", 4, 6, 0, {"x", "-sin(x)exp(x)", " sin(x)exp(x)", "x!"}}, {"Real Time Data Demo", 4, 4, 0, {}},
        {"Parametric Curves Demo", 0, 3, 0, {}}, {"Bar Chart Demo", 0, 3, 0, {"Regenerative", "Nuclear", "Fossil fuels"}},
        {"Statistical Demo", 0, 3, 0, {}}, {"Simple Item Demo", 0, 0, 2, {}}, {"Item Demo", 1, 1, 10, {}}, {"Styled Demo", 2, 4, 0, {}},
        {"Advanced Axes Demo", 3, 4, 0, {}}, {"Color Map Demo", 0, 1, 0, {}},
        {"Financial Charts Demo", 0, 4, 0, {"Candlestick", "OHLC"}},  // no legend entries for the volumes
    };
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(rows[i].title);
        EXPECT_TRUE(charts[i].demoTitle() == rows[i].title && charts[i].windowTitle() == QString("QCustomPlot: ") + rows[i].title);
        EXPECT_TRUE(charts[i].demoIndex() == i && charts[i].statusBar()->currentMessage().isEmpty());
        EXPECT_EQ(std::vector<int>({P(i)->graphCount(), P(i)->plottableCount(), P(i)->itemCount()}),
                  std::vector<int>({rows[i].graphs, rows[i].plottables, rows[i].items}));
        EXPECT_TRUE(rows[i].legend.isEmpty() || legend(P(i)) == rows[i].legend) << legend(P(i)).join("|").toStdString();
        // Only the animated charts run the timer, as fast as it goes.
        EXPECT_TRUE(charts[i].demoTimer().isActive() == (i == 10 || i == 15) && charts[i].demoTimer().interval() == 0);
        // The framing axes tick like the bottom and left ones.
        const bool framed = i == 2 || i == 3 || i == 5 || i == 7 || i == 9 || i == 10 || i == 11 || i == 18;
        EXPECT_TRUE(!framed || (P(i)->xAxis2->ticker() == P(i)->xAxis->ticker() && P(i)->yAxis2->ticker() == P(i)->yAxis->ticker()));
        charts[i].show();  // painting works, also where the picture files are missing
        EXPECT_EQ(P(i)->toPixmap(500, 350).size(), QSize(500, 350));
    }
}

TEST_F(PlotGallery, DataFollowTheirFormulas) {
    auto sinc = [](double x) { return std::sin(x) / x; };
    const double x2 = 1.2, x5 = 7 / 15.0 * 5 * 3.14 + 0.01, x8 = 1.5 * M_PI, x15 = 300 / 499.0 * 34 - 17, x16 = 3.5;
    const double sx = 100 / 249.0 * 30 - 14.99, phi = 123 / 499.0 * 8 * M_PI, t = 321 / 499.0 * 2 * M_PI;
    struct Row { int chart, k, i; double key, value; };  // chart, plottable, point
    const Row rows[] = {
        {0, 0, 25, -0.5, 0.25}, {0, 0, 100, 1, 1}, {1, 0, 100, 100, std::exp(-100 / 150.0) * std::cos(10.0)},
        {1, 1, 249, 249, std::exp(-249 / 150.0)}, {2, 2, 0, -14990, sinc(-14.99)}, {2, 0, 100, sx * 1000, sinc(sx) + 0.15},
        {2, 1, 249, 15010, sinc(15.01) - 0.15}, {3, 14, 9, 0.9 * 4 * 3.14 + 0.01, 7 * sinc(0.9 * 4 * 3.14 + 0.01) + 5},
        {4, 0, 5, 2010, 29.33}, {5, 5, 7, x5, 7 * sinc(x5) - 25 + 27}, {7, 0, 100, x2, std::exp(-0.8 * x2 * x2) * (x2 * x2 + x2) + 1},
        {7, 1, 100, x2, 1 - 0.1 * x2 * x2 * std::exp(-0.4 * x2 * x2)}, {8, 0, 20, 2.4, std::exp(-0.8 * 2.4 * 2.4) * (2.4 * 2.4 + 2.4)},
        {8, 1, 5, 1, 2.6 * std::exp(-1.0)}, {8, 2, 125, x8, 10 * std::sin(12 * x8) * std::cos(x8)}, {8, 3, 125, x8, 10 * std::cos(x8)},
        {9, 3, 20, 20, 2432902008176640000.0}, {9, 3, 0, 0, 1}, {9, 1, 100, 10, -std::sin(10.0) * std::exp(10.0)},
        {11, 1, 123, -std::sqrt(phi) * std::cos(phi), -std::sqrt(phi) * std::sin(phi)},
        {11, 2, 321, 2 * std::cos(2 * t) + std::cos(t) + 2 * std::sin(t), 2 * std::sin(2 * t) - std::sin(t)},
        {12, 2, 0, 1, 9.03}, {12, 1, 3, 4, 2.32}, {12, 0, 6, 7, 2.8}, {15, 0, 300, x15, std::exp(-x15 * x15 / 20) * std::sin(3 * x15)},
        {16, 0, 7, x16, std::cos(0.8 * x16 + std::sin(0.16 * x16 + 1)) * std::sin(0.54 * x16) + 1.4},
        {16, 1, 35, x16, std::cos(0.85 * x16 + std::sin(0.165 * x16 + 1.1)) * std::sin(0.5 * x16) + 1.7},
        {17, 0, 19, 5, std::cos(5.0)}, {17, 1, 10, -3, std::exp(-9 * 0.2) * 1000}, {17, 3, 2, 3, 4},
    };
    for (const Row &r : rows) {
        const auto [key, value] = point(P(r.chart), r.k, r.i);
        EXPECT_TRUE(std::fabs(key - r.key) <= 1e-9 * std::max(1.0, std::fabs(r.key)) &&
                    std::fabs(value - r.value) <= 1e-12 * std::max(1.0, std::fabs(r.value)))
            << "chart " << r.chart << " plottable " << r.k << " point " << r.i << ": " << key << ", " << value;
    }
    // Styled chart: the lower bars are the formula plus up to 0.01 of noise; the upper ones stand on them.
    for (int i = 0; i < 20; ++i) {
        const double x = i / 20.0 * 10, base = (0.5 * std::cos(0.2 * x * x + 2) + 0.5) * 3 / (x + 0.7) + 0.05;
        const double y3 = point(P(16), 2, i).second, y4 = point(P(16), 3, i).second;
        EXPECT_TRUE(y3 >= base && y3 <= base + 0.01 && std::fabs(y4 - (0.5 - y3 + 0.02 * (x - 2) * (x - 2))) < 1e-12) << i;
    }
    // Pens and brushes made from the charts' own rules; sizes, fills and styles.
    for (int s = 0; s < 6; ++s)
        EXPECT_EQ(P(5)->graph(s)->pen().color(),
                  QColor(int(80 * std::sin(s + 1.2) + 80), int(80 * std::sin(0.3 * s) + 80), int(80 * std::sin(0.3 * s + 1.5) + 80)));
    for (int g = 0; g < 5; ++g) EXPECT_EQ(P(6)->graph(g)->brush().color(), QColor(int(63.75 * g), 160, 50, 150)) << g;
    for (auto [chart, fill, to] : {std::make_tuple(2, 0, 1), std::make_tuple(7, 0, 1), std::make_tuple(16, 1, 0), std::make_tuple(17, 0, 1)})
        EXPECT_EQ(P(chart)->graph(fill)->channelFillGraph(), P(chart)->graph(to)) << chart;
    EXPECT_TRUE(P(9)->graph(3)->lineStyle() == QCPGraph::lsStepCenter && P(17)->graph(2)->lineStyle() == QCPGraph::lsImpulse);
    EXPECT_TRUE(int(P(5)->graph(4)->lineStyle()) == 4 && P(5)->graph(5)->data()->size() == 15 && P(3)->graph(13)->name() == "ssPeace");
    EXPECT_TRUE(plottable<QCPBars>(P(16), 2)->width() == 0.45 && plottable<QCPBars>(P(12), 0)->barBelow() == plottable<QCPBars>(P(12), 1));
    auto *bars = plottable<QCPErrorBars>(P(2), 4);
    ASSERT_TRUE(bars && bars->dataPlottable() == P(2)->graph(3) && bars->dataCount() == 50 && bars->data()->at(7).errorPlus == 0.15);
    EXPECT_TRUE(P(2)->graph(3)->data()->size() == 50 && point(P(2), 3, 0).first == -14750);
    double x, y;
    plottable<QCPColorMap>(P(18), 0)->data()->cellToCoord(150, 40, &x, &y);
    const double r = 3 * std::sqrt(x * x + y * y) + 0.01;
    EXPECT_DOUBLE_EQ(plottable<QCPColorMap>(P(18), 0)->data()->cell(150, 40), 2 * x * (std::cos(r + 2) / r - std::sin(r + 2) / r));
    EXPECT_EQ(qobject_cast<QCPColorScale *>(P(18)->plotLayout()->element(0, 1))->axis()->label(), "Magnetic Field Strength");
    // Seeded data: srand(8) for the dates, one draw per point; qsrand(3) for the advanced axes.
    std::srand(8);
    const double y0 = std::rand() / 2147483647.0 - 0.5, u1 = std::rand() / 2147483647.0;
    EXPECT_DOUBLE_EQ(point(P(6), 0, 1).second, std::fabs(y0) * 1.02 + (1 / 50.0 + 1) * (u1 - 0.5));
    qsrand(3);
    const double q0 = qrand() / 2147483647.0, q1 = qrand() / 2147483647.0;
    EXPECT_TRUE(point(P(17), 2, 0).second == q0 - 0.5 && point(P(17), 2, 1).second == q0 - 0.5 + q1 - 0.5);
    // Financial: 500 hourly prices in 22 daily bins from 11 June 2014; volumes after the 998 draws of the walk.
    const double start = QDateTime(QDate(2014, 6, 11), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    auto *candles = plottable<QCPFinancial>(P(19), 0), *ohlc = plottable<QCPFinancial>(P(19), 1);
    EXPECT_TRUE(candles->dataCount() == 22 && candles->width() == 86400 * 0.9 && ohlc->width() == 86400 * 0.2);
    EXPECT_TRUE(candles->data()->at(0)->open == 60 && candles->data()->at(0)->key == start && ohlc->data()->at(0)->open == 20);
    qsrand(9);
    for (int i = 0; i < 998; ++i) qrand();
    const int v = qrand() % 20000 + qrand() % 20000 + qrand() % 20000 - 30000;
    EXPECT_EQ(point(P(19), v < 0 ? 3 : 2, 0), std::make_pair(start, double(std::abs(v))));
}

TEST_F(PlotGallery, AxesTitlesAndRanges) {
    // The sinc chart's value range holds the theory curve and every error bar; its keys span the curve, moved 10 to the left.
    double lo = 1e300, hi = -1e300;
    for (int i = 0; i < 250; ++i) lo = std::min(lo, point(P(2), 2, i).second), hi = std::max(hi, point(P(2), 2, i).second);
    for (int i = 0; i < 50; ++i) lo = std::min(lo, point(P(2), 3, i).second - 0.15), hi = std::max(hi, point(P(2), 3, i).second + 0.15);
    EXPECT_TRUE(P(2)->yAxis->range() == QCPRange(lo, hi) && lo < -0.3 && hi > 1);
    EXPECT_TRUE(std::fabs(P(2)->xAxis->range().lower + 15000) < 1e-6 && std::fabs(P(2)->xAxis->range().upper - 15000) < 1e-6);
    // Logarithmic, base 100 with ten sub-ticks, on the right axis too.
    auto log = P(9)->yAxis->ticker().dynamicCast<QCPAxisTickerLog>();
    ASSERT_TRUE(!log.isNull() && log->logBase() == 100 && log->subTickCount() == 10 && P(9)->yAxis->range() == QCPRange(1e-2, 1e10));
    EXPECT_TRUE(P(9)->yAxis->scaleType() == QCPAxis::stLogarithmic && P(9)->yAxis2->scaleType() == QCPAxis::stLogarithmic);
    const auto right = ticksIn(P(9)->yAxis2, P(9)->yAxis2->range());
    ASSERT_EQ(right.first.size(), 7);
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(right.first[i], std::pow(100.0, i - 1), std::pow(100.0, i - 1) * 1e-9) << i;
    EXPECT_TRUE(right.second.size() == 6 * 10 && right == ticksIn(P(9)->yAxis, P(9)->yAxis->range()));
    // The real-time top axis ticks every 2 seconds; hand-placed ticks keep four sub-ticks unless a chart switches them off.
    EXPECT_EQ(ticksIn(P(10)->xAxis2, QCPRange(1000.3, 1008.3)).first, QVector<double>({1002, 1004, 1006, 1008}));
    EXPECT_EQ(ticksIn(P(6)->yAxis, QCPRange(0, 60)), std::make_pair(QVector<double>({5, 55}), QVector<double>({15, 25, 35, 45})));
    const auto top = ticksIn(P(8)->xAxis2, QCPRange(0, M_PI / 2));
    EXPECT_TRUE(top.first.size() == 2 && top.second.size() == 4 && std::fabs(top.second[0] - M_PI / 10) < 1e-12);
    EXPECT_TRUE(!P(12)->xAxis->subTicks() && !P(13)->xAxis->subTicks());
    // Titles above the axis rectangle; axes and labels.
    for (auto [chart, title] : {std::make_pair(4, "Regenerative Energies"), std::make_pair(8, "Way too many graphs in one plot")})
        EXPECT_TRUE(qobject_cast<QCPTextElement *>(P(chart)->plotLayout()->element(0, 0))->text() == title &&
                    P(chart)->axisRect() == P(chart)->plotLayout()->element(1, 0)) << title;
    EXPECT_TRUE(P(13)->yAxis->label() == QString::fromUtf8("O₂ Absorption [mg]") && P(6)->yAxis->range() == QCPRange(0, 60));
    // Fixed ranges, fills and places of single charts.
    EXPECT_TRUE(P(4)->xAxis->range() == QCPRange(2004.5, 2010.5) && P(11)->plottable(0)->brush().color() == QColor(0, 0, 255, 20));
    auto *text = qobject_cast<QCPItemText *>(P(14)->item(0));
    ASSERT_TRUE(text && text->text() == "Text Item Demo" && text->position->type() == QCPItemPosition::ptAxisRectRatio);
    EXPECT_EQ(text->position->coords(), QPointF(0.5, 0));
}

TEST(PlotGalleryEdges, AnimationStepsAndClearedLayouts) {
    // Item chart: a step moves the packet and its red tracer on from 1.5 pi / 3; the process's first step shows the rate.
    MainWindow it, rt, w;
    it.show(), it.setupDemo(15), it.demoTimer().disconnect();
    QCPItemTracer *tracer = it.demoTracer();
    ASSERT_TRUE(tracer && tracer->graphKey() == 1.5 * M_PI / 3 && tracer->graph() == it.plotWidget()->graph(0));
    QMetaObject::invokeMethod(&it, "bracketDataSlot");
    EXPECT_TRUE(tracer->graphKey() > 2 * M_PI / 3 && tracer->graphKey() < 14 * M_PI / 3);
    EXPECT_EQ(it.statusBar()->currentMessage(), "0 FPS, Total Data points: 500");
    // Real time: a point per step over the last 8 seconds, the top axis following.
    rt.show(), rt.setupDemo(10), rt.demoTimer().disconnect();
    QMetaObject::invokeMethod(&rt, "realtimeDataSlot");
    EXPECT_EQ(rt.statusBar()->currentMessage(), "0 FPS, Total Data points: 2");
    const double now = QDateTime::currentDateTime().toMSecsSinceEpoch() / 1000.0, newest = point(rt.plotWidget(), 2, 0).first;
    EXPECT_NEAR(rt.plotWidget()->xAxis->range().upper, now + 0.25, 0.5);
    EXPECT_TRUE(rt.plotWidget()->xAxis->range().size() == 8 && rt.plotWidget()->xAxis2->range() == rt.plotWidget()->xAxis->range());
    EXPECT_TRUE(point(rt.plotWidget(), 2, 0).second == std::sin(newest) && point(rt.plotWidget(), 3, 0).second == std::cos(newest));
    // Four more steps, each over 10 ms after the last: graphs 0 and 1 grow, the dot graphs hold only the newest point.
    for (int i = 0; i < 4; ++i) QThread::msleep(15), QMetaObject::invokeMethod(&rt, "realtimeDataSlot");
    QCustomPlot *p = rt.plotWidget();
    const double last = point(p, 1, 4).first;
    EXPECT_TRUE(p->graph(0)->dataCount() == 5 && p->graph(1)->dataCount() == 5 && point(p, 0, 4).first == last);
    EXPECT_TRUE(p->graph(2)->dataCount() == 1 && point(p, 2, 0) == std::make_pair(last, std::sin(last)));
    EXPECT_TRUE(p->graph(3)->dataCount() == 1 && point(p, 3, 0) == std::make_pair(last, std::cos(last)));
    // Indices outside the table set up nothing, and the title keeps the last chart's name.
    w.setupDemo(-1);
    EXPECT_TRUE(w.windowTitle() == "QCustomPlot: " && w.demoIndex() == -1);
    w.setupDemo(0), w.statusBar()->showMessage("x"), w.setupDemo(20);
    EXPECT_TRUE(w.windowTitle() == "QCustomPlot: Quadratic Demo" && w.demoIndex() == 20 && w.statusBar()->currentMessage().isEmpty());
    // The advanced-axes chart clears the main axes: charts needing them are refused there; the animation steps still run.
    for (MainWindow *m : {&w, &rt, &it}) {
        m->setupDemo(17), m->setupDemo(17);
        EXPECT_EQ(m->plotWidget()->axisRects().size(), 3);
        for (int i : {0, 9, 18, 19}) {
            m->setupDemo(i);
            EXPECT_TRUE(m->demoIndex() == i && m->windowTitle() == "QCustomPlot: Advanced Axes Demo");
        }
        QMetaObject::invokeMethod(m, "realtimeDataSlot"), QMetaObject::invokeMethod(m, "bracketDataSlot");
        m->plotWidget()->toPixmap(300, 200);
    }
}

// A step of the tour saves the chart shown under ./screenshots/, named after it, and sets up the next chart.
TEST(PlotGalleryEdges, TourSavesTheChartShown) {
    QTemporaryDir dir;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkdir("screenshots") && QDir::setCurrent(dir.path()));
    QSize size;
    {
        MainWindow w;
        w.show(), w.setupDemo(1);
        size = w.frameGeometry().size() - QSize(4, 4);
        QMetaObject::invokeMethod(&w, "allScreenShots");
        EXPECT_TRUE(w.demoIndex() == 2 && w.demoTitle() == "Sinc Scatter Demo");
    }
    QDir::setCurrent(cwd);
    EXPECT_EQ(QDir(dir.path() + "/screenshots").entryList(QDir::Files).join("|").toStdString(), "simpledemo.png");
    const QSize saved = QImage(dir.path() + "/screenshots/simpledemo.png").size();
    EXPECT_TRUE(saved == size) << saved.width() << " x " << saved.height();
}
