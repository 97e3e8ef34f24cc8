// Tests of the image view window: construction and layout, registration,
// the working copy, and the shown picture after each display control.
#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMetaMethod>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>
#include <limits>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"
#include "view_reference.h"

namespace {

QImage shown(ZVektoolChildWindow *w) { return w->imageLabel->pixmap(Qt::ReturnByValue).toImage(); }

struct Cell {
    int row, col, rowSpan, colSpan;
    bool operator==(const Cell &o) const {
        return row == o.row && col == o.col && rowSpan == o.rowSpan && colSpan == o.colSpan;
    }
};
std::ostream &operator<<(std::ostream &os, const Cell &c) {
    return os << "(" << c.row << "," << c.col << " " << c.rowSpan << "x" << c.colSpan << ")";
}

Cell cellOf(QGridLayout *grid, QWidget *w) {
    Cell c{-1, -1, -1, -1};
    const int i = grid->indexOf(w);
    if (i >= 0) grid->getItemPosition(i, &c.row, &c.col, &c.rowSpan, &c.colSpan);
    return c;
}

}  // namespace

class ViewWindowTest : public GuiTest {
protected:
    // Puts image into slot (named name), makes it the Output slot and
    // presses View; answers the window that opened.
    ZVektoolChildWindow *view(ZVEKHDR *image, int slot = 0, const QString &name = "pic") {
        controller->images[slot] = image;
        controller->imageNames[slot] = name;
        mw->outputRadios[slot]->click();
        mw->viewAct->trigger();
        return qobject_cast<ZVektoolChildWindow *>(mw->childWindow(slot));
    }

    // Colour test image: 3 frames of 4 x 2, values with minimum 0 and maximum
    // 255, so the working copy holds the very same values.
    static ZVEKHDR *colourImage(int frames = 3) {
        static const float v[4][8] = {{0, 50, 100, 150, 200, 250, 255, 10},
                                      {20, 40, 60, 80, 100, 120, 140, 160},
                                      {255, 200, 128, 64, 32, 16, 8, 0},
                                      {1, 2, 4, 8, 16, 32, 64, 128}};
        return makeFloat({3, 4, 2, frames}, [](int i) { return v[i / 8][i % 8]; });
    }

    // Every pixel of the image area against the adjusted redraw of the
    // colour image with offsets and contrast.
    void expectAdjusted(ZVektoolChildWindow *w, int dR, int dG, int dB, int level, int window) {
        const QImage img = shown(w);
        const float *p = static_cast<const float *>(w->workImage->vekptr);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                const int i = y * 4 + x;
                EXPECT_EQ(img.pixel(x, y), qRgb(refDisplay(p[i], dR, level, window),
                                                refDisplay(p[8 + i], dG, level, window),
                                                refDisplay(p[16 + i], dB, level, window)))
                    << "pixel (" << x << "," << y << ") offsets " << dR << " " << dG << " " << dB
                    << " level " << level << " window " << window;
            }
    }
};

TEST_F(ViewWindowTest, GreyImageWindowLayout) {
    ZVektoolChildWindow *w = view(makeFloat({2, 6, 2}, [](int i) { return i * 10.0f; }), 2, "bars.png");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "2:bars.png");
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(w->size(), QSize(6 + 330, 320));
    EXPECT_EQ(w->centralWidget(), w->scrollArea);
    EXPECT_EQ(w->scrollArea->widget(), w->imageLabel);
    EXPECT_EQ(w->scrollArea->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(w->scrollArea->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(w->imageLabel->hasScaledContents());
    EXPECT_EQ(w->imageLabel->windowTitle(), "Accumulator");

    // The dock and its three groups.
    EXPECT_EQ(w->operationsDock->windowTitle(), "Operations");
    EXPECT_EQ(w->operationsDock->features(), QDockWidget::NoDockWidgetFeatures);
    EXPECT_EQ(w->dockWidgetArea(w->operationsDock), Qt::RightDockWidgetArea);
    EXPECT_EQ(w->operationsDock->widget(), w->dockBox);
    EXPECT_EQ(w->dockBox->title(), "");
    ASSERT_EQ(w->dockLayout->count(), 3);
    EXPECT_EQ(w->dockLayout->itemAt(0)->widget(), w->displayBox);
    EXPECT_EQ(w->dockLayout->itemAt(1)->widget(), w->rgbBox);
    EXPECT_EQ(w->dockLayout->itemAt(2)->widget(), w->editBox);
    EXPECT_EQ(w->displayBox->title(), "Display");
    EXPECT_EQ(w->rgbBox->title(), "RGB");
    EXPECT_EQ(w->editBox->title(), "Edit");

    // Toolbar and actions.
    EXPECT_EQ(w->editToolBar->windowTitle(), "Edit");
    QStringList texts;
    for (QAction *a : w->editToolBar->actions()) texts << a->text();
    EXPECT_EQ(texts, QStringList({"Profiler OFF", "Histogram Off", "Reset", "Save", "SaveWorkingImage"}));

    // Grid positions: captions column 0, sliders 2 over 7 columns, spin boxes 9.
    struct Row {
        QGridLayout *grid;
        int row;
        QLabel *label;
        const char *caption;
        QSlider *slider;
        QSpinBox *spin;
    };
    const Row rows[] = {
        {w->displayLayout, 0, w->frameLabel, "Frame No", nullptr, w->frameSpin},
        {w->displayLayout, 1, w->brightLabel, "Bright", w->brightSlider, w->brightSpin},
        {w->displayLayout, 2, w->warmLabel, "Warm", w->warmSlider, w->warmSpin},
        {w->displayLayout, 3, w->coolLabel, "Cool", w->coolSlider, w->coolSpin},
        {w->rgbLayout, 0, w->redLabel, "Red", w->redSlider, w->redSpin},
        {w->rgbLayout, 1, w->greenLabel, "Green", w->greenSlider, w->greenSpin},
        {w->rgbLayout, 2, w->blueLabel, "Blue", w->blueSlider, w->blueSpin},
        {w->editLayout, 0, w->zoomLabel, "Zoom", w->zoomSlider, w->zoomSpin},
        {w->editLayout, 1, w->levelLabel, "contrLevel", w->levelSlider, w->levelSpin},
        {w->editLayout, 2, w->windowLabel, "contrWindow", w->windowSlider, w->windowSpin},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(r.label->text(), r.caption);
        EXPECT_EQ(r.label->font().pointSize(), 10) << r.caption;
        EXPECT_EQ(cellOf(r.grid, r.label), (Cell{r.row, 0, 1, 1})) << r.caption;
        EXPECT_EQ(cellOf(r.grid, r.spin), (Cell{r.row, 9, 1, 1})) << r.caption;
        if (r.slider) {
            EXPECT_EQ(cellOf(r.grid, r.slider), (Cell{r.row, 2, 1, 7})) << r.caption;
            EXPECT_EQ(r.slider->orientation(), Qt::Horizontal);
        }
        if (r.spin != w->frameSpin) {
            EXPECT_EQ(r.spin->maximumWidth(), 45) << r.caption;
            EXPECT_EQ(r.spin->font().pointSize(), 10) << r.caption;
        }
    }
    EXPECT_EQ(cellOf(w->displayLayout, w->colorCheck), (Cell{0, 5, 1, 1}));
    EXPECT_EQ(cellOf(w->displayLayout, w->overlayCheck), (Cell{0, 7, 1, 1}));
    EXPECT_EQ(w->colorCheck->text(), "Color");
    EXPECT_TRUE(w->colorCheck->isChecked());
    EXPECT_FALSE(w->colorCheck->autoExclusive());
    EXPECT_EQ(w->colorCheck->toolTip(),
              "If checked, 3 frame images will be displayed as color\n else as a set of frames.");
    EXPECT_EQ(w->overlayCheck->text(), "Overlay");
    EXPECT_FALSE(w->overlayCheck->isChecked());
    EXPECT_EQ(w->overlayCheck->toolTip(), "If checked, the 4th frame will be overlayed.");
    EXPECT_EQ(w->frameSpin->toolTip(), "Select frame to be displayed (if not displaying color)");
    EXPECT_FALSE(w->frameSpin->isEnabled());
    EXPECT_EQ(w->frameSpin->minimum(), 0);
    EXPECT_EQ(w->frameSpin->maximum(), 0);

    // Ranges, start values and steps.
    struct Range {
        QAbstractSlider *s;
        int lo, hi, value, step;
    };
    for (const auto &r : {Range{w->brightSlider, -255, 255, 0, 10}, Range{w->warmSlider, -255, 255, 0, 10},
                          Range{w->coolSlider, -255, 255, 0, 10}, Range{w->redSlider, -255, 255, 0, 10},
                          Range{w->greenSlider, -255, 255, 0, 1}, Range{w->blueSlider, -255, 255, 0, 1},
                          Range{w->zoomSlider, -255, 255, 0, 10}, Range{w->levelSlider, 0, 127, 0, 10},
                          Range{w->windowSlider, 0, 255, 128, 10}}) {
        EXPECT_EQ(r.s->minimum(), r.lo) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->maximum(), r.hi) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->value(), r.value) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->singleStep(), r.step) << r.s->objectName().toStdString();
    }
    struct SpinRange {
        QSpinBox *s;
        int lo, hi, value, step;
    };
    for (const auto &r : {SpinRange{w->brightSpin, -255, 255, 0, 10}, SpinRange{w->warmSpin, -255, 255, 0, 10},
                          SpinRange{w->coolSpin, -255, 255, 0, 10}, SpinRange{w->redSpin, -255, 255, 0, 10},
                          SpinRange{w->greenSpin, -255, 255, 0, 10}, SpinRange{w->blueSpin, -255, 255, 0, 10},
                          SpinRange{w->zoomSpin, -255, 255, 0, 10}, SpinRange{w->levelSpin, 0, 127, 0, 10},
                          SpinRange{w->windowSpin, 0, 255, 255, 10}, SpinRange{w->frameSpin, 0, 0, 0, 1}}) {
        EXPECT_EQ(r.s->minimum(), r.lo) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->maximum(), r.hi) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->value(), r.value) << r.s->objectName().toStdString();
        EXPECT_EQ(r.s->singleStep(), r.step) << r.s->objectName().toStdString();
    }

    // A two-dimensional image: no colour controls.
    for (QWidget *c : std::initializer_list<QWidget *>{w->warmSlider, w->warmSpin, w->coolSlider, w->coolSpin,
                                                        w->redSlider, w->redSpin, w->greenSlider, w->greenSpin,
                                                        w->blueSlider, w->blueSpin})
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_TRUE(w->brightSlider->isEnabled());
    EXPECT_TRUE(w->zoomSlider->isEnabled());
    EXPECT_FALSE(w->profileMode);
    EXPECT_FALSE(w->histogramMode);
    EXPECT_EQ(w->currentFrame, 0);
    EXPECT_TRUE(w->pathCols.isEmpty());
    EXPECT_TRUE(w->pathRows.isEmpty());

    // The window slider and its spin box agree from their first change on.
    w->windowSlider->setValue(100);
    EXPECT_EQ(w->windowSpin->value(), 100);
    w->windowSpin->setValue(90);
    EXPECT_EQ(w->windowSlider->value(), 90);
}

TEST_F(ViewWindowTest, ColourWindowControlsAndSizes) {
    ZVektoolChildWindow *w = view(colourImage());
    ASSERT_NE(w, nullptr);
    for (QWidget *c : std::initializer_list<QWidget *>{w->warmSlider, w->coolSpin, w->redSlider, w->greenSpin,
                                                        w->blueSlider})
        EXPECT_TRUE(c->isEnabled());
    EXPECT_EQ(w->frameSpin->maximum(), 2);
    EXPECT_FALSE(w->frameSpin->isEnabled());
    w->colorCheck->setChecked(false);
    EXPECT_TRUE(w->frameSpin->isEnabled());

    // Window size: 1024 columns -> 1354 x 320, 1025 -> 1280 x 320.
    ZVektoolChildWindow *a = view(makeFloat({2, 1024, 1}, [](int i) { return float(i); }), 4);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size(), QSize(1354, 320));
    ZVektoolChildWindow *b = view(makeFloat({2, 1025, 1}, [](int i) { return float(i); }), 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size(), QSize(1280, 320));
}

TEST_F(ViewWindowTest, CaptureTogglesChangeTheirTexts) {
    ZVektoolChildWindow *w = view(colourImage());
    ASSERT_NE(w, nullptr);
    w->profileAct->trigger();
    EXPECT_TRUE(w->profileMode);
    EXPECT_EQ(w->profileAct->iconText(), "Profiler ON");
    w->profileAct->trigger();
    EXPECT_FALSE(w->profileMode);
    EXPECT_EQ(w->profileAct->iconText(), "Profiler OFF");
    EXPECT_EQ(w->histogramAct->text(), "Histogram Off");
    w->histogramAct->trigger();
    EXPECT_TRUE(w->histogramMode);
    EXPECT_EQ(w->histogramAct->iconText(), "Histogram ON");
    w->histogramAct->trigger();
    EXPECT_FALSE(w->histogramMode);
    EXPECT_EQ(w->histogramAct->iconText(), "Histogram OFF");
}

TEST_F(ViewWindowTest, RegistrationAndClosing) {
    ZVektoolChildWindow *first = view(colourImage(), 3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(mw->getIndexFromChildPtr(first), 3);
    EXPECT_EQ(first->parentWidget(), mw);
    // View again: the earlier window goes, one window stays.
    QPointer<ZVektoolChildWindow> old(first);
    mw->viewAct->trigger();
    EXPECT_TRUE(old.isNull());
    auto *second = qobject_cast<ZVektoolChildWindow *>(mw->childWindow(3));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(mw->findChildren<ZVektoolChildWindow *>().size(), 1);
    // Closing removes it from the register.
    QPointer<ZVektoolChildWindow> s(second);
    second->close();
    pumpEvents(50);
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ(mw->childWindow(3), nullptr);
    EXPECT_EQ(mw->getIndexFromChildPtr(static_cast<void *>(second)), -1);
    // Viewing again opens a fresh window.
    mw->viewAct->trigger();
    EXPECT_NE(mw->childWindow(3), nullptr);
    // An empty Output slot opens nothing; a complex image is refused.
    mw->outputRadios[6]->click();
    mw->viewAct->trigger();
    EXPECT_EQ(mw->childWindow(6), nullptr);
    EXPECT_TRUE(ui.messages.empty());
    controller->images[6] = Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0);
    mw->updateAccessability();
    mw->viewAct->trigger();
    EXPECT_EQ(mw->childWindow(6), nullptr);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Complex images cannot be viewed. Use complex pull down");
    Zvekfree(controller->images[6], 7);
    controller->images[6] = Zvekcreate("64cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0);
    mw->viewAct->trigger();
    EXPECT_EQ(mw->childWindow(6), nullptr);
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(ViewWindowTest, WorkingCopyScaling) {
    // 0..110 in steps of 10: working copy 255 * v / 110 in single precision.
    ZVektoolChildWindow *w = view(makeFloat({2, 6, 2}, [](int i) { return i * 10.0f; }));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->hasWorkingCopy());
    EXPECT_EQ(w->dataMax, 110.0f);
    EXPECT_EQ(w->dataMin, 0.0f);
    const float *p = static_cast<const float *>(w->workImage->vekptr);
    EXPECT_EQ(p[0], 0.0f);
    EXPECT_EQ(p[11], 255.0f);
    EXPECT_FLOAT_EQ(p[2], 46.363636f);
    EXPECT_FLOAT_EQ(p[5], 115.90909f);
    // The first picture is the plain redraw: truncated values, grey.
    const QImage img = shown(w);
    EXPECT_EQ(img.width(), 8);
    EXPECT_EQ(img.pixel(2, 0), qRgb(46, 46, 46));
    EXPECT_EQ(img.pixel(5, 0), qRgb(115, 115, 115));
    EXPECT_EQ(img.pixel(5, 1), qRgb(255, 255, 255));
    // Columns beyond the image keep what they held through every redraw.
    const QRgb pad6 = img.pixel(6, 1), pad7 = img.pixel(7, 0);
    w->brightSlider->setValue(60);
    w->levelSlider->setValue(3);
    EXPECT_EQ(shown(w).pixel(6, 1), pad6);
    EXPECT_EQ(shown(w).pixel(7, 0), pad7);
    EXPECT_NE(shown(w).pixel(2, 0), img.pixel(2, 0));
    // The slot image is not changed.
    EXPECT_EQ(static_cast<float *>(controller->images[0]->vekptr)[5], 50.0f);
}

TEST_F(ViewWindowTest, BrScaleRulesAndExtremes) {
    using W = ZVektoolChildWindow;
    ZVEKHDR *in = makeFloat({2, 2, 2}, [](int i) { return 2.0e8f + i * 1.0e8f; });
    ZVEKHDR *out = makeFloat({2, 2, 2});
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 2, 2}.data(), 11, 0);
    float mx = 0, mn = 0;
    EXPECT_EQ(W::BrScale(bytes, out, 255, 0, &mx, &mn), -1);
    EXPECT_EQ(W::BrScale(in, bytes, 255, 0, &mx, &mn), -2);
    EXPECT_EQ(W::BrScale(in, out, 0, 255, &mx, &mn), -3);
    EXPECT_EQ(mx, 0.0f);
    // Every value above 1e8: the minimum stays at its start, 1e8.
    EXPECT_EQ(W::BrScale(in, out, 255, 0, &mx, &mn), 0);
    EXPECT_EQ(mn, 1.0e8f);
    EXPECT_EQ(mx, 5.0e8f);
    const float *o = static_cast<const float *>(out->vekptr);
    // (255 * (2e8 - 1e8)) / 4e8 = 63.75.
    EXPECT_EQ(o[0], 63.75f);
    EXPECT_EQ(o[3], 255.0f);
    // A constant image gives all zero.
    float *q = static_cast<float *>(in->vekptr);
    for (int i = 0; i < 4; ++i) q[i] = 7;
    EXPECT_EQ(W::BrScale(in, out, 255, 0, &mx, &mn), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(o[i], 0.0f);
    EXPECT_EQ(mx, 7.0f);
    EXPECT_EQ(mn, 7.0f);
    // Extremes beyond the single-precision range of the products.
    q[0] = -3.0e38f, q[1] = 3.0e38f, q[2] = 0, q[3] = 1.5e38f;
    EXPECT_EQ(W::BrScale(in, out, 255, 0, &mx, &mn), 0);
    EXPECT_EQ(o[0], 0.0f);
    EXPECT_EQ(o[1], 255.0f);
    EXPECT_EQ(o[2], 127.5f);
    EXPECT_EQ(o[3], 191.25f);
    // Non-finite values: extremes over finite values only.
    q[0] = std::nanf(""), q[1] = 10, q[2] = std::numeric_limits<float>::infinity(), q[3] = 20;
    EXPECT_EQ(W::BrScale(in, out, 255, 0, &mx, &mn), 0);
    EXPECT_EQ(mx, 20.0f);
    EXPECT_EQ(mn, 10.0f);
    EXPECT_EQ(o[0], 0.0f);
    EXPECT_EQ(o[1], 0.0f);
    EXPECT_EQ(o[2], 255.0f);
    EXPECT_EQ(o[3], 255.0f);
    Zvekfree(in, 7);
    Zvekfree(out, 7);
    Zvekfree(bytes, 7);

    EXPECT_EQ(W::ZvekBound(0, -3, 255), 0);
    EXPECT_EQ(W::ZvekBound(0, 300, 255), 255);
    EXPECT_EQ(W::ZvekBound(0, 17.5, 255), 17.5);
    EXPECT_EQ(W::getScaleFromZoom(0), 1.0);
    EXPECT_EQ(W::getScaleFromZoom(20), 2.0);
    EXPECT_EQ(W::getScaleFromZoom(-50), 0.5);
    EXPECT_EQ(W::getScaleFromZoom(-100), 0.0);
}

TEST_F(ViewWindowTest, AdjustedRedrawsOfAColourImage) {
    ZVektoolChildWindow *w = view(colourImage());
    ASSERT_NE(w, nullptr);
    const QImage first = shown(w);
    // Plain colour redraw at the start, without the window slider's 128.
    EXPECT_EQ(first.pixel(0, 0), qRgb(0, 20, 255));
    EXPECT_EQ(first.pixel(2, 1), qRgb(255, 140, 8));

    // Bright +10: every channel offset 10, level 0, window 128. By hand:
    // red 50 -> 60 * 255 / 128 = 119.5 -> 119; green 20 -> 30 -> 59.76 -> 59;
    // blue 255 -> 255 bounded -> 508 bounded -> 255.
    w->brightSlider->setValue(10);
    EXPECT_EQ(shown(w).pixel(1, 0), qRgb(119, 99, 255));
    EXPECT_EQ(shown(w).pixel(0, 0), qRgb(19, 59, 255));
    expectAdjusted(w, 10, 10, 10, 0, 128);
    EXPECT_EQ(w->redSlider->value(), 10);
    EXPECT_EQ(w->greenSlider->value(), 10);
    EXPECT_EQ(w->blueSlider->value(), 10);
    EXPECT_EQ(w->redSpin->value(), 10);

    // Warm +30: red and green 40, blue 10.
    w->warmSpin->setValue(30);
    expectAdjusted(w, 40, 40, 10, 0, 128);
    EXPECT_EQ(w->redSlider->value(), 40);
    EXPECT_EQ(w->greenSlider->value(), 40);
    EXPECT_EQ(w->blueSlider->value(), 10);
    // Cool -40: blue -30.
    w->coolSlider->setValue(-40);
    expectAdjusted(w, 40, 40, -30, 0, 128);
    EXPECT_EQ(w->blueSpin->value(), -30);

    // The red slider moves red only; green and blue take the combination.
    w->redSlider->setValue(-100);
    expectAdjusted(w, -100, 40, -30, 0, 128);
    w->greenSlider->setValue(5);
    expectAdjusted(w, 40, 5, -30, 0, 128);
    w->blueSpin->setValue(77);
    expectAdjusted(w, 40, 40, 77, 0, 128);
    EXPECT_EQ(w->lastBOffset, 77);
    w->redSlider->setValue(40);
    expectAdjusted(w, 40, 40, -30, 0, 128);

    // Window 100: the level ranges over 0..155; the redraw takes the three
    // colour sliders (40, 5, 77).
    w->windowSlider->setValue(100);
    EXPECT_EQ(w->levelSlider->maximum(), 155);
    EXPECT_EQ(w->levelSpin->maximum(), 155);
    expectAdjusted(w, 40, 5, 77, 0, 100);
    w->levelSpin->setValue(50);
    expectAdjusted(w, 40, 5, 77, 50, 100);
    // By hand: red 100 + 40 = 140, (140 - 50) * 255 / 100 = 229.5 -> 229.
    EXPECT_EQ(qRed(shown(w).pixel(2, 0)), 229);

    // Reset: everything neutral, window 255, level 0: the working copy's
    // values truncated.
    w->resetAct->trigger();
    EXPECT_EQ(w->brightSlider->value(), 0);
    EXPECT_EQ(w->warmSlider->value(), 0);
    EXPECT_EQ(w->coolSlider->value(), 0);
    EXPECT_EQ(w->redSlider->value(), 0);
    EXPECT_EQ(w->greenSlider->value(), 0);
    EXPECT_EQ(w->blueSlider->value(), 0);
    EXPECT_EQ(w->windowSlider->value(), 255);
    EXPECT_EQ(w->windowSpin->value(), 255);
    EXPECT_EQ(w->levelSlider->value(), 0);
    EXPECT_EQ(w->levelSlider->maximum(), 0);
    EXPECT_EQ(shown(w), first.copy()) << "reset shows the plain values again";
}

TEST_F(ViewWindowTest, ContrastWindowZeroAndResetFromTheTop) {
    // reset() steps the window through 254 even when it already stands at
    // 255 and every other control is neutral: the adjusted redraw replaces a
    // single-frame picture.
    ZVektoolChildWindow *c = view(colourImage(), 1);
    ASSERT_NE(c, nullptr);
    c->windowSlider->setValue(255);
    c->colorCheck->blockSignals(true);
    c->colorCheck->setChecked(false);
    c->colorCheck->blockSignals(false);
    c->NewFrame(0);
    EXPECT_EQ(shown(c).pixel(0, 0), qRgb(0, 0, 0));
    c->resetAct->trigger();
    EXPECT_EQ(shown(c).pixel(0, 0), qRgb(0, 20, 255));

    ZVektoolChildWindow *w = view(makeFloat({2, 4, 1}, [](int i) { return std::vector<float>{0, 100, 100.5f, 255}[i]; }));
    ASSERT_NE(w, nullptr);
    // Window 0 at level 100: at or below the level 0, above it 255.
    w->windowSlider->setValue(0);
    w->levelSlider->setValue(100);
    const QImage img = shown(w);
    EXPECT_EQ(qRed(img.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(img.pixel(1, 0)), 0);
    EXPECT_EQ(qRed(img.pixel(2, 0)), 255);
    EXPECT_EQ(qRed(img.pixel(3, 0)), 255);
    // Bright +255 on a grey image: only the red offset applies, as grey.
    w->resetAct->trigger();
    w->brightSlider->setValue(255);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(shown(w).pixel(x, 0), qRgb(255, 255, 255));
    EXPECT_EQ(w->lastROffset, 255);
}

TEST_F(ViewWindowTest, BrightStepKeepsTheFinalStateOfEveryRedraw) {
    ZVektoolChildWindow *w = view(colourImage());
    ASSERT_NE(w, nullptr);
    // Bright 100 then warm 255: the first redraw uses (355, 355, 100); the
    // red slider stops at 255 and redraws with (255, 355, 100), the green one
    // with (355, 255, 100), which is the last redraw and what is kept.
    w->brightSlider->setValue(100);
    w->warmSlider->setValue(255);
    EXPECT_EQ(w->redSlider->value(), 255);
    EXPECT_EQ(w->greenSlider->value(), 255);
    EXPECT_EQ(w->blueSlider->value(), 100);
    EXPECT_EQ(w->lastROffset, 355);
    EXPECT_EQ(w->lastGOffset, 255);
    EXPECT_EQ(w->lastBOffset, 100);
    expectAdjusted(w, 355, 255, 100, 0, 128);
    // Bright 255: (510, 510, 255); only the blue slider moves.
    w->brightSlider->setValue(255);
    EXPECT_EQ(w->lastROffset, 510);
    EXPECT_EQ(w->lastGOffset, 510);
    EXPECT_EQ(w->lastBOffset, 255);
    EXPECT_EQ(w->blueSlider->value(), 255);
    expectAdjusted(w, 510, 510, 255, 0, 128);
}

TEST_F(ViewWindowTest, FrameChoiceAndOverlay) {
    ZVektoolChildWindow *w = view(colourImage(4));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->frameSpin->maximum(), 3);
    // Overlay: red XOR the truncated fourth frame.
    w->overlayCheck->setChecked(true);
    QImage img = shown(w);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0 ^ 1, 20, 255));
    EXPECT_EQ(img.pixel(3, 0), qRgb(150 ^ 8, 80, 64));
    EXPECT_EQ(img.pixel(2, 1), qRgb(255 ^ 64, 140, 8));
    // The next adjustment shows the image without it.
    w->brightSlider->setValue(10);
    expectAdjusted(w, 10, 10, 10, 0, 128);
    // Unchecking the overlay resets.
    w->overlayCheck->setChecked(false);
    EXPECT_EQ(w->brightSlider->value(), 0);
    EXPECT_EQ(shown(w).pixel(0, 0), qRgb(0, 20, 255));

    // Single frames in grey.
    w->colorCheck->setChecked(false);
    EXPECT_TRUE(w->frameSpin->isEnabled());
    EXPECT_EQ(shown(w).pixel(1, 0), qRgb(50, 50, 50));
    w->frameSpin->setValue(2);
    EXPECT_EQ(w->currentFrame, 2);
    EXPECT_EQ(shown(w).pixel(1, 0), qRgb(200, 200, 200));
    w->frameSpin->setValue(3);
    EXPECT_EQ(shown(w).pixel(3, 1), qRgb(128, 128, 128));
    EXPECT_EQ(w->currentFrame, 3);
    // An adjustment still shows the colour frames (the window stands at 255
    // since the reset).
    w->brightSlider->setValue(-10);
    expectAdjusted(w, -10, -10, -10, 0, 255);
    // Colour again: frame choice off, controls reset.
    w->colorCheck->setChecked(true);
    EXPECT_FALSE(w->frameSpin->isEnabled());
    EXPECT_EQ(w->brightSlider->value(), 0);
}

TEST_F(ViewWindowTest, ZoomSizesTheLabel) {
    ZVektoolChildWindow *w = view(makeFloat({2, 10, 6}, [](int i) { return float(i); }));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->imageLabel->size(), QSize(12, 6));
    w->zoomSlider->setValue(20);
    EXPECT_EQ(w->imageLabel->size(), QSize(24, 12));
    w->zoomSpin->setValue(-50);
    EXPECT_EQ(w->imageLabel->size(), QSize(6, 3));
    w->zoomSlider->setValue(5);  // 1.25: 15 x 7.5 -> 15 x 8
    EXPECT_EQ(w->imageLabel->size(), QSize(15, 8));
    // A redraw keeps the label's size and the pixmap's.
    w->brightSlider->setValue(30);
    EXPECT_EQ(w->imageLabel->size(), QSize(15, 8));
    EXPECT_EQ(w->imageLabel->pixmap(Qt::ReturnByValue).size(), QSize(12, 6));
    w->zoomSlider->setValue(-100);
    EXPECT_EQ(w->imageLabel->size(), QSize(0, 0));
    w->zoomSlider->setValue(-255);
    EXPECT_EQ(w->imageLabel->size(), QSize(0, 0));
    w->zoomSlider->setValue(0);
    EXPECT_EQ(w->imageLabel->size(), QSize(12, 6));
}

TEST_F(ViewWindowTest, ImagesOutsideTheColourCase) {
    // Two frames: grey from frame 0 in every redraw, nothing read beyond.
    ZVektoolChildWindow *two = view(makeFloat({3, 4, 1, 2}, [](int i) { return float(i * 30); }), 1);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->frameSpin->maximum(), 1);
    // Values 0..210: working copy 0, 36.43, 72.86, 109.29.
    EXPECT_EQ(shown(two).pixel(1, 0), qRgb(36, 36, 36));
    two->brightSlider->setValue(20);
    const float *p = static_cast<const float *>(two->workImage->vekptr);
    for (int x = 0; x < 4; ++x) {
        const int g = refDisplay(p[x], 20, 0, 128);
        EXPECT_EQ(shown(two).pixel(x, 0), qRgb(g, g, g));
    }
    two->overlayCheck->setChecked(true);
    EXPECT_EQ(shown(two).pixel(2, 0), qRgb(72, 72, 72));

    // One dimension: one row.
    ZVektoolChildWindow *line = view(makeFloat({1, 5}, [](int i) { return float(i); }), 2);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->imageLabel->size(), QSize(8, 1));
    EXPECT_EQ(shown(line).pixel(4, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shown(line).pixel(2, 0), qRgb(127, 127, 127));
    line->brightSlider->setValue(-255);
    EXPECT_EQ(shown(line).pixel(4, 0), qRgb(0, 0, 0));

    // A slot image that is not "float": no working copy, black, and it
    // stays black under every control.
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 4, 2}.data(), 11, 0);
    std::memset(bytes->vekptr, 200, 8);
    ZVektoolChildWindow *u8 = view(bytes, 3);
    ASSERT_NE(u8, nullptr);
    EXPECT_FALSE(u8->hasWorkingCopy());
    EXPECT_EQ(u8->dataMax, 0.0f);
    EXPECT_EQ(u8->dataMin, 0.0f);
    EXPECT_EQ(u8->matchingSlotImage(3), nullptr);
    u8->brightSlider->setValue(100);
    u8->colorCheck->setChecked(false);
    const QImage black = shown(u8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(black.pixel(x, y), qRgb(0, 0, 0));
}

TEST_F(ViewWindowTest, NonFiniteValuesAndReplacedSlotImages) {
    const float inf = std::numeric_limits<float>::infinity();
    ZVektoolChildWindow *w =
        view(makeFloat({2, 4, 1}, [&](int i) { return std::vector<float>{std::nanf(""), 10, inf, -inf}[i]; }));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->dataMax, 10.0f);
    EXPECT_EQ(w->dataMin, 10.0f);
    const float *p = static_cast<const float *>(w->workImage->vekptr);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(p[i])) << i;
    QImage img = shown(w);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(2, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(3, 0), qRgb(0, 0, 0));
    w->brightSlider->setValue(-5);
    EXPECT_EQ(shown(w).pixel(2, 0), qRgb(255, 255, 255));

    // The slot image as the window knows it, and not after a change of shape.
    EXPECT_EQ(w->matchingSlotImage(0), controller->images[0]);
    EXPECT_EQ(w->matchingSlotImage(1), nullptr);
    Zvekfree(controller->images[0], 7);
    controller->images[0] = makeFloat({2, 5, 1});
    EXPECT_EQ(w->matchingSlotImage(0), nullptr);
    Zvekfree(controller->images[0], 7);
    controller->images[0] = nullptr;
    EXPECT_EQ(w->matchingSlotImage(0), nullptr);
    // Redraws only ever read the working copy.
    w->brightSlider->setValue(40);
    w->resetAct->trigger();
}

namespace {
void *(*savedAlloc)(size_t, size_t) = nullptr;
size_t failingSize = 0;
void *failSomeAllocations(size_t n, size_t size) { return n * size == failingSize ? nullptr : savedAlloc(n, size); }
}  // namespace

TEST_F(ViewWindowTest, WorkingCopyThatCannotBeMadeShowsBlack) {
    // The working copy's data block (8 x 4 x 3 floats) cannot be allocated.
    ZVEKHDR *image = makeFloat({3, 8, 4, 3}, [](int i) { return float(i % 50); });
    savedAlloc = Zvek_alcptr;
    failingSize = 8 * 4 * 3 * sizeof(float);
    Zvek_alcptr = failSomeAllocations;
    testing::internal::CaptureStderr();
    ZVektoolChildWindow *w = view(image, 4);
    const std::string err = testing::internal::GetCapturedStderr();
    Zvek_alcptr = savedAlloc;
    ASSERT_NE(w, nullptr);
    EXPECT_NE(err.find("Zvekcreate:  can't allocate space for image data"), std::string::npos) << err;
    EXPECT_EQ(w->workImage, nullptr);
    EXPECT_FALSE(w->hasWorkingCopy());
    EXPECT_EQ(w->dataMax, 0.0f);
    EXPECT_EQ(w->dataMin, 0.0f);
    EXPECT_EQ(w->matchingSlotImage(4), nullptr);
    auto allBlack = [&] {
        const QImage img = shown(w);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != qRgb(0, 0, 0)) return false;
        return true;
    };
    EXPECT_TRUE(allBlack());
    w->brightSlider->setValue(100);
    w->windowSlider->setValue(0);
    w->overlayCheck->setChecked(true);
    w->colorCheck->setChecked(false);
    w->frameSpin->setValue(1);
    w->resetAct->trigger();
    EXPECT_TRUE(allBlack());
    // "struct" images have no picture and no working copy either.
    ZVEKHDR *st = Zvekcreate("struct", std::vector<int32_t>{2, 6, 3}.data(), 11, 4);
    ZVektoolChildWindow *s = view(st, 5);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(s->hasWorkingCopy());
    EXPECT_EQ(shown(s).size(), QSize(8, 3));
    EXPECT_EQ(shown(s).pixel(7, 2), qRgb(0, 0, 0));
}

TEST_F(ViewWindowTest, SlotsInTheirDeclaredOrder) {
    ZVektoolChildWindow *w = view(colourImage());
    ASSERT_NE(w, nullptr);
    const QMetaObject *mo = w->metaObject();
    QStringList slotNames;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        if (mo->method(i).methodType() == QMetaMethod::Slot) slotNames << QString(mo->method(i).methodSignature());
    EXPECT_EQ(slotNames, QStringList({"bright(int)", "warm(int)", "cool(int)", "changeR(int)", "changeG(int)",
                                  "changeB(int)", "zoom(int)", "level()", "window()", "profile()", "histogram()",
                                  "saveBuffer()", "save()", "reset()", "NewFrame(int)", "NewImage()", "checkIt()",
                                  "overlayIt()"}));
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        EXPECT_NE(mo->method(i).methodType(), QMetaMethod::Signal) << mo->method(i).methodSignature().constData();
}

TEST_F(ViewWindowTest, NineFramesShowTheFirstThreeInColour) {
    // 4 x 1 pixels, 9 frames; frame f holds 10 f + column, so the values
    // span 0..83 and the working copy is 255 (10 f + c) / 83.
    ZVektoolChildWindow *w =
        view(makeFloat({3, 4, 1, 9}, [](int i) { return float(10 * (i / 4) + i % 4); }), 6, "nine");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->frameSpin->maximum(), 8);
    EXPECT_EQ(w->dataMax, 83.0f);
    EXPECT_EQ(w->dataMin, 0.0f);
    auto work = [](int f, int c) { return static_cast<int>((255.0f * float(10 * f + c)) / 83.0f); };
    // The working copy by hand: (255 * 13) / 83 = 39.94, (255 * 21) / 83 = 64.5.
    EXPECT_EQ(work(1, 3), 39);
    EXPECT_EQ(work(2, 1), 64);
    // Frames 0, 1 and 2 as red, green and blue, although View's picture of
    // such an image is grey.
    for (int c = 0; c < 4; ++c) EXPECT_EQ(shown(w).pixel(c, 0), qRgb(work(0, c), work(1, c), work(2, c))) << c;
    // Single frames in grey, up to the last one.
    w->colorCheck->setChecked(false);
    EXPECT_EQ(shown(w).pixel(2, 0), qRgb(work(0, 2), work(0, 2), work(0, 2)));
    w->frameSpin->setValue(8);
    EXPECT_EQ(w->currentFrame, 8);
    EXPECT_EQ(shown(w).pixel(3, 0), qRgb(255, 255, 255));
    EXPECT_EQ(shown(w).pixel(0, 0), qRgb(work(8, 0), work(8, 0), work(8, 0)));
    w->frameSpin->setValue(9);  // beyond the image: the spin box stops at 8
    EXPECT_EQ(w->frameSpin->value(), 8);

    // A 3-D image of one frame is grey, its colour controls enabled but only
    // the red offset applies.
    ZVektoolChildWindow *one = view(makeFloat({3, 4, 1, 1}, [](int i) { return float(i * 85); }), 7);
    ASSERT_NE(one, nullptr);
    EXPECT_TRUE(one->redSlider->isEnabled());
    EXPECT_EQ(one->frameSpin->maximum(), 0);
    EXPECT_EQ(shown(one).pixel(1, 0), qRgb(85, 85, 85));
    one->windowSlider->setValue(255);
    one->blueSpin->setValue(100);
    // Red offset 0 (bright 0): the plain values.
    EXPECT_EQ(shown(one).pixel(2, 0), qRgb(170, 170, 170));
    one->redSlider->setValue(-100);
    EXPECT_EQ(shown(one).pixel(2, 0), qRgb(70, 70, 70));
}

TEST_F(ViewWindowTest, BrScaleChecksTypesBeforeTheRange) {
    using W = ZVektoolChildWindow;
    ZvekImagePtr bytes(Zvekcreate("u8bit", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    ZvekImagePtr cpx(Zvekcreate("32cmp", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    ZvekImagePtr in(makeFloat({2, 2, 2}, [](int i) { return float(i); }));
    ZvekImagePtr out(makeFloat({2, 2, 2}, [](int) { return 9.0f; }));
    float mx = -7, mn = -7;
    // Input type first, then output type, then lo > hi; nothing is stored
    // on a refusal.
    EXPECT_EQ(W::BrScale(bytes.get(), bytes.get(), 0, 255, &mx, &mn), -1);
    EXPECT_EQ(W::BrScale(cpx.get(), out.get(), 255, 0, &mx, &mn), -1);
    EXPECT_EQ(W::BrScale(in.get(), cpx.get(), 0, 255, &mx, &mn), -2);
    EXPECT_EQ(W::BrScale(nullptr, out.get(), 255, 0, &mx, &mn), -1);
    EXPECT_EQ(mx, -7.0f);
    EXPECT_EQ(mn, -7.0f);
    EXPECT_EQ(static_cast<float *>(out->vekptr)[0], 9.0f);
    // Another range than 0..255: 10 + (20 * (v - 0)) / 3.
    EXPECT_EQ(W::BrScale(in.get(), out.get(), 30, 10, &mx, &mn), 0);
    const float *o = static_cast<const float *>(out->vekptr);
    EXPECT_EQ(o[0], 10.0f);
    EXPECT_EQ(o[1], 10.0f + 20.0f / 3.0f);
    EXPECT_EQ(o[3], 30.0f);
    EXPECT_EQ(mx, 3.0f);
    EXPECT_EQ(mn, 0.0f);
}
