// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_BATCH_STREAM_H
#define ZN84_BATCH_STREAM_H

// The one stream of measurement batches that parts subscribe to. It takes the
// worker's distance batches in the receiving thread (the window's, or
// zn84ctl's main thread), numbers every sample from the start of the stream
// and gives it a host time, and hands each batch to every subscriber in the
// order they connected. Parts never call each other: each listens here.

#include "measurement_batch.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

class BatchStream : public QObject
{
    Q_OBJECT

public:
    explicit BatchStream(QObject *parent = nullptr);

    // A new stream: numbering and host time from zero, the start's date and
    // time noted (a recording's header tells it).
    void restart();
    QDateTime startedAt() const { return started; }
    bool isStarted() const { return clock.isValid(); }
    // Samples taken since the start.
    quint64 samples() const { return next; }

    // Takes one batch of the worker (`receiver::signalDistance`); the stream
    // starts with the first batch when restart() was not called.
    void take(const QVector<uint16_t> &dist, int freq);
    // The same at a given host time (microseconds since the start), for
    // tests and replays that keep their own clock.
    void takeAt(const QVector<uint16_t> &dist, int freq, qint64 nowUs);

signals:
    void batch(const MeasurementBatch &batch);
    void restarted();

private:
    QElapsedTimer clock;
    QDateTime started;
    quint64 next = 0;
    qint64 lastUs = -1;
};

#endif // ZN84_BATCH_STREAM_H
