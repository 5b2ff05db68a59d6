// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef STATUS_LINE_H
#define STATUS_LINE_H

// The window's status line. A message is kept as the way to compose it, so
// that a language switch shows the last one again in the new language; each
// message shown gets a number, so that whoever showed it can take it back
// later without taking another's.

#include <QObject>
#include <QString>
#include <functional>

class QStatusBar;

class StatusLine : public QObject
{
    Q_OBJECT

public:
    using Compose = std::function<QString()>;

    explicit StatusLine(QStatusBar *bar);

    // Shows the text `compose` makes until the next message; returns the
    // message's number.
    int show(Compose compose);
    // Clears the line if message `number` is still what it shows.
    void clear(int number);
    // The last message again, in the language now installed.
    void retranslate();

    // `head` and `tail` of a status text joined as the language needs.
    static QString join(const QString &head, const QString &tail);

private:
    QStatusBar *bar;
    Compose last;
    int lastNumber = 0;
};

#endif // STATUS_LINE_H
