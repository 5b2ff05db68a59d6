// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef LINK_EVENTS_H
#define LINK_EVENTS_H

#include "cross_thread.h"
#include "receiver.h"

#include <QObject>

// The worker's link signals, received in the test's thread through the same
// hand-over the window uses (a signal spy would record them in the worker's
// thread, unordered with the test's reads).
class LinkEvents : public QObject
{
    Q_OBJECT
public:
    explicit LinkEvents(receiver *worker)
    {
        connectAcrossThreads(worker, &receiver::signalDeviceLost, this, &LinkEvents::onLost);
        connectAcrossThreads(worker, &receiver::signalReconnected, this, &LinkEvents::onBack);
        connectAcrossThreads(worker, &receiver::signalReconnectStopped, this, &LinkEvents::onStopped);
    }
    int lost = 0;
    int back = 0;
    int stopped = 0;
    int lastCount = 0;
    bool lastWaiting = false;
    qint64 lostAtMs = -1;   // the worker's moments (steady clock)
    qint64 backAtMs = -1;
    void onLost(bool waiting, qint64 atMs) { ++lost; lastWaiting = waiting; lostAtMs = atMs; }
    void onBack(int count, qint64 atMs) { ++back; lastCount = count; backAtMs = atMs; }
    void onStopped() { ++stopped; }
};

#endif // LINK_EVENTS_H
