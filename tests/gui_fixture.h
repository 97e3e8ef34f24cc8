// gui_fixture.h - the GUI tests' scripted user and a fixture that starts the
// controller with its main window in a private home directory, puts images
// into slots and releases everything afterwards.
#ifndef GUI_FIXTURE_H
#define GUI_FIXTURE_H

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "ZvektoolMainWindow.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// A user who answers from a script and remembers what was shown and asked.
// A question is kept as one line: "title|labels|offered values|min..max|
// decimals or step" (a form without the limits, the about box "title|text").
class FakeUi : public ZVekUi {
public:
    struct Notice { QString text; int msec; QString title; };
    struct Ask { QWidget *parent; QString line; };
    std::vector<QString> messages;
    std::vector<Notice> notices;
    std::vector<Ask> asks;
    std::vector<QString> openCaptions, openDirs;  // of the file dialogs
    std::deque<QString> openAnswers;              // answers of openFile and saveFile, in order
    // Answers of the number, text and form questions, in order: the typed
    // texts (of a form its first fields), or nullopt for Cancel. An empty
    // queue answers Cancel.
    std::deque<std::optional<QStringList>> answers;
    std::function<void()> duringDialog;  // runs while a dialog is "open"

    void message(const QString &text) override {
        messages.push_back(text);
        if (duringDialog) duringDialog();
    }
    void notice(const QString &text, int msec, const QString &t) override { notices.push_back({text, msec, t}); }
    void about(QWidget *parent, const QString &title, const QString &text) override {
        asks.push_back({parent, title + "|" + text});
    }
    bool getDouble(QWidget *p, const QString &title, const QString &label, double value, double min, double max,
                   int decimals, double *result) override {
        QStringList v{QString::number(value)};
        return ask(p, title, {label}, v, QString("|%1..%2|%3").arg(min).arg(max).arg(decimals)) &&
               (*result = v[0].toDouble(), true);
    }
    bool getInt(QWidget *p, const QString &title, const QString &label, int value, int min, int max, int step,
                int *result) override {
        QStringList v{QString::number(value)};
        return ask(p, title, {label}, v, QString("|%1..%2|%3").arg(min).arg(max).arg(step)) &&
               (*result = v[0].toInt(), true);
    }
    bool getText(QWidget *p, const QString &title, const QString &label, const QString &text,
                 QString *result) override {
        QStringList v{text};
        return ask(p, title, {label}, v, "") && (*result = v[0], true);
    }
    bool form(QWidget *p, const QString &heading, const QStringList &labels, QStringList &values) override {
        return ask(p, heading, labels, values, "");
    }
    QString saveFile(QWidget *, const QString &caption, const QString &dir, const QString &) override {
        return nextFile(caption, dir);
    }
    QString openFile(QWidget *, const QString &caption, const QString &dir, const QString &) override {
        return nextFile(caption, dir);
    }
    // The messages joined by "|"; the notices as "text/msec" joined by "|";
    // the questions' lines joined by "\n".
    QString said() const { return QStringList(messages.begin(), messages.end()).join("|"); }
    QString notified() const {
        QStringList texts;
        for (const Notice &n : notices) texts << n.text + "/" + QString::number(n.msec);
        return texts.join("|");
    }
    QString asked() const {
        QStringList lines;
        for (const Ask &a : asks) lines << a.line;
        return lines.join("\n");
    }
    void clear() { messages.clear(), notices.clear(), asks.clear(); }
    // Everything the user was shown or asked.
    size_t interactions() const { return messages.size() + notices.size() + asks.size() + openCaptions.size(); }

private:
    bool ask(QWidget *p, const QString &title, const QStringList &labels, QStringList &values, const QString &limits) {
        asks.push_back({p, title + "|" + labels.join(",") + "|" + values.join(",") + limits});
        if (duringDialog) duringDialog();
        const std::optional<QStringList> a = answers.empty() ? std::nullopt : answers.front();
        if (!answers.empty()) answers.pop_front();
        for (int i = 0; a && i < a->size() && i < values.size(); ++i) values[i] = (*a)[i];
        return a.has_value();
    }
    QString nextFile(const QString &caption, const QString &dir) {
        openCaptions.push_back(caption);
        openDirs.push_back(dir);
        if (duringDialog) duringDialog();
        const QString answer = openAnswers.empty() ? QString() : openAnswers.front();
        if (!openAnswers.empty()) openAnswers.pop_front();
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

// Runs action on the next modal dialog once it is open (polling).
inline void whenModal(std::function<void(QWidget *)> action) {
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        if (QWidget *w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(w);
        }
    });
    timer->start(20);
}

// While alive, rejects every few seconds a modal dialog nobody answers, so
// that an unexpected dialog fails a test instead of hanging it.
struct DialogWatchdog {
    QTimer timer;
    DialogWatchdog() {
        QObject::connect(&timer, &QTimer::timeout, [] {
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) d->reject();
        });
        timer.start(3000);
    }
};

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
        for (int i = 0; i < 8; ++i) put(i, nullptr);
        owned.push_back(controller->scratchImage);
        for (ZVEKHDR *h : owned)
            if (h) Zvekfree(h, 7);
        delete controller;
        gZVektool = nullptr;
        ZVekUi::install(nullptr);
        qputenv("HOME", savedHome);
    }

    // A new "float" image {ndim, cols, rows, frames} holding values[i] = f(i).
    static ZVEKHDR *makeFloat(std::vector<int32_t> dims, const std::function<float(int)> &f = nullptr) {
        ZVEKHDR *h = Zvekcreate("float", dims.data(), 11, 0);
        for (int i = 0; h && f && i < Zvekdimen(h, ZVEK_NPIXELS); ++i) static_cast<float *>(h->vekptr)[i] = f(i);
        return h;
    }
    // An image released after the test; a zero one of any type.
    ZVEKHDR *keep(ZVEKHDR *h) { return owned.push_back(h), h; }
    ZVEKHDR *blank(const char *type, std::vector<int32_t> dims) { return keep(Zvekcreate(type, dims.data(), 11, 0)); }
    // Puts image into slot i (releasing what was there) without a command.
    void put(int i, ZVEKHDR *image) {
        if (controller->images[i]) Zvekfree(controller->images[i], 7);
        controller->images[i] = image;
    }
    ZVEKHDR *slot(int i) const { return controller->images[i]; }
    static float *pixels(ZVEKHDR *h) { return static_cast<float *>(h->vekptr); }
    // Type and lengths, e.g. "32flt 3:20x20x3"; "none" for null.
    static std::string shape(const ZVEKHDR *h) {
        std::string s = h ? std::string(h->vekdt) + " " + std::to_string(h->vekndim) + ":" : "none";
        for (int i = 0; h && i < h->vekndim; ++i) s += (i ? "x" : "") + std::to_string(h->vekdims[i].dimlen);
        return s;
    }
    static QByteArray bytes(const ZVEKHDR *h) {
        return h ? QByteArray(static_cast<const char *>(h->vekptr), Zvekdimen(h, ZVEK_NBYTES)) : QByteArray();
    }
    static bool zero(const ZVEKHDR *h) { return bytes(h).count('\0') == bytes(h).size(); }
    // What f writes to standard output; what it writes to standard error is dropped.
    static std::string printed(const std::function<void()> &f) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        f();
        testing::internal::GetCapturedStderr();
        return testing::internal::GetCapturedStdout();
    }
    // Address and data of every slot and of the scratch image.
    std::vector<std::pair<const void *, QByteArray>> state() const {
        std::vector<std::pair<const void *, QByteArray>> s;
        for (ZVEKHDR *h : controller->images) s.emplace_back(h, bytes(h));
        s.emplace_back(controller->scratchImage, bytes(controller->scratchImage));
        return s;
    }
    // Selects slots in the three rows by clicking their buttons.
    void select(int in1, int in2, int out) {
        for (QRadioButton *b : {mw->input1Radios[in1], mw->input2Radios[in2], mw->outputRadios[out]}) b->click();
    }
    // Presses a button the way a user does; it must be enabled. The
    // answers, when given, replace those queued.
    void press(QPushButton *button) {
        ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
        button->click();
    }
    void press(QPushButton *button, std::deque<std::optional<QStringList>> answers) {
        ui.answers = std::move(answers);
        press(button);
    }
    void toMode1() {
        mw->modeAct->trigger();
        ASSERT_EQ(mw->getCommandMode(), 1);
    }
    QString consoleText() const { return mw->console->toPlainText(); }

    QTemporaryDir home;
    QByteArray savedHome;
    FakeUi ui;
    ZVektool *controller = nullptr;
    ZVektoolMainWindow *mw = nullptr;
    std::vector<ZVEKHDR *> owned;
};

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
        } else if (auto *prompt = qobject_cast<QInputDialog *>(modal)) {
            onPrompt(prompt);
        } else {
            if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                onFile(files);
                files->setOption(QFileDialog::DontConfirmOverwrite);  // no nested question inside this timer
                files->setDirectory(QFileInfo(target).absolutePath());
                if (auto *name = files->findChild<QLineEdit *>("fileNameEdit"))
                    name->setText(QFileInfo(target).fileName());
                static_cast<QDialog *>(files)->accept();
            }
            QTimer::singleShot(20, *this);
        }
    }
};

inline void answerSaveDialogs(const QString &target, std::function<void(QFileDialog *)> onFile,
                              std::function<void(QInputDialog *)> onPrompt) {
    QTimer::singleShot(20, SaveDialogAnswers{target, std::move(onFile), std::move(onPrompt)});
}

#endif  // GUI_FIXTURE_H
