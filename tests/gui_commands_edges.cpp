// Refusals and edge cases of the command slots: inputs too small or of the
// wrong type, targets that cannot be made, unreadable script results, and
// the forms answered through the toolkit's real dialog.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

#include "gui_commands_fixture.h"

namespace {
float ripple(int i) { return float((i * 11) % 19) - 4.0f; }
}  // namespace

TEST_F(CommandTest, HogNeedsOneWholeCellAndCountsEveryPixelOfIt) {
    // Seven columns: no 8 x 8 cell. The command is refused and nothing changes.
    put(0, makeFloat({2, 7, 20}, ripple));
    put(1, makeFloat({2, 3, 3}, ripple));
    put(2, makeFloat({1, 40}, ripple));
    ZVEKHDR *output = slot(1);
    const std::vector<float> outData = snapshot(output);
    select(0, 0, 1);
    toMode1();
    {
        StdoutCapture out;
        press(mw->dxButton);
        EXPECT_EQ(out.text().find("HoG returned"), std::string::npos);
    }
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "To compute a HoG, input must have at least 8 rows and 8 columns");
    EXPECT_EQ(slot(1), output);
    EXPECT_EQ(snapshot(output), outData);
    // The same for a one-dimensional input, and for Input 1 chosen as Output.
    select(2, 2, 2);
    ZVEKHDR *line = slot(2);
    press(mw->dxButton);
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages.back(), "To compute a HoG, input must have at least 8 rows and 8 columns");
    EXPECT_EQ(slot(2), line);
    EXPECT_TRUE(mw->dxButton->isEnabled());

    // An 8 x 9 constant image is one cell whose gradients are all zero: each
    // of its 64 pixels falls into sector 0 (angle 0), the ninth row is not
    // part of any cell.
    put(3, makeFloat({2, 8, 9}, [](int) { return 5.0f; }));
    select(3, 3, 4);
    StdoutCapture out;
    press(mw->dxButton);
    const std::string text = out.text();
    ASSERT_NE(text.find("HoG returned"), std::string::npos);
    EXPECT_EQ(text.substr(text.find("HoG returned")), "HoG returned 0\n");
    ASSERT_NE(slot(4), nullptr);
    ASSERT_EQ(dimsOf(slot(4)), (std::vector<int32_t>{3, 1, 1, 9}));
    EXPECT_EQ(pixels(slot(4))[0], 64.0f);
    for (int k = 1; k < 9; ++k) EXPECT_EQ(pixels(slot(4))[k], 0.0f) << k;
}

TEST_F(CommandTest, ResizeToATargetThatCannotBeMadeChangesNothing) {
    put(0, makeFloat({2, 8, 6}, ripple));
    put(1, makeFloat({2, 4, 4}, ripple));
    ZVEKHDR *input = slot(0), *output = slot(1);
    const std::vector<float> inData = snapshot(input), outData = snapshot(output);
    select(0, 0, 1);
    toMode1();
    // 100000 x 100000 floats are 40 GB: more than an image can hold.
    user.typeIntoForm({{0, "100000"}, {1, "100000"}, {2, "1"}});
    press(mw->invButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Cannot make an image of 100000 rows and 100000 columns.");
    EXPECT_EQ(slot(1), output);
    EXPECT_EQ(snapshot(output), outData);
    EXPECT_EQ(slot(0), input);
    EXPECT_EQ(snapshot(input), inData);
    EXPECT_TRUE(mw->invButton->isEnabled());
    EXPECT_TRUE(mw->viewAct->isEnabled());

    // Into its own slot: the input stays, no scratch image is left.
    select(0, 0, 0);
    user.typeIntoForm({{0, "70000"}, {1, "70000"}});
    press(mw->invButton);
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(slot(0), input);
    EXPECT_EQ(snapshot(input), inData);
    EXPECT_EQ(controller->scratchImage, nullptr);

    // Pixel replication of a three-frame image keeps the frames; a 3-D zoom
    // samples half a pixel further on: row r, column c of frame f is input
    // (f, trunc(r / 2 + 0.5), trunc(c / 2 + 0.5)), kept inside the input.
    put(2, makeFloat({3, 3, 2, 3}, [](int i) { return float(i * 10); }));
    select(2, 2, 3);
    user.typeIntoForm({{0, "4"}, {1, "6"}, {2, "1"}});
    press(mw->invButton);
    ASSERT_NE(slot(3), nullptr);
    ASSERT_EQ(dimsOf(slot(3)), (std::vector<int32_t>{3, 6, 4, 3}));
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(pixels(slot(3))[(f * 4 + r) * 6 + c], float(((f * 2 + std::min(1, (r + 1) / 2)) * 3 + std::min(2, (c + 1) / 2)) * 10))
                    << f << " " << r << " " << c;
}

TEST_F(CommandTest, CropOfManyFramesTakesThreeAndReadsAnyType) {
    // Nine frames (a descriptor): the crop keeps frames 0..2.
    put(0, makeFloat({3, 6, 5, 9}, [](int i) { return float(i); }));
    select(0, 0, 1);
    toMode1();
    controller->prevClickCol = 4;
    controller->prevClickRow = 1;
    controller->lastClickCol = 1;
    controller->lastClickRow = 3;
    press(mw->expButton);
    ASSERT_NE(slot(1), nullptr);
    ASSERT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 3, 2, 3}));
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(pixels(slot(1))[(f * 2 + r) * 3 + c], float((f * 5 + r + 1) * 6 + c + 1))
                    << f << " " << r << " " << c;

    // An 8-bit input gives a float crop of the same values.
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 10, 4}.data(), 11, 0);
    for (int i = 0; i < 40; ++i) static_cast<unsigned char *>(bytes->vekptr)[i] = (unsigned char)(200 + i);
    put(2, bytes);
    select(2, 2, 2);
    press(mw->expButton);
    ASSERT_NE(slot(2), nullptr);
    EXPECT_EQ(slot(2)->dtype, DT_32FLT);
    ASSERT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{2, 3, 2}));
    const float expected[] = {211, 212, 213, 221, 222, 223};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pixels(slot(2))[i], expected[i]) << i;
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(CommandTest, RestorationRefusalsAreToldAndKeepInputOne) {
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 8, 8}.data(), 11, 0);
    put(0, makeFloat({2, 8, 8}, ripple));
    put(1, bytes);
    put(2, makeFloat({2, 9, 8}, ripple));
    put(3, makeFloat({2, 8, 8}, ripple));
    ZVEKHDR *estimate = slot(0);
    const std::vector<float> data = snapshot(estimate);

    // Observed data of 8-bit type, as a script may return it.
    select(0, 1, 4);
    user.typeIntoForm({});
    {
        StdoutCapture out;
        press(mw->pconButton);
        EXPECT_EQ(out.text(),
                  "Pcon: this program will only work with Zvek float images, please convert your input image to "
                  "float\n");
    }
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Restoration works on float images only: convert both inputs to float.");

    // Data of another size.
    select(0, 2, 4);
    user.typeIntoForm({});
    press(mw->pconButton);
    EXPECT_EQ(user.messages.back(), "Input 1 and Input 2 must have the same number of rows and columns.");

    // A sigma that is no number reads as 0, which the annealing refuses.
    select(0, 3, 4);
    user.typeIntoForm({{0, "abc"}});
    press(mw->pconButton);
    EXPECT_EQ(user.messages.back(), "These annealing parameters would not let the restoration finish.");
    EXPECT_EQ(user.messages.size(), 3u);

    EXPECT_EQ(slot(0), estimate);
    EXPECT_EQ(snapshot(estimate), data);
    EXPECT_EQ(slot(1), bytes);
    // The Output slot stays empty; the enabling rule has run.
    EXPECT_EQ(slot(4), nullptr);
    EXPECT_TRUE(mw->pconButton->isEnabled());
}

TEST_F(CommandTest, ComplexCommandsRunTheSameInModeOne) {
    put(0, makeFloat({2, 4, 4}, ripple));
    select(0, 0, 1);
    toMode1();
    mw->fftAct->trigger();
    ASSERT_NE(slot(1), nullptr);
    ASSERT_EQ(slot(1)->dtype, DT_32CMP);
    double sum = 0;
    for (int i = 0; i < 16; ++i) sum += ripple(i);
    EXPECT_NEAR(pixels(slot(1))[0], sum, 1e-4);
    select(1, 1, 2);
    mw->c2magAct->trigger();
    ASSERT_NE(slot(2), nullptr);
    EXPECT_EQ(slot(2)->dtype, DT_32FLT);
    EXPECT_NEAR(pixels(slot(2))[0], std::fabs(sum), 1e-4);
    select(0, 0, 2);
    mw->c2magAct->trigger();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Input Image is not complex");
}

TEST_F(CommandTest, UnreadableScriptResultIsUsedUpAndInputTwoKept) {
    QTemporaryDir scripts;
    ASSERT_TRUE(scripts.isValid());
    const QString script = scripts.path() + "/half.sh";
    // Only the first 100 bytes of the handed image: a truncated file.
    ASSERT_TRUE(writeScript(script, "head -c 100 ImgViewTempInput.Zvek > ImgViewTempOutput.Zvek\n"));
    put(0, makeFloat({2, 30, 30}, ripple));
    put(1, makeFloat({2, 2, 2}, ripple));
    ZVEKHDR *input2 = slot(1);
    select(0, 1, 0);
    user.openAnswers.push_back(script);
    mw->runScriptAct->trigger();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Your script did not produce an output file that I know how to process");
    EXPECT_EQ(slot(1), input2);
    EXPECT_NE(controller->imageNames[1], "ReturnedFromScript");
    EXPECT_FALSE(QFileInfo::exists(scripts.path() + "/ImgViewTempOutput.Zvek"));
    EXPECT_TRUE(QFileInfo::exists(scripts.path() + "/ImgViewTempInput.Zvek"));
    EXPECT_TRUE(mw->rerunAct->isEnabled());

    // A script that leaves nothing: ReRun stays on, Input 2 as it was.
    ASSERT_TRUE(writeScript(script, "exit 0\n"));
    mw->rerunAct->trigger();
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(slot(1), input2);
    EXPECT_EQ(user.openCaptions.size(), 1u);
}

// The resize form through the toolkit's own dialog.
class RealFormTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ZVekUi::install(nullptr);
    }
};

TEST_F(RealFormTest, ResizeFormRowsAndTypedValues) {
    put(0, makeFloat({2, 4, 2}, [](int i) { return float(i); }));
    select(0, 0, 1);
    toMode1();
    QStringList labels, texts;
    QString heading;
    QWidget *parent = nullptr;
    whenModal([&](QWidget *w) {
        parent = w->parentWidget();
        auto *form = w->findChild<QFormLayout *>();
        if (!form) {
            w->close();
            return;
        }
        if (auto *first = form->itemAt(0, QFormLayout::SpanningRole))
            if (auto *label = qobject_cast<QLabel *>(first->widget())) heading = label->text();
        QList<QLineEdit *> edits;
        for (int row = 1; row < form->rowCount(); ++row) {
            auto *field = form->itemAt(row, QFormLayout::FieldRole);
            auto *label = form->itemAt(row, QFormLayout::LabelRole);
            auto *edit = field ? qobject_cast<QLineEdit *>(field->widget()) : nullptr;
            if (!edit || !label) continue;
            labels << qobject_cast<QLabel *>(label->widget())->text();
            texts << edit->text();
            edits << edit;
        }
        if (edits.size() == 3) {
            edits[0]->setText("4");
            edits[1]->setText("8");
            edits[2]->setText("1");
        }
        w->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    press(mw->invButton);
    EXPECT_EQ(parent, mw);
    EXPECT_EQ(heading, "rows and cols of target imge.");
    EXPECT_EQ(labels, (QStringList{"rows ", "columns ", "Intermp mode "}));
    EXPECT_EQ(texts, (QStringList{"", "", ""}));
    ASSERT_NE(slot(1), nullptr);
    ASSERT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 8, 4}));
    // Replication by two in each direction.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 8; ++c) EXPECT_EQ(pixels(slot(1))[r * 8 + c], float((r / 2) * 4 + c / 2)) << r << c;
}

TEST_F(CommandTest, ColourCommandsOfALineAreToldAndKeepIt) {
    put(0, makeFloat({1, 40}, ripple));
    ZVEKHDR *line = slot(0);
    const std::vector<float> data = snapshot(line);
    select(0, 0, 0);
    user.intAnswers.push_back(0);
    press(mw->cmapButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Cannot make a three-frame image of Input 1's columns and rows.");
    EXPECT_TRUE(user.ints.empty());
    EXPECT_EQ(slot(0), line);
    EXPECT_EQ(snapshot(line), data);
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_TRUE(mw->cmapButton->isEnabled());
    toMode1();
    press(mw->histeqButton);  // MarkMax
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_TRUE(user.doubles.empty());
    EXPECT_EQ(slot(0), line);
}

namespace {
void *refuseEveryAllocation(size_t, size_t) { return nullptr; }

// While alive, every allocation of the image library fails; its reports on
// standard error are kept out of the test's output.
class NoImageMemory {
public:
    NoImageMemory() : saved_(Zvek_alcptr) {
        testing::internal::CaptureStderr();
        Zvek_alcptr = refuseEveryAllocation;
    }
    ~NoImageMemory() {
        Zvek_alcptr = saved_;
        testing::internal::GetCapturedStderr();
    }

private:
    void *(*saved_)(size_t, size_t);
};
}  // namespace

TEST_F(CommandTest, ResultsThatCannotBeMadeAreToldAndChangeNothing) {
    put(0, makeFloat({2, 16, 16}, ripple));
    put(1, makeFloat({2, 16, 16}, ripple));
    put(2, makeFloat({2, 3, 3}, ripple));
    const std::vector<ZVEKHDR *> before(controller->images, controller->images + 8);
    const std::vector<float> outData = snapshot(slot(2));
    select(0, 1, 2);
    controller->prevClickCol = 1;
    controller->prevClickRow = 1;
    controller->lastClickCol = 5;
    controller->lastClickRow = 5;
    {
        NoImageMemory none;
        press(mw->dxButton);  // no buffer: no sigma is asked
        press(mw->pconButton);
        toMode1();
        press(mw->dxButton);   // HoG
        press(mw->expButton);  // Crop
        user.typeIntoForm({{0, "8"}, {1, "8"}});
        press(mw->invButton);  // Resize
    }
    ASSERT_EQ(user.messages.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(user.messages[i], "Cannot make the result image.") << i;
    EXPECT_EQ(user.messages[4], "Cannot make an image of 8 rows and 8 columns.");
    EXPECT_TRUE(user.doubles.empty());
    EXPECT_EQ(user.forms.size(), 1u);
    EXPECT_EQ(std::vector<ZVEKHDR *>(controller->images, controller->images + 8), before);
    EXPECT_EQ(snapshot(slot(2)), outData);
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->addButton->isEnabled());

    // A line cannot be zoomed: the library's refusal is told.
    put(3, makeFloat({1, 12}, ripple));
    select(3, 3, 4);
    user.typeIntoForm({{0, "2"}, {1, "6"}, {2, "1"}});
    press(mw->invButton);
    EXPECT_EQ(user.messages.back(), "Function return error code.");
}
