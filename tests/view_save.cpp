// Saving: the view window's write-back of the adjusted display into the slot
// image, its picture written to a file, and SaveAs of the Output image in the
// own format or as a common picture, with the failures they report.
#include <QDir>
#include <QFileOpenEvent>
#include <sys/stat.h>

#include <csignal>
#include <random>

#include "imagelib_fixture.h"
#include "view_fixture.h"

namespace {

float at(ZVEKHDR *h, int frame, int row, int col) { return static_cast<float>(Zvekfgp3d(h, frame, row, col)); }

std::vector<float> samples(ZVEKHDR *h) {
    const ZvekShape s = zvekShape(h);
    return std::vector<float>(static_cast<const float *>(h->vekptr), static_cast<const float *>(h->vekptr) + s.pixels() * s.frames);
}

// The write-back of a working-copy value w in single precision step by step: w + offset bounded to 0..255, stretched by
// level and window, bounded again for colour, back to data units.
float writtenBack(float w, int offset, int level, int window, bool colour, float mn, float mx) {
    const float lo = static_cast<float>(level);
    float hi = static_cast<float>(level + window);
    if (hi - lo == 0.0f) hi = static_cast<float>(hi + 0.0001);
    float v = std::min(std::max(static_cast<float>(static_cast<double>(w) + offset), 0.0f), 255.0f);
    const float stretched = (v - lo) * 255.0f;
    v = stretched / (hi - lo);
    if (colour) v = std::min(std::max(v, 0.0f), 255.0f);
    const float scaled = v * (mx - mn);
    return mn + scaled / 255.0f;
}

const QString failed = "output of file to disk failed";
std::vector<QString> messages(const QString &m) { return m.isEmpty() ? std::vector<QString>() : std::vector<QString>{m}; }

}  // namespace

TEST_F(ViewTest, WriteBackInSinglePrecision) {
    // Fractional working-copy values, and values from 0 to 255 for values by hand.
    auto f = [](int i) { return -3.25f + 0.731f * static_cast<float>((i * 37) % 997); };
    ZVektoolChildWindow *w[4] = {view(makeFloat({2, 40, 25}, f), 0), view(makeFloat({3, 20, 15, 3}, f), 1),
                                 view(makeFloat({2, 4, 2}, [](int i) { return std::vector<float>{0, 20, 64, 200, 255}[i % 5]; }), 2),
                                 view(colourImage(), 3)};
    // Controls, and values by hand: window, frame, column at row 0, value.
    struct Row { const char *name; int level, window, bright, red, green, blue; std::vector<std::tuple<int, int, int, float>> hand; };
    const Row rows[] = {
        // Grey is not bounded after the stretch, colour is: 200 x 255 / 128.
        {"as opened", 0, 128, 0, 0, 0, 0, {{2, 0, 3, 398.4375f}, {2, 0, 1, 39.84375f}, {3, 0, 3, 255}, {3, 1, 1, 79.6875f}}},
        // 20 - 10 below the level: (10 - 50) 2.55; 0 - 10 bounded to 0 first.
        {"level 50", 50, 100, -10, -10, -10, -10, {{2, 0, 1, -102}, {2, 0, 0, -127.5f}, {2, 0, 3, 357}}},
        {"channel offsets", 0, 255, 0, -100, 60, 0, {{3, 0, 3, 50}, {3, 1, 3, 140}, {3, 1, 0, 80}, {3, 2, 0, 255}}},
        {"mixed", 30, 100, 7, -20, 13, 40, {}}, {"window 197", 3, 197, -9, 0, 0, 0, {}},
        {"window 0", 0, 0, 0, 0, 0, 0, {{3, 0, 0, 0}, {3, 0, 1, 255}}},
    };
    for (const Row &r : rows) {
        for (ZVektoolChildWindow *x : w) {
            x->resetAct->trigger(), x->windowSlider->setValue(r.window), x->levelSlider->setValue(r.level), x->brightSlider->setValue(r.bright);
            x->redSlider->setValue(r.red), x->greenSlider->setValue(r.green), x->blueSlider->setValue(r.blue), x->saveAct->trigger();
        }
        for (int k = 0; k < 4; ++k) {
            const ZvekShape s = w[k]->workShape();
            const int n = s.cols * s.rows, offsets[3] = {k % 2 ? r.red : r.bright, r.green, r.blue};
            const float *work = static_cast<const float *>(w[k]->workImage->vekptr);
            const std::vector<float> stored = samples(controller->images[k]);
            int wrong = 0;
            for (int i = 0; i < n * s.frames; ++i)
                wrong += stored[i] != writtenBack(work[i], offsets[i / n], r.level, r.window, k % 2, w[k]->dataMin, w[k]->dataMax);
            EXPECT_EQ(wrong, 0) << r.name << " window " << k;
        }
        for (auto [k, frame, col, value] : r.hand) EXPECT_EQ(at(controller->images[k], frame, 0, col), value) << r.name;
    }
}

TEST_F(ViewTest, WriteBackOfOtherImages) {
    struct Row { const char *name; std::vector<int32_t> dims; std::function<float(int)> data;
                 std::function<void(ZVektoolChildWindow *)> act; std::function<float(int)> want; float tolerance; };
    auto neutral = [](auto *w) { w->resetAct->trigger(); };
    auto fraction = [](int i) { return 10.0f + 1.37f * static_cast<float>((i * 7) % 24); };
    auto span = [](int i) { return i == 3 ? 255.0f : i * 12.0f; };
    const float limits[4] = {-3e38f, 3e38f, 0.0f, 1.5e38f};
    auto limit = [&](int i) { return limits[(i + i / 4) % 4]; };
    const Row rows[] = {
        // Offsets 0, window 255 give back the values within single precision.
        {"grey neutral", {2, 6, 4}, fraction, neutral, fraction, 3e-5f},
        {"colour neutral", {3, 4, 2, 3}, fraction, neutral, fraction, 3e-5f},
        // Frames 0 to 2 are rewritten, further frames keep their values.
        {"five frames", {3, 2, 2, 5}, span, [](auto *w) { w->resetAct->trigger(), w->redSlider->setValue(5); },
         [&](int i) { return std::min(255.0f, span(i) + (i < 4 ? 5.0f : 0.0f)); }, 0},
        // Too few frames for colour: frame 0 only, with the bright offset.
        {"3-D one frame", {3, 2, 2, 1}, span, [](auto *w) { w->resetAct->trigger(), w->brightSlider->setValue(-30); },
         [&](int i) { return std::max(0.0f, span(i) - 30); }, 0},
        {"3-D two frames", {3, 2, 2, 2}, span, neutral, span, 0},
        {"1-D", {1, 6}, [](int i) { return 51.0f * i; }, [](auto *w) { w->resetAct->trigger(), w->brightSlider->setValue(-51); },
         [](int i) { return std::max(0.0f, 51.0f * i - 51); }, 0},
        // The span of the extremes overflows a float: numbers, never NaN.
        {"grey at float limits", {2, 4, 1}, limit, neutral, limit, 1e33f},
        {"colour at float limits", {3, 4, 1, 3}, limit, neutral, limit, 1e33f},
    };
    int slot = 0;
    for (const Row &r : rows) {
        ZVektoolChildWindow *w = view(makeFloat(r.dims, r.data), slot = (slot + 1) % 7);
        r.act(w), w->saveAct->trigger();
        const std::vector<float> stored = samples(controller->images[slot]);
        for (size_t i = 0; i < stored.size(); ++i) {
            ASSERT_TRUE(std::isfinite(stored[i])) << r.name << " sample " << i;
            EXPECT_NEAR(stored[i], r.want(int(i)), r.tolerance) << r.name << " sample " << i;
        }
    }
    // The values come from the working copy: a slot image of another shape, or of a window no longer registered, is left alone.
    auto ramp = [](int i) { return float(i); };
    ZVektoolChildWindow *w = view(makeFloat({2, 4, 2}, ramp), 7);
    w->brightSlider->setValue(100), Zvekfree(controller->images[7], 7);
    controller->images[7] = makeFloat({2, 8, 4}, ramp);
    w->saveAct->trigger();
    EXPECT_EQ(samples(controller->images[7])[9], 9.0f);
    Zvekfree(controller->images[7], 7);
    controller->images[7] = makeFloat({2, 4, 2}, ramp);
    mw->updateChildPtr(w, REMOVE_CHILD), w->saveAct->trigger();
    EXPECT_EQ(samples(controller->images[7])[1], 1.0f);
}

TEST_F(ViewTest, SavingThePicture) {
    // 101 x 50: a picture 104 wide, with a red mark where the mouse went.
    ZVektoolChildWindow *w = view(makeFloat({2, 101, 50}, [](int i) { return float((i * 13) % 256); }), 0, true);
    w->profileAct->trigger(), stroke(w, {5, 7}, {{5, 7}}, {5, 7});
    const QImage picture = shown(w);
    const std::vector<float> data = samples(controller->images[0]);
    ASSERT_TRUE(picture.pixel(5, 7) == qRgb(255, 0, 0) && QDir(home.path()).mkdir("folder.png") && QDir(home.path()).mkdir("folder.vek"));
    // The own format holds the picture as three "float" frames, whatever type is answered; the toolkit writes the rest.
    struct Row { QString file; bool own, written; QString message; };
    const Row rows[] = {
        {"shown.zve", true, true, ""}, {"shown.VEK", true, true, ""}, {"shown.png", false, true, ""},
        {QString(255 - home.path().toLocal8Bit().size() - 1 - 4, 'n') + ".vek", true, true, ""},  // a path of 255 bytes
        {"shown.zvek", false, false, failed}, {"shown.ZVE", false, false, failed},  // no own suffixes here, nor toolkit formats
        {"missing/shown.ZVEK", true, false, failed}, {"missing/shown.png", false, false, failed},
        {"folder.png", false, false, path("folder.png") + " is not a regular file"},
        {"folder.vek", true, false, path("folder.vek") + " is not a regular file"}, {"", false, false, ""},  // cancelled
    };
    for (const Row &r : rows) {
        sui.saveDialogs.clear(), sui.textPrompts.clear(), sui.messages.clear(), sui.saveAnswers = {path(r.file)}, sui.textAnswers = {"int"};
        w->saveBufferAct->trigger();
        EXPECT_EQ(sui.saveDialogs, std::vector<QStringList>({{"SaveAs File", QDir::homePath(),
                                                               "Images (*.png *.xpm *.jpg *.ZVEK *.Zvek *.Zve *.zve *.vek *.VEK)"}}));
        EXPECT_EQ(sui.textPrompts, r.own ? std::vector<QStringList>({{"QInputDialog::getText()", "ZVEK data type:", "float"}})
                                         : std::vector<QStringList>()) << r.file.toStdString();
        EXPECT_EQ(sui.messages, messages(r.message)) << r.file.toStdString();
        EXPECT_EQ(QFileInfo(path(r.file)).isFile(), r.written) << r.file.toStdString();
        EXPECT_TRUE(!r.written || r.own || QImage(path(r.file)).convertToFormat(QImage::Format_RGB32) == picture) << r.file.toStdString();
        if (!r.written || !r.own) continue;
        ZvekImagePtr file(Zvekpin(path(r.file).toLocal8Bit().constData()));
        ASSERT_TRUE(file && path(r.file).toLocal8Bit().size() <= 255) << r.file.toStdString();
        const ZvekShape s = zvekShape(file.get());
        int wrong = std::vector<int>({file->dtype, s.ndim, s.cols, s.rows, s.frames}) != std::vector<int>({DT_32FLT, 3, 104, 50, 3});
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 104; ++x)
                wrong += picture.pixel(x, y) != qRgb(at(file.get(), 0, y, x), at(file.get(), 1, y, x), at(file.get(), 2, y, x));
        EXPECT_EQ(wrong, 0) << r.file.toStdString();
    }
    EXPECT_TRUE(QFileInfo(path("folder.png")).isDir() && QFileInfo(path("folder.vek")).isDir());
    EXPECT_TRUE(shown(w) == picture && samples(controller->images[0]) == data);
    // A redraw takes the mark away, also from the next file; a cancelled type prompt still writes.
    w->level(), sui.saveAnswers = {path("again.vek")}, sui.textAnswers.clear(), w->saveBufferAct->trigger();
    ZvekImagePtr again(Zvekpin(path("again.vek").toLocal8Bit().constData()));
    EXPECT_TRUE(again && at(again.get(), 1, 7, 5) == at(again.get(), 0, 7, 5));
}

TEST_F(ViewTest, FileOpenEventWaitsForTheSave) {
    // A file-open event for the window's own slot during the save dialog is loaded once the save has finished.
    QPointer<ZVektoolChildWindow> w = view(makeFloat({2, 3, 2}, [](int i) { return float(i); }));
    QImage picture(4, 2, QImage::Format_Grayscale8);
    picture.fill(40);
    ASSERT_TRUE(!w.isNull() && picture.save(path("arrives.png"), "PNG"));
    sui.duringDialog = [&] {
        QFileOpenEvent event(path("arrives.png"));
        QCoreApplication::sendEvent(qApp, &event);
        EXPECT_TRUE(!w.isNull() && controller->imageNames[0] == "pic");
    };
    sui.saveAnswers = {path("kept.png")}, w->saveBufferAct->trigger(), pumpEvents(50);
    EXPECT_TRUE(QFile::exists(path("kept.png")) && controller->imageNames[0] == "arrives.png" && w.isNull());
}

TEST_F(ViewTest, RealSaveDialogs) {
    // The toolkit's own dialogs, answered by a timer: the window always stores "float", SaveAs the type answered.
    ZVekUi::install(nullptr);
    ZVektoolChildWindow *w = view(makeFloat({2, 4, 1}, [](int i) { return i * 100.0f; }));
    for (auto [window, filters] : {std::make_pair(true, "Images (*.png *.xpm *.jpg *.ZVEK *.Zvek *.Zve *.zve *.vek *.VEK)"),
                                   std::make_pair(false, "Images (*.png *.xpm *.jpg *.ZVEK *.zvek *.Zvek *.zve *.Zve *.vek *.VEK)")}) {
        QStringList seen;
        const QString file = path(window ? "real.VEK" : "real.vek");
        answerSaveDialogs(
            file, [&](QFileDialog *d) { seen << d->windowTitle() << d->nameFilters().join(";") << d->directory().absolutePath(); },
            [&](QInputDialog *prompt) {
                seen << prompt->windowTitle() << prompt->labelText() << prompt->textValue();
                prompt->setTextValue("16bit"), prompt->accept();
            });
        window ? w->saveBufferAct->trigger() : mw->saveAsAct->trigger();
        EXPECT_EQ(seen, QStringList({"SaveAs File", filters, QDir(QDir::homePath()).absolutePath(), "QInputDialog::getText()",
                                     "ZVEK data type:", "float"}));
        ZvekImagePtr back(Zvekpin(file.toLocal8Bit().constData()));
        const int16_t want[] = {0, 100, 200, 300};
        EXPECT_TRUE(back && (window ? back->dtype == DT_32FLT : back->dtype == DT_16BIT && !std::memcmp(back->vekptr, want, 8))) << window;
    }
}

TEST_F(ViewTest, SaveAs) {
    auto saveAs = [this] { bool r = false; return QMetaObject::invokeMethod(mw, "saveAs", Qt::DirectConnection, Q_RETURN_ARG(bool, r)) && r; };
    EXPECT_TRUE(!saveAs() && sui.messages == messages("No image has been stored in the buffer.") && sui.saveDialogs.empty());
    const float data[6] = {0, 1.9f, 300.7f, -1, 255, 17};
    controller->images[0] = makeFloat({2, 3, 2}, [&](int i) { return data[i]; });
    controller->images[2] = Zvekcreate("32bit", std::vector<int32_t>{3, 2, 1, 2}.data(), 11, 0);
    const int32_t iv[] = {16777217, -16777217, 2147483647, 5};  // 2^24 + 1 does not survive a float
    std::memcpy(controller->images[2]->vekptr, iv, sizeof iv);
    controller->images[1] = Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0);
    static_cast<float *>(controller->images[1]->vekptr)[0] = 3;
    // Frame 2 (0, 10, .. 90) of nine shown in a view window is the picture saved.
    ZVektoolChildWindow *w = view(makeFloat({3, 5, 2, 9}, [](int i) { return i / 10 == 2 ? (i % 10) * 10.0f : 1.0f * i; }), 3);
    w->colorCheck->setChecked(false), w->frameSpin->setValue(2);
    const uint8_t bytes[] = {0, 1, 44, 255, 255, 17};  // truncated toward zero, low 8 bits
    // The answer to the type prompt (none: cancelled), the file's type (0: none written, -1: a picture) and data, the message.
    struct Row { const char *name; int slot; const char *file; std::deque<QString> answers; int type; const void *bytes; size_t size;
                 QString message; };
    const Row rows[] = {
        {"u8bit", 0, "result.zve", {"u8bit"}, DT_U8BIT, bytes, 6, ""},
        {"empty answer is float", 0, "a.ZVEK", {""}, DT_32FLT, data, 24, ""},
        {"same type byte for byte", 2, "ints.vek", {"int"}, DT_32BIT, iv, sizeof iv, ""},
        {"prompt cancelled", 0, "none.zve", {}, 0, nullptr, 0, ""},
        {"unknown type", 0, "bad.zve", {"Float"}, 0, nullptr, 0, failed},
        {"missing folder", 0, "missing/dir/x.vek", {"float"}, 0, nullptr, 0, failed},
        {"complex is not written as zeros", 1, "c.vek", {"float"}, 0, nullptr, 0, failed},
        {"picture", 3, "shot.png", {}, -1, nullptr, 0, ""},  // 30 of 0..90 in frame 2
        {"no toolkit format", 0, "shot.ZVE", {}, 0, nullptr, 0, failed},
        {"dialog cancelled", 0, "", {}, 0, nullptr, 0, ""},
    };
    for (const Row &r : rows) {
        mw->outputRadios[r.slot]->click();
        sui.messages.clear(), sui.textPrompts.clear(), sui.saveDialogs.clear(), sui.saveAnswers = {path(r.file)}, sui.textAnswers = r.answers;
        EXPECT_TRUE(saveAs() && sui.saveDialogs.size() == 1u) << r.name;
        EXPECT_EQ(sui.messages, messages(r.message)) << r.name;
        ZvekImagePtr back(r.type > 0 ? Zvekpin(path(r.file).toLocal8Bit().constData()) : nullptr);
        EXPECT_TRUE(QFile::exists(path(r.file)) == (r.type != 0) && (r.type != -1 || QImage(path(r.file)).pixel(3, 0) == grey(85))) << r.name;
        EXPECT_TRUE(!back || (back->dtype == r.type && back->vekndim == (r.slot ? 3 : 2) && !std::memcmp(back->vekptr, r.bytes, r.size)))
            << r.name;
    }
    EXPECT_EQ(static_cast<float *>(controller->images[0]->vekptr)[2], 300.7f) << "the Output image is unchanged";
}

TEST_F(ViewTest, SavesKeepTheFileTheyWouldReplace) {
    // Noise: more than 4 KiB in every format. Each road saves through a symbolic link to a good file of mode 0600.
    std::mt19937 gen(3);
    ZVektoolChildWindow *w = view(makeFloat({2, 100, 80}, [&](int) { return float(gen() % 256); }));
    const std::function<void()> saveAs = [this] { mw->saveAsAct->trigger(); }, save = [w] { w->saveBufferAct->trigger(); };
    auto contents = [](const QString &p) { QFile f(p); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); };
    auto mode = [](const QString &p) { struct stat st; return stat(QFile::encodeName(p).constData(), &st) ? -1 : int(st.st_mode & 07777); };
    ZvekImagePtr small(makeFloat({2, 2, 2}));
    const std::pair<const char *, std::function<void()>> rows[] = {{"as.vek", saveAs}, {"as.png", saveAs}, {"window.zve", save},
                                                                   {"window.png", save}};
    for (const auto &[file, road] : rows) {
        const QString link = path(file), target = path(QString("old-") + file);
        const bool own = !QString(file).endsWith(".png");
        ASSERT_TRUE(own ? Zvekpot(small.get(), QFile::encodeName(target).constData()) == -1 : QImage(2, 2, QImage::Format_RGB32).save(target));
        ASSERT_TRUE(chmod(QFile::encodeName(target).constData(), 0600) == 0 && QFile::link(target, link));
        const QByteArray old = contents(target);
        const std::set<std::string> names = zt::namesIn(home.path().toStdString());
        for (bool limited : {true, false}) {
            sui.messages.clear(), sui.saveAnswers = {link}, sui.textAnswers = {"float"};
            std::optional<zt::FileSizeLimit> limit;
            if (limited) limit.emplace(4096);
            road();
            limit.reset();
            EXPECT_EQ(sui.messages, messages(limited ? failed : "")) << file;
            EXPECT_EQ(contents(target) == old, limited) << file;
            EXPECT_TRUE(QFileInfo(link).isSymLink() && mode(target) == 0600 && zt::namesIn(home.path().toStdString()) == names) << file;
        }
        ZvekImagePtr back(own ? Zvekpin(QFile::encodeName(link).constData()) : nullptr);
        EXPECT_TRUE(own ? back && back->vekdims[1].dimlen == 80 : QImage(link).size() == QSize(100, 80)) << file;
    }
    struct sigaction caught;  // a handler, so that the scripts it starts get the default
    EXPECT_TRUE(sigaction(SIGXFSZ, nullptr, &caught) == 0 && caught.sa_handler != SIG_DFL && caught.sa_handler != SIG_IGN);
    // A picture that the toolkit refuses (JPEG is at most 65,500 wide) leaves the file it would replace.
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(path("wide.jpg")));
    const QByteArray oldJpeg = contents(path("wide.jpg"));
    put(1, makeFloat({2, 70000, 1})), mw->outputRadios[1]->click();
    sui.messages.clear(), sui.saveAnswers = {path("wide.jpg")}, saveAs();
    EXPECT_EQ(sui.messages, messages(failed));
    EXPECT_EQ(contents(path("wide.jpg")), oldJpeg);
}
