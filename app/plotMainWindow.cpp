// plotMainWindow.cpp - the plot window and its profile/histogram curves.
#include "plotMainWindow.h"

#include <qcustomplot.h>

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
