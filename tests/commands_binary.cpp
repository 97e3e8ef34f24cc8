// The two-image command slots, restoration and the scripts, driven through
// the control panel; and commands answered through the toolkit's own dialogs.
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>

#include "gui_fixture.h"
#include "imageops.h"

namespace {
float first(int i) { return float(i % 17) * 0.5f - 2.0f; }
float second(int i) { return float((i * 7) % 11) + 1.0f; }
float noisy(int i) { return (i % 16 < 8 ? 20.0f : 80.0f) + float((i * 13) % 7) - 3.0f; }

QByteArray floats(int n, std::function<float(int)> f) {
    QByteArray b(4 * n, 0);
    for (int i = 0; i < n; ++i) reinterpret_cast<float *>(b.data())[i] = f(i);
    return b;
}

void writeScript(const QString &path, const QByteArray &body) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body) > 0);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
}  // namespace

TEST_F(GuiTest, TwoImageCommandsThroughTheirButtons) {
    put(0, makeFloat({2, 5, 4}, first));
    put(1, makeFloat({2, 5, 4}, second));
    put(2, makeFloat({2, 2, 2}));
    put(3, makeFloat({3, 4, 4, 3}, second));
    put(4, makeFloat({2, 4, 3}, second));
    put(5, makeFloat({2, 20, 16}, [](int i) { return float((i * 31) % 13); }));
    ZVEKHDR *correlation = blank("float", {2, 20, 16});
    ASSERT_EQ(flcorrelate(slot(5), slot(4), correlation), 0);
    // The command, the slots, the translation typed; the Output slot's image
    // after (null: nothing changes) and the message.
    struct Row { QObject *command; int in1, in2, out; std::optional<QStringList> typed; const char *shape; QByteArray data; const char *message; };
    const std::optional<QStringList> cancel;
    const Row rows[] = {
        {mw->addButton, 0, 1, 2, QStringList{}, "32flt 2:5x4", floats(20, [](int i) { return first(i) + second(i); }), ""},
        {mw->subAct, 0, 1, 1, QStringList{}, "32flt 2:5x4", floats(20, [](int i) { return first(i) - second(i); }), ""},
        {mw->mulButton, 0, 0, 0, QStringList{}, "32flt 2:5x4", floats(20, [](int i) { return first(i) * first(i); }), ""},
        {mw->divButton, 0, 1, 0, cancel, nullptr, {}, ""},
        {mw->addButton, 0, 1, 1, cancel, nullptr, {}, ""},
        // A shifted result grows, also when it replaces Input 1.
        {mw->subButton, 0, 2, 0, QStringList{"0", "2"}, "32flt 2:7x4", floats(28, [](int i) {
             const int j = i / 7 * 5 + i % 7;
             return (i % 7 < 5 ? first(j) * first(j) : 0.0f) - (i % 7 >= 2 ? first(j - 2) + second(j - 2) : 0.0f);
         }), ""},
        {mw->gdirButton, 5, 4, 6, cancel, "32flt 2:20x16", QByteArray(1280, 0), ""},
        // Refused: an Output slot apart from the inputs keeps the zero image.
        {mw->correlateButton, 5, 3, 6, cancel, "32flt 2:20x16", QByteArray(1280, 0),
         "I can't correlate a gray scale image with a color image. Sorry."},
        {mw->correlateButton, 5, 4, 7, cancel, "32flt 2:20x16", bytes(correlation), ""},
        {mw->correlateButton, 5, 4, 4, cancel, "32flt 2:20x16", bytes(correlation), ""}};  // into the template's slot
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.command->objectName().toStdString() << " " << row.in1 << row.in2 << row.out);
        select(row.in1, row.in2, row.out);
        mw->viewAct->trigger();
        QPointer<QWidget> window = mw->childWindow(row.out);
        const auto before = state();
        ui.messages.clear();
        ui.asks.clear();
        ui.answers = {row.typed};
        if (auto *button = qobject_cast<QPushButton *>(row.command)) press(button);
        else static_cast<QAction *>(row.command)->trigger();
        EXPECT_EQ(ui.said(), row.message);
        EXPECT_TRUE(mw->addButton->isEnabled());
        EXPECT_EQ(ui.asks.size(), row.command == mw->gdirButton || row.command == mw->correlateButton ? 0u : 1u);
        if (!row.shape) {
            EXPECT_TRUE(state() == before);
            continue;
        }
        EXPECT_TRUE(window.isNull()) << "the Output slot's window is closed";
        EXPECT_EQ(shape(slot(row.out)) + bytes(slot(row.out)).toHex().toStdString(), row.shape + row.data.toHex().toStdString());
        if (row.out != row.in1) { EXPECT_EQ(slot(row.in1), before[row.in1].first); }
    }
    EXPECT_EQ(ui.notices.size(), 2u);
    // An input that went away without the rule noticing is told.
    select(0, 1, 2);
    put(1, nullptr);
    ui.messages.clear();
    press(mw->addButton);
    EXPECT_EQ(ui.messages, std::vector<QString>{"Input2 empty"});
    EXPECT_TRUE(!mw->addButton->isEnabled() && mw->dxButton->isEnabled());
}

TEST_F(GuiTest, RestorationReadsItsParametersAndWorksInInputOne) {
    auto image = [](std::vector<int32_t> dims) { return makeFloat(dims, noisy); };
    for (int i : {0, 1}) put(i, image({2, 16, 12}));
    put(2, makeFloat({2, 3, 3}, second));
    // References with the values an empty form and the offered texts stand for.
    ZVEKHDR *empty = keep(image({2, 16, 12})), *offered = keep(image({2, 16, 12}));
    ASSERT_EQ(pconsub(empty, keep(image({2, 16, 12})), 3.0f, 0.03f, 4.0f, 1.0f, 0.005f, 0.99f), 0);
    ASSERT_EQ(pconsub(offered, keep(image({2, 16, 12})), 2.0f, 0.03f, 4.0f, 1.0f, 0.005f, 0.99f), 0);
    ASSERT_NE(bytes(empty), bytes(offered));
    const QByteArray observed = bytes(slot(1));
    select(0, 1, 2);
    ui.answers = {QStringList{"", "", "", "", "", ""}};
    press(mw->pconButton);
    EXPECT_EQ(ui.asks.at(0).line, "MFA parameters: if not filled in,\n default will be used|sigma [2.0],r [.03],b [4],"
                                  "t1 [1.0],t2 [.005],dlt [.99]|2.0,.03,4.0,1.0,0.005,.99");
    EXPECT_EQ(ui.asks[0].parent, mw);
    EXPECT_TRUE(bytes(slot(0)) == bytes(empty) && bytes(slot(1)) == observed && mw->pconButton->isEnabled());
    EXPECT_EQ(shape(slot(2)) + std::to_string(bytes(slot(2)).count('\0')), "32flt 2:16x12768");
    // The offered texts, Output = Input 1, whose window is closed.
    put(0, image({2, 16, 12}));
    select(0, 1, 0);
    mw->viewAct->trigger();
    ASSERT_NE(mw->childWindow(0), nullptr);
    ui.answers = {QStringList{}};
    mw->pconAct->trigger();
    EXPECT_EQ(mw->childWindow(0), nullptr);
    EXPECT_EQ(bytes(slot(0)), bytes(offered));
    // Cancel, colour and refusals leave Input 1 as it was.
    put(3, Zvekcreate("u8bit", std::vector<int32_t>{2, 16, 12}.data(), 11, 0));
    put(4, image({2, 17, 12}));
    put(5, makeFloat({3, 16, 12, 3}, first));
    put(6, image({2, 2, 2}));
    struct Row { int in1, in2; QStringList typed; const char *message, *printed; };
    const Row rows[] = {
        {0, 1, {}, "", ""},  // Cancel
        {5, 1, {}, "This function cannot run on color images.", ""},
        {0, 3, {}, "Restoration works on float images only: convert both inputs to float.",
         "Pcon: this program will only work with Zvek float images, please convert your input image to float\n"},
        {0, 4, {}, "Input 1 and Input 2 must have the same number of rows and columns.", "bug1"},
        {0, 1, {"abc"}, "These annealing parameters would not let the restoration finish.",  // sigma 0
         "Pcon: annealing parameters would not let the schedule finish\n"},
        {6, 6, {}, "Restoration needs images of at least 3 rows and 3 columns.", "Pcon: image must have at least 3 rows and 3 columns\n"}};
    for (const Row &row : rows) {
        select(row.in1, row.in2, 7);
        const QByteArray kept = bytes(slot(row.in1));
        ui.messages.clear();
        ui.answers.clear();
        if (row.message[0]) ui.answers.push_back(row.typed);
        EXPECT_EQ(printed([&] { press(mw->pconButton); }), row.printed) << row.message;
        EXPECT_EQ(ui.said(), row.message);
        EXPECT_EQ(bytes(slot(row.in1)), kept) << row.message;
    }
}

TEST_F(GuiTest, ScriptsHandTheOutputImageOverAndReadTheirResultIntoInputTwo) {
    // Blanks and a quote in the folder: the shell gets each path as one word.
    const QString dir = home.path() + "/my scripts/it's here";
    ASSERT_TRUE(QDir().mkpath(dir));
    writeScript(dir + "/copy it.sh", "cp ImgViewTempInput.Zvek ImgViewTempOutput.Zvek\n");
    put(0, makeFloat({2, 30, 20}, first));
    put(3, makeFloat({2, 2, 2}));
    select(0, 3, 0);
    mw->rerunAct->setEnabled(true);
    mw->rerunAct->trigger();
    mw->runScriptAct->trigger();  // no script chosen
    EXPECT_EQ(ui.messages, std::vector<QString>({"You must run a script before you can rerun it.", "ScriptName is empty"}));
    EXPECT_EQ(consoleText(), ">> Console");
    ui.messages.clear();
    ui.openAnswers = {dir + "/copy it.sh"};
    mw->runScriptAct->trigger();
    EXPECT_EQ(ui.openCaptions.back() + "|" + ui.openDirs.back(), "Select Script|" + QDir::homePath());
    EXPECT_NE(slot(3), slot(0));
    EXPECT_EQ(shape(slot(3)) + bytes(slot(3)).toStdString(), shape(slot(0)) + bytes(slot(0)).toStdString());
    EXPECT_EQ(controller->imageNames[3], "ReturnedFromScript");
    EXPECT_TRUE(!QFile::exists(dir + "/ImgViewTempOutput.Zvek") && QFile::exists(dir + "/ImgViewTempInput.Zvek"));
    EXPECT_TRUE(mw->rerunAct->isEnabled());
    EXPECT_EQ(consoleText(), ">> Console\nScript started...Script completed\n");
    // ReRun asks nothing and hands the changed Output image over again.
    pixels(slot(0))[5] = 1234.5f;
    mw->rerunAct->trigger();
    EXPECT_EQ(ui.openCaptions.size(), 2u);
    EXPECT_EQ(pixels(slot(3))[5], 1234.5f);
    // Missing or unreadable results keep Input 2; an 8-bit result stays
    // 8-bit; the enabling rule is not run.
    ZVEKHDR *bytes8 = blank("u8bit", {2, 16, 2});
    for (int i = 0; i < 32; ++i) static_cast<unsigned char *>(bytes8->vekptr)[i] = uchar(i * 8);
    ASSERT_EQ(Zvekpot(bytes8, (dir + "/bytes.zvek").toLocal8Bit().constData()), -1);
    const QString unknown = "Your script did not produce an output file that I know how to process";
    const std::pair<QByteArray, QString> scripts[] = {
        {"exit 3\n", unknown}, {"echo not an image > ImgViewTempOutput.Zvek\n", unknown},
        {"head -c 100 ImgViewTempInput.Zvek > ImgViewTempOutput.Zvek\n", unknown}, {"cp bytes.zvek ImgViewTempOutput.Zvek\n", ""}};
    mw->disableButtons();
    for (const auto &s : scripts) {
        writeScript(dir + "/s.sh", s.first);
        ui.messages.clear();
        ui.openAnswers = {dir + "/s.sh"};
        const auto before = state();
        printed([&] { mw->runScriptAct->trigger(); });
        EXPECT_EQ(ui.said(), s.second) << s.first.data();
        EXPECT_FALSE(QFile::exists(dir + "/ImgViewTempOutput.Zvek"));
        EXPECT_EQ(state() == before, !s.second.isEmpty());
    }
    EXPECT_EQ(shape(slot(3)) + bytes(slot(3)).toStdString(), shape(bytes8) + bytes(bytes8).toStdString());
    EXPECT_FALSE(mw->addButton->isEnabled());
    // An empty Output slot: the script runs all the same, without an input file.
    QFile::remove(dir + "/ImgViewTempInput.Zvek");
    writeScript(dir + "/s.sh", "touch ran.txt\n");
    select(5, 3, 5);
    ui.openAnswers = {dir + "/s.sh"};
    printed([&] { mw->runScriptAct->trigger(); });
    EXPECT_TRUE(QFile::exists(dir + "/ran.txt") && !QFile::exists(dir + "/ImgViewTempInput.Zvek"));
}

TEST_F(GuiTest, CommandsThroughTheRealDialogs) {
    ZVekUi::install(nullptr);
    put(0, makeFloat({2, 48, 40}, first));
    put(1, makeFloat({2, 48, 40}, second));
    select(0, 1, 2);
    QStringList seen;
    auto input = [&](QWidget *w, bool doubles) {
        auto *d = qobject_cast<QInputDialog *>(w);
        if (!d) return static_cast<QDialog *>(w)->reject();
        seen << d->windowTitle() + "|" + d->labelText() + QString("|%1|%2..%3|%4").arg(doubles ? d->doubleValue() : d->intValue())
                    .arg(doubles ? d->doubleMinimum() : d->intMinimum()).arg(doubles ? d->doubleMaximum() : d->intMaximum())
                    .arg(doubles ? d->doubleDecimals() : d->intStep());
        EXPECT_EQ(d->parentWidget(), mw);
    };
    // The number dialog holds its minimum; one decimal.
    whenModal([&](QWidget *w) {
        input(w, true);
        auto *spin = w->findChild<QDoubleSpinBox *>();
        spin->setValue(0.4);
        seen << QString::number(spin->value());
        spin->setValue(2.46);
        static_cast<QDialog *>(w)->accept();
    });
    press(mw->dxButton);
    ZVEKHDR *ref = blank("float", {2, 48, 40});
    ASSERT_EQ(flDoG(slot(0), ref, 1, 0, 2.5f), 0);
    EXPECT_EQ(bytes(slot(2)), bytes(ref));
    // Cancel in the Laplacian's dialog, Input 1 being Output.
    select(0, 1, 0);
    const auto before = state();
    whenModal([&](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    press(mw->lapButton);
    EXPECT_TRUE(state() == before);
    // The integer dialog holds its range: map 6 of no labels is black.
    whenModal([&](QWidget *w) {
        input(w, false);
        qobject_cast<QInputDialog *>(w)->setIntValue(9);
        static_cast<QDialog *>(w)->accept();
    });
    select(0, 1, 2);
    press(mw->cmapButton);
    EXPECT_EQ(shape(slot(2)) + std::to_string(bytes(slot(2)).count('\0')), "32flt 3:48x40x323040");
    // The form: a heading row, a row per field, Ok and Cancel.
    for (const char *typed : {"3.7", ""}) {
        whenModal([&, typed](QWidget *w) {
            auto *form = qobject_cast<QFormLayout *>(w->layout());
            ASSERT_TRUE(form && form->rowCount() == 4 && w->parentWidget() == mw);
            seen << qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::SpanningRole)->widget())->text();
            for (int row = 1; row <= 2; ++row) {
                auto *edit = qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
                seen << qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text() + "=" + edit->text();
                edit->setText(row == 1 ? typed : "-2");
            }
            w->findChild<QDialogButtonBox *>()->button(typed[0] ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        select(0, 1, typed[0] ? 3 : 0);
        const auto kept = state();
        press(mw->addButton);
        EXPECT_EQ(state() == kept, !typed[0]);
    }
    EXPECT_EQ(shape(slot(3)), "32flt 2:50x43");
    // The about box.
    whenModal([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) seen << box->windowTitle() + "|" + box->text();
        static_cast<QDialog *>(w)->accept();
    });
    mw->aboutAct->trigger();
    EXPECT_EQ(seen, QStringList({"Dx|Sigma of blur|1|1..255|1", "1", "Pseudocolor|Color map number|0|0..6|1",
                                 "Translation of second image:", "rows =0", "cols =0", "Translation of second image:",
                                 "rows =0", "cols =0",
                                 "About Application|ZVektool 2.1 is an Vekstore tool which gives wide range of operations "
                                 "on images\nBuilt under Yosemite"}));
}
