// Tests of clicks that arrive while a command processes events: the
// labelling of a colour image waits two seconds with the event loop running,
// and Read, Reopen, Paste, Delete and the scripts must not replace the images
// it works on meanwhile.
#include <QImage>
#include <QTimer>

#include "gui_commands_fixture.h"

TEST_F(CommandTest, ClicksDuringTheLabellingWaitLeaveItsImagesAlone) {
    // A 4 x 3 grey picture to read, a script that would hand back a result,
    // and a 5 x 5 clipboard image.
    QImage picture(4, 3, QImage::Format_Grayscale8);
    picture.fill(9);
    const QString picturePath = home.path() + "/other.png";
    ASSERT_TRUE(picture.save(picturePath, "PNG"));
    const QString script = home.path() + "/s.sh";
    ASSERT_TRUE(writeScript(script, "cp ImgViewTempInput.Zvek ImgViewTempOutput.Zvek\n"));
    put(2, makeFloat({2, 5, 5}, [](int i) { return float(i); }));
    select(2, 2, 2);
    mw->copyAct->trigger();
    ASSERT_TRUE(mw->pasteAct->isEnabled());

    // Input 1: a 20 x 20 colour image of two flat halves; Output: slot 1.
    ZVEKHDR *colour = makeFloat({3, 20, 20, 3}, [](int i) { return (i % 20) < 10 ? 50.0f : 150.0f; });
    put(0, colour);
    put(1, makeFloat({2, 7, 7}));
    ZVEKHDR *const before = slot(1);
    select(0, 0, 1);
    mw->reopenAct->setEnabled(true);

    bool clicked = false;
    ZVEKHDR *outDuringWait = nullptr;
    QTimer::singleShot(300, [&]() {
        clicked = true;
        outDuringWait = slot(1);
        user.openAnswers = {picturePath, script};
        mw->pasteAct->trigger();
        mw->openAct->trigger();
        mw->reopenAct->trigger();
        mw->deleteAct->trigger();
        mw->runScriptAct->trigger();
        mw->rerunAct->trigger();
        // Nothing was asked and no slot changed.
        EXPECT_TRUE(user.openCaptions.empty());
        EXPECT_TRUE(user.messages.empty());
        EXPECT_EQ(slot(0), colour);
        EXPECT_EQ(slot(1), outDuringWait);
    });
    user.formAnswers.push_back([](QStringList &) {});
    press(mw->cclButton);

    ASSERT_TRUE(clicked) << "the timer runs during the wait";
    ASSERT_EQ(user.notices.size(), 2u);
    EXPECT_EQ(user.notices[0].text,
              "CCL only works on grayscale images. Using it on a color image will produce strange results.");
    EXPECT_EQ(user.notices[1].text, "found 2 labels");
    EXPECT_EQ(slot(0), colour);
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(outDuringWait, before) << "the result is stored at the end";
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 20, 20, 3}));
    // The labels: row 0 and column 0 unscanned (-1, the corner 0), the left
    // half 1, the right half 2.
    const float *labels = pixels(slot(1));
    EXPECT_EQ(labels[0], 0.0f);
    EXPECT_EQ(labels[5], -1.0f);
    EXPECT_EQ(labels[20 * 5 + 3], 1.0f);
    EXPECT_EQ(labels[20 * 5 + 15], 2.0f);
    EXPECT_TRUE(user.openCaptions.empty());
    EXPECT_FALSE(QFile::exists(home.path() + "/ImgViewTempInput.Zvek"));

    // Once the command has ended, the same clicks work again.
    mw->pasteAct->trigger();
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 5, 5}));
    user.openAnswers = {picturePath};
    mw->openAct->trigger();
    EXPECT_EQ(controller->imageNames[1], "other.png");
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 4, 3, 3}));
}
