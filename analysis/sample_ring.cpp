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
    // A sample's host time is when its batch arrived: never before the
    // sensor sent it, often after. A reader the machine kept waiting, or a
    // burst the line carried after a stall, makes times late, never early,
    // and a least-squares slope is pulled by such a stretch, the more the
    // nearer an end it lies (a reader 30 ms late at the start of 1.5 s made
    // the rate 2 % too high). So the rate is the slope of the line that
    // stays below every (number, time) point and closest to them all, the
    // least total lateness: the edge of their lower convex hull over the
    // middle number. Samples that share their batch's arrival time (while
    // the worker's rate is not yet known) lie above that line but for each
    // batch's last, so they need no care of their own.
    auto time = [&](int i) { return double(us[size_t(slot(from + quint64(i)))]); };
    // Positive when a, b, c turn counter-clockwise (number right, time up).
    auto turn = [&](int a, int b, int c) {
        return double(b - a) * (time(c) - time(a)) - (time(b) - time(a)) * double(c - a);
    };
    std::vector<int> hull;
    hull.reserve(64);
    for (int i = 0; i < n; ++i) {
        while (hull.size() >= 2 && turn(hull[hull.size() - 2], hull.back(), i) <= 0)
            hull.pop_back();
        hull.push_back(i);
    }
    const double middle = (n - 1) / 2.0;
    size_t e = 0;
    while (e + 2 < hull.size() && hull[e + 1] < middle)
        ++e;
    const double slopeUs = (time(hull[e + 1]) - time(hull[e])) / double(hull[e + 1] - hull[e]);
    return slopeUs > 0 ? 1e6 / slopeUs : 0.0;
}
