// plotMainWindow.h - the plot window: red, green and blue curves of a
// profile or a histogram captured in a view window, with drag, zoom and
// selection; the same class carries a gallery of prepared charts.
#ifndef PLOTMAINWINDOW_H_INCLUDED
#define PLOTMAINWINDOW_H_INCLUDED

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <QVector>

class QCustomPlot;
class QCPItemTracer;
class Ui_MainWindow;

// What a plot window shows: values along a drawn path or counts per bin.
// Other values plot without axis labels.
enum _PLOT_TYPE { PROFILE = 0, HISTOGRAM = 1 };

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Three curves (red, green, blue) over the keys 0 .. n-1, n = r.size().
    void plotData(QVector<double> r, QVector<double> g, QVector<double> b, _PLOT_TYPE type);

    // Read access for callers that inspect a window (the fields stay private).
    QCustomPlot *plotWidget() const { return plot; }
private:
    QCustomPlot *plot;
    Ui_MainWindow *ui;
    QString galleryTitle;
    QTimer galleryTimer;
    QCPItemTracer *galleryTracer = nullptr;
    int galleryIndex = -1;
};

#endif
