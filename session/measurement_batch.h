// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_MEASUREMENT_BATCH_H
#define ZN84_MEASUREMENT_BATCH_H

// One batch of distances as the worker delivers it, numbered and timed on the
// host: the unit every part on the data path (chart, recorder, statistics,
// judge, spectrum, capture, publisher) takes. The numbering lets a part see
// that it missed nothing: the next batch's `first` equals this one's `end()`.

#include <QVector>
#include <QtGlobal>

#include <cstdint>

struct MeasurementBatch
{
    quint64 first = 0;      // number of the first sample since the stream began (from 0)
    qint64 firstUs = 0;     // host time of that sample, microseconds since the stream began
    qint64 lastUs = 0;      // host time of the last sample (the batch's arrival)
    double rate = 0;        // frames per second the worker measured; 0 while unknown
    QVector<uint16_t> cm;   // the distances in centimetres, as the sensor sends them

    int size() const { return cm.size(); }
    bool isEmpty() const { return cm.isEmpty(); }
    quint64 end() const { return first + quint64(cm.size()); }
    double metres(int i) const { return cm.at(i) / 100.0; }
    // Host time of sample i: the samples spread evenly between the first and
    // the last sample's time.
    qint64 timeUs(int i) const
    {
        if (cm.size() < 2)
            return lastUs;
        return firstUs + (lastUs - firstUs) * i / (cm.size() - 1);
    }
};

#endif // ZN84_MEASUREMENT_BATCH_H
