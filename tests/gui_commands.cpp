// One-image commands of the control panel, driven through its buttons and
// actions: buffers, dialogs, hand-over of results, mode 1, refusals.
#include <QMetaObject>
#include <cmath>
#include <string>

#include "gui_commands_fixture.h"

namespace {
float ramp(int i) { return float((i * 37) % 23) - 5.0f; }
}  // namespace

TEST_F(CommandTest, InverseIntoAnotherSlotAndIntoItsOwnSlot) {
    put(0, makeFloat({2, 5, 4}, [](int i) { return i * 0.5f - 3.0f; }));
    ZVEKHDR *input = slot(0);
    select(0, 0, 1);
    press(mw->invButton);
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 5, 4}));
    // out = max - in, the maximum being 19 * 0.5 - 3 = 6.5.
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(pixels(slot(1))[i], 6.5f - (i * 0.5f - 3.0f)) << i;
    EXPECT_EQ(slot(0), input);
    EXPECT_FLOAT_EQ(pixels(input)[7], 0.5f);
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->addButton->isEnabled());
    EXPECT_TRUE(mw->viewAct->isEnabled());

    // Input 1 = Output = slot 1: the result replaces the input. The maximum
    // of slot 1 is 9.5, so the result is 9.5 - (6.5 - v) = v + 3.
    select(1, 1, 1);
    ZVEKHDR *before = slot(1);
    mw->inverseAct->trigger();
    ASSERT_NE(slot(1), nullptr);
    EXPECT_NE(slot(1), before);
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(pixels(slot(1))[i], i * 0.5f) << i;
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_EQ(slot(0), input);
}

TEST_F(CommandTest, DerivativeButtonsAskTheirSigmaAndRunTheirFilter) {
    struct Case {
        QPushButton *button;
        const char *title;
        double value, min;
        int order, dir;
    };
    const Case cases[] = {
        {mw->dxButton, "Dx", 1.0, 1.0, 1, 0},  {mw->dxxButton, "Dxx", 1.0, 0.0, 2, 0},
        {mw->dyButton, "Dy", 1.0, 0.0, 1, 1},  {mw->dyyButton, "Dyy", 1.0, 0.0, 2, 1},
        {mw->dxyButton, "Dxy", 1.0, 0.0, 2, 2}, {mw->blurButton, "Blur", 0.0, 0.0, 0, 0},
    };
    put(0, makeFloat({2, 40, 36}, ramp));
    select(0, 0, 3);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        user.doubles.clear();
        user.doubleAnswers.push_back(1.5);
        press(c.button);
        ASSERT_EQ(user.doubles.size(), 1u);
        const auto &ask = user.doubles[0];
        EXPECT_EQ(ask.parent, mw);
        EXPECT_EQ(ask.title, c.title);
        EXPECT_EQ(ask.label, "Sigma of blur");
        EXPECT_EQ(ask.value, c.value);
        EXPECT_EQ(ask.min, c.min);
        EXPECT_EQ(ask.max, 255.0);
        EXPECT_EQ(ask.decimals, 1);
        ZVEKHDR *expected = blank("float", {2, 40, 36});
        ASSERT_EQ(flDoG(slot(0), expected, c.order, c.dir, 1.5f), 0);
        EXPECT_TRUE(near(slot(3), expected, 0.0));
    }
}

TEST_F(CommandTest, CancelLeavesTheInputAndAnotherOutput) {
    put(0, makeFloat({2, 6, 5}, ramp));
    put(1, makeFloat({2, 3, 3}, [](int) { return 7.0f; }));
    ZVEKHDR *input = slot(0);
    const std::vector<float> data = snapshot(input);

    // Input 1 is the Output slot: Cancel keeps the input as it was.
    select(0, 0, 0);
    press(mw->dxButton);  // no answer queued: Cancel
    EXPECT_EQ(user.doubles.size(), 1u);
    EXPECT_EQ(slot(0), input);
    EXPECT_EQ(snapshot(input), data);
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_TRUE(mw->dxButton->isEnabled()) << "the enabling rule runs after a Cancel";

    // A refused operation (the filter refuses a sigma of 0, which the Dxx
    // dialog accepts) keeps the input the same way.
    select(0, 0, 0);
    user.doubleAnswers.push_back(0.0);
    press(mw->dxxButton);
    EXPECT_EQ(user.doubles.size(), 2u);
    EXPECT_EQ(slot(0), input);
    EXPECT_EQ(snapshot(input), data);
    EXPECT_EQ(controller->scratchImage, nullptr);

    // Another Output slot keeps its image.
    select(0, 0, 1);
    ZVEKHDR *old = slot(1);
    press(mw->curvButton);
    EXPECT_EQ(slot(1), old);
    EXPECT_EQ(snapshot(old), std::vector<float>(9, 7.0f));
    EXPECT_EQ(snapshot(input), data);
}

TEST_F(CommandTest, ButtonsAreOffWhileACommandAsksExceptBinaryForDy) {
    put(0, makeFloat({2, 20, 20}, ramp));
    select(0, 0, 1);
    std::vector<bool> seen;
    user.whileAsked = [&]() {
        seen = {mw->dxButton->isEnabled(), mw->viewAct->isEnabled(), mw->addButton->isEnabled(),
                mw->addAct->isEnabled()};
    };
    user.doubleAnswers.push_back(1.0);
    press(mw->dxButton);
    EXPECT_EQ(seen, (std::vector<bool>{false, false, false, false}));
    user.doubleAnswers.push_back(1.0);
    press(mw->dyButton);
    EXPECT_EQ(seen, (std::vector<bool>{false, false, true, true}));
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->viewAct->isEnabled());
}

TEST_F(CommandTest, ModeOneRunsTheOtherOperations) {
    put(0, makeFloat({2, 48, 40}, ramp));
    select(0, 0, 2);
    toMode1();
    struct Case {
        QPushButton *button;
        const char *title;
        int (*op)(ZVEKHDR *, ZVEKHDR *, float);
    };
    const Case cases[] = {{mw->dxxButton, "gMag", flgmag},
                          {mw->dyyButton, "gDir", flgdir},
                          {mw->curvButton, "Harris", flHarris},
                          {mw->lapButton, "QuadVar", flqvar}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        user.doubles.clear();
        user.doubleAnswers.push_back(2.0);
        press(c.button);
        ASSERT_EQ(user.doubles.size(), 1u);
        EXPECT_EQ(user.doubles[0].title, c.title);
        ZVEKHDR *expected = blank("float", {2, 48, 40});
        ASSERT_EQ(c.op(slot(0), expected, 2.0f), 0);
        EXPECT_TRUE(near(slot(2), expected, 0.0));
    }
    // ABS: no dialog, |v| by hand.
    user.doubles.clear();
    press(mw->cclButton);
    EXPECT_TRUE(user.doubles.empty());
    for (int i = 0; i < 48 * 40; ++i) ASSERT_EQ(pixels(slot(2))[i], std::fabs(ramp(i))) << i;

    // Clr2Gray: a two-dimensional result of a colour input.
    put(1, makeFloat({3, 4, 3, 3}, [](int i) { return float(i); }));
    select(1, 1, 4);
    press(mw->dxyButton);
    ASSERT_NE(slot(4), nullptr);
    EXPECT_EQ(dimsOf(slot(4)), (std::vector<int32_t>{2, 4, 3}));
    ZVEKHDR *gray = blank("float", {2, 4, 3});
    ASSERT_EQ(flcolor2gray(slot(1), &gray), 0);
    EXPECT_TRUE(near(slot(4), gray, 0.0));
    // ...and on a gray input its message, the input kept when it is Output.
    select(0, 0, 0);
    ZVEKHDR *input = slot(0);
    press(mw->dxyButton);
    ASSERT_FALSE(user.messages.empty());
    EXPECT_EQ(user.messages.back(), "Input image must be color.");
    EXPECT_EQ(slot(0), input);
}

TEST_F(CommandTest, ButtonsWithoutAModeOneCommandChangeNothing) {
    put(0, makeFloat({2, 6, 6}, ramp));
    put(1, makeFloat({2, 6, 6}, ramp));
    put(2, makeFloat({2, 6, 6}, ramp));
    select(0, 1, 2);
    toMode1();
    const std::vector<ZVEKHDR *> before(controller->images, controller->images + 8);
    const std::vector<float> out = snapshot(slot(2));
    QPushButton *buttons[] = {mw->lnButton,  mw->blurButton, mw->cmapButton, mw->addButton, mw->subButton,
                              mw->mulButton, mw->divButton,  mw->pconButton, mw->correlateButton};
    QAction *actions[] = {mw->addAct, mw->subAct, mw->mulAct, mw->divAct, mw->pconAct};
    for (QPushButton *b : buttons) press(b);
    for (QAction *a : actions) a->trigger();
    ASSERT_EQ(user.messages.size(), 14u);
    for (const QString &m : user.messages) EXPECT_EQ(m, "No function has been defined for that button yet.");
    EXPECT_EQ(user.interactions(), 14u);
    // The N/A button does nothing at all in mode 1.
    press(mw->gdirButton);
    EXPECT_EQ(user.interactions(), 14u);
    EXPECT_EQ(std::vector<ZVEKHDR *>(controller->images, controller->images + 8), before);
    EXPECT_EQ(snapshot(slot(2)), out);
    EXPECT_TRUE(mw->dxButton->isEnabled());
}

TEST_F(CommandTest, MarkMaxAndPseudoColourGetThreeFrameBuffers) {
    put(0, makeFloat({2, 12, 10}, ramp));
    select(0, 0, 1);
    toMode1();
    user.doubleAnswers.push_back(0.5);
    press(mw->histeqButton);  // MarkMax
    ASSERT_EQ(user.doubles.size(), 1u);
    EXPECT_EQ(user.doubles[0].title, "MarkMax");
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 12, 10, 3}));
    ZVEKHDR *marked = blank("float", {3, 12, 10, 3});
    ASSERT_EQ(flmarkmax(slot(0), marked, 0.5f), 0);
    EXPECT_TRUE(near(slot(1), marked, 0.0));

    // Pseudo-colour with the gray map, the result replacing its own input:
    // three equal frames of the input scaled to bytes.
    mw->modeAct->trigger();
    ZVEKHDR *bytes = blank("u8bit", {2, 12, 10});
    float lo = 0, hi = 0;
    Zvekvidscale(slot(0), bytes, &lo, &hi, 0);
    select(0, 0, 0);
    user.intAnswers.push_back(0);
    press(mw->cmapButton);
    ASSERT_EQ(user.ints.size(), 1u);
    EXPECT_EQ(user.ints[0].title, "Pseudocolor");
    ASSERT_NE(slot(0), nullptr);
    EXPECT_EQ(dimsOf(slot(0)), (std::vector<int32_t>{3, 12, 10, 3}));
    const unsigned char *b = static_cast<const unsigned char *>(bytes->vekptr);
    for (int f = 0; f < 3; ++f)
        for (int i = 0; i < 120; ++i) ASSERT_EQ(pixels(slot(0))[f * 120 + i], float(b[i])) << f << " " << i;
    EXPECT_EQ(controller->scratchImage, nullptr);
}

TEST_F(CommandTest, ComplexPartsRefuseFloatInputsAndFourierRoundTrips) {
    put(0, makeFloat({2, 8, 8}, ramp));
    put(1, makeFloat({2, 3, 3}, [](int) { return 1.0f; }));
    ZVEKHDR *input = slot(0);
    const std::vector<float> data = snapshot(input);
    select(0, 0, 1);
    mw->c2magAct->trigger();
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Input Image is not complex");
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 3, 3}));
    EXPECT_FALSE(allZero(slot(1)));
    // The command ended early: every group stays off until the next click.
    EXPECT_FALSE(mw->dxButton->isEnabled());
    EXPECT_FALSE(mw->viewAct->isEnabled());

    select(0, 0, 0);
    QAction *others[] = {mw->c2phaseAct, mw->c2realAct, mw->c2imagAct, mw->ifftAct};
    for (QAction *a : others) {
        mw->updateAccessability();
        a->trigger();
        EXPECT_EQ(user.messages.back(), "Image is not complex");
        EXPECT_EQ(slot(0), input);
        EXPECT_EQ(controller->scratchImage, nullptr);
    }
    EXPECT_EQ(user.messages.size(), 5u);
    EXPECT_EQ(snapshot(input), data);

    // Forward: the zero-frequency term is the sum of the input.
    select(0, 0, 2);
    mw->fftAct->trigger();
    ASSERT_NE(slot(2), nullptr);
    ASSERT_EQ(slot(2)->dtype, DT_32CMP);
    double sum = 0;
    for (float v : data) sum += v;
    EXPECT_NEAR(pixels(slot(2))[0], sum, 1e-3);
    EXPECT_NEAR(pixels(slot(2))[1], 0.0, 1e-3);
    // Inverse into its own slot, then the real part: the input again.
    select(2, 2, 2);
    mw->ifftAct->trigger();
    ASSERT_EQ(slot(2)->dtype, DT_32CMP);
    select(2, 2, 3);
    mw->c2realAct->trigger();
    ASSERT_NE(slot(3), nullptr);
    ASSERT_EQ(slot(3)->dtype, DT_32FLT);
    for (int i = 0; i < 64; ++i) EXPECT_NEAR(pixels(slot(3))[i], data[i], 1e-4) << i;
    EXPECT_EQ(user.messages.size(), 5u);
}

TEST_F(CommandTest, GradientHistogramAndItsPicture) {
    put(0, makeFloat({2, 64, 48}, [](int i) { return float((i % 64) * (i / 64 % 7)); }));
    select(0, 0, 1);
    toMode1();
    StdoutCapture out;
    press(mw->dxButton);  // HoG
    EXPECT_NE(out.text().find("HoG returned 0\n"), std::string::npos);
    EXPECT_TRUE(user.interactions() == 0);
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 8, 6, 9}));
    ZVEKHDR *hog = blank("float", {3, 8, 6, 9});
    ASSERT_EQ(HoGdescriptor(slot(0), hog), 0);
    EXPECT_TRUE(near(slot(1), hog, 0.0));
    // Every pixel of a cell is counted in one of the nine sectors.
    for (int cell = 0; cell < 48; ++cell) {
        double total = 0;
        for (int k = 0; k < 9; ++k) total += pixels(slot(1))[k * 48 + cell];
        EXPECT_LE(total, 64.0) << cell;
    }

    // ShowHoG of a two-dimensional image: its message, groups as before.
    press(mw->dyButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "To view a HoG, input must have 9 frames");
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->addButton->isEnabled());
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 8, 6, 9}));

    // ShowHoG of the descriptor, drawn into its own slot.
    select(1, 1, 1);
    press(mw->dyButton);
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 72, 54}));
    ZVEKHDR *picture = blank("float", {2, 72, 54});
    ASSERT_EQ(ShowHoG(hog, picture), 0);
    EXPECT_TRUE(near(slot(1), picture, 0.0));
}

TEST_F(CommandTest, CropTakesTheRectangleBetweenTheLastTwoClicks) {
    auto value = [](int i) { return float(i % 1000) + 0.25f; };
    put(0, makeFloat({3, 40, 50, 3}, value));
    put(1, makeFloat({2, 2, 2}));
    select(0, 0, 1);
    toMode1();
    controller->prevClickCol = 10;
    controller->prevClickRow = 40;
    controller->lastClickCol = 30;
    controller->lastClickRow = 20;
    press(mw->expButton);  // Crop
    ASSERT_NE(slot(1), nullptr);
    ASSERT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{3, 20, 20, 3}));
    for (int f = 0; f < 3; ++f)
        for (int r = 0; r < 20; ++r)
            for (int c = 0; c < 20; ++c)
                ASSERT_EQ(pixels(slot(1))[(f * 20 + r) * 20 + c], value((f * 50 + r + 20) * 40 + c + 10))
                    << f << " " << r << " " << c;
    EXPECT_EQ(user.interactions(), 0u);

    // Into its own slot, of a gray image.
    put(2, makeFloat({2, 40, 50}, value));
    select(2, 2, 2);
    mw->exponentAct->trigger();
    ASSERT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{2, 20, 20}));
    EXPECT_EQ(pixels(slot(2))[0], value(20 * 40 + 10));
    EXPECT_EQ(controller->scratchImage, nullptr);

    // A rectangle reaching outside Input 1 (clicked in a larger image) and
    // an empty one are refused; nothing changes.
    select(2, 2, 1);
    ZVEKHDR *output = slot(1);
    controller->lastClickCol = 100;
    press(mw->expButton);
    EXPECT_EQ(user.messages.back(), "The crop rectangle lies outside the input image.");
    controller->lastClickCol = 10;
    press(mw->expButton);
    EXPECT_EQ(user.messages.back(), "The crop rectangle is empty: click two of its corners in a view window.");
    EXPECT_EQ(slot(1), output);
    EXPECT_EQ(user.messages.size(), 2u);
}

TEST_F(CommandTest, ResizeAsksForTheTargetAndKeepsTheType) {
    ZVEKHDR *bytes = Zvekcreate("u8bit", std::vector<int32_t>{2, 50, 25}.data(), 11, 0);
    for (int i = 0; i < 50 * 25; ++i) static_cast<unsigned char *>(bytes->vekptr)[i] = (unsigned char)(i * 7);
    put(0, bytes);
    put(1, makeFloat({2, 3, 3}));
    select(0, 0, 1);
    toMode1();
    ZVEKHDR *output = slot(1);

    // A mode outside 0..2, zero rows, and Cancel change nothing.
    user.typeIntoForm({{0, "100"}, {1, "200"}, {2, "3"}});
    press(mw->invButton);
    ASSERT_EQ(user.forms.size(), 1u);
    EXPECT_EQ(user.forms[0].parent, mw);
    EXPECT_EQ(user.forms[0].heading, "rows and cols of target imge.");
    EXPECT_EQ(user.forms[0].labels, (QStringList{"rows ", "columns ", "Intermp mode "}));
    EXPECT_EQ(user.forms[0].values, (QStringList{"", "", ""}));
    EXPECT_EQ(user.messages.back(), "Interpolation mode must be 0, 1, or 2");
    user.typeIntoForm({{0, ""}, {1, "20"}});
    press(mw->invButton);
    EXPECT_EQ(user.messages.back(), "Rows and columns of the target image must be at least 1.");
    press(mw->invButton);  // Cancel
    EXPECT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(slot(1), output);
    EXPECT_EQ(slot(0), bytes);

    // Pixel replication to 100 rows and 200 columns.
    user.typeIntoForm({{0, "100"}, {1, "200"}, {2, "1"}});
    press(mw->invButton);
    ASSERT_NE(slot(1), nullptr);
    EXPECT_EQ(slot(1)->dtype, bytes->dtype);
    EXPECT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 200, 100}));
    const unsigned char *src = static_cast<const unsigned char *>(bytes->vekptr);
    const unsigned char *dst = static_cast<const unsigned char *>(slot(1)->vekptr);
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 200; ++c) ASSERT_EQ(dst[r * 200 + c], src[(r / 4) * 50 + c / 4]) << r << " " << c;

    // An empty mode field is bilinear; the result replaces its own input.
    select(1, 1, 1);
    user.typeIntoForm({{0, "10"}, {1, "20"}});
    press(mw->invButton);
    ASSERT_EQ(dimsOf(slot(1)), (std::vector<int32_t>{2, 20, 10}));
    EXPECT_EQ(slot(1)->dtype, bytes->dtype);
    EXPECT_EQ(controller->scratchImage, nullptr);
}

TEST_F(CommandTest, AnEmptyInputIsToldEvenWhenTheButtonsAreStale) {
    put(0, makeFloat({2, 4, 4}, ramp));
    select(0, 0, 0);
    // The image goes away without the enabling rule noticing.
    put(0, nullptr);
    press(mw->dxButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Input empty");
    EXPECT_TRUE(user.doubles.empty());
    EXPECT_FALSE(mw->dxButton->isEnabled());
    EXPECT_FALSE(mw->viewAct->isEnabled());
}

TEST_F(CommandTest, AboutBoxAndCommandMessages) {
    mw->aboutAct->trigger();
    ASSERT_EQ(user.abouts.size(), 1u);
    EXPECT_EQ(user.abouts[0].parent, mw);
    EXPECT_EQ(user.abouts[0].title, "About Application");
    EXPECT_EQ(user.abouts[0].text,
              "ZVektool 2.1 is an Vekstore tool which gives wide range of operations on images\nBuilt under Yosemite");
    for (int code : {1, 2, 3, 0, 7})
        QMetaObject::invokeMethod(mw, "badMsg", Qt::DirectConnection, Q_ARG(int, code));
    EXPECT_EQ(user.messages, (std::vector<QString>{"No function has been defined for that button yet.",
                                                   "The crop funtion has  been implemented.",
                                                   "Function return error code.",
                                                   "No function has been defined for that button yet.",
                                                   "No function has been defined for that button yet."}));
}

TEST_F(CommandTest, MovedAndCopiedResultsInTheInputSlot) {
    put(0, makeFloat({2, 32, 32}, ramp));
    select(0, 0, 0);
    ZVEKHDR *scratch = nullptr;
    user.whileAsked = [&]() { scratch = controller->scratchImage; };
    // The Laplacian moves its result into the slot...
    user.doubleAnswers.push_back(1.0);
    press(mw->lapButton);
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(slot(0), scratch);
    // ...DX hands over a copy.
    user.doubleAnswers.push_back(1.0);
    press(mw->dxButton);
    ASSERT_NE(scratch, nullptr);
    EXPECT_NE(slot(0), scratch);
    EXPECT_EQ(controller->scratchImage, nullptr);
}

TEST_F(CommandTest, LabellingEqualisationAndPseudoColourOfAColourImage) {
    // Two bright squares on a dark ground.
    auto squares = [](int i) {
        const int r = i / 20, c = i % 20;
        return ((r > 2 && r < 7 && c > 2 && c < 7) || (r > 10 && r < 15 && c > 10 && c < 16)) ? 100.0f : 0.0f;
    };
    put(0, makeFloat({2, 20, 18}, squares));
    select(0, 0, 0);
    user.typeIntoForm({});
    press(mw->cclButton);
    ASSERT_EQ(user.forms.size(), 1u);
    EXPECT_EQ(user.forms[0].heading, "Parameters for CCL.");
    ASSERT_EQ(user.notices.size(), 1u);
    EXPECT_EQ(user.notices[0].text, QString("found %1 labels").arg(controller->maxLabel));
    ZVEKHDR *labels = blank("float", {2, 20, 18});
    ZVEKHDR *source = keep(makeFloat({2, 20, 18}, squares));
    int count = 0;
    ASSERT_EQ(cclC4_2(source, 1, 0, &count, "", labels, 2.0f, 10.0f, 255.0f), 0);
    EXPECT_EQ(count, controller->maxLabel);
    EXPECT_TRUE(near(slot(0), labels, 0.0));

    // Equalisation: its notice, then the whole-image result.
    put(1, makeFloat({2, 20, 18}, ramp));
    select(1, 1, 2);
    press(mw->histeqButton);
    ASSERT_EQ(user.notices.size(), 2u);
    EXPECT_EQ(user.notices[1].text, "This function takes a while on large images.\n");
    EXPECT_EQ(user.notices[1].title, "message");
    ZVEKHDR *equalised = blank("float", {2, 20, 18});
    ASSERT_EQ(flHistogramEq(slot(1), equalised, 0), 0);
    EXPECT_TRUE(near(slot(2), equalised, 0.0));

    // Pseudo-colour of a colour image asks for the frame too.
    put(3, makeFloat({3, 6, 5, 3}, ramp));
    select(3, 3, 4);
    user.intAnswers.push_back(1);
    user.intAnswers.push_back(2);
    press(mw->cmapButton);
    ASSERT_EQ(user.ints.size(), 2u);
    EXPECT_EQ(user.ints[1].label, "Input Frame No");
    EXPECT_EQ(user.ints[1].max, 2);
    ASSERT_NE(slot(4), nullptr);
    EXPECT_EQ(dimsOf(slot(4)), (std::vector<int32_t>{3, 6, 5, 3}));
}

TEST_F(CommandTest, FileOpenEventsWaitUntilTheCommandEnds) {
    const QString file = home.path() + "/waiting.zvek";
    ZVEKHDR *image = makeFloat({2, 4, 4}, ramp);
    ASSERT_EQ(Zvekpot(image, file.toLocal8Bit().constData()), -1);
    Zvekfree(image, 7);
    put(0, makeFloat({2, 32, 32}, ramp));
    select(0, 0, 1);
    bool loadedMeanwhile = true;
    user.whileAsked = [&]() {
        controller->handleFileByPath(file, 5);
        loadedMeanwhile = slot(5) != nullptr;
    };
    user.doubleAnswers.push_back(1.0);
    press(mw->dxButton);
    EXPECT_FALSE(loadedMeanwhile);
    pumpEvents(50);
    ASSERT_NE(slot(5), nullptr);
    EXPECT_EQ(dimsOf(slot(5)), (std::vector<int32_t>{2, 4, 4}));
}
