// The one-image command slots driven through the control panel's buttons
// and actions: the command behind each button in both modes, the hand-over
// of results, refusals, Cancel, the mode-1 commands done in the window
// (gradient histograms, crop, resize) and results that cannot be made.
#include <QMetaObject>
#include <cmath>

#include "ZvekOp.h"
#include "gui_fixture.h"
#include "imageops.h"

namespace {
float ramp(int i) { return float((i * 37) % 23) - 5.0f; }
const char *const kNoResult = "Cannot make the result image.";
}  // namespace

TEST_F(GuiTest, EachButtonRunsItsOperationInBothModes) {
    put(0, makeFloat({2, 48, 40}, [](int i) { return 60.0f + 40.0f * std::sin(0.37f * i) + float(i % 11); }));
    put(1, makeFloat({3, 48, 40, 3}, [](int i) { return float((i * 37) % 256); }));
    // Mode, button, Input 1 and the dispatcher's code that gives the same
    // questions and result; the Output slot is apart.
    struct Row { int mode; QPushButton *button; int in, code; };
    const Row rows[] = {{0, mw->dxButton, 0, 1},     {0, mw->dyButton, 0, 3},    {0, mw->dxxButton, 0, 2},
                        {0, mw->dyyButton, 0, 4},    {0, mw->dxyButton, 0, 5},   {0, mw->blurButton, 0, 19},
                        {0, mw->curvButton, 0, 6},   {0, mw->expButton, 0, 8},   {0, mw->lapButton, 0, 11},
                        {0, mw->invButton, 0, 10},   {0, mw->lnButton, 0, 17},   {0, mw->histeqButton, 0, 15},
                        {0, mw->cmapButton, 1, 18},  {1, mw->dxxButton, 0, 23},  {1, mw->dyyButton, 0, 24},
                        {1, mw->curvButton, 0, 7},   {1, mw->lapButton, 0, 12},  {1, mw->cclButton, 0, 14},
                        {1, mw->histeqButton, 0, 16}, {1, mw->dxyButton, 1, 20}, {0, mw->cclButton, 0, 13}};
    ZVekOp op(mw);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.button->text().toStdString());
        if (mw->getCommandMode() != row.mode) mw->modeAct->trigger();
        select(row.in, 0, 3);
        ui.asks.clear();
        ui.answers = {QStringList{"2"}, QStringList{"1"}};
        press(row.button);
        EXPECT_EQ(controller->scratchImage, nullptr);
        EXPECT_TRUE(mw->dxButton->isEnabled() && mw->addButton->isEnabled() && mw->viewAct->isEnabled());
        // The same through the dispatcher, into a buffer of the result's kind.
        const std::vector<FakeUi::Ask> asked = ui.asks;
        ZVEKHDR *ref = keep(Zvekcreate(slot(3)->vekdt, std::vector<int32_t>{slot(3)->vekndim, 48, 40, 3}.data(), 11, 0));
        ui.asks.clear();
        ui.answers = {QStringList{"2"}, QStringList{"1"}};
        ASSERT_TRUE(op.unary(row.code, controller->images[row.in], ref));
        EXPECT_EQ(bytes(slot(3)), bytes(ref));
        ASSERT_EQ(ui.asks.size(), asked.size());
        for (size_t i = 0; i < asked.size(); ++i) EXPECT_EQ(asked[i].line, ui.asks[i].line);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GuiTest, ResultsReplaceTheirInputOnlyWhenTheOperationRan) {
    put(0, makeFloat({2, 5, 4}, [](int i) { return i * 0.5f - 3.0f; }));
    select(0, 0, 1);
    press(mw->invButton);  // max - v, the maximum being 6.5
    select(1, 1, 1);       // into its own slot: 9.5 - (6.5 - v) = v + 3
    ZVEKHDR *before = slot(1);
    mw->inverseAct->trigger();
    EXPECT_NE(slot(1), before);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(pixels(slot(1))[i], i * 0.5f) << i;
    // While a dialog is open every group is off, except the binary group for
    // DY, and a file-open event waits; the Laplacian moves its result into
    // the slot, DX and DY hand over a copy.
    put(0, makeFloat({2, 32, 32}, ramp));
    put(2, makeFloat({2, 32, 32}, ramp));
    select(0, 2, 0);
    const QString file = home.path() + "/waiting.zvek";
    ASSERT_EQ(Zvekpot(keep(makeFloat({2, 4, 4}, ramp)), file.toLocal8Bit().constData()), -1);
    std::string seen;
    ZVEKHDR *scratch = nullptr;
    ui.duringDialog = [&]() {
        for (bool on : {mw->dxButton->isEnabled(), mw->viewAct->isEnabled(), mw->addAct->isEnabled()}) seen += on ? "1" : "0";
        scratch = controller->scratchImage;
        controller->handleFileByPath(file, 5);
        seen += slot(5) ? "L " : "- ";
    };
    for (QPushButton *b : {mw->dxButton, mw->dyButton, mw->lapButton}) {
        ui.answers = {QStringList{"1"}};
        press(b);
        EXPECT_EQ(slot(0) == scratch, b == mw->lapButton) << b->text().toStdString();
        EXPECT_EQ(controller->scratchImage, nullptr);
    }
    EXPECT_EQ(seen, "000- 001- 000- ");
    pumpEvents(50);
    EXPECT_EQ(shape(slot(5)), "32flt 2:4x4");
    // Cancel, or an operation that refuses (the filter refuses the sigma 0
    // that the Dxx dialog allows), keeps an input that is also the Output;
    // another Output slot gets the zero image of Input 1's size.
    ui.duringDialog = nullptr;
    const auto kept = state();
    ui.answers = {std::nullopt, QStringList{"0"}};
    press(mw->dxButton);
    EXPECT_TRUE(mw->dxButton->isEnabled()) << "the enabling rule runs after a Cancel";
    printed([&] { press(mw->dxxButton); });
    EXPECT_TRUE(state() == kept);
    select(0, 0, 1);
    press(mw->curvButton);
    EXPECT_EQ(shape(slot(1)) + std::to_string(bytes(slot(1)).count('\0')), "32flt 2:32x324096");
    // An input that went away without the rule noticing is told.
    select(4, 4, 4);
    mw->dxButton->setEnabled(true);
    press(mw->dxButton);
    EXPECT_EQ(ui.messages, std::vector<QString>{"Input empty"});
    EXPECT_FALSE(mw->dxButton->isEnabled() || mw->viewAct->isEnabled());
}

TEST_F(GuiTest, ModeOneButtonsWithoutACommandAndAboutAndMessages) {
    for (int i : {0, 1, 2}) put(i, makeFloat({2, 6, 6}, ramp));
    select(0, 1, 2);
    toMode1();
    const auto before = state();
    for (QPushButton *b : {mw->lnButton, mw->blurButton, mw->cmapButton, mw->addButton, mw->subButton, mw->mulButton,
                           mw->divButton, mw->pconButton, mw->correlateButton, mw->gdirButton})
        press(b);  // N/A (gdir) does nothing at all
    for (QAction *a : {mw->addAct, mw->subAct, mw->mulAct, mw->divAct, mw->pconAct}) a->trigger();
    EXPECT_EQ(ui.messages, std::vector<QString>(14, "No function has been defined for that button yet."));
    EXPECT_TRUE(ui.interactions() == 14u && state() == before && mw->dxButton->isEnabled());
    ui.messages.clear();
    mw->aboutAct->trigger();
    EXPECT_EQ(ui.asks.at(0).line,
              "About Application|ZVektool 2.1 is an Vekstore tool which gives wide range of operations on images\nBuilt under Yosemite");
    EXPECT_EQ(ui.asks[0].parent, mw);
    for (int code : {1, 2, 3, 0, 7}) QMetaObject::invokeMethod(mw, "badMsg", Qt::DirectConnection, Q_ARG(int, code));
    EXPECT_EQ(ui.messages, std::vector<QString>({"No function has been defined for that button yet.",
                                                 "The crop funtion has  been implemented.", "Function return error code.",
                                                 "No function has been defined for that button yet.",
                                                 "No function has been defined for that button yet."}));
}

TEST_F(GuiTest, ComplexCommandsRefuseRealImagesAndRoundTrip) {
    put(0, makeFloat({2, 8, 8}, ramp));
    put(1, makeFloat({2, 3, 3}));
    select(0, 0, 1);
    mw->c2magAct->trigger();
    EXPECT_EQ(ui.said(), "Input Image is not complex");
    EXPECT_TRUE(shape(slot(1)) == "32flt 2:8x8" && zero(slot(1)));
    EXPECT_FALSE(mw->dxButton->isEnabled() || mw->viewAct->isEnabled()) << "groups stay off until the next click";
    select(0, 0, 0);
    const auto before = state();
    for (QAction *a : {mw->c2phaseAct, mw->c2realAct, mw->c2imagAct, mw->ifftAct}) {
        mw->updateAccessability();
        a->trigger();
        EXPECT_TRUE(ui.messages.back() == "Image is not complex" && state() == before);
    }
    // In both modes: FFT (its zero-frequency term the sum), the parts of the
    // spectrum as the dispatcher gives them, and the inverse in its own slot.
    ZVekOp op(mw);
    for (int mode = 0; mode < 2; ++mode) {
        if (mode) toMode1();
        put(2, makeFloat({2, 8, 8}, ramp));
        select(2, 2, 2);
        mw->fftAct->trigger();
        EXPECT_EQ(shape(slot(2)), "32cmp 2:8x8");
        EXPECT_NEAR(pixels(slot(2))[0], 373.0, 1e-3);
        int code = 29;
        for (QAction *a : {mw->c2magAct, mw->c2phaseAct, mw->c2realAct, mw->c2imagAct}) {
            select(2, 2, 3);
            a->trigger();
            ZVEKHDR *ref = blank("float", {2, 8, 8});
            ASSERT_TRUE(op.unary(code++, controller->images[2], ref));
            EXPECT_EQ(shape(slot(3)) + bytes(slot(3)).toHex().toStdString(), "32flt 2:8x8" + bytes(ref).toHex().toStdString());
        }
        select(2, 2, 2);
        mw->ifftAct->trigger();
        for (int i = 0; i < 64; ++i) EXPECT_NEAR(pixels(slot(2))[2 * i], ramp(i), 1e-4) << i;
    }
    EXPECT_EQ(ui.messages.size(), 5u);
}

TEST_F(GuiTest, GradientHistogramsAndTheirPicture) {
    put(0, makeFloat({2, 7, 20}, ramp));
    put(1, makeFloat({1, 40}, ramp));
    put(2, makeFloat({2, 8, 9}, [](int) { return 5.0f; }));
    put(3, makeFloat({2, 64, 48}, [](int i) { return float((i % 64) * (i / 64 % 7)); }));
    put(6, Zvekcreate("struct", std::vector<int32_t>{2, 16, 16}.data(), 11, 4));
    toMode1();
    const char *small = "To compute a HoG, input must have at least 8 rows and 8 columns";
    struct Row { int in, out; QPushButton *button; const char *printed, *message, *shape; };
    const Row rows[] = {
        {0, 4, mw->dxButton, "", small, "none"},  // seven columns: no cell
        {1, 1, mw->dxButton, "", small, "32flt 1:40"},
        {5, 4, mw->dxButton, "", "Input empty", "none"},
        {5, 4, mw->dyButton, "", "Input empty", "none"},
        {3, 4, mw->dyButton, "", "To view a HoG, input must have 9 frames", "none"},
        {6, 6, mw->dxButton, "HoG returned -1\n", "", "struct 2:16x16"},  // refused by the operation: the input stays
        // A constant 8 x 9 image is one cell of zero gradients: its 64 pixels in sector 0.
        {2, 4, mw->dxButton, "HoG returned 0\n", "", "32flt 3:1x1x9"},
        {3, 5, mw->dxButton, "HoG returned 0\n", "", "32flt 3:8x6x9"},
        {5, 5, mw->dyButton, "", "", "32flt 2:72x54"}};  // the picture into its own slot
    ZVEKHDR *hog = blank("float", {3, 8, 6, 9}), *picture = blank("float", {2, 72, 54});
    ASSERT_TRUE(HoGdescriptor(slot(3), hog) == 0 && ShowHoG(hog, picture) == 0);
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "from slot " << row.in << " by " << row.button->text().toStdString());
        select(row.in, 0, row.out);
        ui.messages.clear();
        mw->dxButton->setEnabled(true);
        mw->dyButton->setEnabled(true);
        const std::string out = printed([&] { press(row.button); });
        EXPECT_EQ(out.substr(std::min(out.size(), out.find("HoG returned"))), row.printed);
        EXPECT_EQ(ui.said(), row.message);
        EXPECT_EQ(shape(slot(row.out)), row.shape);
        if (row.button == mw->dyButton) { EXPECT_EQ(mw->dxButton->isEnabled(), slot(row.in) != nullptr) << "rule"; }
    }
    EXPECT_EQ(std::vector<float>(pixels(slot(4)), pixels(slot(4)) + 9), std::vector<float>({64, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(bytes(slot(5)), bytes(picture));
}

TEST_F(GuiTest, CropTakesTheRectangleBetweenTheLastTwoClicks) {
    auto value = [](int i) { return float(i % 1000) + 0.25f; };
    put(0, makeFloat({3, 40, 50, 3}, value));
    put(1, makeFloat({3, 6, 5, 9}, [](int i) { return float(i); }));
    put(2, makeFloat({2, 40, 50}, value));
    put(3, Zvekcreate("u8bit", std::vector<int32_t>{2, 10, 4}.data(), 11, 0));
    for (int i = 0; i < 40; ++i) static_cast<unsigned char *>(slot(3)->vekptr)[i] = uchar(200 + i);
    toMode1();
    // Input 1, Output, the previous and last click (column, row); the crop,
    // its value at (frame, row, column), or the refusal.
    struct Row { int in, out, clicks[4]; const char *shape; std::function<float(int, int, int)> value; const char *message; };
    const Row rows[] = {
        {0, 5, {10, 40, 30, 20}, "32flt 3:20x20x3", [&](int f, int r, int c) { return value((f * 50 + r + 20) * 40 + c + 10); }, ""},
        {2, 2, {10, 40, 30, 20}, "32flt 2:20x20", [&](int, int r, int c) { return value((r + 20) * 40 + c + 10); }, ""},
        {1, 4, {4, 1, 1, 3}, "32flt 3:3x2x3", [](int f, int r, int c) { return float((f * 5 + r + 1) * 6 + c + 1); }, ""},
        {3, 3, {4, 1, 1, 3}, "32flt 2:3x2", [](int, int r, int c) { return float(200 + (r + 1) * 10 + c + 1); }, ""},
        // Clicked in a larger image, or no area: refused.
        {2, 5, {10, 40, 100, 20}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {2, 5, {10, 40, 10, 20}, nullptr, nullptr, "The crop rectangle is empty: click two of its corners in a view window."},
        {6, 5, {10, 40, 30, 20}, nullptr, nullptr, "Input empty"}};
    for (const Row &row : rows) {
        select(row.in, 0, row.out);
        ui.messages.clear();
        controller->prevClickCol = row.clicks[0];
        controller->prevClickRow = row.clicks[1];
        controller->lastClickCol = row.clicks[2];
        controller->lastClickRow = row.clicks[3];
        const auto before = state();
        mw->exponentAct->setEnabled(true);
        mw->exponentAct->trigger();
        EXPECT_EQ(ui.said(), row.message);
        if (!row.shape) {
            EXPECT_TRUE(state() == before) << row.message;
            continue;
        }
        ASSERT_EQ(shape(slot(row.out)), row.shape);
        const int w = Zvekdimen(slot(row.out), 0), h = Zvekdimen(slot(row.out), 1);
        for (int i = 0; i < Zvekdimen(slot(row.out), ZVEK_NPIXELS); ++i)
            ASSERT_EQ(pixels(slot(row.out))[i], row.value(i / (w * h), i / w % h, i % w)) << row.in << " at " << i;
        EXPECT_EQ(controller->scratchImage, nullptr);
    }
}

TEST_F(GuiTest, ResizeAsksForTheTargetAndKeepsTheType) {
    ZVEKHDR *bytes8 = Zvekcreate("u8bit", std::vector<int32_t>{2, 50, 25}.data(), 11, 0);
    for (int i = 0; i < 50 * 25; ++i) static_cast<unsigned char *>(bytes8->vekptr)[i] = uchar(i * 7);
    put(0, bytes8);
    put(1, makeFloat({2, 3, 3}));
    put(2, makeFloat({3, 3, 2, 3}, [](int i) { return float(i * 10); }));
    put(3, makeFloat({1, 12}, ramp));
    toMode1();
    select(0, 0, 1);
    const auto before = state();
    // Refusals: a mode outside 0 .. 2, no rows, Cancel, a target too large.
    ui.answers = {QStringList{"100", "200", "3"}, QStringList{"", "20"}, std::nullopt, QStringList{"100000", "100000", "1"}};
    for (int i = 0; i < 4; ++i) press(mw->invButton);
    EXPECT_EQ(ui.messages, std::vector<QString>({"Interpolation mode must be 0, 1, or 2",
                                                 "Rows and columns of the target image must be at least 1.",
                                                 "Cannot make an image of 100000 rows and 100000 columns."}));
    EXPECT_EQ(ui.asks.at(0).line, "rows and cols of target imge.|rows ,columns ,Intermp mode |,,");
    EXPECT_EQ(ui.asks[0].parent, mw);
    EXPECT_TRUE(state() == before && mw->invButton->isEnabled() && mw->viewAct->isEnabled());
    // Pixel replication to 100 rows and 200 columns, in the input's type;
    // an empty mode field is bilinear, here into its own slot, where a
    // target too large changes nothing either.
    ui.answers = {QStringList{"100", "200", "1"}, QStringList{"10", "20"}, QStringList{"70000", "70000"}};
    press(mw->invButton);
    ASSERT_EQ(shape(slot(1)), "u8bit 2:200x100");
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(static_cast<unsigned char *>(slot(1)->vekptr)[i], uchar((i / 200 / 4 * 50 + i % 200 / 4) * 7)) << i;
    select(1, 1, 1);
    press(mw->invButton);
    EXPECT_EQ(shape(slot(1)), "u8bit 2:20x10");
    const auto own = state();
    press(mw->invButton);
    EXPECT_TRUE(state() == own);
    // A 3-D zoom samples half a pixel further on: (f, trunc(r / 2 + 0.5),
    // trunc(c / 2 + 0.5)), kept inside the input. A line cannot be zoomed.
    select(2, 2, 4);
    ui.answers = {QStringList{"4", "6", "1"}, QStringList{"2", "6", "1"}};
    press(mw->invButton);
    ASSERT_EQ(shape(slot(4)), "32flt 3:6x4x3");
    for (int i = 0; i < 72; ++i)
        EXPECT_EQ(pixels(slot(4))[i], float(((i / 24 * 2 + std::min(1, (i / 6 % 4 + 1) / 2)) * 3 + std::min(2, (i % 6 + 1) / 2)) * 10)) << i;
    select(3, 3, 5);
    printed([&] { press(mw->invButton); });
    EXPECT_EQ(ui.messages.back(), "Function return error code.");
    EXPECT_EQ(ui.messages.size(), 5u);
}

TEST_F(GuiTest, ResultsThatCannotBeMadeAreToldAndChangeNothing) {
    for (int i : {0, 1, 2}) put(i, makeFloat({2, 16, 16}, ramp));
    put(3, makeFloat({1, 40}, ramp));
    select(0, 1, 2);
    controller->prevClickCol = controller->prevClickRow = 1;
    controller->lastClickCol = controller->lastClickRow = 5;
    const auto before = state();
    auto *saved = Zvek_alcptr;
    testing::internal::CaptureStderr();
    Zvek_alcptr = [](size_t, size_t) -> void * { return nullptr; };
    for (QPushButton *b : {mw->dxButton, mw->addButton, mw->correlateButton, mw->gdirButton, mw->pconButton}) press(b);
    toMode1();
    ui.answers = {QStringList{"8", "8"}};
    for (QPushButton *b : {mw->dxButton, mw->expButton, mw->invButton}) press(b);  // HoG, Crop, Resize
    Zvek_alcptr = saved;
    testing::internal::GetCapturedStderr();
    std::vector<QString> told(7, kNoResult);
    told.push_back("Cannot make an image of 8 rows and 8 columns.");
    EXPECT_EQ(ui.messages, told);
    EXPECT_EQ(ui.asks.size(), 1u) << "only the resize form is asked";
    EXPECT_TRUE(state() == before && mw->dxButton->isEnabled() && mw->addButton->isEnabled());
    // A line has no plane to colour.
    mw->modeAct->trigger();
    select(3, 3, 3);
    ui.messages.clear();
    press(mw->cmapButton);
    toMode1();
    press(mw->histeqButton);  // MarkMax
    EXPECT_EQ(ui.messages, std::vector<QString>(2, "Cannot make a three-frame image of Input 1's columns and rows."));
    EXPECT_TRUE(ui.asks.size() == 1u && state() == before && mw->cmapButton->isEnabled());
    // Nor a colour to make gray: its two-dimensional buffer is one row.
    select(3, 3, 4);
    press(mw->dxyButton);
    EXPECT_EQ(ui.messages.back(), "Input image must be color.");
    EXPECT_TRUE(shape(slot(4)) == "32flt 2:40x1" && zero(slot(4)));
}
