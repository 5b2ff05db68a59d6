// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef WORKER_PROBE_H
#define WORKER_PROBE_H

// Checks shared by the exchange tests: whether the measurement parser is
// attached to the port again, and whether the stream reaches the window.

#include "simsensor.h"
#include "workerharness.h"

#include <QSerialPort>
#include <QTest>

// True when readyRead() is connected to slotReceiver(). Probed in the worker's
// thread by disconnecting and connecting again.
inline bool parserAttached(WorkerHarness &harness)
{
    bool attached = false;
    receiver *w = harness.worker();
    harness.inWorker([&] {
        attached = QObject::disconnect(w->serialPort, &QSerialPort::readyRead, w, &receiver::slotReceiver);
        if (attached)
            QObject::connect(w->serialPort, &QSerialPort::readyRead, w, &receiver::slotReceiver);
    });
    return attached;
}

// Lets the stream run and waits for two fresh batches.
inline bool streamResumes(sim::SimSensor &sensor, WorkerHarness &harness)
{
    sensor.pauseStream(false);
    harness.collector()->clear();
    return QTest::qWaitFor([&] { return harness.collector()->batches.size() >= 2; }, 10000);
}

inline QByteArray toBytes(const sim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size()));
}

#endif // WORKER_PROBE_H
