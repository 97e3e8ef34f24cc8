// plotGallery.cpp - the twenty prepared charts of the plot window's gallery.
// Each set-up function titles the chart and fills the given plot widget,
// which owns everything created here; none of them replots.
#include <QLocale>
#include <QMetaEnum>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <cstdlib>
#include <qcustomplot.h>

#include "plotMainWindow.h"

namespace {

const double pi = 3.14159265358979323846;

// u: the standard library's generator scaled to 0..1.
double u() { return std::rand() / 2147483647.0; }

// The toolkit's generator (qsrand/qrand) is kept for its fixed sequences.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
void seedQ(uint seed) { qsrand(seed); }
int qrandom() { return qrand(); }
#pragma GCC diagnostic pop
double q() { return qrandom() / 2147483647.0; }

// Ticks at a fixed step with, optionally, a fixed number of sub-ticks.
class FixedStepTicker : public QCPAxisTickerFixed {
public:
    FixedStepTicker(double step, int subTicks) : subTicks(subTicks) { setTickStep(step); }

protected:
    int getSubTickCount(double tickStep) override {
        return subTicks >= 0 ? subTicks : QCPAxisTickerFixed::getSubTickCount(tickStep);
    }

private:
    int subTicks;
};

// Date-time labels at a fixed step in seconds.
class FixedStepDateTicker : public QCPAxisTickerDateTime {
public:
    FixedStepDateTicker(double step, int subTicks, const QString &format) : step(step), subTicks(subTicks) {
        setDateTimeFormat(format);
    }

protected:
    double getTickStep(const QCPRange &) override { return step; }
    int getSubTickCount(double tickStep) override {
        return subTicks >= 0 ? subTicks : QCPAxisTicker::getSubTickCount(tickStep);
    }

private:
    double step;
    int subTicks;
};

// Ticks at the given positions with the given labels and `subTicks` sub-ticks
// between neighbouring ones (hand-placed ticks keep the axis's usual four
// unless a chart switches them off).
QSharedPointer<QCPAxisTickerText> textTicker(const QVector<double> &ticks, const QVector<QString> &labels,
                                             int subTicks = 0) {
    QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
    ticker->addTicks(ticks, labels);
    ticker->setSubTickCount(subTicks);
    return ticker;
}

// A title row at the top of the plot layout (bold, half as large again as
// the widget's font).
void addPlotTitle(QCustomPlot *customPlot, const QString &text) {
    customPlot->plotLayout()->insertRow(0);
    QFont font = customPlot->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    customPlot->plotLayout()->addElement(0, 0, new QCPTextElement(customPlot, text, font));
}

// Error bars of one kind on a graph, kept out of the legend.
QCPErrorBars *addErrorBars(QCPGraph *graph, QCPErrorBars::ErrorType type, const QVector<double> &errors,
                           const QPen &pen) {
    auto *bars = new QCPErrorBars(graph->keyAxis(), graph->valueAxis());
    bars->removeFromLegend();
    bars->setErrorType(type);
    bars->setDataPlottable(graph);
    bars->setData(errors);
    bars->setPen(pen);
    bars->setWhiskerWidth(6);
    return bars;
}

// Top and right axes follow the bottom and left ones.
void linkAxes(QCustomPlot *customPlot) {
    QObject::connect(customPlot->xAxis, SIGNAL(rangeChanged(QCPRange)), customPlot->xAxis2,
                     SLOT(setRange(QCPRange)));
    QObject::connect(customPlot->yAxis, SIGNAL(rangeChanged(QCPRange)), customPlot->yAxis2,
                     SLOT(setRange(QCPRange)));
}

// Frames the main axis rectangle with the top and right axes, which tick
// exactly like the bottom and left ones (step, scale, sub-ticks).
void fullAxesBox(QCustomPlot *customPlot, bool connectRanges = false) {
    customPlot->axisRect()->setupFullAxesBox(connectRanges);
    customPlot->xAxis2->setTicker(customPlot->xAxis->ticker());
    customPlot->yAxis2->setTicker(customPlot->yAxis->ticker());
}

void showFrameAxes(QCustomPlot *customPlot, bool ticks) {
    for (QCPAxis *axis : {customPlot->xAxis2, customPlot->yAxis2}) {
        axis->setVisible(true);
        axis->setTickLabels(false);
        if (!ticks) {
            axis->setTicks(false);
            axis->setSubTicks(false);
        }
    }
}

QPen penOf(const QColor &colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour);
    pen.setWidthF(width);
    pen.setStyle(style);
    return pen;
}

const QLocale englishUK(QLocale::English, QLocale::UnitedKingdom);

} // namespace

void MainWindow::setupQuadraticDemo(QCustomPlot *customPlot) {
    galleryTitle = "Quadratic Demo";
    QVector<double> x(101), y(101);
    for (int i = 0; i < 101; ++i) {
        x[i] = i / 50.0 - 1;
        y[i] = x[i] * x[i];
    }
    customPlot->addGraph();
    customPlot->graph(0)->setData(x, y);
    customPlot->xAxis->setLabel("x");
    customPlot->yAxis->setLabel("y");
    customPlot->xAxis->setRange(-1, 1);
    customPlot->yAxis->setRange(0, 1);
}

void MainWindow::setupSimpleDemo(QCustomPlot *customPlot) {
    galleryTitle = "Simple Demo";
    customPlot->addGraph();
    customPlot->graph(0)->setPen(QPen(Qt::blue));
    customPlot->graph(0)->setBrush(QBrush(QColor(0, 0, 255, 20)));
    customPlot->addGraph();
    customPlot->graph(1)->setPen(QPen(Qt::red));
    QVector<double> x(250), y0(250), y1(250);
    for (int i = 0; i < 250; ++i) {
        x[i] = i;
        y0[i] = std::exp(-i / 150.0) * std::cos(i / 10.0);
        y1[i] = std::exp(-i / 150.0);
    }
    showFrameAxes(customPlot, true);
    linkAxes(customPlot);
    customPlot->graph(0)->setData(x, y0);
    customPlot->graph(1)->setData(x, y1);
    customPlot->graph(0)->rescaleAxes();
    customPlot->graph(1)->rescaleAxes(true);
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
}

void MainWindow::setupSincScatterDemo(QCustomPlot *customPlot) {
    galleryTitle = "Sinc Scatter Demo";
    customPlot->legend->setVisible(true);
    customPlot->legend->setFont(QFont("Helvetica", 9));
    customPlot->setLocale(englishUK);

    const QPen bandPen = penOf(QColor(180, 180, 180), 1, Qt::DotLine);
    customPlot->addGraph();
    customPlot->graph(0)->setName("Confidence Band 68%");
    customPlot->graph(0)->setPen(bandPen);
    customPlot->graph(0)->setBrush(QBrush(QColor(255, 50, 30, 20)));
    customPlot->addGraph();
    customPlot->legend->removeItem(customPlot->legend->itemCount() - 1);
    customPlot->graph(1)->setPen(bandPen);
    customPlot->graph(0)->setChannelFillGraph(customPlot->graph(1));
    customPlot->addGraph();
    customPlot->graph(2)->setPen(penOf(Qt::red, 2, Qt::DashLine));
    customPlot->graph(2)->setName("Theory Curve");
    customPlot->addGraph();
    customPlot->graph(3)->setPen(QPen(Qt::blue));
    customPlot->graph(3)->setLineStyle(QCPGraph::lsNone);
    customPlot->graph(3)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, 4));
    customPlot->graph(3)->setName("Measurement");

    QVector<double> x0(250), y0(250), yHigh(250), yLow(250);
    for (int i = 0; i < 250; ++i) {
        x0[i] = (i / 249.0 - 0.5) * 30 + 0.01;
        y0[i] = std::sin(x0[i]) / x0[i];
        yHigh[i] = y0[i] + 0.15;
        yLow[i] = y0[i] - 0.15;
        x0[i] *= 1000;
    }
    QVector<double> x1(50), y1(50), y1err(50);
    for (int i = 0; i < 50; ++i) {
        x1[i] = (i / 50.0 - 0.5) * 30 + 0.25;
        const double u1 = u();
        const double u2 = u();
        y1[i] = std::sin(x1[i]) / x1[i] + 0.15 * std::sqrt(-2 * std::log(u1)) * std::cos(2 * pi * u2);
        y1err[i] = 0.15;
        x1[i] *= 1000;
    }
    customPlot->graph(0)->setData(x0, yHigh);
    customPlot->graph(1)->setData(x0, yLow);
    customPlot->graph(2)->setData(x0, y0);
    customPlot->graph(3)->setData(x1, y1);
    QCPErrorBars *errors =
        addErrorBars(customPlot->graph(3), QCPErrorBars::etValueError, y1err, QPen(QColor(180, 180, 180)));
    customPlot->graph(2)->rescaleAxes();
    customPlot->graph(3)->rescaleAxes(true);
    errors->rescaleAxes(true); // the measurements' error bars stay inside the plot


    customPlot->xAxis->setTickLabelRotation(30);
    customPlot->xAxis->ticker()->setTickCount(9);
    customPlot->xAxis->setNumberFormat("ebc");
    customPlot->xAxis->setNumberPrecision(1);
    customPlot->xAxis->moveRange(-10);
    fullAxesBox(customPlot);
}

void MainWindow::setupScatterStyleDemo(QCustomPlot *customPlot) {
    galleryTitle = "Scatter Style Demo";
    customPlot->legend->setVisible(true);
    customPlot->legend->setFont(QFont("Helvetica", 9));
    customPlot->legend->setRowSpacing(-3);
    const QVector<QCPScatterStyle::ScatterShape> shapes = {
        QCPScatterStyle::ssCross,       QCPScatterStyle::ssPlus,
        QCPScatterStyle::ssCircle,      QCPScatterStyle::ssDisc,
        QCPScatterStyle::ssSquare,      QCPScatterStyle::ssDiamond,
        QCPScatterStyle::ssStar,        QCPScatterStyle::ssTriangle,
        QCPScatterStyle::ssTriangleInverted, QCPScatterStyle::ssCrossSquare,
        QCPScatterStyle::ssPlusSquare,  QCPScatterStyle::ssCrossCircle,
        QCPScatterStyle::ssPlusCircle,  QCPScatterStyle::ssPeace,
        QCPScatterStyle::ssCustom};
    const QMetaEnum shapeNames = QCPScatterStyle::staticMetaObject.enumerator(
        QCPScatterStyle::staticMetaObject.indexOfEnumerator("ScatterShape"));
    for (int s = 0; s < shapes.size(); ++s) {
        QCPGraph *graph = customPlot->addGraph();
        graph->setPen(QPen(QColor(int(100 * std::sin(s * 0.3) + 100), int(100 * std::sin(s * 0.6 + 0.7) + 100),
                                  int(100 * std::sin(s * 0.4 + 0.6) + 100))));
        QVector<double> x(10), y(10);
        for (int k = 0; k < 10; ++k) {
            x[k] = k / 10.0 * 4 * 3.14 + 0.01;
            y[k] = 7 * std::sin(x[k]) / x[k] + (shapes.size() - s) * 5;
        }
        graph->setData(x, y);
        graph->rescaleAxes(true);
        graph->setName(shapeNames.valueToKey(shapes[s]));
        graph->setLineStyle(QCPGraph::lsLine);
        if (shapes[s] != QCPScatterStyle::ssCustom) {
            graph->setScatterStyle(QCPScatterStyle(shapes[s], 10));
        } else {
            QPainterPath path;
            for (int j = 0; j < 3; ++j)
                path.cubicTo(std::cos(2 * pi * j / 3.0) * 9, std::sin(2 * pi * j / 3.0) * 9,
                             std::cos(2 * pi * (j + 0.9) / 3.0) * 9, std::sin(2 * pi * (j + 0.9) / 3.0) * 9, 0, 0);
            graph->setScatterStyle(QCPScatterStyle(path, QPen(Qt::black, 0), QColor(40, 70, 255, 50), 10));
        }
    }
    customPlot->rescaleAxes();
    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis}) {
        axis->setTicks(false);
        axis->setTickLabels(false);
    }
    fullAxesBox(customPlot);
}

void MainWindow::setupScatterPixmapDemo(QCustomPlot *customPlot) {
    galleryTitle = "Scatter Pixmap Demo";
    customPlot->axisRect()->setBackground(QPixmap("./solarpanels.jpg"));
    customPlot->addGraph();
    customPlot->graph(0)->setLineStyle(QCPGraph::lsLine);
    customPlot->graph(0)->setPen(penOf(QColor(255, 200, 20, 200), 2.5, Qt::DashLine));
    customPlot->graph(0)->setBrush(QBrush(QColor(255, 200, 20, 70)));
    customPlot->graph(0)->setScatterStyle(QCPScatterStyle(QPixmap("./sun.png")));
    customPlot->graph(0)->setName("Data from Photovoltaic\nenergy barometer 2011");
    const QVector<double> year = {2005, 2006, 2007, 2008, 2009, 2010};
    const QVector<double> value = {2.17, 3.42, 4.94, 10.38, 15.86, 29.33};
    customPlot->graph(0)->setData(year, value);
    addPlotTitle(customPlot, "Regenerative Energies");
    customPlot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FixedStepTicker(1, 3)));
    customPlot->xAxis->setLabel("Year");
    customPlot->yAxis->setLabel("Installed Gigawatts of\nphotovoltaic in the European Union");
    showFrameAxes(customPlot, false);
    customPlot->xAxis->setRange(2004.5, 2010.5);
    customPlot->yAxis->setRange(0, 30);
    customPlot->legend->setFont(QFont(font().family(), 7));
    customPlot->legend->setIconSize(50, 20);
    customPlot->legend->setVisible(true);
}

void MainWindow::setupLineStyleDemo(QCustomPlot *customPlot) {
    galleryTitle = "Line Style Demo";
    customPlot->legend->setVisible(true);
    customPlot->legend->setFont(QFont("Helvetica", 9));
    const char *names[6] = {"lsNone", "lsLine", "lsStepLeft", "lsStepRight", "lsStepCenter", "lsImpulse"};
    for (int s = 0; s < 6; ++s) {
        QCPGraph *graph = customPlot->addGraph();
        graph->setPen(QPen(QColor(int(80 * std::sin(s + 1.2) + 80), int(80 * std::sin(s * 0.3) + 80),
                                  int(80 * std::sin(s * 0.3 + 1.5) + 80))));
        graph->setName(names[s]);
        graph->setLineStyle(static_cast<QCPGraph::LineStyle>(s));
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 5));
        QVector<double> x(15), y(15);
        for (int k = 0; k < 15; ++k) {
            x[k] = k / 15.0 * 5 * 3.14 + 0.01;
            y[k] = 7 * std::sin(x[k]) / x[k] - s * 5 + 25 + 2;
        }
        graph->setData(x, y);
        graph->rescaleAxes(true);
    }
    customPlot->yAxis->scaleRange(1.1, customPlot->yAxis->range().center());
    customPlot->xAxis->scaleRange(1.1, customPlot->xAxis->range().center());
    customPlot->xAxis->setTicks(false);
    customPlot->yAxis->setTicks(true);
    customPlot->xAxis->setTickLabels(false);
    customPlot->yAxis->setTickLabels(true);
    fullAxesBox(customPlot);
}

void MainWindow::setupDateDemo(QCustomPlot *customPlot) {
    galleryTitle = "Date Demo";
    customPlot->setLocale(englishUK);
    const double now = QDateTime::currentDateTime().toSecsSinceEpoch();
    std::srand(8);
    for (int g = 0; g < 5; ++g) {
        QCPGraph *graph = customPlot->addGraph();
        graph->setPen(QPen(QColor(0, 0, 255, 200)));
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setBrush(QBrush(QColor(int(63.75 * g), 160, 50, 150)));
        QVector<double> time(250), value(250);
        for (int i = 0; i < 250; ++i) {
            time[i] = now + 86400.0 * i;
            if (i == 0)
                value[i] = u() - 0.5;
            else
                value[i] = std::fabs(value[i - 1]) * (1 + 0.005 * (4 - g)) + (i / 50.0 + 1) * (u() - 0.5);
        }
        graph->setData(time, value);
    }
    customPlot->xAxis->setTicker(
        QSharedPointer<QCPAxisTicker>(new FixedStepDateTicker(2628000, 3, "MMMM\nyyyy")));
    customPlot->xAxis->setTickLabelFont(QFont(QFont().family(), 8));
    customPlot->yAxis->setTickLabelFont(QFont(QFont().family(), 8));
    customPlot->yAxis->setTicker(textTicker({5, 55}, {"Not so\nhigh", "Very\nhigh"}, 4));
    customPlot->xAxis->setLabel("Date");
    customPlot->yAxis->setLabel("Random wobbly lines value");
    showFrameAxes(customPlot, false);
    customPlot->xAxis->setRange(now, now + 24 * 3600 * 249);
    customPlot->yAxis->setRange(0, 60);
    customPlot->legend->setVisible(true);
}

void MainWindow::setupTextureBrushDemo(QCustomPlot *customPlot) {
    galleryTitle = "Texture Brush Demo";
    customPlot->addGraph();
    customPlot->graph(0)->setPen(penOf(QColor(170, 100, 100, 180), 2, Qt::DotLine));
    customPlot->graph(0)->setBrush(QBrush(QPixmap("./balboa.jpg")));
    customPlot->addGraph();
    customPlot->graph(1)->setPen(QPen(Qt::red));
    customPlot->graph(0)->setChannelFillGraph(customPlot->graph(1));
    QVector<double> x(250), y0(250), y1(250);
    for (int i = 0; i < 250; ++i) {
        x[i] = 3 * i / 250.0;
        y0[i] = std::exp(-x[i] * x[i] * 0.8) * (x[i] * x[i] + x[i]) + 1;
        y1[i] = 1 - 0.1 * x[i] * x[i] * std::exp(-0.4 * x[i] * x[i]);
    }
    customPlot->graph(0)->setData(x, y0);
    customPlot->graph(1)->setData(x, y1);
    showFrameAxes(customPlot, true);
    customPlot->xAxis->setRange(0, 2.5);
    customPlot->yAxis->setRange(0.9, 1.6);
    fullAxesBox(customPlot);
}

void MainWindow::setupMultiAxisDemo(QCustomPlot *customPlot) {
    galleryTitle = "Multi Axis Demo";
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    customPlot->setLocale(englishUK);
    customPlot->legend->setVisible(true);
    QFont legendFont = font();
    legendFont.setPointSize(9);
    customPlot->legend->setFont(legendFont);
    customPlot->legend->setBrush(QBrush(QColor(255, 255, 255, 230)));
    customPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignBottom | Qt::AlignRight);

    const QBrush texture(QPixmap("./balboa.jpg"));
    QCPGraph *left = customPlot->addGraph(customPlot->yAxis, customPlot->xAxis);
    left->setPen(QPen(QColor(255, 100, 0)));
    left->setBrush(texture);
    left->setLineStyle(QCPGraph::lsLine);
    left->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
    left->setName("Left maxwell function");

    QCPGraph *bottom = customPlot->addGraph();
    bottom->setPen(QPen(Qt::red));
    bottom->setBrush(texture);
    bottom->setLineStyle(QCPGraph::lsStepCenter);
    bottom->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, Qt::red, Qt::white, 7));
    bottom->setName("Bottom maxwell function");

    QCPGraph *sine = customPlot->addGraph(customPlot->xAxis2, customPlot->yAxis2);
    sine->setPen(QPen(Qt::blue));
    sine->setName("High frequency sine");

    QCPGraph *envelope = customPlot->addGraph(customPlot->xAxis2, customPlot->yAxis2);
    envelope->setPen(penOf(QColor(30, 40, 255, 150), 4, Qt::DotLine));
    envelope->setName("Sine envelope");

    QCPGraph *random = customPlot->addGraph(customPlot->yAxis2, customPlot->xAxis2);
    random->setPen(QPen(QColor(50, 50, 50)));
    random->setLineStyle(QCPGraph::lsNone);
    random->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 4));
    random->setName("Some random data around\na quadratic function");

    QVector<double> x0(25), y0(25);
    for (int i = 0; i < 25; ++i) {
        x0[i] = 3 * i / 25.0;
        y0[i] = std::exp(-x0[i] * x0[i] * 0.8) * (x0[i] * x0[i] + x0[i]);
    }
    QVector<double> x1(15), y1(15), y1err(15);
    for (int i = 0; i < 15; ++i) {
        x1[i] = 3 * i / 15.0;
        y1[i] = std::exp(-x1[i] * x1[i]) * (x1[i] * x1[i]) * 2.6;
        y1err[i] = y1[i] * 0.25;
    }
    QVector<double> x2(250), y2(250), y3(250), x4(250), y4(250);
    for (int i = 0; i < 250; ++i) {
        x2[i] = i / 250.0 * 3 * pi;
        y2[i] = std::sin(x2[i] * 12) * std::cos(x2[i]) * 10;
        y3[i] = std::cos(x2[i]) * 10;
        x4[i] = i / 250.0 * 100 - 50;
        y4[i] = 0.01 * x4[i] * x4[i] + 1.5 * (u() - 0.5) + 1.5 * pi;
    }
    left->setData(x0, y0);
    bottom->setData(x1, y1);
    addErrorBars(bottom, QCPErrorBars::etValueError, y1err, QPen(Qt::black));
    sine->setData(x2, y2);
    envelope->setData(x2, y3);
    random->setData(x4, y4);

    customPlot->xAxis2->setVisible(true);
    customPlot->yAxis2->setVisible(true);
    customPlot->xAxis->setRange(0, 2.7);
    customPlot->yAxis->setRange(0, 2.6);
    customPlot->xAxis2->setRange(0, 3 * pi);
    customPlot->yAxis2->setRange(-70, 35);
    customPlot->xAxis2->setTicker(textTicker({0, pi / 2, pi, 3 * pi / 2, 2 * pi, 5 * pi / 2, 3 * pi},
                                             {QString::fromUtf8("0"), QString::fromUtf8("½π"),
                                              QString::fromUtf8("π"), QString::fromUtf8("1½π"),
                                              QString::fromUtf8("2π"), QString::fromUtf8("2½π"),
                                              QString::fromUtf8("3π")},
                                             4));
    addPlotTitle(customPlot, "Way too many graphs in one plot");
    customPlot->xAxis->setLabel("Bottom axis with outward ticks");
    customPlot->yAxis->setLabel("Left axis label");
    customPlot->xAxis2->setLabel("Top axis label");
    customPlot->yAxis2->setLabel("Right axis label");
    customPlot->xAxis->setTickLength(0, 5);
    customPlot->xAxis->setSubTickLength(0, 3);
    customPlot->yAxis2->setTickLength(3, 3);
    customPlot->yAxis2->setSubTickLength(1, 1);
}

void MainWindow::setupLogarithmicDemo(QCustomPlot *customPlot) {
    galleryTitle = "Logarithmic Demo";
    customPlot->setNoAntialiasingOnDrag(true);
    customPlot->addGraph();
    customPlot->graph(0)->setPen(penOf(QColor(255, 170, 100), 2, Qt::DotLine));
    customPlot->graph(0)->setName("x");
    customPlot->addGraph();
    customPlot->graph(1)->setPen(QPen(Qt::red));
    customPlot->graph(1)->setBrush(QBrush(QColor(255, 0, 0, 20)));
    customPlot->graph(1)->setName("-sin(x)exp(x)");
    customPlot->addGraph();
    customPlot->graph(2)->setPen(QPen(Qt::blue));
    customPlot->graph(2)->setBrush(QBrush(QColor(0, 0, 255, 20)));
    customPlot->graph(2)->setName(" sin(x)exp(x)");
    customPlot->addGraph();
    customPlot->graph(3)->setPen(penOf(Qt::black, 1, Qt::DashLine));
    customPlot->graph(3)->setBrush(QBrush(QColor(0, 0, 0, 15)));
    customPlot->graph(3)->setLineStyle(QCPGraph::lsStepCenter);
    customPlot->graph(3)->setName("x!");

    const int n = 200;
    QVector<double> x(n), y0(n), y1(n), y2(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i / 10.0;
        y0[i] = x[i];
        y1[i] = -std::sin(x[i]) * std::exp(x[i]);
        y2[i] = std::sin(x[i]) * std::exp(x[i]);
    }
    QVector<double> x3(21), y3(21);
    for (int k = 0; k < 21; ++k) {
        x3[k] = k;
        y3[k] = 1;
        for (int f = 2; f <= k; ++f) y3[k] *= f;
    }
    customPlot->graph(0)->setData(x, y0);
    customPlot->graph(1)->setData(x, y1);
    // Zero-length error bars in both directions mark every sample with a small cross.
    addErrorBars(customPlot->graph(1), QCPErrorBars::etKeyError, QVector<double>(n, 0), QPen(Qt::black));
    addErrorBars(customPlot->graph(1), QCPErrorBars::etValueError, QVector<double>(n, 0), QPen(Qt::black));
    customPlot->graph(2)->setData(x, y2);
    customPlot->graph(3)->setData(x3, y3);

    customPlot->yAxis->grid()->setSubGridVisible(true);
    customPlot->xAxis->grid()->setSubGridVisible(true);
    customPlot->yAxis->setScaleType(QCPAxis::stLogarithmic);
    QSharedPointer<QCPAxisTickerLog> logTicker(new QCPAxisTickerLog);
    logTicker->setLogBase(100);
    logTicker->setSubTickCount(10);
    customPlot->yAxis->setTicker(logTicker);
    customPlot->yAxis->setNumberFormat("eb");
    customPlot->yAxis->setNumberPrecision(0);
    customPlot->xAxis->setRange(0, 19.9);
    customPlot->yAxis->setRange(1e-2, 1e10);
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    fullAxesBox(customPlot);
    linkAxes(customPlot);
    customPlot->legend->setVisible(true);
    customPlot->legend->setBrush(QBrush(QColor(255, 255, 255, 150)));
    customPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignLeft | Qt::AlignTop);
}

void MainWindow::setupRealtimeDataDemo(QCustomPlot *customPlot) {
    galleryTitle = "Real Time Data Demo";
    customPlot->addGraph();
    customPlot->graph(0)->setPen(QPen(Qt::blue));
    customPlot->graph(0)->setBrush(QBrush(QColor(240, 255, 200)));
    customPlot->graph(0)->setAntialiasedFill(false);
    customPlot->addGraph();
    customPlot->graph(1)->setPen(QPen(Qt::red));
    customPlot->graph(0)->setChannelFillGraph(customPlot->graph(1));
    customPlot->addGraph();
    customPlot->graph(2)->setPen(QPen(Qt::blue));
    customPlot->graph(2)->setLineStyle(QCPGraph::lsNone);
    customPlot->graph(2)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));
    customPlot->addGraph();
    customPlot->graph(3)->setPen(QPen(Qt::red));
    customPlot->graph(3)->setLineStyle(QCPGraph::lsNone);
    customPlot->graph(3)->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 6));

    customPlot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FixedStepDateTicker(2, -1, "hh:mm:ss")));
    fullAxesBox(customPlot);
    linkAxes(customPlot);
    connect(&galleryTimer, SIGNAL(timeout()), this, SLOT(realtimeDataSlot()));
    galleryTimer.start(0);
}

void MainWindow::setupParametricCurveDemo(QCustomPlot *customPlot) {
    galleryTitle = "Parametric Curves Demo";
    auto *fermatSpiral1 = new QCPCurve(customPlot->xAxis, customPlot->yAxis);
    auto *fermatSpiral2 = new QCPCurve(customPlot->xAxis, customPlot->yAxis);
    auto *deltoidRadial = new QCPCurve(customPlot->xAxis, customPlot->yAxis);
    const int n = 500;
    QVector<double> t(n), x1(n), y1(n), x2(n), y2(n), x3(n), y3(n);
    for (int i = 0; i < n; ++i) {
        t[i] = i;
        const double phi = i / double(n - 1) * 8 * pi;
        x1[i] = std::sqrt(phi) * std::cos(phi);
        y1[i] = std::sqrt(phi) * std::sin(phi);
        x2[i] = -x1[i];
        y2[i] = -y1[i];
        const double s = i / double(n - 1) * 2 * pi;
        x3[i] = 2 * std::cos(2 * s) + std::cos(s) + 2 * std::sin(s);
        y3[i] = 2 * std::sin(2 * s) - std::sin(s);
    }
    fermatSpiral1->setData(t, x1, y1);
    fermatSpiral2->setData(t, x2, y2);
    deltoidRadial->setData(t, x3, y3);
    fermatSpiral1->setPen(QPen(Qt::blue));
    fermatSpiral1->setBrush(QBrush(QColor(0, 0, 255, 20)));
    fermatSpiral2->setPen(QPen(QColor(255, 120, 0)));
    fermatSpiral2->setBrush(QBrush(QColor(255, 120, 0, 30)));
    QRadialGradient radialGrad(QPointF(310, 180), 200);
    radialGrad.setColorAt(0, QColor(170, 20, 240, 100));
    radialGrad.setColorAt(0.5, QColor(20, 10, 255, 40));
    radialGrad.setColorAt(1, QColor(120, 20, 240, 10));
    deltoidRadial->setPen(QPen(QColor(170, 20, 240)));
    deltoidRadial->setBrush(QBrush(radialGrad));
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
    fullAxesBox(customPlot);
    customPlot->rescaleAxes();
}

void MainWindow::setupBarChartDemo(QCustomPlot *customPlot) {
    galleryTitle = "Bar Chart Demo";
    auto *regen = new QCPBars(customPlot->xAxis, customPlot->yAxis);
    auto *nuclear = new QCPBars(customPlot->xAxis, customPlot->yAxis);
    auto *fossil = new QCPBars(customPlot->xAxis, customPlot->yAxis);
    fossil->setName("Fossil fuels");
    fossil->setPen(penOf(QColor(255, 131, 0), 1.2));
    fossil->setBrush(QBrush(QColor(255, 131, 0, 50)));
    nuclear->setName("Nuclear");
    nuclear->setPen(penOf(QColor(1, 92, 191), 1.2));
    nuclear->setBrush(QBrush(QColor(1, 92, 191, 50)));
    regen->setName("Regenerative");
    regen->setPen(penOf(QColor(150, 222, 0), 1.2));
    regen->setBrush(QBrush(QColor(150, 222, 0, 70)));
    nuclear->moveAbove(fossil);
    regen->moveAbove(nuclear);

    const QVector<double> ticks = {1, 2, 3, 4, 5, 6, 7};
    customPlot->xAxis->setTicker(textTicker(ticks, {"USA", "Japan", "Germany", "France", "UK", "Italy", "Canada"}));
    customPlot->xAxis->setTickLabelRotation(60);
    customPlot->xAxis->setSubTicks(false);
    customPlot->xAxis->setTickLength(0, 4);
    customPlot->xAxis->grid()->setVisible(true);
    customPlot->xAxis->setRange(0, 8);
    customPlot->yAxis->setRange(0, 12.1);
    customPlot->yAxis->setPadding(5);
    customPlot->yAxis->setLabel("Power Consumption in\nKilowatts per Capita (2007)");
    customPlot->yAxis->grid()->setSubGridVisible(true);
    customPlot->yAxis->grid()->setPen(QPen(QColor(0, 0, 0, 25), 1, Qt::SolidLine));
    customPlot->yAxis->grid()->setSubGridPen(QPen(QColor(0, 0, 0, 25), 1, Qt::DotLine));

    fossil->setData(ticks, {9.03, 4.565, 4.62, 3.016, 4.628, 3.78, 7.504});
    nuclear->setData(ticks, {0.84, 0.66, 0.66, 2.32, 0.468, 0, 0.784});
    regen->setData(ticks, {0.63, 0.275, 0.22, 0.348, 0.104, 0.294, 2.8});

    customPlot->legend->setVisible(true);
    customPlot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignHCenter);
    customPlot->legend->setBrush(QBrush(QColor(255, 255, 255, 200)));
    customPlot->legend->setBorderPen(QPen(QColor(130, 130, 130, 200)));
    QFont legendFont = font();
    legendFont.setPointSize(10);
    customPlot->legend->setFont(legendFont);
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

void MainWindow::setupStatisticalDemo(QCustomPlot *customPlot) {
    galleryTitle = "Statistical Demo";
    QBrush boxBrush(QColor(60, 60, 255, 100));
    boxBrush.setStyle(Qt::Dense6Pattern);
    auto *sample1 = new QCPStatisticalBox(customPlot->xAxis, customPlot->yAxis);
    auto *sample2 = new QCPStatisticalBox(customPlot->xAxis, customPlot->yAxis);
    auto *control = new QCPStatisticalBox(customPlot->xAxis, customPlot->yAxis);
    for (QCPStatisticalBox *box : {sample1, sample2, control}) box->setBrush(boxBrush);
    sample1->addData(1, 1.1, 1.9, 2.25, 2.7, 4.2);
    sample2->addData(2, 0.8, 1.6, 2.2, 3.2, 4.9, {0.7, 0.39, 0.45, 6.2, 5.84});
    control->addData(3, 0.2, 0.7, 1.1, 1.6, 2.9);

    customPlot->xAxis->setSubTicks(false);
    customPlot->xAxis->setTickLength(0, 4);
    customPlot->xAxis->setTickLabelRotation(20);
    customPlot->xAxis->setTicker(textTicker({1, 2, 3}, {"Sample 1", "Sample 2", "Control Group"}));
    customPlot->yAxis->setLabel(QString::fromUtf8("O₂ Absorption [mg]"));
    customPlot->rescaleAxes();
    customPlot->xAxis->scaleRange(1.7, customPlot->xAxis->range().center());
    customPlot->yAxis->setRange(0, 7);
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

void MainWindow::setupSimpleItemDemo(QCustomPlot *customPlot) {
    galleryTitle = "Simple Item Demo";
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    auto *textLabel = new QCPItemText(customPlot);
    textLabel->setPositionAlignment(Qt::AlignTop | Qt::AlignHCenter);
    textLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    textLabel->position->setCoords(0.5, 0);
    textLabel->setText("Text Item Demo");
    textLabel->setFont(QFont(font().family(), 16));
    textLabel->setPen(QPen(Qt::black));
    auto *arrow = new QCPItemLine(customPlot);
    arrow->start->setParentAnchor(textLabel->bottom);
    arrow->end->setCoords(4, 1.6);
    arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
}

namespace {

// An arrow from a text's left side, curving into `end`; its tail is a bar
// as tall as most of the text.
QCPItemCurve *annotationArrow(QCustomPlot *customPlot, QCPItemText *text) {
    auto *arrow = new QCPItemCurve(customPlot);
    arrow->start->setParentAnchor(text->left);
    arrow->startDir->setParentAnchor(arrow->start);
    arrow->startDir->setCoords(-40, 0);
    arrow->endDir->setParentAnchor(arrow->end);
    arrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    const double height = text->bottom->pixelPosition().y() - text->top->pixelPosition().y();
    arrow->setTail(QCPLineEnding(QCPLineEnding::esBar, height * 0.85, 10));
    return arrow;
}

QCPItemText *cornerText(QCustomPlot *customPlot, const QString &text, double y, Qt::Alignment alignment,
                        const QString &family) {
    auto *item = new QCPItemText(customPlot);
    item->position->setType(QCPItemPosition::ptAxisRectRatio);
    item->setPositionAlignment(alignment);
    item->position->setCoords(1.0, y);
    item->setText(text);
    item->setTextAlignment(Qt::AlignLeft);
    item->setFont(QFont(family, 9));
    item->setPadding(QMargins(8, 0, 0, 0));
    return item;
}

QCPItemTracer *circleTracer(QCustomPlot *customPlot, QCPGraph *graph, double key, const QColor &colour) {
    auto *tracer = new QCPItemTracer(customPlot);
    tracer->setGraph(graph);
    tracer->setGraphKey(key);
    tracer->setInterpolating(true);
    tracer->setStyle(QCPItemTracer::tsCircle);
    tracer->setPen(QPen(colour));
    tracer->setBrush(QBrush(colour));
    tracer->setSize(7);
    return tracer;
}

} // namespace

void MainWindow::setupItemDemo(QCustomPlot *customPlot) {
    galleryTitle = "Item Demo";
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    QCPGraph *graph = customPlot->addGraph();
    const int n = 500;
    const double phase = 0;
    const double k = 3;
    QVector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i / double(n - 1) * 34 - 17;
        y[i] = std::exp(-x[i] * x[i] / 20.0) * std::sin(k * x[i] + phase);
    }
    graph->setData(x, y);
    graph->setPen(QPen(Qt::blue));
    graph->rescaleKeyAxis();
    customPlot->yAxis->setRange(-1.45, 1.65);
    customPlot->xAxis->grid()->setZeroLinePen(Qt::NoPen);

    auto *bracket = new QCPItemBracket(customPlot);
    bracket->left->setCoords(-8, 1.1);
    bracket->right->setCoords(8, 1.1);
    bracket->setLength(13);
    auto *wavePacketText = new QCPItemText(customPlot);
    wavePacketText->position->setParentAnchor(bracket->center);
    wavePacketText->position->setCoords(0, -10);
    wavePacketText->setPositionAlignment(Qt::AlignBottom | Qt::AlignHCenter);
    wavePacketText->setText("Wavepacket");
    wavePacketText->setFont(QFont(font().family(), 10));

    QCPItemTracer *phaseTracer = circleTracer(customPlot, graph, (pi * 1.5 - phase) / k, Qt::red);
    galleryTracer = phaseTracer;
    QCPItemText *phaseTracerText = cornerText(customPlot, "Points of fixed\nphase define\nphase velocity vp", 0.95,
                                              Qt::AlignRight | Qt::AlignBottom, font().family());
    QCPItemCurve *phaseTracerArrow = annotationArrow(customPlot, phaseTracerText);
    phaseTracerArrow->end->setParentAnchor(phaseTracer->position);
    phaseTracerArrow->end->setCoords(10, 10);
    phaseTracerArrow->endDir->setCoords(30, 30);

    circleTracer(customPlot, graph, 5.5, Qt::green);
    QCPItemText *groupTracerText = cornerText(customPlot, "Fixed positions in\nwave packet define\ngroup velocity vg",
                                              0.2, Qt::AlignRight | Qt::AlignTop, font().family());
    QCPItemCurve *groupTracerArrow = annotationArrow(customPlot, groupTracerText);
    groupTracerArrow->end->setCoords(5.5, 0.4);
    groupTracerArrow->endDir->setCoords(0, -40);

    auto *dispersionArrow = new QCPItemCurve(customPlot);
    dispersionArrow->start->setCoords(1, -1.1);
    dispersionArrow->startDir->setCoords(-1, -1.3);
    dispersionArrow->endDir->setCoords(-5, -0.3);
    dispersionArrow->end->setCoords(-10, -0.2);
    dispersionArrow->setHead(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    auto *dispersionText = new QCPItemText(customPlot);
    dispersionText->position->setCoords(-6, -0.9);
    dispersionText->setRotation(40);
    dispersionText->setText("Dispersion with\nvp < vg");
    dispersionText->setFont(QFont(font().family(), 10));

    connect(&galleryTimer, SIGNAL(timeout()), this, SLOT(bracketDataSlot()));
    galleryTimer.start(0);
}

void MainWindow::setupStyledDemo(QCustomPlot *customPlot) {
    galleryTitle = "Styled Demo";
    QVector<double> x1(20), y1(20), x2(100), y2(100), x3(20), y3(20), x4(20), y4(20);
    for (int i = 0; i < 20; ++i) {
        x1[i] = i / 20.0 * 10;
        y1[i] = std::cos(x1[i] * 0.8 + std::sin(x1[i] * 0.16 + 1.0)) * std::sin(x1[i] * 0.54) + 1.4;
    }
    for (int i = 0; i < 100; ++i) {
        x2[i] = i / 100.0 * 10;
        y2[i] = std::cos(x2[i] * 0.85 + std::sin(x2[i] * 0.165 + 1.1)) * std::sin(x2[i] * 0.50) + 1.7;
    }
    for (int i = 0; i < 20; ++i) {
        x3[i] = i / 20.0 * 10;
        y3[i] = (0.5 * std::cos(0.2 * x3[i] * x3[i] + 2) + 0.5) * 3 / (x3[i] + 0.7) + 0.05 + 0.01 * q();
    }
    for (int i = 0; i < 20; ++i) {
        x4[i] = x3[i];
        y4[i] = 0.5 - y3[i] + 0.02 * (x4[i] - 2) * (x4[i] - 2);
    }

    QCPGraph *graph1 = customPlot->addGraph();
    graph1->setData(x1, y1);
    graph1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black, 1.5), QBrush(Qt::white), 9));
    graph1->setPen(QPen(QColor(120, 120, 120), 2));
    QCPGraph *graph2 = customPlot->addGraph();
    graph2->setData(x2, y2);
    graph2->setPen(Qt::NoPen);
    graph2->setBrush(QColor(200, 200, 200, 20));
    graph2->setChannelFillGraph(graph1);

    auto *bars1 = new QCPBars(customPlot->xAxis, customPlot->yAxis);
    bars1->setWidth(9 / double(x3.size()));
    bars1->setData(x3, y3);
    bars1->setPen(Qt::NoPen);
    bars1->setBrush(QColor(10, 140, 70, 160));
    auto *bars2 = new QCPBars(customPlot->xAxis, customPlot->yAxis);
    bars2->setWidth(9 / double(x4.size()));
    bars2->setData(x4, y4);
    bars2->setPen(Qt::NoPen);
    bars2->setBrush(QColor(10, 100, 50, 70));
    bars2->moveAbove(bars1);

    customPlot->addLayer("abovemain", customPlot->layer("main"), QCustomPlot::limAbove);
    customPlot->addLayer("belowmain", customPlot->layer("main"), QCustomPlot::limBelow);
    graph1->setLayer("abovemain");
    customPlot->xAxis->grid()->setLayer("belowmain");
    customPlot->yAxis->grid()->setLayer("belowmain");

    for (QCPAxis *axis : {customPlot->xAxis, customPlot->yAxis}) {
        axis->setBasePen(QPen(Qt::white, 1));
        axis->setTickPen(QPen(Qt::white, 1));
        axis->setSubTickPen(QPen(Qt::white, 1));
        axis->setTickLabelColor(Qt::white);
        axis->grid()->setPen(QPen(QColor(140, 140, 140), 1, Qt::DotLine));
        axis->grid()->setSubGridPen(QPen(QColor(80, 80, 80), 1, Qt::DotLine));
        axis->grid()->setSubGridVisible(true);
        axis->grid()->setZeroLinePen(Qt::NoPen);
        axis->setUpperEnding(QCPLineEnding(QCPLineEnding::esSpikeArrow, 8, 10));
    }
    QLinearGradient plotGradient(0, 0, 0, 350);
    plotGradient.setColorAt(0, QColor(80, 80, 80));
    plotGradient.setColorAt(1, QColor(50, 50, 50));
    customPlot->setBackground(plotGradient);
    QLinearGradient axisRectGradient(0, 0, 0, 350);
    axisRectGradient.setColorAt(0, QColor(80, 80, 80));
    axisRectGradient.setColorAt(1, QColor(30, 30, 30));
    customPlot->axisRect()->setBackground(axisRectGradient);

    customPlot->rescaleAxes();
    customPlot->yAxis->setRange(0, 2);
}

void MainWindow::setupAdvancedAxesDemo(QCustomPlot *customPlot) {
    galleryTitle = "Advanced Axes Demo";
    customPlot->plotLayout()->clear();
    auto *wideAxisRect = new QCPAxisRect(customPlot, true);
    wideAxisRect->setupFullAxesBox(true);
    wideAxisRect->axis(QCPAxis::atRight, 0)->setTickLabels(true);
    wideAxisRect->addAxis(QCPAxis::atLeft)->setTickLabelColor(QColor("#6050F8"));
    auto *subLayout = new QCPLayoutGrid;
    customPlot->plotLayout()->addElement(0, 0, wideAxisRect);
    customPlot->plotLayout()->addElement(1, 0, subLayout);
    auto *subRectLeft = new QCPAxisRect(customPlot, false);
    auto *subRectRight = new QCPAxisRect(customPlot, false);
    subLayout->addElement(0, 0, subRectLeft);
    subLayout->addElement(0, 1, subRectRight);
    subRectRight->setMaximumSize(150, 150);
    subRectRight->setMinimumSize(150, 150);
    subRectLeft->addAxes(QCPAxis::atBottom | QCPAxis::atLeft);
    subRectRight->addAxes(QCPAxis::atBottom | QCPAxis::atRight);
    subRectLeft->axis(QCPAxis::atLeft)->ticker()->setTickCount(2);
    subRectRight->axis(QCPAxis::atRight)->ticker()->setTickCount(2);
    subRectRight->axis(QCPAxis::atBottom)->ticker()->setTickCount(2);
    subRectLeft->axis(QCPAxis::atBottom)->grid()->setVisible(true);
    auto *marginGroup = new QCPMarginGroup(customPlot);
    subRectLeft->setMarginGroup(QCP::msLeft, marginGroup);
    subRectRight->setMarginGroup(QCP::msRight, marginGroup);
    wideAxisRect->setMarginGroup(QCP::msLeft | QCP::msRight, marginGroup);
    for (QCPAxisRect *rect : customPlot->axisRects()) {
        for (QCPAxis *axis : rect->axes()) {
            axis->setLayer("axes");
            axis->grid()->setLayer("grid");
        }
    }

    seedQ(3);
    QVector<double> x1a(20), y1a(20), x1b(50), y1b(50), x2(100), y2(100);
    for (int i = 0; i < x1a.size(); ++i) {
        x1a[i] = i / double(x1a.size() - 1) * 10 - 5.0;
        y1a[i] = std::cos(x1a[i]);
    }
    for (int i = 0; i < x1b.size(); ++i) {
        x1b[i] = i / double(x1b.size()) * 10 - 5.0;
        y1b[i] = std::exp(-x1b[i] * x1b[i] * 0.2) * 1000;
    }
    for (int i = 0; i < x2.size(); ++i) {
        x2[i] = i / double(x2.size()) * 10;
        y2[i] = y2[std::abs(i - 1)] + q() - 0.5;
    }
    const QVector<double> x3 = {1, 2, 3, 4};
    const QVector<double> y3 = {2, 2.5, 4, 1.5};

    QCPGraph *mainGraph1 = customPlot->addGraph(wideAxisRect->axis(QCPAxis::atBottom), wideAxisRect->axis(QCPAxis::atLeft));
    mainGraph1->setData(x1a, y1a);
    mainGraph1->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black), QBrush(Qt::white), 6));
    mainGraph1->setPen(QPen(QColor(120, 120, 120), 2));
    QCPGraph *mainGraph2 =
        customPlot->addGraph(wideAxisRect->axis(QCPAxis::atBottom), wideAxisRect->axis(QCPAxis::atLeft, 1));
    mainGraph2->setData(x1b, y1b);
    mainGraph2->setPen(QPen(QColor("#8070B8"), 2));
    mainGraph2->setBrush(QColor(110, 170, 110, 30));
    mainGraph1->setChannelFillGraph(mainGraph2);
    mainGraph1->setBrush(QColor(255, 161, 0, 50));

    QCPGraph *subGraph = customPlot->addGraph(subRectLeft->axis(QCPAxis::atBottom), subRectLeft->axis(QCPAxis::atLeft));
    subGraph->setData(x2, y2);
    subGraph->setLineStyle(QCPGraph::lsImpulse);
    subGraph->setPen(QPen(QColor("#FFA100"), 1.5));

    auto *subBars = new QCPBars(subRectRight->axis(QCPAxis::atBottom), subRectRight->axis(QCPAxis::atRight));
    subBars->setWidth(3 / double(x3.size()));
    subBars->setData(x3, y3);
    subBars->setPen(QPen(Qt::black));
    subBars->setAntialiased(false);
    subBars->setAntialiasedFill(false);
    subBars->setBrush(QColor("#705BE8"));
    subBars->keyAxis()->setTicker(textTicker(x3, {"1", "2", "3", "4"}));
    subBars->keyAxis()->setSubTicks(false);

    mainGraph1->rescaleAxes();
    mainGraph2->rescaleAxes();
    subGraph->rescaleAxes();
    subBars->rescaleAxes();
    // A bar's width reaches the rescaled key range only through pixel sizes,
    // which the axis rectangle lacks until the plot is laid out: the outer
    // bars get their whole width here.
    subBars->keyAxis()->setRange(x3.first() - subBars->width() / 2, x3.last() + subBars->width() / 2);
    wideAxisRect->axis(QCPAxis::atLeft, 1)->setRangeLower(0);
}

void MainWindow::setupColorMapDemo(QCustomPlot *customPlot) {
    galleryTitle = "Color Map Demo";
    customPlot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    fullAxesBox(customPlot, true);
    customPlot->xAxis->setLabel("x");
    customPlot->yAxis->setLabel("y");
    auto *colorMap = new QCPColorMap(customPlot->xAxis, customPlot->yAxis);
    const int nx = 200, ny = 200;
    colorMap->data()->setSize(nx, ny);
    colorMap->data()->setRange(QCPRange(-4, 4), QCPRange(-4, 4));
    double x, y;
    for (int xIndex = 0; xIndex < nx; ++xIndex) {
        for (int yIndex = 0; yIndex < ny; ++yIndex) {
            colorMap->data()->cellToCoord(xIndex, yIndex, &x, &y);
            const double r = 3 * std::sqrt(x * x + y * y) + 1e-2;
            colorMap->data()->setCell(xIndex, yIndex, 2 * x * (std::cos(r + 2) / r - std::sin(r + 2) / r));
        }
    }
    auto *colorScale = new QCPColorScale(customPlot);
    customPlot->plotLayout()->addElement(0, 1, colorScale);
    colorScale->setType(QCPAxis::atRight);
    colorMap->setColorScale(colorScale);
    colorScale->axis()->setLabel("Magnetic Field Strength");
    colorMap->setGradient(QCPColorGradient::gpPolar);
    colorMap->rescaleDataRange();
    auto *marginGroup = new QCPMarginGroup(customPlot);
    customPlot->axisRect()->setMarginGroup(QCP::msBottom | QCP::msTop, marginGroup);
    colorScale->setMarginGroup(QCP::msBottom | QCP::msTop, marginGroup);
    customPlot->rescaleAxes();
}

void MainWindow::setupFinancialDemo(QCustomPlot *customPlot) {
    galleryTitle = "Financial Charts Demo";
    customPlot->legend->setVisible(true);

    const int n = 500;
    QVector<double> time(n), value1(n), value2(n);
    const QDateTime start(QDate(2014, 6, 11), QTime(0, 0), Qt::UTC);
    const double startTime = start.toSecsSinceEpoch();
    const double binSize = 3600 * 24;
    time[0] = startTime;
    value1[0] = 60;
    value2[0] = 20;
    seedQ(9);
    for (int i = 1; i < n; ++i) {
        time[i] = startTime + 3600 * i;
        value1[i] = value1[i - 1] + (q() - 0.5) * 10;
        value2[i] = value2[i - 1] + (q() - 0.5) * 3;
    }

    auto *candlesticks = new QCPFinancial(customPlot->xAxis, customPlot->yAxis);
    candlesticks->setName("Candlestick");
    candlesticks->setChartStyle(QCPFinancial::csCandlestick);
    candlesticks->data()->set(QCPFinancial::timeSeriesToOhlc(time, value1, binSize, startTime));
    candlesticks->setWidth(binSize * 0.9);
    candlesticks->setTwoColored(true);
    candlesticks->setBrushPositive(QColor(245, 245, 245));
    candlesticks->setBrushNegative(QColor(0, 0, 0));
    candlesticks->setPenPositive(QPen(QColor(0, 0, 0)));
    candlesticks->setPenNegative(QPen(QColor(0, 0, 0)));

    auto *ohlc = new QCPFinancial(customPlot->xAxis, customPlot->yAxis);
    ohlc->setName("OHLC");
    ohlc->setChartStyle(QCPFinancial::csOhlc);
    ohlc->data()->set(QCPFinancial::timeSeriesToOhlc(time, value2, binSize / 3.0, startTime));
    ohlc->setWidth(binSize * 0.2);
    ohlc->setTwoColored(true);

    auto *volumeAxisRect = new QCPAxisRect(customPlot, true);
    customPlot->plotLayout()->addElement(1, 0, volumeAxisRect);
    volumeAxisRect->setMaximumSize(QSize(QWIDGETSIZE_MAX, 100));
    QCPAxis *volumeX = volumeAxisRect->axis(QCPAxis::atBottom);
    volumeX->setLayer("axes");
    volumeX->grid()->setLayer("grid");
    customPlot->plotLayout()->setRowSpacing(0);
    volumeAxisRect->setAutoMargins(QCP::msLeft | QCP::msRight | QCP::msBottom);
    volumeAxisRect->setMargins(QMargins(0, 0, 0, 0));

    customPlot->setAutoAddPlottableToLegend(false);
    auto *volumePos = new QCPBars(volumeX, volumeAxisRect->axis(QCPAxis::atLeft));
    auto *volumeNeg = new QCPBars(volumeX, volumeAxisRect->axis(QCPAxis::atLeft));
    for (int j = 0; j < n / 5; ++j) {
        const int v = qrandom() % 20000 + qrandom() % 20000 + qrandom() % 20000 - 30000;
        (v < 0 ? volumeNeg : volumePos)->addData(startTime + 3600 * 5.0 * j, std::abs(v));
    }
    volumePos->setWidth(3600 * 4);
    volumePos->setPen(Qt::NoPen);
    volumePos->setBrush(QColor(100, 180, 110));
    volumeNeg->setWidth(3600 * 4);
    volumeNeg->setPen(Qt::NoPen);
    volumeNeg->setBrush(QColor(180, 90, 90));

    connect(customPlot->xAxis, SIGNAL(rangeChanged(QCPRange)), volumeX, SLOT(setRange(QCPRange)));
    connect(volumeX, SIGNAL(rangeChanged(QCPRange)), customPlot->xAxis, SLOT(setRange(QCPRange)));
    auto *dateTicker = new FixedStepDateTicker(3600 * 24 * 4, -1, "dd. MMM");
    dateTicker->setDateTimeSpec(Qt::UTC);
    volumeX->setTicker(QSharedPointer<QCPAxisTicker>(dateTicker));
    volumeX->setTickLabelRotation(15);
    volumeAxisRect->axis(QCPAxis::atLeft)->ticker()->setTickCount(3);
    customPlot->xAxis->setBasePen(Qt::NoPen);
    customPlot->xAxis->setTickLabels(false);
    customPlot->xAxis->setTicks(false);
    customPlot->xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new FixedStepTicker(3600 * 24 * 4, -1)));

    customPlot->rescaleAxes();
    // The volume axis, rescaled last, passes the volume bars' key range on to
    // x; the candles reach further (by their width, to the last daily bin),
    // so x takes their range, which holds the volume bars.
    customPlot->xAxis->rescale();
    customPlot->xAxis->scaleRange(1.025, customPlot->xAxis->range().center());
    customPlot->yAxis->scaleRange(1.1, customPlot->yAxis->range().center());
    auto *group = new QCPMarginGroup(customPlot);
    customPlot->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, group);
    volumeAxisRect->setMarginGroup(QCP::msLeft | QCP::msRight, group);
}
