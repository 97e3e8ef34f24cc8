// Paths picked in a dialog name exactly that file, however they are spelt:
// reading, reopening, the last-path file, file-open events, SaveAs, the view
// window's save and the script's files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileOpenEvent>
#include <cstdio>
#include <string>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"

namespace {

// Answers the save dialogs with savePath and the type prompt with its default.
struct SavingUi : FakeUi {
    QString savePath;
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override { return savePath; }
    bool getText(QWidget *, const QString &, const QString &, const QString &text, QString *result) override {
        *result = text;
        return true;
    }
};

// The own-format file at exactly path, written and read through a stream.
bool writeAt(ZVEKHDR *h, const QString &path) {
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
    const bool ok = f && ZvekWrImg(h, f, 0) == -1;
    return (f && std::fclose(f) == 0) && ok;
}

ZVEKHDR *readAt(const QString &path) {
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "rb");
    ZVEKHDR *h = f ? ZvekRdImg(f, 0) : nullptr;
    if (f) std::fclose(f);
    return h;
}

// Size vector and float values of an image; empty for none.
std::vector<float> contentOf(const ZVEKHDR *h) {
    if (!h || h->dtype != DT_32FLT) return {};
    std::vector<float> v;
    for (int d = 0; d < h->vekndim; ++d) v.push_back(float(Zvekdimen(h, d)));
    const float *p = static_cast<const float *>(h->vekptr);
    v.insert(v.end(), p, p + Zvekdimen(h, ZVEK_NPIXELS));
    return v;
}

}  // namespace

TEST_F(GuiTest, DialogPathsNameExactlyThatFile) {
    const struct {
        const char *name;
        QString dir;
    } rows[] = {
        {"variable", "p$HOME"},       {"unclosed brace", "brace${X"},      {"lone dollar", "cost$"},
        {"tilde", "~tilde/~"},        {"blanks", "with  blanks"},          {"quotes", "it's \"quoted\""},
        {"over 511 characters", QString(200, 'a') + "/" + QString(200, 'b') + "/" + QString(150, 'c')},
    };
    SavingUi user;
    ZVekUi::install(&user);
    float offset = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        // Each row its own values, so that a load that fails shows.
        ZvekImagePtr image(makeFloat({2, 8, 6}, [&](int i) { return 3.0f * i - 7 + offset; }));
        offset += 100;
        const std::vector<float> expected = contentOf(image.get());
        const QString dir = home.path() + "/" + row.dir, file = dir + "/i.Zvek";
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(writeAt(image.get(), file));
        auto holds = [&](int slot, const char *road) {
            EXPECT_EQ(contentOf(controller->images[slot]), expected) << road;
        };

        select(0, 5, 3);
        user.openAnswers.push_back(file);
        mw->openAct->trigger();
        holds(3, "Read");
        QFile last(home.path() + "/.com.ZVEK.ZVektool");
        ASSERT_TRUE(last.open(QIODevice::ReadOnly));
        EXPECT_EQ(last.readAll(), QFile::encodeName(file) + "\n");
        mw->deleteAct->trigger();
        mw->reopenAct->trigger();
        holds(3, "Reopen");
        {
            ZVektoolMainWindow fresh;
            fresh.outputRadios[4]->click();
            fresh.reopenAct->trigger();
            holds(4, "the last-path file");
        }
        QFileOpenEvent event(file);
        QCoreApplication::sendEvent(qApp, &event);
        holds(0, "file-open event");

        user.savePath = dir + "/s.Zvek";
        mw->saveAsAct->trigger();
        EXPECT_EQ(contentOf(ZvekImagePtr(readAt(user.savePath)).get()), expected) << "SaveAs";
        mw->viewAct->trigger();
        auto *view = qobject_cast<ZVektoolChildWindow *>(mw->childWindow(3));
        ASSERT_NE(view, nullptr);
        user.savePath = dir + "/v.Zvek";
        view->saveBufferAct->trigger();
        EXPECT_EQ(contentOf(ZvekImagePtr(readAt(user.savePath)).get()).size(), 3u + 8 * 6 * 3) << "view's save";

        QFile script(dir + "/run.sh");
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ncp ImgViewTempInput.Zvek ImgViewTempOutput.Zvek\n");
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        user.openAnswers.push_back(script.fileName());
        mw->runScriptAct->trigger();
        holds(5, "script");
        EXPECT_EQ(controller->imageNames[5], "ReturnedFromScript");
        EXPECT_FALSE(QFile::exists(dir + "/ImgViewTempOutput.Zvek"));
        EXPECT_EQ(user.messages, std::vector<QString>{});
    }
}
