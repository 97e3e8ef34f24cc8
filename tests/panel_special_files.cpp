// Paths that name no regular file (a FIFO nobody holds open, a directory)
// are refused at once wherever the user names a file, with a message naming
// the path; every slot keeps its image, name and view window.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFileOpenEvent>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"
#include "imagefile.h"
#include "imageops.h"

TEST_F(GuiTest, SpecialFilesAreRefusedAtOnce) {
    for (int i = 0; i < 8; ++i) {
        put(i, makeFloat({2, 8, 6}, [i](int p) { return float(p % 7 == 0 ? 50 : 10 * i); }));
        controller->imageNames[i] = "kept" + QString::number(i);
    }
    select(0, 1, 3);
    mw->viewAct->trigger();
    QWidget *view = mw->childWindow(3);
    ASSERT_NE(view, nullptr);
    const auto before = state();
    const std::vector<QString> names(std::begin(controller->imageNames), std::end(controller->imageNames));
    // The dialogs answer with the path, the type prompt with "float".
    auto picking = [&](QAction *action) {
        return [this, action](const QString &p) {
            ui.openAnswers.push_back(p), ui.answers = {QStringList{"float"}};
            action->trigger();
        };
    };
    const struct {
        const char *road;
        std::function<void(const QString &)> run;
    } roads[] = {
        {"Read", picking(mw->openAct)},
        {"Reopen", [&](const QString &) { mw->reopenAct->trigger(); }},
        {"file-open event", [&](const QString &p) { QFileOpenEvent e(p); QCoreApplication::sendEvent(qApp, &e); }},
        {"SaveAs", picking(mw->saveAsAct)},
        {"view's save", picking(qobject_cast<ZVektoolChildWindow *>(view)->saveBufferAct)},
    };
    for (const char *kind : {"pipe", "folder"}) {
        for (const char *suffix : {".Zvek", ".png"}) {
            const QString path = home.path() + "/" + kind + suffix;
            ASSERT_TRUE(kind[0] == 'p' ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : QDir().mkdir(path));
            for (const auto &road : roads) {
                SCOPED_TRACE(std::string(road.road) + " of " + path.toStdString());
                ui.clear();
                printed([&] { road.run(path); });
                EXPECT_EQ(ui.said(), path + " is not a regular file");
                EXPECT_EQ(state(), before);
                EXPECT_TRUE(std::equal(names.begin(), names.end(), controller->imageNames));
                EXPECT_EQ(mw->childWindow(3), view);
                EXPECT_TRUE(QFileInfo::exists(path) && !QFileInfo(path).isFile());
            }
            // The labelling's areas file, through the library.
            ZVEKHDR *labels = blank("float", {2, 8, 6});
            int count = 0, result = 0;
            const QByteArray name = QFile::encodeName(path);
            EXPECT_EQ(printed([&] { result = cclC4_2(slot(0), 1, 0, &count, name.constData(), labels, 2, 10, 256); }),
                      "cclC4_2: " + path.toStdString() + " is not a regular file\n");
            EXPECT_EQ(result, -3) << path.toStdString();
        }
    }
    // The script's input file, in the script's folder: told, and the script runs.
    const QString input = home.path() + "/ImgViewTempInput.Zvek";
    QFile script(home.path() + "/run.sh");
    ASSERT_TRUE(mkfifo(QFile::encodeName(input).constData(), 0600) == 0 && script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\ntouch ran\n"), script.close(), script.setPermissions(script.permissions() | QFile::ExeOwner);
    ui.clear(), ui.openAnswers.push_back(script.fileName());
    printed([&] { mw->runScriptAct->trigger(); });
    EXPECT_EQ(ui.said(), input + " is not a regular file|Your script did not produce an output file that I know how to process");
    EXPECT_TRUE(QFile::exists(home.path() + "/ran"));
    // The last-path file: not written by Read, not read by Reopen.
    const QString last = home.path() + "/.com.ZVEK.ZVektool", real = home.path() + "/real.Zvek";
    ASSERT_TRUE(QFile::remove(last) && mkfifo(QFile::encodeName(last).constData(), 0600) == 0);
    ASSERT_EQ(writeImageFile(slot(3), real), -1);
    ui.openAnswers.push_back(real);
    EXPECT_EQ(printed([&] { mw->openAct->trigger(); }), " cannot open logging file\n");
    ZVektoolMainWindow fresh;
    EXPECT_EQ(printed([&] { fresh.reopenAct->trigger(); }), "cannot open " + last.toStdString() + "\n");
}
