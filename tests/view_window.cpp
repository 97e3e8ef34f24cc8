// The view window: its controls, registration, the working copy and the
// shown picture after each display control, for every kind of slot image.
#include <QDockWidget>
#include <QGridLayout>
#include <QGroupBox>
#include <QToolBar>

#include "view_fixture.h"

namespace {

std::vector<int> cell(QGridLayout *grid, QWidget *w) {
    int r = -1, c = -1, rs = -1, cs = -1;
    if (grid->indexOf(w) >= 0) grid->getItemPosition(grid->indexOf(w), &r, &c, &rs, &cs);
    return {r, c, rs, cs};
}

// The picture against the adjusted display of the working copy's first frames.
void expectAdjusted(ZVektoolChildWindow *w, int dR, int dG, int dB, int level, int window, const char *row) {
    const QImage img = w->imageLabel->pixmap(Qt::ReturnByValue).toImage();
    const float *p = static_cast<const float *>(w->workImage->vekptr);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(img.pixel(i % 4, i / 4), qRgb(refDisplay(p[i], dR, level, window), refDisplay(p[8 + i], dG, level, window),
                                                refDisplay(p[16 + i], dB, level, window))) << row << ": pixel " << i;
}

}  // namespace

TEST_F(ViewTest, ControlsTextsAndRanges) {
    ZVektoolChildWindow *w = view(makeFloat({2, 6, 2}, [](int i) { return i * 10.0f; }), 2, false, "bars.png");
    ASSERT_TRUE(w && w->windowTitle() == "2:bars.png" && w->size() == QSize(6 + 330, 320));
    EXPECT_TRUE(w->isVisible() && w->testAttribute(Qt::WA_DeleteOnClose) && w->imageLabel->hasScaledContents());
    EXPECT_TRUE(w->centralWidget() == w->scrollArea && w->scrollArea->widget() == w->imageLabel);
    EXPECT_EQ(w->scrollArea->horizontalScrollBarPolicy() + w->scrollArea->verticalScrollBarPolicy(), 2 * Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(w->imageLabel->windowTitle() == "Accumulator" && w->operationsDock->windowTitle() == "Operations");
    EXPECT_TRUE(w->operationsDock->features() == QDockWidget::NoDockWidgetFeatures &&
                w->dockWidgetArea(w->operationsDock) == Qt::RightDockWidgetArea);
    EXPECT_TRUE(w->operationsDock->widget() == w->dockBox && w->dockBox->layout() == w->dockLayout);
    const std::tuple<QGroupBox *, const char *, QGridLayout *> boxes[] = {
        {w->displayBox, "Display", w->displayLayout}, {w->rgbBox, "RGB", w->rgbLayout}, {w->editBox, "Edit", w->editLayout}};
    ASSERT_EQ(w->dockLayout->count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(w->dockLayout->itemAt(i)->widget() == std::get<0>(boxes[i]) && std::get<0>(boxes[i])->title() == std::get<1>(boxes[i]) &&
                    std::get<0>(boxes[i])->layout() == std::get<2>(boxes[i])) << i;
    QStringList texts = {w->editToolBar->windowTitle()};
    for (QAction *a : w->editToolBar->actions()) texts << a->text();
    EXPECT_EQ(texts, QStringList({"Edit", "Profiler OFF", "Histogram Off", "Reset", "Save", "SaveWorkingImage"}));
    // Caption in column 0, slider from column 2 over 7, spin box in column 9; minimum, maximum, value, step; enabled for 2-D?
    struct Row { QLabel *label; const char *caption; QGridLayout *grid; int row; QSlider *slider; std::vector<int> sliderRange;
                 QSpinBox *spin; std::vector<int> spinRange; bool enabled; };
    const std::vector<int> offset = {-255, 255, 0, 10}, offset1 = {-255, 255, 0, 1};
    const Row rows[] = {
        {w->frameLabel, "Frame No", w->displayLayout, 0, nullptr, {}, w->frameSpin, {0, 0, 0, 1}, false},
        {w->brightLabel, "Bright", w->displayLayout, 1, w->brightSlider, offset, w->brightSpin, offset, true},
        {w->warmLabel, "Warm", w->displayLayout, 2, w->warmSlider, offset, w->warmSpin, offset, false},
        {w->coolLabel, "Cool", w->displayLayout, 3, w->coolSlider, offset, w->coolSpin, offset, false},
        {w->redLabel, "Red", w->rgbLayout, 0, w->redSlider, offset, w->redSpin, offset, false},
        {w->greenLabel, "Green", w->rgbLayout, 1, w->greenSlider, offset1, w->greenSpin, offset, false},
        {w->blueLabel, "Blue", w->rgbLayout, 2, w->blueSlider, offset1, w->blueSpin, offset, false},
        {w->zoomLabel, "Zoom", w->editLayout, 0, w->zoomSlider, offset, w->zoomSpin, offset, true},
        {w->levelLabel, "contrLevel", w->editLayout, 1, w->levelSlider, {0, 127, 0, 10}, w->levelSpin, {0, 127, 0, 10}, true},
        {w->windowLabel, "contrWindow", w->editLayout, 2, w->windowSlider, {0, 255, 128, 10}, w->windowSpin, {0, 255, 255, 10}, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.caption);
        EXPECT_TRUE(r.label->text() == r.caption && r.label->font().pointSize() == 10);
        EXPECT_TRUE(cell(r.grid, r.label) == std::vector<int>({r.row, 0, 1, 1}) && cell(r.grid, r.spin) == std::vector<int>({r.row, 9, 1, 1}));
        EXPECT_EQ(std::vector<int>({r.spin->minimum(), r.spin->maximum(), r.spin->value(), r.spin->singleStep()}), r.spinRange);
        EXPECT_EQ(r.spin->isEnabled(), r.enabled);
        if (r.slider == nullptr) continue;
        EXPECT_EQ(cell(r.grid, r.slider), std::vector<int>({r.row, 2, 1, 7}));
        EXPECT_EQ(std::vector<int>({r.slider->minimum(), r.slider->maximum(), r.slider->value(), r.slider->singleStep()}),
                  r.sliderRange);
        EXPECT_TRUE(r.slider->orientation() == Qt::Horizontal && r.slider->isEnabled() == r.enabled);
        EXPECT_TRUE(r.spin->maximumWidth() == 45 && r.spin->font().pointSize() == 10);
    }
    EXPECT_TRUE(cell(w->displayLayout, w->colorCheck) == std::vector<int>({0, 5, 1, 1}) &&
                cell(w->displayLayout, w->overlayCheck) == std::vector<int>({0, 7, 1, 1}));
    EXPECT_TRUE(w->colorCheck->text() == "Color" && w->colorCheck->isChecked() && !w->colorCheck->autoExclusive());
    EXPECT_EQ(w->colorCheck->toolTip(), "If checked, 3 frame images will be displayed as color\n else as a set of frames.");
    EXPECT_TRUE(w->overlayCheck->text() == "Overlay" && !w->overlayCheck->isChecked());
    EXPECT_EQ(w->overlayCheck->toolTip(), "If checked, the 4th frame will be overlayed.");
    EXPECT_EQ(w->frameSpin->toolTip(), "Select frame to be displayed (if not displaying color)");
    // The capture toggles name their state.
    for (auto [act, on, off] : {std::make_tuple(w->profileAct, "Profiler ON", "Profiler OFF"),
                                std::make_tuple(w->histogramAct, "Histogram ON", "Histogram OFF")}) {
        act->trigger();
        EXPECT_TRUE(act->iconText() == on && w->profileMode != w->histogramMode) << on;
        act->trigger();
        EXPECT_TRUE(act->iconText() == off && !w->profileMode && !w->histogramMode) << off;
    }
    // Colour enables the colour controls, and the frame choice with colour off; up to 1024 columns a window is 330 wider.
    ZVektoolChildWindow *c = view(colourImage(), 3);
    for (QWidget *x : std::initializer_list<QWidget *>{c->warmSlider, c->coolSpin, c->redSlider, c->greenSpin, c->blueSlider, c->levelSpin})
        EXPECT_TRUE(x->isEnabled()) << x->objectName().toStdString();
    EXPECT_TRUE(c->frameSpin->maximum() == 2 && !c->frameSpin->isEnabled());
    c->colorCheck->setChecked(false);
    EXPECT_TRUE(c->frameSpin->isEnabled());
    EXPECT_EQ(view(makeFloat({2, 1024, 1}, [](int i) { return float(i); }), 4)->size(), QSize(1354, 320));
    EXPECT_EQ(view(makeFloat({2, 1025, 1}, [](int i) { return float(i); }), 5)->size(), QSize(1280, 320));
}

TEST_F(ViewTest, ColourDisplayControls) {
    ZVektoolChildWindow *w = view(colourImage());
    const QImage first = shown(w);
    ASSERT_TRUE(first.pixel(0, 0) == qRgb(0, 20, 255) && first.pixel(2, 1) == qRgb(255, 140, 8));
    // Each step: what it does, the offsets and contrast of the picture it leaves, and the red, green and blue sliders after it.
    // The window's spin box starts at 255 and follows the slider from its first change.
    struct Step { const char *name; std::function<void()> act; int r, g, b, level, window, sr, sg, sb; };
    const Step steps[] = {
        {"bright 10", [&] { w->brightSlider->setValue(10); }, 10, 10, 10, 0, 128, 10, 10, 10},
        {"warm spin 30", [&] { w->warmSpin->setValue(30); }, 40, 40, 10, 0, 128, 40, 40, 10},
        {"cool -40", [&] { w->coolSlider->setValue(-40); }, 40, 40, -30, 0, 128, 40, 40, -30},
        {"red -100", [&] { w->redSlider->setValue(-100); }, -100, 40, -30, 0, 128, -100, 40, -30},
        {"green 5", [&] { w->greenSlider->setValue(5); }, 40, 5, -30, 0, 128, -100, 5, -30},
        {"blue spin 77", [&] { w->blueSpin->setValue(77); }, 40, 40, 77, 0, 128, -100, 5, 77},
        {"red 40", [&] { w->redSlider->setValue(40); }, 40, 40, -30, 0, 128, 40, 5, 77},
        {"window 100", [&] { w->windowSlider->setValue(100); }, 40, 5, 77, 0, 100, 40, 5, 77},
        {"level spin 50", [&] { w->levelSpin->setValue(50); }, 40, 5, 77, 50, 100, 40, 5, 77},
        {"reset", [&] { w->resetAct->trigger(); }, 0, 0, 0, 0, 255, 0, 0, 0},
        // The red and green sliders stop at 255; of their redraws the last, (355, 255, 100), is kept.
        {"bright 100 warm 255", [&] { w->brightSlider->setValue(100), w->warmSlider->setValue(255); }, 355, 255, 100, 0, 255,
         255, 255, 100},
        {"warm 254: no slider moves", [&] { w->warmSlider->setValue(254); }, 354, 354, 100, 0, 255, 255, 255, 100},
        {"bright 255", [&] { w->brightSlider->setValue(255); }, 509, 509, 255, 0, 255, 255, 255, 255},
    };
    for (const Step &s : steps) {
        s.act();
        expectAdjusted(w, s.r, s.g, s.b, s.level, s.window, s.name);
        EXPECT_EQ(std::vector<int>({w->lastROffset, w->lastGOffset, w->lastBOffset, w->levelSlider->value(),
                                    w->windowSlider->value(), w->windowSpin->value(), w->levelSlider->maximum(),
                                    w->levelSpin->maximum(), w->redSlider->value(), w->greenSlider->value(),
                                    w->blueSlider->value(), w->redSpin->value(), w->blueSpin->value()}),
                  std::vector<int>({s.r, s.g, s.b, s.level, s.window, s.window == 128 ? 255 : s.window, 255 - s.window,
                                    255 - s.window, s.sr, s.sg, s.sb, s.sr, s.sb})) << s.name;
        EXPECT_TRUE(s.name != std::string("reset") ||
                    (shown(w) == first && (w->brightSlider->value() | w->warmSlider->value() | w->coolSlider->value()) == 0));
    }
    // By hand: bright 10, window 128: red 50 -> 60 x 255 / 128 = 119.5 -> 119, green 40 -> 99.6 -> 99, blue 200 -> 255.
    w->resetAct->trigger(), w->windowSlider->setValue(128), w->brightSlider->setValue(10);
    EXPECT_EQ(shown(w).pixel(1, 0), qRgb(119, 99, 255));
    // Reset steps the window through 254 even from 255, so the adjusted redraw replaces a single frame shown in grey.
    ZVektoolChildWindow *c = view(colourImage(), 1);
    c->windowSlider->setValue(255), c->colorCheck->blockSignals(true), c->colorCheck->setChecked(false), c->NewFrame(0);
    const QRgb single = shown(c).pixel(0, 0);
    c->resetAct->trigger();
    EXPECT_TRUE(single == grey(0) && shown(c).pixel(0, 0) == qRgb(0, 20, 255));
}

TEST_F(ViewTest, FramesAndOverlay) {
    ZVektoolChildWindow *w = view(colourImage(4));
    ASSERT_TRUE(w && w->frameSpin->maximum() == 3);
    // Overlay: red XOR the truncated fourth frame; the next adjustment shows the image without it; unchecking resets.
    w->overlayCheck->setChecked(true);
    EXPECT_TRUE(shown(w).pixel(0, 0) == qRgb(0 ^ 1, 20, 255) && shown(w).pixel(3, 0) == qRgb(150 ^ 8, 80, 64) &&
                shown(w).pixel(2, 1) == qRgb(255 ^ 64, 140, 8));
    w->brightSlider->setValue(10);
    expectAdjusted(w, 10, 10, 10, 0, 128, "after overlay");
    w->overlayCheck->setChecked(false);
    EXPECT_TRUE(w->brightSlider->value() == 0 && shown(w).pixel(0, 0) == qRgb(0, 20, 255));
    // Single frames in grey.
    w->colorCheck->setChecked(false);
    EXPECT_TRUE(w->frameSpin->isEnabled() && shown(w).pixel(1, 0) == grey(50));
    for (auto [f, x, y, v] : {std::make_tuple(2, 1, 0, 200), std::make_tuple(3, 3, 1, 128)}) {
        w->frameSpin->setValue(f);
        EXPECT_TRUE(w->currentFrame == f && shown(w).pixel(x, y) == grey(v)) << "frame " << f;
    }
    // An adjustment still shows the colour frames; colour again resets.
    w->brightSlider->setValue(-10);
    expectAdjusted(w, -10, -10, -10, 0, 255, "single frame adjusted");
    w->colorCheck->setChecked(true);
    EXPECT_TRUE(!w->frameSpin->isEnabled() && w->brightSlider->value() == 0);
}

TEST_F(ViewTest, ZoomSizesTheLabel) {
    // Scale 1 + z / 20 above 0, 1 + z / 100 below; none at -100 and beyond. A redraw keeps the sizes.
    ZVektoolChildWindow *w = view(makeFloat({2, 10, 6}, [](int i) { return float(i); }));
    ASSERT_TRUE(w && w->imageLabel->size() == QSize(12, 6));
    for (auto [zoom, size] : {std::make_pair(20, QSize(24, 12)), {-50, {6, 3}}, {-100, {0, 0}}, {-255, {0, 0}}, {1, {13, 6}}, {5, {15, 8}}}) {
        zoom == -50 ? w->zoomSpin->setValue(zoom) : w->zoomSlider->setValue(zoom);
        EXPECT_EQ(w->imageLabel->size(), size) << "zoom " << zoom;  // 12.6 -> 13, 7.5 -> 8
    }
    w->brightSlider->setValue(30);
    EXPECT_TRUE(w->imageLabel->size() == QSize(15, 8) && w->imageLabel->pixmap(Qt::ReturnByValue).size() == QSize(12, 6));
}

namespace {
void *(*savedAlloc)(size_t, size_t) = nullptr;
size_t failingSize = 0;
void *failSomeAllocations(size_t n, size_t size) { return n * size == failingSize ? nullptr : savedAlloc(n, size); }
}  // namespace

TEST_F(ViewTest, ImagesOutsideTheColourCase) {
    // The picture's first row as opened, a control, the row after it.
    struct Row { const char *name; std::function<ZVEKHDR *()> image; bool working; int lastFrame; std::vector<QRgb> first;
                 std::function<void(ZVektoolChildWindow *)> act; std::vector<QRgb> after; };
    auto everything = [](auto *w) { w->brightSlider->setValue(100), w->windowSlider->setValue(0), w->overlayCheck->setChecked(true),
                                     w->colorCheck->setChecked(false), w->frameSpin->setValue(1), w->resetAct->trigger(); };
    auto bright = [](int v) { return [v](auto *w) { w->brightSlider->setValue(v); }; };
    const auto black4 = greys({0, 0, 0, 0}), black8 = greys({0, 0, 0, 0, 0, 0, 0, 0});
    auto twoFrames = [] { return makeFloat({3, 4, 1, 2}, [](int i) { return float(i * 30); }); };
    const Row rows[] = {
        // Two frames of 0..210: grey from frame 0 (working copy 255 v / 210), never a frame beyond.
        {"two frames", twoFrames, true, 1, greys({0, 36, 72, 109}), bright(20), greys({39, 112, 184, 255})},
        // One row; the padding column keeps what it held.
        {"1-D", [] { return makeFloat({1, 5}, [](int i) { return float(i); }); }, true, 0, greys({0, 63, 127, 191, 255, 255}),
         bright(-255), greys({0, 0, 0, 0, 0, 255})},
        // One frame of a 3-D image: grey, only the red offset applies.
        {"3-D one frame", [] { return makeFloat({3, 4, 1, 1}, [](int i) { return float(i * 85); }); }, true, 0, greys({0, 85, 170, 255}),
         [](auto *w) {
             w->windowSlider->setValue(255), w->blueSpin->setValue(100), w->greenSlider->setValue(90), w->redSlider->setValue(-100);
         },
         greys({0, 0, 70, 155})},
        // Nine frames, frame f holding 10 f + column: the first three in colour, working copy 255 (10 f + c) / 83.
        {"nine frames", [] { return makeFloat({3, 4, 1, 9}, [](int i) { return float(10 * (i / 4) + i % 4); }); }, true, 8,
         {qRgb(0, 30, 61), qRgb(3, 33, 64), qRgb(6, 36, 67), qRgb(9, 39, 70)},
         [](auto *w) { w->colorCheck->setChecked(false), w->frameSpin->setValue(9); }, greys({245, 248, 251, 255})},
        // Non-finite values: NaN and -inf at the bottom, +inf at the top.
        {"non-finite", [] { return makeFloat({2, 4, 1}, [](int i) { return std::vector<float>{NAN, 10, INFINITY, -INFINITY}[i]; }); },
         true, 0, greys({0, 0, 255, 0}), bright(-5), greys({0, 0, 255, 0})},
        // No working copy: black under every control.
        {"u8bit", [] { ZVEKHDR *h = Zvekcreate("u8bit", std::vector<int32_t>{2, 4, 2}.data(), 11, 0);
                       return std::memcpy(h->vekptr, "\x00\x1e\x3c\x5a\x78\x96\xb4\xd2", 8), h; }, false, 0, black4, everything, black4},
        {"struct", [] { return Zvekcreate("struct", std::vector<int32_t>{2, 6, 3}.data(), 11, 4); }, false, 0, black8, everything, black8},
        {"no memory for the working copy", [] { ZVEKHDR *h = makeFloat({3, 8, 4, 3}, [](int i) { return float(i % 50); });
             return savedAlloc = Zvek_alcptr, failingSize = 8 * 4 * 3 * sizeof(float), Zvek_alcptr = failSomeAllocations, h; },
         false, 0, black8, everything, black8},
    };
    for (int slot = 0; slot < int(std::size(rows)); ++slot) {
        const Row &r = rows[slot];
        SCOPED_TRACE(r.name);
        testing::internal::CaptureStderr();
        ZVektoolChildWindow *w = view(r.image(), slot % 8);
        const std::string err = testing::internal::GetCapturedStderr();
        if (savedAlloc) {
            Zvek_alcptr = savedAlloc, savedAlloc = nullptr;
            EXPECT_NE(err.find("Zvekcreate:  can't allocate space for image data"), std::string::npos) << err;
        }
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->hasWorkingCopy() == r.working && (w->matchingSlotImage(slot % 8) != nullptr) == r.working);
        EXPECT_TRUE((r.working || (w->dataMax == 0 && w->dataMin == 0)) && w->frameSpin->maximum() == r.lastFrame);
        EXPECT_EQ(shown(w).width(), int(r.first.size() + 3) / 4 * 4);
        for (const std::vector<QRgb> *want : {&r.first, &r.after}) {
            for (size_t x = 0; x < want->size(); ++x) EXPECT_EQ(shown(w).pixel(x, 0), (*want)[x]) << "column " << x;
            if (want == &r.first) r.act(w);
        }
    }
    // An empty Output slot opens nothing; complex images are refused.
    Zvekfree(controller->images[7], 7), controller->images[7] = nullptr, mw->outputRadios[7]->click(), mw->viewAct->trigger();
    EXPECT_TRUE(mw->childWindow(7) == nullptr && sui.messages.empty());
    controller->images[7] = Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0);
    mw->updateAccessability(), mw->viewAct->trigger();
    EXPECT_TRUE(mw->childWindow(7) == nullptr && sui.messages == std::vector<QString>{"Complex images cannot be viewed. Use complex pull down"});
}

TEST_F(ViewTest, BrScale) {
    // The result, the output as left (if float; 9 untouched), the extremes as stored (-7 untouched).
    struct Row { const char *name, *inType, *outType; std::vector<float> in; float hi, lo; int result; std::vector<float> out;
                 float mx, mn; };
    const float big = 3.0e38f;
    const std::vector<float> untouched = {9, 9, 9, 9}, ramp = {0, 1, 2, 3};
    const Row rows[] = {
        {"input before range", "32cmp", "float", {}, 0, 255, -1, untouched, -7, -7},
        {"output before range", "float", "32cmp", ramp, 0, 255, -2, {}, -7, -7},
        {"lo above hi", "float", "float", ramp, 0, 255, -3, untouched, -7, -7},
        {"other range", "float", "float", ramp, 30, 10, 0, {10, 10 + 20.0f / 3, 10 + 40.0f / 3, 30}, 3, 0},
        // Extremes start at -1e8 and 1e8: (255 (2e8 - 1e8)) / 4e8 = 63.75.
        {"above 1e8", "float", "float", {2e8f, 3e8f, 4e8f, 5e8f}, 255, 0, 0, {63.75f, 127.5f, 191.25f, 255}, 5e8f, 1e8f},
        {"constant", "float", "float", {7, 7, 7, 7}, 255, 0, 0, {0, 0, 0, 0}, 7, 7},
        {"products overflow", "float", "float", {-big, big, 0, big / 2}, 255, 0, 0, {0, 255, 127.5f, 191.25f}, big, -big},
        {"non-finite", "float", "float", {-INFINITY, 10, INFINITY, 20}, 255, 10, 0, {10, 10, 255, 255}, 20, 10},
    };
    for (const Row &r : rows) {
        ZvekImagePtr in(Zvekcreate(r.inType, std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
        ZvekImagePtr out(Zvekcreate(r.outType, std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
        if (!r.in.empty()) std::memcpy(in->vekptr, r.in.data(), 16);
        if (out->dtype == DT_32FLT) std::fill_n(static_cast<float *>(out->vekptr), 4, 9.0f);
        float mx = -7, mn = -7;
        EXPECT_EQ(ZVektoolChildWindow::BrScale(in.get(), out.get(), r.hi, r.lo, &mx, &mn), r.result) << r.name;
        EXPECT_TRUE(mx == r.mx && mn == r.mn) << r.name << ": " << mx << " " << mn;
        const float *o = static_cast<const float *>(out->vekptr);
        EXPECT_TRUE(r.out.empty() || std::vector<float>(o, o + 4) == r.out) << r.name;
    }
    float mx = -7, mn = -7;  // no image, or one without pixels
    ZvekImagePtr none(Zvekcreate("float", std::vector<int32_t>{2, 0, 2}.data(), 11, 0)), out(makeFloat({2, 2, 2}));
    EXPECT_TRUE(ZVektoolChildWindow::BrScale(nullptr, nullptr, 255, 0, &mx, &mn) == -1 && mx == -7);
    EXPECT_TRUE(ZVektoolChildWindow::BrScale(none.get(), out.get(), 255, 0, &mx, &mn) == -1 && mx == -7);
}
