// Saving from the view window.
#include "ZvektoolChildWindow.h"

void ZVektoolChildWindow::save() {}

void ZVektoolChildWindow::saveBuffer() {}
