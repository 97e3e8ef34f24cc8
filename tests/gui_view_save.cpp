// Tests of SaveAs: the prompts, the own format in a chosen type (read back),
// refusals, pictures through the toolkit with the frame of the view window,
// and the reports of failures.
#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QFile>
#include <QImage>
#include <QRadioButton>

#include <cstring>
#include <deque>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"

namespace {

// A user who also names files to save and answers the type prompt.
class SaveUi : public FakeUi {
public:
    struct Asked {
        QString title, label, dir, filter, text;
    };
    std::vector<Asked> saveDialogs, textPrompts;
    std::deque<QString> saveAnswers;
    std::deque<std::pair<bool, QString>> textAnswers;  // accepted?, text

    QString saveFile(QWidget *, const QString &caption, const QString &dir, const QString &filter) override {
        saveDialogs.push_back({caption, QString(), dir, filter, QString()});
        if (saveAnswers.empty()) return QString();
        QString a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    bool getText(QWidget *, const QString &title, const QString &label, const QString &text,
                 QString *result) override {
        textPrompts.push_back({title, label, QString(), QString(), text});
        if (textAnswers.empty()) return false;
        auto a = textAnswers.front();
        textAnswers.pop_front();
        if (a.first) *result = a.second;
        return a.first;
    }
};

}  // namespace

class SaveAsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ZVekUi::install(&sui);
    }

    bool saveAs() {
        bool result = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(mw, "saveAs", Qt::DirectConnection, Q_RETURN_ARG(bool, result)));
        return result;
    }

    void putOutput(ZVEKHDR *image, int slot = 0) {
        controller->images[slot] = image;
        controller->imageNames[slot] = "img";
        mw->outputRadios[slot]->click();
    }

    QString path(const QString &name) const { return home.path() + "/" + name; }

    SaveUi sui;
};

TEST_F(SaveAsTest, EmptyOutputSlot) {
    EXPECT_FALSE(saveAs());
    ASSERT_EQ(sui.messages.size(), 1u);
    EXPECT_EQ(sui.messages[0], "No image has been stored in the buffer.");
    EXPECT_TRUE(sui.saveDialogs.empty());
}

TEST_F(SaveAsTest, OwnFormatInTheTypeTheUserNames) {
    putOutput(makeFloat({2, 3, 2}, [](int i) { return std::vector<float>{0, 1.9f, 300.7f, -1, 255, 17}[i]; }));
    sui.saveAnswers = {path("result.zve")};
    sui.textAnswers = {{true, "u8bit"}};
    EXPECT_TRUE(saveAs());
    ASSERT_EQ(sui.saveDialogs.size(), 1u);
    EXPECT_EQ(sui.saveDialogs[0].title, "SaveAs File");
    EXPECT_EQ(sui.saveDialogs[0].dir, QDir::homePath());
    EXPECT_EQ(sui.saveDialogs[0].filter, "Images (*.png *.xpm *.jpg *.ZVEK *.zvek *.Zvek *.zve *.Zve *.vek *.VEK)");
    ASSERT_EQ(sui.textPrompts.size(), 1u);
    EXPECT_EQ(sui.textPrompts[0].title, "QInputDialog::getText()");
    EXPECT_EQ(sui.textPrompts[0].label, "ZVEK data type:");
    EXPECT_EQ(sui.textPrompts[0].text, "float");
    EXPECT_TRUE(sui.messages.empty());
    ZvekImagePtr back(Zvekpin(path("result.zve").toLocal8Bit().constData()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->dtype, DT_U8BIT);
    EXPECT_EQ(back->vekndim, 2);
    // Truncated toward zero, low 8 bits: 300.7 -> 44, -1 -> 255.
    const uint8_t want[] = {0, 1, 44, 255, 255, 17};
    EXPECT_EQ(std::memcmp(back->vekptr, want, 6), 0);
    // The Output image is unchanged.
    EXPECT_EQ(static_cast<float *>(controller->images[0]->vekptr)[2], 300.7f);

    // An empty answer saves "float"; every own-format suffix goes this way.
    for (const char *name : {"a.ZVEK", "a.Zvek", "a.zvek", "a.vek", "a.VEK", "a.Zve"}) {
        sui.saveAnswers = {path(name)};
        sui.textAnswers = {{true, ""}};
        EXPECT_TRUE(saveAs());
        ZvekImagePtr f(Zvekpin(path(name).toLocal8Bit().constData()));
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(f->dtype, DT_32FLT) << name;
        EXPECT_EQ(std::memcmp(f->vekptr, controller->images[0]->vekptr, 6 * sizeof(float)), 0) << name;
    }
    EXPECT_TRUE(sui.messages.empty());
}

TEST_F(SaveAsTest, SameTypeIsWrittenAsItIs) {
    // 2^24 + 1 does not survive a pass through float.
    ZVEKHDR *ints = Zvekcreate("32bit", std::vector<int32_t>{3, 2, 1, 2}.data(), 11, 0);
    const int32_t v[] = {16777217, -16777217, 2147483647, 5};
    std::memcpy(ints->vekptr, v, sizeof v);
    putOutput(ints, 2);
    sui.saveAnswers = {path("ints.vek")};
    sui.textAnswers = {{true, "int"}};
    EXPECT_TRUE(saveAs());
    ZvekImagePtr back(Zvekpin(path("ints.vek").toLocal8Bit().constData()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->dtype, DT_32BIT);
    EXPECT_EQ(back->vekndim, 3);
    EXPECT_EQ(std::memcmp(back->vekptr, v, sizeof v), 0);
}

TEST_F(SaveAsTest, CancelRefusalsAndFailures) {
    putOutput(makeFloat({2, 4, 4}, [](int i) { return float(i); }));
    // Cancelling the type prompt writes nothing and shows nothing.
    sui.saveAnswers = {path("none.zve")};
    EXPECT_TRUE(saveAs());
    EXPECT_FALSE(QFile::exists(path("none.zve")));
    EXPECT_TRUE(sui.messages.empty());
    // A type the table does not know.
    sui.saveAnswers = {path("bad.zve")};
    sui.textAnswers = {{true, "Float"}};
    EXPECT_TRUE(saveAs());
    EXPECT_FALSE(QFile::exists(path("bad.zve")));
    ASSERT_EQ(sui.messages.size(), 1u);
    EXPECT_EQ(sui.messages[0], "output of file to disk failed");
    // A folder that does not exist.
    sui.saveAnswers = {path("missing/dir/x.vek")};
    sui.textAnswers = {{true, "float"}};
    EXPECT_TRUE(saveAs());
    ASSERT_EQ(sui.messages.size(), 2u);
    EXPECT_EQ(sui.messages[1], "output of file to disk failed");

    // A complex image is not written as an all-zero file.
    ZVEKHDR *c = Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0);
    static_cast<float *>(c->vekptr)[0] = 3;
    putOutput(c, 1);
    sui.saveAnswers = {path("c.vek")};
    sui.textAnswers = {{true, "float"}};
    EXPECT_TRUE(saveAs());
    EXPECT_FALSE(QFile::exists(path("c.vek")));
    ASSERT_EQ(sui.messages.size(), 3u);
    EXPECT_EQ(sui.messages[2], "output of file to disk failed");
}

TEST_F(SaveAsTest, PicturesThroughTheToolkit) {
    // 9 frames of 5 x 2; frame f holds values f, f + 1, ...; frame 2 is
    // different: 0, 10, 20, ... 90.
    putOutput(makeFloat({3, 5, 2, 9}, [](int i) { return i / 10 == 2 ? (i % 10) * 10.0f : float(i % 10 + i / 10); }));
    const QString before = consoleText();
    sui.saveAnswers = {path("shot.png")};
    EXPECT_TRUE(saveAs());
    EXPECT_TRUE(sui.textPrompts.empty());
    EXPECT_EQ(consoleText(), before + "\nsaving ");
    QImage frame0(path("shot.png"));
    ASSERT_FALSE(frame0.isNull());
    EXPECT_EQ(frame0.width(), 8);
    EXPECT_EQ(frame0.height(), 2);
    // Frame 0: 0..9, 255 / 9 per step; columns 5..7 repeat column 4.
    EXPECT_EQ(frame0.pixel(1, 0), qRgb(28, 28, 28));
    EXPECT_EQ(frame0.pixel(4, 0), qRgb(113, 113, 113));
    EXPECT_EQ(frame0.pixel(7, 0), qRgb(113, 113, 113));
    EXPECT_EQ(frame0.pixel(4, 1), qRgb(255, 255, 255));

    // With a view window showing frame 2, frame 2 is saved.
    mw->viewAct->trigger();
    auto *w = qobject_cast<ZVektoolChildWindow *>(mw->childWindow(0));
    ASSERT_NE(w, nullptr);
    w->colorCheck->setChecked(false);
    w->frameSpin->setValue(2);
    EXPECT_EQ(w->currentFrame, 2);
    sui.saveAnswers = {path("frame2.png")};
    EXPECT_TRUE(saveAs());
    QImage frame2(path("frame2.png"));
    ASSERT_FALSE(frame2.isNull());
    // 0, 10, ... 90: 255 / 90 per 1; 30 -> 85, 40 -> 113.
    EXPECT_EQ(frame2.pixel(3, 0), qRgb(85, 85, 85));
    EXPECT_EQ(frame2.pixel(4, 0), qRgb(113, 113, 113));
    EXPECT_EQ(frame2.pixel(0, 1), qRgb(141, 141, 141));
    EXPECT_TRUE(sui.messages.empty());

    // A suffix the toolkit cannot write is reported.
    sui.saveAnswers = {path("shot.ZVE")};
    EXPECT_TRUE(saveAs());
    EXPECT_FALSE(QFile::exists(path("shot.ZVE")));
    ASSERT_EQ(sui.messages.size(), 1u);
    EXPECT_EQ(sui.messages[0], "output of file to disk failed");
    // A cancelled dialog is no failure: it only leaves "\nsaving " on the
    // console, writes nothing and shows nothing.
    const QStringList filesBefore = QDir(home.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    sui.saveAnswers = {QString()};
    EXPECT_TRUE(saveAs());
    EXPECT_EQ(sui.messages.size(), 1u);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), filesBefore);
    EXPECT_TRUE(consoleText().endsWith("\nsaving \nsaving \nsaving \nsaving "));
    ASSERT_NE(mw->childWindow(0), nullptr);
    EXPECT_NE(gZVektool->images[0], nullptr);
}

TEST_F(SaveAsTest, SaveAndArchiveDoNothing) {
    putOutput(makeFloat({2, 4, 4}));
    bool r = false;
    EXPECT_TRUE(QMetaObject::invokeMethod(mw, "save", Qt::DirectConnection, Q_RETURN_ARG(bool, r)));
    EXPECT_TRUE(r);
    r = false;
    EXPECT_TRUE(QMetaObject::invokeMethod(mw, "archive", Qt::DirectConnection, Q_RETURN_ARG(bool, r)));
    EXPECT_TRUE(r);
    mw->archiveAct->trigger();
    EXPECT_TRUE(sui.messages.empty());
    EXPECT_TRUE(sui.saveDialogs.empty());
}

TEST_F(SaveAsTest, RealDialogs) {
    // The toolkit's own file dialog and text prompt, answered by a timer.
    ZVekUi::install(nullptr);
    putOutput(makeFloat({2, 4, 1}, [](int i) { return i * 100.0f; }));
    QString fileTitle, filters, promptTitle, promptLabel, promptDefault;
    const QString target = path("real.vek");
    answerSaveDialogs(
        target,
        [&](QFileDialog *files) {
            fileTitle = files->windowTitle();
            filters = files->nameFilters().join(";");
        },
        [&](QInputDialog *prompt) {
            promptTitle = prompt->windowTitle();
            promptLabel = prompt->labelText();
            promptDefault = prompt->textValue();
            prompt->setTextValue("16bit");
            prompt->accept();
        });
    EXPECT_TRUE(saveAs());
    EXPECT_EQ(fileTitle, "SaveAs File");
    EXPECT_EQ(filters, "Images (*.png *.xpm *.jpg *.ZVEK *.zvek *.Zvek *.zve *.Zve *.vek *.VEK)");
    EXPECT_EQ(promptTitle, "QInputDialog::getText()");
    EXPECT_EQ(promptLabel, "ZVEK data type:");
    EXPECT_EQ(promptDefault, "float");
    ZvekImagePtr back(Zvekpin(target.toLocal8Bit().constData()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->dtype, DT_16BIT);
    const int16_t want[] = {0, 100, 200, 300};
    EXPECT_EQ(std::memcmp(back->vekptr, want, sizeof want), 0);
}

TEST_F(SaveAsTest, OwnFormatFilesAreCompressed) {
    // 64 x 64 floats that repeat every 8 values: a converted copy and a copy
    // of the same type are both written zlib-compressed, far below the raw
    // data's size, and read back unchanged.
    putOutput(makeFloat({2, 64, 64}, [](int i) { return float(i % 8); }));
    sui.saveAnswers = {path("packed.vek"), path("packed8.zve")};
    sui.textAnswers = {{true, "float"}, {true, "u8bit"}};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(saveAs());
    EXPECT_TRUE(saveAs());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("will not be compressed"), std::string::npos) << out;
    EXPECT_TRUE(sui.messages.empty());
    EXPECT_LT(QFileInfo(path("packed.vek")).size(), 64 * 64 * 4 / 4);
    EXPECT_LT(QFileInfo(path("packed8.zve")).size(), 64 * 64 / 2);
    ZvekImagePtr f(Zvekpin(path("packed.vek").toLocal8Bit().constData()));
    ZvekImagePtr b(Zvekpin(path("packed8.zve").toLocal8Bit().constData()));
    ASSERT_NE(f, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(f->dtype, DT_32FLT);
    EXPECT_EQ(b->dtype, DT_U8BIT);
    for (int i = 0; i < 64 * 64; ++i) {
        ASSERT_EQ(static_cast<const float *>(f->vekptr)[i], float(i % 8)) << i;
        ASSERT_EQ(static_cast<const uint8_t *>(b->vekptr)[i], i % 8) << i;
    }
}
