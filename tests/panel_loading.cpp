// Loading: Read, Reopen and file-open events, the suffix rules, pictures,
// own-format and boundary files as float images, refused files, notices,
// the console statistics and the last-path file.
#include <QDir>
#include <QFile>
#include <QFileOpenEvent>
#include <QImage>
#include <QMessageBox>
#include <cmath>
#include <limits>

#include "gui_fixture.h"
#include "slotimage.h"

namespace {

QString lastPathFile() { return QDir::homePath() + "/.com.ZVEK.ZVektool"; }

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return path;
}

// A grey picture of 4 columns and 2 rows holding 0, 10, ..., 70.
QString greyPicture(const QString &path) {
    QImage picture(4, 2, QImage::Format_Grayscale8);
    for (int i = 0; i < 8; ++i) picture.scanLine(i / 4)[i % 4] = uchar(10 * i);
    EXPECT_TRUE(picture.save(path, "PNG"));
    return path;
}

QString savePicture(const QImage &picture, const QString &path) {
    EXPECT_TRUE(picture.save(path, "PNG"));
    return path;
}

// An own-format file of a type and shape holding f(i) at element i.
QString writeOwn(const QString &path, const char *type, std::vector<int32_t> dims, double (*f)(int)) {
    ZVEKHDR *h = Zvekcreate(type, dims.data(), 11, 0);
    const int cols = dims[1], plane = cols * (dims[0] >= 2 ? dims[2] : 1);
    for (int i = 0; i < Zvekdimen(h, ZVEK_NPIXELS); ++i)
        dims[0] == 3 ? Zvekfpp3d(h, i / plane, i % plane / cols, i % cols, f(i)) : Zvekfpp(h, i / cols, i % cols, f(i));
    EXPECT_EQ(Zvekpot(h, path.toLocal8Bit().constData()), -1);
    Zvekfree(h, 7);
    return path;
}

void sendFileOpen(const QString &path) {
    QFileOpenEvent event(path);
    EXPECT_TRUE(QCoreApplication::sendEvent(qApp, &event));
}

}  // namespace

TEST_F(GuiTest, FilesLoadAsFloatImagesWithTheirStatistics) {
    const QString dir = home.path() + "/";
    struct Row { QString path; const char *notice, *shape; std::vector<float> values; const char *console; int max; };
    std::vector<float> grey;
    for (int i = 0; i < 24; ++i) grey.push_back(10.0f * (i % 8));
    const char *greyConsole = "\nImage has 3 frames and 2 rows and 4 Columns\nmax = [70 70 70], min = [0 0 0], "
                              "Mean = [35 35 35], StdDev = [22.9129 22.9129 22.9129]";
    QImage argb(3, 1, QImage::Format_ARGB32), palette(2, 2, QImage::Format_Indexed8);
    const QRgb colours[] = {qRgba(255, 1, 2, 128), qRgba(3, 250, 4, 255), qRgba(5, 6, 200, 0)};
    for (int i = 0; i < 3; ++i) argb.setPixel(i, 0, colours[i]);
    palette.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    palette.fill(0);
    palette.setPixel(1, 1, 1);
    const Row rows[] = {
        {greyPicture(dir + "grey.png"), "non ZVEK", "32flt 3:4x2x3", grey, greyConsole, 70},
        // Colour pictures: alpha dropped; a palette through the toolkit's conversion.
        {savePicture(argb, dir + "alpha.png"), "non ZVEK", "32flt 3:3x1x3", {255, 3, 5, 1, 250, 6, 2, 4, 200},
         "\nImage has 3 frames and 1 rows and 3 Columns\nmax = [255 250 200], min = [3 1 2], "
         "Mean = [87.6667 85.6667 68.6667], StdDev = [118.325 116.219 92.8703]", 255},
        {savePicture(palette, dir + "palette.png"), "non ZVEK", "32flt 3:2x2x3",
         {10, 10, 10, 200, 20, 20, 20, 100, 30, 30, 30, 50},
         "\nImage has 3 frames and 2 rows and 2 Columns\nmax = [200 100 50], min = [10 20 30], Mean = [57.5 40 35], "
         "StdDev = [82.2724 34.641 8.66025]", 200},
        // Named like the own format, but "ZVek" is not one of its endings.
        {greyPicture(dir + "photo.ZVek"), "non ZVEK", "32flt 3:4x2x3", grey, greyConsole, 70},
        {writeOwn(dir + "flat.zvek", "float", {2, 3, 2}, [](int i) { return double(i); }), "Zvek image", "32flt 2:3x2",
         {0, 1, 2, 3, 4, 5}, "\n\nImage has 1 frame and 2 rows and 3 Columns\nmax = 5 min = 0 Mean = 2.5 "
         "StdDev = 1.70783", 5},
        {writeOwn(dir + "colour.VEK", "u8bit", {3, 2, 1, 3}, [](int i) { return 250.0 - 50 * i; }), "Zvek image",
         "32flt 3:2x1x3", {250, 200, 150, 100, 50, 0},
         " --- u8bit\n\nImage has 3 frames and 1 rows and 2 Columns\nmax = [250 150 50], min = [200 100 0], "
         "Mean = [225 125 25], StdDev = [25 25 25]", 250},
        {writeOwn(dir + "line.Zve", "16bit", {1, 4}, [](int i) { return -3.0 * i; }), "Zvek image", "32flt 1:4",
         {0, -3, -6, -9}, "\n\nImage has 1 frame and 1 rows and 4 Columns\nmax = 0 min = -9 Mean = -4.5 "
         "StdDev = 3.3541", 0},
        // A point list: the first point red, the last green, the others white, on black.
        {writeFile(dir + "outline.ZVekb", "# 3\n0 0\n2 0\n2 1\n"), "Boundary file", "32flt 3:3x2x3",
         {255, 0, 255, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0},
         "\nImage has 3 frames and 2 rows and 3 Columns\nmax = [255 255 255], min = [0 0 0], Mean = [85 85 42.5], "
         "StdDev = [120.208 120.208 95.0329]", 255},
    };
    for (int i = 0; i < 8; ++i) {
        const Row &row = rows[i];
        SCOPED_TRACE(row.path.toStdString());
        mw->console->setPlainText("");
        ui.notices.clear();
        controller->maxLabel = -5;
        mw->handleFileByPath(row.path, i);
        ASSERT_EQ(shape(slot(i)), row.shape);
        EXPECT_EQ(std::vector<float>(pixels(slot(i)), pixels(slot(i)) + row.values.size()), row.values);
        EXPECT_EQ(consoleText(), row.console);
        EXPECT_EQ(controller->maxLabel, row.max);
        EXPECT_EQ(controller->imageNames[i], QFileInfo(row.path).fileName());
        ASSERT_EQ(ui.notices.size(), 1u);
        EXPECT_EQ(ui.notices[0].text + "|" + ui.notices[0].title + "|" + QString::number(ui.notices[0].msec),
                  QString(row.notice) + "|message|1000");
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(mw->viewAct->isEnabled() && mw->dxButton->isEnabled() && mw->addButton->isEnabled()) << "rule ran";
}

TEST_F(GuiTest, RefusedFilesLeaveTheSlotItsNameAndWindow) {
    const QString dir = home.path() + "/";
    writeFile(dir + "text.jpg", "this is not a picture");
    writeFile(dir + "empty.ZVekb", "");
    writeFile(dir + "photo.zvek", readFile(greyPicture(dir + "photo.png")));
    writeOwn(dir + "spectrum.zvek", "32cmp", {2, 4, 4}, [](int i) { return double(i); });
    const QString whole = writeOwn(dir + "whole.zvek", "float", {2, 64, 64}, [](int i) { return i * 0.1; });
    writeFile(dir + "cut.zvek", readFile(whole).left(300));
    put(4, makeFloat({2, 3, 2}, [](int i) { return float(i); }));
    controller->imageNames[4] = "kept";
    mw->outputRadios[4]->click();
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    const auto before = state();
    // Pictures are announced before they are read; refused files are not.
    const std::pair<const char *, const char *> rows[] = {
        {"missing.png", "non ZVEK|Cannot read the picture "}, {"text.jpg", "non ZVEK|Cannot read the picture "},
        {"empty.ZVekb", "|Cannot read the boundary file "}, {"missing.ZVekb", "|Cannot read the boundary file "},
        {"missing.zvek", "|Cannot read the image file "}, {"photo.zvek", "|Cannot read the image file "},
        {"cut.zvek", "|Cannot read the image file "}, {"spectrum.zvek", "|Complex images cannot be loaded: "}};
    for (const auto &row : rows) {
        ui.clear();
        printed([&] { mw->handleFileByPath(dir + row.first, 4); });
        EXPECT_EQ((ui.notices.empty() ? "" : ui.notices[0].text) + "|" + ui.said(), row.second + dir + row.first);
        EXPECT_TRUE(state() == before && mw->childWindow(4) == window.data() && controller->maxLabel == 0) << row.first;
        EXPECT_EQ(controller->imageNames[4] + consoleText(), "kept>> Console");
    }
    ui.messages.clear();
    mw->handleFileByPath(QString(), 4);
    mw->handleFileByPath(dir + "photo.png", 8);
    mw->handleFileByPath(dir + "photo.png", -1);
    EXPECT_EQ(ui.interactions(), 0u);
    EXPECT_TRUE(state() == before);
}

TEST_F(GuiTest, ReadWritesTheLastPathFileAndReopenReadsItBack) {
    mw->openAct->trigger();  // cancelled
    EXPECT_EQ(ui.messages, std::vector<QString>{"cannot open file"});
    EXPECT_EQ(ui.openCaptions.at(0) + "|" + ui.openDirs.at(0) + "|" + consoleText(),
              "Open File|" + home.path() + "|>> Console");
    EXPECT_EQ(readFile(lastPathFile()), "<missing>");
    // A path of more than 300 bytes with blanks.
    QString dir = home.path();
    for (int i = 0; i < 6; ++i) dir += "/" + QString(50, QChar('a' + i)) + " b";
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = greyPicture(dir + "/pic 1.png");
    const QString loaded = "\nOpening " + path + "\nImage has 3 frames and 2 rows and 4 Columns\nmax = [70 70 70], "
                           "min = [0 0 0], Mean = [35 35 35], StdDev = [22.9129 22.9129 22.9129]";
    mw->outputRadios[6]->click();
    ui.openAnswers = {path};
    mw->openAct->trigger();
    EXPECT_EQ(readFile(lastPathFile()), path.toLocal8Bit() + "\n");
    EXPECT_EQ(consoleText(), ">> Console" + loaded);
    EXPECT_TRUE(mw->viewAct->isEnabled());
    mw->openAct->trigger();  // cancelled
    EXPECT_EQ(ui.openDirs.back(), path) << "Read starts at the last path";
    mw->deleteAct->trigger();
    mw->reopenAct->trigger();
    EXPECT_EQ(shape(slot(6)), "32flt 3:4x2x3");
    // New starts: Reopen reads the whole first line of the file; without a
    // file, or with an empty line, nothing is loaded or shown.
    const std::pair<QByteArray, std::string> lastPaths[] = {
        {path.toLocal8Bit() + "\r\nother\n", ""}, {"", "cannot open " + lastPathFile().toStdString() + "\n"},
        {"\n", ""}};
    for (const auto &row : lastPaths) {
        QFile::remove(lastPathFile());
        if (!row.first.isEmpty()) writeFile(lastPathFile(), row.first);
        delete mw;
        put(2, nullptr);
        mw = controller->mainWindow = new ZVektoolMainWindow();
        mw->outputRadios[2]->click();
        EXPECT_EQ(printed([&] { mw->reopenAct->trigger(); }), row.second);
        EXPECT_EQ(consoleText(), ">> Console" + (row.first.size() > 1 ? loaded : QString()));
        EXPECT_EQ(mw->viewAct->isEnabled(), row.first.size() > 1);
    }
    EXPECT_EQ(ui.messages.size(), 2u);
    // A last-path file that cannot be written: the picture loads all the same.
    qputenv("HOME", (home.path() + "/does/not/exist").toLocal8Bit());
    ui.openAnswers = {path};
    EXPECT_EQ(printed([&] { mw->openAct->trigger(); }), " cannot open logging file\n");
    EXPECT_NE(slot(2), nullptr);
}

TEST_F(GuiTest, FileOpenEventsLoadIntoSlotZeroAfterAnyRunningCommand) {
    put(0, makeFloat({2, 5, 5}));
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    select(1, 2, 3);
    const QString path = greyPicture(home.path() + "/event.png");
    sendFileOpen(path);
    EXPECT_EQ(shape(slot(0)) + controller->imageNames[0].toStdString(), "32flt 3:4x2x3event.png");
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(mw->getRadioButtonStatus(OUTPUT), 3);
    EXPECT_EQ(readFile(lastPathFile()), "<missing>") << "the event leaves the last-path file alone";
    mw->reopenAct->trigger();
    EXPECT_EQ(controller->imageNames[3], "event.png");
    // While Read or SaveAs has its dialog open, an event for the slot waits.
    QImage wide(6, 1, QImage::Format_Grayscale8);
    wide.fill(7);
    ASSERT_TRUE(wide.save(home.path() + "/wide.png"));
    for (QAction *command : {mw->openAct, mw->saveAsAct}) {
        select(0, 0, 0);
        put(0, makeFloat({2, 2, 2}));
        controller->imageNames[0] = "held";
        ui.openAnswers = {command == mw->openAct ? path : QString()};
        int events = 0;
        ui.duringDialog = [&]() {
            if (events++ == 0) sendFileOpen(home.path() + "/wide.png");
            EXPECT_EQ(controller->imageNames[0], "held");
        };
        command->trigger();
        EXPECT_EQ(events, 1);
        EXPECT_EQ(controller->imageNames[0], command == mw->openAct ? "event.png" : "held");
        pumpEvents(50);
        EXPECT_EQ(shape(slot(0)) + controller->imageNames[0].toStdString(), "32flt 3:6x1x3wide.png");
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GuiTest, ReadThroughTheRealDialogs) {
    ZVekUi::install(nullptr);
    DialogWatchdog watchdog;
    const QString path = greyPicture(home.path() + "/dialog.png");
    QString seen;
    whenModal([&](QWidget *w) {
        seen = w->windowTitle();
        auto *name = w->findChild<QLineEdit *>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog *>(w)->accept();
    });
    mw->openAct->trigger();
    EXPECT_EQ(seen + "|" + controller->imageNames[0], "Open File|dialog.png");
    // The notice: parentless, not modal, titled "message", gone after a second.
    QPointer<QMessageBox> notice;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible() && box->text() == "non ZVEK")
            notice = box;
    ASSERT_FALSE(notice.isNull());
    EXPECT_EQ(notice->windowTitle(), "message");
    EXPECT_FALSE(notice->isModal() || notice->parent());
    pumpEvents(1300);
    EXPECT_TRUE(notice.isNull());
    // A cancelled dialog answers with the modal "cannot open file".
    whenModal([&](QWidget *w) {
        static_cast<QDialog *>(w)->reject();
        whenModal([&](QWidget *box) {
            if (auto *b = qobject_cast<QMessageBox *>(box)) seen = b->text();
            static_cast<QDialog *>(box)->accept();
        });
    });
    mw->openAct->trigger();
    EXPECT_EQ(seen, "cannot open file");
}

TEST_F(GuiTest, LoadStatisticsOfEveryShape) {
    // Shape, values, type name; the end of the console text and the maximum.
    struct Row { std::vector<int32_t> dims; std::vector<float> values; const char *type, *text; int32_t max; };
    const float nan = std::numeric_limits<float>::quiet_NaN(), big = 1e20f;
    const Row rows[] = {
        {{2, 3, 2}, {0, 1, 2, 3, 4, 5}, "", "2 rows and 3 Columns\nmax = 5 min = 0 Mean = 2.5 StdDev = 1.70783", 5},
        // Deviations 2.25, 0.75, -0.75, -2.25: sqrt(2.8125).
        {{1, 4}, {2, 0.5, -1, -2.5}, "", "1 rows and 4 Columns\nmax = 2 min = -2.5 Mean = -0.25 StdDev = 1.67705", 2},
        // Nine frames: the first three are measured; fewer: as far as they go.
        {{3, 2, 1, 9}, {0, 1, 4, 9, 16, 25, 36, 49, 64, 81, 100, 121, 144, 169, 196, 225, 256, 289}, "u8bit",
         " --- u8bit\n\nImage has 9 frames and 1 rows and 2 Columns\nmax = [1 9 25], min = [0 4 16], "
         "Mean = [0.5 6.5 20.5], StdDev = [0.5 2.5 4.5]", 1},
        {{3, 2, 1, 2}, {3, 5, -7, -9}, "", "\nImage has 2 frames and 1 rows and 2 Columns\nmax = [5 -7], min = [3 -9], "
         "Mean = [4 -8], StdDev = [1 1]", 5},
        {{3, 2, 1, 1}, {0, -0.0f}, "",
         "\nImage has 1 frame and 1 rows and 2 Columns\nmax = [0], min = [0], Mean = [0], StdDev = [0]", 0},
        // Beyond the old starting extremes -1e6 and 1e7; beyond the int range.
        {{2, 2, 2}, {-2e6f, -2e6f, -2e6f, -2e6f}, "", "max = -2e+06 min = -2e+06 Mean = -2e+06 StdDev = 0", -2000000},
        {{2, 2, 1}, {3e7f, 3e7f}, "", "max = 3e+07 min = 3e+07 Mean = 3e+07 StdDev = 0", 30000000},
        {{2, 2, 1}, {big, 0}, "", "", std::numeric_limits<int32_t>::max()},
        {{2, 2, 1}, {-big, -big}, "", "", std::numeric_limits<int32_t>::min()},
        {{2, 2, 1}, {nan, nan}, "", "", 0}};
    for (Row row : rows) {
        ZVEKHDR *h = keep(Zvekcreate("float", row.dims.data(), 11, 0));
        std::copy(row.values.begin(), row.values.end(), pixels(h));
        int32_t max = 12345;
        const QString text = imageStatistics(h, row.type, &max);
        EXPECT_TRUE(text.endsWith(row.text) && max == row.max) << text.toStdString() << " " << max;
    }
    // 4096 x 4096 values alternating 1000.5 and 1001.5: mean 1001, deviation
    // 0.5 exactly, where a single-precision running sum drifts.
    int32_t max = 0;
    EXPECT_TRUE(!pictureToFloat(QImage()) && !convertToFloat(nullptr) && !duplicateImage(nullptr));
    ZVEKHDR *large = keep(makeFloat({2, 4096, 4096}, [](int i) { return (i & 1) ? 1001.5f : 1000.5f; }));
    EXPECT_TRUE(imageStatistics(large, "", &max).endsWith("max = 1001.5 min = 1000.5 Mean = 1001 StdDev = 0.5"));
    // Sums of integer planes: 0, 10, ..., 70 and a constant plane of 24 million.
    const PlaneStats st = planeFromSums(8, 0, 70, 280, 14000);
    const PlaneStats flat = planeFromSums(24000000, 9, 9, 216000000, 1944000000);
    EXPECT_EQ(std::vector<float>({st.max, st.min, st.mean, st.stdDev, flat.mean, flat.stdDev}),
              std::vector<float>({70, 0, 35, float(std::sqrt(525.0)), 9, 0}));
}
