// ZVekUi.h - every question the application puts to the user and every
// message it shows goes through one ZVekUi object. The default object makes
// the toolkit calls (message boxes, number and text dialogs, file dialogs);
// tests install a scripted replacement with ZVekUi::install().
#ifndef ZVEKUI_H
#define ZVEKUI_H

#include <QString>
#include <QStringList>

class QWidget;

class ZVekUi {
public:
    virtual ~ZVekUi();

    // Modal message box without title and without parent, with an OK button.
    virtual void message(const QString &text);
    // Non-modal, parentless message box, shown at once and closed after
    // msec milliseconds; it deletes itself when it closes. An empty title
    // leaves the toolkit's default.
    virtual void notice(const QString &text, int msec, const QString &title = QString());
    // QMessageBox::about.
    virtual void about(QWidget *parent, const QString &title, const QString &text);

    // QInputDialog::getDouble; false on Cancel (value untouched).
    virtual bool getDouble(QWidget *parent, const QString &title, const QString &label,
                           double value, double min, double max, int decimals, double *result);
    // QInputDialog::getInt; false on Cancel (value untouched).
    virtual bool getInt(QWidget *parent, const QString &title, const QString &label,
                        int value, int min, int max, int step, int *result);
    // QInputDialog::getText with a normal line edit; false on Cancel.
    virtual bool getText(QWidget *parent, const QString &title, const QString &label,
                         const QString &text, QString *result);
    // A modal form: a first row holding only heading, then one row per label
    // with a line edit pre-filled from values, then Ok and Cancel. On Ok the
    // edited texts are written back into values and true is returned.
    virtual bool form(QWidget *parent, const QString &heading, const QStringList &labels,
                      QStringList &values);

    // QFileDialog::getOpenFileName / getSaveFileName; empty when cancelled.
    virtual QString openFile(QWidget *parent, const QString &caption, const QString &dir,
                             const QString &filter);
    virtual QString saveFile(QWidget *parent, const QString &caption, const QString &dir,
                             const QString &filter);

    // The object in use (the default one unless a replacement is installed).
    static ZVekUi &instance();
    // Makes ui the object in use and returns the one it replaces; null
    // restores the default.
    static ZVekUi *install(ZVekUi *ui);
};

// Shorthand for ZVekUi::instance().
inline ZVekUi &zvekUi() { return ZVekUi::instance(); }

#endif  // ZVEKUI_H
