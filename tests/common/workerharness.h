// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WORKERHARNESS_H
#define WORKERHARNESS_H

// A worker (`receiver`) running in a thread of its own, as the window runs it,
// plus a collector of the distance batches it emits. On destruction the port
// is closed, the worker's port and timer are deleted in the worker's thread,
// the thread is stopped and the worker deleted.

#include "receiver.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QVector>

// Runs fn in the worker's thread and waits for it, through the worker's own
// hand-over (which orders the test's accesses and the worker's).
template <typename Fn> void runBlocking(receiver *target, Fn fn)
{
    target->runInWorkerThread(fn);
}

// Receives signalDistance queued in the thread that created it.
class BatchCollector : public QObject
{
    Q_OBJECT
public:
    struct Batch {
        QVector<uint16_t> dist;
        int freq;
    };
    explicit BatchCollector(receiver *worker);

    QVector<Batch> batches;
    int distanceCount() const;          // distances in all batches so far
    QVector<uint16_t> allDistances() const;
    int lastRate() const { return batches.isEmpty() ? -1 : batches.last().freq; }
    void clear() { batches.clear(); }

public slots:
    void onDistance(QVector<uint16_t> dist, int freq);
};

class WorkerHarness
{
public:
    WorkerHarness();
    ~WorkerHarness();
    WorkerHarness(const WorkerHarness &) = delete;
    WorkerHarness &operator=(const WorkerHarness &) = delete;

    receiver *worker() const { return m_worker; }
    QThread *thread() { return &m_thread; }
    BatchCollector *collector() const { return m_collector; }

    // Runs fn in the worker's thread and waits for it (for peeking at state
    // that only the worker's thread may touch).
    template <typename Fn> void inWorker(Fn fn)
    {
        runBlocking(m_worker, fn);
    }

private:
    QThread m_thread;
    receiver *m_worker;
    BatchCollector *m_collector;
};

#endif // WORKERHARNESS_H
