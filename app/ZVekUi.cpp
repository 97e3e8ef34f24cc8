// ZVekUi.cpp - the default user interaction: the toolkit's own dialogs.
#include "ZVekUi.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <vector>

namespace {
ZVekUi defaultUi;
ZVekUi *currentUi = &defaultUi;
}  // namespace

ZVekUi::~ZVekUi() = default;

ZVekUi &ZVekUi::instance() { return *currentUi; }

ZVekUi *ZVekUi::install(ZVekUi *ui) {
    ZVekUi *previous = currentUi;
    currentUi = ui ? ui : &defaultUi;
    return previous == &defaultUi ? nullptr : previous;
}

void ZVekUi::message(const QString &text) {
    QMessageBox box;
    box.setText(text);
    box.exec();
}

void ZVekUi::notice(const QString &text, int msec, const QString &title) {
    auto *box = new QMessageBox();
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (!title.isEmpty()) box->setWindowTitle(title);
    box->setText(text);
    box->setModal(false);
    box->show();
    QTimer::singleShot(msec, box, SLOT(close()));
}

void ZVekUi::about(QWidget *parent, const QString &title, const QString &text) {
    QMessageBox::about(parent, title, text);
}

bool ZVekUi::getDouble(QWidget *parent, const QString &title, const QString &label,
                       double value, double min, double max, int decimals, double *result) {
    bool ok = false;
    double v = QInputDialog::getDouble(parent, title, label, value, min, max, decimals, &ok);
    if (ok) *result = v;
    return ok;
}

bool ZVekUi::getInt(QWidget *parent, const QString &title, const QString &label, int value,
                    int min, int max, int step, int *result) {
    bool ok = false;
    int v = QInputDialog::getInt(parent, title, label, value, min, max, step, &ok);
    if (ok) *result = v;
    return ok;
}

bool ZVekUi::getText(QWidget *parent, const QString &title, const QString &label,
                     const QString &text, QString *result) {
    bool ok = false;
    QString v = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (ok) *result = v;
    return ok;
}

bool ZVekUi::form(QWidget *parent, const QString &heading, const QStringList &labels,
                  QStringList &values) {
    QDialog dialog(parent);
    auto *form = new QFormLayout(&dialog);
    form->addRow(new QLabel(heading, &dialog));
    std::vector<QLineEdit *> edits;
    for (int i = 0; i < labels.size(); ++i) {
        auto *edit = new QLineEdit(i < values.size() ? values[i] : QString(), &dialog);
        form->addRow(labels[i], edit);
        edits.push_back(edit);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                         Qt::Horizontal, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, SIGNAL(accepted()), &dialog, SLOT(accept()));
    QObject::connect(buttons, SIGNAL(rejected()), &dialog, SLOT(reject()));
    if (dialog.exec() != QDialog::Accepted) return false;
    values.clear();
    for (QLineEdit *edit : edits) values << edit->text();
    return true;
}

QString ZVekUi::openFile(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString ZVekUi::saveFile(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
