// main.cpp - entry point of ZvekTool.
#include "ZVektool.h"

int main(int argc, char **argv) {
    SubClassQApp app(argc, argv);
    QCoreApplication::setOrganizationName("ZVektool");
    QCoreApplication::setApplicationName("ZVektool");
    // The controller, its main window and the slot images live until the
    // process ends.
    gZVektool = new ZVektool();
    return app.exec();
}
