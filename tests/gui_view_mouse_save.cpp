// Tests of saving from the view window: the write-back of the adjusted
// display into the slot image, and the shown picture written to a file in
// the own format or through the toolkit, with the failures it reports.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QFileOpenEvent>
#include <QImage>
#include <QPointer>

#include <cmath>
#include <deque>
#include <functional>

#include "view_mouse_fixture.h"

namespace {

// A user who names files to save and answers the type prompt.
class SavingUi : public FakeUi {
public:
    struct SaveDialog {
        QString caption, dir, filter;
    };
    struct Prompt {
        QString title, label, text;
    };
    std::vector<SaveDialog> saveDialogs;
    std::vector<Prompt> textPrompts;
    std::deque<QString> saveAnswers;
    QString typeAnswer = "int";
    bool acceptType = true;  // false: the type prompt is cancelled

    std::function<void()> duringSave;  // runs while the save dialog is "open"

    QString saveFile(QWidget *, const QString &caption, const QString &dir, const QString &filter) override {
        saveDialogs.push_back({caption, dir, filter});
        if (duringSave) duringSave();
        if (saveAnswers.empty()) return QString();
        QString a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    bool getText(QWidget *, const QString &title, const QString &label, const QString &text,
                 QString *result) override {
        textPrompts.push_back({title, label, text});
        if (!acceptType) return false;
        *result = typeAnswer;
        return true;
    }
};

float valueAt(ZVEKHDR *h, int frame, int row, int col) {
    return static_cast<float>(Zvekfgp3d(h, frame, row, col));
}

}  // namespace

class ViewSaveTest : public ViewMouseTest {
protected:
    void SetUp() override {
        ViewMouseTest::SetUp();
        ZVekUi::install(&sui);
    }

    // Saves the shown picture as the named file in the home directory.
    QString saveBuffer(ZVektoolChildWindow *w, const QString &name) {
        const QString path = name.isEmpty() ? QString() : home.path() + "/" + name;
        sui.saveAnswers.push_back(path);
        w->saveBufferAct->trigger();
        return path;
    }

    static QImage shown(ZVektoolChildWindow *w) {
        return w->imageLabel->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_RGB32);
    }

    SavingUi sui;
};

TEST_F(ViewSaveTest, WriteBackAtNeutralControlsKeepsTheValues) {
    // Data range 10 .. 10 + 1.37 x 23: offsets 0, level 0, window 255 write
    // back the minimum plus w x span / 255, the value itself within single
    // precision.
    auto f = [](int i) { return 10.0f + 1.37f * static_cast<float>((i * 7) % 24); };
    ZVektoolChildWindow *grey = view(makeFloat({2, 6, 4}, f), 0);
    ZVektoolChildWindow *colour = view(makeFloat({3, 4, 2, 3}, f), 1);
    ASSERT_TRUE(grey && colour);
    for (ZVektoolChildWindow *w : {grey, colour}) {
        w->resetAct->trigger();
        w->saveAct->trigger();
    }
    for (int slot : {0, 1}) {
        ZVEKHDR *image = controller->images[slot];
        const float *p = static_cast<const float *>(image->vekptr);
        for (int i = 0; i < 24; ++i) EXPECT_NEAR(p[i], f(i), 3e-5) << "slot " << slot << " sample " << i;
    }
    EXPECT_TRUE(sui.messages.empty());
}

TEST_F(ViewSaveTest, GreyWriteBackIsNotBoundedColourIs) {
    // Values 0..255: the working copy holds them and the span is 255.
    static const float v[8] = {0, 20, 64, 200, 255, 100, 50, 10};
    ZVektoolChildWindow *grey = view(makeFloat({2, 4, 2}, [](int i) { return v[i]; }), 0);
    ZVektoolChildWindow *colour = view(makeFloat({3, 4, 2, 3}, [](int i) { return v[i % 8]; }), 1);
    ASSERT_TRUE(grey && colour);

    // As opened: level 0, window 128. Grey 200 -> 398.4375 stays above the
    // maximum; colour bounds it at 255.
    grey->saveAct->trigger();
    colour->saveAct->trigger();
    const float greyExpected[8] = {0, 39.84375f, 127.5f, 398.4375f, 508.0078125f, 199.21875f, 99.609375f, 19.921875f};
    const float colourExpected[8] = {0, 39.84375f, 127.5f, 255, 255, 199.21875f, 99.609375f, 19.921875f};
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(valueAt(controller->images[0], 0, i / 4, i % 4), greyExpected[i]) << i;
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(valueAt(controller->images[1], k, i / 4, i % 4), colourExpected[i]) << i;
    }

    // Saving twice reads the working copy again: the same values.
    grey->saveAct->trigger();
    EXPECT_FLOAT_EQ(valueAt(controller->images[0], 0, 0, 3), 398.4375f);

    // Level 50, window 100, bright -10: 20 - 10 lies below the level and is
    // stored below the minimum as (10 - 50) x 2.55; 200 - 10 -> 357.
    grey->resetAct->trigger();
    grey->windowSlider->setValue(100);
    grey->levelSlider->setValue(50);
    grey->brightSlider->setValue(-10);
    grey->saveAct->trigger();
    EXPECT_FLOAT_EQ(valueAt(controller->images[0], 0, 0, 1), (10.0f - 50.0f) * 2.55f);
    EXPECT_FLOAT_EQ(valueAt(controller->images[0], 0, 0, 0), -127.5f);  // 0 - 10 bounded to 0 first
    EXPECT_FLOAT_EQ(valueAt(controller->images[0], 0, 0, 3), 357.0f);

    // Colour with channel offsets: red -100, green +60, blue 0 at level 0,
    // window 255: 200 -> 100, 200 -> 255 (260 bounded), 200.
    colour->resetAct->trigger();
    colour->redSlider->setValue(-100);
    colour->greenSlider->setValue(60);
    colour->saveAct->trigger();
    EXPECT_FLOAT_EQ(valueAt(controller->images[1], 0, 0, 3), 100.0f);
    EXPECT_FLOAT_EQ(valueAt(controller->images[1], 1, 0, 3), 255.0f);
    EXPECT_FLOAT_EQ(valueAt(controller->images[1], 2, 0, 3), 200.0f);
}

TEST_F(ViewSaveTest, FiveFramesKeepTheirLastTwo) {
    // Values 0..255 spread over 5 frames of 2 x 2; the working copy holds them.
    auto f = [](int i) { return i == 19 ? 255.0f : static_cast<float>(i * 3); };
    ZVektoolChildWindow *w = view(makeFloat({3, 2, 2, 5}, f));
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    w->redSlider->setValue(5);
    w->saveAct->trigger();
    const float *p = static_cast<const float *>(controller->images[0]->vekptr);
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(p[i], f(i) + (i < 4 ? 5.0f : 0.0f)) << i;
}

TEST_F(ViewSaveTest, WriteBackNeedsTheWindowsOwnSlotImage) {
    auto f = [](int i) { return static_cast<float>(i); };
    ZVektoolChildWindow *w = view(makeFloat({2, 4, 2}, f));
    ASSERT_NE(w, nullptr);
    w->brightSlider->setValue(100);

    // Replaced by an image of another size: left alone.
    Zvekfree(controller->images[0], 7);
    controller->images[0] = makeFloat({2, 8, 4}, f);
    w->saveAct->trigger();
    const float *p = static_cast<const float *>(controller->images[0]->vekptr);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(p[i], f(i)) << i;

    // Back to the old shape but no longer in the registry: left alone.
    Zvekfree(controller->images[0], 7);
    controller->images[0] = makeFloat({2, 4, 2}, f);
    mw->updateChildPtr(w, REMOVE_CHILD);
    w->saveAct->trigger();
    p = static_cast<const float *>(controller->images[0]->vekptr);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], f(i)) << i;
}

TEST_F(ViewSaveTest, OwnFormatHoldsThePictureAsShown) {
    // 101 x 50 grey: the picture is 104 wide, its last columns copies of
    // column 100.
    ZVektoolChildWindow *w =
        view(makeFloat({2, 101, 50}, [](int i) { return static_cast<float>((i * 13) % 256); }));
    ASSERT_NE(w, nullptr);
    // A red mark where the mouse went with profile capture on.
    w->profileAct->trigger();
    press(w, QPoint(5, 7));
    move(w, QPoint(5, 7));
    const QImage picture = shown(w);
    ASSERT_EQ(picture.width(), 104);

    const QString path = saveBuffer(w, "shown.zve");
    ASSERT_EQ(sui.saveDialogs.size(), 1u);
    EXPECT_EQ(sui.saveDialogs[0].caption, "SaveAs File");
    EXPECT_EQ(sui.saveDialogs[0].dir, QDir::homePath());
    EXPECT_EQ(sui.saveDialogs[0].filter, "Images (*.png *.xpm *.jpg *.ZVEK *.Zvek *.Zve *.zve *.vek *.VEK)");
    ASSERT_EQ(sui.textPrompts.size(), 1u);
    EXPECT_EQ(sui.textPrompts[0].title, "QInputDialog::getText()");
    EXPECT_EQ(sui.textPrompts[0].label, "ZVEK data type:");
    EXPECT_EQ(sui.textPrompts[0].text, "float");
    EXPECT_TRUE(sui.messages.empty());

    // The answer "int" does not change what is stored: float, 3 frames.
    ZvekImagePtr file(Zvekpin(path.toLocal8Bit().constData()));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->dtype, DT_32FLT);
    const ZvekShape s = zvekShape(file.get());
    EXPECT_EQ(s.ndim, 3);
    EXPECT_EQ(s.cols, 104);
    EXPECT_EQ(s.rows, 50);
    EXPECT_EQ(s.frames, 3);
    int mismatches = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 104; ++x) {
            const QRgb px = picture.pixel(x, y);
            const float r = valueAt(file.get(), 0, y, x), g = valueAt(file.get(), 1, y, x),
                        b = valueAt(file.get(), 2, y, x);
            if (r != qRed(px) || g != qGreen(px) || b != qBlue(px)) ++mismatches;
            // Grey: three equal frames, except the red mark.
            if (x == 5 && y == 7) {
                EXPECT_EQ(r, 255.0f);
                EXPECT_EQ(g, 0.0f);
                EXPECT_EQ(b, 0.0f);
            } else if (!(r == g && g == b)) {
                ++mismatches;
            }
            if (x > 100 && r != valueAt(file.get(), 0, y, 100)) ++mismatches;
            // Pixel (x, y) of the image as the window shows it: the working
            // copy truncated (the data span 0..255 maps onto itself).
            if (x < 101 && !(x == 5 && y == 7) && r != static_cast<float>(((y * 101 + x) * 13) % 256))
                ++mismatches;
        }
    EXPECT_EQ(mismatches, 0);

    // After a redraw the mark is gone from the picture and from the file.
    w->level();
    saveBuffer(w, "again.vek");
    ZvekImagePtr again(Zvekpin((home.path() + "/again.vek").toLocal8Bit().constData()));
    ASSERT_TRUE(again);
    EXPECT_EQ(valueAt(again.get(), 1, 7, 5), valueAt(again.get(), 0, 7, 5));
}

TEST_F(ViewSaveTest, ToolkitPicturesAndFailures) {
    ZVektoolChildWindow *w =
        view(makeFloat({3, 8, 4, 3}, [](int i) { return static_cast<float>((i * 37) % 256); }));
    ASSERT_NE(w, nullptr);
    w->redSlider->setValue(40);
    const QImage picture = shown(w);

    // png through the toolkit, exactly the picture.
    const QString png = saveBuffer(w, "shown.png");
    QImage back(png);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_TRUE(sui.textPrompts.empty());
    EXPECT_TRUE(sui.messages.empty());

    // zvek and ZVE are not own-format suffixes here; the toolkit has no such
    // format and the failed write is reported.
    for (const char *name : {"shown.zvek", "shown.ZVE"}) {
        sui.messages.clear();
        const QString path = saveBuffer(w, name);
        EXPECT_FALSE(QFile::exists(path)) << name;
        EXPECT_EQ(sui.messages, std::vector<QString>{"output of file to disk failed"}) << name;
    }
    EXPECT_TRUE(sui.textPrompts.empty());

    // An own-format file in a directory that does not exist.
    sui.messages.clear();
    saveBuffer(w, "missing/shown.ZVEK");
    EXPECT_EQ(sui.textPrompts.size(), 1u);
    EXPECT_EQ(sui.messages, std::vector<QString>{"output of file to disk failed"});

    // A cancelled dialog: nothing written, nothing shown.
    sui.messages.clear();
    saveBuffer(w, QString());
    EXPECT_TRUE(sui.messages.empty());
    EXPECT_EQ(QDir(home.path()).entryList(QStringList() << "shown*").size(), 1);
    // The picture is unchanged by saving.
    EXPECT_EQ(shown(w), picture);
}

TEST_F(ViewSaveTest, FileOpenEventDuringSaveWaitsForIt) {
    // While the save dialog is open, a file-open event for the window's own
    // slot must neither replace the slot image nor delete the window; it is
    // loaded once the save has finished.
    ZVektoolChildWindow *w = view(makeFloat({2, 3, 2}, [](int i) { return float(i); }));
    ASSERT_NE(w, nullptr);
    QPointer<ZVektoolChildWindow> alive(w);
    QImage picture(4, 2, QImage::Format_Grayscale8);
    picture.fill(40);
    const QString arriving = home.path() + "/arrives.png";
    ASSERT_TRUE(picture.save(arriving, "PNG"));
    bool sent = false;
    sui.duringSave = [&]() {
        if (sent) return;
        sent = true;
        QFileOpenEvent event(arriving);
        QCoreApplication::sendEvent(qApp, &event);
        EXPECT_FALSE(alive.isNull());
        EXPECT_EQ(controller->imageNames[0], "pic");
    };
    const QString path = saveBuffer(w, "kept.png");
    EXPECT_TRUE(sent);
    EXPECT_TRUE(QFile::exists(path));
    pumpEvents(50);
    EXPECT_EQ(controller->imageNames[0], "arrives.png");
    EXPECT_TRUE(alive.isNull());
}

namespace {

// Reference of the write-back for one working-copy value w, worked in single
// precision step by step: w + offset, bounded to 0..255, stretched by level
// and window, bounded again for colour, back to data units.
float writtenBack(float w, int offset, int level, int window, bool colour, float mn, float mx) {
    const float lo = static_cast<float>(level);
    float hi = static_cast<float>(level + window);
    if (hi - lo == 0.0f) hi = static_cast<float>(hi + 0.0001);
    float v = static_cast<float>(static_cast<double>(w) + offset);
    v = std::min(std::max(v, 0.0f), 255.0f);
    const float stretched = (v - lo) * 255.0f;
    v = stretched / (hi - lo);
    if (colour) v = std::min(std::max(v, 0.0f), 255.0f);
    const float scaled = v * (mx - mn);
    return mn + scaled / 255.0f;
}

}  // namespace

TEST_F(ViewSaveTest, WriteBackIsWorkedInSinglePrecision) {
    // Data with fractional working-copy values and a window that is no power
    // of two: every stored value must be the single-precision result, bit for
    // bit.
    auto f = [](int i) { return -3.25f + 0.731f * static_cast<float>((i * 37) % 997); };
    ZVektoolChildWindow *grey = view(makeFloat({2, 40, 25}, f), 0);
    ZVektoolChildWindow *colour = view(makeFloat({3, 20, 15, 3}, f), 1);
    ASSERT_TRUE(grey && colour);
    struct Setting {
        int level, window, bright, red, green, blue;
    };
    for (const Setting s : {Setting{30, 100, 7, -20, 13, 40}, Setting{3, 197, -9, 0, 0, 0},
                            Setting{0, 0, 0, 0, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "level " << s.level << " window " << s.window);
        for (ZVektoolChildWindow *w : {grey, colour}) {
            w->resetAct->trigger();
            w->windowSlider->setValue(s.window);
            w->levelSlider->setValue(s.level);
            w->brightSlider->setValue(s.bright);
            if (w == colour) {
                w->redSlider->setValue(s.red);
                w->greenSlider->setValue(s.green);
                w->blueSlider->setValue(s.blue);
            }
            ASSERT_EQ(w->levelSlider->value(), s.level);
            w->saveAct->trigger();
        }
        const float *work = static_cast<const float *>(grey->workImage->vekptr);
        const float *stored = static_cast<const float *>(controller->images[0]->vekptr);
        int wrong = 0;
        for (int i = 0; i < 40 * 25; ++i)
            if (stored[i] != writtenBack(work[i], s.bright, s.level, s.window, false, grey->dataMin, grey->dataMax))
                ++wrong;
        EXPECT_EQ(wrong, 0) << "grey";
        work = static_cast<const float *>(colour->workImage->vekptr);
        stored = static_cast<const float *>(controller->images[1]->vekptr);
        const int offsets[3] = {s.red, s.green, s.blue};  // the colour sliders' own values
        wrong = 0;
        for (int i = 0; i < 20 * 15 * 3; ++i)
            if (stored[i] != writtenBack(work[i], offsets[i / 300], s.level, s.window, true, colour->dataMin,
                                         colour->dataMax))
                ++wrong;
        EXPECT_EQ(wrong, 0) << "colour";
    }
}

TEST_F(ViewSaveTest, ExtremesNearTheFloatLimitsStayNumbers) {
    // -3e38 .. 3e38: the difference of the extremes overflows single
    // precision. Write-back and read-out still give the values, never NaN or
    // infinity.
    static const float v[4] = {-3e38f, 3e38f, 0.0f, 1.5e38f};
    ZVektoolChildWindow *grey = view(makeFloat({2, 4, 1}, [](int i) { return v[i]; }), 0);
    ZVektoolChildWindow *colour = view(makeFloat({3, 4, 1, 3}, [](int i) { return v[(i + i / 4) % 4]; }), 1);
    ASSERT_TRUE(grey && colour);
    for (ZVektoolChildWindow *w : {grey, colour}) {
        w->resetAct->trigger();
        w->saveAct->trigger();
    }
    for (int slot : {0, 1}) {
        const float *p = static_cast<const float *>(controller->images[slot]->vekptr);
        const int n = slot == 0 ? 4 : 12;
        for (int i = 0; i < n; ++i) {
            const float want = slot == 0 ? v[i] : v[(i + i / 4) % 4];
            ASSERT_TRUE(std::isfinite(p[i])) << "slot " << slot << " sample " << i;
            EXPECT_NEAR(p[i], want, 1e33) << "slot " << slot << " sample " << i;
        }
    }
    // The bottom of the display reads as the data minimum, the middle as 0.
    grey->resetAct->trigger();
    markConsole();
    click(grey, QPoint(0, 0));
    click(grey, QPoint(2, 0));
    EXPECT_EQ(newConsole(), "\nModified: [0 , 0] \t  [Bright = -3e+38]\nOriginal: [0 , 0] \t  [Bright = -3e+38]"
                            "\nModified: [0 , 2] \t  [Bright = 0]\nOriginal: [0 , 2] \t  [Bright = 0]");
}

TEST_F(ViewSaveTest, OnePixelPictureAndCancelledTypePrompt) {
    // Colour 1 x 1 of 10, 20, 30 at level 0, window 255: the picture's pixel
    // is (0, 127, 255) (working copy 0, 127.5, 255 truncated), in a picture
    // 4 wide. Cancelling the type prompt still writes the file; its 12
    // samples are stored uncompressed, with the writer's notice.
    ZVektoolChildWindow *w = view(makeFloat({3, 1, 1, 3}, [](int i) { return 10.0f * (i + 1); }));
    ASSERT_NE(w, nullptr);
    w->resetAct->trigger();
    ASSERT_EQ(shown(w).pixel(0, 0), qRgb(0, 127, 255));
    sui.acceptType = false;
    testing::internal::CaptureStdout();
    const QString path = saveBuffer(w, "one.Zve");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ZvekPutImg error msg: image has 12 pixels so it will not be compressed\n");
    EXPECT_EQ(sui.textPrompts.size(), 1u);
    EXPECT_TRUE(sui.messages.empty());
    ZvekImagePtr file(Zvekpin(path.toLocal8Bit().constData()));
    ASSERT_TRUE(file);
    const ZvekShape s = zvekShape(file.get());
    EXPECT_EQ(s.cols, 4);
    EXPECT_EQ(s.rows, 1);
    EXPECT_EQ(s.frames, 3);
    EXPECT_EQ(file->dtype, DT_32FLT);
    EXPECT_EQ(valueAt(file.get(), 0, 0, 0), 0.0f);
    EXPECT_EQ(valueAt(file.get(), 1, 0, 0), 127.0f);
    EXPECT_EQ(valueAt(file.get(), 2, 0, 0), 255.0f);

    // Save writes the data values back: 10, 20, 30.
    w->saveAct->trigger();
    const float *p = static_cast<const float *>(controller->images[0]->vekptr);
    EXPECT_EQ(p[0], 10.0f);
    EXPECT_EQ(p[1], 20.0f);
    EXPECT_EQ(p[2], 30.0f);
}

TEST_F(ViewSaveTest, FailedWritesLoseNothing) {
    // A picture that the toolkit cannot write where it is told to (a folder
    // that does not exist, a file name that is a folder) is reported; the
    // picture, the slot image and an existing file of that name stay.
    ZVektoolChildWindow *w = view(makeFloat({2, 6, 3}, [](int i) { return static_cast<float>(i * 15); }));
    ASSERT_NE(w, nullptr);
    const QImage picture = shown(w);
    const std::vector<float> before(static_cast<const float *>(controller->images[0]->vekptr),
                                    static_cast<const float *>(controller->images[0]->vekptr) + 18);
    ASSERT_TRUE(QDir(home.path()).mkdir("folder.png"));
    ASSERT_TRUE(QDir(home.path()).mkdir("folder.vek"));
    for (const char *name : {"missing/shown.png", "folder.png", "folder.vek"}) {
        sui.messages.clear();
        saveBuffer(w, name);
        EXPECT_EQ(sui.messages, std::vector<QString>{"output of file to disk failed"}) << name;
    }
    EXPECT_TRUE(QFileInfo(home.path() + "/folder.png").isDir());
    EXPECT_TRUE(QFileInfo(home.path() + "/folder.vek").isDir());
    EXPECT_EQ(shown(w), picture);
    const float *after = static_cast<const float *>(controller->images[0]->vekptr);
    EXPECT_EQ(std::vector<float>(after, after + 18), before);
}

TEST_F(ViewSaveTest, RealDialogs) {
    // The toolkit's own file dialog and text prompt, answered by a timer.
    ZVekUi::install(nullptr);
    ZVektoolChildWindow *w = view(makeFloat({2, 8, 2}, [](int i) { return static_cast<float>(i * 17); }));
    ASSERT_NE(w, nullptr);
    const QImage picture = shown(w);
    QString fileTitle, filters, startDir, promptTitle, promptLabel, promptDefault;
    const QString target = home.path() + "/real.VEK";
    answerSaveDialogs(
        target,
        [&](QFileDialog *files) {
            fileTitle = files->windowTitle();
            filters = files->nameFilters().join(";");
            startDir = files->directory().absolutePath();
        },
        [&](QInputDialog *prompt) {
            promptTitle = prompt->windowTitle();
            promptLabel = prompt->labelText();
            promptDefault = prompt->textValue();
            prompt->setTextValue("u8bit");
            prompt->accept();
        });
    w->saveBufferAct->trigger();
    EXPECT_EQ(fileTitle, "SaveAs File");
    EXPECT_EQ(filters, "Images (*.png *.xpm *.jpg *.ZVEK *.Zvek *.Zve *.zve *.vek *.VEK)");
    EXPECT_EQ(startDir, QDir(QDir::homePath()).absolutePath());
    EXPECT_EQ(promptTitle, "QInputDialog::getText()");
    EXPECT_EQ(promptLabel, "ZVEK data type:");
    EXPECT_EQ(promptDefault, "float");
    // The answer u8bit does not change the stored type.
    ZvekImagePtr back(Zvekpin(target.toLocal8Bit().constData()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->dtype, DT_32FLT);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(valueAt(back.get(), 2, 1, x), qBlue(picture.pixel(x, 1))) << x;
}

TEST_F(ViewSaveTest, PathsOfUpTo255Bytes) {
    // A path of exactly 255 bytes is written in the own format.
    ZVektoolChildWindow *w = view(makeFloat({2, 4, 1}, [](int i) { return static_cast<float>(i * 80); }));
    ASSERT_NE(w, nullptr);
    const int room = 255 - home.path().toLocal8Bit().size() - 1 - 4;
    ASSERT_GT(room, 100);
    const QString name = QString(room, QChar('n')) + ".vek";
    testing::internal::CaptureStdout();
    const QString path = saveBuffer(w, name);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(path.toLocal8Bit().size(), 255);
    EXPECT_TRUE(sui.messages.empty());
    ZvekImagePtr back(Zvekpin(path.toLocal8Bit().constData()));
    ASSERT_TRUE(back);
    EXPECT_EQ(valueAt(back.get(), 0, 0, 3), qRed(shown(w).pixel(3, 0)));
}
