// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef DIALOG_ANSWERS_H
#define DIALOG_ANSWERS_H

// Answers the window's file and number dialogs as the operator would, while
// the object lives: polls for the dialog that is open (modal), notes what it
// offered and answers it. A dialog is answered at most `kAttempts` times and
// then cancelled, so that a test can never hang on one.

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QObject>
#include <QStringList>
#include <QTimer>

class FileDialogAnswer : public QObject
{
public:
    // Picks `pick` (a full path) in each file dialog; an empty one cancels.
    explicit FileDialogAnswer(const QString &pick = QString()) : pick(pick)
    {
        connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(20);
    }
    void setPick(const QString &path) { pick = path; }

    int seen = 0;               // dialogs answered
    QStringList filters;        // each one's name filters, joined
    QStringList titles;

private:
    void poll()
    {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        // A dialog is marked when first seen (the next may be made where the
        // last one was).
        if (!dialog->property("zn84-answered").toBool()) {
            dialog->setProperty("zn84-answered", true);
            attempts = 0;
            ++seen;
            titles << dialog->windowTitle();
            filters << dialog->nameFilters().join(QStringLiteral(";;"));
        }
        if (pick.isEmpty() || ++attempts > kAttempts) {
            dialog->reject();
            return;
        }
        // The dialog's own question about overwriting the name picked is
        // the operator's "yes" here: the window's handling after the dialog
        // is what is tested.
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(pick);
        // selectFile leaves the name field alone while it has the focus.
        if (auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            nameEdit->setText(pick);
        static_cast<QDialog *>(dialog)->accept();   // public in QDialog
    }

    static constexpr int kAttempts = 20;
    QString pick;
    int attempts = 0;
    QTimer timer;
};

class NumberDialogAnswer : public QObject
{
public:
    // Answers each number dialog with `value`; 0 cancels.
    explicit NumberDialogAnswer(int value) : value(value)
    {
        connect(&timer, &QTimer::timeout, this, [this] { poll(); });
        timer.start(20);
    }

    int seen = 0;
    QList<int> offered;   // the value each one suggested

private:
    void poll()
    {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (!dialog->property("zn84-answered").toBool()) {
            dialog->setProperty("zn84-answered", true);
            ++seen;
            offered << dialog->intValue();
        }
        if (value <= 0) {
            dialog->reject();
            return;
        }
        dialog->setIntValue(value);
        dialog->accept();
    }

    int value;
    QTimer timer;
};

#endif // DIALOG_ANSWERS_H
