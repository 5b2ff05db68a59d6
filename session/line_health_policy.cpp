// SPDX-License-Identifier: GPL-3.0-or-later
#include "line_health_policy.h"

#include <QtGlobal>

void LineHealthPolicy::connected()
{
    state = Presence::Present;
    lostAtMs = -1;
    reconnectCount = 0;
    counts = LineHealth();
}

void LineHealthPolicy::disconnected()
{
    state = Presence::Present;
    lostAtMs = -1;
}

void LineHealthPolicy::deviceLost(bool waiting, qint64 nowMs)
{
    state = waiting ? Presence::LostWaiting : Presence::Lost;
    lostAtMs = nowMs;
}

double LineHealthPolicy::reconnected(int count, qint64 nowMs)
{
    reconnectCount = count;
    // A clock that went back (it should not) costs no negative gap.
    const double away = lostAtMs >= 0 ? qMax<qint64>(nowMs - lostAtMs, 0) / 1000.0 : 0.0;
    lostAtMs = -1;
    state = Presence::Present;
    return away;
}

void LineHealthPolicy::reconnectStopped()
{
    lostAtMs = -1;
    if (state == Presence::LostWaiting)
        state = Presence::Lost;
}

QString LineHealthPolicy::countText(quint64 count)
{
    if (count <= kWidestExactCount)
        return QString::number(count);
    static const char units[] = "MGTPE";
    double value = double(count) / 1e6;
    int unit = 0;
    // 999.95 would be shown as 1000.0: the next unit instead.
    while (value >= 999.95 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(units[unit]);
}

QVector<quint64> LineHealthPolicy::widestCounts()
{
    return {kWidestExactCount, 999'940'000ULL, 999'940'000'000ULL};
}
