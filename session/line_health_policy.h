// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINE_HEALTH_POLICY_H
#define LINE_HEALTH_POLICY_H

// What the link's corner of the window shows, decided without a widget: the
// device's presence (there, lost, lost and waited for), the reconnect count,
// the line-health counters and their poor-line warning, and how long the
// device was away when it comes back (the chart's time runs on across the
// gap). The times are the caller's steady clock in milliseconds, so that the
// decisions can be checked against a clock of one's own.

#include "measurement_parser.h"

#include <QString>
#include <QVector>

class LineHealthPolicy
{
public:
    enum class Presence { Present, Lost, LostWaiting };

    // The operator connected: every count starts afresh.
    void connected();
    // The operator disconnected: nothing is lost any more; the counts stay
    // readable.
    void disconnected();
    // The worker lost the device; `waiting`: it waits for it to come back.
    void deviceLost(bool waiting, qint64 nowMs);
    // The device is back (the worker's `count`-th reconnect). Returns the
    // seconds it was away (0 when no loss was seen).
    double reconnected(int count, qint64 nowMs);
    // The worker gave up waiting: a device that was waited for is lost.
    void reconnectStopped();
    void setHealth(const LineHealth &health) { counts = health; }

    Presence presence() const { return state; }
    int reconnects() const { return reconnectCount; }
    const LineHealth &health() const { return counts; }
    // More than 1 % of the frames failed their checksum.
    bool poorLine() const { return counts.poor(); }

    // A count as a counter shows it: in full up to 9,999,999 (fifteen minutes
    // of the line's top rate), beyond that in millions, billions, ... with
    // one decimal ("12.3M"), never wider.
    static QString countText(quint64 count);
    static constexpr quint64 kWidestExactCount = 9'999'999;
    // The counts whose texts are the widest a counter ever shows.
    static QVector<quint64> widestCounts();

private:
    Presence state = Presence::Present;
    qint64 lostAtMs = -1;   // when the device was lost (-1: not lost)
    int reconnectCount = 0;
    LineHealth counts;
};

#endif // LINE_HEALTH_POLICY_H
