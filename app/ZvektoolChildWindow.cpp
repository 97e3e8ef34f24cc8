// The image view window: construction, layout and the display pipeline.
#include "ZvektoolChildWindow.h"

#include "ZvektoolMainWindow.h"
#include "ZVektool.h"
#include "extremes.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

ZVektoolChildWindow::ZVektoolChildWindow(QWidget *parent, QImage *image, int slot)
    : QMainWindow(parent) {
    // The working copy, scaled to 0..255, and the slot image's extremes.
    ZVEKHDR *slotImage = slot >= 0 && slot < 8 ? gZVektool->images[slot] : nullptr;
    if (slotImage != nullptr) {
        ZvekSizePtr size(Zveksiz(slotImage));
        if (size) workImage = Zvekcreate("float", size.get(), 11, 0);
        if (workImage != nullptr) {
            workDims = zvekShape(workImage);
            adviseLargeBlock(workImage->vekptr, static_cast<size_t>(workDims.pixels()) * workDims.frames * sizeof(float));
            workReady = BrScale(slotImage, workImage, 255.0f, 0.0f, &dataMax, &dataMin) == 0 &&
                        workDims.valid;
        }
    }
    if (!workReady) {
        dataMax = 0.0f;
        dataMin = 0.0f;
    }

    mainWindow = qobject_cast<ZVektoolMainWindow *>(parent);
    qimage = image;
    if (qimage == nullptr || qimage->isNull()) {
        // No picture was made: show black of the slot image's size.
        const ZvekShape s = zvekShape(slotImage);
        const int cols = s.valid ? s.cols + (4 - s.cols % 4) % 4 : 4;
        delete qimage;
        qimage = new QImage(cols, s.valid ? s.rows : 1, QImage::Format_RGB32);
        qimage->fill(Qt::black);
    }
    setWindowTitle(QString::number(slot) + ":" +
                   (slot >= 0 && slot < 8 ? gZVektool->imageNames[slot] : QString()));

    imageLabel = new QLabel(this);
    imageLabel->setObjectName("imageLabel");
    imageLabel->setBackgroundRole(QPalette::Base);
    imageLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    imageLabel->setScaledContents(true);
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName("scrollArea");
    scrollArea->setBackgroundRole(QPalette::Dark);
    scrollArea->setWidget(imageLabel);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(scrollArea);

    operationsDock = new QDockWidget(tr("Operations"), this);
    operationsDock->setObjectName("operationsDock");
    operationsDock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    addDockWidget(Qt::RightDockWidgetArea, operationsDock, Qt::Vertical);
    imageLabel->setWindowTitle(tr("Accumulator"));

    dockBox = new QGroupBox(operationsDock);
    dockBox->setObjectName("dockBox");
    dockLayout = new QVBoxLayout;
    displayBox = new QGroupBox(tr("Display"), operationsDock);
    displayBox->setObjectName("displayBox");
    displayLayout = new QGridLayout;
    displayBox->setLayout(displayLayout);
    rgbBox = new QGroupBox(tr("RGB"), operationsDock);
    rgbBox->setObjectName("rgbBox");
    rgbLayout = new QGridLayout;
    rgbBox->setLayout(rgbLayout);
    editBox = new QGroupBox(tr("Edit"), operationsDock);
    editBox->setObjectName("editBox");
    editLayout = new QGridLayout;
    editBox->setLayout(editLayout);
    dockLayout->addWidget(displayBox);
    dockLayout->addWidget(rgbBox);
    dockLayout->addWidget(editBox);
    dockBox->setLayout(dockLayout);
    operationsDock->setWidget(dockBox);

    lastROffset = lastGOffset = lastBOffset = 0;
    profileMode = histogramMode = false;
    currentFrame = 0;

    createActions();
    createToolBar();
    addLayoutElements();

    if (workDims.ndim != 3) {
        for (QWidget *w : std::initializer_list<QWidget *>{warmSlider, warmSpin, coolSlider, coolSpin,
                                                           redSlider, redSpin, greenSlider, greenSpin,
                                                           blueSlider, blueSpin})
            w->setEnabled(false);
    }
    frameSpin->setRange(0, workDims.ndim == 3 ? workDims.frames - 1 : 0);

    const ZvekShape slotShape = zvekShape(slotImage);
    const int cols = slotShape.valid ? slotShape.cols : 0;
    resize(cols >= 1025 ? 1280 : cols + 330, 320);

    // "Color" is checked: the label shows the picture at its own size. The
    // label takes the picture's pixels over; nothing reads the picture after.
    imageLabel->setPixmap(QPixmap::fromImage(std::move(*qimage)));
    imageLabel->resize(1.0 * imageLabel->pixmap(Qt::ReturnByValue).size());
    NewImage();
    show();
}

ZVektoolChildWindow::~ZVektoolChildWindow() {
    hide();
    takeCentralWidget();
    delete imageLabel;
    delete scrollArea;
    delete qimage;
    if (mainWindow != nullptr) mainWindow->updateChildPtr(this, REMOVE_CHILD);
    if (workImage != nullptr) Zvekfree(workImage, 7);
}

void ZVektoolChildWindow::closeEvent(QCloseEvent *event) { event->accept(); }

ZVEKHDR *ZVektoolChildWindow::matchingSlotImage(int slot) const {
    if (!workReady || slot < 0 || slot >= 8) return nullptr;
    ZVEKHDR *image = gZVektool->images[slot];
    return image != nullptr && zvekShape(image) == workDims ? image : nullptr;
}

// ---- construction of the controls ----

void ZVektoolChildWindow::createActions() {
    struct Entry {
        QAction **field;
        const char *name;
        const char *text;
        const char *slot;
    };
    const Entry entries[] = {
        {&profileAct, "profileAct", QT_TR_NOOP("Profiler OFF"), SLOT(profile())},
        {&histogramAct, "histogramAct", QT_TR_NOOP("Histogram Off"), SLOT(histogram())},
        {&resetAct, "resetAct", QT_TR_NOOP("Reset"), SLOT(reset())},
        {&saveAct, "saveAct", QT_TR_NOOP("Save"), SLOT(save())},
        {&saveBufferAct, "saveBufferAct", QT_TR_NOOP("SaveWorkingImage"), SLOT(saveBuffer())},
    };
    for (const Entry &e : entries) {
        *e.field = new QAction(tr(e.text), this);
        (*e.field)->setObjectName(e.name);
        connect(*e.field, SIGNAL(triggered()), this, e.slot);
    }
}

void ZVektoolChildWindow::createToolBar() {
    editToolBar = addToolBar(tr("Edit"));
    editToolBar->setObjectName("editToolBar");
    editToolBar->addAction(profileAct);
    editToolBar->addAction(histogramAct);
    editToolBar->addAction(resetAct);
    editToolBar->addAction(saveAct);
    editToolBar->addAction(saveBufferAct);
}

namespace {

QLabel *makeLabel(const QString &text, const char *name) {
    auto *label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

QSlider *makeSlider(const char *name, int lo, int hi, int value, int step) {
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(name);
    slider->setRange(lo, hi);
    slider->setValue(value);
    if (step > 0) slider->setSingleStep(step);
    return slider;
}

QSpinBox *makeSpin(const char *name, int lo, int hi, int value, int step) {
    auto *spin = new QSpinBox;
    spin->setObjectName(name);
    spin->setRange(lo, hi);
    spin->setValue(value);
    spin->setSingleStep(step);
    return spin;
}

QCheckBox *makeCheck(const QString &text, const char *name, bool checked, const QString &tip) {
    auto *check = new QCheckBox(text);
    check->setObjectName(name);
    check->setCheckable(true);
    check->setAutoExclusive(false);
    check->setChecked(checked);
    check->setToolTip(tip);
    return check;
}

// Ties a slider and its spin box both ways.
void tie(QSlider *slider, QSpinBox *spin) {
    QObject::connect(spin, SIGNAL(valueChanged(int)), slider, SLOT(setValue(int)));
    QObject::connect(slider, SIGNAL(valueChanged(int)), spin, SLOT(setValue(int)));
}

}  // namespace

void ZVektoolChildWindow::addLayoutElements() {
    frameLabel = makeLabel(tr("Frame No"), "frameLabel");
    brightLabel = makeLabel(tr("Bright"), "brightLabel");
    warmLabel = makeLabel(tr("Warm"), "warmLabel");
    coolLabel = makeLabel(tr("Cool"), "coolLabel");
    redLabel = makeLabel(tr("Red"), "redLabel");
    greenLabel = makeLabel(tr("Green"), "greenLabel");
    blueLabel = makeLabel(tr("Blue"), "blueLabel");
    zoomLabel = makeLabel(tr("Zoom"), "zoomLabel");
    levelLabel = makeLabel(tr("contrLevel"), "levelLabel");
    windowLabel = makeLabel(tr("contrWindow"), "windowLabel");

    brightSlider = makeSlider("brightSlider", -255, 255, 0, 10);
    warmSlider = makeSlider("warmSlider", -255, 255, 0, 10);
    coolSlider = makeSlider("coolSlider", -255, 255, 0, 10);
    redSlider = makeSlider("redSlider", -255, 255, 0, 10);
    greenSlider = makeSlider("greenSlider", -255, 255, 0, 0);
    blueSlider = makeSlider("blueSlider", -255, 255, 0, 0);
    zoomSlider = makeSlider("zoomSlider", -255, 255, 0, 10);
    levelSlider = makeSlider("levelSlider", 0, 1024, 0, 10);
    windowSlider = makeSlider("windowSlider", 0, 255, 128, 10);
    levelSlider->setRange(0, 255 - windowSlider->value());

    frameSpin = makeSpin("frameSpin", 0, 200, 0, 1);
    frameSpin->setToolTip(tr("Select frame to be displayed (if not displaying color)"));
    frameSpin->setEnabled(false);
    brightSpin = makeSpin("brightSpin", -255, 255, 0, 10);
    warmSpin = makeSpin("warmSpin", -255, 255, 0, 10);
    coolSpin = makeSpin("coolSpin", -255, 255, 0, 10);
    redSpin = makeSpin("redSpin", -255, 255, 0, 10);
    greenSpin = makeSpin("greenSpin", -255, 255, 0, 10);
    blueSpin = makeSpin("blueSpin", -255, 255, 0, 10);
    zoomSpin = makeSpin("zoomSpin", -255, 255, 0, 10);
    levelSpin = makeSpin("levelSpin", 0, 255, 0, 10);
    levelSpin->setRange(0, 255 - windowSlider->value());
    windowSpin = makeSpin("windowSpin", 0, 255, 255, 10);

    colorCheck = makeCheck(tr("Color"), "colorCheck", true,
                           tr("If checked, 3 frame images will be displayed as color\n else as a set of frames."));
    overlayCheck = makeCheck(tr("Overlay"), "overlayCheck", false,
                             tr("If checked, the 4th frame will be overlayed."));

    QFont font = brightLabel->font();
    font.setPointSize(10);
    for (QLabel *label : {frameLabel, brightLabel, warmLabel, coolLabel, redLabel, greenLabel, blueLabel,
                          zoomLabel, levelLabel, windowLabel})
        label->setFont(font);
    for (QSpinBox *spin : {brightSpin, warmSpin, coolSpin, redSpin, greenSpin, blueSpin, zoomSpin,
                           levelSpin, windowSpin}) {
        spin->setFont(font);
        spin->setMaximumWidth(45);
    }

    // Captions in column 0, sliders from column 2 over 7 columns, spin boxes
    // in column 9.
    auto row = [](QGridLayout *grid, int r, QLabel *label, QSlider *slider, QSpinBox *spin) {
        grid->addWidget(label, r, 0);
        if (slider != nullptr) grid->addWidget(slider, r, 2, 1, 7);
        grid->addWidget(spin, r, 9);
    };
    row(displayLayout, 0, frameLabel, nullptr, frameSpin);
    displayLayout->addWidget(colorCheck, 0, 5);
    displayLayout->addWidget(overlayCheck, 0, 7);
    row(displayLayout, 1, brightLabel, brightSlider, brightSpin);
    row(displayLayout, 2, warmLabel, warmSlider, warmSpin);
    row(displayLayout, 3, coolLabel, coolSlider, coolSpin);
    row(rgbLayout, 0, redLabel, redSlider, redSpin);
    row(rgbLayout, 1, greenLabel, greenSlider, greenSpin);
    row(rgbLayout, 2, blueLabel, blueSlider, blueSpin);
    row(editLayout, 0, zoomLabel, zoomSlider, zoomSpin);
    row(editLayout, 1, levelLabel, levelSlider, levelSpin);
    row(editLayout, 2, windowLabel, windowSlider, windowSpin);

    // Connections, in the order in which the toolkit calls the slots.
    tie(brightSlider, brightSpin);
    tie(warmSlider, warmSpin);
    tie(coolSlider, coolSpin);
    connect(brightSlider, SIGNAL(valueChanged(int)), this, SLOT(bright(int)));
    connect(coolSlider, SIGNAL(valueChanged(int)), this, SLOT(cool(int)));
    connect(warmSlider, SIGNAL(valueChanged(int)), this, SLOT(warm(int)));
    connect(colorCheck, SIGNAL(stateChanged(int)), this, SLOT(checkIt()));
    connect(overlayCheck, SIGNAL(stateChanged(int)), this, SLOT(overlayIt()));
    tie(redSlider, redSpin);
    tie(greenSlider, greenSpin);
    tie(blueSlider, blueSpin);
    connect(redSlider, SIGNAL(valueChanged(int)), this, SLOT(changeR(int)));
    connect(greenSpin, SIGNAL(valueChanged(int)), this, SLOT(changeG(int)));
    connect(blueSpin, SIGNAL(valueChanged(int)), this, SLOT(changeB(int)));
    connect(frameSpin, SIGNAL(valueChanged(int)), this, SLOT(NewFrame(int)));
    tie(zoomSlider, zoomSpin);
    tie(levelSlider, levelSpin);
    tie(windowSlider, windowSpin);
    connect(zoomSlider, SIGNAL(valueChanged(int)), this, SLOT(zoom(int)));
    connect(levelSlider, SIGNAL(valueChanged(int)), this, SLOT(level()));
    connect(windowSlider, SIGNAL(valueChanged(int)), this, SLOT(window()));
}

// ---- capture toggles ----

void ZVektoolChildWindow::profile() {
    profileMode = !profileMode;
    profileAct->setIconText(profileMode ? tr("Profiler ON") : tr("Profiler OFF"));
}

void ZVektoolChildWindow::histogram() {
    histogramMode = !histogramMode;
    histogramAct->setIconText(histogramMode ? tr("Histogram ON") : tr("Histogram OFF"));
}

// ---- display pipeline ----

int ZVektoolChildWindow::BrScale(ZVEKHDR *in, ZVEKHDR *out, float hi, float lo, float *max, float *min) {
    if (in == nullptr || in->dtype != DT_32FLT) return -1;
    if (out == nullptr || out->dtype != DT_32FLT) return -2;
    if (lo > hi) return -3;
    const ZvekShape si = zvekShape(in);
    const ZvekShape so = zvekShape(out);
    if (!si.valid || !so.valid) return -1;
    const int64_t n = si.pixels() * si.frames;
    if (so.pixels() * so.frames != n) return -2;
    const float *src = static_cast<const float *>(in->vekptr);
    float *dst = static_cast<float *>(out->vekptr);

    // Extremes over the finite values; they start at -1e8 and 1e8.
    float mx = -1.0e8f, mn = 1.0e8f;
    const bool allFinite = ops::finiteExtremes(src, n, mn, mx);
    if (mx != mn && mx > mn) {
        const float range = mx - mn;
        if (std::isfinite(range) && std::isfinite((hi - lo) * range)) {
            zvekview::mapLinear(src, dst, n, lo, hi, mn, range);
        } else {
            // The single-precision products would overflow: map in double.
            const double r = static_cast<double>(mx) - mn;
            const double scale = static_cast<double>(hi - lo);
            for (int64_t i = 0; i < n; ++i)
                dst[i] = static_cast<float>(lo + (scale * (src[i] - static_cast<double>(mn))) / r);
        }
    } else {
        std::fill(dst, dst + n, 0.0f);
    }
    if (!allFinite) {
        // Non-finite values never reach the working copy: +inf shows at the
        // top of the range, -inf and NaN at the bottom.
        for (int64_t i = 0; i < n; ++i) {
            if (!std::isfinite(src[i])) dst[i] = src[i] > 0.0f ? hi : lo;
        }
    }
    *max = mx;
    *min = mn;
    return 0;
}

void ZVektoolChildWindow::getRGB(int &r, int &g, int &b) {
    r = g = brightSlider->value() + warmSlider->value();
    b = brightSlider->value() + coolSlider->value();
}

double ZVektoolChildWindow::getScaleFromZoom(int z) {
    if (z == 0) return 1.0;
    if (z > 0) return 1.0 + z / 20.0;
    return 1.0 + z / 100.0;
}

double ZVektoolChildWindow::ZvekBound(double lo, double v, double hi) {
    if (lo > v) return lo;
    if (v > hi) return hi;
    return v;
}

QImage ZVektoolChildWindow::takePicture() {
    QImage picture = imageLabel->pixmap(Qt::ReturnByValue).toImage();
    // Drop the label's reference, so that painting writes in place.
    imageLabel->setPixmap(QPixmap());
    if (picture.format() != QImage::Format_RGB32) picture = std::move(picture).convertToFormat(QImage::Format_RGB32);
    return picture;
}

void ZVektoolChildWindow::putPicture(QImage &&picture) {
    imageLabel->setPixmap(QPixmap::fromImage(std::move(picture)));
}

int ZVektoolChildWindow::drawRows(const QImage &picture) const {
    return workReady ? std::min(picture.height(), workDims.rows) : 0;
}

int ZVektoolChildWindow::drawCols(const QImage &picture) const {
    return workReady ? std::min(picture.width(), workDims.cols) : 0;
}

namespace {

// A window without a working copy shows black over the image.
void paintBlack(QImage &picture) { picture.fill(Qt::black); }

}  // namespace

void ZVektoolChildWindow::changeRGB(int dR, int dG, int dB) {
    QImage picture = takePicture();
    if (!picture.isNull()) {
        if (!workReady) {
            paintBlack(picture);
        } else {
            const zvekview::Contrast c = zvekview::contrastBounds(levelSlider->value(), windowSlider->value());
            const float *data = static_cast<const float *>(workImage->vekptr);
            const int64_t n = workDims.pixels();
            const bool colour = workDims.ndim == 3 && workDims.frames >= 3;
            const int rows = drawRows(picture), cols = drawCols(picture);
            for (int y = 0; y < rows; ++y) {
                const float *row = data + static_cast<int64_t>(y) * workDims.cols;
                QRgb *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
                if (colour)
                    zvekview::adjustedRowRGB(row, row + n, row + 2 * n, cols, dR, dG, dB, c, line);
                else
                    zvekview::adjustedRowGrey(row, cols, dR, c, line);
            }
        }
        putPicture(std::move(picture));
    }
    lastROffset = dR;
    lastGOffset = dG;
    lastBOffset = dB;
}

void ZVektoolChildWindow::NewImage() {
    QImage picture = takePicture();
    if (!picture.isNull()) {
        if (!workReady) {
            paintBlack(picture);
        } else {
            const float *data = static_cast<const float *>(workImage->vekptr);
            const int64_t n = workDims.pixels();
            const bool colour = workDims.ndim == 3 && workDims.frames >= 3;
            const bool overlay = colour && workDims.frames == 4 && overlayCheck->isChecked();
            const int rows = drawRows(picture), cols = drawCols(picture);
            for (int y = 0; y < rows; ++y) {
                const float *row = data + static_cast<int64_t>(y) * workDims.cols;
                QRgb *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
                if (colour)
                    zvekview::plainRowRGB(row, row + n, row + 2 * n, overlay ? row + 3 * n : nullptr, cols, line);
                else
                    zvekview::plainRowGrey(row, cols, line);
            }
        }
        putPicture(std::move(picture));
    }
    currentFrame = frameSpin->value();
}

void ZVektoolChildWindow::NewFrame(int f) {
    QImage picture = takePicture();
    if (!picture.isNull()) {
        if (!workReady) {
            paintBlack(picture);
        } else if (f >= 0 && f < workDims.frames) {
            const float *frame = static_cast<const float *>(workImage->vekptr) + f * workDims.pixels();
            const int rows = drawRows(picture), cols = drawCols(picture);
            for (int y = 0; y < rows; ++y)
                zvekview::plainRowGrey(frame + static_cast<int64_t>(y) * workDims.cols, cols,
                                       reinterpret_cast<QRgb *>(picture.scanLine(y)));
        }
        putPicture(std::move(picture));
    }
    currentFrame = frameSpin->value();
}

void ZVektoolChildWindow::redrawOrHold(int dR, int dG, int dB) {
    if (holdRedraws) {
        heldRedraw = true;
        heldR = dR;
        heldG = dG;
        heldB = dB;
        return;
    }
    changeRGB(dR, dG, dB);
}

void ZVektoolChildWindow::adjustFromCombination() {
    int r, g, b;
    getRGB(r, g, b);
    changeRGB(r, g, b);
    // Moving the colour sliders to the new offsets runs their slots, each of
    // which would redraw with offsets that can differ from these only by the
    // sliders' limit of -255..255. Only the last of those redraws decides
    // what is shown: it is made once, and only when its offsets differ.
    holdRedraws = true;
    heldRedraw = false;
    redSlider->setValue(lastROffset);
    greenSlider->setValue(lastGOffset);
    blueSlider->setValue(lastBOffset);
    holdRedraws = false;
    if (heldRedraw && (heldR != lastROffset || heldG != lastGOffset || heldB != lastBOffset))
        changeRGB(heldR, heldG, heldB);
}

void ZVektoolChildWindow::bright(int) { adjustFromCombination(); }
void ZVektoolChildWindow::warm(int) { adjustFromCombination(); }
void ZVektoolChildWindow::cool(int) { adjustFromCombination(); }

void ZVektoolChildWindow::changeR(int v) {
    int r, g, b;
    getRGB(r, g, b);
    redrawOrHold(v, g, b);
}

void ZVektoolChildWindow::changeG(int v) {
    int r, g, b;
    getRGB(r, g, b);
    redrawOrHold(r, v, b);
}

void ZVektoolChildWindow::changeB(int v) {
    int r, g, b;
    getRGB(r, g, b);
    redrawOrHold(r, g, v);
}

void ZVektoolChildWindow::level() {
    changeRGB(redSlider->value(), greenSlider->value(), blueSlider->value());
}

void ZVektoolChildWindow::window() {
    // The level is counted in display units: it ranges up to 255 - window.
    const int top = 255 - windowSlider->value();
    levelSlider->setMaximum(top);
    levelSlider->setMinimum(0);
    levelSlider->setRange(0, top);
    levelSpin->setRange(0, top);
    changeRGB(redSlider->value(), greenSlider->value(), blueSlider->value());
}

void ZVektoolChildWindow::checkIt() {
    if (colorCheck->isChecked()) {
        frameSpin->setEnabled(false);
        reset();
    } else {
        frameSpin->setEnabled(true);
        NewFrame(frameSpin->value());
    }
}

void ZVektoolChildWindow::overlayIt() {
    if (overlayCheck->isChecked())
        NewImage();
    else
        reset();
}

void ZVektoolChildWindow::reset() {
    brightSlider->setValue(0);
    warmSlider->setValue(0);
    coolSlider->setValue(0);
    redSlider->setValue(0);
    greenSlider->setValue(0);
    blueSlider->setValue(0);
    windowSlider->setValue(254);
    windowSlider->setValue(255);
    levelSlider->setValue(0);
}

void ZVektoolChildWindow::zoom(int z) {
    const double s = getScaleFromZoom(z);
    if (s <= 0.0) {
        // At this scale the picture has no area.
        imageLabel->resize(0, 0);
        return;
    }
    const QSize size = imageLabel->pixmap(Qt::ReturnByValue).size();
    imageLabel->resize(static_cast<int>(std::lround(size.width() * s)),
                       static_cast<int>(std::lround(size.height() * s)));
}
