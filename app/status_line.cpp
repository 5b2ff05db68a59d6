// SPDX-License-Identifier: GPL-3.0-or-later
#include "status_line.h"

#include <QStatusBar>

StatusLine::StatusLine(QStatusBar *bar) : QObject(bar), bar(bar)
{
    setObjectName(QStringLiteral("statusLine"));
}

int StatusLine::show(Compose compose)
{
    last = std::move(compose);
    bar->showMessage(last ? last() : QString(), 0);
    return ++lastNumber;
}

void StatusLine::clear(int number)
{
    if (number != lastNumber || !last || bar->currentMessage() != last())
        return;
    bar->clearMessage();
    last = nullptr;
}

void StatusLine::retranslate()
{
    if (last && !bar->currentMessage().isEmpty())
        bar->showMessage(last(), 0);
}
