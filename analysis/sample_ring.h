// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_SAMPLE_RING_H
#define ZN84_SAMPLE_RING_H

// The raw stream at its full rate: the last minute of samples, each with its
// number since the stream began and its host time. The chart decimates what
// it draws; the spectrum, the histogram and anything else that must see every
// sample reads them here. The ring only ever holds consecutive samples: a
// batch that does not follow the last one (a restarted stream) starts it
// anew, so a range taken from it never has a hole.

#include "measurement_batch.h"

#include <QObject>
#include <QVector>

#include <cstdint>
#include <vector>

class BatchStream;

struct RingSample
{
    quint64 number = 0; // since the stream began
    qint64 us = 0;      // host time, microseconds since the stream began
    uint16_t cm = 0;    // distance as the sensor sent it
    double metres() const { return cm / 100.0; }
};

class SampleRing : public QObject
{
    Q_OBJECT

public:
    // A minute at the sensor's fastest rate (11,111 frames a second).
    static constexpr int kSeconds = 60;
    static constexpr int kFullRate = 11111;
    static constexpr int kDefaultCapacity = kSeconds * kFullRate;

    explicit SampleRing(int capacity = kDefaultCapacity, QObject *parent = nullptr);

    // Takes every batch of `stream` from now on; a restart empties the ring.
    void attach(BatchStream *stream);
    void add(const MeasurementBatch &batch);
    void clear();

    int capacity() const { return int(cm.size()); }
    int size() const { return count; }
    bool isEmpty() const { return count == 0; }
    // Numbers of the oldest sample held and one past the newest.
    quint64 firstNumber() const { return endNo - quint64(count); }
    quint64 endNumber() const { return endNo; }
    bool holds(quint64 from, int n) const;

    RingSample at(quint64 number) const; // number must be held
    // The n samples from number `from` on, as metres (and host times when
    // `us` is given). False, and nothing written, when they are not all held.
    bool copyMetres(quint64 from, int n, double *metres, qint64 *us = nullptr) const;
    // Frames per second over those samples, from their host times: the slope
    // of the line below all of them that keeps closest (arrivals are late
    // by a jittering delay, never early). 0 when fewer than two or no time
    // passed.
    double measuredRate(quint64 from, int n) const;

signals:
    // Samples [first, end) were added.
    void added(quint64 first, quint64 end);
    void cleared();

private:
    int slot(quint64 number) const { return int(number % quint64(cm.size())); }

    std::vector<uint16_t> cm;
    std::vector<qint64> us;
    int count = 0;
    quint64 endNo = 0;
};

#endif // ZN84_SAMPLE_RING_H
