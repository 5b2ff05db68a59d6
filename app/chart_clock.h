// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHART_CLOCK_H
#define CHART_CLOCK_H

// The steady clock the chart's refresh decision reads, in milliseconds. It
// runs on its own; set to a time it stands there (and moves only when told),
// so that whether a batch came "closely" after the last picture can be
// decided without depending on how fast the thread runs (the tests set it;
// the object is named "chartClock" in the window).

#include <QElapsedTimer>
#include <QObject>

class ChartClock : public QObject
{
    Q_OBJECT

public:
    explicit ChartClock(QObject *parent) : QObject(parent)
    {
        setObjectName(QStringLiteral("chartClock"));
        steady.start();
    }

    qint64 nowMs() const { return standing ? stoodAt : steady.elapsed(); }
    // Stands at `ms` from now on.
    void standAt(qint64 ms)
    {
        standing = true;
        stoodAt = ms;
    }
    // Moves a standing clock on by `ms`.
    void advance(qint64 ms) { stoodAt += ms; }

private:
    QElapsedTimer steady;
    bool standing = false;
    qint64 stoodAt = 0;
};

#endif // CHART_CLOCK_H
