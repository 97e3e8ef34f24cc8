// The Output slot's commands: Copy, Paste and Delete with the private
// clipboard image, View, and SaveAs in the own format or as a picture.
#include <QImage>

#include "gui_fixture.h"
#include "imageconvert.h"

TEST_F(GuiTest, CopyDeletePasteKeepEveryImageExactly) {
    mw->outputRadios[1]->click();
    mw->copyAct->trigger();  // empty Output slot
    mw->pasteAct->setEnabled(true);
    mw->pasteAct->trigger();  // empty clipboard
    EXPECT_EQ(ui.said(), "Image Empty|Nothing to paste");
    EXPECT_EQ(slot(1), nullptr);
    auto typed = [](const char *type, std::vector<int32_t> dims) {
        ZVEKHDR *h = Zvekcreate(type, dims.data(), 11, 0);
        for (int i = 0; i < Zvekdimen(h, ZVEK_NBYTES); ++i) static_cast<unsigned char *>(h->vekptr)[i] = uchar(7 * i + 3);
        return h;
    };
    for (ZVEKHDR *image : {makeFloat({3, 3, 2, 3}, [](int i) { return 0.25f * i - 1.0f; }), typed("32cmp", {2, 3, 2}),
                           typed("64flt", {1, 5}), typed("u8bit", {3, 2, 2, 3})}) {
        const std::string was = shape(image) + bytes(image).toHex().toStdString();
        put(2, image);
        controller->imageNames[2] = "original";
        select(2, 2, 2);
        QPointer<QWidget> window = new QWidget(mw, Qt::Window);
        mw->updateChildPtr(window, ADD_CHILD);
        mw->copyAct->trigger();
        EXPECT_TRUE(mw->pasteAct->isEnabled() && slot(2) == image);
        // Delete empties the slot, closes its window and runs the rule.
        mw->deleteAct->trigger();
        EXPECT_TRUE(!slot(2) && window.isNull()) << was;
        EXPECT_FALSE(mw->viewAct->isEnabled() || mw->dxButton->isEnabled() || mw->addButton->isEnabled());
        mw->pasteAct->trigger();
        EXPECT_EQ(shape(slot(2)) + bytes(slot(2)).toHex().toStdString(), was);
        EXPECT_EQ(controller->imageNames[2], "original");
        EXPECT_TRUE(mw->viewAct->isEnabled() && mw->dxButton->isEnabled() && mw->addButton->isEnabled());
        // Each paste is a copy of its own; it closes the slot's window.
        mw->outputRadios[5]->click();
        window = new QWidget(mw, Qt::Window);
        mw->updateChildPtr(window, ADD_CHILD);
        mw->pasteAct->trigger();
        EXPECT_TRUE(window.isNull() && slot(5) != slot(2) && controller->imageNames[5].isEmpty());
        EXPECT_EQ(shape(slot(5)) + bytes(slot(5)).toHex().toStdString(), was);
    }
    // Delete of an empty slot runs the rule too.
    select(5, 5, 4);
    mw->disableButtons();
    mw->deleteAct->setEnabled(true);
    mw->deleteAct->trigger();
    EXPECT_TRUE(!mw->deleteAct->isEnabled() && mw->dxButton->isEnabled() && mw->correlateButton->isEnabled() && slot(5));
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(GuiTest, ViewOpensOneWindowPerSlotAndRefusesComplexImages) {
    mw->viewAct->trigger();  // empty Output slot
    EXPECT_EQ(mw->childWindow(0), nullptr);
    put(0, makeFloat({2, 4, 3}));
    mw->viewAct->trigger();
    QPointer<QWidget> first = mw->childWindow(0);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose));
    mw->viewAct->trigger();
    EXPECT_TRUE(first.isNull()) << "the slot's earlier window is closed";
    first = mw->childWindow(0);
    put(0, Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0));
    mw->viewAct->trigger();
    EXPECT_TRUE(first.isNull() && !mw->childWindow(0));
    EXPECT_EQ(ui.said(), "Complex images cannot be viewed. Use complex pull down");
}

TEST_F(GuiTest, SaveAsWritesTheOwnFormatInTheNamedTypeOrAPicture) {
    auto saveAs = [&]() {
        bool result = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(mw, "saveAs", Qt::DirectConnection, Q_RETURN_ARG(bool, result)));
        return result;
    };
    EXPECT_FALSE(saveAs());
    EXPECT_EQ(ui.said(), "No image has been stored in the buffer.");
    EXPECT_EQ(ui.interactions(), 1u);
    put(0, makeFloat({2, 3, 2}, [](int i) { return std::vector<float>{0, 1.9f, 300.7f, -1, 255, 17}[i]; }));
    put(1, Zvekcreate("32bit", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    for (int i = 0; i < 4; ++i) static_cast<int32_t *>(slot(1)->vekptr)[i] = 100000 * i - 7;
    put(2, Zvekcreate("32cmp", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    const QString dir = home.path() + "/";
    // Slot, file name, type typed (nullopt: Cancel); the file's type, shape
    // and data read back ("" when none is written; float data as slot 0's),
    // and the message.
    struct Row { int slot; QString file; std::optional<QStringList> type; std::string written; const char *message; };
    const std::string failed = "output of file to disk failed", floats = "32flt 2:3x2 " + bytes(slot(0)).toHex().toStdString();
    const Row rows[] = {
        {0, "bytes.zve", QStringList{"u8bit"}, "u8bit 2:3x2 00012cffff11", ""},  // truncated, low 8 bits
        {0, "plain.VEK", QStringList{""}, floats, ""},
        {0, "named.Zvek", QStringList{"float"}, floats, ""},
        {1, "same.vek", QStringList{"int"}, "32bit 2:2x2 f9ffffff99860100390d0300d9930400", ""},
        {0, "none.Zve", std::nullopt, "", ""},
        {0, "bad.ZVEK", QStringList{"Float"}, "", failed.c_str()},
        {0, "missing/dir/x.zvek", QStringList{"float"}, "", failed.c_str()},
        {2, "complex.vek", QStringList{"float"}, "", failed.c_str()}};
    for (const Row &row : rows) {
        mw->outputRadios[row.slot]->click();
        ui.messages.clear();
        ui.asks.clear();
        ui.openAnswers = {dir + row.file};
        ui.answers = {row.type};
        EXPECT_TRUE(saveAs());
        EXPECT_EQ(ui.openCaptions.back(), "SaveAs File");
        EXPECT_TRUE(ui.asks.size() == 1 && ui.asks[0].line == "QInputDialog::getText()|ZVEK data type:|float" && ui.asks[0].parent == mw);
        ZvekImagePtr back(QFile::exists(dir + row.file) ? Zvekpin((dir + row.file).toLocal8Bit().constData()) : nullptr);
        EXPECT_EQ(back ? shape(back.get()) + " " + bytes(back.get()).toHex().toStdString() : "", row.written) << row.file.toStdString();
        EXPECT_EQ(ui.said(), row.message) << row.file.toStdString();
    }
    // Pictures: the Output image's grey picture; a name the toolkit cannot
    // write is told; a cancelled dialog writes nothing and is silent.
    const QString console = consoleText();
    mw->outputRadios[0]->click();
    for (const auto &row : std::vector<std::pair<QString, std::string>>{{dir + "shot.png", ""}, {dir + "shot.ZVE", failed}, {"", ""}}) {
        ui.messages.clear();
        ui.asks.clear();
        ui.openAnswers = {row.first};
        EXPECT_TRUE(saveAs());
        EXPECT_EQ(ui.said().toStdString() + std::to_string(ui.asks.size()), row.second + "0");
    }
    EXPECT_EQ(consoleText(), console + "\nsaving \nsaving \nsaving ");
    EXPECT_FALSE(QFile::exists(dir + "shot.ZVE"));
    const QImage shot(dir + "shot.png");
    ASSERT_EQ(shot.size(), QSize(4, 2)) << "the width padded to a multiple of 4";
    // -1 .. 300.7 onto 0 .. 255, truncated; the last column repeated.
    const int grey[] = {0, 2, 255, 255, 0, 216, 15, 15};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(shot.pixel(i % 4, i / 4), qRgb(grey[i], grey[i], grey[i])) << i;
}

TEST_F(GuiTest, SaveAsThroughTheRealDialogs) {
    ZVekUi::install(nullptr);
    put(0, makeFloat({2, 4, 1}, [](int i) { return i * 100.0f; }));
    QString seen;
    const QString target = home.path() + "/real.vek";
    answerSaveDialogs(
        target, [&](QFileDialog *files) { seen = files->windowTitle() + "|" + files->nameFilters().join(";"); },
        [&](QInputDialog *prompt) {
            seen += "|" + prompt->windowTitle() + "|" + prompt->labelText() + "|" + prompt->textValue();
            prompt->setTextValue("16bit");
            prompt->accept();
        });
    mw->saveAsAct->trigger();
    EXPECT_EQ(seen, "SaveAs File|Images (*.png *.xpm *.jpg *.ZVEK *.zvek *.Zvek *.zve *.Zve *.vek *.VEK)|"
                    "QInputDialog::getText()|ZVEK data type:|float");
    ZvekImagePtr back(Zvekpin(target.toLocal8Bit().constData()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(shape(back.get()) + " " + bytes(back.get()).toHex().toStdString(), "16bit 2:4x1 00006400c8002c01");
}
