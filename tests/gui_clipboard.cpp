// Tests of Copy, Paste and Delete on the Output slot and the private
// clipboard image.
#include <QPointer>
#include <cstring>

#include "gui_fixture.h"

namespace {

bool sameImage(const ZVEKHDR *a, const ZVEKHDR *b) {
    if (!a || !b || a == b) return false;
    if (a->dtype != b->dtype || a->vekndim != b->vekndim || a->vekbpd != b->vekbpd) return false;
    if (std::strcmp(a->vekdt, b->vekdt) != 0) return false;
    for (int d = 0; d < a->vekndim; ++d)
        if (Zvekdimen(a, d) != Zvekdimen(b, d)) return false;
    int bytes = Zvekdimen(a, ZVEK_NBYTES);
    return bytes == Zvekdimen(b, ZVEK_NBYTES) && std::memcmp(a->vekptr, b->vekptr, bytes) == 0;
}

}  // namespace

TEST_F(GuiTest, CopyAndPasteNeedSomething) {
    controller->images[0] = makeFloat({2, 2, 2});
    mw->updateAccessability();
    mw->outputRadios[1]->click();
    mw->copyAct->trigger();  // empty Output slot
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Image Empty");
    EXPECT_FALSE(mw->pasteAct->isEnabled());

    mw->pasteAct->setEnabled(true);  // reachable only through the action itself
    mw->pasteAct->trigger();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], "Nothing to paste");
    EXPECT_EQ(controller->images[1], nullptr);
}

TEST_F(GuiTest, CopyDeletePasteRestoresTheImage) {
    ZVEKHDR *original = makeFloat({3, 3, 2, 3}, [](int i) { return 0.25f * i - 1.0f; });
    controller->images[2] = original;
    controller->imageNames[2] = "original.png";
    select(2, 2, 2);
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    ZVEKHDR *reference = makeFloat({3, 3, 2, 3}, [](int i) { return 0.25f * i - 1.0f; });

    mw->copyAct->trigger();
    EXPECT_TRUE(mw->pasteAct->isEnabled());
    EXPECT_EQ(controller->images[2], original);
    EXPECT_FALSE(window.isNull());

    // Delete empties the slot, closes its window and runs the rule.
    mw->deleteAct->trigger();
    EXPECT_EQ(controller->images[2], nullptr);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(mw->viewAct->isEnabled());
    EXPECT_FALSE(mw->dxButton->isEnabled());
    EXPECT_FALSE(mw->addButton->isEnabled());
    EXPECT_TRUE(mw->pasteAct->isEnabled());

    mw->pasteAct->trigger();
    ASSERT_NE(controller->images[2], nullptr);
    EXPECT_TRUE(sameImage(controller->images[2], reference));
    EXPECT_EQ(controller->imageNames[2], "original.png");
    EXPECT_EQ(mw->childWindow(2), nullptr);
    EXPECT_TRUE(mw->viewAct->isEnabled());
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->addButton->isEnabled());
    EXPECT_TRUE(ui.messages.empty());

    // Paste can be repeated into other slots; each gets its own copy.
    mw->outputRadios[5]->click();
    mw->pasteAct->trigger();
    EXPECT_TRUE(sameImage(controller->images[5], reference));
    EXPECT_NE(controller->images[5], controller->images[2]);
    EXPECT_TRUE(controller->imageNames[5].isEmpty());
    Zvekfree(reference, 7);
}

TEST_F(GuiTest, PasteReplacesTheOutputAndClosesItsWindow) {
    ZVEKHDR *source = makeFloat({2, 4, 4}, [](int i) { return float(i); });
    controller->images[2] = source;
    controller->images[5] = makeFloat({2, 1, 1});
    select(2, 2, 2);
    mw->copyAct->trigger();

    mw->outputRadios[5]->click();
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    mw->pasteAct->trigger();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(sameImage(controller->images[5], source));
    EXPECT_EQ(controller->images[2], source);

    // A second copy replaces the clipboard image.
    ZVEKHDR *other = makeFloat({2, 2, 3}, [](int i) { return -float(i); });
    controller->images[6] = other;
    mw->outputRadios[6]->click();
    mw->copyAct->trigger();
    mw->outputRadios[7]->click();
    mw->pasteAct->trigger();
    EXPECT_TRUE(sameImage(controller->images[7], other));
}

TEST_F(GuiTest, CopyKeepsEveryTypeExactly) {
    // Complex, 1-D, 8-bit and double images come back bit for bit.
    int32_t complexDims[3] = {2, 3, 2};
    ZVEKHDR *complexImage = Zvekcreate("32cmp", complexDims, 11, 0);
    float *c = static_cast<float *>(complexImage->vekptr);
    for (int i = 0; i < 12; ++i) c[i] = 1.5f * i - 4.0f;
    int32_t lineDims[2] = {1, 5};
    ZVEKHDR *line = Zvekcreate("64flt", lineDims, 11, 0);
    double *d = static_cast<double *>(line->vekptr);
    for (int i = 0; i < 5; ++i) d[i] = 1e300 / (i + 1);
    int32_t byteDims[4] = {3, 2, 2, 3};
    ZVEKHDR *bytes = Zvekcreate("u8bit", byteDims, 11, 0);
    for (int i = 0; i < 12; ++i) static_cast<unsigned char *>(bytes->vekptr)[i] = 20 * i + 7;

    int slot = 1;
    for (ZVEKHDR *image : {complexImage, line, bytes}) {
        controller->images[slot] = image;
        mw->outputRadios[slot]->click();
        mw->copyAct->trigger();
        mw->outputRadios[slot + 3]->click();
        mw->pasteAct->trigger();
        SCOPED_TRACE(image->vekdt);
        ASSERT_NE(controller->images[slot + 3], nullptr);
        EXPECT_TRUE(sameImage(controller->images[slot + 3], image));
        ++slot;
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(GuiTest, DeleteOnAnEmptySlotRunsTheRule) {
    controller->images[0] = makeFloat({2, 2, 2});
    select(0, 0, 4);
    mw->disableButtons();
    mw->deleteAct->setEnabled(true);
    mw->deleteAct->trigger();
    EXPECT_EQ(controller->images[4], nullptr);
    EXPECT_NE(controller->images[0], nullptr);
    EXPECT_FALSE(mw->deleteAct->isEnabled());  // Output slot empty: display off
    EXPECT_TRUE(mw->dxButton->isEnabled());
    EXPECT_TRUE(mw->correlateButton->isEnabled());
}
