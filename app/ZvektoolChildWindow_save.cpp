// Saving from the view window: the adjusted display written back into the
// slot's image in memory, and the shown picture written to a file.
#include "ZvektoolChildWindow.h"

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvektoolMainWindow.h"
#include "imagefile.h"

#include <cmath>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QSlider>

namespace {

// The display value of the write-back, in single precision throughout: the
// working-copy value plus the offset, bounded to 0..255, stretched by the
// contrast bounds and, for colour, bounded again.
float writeBackValue(float w, int offset, zvekview::Contrast c, bool bounded) {
    float v = static_cast<float>(static_cast<double>(w) + offset);
    v = static_cast<float>(ZVektoolChildWindow::ZvekBound(0.0, v, 255.0));
    v = (v - c.lo) * 255 / (c.hi - c.lo);
    if (bounded) v = static_cast<float>(ZVektoolChildWindow::ZvekBound(0.0, v, 255.0));
    return v;
}

}  // namespace

void ZVektoolChildWindow::save() {
    const int slot = mainWindow != nullptr ? mainWindow->getIndexFromChildPtr(this) : -1;
    if (slot < 0) return;
    // The values come from the working copy: a slot image of another shape
    // (replaced by a command while the window stayed open) is left alone.
    ZVEKHDR *image = matchingSlotImage(slot);
    if (image == nullptr) return;
    const zvekview::Contrast c = zvekview::contrastBounds(levelSlider->value(), windowSlider->value());
    // Display units back to data units, in single precision; extremes so far
    // apart that their difference overflows are taken in double, so that the
    // bottom of the display does not turn into NaN.
    const float span = dataMax - dataMin;
    const bool finiteSpan = std::isfinite(span);
    const double wideSpan = static_cast<double>(dataMax) - dataMin;
    auto toData = [&](float v) -> double {
        if (finiteSpan) return dataMin + v * span / 255;
        return dataMin + v * wideSpan / 255;
    };
    const int rows = workDims.rows, cols = workDims.cols;
    if (colourWork()) {
        // Frames 0 to 2 are rewritten; further frames keep their values.
        const int offsets[3] = {redSlider->value(), greenSlider->value(), blueSlider->value()};
        for (int r = 0; r < rows; ++r) {
            for (int col = 0; col < cols; ++col) {
                float v[3];
                for (int k = 0; k < 3; ++k) v[k] = writeBackValue(workValue(k, r, col), offsets[k], c, true);
                for (int k = 0; k < 3; ++k) Zvekfpp3d(image, k, r, col, toData(v[k]));
            }
        }
        return;
    }
    // Grey: the stretched value is not bounded again, so values below the
    // level fall below the data minimum and values above level + window rise
    // above the data maximum.
    const int offset = brightSlider->value();
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < cols; ++col)
            Zvekfpp3d(image, 0, r, col, toData(writeBackValue(workValue(0, r, col), offset, c, false)));
    }
}

namespace {

// The picture as a three-frame "float" image, frames red, green and blue,
// written in the own format. False when the image cannot be made or the
// write fails; *notRegular tells that the path was refused for its type.
bool writePicture(const QImage &picture, const QString &path, bool *notRegular) {
    const int w = picture.width(), h = picture.height();
    int32_t dims[4] = {3, w, h, 3};
    ZvekImagePtr image(Zvekcreate("float", dims, 11, 0));
    if (!image) return false;
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            Zvekfpp3d(image.get(), 0, y, x, qRed(line[x]));
            Zvekfpp3d(image.get(), 1, y, x, qGreen(line[x]));
            Zvekfpp3d(image.get(), 2, y, x, qBlue(line[x]));
        }
    }
    return writeImageFile(image.get(), path, notRegular) == -1;
}

}  // namespace

void ZVektoolChildWindow::saveBuffer() {
    // The dialogs below run the event loop: a file-open event arriving
    // meanwhile must wait, or it could replace this slot and delete the
    // window under us.
    std::optional<ZVektoolMainWindow::CommandScope> running;
    if (mainWindow) running.emplace(mainWindow);
    const QString path =
        zvekUi().saveFile(this, tr("SaveAs File"), QDir::homePath(),
                          tr("Images (*.png *.xpm *.jpg *.ZVEK *.Zvek *.Zve *.zve *.vek *.VEK)"));
    const QString suffix = QFileInfo(path).suffix();
    QImage picture = imageLabel->pixmap(Qt::ReturnByValue).toImage();
    if (picture.format() != QImage::Format_RGB32 && picture.format() != QImage::Format_ARGB32)
        picture = std::move(picture).convertToFormat(QImage::Format_RGB32);

    bool own = false;
    for (const char *s : {"ZVEK", "Zvek", "VEK", "vek", "zve", "Zve"}) own = own || suffix == QLatin1String(s);
    if (own) {
        // The type prompt is asked, but the picture is always stored as "float".
        QString answer;
        zvekUi().getText(this, tr("QInputDialog::getText()"), tr("ZVEK data type:"), "float", &answer);
        bool notRegular = false;
        if (!writePicture(picture, path, &notRegular))
            zvekUi().message(notRegular ? notRegularMessage(path) : tr("output of file to disk failed"));
        return;
    }
    // A cancelled dialog gives no path and writes nothing; a write that the
    // toolkit refuses (unknown suffix, unwritable place) is reported.
    if (path.isEmpty()) return;
    bool notRegular = false;
    if (!savePicture(picture, path, &notRegular))
        zvekUi().message(notRegular ? notRegularMessage(path) : tr("output of file to disk failed"));
}
