// Tests of loading: Read, Reopen and file-open events, the suffix rules,
// toolkit pictures as three float frames, refused files, notices, the
// console statistics and the last-path file.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileOpenEvent>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

#include "gui_fixture.h"
#include "slotimage.h"

namespace {

// Writes a picture and answers its path.
QString savePicture(const QImage &picture, const QString &path, const char *format = "PNG") {
    EXPECT_TRUE(picture.save(path, format)) << path.toStdString();
    return path;
}

// A grey picture of 4 columns and 2 rows holding 0, 10, ..., 70.
QImage greyPicture() {
    QImage picture(4, 2, QImage::Format_Grayscale8);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) picture.scanLine(r)[c] = static_cast<uchar>(10 * (r * 4 + c));
    return picture;
}

const float *plane(const ZVEKHDR *h, int frame) {
    int n = Zvekdimen(h, 0) * Zvekdimen(h, 1);
    return static_cast<const float *>(h->vekptr) + frame * n;
}

QString lastPathFile() { return QDir::homePath() + "/.com.ZVEK.ZVektool"; }

QByteArray readFile(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void sendFileOpen(const QString &path) {
    QFileOpenEvent event(path);
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &event));
}

}  // namespace

TEST_F(GuiTest, GreyPictureLoadsAsThreeEqualFloatFrames) {
    const QString path = savePicture(greyPicture(), home.path() + "/grey.png");
    mw->handleFileByPath(path, 2);
    ZVEKHDR *h = controller->images[2];
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->dtype, DT_32FLT);
    EXPECT_EQ(h->vekndim, 3);
    EXPECT_EQ(Zvekdimen(h, 0), 4);
    EXPECT_EQ(Zvekdimen(h, 1), 2);
    EXPECT_EQ(Zvekdimen(h, 2), 3);
    for (int f = 0; f < 3; ++f)
        for (int i = 0; i < 8; ++i) EXPECT_EQ(plane(h, f)[i], 10.0f * i) << f << " " << i;
    EXPECT_EQ(controller->imageNames[2], "grey.png");
    // Mean 35, population deviation sqrt(525) = 22.91288...
    EXPECT_EQ(consoleText(),
              ">> Console\nImage has 3 frames and 2 rows and 4 Columns\n"
              "max = [70 70 70], min = [0 0 0], Mean = [35 35 35], "
              "StdDev = [22.9129 22.9129 22.9129]");
    EXPECT_EQ(controller->maxLabel, 70);
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, "non ZVEK");
    EXPECT_EQ(ui.notices[0].title, "message");
    EXPECT_EQ(ui.notices[0].msec, 1000);
    EXPECT_TRUE(ui.messages.empty());
    // Output is slot 0, empty: only Input rows matter for the unary group.
    EXPECT_FALSE(mw->viewAct->isEnabled());
    mw->outputRadios[2]->click();
    EXPECT_TRUE(mw->viewAct->isEnabled());
}

TEST_F(GuiTest, ColourPicturesDropAlphaAndKeepChannels) {
    QImage argb(3, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(255, 1, 2, 128));
    argb.setPixel(1, 0, qRgba(3, 250, 4, 255));
    argb.setPixel(2, 0, qRgba(5, 6, 200, 0));
    mw->handleFileByPath(savePicture(argb, home.path() + "/alpha.png"), 0);
    ZVEKHDR *h = controller->images[0];
    ASSERT_NE(h, nullptr);
    const float red[] = {255, 3, 5}, green[] = {1, 250, 6}, blue[] = {2, 4, 200};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(plane(h, 0)[c], red[c]) << c;
        EXPECT_EQ(plane(h, 1)[c], green[c]) << c;
        EXPECT_EQ(plane(h, 2)[c], blue[c]) << c;
    }

    // A palette picture goes through the toolkit's conversion.
    QImage indexed(2, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    indexed.fill(0);
    indexed.setPixel(1, 1, 1);
    mw->handleFileByPath(savePicture(indexed, home.path() + "/palette.png"), 1);
    h = controller->images[1];
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(plane(h, 0)[0], 10.0f);
    EXPECT_EQ(plane(h, 1)[0], 20.0f);
    EXPECT_EQ(plane(h, 2)[0], 30.0f);
    EXPECT_EQ(plane(h, 0)[3], 200.0f);
    EXPECT_EQ(plane(h, 1)[3], 100.0f);
    EXPECT_EQ(plane(h, 2)[3], 50.0f);
}

TEST_F(GuiTest, SuffixRulesAreCaseSensitive) {
    // A picture named like the own format but ending in "ZVek" is read by
    // the toolkit, which guesses the format from the content.
    const QString path = savePicture(greyPicture(), home.path() + "/photo.ZVek");
    mw->handleFileByPath(path, 0);
    ASSERT_NE(controller->images[0], nullptr);
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, "non ZVEK");

    // The same bytes under an own-format name go to the own-format reader,
    // which refuses them: nothing changes.
    ZVEKHDR *before = controller->images[0];
    for (const char *name : {"photo.zvek", "photo.Zvek", "photo.ZVE", "photo.vek"}) {
        const QString own = home.path() + "/" + name;
        QFile::copy(path, own);
        ui.messages.clear();
        mw->handleFileByPath(own, 0);
        EXPECT_EQ(controller->images[0], before) << name;
        EXPECT_EQ(controller->imageNames[0], "photo.ZVek") << name;
        ASSERT_EQ(ui.messages.size(), 1u) << name;
        EXPECT_EQ(ui.messages[0], "Cannot read the image file " + own);
        EXPECT_EQ(ui.notices.size(), 1u) << name;  // no notice for a refused file
    }
}

TEST_F(GuiTest, UnreadableFilesLeaveTheSlotAlone) {
    ZVEKHDR *kept = makeFloat({2, 3, 2}, [](int i) { return float(i); });
    controller->images[4] = kept;
    controller->imageNames[4] = "kept";
    mw->outputRadios[4]->click();
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    const QString consoleBefore = consoleText();

    const QString missing = home.path() + "/missing.png";
    const QString notPicture = home.path() + "/text.jpg";
    writeFile(notPicture, "this is not a picture");
    const QString emptyBoundary = home.path() + "/empty.ZVekb";
    writeFile(emptyBoundary, "");
    const QString missingBoundary = home.path() + "/missing.ZVekb";
    const QString missingOwn = home.path() + "/missing.zvek";
    const QString expected[] = {"Cannot read the picture " + missing,
                                "Cannot read the picture " + notPicture,
                                "Cannot read the boundary file " + emptyBoundary,
                                "Cannot read the boundary file " + missingBoundary,
                                "Cannot read the image file " + missingOwn};
    int k = 0;
    for (const QString &path : {missing, notPicture, emptyBoundary, missingBoundary, missingOwn}) {
        ui.messages.clear();
        mw->handleFileByPath(path, 4);
        ASSERT_EQ(ui.messages.size(), 1u) << path.toStdString();
        EXPECT_EQ(ui.messages[0], expected[k++]);
        EXPECT_EQ(controller->images[4], kept);
        EXPECT_EQ(controller->imageNames[4], "kept");
        EXPECT_FALSE(window.isNull());
        EXPECT_EQ(mw->childWindow(4), window.data());
        EXPECT_EQ(consoleText(), consoleBefore);
    }
    EXPECT_EQ(controller->maxLabel, 0);
    // The empty path loads nothing and says nothing.
    ui.messages.clear();
    mw->handleFileByPath(QString(), 4);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(controller->images[4], kept);
}

TEST_F(GuiTest, LoadReplacesTheSlotAndClosesItsWindow) {
    controller->images[3] = makeFloat({2, 2, 2});
    controller->imageNames[3] = "old";
    mw->outputRadios[3]->click();
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    // A window of another slot stays.
    mw->outputRadios[5]->click();
    QPointer<QWidget> other = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(other, ADD_CHILD);

    QDir(home.path()).mkdir("sub dir");
    const QString path = savePicture(greyPicture(), home.path() + "/sub dir/new picture.png");
    mw->handleFileByPath(path, 3);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(mw->childWindow(3), nullptr);
    EXPECT_FALSE(other.isNull());
    EXPECT_EQ(controller->imageNames[3], "new picture.png");
    ASSERT_NE(controller->images[3], nullptr);
    EXPECT_EQ(Zvekdimen(controller->images[3], 0), 4);
    delete other;
}

TEST_F(GuiTest, FileOpenEventsLoadIntoSlotZero) {
    controller->images[0] = makeFloat({2, 5, 5});
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);  // Output is slot 0 now
    select(1, 2, 3);
    const QString path = savePicture(greyPicture(), home.path() + "/event.png");
    sendFileOpen(path);
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(Zvekdimen(controller->images[0], 0), 4);
    EXPECT_EQ(controller->imageNames[0], "event.png");
    EXPECT_TRUE(window.isNull());
    for (int slot = 1; slot < 8; ++slot) EXPECT_EQ(controller->images[slot], nullptr);
    EXPECT_EQ(mw->getRadioButtonStatus(INPUT_1), 1);
    EXPECT_EQ(mw->getRadioButtonStatus(INPUT_2), 2);
    EXPECT_EQ(mw->getRadioButtonStatus(OUTPUT), 3);
    // The event leaves the last-path file alone, but Reopen loads its path.
    EXPECT_EQ(readFile(lastPathFile()), "<missing>");
    mw->reopenAct->trigger();
    ASSERT_NE(controller->images[3], nullptr);
    EXPECT_EQ(controller->imageNames[3], "event.png");
    EXPECT_TRUE(consoleText().contains("\nOpening " + path + "\nImage has 3 frames"));
}

TEST_F(GuiTest, FileOpenEventDuringACommandWaitsForIt) {
    ZVEKHDR *held = makeFloat({2, 2, 2});
    controller->images[0] = held;
    const QString first = savePicture(greyPicture(), home.path() + "/first.png");
    QImage wide(6, 1, QImage::Format_Grayscale8);
    wide.fill(7);
    const QString second = savePicture(wide, home.path() + "/second.png");
    ui.openAnswers = {first};
    bool checked = false;
    ui.duringDialog = [&]() {
        if (checked) return;
        sendFileOpen(second);
        // The command holds slot 0's image: the event must not free it.
        EXPECT_EQ(controller->images[0], held);
        checked = true;
    };
    mw->openAct->trigger();
    EXPECT_TRUE(checked);
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(controller->imageNames[0], "first.png");
    pumpEvents(50);
    EXPECT_EQ(controller->imageNames[0], "second.png");
    EXPECT_EQ(Zvekdimen(controller->images[0], 0), 6);
}

TEST_F(GuiTest, ReadWritesTheLastPathFileAndReopenReadsItBack) {
    // Cancelled: a message, nothing else.
    mw->openAct->trigger();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "cannot open file");
    EXPECT_EQ(ui.openCaptions[0], "Open File");
    EXPECT_EQ(ui.openDirs[0], home.path());
    EXPECT_EQ(consoleText(), ">> Console");
    EXPECT_EQ(readFile(lastPathFile()), "<missing>");

    QDir(home.path()).mkdir("a b");
    const QString path = savePicture(greyPicture(), home.path() + "/a b/pic 1.png");
    mw->outputRadios[6]->click();
    ui.openAnswers = {path};
    mw->openAct->trigger();
    ASSERT_NE(controller->images[6], nullptr);
    EXPECT_EQ(readFile(lastPathFile()), path.toLocal8Bit() + "\n");
    EXPECT_TRUE(consoleText().startsWith(">> Console\nOpening " + path + "\nImage has"));
    EXPECT_TRUE(mw->viewAct->isEnabled());
    // The next Read starts at the last path.
    mw->openAct->trigger();
    EXPECT_EQ(ui.openDirs[2], path);

    // A new start: Reopen reads the whole first line, blanks included.
    delete mw;
    for (ZVEKHDR *&image : controller->images)
        if (image) Zvekfree(image, 7), image = nullptr;
    mw = new ZVektoolMainWindow();
    controller->mainWindow = mw;
    mw->outputRadios[1]->click();
    mw->reopenAct->trigger();
    ASSERT_NE(controller->images[1], nullptr);
    EXPECT_EQ(controller->imageNames[1], "pic 1.png");
    EXPECT_TRUE(mw->viewAct->isEnabled());
}

TEST_F(GuiTest, ReopenWithoutAPath) {
    // No last-path file: a line on standard output, nothing loaded.
    testing::internal::CaptureStdout();
    mw->reopenAct->trigger();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "cannot open " + lastPathFile().toStdString() + "\n");
    EXPECT_EQ(controller->images[0], nullptr);

    // An empty file loads nothing and says nothing.
    writeFile(lastPathFile(), "\n");
    testing::internal::CaptureStdout();
    mw->reopenAct->trigger();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(controller->images[0], nullptr);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(consoleText(), ">> Console");
}

TEST_F(GuiTest, UnwritableLastPathFileStillLoads) {
    const QString path = savePicture(greyPicture(), home.path() + "/pic.png");
    qputenv("HOME", (home.path() + "/does/not/exist").toLocal8Bit());
    ui.openAnswers = {path};
    testing::internal::CaptureStdout();
    mw->openAct->trigger();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " cannot open logging file\n");
    EXPECT_NE(controller->images[0], nullptr);
}

TEST_F(GuiTest, ReadThroughTheRealDialogs) {
    ZVekUi::install(nullptr);
    const QString path = savePicture(greyPicture(), home.path() + "/dialog.png");
    QString caption;
    QTimer driver;
    driver.setInterval(20);
    QMetaObject::Connection choose = QObject::connect(&driver, &QTimer::timeout, [&]() {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        caption = dialog->windowTitle();
        // Typed into the file-name field, as a user would.
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
    });
    driver.start();
    mw->openAct->trigger();
    driver.stop();
    EXPECT_EQ(caption, "Open File");
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(controller->imageNames[0], "dialog.png");

    // The notice: parentless, titled "message", gone after a second.
    QPointer<QMessageBox> notice;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->isVisible() && box->text() == "non ZVEK") notice = box;
    }
    ASSERT_FALSE(notice.isNull());
    EXPECT_EQ(notice->windowTitle(), "message");
    EXPECT_EQ(notice->parent(), nullptr);
    EXPECT_FALSE(notice->isModal());
    pumpEvents(1300);
    EXPECT_TRUE(notice.isNull());

    // A cancelled dialog answers with the modal "cannot open file".
    QObject::disconnect(choose);
    QString shown;
    QObject::connect(&driver, &QTimer::timeout, [&]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->reject();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            shown = box->text();
            box->accept();
        }
    });
    driver.start();
    mw->openAct->trigger();
    driver.stop();
    EXPECT_EQ(shown, "cannot open file");
}

TEST(LoadStatistics, TextOfATwoDimensionalImage) {
    int32_t dims[3] = {2, 3, 2};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    for (int i = 0; i < 6; ++i) static_cast<float *>(h->vekptr)[i] = float(i);
    int32_t maxLabel = -1;
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\n\nImage has 1 frame and 2 rows and 3 Columns\n"
              "max = 5 min = 0 Mean = 2.5 StdDev = 1.70783");
    EXPECT_EQ(maxLabel, 5);
    Zvekfree(h, 7);

    // A 1-D image counts as one row.
    int32_t line[2] = {1, 4};
    h = Zvekcreate("float", line, 11, 0);
    for (int i = 0; i < 4; ++i) static_cast<float *>(h->vekptr)[i] = 2.0f - 1.5f * i;
    // Deviations 2.25, 0.75, -0.75, -2.25: sqrt(2.8125) = 1.677051.
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\n\nImage has 1 frame and 1 rows and 4 Columns\n"
              "max = 2 min = -2.5 Mean = -0.25 StdDev = 1.67705");
    EXPECT_EQ(maxLabel, 2);
    Zvekfree(h, 7);
}

TEST(LoadStatistics, ThreeDimensionalImagesByFrameCount) {
    // 2 x 1 pixels, nine frames: only the first three are measured.
    int32_t dims[4] = {3, 2, 1, 9};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    float *p = static_cast<float *>(h->vekptr);
    for (int i = 0; i < 18; ++i) p[i] = float(i * i);
    int32_t maxLabel = 0;
    // Frames: {0, 1}, {4, 9}, {16, 25}.
    EXPECT_EQ(imageStatistics(h, "u8bit", &maxLabel),
              " --- u8bit\n\nImage has 9 frames and 1 rows and 2 Columns\n"
              "max = [1 9 25], min = [0 4 16], Mean = [0.5 6.5 20.5], StdDev = [0.5 2.5 4.5]");
    EXPECT_EQ(maxLabel, 1);
    Zvekfree(h, 7);

    // Fewer than three frames: measured as far as they go.
    int32_t two[4] = {3, 2, 1, 2};
    h = Zvekcreate("float", two, 11, 0);
    p = static_cast<float *>(h->vekptr);
    p[0] = 3;
    p[1] = 5;
    p[2] = -7;
    p[3] = -9;
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\nImage has 2 frames and 1 rows and 2 Columns\n"
              "max = [5 -7], min = [3 -9], Mean = [4 -8], StdDev = [1 1]");
    Zvekfree(h, 7);
    int32_t one[4] = {3, 2, 1, 1};
    h = Zvekcreate("float", one, 11, 0);
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\nImage has 1 frame and 1 rows and 2 Columns\n"
              "max = [0], min = [0], Mean = [0], StdDev = [0]");
    Zvekfree(h, 7);
}

TEST(LoadStatistics, LargeValuesAndLargeImages) {
    // Values beyond the old starting extremes of -1e6 and 1e7.
    int32_t dims[3] = {2, 2, 2};
    ZVEKHDR *h = Zvekcreate("float", dims, 11, 0);
    float *p = static_cast<float *>(h->vekptr);
    for (int i = 0; i < 4; ++i) p[i] = -2.0e6f;
    int32_t maxLabel = 0;
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\n\nImage has 1 frame and 2 rows and 2 Columns\n"
              "max = -2e+06 min = -2e+06 Mean = -2e+06 StdDev = 0");
    EXPECT_EQ(maxLabel, -2000000);
    for (int i = 0; i < 4; ++i) p[i] = 3.0e7f;
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\n\nImage has 1 frame and 2 rows and 2 Columns\n"
              "max = 3e+07 min = 3e+07 Mean = 3e+07 StdDev = 0");
    // A maximum beyond the int range is kept within it; NaN gives 0.
    p[0] = 1e20f;
    imageStatistics(h, "", &maxLabel);
    EXPECT_EQ(maxLabel, std::numeric_limits<int32_t>::max());
    for (int i = 0; i < 4; ++i) p[i] = std::numeric_limits<float>::quiet_NaN();
    imageStatistics(h, "", &maxLabel);
    EXPECT_EQ(maxLabel, 0);
    Zvekfree(h, 7);

    // 4096 x 4096 values alternating 1000.5 and 1001.5: mean 1001, deviation
    // 0.5 exactly; a single-precision running sum drifts far from that.
    int32_t big[3] = {2, 4096, 4096};
    h = Zvekcreate("float", big, 11, 0);
    p = static_cast<float *>(h->vekptr);
    for (int i = 0; i < 4096 * 4096; ++i) p[i] = (i & 1) ? 1001.5f : 1000.5f;
    EXPECT_EQ(imageStatistics(h, "", &maxLabel),
              "\n\nImage has 1 frame and 4096 rows and 4096 Columns\n"
              "max = 1001.5 min = 1000.5 Mean = 1001 StdDev = 0.5");
    EXPECT_EQ(maxLabel, 1001);
    Zvekfree(h, 7);
}

namespace {

// Writes a new image of the type and shape with values f(i) (through the
// double accessor of its element index) to path in the own format.
QString writeOwn(const QString &path, const char *type, std::vector<int32_t> dims,
                 const std::function<double(int)> &f) {
    ZVEKHDR *h = Zvekcreate(type, dims.data(), 11, 0);
    EXPECT_NE(h, nullptr);
    const int cols = dims[1], rows = dims[0] >= 2 ? dims[2] : 1;
    const int frames = dims[0] >= 3 ? dims[3] : 1;
    for (int fr = 0; fr < frames; ++fr)
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                int i = (fr * rows + r) * cols + c;
                if (dims[0] == 3)
                    Zvekfpp3d(h, fr, r, c, f(i));
                else
                    Zvekfpp(h, r, c, f(i));
            }
    EXPECT_EQ(Zvekpot(h, path.toLocal8Bit().constData()), -1);
    Zvekfree(h, 7);
    return path;
}

}  // namespace

TEST_F(GuiTest, OwnFormatFilesLoadAsFloat) {
    const QString flat =
        writeOwn(home.path() + "/flat.zvek", "float", {2, 3, 2}, [](int i) { return i; });
    mw->handleFileByPath(flat, 1);
    ZVEKHDR *h = controller->images[1];
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->dtype, DT_32FLT);
    EXPECT_EQ(consoleText(), ">> Console\n\nImage has 1 frame and 2 rows and 3 Columns\n"
                             "max = 5 min = 0 Mean = 2.5 StdDev = 1.70783");
    EXPECT_EQ(controller->maxLabel, 5);
    EXPECT_EQ(controller->imageNames[1], "flat.zvek");
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, "Zvek image");
    EXPECT_EQ(ui.notices[0].title, "message");
    EXPECT_EQ(ui.notices[0].msec, 1000);

    // An 8-bit colour file: converted values and the type line.
    const QString colour = writeOwn(home.path() + "/colour.VEK", "u8bit", {3, 2, 1, 3},
                                    [](int i) { return 250 - 50 * i; });
    mw->console->setPlainText("");
    mw->handleFileByPath(colour, 2);
    h = controller->images[2];
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->dtype, DT_32FLT);
    const float expected[] = {250, 200, 150, 100, 50, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<float *>(h->vekptr)[i], expected[i]);
    EXPECT_EQ(consoleText(), " --- u8bit\n\nImage has 3 frames and 1 rows and 2 Columns\n"
                             "max = [250 150 50], min = [200 100 0], Mean = [225 125 25], "
                             "StdDev = [25 25 25]");
    EXPECT_EQ(controller->maxLabel, 250);

    // A 1-D file: one row.
    const QString line =
        writeOwn(home.path() + "/line.Zve", "16bit", {1, 4}, [](int i) { return -3 * i; });
    mw->console->setPlainText("");
    mw->handleFileByPath(line, 3);
    ASSERT_NE(controller->images[3], nullptr);
    EXPECT_EQ(consoleText(), "\n\nImage has 1 frame and 1 rows and 4 Columns\n"
                             "max = 0 min = -9 Mean = -4.5 StdDev = 3.3541");
}

TEST_F(GuiTest, ComplexOwnFormatFilesAreRefused) {
    ZVEKHDR *kept = makeFloat({2, 2, 2});
    controller->images[0] = kept;
    controller->imageNames[0] = "kept";
    const QString path =
        writeOwn(home.path() + "/spectrum.zvek", "32cmp", {2, 4, 4}, [](int i) { return i; });
    mw->handleFileByPath(path, 0);
    EXPECT_EQ(controller->images[0], kept);
    EXPECT_EQ(controller->imageNames[0], "kept");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Complex images cannot be loaded: " + path);
    EXPECT_TRUE(ui.notices.empty());
    EXPECT_EQ(consoleText(), ">> Console");
}

TEST_F(GuiTest, BoundaryFilesLoadAsThreeFloatFrames) {
    const QString path = home.path() + "/outline.ZVekb";
    writeFile(path, "# 3\n0 0\n2 0\n2 1\n");
    mw->handleFileByPath(path, 5);
    ZVEKHDR *h = controller->images[5];
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->dtype, DT_32FLT);
    ASSERT_EQ(Zvekdimen(h, 0), 3);
    ASSERT_EQ(Zvekdimen(h, 1), 2);
    ASSERT_EQ(Zvekdimen(h, 2), 3);
    // First point red, last green, the others white, on black.
    const float red[] = {255, 0, 255, 0, 0, 0}, green[] = {0, 0, 255, 0, 0, 255},
                blue[] = {0, 0, 255, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(plane(h, 0)[i], red[i]) << i;
        EXPECT_EQ(plane(h, 1)[i], green[i]) << i;
        EXPECT_EQ(plane(h, 2)[i], blue[i]) << i;
    }
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, "Boundary file");
    EXPECT_EQ(controller->imageNames[5], "outline.ZVekb");
    EXPECT_TRUE(consoleText().startsWith(">> Console\nImage has 3 frames and 2 rows and 3 Columns\n"
                                         "max = [255 255 255], min = [0 0 0]"));
}

TEST_F(GuiTest, PathsLongerThan256BytesLoadAndReopen) {
    QString dir = home.path();
    for (int i = 0; i < 6; ++i) dir += "/" + QString(50, QChar('a' + i));
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = savePicture(greyPicture(), dir + "/a picture with a long name.png");
    ASSERT_GT(path.toLocal8Bit().size(), 300);
    ui.openAnswers = {path};
    mw->openAct->trigger();
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(readFile(lastPathFile()), path.toLocal8Bit() + "\n");
    mw->deleteAct->trigger();
    ASSERT_EQ(controller->images[0], nullptr);
    mw->reopenAct->trigger();
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(controller->imageNames[0], "a picture with a long name.png");
    EXPECT_TRUE(consoleText().contains("\nOpening " + path + "\nImage has 3 frames"));
}

TEST_F(GuiTest, PictureStatisticsAgreeWithTheMeasuredImage) {
    // Statistics taken while a picture is converted equal those measured on
    // the stored float frames afterwards, for colour and grey pictures.
    uint32_t seed = 99;
    auto next = [&]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 255;
    };
    QImage colour(37, 23, QImage::Format_RGB32);
    for (int r = 0; r < 23; ++r)
        for (int c = 0; c < 37; ++c) colour.setPixel(c, r, qRgb(next(), next() / 3, 200 + next() % 56));
    QImage grey(41, 19, QImage::Format_Grayscale8);
    for (int r = 0; r < 19; ++r)
        for (int c = 0; c < 41; ++c) grey.scanLine(r)[c] = static_cast<uchar>(next());
    int slot = 0;
    for (const QImage &picture : {colour, grey}) {
        const QString path = savePicture(picture, home.path() + QString("/p%1.png").arg(slot));
        mw->console->setPlainText("");
        controller->maxLabel = -5;
        mw->handleFileByPath(path, slot);
        ASSERT_NE(controller->images[slot], nullptr);
        int32_t maxLabel = 0;
        EXPECT_EQ(consoleText(),
                  imageStatistics(controller->images[slot], "", &maxLabel));
        EXPECT_EQ(controller->maxLabel, maxLabel);
        ++slot;
    }
}

TEST(LoadStatistics, SumsOfIntegerPlanes) {
    // 0, 10, ..., 70: mean 35, deviation sqrt(525).
    uint64_t sum = 0, squares = 0;
    for (int v = 0; v < 80; v += 10) {
        sum += v;
        squares += v * v;
    }
    PlaneStats st = planeFromSums(8, 0, 70, sum, squares);
    EXPECT_EQ(st.max, 70.0f);
    EXPECT_EQ(st.min, 0.0f);
    EXPECT_EQ(st.mean, 35.0f);
    EXPECT_FLOAT_EQ(st.stdDev, std::sqrt(525.0f));
    // A constant plane has no deviation at all.
    const int64_t n = 24000000;
    st = planeFromSums(n, 255, 255, uint64_t(n) * 255, uint64_t(n) * 255 * 255);
    EXPECT_EQ(st.mean, 255.0f);
    EXPECT_EQ(st.stdDev, 0.0f);
}

TEST(PictureConversion, EveryPixelFormatGivesTheValuesOfItsPixels) {
    // Whatever format the toolkit's reader hands over, each frame holds the
    // red, green and blue values that the picture's own pixel() reports
    // (premultiplied colours for premultiplied formats), and the statistics
    // taken on the way agree with a separate pass over those values.
    QImage source(7, 5, QImage::Format_ARGB32);
    uint32_t seed = 7;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 7; ++c) {
            seed = seed * 1664525u + 1013904223u;
            source.setPixel(c, r, qRgba(seed >> 24, (seed >> 16) & 255, (seed >> 8) & 255,
                                        (r * 7 + c) % 3 == 0 ? 255 : (seed >> 4) & 255));
        }
    for (int f = QImage::Format_Mono; f < QImage::NImageFormats; ++f) {
        const QImage picture = source.convertToFormat(static_cast<QImage::Format>(f));
        if (picture.isNull()) continue;
        SCOPED_TRACE(testing::Message() << "format " << f);
        PlaneStats stats[3];
        ZVEKHDR *h = pictureToFloat(picture, stats);
        ASSERT_NE(h, nullptr);
        const float *data = static_cast<const float *>(h->vekptr);
        for (int k = 0; k < 3; ++k) {
            std::vector<int> values;
            for (int r = 0; r < 5; ++r)
                for (int c = 0; c < 7; ++c) {
                    const QRgb px = picture.pixel(c, r);
                    values.push_back(k == 0 ? qRed(px) : k == 1 ? qGreen(px) : qBlue(px));
                }
            int mismatches = 0;
            double sum = 0;
            for (int i = 0; i < 35; ++i) {
                mismatches += data[k * 35 + i] != float(values[i]) ? 1 : 0;
                sum += values[i];
            }
            EXPECT_EQ(mismatches, 0) << "frame " << k;
            const double mean = float(sum / 35);
            double squares = 0;
            for (int v : values) squares += (v - mean) * (v - mean);
            EXPECT_EQ(stats[k].max, float(*std::max_element(values.begin(), values.end())));
            EXPECT_EQ(stats[k].min, float(*std::min_element(values.begin(), values.end())));
            EXPECT_EQ(stats[k].mean, float(mean));
            EXPECT_FLOAT_EQ(stats[k].stdDev, float(std::sqrt(squares / 35)));
        }
        Zvekfree(h, 7);
    }
}

TEST_F(GuiTest, FileOpenEventDuringSaveAsWaitsForIt) {
    // SaveAs holds the Output slot's image while its file dialog is open: a
    // file-open event for that slot must not free it meanwhile.
    controller->images[0] = makeFloat({2, 3, 2}, [](int i) { return float(i); });
    const QString path = savePicture(greyPicture(), home.path() + "/arrives.png");
    bool sent = false;
    ui.duringDialog = [&]() {
        if (sent) return;
        sent = true;
        sendFileOpen(path);
        EXPECT_TRUE(controller->imageNames[0].isEmpty());
    };
    mw->saveAsAct->trigger();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(controller->imageNames[0].isEmpty());
    pumpEvents(50);
    EXPECT_EQ(controller->imageNames[0], "arrives.png");
    ASSERT_NE(controller->images[0], nullptr);
    EXPECT_EQ(Zvekdimen(controller->images[0], 0), 4);
}

TEST_F(GuiTest, OwnFormatFilesOfEveryTypeLoadOrAreRefused) {
    // Files of each coded type of the table, 3 columns by 2 rows (and 3
    // frames): either a float image of the same shape arrives with a console
    // report, or a message is shown and the slot keeps what it had.
    int loaded = 0, refused = 0;
    for (int t = 0; t < Zvek_Ntyp; ++t) {
        if (Zvek_Dtyp[t].dtcode == 0) continue;
        const char *type = Zvek_Dtyp[t].dtname;
        for (int ndim : {2, 3}) {
            SCOPED_TRACE(testing::Message() << type << " " << ndim);
            int32_t dims[4] = {ndim, 3, 2, 3};
            ZVEKHDR *h = Zvekcreate(type, dims, 11, 1);
            ASSERT_NE(h, nullptr);
            const int bytes = Zvekdimen(h, ZVEK_NBYTES);
            for (int i = 0; i < bytes; ++i) static_cast<unsigned char *>(h->vekptr)[i] = 3 * i + 1;
            const QString path = home.path() + "/typed.zvek";
            testing::internal::CaptureStdout();
            const int written = Zvekpot(h, path.toLocal8Bit().constData());
            testing::internal::GetCapturedStdout();
            Zvekfree(h, 7);
            ASSERT_EQ(written, -1);

            ZVEKHDR *kept = makeFloat({2, 1, 1});
            if (controller->images[7]) Zvekfree(controller->images[7], 7);
            controller->images[7] = kept;
            ui.messages.clear();
            mw->console->setPlainText("");
            testing::internal::CaptureStderr();
            mw->handleFileByPath(path, 7);
            testing::internal::GetCapturedStderr();
            ZVEKHDR *in = controller->images[7];
            if (in != kept) {
                ++loaded;
                EXPECT_EQ(in->dtype, DT_32FLT);
                EXPECT_EQ(in->vekndim, ndim);
                EXPECT_EQ(Zvekdimen(in, 0), 3);
                EXPECT_EQ(Zvekdimen(in, 1), 2);
                EXPECT_TRUE(ui.messages.empty());
                EXPECT_TRUE(consoleText().contains("Image has ")) << consoleText().toStdString();
            } else {
                ++refused;
                EXPECT_EQ(ui.messages.size(), 1u);
                EXPECT_EQ(consoleText(), "");
            }
        }
    }
    // At least the scalar integer and float types load; complex files are refused.
    EXPECT_GE(loaded, 14);
    EXPECT_GE(refused, 4);
}
