// SPDX-License-Identifier: GPL-3.0-or-later
#include "sample_ring.h"

#include "batch_stream.h"

#include <algorithm>

SampleRing::SampleRing(int capacity, QObject *parent)
    : QObject(parent), cm(size_t(std::max(1, capacity))), us(size_t(std::max(1, capacity)))
{
}

void SampleRing::attach(BatchStream *stream)
{
    connect(stream, &BatchStream::batch, this, &SampleRing::add);
    connect(stream, &BatchStream::restarted, this, &SampleRing::clear);
}

void SampleRing::clear()
{
    count = 0;
    endNo = 0;
    emit cleared();
}

void SampleRing::add(const MeasurementBatch &batch)
{
    if (batch.isEmpty())
        return;
    if (count > 0 && batch.first != endNo)
        clear();
    if (count == 0)
        endNo = batch.first;
    const int n = batch.size();
    // Only the newest `capacity` samples of an oversized batch can stay.
    const int skip = std::max(0, n - capacity());
    for (int i = skip; i < n; ++i) {
        const int at = slot(batch.first + quint64(i));
        cm[size_t(at)] = batch.cm.at(i);
        us[size_t(at)] = batch.timeUs(i);
    }
    endNo = batch.end();
    count = std::min(capacity(), count + n);
    emit added(batch.first, batch.end());
}

bool SampleRing::holds(quint64 from, int n) const
{
    return n >= 0 && count > 0 && from >= firstNumber() && from + quint64(n) <= endNo;
}

RingSample SampleRing::at(quint64 number) const
{
    const int s = slot(number);
    return {number, us[size_t(s)], cm[size_t(s)]};
}

bool SampleRing::copyMetres(quint64 from, int n, double *metres, qint64 *times) const
{
    if (!holds(from, n))
        return false;
    for (int i = 0; i < n; ++i) {
        const int s = slot(from + quint64(i));
        metres[i] = cm[size_t(s)] / 100.0;
        if (times)
            times[i] = us[size_t(s)];
    }
    return true;
}

double SampleRing::measuredRate(quint64 from, int n) const
{
    if (n < 2 || !holds(from, n))
        return 0.0;
    // Slope of t(i) = a + b i by least squares. While the worker's rate is
    // not yet known, a batch's samples all carry its arrival time: of each
    // run of equal times only the last sample (the one that really arrived
    // then) counts, or the steps would bias the slope by up to a batch.
    auto time = [&](int i) { return us[size_t(slot(from + quint64(i)))]; };
    const qint64 t0 = time(0);
    double sumI = 0, sumT = 0, sumII = 0, sumIT = 0;
    int points = 0;
    // The sample after the stretch, when held, tells whether the last one
    // ended its batch.
    const bool nextHeld = from + quint64(n) < endNo;
    for (int i = 0; i < n; ++i) {
        const qint64 t = time(i);
        if ((i + 1 < n || nextHeld) && time(i + 1) == t)
            continue;
        const double di = i, dt = double(t - t0);
        sumI += di;
        sumT += dt;
        sumII += di * di;
        sumIT += di * dt;
        ++points;
    }
    if (points < 2)
        return 0.0;
    const double slopeUs = (points * sumIT - sumI * sumT) / (points * sumII - sumI * sumI);
    return slopeUs > 0 ? 1e6 / slopeUs : 0.0;
}
