// Mouse handling of the view window.
#include "ZvektoolChildWindow.h"

#include <QMouseEvent>

void ZVektoolChildWindow::mousePressEvent(QMouseEvent *event) { QMainWindow::mousePressEvent(event); }

void ZVektoolChildWindow::mouseMoveEvent(QMouseEvent *event) { QMainWindow::mouseMoveEvent(event); }

void ZVektoolChildWindow::mouseReleaseEvent(QMouseEvent *event) { QMainWindow::mouseReleaseEvent(event); }
