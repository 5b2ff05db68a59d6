// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZN84_SAMPLE_TIMELINE_H
#define ZN84_SAMPLE_TIMELINE_H

// Where the chart's time axis stands in the stream. The chart numbers its
// time in seconds of its own (each batch's frames over the rate they came
// at, with the gaps it skips); the analysis counts samples. Batch by batch
// this keeps which sample numbers lie under which stretch of the axis, so
// that a view can take "the samples the chart shows" (a zoomed range, or
// the live window) from the ring of raw samples.

#include <QtGlobal>

class SampleRing;

#include <deque>
#include <utility>

class SampleTimeline
{
public:
    // A batch of `n` samples from number `first`, its sample k drawn at
    // startX + (k + 1) / rate. Batches that follow on at the same rate share
    // one entry.
    void add(double startX, quint64 first, int n, double rate);
    void clear();
    // Entries wholly before sample `number` are no longer needed.
    void forgetBefore(quint64 number);
    int entries() const { return int(runs.size()); }

    // The samples drawn at x0 <= x <= x1, as [from, end); from == end when
    // there are none.
    std::pair<quint64, quint64> samplesBetween(double x0, double x1) const;

    // The stretch of the axis the chart shows now, and its samples.
    void setShown(double x0, double x1);
    std::pair<quint64, quint64> shownSamples() const { return samplesBetween(shownFrom, shownTo); }
    // Those of them that `ring` still holds (the older ones have left it).
    std::pair<quint64, quint64> shownSamplesIn(const SampleRing &ring) const;

private:
    struct Run
    {
        double startX;
        quint64 first;
        quint64 n;
        double rate;
        double x(quint64 k) const { return startX + double(k + 1) / rate; }
    };
    std::deque<Run> runs;
    double shownFrom = 0;
    double shownTo = -1;
};

#endif // ZN84_SAMPLE_TIMELINE_H
