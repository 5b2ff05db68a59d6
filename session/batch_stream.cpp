// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_stream.h"

#include <algorithm>

BatchStream::BatchStream(QObject *parent) : QObject(parent)
{
}

void BatchStream::restart()
{
    clock.start();
    started = QDateTime::currentDateTime();
    next = 0;
    lastUs = -1;
    emit restarted();
}

void BatchStream::take(const QVector<uint16_t> &dist, int freq)
{
    if (!clock.isValid())
        restart();
    takeAt(dist, freq, clock.nsecsElapsed() / 1000);
}

void BatchStream::takeAt(const QVector<uint16_t> &dist, int freq, qint64 nowUs)
{
    if (dist.isEmpty())
        return;
    if (!clock.isValid()) {
        clock.start();
        started = QDateTime::currentDateTime();
    }
    MeasurementBatch b;
    b.first = next;
    b.cm = dist;
    b.rate = freq > 0 ? double(freq) : 0.0;
    // The batch arrives after its last frame: the frames before it came one
    // frame time apart, but never before the previous batch's last one.
    b.lastUs = std::max(nowUs, lastUs + 1);
    const qint64 spanUs = freq > 0 ? qint64((dist.size() - 1) * 1e6 / freq) : 0;
    b.firstUs = std::max(b.lastUs - spanUs, std::min(lastUs + 1, b.lastUs));
    lastUs = b.lastUs;
    next = b.end();
    emit batch(b);
}
