// Cancel and refusals of the commands: every slot keeps its image, its name
// and its view window, whichever slots are selected.
#include <gtest/gtest.h>

#include <QPointer>
#include <string>

#include "gui_fixture.h"

namespace {

// A user who cancels every question.
struct CancellingUi : FakeUi {
    int asked = 0;
    bool getDouble(QWidget *, const QString &, const QString &, double, double, double, int, double *) override {
        return ++asked, false;
    }
    bool getInt(QWidget *, const QString &, const QString &, int, int, int, int, int *) override {
        return ++asked, false;
    }
    bool form(QWidget *, const QString &, const QStringList &, QStringList &) override { return ++asked, false; }
};

struct Slot {
    ZVEKHDR *image;
    QByteArray bytes;
    QString name;
    QPointer<QWidget> view;
};

}  // namespace

TEST_F(GuiTest, CancelOrRefusalKeepsEverySlot) {
    // Button or action, mode, and the refusal told (none: a question was cancelled).
    const struct {
        const char *widget;
        int mode;
        const char *told;
    } rows[] = {
        {"dxButton", 0, nullptr},  {"dyButton", 0, nullptr},   {"dxxButton", 0, nullptr},
        {"dyyButton", 0, nullptr}, {"dxyButton", 0, nullptr},  {"curvButton", 0, nullptr},
        {"expButton", 0, nullptr}, {"lapButton", 0, nullptr},  {"blurButton", 0, nullptr},
        {"cclButton", 0, nullptr}, {"cmapButton", 0, nullptr}, {"addButton", 0, nullptr},
        {"subButton", 0, nullptr}, {"mulButton", 0, nullptr},  {"divButton", 0, nullptr},
        {"pconButton", 0, nullptr},
        {"correlateButton", 0, "I can't correlate a gray scale image with a color image. Sorry."},
        {"fftAct", 0, "FFT:Image must be square"},       {"ifftAct", 0, "Image is not complex"},
        {"c2magAct", 0, "Input Image is not complex"},   {"c2phaseAct", 0, "Image is not complex"},
        {"c2realAct", 0, "Image is not complex"},        {"c2imagAct", 1, "Image is not complex"},
        {"dxxButton", 1, nullptr},  {"dyyButton", 1, nullptr}, {"curvButton", 1, nullptr},
        {"lapButton", 1, nullptr},  {"histeqButton", 1, nullptr}, {"invButton", 1, nullptr},
        {"dxyButton", 1, "Input image must be color."},
    };
    CancellingUi user;
    ZVekUi::install(&user);
    controller->images[0] = makeFloat({2, 8, 6}, [](int i) { return float(i + 1); });
    controller->images[1] = makeFloat({3, 8, 6, 3}, [](int i) { return float(2 * i); });
    controller->images[2] = makeFloat({2, 4, 4}, [](int i) { return float(100 + i); });
    for (int s = 0; s < 3; ++s) {
        controller->imageNames[s] = QString("slot%1.zvek").arg(s);
        select(0, 1, s);
        mw->viewAct->trigger();
    }
    auto snapshot = [&] {
        std::vector<Slot> taken;
        for (int s = 0; s < 3; ++s) {
            ZVEKHDR *h = controller->images[s];
            taken.push_back({h, h ? QByteArray(static_cast<char *>(h->vekptr), Zvekdimen(h, ZVEK_NBYTES)) : "",
                             controller->imageNames[s], mw->childWindow(s)});
        }
        return taken;
    };
    for (const auto &row : rows)
        for (int out : {2, 1, 0}) {
            SCOPED_TRACE(std::string(row.widget) + " in mode " + std::to_string(row.mode) + ", Output on slot " +
                         std::to_string(out));
            if (mw->getCommandMode() != row.mode) mw->modeAct->trigger();
            select(0, 1, out);
            const std::vector<Slot> before = snapshot();
            user.asked = 0;
            user.messages.clear();
            if (auto *button = mw->findChild<QPushButton *>(row.widget))
                button->click();
            else
                mw->findChild<QAction *>(row.widget)->trigger();
            EXPECT_EQ(user.asked, row.told ? 0 : 1);
            EXPECT_EQ(user.messages, row.told ? std::vector<QString>{row.told} : std::vector<QString>{});
            const std::vector<Slot> after = snapshot();
            for (int s = 0; s < 3; ++s) {
                EXPECT_EQ(after[s].image, before[s].image) << "slot " << s;
                EXPECT_EQ(after[s].bytes, before[s].bytes) << "slot " << s;
                EXPECT_EQ(after[s].name, before[s].name) << "slot " << s;
                EXPECT_TRUE(before[s].view && after[s].view == before[s].view) << "view window of slot " << s;
            }
            EXPECT_EQ(controller->scratchImage, nullptr);
        }
}
