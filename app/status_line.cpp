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

// Status texts are built from pieces: a prefix, sometimes a value, and the
// outcome. Chinese runs them together ("保存配置成功！"), English needs one
// blank between words ("Save configuration succeeded!"). Translations carry
// no blanks at their ends, so the blank is put here, wherever neither side of
// the join is a Chinese character or full-width sign.
QString StatusLine::join(const QString &head, const QString &tail)
{
    const auto isCjk = [](QChar c) {
        const ushort u = c.unicode();
        return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF);
    };
    int end = head.size();
    while (end > 0 && head.at(end - 1).isSpace())
        --end;
    int begin = 0;
    while (begin < tail.size() && tail.at(begin).isSpace())
        ++begin;
    const QString a = head.left(end);
    const QString b = tail.mid(begin);
    if (a.isEmpty() || b.isEmpty() || isCjk(a.back()) || isCjk(b.front()))
        return a + b;
    return a + QLatin1Char(' ') + b;
}
