// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODALCATCHER_H
#define MODALCATCHER_H

// Watches for modal message boxes while a handler runs, records their texts
// and closes them, so that tests can assert on a warning without a user.

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

class ModalCatcher : public QObject
{
    Q_OBJECT
public:
    explicit ModalCatcher(QObject *parent = nullptr);
    QStringList texts;   // text of every box seen, in order
    QStringList informative;   // each box's informative line ("" where it has none)
    QStringList titles;  // window title of every box seen
    // The button a box is closed with (a question box answered with any
    // other than Yes is a No).
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    // Closes each box with its default button instead, as Return would.
    bool takeDefault = false;
    QList<QMessageBox::StandardButton> defaults;   // each box's default button
private slots:
    void poll();
private:
    QTimer timer;
};

#endif
