// SPDX-License-Identifier: GPL-3.0-or-later
#include "modalcatcher.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

ModalCatcher::ModalCatcher(QObject *parent) : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &ModalCatcher::poll);
    timer.start(20);
}

void ModalCatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    texts << box->text();
    informative << box->informativeText();
    titles << box->windowTitle();
    defaults << (box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton);
    if (takeDefault && box->defaultButton())
        box->defaultButton()->click();
    else if (QAbstractButton *b = box->button(answer))
        b->click();
    else
        box->done(answer);
}
