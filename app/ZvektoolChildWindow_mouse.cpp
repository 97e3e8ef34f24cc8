// Mouse handling of the view window: the path drawn while a capture mode is
// on, the click positions of the controller, the pixel read-out on the
// console, and the profile and histogram of the path in plot windows.
#include "ZvektoolChildWindow.h"

#include "ZVektool.h"
#include "ZvektoolMainWindow.h"
#include "plotMainWindow.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollArea>
#include <QSlider>

#include <cmath>

float ZVektoolChildWindow::workValue(int f, int row, int col) const {
    const float *data = static_cast<const float *>(workImage->vekptr);
    return data[(static_cast<int64_t>(f) * workDims.rows + row) * workDims.cols + col];
}

double ZVektoolChildWindow::dataSpan() const {
    const float span = dataMax - dataMin;
    return std::isfinite(span) ? span : static_cast<double>(dataMax) - dataMin;
}

bool ZVektoolChildWindow::imagePosition(QMouseEvent *event, int &slot, int &col, int &row) const {
    slot = mainWindow != nullptr ? mainWindow->getIndexFromChildPtr(this) : -1;
    if (slot < 0 || slot >= 8) return false;
    const double s = getScaleFromZoom(zoomSlider->value());
    // At a scale of zero or less the picture has no area: no pixel is under
    // the mouse.
    if (!(s > 0.0)) return false;
    // Only positions over the picture's area count: a click on the dock or
    // the toolbar is no click on the part of the picture hidden behind them.
    if (!scrollArea->rect().contains(scrollArea->mapFromGlobal(event->globalPos()))) return false;
    const QPoint p = imageLabel->mapFromGlobal(event->globalPos());
    const double x = std::trunc(p.x() / s);
    const double y = std::trunc(p.y() / s);
    const ZvekShape shape = zvekShape(gZVektool->images[slot]);
    if (!shape.valid || !(x >= 0.0 && x < shape.cols && y >= 0.0 && y < shape.rows)) return false;
    col = static_cast<int>(x);
    row = static_cast<int>(y);
    return true;
}

void ZVektoolChildWindow::mousePressEvent(QMouseEvent *) {
    if (profileMode) {
        pathCols.clear();
        pathRows.clear();
    }
}

void ZVektoolChildWindow::mouseMoveEvent(QMouseEvent *event) {
    int slot, col, row;
    if (!imagePosition(event, slot, col, row)) return;
    if (!profileMode && !histogramMode) return;
    // The path is read from the working copy later: only points that lie in
    // it, while the slot image still has its shape, are collected.
    if (matchingSlotImage(slot) == nullptr || !insideWork(col, row)) return;
    // The mark is set in the picture in place: the label gives it up while it
    // is painted, so that no move copies the whole picture.
    QImage picture = takePicture();
    if (col < picture.width() && row < picture.height()) picture.setPixel(col, row, qRgb(255, 0, 0));
    putPicture(std::move(picture));
    pathCols.append(col);
    pathRows.append(row);
}

void ZVektoolChildWindow::mouseReleaseEvent(QMouseEvent *event) {
    int slot, col, row;
    if (!imagePosition(event, slot, col, row)) return;
    gZVektool->prevClickCol = gZVektool->lastClickCol;
    gZVektool->prevClickRow = gZVektool->lastClickRow;
    gZVektool->lastClickCol = col;
    gZVektool->lastClickRow = row;

    const zvekview::Contrast c = zvekview::contrastBounds(levelSlider->value(), windowSlider->value());
    // Without a working copy of the slot image's shape there are no display
    // values to report or capture.
    ZVEKHDR *slotImage = matchingSlotImage(slot);
    if (slotImage == nullptr || !insideWork(col, row)) return;
    if ((profileMode || histogramMode) && !pathCols.isEmpty() && !pathRows.isEmpty()) {
        capture(c);
        return;
    }
    readOut(slotImage, row, col, c);
}

namespace {

// Root of the mean square of three values, in single precision.
float brightOf(const float v[3]) {
    const float sum = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    return std::sqrt(sum / 3);
}

}  // namespace

void ZVektoolChildWindow::readOut(ZVEKHDR *slotImage, int row, int col, zvekview::Contrast c) {
    const ZvekShape shape = zvekShape(slotImage);
    if (shape.ndim == 3 && (shape.frames == 3 || shape.frames == 4)) {
        const int offsets[3] = {redSlider->value(), greenSlider->value(), blueSlider->value()};
        // One display unit in data units, taken in single precision.
        const float span = dataMax - dataMin;
        const double unit = std::isfinite(span) ? static_cast<double>(span / 255) : dataSpan() / 255;
        float modified[3], original[3];
        for (int k = 0; k < 3; ++k) {
            const double d = zvekview::displayValue(workValue(k, row, col), offsets[k], c);
            modified[k] = static_cast<float>(dataMin + d * unit);
            original[k] = static_cast<float>(Zvekfgp3d(slotImage, k, row, col));
        }
        const char *format = "\n%s: [%d , %d] \t  [Bright = %6.3f]\t  [R = %6.2f , G = %6.2f , B = %6.2f]";
        mainWindow->addConsoleOutput(QString::asprintf(format, "Modified", row, col, brightOf(modified),
                                                       modified[0], modified[1], modified[2]));
        mainWindow->addConsoleOutput(QString::asprintf(format, "Original", row, col, brightOf(original),
                                                       original[0], original[1], original[2]));
        return;
    }
    const double d = zvekview::displayValue(workValue(0, row, col), brightSlider->value(), c);
    const float modified = static_cast<float>(dataMin + d * dataSpan() / 255);
    const float original = static_cast<float>(Zvekfgp(slotImage, row, col));
    auto line = [&](const char *what, float v) {
        return QString("\n%1: [%2 , %3] \t  [Bright = %4]")
            .arg(QLatin1String(what), QString::number(row), QString::number(col), QString::number(v, 'g', 6));
    };
    mainWindow->addConsoleOutput(line("Modified", modified));
    mainWindow->addConsoleOutput(line("Original", original));
}

void ZVektoolChildWindow::capture(zvekview::Contrast c) {
    const bool colour = colourWork();
    const int offsets[3] = {redSlider->value(), greenSlider->value(), blueSlider->value()};
    const double span = dataSpan();
    QVector<double> profileValues[3];
    QVector<double> counts[3];
    for (QVector<double> &h : counts) h.fill(0.0, 52);
    const int n = std::min(pathCols.size(), pathRows.size());
    for (int i = 0; i < n; ++i) {
        const int col = pathCols[i], row = pathRows[i];
        if (!insideWork(col, row)) continue;
        for (int k = 0; k < 3; ++k) {
            // A grey working copy shows frame 0 with the red offset in
            // every channel.
            const double d = colour ? zvekview::displayValue(workValue(k, row, col), offsets[k], c)
                                    : zvekview::displayValue(workValue(0, row, col), offsets[0], c);
            if (profileMode) profileValues[k].append(d * span / 255);
            if (histogramMode) counts[k][std::min(51, static_cast<int>(d / 5))] += 1.0;
        }
    }
    auto open = [this](const QVector<double> (&v)[3], _PLOT_TYPE type) {
        auto *plot = new MainWindow(this);
        plot->plotData(v[0], v[1], v[2], type);
        plot->show();
    };
    if (profileMode) open(profileValues, PROFILE);
    if (histogramMode) open(counts, HISTOGRAM);
}
