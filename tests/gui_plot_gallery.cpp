// Chart gallery of the plot window: choosing charts, their titles and
// contents, the seeded data, the two animation steps and screenshot names.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <qcustomplot.h>

#include "plotMainWindow.h"

namespace {

const char *const titles[20] = {
    "Quadratic Demo",      "Simple Demo",          "Sinc Scatter Demo",   "Scatter Style Demo",
    "Scatter Pixmap Demo", "Line Style Demo",      "Date Demo",           "Texture Brush Demo",
    "Multi Axis Demo",     "Logarithmic Demo",     "Real Time Data Demo", "Parametric Curves Demo",
    "Bar Chart Demo",      "Statistical Demo",     "Simple Item Demo",    "Item Demo",
    "Styled Demo",         "Advanced Axes Demo",   "Color Map Demo",      "Financial Charts Demo"};

QVector<double> keysOf(const QCPGraph *g) {
    QVector<double> k;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) k << it->key;
    return k;
}
QVector<double> valuesOf(const QCPGraph *g) {
    QVector<double> v;
    for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) v << it->value;
    return v;
}

template <class T> QList<T *> plottablesOf(QCustomPlot *p) {
    QList<T *> out;
    for (int i = 0; i < p->plottableCount(); ++i)
        if (auto *t = qobject_cast<T *>(p->plottable(i))) out << t;
    return out;
}

QStringList legendNames(QCustomPlot *p) {
    QStringList names;
    for (int i = 0; i < p->legend->itemCount(); ++i)
        if (auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i))) names << item->plottable()->name();
    return names;
}

// The toolkit's generator, read the way the charts read it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void seedQ(uint s) { qsrand(s); }
int qrandom() { return qrand(); }
#pragma GCC diagnostic pop

void pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(PlotGallery, PlotWindowsStartWithoutAChart) {
    MainWindow w;
    EXPECT_EQ(w.demoTitle(), "");
    EXPECT_EQ(w.demoIndex(), -1);
    EXPECT_EQ(w.demoTracer(), nullptr);
    EXPECT_FALSE(w.demoTimer().isActive());
    EXPECT_EQ(w.plotWidget()->plottableCount(), 0);
    EXPECT_EQ(w.plotWidget()->itemCount(), 0);
    const QMetaObject *mo = w.metaObject();
    QStringList slotNames;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        if (mo->method(i).methodType() == QMetaMethod::Slot) slotNames << mo->method(i).name();
    EXPECT_EQ(slotNames, QStringList({"realtimeDataSlot", "bracketDataSlot", "screenShot", "allScreenShots"}));
}

TEST(PlotGallery, EveryChartSetsUpTitlesAndPaints) {
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(titles[i]);
        MainWindow w;
        w.show();
        w.statusBar()->showMessage("old message");
        w.setupDemo(i);
        EXPECT_EQ(w.demoTitle(), titles[i]);
        EXPECT_EQ(w.windowTitle(), QString("QCustomPlot: ") + titles[i]);
        EXPECT_EQ(w.demoIndex(), i);
        EXPECT_EQ(w.statusBar()->currentMessage(), "");
        EXPECT_GT(w.plotWidget()->plottableCount() + w.plotWidget()->itemCount(), 0);
        EXPECT_EQ(w.demoTimer().isActive(), i == 10 || i == 15) << "only the animated charts start the timer";
        if (w.demoTimer().isActive()) {
            EXPECT_EQ(w.demoTimer().interval(), 0);
        }
        // Painting works, also where the picture files are missing.
        const QImage picture = w.plotWidget()->toPixmap(500, 350).toImage();
        EXPECT_EQ(picture.size(), QSize(500, 350));
        // ZVEK_GALLERY_SHOTS names a directory to keep the pictures in, for looking at them.
        if (const char *dir = std::getenv("ZVEK_GALLERY_SHOTS")) {
            EXPECT_TRUE(picture.save(QString("%1/chart%2.png").arg(dir).arg(i, 2, 10, QChar('0'))));
        }
    }
}

TEST(PlotGallery, IndicesOutsideTheTableSetUpNothing) {
    MainWindow w;
    w.setupDemo(-1);
    EXPECT_EQ(w.windowTitle(), "QCustomPlot: ");
    EXPECT_EQ(w.demoIndex(), -1);
    w.setupDemo(20);
    EXPECT_EQ(w.demoIndex(), 20);
    EXPECT_EQ(w.plotWidget()->plottableCount(), 0);

    w.setupDemo(0);
    w.statusBar()->showMessage("x");
    w.setupDemo(20);
    EXPECT_EQ(w.windowTitle(), "QCustomPlot: Quadratic Demo") << "the title keeps the last chart's name";
    EXPECT_EQ(w.statusBar()->currentMessage(), "");
    EXPECT_EQ(w.plotWidget()->graphCount(), 1);

    // Charts add to what the widget holds.
    w.setupDemo(0);
    EXPECT_EQ(w.plotWidget()->graphCount(), 2);
}

TEST(PlotGallery, ChartsAfterTheClearedLayoutAreRefused) {
    MainWindow w;
    w.setupDemo(17);
    w.setupDemo(17);
    EXPECT_EQ(w.plotWidget()->axisRects().size(), 3);
    for (int i : {0, 9, 18, 19}) {
        w.setupDemo(i);
        EXPECT_EQ(w.demoIndex(), i);
        EXPECT_EQ(w.windowTitle(), "QCustomPlot: Advanced Axes Demo");
    }
    w.plotWidget()->toPixmap(400, 300);
}

TEST(PlotGallery, QuadraticAndSimpleData) {
    MainWindow w;
    w.setupDemo(0);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 1);
    const QVector<double> k = keysOf(p->graph(0)), v = valuesOf(p->graph(0));
    ASSERT_EQ(k.size(), 101);
    EXPECT_DOUBLE_EQ(k[0], -1);
    EXPECT_DOUBLE_EQ(k[25], -0.5);
    EXPECT_DOUBLE_EQ(v[25], 0.25);
    EXPECT_DOUBLE_EQ(k[100], 1);
    EXPECT_DOUBLE_EQ(v[100], 1);
    EXPECT_EQ(p->xAxis->label(), "x");
    EXPECT_EQ(p->yAxis->label(), "y");
    EXPECT_EQ(p->xAxis->range(), QCPRange(-1, 1));
    EXPECT_EQ(p->yAxis->range(), QCPRange(0, 1));

    MainWindow s;
    s.setupDemo(1);
    p = s.plotWidget();
    ASSERT_EQ(p->graphCount(), 2);
    EXPECT_EQ(p->graph(0)->data()->size(), 250);
    EXPECT_NEAR(valuesOf(p->graph(0))[100], std::exp(-100 / 150.0) * std::cos(10.0), 1e-15);
    EXPECT_NEAR(valuesOf(p->graph(1))[100], std::exp(-100 / 150.0), 1e-15);
    EXPECT_DOUBLE_EQ(p->xAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(p->xAxis->range().upper, 249);
    EXPECT_DOUBLE_EQ(p->yAxis->range().upper, 1) << "envelope starts at 1";
    p->xAxis->setRange(3, 4);
    EXPECT_EQ(p->xAxis2->range(), QCPRange(3, 4));
    EXPECT_EQ(int(p->interactions()), 1 | 2 | 8);
}

TEST(PlotGallery, SincScatterLegendAndErrorBars) {
    MainWindow w;
    w.setupDemo(2);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 4);
    EXPECT_EQ(legendNames(p), QStringList({"Confidence Band 68%", "Theory Curve", "Measurement"}))
        << "the lower band has no legend entry";
    EXPECT_EQ(p->graph(0)->channelFillGraph(), p->graph(1));
    const QVector<double> k = keysOf(p->graph(2)), v = valuesOf(p->graph(2));
    ASSERT_EQ(k.size(), 250);
    const double x0 = -0.5 * 30 + 0.01;
    EXPECT_NEAR(k[0], x0 * 1000, 1e-9);
    EXPECT_NEAR(v[0], std::sin(x0) / x0, 1e-15);
    EXPECT_NEAR(valuesOf(p->graph(0))[0], std::sin(x0) / x0 + 0.15, 1e-15);
    EXPECT_EQ(p->graph(3)->data()->size(), 50);
    EXPECT_NEAR(keysOf(p->graph(3))[0], (-0.5 * 30 + 0.25) * 1000, 1e-9);
    const auto bars = plottablesOf<QCPErrorBars>(p);
    ASSERT_EQ(bars.size(), 1);
    EXPECT_EQ(bars[0]->dataPlottable(), p->graph(3));
    EXPECT_EQ(bars[0]->dataCount(), 50);
    EXPECT_DOUBLE_EQ(bars[0]->data()->at(7).errorPlus, 0.15);
    EXPECT_EQ(bars[0]->pen().color(), QColor(180, 180, 180));
    EXPECT_EQ(p->xAxis->numberFormat(), "ebc");
    EXPECT_EQ(p->xAxis->tickLabelRotation(), 30);
    EXPECT_EQ(p->locale(), QLocale(QLocale::English, QLocale::UnitedKingdom));
}

TEST(PlotGallery, ScatterStylesAndLineStylesAreNamed) {
    MainWindow w;
    w.setupDemo(3);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 15);
    EXPECT_EQ(p->graph(0)->name(), "ssCross");
    EXPECT_EQ(p->graph(13)->name(), "ssPeace");
    EXPECT_EQ(p->graph(14)->name(), "ssCustom");
    EXPECT_EQ(p->graph(14)->scatterStyle().shape(), QCPScatterStyle::ssCustom);
    EXPECT_EQ(p->graph(2)->pen().color(),
              QColor(int(100 * std::sin(0.6) + 100), int(100 * std::sin(1.9) + 100), int(100 * std::sin(1.4) + 100)));
    // Top graph: 7 sin(x)/x + 15 * 5 at its first point.
    const double x = 0.01;
    EXPECT_NEAR(valuesOf(p->graph(0))[0], 7 * std::sin(x) / x + 75, 1e-12);
    EXPECT_EQ(p->legend->itemCount(), 15);

    MainWindow l;
    l.setupDemo(5);
    p = l.plotWidget();
    ASSERT_EQ(p->graphCount(), 6);
    const char *names[6] = {"lsNone", "lsLine", "lsStepLeft", "lsStepRight", "lsStepCenter", "lsImpulse"};
    const QCPGraph::LineStyle styles[6] = {QCPGraph::lsNone, QCPGraph::lsLine, QCPGraph::lsStepLeft,
                                           QCPGraph::lsStepRight, QCPGraph::lsStepCenter, QCPGraph::lsImpulse};
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(p->graph(s)->name(), names[s]);
        EXPECT_EQ(p->graph(s)->lineStyle(), styles[s]);
    }
}

TEST(PlotGallery, MissingPicturesLeaveEmptyPixmaps) {
    ASSERT_FALSE(QFile::exists("./sun.png"));
    MainWindow w;
    w.show();
    w.setupDemo(4);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 1);
    EXPECT_EQ(p->graph(0)->scatterStyle().shape(), QCPScatterStyle::ssPixmap);
    EXPECT_TRUE(p->graph(0)->scatterStyle().pixmap().isNull());
    EXPECT_TRUE(p->axisRect()->background().isNull());
    EXPECT_EQ(valuesOf(p->graph(0)), QVector<double>({2.17, 3.42, 4.94, 10.38, 15.86, 29.33}));
    auto *title = qobject_cast<QCPTextElement *>(p->plotLayout()->element(0, 0));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Regenerative Energies");
    EXPECT_EQ(p->axisRect(), p->plotLayout()->element(1, 0));
    EXPECT_EQ(p->xAxis->range(), QCPRange(2004.5, 2010.5));
    w.grab();

    MainWindow t;
    t.show();
    t.setupDemo(7);
    EXPECT_TRUE(t.plotWidget()->graph(0)->brush().texture().isNull());
    t.grab();
    MainWindow m;
    m.show();
    m.setupDemo(8);
    EXPECT_EQ(m.plotWidget()->graphCount(), 5);
    m.grab();
}

TEST(PlotGallery, SeededChartsRepeatTheirData) {
    // Date chart: srand(8), then one draw per point, graph after graph.
    MainWindow a, b;
    a.setupDemo(6);
    std::rand();
    b.setupDemo(6);
    ASSERT_EQ(a.plotWidget()->graphCount(), 5);
    for (int g = 0; g < 5; ++g) EXPECT_EQ(valuesOf(a.plotWidget()->graph(g)), valuesOf(b.plotWidget()->graph(g)));
    std::srand(8);
    const double y0 = std::rand() / 2147483647.0 - 0.5;
    const double u1 = std::rand() / 2147483647.0;
    const QVector<double> first = valuesOf(a.plotWidget()->graph(0));
    EXPECT_DOUBLE_EQ(first[0], y0);
    EXPECT_DOUBLE_EQ(first[1], std::fabs(y0) * 1.02 + (1 / 50.0 + 1) * (u1 - 0.5));
    EXPECT_EQ(a.plotWidget()->yAxis->range(), QCPRange(0, 60));
    EXPECT_DOUBLE_EQ(a.plotWidget()->xAxis->range().size(), 21513600);

    // Advanced axes: the third graph starts from the zero at index 1.
    MainWindow c, d;
    c.setupDemo(17);
    d.setupDemo(17);
    QCustomPlot *p = c.plotWidget();
    ASSERT_EQ(p->graphCount(), 3);
    seedQ(3);
    const double q0 = qrandom() / 2147483647.0, q1 = qrandom() / 2147483647.0;
    const QVector<double> impulse = valuesOf(p->graph(2));
    ASSERT_EQ(impulse.size(), 100);
    EXPECT_DOUBLE_EQ(impulse[0], q0 - 0.5);
    EXPECT_DOUBLE_EQ(impulse[1], impulse[0] + q1 - 0.5);
    EXPECT_EQ(impulse, valuesOf(d.plotWidget()->graph(2)));
    EXPECT_EQ(p->axisRects().size(), 3);
    EXPECT_EQ(p->graph(2)->lineStyle(), QCPGraph::lsImpulse);
    QCPAxisRect *wide = p->axisRects().at(0);
    EXPECT_EQ(wide->axisCount(QCPAxis::atLeft), 2);
    EXPECT_DOUBLE_EQ(wide->axis(QCPAxis::atLeft, 1)->range().lower, 0);
    EXPECT_EQ(p->graph(0)->channelFillGraph(), p->graph(1));
    for (QCPAxisRect *rect : p->axisRects())
        for (QCPAxis *axis : rect->axes()) {
            EXPECT_EQ(axis->layer()->name(), "axes");
            EXPECT_EQ(axis->grid()->layer()->name(), "grid");
        }
}

TEST(PlotGallery, LogarithmicFactorials) {
    MainWindow w;
    w.setupDemo(9);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 4);
    EXPECT_EQ(p->graph(2)->name(), " sin(x)exp(x)");
    EXPECT_EQ(p->graph(3)->name(), "x!");
    const QVector<double> f = valuesOf(p->graph(3));
    ASSERT_EQ(f.size(), 21);
    EXPECT_EQ(f[0], 1) << "0! = 1";
    EXPECT_EQ(f[1], 1);
    EXPECT_EQ(f[5], 120);
    EXPECT_EQ(f[20], 2432902008176640000.0);
    EXPECT_EQ(p->yAxis->scaleType(), QCPAxis::stLogarithmic);
    auto log = p->yAxis->ticker().dynamicCast<QCPAxisTickerLog>();
    ASSERT_FALSE(log.isNull());
    EXPECT_EQ(log->logBase(), 100);
    EXPECT_EQ(log->subTickCount(), 10);
    EXPECT_EQ(p->yAxis->range(), QCPRange(1e-2, 1e10));
    EXPECT_EQ(legendNames(p), QStringList({"x", "-sin(x)exp(x)", " sin(x)exp(x)", "x!"}));
    p->yAxis->setRange(1, 100);
    EXPECT_EQ(p->yAxis2->range(), QCPRange(1, 100));
}

TEST(PlotGallery, BarsBoxesAndCurves) {
    MainWindow w;
    w.setupDemo(12);
    const auto bars = plottablesOf<QCPBars>(w.plotWidget());
    ASSERT_EQ(bars.size(), 3);
    EXPECT_EQ(bars[0]->name(), "Regenerative");
    EXPECT_EQ(bars[1]->name(), "Nuclear");
    EXPECT_EQ(bars[2]->name(), "Fossil fuels");
    EXPECT_EQ(bars[1]->barBelow(), bars[2]);
    EXPECT_EQ(bars[0]->barBelow(), bars[1]);
    EXPECT_DOUBLE_EQ(bars[2]->data()->at(0)->value, 9.03);
    EXPECT_DOUBLE_EQ(bars[0]->data()->at(6)->value, 2.8);
    auto labels = w.plotWidget()->xAxis->ticker().dynamicCast<QCPAxisTickerText>();
    ASSERT_FALSE(labels.isNull());
    EXPECT_EQ(labels->ticks().value(3), "Germany");

    MainWindow s;
    s.setupDemo(13);
    const auto boxes = plottablesOf<QCPStatisticalBox>(s.plotWidget());
    ASSERT_EQ(boxes.size(), 3);
    EXPECT_DOUBLE_EQ(boxes[1]->data()->at(0)->median, 2.2);
    EXPECT_EQ(boxes[1]->data()->at(0)->outliers.size(), 5);
    EXPECT_EQ(s.plotWidget()->yAxis->label(), QString::fromUtf8("O₂ Absorption [mg]"));
    EXPECT_EQ(s.plotWidget()->yAxis->range(), QCPRange(0, 7));

    MainWindow c;
    c.setupDemo(11);
    const auto curves = plottablesOf<QCPCurve>(c.plotWidget());
    ASSERT_EQ(curves.size(), 3);
    EXPECT_EQ(curves[0]->dataCount(), 500);
    // Curve 2 mirrors curve 1; curve 3 at t = 0 lies at (3, 0).
    EXPECT_DOUBLE_EQ(curves[1]->data()->at(499)->key, -curves[0]->data()->at(499)->key);
    EXPECT_DOUBLE_EQ(curves[2]->data()->at(0)->key, 3);
    EXPECT_DOUBLE_EQ(curves[2]->data()->at(0)->value, 0);
}

TEST(PlotGallery, FinancialChartsAndVolumes) {
    MainWindow w;
    w.setupDemo(19);
    QCustomPlot *p = w.plotWidget();
    EXPECT_EQ(legendNames(p), QStringList({"Candlestick", "OHLC"})) << "volume bars have no legend entry";
    const auto fin = plottablesOf<QCPFinancial>(p);
    ASSERT_EQ(fin.size(), 2);
    const double start = QDateTime(QDate(2014, 6, 11), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    // 500 hourly samples over bins centred on the start: 22 daily bins.
    EXPECT_EQ(fin[0]->dataCount(), 22);
    EXPECT_EQ(fin[0]->width(), 86400 * 0.9);
    EXPECT_EQ(fin[1]->width(), 86400 * 0.2);
    EXPECT_DOUBLE_EQ(fin[0]->data()->at(0)->open, 60);
    EXPECT_DOUBLE_EQ(fin[0]->data()->at(0)->key, start);

    // Volumes from the generator after the 998 draws of the price walk.
    const auto bars = plottablesOf<QCPBars>(p);
    ASSERT_EQ(bars.size(), 2);
    seedQ(9);
    for (int i = 0; i < 998; ++i) qrandom();
    QVector<double> pos, neg;
    for (int j = 0; j < 100; ++j) {
        const int a = qrandom() % 20000, b = qrandom() % 20000, c = qrandom() % 20000;
        const int v = a + b + c - 30000;
        (v < 0 ? neg : pos) << std::abs(v);
    }
    EXPECT_EQ(bars[0]->dataCount(), pos.size());
    EXPECT_EQ(bars[1]->dataCount(), neg.size());
    QVector<double> got;
    for (int i = 0; i < bars[0]->dataCount(); ++i) got << bars[0]->data()->at(i)->value;
    EXPECT_EQ(got, pos);
    EXPECT_EQ(std::fmod(bars[0]->data()->at(0)->key - start, 18000.0), 0);

    // The volume axis and the price axis move together, both ways.
    QCPAxis *volumeX = p->axisRects().at(1)->axis(QCPAxis::atBottom);
    p->xAxis->setRange(start, start + 86400);
    EXPECT_EQ(volumeX->range(), QCPRange(start, start + 86400));
    volumeX->setRange(start + 5, start + 500);
    EXPECT_EQ(p->xAxis->range(), QCPRange(start + 5, start + 500));
    auto dt = volumeX->ticker().dynamicCast<QCPAxisTickerDateTime>();
    ASSERT_FALSE(dt.isNull());
    EXPECT_EQ(dt->dateTimeFormat(), "dd. MMM");
    EXPECT_EQ(dt->dateTimeSpec(), Qt::UTC);
}

TEST(PlotGallery, ColorMapAndStyledCharts) {
    MainWindow w;
    w.setupDemo(18);
    const auto maps = plottablesOf<QCPColorMap>(w.plotWidget());
    ASSERT_EQ(maps.size(), 1);
    QCPColorMapData *data = maps[0]->data();
    EXPECT_EQ(data->keySize(), 200);
    double x, y;
    data->cellToCoord(150, 40, &x, &y);
    const double r = 3 * std::sqrt(x * x + y * y) + 0.01;
    EXPECT_DOUBLE_EQ(data->cell(150, 40), 2 * x * (std::cos(r + 2) / r - std::sin(r + 2) / r));
    auto *scale = qobject_cast<QCPColorScale *>(w.plotWidget()->plotLayout()->element(0, 1));
    ASSERT_NE(scale, nullptr);
    EXPECT_EQ(scale->axis()->label(), "Magnetic Field Strength");
    EXPECT_EQ(maps[0]->colorScale(), scale);

    MainWindow s;
    s.setupDemo(16);
    QCustomPlot *p = s.plotWidget();
    EXPECT_EQ(p->graph(0)->layer()->name(), "abovemain");
    EXPECT_EQ(p->xAxis->grid()->layer()->name(), "belowmain");
    EXPECT_LT(p->layer("belowmain")->index(), p->layer("main")->index());
    EXPECT_GT(p->layer("abovemain")->index(), p->layer("main")->index());
    EXPECT_EQ(p->yAxis->range(), QCPRange(0, 2));
    EXPECT_EQ(plottablesOf<QCPBars>(p).size(), 2);
}

TEST(PlotGallery, ItemChart) {
    MainWindow w;
    w.show();
    w.setupDemo(14);
    EXPECT_EQ(w.plotWidget()->itemCount(), 2);

    MainWindow it;
    it.show();
    it.setupDemo(15);
    QCPItemTracer *tracer = it.demoTracer();
    ASSERT_NE(tracer, nullptr);
    EXPECT_DOUBLE_EQ(tracer->graphKey(), 1.5 * M_PI / 3);
    EXPECT_EQ(tracer->graph(), it.plotWidget()->graph(0));
    EXPECT_EQ(tracer->brush().color(), QColor(Qt::red));
    EXPECT_EQ(it.plotWidget()->itemCount(), 10);
    EXPECT_EQ(it.plotWidget()->yAxis->range(), QCPRange(-1.45, 1.65));

    // One animation step recomputes the packet and moves the red tracer into
    // (2 pi/3, 14 pi/3); the first step shows the rate at once.
    QMetaObject::invokeMethod(&it, "bracketDataSlot");
    EXPECT_EQ(it.plotWidget()->graph(0)->data()->size(), 500);
    EXPECT_GT(tracer->graphKey(), 2 * M_PI / 3);
    EXPECT_LT(tracer->graphKey(), 14 * M_PI / 3);
    EXPECT_EQ(it.statusBar()->currentMessage(), "0 FPS, Total Data points: 500");
}

TEST(PlotGallery, RealTimeSteps) {
    MainWindow w;
    w.show();
    w.setupDemo(10);
    QCustomPlot *p = w.plotWidget();
    ASSERT_EQ(p->graphCount(), 4);
    EXPECT_EQ(p->graphCount(), 4);
    // The very first step of the process adds a point and reports at once.
    w.demoTimer().disconnect();
    QMetaObject::invokeMethod(&w, "realtimeDataSlot");
    EXPECT_EQ(w.statusBar()->currentMessage(), "0 FPS, Total Data points: 2");
    const double now = QDateTime::currentDateTime().toMSecsSinceEpoch() / 1000.0;
    EXPECT_NEAR(p->xAxis->range().upper, now + 0.25, 0.5);
    EXPECT_DOUBLE_EQ(p->xAxis->range().size(), 8);
    EXPECT_EQ(p->xAxis2->range(), p->xAxis->range());

    MainWindow r;
    r.show();
    r.setupDemo(10);
    pump(300);
    QCustomPlot *q = r.plotWidget();
    EXPECT_GT(q->graph(0)->data()->size(), 5) << "the timer keeps adding points";
    EXPECT_EQ(q->graph(0)->data()->size(), q->graph(1)->data()->size());
    EXPECT_EQ(q->graph(2)->data()->size(), 1);
    EXPECT_EQ(q->graph(3)->data()->size(), 1);
    const double newest = q->graph(2)->data()->at(0)->key;
    EXPECT_DOUBLE_EQ(q->graph(0)->data()->at(q->graph(0)->data()->size() - 1)->key, newest);
    EXPECT_DOUBLE_EQ(q->graph(2)->data()->at(0)->value, std::sin(newest));
    EXPECT_DOUBLE_EQ(q->graph(3)->data()->at(0)->value, std::cos(newest));
    // At most one point per 10 ms.
    const auto *d = q->graph(0)->data().data();
    for (int i = 1; i < d->size(); ++i) EXPECT_GT(d->at(i)->key - d->at(i - 1)->key, 0.01);
}

TEST(PlotGallery, ScreenshotNames) {
    EXPECT_EQ(MainWindow::screenShotPath("Real Time Data Demo"), "./screenshots/realtimedatademo.png");
    EXPECT_EQ(MainWindow::screenShotPath("Financial Charts Demo"), "./screenshots/financialchartsdemo.png");
    EXPECT_EQ(MainWindow::screenShotPath(""), "./screenshots/.png");
}

namespace {

// Tick and sub-tick positions an axis's ticker places inside `range`.
void ticksIn(QCPAxis *axis, const QCPRange &range, QVector<double> &ticks, QVector<double> &subTicks) {
    QVector<QString> labels;
    axis->ticker()->generate(range, axis->parentPlot()->locale(), 'g', 6, ticks, &subTicks, &labels);
    auto outside = [&](double v) { return v < range.lower || v > range.upper; };
    ticks.erase(std::remove_if(ticks.begin(), ticks.end(), outside), ticks.end());
    subTicks.erase(std::remove_if(subTicks.begin(), subTicks.end(), outside), subTicks.end());
}

void expectNearAll(const QVector<double> &got, const QVector<double> &want, double relTol) {
    ASSERT_EQ(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], std::fabs(want[i]) * relTol + 1e-12) << i;
}

} // namespace

TEST(PlotGallery, FramingAxesTickLikeTheBottomAndLeftOnes) {
    // Logarithmic chart: the right axis is logarithmic with base 100 like the
    // left one, so its ticks sit at 1e-2, 1, 1e2, ..., 1e10 and not at linear
    // steps crowded into the top decade.
    MainWindow log;
    log.setupDemo(9);
    QCustomPlot *p = log.plotWidget();
    EXPECT_EQ(p->yAxis2->scaleType(), QCPAxis::stLogarithmic);
    QVector<double> ticks, subTicks;
    ticksIn(p->yAxis2, p->yAxis2->range(), ticks, subTicks);
    expectNearAll(ticks, {1e-2, 1, 1e2, 1e4, 1e6, 1e8, 1e10}, 1e-9);
    EXPECT_EQ(subTicks.size(), 6 * 10) << "ten sub-ticks between neighbouring ticks";
    QVector<double> leftTicks, leftSub;
    ticksIn(p->yAxis, p->yAxis->range(), leftTicks, leftSub);
    EXPECT_EQ(ticks, leftTicks);
    EXPECT_EQ(subTicks, leftSub);

    // Real-time chart: the top axis ticks every 2 seconds like the bottom one.
    MainWindow rt;
    rt.setupDemo(10);
    rt.demoTimer().disconnect();
    ticksIn(rt.plotWidget()->xAxis2, QCPRange(1000.3, 1008.3), ticks, subTicks);
    EXPECT_EQ(ticks, QVector<double>({1002, 1004, 1006, 1008}));

    // Hand-placed ticks keep four sub-ticks between neighbours unless a chart
    // switches them off: date chart's left axis and multi-axis chart's top axis.
    MainWindow date;
    date.setupDemo(6);
    ticksIn(date.plotWidget()->yAxis, QCPRange(0, 60), ticks, subTicks);
    EXPECT_EQ(ticks, QVector<double>({5, 55}));
    expectNearAll(subTicks, {15, 25, 35, 45}, 1e-12);
    MainWindow multi;
    multi.setupDemo(8);
    ticksIn(multi.plotWidget()->xAxis2, QCPRange(0, M_PI / 2), ticks, subTicks);
    expectNearAll(ticks, {0, M_PI / 2}, 1e-12);
    expectNearAll(subTicks, {M_PI / 10, 2 * M_PI / 10, 3 * M_PI / 10, 4 * M_PI / 10}, 1e-12);
    MainWindow bars;
    bars.setupDemo(12);
    EXPECT_FALSE(bars.plotWidget()->xAxis->subTicks());
}

TEST(PlotGallery, SincScatterRangeHoldsTheErrorBars) {
    MainWindow w;
    w.setupDemo(2);
    QCustomPlot *p = w.plotWidget();
    // Theory curve extremes from the formula; measurements as drawn (random).
    double lo = 1e300, hi = -1e300;
    for (int i = 0; i < 250; ++i) {
        const double x = (i / 249.0 - 0.5) * 30 + 0.01;
        lo = std::min(lo, std::sin(x) / x);
        hi = std::max(hi, std::sin(x) / x);
    }
    for (double v : valuesOf(p->graph(3))) {
        lo = std::min(lo, v - 0.15);
        hi = std::max(hi, v + 0.15);
    }
    EXPECT_DOUBLE_EQ(p->yAxis->range().lower, lo);
    EXPECT_DOUBLE_EQ(p->yAxis->range().upper, hi);
    // Keys span the curve (-14990 .. 15010), then move 10 to the left.
    EXPECT_NEAR(p->xAxis->range().lower, -14990 - 10, 1e-6);
    EXPECT_NEAR(p->xAxis->range().upper, 15010 - 10, 1e-6);
}

TEST(PlotGallery, AnimationsSurviveAClearedLayoutAndAClosedWindow) {
    // The advanced-axes chart set up on an animated widget clears its axes;
    // the next animation steps still run.
    MainWindow rt;
    rt.show();
    rt.setupDemo(10);
    rt.setupDemo(17);
    QMetaObject::invokeMethod(&rt, "realtimeDataSlot");
    EXPECT_LE(rt.plotWidget()->graph(0)->data()->size(), 1);
    pump(50);
    rt.plotWidget()->toPixmap(300, 200);

    MainWindow wave;
    wave.show();
    wave.setupDemo(15);
    wave.setupDemo(17);
    pump(50);
    QMetaObject::invokeMethod(&wave, "bracketDataSlot");
    wave.plotWidget()->toPixmap(300, 200);

    // Closing only hides the window; the animation goes on until it is destroyed.
    auto *w = new MainWindow;
    w->show();
    w->setupDemo(15);
    pump(50);
    w->close();
    pump(50);
    EXPECT_TRUE(w->demoTimer().isActive());
    delete w;
    pump(50);

    // A tour step pending on a destroyed window does nothing.
    auto *t = new MainWindow;
    t->show();
    t->setupDemo(0);
    QMetaObject::invokeMethod(t, "allScreenShots");
    EXPECT_EQ(t->demoIndex(), 1);
    delete t;
    pump(400);
}

TEST(PlotGallery, ChartCurvesFollowTheirFormulas) {
    // Line styles: 15 points per graph, shifted down by 5 per style.
    MainWindow ls;
    ls.setupDemo(5);
    for (int s = 0; s < 6; ++s) {
        const QVector<double> k = keysOf(ls.plotWidget()->graph(s)), v = valuesOf(ls.plotWidget()->graph(s));
        ASSERT_EQ(k.size(), 15);
        const double x = 7 / 15.0 * 5 * 3.14 + 0.01;
        EXPECT_NEAR(k[7], x, 1e-12);
        EXPECT_NEAR(v[7], 7 * std::sin(x) / x - 5 * s + 27, 1e-12) << s;
        EXPECT_EQ(ls.plotWidget()->graph(s)->pen().color(),
                  QColor(int(80 * std::sin(s + 1.2) + 80), int(80 * std::sin(0.3 * s) + 80),
                         int(80 * std::sin(0.3 * s + 1.5) + 80)));
    }

    // Texture brush: two curves over x = 3 i / 250.
    MainWindow tb;
    tb.setupDemo(7);
    {
        const double x = 3 * 100 / 250.0;
        EXPECT_NEAR(keysOf(tb.plotWidget()->graph(0))[100], 1.2, 1e-12);
        EXPECT_NEAR(valuesOf(tb.plotWidget()->graph(0))[100], std::exp(-0.8 * x * x) * (x * x + x) + 1, 1e-12);
        EXPECT_NEAR(valuesOf(tb.plotWidget()->graph(1))[100], 1 - 0.1 * x * x * std::exp(-0.4 * x * x), 1e-12);
        EXPECT_EQ(tb.plotWidget()->graph(0)->channelFillGraph(), tb.plotWidget()->graph(1));
        EXPECT_EQ(tb.plotWidget()->graph(0)->pen().style(), Qt::DotLine);
        EXPECT_EQ(tb.plotWidget()->graph(0)->pen().widthF(), 2);
    }

    // Multi-axis chart: the five graphs on their axes with their data.
    MainWindow ma;
    ma.setupDemo(8);
    QCustomPlot *p = ma.plotWidget();
    ASSERT_EQ(p->graphCount(), 5);
    EXPECT_EQ(p->graph(0)->keyAxis(), p->yAxis);
    EXPECT_EQ(p->graph(0)->valueAxis(), p->xAxis);
    EXPECT_EQ(p->graph(4)->keyAxis(), p->yAxis2);
    EXPECT_EQ(p->graph(4)->valueAxis(), p->xAxis2);
    EXPECT_EQ(p->graph(2)->keyAxis(), p->xAxis2);
    EXPECT_EQ(p->graph(0)->data()->size(), 25);
    EXPECT_NEAR(valuesOf(p->graph(0))[20], std::exp(-0.8 * 2.4 * 2.4) * (2.4 * 2.4 + 2.4), 1e-12);
    EXPECT_NEAR(valuesOf(p->graph(1))[5], 2.6 * 1.0 * std::exp(-1.0), 1e-12);
    const auto errors = plottablesOf<QCPErrorBars>(p);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_NEAR(errors[0]->data()->at(5).errorPlus, 0.25 * 2.6 * std::exp(-1.0), 1e-12);
    const double x2 = 125 / 250.0 * 3 * M_PI;
    EXPECT_NEAR(valuesOf(p->graph(2))[125], 10 * std::sin(12 * x2) * std::cos(x2), 1e-12);
    EXPECT_NEAR(valuesOf(p->graph(3))[125], 10 * std::cos(x2), 1e-12);
    for (double v : valuesOf(p->graph(4))) EXPECT_LE(v, 0.01 * 50 * 50 + 0.75 + 1.5 * M_PI);
    EXPECT_EQ(p->xAxis2->range(), QCPRange(0, 3 * M_PI));
    EXPECT_EQ(p->yAxis2->range(), QCPRange(-70, 35));
    auto top = p->xAxis2->ticker().dynamicCast<QCPAxisTickerText>();
    ASSERT_FALSE(top.isNull());
    EXPECT_EQ(top->ticks().value(M_PI / 2), QString::fromUtf8("½π"));
    EXPECT_EQ(top->ticks().value(5 * M_PI / 2), QString::fromUtf8("2½π"));
    auto *title = qobject_cast<QCPTextElement *>(p->plotLayout()->element(0, 0));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Way too many graphs in one plot");
    EXPECT_EQ(p->xAxis->label(), "Bottom axis with outward ticks");
    EXPECT_EQ(p->yAxis2->label(), "Right axis label");
    EXPECT_EQ(p->xAxis->tickLengthIn(), 0);
    EXPECT_EQ(p->xAxis->tickLengthOut(), 5);

    // Wave packet at phase 0, and the red tracer at 1.5 pi / 3.
    MainWindow it;
    it.setupDemo(15);
    it.demoTimer().disconnect();
    {
        const QVector<double> k = keysOf(it.plotWidget()->graph(0)), v = valuesOf(it.plotWidget()->graph(0));
        ASSERT_EQ(k.size(), 500);
        EXPECT_DOUBLE_EQ(k.first(), -17);
        EXPECT_DOUBLE_EQ(k.last(), 17);
        const double x = 300 / 499.0 * 34 - 17;
        EXPECT_NEAR(v[300], std::exp(-x * x / 20) * std::sin(3 * x), 1e-12);
    }

    // Styled chart: two curves and two stacked bar series.
    MainWindow st;
    st.setupDemo(16);
    p = st.plotWidget();
    {
        const double x1 = 7 / 20.0 * 10, x2 = 42 / 100.0 * 10;
        EXPECT_NEAR(valuesOf(p->graph(0))[7], std::cos(0.8 * x1 + std::sin(0.16 * x1 + 1)) * std::sin(0.54 * x1) + 1.4,
                    1e-12);
        EXPECT_NEAR(valuesOf(p->graph(1))[42],
                    std::cos(0.85 * x2 + std::sin(0.165 * x2 + 1.1)) * std::sin(0.5 * x2) + 1.7, 1e-12);
        const auto bars = plottablesOf<QCPBars>(p);
        ASSERT_EQ(bars.size(), 2);
        EXPECT_DOUBLE_EQ(bars[0]->width(), 0.45);
        for (int i = 0; i < 20; ++i) {
            const double x = i / 20.0 * 10;
            const double y3 = bars[0]->data()->at(i)->value;
            const double base = (0.5 * std::cos(0.2 * x * x + 2) + 0.5) * 3 / (x + 0.7) + 0.05;
            EXPECT_GE(y3, base) << i;
            EXPECT_LE(y3, base + 0.01) << i;
            EXPECT_NEAR(bars[1]->data()->at(i)->value, 0.5 - y3 + 0.02 * (x - 2) * (x - 2), 1e-12) << i;
        }
        EXPECT_EQ(bars[1]->barBelow(), bars[0]);
        EXPECT_EQ(p->graph(1)->channelFillGraph(), p->graph(0));
        EXPECT_EQ(p->xAxis->basePen().color(), QColor(Qt::white));
        EXPECT_EQ(p->yAxis->grid()->subGridPen().color(), QColor(80, 80, 80));
        EXPECT_EQ(p->xAxis->upperEnding().style(), QCPLineEnding::esSpikeArrow);
    }

    // Parametric curves: Fermat spiral point from the formula.
    MainWindow pc;
    pc.setupDemo(11);
    {
        const auto curves = plottablesOf<QCPCurve>(pc.plotWidget());
        ASSERT_EQ(curves.size(), 3);
        const double phi = 123 / 499.0 * 8 * M_PI, t = 321 / 499.0 * 2 * M_PI;
        EXPECT_NEAR(curves[0]->data()->at(123)->key, std::sqrt(phi) * std::cos(phi), 1e-12);
        EXPECT_NEAR(curves[0]->data()->at(123)->value, std::sqrt(phi) * std::sin(phi), 1e-12);
        EXPECT_NEAR(curves[2]->data()->at(321)->key, 2 * std::cos(2 * t) + std::cos(t) + 2 * std::sin(t), 1e-12);
        EXPECT_NEAR(curves[2]->data()->at(321)->value, 2 * std::sin(2 * t) - std::sin(t), 1e-12);
        EXPECT_EQ(curves[1]->pen().color(), QColor(255, 120, 0));
        EXPECT_EQ(curves[2]->brush().style(), Qt::RadialGradientPattern);
    }

    // Date chart: one brush per graph.
    MainWindow dt;
    dt.setupDemo(6);
    for (int g = 0; g < 5; ++g)
        EXPECT_EQ(dt.plotWidget()->graph(g)->brush().color(), QColor(int(63.75 * g), 160, 50, 150)) << g;
    EXPECT_EQ(dt.plotWidget()->yAxis->label(), "Random wobbly lines value");
}
