// view_mouse_fixture.h - a fixture that opens view windows through the main
// window's View command and drives them with mouse events sent to the
// picture label, as a pointing device would.
#ifndef VIEW_MOUSE_FIXTURE_H
#define VIEW_MOUSE_FIXTURE_H

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QSlider>

#include "ZvektoolChildWindow.h"
#include "gui_fixture.h"

class ViewMouseTest : public GuiTest {
public:
    using GuiTest::makeFloat;

protected:
    // Puts image into slot, makes it the Output slot and presses View. The
    // window is laid out as on screen and, unless whole is false, made large
    // enough to show the whole picture, so that every pixel can be clicked.
    ZVektoolChildWindow *view(ZVEKHDR *image, int slot = 0, bool whole = true) {
        controller->images[slot] = image;
        controller->imageNames[slot] = "pic";
        mw->outputRadios[slot]->click();
        mw->viewAct->trigger();
        auto *w = qobject_cast<ZVektoolChildWindow *>(mw->childWindow(slot));
        if (w == nullptr) return nullptr;
        settle();
        const QSize hidden = w->imageLabel->size() - w->scrollArea->viewport()->size();
        if (whole && (hidden.width() > 0 || hidden.height() > 0)) {
            w->resize(w->size() + hidden.expandedTo(QSize(0, 0)) + QSize(8, 8));
            settle();
        }
        return w;
    }

    // Lets the windows lay themselves out.
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();
        }
    }

    // One mouse event at a position in the picture label's coordinates,
    // delivered to the label; the toolkit hands it on to the window.
    static void mouse(ZVektoolChildWindow *w, QEvent::Type type, QPoint labelPos) {
        const QPoint global = w->imageLabel->mapToGlobal(labelPos);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, labelPos, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(w->imageLabel, &e);
    }
    static void press(ZVektoolChildWindow *w, QPoint p) { mouse(w, QEvent::MouseButtonPress, p); }
    static void release(ZVektoolChildWindow *w, QPoint p) { mouse(w, QEvent::MouseButtonRelease, p); }
    static void move(ZVektoolChildWindow *w, QPoint p) {
        QMouseEvent e(QEvent::MouseMove, p, w->imageLabel->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
        QApplication::sendEvent(w->imageLabel, &e);
    }
    static void click(ZVektoolChildWindow *w, QPoint p) {
        press(w, p);
        release(w, p);
    }

    // Stand-in values for the click positions before a test moves them.
    void markClicks() {
        controller->prevClickCol = controller->prevClickRow = -7;
        controller->lastClickCol = controller->lastClickRow = -8;
    }
    void expectClicks(int prevCol, int prevRow, int lastCol, int lastRow) const {
        EXPECT_EQ(controller->prevClickCol, prevCol);
        EXPECT_EQ(controller->prevClickRow, prevRow);
        EXPECT_EQ(controller->lastClickCol, lastCol);
        EXPECT_EQ(controller->lastClickRow, lastRow);
    }

    // The console text appended since the mark.
    void markConsole() { consoleMark = consoleText().size(); }
    QString newConsole() const { return consoleText().mid(consoleMark); }

    int consoleMark = 0;
};

#endif  // VIEW_MOUSE_FIXTURE_H
