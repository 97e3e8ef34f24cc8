// The gallery's bar and candle charts show every bar and candle whole, within its key axis's range.
#include <gtest/gtest.h>
#include <qcustomplot.h>
#include "plotMainWindow.h"

TEST(PlotWholeBars, EveryBarAndCandleLiesWithinItsKeyRange) {
    for (int chart : {17, 19}) {
        MainWindow w;
        w.setupDemo(chart);
        for (int i = 0; i < w.plotWidget()->plottableCount(); ++i) {
            QCPAbstractPlottable *p = w.plotWidget()->plottable(i);
            auto *bars = qobject_cast<QCPBars *>(p);
            auto *candles = qobject_cast<QCPFinancial *>(p);
            if (!bars && !candles) continue;
            const double half = (bars ? bars->width() : candles->width()) / 2;
            const int last = p->interface1D()->dataCount() - 1;
            EXPECT_LE(p->keyAxis()->range().lower, p->interface1D()->dataMainKey(0) - half) << chart << ", " << i;
            EXPECT_GE(p->keyAxis()->range().upper, p->interface1D()->dataMainKey(last) + half) << chart << ", " << i;
        }
    }
}
