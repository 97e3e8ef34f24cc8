// ZvektoolMainWindow.cpp - construction of the control panel, its actions,
// menus and toolbars, the enabling rule, the command buffers, the
// view-window register, the command modes, loading and the clipboard.
#include "ZvektoolMainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>

#include "ZVekUi.h"
#include "ZVektool.h"
#include "imagefile.h"
#include "slotimage.h"
#include "zvekint.h"

// Resources live in the static application library: register them here.
static void initZvektoolResources() { Q_INIT_RESOURCE(zvektool); }

namespace {

// One action of the menus and toolbars.
struct ActionSpec {
    QAction *ZVektoolMainWindow::*field;
    const char *name;    // object name (the field's name)
    const char *text;
    const char *icon;    // file under ":/icons/", or null
    QKeySequence::StandardKey key;
    const char *statusTip;
    const char *slot;    // slot signature, or null
};

const ActionSpec kActions[] = {
    {&ZVektoolMainWindow::openAct, "openAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Read"),
     "folder_new.png", QKeySequence::Open, "Open an existing file", "open()"},
    {&ZVektoolMainWindow::reopenAct, "reopenAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Reopen"), "img_reopen.png",
     QKeySequence::UnknownKey, "Reopen an existing file", "reopen()"},
    {&ZVektoolMainWindow::aboutAct, "aboutAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&About"),
     nullptr, QKeySequence::UnknownKey, "Show the application's About box", "about()"},
    {&ZVektoolMainWindow::archiveAct, "archiveAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Archive"), "archive.png", QKeySequence::UnknownKey,
     "Move the work image into the main image, overwriting the original.", "archive()"},
    {&ZVektoolMainWindow::saveAsAct, "saveAsAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&SaveAs"), "save.png", QKeySequence::SaveAs,
     "Save the image selected as OUTPUT under a new name, including conversion.", "saveAs()"},
    {&ZVektoolMainWindow::runScriptAct, "runScriptAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Run Script"), "run.png", QKeySequence::UnknownKey,
     "Run a script on an image, read output back", "runScript()"},
    {&ZVektoolMainWindow::exitAct, "exitAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "E&xit"),
     nullptr, QKeySequence::Quit, "Exit the application", nullptr},
    {&ZVektoolMainWindow::cutAct, "cutAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Cu&t"),
     "cut.png", QKeySequence::Cut, "Cut the current selection's contents to the clipboard",
     nullptr},
    {&ZVektoolMainWindow::copyAct, "copyAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Copy"),
     "copy.png", QKeySequence::Copy, "Copy the current selection's contents to the clipboard",
     "copy()"},
    {&ZVektoolMainWindow::pasteAct, "pasteAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Paste"),
     "paste.png", QKeySequence::Paste, "Paste the clipboard's contents into output buffer",
     "paste()"},
    {&ZVektoolMainWindow::deleteAct, "deleteAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Delete"), "delete.png", QKeySequence::Delete,
     "Deletes the output buffer", "delete_()"},
    {&ZVektoolMainWindow::viewAct, "viewAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&View"),
     "view.png", QKeySequence::UnknownKey, "Display the selected output buffer", "view()"},
    {&ZVektoolMainWindow::modeAct, "modeAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&Mode 0"),
     nullptr, QKeySequence::UnknownKey, "Does mode things", "mode()"},
    {&ZVektoolMainWindow::rerunAct, "rerunAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "&ReRun"),
     "rerun.png", QKeySequence::UnknownKey, "Run the last script again.", "rerunScript()"},
    {&ZVektoolMainWindow::dxAct, "dxAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "DX"), nullptr,
     QKeySequence::UnknownKey, "First derivative wrt x of the image", "dx()"},
    {&ZVektoolMainWindow::dyAct, "dyAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "DY"), nullptr,
     QKeySequence::UnknownKey, "First derivative wrt y of the image", "dy()"},
    {&ZVektoolMainWindow::dxxAct, "dxxAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "DXX"), nullptr,
     QKeySequence::UnknownKey, "Second derivative wrt x of the image", "dxx()"},
    {&ZVektoolMainWindow::dyyAct, "dyyAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "DYY"), nullptr,
     QKeySequence::UnknownKey, "Second derivative wrt y of the image", "dyy()"},
    {&ZVektoolMainWindow::dxdyAct, "dxdyAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "DXDY"),
     nullptr, QKeySequence::UnknownKey, "Second derivative wrt x and y of the image", "dxdy()"},
    {&ZVektoolMainWindow::curvatureAct, "curvatureAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Curvature"), nullptr, QKeySequence::UnknownKey,
     "Curvature of the image", "curvature()"},
    {&ZVektoolMainWindow::exponentAct, "exponentAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Exponent"), nullptr, QKeySequence::UnknownKey,
     "Exponent of the image", "exponent()"},
    {&ZVektoolMainWindow::inverseAct, "inverseAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Inverse"), nullptr, QKeySequence::UnknownKey,
     "Inverse of the image", "inverse()"},
    {&ZVektoolMainWindow::laplacianAct, "laplacianAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Laplacian"), nullptr, QKeySequence::UnknownKey,
     "Laplacian of the image", "laplacian()"},
    {&ZVektoolMainWindow::addAct, "addAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Add"), nullptr,
     QKeySequence::UnknownKey, "Adds inp1 and inp2 and saves it in output", "add()"},
    {&ZVektoolMainWindow::subAct, "subAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Sub"), nullptr,
     QKeySequence::UnknownKey, "Subtracts inp2 from inp1 and saves it in output", "sub()"},
    {&ZVektoolMainWindow::mulAct, "mulAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Mul"), nullptr,
     QKeySequence::UnknownKey, "Multiplies inp2 from inp1 and saves it in output", "mul()"},
    {&ZVektoolMainWindow::divAct, "divAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "div"), nullptr,
     QKeySequence::UnknownKey, "divides inp1 by inp1 and saves it in output", "div()"},
    {&ZVektoolMainWindow::pconAct, "pconAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "pcon"),
     nullptr, QKeySequence::UnknownKey, "segments an image using piecewise-constant MFA", "pcon()"},
    {&ZVektoolMainWindow::c2magAct, "c2magAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "ComlexMag"),
     nullptr, QKeySequence::UnknownKey, "Complex magnitude", "c2mag()"},
    {&ZVektoolMainWindow::c2phaseAct, "c2phaseAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "ComlexPhase"), nullptr, QKeySequence::UnknownKey,
     "Complex phase", "c2phase()"},
    {&ZVektoolMainWindow::c2realAct, "c2realAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Real"),
     nullptr, QKeySequence::UnknownKey, "Real", "c2real()"},
    {&ZVektoolMainWindow::c2imagAct, "c2imagAct",
     QT_TRANSLATE_NOOP("ZVektoolMainWindow", "Imaginary"), nullptr, QKeySequence::UnknownKey,
     "Complex imaginary", "c2imag()"},
    {&ZVektoolMainWindow::fftAct, "fftAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "FFT"), nullptr,
     QKeySequence::UnknownKey, "Fast Fourier Tranform", "fft()"},
    {&ZVektoolMainWindow::ifftAct, "ifftAct", QT_TRANSLATE_NOOP("ZVektoolMainWindow", "IFFT"),
     nullptr, QKeySequence::UnknownKey, "Inverse Fast Fourier Tranform", "ifft()"},
};

// One command button: its texts in the two modes, its slot, tool tip and
// place (a unary grid cell, or row -1 for the next place in the binary
// column). Listed in creation order.
struct ButtonSpec {
    QPushButton *ZVektoolMainWindow::*field;
    const char *name;
    const char *text0;
    const char *text1;
    const char *slot;
    const char *toolTip;  // null: none
    int row, column;
};

const ButtonSpec kButtons[] = {
    {&ZVektoolMainWindow::dxButton, "dxButton", "DX", "HoG", "dx()",
     "First deriv wrt to x using convolution with derivative of a Gaussian", 0, 1},
    {&ZVektoolMainWindow::dyButton, "dyButton", "DY", "ShowHoG", "dy()",
     "First deriv wrt to y using convolution with derivative of a Gaussian", 1, 1},
    {&ZVektoolMainWindow::dxxButton, "dxxButton", "DXX", "gMag", "dxx()",
     "Second deriv wrt to x using convolution with derivative of a Gaussian", 2, 1},
    {&ZVektoolMainWindow::dyyButton, "dyyButton", "DYY", "gDir", "dyy()",
     "Second deriv wrt to y using convolution with derivative of a Gaussian", 3, 1},
    {&ZVektoolMainWindow::dxyButton, "dxyButton", "DXY", "Clr2Gray", "dxdy()",
     "second deriv wrt to xy using convolution with derivative of a Gaussian", 4, 1},
    {&ZVektoolMainWindow::lnButton, "lnButton", "Ln", "N/A", "natlog()", nullptr, 6, 2},
    {&ZVektoolMainWindow::expButton, "expButton", "Exp", "Crop", "exponent()",
     "Exponentiate each pixel.", 0, 2},
    {&ZVektoolMainWindow::invButton, "invButton", "Inv", "Resize", "inverse()", "output=max-input",
     1, 2},
    {&ZVektoolMainWindow::lapButton, "lapButton", "Lap", "Qvar", "laplacian()",
     "Calculate the Lapacian or QV at each pixel", 2, 2},
    {&ZVektoolMainWindow::curvButton, "curvButton", "Curv", "HarrisOp", "curvature()",
     "Calculate the curvature of the level set at each point", 3, 2},
    {&ZVektoolMainWindow::histeqButton, "histeqButton", "Histeq", "MarkMax", "histeq()",
     "Histogram equalization", 4, 2},
    {&ZVektoolMainWindow::cmapButton, "cmapButton", "CMap", "N/A", "pseudo()",
     "Replace each pixel with a color corresponding to brightness\n 0:gray scale\n1:inverse gray "
     "scale\n2:Bronson\n3:hot metal\n4:heated specturm\n5:log\n6:random",
     5, 2},
    {&ZVektoolMainWindow::cclButton, "cclButton", "CCL", "ABS", "ccl()", "connected components", 5,
     1},
    {&ZVektoolMainWindow::blurButton, "blurButton", "Blur", "N/A", "blur()",
     "Blur the image with a Gaussian with user-selectable variance.", 6, 1},
    {&ZVektoolMainWindow::addButton, "addButton", "Add", "N/A", "add()", nullptr, -1, 0},
    {&ZVektoolMainWindow::subButton, "subButton", "Sub", "N/A", "sub()", nullptr, -1, 0},
    {&ZVektoolMainWindow::mulButton, "mulButton", "Mul", "N/A", "mul()", nullptr, -1, 0},
    {&ZVektoolMainWindow::divButton, "divButton", "Div", "N/A", "div()", nullptr, -1, 0},
    {&ZVektoolMainWindow::pconButton, "pconButton", "pcon", "N/A", "pcon()", nullptr, -1, 0},
    {&ZVektoolMainWindow::gdirButton, "gdirButton", "N/A", "N/A", "gdir()", nullptr, -1, 0},
    {&ZVektoolMainWindow::correlateButton, "correlateButton", "Correlate", "N/A", "correlate()",
     nullptr, -1, 0},
};

const char *const kLastPathFile = "/.com.ZVEK.ZVektool";

QString lastPathFileName() { return QDir::homePath() + kLastPathFile; }

// Own-format files are known by the last three characters of the path.
bool isOwnFormatPath(const QByteArray &path) {
    static const char *const kEndings[] = {"vek", "VEK", "zve", "Zve", "ZVE"};
    for (const char *ending : kEndings)
        if (path.endsWith(ending)) return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

ZVektoolMainWindow::ZVektoolMainWindow()
    : QMainWindow(nullptr),
      clipboardImage(nullptr),
      commandMode(0),
      commandDepth(0) {
    initZvektoolResources();

    controlPanelBox = new QGroupBox(tr("Control Panel Version 2.1"));
    controlPanelBox->setObjectName("controlPanelBox");
    controlPanelLayout = new QHBoxLayout;
    imageSelectBox = new QGroupBox(tr("Image Select"));
    imageSelectBox->setObjectName("imageSelectBox");
    imageSelectLayout = new QVBoxLayout;

    struct RowSpec {
        QGroupBox *&box;
        QHBoxLayout *&layout;
        QRadioButton **radios;
        const char *title;
        const char *name;
    };
    RowSpec rows[] = {{input1Box, input1Layout, input1Radios, "Input 1", "input1"},
                      {input2Box, input2Layout, input2Radios, "Input 2", "input2"},
                      {outputBox, outputLayout, outputRadios, "Output", "output"}};
    for (RowSpec &row : rows) {
        row.box = new QGroupBox(tr(row.title));
        row.box->setObjectName(QString(row.name) + "Box");
        row.layout = new QHBoxLayout;
        for (int i = 0; i < 8; ++i) {
            QRadioButton *radio = new QRadioButton(QString::number(i));
            radio->setObjectName(QString(row.name) + "Radios" + QString::number(i));
            radio->setAutoExclusive(true);
            radio->setChecked(i == 0);
            connect(radio, SIGNAL(clicked()), this, SLOT(updateAccessability()));
            row.layout->addWidget(radio);
            row.radios[i] = radio;
        }
        row.box->setLayout(row.layout);
    }
    imageSelectLayout->addWidget(input1Box);
    imageSelectLayout->addWidget(input2Box);
    imageSelectLayout->addWidget(outputBox);
    imageSelectBox->setLayout(imageSelectLayout);

    commandBox = new QGroupBox(tr("Command"));
    commandBox->setObjectName("commandBox");
    commandLayout = new QHBoxLayout;
    unaryBox = new QGroupBox(tr("Unary"));
    unaryBox->setObjectName("unaryBox");
    unaryLayout = new QGridLayout;
    binaryBox = new QGroupBox(tr("Binary"));
    binaryBox->setObjectName("binaryBox");
    binaryLayout = new QVBoxLayout;
    unaryBox->setLayout(unaryLayout);
    binaryBox->setLayout(binaryLayout);

    addCommandButtons();

    commandLayout->addWidget(unaryBox);
    commandLayout->addWidget(binaryBox);
    commandBox->setLayout(commandLayout);
    controlPanelLayout->addWidget(imageSelectBox);
    controlPanelLayout->addWidget(commandBox);
    controlPanelBox->setLayout(controlPanelLayout);

    console = new QPlainTextEdit(tr(">> Console"));
    console->setObjectName("console");
    console->setReadOnly(true);

    centralBox = new QGroupBox;
    centralBox->setObjectName("centralBox");
    centralLayout = new QVBoxLayout;
    centralLayout->addWidget(controlPanelBox);
    centralLayout->addWidget(console);
    centralBox->setLayout(centralLayout);
    setCentralWidget(centralBox);

    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    readSettings();

    changeDisplayAccess(false);
    changeUnaryAccess(false);
    changeBinaryAccess(false);

    setWindowTitle(tr("ZvekTool Version 10.2"));
}

ZVektoolMainWindow::~ZVektoolMainWindow() {
    // View windows report their end to this window: let them go while it is
    // still whole.
    for (int slot = 0; slot < 8; ++slot) deleteChildWindow(slot);
    for (QWidget *w : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow()) delete w;
    if (clipboardImage) Zvekfree(clipboardImage, 7);
}

void ZVektoolMainWindow::closeEvent(QCloseEvent *e) { e->accept(); }

void ZVektoolMainWindow::connectCommand(QObject *sender, const char *signal,
                                        const char *slotSignature) {
    const QByteArray normalized = QMetaObject::normalizedSignature(slotSignature);
    if (metaObject()->indexOfSlot(normalized.constData()) < 0) return;
    const QByteArray slot = QByteArray::number(QSLOT_CODE) + normalized;
    connect(sender, signal, this, slot.constData());
}

void ZVektoolMainWindow::addCommandButtons() {
    for (const ButtonSpec &spec : kButtons) {
        QPushButton *button = new QPushButton(tr(spec.text0));
        button->setObjectName(spec.name);
        if (spec.toolTip) button->setToolTip(tr(spec.toolTip));
        connectCommand(button, SIGNAL(released()), spec.slot);
        if (spec.row >= 0) {
            unaryLayout->addWidget(button, spec.row, spec.column);
            unaryWidgets.push_back(button);
        } else {
            binaryLayout->addWidget(button);
            binaryWidgets.push_back(button);
        }
        this->*spec.field = button;
    }
}

void ZVektoolMainWindow::createActions() {
    for (const ActionSpec &spec : kActions) {
        QAction *action = spec.icon ? new QAction(QIcon(QString(":/icons/") + spec.icon),
                                                  tr(spec.text), this)
                                    : new QAction(tr(spec.text), this);
        action->setObjectName(spec.name);
        if (spec.key != QKeySequence::UnknownKey) action->setShortcuts(spec.key);
        action->setStatusTip(tr(spec.statusTip));
        if (spec.slot) connectCommand(action, SIGNAL(triggered()), spec.slot);
        this->*spec.field = action;
    }
    connect(exitAct, SIGNAL(triggered()), this, SLOT(close()));

    displayActions = {cutAct, copyAct, deleteAct, viewAct};
    unaryActions = {dxAct,        dyAct,      dxxAct,       dyyAct,   dxdyAct,   curvatureAct,
                    exponentAct,  inverseAct, laplacianAct, c2magAct, c2phaseAct, c2realAct,
                    c2imagAct,    fftAct,     ifftAct};
    binaryActions = {addAct, subAct, mulAct, divAct, pconAct};

    rerunAct->setEnabled(false);
    pasteAct->setEnabled(false);
}

void ZVektoolMainWindow::createMenus() {
    fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->setObjectName("fileMenu");
    fileMenu->addAction(openAct);
    fileMenu->addAction(reopenAct);
    fileMenu->addAction(archiveAct);
    fileMenu->addAction(saveAsAct);
    fileMenu->addAction(runScriptAct);
    fileMenu->addSeparator();
    fileMenu->addAction(exitAct);

    editMenu = menuBar()->addMenu(tr("&Edit"));
    editMenu->setObjectName("editMenu");
    editMenu->addAction(cutAct);
    editMenu->addAction(copyAct);
    editMenu->addAction(pasteAct);
    editMenu->addAction(deleteAct);

    displayMenu = menuBar()->addMenu(tr("Display"));
    displayMenu->setObjectName("displayMenu");
    displayMenu->addAction(viewAct);

    unaryMenu = menuBar()->addMenu(tr("Unary"));
    unaryMenu->setObjectName("unaryMenu");
    unaryMenu->addAction(dxAct);
    unaryMenu->addAction(dyAct);
    unaryMenu->addAction(dxxAct);
    unaryMenu->addAction(dyyAct);
    unaryMenu->addAction(dxdyAct);
    unaryMenu->addSeparator();
    unaryMenu->addAction(curvatureAct);
    unaryMenu->addAction(exponentAct);
    unaryMenu->addAction(inverseAct);
    unaryMenu->addAction(laplacianAct);

    binaryMenu = menuBar()->addMenu(tr("Binary"));
    binaryMenu->setObjectName("binaryMenu");
    binaryMenu->addAction(addAct);
    binaryMenu->addAction(subAct);
    binaryMenu->addAction(mulAct);
    binaryMenu->addAction(divAct);
    binaryMenu->addAction(pconAct);

    complexMenu = menuBar()->addMenu(tr("Complex"));
    complexMenu->setObjectName("complexMenu");
    complexMenu->addAction(c2magAct);
    complexMenu->addAction(c2phaseAct);
    complexMenu->addAction(c2realAct);
    complexMenu->addAction(c2imagAct);
    complexMenu->addAction(fftAct);
    complexMenu->addAction(ifftAct);

    helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->setObjectName("helpMenu");
    helpMenu->addAction(aboutAct);
}

void ZVektoolMainWindow::createToolBars() {
    toolBar = addToolBar(tr("File"));
    toolBar->setObjectName("fileToolBar");
    toolBar->addAction(openAct);
    toolBar->addAction(reopenAct);
    toolBar->addAction(archiveAct);
    toolBar->addAction(saveAsAct);

    toolBar = addToolBar(tr("Edit"));
    toolBar->setObjectName("editToolBar");
    toolBar->addAction(copyAct);
    toolBar->addAction(pasteAct);
    toolBar->addAction(rerunAct);

    toolBar = addToolBar(tr("Display"));
    toolBar->setObjectName("displayToolBar");
    toolBar->addAction(viewAct);
    toolBar->addAction(modeAct);
}

void ZVektoolMainWindow::createStatusBar() { statusBar()->showMessage(tr("Ready")); }

void ZVektoolMainWindow::readSettings() {
    QSettings settings("ZVektool", "Vekstore Tool");
    QPoint pos = settings.value("pos", QPoint(200, 200)).toPoint();
    QSize size = settings.value("size", QSize(400, 400)).toSize();
    resize(size);
    move(pos);
}

// ---------------------------------------------------------------------------
// Slot rows and the enabling rule

int ZVektoolMainWindow::getRadioButtonStatus(_RADIO_GROUP row) {
    QRadioButton **radios = nullptr;
    switch (row) {
    case INPUT_1: radios = input1Radios; break;
    case INPUT_2: radios = input2Radios; break;
    case OUTPUT: radios = outputRadios; break;
    default: return -1;
    }
    for (int i = 0; i < 8; ++i)
        if (radios[i]->isChecked()) return i;
    return -1;
}

namespace {
void setGroup(const std::vector<QWidget *> &widgets, const std::vector<QAction *> &actions,
              bool on) {
    for (QWidget *w : widgets) w->setEnabled(on);
    for (QAction *a : actions) a->setEnabled(on);
}

ZVEKHDR *slotImage(int slot) {
    return gZVektool && slot >= 0 && slot < 8 ? gZVektool->images[slot] : nullptr;
}
}  // namespace

void ZVektoolMainWindow::changeDisplayAccess(bool on) {
    setGroup(displayWidgets, displayActions, on);
}

void ZVektoolMainWindow::changeUnaryAccess(bool on) { setGroup(unaryWidgets, unaryActions, on); }

void ZVektoolMainWindow::changeBinaryAccess(bool on) {
    setGroup(binaryWidgets, binaryActions, on);
}

void ZVektoolMainWindow::disableButtons() {
    changeDisplayAccess(false);
    changeUnaryAccess(false);
    changeBinaryAccess(false);
}

void ZVektoolMainWindow::updateAccessability() {
    const int in1 = getRadioButtonStatus(INPUT_1);
    const int in2 = getRadioButtonStatus(INPUT_2);
    const int out = getRadioButtonStatus(OUTPUT);
    changeDisplayAccess(slotImage(out) != nullptr);
    if (slotImage(in1)) {
        changeUnaryAccess(true);
        changeBinaryAccess(slotImage(in2) != nullptr);
    } else {
        changeUnaryAccess(false);
        changeBinaryAccess(false);
    }
}

// ---------------------------------------------------------------------------
// Command buffers

int ZVektoolMainWindow::getUnaryBuffers(ZVEKHDR *&in, ZVEKHDR *&out, int &outSlot,
                                        _OP_TYPE kind) {
    const int in1 = getRadioButtonStatus(INPUT_1);
    outSlot = getRadioButtonStatus(OUTPUT);
    in = nullptr;
    out = nullptr;
    ZVEKHDR *input = slotImage(in1);
    if (!input || outSlot < 0) return -1;

    int32_t *size = Zveksiz(input);
    if (!size) return -1;
    int32_t dims[4] = {0, 0, 0, 0};
    for (int i = 0; i <= size[0] && i < 4; ++i) dims[i] = size[i];
    std::free(size);
    if (kind == FLOAT_2D_OUT) {
        // Columns and rows only; a 1-D input gives one row.
        if (dims[0] < 2) dims[2] = 1;
        dims[0] = 2;
    }
    ZVEKHDR *buffer = Zvekcreate(kind == COMPLEX_OUT ? "32cmp" : "float", dims, 11, 0);
    if (!buffer) return -1;

    // The Output slot keeps its image until the command has its result.
    gZVektool->scratchImage = buffer;
    in = input;
    out = buffer;
    return in1 == outSlot ? 1 : 0;
}

int ZVektoolMainWindow::getBinaryBuffers(ZVEKHDR *&in1, ZVEKHDR *&in2, ZVEKHDR *&out,
                                         int &outSlot) {
    const int i1 = getRadioButtonStatus(INPUT_1);
    const int i2 = getRadioButtonStatus(INPUT_2);
    outSlot = getRadioButtonStatus(OUTPUT);
    in1 = nullptr;
    in2 = nullptr;
    out = nullptr;
    ZVEKHDR *first = slotImage(i1);
    ZVEKHDR *second = slotImage(i2);
    if (!first || !second || outSlot < 0) return -1;

    int32_t *size = Zveksiz(first);
    if (!size) return -1;
    ZVEKHDR *buffer = Zvekcreate("float", size, 11, 0);
    std::free(size);
    if (!buffer) return -1;

    // The Output slot keeps its image and its view window until the command
    // has its result.
    in1 = first;
    in2 = second;
    out = buffer;
    return outSlot != i1 && outSlot != i2 ? 0 : 3;
}

// ---------------------------------------------------------------------------
// View-window register

void ZVektoolMainWindow::updateChildPtr(const QWidget *child, _UPDATE_TYPE type) {
    QMutexLocker lock(&childMutex);
    const int out = getRadioButtonStatus(OUTPUT);
    if (type == ADD_CHILD) {
        if (out < 0 || !child) return;
        childWindows[out] = const_cast<QWidget *>(child);
    } else if (type == REMOVE_CHILD) {
        for (QPointer<QWidget> &entry : childWindows)
            if (entry.data() == child) entry = nullptr;
    }
}

int ZVektoolMainWindow::getIndexFromChildPtr(const QWidget *child) const {
    for (int i = 0; i < 8; ++i)
        if (childWindows[i].data() == child) return i;
    return -1;
}

int ZVektoolMainWindow::getIndexFromChildPtr(const void *child) const {
    for (int i = 0; i < 8; ++i)
        if (static_cast<const void *>(childWindows[i].data()) == child) return i;
    return -1;
}

QWidget *ZVektoolMainWindow::childWindow(int slot) const {
    return slot >= 0 && slot < 8 ? childWindows[slot] : nullptr;
}

void ZVektoolMainWindow::deleteChildWindow(int slot) {
    if (slot < 0 || slot >= 8) return;
    QWidget *window;
    {
        QMutexLocker lock(&childMutex);
        window = childWindows[slot].data();
        if (!window) return;
        for (QPointer<QWidget> &entry : childWindows)
            if (entry.data() == window) entry = nullptr;
    }
    // The window's destructor reports to updateChildPtr: the lock is free.
    delete window;
}

// ---------------------------------------------------------------------------
// Console

void ZVektoolMainWindow::addConsoleOutput(QString text) {
    console->moveCursor(QTextCursor::End);
    console->insertPlainText(text);
    console->moveCursor(QTextCursor::End);
}

// ---------------------------------------------------------------------------
// Commands and file-open events

ZVektoolMainWindow::CommandScope::CommandScope(ZVektoolMainWindow *window) : window_(window) {
    ++window_->commandDepth;
}

ZVektoolMainWindow::CommandScope::~CommandScope() {
    if (--window_->commandDepth == 0 && !window_->queuedOpens.empty()) {
        ZVektoolMainWindow *window = window_;
        QTimer::singleShot(0, window, [window]() { window->runQueuedFileOpens(); });
    }
}

void ZVektoolMainWindow::queueFileOpen(const QString &path, int slot) {
    queuedOpens.emplace_back(path, slot);
}

void ZVektoolMainWindow::runQueuedFileOpens() {
    // A command that started meanwhile runs them when it ends.
    if (commandRunning()) return;
    std::vector<std::pair<QString, int>> opens;
    opens.swap(queuedOpens);
    for (const auto &open : opens) handleFileByPath(open.first, open.second);
}

// ---------------------------------------------------------------------------
// Command modes

void ZVektoolMainWindow::setCommandTexts() {
    const bool mode1 = commandMode == 1;
    for (const ButtonSpec &spec : kButtons)
        (this->*spec.field)->setText(tr(mode1 ? spec.text1 : spec.text0));
    laplacianAct->setStatusTip(mode1 ? tr("Quadratic Variation") : tr("Laplacian of the image"));
    curvatureAct->setStatusTip(mode1 ? tr("Use Harris operator to find corners")
                                     : tr("Curvature of the image"));
}

void ZVektoolMainWindow::mode() {
    if (commandMode == 0) {
        commandMode = 1;
        modeAct->setText(tr("Mode 1"));
    } else {
        commandMode = 0;
        modeAct->setText(tr("Mode 0"));
    }
    setCommandTexts();
}

// ---------------------------------------------------------------------------
// Loading

void ZVektoolMainWindow::replaceSlotImage(int slot, ZVEKHDR *image) {
    if (gZVektool->images[slot]) {
        Zvekfree(gZVektool->images[slot], 7);
        gZVektool->images[slot] = nullptr;
    }
    deleteChildWindow(slot);
    gZVektool->images[slot] = image;
}

void ZVektoolMainWindow::open() {
    if (commandRunning()) return;  // the running command's images must stay
    CommandScope scope(this);
    const QString start = openPath.isEmpty() ? QDir::homePath() : openPath;
    const QString path = zvekUi().openFile(this, tr("Open File"), start, "");
    if (path.isEmpty()) {
        zvekUi().message(tr("cannot open file"));
        return;
    }
    const int slot = getRadioButtonStatus(OUTPUT);
    addConsoleOutput("\nOpening " + path);
    handleFileByPath(path, slot);

    const QByteArray lastPathFile = lastPathFileName().toLocal8Bit();
    zvek::FileReplacement log(lastPathFile.constData());
    if (FILE *f = log.stream()) {
        std::fprintf(f, "%s\n", path.toLocal8Bit().constData());
        log.commit();
    } else {
        std::printf(" cannot open logging file\n");
        std::fflush(stdout);
    }
    updateAccessability();
}

void ZVektoolMainWindow::reopen() {
    if (commandRunning()) return;  // the running command's images must stay
    CommandScope scope(this);
    const int slot = getRadioButtonStatus(OUTPUT);
    if (!reopenPath.isEmpty()) {
        const QString path = reopenPath;
        addConsoleOutput("\nOpening " + path);
        handleFileByPath(path, slot);
        updateAccessability();
        return;
    }
    std::fflush(stdout);
    const QByteArray lastPathFile = lastPathFileName().toLocal8Bit();
    FILE *f = zvek::fopenRegular(lastPathFile.constData());
    if (!f) {
        std::printf("cannot open %s\n", lastPathFile.constData());
        std::fflush(stdout);
        return;
    }
    // The whole first line: a path may hold blanks.
    QByteArray line;
    for (int ch = std::fgetc(f); ch != EOF && ch != '\n'; ch = std::fgetc(f))
        line.append(static_cast<char>(ch));
    std::fclose(f);
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) return;
    const QString path = QString::fromLocal8Bit(line);
    addConsoleOutput("\nOpening " + path);
    handleFileByPath(path, slot);
    updateAccessability();
}

void ZVektoolMainWindow::handleFileByPath(QString path, int slot) {
    if (!gZVektool || slot < 0 || slot >= 8 || path.isEmpty()) return;
    CommandScope scope(this);
    const QByteArray local = path.toLocal8Bit();
    lastFileName = QFileInfo(path).fileName();
    openPath = path;
    reopenPath = path;
    std::fflush(stdout);

    ZVEKHDR *image = nullptr;
    QString typeName;  // data-type name of an own-format file
    PlaneStats pictureStats[3];
    bool measured = false;  // pictures are measured while they are converted
    if (local.endsWith("ZVekb")) {
        // The reader refuses anything but a regular file when it opens it.
        const QFileInfo info(path);
        ZVEKHDR *read = nullptr;
        if (info.isFile() && info.isReadable() && info.size() > 0)
            read = Zvekplotcontour(local.constData(), 0, 0, 0, 1.0f);
        if (!read) {
            zvekUi().message(info.exists() && !info.isFile() ? notRegularMessage(path)
                                                             : tr("Cannot read the boundary file %1").arg(path));
            return;
        }
        image = convertToFloat(read);
        Zvekfree(read, 7);
        if (!image) {
            zvekUi().message(tr("Cannot read the boundary file %1").arg(path));
            return;
        }
        zvekUi().notice(tr("Boundary file"), 1000, tr("message"));
    } else if (isOwnFormatPath(local)) {
        bool notRegular = false;
        ZVEKHDR *read = readImageFile(path, &notRegular);
        if (!read) {
            zvekUi().message(notRegular ? notRegularMessage(path) : tr("Cannot read the image file %1").arg(path));
            return;
        }
        const bool complex = read->dtype == DT_32CMP || read->dtype == DT_64CMP;
        typeName = QString::fromLatin1(read->vekdt);
        image = convertToFloat(read);
        Zvekfree(read, 7);
        if (!image) {
            zvekUi().message(complex ? tr("Complex images cannot be loaded: %1").arg(path)
                                     : tr("Cannot convert the image file %1 to float").arg(path));
            return;
        }
        zvekUi().notice(tr("Zvek image"), 1000, tr("message"));
    } else {
        zvekUi().notice(tr("non ZVEK"), 1000, tr("message"));
        bool notRegular = false;
        const QImage picture = loadPicture(path, &notRegular);
        if (!picture.isNull()) image = pictureToFloat(picture, pictureStats);
        measured = true;
        if (!image) {
            zvekUi().message(notRegular ? notRegularMessage(path) : tr("Cannot read the picture %1").arg(path));
            return;
        }
    }

    replaceSlotImage(slot, image);
    gZVektool->imageNames[slot] = lastFileName;
    addConsoleOutput(measured
                         ? statisticsText(image, pictureStats, typeName, &gZVektool->maxLabel)
                         : imageStatistics(image, typeName, &gZVektool->maxLabel));
    updateAccessability();
}

// ---------------------------------------------------------------------------
// Clipboard

void ZVektoolMainWindow::copy() {
    CommandScope scope(this);
    ZVEKHDR *source = slotImage(getRadioButtonStatus(OUTPUT));
    if (!source) {
        zvekUi().message(tr("Image Empty"));
        return;
    }
    ZVEKHDR *copied = duplicateImage(source);
    if (!copied) {
        zvekUi().message(tr("Cannot copy the image"));
        return;
    }
    if (clipboardImage) Zvekfree(clipboardImage, 7);
    clipboardImage = copied;
    pasteAct->setEnabled(true);
}

void ZVektoolMainWindow::paste() {
    if (commandRunning()) return;  // the running command's images must stay
    CommandScope scope(this);
    if (!clipboardImage) {
        zvekUi().message(tr("Nothing to paste"));
        return;
    }
    const int out = getRadioButtonStatus(OUTPUT);
    ZVEKHDR *copied = duplicateImage(clipboardImage);
    if (!copied || out < 0) {
        if (copied) Zvekfree(copied, 7);
        zvekUi().message(tr("Cannot paste the image"));
        return;
    }
    replaceSlotImage(out, copied);
    updateAccessability();
}

void ZVektoolMainWindow::delete_() {
    if (commandRunning()) return;  // the running command's images must stay
    CommandScope scope(this);
    const int out = getRadioButtonStatus(OUTPUT);
    if (slotImage(out)) {
        Zvekfree(gZVektool->images[out], 7);
        gZVektool->images[out] = nullptr;
        deleteChildWindow(out);
    }
    updateAccessability();
}
