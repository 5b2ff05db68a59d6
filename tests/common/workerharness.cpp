// SPDX-License-Identifier: GPL-3.0-or-later
#include "workerharness.h"

#include "cross_thread.h"

#include <QSerialPort>
#include <QTimer>

BatchCollector::BatchCollector(receiver *worker)
{
    connectAcrossThreads(worker, &receiver::signalDistance, this, &BatchCollector::onDistance);
}

void BatchCollector::onDistance(QVector<uint16_t> dist, int freq)
{
    batches.append({dist, freq});
}

int BatchCollector::distanceCount() const
{
    int n = 0;
    for (const Batch &b : batches)
        n += b.dist.size();
    return n;
}

QVector<uint16_t> BatchCollector::allDistances() const
{
    QVector<uint16_t> all;
    for (const Batch &b : batches)
        all += b.dist;
    return all;
}

WorkerHarness::WorkerHarness() : m_worker(new receiver), m_collector(nullptr)
{
    m_collector = new BatchCollector(m_worker);
    m_worker->moveToThread(&m_thread);
    m_worker->serialPort->moveToThread(&m_thread);
    m_worker->freqTimer->moveToThread(&m_thread);
    m_thread.start();
}

WorkerHarness::~WorkerHarness()
{
    // As the window stops its worker: the port closed (which also ends any
    // waiting for a lost device) and the rate timer stopped in the worker's
    // thread, behind whatever the worker still had queued; then the thread
    // ends and the worker goes, taking its port and timer with it.
    receiver *w = m_worker;
    w->closePort();
    runBlocking(w, [w] { w->freqTimer->stop(); });
    m_thread.quit();
    m_thread.wait();
    delete m_collector;
    delete m_worker;
}
