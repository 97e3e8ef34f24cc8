// The control panel: start-up state, layout, buttons, actions, menus,
// toolbars, settings, the enabling rule, command modes, command buffers, the
// view-window register, the console and the end of the event loop.
#include <QGridLayout>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <map>

#include "gui_fixture.h"

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
        for (const char *slot : {"dx", "dy", "dxx", "dyy", "dxdy", "curvature", "exponent", "inverse", "natlog", "laplacian",
                                 "histeq", "pseudo", "blur", "ccl", "add", "sub", "mul", "div", "gdir", "correlate", "pcon"})
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
    EXPECT_EQ(mw->centralWidget(), mw->centralBox);

    const QString radios = "[0,1,2,3,4,5,6,7]";
    EXPECT_EQ(tree(mw, mw->centralLayout),
              "Control Panel Version 2.1[Image Select[Input 1" + radios + ",Input 2" + radios + ",Output" + radios +
                  "],Command[Unary[DX@01,DY@11,DXX@21,DYY@31,DXY@41,Ln@62,Exp@02,Inv@12,Lap@22,Curv@32,Histeq@42,"
                  "CMap@52,CCL@51,Blur@61],Binary[Add,Sub,Mul,Div,pcon,N/A,Correlate]]],console");
    EXPECT_EQ(tree(mw, mw->unaryLayout, Tips),
              "First deriv wrt to x using convolution with derivative of a Gaussian@01|"
              "First deriv wrt to y using convolution with derivative of a Gaussian@11|"
              "Second deriv wrt to x using convolution with derivative of a Gaussian@21|"
              "Second deriv wrt to y using convolution with derivative of a Gaussian@31|"
              "second deriv wrt to xy using convolution with derivative of a Gaussian@41|@62|Exponentiate each pixel.@02|"
              "output=max-input@12|Calculate the Lapacian or QV at each pixel@22|"
              "Calculate the curvature of the level set at each point@32|Histogram equalization@42|"
              "Replace each pixel with a color corresponding to brightness\n 0:gray scale\n1:inverse gray scale\n"
              "2:Bronson\n3:hot metal\n4:heated specturm\n5:log\n6:random@52|connected components@51|"
              "Blur the image with a Gaussian with user-selectable variance.@61");
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
    // Text|status tip|icon|slot of each action, in creation order.
    const QStringList expected = {
        "&Read|Open an existing file|i|open", "&Reopen|Reopen an existing file|i|reopen",
        "&About|Show the application's About box||about",
        "&Archive|Move the work image into the main image, overwriting the original.||archive",
        "&SaveAs|Save the image selected as OUTPUT under a new name, including conversion.|i|saveAs",
        "Run Script|Run a script on an image, read output back|i|runScript", "E&xit|Exit the application||close",
        "Cu&t|Cut the current selection's contents to the clipboard|i|",
        "&Copy|Copy the current selection's contents to the clipboard|i|copy",
        "&Paste|Paste the clipboard's contents into output buffer|i|paste", "&Delete|Deletes the output buffer|i|delete_",
        "&View|Display the selected output buffer|i|view", "&Mode 0|Does mode things||mode",
        "&ReRun|Run the last script again.|i|rerunScript", "DX|First derivative wrt x of the image||dx",
        "DY|First derivative wrt y of the image||dy", "DXX|Second derivative wrt x of the image||dxx",
        "DYY|Second derivative wrt y of the image||dyy", "DXDY|Second derivative wrt x and y of the image||dxdy",
        "Curvature|Curvature of the image||curvature", "Exponent|Exponent of the image||exponent",
        "Inverse|Inverse of the image||inverse", "Laplacian|Laplacian of the image||laplacian",
        "Add|Adds inp1 and inp2 and saves it in output||add", "Sub|Subtracts inp2 from inp1 and saves it in output||sub",
        "Mul|Multiplies inp2 from inp1 and saves it in output||mul", "div|divides inp1 by inp1 and saves it in output||div",
        "pcon|segments an image using piecewise-constant MFA||pcon", "ComlexMag|Complex magnitude||c2mag",
        "ComlexPhase|Complex phase||c2phase", "Real|Real||c2real", "Imaginary|Complex imaginary||c2imag",
        "FFT|Fast Fourier Tranform||fft", "IFFT|Inverse Fast Fourier Tranform||ifft"};
    QStringList actual;
    for (QAction *a : mw->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (a->objectName().isEmpty()) continue;  // the menus' and toolbars' own
        QString slot;
        for (const QString &s : expected)
            if (s.startsWith(a->text() + "|") &&
                QObject::disconnect(a, SIGNAL(triggered()), mw, ("1" + s.section('|', 3) + "()").toLatin1().constData()))
                slot = s.section('|', 3);
        EXPECT_FALSE(QObject::disconnect(a, SIGNAL(triggered()), mw, nullptr)) << "one connection only";
        actual << a->text() + "|" + a->statusTip() + "|" + (a->icon().availableSizes().isEmpty() ? "" : "i") + "|" + slot;
        const std::map<QAction *, QKeySequence::StandardKey> keys = {
            {mw->openAct, QKeySequence::Open}, {mw->saveAsAct, QKeySequence::SaveAs}, {mw->exitAct, QKeySequence::Quit},
            {mw->cutAct, QKeySequence::Cut}, {mw->copyAct, QKeySequence::Copy}, {mw->pasteAct, QKeySequence::Paste},
            {mw->deleteAct, QKeySequence::Delete}};
        EXPECT_EQ(a->shortcuts(), keys.count(a) ? QKeySequence::keyBindings(keys.at(a)) : QList<QKeySequence>()) << slot.toStdString();
    }
    EXPECT_EQ(actual, expected);

    QStringList menus, toolbars;
    for (QAction *a : mw->menuBar()->actions()) menus << a->text() + ":" + entries(a->menu()->actions());
    EXPECT_EQ(menus, QStringList({"&File:&Read,&Reopen,&Archive,&SaveAs,Run Script,-,E&xit",
                                  "&Edit:Cu&t,&Copy,&Paste,&Delete", "Display:&View",
                                  "Unary:DX,DY,DXX,DYY,DXDY,-,Curvature,Exponent,Inverse,Laplacian",
                                  "Binary:Add,Sub,Mul,div,pcon", "Complex:ComlexMag,ComlexPhase,Real,Imaginary,FFT,IFFT",
                                  "&Help:&About"}));
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
    EXPECT_EQ(std::vector<int>({mw->getIndexFromChildPtr(windows[0]), mw->getIndexFromChildPtr(static_cast<const void *>(windows[1])),
                                mw->getIndexFromChildPtr(&stranger), mw->childWindow(6) == windows[1], !mw->childWindow(8)}),
              std::vector<int>({3, 6, -1, 1, 1}));
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
