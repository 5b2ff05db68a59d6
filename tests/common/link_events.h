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
    void onLost(bool waiting) { ++lost; lastWaiting = waiting; }
    void onBack(int count) { ++back; lastCount = count; }
    void onStopped() { ++stopped; }
};

#endif // LINK_EVENTS_H
