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
enum _PLOT_TYPE : int { PROFILE = 0, HISTOGRAM = 1 };

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Three curves (red, green, blue) over the keys 0 .. n-1, n = r.size().
    void plotData(QVector<double> r, QVector<double> g, QVector<double> b, _PLOT_TYPE type);

    // Gallery: sets up chart `index` (0..19) on the form's plot widget.
    void setupDemo(int index);

    void setupQuadraticDemo(QCustomPlot *customPlot);
    void setupSimpleDemo(QCustomPlot *customPlot);
    void setupSincScatterDemo(QCustomPlot *customPlot);
    void setupScatterStyleDemo(QCustomPlot *customPlot);
    void setupScatterPixmapDemo(QCustomPlot *customPlot);
    void setupLineStyleDemo(QCustomPlot *customPlot);
    void setupDateDemo(QCustomPlot *customPlot);
    void setupTextureBrushDemo(QCustomPlot *customPlot);
    void setupMultiAxisDemo(QCustomPlot *customPlot);
    void setupLogarithmicDemo(QCustomPlot *customPlot);
    void setupRealtimeDataDemo(QCustomPlot *customPlot);
    void setupParametricCurveDemo(QCustomPlot *customPlot);
    void setupBarChartDemo(QCustomPlot *customPlot);
    void setupStatisticalDemo(QCustomPlot *customPlot);
    void setupSimpleItemDemo(QCustomPlot *customPlot);
    void setupItemDemo(QCustomPlot *customPlot);
    void setupStyledDemo(QCustomPlot *customPlot);
    void setupAdvancedAxesDemo(QCustomPlot *customPlot);
    void setupColorMapDemo(QCustomPlot *customPlot);
    void setupFinancialDemo(QCustomPlot *customPlot);
    void setupPlayground(QCustomPlot *customPlot);

    // Read access for callers that inspect a window (the fields stay private).
    QCustomPlot *plotWidget() const { return plot; }
    QString demoTitle() const { return galleryTitle; }
    int demoIndex() const { return galleryIndex; }
    QCPItemTracer *demoTracer() const { return galleryTracer; }
    const QTimer &demoTimer() const { return galleryTimer; }

    // File a screenshot of the gallery chart titled `title` is saved as.
    static QString screenShotPath(const QString &title);

public slots:
    void realtimeDataSlot();
    void bracketDataSlot();
    void screenShot();
    void allScreenShots();

private:
    void saveScreenShot();

    QCustomPlot *plot;
    Ui_MainWindow *ui;
    QString galleryTitle;
    QTimer galleryTimer;
    QCPItemTracer *galleryTracer = nullptr;
    int galleryIndex = -1;
};

#endif
