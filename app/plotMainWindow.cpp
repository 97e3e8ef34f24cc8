// plotMainWindow.cpp - the plot window, its profile/histogram curves, and
// the frame of the chart gallery (choosing a chart, animation, screenshots).
#include "plotMainWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopWidget>
#include <QScreen>
#include <QStatusBar>
#include <cmath>
#include <qcustomplot.h>

#include "imagefile.h"
#include "ui_plotMainWindow.h"

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_MainWindow) {
    ui->setupUi(this);
    setGeometry(400, 250, 542, 390);
    plot = ui->customPlot;
}

MainWindow::~MainWindow() { delete ui; }

void MainWindow::plotData(QVector<double> r, QVector<double> g, QVector<double> b, _PLOT_TYPE type) {
    const QColor colours[3] = {Qt::red, Qt::green, Qt::blue};
    for (const QColor &c : colours) {
        QCPGraph *graph = plot->addGraph();
        graph->setPen(QPen(c));
        QColor fill = c;
        fill.setAlpha(20);
        graph->setBrush(QBrush(fill));
    }

    const int n = r.size();
    QVector<double> keys(n);
    for (int i = 0; i < n; ++i) keys[i] = i;

    plot->xAxis->setRange(0, n);
    plot->yAxis->setRange(0, 255);

    // The top and right axes frame the plot and follow every drag and zoom.
    plot->xAxis2->setVisible(true);
    plot->xAxis2->setTickLabels(false);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->setTickLabels(false);
    connect(plot->xAxis, SIGNAL(rangeChanged(QCPRange)), plot->xAxis2, SLOT(setRange(QCPRange)));
    connect(plot->yAxis, SIGNAL(rangeChanged(QCPRange)), plot->yAxis2, SLOT(setRange(QCPRange)));

    if (type == HISTOGRAM) {
        plot->xAxis->setLabel(tr("Histogram Bins"));
        plot->yAxis->setLabel(tr("Repititions"));
    } else if (type == PROFILE) {
        plot->xAxis->setLabel(tr("Data points"));
        plot->yAxis->setLabel(tr("RGB"));
    }

    plot->graph(0)->setData(keys, r);
    plot->graph(1)->setData(keys, g);
    plot->graph(2)->setData(keys, b);

    plot->graph(0)->rescaleAxes(false);
    plot->graph(1)->rescaleAxes(true);
    plot->graph(2)->rescaleAxes(true);

    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables);
}

// ---- gallery frame: choosing a chart, animation steps, screenshots ----

namespace {

// Counts one frame of an animation; at most every 2 seconds shows the frame
// rate over that span and the number of points drawn.
void reportRate(QStatusBar *bar, double now, double &lastRateKey, int &framesSinceRate, int points) {
    ++framesSinceRate;
    if (now - lastRateKey > 2) {
        bar->showMessage(QString("%1 FPS, Total Data points: %2")
                             .arg(framesSinceRate / (now - lastRateKey), 0, 'f', 0)
                             .arg(points),
                         0);
        lastRateKey = now;
        framesSinceRate = 0;
    }
}

} // namespace

void MainWindow::setupDemo(int index) {
    using Setup = void (MainWindow::*)(QCustomPlot *);
    static const Setup setups[20] = {
        &MainWindow::setupQuadraticDemo,     &MainWindow::setupSimpleDemo,
        &MainWindow::setupSincScatterDemo,   &MainWindow::setupScatterStyleDemo,
        &MainWindow::setupScatterPixmapDemo, &MainWindow::setupLineStyleDemo,
        &MainWindow::setupDateDemo,          &MainWindow::setupTextureBrushDemo,
        &MainWindow::setupMultiAxisDemo,     &MainWindow::setupLogarithmicDemo,
        &MainWindow::setupRealtimeDataDemo,  &MainWindow::setupParametricCurveDemo,
        &MainWindow::setupBarChartDemo,      &MainWindow::setupStatisticalDemo,
        &MainWindow::setupSimpleItemDemo,    &MainWindow::setupItemDemo,
        &MainWindow::setupStyledDemo,        &MainWindow::setupAdvancedAxesDemo,
        &MainWindow::setupColorMapDemo,      &MainWindow::setupFinancialDemo,
    };
    QCustomPlot *target = ui->customPlot;
    const unsigned chart = static_cast<unsigned>(index);
    // The advanced-axes chart clears the plot layout, which takes the main
    // axes and the legend with it; every other chart draws on those, so on
    // such a widget it sets up nothing instead of using them.
    const bool hasMainAxes = target->xAxis && target->yAxis && target->xAxis2 && target->yAxis2 &&
                             target->legend;
    if (chart < 20 && (chart == 17 || hasMainAxes)) (this->*setups[chart])(target);
    setWindowTitle("QCustomPlot: " + galleryTitle);
    statusBar()->clearMessage();
    galleryIndex = index;
    target->replot();
}

void MainWindow::setupPlayground(QCustomPlot *customPlot) { Q_UNUSED(customPlot) }

void MainWindow::realtimeDataSlot() {
    static double lastAppendKey = 0;
    static double lastRateKey = 0;
    static int framesSinceRate = 0;
    QCustomPlot *p = ui->customPlot;
    if (p->graphCount() < 4) return; // only the real-time chart has its four graphs

    const double key = QDateTime::currentDateTime().toMSecsSinceEpoch() / 1000.0;
    if (key - lastAppendKey > 0.01) {
        const double value0 = std::sin(key), value1 = std::cos(key);
        p->graph(0)->addData(key, value0);
        p->graph(1)->addData(key, value1);
        p->graph(2)->data()->clear();
        p->graph(2)->addData(key, value0);
        p->graph(3)->data()->clear();
        p->graph(3)->addData(key, value1);
        p->graph(0)->data()->removeBefore(key - 8);
        p->graph(1)->data()->removeBefore(key - 8);
        p->graph(0)->rescaleValueAxis();
        p->graph(1)->rescaleValueAxis(true);
        lastAppendKey = key;
    }
    // A cleared plot layout (the advanced-axes chart set up afterwards on the
    // same widget) has no bottom axis left to scroll.
    if (p->xAxis) p->xAxis->setRange(key + 0.25, 8, Qt::AlignRight);
    p->replot();

    reportRate(statusBar(), key, lastRateKey, framesSinceRate,
               p->graph(0)->data()->size() + p->graph(1)->data()->size());
}

void MainWindow::bracketDataSlot() {
    static double lastRateKey = 0;
    static int framesSinceRate = 0;
    QCustomPlot *p = ui->customPlot;
    if (p->graphCount() == 0) return;

    const double secs = QDateTime::currentDateTime().toMSecsSinceEpoch() / 1000.0;
    const int n = 500;
    const double phase = secs * 5;
    const double k = 3;
    QVector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = i / double(n - 1) * 34 - 17;
        y[i] = std::exp(-x[i] * x[i] / 20.0) * std::sin(k * x[i] + phase);
    }
    p->graph()->setData(x, y);
    if (galleryTracer)
        galleryTracer->setGraphKey((25.132741228718345 + std::fmod(4.71238898038469 - phase, 18.84955592153876)) / k);
    p->replot();

    reportRate(statusBar(), secs, lastRateKey, framesSinceRate, p->graph(0)->data()->size());
}

QString MainWindow::screenShotPath(const QString &title) {
    QString fileName = title.toLower() + ".png";
    fileName.replace(" ", "");
    return "./screenshots/" + fileName;
}

void MainWindow::saveScreenShot() {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QPixmap picture = screen->grabWindow(QApplication::desktop()->winId(), x() + 2, y() + 2,
                                               frameGeometry().width() - 4, frameGeometry().height() - 4);
    // Never blocks on a FIFO or device under the screenshot's name.
    savePicture(picture.toImage(), screenShotPath(galleryTitle));
}

void MainWindow::screenShot() {
    saveScreenShot();
    QCoreApplication::quit();
}

void MainWindow::allScreenShots() {
    saveScreenShot();
    if (galleryIndex >= 19) {
        QCoreApplication::quit();
        return;
    }
    if (galleryTimer.isActive()) galleryTimer.stop();
    galleryTimer.disconnect();

    // Each chart of the tour gets a fresh plot widget.
    delete ui->customPlot;
    galleryTracer = nullptr;
    ui->customPlot = new QCustomPlot(ui->centralWidget);
    ui->verticalLayout->addWidget(ui->customPlot);
    plot = ui->customPlot;

    setupDemo(galleryIndex + 1);
    int delay = 250;
    if (galleryIndex == 10) delay = 12000;
    else if (galleryIndex == 15) delay = 5000;
    QTimer::singleShot(delay, this, SLOT(allScreenShots()));
}
