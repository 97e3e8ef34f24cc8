// ZVektool.cpp - the application controller and the application object.
#include "ZVektool.h"

#include <QFileOpenEvent>

#include "ZvektoolMainWindow.h"

QString VERSION = "2.1";
ZVektool *gZVektool = nullptr;

ZVektool::ZVektool()
    : scratchImage(nullptr),
      prevClickCol(0),
      prevClickRow(0),
      lastClickCol(0),
      lastClickRow(0),
      maxLabel(0),
      mainWindow(nullptr) {
    for (ZVEKHDR *&image : images) image = nullptr;
    mainWindow = new ZVektoolMainWindow();
    mainWindow->show();
}

// Releases no image and leaves the main window alone: both live as long as
// the process.
ZVektool::~ZVektool() = default;

void ZVektool::handleFileByPath(QString path, int slot) {
    if (!mainWindow) return;
    if (mainWindow->commandRunning())
        mainWindow->queueFileOpen(path, slot);
    else
        mainWindow->handleFileByPath(path, slot);
}

SubClassQApp::SubClassQApp(int &argc, char **argv) : QApplication(argc, argv) {}

SubClassQApp::~SubClassQApp() = default;

bool SubClassQApp::event(QEvent *e) {
    if (e->type() == QEvent::FileOpen) {
        auto *openEvent = static_cast<QFileOpenEvent *>(e);
        if (gZVektool) gZVektool->handleFileByPath(openEvent->file(), 0);
        return true;
    }
    return QApplication::event(e);
}
