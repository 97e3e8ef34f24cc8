// Closing the main window ends the event loop, also while view windows are
// open (they are owned by the main window).
#include <QTimer>

#include "gui_fixture.h"

TEST_F(GuiTest, ClosingTheMainWindowEndsTheEventLoop) {
    QWidget *view = new QWidget(mw, Qt::Window);
    view->show();
    QTimer::singleShot(50, mw, [this]() { mw->exitAct->trigger(); });
    // Should the loop not end, this ends it with a failure code.
    QTimer::singleShot(5000, qApp, []() { QCoreApplication::exit(3); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(mw->isVisible());
}
