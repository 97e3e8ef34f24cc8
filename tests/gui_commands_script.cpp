// Script running, and commands answered through the toolkit's real dialogs.
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>

#include "gui_commands_fixture.h"

namespace {

float wave(int i) { return float((i * 29) % 31) * 0.25f; }

// A step of 12 columns with a little deterministic noise.
float noisyValue(int i) { return (i % 12 < 6 ? 20.0f : 80.0f) + float((i * 13) % 7) - 3.0f; }

}  // namespace

class ScriptTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ASSERT_TRUE(scripts.isValid());
        // Blanks and a quote in the folder: the shell must get each path as
        // one word.
        dir = scripts.path() + "/my scripts/it's here";
        ASSERT_TRUE(QDir().mkpath(dir));
    }
    QTemporaryDir scripts;
    QString dir;
};

TEST_F(ScriptTest, ResultGoesToInputTwoAndReRunUsesTheSameScript) {
    const QString script = dir + "/copy it.sh";
    ASSERT_TRUE(writeScript(script, "cp ImgViewTempInput.Zvek ImgViewTempOutput.Zvek\n"));
    put(0, makeFloat({2, 30, 20}, wave));
    put(3, makeFloat({2, 2, 2}));
    select(0, 3, 0);
    EXPECT_FALSE(mw->rerunAct->isEnabled());

    user.openAnswers.push_back(script);
    mw->runScriptAct->trigger();
    ASSERT_EQ(user.openCaptions.size(), 1u);
    EXPECT_EQ(user.openCaptions[0], "Select Script");
    EXPECT_EQ(user.openDirs[0], QDir::homePath());
    EXPECT_TRUE(user.messages.empty()) << user.messages[0].toStdString();
    ASSERT_NE(slot(3), nullptr);
    EXPECT_NE(slot(3), slot(0));
    EXPECT_TRUE(sameData(slot(3), slot(0)));
    EXPECT_EQ(controller->imageNames[3], "ReturnedFromScript");
    EXPECT_FALSE(QFileInfo::exists(dir + "/ImgViewTempOutput.Zvek"));
    EXPECT_TRUE(QFileInfo::exists(dir + "/ImgViewTempInput.Zvek"));
    EXPECT_TRUE(mw->rerunAct->isEnabled());
    EXPECT_TRUE(consoleText().endsWith("\nScript started...Script completed\n")) << consoleText().toStdString();

    // ReRun asks nothing and hands the (changed) Output image over again.
    pixels(slot(0))[5] = 1234.5f;
    mw->rerunAct->trigger();
    EXPECT_EQ(user.openCaptions.size(), 1u);
    ASSERT_NE(slot(3), nullptr);
    EXPECT_EQ(pixels(slot(3))[5], 1234.5f);
    EXPECT_TRUE(sameData(slot(3), slot(0)));

    // After a ReRun, Run Script asks again.
    mw->runScriptAct->trigger();
    EXPECT_EQ(user.openCaptions.size(), 2u);
    EXPECT_EQ(user.messages.back(), "ScriptName is empty");
}

TEST_F(ScriptTest, RefusalsAndMissingOrUnreadableResultsKeepInputTwo) {
    mw->rerunAct->setEnabled(true);
    mw->rerunAct->trigger();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "You must run a script before you can rerun it.");

    put(0, makeFloat({2, 8, 8}, wave));
    put(1, makeFloat({2, 4, 4}, wave));
    ZVEKHDR *input2 = slot(1);
    const std::vector<float> data = snapshot(input2);
    select(0, 1, 0);

    mw->runScriptAct->trigger();  // no script chosen
    EXPECT_EQ(user.messages.back(), "ScriptName is empty");
    EXPECT_EQ(consoleText(), ">> Console");

    const QString silent = dir + "/silent.sh";
    ASSERT_TRUE(writeScript(silent, "exit 3\n"));
    user.openAnswers.push_back(silent);
    mw->runScriptAct->trigger();
    EXPECT_EQ(user.messages.back(), "Your script did not produce an output file that I know how to process");
    EXPECT_TRUE(QFileInfo::exists(dir + "/ImgViewTempInput.Zvek"));

    const QString garbage = dir + "/garbage.sh";
    ASSERT_TRUE(writeScript(garbage, "echo not an image > ImgViewTempOutput.Zvek\n"));
    user.openAnswers.push_back(garbage);
    mw->runScriptAct->trigger();
    EXPECT_EQ(user.messages.back(), "Your script did not produce an output file that I know how to process");
    EXPECT_EQ(user.messages.size(), 4u);
    EXPECT_EQ(slot(1), input2);
    EXPECT_EQ(snapshot(input2), data);
}

TEST_F(ScriptTest, AnEightBitResultStaysEightBit) {
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 16, 2}.data(), 11, 0);
    for (int i = 0; i < 32; ++i) static_cast<unsigned char *>(bytes->vekptr)[i] = (unsigned char)(i * 8);
    const QString file = dir + "/bytes.zvek";
    ASSERT_EQ(Zvekpot(bytes, file.toLocal8Bit().constData()), -1);
    Zvekfree(bytes, 7);
    const QString script = dir + "/bytes.sh";
    ASSERT_TRUE(writeScript(script, "cp bytes.zvek ImgViewTempOutput.Zvek\n"));

    put(0, makeFloat({2, 4, 4}, wave));
    select(0, 2, 0);
    user.openAnswers.push_back(script);
    mw->runScriptAct->trigger();
    ASSERT_NE(slot(2), nullptr);
    EXPECT_EQ(slot(2)->dtype, DT_U8BIT);
    EXPECT_EQ(static_cast<unsigned char *>(slot(2)->vekptr)[31], 248);
    // The enabling rule is not run by the script command.
    EXPECT_FALSE(mw->addButton->isEnabled());
}

TEST_F(ScriptTest, AnEmptyOutputSlotStillRunsTheScript) {
    const QString script = dir + "/mark.sh";
    ASSERT_TRUE(writeScript(script, "touch ran.txt\n"));
    select(0, 1, 4);
    user.openAnswers.push_back(script);
    mw->runScriptAct->trigger();
    EXPECT_TRUE(QFileInfo::exists(dir + "/ran.txt"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/ImgViewTempInput.Zvek"));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Your script did not produce an output file that I know how to process");
    EXPECT_EQ(slot(1), nullptr);
    EXPECT_FALSE(mw->rerunAct->isEnabled());
}

// ---------------------------------------------------------------------------
// Real dialogs

class RealDialogTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ZVekUi::install(nullptr);
    }
};

TEST_F(RealDialogTest, DerivativeSigmaTypedIntoTheNumberDialog) {
    put(0, makeFloat({2, 48, 40}, wave));
    select(0, 0, 1);
    QString title;
    whenModal([&](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        if (!dialog) {
            w->close();
            return;
        }
        title = dialog->windowTitle();
        dialog->setDoubleValue(2.5);
        dialog->accept();
    });
    press(mw->dxButton);
    EXPECT_EQ(title, "Dx");
    ZVEKHDR *expected = blank("float", {2, 48, 40});
    ASSERT_EQ(flDoG(slot(0), expected, 1, 0, 2.5f), 0);
    EXPECT_TRUE(near(slot(1), expected, 0.0));
}

TEST_F(RealDialogTest, RestorationFormWithEveryFieldCleared) {
    auto noisy = [](int i) { return noisyValue(i); };
    put(0, makeFloat({2, 12, 10}, noisy));
    put(1, makeFloat({2, 12, 10}, noisy));
    select(0, 1, 2);
    int edits = 0;
    whenModal([&](QWidget *w) {
        for (QLineEdit *edit : w->findChildren<QLineEdit *>()) {
            edit->clear();
            ++edits;
        }
        auto *box = w->findChild<QDialogButtonBox *>();
        if (box && box->button(QDialogButtonBox::Ok))
            box->button(QDialogButtonBox::Ok)->click();
        else
            w->close();
    });
    press(mw->pconButton);
    EXPECT_EQ(edits, 6);
    ZVEKHDR *f = keep(makeFloat({2, 12, 10}, noisy)), *g = keep(makeFloat({2, 12, 10}, noisy));
    ASSERT_EQ(pconsub(f, g, 3.0f, 0.03f, 4.0f, 1.0f, 0.005f, 0.99f), 0);
    EXPECT_TRUE(near(slot(0), f, 0.0));
}

TEST_F(RealDialogTest, AboutBox) {
    QString title, text;
    whenModal([&](QWidget *w) {
        title = w->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(w)) text = box->text();
        w->close();
    });
    mw->aboutAct->trigger();
    EXPECT_EQ(title, "About Application");
    EXPECT_EQ(text,
              "ZVektool 2.1 is an Vekstore tool which gives wide range of operations on images\nBuilt under Yosemite");
}
