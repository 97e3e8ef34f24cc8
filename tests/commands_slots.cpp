// The command slots driven through the control panel's buttons and
// actions: the command behind each button in both modes, the hand-over of
// results, refusals, Cancel, gradient histograms, crop, resize, results
// that cannot be made, the two-image commands, restoration and scripts;
// and commands answered through the toolkit's own dialogs.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <cmath>

#include "ZvekOp.h"
#include "gui_fixture.h"
#include "imageops.h"

namespace {
float ramp(int i) { return float((i * 37) % 23) - 5.0f; }
}  // namespace

TEST_F(GuiTest, EachButtonRunsItsOperationInBothModes) {
    put(0, makeFloat({2, 48, 40}, [](int i) { return 60.0f + 40.0f * std::sin(0.37f * i) + float(i % 11); }));
    put(1, makeFloat({3, 48, 40, 3}, [](int i) { return float((i * 37) % 256); }));
    // Mode, button, Input 1 and the dispatcher's code that asks the same and
    // gives the same result; the Output slot is apart.
    struct Row { int mode; QPushButton *button; int in, code; };
    const Row rows[] = {{0, mw->dxButton, 0, 1},     {0, mw->dyButton, 0, 3},    {0, mw->dxxButton, 0, 2},
                        {0, mw->dyyButton, 0, 4},    {0, mw->dxyButton, 0, 5},   {0, mw->blurButton, 0, 19},
                        {0, mw->curvButton, 0, 6},   {0, mw->expButton, 0, 8},   {0, mw->lapButton, 0, 11},
                        {0, mw->invButton, 0, 10},   {0, mw->lnButton, 0, 17},   {0, mw->histeqButton, 0, 15},
                        {0, mw->cmapButton, 1, 18},  {0, mw->cclButton, 0, 13},  {1, mw->dxxButton, 0, 23},
                        {1, mw->dyyButton, 0, 24},   {1, mw->curvButton, 0, 7},  {1, mw->lapButton, 0, 12},
                        {1, mw->cclButton, 0, 14},   {1, mw->histeqButton, 0, 16}, {1, mw->dxyButton, 1, 20}};
    ZVekOp op(mw);
    for (const Row &row : rows) {
        if (mw->getCommandMode() != row.mode) mw->modeAct->trigger();
        select(row.in, 0, 3);
        ui.asks.clear();
        press(row.button, {QStringList{"2"}, QStringList{"1"}});
        EXPECT_TRUE(!controller->scratchImage && mw->dxButton->isEnabled() && mw->addButton->isEnabled() &&
                    mw->viewAct->isEnabled());
        const QString asked = ui.asked();
        std::vector<int32_t> dims = {slot(3)->vekndim, 48, 40, 3};
        ZVEKHDR *ref = keep(Zvekcreate(slot(3)->vekdt, dims.data(), 11, 0));
        ui.asks.clear();
        ui.answers = {QStringList{"2"}, QStringList{"1"}};
        ASSERT_TRUE(op.unary(row.code, controller->images[row.in], ref));
        EXPECT_TRUE(bytes(slot(3)) == bytes(ref) && asked == ui.asked()) << row.button->text().toStdString();
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
        for (bool on : {mw->dxButton->isEnabled(), mw->viewAct->isEnabled(), mw->addAct->isEnabled()})
            seen += on ? "1" : "0";
        scratch = controller->scratchImage;
        controller->handleFileByPath(file, 5);
        seen += slot(5) ? "L " : "- ";
    };
    for (QPushButton *b : {mw->dxButton, mw->dyButton, mw->lapButton}) {
        press(b, {QStringList{"1"}});
        EXPECT_TRUE((slot(0) == scratch) == (b == mw->lapButton) && !controller->scratchImage)
            << b->text().toStdString();
    }
    EXPECT_EQ(seen, "000- 001- 000- ");
    pumpEvents(50);
    EXPECT_EQ(shape(slot(5)), "32flt 2:4x4");
    // Cancel, or an operation that refuses (the filter refuses the sigma 0
    // that the Dxx dialog allows), keeps an input that is also the Output,
    // and another Output slot keeps its image.
    ui.duringDialog = nullptr;
    const auto kept = state();
    press(mw->dxButton, {std::nullopt, QStringList{"0"}});
    EXPECT_TRUE(mw->dxButton->isEnabled()) << "the enabling rule runs after a Cancel";
    printed([&] { press(mw->dxxButton); });
    EXPECT_TRUE(state() == kept);
    select(0, 0, 1);
    const auto other = state();
    press(mw->curvButton);
    EXPECT_TRUE(state() == other);
    // An input that went away without the rule noticing is told.
    select(4, 4, 4);
    mw->dxButton->setEnabled(true);
    press(mw->dxButton);
    EXPECT_EQ(ui.said(), "Input empty");
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
    EXPECT_EQ(ui.asked(), "About Application|ZVektool 2.1 is an Vekstore tool which gives wide range of operations on "
                          "images\nBuilt under Yosemite");
    EXPECT_EQ(ui.asks[0].parent, mw);
    for (int code : {1, 2, 3, 0, 7}) QMetaObject::invokeMethod(mw, "badMsg", Qt::DirectConnection, Q_ARG(int, code));
    EXPECT_EQ(ui.said(), "No function has been defined for that button yet.|The crop funtion has  been implemented.|"
                         "Function return error code.|No function has been defined for that button yet.|"
                         "No function has been defined for that button yet.");
}

TEST_F(GuiTest, ComplexCommandsRefuseRealImagesAndRoundTrip) {
    put(0, makeFloat({2, 8, 8}, ramp));
    put(1, makeFloat({2, 3, 3}));
    select(0, 0, 1);
    const auto refused = state();
    mw->c2magAct->trigger();
    EXPECT_EQ(ui.said(), "Input Image is not complex");
    EXPECT_TRUE(state() == refused) << "the Output slot keeps its image";
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
            EXPECT_TRUE(shape(slot(3)) == "32flt 2:8x8" && bytes(slot(3)) == bytes(ref)) << code;
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
    put(7, makeFloat({2, 9, 8}, [](int) { return 5.0f; }));
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
        {7, 4, mw->dxButton, "HoG returned 0\n", "", "32flt 3:1x1x9"},  // and of 9 x 8
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
    const std::vector<float> sectors(pixels(slot(4)), pixels(slot(4)) + 9);
    EXPECT_EQ(sectors, std::vector<float>({64, 0, 0, 0, 0, 0, 0, 0, 0}));
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
    // Slot 1 (6 x 5) from row r0 and column c0 at (frame, row, column).
    auto from1 = [](int r0, int c0) {
        return [=](int f, int r, int c) { return float((f * 5 + r + r0) * 6 + c + c0); };
    };
    // Input 1, Output, the previous and last click (column, row); the crop
    // and its value at (frame, row, column), or the refusal.
    struct Row {
        int in, out, clicks[4];
        const char *shape;
        std::function<float(int, int, int)> value;
        const char *message;
    };
    const Row rows[] = {
        {0, 5, {10, 40, 30, 20}, "32flt 3:20x20x3",
         [&](int f, int r, int c) { return value((f * 50 + r + 20) * 40 + c + 10); }, ""},
        {2, 2, {10, 40, 30, 20}, "32flt 2:20x20", [&](int, int r, int c) { return value((r + 20) * 40 + c + 10); }, ""},
        {1, 4, {4, 1, 1, 3}, "32flt 3:3x2x3", [](int f, int r, int c) { return float((f * 5 + r + 1) * 6 + c + 1); },
         ""},
        {3, 3, {4, 1, 1, 3}, "32flt 2:3x2", [](int, int r, int c) { return float(200 + (r + 1) * 10 + c + 1); }, ""},
        // On the edges: row 0, column 0, the last row and column (the larger corner one past them), all four.
        {1, 4, {5, 0, 3, 2}, "32flt 3:2x2x3", from1(0, 3), ""}, {1, 4, {0, 4, 2, 2}, "32flt 3:2x2x3", from1(2, 0), ""},
        {1, 4, {6, 5, 4, 3}, "32flt 3:2x2x3", from1(3, 4), ""}, {1, 4, {0, 0, 6, 5}, "32flt 3:6x5x3", from1(0, 0), ""},
        // Clicked in a larger image, or no area: refused.
        {2, 5, {10, 40, 100, 20}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {1, 5, {0, -1, 6, 5}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {1, 5, {-1, 0, 6, 5}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {1, 5, {0, 0, 6, 6}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {1, 5, {0, 0, 7, 5}, nullptr, nullptr, "The crop rectangle lies outside the input image."},
        {2, 5, {10, 40, 10, 20}, nullptr, nullptr,
         "The crop rectangle is empty: click two of its corners in a view window."},
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
        const long n = &row - rows;
        EXPECT_EQ(ui.said(), QString(row.message)) << "row " << n;
        EXPECT_TRUE(row.shape || state() == before) << "row " << n;
        if (!row.shape) continue;
        EXPECT_EQ(shape(slot(row.out)), row.shape) << "row " << n;
        if (shape(slot(row.out)) != row.shape) continue;
        const int w = Zvekdimen(slot(row.out), 0), h = Zvekdimen(slot(row.out), 1);
        for (int i = 0; i < Zvekdimen(slot(row.out), ZVEK_NPIXELS); ++i)
            ASSERT_EQ(pixels(slot(row.out))[i], row.value(i / (w * h), i / w % h, i % w)) << "row " << n << " at " << i;
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
    ui.answers = {QStringList{"100", "200", "3"}, QStringList{"", "20"}, std::nullopt,
                  QStringList{"100000", "100000", "1"}};
    for (int i = 0; i < 4; ++i) press(mw->invButton);
    EXPECT_EQ(ui.said(), "Interpolation mode must be 0, 1, or 2|"
                         "Rows and columns of the target image must be at least 1.|"
                         "Cannot make an image of 100000 rows and 100000 columns.");
    EXPECT_EQ(ui.asks.at(0).line, "rows and cols of target imge.|rows ,columns ,Intermp mode |,,");
    EXPECT_EQ(ui.asks[0].parent, mw);
    EXPECT_TRUE(state() == before && mw->invButton->isEnabled() && mw->viewAct->isEnabled());
    // Pixel replication to 100 rows and 200 columns, in the input's type; an
    // empty mode field is bilinear, here into its own slot, where a target
    // too large changes nothing either.
    press(mw->invButton, {QStringList{"100", "200", "1"}, QStringList{"10", "20"}, QStringList{"70000", "70000"}});
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
    press(mw->invButton, {QStringList{"4", "6", "1"}, QStringList{"2", "6", "1"}});
    ASSERT_EQ(shape(slot(4)), "32flt 3:6x4x3");
    for (int i = 0; i < 72; ++i)
        EXPECT_EQ(pixels(slot(4))[i],
                  float(((i / 24 * 2 + std::min(1, (i / 6 % 4 + 1) / 2)) * 3 + std::min(2, (i % 6 + 1) / 2)) * 10))
            << i;
    select(3, 3, 5);
    printed([&] { press(mw->invButton); });
    EXPECT_EQ(ui.messages.size(), 5u);
    EXPECT_EQ(ui.messages.back(), "Function return error code.");
}

TEST_F(GuiTest, ResultsThatCannotBeMadeAreToldAndChangeNothing) {
    for (int i : {0, 1, 2}) put(i, makeFloat({2, 16, 16}, ramp));
    put(3, makeFloat({1, 40}, ramp));
    select(0, 1, 2);
    controller->prevClickCol = controller->prevClickRow = 1;
    controller->lastClickCol = controller->lastClickRow = 5;
    const auto before = state();
    auto *saved = Zvek_alcptr;
    Zvek_alcptr = [](size_t, size_t) -> void * { return nullptr; };
    printed([&] {
        for (QPushButton *b : {mw->dxButton, mw->addButton, mw->correlateButton, mw->gdirButton, mw->pconButton})
            press(b);
        toMode1();
        ui.answers = {QStringList{"8", "8"}};
        for (QPushButton *b : {mw->dxButton, mw->expButton, mw->invButton}) press(b);  // HoG, Crop, Resize
    });
    Zvek_alcptr = saved;
    const QString none = "Cannot make the result image.|";
    EXPECT_EQ(ui.said(), none.repeated(7) + "Cannot make an image of 8 rows and 8 columns.");
    EXPECT_EQ(ui.asks.size(), 1u) << "only the resize form is asked";
    EXPECT_TRUE(state() == before && mw->dxButton->isEnabled() && mw->addButton->isEnabled());
    // The crop made but not the Output's buffer of Input 1's size: told, nothing changes.
    static void *(*real)(size_t, size_t);
    real = saved;
    Zvek_alcptr = [](size_t n, size_t size) { return n * size == 16 * 16 * 4 ? nullptr : real(n, size); };
    ui.messages.clear();
    printed([&] { press(mw->expButton); });
    Zvek_alcptr = saved;
    EXPECT_TRUE(ui.said() == "Cannot make the result image." && state() == before) << ui.said().toStdString();
    // A line has no plane to colour, nor a colour to make gray (its 2-D buffer is one row).
    mw->modeAct->trigger();
    select(3, 3, 3);
    ui.messages.clear();
    press(mw->cmapButton);
    toMode1();
    press(mw->histeqButton);  // MarkMax
    EXPECT_TRUE(ui.asks.size() == 1u && state() == before && mw->cmapButton->isEnabled());
    select(3, 3, 4);
    press(mw->dxyButton);
    EXPECT_EQ(ui.said(), "Cannot make a three-frame image of Input 1's columns and rows.|"
                         "Cannot make a three-frame image of Input 1's columns and rows.|Input image must be color.");
    EXPECT_TRUE(state() == before);
}

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
    struct Row {
        QObject *command;
        int in1, in2, out;
        std::optional<QStringList> typed;
        const char *shape;
        QByteArray data;
        const char *message;
    };
    const std::optional<QStringList> cancel;
    const Row rows[] = {
        // A shifted result grows: into a slot apart, or in place of Input 1.
        {mw->addButton, 0, 1, 2, QStringList{"1", "0"}, "32flt 2:5x5",
         floats(25, [](int i) { return (i < 20 ? first(i) : 0.0f) + (i >= 5 ? second(i - 5) : 0.0f); }), ""},
        {mw->subAct, 0, 1, 1, QStringList{}, "32flt 2:5x4", floats(20, [](int i) { return first(i) - second(i); }), ""},
        {mw->mulButton, 0, 0, 0, QStringList{}, "32flt 2:5x4", floats(20, [](int i) { return first(i) * first(i); }),
         ""},
        {mw->divButton, 0, 1, 0, cancel, nullptr, {}, ""},
        {mw->addButton, 0, 1, 1, cancel, nullptr, {}, ""},
        {mw->subButton, 0, 1, 0, QStringList{"0", "2"}, "32flt 2:7x4", floats(28, [](int i) {
             const int j = i / 7 * 5 + i % 7;
             return (i % 7 < 5 ? first(j) * first(j) : 0.0f) - (i % 7 >= 2 ? first(j - 2) - second(j - 2) : 0.0f);
         }), ""},
        {mw->gdirButton, 5, 4, 6, cancel, "32flt 2:20x16", QByteArray(1280, 0), ""},
        // Refused: an Output slot apart from the inputs keeps its image and its window.
        {mw->correlateButton, 5, 3, 6, cancel, nullptr, {},
         "I can't correlate a gray scale image with a color image. Sorry."},
        {mw->correlateButton, 5, 4, 7, cancel, "32flt 2:20x16", bytes(correlation), ""},
        {mw->correlateButton, 5, 4, 4, cancel, "32flt 2:20x16", bytes(correlation), ""}};  // into the template's slot
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command->objectName().toStdString() + " " + std::to_string(row.out));
        select(row.in1, row.in2, row.out);
        mw->viewAct->trigger();
        QPointer<QWidget> window = mw->childWindow(row.out);
        const auto before = state();
        ui.clear();
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
        EXPECT_EQ(shape(slot(row.out)), row.shape);
        EXPECT_EQ(bytes(slot(row.out)).toHex(), row.data.toHex());
        if (row.out != row.in1) { EXPECT_EQ(slot(row.in1), before[row.in1].first); }
    }
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
    press(mw->pconButton, {QStringList{"", "", "", "", "", ""}});
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
        {0, 1, {"2", ".03", "4", "1", ".005", ".9999999"},
         "The annealing schedule takes 44445505 rounds, more than the 100000 allowed.",
         "Pcon: the annealing schedule takes 44445505 rounds, more than the 100000 allowed\n"},
        {6, 6, {}, "Restoration needs images of at least 3 rows and 3 columns.",
         "Pcon: image must have at least 3 rows and 3 columns\n"}};
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
    EXPECT_EQ(ui.said(), "You must run a script before you can rerun it.|ScriptName is empty");
    EXPECT_EQ(consoleText(), ">> Console");
    ui.messages.clear();
    ui.openAnswers = {dir + "/copy it.sh"};
    mw->runScriptAct->trigger();
    EXPECT_EQ(ui.openCaptions.back() + "|" + ui.openDirs.back(), "Select Script|" + QDir::homePath());
    EXPECT_TRUE(slot(3) != slot(0) && shape(slot(3)) == shape(slot(0)) && bytes(slot(3)) == bytes(slot(0)));
    EXPECT_EQ(controller->imageNames[3], "ReturnedFromScript");
    EXPECT_EQ(consoleText(), ">> Console\nScript started...Script completed\n");
    EXPECT_TRUE(!QFile::exists(dir + "/ImgViewTempOutput.Zvek") && QFile::exists(dir + "/ImgViewTempInput.Zvek"));
    EXPECT_TRUE(mw->rerunAct->isEnabled());
    // ReRun asks nothing and hands the changed Output image over again.
    pixels(slot(0))[5] = 1234.5f;
    mw->rerunAct->trigger();
    EXPECT_TRUE(ui.openCaptions.size() == 2u && pixels(slot(3))[5] == 1234.5f);
    // Missing or unreadable results keep Input 2; an 8-bit result stays
    // 8-bit; the enabling rule is not run.
    ZVEKHDR *bytes8 = blank("u8bit", {2, 16, 2});
    for (int i = 0; i < 32; ++i) static_cast<unsigned char *>(bytes8->vekptr)[i] = uchar(i * 8);
    ASSERT_EQ(Zvekpot(bytes8, (dir + "/bytes.zvek").toLocal8Bit().constData()), -1);
    const QString unknown = "Your script did not produce an output file that I know how to process";
    const std::pair<QByteArray, QString> scripts[] = {
        {"exit 3\n", unknown}, {"echo not an image > ImgViewTempOutput.Zvek\n", unknown},
        {"head -c 100 ImgViewTempInput.Zvek > ImgViewTempOutput.Zvek\n", unknown},
        {"cp bytes.zvek ImgViewTempOutput.Zvek\n", ""}};
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
    EXPECT_TRUE(shape(slot(3)) == "u8bit 2:16x2" && bytes(slot(3)) == bytes(bytes8) && !mw->addButton->isEnabled());
    // An empty Output slot: the script runs all the same, without an input file.
    QFile::remove(dir + "/ImgViewTempInput.Zvek");
    writeScript(dir + "/s.sh", "touch ran.txt\n");
    select(5, 3, 5);
    ui.openAnswers = {dir + "/s.sh"};
    printed([&] { mw->runScriptAct->trigger(); });
    EXPECT_TRUE(QFile::exists(dir + "/ran.txt") && !QFile::exists(dir + "/ImgViewTempInput.Zvek"));
}

// Each real dialog's own Cancel button closes it at the click, and the dialog answers Cancel, leaving the values.
TEST_F(GuiTest, RealDialogsCancelAtTheirOwnButton) {
    ZVekUi real;
    DialogWatchdog watchdog;
    QStringList values{"7"};
    double d = 5;
    int n = 5;
    QString s = "kept";
    const std::pair<const char *, std::function<bool()>> rows[] = {
        {"form", [&] { return real.form(mw, "Heading", {"a ="}, values); }},
        {"number", [&] { return real.getDouble(mw, "T", "L", 1, 0, 9, 1, &d); }},
        {"whole number", [&] { return real.getInt(mw, "T", "L", 1, 0, 9, 1, &n); }},
        {"text", [&] { return real.getText(mw, "T", "L", "x", &s); }},
        {"open file", [&] { return !real.openFile(mw, "C", home.path(), "").isEmpty(); }},
        {"save file", [&] { return !real.saveFile(mw, "C", home.path(), "").isEmpty(); }}};
    for (const auto &[name, ask] : rows) {
        int clicks = 0;
        bool closedAtClick = false;
        whenModal([&](QWidget *w) {
            for (QPushButton *b : w->findChildren<QPushButton *>())
                if (b->isVisible() && b->text().remove('&') == "Cancel") b->click(), ++clicks;
            closedAtClick = !w->isVisible();
        });
        EXPECT_FALSE(ask()) << name;
        EXPECT_TRUE(clicks == 1 && closedAtClick) << name << ": " << clicks << " Cancel buttons clicked";
    }
    EXPECT_TRUE(values == QStringList{"7"} && d == 5 && n == 5 && s == "kept");
}

TEST_F(GuiTest, CommandsThroughTheRealDialogs) {
    ZVekUi::install(nullptr);
    DialogWatchdog watchdog;
    put(0, makeFloat({2, 48, 40}, first));
    put(1, makeFloat({2, 48, 40}, second));
    select(0, 1, 2);
    QStringList seen;
    whenModal([&](QWidget *w) {  // the number dialog holds its minimum; one decimal
        auto *d = qobject_cast<QInputDialog *>(w);
        ASSERT_TRUE(d && d->parentWidget() == mw);
        seen << d->windowTitle() + "|" + d->labelText() + QString("|%1|%2..%3|%4").arg(d->doubleValue())
                    .arg(d->doubleMinimum()).arg(d->doubleMaximum()).arg(d->doubleDecimals());
        d->setDoubleValue(0.4);
        seen << QString::number(d->doubleValue());
        d->setDoubleValue(2.46);
        d->accept();
    });
    press(mw->dxButton);
    ZVEKHDR *ref = blank("float", {2, 48, 40});
    ASSERT_EQ(flDoG(slot(0), ref, 1, 0, 2.5f), 0);
    EXPECT_EQ(bytes(slot(2)), bytes(ref));
    whenModal([&](QWidget *w) {  // the form: a heading row, a row per field, Ok and Cancel
        auto *form = qobject_cast<QFormLayout *>(w->layout());
        ASSERT_TRUE(form && form->rowCount() == 4 && w->parentWidget() == mw);
        seen << qobject_cast<QLabel *>(form->itemAt(0, QFormLayout::SpanningRole)->widget())->text();
        for (int row = 1; row <= 2; ++row) {
            auto *edit = qobject_cast<QLineEdit *>(form->itemAt(row, QFormLayout::FieldRole)->widget());
            auto *label = qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            seen << label->text() + "=" + edit->text();
            edit->setText(row == 1 ? "3.7" : "-2");
        }
        w->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    select(0, 1, 3);
    press(mw->addButton);
    EXPECT_EQ(shape(slot(3)), "32flt 2:50x43");
    whenModal([&](QWidget *w) {
        if (auto *box = qobject_cast<QMessageBox *>(w)) seen << box->windowTitle() + "|" + box->text();
        static_cast<QDialog *>(w)->accept();
    });
    mw->aboutAct->trigger();
    EXPECT_EQ(seen, QStringList({"Dx|Sigma of blur|1|1..255|1", "1", "Translation of second image:", "rows =0",
                                 "cols =0", "About Application|ZVektool 2.1 is an Vekstore tool which gives wide range "
                                            "of operations on images\nBuilt under Yosemite"}));
}
