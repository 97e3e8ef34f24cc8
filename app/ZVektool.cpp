// ZVektool.cpp - the application controller and the application object.
#include "ZVektool.h"

#include <QFileOpenEvent>

#include <csignal>

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

namespace {
void fileSizeExceeded(int) {}
}  // namespace

// A write past the file-size limit fails with EFBIG and is told like any
// other failed save, instead of ending the program and its images. The
// signal is caught rather than ignored, so that scripts run from here start
// with its default.
SubClassQApp::SubClassQApp(int &argc, char **argv) : QApplication(argc, argv) {
    struct sigaction action {};
    action.sa_handler = fileSizeExceeded;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

SubClassQApp::~SubClassQApp() = default;

bool SubClassQApp::event(QEvent *e) {
    if (e->type() == QEvent::FileOpen) {
        auto *openEvent = static_cast<QFileOpenEvent *>(e);
        if (gZVektool) gZVektool->handleFileByPath(openEvent->file(), 0);
        return true;
    }
    return QApplication::event(e);
}
