// ZvektoolMainWindow.h - the control panel: slot rows, command buttons,
// console, actions, menus, toolbars, the enabling rule, the command buffers
// and the register of open view windows.
//
// Command slots of other units are declared in the marked sections below and
// defined in those units' own source files. Buttons and actions are wired by
// slot name when the window is built: a command whose slot does not exist
// yet stays unconnected.
#ifndef ZVEKTOOLMAINWINDOW_H
#define ZVEKTOOLMAINWINDOW_H

#include <QMainWindow>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "ZvekOp.h"
#include "imageconvert.h"
#include "zvek.h"

class QAction;
class QCloseEvent;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolBar;
class QVBoxLayout;
class ZVektoolChildWindow;

// A slot row of the control panel. The value 2 names no row.
enum _RADIO_GROUP : int { INPUT_1 = 0, INPUT_2 = 1, OUTPUT = 3 };
// The kind of output buffer a one-image command needs.
enum _OP_TYPE : int { FLOAT_OUT = 0, COMPLEX_OUT = 1, FLOAT_2D_OUT = 2 };
// A change of the view-window register. Every int is a value of these
// types (a fixed underlying type), so a caller's stray value is defined.
enum _UPDATE_TYPE : int { REMOVE_CHILD = 0, ADD_CHILD = 1 };

class ZVektoolMainWindow : public QMainWindow {
    Q_OBJECT

public:
    ZVektoolMainWindow();
    ~ZVektoolMainWindow() override;

    // ---- slot rows, enabling rule, buffers, register, console ----

    // Index 0..7 of the checked button of a row, -1 when none is checked.
    int getRadioButtonStatus(_RADIO_GROUP row);
    void changeDisplayAccess(bool on);
    void changeUnaryAccess(bool on);
    void changeBinaryAccess(bool on);

    // Buffers of a one-image command. out is a new image of the kind, of
    // Input 1's size, made aside as the controller's scratch image: the
    // Output slot keeps its image (and its view window) until the command
    // hands its result over. Answers 0 when Input 1 and Output are different
    // slots, 1 when they are the same slot, -1 when Input 1 is empty or the
    // buffer could not be made (in and out are then null). outSlot receives
    // the Output slot always.
    int getUnaryBuffers(ZVEKHDR *&in, ZVEKHDR *&out, int &outSlot, _OP_TYPE kind);
    // Buffers of a two-image command: out is a new, unstored "float" image
    // of Input 1's size; the Output slot keeps its image and its view window
    // until the command stores its result. Answers 0 when the Output slot is
    // neither input, 3 when it is one of them, -1 when an input is empty or
    // the buffer could not be made (in1, in2 and out are then null).
    int getBinaryBuffers(ZVEKHDR *&in1, ZVEKHDR *&in2, ZVEKHDR *&out, int &outSlot);

    // Registers child under the current Output slot (ADD_CHILD) or removes it
    // from every slot (REMOVE_CHILD).
    void updateChildPtr(const QWidget *child, _UPDATE_TYPE type);
    // The slot under which child is registered, or -1.
    int getIndexFromChildPtr(const QWidget *child) const;
    int getIndexFromChildPtr(const void *child) const;
    // The view window registered for slot, or null.
    QWidget *childWindow(int slot) const;
    // Deletes the view window registered for slot, if any. The register's
    // lock is not held while the window is deleted.
    void deleteChildWindow(int slot);

    // Appends text to the console (no line break is added).
    void addConsoleOutput(QString text);

    // ---- loading ----

    // Loads path into image slot (0..7): own-format files, point-list
    // boundary files and toolkit pictures, always as a float image.
    void handleFileByPath(QString path, int slot);

    // ---- commands and file-open events ----

    // Marks a command as running for the life of the object. File-open
    // events that arrive meanwhile (from inside the command's dialogs) are
    // queued and loaded when the outermost command has finished.
    class CommandScope {
    public:
        explicit CommandScope(ZVektoolMainWindow *window);
        ~CommandScope();
        CommandScope(const CommandScope &) = delete;
        CommandScope &operator=(const CommandScope &) = delete;

    private:
        ZVektoolMainWindow *window_;
    };
    // A command that processes events while it runs (the labelling's wait)
    // lets clicks through: Read, Reopen, Paste, Delete and the scripts ignore
    // them then, so that no image the command works on is replaced under it.
    bool commandRunning() const { return commandDepth > 0; }
    void queueFileOpen(const QString &path, int slot);

    // The command mode: 1 is mode 1, any other value mode 0.
    int getCommandMode() const { return commandMode; }

public slots:
    void updateAccessability();
    void disableButtons();

protected:
    void closeEvent(QCloseEvent *e) override;

private slots:
    // ---- loading ----
    void open();
    void reopen();
    // ---- clipboard ----
    void copy();
    void paste();
    void delete_();
    // ---- command modes ----
    void mode();
    // ---- viewing and saving ----
    void view();
    bool saveAs();
    bool save();
    bool archive();
    // ---- about and command messages ----
    void about();
    void badMsg(int code);
    // ---- one-image commands ----
    void dx();
    void dy();
    void dxx();
    void dyy();
    void dxdy();
    void curvature();
    void exponent();
    void inverse();
    void natlog();
    void laplacian();
    void histeq();
    void pseudo();
    void blur();
    void ccl();
    void c2mag();
    void c2phase();
    void c2real();
    void c2imag();
    void fft();
    void ifft();
    // ---- two-image commands and restoration ----
    void add();
    void sub();
    void mul();
    void div();
    void gdir();
    void correlate();
    void pcon();
    // ---- script running ----
    void runScript();
    void rerunScript();

private:
    // The one-image pattern: buffers of kind, the dispatcher with code, the
    // hand-over of a result computed beside the input (copied or moved into
    // the Output slot), the enabling rule. See ZvektoolMainWindow_commands.cpp.
    struct UnaryCommand {
        int code;
        _OP_TYPE kind;
        bool copyHandOver;
        int threeFrames = 0;               // 1: needs 3 frames, 2: needs 3-D
        const char *notComplex = nullptr;  // message when Input 1 is not complex
        bool keepBinary = false;           // switch off only unary and display
    };
    void runUnary(const UnaryCommand &command);
    void runBinary(int code, bool disableFirst);
    // Commands that have nothing to run in mode 1 but badMsg(1).
    void runModeZeroUnary(const UnaryCommand &command);
    void runModeZeroBinary(int code);
    // Hands the scratch image over to the Output slot when ok (copied when
    // copy is set), else drops it and the Output slot keeps its image.
    void handOver(int outSlot, bool ok, bool copy);
    // Puts image in place of the prepared scratch buffer out.
    void replaceBuffer(ZVEKHDR *&out, ZVEKHDR *image);
    // Stores image in slot outSlot, releasing what was there.
    void storeOutput(int outSlot, ZVEKHDR *image);
    // Stores the result of a two-image command: the Output slot's view
    // window goes, image replaces the slot's image.
    void storeBinaryOutput(int outSlot, ZVEKHDR *image);
    void hogDescriptor();
    void showHog();
    void crop();
    void resizeInput();

    std::unique_ptr<ZVekOp> dispatcher{new ZVekOp(this)};  // the operation dispatcher
    QString scriptPath;        // the chosen script
    QString scriptDir;         // its directory, where it runs
    QString scriptInputPath;   // Output image handed to the script; empty until one is chosen
    QString scriptOutputPath;  // the script's result
    bool rerunRequested = false;

private:
    void addCommandButtons();
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void readSettings();
    // Connects signal of sender to this window's slot named by its signature
    // ("dx()"), when this window has such a slot.
    void connectCommand(QObject *sender, const char *signal, const char *slotSignature);
    void setCommandTexts();
    void runQueuedFileOpens();
    // Replaces the image of slot by image (releasing the old one and deleting
    // the slot's view window).
    void replaceSlotImage(int slot, ZVEKHDR *image);

public:
    // ---- menus, toolbar and actions ----
    QMenu *fileMenu, *editMenu, *displayMenu, *unaryMenu, *binaryMenu, *helpMenu, *complexMenu;
    QToolBar *toolBar;
    QAction *openAct, *reopenAct, *aboutAct, *archiveAct, *saveAsAct, *runScriptAct, *exitAct;
    QAction *cutAct, *copyAct, *pasteAct, *deleteAct, *viewAct, *modeAct, *rerunAct;
    QAction *dxAct, *dyAct, *dxxAct, *dyyAct, *dxdyAct, *curvatureAct, *exponentAct, *inverseAct,
        *laplacianAct;
    QAction *addAct, *subAct, *mulAct, *divAct, *pconAct;
    QAction *c2magAct, *c2phaseAct, *c2realAct, *c2imagAct, *fftAct, *ifftAct;

    // ---- control panel ----
    QGroupBox *centralBox;
    QVBoxLayout *centralLayout;
    QPlainTextEdit *console;
    QGroupBox *controlPanelBox;
    QHBoxLayout *controlPanelLayout;
    QGroupBox *commandBox;
    QHBoxLayout *commandLayout;
    QGroupBox *unaryBox;
    QGridLayout *unaryLayout;
    QGroupBox *binaryBox;
    QVBoxLayout *binaryLayout;
    QGroupBox *imageSelectBox;
    QVBoxLayout *imageSelectLayout;
    QGroupBox *input1Box, *input2Box, *outputBox;
    QHBoxLayout *input1Layout, *input2Layout, *outputLayout;
    QRadioButton *input1Radios[8], *input2Radios[8], *outputRadios[8];

    QPushButton *dxButton, *dyButton, *dxxButton, *dyyButton, *dxyButton, *curvButton, *expButton,
        *invButton, *lapButton, *lnButton, *histeqButton, *cmapButton, *blurButton, *cclButton;
    QPushButton *addButton, *subButton, *mulButton, *divButton, *gdirButton, *correlateButton,
        *pconButton;

private:
    // The view-window register: the window open for each slot, or null. A
    // window that goes away without reporting it leaves no stale entry.
    QPointer<QWidget> childWindows[8];
    QMutex childMutex;

    ZVEKHDR *clipboardImage;  // the private clipboard image, owned here
    QString openPath;         // last loaded path: start folder of Read
    QString reopenPath;       // last loaded path: what Reopen loads
    QString lastFileName;     // file-name part of the last loaded path
    int commandMode;          // 0 at start
    ZVek2Qt imageConverter;   // pictures of slot images for View and SaveAs

    int commandDepth;                                   // commands now running
    std::vector<std::pair<QString, int>> queuedOpens;  // file-open events waiting

    // Members of the three enabling groups.
    std::vector<QWidget *> displayWidgets, unaryWidgets, binaryWidgets;
    std::vector<QAction *> displayActions, unaryActions, binaryActions;
};

#endif  // ZVEKTOOLMAINWINDOW_H
