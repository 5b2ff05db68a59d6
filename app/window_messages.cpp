// SPDX-License-Identifier: GPL-3.0-or-later
// What the window says to the operator: the status line, warnings and the
// questions asked before something that cannot be undone. Every part of the
// window uses these; they use nothing else of it.

#include "mainwindow.h"

#include <QMessageBox>

void MainWindow::showStatus(StatusText compose)
{
    statusLine->show(std::move(compose));
}

void MainWindow::showWarning(const QString &text, const QString &why)
{
    QMessageBox box;
    box.setText(text);
    box.setInformativeText(why);
    box.exec();
}

// A question the operator answers before something that cannot be undone;
// No unless Yes is chosen.
bool MainWindow::confirm(const QString &question)
{
    QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::showOutcome(StatusText prefix, bool ok)
{
    showStatus([prefix, ok] { return joinStatus(prefix(), ok ? tr("成功！") : tr("失败！")); });
}
