// Tests of the view window's mouse handling: positions under zoom, the
// controller's click positions, the console read-out of grey and colour
// pixels under the display controls, and clicks that must do nothing.
#include <QAction>
#include <QScrollArea>
#include <QScrollBar>
#include <QDockWidget>

#include "view_mouse_fixture.h"

namespace {

// Grey 100 x 10 image, values 0..255 so that the working copy holds the same
// values: (c + r) % 100, with 17 at row 9 column 41, 64 at row 4 column 20
// and the maximum 255 at row 9 column 99.
ZVEKHDR *greyImage() {
    return ViewMouseTest::makeFloat({2, 100, 10}, [](int i) {
        const int r = i / 100, c = i % 100;
        if (r == 9 && c == 41) return 17.0f;
        if (r == 4 && c == 20) return 64.0f;
        if (r == 9 && c == 99) return 255.0f;
        return static_cast<float>((c + r) % 100);
    });
}

// Colour image of 4 x 2 pixels and the given frames, values 10..265 (so
// the working copy holds the value less 10). Pixel (row 1, column 2) holds
// 265, 150 and 18.
ZVEKHDR *colourImage(int frames) {
    static const float v[4][8] = {{0, 50, 100, 150, 200, 250, 255, 10},
                                  {20, 40, 60, 80, 100, 120, 140, 160},
                                  {255, 200, 128, 64, 32, 16, 8, 0},
                                  {1, 2, 4, 8, 16, 32, 64, 128}};
    return ViewMouseTest::makeFloat({3, 4, 2, frames}, [](int i) { return v[i / 8][i % 8] + 10.0f; });
}

QString greyLines(int row, int col, const QString &modified, const QString &original) {
    return QString("\nModified: [%1 , %2] \t  [Bright = %3]\nOriginal: [%1 , %2] \t  [Bright = %4]")
        .arg(row)
        .arg(col)
        .arg(modified, original);
}

}  // namespace

TEST_F(ViewMouseTest, GreyReadOutFollowsZoomAndMovesClickPositions) {
    ZVektoolChildWindow *w = view(greyImage());
    ASSERT_NE(w, nullptr);
    markClicks();

    // Level 0 and window 128 as the window opens: 17 displays as
    // 17 x 255 / 128 = 33.8671875.
    markConsole();
    click(w, QPoint(41, 9));
    EXPECT_EQ(newConsole(), greyLines(9, 41, "33.8672", "17"));
    expectClicks(-8, -8, 41, 9);

    // Scale 2: the same label position is column 20, row 4 (value 64, shown
    // as 127.5).
    w->zoomSlider->setValue(20);
    markConsole();
    click(w, QPoint(41, 9));
    EXPECT_EQ(newConsole(), greyLines(4, 20, "127.5", "64"));
    expectClicks(41, 9, 20, 4);

    // x = -1 at scale 2 is column 0 (-0.5 truncated), inside.
    markConsole();
    click(w, QPoint(-1, 0));
    EXPECT_EQ(newConsole(), greyLines(0, 0, "0", "0"));
    expectClicks(20, 4, 0, 0);

    // At scale 1, x = -1 is column -1: outside, nothing at all.
    w->zoomSlider->setValue(0);
    markConsole();
    click(w, QPoint(-1, 0));
    click(w, QPoint(100, 3));
    click(w, QPoint(5, 10));
    EXPECT_EQ(newConsole(), QString());
    expectClicks(20, 4, 0, 0);

    // Column 99 is the last one inside: (99 + 0) % 100 = 99, shown as
    // 99 x 255 / 128 = 197.2265625.
    markConsole();
    click(w, QPoint(99, 0));
    EXPECT_EQ(newConsole(), greyLines(0, 99, "197.227", "99"));
    expectClicks(0, 0, 99, 0);
}

TEST_F(ViewMouseTest, GreyReadOutUnderBrightnessAndContrast) {
    ZVektoolChildWindow *w = view(greyImage());
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();  // level 0, window 255: display values equal the data

    markConsole();
    click(w, QPoint(41, 9));
    EXPECT_EQ(newConsole(), greyLines(9, 41, "17", "17"));

    // Bright +10 is the grey offset; the original stays.
    w->brightSlider->setValue(10);
    markConsole();
    click(w, QPoint(41, 9));
    EXPECT_EQ(newConsole(), greyLines(9, 41, "27", "17"));
    w->brightSlider->setValue(0);

    // Window 0 at level 17: 17 shows as 0, 64 as 255, the maximum 255 as 255.
    w->windowSlider->setValue(0);
    w->levelSlider->setValue(17);
    ASSERT_EQ(w->levelSlider->value(), 17);
    markConsole();
    click(w, QPoint(41, 9));
    click(w, QPoint(20, 4));
    click(w, QPoint(16, 1));  // (16 + 1) % 100 = 17 again
    EXPECT_EQ(newConsole(), greyLines(9, 41, "0", "17") + greyLines(4, 20, "255", "64") +
                                greyLines(1, 16, "0", "17"));
}

TEST_F(ViewMouseTest, ColourReadOutOfThreeAndFourFrames) {
    for (int frames : {3, 4}) {
        SCOPED_TRACE(frames);
        const int slot = frames - 3;
        ZVektoolChildWindow *w = view(colourImage(frames), slot);
        ASSERT_NE(w, nullptr);
        w->resetAct->trigger();
        const QString original =
            "\nOriginal: [1 , 2] \t  [Bright = 176.115]\t  [R = 265.00 , G = 150.00 , B =  18.00]";

        // Offsets 0, level 0, window 255: the data minimum 10 plus the working
        // copy value; bright = sqrt((265^2 + 150^2 + 18^2) / 3) = 176.1145.
        markConsole();
        click(w, QPoint(2, 1));
        EXPECT_EQ(newConsole(),
                  "\nModified: [1 , 2] \t  [Bright = 176.115]\t  [R = 265.00 , G = 150.00 , B =  18.00]" +
                      original);

        // Red offset -100: 255 - 100 = 155, plus 10; sqrt((165^2 + 150^2 +
        // 18^2) / 3) = 129.1627. Green and blue keep their values.
        w->redSlider->setValue(-100);
        markConsole();
        click(w, QPoint(2, 1));
        EXPECT_EQ(newConsole(),
                  "\nModified: [1 , 2] \t  [Bright = 129.163]\t  [R = 165.00 , G = 150.00 , B =  18.00]" +
                      original);

        // Level 100, window 100, red offset 0: 255 -> 255, 140 -> 102,
        // 8 -> 0; data values 265, 112, 10.
        w->redSlider->setValue(0);
        w->windowSlider->setValue(100);
        w->levelSlider->setValue(100);
        markConsole();
        click(w, QPoint(2, 1));
        // sqrt((265^2 + 112^2 + 10^2) / 3) = 166.2017
        EXPECT_EQ(newConsole(),
                  "\nModified: [1 , 2] \t  [Bright = 166.202]\t  [R = 265.00 , G = 112.00 , B =  10.00]" +
                      original);
    }
}

TEST_F(ViewMouseTest, OtherFrameCountsReadGreyFromFrameZero) {
    for (int frames : {2, 5}) {
        SCOPED_TRACE(frames);
        // Values 0 .. 8 x frames - 1, one per sample; pixel (1, 2) of frame 0 is 6.
        ZVektoolChildWindow *w =
            view(makeFloat({3, 4, 2, frames}, [](int i) { return static_cast<float>(i); }), frames);
        ASSERT_NE(w, nullptr);
        w->resetAct->trigger();
        markConsole();
        click(w, QPoint(2, 1));
        EXPECT_EQ(newConsole(), greyLines(1, 2, "6", "6"));
    }
}

TEST_F(ViewMouseTest, DoubleClickReleasesTwiceOnOnePixel) {
    ZVektoolChildWindow *w = view(greyImage());
    ASSERT_NE(w, nullptr);
    markClicks();
    press(w, QPoint(3, 2));
    release(w, QPoint(3, 2));
    mouse(w, QEvent::MouseButtonDblClick, QPoint(3, 2));
    release(w, QPoint(3, 2));
    expectClicks(3, 2, 3, 2);
}

TEST_F(ViewMouseTest, ClicksThatDoNothing) {
    ZVektoolChildWindow *w = view(greyImage());
    ASSERT_NE(w, nullptr);
    markClicks();

    // Zoom -100 and below: the picture has no area, no pixel is under the
    // mouse.
    for (int z : {-100, -255}) {
        w->zoomSlider->setValue(z);
        markConsole();
        click(w, QPoint(0, 0));
        click(w, QPoint(5, 5));
        EXPECT_EQ(newConsole(), QString()) << z;
        expectClicks(-7, -7, -8, -8);
    }
    w->zoomSlider->setValue(0);

    // A window that the registry no longer holds.
    mw->updateChildPtr(w, REMOVE_CHILD);
    markConsole();
    click(w, QPoint(41, 9));
    EXPECT_EQ(newConsole(), QString());
    expectClicks(-7, -7, -8, -8);
    w->profile();
    move(w, QPoint(41, 9));
    EXPECT_TRUE(w->pathCols.isEmpty());
}

TEST_F(ViewMouseTest, ReplacedSlotImageIsNeverReadOutsideEitherImage) {
    ZVektoolChildWindow *w = view(greyImage());
    ASSERT_NE(w, nullptr);
    // A command puts a larger image into the slot while the window stays open.
    Zvekfree(controller->images[0], 7);
    controller->images[0] = makeFloat({2, 200, 20}, [](int i) { return static_cast<float>(i % 50); });
    // Room in the picture's area for positions of the larger image.
    w->resize(w->size() + QSize(100, 20));
    settle();
    markClicks();
    markConsole();

    // Inside the new image only: the click position is recorded (it is a
    // position in the slot image), but there is nothing to read out.
    click(w, QPoint(150, 15));
    expectClicks(-8, -8, 150, 15);
    // Inside both: the working copy no longer belongs to the slot image.
    click(w, QPoint(41, 9));
    expectClicks(150, 15, 41, 9);
    EXPECT_EQ(newConsole(), QString());

    // No path is collected either, and no plot opens.
    w->profile();
    press(w, QPoint(1, 1));
    move(w, QPoint(150, 15));
    move(w, QPoint(2, 2));
    release(w, QPoint(2, 2));
    EXPECT_TRUE(w->pathCols.isEmpty());
    EXPECT_TRUE(w->findChildren<QMainWindow *>().isEmpty());
}

TEST_F(ViewMouseTest, SlotImageWithoutWorkingCopy) {
    // An "int" slot image gives no working copy: the window is black, the
    // click position is still taken, nothing is read out or collected.
    ZVEKHDR *image = Zvekcreate("int", std::vector<int32_t>{2, 8, 4}.data(), 11, 0);
    ASSERT_NE(image, nullptr);
    ZVektoolChildWindow *w = view(image);
    ASSERT_NE(w, nullptr);
    ASSERT_FALSE(w->hasWorkingCopy());
    markClicks();
    markConsole();
    click(w, QPoint(3, 2));
    expectClicks(-8, -8, 3, 2);
    EXPECT_EQ(newConsole(), QString());
    w->histogram();
    move(w, QPoint(3, 2));
    release(w, QPoint(3, 2));
    EXPECT_TRUE(w->pathCols.isEmpty());
    EXPECT_EQ(newConsole(), QString());
}

namespace {

// A press and release where a pointing device would deliver them: to the
// widget of the window under the window position p.
void clickAt(ZVektoolChildWindow *w, QPoint p) {
    QWidget *target = w->childAt(p);
    if (target == nullptr) target = w;
    const QPoint local = target->mapFrom(w, p), global = w->mapToGlobal(p);
    QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &up);
}

// Grey image whose value tells the position: 3 x column + 7 x row, mod 256.
ZVEKHDR *positionImage(int cols, int rows) {
    return ViewMouseTest::makeFloat({2, cols, rows}, [cols](int i) {
        return i == 0 ? 255.0f : static_cast<float>((3 * (i % cols) + 7 * (i / cols)) % 256);
    });
}

}  // namespace

TEST_F(ViewMouseTest, ScrolledPictureMapsThroughTheLabel) {
    // 2000 x 1200 in a window that shows a part of it: the picture scrolled by
    // (50, 30) shows pixel (column 60, row 40) at viewport point (10, 10); at
    // zoom 20 (scale 2) and scrolled by (101, 61) the viewport point (11, 7)
    // lies over column (101 + 11) / 2 = 56, row (61 + 7) / 2 = 34.
    ZVektoolChildWindow *w = view(positionImage(2000, 1200), 0, false);
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    settle();
    QScrollBar *h = w->scrollArea->horizontalScrollBar(), *v = w->scrollArea->verticalScrollBar();
    QWidget *port = w->scrollArea->viewport();
    struct Case {
        int zoom, scrollX, scrollY, x, y, col, row;
    };
    for (const Case c : {Case{0, 50, 30, 10, 10, 60, 40}, Case{20, 101, 61, 11, 7, 56, 34}}) {
        w->zoomSlider->setValue(c.zoom);
        settle();
        h->setValue(c.scrollX);
        v->setValue(c.scrollY);
        ASSERT_EQ(h->value(), c.scrollX);
        ASSERT_EQ(v->value(), c.scrollY);
        markClicks();
        markConsole();
        clickAt(w, port->mapTo(w, QPoint(c.x, c.y)));
        const QString value = QString::number((3 * c.col + 7 * c.row) % 256);
        EXPECT_EQ(newConsole(), greyLines(c.row, c.col, value, value)) << "zoom " << c.zoom;
        expectClicks(-8, -8, c.col, c.row);
    }
}

TEST_F(ViewMouseTest, ClicksBesideThePictureAreNoPixels) {
    // A picture wider than its viewport: the columns beyond lie hidden behind
    // the dock. A click on the dock, on the toolbar or on a caption is no
    // click on a hidden pixel.
    ZVektoolChildWindow *w = view(positionImage(2000, 1200), 0, false);
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    settle();
    const QRect area = w->scrollArea->geometry();
    const int hiddenCol = w->imageLabel->mapFrom(w, QPoint(area.right() + 12, 0)).x();
    ASSERT_LT(hiddenCol, 2000) << "the picture must reach under the dock";

    markClicks();
    markConsole();
    clickAt(w, QPoint(area.right() + 12, area.top() + 40));  // the dock's margin
    clickAt(w, w->brightLabel->mapTo(w, QPoint(3, 3)));        // a caption
    clickAt(w, w->operationsDock->mapTo(w, QPoint(10, 5)));    // the dock's title
    w->zoomSlider->setValue(40);                                  // scale 3: the toolbar is above row 0
    clickAt(w, QPoint(area.left() + 20, area.top() - 4));
    EXPECT_EQ(newConsole(), QString());
    expectClicks(-7, -7, -8, -8);

    // Over the picture itself the same events do count.
    w->zoomSlider->setValue(0);
    clickAt(w, QPoint(area.left() + 20, area.top() + 10));
    EXPECT_FALSE(newConsole().isEmpty());
    EXPECT_EQ(controller->lastClickRow, w->imageLabel->mapFrom(w, QPoint(0, area.top() + 10)).y());
}

TEST_F(ViewMouseTest, GreyValuesInGeneralFormWithSixDigits) {
    // 1234567 prints as 1.23457e+06, -0.000123 in fixed form; the extremes
    // give the display values 255 and 0 at level 0, window 255.
    static const float v[4] = {1234567.0f, -0.000123f, 1234567.0f, 1234567.0f};
    ZVektoolChildWindow *w = view(makeFloat({2, 2, 2}, [](int i) { return v[i]; }));
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    markConsole();
    click(w, QPoint(0, 0));
    click(w, QPoint(1, 0));
    EXPECT_EQ(newConsole(), greyLines(0, 0, "1.23457e+06", "1.23457e+06") +
                                greyLines(0, 1, "-0.000123", "-0.000123"));
}

TEST_F(ViewMouseTest, OnePixelImages) {
    // Grey 1 x 1 holding 5: the working copy is 0 and the span 0, so the
    // display reads as 5 whatever the controls. The picture is 4 wide, but
    // only column 0 is a pixel of the image.
    ZVektoolChildWindow *grey = view(makeFloat({2, 1, 1}, [](int) { return 5.0f; }), 0);
    ASSERT_NE(grey, nullptr);
    ASSERT_EQ(grey->imageLabel->pixmap(Qt::ReturnByValue).width(), 4);
    markClicks();
    markConsole();
    click(grey, QPoint(0, 0));
    click(grey, QPoint(1, 0));
    click(grey, QPoint(0, 1));
    EXPECT_EQ(newConsole(), greyLines(0, 0, "5", "5"));
    expectClicks(-8, -8, 0, 0);

    // Colour 1 x 1 of 10, 20, 30: working copy 0, 127.5, 255; at level 0,
    // window 255 the data values come back; bright = sqrt(1400 / 3) = 21.602.
    ZVektoolChildWindow *colour = view(makeFloat({3, 1, 1, 3}, [](int i) { return 10.0f * (i + 1); }), 1);
    ASSERT_NE(colour, nullptr);
    colour->resetAct->trigger();
    markConsole();
    click(colour, QPoint(0, 0));
    click(colour, QPoint(3, 0));
    const QString line = "[0 , 0] \t  [Bright = 21.602]\t  [R =  10.00 , G =  20.00 , B =  30.00]";
    EXPECT_EQ(newConsole(), "\nModified: " + line + "\nOriginal: " + line);
}
