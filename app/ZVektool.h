// ZVektool.h - the application object and the application controller.
//
// The controller owns the eight image slots, the scratch slot, the slot
// names, the last two clicked image positions and one shared integer, and it
// creates and shows the control-panel main window. There is one controller,
// reached through gZVektool.
#ifndef ZVEKTOOL_H
#define ZVEKTOOL_H

#include <QApplication>
#include <QString>
#include <cstdint>

#include "zvek.h"

class ZVektoolMainWindow;

// Version shown by the about box.
extern QString VERSION;

class ZVektool {
public:
    ZVektool();
    ~ZVektool();

    // Loads path into image slot (0..7) through the main window. While a
    // command of the main window is running (inside one of its dialogs), the
    // load waits until the command has finished.
    void handleFileByPath(QString path, int slot);

    ZVEKHDR *images[8];           // the image slots; null = empty; a slot owns its image
    ZVEKHDR *scratchImage;        // a one-image command's result when Input 1 is Output
    QString imageNames[8];        // name of each slot's image
    int32_t prevClickCol;         // image column of the click before the last one
    int32_t prevClickRow;
    int32_t lastClickCol;         // image column of the last click in any view window
    int32_t lastClickRow;
    int32_t maxLabel;             // maximum of the last loaded image, or the last label count
    ZVektoolMainWindow *mainWindow;
};

// The one controller; set by main() right after it is constructed.
extern ZVektool *gZVektool;

// The application object: turns the operating system's file-open events
// into loads into slot 0.
class SubClassQApp : public QApplication {
public:
    SubClassQApp(int &argc, char **argv);
    ~SubClassQApp() override;

    bool event(QEvent *e) override;
};

#endif  // ZVEKTOOL_H
