// The control panel: start-up state, layout, buttons, actions, menus,
// toolbars, settings, the enabling rule, command modes, the view-window
// register, the console, the end of the event loop; and the Output slot's
// commands: Copy, Paste and Delete, View, and SaveAs.
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <map>

#include "gui_fixture.h"
#include "imageconvert.h"

namespace {

// "on", "off" or "mixed" for each of the display, unary and binary groups:
// their buttons and the actions of their menus.
std::string groups(ZVektoolMainWindow *mw) {
    auto state = [](QList<QObject *> members) {
        int on = 0;
        for (QObject *m : members) on += m->property("enabled").toBool();
        return on == members.size() ? " on" : on == 0 ? " off" : " mixed";
    };
    auto of = [](QGroupBox *box, std::vector<QMenu *> menus) {
        QList<QObject *> m;
        for (QPushButton *b : box->findChildren<QPushButton *>()) m << b;
        for (QMenu *menu : menus)
            for (QAction *a : menu->actions()) a->isSeparator() ? void() : m.push_back(a);
        return m;
    };
    return std::string(state({mw->cutAct, mw->copyAct, mw->deleteAct, mw->viewAct})).substr(1) +
           state(of(mw->unaryBox, {mw->unaryMenu, mw->complexMenu})) + state(of(mw->binaryBox, {mw->binaryMenu}));
}

// A layout as text: group titles with their contents in brackets, button
// texts, grid cells after "@", other widgets by name; toolTips or the
// names of the slots a button's release reaches (then cut) instead of texts.
enum Show { Texts, Tips, Slots };
QString tree(ZVektoolMainWindow *mw, QLayout *layout, Show show = Texts) {
    QStringList parts;
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *w = layout->itemAt(i)->widget();
        QString s = w->objectName();
        if (auto *box = qobject_cast<QGroupBox *>(w)) s = box->title() + "[" + tree(mw, box->layout(), show) + "]";
        if (auto *b = qobject_cast<QAbstractButton *>(w)) s = show == Tips ? b->toolTip() : b->text();
        for (const char *slot : {"dx", "dy", "dxx", "dyy", "dxdy", "curvature", "exponent", "inverse", "natlog",
                                 "laplacian", "histeq", "pseudo", "blur", "ccl", "add", "sub", "mul", "div", "gdir",
                                 "correlate", "pcon"})
            if (show == Slots && qobject_cast<QPushButton *>(w) &&
                QObject::disconnect(w, SIGNAL(released()), mw, QByteArray("1") + slot + "()"))
                s = slot;
        int r, c, span;
        if (auto *grid = qobject_cast<QGridLayout *>(layout))
            grid->getItemPosition(i, &r, &c, &span, &span), s += QString("@%1%2").arg(r).arg(c);
        parts << s;
    }
    return parts.join(show == Tips ? "|" : ",");
}

// Texts of the entries of a menu or toolbar, "-" for a separator.
QString entries(const QList<QAction *> &actions) {
    QStringList texts;
    for (QAction *a : actions) texts << (a->isSeparator() ? QString("-") : a->text());
    return texts.join(",");
}

}  // namespace

TEST_F(GuiTest, StartUpLayoutButtonsAndModes) {
    EXPECT_EQ(mw->windowTitle(), "ZvekTool Version 10.2");
    EXPECT_TRUE(mw->isVisible() && mw->console->isReadOnly());
    EXPECT_EQ(mw->pos(), QPoint(200, 200));
    EXPECT_EQ(mw->statusBar()->currentMessage() + "|" + consoleText(), "Ready|>> Console");
    EXPECT_EQ(groups(mw), "off off off");
    EXPECT_FALSE(mw->pasteAct->isEnabled() || mw->rerunAct->isEnabled());
    for (QAction *a : {mw->openAct, mw->reopenAct, mw->aboutAct, mw->archiveAct, mw->saveAsAct, mw->runScriptAct,
                       mw->exitAct, mw->modeAct})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(!slot(i) && controller->imageNames[i].isEmpty() && !mw->childWindow(i));
    EXPECT_EQ(std::vector<int>({controller->prevClickCol, controller->prevClickRow, controller->lastClickCol,
                                controller->lastClickRow, controller->maxLabel, mw->getCommandMode()}),
              std::vector<int>(6, 0));
    EXPECT_EQ(controller->scratchImage, nullptr);
    for (QRadioButton **row : {mw->input1Radios, mw->input2Radios, mw->outputRadios})
        for (int i = 0; i < 8; ++i) EXPECT_TRUE(row[i]->isChecked() == (i == 0) && row[i]->autoExclusive());
    EXPECT_EQ(mw->findChild<QRadioButton *>("outputRadios3"), mw->outputRadios[3]);
    EXPECT_EQ(mw->findChild<QPushButton *>("correlateButton"), mw->correlateButton);
    for (QGroupBox *box : mw->findChildren<QGroupBox *>())
        EXPECT_FALSE(box->objectName().isEmpty()) << box->title().toStdString();
    EXPECT_EQ(mw->centralWidget(), mw->centralBox);

    const QString radios = "[0,1,2,3,4,5,6,7]";
    EXPECT_EQ(tree(mw, mw->centralLayout),
              "Control Panel Version 2.1[Image Select[Input 1" + radios + ",Input 2" + radios + ",Output" + radios +
                  "],Command[Unary[DX@01,DY@11,DXX@21,DYY@31,DXY@41,Ln@62,Exp@02,Inv@12,Lap@22,Curv@32,Histeq@42,"
                  "CMap@52,CCL@51,Blur@61],Binary[Add,Sub,Mul,Div,pcon,N/A,Correlate]]],console");
    EXPECT_EQ(mw->dxButton->toolTip(), "First deriv wrt to x using convolution with derivative of a Gaussian");
    EXPECT_EQ(tree(mw, mw->binaryLayout, Tips), "||||||");
    mw->modeAct->trigger();
    EXPECT_EQ(mw->getCommandMode(), 1);
    EXPECT_EQ(mw->modeAct->text() + "|" + mw->laplacianAct->statusTip() + "|" + mw->curvatureAct->statusTip(),
              "Mode 1|Quadratic Variation|Use Harris operator to find corners");
    EXPECT_EQ(tree(mw, mw->commandLayout),
              "Unary[HoG@01,ShowHoG@11,gMag@21,gDir@31,Clr2Gray@41,N/A@62,Crop@02,Resize@12,Qvar@22,HarrisOp@32,"
              "MarkMax@42,N/A@52,ABS@51,N/A@61],Binary[N/A,N/A,N/A,N/A,N/A,N/A,N/A]");
    EXPECT_EQ(groups(mw), "off off off") << "a mode change enables nothing";
    mw->modeAct->trigger();
    EXPECT_EQ(mw->modeAct->text() + "|" + mw->laplacianAct->statusTip() + "|" + mw->curvatureAct->statusTip(),
              "Mode 0|Laplacian of the image|Curvature of the image");
    EXPECT_EQ(tree(mw, mw->binaryLayout), "Add,Sub,Mul,Div,pcon,N/A,Correlate");
    // Commands run on released() (never on clicked()), one slot each.
    for (QPushButton *b : mw->findChildren<QPushButton *>())
        EXPECT_FALSE(QObject::disconnect(b, SIGNAL(clicked()), mw, nullptr)) << b->objectName().toStdString();
    EXPECT_EQ(tree(mw, mw->commandLayout, Slots),
              "Unary[dx@01,dy@11,dxx@21,dyy@31,dxdy@41,natlog@62,exponent@02,inverse@12,laplacian@22,curvature@32,"
              "histeq@42,pseudo@52,ccl@51,blur@61],Binary[add,sub,mul,div,pcon,gdir,correlate]");
    EXPECT_EQ(tree(mw, mw->commandLayout, Slots), tree(mw, mw->commandLayout)) << "one connection each";
}

TEST_F(GuiTest, ActionsMenusAndToolbars) {
    // Text|icon|slot of each action, in creation order.
    const QStringList expected = {
        "&Read|i|open", "&Reopen|i|reopen", "&About||about", "&Archive||archive", "&SaveAs|i|saveAs",
        "Run Script|i|runScript", "E&xit||close", "Cu&t|i|", "&Copy|i|copy", "&Paste|i|paste", "&Delete|i|delete_",
        "&View|i|view", "&Mode 0||mode", "&ReRun|i|rerunScript", "DX||dx", "DY||dy", "DXX||dxx", "DYY||dyy",
        "DXDY||dxdy", "Curvature||curvature", "Exponent||exponent", "Inverse||inverse", "Laplacian||laplacian",
        "Add||add", "Sub||sub", "Mul||mul", "div||div", "pcon||pcon", "ComlexMag||c2mag", "ComlexPhase||c2phase",
        "Real||c2real", "Imaginary||c2imag", "FFT||fft", "IFFT||ifft"};
    const std::map<QAction *, QKeySequence::StandardKey> keys = {
        {mw->openAct, QKeySequence::Open}, {mw->saveAsAct, QKeySequence::SaveAs}, {mw->exitAct, QKeySequence::Quit},
        {mw->cutAct, QKeySequence::Cut},   {mw->copyAct, QKeySequence::Copy},     {mw->pasteAct, QKeySequence::Paste},
        {mw->deleteAct, QKeySequence::Delete}};
    EXPECT_EQ(mw->copyAct->statusTip() + "|" + mw->subAct->statusTip() + "|" + mw->fftAct->statusTip(),
              "Copy the current selection's contents to the clipboard|Subtracts inp2 from inp1 and saves it in output|"
              "Fast Fourier Tranform");
    QStringList actual;
    for (QAction *a : mw->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (a->objectName().isEmpty()) continue;  // the menus' and toolbars' own
        QString slot;
        for (const QString &s : expected)
            if (const QByteArray code = "1" + s.section('|', 2).toLatin1() + "()";
                s.startsWith(a->text() + "|") && QObject::disconnect(a, SIGNAL(triggered()), mw, code.constData()))
                slot = s.section('|', 2);
        EXPECT_FALSE(QObject::disconnect(a, SIGNAL(triggered()), mw, nullptr)) << "one connection only";
        actual << a->text() + "|" + (a->icon().availableSizes().isEmpty() ? "" : "i") + "|" + slot;
        EXPECT_EQ(a->shortcuts(), keys.count(a) ? QKeySequence::keyBindings(keys.at(a)) : QList<QKeySequence>())
            << slot.toStdString();
    }
    EXPECT_EQ(actual, expected);

    QStringList menus, toolbars;
    for (QAction *a : mw->menuBar()->actions()) menus << a->text() + ":" + entries(a->menu()->actions());
    EXPECT_EQ(menus, QStringList({"&File:&Read,&Reopen,&Archive,&SaveAs,Run Script,-,E&xit",
                                  "&Edit:Cu&t,&Copy,&Paste,&Delete", "Display:&View",
                                  "Unary:DX,DY,DXX,DYY,DXDY,-,Curvature,Exponent,Inverse,Laplacian",
                                  "Binary:Add,Sub,Mul,div,pcon",
                                  "Complex:ComlexMag,ComlexPhase,Real,Imaginary,FFT,IFFT", "&Help:&About"}));
    EXPECT_EQ(mw->helpMenu->objectName(), "helpMenu");
    QList<QToolBar *> bars = mw->findChildren<QToolBar *>();
    std::sort(bars.begin(), bars.end(), [](QToolBar *a, QToolBar *b) { return a->x() < b->x(); });
    for (QToolBar *bar : bars) toolbars << bar->windowTitle() + ":" + entries(bar->actions());
    EXPECT_EQ(toolbars, QStringList({"File:&Read,&Reopen,&Archive,&SaveAs", "Edit:&Copy,&Paste,&ReRun",
                                     "Display:&View,&Mode 0"}));
    EXPECT_EQ(mw->toolBar, bars.value(2));
}

TEST(GuiSettings, PositionAndSizeComeFromTheStoreAndCloseStoresNothing) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings("ZVektool", "Vekstore Tool").setValue("pos", QPoint(57, 61));
    QSettings("ZVektool", "Vekstore Tool").setValue("size", QSize(1500, 900));
    ZVektoolMainWindow mw;
    EXPECT_EQ(mw.geometry().size(), QSize(1500, 900));
    EXPECT_EQ(mw.pos(), QPoint(57, 61));
    mw.close();
    EXPECT_EQ(QSettings("ZVektool", "Vekstore Tool").allKeys().size(), 2);
}

TEST_F(GuiTest, EnablingRuleFollowsTheSlots) {
    put(2, makeFloat({2, 4, 3}));
    put(5, makeFloat({3, 2, 2, 3}));  // types and sizes are not looked at
    const std::pair<std::vector<int>, const char *> rows[] = {
        {{2, 5, 7}, "off on on"}, {{6, 5, 2}, "on off off"}, {{2, 6, 7}, "off on off"}, {{5, 2, 5}, "on on on"}};
    for (const auto &r : rows) {
        select(r.first[0], r.first[1], r.first[2]);
        EXPECT_EQ(groups(mw), r.second) << r.first[0] << r.first[1] << r.first[2];
        EXPECT_EQ(std::vector<int>({mw->getRadioButtonStatus(INPUT_1), mw->getRadioButtonStatus(INPUT_2),
                                    mw->getRadioButtonStatus(OUTPUT)}), r.first);
    }
    mw->disableButtons();
    mw->outputRadios[5]->click();  // the checked button runs the rule again
    EXPECT_EQ(groups(mw), "on on on");
    EXPECT_FALSE(mw->pasteAct->isEnabled() || mw->rerunAct->isEnabled()) << "in no group";
    EXPECT_EQ(mw->getRadioButtonStatus(static_cast<_RADIO_GROUP>(2)), -1);
}

TEST_F(GuiTest, ViewWindowRegisterAndConsole) {
    QWidget stranger, *windows[2];
    for (int i : {0, 1}) {
        mw->outputRadios[3 + 3 * i]->click();
        windows[i] = new QWidget(mw, Qt::Window);
        mw->updateChildPtr(windows[i], ADD_CHILD);
        // As a view window does, each reports its end (the register's lock must be free then).
        QObject::connect(windows[i], &QObject::destroyed,
                         [this](QObject *o) { mw->updateChildPtr(static_cast<QWidget *>(o), REMOVE_CHILD); });
    }
    mw->updateChildPtr(nullptr, ADD_CHILD);
    mw->updateChildPtr(&stranger, REMOVE_CHILD);
    mw->updateChildPtr(windows[0], static_cast<_UPDATE_TYPE>(5));
    EXPECT_EQ(std::vector<int>({mw->getIndexFromChildPtr(windows[0]),
                                mw->getIndexFromChildPtr(static_cast<const void *>(windows[1])),
                                mw->getIndexFromChildPtr(&stranger), mw->childWindow(6) == windows[1],
                                !mw->childWindow(8)}),
              std::vector<int>({3, 6, -1, 1, 1}));
    mw->deleteChildWindow(8);
    mw->deleteChildWindow(-1);
    mw->deleteChildWindow(3);
    EXPECT_EQ(mw->childWindow(3), nullptr);
    windows[1]->setAttribute(Qt::WA_DeleteOnClose);
    windows[1]->close();  // by the user
    pumpEvents(50);
    EXPECT_EQ(mw->childWindow(6), nullptr);
    QTextCursor cursor = mw->console->textCursor();
    cursor.setPosition(2);
    mw->console->setTextCursor(cursor);
    mw->addConsoleOutput("\nabc");
    mw->addConsoleOutput(" def");
    EXPECT_EQ(consoleText(), ">> Console\nabc def") << "at the end, wherever the cursor is";
    EXPECT_EQ(mw->console->textCursor().position(), consoleText().size());
}

TEST_F(GuiTest, ExitEndsTheEventLoopWithViewWindowsOpen) {
    (new QWidget(mw, Qt::Window))->show();
    QTimer::singleShot(50, mw, [this]() { mw->exitAct->trigger(); });
    QTimer::singleShot(5000, qApp, []() { QCoreApplication::exit(3); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(mw->isVisible());
}

TEST_F(GuiTest, CopyDeletePasteKeepEveryImageExactly) {
    mw->outputRadios[1]->click();
    mw->copyAct->trigger();  // empty Output slot
    mw->pasteAct->setEnabled(true);
    mw->pasteAct->trigger();  // empty clipboard
    EXPECT_EQ(ui.said(), "Image Empty|Nothing to paste");
    EXPECT_EQ(slot(1), nullptr);
    auto typed = [](const char *type, std::vector<int32_t> dims) {
        ZVEKHDR *h = Zvekcreate(type, dims.data(), 11, 0);
        for (int i = 0; i < Zvekdimen(h, ZVEK_NBYTES); ++i)
            static_cast<unsigned char *>(h->vekptr)[i] = uchar(7 * i + 3);
        return h;
    };
    for (ZVEKHDR *image : {makeFloat({3, 3, 2, 3}, [](int i) { return 0.25f * i - 1.0f; }), typed("32cmp", {2, 3, 2}),
                           typed("64flt", {1, 5}), typed("u8bit", {3, 2, 2, 3})}) {
        const std::string was = shape(image) + bytes(image).toHex().toStdString();
        put(2, image);
        controller->imageNames[2] = "original";
        select(2, 2, 2);
        QPointer<QWidget> window = new QWidget(mw, Qt::Window);
        mw->updateChildPtr(window, ADD_CHILD);
        mw->copyAct->trigger();
        EXPECT_TRUE(mw->pasteAct->isEnabled() && slot(2) == image);
        // Delete empties the slot, closes its window and runs the rule.
        mw->deleteAct->trigger();
        EXPECT_TRUE(!slot(2) && window.isNull()) << was;
        EXPECT_FALSE(mw->viewAct->isEnabled() || mw->dxButton->isEnabled() || mw->addButton->isEnabled());
        mw->pasteAct->trigger();
        EXPECT_EQ(shape(slot(2)) + bytes(slot(2)).toHex().toStdString(), was);
        EXPECT_EQ(controller->imageNames[2], "original");
        EXPECT_TRUE(mw->viewAct->isEnabled() && mw->dxButton->isEnabled() && mw->addButton->isEnabled());
        // Each paste is a copy of its own; it closes the slot's window.
        mw->outputRadios[5]->click();
        window = new QWidget(mw, Qt::Window);
        mw->updateChildPtr(window, ADD_CHILD);
        mw->pasteAct->trigger();
        EXPECT_TRUE(window.isNull() && slot(5) != slot(2) && controller->imageNames[5].isEmpty());
        EXPECT_EQ(shape(slot(5)) + bytes(slot(5)).toHex().toStdString(), was);
    }
    // Delete of an empty slot runs the rule too.
    select(5, 5, 4);
    mw->disableButtons();
    mw->deleteAct->setEnabled(true);
    mw->deleteAct->trigger();
    EXPECT_TRUE(!mw->deleteAct->isEnabled() && mw->dxButton->isEnabled() && mw->correlateButton->isEnabled());
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(GuiTest, ViewOpensOneWindowPerSlotAndRefusesComplexImages) {
    mw->viewAct->trigger();  // empty Output slot
    EXPECT_EQ(mw->childWindow(0), nullptr);
    put(0, makeFloat({2, 4, 3}));
    mw->viewAct->trigger();
    QPointer<QWidget> first = mw->childWindow(0);
    ASSERT_FALSE(first.isNull());
    EXPECT_TRUE(first->testAttribute(Qt::WA_DeleteOnClose));
    mw->viewAct->trigger();
    EXPECT_TRUE(first.isNull()) << "the slot's earlier window is closed";
    first = mw->childWindow(0);
    put(0, Zvekcreate("32cmp", std::vector<int32_t>{2, 4, 4}.data(), 11, 0));
    mw->viewAct->trigger();
    EXPECT_TRUE(first.isNull() && !mw->childWindow(0));
    EXPECT_EQ(ui.said(), "Complex images cannot be viewed. Use complex pull down");
}

TEST_F(GuiTest, SaveAsWritesTheOwnFormatInTheNamedTypeOrAPicture) {
    auto saveAs = [&]() {
        bool result = false;
        EXPECT_TRUE(QMetaObject::invokeMethod(mw, "saveAs", Qt::DirectConnection, Q_RETURN_ARG(bool, result)));
        return result;
    };
    EXPECT_FALSE(saveAs());
    EXPECT_EQ(ui.said(), "No image has been stored in the buffer.");
    EXPECT_EQ(ui.interactions(), 1u);
    put(0, makeFloat({2, 3, 2}, [](int i) { return std::vector<float>{0, 1.9f, 300.7f, -1, 255, 17}[i]; }));
    put(1, Zvekcreate("32bit", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    for (int i = 0; i < 4; ++i) static_cast<int32_t *>(slot(1)->vekptr)[i] = 100000 * i - 7;
    put(2, Zvekcreate("32cmp", std::vector<int32_t>{2, 2, 2}.data(), 11, 0));
    const QString dir = home.path() + "/";
    // Slot, file name, type typed (nullopt: Cancel); the file's type, shape
    // and data read back ("" when none is written; float data as slot 0's),
    // and the message.
    struct Row { int slot; QString file; std::optional<QStringList> type; std::string written; const char *message; };
    const std::string failed = "output of file to disk failed";
    const std::string floats = "32flt 2:3x2 " + bytes(slot(0)).toHex().toStdString();
    const Row rows[] = {
        {0, "bytes.zve", QStringList{"u8bit"}, "u8bit 2:3x2 00012cffff11", ""},  // truncated, low 8 bits
        {0, "plain.VEK", QStringList{""}, floats, ""},
        {0, "named.Zvek", QStringList{"float"}, floats, ""},
        {1, "same.vek", QStringList{"int"}, "32bit 2:2x2 f9ffffff99860100390d0300d9930400", ""},
        {0, "none.Zve", std::nullopt, "", ""},
        {0, "bad.ZVEK", QStringList{"Float"}, "", failed.c_str()},
        {0, "missing/dir/x.zvek", QStringList{"float"}, "", failed.c_str()},
        {2, "complex.vek", QStringList{"float"}, "", failed.c_str()}};
    for (const Row &row : rows) {
        mw->outputRadios[row.slot]->click();
        ui.clear();
        ui.openAnswers = {dir + row.file};
        ui.answers = {row.type};
        EXPECT_TRUE(saveAs());
        EXPECT_EQ(ui.openCaptions.back(), "SaveAs File");
        EXPECT_EQ(ui.asked(), "QInputDialog::getText()|ZVEK data type:|float");
        EXPECT_EQ(ui.asks.at(0).parent, mw);
        const QByteArray path = (dir + row.file).toLocal8Bit();
        ZvekImagePtr back(QFile::exists(path) ? Zvekpin(path.constData()) : nullptr);
        const std::string written = back ? shape(back.get()) + " " + bytes(back.get()).toHex().toStdString() : "";
        EXPECT_EQ(written, row.written) << path.data();
        EXPECT_EQ(ui.said(), row.message) << row.file.toStdString();
    }
    // Pictures: the Output image's grey picture; a name the toolkit cannot
    // write is told; a cancelled dialog writes nothing and is silent.
    const QString console = consoleText();
    mw->outputRadios[0]->click();
    const std::pair<QString, std::string> pictures[] = {{dir + "shot.png", ""}, {dir + "shot.ZVE", failed}, {"", ""}};
    for (const auto &row : pictures) {
        ui.clear();
        ui.openAnswers = {row.first};
        EXPECT_TRUE(saveAs());
        EXPECT_EQ(ui.said().toStdString() + std::to_string(ui.asks.size()), row.second + "0");
    }
    EXPECT_EQ(consoleText(), console + "\nsaving \nsaving \nsaving ");
    EXPECT_FALSE(QFile::exists(dir + "shot.ZVE"));
    const QImage shot(dir + "shot.png");
    ASSERT_EQ(shot.size(), QSize(4, 2)) << "the width padded to a multiple of 4";
    // -1 .. 300.7 onto 0 .. 255, truncated; the last column repeated.
    const int grey[] = {0, 2, 255, 255, 0, 216, 15, 15};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(shot.pixel(i % 4, i / 4), qRgb(grey[i], grey[i], grey[i])) << i;
}
