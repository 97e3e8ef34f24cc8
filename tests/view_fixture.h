// view_fixture.h - view windows opened through the main window's View
// command and driven by mouse events on the picture, with a user who names
// the files to save and answers the type prompt.
#ifndef VIEW_FIXTURE_H
#define VIEW_FIXTURE_H

#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"

// The display value written out step by step: offset, bound to 0..255, stretch in double with single-precision bounds (hi raised
// by 0.0001 for a window of 0), bound, truncate.
inline int refDisplay(float w, int d, int level, int window) {
    const float lo = static_cast<float>(level);
    float hi = static_cast<float>(level + window);
    if (hi - lo == 0.0f) hi = static_cast<float>(hi + 0.0001);
    const double v = std::min(std::max(static_cast<double>(w) + d, 0.0), 255.0);
    return static_cast<int>(std::min(std::max((v - lo) * 255.0 / static_cast<double>(hi - lo), 0.0), 255.0));
}

inline QRgb grey(int v) { return qRgb(v, v, v); }
inline std::vector<QRgb> greys(std::vector<int> v) {
    std::vector<QRgb> out;
    for (int x : v) out.push_back(grey(x));
    return out;
}

class SavingUi : public FakeUi {
public:
    std::vector<QStringList> saveDialogs, textPrompts;  // caption, folder, filter; title, label, text
    std::deque<QString> saveAnswers, textAnswers;        // none left: cancelled

    QString saveFile(QWidget *, const QString &caption, const QString &dir, const QString &filter) override {
        saveDialogs.push_back({caption, dir, filter});
        if (duringDialog) duringDialog();
        return next(saveAnswers);
    }
    bool getText(QWidget *, const QString &title, const QString &label, const QString &text, QString *result) override {
        textPrompts.push_back({title, label, text});
        return !textAnswers.empty() && !(*result = next(textAnswers)).isNull();
    }
    static QString next(std::deque<QString> &answers) {
        const QString a = answers.empty() ? QString() : answers.front();
        if (!answers.empty()) answers.pop_front();
        return a;
    }
};

class ViewTest : public GuiTest {
public:
    using GuiTest::makeFloat;

protected:
    void SetUp() override { GuiTest::SetUp(), ZVekUi::install(&sui); }

    // Puts image into slot, makes it the Output slot and presses View; with whole, the window shows every pixel.
    ZVektoolChildWindow *view(ZVEKHDR *image, int slot = 0, bool whole = false, const QString &name = "pic") {
        if (controller->images[slot] != nullptr && controller->images[slot] != image) Zvekfree(controller->images[slot], 7);
        controller->images[slot] = image;
        controller->imageNames[slot] = name;
        mw->outputRadios[slot]->click();
        mw->viewAct->trigger();
        auto *w = qobject_cast<ZVektoolChildWindow *>(mw->childWindow(slot));
        if (w == nullptr || !whole) return w;
        settle();
        const QSize hidden = w->imageLabel->size() - w->scrollArea->viewport()->size();
        if (hidden.width() > 0 || hidden.height() > 0) w->resize(w->size() + hidden.expandedTo({0, 0}) + QSize(8, 8));
        settle();
        return w;
    }
    static void settle() { for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(), QCoreApplication::sendPostedEvents(); }
    // 3 or 4 frames of 4 x 2, values scale v + add for v from 0 to 255.
    static ZVEKHDR *colourImage(int frames = 3, float scale = 1, float add = 0) {
        static const float v[4][8] = {{0, 50, 100, 150, 200, 250, 255, 10}, {20, 40, 60, 80, 100, 120, 140, 160},
                                      {255, 200, 128, 64, 32, 16, 8, 0}, {1, 2, 4, 8, 16, 32, 64, 128}};
        return makeFloat({3, 4, 2, frames}, [=](int i) { return scale * v[i / 8][i % 8] + add; });
    }
    static QImage shown(ZVektoolChildWindow *w) {
        return w->imageLabel->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_RGB32);
    }

    // One mouse event at a position of the picture label, delivered to it.
    static void mouse(ZVektoolChildWindow *w, QEvent::Type type, QPoint p) {
        QMouseEvent e(type, p, w->imageLabel->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w->imageLabel, &e);
    }
    static void click(ZVektoolChildWindow *w, QPoint p) { mouse(w, QEvent::MouseButtonPress, p), mouse(w, QEvent::MouseButtonRelease, p); }
    static void stroke(ZVektoolChildWindow *w, QPoint down, const std::vector<QPoint> &moves, QPoint up) {
        mouse(w, QEvent::MouseButtonPress, down);
        for (QPoint p : moves) mouse(w, QEvent::MouseMove, p);
        mouse(w, QEvent::MouseButtonRelease, up);
    }

    // Stand-in click positions, and what became of them.
    void markClicks() { controller->prevClickCol = controller->prevClickRow = -7, controller->lastClickCol = controller->lastClickRow = -8; }
    std::vector<int> clicks() const {
        return {controller->prevClickCol, controller->prevClickRow, controller->lastClickCol, controller->lastClickRow};
    }
    // The console text since the mark.
    void markConsole() { consoleMark = consoleText().size(); }
    QString newConsole() const { return consoleText().mid(consoleMark); }
    QString path(const QString &name) const { return name.isEmpty() ? name : home.path() + "/" + name; }

    int consoleMark = 0;
    SavingUi sui;
};

#endif  // VIEW_FIXTURE_H
