// Screenshot tour of the plot window's chart gallery. The tour ends by
// quitting the application, so each case that lets it finish runs last.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWindow>
#include <QEventLoop>
#include <QPointer>
#include <QTemporaryDir>
#include <qcustomplot.h>

#include "plotMainWindow.h"

namespace {

// Runs the current directory inside a fresh temporary directory.
class InTempDir {
public:
    InTempDir() : old(QDir::currentPath()) { QDir::setCurrent(dir.path()); }
    ~InTempDir() { QDir::setCurrent(old); }
    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
    QString old;
};

// Shows the window and waits until the platform has exposed it: only an
// exposed window can be grabbed from the screen.
void showExposed(MainWindow &w) {
    w.show();
    QElapsedTimer t;
    t.start();
    while (!(w.windowHandle() && w.windowHandle()->isExposed()) && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

TEST(PlotTour, StepFromAnUnknownIndexSetsUpTheFirstChart) {
    InTempDir tmp;
    QDir().mkdir("screenshots");
    MainWindow w;
    showExposed(w);
    w.setupDemo(-1);
    QPointer<QCustomPlot> before = w.plotWidget();
    QMetaObject::invokeMethod(&w, "allScreenShots");
    EXPECT_EQ(w.demoIndex(), 0);
    EXPECT_EQ(w.windowTitle(), "QCustomPlot: Quadratic Demo");
    EXPECT_TRUE(before.isNull()) << "each step gets a fresh plot widget";
    ASSERT_NE(w.plotWidget(), nullptr);
    EXPECT_EQ(w.plotWidget()->graphCount(), 1);
    EXPECT_EQ(w.plotWidget()->parentWidget(), w.centralWidget());
    EXPECT_EQ(w.centralWidget()->layout()->indexOf(w.plotWidget()), 0);
    // The step before it saved the chart it found (named after an empty title).
    EXPECT_TRUE(QFile::exists("screenshots/.png"));
}

TEST(PlotTour, TourStopsTheAnimationAndReplacesTheWidget) {
    InTempDir tmp;
    MainWindow w;
    showExposed(w);
    w.setupDemo(15);
    ASSERT_TRUE(w.demoTimer().isActive());
    QMetaObject::invokeMethod(&w, "allScreenShots");
    EXPECT_EQ(w.demoIndex(), 16);
    EXPECT_FALSE(w.demoTimer().isActive()) << "the wave packet stops when the tour moves on";
    EXPECT_EQ(w.demoTracer(), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(w.plotWidget()->graphCount(), 2) << "only the new chart's graphs, nothing animated into it";
    EXPECT_FALSE(QDir("screenshots").exists()) << "without the directory the picture is lost silently";
}

TEST(PlotTour, TourSavesEveryChartToTheEndAndQuits) {
    InTempDir tmp;
    QDir().mkdir("screenshots");
    MainWindow w;
    showExposed(w);
    w.setupDemo(16);
    QEventLoop loop;
    bool timedOut = false;
    QTimer::singleShot(30000, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QTimer::singleShot(0, &w, SLOT(allScreenShots()));
    loop.exec();
    EXPECT_FALSE(timedOut) << "the tour ends the event loop itself";
    EXPECT_EQ(w.demoIndex(), 19);
    EXPECT_EQ(w.windowTitle(), "QCustomPlot: Financial Charts Demo");
    const QStringList expected = {"advancedaxesdemo.png", "colormapdemo.png", "financialchartsdemo.png",
                                  "styleddemo.png"};
    QStringList saved = QDir("screenshots").entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(saved.join(","), expected.join(","));
    for (const QString &name : saved) {
        QImage picture("screenshots/" + name);
        EXPECT_FALSE(picture.isNull()) << name.toStdString();
        EXPECT_EQ(picture.size(), QSize(w.frameGeometry().width() - 4, w.frameGeometry().height() - 4))
            << name.toStdString();
    }
}
