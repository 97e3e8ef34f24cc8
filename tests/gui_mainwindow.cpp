// Tests of the control panel: start-up state, layout, actions, menus,
// toolbars, settings, the enabling rule, command modes, command buffers and
// the view-window register.
#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>

#include "gui_fixture.h"

namespace {

std::vector<QPushButton *> allButtons(ZVektoolMainWindow *mw) {
    return {mw->dxButton,  mw->dyButton,     mw->dxxButton,  mw->dyyButton,       mw->dxyButton,
            mw->curvButton, mw->expButton,   mw->invButton,  mw->lapButton,       mw->lnButton,
            mw->histeqButton, mw->cmapButton, mw->blurButton, mw->cclButton,      mw->addButton,
            mw->subButton,  mw->mulButton,   mw->divButton,  mw->gdirButton, mw->correlateButton,
            mw->pconButton};
}

std::vector<QPushButton *> unaryButtons(ZVektoolMainWindow *mw) {
    auto b = allButtons(mw);
    return {b.begin(), b.begin() + 14};
}

std::vector<QPushButton *> binaryButtons(ZVektoolMainWindow *mw) {
    auto b = allButtons(mw);
    return {b.begin() + 14, b.end()};
}

std::vector<QAction *> displayActions(ZVektoolMainWindow *mw) {
    return {mw->cutAct, mw->copyAct, mw->deleteAct, mw->viewAct};
}

std::vector<QAction *> unaryActions(ZVektoolMainWindow *mw) {
    return {mw->dxAct,        mw->dyAct,      mw->dxxAct,      mw->dyyAct,   mw->dxdyAct,
            mw->curvatureAct, mw->exponentAct, mw->inverseAct, mw->laplacianAct, mw->c2magAct,
            mw->c2phaseAct,   mw->c2realAct,  mw->c2imagAct,   mw->fftAct,   mw->ifftAct};
}

std::vector<QAction *> binaryActions(ZVektoolMainWindow *mw) {
    return {mw->addAct, mw->subAct, mw->mulAct, mw->divAct, mw->pconAct};
}

// "on", "off" or "mixed" for a group.
template <typename T>
std::string groupState(const std::vector<T *> &members) {
    int on = 0;
    for (T *m : members) on += m->isEnabled() ? 1 : 0;
    if (on == static_cast<int>(members.size())) return "on";
    return on == 0 ? "off" : "mixed";
}

struct Groups {
    std::string display, unary, binary;
};

Groups groups(ZVektoolMainWindow *mw) {
    Groups g;
    g.display = groupState(displayActions(mw));
    std::string ub = groupState(unaryButtons(mw)), ua = groupState(unaryActions(mw));
    std::string bb = groupState(binaryButtons(mw)), ba = groupState(binaryActions(mw));
    g.unary = ub == ua ? ub : "buttons " + ub + " actions " + ua;
    g.binary = bb == ba ? bb : "buttons " + bb + " actions " + ba;
    return g;
}

// Texts of the entries of a menu or toolbar, "-" for a separator.
QStringList entryTexts(const QList<QAction *> &actions) {
    QStringList texts;
    for (QAction *a : actions) texts << (a->isSeparator() ? QString("-") : a->text());
    return texts;
}

// A stand-in for a view window: it reports its end to the register, as the
// view window does.
class ReportingWindow : public QWidget {
public:
    explicit ReportingWindow(ZVektoolMainWindow *mw) : QWidget(mw, Qt::Window), mw_(mw) {}
    ~ReportingWindow() override { mw_->updateChildPtr(this, REMOVE_CHILD); }

private:
    ZVektoolMainWindow *mw_;
};

}  // namespace

TEST_F(GuiTest, StartUpState) {
    EXPECT_EQ(mw->windowTitle(), "ZvekTool Version 10.2");
    EXPECT_TRUE(mw->isVisible());
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(mw->input1Radios[i]->isChecked(), i == 0) << i;
        EXPECT_EQ(mw->input2Radios[i]->isChecked(), i == 0) << i;
        EXPECT_EQ(mw->outputRadios[i]->isChecked(), i == 0) << i;
    }
    for (QPushButton *b : allButtons(mw)) EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    for (auto *list : {new std::vector<QAction *>(displayActions(mw)),
                       new std::vector<QAction *>(unaryActions(mw)),
                       new std::vector<QAction *>(binaryActions(mw))}) {
        for (QAction *a : *list) EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
        delete list;
    }
    EXPECT_FALSE(mw->pasteAct->isEnabled());
    EXPECT_FALSE(mw->rerunAct->isEnabled());
    for (QAction *a : {mw->openAct, mw->reopenAct, mw->aboutAct, mw->archiveAct, mw->saveAsAct,
                       mw->runScriptAct, mw->exitAct, mw->modeAct})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(mw->console->toPlainText(), ">> Console");
    EXPECT_TRUE(mw->console->isReadOnly());
    EXPECT_EQ(mw->statusBar()->currentMessage(), "Ready");
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(controller->images[i], nullptr);
        EXPECT_TRUE(controller->imageNames[i].isEmpty());
        EXPECT_EQ(mw->childWindow(i), nullptr);
    }
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_EQ(controller->maxLabel, 0);
    EXPECT_EQ(controller->prevClickCol, 0);
    EXPECT_EQ(controller->prevClickRow, 0);
    EXPECT_EQ(controller->lastClickCol, 0);
    EXPECT_EQ(controller->lastClickRow, 0);
    EXPECT_EQ(mw->getCommandMode(), 0);
    // Settings store without the keys: placed at (200, 200).
    EXPECT_EQ(mw->pos(), QPoint(200, 200));
}

TEST(GuiSettings, PositionAndSizeComeFromTheStore) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        QSettings store("ZVektool", "Vekstore Tool");
        store.setValue("pos", QPoint(57, 61));
        store.setValue("size", QSize(1500, 900));
    }
    ZVektoolMainWindow mw;
    EXPECT_EQ(mw.pos(), QPoint(57, 61));
    EXPECT_EQ(mw.size(), QSize(1500, 900));
    // Closing stores nothing.
    mw.close();
    QSettings store("ZVektool", "Vekstore Tool");
    EXPECT_EQ(store.value("pos").toPoint(), QPoint(57, 61));
    EXPECT_EQ(store.allKeys().size(), 2);
}

TEST_F(GuiTest, ControlPanelLayout) {
    EXPECT_EQ(mw->centralWidget(), mw->centralBox);
    EXPECT_TRUE(mw->centralBox->title().isEmpty());
    EXPECT_EQ(mw->centralLayout->itemAt(0)->widget(), mw->controlPanelBox);
    EXPECT_EQ(mw->centralLayout->itemAt(1)->widget(), mw->console);
    EXPECT_EQ(mw->controlPanelBox->title(), "Control Panel Version 2.1");
    EXPECT_EQ(mw->controlPanelLayout->itemAt(0)->widget(), mw->imageSelectBox);
    EXPECT_EQ(mw->controlPanelLayout->itemAt(1)->widget(), mw->commandBox);
    EXPECT_EQ(mw->imageSelectBox->title(), "Image Select");
    EXPECT_EQ(mw->commandBox->title(), "Command");
    EXPECT_EQ(mw->unaryBox->title(), "Unary");
    EXPECT_EQ(mw->binaryBox->title(), "Binary");
    EXPECT_EQ(mw->commandLayout->itemAt(0)->widget(), mw->unaryBox);
    EXPECT_EQ(mw->commandLayout->itemAt(1)->widget(), mw->binaryBox);

    QGroupBox *rowBoxes[] = {mw->input1Box, mw->input2Box, mw->outputBox};
    const char *rowTitles[] = {"Input 1", "Input 2", "Output"};
    QRadioButton **rows[] = {mw->input1Radios, mw->input2Radios, mw->outputRadios};
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(mw->imageSelectLayout->itemAt(r)->widget(), rowBoxes[r]);
        EXPECT_EQ(rowBoxes[r]->title(), rowTitles[r]);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(rows[r][i]->text(), QString::number(i));
            EXPECT_TRUE(rows[r][i]->autoExclusive());
            EXPECT_EQ(rowBoxes[r]->layout()->itemAt(i)->widget(), rows[r][i]);
        }
    }

    struct Cell {
        QPushButton *button;
        const char *text;
        int row, column;
        const char *tip;
    };
    const Cell cells[] = {
        {mw->dxButton, "DX", 0, 1,
         "First deriv wrt to x using convolution with derivative of a Gaussian"},
        {mw->dyButton, "DY", 1, 1,
         "First deriv wrt to y using convolution with derivative of a Gaussian"},
        {mw->dxxButton, "DXX", 2, 1,
         "Second deriv wrt to x using convolution with derivative of a Gaussian"},
        {mw->dyyButton, "DYY", 3, 1,
         "Second deriv wrt to y using convolution with derivative of a Gaussian"},
        {mw->dxyButton, "DXY", 4, 1,
         "second deriv wrt to xy using convolution with derivative of a Gaussian"},
        {mw->cclButton, "CCL", 5, 1, "connected components"},
        {mw->blurButton, "Blur", 6, 1,
         "Blur the image with a Gaussian with user-selectable variance."},
        {mw->expButton, "Exp", 0, 2, "Exponentiate each pixel."},
        {mw->invButton, "Inv", 1, 2, "output=max-input"},
        {mw->lapButton, "Lap", 2, 2, "Calculate the Lapacian or QV at each pixel"},
        {mw->curvButton, "Curv", 3, 2, "Calculate the curvature of the level set at each point"},
        {mw->histeqButton, "Histeq", 4, 2, "Histogram equalization"},
        {mw->cmapButton, "CMap", 5, 2,
         "Replace each pixel with a color corresponding to brightness\n 0:gray scale\n1:inverse "
         "gray scale\n2:Bronson\n3:hot metal\n4:heated specturm\n5:log\n6:random"},
        {mw->lnButton, "Ln", 6, 2, ""},
    };
    EXPECT_EQ(mw->unaryLayout->count(), 14);
    for (const Cell &cell : cells) {
        int index = mw->unaryLayout->indexOf(cell.button);
        ASSERT_GE(index, 0) << cell.text;
        int row, column, rowSpan, columnSpan;
        mw->unaryLayout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        EXPECT_EQ(row, cell.row) << cell.text;
        EXPECT_EQ(column, cell.column) << cell.text;
        EXPECT_EQ(cell.button->text(), cell.text);
        EXPECT_EQ(cell.button->toolTip(), cell.tip) << cell.text;
    }
    // Grid column 0 stays empty.
    for (int row = 0; row < 7; ++row) EXPECT_EQ(mw->unaryLayout->itemAtPosition(row, 0), nullptr);

    const QStringList binaryTexts = {"Add", "Sub", "Mul", "Div", "pcon", "N/A", "Correlate"};
    QPushButton *binaryOrder[] = {mw->addButton, mw->subButton, mw->mulButton, mw->divButton,
                                  mw->pconButton, mw->gdirButton, mw->correlateButton};
    ASSERT_EQ(mw->binaryLayout->count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(mw->binaryLayout->itemAt(i)->widget(), binaryOrder[i]);
        EXPECT_EQ(binaryOrder[i]->text(), binaryTexts[i]);
        EXPECT_TRUE(binaryOrder[i]->toolTip().isEmpty());
    }
    // Widgets are found by their field names.
    EXPECT_EQ(mw->findChild<QPushButton *>("correlateButton"), mw->correlateButton);
    EXPECT_EQ(mw->findChild<QAction *>("saveAsAct"), mw->saveAsAct);
    EXPECT_EQ(mw->findChild<QRadioButton *>("outputRadios3"), mw->outputRadios[3]);
}

TEST_F(GuiTest, ActionsMenusAndToolbars) {
    struct Row {
        QAction *action;
        const char *text;
        bool icon;
        QKeySequence::StandardKey key;
        const char *tip;
    };
    const Row rows[] = {
        {mw->openAct, "&Read", true, QKeySequence::Open, "Open an existing file"},
        {mw->reopenAct, "&Reopen", true, QKeySequence::UnknownKey, "Reopen an existing file"},
        {mw->aboutAct, "&About", false, QKeySequence::UnknownKey,
         "Show the application's About box"},
        {mw->archiveAct, "&Archive", false, QKeySequence::UnknownKey,
         "Move the work image into the main image, overwriting the original."},
        {mw->saveAsAct, "&SaveAs", true, QKeySequence::SaveAs,
         "Save the image selected as OUTPUT under a new name, including conversion."},
        {mw->runScriptAct, "Run Script", true, QKeySequence::UnknownKey,
         "Run a script on an image, read output back"},
        {mw->exitAct, "E&xit", false, QKeySequence::Quit, "Exit the application"},
        {mw->cutAct, "Cu&t", true, QKeySequence::Cut,
         "Cut the current selection's contents to the clipboard"},
        {mw->copyAct, "&Copy", true, QKeySequence::Copy,
         "Copy the current selection's contents to the clipboard"},
        {mw->pasteAct, "&Paste", true, QKeySequence::Paste,
         "Paste the clipboard's contents into output buffer"},
        {mw->deleteAct, "&Delete", true, QKeySequence::Delete, "Deletes the output buffer"},
        {mw->viewAct, "&View", true, QKeySequence::UnknownKey,
         "Display the selected output buffer"},
        {mw->modeAct, "&Mode 0", false, QKeySequence::UnknownKey, "Does mode things"},
        {mw->rerunAct, "&ReRun", true, QKeySequence::UnknownKey, "Run the last script again."},
        {mw->dxAct, "DX", false, QKeySequence::UnknownKey, "First derivative wrt x of the image"},
        {mw->dyAct, "DY", false, QKeySequence::UnknownKey, "First derivative wrt y of the image"},
        {mw->dxxAct, "DXX", false, QKeySequence::UnknownKey,
         "Second derivative wrt x of the image"},
        {mw->dyyAct, "DYY", false, QKeySequence::UnknownKey,
         "Second derivative wrt y of the image"},
        {mw->dxdyAct, "DXDY", false, QKeySequence::UnknownKey,
         "Second derivative wrt x and y of the image"},
        {mw->curvatureAct, "Curvature", false, QKeySequence::UnknownKey, "Curvature of the image"},
        {mw->exponentAct, "Exponent", false, QKeySequence::UnknownKey, "Exponent of the image"},
        {mw->inverseAct, "Inverse", false, QKeySequence::UnknownKey, "Inverse of the image"},
        {mw->laplacianAct, "Laplacian", false, QKeySequence::UnknownKey, "Laplacian of the image"},
        {mw->addAct, "Add", false, QKeySequence::UnknownKey,
         "Adds inp1 and inp2 and saves it in output"},
        {mw->subAct, "Sub", false, QKeySequence::UnknownKey,
         "Subtracts inp2 from inp1 and saves it in output"},
        {mw->mulAct, "Mul", false, QKeySequence::UnknownKey,
         "Multiplies inp2 from inp1 and saves it in output"},
        {mw->divAct, "div", false, QKeySequence::UnknownKey,
         "divides inp1 by inp1 and saves it in output"},
        {mw->pconAct, "pcon", false, QKeySequence::UnknownKey,
         "segments an image using piecewise-constant MFA"},
        {mw->c2magAct, "ComlexMag", false, QKeySequence::UnknownKey, "Complex magnitude"},
        {mw->c2phaseAct, "ComlexPhase", false, QKeySequence::UnknownKey, "Complex phase"},
        {mw->c2realAct, "Real", false, QKeySequence::UnknownKey, "Real"},
        {mw->c2imagAct, "Imaginary", false, QKeySequence::UnknownKey, "Complex imaginary"},
        {mw->fftAct, "FFT", false, QKeySequence::UnknownKey, "Fast Fourier Tranform"},
        {mw->ifftAct, "IFFT", false, QKeySequence::UnknownKey, "Inverse Fast Fourier Tranform"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.action->text(), row.text);
        EXPECT_EQ(row.action->statusTip(), row.tip);
        EXPECT_EQ(row.action->parent(), mw);
        EXPECT_EQ(!row.action->icon().availableSizes().isEmpty(), row.icon);
        if (row.key == QKeySequence::UnknownKey)
            EXPECT_TRUE(row.action->shortcuts().isEmpty());
        else
            EXPECT_EQ(row.action->shortcuts(), QKeySequence::keyBindings(row.key));
    }

    QStringList menuTitles;
    for (QAction *a : mw->menuBar()->actions()) menuTitles << a->text();
    EXPECT_EQ(menuTitles, QStringList({"&File", "&Edit", "Display", "Unary", "Binary", "Complex",
                                       "&Help"}));
    EXPECT_EQ(entryTexts(mw->fileMenu->actions()),
              QStringList({"&Read", "&Reopen", "&Archive", "&SaveAs", "Run Script", "-", "E&xit"}));
    EXPECT_EQ(entryTexts(mw->editMenu->actions()),
              QStringList({"Cu&t", "&Copy", "&Paste", "&Delete"}));
    EXPECT_EQ(entryTexts(mw->displayMenu->actions()), QStringList({"&View"}));
    EXPECT_EQ(entryTexts(mw->unaryMenu->actions()),
              QStringList({"DX", "DY", "DXX", "DYY", "DXDY", "-", "Curvature", "Exponent",
                           "Inverse", "Laplacian"}));
    EXPECT_EQ(entryTexts(mw->binaryMenu->actions()),
              QStringList({"Add", "Sub", "Mul", "div", "pcon"}));
    EXPECT_EQ(entryTexts(mw->complexMenu->actions()),
              QStringList({"ComlexMag", "ComlexPhase", "Real", "Imaginary", "FFT", "IFFT"}));
    EXPECT_EQ(entryTexts(mw->helpMenu->actions()), QStringList({"&About"}));

    QList<QToolBar *> bars = mw->findChildren<QToolBar *>();
    ASSERT_EQ(bars.size(), 3);
    std::sort(bars.begin(), bars.end(), [&](QToolBar *a, QToolBar *b) {
        return mw->toolBarArea(a) == mw->toolBarArea(b) && a->x() < b->x();
    });
    QStringList titles;
    for (QToolBar *bar : bars) titles << bar->windowTitle();
    EXPECT_EQ(titles, QStringList({"File", "Edit", "Display"}));
    EXPECT_EQ(entryTexts(bars[0]->actions()),
              QStringList({"&Read", "&Reopen", "&Archive", "&SaveAs"}));
    EXPECT_EQ(entryTexts(bars[1]->actions()), QStringList({"&Copy", "&Paste", "&ReRun"}));
    EXPECT_EQ(entryTexts(bars[2]->actions()), QStringList({"&View", "&Mode 0"}));
    EXPECT_EQ(mw->toolBar, bars[2]);
}

TEST_F(GuiTest, ExitClosesTheWindow) {
    mw->exitAct->trigger();
    EXPECT_FALSE(mw->isVisible());
}

TEST_F(GuiTest, EnablingRuleFollowsTheSlots) {
    // Loading into slot 0 with every row on slot 0: all three groups on.
    controller->images[0] = makeFloat({2, 4, 3});
    mw->updateAccessability();
    Groups g = groups(mw);
    EXPECT_EQ(g.display, "on");
    EXPECT_EQ(g.unary, "on");
    EXPECT_EQ(g.binary, "on");

    // Input 1 on slot 2 (image), Input 2 on slot 5 (empty), Output on 7 (empty).
    controller->images[2] = makeFloat({2, 4, 3});
    select(2, 5, 7);
    g = groups(mw);
    EXPECT_EQ(g.display, "off");
    EXPECT_EQ(g.unary, "on");
    EXPECT_EQ(g.binary, "off");

    // Output on a full slot, Input 1 on an empty one.
    select(6, 0, 0);
    g = groups(mw);
    EXPECT_EQ(g.display, "on");
    EXPECT_EQ(g.unary, "off");
    EXPECT_EQ(g.binary, "off");

    // Both inputs full: binary on; the types and sizes are not looked at.
    controller->images[5] = makeFloat({3, 2, 2, 3});
    select(2, 5, 7);
    g = groups(mw);
    EXPECT_EQ(g.display, "off");
    EXPECT_EQ(g.unary, "on");
    EXPECT_EQ(g.binary, "on");

    // "&Paste" and "&ReRun" belong to no group.
    EXPECT_FALSE(mw->pasteAct->isEnabled());
    EXPECT_FALSE(mw->rerunAct->isEnabled());

    // Clicking the checked button keeps it checked and runs the rule again.
    mw->disableButtons();
    EXPECT_EQ(groups(mw).unary, "off");
    mw->input1Radios[2]->click();
    EXPECT_TRUE(mw->input1Radios[2]->isChecked());
    EXPECT_EQ(mw->getRadioButtonStatus(INPUT_1), 2);
    EXPECT_EQ(groups(mw).unary, "on");
    EXPECT_EQ(groups(mw).binary, "on");

    EXPECT_EQ(mw->getRadioButtonStatus(INPUT_2), 5);
    EXPECT_EQ(mw->getRadioButtonStatus(OUTPUT), 7);
    EXPECT_EQ(mw->getRadioButtonStatus(static_cast<_RADIO_GROUP>(2)), -1);
}

TEST_F(GuiTest, CommandModesRelabelTheButtons) {
    const QStringList mode0 = {"DX",  "DY",  "DXX", "DYY",  "DXY", "Curv", "Exp",
                               "Inv", "Lap", "Ln",  "Histeq", "CMap", "Blur", "CCL",
                               "Add", "Sub", "Mul", "Div",  "N/A", "Correlate", "pcon"};
    const QStringList mode1 = {"HoG",    "ShowHoG", "gMag", "gDir", "Clr2Gray", "HarrisOp", "Crop",
                               "Resize", "Qvar",    "N/A",  "MarkMax", "N/A",   "N/A",      "ABS",
                               "N/A",    "N/A",     "N/A",  "N/A",  "N/A",      "N/A",      "N/A"};
    auto texts = [&]() {
        QStringList t;
        for (QPushButton *b : allButtons(mw)) t << b->text();
        return t;
    };
    ASSERT_EQ(texts(), mode0);
    const QString dxTip = mw->dxButton->toolTip();

    mw->modeAct->trigger();
    EXPECT_EQ(mw->getCommandMode(), 1);
    EXPECT_EQ(mw->modeAct->text(), "Mode 1");
    EXPECT_EQ(texts(), mode1);
    EXPECT_EQ(mw->laplacianAct->statusTip(), "Quadratic Variation");
    EXPECT_EQ(mw->curvatureAct->statusTip(), "Use Harris operator to find corners");
    EXPECT_EQ(mw->laplacianAct->text(), "Laplacian");
    EXPECT_EQ(mw->dxButton->toolTip(), dxTip);
    // Toggling enables nothing.
    Groups g = groups(mw);
    EXPECT_EQ(g.display, "off");
    EXPECT_EQ(g.unary, "off");
    EXPECT_EQ(g.binary, "off");

    mw->modeAct->trigger();
    EXPECT_EQ(mw->getCommandMode(), 0);
    EXPECT_EQ(mw->modeAct->text(), "Mode 0");
    EXPECT_EQ(texts(), mode0);
    EXPECT_EQ(mw->laplacianAct->statusTip(), "Laplacian of the image");
    EXPECT_EQ(mw->curvatureAct->statusTip(), "Curvature of the image");
}

TEST_F(GuiTest, UnaryBuffers) {
    ZVEKHDR *in = reinterpret_cast<ZVEKHDR *>(0x1), *out = reinterpret_cast<ZVEKHDR *>(0x1);
    int outSlot = -7;
    // Empty Input 1: -1, null buffers, Output slot reported.
    select(0, 0, 3);
    EXPECT_EQ(mw->getUnaryBuffers(in, out, outSlot, FLOAT_OUT), -1);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outSlot, 3);

    // Input 1 = Output = slot 4, three frames, two-dimensional kind: answer 1,
    // the scratch image is a 2-D float of the input's columns and rows.
    ZVEKHDR *colour = makeFloat({3, 5, 4, 3}, [](int i) { return float(i); });
    controller->images[4] = colour;
    select(4, 0, 4);
    ASSERT_EQ(mw->getUnaryBuffers(in, out, outSlot, FLOAT_2D_OUT), 1);
    EXPECT_EQ(outSlot, 4);
    EXPECT_EQ(in, colour);
    EXPECT_EQ(out, controller->scratchImage);
    EXPECT_EQ(controller->images[4], colour);
    EXPECT_EQ(out->vekndim, 2);
    EXPECT_EQ(out->dtype, DT_32FLT);
    EXPECT_EQ(Zvekdimen(out, 0), 5);
    EXPECT_EQ(Zvekdimen(out, 1), 4);
    Zvekfree(controller->scratchImage, 7);
    controller->scratchImage = nullptr;

    // Input 1 on slot 0, Output on slot 1 with an image and a view window:
    // a zero float image of slot 0's size is made aside, the Output slot
    // keeps its image and its window until the command hands its result over.
    controller->images[0] = makeFloat({2, 6, 2}, [](int i) { return float(i + 1); });
    ZVEKHDR *old = makeFloat({2, 3, 3});
    controller->images[1] = old;
    select(0, 0, 1);
    QWidget window(mw, Qt::Window);
    mw->updateChildPtr(&window, ADD_CHILD);
    ASSERT_EQ(mw->getUnaryBuffers(in, out, outSlot, FLOAT_OUT), 0);
    EXPECT_EQ(outSlot, 1);
    EXPECT_EQ(in, controller->images[0]);
    EXPECT_EQ(out, controller->scratchImage);
    EXPECT_EQ(controller->images[1], old);
    EXPECT_EQ(Zvekdimen(out, 0), 6);
    EXPECT_EQ(Zvekdimen(out, 1), 2);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(static_cast<float *>(out->vekptr)[i], 0.0f);
    EXPECT_EQ(mw->childWindow(1), &window);
    Zvekfree(out, 7);

    // The complex kind makes "32cmp".
    ASSERT_EQ(mw->getUnaryBuffers(in, out, outSlot, COMPLEX_OUT), 0);
    EXPECT_EQ(out->dtype, DT_32CMP);
    EXPECT_EQ(controller->images[1], old);
    Zvekfree(out, 7);

    // A 1-D Input 1 with the two-dimensional kind gets {2, columns, 1}.
    int32_t line[2] = {1, 7};
    controller->images[6] = Zvekcreate("float", line, 11, 0);
    select(6, 0, 2);
    ASSERT_EQ(mw->getUnaryBuffers(in, out, outSlot, FLOAT_2D_OUT), 0);
    EXPECT_EQ(out->vekndim, 2);
    EXPECT_EQ(Zvekdimen(out, 0), 7);
    EXPECT_EQ(Zvekdimen(out, 1), 1);
    mw->updateChildPtr(&window, REMOVE_CHILD);
}

TEST_F(GuiTest, BinaryBuffers) {
    ZVEKHDR *in1, *in2, *out;
    int outSlot = -1;
    ZVEKHDR *a = makeFloat({2, 4, 2}, [](int i) { return float(i); });
    ZVEKHDR *b = makeFloat({2, 3, 3}, [](int i) { return float(10 + i); });
    controller->images[2] = a;
    controller->images[5] = b;

    // Empty Input 2: -1 and the Output slot's window and image stay.
    ZVEKHDR *old = makeFloat({2, 2, 2});
    controller->images[7] = old;
    select(2, 6, 7);
    QPointer<QWidget> window = new QWidget(mw, Qt::Window);
    mw->updateChildPtr(window, ADD_CHILD);
    EXPECT_EQ(mw->getBinaryBuffers(in1, in2, out, outSlot), -1);
    EXPECT_EQ(outSlot, 7);
    EXPECT_EQ(in1, nullptr);
    EXPECT_EQ(in2, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(window.isNull());
    EXPECT_EQ(controller->images[7], old);

    // Output apart from both inputs: 0, a zero float image of Input 1's size
    // made aside; the Output slot keeps its image and its window until the
    // command stores its result.
    select(2, 5, 7);
    ASSERT_EQ(mw->getBinaryBuffers(in1, in2, out, outSlot), 0);
    EXPECT_FALSE(window.isNull());
    EXPECT_EQ(in1, a);
    EXPECT_EQ(in2, b);
    EXPECT_EQ(controller->images[7], old);
    EXPECT_EQ(out->dtype, DT_32FLT);
    EXPECT_EQ(Zvekdimen(out, 0), 4);
    EXPECT_EQ(Zvekdimen(out, 1), 2);
    Zvekfree(out, 7);

    // Output equal to Input 2: 3, both inputs stay.
    select(2, 5, 5);
    ASSERT_EQ(mw->getBinaryBuffers(in1, in2, out, outSlot), 3);
    EXPECT_EQ(outSlot, 5);
    EXPECT_EQ(controller->images[2], a);
    EXPECT_EQ(controller->images[5], b);
    EXPECT_NE(out, a);
    EXPECT_NE(out, b);
    EXPECT_EQ(Zvekdimen(out, 0), 4);
    EXPECT_EQ(static_cast<float *>(b->vekptr)[8], 18.0f);
    Zvekfree(out, 7);
}

TEST_F(GuiTest, ViewWindowRegister) {
    QWidget stranger(nullptr);
    mw->outputRadios[3]->click();
    auto *w3 = new ReportingWindow(mw);
    mw->updateChildPtr(w3, ADD_CHILD);
    EXPECT_EQ(mw->getIndexFromChildPtr(w3), 3);
    EXPECT_EQ(mw->getIndexFromChildPtr(static_cast<const void *>(w3)), 3);
    EXPECT_EQ(mw->childWindow(3), w3);

    mw->outputRadios[6]->click();
    auto *w6 = new ReportingWindow(mw);
    mw->updateChildPtr(w6, ADD_CHILD);
    EXPECT_EQ(mw->getIndexFromChildPtr(w6), 6);

    // Removing a window registered nowhere changes nothing.
    mw->updateChildPtr(&stranger, REMOVE_CHILD);
    EXPECT_EQ(mw->getIndexFromChildPtr(&stranger), -1);
    EXPECT_EQ(mw->childWindow(3), w3);
    EXPECT_EQ(mw->childWindow(6), w6);
    // An update type other than the two does nothing.
    mw->updateChildPtr(w3, static_cast<_UPDATE_TYPE>(5));
    EXPECT_EQ(mw->childWindow(3), w3);

    // Deleting a window that reports its end from its destructor: the lock is
    // free at that moment (a held lock would hang here).
    mw->deleteChildWindow(3);
    EXPECT_EQ(mw->childWindow(3), nullptr);
    EXPECT_EQ(mw->childWindow(6), w6);

    // A window closed by the user with delete-on-close leaves the register.
    w6->setAttribute(Qt::WA_DeleteOnClose);
    w6->close();
    pumpEvents(50);
    EXPECT_EQ(mw->childWindow(6), nullptr);
}

TEST_F(GuiTest, ConsoleAppendsAtTheEnd) {
    mw->addConsoleOutput("");
    EXPECT_EQ(consoleText(), ">> Console");
    EXPECT_EQ(mw->console->textCursor().position(), QString(">> Console").size());
    // The user's cursor is somewhere else: text still goes to the end.
    QTextCursor cursor = mw->console->textCursor();
    cursor.setPosition(2);
    mw->console->setTextCursor(cursor);
    mw->addConsoleOutput("\nabc");
    mw->addConsoleOutput(" def");
    EXPECT_EQ(consoleText(), ">> Console\nabc def");
    EXPECT_EQ(mw->console->textCursor().position(), consoleText().size());
}

namespace {
// Refuses image headers and data, grants the small size vectors.
void *refuseAllocation(size_t count, size_t size) {
    return count * size > 100 ? nullptr : std::calloc(count, size);
}
}  // namespace

TEST_F(GuiTest, BuffersThatCannotBeMadeAreAFailure) {
    ZVEKHDR *input = makeFloat({2, 4, 4}, [](int i) { return float(i); });
    ZVEKHDR *old = makeFloat({2, 2, 2});
    controller->images[0] = input;
    controller->images[5] = makeFloat({2, 3, 3});
    controller->images[1] = old;
    select(0, 5, 1);
    ZVEKHDR *in = nullptr, *in2 = nullptr, *out = nullptr;
    int outSlot = -1;
    auto *saved = Zvek_alcptr;
    Zvek_alcptr = refuseAllocation;
    testing::internal::CaptureStderr();
    const int unary = mw->getUnaryBuffers(in, out, outSlot, FLOAT_OUT);
    const int binary = mw->getBinaryBuffers(in, in2, out, outSlot);
    mw->input1Radios[1]->click();
    const int same = mw->getUnaryBuffers(in, out, outSlot, COMPLEX_OUT);
    const std::string errors = testing::internal::GetCapturedStderr();
    Zvek_alcptr = saved;
    EXPECT_EQ(unary, -1);
    EXPECT_EQ(binary, -1);
    EXPECT_EQ(same, -1);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(in2, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outSlot, 1);
    // The Output slot keeps its image; the library reported the failure.
    EXPECT_EQ(controller->images[1], old);
    EXPECT_EQ(controller->images[0], input);
    EXPECT_EQ(controller->scratchImage, nullptr);
    EXPECT_NE(errors.find("Zvekcreate: can't allocate space for image header"), std::string::npos)
        << errors;
}

TEST_F(GuiTest, ButtonsAndActionsReachTheirCommandSlots) {
    // Buttons run their commands on released(), never on clicked(); actions on
    // triggered(). A command whose slot is not part of the window is
    // connected to nothing. (disconnect() answers whether a connection was
    // there.)
    auto slotCode = [](const char *name) { return QByteArray("1") + name + "()"; };
    auto hasSlot = [&](const char *name) {
        return mw->metaObject()->indexOfSlot((QByteArray(name) + "()").constData()) >= 0;
    };
    const std::pair<QPushButton *, const char *> buttons[] = {
        {mw->dxButton, "dx"},          {mw->dyButton, "dy"},
        {mw->dxxButton, "dxx"},        {mw->dyyButton, "dyy"},
        {mw->dxyButton, "dxdy"},       {mw->lnButton, "natlog"},
        {mw->expButton, "exponent"},   {mw->invButton, "inverse"},
        {mw->lapButton, "laplacian"},  {mw->curvButton, "curvature"},
        {mw->histeqButton, "histeq"},  {mw->cmapButton, "pseudo"},
        {mw->cclButton, "ccl"},        {mw->blurButton, "blur"},
        {mw->addButton, "add"},        {mw->subButton, "sub"},
        {mw->mulButton, "mul"},        {mw->divButton, "div"},
        {mw->pconButton, "pcon"},      {mw->gdirButton, "gdir"},
        {mw->correlateButton, "correlate"},
    };
    for (const auto &b : buttons) {
        SCOPED_TRACE(b.second);
        EXPECT_FALSE(QObject::disconnect(b.first, SIGNAL(clicked()), mw, nullptr));
        EXPECT_FALSE(QObject::disconnect(b.first, SIGNAL(pressed()), mw, nullptr));
        if (hasSlot(b.second)) {
            EXPECT_TRUE(QObject::disconnect(b.first, SIGNAL(released()), mw,
                                            slotCode(b.second).constData()));
        }
        EXPECT_FALSE(QObject::disconnect(b.first, SIGNAL(released()), mw, nullptr));
    }

    const std::pair<QAction *, const char *> actions[] = {
        {mw->openAct, "open"},         {mw->reopenAct, "reopen"},
        {mw->aboutAct, "about"},       {mw->archiveAct, "archive"},
        {mw->saveAsAct, "saveAs"},     {mw->runScriptAct, "runScript"},
        {mw->exitAct, "close"},        {mw->copyAct, "copy"},
        {mw->pasteAct, "paste"},       {mw->deleteAct, "delete_"},
        {mw->viewAct, "view"},         {mw->modeAct, "mode"},
        {mw->rerunAct, "rerunScript"}, {mw->dxAct, "dx"},
        {mw->dyAct, "dy"},             {mw->dxxAct, "dxx"},
        {mw->dyyAct, "dyy"},           {mw->dxdyAct, "dxdy"},
        {mw->curvatureAct, "curvature"}, {mw->exponentAct, "exponent"},
        {mw->inverseAct, "inverse"},   {mw->laplacianAct, "laplacian"},
        {mw->addAct, "add"},           {mw->subAct, "sub"},
        {mw->mulAct, "mul"},           {mw->divAct, "div"},
        {mw->pconAct, "pcon"},         {mw->c2magAct, "c2mag"},
        {mw->c2phaseAct, "c2phase"},   {mw->c2realAct, "c2real"},
        {mw->c2imagAct, "c2imag"},     {mw->fftAct, "fft"},
        {mw->ifftAct, "ifft"},
    };
    // Read, Reopen, Copy, Paste, Delete, View, Mode and Exit are built with
    // the window itself.
    for (const char *name : {"open", "reopen", "copy", "paste", "delete_", "view", "mode", "close"})
        EXPECT_TRUE(hasSlot(name)) << name;
    for (const auto &a : actions) {
        SCOPED_TRACE(a.second);
        if (hasSlot(a.second)) {
            EXPECT_TRUE(QObject::disconnect(a.first, SIGNAL(triggered()), mw,
                                            slotCode(a.second).constData()));
        }
        EXPECT_FALSE(QObject::disconnect(a.first, SIGNAL(triggered()), mw, nullptr));
    }
    // Cut stands in the Edit menu but runs nothing.
    EXPECT_FALSE(QObject::disconnect(mw->cutAct, SIGNAL(triggered()), mw, nullptr));
}
