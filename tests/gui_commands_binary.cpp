// Two-image commands and restoration of the control panel, driven through
// their buttons and actions.
#include "gui_commands_fixture.h"

namespace {
float first(int i) { return float(i % 17) * 0.5f - 2.0f; }
float second(int i) { return float((i * 7) % 11) + 1.0f; }

// A step image with a little deterministic noise.
float noisyStep(int i, int cols) {
    const int c = i % cols;
    return (c < cols / 2 ? 20.0f : 80.0f) + float((i * 13) % 7) - 3.0f;
}
}  // namespace

TEST_F(CommandTest, ArithmeticIntoAnotherSlotAndIntoAnInput) {
    put(0, makeFloat({2, 5, 4}, first));
    put(1, makeFloat({2, 5, 4}, second));
    put(2, makeFloat({2, 2, 2}));
    ZVEKHDR *a = slot(0), *b = slot(1);
    select(0, 1, 2);
    mw->viewAct->trigger();
    ASSERT_NE(mw->childWindow(2), nullptr);

    user.typeIntoForm({});
    press(mw->addButton);
    ASSERT_EQ(user.forms.size(), 1u);
    EXPECT_EQ(user.forms[0].heading, "Translation of second image:");
    EXPECT_EQ(mw->childWindow(2), nullptr) << "the Output slot's window is closed";
    ASSERT_NE(slot(2), nullptr);
    EXPECT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{2, 5, 4}));
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(pixels(slot(2))[i], first(i) + second(i)) << i;
    EXPECT_EQ(slot(0), a);
    EXPECT_EQ(slot(1), b);
    EXPECT_TRUE(mw->addButton->isEnabled());

    // Output = Input 2: the difference replaces Input 2.
    select(0, 1, 1);
    user.typeIntoForm({});
    mw->subAct->trigger();
    ASSERT_NE(slot(1), nullptr);
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(pixels(slot(1))[i], first(i) - second(i)) << i;
    EXPECT_EQ(slot(0), a);

    // Output = Input 1 = Input 2: the product of the image with itself.
    select(0, 0, 0);
    user.typeIntoForm({});
    press(mw->mulButton);
    for (int i = 0; i < 20; ++i) EXPECT_FLOAT_EQ(pixels(slot(0))[i], first(i) * first(i)) << i;
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(CommandTest, CancelledArithmeticKeepsTheInputs) {
    put(0, makeFloat({2, 5, 4}, first));
    put(1, makeFloat({2, 5, 4}, second));
    ZVEKHDR *a = slot(0), *b = slot(1);
    const std::vector<float> da = snapshot(a), db = snapshot(b);
    select(0, 1, 0);
    press(mw->divButton);  // Cancel
    select(0, 1, 1);
    press(mw->addButton);  // Cancel
    EXPECT_EQ(user.forms.size(), 2u);
    EXPECT_EQ(slot(0), a);
    EXPECT_EQ(slot(1), b);
    EXPECT_EQ(snapshot(a), da);
    EXPECT_EQ(snapshot(b), db);
    EXPECT_TRUE(user.messages.empty());
    EXPECT_TRUE(mw->addButton->isEnabled());
}

TEST_F(CommandTest, ShiftedSumGrowsTheResult) {
    put(0, makeFloat({2, 100, 80}, [](int) { return 1.0f; }));
    put(1, makeFloat({2, 100, 80}, [](int) { return 2.0f; }));
    select(0, 1, 3);
    user.typeIntoForm({{0, "-5"}, {1, "3"}});
    press(mw->addButton);
    ASSERT_NE(slot(3), nullptr);
    EXPECT_EQ(dimsOf(slot(3)), (std::vector<int32_t>{2, 103, 85}));
}

TEST_F(CommandTest, NotApplicableButtonClearsTheOutputInModeZeroOnly) {
    put(0, makeFloat({2, 6, 5}, first));
    put(1, makeFloat({2, 3, 3}, second));
    put(2, makeFloat({2, 4, 4}, second));
    ZVEKHDR *a = slot(0);
    select(0, 1, 2);
    press(mw->gdirButton);
    ASSERT_NE(slot(2), nullptr);
    EXPECT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{2, 6, 5}));
    EXPECT_TRUE(allZero(slot(2)));
    EXPECT_EQ(slot(0), a);
    EXPECT_EQ(user.interactions(), 0u);
}

TEST_F(CommandTest, CorrelationRefusalsAndResult) {
    put(0, makeFloat({2, 20, 16}, [](int i) { return float((i * 31) % 13); }));
    put(1, makeFloat({3, 4, 4, 3}, second));
    put(2, makeFloat({2, 4, 3}, second));
    select(0, 1, 3);
    press(mw->correlateButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "I can't correlate a gray scale image with a color image. Sorry.");

    select(0, 2, 3);
    press(mw->correlateButton);
    EXPECT_EQ(user.messages.size(), 1u);
    ASSERT_EQ(user.notices.size(), 1u);
    EXPECT_EQ(user.notices[0].text, "This may take a long time, please be patient.");
    ZVEKHDR *expected = blank("float", {2, 20, 16});
    ASSERT_EQ(flcorrelate(slot(0), slot(2), expected), 0);
    EXPECT_TRUE(near(slot(3), expected, 0.0));

    // Correlating into the template's own slot replaces the template.
    select(0, 2, 2);
    press(mw->correlateButton);
    EXPECT_TRUE(near(slot(2), expected, 0.0));
}

TEST_F(CommandTest, RestorationReadsItsParametersAndWorksInInputOne) {
    const int cols = 16, rows = 12;
    auto noisy = [cols](int i) { return noisyStep(i, cols); };
    put(0, makeFloat({2, cols, rows}, noisy));
    put(1, makeFloat({2, cols, rows}, noisy));
    put(2, makeFloat({2, 3, 3}, second));
    ZVEKHDR *f = slot(0), *g = slot(1);

    // Reference runs on copies, with the values an empty form and the
    // offered texts stand for.
    ZVEKHDR *fEmpty = keep(makeFloat({2, cols, rows}, noisy)), *gEmpty = keep(makeFloat({2, cols, rows}, noisy));
    ASSERT_EQ(pconsub(fEmpty, gEmpty, 3.0f, 0.03f, 4.0f, 1.0f, 0.005f, 0.99f), 0);
    ZVEKHDR *fOffered = keep(makeFloat({2, cols, rows}, noisy)),
            *gOffered = keep(makeFloat({2, cols, rows}, noisy));
    ASSERT_EQ(pconsub(fOffered, gOffered, 2.0f, 0.03f, 4.0f, 1.0f, 0.005f, 0.99f), 0);
    ASSERT_FALSE(near(fEmpty, fOffered, 0.0));

    // All fields cleared; Output apart from both inputs.
    select(0, 1, 2);
    user.typeIntoForm({{0, ""}, {1, ""}, {2, ""}, {3, ""}, {4, ""}, {5, ""}});
    press(mw->pconButton);
    ASSERT_EQ(user.forms.size(), 1u);
    EXPECT_EQ(user.forms[0].parent, mw);
    EXPECT_EQ(user.forms[0].heading, "MFA parameters: if not filled in,\n default will be used");
    EXPECT_EQ(user.forms[0].labels,
              (QStringList{"sigma [2.0]", "r [.03]", "b [4]", "t1 [1.0]", "t2 [.005]", "dlt [.99]"}));
    EXPECT_EQ(user.forms[0].values, (QStringList{"2.0", ".03", "4.0", "1.0", "0.005", ".99"}));
    EXPECT_EQ(slot(0), f);
    EXPECT_TRUE(near(f, fEmpty, 0.0));
    EXPECT_EQ(slot(1), g);
    EXPECT_EQ(dimsOf(slot(2)), (std::vector<int32_t>{2, cols, rows}));
    EXPECT_TRUE(allZero(slot(2)));
    EXPECT_TRUE(mw->pconButton->isEnabled());

    // The offered texts; Output = Input 1, whose window is closed.
    put(0, makeFloat({2, cols, rows}, noisy));
    put(1, makeFloat({2, cols, rows}, noisy));
    select(0, 1, 0);
    mw->viewAct->trigger();
    ASSERT_NE(mw->childWindow(0), nullptr);
    user.typeIntoForm({});
    mw->pconAct->trigger();
    EXPECT_EQ(mw->childWindow(0), nullptr);
    EXPECT_TRUE(near(slot(0), fOffered, 0.0));

    // Cancel changes nothing.
    const std::vector<float> before = snapshot(slot(0));
    press(mw->pconButton);
    EXPECT_EQ(snapshot(slot(0)), before);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(CommandTest, RestorationRefusesColour) {
    put(0, makeFloat({3, 8, 8, 3}, first));
    put(1, makeFloat({2, 8, 8}, second));
    const std::vector<float> before = snapshot(slot(0));
    select(0, 1, 0);
    press(mw->pconButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "This function cannot run on color images.");
    EXPECT_TRUE(user.forms.empty());
    EXPECT_EQ(snapshot(slot(0)), before);
}

TEST_F(CommandTest, TwoImageCommandsTellAnEmptyInput) {
    put(0, makeFloat({2, 4, 4}, first));
    put(1, makeFloat({2, 4, 4}, second));
    select(0, 1, 2);
    // Input 2 goes away without the enabling rule noticing.
    put(1, nullptr);
    press(mw->addButton);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0], "Input2 empty");
    EXPECT_EQ(slot(2), nullptr);
    EXPECT_FALSE(mw->addButton->isEnabled());
    EXPECT_TRUE(mw->dxButton->isEnabled());
}
