// gui_fixture.h - shared pieces of the GUI tests: a scripted user and a
// fixture that starts the controller with its main window in a private home
// directory and releases everything afterwards.
#ifndef GUI_FIXTURE_H
#define GUI_FIXTURE_H

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <gtest/gtest.h>
#include <vector>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvektoolMainWindow.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// A user who answers from a script and remembers what was asked and shown.
class FakeUi : public ZVekUi {
public:
    struct Notice {
        QString text;
        int msec;
        QString title;
    };
    std::vector<QString> messages;
    std::vector<Notice> notices;
    std::vector<QString> openCaptions, openDirs;
    std::deque<QString> openAnswers;        // answers of openFile, in order
    std::function<void()> duringDialog;    // runs while a dialog is "open"

    void message(const QString &text) override {
        messages.push_back(text);
        if (duringDialog) duringDialog();
    }
    void notice(const QString &text, int msec, const QString &title) override {
        notices.push_back({text, msec, title});
    }
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override {
        if (duringDialog) duringDialog();
        return QString();
    }
    QString openFile(QWidget *, const QString &caption, const QString &dir,
                     const QString &) override {
        openCaptions.push_back(caption);
        openDirs.push_back(dir);
        if (duringDialog) duringDialog();
        if (openAnswers.empty()) return QString();
        QString answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }
};

// Processes events for msec milliseconds.
inline void pumpEvents(int msec) {
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } while (timer.elapsed() < msec);
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        savedHome = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/config");
        ZVekUi::install(&ui);
        controller = new ZVektool();
        gZVektool = controller;
        mw = controller->mainWindow;
    }

    void TearDown() override {
        delete mw;
        for (ZVEKHDR *&image : controller->images) {
            if (image) Zvekfree(image, 7);
            image = nullptr;
        }
        if (controller->scratchImage) Zvekfree(controller->scratchImage, 7);
        delete controller;
        gZVektool = nullptr;
        ZVekUi::install(nullptr);
        qputenv("HOME", savedHome);
    }

    // A new "float" image {ndim, cols, rows, frames} holding values[i] = f(i).
    static ZVEKHDR *makeFloat(std::vector<int32_t> dims,
                              const std::function<float(int)> &f = nullptr) {
        ZVEKHDR *h = Zvekcreate("float", dims.data(), 11, 0);
        if (h && f) {
            int n = Zvekdimen(h, ZVEK_NPIXELS);
            float *p = static_cast<float *>(h->vekptr);
            for (int i = 0; i < n; ++i) p[i] = f(i);
        }
        return h;
    }

    // Selects slots in the three rows by clicking their buttons.
    void select(int in1, int in2, int out) {
        mw->input1Radios[in1]->click();
        mw->input2Radios[in2]->click();
        mw->outputRadios[out]->click();
    }

    QString consoleText() const;

    QTemporaryDir home;
    QByteArray savedHome;
    FakeUi ui;
    ZVektool *controller = nullptr;
    ZVektoolMainWindow *mw = nullptr;
};

inline QString GuiTest::consoleText() const { return mw->console->toPlainText(); }

// Answers the toolkit's own save dialog and then its text prompt, polling for
// them from a timer while a command runs them: the file dialog gets target
// typed into its name field in target's folder and is accepted; onFile and
// onPrompt look at the dialogs first (onPrompt also answers and accepts the
// prompt). Gives up, closing what is open, rather than hang.
struct SaveDialogAnswers {
    QString target;
    std::function<void(QFileDialog *)> onFile;
    std::function<void(QInputDialog *)> onPrompt;
    std::shared_ptr<int> tries = std::make_shared<int>(0);

    void operator()() const {
        QWidget *modal = QApplication::activeModalWidget();
        if (++*tries > 500) {
            if (auto *dialog = qobject_cast<QDialog *>(modal)) dialog->reject();
            ADD_FAILURE() << "the dialogs did not go away";
            return;
        }
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            onFile(files);
            files->setDirectory(QFileInfo(target).absolutePath());
            if (auto *name = files->findChild<QLineEdit *>("fileNameEdit")) name->setText(QFileInfo(target).fileName());
            static_cast<QDialog *>(files)->accept();
        } else if (auto *prompt = qobject_cast<QInputDialog *>(modal)) {
            onPrompt(prompt);
            return;
        }
        QTimer::singleShot(20, *this);
    }
};

inline void answerSaveDialogs(const QString &target, std::function<void(QFileDialog *)> onFile,
                              std::function<void(QInputDialog *)> onPrompt) {
    QTimer::singleShot(20, SaveDialogAnswers{target, std::move(onFile), std::move(onPrompt)});
}

#endif  // GUI_FIXTURE_H
